// The real main window under Wine: created from the shell library, driven with real messages
// through the program's own loop, and checked where a user sees it.
#include "app/Shell.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "../res/resource.h"
#include "DdsBuilder.h"
#include "dds/AlphaMode.h"
#include "dds/ImageBuffer.h"
#include "HostileCorpus.h"
#include "view/Settings.h"
#include "view/FileList.h"
#include "view/StatusText.h"
#include "view/View.h"
#include "view/Checkerboard.h"
#include "view/CubeCross.h"
#include "view/Zoom.h"

using namespace dds;
using namespace testkit;

namespace {

// ---- message boxes and dialogs: recorded and closed -----------------------------------------

struct Dialog {
    std::string caption, text;
};
std::vector<Dialog> g_dialogs;
HHOOK g_hook = nullptr;

// How the next dialogs are answered: message boxes with g_boxAnswer; the dialog captioned
// g_answer.caption with its fields filled in and OK; every other dialog cancelled.
WPARAM g_boxAnswer = IDCANCEL;
struct DialogAnswer {
    std::string caption;
    std::vector<std::pair<int, std::string>> fields; // control id, text
} g_answer;
HWND g_answeredDialog = nullptr;

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    for (const auto& field : g_answer.fields)
        SetDlgItemTextA(g_answeredDialog, field.first, field.second.c_str());
    PostMessageA(g_answeredDialog, WM_COMMAND, IDOK, 0);
}

LRESULT CALLBACK CloseDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND dlg = HWND(wParam);
        char cls[64] = "", caption[256] = "", text[512] = "";
        GetClassNameA(dlg, cls, sizeof cls);
        if (!std::strcmp(cls, "#32770")) {
            GetWindowTextA(dlg, caption, sizeof caption);
            GetDlgItemTextA(dlg, 0xFFFF, text, sizeof text);
            g_dialogs.push_back({caption, text});
            if (!g_answer.caption.empty() && g_answer.caption == caption) {
                g_answeredDialog = dlg; // answered once its own loop runs
                SetTimer(nullptr, 0, 50, AnswerDialog);
            } else {
                PostMessageA(dlg, WM_COMMAND, GetDlgItem(dlg, 0xFFFF) ? g_boxAnswer : IDCANCEL, 0);
            }
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

// ---- the registry -------------------------------------------------------------------------

std::string TestSubkey() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string("SOFTWARE\\Brixa-tests\\") + info->name() + "\\";
}

void DeleteKey(HKEY root, const std::string& subkey) {
    RegDeleteTreeA(root, subkey.c_str());
    RegDeleteKeyA(root, subkey.c_str());
}

bool ReadDword(HKEY root, const std::string& subkey, const char* name, DWORD& value) {
    DWORD size = sizeof value;
    return RegGetValueA(root, subkey.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

std::string ReadString(HKEY root, const std::string& subkey, const char* name) {
    char text[MAX_PATH] = "?";
    DWORD size = sizeof text;
    if (RegGetValueA(root, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    return text;
}

void WriteDword(HKEY root, const std::string& subkey, const char* name, DWORD value) {
    RegSetKeyValueA(root, subkey.c_str(), name, REG_DWORD, &value, sizeof value);
}

HKEY g_refusedRoot = nullptr;
LONG WINAPI RefusingCreateKey(HKEY root, LPCSTR subkey, DWORD reserved, LPSTR cls, DWORD options,
                              REGSAM sam, const LPSECURITY_ATTRIBUTES security, PHKEY key,
                              LPDWORD disposition) {
    if (root == g_refusedRoot || g_refusedRoot == HKEY(-1)) return ERROR_ACCESS_DENIED;
    return RegCreateKeyExA(root, subkey, reserved, cls, options, sam, security, key, disposition);
}

// ---- files ----------------------------------------------------------------------------------

// 2 x 2 A8R8G8B8, top row first: opaque red, transparent green; opaque blue, transparent white.
std::string SmallArgb() {
    static const std::string path = [] {
        std::vector<uint8_t> pixels;
        for (uint32_t p : {0xFFFF0000u, 0x0000FF00u, 0xFF0000FFu, 0x00FFFFFFu}) Put32(pixels, p);
        return WriteTempFile(
            "small.dds",
            FileBytes(HeadMasks(2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), pixels));
    }();
    return path;
}

std::string Dxt1File(const char* name, uint32_t w, uint32_t h, uint32_t mips = 1) {
    std::vector<uint8_t> payload;
    for (uint32_t i = 0, lw = w, lh = h; i < mips; ++i, lw = Halve(lw), lh = Halve(lh))
        Append(payload, Pattern(((lw + 3) / 4) * ((lh + 3) / 4) * 8, i + 1));
    return WriteTempFile(name, FileBytes(HeadFourCC(w, h, FOURCC_DXT1, mips), payload));
}

// 2 x 1 A32B32G32R32F: (0.25, 0.5, 1, 1) and (2, 0, 0, 0.5).
std::string SmallFloat() {
    static const std::string path = [] {
        std::vector<uint8_t> pixels;
        for (float f : {0.25f, 0.5f, 1.0f, 1.0f, 2.0f, 0.0f, 0.0f, 0.5f}) PutFloat(pixels, f);
        return WriteTempFile("float.dds", FileBytes(HeadFourCC(2, 1, 116), pixels));
    }();
    return path;
}

std::string Clipboard(UINT format) {
    std::string out;
    if (!OpenClipboard(g_hWndMain)) return out;
    if (HANDLE data = GetClipboardData(format)) {
        out.assign(static_cast<const char*>(GlobalLock(data)), GlobalSize(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return out;
}

WPARAM Wheel(int delta) {
    return WPARAM(uint16_t(delta)) << 16;
}

// ---- the window -----------------------------------------------------------------------------

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        m_subkey = TestSubkey();
        DeleteKey(HKEY_LOCAL_MACHINE, m_subkey);
        DeleteKey(HKEY_CURRENT_USER, m_subkey);
        g_pszSettingsSubkey = m_subkey.c_str();
        g_pfnRegCreateKeyExA = RegCreateKeyExA;
        g_Settings = ViewerSettings();
        ResetView();
        g_dialogs.clear();
        g_boxAnswer = IDCANCEL;
        g_answer = {};
        g_nCurrentIndex = -1;
        g_hook = SetWindowsHookExA(WH_CBT, CloseDialogs, nullptr, GetCurrentThreadId());
        CreateTimerQueueTimer(&m_deadline, nullptr, Overdue, nullptr, kTestMs, 0,
                              WT_EXECUTEONLYONCE);
        // The cursor off any window this test makes (the title shows the pixel under it).
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    }

    void TearDown() override {
        DeleteTimerQueueTimer(nullptr, m_deadline, INVALID_HANDLE_VALUE);
        if (IsWindow(g_hWndMain)) DestroyWindow(g_hWndMain);
        Pump(50);
        UnhookWindowsHookEx(g_hook);
        if (g_hSettingsKey) RegCloseKey(g_hSettingsKey);
        g_hSettingsKey = nullptr;
        DeleteKey(HKEY_LOCAL_MACHINE, m_subkey);
        DeleteKey(HKEY_CURRENT_USER, m_subkey);
    }

    // The program's start, as WinMain does it.
    void Start(const std::string& arguments = "") {
        m_quit = false;
        ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), arguments.c_str(), SW_SHOWNORMAL))
            << "no main window: is DISPLAY set?";
        Pump(20);
    }

    // A store that says auto zoom off: pictures keep 100 % however large.
    void StartWithoutAutoZoom() {
        g_Settings.autoZoom = false;
        WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "RegVer", 2);
        WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "Flags", 0x05E);
        Start();
    }

    void Open(const std::string& path) {
        HandleArgumentText(("\"" + path + "\"").c_str());
        Pump(20);
    }

    // The program's loop for a while; notes a WM_QUIT.
    void Pump(DWORD ms) {
        const DWORD end = GetTickCount() + ms;
        for (;;) {
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (m.message == WM_QUIT) m_quit = true;
                if (!TranslateAcceleratorA(m.hwnd, g_hAccel, &m)) {
                    TranslateMessage(&m);
                    DispatchMessageA(&m);
                }
            }
            if (int(end - GetTickCount()) <= 0) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }

    void KeyDown(UINT key) { PostMessageA(g_hWndMain, WM_KEYDOWN, key, 1), Pump(10); }
    void KeyUp(UINT key) { PostMessageA(g_hWndMain, WM_KEYUP, key, 0xC0000001), Pump(10); }
    void Command(UINT id) { SendMessageA(g_hWndMain, WM_COMMAND, id, 0); }

    static void ResetView() {
        g_nLoadState = kLoadIdle;
        g_DeferredMessage = {};
        g_bPaintingEnabled = true;
        g_nLevel = g_nFaceOrLayer = 0;
        g_szCurrentFileName[0] = g_szShownFileName[0] = '\0';
        g_nShownIndex = -1;
        g_bPlacementPostponed = false;
        g_fZoomFactor = g_fFitFactor = 1.0f;
        g_PanOffset = {0, 0};
        g_DragAnchor = {-1, 0};
        g_LastImageRect = {0, 0, 0, 0};
        g_CursorPixel = {-1, 0};
        g_Texture.FreeBuffers();
        g_Texture.m_nWidth = g_Texture.m_nHeight = g_Texture.m_nSurfaceCount = 0;
        g_Texture.m_Header = {};
    }

    static std::string Title() {
        char text[512] = "";
        GetWindowTextA(g_hWndMain, text, sizeof text);
        return text;
    }

    static std::string Status(int part) {
        char text[512] = "";
        SendMessageA(g_hStatusBar, SB_GETTEXTA, part, LPARAM(text));
        return text;
    }

    static bool Checked(UINT id) {
        return GetMenuState(GetMenu(g_hWndMain), id, MF_BYCOMMAND) & MF_CHECKED;
    }
    static bool Grey(UINT id) {
        return GetMenuState(GetMenu(g_hWndMain), id, MF_BYCOMMAND) & MF_GRAYED;
    }

    static SIZE ClientSize() {
        RECT r;
        GetClientRect(g_hWndMain, &r);
        return {r.right, r.bottom};
    }
    static int StatusHeight() {
        RECT r;
        GetWindowRect(g_hStatusBar, &r);
        return r.bottom - r.top;
    }
    static RECT WorkArea() {
        MONITORINFO mi = {};
        mi.cbSize = sizeof mi;
        GetMonitorInfoA(MonitorFromWindow(g_hWndMain, MONITOR_DEFAULTTONEAREST), &mi);
        return mi.rcWork;
    }

    // The display image's pixels, top row first, without their alpha byte.
    static std::vector<uint32_t> Picture() {
        std::vector<uint32_t> out;
        const int w = g_Texture.m_nWidth, h = g_Texture.m_nHeight;
        if (!g_Texture.m_pDisplayImage) return out;
        for (int y = h - 1; y >= 0; --y)
            for (int x = 0; x < w; ++x)
                out.push_back(g_Texture.m_pDisplayImage[y * w + x] & 0xFFFFFF);
        return out;
    }

    // No test waits past its own deadline (a call that waits on another program, such as the
    // clipboard's owner, would hold up the whole run): the process ends, naming the test.
    static constexpr DWORD kTestMs = 30000;
    static void CALLBACK Overdue(void*, BOOLEAN) {
        std::fprintf(stderr, "%s: still running after its deadline\n",
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    void Deadline(DWORD ms) { ChangeTimerQueueTimer(nullptr, m_deadline, ms, 0); }

    std::string m_subkey;
    bool m_quit = false;
    HANDLE m_deadline = nullptr;
};

TEST_F(Window, FirstRunWritesTheDefaults) {
    Start();
    // Their values are the settings' defaults (test_settings).
    for (const char* name : {"RegVer", "BackgroundColor", "WindowPos", "Flags", "MouseWheel"}) {
        DWORD stored;
        EXPECT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, name, stored)) << name;
    }
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, m_subkey, "LastPath"), "");
    EXPECT_TRUE(g_dialogs.empty());
    // No argument and no stored folder: the current one, saved at exit.
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_EQ(std::string(g_Settings.lastPath), std::string(cwd) + "\\");
    KeyDown(VK_ESCAPE);
    EXPECT_TRUE(m_quit);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, m_subkey, "LastPath"), std::string(cwd) + "\\");
}

