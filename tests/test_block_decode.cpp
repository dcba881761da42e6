// Block decoding: the per-block helpers and the record's block loops, by format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "DdsBuilder.h"
#include "dds/DdsTexture.h"
#include "decode/BlockDecode.h"
#include "io/Progress.h"

namespace {

std::vector<uint8_t> ColorBlock(uint16_t c0, uint16_t c1, std::vector<uint8_t> rows) {
    std::vector<uint8_t> b;
    testkit::Put16(b, c0);
    testkit::Put16(b, c1);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

// Four-colour block red/blue whose 16 pixels form the picture kPicture (rows of 4).
constexpr uint32_t R = 0xFFF80000, B = 0xFF0000F8, P = 0xFFA50052, Q = 0xFF5200A5;
const std::vector<uint8_t> kPictureBlock = ColorBlock(0xF800, 0x001F, {0xE4, 0x4E, 0xB1, 0x1B});
constexpr uint32_t kPicture[16] = {R, B, P, Q, P, Q, R, B, B, R, Q, P, Q, P, B, R};

// A record holding `raw` as the selected surface.
struct Surface {
    CFileEx reader;
    CDdsTexture tex{reader};
    Surface(int32_t format, uint32_t width, uint32_t height, const std::vector<uint8_t>& raw,
            uint32_t bits = 0) {
        tex.m_Header.dwWidth = width;
        tex.m_Header.dwHeight = height;
        tex.m_Header.ddspf.dwRGBBitCount = bits;
        tex.m_nFormat = format;
        tex.m_nWidth = int32_t(width);
        tex.m_nHeight = int32_t(height);
        tex.m_bHasAlpha = true;
        EXPECT_TRUE(tex.AllocRaw(uint32_t(raw.size()), uint32_t(raw.size())));
        if (!raw.empty()) std::memcpy(tex.m_pRawData, raw.data(), raw.size());
    }
    uint32_t At(uint32_t x, uint32_t y) const { return tex.m_pWorkImage[y * tex.m_nWidth + x]; }
};

std::vector<uint8_t> Repeat(const std::vector<uint8_t>& block, size_t n) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < n; ++i) out.insert(out.end(), block.begin(), block.end());
    return out;
}

// Progress calls of the last run; the run is told to stop when `done` reaches stopAt.
ProgressCallback g_progress = nullptr;
std::vector<uint32_t> g_done;
uint32_t g_stopAt = UINT32_MAX;
int RecordProgress(uint32_t done, uint32_t total, uintptr_t) {
    g_done.push_back(done * 1000 + total);
    return done != g_stopAt;
}
struct Progress : ::testing::Test {
    void SetUp() override {
        g_done.clear();
        g_stopAt = UINT32_MAX;
        g_progress = RecordProgress;
    }
    void TearDown() override { g_progress = nullptr; }
};

// ---- divisions ---------------------------------------------------------------------------------

TEST(Divisions, ExactOverTheirWholeRange) {
    for (uint32_t x = 0; x <= kDivideBy3Limit; ++x) ASSERT_EQ(DivideBy3(x), x / 3) << x;
    for (uint32_t x = 0; x <= kDivideBy5Limit; ++x) ASSERT_EQ(DivideBy5(x), x / 5) << x;
    for (uint32_t x = 0; x <= kDivideBy7Limit; ++x) ASSERT_EQ(DivideBy7(x), x / 7) << x;
    EXPECT_GE(kDivideBy3Limit, 3u * 255);
    EXPECT_GE(kDivideBy5Limit, 5u * 255);
    EXPECT_GE(kDivideBy7Limit, 7u * 255);
}

// ---- DXT1 colour blocks ------------------------------------------------------------------------

