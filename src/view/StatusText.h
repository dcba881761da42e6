// The six status bar texts of a shown surface.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CDdsTexture;

// The facts the status bar shows, as plain values.
struct StatusFacts {
    std::string formatName;
    int32_t width = 0;
    int32_t height = 0;
    bool cubeMap = false;
    bool allSides = false; // the cube's six faces shown at once
    bool volume = false;
    bool array = false; // a texture array: part 3 counts its slices
    int32_t surfaceCount = 0;
    int32_t faceOrLayer = 0; // selection, from 0
    int32_t level = 0;       // selection, from 0
    uint32_t mipMapCount = 0;
    uint32_t rawSize = 0;
    int64_t fileDataSize = 0;
};

constexpr int kStatusParts = 6;
constexpr size_t kTextBufferSize = 260;

// Parts 0 to 5: type, format, size, side or layer (or empty), mipmap, memory. Each text fits
// the shared 260-byte text buffer; longer texts are cut.
std::array<std::string, kStatusParts> FormatStatusTexts(const StatusFacts& facts);

// The view part: the exposure of a float surface (" EV +2", shown when `exposureShown`)
// and the values of the texel under the cursor (empty when none).
std::string FormatViewText(bool exposureShown, int32_t exposure, const std::string& texel);

// What the record holds after a load: the surface on show, with the level and face or layer
// the loader selected. A file of unknown format holds no surface: it shows the header's size,
// no side or layer and no memory.
StatusFacts StatusFactsOf(const CDdsTexture& texture);

// The box shown when a picture's images cannot be allocated: the picture's size and the
// memory its two images need.
std::string OutOfMemoryText(uint32_t width, uint32_t height);
// The same for a picture of `bytes` bytes (a cube's cross).
std::string OutOfMemoryText(uint32_t width, uint32_t height, uint64_t bytes);
