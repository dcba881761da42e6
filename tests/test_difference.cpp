// Comparing two pictures: squared errors, PSNR, the largest difference and the difference
// picture, against figures worked out by hand for a 2 x 2 picture.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "decode/Difference.h"

namespace {
// Red differs by 3 in pixel 1, blue by 15 in pixel 2, alpha by 1 in pixel 3.
const uint32_t kA[4] = {0xFF102030, 0xFF000000, 0x80FFFFFF, 0xFF0A0A0A};
const uint32_t kB[4] = {0xFF102030, 0xFF030000, 0x80FFFFF0, 0xFE0A0A0A};

DiffStats Stats() {
    DiffStats s;
    AddDifferences(s, kA, kB, 2); // two rows of two: the sums carry over
    AddDifferences(s, kA + 2, kB + 2, 2);
    return s;
}

struct PsnrCase {
    const char* name;
    double (*psnr)(const DiffStats&);
    const char* printed; // 10 log10(255^2 / MSE), MSE by hand
};
const PsnrCase kPsnrCases[] = {
    {"red 9/4", [](const DiffStats& s) { return ChannelPsnr(s, kDiffRed); }, "44.61"},
    {"green same", [](const DiffStats& s) { return ChannelPsnr(s, kDiffGreen); }, "inf"},
    {"blue 225/4", [](const DiffStats& s) { return ChannelPsnr(s, kDiffBlue); }, "30.63"},
    {"alpha 1/4", [](const DiffStats& s) { return ChannelPsnr(s, kDiffAlpha); }, "54.15"},
    {"overall 235/16", [](const DiffStats& s) { return OverallPsnr(s, true); }, "36.46"},
    {"colours 234/12", [](const DiffStats& s) { return OverallPsnr(s, false); }, "35.23"},
};

TEST(Difference, PsnrByHand) {
    const DiffStats s = Stats();
    for (const PsnrCase& c : kPsnrCases) EXPECT_EQ(FormatPsnr(c.psnr(s)), c.printed) << c.name;
    EXPECT_EQ(s.squares[kDiffBlue], 225u);
    EXPECT_EQ(LargestDifference(s, true), 15u);
    EXPECT_DOUBLE_EQ(DifferenceScale(s), 17.0);
    EXPECT_EQ(FormatDifferenceFigures(s, false),
              "PSNR 35.23 dB (R 44.61 G inf B 30.63), largest difference 15");
}

// Four at a time and one at a time give the same figures; sums past 32 bits are kept.
TEST(Difference, WholeRowsAndLargeSums) {
    DiffStats whole;
    AddDifferences(whole, kA, kB, 4);
    EXPECT_EQ(FormatDifferenceFigures(whole, true), FormatDifferenceFigures(Stats(), true));
    const std::vector<uint32_t> black(200003, 0), white(200003, 0xFFFFFFFF);
    DiffStats s;
    AddDifferences(s, black.data(), white.data(), black.size());
    for (int c = 0; c < kDiffChannels; ++c) EXPECT_EQ(s.squares[c], 200003ull * 65025) << c;
    EXPECT_EQ(FormatPsnr(OverallPsnr(s, true)), "0.00");
}

TEST(Difference, SamePicturesAreInfinite) {
    DiffStats s;
    AddDifferences(s, kA, kA, 4);
    EXPECT_TRUE(std::isinf(OverallPsnr(s, true)));
    EXPECT_EQ(LargestDifference(s, true), 0u);
    EXPECT_DOUBLE_EQ(DifferenceScale(s), 1.0);
}

// Each colour scaled by 255 / largest and rounded; alpha never shown: opaque.
struct RowCase {
    uint32_t largest;
    uint32_t expected[4];
};
const RowCase kRowCases[] = {
    {15, {0xFF000000, 0xFF330000, 0xFF0000FF, 0xFF000000}},
    {30, {0xFF000000, 0xFF1A0000, 0xFF000080, 0xFF000000}}, // 25.5 and 127.5 round up
    {0, {0xFF000000, 0xFFFF0000, 0xFF0000FF, 0xFF000000}},  // never divides by zero
};

TEST(Difference, RowScaledToTheLargest) {
    for (const RowCase& c : kRowCases) {
        uint32_t out[4];
        DifferenceRow(out, kA, kB, 4, c.largest);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], c.expected[i]) << c.largest << " " << i;
        for (int i = 0; i < 4; ++i) DifferenceRow(out + i, kA + i, kB + i, 1, c.largest);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], c.expected[i]) << "alone " << i;
    }
}
} // namespace