struct PaletteCase {
    uint16_t c0, c1;
    uint32_t entry[4];
    bool fourColorOnly = false, exact = false;
};
class ColorPaletteTest : public ::testing::TestWithParam<PaletteCase> {};
TEST_P(ColorPaletteTest, Entries) {
    const PaletteCase& c = GetParam();
    const ColorPalette p =
        DecodeColorBlock(ColorBlock(c.c0, c.c1, {0, 0, 0, 0}).data(), c.fourColorOnly, c.exact);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p.entry[i], c.entry[i]) << "entry " << i;
}
INSTANTIATE_TEST_SUITE_P(
    Dxt1, ColorPaletteTest,
    ::testing::Values(
        // four-colour: floor thirds of the 8-bit values (red 248/0/165/82)
        PaletteCase{0xF800, 0x001F, {R, B, P, Q}},
        // shift-only white; (165,168,165) and (82,84,82)
        PaletteCase{0xFFFF, 0x0000, {0xFFF8FCF8, 0xFF000000, 0xFFA5A8A5, 0xFF525452}},
        // three-colour: the half-way colour and transparent cyan
        PaletteCase{0x001F, 0xF800, {B, R, 0xFF7C007C, 0x0000FFFF}},
        PaletteCase{0x0000, 0xFFFF, {0xFF000000, 0xFFF8FCF8, 0xFF7C7E7C, 0x0000FFFF}},
        PaletteCase{0x1234, 0x1234, {0xFF1044A0, 0xFF1044A0, 0xFF1044A0, 0x0000FFFF}},
        // DXT3 and DXT5: four colours whatever the order
        PaletteCase{0x001F, 0xF800, {B, R, Q, P}, true},
        // GPU-exact: round(v x 255 / 31) and / 63 (3 is 25); the clear entry is black
        PaletteCase{0xFFFF, 0x0000, {0xFFFFFFFF, 0xFF000000, 0xFFAAAAAA, 0xFF555555}, false, true},
        PaletteCase{0x1800, 0x1800, {0xFF190000, 0xFF190000, 0xFF190000, 0}, false, true}));

TEST(Dxt1, PaletteFollowsTheRuleForManyPairs) {
    for (uint32_t c0 = 0; c0 < 65536; c0 += 3) {
        for (uint32_t c1 : {c0, (c0 * 40503) & 0xFFFF, c0 ^ 0xFFFF}) {
            const uint32_t p[2][3] = {{(c0 >> 11) * 8, (c0 >> 5 & 63) * 4, (c0 & 31) * 8},
                                      {(c1 >> 11) * 8, (c1 >> 5 & 63) * 4, (c1 & 31) * 8}};
            uint32_t want[4] = {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000};
            for (int ch = 0; ch < 3; ++ch) {
                const int shift = 16 - 8 * ch;
                want[0] |= p[0][ch] << shift;
                want[1] |= p[1][ch] << shift;
                want[2] |= (c0 > c1 ? (2 * p[0][ch] + p[1][ch]) / 3 : (p[0][ch] + p[1][ch]) / 2)
                           << shift;
                want[3] |= (c0 > c1 ? (p[0][ch] + 2 * p[1][ch]) / 3 : 0) << shift;
            }
            if (c0 <= c1) want[3] = 0x0000FFFF;
            const uint8_t block[4] = {uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8)};
            const ColorPalette got = DecodeColorBlock(block);
            ASSERT_EQ(std::vector<uint32_t>(got.entry, got.entry + 4),
                      std::vector<uint32_t>(want, want + 4))
                << c0 << " " << c1;
        }
    }
}

TEST(Dxt1, ExpandWritesRowsInOrderAtTheRowLength) {
    const ColorPalette palette = {{10, 11, 12, 13}};
    std::vector<uint32_t> dest(20, 0xEE);
    ExpandColorIndices(dest.data(), kPictureBlock.data(), 5, palette);
    const uint32_t want[20] = {10, 11, 12, 13, 0xEE, 12, 13, 10, 11, 0xEE,
                               11, 10, 13, 12, 0xEE, 13, 12, 11, 10, 0xEE};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(dest[i], want[i]) << i;
}

// ---- DXT3 / DXT5 alpha
// -----------------------------------------------------------------------------

