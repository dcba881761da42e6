// Makes the seed corpora of the fuzz targets.
//   fuzz_seeds load OUT FILE...     each DDS file as fuzz_load inputs, with several selections
//   fuzz_seeds blocks OUT FILE...   fuzz_blocks inputs: blocks, block runs, and the files' heads
// The DDS files themselves come from the repository's generator (make-fixtures seeds/hostile).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dds/DdsHeader.h"
#include "dds/DdsTexture.h"

namespace {

typedef std::vector<uint8_t> Bytes;

bool ReadFile(const std::string& path, Bytes& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    std::fclose(f);
    return true;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
    return ok;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Deterministic filler, so that seeds are the same on every run.
Bytes Pattern(size_t n, uint32_t seed) {
    Bytes out(n);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : out) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 16);
    }
    return out;
}

// ---- fuzz_load inputs: the file, then level, face, flags and the background colour ------------

struct Trailer {
    const char* suffix;
    uint8_t level, face, flags, red, green, blue;
};
// Level 1 of face 1 over a background, the last level (0x7F is the largest selection) as alpha
// alone, a normal-map reading cancelled after a few reports.
const Trailer kTrailers[] = {
    {"", 0, 0, 0, 0, 0, 0},
    {"-l1f1", 1, 1, COMPOSE_BLEND << 5, 255, 0, 255},
    {"-last", 0x7F, 2, COMPOSE_ALPHA << 5, 40, 80, 120},
    {"-nm-cancel", 0, 0, 1 | (3 << 1), 255, 255, 255},
};

bool LoadSeeds(const std::string& out, int count, char** files) {
    bool ok = true;
    for (int k = 0; k < count; ++k) {
        Bytes file;
        if (!ReadFile(files[k], file)) {
            std::fprintf(stderr, "fuzz_seeds: cannot read %s\n", files[k]);
            ok = false;
            continue;
        }
        for (const Trailer& t : kTrailers) {
            Bytes seed = file;
            const uint8_t trailer[] = {t.level, t.face, t.flags, t.red, t.green, t.blue};
            seed.insert(seed.end(), trailer, trailer + sizeof trailer);
            ok &= WriteFile(out + "/" + BaseName(files[k]) + t.suffix, seed);
        }
    }
    return ok;
}

// ---- fuzz_blocks inputs: a group byte, then the group's bytes
// ------------------------------------

bool BlockSeeds(const std::string& out, int count, char** files) {
    bool ok = true;
    // Blocks of the worked examples: four- and three-colour, eight- and six-value alpha.
    const Bytes examples[] = {
        {255, 0, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA, 0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0xE4,
         0xE4},
        {0, 255, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA, 0x1F, 0x00, 0x00, 0xF8, 0x1B, 0x6C, 0xB1,
         0xC6},
        {128, 128, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    };
    int n = 0;
    for (const Bytes& block : examples) {
        for (uint8_t group = 0; group < 2; ++group) {
            Bytes seed{group};
            seed.insert(seed.end(), block.begin(), block.end());
            if (group == 1) seed.insert(seed.end(), block.begin(), block.end());
            Bytes tail = Pattern(96, uint32_t(n));
            seed.insert(seed.end(), tail.begin(), tail.end());
            ok &= WriteFile(out + "/block-" + std::to_string(n++), seed);
        }
    }
    // The heads of real files, with sizes and selections after them.
    for (int k = 0; k < count; ++k) {
        Bytes file;
        if (!ReadFile(files[k], file)) continue;
        file.resize(std::max<size_t>(file.size(), sizeof(dds::DdsHead)));
        Bytes seed{2};
        seed.insert(seed.end(), file.begin(), file.begin() + sizeof(dds::DdsHead));
        Bytes tail = Pattern(32, uint32_t(k));
        seed.insert(seed.end(), tail.begin(), tail.end());
        ok &= WriteFile(out + "/head-" + BaseName(files[k]), seed);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "load") == 0)
        return LoadSeeds(argv[2], argc - 3, argv + 3) ? 0 : 2;
    if (argc >= 3 && std::strcmp(argv[1], "blocks") == 0)
        return BlockSeeds(argv[2], argc - 3, argv + 3) ? 0 : 2;
    std::fprintf(stderr, "usage: fuzz_seeds load|blocks OUT FILE...\n");
    return 1;
}