TEST_F(Window, MenuFollowsTheDefaults) {
    Start();
    EXPECT_EQ(Title(), "Brixa");
    const struct {
        UINT id;
        bool checked, grey;
    } items[] = {
        {IDM_USE_ALPHA, true, false},        {IDM_SHOW_ALPHA, false, false},
        {IDM_ALPHA_INDICATOR, false, false}, {IDM_RGB_INDICATOR, false, false},
        {IDM_CLIP_TO_MONITOR, true, false},  {IDM_CENTER_ON_MONITOR, true, false},
        {IDM_FILTER_SHRINK, true, false},    {IDM_FILTER_ENLARGE, false, false},
        {IDM_WRAP_AROUND, true, false},      {IDM_AUTO_ZOOM, true, false},
        {IDM_ALWAYS_ON_TOP, false, false},   {IDM_DXT5_AS_NM, false, false},
        {IDM_GPU_EXACT, false, false},       {IDM_WHEEL_CYCLE, true, false},
        {IDM_WHEEL_ZOOM5, false, false},
    };
    for (const auto& i : items) {
        EXPECT_EQ(Checked(i.id), i.checked) << i.id;
        EXPECT_EQ(Grey(i.id), i.grey) << i.id;
    }
    // Six status bar parts (their edges are StatusPartEdges'), a hidden progress bar over 0..300.
    EXPECT_EQ(SendMessageA(g_hStatusBar, SB_GETPARTS, 0, 0), 6);
    EXPECT_FALSE(IsWindowVisible(g_hProgressBar));
    EXPECT_EQ(SendMessageA(g_hProgressBar, PBM_GETRANGE, FALSE, 0), 300);
    // No picture: the minimum size.
    RECT r;
    GetWindowRect(g_hWndMain, &r);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);
}

TEST_F(Window, StoreWithoutRegVer) {
    WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "Flags", 0x1FF);
    WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "BackgroundColor", 0xAB102030);
    WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "WindowPos", 0x00400040);
    WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "MouseWheel", 3);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, m_subkey.c_str(), "LastPath", REG_SZ, "C:\\", 4);
    Start();
    // The values as read and written again are test_settings' StoreWithoutRegVer; the window:
    DWORD v = 0;
    ASSERT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, "RegVer", v));
    EXPECT_EQ(v, 4u);
    EXPECT_TRUE(Checked(IDM_SHOW_ALPHA));
    EXPECT_TRUE(Grey(IDM_RGB_INDICATOR));
    EXPECT_TRUE(Grey(IDM_USE_ALPHA));
    EXPECT_TRUE(Checked(IDM_WHEEL_CYCLE));
    EXPECT_FALSE(Checked(IDM_WHEEL_ZOOM25));
    // The stored folder became the current one.
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(cwd, "C:\\");
}

TEST_F(Window, StandardUserKeepsSettingsInTheUserStore) {
    // The machine's store exists but may not be written.
    WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "RegVer", 2);
    WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "BackgroundColor", 0x00123456);
    WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "Flags", 0x2DE);
    g_refusedRoot = HKEY_LOCAL_MACHINE;
    g_pfnRegCreateKeyExA = RefusingCreateKey;
    Start();
    EXPECT_TRUE(g_dialogs.empty());
    EXPECT_TRUE(Checked(IDM_DXT5_AS_NM)); // seeded from the machine's values
    DWORD v = 0;
    ASSERT_TRUE(ReadDword(HKEY_CURRENT_USER, m_subkey, "BackgroundColor", v));
    EXPECT_EQ(v, 0x00123456u);
    ASSERT_TRUE(ReadDword(HKEY_CURRENT_USER, m_subkey, "RegVer", v));
    EXPECT_EQ(v, 4u);
    Command(IDM_WRAP_AROUND);
    KeyDown(VK_ESCAPE);
    ASSERT_TRUE(ReadDword(HKEY_CURRENT_USER, m_subkey, "Flags", v));
    EXPECT_EQ(v, 0x29Eu);
    ASSERT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, "Flags", v));
    EXPECT_EQ(v, 0x2DEu); // the machine's store untouched
}

TEST_F(Window, NoStoreAtAll) {
    g_refusedRoot = HKEY(-1);
    g_pfnRegCreateKeyExA = RefusingCreateKey;
    Start();
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "Error...");
    EXPECT_EQ(g_dialogs[0].text, "Failed to open registry key !");
    EXPECT_TRUE(Checked(IDM_USE_ALPHA)); // the defaults
}

TEST_F(Window, ShowsAFileWithStatusAndTitle) {
    Start();
    Open(SmallArgb());
    EXPECT_EQ(Title(), "Brixa - [small.dds] Zoom:100%");
    EXPECT_EQ(Status(0), " Type: DDS");
    EXPECT_EQ(Status(2), " Size: 2x2");
    EXPECT_EQ(Status(3), "");
    EXPECT_EQ(Status(4), " MipMap: 1/1");
    EXPECT_EQ(Status(5), " Mem: 0.0KB/0.0KB");
    // Blended over magenta by alpha.
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0xFF00FF, 0x0000FF, 0xFF00FF}));
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_EQ(std::string(cwd) + "\\", g_Settings.lastPath);
    EXPECT_EQ(std::string(g_Settings.lastPath) + "small.dds", SmallArgb());
}

TEST_F(Window, AlphaTogglesAndIndicators) {
    Start();
    Open(SmallArgb());
    KeyUp('U'); // colours alone
    EXPECT_FALSE(Checked(IDM_USE_ALPHA));
    EXPECT_TRUE(Grey(IDM_ALPHA_INDICATOR));
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    KeyUp('A'); // alpha alone
    EXPECT_TRUE(Checked(IDM_SHOW_ALPHA));
    EXPECT_FALSE(Grey(IDM_ALPHA_INDICATOR));
    EXPECT_TRUE(Grey(IDM_RGB_INDICATOR));
    EXPECT_TRUE(Grey(IDM_USE_ALPHA));
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000}));
    KeyUp('U'); // nothing while the alpha view is on
    EXPECT_FALSE(g_Settings.useAlpha);
    Command(IDM_SHOW_ALPHA);
    EXPECT_FALSE(Checked(IDM_SHOW_ALPHA));
    EXPECT_TRUE(Grey(IDM_ALPHA_INDICATOR)); // useAlpha is still off
    EXPECT_FALSE(Grey(IDM_RGB_INDICATOR));
    EXPECT_FALSE(Grey(IDM_USE_ALPHA));
    Command(IDM_USE_ALPHA);
    EXPECT_FALSE(Grey(IDM_ALPHA_INDICATOR));
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0xFF00FF, 0x0000FF, 0xFF00FF}));
}

TEST_F(Window, ZoomKeysAndWheel) {
    Start();
    Open(SmallArgb());
    const struct {
        UINT message;
        WPARAM wParam;
        const char* zoom;
    } steps[] = {
        {WM_KEYUP, VK_ADD, "150%"},
        {WM_KEYUP, VK_ADD, "200%"},
        {WM_KEYUP, VK_SUBTRACT, "150%"},
        {WM_KEYUP, VK_MULTIPLY, "100%"},
        {WM_KEYUP, VK_SUBTRACT, "70%"},
        {WM_KEYUP, VK_ADD, "100%"},
        {WM_COMMAND, IDM_WHEEL_ZOOM50, "100%"},
        {WM_MOUSEWHEEL, Wheel(-WHEEL_DELTA), "150%"}, // toward the user: in
        {WM_KEYUP, VK_SUBTRACT, "100%"},
        {WM_MOUSEWHEEL, Wheel(WHEEL_DELTA), "50%"}, // away: out
        {WM_COMMAND, IDM_WHEEL_ZOOM10, "50%"},
        {WM_MOUSEWHEEL, Wheel(-2 * WHEEL_DELTA), "55%"}, // one step whatever the delta
    };
    for (const auto& s : steps) {
        PostMessageA(g_hWndMain, s.message, s.wParam, 0);
        Pump(10);
        EXPECT_EQ(Title(), std::string("Brixa - [small.dds] Zoom:") + s.zoom) << s.wParam;
    }
    EXPECT_TRUE(Checked(IDM_WHEEL_ZOOM10));
    EXPECT_FALSE(Checked(IDM_WHEEL_ZOOM50));
    EXPECT_EQ(g_Settings.mouseWheelMode, 2u);
    // At 100 the keypad + does nothing.
    g_fZoomFactor = 100.0f;
    SetWindowTextA(g_hWndMain, "unchanged");
    KeyUp(VK_ADD);
    EXPECT_EQ(Title(), "unchanged");
}

TEST_F(Window, PlacementFromTheSystemMetrics) {
    Start();
    RECT r, work = WorkArea();
    // Three quarters of the work area, at least the smallest window: it fits with its frame.
    const uint32_t w = std::max(700L, (work.right - work.left) * 3 / 4) & ~3u;
    const uint32_t h = std::max(500L, (work.bottom - work.top) * 3 / 4) & ~3u;
    Open(Dxt1File("placed.dds", w, h));
    SIZE client = ClientSize();
    EXPECT_EQ(client.cx, LONG(w));
    EXPECT_EQ(client.cy, LONG(h) + StatusHeight());
    GetWindowRect(g_hWndMain, &r);
    EXPECT_EQ(r.left, work.left + (work.right - work.left - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, work.top + (work.bottom - work.top - (r.bottom - r.top)) / 2);
    DWORD v;
    // Zoom 200 %: larger than the work area, cut to it, and fitted back by auto zoom only at
    // the next load.
    KeyUp(VK_ADD);
    KeyUp(VK_ADD);
    GetWindowRect(g_hWndMain, &r);
    EXPECT_EQ(r.left, work.left);
    EXPECT_EQ(r.top, work.top);
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
    // Without clipping the window follows the picture.
    KeyUp('C');
    EXPECT_FALSE(Checked(IDM_CLIP_TO_MONITOR));
    GetWindowRect(g_hWndMain, &r);
    EXPECT_GT(r.right - r.left, work.right - work.left);
    KeyUp(VK_MULTIPLY);
    Command(IDM_CENTER_ON_MONITOR); // now the window keeps its corner
    Command(IDM_CLIP_TO_MONITOR);
    MoveWindow(g_hWndMain, work.right - 300, work.top + 10, 640, 480, TRUE);
    KeyUp(VK_MULTIPLY);
    GetWindowRect(g_hWndMain, &r);
    EXPECT_EQ(r.left, work.right - 300);
    EXPECT_EQ(r.right, work.right);
    KeyDown(VK_ESCAPE);
    ASSERT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, "WindowPos", v));
    EXPECT_EQ(v, DWORD(uint16_t(work.right - 300) | (work.top + 10) << 16));
}

TEST_F(Window, AutoZoomFitsALargePicture) {
    Start();
    Open(Dxt1File("2048x512.dds", 2048, 512));
    const RECT work = WorkArea();
    const SIZE client = ClientSize();
    const float fit = float(client.cx) / 2048;
    EXPECT_FLOAT_EQ(g_fFitFactor, fit);
    EXPECT_EQ(Title(),
              "Brixa - [2048x512.dds] Zoom:" + std::to_string(int(fit * 100 + 0.5f)) + "%");
    RECT r;
    GetWindowRect(g_hWndMain, &r);
    EXPECT_EQ(r.right - r.left, work.right - work.left);
    Command(IDM_AUTO_ZOOM);
    EXPECT_EQ(g_fFitFactor, 1.0f);
    EXPECT_FALSE(Checked(IDM_AUTO_ZOOM));
}

// The main window's rectangle when it was first shown.
RECT g_firstShown = {};
LRESULT CALLBACK NoteFirstShow(int code, WPARAM wParam, LPARAM lParam) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && m->message == WM_SHOWWINDOW && m->wParam && m->hwnd == g_hWndMain &&
        IsRectEmpty(&g_firstShown))
        GetWindowRect(m->hwnd, &g_firstShown);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Window, StartShowsTheWindowOncePlacedForTheNamedFile) {
    const LONG across = WorkArea().right - WorkArea().left;
    const struct {
        std::string path;
        LONG width;         // the window's when it was first shown, and after the start
        size_t memoryLimit; // 0: none
    } cases[] = {
        {TempDir() + "\\missing.dds", 640, 0}, // the box says so; the window shows all the same
        {Dxt1File("2048x512.dds", 2048, 512), across, 0},
        // Shown as it is decoded, then the images cannot be had: the status bar shows too.
        {Dxt1File("2048x512.dds", 2048, 512), across, size_t(1) << 20},
    };
    for (const auto& c : cases) {
        g_firstShown = {};
        const HHOOK hook =
            SetWindowsHookExA(WH_CALLWNDPROC, NoteFirstShow, nullptr, GetCurrentThreadId());
        SetAllocationLimit(c.memoryLimit);
        Start("\"" + c.path + "\"");
        SetAllocationLimit(0);
        UnhookWindowsHookEx(hook);
        RECT r;
        GetWindowRect(g_hWndMain, &r);
        EXPECT_TRUE(IsWindowVisible(g_hWndMain)) << c.path;
        EXPECT_TRUE(IsWindowVisible(g_hStatusBar)) << c.path;
        EXPECT_TRUE(EqualRect(&r, &g_firstShown)) << c.path;
        EXPECT_EQ(r.right - r.left, c.width) << c.path;
        DestroyWindow(g_hWndMain);
        Pump(20);
    }
}

// Esc as the window is made, while the named file is read: nothing is shown, and the viewer quits.
HWND g_escapedAtCreation = nullptr;
LRESULT CALLBACK EscapeAtCreation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !g_escapedAtCreation &&
        !reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->hwndParent) {
        g_escapedAtCreation = HWND(wParam);
        PostMessageA(g_escapedAtCreation, WM_KEYDOWN, VK_ESCAPE, 1);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Window, EscapeDuringTheStartsLoadQuits) {
    g_escapedAtCreation = nullptr;
    const HHOOK hook = SetWindowsHookExA(WH_CBT, EscapeAtCreation, nullptr, GetCurrentThreadId());
    Start("\"" + Dxt1File("4096.dds", 4096, 4096) + "\"");
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(m_quit);
    EXPECT_EQ(g_Texture.m_pDisplayImage, nullptr);
    EXPECT_EQ(g_szShownFileName[0], '\0');
}

