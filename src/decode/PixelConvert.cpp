#include "decode/PixelConvert.h"

#include <cstring>

namespace {
// The float nearest 1/255: every byte times it, rounded to float, gives the byte back when
// multiplied by 255.
constexpr uint32_t kOneOver255Bits = 0x3B808081;
} // namespace

float HalfToFloat(uint16_t h) {
    // The sign also lands in the exponent field (t keeps six bits): negative halves become
    // huge negative floats, which display as 0 anyway.
    const uint32_t s = h >> 15, t = h >> 10, m = h & 0x3FF;
    const uint32_t bits = s << 31 | (t + 112) << 23 | m << 13;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

float ClampUnit(float x) {
    if (!(x > 0.0f)) return 0.0f; // NaN too
    return x > 1.0f ? 1.0f : x;
}

uint8_t UnitToByte(float x) {
    // The product of a float and 255 is exact in double: no rounding before the truncation.
    return uint8_t(double(ClampUnit(x)) * 255.0);
}

float BackgroundUnit(uint8_t background) {
    float k;
    std::memcpy(&k, &kOneOver255Bits, sizeof k);
    return float(double(background) * double(k)); // the exact product, rounded once
}

uint8_t BlendUnit(float alpha, float color, float background) {
    const double a = ClampUnit(alpha), c = ClampUnit(color);
    return uint8_t(uint32_t((a * c + (1.0 - a) * double(background)) * 255.0));
}
