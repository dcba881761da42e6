// The picture on show made from the texture record: the view options (channel, exposure,
// checkerboard) put in force, and a full cube's six faces unfolded as a cross.
#include "view/Window.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "decode/Compose.h"
#include "decode/FloatRange.h"
#include "view/CubeCross.h"
#include "view/Layout.h"
#include "view/Settings.h"
#include "view/StatusText.h"
#include "view/View.h"

bool g_bCheckered = false;
bool g_bCrossShown = false;

// The view options of the settings on the record; the background the picture is composed
// over: under the checkerboard it is blended over black, and painting adds the board by what
// the alpha leaves.
uint32_t ApplyViewOptions(int32_t mode, uint8_t red, uint8_t green, uint8_t blue) {
    g_Texture.m_nChannel = g_Settings.channel;
    g_Texture.m_nExposure = g_Settings.exposure;
    g_Texture.m_bAutoRange = g_Settings.autoRange;
    g_Texture.m_bMarkNonFinite = g_Settings.markNonFinite;
    g_Texture.m_bSrgbCurve = g_Settings.srgbCurve;
    g_bCheckered = g_Settings.checkerboard && BlendsByAlpha(g_Texture, mode);
    return g_bCheckered ? 0 : uint32_t(red) << 16 | uint32_t(green) << 8 | blue;
}

namespace {

// The cube's six faces of the selected level as the file holds them, read at the load, so
// that the cross is composed again from memory; and the cross itself.
struct CrossRecord {
    std::vector<uint8_t> faces[kCubeFaces]; // empty: the file does not supply that face
    std::vector<uint32_t> image;            // bottom-up, kCrossColumns x kCrossRows cells
    int32_t cellWidth = 0, cellHeight = 0;
    dds::DdsHead header = {}; // the record's header when the faces were read
};
CrossRecord g_cross;

// Decodes and composes each face from memory into its cell; false when `progress` stopped
// it. The record's own surface is put back afterwards.
bool ComposeCross(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
                  ProgressCallback progress) {
    const int32_t w = g_cross.cellWidth, h = g_cross.cellHeight;
    // The faces fit the record's header only: another file's header never decodes them.
    if (std::memcmp(&g_Texture.m_Header, &g_cross.header, sizeof g_cross.header) != 0) return true;
    if (!g_Texture.m_pDisplayImage && !g_Texture.AllocDisplayImage())
        return true; // no image: the caller reports the memory
    // The empty cells are transparent black: composed, that is the background colour where
    // the view blends over it, black elsewhere (and under the checkerboard). The view options
    // are put in force first: an isolated channel never blends.
    const uint32_t bg = ApplyViewOptions(mode, red, green, blue);
    std::fill(g_cross.image.begin(), g_cross.image.end(), BlendsByAlpha(g_Texture, mode) ? bg : 0u);
    uint8_t* const own = g_Texture.m_pRawData;
    const uint32_t ownHeld = g_Texture.m_nRawHeld;
    const bool stoppable = progress == ReportProgress;
    bool whole = true;
    // The cross is one picture: one auto range for its six faces.
    g_Texture.m_bRangeGiven = g_Texture.m_bAutoRange && FloatRangeWanted(g_Texture);
    g_Texture.m_fRangeMin = std::numeric_limits<float>::infinity();
    g_Texture.m_fRangeMax = -g_Texture.m_fRangeMin;
    for (int32_t face = 0; face < kCubeFaces && whole && g_Texture.m_bRangeGiven; ++face) {
        std::vector<uint8_t>& raw = g_cross.faces[face];
        if (raw.empty()) continue;
        g_Texture.m_pRawData = raw.data();
        g_Texture.m_nRawHeld = uint32_t(raw.size());
        float min = 0.0f, max = 0.0f;
        whole = g_Texture.FindFloatRange(min, max, progress) &&
                !(stoppable && g_nLoadState == kLoadCancelRequested);
        g_Texture.m_fRangeMin = std::min(g_Texture.m_fRangeMin, min);
        g_Texture.m_fRangeMax = std::max(g_Texture.m_fRangeMax, max);
    }
    for (int32_t face = 0; face < kCubeFaces && whole; ++face) {
        std::vector<uint8_t>& raw = g_cross.faces[face];
        if (raw.empty()) continue; // a face the file cannot supply stays an empty cell
        g_Texture.m_pRawData = raw.data();
        g_Texture.m_nRawHeld = uint32_t(raw.size());
        g_Texture.DecodeAndCompose(mode, uint8_t(bg >> 16), uint8_t(bg >> 8), uint8_t(bg),
                                   progress);
        whole = !(stoppable && g_nLoadState == kLoadCancelRequested);
        if (whole && g_Texture.m_pDisplayImage) // none: no memory for the face's work rows
            CopyFaceIntoCross(g_cross.image.data(), g_Texture.m_pDisplayImage, w, h, face);
    }
    g_Texture.m_pRawData = own;
    g_Texture.m_nRawHeld = ownHeld;
    g_Texture.m_bRangeGiven = false;
    return whole;
}
} // namespace

