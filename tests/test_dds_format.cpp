// Pixel-format names and codes, surface sizes and the place of the selected surface.
#include <gtest/gtest.h>

#include <cstring>

#include "DdsBuilder.h"
#include "dds/DdsFormat.h"
#include "decode/PixelConvert.h"

using namespace dds;

namespace {

struct MaskCase {
    uint32_t flags, bits, r, g, b, a;
    const char* name;
    int32_t code;
    uint32_t fourCC = 0; // a tag the masks' flags overrule
};

class MaskNames : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskNames, NameAndCode) {
    const MaskCase& c = GetParam();
    DdsHead head = {};
    head.ddspf = {32, c.flags, c.fourCC, c.bits, c.r, c.g, c.b, c.a};
    char name[kFormatNameSize];
    EXPECT_EQ(ClassifyHead(name, head, false), c.code);
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(head.ddspf.dwRGBBitCount, c.bits) << "mask formats keep their bit count";
    EXPECT_EQ(head.dwFlags & DDSD_LINEARSIZE, 0u);
}

const uint32_t RGB = DDPF_RGB, RGBA = DDPF_RGB | DDPF_ALPHAPIXELS;

INSTANTIATE_TEST_SUITE_P(
    Formats, MaskNames,
    ::testing::Values(
        MaskCase{RGBA, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, "32bit-A8R8G8B8", TF_RGB},
        MaskCase{RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0, "32bit-X8R8G8B8", TF_RGB},
        MaskCase{RGB, 16, 0xF800, 0x07E0, 0x001F, 0, "16bit-  R5G6B5", TF_RGB},
        MaskCase{RGB, 24, 0xFF0000, 0xFF00, 0xFF, 0, "24bit-  R8G8B8", TF_RGB},
        MaskCase{RGBA, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, "16bit-A1R5G5B5", TF_RGB},
        MaskCase{RGB, 16, 0x7C00, 0x03E0, 0x001F, 0, "16bit-X1R5G5B5", TF_RGB},
        MaskCase{RGBA, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, "16bit-A4R4G4B4", TF_RGB},
        MaskCase{RGB, 8, 0xFF, 0, 0, 0, "8bit-  R8    ", TF_RGB},
        MaskCase{DDPF_ALPHAPIXELS, 8, 0, 0, 0, 0xFF, "8bit-A8      ", TF_RGB},
        // Red in the low byte is named like red in the high byte.
        MaskCase{RGBA, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, "32bit-A8R8G8B8", TF_RGB},
        // Counts of ten or more are written in decimal.
        MaskCase{RGBA, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, "32bit-A2R10G10B10", TF_RGB},
        MaskCase{RGB, 32, 0xFF, 0, 0, 0, "32bit-X24R8    ", TF_RGB},
        MaskCase{RGB, 32, 0xFFFF, 0xFFFF0000, 0, 0, "32bit-  R16G16  ", TF_RGB},
        // An absurd bit count still gives a printable name.
        MaskCase{RGB, 0x80000000u, 0xFF, 0, 0, 0, "2147483648bit-X2147483640R8    ", TF_RGB},
        // The published premultiplied-alpha flag names the format; blue bit 15 alone does not.
        MaskCase{RGBA | DDPF_ALPHAPREMULT, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000,
                 "32bit-A8R8G8B8-premul", TF_RGB},
        MaskCase{RGB, 16, 0x7C00, 0x03E0, 0x801F, 0, "16bit-  R5G5B6", TF_RGB},
        MaskCase{DDPF_BUMPDUDV, 16, 0xFF, 0xFF00, 0, 0, "16bit-U8V8  ", TF_BUMP_UVW},
        MaskCase{DDPF_BUMPDUDV, 16, 0x1F, 0x3E0, 0xFC00, 0, "16bit-U5V5W6", TF_BUMP_UVW},
        MaskCase{DDPF_BUMPDUDV, 32, 0xFFFF, 0xFFFF0000, 0, 0, "32bit-U16V16  ", TF_BUMP_UVW},
        // Without DDPF_FOURCC, flagged masks decide over a tag.
        MaskCase{RGB, 8, 0xFF, 0, 0, 0, "8bit-  R8    ", TF_RGB, FOURCC_DXT1},
        MaskCase{DDPF_ALPHA, 8, 0, 0, 0, 0xFF, "8bit-A8      ", TF_RGB, FOURCC_DX10},
        MaskCase{DDPF_LUMINANCE, 8, 0xFF, 0, 0, 0, "8bit-  R8    ", TF_RGB, FOURCC_DX10},
        MaskCase{DDPF_BUMPDUDV, 16, 0xFF, 0xFF00, 0, 0, "16bit-U8V8  ", TF_BUMP_UVW, FOURCC_DXT5}));

