// Loading the selected surface of a DDS file into the texture record.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "DdsBuilder.h"
#include "dds/DdsTexture.h"
#include "view/StatusText.h"

using namespace dds;
using testkit::FileBytes;
using testkit::HeadFourCC;
using testkit::HeadMasks;
using testkit::Pattern;

namespace {

constexpr int64_t kZero = -1; // the raw buffer must be all zero

struct LoadCase {
    const char* what;
    std::function<std::vector<uint8_t>()> file;
    int32_t level, layer;
    bool accepted;
    int64_t rawFrom = 0;  // file offset the raw bytes come from, or kZero
    uint32_t rawSize = 0; // bytes held
    int32_t width = 0, height = 0, surfaceCount = 0;
    bool hasAlpha = false, cube = false, volume = false;
    uint32_t surfaceSize = 0; // m_nRawSize, when it differs from the bytes held
};

std::vector<uint8_t> WithPayload(DdsHead head, size_t bytes) {
    return FileBytes(head, Pattern(bytes, bytes));
}

DdsHead Dxt1Mips(uint32_t w, uint32_t h, uint32_t mips, uint32_t linear) {
    DdsHead head = HeadFourCC(w, h, FOURCC_DXT1, mips);
    head.dwFlags |= DDSD_LINEARSIZE;
    head.dwPitchOrLinearSize = linear;
    return head;
}

DdsHead Cube(uint32_t faces, uint32_t size, uint32_t mips) {
    DdsHead head = HeadMasks(size, size, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, mips);
    head.dwCaps2 = DDSCAPS2_CUBEMAP | faces;
    return head;
}

DdsHead Volume(uint32_t size, uint32_t depth, uint32_t mips) {
    DdsHead head = HeadMasks(size, size, 32, 0xFF0000, 0xFF00, 0xFF, 0, mips);
    head.dwCaps2 = DDSCAPS2_VOLUME;
    head.dwDepth = depth;
    return head;
}

class Loading : public ::testing::TestWithParam<LoadCase> {};

TEST_P(Loading, SelectedSurface) {
    const LoadCase& c = GetParam();
    const std::vector<uint8_t> bytes = c.file();
    const std::string path = testkit::WriteTempFile("load.dds", bytes);
    CFileEx reader;
    CDdsTexture tex(reader);
    ASSERT_EQ(tex.Load(path.c_str(), c.level, c.layer, nullptr, false), c.accepted);
    EXPECT_EQ(tex.m_LastError.kind, c.accepted ? LoadError::kNone : LoadError::kRefused)
        << tex.m_LastError.text;
    EXPECT_FALSE(reader.IsOpen()) << "the reader is closed after every load";
    if (!c.accepted) return;
    ASSERT_NE(tex.m_pRawData, nullptr);
    ASSERT_EQ(tex.m_nRawHeld, c.rawSize);
    EXPECT_EQ(tex.m_nRawSize, c.surfaceSize ? c.surfaceSize : c.rawSize);
    if (c.rawFrom == kZero) {
        for (uint32_t i = 0; i < c.rawSize; ++i) ASSERT_EQ(tex.m_pRawData[i], 0) << i;
    } else {
        ASSERT_LE(size_t(c.rawFrom) + c.rawSize, bytes.size());
        EXPECT_EQ(std::memcmp(tex.m_pRawData, bytes.data() + c.rawFrom, c.rawSize), 0);
    }
    EXPECT_EQ(tex.m_nWidth, c.width);
    EXPECT_EQ(tex.m_nHeight, c.height);
    EXPECT_EQ(int32_t(tex.m_Header.dwWidth), c.width);
    EXPECT_EQ(int32_t(tex.m_Header.dwHeight), c.height);
    EXPECT_EQ(tex.m_nSurfaceCount, c.surfaceCount);
    EXPECT_EQ(tex.m_bHasAlpha, c.hasAlpha);
    EXPECT_EQ(tex.m_bCubeMap, c.cube);
    EXPECT_EQ(tex.m_bVolume, c.volume);
    EXPECT_EQ(tex.m_nFileDataSize, int64_t(bytes.size()) - 128);
}

// 256 x 256 DXT1 with 9 levels: 43704 bytes of surfaces.
const size_t kDxt1Chain = 43704;

INSTANTIATE_TEST_SUITE_P(
    Surfaces, Loading,
    ::testing::Values(
        LoadCase{"DXT1 level 0 ignores the file's linear size",
                 [] { return WithPayload(Dxt1Mips(256, 256, 9, 1000), kDxt1Chain); }, 0, 0, true,
                 128, 32768, 256, 256, 0, true, false, false},
        LoadCase{"10 x 10 DXT1 level 1 after 3 x 3 blocks",
                 [] { return WithPayload(Dxt1Mips(10, 10, 4, 16), 72 + 32 + 8 + 8); }, 1, 0, true,
                 128 + 72, 32, 5, 5, 0, true, false, false},
        LoadCase{"DXT1 level 1 reads the computed size",
                 [] { return WithPayload(Dxt1Mips(256, 256, 9, 1000), kDxt1Chain); }, 1, 0, true,
                 128 + 32768, 8192, 128, 128, 0, true, false, false},
        LoadCase{"DXT1 level 8", [] { return WithPayload(Dxt1Mips(256, 256, 9, 0), kDxt1Chain); },
                 8, 0, true, 128 + 43696, 8, 1, 1, 0, true, false, false},
        LoadCase{"level 20 is level 8",
                 [] { return WithPayload(Dxt1Mips(256, 256, 9, 0), kDxt1Chain); }, 20, 0, true,
                 128 + 43696, 8, 1, 1, 0, true, false, false},
        LoadCase{"linear size 0 at level 0 is computed",
                 [] { return WithPayload(Dxt1Mips(256, 256, 9, 0), kDxt1Chain); }, 0, 0, true, 128,
                 32768, 256, 256, 0, true, false, false},
        LoadCase{"linear size beyond the file is not believed",
                 [] { return WithPayload(Dxt1Mips(8, 8, 1, 0xFFFFFFF0u), 32); }, 0, 0, true, 128,
                 32, 8, 8, 0, true, false, false},
        LoadCase{"level 2 of 256 x 128",
                 [] { return WithPayload(Dxt1Mips(256, 128, 9, 0), 30000); }, 2, 0, true,
                 128 + 16384 + 4096, 1024, 64, 32, 0, true, false, false},
        LoadCase{"DXT1 without the linear-size flag",
                 [] { return WithPayload(HeadFourCC(8, 8, FOURCC_DXT1), 32); }, 0, 0, true, 128,
                 32, 8, 8, 0, true, false, false},
        LoadCase{"truncated inside the surface: nothing read",
                 [] { return WithPayload(HeadFourCC(16, 16, FOURCC_DXT5), 255); }, 0, 0, true,
                 kZero, 0, 16, 16, 0, true, false, false, 256},
        LoadCase{"uncompressed: rows of width x bits / 8",
                 [] { return WithPayload(HeadMasks(5, 3, 24, 0xFF0000, 0xFF00, 0xFF, 0), 45); },
                 0, 0, true, 128, 45, 5, 3, 0, false, false, false},
        LoadCase{"uncompressed with alpha",
                 [] {
                     return WithPayload(
                         HeadMasks(4, 2, 16, 0x0F00, 0x00F0, 0x000F, 0xF000), 16);
                 },
                 0, 0, true, 128, 16, 4, 2, 0, true, false, false},
        LoadCase{"uncompressed carrying the linear-size flag",
                 [] {
                     DdsHead head = HeadMasks(4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0);
                     head.dwFlags |= DDSD_LINEARSIZE;
                     head.dwPitchOrLinearSize = 40;
                     return WithPayload(head, 64);
                 },
                 0, 0, true, 128, 64, 4, 4, 0, false, false, false},
        LoadCase{"block format without DDPF_RGB has alpha",
                 [] {
                     DdsHead head = HeadFourCC(4, 4, FOURCC_DXT1);
                     head.ddspf.dwFlags = 0;
                     return WithPayload(head, 8);
                 },
                 0, 0, true, 128, 8, 4, 4, 0, true, false, false},
        LoadCase{"\"DX10\" beside an A8 mask flagged DDPF_ALPHA: the masks decide, with alpha",
                 [] {
                     DdsHead head = HeadMasks(4, 4, 8, 0, 0, 0, 0xFF);
                     head.ddspf.dwFlags = DDPF_ALPHA;
                     head.ddspf.dwFourCC = FOURCC_DX10;
                     return WithPayload(head, 16);
                 },
                 0, 0, true, 128, 16, 4, 4, 0, true, false, false},
        LoadCase{"128-byte file", [] { return FileBytes(HeadFourCC(4, 4, FOURCC_DXT1)); }, 0, 0,
                 true, kZero, 0, 4, 4, 0, true, false, false, 8},
        LoadCase{"cube face 2, level 1",
                 [] { return WithPayload(Cube(DDSCAPS2_CUBEMAP_ALLFACES, 64, 7), 6 * 21844); }, 1,
                 2, true, 128 + 60072, 4096, 32, 32, 6, true, true, false},
        LoadCase{"cube with three faces: face 1 is +Y",
                 [] {
                     return WithPayload(Cube(DDSCAPS2_CUBEMAP_POSITIVEX | DDSCAPS2_CUBEMAP_POSITIVEY |
                                                 DDSCAPS2_CUBEMAP_POSITIVEZ,
                                             64, 7),
                                        3 * 21844);
                 },
                 0, 1, true, 128 + 21844, 16384, 64, 64, 3, true, true, false},
        LoadCase{"face bits without the cube bit are ignored",
                 [] {
                     DdsHead head = HeadMasks(4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0);
                     head.dwCaps2 = DDSCAPS2_CUBEMAP_ALLFACES;
                     return WithPayload(head, 64 * 6);
                 },
                 0, 1, true, 128, 64, 4, 4, 0, false, false, false},
        LoadCase{"volume layer 3 of level 1",
                 [] { return WithPayload(Volume(16, 8, 5), 8192 + 1024 + 256 + 64 + 16); }, 1, 3,
                 true, 128 + 8960, 256, 8, 8, 8, false, false, true},
        LoadCase{"volume layer 9 is layer 7",
                 [] { return WithPayload(Volume(16, 8, 5), 8192); }, 0, 9, true, 128 + 7 * 1024,
                 1024, 16, 16, 8, false, false, true},
        LoadCase{"volume of depth 0", [] { return WithPayload(Volume(4, 0, 1), 64); }, 0, 3, true,
                 128, 64, 4, 4, 0, false, false, true},
        LoadCase{"cube and volume: laid out as a volume",
                 [] {
                     DdsHead head = Volume(4, 4, 1);
                     head.dwCaps2 |= DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
                     return WithPayload(head, 256);
                 },
                 0, 2, true, 128 + 128, 64, 4, 4, 4, false, true, true},
        // Refused by memory, before anything is allocated: a top level whose display or work
        // image has more than 2^28 pixels, or a surface whose size does not fit 32 bits. Any
        // other shape opens, and a surface the file cannot supply takes no memory.
        LoadCase{"2^28 pixels", [] { return FileBytes(HeadFourCC(16384, 16384, FOURCC_DXT1)); },
                 0, 0, true, kZero, 0, 16384, 16384, 0, true, false, false, 134217728},
        LoadCase{"2^28 + 16384 pixels",
                 [] { return FileBytes(HeadFourCC(16384, 16385, FOURCC_DXT1)); }, 0, 0, false},
        LoadCase{"work image of 2^28 pixels (a strip decodes four rows)",
                 [] { return FileBytes(HeadFourCC(0x4000000, 1, FOURCC_DXT1)); }, 0, 0, true,
                 kZero, 0, 0x4000000, 1, 0, true, false, false, 0x8000000},
        LoadCase{"work image of 2^28 + 4 pixels",
                 [] { return FileBytes(HeadFourCC(0x4000001, 1, FOURCC_DXT1)); }, 0, 0, false},
        LoadCase{"DXT1 65535 x 65535 with no data",
                 [] { return FileBytes(HeadFourCC(65535, 65535, FOURCC_DXT1)); }, 0, 0, false},
        LoadCase{"width 0x7FFFFFFF at 32 bits",
                 [] { return FileBytes(HeadMasks(0x7FFFFFFF, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0)); },
                 0, 0, false},
        LoadCase{"32768 x 4 DXT1", [] { return WithPayload(HeadFourCC(32768, 4, FOURCC_DXT1), 65536); },
                 0, 0, true, 128, 65536, 32768, 4, 0, true, false, false},
        LoadCase{"volume of depth 4096", [] { return WithPayload(Volume(4, 4096, 1), 4096 * 64); },
                 0, 4095, true, 128 + 4095 * 64, 64, 4, 4, 4096, false, false, true},
        LoadCase{"zero bytes per row (bit count 0)",
                 [] { return FileBytes(HeadMasks(16, 16, 0, 0xFF0000, 0xFF00, 0xFF, 0)); }, 0, 0,
                 false},
        LoadCase{"zero bytes per row (width 0)",
                 [] { return FileBytes(HeadMasks(0, 16, 32, 0xFF0000, 0xFF00, 0xFF, 0)); }, 0, 0,
                 false},
        LoadCase{"surface of 4 GiB",
                 [] {
                     return FileBytes(HeadMasks(16384, 16384, 128, 0xFF0000, 0xFF00, 0xFF, 0));
                 },
                 0, 0, false},
        LoadCase{"surface of 4 GiB - 16 KiB, in a 128-byte file",
                 [] {
                     return FileBytes(HeadMasks(1, 16384, 2097144, 0xFF0000, 0xFF00, 0xFF, 0));
                 },
                 0, 0, true, kZero, 0, 1, 16384, 0, false, false, false, 4294950912u}));

// ---- one record, file after file -------------------------------------------------------

// What a user sees of a file: the status texts and the picture in every view.
std::vector<std::string> Shown(CDdsTexture& tex, const std::vector<uint8_t>& bytes, int32_t level,
                               int32_t layer) {
    const std::string path = testkit::WriteTempFile("shown.dds", bytes);
    std::vector<std::string> shown = {
        tex.Load(path.c_str(), level, layer, nullptr, false) ? "accepted" : "refused"};
    tex.DecodeSurface();
    for (const std::string& text : FormatStatusTexts(StatusFactsOf(tex))) shown.push_back(text);
    for (int32_t mode : {COMPOSE_COLOR, COMPOSE_BLEND, COMPOSE_ALPHA}) {
        if (!tex.m_pDisplayImage) break;
        tex.DecodeAndCompose(mode, 0x12, 0x34, 0x56);
        const char* image = reinterpret_cast<const char*>(tex.m_pDisplayImage);
        shown.emplace_back(image, size_t(tex.m_nWidth) * size_t(tex.m_nHeight) * 4);
    }
    return shown;
}

struct ReuseCase {
    const char* what;
    std::function<std::vector<uint8_t>()> first, second;
    int32_t level, layer;
};
void PrintTo(const ReuseCase& c, std::ostream* os) {
    *os << c.what;
}

// The second file shows exactly as in a fresh record: where its data ends it shows zero bytes,
// never the first file's.
class RecordReuse : public ::testing::TestWithParam<ReuseCase> {};
TEST_P(RecordReuse, SecondFileShowsAsInAFreshRecord) {
    const ReuseCase& c = GetParam();
    CFileEx reader;
    CDdsTexture reused(reader), fresh(reader);
    Shown(reused, c.first(), c.level, c.layer);
    EXPECT_EQ(Shown(reused, c.second(), c.level, c.layer),
              Shown(fresh, c.second(), c.level, c.layer));
}

DdsHead Argb(uint32_t w, uint32_t h, uint32_t mips = 1) {
    return HeadMasks(w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, mips);
}
DdsHead R5G6B5(uint32_t w, uint32_t h) {
    return HeadMasks(w, h, 16, 0xF800, 0x07E0, 0x001F, 0);
}

INSTANTIATE_TEST_SUITE_P(
    FileAfterFile, RecordReuse,
    ::testing::Values(
        ReuseCase{"good then truncated DXT1",
                  [] { return WithPayload(HeadFourCC(8, 8, FOURCC_DXT1), 32); },
                  [] { return WithPayload(HeadFourCC(8, 8, FOURCC_DXT1), 20); }, 0, 0},
        ReuseCase{"good then a linear size of one block",
                  [] { return WithPayload(HeadFourCC(8, 8, FOURCC_DXT5), 64); },
                  [] { return WithPayload(Dxt1Mips(8, 8, 1, 8), 32); }, 0, 0},
        ReuseCase{"big then small", [] { return WithPayload(Argb(16, 16), 1024); },
                  [] { return WithPayload(Argb(4, 4), 64); }, 0, 0},
        ReuseCase{"big then 6 x 6 DXT1 (four blocks, the file holds one)",
                  [] { return WithPayload(Argb(16, 16), 1024); },
                  [] { return WithPayload(HeadFourCC(6, 6, FOURCC_DXT1), 8); }, 0, 0},
        ReuseCase{"32-bit then truncated 16-bit", [] { return WithPayload(Argb(4, 4), 64); },
                  [] { return WithPayload(R5G6B5(4, 4), 30); }, 0, 0},
        ReuseCase{"known then unknown", [] { return WithPayload(Argb(4, 4), 64); },
                  [] { return WithPayload(HeadFourCC(8, 8, MakeFourCC('A', 'T', 'I', '2')), 64); },
                  0, 0},
        ReuseCase{"cube then plain",
                  [] { return WithPayload(Cube(DDSCAPS2_CUBEMAP_ALLFACES, 4, 1), 6 * 64); },
                  [] { return WithPayload(R5G6B5(4, 4), 32); }, 0, 3},
        ReuseCase{"volume then plain, level 1", [] { return WithPayload(Volume(8, 4, 2), 1280); },
                  [] { return WithPayload(Argb(8, 8, 2), 320); }, 1, 1}));

class Record : public ::testing::Test {
  protected:
    bool LoadBytes(const std::vector<uint8_t>& bytes, int32_t level = 0, int32_t layer = 0,
                   const char* name = "record.dds", ProgressCallback progress = nullptr) {
        path = testkit::WriteTempFile(name, bytes);
        return tex.Load(path.c_str(), level, layer, nullptr, false, progress);
    }

