// The hand-made hostile corpus: malformed and awkward DDS files, one per case of
// tests/hostile/expected.tsv.
#include "HostileCorpus.h"

#include <algorithm>
#include <limits>

#include "DdsBuilder.h"
#include "dds/DdsFormat.h"

namespace testkit {

using namespace dds;

namespace {

// 4 x 4 A8R8G8B8 whose pixel (x, y) is blue 0x80, green 0x20 + x, red 0x10 x (y + 1), alpha
// 255 in even columns and 0 in odd ones: rows, columns and alpha all tell apart.
DdsHead ArgbHead() {
    return HeadMasks(4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
}
std::vector<uint8_t> ArgbPixels(uint32_t w = 4, uint32_t h = 4) {
    std::vector<uint8_t> out;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            Put32(out,
                  (x % 2 ? 0u : 0xFFu) << 24 | (0x10 * (y + 1)) << 16 | (0x20 + x) << 8 | 0x80);
    return out;
}

// A colour block of one colour (four-colour mode against black, every index 0).
std::vector<uint8_t> SolidBlock(uint16_t color) {
    std::vector<uint8_t> out;
    Put16(out, color);
    Put16(out, 0);
    Put32(out, 0);
    return out;
}

// 8 x 8 DXT1 of four solid blocks: red, green on top, blue, white below; linear size 32.
DdsHead Dxt1Head() {
    return LinearHead(8, 8, FOURCC_DXT1, 1, 32);
}
std::vector<uint8_t> Dxt1Blocks() {
    std::vector<uint8_t> out;
    for (uint16_t c : {0xF800, 0x07E0, 0x001F, 0xFFFF}) Append(out, SolidBlock(c));
    return out;
}

// The block of the odd-size cases. Colour 0xF800 over 0x001F (four-colour mode): palette red,
// blue, 2/3 red, 1/3 red; pixel (x, y) takes entry (x + y) mod 4. Alpha, where the format has
// it, is 255 in even columns and 0 in odd ones.
std::vector<uint8_t> PatternBlock(uint32_t fourCC) {
    std::vector<uint8_t> out;
    if (fourCC == FOURCC_DXT2 || fourCC == FOURCC_DXT3) {
        for (int y = 0; y < 4; ++y) Put16(out, 0x0F0F);
    } else if (fourCC == FOURCC_DXT4 || fourCC == FOURCC_DXT5) {
        // Alpha 255 and 0, index 0 in even columns and 1 in odd ones.
        for (uint8_t b : {0xFF, 0x00, 0x08, 0x82, 0x20, 0x08, 0x82, 0x20}) out.push_back(b);
    }
    Put16(out, 0xF800);
    Put16(out, 0x001F);
    for (uint8_t row : {0xE4, 0x39, 0x4E, 0x93}) out.push_back(row);
    return out;
}

DdsHead WithField(DdsHead head, const std::string& field, uint32_t value) {
    if (field == "width") head.dwWidth = value;
    if (field == "height") head.dwHeight = value;
    if (field == "depth") head.dwDepth = value;
    if (field == "mipcount") head.dwMipMapCount = value;
    if (field == "pitch") head.dwPitchOrLinearSize = value;
    if (field == "bitcount") head.ddspf.dwRGBBitCount = value;
    return head;
}

std::vector<uint8_t> Floats(std::initializer_list<float> values) {
    std::vector<uint8_t> out;
    for (float v : values) PutFloat(out, v);
    return out;
}
std::vector<uint8_t> Halves(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> out;
    for (uint16_t v : values) Put16(out, v);
    return out;
}

} // namespace

std::vector<HostileCase> HostileCases() {
    std::vector<HostileCase> cases;
    auto add = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        cases.push_back({name, bytes});
    };
    auto cut = [](std::vector<uint8_t> bytes, size_t size) {
        bytes.resize(size);
        return bytes;
    };
    const auto argb = FileBytes(ArgbHead(), ArgbPixels());