TEST(Dxt3, NibblesTimes17AndCyanAlphaReplaced) {
    // Row 0 nibbles 0, 8, 15, 1; the colour block is three-colour with every index 3 (cyan).
    const auto cyan = ColorBlock(0, 0, {0xFF, 0xFF, 0xFF, 0xFF});
    uint32_t px[16];
    ExpandColorIndices(px, cyan.data(), 4, DecodeColorBlock(cyan.data()));
    const uint8_t alpha[8] = {0x80, 0x1F, 0, 0, 0, 0, 0, 0xF0};
    ApplyExplicitAlpha(px, alpha, 4);
    EXPECT_EQ(px[0], 0x0000FFFFu);
    EXPECT_EQ(px[1], 0x8800FFFFu);
    EXPECT_EQ(px[2], 0xFF00FFFFu);
    EXPECT_EQ(px[3], 0x1100FFFFu);
    EXPECT_EQ(px[15], 0xFF00FFFFu); // row 3, x = 3: the top nibble of the last value
}

struct AlphaPaletteCase {
    uint8_t a0, a1;
    uint8_t entry[8];
};
class AlphaPaletteTest : public ::testing::TestWithParam<AlphaPaletteCase> {};
TEST_P(AlphaPaletteTest, Entries) {
    const AlphaPaletteCase& c = GetParam();
    uint8_t p[8];
    InterpolatedAlphaPalette(c.a0, c.a1, p);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(p[i], c.entry[i]) << "entry " << i;
}
INSTANTIATE_TEST_SUITE_P(
    Dxt5, AlphaPaletteTest,
    ::testing::Values(AlphaPaletteCase{255, 0, {255, 0, 218, 182, 145, 109, 72, 36}},
                      AlphaPaletteCase{0, 255, {0, 255, 51, 102, 153, 204, 0, 255}},
                      AlphaPaletteCase{200, 100, {200, 100, 185, 171, 157, 142, 128, 114}},
                      AlphaPaletteCase{7, 200, {7, 200, 45, 84, 122, 161, 0, 255}},
                      AlphaPaletteCase{90, 90, {90, 90, 90, 90, 90, 90, 0, 255}}));

TEST(Dxt5, ThreeBitIndicesAcrossByteBoundaries) {
    // Pixel n has index n mod 8, packed 3 bits each from byte 2.
    uint8_t block[8] = {255, 0};
    uint64_t bits = 0;
    for (uint64_t n = 0; n < 16; ++n) bits |= (n % 8) << (3 * n);
    for (int i = 0; i < 6; ++i) block[2 + i] = uint8_t(bits >> (8 * i));
    uint32_t px[16];
    for (uint32_t& p : px) p = 0x00123456;
    ApplyInterpolatedAlpha(px, block, 4);
    const uint8_t palette[8] = {255, 0, 218, 182, 145, 109, 72, 36};
    for (int n = 0; n < 16; ++n) EXPECT_EQ(px[n], uint32_t(palette[n % 8]) << 24 | 0x123456) << n;
}

// ---- DXT5_NM
// ---------------------------------------------------------------------------------------

struct NormalCase {
    uint8_t a, g, blue;
};
class NormalTest : public ::testing::TestWithParam<NormalCase> {};
TEST_P(NormalTest, BlueFromAlphaAndGreen) {
    const NormalCase& c = GetParam();
    const uint32_t want = 0xFF000000u | c.a << 16 | c.g << 8 | c.blue;
    EXPECT_EQ(ReconstructNormal(uint32_t(c.a) << 24 | 0x770077 | c.g << 8), want);
}
INSTANTIATE_TEST_SUITE_P(Dxt5Nm, NormalTest,
                         ::testing::Values(NormalCase{128, 128, 254}, NormalCase{200, 100, 228},
                                           NormalCase{1, 128, 143}, NormalCase{64, 200, 210},
                                           NormalCase{255, 0, 0}, NormalCase{255, 128, 0},
                                           NormalCase{0, 128, 0}, NormalCase{128, 0, 0}));