TEST_F(Window, MinimisedStartPlacesAndFitsOnRestore) {
    Start();
    ShowWindow(g_hWndMain, SW_MINIMIZE);
    Open(Dxt1File("2048x512.dds", 2048, 512));
    ASSERT_TRUE(IsIconic(g_hWndMain));
    ShowWindow(g_hWndMain, SW_RESTORE);
    Pump(20);
    EXPECT_FLOAT_EQ(g_fFitFactor, float(ClientSize().cx) / 2048);
    EXPECT_EQ(ClientSize().cx, WorkArea().right - WorkArea().left - 6);
}

TEST_F(Window, TitleShowsThePixelUnderTheCursor) {
    Start();
    Open(Dxt1File("64x32.dds", 64, 32));
    const SIZE client = ClientSize();
    POINT origin = {0, 0};
    ClientToScreen(g_hWndMain, &origin);
    const int left = (client.cx - 64) / 2, top = (client.cy - StatusHeight() - 32) / 2;
    const struct {
        int x, y;
        const char* title;
    } cases[] = {
        {left + 10, top + 20, "Brixa - [64x32.dds] Zoom:100% Pos:10x20"},
        {left, top, "Brixa - [64x32.dds] Zoom:100% Pos:0x0"},
        {left + 63, top + 31, "Brixa - [64x32.dds] Zoom:100% Pos:63x31"},
        {left + 64, top + 31, "Brixa - [64x32.dds] Zoom:100%"}, // background beside it
        {left - 1, top, "Brixa - [64x32.dds] Zoom:100%"},
        {client.cx - 1, 0, "Brixa - [64x32.dds] Zoom:100%"},
    };
    for (const auto& c : cases) {
        SetCursorPos(origin.x + c.x, origin.y + c.y);
        SendMessageA(g_hWndMain, WM_SETCURSOR, WPARAM(g_hWndMain),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(Title(), c.title) << c.x << "," << c.y;
    }
    KeyUp(VK_ADD); // 150 %: pixels are 1.5 screen pixels wide
    const int left2 = (client.cx - 96) / 2, top2 = (client.cy - StatusHeight() - 48) / 2;
    SetCursorPos(origin.x + left2 + 16, origin.y + top2 + 2);
    SendMessageA(g_hWndMain, WM_SETCURSOR, WPARAM(g_hWndMain), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(Title(), "Brixa - [64x32.dds] Zoom:150% Pos:10x1");
}

TEST_F(Window, RightButtonDragPansALargePicture) {
    StartWithoutAutoZoom();
    Open(Dxt1File("1600x200.dds", 1600, 200));
    const int start = (ClientSize().cx - 1600) / 2; // centred, both edges outside
    ASSERT_LT(start, 0);
    EXPECT_EQ(g_LastImageRect.left, start);
    POINT origin = {0, 0};
    ClientToScreen(g_hWndMain, &origin);
    const int y = origin.y + 100;
    // What a real move sends: the cursor query only while no window holds the capture.
    auto moveTo = [&](int x) {
        SetCursorPos(x, y);
        if (!GetCapture())
            SendMessageA(g_hWndMain, WM_SETCURSOR, WPARAM(g_hWndMain),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        SendMessageA(g_hWndMain, WM_MOUSEMOVE, 0, MAKELPARAM(x - origin.x, 100));
    };
    moveTo(origin.x + 300);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
    SendMessageA(g_hWndMain, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 100));
    moveTo(origin.x + 350); // the picture follows the cursor
    EXPECT_EQ(g_LastImageRect.left, start + 50);
    moveTo(origin.x + 1000); // its left edge stops at the area's
    EXPECT_EQ(g_LastImageRect.left, 0);
    moveTo(origin.x + 10); // and its right edge at the area's right
    EXPECT_EQ(g_LastImageRect.right, ClientSize().cx);
    SendMessageA(g_hWndMain, WM_RBUTTONUP, 0, MAKELPARAM(10, 100));
    moveTo(origin.x + 400); // no drag any more
    EXPECT_EQ(g_LastImageRect.right, ClientSize().cx);
    // Pressed, and released during a load: the drag ends all the same.
    SendMessageA(g_hWndMain, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(400, 100));
    EXPECT_EQ(GetCapture(), g_hWndMain);
    g_nLoadState = kLoadBusy;
    SendMessageA(g_hWndMain, WM_RBUTTONUP, 0, MAKELPARAM(400, 100));
    g_nLoadState = kLoadIdle;
    moveTo(origin.x + 500);
    EXPECT_EQ(g_LastImageRect.right, ClientSize().cx);
}

// A picture that reaches below its area never covers the status bar: the bar is not painted
// again after each paint of the picture.
TEST_F(Window, PictureStaysOffTheStatusBar) {
    StartWithoutAutoZoom();
    Open(Dxt1File("1600x1600.dds", 1600, 1600));
    UpdateWindow(g_hStatusBar);
    const SIZE client = ClientSize();
    const int y = client.cy - StatusHeight() / 2;
    HDC dc = GetDC(g_hWndMain);
    std::vector<COLORREF> before, after;
    for (int x = 0; x < client.cx; x += 7) before.push_back(GetPixel(dc, x, y));
    RepaintNow();
    for (int x = 0; x < client.cx; x += 7) after.push_back(GetPixel(dc, x, y));
    ReleaseDC(g_hWndMain, dc);
    EXPECT_EQ(after, before);
}

TEST_F(Window, OptionCommands) {
    Start();
    KeyUp('N'); // no file yet: only the option changes
    EXPECT_TRUE(Checked(IDM_DXT5_AS_NM));
    EXPECT_TRUE(g_dialogs.empty());
    KeyUp('N');
    const std::string dxt5 =
        WriteTempFile("nm.dds", FileBytes(HeadFourCC(8, 8, FOURCC_DXT5), Pattern(4 * 16)));
    Open(dxt5);
    EXPECT_EQ(Status(1), " Format: DXT5");
    KeyUp('N'); // read again as a normal map
    EXPECT_TRUE(Checked(IDM_DXT5_AS_NM));
    EXPECT_EQ(Status(1), " Format: DXT5_NM");
    Command(IDM_DXT5_AS_NM);
    EXPECT_EQ(Status(1), " Format: DXT5");
    // GPU-exact colours: a DXT1 red of 3 shows 24, and 25 as Direct3D widens it.
    Open(WriteTempFile("exact.dds",
                       FileBytes(HeadFourCC(4, 4, FOURCC_DXT1), {0, 0x18, 0, 0x18, 0, 0, 0, 0})));
    EXPECT_EQ(Picture()[0], 0x180000u);
    KeyUp('G');
    EXPECT_TRUE(Checked(IDM_GPU_EXACT));
    EXPECT_EQ(Picture()[0], 0x190000u);
    Command(IDM_GPU_EXACT);
    EXPECT_EQ(Picture()[0], 0x180000u);
    const struct {
        UINT id;
        bool ViewerSettings::*field;
    } toggles[] = {
        {IDM_FILTER_SHRINK, &ViewerSettings::filterShrink},
        {IDM_FILTER_ENLARGE, &ViewerSettings::filterEnlarge},
        {IDM_WRAP_AROUND, &ViewerSettings::wrapAround},
        {IDM_CENTER_ON_MONITOR, &ViewerSettings::centerOnMonitor},
        {IDM_ALWAYS_ON_TOP, &ViewerSettings::alwaysOnTop},
    };
    for (const auto& t : toggles) {
        const bool before = g_Settings.*t.field;
        Command(t.id);
        EXPECT_NE(g_Settings.*t.field, before) << t.id;
        EXPECT_EQ(Checked(t.id), !before) << t.id;
    }
    EXPECT_TRUE(GetWindowLongA(g_hWndMain, GWL_EXSTYLE) & WS_EX_TOPMOST);
    Command(IDM_ALWAYS_ON_TOP);
    EXPECT_FALSE(GetWindowLongA(g_hWndMain, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // Menu-bar indicators have no command.
    Command(IDM_ALPHA_INDICATOR);
    Command(IDM_RGB_INDICATOR);
    EXPECT_TRUE(IsWindow(g_hWndMain));
    // While busy the options are refused, the wheel modes and Exit are not.
    g_nLoadState = kLoadBusy;
    Command(IDM_WRAP_AROUND);
    Command(IDM_WHEEL_ZOOM25);
    g_nLoadState = kLoadIdle;
    EXPECT_FALSE(g_Settings.wrapAround); // flipped once above, not again
    EXPECT_EQ(g_Settings.mouseWheelMode, 3u);
    KeyDown(VK_ESCAPE);
    DWORD v = 0;
    ASSERT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, "Flags", v));
    EXPECT_EQ(v, 0x0DEu ^ 0x010 ^ 0x020 ^ 0x040 ^ 0x008);
    ASSERT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, "MouseWheel", v));
    EXPECT_EQ(v, 3u);
}

TEST_F(Window, ProgressMessagesAndContinueQuery) {
    Start();
    g_nProgressStage = 1;
    EXPECT_EQ(SendMessageA(g_hWndMain, WM_USER + 10, 40, 0), 0);
    EXPECT_EQ(SendMessageA(g_hProgressBar, PBM_GETPOS, 0, 0), 140);
    EXPECT_EQ(SendMessageA(g_hWndMain, WM_USER + 11, 0, 0), 1);
    g_nLoadState = kLoadBusy;
    EXPECT_EQ(SendMessageA(g_hWndMain, WM_USER + 11, 0, 0), 1);
    SendMessageA(g_hWndMain, WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(SendMessageA(g_hWndMain, WM_USER + 11, 0, 0), 0);
    g_nLoadState = kLoadIdle;
    g_DeferredMessage = {};
    // The bar shows once an operation has run longer than 250 ms, at stage x 100 + percent.
    g_dwLoadStartTime = GetTickCount();
    g_nProgressStage = 2;
    EXPECT_EQ(ReportProgress(1, 4, 0), 1);
    EXPECT_FALSE(IsWindowVisible(g_hProgressBar));
    EXPECT_EQ(SendMessageA(g_hProgressBar, PBM_GETPOS, 0, 0), 225);
    g_dwLoadStartTime = GetTickCount() - 260;
    EXPECT_EQ(ReportProgress(3, 4, 0), 1);
    EXPECT_TRUE(IsWindowVisible(g_hProgressBar));
    EXPECT_EQ(SendMessageA(g_hProgressBar, PBM_GETPOS, 0, 0), 275);
    // A whole load hides it again.
    Open(SmallArgb());
    EXPECT_FALSE(IsWindowVisible(g_hProgressBar));
}

TEST_F(Window, EscapeDuringALoadQuitsOnceItStops) {
    const std::string big = Dxt1File("4096.dds", 4096, 4096);
    Start();
    g_Settings.backgroundColor = {1, 2, 3};
    lstrcpynA(g_szCurrentFileName, big.c_str(), MAX_PATH);
    PostMessageA(g_hWndMain, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(OpenByName(), 0);
    EXPECT_EQ(g_nLoadState, kLoadIdle);
    // Stopped before the end: nothing decoded, nothing shown, then saved and quitting.
    EXPECT_EQ(Status(2), "");
    Pump(10);
    EXPECT_TRUE(m_quit);
    DWORD v = 0;
    ASSERT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, "BackgroundColor", v));
    EXPECT_EQ(v, 0x030201u);
}

TEST_F(Window, ExitDuringALoadClosesOnceItStops) {
    const std::string big = Dxt1File("4096.dds", 4096, 4096);
    Start();
    g_Settings.backgroundColor = {4, 5, 6};
    lstrcpynA(g_szCurrentFileName, big.c_str(), MAX_PATH);
    PostMessageA(g_hWndMain, WM_COMMAND, IDM_EXIT, 0); // runs at once: the window goes
    EXPECT_EQ(OpenByName(), 0);
    EXPECT_FALSE(IsWindow(g_hWndMain));
    Pump(10);
    EXPECT_TRUE(m_quit);
    DWORD v = 0;
    ASSERT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, "BackgroundColor", v));
    EXPECT_EQ(v, 0x060504u);
}

TEST_F(Window, TwoStepsDuringALoadMakeOne) {
    const std::string mips = Dxt1File("mips.dds", 256, 256, 9);
    Start();
    Open(mips);
    ASSERT_EQ(Status(4), " MipMap: 1/9");
    PostMessageA(g_hWndMain, WM_KEYDOWN, VK_RIGHT, 1);
    PostMessageA(g_hWndMain, WM_KEYDOWN, VK_RIGHT, 1);
    LoadAndShow();          // the keys arrive while it runs
    EXPECT_EQ(g_nLevel, 0); // the request waiting is replayed from the loop, not in the load
    Pump(10);
    EXPECT_EQ(g_nLevel, 1);
    EXPECT_EQ(Status(4), " MipMap: 2/9");
    EXPECT_EQ(Status(2), " Size: 128x128");
    // Left and right again, while idle, through the loop.
    KeyDown(VK_RIGHT);
    EXPECT_EQ(Status(4), " MipMap: 3/9");
    KeyDown(VK_LEFT);
    KeyDown(VK_LEFT);
    KeyDown(VK_LEFT); // nothing below the first level
    EXPECT_EQ(Status(4), " MipMap: 1/9");
}

