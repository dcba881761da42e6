// BC4, BC5, BC6H and BC7 block decoders: palettes and blocks of every mode against values derived
// by hand from the Direct3D rules, reserved modes, and the display pixels against the halves.
// (Random blocks of every mode are compared with Pillow by tests/bcn/pillow-peer.)
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "BcnEncoder.h"
#include "decode/BcnDecode.h"
#include "decode/PixelConvert.h"

namespace {

using testkit::BC6HFields;
using testkit::BC7Fields;

// ---- BC4 palettes -------------------------------------------------------------------------------

struct BC4Case {
    uint8_t e0, e1;
    bool isSigned;
    uint8_t palette[8];
};

// Signed bytes: 0x7F = 127 (1.0), 0x81 = -127 (-1.0), 0x80 = -128 (also -1.0). A signed entry
// n / (d x 127) shows as floor((n + 127 d) x 255 / (254 d)).
const BC4Case kBC4Cases[] = {
    {255, 0, false, {255, 0, 218, 182, 145, 109, 72, 36}},        // eight values, floor of / 7
    {0, 255, false, {0, 255, 51, 102, 153, 204, 0, 255}},         // six values, then 0 and 255
    {7, 7, false, {7, 7, 7, 7, 7, 7, 0, 255}},                    // equal ends: six-value mode
    {0x7F, 0x81, true, {255, 0, 218, 182, 145, 109, 72, 36}},     // 1 to -1 in sevenths
    {0x81, 0x7F, true, {0, 255, 51, 102, 153, 204, 0, 255}},      // -1 to 1 in fifths
    {0, 0, true, {127, 127, 127, 127, 127, 127, 0, 255}},         // 0 shows as 127 (127.5 cut)
    {0x40, 0x10, true, {191, 143, 184, 177, 171, 164, 157, 150}}, // 64 and 16 in sevenths
    {0x80, 0x7F, true, {0, 255, 51, 102, 153, 204, 0, 255}},      // -128 counts as -127
    {0x80, 0x81, true, {0, 0, 0, 0, 0, 0, 0, 255}}, // -128 < -127 stored: six-value, both -1
    {0x81, 0x80, true, {0, 0, 0, 0, 0, 0, 0, 0}},   // -127 > -128 stored: eight-value, all -1
};

class BC4Palettes : public ::testing::TestWithParam<BC4Case> {};

TEST_P(BC4Palettes, FollowTheRules) {
    const BC4Case& c = GetParam();
    const uint8_t block[8] = {c.e0, c.e1};
    uint8_t palette[8];
    BC4Palette(block, c.isSigned, palette);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(palette[k], c.palette[k]) << "entry " << k;
}

INSTANTIATE_TEST_SUITE_P(Cases, BC4Palettes, ::testing::ValuesIn(kBC4Cases));

// ---- BC4 and BC5 pixels: palette entries by index, channels in place ---------------------------

struct ChannelCase {
    bool bc5, isSigned;
};

class BC4Pixels : public ::testing::TestWithParam<ChannelCase> {};

// The 3-bit index of pixel i: bytes 2 to 7 of a BC4 block, little-endian, pixel 0 lowest.
uint32_t Index(const uint8_t* block, uint32_t i) {
    uint64_t v = 0;
    for (int k = 7; k >= 2; --k) v = v << 8 | block[k];
    return uint32_t(v >> (3 * i) & 7);
}

// Random blocks: each pixel is its index's palette entry, BC4 as opaque grey, BC5 as red and
// green with blue 0; a run of blocks gives the blocks side by side.
TEST_P(BC4Pixels, ArePaletteEntriesByIndex) {
    const ChannelCase c = GetParam();
    std::mt19937 rng(5);
    const uint32_t blockBytes = c.bc5 ? 16 : 8, count = 64, width = 4 * count;
    std::vector<uint8_t> blocks(blockBytes * count);
    for (uint8_t& b : blocks) b = uint8_t(rng());
    // Endpoints of -128 (0x80), first or second, in every channel of every other block.
    for (uint32_t k = 0; k < count; k += 2)
        for (uint32_t channel = 0; channel < blockBytes; channel += 8)
            blocks[k * blockBytes + channel + k / 2 % 2] = 0x80;
    std::vector<uint32_t> image(size_t(width) * 4);
    if (c.bc5)
        DecodeBC5Blocks(image.data(), blocks.data(), count, width, c.isSigned);
    else
        DecodeBC4Blocks(image.data(), blocks.data(), count, width, c.isSigned);
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t* block = &blocks[k * blockBytes];
        uint8_t red[8], green[8];
        BC4Palette(block, c.isSigned, red);
        if (c.bc5) BC4Palette(block + 8, c.isSigned, green);
        for (uint32_t i = 0; i < 16; ++i) {
            const uint32_t ri = Index(block, i), gi = c.bc5 ? Index(block + 8, i) : 0;
            const uint32_t want = c.bc5 ? 0xFF000000u | red[ri] << 16 | green[gi] << 8
                                        : 0xFF000000u | red[ri] * 0x010101u;
            ASSERT_EQ(image[(i / 4) * width + 4 * k + i % 4], want)
                << "block " << k << " pixel " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, BC4Pixels,
                         ::testing::Values(ChannelCase{false, false}, ChannelCase{false, true},
                                           ChannelCase{true, false}, ChannelCase{true, true}));

// ---- BC7: one block of every mode
// ----------------------------------------------------------------

struct BC7Case {
    unsigned mode, partition, rotation, selector;
    uint8_t red[6], green[6], blue[6], alpha[6], pbit[6], index[16], index2[16];
    std::vector<unsigned> anchors;
    uint32_t pixels[16];
};

// Stored fields and the pixels they give by the rules (endpoint bits with their p-bit widened by
// repeating the top bits, ((64 - w) e0 + w e1 + 32) >> 6, rotation last). Mode 0 uses 3-subset
// partition 13, mode 1 2-subset partition 35 (second anchor 8), mode 2 partition 17 (anchors 3
// and 8 of 0 to 15), mode 3 partition 63, mode 7 partition 50; mode 4 rotates alpha with red and
// takes colour from its 3-bit indices, mode 5 rotates alpha with green.
// clang-format off
const BC7Case kBC7Cases[] = {
    {0, 13, 0, 0, {10, 4, 12, 1, 2, 3}, {11, 1, 6, 1, 2, 13}, {13, 2, 7, 2, 13, 1},
     {0, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 0, 0}, {0, 2, 4, 6, 2, 0, 4, 2, 1, 3, 5, 1, 1, 0, 3, 3},
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 5, 15},
     {0xFFA5B5D6, 0xFF954E5E, 0xFF2A8A64, 0xFF2FBD2C, 0xFF8987A3, 0xFFC66373,
      0xFF2A8A64, 0xFF26549E, 0xFF979EBD, 0xFF7D4354, 0xFF2DA348, 0xFF233ABA,
      0xFF979EBD, 0xFFC66373, 0xFF286D82, 0xFF286D82}},
    {1, 35, 0, 0, {54, 40, 59, 58}, {46, 38, 31, 23}, {31, 10, 38, 63},
     {0, 0, 0, 0}, {1, 1, 1, 0}, {0, 6, 2, 5, 2, 7, 6, 0, 0, 5, 5, 5, 7, 7, 1, 1},
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 8},
     {0xFFDBBB7E, 0xFFABA036, 0xFFEE75B7, 0xFFEC67E3, 0xFFCBB266, 0xFFA39B2A,
      0xFFEC63F1, 0xFFEF7E9B, 0xFFEF7E9B, 0xFFEC67E3, 0xFFB3A442, 0xFFB3A442,
      0xFFEB5EFF, 0xFFEB5EFF, 0xFFD3B772, 0xFFD3B772}},
    {2, 17, 0, 0, {17, 30, 4, 3, 19, 28}, {18, 24, 22, 1, 29, 22}, {10, 7, 31, 3, 13, 18},
     {0, 0, 0, 0, 0, 0}, {0, 0, 1, 1, 1, 0}, {0, 3, 3, 1, 1, 3, 2, 3, 1, 3, 1, 1, 0, 1, 1, 1},
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 3, 8},
     {0xFF8C9452, 0xFF180818, 0xFF180818, 0xFF1E7CB3, 0xFFAFA44A, 0xFFF7C639,
      0xFF1B4164, 0xFF180818, 0xFFB5DC78, 0xFFF7C639, 0xFFAFA44A, 0xFF1E7CB3,
      0xFF9CEF6B, 0xFFB5DC78, 0xFFAFA44A, 0xFFAFA44A}},
    {3, 63, 0, 0, {59, 3, 124, 46}, {67, 72, 1, 37}, {107, 94, 81, 32},
     {0, 0, 0, 0}, {0, 1, 1, 1}, {1, 3, 0, 3, 3, 0, 1, 0, 1, 3, 1, 0, 2, 0, 0, 0},
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 15},
     {0xFF528ACE, 0xFF5D4B41, 0xFF7686D6, 0xFF0791BD, 0xFF0791BD, 0xFFF903A3,
      0xFF528ACE, 0xFF7686D6, 0xFF528ACE, 0xFF5D4B41, 0xFFC61B83, 0xFFF903A3,
      0xFF2B8DC5, 0xFFF903A3, 0xFFF903A3, 0xFFF903A3}},
    {4, 0, 1, 1, {9, 6}, {23, 1}, {4, 13},
     {48, 19}, {1, 1}, {1, 3, 0, 0, 3, 3, 3, 3, 2, 0, 1, 0, 2, 2, 3, 1},
     {0, 3, 5, 2, 0, 4, 1, 4, 5, 2, 5, 3, 5, 3, 3, 3}, {0},
     {0x4A9CBD21, 0x3F4D7140, 0x38C33B56, 0x43C38A36, 0x4A4DBD21, 0x3C4D544C,
      0x464DA42B, 0x3C4D544C, 0x38743B56, 0x43C38A36, 0x389C3B56, 0x3FC37140,
      0x38743B56, 0x3F747140, 0x3F4D7140, 0x3F9C7140}},
    {5, 0, 2, 0, {102, 58}, {51, 126}, {91, 7},
     {14, 143}, {1, 1}, {0, 2, 3, 2, 2, 0, 1, 0, 1, 3, 1, 2, 1, 3, 0, 3},
     {1, 0, 0, 3, 1, 3, 1, 3, 2, 0, 3, 3, 3, 0, 1, 1}, {0},
     {0x66CD38B7, 0xCB910E45, 0xFD740E0E, 0xCB918F45, 0xCB913845, 0x66CD8FB7,
      0x98B03880, 0x66CD8FB7, 0x98B06580, 0xFD740E0E, 0x98B08F80, 0xCB918F45,
      0x98B08F80, 0xFD740E0E, 0x66CD38B7, 0xFD74380E}},
    {6, 0, 0, 0, {32, 7}, {38, 119}, {37, 121},
     {89, 39}, {0, 0}, {0, 3, 4, 13, 6, 6, 0, 8, 6, 9, 7, 10, 8, 13, 4, 1},
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0},
     {0xB2404C4A, 0x9E366D6C, 0x97337777, 0x5C15D7DA, 0x892C8E8E, 0x892C8E8E,
      0xB2404C4A, 0x7D25A2A3, 0x892C8E8E, 0x7722ACAE, 0x83299899, 0x6F1EB9BB,
      0x7D25A2A3, 0x5C15D7DA, 0x97337777, 0xAC3D5655}},
    {7, 50, 0, 0, {22, 29, 26, 8}, {9, 1, 28, 11}, {0, 9, 11, 9},
     {30, 7, 3, 20}, {1, 0, 0, 0}, {0, 2, 0, 0, 3, 0, 0, 3, 2, 1, 2, 3, 3, 1, 2, 1},
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 6},
     {0xF7B64D04, 0x77DA1F32, 0xF7B64D04, 0xF7B64D04, 0x38EB0849, 0xF7B64D04,
      0x18D3E359, 0x38EB0849, 0x77DA1F32, 0x45A3B654, 0x7571864E, 0xA2415949,
      0x38EB0849, 0xB8C7361B, 0x7571864E, 0xB8C7361B}},
};
// clang-format on

