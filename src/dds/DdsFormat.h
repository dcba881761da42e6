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
};

constexpr int kFormatNameSize = 256;

// Number of set bits of a channel mask.
int CountBits(uint32_t mask);

bool IsBlockFormat(int32_t format);
// Bytes per 4x4 block of a block format, 0 for the others.
uint32_t BlockBytes(int32_t format);

// Byte size of one surface. Block counts are rounded down, then raised to 1. Computed in
// 64 bits so that no legitimate surface size overflows.
uint64_t SurfaceSize(uint32_t width, uint32_t height, int32_t format, uint32_t bitsPerPixel);

// Writes the display name of a mask-described (code 0) or bump (code 1) pixel format.
void FormatMaskName(char* nameOut, const dds::DdsPixelFormat& pf);
void FormatBumpName(char* nameOut, const dds::DdsPixelFormat& pf);

// Classifies the pixel format of a head: returns the code, writes the name and makes the
// edits of the head the loader relies on (linear-size flag, bit count, alpha-pixels flag).
int32_t ClassifyHead(char* nameOut, dds::DdsHead& head, bool treatDxt5AsNm);

// Where the selected surface of a head lies. Clamps the level, the cube face (to the faces
// present) and the volume layer (to the selected level's depth), and reduces the head's width,
// height (and depth of a volume) to the selected level.
struct SurfaceLocation {
    uint64_t offset = 0; // from the start of the surface data (file offset 128)
    int32_t level = 0;   // the level actually selected
    int32_t layer = 0;   // the face or layer actually selected
};
SurfaceLocation LocateSurface(dds::DdsHead& head, int32_t format, bool cubeMap, bool volume,
                              int32_t mipLevel, int32_t faceOrLayer);
