// Block decoders for BC4, BC5, BC6H and BC7: small pure functions over one 16-byte (BC4: 8-byte)
// block, bit-exact to the Direct3D block-compression rules, and row runs of them. Pixels are
// written as work-image pixels (alpha in bits 24-31, red 16-23, green 8-15, blue 0-7), rows 0 to
// 3 in order, rowLength pixels apart, each pixel whole (rows overlap when rowLength < 4).
#pragma once

#include <cstdint>

// ---- BC4 and BC5 ----------------------------------------------------------------------------

// The eight display bytes of a BC4 block's palette. Unsigned: the same floor interpolation as an
// interpolated alpha block. Signed: endpoints are signed bytes (-128 counts as -127) and entry
// value v = n / (d x 127) with n the weighted endpoint sum over d = 7 or 5; the byte is the
// exact floor of (v + 1) / 2 x 255, so -1 gives 0, 0 gives 127 and 1 gives 255.
void BC4Palette(const uint8_t* block, bool isSigned, uint8_t palette[8]);

// One BC4 block as grey pixels (alpha 255); one BC5 block (red block, then green block) as red
// and green, blue 0, alpha 255.
void DecodeBC4Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength, bool isSigned);
void DecodeBC5Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength, bool isSigned);

// ---- BC6H -------------------------------------------------------------------------------------

// The 16 pixels of a BC6H block as half floats, red, green, blue per pixel, pixels row by row.
// Reserved modes (19, 23, 27, 31) give 0 everywhere.
void DecodeBC6HBlock(uint16_t halves[16][3], const uint8_t* block, bool isSigned);

// One BC6H block as display pixels: each half through HalfToByte, alpha 255.
void DecodeBC6HPixels(uint32_t* dest, const uint8_t* block, uint32_t rowLength, bool isSigned);

// ---- BC7 --------------------------------------------------------------------------------------

// One BC7 block, values as stored (sRGB ones too). A block whose low byte is 0 (no mode) gives
// transparent black.
void DecodeBC7Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength);

// ---- row runs ---------------------------------------------------------------------------------

// A run of `count` blocks of one block row: `blocks` points at the first block's bytes, `dest`
// at its top-left pixel; block k goes 4k pixels to the right.
void DecodeBC4Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                     bool isSigned);
void DecodeBC5Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                     bool isSigned);
void DecodeBC6HBlocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool isSigned);
void DecodeBC7Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength);
