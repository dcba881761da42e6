// Thumbnails as the file browsers get them: `brixa-cli thumbnail` (the freedesktop
// thumbnailer's command) and, under Windows, BrixaThumbs.dll loaded in-process as Explorer
// loads it, which must give the same pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "DdsBuilder.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#ifdef _WIN32
#include <windows.h>

#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include "thumbs/ThumbsClsid.h"
#else
#include <sys/wait.h>
#endif

namespace {

using namespace testkit;

// A DXT1 file whose levels are each one colour (565 values, in level order); `caps2` makes a
// cube map of six such chains, whose faces then take the colours in turn.
std::vector<uint8_t> SolidDxt1(uint32_t w, uint32_t h, std::vector<uint16_t> colours,
                               uint32_t caps2 = 0) {
    dds::DdsHead head = HeadFourCC(w, h, dds::FOURCC_DXT1, caps2 ? 1 : uint32_t(colours.size()));
    head.dwCaps2 = caps2;
    std::vector<uint8_t> payload;
    for (size_t i = 0; i < colours.size(); ++i) {
        const uint32_t lw = caps2 ? w : std::max(1u, w >> i), lh = caps2 ? h : std::max(1u, h >> i);
        for (uint32_t b = 0; b < ((lw + 3) / 4) * ((lh + 3) / 4); ++b) {
            Put16(payload, colours[i]);
            Put16(payload, 0);
            Put32(payload, 0);
        }
    }
    return FileBytes(head, payload);
}

// A 32-bit mask file of one pixel value (`bottom` in the lower half when given), with or
// without its alpha mask.
std::vector<uint8_t> Solid32(uint32_t w, uint32_t h, uint32_t pixel, bool alpha,
                             uint32_t bottom = 0) {
    std::vector<uint8_t> payload;
    for (uint32_t i = 0; i < w * h; ++i) Put32(payload, bottom && i >= w * h / 2 ? bottom : pixel);
    return FileBytes(HeadMasks(w, h, 32, 0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000 : 0), payload);
}

struct Row {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t size;
    int status; // brixa-cli's exit status
    int width, height, channels;
    uint32_t topLeft;   // alpha << 24 | red << 16 | green << 8 | blue
    bool cross = false; // the viewer's "Cube map as a cross" on (brixa-cli: --cross)
};

// 565 colours of the levels: red, green, blue, white, yellow, cyan, magenta.
const std::vector<uint16_t> kLevels = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xFFE0, 0x07FF, 0xF81F};

std::vector<Row> Rows() {
    dds::DdsHead huge = HeadFourCC(65536, 65536, dds::FOURCC_DXT1);
    std::vector<uint8_t> notDds = Solid32(2, 2, 0, false);
    notDds[3] = 'X';
    std::vector<uint8_t> truncated = SolidDxt1(64, 64, {0xF800});
    truncated.resize(truncated.size() - 8);
    return {
        // The smallest level at least SIZE on its longer side: 16 is level 2 (16 x 16) exactly,
        // 20 level 1 (32 x 32, shrunk), 100 none (the largest, never enlarged), 1 the last.
        {"level_exact", SolidDxt1(64, 64, kLevels), 16, 0, 16, 16, 4, 0xFF0000FF},
        {"level_above", SolidDxt1(64, 64, kLevels), 20, 0, 20, 20, 4, 0xFF00FF00},
        {"level_none", SolidDxt1(64, 64, kLevels), 100, 0, 64, 64, 4, 0xFFFF0000},
        {"level_last", SolidDxt1(64, 64, kLevels), 1, 0, 1, 1, 4, 0xFFFF00FF},
        // Aspect kept: the longer side is SIZE; a shorter side truncates, at least 1.
        {"wide", Solid32(64, 16, 0x00123456, false, 0xFF), 32, 0, 32, 8, 3, 0xFF123456},
        {"tall", Solid32(3, 700, 0x00123456, false), 256, 0, 1, 256, 3, 0xFF123456},
        // Straight alpha where the format has it; a shrink of more than 256 to 1 goes in steps.
        {"alpha", Solid32(2, 600, 0x80405060, true), 2, 0, 1, 2, 4, 0x80405060},
        // A cube map shows its +X face.
        {"cube", SolidDxt1(8, 8, {0x001F, 0xF800, 0x07E0, 0, 0, 0}, 0xFE00), 8, 0, 8, 8, 4,
         0xFF0000FF},
        // ... or, with the cross on, all six unfolded, the empty cells transparent.
        {"cube_cross", SolidDxt1(8, 8, {0x001F, 0xF800, 0x07E0, 0, 0, 0}, 0xFE00), 32, 0, 32, 24, 4,
         0, true},
        // Files without a picture: an error, no output.
        {"not_dds", notDds, 64, 2, 0, 0, 0, 0},
        {"huge", FileBytes(huge), 64, 2, 0, 0, 0, 0},
        {"truncated", truncated, 64, 3, 0, 0, 0, 0},
    };
}

// A command line's exit status (Windows' system() needs the whole line quoted once more).
int Run(const std::string& command) {
#ifdef _WIN32
    return std::system(("\"" + command + "\"").c_str());
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}
std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