class BC7Blocks : public ::testing::TestWithParam<BC7Case> {};

TEST_P(BC7Blocks, GiveTheirPixels) {
    const BC7Case& c = GetParam();
    BC7Fields f;
    f.mode = c.mode;
    f.partition = c.partition;
    f.rotation = c.rotation;
    f.selector = c.selector;
    std::memcpy(f.red, c.red, 6);
    std::memcpy(f.green, c.green, 6);
    std::memcpy(f.blue, c.blue, 6);
    std::memcpy(f.alpha, c.alpha, 6);
    std::memcpy(f.pbit, c.pbit, 6);
    std::memcpy(f.index, c.index, 16);
    std::memcpy(f.index2, c.index2, 16);
    f.anchors = c.anchors;
    const std::vector<uint8_t> block = testkit::EncodeBC7(f);
    uint32_t pixels[16];
    DecodeBC7Block(pixels, block.data(), 4);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(pixels[i], c.pixels[i]) << "pixel " << i;
}

INSTANTIATE_TEST_SUITE_P(Modes, BC7Blocks, ::testing::ValuesIn(kBC7Cases));

// ---- BC6H: one block of every mode
// ---------------------------------------------------------------

struct BC6HCase {
    unsigned mode;
    bool isSigned;
    unsigned partition;
    uint32_t value[12];
    uint8_t index[16];
    std::vector<unsigned> anchors;
    uint16_t halves[4][3]; // pixels 0, 5, 10 and 15
};

