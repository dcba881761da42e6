// The settings in the registry: read once at start-up, written at start-up when incomplete
// and at exit.
#include <cstring>
#include <string>

#include "view/Settings.h"
#include "app/Shell.h"

HKEY g_hSettingsKey = nullptr;
const char* g_pszSettingsSubkey = "SOFTWARE\\Solvane\\";
RegCreateKeyExAFunction g_pfnRegCreateKeyExA = RegCreateKeyExA;

namespace {
void ShowSettingsError(const char* text) {
    MessageBoxA(nullptr, text, "Error...", MB_ICONERROR);
}

std::optional<uint32_t> ReadNumber(HKEY key, const char* name) {
    uint32_t value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<std::string> ReadText(HKEY key, const char* name) {
    char text[kPathBufferSize] = {};
    DWORD size = sizeof text;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    // A value stored without its terminating zero ends where its bytes end.
    return std::string(text, strnlen(text, size));
}

// The folder's name beside LastPath when the ANSI code page cannot hold it.
const wchar_t kWidePathValue[] = L"LastPathW";

// LastPath, as UTF-8: the wide value when there is one, else the ANSI one.
std::optional<std::string> ReadLastPath(HKEY key) {
    wchar_t wide[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, kWidePathValue, nullptr, &type, reinterpret_cast<BYTE*>(wide),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        return Utf8(wide);
    const std::optional<std::string> ansi = ReadText(key, "LastPath");
    if (!ansi || ansi->empty()) return ansi;
    std::wstring converted(ansi->size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi->c_str(), -1, &converted[0], int(converted.size()));
    return Utf8(converted.c_str());
}

// LastPath as today when the ANSI code page holds the folder's name; otherwise empty there
// (an older version then starts in the current folder, not in a wrong one) and whole in the
// wide value beside it.
bool WriteLastPath(HKEY key, const char* name, const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0,
                                      nullptr, &lossy);
    std::string ansi(size_t(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &ansi[0], n, nullptr,
                        nullptr);
    ansi.resize(std::strlen(ansi.c_str()));
    if (lossy) ansi.clear();
    bool written = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi.c_str()),
                                  DWORD(ansi.size() + 1)) == ERROR_SUCCESS;
    if (!lossy) {
        RegDeleteValueW(key, kWidePathValue);
        return written;
    }
    return written && RegSetValueExW(key, kWidePathValue, 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(wide.c_str()),
                                     DWORD((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Reads the six values into the record; false when any was missing.
bool ReadStore(HKEY key) {
    StoredSettings stored;
    stored.regVer = ReadNumber(key, "RegVer");
    stored.backgroundColor = ReadNumber(key, "BackgroundColor");
    stored.windowPos = ReadNumber(key, "WindowPos");
    stored.flags = ReadNumber(key, "Flags");
    stored.lastPath = ReadLastPath(key);
    stored.mouseWheel = ReadNumber(key, "MouseWheel"); // taken from version 1 on
    return ApplyStoredSettings(stored, g_Settings);
}

LONG CreateKey(HKEY root, HKEY& key, DWORD& disposition) {
    return g_pfnRegCreateKeyExA(root, g_pszSettingsSubkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_ALL_ACCESS, nullptr, &key, &disposition);
}
} // namespace

void LoadSettings() {
    if (g_hSettingsKey) RegCloseKey(g_hSettingsKey);
    g_hSettingsKey = nullptr;
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG result = CreateKey(HKEY_LOCAL_MACHINE, key, disposition);
    if (result != ERROR_SUCCESS) {
        // A standard user may not write the machine's store: the user's own instead, begun
        // with the machine's values when there are any.
        result = CreateKey(HKEY_CURRENT_USER, key, disposition);
        HKEY machine = nullptr;
        if (result == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY &&
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, g_pszSettingsSubkey, 0, KEY_READ, &machine) ==
                ERROR_SUCCESS) {
            ReadStore(machine);
            RegCloseKey(machine);
        }
    }
    if (result != ERROR_SUCCESS) {
        ShowSettingsError("Failed to open registry key !");
        return;
    }
    g_hSettingsKey = key;
    if (disposition == REG_CREATED_NEW_KEY) {
        if (SaveSettings() && SaveSettings())
            ShowSettingsError("Failed to manipulate with registry keys !");
        return;
    }
    if (!ReadStore(key) && SaveSettings())
        ShowSettingsError("Failed to manipulate with registry keys !");
}

bool SaveSettings() {
    if (!g_hSettingsKey) return false;
    bool failed = false;
    for (const SettingsValue& v : SettingsValues(g_Settings)) {
        if (v.isText) { // LastPath, the one text
            failed |= !WriteLastPath(g_hSettingsKey, v.name, v.text);
            continue;
        }
        failed |= RegSetValueExA(g_hSettingsKey, v.name, 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&v.number),
                                 sizeof v.number) != ERROR_SUCCESS;
    }
    return failed;
}
