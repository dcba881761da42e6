// The chunked reader. The same cases run natively (POSIX backend) and under Windows/Wine.
#include "io/FileEx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "DdsBuilder.h"
#include "io/PngWriter.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace {

constexpr uint32_t kChunk = 204800;
constexpr uint8_t kUntouched = 0xEE;
#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

typedef std::vector<std::pair<uint32_t, uint32_t>> Calls;

// Every data file is a prefix of one pattern, so any range of it can be checked.
const std::vector<uint8_t>& Content() {
    static const std::vector<uint8_t> bytes = testkit::Pattern(1000000, 7);
    return bytes;
}

std::string DataFile(size_t size) {
    static std::map<size_t, std::string> written;
    std::string& path = written[size];
    if (path.empty())
        path = testkit::WriteTempFile(
            "data" + std::to_string(size) + ".bin",
            std::vector<uint8_t>(Content().begin(), Content().begin() + size));
    return path;
}

// What the callback saw; on its n-th call (from 1) it can answer stop or call Close.
struct Progress {
    Calls calls;
    size_t stopOnCall = 0;
    size_t closeOnCall = 0;
    CFileEx* file = nullptr;
};

int Record(uint32_t done, uint32_t total, uintptr_t user) {
    Progress* progress = reinterpret_cast<Progress*>(user);
    progress->calls.emplace_back(done, total);
    if (progress->calls.size() == progress->closeOnCall) progress->file->Close();
    return progress->calls.size() == progress->stopOnCall ? 0 : 1;
}

// Runs a call and returns the exception it threw (code -1 when it threw none).
CFileExException Thrown(const std::function<void()>& call) {
    try {
        call();
    } catch (const CFileExException& e) {
        return e;
    }
    return CFileExException(0, -1);
}

void ExpectClosed(CFileEx& file) {
    EXPECT_FALSE(file.IsOpen());
    uint8_t byte;
    EXPECT_EQ(Thrown([&] { file.Read(&byte, 1, nullptr, 0); }).m_nCode, fileex::kCodeClosed);
}

// Runs an action once from inside the reader's wait, where window message handlers run: on
// Windows a message posted to a message-only window, natively the pump hook.
class HandlerInWait {
  public:
    HandlerInWait(CFileEx& file, std::function<void()> action) : m_action(std::move(action)) {
#ifdef _WIN32
        static ATOM windowClass = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = WindowProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "BrixaTestSink";
            return RegisterClassA(&wc);
        }();
        m_hwnd = CreateWindowExA(0, MAKEINTATOM(windowClass), "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(m_hwnd, nullptr);
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        (void)file;
#else
        m_file = &file;
        file.SetPumpHook(Hook, this);
#endif
    }
    ~HandlerInWait() {
#ifdef _WIN32
        DestroyWindow(m_hwnd);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
#else
        m_file->SetPumpHook(nullptr, nullptr);
#endif
    }
    void Arm() {
#ifdef _WIN32
        PostMessageA(m_hwnd, WM_APP + 1, 0, 0);
#else
        m_armed = true;
#endif
    }
    int runs = 0;

  private:
    void Run() {
        ++runs;
        m_action();
    }
#ifdef _WIN32
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg != WM_APP + 1) return DefWindowProcA(hwnd, msg, wParam, lParam);
        reinterpret_cast<HandlerInWait*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))->Run();
        return 0;
    }
    HWND m_hwnd;
#else
    static void Hook(void* context) {
        HandlerInWait* self = static_cast<HandlerInWait*>(context);
        if (!self->m_armed) return;
        self->m_armed = false;
        self->Run();
    }
    CFileEx* m_file;
    bool m_armed = false;
#endif
    std::function<void()> m_action;
};

// ---- reads that deliver what was asked -------------------------------------------------------

struct ReadCase {
    const char* name;
    size_t fileSize;
    uint64_t baseOffset;
    uint32_t count;
    Calls calls;
};

class Reads : public testing::TestWithParam<ReadCase> {};