TEST_F(Window, ZAndXStepThroughCubeFaces) {
    DdsHead head = HeadFourCC(8, 8, FOURCC_DXT1);
    head.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
    Start();
    Open(WriteTempFile("cube.dds", FileBytes(head, Pattern(6 * 32))));
    SendMessageA(g_hStatusBar, SB_SETTEXTA, 3, LPARAM("stale"));
    KeyDown('Z'); // the first face: no load at all
    EXPECT_EQ(Status(3), "stale");
    KeyDown('X');
    EXPECT_EQ(Status(3), " Side: 2/6");
    KeyDown('Z');
    EXPECT_EQ(Status(3), " Side: 1/6");
}

// A 2 x 2 cube: +X red, -X green, +Y blue, -Y yellow, +Z cyan, -Z white.
std::string CubeFile() {
    DdsHead head = HeadMasks(2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    head.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
    std::vector<uint8_t> faces;
    for (uint32_t p : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FFFFu, ~0u})
        for (int i = 0; i < 4; ++i) Put32(faces, p);
    return WriteTempFile("cross.dds", FileBytes(head, faces));
}

TEST_F(Window, CubeMapAsACross) {
    Start();
    Open(CubeFile());
    KeyUp('V');
    EXPECT_TRUE(Checked(IDM_CUBE_CROSS));
    EXPECT_EQ(Status(3), " Side: all");
    KeyDown('X'); // every face is on show already
    EXPECT_EQ(Status(3), " Side: all");
    const RECT r = g_LastImageRect;
    const int cw = (r.right - r.left) / 4, ch = (r.bottom - r.top) / 3;
    EXPECT_EQ(ch, cw);
    HDC dc = GetDC(g_hWndMain);
    EXPECT_EQ(GetPixel(dc, r.left + cw + cw / 2, r.top + ch / 2), RGB(0, 0, 255)); // +Y
    EXPECT_EQ(GetPixel(dc, r.left + 3 * cw + cw / 2, r.top + ch + ch / 2),
              RGB(255, 255, 255));                                              // -Z
    EXPECT_EQ(GetPixel(dc, r.left + cw / 2, r.top + ch / 2), RGB(255, 0, 255)); // the background
    ReleaseDC(g_hWndMain, dc);
    KeyUp('V');
    EXPECT_EQ(Status(3), " Side: 1/6");
}

// Compare: B picked in the dialog, Space flips to it and back (what is painted too), D shows
// |A - B| scaled, a B of another size is refused naming both sizes, and compare ends.
TEST_F(Window, CompareFlipDifferenceAndSizes) {
    std::vector<uint8_t> pixels; // SmallArgb's opaque red with blue 30
    for (uint32_t p : {0xFFFF001Eu, 0x0000FF00u, 0xFF0000FFu, 0x00FFFFFFu}) Put32(pixels, p);
    const std::string b = WriteTempFile(
        "b.dds", FileBytes(HeadMasks(2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), pixels));
    Start();
    Open(SmallArgb());
    EXPECT_TRUE(Grey(IDM_END_COMPARE));
    constexpr int kNameBox = 0x47C;
    g_answer = {"Compare with...", {{kNameBox, b}}};
    Command(IDM_COMPARE);
    Pump(20);
    ASSERT_FALSE(Grey(IDM_END_COMPARE));
    // Blue's MSE 900 / 4; over the four channels 900 / 16.
    const std::string figures = "PSNR 30.63 dB (R inf G inf B 24.61 A inf), largest difference 30";
    EXPECT_EQ(Status(kStatusParts), " A: small.dds  " + figures);
    const auto topLeft = [] {
        HDC dc = GetDC(g_hWndMain);
        const COLORREF c = GetPixel(dc, g_LastImageRect.left, g_LastImageRect.top);
        ReleaseDC(g_hWndMain, dc);
        return c;
    };
    EXPECT_EQ(topLeft(), RGB(255, 0, 0));
    KeyDown(VK_SPACE);
    EXPECT_EQ(Status(kStatusParts), " B: b.dds  " + figures);
    EXPECT_EQ(topLeft(), RGB(255, 0, 30));
    g_nLoadState = kLoadBusy; // the busy rule: no flip while a load runs
    KeyDown(VK_SPACE);
    g_nLoadState = kLoadIdle;
    EXPECT_EQ(topLeft(), RGB(255, 0, 30));
    KeyUp('D');
    EXPECT_EQ(Status(kStatusParts), " |A - B| x8.5  " + figures);
    EXPECT_EQ(topLeft(), RGB(0, 0, 255));
    KeyDown(VK_SPACE); // back to the picture last shown
    EXPECT_FALSE(Checked(IDM_DIFFERENCE));
    EXPECT_EQ(topLeft(), RGB(255, 0, 30));
    g_answer = {"Compare with...", {{kNameBox, Dxt1File("big.dds", 8, 8)}}};
    Command(IDM_COMPARE);
    Pump(20);
    ASSERT_FALSE(g_dialogs.empty());
    EXPECT_EQ(g_dialogs.back().caption, "Compare");
    EXPECT_NE(g_dialogs.back().text.find("small.dds is 2x2, big.dds is 8x8"), std::string::npos)
        << g_dialogs.back().text;
    EXPECT_EQ(Status(kStatusParts), " B: b.dds  " + figures); // the compare on stays
    KeyUp('L');                                               // B follows live reload: now A's copy
    CopyFileA(SmallArgb().c_str(), b.c_str(), FALSE);
    Pump(400);
    EXPECT_EQ(Status(kStatusParts).substr(0, 31), " B: b.dds  PSNR inf dB (R inf G");
    EXPECT_EQ(topLeft(), RGB(255, 0, 0));
    Command(IDM_END_COMPARE);
    EXPECT_TRUE(Grey(IDM_END_COMPARE));
    EXPECT_EQ(Shown().pixels, g_Texture.m_pDisplayImage);
    EXPECT_EQ(topLeft(), RGB(255, 0, 0));
    // Another file ends compare; a level step reads B's level too (here past its last: a box).
    g_answer = {"Compare with...", {{kNameBox, b}}};
    Command(IDM_COMPARE);
    Pump(20);
    ASSERT_FALSE(Grey(IDM_END_COMPARE));
    Open(Dxt1File("mips2.dds", 8, 8, 2));
    EXPECT_TRUE(Grey(IDM_END_COMPARE));
    g_answer = {"Compare with...", {{kNameBox, Dxt1File("mips1.dds", 8, 8)}}};
    Command(IDM_COMPARE);
    Pump(20);
    ASSERT_FALSE(Grey(IDM_END_COMPARE));
    KeyDown(VK_RIGHT);
    EXPECT_TRUE(Grey(IDM_END_COMPARE));
    EXPECT_NE(g_dialogs.back().text.find("mips2.dds is 4x4, mips1.dds is 8x8"), std::string::npos);
}

TEST_F(Window, StepOnTheLastLevelIsDroppedNotDeferred) {
    const std::string mips = Dxt1File("mips3.dds", 16, 16, 3);
    Start();
    Open(mips);
    KeyDown(VK_RIGHT);
    KeyDown(VK_RIGHT);
    ASSERT_EQ(Status(4), " MipMap: 3/3");
    SendMessageA(g_hStatusBar, SB_SETTEXTA, 4, LPARAM("stale"));
    KeyDown(VK_RIGHT); // idle: no load at all
    EXPECT_EQ(Status(4), "stale");
    PostMessageA(g_hWndMain, WM_KEYDOWN, VK_RIGHT, 1);
    LoadAndShow();
    EXPECT_EQ(g_DeferredMessage.message, 0u);
    EXPECT_EQ(Status(4), " MipMap: 3/3"); // the load ran to its end
    EXPECT_EQ(g_nLevel, 2);
}

TEST_F(Window, HostileFilesOneAfterAnotherThenAGoodOne) {
    Start();
    size_t boxes = 0;
    for (const HostileCase& c : HostileCases()) {
        const std::string path = WriteTempFile(c.name + ".dds", c.bytes);
        Open(path);
        ASSERT_TRUE(IsWindow(g_hWndMain)) << c.name;
        for (; boxes < g_dialogs.size(); ++boxes) {
            const Dialog& d = g_dialogs[boxes];
            const bool refused = d.text == "Error loading file !" && d.caption == c.name + ".dds";
            EXPECT_TRUE(refused || d.caption == "Error...") << c.name << ": " << d.caption;
        }
        EXPECT_EQ(g_nLoadState, kLoadIdle) << c.name;
    }
    Open(SmallArgb());
    EXPECT_EQ(Title(), "Brixa - [small.dds] Zoom:100%");
    CFileEx reader;
    CDdsTexture fresh(reader);
    ASSERT_TRUE(fresh.Load(SmallArgb().c_str(), 0, 0, nullptr, false));
    const auto texts = FormatStatusTexts(StatusFactsOf(fresh));
    for (int i = 0; i < kStatusParts; ++i) EXPECT_EQ(Status(i), texts[i]) << i;
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0xFF00FF, 0x0000FF, 0xFF00FF}));
    EXPECT_EQ(ClientSize().cy + 0, ClientSize().cy);
}

TEST_F(Window, AboutBoxFromTheAccelerators) {
    Start();
    g_dialogs.clear();
    Command(IDM_ABOUT);
    ASSERT_EQ(g_dialogs.size(), 1u) << "menu";
    EXPECT_EQ(g_dialogs[0].caption, "Solvane...");
    for (char key : {'?', '/'}) {
        g_dialogs.clear();
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_MENU] = 0x80; // Alt held, as when the user types the character
        SetKeyboardState(keys);
        PostMessageA(g_hWndMain, WM_SYSCHAR, key, 0x20000001);
        Pump(50);
        keys[VK_MENU] = 0;
        SetKeyboardState(keys);
        ASSERT_EQ(g_dialogs.size(), 1u) << key;
        EXPECT_EQ(g_dialogs[0].caption, "Solvane...");
    }
}

TEST_F(Window, UnknownFormatShowsItsOwnFacts) {
    Start();
    Open(SmallArgb());
    // A FourCC nobody knows, 8 x 4, after a good file.
    const std::string unknown = WriteTempFile(
        "unknown.dds", FileBytes(HeadFourCC(8, 4, MakeFourCC('A', 'B', 'C', 'D')), Pattern(64)));
    Open(unknown);
    EXPECT_EQ(Status(1), " Format: Format Unknown");
    EXPECT_EQ(Status(2), " Size: 8x4");
    EXPECT_EQ(Status(3), "");
    EXPECT_EQ(Status(5), " Mem: 0.0KB/0.1KB"); // its own 64 bytes, no surface
    EXPECT_EQ(Title(), "Brixa - [unknown.dds] Zoom:100%");
}

TEST_F(Window, PictureTooLargeForTheMemorySaysSo) {
    Start();
    SetAllocationLimit(1 << 20); // the 512 KiB surface fits, its 4 MiB display image does not
    Open(Dxt1File("1024.dds", 1024, 1024));
    SetAllocationLimit(0);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].text,
              "Not enough memory to show this picture.\n\nSize: 1024x1024, images: 4.0 MB");
}

TEST_F(Window, FileThatCannotBeReadKeepsThePicture) {
    Start();
    Open(SmallArgb());
    const std::string missing = TempDir() + "\\missing.dds";
    Open(missing);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "Error...");
    EXPECT_NE(g_dialogs[0].text, "");
    EXPECT_EQ(Status(2), " Size: 2x2");
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0xFF00FF, 0x0000FF, 0xFF00FF}));
    // Not a DDS file at all: refused, with the file's name as caption; the title stays.
    const std::string text = WriteTempFile("text.dds", std::vector<uint8_t>(200, 'x'));
    g_dialogs.clear();
    Open(text);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "text.dds");
    EXPECT_EQ(g_dialogs[0].text, "Error loading file !");
    EXPECT_EQ(Title(), "Brixa - [small.dds] Zoom:100%"); // neither failed load took it
    EXPECT_EQ(g_nLoadState, kLoadIdle);
}

// ---- the folder's files, the open dialog, drops ------------------------------------------------

