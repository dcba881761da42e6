// The steps the viewer takes with one file (load, decode and compose in the chosen view), driven
// by a fuzz input, and the check that the record still works for the next file. Shared by fuzz_load
// and the regression test, so that a saved crash replays exactly as it was found.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dds/DdsTexture.h"
#include "io/FileEx.h"
#include "io/Progress.h"

namespace fuzzload {

// The last kTrailerBytes bytes of an input choose what the viewer would do with the file.
constexpr size_t kTrailerBytes = 6;

struct Selection {
    int32_t level = 0;
    int32_t face = 0;
    bool normalMap = false;
    uint32_t cancelAfter = 0; // progress reports before the user cancels; 0: never
    int32_t view = 0;         // COMPOSE_COLOR, COMPOSE_BLEND or COMPOSE_ALPHA
    uint8_t red = 0, green = 0, blue = 0;
};

// A selection byte: mostly small numbers, with the extremes reachable.
inline int32_t SelectionValue(uint8_t b) {
    if (b == 0x7F) return INT32_MAX;
    if (b == 0x80) return INT32_MIN;
    return int8_t(b);
}

// Splits an input into the file's bytes and the selection. Inputs shorter than the trailer are
// all file, with the default selection.
inline Selection SplitInput(const uint8_t* data, size_t size, size_t& fileBytes) {
    Selection sel;
    fileBytes = size;
    if (size < kTrailerBytes) return sel;
    const uint8_t* t = data + size - kTrailerBytes;
    fileBytes = size - kTrailerBytes;
    sel.level = SelectionValue(t[0]);
    sel.face = SelectionValue(t[1]);
    sel.normalMap = (t[2] & 1) != 0;
    sel.cancelAfter = (t[2] >> 1) & 15;
    sel.view = std::min((t[2] >> 5) & 3, int(COMPOSE_ALPHA));
    sel.red = t[3];
    sel.green = t[4];
    sel.blue = t[5];
    return sel;
}

// ---- progress: counts the reports, and cancels when the selection says so ----------------

struct ProgressState {
    uint32_t calls = 0;
    uint32_t cancelAfter = 0;
    bool pastTotal = false; // a report beyond its total: the loop lost track of where it is
};
inline ProgressState& Progress() {
    static ProgressState state;
    return state;
}
inline int CountingProgress(uint32_t done, uint32_t total, uintptr_t) {
    ProgressState& p = Progress();
    ++p.calls;
    if (done > total) p.pastTotal = true;
    return p.cancelAfter == 0 || p.calls < p.cancelAfter;
}
inline void ResetProgress(uint32_t cancelAfter) {
    Progress() = ProgressState();
    Progress().cancelAfter = cancelAfter;
}

// ---- the known-good file -----------------------------------------------------------------

// An 8 x 8 DXT5 texture with a second mip level; every pixel's value is known from the block
// rules alone, so the check does not lean on the decoder it checks.
constexpr uint32_t kGoodSize = 8;
constexpr uint8_t kGoodRed = 0, kGoodGreen = 0, kGoodBlue = 255;

// Colour block A: 0xF800 over 0x001F; block B: the reverse, which DXT5 reads in four colours too.
constexpr uint32_t kPaletteA[4] = {0xF80000, 0x0000F8, 0xA50052, 0x5200A5};
constexpr uint32_t kPaletteB[4] = {0x0000F8, 0xF80000, 0x5200A5, 0xA50052};
// Alpha block A: 255 over 0 (eight values); B: 0 under 255 (six values, then 0 and 255).
constexpr uint8_t kAlphaA[8] = {255, 0, 218, 182, 145, 109, 72, 36};
constexpr uint8_t kAlphaB[8] = {0, 255, 51, 102, 153, 204, 0, 255};

// Block (i, j) of the top level: which colour and alpha block it uses, and the index patterns.
inline bool GoodBlockIsA(uint32_t i, uint32_t j) {
    return ((i + j) & 1) == 0;
}
// Colour index of pixel (x, y): rows rotate the sequence 0, 1, 2, 3.
inline uint32_t GoodColorIndex(uint32_t x, uint32_t y) {
    return (x + y) & 3;
}
// Alpha index of pixel n = 4y + x: 0..7 then 7..0.
inline uint32_t GoodAlphaIndex(uint32_t n) {
    return n < 8 ? n : 15 - n;
}

inline void PutLE(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(uint8_t(v >> (8 * k)));
}

inline std::vector<uint8_t> GoodBlock(bool a) {
    std::vector<uint8_t> block;
    block.push_back(a ? 255 : 0);
    block.push_back(a ? 0 : 255);
    uint64_t alphaIndices = 0;
    for (uint32_t n = 0; n < 16; ++n) alphaIndices |= uint64_t(GoodAlphaIndex(n)) << (3 * n);
    PutLE(block, alphaIndices, 6);
    PutLE(block, a ? 0xF800 : 0x001F, 2);
    PutLE(block, a ? 0x001F : 0xF800, 2);
    for (uint32_t y = 0; y < 4; ++y) {
        uint32_t row = 0;
        for (uint32_t x = 0; x < 4; ++x) row |= GoodColorIndex(x, y) << (2 * x);
        block.push_back(uint8_t(row));
    }
    return block;
}

inline std::vector<uint8_t> GoodFileBytes() {
    dds::DdsHead head;
    std::memset(&head, 0, sizeof head);
    head.dwMagic = dds::DDS_MAGIC;
    head.dwSize = 124;
    head.dwFlags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | dds::DDSD_LINEARSIZE;
    head.dwWidth = kGoodSize;
    head.dwHeight = kGoodSize;
    head.dwPitchOrLinearSize = (kGoodSize / 4) * (kGoodSize / 4) * 16;
    head.dwMipMapCount = 2;
    head.ddspf.dwSize = 32;
    head.ddspf.dwFlags = dds::DDPF_FOURCC;
    head.ddspf.dwFourCC = dds::FOURCC_DXT5;
    head.dwCaps = 0x1000 | 0x8 | 0x400000;
    std::vector<uint8_t> bytes(sizeof head);
    std::memcpy(bytes.data(), &head, sizeof head);
    for (uint32_t i = 0; i < kGoodSize / 4; ++i)
        for (uint32_t j = 0; j < kGoodSize / 4; ++j) {
            auto block = GoodBlock(GoodBlockIsA(i, j));
            bytes.insert(bytes.end(), block.begin(), block.end());
        }
    auto level1 = GoodBlock(false);
    bytes.insert(bytes.end(), level1.begin(), level1.end());
    return bytes;
}

// Work-image pixel (x, y) of the good file's top level.
inline uint32_t GoodPixel(uint32_t x, uint32_t y) {
    const bool a = GoodBlockIsA(y / 4, x / 4);
    const uint32_t bx = x % 4, by = y % 4;
    const uint32_t color = (a ? kPaletteA : kPaletteB)[GoodColorIndex(bx, by)];
    const uint32_t alpha = (a ? kAlphaA : kAlphaB)[GoodAlphaIndex(4 * by + bx)];
    return alpha << 24 | color;
}

inline uint32_t GoodDisplayPixel(uint32_t x, uint32_t y, int32_t mode) {
    const uint32_t p = GoodPixel(x, y);
    const uint32_t a = p >> 24;
    if (mode == COMPOSE_COLOR) return p;
    if (mode == COMPOSE_ALPHA) return a * 0x01010101u;
    auto blend = [a](uint32_t c, uint32_t bg) { return (c * a + bg * (255 - a)) / 255; };
    return a << 24 | blend((p >> 16) & 255, kGoodRed) << 16 |
           blend((p >> 8) & 255, kGoodGreen) << 8 | blend(p & 255, kGoodBlue);
}

// Loads the good file into `tex` and checks every fact and pixel the viewer would show. Returns
// an empty string when all is as it must be, else what is wrong.
inline std::string CheckGoodFile(CDdsTexture& tex, const char* path) {
    ResetProgress(0);
    if (!tex.Load(path, 0, 0, nullptr, false, CountingProgress)) return "good file refused";
    if (tex.m_LastError.kind != LoadError::kNone)
        return "good file: load error: " + tex.m_LastError.text;
    if (tex.m_nFormat != TF_DXT5 || std::strcmp(tex.m_szFormatName, "DXT5") != 0)
        return std::string("good file: format ") + tex.m_szFormatName;
    if (tex.m_nWidth != int32_t(kGoodSize) || tex.m_nHeight != int32_t(kGoodSize))
        return "good file: wrong size";
    if (!tex.m_pRawData || tex.m_nRawSize != (kGoodSize / 4) * (kGoodSize / 4) * 16)
        return "good file: wrong raw size";
    if (!tex.m_bHasAlpha || tex.m_bCubeMap || tex.m_bVolume || tex.m_nSurfaceCount != 0)
        return "good file: wrong flags";
    tex.DecodeSurface(CountingProgress);
    if (!tex.m_pWorkImage || !tex.m_pDisplayImage) return "good file: no images";
    for (uint32_t y = 0; y < kGoodSize; ++y)
        for (uint32_t x = 0; x < kGoodSize; ++x)
            if (tex.m_pWorkImage[y * kGoodSize + x] != GoodPixel(x, y))
                return "good file: work pixel " + std::to_string(x) + "," + std::to_string(y);
    for (int32_t mode = COMPOSE_COLOR; mode <= COMPOSE_ALPHA; ++mode) {
        tex.DecodeAndCompose(mode, kGoodRed, kGoodGreen, kGoodBlue, CountingProgress);
        for (uint32_t y = 0; y < kGoodSize; ++y)
            for (uint32_t x = 0; x < kGoodSize; ++x) {
                // The display image is bottom-up.
                const uint32_t got = tex.m_pDisplayImage[(kGoodSize - 1 - y) * kGoodSize + x];
                if (got != GoodDisplayPixel(x, y, mode))
                    return "good file: display pixel " + std::to_string(x) + "," +
                           std::to_string(y) + " in mode " + std::to_string(mode);
            }
    }
    return std::string();
}

// The largest picture decoded in full. Every composition decodes the whole surface, and under
// the sanitizers and the fuzzer's tracing the slowest formats (16-bit floats) take about five
// microseconds a pixel over the two passes: 2^19 pixels take two to three seconds, the 2^28 a
// 128-byte header may ask for would take twenty minutes. A larger picture gets its display image,
// the memory the viewer would take, and no decoding: the same code decodes it as a smaller one.
constexpr uint64_t kDecodedPixels = uint64_t(1) << 19;

// What the viewer does with a file: load it, then decode and compose it in one view, whether
// or not the load was accepted, as an option change after a refused file recomposes what is
// still shown. One view, not all three, for the same reason; the trailer reaches every view.
// Returns an empty string when nothing went wrong that the record can tell, else what did.
inline std::string RunFile(CDdsTexture& tex, CFileEx& reader, const char* path,
                           const Selection& sel) {
    ResetProgress(sel.cancelAfter);
    tex.Load(path, sel.level, sel.face, nullptr, sel.normalMap, CountingProgress);
    const uint64_t pixels = uint64_t(tex.m_Header.dwWidth) * tex.m_Header.dwHeight;
    if (!tex.m_pRawData || pixels <= kDecodedPixels)
        tex.DecodeAndCompose(sel.view, sel.red, sel.green, sel.blue, CountingProgress);
    else if (!tex.m_pDisplayImage)
        tex.AllocDisplayImage();
    const bool pastTotal = Progress().pastTotal;
    ResetProgress(0);
    if (pastTotal) return "progress reported beyond its total";
    if (reader.IsOpen() || reader.IsBusy()) return "reader left open or busy";
    if (std::memchr(tex.m_szFormatName, 0, sizeof tex.m_szFormatName) == nullptr)
        return "format name not terminated";
    return std::string();
}

// The whole sequence for one input: a surface already on show, the hostile file twice (the
// second time into the buffers it left, as a viewer reloads a file), then the good file again
// through the same record. Empty when all went well.
inline std::string RunInput(const char* path, const Selection& sel, const char* goodPath) {
    CFileEx reader;
    CDdsTexture tex(reader);
    std::string why = CheckGoodFile(tex, goodPath);
    if (!why.empty()) return "before: " + why;
    for (int pass = 0; pass < 2; ++pass) {
        why = RunFile(tex, reader, path, sel);
        if (!why.empty()) return why;
    }
    why = CheckGoodFile(tex, goodPath);
    if (!why.empty()) return "after: " + why;
    return std::string();
}

} // namespace fuzzload
