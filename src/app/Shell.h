// The program's start-up, main window, settings store and About box (Win32).
#pragma once

#include "view/Window.h"

// The program's own state beside the window's handles, alive for the whole run.
extern HMENU g_hMenu;
extern HACCEL g_hAccel;
extern char g_szTitle[100];
extern char g_szWindowClass[100];

// Start-up up to the message loop: strings, class, window, accelerators, menu states, the
// argument text. False when the main window cannot be created. The window shows once it is
// placed for the named file's picture (ShowMainWindow), as that picture's decoding begins.
bool StartUp(HINSTANCE instance, const char* argumentText, int showCommand);
ATOM RegisterMainClass(HINSTANCE instance);
// The window, its bars and its place, not shown yet; showCommand is kept for ShowMainWindow.
BOOL InitMainWindow(HINSTANCE instance, int showCommand);
void SetInitialMenuStates();
void HandleArgumentText(const char* argumentText);
// Runs until WM_QUIT; returns its wParam.
int RunMessageLoop();

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void ToggleUseAlpha();
void ToggleShowAlpha();
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The settings store. The key stays open for the whole run; it is HKEY_LOCAL_MACHINE's, or,
// where that cannot be written (a standard user), the same subkey of HKEY_CURRENT_USER.
extern HKEY g_hSettingsKey;
extern const char* g_pszSettingsSubkey;
// How keys are created; tests put a fake here to refuse HKEY_LOCAL_MACHINE as Windows does
// for a standard user (Wine always grants it).
typedef LONG(WINAPI* RegCreateKeyExAFunction)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM,
                                              const LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD);
extern RegCreateKeyExAFunction g_pfnRegCreateKeyExA;
void LoadSettings();
// True when writing at least one value failed.
bool SaveSettings();

// The file association. The two roots are the registry's own; tests point them at scratch keys.
extern HKEY g_hClassesRoot;
extern HKEY g_hUserRoot;
void AssociateDdsFiles();
void RemoveDdsAssociation();