// Stored fields and the halves of four pixels by the rules: deltas sign-extended and added to
// the first endpoint modulo its precision, endpoints unquantized, interpolated with the 3- or
// 4-bit weights, then scaled by 31 / 64 (signed: magnitude by 31 / 32, sign bit set). The mode 3
// block's red 1023 is the largest 10-bit value (0xFFFF unquantized); modes 11 and 15 store the
// first red's top bits reversed, here 01 and 010001 from bit 11 or 15 down.
// clang-format off
const BC6HCase kBC6HCases[] = {
    {0, false, 28, {280, 853, 249, 25, 28, 20, 4, 15, 27, 4, 13, 19},
     {0, 2, 5, 2, 4, 2, 7, 3, 0, 6, 7, 2, 3, 2, 6, 6}, {0, 8},
     {{0x21F7, 0x675A, 0x1E36}, {0x2273, 0x691A, 0x1D55},
      {0x2273, 0x68ED, 0x1CA3}, {0x213D, 0x66EF, 0x1CF6}}},
    {1, false, 21, {107, 50, 91, 40, 11, 46, 2, 43, 58, 56, 2, 49},
     {2, 4, 1, 1, 3, 1, 1, 4, 2, 0, 2, 4, 2, 6, 4, 6}, {0, 8},
     {{0x619A, 0x33EB, 0x53BC}, {0x64DF, 0x326B, 0x5630},
      {0x619A, 0x33EB, 0x53BC}, {0x5429, 0x3A14, 0x49A7}}},
    {2, false, 9, {2025, 1339, 366, 17, 1, 5, 27, 2, 8, 1, 2, 8},
     {0, 3, 1, 4, 1, 7, 0, 5, 6, 4, 2, 0, 3, 1, 2, 2}, {0, 15},
     {{0x7AA3, 0x511A, 0x1630}, {0x7AB2, 0x5139, 0x15B4},
      {0x7A6F, 0x5139, 0x15B4}, {0x7A6F, 0x5139, 0x15B4}}},
    {6, false, 3, {741, 826, 1277, 9, 13, 9, 14, 11, 8, 11, 1, 8},
     {0, 0, 0, 3, 7, 3, 7, 1, 6, 7, 6, 4, 3, 3, 5, 1}, {0, 15},
     {{0x2CE5, 0x320A, 0x4D59}, {0x2CB7, 0x3260, 0x4D2B},
      {0x2C9E, 0x3230, 0x4CDD}, {0x2CBF, 0x329F, 0x4CDD}}},
    {10, false, 8, {1657, 1423, 222, 4, 0, 4, 8, 13, 10, 1, 2, 24},
     {2, 3, 4, 0, 7, 2, 2, 4, 7, 0, 4, 5, 5, 5, 3, 0}, {0, 15},
     {{0x646C, 0x5630, 0x0D8A}, {0x646C, 0x5630, 0x0D8A},
      {0x647F, 0x5630, 0x0D9C}, {0x63DF, 0x5601, 0x0E13}}},
    {14, false, 19, {223, 365, 187, 0, 21, 24, 5, 30, 17, 12, 15, 0},
     {0, 4, 0, 2, 6, 0, 6, 0, 4, 4, 3, 1, 2, 6, 5, 7}, {0, 2},
     {{0x3621, 0x5885, 0x2D69}, {0x3621, 0x5885, 0x2D69},
      {0x3621, 0x5765, 0x2C97}, {0x3621, 0x55DB, 0x2B79}}},
    {18, false, 9, {145, 74, 22, 54, 8, 1, 29, 5, 1, 5, 8, 23},
     {0, 6, 7, 0, 0, 3, 7, 4, 0, 7, 1, 1, 1, 7, 4, 0}, {0, 15},
     {{0x467A, 0x2416, 0x0AE6}, {0x4F9E, 0x271E, 0x0956},
      {0x52E3, 0x26B6, 0x0AB3}, {0x5486, 0x2682, 0x0B62}}},
    {22, false, 16, {120, 105, 118, 29, 63, 24, 4, 61, 18, 2, 25, 4},
     {1, 5, 4, 4, 2, 0, 7, 0, 7, 4, 1, 3, 7, 4, 4, 3}, {0, 15},
     {{0x3A29, 0x3308, 0x38DA}, {0x3A5E, 0x331A, 0x3966},
      {0x3C2B, 0x338E, 0x33D7}, {0x3BE5, 0x375E, 0x364B}}},
    {26, false, 29, {238, 60, 102, 19, 5, 60, 1, 18, 58, 4, 28, 34},
     {3, 3, 3, 1, 1, 2, 4, 5, 1, 4, 1, 5, 3, 7, 7, 6}, {0, 8},
     {{0x70DD, 0x1E53, 0x30D4}, {0x746A, 0x17E2, 0x2B79},
      {0x7436, 0x1734, 0x2D1B}, {0x6E1C, 0x1F62, 0x2FFB}}},
    {30, false, 1, {20, 0, 62, 57, 51, 38, 18, 53, 44, 48, 40, 15},
     {2, 0, 5, 5, 6, 1, 3, 0, 4, 4, 5, 1, 6, 6, 1, 2}, {0, 15},
     {{0x3BE1, 0x1C10, 0x6C04}, {0x31CC, 0x0E08, 0x728E},
      {0x5B3E, 0x47B7, 0x57AC}, {0x3431, 0x6092, 0x466A}}},
    {3, false, 0, {1023, 563, 98, 574, 208, 105, 0, 0, 0, 0, 0, 0},
     {4, 4, 7, 8, 13, 10, 6, 11, 13, 0, 12, 6, 2, 1, 13, 14}, {0},
     {{0x6D8A, 0x38D1, 0x0C27}, {0x576D, 0x275A, 0x0C7F},
      {0x509F, 0x21FA, 0x0C9A}, {0x48F8, 0x1BEF, 0x0CB8}}},
    {7, false, 0, {567, 1172, 1988, 50, 130, 174, 0, 0, 0, 0, 0, 0},
     {7, 13, 10, 9, 9, 8, 8, 12, 7, 9, 15, 12, 3, 5, 5, 2}, {0},
     {{0x23C7, 0x4AAE, 0x4335}, {0x23F7, 0x4B2C, 0x3C1E},
      {0x2563, 0x4EDC, 0x06EE}, {0x22C9, 0x4819, 0x6871}}},
    {11, false, 0, {1702, 4072, 1802, 231, 170, 230, 0, 0, 0, 0, 0, 0},
     {6, 4, 6, 7, 2, 5, 10, 2, 10, 7, 11, 8, 6, 0, 13, 12}, {0},
     {{0x333B, 0x7A3B, 0x363F}, {0x334A, 0x7A6F, 0x364F},
      {0x32FB, 0x7960, 0x35FD}, {0x32EF, 0x7937, 0x35F1}}},
    {15, false, 0, {18408, 27525, 49396, 8, 10, 1, 0, 0, 0, 0, 0, 0},
     {7, 8, 11, 4, 6, 2, 8, 7, 12, 12, 14, 13, 9, 0, 4, 1}, {0},
     {{0x22D2, 0x3412, 0x5D76}, {0x22D3, 0x3413, 0x5D76},
      {0x22D0, 0x3411, 0x5D76}, {0x22D4, 0x3414, 0x5D76}}},
    {1, true, 27, {121, 125, 0, 9, 50, 59, 57, 31, 13, 28, 19, 19},
     {0, 7, 0, 0, 0, 2, 3, 0, 4, 2, 4, 6, 1, 1, 1, 4}, {0, 2},
     {{0x8E88, 0x86C8, 0x0000}, {0x887A, 0x30AE, 0x1D6D},
      {0x0C3B, 0x29C7, 0x20E0}, {0x8354, 0x9676, 0x8629}}},
    {11, true, 0, {1570, 3179, 2137, 114, 0, 5, 0, 0, 0, 0, 0, 0},
     {4, 14, 8, 10, 7, 15, 7, 7, 0, 13, 9, 1, 0, 6, 15, 13}, {0},
     {{0x60EC, 0xB78D, 0xF68F}, {0x65FD, 0xB78D, 0xF656},
      {0x632F, 0xB78D, 0xF675}, {0x6505, 0xB78D, 0xF661}}},
    {3, true, 0, {166, 526, 466, 869, 758, 464, 0, 0, 0, 0, 0, 0},
     {7, 1, 10, 13, 11, 12, 6, 0, 9, 2, 6, 15, 6, 9, 6, 7}, {0},
     {{0x03C4, 0xDE64, 0x70C0}, {0x95D1, 0xCBF4, 0x7098},
      {0x08A4, 0xE1E7, 0x70C8}, {0x03C4, 0xDE64, 0x70C0}}},
    {30, true, 29, {28, 33, 37, 13, 63, 23, 28, 62, 53, 7, 18, 50},
     {0, 3, 0, 2, 6, 0, 0, 2, 3, 7, 5, 1, 1, 2, 5, 3}, {0, 8},
     {{0x6E70, 0xFBFF, 0xEA90}, {0x6E70, 0x89B0, 0xAC90},
      {0x33F3, 0x30CD, 0xB4EB}, {0x55EA, 0xCA22, 0x9730}}},
    {15, true, 0, {18171, 61291, 4180, 9, 12, 11, 0, 0, 0, 0, 0, 0},
     {5, 14, 5, 3, 0, 2, 8, 2, 11, 13, 3, 6, 12, 11, 9, 13}, {0},
     {{0x44C1, 0x9011, 0x0FCF}, {0x44C2, 0x9011, 0x0FD0},
      {0x44C2, 0x9011, 0x0FD0}, {0x44BD, 0x9013, 0x0FCD}}},
};
// clang-format on

