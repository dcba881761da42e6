#include "decode/Difference.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {
// Byte shifts of red, green, blue and alpha in a pixel word.
constexpr int kShift[kDiffChannels] = {16, 8, 0, 24};

double Psnr(uint64_t squares, uint64_t samples) {
    if (squares == 0 || samples == 0) return std::numeric_limits<double>::infinity();
    const double mse = double(squares) / double(samples);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}
} // namespace

void AddDifferences(DiffStats& stats, const uint32_t* a, const uint32_t* b, size_t count) {
    // Per row in 64 bits: a row's squares fit easily, and the loop stays simple to vectorise.
    for (int c = 0; c < kDiffChannels; ++c) {
        const int shift = kShift[c];
        uint64_t squares = 0;
        uint32_t largest = stats.largest[c];
        for (size_t i = 0; i < count; ++i) {
            const int32_t d = int32_t((a[i] >> shift) & 255) - int32_t((b[i] >> shift) & 255);
            const uint32_t m = uint32_t(d < 0 ? -d : d);
            squares += m * m;
            largest = std::max(largest, m);
        }
        stats.squares[c] += squares;
        stats.largest[c] = largest;
    }
    stats.pixels += count;
}

double ChannelPsnr(const DiffStats& stats, int channel) {
    return Psnr(stats.squares[channel], stats.pixels);
}

double OverallPsnr(const DiffStats& stats, bool withAlpha) {
    const int channels = withAlpha ? 4 : 3;
    uint64_t squares = 0;
    for (int c = 0; c < channels; ++c) squares += stats.squares[c];
    return Psnr(squares, stats.pixels * uint64_t(channels));
}

uint32_t LargestDifference(const DiffStats& stats, bool withAlpha) {
    const uint32_t colour = LargestColourDifference(stats);
    return withAlpha ? std::max(colour, stats.largest[kDiffAlpha]) : colour;
}

uint32_t LargestColourDifference(const DiffStats& stats) {
    return std::max({stats.largest[kDiffRed], stats.largest[kDiffGreen], stats.largest[kDiffBlue]});
}

double DifferenceScale(const DiffStats& stats) {
    const uint32_t largest = LargestColourDifference(stats);
    return largest ? 255.0 / largest : 1.0;
}

void DifferenceRow(uint32_t* out, const uint32_t* a, const uint32_t* b, size_t count,
                   uint32_t largest) {
    const uint32_t half = largest / 2, divisor = std::max<uint32_t>(largest, 1);
    for (size_t i = 0; i < count; ++i) {
        uint32_t pixel = 0xFF000000u;
        for (int c = kDiffRed; c <= kDiffBlue; ++c) {
            const int32_t d =
                int32_t((a[i] >> kShift[c]) & 255) - int32_t((b[i] >> kShift[c]) & 255);
            const uint32_t m = uint32_t(d < 0 ? -d : d);
            pixel |= std::min<uint32_t>(255, (m * 255 + half) / divisor) << kShift[c];
        }
        out[i] = pixel;
    }
}

std::string FormatPsnr(double psnr) {
    if (std::isinf(psnr)) return "inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", psnr);
    return text;
}

std::string FormatDifferenceFigures(const DiffStats& stats, bool withAlpha) {
    static const char* const kNames[kDiffChannels] = {"R", "G", "B", "A"};
    std::string text = "PSNR " + FormatPsnr(OverallPsnr(stats, withAlpha)) + " dB (";
    for (int c = 0; c < (withAlpha ? 4 : 3); ++c)
        text += std::string(c ? " " : "") + kNames[c] + " " + FormatPsnr(ChannelPsnr(stats, c));
    return text + "), largest difference " + std::to_string(LargestDifference(stats, withAlpha));
}

std::string FormatDifferenceScale(double scale) {
    char text[32];
    std::snprintf(text, sizeof text, "x%.1f", scale);
    return text;
}

std::string SizeMismatchText(const std::string& nameA, int32_t widthA, int32_t heightA,
                             const std::string& nameB, int32_t widthB, int32_t heightB) {
    return "Cannot compare textures of different sizes: " + nameA + " is " +
           std::to_string(widthA) + "x" + std::to_string(heightA) + ", " + nameB + " is " +
           std::to_string(widthB) + "x" + std::to_string(heightB) + ".";
}
