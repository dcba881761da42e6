// The tile view's and all levels' layout arithmetic.
#include <gtest/gtest.h>

#include <vector>

#include "view/Layout.h"

namespace {

TEST(Layout, TilesAbutAndMapBack) {
    const struct {
        int32_t index, length;
        float scale;
        int32_t start;
    } starts[] = {{0, 5, 1.5f, 0}, {1, 5, 1.5f, 7}, {2, 5, 1.5f, 15}, {3, 5, 1.5f, 22}};
    for (const auto& c : starts) EXPECT_EQ(TileStart(c.index, c.length, c.scale), c.start);
    const int32_t positions[][3] = {{0, 5, 0},   {4, 5, 4},   {5, 5, 0}, {14, 5, 4},
                                    {15, 5, -1}, {-1, 5, -1}, {3, 0, -1}};
    for (const auto& p : positions) EXPECT_EQ(TiledToPicture(p[0], p[1]), p[2]) << p[0];
}

TEST(Layout, LevelsSideBySide) {
    const struct {
        int32_t w, h, levels, columns, rows;
        std::vector<LevelBox> boxes;
        int64_t width, height;
    } cases[] = {
        {8, 4, 4, 1, 1, {{0, 0, 8, 4}, {8, 0, 4, 2}, {12, 0, 2, 1}, {14, 0, 1, 1}}, 15, 4},
        {5, 3, 4, 1, 1, {{0, 0, 5, 3}, {5, 0, 2, 1}, {7, 0, 1, 1}, {8, 0, 1, 1}}, 9, 3}, // odd
        {2, 2, 2, 4, 3, {{0, 0, 8, 6}, {8, 0, 4, 3}}, 12, 6},                            // crosses
    };
    for (const auto& c : cases) {
        const LevelStrip s = LayOutLevels(c.w, c.h, c.levels, c.columns, c.rows);
        ASSERT_EQ(s.boxes.size(), c.boxes.size()) << c.w;
        for (size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_EQ(s.boxes[i].x, c.boxes[i].x) << i;
            EXPECT_EQ(s.boxes[i].width, c.boxes[i].width) << i;
            EXPECT_EQ(s.boxes[i].height, c.boxes[i].height) << i;
        }
        EXPECT_EQ(s.width, c.width);
        EXPECT_EQ(s.height, c.height);
    }
    uint64_t bytes = 0;
    EXPECT_TRUE(StripBytes(LayOutLevels(8192, 8192, 14), bytes)); // 16383 x 8192
    EXPECT_EQ(bytes, 16383ull * 8192 * 4);
    EXPECT_FALSE(StripBytes(LayOutLevels(8192, 8192, 14, 4, 3), bytes));
    const LevelStrip wide = LayOutLevels(1 << 30, 1, 31, 4, 3); // no box wraps
    EXPECT_TRUE(wide.boxes.empty());
    EXPECT_FALSE(StripBytes(wide, bytes));
}

TEST(Layout, PointsFallInTheirLevel) {
    const LevelStrip s = LayOutLevels(8, 4, 4);
    const int32_t points[][5] = {{0, 0, 0, 0, 0},     {7, 3, 0, 7, 3},    {8, 0, 1, 0, 0},
                                 {11, 1, 1, 3, 1},    {8, 2, -1, -1, -1}, {14, 0, 3, 0, 0},
                                 {15, 0, -1, -1, -1}, {-1, 0, -1, -1, -1}};
    for (const auto& p : points) {
        const LevelPoint at = LevelAt(s, p[0], p[1]);
        EXPECT_EQ(at.level, p[2]) << p[0] << "," << p[1];
        EXPECT_EQ(at.x, p[3]);
        EXPECT_EQ(at.y, p[4]);
    }
    EXPECT_EQ(WithLevel(1, "R 2"), "MipMap 2: R 2");
    EXPECT_EQ(WithLevel(-1, "R 2"), "R 2");
}

TEST(Layout, CopyLandsTopAligned) {
    // A 2 x 1 picture at (1, 0) of a 3 x 2 canvas: the canvas's top row is its last (bottom-up).
    std::vector<uint32_t> canvas(6, 0);
    const uint32_t picture[] = {1, 2};
    CopyIntoCanvas(canvas.data(), 3, 2, picture, 2, 1, 1, 0);
    EXPECT_EQ(canvas, (std::vector<uint32_t>{0, 0, 0, 0, 1, 2}));
    CopyIntoCanvas(canvas.data(), 3, 2, picture, 2, 1, 2, 0); // would run over: nothing
    EXPECT_EQ(canvas, (std::vector<uint32_t>{0, 0, 0, 0, 1, 2}));
}

} // namespace
