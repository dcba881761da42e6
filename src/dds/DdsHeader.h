// The 128-byte head of a DDS file: the magic and the DDS header, exactly as stored.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dds {

// FourCC codes are four ASCII characters read as a little-endian 32-bit number.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

constexpr uint32_t DDS_MAGIC = MakeFourCC('D', 'D', 'S', ' '); // 0x20534444
constexpr uint32_t DDS_HEAD_SIZE = 128;                        // magic + 124-byte header

// Header dwFlags: the only bit the loader looks at.
constexpr uint32_t DDSD_LINEARSIZE = 0x80000;

// Pixel-format dwFlags.
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
constexpr uint32_t DDPF_ALPHA = 0x2;
constexpr uint32_t DDPF_FOURCC = 0x4;
constexpr uint32_t DDPF_RGB = 0x40;
constexpr uint32_t DDPF_LUMINANCE = 0x20000;
constexpr uint32_t DDPF_ALPHAPREMULT = 0x8000;
constexpr uint32_t DDPF_BUMPDUDV = 0x80000;

// dwCaps2.
constexpr uint32_t DDSCAPS2_CUBEMAP = 0x200;
constexpr uint32_t DDSCAPS2_CUBEMAP_POSITIVEX = 0x400;
constexpr uint32_t DDSCAPS2_CUBEMAP_NEGATIVEX = 0x800;
constexpr uint32_t DDSCAPS2_CUBEMAP_POSITIVEY = 0x1000;
constexpr uint32_t DDSCAPS2_CUBEMAP_NEGATIVEY = 0x2000;
constexpr uint32_t DDSCAPS2_CUBEMAP_POSITIVEZ = 0x4000;
constexpr uint32_t DDSCAPS2_CUBEMAP_NEGATIVEZ = 0x8000;
constexpr uint32_t DDSCAPS2_CUBEMAP_ALLFACES = 0xFC00;
constexpr uint32_t DDSCAPS2_VOLUME = 0x200000;

// Format tags found in dwFourCC.
constexpr uint32_t FOURCC_DXT1 = MakeFourCC('D', 'X', 'T', '1'); // 0x31545844
constexpr uint32_t FOURCC_DXT2 = MakeFourCC('D', 'X', 'T', '2');
constexpr uint32_t FOURCC_DXT3 = MakeFourCC('D', 'X', 'T', '3');
constexpr uint32_t FOURCC_DXT4 = MakeFourCC('D', 'X', 'T', '4');
constexpr uint32_t FOURCC_DXT5 = MakeFourCC('D', 'X', 'T', '5');
// DXT5 blocks with red in the alpha block (normal maps).
constexpr uint32_t FOURCC_RXGB = MakeFourCC('R', 'X', 'G', 'B');
// The extended header: 20 more bytes after the head, then the surfaces.
constexpr uint32_t FOURCC_DX10 = MakeFourCC('D', 'X', '1', '0');
// Older tags of the BC4 and BC5 blocks.
constexpr uint32_t FOURCC_ATI1 = MakeFourCC('A', 'T', 'I', '1');
constexpr uint32_t FOURCC_BC4U = MakeFourCC('B', 'C', '4', 'U');
constexpr uint32_t FOURCC_BC4S = MakeFourCC('B', 'C', '4', 'S');
constexpr uint32_t FOURCC_ATI2 = MakeFourCC('A', 'T', 'I', '2');
constexpr uint32_t FOURCC_BC5U = MakeFourCC('B', 'C', '5', 'U');
constexpr uint32_t FOURCC_BC5S = MakeFourCC('B', 'C', '5', 'S');
// Direct3D format numbers of the float formats, stored in dwFourCC.
constexpr uint32_t FOURCC_R16F = 111;
constexpr uint32_t FOURCC_G16R16F = 112;
constexpr uint32_t FOURCC_A16B16G16R16F = 113;
constexpr uint32_t FOURCC_R32F = 114;
constexpr uint32_t FOURCC_G32R32F = 115;
constexpr uint32_t FOURCC_A32B32G32R32F = 116;

#pragma pack(push, 1)
struct DdsPixelFormat {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwFourCC;
    uint32_t dwRGBBitCount;
    uint32_t dwRBitMask;
    uint32_t dwGBitMask;
    uint32_t dwBBitMask;
    uint32_t dwABitMask;
};

// All fields little-endian; this program only builds for little-endian targets.
struct DdsHead {
    uint32_t dwMagic;
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwHeight;
    uint32_t dwWidth;
    uint32_t dwPitchOrLinearSize;
    uint32_t dwDepth;
    uint32_t dwMipMapCount;
    uint32_t dwReserved1[11];
    DdsPixelFormat ddspf;
    uint32_t dwCaps;
    uint32_t dwCaps2;
    uint32_t dwCaps3;
    uint32_t dwCaps4;
    uint32_t dwReserved2;
};

// The extension that follows the head when dwFourCC is "DX10".
struct DdsHeadDx10 {
    uint32_t dxgiFormat;
    uint32_t resourceDimension; // 2: 1D, 3: 2D, 4: 3D (volume)
    uint32_t miscFlag;          // 0x4: cube map
    uint32_t arraySize;         // array slices (cube maps: cubes)
    uint32_t miscFlags2;
};
#pragma pack(pop)

constexpr uint32_t DDS_DX10_SIZE = 20;
constexpr uint32_t DX10_DIMENSION_TEXTURE1D = 2;
constexpr uint32_t DX10_DIMENSION_TEXTURE2D = 3;
constexpr uint32_t DX10_DIMENSION_TEXTURE3D = 4;
constexpr uint32_t DX10_MISC_TEXTURECUBE = 0x4;

static_assert(sizeof(DdsPixelFormat) == 32, "pixel format block is 32 bytes");
static_assert(sizeof(DdsHead) == DDS_HEAD_SIZE, "magic plus DDS header is 128 bytes");
static_assert(offsetof(DdsHead, ddspf) == 76, "pixel format block starts at byte 76");
static_assert(offsetof(DdsHead, dwCaps2) == 112, "dwCaps2 at byte 112");
static_assert(sizeof(DdsHeadDx10) == DDS_DX10_SIZE, "the DX10 extension is 20 bytes");

} // namespace dds
