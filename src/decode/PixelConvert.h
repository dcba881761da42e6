// Conversions used by composition.
#pragma once

#include <cstdint>

// Re-biases the exponent of a 16-bit float without special cases (zero and subnormals come out
// tiny, infinities and NaNs at least 65536), exactly as the display rules want.
float HalfToFloat(uint16_t h);

// Clamps to 0..1 (NaN to 0), scales by 255 and truncates.
uint8_t UnitToByte(float x);

// Clamps to 0..1 as UnitToByte does.
float ClampUnit(float x);

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

// A background byte on the 0..1 scale of float channels: the byte times the float nearest
// 1/255, rounded to float (times 255 it gives the byte back exactly).
float BackgroundUnit(uint8_t background);

// The float blend of one channel over a background from BackgroundUnit: alpha and colour
// clamped to 0..1, evaluated in double precision in a fixed order, without fused operations.
uint8_t BlendUnit(float alpha, float color, float background);