TEST(Dxt5Nm, EveryByteComesBackAndBlueMatchesTheDoubleRule) {
    // The blue values of all 65536 (alpha, green) pairs, hashed (FNV-1a, alpha-major); the
    // constants come from an independent double-precision evaluation.
    uint32_t hash = 0x811C9DC5, sum = 0;
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t g = 0; g < 256; ++g) {
            const uint32_t p = ReconstructNormal(a << 24 | g << 8);
            ASSERT_EQ((p >> 16) & 255, a);
            ASSERT_EQ((p >> 8) & 255, g);
            hash = (hash ^ (p & 255)) * 0x01000193;
            sum += p & 255;
        }
    }
    EXPECT_EQ(hash, 0x2DAA802Du);
    EXPECT_EQ(sum, 10822248u);
}

// ---- block runs: the one-store, lane-parallel fast path equals the helpers
// ------------------------

// Runs one block through the fast path and through the helpers; true when both agree.
bool RunEqualsHelpers(int format, const uint8_t* block, uint32_t rowLength) {
    std::vector<uint32_t> want(40, 0x5A5A5A5A), got(want);
    const uint8_t* colour = format == 1 ? block : block + 8;
    ExpandColorIndices(want.data(), colour, rowLength, DecodeColorBlock(colour, format != 1));
    if (format == 1) DecodeDXT1Blocks(got.data(), block, 1, rowLength);
    if (format == 3) {
        ApplyExplicitAlpha(want.data(), block, rowLength);
        DecodeDXT3Blocks(got.data(), block, 1, rowLength);
    }
    if (format >= 5) {
        ApplyInterpolatedAlpha(want.data(), block, rowLength);
        DecodeDXT5Blocks(got.data(), block, 1, rowLength, format == 6);
        if (format == 6) ReconstructNormalBlock(want.data(), rowLength);
    }
    return got == want;
}

TEST(BlockRuns, EveryAlphaPairAndEveryFirstColour) {
    uint8_t block[16] = {0, 0, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA,
                         0, 0, 0,    0,    0xE4, 0x1B, 0xB1, 0x4E};
    for (uint32_t a = 0; a < 65536; ++a) {
        block[0] = uint8_t(a), block[1] = uint8_t(a >> 8);
        ASSERT_TRUE(RunEqualsHelpers(5, block, 4)) << a;
    }
    for (uint32_t c0 = 0; c0 < 65536; ++c0) {
        for (uint32_t c1 : {c0, c0 ^ 0xFFFF, (c0 * 40503) & 0xFFFF, c0 ^ 0x0821, c0 + 1}) {
            const uint8_t colour[8] = {
                uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8), 0xE4, 0x1B, 0xB1,
                0x4E};
            ASSERT_TRUE(RunEqualsHelpers(1, colour, 4)) << c0 << " " << c1;
        }
    }
}

TEST(BlockRuns, RandomBlocksAtEveryRowLength) {
    std::mt19937 rng(7);
    for (uint32_t rowLength : {0u, 1u, 2u, 3u, 4u, 5u, 8u}) {
        for (int trial = 0; trial < 300; ++trial) {
            uint8_t block[16];
            for (uint8_t& b : block) b = uint8_t(rng());
            for (int format : {1, 3, 5, 6})
                ASSERT_TRUE(RunEqualsHelpers(format, block, rowLength))
                    << "format " << format << " row length " << rowLength;
        }
    }
}

// ---- surfaces: grid, overlapping rows, formats
// -------------------------------------------------------

