#include <algorithm>

#include "DdsBuilder.h"
#include "dds/DdsFormat.h"

namespace testkit {

namespace {

uint8_t Channel(uint32_t p, int shift) {
    return uint8_t(p >> shift);
}

uint16_t To565(uint32_t p) {
    return uint16_t((Channel(p, 16) >> 3) << 11 | (Channel(p, 8) >> 2) << 5 | Channel(p, 0) >> 3);
}

uint32_t From565(uint16_t c) {
    return uint32_t((c >> 11) << 3) << 16 | uint32_t(((c >> 5) & 63) << 2) << 8 |
           uint32_t((c & 31) << 3);
}

int Distance(uint32_t a, uint32_t b) {
    int d = 0;
    for (int s = 0; s < 24; s += 8) {
        int x = int(Channel(a, s)) - int(Channel(b, s));
        d += x * x;
    }
    return d;
}

// Four-colour mode always (colour 0 > colour 1), nearest entry per pixel.
void ColorBlock(const uint32_t px[16], std::vector<uint8_t>& out) {
    uint32_t lo = 0xFFFFFF, hi = 0;
    int loSum = 1 << 30, hiSum = -1;
    for (int i = 0; i < 16; ++i) {
        int sum = Channel(px[i], 16) + Channel(px[i], 8) + Channel(px[i], 0);
        if (sum < loSum) loSum = sum, lo = px[i];
        if (sum > hiSum) hiSum = sum, hi = px[i];
    }
    uint16_t c0 = To565(hi), c1 = To565(lo);
    if (c0 < c1) std::swap(c0, c1);
    if (c0 == c1) {
        if (c0 == 0xFFFF)
            --c1;
        else
            ++c0;
    }
    uint32_t p[4] = {From565(c0), From565(c1), 0, 0};
    for (int s = 0; s < 24; s += 8) {
        uint32_t a = Channel(p[0], s), b = Channel(p[1], s);
        p[2] |= ((2 * a + b) / 3) << s;
        p[3] |= ((a + 2 * b) / 3) << s;
    }
    Put16(out, c0);
    Put16(out, c1);
    for (int y = 0; y < 4; ++y) {
        uint8_t row = 0;
        for (int x = 0; x < 4; ++x) {
            int best = 0;
            for (int k = 1; k < 4; ++k)
                if (Distance(px[y * 4 + x], p[k]) < Distance(px[y * 4 + x], p[best])) best = k;
            row |= uint8_t(best << (2 * x));
        }
        out.push_back(row);
    }
}

void ExplicitAlphaBlock(const uint32_t px[16], std::vector<uint8_t>& out) {
    for (int y = 0; y < 4; ++y) {
        uint16_t row = 0;
        for (int x = 0; x < 4; ++x) row |= uint16_t((px[y * 4 + x] >> 28) << (4 * x));
        Put16(out, row);
    }
}

// Eight-value mode (alpha 0 > alpha 1), nearest entry per pixel.
void InterpolatedAlphaBlock(const uint32_t px[16], std::vector<uint8_t>& out) {
    uint8_t a0 = 0, a1 = 255;
    for (int i = 0; i < 16; ++i) {
        a0 = std::max(a0, uint8_t(px[i] >> 24));
        a1 = std::min(a1, uint8_t(px[i] >> 24));
    }
    if (a0 == a1) {
        if (a0 == 255)
            --a1;
        else
            ++a0;
    }
    int pal[8] = {a0, a1};
    for (int k = 2; k < 8; ++k) pal[k] = ((8 - k) * a0 + (k - 1) * a1) / 7;
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        int a = int(px[i] >> 24), best = 0;
        for (int k = 1; k < 8; ++k)
            if (std::abs(a - pal[k]) < std::abs(a - pal[best])) best = k;
        bits |= uint64_t(best) << (3 * i);
    }
    out.push_back(a0);
    out.push_back(a1);
    for (int i = 0; i < 6; ++i) out.push_back(uint8_t(bits >> (8 * i)));
}

} // namespace

std::vector<uint8_t> EncodeBlocks(const std::vector<uint32_t>& bgra, uint32_t width,
                                  uint32_t height, uint32_t fourCC) {
    std::vector<uint8_t> out;
    const uint32_t across = BlockCount(width), rows = BlockCount(height);
    for (uint32_t by = 0; by < rows; ++by) {
        for (uint32_t bx = 0; bx < across; ++bx) {
            uint32_t px[16];
            for (uint32_t i = 0; i < 16; ++i) {
                // Blocks of levels below 4 pixels repeat the pixels they have.
                uint32_t x = std::min(bx * 4 + i % 4, width - 1);
                uint32_t y = std::min(by * 4 + i / 4, height - 1);
                px[i] = bgra[size_t(y) * width + x];
            }
            if (fourCC == dds::FOURCC_DXT3 || fourCC == dds::FOURCC_DXT2)
                ExplicitAlphaBlock(px, out);
            else if (fourCC == dds::FOURCC_DXT5 || fourCC == dds::FOURCC_DXT4)
                InterpolatedAlphaBlock(px, out);
            ColorBlock(px, out);
        }
    }
    return out;
}

std::vector<std::vector<uint32_t>> MipChain(const std::vector<uint32_t>& bgra, uint32_t width,
                                            uint32_t height) {
    std::vector<std::vector<uint32_t>> chain{bgra};
    while (width > 1 || height > 1) {
        uint32_t w = Halve(width), h = Halve(height);
        const std::vector<uint32_t>& src = chain.back();
        std::vector<uint32_t> level(size_t(w) * h);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                uint32_t sum[4] = {};
                for (uint32_t k = 0; k < 4; ++k) {
                    uint32_t sx = std::min(2 * x + k % 2, width - 1);
                    uint32_t sy = std::min(2 * y + k / 2, height - 1);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += (src[size_t(sy) * width + sx] >> (8 * c)) & 255;
                }
                uint32_t p = 0;
                for (int c = 0; c < 4; ++c) p |= ((sum[c] + 2) / 4) << (8 * c);
                level[size_t(y) * w + x] = p;
            }
        }
        chain.push_back(std::move(level));
        width = w;
        height = h;
    }
    return chain;
}

} // namespace testkit
