// Writes the repository's generated DDS files: `make-fixtures samples DIR` makes the sample
// textures shipped in samples/.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "DdsBuilder.h"

using namespace testkit;

namespace {

uint32_t Pixel(double r, double g, double b, double a) {
    auto byte = [](double v) {
        return uint32_t(std::lround(std::fmin(1.0, std::fmax(0.0, v)) * 255));
    };
    return byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
}

// A hue sweep across, darker downwards, with a soft round window of alpha.
std::vector<uint32_t> Picture(uint32_t w, uint32_t h, double hueShift) {
    std::vector<uint32_t> px(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            double u = (x + 0.5) / w, v = (y + 0.5) / h;
            double hue = std::fmod(u + hueShift, 1.0) * 6.0;
            double r = std::fabs(hue - 3) - 1, g = 2 - std::fabs(hue - 2),
                   b = 2 - std::fabs(hue - 4);
            double shade = 1.0 - 0.6 * v;
            bool check = ((x * 8 / w) + (y * 8 / h)) % 2 == 0;
            double tint = check ? 1.0 : 0.85;
            double d = std::hypot(u - 0.5, v - 0.5);
            double a = std::fmin(1.0, std::fmax(0.0, (0.48 - d) * 12));
            px[size_t(y) * w + x] = Pixel(r * shade * tint, g * shade * tint, b * shade * tint, a);
        }
    }
    return px;
}

std::vector<uint8_t> Raw32(const std::vector<uint32_t>& px) {
    std::vector<uint8_t> out;
    for (uint32_t p : px) Put32(out, p);
    return out;
}

bool Write(const std::string& dir, const char* name, const std::vector<uint8_t>& bytes) {
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "make-fixtures: cannot write %s\n", path.c_str());
    return ok;
}

bool Samples(const std::string& dir) {
    bool ok = true;
    { // DXT5 with a full mip chain and alpha.
        const uint32_t size = 256;
        std::vector<uint8_t> payload;
        uint32_t w = size, h = size;
        for (const auto& level : MipChain(Picture(size, size, 0.0), size, size)) {
            auto blocks = EncodeBlocks(level, w, h, dds::FOURCC_DXT5);
            payload.insert(payload.end(), blocks.begin(), blocks.end());
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
        dds::DdsHead head = HeadFourCC(size, size, dds::FOURCC_DXT5, 9);
        head.dwFlags |= dds::DDSD_LINEARSIZE;
        head.dwPitchOrLinearSize = (size / 4) * (size / 4) * 16;
        ok &= Write(dir, "dxt5-mipmaps-alpha.dds", FileBytes(head, payload));
    }
    { // DXT1 cube map, six faces of different hues, each with its mip chain.
        const uint32_t size = 64;
        std::vector<uint8_t> payload;
        for (int face = 0; face < 6; ++face) {
            uint32_t w = size, h = size;
            for (const auto& level : MipChain(Picture(size, size, face / 6.0), size, size)) {
                auto blocks = EncodeBlocks(level, w, h, dds::FOURCC_DXT1);
                payload.insert(payload.end(), blocks.begin(), blocks.end());
                w = std::max(1u, w / 2);
                h = std::max(1u, h / 2);
            }
        }
        dds::DdsHead head = HeadFourCC(size, size, dds::FOURCC_DXT1, 7);
        head.dwCaps |= 0x8;
        head.dwCaps2 = dds::DDSCAPS2_CUBEMAP | dds::DDSCAPS2_CUBEMAP_ALLFACES;
        ok &= Write(dir, "dxt1-cubemap.dds", FileBytes(head, payload));
    }
    { // Uncompressed A8R8G8B8, one level.
        const uint32_t size = 128;
        dds::DdsHead head = HeadMasks(size, size, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
        ok &= Write(dir, "a8r8g8b8.dds", FileBytes(head, Raw32(Picture(size, size, 0.5))));
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "samples") == 0) return Samples(argv[2]) ? 0 : 2;
    std::fprintf(stderr, "usage: make-fixtures samples DIR\n");
    return 1;
}
