// The core's links to its host for long work: a progress callback the host hands in, and the
// host of a long row loop.
#pragma once

#include <cstdint>

// (done, total, user value); returns non-zero to go on, zero to stop.
typedef int (*ProgressCallback)(uint32_t done, uint32_t total, uintptr_t userValue);

// Calls a progress function; a null one reports nothing and always goes on.
inline int CallProgress(ProgressCallback fn, uint32_t done, uint32_t total, uintptr_t userValue) {
    return fn ? fn(done, total, userValue) : 1;
}

// What a long row loop tells its host and asks of it, on the loop's calling thread only.
class RowHost {
  public:
    // `done` rows of `total`; false stops the loop.
    virtual bool Progress(uint32_t done, uint32_t total) = 0;
    // A turn for the host's waiting messages (the host pumps only when that is due).
    virtual void Pump() = 0;

  protected:
    ~RowHost() = default;
};
