// Composition: conversions, the three views of every format, row order, progress, bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "BcnEncoder.h"
#include "DdsBuilder.h"
#include "dds/AlphaMode.h"
#include "dds/DdsTexture.h"
#include "dds/DdsFormat.h"
#include "decode/Compose.h"
#include "decode/DxgiPixels.h"
#include "decode/FloatRange.h"
#include "decode/PixelConvert.h"
#include "decode/RowBands.h"
#include "decode/TexelValue.h"
#include "io/Progress.h"

namespace {

std::vector<uint8_t> U16(std::vector<uint16_t> values) {
    std::vector<uint8_t> out;
    for (uint16_t v : values) testkit::Put16(out, v);
    return out;
}
std::vector<uint8_t> U32(uint32_t value) {
    std::vector<uint8_t> out;
    testkit::Put32(out, value);
    return out;
}
std::vector<uint8_t> F32(std::vector<float> values) {
    std::vector<uint8_t> out;
    for (float v : values) testkit::PutFloat(out, v);
    return out;
}
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// The progress function of the running test (null: report nothing).
ProgressCallback g_progress = nullptr;

struct Masks {
    uint32_t bits, red, green, blue, alpha;
    uint32_t flags = 0; // the pixel format's dwFlags
};

// Makes `tex` hold `size` bytes of `raw` as a width x height surface of `format`, decoded.
void HoldSurface(CDdsTexture& tex, int32_t format, const Masks& m, bool hasAlpha, uint32_t width,
                 uint32_t height, const uint8_t* raw, uint32_t size) {
    tex.FreeBuffers();
    tex.m_Header.ddspf = {32, m.flags, 0, m.bits, m.red, m.green, m.blue, m.alpha};
    tex.m_Header.dwWidth = width;
    tex.m_Header.dwHeight = height;
    tex.m_nFormat = format;
    tex.m_nWidth = int32_t(width);
    tex.m_nHeight = int32_t(height);
    tex.m_bHasAlpha = hasAlpha;
    ASSERT_TRUE(tex.AllocRaw(size, size));
    if (size) std::memcpy(tex.m_pRawData, raw, size);
    tex.DecodeSurface(g_progress);
}

// A record holding `raw` as its surface, decoded.
struct Surface {
    CFileEx reader;
    CDdsTexture tex{reader};
    Surface(int32_t format, const Masks& m, bool hasAlpha, uint32_t width, uint32_t height,
            const std::vector<uint8_t>& raw, bool exact = false) {
        tex.m_bExact = exact;
        HoldSurface(tex, format, m, hasAlpha, width, height, raw.data(), uint32_t(raw.size()));
    }
    std::vector<uint32_t> Compose(int32_t mode, uint32_t bgRgb = 0) {
        tex.DecodeAndCompose(mode, uint8_t(bgRgb >> 16), uint8_t(bgRgb >> 8), uint8_t(bgRgb),
                             g_progress);
        const size_t pixels = size_t(tex.m_Header.dwWidth) * tex.m_Header.dwHeight;
        return std::vector<uint32_t>(tex.m_pDisplayImage, tex.m_pDisplayImage + pixels);
    }
};

constexpr Masks kNone = {0, 0, 0, 0, 0};
constexpr Masks kR5G6B5 = {16, 0xF800, 0x07E0, 0x001F, 0};
constexpr Masks kX1R5G5B5 = {16, 0x7C00, 0x03E0, 0x001F, 0};
constexpr Masks kA1R5G5B5 = {16, 0x7C00, 0x03E0, 0x001F, 0x8000};
constexpr Masks kA4R4G4B4 = {16, 0x0F00, 0x00F0, 0x000F, 0xF000};
constexpr Masks kA8 = {8, 0, 0, 0, 0xFF};
constexpr Masks kR8G8B8 = {24, 0xFF0000, 0xFF00, 0xFF, 0};
constexpr Masks kA8R8G8B8 = {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000};
constexpr Masks kU8V8 = {16, 0xFF, 0xFF00, 0, 0};
constexpr Masks kX8R8G8B8 = {32, 0xFF0000, 0xFF00, 0xFF, 0};
constexpr Masks kA8B8G8R8 = {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000};
constexpr Masks kA2R10G10B10 = {32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000};
constexpr Masks kG16R16 = {32, 0xFFFF, 0xFFFF0000, 0, 0};
constexpr Masks kR3G3B2 = {8, 0xE0, 0x1C, 0x03, 0};
constexpr Masks kA8R3G3B2 = {16, 0xE0, 0x1C, 0x03, 0xFF00};
constexpr Masks kR8 = {8, 0xFF, 0, 0, 0};
constexpr Masks kA8L8 = {16, 0xFF, 0, 0, 0xFF00, dds::DDPF_LUMINANCE};
constexpr Masks kA4L4 = {8, 0x0F, 0, 0, 0xF0, dds::DDPF_LUMINANCE};
// 8-bit luminance with its masks above its 8 bits, as some writers store it
constexpr Masks kL8High = {8, 0xFF000000, 0xFF000000, 0xFF000000, 0, dds::DDPF_LUMINANCE};
constexpr Masks k16 = {16, 0, 0, 0, 0}, k32 = {32, 0, 0, 0, 0}, k64 = {64, 0, 0, 0, 0},
                k128 = {128, 0, 0, 0, 0};

// ---- conversions
// ---------------------------------------------------------------------------------

TEST(Convert, HalfToFloatRebiasesWithoutSpecialCases) {
    const struct {
        uint16_t half;
        uint32_t bits;
    } cases[] = {
        {0x3C00, 0x3F800000}, // 1.0
        {0x3800, 0x3F000000}, // 0.5
        {0x0000, 0x38000000}, // zero comes out as 2^-15
        {0x7E00, 0x47C00000}, // a NaN comes out as 98304
        {0x8000, 0xC8000000}, // the sign lands in the exponent too
        {0xFFFF, 0xD7FFE000},
    };
    for (const auto& c : cases) {
        const float f = HalfToFloat(c.half);
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        EXPECT_EQ(bits, c.bits) << std::hex << c.half;
    }
}

TEST(Convert, UnitToByteClampsAndTruncates) {
    const struct {
        float x;
        uint8_t byte;
    } cases[] = {{0.5f, 127},
                 {0.999f, 254},
                 {1.0f, 255},
                 {2.0f, 255},
                 {-2.0f, 0},
                 {0.0f, 0},
                 {kNaN, 0},
                 {kInf, 255},
                 {-kInf, 0},
                 {HalfToFloat(0x3800), 127},
                 {HalfToFloat(0x3C00), 255},
                 {HalfToFloat(0x7E00), 255},
                 {HalfToFloat(1), 0}};
    for (const auto& c : cases) EXPECT_EQ(UnitToByte(c.x), c.byte) << c.x;
}

TEST(Convert, DivideBy255ExactOverItsRange) {
    for (uint32_t x = 0; x <= kDivideBy255Limit; ++x) ASSERT_EQ(DivideBy255(x), x / 255) << x;
    EXPECT_GE(kDivideBy255Limit, 255u * 255);
}

TEST(Convert, BlendRowMatchesIntegerDivisionForEveryColourAndAlpha) {
    // Alpha and green i >> 8, red and blue i & 255; the last 3 pixels again on their own (the
    // pixel-by-pixel tail of the row kernel).
    std::vector<uint32_t> src(65536), dest(65539);
    for (uint32_t i = 0; i < 65536; ++i) src[i] = (i >> 8) * 0x01000100u + (i & 255) * 0x10001u;
    for (uint32_t bg : {0u, 1u, 128u, 254u, 255u}) {
        BlendWorkRow(dest.data(), src.data(), 65536, uint8_t(bg), uint8_t(255 - bg), uint8_t(bg));
        BlendWorkRow(&dest[65536], &src[65533], 3, uint8_t(bg), uint8_t(255 - bg), uint8_t(bg));
        for (uint32_t j = 0; j < 65539; ++j) {
            const uint32_t i = j < 65536 ? j : j - 3, a = i >> 8, c = i & 255;
            const uint32_t b = (c * a + bg * (255 - a)) / 255;
            const uint32_t g = (a * a + (255 - bg) * (255 - a)) / 255;
            ASSERT_EQ(dest[j], a << 24 | b << 16 | g << 8 | b) << i << " bg " << bg;
        }
    }
}

TEST(Convert, FloatBlendGivesBackgroundAtAlphaZeroAndColourAtOne) {
    for (uint32_t bg = 0; bg < 256; ++bg) {
        ASSERT_EQ(BlendUnit(0.0f, 0.7f, BackgroundUnit(uint8_t(bg))), bg);
        ASSERT_EQ(BlendUnit(1.0f, bg / 255.0f, BackgroundUnit(0)), UnitToByte(bg / 255.0f));
    }
}

// ---- one pixel of every format in every view
// --------------------------------------------------------

struct PixelCase {
    const char* name;
    int32_t format;
    Masks masks;
    bool hasAlpha;
    std::vector<uint8_t> raw;
    int32_t mode;
    uint32_t background; // 0xRRGGBB
    uint32_t display;    // 0xAARRGGBB; 0 where the view composes nothing
    bool exact = false;  // GPU-exact colours
};
void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.name;
}
class OnePixel : public ::testing::TestWithParam<PixelCase> {};
TEST_P(OnePixel, Display) {
    const PixelCase& c = GetParam();
    Surface s(c.format, c.masks, c.hasAlpha, 1, 1, c.raw, c.exact);
    EXPECT_EQ(s.Compose(c.mode, c.background)[0], c.display) << std::hex << s.Compose(c.mode)[0];
}
const std::vector<uint8_t> kCyanTexel = {0, 0, 0, 0, 3, 3, 3, 3}; // three-colour, index 3
const std::vector<uint8_t> kBgra = {200, 100, 50, 128};
const PixelCase kPixels[] = {
    // 16-bit masks: each channel's bits at the top of its byte
    {"R5G6B5_White", TF_RGB, kR5G6B5, false, U16({0xFFFF}), COMPOSE_COLOR, 0, 0xFFF8FCF8},
    {"X1R5G5B5_White", TF_RGB, kX1R5G5B5, false, U16({0x7FFF}), COMPOSE_COLOR, 0, 0xFFF8F8F8},
    {"A4R4G4B4_Color", TF_RGB, kA4R4G4B4, true, U16({0x8F00}), COMPOSE_COLOR, 0, 0x88F00000},
    {"A4R4G4B4_Blend", TF_RGB, kA4R4G4B4, true, U16({0x8F00}), COMPOSE_BLEND, 0, 0x88800000},
    {"A4R4G4B4_Alpha", TF_RGB, kA4R4G4B4, true, U16({0x8F00}), COMPOSE_ALPHA, 0, 0x88888888},
    {"A1R5G5B5_Opaque", TF_RGB, kA1R5G5B5, true, U16({0xFC00}), COMPOSE_BLEND, 0x0A141E,
     0xFFF80000},
    {"A1R5G5B5_Clear", TF_RGB, kA1R5G5B5, true, U16({0x7C00}), COMPOSE_BLEND, 0x0A141E, 0x000A141E},
    {"AlphaMask0_Blend", TF_RGB, kR5G6B5, true, U16({0xFFFF}), COMPOSE_BLEND, 0, 0xFFF8FCF8},
    {"AlphaMask0_Alpha", TF_RGB, kR5G6B5, true, U16({0xFFFF}), COMPOSE_ALPHA, 0, 0xFFFFFFFF},
    // 8 and 24 bits
    {"A8_Color", TF_RGB, kA8, true, {0x40}, COMPOSE_COLOR, 0, 0xFF404040},
    {"A8_BlendBlack", TF_RGB, kA8, true, {0x40}, COMPOSE_BLEND, 0, 0x40404040},
    {"A8_Blend", TF_RGB, kA8, true, {0x40}, COMPOSE_BLEND, 0x0A141E, 0x40474E56},
    {"A8_Alpha", TF_RGB, kA8, true, {0x40}, COMPOSE_ALPHA, 0, 0x40404040},
    {"R8G8B8", TF_RGB, kR8G8B8, false, {1, 2, 3}, COMPOSE_BLEND, 0, 0xFF030201},
    {"R8G8B8_AlphaFlag_Blend", TF_RGB, kR8G8B8, true, {1, 2, 3}, COMPOSE_BLEND, 0, 0xFF030201},
    // Every layout through its masks: channels shifted down, n <= 8 bits at the top of the byte,
    // wider ones their top 8 bits; alpha v x 255 / (2^n - 1); luminance grey.
    {"A8B8G8R8", TF_RGB, kA8B8G8R8, true, {1, 2, 3, 4}, COMPOSE_COLOR, 0, 0x04010203},
    {"A2R10G10B10", TF_RGB, kA2R10G10B10, true, U32(0xE00FFC01), COMPOSE_COLOR, 0, 0xFF80FF00},
    {"G16R16", TF_RGB, kG16R16, false, U32(0x12345678), COMPOSE_COLOR, 0, 0xFF561200},
    {"R3G3B2", TF_RGB, kR3G3B2, false, {0x6D}, COMPOSE_COLOR, 0, 0xFF606040},
    {"A8R3G3B2", TF_RGB, kA8R3G3B2, true, U16({0x80E3}), COMPOSE_BLEND, 0, 0x80700060},
    {"A8L8", TF_RGB, kA8L8, true, U16({0x40C0}), COMPOSE_COLOR, 0, 0x40C0C0C0},
    {"A4L4", TF_RGB, kA4L4, true, {0x5A}, COMPOSE_ALPHA, 0, 0x55555555},
    {"L8_MasksAbove", TF_RGB, kL8High, false, {0x40}, COMPOSE_COLOR, 0, 0xFF404040},
    {"Exact_L8_MasksAbove", TF_RGB, kL8High, false, {0x40}, COMPOSE_COLOR, 0, 0xFF404040, true},
    // GPU-exact: round(v x 255 / (2^n - 1)) for every channel; A8 black, R8 red
    {"Exact_R5G6B5", TF_RGB, kR5G6B5, false, U16({0x1FE3}), COMPOSE_COLOR, 0, 0xFF19FF19, true},
    {"Exact_A4R4G4B4", TF_RGB, kA4R4G4B4, true, U16({0x8F00}), COMPOSE_BLEND, 0, 0x88880000, true},
    {"Exact_A2R10G10B10", TF_RGB, kA2R10G10B10, true, U32(0x80300C01), COMPOSE_COLOR, 0, 0xAA010100,
     true},
    {"Exact_A8_Color", TF_RGB, kA8, true, {0x40}, COMPOSE_COLOR, 0, 0x40000000, true},
    {"Exact_R8", TF_RGB, kR8, false, {0x40}, COMPOSE_COLOR, 0, 0xFF400000, true},
    {"Exact_Dxt1Clear_Color", TF_DXT1, kNone, true, kCyanTexel, COMPOSE_COLOR, 0x0A141E, 0, true},
    // 32 bits, from the work image
    {"A8R8G8B8_Color", TF_RGB, kA8R8G8B8, true, kBgra, COMPOSE_COLOR, 0xFF, 0x803264C8},
    {"A8R8G8B8_Blend", TF_RGB, kA8R8G8B8, true, kBgra, COMPOSE_BLEND, 0xFF, 0x801932E3},
    {"A8R8G8B8_Alpha", TF_RGB, kA8R8G8B8, true, kBgra, 7, 0xFF, 0x80808080},
    {"X8R8G8B8_Blend", TF_RGB, kA8R8G8B8, false, kBgra, COMPOSE_BLEND, 0xFF, 0x803264C8},
    {"X8R8G8B8_Opaque", TF_RGB, kX8R8G8B8, false, kBgra, COMPOSE_COLOR, 0, 0xFF3264C8},
    // bump: always the colour view
    {"U8V8_Color", TF_BUMP_UVW, kU8V8, true, {0x80, 0x7F}, COMPOSE_COLOR, 0, 0xFF807FFF},
    {"U8V8_Blend", TF_BUMP_UVW, kU8V8, true, {0x80, 0x7F}, COMPOSE_BLEND, 0, 0xFF807FFF},
    {"U8V8_Alpha", TF_BUMP_UVW, kU8V8, true, {0x80, 0x7F}, COMPOSE_ALPHA, 0, 0xFF807FFF},
    // DXT1's transparent texel: cyan, the background exactly, black
    {"Dxt1Cyan_Color", TF_DXT1, kNone, true, kCyanTexel, COMPOSE_COLOR, 0x0A141E, 0x0000FFFF},
    {"Dxt1Cyan_Blend", TF_DXT1, kNone, true, kCyanTexel, COMPOSE_BLEND, 0x0A141E, 0x000A141E},
    {"Dxt1Cyan_Alpha", TF_DXT1, kNone, true, kCyanTexel, COMPOSE_ALPHA, 0x0A141E, 0},
    // 32-bit floats: missing channels 255, alpha not shown in colour
    {"R32F_Half", TF_FLOAT32, k32, false, F32({0.5f}), COMPOSE_COLOR, 0, 0xFF7FFFFF},
    {"R32F_Negative", TF_FLOAT32, k32, false, F32({-2.0f}), COMPOSE_COLOR, 0, 0xFF00FFFF},
    {"R32F_NaN", TF_FLOAT32, k32, false, F32({kNaN}), COMPOSE_COLOR, 0, 0xFF00FFFF},
    {"R32F_AlphaFlag_Alpha", TF_FLOAT32, k32, true, F32({0.5f}), COMPOSE_ALPHA, 0, 0},
    {"G32R32F", TF_FLOAT32, k64, false, F32({0.5f, 0.25f}), COMPOSE_COLOR, 0, 0xFF7F3FFF},
    {"ABGR32F_Color", TF_FLOAT32, k128, true, F32({1, 0.5f, 0.25f, 0}), COMPOSE_COLOR, 0,
     0xFFFF7F3F},
    {"ABGR32F_Blend", TF_FLOAT32, k128, true, F32({0.25f, 0.25f, 0.25f, 0.5f}), COMPOSE_BLEND,
     0xFF8000, 0x7F9F5F1F},
    // single precision would give 131
    {"ABGR32F_BlendInDouble", TF_FLOAT32, k128, true, F32({1, 1, 1, 0.25f}), COMPOSE_BLEND,
     0x5B5B5B, 0x3F848484},
    {"ABGR32F_Alpha", TF_FLOAT32, k128, true, F32({1, 1, 1, 0.5f}), COMPOSE_ALPHA, 0, 0x7F7F7F7F},
    // 16-bit floats
    {"R16F_Half", TF_FLOAT16, k16, false, U16({0x3800}), COMPOSE_COLOR, 0, 0xFF7FFFFF},
    {"R16F_NaN", TF_FLOAT16, k16, false, U16({0x7E00}), COMPOSE_COLOR, 0, 0xFFFFFFFF},
    {"R16F_MinusOne", TF_FLOAT16, k16, false, U16({0xBC00}), COMPOSE_COLOR, 0, 0xFF00FFFF},
    {"G16R16F_Blend", TF_FLOAT16, k32, true, U16({0x3C00, 0x3C00}), COMPOSE_BLEND, 0, 0},
    {"ABGR16F_Color", TF_FLOAT16, k64, true, U16({0x3C00, 0x3800, 0, 0}), COMPOSE_COLOR, 0,
     0xFFFF7F00},
    {"ABGR16F_Alpha", TF_FLOAT16, k64, true, U16({0, 0, 0, 0x3800}), COMPOSE_ALPHA, 0, 0x7F7F7F7F},
    {"ABGR16F_Blend", TF_FLOAT16, k64, true, U16({0x3400, 0x3400, 0x3400, 0x3800}), COMPOSE_BLEND,
     0xFF8000, 0x7F9F5F1F},
};
INSTANTIATE_TEST_SUITE_P(Formats, OnePixel, ::testing::ValuesIn(kPixels),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the viewer's extras: one channel as grey, exposure of float surfaces ---------------------

struct ExtraCase {
    const char* name;
    int32_t format;
    Masks masks;
    bool hasAlpha;
    std::vector<uint8_t> raw;
    int32_t mode, channel, exposure;
    uint32_t background, display;
};
void PrintTo(const ExtraCase& c, std::ostream* os) {
    *os << c.name;
}
class Extras : public ::testing::TestWithParam<ExtraCase> {};
TEST_P(Extras, Display) {
    const ExtraCase& c = GetParam();
    Surface s(c.format, c.masks, c.hasAlpha, 1, 1, c.raw);
    s.tex.m_nChannel = c.channel;
    s.tex.m_nExposure = c.exposure;
    EXPECT_EQ(s.Compose(c.mode, c.background)[0], c.display) << std::hex << s.Compose(c.mode)[0];
}
const ExtraCase kExtras[] = {
    // a channel as the colour view has it, never blended; alpha as the alpha view has it
    {"Red", TF_RGB, kA8R8G8B8, true, kBgra, COMPOSE_BLEND, CHANNEL_RED, 0, 0xFF, 0xFF323232},
    {"Green", TF_RGB, kA8R8G8B8, true, kBgra, COMPOSE_ALPHA, CHANNEL_GREEN, 0, 0, 0xFF646464},
    {"Blue", TF_RGB, kA8R8G8B8, true, kBgra, COMPOSE_COLOR, CHANNEL_BLUE, 0, 0, 0xFFC8C8C8},
    {"Alpha", TF_RGB, kA8R8G8B8, true, kBgra, COMPOSE_COLOR, CHANNEL_ALPHA, 0, 0, 0x80808080},
    {"A4R4G4B4_Red", TF_RGB, kA4R4G4B4, true, U16({0x8F00}), COMPOSE_BLEND, CHANNEL_RED, 0, 0,
     0xFFF0F0F0},
    {"NoAlpha_Alpha", TF_RGB, kR8G8B8, false, kBgra, COMPOSE_BLEND, CHANNEL_ALPHA, 0, 0,
     0xFFFFFFFF},
    {"Bump_Alpha", TF_BUMP_UVW, kU8V8, true, U16({0x7F80}), COMPOSE_BLEND, CHANNEL_ALPHA, 0, 0,
     0xFFFFFFFF},
    // exposure: x 2 per stop before the clamp, colour channels only, float formats only
    {"Half_Up", TF_FLOAT16, k64, true, U16({0x3400, 0x3800, 0x3C00, 0}), COMPOSE_COLOR, 0, 1, 0,
     0xFF7FFFFF},
    {"Half_Down", TF_FLOAT16, k64, true, U16({0x3400, 0x3800, 0x3C00, 0}), COMPOSE_COLOR, 0, -1, 0,
     0xFF1F3F7F},
    {"Half_UpRed", TF_FLOAT16, k64, true, U16({0x3400, 0x3800, 0x3C00, 0}), COMPOSE_COLOR,
     CHANNEL_RED, 1, 0, 0xFF7F7F7F},
    {"R32F_Down", TF_FLOAT32, k32, false, F32({0.5f}), COMPOSE_COLOR, 0, -1, 0, 0xFF3FFFFF},
    {"Float_Blend", TF_FLOAT32, k128, true, F32({0.25f, 0.25f, 0.25f, 0.5f}), COMPOSE_BLEND, 0, 1,
     0xFF8000, 0x7FBF7F3F},
    {"Float_AlphaKept", TF_FLOAT32, k128, true, F32({1, 1, 1, 0.5f}), COMPOSE_ALPHA, 0, 3, 0,
     0x7F7F7F7F},
    {"Bytes_Ignore", TF_RGB, kA8R8G8B8, true, kBgra, COMPOSE_COLOR, 0, 2, 0, 0x803264C8},
};
INSTANTIATE_TEST_SUITE_P(Views, Extras, ::testing::ValuesIn(kExtras),
                         [](const auto& info) { return std::string(info.param.name); });

// BC6H keeps only clamped bytes in the work image: an exposure decodes its halves again.
TEST(Extras, Bc6hExposureFromTheHalves) {
    testkit::BC6HFields f;
    f.mode = 15;
    const uint32_t values[12] = {18171, 61291, 4180, 9, 12, 11};
    std::memcpy(f.value, values, sizeof values);
    Surface s(TF_BC6H_SF16, kNone, false, 4, 4, testkit::EncodeBC6H(f));
    EXPECT_EQ(s.Compose(COMPOSE_COLOR)[12], 0xFFFF0000u); // red 4.75 (0x44C1)
    s.tex.m_nExposure = -3;
    EXPECT_EQ(s.Compose(COMPOSE_COLOR)[12], 0xFF970000u); // 4.75 / 8 x 255 = 151.5
    EXPECT_EQ(ExposureFactor(kMaxExposure + 5), 65536.0f);
    // A row of another width than a multiple of 4 ends in a partial block.
    std::vector<uint8_t> two = testkit::EncodeBC6H(f);
    two.insert(two.end(), two.begin(), two.end());
    Surface wide(TF_BC6H_SF16, kNone, false, 6, 4, two);
    wide.tex.m_nExposure = -3;
    EXPECT_EQ(wide.Compose(COMPOSE_COLOR)[3 * 6 + 4], 0xFF970000u);
}

// ---- the texel readout: stored values ---------------------------------------------------------

struct TexelCase {
    const char* name;
    int32_t format;
    Masks masks;
    uint32_t dxgi, size;
    std::vector<uint8_t> raw;
    int32_t x;
    const char* text;
};
void PrintTo(const TexelCase& c, std::ostream* os) {
    *os << c.name;
}
class Texel : public ::testing::TestWithParam<TexelCase> {};
TEST_P(Texel, Values) {
    const TexelCase& c = GetParam();
    Surface s(c.format, c.masks, true, c.size, c.size, c.raw);
    s.tex.m_Dx10.dxgiFormat = c.dxgi;
    EXPECT_EQ(TexelValues(s.tex, c.x, 0), c.text);
}
std::vector<uint8_t> Block(uint32_t mode, std::vector<uint32_t> values) {
    testkit::BC6HFields f;
    f.mode = mode;
    std::copy(values.begin(), values.end(), f.value);
    return testkit::EncodeBC6H(f);
}
const TexelCase kTexels[] = {
    {"A8R8G8B8", TF_RGB, kA8R8G8B8, 0, 1, kBgra, 0, "R 50 G 100 B 200 A 128"},
    {"R5G6B5", TF_RGB, kR5G6B5, 0, 1, U16({0xFFFF}), 0, "R 31 G 63 B 31"},
    {"A2R10G10B10", TF_RGB, kA2R10G10B10, 0, 1, U32(0xBFF80001), 0, "R 1023 G 512 B 1 A 2"},
    {"A8", TF_RGB, kA8, 0, 1, {0x40}, 0, "A 64"},
    {"U8V8", TF_BUMP_UVW, kU8V8, 0, 1, {0x80, 0x7F}, 0, "U -128 V 127"},
    {"R16F_Subnormal", TF_FLOAT16, k16, 0, 1, U16({0x0001}), 0, "R 5.96e-08"},
    {"ABGR16F", TF_FLOAT16, k64, 0, 1, U16({0x3C00, 0xBC00, 0x7C00, 0x3555}), 0,
     "R 1 G -1 B inf A 0.3333"},
    {"R32F", TF_FLOAT32, k32, 0, 1, F32({1 / 3.0f}), 0, "R 0.3333"},
    {"Dxgi_RGBA16", TF_DXGI_PIXELS, kNone, 11, 1, U16({0x0201, 0x0403, 0x0605, 0x0807}), 0,
     "R 513 G 1027 B 1541 A 2055"},
    {"Dxgi_RGB10A2", TF_DXGI_PIXELS, kNone, 24, 1, U32(0x801803FF), 0, "R 1023 G 512 B 1 A 2"},
    {"Dxgi_RG16F", TF_DXGI_PIXELS, kNone, 34, 1, U16({0x3800, 0xC000}), 0, "R 0.5 G -2"},
    {"Dxgi_RGB9E5", TF_DXGI_PIXELS, kNone, 67, 1, U32(0x8803FF00), 0, "R 2 G 3.992 B 0"},
    {"Dxt1_Decoded", TF_DXT1, kNone, 0, 4, kCyanTexel, 0, "R 0 G 255 B 255 A 0"},
    {"Bc6h", TF_BC6H_SF16, kNone, 0, 4, Block(15, {18171, 61291, 4180, 9, 12, 11}), 0,
     "R 4.762 G -0.0004959 B 0.0004771"},
    {"Outside", TF_RGB, kA8, 0, 1, {0x40}, 1, ""},
    {"BeyondTheSize", TF_RGB, kA8R8G8B8, 0, 1, {1, 2}, 0, ""},
};
INSTANTIATE_TEST_SUITE_P(Formats, Texel, ::testing::ValuesIn(kTexels),
                         [](const auto& info) { return std::string(info.param.name); });

// The readout decodes the texel's own block: every texel of a 6 x 6 RXGB surface (partial
// blocks, a moved channel) reads as the decoded surface has it.
TEST(Texel, BlockTexelsAsTheDecodedSurface) {
    Surface s(TF_RXGB, kNone, true, 6, 6, testkit::Pattern(64));
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 6; ++x) {
            const uint32_t p = s.tex.m_pWorkImage[6 * y + x];
            const std::string want = "R " + std::to_string(p >> 16 & 255) + " G " +
                                     std::to_string(p >> 8 & 255) + " B " +
                                     std::to_string(p & 255) + " A " + std::to_string(p >> 24);
            EXPECT_EQ(TexelValues(s.tex, x, y), want) << x << "," << y;
        }
}

