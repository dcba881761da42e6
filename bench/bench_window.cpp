// The viewer's pipeline inside its real window, under Wine: what a user waits for.
//   bench_window pipeline FILE [REPS]   OpenByName of FILE (median of REPS), the same load,
//                                       decode and compose without the window, and a mip step
//   bench_window memory FILE            peak memory of a process that shows FILE
//   bench_window extras FILE            the texel readout from a cursor move to its status text,
//                                       and the channel, checkerboard, tile and all-levels keys
//                                       to the repaint
//   bench_window reload FILE            live reload: a copy of FILE written again, until the new
//                                       picture is painted (the folder's quiet time included)
//   bench_window compare FILE B         compare with B: its load and composition, Space (flip)
//                                       and D (difference) from the key to the repaint, and a
//                                       mip step that loads both
//   bench_window cycle FOLDER           Page Down through every file of FOLDER (which ends with
//                                       a backslash): the first step with the folder scan, the
//                                       steps after it, and one file's own load
// Prints "name value unit" lines. Settings go to a key of their own, deleted at the end.
// Notes: the system's halftone stretch cost about 14 ms for a window of pixels under Wine
// (25 ms for a 1024 x 1024 picture fitted), whatever the picture's size; painting therefore
// shrinks with a filter of its own (ShrinkPicture) and draws the visible part 1:1.
#include "app/Shell.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decode/RowBands.h"
#include "view/Progress.h"
#include "view/Reload.h"
#include "view/Settings.h"
#include "view/FileList.h"
#include "view/ShrinkFilter.h"
#include "view/View.h"
#include "view/Zoom.h"

