// Comparing two pictures of one size: per-channel squared error, PSNR, the largest difference
// and the difference picture. Pixels are 32-bit words of blue, green, red, alpha bytes (the
// display image's layout); the figures are of 8-bit channels, the peak value 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Channels in the order the figures name them.
enum : int { kDiffRed = 0, kDiffGreen = 1, kDiffBlue = 2, kDiffAlpha = 3, kDiffChannels = 4 };

struct DiffStats {
    uint64_t squares[kDiffChannels] = {}; // sum of (a - b)^2 per channel
    uint32_t largest[kDiffChannels] = {}; // largest |a - b| per channel
    uint64_t pixels = 0;
};

// Adds `count` pixels of both pictures to the figures.
void AddDifferences(DiffStats& stats, const uint32_t* a, const uint32_t* b, size_t count);

// 10 log10(255^2 / MSE) of one channel; +infinity when the channel is the same in both.
double ChannelPsnr(const DiffStats& stats, int channel);
// The same over the channels compared (red, green, blue, and alpha when `withAlpha`): their
// squared errors summed and divided by pixels x channels.
double OverallPsnr(const DiffStats& stats, bool withAlpha);
// The largest difference over the channels compared.
uint32_t LargestDifference(const DiffStats& stats, bool withAlpha);

// The difference picture's factor: the largest colour difference (red, green or blue) is
// shown as 255; 1 when the pictures' colours are the same.
double DifferenceScale(const DiffStats& stats);
// 255 / largest in 8.8 fixed point, rounded (255 x 256 when largest is 0).
uint32_t DifferenceFactor(uint32_t largest);
// |a - b| per colour channel: min(255, (|a - b| x factor + 128) >> 8), opaque.
void DifferenceRow(uint32_t* out, const uint32_t* a, const uint32_t* b, size_t count,
                   uint32_t largest);
// The colour channels' largest difference, what DifferenceRow takes.
uint32_t LargestColourDifference(const DiffStats& stats);

// A PSNR as printed: two decimals, or "inf" when the pictures are the same.
std::string FormatPsnr(double psnr);
// "PSNR 38.21 dB (R 37.10 G 39.00 B 38.50 A inf), largest difference 12"; A only `withAlpha`.
std::string FormatDifferenceFigures(const DiffStats& stats, bool withAlpha);
// The difference picture's factor as printed: "x17.0".
std::string FormatDifferenceScale(double scale);
// Why two pictures cannot be compared: both names with their sizes.
std::string SizeMismatchText(const std::string& nameA, int32_t widthA, int32_t heightA,
                             const std::string& nameB, int32_t widthB, int32_t heightB);
