// Replays every input the fuzzers ever crashed on (fuzz/regressions/<target>/) through the same
// steps as its fuzz target: a fixed bug must stay fixed, natively and under Wine alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include "../fuzz/BlockChecks.h"
#include "../fuzz/LoadSteps.h"
#include "DdsBuilder.h"
#include "HostileCorpus.h"

namespace fs = std::filesystem;

namespace {

// The regressions folder of the source tree. Under Wine the Unix path names the same folder on
// drive Z:, which Wine maps to the Unix root.
fs::path RegressionsDir() {
    std::string dir = BRIXA_SOURCE_DIR "/fuzz/regressions";
#ifdef _WIN32
    if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
#endif
    return fs::path(dir);
}

struct Regression {
    std::string target; // the fuzz target that found it
    fs::path path;
};
void PrintTo(const Regression& r, std::ostream* os) {
    *os << r.path.string();
}

// Every saved input; the notes beside them (*.txt) say what failed and are not inputs.
std::vector<Regression> ListRegressions() {
    std::vector<Regression> out;
    std::error_code ec;
    for (const auto& dir : fs::directory_iterator(RegressionsDir(), ec)) {
        if (!dir.is_directory()) continue;
        for (const auto& file : fs::directory_iterator(dir.path(), ec)) {
            if (!file.is_regular_file() || file.path().extension() == ".txt") continue;
            out.push_back({dir.path().filename().string(), file.path()});
        }
    }
    std::sort(out.begin(), out.end(),
              [](const Regression& a, const Regression& b) { return a.path < b.path; });
    return out;
}

// A test name made of the characters GoogleTest allows.
std::string Identifier(std::string name) {
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string GoodFile() {
    static const std::string path =
        testkit::WriteTempFile("regression-good.dds", fuzzload::GoodFileBytes());
    return path;
}

// What fuzz_load does with one input; empty when all went well.
std::string ReplayLoad(const std::vector<uint8_t>& input) {
    size_t fileBytes = 0;
    const fuzzload::Selection sel = fuzzload::SplitInput(input.data(), input.size(), fileBytes);
    const std::string path = testkit::WriteTempFile(
        "regression-input.dds", std::vector<uint8_t>(input.begin(), input.begin() + fileBytes));
    return fuzzload::RunInput(path.c_str(), sel, GoodFile().c_str());
}

// What fuzz_blocks does with one input; empty when all went well.
std::string ReplayBlocks(const std::vector<uint8_t>& input) {
    try {
        blockchecks::CheckInput(input.data(), input.size());
    } catch (const blockchecks::CheckFailure& e) {
        return e.what();
    }
    return std::string();
}

// The most memory the process has held. The program sets no allocation limit, so this is what
// keeps a header from making it take gigabytes.
uint64_t PeakResidentBytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
#else
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return uint64_t(usage.ru_maxrss) * 1024;
#endif
}
// Far above what any hostile file needs (a few MiB), far below what a header claiming
// gigabytes would take.
constexpr uint64_t kMemoryCeiling = uint64_t(512) << 20;

// ---- the known-good file on its own --------------------------------------------------------

TEST(GoodFile, DecodesExactlyOnAFreshRecord) {
    CFileEx reader;
    CDdsTexture tex(reader);
    EXPECT_EQ(fuzzload::CheckGoodFile(tex, GoodFile().c_str()), "");
}

// The good file as the "hostile" input, under each selection a trailer can make.
struct SelectionCase {
    const char* name;
    std::vector<uint8_t> trailer;
};

class GoodFileAsInput : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(GoodFileAsInput, LeavesTheRecordWorking) {
    std::vector<uint8_t> input = fuzzload::GoodFileBytes();
    input.insert(input.end(), GetParam().trailer.begin(), GetParam().trailer.end());
    EXPECT_EQ(ReplayLoad(input), "");
}

INSTANTIATE_TEST_SUITE_P(
    Selections, GoodFileAsInput,
    ::testing::Values(SelectionCase{"Level0", {0, 0, 0, 0, 0, 0}},
                      SelectionCase{"Level1Face1Blended", {1, 1, 1 << 5, 255, 0, 255}},
                      SelectionCase{"LargestLevelAlpha", {0x7F, 0x7F, 2 << 5, 1, 2, 3}},
                      SelectionCase{"SmallestLevelBlended", {0x80, 0x80, 1 << 5, 1, 2, 3}},
                      SelectionCase{"NormalMapCancelled", {0, 0, 1 | (1 << 1), 9, 9, 9}},
                      SelectionCase{"NoTrailer", {}}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) { return info.param.name; });

TEST(GoodFile, SurvivesItsOwnTruncations) {
    const std::vector<uint8_t> good = fuzzload::GoodFileBytes();
    for (size_t cut :
         {size_t(0), size_t(4), size_t(100), size_t(128), size_t(150), good.size() - 1}) {
        std::vector<uint8_t> input(good.begin(), good.begin() + cut);
        input.insert(input.end(), {0, 0, 0, 0, 0, 0});
        EXPECT_EQ(ReplayLoad(input), "") << "cut at " << cut;
    }
}

// ---- the hand-made hostile corpus -----------------------------------------------------------

// Each file, under the default selection and under the extremes, loaded into a record that
// held the good file, which must then load into it again exactly right.
class HostileFile : public ::testing::TestWithParam<testkit::HostileCase> {};

TEST_P(HostileFile, LeavesTheRecordWorking) {
    const std::vector<std::vector<uint8_t>> trailers = {{0, 0, 0, 0, 0, 0},
                                                        {0x7F, 0x7F, 1 | 1 << 5, 1, 2, 3},
                                                        {0x80, 0x80, 2 << 5, 255, 255, 255},
                                                        {1, 1, 1 << 1, 0, 0, 0}};
    for (const auto& trailer : trailers) {
        std::vector<uint8_t> input = GetParam().bytes;
        input.insert(input.end(), trailer.begin(), trailer.end());
        EXPECT_EQ(ReplayLoad(input), "") << "selection " << ::testing::PrintToString(trailer);
    }
    EXPECT_LT(PeakResidentBytes(), kMemoryCeiling);
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileFile, ::testing::ValuesIn(testkit::HostileCases()),
                         [](const ::testing::TestParamInfo<testkit::HostileCase>& info) {
                             return Identifier(info.param.name);
                         });

// ---- the saved crashes -----------------------------------------------------------------------

class SavedCrash : public ::testing::TestWithParam<Regression> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SavedCrash);

TEST_P(SavedCrash, NoLongerFails) {
    const Regression& r = GetParam();
    const std::vector<uint8_t> input = ReadAll(r.path);
    if (r.target == "fuzz_load" || r.target == "fuzz_load_unlimited") {
        EXPECT_EQ(ReplayLoad(input), "") << r.path;
    } else if (r.target == "fuzz_blocks") {
        EXPECT_EQ(ReplayBlocks(input), "") << r.path;
    } else {
        ADD_FAILURE() << "no replay for the inputs of " << r.target << ": " << r.path;
    }
}

std::string TestName(const ::testing::TestParamInfo<Regression>& info) {
    return Identifier(info.param.target + "_" + info.param.path.filename().string());
}

const std::vector<Regression> kRegressions = ListRegressions();
INSTANTIATE_TEST_SUITE_P(Fuzz, SavedCrash, ::testing::ValuesIn(kRegressions), TestName);

} // namespace
