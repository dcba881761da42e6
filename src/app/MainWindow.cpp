// Start-up, the main window and its procedure: every message, key and command of the viewer.
#include "app/Shell.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <string>

#include "../../res/resource.h"
#include "app/BusyRule.h"
#include "app/CommandLine.h"
#include "view/Settings.h"
#include "view/FileList.h"
#include "view/Placement.h"
#include "view/View.h"
#include "view/Zoom.h"

static_assert(wm::kDestroy == WM_DESTROY && wm::kKeyDown == WM_KEYDOWN && wm::kKeyUp == WM_KEYUP &&
                  wm::kCommand == WM_COMMAND && wm::kTimer == WM_TIMER &&
                  wm::kMouseWheel == WM_MOUSEWHEEL && wm::kRButtonDown == WM_RBUTTONDOWN &&
                  wm::kRButtonUp == WM_RBUTTONUP && wm::kDropFiles == WM_DROPFILES,
              "the busy rule's message numbers");
static_assert(vk::kEscape == VK_ESCAPE && vk::kHome == VK_HOME && vk::kEnd == VK_END &&
                  vk::kPrior == VK_PRIOR && vk::kNext == VK_NEXT && vk::kLeft == VK_LEFT &&
                  vk::kRight == VK_RIGHT && vk::kUp == VK_UP && vk::kDown == VK_DOWN,
              "the busy rule's key codes");
static_assert(kCmdExit == IDM_EXIT && kCmdWheelFirst == IDM_WHEEL_CYCLE &&
                  kCmdWheelLast == IDM_WHEEL_ZOOM50,
              "the busy rule's commands");
static_assert(kStretchHalftone == HALFTONE && kStretchColorOnColor == COLORONCOLOR,
              "stretch modes");

HMENU g_hMenu = nullptr;
HACCEL g_hAccel = nullptr;
char g_szTitle[100] = "";
char g_szWindowClass[100] = "";