// A width that is no multiple of 4: each row of blocks ends in a partial one.
TEST(Texel, Bc6hBlockOfEachTexelBesideAPartialBlock) {
    std::vector<uint8_t> raw;
    for (uint32_t k = 0; k < 4; ++k)
        testkit::Append(raw, Block(15, {18171 + 999 * k, 61291, 4180}));
    Surface wide(TF_BC6H_SF16, kNone, true, 6, 8, raw);
    for (uint32_t k = 0; k < 4; ++k) {
        Surface alone(TF_BC6H_SF16, kNone, true, 4, 4,
                      std::vector<uint8_t>(raw.begin() + 16 * k, raw.begin() + 16 * k + 16));
        EXPECT_EQ(TexelValues(wide.tex, 4 * (k % 2) + 1, 4 * (k / 2) + 2),
                  TexelValues(alone.tex, 1, 2))
            << k;
    }
}

// ---- alpha as the file means it; the float range ------------------------------------------

TEST(AlphaModes, PremultipliedChannelAndModeOfTheFile) {
    const uint32_t blends[][4] = {// c, a, background: want
                                  {64, 128, 255, 191},
                                  {10, 0, 200, 210},
                                  {255, 0, 255, 255},
                                  {0, 255, 200, 0},
                                  {1, 254, 255, 2}};
    for (const auto& b : blends) EXPECT_EQ(PremultipliedChannel(b[0], b[1], b[2]), b[3]) << b[0];
    const struct {
        int32_t format;
        bool dx10;
        uint32_t flags2;
        int32_t mode;
    } modes[] = {{TF_DXT2, false, 0, ALPHA_MODE_PREMULTIPLIED}, {TF_DXT4, false, 0, 2},
                 {TF_DXT5, false, 2, ALPHA_MODE_UNKNOWN},       {TF_DXT5, true, 2, 2},
                 {TF_BC7, true, 0x0B, ALPHA_MODE_OPAQUE},       {TF_BC7, true, 5, 0}};
    for (const auto& m : modes) EXPECT_EQ(AlphaModeOf(m.format, m.dx10, m.flags2), m.mode);
}