TEST_P(Reads, DeliverTheRangeInChunksWithProgress) {
    const ReadCase& c = GetParam();
    CFileEx file;
    ASSERT_EQ(file.Open(DataFile(c.fileSize).c_str()), 1);
    for (bool withCallback : {true, false}) {
        file.m_nBaseOffset = c.baseOffset;
        std::vector<uint8_t> buffer(c.count + 64, kUntouched);
        Progress progress;
        uint32_t got = file.Read(buffer.data(), c.count, withCallback ? Record : nullptr,
                                 reinterpret_cast<uintptr_t>(&progress));
        EXPECT_EQ(got, c.count);
        EXPECT_EQ(progress.calls, withCallback ? c.calls : Calls());
        EXPECT_TRUE(
            std::equal(buffer.begin(), buffer.begin() + c.count, Content().begin() + c.baseOffset));
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + c.count, buffer.end()),
                  std::vector<uint8_t>(64, kUntouched));
        EXPECT_FALSE(file.IsBusy());
        EXPECT_TRUE(file.IsOpen());
    }
}

INSTANTIATE_TEST_SUITE_P(
    FileEx, Reads,
    testing::Values(
        ReadCase{"SmallReadOneRequest", 1000, 0, 128, {{128, 128}}},
        ReadCase{"TwoRequests", 300000, 0, 300000, {{kChunk, 300000}, {300000, 300000}}},
        ReadCase{"ExactlyTwoChunks", 409600, 0, 409600, {{kChunk, 409600}, {409600, 409600}}},
        ReadCase{"BaseOffset", 1000, 128, 16, {{16, 16}}},
        ReadCase{"BaseOffsetAcrossChunks",
                 500000,
                 1000,
                 409601,
                 {{kChunk, 409601}, {2 * kChunk, 409601}, {409601, 409601}}},
        ReadCase{"NothingAsked", 1000, 0, 0, {{0, 0}}}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

// ---- reads that hit the end of the file --------------------------------------------------------

struct EofCase {
    const char* name;
    size_t fileSize;
    uint64_t baseOffset;
    uint32_t count;
    uint32_t available; // bytes the file holds from the base offset on
};

class EndOfFile : public testing::TestWithParam<EofCase> {};

TEST_P(EndOfFile, ThrowsTheSystemsEofErrorAfterDeliveringWhatIsThere) {
    const EofCase& c = GetParam();
    CFileEx file;
    ASSERT_EQ(file.Open(DataFile(c.fileSize).c_str()), 1);
    file.m_nBaseOffset = c.baseOffset;
    std::vector<uint8_t> buffer(c.count, kUntouched);
    Progress progress;
    CFileExException e = Thrown(
        [&] { file.Read(buffer.data(), c.count, Record, reinterpret_cast<uintptr_t>(&progress)); });
    EXPECT_EQ(e.m_nCode, fileex::kCodeSystem);
    EXPECT_EQ(e.m_dwError, fileex::kErrorHandleEof);
    EXPECT_FALSE(e.m_strSystemText.empty());
    // The first completion delivers what is there; later ones (if any) add nothing.
    ASSERT_FALSE(progress.calls.empty());
    EXPECT_EQ(progress.calls.front().first, std::min(c.available, kChunk));
    EXPECT_EQ(progress.calls.back().first, c.available);
    EXPECT_LE(progress.calls.size(), c.available / kChunk + 2);
    for (const auto& call : progress.calls) EXPECT_EQ(call.second, c.count);
    EXPECT_TRUE(
        std::equal(buffer.begin(), buffer.begin() + c.available, Content().begin() + c.baseOffset));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + c.available, buffer.end()),
              std::vector<uint8_t>(c.count - c.available, kUntouched));
    // The reader is idle again: Close takes effect at once.
    EXPECT_FALSE(file.IsBusy());
    EXPECT_TRUE(file.IsOpen());
    file.Close();
    ExpectClosed(file);
}

