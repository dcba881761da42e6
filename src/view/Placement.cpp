#include "view/Placement.h"

#include <algorithm>
#include <cstring>

#include "view/Zoom.h"

namespace {
// An outer size from the scaled picture and the frame, at least the minimum.
int32_t OuterSize(int32_t frame, int32_t image, float scale, int32_t extra, int32_t minimum) {
    const double size = frame + DrawnLength(image, scale) + extra;
    return size > minimum ? int32_t(size) : minimum;
}

} // namespace

Placement ComputePlacement(const PlacementInput& in) {
    Placement p;
    p.width = OuterSize(in.frameWidth, in.imageWidth, in.scale, 0, in.minWidth);
    p.height =
        OuterSize(in.frameHeight, in.imageHeight, in.scale, in.statusHeight, kMinWindowHeight);
    const WindowRect& w = in.work;
    if (in.centerOnMonitor) {
        p.left = w.left + std::max(0, (w.right - w.left - p.width) / 2);
        p.top = w.top + std::max(0, (w.bottom - w.top - p.height) / 2);
        if (in.clipToMonitor) {
            p.width = std::min(p.width, w.right - w.left);
            p.height = std::min(p.height, w.bottom - w.top);
        }
        return p;
    }
    p.left = in.left;
    p.top = in.top;
    // Off the work area altogether (a stored position of a monitor no longer there, or a
    // corner where clipping would leave no size): moved just far enough to lie on it whole.
    const bool off = p.left >= w.right || p.top >= w.bottom || p.left + p.width <= w.left ||
                     p.top + p.height <= w.top;
    if (off) {
        p.left = std::max(w.left, std::min(p.left, w.right - p.width));
        p.top = std::max(w.top, std::min(p.top, w.bottom - p.height));
    }
    if (in.clipToMonitor) {
        p.width = std::min(p.width, w.right - p.left);
        p.height = std::min(p.height, w.bottom - p.top);
    }
    return p;
}

BarPosition ProgressBarPosition(int32_t clientWidth, int32_t clientHeight) {
    return {(clientWidth - kProgressBarWidth) / 2, clientHeight - kProgressBarLift};
}

StatusEdges StatusPartEdges(int32_t dpi, int32_t firstTextWidth, bool seventh) {
    static const int32_t kEdges[kStatusParts + 1] = {60, 230, 330, 420, 500, 640, -1};
    StatusEdges e;
    e.count = seventh ? kStatusParts + 1 : kStatusParts;
    for (int i = 0; i < e.count; ++i)
        e.right[i] = i == e.count - 1 ? -1 : int32_t(int64_t(kEdges[i]) * dpi / 96);
    const int32_t shift = firstTextWidth - e.right[0];
    if (shift > 0)
        for (int i = 0; i < e.count - 1; ++i) e.right[i] += shift;
    return e;
}

StatusEdges FitStatusParts(const StatusEdges& edges, const int32_t* need, int32_t barWidth) {
    int32_t width[kStatusParts + 1] = {}, total = 0;
    for (int i = 0; i < edges.count; ++i) {
        const int32_t described =
            i == edges.count - 1 ? 0 : edges.right[i] - (i ? edges.right[i - 1] : 0);
        width[i] = std::max(described, need[i]);
        total += width[i];
    }
    for (int i = 0; i < edges.count - 1 && total > barWidth; ++i) {
        const int32_t give = std::min(total - barWidth, width[i] - std::max(need[i], 0));
        if (give > 0) width[i] -= give, total -= give;
    }
    StatusEdges fitted = edges;
    for (int i = 0, right = 0; i < edges.count - 1; ++i) fitted.right[i] = right += width[i];
    return fitted;
}

CrossCell CubeCrossCell(int32_t face) {
    static constexpr CrossCell kCells[kCubeFaces] = {{2, 1}, {0, 1}, {1, 0},
                                                     {1, 2}, {1, 1}, {3, 1}};
    return kCells[face];
}

void CopyFaceIntoCross(uint32_t* cross, const uint32_t* face, int32_t w, int32_t h,
                       int32_t faceIndex) {
    const CrossCell cell = CubeCrossCell(faceIndex);
    const size_t crossWidth = size_t(w) * kCrossColumns;
    // Bottom-up rows: the top row of cells is the last band of the buffer.
    const size_t firstRow = size_t(kCrossRows - 1 - cell.row) * h;
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(cross + (firstRow + y) * crossWidth + size_t(cell.column) * w,
                    face + size_t(y) * w, size_t(w) * 4);
}