TEST(FloatRange, RuleMarksAndCurve) {
    RangeRule range;
    range.autoRange = true;
    SetRange(range, 1.0f, 5.0f);
    RangeRule curve, both = range, flat = range, none = range;
    curve.srgb = both.srgb = true;
    SetRange(flat, 3.0f, 3.0f); // one value: nothing divided by zero
    SetRange(none, kInf, -kInf);
    const struct {
        const RangeRule& rule;
        float value;
        uint32_t byte;
    } cases[] = {{RangeRule(), 0.5f, 127}, {range, 3.0f, 127}, {range, 5.0f, 255},
                 {range, 0.0f, 0},         {curve, 0.5f, 187}, {curve, 0.001f, 3},
                 {both, 2.0f, 136},        {flat, 0.5f, 127},  {none, 3.0f, 255}};
    for (const auto& c : cases) EXPECT_EQ(RangeByte(c.rule, c.value), c.byte) << c.value;
    const float marks[][3] = {{kNaN, 1, 1},  {kInf, -1, 0}, {-1, kInf, 0}, {-kInf, 0, 0},
                              {-0.5f, 2, 0}, {-0.0f, 0, 0}, {1e30f, 0, 0}};
    const uint32_t want[] = {kMarkNaN, kMarkPlusInf, kMarkPlusInf, kMarkNegative, kMarkNegative, 0,
                             0};
    for (size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(MarkOf(marks[i], 3), want[i]) << i;
    for (int i = 0; i <= 4096; ++i)
        ASSERT_EQ(SrgbByte(i / 4096.0f), UnitToByte(SrgbEncode(i / 4096.0f))) << i;
}

// Surfaces of halves composed through the tables of every half's result give the pixels the
// rule gives value by value: every half in every channel, each format, view and option.
TEST(FloatRange, HalfTablesAsTheRule) {
    std::vector<uint16_t> halves(size_t(1) << 18);
    for (size_t i = 0; i < halves.size(); ++i) halves[i] = uint16_t(i * 40503 + (i >> 16));
    const struct {
        int32_t format;
        uint32_t bits, dxgi; // legacy: bits a pixel; DX10: the DXGI format
        uint32_t width;
    } formats[] = {{TF_FLOAT16, 64, 0, 256},     {TF_FLOAT16, 16, 0, 512},
                   {TF_DXGI_PIXELS, 0, 10, 256}, {TF_DXGI_PIXELS, 0, 26, 256},
                   {TF_DXGI_PIXELS, 0, 54, 512}, {TF_BC6H, 0, 0, 256},
                   {TF_BC6H_SF16, 0, 0, 256}};
    for (const auto& f : formats) {
        const std::vector<uint8_t> raw = U16(halves);
        const uint32_t bits = f.dxgi ? DxgiPixelBits(f.dxgi) : f.bits;
        Surface s(f.format, {bits, 0, 0, 0, 0}, true, f.width, f.width, raw);
        s.tex.m_bDx10 = f.dxgi != 0;
        s.tex.m_Dx10.dxgiFormat = f.dxgi;
        for (int options = 0; options < 48; ++options) {
            CDdsTexture& t = s.tex;
            t.m_bAutoRange = options & 1;
            t.m_bSrgbCurve = options & 2;
            t.m_bMarkNonFinite = options & 4;
            t.m_nExposure = options & 8 ? -3 : 0;
            RangeView view;
            view.blend = options >= 16;
            view.premultiplied = options >= 32;
            view.background[1] = BackgroundUnit(0x80);
            const RangeRowFn tables = FloatRangeRows(t, view, nullptr, 2, HalfPath::kTables);
            const RangeRowFn direct = FloatRangeRows(t, view, nullptr, 2, HalfPath::kDirect);
            ASSERT_TRUE(tables && direct);
            std::vector<uint32_t> a(f.width), b(f.width);
            for (uint32_t y = 0; y < f.width; y += 7) {
                tables(y, a.data());
                direct(y, b.data());
                ASSERT_EQ(a, b) << "format " << f.format << "/" << f.dxgi << ", options " << options
                                << ", row " << y;
            }
        }
    }
}

// DX10 surfaces composed with their alpha mode and the range options.
struct ModeCase {
    const char* name;
    uint32_t dxgi, flags2;
    std::vector<uint8_t> raw;
    int32_t mode;
    bool autoRange, srgb;
    std::vector<uint32_t> display;
};
void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.name;
}
class Modes : public ::testing::TestWithParam<ModeCase> {};
TEST_P(Modes, Display) {
    const ModeCase& c = GetParam();
    const uint32_t width = uint32_t(c.display.size());
    Surface s(TF_DXGI_PIXELS, {DxgiPixelBits(c.dxgi), 0, 0, 0, 0}, true, width, 1, c.raw);
    s.tex.m_bDx10 = true;
    s.tex.m_Dx10.dxgiFormat = c.dxgi;
    s.tex.m_Dx10.miscFlags2 = c.flags2;
    s.tex.m_bAutoRange = c.autoRange;
    s.tex.m_bSrgbCurve = c.srgb;
    s.tex.DecodeSurface();
    EXPECT_EQ(s.Compose(c.mode, 0xFF00FF), c.display);
}
const std::vector<uint8_t> kRgba8 = {0x40, 0x20, 0x10, 0x80};
// 1, 2, 3; 5, 1, 1 (alpha 8, outside the range); NaN, 1, 1: the range 1..5.
const std::vector<uint8_t> kHalves = U16({0x3C00, 0x4000, 0x4200, 0x3C00, 0x4500, 0x3C00, 0x3C00,
                                          0x4800, 0x7E00, 0x3C00, 0x3C00, 0x3C00});
