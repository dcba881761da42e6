#include "decode/Difference.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
double Psnr(uint64_t squares, uint64_t samples) {
    if (squares == 0 || samples == 0) return std::numeric_limits<double>::infinity();
    const double mse = double(squares) / double(samples);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}
} // namespace

namespace {
// Channels from a pixel word's byte order (blue, green, red, alpha) to the figures' order.
constexpr int kFromByte[kDiffChannels] = {kDiffBlue, kDiffGreen, kDiffRed, kDiffAlpha};

void AddScalar(uint64_t squares[4], uint32_t largest[4], const uint32_t* a, const uint32_t* b,
               size_t count) {
    for (size_t i = 0; i < count; ++i)
        for (int byte = 0; byte < kDiffChannels; ++byte) {
            const int32_t d = int32_t((a[i] >> 8 * byte) & 255) - int32_t((b[i] >> 8 * byte) & 255);
            const uint32_t m = uint32_t(d < 0 ? -d : d);
            squares[byte] += m * m;
            largest[byte] = std::max(largest[byte], m);
        }
}
} // namespace

// Squares and largest values by byte position, then put in the figures' order.
void AddDifferences(DiffStats& stats, const uint32_t* a, const uint32_t* b, size_t count) {
    uint64_t squares[kDiffChannels] = {};
    uint32_t largest[kDiffChannels] = {};
    size_t i = 0;
#if defined(__SSE2__)
    // Four pixels at a time: the bytes' absolute differences, their squares summed per channel
    // in 32-bit lanes (two a lane each step: flushed before 2^32), the largest per byte.
    const __m128i zero = _mm_setzero_si128();
    const __m128i blueRed = _mm_set1_epi32(0xFFFF); // 16-bit lanes of blue and red
    __m128i most = zero;
    while (i + 4 <= count) {
        const size_t end = i + std::min<size_t>((count - i) & ~size_t(3), size_t(1) << 16);
        __m128i sumBlueRed = zero, sumGreenAlpha = zero;
        for (; i < end; i += 4) {
            const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
            const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
            const __m128i d = _mm_or_si128(_mm_subs_epu8(pa, pb), _mm_subs_epu8(pb, pa));
            most = _mm_max_epu8(most, d);
            const __m128i low = _mm_unpacklo_epi8(d, zero), high = _mm_unpackhi_epi8(d, zero);
            sumBlueRed =
                _mm_add_epi32(sumBlueRed, _mm_madd_epi16(low, _mm_and_si128(low, blueRed)));
            sumBlueRed =
                _mm_add_epi32(sumBlueRed, _mm_madd_epi16(high, _mm_and_si128(high, blueRed)));
            sumGreenAlpha =
                _mm_add_epi32(sumGreenAlpha, _mm_madd_epi16(low, _mm_andnot_si128(blueRed, low)));
            sumGreenAlpha =
                _mm_add_epi32(sumGreenAlpha, _mm_madd_epi16(high, _mm_andnot_si128(blueRed, high)));
        }
        uint32_t lanes[8];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sumBlueRed);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 4), sumGreenAlpha);
        squares[0] += uint64_t(lanes[0]) + lanes[2]; // blue
        squares[2] += uint64_t(lanes[1]) + lanes[3]; // red
        squares[1] += uint64_t(lanes[4]) + lanes[6]; // green
        squares[3] += uint64_t(lanes[5]) + lanes[7]; // alpha
    }
    uint8_t bytes[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), most);
    for (int k = 0; k < 16; ++k) largest[k % 4] = std::max<uint32_t>(largest[k % 4], bytes[k]);
#endif
    AddScalar(squares, largest, a + i, b + i, count - i);
    for (int byte = 0; byte < kDiffChannels; ++byte) {
        stats.squares[kFromByte[byte]] += squares[byte];
        stats.largest[kFromByte[byte]] = std::max(stats.largest[kFromByte[byte]], largest[byte]);
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

uint32_t DifferenceFactor(uint32_t largest) {
    return largest ? (255 * 256 + largest / 2) / largest : 255 * 256;
}

void DifferenceRow(uint32_t* out, const uint32_t* a, const uint32_t* b, size_t count,
                   uint32_t largest) {
    const uint32_t factor = DifferenceFactor(largest);
    size_t i = 0;
#if defined(__SSE2__)
    // Four pixels at a time in 16-bit lanes: m x factor's low and high halves; a high half
    // that is not zero is past 255 already.
    const __m128i zero = _mm_setzero_si128();
    const __m128i f = _mm_set1_epi16(int16_t(factor));
    const __m128i round = _mm_set1_epi16(128), full = _mm_set1_epi16(255);
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    const auto scale = [&](__m128i w) {
        const __m128i low = _mm_srli_epi16(_mm_adds_epu16(_mm_mullo_epi16(w, f), round), 8);
        const __m128i past = _mm_andnot_si128(_mm_cmpeq_epi16(_mm_mulhi_epu16(w, f), zero), full);
        return _mm_or_si128(low, past);
    };
    for (; i + 4 <= count; i += 4) {
        const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i d = _mm_or_si128(_mm_subs_epu8(pa, pb), _mm_subs_epu8(pb, pa));
        const __m128i shown =
            _mm_packus_epi16(scale(_mm_unpacklo_epi8(d, zero)), scale(_mm_unpackhi_epi8(d, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(shown, opaque));
    }
#endif
    for (; i < count; ++i) {
        uint32_t pixel = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const int32_t d = int32_t((a[i] >> shift) & 255) - int32_t((b[i] >> shift) & 255);
            pixel |= std::min<uint32_t>(255, (uint32_t(d < 0 ? -d : d) * factor + 128) >> 8)
                     << shift;
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
