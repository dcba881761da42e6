// Zero-filled buffers that keep their storage from one load to the next: clearing memory that
// is already mapped costs far less than the first touch of fresh pages.
#pragma once

#include <cstddef>

class ImageBuffer {
  public:
    ImageBuffer() = default;
    ~ImageBuffer();
    ImageBuffer(const ImageBuffer&) = delete;
    ImageBuffer& operator=(const ImageBuffer&) = delete;

    // `bytes` bytes, zero-filled unless told otherwise, or null when they cannot be had (over
    // the allocation limit, or out of memory). Invalidates what an earlier call returned.
    void* Acquire(size_t bytes, bool zeroFill = true);
    // Frees the storage.
    void Discard();
    size_t Capacity() const { return m_nCapacity; }

  private:
    void* m_pStore = nullptr;
    size_t m_nCapacity = 0;
};

// Largest single buffer the core will allocate; 0 (the default) means no limit beyond what the
// system grants. Fuzzers and tests set it to fail cleanly instead of allocating gigabytes.
void SetAllocationLimit(size_t bytes);
size_t GetAllocationLimit();
