// The window's size and place for a picture.
#include <gtest/gtest.h>

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

} // namespace
