// What happens to a request while a load runs; the progress bar's arithmetic.
#include <gtest/gtest.h>

#include "app/BusyRule.h"
#include "view/Progress.h"

namespace {

constexpr BusyAnswer kAct = BusyAnswer::kAct;
constexpr BusyAnswer kDefer = BusyAnswer::kDefer;
constexpr BusyAnswer kIgnore = BusyAnswer::kIgnore;

TEST(BusyRule, Table) {
    const struct {
        const char* what;
        uint32_t message;
        uintptr_t wParam;
        uint32_t wheelMode;
        bool stepPossible;
        BusyAnswer idle, busy;
    } cases[] = {
        {"destroy", wm::kDestroy, 0, 0, true, kAct, kDefer},
        {"escape", wm::kKeyDown, vk::kEscape, 0, true, kAct, kDefer},
        {"home", wm::kKeyDown, vk::kHome, 0, true, kAct, kDefer},
        {"end", wm::kKeyDown, vk::kEnd, 0, true, kAct, kDefer},
        {"page up", wm::kKeyDown, vk::kPrior, 0, true, kAct, kDefer},
        {"page down", wm::kKeyDown, vk::kNext, 0, true, kAct, kDefer},
        {"up", wm::kKeyDown, vk::kUp, 0, true, kAct, kDefer},
        {"down", wm::kKeyDown, vk::kDown, 0, true, kAct, kDefer},
        {"right, step possible", wm::kKeyDown, vk::kRight, 0, true, kAct, kDefer},
        {"right on the last level", wm::kKeyDown, vk::kRight, 0, false, kIgnore, kIgnore},
        {"left on the first level", wm::kKeyDown, vk::kLeft, 0, false, kIgnore, kIgnore},
        {"left", wm::kKeyDown, vk::kLeft, 0, true, kAct, kDefer},
        {"Z", wm::kKeyDown, 'Z', 0, true, kAct, kDefer},
        {"Z on the first face", wm::kKeyDown, 'Z', 0, false, kIgnore, kIgnore},
        {"X", wm::kKeyDown, 'X', 0, true, kAct, kDefer},
        {"X on the last face", wm::kKeyDown, 'X', 0, false, kIgnore, kIgnore},
        {"other key press", wm::kKeyDown, 'A', 0, false, kAct, kIgnore},
        {"key release", wm::kKeyUp, 'A', 0, false, kAct, kIgnore},
        {"keypad + release", wm::kKeyUp, 0x6B, 0, false, kAct, kIgnore},
        {"wheel cycling files", wm::kMouseWheel, 0x00780000, 0, false, kAct, kDefer},
        {"wheel zooming", wm::kMouseWheel, 0x00780000, 2, false, kAct, kIgnore},
        {"right button down", wm::kRButtonDown, 0, 0, false, kAct, kIgnore},
        {"right button up: the drag ends", wm::kRButtonUp, 0, 0, false, kAct, kAct},
        {"dropped file", wm::kDropFiles, 1234, 0, false, kAct, kDefer},
        {"exit command", wm::kCommand, kCmdExit, 0, false, kAct, kAct},
        {"wheel mode command", wm::kCommand, 32791, 0, false, kAct, kAct},
        {"last wheel mode command", wm::kCommand, kCmdWheelLast, 0, false, kAct, kAct},
        {"about command", wm::kCommand, 104, 0, false, kAct, kIgnore},
        {"alpha command", wm::kCommand, 32773, 0, false, kAct, kIgnore},
        {"command beyond the wheel modes", wm::kCommand, 32794, 0, false, kAct, kIgnore},
        {"accelerator command", wm::kCommand, 0x10000 | 104, 0, false, kAct, kIgnore},
        {"paint", 0x000F, 0, 0, false, kAct, kAct},
        {"move", 0x0003, 0, 0, false, kAct, kAct},
        {"set cursor", 0x0020, 0, 0, false, kAct, kAct},
        {"progress message", 0x0400 + 10, 40, 0, false, kAct, kAct},
        {"continue query", 0x0400 + 11, 0, 0, false, kAct, kAct},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BusyRule(0, c.message, c.wParam, c.wheelMode, c.stepPossible), c.idle) << c.what;
        for (int state : {1, 2})
            EXPECT_EQ(BusyRule(state, c.message, c.wParam, c.wheelMode, c.stepPossible), c.busy)
                << c.what << " " << state;
    }
}

TEST(Progress, Arithmetic) {
    const struct {
        uint32_t done, total;
        int stage;
        int percent, position;
    } cases[] = {
        {0, 100, kStageRead, 0, 0},
        {40, 100, kStageDecode, 40, 140},
        {1, 3, kStageCompose, 33, 233},
        {100, 100, kStageCompose, 100, 300},
        {5, 0, kStageRead, 0, 0},
        {0xFFFFFFFF, 0xFFFFFFFF, kStageDecode, 100, 200},
        {0x80000000, 0xFFFFFFFF, kStageRead, 50, 50},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StagePercent(c.done, c.total), uint32_t(c.percent)) << c.done << "/" << c.total;
        EXPECT_EQ(ProgressBarPos(c.stage, StagePercent(c.done, c.total)), c.position);
    }
}

TEST(Progress, Timing) {
    const struct {
        uint32_t now, start;
        bool bar, pump;
    } cases[] = {
        {1000, 1000, false, false},    {1009, 1000, false, false}, {1010, 1000, false, true},
        {1250, 1000, false, true},     {1251, 1000, true, true},   {5, 0xFFFFFF00, true, true},
        {5, 0xFFFFFFFE, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgressBarDue(c.now, c.start), c.bar) << c.now << " " << c.start;
        EXPECT_EQ(PumpDue(c.now, c.start), c.pump) << c.now << " " << c.start;
    }
}

} // namespace
