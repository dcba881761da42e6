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

// Reads the six values into the record; false when any was missing.
bool ReadStore(HKEY key) {
    StoredSettings stored;
    stored.regVer = ReadNumber(key, "RegVer");
    stored.backgroundColor = ReadNumber(key, "BackgroundColor");
    stored.windowPos = ReadNumber(key, "WindowPos");
    stored.flags = ReadNumber(key, "Flags");
    stored.lastPath = ReadText(key, "LastPath");
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
        LONG result;
        if (v.isText)
            result = RegSetValueExA(g_hSettingsKey, v.name, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(v.text.c_str()),
                                    DWORD(v.text.size() + 1));
        else
            result = RegSetValueExA(g_hSettingsKey, v.name, 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&v.number), sizeof v.number);
        failed |= result != ERROR_SUCCESS;
    }
    return failed;
}
