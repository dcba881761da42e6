// The viewer's extras in the window: channel, exposure, checkerboard, texel values, save, copy.
#include "view/Window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <string>
#include <vector>

#include "decode/Compose.h"
#include "decode/TexelValue.h"
#include "io/PngWriter.h"
#include "view/Placement.h"
#include "view/Settings.h"
#include "view/StatusText.h"
#include "view/View.h"
#include "view/Zoom.h"

bool g_bCheckered = false;

namespace {
// The seventh part's text as last set, so that a cursor move repaints it only on a change.
std::string g_viewText;
bool g_bSeventhPart = false;

bool ExposureShown() {
    return g_Texture.m_pRawData && ExposureApplies(g_Texture.m_nFormat) && g_Settings.exposure != 0;
}

// Off while a cube is shown as a cross: the record holds one face, not the picture.
bool CursorOnPicture() {
    return !g_bCrossShown && g_CursorPixel.x >= 0 && g_CursorPixel.y >= 0 &&
           g_CursorPixel.x < g_Texture.m_nWidth && g_CursorPixel.y < g_Texture.m_nHeight;
}

// The picture as shown, at the file's size: over the checkerboard when that is on (squares of
// 8 picture pixels), top row first.
std::vector<uint32_t> ShownPicture() {
    const ShownImage image = Shown();
    const int32_t w = image.width, h = image.height;
    std::vector<uint32_t> out(size_t(w) * h);
    if (g_bCheckered) {
        DrawOverCheckerboard(out.data(), {0, 0, w, h}, {image.pixels, w, h, 0, 0, 1.0});
        return out;
    }
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(&out[size_t(y) * w], image.pixels + size_t(h - 1 - y) * w, size_t(w) * 4);
    return out;
}

bool PictureShown() {
    const ShownImage image = Shown();
    return g_bPaintingEnabled && image.pixels && image.width > 0 && image.height > 0;
}

void PutOnClipboard(UINT format, const void* data, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return;
    std::memcpy(GlobalLock(memory), data, size);
    GlobalUnlock(memory);
    if (!OpenClipboard(g_hWndMain)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(format, memory)) GlobalFree(memory);
    CloseClipboard();
}

// A bottom-up 32-bit DIB: the header, then the rows from the picture's bottom.
void CopyPicture() {
    if (!PictureShown()) return;
    const std::vector<uint32_t> picture = ShownPicture();
    const int32_t w = Shown().width, h = Shown().height;
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    std::vector<uint8_t> dib(sizeof header + picture.size() * 4);
    std::memcpy(dib.data(), &header, sizeof header);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = picture[size_t(h - 1 - y) * w + x] | 0xFF000000u;
            std::memcpy(&dib[sizeof header + (size_t(y) * w + x) * 4], &p, 4);
        }
    PutOnClipboard(CF_DIB, dib.data(), dib.size());
}
} // namespace

namespace {
// The view options of the settings on the record; the background the picture is composed
// over: under the checkerboard it is blended over black, and painting adds the board by what
// the alpha leaves.
uint32_t ShownBackground(int32_t mode, uint8_t red, uint8_t green, uint8_t blue) {
    g_Texture.m_nChannel = g_Settings.channel;
    g_Texture.m_nExposure = g_Settings.exposure;
    g_bCheckered = g_Settings.checkerboard && BlendsByAlpha(g_Texture, mode);
    return g_bCheckered ? 0 : uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
}
} // namespace

void ComposeShown(int32_t mode, uint8_t red, uint8_t green, uint8_t blue) {
    const uint32_t bg = ShownBackground(mode, red, green, blue);
    g_Texture.Compose(mode, uint8_t(bg >> 16), uint8_t(bg >> 8), uint8_t(bg), ReportProgress);
}

void DecodeAndComposeShown(int32_t mode, uint8_t red, uint8_t green, uint8_t blue) {
    const uint32_t bg = ShownBackground(mode, red, green, blue);
    g_Texture.DecodeAndCompose(mode, uint8_t(bg >> 16), uint8_t(bg >> 8), uint8_t(bg),
                               ReportProgress);
}

void RecomposeAsSet() {
    const ViewerSettings::Colour& c = g_Settings.backgroundColor;
    Recompose(ComposeModeOfSettings(), c.red, c.green, c.blue);
}

void StepExposure(int32_t step) {
    if (!g_Texture.m_pRawData || !ExposureApplies(g_Texture.m_nFormat)) return;
    const int32_t e = step ? g_Settings.exposure + step : 0;
    if (e < -kMaxExposure || e > kMaxExposure) return;
    g_Settings.exposure = e;
    ShowViewPart();
    RecomposeAsSet();
}