// A folder of its own under the test folder; each file a DXT1 picture of its own width.
std::string MakeFolder(const char* name, const std::vector<std::pair<std::string, uint32_t>>& files,
                       uint32_t mips = 1) {
    const std::string folder = TempDir() + "\\" + name + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    // Emptied first: the test folder's name repeats when Wine reuses a process id.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    for (const auto& f : files) {
        const uint32_t w = f.second, h = 16;
        std::vector<uint8_t> payload;
        for (uint32_t i = 0, lw = w, lh = h; i < mips; ++i, lw = Halve(lw), lh = Halve(lh))
            Append(payload, Pattern(((lw + 3) / 4) * ((lh + 3) / 4) * 8, i + 1));
        const std::vector<uint8_t> bytes = FileBytes(HeadFourCC(w, h, FOURCC_DXT1, mips), payload);
        FILE* out = std::fopen((folder + f.first).c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
    return folder;
}

// A drop of these names, as the shell hands it over.
HDROP MakeDrop(const std::vector<std::string>& names, bool wide = false) {
    std::string list8;
    std::wstring list16;
    for (const std::string& n : names) {
        list8 += n + '\0';
        list16 += Wide(n) + L'\0';
    }
    const size_t bytes = wide ? (list16.size() + 1) * 2 : list8.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = wide;
    if (wide)
        std::memcpy(drop + 1, list16.c_str(), bytes);
    else
        std::memcpy(drop + 1, list8.c_str(), bytes);
    GlobalUnlock(memory);
    return HDROP(memory);
}

TEST_F(Window, FileKeysWalkTheFolderInNameOrder) {
    const std::string folder =
        MakeFolder("walk", {{"b.dds", 8}, {"A.dds", 4}, {"c.DDS", 12}, {"_z.dds", 20}});
    CreateDirectoryA((folder + "x.dds").c_str(), nullptr); // a folder is not listed
    MakeFolder("walk\\x.dds", {{"inner.dds", 4}});
    FILE* text = std::fopen((folder + "note.txt").c_str(), "wb");
    std::fclose(text);
    Start();
    g_Settings.wrapAround = false;
    Open(folder + "c.DDS");
    EXPECT_EQ(Title(), "Brixa - [c.DDS] Zoom:100%");
    KeyDown(VK_PRIOR);
    EXPECT_EQ(Title(), "Brixa - [b.dds - 3/4] Zoom:100%");
    EXPECT_EQ(Status(2), " Size: 8x16");
    KeyDown(VK_DOWN);
    EXPECT_EQ(Title(), "Brixa - [c.DDS - 4/4] Zoom:100%");
    // The last file, no wrap-around: nothing happens.
    SendMessageA(g_hStatusBar, SB_SETTEXTA, 2, LPARAM("stale"));
    KeyDown(VK_NEXT);
    EXPECT_EQ(Title(), "Brixa - [c.DDS - 4/4] Zoom:100%");
    EXPECT_EQ(Status(2), "stale");
    // End on the last file loads it again.
    KeyDown(VK_END);
    EXPECT_EQ(Status(2), " Size: 12x16");
    Command(IDM_WRAP_AROUND);
    KeyDown(VK_NEXT);
    EXPECT_EQ(Title(), "Brixa - [_z.dds - 1/4] Zoom:100%");
    KeyDown(VK_UP);
    EXPECT_EQ(Title(), "Brixa - [c.DDS - 4/4] Zoom:100%");
    KeyDown(VK_HOME);
    EXPECT_EQ(Title(), "Brixa - [_z.dds - 1/4] Zoom:100%");
    KeyDown(VK_NEXT);
    EXPECT_EQ(Title(), "Brixa - [A.dds - 2/4] Zoom:100%");
    EXPECT_EQ(Status(2), " Size: 4x16");
    EXPECT_TRUE(g_dialogs.empty());
}

TEST_F(Window, StartedWithoutAFileEndOpensTheLast) {
    const std::string folder = MakeFolder("nofile", {{"a.dds", 4}, {"b.dds", 8}, {"c.dds", 12}});
    g_Settings = ViewerSettings();
    Start();
    lstrcpynA(g_Settings.lastPath, folder.c_str(), MAX_PATH);
    HandleArgumentText(""); // as a start with this folder stored: it becomes the current one
    KeyDown(VK_END);
    EXPECT_EQ(Title(), "Brixa - [c.dds - 3/3] Zoom:100%");
    // A file deleted after the list was made is seen only after the next choice.
    ASSERT_TRUE(DeleteFileA((folder + "a.dds").c_str())) << GetLastError();
    KeyDown(VK_HOME);
    EXPECT_EQ(Title(), "Brixa - [c.dds - 3/3] Zoom:100%");
    EXPECT_EQ(Status(2), " Size: 12x16"); // its load failed and said so; c stays on show
    // The next step moves on from it.
    KeyDown(VK_NEXT);
    EXPECT_EQ(Title(), "Brixa - [b.dds - 2/3] Zoom:100%");
}

TEST_F(Window, WheelKeepsTheLevelPageDownResetsIt) {
    const std::string folder = MakeFolder("wheel", {{"m1.dds", 64}, {"m2.dds", 64}}, 5);
    Start();
    Open(folder + "m1.dds");
    KeyDown(VK_RIGHT);
    KeyDown(VK_RIGHT);
    ASSERT_EQ(Status(4), " MipMap: 3/5");
    SendMessageA(g_hWndMain, WM_MOUSEWHEEL, Wheel(-120), 0);
    Pump(10);
    EXPECT_EQ(Title(), "Brixa - [m2.dds - 2/2] Zoom:100%");
    EXPECT_EQ(Status(4), " MipMap: 3/5");
    SendMessageA(g_hWndMain, WM_MOUSEWHEEL, Wheel(120), 0);
    Pump(10);
    EXPECT_EQ(Title(), "Brixa - [m1.dds - 1/2] Zoom:100%");
    EXPECT_EQ(Status(4), " MipMap: 3/5");
    KeyDown(VK_NEXT);
    EXPECT_EQ(Title(), "Brixa - [m2.dds - 2/2] Zoom:100%");
    EXPECT_EQ(Status(4), " MipMap: 1/5");
    // A kept level the next file does not have: its last level, and the status says so.
    Dxt1File("two.dds", 64, 16, 2);
    CopyFileA((TempDir() + "\\two.dds").c_str(), (folder + "m3.dds").c_str(), FALSE);
    Open(folder + "m1.dds"); // the next step lists the folder again, now with m3
    KeyDown(VK_RIGHT);
    KeyDown(VK_RIGHT);
    KeyDown(VK_RIGHT);
    KeyDown(VK_RIGHT);
    ASSERT_EQ(Status(4), " MipMap: 5/5");
    SendMessageA(g_hWndMain, WM_MOUSEWHEEL, Wheel(-120), 0); // m2, level kept
    SendMessageA(g_hWndMain, WM_MOUSEWHEEL, Wheel(-120), 0); // m3, two levels only
    Pump(10);
    EXPECT_EQ(Title(), "Brixa - [m3.dds - 3/3] Zoom:100%");
    EXPECT_EQ(Status(4), " MipMap: 2/2");
    EXPECT_EQ(Status(2), " Size: 32x8");
    EXPECT_EQ(g_nLevel, 1);
    // In a zoom mode the wheel zooms and stays on the file.
    Command(IDM_WHEEL_ZOOM50);
    EXPECT_TRUE(Checked(IDM_WHEEL_ZOOM50));
    SendMessageA(g_hWndMain, WM_MOUSEWHEEL, Wheel(-120), 0);
    EXPECT_EQ(Title(), "Brixa - [m3.dds - 3/3] Zoom:150%");
}

TEST_F(Window, TwoPageDownsDuringOneLoadMakeOneStep) {
    const std::string folder = MakeFolder("busy", {{"a.dds", 4}, {"c.dds", 8}, {"d.dds", 12}});
    Dxt1File("big.dds", 4096, 4096);
    CopyFileA((TempDir() + "\\big.dds").c_str(), (folder + "b.dds").c_str(), FALSE);
    Start();
    Open(folder + "a.dds");
    KeyDown(VK_HOME); // the list is made
    ASSERT_EQ(Title(), "Brixa - [a.dds - 1/4] Zoom:100%");
    PostMessageA(g_hWndMain, WM_KEYDOWN, VK_NEXT, 1);
    PostMessageA(g_hWndMain, WM_KEYDOWN, VK_NEXT, 1);
    StepFile(+1); // b's load is running when the keys arrive
    Pump(10);
    EXPECT_EQ(Title(), "Brixa - [c.dds - 3/4] Zoom:100%");
    EXPECT_EQ(Status(2), " Size: 8x16");
    EXPECT_EQ(g_nLoadState, kLoadIdle);
}

TEST_F(Window, OpenDialogCancelledAndAccepted) {
    const std::string folder = MakeFolder("dialog", {{"a.dds", 4}, {"b.dds", 8}, {"c.dds", 12}});
    Start();
    KeyUp('O');
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "Open file...");
    EXPECT_EQ(Title(), "Brixa");
    constexpr int kNameBox = 0x47C; // the file name box of the common dialog
    g_answer = {"Open file...", {{kNameBox, folder + "b.dds"}}};
    Command(IDM_OPEN);
    Pump(20);
    ASSERT_EQ(g_dialogs.size(), 2u);
    EXPECT_EQ(Title(), "Brixa - [b.dds] Zoom:100%");
    EXPECT_STREQ(g_Settings.lastPath, folder.c_str());
    KeyDown(VK_NEXT);
    EXPECT_EQ(Title(), "Brixa - [c.dds - 3/3] Zoom:100%");
    // While busy the command is refused.
    g_nLoadState = kLoadBusy;
    Command(IDM_OPEN);
    EXPECT_EQ(g_dialogs.size(), 2u);
    g_nLoadState = kLoadIdle;
}

TEST_F(Window, ColourDialogCancelledAndAccepted) {
    Start();
    Open(SmallArgb());
    g_Settings.backgroundColor = {1, 2, 3};
    KeyUp('B');
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_Settings.backgroundColor.red, 1);
    constexpr int kRed = 706, kGreen = 707, kBlue = 708; // the colour dialog's number boxes
    g_answer = {g_dialogs[0].caption, {{kRed, "10"}, {kGreen, "20"}, {kBlue, "30"}}};
    Command(IDM_BACKGROUND);
    ASSERT_EQ(g_dialogs.size(), 2u);
    const ViewerSettings::Colour& c = g_Settings.backgroundColor;
    EXPECT_EQ(c.red, 10);
    EXPECT_EQ(c.green, 20);
    EXPECT_EQ(c.blue, 30);
}

TEST_F(Window, DroppedFiles) {
    const std::string folder = MakeFolder("drop", {{"a.dds", 4}, {"b.dds", 8}, {"c.dds", 12}});
    Start();
    PostMessageA(g_hWndMain, WM_DROPFILES, WPARAM(MakeDrop({folder + "note.txt"})), 0);
    Pump(20);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "Error...");
    EXPECT_EQ(g_dialogs[0].text, "Unsupported file format !");
    EXPECT_EQ(Title(), "Brixa");
    // Several files: the first only; its folder is the one cycled.
    PostMessageA(g_hWndMain, WM_DROPFILES, WPARAM(MakeDrop({folder + "b.dds", folder + "c.dds"})),
                 0);
    Pump(20);
    EXPECT_EQ(Title(), "Brixa - [b.dds] Zoom:100%");
    EXPECT_STREQ(g_Settings.lastPath, folder.c_str());
    KeyDown(VK_PRIOR);
    EXPECT_EQ(Title(), "Brixa - [a.dds - 1/3] Zoom:100%");
    // Wide names arrive converted; the list is made again after a drop.
    PostMessageA(g_hWndMain, WM_DROPFILES, WPARAM(MakeDrop({folder + "c.dds"}, true)), 0);
    Pump(20);
    EXPECT_EQ(Title(), "Brixa - [c.dds] Zoom:100%");
    KeyDown(VK_PRIOR);
    EXPECT_EQ(Title(), "Brixa - [b.dds - 2/3] Zoom:100%");
    EXPECT_EQ(g_dialogs.size(), 1u);
}

TEST_F(Window, NamesOutsideTheCodePage) {
    const std::string old = MakeFolder("old", {{"brick.dds", 4}});
    const std::string source = MakeFolder("source", {{"brick.dds", 8}});
    const std::string folder =
        TempDir() + "\\\xD0\xA2\xD0\xB5\xD0\xBA\xD1\x81\xD1\x82\\"; // Cyrillic
    CreateDirectoryW(Wide(folder).c_str(), nullptr);
    CopyFileW(Wide(source + "brick.dds").c_str(), Wide(folder + "brick.dds").c_str(), FALSE);
    Start();
    Open(old + "brick.dds");
    PostMessageA(g_hWndMain, WM_DROPFILES, WPARAM(MakeDrop({folder + "brick.dds"}, true)), 0);
    Pump(20);
    EXPECT_EQ(Status(2), " Size: 8x16"); // that folder's brick, not the old one's
    EXPECT_STREQ(g_Settings.lastPath, folder.c_str());
    // A folder that cannot be entered is said so, and no other is used instead.
    PostMessageA(g_hWndMain, WM_DROPFILES, WPARAM(MakeDrop({folder + "gone\\brick.dds"}, true)), 0);
    Pump(20);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "Error...");
    EXPECT_STREQ(g_Settings.lastPath, folder.c_str());
    KeyDown(VK_ESCAPE); // saved beside LastPath, which the ANSI code page cannot hold
    wchar_t stored[MAX_PATH] = L"";
    DWORD size = sizeof stored;
    RegGetValueW(HKEY_LOCAL_MACHINE, Wide(m_subkey).c_str(), L"LastPathW", RRF_RT_REG_SZ, nullptr,
                 stored, &size);
    EXPECT_EQ(Utf8(stored), folder);
}