struct SurfaceCase {
    uint32_t width, height;
};
class Dxt1Surface : public ::testing::TestWithParam<SurfaceCase> {};
TEST_P(Dxt1Surface, VisiblePixelsPackedAtTheWidthFromWholeBlocks) {
    // Partial blocks are decoded and cropped: a 6 x 6 surface holds 2 x 2 blocks.
    const SurfaceCase& c = GetParam();
    Surface s(TF_DXT1, c.width, c.height, Repeat(kPictureBlock, 4));
    s.tex.DecodeSurface(g_progress);
    for (uint32_t y = 0; y < c.height; ++y)
        for (uint32_t x = 0; x < c.width; ++x)
            EXPECT_EQ(s.At(x, y), kPicture[y % 4 * 4 + x % 4]) << x << "," << y;
}
INSTANTIATE_TEST_SUITE_P(Dxt1, Dxt1Surface,
                         ::testing::Values(SurfaceCase{1, 1}, SurfaceCase{2, 2}, SurfaceCase{3, 3},
                                           SurfaceCase{4, 4}, SurfaceCase{6, 6},
                                           SurfaceCase{5, 3}));

TEST(Dxt1, BlocksInRowOrderLeftToRight) {
    const auto second = ColorBlock(0xFFFF, 0xFFFF, {0, 0, 0, 0}); // all white
    auto raw = kPictureBlock;
    raw.insert(raw.end(), second.begin(), second.end());
    Surface s(TF_DXT1, 4, 8, raw);
    s.tex.DecodeSurface(g_progress);
    EXPECT_EQ(s.At(3, 3), R);
    EXPECT_EQ(s.At(0, 4), 0xFFF8FCF8u);
}

// DXT2 and DXT4 use the DXT3 and DXT5 loops; their colour stays as stored (premultiplied).
struct AlphaFormatCase {
    int32_t format;
    uint8_t alphaBytes[8];
    uint32_t pixel0, pixel1;
};
class AlphaFormats : public ::testing::TestWithParam<AlphaFormatCase> {};
TEST_P(AlphaFormats, ColourAsStoredAlphaFromTheAlphaBlock) {
    const AlphaFormatCase& c = GetParam();
    std::vector<uint8_t> raw(c.alphaBytes, c.alphaBytes + 8);
    raw.insert(raw.end(), kPictureBlock.begin(), kPictureBlock.end());
    Surface s(c.format, 4, 4, raw);
    s.tex.DecodeSurface(g_progress);
    EXPECT_EQ(s.At(0, 0), c.pixel0);
    EXPECT_EQ(s.At(1, 0), c.pixel1);
}
const AlphaFormatCase kAlphaFormats[] = {
    {TF_DXT3, {0x80}, 0x00F80000, 0x880000F8},
    {TF_DXT2, {0x80}, 0x00F80000, 0x880000F8},
    {TF_DXT5, {255, 0, 0x08}, 0xFFF80000, 0x000000F8},
    {TF_DXT4, {255, 0, 0x08}, 0xFFF80000, 0x000000F8},
    {TF_DXT5_NM, {200, 100, 0x08}, 0xFFC80000, 0xFF640000},
    {TF_RXGB, {255, 0, 0x08}, 0xFFFF0000, 0xFF0000F8}, // alpha is red
};
INSTANTIATE_TEST_SUITE_P(Dxt3Dxt5, AlphaFormats, ::testing::ValuesIn(kAlphaFormats));