std::string EofCaseName(const testing::TestParamInfo<EofCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(FileEx, EndOfFile,
                         testing::Values(EofCase{"ShortFile", 50, 0, 128, 50},
                                         EofCase{"EmptyFile", 0, 0, 128, 0},
                                         EofCase{"OffsetAtEnd", 1000, 1000, 16, 0},
                                         EofCase{"OffsetPastEnd", 1000, 5000, 16, 0},
                                         EofCase{"EndInFirstChunkWithOffset", 1000, 900, 128, 100},
                                         EofCase{"EndInSecondChunk", 300000, 0, 409600, 300000}),
                         EofCaseName);

// ---- reads at a position, from any thread ------------------------------------------------------

class ReadsAt : public testing::TestWithParam<EofCase> {};

TEST_P(ReadsAt, DeliverTheRangeOrTheEofErrorAndLeaveTheReaderAsItWas) {
    const EofCase& c = GetParam();
    CFileEx file;
    ASSERT_EQ(file.Open(DataFile(c.fileSize).c_str()), 1);
    file.m_nBaseOffset = 7;
    std::vector<uint8_t> buffer(c.count, kUntouched);
    const auto read = [&] { file.ReadAt(c.baseOffset, buffer.data(), c.count); };
    if (c.available == c.count) {
        read();
    } else {
        CFileExException e = Thrown(read);
        EXPECT_EQ(e.m_nCode, fileex::kCodeSystem);
        EXPECT_EQ(e.m_dwError, fileex::kErrorHandleEof);
    }
    EXPECT_TRUE(
        std::equal(buffer.begin(), buffer.begin() + c.available, Content().begin() + c.baseOffset));
    EXPECT_EQ(file.m_nBaseOffset, 7u);
    EXPECT_FALSE(file.IsBusy());
}

INSTANTIATE_TEST_SUITE_P(FileEx, ReadsAt,
                         testing::Values(EofCase{"Whole", 300000, 0, 300000, 300000},
                                         EofCase{"Inside", 1000, 100, 800, 800},
                                         EofCase{"ShortFile", 50, 0, 128, 50},
                                         EofCase{"OffsetPastEnd", 1000, 5000, 16, 0},
                                         EofCase{"EndWithOffset", 1000, 900, 128, 100}),
                         EofCaseName);

// ---- stopping from the callback ----------------------------------------------------------------

struct StopCase {
    const char* name;
    size_t fileSize;
    size_t stopOnCall;
    size_t closeOnCall;
    uint32_t expected;
};

class Stops : public testing::TestWithParam<StopCase> {};

TEST_P(Stops, EndTheTransferAfterTheRequestThatReportedIt) {
    const StopCase& c = GetParam();
    uint32_t size = uint32_t(c.fileSize);
    CFileEx file;
    ASSERT_EQ(file.Open(DataFile(c.fileSize).c_str()), 1);
    std::vector<uint8_t> buffer(size);
    Progress progress;
    progress.stopOnCall = c.stopOnCall;
    progress.closeOnCall = c.closeOnCall;
    progress.file = &file;
    EXPECT_EQ(file.Read(buffer.data(), size, Record, reinterpret_cast<uintptr_t>(&progress)),
              c.expected);
    EXPECT_EQ(progress.calls.size(), std::max(c.stopOnCall, c.closeOnCall));
    EXPECT_FALSE(file.IsBusy());
    if (c.closeOnCall) {
        ExpectClosed(file);
        ASSERT_EQ(file.Open(DataFile(c.fileSize).c_str()), 1);
    }
    // Nothing of the stop lingers into the next transfer.
    Progress again;
    EXPECT_EQ(file.Read(buffer.data(), size, Record, reinterpret_cast<uintptr_t>(&again)), size);
    EXPECT_EQ(again.calls.size(), (size + kChunk - 1) / kChunk);
}

INSTANTIATE_TEST_SUITE_P(FileEx, Stops,
                         testing::Values(StopCase{"StopOnFirstCall", 1000000, 1, 0, kChunk},
                                         StopCase{"StopOnSecondCall", 1000000, 2, 0, 2 * kChunk},
                                         StopCase{"StopOnLastCall", 300000, 2, 0, 300000},
                                         StopCase{"CloseOnFirstCall", 1000000, 0, 1, kChunk},
                                         StopCase{"CloseOnLastCall", 300000, 0, 2, 300000}),
                         [](const testing::TestParamInfo<StopCase>& info) {
                             return info.param.name;
                         });

// ---- window messages during the wait ------------------------------------------------------------

TEST(FileEx, CloseFromAMessageHandlerStopsAfterTheCurrentRequest) {
    CFileEx file;
    ASSERT_EQ(file.Open(DataFile(1000000).c_str()), 1);
    std::vector<uint8_t> buffer(1000000);
    Progress progress;
    size_t callsAtClose = 0;
    HandlerInWait handler(file, [&] {
        callsAtClose = progress.calls.size();
        file.Close();
        EXPECT_TRUE(file.IsOpen()); // not before Read ends
    });
    handler.Arm();
    uint32_t got =
        file.Read(buffer.data(), 1000000, Record, reinterpret_cast<uintptr_t>(&progress));
    EXPECT_EQ(handler.runs, 1);
    EXPECT_LE(progress.calls.size(), callsAtClose + 1);
    ASSERT_FALSE(progress.calls.empty());
    EXPECT_EQ(got, progress.calls.back().first);
    EXPECT_LT(got, 1000000u);
    EXPECT_FALSE(file.IsBusy());
    ExpectClosed(file);
}

TEST(FileEx, AHandlerCannotStartASecondTransfer) {
    CFileEx file;
    ASSERT_EQ(file.Open(DataFile(300000).c_str()), 1);
    std::vector<uint8_t> buffer(300000);
    std::vector<int32_t> codes;
    HandlerInWait handler(file, [&] {
        uint8_t byte;
        codes.push_back(Thrown([&] { file.Read(&byte, 1, nullptr, 0); }).m_nCode);
        codes.push_back(Thrown([&] { file.Open(DataFile(50).c_str()); }).m_nCode);
    });
    handler.Arm();
    EXPECT_EQ(file.Read(buffer.data(), 300000, nullptr, 0), 300000u);
    EXPECT_EQ(codes, std::vector<int32_t>({fileex::kCodeBusy, fileex::kCodeBusy}));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), Content().begin()));
    EXPECT_TRUE(file.IsOpen());
}