const ModeCase kModes[] = {
    {"Straight", 28, 1, kRgba8, COMPOSE_BLEND, false, false, {0x809F1087}},
    {"Premultiplied", 28, 2, kRgba8, COMPOSE_BLEND, false, false, {0x80BF208F}},
    {"Opaque", 28, 3, kRgba8, COMPOSE_BLEND, false, false, {0x80402010}},
    {"Custom", 28, 4, kRgba8, COMPOSE_BLEND, false, false, {0x80402010}},
    {"CustomAlpha", 28, 4, kRgba8, COMPOSE_ALPHA, false, false, {0x80808080}},
    {"AutoRange", 10, 0, kHalves, COMPOSE_COLOR, true, false, {0xFF003F7F, 0xFFFF0000, kMarkNaN}},
    {"RangeAndCurve",
     10,
     0,
     kHalves,
     COMPOSE_COLOR,
     true,
     true,
     {0xFF0088BB, 0xFFFF0000, kMarkNaN}},
    {"RangeBlend", 10, 2, kHalves, COMPOSE_BLEND, true, false, {0xFF003F7F, 0xFFFF0000, kMarkNaN}},
    {"CurveAlone",
     10,
     0,
     kHalves,
     COMPOSE_COLOR,
     false,
     true,
     {0xFFFFFFFF, 0xFFFFFFFF, 0xFF00FFFF}},
};
INSTANTIATE_TEST_SUITE_P(Files, Modes, ::testing::ValuesIn(kModes),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- rows: order, progress, cancellation, repeatability
// ---------------------------------------------

std::vector<uint32_t> g_done;
uint32_t g_stopAt = UINT32_MAX;
int RecordProgress(uint32_t done, uint32_t total, uintptr_t) {
    g_done.push_back(done * 1000 + total);
    return done != g_stopAt;
}
struct Rows : ::testing::Test {
    void SetUp() override {
        g_done.clear();
        g_stopAt = UINT32_MAX;
        g_progress = RecordProgress;
    }
    void TearDown() override { g_progress = nullptr; }
};

TEST_F(Rows, BottomUpWithOneReportPerRow) {
    Surface s(TF_RGB, kA8, false, 2, 3, {10, 11, 20, 21, 30, 31});
    EXPECT_EQ(s.Compose(COMPOSE_COLOR),
              (std::vector<uint32_t>{0xFF1E1E1E, 0xFF1F1F1F, 0xFF141414, 0xFF151515, 0xFF0A0A0A,
                                     0xFF0B0B0B}));
    EXPECT_EQ(g_done, (std::vector<uint32_t>{1003, 2003, 3003}));
}

TEST_F(Rows, CancelKeepsTheRowsNotReached) {
    // Stop at the report of row 3 of 4: source rows 0 and 1 are composed (display rows 3, 2).
    Surface s(TF_RGB, kA8, false, 1, 4, {10, 20, 30, 40});
    g_stopAt = 3;
    EXPECT_EQ(s.Compose(COMPOSE_COLOR), (std::vector<uint32_t>{0, 0, 0xFF141414, 0xFF0A0A0A}));
    g_stopAt = 1;
    Surface t(TF_DXT1, kNone, true, 4, 4, kCyanTexel);
    EXPECT_EQ(t.Compose(COMPOSE_COLOR), std::vector<uint32_t>(16, 0));
}

TEST_F(Rows, ModesBackAndForthGiveIdenticalImages) {
    Surface s(TF_RGB, kA8R8G8B8, true, 8, 4, testkit::Pattern(128));
    const int32_t modes[] = {COMPOSE_COLOR, COMPOSE_BLEND, COMPOSE_ALPHA};
    std::vector<uint32_t> first[3];
    for (int round = 0; round < 3; ++round) {
        for (int32_t m : {2, 0, 1, 0, 2, 1}) {
            const auto image = s.Compose(modes[m], 0x102030);
            if (first[m].empty()) first[m] = image;
            EXPECT_EQ(image, first[m]) << "mode " << m;
        }
    }
    EXPECT_NE(first[0], first[1]);
    EXPECT_NE(first[1], first[2]);
}

TEST_F(Rows, Dxt1BlockRowsLandBottomUp) {
    std::vector<uint8_t> raw = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}; // white
    const std::vector<uint8_t> black = {0, 0, 0, 0, 0, 0, 0, 0};
    raw.insert(raw.end(), black.begin(), black.end());
    Surface s(TF_DXT1, kNone, true, 4, 8, raw);
    const auto image = s.Compose(COMPOSE_COLOR);
    EXPECT_EQ(image[0], 0xFF000000u);  // bottom row: the second block row
    EXPECT_EQ(image[31], 0xFFF8FCF8u); // top row: the first
}

