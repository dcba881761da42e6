// Painting the picture, the zoom operations, panning and the pixel under the cursor.
#include "view/Settings.h"
#include "view/View.h"
#include "view/Window.h"
#include "view/Zoom.h"

float g_fZoomFactor = 1.0f;
float g_fFitFactor = 1.0f;
POINT g_PanOffset = {0, 0};
bool g_bPannable = false;
POINT g_DragAnchor = {-1, 0};
RECT g_LastImageRect = {0, 0, 0, 0};
POINT g_CursorPixel = {-1, 0};

namespace {
float Scale() {
    return g_fFitFactor * g_fZoomFactor;
}

// Made at each paint from the image painted, never kept: a header that outlived its image
// would make the system read a larger picture than the buffer holds.
BITMAPINFO BitmapHeaderOf(const CDdsTexture& texture) {
    BITMAPINFO info = {};
    BITMAPINFOHEADER& h = info.bmiHeader;
    h.biSize = sizeof h;
    h.biWidth = texture.m_nWidth;
    h.biHeight = texture.m_nHeight; // positive: bottom-up rows
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    return info;
}

void SetArrowOrHand(bool hand) {
    SetCursor(LoadCursorA(nullptr, hand ? IDC_HAND : IDC_ARROW));
}
} // namespace

int32_t StatusBarHeight() {
    RECT r;
    if (!GetWindowRect(g_hStatusBar, &r)) return 0;
    return r.bottom - r.top;
}

void PaintImage(HDC dc) {
    if (!g_bPaintingEnabled || !g_Texture.m_pDisplayImage) return;
    RECT client;
    GetClientRect(g_hWndMain, &client);
    const int32_t areaHeight = client.bottom - StatusBarHeight();
    const float scale = Scale();
    const double width = DrawnLength(g_Texture.m_nWidth, scale);
    const double height = DrawnLength(g_Texture.m_nHeight, scale);

    const AxisPlacement x = PlaceAxis(client.right, width, g_PanOffset.x);
    const AxisPlacement y = PlaceAxis(areaHeight, height, g_PanOffset.y);
    g_PanOffset = {x.pan, y.pan};
    g_bPannable = x.pannable || y.pannable;
    SetArrowOrHand(g_bPannable);

    // A smaller picture than the last one leaves some of the last one uncovered.
    if (g_LastImageRect.right - g_LastImageRect.left > width ||
        g_LastImageRect.bottom - g_LastImageRect.top > height)
        FillRect(dc, &g_LastImageRect, HBRUSH(COLOR_SCROLLBAR + 1));

    const int mode = StretchModeFor(scale, g_Settings.filterShrink, g_Settings.filterEnlarge);
    SetStretchBltMode(dc, mode);
    if (mode == HALFTONE) SetBrushOrgEx(dc, 0, 0, nullptr);
    const BITMAPINFO header = BitmapHeaderOf(g_Texture);
    StretchDIBits(dc, x.pos, y.pos, int(width), int(height), 0, 0, g_Texture.m_nWidth,
                  g_Texture.m_nHeight, g_Texture.m_pDisplayImage, &header, DIB_RGB_COLORS, SRCCOPY);
    SetRect(&g_LastImageRect, x.pos, y.pos, int(width + x.pos), int(height + y.pos));
    // The picture may have been drawn over the status bar.
    InvalidateRect(g_hStatusBar, nullptr, TRUE);
}

void RepaintNow() {
    HDC dc = GetDC(g_hWndMain);
    PaintImage(dc);
    ReleaseDC(g_hWndMain, dc);
}

void ComputeFitFactor() {
    RECT client;
    GetClientRect(g_hWndMain, &client);
    g_fFitFactor = FitFactor(client.right, client.bottom - StatusBarHeight(), g_Texture.m_nWidth,
                             g_Texture.m_nHeight);
}

void SetZoomFactor(float zoom) {
    g_fZoomFactor = zoom;
    PlaceWindow();
    RepaintNow();
    UpdateTitle();
}

void TrackCursor() {
    POINT cursor;
    GetCursorPos(&cursor);
    POINT origin = {0, 0};
    ClientToScreen(g_hWndMain, &origin);
    RECT client;
    GetClientRect(g_hWndMain, &client);
    const bool inside = cursor.x >= origin.x && cursor.x < origin.x + client.right &&
                        cursor.y >= origin.y &&
                        cursor.y < origin.y + client.bottom - StatusBarHeight();
    if (!inside) {
        g_CursorPixel.x = -1;
        UpdateTitle();
        SetArrowOrHand(false);
        return;
    }
    const float scale = Scale();
    g_CursorPixel = {PixelAt(cursor.x - origin.x - g_LastImageRect.left, scale),
                     PixelAt(cursor.y - origin.y - g_LastImageRect.top, scale)};
    UpdateTitle();
    SetArrowOrHand(g_bPannable);
    if (!g_bPannable || g_DragAnchor.x == -1) return;
    g_PanOffset.x += cursor.x - g_DragAnchor.x;
    g_PanOffset.y += cursor.y - g_DragAnchor.y;
    g_DragAnchor = cursor;
    RepaintNow();
}
