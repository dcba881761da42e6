#include "decode/BlockDecode.h"

#include <cmath>
#include <cstring>

#include "decode/PixelConvert.h"

// x86-64 always has SSE2, and the i686 build turns it on for this file.
#if defined(__SSE2__)
#define BLOCK_DECODE_SSE2 1
#include <emmintrin.h>
#endif

namespace {

constexpr uint32_t kOpaque = 0xFF000000;
constexpr uint32_t kColorBits = 0x00FFFFFF;
// Entry 3 of a three-colour block: cyan with alpha 0, not transparent black.
constexpr uint32_t kTransparentCyan = 0x0000FFFF;

// The float nearest 2/255, a little above it: alpha 255 maps past 1 and so always to blue 0.
constexpr uint32_t kTwoOver255Bits = 0x3C008081;

// Weights of (alpha 0, alpha 1) for the eight entries of an interpolated alpha palette: over 7
// in eight-value mode; over 5 in six-value mode, whose entries 6 and 7 are 0 and 255.
constexpr uint16_t kEightValueWeights[2][8] = {{7, 0, 6, 5, 4, 3, 2, 1}, {0, 7, 1, 2, 3, 4, 5, 6}};
constexpr uint16_t kSixValueWeights[2][8] = {{5, 0, 4, 3, 2, 1, 0, 0}, {0, 5, 1, 2, 3, 4, 0, 0}};
constexpr uint16_t kSixValueEnds[8] = {0, 0, 0, 0, 0, 0, 0, 255};

// The alpha values of an explicit block: each nibble times 17, already in the alpha byte.
struct NibbleAlpha {
    uint32_t entry[16];
    constexpr NibbleAlpha() : entry() {
        for (uint32_t n = 0; n < 16; ++n) entry[n] = (n * 17) << 24;
    }
};
constexpr NibbleAlpha kNibbleAlpha;

// The per-block steps are inlined into the block runs at -O2 as well as -O3: a call per block,
// or a palette passed through memory, costs more than the block itself.
#if defined(__GNUC__)
#define BLOCK_INLINE inline __attribute__((always_inline))
#else
#define BLOCK_INLINE inline
#endif

BLOCK_INLINE uint32_t Load16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

// Little-endian targets only, as everywhere in this program.
BLOCK_INLINE uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// ---- palettes, as the rules state them --------------------------------------------------------

struct Rgb {
    uint32_t r, g, b;
};

// Shift only: the top bits are not repeated into the low bits, so white is 248, 252, 248.
// Exact: as Direct3D reads UNORM fields, round(v x 255 / 31) and round(v x 255 / 63).
Rgb Expand565(uint32_t c, bool exact) {
    if (exact) return {ExactUnorm(c >> 11, 5), ExactUnorm((c >> 5) & 63, 6), ExactUnorm(c & 31, 5)};
    return {(c >> 11) << 3, ((c >> 5) & 63) << 2, (c & 31) << 3};
}

uint32_t PackOpaque(uint32_t r, uint32_t g, uint32_t b) {
    return kOpaque | r << 16 | g << 8 | b;
}

ColorPalette PortableColorPalette(const uint8_t* colorBlock, bool fourColorOnly, bool exact) {
    const uint32_t c0 = Load16(colorBlock), c1 = Load16(colorBlock + 2);
    const Rgb p0 = Expand565(c0, exact), p1 = Expand565(c1, exact);
    ColorPalette palette;
    palette.entry[0] = PackOpaque(p0.r, p0.g, p0.b);
    palette.entry[1] = PackOpaque(p1.r, p1.g, p1.b);
    if (c0 > c1 || fourColorOnly) {
        palette.entry[2] = PackOpaque(DivideBy3(2 * p0.r + p1.r), DivideBy3(2 * p0.g + p1.g),
                                      DivideBy3(2 * p0.b + p1.b));
        palette.entry[3] = PackOpaque(DivideBy3(p0.r + 2 * p1.r), DivideBy3(p0.g + 2 * p1.g),
                                      DivideBy3(p0.b + 2 * p1.b));
    } else {
        palette.entry[2] = PackOpaque((p0.r + p1.r) >> 1, (p0.g + p1.g) >> 1, (p0.b + p1.b) >> 1);
        palette.entry[3] = exact ? 0 : kTransparentCyan;
    }
    return palette;
}

// Entries shifted left by `shift` (24 puts them in the alpha byte).
void PortableAlphaPalette(uint32_t a0, uint32_t a1, uint32_t palette[8], uint32_t shift) {
    for (int k = 0; k < 8; ++k) {
        palette[k] = a0 > a1
                         ? DivideBy7(kEightValueWeights[0][k] * a0 + kEightValueWeights[1][k] * a1)
                         : DivideBy5(kSixValueWeights[0][k] * a0 + kSixValueWeights[1][k] * a1) |
                               kSixValueEnds[k];
        palette[k] <<= shift;
    }
}

// ---- the same palettes, eight 16-bit lanes at a time
// ---------------------------------------------

#ifdef BLOCK_DECODE_SSE2
// Both modes of a block are worked out and one is picked by mask: which mode a block uses is
// data, not a pattern a branch predictor could learn. The divisions are the multiply-highs of
// DivideBy3/5/7.
BLOCK_INLINE __m128i Pick(__m128i mask, __m128i ifSet, __m128i ifClear) {
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

BLOCK_INLINE __m128i Lanes(const uint16_t (&v)[8]) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
}

BLOCK_INLINE ColorPalette FastColorPalette(const uint8_t* colorBlock, bool fourColorOnly) {
    const uint32_t c0 = Load16(colorBlock), c1 = Load16(colorBlock + 2);
    // Lanes blue, green, red, alpha of colour 0, then of colour 1: blue = c << 3, green = c >> 3,
    // red = c >> 8 (as multiply-low and multiply-high by powers of two), then masked.
    const __m128i c =
        _mm_setr_epi16(short(c0), short(c0), short(c0), 0, short(c1), short(c1), short(c1), 0);
    const __m128i p = _mm_and_si128(
        _mm_or_si128(_mm_mullo_epi16(c, _mm_setr_epi16(8, 0, 0, 0, 8, 0, 0, 0)),
                     _mm_mulhi_epu16(c, _mm_setr_epi16(0, 8192, 256, 0, 0, 8192, 256, 0))),
        _mm_setr_epi16(0xF8, 0xFC, 0xF8, 0, 0xF8, 0xFC, 0xF8, 0));
    const __m128i swapped = _mm_shuffle_epi32(p, _MM_SHUFFLE(1, 0, 3, 2));
    const __m128i opaque = _mm_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255);
    // Four-colour: (2 p0 + p1) / 3 and (p0 + 2 p1) / 3. Three-colour: (p0 + p1) / 2 and cyan.
    const __m128i thirds =
        _mm_mulhi_epu16(_mm_add_epi16(_mm_add_epi16(p, p), swapped), _mm_set1_epi16(21846));
    const __m128i half = _mm_srli_epi16(_mm_add_epi16(p, swapped), 1);
    const __m128i halfAndCyan =
        _mm_unpacklo_epi64(_mm_or_si128(half, opaque), _mm_setr_epi16(255, 255, 0, 0, 0, 0, 0, 0));
    const __m128i fourColor = _mm_set1_epi16(short(0 - int(c0 > c1 || fourColorOnly)));
    const __m128i last = Pick(fourColor, _mm_or_si128(thirds, opaque), halfAndCyan);
    ColorPalette palette;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(palette.entry),
                     _mm_packus_epi16(_mm_or_si128(p, opaque), last));
    return palette;
}

