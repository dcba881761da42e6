// Long row loops (decoding, composition) spread over the machine's cores in bands of rows.
#pragma once

#include <cstdint>
#include <functional>

#include "io/Progress.h"

class CFileEx;

// Threads a loop may use for `requested` (0: one per core): never more than the machine's
// cores, at least one.
uint32_t ThreadsFor(uint32_t requested);

// The rows of one loop: block rows of a decoder or pixel rows of the composition.
struct RowLoop {
    uint32_t rows;
    uint32_t pixelsPerRow; // pixels one row writes, for sizing the bands
    uint32_t reportBase;   // one thread reports i + reportBase before row i
};

// Runs `rows(first, end)` over every row of the loop, each row exactly once. With one thread
// the rows run in order on the calling thread, which reports each to `progress` and lets
// `reader` pump before it (null: nothing pumps). With more, bands of whole rows run on the calling
// thread and on worker threads, each writing nothing but its own rows; between bands the calling
// thread reports the rows done and pumps at most every kPumpIntervalMs, and a stop from `progress`
// ends every thread at its next band. False when `progress` said stop.
bool RunRows(const RowLoop& loop, uint32_t threads, ProgressCallback progress, CFileEx* reader,
             const std::function<void(uint32_t first, uint32_t end)>& rows);