namespace {

const char kBenchKey[] = "SOFTWARE\\Brixa-bench\\";

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1000.0 / frequency.QuadPart;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Report(const char* name, double value, const char* unit) {
    std::printf("%-34s %10.1f %s\n", name, value, unit);
    std::fflush(stdout);
}

// Rows reported and the messages dispatched meanwhile.
uint32_t g_reports = 0;
int CountingProgress(uint32_t done, uint32_t total, uintptr_t user) {
    ++g_reports;
    return ReportProgress(done, total, user);
}

bool Show(const char* path) {
    lstrcpynA(g_szCurrentFileName, path, MAX_PATH);
    g_nLevel = g_nFaceOrLayer = 0;
    return OpenByName() == 0 && g_Texture.m_pDisplayImage;
}

// The pipeline's stages one by one, as LoadAndShow runs them: busy, the progress bar not yet
// due, every report counted. Prints each stage and their sum.
void Stages(const char* path, int32_t level) {
    g_reports = 0;
    g_nLoadState = kLoadBusy;
    g_dwLoadStartTime = GetTickCount();
    g_nProgressStage = kStageRead;
    const double start = NowMs();
    double t = start;
    auto stage = [&t](const char* name) {
        const double now = NowMs();
        Report(name, now - t, "ms");
        t = now;
    };
    g_Texture.Load(path, level, 0, g_hWndMain, false, CountingProgress);
    stage("  read (Load, reports included)");
    g_fFitFactor = 1.0f; // placed at its own size, then fitted, as a load does
    PlaceWindow();
    stage("  placement (window sized to it)");
    g_nProgressStage = kStageDecode;
    g_Texture.DecodeAndCompose(COMPOSE_BLEND, 255, 0, 255, CountingProgress);
    stage("  decode and compose (one pass)");
    ComputeFitFactor();
    RepaintNow();
    GdiFlush();
    stage("  paint (as fitted)");
    {
        // The paint's own filter alone, the whole drawn picture at once: what the paint adds
        // to it is the system's drawing.
        const ShownImage image = Shown();
        const float scale = g_fFitFactor * g_fZoomFactor;
        const int32_t w = int32_t(DrawnLength(image.width, scale));
        const int32_t h = int32_t(DrawnLength(image.height, scale));
        std::vector<uint32_t> shrunk(size_t(w) * h);
        const double s0 = NowMs();
        const bool ran = ShrinkPicture(shrunk.data(), {0, 0, w, h}, image.pixels, image.width,
                                       image.height, w, h);
        if (ran) Report("    of which the shrink filter", NowMs() - s0, "ms");
        t = NowMs();
    }
    FillStatusBar();
    UpdateTitle();
    stage("  status bar and title");
    Report("  sum of the stages above", NowMs() - start, "ms");
    Report("  progress reports in them", g_reports, "calls");
    g_nLoadState = kLoadIdle;
}

int Pipeline(const char* path, int reps) {
    std::vector<double> window, core, step;
    for (int i = 0; i < reps; ++i) {
        const double t0 = NowMs();
        if (!Show(path)) return std::fprintf(stderr, "cannot show %s\n", path), 1;
        window.push_back(NowMs() - t0);
    }
    Report("window: first open (fresh memory)", window.front(), "ms");
    Report("window: open to paint (median)", Median(window), "ms");
    std::printf("one open's stages in the window (a run of its own):\n");
    Stages(path, 0);

    // The same steps on a record of its own, reporting nothing: the core alone.
    CFileEx reader;
    CDdsTexture texture(reader);
    for (int i = 0; i < reps; ++i) {
        const double t0 = NowMs();
        texture.Load(path, 0, 0, nullptr, false);
        texture.DecodeAndCompose(COMPOSE_BLEND, 255, 0, 255);
        core.push_back(NowMs() - t0);
    }
    Report("core in this process (median)", Median(core), "ms");
    double t = NowMs();
    texture.Load(path, 0, 0, nullptr, false);
    Report("  core: read", NowMs() - t, "ms");
    t = NowMs();
    texture.DecodeAndCompose(COMPOSE_BLEND, 255, 0, 255);
    Report("  core: decode and compose", NowMs() - t, "ms");
    Report("  core: threads", ThreadsFor(texture.m_nThreads), "");

    t = NowMs();
    g_dwLoadStartTime = GetTickCount();
    for (uint32_t i = 0; i < 1000; ++i) ReportProgress(i, 1000, 0);
    Report("one progress report (bar shown)", (NowMs() - t) * 1000.0 / 1000, "us");
    ShowWindow(g_hProgressBar, SW_HIDE);
    t = NowMs();
    for (int i = 0; i < 1000; ++i) g_Reader.PumpMessages();
    Report("one pump with nothing waiting", (NowMs() - t) * 1000.0 / 1000, "us");
    // Not part of an open (the picture no longer covers the bar): what a change of its texts
    // costs when the window next has time for it.
    std::vector<double> bar;
    for (int i = 0; i < 5; ++i) {
        InvalidateRect(g_hStatusBar, nullptr, TRUE);
        t = NowMs();
        UpdateWindow(g_hStatusBar);
        bar.push_back(NowMs() - t);
    }
    Report("status bar painted (median)", Median(bar), "ms");

    for (int i = 0; i < reps; ++i) {
        const double t0 = NowMs();
        SendMessageA(g_hWndMain, WM_KEYDOWN, VK_RIGHT, 1); // loads level 1 and repaints
        step.push_back(NowMs() - t0);
        SendMessageA(g_hWndMain, WM_KEYDOWN, VK_LEFT, 1);
    }
    Report("mip step (Right) to the repaint", Median(step), "ms");
    std::printf("level 1's stages in the window (a run of its own):\n");
    Stages(path, 1);
    return 0;
}

// Open to paint where the window changes size: a large picture and a small one in turn.
int Resize(const char* large, const char* small, int reps) {
    std::vector<double> grown, shrunk;
    for (int i = 0; i < reps; ++i)
        for (auto [path, times] : {std::pair{small, &shrunk}, std::pair{large, &grown}}) {
            const double t0 = NowMs();
            if (!Show(path)) return std::fprintf(stderr, "cannot show %s\n", path), 1;
            times->push_back(NowMs() - t0);
        }
    Report("open to paint, window grown (median)", Median(grown), "ms");
    Report("open to paint, window shrunk (median)", Median(shrunk), "ms");
    return 0;
}

int Memory(const char* path) {
    if (!Show(path)) return std::fprintf(stderr, "cannot show %s\n", path), 1;
    PROCESS_MEMORY_COUNTERS_EX m = {};
    m.cb = sizeof m;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m),
                         sizeof m);
    const double mb = 1024.0 * 1024.0;
    const double images = double(g_Texture.m_nWidth) * g_Texture.m_nHeight * 4 / mb;
    Report("raw surface", g_Texture.m_nRawSize / mb, "MB");
    Report("display image", images, "MB");
    Report("peak private bytes", m.PeakPagefileUsage / mb, "MB");
    Report("peak working set", m.PeakWorkingSetSize / mb, "MB");
    Report("beyond surface and image",
           m.PeakPagefileUsage / mb - images - g_Texture.m_nRawSize / mb, "MB");
    return 0;
}

