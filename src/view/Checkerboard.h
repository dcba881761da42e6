// The checkerboard painted behind a picture with alpha, and a picture composed over it.
#pragma once

#include <cstdint>

// The checkerboard behind a picture with alpha: squares of 8 x 8 screen pixels, light at the
// image area's corner.
constexpr uint32_t kCheckerLight = 204, kCheckerDark = 153;
uint32_t CheckerGrey(int32_t x, int32_t y);

// A picture over the checkerboard as painting shows it, without a filter: the area `out`
// covers, and the picture's pixels (bottom-up, blended over black: premultiplied by alpha,
// which they keep in their top byte) at their place and scale in the same coordinates.
struct CheckerArea {
    int32_t left, top, width, height;
};
struct CheckerPicture {
    const uint32_t* pixels;
    int32_t width, height;
    int32_t left, top;
    double scale;
};
// `out` receives area.width x area.height pixels, top row first; each takes the picture pixel
// it falls on over the board, or the board alone outside the picture.
void DrawOverCheckerboard(uint32_t* out, const CheckerArea& area, const CheckerPicture& picture);
