// The window's size and place for a picture.
#include <gtest/gtest.h>

#include <vector>

#include "view/CubeCross.h"
#include "view/Placement.h"

namespace {

// Frame 3, caption 19, menu 19, status bar 20.
PlacementInput Input(int w, int h, float scale, WindowRect work, bool centre, bool clip,
                     int left = 0, int top = 0, int minWidth = kMinWindowWidth) {
    return {w, h, scale, 6, 44, 20, left, top, work, centre, clip, minWidth};
}

TEST(Placement, Table) {
    const WindowRect big = {0, 0, 1280, 984};
    const struct {
        const char* what;
        PlacementInput in;
        Placement out;
    } cases[] = {
        {"no image", Input(0, 0, 1, big, false, false, 50, 50), {50, 50, 640, 480}},
        {"small image", Input(256, 256, 1, big, false, false, 50, 50), {50, 50, 640, 480}},
        {"1024 x 768", Input(1024, 768, 1, big, false, false, 0, 0), {0, 0, 1030, 832}},
        {"centred", Input(1024, 768, 1, big, true, false), {125, 76, 1030, 832}},
        {"seventh part", Input(256, 256, 1, big, false, false, 50, 50, 860), {50, 50, 860, 480}},
        {"centred and clipped",
         Input(1024, 768, 1, {0, 0, 1024, 740}, true, true),
         {0, 0, 1024, 740}},
        {"centred, larger, not clipped",
         Input(1024, 768, 1, {0, 0, 1024, 740}, true, false),
         {0, 0, 1030, 832}},
        {"clipped at the right",
         Input(1024, 768, 1, big, false, true, 900, 10),
         {900, 10, 380, 832}},
        {"clipped, small image",
         Input(16, 16, 1, big, false, true, 900, 600),
         {900, 600, 380, 384}},
        {"half scale", Input(2048, 16, 0.5f, big, false, false, 0, 0), {0, 0, 1030, 480}},
        {"work area offset",
         Input(100, 100, 1, {1280, 40, 2560, 1064}, true, true),
         {1600, 312, 640, 480}},
        {"fraction truncated", Input(1001, 601, 0.5f, big, false, false, 0, 0), {0, 0, 640, 480}},
        {"fraction truncated, larger",
         Input(1999, 999, 0.5f, big, false, false, 0, 0),
         {0, 0, 1005, 563}},
        {"off every monitor",
         Input(100, 100, 1, big, false, false, 3000, 2000),
         {640, 504, 640, 480}},
        {"off to the left, clipped",
         Input(100, 100, 1, big, false, true, -900, -700),
         {0, 0, 640, 480}},
        {"clipped to nothing",
         Input(100, 100, 1, big, false, true, 1280, 984),
         {640, 504, 640, 480}},
        {"partly off stays",
         Input(100, 100, 1, big, false, false, -100, -10),
         {-100, -10, 640, 480}},
        {"a crafted width at 100 times", // 3.4e9 pixels wide: the drawn length's limit
         Input(33554432, 4, 100, big, false, false, 0, 0),
         {0, 0, 6 + (1 << 30), 480}},
    };
    for (const auto& c : cases) {
        const Placement p = ComputePlacement(c.in);
        EXPECT_EQ(p.left, c.out.left) << c.what;
        EXPECT_EQ(p.top, c.out.top) << c.what;
        EXPECT_EQ(p.width, c.out.width) << c.what;
        EXPECT_EQ(p.height, c.out.height) << c.what;
    }
}

// Faces +X, -X, +Y, -Y, +Z, -Z: each 2 x 1 face's rows land in its cell of the bottom-up cross.
TEST(Placement, CubeCross) {
    const int32_t column[kCubeFaces] = {2, 0, 1, 1, 1, 3}, row[kCubeFaces] = {1, 1, 0, 2, 1, 1};
    std::vector<uint32_t> cross(8 * 3, 0);
    for (int32_t face = 0; face < kCubeFaces; ++face) {
        EXPECT_EQ(CubeCrossCell(face).column, column[face]) << face;
        EXPECT_EQ(CubeCrossCell(face).row, row[face]) << face;
        const uint32_t pixels[2] = {uint32_t(face + 1), uint32_t(face + 11)};
        CopyFaceIntoCross(cross.data(), pixels, 2, 1, face);
    }
    EXPECT_EQ(cross, (std::vector<uint32_t>{0, 0,  4, 14, 0, 0,  0, 0,    // -Y, the bottom row
                                            2, 12, 5, 15, 1, 11, 6, 16,   // -X +Z +X -Z
                                            0, 0,  3, 13, 0, 0,  0, 0})); // +Y
}

// No larger than any one picture may be: 12 cells of 4096 x 4096 are, of 8192 x 8192 not.
TEST(Placement, CubeCrossBytes) {
    const struct {
        int32_t w, h;
        bool fits;
        uint64_t bytes;
    } cases[] = {{4096, 4096, true, 805306368},
                 {4729, 4729, true, 1073445168},
                 {4730, 4730, false, 1073899200},
                 {8192, 8192, false, 3221225472}};
    for (const auto& c : cases) {
        uint64_t bytes = 0;
        EXPECT_EQ(CrossImageBytes(c.w, c.h, bytes), c.fits) << c.w;
        EXPECT_EQ(bytes, c.bytes) << c.w;
    }
}

TEST(Placement, ProgressBar) {
    const struct {
        int cw, ch, x, y;
    } cases[] = {
        {634, 436, 187, 386}, {1024, 788, 382, 738}, {261, 100, 0, 50}, {259, 10, -0, -40}};
    for (const auto& c : cases) {
        const BarPosition b = ProgressBarPosition(c.cw, c.ch);
        EXPECT_EQ(b.x, c.x) << c.cw;
        EXPECT_EQ(b.y, c.y) << c.ch;
    }
}

TEST(Placement, StatusPartEdges) {
    const struct {
        int dpi, textWidth;
        StatusEdges edges;
        bool seventh;
    } cases[] = {
        {96, 50, {{60, 230, 330, 420, 500, -1}, 6}, false},
        {96, 60, {{60, 230, 330, 420, 500, -1}, 6}, false},
        {96, 72, {{72, 242, 342, 432, 512, -1}, 6}, false},
        {144, 80, {{90, 345, 495, 630, 750, -1}, 6}, false},
        {120, 0, {{75, 287, 412, 525, 625, -1}, 6}, false},
        {96, 72, {{72, 242, 342, 432, 512, 652, -1}, 7}, true},
        {120, 0, {{75, 287, 412, 525, 625, 800, -1}, 7}, true},
    };
    for (const auto& c : cases) {
        const StatusEdges e = StatusPartEdges(c.dpi, c.textWidth, c.seventh);
        ASSERT_EQ(e.count, c.edges.count);
        for (int i = 0; i < e.count; ++i)
            EXPECT_EQ(e.right[i], c.edges.right[i]) << c.dpi << " " << c.textWidth << " " << i;
    }
}

TEST(Placement, StatusPartsFitTheirTexts) {
    const StatusEdges six = {{60, 230, 330, 420, 500, -1}, 6};
    const struct {
        int32_t need[7], bar;
        StatusEdges edges;
    } cases[] = {
        {{50, 90, 80, 0, 70, 120}, 700, six},                               // all fit as given
        {{50, 90, 80, 0, 95, 120}, 700, {{60, 230, 330, 420, 515, -1}, 6}}, // "MipMap" grows
        {{50, 90, 80, 0, 95, 150}, 620, {{50, 185, 285, 375, 470, -1}, 6}}, // wide parts give room
        {{50, 90, 80, 0, 95, 150}, 500, {{50, 140, 220, 255, 350, -1}, 6}}, // down to the texts
    };
    for (const auto& c : cases) {
        const StatusEdges e = FitStatusParts(six, c.need, c.bar);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(e.right[i], c.edges.right[i]) << c.bar << " " << i;
    }
}

} // namespace