class BC6HBlocks : public ::testing::TestWithParam<BC6HCase> {};

TEST_P(BC6HBlocks, GiveTheirHalves) {
    const BC6HCase& c = GetParam();
    BC6HFields f;
    f.mode = c.mode;
    f.partition = c.partition;
    std::memcpy(f.value, c.value, sizeof f.value);
    std::memcpy(f.index, c.index, 16);
    f.anchors = c.anchors;
    const std::vector<uint8_t> block = testkit::EncodeBC6H(f);
    uint16_t halves[16][3];
    DecodeBC6HBlock(halves, block.data(), c.isSigned);
    const int checked[4] = {0, 5, 10, 15};
    for (int k = 0; k < 4; ++k)
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_EQ(halves[checked[k]][ch], c.halves[k][ch])
                << "pixel " << checked[k] << " channel " << ch;
}

INSTANTIATE_TEST_SUITE_P(Modes, BC6HBlocks, ::testing::ValuesIn(kBC6HCases));

// ---- reserved modes
// ------------------------------------------------------------------------------

struct ReservedCase {
    bool bc7;
    uint8_t low; // the block's first byte; the others are random
    uint32_t pixel;
};

const ReservedCase kReservedCases[] = {
    {true, 0x00, 0x00000000},  // BC7 without a mode: transparent black
    {false, 0x13, 0xFF000000}, // BC6H modes 19, 23, 27, 31: 0, alpha 1
    {false, 0x17, 0xFF000000}, {false, 0x1B, 0xFF000000}, {false, 0xFF, 0xFF000000},
};

