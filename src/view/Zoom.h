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

// Stretch modes, with the values of the Windows constants.
enum : int32_t { kStretchColorOnColor = 3, kStretchHalftone = 4 };
int32_t StretchModeFor(float scale, bool filterShrink, bool filterEnlarge);
