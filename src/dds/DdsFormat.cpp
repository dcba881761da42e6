#include "dds/DdsFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

using namespace dds;

namespace {

constexpr uint64_t kSaturated = std::numeric_limits<uint64_t>::max();

// Offsets of absurd headers saturate instead of wrapping: a saturated offset lies beyond any
// file, so nothing is read.
uint64_t SatAdd(uint64_t a, uint64_t b) {
    return a > kSaturated - b ? kSaturated : a + b;
}
uint64_t SatMul(uint64_t a, uint64_t b) {
    return (a != 0 && b > kSaturated / a) ? kSaturated : a * b;
}

// To halve a size: x / 2, or 1 when that is 0.
uint32_t Halve(uint32_t x) {
    return x / 2 ? x / 2 : 1;
}

// The count of a channel in a format name. One character for 0..9 (a blank for none); larger
// counts in decimal, so that a 10-bit or 24-bit channel never shows a control character.
std::string CountText(bool present, uint32_t count) {
    if (!present) return " ";
    if (count <= 9) return std::string(1, char('0' + count));
    return std::to_string(count);
}

std::string Pair(char letter, uint32_t mask) {
    if (!mask) return "  ";
    return letter + CountText(true, uint32_t(CountBits(mask)));
}

struct FourCCRow {
    uint32_t fourCC;
    const char* name;
    int32_t code;
    uint32_t bits;   // the bit count the loader and decoders use
    bool linearSize; // block formats are sized from the linear size
    bool alpha;      // four-channel float formats carry alpha
};

const FourCCRow kFourCCTable[] = {
    {FOURCC_R16F, "16bit-R16F", TF_FLOAT16, 16, false, false},
    {FOURCC_G16R16F, "32bit-G16R16F", TF_FLOAT16, 32, false, false},
    {FOURCC_A16B16G16R16F, "64bit-A16B16G16R16F", TF_FLOAT16, 64, false, true},
    {FOURCC_R32F, "32bit-R32F", TF_FLOAT32, 32, false, false},
    {FOURCC_G32R32F, "64bit-G32R32F", TF_FLOAT32, 64, false, false},
    {FOURCC_A32B32G32R32F, "128bit-A32B32G32R32F", TF_FLOAT32, 128, false, true},
    {FOURCC_DXT1, "DXT1", TF_DXT1, 0, true, false},
    {FOURCC_DXT2, "DXT2", TF_DXT2, 0, true, false},
    {FOURCC_DXT3, "DXT3", TF_DXT3, 0, true, false},
    {FOURCC_DXT4, "DXT4", TF_DXT4, 0, true, false},
    {FOURCC_DXT5, "DXT5", TF_DXT5, 0, true, false},
    {FOURCC_RXGB, "RXGB", TF_RXGB, 0, true, false},
    {FOURCC_ATI1, "BC4_UNORM", TF_BC4, 0, true, false},
    {FOURCC_BC4U, "BC4_UNORM", TF_BC4, 0, true, false},
    {FOURCC_BC4S, "BC4_SNORM", TF_BC4_SNORM, 0, true, false},
    {FOURCC_ATI2, "BC5_UNORM", TF_BC5, 0, true, false},
    {FOURCC_BC5U, "BC5_UNORM", TF_BC5, 0, true, false},
    {FOURCC_BC5S, "BC5_SNORM", TF_BC5_SNORM, 0, true, false},
};

// The DXGI formats Brixa names. Block formats and the formats the mask rules show carry their
// code; `bits` and the masks (red, green, blue, alpha) describe the latter. Converted formats
// (TF_DXGI_PIXELS) give their bits, and alpha 1 when they have an alpha channel.
struct DxgiRow {
    uint32_t number;
    const char* name;
    int32_t code;
    uint32_t bits, red, green, blue, alpha;
};

const DxgiRow kDxgiTable[] = {
    {2, "R32G32B32A32_FLOAT", TF_DXGI_PIXELS, 128, 0, 0, 0, 1},
    {6, "R32G32B32_FLOAT", TF_DXGI_PIXELS, 96, 0, 0, 0, 0},
    {10, "R16G16B16A16_FLOAT", TF_DXGI_PIXELS, 64, 0, 0, 0, 1},
    {11, "R16G16B16A16_UNORM", TF_DXGI_PIXELS, 64, 0, 0, 0, 1},
    {16, "R32G32_FLOAT", TF_DXGI_PIXELS, 64, 0, 0, 0, 0},
    {24, "R10G10B10A2_UNORM", TF_DXGI_PIXELS, 32, 0, 0, 0, 1},
    {26, "R11G11B10_FLOAT", TF_DXGI_PIXELS, 32, 0, 0, 0, 0},
    {27, "R8G8B8A8_TYPELESS", TF_DXGI_PIXELS, 32, 0, 0, 0, 1},
    {28, "R8G8B8A8_UNORM", TF_DXGI_PIXELS, 32, 0, 0, 0, 1},
    {29, "R8G8B8A8_UNORM_SRGB", TF_DXGI_PIXELS, 32, 0, 0, 0, 1},
    {34, "R16G16_FLOAT", TF_DXGI_PIXELS, 32, 0, 0, 0, 0},
    {35, "R16G16_UNORM", TF_DXGI_PIXELS, 32, 0, 0, 0, 0},
    {41, "R32_FLOAT", TF_DXGI_PIXELS, 32, 0, 0, 0, 0},
    {49, "R8G8_UNORM", TF_DXGI_PIXELS, 16, 0, 0, 0, 0},
    {54, "R16_FLOAT", TF_DXGI_PIXELS, 16, 0, 0, 0, 0},
    {56, "R16_UNORM", TF_DXGI_PIXELS, 16, 0, 0, 0, 0},
    {61, "R8_UNORM", TF_RGB, 8, 0xFF, 0, 0, 0},
    {65, "A8_UNORM", TF_RGB, 8, 0, 0, 0, 0xFF},
    {67, "R9G9B9E5_SHAREDEXP", TF_DXGI_PIXELS, 32, 0, 0, 0, 0},
    {70, "BC1_TYPELESS", TF_DXT1, 0, 0, 0, 0, 0},
    {71, "BC1_UNORM", TF_DXT1, 0, 0, 0, 0, 0},
    {72, "BC1_UNORM_SRGB", TF_DXT1, 0, 0, 0, 0, 0},
    {73, "BC2_TYPELESS", TF_DXT3, 0, 0, 0, 0, 0},
    {74, "BC2_UNORM", TF_DXT3, 0, 0, 0, 0, 0},
    {75, "BC2_UNORM_SRGB", TF_DXT3, 0, 0, 0, 0, 0},
    {76, "BC3_TYPELESS", TF_DXT5, 0, 0, 0, 0, 0},
    {77, "BC3_UNORM", TF_DXT5, 0, 0, 0, 0, 0},
    {78, "BC3_UNORM_SRGB", TF_DXT5, 0, 0, 0, 0, 0},
    {79, "BC4_TYPELESS", TF_BC4, 0, 0, 0, 0, 0},
    {80, "BC4_UNORM", TF_BC4, 0, 0, 0, 0, 0},
    {81, "BC4_SNORM", TF_BC4_SNORM, 0, 0, 0, 0, 0},
    {82, "BC5_TYPELESS", TF_BC5, 0, 0, 0, 0, 0},
    {83, "BC5_UNORM", TF_BC5, 0, 0, 0, 0, 0},
    {84, "BC5_SNORM", TF_BC5_SNORM, 0, 0, 0, 0, 0},
    {85, "B5G6R5_UNORM", TF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0},
    {86, "B5G5R5A1_UNORM", TF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {87, "B8G8R8A8_UNORM", TF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {88, "B8G8R8X8_UNORM", TF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {90, "B8G8R8A8_TYPELESS", TF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {91, "B8G8R8A8_UNORM_SRGB", TF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {92, "B8G8R8X8_TYPELESS", TF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {93, "B8G8R8X8_UNORM_SRGB", TF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {94, "BC6H_TYPELESS", TF_BC6H, 0, 0, 0, 0, 0},
    {95, "BC6H_UF16", TF_BC6H, 0, 0, 0, 0, 0},
    {96, "BC6H_SF16", TF_BC6H_SF16, 0, 0, 0, 0, 0},
    {97, "BC7_TYPELESS", TF_BC7, 0, 0, 0, 0, 0},
    {98, "BC7_UNORM", TF_BC7, 0, 0, 0, 0, 0},
    {99, "BC7_UNORM_SRGB", TF_BC7, 0, 0, 0, 0, 0},
    {115, "B4G4R4A4_UNORM", TF_RGB, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
};

void CopyName(char* nameOut, const std::string& name) {
    std::snprintf(nameOut, kFormatNameSize, "%s", name.c_str());
}

} // namespace

int CountBits(uint32_t mask) {
    int n = 0;
    for (; mask; mask &= mask - 1) ++n;
    return n;
}

bool IsBlockFormat(int32_t format) {
    return (format >= TF_DXT1 && format <= TF_DXT5_NM) || (format >= TF_BC4 && format <= TF_BC7) ||
           format == TF_RXGB;
}

uint32_t BlockCount(uint32_t pixels) {
    return pixels > 4 ? uint32_t((uint64_t(pixels) + 3) / 4) : 1;
}

uint32_t BlockBytes(int32_t format) {
    if (format == TF_DXT1 || format == TF_BC4 || format == TF_BC4_SNORM) return 8;
    return IsBlockFormat(format) ? 16 : 0;
}

bool IsOpaqueFormat(int32_t format) {
    return format >= TF_BC4 && format <= TF_BC6H_SF16;
}

uint64_t SurfaceSize(uint32_t width, uint32_t height, int32_t format, uint32_t bitsPerPixel) {
    switch (format) {
    case TF_RGB:
    case TF_BUMP_UVW:
    case TF_FLOAT16:
    case TF_FLOAT32:
    case TF_DXGI_PIXELS: return SatMul(SatMul(width, height), bitsPerPixel) / 8;
    default:
        if (!IsBlockFormat(format)) return 0;
        // Writers store the partial blocks of the right and bottom edges whole.
        // 2^30 x 2^30 blocks of 16 bytes would just wrap 64 bits: saturated, like the offsets.
        return SatMul(uint64_t(BlockCount(width)) * BlockCount(height), BlockBytes(format));
    }
}

void FormatMaskName(char* nameOut, const DdsPixelFormat& pf) {
    const uint32_t n = pf.dwRGBBitCount;
    const uint32_t rgb =
        uint32_t(CountBits(pf.dwRBitMask) + CountBits(pf.dwGBitMask) + CountBits(pf.dwBBitMask));
    std::string first;
    if (pf.dwABitMask) {
        int a = CountBits(pf.dwABitMask);
        first = "A" + CountText(a != 0, uint32_t(a));
    } else if (rgb > 0 && rgb < n) {
        first = "X" + CountText(true, n - rgb);
    } else {
        first = "  ";
    }
    // The letters always come first letter, R, G, B, whatever the masks' bit positions.
    std::string name = std::to_string(n) + "bit-" + first + Pair('R', pf.dwRBitMask) +
                       Pair('G', pf.dwGBitMask) + Pair('B', pf.dwBBitMask);
    if (pf.dwFlags & DDPF_ALPHAPREMULT) name += "-premul";
    CopyName(nameOut, name);
}

void FormatBumpName(char* nameOut, const DdsPixelFormat& pf) {
    std::string name = std::to_string(pf.dwRGBBitCount) + "bit-" + Pair('U', pf.dwRBitMask) +
                       Pair('V', pf.dwGBitMask) + Pair('W', pf.dwBBitMask);
    CopyName(nameOut, name);
}

bool FourCCDecides(const DdsPixelFormat& pf) {
    // Some writers leave a stale tag beside masks they flag; others set a tag without its flag.
    return (pf.dwFlags & DDPF_FOURCC) ||
           !(pf.dwFlags & (DDPF_RGB | DDPF_ALPHA | DDPF_LUMINANCE | DDPF_BUMPDUDV));
}

int32_t ClassifyHead(char* nameOut, DdsHead& head, bool treatDxt5AsNm) {
    DdsPixelFormat& pf = head.ddspf;
    if (pf.dwFourCC == 0 || !FourCCDecides(pf)) {
        if (pf.dwFlags & DDPF_BUMPDUDV) {
            FormatBumpName(nameOut, pf);
            return TF_BUMP_UVW;
        }
        FormatMaskName(nameOut, pf);
        return TF_RGB;
    }
    for (const FourCCRow& row : kFourCCTable) {
        if (row.fourCC != pf.dwFourCC) continue;
        int32_t code = row.code;
        const char* name = row.name;
        if (code == TF_DXT5 && treatDxt5AsNm) {
            code = TF_DXT5_NM;
            name = "DXT5_NM";
        }
        CopyName(nameOut, name);
        pf.dwRGBBitCount = row.bits;
        if (row.linearSize) head.dwFlags |= DDSD_LINEARSIZE;
        if (row.alpha) pf.dwFlags |= DDPF_ALPHAPIXELS;
        return code;
    }
    CopyName(nameOut, "Format Unknown");
    return TF_UNKNOWN;
}

int32_t ClassifyDxgi(char* nameOut, DdsHead& head, uint32_t dxgiFormat) {
    DdsPixelFormat& pf = head.ddspf;
    for (const DxgiRow& row : kDxgiTable) {
        if (row.number != dxgiFormat) continue;
        CopyName(nameOut, row.name);
        if (IsBlockFormat(row.code)) {
            pf.dwRGBBitCount = 0;
            head.dwFlags |= DDSD_LINEARSIZE;
        } else if (row.code == TF_RGB) {
            // Shown by the mask rules, sized by rows as the mask formats are.
            pf.dwRGBBitCount = row.bits;
            pf.dwRBitMask = row.red;
            pf.dwGBitMask = row.green;
            pf.dwBBitMask = row.blue;
            pf.dwABitMask = row.alpha;
            pf.dwFlags = DDPF_RGB | (row.alpha ? DDPF_ALPHAPIXELS : 0);
            head.dwFlags &= ~DDSD_LINEARSIZE;
        } else if (row.code == TF_DXGI_PIXELS) {
            pf.dwRGBBitCount = row.bits;
            pf.dwRBitMask = pf.dwGBitMask = pf.dwBBitMask = pf.dwABitMask = 0;
            pf.dwFlags = row.alpha ? DDPF_ALPHAPIXELS : 0;
            head.dwFlags &= ~DDSD_LINEARSIZE;
        }
        return row.code;
    }
    CopyName(nameOut, "DXGI " + std::to_string(dxgiFormat));
    return TF_UNKNOWN;
}

namespace {

// Adds the sizes of `levels` successive levels starting at w x h (times the slice count d of a
// volume), halving after each. Levels past 1 x 1 all have the same size, so a huge level count
// costs no more than the real chain.
uint64_t StepLevels(uint32_t& w, uint32_t& h, uint32_t* d, uint64_t levels, int32_t format,
                    uint32_t bits) {
    uint64_t total = 0;
    for (; levels > 0; --levels) {
        uint32_t slices = d ? *d : 1;
        if (w == 1 && h == 1 && slices == 1) {
            return SatAdd(total, SatMul(levels, SurfaceSize(1, 1, format, bits)));
        }
        total = SatAdd(total, SatMul(SurfaceSize(w, h, format, bits), slices));
        w = Halve(w);
        h = Halve(h);
        if (d) *d = Halve(*d);
    }
    return total;
}

} // namespace

SurfaceLocation LocateSurface(DdsHead& head, int32_t format, bool cubeMap, bool volume,
                              int32_t mipLevel, int32_t faceOrLayer, uint32_t chains) {
    SurfaceLocation loc;
    // Negative selections cannot be stepped through; treat them as the first.
    int64_t level = mipLevel > 0 ? mipLevel : 0;
    int64_t layer = faceOrLayer > 0 ? faceOrLayer : 0;
    if (level + layer == 0) return loc;

    const uint32_t bits = head.ddspf.dwRGBBitCount;
    // A count of 0 or 1 means only the top level; the comparison is done in 64 bits so that a
    // count of 2^31 or more cannot turn negative.
    int64_t lastLevel = int64_t(head.dwMipMapCount) - 1;
    if (level >= lastLevel) level = lastLevel > 0 ? lastLevel : 0;

    // The last slice, face or level there is: a selection beyond it shows the last one.
    auto clampTo = [](int64_t value, int64_t count) {
        return std::min(value, count > 1 ? count - 1 : 0);
    };
    uint64_t offset = 0;
    if (volume) {
        offset =
            StepLevels(head.dwWidth, head.dwHeight, &head.dwDepth, uint64_t(level), format, bits);
        // Clamped by the selected level's own depth, so that a layer the level does not have
        // never shows a slice of a later level.
        layer = clampTo(layer, head.dwDepth);
        offset = SatAdd(offset, SatMul(uint64_t(layer),
                                       SurfaceSize(head.dwWidth, head.dwHeight, format, bits)));
    } else if (cubeMap || chains > 1) {
        layer = clampTo(layer,
                        chains > 1 ? chains : CountBits(head.dwCaps2 & DDSCAPS2_CUBEMAP_ALLFACES));
        uint32_t w = head.dwWidth, h = head.dwHeight;
        uint64_t chainLevels = head.dwMipMapCount ? head.dwMipMapCount : 1;
        uint64_t chain = StepLevels(w, h, nullptr, chainLevels, format, bits);
        offset = SatMul(uint64_t(layer), chain);
        offset = SatAdd(offset, StepLevels(head.dwWidth, head.dwHeight, nullptr, uint64_t(level),
                                           format, bits));
    } else {
        offset = StepLevels(head.dwWidth, head.dwHeight, nullptr, uint64_t(level), format, bits);
        layer = 0;
    }
    loc.offset = offset;
    loc.level = int32_t(level);
    loc.layer = int32_t(layer);
    return loc;
}
