#include "view/Reload.h"

bool operator==(const FileStamp& a, const FileStamp& b) {
    return a.exists == b.exists && a.size == b.size && a.writeTime == b.writeTime;
}

namespace {
ReloadAction Changed(ReloadWatch& watch, const FileStamp& now) {
    watch.shown = now;
    return now.exists ? ReloadAction::kReload : ReloadAction::kDeleted;
}
} // namespace

ReloadAction NextReloadAction(ReloadWatch& watch, const FileStamp& now, uint32_t nowMs) {
    if (!(now == watch.seen)) {
        watch.seen = now;
        watch.seenSinceMs = nowMs;
        return ReloadAction::kNone;
    }
    // Differences of tick counts stay right when the count wraps.
    if (now == watch.shown || nowMs - watch.seenSinceMs < kReloadSettleMs)
        return ReloadAction::kNone;
    return Changed(watch, now);
}

ReloadAction QuietReloadAction(ReloadWatch& watch, const FileStamp& now) {
    watch.seen = now;
    return now == watch.shown ? ReloadAction::kNone : Changed(watch, now);
}
