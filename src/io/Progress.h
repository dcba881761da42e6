// The core's one link to its host for long work: a progress callback the host hands in.
#pragma once

#include <cstdint>

// (done, total, user value); returns non-zero to go on, zero to stop.
typedef int (*ProgressCallback)(uint32_t done, uint32_t total, uintptr_t userValue);

// Calls a progress function; a null one reports nothing and always goes on.
inline int CallProgress(ProgressCallback fn, uint32_t done, uint32_t total, uintptr_t userValue) {
    return fn ? fn(done, total, userValue) : 1;
}