class Dxt5NmSmall : public ::testing::TestWithParam<SurfaceCase> {};
TEST_P(Dxt5NmSmall, EachVisiblePixelRebuiltOnce) {
    // Alpha index n mod 8 over palette 200/100/185/171/...; the block's green is 0 or 252.
    uint8_t alpha[8] = {200, 100};
    uint64_t bits = 0;
    for (uint64_t n = 0; n < 16; ++n) bits |= (n % 8) << (3 * n);
    for (int i = 0; i < 6; ++i) alpha[2 + i] = uint8_t(bits >> (8 * i));
    std::vector<uint8_t> block(alpha, alpha + 8);
    const auto colour = ColorBlock(0x07E0, 0x0000, {0x44, 0x44, 0x44, 0x44}); // green, black
    block.insert(block.end(), colour.begin(), colour.end());
    const SurfaceCase& c = GetParam();
    Surface s(TF_DXT5_NM, c.width, c.height, Repeat(block, 2));
    s.tex.DecodeSurface(g_progress);
    const uint8_t a[8] = {200, 100, 185, 171, 157, 142, 128, 114};
    for (uint32_t y = 0; y < c.height; ++y) {
        for (uint32_t x = 0; x < c.width; ++x) {
            const uint32_t p = s.At(x, y), green = x % 2 ? 0 : 252;
            EXPECT_EQ(p >> 16, 0xFF00u | a[(y % 4 * 4 + x) % 8]) << x << "," << y;
            EXPECT_EQ((p >> 8) & 255, green) << x << "," << y;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Dxt5Nm, Dxt5NmSmall,
                         ::testing::Values(SurfaceCase{1, 1}, SurfaceCase{2, 2}, SurfaceCase{3, 3},
                                           SurfaceCase{2, 8}));

// Narrow surfaces whose rows overlap in the work image, within one block row and across two:
// each visible pixel is the plain DXT5 pixel rebuilt once.
class Dxt5NmNarrow : public ::testing::TestWithParam<SurfaceCase> {};
TEST_P(Dxt5NmNarrow, EachVisiblePixelRebuiltOnce) {
    std::vector<uint8_t> block = {200, 60, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};
    const auto colour = ColorBlock(0x07E0, 0x0000, {0x1B, 0x4E, 0xE4, 0x93});
    block.insert(block.end(), colour.begin(), colour.end());
    const SurfaceCase& c = GetParam();
    const auto blocks = Repeat(block, 2);
    Surface plain(TF_DXT5, c.width, c.height, blocks), nm(TF_DXT5_NM, c.width, c.height, blocks);
    plain.tex.DecodeSurface();
    nm.tex.DecodeSurface();
    for (uint32_t y = 0; y < c.height; ++y) {
        for (uint32_t x = 0; x < c.width; ++x) {
            // Rows below the last block row are written by no block (alpha is never 0 here).
            const uint32_t p = plain.At(x, y);
            EXPECT_EQ(nm.At(x, y), p ? ReconstructNormal(p) : 0) << x << "," << y;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Dxt5Nm, Dxt5NmNarrow,
                         ::testing::Values(SurfaceCase{2, 6}, SurfaceCase{3, 5}, SurfaceCase{1, 7},
                                           SurfaceCase{1, 8}, SurfaceCase{3, 4}));

// ---- progress and cancellation
// -------------------------------------------------------------------

class Cancel : public Progress, public ::testing::WithParamInterface<uint32_t> {};
TEST_P(Cancel, StopAtBlockRowKLeavesRows4kZero) {
    const uint32_t k = GetParam();
    g_stopAt = k;
    Surface s(TF_DXT1, 8, 16, Repeat(kPictureBlock, 8));
    s.tex.DecodeSurface(g_progress);
    std::vector<uint32_t> want;
    for (uint32_t i = 0; i <= std::min(k, 3u); ++i) want.push_back(i * 1000 + 4);
    EXPECT_EQ(g_done, want);
    for (uint32_t y = 0; y < 16; ++y)
        EXPECT_EQ(s.At(5, y), y < 4 * k ? kPicture[(y % 4) * 4 + 1] : 0u) << y;
}
INSTANTIATE_TEST_SUITE_P(Dxt1, Cancel, ::testing::Values(0u, 1u, 3u, 4u));

#ifndef _WIN32
TEST_F(Progress, OnePumpPerBlockRow) {
    int pumps = 0;
    Surface s(TF_DXT5, 4, 12, Repeat(std::vector<uint8_t>(16), 3));
    s.reader.SetPumpHook([](void* n) { ++*static_cast<int*>(n); }, &pumps);
    s.tex.DecodeSurface(g_progress);
    EXPECT_EQ(pumps, 3);
    EXPECT_EQ(g_done, (std::vector<uint32_t>{3, 1003, 2003}));
}
#endif

// ---- bad input: short raw data, odd headers
// ------------------------------------------------------

struct ShortCase {
    uint32_t width, height, rawSize, decodedBlocks;
};
class ShortRaw : public ::testing::TestWithParam<ShortCase> {};
TEST_P(ShortRaw, BlocksBeyondTheDataAreZero) {
    const ShortCase& c = GetParam();
    auto raw = Repeat(kPictureBlock, 4);
    raw.resize(c.rawSize);
    Surface s(TF_DXT1, c.width, c.height, raw);
    s.tex.DecodeSurface(g_progress);
    const uint32_t across = BlockCount(c.width);
    for (uint32_t y = 0; y < c.height; ++y) {
        for (uint32_t x = 0; x < c.width; ++x) {
            const uint32_t block = (y / 4) * across + x / 4;
            const bool held = x < 4 * across && block < c.decodedBlocks;
            EXPECT_EQ(s.At(x, y), held ? kPicture[(y % 4) * 4 + x % 4] : 0u) << x << "," << y;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Dxt1, ShortRaw,
                         ::testing::Values(ShortCase{8, 8, 0, 0}, ShortCase{8, 8, 7, 0},
                                           ShortCase{8, 8, 8, 1}, ShortCase{8, 8, 20, 2},
                                           ShortCase{8, 8, 32, 4}, ShortCase{2, 8, 8, 1},
                                           ShortCase{1024, 512, 16, 2}));

TEST(Rgb, CopyLimitedToTheRawDataAndTheWorkImage) {
    // 2 x 2 at 32 bits, 6 bytes held: 6 bytes copied, the rest zero.
    Surface a(TF_BUMP_UVW, 2, 2, {1, 2, 3, 4, 5, 6}, 32);
    a.tex.DecodeSurface(g_progress);
    EXPECT_EQ(a.At(0, 0), 0x04030201u);
    EXPECT_EQ(a.At(1, 0), 0x00000605u);
    EXPECT_EQ(a.At(0, 1), 0u);
    // Wider than 32 bits: only the work image's bytes are copied (the sanitizer build sees the
    // image's exact end). 4 x 4 at 128 bits holds 256 bytes, of which 64 fit; 5 x 3 at 64 bits
    // holds 120 bytes, of which the 5 x 4 work image takes 80.
    for (const auto& size : {std::make_pair(4u, 4u), std::make_pair(5u, 3u)}) {
        const uint32_t bits = size.first == 4 ? 128 : 64;
        const uint32_t bytes = size.first * size.second * bits / 8;
        const auto raw = testkit::Pattern(bytes);
        Surface b(TF_BUMP_UVW, size.first, size.second, raw, bits);
        b.tex.DecodeSurface(g_progress);
        const uint32_t work = std::max(size.first, 4u) * std::max(size.second, 4u) * 4;
        EXPECT_EQ(std::memcmp(b.tex.m_pWorkImage, raw.data(), std::min(work, bytes)), 0);
    }
}

TEST(Record, NothingDecodedWithoutDataImagesOrMatchingSize) {
    Surface noRaw(TF_DXT1, 4, 4, kPictureBlock);
    noRaw.tex.m_pRawData = nullptr;
    noRaw.tex.DecodeSurface(g_progress);
    EXPECT_EQ(noRaw.tex.m_pWorkImage, nullptr) << "no images sized from a header without data";

    Surface mismatch(TF_DXT1, 4, 4, kPictureBlock);
    mismatch.tex.m_nWidth = 8; // the images are sized from the header
    mismatch.tex.DecodeSurface(g_progress);
    EXPECT_EQ(mismatch.tex.m_pWorkImage[0], 0u);

    Surface float16(TF_FLOAT16, 4, 4, testkit::Pattern(128), 64);
    float16.tex.DecodeSurface(g_progress);
    EXPECT_EQ(float16.At(0, 0), 0u);

    SetAllocationLimit(1024);
    Surface huge(TF_DXT1, 4096, 4096, kPictureBlock);
    huge.tex.DecodeSurface(g_progress);
    SetAllocationLimit(0);
    EXPECT_EQ(huge.tex.m_pWorkImage, nullptr);
}

} // namespace
