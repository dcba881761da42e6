// Writes the repository's generated DDS files:
//   make-fixtures samples DIR      the sample textures shipped in samples/
//   make-fixtures seeds DIR        one small valid file of every format code and layout
//   make-fixtures hostile DIR      the hostile corpus of tests/hostile, one file per case
//   make-fixtures table TABLE DIR  the files described by the `fixture` lines of a test table
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>

#include "DdsBuilder.h"
#include "HostileCorpus.h"

using namespace testkit;
using namespace dds;

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

bool Write(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    // An empty vector's data() may be null, which fwrite must not be given.
    bool ok = f && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "make-fixtures: cannot write %s\n", path.c_str());
    return ok;
}

// The surfaces of every level of a picture, each made by `encode` from that level's pixels.
std::vector<uint8_t> Chain(uint32_t w, uint32_t h, double hue, uint32_t levels,
                           const std::function<std::vector<uint8_t>(const std::vector<uint32_t>&,
                                                                    uint32_t, uint32_t)>& encode) {
    std::vector<uint8_t> payload;
    uint32_t n = 0;
    for (const auto& level : MipChain(Picture(w, h, hue), w, h)) {
        if (n++ == levels) break;
        Append(payload, encode(level, w, h));
        w = Halve(w);
        h = Halve(h);
    }
    return payload;
}

std::function<std::vector<uint8_t>(const std::vector<uint32_t>&, uint32_t, uint32_t)>
BlockEncoder(uint32_t fourCC) {
    return [fourCC](const std::vector<uint32_t>& px, uint32_t w, uint32_t h) {
        return EncodeBlocks(px, w, h, fourCC);
    };
}

