// Conversions used by composition.
#pragma once

#include <cstdint>

// Re-biases the exponent of a 16-bit float without special cases (zero and subnormals come out
// tiny, infinities and NaNs at least 65536), exactly as the display rules want.
float HalfToFloat(uint16_t h);

// Clamps to 0..1, scales by 255 and truncates; NaN gives 0.
uint8_t UnitToByte(float x);
