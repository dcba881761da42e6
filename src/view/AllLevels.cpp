// Every mipmap level of the selection side by side (a cube's cross per level while the cross is
// on): the levels are read once at the load and composed again from memory at each view change.
#include "view/Window.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "decode/Compose.h"
#include "decode/TexelValue.h"
#include "dds/ImageBuffer.h"
#include "view/CubeCross.h"
#include "view/Layout.h"
#include "view/Settings.h"
#include "view/StatusText.h"
#include "view/View.h"

bool g_bLevelsShown = false;
int32_t g_nCursorLevel = -1;

namespace {
// One surface as the file holds it (a level, or a face of a level), and what the record says of it.
struct Surface {
    std::vector<uint8_t> raw;
    uint32_t rawSize = 0;
    dds::DdsHead header = {};
    int32_t width = 0, height = 0, layer = 0;
    bool read = false; // false: the file does not supply it, its box stays empty
};

struct LevelsRecord {
    std::vector<Surface> surfaces; // level x faces + face
    int32_t faces = 1;             // 6: each level as a cross
    int32_t selected = 0;          // the surface the record holds
    LevelStrip strip;
};
LevelsRecord g_levels;
// The strip (bottom-up), and the display image of the levels other than the selected one: kept from
// one composition to the next, never cleared beforehand (composing writes every pixel), so that a
// view change touches no fresh memory.
ImageBuffer g_strip, g_scratch;
uint32_t* g_pStrip = nullptr;
// A level selected while the levels are on show: the strip stays, only the record's images
// are made for it (what the view shows once the levels go).
bool g_bSelectedOnly = false;

Surface& At(int32_t level, int32_t face) {
    return g_levels.surfaces[size_t(level) * g_levels.faces + face];
}

// The record's surface as it is now.
void Keep(Surface& s) {
    s.raw.assign(g_Texture.m_pRawData, g_Texture.m_pRawData + g_Texture.m_nRawHeld);
    s.rawSize = g_Texture.m_nRawSize;
    s.header = g_Texture.m_Header;
    s.width = g_Texture.m_nWidth;
    s.height = g_Texture.m_nHeight;
    s.layer = g_Texture.m_nLayer;
    s.read = true;
}

// Puts a kept surface in the record, as a load of it would; its images are made again.
bool PutInRecord(int32_t index) {
    const Surface& s = g_levels.surfaces[size_t(index)];
    if (!g_Texture.AllocRaw(s.rawSize, uint32_t(s.raw.size()), false)) return false;
    if (!s.raw.empty()) std::memcpy(g_Texture.m_pRawData, s.raw.data(), s.raw.size());
    g_Texture.m_Header = s.header;
    g_Texture.m_nWidth = s.width;
    g_Texture.m_nHeight = s.height;
    g_Texture.m_nLevel = index / g_levels.faces;
    g_Texture.m_nLayer = s.layer;
    g_Texture.m_pDisplayImage = nullptr;
    g_levels.selected = index;
    return true;
}

// Lends a kept surface to the record for a decoding or a readout; puts the record's back after.
class Lend {
  public:
    explicit Lend(Surface& s)
        : m_header(g_Texture.m_Header), m_raw(g_Texture.m_pRawData),
          m_display(g_Texture.m_pDisplayImage), m_held(g_Texture.m_nRawHeld),
          m_size(g_Texture.m_nRawSize), m_width(g_Texture.m_nWidth), m_height(g_Texture.m_nHeight) {
        g_Texture.m_Header = s.header;
        // A surface the file does not supply holds nothing, yet is one: it decodes as zeros.
        static uint8_t none = 0;
        g_Texture.m_pRawData = s.raw.empty() ? &none : s.raw.data();
        g_Texture.m_nRawHeld = uint32_t(s.raw.size());
        g_Texture.m_nRawSize = s.rawSize;
        g_Texture.m_nWidth = s.width;
        g_Texture.m_nHeight = s.height;
    }
    ~Lend() {
        g_Texture.m_Header = m_header;
        g_Texture.m_pRawData = m_raw;
        g_Texture.m_pDisplayImage = m_display;
        g_Texture.m_nRawHeld = m_held;
        g_Texture.m_nRawSize = m_size;
        g_Texture.m_nWidth = m_width;
        g_Texture.m_nHeight = m_height;
    }
    Lend(const Lend&) = delete;
    Lend& operator=(const Lend&) = delete;

