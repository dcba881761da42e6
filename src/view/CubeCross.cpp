#include "view/CubeCross.h"

#include <algorithm>
#include <cstring>

#include "dds/DdsTexture.h"

CrossCell CubeCrossCell(int32_t face) {
    static constexpr CrossCell kCells[kCubeFaces] = {{2, 1}, {0, 1}, {1, 0},
                                                     {1, 2}, {1, 1}, {3, 1}};
    return kCells[face];
}

bool CrossImageBytes(int32_t cellWidth, int32_t cellHeight, uint64_t& bytes) {
    const uint64_t pixels = uint64_t(std::max(cellWidth, 0)) * uint64_t(std::max(cellHeight, 0)) *
                            kCrossColumns * kCrossRows;
    bytes = pixels * 4;
    return pixels <= kMaxImagePixels;
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
