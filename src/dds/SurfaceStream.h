// The selected surface of a texture loaded with m_bReadLater, read in pieces while its rows are
// decoded and composed, so that the read overlaps the decoding instead of coming before it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "dds/DdsTexture.h"
#include "dds/ImageBuffer.h"

class SurfaceStream {
  public:
    // Bytes the whole-surface read asks the reader for at a time.
    static constexpr uint32_t kPieceBytes = uint32_t(1) << 20;
    // Buffers of the piece read: one being decoded, one being read, one ready.
    static constexpr uint32_t kSlots = 3;
    using Range = std::pair<uint32_t, uint32_t>; // bytes [first, second) of the surface

    // The whole surface into m_pRawData, in pieces from the start, or from its last byte
    // backwards when `fromEnd`; each band waits for the bytes it is made from (WaitForRows).
    // On a thread of its own when `threaded`, else all of it here, before anything waits.
    SurfaceStream(CDdsTexture& texture, bool threaded, bool fromEnd);
    // The given pieces of the surface in their order, each into a buffer of its own that is
    // used again once Release has given the piece back: the texture's m_pRawData is never
    // touched, and memory is taken for a few pieces, not the surface. The texture's bands find
    // their bytes here (m_fnSurfaceBytes) as long as the stream lives; a band may ask for the
    // bytes of a piece that is read or among the next ones still to come. Without `threaded`
    // a piece is read when a band first asks for it.
    SurfaceStream(CDdsTexture& texture, bool threaded, std::vector<Range> pieces);
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
    // Pieces: the piece `index` is no longer needed; its buffer takes a later one.
    void Release(size_t index);

  private:
    struct Slot {
        uint8_t* bytes = nullptr;
        size_t piece = SIZE_MAX; // the piece it holds, once read
    };
    bool WaitFor(uint32_t from, uint32_t to);
    const uint8_t* PieceBytes(uint32_t from, uint32_t to);
    void Run();
    bool ReadPiece(size_t index, std::unique_lock<std::mutex>& guard);
    void Start(bool threaded);

    CDdsTexture& m_Texture;
    const bool m_bFromEnd = false;
    const bool m_bThreaded;
    std::vector<Range> m_Pieces; // empty: the whole surface into m_pRawData
    ImageBuffer m_Store;         // the slots' bytes: a few large pages rather than many small ones
    Slot m_Slots[kSlots];
    size_t m_nNextPiece = 0;   // the next piece to read
    size_t m_nReleased = 0;    // pieces before this one are given back
    std::vector<bool> m_Freed; // pieces given back, in any order
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    uint32_t m_nFrom = 0, m_nTo = 0; // the whole surface: the bytes read, [m_nFrom, m_nTo)
    bool m_bEnded = false, m_bFailed = false, m_bStop = false;
    std::thread m_Thread;
};