// ---- bad input
// -----------------------------------------------------------------------------------------

TEST(BadInput, ReadingStopsAtTheRawSize) {
    // 16-bit 4 x 2 holding 5 bytes: the top row from them and zero bytes, the next not at all.
    Surface s(TF_RGB, kR5G6B5, false, 4, 2, {0xFF, 0xFF, 0x1F, 0x00, 0xFF});
    EXPECT_EQ(s.Compose(COMPOSE_COLOR),
              (std::vector<uint32_t>{0, 0, 0, 0, 0xFFF8FCF8, 0xFF0000F8, 0xFF001CF8, 0xFF000000}));
    // 128-bit float 2 x 1 holding 20 bytes: one pixel.
    Surface f(TF_FLOAT32, k128, true, 2, 1, F32({1, 1, 1, 1, 1}));
    EXPECT_EQ(f.Compose(COMPOSE_ALPHA), (std::vector<uint32_t>{0xFFFFFFFF, 0}));
    // A 24-bit surface whose header claims 1024 x 1024 over 3 bytes.
    Surface big(TF_RGB, kR8G8B8, false, 1024, 1024, {1, 2, 3});
    const auto image = big.Compose(COMPOSE_COLOR);
    EXPECT_EQ(image[1023 * 1024], 0xFF030201u);
    EXPECT_EQ(image[1023 * 1024 + 1], 0xFF000000u);
    EXPECT_EQ(image[1022 * 1024], 0u);
}

