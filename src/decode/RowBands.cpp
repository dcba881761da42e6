#include "decode/RowBands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace {

// A band is small enough that a stop is heard within a fraction of a millisecond, and that its
// decoded pixels (512 KiB) are still in the core's cache when they are composed; large enough
// that claiming it costs nothing beside its pixels.
constexpr uint32_t kBandPixels = uint32_t(1) << 17;
// Below this a band costs less than handing it to a worker: small pictures (a folder of
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
    uint32_t running = 0; // workers that joined and are still at work, under the pool's lock

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
};

// Worker threads started when first wanted and kept, waiting for the next loop: starting a
// thread costs a fraction of a millisecond (more under Wine), and a load or a paint runs
// loops one after the other. Never destroyed: the workers wait on it until the process ends.
// A loop's record lives on its caller's stack: a worker's last touch of it is under the pool's
// lock, so that the caller may return as soon as it sees no worker at work.
class Pool {
  public:
    static Pool& Get() {
        static Pool* pool = new Pool;
        return *pool;
    }

    // Starts workers until there are `helpers`.
    void Start(uint32_t helpers) {
        std::lock_guard<std::mutex> guard(m_lock);
        StartLocked(helpers);
    }

    // Up to `helpers` workers join `bands` as they are free.
    void Offer(Bands* bands, uint32_t helpers) {
        std::lock_guard<std::mutex> guard(m_lock);
        StartLocked(helpers);
        m_job = bands;
        m_wanted = helpers;
        m_wake.notify_all();
    }

