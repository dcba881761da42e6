#include "view/Progress.h"

uint32_t StagePercent(uint32_t done, uint32_t total) {
    if (total == 0) return 0;
    const uint64_t percent = uint64_t(done) * 100 / total;
    return percent > 100 ? 100 : uint32_t(percent);
}

int32_t ProgressBarPos(int32_t stage, uint32_t percent) {
    return stage * 100 + int32_t(percent);
}

bool ProgressBarDue(uint32_t now, uint32_t start) {
    return uint32_t(now - start) > kProgressShowAfterMs;
}

bool PumpDue(uint32_t now, uint32_t lastPump) {
    return uint32_t(now - lastPump) >= kPumpIntervalMs;
}
