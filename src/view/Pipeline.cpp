// The load-and-show pipeline, its progress reports and the deferred request.
#include "view/Window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "view/Settings.h"
#include "decode/Compose.h"
#include "view/FileList.h"
#include "view/Placement.h"
#include "view/Progress.h"
#include "view/StatusText.h"
#include "view/View.h"

HINSTANCE g_hInst = nullptr;
HWND g_hWndMain = nullptr;
HWND g_hStatusBar = nullptr;
HWND g_hProgressBar = nullptr;
WNDPROC g_pfnMainWndProc = nullptr;
CFileEx g_Reader;
CDdsTexture g_Texture(g_Reader);

int32_t g_nLoadState = kLoadIdle;
MSG g_DeferredMessage = {};
int32_t g_nProgressStage = kStageRead;
DWORD g_dwLoadStartTime = 0;
bool g_bPaintingEnabled = true;
bool g_bPlacementPostponed = false;
int32_t g_nLevel = 0;
int32_t g_nFaceOrLayer = 0;
char g_szCurrentFileName[MAX_PATH] = "";
char g_szShownFileName[MAX_PATH] = "";
int32_t g_nShownIndex = -1;
std::string g_sShownPath;
bool g_bCrossShown = false;
int32_t g_nModalLoops = 0;