TEST(FileEx, OnlyThePumpingModeDispatchesMessages) {
    CFileEx file;
    ASSERT_EQ(file.Open(DataFile(300000).c_str()), 1);
    std::vector<uint8_t> buffer(300000);
    HandlerInWait handler(file, [] {});
    handler.Arm();
    EXPECT_EQ(file.Read(buffer.data(), 300000, nullptr, 0, 0), 300000u);
    EXPECT_EQ(handler.runs, 0);
    file.PumpMessages();
    EXPECT_EQ(handler.runs, 1);
}

// ---- failures -----------------------------------------------------------------------------------

struct OpenFailCase {
    const char* name;
    std::string (*path)();
    uint32_t disposition;
    uint32_t error;
};

class OpenFailures : public testing::TestWithParam<OpenFailCase> {};

TEST_P(OpenFailures, ThrowTheSystemErrorWithItsText) {
    const OpenFailCase& c = GetParam();
    CFileEx file;
    ASSERT_EQ(file.Open(DataFile(1000).c_str()), 1);
    CFileExException e = Thrown([&] { file.Open(c.path().c_str(), c.disposition); });
    EXPECT_EQ(e.m_nCode, fileex::kCodeSystem);
    EXPECT_EQ(e.m_dwError, c.error);
    EXPECT_EQ(e.m_strText, "The Operation Completed Successfully");
    ASSERT_GE(e.m_strSystemText.size(), 3u);
    EXPECT_EQ(e.m_strSystemText.substr(e.m_strSystemText.size() - 2), "\r\n");
    EXPECT_EQ(&e.UserText(), &e.m_strSystemText);
    ExpectClosed(file); // the previous file was closed first
}

