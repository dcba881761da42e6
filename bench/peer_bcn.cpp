// Times Brixa's BC4 to BC7 block runs on one DDS file for bench/compare-peers: prints the best
// milliseconds of decoding the top surface into a work image (the file read beforehand).
//   peer_bcn FORMAT file.dds [repetitions]     FORMAT: bc4, bc5, bc6h or bc7 (unsigned)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decode/BcnDecode.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: peer_bcn bc4|bc5|bc6h|bc7 file.dds [repetitions]\n");
        return 2;
    }
    const std::string format = argv[1];
    const int reps = argc > 3 ? std::atoi(argv[3]) : 10;
    std::ifstream in(argv[2], std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (file.size() < 128) return 1;
    uint32_t height, width;
    std::memcpy(&height, &file[12], 4);
    std::memcpy(&width, &file[16], 4);
    const size_t offset = std::memcmp(&file[84], "DX10", 4) == 0 ? 148 : 128;
    const uint32_t blockBytes = format == "bc4" ? 8 : 16, across = width / 4, rows = height / 4;
    if (file.size() < offset + size_t(across) * rows * blockBytes) return 1;
    const uint8_t* blocks = file.data() + offset;
    std::vector<uint32_t> image(size_t(width) * height, 1);
    double best = 1e30;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        for (uint32_t i = 0; i < rows; ++i) {
            uint32_t* dest = image.data() + size_t(4) * i * width;
            const uint8_t* src = blocks + size_t(i) * across * blockBytes;
            if (format == "bc4")
                DecodeBC4Blocks(dest, src, across, width, false);
            else if (format == "bc5")
                DecodeBC5Blocks(dest, src, across, width, false);
            else if (format == "bc6h")
                DecodeBC6HBlocks(dest, src, across, width, false);
            else
                DecodeBC7Blocks(dest, src, across, width);
        }
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::printf("%u %u %.3f\n", width, height, best);
    return 0;
}
