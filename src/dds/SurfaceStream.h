// The selected surface of a texture loaded with m_bReadLater, read in pieces on a thread of its
// own while its rows are decoded and composed: each band waits only for the bytes it is made
// from, so the read overlaps the decoding instead of coming before it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "dds/DdsTexture.h"

class SurfaceStream {
  public:
    // Bytes the thread asks the reader for at a time: the first band waits for one piece.
    static constexpr uint32_t kPieceBytes = uint32_t(1) << 20;

    // Starts reading the texture's surface: on a thread of its own when `threaded` (else all
    // of it at once, here), from its last byte backwards when `fromEnd` (for rows that go out
    // bottom row first). The texture must stay loaded until the stream is gone.
    SurfaceStream(CDdsTexture& texture, bool threaded, bool fromEnd);
    // Stops the read at its next piece and waits for the thread.
    ~SurfaceStream();
    SurfaceStream(const SurfaceStream&) = delete;
    SurfaceStream& operator=(const SurfaceStream&) = delete;

    // Waits until pixel rows [first, end) can be decoded; false when the read failed (the
    // texture's m_LastError says why).
    bool WaitForRows(uint32_t first, uint32_t end);
    // Waits for the whole surface; false when the read failed.
    bool WaitForAll();
    // Bytes of the surface read so far; true once the read has ended, well or not.
    bool Progress(uint32_t& read, uint32_t& total);

  private:
    bool WaitFor(uint32_t from, uint32_t to);
    void Run();

    CDdsTexture& m_Texture;
    const bool m_bFromEnd;
    std::mutex m_Lock;
    std::condition_variable m_Arrived;
    uint32_t m_nFrom, m_nTo; // the bytes read: [m_nFrom, m_nTo)
    bool m_bEnded = false, m_bStop = false;
    std::thread m_Thread;
};
