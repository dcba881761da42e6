// Times libsquish's DecompressImage on the surface of one DXT1/DXT3/DXT5 file for
// bench/compare-peers: prints the best milliseconds of one decode.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <squish.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: peer_squish file.dds [repetitions]\n");
        return 2;
    }
    const int reps = argc > 2 ? std::atoi(argv[2]) : 10;
    std::FILE* f = std::fopen(argv[1], "rb");
    if (!f) return 1;
    std::vector<uint8_t> bytes;
    uint8_t chunk[1 << 16];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    if (bytes.size() < 128) return 1;
    uint32_t head[32];
    std::memcpy(head, bytes.data(), 128);
    const int height = int(head[3]), width = int(head[4]);
    const uint32_t fourCC = head[21];
    const int flags = fourCC == 0x31545844   ? squish::kDxt1
                      : fourCC == 0x33545844 ? squish::kDxt3
                      : fourCC == 0x35545844 ? squish::kDxt5
                                             : 0;
    if (!flags) return 1;
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    double best = 1e30;
    for (int i = 0; i < reps; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        squish::DecompressImage(rgba.data(), width, height, bytes.data() + 128, flags);
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::printf("%d %d %.3f\n", width, height, best);
    return 0;
}