    // Too short for a head, or not a DDS file.
    add("empty", {});
    add("short-50", cut(argb, 50));
    add("short-116-claims-65535", cut(FileBytes(HeadFourCC(65535, 65535, FOURCC_DXT1)), 116));
    add("head-only", FileBytes(ArgbHead()));
    auto magic = argb;
    magic[3] = 'X';
    add("bad-magic-ddsx", magic);
    magic[3] = 0;
    add("bad-magic-dds-nul", magic);
    add("unknown-fourcc", FileBytes(HeadFourCC(8, 8, MakeFourCC('Y', 'U', 'Y', '2')), Pattern(64)));

    // DX10 extensions: the DXT1 file's blocks as BC1, then broken extensions.
    add("dx10-bc1-base", Dx10FileBytes(Dxt1Head(), Dx10(71), Dxt1Blocks()));
    add("dx10-array-0", Dx10FileBytes(Dxt1Head(), Dx10(71, 0), Dxt1Blocks()));
    add("dx10-array-max", Dx10FileBytes(Dxt1Head(), Dx10(71, 0xFFFFFFFFu), Dxt1Blocks()));
    add("dx10-cube-2p30",
        Dx10FileBytes(Dxt1Head(), Dx10(71, 1u << 30, DX10_MISC_TEXTURECUBE), Dxt1Blocks()));
    add("dx10-dimension-7", Dx10FileBytes(Dxt1Head(), Dx10(71, 1, 0, 7), Dxt1Blocks()));
    add("dx10-dxgi-130", Dx10FileBytes(Dxt1Head(), Dx10(130), Dxt1Blocks()));
    add("dx10-dxgi-max", Dx10FileBytes(Dxt1Head(), Dx10(0xFFFFFFFFu), Dxt1Blocks()));
    add("dx10-cut-140", cut(Dx10FileBytes(Dxt1Head(), Dx10(71), Dxt1Blocks()), 140));

    // Every size field of the head at 0 and at 0xFFFFFFFF, on an uncompressed and a block file.
    add("a8r8g8b8-base", argb);
    add("dxt1-base", FileBytes(Dxt1Head(), Dxt1Blocks()));
    for (const char* field : {"width", "height", "depth", "mipcount", "pitch", "bitcount"}) {
        for (uint32_t value : {0u, 0xFFFFFFFFu}) {
            const std::string suffix = std::string("-") + field + (value ? "-max" : "-0");
            add("a8r8g8b8" + suffix, FileBytes(WithField(ArgbHead(), field, value), ArgbPixels()));
            add("dxt1" + suffix, FileBytes(WithField(Dxt1Head(), field, value), Dxt1Blocks()));
        }
    }
    add("width-7fffffff-bits32",
        FileBytes(HeadMasks(0x7FFFFFFF, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0), Pattern(64)));
    add("dxt1-65535-nodata", FileBytes(HeadFourCC(65535, 65535, FOURCC_DXT1)));
    add("a32b32g32r32f-16384-nodata", FileBytes(HeadFourCC(16384, 16384, FOURCC_A32B32G32R32F)));

