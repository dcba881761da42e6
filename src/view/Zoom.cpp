#include "view/Zoom.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "decode/RowBands.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

const float kZoomTable[kZoomSteps] = {0.01f, 0.05f, 0.1f,  0.15f, 0.2f,  0.3f, 0.5f,
                                      0.7f,  1.0f,  1.5f,  2.0f,  3.0f,  5.0f, 7.0f,
                                      10.0f, 20.0f, 30.0f, 50.0f, 100.0f};

float ZoomIn(float zoom) {
    for (float step : kZoomTable)
        if (step > zoom) return step;
    return zoom;
}

float ZoomOut(float zoom) {
    for (int i = kZoomSteps - 1; i >= 0; --i)
        if (kZoomTable[i] < zoom) return kZoomTable[i];
    return zoom;
}

float WheelStep(uint32_t mode) {
    static const float kSteps[] = {0.0f, 0.05f, 0.1f, 0.25f, 0.5f};
    return mode < sizeof kSteps / sizeof kSteps[0] ? kSteps[mode] : 0.0f;
}

float WheelZoom(float zoom, uint32_t mode, bool awayFromUser) {
    const float step = WheelStep(mode);
    if (step == 0.0f) return zoom;
    if (awayFromUser) {
        const float z = zoom * (1.0f - step);
        return z < kMinZoom ? kMinZoom : z;
    }
    const float z = zoom * (1.0f + step);
    return z > kMaxZoom ? kMaxZoom : z;
}

float FitFactor(int32_t areaWidth, int32_t areaHeight, int32_t imageWidth, int32_t imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return 1.0f;
    const double fx = double(areaWidth) / imageWidth;
    const float fy = float(double(areaHeight) / imageHeight);
    const double f = fx < fy ? fx : fy;
    return f < 1.0 ? float(f) : 1.0f;
}

double DrawnLength(int64_t pixels, float scale) {
    if (pixels <= 0) return 0.0;
    const double length = double(pixels) * scale;
    return length < 1.0 ? 1.0 : length > kMaxDrawnLength ? kMaxDrawnLength : length;
}

AxisPlacement PlaceAxis(int32_t area, double scaled, int32_t pan) {
    const double centred = (area - scaled) * 0.5;
    const int32_t start = int32_t(centred);
    if (start >= 0) return {start, 0, false};
    int32_t pos = start + pan;
    if (pos > 0) {
        pan = -start; // the near edge would come inside
        pos = 0;
    } else if (int32_t(pos + scaled) < area) {
        pos = int32_t(area - scaled); // the far edge would come inside
        pan = int32_t(pos - centred - 1);
    }
    return {pos, pan, true};
}

int32_t PixelAt(int32_t offset, float scale) {
    if (!(scale > 0.0f)) return -1;
    return int32_t(std::floor(offset / double(scale)));
}

int32_t ZoomPercent(float fitFactor, float zoomFactor) {
    return int32_t(fitFactor * zoomFactor * 100.0 + 0.5);
}

int32_t StretchModeFor(float scale, bool filterShrink, bool filterEnlarge) {
    const bool filter = scale < 1.0f ? filterShrink : filterEnlarge;
    return filter ? kStretchHalftone : kStretchColorOnColor;
}

uint32_t CheckerGrey(int32_t x, int32_t y) {
    return ((x >> 3) + (y >> 3)) & 1 ? kCheckerDark : kCheckerLight;
}

void DrawOverCheckerboard(uint32_t* out, const CheckerArea& area, const CheckerPicture& pic) {
    // Each column's picture pixel, -1 off the picture; worked out once for all rows.
    const auto pictureIndex = [&pic](int32_t screen, int32_t origin, int32_t size) {
        const double p = std::floor((screen - origin) / pic.scale);
        return p >= 0 && p < size ? int32_t(p) : -1;
    };
    std::vector<int32_t> columns(size_t(std::max(area.width, 0)));
    for (int32_t i = 0; i < area.width; ++i)
        columns[i] = pictureIndex(area.left + i, pic.left, pic.width);
    for (int32_t j = 0; j < area.height; ++j) {
        const int32_t y = area.top + j, row = pictureIndex(y, pic.top, pic.height);
        const uint32_t* src =
            row < 0 ? nullptr : pic.pixels + size_t(pic.height - 1 - row) * pic.width;
        uint32_t* dest = out + size_t(j) * area.width;
        for (int32_t i = 0; i < area.width; ++i) {
            const uint32_t grey = CheckerGrey(area.left + i, y);
            // Off the picture the board shows whole (alpha 0 over black).
            const uint32_t p = src && columns[i] >= 0 ? src[columns[i]] : 0;
            const uint32_t under = (grey * (255 - (p >> 24)) + 127) / 255;
            uint32_t result = 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8)
                result |= std::min<uint32_t>(255, ((p >> shift) & 255) + under) << shift;
            dest[i] = result;
        }
    }
}

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
