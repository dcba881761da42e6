// Zoom steps, wheel steps, the fit factor, panning, the pixel under the cursor.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "view/Checkerboard.h"
#include "view/ShrinkFilter.h"
#include "view/Zoom.h"

namespace {

TEST(Zoom, TableSteps) {
    const struct {
        float from, in, out;
    } cases[] =
        {
            {1.0f, 1.5f, 0.7f},      {0.7f, 1.0f, 0.5f},      {1.5f, 2.0f, 1.0f},
            {0.01f, 0.05f, 0.01f},   {100.0f, 100.0f, 50.0f}, {0.05f, 0.1f, 0.01f},
            {1.2f, 1.5f, 1.0f}, // between entries: the neighbours
            {0.0125f, 0.05f, 0.01f}, {75.0f, 100.0f, 50.0f},
        };
    for (const auto& c : cases) {
        EXPECT_EQ(ZoomIn(c.from), c.in) << c.from;
        EXPECT_EQ(ZoomOut(c.from), c.out) << c.from;
    }
    // Walking the table up and down visits every entry.
    float z = kZoomTable[0];
    for (int i = 1; i < kZoomSteps; ++i) EXPECT_EQ(z = ZoomIn(z), kZoomTable[i]);
    for (int i = kZoomSteps - 2; i >= 0; --i) EXPECT_EQ(z = ZoomOut(z), kZoomTable[i]);
}

TEST(Zoom, WheelSteps) {
    const struct {
        float from;
        uint32_t mode;
        bool away;
        float to;
    } cases[] = {
        {1.0f, 4, false, 1.5f},   {50.0f, 4, false, 75.0f},   {75.0f, 4, false, 100.0f},
        {0.05f, 4, true, 0.025f}, {0.025f, 4, true, 0.0125f}, {0.0125f, 4, true, 0.01f},
        {1.0f, 1, true, 0.95f},   {1.0f, 2, false, 1.1f},     {1.0f, 3, true, 0.75f},
        {1.0f, 0, true, 1.0f},    {1.0f, 7, false, 1.0f}, // no zoom step in these modes
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(WheelZoom(c.from, c.mode, c.away), c.to) << c.from << " " << c.mode;
    EXPECT_EQ(WheelZoom(0.0125f, 4, true), kMinZoom);
    EXPECT_EQ(WheelZoom(75.0f, 4, false), kMaxZoom);
    // Mode 4 once in from 1, then the keypad: 1.5 goes to 1 and 2.
    const float z = WheelZoom(1.0f, 4, false);
    EXPECT_EQ(ZoomOut(z), 1.0f);
    EXPECT_EQ(ZoomIn(z), 2.0f);
}

TEST(Zoom, DrawnLength) {
    const struct {
        int64_t pixels;
        float scale;
        double length;
    } cases[] = {
        {1024, 0.5f, 512.0},
        {1, 0.94f, 1.0}, // a thin picture keeps one pixel
        {0, 2.0f, 0.0},
        {3, 0.25f, 1.0},
        {33554432, 100.0f, kMaxDrawnLength}, // a crafted header's width, clamped
    };
    for (const auto& c : cases) EXPECT_EQ(DrawnLength(c.pixels, c.scale), c.length) << c.pixels;
}

TEST(Zoom, FitFactor) {
    const struct {
        int cw, vh, w, h;
        float fit;
    } cases[] = {
        {640, 400, 256, 256, 1.0f},        {640, 400, 1280, 400, 0.5f}, {640, 400, 640, 800, 0.5f},
        {1000, 500, 2000, 2000, 0.25f},    {640, 400, 0, 0, 1.0f},      {0, 0, 64, 64, 1.0f},
        {640, 400, 641, 10, 640.0f / 641},
    };
    for (const auto& c : cases) EXPECT_FLOAT_EQ(FitFactor(c.cw, c.vh, c.w, c.h), c.fit) << c.w;
}

TEST(Zoom, PanClamping) {
    const struct {
        int area;
        double size;
        int pan;
        AxisPlacement expected;
    } cases[] = {
        {640, 100, 0, {270, 0, false}},        // smaller: centred, no pan
        {640, 100, 55, {270, 0, false}},       // a stale pan is cleared
        {600, 1000, 0, {-200, 0, true}},       // larger, not panned
        {600, 1000, 300, {0, 200, true}},      // dragged right: the left edge stops at 0
        {600, 1000, -900, {-400, -201, true}}, // dragged left: the right edge stops at 600
        {600, 1000, -201, {-400, -201, true}}, // and stays there
        {600, 1000, -100, {-300, -100, true}}, {601, 1000, 0, {-199, 0, true}},
    };
    for (const auto& c : cases) {
        const AxisPlacement p = PlaceAxis(c.area, c.size, c.pan);
        EXPECT_EQ(p.pos, c.expected.pos) << c.area << " " << c.size << " " << c.pan;
        EXPECT_EQ(p.pan, c.expected.pan) << c.area << " " << c.size << " " << c.pan;
        EXPECT_EQ(p.pannable, c.expected.pannable);
    }
}

TEST(Zoom, PixelUnderCursor) {
    const struct {
        int offset;
        float scale;
        int pixel;
    } cases[] = {
        {0, 1.0f, 0},   {10, 1.0f, 10}, {-1, 1.0f, -1}, {21, 2.0f, 10},
        {-1, 4.0f, -1}, {3, 0.5f, 6},   {7, 0.7f, 10},  {1, 0.0f, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(PixelAt(c.offset, c.scale), c.pixel) << c.offset;
}

TEST(Zoom, TitlePercent) {
    const struct {
        float fit, zoom;
        int percent;
    } cases[] = {
        {0.5f, 1.5f, 75},  {1.0f, 0.00999f, 1},   {1.0f, 0.004f, 0},  {1.0f, 0.7f, 70},
        {1.0f, 0.15f, 15}, {1.0f, 100.0f, 10000}, {0.333f, 1.0f, 33},
    };
    for (const auto& c : cases) EXPECT_EQ(ZoomPercent(c.fit, c.zoom), c.percent) << c.zoom;
}

TEST(Zoom, StretchMode) {
    const struct {
        float scale;
        bool shrink, enlarge;
        int mode;
    } cases[] = {
        {0.5f, true, false, kStretchHalftone},     {0.5f, false, true, kStretchColorOnColor},
        {1.0f, true, false, kStretchColorOnColor}, {1.0f, false, true, kStretchHalftone},
        {2.0f, false, true, kStretchHalftone},     {2.0f, true, false, kStretchColorOnColor},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StretchModeFor(c.scale, c.shrink, c.enlarge), c.mode) << c.scale;
}

TEST(Zoom, Checkerboard) {
    // 2 x 2, bottom-up, premultiplied: top row opaque colour and clear, bottom row half alpha
    // and opaque black; drawn at 4 times from the corner.
    const uint32_t picture[4] = {0x80402010, 0xFF000000, 0xFF102030, 0x00000000};
    std::vector<uint32_t> out(9 * 5);
    DrawOverCheckerboard(out.data(), {0, 0, 9, 5}, {picture, 2, 2, 0, 0, 4.0});
    const struct {
        int32_t x, y;
        uint32_t pixel;
    } cases[] = {
        {0, 0, 0xFF102030}, {3, 3, 0xFF102030}, // opaque: the colour
        {4, 0, 0xFFCCCCCC},                     // clear: the light square
        {0, 4, 0xFFA68676},                     // half: colour + 204 x 127 / 255
        {4, 4, 0xFF000000}, {8, 0, 0xFF999999}, // beyond the picture: the dark square
    };
    for (const auto& c : cases) EXPECT_EQ(out[c.y * 9 + c.x], c.pixel) << c.x << "," << c.y;
    EXPECT_EQ(CheckerGrey(7, 8), kCheckerDark);
    EXPECT_EQ(CheckerGrey(8, 8), kCheckerLight);
}

TEST(Zoom, ShrinkAveragesBoxes) {
    // Each byte its own mean, halves upward: blue 0.5, green 0.25, red 254.75, alpha 127.5.
    const std::vector<uint32_t> quad = {0x00FF0000, 0xFFFF0000, 0x00FF0001, 0xFFFE0101};
    const std::vector<uint32_t> sixteen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const std::vector<uint32_t> wide(300 * 257), white257(257, ~0u), tall258(258);
    // The largest box, 256 x 256: all white, and blue at one half; and a box of 201 x 200
    // whose blue is just under 254.5, where too short a reciprocal rounds up.
    std::vector<uint32_t> white65536(65536, ~0u), half(65536), underHalf(40200, 254u);
    std::fill(half.begin(), half.begin() + 32768, 1u);
    std::fill(underHalf.begin(), underHalf.begin() + 20099, 255u);
    const struct {
        const char* what;
        std::vector<uint32_t> picture; // bottom-up
        int32_t width, height, drawnWidth, drawnHeight;
        CheckerArea part;
        std::vector<uint32_t> want; // top row first; empty: refused
    } cases[] = {
        {"2x2 to 1", quad, 2, 2, 1, 1, {0, 0, 1, 1}, {0x80FF0001}},
        {"3 to 2: boxes of 1 and 2", {0x10, 0x20, 0x31}, 3, 1, 2, 1, {0, 0, 2, 1}, {0x10, 0x29}},
        {"rows bottom-up", {1, 2, 3, 4}, 1, 4, 1, 2, {0, 0, 1, 2}, {4, 2}},
        // (3 + 4 + 7 + 8) / 4 = 5.5
        {"a part: the bottom-right box", sixteen, 4, 4, 2, 2, {1, 1, 1, 1}, {6}},
        {"larger than the picture", {1, 2, 3, 4}, 2, 2, 3, 3, {0, 0, 3, 3}, {}},
        {"a box over 65536 pixels", wide, 300, 257, 1, 1, {0, 0, 1, 1}, {}},
        {"257 rows: the most summed", white257, 1, 257, 1, 1, {0, 0, 1, 1}, {~0u}},
        {"258 rows", tall258, 1, 258, 1, 1, {0, 0, 1, 1}, {}},
        {"65536 pixels, white", white65536, 256, 256, 1, 1, {0, 0, 1, 1}, {~0u}},
        {"65536 pixels, one half up", half, 256, 256, 1, 1, {0, 0, 1, 1}, {1}},
        {"40200 pixels, just under 254.5", underHalf, 201, 200, 1, 1, {0, 0, 1, 1}, {254}},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> out(size_t(c.part.width) * c.part.height, 0xDEADBEEF);
        const bool shrunk = ShrinkPicture(out.data(), c.part, c.picture.data(), c.width, c.height,
                                          c.drawnWidth, c.drawnHeight);
        EXPECT_EQ(shrunk, !c.want.empty()) << c.what;
        if (shrunk) {
            EXPECT_EQ(out, c.want) << c.what;
        }
    }
}

// Pictures of many bands (every core) and odd box sizes against the rule pixel by pixel.
TEST(Zoom, ShrinkLargePicture) {
    const int32_t w = 517, h = 389, dw = 100, dh = 77;
    std::vector<uint32_t> picture(size_t(w) * h);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint32_t(i * 2654435761u);
    const CheckerArea part = {3, 5, 90, 70};
    std::vector<uint32_t> out(size_t(part.width) * part.height);
    ASSERT_TRUE(ShrinkPicture(out.data(), part, picture.data(), w, h, dw, dh));
    for (int32_t r = 0; r < part.height; ++r)
        for (int32_t c = 0; c < part.width; ++c) {
            const int32_t x0 = (part.left + c) * w / dw, x1 = (part.left + c + 1) * w / dw;
            const int32_t y0 = (part.top + r) * h / dh, y1 = (part.top + r + 1) * h / dh;
            const uint32_t n = uint32_t((x1 - x0) * (y1 - y0));
            uint32_t want = 0;
            for (int k = 0; k < 32; k += 8) {
                uint32_t sum = 0;
                for (int32_t y = y0; y < y1; ++y)
                    for (int32_t x = x0; x < x1; ++x)
                        sum += (picture[size_t(h - 1 - y) * w + x] >> k) & 255;
                want |= (sum + n / 2) / n << k;
            }
            ASSERT_EQ(out[size_t(r) * part.width + c], want) << c << "," << r;
        }
}

} // namespace
