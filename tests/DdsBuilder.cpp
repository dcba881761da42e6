#include "DdsBuilder.h"

#include <cstring>

namespace testkit {

namespace {
dds::DdsHead BaseHead(uint32_t width, uint32_t height, uint32_t mipCount) {
    dds::DdsHead h = {};
    h.dwMagic = dds::DDS_MAGIC;
    h.dwSize = 124;
    h.dwFlags = 0x1 | 0x2 | 0x4 | 0x1000 | (mipCount > 1 ? 0x20000 : 0);
    h.dwWidth = width;
    h.dwHeight = height;
    h.dwMipMapCount = mipCount;
    h.ddspf.dwSize = 32;
    h.dwCaps = 0x1000 | (mipCount > 1 ? 0x400008 : 0);
    return h;
}
} // namespace

dds::DdsHeadDx10 Dx10(uint32_t dxgiFormat, uint32_t arraySize, uint32_t miscFlag,
                      uint32_t dimension) {
    return dds::DdsHeadDx10{dxgiFormat, dimension, miscFlag, arraySize, 0};
}

std::vector<uint8_t> Dx10FileBytes(dds::DdsHead head, const dds::DdsHeadDx10& ext,
                                   const std::vector<uint8_t>& payload) {
    head.ddspf.dwFlags = dds::DDPF_FOURCC;
    head.ddspf.dwFourCC = dds::FOURCC_DX10;
    std::vector<uint8_t> out = FileBytes(head);
    const uint8_t* e = reinterpret_cast<const uint8_t*>(&ext);
    out.insert(out.end(), e, e + sizeof ext);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

dds::DdsHead HeadFourCC(uint32_t width, uint32_t height, uint32_t fourCC, uint32_t mipCount) {
    dds::DdsHead h = BaseHead(width, height, mipCount);
    h.ddspf.dwFlags = dds::DDPF_FOURCC;
    h.ddspf.dwFourCC = fourCC;
    return h;
}

dds::DdsHead HeadMasks(uint32_t width, uint32_t height, uint32_t bits, uint32_t red, uint32_t green,
                       uint32_t blue, uint32_t alpha, uint32_t mipCount) {
    dds::DdsHead h = BaseHead(width, height, mipCount);
    h.dwFlags |= 0x8; // pitch
    h.dwPitchOrLinearSize = (width * bits + 7) / 8;
    h.ddspf.dwFlags = dds::DDPF_RGB | (alpha ? dds::DDPF_ALPHAPIXELS : 0);
    h.ddspf.dwRGBBitCount = bits;
    h.ddspf.dwRBitMask = red;
    h.ddspf.dwGBitMask = green;
    h.ddspf.dwBBitMask = blue;
    h.ddspf.dwABitMask = alpha;
    return h;
}

dds::DdsHead LinearHead(uint32_t width, uint32_t height, uint32_t fourCC, uint32_t mipCount,
                        uint32_t linearSize) {
    dds::DdsHead h = HeadFourCC(width, height, fourCC, mipCount);
    h.dwFlags |= dds::DDSD_LINEARSIZE;
    h.dwPitchOrLinearSize = linearSize;
    return h;
}

std::vector<uint8_t> FileBytes(const dds::DdsHead& head, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out(sizeof head + payload.size());
    std::memcpy(out.data(), &head, sizeof head);
    if (!payload.empty()) std::memcpy(out.data() + sizeof head, payload.data(), payload.size());
    return out;
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

uint32_t Halve(uint32_t side) {
    return side / 2 ? side / 2 : 1;
}

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, uint16_t(v));
    Put16(out, uint16_t(v >> 16));
}

void PutFloat(std::vector<uint8_t>& out, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    Put32(out, bits);
}

std::vector<uint8_t> Pattern(size_t bytes, uint32_t seed) {
    std::vector<uint8_t> out(bytes);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = uint8_t(x >> 24);
    }
    return out;
}

} // namespace testkit
