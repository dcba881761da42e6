#include "view/ShrinkFilter.h"

#include <algorithm>
#include <vector>

#include "decode/RowBands.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Where box i of an axis starts: picture pixel i x size / drawn.
inline int32_t BoxStart(int64_t i, int32_t size, int32_t drawn) {
    return int32_t(i * size / drawn);
}

// (t + n / 2) x ceil(2^40 / n) >> 40 is the rounded mean t / n exactly while t < 256 n and
// n <= 2^16: no division per pixel.
constexpr uint64_t kLargestBox = uint64_t(1) << 16;
inline uint64_t Reciprocal(uint64_t n) {
    return ((uint64_t(1) << 40) + n - 1) / n;
}
// The rows of a box are summed in 16 bits: 257 x 255 is the most that fits.
constexpr uint64_t kTallestBox = 257;

// Adds the bytes of `count` pixels to their four sums each.
void AddRow(uint16_t* sums, const uint32_t* src, int32_t count) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
        __m128i* s = reinterpret_cast<__m128i*>(sums + 4 * size_t(x));
        _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), _mm_unpacklo_epi8(p, zero)));
        _mm_storeu_si128(s + 1, _mm_add_epi16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(p, zero)));
    }
#endif
    for (; x < count; ++x)
        for (int k = 0; k < 4; ++k)
            sums[4 * size_t(x) + k] =
                uint16_t(sums[4 * size_t(x) + k] + ((src[x] >> (8 * k)) & 255));
}

// The four sums of columns [x0, x1).
inline void SumColumns(uint32_t* total, const uint16_t* sums, int32_t x0, int32_t x1) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i t = zero;
    for (int32_t x = x0; x < x1; ++x) {
        const __m128i column =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + 4 * size_t(x)));
        t = _mm_add_epi32(t, _mm_unpacklo_epi16(column, zero));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(total), t);
#else
    for (int k = 0; k < 4; ++k) total[k] = 0;
    for (int32_t x = x0; x < x1; ++x)
        for (int k = 0; k < 4; ++k) total[k] += sums[4 * size_t(x) + k];
#endif
}

} // namespace

bool ShrinkPicture(uint32_t* out, const CheckerArea& part, const uint32_t* pixels, int32_t width,
                   int32_t height, int32_t drawnWidth, int32_t drawnHeight) {
    if (drawnWidth < 1 || drawnHeight < 1 || drawnWidth > width || drawnHeight > height)
        return false;
    const uint64_t widest = (uint64_t(width) + drawnWidth - 1) / drawnWidth;
    const uint64_t tallest = (uint64_t(height) + drawnHeight - 1) / drawnHeight;
    if (widest * tallest > kLargestBox || tallest > kTallestBox) return false;
    if (part.width <= 0 || part.height <= 0) return true;
    // The picture columns under the part, summed row by row of a box, then box by box.
    std::vector<int32_t> starts(size_t(part.width) + 1); // each box's first column, and the end
    for (int32_t c = 0; c <= part.width; ++c)
        starts[c] = BoxStart(int64_t(part.left) + c, width, drawnWidth);
    const int32_t first = starts[0], columns = starts[part.width] - first;
    const auto rows = [&](uint32_t firstRow, uint32_t endRow) {
        std::vector<uint16_t> sums(size_t(columns) * 4);
        for (uint32_t r = firstRow; r < endRow; ++r) {
            const int32_t y0 = BoxStart(int64_t(part.top) + r, height, drawnHeight);
            const int32_t y1 = BoxStart(int64_t(part.top) + r + 1, height, drawnHeight);
            std::fill(sums.begin(), sums.end(), uint16_t(0));
            for (int32_t y = y0; y < y1; ++y)
                AddRow(sums.data(), pixels + size_t(height - 1 - y) * width + first, columns);
            uint64_t nA = 0, mA = 0, nB = 0, mB = 0; // the boxes of a row have one of two sizes
            uint32_t* dest = out + size_t(r) * part.width;
            for (int32_t c = 0; c < part.width; ++c) {
                const int32_t x0 = starts[c] - first, x1 = starts[c + 1] - first;
                const uint64_t n = uint64_t(x1 - x0) * uint64_t(y1 - y0);
                if (n != nA) {
                    std::swap(nA, nB);
                    std::swap(mA, mB);
                    if (n != nA) mA = Reciprocal(nA = n);
                }
                uint32_t total[4];
                SumColumns(total, sums.data(), x0, x1);
                uint32_t pixel = 0;
                for (int k = 0; k < 4; ++k)
                    pixel |= uint32_t(((total[k] + n / 2) * mA) >> 40) << (8 * k);
                dest[c] = pixel;
            }
        }
    };
    const uint64_t perRow = std::min<uint64_t>(UINT32_MAX, uint64_t(columns) * tallest);
    RunRows({uint32_t(part.height), uint32_t(perRow), 0}, 0, nullptr, rows);
    return true;
}
