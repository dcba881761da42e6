// What happens to a request that arrives while a load or a composition runs.
#pragma once

#include <cstdint>

// The window messages and keys the rule knows, with their Windows values (the window
// procedure checks that they match).
namespace wm {
constexpr uint32_t kDestroy = 0x0002;
constexpr uint32_t kKeyDown = 0x0100;
constexpr uint32_t kKeyUp = 0x0101;
constexpr uint32_t kCommand = 0x0111;
constexpr uint32_t kTimer = 0x0113;
constexpr uint32_t kMouseWheel = 0x020A;
constexpr uint32_t kRButtonDown = 0x0204;
constexpr uint32_t kRButtonUp = 0x0205;
constexpr uint32_t kDropFiles = 0x0233;
} // namespace wm
namespace vk {
constexpr uint32_t kPrior = 0x21, kNext = 0x22, kEnd = 0x23, kHome = 0x24;
constexpr uint32_t kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;
constexpr uint32_t kEscape = 0x1B;
} // namespace vk

// Command ids that run while busy: Exit and the five mouse-wheel modes.
constexpr uint32_t kCmdExit = 105;
constexpr uint32_t kCmdWheelFirst = 32789;
constexpr uint32_t kCmdWheelLast = 32793;

enum class BusyAnswer {
    kAct,   // handle it now
    kDefer, // save it as the deferred message, ask the running work to stop
    kIgnore // drop it
};

// loadState: 0 idle, else busy. stepPossible: for Left, Right, Z and X, whether the step
// they ask for exists (a key whose step does not exist is dropped, also while idle).
// A dropped file is deferred like the file keys: it would start a second load inside the
// running one.
BusyAnswer BusyRule(int32_t loadState, uint32_t message, uintptr_t wParam, uint32_t mouseWheelMode,
                    bool stepPossible);

// Whether a key press is one of the four surface-step keys.
bool IsStepKey(uintptr_t key);