INSTANTIATE_TEST_SUITE_P(
    FileEx, OpenFailures,
    testing::Values(
        OpenFailCase{"MissingFile", [] { return testkit::TempDir() + kSep + "missing.dds"; },
                     fileex::kOpenExisting, fileex::kErrorFileNotFound},
        OpenFailCase{"MissingFolder",
                     [] { return testkit::TempDir() + kSep + "nodir" + kSep + "a.dds"; },
                     fileex::kOpenExisting, fileex::kErrorPathNotFound},
        OpenFailCase{"FileUsedAsFolder", [] { return DataFile(1000) + kSep + "a.dds"; },
                     fileex::kOpenExisting, fileex::kErrorPathNotFound},
        OpenFailCase{"EmptyName", [] { return std::string(); }, fileex::kOpenExisting,
                     fileex::kErrorPathNotFound},
        OpenFailCase{"Folder", [] { return testkit::TempDir(); }, fileex::kOpenExisting,
                     fileex::kErrorAccessDenied},
        OpenFailCase{"CreateNewOnExistingFile", [] { return DataFile(1000); }, 1 /*CREATE_NEW*/,
                     80 /*ERROR_FILE_EXISTS*/}),
    [](const testing::TestParamInfo<OpenFailCase>& info) { return info.param.name; });

TEST(FileEx, NamesTooLongOrMissingAreRefusedWithoutThrowing) {
    CFileEx file;
    std::string tooLong(261, 'a');
    for (const char* name : {static_cast<const char*>(nullptr), tooLong.c_str()}) {
        ASSERT_EQ(file.Open(DataFile(1000).c_str()), 1);
        int result = -1;
        EXPECT_NO_THROW(result = file.Open(name));
        EXPECT_EQ(result, 0);
        ExpectClosed(file);
    }
    // 260 characters are still handed to the system, which refuses this name.
    EXPECT_EQ(Thrown([&] { file.Open(std::string(260, 'a').c_str()); }).m_nCode,
              fileex::kCodeSystem);
}

struct MisuseCase {
    const char* name;
    void (*call)(CFileEx&);
    int32_t code;
};

class Misuse : public testing::TestWithParam<MisuseCase> {};

TEST_P(Misuse, ThrowsTheTableCode) {
    CFileEx file;
    CFileExException e = Thrown([&] { GetParam().call(file); });
    EXPECT_EQ(e.m_nCode, GetParam().code);
    EXPECT_EQ(e.m_dwError, 0u);
    EXPECT_EQ(&e.UserText(), &e.m_strText);
    EXPECT_FALSE(file.IsBusy());
}

INSTANTIATE_TEST_SUITE_P(
    FileEx, Misuse,
    testing::Values(MisuseCase{"GetSizeNeverOpened", [](CFileEx& f) { f.GetSize(); },
                               fileex::kCodeClosed},
                    MisuseCase{"ReadNeverOpened",
                               [](CFileEx& f) {
                                   uint8_t b;
                                   f.Read(&b, 1, nullptr, 0);
                               },
                               fileex::kCodeClosed},
                    MisuseCase{"GetSizeAfterClose",
                               [](CFileEx& f) {
                                   f.Open(DataFile(1000).c_str());
                                   f.Close();
                                   f.GetSize();
                               },
                               fileex::kCodeClosed},
                    MisuseCase{"NullBuffer",
                               [](CFileEx& f) {
                                   f.Open(DataFile(1000).c_str());
                                   f.Read(nullptr, 16, nullptr, 0);
                               },
                               fileex::kCodeInvalidParameter}),
    [](const testing::TestParamInfo<MisuseCase>& info) { return info.param.name; });

