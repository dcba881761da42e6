// The stored values of one texel, as the texel readout shows them.
#pragma once

#include <cstdint>
#include <string>

class CDdsTexture;

// The values of texel (x, y) of the surface on show: "R 255 G 128 B 0 A 255". Integer channels
// as stored (mask formats by their masks, 10- and 16-bit channels whole), float, half and BC6H
// values with 4 significant digits, other block formats as decoded; bytes the file did not
// supply count as zero. Empty outside the surface or without one.
std::string TexelValues(const CDdsTexture& texture, int32_t x, int32_t y);

// A half's value with its special cases (subnormals, infinities, NaN), unlike the display rule.
float HalfValue(uint16_t h);