namespace {
// Whether the progress bar is on show: asking the window each row would cost a server round
// trip under Wine.
bool g_bProgressShown = false;

// Ends an operation: the bar goes, the state returns to idle, and a request that waited for
// the operation is handled now.
void FinishOperation() {
    const bool replay = g_nLoadState == kLoadCancelRequested;
    ShowWindow(g_hProgressBar, SW_HIDE);
    g_bProgressShown = false;
    g_nLoadState = kLoadIdle;
    if (replay) HandleDeferredMessage();
}

void StartOperation(int32_t stage) {
    g_nLoadState = kLoadBusy;
    g_dwLoadStartTime = GetTickCount();
    SendMessageA(g_hProgressBar, PBM_SETPOS, 0, 0);
    g_nProgressStage = stage;
}

bool Cancelled() {
    return g_nLoadState == kLoadCancelRequested;
}

void ClearImageArea() {
    HDC dc = GetDC(g_hWndMain);
    RECT area;
    GetClientRect(g_hWndMain, &area);
    FillRect(dc, &area, HBRUSH(COLOR_SCROLLBAR + 1));
    ReleaseDC(g_hWndMain, dc);
}

// The cube's six faces of the selected level as the file holds them, read at the load, so
// that the cross is composed again from memory; and the cross itself.
struct CrossRecord {
    std::vector<uint8_t> faces[kCubeFaces]; // empty: the file does not supply that face
    std::vector<uint32_t> image;            // bottom-up, kCrossColumns x kCrossRows cells
    int32_t cellWidth = 0, cellHeight = 0;
    dds::DdsHead header = {}; // the record's header when the faces were read
};
CrossRecord g_cross;

// Its memory goes back to the system (some 800 MB for a 4096 x 4096 cube).
void ReleaseCross() {
    g_cross = CrossRecord();
    g_bCrossShown = false;
}

// A load stopped halfway leaves images that are neither the last picture nor the next: they
// are let go (their storage stays for the next load), so that nothing paints them.
void DropHalfMadeImages() {
    g_Texture.FreeBuffers();
    ReleaseCross();
}

bool CrossWanted() {
    return g_Settings.cubeCross && g_Texture.m_bCubeMap && g_Texture.m_nSurfaceCount == kCubeFaces;
}

// Sizes the cross for the selected level and reads its six faces. kLoadShown when they are in
// memory; kLoadFailed or kLoadStopped as a read ends; -1 when the memory cannot be had (the
// box says so, and one face is shown instead).
int ReadCross(const char* fileName) {
    const int32_t w = g_Texture.m_nWidth, h = g_Texture.m_nHeight, selected = g_Texture.m_nLayer;
    uint64_t bytes = 0;
    bool room = CrossImageBytes(w, h, bytes) && bytes <= SIZE_MAX;
    try {
        if (room) g_cross.image.resize(size_t(bytes / 4));
        for (std::vector<uint8_t>& face : g_cross.faces)
            if (room) face.reserve(g_Texture.m_nRawHeld);
    } catch (const std::bad_alloc&) {
        room = false;
    }
    if (!room) {
        ReleaseCross();
        MessageBoxA(
            g_hWndMain,
            OutOfMemoryText(uint32_t(w) * kCrossColumns, uint32_t(h) * kCrossRows, bytes).c_str(),
            "Error...", MB_ICONERROR);
        return -1;
    }
    for (int32_t face = 0; face < kCubeFaces; ++face) {
        const bool loaded = g_Texture.Load(fileName, g_nLevel, face, g_hWndMain,
                                           g_Settings.dxt5AsNormalMap, ReportProgress);
        if (!loaded || g_Texture.m_LastError.kind != LoadError::kNone) {
            MessageBoxA(g_hWndMain, g_Texture.m_LastError.text.c_str(), "Error...", MB_ICONERROR);
            return kLoadFailed;
        }
        if (Cancelled()) return kLoadStopped;
        if (g_Texture.m_pRawData && g_Texture.m_nRawHeld && g_Texture.m_nWidth == w &&
            g_Texture.m_nHeight == h)
            g_cross.faces[face].assign(g_Texture.m_pRawData,
                                       g_Texture.m_pRawData + g_Texture.m_nRawHeld);
    }
    g_Texture.m_nLayer = selected;
    g_cross.cellWidth = w;
    g_cross.cellHeight = h;
    g_cross.header = g_Texture.m_Header;
    g_bCrossShown = true;
    return kLoadShown;
}

// Decodes and composes each face from memory into its cell; false when `progress` stopped
// it. The record's own surface is put back afterwards.
bool ComposeCross(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
                  ProgressCallback progress) {
    const int32_t w = g_cross.cellWidth, h = g_cross.cellHeight;
    // The faces fit the record's header only: another file's header never decodes them.
    if (std::memcmp(&g_Texture.m_Header, &g_cross.header, sizeof g_cross.header) != 0) return true;
    if ((!g_Texture.m_pWorkImage || !g_Texture.m_pDisplayImage) && !g_Texture.AllocImages())
        return true; // no images: the caller reports the memory
    // The empty cells are transparent black: composed, that is the background colour where
    // the view blends over it, black elsewhere (and under the checkerboard). The view options
    // are put in force first: an isolated channel never blends.
    const uint32_t bg = ApplyViewOptions(mode, red, green, blue);
    std::fill(g_cross.image.begin(), g_cross.image.end(), BlendsByAlpha(g_Texture, mode) ? bg : 0u);
    uint8_t* const own = g_Texture.m_pRawData;
    const uint32_t ownHeld = g_Texture.m_nRawHeld;
    const bool stoppable = progress == ReportProgress;
    bool whole = true;
    for (int32_t face = 0; face < kCubeFaces && whole; ++face) {
        std::vector<uint8_t>& raw = g_cross.faces[face];
        if (raw.empty()) continue; // a face the file cannot supply stays an empty cell
        g_Texture.m_pRawData = raw.data();
        g_Texture.m_nRawHeld = uint32_t(raw.size());
        g_Texture.DecodeAndCompose(mode, uint8_t(bg >> 16), uint8_t(bg >> 8), uint8_t(bg),
                                   progress);
        whole = !(stoppable && Cancelled());
        if (whole) CopyFaceIntoCross(g_cross.image.data(), g_Texture.m_pDisplayImage, w, h, face);
    }
    g_Texture.m_pRawData = own;
    g_Texture.m_nRawHeld = ownHeld;
    return whole;
}

// A recomposition runs to its end, so that the picture on screen is always one whole
// composition; a request that arrives meanwhile waits for it.
int ReportProgressToTheEnd(uint32_t done, uint32_t total, uintptr_t userValue) {
    ReportProgress(done, total, userValue);
    return 1;
}

// The steps of LoadAndShow, which ends each the same way.
int LoadAndShowSteps(const char* fileName) {
    const bool loaded = g_Texture.Load(fileName, g_nLevel, g_nFaceOrLayer, g_hWndMain,
                                       g_Settings.dxt5AsNormalMap, ReportProgress);
    // Shown while still busy, so that what arrives meanwhile waits for the box as well.
    const bool readerFailed = g_Texture.m_LastError.kind == LoadError::kReader;
    if (readerFailed)
        MessageBoxA(g_hWndMain, g_Texture.m_LastError.text.c_str(), "Error...", MB_ICONERROR);
    // A file that could not be read is a failed load like a refused one: the title and the
    // status stay with what is on show (and its picture, unless the reader had to let it go).
    if (!loaded || readerFailed) {
        if (!loaded)
            MessageBoxW(g_hWndMain, L"Error loading file !", Wide(fileName).c_str(),
                        MB_ICONWARNING);
        if (!g_Texture.m_pDisplayImage) DropHalfMadeImages();
        return kLoadFailed;
    }
    // The record now holds this file: whatever showed the last one goes.
    ReleaseCross();
    // The selection as shown: the record clamps what the file does not have.
    g_nLevel = g_Texture.m_nLevel;
    g_nFaceOrLayer = g_Texture.m_nLayer;
    if (Cancelled()) return kLoadStopped;
    if (CrossWanted()) {
        const int read = ReadCross(fileName);
        if (read == kLoadStopped || read == kLoadFailed) {
            DropHalfMadeImages();
            return read;
        }
    }
    g_fFitFactor = 1.0f;
    // A minimised window has no client area to place and fit the picture in: that waits until
    // it is restored.
    g_bPlacementPostponed = IsIconic(g_hWndMain) != FALSE;
    if (!g_bPlacementPostponed) PlaceWindow();
    if (g_Texture.m_pRawData || g_bCrossShown) {
        g_nProgressStage = kStageDecode;
        g_Texture.m_bExact = g_Settings.gpuExact;
        const ViewerSettings::Colour& c = g_Settings.backgroundColor;
        const int32_t mode = ComposeModeOfSettings();
        // The picture is composed as it is decoded, the cross face by face.
        if (g_bCrossShown)
            ComposeCross(mode, c.red, c.green, c.blue, ReportProgress);
        else
            DecodeAndComposeShown(mode, c.red, c.green, c.blue);
        if (Cancelled()) {
            DropHalfMadeImages(); // nothing half-decoded is ever painted
            return kLoadStopped;
        }
        if (!g_Texture.m_pDisplayImage) { // the images could not be had: a failed load
            MessageBoxA(
                g_hWndMain,
                OutOfMemoryText(g_Texture.m_Header.dwWidth, g_Texture.m_Header.dwHeight).c_str(),
                "Error...", MB_ICONERROR);
            ReleaseCross();
            return kLoadFailed;
        }
        if (g_Settings.autoZoom && !g_bPlacementPostponed) ComputeFitFactor();
        g_bPaintingEnabled = true;
        RepaintNow();
    } else {
        g_bPaintingEnabled = true;
        ClearImageArea();
    }
    FillStatusBar();
    return kLoadShown;
}
} // namespace