namespace {
constexpr DWORD kMainStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

void Check(UINT id, bool on) {
    CheckMenuItem(g_hMenu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}
void Grey(UINT id, bool grey) {
    EnableMenuItem(g_hMenu, id, MF_BYCOMMAND | (grey ? MF_GRAYED : MF_ENABLED));
}

void ApplyAlwaysOnTop() {
    SetWindowPos(g_hWndMain, g_Settings.alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
}

// Whether Left, Right, Z or X has a surface to step to.
bool StepPossible(UINT message, WPARAM key) {
    if (message != WM_KEYDOWN) return false;
    switch (key) {
    case VK_LEFT: return g_nLevel > 0;
    case VK_RIGHT: return g_Texture.LevelCount() > 0 && g_nLevel + 1 < g_Texture.LevelCount();
    // The cross shows every face: there is none to step to.
    case 'Z': return !AllSidesShown() && g_nFaceOrLayer > 0;
    case 'X':
        return !AllSidesShown() && g_Texture.m_nSurfaceCount > 1 &&
               g_nFaceOrLayer + 1 < g_Texture.m_nSurfaceCount;
    default: return false;
    }
}

// After the alpha view is switched: which channels the display shows.
void UpdateAlphaIndicators() {
    Grey(IDM_ALPHA_INDICATOR, !g_Settings.showAlpha && !g_Settings.useAlpha);
    Check(IDM_SHOW_ALPHA, g_Settings.showAlpha);
    Grey(IDM_RGB_INDICATOR, g_Settings.showAlpha);
    Grey(IDM_USE_ALPHA, g_Settings.showAlpha);
    DrawMenuBar(g_hWndMain);
}

// Flips an option and its check mark, then redoes what depends on it.
void ToggleOption(bool& option, UINT id, void (*redo)() = nullptr) {
    option = !option;
    Check(id, option);
    if (redo) redo();
}

// Steps the level or the face or layer and shows that surface.
void StepSelection(int32_t& index, int32_t step) {
    index += step;
    LoadAndShow();
}

// The file keys start the next file at its first level and face.
void StepFileFromStart(int32_t step) {
    g_nLevel = g_nFaceOrLayer = 0;
    StepFile(step);
}

// Before any file there is nothing to read again (and no error to show for it).
void ReloadSurface() {
    if (g_szCurrentFileName[0]) LoadAndShow();
}

void FitOrNot() {
    if (g_Settings.autoZoom)
        ComputeFitFactor();
    else
        g_fFitFactor = 1.0f;
    RepaintNow();
}

// Left and Right pick a level from memory while all levels are on show, else load it.
void StepLevel(int32_t step) {
    if (!SelectShownLevel(g_nLevel + step)) StepSelection(g_nLevel, step);
}

// The tile view, all levels, or neither: the picture on show changed size.
void RelayOut() {
    g_fFitFactor = 1.0f;
    PlaceWindow();
    FitOrNot();
    UpdateTitle();
}

// All levels are read with the selection; turned off, the record holds the selected level
// composed already (the cross's faces are read again). The tile view waits while it is on.
void ShowLevelsOrNot() {
    Grey(IDM_TILE, g_Settings.allLevels);
    if (g_Settings.allLevels || (g_bLevelsShown && CrossWanted())) {
        ReloadSurface();
        return;
    }
    ReleaseLevels();
    RelayOut();
}

// The menu bar's indicators: "RGB" names the one colour channel on show, "A" alone is enabled
// for the alpha channel; with all channels they follow the alpha options (U and A).
void UpdateChannelIndicators() {
    static const char* const kNames[] = {"RGB", "R", "G", "B", "RGB"};
    const int32_t ch = g_Settings.channel;
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    item.dwTypeData = const_cast<char*>(kNames[ch]);
    SetMenuItemInfoA(g_hMenu, IDM_RGB_INDICATOR, FALSE, &item);
    const bool alphaOn =
        ch == CHANNEL_ALPHA || (ch == CHANNEL_ALL && (g_Settings.showAlpha || g_Settings.useAlpha));
    Grey(IDM_ALPHA_INDICATOR, !alphaOn);
    Grey(IDM_RGB_INDICATOR, ch == CHANNEL_ALPHA || (ch == CHANNEL_ALL && g_Settings.showAlpha));
    for (UINT id = IDM_CHANNEL_ALL; id <= IDM_CHANNEL_ALPHA; ++id)
        Check(id, int32_t(id - IDM_CHANNEL_ALL) == ch);
    DrawMenuBar(g_hWndMain);
}

// A channel's key or item; the same channel again shows them all.
void SelectChannel(int32_t channel) {
    g_Settings.channel = channel == g_Settings.channel ? CHANNEL_ALL : channel;
    UpdateChannelIndicators();
    Recompose();
}

void SetWheelMode(UINT id) {
    for (UINT item = IDM_WHEEL_CYCLE; item <= IDM_WHEEL_ZOOM50; ++item) Check(item, item == id);
    DrawMenuBar(g_hWndMain);
    g_Settings.mouseWheelMode = id - IDM_WHEEL_CYCLE;
}

void ShowAbout(HWND hwnd) {
    const ModalLoop modal;
    DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(IDD_ABOUTBOX), hwnd, AboutDlgProc, 0);
}

void SaveAndQuit() {
    SaveSettings();
    PostQuitMessage(0);
}

// Space: A or B; while the difference is on show, back to the picture last shown.
void FlipOrLeaveDifference() {
    if (g_Settings.difference && Comparing())
        ToggleOption(g_Settings.difference, IDM_DIFFERENCE, ShowDifference);
    else
        FlipCompare();
}

// ---- the handlers, one per message --------------------------------------------------------

void OnDestroy(HWND) {
    SaveAndQuit();
}

void OnMove(HWND hwnd, int, int) {
    RECT r;
    GetWindowRect(hwnd, &r);
    g_Settings.windowPos = {int16_t(r.left), int16_t(r.top)};
}

void OnSize(HWND, UINT state, int, int) {
    SendMessageA(g_hStatusBar, WM_SIZE, 0, 0);
    if (g_hStatusBar) SetStatusParts(); // the texts fitted to the new width
    if (state != SIZE_MINIMIZED) PlacePostponedPicture();
}

void OnPaint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    PaintImage(dc);
    EndPaint(hwnd, &ps);
}

BOOL OnSetCursor(HWND hwnd, HWND cursorWindow, UINT, UINT) {
    if (cursorWindow == hwnd) TrackCursor();
    return FALSE;
}

void OnKeyDown(HWND, UINT key, BOOL, int, UINT flags) {
    switch (key) {
    case VK_SPACE:
        if (!(flags & KF_REPEAT)) FlipOrLeaveDifference(); // one flip per press
        break;
    case VK_ESCAPE: SaveAndQuit(); break;
    case VK_HOME: StepFileFromStart(kStepFirst); break;
    case VK_END: StepFileFromStart(kStepLast); break;
    case VK_PRIOR:
    case VK_UP: StepFileFromStart(-1); break;
    case VK_NEXT:
    case VK_DOWN: StepFileFromStart(+1); break;
    case VK_LEFT: StepLevel(-1); break;
    case VK_RIGHT: StepLevel(+1); break;
    case 'Z': StepSelection(g_nFaceOrLayer, -1); break;
    case 'X': StepSelection(g_nFaceOrLayer, +1); break;
    }
}

void OnKeyUp(HWND hwnd, UINT key, BOOL, int, UINT) {
    // Ctrl+C and Ctrl+S are commands (accelerators): their letters do nothing more.
    if (GetKeyState(VK_CONTROL) < 0) return;
    switch (key) {
    case 'U': ToggleUseAlpha(); break;
    case 'A': ToggleShowAlpha(); break;
    case 'O': ShowOpenDialog(); break;
    case 'B': ChooseBackgroundColour(); break;
    case 'C': FORWARD_WM_COMMAND(hwnd, IDM_CLIP_TO_MONITOR, nullptr, 0, SendMessageA); break;
    case 'N': FORWARD_WM_COMMAND(hwnd, IDM_DXT5_AS_NM, nullptr, 0, SendMessageA); break;
    case 'G': FORWARD_WM_COMMAND(hwnd, IDM_GPU_EXACT, nullptr, 0, SendMessageA); break;
    case '0':
    case '1':
    case '2':
    case '3':
    case '4': SelectChannel(int32_t(key - '0')); break;
    case 'K': FORWARD_WM_COMMAND(hwnd, IDM_CHECKERBOARD, nullptr, 0, SendMessageA); break;
    case 'T': FORWARD_WM_COMMAND(hwnd, IDM_TEXEL_READOUT, nullptr, 0, SendMessageA); break;
    case 'L': FORWARD_WM_COMMAND(hwnd, IDM_LIVE_RELOAD, nullptr, 0, SendMessageA); break;
    case 'V': FORWARD_WM_COMMAND(hwnd, IDM_CUBE_CROSS, nullptr, 0, SendMessageA); break;
    case 'D': FORWARD_WM_COMMAND(hwnd, IDM_DIFFERENCE, nullptr, 0, SendMessageA); break;
    case 'W': FORWARD_WM_COMMAND(hwnd, IDM_TILE, nullptr, 0, SendMessageA); break;
    case 'M': FORWARD_WM_COMMAND(hwnd, IDM_ALL_LEVELS, nullptr, 0, SendMessageA); break;
    case 'R': FORWARD_WM_COMMAND(hwnd, IDM_AUTO_RANGE, nullptr, 0, SendMessageA); break;
    case VK_OEM_6: StepExposure(+1); break; // ]
    case VK_OEM_4: StepExposure(-1); break; // [
    case VK_OEM_5: StepExposure(0); break;  // backslash
    case VK_MULTIPLY: SetZoomFactor(1.0f); break;
    case VK_ADD:
        if (g_fZoomFactor < kMaxZoom) SetZoomFactor(ZoomIn(g_fZoomFactor));
        break;
    case VK_SUBTRACT:
        if (g_fZoomFactor > kMinZoom) SetZoomFactor(ZoomOut(g_fZoomFactor));
        break;
    }
}

void OnRButtonDown(HWND hwnd, BOOL, int x, int y, UINT) {
    // Where the button went down: a move that arrives before this message is part of the drag.
    g_DragAnchor = {x, y};
    ClientToScreen(hwnd, &g_DragAnchor);
    SetCapture(hwnd); // the release comes here even off the window
}

// While the right button drags, the window holds the capture and hears only of the moves.
void OnMouseMove(HWND hwnd, int, int, UINT) {
    if (GetCapture() == hwnd) TrackCursor();
}

void OnRButtonUp(HWND, int, int, UINT) {
    g_DragAnchor.x = -1;
    ReleaseCapture();
}

void OnMouseWheel(HWND, int, int, int delta, UINT) {
    if (g_Settings.mouseWheelMode == 0) {
        StepFile(delta > 0 ? -1 : +1); // the selection is kept for the next file
        return;
    }
    SetZoomFactor(WheelZoom(g_fZoomFactor, g_Settings.mouseWheelMode, delta > 0));
}

void OnTimer(HWND, UINT id) {
    if (id == kReloadTimer) ReloadTick();
}

void OnDropFiles(HWND, HDROP drop) {
    OpenDroppedFile(drop);
}

void OnCommand(HWND hwnd, int id, HWND, UINT) {
    switch (id) {
    case IDM_ABOUT: ShowAbout(hwnd); break;
    case IDM_EXIT: DestroyWindow(hwnd); break;
    case IDM_USE_ALPHA: ToggleUseAlpha(); break;
    case IDM_SHOW_ALPHA: ToggleShowAlpha(); break;
    case IDM_OPEN: ShowOpenDialog(); break;
    case IDM_BACKGROUND: ChooseBackgroundColour(); break;
    case IDM_ASSOCIATE: AssociateDdsFiles(); break;
    case IDM_REMOVE_ASSOCIATION: RemoveDdsAssociation(); break;
    case IDM_WHEEL_CYCLE:
    case IDM_WHEEL_ZOOM5:
    case IDM_WHEEL_ZOOM10:
    case IDM_WHEEL_ZOOM25:
    case IDM_WHEEL_ZOOM50: SetWheelMode(id); break;
    case IDM_FILTER_ENLARGE: ToggleOption(g_Settings.filterEnlarge, id, RepaintNow); break;
    case IDM_FILTER_SHRINK: ToggleOption(g_Settings.filterShrink, id, RepaintNow); break;
    case IDM_WRAP_AROUND: ToggleOption(g_Settings.wrapAround, id); break;
    case IDM_CLIP_TO_MONITOR: ToggleOption(g_Settings.clipToMonitor, id, PlaceWindow); break;
    case IDM_CENTER_ON_MONITOR: ToggleOption(g_Settings.centerOnMonitor, id, PlaceWindow); break;
    case IDM_AUTO_ZOOM: ToggleOption(g_Settings.autoZoom, id, FitOrNot); break;
    case IDM_ALWAYS_ON_TOP: ToggleOption(g_Settings.alwaysOnTop, id, ApplyAlwaysOnTop); break;
    case IDM_DXT5_AS_NM: ToggleOption(g_Settings.dxt5AsNormalMap, id, ReloadSurface); break;
    case IDM_GPU_EXACT: ToggleOption(g_Settings.gpuExact, id, ReloadSurface); break;
    case IDM_CHANNEL_ALL:
    case IDM_CHANNEL_RED:
    case IDM_CHANNEL_GREEN:
    case IDM_CHANNEL_BLUE:
    case IDM_CHANNEL_ALPHA: SelectChannel(id - IDM_CHANNEL_ALL); break;
    case IDM_CHECKERBOARD: ToggleOption(g_Settings.checkerboard, id, [] { Recompose(); }); break;
    case IDM_EXPOSURE_UP: StepExposure(+1); break;
    case IDM_EXPOSURE_DOWN: StepExposure(-1); break;
    case IDM_EXPOSURE_RESET: StepExposure(0); break;
    case IDM_TEXEL_READOUT: ToggleOption(g_Settings.texelReadout, id, ShowViewPart); break;
    case IDM_COPY: CopyToClipboard(false); break;
    case IDM_COPY_PICTURE: CopyToClipboard(true); break;
    case IDM_SAVE_PNG: SavePictureAsPng(); break;
    case IDM_LIVE_RELOAD: ToggleOption(g_Settings.liveReload, id, WatchShownFile); break;
    case IDM_CUBE_CROSS: ToggleOption(g_Settings.cubeCross, id, ReloadSurface); break;
    case IDM_COMPARE: ChooseCompareFile(); break;
    case IDM_FLIP_COMPARE: FlipOrLeaveDifference(); break;
    case IDM_END_COMPARE: EndCompare(); break;
    case IDM_DIFFERENCE: ToggleOption(g_Settings.difference, id, ShowDifference); break;
    case IDM_TILE:
        if (!g_Settings.allLevels) ToggleOption(g_Settings.tileView, id, RelayOut);
        break;
    case IDM_ALL_LEVELS: ToggleOption(g_Settings.allLevels, id, ShowLevelsOrNot); break;
    case IDM_AUTO_RANGE: ToggleOption(g_Settings.autoRange, id, [] { Recompose(); }); break;
    case IDM_MARK_NONFINITE: ToggleOption(g_Settings.markNonFinite, id, [] { Recompose(); }); break;
    case IDM_SRGB_CURVE: ToggleOption(g_Settings.srgbCurve, id, [] { Recompose(); }); break;
    default: FORWARD_WM_COMMAND(hwnd, id, nullptr, 0, DefWindowProcW); break;
    }
}

LRESULT OnProgress(WPARAM percent) {
    SendMessageA(g_hProgressBar, PBM_SETPOS, percent + 100 * g_nProgressStage, 0);
    return 0;
}

LRESULT OnContinueQuery() {
    return g_nLoadState == kLoadCancelRequested ? 0 : 1;
}

LRESULT OnFolderChanged() {
    FolderChanged();
    return 0;
}
} // namespace

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // The busy rule, for every request in one place.
    switch (BusyRule(g_nLoadState, message, wParam, g_Settings.mouseWheelMode,
                     StepPossible(message, wParam))) {
    case BusyAnswer::kDefer: DeferMessage(message, wParam, lParam); return 0;
    case BusyAnswer::kIgnore: return 0;
    case BusyAnswer::kAct: break;
    }
    switch (message) {
        HANDLE_MSG(hwnd, WM_DESTROY, OnDestroy);
        HANDLE_MSG(hwnd, WM_MOVE, OnMove);
        HANDLE_MSG(hwnd, WM_SIZE, OnSize);
        HANDLE_MSG(hwnd, WM_PAINT, OnPaint);
        HANDLE_MSG(hwnd, WM_SETCURSOR, OnSetCursor);
        HANDLE_MSG(hwnd, WM_KEYDOWN, OnKeyDown);
        HANDLE_MSG(hwnd, WM_KEYUP, OnKeyUp);
        HANDLE_MSG(hwnd, WM_COMMAND, OnCommand);
        HANDLE_MSG(hwnd, WM_RBUTTONDOWN, OnRButtonDown);
        HANDLE_MSG(hwnd, WM_RBUTTONUP, OnRButtonUp);
        HANDLE_MSG(hwnd, WM_MOUSEMOVE, OnMouseMove);
        HANDLE_MSG(hwnd, WM_MOUSEWHEEL, OnMouseWheel);
        HANDLE_MSG(hwnd, WM_DROPFILES, OnDropFiles);
        HANDLE_MSG(hwnd, WM_TIMER, OnTimer);
    case WM_BRIXA_PROGRESS: return OnProgress(wParam);
    case WM_BRIXA_CONTINUE: return OnContinueQuery();
    case WM_BRIXA_FOLDER_CHANGED: return OnFolderChanged();
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void ToggleUseAlpha() {
    if (g_Settings.showAlpha) return;
    g_Settings.useAlpha = !g_Settings.useAlpha;
    Check(IDM_USE_ALPHA, g_Settings.useAlpha);
    Grey(IDM_ALPHA_INDICATOR, !g_Settings.useAlpha);
    DrawMenuBar(g_hWndMain);
    const ViewerSettings::Colour& c = g_Settings.backgroundColor;
    Recompose(g_Settings.useAlpha ? COMPOSE_BLEND : COMPOSE_COLOR, c.red, c.green, c.blue);
    if (g_Settings.channel != CHANNEL_ALL) UpdateChannelIndicators();
}

void ToggleShowAlpha() {
    g_Settings.showAlpha = !g_Settings.showAlpha;
    const ViewerSettings::Colour& c = g_Settings.backgroundColor;
    Recompose(ComposeModeOfSettings(), c.red, c.green, c.blue, UpdateAlphaIndicators);
    if (g_Settings.channel != CHANNEL_ALL) UpdateChannelIndicators();
}

// ---- start-up -----------------------------------------------------------------------------

ATOM RegisterMainClass(HINSTANCE instance) {
    // A Unicode window, so that its title can show any file name.
    const std::wstring className = Wide(g_szWindowClass);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = g_pfnMainWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_BRIXA));
    wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    wc.hbrBackground = HBRUSH(COLOR_SCROLLBAR + 1);
    wc.lpszMenuName = MAKEINTRESOURCEW(IDC_BRIXA);
    wc.lpszClassName = className.c_str();
    return RegisterClassExW(&wc);
}