TEST(FileEx, WithoutThrowingFailuresReturnZeroOrTheBytesDone) {
    CFileEx file;
    file.m_bThrow = 0;
    uint8_t buffer[128];
    EXPECT_EQ(file.Open((testkit::TempDir() + kSep + "missing.dds").c_str()), 0);
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_EQ(file.Read(buffer, 16, nullptr, 0), 0u);
    ASSERT_EQ(file.Open(DataFile(50).c_str()), 1);
    EXPECT_EQ(file.Read(nullptr, 16, nullptr, 0), 0u);
    EXPECT_EQ(file.Read(buffer, 128, nullptr, 0), 50u);
}

TEST(FileEx, OpenReplacesTheFileAndResetsTheOffset) {
    CFileEx file;
    for (size_t size : {0, 50, 300000}) {
        ASSERT_EQ(file.Open(DataFile(size).c_str()), 1);
        EXPECT_STREQ(file.m_szFileName, DataFile(size).c_str());
        EXPECT_EQ(file.m_nBaseOffset, 0u);
        EXPECT_EQ(file.GetSize(), size);
        file.m_nBaseOffset = 128;
    }
}

// ---- the exception
// --------------------------------------------------------------------------------

TEST(FileExException, TakesItsTextFromTheTable) {
    const std::pair<int32_t, const char*> table[] = {
        {0, "The Operation Completed Successfully"},
        {1, "Invalid Operation on Closed File"},
        {2, "Parameter Supplied Is out of Range"},
        {3, "Operation Failed. I/O Operations are Running"},
        {4, "Parameter is Invalid"},
        {5, ""},
        {-1, ""},
    };
    for (const auto& row : table) {
        CFileExException e(0, row.first);
        EXPECT_EQ(e.m_strText, row.second) << row.first;
        CFileExException copy = e;
        EXPECT_EQ(copy.m_strText, e.m_strText);
        EXPECT_EQ(copy.m_strSystemText, e.m_strSystemText);
    }
    // The system text is fetched for error 0 as well.
    EXPECT_FALSE(CFileExException(0, 0).m_strSystemText.empty());
}

#ifdef _WIN32
// ---- Windows: paths Wine never takes, reached with a fake request function
// ------------------------

enum class FakeAction { Refuse, CompleteEmpty, CompleteWithError, CompleteAfterForeignApc };

struct FakeCase {
    const char* name;
    int onCall; // which request the fake takes over, from 1; the others go to the system
    FakeAction action;
    DWORD error;
    uint32_t thrown; // 0: no exception
    Calls calls;
};

struct FakeState {
    const FakeCase* fake;
    int requests;
    LPOVERLAPPED overlapped;
    LPOVERLAPPED_COMPLETION_ROUTINE routine;
    DWORD heldError;
    DWORD heldBytes;
    HandlerInWait* release;
} g_fake;

void CALLBACK DeliverFakeCompletion(ULONG_PTR) {
    g_fake.routine(g_fake.fake->error, 0, g_fake.overlapped);
}
// The real request's completion is held back: the wait first wakes for an APC that is not the
// reader's, then a message handler queues the reader's own.
void CALLBACK ReleaseCompletion(ULONG_PTR) {
    g_fake.routine(g_fake.heldError, g_fake.heldBytes, g_fake.overlapped);
}
void CALLBACK HoldCompletion(DWORD error, DWORD bytes, LPOVERLAPPED) {
    g_fake.heldError = error;
    g_fake.heldBytes = bytes;
    g_fake.release->Arm();
}

BOOL WINAPI FakeReadFileEx(HANDLE file, LPVOID buffer, DWORD size, LPOVERLAPPED overlapped,
                           LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    if (++g_fake.requests != g_fake.fake->onCall)
        return ReadFileEx(file, buffer, size, overlapped, routine);
    g_fake.overlapped = overlapped;
    g_fake.routine = routine;
    switch (g_fake.fake->action) {
    case FakeAction::Refuse: SetLastError(g_fake.fake->error); return FALSE;
    case FakeAction::CompleteEmpty:
    case FakeAction::CompleteWithError:
        return QueueUserAPC(DeliverFakeCompletion, GetCurrentThread(), 0) != 0;
    case FakeAction::CompleteAfterForeignApc:
        return ReadFileEx(file, buffer, size, overlapped, HoldCompletion);
    }
    return FALSE;
}