BLOCK_INLINE void FastAlphaPalette(uint32_t a0, uint32_t a1, uint32_t palette[8]) {
    const __m128i v0 = _mm_set1_epi16(short(a0)), v1 = _mm_set1_epi16(short(a1));
    const __m128i eight =
        _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(v0, Lanes(kEightValueWeights[0])),
                                      _mm_mullo_epi16(v1, Lanes(kEightValueWeights[1]))),
                        _mm_set1_epi16(9363));
    const __m128i six =
        _mm_or_si128(_mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(v0, Lanes(kSixValueWeights[0])),
                                                   _mm_mullo_epi16(v1, Lanes(kSixValueWeights[1]))),
                                     _mm_set1_epi16(13108)),
                     Lanes(kSixValueEnds));
    const __m128i entries =
        _mm_slli_epi16(Pick(_mm_set1_epi16(short(0 - int(a0 > a1))), eight, six), 8);
    // Each 16-bit entry becomes the top byte of a 32-bit value.
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(palette), _mm_unpacklo_epi16(zero, entries));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(palette + 4), _mm_unpackhi_epi16(zero, entries));
}
#else
BLOCK_INLINE ColorPalette FastColorPalette(const uint8_t* colorBlock, bool fourColorOnly) {
    return PortableColorPalette(colorBlock, fourColorOnly, false);
}
BLOCK_INLINE void FastAlphaPalette(uint32_t a0, uint32_t a1, uint32_t palette[8]) {
    PortableAlphaPalette(a0, a1, palette, 24);
}
#endif

// ---- whole blocks
// --------------------------------------------------------------------------------

