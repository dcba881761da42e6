#include "view/Reload.h"

bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.exists == b.exists && a.size == b.size && a.writeTime == b.writeTime;
}

ReloadAction NextReloadAction(ReloadWatch& watch, const FileStamp& now, uint32_t nowMs) {
    if (!(now == watch.seen)) {
        watch.seen = now;
        watch.seenSinceMs = nowMs;
        return ReloadAction::kNone;
    }
    // Differences of tick counts stay right when the count wraps.
    if (now == watch.shown || nowMs - watch.seenSinceMs < kReloadSettleMs)
        return ReloadAction::kNone;
    watch.shown = now;
    return now.exists ? ReloadAction::kReload : ReloadAction::kDeleted;
}
