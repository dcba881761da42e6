// Painting the picture, the zoom operations, panning and the pixel under the cursor.
#include "view/Settings.h"
#include "view/View.h"
#include "view/Window.h"
#include "dds/ImageBuffer.h"
#include "view/Checkerboard.h"
#include "view/Layout.h"
#include "view/ShrinkFilter.h"
#include "view/Zoom.h"

#include <algorithm>
#include <vector>

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

// Before any file is shown: one line on how to open one, in the middle of the image area.
const wchar_t kOpenHint[] = L"Open a .dds file: O, or drop it here";
bool g_bHintShown = false;

void PaintHint(HDC dc, RECT area) {
    const HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, kOpenHint, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    g_bHintShown = true;
}

// Made at each paint from the image painted, never kept: a header that outlived its image
// would make the system read a larger picture than the buffer holds.
BITMAPINFO BitmapHeaderOf(const ShownImage& image) {
    BITMAPINFO info = {};
    BITMAPINFOHEADER& h = info.bmiHeader;
    h.biSize = sizeof h;
    h.biWidth = image.width;
    h.biHeight = image.height; // positive: bottom-up rows
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    return info;
}

void SetArrowOrHand(bool hand) {
    SetCursor(LoadCursorA(nullptr, hand ? IDC_HAND : IDC_ARROW));
}

// The visible part of the picture over the checkerboard, composed here at the screen's scale
// (GDI has no stretch that blends by alpha) and drawn in one piece, so nothing flickers.
void PaintOverCheckerboard(HDC dc, int32_t left, int32_t top, int32_t areaWidth, int32_t areaHeight,
                           float scale) {
    const ShownImage image = Shown();
    const int32_t w = image.width, h = image.height;
    const int32_t x0 = std::max(0, left), y0 = std::max(0, top);
    const int32_t x1 = int32_t(std::min<double>(areaWidth, left + w * double(scale)));
    const int32_t y1 = int32_t(std::min<double>(areaHeight, top + h * double(scale)));
    if (x1 <= x0 || y1 <= y0) return;
    static std::vector<uint32_t> pixels; // reused from paint to paint
    pixels.resize(size_t(x1 - x0) * (y1 - y0));
    DrawOverCheckerboard(pixels.data(), {x0, y0, x1 - x0, y1 - y0},
                         {image.pixels, w, h, left, top, double(scale)});
    BITMAPINFO info = {};
    info.bmiHeader = BitmapHeaderOf(image).bmiHeader;
    info.bmiHeader.biWidth = x1 - x0;
    info.bmiHeader.biHeight = -(y1 - y0); // top row first
    SetDIBitsToDevice(dc, x0, y0, DWORD(x1 - x0), DWORD(y1 - y0), 0, 0, 0, UINT(y1 - y0),
                      pixels.data(), &info, DIB_RGB_COLORS);
}

// A shrinking filter of the program's own: the boxes averaged on every core, and the visible
// part drawn 1:1 (the system's halftone stretch is slow under Wine: see
// bench/bench_window.cpp). The part is shrunk in one piece, so that the cores share it in one
// go (in strips, each handed to them in turn, the hand-overs cost more than the drawing).
// False where the picture is one the averaging does not take (see ShrinkPicture).
bool PaintShrunk(HDC dc, const ShownImage& image, int32_t left, int32_t top, int32_t drawnWidth,
                 int32_t drawnHeight, int32_t areaWidth, int32_t areaHeight) {
    const int32_t x0 = std::max(0, -left), y0 = std::max(0, -top);
    const int32_t x1 = std::min(drawnWidth, areaWidth - left);
    const int32_t y1 = std::min(drawnHeight, areaHeight - top);
    if (!ShrinkPicture(nullptr, {0, 0, 0, 0}, image.pixels, image.width, image.height, drawnWidth,
                       drawnHeight))
        return false;
    if (x1 <= x0 || y1 <= y0) return true;
    // A window's worth at most, reused from paint to paint; in large pages, so that the first
    // paint faults a few of them in and not a thousand small ones (slow in a virtual machine).
    static ImageBuffer store;
    const CheckerArea part = {x0, y0, x1 - x0, y1 - y0};
    auto* const pixels =
        static_cast<uint32_t*>(store.Acquire(size_t(part.width) * part.height * 4, false));
    if (!pixels) return false;
    ShrinkPicture(pixels, part, image.pixels, image.width, image.height, drawnWidth, drawnHeight);
    BITMAPINFO info = BitmapHeaderOf(image);
    info.bmiHeader.biWidth = part.width;
    info.bmiHeader.biHeight = -part.height; // top row first
    SetDIBitsToDevice(dc, left + x0, top + y0, DWORD(part.width), DWORD(part.height), 0, 0, 0,
                      UINT(part.height), pixels, &info, DIB_RGB_COLORS);
    return true;
}

// Where one tile of the tile view lands when the whole starts at (left, top).
CheckerArea TileArea(const ShownImage& image, int32_t left, int32_t top, int32_t column,
                     int32_t row, float scale) {
    const int32_t x = left + TileStart(column, image.width, scale);
    const int32_t y = top + TileStart(row, image.height, scale);
    return {x, y, left + TileStart(column + 1, image.width, scale) - x,
            top + TileStart(row + 1, image.height, scale) - y};
}

