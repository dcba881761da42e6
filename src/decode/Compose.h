// Pieces of decoding and composition shared with the tests and the benchmarks.
#pragma once

#include <cstdint>

class CDdsTexture;

// The images were sized from the header's width and height (AllocImages): the record's own
// width and height must be the same before either image is read or written.
bool ImagesMatchHeader(const CDdsTexture& texture);

// Byte size of the work image: max(width, 4) x max(height, 4) pixels of 4 bytes.
uint64_t WorkImageBytes(const CDdsTexture& texture);

// Row kernels of 32-bit work-image pixels (blue, green, red, alpha bytes).
// Blend: each colour channel over its background byte by the pixel's alpha; alpha byte kept.
// `stream`: the row is written past the caches (the caller fences when its rows are done).
void BlendWorkRow(uint32_t* dest, const uint32_t* src, uint32_t count, uint8_t red, uint8_t green,
                  uint8_t blue, bool stream = false);
// Premultiplied colour over the background: colour + background x (255 - alpha) / 255.
void PremultipliedWorkRow(uint32_t* dest, const uint32_t* src, uint32_t count, uint8_t red,
                          uint8_t green, uint8_t blue);
// Alpha as grey: the alpha byte in all four bytes.
void AlphaWorkRow(uint32_t* dest, const uint32_t* src, uint32_t count);

// The factor of an exposure of `stops` (clamped to kMaxExposure either way): 2 to that power.
float ExposureFactor(int32_t stops);
// The formats an exposure acts on: float, half and BC6H surfaces.
bool ExposureApplies(int32_t format);
// Whether Compose in `mode` blends the colours by alpha (over the background it is given):
// not where the alpha mode says opaque or custom.
bool BlendsByAlpha(const CDdsTexture& texture, int32_t mode);
// The alpha mode of the record's surface (AlphaMode.h).
int32_t AlphaModeOf(const CDdsTexture& texture);
