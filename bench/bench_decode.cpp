// Decode and composition throughput (items = pixels), with and without the per-row progress
// report and message pump, and the whole load of a large DXT1 file from the page cache.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "DdsBuilder.h"
#include "dds/DdsTexture.h"
#include "decode/BcnDecode.h"
#include "decode/BlockDecode.h"
#include "decode/Compose.h"
#include "io/Progress.h"

namespace {

enum Kind { kDxt1, kDxt5, kArgb };

// Surface bytes like a real encoder's output: mostly four-colour blocks with smooth colours
// and a varied alpha, a few three-colour ones.
std::vector<uint8_t> SurfaceBytes(Kind kind, uint32_t side) {
    const size_t blocks = size_t(side / 4) * (side / 4);
    std::vector<uint8_t> noise = testkit::Pattern(kind == kArgb ? size_t(side) * side * 4
                                                                : blocks * (kind == kDxt1 ? 8 : 16),
                                                  uint32_t(kind) + 3);
    if (kind == kArgb) return noise;
    const size_t bytes = kind == kDxt1 ? 8 : 16;
    for (size_t b = 0; b < blocks; ++b) {
        uint8_t* colour = &noise[b * bytes + (kind == kDxt1 ? 0 : 8)];
        uint16_t c0 = uint16_t(colour[0] | colour[1] << 8),
                 c1 = uint16_t(colour[2] | colour[3] << 8);
        if (b % 16 != 0 && c0 <= c1) std::swap(c0, c1); // one block in 16 may be three-colour
        if (c0 == c1) c0 = uint16_t(c0 + 1);
        std::memcpy(colour, &c0, 2);
        std::memcpy(colour + 2, &c1, 2);
    }
    return noise;
}

struct Record {
    CFileEx reader;
    CDdsTexture tex{reader};
};

// One record per surface kind and size, reused by every benchmark: the buffers stay mapped.
Record& Prepared(Kind kind, uint32_t side) {
    static std::unique_ptr<Record> records[3][2];
    std::unique_ptr<Record>& slot = records[kind][side > 4096];
    if (slot && uint32_t(slot->tex.m_nWidth) == side) return *slot;
    slot.reset(new Record);
    CDdsTexture& t = slot->tex;
    t.m_Header.dwWidth = t.m_Header.dwHeight = side;
    t.m_Header.ddspf.dwRGBBitCount = kind == kArgb ? 32 : 0;
    t.m_Header.ddspf.dwABitMask = 0xFF000000;
    t.m_nFormat = kind == kDxt1 ? TF_DXT1 : kind == kDxt5 ? TF_DXT5 : TF_RGB;
    t.m_nWidth = t.m_nHeight = int32_t(side);
    t.m_bHasAlpha = true;
    const std::vector<uint8_t> bytes = SurfaceBytes(kind, side);
    t.AllocRaw(uint32_t(bytes.size()), uint32_t(bytes.size()));
    std::memcpy(t.m_pRawData, bytes.data(), bytes.size());
    t.DecodeSurface();
    // Touch the display image too: the timed runs measure the work, not first-touch page faults.
    t.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0);
    return *slot;
}

// "With progress": a host that counts the reports and pumps, as the viewer's would.
uint32_t g_reports = 0, g_pumps = 0;
int CountReport(uint32_t, uint32_t, uintptr_t) {
    ++g_reports;
    return 1;
}
void CountPump(void*) {
    ++g_pumps;
}
void InstallHost(Record& r, bool on) {
    r.reader.SetPumpHook(on ? CountPump : nullptr, nullptr);
}

void SetItems(benchmark::State& state, uint32_t side) {
    state.SetItemsProcessed(int64_t(state.iterations()) * side * side);
}

// ---- decode
// --------------------------------------------------------------------------------------

void BM_Decode(benchmark::State& state, Kind kind) {
    const uint32_t side = uint32_t(state.range(0));
    Record& r = Prepared(kind, side);
    CDdsTexture& t = r.tex;
    InstallHost(r, true);
    for (auto _ : state) {
        t.DecodeSurface(CountReport);
        benchmark::ClobberMemory();
    }
    InstallHost(r, false);
    SetItems(state, side);
}

