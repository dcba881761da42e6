// The checks of fuzz_blocks: the block helpers and the format classifier fed arbitrary blocks
// and pixel-format blocks directly, each result compared with the rule it implements, written
// out plainly here. Destinations are exactly as large as a block may touch, so ASan sees any
// stray write. Shared with the regression test, which replays saved inputs through them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteInput.h"
#include "dds/DdsFormat.h"
#include "dds/DdsHeader.h"
#include "decode/BcnDecode.h"
#include "decode/BlockDecode.h"
#include "decode/PixelConvert.h"

namespace blockchecks {

// What a failed check throws: the fuzz target aborts with it, the test reports it.
struct CheckFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] inline void Fail(const char* what, uint64_t a = 0, uint64_t b = 0) {
    throw CheckFailure(std::string(what) + " (" + std::to_string(a) + ", " + std::to_string(b) +
                       ")");
}

inline uint32_t Load16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

// ---- reference rules ---------------------------------------------------------------------

inline ColorPalette RefPalette(const uint8_t* block) {
    const uint32_t c0 = Load16(block), c1 = Load16(block + 2);
    uint32_t p[2][3];
    for (int k = 0; k < 2; ++k) {
        const uint32_t c = k ? c1 : c0;
        p[k][0] = (c >> 11) << 3;
        p[k][1] = ((c >> 5) & 63) << 2;
        p[k][2] = (c & 31) << 3;
    }
    auto pack = [](uint32_t r, uint32_t g, uint32_t b) {
        return 0xFF000000u | r << 16 | g << 8 | b;
    };
    ColorPalette pal;
    pal.entry[0] = pack(p[0][0], p[0][1], p[0][2]);
    pal.entry[1] = pack(p[1][0], p[1][1], p[1][2]);
    if (c0 > c1) {
        pal.entry[2] = pack((2 * p[0][0] + p[1][0]) / 3, (2 * p[0][1] + p[1][1]) / 3,
                            (2 * p[0][2] + p[1][2]) / 3);
        pal.entry[3] = pack((p[0][0] + 2 * p[1][0]) / 3, (p[0][1] + 2 * p[1][1]) / 3,
                            (p[0][2] + 2 * p[1][2]) / 3);
    } else {
        pal.entry[2] =
            pack((p[0][0] + p[1][0]) / 2, (p[0][1] + p[1][1]) / 2, (p[0][2] + p[1][2]) / 2);
        pal.entry[3] = 0x0000FFFF;
    }
    return pal;
}

inline void RefAlphaPalette(uint32_t a0, uint32_t a1, uint32_t pal[8]) {
    pal[0] = a0;
    pal[1] = a1;
    if (a0 > a1) {
        for (uint32_t k = 2; k < 8; ++k) pal[k] = ((8 - k) * a0 + (k - 1) * a1) / 7;
    } else {
        for (uint32_t k = 2; k < 6; ++k) pal[k] = ((6 - k) * a0 + (k - 1) * a1) / 5;
        pal[6] = 0;
        pal[7] = 255;
    }
}

inline uint32_t AlphaIndex(const uint8_t* alphaBlock, uint32_t n) {
    uint64_t bits = 0;
    for (int k = 7; k >= 2; --k) bits = bits << 8 | alphaBlock[k];
    return uint32_t(bits >> (3 * n)) & 7;
}

inline uint32_t RefNormal(uint32_t pixel) {
    float c;
    const uint32_t cBits = 0x3C008081;
    std::memcpy(&c, &cBits, sizeof c);
    const double x = double(pixel >> 24) * double(c) - 1;
    const double y = double((pixel >> 8) & 255) * double(c) - 1;
    const double s = 1 - x * x - y * y;
    const uint32_t blue = s >= 0 ? uint32_t((std::sqrt(s) + 1) * 127.5) : 0;
    return 0xFF000000u | uint32_t((x + 1) * 127.5) << 16 | uint32_t((y + 1) * 127.5) << 8 | blue;
}

// The pixels one block touches with a row length of `rowLength`: rows below 4 pixels overlap.
inline size_t BlockSpan(uint32_t rowLength) {
    return size_t(3) * rowLength + 4;
}

// A destination of exactly `n` pixels on the heap, filled from the input.
inline std::unique_ptr<uint32_t[]> Dest(size_t n, ByteInput& in) {
    std::unique_ptr<uint32_t[]> d(new uint32_t[n]);
    for (size_t k = 0; k < n; ++k) d[k] = in.ConsumeIntegral<uint32_t>();
    return d;
}