// brixa-cli thumbnail IN OUT SIZE: its status, and the PNG's pixels as 0xAARRGGBB.
int CliThumbnail(const std::string& in, const std::string& out, uint32_t size, bool cross,
                 std::vector<uint32_t>& pixels, int& w, int& h, int& channels) {
    std::remove(out.c_str());
    const int status = Run(Quoted(BRIXA_CLI) + " thumbnail " + Quoted(in) + " " + Quoted(out) +
                           " " + std::to_string(size) + (cross ? " --cross" : ""));
    w = h = channels = 0;
    pixels.clear();
    if (uint8_t* png = stbi_load(out.c_str(), &w, &h, &channels, 4)) {
        for (int i = 0; i < w * h; ++i)
            pixels.push_back(uint32_t(png[4 * i + 3]) << 24 | png[4 * i] << 16 |
                             png[4 * i + 1] << 8 | png[4 * i + 2]);
        stbi_image_free(png);
    }
    return status;
}

class Thumbnails : public ::testing::TestWithParam<Row> {};

TEST_P(Thumbnails, CliWritesTheFittingLevel) {
    const Row& row = GetParam();
    const std::string in = WriteTempFile(std::string(row.name) + ".dds", row.bytes);
    std::vector<uint32_t> pixels;
    int w, h, channels;
    EXPECT_EQ(CliThumbnail(in, in + ".png", row.size, row.cross, pixels, w, h, channels),
              row.status);
    EXPECT_EQ(w, row.width);
    EXPECT_EQ(h, row.height);
    EXPECT_EQ(channels, row.channels);
    if (!pixels.empty()) {
        EXPECT_EQ(pixels[0], row.topLeft);
    }
}

#ifdef _WIN32
// The viewer's "Cube map as a cross" stored on (Flags bit 23 of settings version 3) while it
// lives, where the viewer keeps its settings under Wine.
struct StoredCross {
    HKEY key = nullptr;
    StoredCross() {
        const DWORD values[2] = {3, 1u << 23};
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Solvane\\", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        for (int i = 0; i < 2; ++i)
            RegSetValueExA(key, kNames[i], 0, REG_DWORD, (const BYTE*)&values[i], 4);
    }
    ~StoredCross() {
        for (const char* name : kNames) RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
    static constexpr const char* kNames[2] = {"RegVer", "Flags"};
};

// Explorer's road: the DLL's class object, a provider on a stream of the file, GetThumbnail.
TEST_P(Thumbnails, HandlerGivesTheCliPixelsAndLetsTheFileGo) {
    const Row& row = GetParam();
    const std::string in = WriteTempFile(std::string(row.name) + ".dds", row.bytes);
    std::vector<uint32_t> want;
    int w, h, channels;
    CliThumbnail(in, in + ".png", row.size, row.cross, want, w, h, channels);

    HMODULE dll = LoadLibraryA(BRIXA_THUMBS_DLL);
    ASSERT_TRUE(dll);
    auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    ASSERT_TRUE(getClassObject);
    ASSERT_TRUE(
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); // as Explorer's threads
    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(kBrixaThumbsClsid, IID_IClassFactory, (void**)&factory), S_OK);
    IInitializeWithStream* init = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IInitializeWithStream, (void**)&init), S_OK);
    factory->Release();
    IStream* stream = nullptr;
    const std::wstring wide(in.begin(), in.end());
    ASSERT_EQ(SHCreateStreamOnFileEx(wide.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, 0, FALSE,
                                     nullptr, &stream),
              S_OK);
    EXPECT_EQ(init->Initialize(stream, STGM_READ), S_OK);
    stream->Release(); // the provider holds the only reference now, as in Explorer
    const IID iidThumbnailProvider = {
        0xe357fccd, 0xa995, 0x4576, {0xb0, 0x1f, 0x23, 0x46, 0x30, 0x15, 0x4e, 0x96}};
    IThumbnailProvider* provider = nullptr;
    ASSERT_EQ(init->QueryInterface(iidThumbnailProvider, (void**)&provider), S_OK);
    init->Release();
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    HRESULT hr;
    {
        std::unique_ptr<StoredCross> stored(row.cross ? new StoredCross : nullptr);
        hr = provider->GetThumbnail(row.size, &bitmap, &alpha);
    }

    // Nothing holds the file once the call is over, the provider still alive.
    HANDLE alone = CreateFileA(in.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               0, nullptr);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE);
    CloseHandle(alone);
    provider->Release();

    if (row.status != 0) {
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(bitmap, nullptr);
    } else {
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(alpha, row.channels == 4 ? WTSAT_ARGB : WTSAT_RGB);
        DIBSECTION dib = {};
        ASSERT_EQ(GetObject(bitmap, sizeof dib, &dib), int(sizeof dib));
        EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
        ASSERT_EQ(dib.dsBm.bmWidth, w);
        ASSERT_EQ(dib.dsBm.bmHeight, h);
        // The picture as the shell reads it, and in memory top row first.
        BITMAPINFO topDown = {};
        topDown.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<uint32_t> seen(size_t(w) * h);
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(GetDIBits(screen, bitmap, 0, h, seen.data(), &topDown, DIB_RGB_COLORS), h);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(seen, want);
        const uint32_t* bits = static_cast<const uint32_t*>(dib.dsBm.bmBits);
        EXPECT_EQ(std::vector<uint32_t>(bits, bits + w * h), want);
        DeleteObject(bitmap);
    }
    CoUninitialize();
}
#endif

INSTANTIATE_TEST_SUITE_P(Rows, Thumbnails, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
