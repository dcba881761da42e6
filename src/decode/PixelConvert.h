// Conversions used by composition.
#pragma once

#include <algorithm>
#include <cstdint>

#ifdef __SSE__
#include <xmmintrin.h>
#endif

#include "dds/DdsHeader.h"

// Re-biases the exponent of a 16-bit float without special cases (zero and subnormals come out
// tiny, infinities and NaNs at least 65536), exactly as the display rules want.
float HalfToFloat(uint16_t h);

// A half float as a display byte, UnitToByte(HalfToFloat(h)), by a table of every half: a
// 16-bit float surface converts at one lookup a channel.
uint8_t HalfToByte(uint16_t h);

// An n-bit UNORM value (n from 1 to 32) as Direct3D shows it in 8 bits: round(v x 255 / (2^n - 1)).
constexpr uint32_t ExactUnorm(uint64_t v, uint32_t bits) {
    const uint64_t max = (uint64_t(1) << bits) - 1;
    return uint32_t((v * 510 + max) / (2 * max));
}

// Clamps to 0..1 as UnitToByte does. Inline, as the other unit functions below: float
// surfaces call them for every channel.
inline float ClampUnit(float x) {
#ifdef __SSE__
    // Without a branch: HDR values fall on either side of 0 and 1 at random. maxss gives its
    // second operand when the first is NaN, so NaN gives 0 here too.
    const __m128 low = _mm_max_ss(_mm_set_ss(x), _mm_setzero_ps());
    return _mm_cvtss_f32(_mm_min_ss(low, _mm_set_ss(1.0f)));
#else
    if (!(x > 0.0f)) return 0.0f; // NaN too
    return x > 1.0f ? 1.0f : x;
#endif
}

// Clamps to 0..1 (NaN to 0), scales by 255 and truncates.
inline uint8_t UnitToByte(float x) {
    // The product of a float and 255 is exact in double: no rounding before the truncation.
    return uint8_t(double(ClampUnit(x)) * 255.0);
}

// Floor of x / 255 by add-and-shift, exact for x up to kDivideBy255Limit, which covers every
// blend sum c x a + bg x (255 - a) of byte values (at most 255 x 255).
constexpr uint32_t kDivideBy255Limit = 65534;
constexpr uint32_t DivideBy255(uint32_t x) {
    return (x + 1 + (x >> 8)) >> 8;
}

// The integer blend of one channel over its background byte, rounded down.
constexpr uint32_t BlendChannel(uint32_t c, uint32_t a, uint32_t bg) {
    return DivideBy255(c * a + bg * (255 - a));
}

// The blend of a premultiplied colour channel: c + bg x (255 - a) / 255, rounded down as
// BlendChannel is, at most 255.
constexpr uint32_t PremultipliedChannel(uint32_t c, uint32_t a, uint32_t bg) {
    return c + DivideBy255(bg * (255 - a)) > 255 ? 255 : c + DivideBy255(bg * (255 - a));
}

// A background byte on the 0..1 scale of float channels: the byte times the float nearest
// 1/255, rounded to float (times 255 it gives the byte back exactly).
float BackgroundUnit(uint8_t background);

// The float blend of one channel over a background from BackgroundUnit: alpha and colour
// clamped to 0..1, evaluated in double precision in a fixed order, without fused operations.
inline uint8_t BlendUnit(float alpha, float color, float background) {
    const double a = ClampUnit(alpha), c = ClampUnit(color);
    return uint8_t(uint32_t((a * c + (1.0 - a) * double(background)) * 255.0));
}
// The same for a premultiplied colour: colour + (1 - alpha) x background, at most 1.
inline uint8_t PremultipliedUnit(float alpha, float color, float background) {
    const double a = ClampUnit(alpha), c = ClampUnit(color);
    return uint8_t(uint32_t(std::min(1.0, c + (1.0 - a) * double(background)) * 255.0));
}

// ---- mask-described pixels -------------------------------------------------------------------

// One channel of a mask format: its mask, the position of its lowest bit and its width (from
// the lowest to the highest set bit).
struct MaskChannel {
    uint32_t mask = 0, shift = 0, bits = 0;
};

// How the pixels of a mask format become work-image pixels. Each channel is its masked value
// shifted down, widened to 8 bits: n <= 8 bits at the top of the byte, more keep their top 8
// bits; alpha is scaled (v x 255 / (2^n - 1), rounded down), 255 without an alpha mask.
// Luminance is grey. `exact` widens every channel as Direct3D does: round(v x 255 / (2^n - 1)).
struct MaskRule {
    MaskChannel red, green, blue, alpha;
    uint32_t bytesPerPixel = 0;
    bool luminance = false;
    bool exact = false;
};
MaskRule MakeMaskRule(const dds::DdsPixelFormat& pf, bool exact);

// Whether a mask format's pixels go through the mask rule: every 16-, 24- and 32-bit layout, and
// 8-bit layouts of two or more masks (R3G3B2, A4L4). The 8-bit layouts of one mask (A8, L8, R8)
// show their byte as grey, except with `exact`, where A8 is black with its alpha and R8 red.
bool UsesMaskRule(const dds::DdsPixelFormat& pf, bool exact);

uint32_t MaskPixel(const MaskRule& rule, uint32_t value);
// `count` pixels of rule.bytesPerPixel bytes each (little-endian).
void ConvertMaskRow(const MaskRule& rule, uint32_t* dest, const uint8_t* src, uint32_t count);