BLOCK_INLINE void Expand(uint32_t* dest, const uint8_t* colorBlock, uint32_t rowLength,
                         const ColorPalette& palette) {
    // A local copy: nothing says the destination lies apart from the palette.
    uint32_t entry[4];
    std::memcpy(entry, palette.entry, sizeof entry);
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength) {
        const uint32_t indices = colorBlock[4 + y];
        dest[0] = entry[indices & 3];
        dest[1] = entry[(indices >> 2) & 3];
        dest[2] = entry[(indices >> 4) & 3];
        dest[3] = entry[indices >> 6];
    }
}

// Colour and alpha of each pixel written in one store, in the same row order as the separate
// helpers, so that overlapping rows end up exactly as expand-then-replace would leave them.
// `alphaBytes` holds the alpha palette already shifted into the alpha byte.
template <uint32_t kIndexBits>
BLOCK_INLINE void ExpandWithAlpha(uint32_t* dest, const uint8_t* colorBlock, uint32_t rowLength,
                                  const ColorPalette& colors, const uint32_t* alphaBytes,
                                  uint64_t alphaIndices) {
    constexpr uint32_t kMask = (1u << kIndexBits) - 1;
    uint32_t rgb[4];
    for (int n = 0; n < 4; ++n) rgb[n] = colors.entry[n] & kColorBits;
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength) {
        const uint32_t c = colorBlock[4 + y];
        const uint32_t a = uint32_t(alphaIndices >> (4 * kIndexBits * y));
        dest[0] = rgb[c & 3] | alphaBytes[a & kMask];
        dest[1] = rgb[(c >> 2) & 3] | alphaBytes[(a >> kIndexBits) & kMask];
        dest[2] = rgb[(c >> 4) & 3] | alphaBytes[(a >> (2 * kIndexBits)) & kMask];
        dest[3] = rgb[c >> 6] | alphaBytes[(a >> (3 * kIndexBits)) & kMask];
    }
}

// The colour block of a DXT3 or DXT5 block: always four colours, as every GPU reads them.
BLOCK_INLINE ColorPalette FourColorPalette(const uint8_t* colorBlock, bool exact) {
    return exact ? PortableColorPalette(colorBlock, true, true)
                 : FastColorPalette(colorBlock, true);
}

BLOCK_INLINE void DecodeDXT3Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength,
                                  bool exact) {
    ExpandWithAlpha<4>(dest, block + 8, rowLength, FourColorPalette(block + 8, exact),
                       kNibbleAlpha.entry, Load64(block));
}

BLOCK_INLINE void DecodeDXT5Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength,
                                  bool exact) {
    uint32_t alpha[8];
    FastAlphaPalette(block[0], block[1], alpha);
    ExpandWithAlpha<3>(dest, block + 8, rowLength, FourColorPalette(block + 8, exact), alpha,
                       Load64(block) >> 16);
}

} // namespace

ColorPalette DecodeColorBlock(const uint8_t* colorBlock, bool fourColorOnly, bool exact) {
    return PortableColorPalette(colorBlock, fourColorOnly, exact);
}

void ExpandColorIndices(uint32_t* dest, const uint8_t* colorBlock, uint32_t rowLength,
                        const ColorPalette& palette) {
    Expand(dest, colorBlock, rowLength, palette);
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
    PortableAlphaPalette(alphaBlock[0], alphaBlock[1], palette, 24);
    uint64_t indices = Load64(alphaBlock) >> 16;
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength) {
        for (uint32_t x = 0; x < 4; ++x, indices >>= 3)
            dest[x] = (dest[x] & kColorBits) | palette[indices & 7];
    }
}

void InterpolatedAlphaPalette(uint8_t a0, uint8_t a1, uint8_t palette[8]) {
    uint32_t wide[8];
    PortableAlphaPalette(a0, a1, wide, 0);
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

void DecodeDXT1Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool exact) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 8)
        Expand(dest, blocks, rowLength,
               exact ? PortableColorPalette(blocks, false, true) : FastColorPalette(blocks, false));
}

void DecodeDXT3Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool exact) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 16)
        DecodeDXT3Block(dest, blocks, rowLength, exact);
}

void DecodeDXT5Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool normalMap, bool exact) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 16) {
        DecodeDXT5Block(dest, blocks, rowLength, exact);
        if (normalMap) ReconstructNormalBlock(dest, rowLength);
    }
}

void MoveAlphaToRed(uint32_t* dest, uint32_t count, uint32_t rowLength) {
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength)
        for (uint32_t x = 0; x < 4 * count; ++x)
            dest[x] = kOpaque | (dest[x] >> 24) << 16 | (dest[x] & 0xFFFF);
}