// Its memory goes back to the system (some 800 MB for a 4096 x 4096 cube).
void ReleaseCross() {
    g_cross = CrossRecord();
    g_bCrossShown = false;
}

// A load stopped halfway leaves images that are neither the last picture nor the next: they
// are let go (their storage stays for the next load), so that nothing paints them.
void DropHalfMadeImages() {
    g_Texture.FreeBuffers();
    ReleaseCross();
    ReleaseLevels();
}

// Compare shows one face of each texture.
bool CrossWanted() {
    return !Comparing() && g_Settings.cubeCross && g_Texture.m_bCubeMap &&
           g_Texture.m_nSurfaceCount == kCubeFaces;
}

// Sizes the cross for the selected level and reads its six faces. kLoadShown when they are in
// memory; kLoadFailed or kLoadStopped as a read ends; -1 when the memory cannot be had (the
// box says so, and one face is shown instead).
int ReadCross(const char* fileName) {
    const int32_t w = g_Texture.m_nWidth, h = g_Texture.m_nHeight, selected = g_Texture.m_nLayer;
    uint64_t bytes = 0;
    bool room = CrossImageBytes(w, h, bytes) && bytes <= SIZE_MAX;
    try {
        if (room) g_cross.image.resize(size_t(bytes / 4));
        for (std::vector<uint8_t>& face : g_cross.faces)
            if (room) face.reserve(g_Texture.m_nRawHeld);
    } catch (const std::bad_alloc&) {
        room = false;
    }
    if (!room) {
        ReleaseCross();
        MessageBoxA(
            g_hWndMain,
            OutOfMemoryText(uint32_t(w) * kCrossColumns, uint32_t(h) * kCrossRows, bytes).c_str(),
            "Error...", MB_ICONERROR);
        return -1;
    }
    for (int32_t face = 0; face < kCubeFaces; ++face) {
        const bool loaded = g_Texture.Load(fileName, g_nLevel, face, g_hWndMain,
                                           g_Settings.dxt5AsNormalMap, ReportProgress);
        if (!loaded || g_Texture.m_LastError.kind != LoadError::kNone) {
            MessageBoxA(g_hWndMain, g_Texture.m_LastError.text.c_str(), "Error...", MB_ICONERROR);
            return kLoadFailed;
        }
        if (g_nLoadState == kLoadCancelRequested) return kLoadStopped;
        if (g_Texture.m_pRawData && g_Texture.m_nRawHeld && g_Texture.m_nWidth == w &&
            g_Texture.m_nHeight == h)
            g_cross.faces[face].assign(g_Texture.m_pRawData,
                                       g_Texture.m_pRawData + g_Texture.m_nRawHeld);
    }
    g_Texture.m_nLayer = selected;
    g_cross.cellWidth = w;
    g_cross.cellHeight = h;
    g_cross.header = g_Texture.m_Header;
    g_bCrossShown = true;
    return kLoadShown;
}

bool ComposePicture(int32_t mode, uint8_t red, uint8_t green, uint8_t blue,
                    ProgressCallback progress) {
    if (g_bLevelsShown) return ComposeLevels(mode, red, green, blue, progress);
    if (g_bCrossShown) return ComposeCross(mode, red, green, blue, progress);
    const uint32_t bg = ApplyViewOptions(mode, red, green, blue);
    g_Texture.DecodeAndCompose(mode, uint8_t(bg >> 16), uint8_t(bg >> 8), uint8_t(bg), progress);
    if (Comparing() && !(progress == ReportProgress && g_nLoadState == kLoadCancelRequested))
        ComposeSecond(mode, bg);
    return !(progress == ReportProgress && g_nLoadState == kLoadCancelRequested);
}

void StepExposure(int32_t step) {
    if (!g_Texture.m_pRawData || !ExposureApplies(g_Texture.m_nFormat)) return;
    const int32_t e = step ? g_Settings.exposure + step : 0;
    if (e < -kMaxExposure || e > kMaxExposure) return;
    g_Settings.exposure = e;
    ShowViewPart();
    Recompose();
}

// All levels win over the tile view (its item is greyed meanwhile).
ShownImage Shown() {
    if (g_bLevelsShown) return LevelsShown();
    const int32_t tiles = g_Settings.tileView && !g_Settings.allLevels ? kTileRepeat : 1;
    if (g_bCrossShown)
        return {g_cross.image.data(), g_cross.cellWidth * kCrossColumns,
                g_cross.cellHeight * kCrossRows, tiles};
    if (const uint32_t* compared = ComparedPixels()) // B, or the difference
        return {compared, g_Texture.m_nWidth, g_Texture.m_nHeight, tiles};
    // The size is the record's also before its images are made (the window is placed first).
    return {g_Texture.m_pDisplayImage, g_Texture.m_nWidth, g_Texture.m_nHeight, tiles};
}

int32_t ComposeModeOfSettings() {
    if (g_Settings.showAlpha) return COMPOSE_ALPHA;
    return g_Settings.useAlpha ? COMPOSE_BLEND : COMPOSE_COLOR;
}
