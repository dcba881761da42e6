#include "view/Zoom.h"

#include <algorithm>
#include <cmath>

const float kZoomTable[kZoomSteps] = {0.01f, 0.05f, 0.1f,  0.15f, 0.2f,  0.3f, 0.5f,
                                      0.7f,  1.0f,  1.5f,  2.0f,  3.0f,  5.0f, 7.0f,
                                      10.0f, 20.0f, 30.0f, 50.0f, 100.0f};

float ZoomIn(float zoom) {
    for (float step : kZoomTable)
        if (step > zoom) return step;
    return zoom;
}

float ZoomOut(float zoom) {
    for (int i = kZoomSteps - 1; i >= 0; --i)
        if (kZoomTable[i] < zoom) return kZoomTable[i];
    return zoom;
}

float WheelStep(uint32_t mode) {
    static const float kSteps[] = {0.0f, 0.05f, 0.1f, 0.25f, 0.5f};
    return mode < sizeof kSteps / sizeof kSteps[0] ? kSteps[mode] : 0.0f;
}

float WheelZoom(float zoom, uint32_t mode, bool awayFromUser) {
    const float step = WheelStep(mode);
    if (step == 0.0f) return zoom;
    if (awayFromUser) {
        const float z = zoom * (1.0f - step);
        return z < kMinZoom ? kMinZoom : z;
    }
    const float z = zoom * (1.0f + step);
    return z > kMaxZoom ? kMaxZoom : z;
}

float FitFactor(int32_t areaWidth, int32_t areaHeight, int32_t imageWidth, int32_t imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return 1.0f;
    const double fx = double(areaWidth) / imageWidth;
    const float fy = float(double(areaHeight) / imageHeight);
    const double f = fx < fy ? fx : fy;
    return f < 1.0 ? float(f) : 1.0f;
}

double DrawnLength(int64_t pixels, float scale) {
    if (pixels <= 0) return 0.0;
    const double length = double(pixels) * scale;
    return length < 1.0 ? 1.0 : length > kMaxDrawnLength ? kMaxDrawnLength : length;
}

AxisPlacement PlaceAxis(int32_t area, double scaled, int32_t pan) {
    const double centred = (area - scaled) * 0.5;
    const int32_t start = int32_t(centred);
    if (start >= 0) return {start, 0, false};
    int32_t pos = start + pan;
    if (pos > 0) {
        pan = -start; // the near edge would come inside
        pos = 0;
    } else if (int32_t(pos + scaled) < area) {
        pos = int32_t(area - scaled); // the far edge would come inside
        pan = int32_t(pos - centred - 1);
    }
    return {pos, pan, true};
}

int32_t PixelAt(int32_t offset, float scale) {
    if (!(scale > 0.0f)) return -1;
    return int32_t(std::floor(offset / double(scale)));
}

int32_t ZoomPercent(float fitFactor, float zoomFactor) {
    return int32_t(fitFactor * zoomFactor * 100.0 + 0.5);
}

int32_t StretchModeFor(float scale, bool filterShrink, bool filterEnlarge) {
    const bool filter = scale < 1.0f ? filterShrink : filterEnlarge;
    return filter ? kStretchHalftone : kStretchColorOnColor;
}
