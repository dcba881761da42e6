// The shrinking filter of painting: a picture averaged down to the size it is drawn at, on
// every core.
#pragma once

#include <cstdint>

#include "view/Checkerboard.h"

// A picture (bottom-up) shrunk to `drawnWidth` x `drawnHeight` by averaging, as painting shows
// it when the filter is on: each drawn pixel is the rounded mean of the picture pixels of its
// box, the boxes partitioning the picture (box i of an axis covers picture pixels i x size /
// drawn up to (i + 1) x size / drawn). `out` receives `part` of the drawn picture (in its
// coordinates), top row first. False, with nothing written, where the drawn size exceeds the
// picture's, or a box holds more than 65536 pixels or 257 rows.
bool ShrinkPicture(uint32_t* out, const CheckerArea& part, const uint32_t* pixels, int32_t width,
                   int32_t height, int32_t drawnWidth, int32_t drawnHeight);