inline void Same(const uint32_t* got, const uint32_t* want, size_t n, const char* what) {
    for (size_t k = 0; k < n; ++k)
        if (got[k] != want[k]) Fail(what, k, got[k]);
}

// ---- the block helpers ---------------------------------------------------------------------

// A run of 1 to 4 blocks taken from the input: its row length (a row holds all of its blocks,
// except that one block may hang over a short row), exactly as many source bytes as the run may
// read, the span of pixels it may write filled from the input, and `want`, a copy of that span
// to build the expected pixels in.
struct BlockRun {
    uint32_t count, rowLength;
    std::unique_ptr<uint8_t[]> src;
    size_t span;
    std::unique_ptr<uint32_t[]> dest;
    std::vector<uint32_t> want;

    BlockRun(ByteInput& in, uint32_t blockBytes) {
        count = in.ConsumeIntegralInRange<uint32_t>(1, 4);
        rowLength = count == 1 ? in.ConsumeIntegralInRange<uint32_t>(1, 9)
                               : in.ConsumeIntegralInRange<uint32_t>(4 * count, 4 * count + 5);
        std::vector<uint8_t> blocks = in.ConsumeBytes<uint8_t>(size_t(count) * blockBytes);
        blocks.resize(size_t(count) * blockBytes);
        src.reset(new uint8_t[blocks.size()]);
        std::memcpy(src.get(), blocks.data(), blocks.size());
        span = size_t(3) * rowLength + 4 * size_t(count);
        dest = Dest(span, in);
        want.assign(dest.get(), dest.get() + span);
    }
};

inline void CheckBlockHelpers(ByteInput& in) {
    std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(16);
    bytes.resize(16);
    uint8_t block[16];
    std::memcpy(block, bytes.data(), sizeof block);
    const uint8_t* alphaBlock = block;
    const uint8_t* colorBlock = block + 8;
    const uint32_t rowLength = in.ConsumeIntegralInRange<uint32_t>(1, 9);
    const size_t span = BlockSpan(rowLength);

    const ColorPalette pal = DecodeColorBlock(colorBlock);
    const ColorPalette ref = RefPalette(colorBlock);
    Same(pal.entry, ref.entry, 4, "colour palette");

    // Rows in order 0 to 3, each written whole: later rows overwrite what earlier ones put
    // beyond a short row.
    auto dest = Dest(span, in);
    std::vector<uint32_t> want(dest.get(), dest.get() + span);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            want[y * rowLength + x] = pal.entry[(colorBlock[4 + y] >> (2 * x)) & 3];
    ExpandColorIndices(dest.get(), colorBlock, rowLength, pal);
    Same(dest.get(), want.data(), span, "expanded indices");

    std::vector<uint32_t> before(dest.get(), dest.get() + span);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) {
            uint32_t& p = want[y * rowLength + x];
            p = (p & 0xFFFFFF) | ((Load16(alphaBlock + 2 * y) >> (4 * x)) & 15) * 17 << 24;
        }
    ApplyExplicitAlpha(dest.get(), alphaBlock, rowLength);
    Same(dest.get(), want.data(), span, "explicit alpha");
    for (size_t k = 0; k < span; ++k)
        if ((dest[k] & 0xFFFFFF) != (before[k] & 0xFFFFFF)) Fail("explicit alpha colour", k);

    uint32_t alphas[8];
    RefAlphaPalette(alphaBlock[0], alphaBlock[1], alphas);
    uint8_t alphaPal[8];
    InterpolatedAlphaPalette(alphaBlock[0], alphaBlock[1], alphaPal);
    for (int k = 0; k < 8; ++k)
        if (alphaPal[k] != alphas[k]) Fail("alpha palette", k, alphaPal[k]);
    before.assign(dest.get(), dest.get() + span);
    for (uint32_t n = 0; n < 16; ++n) {
        uint32_t& p = want[(n / 4) * rowLength + n % 4];
        p = (p & 0xFFFFFF) | alphas[AlphaIndex(alphaBlock, n)] << 24;
    }
    ApplyInterpolatedAlpha(dest.get(), alphaBlock, rowLength);
    Same(dest.get(), want.data(), span, "interpolated alpha");
    for (size_t k = 0; k < span; ++k)
        if ((dest[k] & 0xFFFFFF) != (before[k] & 0xFFFFFF)) Fail("interpolated alpha colour", k);

    // Every pixel the block wrote is rebuilt exactly once, from its own alpha and green.
    std::vector<bool> written(span, false);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) written[y * rowLength + x] = true;
    for (size_t k = 0; k < span; ++k) {
        if (!written[k]) continue;
        want[k] = RefNormal(want[k]);
        const uint32_t single = ReconstructNormal(dest[k]);
        if (single != want[k]) Fail("normal", dest[k], single);
    }
    ReconstructNormalBlock(dest.get(), rowLength);
    Same(dest.get(), want.data(), span, "normal block");
}