class FakeRequests : public testing::TestWithParam<FakeCase> {
  protected:
    void TearDown() override { fileex::g_pfnReadFileEx = ReadFileEx; }
};

TEST_P(FakeRequests, EndTheTransferCleanly) {
    const FakeCase& c = GetParam();
    CFileEx file;
    HandlerInWait release(file, [] { QueueUserAPC(ReleaseCompletion, GetCurrentThread(), 0); });
    g_fake = FakeState{&c, 0, nullptr, nullptr, 0, 0, &release};
    fileex::g_pfnReadFileEx = FakeReadFileEx;
    ASSERT_EQ(file.Open(DataFile(300000).c_str()), 1);
    std::vector<uint8_t> buffer(300000);
    Progress progress;
    CFileExException e = Thrown([&] {
        EXPECT_EQ(file.Read(buffer.data(), 300000, Record, reinterpret_cast<uintptr_t>(&progress)),
                  300000u);
    });
    EXPECT_EQ(e.m_nCode, c.thrown ? fileex::kCodeSystem : -1);
    EXPECT_EQ(e.m_dwError, c.thrown);
    EXPECT_EQ(progress.calls, c.calls);
    uint32_t delivered = progress.calls.empty() ? 0 : progress.calls.back().first;
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + delivered, Content().begin()));
    EXPECT_FALSE(file.IsBusy());
}

INSTANTIATE_TEST_SUITE_P(
    FileEx, FakeRequests,
    testing::Values(
        FakeCase{"FirstRefusedAtEof", 1, FakeAction::Refuse, ERROR_HANDLE_EOF, 38, {}},
        FakeCase{
            "SecondRefusedAtEof", 2, FakeAction::Refuse, ERROR_HANDLE_EOF, 38, {{kChunk, 300000}}},
        FakeCase{"EmptyCompletionWithoutError",
                 2,
                 FakeAction::CompleteEmpty,
                 0,
                 38,
                 {{kChunk, 300000}, {kChunk, 300000}}},
        FakeCase{"CompletionWithError",
                 2,
                 FakeAction::CompleteWithError,
                 ERROR_CRC,
                 ERROR_CRC,
                 {{kChunk, 300000}, {kChunk, 300000}}},
        FakeCase{"ForeignApcDuringTheWait",
                 1,
                 FakeAction::CompleteAfterForeignApc,
                 0,
                 0,
                 {{kChunk, 300000}, {300000, 300000}}}),
    [](const testing::TestParamInfo<FakeCase>& info) { return info.param.name; });

#else
// ---- native: the Windows texts for the mapped errors
// ----------------------------------------------

TEST(FileExPosix, GivesTheWindowsTextsForMappedErrors) {
    const std::pair<uint32_t, std::string> table[] = {
        {0, "The operation completed successfully.\r\n"},
        {fileex::kErrorFileNotFound, "The system cannot find the file specified.\r\n"},
        {fileex::kErrorPathNotFound, "The system cannot find the path specified.\r\n"},
        {fileex::kErrorAccessDenied, "Access is denied.\r\n"},
        {fileex::kErrorHandleEof, "Reached the end of the file.\r\n"},
        {fileex::kPosixErrorFlag | ENOSPC, std::string(std::strerror(ENOSPC)) + "\r\n"},
        {12345, ""},
    };
    for (const auto& row : table) EXPECT_EQ(SystemMessageText(row.first), row.second) << row.first;
}
#endif

// ---- the PNG writer
// ----------------------------------------------------------------------

// A 2 x 2 picture, pixels B, G, R, A in memory; top-down its first row is 0 then 1.
const uint32_t kPicture[] = {0x80302010, 0xFF605040, 0x00908070, 0xFFC0B0A0};

