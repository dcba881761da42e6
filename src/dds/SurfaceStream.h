// The selected surface of a texture loaded with m_bReadLater, read while its rows are decoded
// and composed, so that the read overlaps the decoding instead of coming before it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "dds/DdsTexture.h"

class SurfaceStream {
  public:
    // Bytes the whole-surface read asks the reader for at a time.
    static constexpr uint32_t kPieceBytes = uint32_t(1) << 20;

    // The whole surface into m_pRawData, in pieces from the start, or from its last byte
    // backwards when `fromEnd`; each band waits for the bytes it is made from (WaitForRows).
    // On a thread of its own when `threaded`, else all of it here, before anything waits.
    SurfaceStream(CDdsTexture& texture, bool threaded, bool fromEnd);
    // No thread and no buffer of its own, for rows that read their own blocks
    // (RowsReadTheirBlocks): each band reads the bytes it is made from when it asks for them
    // (m_fnSurfaceBytes), on its own thread, into a buffer that thread keeps. The read is then
    // part of every thread's band work, and no band waits for another thread. m_pRawData is
    // never touched. After a failed read every band gets no bytes.
    explicit SurfaceStream(CDdsTexture& texture);
    // Stops the read at its next piece and waits for the thread.
    ~SurfaceStream();
    SurfaceStream(const SurfaceStream&) = delete;
    SurfaceStream& operator=(const SurfaceStream&) = delete;

    // Waits until pixel rows [first, end) can be decoded from m_pRawData; false when the read
    // failed (the texture's m_LastError says why).
    bool WaitForRows(uint32_t first, uint32_t end);
    // The whole surface: waits for all of it; false when the read failed.
    bool WaitForAll();
    // True when the read failed (the texture's m_LastError says why); the whole surface's
    // read is waited for.
    bool Failed();

  private:
    bool WaitFor(uint32_t from, uint32_t to);
    const uint8_t* BandBytes(uint32_t from, uint32_t to);
    void Run();

    CDdsTexture& m_Texture;
    const bool m_bFromEnd = false;
    const bool m_bBandsRead = false;    // each band reads its own bytes
    std::atomic<bool> m_bNoMore{false}; // bands read nothing more after a failure
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    uint32_t m_nFrom = 0, m_nTo = 0; // the whole surface: the bytes read, [m_nFrom, m_nTo)
    bool m_bEnded = false, m_bFailed = false, m_bStop = false;
    std::thread m_Thread;
};
