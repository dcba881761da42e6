// Help > Associate and Remove: Windows opens .dds files with this program, or no longer does.
#include "app/Shell.h"

#include <string>

#include "view/FileList.h"

HKEY g_hClassesRoot = HKEY_CLASSES_ROOT;
HKEY g_hUserRoot = HKEY_CURRENT_USER;

namespace {
const char* const kUserChoiceKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS\\OpenWithList",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS\\OpenWithProgids",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS",
};
// Children before their parents: each deletion removes one key without subkeys.
const char* const kClassKeys[] = {".dds", "Brixa.exe\\shell\\Open\\command",
                                  "Brixa.exe\\shell\\Open", "Brixa.exe\\shell", "Brixa.exe"};
const char kExtensionKey[] = ".dds";
const char kCommandKey[] = "Brixa.exe\\shell\\Open\\command";
const char kClassName[] = "Brixa.exe";
// The per-user classes, which Windows merges into HKEY_CLASSES_ROOT; where a standard user
// may not write the machine-wide ones, the registration goes here.
const std::string kUserClasses = "Software\\Classes\\";

HKEY CreateClassKey(const char* subkey) {
    HKEY key = nullptr;
    if (g_pfnRegCreateKeyExA(g_hClassesRoot, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        return key;
    if (g_pfnRegCreateKeyExA(g_hUserRoot, (kUserClasses + subkey).c_str(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr) == ERROR_SUCCESS)
        return key;
    return nullptr;
}

bool SetDefault(HKEY key, const std::string& text) {
    return RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD(text.size() + 1)) == ERROR_SUCCESS;
}

// Writes one class key's default value; false after reporting why it could not.
bool Register(const char* subkey, const std::string& value) {
    HKEY key = CreateClassKey(subkey);
    if (!key) {
        MessageBoxA(nullptr, "Failed to open/create a registry key !", "Error...", MB_ICONERROR);
        return false;
    }
    const bool written = SetDefault(key, value);
    RegCloseKey(key);
    if (!written)
        MessageBoxA(nullptr, "Failed to set a default value to Brixa.exe !", "Error...",
                    MB_ICONERROR);
    return written;
}

std::string Lower(std::string text) {
    if (!text.empty()) CharLowerBuffA(&text[0], DWORD(text.size()));
    return text;
}
} // namespace

void AssociateDdsFiles() {
    for (const char* subkey : kUserChoiceKeys) RegDeleteKeyA(g_hUserRoot, subkey);
    if (!Register(kExtensionKey, kClassName)) return;
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string command = AssociationCommand(Lower(GetCommandLineA()), Lower(module));
    if (!Register(kCommandKey, command)) return;
    const std::string text =
        "All your DDS files have been associated with [" + AssociationPath(command) + "].";
    MessageBoxA(g_hWndMain, text.c_str(), "Information...", MB_ICONINFORMATION);
}

void RemoveDdsAssociation() {
    if (MessageBoxA(g_hWndMain, "Do you really want to remove DDS file association with Brixa ?",
                    "Warning...", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    for (const char* subkey : kClassKeys) {
        RegDeleteKeyA(g_hClassesRoot, subkey);
        RegDeleteKeyA(g_hUserRoot, (kUserClasses + subkey).c_str());
    }
    MessageBoxA(g_hWndMain, "Registry removing finished.", "Information...", MB_ICONINFORMATION);
}