// The tile view shrunk as a whole on show: one tile shrunk once and drawn at each tile's place
// (tiles differ by a pixel at most: the larger is shrunk, and cut for the others). False where
// the filter does not take the picture.
bool PaintShrunkTiles(HDC dc, const ShownImage& image, int32_t left, int32_t top, float scale) {
    int32_t tw = 0, th = 0;
    for (int32_t i = 0; i < image.tiles; ++i) {
        tw = std::max(tw, TileStart(i + 1, image.width, scale) - TileStart(i, image.width, scale));
        th =
            std::max(th, TileStart(i + 1, image.height, scale) - TileStart(i, image.height, scale));
    }
    if (tw <= 0 || th <= 0 ||
        !ShrinkPicture(nullptr, {0, 0, 0, 0}, image.pixels, image.width, image.height, tw, th))
        return false;
    std::vector<uint32_t> shrunk(size_t(tw) * th); // a window's worth at most: all is on show
    ShrinkPicture(shrunk.data(), {0, 0, tw, th}, image.pixels, image.width, image.height, tw, th);
    BITMAPINFO info = BitmapHeaderOf(image);
    info.bmiHeader.biWidth = tw;
    info.bmiHeader.biHeight = -th; // top row first
    for (int32_t row = 0; row < image.tiles; ++row)
        for (int32_t column = 0; column < image.tiles; ++column) {
            const CheckerArea t = TileArea(image, left, top, column, row, scale);
            SetDIBitsToDevice(dc, t.left, t.top, DWORD(t.width), DWORD(t.height), 0, 0, 0, UINT(th),
                              shrunk.data(), &info, DIB_RGB_COLORS);
        }
    return true;
}

// One copy of the picture, its top-left corner at (left, top), drawn width x height.
void PaintOne(HDC dc, const ShownImage& image, int32_t left, int32_t top, double width,
              double height, int32_t areaWidth, int32_t areaHeight, float scale, int mode) {
    if (g_bCheckered) {
        PaintOverCheckerboard(dc, left, top, areaWidth, areaHeight, scale);
    } else if (mode != HALFTONE || !PaintShrunk(dc, image, left, top, int32_t(width),
                                                int32_t(height), areaWidth, areaHeight)) {
        const BITMAPINFO header = BitmapHeaderOf(image);
        StretchDIBits(dc, left, top, int(width), int(height), 0, 0, image.width, image.height,
                      image.pixels, &header, DIB_RGB_COLORS, SRCCOPY);
    }
}

// The tile view drawn tile by tile, each that reaches the area: no picture of nine times the
// size is ever made.
void PaintTiles(HDC dc, const ShownImage& image, int32_t x, int32_t y, int32_t areaWidth,
                int32_t areaHeight, float scale, int mode) {
    for (int32_t row = 0; row < image.tiles; ++row)
        for (int32_t column = 0; column < image.tiles; ++column) {
            const CheckerArea t = TileArea(image, x, y, column, row, scale);
            if (t.width <= 0 || t.height <= 0 || t.left >= areaWidth || t.top >= areaHeight ||
                t.left + t.width <= 0 || t.top + t.height <= 0)
                continue;
            PaintOne(dc, image, t.left, t.top, t.width, t.height, areaWidth, areaHeight, scale,
                     mode);
        }
}

} // namespace

int32_t StatusBarHeight() {
    RECT r;
    if (!GetWindowRect(g_hStatusBar, &r)) return 0;
    return r.bottom - r.top;
}

void PaintImage(HDC dc) {
    const ShownImage image = Shown();
    if (!g_bPaintingEnabled) return;
    RECT client;
    GetClientRect(g_hWndMain, &client);
    const int32_t areaHeight = client.bottom - StatusBarHeight();
    RECT area = {0, 0, client.right, areaHeight};
    // The picture stays off the status bar, which then never has to be painted again after
    // the picture (that costs milliseconds under Wine, at every paint).
    IntersectClipRect(dc, 0, 0, client.right, areaHeight);
    if (!image.pixels) {
        if (!g_szShownFileName[0]) PaintHint(dc, area);
        return;
    }
    if (g_bHintShown) { // the first picture: the hint goes
        FillRect(dc, &area, HBRUSH(COLOR_SCROLLBAR + 1));
        g_bHintShown = false;
    }
    const float scale = Scale();
    const double width = DrawnLength(int64_t(image.width) * image.tiles, scale);
    const double height = DrawnLength(int64_t(image.height) * image.tiles, scale);

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
    if (image.tiles == 1)
        PaintOne(dc, image, x.pos, y.pos, width, height, client.right, areaHeight, scale, mode);
    else if (g_bPannable || mode != HALFTONE || g_bCheckered ||
             !PaintShrunkTiles(dc, image, x.pos, y.pos, scale))
        PaintTiles(dc, image, x.pos, y.pos, client.right, areaHeight, scale, mode);
    SetRect(&g_LastImageRect, x.pos, y.pos, int(width + x.pos), int(height + y.pos));
}

void RepaintNow() {
    HDC dc = GetDC(g_hWndMain);
    PaintImage(dc);
    ReleaseDC(g_hWndMain, dc);
}

void ComputeFitFactor() {
    RECT client;
    GetClientRect(g_hWndMain, &client);
    const ShownImage image = Shown();
    g_fFitFactor = FitFactor(client.right, client.bottom - StatusBarHeight(),
                             image.width * image.tiles, image.height * image.tiles);
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
        UpdateViewPart();
        SetArrowOrHand(false);
        return;
    }
    // A drag pans first, so that the pixel under the cursor is the one the moved picture has.
    if (g_bPannable && g_DragAnchor.x != -1) {
        g_PanOffset.x += cursor.x - g_DragAnchor.x;
        g_PanOffset.y += cursor.y - g_DragAnchor.y;
        g_DragAnchor = cursor;
        RepaintNow();
    }
    const float scale = Scale();
    MapCursorToTexel({PixelAt(cursor.x - origin.x - g_LastImageRect.left, scale),
                      PixelAt(cursor.y - origin.y - g_LastImageRect.top, scale)});
    UpdateTitle();
    UpdateViewPart();
    SetArrowOrHand(g_bPannable);
}
