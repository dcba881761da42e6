// The load-and-show pipeline, its progress reports and the deferred request.
#include "view/Window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
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
bool g_bCrossShown = false;

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

// A load stopped halfway leaves images that are neither the last picture nor the next: they
// are let go (their storage stays for the next load), so that nothing paints them.
void DropHalfMadeImages() {
    g_Texture.FreeBuffers();
    g_bCrossShown = false;
}

std::vector<uint32_t> g_CrossImage;
int32_t g_nCrossWidth = 0, g_nCrossHeight = 0; // one cell
bool CrossWanted() {
    return g_Settings.cubeCross && g_Texture.m_bCubeMap && g_Texture.m_nSurfaceCount == kCubeFaces;
}

// Sized for the selected level's faces.
void PrepareCross() {
    g_bCrossShown = CrossWanted();
    if (!g_bCrossShown) return;
    g_nCrossWidth = g_Texture.m_nWidth;
    g_nCrossHeight = g_Texture.m_nHeight;
    g_CrossImage.resize(size_t(g_nCrossWidth) * kCrossColumns * g_nCrossHeight * kCrossRows);
}

// Loads, decodes and composes each face of the selected level in turn (the record holds one
// surface) into its cell; false when a request stopped it or the images could not be had.
bool ComposeCross(int32_t mode, uint8_t red, uint8_t green, uint8_t blue) {
    const int32_t w = g_nCrossWidth, h = g_nCrossHeight;
    // The empty cells are transparent black: composed, that is the background colour where
    // the view blends over it, black elsewhere (and under the checkerboard).
    const bool blended = BlendsByAlpha(g_Texture, mode) && !g_Settings.checkerboard;
    std::fill(g_CrossImage.begin(), g_CrossImage.end(),
              blended ? uint32_t(red) << 16 | uint32_t(green) << 8 | blue : 0u);
    for (int32_t face = 0; face < kCubeFaces; ++face) {
        if (!g_Texture.Load(g_szCurrentFileName, g_nLevel, face, g_hWndMain,
                            g_Settings.dxt5AsNormalMap, ReportProgress) ||
            Cancelled())
            return false;
        // A face the file cannot supply stays an empty cell.
        if (!g_Texture.m_pRawData || g_Texture.m_nWidth != w || g_Texture.m_nHeight != h) continue;
        g_Texture.m_bExact = g_Settings.gpuExact;
        g_Texture.DecodeSurface(ReportProgress);
        if (Cancelled() || !g_Texture.m_pDisplayImage) return false;
        ComposeShown(mode, red, green, blue);
        if (Cancelled()) return false;
        CopyFaceIntoCross(g_CrossImage.data(), g_Texture.m_pDisplayImage, w, h, face);
    }
    return true;
}
} // namespace

ShownImage Shown() {
    if (g_bCrossShown)
        return {g_CrossImage.data(), g_nCrossWidth * kCrossColumns, g_nCrossHeight * kCrossRows};
    return {g_Texture.m_pDisplayImage, g_Texture.m_nWidth, g_Texture.m_nHeight};
}

int32_t ComposeModeOfSettings() {
    if (g_Settings.showAlpha) return COMPOSE_ALPHA;
    return g_Settings.useAlpha ? COMPOSE_BLEND : COMPOSE_COLOR;
}

int OpenByName() {
    if (!HasDdsExtension(g_szCurrentFileName)) return -1; // never cut to a shorter name
    const int result = LoadAndShow();
    if (result < 0) return result;
    lstrcpynA(g_szShownFileName, g_szCurrentFileName, sizeof g_szShownFileName);
    g_nShownIndex = g_nCurrentIndex;
    WatchShownFile();
    UpdateTitle();
    return 0;
}

int LoadAndShow() {
    g_bPaintingEnabled = false;
    StartOperation(kStageRead);
    const bool loaded = g_Texture.Load(g_szCurrentFileName, g_nLevel, g_nFaceOrLayer, g_hWndMain,
                                       g_Settings.dxt5AsNormalMap, ReportProgress);
    // Shown while still busy, so that what arrives meanwhile waits for the box as well.
    const bool readerFailed = g_Texture.m_LastError.kind == LoadError::kReader;
    if (readerFailed)
        MessageBoxA(g_hWndMain, g_Texture.m_LastError.text.c_str(), "Error...", MB_ICONERROR);
    // A file that could not be read is a failed load like a refused one: the title and the
    // status stay with what is on show.
    if (!loaded || readerFailed) {
        g_bPaintingEnabled = true;
        if (!loaded)
            MessageBoxW(g_hWndMain, L"Error loading file !", Wide(g_szCurrentFileName).c_str(),
                        MB_ICONWARNING);
        FinishOperation();
        return -2;
    }
    // The selection as shown: the record clamps what the file does not have.
    g_nLevel = g_Texture.m_nLevel;
    g_nFaceOrLayer = g_Texture.m_nLayer;
    if (Cancelled()) {
        g_bPaintingEnabled = true;
        FinishOperation();
        return 0;
    }
    g_fFitFactor = 1.0f;
    PrepareCross();
    // A minimised window has no client area to place and fit the picture in: that waits until
    // it is restored.
    g_bPlacementPostponed = IsIconic(g_hWndMain) != FALSE;
    if (!g_bPlacementPostponed) PlaceWindow();
    if (g_Texture.m_pRawData) {
        g_nProgressStage = kStageDecode;
        g_Texture.m_bExact = g_Settings.gpuExact;
        const ViewerSettings::Colour& c = g_Settings.backgroundColor;
        const int32_t mode = ComposeModeOfSettings();
        // The picture is composed as it is decoded; the cross composes its faces one by one.
        if (g_bCrossShown)
            g_Texture.DecodeSurface(ReportProgress);
        else
            DecodeAndComposeShown(mode, c.red, c.green, c.blue);
        if (Cancelled()) {
            DropHalfMadeImages(); // nothing half-decoded is ever painted
            FinishOperation();
            return 0;
        }
        if (!g_Texture.m_pDisplayImage) { // the images could not be had: a failed load
            MessageBoxA(
                g_hWndMain,
                OutOfMemoryText(g_Texture.m_Header.dwWidth, g_Texture.m_Header.dwHeight).c_str(),
                "Error...", MB_ICONERROR);
            g_bPaintingEnabled = true;
            FinishOperation();
            return -2;
        }
        g_nProgressStage = kStageCompose;
        if (g_bCrossShown && !ComposeCross(mode, c.red, c.green, c.blue)) {
            DropHalfMadeImages();
            FinishOperation();
            return 0;
        }
        if (g_Settings.autoZoom && !g_bPlacementPostponed) ComputeFitFactor();
        g_bPaintingEnabled = true;
        RepaintNow();
    } else {
        g_bPaintingEnabled = true;
        ClearImageArea();
    }
    FillStatusBar();
    FinishOperation();
    return 0;
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
    if (g_bCrossShown) {
        // Every face again; one stopped halfway leaves nothing half-made on show.
        if (!ComposeCross(mode, red, green, blue)) DropHalfMadeImages();
    } else {
        ComposeShown(mode, red, green, blue);
    }
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
