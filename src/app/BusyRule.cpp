#include "app/BusyRule.h"

bool IsStepKey(uintptr_t key) {
    return key == vk::kLeft || key == vk::kRight || key == 'Z' || key == 'X';
}

BusyAnswer BusyRule(int32_t loadState, uint32_t message, uintptr_t wParam, uint32_t mouseWheelMode,
                    bool stepPossible) {
    if (message == wm::kKeyDown && IsStepKey(wParam) && !stepPossible) return BusyAnswer::kIgnore;
    if (loadState == 0) return BusyAnswer::kAct;
    switch (message) {
    case wm::kDestroy:
    case wm::kDropFiles: return BusyAnswer::kDefer;
    case wm::kKeyDown:
        switch (wParam) {
        case vk::kEscape:
        case vk::kHome:
        case vk::kEnd:
        case vk::kPrior:
        case vk::kUp:
        case vk::kNext:
        case vk::kDown:
        case vk::kLeft:
        case vk::kRight:
        case 'Z':
        case 'X': return BusyAnswer::kDefer;
        default: return BusyAnswer::kIgnore;
        }
    case wm::kKeyUp:
    case wm::kRButtonDown: return BusyAnswer::kIgnore;
    case wm::kRButtonUp: return BusyAnswer::kAct; // a drag must never outlive its button
    case wm::kMouseWheel: return mouseWheelMode == 0 ? BusyAnswer::kDefer : BusyAnswer::kIgnore;
    case wm::kCommand: {
        const uint32_t id = uint32_t(wParam & 0xFFFF);
        const bool runs = id == kCmdExit || (id >= kCmdWheelFirst && id <= kCmdWheelLast);
        return runs ? BusyAnswer::kAct : BusyAnswer::kIgnore;
    }
    default: return BusyAnswer::kAct;
    }
}
