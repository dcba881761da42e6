// File names at the system's edge: UTF-8 inside the program, the wide API outside, so that a
// name of any language reaches the system unchanged.
#include "view/Window.h"

#include <string>

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], n);
    return wide;
}

std::string Utf8(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string utf8(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], n, nullptr, nullptr);
    utf8.pop_back(); // the zero
    return utf8;
}

std::string FullPathOf(const std::string& name) {
    wchar_t full[MAX_PATH];
    const DWORD n = GetFullPathNameW(Wide(name).c_str(), MAX_PATH, full, nullptr);
    return n != 0 && n < MAX_PATH ? Utf8(full) : name;
}

bool EnterFolder(const std::string& folder) {
    if (SetCurrentDirectoryW(Wide(folder).c_str())) return true;
    const DWORD error = GetLastError();
    wchar_t* reason = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                       FORMAT_MESSAGE_FROM_SYSTEM,
                   nullptr, error, 0x400, reinterpret_cast<LPWSTR>(&reason), 0, nullptr);
    const std::wstring text = Wide(folder) + L"\n\n" + (reason ? reason : L"");
    if (reason) LocalFree(reason);
    ShowMainWindow(); // behind the box, also at start
    MessageBoxW(g_hWndMain, text.c_str(), L"Error...", MB_ICONERROR);
    return false;
}
