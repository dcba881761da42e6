// The settings record: defaults, the store's encodings and its version rules.
#include <gtest/gtest.h>

#include <cstring>

#include "view/Settings.h"

namespace {

uint32_t Number(const ViewerSettings& s, const char* name) {
    for (const SettingsValue& v : SettingsValues(s))
        if (!std::strcmp(v.name, name)) return v.number;
    ADD_FAILURE() << name;
    return 0;
}

TEST(Settings, DefaultsAreWrittenAsTheFirstRunStore) {
    const ViewerSettings s;
    const auto values = SettingsValues(s);
    const char* names[] = {"RegVer", "BackgroundColor", "WindowPos",
                           "Flags",  "LastPath",        "MouseWheel"};
    const uint32_t numbers[] = {4, 0x00FF00FF, 0x00320032, 0xDE, 0, 0};
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_STREQ(values[i].name, names[i]);
        EXPECT_EQ(values[i].isText, i == 4) << names[i];
        EXPECT_EQ(values[i].number, numbers[i]) << names[i];
    }
    EXPECT_EQ(values[4].text, "");
}

TEST(Settings, FlagBits) {
    struct Case {
        bool ViewerSettings::*field;
        uint32_t mask;
    } cases[] = {
        {&ViewerSettings::showAlpha, 0x001},     {&ViewerSettings::useAlpha, 0x002},
        {&ViewerSettings::clipToMonitor, 0x004}, {&ViewerSettings::centerOnMonitor, 0x008},
        {&ViewerSettings::filterShrink, 0x010},  {&ViewerSettings::filterEnlarge, 0x020},
        {&ViewerSettings::wrapAround, 0x040},    {&ViewerSettings::autoZoom, 0x080},
        {&ViewerSettings::alwaysOnTop, 0x100},   {&ViewerSettings::dxt5AsNormalMap, 0x200},
        {&ViewerSettings::gpuExact, 0x400},
    };
    for (const Case& c : cases) {
        ViewerSettings s;
        s.*c.field = !(s.*c.field);
        EXPECT_EQ(EncodeFlags(s) ^ 0xDEu, c.mask);
        ViewerSettings read;
        read.*c.field = false;
        DecodeFlags(c.mask, 3, read);
        EXPECT_TRUE(read.*c.field) << c.mask;
    }
}

TEST(Settings, FlagsReadByVersion) {
    struct Case {
        uint32_t version;
        uint32_t flags;
        uint32_t expected; // the record's Flags afterwards
    } cases[] = {
        {0, 0x1FF, 0x0DF}, // bits 0-2 taken, the rest keep their defaults (0xD8)
        {0, 0x000, 0x0D8}, // showAlpha, useAlpha and clipToMonitor off
        {1, 0x3FF, 0x1FF}, // version 1 does not know bit 9
        {1, 0x000, 0x000},
        {2, 0x7FF, 0x3FF}, // version 2 does not know bit 10
        {3, 0x7FF, 0x7FF},
        {2, 0xFFFFF800, 0},          // unknown bits are ignored
        {3, 0x1800, 0x1800},         // checkerboard and texel values
        {3, 0x8000, 0x8000},         // channel 4 (alpha)
        {3, 0xA000, 0},              // channel 5 does not exist: all channels
        {3, 0x3F0000, 0x3F0000},     // exposure -1
        {3, 0x1F0000, 0x100000},     // exposure +31 is kept at +16
        {3, 0x200000, 0x300000},     // exposure -32 is kept at -16
        {2, 0x3F9800, 0},            // unknown to version 2
        {3, 0x400000, 0x400000},     // live reload
        {2, 0x400000, 0},            // unknown to version 2
        {3, 0x800000, 0x800000},     // cube maps as a cross
        {2, 0x800000, 0},            // unknown to version 2
        {3, 0xFF000000, 0},          // bits beyond are unknown to version 3
        {4, 0x01000000, 0x01000000}, // tile view
        {4, 0x02000000, 0x02000000}, // all levels
        {4, 0x04000000, 0x04000000}, // difference
        {4, 0x08000000, 0x08000000}, // auto range
        {4, 0x10000000, 0x10000000}, // NaN and Inf unmarked
        {4, 0x20000000, 0x20000000}, // the sRGB curve
        {4, 0xC0000000, 0},          // bits beyond are ignored
    };
    for (const Case& c : cases) {
        ViewerSettings s;
        DecodeFlags(c.flags, c.version, s);
        EXPECT_EQ(EncodeFlags(s), c.expected) << c.version << " " << c.flags;
    }
}

