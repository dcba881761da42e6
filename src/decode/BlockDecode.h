// Block helpers for DXT1/DXT3/DXT5: small pure functions over one 4x4 block.
// Pixels are 32-bit values with alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
#pragma once

#include <cstdint>

// The four colours of a colour block.
struct ColorPalette {
    uint32_t entry[4];
};

// Exact floor divisions by the palette weights as a multiply-high by 2^16 / d rounded up (what
// 16-bit lanes can do too): exact up to the stated limits, far above the largest sums the
// palettes form (3 x 255, 5 x 255 and 7 x 255).
constexpr uint32_t kDivideBy3Limit = 32767;
constexpr uint32_t kDivideBy5Limit = 16383;
constexpr uint32_t kDivideBy7Limit = 13109;
constexpr uint32_t DivideBy3(uint32_t x) {
    return (x * 21846) >> 16;
}
constexpr uint32_t DivideBy5(uint32_t x) {
    return (x * 13108) >> 16;
}
constexpr uint32_t DivideBy7(uint32_t x) {
    return (x * 9363) >> 16;
}

// Palette of an 8-byte colour block (two 5-6-5 colours, shift-only expansion; three-colour
// mode when colour 0 <= colour 1, with entry 3 the transparent cyan 0x0000FFFF). DXT3 and DXT5
// read theirs with `fourColorOnly`. `exact`: endpoints widened as Direct3D widens UNORM fields
// (round(v x 255 / (2^n - 1))), and the transparent entry is black.
ColorPalette DecodeColorBlock(const uint8_t* colorBlock, bool fourColorOnly = false,
                              bool exact = false);

// Writes the 16 pixels of a block, rows 0 to 3 in order, rowLength pixels apart.
void ExpandColorIndices(uint32_t* dest, const uint8_t* colorBlock, uint32_t rowLength,
                        const ColorPalette& palette);

// Replace the alpha byte of the 16 pixels (DXT3 nibbles; DXT5 interpolated palette).
void ApplyExplicitAlpha(uint32_t* dest, const uint8_t* alphaBlock, uint32_t rowLength);
void ApplyInterpolatedAlpha(uint32_t* dest, const uint8_t* alphaBlock, uint32_t rowLength);

// The eight-entry alpha palette of a DXT5 alpha block.
void InterpolatedAlphaPalette(uint8_t a0, uint8_t a1, uint8_t palette[8]);

// One pixel of a normal map rebuilt from its alpha (red) and green bytes: blue from the
// unit-length rule, alpha 255.
uint32_t ReconstructNormal(uint32_t pixel);

// Rewrites the pixels of a decoded DXT5 block as normal-map pixels, each pixel the block wrote
// exactly once: with a row length below 4 the block's rows overlap, and a pixel rebuilt twice
// would take its red from the 255 of the first rebuild.
void ReconstructNormalBlock(uint32_t* dest, uint32_t rowLength);

// Writes the 16 pixels of a block as transparent black (a block the surface data lacks).
void ClearBlock(uint32_t* dest, uint32_t rowLength);

// A run of `count` blocks of one block row: `blocks` points at the first block's bytes, `dest`
// at its top-left pixel; block k goes 4k pixels to the right. `exact` as for DecodeColorBlock.
void DecodeDXT1Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool exact = false);
void DecodeDXT3Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool exact = false);
void DecodeDXT5Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool normalMap, bool exact = false);

// RXGB: the alpha of `count` decoded blocks (rowLength of at least 4 x count) becomes their red,
// and alpha is 255.
void MoveAlphaToRed(uint32_t* dest, uint32_t count, uint32_t rowLength);
