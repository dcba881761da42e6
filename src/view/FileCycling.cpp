// The folder's file list and the ways a file is chosen: steps, the open dialog, a drop.
#include "view/Window.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstddef>
#include <cstring>

#include "view/Settings.h"
#include "view/FileList.h"
#include "view/StatusText.h"
#include "view/View.h"

static_assert(sizeof(void*) != 4 || offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == 76,
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
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        g_FileList.AddFound(found.cFileName, found.dwFileAttributes);
    } while (FindNextFileA(search, &found));
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
    if (folderLength > 0 && folderLength < kPathBufferSize) {
        std::memcpy(g_Settings.lastPath, path, folderLength);
        g_Settings.lastPath[folderLength] = '\0';
        SetCurrentDirectoryA(g_Settings.lastPath);
        path += folderLength;
    }
    lstrcpynA(g_szCurrentFileName, path, sizeof g_szCurrentFileName);
    g_nCurrentIndex = -1;
    OpenByName();
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

void ShowOpenDialog() {
    char path[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A; // without the later extension fields
    ofn.hwndOwner = g_hWndMain;
    ofn.hInstance = g_hInst;
    ofn.lpstrFilter = "DDS files\0*.DDS\0\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrInitialDir = g_Settings.lastPath;
    ofn.lpstrTitle = "Open file...";
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NONETWORKBUTTON | OFN_EXPLORER |
                OFN_ENABLESIZING;
    if (!GetOpenFileNameA(&ofn)) return;
    OpenChosen(path, ofn.nFileOffset < sizeof path ? ofn.nFileOffset : 0);
}

void OpenDroppedFile(HDROP drop) {
    SetForegroundWindow(g_hWndMain);
    // Names in another code page or wide names arrive converted to the program's character set.
    char path[MAX_PATH] = {};
    DragQueryFileA(drop, 0, path, sizeof path);
    DragFinish(drop);
    const char* slash = std::strrchr(path, '\\');
    OpenChosen(path, slash ? size_t(slash + 1 - path) : 0);
}
