#include "dds/ImageBuffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/mman.h>
#endif

// Sanitizers see only what they allocate: under them the storage comes from the heap, sized
// exactly for each request, so that a write past an image's end is caught where it happens.
#if defined(__SANITIZE_ADDRESS__)
#define BRIXA_HEAP_STORAGE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRIXA_HEAP_STORAGE 1
#endif
#endif
#ifdef BRIXA_HEAP_STORAGE
#include <cstdlib>
#endif

namespace {

size_t g_allocationLimit = 0;

// Large surfaces touch hundreds of thousands of pages, and the first touch of each costs
// microseconds (more in a virtual machine); huge pages cut that cost twenty-fold. Linux gives
// them where asked for (transparent huge pages in madvise mode).
[[maybe_unused]] constexpr size_t kHugePageBytes = size_t(2) << 20; // unused by heap storage

#if defined(_WIN32) && defined(__x86_64__) && !defined(BRIXA_HEAP_STORAGE)
// Under Wine on Linux the program's memory is the Linux process's own, and Windows has no call
// that asks for transparent huge pages: the program asks Linux itself (madvise, MADV_HUGEPAGE).
// Wine 11.5 and later catch a program's own system calls (syscall user dispatch) and would read
// this one as a Windows call: the request is made only by versions before 11, which pass it on.
bool OnLinuxUnderWine() {
    static const bool onLinux = [] {
        using HostVersion = void(CDECL*)(const char**, const char**);
        using WineVersion = const char*(CDECL*)();
        const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        if (!ntdll) return false;
        const auto host = reinterpret_cast<HostVersion>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_host_version")));
        const auto version = reinterpret_cast<WineVersion>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
        const char* system = nullptr;
        const char* release = nullptr;
        if (host) host(&system, &release);
        const char* wine = version ? version() : nullptr;
        return system && std::strcmp(system, "Linux") == 0 && wine && std::atoi(wine) >= 1 &&
               std::atoi(wine) < 11;
    }();
    return onLinux;
}

void AdviseHugePages(void* p, size_t bytes) {
    if (!OnLinuxUnderWine()) return;
    long result;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(28L), "D"(p), "S"(bytes), "d"(14L) // madvise, MADV_HUGEPAGE
                     : "rcx", "r11", "memory");
    (void)result; // refused: the pages stay small
}
#endif

// Fresh pages from the system are zero already.
void* MapZeroed(size_t bytes) {
#if defined(BRIXA_HEAP_STORAGE)
    return std::calloc(bytes, 1);
#elif defined(_WIN32) && defined(__x86_64__)
    if (bytes < kHugePageBytes || !OnLinuxUnderWine())
        return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    // Huge pages only fill whole aligned 2 MiB: one more of them is reserved to align the start.
    char* base = static_cast<char*>(
        VirtualAlloc(nullptr, bytes + kHugePageBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base) return nullptr;
    const uintptr_t start = (uintptr_t(base) + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    AdviseHugePages(reinterpret_cast<void*>(start), bytes);
    return reinterpret_cast<void*>(start);
#elif defined(_WIN32)
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    if (bytes >= kHugePageBytes) madvise(p, bytes, MADV_HUGEPAGE);
#endif
    return p;
#endif
}

void Unmap(void* p, size_t bytes) {
#if defined(BRIXA_HEAP_STORAGE)
    (void)bytes;
    std::free(p);
#elif defined(_WIN32)
    (void)bytes;
    MEMORY_BASIC_INFORMATION m; // an aligned start lies inside its allocation
    if (VirtualQuery(p, &m, sizeof m)) VirtualFree(m.AllocationBase, 0, MEM_RELEASE);
#else
    munmap(p, bytes);
#endif
}

#ifndef BRIXA_HEAP_STORAGE
constexpr size_t kPageBytes = 4096;

// Gives the pages from `keep` to `bytes` back to the system; the first `keep` bytes stay as
// they are. `keep` is a multiple of the page size.
void UnmapTail(void* p, size_t keep, size_t bytes) {
#if defined(_WIN32)
    VirtualFree(static_cast<char*>(p) + keep, bytes - keep, MEM_DECOMMIT);
#else
    munmap(static_cast<char*>(p) + keep, bytes - keep);
#endif
}
#endif

} // namespace

void SetAllocationLimit(size_t bytes) {
    g_allocationLimit = bytes;
}
size_t GetAllocationLimit() {
    return g_allocationLimit;
}

ImageBuffer::~ImageBuffer() {
    Discard();
}

void ImageBuffer::Discard() {
    if (m_pStore) Unmap(m_pStore, m_nCapacity);
    m_pStore = nullptr;
    m_nCapacity = 0;
}

void* ImageBuffer::Acquire(size_t bytes, bool zeroFill) {
    if (g_allocationLimit != 0 && bytes > g_allocationLimit) return nullptr;
    // Never hand out a null pointer for an empty image: null means "not allocated".
    size_t want = bytes ? bytes : 1;
    // Reuse what fits: its pages are mapped already. When that would keep far more memory than
    // needed, the surplus goes back to the system and the head stays.
#ifdef BRIXA_HEAP_STORAGE
    const bool fits = m_pStore && want == m_nCapacity;
#else
    const bool fits = m_pStore && want <= m_nCapacity;
    const size_t keep = (want + kPageBytes - 1) / kPageBytes * kPageBytes;
    if (fits && m_nCapacity > (size_t(64) << 20) && want < m_nCapacity / 4) {
        UnmapTail(m_pStore, keep, m_nCapacity);
        m_nCapacity = keep;
    }
#endif
    if (fits) {
        if (zeroFill) std::memset(m_pStore, 0, want);
        return m_pStore;
    }
    Discard();
    m_pStore = MapZeroed(want);
    if (!m_pStore) return nullptr;
    m_nCapacity = want;
    return m_pStore;
}
