// The six status bar texts.
#include <gtest/gtest.h>

#include "view/StatusText.h"

namespace {

struct StatusCase {
    const char* what;
    StatusFacts facts;
    std::array<std::string, kStatusParts> parts;
};

StatusFacts Facts(const char* name, int w, int h, bool cube, bool volume, int count, int layer,
                  int level, uint32_t mips, uint32_t raw, int64_t fileData) {
    StatusFacts f;
    f.formatName = name;
    f.width = w;
    f.height = h;
    f.cubeMap = cube;
    f.volume = volume;
    f.surfaceCount = count;
    f.faceOrLayer = layer;
    f.level = level;
    f.mipMapCount = mips;
    f.rawSize = raw;
    f.fileDataSize = fileData;
    return f;
}

StatusFacts ArrayFacts(StatusFacts f) {
    f.array = true;
    return f;
}

TEST(StatusTexts, Table) {
    const StatusCase cases[] = {
        {"plain DXT1 at level 8",
         Facts("DXT1", 1, 1, false, false, 0, 0, 8, 9, 8, 43704),
         {" Type: DDS", " Format: DXT1", " Size: 1x1", "", " MipMap: 9/9", " Mem: 0.0KB/42.7KB"}},
        {"cube face 3 of 6",
         Facts("32bit-A8R8G8B8", 64, 64, true, false, 6, 2, 0, 7, 16384, 131064),
         {" Type: DDS", " Format: 32bit-A8R8G8B8", " Size: 64x64", " Side: 3/6", " MipMap: 1/7",
          " Mem: 16.0KB/128.0KB"}},
        {"volume layer 4 of 8",
         Facts("32bit-X8R8G8B8", 8, 8, false, true, 8, 3, 1, 5, 256, 11000),
         {" Type: DDS", " Format: 32bit-X8R8G8B8", " Size: 8x8", " Layer: 4/8", " MipMap: 2/5",
          " Mem: 0.2KB/10.7KB"}},
        {"cube and volume show as a cube",
         Facts("DXT5", 4, 4, true, true, 4, 0, 0, 1, 16, 64),
         {" Type: DDS", " Format: DXT5", " Size: 4x4", " Side: 1/4", " MipMap: 1/1",
          " Mem: 0.0KB/0.1KB"}},
        {"mip count 0 shows 1",
         Facts("DXT1", 4, 4, false, false, 0, 0, 0, 0, 8, 0),
         {" Type: DDS", " Format: DXT1", " Size: 4x4", "", " MipMap: 1/1", " Mem: 0.0KB/0.0KB"}},
        {"array slice 2 of 3",
         ArrayFacts(Facts("BC7_UNORM_SRGB", 8, 8, false, false, 3, 1, 0, 1, 64, 192)),
         {" Type: DDS", " Format: BC7_UNORM_SRGB", " Size: 8x8", " Array: 2/3", " MipMap: 1/1",
          " Mem: 0.1KB/0.2KB"}},
        {"the largest selections count on past INT32_MAX",
         Facts("DXT1", 1, 1, true, false, INT32_MAX, INT32_MAX, INT32_MAX, 0xFFFFFFFF, 8, 0),
         {" Type: DDS", " Format: DXT1", " Size: 1x1", " Side: 2147483648/2147483647",
          " MipMap: 2147483648/4294967295", " Mem: 0.0KB/0.0KB"}},
        {"the largest layer",
         Facts("DXT1", 1, 1, false, true, INT32_MAX, INT32_MAX, 0, 1, 8, 0),
         {" Type: DDS", " Format: DXT1", " Size: 1x1", " Layer: 2147483648/2147483647",
          " MipMap: 1/1", " Mem: 0.0KB/0.0KB"}},
        {"16-bit name with blanks",
         Facts("16bit-  R5G6B5", 5, 3, false, false, 0, 0, 0, 1, 30, 30),
         {" Type: DDS", " Format: 16bit-  R5G6B5", " Size: 5x3", "", " MipMap: 1/1",
          " Mem: 0.0KB/0.0KB"}},
    };
    for (const StatusCase& c : cases) EXPECT_EQ(FormatStatusTexts(c.facts), c.parts) << c.what;
}

TEST(StatusTexts, ViewPart) {
    const struct {
        bool shown;
        int32_t exposure;
        const char* texel;
        const char* text;
    } cases[] = {{false, 3, "", ""},
                 {true, 2, "", " EV +2"},
                 {true, -1, "R 0.5", " EV -1 R 0.5"},
                 {true, 0, "", " EV +0"},
                 {false, 0, "R 1 G 2", " R 1 G 2"}};
    for (const auto& c : cases) EXPECT_EQ(FormatViewText(c.shown, c.exposure, c.texel), c.text);
}

TEST(StatusTexts, LongTextsFitTheTextBuffer) {
    StatusFacts f = Facts("", 1, 1, false, false, 0, 0, 0, 1, 0, 0);
    f.formatName = std::string(400, 'n');
    auto parts = FormatStatusTexts(f);
    EXPECT_EQ(parts[1].size(), kTextBufferSize - 1);
    EXPECT_EQ(parts[1].substr(0, 10), " Format: n");
}

} // namespace
