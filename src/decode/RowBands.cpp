#include "decode/RowBands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "io/FileEx.h"

namespace {

// A band is small enough that a stop is heard within a fraction of a millisecond and large
// enough that claiming it costs nothing beside its pixels.
constexpr uint32_t kBandPixels = uint32_t(1) << 18;
// Below this a band costs less than starting a thread for it: small pictures (a folder of
// icons) stay on the calling thread.
constexpr uint32_t kMinBandPixels = uint32_t(1) << 14;
// Bands per thread at least, so that a slow thread (the machine is shared) holds up no one.
constexpr uint32_t kBandsPerThread = 4;

struct Bands {
    Bands(const std::function<void(uint32_t, uint32_t)>& fn, uint32_t count, uint32_t perBand)
        : rows(fn), rowCount(count), bandRows(perBand),
          bandCount(count / perBand + (count % perBand != 0)) {}
    const std::function<void(uint32_t, uint32_t)>& rows;
    uint32_t rowCount, bandRows, bandCount;
    std::atomic<uint32_t> next{0};
    std::atomic<uint32_t> rowsDone{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable finished;
    uint32_t running = 0; // workers still at work, under `lock`

    // Runs the next band; false when none is left or a stop was asked for.
    bool RunBand() {
        if (stop.load(std::memory_order_relaxed)) return false;
        const uint32_t band = next.fetch_add(1, std::memory_order_relaxed);
        if (band >= bandCount) return false;
        const uint32_t first = band * bandRows;
        const uint32_t end = std::min(rowCount, first + bandRows);
        rows(first, end);
        rowsDone.fetch_add(end - first, std::memory_order_relaxed);
        return true;
    }

    void Work() {
        while (RunBand()) {
        }
        std::lock_guard<std::mutex> guard(lock);
        if (--running == 0) finished.notify_one();
    }
};

bool RunInOrder(const RowLoop& loop, ProgressCallback progress, CFileEx* reader,
                const std::function<void(uint32_t, uint32_t)>& rows) {
    for (uint32_t i = 0; i < loop.rows; ++i) {
        if (!CallProgress(progress, i + loop.reportBase, loop.rows, 0)) return false;
        if (reader) reader->PumpMessagesIfDue();
        rows(i, i + 1);
    }
    return true;
}

} // namespace

uint32_t ThreadsFor(uint32_t requested) {
    const uint32_t cores = std::max(1u, std::thread::hardware_concurrency());
    return requested == 0 ? cores : std::min(requested, cores);
}

bool RunRows(const RowLoop& loop, uint32_t threads, ProgressCallback progress, CFileEx* reader,
             const std::function<void(uint32_t first, uint32_t end)>& rows) {
    threads = ThreadsFor(threads);
    const uint32_t pixels = std::max(1u, loop.pixelsPerRow);
    const uint32_t narrowest = std::max(1u, kMinBandPixels / pixels);
    const uint32_t widest = std::max(narrowest, kBandPixels / pixels);
    const uint32_t bandRows =
        std::clamp(loop.rows / (threads * kBandsPerThread), narrowest, widest);
    Bands bands(rows, loop.rows, bandRows);
    if (threads < 2 || bands.bandCount < 2) return RunInOrder(loop, progress, reader, rows);

    // The calling thread takes bands too: one thread fewer to start and to hold a stack for.
    std::vector<std::thread> workers;
    bands.running = std::min(threads, bands.bandCount) - 1;
    for (uint32_t i = 0, n = bands.running; i < n; ++i) {
        try {
            workers.emplace_back(&Bands::Work, &bands);
        } catch (const std::system_error&) {
            // No thread to be had: what is started does the work, with this thread.
            std::lock_guard<std::mutex> guard(bands.lock);
            bands.running -= n - i;
            break;
        }
    }
    // Between its bands, and then while the workers finish theirs, this thread reports the
    // rows done and pumps at most every kPumpIntervalMs; a stop ends every worker at its next
    // band.
    const auto interval = std::chrono::milliseconds(CFileEx::kPumpIntervalMs);
    bool goOn = true;
    auto report = [&] {
        if (goOn && !CallProgress(progress, bands.rowsDone.load(), loop.rows, 0)) {
            goOn = false;
            bands.stop = true;
        }
        if (goOn && reader) reader->PumpMessagesIfDue();
    };
    auto due = std::chrono::steady_clock::now() + interval;
    while (bands.RunBand()) {
        const auto now = std::chrono::steady_clock::now();
        if (now < due) continue;
        due = now + interval;
        report();
    }
    {
        std::unique_lock<std::mutex> guard(bands.lock);
        while (!bands.finished.wait_for(guard, interval, [&] { return bands.running == 0; })) {
            guard.unlock();
            report();
            guard.lock();
        }
    }
    for (std::thread& t : workers) t.join();
    return goOn && CallProgress(progress, bands.rowsDone.load(), loop.rows, 0);
}
