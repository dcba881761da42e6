// Live reload: the file on show is looked at (its size and last write time) once its folder has
// been quiet after a change, or on a polling timer where the system gives no change
// notifications, and read again through the pipeline, keeping the selection, zoom, pan and views.
#include "view/Window.h"

#include "view/Reload.h"
#include "view/Settings.h"
#include "view/View.h"

bool g_bShownFileDeleted = false;

FileStamp StampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return {};
    return {true, uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow,
            uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                data.ftLastWriteTime.dwLowDateTime};
}

namespace {
ReloadWatch g_watch;
// Whether the folder's change notifications say when to look (else the timer polls).
bool g_bNotified = false;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A thread that waits for the change notifications of one folder and posts each to the
// window: the window's own loops (and those of dialogs) then need no handle to wait on.
class FolderWatcher {
  public:
    // True when the folder's changes are being posted to the window.
    bool Watch(const std::string& folder, HWND window) {
        if (m_thread && folder == m_folder && window == m_window) return true;
        Stop();
        if (folder.empty()) return false;
        m_change = FindFirstChangeNotificationW(
            Wide(folder).c_str(), FALSE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
        if (m_change == INVALID_HANDLE_VALUE) return false;
        m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_window = window;
        if (m_stop) m_thread = CreateThread(nullptr, 64 * 1024, Run, this, 0, nullptr);
        if (!m_thread) {
            Stop();
            return false;
        }
        m_folder = folder;
        return true;
    }

    void Stop() {
        if (m_thread) {
            SetEvent(m_stop);
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
        }
        if (m_stop) CloseHandle(m_stop);
        if (m_change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(m_change);
        m_thread = m_stop = nullptr;
        m_change = INVALID_HANDLE_VALUE;
        m_folder.clear();
    }

  private:
    static DWORD WINAPI Run(void* self) {
        const auto* w = static_cast<const FolderWatcher*>(self);
        const HANDLE handles[2] = {w->m_stop, w->m_change};
        while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            PostMessageW(w->m_window, WM_BRIXA_FOLDER_CHANGED, 0, 0);
            if (!FindNextChangeNotification(w->m_change)) break;
        }
        return 0;
    }

    std::string m_folder;
    HWND m_window = nullptr;
    HANDLE m_change = INVALID_HANDLE_VALUE;
    HANDLE m_stop = nullptr;
    HANDLE m_thread = nullptr;
};
FolderWatcher g_watcher;
} // namespace

void WatchShownFile() {
    // Watched before the file is looked at: a change in between is not missed. While comparing,
    // B may lie in another folder: the timer polls both.
    g_bNotified = g_Settings.liveReload && !Comparing() &&
                  g_watcher.Watch(FolderOf(g_sShownPath), g_hWndMain);
    if (!g_bNotified) g_watcher.Stop();
    const FileStamp now = StampOf(g_sShownPath);
    g_watch = {now, now, GetTickCount()};
    g_bShownFileDeleted = false;
    if (g_Settings.liveReload && !g_bNotified)
        SetTimer(g_hWndMain, kReloadTimer, kReloadPollMs, nullptr);
    else
        KillTimer(g_hWndMain, kReloadTimer);
}

void FolderChanged() {
    // Each change starts the quiet time again.
    if (g_bNotified) SetTimer(g_hWndMain, kReloadTimer, kReloadQuietMs, nullptr);
}

void ReloadTick() {
    CompareReloadTick();
    // Not under a dialog: its caller may hold pointers into the picture. The timer goes on
    // until the dialog has gone.
    if (g_sShownPath.empty() || g_nModalLoops > 0) return;
    const FileStamp stamp = StampOf(g_sShownPath);
    if (g_bNotified) KillTimer(g_hWndMain, kReloadTimer);
    switch (g_bNotified ? QuietReloadAction(g_watch, stamp)
                        : NextReloadAction(g_watch, stamp, GetTickCount())) {
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
