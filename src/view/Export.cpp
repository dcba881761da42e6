// The picture on show saved as a PNG file and copied to the clipboard, and the texel values
// under the cursor copied as text.
#include "view/Window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "decode/Compose.h"
#include "decode/TexelValue.h"
#include "io/PngWriter.h"
#include "view/Placement.h"
#include "view/Settings.h"
#include "view/StatusText.h"
#include "view/View.h"
#include "view/Checkerboard.h"

namespace {
struct Picture {
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
};

// The picture as shown, at the file's size: over the checkerboard when that is on (squares of
// 8 picture pixels), top row first. The tile view's 3 x 3 is made here, while it stays within
// what one picture may have and the memory can be had; else one tile is given.
Picture ShownPicture() {
    const ShownImage image = Shown();
    const int32_t w = image.width, h = image.height, n = image.tiles;
    if (!image.pixels) return {};
    Picture out;
    std::vector<uint32_t> tile(size_t(w) * h);
    if (g_bCheckered)
        DrawOverCheckerboard(tile.data(), {0, 0, w, h}, {image.pixels, w, h, 0, 0, 1.0});
    else
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(&tile[size_t(y) * w], image.pixels + size_t(h - 1 - y) * w, size_t(w) * 4);
    try {
        if (n > 1 && uint64_t(w) * h * n * n <= kMaxImagePixels)
            out.pixels.resize(size_t(w) * h * n * n);
    } catch (const std::bad_alloc&) {
        out.pixels.clear();
    }
    if (out.pixels.empty()) return {std::move(tile), w, h};
    out.width = w * n;
    out.height = h * n;
    for (size_t y = 0; y < size_t(out.height); ++y)
        for (int32_t column = 0; column < n; ++column)
            std::memcpy(&out.pixels[y * out.width + size_t(column) * w], &tile[(y % h) * w],
                        size_t(w) * 4);
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
    const Picture shown = ShownPicture();
    const std::vector<uint32_t>& picture = shown.pixels;
    const int32_t w = shown.width, h = shown.height;
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

void CopyToClipboard(bool picture) {
    if (picture || !CursorOnPicture()) {
        CopyPicture();
        return;
    }
    const std::string values = TexelValuesUnderCursor();
    if (values.empty()) return;
    const std::string text =
        std::to_string(g_CursorPixel.x) + ", " + std::to_string(g_CursorPixel.y) + ": " + values;
    PutOnClipboard(CF_TEXT, text.c_str(), text.size() + 1);
}

void SavePictureAsPng() {
    if (!PictureShown()) return;
    // The name of the file on show with ".png" for ".dds".
    std::wstring name = Wide(g_szShownFileName);
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
    {
        const ModalLoop modal;
        if (!GetSaveFileNameW(&ofn)) return;
    }
    if (!PictureShown()) return; // gone while the dialog was open
    const Picture picture = ShownPicture();
    std::string error;
    if (!WritePng(Utf8(path), picture.pixels.data(), uint32_t(picture.width),
                  uint32_t(picture.height), PngRows::kTopDown, PngAlpha::kDrop, error))
        MessageBoxW(g_hWndMain, Wide(error).c_str(), L"Error...", MB_ICONERROR);
}
