// The load-and-show pipeline, its progress reports and the deferred request.
#include "view/Window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cctype>
#include <cstring>

#include "view/Settings.h"
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
BITMAPINFO g_PaintBitmapHeader = {};
int32_t g_nLevel = 0;
int32_t g_nFaceOrLayer = 0;
char g_szCurrentFileName[MAX_PATH] = "";

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

void FillPaintBitmapHeader() {
    BITMAPINFOHEADER& h = g_PaintBitmapHeader.bmiHeader;
    h = {};
    h.biSize = sizeof h;
    h.biWidth = g_Texture.m_nWidth;
    h.biHeight = g_Texture.m_nHeight; // positive: bottom-up rows
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
}
} // namespace

int32_t ComposeModeOfSettings() {
    if (g_Settings.showAlpha) return COMPOSE_ALPHA;
    return g_Settings.useAlpha ? COMPOSE_BLEND : COMPOSE_COLOR;
}

int OpenByName() {
    char* dot = std::strrchr(g_szCurrentFileName, '.');
    if (!dot) return -1;
    const char* ext = "dds";
    for (int i = 0; i < 3; ++i)
        if (std::tolower(static_cast<unsigned char>(dot[1 + i])) != ext[i]) return -1;
    dot[4] = '\0';
    const int result = LoadAndShow();
    if (result < 0) return result;
    UpdateTitle();
    return 0;
}

int LoadAndShow() {
    g_bPaintingEnabled = false;
    StartOperation(kStageRead);
    const bool loaded = g_Texture.Load(g_szCurrentFileName, g_nLevel, g_nFaceOrLayer, g_hWndMain,
                                       g_Settings.dxt5AsNormalMap, ReportProgress);
    // Shown while still busy, so that what arrives meanwhile waits for the box as well.
    if (g_Texture.m_LastError.kind == LoadError::kReader)
        MessageBoxA(g_hWndMain, g_Texture.m_LastError.text.c_str(), "Error...", MB_ICONERROR);
    if (!loaded) {
        g_bPaintingEnabled = true;
        MessageBoxA(g_hWndMain, "Error loading file !", g_szCurrentFileName, MB_ICONWARNING);
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
    PlaceWindow();
    if (g_Texture.m_pRawData) {
        g_nProgressStage = kStageDecode;
        g_Texture.m_bExact = g_Settings.gpuExact;
        g_Texture.DecodeSurface(ReportProgress);
        if (Cancelled()) {
            FinishOperation(); // nothing half-decoded is ever painted
            return 0;
        }
        g_nProgressStage = kStageCompose;
        const ViewerSettings::Colour& c = g_Settings.backgroundColor;
        g_Texture.Compose(ComposeModeOfSettings(), c.red, c.green, c.blue, ReportProgress);
        if (Cancelled()) {
            FinishOperation();
            return 0;
        }
        FillPaintBitmapHeader();
        if (g_Settings.autoZoom) ComputeFitFactor();
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
    const auto parts = FormatStatusTexts(StatusFactsOf(g_Texture));
    for (int part : {2, 3, 4, 5, 0, 1})
        SendMessageA(g_hStatusBar, SB_SETTEXTA, part, LPARAM(parts[part].c_str()));
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
    g_Texture.Compose(mode, red, green, blue, ReportProgress);
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
    if (m.message) g_pfnMainWndProc(g_hWndMain, m.message, m.wParam, m.lParam);
}
