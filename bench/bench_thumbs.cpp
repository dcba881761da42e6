// Thumbnails of 4096 x 4096 textures at 256 pixels, as the shell's handler and the thumbnailer
// make them from a file in the page cache: BC7 and DXT1, with and without mipmaps. The counter
// read_bytes is what was read of the file per thumbnail.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "DdsBuilder.h"
#include "thumbs/Thumbnail.h"

namespace {

constexpr uint32_t kSide = 4096, kBc7 = 98;

// The file source, counting what it reads.
class CCountingSource : public CFileSource {
  public:
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t& done,
                uint32_t& error) override {
        const bool ok = CFileSource::ReadAt(offset, buffer, count, done, error);
        m_nRead += done;
        return ok;
    }
    uint64_t m_nRead = 0;
};

std::string TextureFile(bool bc7, bool mips) {
    const uint32_t levels = mips ? 13 : 1;
    size_t bytes = 0;
    for (uint32_t i = 0, side = kSide; i < levels; ++i, side = testkit::Halve(side))
        bytes += size_t((side + 3) / 4) * ((side + 3) / 4) * (bc7 ? 16 : 8);
    const std::vector<uint8_t> payload = testkit::Pattern(bytes, 7);
    const dds::DdsHead head = testkit::HeadFourCC(kSide, kSide, dds::FOURCC_DXT1, levels);
    return testkit::WriteTempFile(std::string(bc7 ? "bc7" : "dxt1") + (mips ? "-mips" : "") +
                                      ".dds",
                                  bc7 ? testkit::Dx10FileBytes(head, testkit::Dx10(kBc7), payload)
                                      : testkit::FileBytes(head, payload));
}

void Thumbnail256(benchmark::State& state, bool bc7, bool mips) {
    const std::string file = TextureFile(bc7, mips);
    uint64_t read = 0;
    for (auto _ : state) {
        CCountingSource source;
        uint32_t error = 0;
        Thumbnail picture;
        if (!source.Open(file.c_str(), error) || !MakeThumbnail(source, 256, picture)) {
            state.SkipWithError("no thumbnail");
            break;
        }
        benchmark::DoNotOptimize(picture.pixels.data());
        read = source.m_nRead;
    }
    state.counters["read_bytes"] = double(read);
}

BENCHMARK_CAPTURE(Thumbnail256, bc7_mips, true, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Thumbnail256, bc7, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Thumbnail256, dxt1_mips, false, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Thumbnail256, dxt1, false, false)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