ShownImage Shown() {
    if (g_bCrossShown)
        return {g_cross.image.data(), g_cross.cellWidth * kCrossColumns,
                g_cross.cellHeight * kCrossRows};
    // The size is the record's also before its images are made (the window is placed first).
    return {g_Texture.m_pDisplayImage, g_Texture.m_nWidth, g_Texture.m_nHeight};
}

int32_t ComposeModeOfSettings() {
    if (g_Settings.showAlpha) return COMPOSE_ALPHA;
    return g_Settings.useAlpha ? COMPOSE_BLEND : COMPOSE_COLOR;
}

int OpenByName() {
    if (!HasDdsExtension(g_szCurrentFileName)) return -1; // never cut to a shorter name
    // A stopped load is no failure (the request that stopped it follows), but only a load
    // that completed changes what names the file on show.
    const int result = LoadAndShow();
    if (result == kLoadFailed) return result;
    if (result == kLoadShown) RecordShown();
    return 0;
}

void RecordShown() {
    lstrcpynA(g_szShownFileName, g_szCurrentFileName, sizeof g_szShownFileName);
    g_nShownIndex = g_nCurrentIndex;
    g_sShownPath = FullPathOf(g_szCurrentFileName);
    WatchShownFile();
    UpdateTitle();
}

int LoadAndShow(const char* fileName) {
    g_bPaintingEnabled = false;
    StartOperation(kStageRead);
    const int result = LoadAndShowSteps(fileName ? fileName : g_szCurrentFileName);
    g_bPaintingEnabled = true;
    FinishOperation();
    return result;
}