// A run of blocks decodes as the helpers do one block at a time.
inline void CheckBlockRuns(ByteInput& in) {
    const int kind = in.ConsumeIntegralInRange(0, 3); // DXT1, DXT3, DXT5, DXT5 as normal map
    const uint32_t blockBytes = kind == 0 ? 8 : 16;
    BlockRun run(in, blockBytes);
    const uint32_t count = run.count, rowLength = run.rowLength;
    const size_t span = run.span;
    const auto& src = run.src;
    const auto& dest = run.dest;
    std::vector<uint32_t>& want = run.want;
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t* b = src.get() + size_t(k) * blockBytes;
        uint32_t* d = want.data() + 4 * size_t(k);
        const uint8_t* color = kind == 0 ? b : b + 8;
        ExpandColorIndices(d, color, rowLength, DecodeColorBlock(color, kind != 0));
        if (kind == 1) ApplyExplicitAlpha(d, b, rowLength);
        if (kind >= 2) ApplyInterpolatedAlpha(d, b, rowLength);
        if (kind == 3) ReconstructNormalBlock(d, rowLength);
    }
    switch (kind) {
    case 0: DecodeDXT1Blocks(dest.get(), src.get(), count, rowLength); break;
    case 1: DecodeDXT3Blocks(dest.get(), src.get(), count, rowLength); break;
    default: DecodeDXT5Blocks(dest.get(), src.get(), count, rowLength, kind == 3); break;
    }
    Same(dest.get(), want.data(), span, "block run");

    ClearBlock(dest.get(), rowLength);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            if (dest[y * rowLength + x] != 0) Fail("cleared block", x, y);
}

// BC4 to BC7 runs: each block as its single-block decoder writes it, rows in order, nothing
// outside the span touched; a lone 4 x 4 block also keeps each format's fixed channels.
inline void CheckBcnRuns(ByteInput& in) {
    const int kind = in.ConsumeIntegralInRange(0, 6); // BC4, BC5 (unsigned, signed), BC6H, BC7
    const bool isSigned = kind < 6 && kind % 2 == 1;
    const uint32_t blockBytes = kind < 2 ? 8 : 16;
    BlockRun run(in, blockBytes);
    const uint32_t count = run.count, rowLength = run.rowLength;
    const size_t span = run.span;
    const auto& src = run.src;
    const auto& dest = run.dest;
    std::vector<uint32_t>& want = run.want;
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t* b = src.get() + size_t(k) * blockBytes;
        uint32_t* d = want.data() + 4 * size_t(k);
        if (kind < 2)
            DecodeBC4Block(d, b, rowLength, isSigned);
        else if (kind < 4)
            DecodeBC5Block(d, b, rowLength, isSigned);
        else if (kind < 6)
            DecodeBC6HPixels(d, b, rowLength, isSigned);
        else
            DecodeBC7Block(d, b, rowLength);

        uint32_t px[16];
        if (kind < 2)
            DecodeBC4Block(px, b, 4, isSigned);
        else if (kind < 4)
            DecodeBC5Block(px, b, 4, isSigned);
        else if (kind < 6)
            DecodeBC6HPixels(px, b, 4, isSigned);
        else
            continue;
        uint16_t halves[16][3];
        if (kind >= 4) DecodeBC6HBlock(halves, b, isSigned);
        for (int i = 0; i < 16; ++i) {
            const uint32_t p = px[i];
            if (p >> 24 != 255) Fail("bc alpha", uint32_t(kind), p);
            if (kind < 2 && p != (0xFF000000u | (p & 255) * 0x010101u)) Fail("bc4 grey", p);
            if (kind >= 2 && kind < 4 && (p & 255) != 0) Fail("bc5 blue", p);
            if (kind >= 4 && (p & 0xFFFFFF) != (uint32_t(HalfToByte(halves[i][0])) << 16 |
                                                uint32_t(HalfToByte(halves[i][1])) << 8 |
                                                HalfToByte(halves[i][2])))
                Fail("bc6h halves", p);
        }
    }
    switch (kind / 2) {
    case 0: DecodeBC4Blocks(dest.get(), src.get(), count, rowLength, isSigned); break;
    case 1: DecodeBC5Blocks(dest.get(), src.get(), count, rowLength, isSigned); break;
    case 2: DecodeBC6HBlocks(dest.get(), src.get(), count, rowLength, isSigned); break;
    default: DecodeBC7Blocks(dest.get(), src.get(), count, rowLength); break;
    }
    Same(dest.get(), want.data(), span, "bc block run");
}

