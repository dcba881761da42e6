#include "decode/BlockDecode.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kOpaque = 0xFF000000;
constexpr uint32_t kColorBits = 0x00FFFFFF;
// Entry 3 of a three-colour block: cyan with alpha 0, not transparent black.
constexpr uint32_t kTransparentCyan = 0x0000FFFF;

// Weights of (alpha 0, alpha 1) for palette entries 2 to 7 of an eight-value block (divided by
// 7) and entries 2 to 5 of a six-value block (divided by 5); a six-value block ends in 0, 255.
constexpr uint8_t kEightValueWeights[6][2] = {{6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}, {1, 6}};
constexpr uint8_t kSixValueWeights[4][2] = {{4, 1}, {3, 2}, {2, 3}, {1, 4}};

// The float nearest 2/255, a little above it: alpha 255 maps past 1 and so always to blue 0.
constexpr uint32_t kTwoOver255Bits = 0x3C008081;

inline uint32_t Load16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

struct Rgb {
    uint32_t r, g, b;
};

// Shift only: the top bits are not repeated into the low bits, so white is 248, 252, 248.
inline Rgb Expand565(uint32_t c) {
    return {(c >> 11) << 3, ((c >> 5) & 63) << 2, (c & 31) << 3};
}

inline uint32_t PackOpaque(uint32_t r, uint32_t g, uint32_t b) {
    return kOpaque | r << 16 | g << 8 | b;
}

inline ColorPalette ColorPaletteOf(const uint8_t* colorBlock) {
    const uint32_t c0 = Load16(colorBlock), c1 = Load16(colorBlock + 2);
    const Rgb p0 = Expand565(c0), p1 = Expand565(c1);
    ColorPalette palette;
    palette.entry[0] = PackOpaque(p0.r, p0.g, p0.b);
    palette.entry[1] = PackOpaque(p1.r, p1.g, p1.b);
    if (c0 > c1) {
        palette.entry[2] = PackOpaque(DivideBy3(2 * p0.r + p1.r), DivideBy3(2 * p0.g + p1.g),
                                      DivideBy3(2 * p0.b + p1.b));
        palette.entry[3] = PackOpaque(DivideBy3(p0.r + 2 * p1.r), DivideBy3(p0.g + 2 * p1.g),
                                      DivideBy3(p0.b + 2 * p1.b));
    } else {
        palette.entry[2] = PackOpaque((p0.r + p1.r) >> 1, (p0.g + p1.g) >> 1, (p0.b + p1.b) >> 1);
        palette.entry[3] = kTransparentCyan;
    }
    return palette;
}

inline void AlphaPaletteOf(uint32_t a0, uint32_t a1, uint32_t palette[8]) {
    palette[0] = a0;
    palette[1] = a1;
    if (a0 > a1) {
        for (int k = 0; k < 6; ++k)
            palette[k + 2] =
                DivideBy7(kEightValueWeights[k][0] * a0 + kEightValueWeights[k][1] * a1);
    } else {
        for (int k = 0; k < 4; ++k)
            palette[k + 2] = DivideBy5(kSixValueWeights[k][0] * a0 + kSixValueWeights[k][1] * a1);
        palette[6] = 0;
        palette[7] = 255;
    }
}

inline void ExpandInline(uint32_t* dest, const uint8_t* colorBlock, uint32_t rowLength,
                         const ColorPalette& palette) {
    // A local copy: nothing says the destination lies apart from the palette.
    uint32_t entry[4];
    std::memcpy(entry, palette.entry, sizeof entry);
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength) {
        const uint32_t indices = colorBlock[4 + y];
        dest[0] = entry[indices & 3];
        dest[1] = entry[(indices >> 2) & 3];
        dest[2] = entry[(indices >> 4) & 3];
        dest[3] = entry[(indices >> 6) & 3];
    }
}

// Colour and alpha of each pixel written in one store, in the same row order as the separate
// helpers, so that overlapping rows end up exactly as expand-then-replace would leave them.
// `alphaBytes` holds the alpha palette already shifted into the alpha byte.
template <uint32_t kIndexBits>
inline void WriteColorAndAlpha(uint32_t* dest, const uint8_t* colorBlock, uint32_t rowLength,
                               const ColorPalette& colors, const uint32_t* alphaBytes,
                               uint64_t alphaIndices) {
    constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
    uint32_t rgb[4];
    for (int n = 0; n < 4; ++n) rgb[n] = colors.entry[n] & kColorBits;
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength) {
        const uint32_t indices = colorBlock[4 + y];
        for (uint32_t x = 0; x < 4; ++x) {
            const uint32_t alpha = alphaBytes[alphaIndices & kIndexMask];
            alphaIndices >>= kIndexBits;
            dest[x] = rgb[(indices >> (2 * x)) & 3] | alpha;
        }
    }
}