bool Samples(const std::string& dir) {
    bool ok = true;
    { // DXT5 with a full mip chain and alpha.
        const uint32_t size = 256;
        const dds::DdsHead head =
            LinearHead(size, size, dds::FOURCC_DXT5, 9, (size / 4) * (size / 4) * 16);
        ok &= Write(dir, "dxt5-mipmaps-alpha.dds",
                    FileBytes(head, Chain(size, size, 0.0, 9, BlockEncoder(dds::FOURCC_DXT5))));
    }
    { // DXT1 cube map, six faces of different hues, each with its mip chain.
        const uint32_t size = 64;
        std::vector<uint8_t> payload;
        for (int face = 0; face < 6; ++face)
            Append(payload, Chain(size, size, face / 6.0, 7, BlockEncoder(dds::FOURCC_DXT1)));
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

// ---- seeds: small valid files of every format code and layout ----------------------------------

// Packs an 8-bit-per-channel pixel (alpha << 24 | red << 16 | green << 8 | blue) into a mask
// layout of `bits` bits, each channel's top bits into its mask.
std::vector<uint8_t> PackMasks(const std::vector<uint32_t>& px, uint32_t bits,
                               const uint32_t masks[4]) {
    std::vector<uint8_t> out;
    for (uint32_t p : px) {
        uint64_t v = 0;
        for (int c = 0; c < 4; ++c) { // red, green, blue, alpha
            const uint32_t mask = masks[c];
            if (!mask) continue;
            int shift = 0, n = 0;
            while (!(mask >> shift & 1)) ++shift;
            while (shift + n < 32 && (mask >> (shift + n) & 1)) ++n;
            const uint32_t byte = (p >> (c == 3 ? 24 : 16 - 8 * c)) & 255;
            const uint64_t value = n <= 8 ? byte >> (8 - n) : uint64_t(byte) << (n - 8);
            v |= value << shift;
        }
        for (uint32_t b = 0; b < bits / 8; ++b) out.push_back(uint8_t(v >> (8 * b)));
    }
    return out;
}

// Half of a float in 0..1 (normal numbers and zero only; enough for pictures).
uint16_t ToHalf(float f) {
    if (f <= 0.0f) return 0;
    int e;
    const float m = std::frexp(f, &e); // f = m * 2^e, m in [0.5, 1)
    const int exponent = e - 1 + 15;
    if (exponent <= 0) return 0;
    const uint32_t mantissa = uint32_t(std::lround((m * 2 - 1) * 1024));
    return uint16_t(mantissa == 1024 ? (exponent + 1) << 10 : exponent << 10 | mantissa);
}

// A picture as floats, `channels` of red, green, blue, alpha, each as half or single.
std::vector<uint8_t> PackFloats(const std::vector<uint32_t>& px, int channels, bool half) {
    std::vector<uint8_t> out;
    for (uint32_t p : px) {
        const uint32_t bytes[4] = {(p >> 16) & 255, (p >> 8) & 255, p & 255, p >> 24};
        for (int c = 0; c < channels; ++c) {
            const float f = float(bytes[c]) / 255.0f;
            if (half)
                Put16(out, ToHalf(f));
            else
                PutFloat(out, f);
        }
    }
    return out;
}

bool Seeds(const std::string& dir) {
    bool ok = true;
    struct MaskSeed {
        const char* name;
        uint32_t bits, masks[4], pfFlags;
    };
    const MaskSeed maskSeeds[] = {
        {"r5g6b5", 16, {0xF800, 0x07E0, 0x001F, 0}, DDPF_RGB},
        {"x1r5g5b5", 16, {0x7C00, 0x03E0, 0x001F, 0}, DDPF_RGB},
        {"a1r5g5b5", 16, {0x7C00, 0x03E0, 0x001F, 0x8000}, DDPF_RGB | DDPF_ALPHAPIXELS},
        {"a4r4g4b4", 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, DDPF_RGB | DDPF_ALPHAPIXELS},
        {"x4r4g4b4", 16, {0x0F00, 0x00F0, 0x000F, 0}, DDPF_RGB},
        {"a8r3g3b2", 16, {0xE0, 0x1C, 0x03, 0xFF00}, DDPF_RGB | DDPF_ALPHAPIXELS},
        {"r8g8b8", 24, {0xFF0000, 0xFF00, 0xFF, 0}, DDPF_RGB},
        {"x8r8g8b8", 32, {0xFF0000, 0xFF00, 0xFF, 0}, DDPF_RGB},
        {"a8r8g8b8", 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, DDPF_RGB | DDPF_ALPHAPIXELS},
        {"a8b8g8r8", 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, DDPF_RGB | DDPF_ALPHAPIXELS},
        {"a8r8g8b8-premul",
         32,
         {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
         DDPF_RGB | DDPF_ALPHAPIXELS | DDPF_ALPHAPREMULT},
        {"a2r10g10b10", 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, DDPF_RGB | DDPF_ALPHAPIXELS},
        {"a8", 8, {0, 0, 0, 0xFF}, DDPF_ALPHAPIXELS},
        {"l8", 8, {0xFF, 0, 0, 0}, DDPF_RGB},
    };
    for (const MaskSeed& s : maskSeeds) {
        for (uint32_t size : {8u, 6u}) {
            DdsHead head =
                HeadMasks(size, size - 1, s.bits, s.masks[0], s.masks[1], s.masks[2], s.masks[3]);
            head.ddspf.dwFlags = s.pfFlags;
            auto payload = PackMasks(Picture(size, size - 1, 0.3), s.bits, s.masks);
            ok &= Write(dir, std::string(s.name) + "-" + std::to_string(size) + ".dds",
                        FileBytes(head, payload));
        }
    }
    { // Bump formats: signed du/dv bytes stored as they come.
        DdsHead uv = HeadMasks(8, 8, 16, 0xFF, 0xFF00, 0, 0);
        uv.ddspf.dwFlags = DDPF_BUMPDUDV;
        ok &= Write(dir, "bump-u8v8.dds", FileBytes(uv, Pattern(8 * 8 * 2, 7)));
        DdsHead uvw = HeadMasks(8, 8, 16, 0x1F, 0x3E0, 0xFC00, 0);
        uvw.ddspf.dwFlags = DDPF_BUMPDUDV;
        ok &= Write(dir, "bump-u5v5w6.dds", FileBytes(uvw, Pattern(8 * 8 * 2, 8)));
    }
    { // Float formats 111 to 116.
        struct FloatSeed {
            const char* name;
            uint32_t fourCC;
            int channels;
            bool half;
        };
        const FloatSeed floatSeeds[] = {
            {"r16f", FOURCC_R16F, 1, true},
            {"g16r16f", FOURCC_G16R16F, 2, true},
            {"a16b16g16r16f", FOURCC_A16B16G16R16F, 4, true},
            {"r32f", FOURCC_R32F, 1, false},
            {"g32r32f", FOURCC_G32R32F, 2, false},
            {"a32b32g32r32f", FOURCC_A32B32G32R32F, 4, false},
        };
        for (const FloatSeed& s : floatSeeds) {
            DdsHead head = HeadFourCC(8, 4, s.fourCC);
            ok &= Write(dir, std::string(s.name) + ".dds",
                        FileBytes(head, PackFloats(Picture(8, 4, 0.6), s.channels, s.half)));
        }
    }
    { // DX10 files: BC4 to BC7 of random blocks (the legacy BC4 and BC5 tags too), a texture
      // array of three 2-level chains and a cube array of two cubes.
        const std::pair<const char*, uint32_t> dxgiSeeds[] = {
            {"bc4", 80},  {"bc4s", 81},  {"bc5", 83}, {"bc5s", 84},
            {"bc6h", 95}, {"bc6hs", 96}, {"bc7", 98}, {"b8g8r8a8", 87},
        };
        for (const auto& s : dxgiSeeds) {
            const uint32_t bytes = s.second == 80 || s.second == 81 ? 32
                                   : s.second == 87                 ? 256
                                                                    : 64;
            ok &=
                Write(dir, std::string("dx10-") + s.first + ".dds",
                      Dx10FileBytes(HeadFourCC(8, 8, 0), Dx10(s.second), Pattern(bytes, s.second)));
        }
        for (uint32_t fourCC : {MakeFourCC('A', 'T', 'I', '1'), MakeFourCC('A', 'T', 'I', '2')})
            ok &= Write(dir, fourCC == MakeFourCC('A', 'T', 'I', '1') ? "ati1.dds" : "ati2.dds",
                        FileBytes(HeadFourCC(8, 8, fourCC), Pattern(64, fourCC)));
        ok &= Write(dir, "dx10-array3.dds",
                    Dx10FileBytes(HeadFourCC(8, 8, 0, 2), Dx10(71, 3), Pattern(120, 3)));
        ok &= Write(dir, "dx10-cubearray2.dds",
                    Dx10FileBytes(HeadFourCC(4, 4, 0), Dx10(98, 2, DX10_MISC_TEXTURECUBE),
                                  Pattern(192, 4)));
    }
    { // Block formats: a full chain, and single levels of awkward sizes.
        const std::pair<const char*, uint32_t> blockSeeds[] = {
            {"dxt1", FOURCC_DXT1}, {"dxt2", FOURCC_DXT2}, {"dxt3", FOURCC_DXT3},
            {"dxt4", FOURCC_DXT4}, {"dxt5", FOURCC_DXT5},
        };
        for (const auto& s : blockSeeds) {
            auto chain = Chain(16, 16, 0.1, 5, BlockEncoder(s.second));
            const uint32_t blockBytes = s.second == FOURCC_DXT1 ? 8 : 16;
            DdsHead head = LinearHead(16, 16, s.second, 5, 16 * blockBytes);
            ok &= Write(dir, std::string(s.first) + "-mips.dds", FileBytes(head, chain));
            for (auto wh : {std::make_pair(6u, 10u), std::make_pair(2u, 2u)}) {
                auto level =
                    EncodeBlocks(Picture(wh.first, wh.second, 0.8), wh.first, wh.second, s.second);
                DdsHead single = HeadFourCC(wh.first, wh.second, s.second);
                ok &= Write(dir,
                            std::string(s.first) + "-" + std::to_string(wh.first) + "x" +
                                std::to_string(wh.second) + ".dds",
                            FileBytes(single, level));
            }
        }
    }
    { // Cube maps: all six faces with mips (DXT1), and three faces of one level (A8R8G8B8).
        std::vector<uint8_t> payload;
        for (int face = 0; face < 6; ++face)
            Append(payload, Chain(16, 16, face / 6.0, 5, BlockEncoder(FOURCC_DXT1)));
        DdsHead head = LinearHead(16, 16, FOURCC_DXT1, 5, 128);
        head.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
        ok &= Write(dir, "cube-dxt1-6faces-mips.dds", FileBytes(head, payload));

        std::vector<uint8_t> three;
        for (int face = 0; face < 3; ++face) Append(three, Raw32(Picture(8, 8, face / 3.0)));
        DdsHead head3 = HeadMasks(8, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
        head3.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_POSITIVEX | DDSCAPS2_CUBEMAP_POSITIVEY |
                        DDSCAPS2_CUBEMAP_POSITIVEZ;
        ok &= Write(dir, "cube-a8r8g8b8-3faces.dds", FileBytes(head3, three));
    }
    { // A volume of 8 x 8 x 4 with 4 levels: each level's slices, then the next level.
        std::vector<uint8_t> payload;
        uint32_t w = 8, depth = 4;
        for (int level = 0; level < 4; ++level) {
            for (uint32_t slice = 0; slice < depth; ++slice)
                Append(payload, Raw32(Picture(w, w, slice / 4.0 + level / 16.0)));
            w = Halve(w);
            depth = Halve(depth);
        }
        DdsHead head = HeadMasks(8, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 4);
        head.dwCaps2 = DDSCAPS2_VOLUME;
        head.dwDepth = 4;
        ok &= Write(dir, "volume-a8r8g8b8-mips.dds", FileBytes(head, payload));
    }
    { // Uncompressed mip chain, and a file of unknown format.
        DdsHead head = HeadMasks(16, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 5);
        ok &= Write(dir, "a8r8g8b8-mips.dds",
                    FileBytes(head, Chain(16, 8, 0.4, 5,
                                          [](const std::vector<uint32_t>& px, uint32_t, uint32_t) {
                                              return Raw32(px);
                                          })));
        DdsHead unknown = HeadFourCC(8, 8, MakeFourCC('Y', 'U', 'Y', '2'));
        ok &= Write(dir, "unknown-ati2.dds", FileBytes(unknown, Pattern(64, 9)));
    }
    return ok;
}

// ---- hostile: one file per case of tests/hostile/expected.tsv ---------------------------------

bool Hostile(const std::string& dir) {
    bool ok = true;
    for (const HostileCase& c : HostileCases()) ok &= Write(dir, c.name + ".dds", c.bytes);
    return ok;
}

// ---- table: files described in a test table -------------------------------------------------
//
// A line "fixture<TAB>NAME<TAB>KEY=VALUE ..." describes NAME.dds:
//   size=WxH            required
//   fourcc=DXT1|111     a FourCC (four characters) or a format number
//   rgb=BITS/R/G/B[/A]  a mask format (BITS decimal, hex masks); DDPF_RGB, and DDPF_ALPHAPIXELS
//                       with an A mask
//   bump=BITS/U/V[/W]   a du/dv format (hex masks), DDPF_BUMPDUDV only
//   pfflags=HEX         the pixel format's dwFlags, replacing what the above set
//   mips=N  depth=N (a volume)  cube=HEX (the cube bit and these face bits of dwCaps2)
//   linear=N            DDSD_LINEARSIZE with this dwPitchOrLinearSize
//   data=PATTERN        the bytes after the head: comma-separated [N*]HEX, HEX repeated N times
//   magic=TEXT          four characters in place of "DDS "
//   truncate=N          the file cut to its first N bytes

bool ParseHex(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    char* end = nullptr;
    value = uint32_t(std::strtoul(text.c_str(), &end, 16));
    return *end == 0;
}

bool ParseData(const std::string& pattern, std::vector<uint8_t>& out) {
    std::stringstream items(pattern);
    std::string item;
    while (std::getline(items, item, ',')) {
        unsigned long count = 1;
        const size_t star = item.find('*');
        if (star != std::string::npos) {
            count = std::strtoul(item.substr(0, star).c_str(), nullptr, 10);
            item = item.substr(star + 1);
        }
        if (item.size() % 2) return false;
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < item.size(); i += 2) {
            uint32_t b;
            if (!ParseHex(item.substr(i, 2), b)) return false;
            bytes.push_back(uint8_t(b));
        }
        for (unsigned long n = 0; n < count; ++n) Append(out, bytes);
    }
    return true;
}

std::vector<uint32_t> SplitHex(const std::string& text, bool& ok) {
    std::vector<uint32_t> values;
    std::stringstream parts(text);
    std::string part;
    while (std::getline(parts, part, '/')) {
        uint32_t v = 0;
        if (values.empty()) // the bit count is decimal
            v = uint32_t(std::strtoul(part.c_str(), nullptr, 10));
        else
            ok &= ParseHex(part, v);
        values.push_back(v);
    }
    return values;
}

bool BuildFixture(const std::string& recipe, std::vector<uint8_t>& file, std::string& error) {
    uint32_t w = 0, h = 0, mips = 1;
    std::vector<std::pair<std::string, std::string>> keys;
    std::stringstream words(recipe);
    std::string word;
    while (words >> word) {
        const size_t eq = word.find('=');
        if (eq == std::string::npos) {
            error = "not KEY=VALUE: " + word;
            return false;
        }
        keys.emplace_back(word.substr(0, eq), word.substr(eq + 1));
        if (keys.back().first == "size" &&
            std::sscanf(keys.back().second.c_str(), "%ux%u", &w, &h) != 2) {
            error = "bad size";
            return false;
        }
        if (keys.back().first == "mips") mips = uint32_t(std::stoul(keys.back().second));
    }
    DdsHead head = HeadFourCC(w, h, 0, mips);
    std::vector<uint8_t> data;
    std::string magic;
    size_t truncate = std::string::npos;
    bool ok = true;
    for (const auto& [key, value] : keys) {
        if (key == "size" || key == "mips") {
        } else if (key == "fourcc") {
            const bool number = value.find_first_not_of("0123456789") == std::string::npos;
            if (number)
                head.ddspf.dwFourCC = uint32_t(std::stoul(value));
            else if (value.size() == 4)
                head.ddspf.dwFourCC = MakeFourCC(value[0], value[1], value[2], value[3]);
            else
                ok = false;
        } else if (key == "rgb" || key == "bump") {
            std::vector<uint32_t> v = SplitHex(value, ok);
            v.resize(5, 0);
            head = HeadMasks(w, h, v[0], v[1], v[2], v[3], key == "rgb" ? v[4] : 0, mips);
            if (key == "bump") head.ddspf.dwFlags = DDPF_BUMPDUDV;
        } else if (key == "pfflags") {
            ok &= ParseHex(value, head.ddspf.dwFlags);
        } else if (key == "depth") {
            head.dwCaps2 |= DDSCAPS2_VOLUME;
            head.dwDepth = uint32_t(std::stoul(value));
        } else if (key == "cube") {
            uint32_t faces = 0;
            ok &= ParseHex(value, faces);
            head.dwCaps2 |= DDSCAPS2_CUBEMAP | faces;
        } else if (key == "linear") {
            head.dwFlags |= DDSD_LINEARSIZE;
            head.dwPitchOrLinearSize = uint32_t(std::stoul(value));
        } else if (key == "data") {
            ok &= ParseData(value, data);
        } else if (key == "magic") {
            magic = value;
            ok &= magic.size() == 4;
        } else if (key == "truncate") {
            truncate = std::stoul(value);
        } else {
            error = "unknown key " + key;
            return false;
        }
        if (!ok) {
            error = "bad value for " + key;
            return false;
        }
    }
    file = FileBytes(head, data);
    if (!magic.empty()) std::memcpy(file.data(), magic.data(), 4);
    if (truncate < file.size()) file.resize(truncate);
    return true;
}

bool Table(const std::string& tablePath, const std::string& dir) {
    std::ifstream table(tablePath);
    if (!table) {
        std::fprintf(stderr, "make-fixtures: cannot read %s\n", tablePath.c_str());
        return false;
    }
    bool ok = true;
    std::string line;
    for (int number = 1; std::getline(table, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("fixture\t", 0) != 0) continue;
        std::stringstream fields(line.substr(8));
        std::string name, recipe, error;
        std::getline(fields, name, '\t');
        std::getline(fields, recipe);
        std::vector<uint8_t> bytes;
        if (name.empty() || !BuildFixture(recipe, bytes, error)) {
            std::fprintf(stderr, "make-fixtures: %s:%d: %s\n", tablePath.c_str(), number,
                         error.empty() ? "no name" : error.c_str());
            ok = false;
            continue;
        }
        ok &= Write(dir, name + ".dds", bytes);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 3 && mode == "samples") return Samples(argv[2]) ? 0 : 2;
    if (argc == 3 && mode == "seeds") return Seeds(argv[2]) ? 0 : 2;
    if (argc == 3 && mode == "hostile") return Hostile(argv[2]) ? 0 : 2;
    if (argc == 4 && mode == "table") return Table(argv[2], argv[3]) ? 0 : 2;
    std::fprintf(stderr, "usage: make-fixtures samples|seeds|hostile DIR\n"
                         "       make-fixtures table TABLE DIR\n");
    return 1;
}