// Every format, bit count and small size over raw data of the wrong length, decoded into a
// record that held the previous case: the pictures are those of a fresh record (nothing of an
// earlier surface, nothing read past the raw data, which the reused store holds beyond it), and
// an image exists for every size the record can make one for. The sanitizer build also checks
// each access.
TEST(BadInput, AnyHeaderStaysInBounds) {
    CFileEx reader;
    CDdsTexture tex(reader);
    const auto bytes = testkit::Pattern(4096);
    auto setUp = [&](CDdsTexture& t, int32_t format, uint32_t bits, uint32_t w, uint32_t h,
                     uint32_t raw) {
        const Masks masks = {bits, 0xF00F, 0x0FF0, 0x8001, 0x700F0};
        HoldSurface(t, format, masks, true, w, h, bytes.data(), raw);
    };
    for (int32_t format = TF_RGB; format <= TF_UNKNOWN; ++format) {
        for (uint32_t bits : {0u, 8u, 16u, 17u, 24u, 32u, 64u, 128u}) {
            for (uint32_t w : {0u, 1u, 3u, 5u, 9u}) {
                for (uint32_t h : {0u, 1u, 2u, 7u}) {
                    const uint32_t exact = w * h * bits / 8 + (format >= TF_DXT1 ? 64 : 0);
                    for (uint32_t raw : {4096u, 0u, 1u, exact / 2, exact}) {
                        CDdsTexture fresh(reader);
                        setUp(tex, format, bits, w, h, raw);
                        setUp(fresh, format, bits, w, h, raw);
                        ASSERT_NE(tex.m_pWorkImage, nullptr);
                        ASSERT_NE(tex.m_pDisplayImage, nullptr);
                        const size_t work = size_t(WorkImageBytes(tex)),
                                     display = size_t(w) * h * 4;
                        ASSERT_EQ(std::memcmp(tex.m_pWorkImage, fresh.m_pWorkImage, work), 0)
                            << format << " " << bits << " " << w << "x" << h << " " << raw;
                        for (int32_t mode : {COMPOSE_COLOR, COMPOSE_BLEND, COMPOSE_ALPHA}) {
                            tex.DecodeAndCompose(mode, 1, 2, 3);
                            fresh.DecodeAndCompose(mode, 1, 2, 3);
                            ASSERT_EQ(
                                std::memcmp(tex.m_pDisplayImage, fresh.m_pDisplayImage, display), 0)
                                << format << " " << bits << " " << w << "x" << h << " " << raw
                                << " mode " << mode;
                        }
                    }
                }
            }
        }
    }
}