struct FourCCCase {
    uint32_t fourCC;
    bool nm;
    const char* name;
    int32_t code;
    uint32_t bits;        // bit count afterwards
    bool linearSize;      // DDSD_LINEARSIZE set afterwards
    bool alphaFlagForced; // DDPF_ALPHAPIXELS set afterwards
    uint32_t flags = 0;   // the pixel format's dwFlags
};

class FourCCNames : public ::testing::TestWithParam<FourCCCase> {};

TEST_P(FourCCNames, NameCodeAndHeaderEdits) {
    const FourCCCase& c = GetParam();
    DdsHead head = {};
    head.ddspf.dwFourCC = c.fourCC; // the FourCC flag is left clear unless the case sets it
    head.ddspf.dwFlags = c.flags;
    head.ddspf.dwRGBBitCount = 24;
    char name[kFormatNameSize];
    EXPECT_EQ(ClassifyHead(name, head, c.nm), c.code);
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(head.ddspf.dwRGBBitCount, c.bits);
    EXPECT_EQ((head.dwFlags & DDSD_LINEARSIZE) != 0, c.linearSize);
    EXPECT_EQ((head.ddspf.dwFlags & DDPF_ALPHAPIXELS) != 0, c.alphaFlagForced);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FourCCNames,
    ::testing::Values(FourCCCase{111, false, "16bit-R16F", TF_FLOAT16, 16, false, false},
                      FourCCCase{112, false, "32bit-G16R16F", TF_FLOAT16, 32, false, false},
                      FourCCCase{113, false, "64bit-A16B16G16R16F", TF_FLOAT16, 64, false, true},
                      FourCCCase{114, false, "32bit-R32F", TF_FLOAT32, 32, false, false},
                      FourCCCase{115, false, "64bit-G32R32F", TF_FLOAT32, 64, false, false},
                      FourCCCase{116, false, "128bit-A32B32G32R32F", TF_FLOAT32, 128, false, true},
                      FourCCCase{FOURCC_DXT1, false, "DXT1", TF_DXT1, 0, true, false},
                      FourCCCase{FOURCC_DXT2, false, "DXT2", TF_DXT2, 0, true, false},
                      FourCCCase{FOURCC_DXT3, false, "DXT3", TF_DXT3, 0, true, false},
                      FourCCCase{FOURCC_DXT4, false, "DXT4", TF_DXT4, 0, true, false},
                      FourCCCase{FOURCC_DXT5, false, "DXT5", TF_DXT5, 0, true, false},
                      FourCCCase{FOURCC_DXT5, true, "DXT5_NM", TF_DXT5_NM, 0, true, false},
                      FourCCCase{FOURCC_RXGB, true, "RXGB", TF_RXGB, 0, true, false},
                      // With its flag the tag decides over flagged masks.
                      FourCCCase{FOURCC_DXT1, false, "DXT1", TF_DXT1, 0, true, false,
                                 DDPF_FOURCC | DDPF_RGB},
                      FourCCCase{FOURCC_ATI1, false, "BC4_UNORM", TF_BC4, 0, true, false},
                      FourCCCase{FOURCC_BC4U, false, "BC4_UNORM", TF_BC4, 0, true, false},
                      FourCCCase{FOURCC_BC4S, false, "BC4_SNORM", TF_BC4_SNORM, 0, true, false},
                      FourCCCase{FOURCC_ATI2, true, "BC5_UNORM", TF_BC5, 0, true, false},
                      FourCCCase{FOURCC_BC5U, false, "BC5_UNORM", TF_BC5, 0, true, false},
                      FourCCCase{FOURCC_BC5S, false, "BC5_SNORM", TF_BC5_SNORM, 0, true, false},
                      FourCCCase{110, false, "Format Unknown", TF_UNKNOWN, 24, false, false},
                      FourCCCase{117, false, "Format Unknown", TF_UNKNOWN, 24, false, false},
                      FourCCCase{MakeFourCC('Y', 'U', 'Y', '2'), false, "Format Unknown",
                                 TF_UNKNOWN, 24, false, false},
                      FourCCCase{MakeFourCC('D', 'X', '1', '0'), false, "Format Unknown",
                                 TF_UNKNOWN, 24, false, false}));

