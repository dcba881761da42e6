// When the file on show is read again: once it has changed and then stayed as it is for a
// while, so that a writer that is still writing is not read half-way.
#pragma once

#include <cstdint>

// What the system says of a file: whether it is there, its size and last write time.
struct FileStamp {
    bool exists = false;
    uint64_t size = 0;
    uint64_t writeTime = 0;
};
bool operator==(const FileStamp& a, const FileStamp& b);

struct ReloadWatch {
    FileStamp shown;          // the file as last loaded, or found gone
    FileStamp seen;           // the file as last looked at
    uint32_t seenSinceMs = 0; // the tick count when it first looked like that
};

// Without change notifications the file is looked at every kReloadPollMs, and read once it has
// stayed as it is for kReloadSettleMs.
constexpr uint32_t kReloadPollMs = 50;
constexpr uint32_t kReloadSettleMs = 200;
// With them, it is looked at once its folder has had no change for kReloadQuietMs: a writer
// that is still writing keeps the folder changing.
constexpr uint32_t kReloadQuietMs = 120;

enum class ReloadAction { kNone, kReload, kDeleted };

// One look at the file at nowMs: reload (or report it gone) once its stamp differs from the
// one on show and has not changed for kReloadSettleMs. The answer is given once per change.
ReloadAction NextReloadAction(ReloadWatch& watch, const FileStamp& now, uint32_t nowMs);
// One look at the file once its folder has been quiet: reload (or report it gone) when its
// stamp differs from the one on show. The answer is given once per change.
ReloadAction QuietReloadAction(ReloadWatch& watch, const FileStamp& now);