BOOL InitMainWindow(HINSTANCE instance, int showCommand) {
    g_hInst = instance;
    g_nShowCommand = showCommand;
    LoadSettings();
    g_hWndMain =
        CreateWindowExW(WS_EX_ACCEPTFILES, Wide(g_szWindowClass).c_str(), Wide(g_szTitle).c_str(),
                        kMainStyle, g_Settings.windowPos.x, g_Settings.windowPos.y, 640, 480,
                        nullptr, nullptr, instance, nullptr);
    if (!g_hWndMain) return FALSE;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    g_hProgressBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | PBS_SMOOTH, 0, 0, 0, 0,
                                     g_hWndMain, nullptr, instance, nullptr);
    SendMessageA(g_hProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 300));
    // Shown with the window, or with its first texts (ShowMainWindow, FillStatusBar).
    g_hStatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD, 0, 0, 0, 0, g_hWndMain,
                                   nullptr, instance, nullptr);
    SetStatusParts();
    SendMessageA(g_hStatusBar, WM_SIZE, 0, 0);
    PlaceWindow();
    return TRUE;
}

void SetInitialMenuStates() {
    const ViewerSettings& s = g_Settings;
    // The window is not shown yet: its menu bar is drawn once, when it shows.
    Check(IDM_USE_ALPHA, s.useAlpha);
    Grey(IDM_ALPHA_INDICATOR, !s.useAlpha);
    Check(IDM_SHOW_ALPHA, s.showAlpha);
    Grey(IDM_RGB_INDICATOR, s.showAlpha);
    Grey(IDM_USE_ALPHA, s.showAlpha);
    Check(IDM_CLIP_TO_MONITOR, s.clipToMonitor);
    Check(IDM_CENTER_ON_MONITOR, s.centerOnMonitor);
    Check(IDM_FILTER_SHRINK, s.filterShrink);
    Check(IDM_FILTER_ENLARGE, s.filterEnlarge);
    Check(IDM_WRAP_AROUND, s.wrapAround);
    Check(IDM_AUTO_ZOOM, s.autoZoom);
    Check(IDM_ALWAYS_ON_TOP, s.alwaysOnTop);
    if (s.alwaysOnTop) ApplyAlwaysOnTop(); // a new window is not topmost
    Check(IDM_DXT5_AS_NM, s.dxt5AsNormalMap);
    Check(IDM_GPU_EXACT, s.gpuExact);
    if (s.mouseWheelMode < kMouseWheelModes) Check(IDM_WHEEL_CYCLE + s.mouseWheelMode, true);
    Check(IDM_CHECKERBOARD, s.checkerboard);
    Check(IDM_TEXEL_READOUT, s.texelReadout);
    Check(IDM_LIVE_RELOAD, s.liveReload);
    Check(IDM_CUBE_CROSS, s.cubeCross);
    Check(IDM_DIFFERENCE, s.difference);
    Check(IDM_TILE, s.tileView);
    Check(IDM_ALL_LEVELS, s.allLevels);
    Grey(IDM_TILE, s.allLevels);
    Check(IDM_AUTO_RANGE, s.autoRange);
    Check(IDM_MARK_NONFINITE, s.markNonFinite);
    Check(IDM_SRGB_CURVE, s.srgbCurve);
    WatchShownFile();
    UpdateChannelIndicators();
}

