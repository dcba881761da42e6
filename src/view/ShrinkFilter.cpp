#include "view/ShrinkFilter.h"

#include <algorithm>
#include <cstddef>
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

// The rounded mean t / n as (t + n / 2) x m >> shift, m = ceil(2^shift / n), with the least
// shift where 256 n^2 <= 2^shift: exact for every t < 256 n, and m < 2^25, so that the product
// of two 32-bit values does it (no division per pixel).
constexpr uint64_t kLargestBox = uint64_t(1) << 16;
struct Reciprocal {
    uint32_t half = 0, multiplier = 0, shift = 0;
    explicit Reciprocal(uint64_t n = 1) : half(uint32_t(n / 2)) {
        while ((uint64_t(1) << shift) < 256 * n * n) ++shift;
        multiplier = uint32_t(((uint64_t(1) << shift) + n - 1) / n);
    }
};
// The rows of a box are summed in 16 bits: 257 x 255 is the most that fits.
constexpr uint64_t kTallestBox = 257;

// The bytes of `count` pixels summed down `rows` rows (from `top`, `stride` pixels apart)
// into their four sums each: eight pixels at a time through all the rows, in registers.
void SumRows(uint16_t* sums, const uint32_t* top, ptrdiff_t stride, int32_t rows, int32_t count) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 8 <= count; x += 8) {
        __m128i a = zero, b = zero, c = zero, d = zero;
        for (int32_t y = 0; y < rows; ++y) {
            const uint32_t* p = top + y * stride + x;
            const __m128i p0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4));
            a = _mm_add_epi16(a, _mm_unpacklo_epi8(p0, zero));
            b = _mm_add_epi16(b, _mm_unpackhi_epi8(p0, zero));
            c = _mm_add_epi16(c, _mm_unpacklo_epi8(p1, zero));
            d = _mm_add_epi16(d, _mm_unpackhi_epi8(p1, zero));
        }
        __m128i* s = reinterpret_cast<__m128i*>(sums + 4 * size_t(x));
        _mm_storeu_si128(s, a);
        _mm_storeu_si128(s + 1, b);
        _mm_storeu_si128(s + 2, c);
        _mm_storeu_si128(s + 3, d);
    }
#endif
    for (; x < count; ++x) {
        uint16_t sum[4] = {0, 0, 0, 0};
        for (int32_t y = 0; y < rows; ++y)
            for (int k = 0; k < 4; ++k)
                sum[k] = uint16_t(sum[k] + ((top[y * stride + x] >> (8 * k)) & 255));
        for (int k = 0; k < 4; ++k) sums[4 * size_t(x) + k] = sum[k];
    }
}

// The pixel of the box whose columns [x0, x1) hold `sums`: each byte the rounded mean.
inline uint32_t MeanOfColumns(const uint16_t* sums, int32_t x0, int32_t x1, const Reciprocal& r) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i t = _mm_set1_epi32(int(r.half));
    for (int32_t x = x0; x < x1; ++x) {
        const __m128i column =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + 4 * size_t(x)));
        t = _mm_add_epi32(t, _mm_unpacklo_epi16(column, zero));
    }
    const __m128i m = _mm_set1_epi32(int(r.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(int(r.shift));
    const __m128i even = _mm_srl_epi64(_mm_mul_epu32(t, m), shift); // bytes 0 and 2
    const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(t, 32), m), shift);
    const __m128i both = _mm_or_si128(even, _mm_slli_epi64(odd, 8));
    return uint32_t(_mm_cvtsi128_si32(both)) | uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(both, 8)))
                                                   << 16;
#else
    uint32_t pixel = 0;
    for (int k = 0; k < 4; ++k) {
        uint64_t t = r.half;
        for (int32_t x = x0; x < x1; ++x) t += sums[4 * size_t(x) + k];
        pixel |= uint32_t((t * r.multiplier) >> r.shift) << (8 * k);
    }
    return pixel;
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
            SumRows(sums.data(), pixels + size_t(height - 1 - y0) * width + first,
                    -ptrdiff_t(width), y1 - y0, columns);
            Reciprocal a, b; // the boxes of a row have one of two sizes
            uint32_t nA = 0, nB = 0;
            uint32_t* dest = out + size_t(r) * part.width;
            for (int32_t c = 0; c < part.width; ++c) {
                const int32_t x0 = starts[c] - first, x1 = starts[c + 1] - first;
                const uint32_t n = uint32_t(x1 - x0) * uint32_t(y1 - y0);
                if (n != nA) {
                    std::swap(nA, nB);
                    std::swap(a, b);
                    if (n != nA) a = Reciprocal(nA = n);
                }
                dest[c] = MeanOfColumns(sums.data(), x0, x1, a);
            }
        }
    };
    const uint64_t perRow = std::min<uint64_t>(UINT32_MAX, uint64_t(columns) * tallest);
    RunRows({uint32_t(part.height), uint32_t(perRow), 0}, 0, nullptr, rows);
    return true;
}
