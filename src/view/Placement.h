// The main window's size and position for a picture, on the work area of its monitor.
#pragma once

#include <cstdint>

#include "view/StatusText.h"

constexpr int32_t kMinWindowWidth = 640;
constexpr int32_t kMinWindowHeight = 480;
constexpr int32_t kProgressBarWidth = 260;
constexpr int32_t kProgressBarHeight = 20;
constexpr int32_t kProgressBarLift = 50; // its top, above the client area's bottom

struct WindowRect {
    int32_t left, top, right, bottom;
};

struct PlacementInput {
    int32_t imageWidth, imageHeight; // 0 before any picture
    float scale;
    int32_t frameWidth;  // outer width minus client width
    int32_t frameHeight; // outer height minus client height (caption, menu, frame)
    int32_t statusHeight;
    int32_t left, top; // the window's current outer top-left corner
    WindowRect work;   // the nearest monitor's work area
    bool centerOnMonitor;
    bool clipToMonitor;
    // Wider while the status bar has its view part, so that the part is on show.
    int32_t minWidth = kMinWindowWidth;
};
constexpr int32_t kMinWidthWithViewPart = 860;
// Wider still while comparing: the view part names the picture on show and gives the figures.
constexpr int32_t kMinWidthComparing = 1120;

struct Placement {
    int32_t left, top, width, height;
};

// The size follows the scaled picture, never below 640 x 480; then the window is centred in
// the work area or keeps its corner, and is cut to the work area when asked to. A window
// that lies wholly off the work area (clipping would leave it no size) is first moved onto it.
Placement ComputePlacement(const PlacementInput& in);

// The right edges of the status bar's six parts (the last reaches the window's edge): 60,
// 230, 330, 420, 500 at 96 dots per inch, scaled with the display's resolution, and all moved
// right when the first part's text ("Type: DDS") needs more room in the font in use. With the
// view part (exposure and texel values) the sixth ends at 640 and the view part reaches the
// edge.
struct StatusEdges {
    int32_t right[kStatusParts + 1];
    int32_t count;
};
StatusEdges StatusPartEdges(int32_t dpi, int32_t firstTextWidth, bool viewPart = false);
// The edges made to fit the texts on show: a part narrower than its text (need: the text's
// width with its frame) grows, the parts after it move right; when that goes past the bar's
// width (the last part's text included), parts wider than their texts give up what they do
// not need, the earlier first. Texts show whole whenever the bar can hold them all.
StatusEdges FitStatusParts(const StatusEdges& edges, const int32_t* need, int32_t barWidth);

// The progress bar's top-left corner in a client area of this size.
struct BarPosition {
    int32_t x, y;
};
BarPosition ProgressBarPosition(int32_t clientWidth, int32_t clientHeight);