// ---- the classifier and the surface layout ------------------------------------------------

// A name must end within its buffer and show only printable characters.
inline void CheckName(const char* name, const char* what) {
    const void* end = std::memchr(name, 0, kFormatNameSize);
    if (!end) Fail(what);
    for (const char* p = name; p != end; ++p)
        if (*p < 0x20 || *p > 0x7E) {
            std::string shown;
            for (const char* q = name; q != end; ++q) {
                char code[8];
                std::snprintf(code, sizeof code, "\\x%02x", unsigned(uint8_t(*q)));
                shown += (*q < 0x20 || *q > 0x7E) ? std::string(code) : std::string(1, *q);
            }
            throw CheckFailure(std::string(what) + " shows character " +
                               std::to_string(uint8_t(*p)) + " at " + std::to_string(p - name) +
                               ": \"" + shown + "\"");
        }
}

struct NameBuffer {
    char text[kFormatNameSize + 16];
    NameBuffer() { std::memset(text, 0x7F, sizeof text); }
    void CheckGuard(const char* what) const {
        for (size_t k = kFormatNameSize; k < sizeof text; ++k)
            if (text[k] != 0x7F) Fail(what, k);
    }
};

struct FourCCFacts {
    uint32_t fourCC;
    int32_t code;
    uint32_t bits;
};
constexpr FourCCFacts kFourCCs[] = {
    {dds::FOURCC_R16F, TF_FLOAT16, 16},
    {dds::FOURCC_G16R16F, TF_FLOAT16, 32},
    {dds::FOURCC_A16B16G16R16F, TF_FLOAT16, 64},
    {dds::FOURCC_R32F, TF_FLOAT32, 32},
    {dds::FOURCC_G32R32F, TF_FLOAT32, 64},
    {dds::FOURCC_A32B32G32R32F, TF_FLOAT32, 128},
    {dds::FOURCC_DXT1, TF_DXT1, 0},
    {dds::FOURCC_DXT2, TF_DXT2, 0},
    {dds::FOURCC_DXT3, TF_DXT3, 0},
    {dds::FOURCC_DXT4, TF_DXT4, 0},
    {dds::FOURCC_DXT5, TF_DXT5, 0},
    {dds::FOURCC_RXGB, TF_RXGB, 0},
    {dds::FOURCC_ATI1, TF_BC4, 0},
    {dds::FOURCC_BC4U, TF_BC4, 0},
    {dds::FOURCC_BC4S, TF_BC4_SNORM, 0},
    {dds::FOURCC_ATI2, TF_BC5, 0},
    {dds::FOURCC_BC5U, TF_BC5, 0},
    {dds::FOURCC_BC5S, TF_BC5_SNORM, 0},
};

// Exact sizes and offsets in 64 bits, saturating at 2^63: still far beyond any file, and
// portable to compilers without a 128-bit integer (i686).
typedef uint64_t Wide;
constexpr Wide kCap = Wide(1) << 63;
inline Wide CapAdd(Wide a, Wide b) {
    return a >= kCap || b >= kCap - a ? kCap : a + b;
}
inline Wide CapMul(Wide a, Wide b) {
    if (a == 0 || b == 0) return 0;
    return a >= kCap / b ? kCap : a * b;
}

