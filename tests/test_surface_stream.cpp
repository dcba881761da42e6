// The surface read while its rows decode: the same picture as a whole read, and a read that
// fails says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "DdsBuilder.h"
#include "dds/SurfaceStream.h"
#include "decode/RowBands.h"

using namespace dds;

namespace {

// A file in memory whose reads fail from byte `failAt` on.
class MemorySource final : public CByteSource {
  public:
    MemorySource(std::vector<uint8_t> bytes, uint64_t failAt) : m_Bytes(bytes), m_FailAt(failAt) {}
    bool Size(uint64_t& size, uint32_t&) override { return size = m_Bytes.size(), true; }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t& done,
                uint32_t& error) override {
        done = uint32_t(
            std::min<uint64_t>(count, m_Bytes.size() - std::min(offset, uint64_t(m_Bytes.size()))));
        if (offset + done > m_FailAt) return error = fileex::kErrorAccessDenied, false;
        std::copy_n(m_Bytes.begin() + ptrdiff_t(offset), done, static_cast<uint8_t*>(buffer));
        return true;
    }

  private:
    std::vector<uint8_t> m_Bytes;
    uint64_t m_FailAt;
};

enum Order { kWhole, kWholeFromEnd, kBandsRead };

struct StreamCase {
    const char* what;
    DdsHead head;
    Order order;
    bool threaded;
    uint32_t chunkRows = 8; // rows of a chunk, written bottom chunk first
    uint64_t failAt = UINT64_MAX;
};

// The picture bottom row first, as the raw export writes it: chunk by chunk from the bottom,
// each chunk in bands of four rows from its bottom.
bool Picture(CDdsTexture& t, const StreamCase& c, SurfaceStream* stream,
             std::vector<uint32_t>& out) {
    const uint32_t w = uint32_t(t.m_nWidth), h = uint32_t(t.m_nHeight);
    const CDdsTexture::PictureRowsFn rows = t.PictureRows(COMPOSE_BLEND, 1, 2, 3);
    out.assign(size_t(w) * h, 0);
    if (stream && c.order == kBandsRead && c.threaded) {
        // The bands on every core at once, each reading its own blocks.
        std::atomic<bool> ok{true};
        RunRows({BlockCount(h), 4 * w, 0}, 0, nullptr, [&](uint32_t a, uint32_t b) {
            const uint32_t first = 4 * a, last = std::min(h, 4 * b);
            if (!rows(first, last, out.data() + size_t(h - last) * w, true)) ok = false;
        });
        return ok;
    }
    for (uint32_t top = (h - 1) / c.chunkRows * c.chunkRows;; top -= c.chunkRows) {
        const uint32_t end = std::min(h, top + c.chunkRows);
        for (uint32_t last = end; last > top;) {
            const uint32_t first = std::max(top, (last - 1) / 4 * 4);
            if (stream && c.order != kBandsRead && !stream->WaitForRows(first, last)) return false;
            if (!rows(first, last, out.data() + size_t(h - last) * w, true)) return false;
            last = first;
        }
        if (top == 0) return true;
    }
}

class Streaming : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Streaming, SamePictureAsAWholeRead) {
    const StreamCase& c = GetParam();
    const bool dxt5 = c.head.ddspf.dwFourCC == FOURCC_DXT5;
    const size_t bytes = size_t(BlockCount(c.head.dwWidth)) * BlockCount(c.head.dwHeight) *
                         (dxt5 ? 16 : 8) * (c.head.ddspf.dwFourCC ? 1 : 4);
    const std::vector<uint8_t> file = testkit::FileBytes(c.head, testkit::Pattern(bytes, 7));
    MemorySource whole(file, UINT64_MAX), failing(file, c.failAt);
    CFileEx reader, laterReader;
    CDdsTexture expected(reader), streamed(laterReader);
    ASSERT_TRUE(expected.Load(whole, 0, 0, false));
    streamed.m_bReadLater = true;
    ASSERT_TRUE(streamed.Load(failing, 0, 0, false));
    std::vector<uint32_t> want, got;
    ASSERT_TRUE(Picture(expected, c, nullptr, want));

