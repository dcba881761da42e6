// Help > Associate and Remove: Windows opens .dds files with this program, or no longer does.
#include "app/Shell.h"

#include <string>

#include "app/AssociationCommand.h"
#include "view/FileList.h"

HKEY g_hClassesRoot = HKEY_CLASSES_ROOT;
HKEY g_hUserRoot = HKEY_CURRENT_USER;

namespace {
const char* const kUserChoiceKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS\\OpenWithList",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS\\OpenWithProgids",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS",
};
// Brixa's own class, children before their parents: each deletion removes one key without
// subkeys, so that nothing another program put below them goes too.
const char* const kOwnClassKeys[] = {"Brixa.exe\\shell\\Open\\command", "Brixa.exe\\shell\\Open",
                                     "Brixa.exe\\shell", "Brixa.exe"};
const char kExtensionKey[] = ".dds";
const char kCommandKey[] = "Brixa.exe\\shell\\Open\\command";
const char kClassName[] = "Brixa.exe";
// Beside the extension's default: the class it named before Brixa took it over.
const char kPreviousValue[] = "Brixa.PreviousClass";
// The per-user classes, which Windows merges into HKEY_CLASSES_ROOT; where a standard user
// may not write the machine-wide ones, the registration goes here.
const std::string kUserClasses = "Software\\Classes\\";

// A class key under one of the two places: the machine's classes (root null) or the user's.
std::string ClassPath(bool user, const char* subkey) {
    return user ? kUserClasses + subkey : std::string(subkey);
}
HKEY ClassRoot(bool user) {
    return user ? g_hUserRoot : g_hClassesRoot;
}

HKEY CreateClassKey(bool user, const char* subkey) {
    HKEY key = nullptr;
    if (g_pfnRegCreateKeyExA(ClassRoot(user), ClassPath(user, subkey).c_str(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr) == ERROR_SUCCESS)
        return key;
    return nullptr;
}

// A text value of an open key; empty when missing.
std::string ReadText(HKEY key, const char* name) {
    char text[MAX_PATH] = "";
    DWORD size = sizeof text - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    text[size < sizeof text ? size : sizeof text - 1] = '\0';
    return text;
}

bool SetText(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD(text.size() + 1)) == ERROR_SUCCESS;
}

void ReportCreateFailure() {
    MessageBoxA(nullptr, "Failed to open/create a registry key !", "Error...", MB_ICONERROR);
}

void ReportSetFailure() {
    MessageBoxA(nullptr, "Failed to set a default value to Brixa.exe !", "Error...", MB_ICONERROR);
}

// The extension names Brixa's class; the class it named before is kept beside (once: a second
// association must not take Brixa's own name for the previous one).
bool TakeExtension(HKEY key) {
    const std::string previous = ReadText(key, nullptr);
    if (!previous.empty() && previous != kClassName) SetText(key, kPreviousValue, previous);
    return SetText(key, nullptr, kClassName);
}

// Gives the extension back in one of the two places, where Brixa holds it: the previous class
// again, or no default (and no key, when nothing else is left in it).
void GiveBackExtension(bool user) {
    HKEY key = nullptr;
    const std::string path = ClassPath(user, kExtensionKey);
    if (RegOpenKeyExA(ClassRoot(user), path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (ReadText(key, nullptr) == kClassName) {
        const std::string previous = ReadText(key, kPreviousValue);
        if (previous.empty())
            RegDeleteValueA(key, nullptr);
        else
            SetText(key, nullptr, previous);
        RegDeleteValueA(key, kPreviousValue);
    }
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0) RegDeleteKeyA(ClassRoot(user), path.c_str());
}

std::string Lower(std::string text) {
    if (!text.empty()) CharLowerBuffA(&text[0], DWORD(text.size()));
    return text;
}
} // namespace

void AssociateDdsFiles() {
    for (const char* subkey : kUserChoiceKeys) RegDeleteKeyA(g_hUserRoot, subkey);
    // Both keys go to the same place: the machine's classes, or the user's when those cannot be
    // written.
    bool user = false;
    HKEY extension = CreateClassKey(user, kExtensionKey);
    if (!extension) extension = CreateClassKey(user = true, kExtensionKey);
    if (!extension) {
        ReportCreateFailure();
        return;
    }
    const bool taken = TakeExtension(extension);
    RegCloseKey(extension);
    if (!taken) {
        ReportSetFailure();
        return;
    }
    HKEY commandKey = CreateClassKey(user, kCommandKey);
    if (!commandKey) {
        ReportCreateFailure();
        return;
    }
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string command = AssociationCommand(Lower(module));
    const bool written = SetText(commandKey, nullptr, command);
    RegCloseKey(commandKey);
    if (!written) {
        ReportSetFailure();
        return;
    }
    const std::string text =
        "All your DDS files have been associated with [" + AssociationPath(command) + "].";
    MessageBoxA(g_hWndMain, text.c_str(), "Information...", MB_ICONINFORMATION);
}

void RemoveDdsAssociation() {
    if (MessageBoxA(g_hWndMain, "Do you really want to remove DDS file association with Brixa ?",
                    "Warning...", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    for (bool user : {false, true}) {
        GiveBackExtension(user);
        for (const char* subkey : kOwnClassKeys)
            RegDeleteKeyA(ClassRoot(user), ClassPath(user, subkey).c_str());
    }
    MessageBoxA(g_hWndMain, "Registry removing finished.", "Information...", MB_ICONINFORMATION);
}