TEST_F(Window, DropDuringALoadWaitsForIt) {
    const std::string folder = MakeFolder("dropbusy", {{"a.dds", 4}, {"c.dds", 12}});
    Dxt1File("big.dds", 4096, 4096);
    CopyFileA((TempDir() + "\\big.dds").c_str(), (folder + "b.dds").c_str(), FALSE);
    Start();
    Open(folder + "a.dds");
    KeyDown(VK_HOME);
    PostMessageA(g_hWndMain, WM_DROPFILES, WPARAM(MakeDrop({folder + "c.dds"})), 0);
    StepFile(+1); // b's load is running when the drop arrives: it stops, then c opens
    Pump(10);
    EXPECT_EQ(Title(), "Brixa - [c.dds] Zoom:100%");
    EXPECT_EQ(Status(2), " Size: 12x16");
    EXPECT_EQ(g_nLoadState, kLoadIdle);
}

// The drop of a file that is no DDS, made once the load is past its reads (they take any
// message at once): it lands in the decoding.
HDROP g_lateDrop = nullptr;
void CALLBACK DropLate(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    SendMessageA(g_hWndMain, WM_DROPFILES, WPARAM(g_lateDrop), 0);
}

TEST_F(Window, RefusedFileAfterAStoppedLoadPaintsNothingHalfMade) {
    Start();
    Open(SmallArgb());
    const std::string big =
        WriteTempFile("nodata.dds", FileBytes(HeadFourCC(4096, 4096, FOURCC_DXT1), {}));
    g_lateDrop = MakeDrop({WriteTempFile("text128.dds", std::vector<uint8_t>(128, 'x'))});
    SetTimer(nullptr, 0, 1, DropLate);
    lstrcpynA(g_szCurrentFileName, big.c_str(), MAX_PATH);
    OpenByName();
    Pump(20);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].text, "Error loading file !");
    RepaintNow();
    EXPECT_EQ(g_Texture.m_pDisplayImage, nullptr); // the stopped picture's images are let go
}

// ---- the file association, on scratch keys ---------------------------------------------------

// ---- the viewer's extras: channels, checkerboard, exposure, saving ------------------------------

TEST_F(Window, ChannelKeysShowOneChannelAsGrey) {
    Start();
    Open(SmallArgb());
    KeyUp('1');
    EXPECT_TRUE(Checked(IDM_CHANNEL_RED));
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFFFFFF, 0, 0, 0xFFFFFF})); // not blended
    char text[8] = "";
    GetMenuStringA(g_hMenu, IDM_RGB_INDICATOR, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "R");
    KeyUp('4');
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF, 0}));
    EXPECT_TRUE(Grey(IDM_RGB_INDICATOR));
    g_nLoadState = kLoadBusy; // ignored while busy
    KeyUp('2');
    g_nLoadState = kLoadIdle;
    EXPECT_EQ(g_Settings.channel, CHANNEL_ALPHA);
    KeyUp('4'); // the same key again: all channels
    EXPECT_TRUE(Checked(IDM_CHANNEL_ALL));
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0xFF00FF, 0x0000FF, 0xFF00FF}));
    Command(IDM_CHANNEL_GREEN);
    KeyDown(VK_ESCAPE);
    DWORD flags = 0;
    ASSERT_TRUE(ReadDword(HKEY_LOCAL_MACHINE, m_subkey, "Flags", flags));
    EXPECT_EQ(flags, 0xDEu | 2u << 13);
}

TEST_F(Window, CheckerboardUnderTheAlpha) {
    Start();
    Open(SmallArgb());
    KeyUp('K');
    EXPECT_TRUE(Checked(IDM_CHECKERBOARD));
    // Blended over black; the board is added where the picture is painted.
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0, 0x0000FF, 0}));
    HDC dc = GetDC(g_hWndMain);
    const RECT r = g_LastImageRect;
    EXPECT_EQ(GetPixel(dc, r.left, r.top), RGB(255, 0, 0));
    const uint32_t grey = CheckerGrey(r.left + 1, r.top);
    EXPECT_EQ(GetPixel(dc, r.left + 1, r.top), RGB(grey, grey, grey));
    ReleaseDC(g_hWndMain, dc);
    Command(IDM_CHECKERBOARD);
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0xFF00FF, 0x0000FF, 0xFF00FF}));
}

TEST_F(Window, ExposureOfAFloatTexture) {
    Start();
    Open(SmallArgb());
    KeyUp(VK_OEM_6); // no float data: ignored
    EXPECT_EQ(g_Settings.exposure, 0);
    Open(SmallFloat());
    KeyUp(VK_OEM_4);
    EXPECT_EQ(Status(6), " EV -1");
    // 0.125, 0.25, 0.5 over alpha 1; 1.0 at alpha 0.5 over magenta
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0x1F3F7F, 0xFF007F}));
    KeyUp(VK_OEM_6);
    KeyUp(VK_OEM_6);
    EXPECT_EQ(Status(6), " EV +1");
    KeyUp(VK_OEM_5);
    EXPECT_EQ(g_Settings.exposure, 0);
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0x3F7FFF, 0xFF007F}));
}

TEST_F(Window, TexelValuesFollowTheCursorAndCopy) {
    Start();
    Open(SmallFloat());
    Command(IDM_TEXEL_READOUT);
    RECT window;
    GetWindowRect(g_hWndMain, &window);
    EXPECT_GE(window.right - window.left, 860); // room for the seventh part
    POINT p = {g_LastImageRect.left + 1, g_LastImageRect.top};
    ClientToScreen(g_hWndMain, &p);
    SetCursorPos(p.x, p.y);
    SendMessageA(g_hWndMain, WM_SETCURSOR, WPARAM(g_hWndMain), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(Status(6), " R 2 G 0 B 0 A 0.5");
    Command(IDM_COPY);
    EXPECT_STREQ(Clipboard(CF_TEXT).c_str(), "1, 0: R 2 G 0 B 0 A 0.5");
}

TEST_F(Window, PictureCopiedAndSaved) {
    Deadline(10000);
    Start();
    Open(SmallArgb());
    Command(IDM_COPY_PICTURE);
    const std::string dib = Clipboard(CF_DIB);
    ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER) + 16);
    BITMAPINFOHEADER h;
    std::memcpy(&h, dib.data(), sizeof h);
    EXPECT_EQ(h.biWidth, 2);
    EXPECT_EQ(h.biHeight, 2);
    uint32_t pixels[4];
    std::memcpy(pixels, dib.data() + sizeof h, 16);
    EXPECT_EQ(pixels[0], 0xFF0000FFu); // bottom row first: blue, then magenta
    EXPECT_EQ(pixels[3], 0xFFFF00FFu);

    const std::string png = std::string(g_Settings.lastPath) + "saved.png";
    DeleteFileA(png.c_str());
    g_answer = {"Save view as PNG...", {{0x47C, png}}};
    KeyUp('S'); // the letter alone does nothing
    EXPECT_TRUE(g_dialogs.empty());
    Command(IDM_SAVE_PNG);
    Pump(50);
    FILE* f = std::fopen(png.c_str(), "rb");
    ASSERT_TRUE(f);
    uint8_t head[24] = {};
    EXPECT_EQ(std::fread(head, 1, 24, f), 24u);
    std::fclose(f);
    EXPECT_EQ(std::memcmp(head, "\x89PNG", 4), 0);
    EXPECT_EQ(head[19], 2); // width
    EXPECT_EQ(head[23], 2); // height
}

TEST_F(Window, LiveReloadKeepsTheLevelAndReportsARemovedFile) {
    Start();
    KeyUp('L');
    EXPECT_TRUE(Checked(IDM_LIVE_RELOAD));
    const std::string path = Dxt1File("live.dds", 8, 8, 2);
    Open(path);
    KeyDown(VK_RIGHT);
    const std::vector<uint32_t> before = Picture();
    // Written in two steps: the first, half-written, must not be read.
    std::vector<uint8_t> bytes = FileBytes(HeadFourCC(8, 8, FOURCC_DXT1, 2), Pattern(40, 9));
    WriteTempFile("live.dds", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 100));
    Pump(100);
    EXPECT_EQ(Picture(), before);
    WriteTempFile("live.dds", bytes);
    Pump(400);
    EXPECT_EQ(g_nLevel, 1);
    EXPECT_EQ(Status(2), " Size: 4x4");
    EXPECT_NE(Picture(), before);
    EXPECT_TRUE(g_dialogs.empty()); // no error box for the half-written file
    const std::vector<uint32_t> after = Picture();
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    Pump(400);
    EXPECT_NE(Title().find("[live.dds (deleted)]"), std::string::npos) << Title();
    EXPECT_EQ(Picture(), after);
}

// ---- keys, settings and reloads as a user meets them -----------------------------------------

TEST_F(Window, LastPathOutsideTheCodePageReadBack) {
    const std::wstring folder =
        Wide(TempDir() + "\\\xD0\x9F\xD1\x83\xD1\x82\xD1\x8C\\"); // Cyrillic
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteDword(HKEY_LOCAL_MACHINE, m_subkey, "RegVer", 3);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, m_subkey.c_str(), "LastPath", REG_SZ, "", 1);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, Wide(m_subkey).c_str(), L"LastPathW", REG_SZ,
                    folder.c_str(), DWORD(folder.size() + 1) * 2);
    Start();
    EXPECT_EQ(g_Settings.lastPath, Utf8(folder.c_str()));
    KeyDown(VK_ESCAPE); // saved again: the code page has no name for it
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, m_subkey, "LastPath"), "");
}

TEST_F(Window, KeyZeroShowsEveryChannel) {
    Start();
    Open(SmallArgb());
    KeyUp('2');
    KeyUp('0');
    EXPECT_TRUE(Checked(IDM_CHANNEL_ALL));
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0xFF00FF, 0x0000FF, 0xFF00FF}));
}

// Typed on the keyboard: Ctrl+C copies, and its C does not also clip the window; C alone does.
TEST_F(Window, CtrlCTypedDoesNotClip) {
    Start();
    Open(SmallArgb());
    SetForegroundWindow(g_hWndMain);
    const bool clipped = Checked(IDM_CLIP_TO_MONITOR);
    const struct {
        std::vector<BYTE> keys;
        bool clips;
    } cases[] = {{{VK_CONTROL, 'C'}, false}, {{'C'}, true}};
    for (const auto& c : cases) {
        for (BYTE key : c.keys) keybd_event(key, 0, 0, 0);
        for (auto k = c.keys.rbegin(); k != c.keys.rend(); ++k)
            keybd_event(*k, 0, KEYEVENTF_KEYUP, 0);
        Pump(50);
        EXPECT_EQ(Checked(IDM_CLIP_TO_MONITOR), clipped != c.clips) << c.keys.size();
    }
}

TEST_F(Window, LiveReloadAfterAFailedFileKeepsTheFileOnShow) {
    Start();
    KeyUp('L');
    Open(Dxt1File("kept.dds", 8, 8));
    Open(WriteTempFile("refused.dds", {'n', 'o'}));
    ASSERT_EQ(g_dialogs.size(), 1u);
    Dxt1File("kept.dds", 16, 8);
    Pump(400);
    EXPECT_EQ(Status(2), " Size: 16x8");
    EXPECT_EQ(Title(), "Brixa - [kept.dds] Zoom:100%");
    EXPECT_EQ(g_dialogs.size(), 1u);
}

// One channel on show is never blended: not over the checkerboard, nor in a cube's empty cells.
TEST_F(Window, IsolatedChannelNeverBlends) {
    Start();
    Open(SmallArgb());
    KeyUp('K');
    KeyUp('4');
    HDC dc = GetDC(g_hWndMain);
    RECT r = g_LastImageRect;
    EXPECT_EQ(GetPixel(dc, r.left + 1, r.top), RGB(0, 0, 0)); // clear green: alpha 0, no board
    KeyUp('K');
    Open(CubeFile());
    KeyUp('V');
    r = g_LastImageRect;
    EXPECT_EQ(GetPixel(dc, r.left + (r.right - r.left) / 8, r.top + (r.bottom - r.top) / 6),
              RGB(0, 0, 0)); // an empty cell: no background
    ReleaseDC(g_hWndMain, dc);
    KeyUp('V'); // the cross is left as the next test expects it
}

// 1 x 1 R8G8B8A8 (0x40, 0x20, 0x10, alpha 0x80) of a DX10 alpha mode.
std::string AlphaModeFile(uint32_t mode) {
    dds::DdsHeadDx10 ext = Dx10(28);
    ext.miscFlags2 = mode;
    return WriteTempFile("mode" + std::to_string(mode) + ".dds",
                         Dx10FileBytes(HeadFourCC(1, 1, 0), ext, {0x40, 0x20, 0x10, 0x80}));
}