TEST(Settings, ColourAndPositionEncodings) {
    struct Case {
        uint32_t stored;
        uint8_t r, g, b;
        uint32_t written;
    } colours[] = {
        {0x00FF00FF, 255, 0, 255, 0x00FF00FF},
        {0x00123456, 0x56, 0x34, 0x12, 0x00123456},
        {0xAB010203, 3, 2, 1, 0x00010203}, // the top byte is dropped
    };
    for (const Case& c : colours) {
        ViewerSettings s;
        DecodeColor(c.stored, s);
        EXPECT_EQ(s.backgroundColor.red, c.r);
        EXPECT_EQ(s.backgroundColor.green, c.g);
        EXPECT_EQ(s.backgroundColor.blue, c.b);
        EXPECT_EQ(EncodeColor(s), c.written);
    }
    struct Pos {
        uint32_t stored;
        int x, y;
    } positions[] = {{0x00320032, 50, 50},
                     {0xFFF8FFF8, -8, -8},
                     {0x7FFF8000, -32768, 32767},
                     {0x00010002, 2, 1}};
    for (const Pos& p : positions) {
        ViewerSettings s;
        DecodeWindowPos(p.stored, s);
        EXPECT_EQ(s.windowPos.x, p.x);
        EXPECT_EQ(s.windowPos.y, p.y);
        EXPECT_EQ(EncodeWindowPos(s), p.stored);
    }
}

TEST(Settings, StoreWithoutRegVer) {
    StoredSettings stored;
    stored.backgroundColor = 0x00000080;
    stored.windowPos = 0x00640064;
    stored.flags = 0x1FF;
    stored.lastPath = "C:\\tex\\";
    stored.mouseWheel = 3;
    ViewerSettings s;
    EXPECT_FALSE(ApplyStoredSettings(stored, s)); // rewritten at once
    EXPECT_EQ(EncodeFlags(s), 0x0DFu);
    EXPECT_EQ(s.mouseWheelMode, 0u); // not read below version 1
    EXPECT_STREQ(s.lastPath, "C:\\tex\\");
    EXPECT_EQ(Number(s, "RegVer"), 4u);
    EXPECT_EQ(s.backgroundColor.red, 0x80);
    EXPECT_EQ(s.windowPos.x, 100);
}

TEST(Settings, CompleteStoreAndMissingValues) {
    StoredSettings full;
    full.regVer = 2;
    full.backgroundColor = 0x00010203;
    full.windowPos = 0x00050006;
    full.flags = 0x200;
    full.lastPath = "";
    full.mouseWheel = 4;
    ViewerSettings s;
    EXPECT_TRUE(ApplyStoredSettings(full, s));
    EXPECT_EQ(EncodeFlags(s), 0x200u);
    EXPECT_EQ(s.mouseWheelMode, 4u);

    // Each missing value makes the set incomplete and leaves its field alone.
    for (int missing = 0; missing < 6; ++missing) {
        StoredSettings part = full;
        switch (missing) {
        case 0: part.regVer.reset(); break;
        case 1: part.backgroundColor.reset(); break;
        case 2: part.windowPos.reset(); break;
        case 3: part.flags.reset(); break;
        case 4: part.lastPath.reset(); break;
        case 5: part.mouseWheel.reset(); break;
        }
        ViewerSettings t;
        EXPECT_FALSE(ApplyStoredSettings(part, t)) << missing;
        EXPECT_EQ(EncodeColor(t), missing == 1 ? 0x00FF00FFu : 0x00010203u);
        EXPECT_EQ(EncodeWindowPos(t), missing == 2 ? 0x00320032u : 0x00050006u);
        EXPECT_EQ(t.mouseWheelMode, missing == 5 || missing == 0 ? 0u : 4u);
    }
}

TEST(Settings, OutOfRangeValues) {
    StoredSettings stored;
    stored.regVer = 1;
    stored.backgroundColor = 0;
    stored.windowPos = 0;
    stored.flags = 0x200;
    stored.mouseWheel = 5;
    stored.lastPath = std::string(kPathBufferSize, 'p'); // no room for its terminating zero
    ViewerSettings s;
    std::strcpy(s.lastPath, "C:\\kept\\");
    EXPECT_FALSE(ApplyStoredSettings(stored, s));
    EXPECT_STREQ(s.lastPath, "C:\\kept\\");
    EXPECT_EQ(s.mouseWheelMode, 0u);
    EXPECT_FALSE(s.dxt5AsNormalMap); // bit 9 is unknown to version 1

    stored.lastPath = std::string(kPathBufferSize - 1, 'p');
    stored.mouseWheel = 4;
    EXPECT_TRUE(ApplyStoredSettings(stored, s));
    EXPECT_EQ(std::strlen(s.lastPath), kPathBufferSize - 1);
    EXPECT_EQ(s.mouseWheelMode, 4u);
}

} // namespace
