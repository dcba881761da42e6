#include "decode/DxgiPixels.h"

#include <cmath>
#include <cstring>

#include "decode/PixelConvert.h"

namespace {

enum Layout {
    kNone,
    kRGBA8,
    kRGB10A2,
    kRG8,
    kR16,
    kRG16,
    kRGBA16,
    kHalf,
    kFloat,
    kRG11B10,
    kRGB9E5
};

struct Row {
    uint32_t number, bits;
    Layout layout;
    uint32_t channels; // of the half and float layouts
    bool alpha;
};

const Row kRows[] = {
    {2, 128, kFloat, 4, true},    {6, 96, kFloat, 3, false},   {10, 64, kHalf, 4, true},
    {11, 64, kRGBA16, 4, true},   {16, 64, kFloat, 2, false},  {24, 32, kRGB10A2, 4, true},
    {26, 32, kRG11B10, 3, false}, {27, 32, kRGBA8, 4, true},   {28, 32, kRGBA8, 4, true},
    {29, 32, kRGBA8, 4, true},    {34, 32, kHalf, 2, false},   {35, 32, kRG16, 2, false},
    {41, 32, kFloat, 1, false},   {49, 16, kRG8, 2, false},    {54, 16, kHalf, 1, false},
    {56, 16, kR16, 1, false},     {67, 32, kRGB9E5, 3, false},
};

const Row* Find(uint32_t number) {
    for (const Row& r : kRows)
        if (r.number == number) return &r;
    return nullptr;
}

uint32_t Load16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
float LoadFloat(const uint8_t* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

uint32_t Pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return a << 24 | r << 16 | g << 8 | b;
}

// One, two, three or four channel bytes: grey; red and green; red, green, blue; with alpha.
uint32_t FromBytes(const uint32_t* c, uint32_t channels) {
    switch (channels) {
    case 1: return Pack(c[0], c[0], c[0], 255);
    case 2: return Pack(c[0], c[1], 0, 255);
    case 3: return Pack(c[0], c[1], c[2], 255);
    default: return Pack(c[0], c[1], c[2], c[3]);
    }
}

// The same of unit values.
uint32_t FromUnits(const float* v, uint32_t channels) {
    uint32_t c[4];
    for (uint32_t k = 0; k < channels; ++k) c[k] = UnitToByte(v[k]);
    return FromBytes(c, channels);
}

// An unsigned small float of 5 exponent bits and `mantissa` bits, as a half's bit pattern.
uint16_t SmallFloatToHalf(uint32_t v, uint32_t mantissa) {
    return uint16_t(v << (10 - mantissa));
}

uint32_t Exact16(const uint8_t* p) {
    return ExactUnorm(Load16(p), 16);
}

// The UNORM layouts whose channels are wider than 8 bits, as Direct3D rounds them.
uint32_t ConvertExact(const Row& r, const uint8_t* p) {
    switch (r.layout) {
    case kRGB10A2: {
        const uint32_t v = Load32(p);
        return Pack(ExactUnorm(v & 1023, 10), ExactUnorm((v >> 10) & 1023, 10),
                    ExactUnorm((v >> 20) & 1023, 10), (v >> 30) * 85);
    }
    case kR16: return Pack(Exact16(p), Exact16(p), Exact16(p), 255);
    case kRG16: return Pack(Exact16(p), Exact16(p + 2), 0, 255);
    default: return Pack(Exact16(p), Exact16(p + 2), Exact16(p + 4), Exact16(p + 6)); // kRGBA16
    }
}

uint32_t Convert(const Row& r, const uint8_t* p, bool exact) {
    switch (r.layout) {
    case kRGBA8: return Pack(p[0], p[1], p[2], p[3]);
    case kRGB10A2: {
        if (exact) return ConvertExact(r, p);
        const uint32_t v = Load32(p);
        return Pack((v >> 2) & 255, (v >> 12) & 255, (v >> 22) & 255, (v >> 30) * 85);
    }
    case kRG8: return Pack(p[0], p[1], 0, 255);
    case kR16:
    case kRG16:
    case kRGBA16:
        if (exact) return ConvertExact(r, p);
        return r.layout == kR16    ? Pack(p[1], p[1], p[1], 255)
               : r.layout == kRG16 ? Pack(p[1], p[3], 0, 255)
                                   : Pack(p[1], p[3], p[5], p[7]);
    case kHalf: {
        uint32_t c[4];
        for (uint32_t k = 0; k < r.channels; ++k) c[k] = HalfToByte(uint16_t(Load16(p + 2 * k)));
        return FromBytes(c, r.channels);
    }
    case kFloat: {
        float v[4];
        for (uint32_t k = 0; k < r.channels; ++k) v[k] = LoadFloat(p + 4 * k);
        return FromUnits(v, r.channels);
    }
    case kRG11B10: {
        const uint32_t w = Load32(p);
        return Pack(HalfToByte(SmallFloatToHalf(w & 0x7FF, 6)),
                    HalfToByte(SmallFloatToHalf((w >> 11) & 0x7FF, 6)),
                    HalfToByte(SmallFloatToHalf(w >> 22, 5)), 255);
    }
    case kRGB9E5: {
        // Each 9-bit mantissa times 2^(exponent - 15 - 9): exact in float.
        const uint32_t w = Load32(p);
        const int e = int(w >> 27) - 24;
        const float v[3] = {std::ldexp(float(w & 511), e), std::ldexp(float((w >> 9) & 511), e),
                            std::ldexp(float((w >> 18) & 511), e)};
        return FromUnits(v, 3);
    }
    default: return 0;
    }
}

} // namespace

uint32_t DxgiPixelBits(uint32_t dxgiFormat) {
    const Row* r = Find(dxgiFormat);
    return r ? r->bits : 0;
}

bool DxgiPixelAlpha(uint32_t dxgiFormat) {
    const Row* r = Find(dxgiFormat);
    return r && r->alpha;
}

void ConvertDxgiRow(uint32_t dxgiFormat, uint32_t* dest, const uint8_t* src, uint32_t count,
                    bool exact) {
    const Row* r = Find(dxgiFormat);
    if (!r) return;
    const uint32_t step = r->bits / 8;
    for (uint32_t x = 0; x < count; ++x, src += step) dest[x] = Convert(*r, src, exact);
}