// The same block loop without the per-row progress report and pump.
void BM_DecodeNoProgress(benchmark::State& state, Kind kind) {
    const uint32_t side = uint32_t(state.range(0));
    CDdsTexture& t = Prepared(kind, side).tex;
    const uint32_t across = side / 4, bytes = kind == kDxt1 ? 8 : 16;
    for (auto _ : state) {
        for (uint32_t i = 0; i < side / 4; ++i) {
            uint32_t* dest = t.m_pWorkImage + size_t(4) * i * side;
            const uint8_t* src = t.m_pRawData + size_t(i) * across * bytes;
            if (kind == kDxt1)
                DecodeDXT1Blocks(dest, src, across, side);
            else
                DecodeDXT5Blocks(dest, src, across, side, false);
        }
        benchmark::ClobberMemory();
    }
    SetItems(state, side);
}

// ---- BC4 to BC7 block runs
// ------------------------------------------------------------------------

enum BcnKind { kBC4, kBC5, kBC6H, kBC7 };

// Random blocks with every mode equally often (no reserved BC6H mode, no BC7 block without one).
std::vector<uint8_t> BcnBytes(BcnKind kind, uint32_t side) {
    const size_t blockBytes = kind == kBC4 ? 8 : 16, blocks = size_t(side / 4) * (side / 4);
    std::vector<uint8_t> bytes = testkit::Pattern(blocks * blockBytes, uint32_t(kind) + 11);
    static constexpr uint8_t kBC6HModes[14] = {0, 1, 2, 6, 10, 14, 18, 22, 26, 30, 3, 7, 11, 15};
    for (size_t b = 0; b < blocks; ++b) {
        uint8_t& low = bytes[b * blockBytes];
        if (kind == kBC7) {
            const unsigned mode = unsigned(b * 7919 % 8);
            low = uint8_t(((low >> (mode + 1)) << (mode + 1)) | (1u << mode));
        } else if (kind == kBC6H) {
            const uint8_t mode = kBC6HModes[b * 7919 % 14];
            const unsigned bits = mode < 2 ? 2 : 5;
            low = uint8_t(((low >> bits) << bits) | mode);
        }
    }
    return bytes;
}

void BM_DecodeBcn(benchmark::State& state, BcnKind kind, bool isSigned) {
    const uint32_t side = uint32_t(state.range(0)), across = side / 4;
    const size_t blockBytes = kind == kBC4 ? 8 : 16;
    const std::vector<uint8_t> bytes = BcnBytes(kind, side);
    std::vector<uint32_t> image(size_t(side) * side, 1); // touched before the timed runs
    for (auto _ : state) {
        for (uint32_t i = 0; i < side / 4; ++i) {
            uint32_t* dest = image.data() + size_t(4) * i * side;
            const uint8_t* src = bytes.data() + size_t(i) * across * blockBytes;
            switch (kind) {
            case kBC4: DecodeBC4Blocks(dest, src, across, side, isSigned); break;
            case kBC5: DecodeBC5Blocks(dest, src, across, side, isSigned); break;
            case kBC6H: DecodeBC6HBlocks(dest, src, across, side, isSigned); break;
            case kBC7: DecodeBC7Blocks(dest, src, across, side); break;
            }
        }
        benchmark::ClobberMemory();
    }
    SetItems(state, side);
}

// ---- compose ------------------------------------------------------------------------------------

void BM_Compose(benchmark::State& state, Kind kind, int32_t mode) {
    const uint32_t side = uint32_t(state.range(0));
    Record& r = Prepared(kind, side);
    CDdsTexture& t = r.tex;
    InstallHost(r, true);
    for (auto _ : state) {
        t.DecodeAndCompose(mode, 0x20, 0x40, 0x60, CountReport);
        benchmark::ClobberMemory();
    }
    InstallHost(r, false);
    SetItems(state, side);
}

// The same rows without the per-row progress report and pump.
void BM_ComposeNoProgress(benchmark::State& state, Kind kind, int32_t mode) {
    const uint32_t side = uint32_t(state.range(0));
    CDdsTexture& t = Prepared(kind, side).tex;
    for (auto _ : state) {
        for (uint32_t s = 0; s < side; ++s) {
            uint32_t* dest = t.m_pDisplayImage + size_t(side - 1 - s) * side;
            const uint32_t* src = t.m_pWorkImage + size_t(s) * side;
            if (mode == COMPOSE_COLOR)
                std::memcpy(dest, src, size_t(side) * 4);
            else if (mode == COMPOSE_BLEND)
                BlendWorkRow(dest, src, side, 0x20, 0x40, 0x60);
            else
                AlphaWorkRow(dest, src, side);
        }
        benchmark::ClobberMemory();
    }
    SetItems(state, side);
}

