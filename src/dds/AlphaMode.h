// How a surface's alpha is meant: the format's own (DXT2 and DXT4 are premultiplied) or the
// alpha mode of a DX10 header (the low 3 bits of its miscFlags2).
#pragma once

#include <cstdint>

enum : int32_t {
    ALPHA_MODE_UNKNOWN = 0, // no mode given: alpha is coverage, blended straight
    ALPHA_MODE_STRAIGHT = 1,
    ALPHA_MODE_PREMULTIPLIED = 2,
    ALPHA_MODE_OPAQUE = 3, // alpha is to be ignored
    ALPHA_MODE_CUSTOM = 4, // alpha is data, not coverage
};

// The mode of a surface of `format` (TF_ code); `miscFlags2` counts only with a DX10 header.
// Values beyond the five known ones read as unknown.
int32_t AlphaModeOf(int32_t format, bool dx10, uint32_t miscFlags2);

// The mode's name ("premultiplied"), "unknown" for ALPHA_MODE_UNKNOWN.
const char* AlphaModeName(int32_t mode);

// What the status's format text gains: " (premultiplied)", nothing for an unknown mode.
const char* AlphaModeSuffix(int32_t mode);

// Whether the blend view blends by the alpha of this mode: opaque alpha is ignored, custom
// alpha is data.
inline bool AlphaModeBlends(int32_t mode) {
    return mode != ALPHA_MODE_OPAQUE && mode != ALPHA_MODE_CUSTOM;
}
