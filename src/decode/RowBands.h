// Long row loops (decoding, composition) spread over the machine's cores in bands of rows.
#pragma once

#include <cstdint>
#include <functional>

#include "io/Progress.h"

// Threads a loop may use for `requested` (0: one per core): never more than the machine's
// cores, at least one.
uint32_t ThreadsFor(uint32_t requested);

// Starts the worker threads that loops on `threads` threads (as ThreadsFor counts them) take,
// so that their start overlaps the work before the first loop (on Linux; elsewhere they start
// with the first loop).
void StartRowThreads(uint32_t threads);

// The rows of one loop: block rows of a decoder or pixel rows of the composition.
struct RowLoop {
    uint32_t rows;
    uint32_t pixelsPerRow; // pixels one row writes, for sizing the bands
    uint32_t reportBase;   // one thread reports i + reportBase before row i
};

// Runs `rows(first, end)` over every row of the loop, each row exactly once. With one thread
// the rows run in order on the calling thread, which reports each to `host` and lets it pump
// before it (null: nothing is reported, nothing pumps). With more, bands of whole rows run on the
// calling thread and on worker threads, each writing nothing but its own rows; the calling
// thread reports once as the workers begin, then between bands at most every
// kReportIntervalMs, each time letting the host pump first, and a stop from the host ends every
// thread at its next band. False when the host said stop.
constexpr uint32_t kReportIntervalMs = 10;
bool RunRows(const RowLoop& loop, uint32_t threads, RowHost* host,
             const std::function<void(uint32_t first, uint32_t end)>& rows);