// The 16 alpha values of an explicit block are its nibbles times 17, shifted into place.
struct NibbleAlpha {
    uint32_t entry[16];
    constexpr NibbleAlpha() : entry() {
        for (uint32_t n = 0; n < 16; ++n) entry[n] = (n * 17) << 24;
    }
};
constexpr NibbleAlpha kNibbleAlpha;

inline void DecodeDXT3Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength) {
    WriteColorAndAlpha<4>(dest, block + 8, rowLength, ColorPaletteOf(block + 8), kNibbleAlpha.entry,
                          Load64(block));
}

inline void DecodeDXT5Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength) {
    uint32_t alpha[8];
    AlphaPaletteOf(block[0], block[1], alpha);
    for (uint32_t& a : alpha) a <<= 24;
    WriteColorAndAlpha<3>(dest, block + 8, rowLength, ColorPaletteOf(block + 8), alpha,
                          Load64(block) >> 16);
}

} // namespace

ColorPalette DecodeColorBlock(const uint8_t* colorBlock) {
    return ColorPaletteOf(colorBlock);
}

void ExpandColorIndices(uint32_t* dest, const uint8_t* colorBlock, uint32_t rowLength,
                        const ColorPalette& palette) {
    ExpandInline(dest, colorBlock, rowLength, palette);
}

void ApplyExplicitAlpha(uint32_t* dest, const uint8_t* alphaBlock, uint32_t rowLength) {
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength) {
        const uint32_t nibbles = Load16(alphaBlock + 2 * y);
        for (uint32_t x = 0; x < 4; ++x)
            dest[x] = (dest[x] & kColorBits) | kNibbleAlpha.entry[(nibbles >> (4 * x)) & 15];
    }
}

void ApplyInterpolatedAlpha(uint32_t* dest, const uint8_t* alphaBlock, uint32_t rowLength) {
    uint32_t palette[8];
    AlphaPaletteOf(alphaBlock[0], alphaBlock[1], palette);
    uint64_t indices = Load64(alphaBlock) >> 16;
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength) {
        for (uint32_t x = 0; x < 4; ++x, indices >>= 3)
            dest[x] = (dest[x] & kColorBits) | palette[indices & 7] << 24;
    }
}

void InterpolatedAlphaPalette(uint8_t a0, uint8_t a1, uint8_t palette[8]) {
    uint32_t wide[8];
    AlphaPaletteOf(a0, a1, wide);
    for (int k = 0; k < 8; ++k) palette[k] = uint8_t(wide[k]);
}

uint32_t ReconstructNormal(uint32_t pixel) {
    float c;
    std::memcpy(&c, &kTwoOver255Bits, sizeof c);
    const double scale = c;
    const double x = double(pixel >> 24) * scale - 1.0;
    const double y = double((pixel >> 8) & 255) * scale - 1.0;
    const uint32_t red = uint32_t((x + 1.0) * 127.5);
    const uint32_t green = uint32_t((y + 1.0) * 127.5);
    const double s = 1.0 - x * x - y * y;
    const uint32_t blue = s >= 0.0 ? uint32_t((std::sqrt(s) + 1.0) * 127.5) : 0;
    return kOpaque | red << 16 | green << 8 | blue;
}

void ReconstructNormalBlock(uint32_t* dest, uint32_t rowLength) {
    if (rowLength >= 4) {
        for (uint32_t y = 0; y < 4; ++y, dest += rowLength)
            for (uint32_t x = 0; x < 4; ++x) dest[x] = ReconstructNormal(dest[x]);
        return;
    }
    // Rows of fewer than 4 pixels overlap: together they cover one run of 3 x rowLength + 4
    // pixels, and each must be rebuilt once.
    for (uint32_t n = 0; n < 3 * rowLength + 4; ++n) dest[n] = ReconstructNormal(dest[n]);
}

void ClearBlock(uint32_t* dest, uint32_t rowLength) {
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength)
        for (uint32_t x = 0; x < 4; ++x) dest[x] = 0;
}

void DecodeDXT1Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 8)
        ExpandInline(dest, blocks, rowLength, ColorPaletteOf(blocks));
}

void DecodeDXT3Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 16)
        DecodeDXT3Block(dest, blocks, rowLength);
}

void DecodeDXT5Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool normalMap) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 16) {
        DecodeDXT5Block(dest, blocks, rowLength);
        if (normalMap) ReconstructNormalBlock(dest, rowLength);
    }
}
