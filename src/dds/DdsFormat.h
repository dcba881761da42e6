// Pixel-format classification, naming and surface sizes.
#pragma once

#include <cstdint>

#include "dds/DdsHeader.h"

// Internal format codes: sizing, decoding and composition dispatch on them.
enum : int32_t {
    TF_RGB = 0,
    TF_BUMP_UVW = 1,
    TF_DXT1 = 2,
    TF_DXT2 = 3,
    TF_DXT3 = 4,
    TF_DXT4 = 5,
    TF_DXT5 = 6,
    TF_DXT5_NM = 7,
    TF_FLOAT16 = 8,
    TF_FLOAT32 = 9,
    TF_UNKNOWN = 10,
    // The blocks of the DX10 header's formats (BC1 to BC3 decode as DXT1, DXT3 and DXT5).
    TF_BC4 = 11,
    TF_BC4_SNORM = 12,
    TF_BC5 = 13,
    TF_BC5_SNORM = 14,
    TF_BC6H = 15,
    TF_BC6H_SF16 = 16,
    TF_BC7 = 17,
    // Uncompressed DXGI formats the mask rules cannot show: converted row by row into the
    // work image (by the DX10 header's DXGI number), then composed like the block formats.
    TF_DXGI_PIXELS = 18,
    // DXT5 blocks whose alpha block holds red (alpha is 255): decoded by the DXT5 loop.
    TF_RXGB = 19,
};

constexpr int kFormatNameSize = 256;

// Number of set bits of a channel mask.
int CountBits(uint32_t mask);

bool IsBlockFormat(int32_t format);
// Bytes per 4x4 block of a block format, 0 for the others.
uint32_t BlockBytes(int32_t format);

// Blocks across (or down) a side of `pixels` pixels: partial blocks count, and there is at
// least one.
uint32_t BlockCount(uint32_t pixels);

// Byte size of one surface; block formats hold BlockCount(width) x BlockCount(height) blocks.
// Computed in 64 bits so that no legitimate surface size overflows.
uint64_t SurfaceSize(uint32_t width, uint32_t height, int32_t format, uint32_t bitsPerPixel);

// Writes the display name of a mask-described (code 0) or bump (code 1) pixel format.
void FormatMaskName(char* nameOut, const dds::DdsPixelFormat& pf);
void FormatBumpName(char* nameOut, const dds::DdsPixelFormat& pf);

// Whether dwFourCC names the format: when DDPF_FOURCC is set, or when no flag says the masks
// describe it (DDPF_RGB, DDPF_ALPHA, DDPF_LUMINANCE, DDPF_BUMPDUDV).
bool FourCCDecides(const dds::DdsPixelFormat& pf);

// Classifies the pixel format of a head: returns the code, writes the name and makes the
// edits of the head the loader relies on (linear-size flag, bit count, alpha-pixels flag).
int32_t ClassifyHead(char* nameOut, dds::DdsHead& head, bool treatDxt5AsNm);

// Classifies the DXGI format of a DX10 header like ClassifyHead: the name is the DXGI name
// without its prefix ("BC7_UNORM_SRGB"), or "DXGI n" for a number Brixa does not know; formats
// it knows but does not show are TF_UNKNOWN. Sets the head's bit count (and masks, for the
// formats the mask rules show) and linear-size flag.
int32_t ClassifyDxgi(char* nameOut, dds::DdsHead& head, uint32_t dxgiFormat);

// True for the formats whose surfaces carry no alpha (alpha is 255 throughout).
bool IsOpaqueFormat(int32_t format);

// Where the selected surface of a head lies. Clamps the level, the cube face (to the faces
// present) and the volume layer (to the selected level's depth), and reduces the head's width,
// height (and depth of a volume) to the selected level.
struct SurfaceLocation {
    uint64_t offset = 0; // from the start of the surface data (file offset 128)
    int32_t level = 0;   // the level actually selected
    int32_t layer = 0;   // the face or layer actually selected
};
// `chains` counts the mipmap chains of a texture array (faces x slices for a cube array); above
// 1 it is laid out like a cube map's faces, whatever the cube-map bit says.
SurfaceLocation LocateSurface(dds::DdsHead& head, int32_t format, bool cubeMap, bool volume,
                              int32_t mipLevel, int32_t faceOrLayer, uint32_t chains = 0);