    { // Sizes refused by memory, not by side: long strips and deep volumes open; a header
      // that claims gigabytes takes no more memory than its file supplies.
        add("pitch-4gib-1x16384",
            FileBytes(HeadMasks(1, 16384, 2097144, 0xFF0000, 0xFF00, 0xFF, 0)));
        add("dxt1-80000000-square", FileBytes(HeadFourCC(0x80000000u, 0x80000000u, FOURCC_DXT1)));
        std::vector<uint8_t> strip;
        for (int b = 0; b < 8192; ++b) Append(strip, SolidBlock(0xF800));
        add("dxt1-32768x4", FileBytes(HeadFourCC(32768, 4, FOURCC_DXT1), strip));
        strip.clear();
        for (int b = 0; b < 16384; ++b) Append(strip, SolidBlock(0x001F));
        add("dxt1-65535x1", FileBytes(HeadFourCC(65535, 1, FOURCC_DXT1), strip));
        strip.clear();
        for (int x = 0; x < 20000; ++x) Put32(strip, 0xFF102030);
        add("a8r8g8b8-20000x1",
            FileBytes(HeadMasks(20000, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), strip));
        DdsHead deep = ArgbHead();
        deep.dwCaps2 = DDSCAPS2_VOLUME;
        deep.dwDepth = 4096;
        std::vector<uint8_t> slices(4095 * 64, 0);
        Append(slices, ArgbPixels());
        add("volume-depth-4096", FileBytes(deep, slices));
    }
    { // Selections beyond what the file has: a six-face cube of two levels, and a 4 x 4 x 4
      // volume of two levels. Each surface is solid: face or slice n of level l has blue n,
      // green l, red 0x40, alpha 255.
        auto solid = [](uint32_t side, uint32_t n, uint32_t level) {
            std::vector<uint8_t> out;
            for (uint32_t i = 0; i < side * side; ++i) Put32(out, 0xFF400000 | level << 8 | n);
            return out;
        };
        DdsHead cube = HeadMasks(4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 2);
        cube.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
        std::vector<uint8_t> faces;
        for (uint32_t f = 0; f < 6; ++f) {
            Append(faces, solid(4, f, 0));
            Append(faces, solid(2, f, 1));
        }
        add("cube-6-faces-2-levels", FileBytes(cube, faces));
        DdsHead volume = HeadMasks(4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 2);
        volume.dwCaps2 = DDSCAPS2_VOLUME;
        volume.dwDepth = 4;
        std::vector<uint8_t> slices;
        for (uint32_t n = 0; n < 4; ++n) Append(slices, solid(4, n, 0));
        for (uint32_t n = 0; n < 2; ++n) Append(slices, solid(2, n, 1));
        add("volume-4x4x4-2-levels", FileBytes(volume, slices));
    }
    { // 64 x 64 DXT1 with its 7 real levels (level n solid: red, green, blue, white, red, ...)
      // whose head claims 255.
        std::vector<uint8_t> payload;
        const uint16_t colors[] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
        uint32_t w = 64;
        for (int level = 0; level < 7; ++level, w = Halve(w))
            for (uint32_t b = 0; b < std::max(1u, w / 4) * std::max(1u, w / 4); ++b)
                Append(payload, SolidBlock(colors[level % 4]));
        add("dxt1-64-mipcount-255", FileBytes(LinearHead(64, 64, FOURCC_DXT1, 255, 0), payload));
    }
    { // Cube and volume flags with nothing behind them.
        DdsHead cube = ArgbHead();
        cube.dwCaps2 = DDSCAPS2_CUBEMAP;
        add("cube-no-faces", FileBytes(cube, ArgbPixels()));
        DdsHead volume = ArgbHead();
        volume.dwCaps2 = DDSCAPS2_VOLUME;
        add("volume-depth-0", FileBytes(volume, ArgbPixels()));
        volume.dwDepth = 0xFFFFFFFF;
        add("volume-depth-max", FileBytes(volume, ArgbPixels()));
    }
    { // The linear size against the surface (32 bytes) and the file.
        auto withLinear = [](uint32_t linear, size_t dataBytes) {
            std::vector<uint8_t> data = Dxt1Blocks();
            data.resize(dataBytes, 0x55);
            return FileBytes(LinearHead(8, 8, FOURCC_DXT1, 1, linear), data);
        };
        add("dxt1-linear-larger", withLinear(64, 64));
        add("dxt1-linear-larger-than-file", withLinear(64, 32));
        add("dxt1-linear-smaller", withLinear(8, 32));
        DdsHead argbLinear = ArgbHead();
        argbLinear.dwFlags |= DDSD_LINEARSIZE;
        argbLinear.dwPitchOrLinearSize = 20;
        add("a8r8g8b8-linear-smaller", FileBytes(argbLinear, ArgbPixels()));
        DdsHead r5g6b5 = HeadMasks(4, 2, 16, 0xF800, 0x07E0, 0x001F, 0);
        r5g6b5.dwFlags |= DDSD_LINEARSIZE;
        r5g6b5.dwPitchOrLinearSize = 6;
        std::vector<uint8_t> white;
        for (int i = 0; i < 8; ++i) Put16(white, 0xFFFF);
        add("r5g6b5-linear-smaller", FileBytes(r5g6b5, white));
    }
    { // Awkward sizes in every block format.
        const std::pair<const char*, uint32_t> formats[] = {
            {"dxt1", FOURCC_DXT1}, {"dxt2", FOURCC_DXT2}, {"dxt3", FOURCC_DXT3},
            {"dxt4", FOURCC_DXT4}, {"dxt5", FOURCC_DXT5},
        };
        const std::pair<uint32_t, uint32_t> sizes[] = {{5, 3}, {1, 1}, {256, 1}, {1, 256}};
        for (const auto& f : formats) {
            for (const auto& s : sizes) {
                std::vector<uint8_t> data;
                const uint32_t blocks = BlockCount(s.first) * BlockCount(s.second);
                for (uint32_t b = 0; b < blocks; ++b) Append(data, PatternBlock(f.second));
                add(std::string(f.first) + "-" + std::to_string(s.first) + "x" +
                        std::to_string(s.second),
                    FileBytes(LinearHead(s.first, s.second, f.second, 1, uint32_t(data.size())),
                              data));
            }
        }
    }
    {                                // Truncated mip chains: the file ends inside level 2.
        std::vector<uint8_t> blocks; // levels 16, 8, 4, 2, 1: 128 + 32 + 8 + 8 + 8 bytes
        const uint16_t colors[] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xF800};
        uint32_t w = 16;
        for (int level = 0; level < 5; ++level, w = Halve(w))
            for (uint32_t b = 0; b < std::max(1u, w / 4) * std::max(1u, w / 4); ++b)
                Append(blocks, SolidBlock(colors[level]));
        blocks.resize(128 + 32 + 4);
        add("dxt1-16-mips-truncated", FileBytes(LinearHead(16, 16, FOURCC_DXT1, 5, 128), blocks));