TEST(BadInput, NothingComposedWithoutBuffersOrMatchingSize) {
    Surface s(TF_RGB, kA8, false, 2, 2, {1, 2, 3, 4});
    s.tex.m_nHeight = 3; // not what the images were sized for
    EXPECT_EQ(s.Compose(COMPOSE_COLOR), std::vector<uint32_t>(4, 0));
    s.tex.m_nHeight = 2;
    s.tex.m_pRawData = nullptr;
    EXPECT_EQ(s.Compose(COMPOSE_COLOR), std::vector<uint32_t>(4, 0));
    Surface empty(TF_RGB, kA8, false, 0, 0, {});
    empty.tex.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0);
}

// ---- uncompressed DXGI formats converted into the work image ----------------------------------

struct DxgiCase {
    uint32_t dxgi;
    std::vector<uint32_t> words; // the pixel's bytes as little-endian 32-bit words
    uint32_t pixel;
    bool exact = false; // GPU-exact colours: round(v x 255 / (2^n - 1))
};

uint32_t F(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

// Values as stored: one channel as grey, two as red and green, alpha 255 where there is none,
// top 8 bits of wider unsigned channels, floats and halves clamped and truncated.
const DxgiCase kDxgiCases[] = {
    {28, {0x40302010}, 0x40102030},                // R8G8B8A8: bytes r, g, b, a
    {24, {0x801803FF}, 0xAAFF8000},                // R10G10B10A2: alpha 2 x 85
    {24, {0x00000200}, 0x00800000},                // R10G10B10A2: red 0x200, top 8 bits
    {24, {0x40000003}, 0x55010000, true},          // exact: red 3 is 1
    {56, {0x00FF}, 0xFF010101, true},              // exact R16: 255 is 1
    {49, {0x2211}, 0xFF112200},                    // R8G8
    {56, {0x1234}, 0xFF121212},                    // R16: grey from the top byte
    {35, {0x56781234}, 0xFF125600},                // R16G16
    {11, {0x04030201, 0x08070605}, 0x08020406},    // R16G16B16A16
    {54, {0x3800}, 0xFF7F7F7F},                    // R16_FLOAT 0.5
    {34, {0xBC003C00}, 0xFFFF0000},                // R16G16_FLOAT 1, -1
    {10, {0x34003800, 0x38007C00}, 0x7F7F3FFF},    // 0.5, 0.25, inf, alpha 0.5
    {41, {F(0.5f)}, 0xFF7F7F7F},                   // R32_FLOAT
    {41, {F(std::nanf(""))}, 0xFF000000},          // NaN shows as 0
    {16, {F(0.25f), F(2.0f)}, 0xFF3FFF00},         // R32G32_FLOAT
    {6, {F(1.0f), F(0.0f), F(-1.0f)}, 0xFFFF0000}, // R32G32B32_FLOAT
    {2, {F(0), F(0), F(1), F(0.5f)}, 0x7F0000FF},  // R32G32B32A32_FLOAT
    {26, {0x781C03C0}, 0xFFFF7FFF},                // R11G11B10_FLOAT 1, 0.5, 1
    {67, {0x7803FF00}, 0xFF7FFE00},                // R9G9B9E5: 256, 511, 0 / 512
};

class DxgiPixels : public ::testing::TestWithParam<DxgiCase> {};

TEST_P(DxgiPixels, ShowAsStored) {
    const DxgiCase& c = GetParam();
    std::vector<uint8_t> bytes;
    for (uint32_t w : c.words) testkit::Put32(bytes, w);
    ASSERT_GE(bytes.size(), DxgiPixelBits(c.dxgi) / 8);
    uint32_t pixel = 0;
    ConvertDxgiRow(c.dxgi, &pixel, bytes.data(), 1, c.exact);
    EXPECT_EQ(pixel, c.pixel) << std::hex << pixel;
}

INSTANTIATE_TEST_SUITE_P(Formats, DxgiPixels, ::testing::ValuesIn(kDxgiCases));

// ---- threads: bands of rows on every core give the one thread's bytes

struct ThreadCase {
    const char* name;
    std::vector<uint8_t> file;
};
std::vector<uint8_t> BlockFile(uint32_t w, uint32_t h, uint32_t fourCC, uint32_t blockBytes) {
    const size_t blocks = size_t(BlockCount(w)) * BlockCount(h);
    return testkit::FileBytes(testkit::HeadFourCC(w, h, fourCC),
                              testkit::Pattern(blocks * blockBytes, w));
}
std::vector<uint8_t> Dx10File(uint32_t w, uint32_t h, uint32_t dxgi, size_t bytes) {
    return testkit::Dx10FileBytes(testkit::HeadFourCC(w, h, 0), testkit::Dx10(dxgi),
                                  testkit::Pattern(bytes, dxgi));
}
std::vector<uint8_t> MaskFile(uint32_t w, uint32_t h, const Masks& m) {
    dds::DdsHead head = testkit::HeadMasks(w, h, m.bits, m.red, m.green, m.blue, m.alpha);
    if (m.flags) head.ddspf.dwFlags = m.flags;
    return testkit::FileBytes(head, testkit::Pattern(size_t(w) * h * m.bits / 8, m.bits));
}
// Whether a picture shows anything but black.
bool Shows(const uint32_t* pixels, size_t count) {
    return std::any_of(pixels, pixels + count, [](uint32_t p) { return (p & 0xFFFFFF) != 0; });
}
const ThreadCase kThreadCases[] = {
    {"Dxt1", BlockFile(256, 256, dds::FOURCC_DXT1, 8)},
    {"Dxt5Uneven", BlockFile(254, 130, dds::FOURCC_DXT5, 16)},
    {"Dxt3Narrow", BlockFile(2, 32768, dds::FOURCC_DXT3, 16)},
    {"Bc7", Dx10File(256, 128, 98, 256 * 128)},
    {"Bc6h", Dx10File(128, 256, 95, 128 * 256)},
    {"Dxgi", Dx10File(256, 192, 87, 256 * 192 * 4)},
    {"A8R8G8B8", MaskFile(256, 130, kA8R8G8B8)},
    {"R5G6B5", MaskFile(256, 130, kR5G6B5)},
    {"R8G8B8", MaskFile(256, 130, kR8G8B8)},
    {"L8", MaskFile(256, 130, {8, 0xFF, 0, 0, 0, dds::DDPF_LUMINANCE})},
    {"R8", MaskFile(256, 130, kR8)},
    {"A8", MaskFile(256, 130, {8, 0, 0, 0, 0xFF, dds::DDPF_ALPHA})},
    {"V8U8", MaskFile(256, 130, {16, 0xFF, 0xFF00, 0, 0, dds::DDPF_BUMPDUDV})},
    {"Half4", testkit::FileBytes(testkit::HeadFourCC(256, 128, dds::FOURCC_A16B16G16R16F),
                                 testkit::Pattern(256 * 128 * 8))},
    {"Bc7Odd", Dx10File(129, 66, 98, 33 * 17 * 16)},
    {"Dxt5OneWide", BlockFile(1, 5, dds::FOURCC_DXT5, 16)},
    {"Dxt1Short", Dx10File(64, 64, 71, 64 * 64 / 2 - 100)}, // no surface: blocks of zeros
    {"A8R8G8B8Odd", MaskFile(129, 66, kA8R8G8B8)},
    {"A8R8G8B8Short", // no surface held: its rows decode as zero bytes
     testkit::FileBytes(testkit::HeadMasks(64, 64, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
                        testkit::Pattern(64 * 60 * 4, 7))},
};

class Threads : public ::testing::TestWithParam<ThreadCase> {};
TEST_P(Threads, SameBytesAsOneThreadAndInOnePass) {
    const std::string path = testkit::WriteTempFile("threads.dds", GetParam().file);
    std::vector<uint32_t> want[4];
    for (uint32_t threads : {1u, 2u, 0u}) {
        CFileEx reader;
        CDdsTexture tex(reader);
        tex.m_nThreads = threads;
        ASSERT_TRUE(tex.Load(path.c_str(), 0, 0, nullptr, false));
        tex.DecodeSurface();
        std::vector<uint32_t> got[4];
        got[3].assign(tex.m_pWorkImage, tex.m_pWorkImage + WorkImageBytes(tex) / 4);
        for (int32_t mode : {COMPOSE_COLOR, COMPOSE_BLEND, COMPOSE_ALPHA}) {
            tex.DecodeAndCompose(mode, 0x20, 0x40, 0x60);
            got[mode].assign(tex.m_pDisplayImage,
                             tex.m_pDisplayImage + tex.m_nWidth * tex.m_nHeight);
        }
        ASSERT_TRUE(Shows(got[COMPOSE_ALPHA].data(), got[COMPOSE_ALPHA].size()) ||
                    Shows(got[COMPOSE_COLOR].data(), got[COMPOSE_COLOR].size()) ||
                    Shows(got[COMPOSE_BLEND].data(), got[COMPOSE_BLEND].size()));
        for (int i = 0; i < 4; ++i) {
            if (threads == 1) want[i] = got[i];
            EXPECT_EQ(got[i], want[i]) << "threads " << threads << ", image " << i;
        }
        // Composed band by band as the decoding goes: the same pictures.
        for (int32_t mode : {COMPOSE_COLOR, COMPOSE_BLEND, COMPOSE_ALPHA}) {
            std::fill_n(tex.m_pDisplayImage, want[mode].size(), 0x12345678u);
            tex.DecodeAndCompose(mode, 0x20, 0x40, 0x60);
            EXPECT_TRUE(std::equal(want[mode].begin(), want[mode].end(), tex.m_pDisplayImage))
                << "threads " << threads << ", decoded and composed in mode " << mode;
        }
    }
    // Streamed without the images, in bands of any height, either way up: the same rows.
    CFileEx reader;
    CDdsTexture tex(reader);
    ASSERT_TRUE(tex.Load(path.c_str(), 0, 0, nullptr, false));
    const uint32_t w = uint32_t(tex.m_nWidth), h = uint32_t(tex.m_nHeight);
    for (int32_t mode : {COMPOSE_COLOR, COMPOSE_BLEND, COMPOSE_ALPHA}) {
        const CDdsTexture::PictureRowsFn rows = tex.PictureRows(mode, 0x20, 0x40, 0x60);
        ASSERT_TRUE(rows && !tex.m_pWorkImage && !tex.m_pDisplayImage);
        for (uint32_t bandRows : {1u, 3u, 6u, 64u}) {
            std::vector<uint32_t> up(want[mode].size(), 0x12345678u), down = up;
            for (uint32_t first = 0; first < h; first += bandRows) {
                const uint32_t end = std::min(h, first + bandRows);
                ASSERT_TRUE(rows(first, end, &up[size_t(h - end) * w], true));
                ASSERT_TRUE(rows(first, end, &down[size_t(first) * w], false));
            }
            EXPECT_EQ(up, want[mode]) << "bottom-up bands of " << bandRows << ", mode " << mode;
            for (uint32_t y = 0; y < h; ++y)
                ASSERT_TRUE(std::equal(&down[size_t(y) * w], &down[size_t(y + 1) * w],
                                       &want[mode][size_t(h - 1 - y) * w]))
                    << "top-down bands of " << bandRows << ", mode " << mode << ", row " << y;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Formats, Threads, ::testing::ValuesIn(kThreadCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A stop ends a loop on several threads at the next band: the workers hold their first band
// until the host has been asked, the calling thread's first band lasts past the report interval.
TEST(RowBands, StopEndsTheThreadsEarly) {
    struct StopAtOnce final : RowHost {
        std::atomic<bool> asked{false};
        bool Progress(uint32_t, uint32_t) override { return !(asked = true); }
        void Pump() override {}
    } host;
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<uint32_t> rowsRun{0};
    bool slept = false;
    const uint32_t rows = 4096;
    EXPECT_FALSE(RunRows({rows, 1u << 16, 0}, 2, &host, [&](uint32_t first, uint32_t end) {
        if (std::this_thread::get_id() != caller)
            while (!host.asked) std::this_thread::yield();
        else if (!slept)
            slept = true,
            std::this_thread::sleep_for(std::chrono::milliseconds(kReportIntervalMs * 2));
        rowsRun += end - first;
    }));
    EXPECT_LT(rowsRun, rows / 2);
}

// A first report that outlasts the interval (the window shown at start) is followed by another
// before the calling thread's first band: a key that came meanwhile is heard at once.
TEST(RowBands, LongFirstReportIsFollowedAtOnce) {
    struct SlowFirst final : RowHost {
        std::atomic<uint32_t> reports{0}, pumps{0};
        bool Progress(uint32_t, uint32_t) override {
            if (reports++ == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(kReportIntervalMs * 2));
            return true;
        }
        void Pump() override { ++pumps; }
    } host;
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<uint32_t> pumpsAtFirstBand{0};
    EXPECT_TRUE(RunRows({4096, 1u << 16, 0}, 2, &host, [&](uint32_t, uint32_t) {
        if (std::this_thread::get_id() != caller)
            while (host.reports < 2) std::this_thread::yield();
        else if (pumpsAtFirstBand == 0)
            pumpsAtFirstBand = host.pumps.load();
    }));
    EXPECT_EQ(pumpsAtFirstBand, 2u);
}

// Pictures beyond the caches are written another way (streamed); rows of an odd width start
// on every alignment.
TEST(Compose, LargePictureRowsAsTheWorkImageHasThem) {
    const uint32_t w = 4099, h = 2047;
    const std::string path =
        testkit::WriteTempFile("large.dds", BlockFile(w, h, dds::FOURCC_DXT5, 16));
    CFileEx reader;
    CDdsTexture tex(reader);
    ASSERT_TRUE(tex.Load(path.c_str(), 0, 0, nullptr, false));
    tex.DecodeSurface();
    ASSERT_TRUE(Shows(tex.m_pWorkImage, size_t(w) * h));
    std::vector<uint32_t> blended(w);
    for (int32_t mode : {COMPOSE_COLOR, COMPOSE_BLEND}) {
        tex.DecodeAndCompose(mode, 0x20, 0x40, 0x60);
        for (uint32_t y = 0; y < h; ++y) {
            const uint32_t* work = tex.m_pWorkImage + size_t(y) * w;
            if (mode == COMPOSE_BLEND) BlendWorkRow(blended.data(), work, w, 0x20, 0x40, 0x60);
            const uint32_t* want = mode == COMPOSE_BLEND ? blended.data() : work;
            ASSERT_TRUE(std::equal(want, want + w, tex.m_pDisplayImage + size_t(h - 1 - y) * w))
                << "mode " << mode << ", row " << y;
        }
    }
}

} // namespace