TEST_F(Window, AlphaAsTheFileMeansIt) {
    Start();
    Open(AlphaModeFile(ALPHA_MODE_PREMULTIPLIED));
    EXPECT_EQ(Status(1), " Format: R8G8B8A8_UNORM (premultiplied)");
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xBF208F})); // 64 + 255 x 127 / 255 ...
    KeyUp('K'); // over black the colour as stored; painting adds the board by what alpha leaves
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0x402010}));
    HDC dc = GetDC(g_hWndMain);
    const RECT r = g_LastImageRect;
    const uint32_t under = (CheckerGrey(r.left, r.top) * 127 + 127) / 255;
    EXPECT_EQ(GetPixel(dc, r.left, r.top), RGB(0x40 + under, 0x20 + under, 0x10 + under));
    Open(AlphaModeFile(ALPHA_MODE_CUSTOM)); // alpha is data: never blended
    EXPECT_EQ(Status(1), " Format: R8G8B8A8_UNORM (custom)");
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0x402010}));
    EXPECT_EQ(GetPixel(dc, g_LastImageRect.left, g_LastImageRect.top), RGB(0x40, 0x20, 0x10));
    KeyUp('A');
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0x808080}));
    KeyUp('A');
    KeyUp('K');
    ReleaseDC(g_hWndMain, dc);
}

TEST_F(Window, FloatRangeMarksAndCurve) {
    Start();
    // Halves (1, 2, 3), (5, 1, 1), (NaN, 1, 1), alpha 1.
    std::vector<uint8_t> halves;
    for (uint16_t h : {0x3C00, 0x4000, 0x4200, 0x3C00, 0x4500, 0x3C00, 0x3C00, 0x3C00, 0x7E00,
                       0x3C00, 0x3C00, 0x3C00})
        Put16(halves, h);
    Open(WriteTempFile("range.dds", Dx10FileBytes(HeadFourCC(3, 1, 0), Dx10(10), halves)));
    KeyUp('R');
    EXPECT_TRUE(Checked(IDM_AUTO_RANGE) && Checked(IDM_MARK_NONFINITE));
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0x003F7F, 0xFF0000, 0xFF00FF}));
    Command(IDM_SRGB_CURVE);
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0x0088BB, 0xFF0000, 0xFF00FF}));
    Command(IDM_MARK_NONFINITE); // NaN counts as 0
    EXPECT_EQ(Picture()[2], 0u);
    // A cube of 1 x 1 R32F faces +X 0, -X 1, ... -Z 5 as a cross: one range for the six.
    DdsHead head = HeadFourCC(1, 1, 114);
    head.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
    std::vector<uint8_t> faces;
    for (float f : {0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f}) PutFloat(faces, f);
    Open(WriteTempFile("floatcube.dds", FileBytes(head, faces)));
    KeyUp('V');
    const uint32_t* across = Shown().pixels + kCrossColumns; // -X, +Z, +X, -Z
    EXPECT_EQ((std::vector<uint32_t>{across[0] >> 16 & 255, across[1] >> 16 & 255,
                                     across[2] >> 16 & 255, across[3] >> 16 & 255}),
              (std::vector<uint32_t>{123, 231, 0, 255})); // 0.2, 0.8, 0, 1 through the curve
    KeyUp('V');
    Open(SmallArgb()); // not float data: as it was
    EXPECT_EQ(Picture(), (std::vector<uint32_t>{0xFF0000, 0xFF00FF, 0x0000FF, 0xFF00FF}));
    Command(IDM_MARK_NONFINITE);
    Command(IDM_SRGB_CURVE);
    KeyUp('R');
}

// Pixels of the image area's middle band, outside the picture, not in the background colour.
int HintPixels() {
    RECT client;
    GetClientRect(g_hWndMain, &client);
    HDC dc = GetDC(g_hWndMain);
    const int y0 = (client.bottom - StatusBarHeight()) / 2;
    int count = 0;
    for (int y = y0 - 8; y < y0 + 8; ++y)
        for (int x = 0; x < client.right; x += 2) {
            const POINT p = {x, y};
            if (!PtInRect(&g_LastImageRect, p) &&
                GetPixel(dc, x, y) != GetSysColor(COLOR_SCROLLBAR))
                ++count;
        }
    ReleaseDC(g_hWndMain, dc);
    return count;
}

TEST_F(Window, HintUntilTheFirstPicture) {
    Start();
    RedrawWindow(g_hWndMain, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_GT(HintPixels(), 50);
    Open(SmallArgb());
    EXPECT_EQ(HintPixels(), 0);
}

// A path on the command line that cannot be shown: said at start-up, naming it.
struct ArgumentCase {
    const char* argument; // "*" stands for the test's folder
    const char* caption;
    const char* text;
};
class StartArgument : public Window, public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(StartArgument, SaysWhatIsWrong) {
    const std::string folder = TempDir();
    WriteTempFile("picture.png", {1, 2, 3});
    SetCurrentDirectoryA(folder.c_str());
    std::string argument = GetParam().argument, text = GetParam().text;
    if (argument.find('*') != std::string::npos) argument.replace(argument.find('*'), 1, folder);
    if (text.find('*') != std::string::npos) text.replace(text.find('*'), 1, folder);
    Start(argument);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, GetParam().caption);
    EXPECT_EQ(g_dialogs[0].text.substr(0, text.size()), text);
    EXPECT_EQ(g_szShownFileName[0], '\0');
}
INSTANTIATE_TEST_SUITE_P(
    Window, StartArgument,
    ::testing::Values(ArgumentCase{"picture.png", "Error...", "Not a DDS file: picture.png"},
                      ArgumentCase{"\"*\\no such.dds\"", "Error...",
                                   "File not found: *\\no such.dds"},
                      ArgumentCase{"missing.dds", "Error...", "File not found: *\\missing.dds"},
                      ArgumentCase{"*", "Error...", "Not a DDS file: * (a folder)"},
                      ArgumentCase{"--help", "Brixa", "Usage: Brixa.exe [FILE.dds]"}));

class Association : public Window {
  protected:
    void SetUp() override {
        Window::SetUp();
        m_base = m_subkey + "assoc\\";
        RegCreateKeyExA(HKEY_CURRENT_USER, (m_base + "classes").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &g_hClassesRoot, nullptr);
        RegCreateKeyExA(HKEY_CURRENT_USER, (m_base + "user").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &g_hUserRoot, nullptr);
    }
    void TearDown() override {
        RegCloseKey(g_hClassesRoot);
        RegCloseKey(g_hUserRoot);
        g_hClassesRoot = HKEY_CLASSES_ROOT;
        g_hUserRoot = HKEY_CURRENT_USER;
        g_refusedRoot = nullptr;
        DeleteKey(HKEY_CURRENT_USER, m_base);
        Window::TearDown();
    }
    // Every key and value under a root, one line each.
    static std::string Dump(HKEY root, const std::string& path = "") {
        std::string out;
        HKEY key;
        if (RegOpenKeyExA(root, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key))
            return out;
        char name[256], data[512];
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                              reinterpret_cast<BYTE*>(data), &dataSize))
                break;
            out += path + " [" + name + "] " + std::to_string(type) + " " +
                   std::string(data, dataSize) + "\n";
        }
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = sizeof name;
            if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr)) break;
            out += path + "\\" + name + "\n";
            out += Dump(root, path.empty() ? name : path + "\\" + name);
        }
        RegCloseKey(key);
        return out;
    }
    static std::string ModulePath() {
        char module[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, module, sizeof module);
        return module;
    }
    static std::string UserClasses() { return Dump(g_hUserRoot, "Software\\Classes"); }
    std::string m_base;
};

const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS";

TEST_F(Association, WritesTheUserKeysOnceAndRemovesThem) {
    Start();
    for (const char* sub : {"\\OpenWithList", "\\OpenWithProgids"})
        WriteDword(g_hUserRoot, std::string(kFileExts) + sub, "x", 1);
    Command(IDM_ASSOCIATE);
    // The module path as the system gives it, with the program's icon, in the user's classes.
    const std::string c = "Software\\Classes\\", z(1, '\0'), m = ModulePath();
    const std::string expected =
        c + ".dds\n" + c + ".dds [] 1 Brixa.exe" + z + "\n" + c + "Brixa.exe\n" + c +
        "Brixa.exe\\DefaultIcon\n" + c + "Brixa.exe\\DefaultIcon [] 1 " + m + ",0" + z + "\n" + c +
        "Brixa.exe\\shell\n" + c + "Brixa.exe\\shell\\Open\n" + c +
        "Brixa.exe\\shell\\Open\\command\n" + c + "Brixa.exe\\shell\\Open\\command [] 1 \"" + m +
        "\" \"%1\"" + z + "\n";
    EXPECT_EQ(UserClasses(), expected);
    EXPECT_EQ(Dump(g_hClassesRoot), "");
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "Information...");
    EXPECT_EQ(g_dialogs[0].text,
              "All your DDS files have been associated with [" + ModulePath() + "].");
    HKEY gone;
    EXPECT_NE(RegOpenKeyExA(g_hUserRoot, kFileExts, 0, KEY_READ, &gone), ERROR_SUCCESS);
    Command(IDM_ASSOCIATE);
    EXPECT_EQ(UserClasses(), expected);
    // Asked and answered No: nothing changes.
    Command(IDM_REMOVE_ASSOCIATION);
    ASSERT_EQ(g_dialogs.size(), 3u);
    EXPECT_EQ(g_dialogs[2].caption, "Warning...");
    EXPECT_EQ(g_dialogs[2].text, "Do you really want to remove DDS file association with Brixa ?");
    EXPECT_EQ(UserClasses(), expected);
    g_boxAnswer = IDYES;
    Command(IDM_REMOVE_ASSOCIATION);
    EXPECT_EQ(UserClasses(), "");
    ASSERT_EQ(g_dialogs.size(), 5u);
    EXPECT_EQ(g_dialogs[4].text, "Registry removing finished.");
    // Nothing left to remove: the same answer.
    Command(IDM_REMOVE_ASSOCIATION);
    ASSERT_EQ(g_dialogs.size(), 7u);
    EXPECT_EQ(g_dialogs[6].text, "Registry removing finished.");
}

TEST_F(Association, StandardUserRegistersInTheUserClasses) {
    Start();
    g_refusedRoot = g_hClassesRoot;
    g_pfnRegCreateKeyExA = RefusingCreateKey;
    Command(IDM_ASSOCIATE);
    EXPECT_EQ(Dump(g_hClassesRoot), "");
    EXPECT_EQ(ReadString(g_hUserRoot, "Software\\Classes\\.dds", nullptr), "Brixa.exe");
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "Information...");
    // The user's classes cannot be written: the error, and nothing else.
    g_refusedRoot = HKEY(-1);
    g_dialogs.clear();
    Command(IDM_ASSOCIATE);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].caption, "Error...");
    EXPECT_EQ(g_dialogs[0].text, "Failed to open/create a registry key !");
}

// Remove takes away whichever Brixa association is in force: its own, the installer's of
// earlier versions (Brixa.DdsFile), the machine-wide one of earlier versions; the previous
// default comes back, what others registered stays.
TEST_F(Association, RemoveGivesBackWhatOthersRegistered) {
    Start();
    g_boxAnswer = IDYES;
    const std::string c = "Software\\Classes\\";
    RegSetKeyValueA(g_hUserRoot, (c + ".dds").c_str(), nullptr, REG_SZ, "OtherViewer.dds", 16);
    Command(IDM_REMOVE_ASSOCIATION); // not Brixa's: nothing goes
    EXPECT_EQ(ReadString(g_hUserRoot, c + ".dds", nullptr), "OtherViewer.dds");
    WriteDword(g_hUserRoot, c + ".dds\\OpenWithProgids", "x", 1);
    const std::string before = UserClasses();
    Command(IDM_ASSOCIATE);
    Command(IDM_ASSOCIATE); // again: the class before is still the other program's
    EXPECT_EQ(ReadString(g_hUserRoot, c + ".dds", nullptr), "Brixa.exe");
    Command(IDM_REMOVE_ASSOCIATION);
    EXPECT_EQ(UserClasses(), before);

    const struct {
        HKEY root;
        std::string classes, progId;
    } others[] = {{g_hUserRoot, c, "Brixa.DdsFile"}, {g_hClassesRoot, "", "Brixa.exe"}};
    for (const auto& o : others) {
        RegSetKeyValueA(o.root, (o.classes + ".dds").c_str(), nullptr, REG_SZ, "OtherViewer.dds",
                        16);
        const std::string saved = Dump(o.root, o.classes.empty() ? "" : "Software\\Classes");
        RegSetKeyValueA(o.root, (o.classes + ".dds").c_str(), "Brixa.PreviousClass", REG_SZ,
                        "OtherViewer.dds", 16);
        RegSetKeyValueA(o.root, (o.classes + ".dds").c_str(), nullptr, REG_SZ, o.progId.c_str(),
                        DWORD(o.progId.size() + 1));
        RegSetKeyValueA(o.root, (o.classes + o.progId + "\\shell\\open\\command").c_str(), nullptr,
                        REG_SZ, "x", 2);
        RegSetKeyValueA(o.root, (o.classes + o.progId + "\\DefaultIcon").c_str(), nullptr, REG_SZ,
                        "x", 2);
        Command(IDM_REMOVE_ASSOCIATION);
        EXPECT_EQ(Dump(o.root, o.classes.empty() ? "" : "Software\\Classes"), saved) << o.progId;
    }
}

} // namespace

// ---- what is on show: the picture, its name and its file stay together ----------------------

