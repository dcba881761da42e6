// Decodes raw BC4/BC5/BC6H/BC7 blocks with Brixa's block runs, for tests/bcn/pillow-peer:
//   bcn-peer FORMAT WIDTH HEIGHT BLOCKS OUT
// FORMAT is bc4u, bc4s, bc5u, bc5s, bc6hu, bc6hs or bc7; WIDTH and HEIGHT are multiples of 4;
// OUT receives WIDTH x HEIGHT work-image pixels (blue, green, red, alpha bytes), top row first.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decode/BcnDecode.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: bcn-peer FORMAT WIDTH HEIGHT BLOCKS OUT\n");
        return 1;
    }
    const std::string format = argv[1];
    const uint32_t width = uint32_t(std::atoi(argv[2])), height = uint32_t(std::atoi(argv[3]));
    std::ifstream in(argv[4], std::ios::binary);
    const std::vector<uint8_t> blocks((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    const uint32_t blockBytes = format.rfind("bc4", 0) == 0 ? 8 : 16;
    const uint32_t across = width / 4, rows = height / 4;
    if (!width || !height || width % 4 || height % 4 ||
        blocks.size() != size_t(across) * rows * blockBytes) {
        std::fprintf(stderr, "bcn-peer: %zu bytes do not make a %ux%u surface\n", blocks.size(),
                     width, height);
        return 1;
    }
    std::vector<uint32_t> image(size_t(width) * height);
    for (uint32_t i = 0; i < rows; ++i) {
        uint32_t* dest = image.data() + size_t(4) * i * width;
        const uint8_t* src = blocks.data() + size_t(i) * across * blockBytes;
        if (format == "bc4u" || format == "bc4s")
            DecodeBC4Blocks(dest, src, across, width, format == "bc4s");
        else if (format == "bc5u" || format == "bc5s")
            DecodeBC5Blocks(dest, src, across, width, format == "bc5s");
        else if (format == "bc6hu" || format == "bc6hs")
            DecodeBC6HBlocks(dest, src, across, width, format == "bc6hs");
        else if (format == "bc7")
            DecodeBC7Blocks(dest, src, across, width);
        else {
            std::fprintf(stderr, "bcn-peer: unknown format %s\n", argv[1]);
            return 1;
        }
    }
    std::ofstream out(argv[5], std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size() * 4));
    return out ? 0 : 2;
}