// The floor for the colour view: one memcpy of the whole image.
void BM_MemcpyImage(benchmark::State& state) {
    const uint32_t side = uint32_t(state.range(0));
    CDdsTexture& t = Prepared(kArgb, side).tex;
    for (auto _ : state) {
        std::memcpy(t.m_pDisplayImage, t.m_pWorkImage, size_t(side) * side * 4);
        benchmark::ClobberMemory();
    }
    SetItems(state, side);
}

// A 4096 x 4096 RGBA surface of halves or singles (values of 0..2) composed plain, with the
// auto range (its pass for the minimum and maximum included) and with the range and the sRGB
// curve.
void BM_ComposeFloat(benchmark::State& state, bool singles, bool autoRange, bool srgb) {
    static Record records[2];
    CDdsTexture& t = records[singles].tex;
    const uint32_t side = 4096;
    if (!t.m_pRawData) {
        t.m_Header.dwWidth = t.m_Header.dwHeight = side;
        t.m_Header.ddspf.dwRGBBitCount = singles ? 128 : 64;
        t.m_nFormat = singles ? TF_FLOAT32 : TF_FLOAT16;
        t.m_nWidth = t.m_nHeight = int32_t(side);
        t.m_bHasAlpha = true;
        std::vector<uint8_t> bytes = testkit::Pattern(size_t(side) * side * (singles ? 16 : 8), 7);
        if (singles)
            for (size_t i = 3; i < bytes.size(); i += 4) bytes[i] &= 0x3F; // finite, below 2
        else
            for (size_t i = 1; i < bytes.size(); i += 2) bytes[i] &= 0x3F;
        t.AllocRaw(uint32_t(bytes.size()), uint32_t(bytes.size()));
        std::memcpy(t.m_pRawData, bytes.data(), bytes.size());
        t.DecodeSurface();
    }
    t.m_bAutoRange = autoRange;
    t.m_bSrgbCurve = srgb;
    for (auto _ : state) {
        t.DecodeAndCompose(COMPOSE_BLEND, 0x20, 0x40, 0x60, CountReport);
        benchmark::ClobberMemory();
    }
    SetItems(state, side);
}

// The blend of premultiplied colour (DXT4) against the straight blend of the same blocks.
void BM_ComposePremultiplied(benchmark::State& state) {
    CDdsTexture& t = Prepared(kDxt5, 4096).tex;
    t.m_nFormat = TF_DXT4;
    for (auto _ : state) {
        t.DecodeAndCompose(COMPOSE_BLEND, 0x20, 0x40, 0x60, CountReport);
        benchmark::ClobberMemory();
    }
    t.m_nFormat = TF_DXT5;
    SetItems(state, 4096);
}

// ---- the whole load of a cached file ------------------------------------------------------------

void BM_LoadDecodeComposeDxt1(benchmark::State& state) {
    const uint32_t side = uint32_t(state.range(0));
    static std::string path;
    if (path.empty()) {
        path = testkit::WriteTempFile(
            "bench_dxt1.dds", testkit::FileBytes(testkit::HeadFourCC(side, side, dds::FOURCC_DXT1),
                                                 SurfaceBytes(kDxt1, side)));
    }
    Record r;
    auto pipeline = [&] {
        if (!r.tex.Load(path.c_str(), 0, 0, nullptr, false) || !r.tex.m_pRawData) return false;
        r.tex.DecodeSurface();
        r.tex.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0);
        benchmark::ClobberMemory();
        return true;
    };
    // The first load into a fresh record (the file already cached) allocates the buffers; it is
    // reported apart, as first_ms, and the timed loads reuse them, as a viewer's next file does.
    const auto t0 = std::chrono::steady_clock::now();
    if (!pipeline()) state.SkipWithError("Load failed");
    state.counters["first_ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    for (auto _ : state) {
        if (!pipeline()) {
            state.SkipWithError("Load failed");
            break;
        }
    }
    SetItems(state, side);
}

