// The main window's handles and private messages: what the view draws into and sends.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Process-wide window state, alive for the whole run.
extern HINSTANCE g_hInst;
extern HWND g_hWndMain;
extern HWND g_hStatusBar;
extern HWND g_hProgressBar;
// The window's procedure, set when its class is registered: a deferred request is replayed
// through it even when the window has gone meanwhile (a WM_DESTROY during a load).
extern WNDPROC g_pfnMainWndProc;
// How the program was asked to show its window (WinMain's showCommand).
extern int g_nShowCommand;
// Shows the main window the first time it is called, as g_nShowCommand says. At start the
// window waits until it is placed for the named file's picture and its decoding has begun (or
// the load takes long enough for the progress bar, or ends), so that no window of the wrong
// size is ever seen.
void ShowMainWindow();

// The two private messages of long operations.
constexpr UINT WM_BRIXA_PROGRESS = WM_USER + 10;
constexpr UINT WM_BRIXA_CONTINUE = WM_USER + 11;
// Live reload: a change in the folder of the file on show (posted by a thread of its own).
constexpr UINT WM_BRIXA_FOLDER_CHANGED = WM_USER + 12;
// The timer that looks at the file on show while live reload is on.
constexpr UINT_PTR kReloadTimer = 1;

#include <string>

// Names are UTF-8 inside the program and wide at the system.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* wide);
// The full path of a name in the current folder (the name itself when the system has none).
std::string FullPathOf(const std::string& name);
// Makes the folder the current one; when it cannot be entered, says so (the folder and the
// system's reason) and returns false: no other folder is used in its place.
bool EnterFolder(const std::string& folder);
