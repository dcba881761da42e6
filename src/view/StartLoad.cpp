// The file named at start is read, decoded and composed on a thread of its own while the
// window is made and shown: under Wine making the window takes longer than the picture, and
// done one after the other they add up. The pipeline then takes the record from the thread
// in place of its own read and composition.
#include "view/Window.h"

#include <atomic>
#include <string>

#include "decode/Compose.h"
#include "view/CubeCross.h"
#include "view/FileList.h"
#include "view/Progress.h"
#include "view/Settings.h"
#include "view/View.h"

namespace {

struct StartLoad {
    HANDLE thread = nullptr;
    HANDLE headerRead = nullptr; // set once the load has returned and the images are made
    std::string path;            // full and long: the pipeline's name is compared with it
    bool held = false;           // the thread owns the record: the window reads none of it
    // What the thread was asked for, fixed before it starts.
    ViewerSettings settings;
    int32_t mode = COMPOSE_COLOR;
    // The thread's answers, read once headerRead is set.
    bool loaded = false;
    bool composing = false; // it goes on to decode and compose
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> done{0}, total{1};
};
StartLoad g_start;

int StartLoadProgress(uint32_t done, uint32_t total, uintptr_t) {
    g_start.done = done;
    g_start.total = total;
    return !g_start.stop.load();
}

// The picture's colour: as the pipeline composes it (ComposePicture, one surface).
uint32_t BackgroundOf(const ViewerSettings& s) {
    return uint32_t(s.backgroundColor.red) << 16 | uint32_t(s.backgroundColor.green) << 8 |
           s.backgroundColor.blue;
}

DWORD WINAPI RunStartLoad(void*) {
    const ViewerSettings& s = g_start.settings;
    g_start.loaded =
        g_Texture.Load(g_start.path.c_str(), 0, 0, nullptr, s.dxt5AsNormalMap, StartLoadProgress);
    // The cross and all levels read more than this surface: the pipeline composes those.
    const bool one =
        g_start.loaded && g_Texture.m_LastError.kind == LoadError::kNone && g_Texture.m_pRawData &&
        !g_start.stop && !s.allLevels &&
        !(s.cubeCross && g_Texture.m_bCubeMap && g_Texture.m_nSurfaceCount == kCubeFaces);
    uint32_t bg = 0;
    if (one) {
        g_Texture.m_bExact = s.gpuExact;
        bool checkered = false;
        bg = ApplyViewOptions(g_Texture, s, g_start.mode, BackgroundOf(s), checkered);
        g_start.composing = g_Texture.AllocImages();
    }
    SetEvent(g_start.headerRead);
    if (g_start.composing)
        g_Texture.DecodeAndCompose(g_start.mode, uint8_t(bg >> 16), uint8_t(bg >> 8), uint8_t(bg),
                                   StartLoadProgress);
    return 0;
}

// The window's messages first (a request already waiting is heard before the wait), then the
// running operation's progress while the thread works; a request that stops the load stops the
// thread.
void WaitPumping(HANDLE handle, int32_t stage) {
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        g_nProgressStage = stage;
        if (!ReportProgress(g_start.done, g_start.total, 0)) g_start.stop = true;
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(1, &handle, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) return;
    }
}

void Join() {
    WaitForSingleObject(g_start.thread, INFINITE);
    CloseHandle(g_start.thread);
    CloseHandle(g_start.headerRead);
    g_start.thread = g_start.headerRead = nullptr;
    g_start.held = false;
    g_Reader.m_bDispatch = true;
}

} // namespace

void BeginStartLoad(const std::string& typed) {
    if (typed.empty() || !HasDdsExtension(typed.c_str())) return;
    wchar_t longPath[MAX_PATH], full[MAX_PATH];
    const std::wstring path = Wide(typed);
    DWORD n = GetLongPathNameW(path.c_str(), longPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return; // not there: the start says so
    n = GetFullPathNameW(longPath, MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH) return;
    g_start.path = Utf8(full);
    g_start.settings = g_Settings;
    g_start.mode = ComposeModeOfSettings();
    g_start.stop = false;
    g_start.loaded = g_start.composing = false;
    g_start.headerRead = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_start.headerRead) return;
    // The reader waits on the thread: it has no window's messages to dispatch there.
    g_Reader.m_bDispatch = false;
    g_start.held = true;
    g_start.thread = CreateThread(nullptr, 0, RunStartLoad, nullptr, 0, nullptr);
    if (g_start.thread) return;
    CloseHandle(g_start.headerRead);
    g_start.headerRead = nullptr;
    g_start.held = false;
    g_Reader.m_bDispatch = true;
}

bool StartLoadHolds() {
    return g_start.held;
}

bool TakeStartLoad(const char* fileName, bool& loaded) {
    if (!g_start.thread) return false;
    if (g_nLevel != 0 || g_nFaceOrLayer != 0 ||
        g_Settings.dxt5AsNormalMap != g_start.settings.dxt5AsNormalMap ||
        FullPathOf(fileName) != g_start.path) {
        EndStartLoad();
        return false;
    }
    WaitPumping(g_start.headerRead, kStageRead);
    g_start.held = false;
    loaded = g_start.loaded;
    if (!g_start.composing) Join();
    return true;
}

bool StartPictureReady() {
    return !g_start.thread || WaitForSingleObject(g_start.thread, 0) == WAIT_OBJECT_0;
}

int TakeStartPicture(int32_t mode, uint8_t red, uint8_t green, uint8_t blue) {
    if (!g_start.thread) return kStartPictureNone;
    WaitPumping(g_start.thread, kStageDecode);
    Join();
    if (g_nLoadState == kLoadCancelRequested) return kStartPictureStopped;
    // Asked for with other options meanwhile: composed again as asked.
    if (mode != g_start.mode ||
        (uint32_t(red) << 16 | uint32_t(green) << 8 | blue) != BackgroundOf(g_start.settings))
        return kStartPictureNone;
    ApplyViewOptions(mode, red, green, blue); // the window's own state of the view
    return kStartPictureMade;
}

void EndStartLoad() {
    if (!g_start.thread) return;
    g_start.stop = true;
    Join();
    // Nobody shows what it read: the record is as before any file.
    DropHalfMadeImages();
    g_Texture.m_Header = {};
    g_Texture.m_nWidth = g_Texture.m_nHeight = 0;
}