void ShowViewPart() {
    SetStatusParts();
    UpdateViewPart();
}

// The described six parts, measured in the status bar's own font and the display's
// resolution; a seventh while it has something to show. Then made to fit the texts on show.
void SetStatusParts() {
    HDC dc = GetDC(g_hStatusBar);
    HGDIOBJ old = SelectObject(dc, HFONT(SendMessageA(g_hStatusBar, WM_GETFONT, 0, 0)));
    static const char kFirst[] = " Type: DDS";
    SIZE text = {0, 0};
    GetTextExtentPoint32A(dc, kFirst, sizeof kFirst - 1, &text);
    int borders[3] = {0, 0, 0}; // the part's frame and the room beside its text
    SendMessageA(g_hStatusBar, SB_GETBORDERS, 0, LPARAM(borders));
    const int32_t frame = 2 * borders[2] + 6;
    int32_t need[kStatusParts + 1] = {};
    for (int part = 0; part < kStatusParts; ++part) {
        char shown[kTextBufferSize] = "";
        if (LOWORD(SendMessageA(g_hStatusBar, SB_GETTEXTLENGTHA, part, 0)) >= sizeof shown)
            continue;
        SendMessageA(g_hStatusBar, SB_GETTEXTA, part, LPARAM(shown));
        SIZE size = {0, 0};
        if (shown[0] && GetTextExtentPoint32A(dc, shown, lstrlenA(shown), &size))
            need[part] = size.cx + frame;
    }
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    SelectObject(dc, old);
    ReleaseDC(g_hStatusBar, dc);
    if (SeventhPartWanted() != g_bSeventhPart) {
        g_bSeventhPart = !g_bSeventhPart;
        PlaceWindow(); // wider or back
    }
    RECT bar = {};
    GetClientRect(g_hStatusBar, &bar);
    const StatusEdges edges =
        FitStatusParts(StatusPartEdges(dpi, text.cx + frame, g_bSeventhPart), need,
                       bar.right - GetSystemMetrics(SM_CXVSCROLL)); // the size grip
    SendMessageA(g_hStatusBar, SB_SETPARTS, edges.count, LPARAM(edges.right));
    g_viewText = "\x01"; // not a text the part can have: set again
}

bool SeventhPartWanted() {
    return g_Settings.texelReadout || ExposureShown();
}

void UpdateViewPart() {
    if (!g_bSeventhPart) return;
    const std::string texel = g_Settings.texelReadout && CursorOnPicture()
                                  ? TexelValues(g_Texture, g_CursorPixel.x, g_CursorPixel.y)
                                  : std::string();
    const std::string text = FormatViewText(ExposureShown(), g_Settings.exposure, texel);
    if (text == g_viewText) return;
    g_viewText = text;
    SendMessageA(g_hStatusBar, SB_SETTEXTA, kStatusParts, LPARAM(text.c_str()));
}

void CopyToClipboard(bool picture) {
    if (picture || !CursorOnPicture()) {
        CopyPicture();
        return;
    }
    const std::string values = TexelValues(g_Texture, g_CursorPixel.x, g_CursorPixel.y);
    if (values.empty()) return;
    const std::string text =
        std::to_string(g_CursorPixel.x) + ", " + std::to_string(g_CursorPixel.y) + ": " + values;
    PutOnClipboard(CF_TEXT, text.c_str(), text.size() + 1);
}

void SavePictureAsPng() {
    if (!PictureShown()) return;
    // The file's name with ".png" for ".dds".
    std::wstring name = Wide(g_szCurrentFileName);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) name.replace(dot, std::wstring::npos, L".png");
    wchar_t path[MAX_PATH] = L"";
    lstrcpynW(path, name.c_str(), MAX_PATH);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = g_hWndMain;
    ofn.lpstrFilter = L"PNG pictures (*.png)\0*.png\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"png";
    ofn.lpstrTitle = L"Save view as PNG...";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn)) return;
    const std::vector<uint32_t> picture = ShownPicture();
    std::string error;
    if (!WritePng(Utf8(path), picture.data(), uint32_t(Shown().width), uint32_t(Shown().height),
                  PngRows::kTopDown, PngAlpha::kDrop, error))
        MessageBoxW(g_hWndMain, Wide(error).c_str(), L"Error...", MB_ICONERROR);
}
