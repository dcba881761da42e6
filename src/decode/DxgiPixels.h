// Rows of the uncompressed DXGI formats that the mask rules cannot show, as work-image pixels
// (alpha in bits 24-31, red 16-23, green 8-15, blue 0-7). Values are shown as stored: one
// channel as grey, two as red and green with blue 0, alpha 255 where the format has none;
// unsigned channels wider than 8 bits keep their top 8 bits (narrower alpha: a x 255 / max);
// floats through UnitToByte (halves through HalfToFloat first).
#pragma once

#include <cstdint>

// Bits per pixel of a format ConvertDxgiRow knows, 0 for the others.
uint32_t DxgiPixelBits(uint32_t dxgiFormat);
// True when the format has an alpha channel.
bool DxgiPixelAlpha(uint32_t dxgiFormat);

// Converts `count` pixels of `src` (DxgiPixelBits / 8 bytes each, little-endian). `exact`: UNORM
// channels wider than 8 bits as Direct3D rounds them (round(v x 255 / (2^n - 1))).
void ConvertDxgiRow(uint32_t dxgiFormat, uint32_t* dest, const uint8_t* src, uint32_t count,
                    bool exact = false);