  private:
    dds::DdsHead m_header;
    uint8_t* m_raw;
    uint32_t* m_display;
    uint32_t m_held, m_size;
    int32_t m_width, m_height;
};

// Where a surface's picture goes in the strip: its level's box, and its cell of the cross.
void PlaceInStrip(int32_t index, const uint32_t* picture) {
    const int32_t level = index / g_levels.faces, face = index % g_levels.faces;
    const LevelBox& box = g_levels.strip.boxes[size_t(level)];
    const Surface& s = g_levels.surfaces[size_t(index)];
    int32_t x = box.x, y = box.y;
    if (g_levels.faces == kCubeFaces) {
        const CrossCell cell = CubeCrossCell(face);
        x += cell.column * s.width;
        y += cell.row * s.height;
    }
    CopyIntoCanvas(g_pStrip, int32_t(g_levels.strip.width), int32_t(g_levels.strip.height), picture,
                   s.width, s.height, x, y);
}

bool Fits(const Surface& s, int32_t level) {
    const LevelBox& box = g_levels.strip.boxes[size_t(level)];
    return s.read &&
           s.width * int64_t(g_levels.faces == kCubeFaces ? kCrossColumns : 1) == box.width &&
           s.height * int64_t(g_levels.faces == kCubeFaces ? kCrossRows : 1) == box.height;
}

void SayTooLarge(int32_t width, int32_t height, uint64_t bytes) {
    MessageBoxA(g_hWndMain, OutOfMemoryText(uint32_t(width), uint32_t(height), bytes).c_str(),
                "Error...", MB_ICONERROR);
}
} // namespace

bool AllSidesShown() {
    return g_bCrossShown || (g_bLevelsShown && g_levels.faces == kCubeFaces);
}

bool LevelsWanted() {
    return !Comparing() && g_Settings.allLevels && g_Texture.m_pRawData &&
           g_Texture.LevelCount() > 1;
}

void ReleaseLevels() {
    g_levels = LevelsRecord();
    g_strip.Discard();
    g_scratch.Discard();
    g_pStrip = nullptr;
    g_bLevelsShown = false;
    g_nCursorLevel = -1;
}

// The record holds the selected surface: it is kept, level 0 is read for the strip's size, the
// strip's memory is had (else the box says so, and the selected level alone is shown), then the
// other surfaces are read, and the record is given the selected one back.
int ReadLevels(const char* fileName) {
    const int32_t faces = CrossWanted() ? kCubeFaces : 1;
    const int32_t selLevel = g_Texture.m_nLevel, selFace = faces == 1 ? 0 : g_Texture.m_nLayer;
    const int32_t layer = g_Texture.m_nLayer;
    ReleaseLevels();
    g_levels.faces = faces;
    // Every level the status bar can step to, up to a bound that no real chain reaches.
    const int32_t count = std::min(g_Texture.LevelCount(), kMaxStripLevels);
    if (selLevel >= count) return kLoadShown; // a level beyond the strip is shown alone
    try {
        g_levels.surfaces.resize(size_t(count) * faces);
    } catch (const std::bad_alloc&) {
        ReleaseLevels();
        return -1;
    }
    const int32_t selected = selLevel * faces + selFace;
    Keep(g_levels.surfaces[size_t(selected)]);
    // Each load is answered as the load of the selection is.
    auto read = [&](int32_t level, int32_t face) {
        const bool loaded = g_Texture.Load(fileName, level, faces == 1 ? layer : face, g_hWndMain,
                                           g_Settings.dxt5AsNormalMap, ReportProgress);
        if (!loaded || g_Texture.m_LastError.kind != LoadError::kNone) {
            MessageBoxA(g_hWndMain, g_Texture.m_LastError.text.c_str(), "Error...", MB_ICONERROR);
            return kLoadFailed;
        }
        if (g_nLoadState == kLoadCancelRequested) return kLoadStopped;
        if (g_Texture.m_nLevel == level && g_Texture.m_pRawData) Keep(At(level, face));
        return kLoadShown;
    };
    // The record gets the selection back (no other surface is left in it) unless the load
    // ends here; the levels go unless all were read.
    auto give = [&](int answer) {
        if ((answer == kLoadShown || answer == -1) && !PutInRecord(selected)) answer = kLoadFailed;
        if (answer != kLoadShown) ReleaseLevels();
        return answer;
    };
    if (selected != 0) {
        const int answer = read(0, 0);
        if (answer != kLoadShown) return give(answer);
    }
    const Surface& top = g_levels.surfaces[0];
    g_levels.strip = faces == 1
                         ? LayOutLevels(top.width, top.height, count)
                         : LayOutLevels(top.width, top.height, count, kCrossColumns, kCrossRows);
    uint64_t bytes = 0;
    const bool room = top.read && StripBytes(g_levels.strip, bytes) && bytes <= SIZE_MAX &&
                      (g_pStrip = static_cast<uint32_t*>(g_strip.Acquire(size_t(bytes), false)));
    if (!room) {
        const int32_t w = int32_t(std::min<int64_t>(g_levels.strip.width, INT32_MAX));
        const int32_t h = int32_t(std::min<int64_t>(g_levels.strip.height, INT32_MAX));
        const int answer = give(-1);
        SayTooLarge(w, h, bytes);
        return answer;
    }
    for (int32_t level = 0; level < count; ++level)
        for (int32_t face = 0; face < faces; ++face) {
            if (At(level, face).read) continue;
            const int answer = read(level, face);
            if (answer != kLoadShown) return give(answer);
        }
    const int answer = give(kLoadShown);
    g_bLevelsShown = answer == kLoadShown;
    return answer;
}

