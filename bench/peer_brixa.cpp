// Times Brixa on one DDS file for bench/compare-peers: prints the best milliseconds of
// decode alone, of load + decode, of load + decode + colour composition, and of decode +
// colour composition, on THREADS threads (default 1); then the median of load + decode +
// composition in MODE (0 colour, the default; 1 blended by alpha, as the viewer shows it).
//   peer_brixa FILE [REPETITIONS [THREADS [MODE]]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dds/DdsTexture.h"

namespace {

template <class Fn> std::vector<double> TimesMs(int reps, Fn fn) {
    std::vector<double> times;
    for (int i = 0; i < reps; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        fn();
        const auto t1 = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times;
}
template <class Fn> double BestMs(int reps, Fn fn) {
    return TimesMs(reps, fn).front();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: peer_brixa file.dds [repetitions]\n");
        return 2;
    }
    const char* path = argv[1];
    const int reps = argc > 2 ? std::atoi(argv[2]) : 10;
    CFileEx reader;
    CDdsTexture tex(reader);
    tex.m_nThreads = argc > 3 ? uint32_t(std::atoi(argv[3])) : 1;
    bool ok = true;
    auto load = [&] { ok = ok && tex.Load(path, 0, 0, nullptr, false) && tex.m_pRawData; };
    load();
    if (!ok) {
        std::fprintf(stderr, "peer_brixa: cannot load %s\n", path);
        return 1;
    }
    tex.DecodeSurface(); // the images are allocated once; every later run reuses them
    const double decode = BestMs(reps, [&] { tex.DecodeSurface(); });
    const double loadDecode = BestMs(reps, [&] {
        load();
        tex.DecodeSurface();
    });
    // Composed as decoded, as the viewer and brixa-cli do.
    const double whole = BestMs(reps, [&] {
        load();
        tex.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0);
    });
    const double decodeCompose =
        BestMs(reps, [&] { tex.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0); });
    const int32_t mode = argc > 4 ? std::atoi(argv[4]) : COMPOSE_COLOR;
    const std::vector<double> shown = TimesMs(reps, [&] {
        load();
        tex.DecodeAndCompose(mode, 255, 0, 255);
    });
    if (!ok) return 1;
    std::printf("%d %d %.3f %.3f %.3f %.3f %.3f\n", tex.m_nWidth, tex.m_nHeight, decode, loadDecode,
                whole, decodeCompose, shown[shown.size() / 2]);
    return 0;
}
