#include "decode/TexelValue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "decode/BcnDecode.h"
#include "dds/DdsTexture.h"

namespace {

// Channel values in the order red, green, blue, alpha (or the names given), printed as
// integers or as floats.
struct Values {
    double v[4] = {};
    char names[4] = {'R', 'G', 'B', 'A'};
    uint32_t count = 0;
    bool isFloat = false;
    void Add(double value) { v[count++] = value; }
    std::string Text() const {
        std::string out;
        char part[40];
        for (uint32_t k = 0; k < count; ++k) {
            if (isFloat)
                std::snprintf(part, sizeof part, "%s%c %.4g", k ? " " : "", names[k], v[k]);
            else
                std::snprintf(part, sizeof part, "%s%c %lld", k ? " " : "", names[k],
                              (long long)v[k]);
            out += part;
        }
        return out;
    }
};

uint64_t LoadLE(const uint8_t* p, uint32_t bytes) {
    uint64_t v = 0;
    for (uint32_t i = 0; i < bytes; ++i) v |= uint64_t(p[i]) << (8 * i);
    return v;
}

float LoadFloat(const uint8_t* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

uint32_t LowestBit(uint32_t mask) {
    uint32_t n = 0;
    while (!(mask >> n & 1)) ++n;
    return n;
}

// An unsigned float of 5 exponent bits and `mantissa` bits (R11G11B10).
double SmallFloat(uint32_t v, uint32_t mantissa) {
    return HalfValue(uint16_t(v << (10 - mantissa)));
}

// Uncompressed DXGI formats: how their channels are stored.
enum Kind { kUnorm8, kUnorm16, kHalf, kFloat, kRGB10A2, kRG11B10, kRGB9E5 };
struct DxgiLayout {
    uint32_t number;
    Kind kind;
    uint32_t channels, bytes;
};
const DxgiLayout kDxgi[] = {
    {2, kFloat, 4, 16},  {6, kFloat, 3, 12},   {10, kHalf, 4, 8},    {11, kUnorm16, 4, 8},
    {16, kFloat, 2, 8},  {24, kRGB10A2, 4, 4}, {26, kRG11B10, 3, 4}, {27, kUnorm8, 4, 4},
    {28, kUnorm8, 4, 4}, {29, kUnorm8, 4, 4},  {34, kHalf, 2, 4},    {35, kUnorm16, 2, 4},
    {41, kFloat, 1, 4},  {49, kUnorm8, 2, 2},  {54, kHalf, 1, 2},    {56, kUnorm16, 1, 2},
    {67, kRGB9E5, 3, 4},
};

void DxgiValues(const DxgiLayout& l, const uint8_t* p, Values& out) {
    const uint32_t w = uint32_t(LoadLE(p, 4));
    out.isFloat = l.kind == kHalf || l.kind == kFloat || l.kind == kRG11B10 || l.kind == kRGB9E5;
    for (uint32_t k = 0; k < l.channels; ++k) {
        switch (l.kind) {
        case kUnorm8: out.Add(p[k]); break;
        case kUnorm16: out.Add(double(LoadLE(p + 2 * k, 2))); break;
        case kHalf: out.Add(HalfValue(uint16_t(LoadLE(p + 2 * k, 2)))); break;
        case kFloat: out.Add(LoadFloat(p + 4 * k)); break;
        case kRGB10A2: out.Add(k < 3 ? (w >> (10 * k)) & 1023 : w >> 30); break;
        case kRG11B10:
            out.Add(k < 2 ? SmallFloat((w >> (11 * k)) & 0x7FF, 6) : SmallFloat(w >> 22, 5));
            break;
        case kRGB9E5: out.Add(std::ldexp(double((w >> (9 * k)) & 511), int(w >> 27) - 24)); break;
        }
    }
}

} // namespace

float HalfValue(uint16_t h) {
    const int e = (h >> 10) & 31, m = h & 1023;
    float v;
    if (e == 0)
        v = std::ldexp(float(m), -24);
    else if (e == 31)
        v = m ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
    else
        v = std::ldexp(float(1024 + m), e - 25);
    return h >> 15 ? -v : v;
}

std::string TexelValues(const CDdsTexture& t, int32_t x, int32_t y) {
    if (!t.m_pRawData || x < 0 || y < 0 || x >= t.m_nWidth || y >= t.m_nHeight) return "";
    const uint64_t texel = uint64_t(y) * uint32_t(t.m_nWidth) + uint32_t(x);
    // A texel's bytes, or zero bytes where the file did not supply them; null beyond the size.
    uint8_t bytes[16] = {};
    const auto stored = [&](uint64_t offset, uint32_t size) -> const uint8_t* {
        if (offset + size > t.m_nRawSize || size > sizeof bytes) return nullptr;
        if (offset + size <= t.m_nRawHeld) return t.m_pRawData + offset;
        return bytes;
    };
    const dds::DdsPixelFormat& pf = t.m_Header.ddspf;
    Values out;
    switch (t.m_nFormat) {
    case TF_RGB: {
        const uint32_t size = pf.dwRGBBitCount / 8;
        const uint8_t* p = size ? stored(texel * size, size) : nullptr;
        if (!p) return "";
        const uint64_t v = LoadLE(p, size);
        // Only the channels the masks describe, by their names.
        const char* name = "RGBA";
        for (uint32_t mask : {pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask, pf.dwABitMask}) {
            if (mask) {
                out.names[out.count] = *name;
                out.Add(double((v & mask) >> LowestBit(mask)));
            }
            ++name;
        }
        break;
    }
    case TF_BUMP_UVW: {
        const uint8_t* p = pf.dwRGBBitCount == 16 ? stored(texel * 2, 2) : nullptr;
        if (!p) return "";
        out.names[0] = 'U';
        out.names[1] = 'V';
        out.Add(int8_t(p[0]));
        out.Add(int8_t(p[1]));
        break;
    }
    case TF_FLOAT16:
    case TF_FLOAT32: {
        const uint32_t elem = t.m_nFormat == TF_FLOAT16 ? 2 : 4;
        const uint32_t channels = pf.dwRGBBitCount / 8 / elem;
        const uint8_t* p = channels ? stored(texel * channels * elem, channels * elem) : nullptr;
        if (!p || channels > 4) return "";
        out.isFloat = true;
        for (uint32_t k = 0; k < channels; ++k)
            out.Add(elem == 2 ? HalfValue(uint16_t(LoadLE(p + 2 * k, 2))) : LoadFloat(p + 4 * k));
        break;
    }
    case TF_BC6H:
    case TF_BC6H_SF16: {
        const uint32_t across = uint32_t(t.m_nWidth + 3) / 4; // a partial block ends each row
        const uint8_t* p = stored((uint64_t(y / 4) * across + uint32_t(x / 4)) * 16, 16);
        if (!p) return "";
        uint16_t halves[16][3];
        DecodeBC6HBlock(halves, p, t.m_nFormat == TF_BC6H_SF16);
        out.isFloat = true;
        for (uint16_t h : halves[4 * (y % 4) + x % 4]) out.Add(HalfValue(h));
        break;
    }
    case TF_DXGI_PIXELS: {
        for (const DxgiLayout& l : kDxgi) {
            if (l.number != t.m_Dx10.dxgiFormat) continue;
            const uint8_t* p = stored(texel * l.bytes, l.bytes);
            if (!p) return "";
            DxgiValues(l, p, out);
        }
        break;
    }
    default: {
        // Block formats: the texel's block decoded.
        const CDdsTexture::BlockRunFn decode = t.BlockRun();
        const uint32_t bytes = BlockBytes(t.m_nFormat);
        const uint32_t across = uint32_t(t.m_nWidth + 3) / 4;
        const uint8_t* p =
            decode ? stored((uint64_t(y / 4) * across + uint32_t(x / 4)) * bytes, bytes) : nullptr;
        if (!p) return "";
        uint32_t tile[16];
        decode(tile, p, 1, 4);
        const uint32_t pixel = tile[4 * (y % 4) + x % 4];
        for (uint32_t shift : {16u, 8u, 0u, 24u}) out.Add((pixel >> shift) & 255);
    }
    }
    return out.Text();
}