// The selected surface is composed in the record's own display image, the others in the
// scratch image (kept from one composition to the next), each then copied to its place in the
// strip.
bool ComposeLevels(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
                   ProgressCallback progress) {
    // The levels fit the record's selection only: another file's never decodes them.
    if (g_levels.surfaces.empty() ||
        std::memcmp(&g_Texture.m_Header, &g_levels.surfaces[size_t(g_levels.selected)].header,
                    sizeof g_Texture.m_Header) != 0)
        return true;
    const uint32_t bg = ApplyViewOptions(mode, red, green, blue);
    const auto decodeAndCompose = [&] {
        g_Texture.DecodeAndCompose(mode, uint8_t(bg >> 16), uint8_t(bg >> 8), uint8_t(bg),
                                   progress);
        return g_Texture.m_pDisplayImage;
    };
    if (g_bSelectedOnly) {
        decodeAndCompose();
        return true;
    }
    std::fill_n(g_pStrip, size_t(g_levels.strip.width) * size_t(g_levels.strip.height),
                BlendsByAlpha(g_Texture, mode) ? bg : 0u);
    const bool stoppable = progress == ReportProgress;
    // The other surfaces' image, had once for the largest of them: a smaller one asked for
    // between two larger ones would give memory back only to map it again.
    size_t pixels = 0;
    for (int32_t i = 0; i < int32_t(g_levels.surfaces.size()); ++i) {
        const Surface& s = g_levels.surfaces[size_t(i)];
        if (i != g_levels.selected && s.read) pixels = std::max(pixels, size_t(s.width) * s.height);
    }
    auto* const display = static_cast<uint32_t*>(g_scratch.Acquire(pixels * 4, false));
    for (int32_t i = 0; i < int32_t(g_levels.surfaces.size()); ++i) {
        Surface& s = g_levels.surfaces[size_t(i)];
        if (!Fits(s, i / g_levels.faces)) continue;
        // A surface without its images (no memory) leaves its box empty.
        if (i == g_levels.selected) {
            if (const uint32_t* image = decodeAndCompose()) PlaceInStrip(i, image);
        } else if (display) {
            const Lend lent(s);
            g_Texture.m_pDisplayImage = display;
            if (decodeAndCompose()) PlaceInStrip(i, display);
        }
        if (stoppable && g_nLoadState == kLoadCancelRequested) return false;
    }
    return true;
}

ShownImage LevelsShown() {
    return {g_pStrip, int32_t(g_levels.strip.width), int32_t(g_levels.strip.height)};
}

// Left and Right while the levels are on show: the record is given that level from memory and
// its images are made; the strip stays as it is.
bool SelectShownLevel(int32_t level) {
    const int32_t face = g_levels.selected % g_levels.faces;
    const int32_t index = level * g_levels.faces + face;
    if (!g_bLevelsShown || level < 0 || index >= int32_t(g_levels.surfaces.size()) ||
        !g_levels.surfaces[size_t(index)].read)
        return false;
    if (!PutInRecord(index)) return false;
    g_nLevel = level;
    g_bSelectedOnly = true;
    Recompose();
    g_bSelectedOnly = false;
    FillStatusBar();
    return true;
}

// A point of the picture on show as a texel: of the level under it while the levels are on
// show, else of the picture (modulo it in the tile view).
void MapCursorToTexel(POINT shown) {
    g_nCursorLevel = -1;
    if (g_bLevelsShown) {
        const LevelPoint at = LevelAt(g_levels.strip, shown.x, shown.y);
        g_nCursorLevel = at.level;
        g_CursorPixel = {at.x, at.y};
        return;
    }
    const ShownImage image = Shown();
    if (image.tiles > 1 && shown.x >= 0)
        shown = {TiledToPicture(shown.x, image.width), TiledToPicture(shown.y, image.height)};
    g_CursorPixel = shown;
}

// Each level's cross holds six faces, not one picture: no texel readout there.
bool CursorOnLevel() {
    return g_levels.faces == 1 && g_nCursorLevel >= 0 && g_CursorPixel.x >= 0;
}

std::string TexelValuesUnderCursor() {
    if (!CursorOnPicture()) return std::string();
    if (!g_bLevelsShown) return TexelValues(ShownTexture(), g_CursorPixel.x, g_CursorPixel.y);
    Surface& s = At(g_nCursorLevel, 0);
    if (!s.read) return std::string();
    const Lend lent(s);
    return TexelValues(g_Texture, g_CursorPixel.x, g_CursorPixel.y);
}
