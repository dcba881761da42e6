// The window's size and place on its monitor, and the progress bar's place in it.
#include "view/Placement.h"
#include "view/Settings.h"
#include "view/View.h"
#include "view/Window.h"

namespace {
// The frame around the client area: measured on the window itself, so that caption, menu bar
// and borders are exactly those of the system in use; computed while the window is minimised.
void FrameSize(int32_t& width, int32_t& height) {
    RECT outer, client;
    if (!IsIconic(g_hWndMain) && GetWindowRect(g_hWndMain, &outer) &&
        GetClientRect(g_hWndMain, &client)) {
        width = (outer.right - outer.left) - client.right;
        height = (outer.bottom - outer.top) - client.bottom;
        return;
    }
    RECT r = {0, 0, 0, 0};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrA(g_hWndMain, GWL_STYLE)), TRUE,
                       DWORD(GetWindowLongPtrA(g_hWndMain, GWL_EXSTYLE)));
    width = r.right - r.left;
    height = r.bottom - r.top;
}
} // namespace

void PlaceWindow() {
    RECT window;
    GetWindowRect(g_hWndMain, &window);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromRect(&window, MONITOR_DEFAULTTONEAREST), &monitor);

    PlacementInput in = {};
    const ShownImage image = Shown();
    in.imageWidth = image.width * image.tiles;
    in.imageHeight = image.height * image.tiles;
    in.scale = g_fFitFactor * g_fZoomFactor;
    FrameSize(in.frameWidth, in.frameHeight);
    in.statusHeight = StatusBarHeight();
    in.left = window.left;
    in.top = window.top;
    in.work = {monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right,
               monitor.rcWork.bottom};
    in.centerOnMonitor = g_Settings.centerOnMonitor;
    in.clipToMonitor = g_Settings.clipToMonitor;
    if (ViewPartWanted()) in.minWidth = kMinWidthWithViewPart;
    const Placement p = ComputePlacement(in);

    g_Settings.windowPos = {int16_t(p.left), int16_t(p.top)};
    // A window already in place is left alone: moving it to where it is still costs a round of
    // frame and background painting (a few milliseconds under Wine at every load).
    if (p.left != window.left || p.top != window.top || p.width != window.right - window.left ||
        p.height != window.bottom - window.top)
        MoveWindow(g_hWndMain, p.left, p.top, p.width, p.height, TRUE);
    RECT client, bar;
    GetClientRect(g_hWndMain, &client);
    const BarPosition at = ProgressBarPosition(client.right, client.bottom);
    GetWindowRect(g_hProgressBar, &bar);
    MapWindowPoints(nullptr, g_hWndMain, reinterpret_cast<POINT*>(&bar), 2);
    if (bar.left != at.x || bar.top != at.y)
        MoveWindow(g_hProgressBar, at.x, at.y, kProgressBarWidth, kProgressBarHeight, TRUE);
}

void PlacePostponedPicture() {
    if (!g_bPlacementPostponed) return;
    g_bPlacementPostponed = false; // placing sizes the window again: no second time
    PlaceWindow();
    if (g_Settings.autoZoom) ComputeFitFactor();
    RepaintNow();
    UpdateTitle();
}