void FillStatusBar() {
    StatusFacts facts = StatusFactsOf(g_Texture);
    facts.allSides = g_bCrossShown;
    const auto parts = FormatStatusTexts(facts);
    for (int part : {2, 3, 4, 5, 0, 1})
        SendMessageA(g_hStatusBar, SB_SETTEXTA, part, LPARAM(parts[part].c_str()));
    // The seventh part comes and goes with the exposure of a float surface.
    SetStatusParts();
    UpdateViewPart();
}

int ReportProgress(uint32_t done, uint32_t total, uintptr_t) {
    if (!g_bProgressShown && ProgressBarDue(GetTickCount(), g_dwLoadStartTime)) {
        ShowWindow(g_hProgressBar, SW_SHOWNORMAL);
        g_bProgressShown = true;
    }
    SendMessageA(g_hWndMain, WM_BRIXA_PROGRESS, StagePercent(done, total), 0);
    return int(SendMessageA(g_hWndMain, WM_BRIXA_CONTINUE, 0, 0));
}

void Recompose(int32_t mode, uint8_t red, uint8_t green, uint8_t blue, void (*beforePaint)()) {
    StartOperation(kStageCompose);
    if (g_bCrossShown)
        ComposeCross(mode, red, green, blue, ReportProgressToTheEnd);
    else
        ComposeShown(mode, red, green, blue, ReportProgressToTheEnd);
    if (beforePaint) beforePaint();
    RepaintNow();
    FinishOperation();
}

void DeferMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // A dropped file that is overtaken by a later request is let go.
    if (g_DeferredMessage.message == WM_DROPFILES) DragFinish(HDROP(g_DeferredMessage.wParam));
    g_DeferredMessage = {};
    g_DeferredMessage.hwnd = g_hWndMain;
    g_DeferredMessage.message = message;
    g_DeferredMessage.wParam = wParam;
    g_DeferredMessage.lParam = lParam;
    g_nLoadState = kLoadCancelRequested;
}

void HandleDeferredMessage() {
    const MSG m = g_DeferredMessage;
    g_DeferredMessage = {};
    if (!m.message) return;
    // Posted, so that it runs from the message loop and not inside the frame of the load it
    // stopped (a long run of stopped loads would otherwise nest ever deeper); a window that
    // has gone meanwhile (a WM_DESTROY during the load) hears of it at once.
    if (IsWindow(g_hWndMain))
        PostMessageA(g_hWndMain, m.message, m.wParam, m.lParam);
    else
        g_pfnMainWndProc(g_hWndMain, m.message, m.wParam, m.lParam);
}