struct PngCase {
    PngRows rows;
    PngAlpha alpha;
    uint32_t width, height;
    std::vector<uint8_t> want; // the decoded file, top row first; empty when refused
};

TEST(PngWriter, WritesThePictureTopRowFirst) {
    const PngCase table[] = {
        {PngRows::kTopDown,
         PngAlpha::kKeep,
         2,
         2,
         {48, 32, 16, 128, 96, 80, 64, 255, 144, 128, 112, 0, 192, 176, 160, 255}},
        {PngRows::kBottomUp,
         PngAlpha::kDrop,
         2,
         2,
         {144, 128, 112, 192, 176, 160, 48, 32, 16, 96, 80, 64}},
        {PngRows::kBottomUp, PngAlpha::kKeep, 1, 2, {96, 80, 64, 255, 48, 32, 16, 128}},
        {PngRows::kTopDown, PngAlpha::kDrop, 1u << 25, 1, {}},
        {PngRows::kTopDown, PngAlpha::kDrop, 1u << 16, 1u << 16, {}},
    };
    const std::string path = testkit::TempDir() + kSep + "picture.png";
    for (const PngCase& c : table) {
        std::remove(path.c_str());
        std::string error;
        const bool written = WritePng(path, kPicture, c.width, c.height, c.rows, c.alpha, error);
        ASSERT_EQ(written, !c.want.empty()) << error;
        int w = 0, h = 0, n = 0;
        const int channels = c.alpha == PngAlpha::kKeep ? 4 : 3;
        uint8_t* got = stbi_load(path.c_str(), &w, &h, &n, 0);
        if (c.want.empty()) {
            EXPECT_EQ(got, nullptr);
            EXPECT_EQ(error, "cannot write " + path + ": the picture is too large for a PNG file");
            continue;
        }
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(std::vector<int>({w, h, n}),
                  std::vector<int>({int(c.width), int(c.height), channels}));
        EXPECT_EQ(std::vector<uint8_t>(got, got + c.want.size()), c.want);
        stbi_image_free(got);
    }
}

// Pictures of several pieces (about 1 MiB of rows each), rows repeating every fifth so that matches
// reach into the piece before: one pixel wide with a last piece of one row, and rows longer than a
// piece (each row a piece of its own).
TEST(PngWriter, JoinsItsPiecesIntoOnePicture) {
    const std::pair<uint32_t, uint32_t> table[] = {{1, 419431}, {300000, 7}};
    const std::string path = testkit::TempDir() + kSep + "pieces.png";
    for (const auto& [width, height] : table) {
        std::vector<uint32_t> pixels(size_t(width) * height);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = uint32_t((i % width * 2654435761u) ^ (i / width % 5 * 40503u)) | 0xFF000000;
        std::string error;
        ASSERT_TRUE(
            WritePng(path, pixels.data(), width, height, PngRows::kTopDown, PngAlpha::kKeep, error))
            << error;
        int w = 0, h = 0, n = 0;
        uint8_t* got = stbi_load(path.c_str(), &w, &h, &n, 4);
        ASSERT_NE(got, nullptr) << width;
        for (uint32_t& p : pixels) p = (p & 0xFF00FF00) | (p >> 16 & 0xFF) | (p & 0xFF) << 16;
        EXPECT_EQ(std::memcmp(got, pixels.data(), pixels.size() * 4), 0) << width;
        stbi_image_free(got);
    }
}

TEST(PngWriter, TakesUtf8Names) {
    const std::string path = testkit::TempDir() + kSep + "pictur\xC3\xA9 \xE6\x97\xA5.png";
    std::string error;
    ASSERT_TRUE(WritePng(path, kPicture, 2, 2, PngRows::kTopDown, PngAlpha::kKeep, error)) << error;
    CFileEx reader; // the reader opens UTF-8 names: the same file
    reader.Open(path.c_str());
    EXPECT_GT(reader.GetSize(), 8u);
}

} // namespace