    bool drawn;
    bool failed;
    {
        SurfaceStream stream = c.order == kBandsRead
                                   ? SurfaceStream(streamed)
                                   : SurfaceStream(streamed, c.threaded, c.order == kWholeFromEnd);
        drawn = Picture(streamed, c, &stream, got);
        failed = stream.Failed();
    }
    EXPECT_FALSE(streamed.m_fnSurfaceBytes); // the bands read no more once it is gone
    if (c.failAt != UINT64_MAX) {
        EXPECT_TRUE(failed);
        EXPECT_FALSE(drawn);
        EXPECT_EQ(streamed.m_LastError.kind, LoadError::kReader);
        return;
    }
    EXPECT_FALSE(failed);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(got, want);
}

DdsHead Dxt(uint32_t w, uint32_t h, uint32_t fourCC = FOURCC_DXT1) {
    return testkit::HeadFourCC(w, h, fourCC);
}

INSTANTIATE_TEST_SUITE_P(
    SurfaceStream, Streaming,
    ::testing::Values(
        StreamCase{"bands_threaded", Dxt(256, 512), kBandsRead, true},
        StreamCase{"bands_here", Dxt(37, 23), kBandsRead, false},
        StreamCase{"bands_dxt5_one_chunk", Dxt(9, 6, FOURCC_DXT5), kBandsRead, false, 8},
        StreamCase{"bands_tall_chunks", Dxt(5, 61, FOURCC_DXT5), kBandsRead, false, 12},
        StreamCase{"whole_from_end", Dxt(37, 23), kWholeFromEnd, true},
        StreamCase{"whole_from_start", Dxt(37, 23), kWhole, true},
        StreamCase{"whole_masks", testkit::HeadMasks(7, 9, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
                   kWholeFromEnd, true},
        // The file fails in its last block row: read first when from the end.
        // 256 x 512: 512 bytes a block row; the threads' bands fail from row 200 on.
        StreamCase{"bands_fail", Dxt(256, 512), kBandsRead, true, 8, 128 + 50 * 512 + 3},
        StreamCase{"bands_here_fail", Dxt(37, 23), kBandsRead, false, 8, 128 + 5 * 80 + 3},
        StreamCase{"whole_fail", Dxt(37, 23), kWholeFromEnd, true, 8, 128 + 5 * 80 + 3}),
    [](const auto& info) { return std::string(info.param.what); });

struct BytesCase {
    const char* what;
    DdsHead head;
    uint32_t first, end, from, to;
};

class RowBytes : public ::testing::TestWithParam<BytesCase> {};

TEST_P(RowBytes, BlockRowsOfTheRows) {
    const BytesCase& c = GetParam();
    MemorySource source(testkit::FileBytes(c.head, testkit::Pattern(4096)), UINT64_MAX);
    CFileEx reader;
    CDdsTexture t(reader);
    ASSERT_TRUE(t.Load(source, 0, 0, false));
    uint32_t from = 1, to = 1;
    t.RawBytesOfRows(c.first, c.end, from, to);
    EXPECT_EQ(from, c.from);
    EXPECT_EQ(to, c.to);
}

// 37 x 23 DXT1: 10 blocks (80 bytes) a block row, 6 block rows.
INSTANTIATE_TEST_SUITE_P(SurfaceStream, RowBytes,
                         ::testing::Values(BytesCase{"first_row", Dxt(37, 23), 0, 1, 0, 80},
                                           BytesCase{"inside_blocks", Dxt(37, 23), 5, 9, 80, 240},
                                           BytesCase{"last_rows", Dxt(37, 23), 20, 23, 400, 480},
                                           BytesCase{"none", Dxt(37, 23), 9, 9, 0, 0},
                                           BytesCase{"pixels_read_whole",
                                                     testkit::HeadMasks(7, 9, 32, 0xFF0000, 0xFF00,
                                                                        0xFF, 0xFF000000),
                                                     4, 5, 0, 7 * 9 * 4}),
                         [](const auto& info) { return std::string(info.param.what); });

} // namespace
