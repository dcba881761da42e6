// Block helpers for DXT1/DXT3/DXT5: small pure functions over one 4x4 block.
// Pixels are 32-bit values with alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
#pragma once

#include <cstdint>

// The four colours of a colour block.
struct ColorPalette {
    uint32_t entry[4];
};

// Palette of an 8-byte colour block (two 5-6-5 colours, shift-only expansion; three-colour
// mode when colour 0 <= colour 1, with entry 3 the transparent cyan 0x0000FFFF).
ColorPalette DecodeColorBlock(const uint8_t* colorBlock);

// Writes the 16 pixels of a block, rows 0 to 3 in order, rowLength pixels apart.
void ExpandColorIndices(uint32_t* dest, const uint8_t* colorBlock, uint32_t rowLength,
                        const ColorPalette& palette);

// Replace the alpha byte of the 16 pixels (DXT3 nibbles; DXT5 interpolated palette).
void ApplyExplicitAlpha(uint32_t* dest, const uint8_t* alphaBlock, uint32_t rowLength);
void ApplyInterpolatedAlpha(uint32_t* dest, const uint8_t* alphaBlock, uint32_t rowLength);

// The eight-entry alpha palette of a DXT5 alpha block.
void InterpolatedAlphaPalette(uint8_t a0, uint8_t a1, uint8_t palette[8]);

// Rewrites the pixels of a decoded DXT5 block as a normal map (red = alpha, green = green,
// blue from the unit-length rule, alpha 255). Only the visible width x height pixels of the
// block are rebuilt, each exactly once: with a row length below 4 the block's rows overlap.
void ReconstructNormalBlock(uint32_t* dest, uint32_t rowLength, uint32_t visibleWidth = 4,
                            uint32_t visibleHeight = 4);
