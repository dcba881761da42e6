#include "dds/SurfaceStream.h"

#include <algorithm>
#include <system_error>

SurfaceStream::SurfaceStream(CDdsTexture& texture, bool threaded, bool fromEnd)
    : m_Texture(texture), m_bFromEnd(fromEnd), m_nFrom(fromEnd ? texture.m_nRawHeld : 0),
      m_nTo(fromEnd ? texture.m_nRawHeld : 0) {
    if (threaded) {
        try {
            m_Thread = std::thread(&SurfaceStream::Run, this);
            return;
        } catch (const std::system_error&) {
        }
    }
    Run(); // no thread to be had: the surface is read before anything waits for it
}

SurfaceStream::~SurfaceStream() {
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_bStop = true;
    }
    if (m_Thread.joinable()) m_Thread.join();
}

void SurfaceStream::Run() {
    const uint32_t held = m_Texture.m_nRawHeld;
    bool ok = true;
    for (uint32_t done = 0; ok && done < held;) {
        const uint32_t size = std::min(kPieceBytes, held - done);
        const uint32_t from = m_bFromEnd ? held - done - size : done;
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            if (m_bStop) break;
        }
        // The bytes go straight into the texture's buffer, outside the lock: no band reads
        // them before they are counted in below.
        ok = m_Texture.ReadSurface(from, from + size);
        done += size;
        std::lock_guard<std::mutex> guard(m_Lock);
        if (ok) (m_bFromEnd ? m_nFrom : m_nTo) = from + (m_bFromEnd ? 0 : size);
        m_Arrived.notify_all();
    }
    std::lock_guard<std::mutex> guard(m_Lock);
    m_bEnded = true;
    m_Arrived.notify_all();
}

bool SurfaceStream::WaitFor(uint32_t from, uint32_t to) {
    std::unique_lock<std::mutex> guard(m_Lock);
    m_Arrived.wait(guard, [&] { return m_bEnded || (m_nFrom <= from && to <= m_nTo); });
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

bool SurfaceStream::Progress(uint32_t& read, uint32_t& total) {
    std::lock_guard<std::mutex> guard(m_Lock);
    read = m_nTo - m_nFrom;
    total = m_Texture.m_nRawHeld;
    return m_bEnded;
}