void HandleArgumentText(const char* argumentText) {
    std::string path = FirstPathOf(argumentText);
    char* lastPath = g_Settings.lastPath;
    if (path.empty()) {
        // The stored folder, unless it has gone: then the current one, as on a first run.
        if (lastPath[0] && SetCurrentDirectoryW(Wide(lastPath).c_str())) return;
        wchar_t current[MAX_PATH];
        const DWORD n = GetCurrentDirectoryW(MAX_PATH, current);
        std::string folder = n != 0 && n < MAX_PATH ? Utf8(current) : std::string();
        if (!folder.empty() && folder.back() != '\\') folder += '\\';
        if (folder.size() >= kPathBufferSize) folder.clear(); // no room for it
        std::memcpy(lastPath, folder.c_str(), folder.size() + 1);
        return;
    }
    wchar_t longPath[MAX_PATH];
    const DWORD n = GetLongPathNameW(Wide(path).c_str(), longPath, MAX_PATH);
    if (n != 0 && n < MAX_PATH) path = Utf8(longPath);
    const FolderAndName split = SplitFolderAndName(path);
    std::string name = split.name;
    if (!split.folder.empty()) {
        if (split.folder.size() < kPathBufferSize) {
            if (!EnterFolder(split.folder)) return;
            std::memcpy(lastPath, split.folder.c_str(), split.folder.size() + 1);
        } else {
            name = path; // a folder longer than any path the system opens: the load says so
        }
    }
    lstrcpynA(g_szCurrentFileName, name.c_str(), sizeof g_szCurrentFileName);
    g_nCurrentIndex = -1;
    OpenByName();
}

