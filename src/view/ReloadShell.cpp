// Live reload: the file on show is looked at on a timer tick (its size and last write time)
// and read again through the pipeline, keeping the selection, zoom, pan and views.
#include "view/Window.h"

#include "view/Reload.h"
#include "view/Settings.h"
#include "view/View.h"

bool g_bShownFileDeleted = false;

namespace {
constexpr UINT kReloadTickMs = 50;

ReloadWatch g_watch;

FileStamp StampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return {};
    return {true, uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow,
            uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                data.ftLastWriteTime.dwLowDateTime};
}
} // namespace

void WatchShownFile() {
    const FileStamp now = StampOf(g_sShownPath);
    g_watch = {now, now, GetTickCount()};
    g_bShownFileDeleted = false;
    if (g_Settings.liveReload)
        SetTimer(g_hWndMain, kReloadTimer, kReloadTickMs, nullptr);
    else
        KillTimer(g_hWndMain, kReloadTimer);
}

void ReloadTick() {
    CompareReloadTick();
    // Not under a dialog: its caller may hold pointers into the picture.
    if (g_sShownPath.empty() || g_nModalLoops > 0) return;
    switch (NextReloadAction(g_watch, StampOf(g_sShownPath), GetTickCount())) {
    case ReloadAction::kNone: return;
    case ReloadAction::kDeleted:
        g_bShownFileDeleted = true;
        UpdateTitle();
        return;
    case ReloadAction::kReload:
        // The file on show, even when a later file failed to load meanwhile.
        lstrcpynA(g_szCurrentFileName, g_szShownFileName, sizeof g_szCurrentFileName);
        g_nCurrentIndex = g_nShownIndex;
        g_bShownFileDeleted = false;
        LoadAndShow(g_sShownPath.c_str()); // by its full path, whatever folder is current
        UpdateTitle();
        return;
    }
}
