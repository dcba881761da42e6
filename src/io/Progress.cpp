#include "io/Progress.h"

namespace {
int GoOn(uint32_t, uint32_t, uintptr_t) {
    return 1;
}
ProgressCallback g_progress = GoOn;
} // namespace

void SetProgressFunction(ProgressCallback fn) {
    g_progress = fn ? fn : GoOn;
}
ProgressCallback GetProgressFunction() {
    return g_progress;
}
int ReportProgress(uint32_t done, uint32_t total, uintptr_t userValue) {
    return g_progress(done, total, userValue);
}
