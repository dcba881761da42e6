// Scale, zoom steps, panning and the pixel under the cursor, as plain arithmetic.
#pragma once

#include <cstdint>

constexpr int kZoomSteps = 19;
extern const float kZoomTable[kZoomSteps];
constexpr float kMinZoom = 0.01f;
constexpr float kMaxZoom = 100.0f;

// Keypad + and -: the next table entry above or below; the same value at the table's end.
float ZoomIn(float zoom);
float ZoomOut(float zoom);

// The wheel's step for a mouse-wheel mode (1..4); 0 for the file-cycling mode and for any
// mode the program does not know.
float WheelStep(uint32_t mouseWheelMode);
// One wheel message: away from the user zooms out, toward the user zooms in, within the limits.
float WheelZoom(float zoom, uint32_t mouseWheelMode, bool awayFromUser);

// The automatic shrink factor for an image in an area: at most 1. 1 when there is no image or
// no area.
float FitFactor(int32_t areaWidth, int32_t areaHeight, int32_t imageWidth, int32_t imageHeight);

// The length a side of `pixels` image pixels is drawn at this scale: a side that has pixels
// at least 1 (a thin picture never vanishes), and at most kMaxDrawnLength, so that positions
// and sizes made from it stay within 32 bits whatever a header claims.
constexpr double kMaxDrawnLength = double(1 << 30);
double DrawnLength(int64_t pixels, float scale);

// Where the scaled image lies on one axis of the image area, and the pan offset corrected so
// that no edge of a larger image comes inside the area.
struct AxisPlacement {
    int32_t pos;
    int32_t pan;
    bool pannable; // the image is larger than the area on this axis
};
AxisPlacement PlaceAxis(int32_t area, double scaledSize, int32_t pan);

// The image pixel under a position given relative to the image's drawn top-left corner.
// Positions left of or above the picture give negative pixels.
int32_t PixelAt(int32_t offsetFromImage, float scale);

// The title's zoom in percent: the nearest whole percent, halves upward.
int32_t ZoomPercent(float fitFactor, float zoomFactor);

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

// A picture (bottom-up) shrunk to `drawnWidth` x `drawnHeight` by averaging, as painting shows
// it when the filter is on: each drawn pixel is the rounded mean of the picture pixels of its
// box, the boxes partitioning the picture (box i of an axis covers picture pixels i x size /
// drawn up to (i + 1) x size / drawn). `out` receives `part` of the drawn picture (in its
// coordinates), top row first. False, with nothing written, where the drawn size exceeds the
// picture's, or a box holds more than 65536 pixels or 257 rows.
bool ShrinkPicture(uint32_t* out, const CheckerArea& part, const uint32_t* pixels, int32_t width,
                   int32_t height, int32_t drawnWidth, int32_t drawnHeight);

// Stretch modes, with the values of the Windows constants.
enum : int32_t { kStretchColorOnColor = 3, kStretchHalftone = 4 };
int32_t StretchModeFor(float scale, bool filterShrink, bool filterEnlarge);