    std::string path;
    CFileEx reader;
    CDdsTexture tex{reader};
};

TEST_F(Record, UnknownFormatHoldsNoSurface) {
    ASSERT_TRUE(LoadBytes(WithPayload(HeadFourCC(8, 8, FOURCC_DXT1), 32)));
    ASSERT_TRUE(LoadBytes(WithPayload(HeadFourCC(8, 8, MakeFourCC('Y', 'U', 'Y', '2')), 32)));
    EXPECT_EQ(tex.m_pRawData, nullptr);
    EXPECT_STREQ(tex.m_szFormatName, "Format Unknown");
    EXPECT_EQ(tex.m_nFormat, TF_UNKNOWN);
    EXPECT_EQ(tex.m_nSurfaceCount, 0);
}

// Files the reader cannot read through: the user sees the reader's message, and the record
// keeps the previous surface together with the header it was sized for.
TEST_F(Record, ReaderErrorsKeepThePreviousSurface) {
    const std::vector<uint8_t> good = WithPayload(HeadFourCC(8, 8, FOURCC_DXT1), 32);
    struct {
        const char* what;
        std::vector<uint8_t> bytes;
        bool exists;
    } cases[] = {
        {"empty file", {}, true},
        {"50 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 50), true},
        {"127 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 127), true},
        {"missing file", {}, false},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadBytes(good, 0, 0, "good.dds"));
        ASSERT_TRUE(tex.AllocImages());
        const DdsHead before = tex.m_Header;
        const uint8_t* raw = tex.m_pRawData;
        std::string name = c.exists ? testkit::WriteTempFile("short.dds", c.bytes)
                                    : testkit::TempDir() + "/no-such-file.dds";
        EXPECT_TRUE(tex.Load(name.c_str(), 0, 0, nullptr, false)) << c.what;
        EXPECT_EQ(tex.m_LastError.kind, LoadError::kReader) << c.what;
        EXPECT_FALSE(tex.m_LastError.text.empty()) << c.what;
        EXPECT_EQ(std::memcmp(&before, &tex.m_Header, sizeof before), 0) << c.what;
        EXPECT_EQ(tex.m_pRawData, raw) << c.what;
        EXPECT_NE(tex.m_pWorkImage, nullptr) << c.what;
        EXPECT_FALSE(reader.IsOpen()) << c.what;
    }
}

TEST_F(Record, RefusedMagicKeepsEverything) {
    ASSERT_TRUE(LoadBytes(WithPayload(HeadFourCC(8, 8, FOURCC_DXT1), 32), 0, 0, "good.dds"));
    const DdsHead before = tex.m_Header;
    const char* magics[] = {"DDS\0", "DDSX", "dds ", "XDDS"};
    for (const char* magic : magics) {
        std::vector<uint8_t> bad = WithPayload(HeadFourCC(16, 16, FOURCC_DXT5), 256);
        std::memcpy(bad.data(), magic, 4);
        EXPECT_FALSE(LoadBytes(bad)) << magic;
        EXPECT_EQ(std::memcmp(&before, &tex.m_Header, sizeof before), 0) << magic;
        EXPECT_NE(tex.m_pRawData, nullptr);
        EXPECT_EQ(tex.m_nRawSize, 32u);
    }
}

TEST_F(Record, CancelledReadLeavesTheRestZero) {
    // One and a half requests of 32-bit pixels, read whole first; then stopped after the first
    // request: the rest is zero, not what the first load left there.
    const uint32_t w = 1024, h = kSurfaceRequestBytes * 3 / 2 / (w * 4), size = w * h * 4;
    std::vector<uint8_t> bytes = WithPayload(HeadMasks(w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0), size);
    ASSERT_TRUE(LoadBytes(bytes));
    static std::vector<std::pair<uint32_t, uint32_t>> calls;
    calls.clear();
    ASSERT_TRUE(LoadBytes(bytes, 0, 0, "record.dds", [](uint32_t done, uint32_t total, uintptr_t) {
        calls.push_back({done, total});
        return 0;
    }));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::make_pair(kSurfaceRequestBytes, size));
    EXPECT_EQ(std::memcmp(tex.m_pRawData, bytes.data() + 128, kSurfaceRequestBytes), 0);
    for (uint32_t i = kSurfaceRequestBytes; i < size; ++i) ASSERT_EQ(tex.m_pRawData[i], 0) << i;
}

TEST_F(Record, RefusedHeaderThenGoodFile) {
    const std::vector<uint8_t> good =
        WithPayload(HeadMasks(4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0), 64);
    EXPECT_FALSE(LoadBytes(FileBytes(HeadFourCC(65535, 65535, FOURCC_DXT1))));
    EXPECT_EQ(tex.m_pRawData, nullptr) << "nothing left to decode against the refused header";
    ASSERT_TRUE(LoadBytes(good));
    EXPECT_EQ(std::memcmp(tex.m_pRawData, good.data() + 128, 64), 0);
    EXPECT_EQ(tex.m_nWidth, 4);
}

TEST_F(Record, AllocationLimitRefusesCleanly) {
    const auto file = WithPayload(HeadMasks(1024, 1024, 32, 0xFF0000, 0xFF00, 0xFF, 0), 1 << 22);
    SetAllocationLimit(1 << 20);
    EXPECT_FALSE(LoadBytes(file));
    EXPECT_EQ(tex.m_LastError.kind, LoadError::kRefused);
    EXPECT_EQ(tex.m_LastError.text, "Error loading file !");
    SetAllocationLimit(0);
    EXPECT_TRUE(LoadBytes(file));
}

// ---- DX10 files ---------------------------------------------------------------------------------

struct Dx10Case {
    const char* what;
    DdsHead head;
    DdsHeadDx10 ext;
    size_t payload;
    int32_t layer;
    bool accepted;
    const char* name = "";
    int64_t rawFrom = 0; // file offset of the surface, or kZero: no surface held
    uint32_t rawSize = 0;
    int32_t width = 0, height = 0;
    bool hasAlpha = false;
    const char* part3 = ""; // status bar part 3
};

DdsHead Plain(uint32_t w, uint32_t h, uint32_t mips = 1, uint32_t depth = 0) {
    DdsHead head = HeadFourCC(w, h, 0, mips);
    head.dwDepth = depth;
    return head;
}

using testkit::Dx10;
constexpr uint32_t kCube = DX10_MISC_TEXTURECUBE;

class Dx10Loading : public ::testing::TestWithParam<Dx10Case> {};

// Surfaces start 20 bytes after the head; each array slice (each face of each cube) is a chain.
TEST_P(Dx10Loading, SelectedSurface) {
    const Dx10Case& c = GetParam();
    const std::vector<uint8_t> bytes = testkit::Dx10FileBytes(c.head, c.ext, Pattern(c.payload, 7));
    const std::string path = testkit::WriteTempFile("dx10.dds", bytes);
    CFileEx reader;
    CDdsTexture tex(reader);
    ASSERT_EQ(tex.Load(path.c_str(), 1, c.layer, nullptr, false), c.accepted);
    if (!c.accepted) return;
    EXPECT_STREQ(tex.m_szFormatName, c.name);
    EXPECT_EQ(tex.m_nFileDataSize, int64_t(bytes.size()) - 148);
    EXPECT_EQ(FormatStatusTexts(StatusFactsOf(tex))[3], c.part3);
    if (c.rawFrom == kZero) {
        EXPECT_EQ(tex.m_pRawData, nullptr);
        return;
    }
    ASSERT_NE(tex.m_pRawData, nullptr);
    ASSERT_EQ(tex.m_nRawHeld, c.rawSize);
    EXPECT_EQ(std::memcmp(tex.m_pRawData, bytes.data() + c.rawFrom, c.rawSize), 0);
    EXPECT_EQ(tex.m_nWidth, c.width);
    EXPECT_EQ(tex.m_nHeight, c.height);
    EXPECT_EQ(tex.m_bHasAlpha, c.hasAlpha);
}

// Level 1 is asked for throughout (files of one level show level 0). BC1 8 x 8 with 2 levels: a
// chain of 32 + 8 bytes; BC7 4 x 4: 16 bytes.
INSTANTIATE_TEST_SUITE_P(
    Files, Dx10Loading,
    ::testing::Values(
        Dx10Case{"BC7 sRGB from byte 148", Plain(8, 8), Dx10(99), 64, 0, true, "BC7_UNORM_SRGB",
                 148, 64, 8, 8, true},
        Dx10Case{"BC4 has no alpha", Plain(8, 8), Dx10(80), 32, 0, true, "BC4_UNORM", 148, 32, 8, 8,
                 false},
        Dx10Case{"BC6H signed", Plain(4, 4), Dx10(96), 16, 0, true, "BC6H_SF16", 148, 16, 4, 4,
                 false},
        Dx10Case{"array slice 3 of 3, level 1", Plain(8, 8, 2), Dx10(71, 3), 120, 2, true,
                 "BC1_UNORM", 148 + 2 * 40 + 32, 8, 4, 4, true, " Array: 3/3"},
        Dx10Case{"array slice beyond the last shows the last", Plain(8, 8, 2), Dx10(71, 3), 120, 9,
                 true, "BC1_UNORM", 148 + 2 * 40 + 32, 8, 4, 4, true, " Array: 3/3"},
        Dx10Case{"cube array: face 8 is the second cube's -X", Plain(4, 4), Dx10(98, 2, kCube), 192,
                 7, true, "BC7_UNORM", 148 + 7 * 16, 16, 4, 4, true, " Side: 8/12"},
        Dx10Case{"volume keeps the volume rules", Plain(4, 4, 1, 4),
                 Dx10(87, 1, 0, DX10_DIMENSION_TEXTURE3D), 256, 2, true, "B8G8R8A8_UNORM",
                 148 + 2 * 64, 64, 4, 4, true, " Layer: 3/4"},
        Dx10Case{"1D: height 1", Plain(16, 5), Dx10(88, 1, 0, DX10_DIMENSION_TEXTURE1D), 64, 0,
                 true, "B8G8R8X8_UNORM", 148, 64, 16, 1, false},
        Dx10Case{"packed 16-bit by the mask rules", Plain(4, 2), Dx10(115), 16, 0, true,
                 "B4G4R4A4_UNORM", 148, 16, 4, 2, true},
        Dx10Case{"DXGI number beyond the table", Plain(4, 4), Dx10(130), 64, 0, true, "DXGI 130",
                 kZero},
        Dx10Case{"R8G8B8A8 converted", Plain(4, 4), Dx10(28), 64, 0, true, "R8G8B8A8_UNORM", 148,
                 64, 4, 4, true},
        Dx10Case{"array size 0 is 1", Plain(4, 4), Dx10(98, 0), 16, 0, true, "BC7_UNORM", 148, 16,
                 4, 4, true},
        Dx10Case{"cube of array size 0 is one cube", Plain(4, 4), Dx10(98, 0, kCube), 96, 5, true,
                 "BC7_UNORM", 148 + 5 * 16, 16, 4, 4, true, " Side: 6/6"},
        Dx10Case{"array of 2048 slices", Plain(4, 4), Dx10(71, 2048), 2048 * 8, 2047, true,
                 "BC1_UNORM", 148 + 2047 * 8, 8, 4, 4, true, " Array: 2048/2048"},
        Dx10Case{"array of 2049 slices", Plain(4, 4), Dx10(71, 2049), 2049 * 8, 0, false},
        Dx10Case{"array size 0xFFFFFFFF", Plain(4, 4), Dx10(98, 0xFFFFFFFFu), 16, 0, false},
        Dx10Case{"cube bit with 2^30 cubes", Plain(4, 4), Dx10(98, 1u << 30, kCube), 16, 0, false},
        Dx10Case{"unknown dimension", Plain(4, 4), Dx10(98, 1, 0, 7), 16, 0, false},
        Dx10Case{"zeroed extension (dimension 0)", Plain(4, 4), Dx10(98, 1, 0, 0), 0, 0, false}));

// Storage kept across loads: a smaller picture reuses it zero-filled; a much smaller one after
// a large one gives the surplus back.
struct KeepCase {
    size_t first, second;
    bool surplusFreed;
};
class Storage : public ::testing::TestWithParam<KeepCase> {};
TEST_P(Storage, SmallerReusesAndMuchSmallerFreesTheSurplus) {
    const KeepCase& c = GetParam();
    ImageBuffer buffer;
    auto* bytes = static_cast<uint8_t*>(buffer.Acquire(c.first));
    ASSERT_NE(bytes, nullptr);
    std::memset(bytes, 0xAB, c.second + 1);
    bytes = static_cast<uint8_t*>(buffer.Acquire(c.second));
    ASSERT_NE(bytes, nullptr);
    EXPECT_GE(buffer.Capacity(), c.second);
    EXPECT_EQ(buffer.Capacity() < c.first, c.surplusFreed || buffer.Capacity() == c.second);
    for (size_t at : {size_t(0), c.second / 2, c.second - 1}) EXPECT_EQ(bytes[at], 0) << at;
}
constexpr size_t kMiB = size_t(1) << 20;
INSTANTIATE_TEST_SUITE_P(Sizes, Storage,
                         ::testing::Values(KeepCase{100 * kMiB, 10 * kMiB + 5, true},
                                           KeepCase{100 * kMiB, 30 * kMiB, false},
                                           KeepCase{8 * kMiB, kMiB, false}));

} // namespace
