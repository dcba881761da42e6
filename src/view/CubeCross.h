// A full cube map shown unfolded as a cross: the layout of its cells, its size and its copy.
#pragma once

#include <cstdint>

// A full cube map shown unfolded: a 4 x 3 grid of face-sized cells, +Y above +Z, then -X, +Z,
// +X, -Z across the middle row and -Y below +Z. Faces in the file's order +X, -X, +Y, -Y, +Z, -Z.
constexpr int32_t kCrossColumns = 4, kCrossRows = 3, kCubeFaces = 6;
struct CrossCell {
    int32_t column, row; // row 0 at the top
};
CrossCell CubeCrossCell(int32_t face);
// The cross's bytes for faces of cellWidth x cellHeight; false when it would have more pixels
// than any picture may (kMaxImagePixels): it is not made then.
bool CrossImageBytes(int32_t cellWidth, int32_t cellHeight, uint64_t& bytes);
// Copies one face's bottom-up image (w x h) into its cell of the bottom-up cross (4w x 3h).
void CopyFaceIntoCross(uint32_t* cross, const uint32_t* face, int32_t w, int32_t h,
                       int32_t faceIndex);