TEST(FormatNames, OptionDoesNotTouchOtherFormats) {
    DdsHead head = testkit::HeadFourCC(4, 4, FOURCC_DXT1);
    char name[kFormatNameSize];
    EXPECT_EQ(ClassifyHead(name, head, true), TF_DXT1);
    head = testkit::HeadFourCC(4, 4, FOURCC_R16F);
    head.ddspf.dwFlags = DDPF_ALPHAPIXELS;
    ClassifyHead(name, head, false);
    EXPECT_EQ(head.ddspf.dwFlags, DDPF_ALPHAPIXELS) << "111 keeps the file's alpha flag";
}

// The DXGI formats shown by the mask rules, and one pixel of each through them.
TEST(FormatNames, DxgiMaskRows) {
    const struct {
        uint32_t dxgi, bits, red, green, blue, alpha, value, pixel;
    } rows[] = {
        {61, 8, 0xFF, 0, 0, 0, 0x80, 0xFF800000},
        {65, 8, 0, 0, 0, 0xFF, 0x80, 0x80000000},
        {85, 16, 0xF800, 0x07E0, 0x001F, 0, 0xF800, 0xFFF80000},
        {86, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, 0x801F, 0xFF0000F8},
        {87, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x01020304, 0x01020304},
        {88, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0x01020304, 0xFF020304},
        {90, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x01020304, 0x01020304},
        {91, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0x01020304, 0x01020304},
        {92, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0x01020304, 0xFF020304},
        {93, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0x01020304, 0xFF020304},
        {115, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, 0x8421, 0x88402010},
    };
    for (const auto& r : rows) {
        DdsHead head = {};
        char name[kFormatNameSize];
        EXPECT_EQ(ClassifyDxgi(name, head, r.dxgi), TF_RGB) << r.dxgi;
        const DdsPixelFormat& pf = head.ddspf;
        const uint32_t got[] = {pf.dwRGBBitCount, pf.dwRBitMask,
                                pf.dwGBitMask,    pf.dwBBitMask,
                                pf.dwABitMask,    MaskPixel(MakeMaskRule(pf, false), r.value)};
        EXPECT_EQ(std::vector<uint32_t>(got, got + 6),
                  std::vector<uint32_t>({r.bits, r.red, r.green, r.blue, r.alpha, r.pixel}))
            << r.dxgi;
    }
}

struct SizeCase {
    uint32_t w, h;
    int32_t format;
    uint32_t bits;
    uint64_t size;
};

