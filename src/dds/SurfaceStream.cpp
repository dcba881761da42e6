#include "dds/SurfaceStream.h"

#include <algorithm>
#include <system_error>

#include "dds/ImageBuffer.h"

SurfaceStream::SurfaceStream(CDdsTexture& texture, bool threaded, bool fromEnd)
    : m_Texture(texture), m_bFromEnd(fromEnd), m_nFrom(fromEnd ? texture.m_nRawHeld : 0),
      m_nTo(m_nFrom) {
    if (threaded) {
        try {
            m_Thread = std::thread(&SurfaceStream::Run, this);
            return;
        } catch (const std::system_error&) {
        }
    }
    Run(); // no thread to be had: read before anything waits
}

SurfaceStream::SurfaceStream(CDdsTexture& texture)
    : m_Texture(texture), m_bBandsRead(true), m_bEnded(true) {
    m_Texture.m_fnSurfaceBytes = [this](uint32_t from, uint32_t to) { return BandBytes(from, to); };
}

SurfaceStream::~SurfaceStream() {
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_bStop = true;
        m_Changed.notify_all();
    }
    if (m_Thread.joinable()) m_Thread.join();
    if (m_bBandsRead) m_Texture.m_fnSurfaceBytes = nullptr;
}

const uint8_t* SurfaceStream::BandBytes(uint32_t from, uint32_t to) {
    // Grown only, never cleared: a thread's bands ask for about as many bytes each time.
    static thread_local ImageBuffer store;
    if (m_bNoMore.load(std::memory_order_relaxed) || from > to || to > m_Texture.m_nRawHeld)
        return nullptr;
    void* const bytes = store.Acquire(std::max<size_t>(store.Capacity(), to - from), false);
    LoadError error;
    if (bytes && m_Texture.ReadSurfaceAt(from, to, static_cast<uint8_t*>(bytes), error))
        return static_cast<const uint8_t*>(bytes);
    std::lock_guard<std::mutex> guard(m_Lock);
    // The first failed read is the one the user hears of; without memory the bands say so.
    if (bytes && !m_bFailed) {
        m_bFailed = true;
        m_Texture.m_LastError = error;
    }
    m_bNoMore = true;
    return nullptr;
}

void SurfaceStream::Run() {
    std::unique_lock<std::mutex> guard(m_Lock);
    bool ok = true;
    const uint32_t held = m_Texture.m_nRawHeld;
    for (uint32_t done = 0; ok && done < held && !m_bStop;) {
        const uint32_t size = std::min(kPieceBytes, held - done);
        const uint32_t from = m_bFromEnd ? held - done - size : done;
        // The bytes go straight into the texture's buffer, outside the lock: no band reads them
        // before they are counted in.
        guard.unlock();
        ok = m_Texture.ReadSurface(from, from + size);
        guard.lock();
        done += size;
        if (ok) (m_bFromEnd ? m_nFrom : m_nTo) = m_bFromEnd ? from : from + size;
        m_Changed.notify_all();
    }
    m_bFailed = !ok;
    m_bEnded = true;
    m_Changed.notify_all();
}

bool SurfaceStream::WaitFor(uint32_t from, uint32_t to) {
    std::unique_lock<std::mutex> guard(m_Lock);
    m_Changed.wait(guard, [&] { return m_bEnded || (m_nFrom <= from && to <= m_nTo); });
    return from >= to || (m_nFrom <= from && to <= m_nTo);
}

bool SurfaceStream::WaitForRows(uint32_t first, uint32_t end) {
    uint32_t from, to;
    m_Texture.RawBytesOfRows(first, end, from, to);
    return WaitFor(from, to);
}

bool SurfaceStream::WaitForAll() {
    return WaitFor(0, m_Texture.m_nRawHeld);
}

bool SurfaceStream::Failed() {
    std::unique_lock<std::mutex> guard(m_Lock);
    m_Changed.wait(guard, [&] { return m_bEnded; });
    return m_bFailed;
}