inline Wide RefSurfaceSize(uint32_t w, uint32_t h, int32_t format, uint32_t bits) {
    switch (format) {
    case TF_RGB:
    case TF_BUMP_UVW:
    case TF_FLOAT16:
    case TF_FLOAT32:
    case TF_DXGI_PIXELS: {
        // floor(p * bits / 8) with p = 8q + r, without forming p * bits.
        const Wide p = Wide(w) * h;
        return CapAdd(CapMul(p / 8, bits), (p % 8) * bits / 8);
    }
    case TF_DXT1:
    case TF_DXT2:
    case TF_DXT3:
    case TF_DXT4:
    case TF_DXT5:
    case TF_DXT5_NM:
    case TF_BC4:
    case TF_BC4_SNORM:
    case TF_BC5:
    case TF_BC5_SNORM:
    case TF_BC6H:
    case TF_BC6H_SF16:
    case TF_BC7:
    case TF_RXGB: {
        // Partial blocks count, and there is at least one.
        const bool half = format == TF_DXT1 || format == TF_BC4 || format == TF_BC4_SNORM;
        return CapMul(std::max<Wide>((Wide(w) + 3) / 4, 1) * std::max<Wide>((Wide(h) + 3) / 4, 1),
                      half ? 8 : 16);
    }
    default: return 0;
    }
}

// A computed size must equal the exact one, except that one too large for 64 bits may be
// capped, though never below where any file could reach.
inline void CheckSize(uint64_t got, Wide exact, const char* what) {
    const uint64_t kFar = UINT64_MAX / 8;
    if (exact < kFar ? got != uint64_t(exact) : got < kFar) Fail(what, got, uint64_t(exact));
}

// A level's side: the top level's as it is, each further level half the one before, at least 1.
inline uint32_t Side(uint32_t top, int64_t level) {
    return level == 0 ? top : std::max<uint32_t>(1, level >= 32 ? 0 : top >> level);
}

// A selection against its neighbour, not against a second level loop: a level starts where the
// one before ends (all of its slices), a slice one slice after the one before, a face one whole
// chain after it (the chain ends where its last level does). The head comes back with the
// selected level's sides; negative selections count as the first, and a level, face or slice
// beyond the last there is shows the last.
inline void CheckLocate(const dds::DdsHead& head, int32_t format, bool cube, bool volume,
                        int32_t level, int32_t layer) {
    auto locate = [&](int64_t lv, int64_t ly, dds::DdsHead& h) {
        h = head;
        return LocateSurface(h, format, cube, volume, int32_t(lv), int32_t(ly));
    };
    dds::DdsHead got;
    const SurfaceLocation at = locate(level, layer, got);

    const uint32_t bits = head.ddspf.dwRGBBitCount;
    auto size = [&](int64_t lv) {
        return RefSurfaceSize(Side(head.dwWidth, lv), Side(head.dwHeight, lv), format, bits);
    };
    auto offset = [&](int64_t lv, int64_t ly) {
        dds::DdsHead h;
        return locate(lv, ly, h).offset;
    };
    const int64_t lastLevel = std::max<int64_t>(0, int64_t(head.dwMipMapCount) - 1);
    const int64_t lv = std::min<int64_t>(std::max(level, 0), lastLevel);
    int64_t ly = std::max(layer, 0);
    auto lastOf = [](int64_t count) { return count > 1 ? count - 1 : 0; };
    if (volume)
        ly = std::min(ly, lastOf(Side(head.dwDepth, lv)));
    else if (cube)
        ly = std::min(ly, lastOf(CountBits(head.dwCaps2 & dds::DDSCAPS2_CUBEMAP_ALLFACES)));
    else
        ly = 0;
    if (std::max(level, 0) + int64_t(std::max(layer, 0)) == 0) ly = 0;

    dds::DdsHead want = head;
    Wide expected = 0;
    if (ly > 0) {
        // Levels past the largest selectable one are all 1 x 1.
        const int64_t last = std::min<int64_t>(lastLevel, INT32_MAX);
        const Wide chain = CapAdd(offset(last, 0), CapMul(Wide(lastLevel - last + 1), size(last)));
        const Wide step = volume ? size(lv) : chain;
        expected = CapAdd(offset(lv, ly - 1), step);
    } else if (lv > 0) {
        const Wide slices = volume ? Side(head.dwDepth, lv - 1) : 1;
        expected = CapAdd(offset(lv - 1, 0), CapMul(size(lv - 1), slices));
    }
    if (lv > 0) {
        want.dwWidth = Side(head.dwWidth, lv);
        want.dwHeight = Side(head.dwHeight, lv);
        if (volume) want.dwDepth = Side(head.dwDepth, lv);
    }
    if (at.level != lv || at.layer != ly) Fail("located selection", at.level, at.layer);
    if (std::memcmp(&got, &want, sizeof got) != 0) Fail("located level's head");
    CheckSize(at.offset, expected, "surface offset");
}