TEST(SurfaceSizes, Table) {
    const SizeCase cases[] = {
        {256, 256, TF_DXT1, 0, 32768},
        {4, 4, TF_DXT1, 0, 8},
        {2, 2, TF_DXT1, 0, 8},
        {1, 1, TF_DXT1, 0, 8},
        {6, 6, TF_DXT1, 0, 32}, // partial blocks count: four
        {5, 9, TF_BC7, 0, 96},
        {4, 5, TF_BC4, 0, 16},
        {0, 0, TF_DXT1, 0, 8},
        {2, 2, TF_DXT5, 0, 16},
        {8, 4, TF_DXT3, 0, 32},
        {8, 4, TF_DXT5_NM, 0, 32},
        {64, 64, TF_RGB, 32, 16384},
        {3, 5, TF_RGB, 24, 45},
        {3, 1, TF_BUMP_UVW, 16, 6},
        {5, 1, TF_RGB, 1, 0}, // whole bytes, rounded down
        {2, 2, TF_FLOAT16, 64, 32},
        {2, 2, TF_FLOAT32, 128, 64},
        {64, 64, TF_UNKNOWN, 32, 0},
        // 64 bits: a 4096 x 4096 A32B32G32R32F surface holds 2^31 bits; larger do not wrap.
        {4096, 4096, TF_FLOAT32, 128, 268435456},
        {16384, 16384, TF_FLOAT32, 128, 4294967296ull},
        {0xFFFFFFFF, 0xFFFFFFFF, TF_RGB, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFull / 8},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(SurfaceSize(c.w, c.h, c.format, c.bits), c.size)
            << c.w << "x" << c.h << " format " << c.format << " bits " << c.bits;
}

TEST(CountBitsTest, Masks) {
    const std::pair<uint32_t, int> cases[] = {{0, 0},         {1, 1},          {0xF800, 5},
                                              {0x07E0, 6},    {0xFF000000, 8}, {0xFFFFFFFF, 32},
                                              {0x80000001, 2}};
    for (auto [mask, bits] : cases) EXPECT_EQ(CountBits(mask), bits) << std::hex << mask;
}

struct LocateCase {
    const char* what;
    DdsHead head;
    int32_t format;
    bool cube, volume;
    int32_t level, layer;
    uint64_t offset;
    uint32_t w, h, d; // the head's dimensions afterwards
    int32_t usedLevel, usedLayer;
};

DdsHead Head(uint32_t w, uint32_t h, uint32_t mips, uint32_t bits = 0, uint32_t depth = 0,
             uint32_t caps2 = 0) {
    DdsHead head = {};
    head.dwWidth = w;
    head.dwHeight = h;
    head.dwMipMapCount = mips;
    head.ddspf.dwRGBBitCount = bits;
    head.dwDepth = depth;
    head.dwCaps2 = caps2;
    return head;
}
// A cube head with all six faces, or the first `faces` of them.
DdsHead CubeHead(uint32_t side, uint32_t mips, uint32_t bits, uint32_t faces = 6) {
    return Head(side, side, mips, bits, 0,
                DDSCAPS2_CUBEMAP | (DDSCAPS2_CUBEMAP_POSITIVEX * ((1u << faces) - 1)));
}

TEST(SurfaceLayout, Offsets) {
    const LocateCase cases[] = {
        {"level 1", Head(256, 256, 9), TF_DXT1, false, false, 1, 0, 32768, 128, 128, 0, 1, 0},
        {"level 2", Head(256, 256, 9), TF_DXT1, false, false, 2, 0, 40960, 64, 64, 0, 2, 0},
        {"level 8", Head(256, 256, 9), TF_DXT1, false, false, 8, 0, 43696, 1, 1, 0, 8, 0},
        {"level 20 is 8", Head(256, 256, 9), TF_DXT1, false, false, 20, 0, 43696, 1, 1, 0, 8, 0},
        {"2D ignores layer", Head(256, 256, 9), TF_DXT1, false, false, 0, 5, 0, 256, 256, 0, 0, 0},
        {"level 2 of 256x128", Head(256, 128, 9), TF_DXT1, false, false, 2, 0, 20480, 64, 32, 0, 2,
         0},
        {"mip count 0", Head(64, 64, 0), TF_DXT1, false, false, 3, 0, 0, 64, 64, 0, 0, 0},
        {"mip count 1", Head(64, 64, 1), TF_DXT1, false, false, 3, 0, 0, 64, 64, 0, 0, 0},
        {"level 0, index 0", Head(64, 64, 0), TF_DXT1, false, false, 0, 0, 0, 64, 64, 0, 0, 0},
        {"negative level", Head(64, 64, 7), TF_DXT1, false, false, -3, 0, 0, 64, 64, 0, 0, 0},
        {"cube face 2", CubeHead(64, 7, 32), TF_RGB, true, false, 0, 2, 43688, 64, 64, 0, 0, 2},
        {"cube face 2 level 1", CubeHead(64, 7, 32), TF_RGB, true, false, 1, 2, 60072, 32, 32, 0, 1,
         2},
        {"cube face 1", CubeHead(64, 7, 32), TF_RGB, true, false, 0, 1, 21844, 64, 64, 0, 0, 1},
        {"cube face 9 of 6 is face 5", CubeHead(4, 1, 32), TF_RGB, true, false, 0, 9, 5 * 64, 4, 4,
         0, 0, 5},
        {"cube face 7 of 3 is face 2", CubeHead(4, 1, 32, 3), TF_RGB, true, false, 0, 7, 2 * 64, 4,
         4, 0, 0, 2},
        {"cube without faces: face 0", CubeHead(4, 1, 32, 0), TF_RGB, true, false, 0, 3, 0, 4, 4, 0,
         0, 0},
        {"volume layer 3 level 1", Head(16, 16, 5, 32, 8), TF_RGB, false, true, 1, 3, 8960, 8, 8, 4,
         1, 3},
        {"level 1 has 4 slices: layer 5 is 3", Head(16, 16, 5, 32, 8), TF_RGB, false, true, 1, 5,
         8960, 8, 8, 4, 1, 3},
        {"level 3 has 1 slice", Head(16, 16, 5, 32, 8), TF_RGB, false, true, 3, 7, 9344, 2, 2, 1, 3,
         0},
        {"volume layer 9 is 7", Head(16, 16, 5, 32, 8), TF_RGB, false, true, 0, 9, 7 * 1024, 16, 16,
         8, 0, 7},
        {"volume depth 0", Head(16, 16, 5, 32, 0), TF_RGB, false, true, 0, 3, 0, 16, 16, 0, 0, 0},
        // Odd sides halve with truncation: 5 x 5, then 2 x 2; 13 x 7, then 6 x 3, then 3 x 1.
        {"level 1 of 5x5", Head(5, 5, 3, 32), TF_RGB, false, false, 1, 0, 100, 2, 2, 0, 1, 0},
        {"level 1 of 13x7", Head(13, 7, 4), TF_DXT1, false, false, 1, 0, 64, 6, 3, 0, 1, 0},
        {"level 2 of 13x7", Head(13, 7, 4), TF_DXT1, false, false, 2, 0, 80, 3, 1, 0, 2, 0},
        {"level 1 of 100x100", Head(100, 100, 3), TF_DXT5, false, false, 2, 0, 10000 + 2704, 25, 25,
         0, 2, 0},
        {"level 3 of 13x7 at 24 bits", Head(13, 7, 4, 24), TF_RGB, false, false, 3, 0, 273 + 54 + 9,
         1, 1, 0, 3, 0},
        // A mip count of 0 is one level: every face and layer is its own surface.
        {"cube with mip count 0, face 3", CubeHead(8, 0, 32), TF_RGB, true, false, 0, 3, 3 * 256, 8,
         8, 0, 0, 3},
        {"volume with mip count 0, layer 2", Head(8, 8, 0, 32, 4), TF_RGB, false, true, 0, 2,
         2 * 256, 8, 8, 4, 0, 2},
        {"cube and volume: volume", Head(16, 16, 5, 32, 8), TF_RGB, true, true, 0, 2, 2048, 16, 16,
         8, 0, 2},
        // A huge mip count must not loop billions of times, nor wrap.
        {"mip count 2^31", Head(4, 4, 0x80000000u), TF_DXT1, false, false, 0x7FFFFFFF, 0,
         8ull * 0x7FFFFFFF, 1, 1, 0, 0x7FFFFFFF, 0},
        {"mip count 2^32-1 cube", CubeHead(4, 0xFFFFFFFFu, 0), TF_DXT1, true, false, 0, 1,
         8ull * 0xFFFFFFFF, 4, 4, 0, 0, 1},
    };
    for (const LocateCase& c : cases) {
        DdsHead head = c.head;
        SurfaceLocation loc = LocateSurface(head, c.format, c.cube, c.volume, c.level, c.layer);
        EXPECT_EQ(loc.offset, c.offset) << c.what;
        EXPECT_EQ(head.dwWidth, c.w) << c.what;
        EXPECT_EQ(head.dwHeight, c.h) << c.what;
        EXPECT_EQ(head.dwDepth, c.d) << c.what;
        EXPECT_EQ(head.dwMipMapCount, c.head.dwMipMapCount) << c.what << ": never changed";
        EXPECT_EQ(loc.level, c.usedLevel) << c.what;
        EXPECT_EQ(loc.layer, c.usedLayer) << c.what;
    }
}

} // namespace
