#include "view/Checkerboard.h"

#include <algorithm>
#include <cmath>
#include <vector>

uint32_t CheckerGrey(int32_t x, int32_t y) {
    return ((x >> 3) + (y >> 3)) & 1 ? kCheckerDark : kCheckerLight;
}

void DrawOverCheckerboard(uint32_t* out, const CheckerArea& area, const CheckerPicture& pic) {
    // Each column's picture pixel, -1 off the picture; worked out once for all rows.
    const auto pictureIndex = [&pic](int32_t screen, int32_t origin, int32_t size) {
        const double p = std::floor((screen - origin) / pic.scale);
        return p >= 0 && p < size ? int32_t(p) : -1;
    };
    std::vector<int32_t> columns(size_t(std::max(area.width, 0)));
    for (int32_t i = 0; i < area.width; ++i)
        columns[i] = pictureIndex(area.left + i, pic.left, pic.width);
    for (int32_t j = 0; j < area.height; ++j) {
        const int32_t y = area.top + j, row = pictureIndex(y, pic.top, pic.height);
        const uint32_t* src =
            row < 0 ? nullptr : pic.pixels + size_t(pic.height - 1 - row) * pic.width;
        uint32_t* dest = out + size_t(j) * area.width;
        for (int32_t i = 0; i < area.width; ++i) {
            const uint32_t grey = CheckerGrey(area.left + i, y);
            // Off the picture the board shows whole (alpha 0 over black).
            const uint32_t p = src && columns[i] >= 0 ? src[columns[i]] : 0;
            const uint32_t under = (grey * (255 - (p >> 24)) + 127) / 255;
            uint32_t result = 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8)
                result |= std::min<uint32_t>(255, ((p >> shift) & 255) + under) << shift;
            dest[i] = result;
        }
    }
}