namespace {
void WriteIn(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* out = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

// w x h A8R8G8B8 of one colour (0xAARRGGBB), a full cube when `cube`.
std::vector<uint8_t> Plain(uint32_t w, uint32_t h, uint32_t argb, bool cube = false) {
    DdsHead head = HeadMasks(w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    if (cube) head.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
    std::vector<uint8_t> pixels;
    for (uint32_t i = 0; i < w * h * (cube ? 6 : 1); ++i) Put32(pixels, argb);
    return FileBytes(head, pixels);
}

// The save dialog: the name it proposes noted, then held open for a while and answered with
// a name (none: cancelled).
std::string g_proposedName, g_heldSaveName;
UINT g_holdMs = 0;
HHOOK g_holdHook = nullptr;
HWND g_heldDialog = nullptr;
void CALLBACK AnswerHeldDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    SetDlgItemTextA(g_heldDialog, 0x47C, g_heldSaveName.c_str());
    PostMessageA(g_heldDialog, WM_COMMAND, g_heldSaveName.empty() ? IDCANCEL : IDOK, 0);
}
LRESULT CALLBACK HoldSaveDialog(int code, WPARAM wParam, LPARAM lParam) {
    char caption[64] = "", name[MAX_PATH] = "";
    if (code == HCBT_ACTIVATE && GetWindowTextA(HWND(wParam), caption, sizeof caption) &&
        !std::strcmp(caption, "Save view as PNG...")) {
        g_heldDialog = HWND(wParam);
        GetDlgItemTextA(g_heldDialog, 0x47C, name, sizeof name);
        g_proposedName = name;
        SetTimer(nullptr, 0, g_holdMs, AnswerHeldDialog);
        return 0; // not the other hook's: it would answer at once
    }
    return CallNextHookEx(g_holdHook, code, wParam, lParam);
}
void SaveThroughTheHeldDialog(UINT holdMs, const std::string& name) {
    g_holdMs = holdMs;
    g_heldSaveName = name;
    g_proposedName = "<no dialog>";
    g_holdHook = SetWindowsHookExA(WH_CBT, HoldSaveDialog, nullptr, GetCurrentThreadId());
    SendMessageA(g_hWndMain, WM_COMMAND, IDM_SAVE_PNG, 0);
    UnhookWindowsHookEx(g_holdHook);
}
} // namespace

// Live reload replaces the file with one of an unknown format while the save dialog is open:
// the picture the user chose to save is saved, and the new file shown after.
TEST_F(Window, SaveWhileLiveReloadReplacesTheFile) {
    const std::string path = WriteTempFile("replaced.dds", Plain(64, 64, 0xFFFF0000));
    Start();
    KeyUp('L');
    Open(path);
    WriteTempFile("replaced.dds", FileBytes(HeadFourCC(64, 64, 0x12345678), {}));
    const std::string png = TempDir() + "\\replaced.png";
    DeleteFileA(png.c_str());
    SaveThroughTheHeldDialog(600, png);
    FILE* f = std::fopen(png.c_str(), "rb");
    ASSERT_TRUE(f);
    uint8_t head[24] = {};
    EXPECT_EQ(std::fread(head, 1, 24, f), 24u);
    std::fclose(f);
    EXPECT_EQ(head[19], 64); // the picture on show when Save was chosen
    Pump(400);
    EXPECT_EQ(Status(1), " Format: Format Unknown"); // read again once the dialog had gone
}

// A cube whose cross would need more memory than any picture may: said so, and one face shown.
TEST_F(Window, CrossTooLargeShowsOneFace) {
    DdsHead head = HeadFourCC(8192, 8192, FOURCC_DXT1);
    head.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
    Start();
    Command(IDM_CUBE_CROSS);
    Open(WriteTempFile("hugecube.dds", FileBytes(head, {})));
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(g_dialogs[0].text.rfind("Not enough memory to show this picture.", 0), 0u);
    EXPECT_EQ(Status(3), " Side: 1/6");
}

// The cross is composed again from the faces read at the load, whatever became of the file,
// and its empty cells follow the channel on show.
TEST_F(Window, CrossRecomposedFromMemory) {
    DdsHead head = HeadMasks(2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    head.dwCaps2 = DDSCAPS2_CUBEMAP | DDSCAPS2_CUBEMAP_ALLFACES;
    std::vector<uint8_t> faces; // +X red, -X green, +Y blue, -Y yellow, +Z cyan, -Z white
    for (uint32_t p : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u, 0xFF00FFFFu, ~0u})
        for (int i = 0; i < 4; ++i) Put32(faces, p);
    const std::string path = WriteTempFile("gone.dds", FileBytes(head, faces));
    Start();
    Command(IDM_CUBE_CROSS);
    Open(path);
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    const struct {
        UINT key;
        COLORREF empty, minusX, plusX;
    } steps[] = {
        {'1', RGB(0, 0, 0), RGB(0, 0, 0), RGB(255, 255, 255)},   // red as grey, over nothing
        {'1', RGB(255, 0, 255), RGB(0, 255, 0), RGB(255, 0, 0)}, // all again, over the background
    };
    for (const auto& s : steps) {
        KeyUp(s.key);
        const RECT r = g_LastImageRect;
        const int cw = (r.right - r.left) / 4, ch = (r.bottom - r.top) / 3, y = r.top + ch / 2;
        HDC dc = GetDC(g_hWndMain);
        EXPECT_EQ(GetPixel(dc, r.left + cw / 2, y), s.empty);
        EXPECT_EQ(GetPixel(dc, r.left + cw / 2, y + ch), s.minusX);
        EXPECT_EQ(GetPixel(dc, r.left + 2 * cw + cw / 2, y + ch), s.plusX);
        ReleaseDC(g_hWndMain, dc);
    }
}

// A step stopped by the next one, which fails: the file on show stays named, watched and saved.
TEST_F(Window, StoppedLoadThenAFailureKeepTheFileOnShow) {
    const std::string folder = MakeFolder("stopped", {{"a.dds", 4}});
    Dxt1File("big.dds", 4096, 4096);
    CopyFileA((TempDir() + "\\big.dds").c_str(), (folder + "b.dds").c_str(), FALSE);
    WriteIn(folder + "c.dds", std::vector<uint8_t>(128, 'x'));
    Start();
    Open(folder + "a.dds");
    KeyDown(VK_HOME);
    PostMessageA(g_hWndMain, WM_KEYDOWN, VK_NEXT, 1);
    StepFile(+1); // b's load is running when the key arrives; then c fails
    Pump(20);
    ASSERT_EQ(g_dialogs.size(), 1u);
    EXPECT_EQ(Title(), "Brixa - [a.dds - 1/3] Zoom:100%");
    EXPECT_EQ(g_sShownPath, folder + "a.dds");
}

// A failed open in another folder leaves live reload, the folder and Save on the file on show.
TEST_F(Window, FailedOpenElsewhereKeepsWatchingTheFileOnShow) {
    const std::string one = MakeFolder("watch1", {}), two = MakeFolder("watch2", {});
    WriteIn(one + "a.dds", Plain(64, 64, 0xFFFF0000));
    WriteIn(one + "b.dds", std::vector<uint8_t>(128, 'x'));
    WriteIn(two + "a.dds", Plain(32, 32, 0xFF00FF00));
    WriteIn(two + "bad.dds", std::vector<uint8_t>(128, 'x'));
    Start();
    KeyUp('L');
    Open(one + "a.dds");
    SendMessageA(g_hWndMain, WM_DROPFILES, WPARAM(MakeDrop({two + "bad.dds"})), 0);
    Pump(600);
    EXPECT_EQ(Status(2), " Size: 64x64");
    EXPECT_EQ(Title(), "Brixa - [a.dds] Zoom:100%");
    EXPECT_EQ(std::string(g_Settings.lastPath), one);
    KeyDown(VK_NEXT); // b fails too
    SaveThroughTheHeldDialog(0, "");
    EXPECT_EQ(g_proposedName, "a.png");
}

// A key that arrives during a recomposition waits for it: the picture is one whole composition.
TEST_F(Window, RecompositionRunsToItsEnd) {
    const std::string folder = MakeFolder("alone", {});
    Dxt1File("big.dds", 4096, 4096);
    CopyFileA((TempDir() + "\\big.dds").c_str(), (folder + "big.dds").c_str(), FALSE);
    Start();
    g_Settings.wrapAround = false;
    Open(folder + "big.dds");
    PostMessageA(g_hWndMain, WM_KEYDOWN, VK_DOWN, 1);
    Command(IDM_CHANNEL_GREEN);
    Pump(20);
    size_t coloured = 0;
    for (uint32_t p : Picture()) coloured += (p >> 16 & 255) != (p >> 8 & 255);
    EXPECT_EQ(coloured, 0u);
}

// The tile view: the picture 3 x 3 with no seam between tiles, the cursor's pixel taken modulo
// the picture, the nine copied; all levels win over it.
TEST_F(Window, TileViewRepeatsThePicture) {
    Start();
    Open(SmallArgb()); // red, green over blue, white; green and white have no alpha
    SetZoomFactor(8.0f);
    KeyUp('W');
    const RECT r = g_LastImageRect;
    ASSERT_EQ(r.right - r.left, 48);
    const struct {
        int x, y;
        COLORREF colour;
    } pixels[] = {{3, 0, RGB(255, 0, 255)},
                  {4, 5, RGB(0, 0, 255)},
                  {0, 3, RGB(0, 0, 255)},
                  {2, 2, RGB(255, 0, 0)},
                  {5, 4, RGB(255, 0, 255)}}; // green: no alpha
    HDC dc = GetDC(g_hWndMain);
    for (const auto& p : pixels)
        EXPECT_EQ(GetPixel(dc, r.left + 8 * p.x + 4, r.top + 8 * p.y + 4), p.colour) << p.x;
    ReleaseDC(g_hWndMain, dc);
    POINT at = {r.left + 8 * 5 + 4, r.top + 8 * 2 + 4};
    ClientToScreen(g_hWndMain, &at);
    SetCursorPos(at.x, at.y);
    SendMessageA(g_hWndMain, WM_SETCURSOR, WPARAM(g_hWndMain), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(Title(), "Brixa - [small.dds] Zoom:800% Pos:1x0");
    Command(IDM_COPY_PICTURE);
    BITMAPINFOHEADER h = {};
    std::memcpy(&h, Clipboard(CF_DIB).data(), sizeof h);
    EXPECT_EQ(h.biWidth, 6);
    EXPECT_EQ(h.biHeight, 6);
    KeyUp('M');
    EXPECT_TRUE(Grey(IDM_TILE));
    KeyUp('W'); // greyed: nothing
    EXPECT_TRUE(Checked(IDM_TILE));
    EXPECT_EQ(g_LastImageRect.right - g_LastImageRect.left, 16);
}

// All levels side by side, read once: they are composed again, stepped through and named under
// the cursor after the file has gone.
TEST_F(Window, AllLevelsFromMemory) {
    std::vector<uint8_t> levels; // 4 x 2 red, 2 x 1 green, 1 x 1 blue
    for (const auto& level : {std::make_pair(8, 0xFFFF0000u), std::make_pair(2, 0xFF00FF00u),
                              std::make_pair(1, 0xFF0000FFu)})
        for (int i = 0; i < level.first; ++i) Put32(levels, level.second);
    DdsHead head = HeadMasks(4, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    head.dwMipMapCount = 3;
    const std::string path = WriteTempFile("levels.dds", FileBytes(head, levels));
    Start();
    Command(IDM_TEXEL_READOUT);
    Open(path);
    KeyUp('M');
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    SetZoomFactor(8.0f);
    const RECT r = g_LastImageRect;
    ASSERT_EQ(r.right - r.left, 56);
    const struct {
        UINT key;
        COLORREF level0, level1, level2, empty;
    } steps[] = {{0, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 0, 255)},
                 {'2', RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 0, 0)}};
    for (const auto& s : steps) {
        if (s.key) KeyUp(s.key);
        HDC dc = GetDC(g_hWndMain);
        EXPECT_EQ(GetPixel(dc, r.left + 4, r.top + 12), s.level0);
        EXPECT_EQ(GetPixel(dc, r.left + 44, r.top + 4), s.level1);
        EXPECT_EQ(GetPixel(dc, r.left + 52, r.top + 4), s.level2);
        EXPECT_EQ(GetPixel(dc, r.left + 52, r.top + 12), s.empty); // below level 2
        ReleaseDC(g_hWndMain, dc);
    }
    KeyUp('2');
    POINT at = {r.left + 44, r.top + 4};
    ClientToScreen(g_hWndMain, &at);
    SetCursorPos(at.x, at.y);
    SendMessageA(g_hWndMain, WM_SETCURSOR, WPARAM(g_hWndMain), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(Title(), "Brixa - [levels.dds] Zoom:800% Pos:1x0 MipMap:2");
    EXPECT_EQ(Status(6).rfind(" MipMap 2: ", 0), 0u) << Status(6);
    KeyDown(VK_RIGHT);
    KeyDown(VK_RIGHT);
    EXPECT_EQ(Status(4), " MipMap: 3/3");
    EXPECT_TRUE(g_dialogs.empty()); // the file was never read again
    KeyUp('M');
    EXPECT_EQ(Picture(), std::vector<uint32_t>{0x0000FF});
}