class ReservedModes : public ::testing::TestWithParam<ReservedCase> {};

TEST_P(ReservedModes, DecodeAsZero) {
    const ReservedCase c = GetParam();
    std::mt19937 rng(c.low);
    uint8_t block[16];
    for (uint8_t& b : block) b = uint8_t(rng());
    block[0] = c.low;
    uint32_t pixels[16];
    for (bool isSigned : {false, true}) {
        std::memset(pixels, 0x55, sizeof pixels);
        if (c.bc7) {
            DecodeBC7Block(pixels, block, 4);
        } else {
            DecodeBC6HPixels(pixels, block, 4, isSigned);
            uint16_t halves[16][3];
            DecodeBC6HBlock(halves, block, isSigned);
            for (const auto& h : halves) EXPECT_EQ(h[0] | h[1] | h[2], 0);
        }
        for (uint32_t p : pixels) EXPECT_EQ(p, c.pixel);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReservedModes, ::testing::ValuesIn(kReservedCases));

// ---- BC6H display pixels are HalfToByte of the halves
// ---------------------------------------------

class BC6HPixels : public ::testing::TestWithParam<bool> {};

// Random blocks of every mode, both signednesses (Pillow shows signed values its own way), and a
// run of blocks side by side.
TEST_P(BC6HPixels, AreTheHalvesThroughHalfToByte) {
    const bool isSigned = GetParam();
    std::mt19937 rng(isSigned ? 17 : 16);
    const uint32_t count = 512, width = 4 * count;
    std::vector<uint8_t> blocks(16 * count);
    for (uint8_t& b : blocks) b = uint8_t(rng());
    std::vector<uint32_t> image(size_t(width) * 4);
    DecodeBC6HBlocks(image.data(), blocks.data(), count, width, isSigned);
    for (uint32_t k = 0; k < count; ++k) {
        uint16_t halves[16][3];
        DecodeBC6HBlock(halves, &blocks[16 * k], isSigned);
        for (uint32_t i = 0; i < 16; ++i) {
            const uint32_t want = 0xFF000000u | uint32_t(HalfToByte(halves[i][0])) << 16 |
                                  uint32_t(HalfToByte(halves[i][1])) << 8 |
                                  HalfToByte(halves[i][2]);
            ASSERT_EQ(image[(i / 4) * width + 4 * k + i % 4], want)
                << "block " << k << " pixel " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Signedness, BC6HPixels, ::testing::Bool());

// HalfToByte is UnitToByte(HalfToFloat(h)): 1.0 and above 255 (NaN too), 0.5 127, negatives 0.
struct HalfCase {
    uint16_t half;
    uint8_t byte;
};
const HalfCase kHalfCases[] = {{0x3C00, 255}, {0x3800, 127}, {0x3BFF, 254}, {0x7BFF, 255},
                               {0x0001, 0},   {0xBC00, 0},   {0x2C00, 15},  {0x7E00, 255}};

class HalfBytes : public ::testing::TestWithParam<HalfCase> {};

TEST_P(HalfBytes, ClampAndTruncate) {
    EXPECT_EQ(HalfToByte(GetParam().half), GetParam().byte);
}

INSTANTIATE_TEST_SUITE_P(Cases, HalfBytes, ::testing::ValuesIn(kHalfCases));

} // namespace