        std::vector<uint8_t> argbChain; // levels 8, 4, 2, 1: 256 + 64 + 16 + 4 bytes
        for (uint32_t s : {8u, 4u, 2u, 1u}) Append(argbChain, ArgbPixels(s, s));
        argbChain.resize(256 + 64 + 8);
        add("a8r8g8b8-8-mips-truncated",
            FileBytes(HeadMasks(8, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 4), argbChain));
    }
    { // Float specials.
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        const float sub = 1e-40f; // subnormal
        add("r32f-specials",
            FileBytes(HeadFourCC(4, 1, FOURCC_R32F), Floats({nan, inf, -inf, sub})));
        add("a32b32g32r32f-specials",
            FileBytes(HeadFourCC(2, 2, FOURCC_A32B32G32R32F),
                      Floats({nan, inf, -inf, 1.0f,      // r, g, b, a of (0, 0)
                              sub, 0.5f, 1.0f, nan,      // (1, 0)
                              0.25f, 0.75f, -0.0f, inf,  // (0, 1)
                              1.0f, 1.0f, 1.0f, sub}))); // (1, 1)
        add("r16f-specials",
            FileBytes(HeadFourCC(4, 1, FOURCC_R16F), Halves({0x7E00, 0x7C00, 0x0001, 0x8000})));
        add("a16b16g16r16f-specials",
            FileBytes(HeadFourCC(2, 2, FOURCC_A16B16G16R16F),
                      Halves({0x7E00, 0x7C00, 0xFC00, 0x3C00, 0x0001, 0x8000, 0x3800, 0x7E00,
                              0x3C00, 0x3800, 0x0000, 0x0000, 0xFC00, 0x7BFF, 0x03FF, 0x3800})));
    }
    return cases;
}

} // namespace testkit
