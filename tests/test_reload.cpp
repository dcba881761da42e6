// When the file on show is read again.
#include <gtest/gtest.h>

#include "view/Reload.h"

namespace {

TEST(Reload, OnlyOnceTheFileHasSettled) {
    const FileStamp a{true, 100, 5}, longer{true, 120, 5}, later{true, 100, 6}, gone{};
    using R = ReloadAction;
    const struct {
        const char* what;
        FileStamp stamp;
        uint32_t ms;
        ReloadAction action;
    } steps[] = {
        {"unchanged", a, 1000, R::kNone},
        {"written", longer, 1010, R::kNone},
        {"still settling", longer, 1209, R::kNone},
        {"settled", longer, 1210, R::kReload},
        {"once per change", longer, 2000, R::kNone},
        {"written again", later, 2010, R::kNone},
        {"and again before settling", a, 2150, R::kNone},
        {"back as it was loaded first, but not as shown", a, 2349, R::kNone},
        {"settled again", a, 2350, R::kReload},
        {"removed", gone, 0xFFFFFF00u, R::kNone},
        {"gone across the tick count's wrap", gone, 0x00000008u, R::kDeleted},
        {"back", later, 0x10, R::kNone},
        {"back and settled", later, 0x10 + kReloadSettleMs, R::kReload},
    };
    ReloadWatch watch{a, a, 900};
    for (const auto& s : steps)
        EXPECT_EQ(NextReloadAction(watch, s.stamp, s.ms), s.action) << s.what;
}

// With change notifications: one look each time the folder has been quiet.
TEST(Reload, OnceTheFolderIsQuiet) {
    const FileStamp a{true, 100, 5}, longer{true, 120, 5}, gone{};
    using R = ReloadAction;
    const struct {
        const char* what;
        FileStamp stamp;
        ReloadAction action;
    } looks[] = {
        {"another file changed", a, R::kNone}, {"written", longer, R::kReload},
        {"once per change", longer, R::kNone}, {"removed", gone, R::kDeleted},
        {"still gone", gone, R::kNone},        {"back as it was", a, R::kReload},
    };
    ReloadWatch watch{a, a, 0};
    for (const auto& l : looks) EXPECT_EQ(QuietReloadAction(watch, l.stamp), l.action) << l.what;
}

} // namespace