// A 128-byte file whose header claims a 4 GiB surface (1 x 16384 at 2097144 bits per pixel),
// loaded, decoded and composed again and again into one record: what the file cannot supply
// takes no memory and no time.
void BM_ReloadFourGibClaim(benchmark::State& state) {
    const std::string path = testkit::WriteTempFile(
        "bench_claim.dds",
        testkit::FileBytes(testkit::HeadMasks(1, 16384, 2097144, 0xFF0000, 0xFF00, 0xFF, 0)));
    Record r;
    for (auto _ : state) {
        if (!r.tex.Load(path.c_str(), 0, 0, nullptr, false)) {
            state.SkipWithError("Load failed");
            break;
        }
        r.tex.DecodeSurface();
        r.tex.DecodeAndCompose(COMPOSE_COLOR, 0, 0, 0);
        benchmark::ClobberMemory();
    }
}

constexpr int64_t kSizes[] = {2048, 8192};

void Register() {
    const struct {
        const char* name;
        Kind kind;
    } kinds[] = {{"DXT1", kDxt1}, {"DXT5", kDxt5}, {"A8R8G8B8", kArgb}};
    const struct {
        const char* name;
        int32_t mode;
    } views[] = {{"Color", COMPOSE_COLOR}, {"Blend", COMPOSE_BLEND}, {"Alpha", COMPOSE_ALPHA}};
    for (const auto& k : kinds) {
        for (int64_t side : kSizes) {
            benchmark::RegisterBenchmark((std::string("Decode/") + k.name).c_str(), BM_Decode,
                                         k.kind)
                ->Arg(side)
                ->Unit(benchmark::kMillisecond);
            if (k.kind != kArgb)
                benchmark::RegisterBenchmark((std::string("DecodeNoProgress/") + k.name).c_str(),
                                             BM_DecodeNoProgress, k.kind)
                    ->Arg(side)
                    ->Unit(benchmark::kMillisecond);
            for (const auto& v : views) {
                const std::string suffix = std::string(k.name) + "/" + v.name;
                benchmark::RegisterBenchmark(("Compose/" + suffix).c_str(), BM_Compose, k.kind,
                                             v.mode)
                    ->Arg(side)
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark(("ComposeNoProgress/" + suffix).c_str(),
                                             BM_ComposeNoProgress, k.kind, v.mode)
                    ->Arg(side)
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    for (int64_t side : kSizes)
        benchmark::RegisterBenchmark("MemcpyImage", BM_MemcpyImage)
            ->Arg(side)
            ->Unit(benchmark::kMillisecond);
    const struct {
        const char* name;
        BcnKind kind;
        bool isSigned;
    } bcn[] = {{"BC4", kBC4, false},      {"BC4_SNORM", kBC4, true},   {"BC5", kBC5, false},
               {"BC5_SNORM", kBC5, true}, {"BC6H_UF16", kBC6H, false}, {"BC6H_SF16", kBC6H, true},
               {"BC7", kBC7, false}};
    for (const auto& k : bcn)
        benchmark::RegisterBenchmark((std::string("DecodeNoProgress/") + k.name).c_str(),
                                     BM_DecodeBcn, k.kind, k.isSigned)
            ->Arg(4096)
            ->Unit(benchmark::kMillisecond);
    for (const Kind kind : {kDxt1, kDxt5})
        benchmark::RegisterBenchmark(kind == kDxt1 ? "DecodeNoProgress/DXT1"
                                                   : "DecodeNoProgress/DXT5",
                                     BM_DecodeNoProgress, kind)
            ->Arg(4096)
            ->Unit(benchmark::kMillisecond);
    for (const bool singles : {false, true})
        for (const auto& f : {std::make_pair("Plain", 0), {"AutoRange", 1}, {"AutoRangeSrgb", 3}})
            benchmark::RegisterBenchmark(
                (std::string(singles ? "ComposeFloat/Single/" : "ComposeFloat/Half/") + f.first)
                    .c_str(),
                BM_ComposeFloat, singles, f.second & 1, f.second & 2)
                ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Compose/DXT4/BlendPremultiplied", BM_ComposePremultiplied)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ReloadFourGibClaim", BM_ReloadFourGibClaim)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LoadDecodeCompose/DXT1", BM_LoadDecodeComposeDxt1)
        ->Arg(8192)
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
