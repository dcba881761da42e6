// How the picture on show is laid out: the tile view's 3 x 3 repeat, and every mipmap level
// side by side. Plain arithmetic on sizes and positions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The tile view repeats the picture this many times on each axis.
constexpr int32_t kTileRepeat = 3;
// Where tile `index` starts on one axis, for a picture side of `length` pixels drawn at `scale`:
// from the same rounding as the whole, so that neighbours abut without a gap or an overlap.
int32_t TileStart(int32_t index, int32_t length, float scale);
// A position in the tiled picture (0 to 3 x length) as one in the picture; -1 outside.
int32_t TiledToPicture(int32_t position, int32_t length);

// The levels laid out left to right, level 0 first, their tops aligned. Each level's box is
// `columns` x `rows` times its size (a cube's cross: 4 x 3), the size halving from level 0's
// and never below 1.
struct LevelBox {
    int32_t x, y, width, height; // y from the top
};
struct LevelStrip {
    std::vector<LevelBox> boxes;
    int64_t width = 0, height = 0;
};
// At most this many levels are laid out (a 2^31 x 1 picture has 32).
constexpr int32_t kMaxStripLevels = 32;
int32_t LevelLength(int32_t top, int32_t level);
LevelStrip LayOutLevels(int32_t width, int32_t height, int32_t levels, int32_t columns = 1,
                        int32_t rows = 1);
// The strip's bytes; false when it would have more pixels than any picture may: it is not made
// then.
bool StripBytes(const LevelStrip& strip, uint64_t& bytes);

// The level a point of the strip falls in, and the point within that level's box; level -1
// outside every box (beside or below a smaller level).
struct LevelPoint {
    int32_t level, x, y;
};
LevelPoint LevelAt(const LevelStrip& strip, int32_t x, int32_t y);

// Copies a bottom-up w x h picture into a bottom-up canvas of canvasWidth x canvasHeight, its
// top-left corner at (x, y) counted from the canvas's top-left.
void CopyIntoCanvas(uint32_t* canvas, int32_t canvasWidth, int32_t canvasHeight,
                    const uint32_t* picture, int32_t w, int32_t h, int32_t x, int32_t y);

// The texel readout's text for a level of all levels on show: "MipMap 2: " (from 1) before the
// values; the values alone without a level (-1) or without values.
std::string WithLevel(int32_t level, const std::string& values);