inline void CheckClassifier(ByteInput& in) {
    dds::DdsHead head;
    std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(sizeof head);
    bytes.resize(sizeof head);
    std::memcpy(&head, bytes.data(), sizeof head);
    const bool nm = in.ConsumeBool();

    NameBuffer mask, bump, classified;
    FormatMaskName(mask.text, head.ddspf);
    CheckName(mask.text, "mask name");
    mask.CheckGuard("mask name guard");
    FormatBumpName(bump.text, head.ddspf);
    CheckName(bump.text, "bump name");
    bump.CheckGuard("bump name guard");

    const dds::DdsHead original = head;
    const int32_t code = ClassifyHead(classified.text, head, nm);
    CheckName(classified.text, "format name");
    classified.CheckGuard("format name guard");
    if (code < TF_RGB || code > TF_RXGB) Fail("format code", uint32_t(code));

    // What the classification must have done to the head, and nothing else.
    dds::DdsHead want = original;
    const uint32_t fourCC = original.ddspf.dwFourCC;
    int32_t wantCode = TF_UNKNOWN;
    // dwFourCC names the format with its flag, or when no flag names the masks.
    const uint32_t pfFlags = original.ddspf.dwFlags;
    const bool byFourCC =
        fourCC != 0 &&
        ((pfFlags & dds::DDPF_FOURCC) ||
         !(pfFlags & (dds::DDPF_RGB | dds::DDPF_ALPHA | dds::DDPF_LUMINANCE | dds::DDPF_BUMPDUDV)));
    if (!byFourCC) {
        wantCode = (original.ddspf.dwFlags & dds::DDPF_BUMPDUDV) ? TF_BUMP_UVW : TF_RGB;
        if (std::strcmp(classified.text, wantCode == TF_RGB ? mask.text : bump.text) != 0)
            Fail("mask or bump name differs");
    }
    for (const FourCCFacts& f : kFourCCs) {
        if (!byFourCC || f.fourCC != fourCC) continue;
        wantCode = f.code == TF_DXT5 && nm ? TF_DXT5_NM : f.code;
        want.ddspf.dwRGBBitCount = f.bits;
        if (f.bits == 0) want.dwFlags |= dds::DDSD_LINEARSIZE;
        if (f.fourCC == dds::FOURCC_A16B16G16R16F || f.fourCC == dds::FOURCC_A32B32G32R32F)
            want.ddspf.dwFlags |= dds::DDPF_ALPHAPIXELS;
    }
    if (code != wantCode) Fail("classified code", uint32_t(code), uint32_t(wantCode));
    if (code == TF_UNKNOWN && std::strcmp(classified.text, "Format Unknown") != 0)
        Fail("unknown format's name");
    if (std::memcmp(&head, &want, sizeof head) != 0) Fail("classified head");

    const uint32_t w = in.ConsumeIntegral<uint32_t>(), h = in.ConsumeIntegral<uint32_t>();
    const uint32_t bits = in.ConsumeIntegral<uint32_t>();
    const int32_t anyFormat = in.ConsumeIntegralInRange<int32_t>(-2, TF_DXGI_PIXELS + 2);
    CheckSize(SurfaceSize(w, h, anyFormat, bits), RefSurfaceSize(w, h, anyFormat, bits),
              "surface size");

    // The layout of the classified head as the loader sees it, then of any format and flags.
    const bool cube = (head.dwCaps2 & dds::DDSCAPS2_CUBEMAP) != 0;
    const bool volume = (head.dwCaps2 & dds::DDSCAPS2_VOLUME) != 0;
    const int32_t level = in.ConsumeIntegral<int32_t>(), layer = in.ConsumeIntegral<int32_t>();
    CheckLocate(head, code, cube, volume, level, layer);
    CheckLocate(head, anyFormat, in.ConsumeBool(), in.ConsumeBool(), level, layer);
}

// Runs the checks one input selects: its first byte picks the group, so that each input's
// bytes mean one thing.
inline void CheckInput(const uint8_t* data, size_t size) {
    if (size == 0) return;
    ByteInput in(data + 1, size - 1);
    // Saved inputs keep their meaning: first bytes 3 modulo 4 were added for the BC runs.
    switch (data[0] % 4 == 3 ? 3 : data[0] % 3) {
    case 0: CheckBlockHelpers(in); break;
    case 1: CheckBlockRuns(in); break;
    case 2: CheckClassifier(in); break;
    default: CheckBcnRuns(in); break;
    }
}

} // namespace blockchecks
