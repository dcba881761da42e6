#include "view/Layout.h"

#include <algorithm>
#include <cstring>

#include "dds/DdsTexture.h"

int32_t TileStart(int32_t index, int32_t length, float scale) {
    // Within the drawn lengths' limit, so that a position made from it stays within 32 bits.
    return int32_t(std::min(double(index) * length * scale, double(1 << 30)));
}

int32_t TiledToPicture(int32_t position, int32_t length) {
    if (position < 0 || length <= 0 || position / kTileRepeat >= length) return -1;
    return position % length;
}

int32_t LevelLength(int32_t top, int32_t level) {
    return level >= 31 ? 1 : std::max(top >> level, 1);
}

LevelStrip LayOutLevels(int32_t width, int32_t height, int32_t levels, int32_t columns,
                        int32_t rows) {
    LevelStrip strip;
    for (int32_t level = 0; level < levels; ++level) {
        const int64_t w = int64_t(LevelLength(width, level)) * columns;
        const int64_t h = int64_t(LevelLength(height, level)) * rows;
        // A strip that no picture can hold stops here (StripBytes refuses it): no box wraps.
        const bool fits = strip.width + w <= INT32_MAX && h <= INT32_MAX;
        if (fits) strip.boxes.push_back({int32_t(strip.width), 0, int32_t(w), int32_t(h)});
        strip.width += w;
        strip.height = std::max(strip.height, h);
        if (!fits) break;
    }
    return strip;
}

bool StripBytes(const LevelStrip& strip, uint64_t& bytes) {
    const uint64_t pixels = uint64_t(strip.width) * uint64_t(strip.height);
    bytes = pixels * 4;
    return pixels <= kMaxImagePixels; // and so a width within 32 bits
}

LevelPoint LevelAt(const LevelStrip& strip, int32_t x, int32_t y) {
    for (size_t level = 0; level < strip.boxes.size(); ++level) {
        const LevelBox& b = strip.boxes[level];
        if (x >= b.x && x - b.x < b.width && y >= b.y && y - b.y < b.height)
            return {int32_t(level), x - b.x, y - b.y};
    }
    return {-1, -1, -1};
}

void CopyIntoCanvas(uint32_t* canvas, int32_t canvasWidth, int32_t canvasHeight,
                    const uint32_t* picture, int32_t w, int32_t h, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || w <= 0 || x + int64_t(w) > canvasWidth || y + int64_t(h) > canvasHeight)
        return;
    // Bottom-up rows: the picture's bottom row lands on the canvas row y + h - 1 from the top.
    const size_t bottom = size_t(canvasHeight) - size_t(y) - size_t(h);
    for (int32_t row = 0; row < h; ++row)
        std::memcpy(canvas + (bottom + row) * size_t(canvasWidth) + x, picture + size_t(row) * w,
                    size_t(w) * 4);
}

std::string WithLevel(int32_t level, const std::string& values) {
    if (level < 0 || values.empty()) return values;
    return "MipMap " + std::to_string(level + 1) + ": " + values;
}
