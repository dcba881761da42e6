// The folder's file list and the ways a file is chosen: steps, the open dialog, a drop.
#include "view/Window.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "view/Settings.h"
#include "view/FileList.h"
#include "view/StatusText.h"
#include "view/View.h"

static_assert(sizeof(void*) != 4 || offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR) == 76,
              "the open dialog's structure without its later extension fields");

FileList g_FileList;
int32_t g_nCurrentIndex = -1;

namespace {
// Scans lastPath again. False when the folder cannot be searched (nothing found, or a folder
// too long for the search pattern).
bool RebuildFileList() {
    g_FileList.Clear();
    const std::string pattern = FolderSearchPattern(g_Settings.lastPath, kTextBufferSize);
    if (pattern.empty()) return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        // The pattern also matches short names ("X~1.DDS" of "x.ddsold"): the name itself
        // must end in .dds.
        const std::string name = Utf8(found.cFileName);
        if (HasDdsExtension(name.c_str()))
            g_FileList.AddFound(name.c_str(), found.dwFileAttributes);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    g_FileList.Finish();
    return true;
}

void ShowUnsupported() {
    MessageBoxA(g_hWndMain, "Unsupported file format !", "Error...", MB_TOPMOST | MB_ICONWARNING);
}

// A file the user chose: its folder (the first folderLength characters) becomes the one
// cycled, and the list is marked for rebuilding.
void OpenChosen(const char* path, size_t folderLength) {
    if (!HasDdsExtension(path)) {
        ShowUnsupported();
        return;
    }
    const std::string folderBefore = g_Settings.lastPath;
    const bool otherFolder = folderLength > 0 && folderLength < kPathBufferSize;
    if (otherFolder) {
        if (!EnterFolder(std::string(path, folderLength))) return;
        std::memcpy(g_Settings.lastPath, path, folderLength);
        g_Settings.lastPath[folderLength] = '\0';
        path += folderLength;
    }
    lstrcpynA(g_szCurrentFileName, path, sizeof g_szCurrentFileName);
    g_nCurrentIndex = -1;
    const int result = OpenByName();
    if (result != kLoadFailed || !otherFolder || !g_szShownFileName[0]) return;
    // A failed open leaves the file on show where it was: its folder is the one cycled again.
    std::memcpy(g_Settings.lastPath, folderBefore.c_str(), folderBefore.size() + 1);
    SetCurrentDirectoryW(Wide(folderBefore).c_str());
    lstrcpynA(g_szCurrentFileName, g_szShownFileName, sizeof g_szCurrentFileName);
}
} // namespace

void StepFile(int32_t step) {
    StepDecision decision;
    if (g_nCurrentIndex < 0) {
        if (!RebuildFileList()) return;
        decision = StepAfterRebuild(g_FileList, g_szCurrentFileName, step, g_Settings.wrapAround);
    } else {
        decision = StepFrom(g_nCurrentIndex, g_FileList.Count(), step, g_Settings.wrapAround);
    }
    g_nCurrentIndex = decision.index;
    if (!decision.open) return;
    lstrcpynA(g_szCurrentFileName, g_FileList.At(decision.index), sizeof g_szCurrentFileName);
    OpenByName();
}

bool ChooseDdsFile(const wchar_t* title, DWORD flags, std::wstring& path, size_t& nameOffset) {
    wchar_t chosen[MAX_PATH] = {};
    const std::wstring initialDir = Wide(g_Settings.lastPath);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W; // without the later extension fields
    ofn.hwndOwner = g_hWndMain;
    ofn.hInstance = g_hInst;
    ofn.lpstrFilter = L"DDS files\0*.DDS\0\0";
    ofn.lpstrFile = chosen;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = initialDir.c_str();
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NONETWORKBUTTON | OFN_EXPLORER |
                OFN_HIDEREADONLY | OFN_ENABLESIZING | flags;
    {
        const ModalLoop modal;
        if (!GetOpenFileNameW(&ofn)) return false;
    }
    path = chosen;
    nameOffset = ofn.nFileOffset < MAX_PATH ? ofn.nFileOffset : 0;
    return true;
}

void ShowOpenDialog() {
    std::wstring path;
    size_t offset = 0;
    if (!ChooseDdsFile(L"Open file...", 0, path, offset)) return;
    const std::string chosen = Utf8(path.c_str());
    OpenChosen(chosen.c_str(), Utf8(path.substr(0, offset).c_str()).size());
}

void OpenDroppedFile(HDROP drop) {
    SetForegroundWindow(g_hWndMain);
    wchar_t name[MAX_PATH] = {};
    DragQueryFileW(drop, 0, name, MAX_PATH);
    DragFinish(drop);
    const std::string path = Utf8(name);
    const size_t slash = path.rfind('\\');
    OpenChosen(path.c_str(), slash == std::string::npos ? 0 : slash + 1);
}
