// Help > Associate and Remove: Windows opens .dds files with this program, or no longer does.
// One scheme with the installer's: the class "Brixa.exe" in the user's classes, with the
// program's icon and its open command, the .dds default it replaced kept beside it.
#include "app/AssociationCommand.h"
#include "app/Shell.h"

#include <shlobj.h>

#include <string>

HKEY g_hClassesRoot = HKEY_CLASSES_ROOT;
HKEY g_hUserRoot = HKEY_CURRENT_USER;

namespace {
const char* const kUserChoiceKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS\\OpenWithList",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS\\OpenWithProgids",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.DDS",
};
const char kClassName[] = "Brixa.exe";
// The classes Brixa ever registered: its own and the one of installers before this scheme.
const char* const kOwnClasses[] = {kClassName, "Brixa.DdsFile"};
// Below each class, children before their parents: each deletion removes one key without
// subkeys, so that nothing another program put below them goes too.
const char* const kOwnClassKeys[] = {"\\shell\\Open\\command", "\\shell\\Open", "\\shell",
                                     "\\DefaultIcon", ""};
const char kExtensionKey[] = ".dds";
// Beside the extension's default: the class it named before Brixa took it over. The
// installer keeps it there too, and its uninstaller gives it back.
const char kPreviousValue[] = "Brixa.PreviousClass";
// The per-user classes, which Windows merges into HKEY_CLASSES_ROOT: an association of the
// user's own, which needs no administrator and wins over the machine's.
const std::string kUserClasses = "Software\\Classes\\";

std::string ClassPath(bool user, const std::string& subkey) {
    return user ? kUserClasses + subkey : subkey;
}
HKEY ClassRoot(bool user) {
    return user ? g_hUserRoot : g_hClassesRoot;
}

HKEY CreateUserClassKey(const std::string& subkey) {
    HKEY key = nullptr;
    if (g_pfnRegCreateKeyExA(g_hUserRoot, ClassPath(true, subkey).c_str(), 0, nullptr,
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

// A default value in the wide form: paths in any language.
bool SetWideDefault(HKEY key, const std::wstring& text) {
    return RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool IsOwnClass(const std::string& name) {
    for (const char* own : kOwnClasses)
        if (lstrcmpiA(name.c_str(), own) == 0) return true;
    return false;
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
    if (!previous.empty() && !IsOwnClass(previous)) SetText(key, kPreviousValue, previous);
    return SetText(key, nullptr, kClassName);
}

// Gives the extension back in one of the two places, where Brixa holds it: the previous class
// again, or no default (and no key, when nothing else is left in it).
void GiveBackExtension(bool user) {
    HKEY key = nullptr;
    const std::string path = ClassPath(user, kExtensionKey);
    if (RegOpenKeyExA(ClassRoot(user), path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (IsOwnClass(ReadText(key, nullptr))) {
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

// Writes one value of Brixa's class; false after reporting the failure.
bool WriteClassValue(const std::string& subkey, const std::wstring& text) {
    HKEY key = CreateUserClassKey(std::string(kClassName) + subkey);
    if (!key) {
        ReportCreateFailure();
        return false;
    }
    const bool written = SetWideDefault(key, text);
    RegCloseKey(key);
    if (!written) ReportSetFailure();
    return written;
}
} // namespace

void AssociateDdsFiles() {
    for (const char* subkey : kUserChoiceKeys) RegDeleteKeyA(g_hUserRoot, subkey);
    HKEY extension = CreateUserClassKey(kExtensionKey);
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
    // The module path as the system gives it (the name's own case, any language).
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (!WriteClassValue("\\shell\\Open\\command", Wide(AssociationCommand(Utf8(module)))) ||
        !WriteClassValue("\\DefaultIcon", std::wstring(module) + L",0"))
        return;
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    const std::wstring text =
        L"All your DDS files have been associated with [" + std::wstring(module) + L"].";
    MessageBoxW(g_hWndMain, text.c_str(), L"Information...", MB_ICONINFORMATION);
}

// Takes away whichever Brixa association is in force, the user's or the machine's (earlier
// versions wrote there), and gives .dds back to the program it named before.
void RemoveDdsAssociation() {
    if (MessageBoxA(g_hWndMain, "Do you really want to remove DDS file association with Brixa ?",
                    "Warning...", MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    for (bool user : {false, true}) {
        GiveBackExtension(user);
        for (const char* own : kOwnClasses)
            for (const char* subkey : kOwnClassKeys)
                RegDeleteKeyA(ClassRoot(user), ClassPath(user, std::string(own) + subkey).c_str());
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    MessageBoxA(g_hWndMain, "Registry removing finished.", "Information...", MB_ICONINFORMATION);
}