// The path named at start-up, looked at before it is opened: what is wrong with it is said,
// naming it, and the window starts without a file.
static const char* CheckedArgumentText(const char* argumentText) {
    const std::string typed = FirstPathOf(argumentText);
    if (typed.empty()) return argumentText;
    const std::wstring path = Wide(typed);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const DWORD error = GetLastError();
    PathKind kind = PathKind::kFile;
    if (attributes != INVALID_FILE_ATTRIBUTES)
        kind = attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::kFolder : PathKind::kFile;
    else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
             error == ERROR_INVALID_NAME)
        kind = PathKind::kMissing; // else the load says what the system says
    wchar_t full[MAX_PATH] = L"";
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    const ArgumentMessage message =
        ArgumentMessageOf(typed, n != 0 && n < MAX_PATH ? Utf8(full) : typed, kind);
    if (message.text.empty()) return argumentText;
    ShowMainWindow();
    MessageBoxW(g_hWndMain, Wide(message.text).c_str(), message.error ? L"Error..." : L"Brixa",
                message.error ? MB_ICONERROR : MB_ICONINFORMATION);
    return "";
}

bool StartUp(HINSTANCE instance, const char* argumentText, int showCommand) {
    LoadStringA(instance, IDS_APP_TITLE, g_szTitle, sizeof g_szTitle);
    LoadStringA(instance, IDC_BRIXA, g_szWindowClass, sizeof g_szWindowClass);
    RegisterMainClass(instance);
    if (!InitMainWindow(instance, showCommand)) return false;
    g_hAccel = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDC_BRIXA));
    g_hMenu = GetMenu(g_hWndMain);
    // Set before the window shows: a visible menu bar would be drawn again for each of them.
    SetInitialMenuStates();
    // The window waits for the named file's placement; with no file it shows now.
    const char* checked = CheckedArgumentText(argumentText);
    if (FirstPathOf(checked).empty()) ShowMainWindow();
    HandleArgumentText(checked);
    ShowMainWindow(); // the load failed or stopped before the picture was placed
    return true;
}

int RunMessageLoop() {
    MSG msg = {};
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        if (!TranslateAcceleratorA(msg.hwnd, g_hAccel, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return int(msg.wParam);
}
