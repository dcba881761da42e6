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
int g_nShowCommand = SW_SHOWNORMAL;
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
int32_t g_nModalLoops = 0;

namespace {
// Whether the progress bar is on show: asking the window each row would cost a server round
// trip under Wine.
bool g_bProgressShown = false;
// Set while the start's window, placed, waits for its picture's decoding to begin: showing a
// window keeps its thread tens of milliseconds (mostly waiting for the display), which the
// workers spend decoding meanwhile.
bool g_bShowPending = false;
// Set while a window on show waits to be sized to the picture being decoded: a resize keeps
// its thread tens of milliseconds under Wine (the frame and background drawn again, the display
// answering), which the workers spend decoding meanwhile.
bool g_bPlacementPending = false;

// What waits for the decoding's first report (or its end): sizing a window on show to the
// picture, showing the start's.
void SettlePendingWindow() {
    if (g_bPlacementPending) {
        g_bPlacementPending = false;
        PlaceWindow();
    }
    if (g_bShowPending) {
        ShowMainWindow(); // without the status bar, which waits for the picture's texts
        g_bShowPending = false;
    }
}

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
        ShowMainWindow(); // behind the box
        if (!loaded)
            MessageBoxW(g_hWndMain, L"Error loading file !", Wide(fileName).c_str(),
                        MB_ICONWARNING);
        if (!g_Texture.m_pDisplayImage) DropHalfMadeImages();
        return kLoadFailed;
    }
    // The record now holds this file: whatever showed the last one goes.
    ReleaseCross();
    ReleaseLevels();
    // The selection as shown: the record clamps what the file does not have.
    g_nLevel = g_Texture.m_nLevel;
    g_nFaceOrLayer = g_Texture.m_nLayer;
    if (Cancelled() || !SyncSecond(fileName)) return kLoadStopped;
    if (LevelsWanted()) {
        const int read = ReadLevels(fileName);
        if (read == kLoadStopped || read == kLoadFailed) {
            DropHalfMadeImages();
            return read;
        }
    }
    if (!g_bLevelsShown && CrossWanted()) {
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
    const bool decoding = g_Texture.m_pRawData || g_bCrossShown;
    // A window on show is placed at the decoding's first report, or after, as it ends; one
    // not yet shown (the start's) now, before it shows.
    if (!g_bPlacementPostponed) {
        if (decoding && IsWindowVisible(g_hWndMain))
            g_bPlacementPending = true;
        else
            PlaceWindow();
    }
    if (decoding) {
        g_nProgressStage = kStageDecode;
        g_Texture.m_bExact = g_Settings.gpuExact;
        const ViewerSettings::Colour& c = g_Settings.backgroundColor;
        const int32_t mode = ComposeModeOfSettings();
        // The picture is composed as it is decoded, the cross face by face. A window not yet
        // shown shows at the first report (ReportProgress), or after, as the decoding ends.
        g_bShowPending = true;
        const bool composed = ComposePicture(mode, c.red, c.green, c.blue, ReportProgress);
        SettlePendingWindow();
        if (!composed) {
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
        ShowMainWindow();
        g_bPaintingEnabled = true;
        ClearImageArea();
    }
    FillStatusBar();
    return kLoadShown;
}
} // namespace

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

void ShowMainWindow() {
    if (IsWindowVisible(g_hWndMain)) return;
    if (!g_bShowPending) ShowStatusBar();
    ShowWindow(g_hWndMain, g_nShowCommand);
    // Started minimised: the picture is placed and fitted once the window is restored.
    if (IsIconic(g_hWndMain)) g_bPlacementPostponed = true;
    UpdateWindow(g_hWndMain);
}

int LoadAndShow(const char* fileName) {
    g_bPaintingEnabled = false;
    StartOperation(kStageRead);
    const int result = LoadAndShowSteps(fileName ? fileName : g_szCurrentFileName);
    if (IsWindowVisible(g_hWndMain)) ShowStatusBar(); // a start's load that showed no picture
    g_bPaintingEnabled = true;
    FinishOperation();
    return result;
}

int RunOperation(const std::function<int()>& steps) {
    g_bPaintingEnabled = false;
    StartOperation(kStageRead);
    const int result = steps();
    g_bPaintingEnabled = true;
    FinishOperation();
    return result;
}

int ReportProgress(uint32_t done, uint32_t total, uintptr_t) {
    SettlePendingWindow();
    if (!g_bProgressShown && ProgressBarDue(GetTickCount(), g_dwLoadStartTime)) {
        ShowMainWindow();
        ShowStatusBar(); // a long load: the bar shows beside the progress bar
        ShowWindow(g_hProgressBar, SW_SHOWNORMAL);
        g_bProgressShown = true;
    }
    SendMessageA(g_hWndMain, WM_BRIXA_PROGRESS, StagePercent(done, total), 0);
    return int(SendMessageA(g_hWndMain, WM_BRIXA_CONTINUE, 0, 0));
}

void Recompose(int32_t mode, uint8_t red, uint8_t green, uint8_t blue, void (*beforePaint)()) {
    StartOperation(kStageCompose);
    // A paint that arrives meanwhile draws nothing: the picture is being composed in place.
    const bool painting = g_bPaintingEnabled;
    g_bPaintingEnabled = false;
    ComposePicture(mode, red, green, blue, ReportProgressToTheEnd);
    g_bPaintingEnabled = painting;
    if (beforePaint) beforePaint();
    RepaintNow();
    FinishOperation();
}

void Recompose(void (*beforePaint)()) {
    const ViewerSettings::Colour& c = g_Settings.backgroundColor;
    Recompose(ComposeModeOfSettings(), c.red, c.green, c.blue, beforePaint);
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
