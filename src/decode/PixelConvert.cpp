#include "decode/PixelConvert.h"

#include <algorithm>
#include <array>
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

uint8_t HalfToByte(uint16_t h) {
    static const std::array<uint8_t, 65536> kBytes = [] {
        std::array<uint8_t, 65536> bytes{};
        for (uint32_t v = 0; v < bytes.size(); ++v) bytes[v] = UnitToByte(HalfToFloat(uint16_t(v)));
        return bytes;
    }();
    return kBytes[h];
}

float BackgroundUnit(uint8_t background) {
    float k;
    std::memcpy(&k, &kOneOver255Bits, sizeof k);
    return float(double(background) * double(k)); // the exact product, rounded once
}

namespace {

MaskChannel Channel(uint32_t mask) {
    MaskChannel c;
    c.mask = mask;
    if (!mask) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    for (uint32_t rest = mask >> c.shift; rest; rest >>= 1) ++c.bits;
    return c;
}

uint32_t ColorByte(const MaskChannel& c, uint32_t value, bool exact) {
    const uint32_t v = (value & c.mask) >> c.shift;
    if (c.bits == 8 || !c.mask) return v;
    if (exact) return ExactUnorm(v, c.bits);
    return c.bits < 8 ? v << (8 - c.bits) : v >> (c.bits - 8);
}

uint32_t AlphaByte(const MaskChannel& c, uint32_t value, bool exact) {
    if (!c.mask) return 255;
    const uint64_t v = (value & c.mask) >> c.shift;
    if (c.bits == 8) return uint32_t(v);
    if (exact) return ExactUnorm(v, c.bits);
    return uint32_t(v * 255 / ((uint64_t(1) << c.bits) - 1));
}

// The part of a mask inside the pixel's bits: a mask with no bit there is no mask (writers
// leave 32-bit masks on 8-bit luminance).
uint32_t Inside(uint32_t mask, uint32_t bits) {
    return bits >= 32 ? mask : mask & ((uint32_t(1) << bits) - 1);
}

} // namespace

MaskRule MakeMaskRule(const dds::DdsPixelFormat& pf, bool exact) {
    const uint32_t bits = pf.dwRGBBitCount;
    MaskRule rule;
    rule.red = Channel(Inside(pf.dwRBitMask, bits));
    rule.green = Channel(Inside(pf.dwGBitMask, bits));
    rule.blue = Channel(Inside(pf.dwBBitMask, bits));
    rule.alpha = Channel(Inside(pf.dwABitMask, bits));
    rule.bytesPerPixel = pf.dwRGBBitCount / 8;
    rule.luminance = (pf.dwFlags & dds::DDPF_LUMINANCE) != 0;
    rule.exact = exact;
    return rule;
}

bool UsesMaskRule(const dds::DdsPixelFormat& pf, bool exact) {
    const uint32_t bits = pf.dwRGBBitCount;
    if (bits == 16 || bits == 24 || bits == 32) return true;
    const int masks = (Inside(pf.dwRBitMask, bits) != 0) + (Inside(pf.dwGBitMask, bits) != 0) +
                      (Inside(pf.dwBBitMask, bits) != 0) + (Inside(pf.dwABitMask, bits) != 0);
    return bits == 8 && (masks >= 2 || (exact && masks == 1));
}

uint32_t MaskPixel(const MaskRule& rule, uint32_t value) {
    const uint32_t a = AlphaByte(rule.alpha, value, rule.exact);
    const uint32_t r = ColorByte(rule.red, value, rule.exact);
    if (rule.luminance) return a << 24 | r * 0x010101u;
    return a << 24 | r << 16 | ColorByte(rule.green, value, rule.exact) << 8 |
           ColorByte(rule.blue, value, rule.exact);
}

void ConvertMaskRow(const MaskRule& rule, uint32_t* dest, const uint8_t* src, uint32_t count) {
    const uint32_t step = rule.bytesPerPixel;
    // The common layouts are the work image's own: copied (X8R8G8B8 made opaque).
    const bool bgra = step == 4 && !rule.luminance && rule.red.mask == 0xFF0000 &&
                      rule.green.mask == 0xFF00 && rule.blue.mask == 0xFF &&
                      (rule.alpha.mask == 0xFF000000 || !rule.alpha.mask);
    if (bgra) {
        std::memcpy(dest, src, size_t(count) * 4);
        if (!rule.alpha.mask)
            for (uint32_t x = 0; x < count; ++x) dest[x] |= 0xFF000000;
        return;
    }
    for (uint32_t x = 0; x < count; ++x, src += step) {
        // Little-endian targets only.
        uint32_t value = src[0];
        if (step > 1) value |= uint32_t(src[1]) << 8;
        if (step > 2) value |= uint32_t(src[2]) << 16;
        if (step > 3) value |= uint32_t(src[3]) << 24;
        dest[x] = MaskPixel(rule, value);
    }
}
