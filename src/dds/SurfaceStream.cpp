#include "dds/SurfaceStream.h"

#include <algorithm>
#include <system_error>

SurfaceStream::SurfaceStream(CDdsTexture& texture, bool threaded, bool fromEnd)
    : m_Texture(texture), m_bFromEnd(fromEnd), m_bThreaded(threaded),
      m_nFrom(fromEnd ? texture.m_nRawHeld : 0), m_nTo(m_nFrom) {
    Start(threaded);
}

SurfaceStream::SurfaceStream(CDdsTexture& texture, bool threaded, std::vector<Range> pieces)
    : m_Texture(texture), m_bThreaded(threaded), m_Pieces(std::move(pieces)),
      m_Freed(m_Pieces.size(), false) {
    uint32_t largest = 0;
    for (Range& piece : m_Pieces) {
        piece.second = std::min(piece.second, texture.m_nRawHeld);
        piece.first = std::min(piece.first, piece.second);
        largest = std::max(largest, piece.second - piece.first);
    }
    // At least one large page's worth: one fault for all the slots instead of one a page.
    const size_t bytes = std::max(size_t(largest) * kSlots, size_t(2) << 20);
    uint8_t* const store = static_cast<uint8_t*>(m_Store.Acquire(bytes, false));
    if (!store) {
        m_bFailed = m_bEnded = true; // bands get no bytes: "Not enough memory"
        return;
    }
    for (uint32_t k = 0; k < kSlots; ++k) m_Slots[k].bytes = store + size_t(k) * largest;
    m_Texture.m_fnSurfaceBytes = [this](uint32_t from, uint32_t to) {
        return PieceBytes(from, to);
    };
    if (threaded) Start(true);
}

void SurfaceStream::Start(bool threaded) {
    if (threaded) {
        try {
            m_Thread = std::thread(&SurfaceStream::Run, this);
            return;
        } catch (const std::system_error&) {
        }
    }
    Run(); // no thread to be had: read before anything waits
}

SurfaceStream::~SurfaceStream() {
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_bStop = true;
        m_Changed.notify_all();
    }
    if (m_Thread.joinable()) m_Thread.join();
    if (!m_Pieces.empty()) m_Texture.m_fnSurfaceBytes = nullptr;
}

// Reads piece `index` into its slot once the slot is free; called with the lock held, which
// is let go while the bytes come.
bool SurfaceStream::ReadPiece(size_t index, std::unique_lock<std::mutex>& guard) {
    auto free = [&] { return index < kSlots || m_Freed[index - kSlots]; };
    if (!m_bThreaded && !free()) return false; // bands asked for pieces out of their order
    m_Changed.wait(guard, [&] { return m_bStop || free(); });
    if (m_bStop) return false;
    Slot& slot = m_Slots[index % kSlots];
    const Range piece = m_Pieces[index];
    guard.unlock();
    const bool ok = m_Texture.ReadSurface(piece.first, piece.second, slot.bytes);
    guard.lock();
    if (ok) slot.piece = index;
    return ok;
}

void SurfaceStream::Run() {
    std::unique_lock<std::mutex> guard(m_Lock);
    bool ok = true;
    if (!m_Pieces.empty()) {
        for (; ok && m_nNextPiece < m_Pieces.size() && !m_bStop; ++m_nNextPiece) {
            ok = ReadPiece(m_nNextPiece, guard);
            m_Changed.notify_all();
        }
    } else {
        const uint32_t held = m_Texture.m_nRawHeld;
        for (uint32_t done = 0; ok && done < held && !m_bStop;) {
            const uint32_t size = std::min(kPieceBytes, held - done);
            const uint32_t from = m_bFromEnd ? held - done - size : done;
            // The bytes go straight into the texture's buffer, outside the lock: no band
            // reads them before they are counted in.
            guard.unlock();
            ok = m_Texture.ReadSurface(from, from + size);
            guard.lock();
            done += size;
            if (ok) (m_bFromEnd ? m_nFrom : m_nTo) = m_bFromEnd ? from : from + size;
            m_Changed.notify_all();
        }
    }
    m_bFailed = !ok;
    m_bEnded = true;
    m_Changed.notify_all();
}

const uint8_t* SurfaceStream::PieceBytes(uint32_t from, uint32_t to) {
    std::unique_lock<std::mutex> guard(m_Lock);
    size_t index = m_nReleased;
    while (index < m_Pieces.size() &&
           (m_Freed[index] || from < m_Pieces[index].first || to > m_Pieces[index].second))
        ++index;
    if (index == m_Pieces.size()) return nullptr; // no piece holds them
    const Slot& slot = m_Slots[index % kSlots];
    if (!m_bThreaded && slot.piece != index && !m_bFailed && !ReadPiece(index, guard))
        m_bFailed = true;
    if (m_bThreaded)
        m_Changed.wait(guard, [&] { return m_bEnded || m_bStop || slot.piece == index; });
    if (slot.piece != index) return nullptr;
    return slot.bytes + (from - m_Pieces[index].first);
}

void SurfaceStream::Release(size_t index) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (index >= m_Pieces.size()) return;
    m_Freed[index] = true;
    while (m_nReleased < m_Pieces.size() && m_Freed[m_nReleased]) ++m_nReleased;
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
    // The whole surface's read never waits for anyone: it is let end. Pieces wait for their
    // buffers, which a stopped export never gives back.
    if (m_Pieces.empty()) m_Changed.wait(guard, [&] { return m_bEnded; });
    return m_bFailed;
}