int Extras(const char* path) {
    if (!Show(path)) return std::fprintf(stderr, "cannot show %s\n", path), 1;
    SendMessageA(g_hWndMain, WM_KEYUP, 'T', 0xC0000001); // texel values on
    POINT origin = {g_LastImageRect.left, g_LastImageRect.top};
    ClientToScreen(g_hWndMain, &origin);
    std::vector<double> moves;
    for (int i = 0; i < 200; ++i) {
        SetCursorPos(origin.x + 10 + i % 100, origin.y + 10 + i / 100);
        const double t = NowMs();
        SendMessageA(g_hWndMain, WM_SETCURSOR, WPARAM(g_hWndMain),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        moves.push_back(NowMs() - t);
    }
    Report("texel readout, cursor move (median)", Median(moves), "ms");
    Report("texel readout (slowest of 200)", *std::max_element(moves.begin(), moves.end()), "ms");
    const struct {
        UINT key;
        const char* name;
    } keys[] = {{'1', "key 1 (red alone) to the repaint"},
                {'K', "key K (checkerboard) to the repaint"},
                {'W', "key W (tile view) to the repaint"},
                {'M', "key M (all levels read) to the repaint"}};
    for (const auto& k : keys) {
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            const double t = NowMs();
            SendMessageA(g_hWndMain, WM_KEYUP, k.key, 0xC0000001);
            times.push_back(NowMs() - t);
            SendMessageA(g_hWndMain, WM_KEYUP, k.key, 0xC0000001); // and back
        }
        Report(k.name, Median(times), "ms");
    }
    // All levels on show: a view change composes every level again from memory.
    SendMessageA(g_hWndMain, WM_KEYUP, 'M', 0xC0000001);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const double t = NowMs();
        SendMessageA(g_hWndMain, WM_KEYUP, '1', 0xC0000001);
        times.push_back(NowMs() - t);
        SendMessageA(g_hWndMain, WM_KEYUP, '1', 0xC0000001);
    }
    Report("key 1 with all levels to the repaint", Median(times), "ms");
    double t = NowMs();
    SendMessageA(g_hWndMain, WM_KEYDOWN, VK_RIGHT, 1);
    Report("Right with all levels (from memory)", NowMs() - t, "ms");
    t = NowMs();
    SendMessageA(g_hWndMain, WM_KEYDOWN, VK_RIGHT, 1);
    Report("Right again", NowMs() - t, "ms");
    t = NowMs();
    SendMessageA(g_hWndMain, WM_KEYDOWN, VK_LEFT, 1);
    Report("Left", NowMs() - t, "ms");
    t = NowMs();
    SendMessageA(g_hWndMain, WM_KEYUP, 'M', 0xC0000001);
    Report("key M off to the repaint", NowMs() - t, "ms");
    return 0;
}

// The key's message sent and the screen drawn: from the key to the repaint.
double KeyToRepaint(UINT message, UINT key, LPARAM lParam) {
    const double t = NowMs();
    SendMessageA(g_hWndMain, message, key, lParam);
    GdiFlush();
    return NowMs() - t;
}

int Compare(const char* path, const char* second) {
    if (!Show(path)) return std::fprintf(stderr, "cannot show %s\n", path), 1;
    double t = NowMs();
    if (!CompareWith(second)) return std::fprintf(stderr, "cannot compare with %s\n", second), 1;
    Report("compare: B read and composed", NowMs() - t, "ms");
    std::vector<double> flips, differences;
    for (int i = 0; i < 21; ++i) flips.push_back(KeyToRepaint(WM_KEYDOWN, VK_SPACE, 1));
    Report("Space (flip) to the repaint (median)", Median(flips), "ms");
    Report("Space (slowest of 21)", *std::max_element(flips.begin(), flips.end()), "ms");
    for (int i = 0; i < 5; ++i) {
        differences.push_back(KeyToRepaint(WM_KEYUP, 'D', 0xC0000001));
        KeyToRepaint(WM_KEYUP, 'D', 0xC0000001); // and back
    }
    Report("D (difference) to the repaint", Median(differences), "ms");
    t = NowMs();
    SendMessageA(g_hWndMain, WM_KEYDOWN, VK_RIGHT, 1);
    Report("mip step, both loaded", NowMs() - t, "ms");
    return Comparing() ? 0 : 1;
}

int Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

// Writes the whole file again in one go, as a tool that saves it would.
bool Rewrite(const std::string& path, const std::vector<char>& bytes) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(f);
    return ok;
}

int Reload(const char* path) {
    const std::string copy = std::string(path) + ".reload.dds";
    if (!CopyFileA(path, copy.c_str(), FALSE)) return Fail("cannot copy the file");
    std::vector<char> bytes;
    if (FILE* f = std::fopen(copy.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(char(c));
        std::fclose(f);
    }
    g_Settings.liveReload = true;
    int result = 0;
    if (!Show(copy.c_str())) result = Fail("cannot show the copy");
    std::vector<double> times;
    for (int i = 0; i < 5 && result == 0; ++i) {
        g_dwLoadStartTime = 0; // set again when the reload starts
        const double t = NowMs();
        if (!Rewrite(copy, bytes)) result = Fail("cannot write the copy");
        MSG m;
        while (result == 0 && (g_dwLoadStartTime == 0 || g_nLoadState != kLoadIdle)) {
            if (NowMs() - t > 10000) result = Fail("no reload within 10 s");
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        times.push_back(NowMs() - t);
    }
    if (result == 0) {
        Report("file written to repainted (median)", Median(times), "ms");
        Report("  of which the folder must stay quiet", kReloadQuietMs, "ms");
    }
    DeleteFileA(copy.c_str());
    return result;
}

int Cycle(const char* folder) {
    lstrcpynA(g_Settings.lastPath, folder, MAX_PATH);
    SetCurrentDirectoryA(folder);
    g_szCurrentFileName[0] = '\0';
    g_nCurrentIndex = -1;
    g_Settings.wrapAround = false;
    double t = NowMs();
    SendMessageA(g_hWndMain, WM_KEYDOWN, VK_NEXT, 1); // scans the folder, opens the first file
    Report("first Page Down (with the scan)", NowMs() - t, "ms");
    const int32_t count = g_FileList.Count();
    if (count < 2) return std::fprintf(stderr, "no files in %s\n", folder), 1;
    std::vector<double> steps;
    for (int32_t i = 1; i < count; ++i) {
        t = NowMs();
        SendMessageA(g_hWndMain, WM_KEYDOWN, VK_NEXT, 1);
        steps.push_back(NowMs() - t);
    }
    if (g_nCurrentIndex != count - 1) return std::fprintf(stderr, "steps went astray\n"), 1;
    Report("files", count, "");
    Report("Page Down (median)", Median(steps), "ms");
    Report("Page Down (slowest)", *std::max_element(steps.begin(), steps.end()), "ms");
    // The picture's own share: the same file opened by name, without the list.
    std::vector<double> loads;
    const std::string name = g_szCurrentFileName;
    for (int i = 0; i < 20; ++i) {
        t = NowMs();
        Show(name.c_str());
        loads.push_back(NowMs() - t);
    }
    Report("the same file by name (median)", Median(loads), "ms");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: bench_window pipeline|memory|extras|reload FILE [REPS] | compare FILE B | "
            "resize LARGE SMALL [REPS] | cycle FOLDER\n");
        return 2;
    }
    g_pszSettingsSubkey = kBenchKey;
    if (!StartUp(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL))
        return std::fprintf(stderr, "no window: is DISPLAY set?\n"), 1;
    const int result =
        !std::strcmp(argv[1], "memory")                ? Memory(argv[2])
        : !std::strcmp(argv[1], "cycle")               ? Cycle(argv[2])
        : !std::strcmp(argv[1], "reload")              ? Reload(argv[2])
        : !std::strcmp(argv[1], "compare") && argc > 3 ? Compare(argv[2], argv[3])
        : !std::strcmp(argv[1], "resize") && argc > 3
            ? Resize(argv[2], argv[3], argc > 4 ? std::max(1, std::atoi(argv[4])) : 5)
        : !std::strcmp(argv[1], "extras")
            ? Extras(argv[2])
            : Pipeline(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 5);
    RegCloseKey(g_hSettingsKey);
    g_hSettingsKey = nullptr;
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kBenchKey);
    return result;
}