    // No worker joins `bands` after this.
    void Withdraw(const Bands* bands) {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_job != bands) return; // a loop started meanwhile (from a pumped message)
        m_job = nullptr;
        m_wanted = 0;
    }

    // Waits up to `interval` for the workers that joined `bands` to finish; true when they have.
    bool WaitFor(const Bands& bands, std::chrono::milliseconds interval) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_done.wait_for(guard, interval, [&] { return bands.running == 0; });
    }

  private:
    void StartLocked(uint32_t helpers) {
        // No thread to be had: the calling thread does the work.
        for (; m_started < helpers && StartWorker(); ++m_started) {
        }
    }

    bool StartWorker() {
#ifdef __linux__
        // Linux queues a new thread on its parent's core, where it waits for the balancer (up to
        // a scheduler tick, milliseconds) while the other cores idle: it starts on another core
        // and may go anywhere once it has its first loop (the wake-up that hands it over would
        // otherwise put it beside the thread that woke it, for a millisecond).
        struct Start {
            Pool* pool;
            cpu_set_t allowed;
        };
        auto* start = new (std::nothrow) Start{this, {}};
        pthread_attr_t attr;
        if (start && sched_getaffinity(0, sizeof start->allowed, &start->allowed) == 0 &&
            pthread_attr_init(&attr) == 0) {
            cpu_set_t others = start->allowed;
            const int here = sched_getcpu();
            if (here >= 0 && here < CPU_SETSIZE) CPU_CLR(here, &others);
            if (CPU_COUNT(&others) > 0) pthread_attr_setaffinity_np(&attr, sizeof others, &others);
            pthread_t thread;
            const auto run = [](void* data) -> void* {
                Start* start = static_cast<Start*>(data);
                const cpu_set_t allowed = start->allowed;
                Pool* const pool = start->pool;
                delete start;
                pool->Serve(&allowed);
                return nullptr;
            };
            const bool started = pthread_create(&thread, &attr, run, start) == 0;
            pthread_attr_destroy(&attr);
            if (started) return pthread_detach(thread), true;
        }
        delete start;
#endif
        try {
            std::thread(&Pool::Serve, this, nullptr).detach();
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

#ifdef __linux__
    using CoreSet = cpu_set_t;
#else
    struct CoreSet {};
#endif
    // `widen`: the cores this worker may use from its first loop on (null: as it is).
    void Serve(const CoreSet* widen) {
        for (;;) {
            Bands* bands;
            {
                std::unique_lock<std::mutex> guard(m_lock);
                m_wake.wait(guard, [this] { return m_job && m_wanted > 0; });
                bands = m_job;
                --m_wanted;
                ++bands->running;
            }
#ifdef __linux__
            if (widen) pthread_setaffinity_np(pthread_self(), sizeof *widen, widen);
            widen = nullptr;
#else
            (void)widen;
#endif
            while (bands->RunBand()) {
            }
            std::lock_guard<std::mutex> guard(m_lock);
            if (--bands->running == 0) m_done.notify_all();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake, m_done;
    Bands* m_job = nullptr; // the loop on offer, under m_lock
    uint32_t m_wanted = 0;  // workers it may still take
    uint32_t m_started = 0;
};

bool RunInOrder(const RowLoop& loop, RowHost* host,
                const std::function<void(uint32_t, uint32_t)>& rows) {
    for (uint32_t i = 0; i < loop.rows; ++i) {
        if (host && !host->Progress(i + loop.reportBase, loop.rows)) return false;
        if (host) host->Pump();
        rows(i, i + 1);
    }
    return true;
}

} // namespace

uint32_t ThreadsFor(uint32_t requested) {
    const uint32_t cores = std::max(1u, std::thread::hardware_concurrency());
    return requested == 0 ? cores : std::min(requested, cores);
}

void StartRowThreads(uint32_t threads) {
#ifdef __linux__
    Pool::Get().Start(ThreadsFor(threads) - 1);
#else
    // Under Wine a process that ends while a thread still starts prints client errors: the
    // workers start with the first loop that takes them.
    (void)threads;
#endif
}

bool RunRows(const RowLoop& loop, uint32_t threads, RowHost* host,
             const std::function<void(uint32_t first, uint32_t end)>& rows) {
    threads = ThreadsFor(threads);
    const uint32_t pixels = std::max(1u, loop.pixelsPerRow);
    const uint32_t narrowest = std::max(1u, kMinBandPixels / pixels);
    const uint32_t widest = std::max(narrowest, kBandPixels / pixels);
    const uint32_t bandRows =
        std::clamp(loop.rows / (threads * kBandsPerThread), narrowest, widest);
    Bands bands(rows, loop.rows, bandRows);
    if (threads < 2 || bands.bandCount < 2) return RunInOrder(loop, host, rows);

    // The calling thread takes bands too: one worker fewer to hold a stack for.
    Pool& pool = Pool::Get();
    pool.Offer(&bands, std::min(threads, bands.bandCount) - 1);
    // Between its bands, and then while the workers finish theirs, this thread reports the
    // rows done and lets the host pump at most every kReportIntervalMs; a stop ends every
    // worker at its next band.
    const auto interval = std::chrono::milliseconds(kReportIntervalMs);
    bool goOn = true;
    auto report = [&] {
        // Pumped first: a request the pump hears (Esc) stops the loop now, not a report later.
        if (goOn && host) host->Pump();
        if (goOn && host && !host->Progress(bands.rowsDone.load(), loop.rows)) {
            goOn = false;
            bands.stop = true;
        }
    };
    // A first report before this thread takes a band: what the host does then (at start, the
    // window shown) overlaps the workers' bands. When that took a while, the next comes before
    // this thread's first band too: what arrived meanwhile (a key) is heard at once, not a band
    // later (a band's first touch of fresh memory can take milliseconds).
    auto due = std::chrono::steady_clock::now() + interval;
    report();
    if (std::chrono::steady_clock::now() >= due) {
        due = std::chrono::steady_clock::now() + interval;
        report();
    }
    while (bands.RunBand()) {
        const auto now = std::chrono::steady_clock::now();
        if (now < due) continue;
        due = now + interval;
        report();
    }
    pool.Withdraw(&bands);
    while (!pool.WaitFor(bands, interval)) report();
    return goOn && (!host || host->Progress(bands.rowsDone.load(), loop.rows));
}
