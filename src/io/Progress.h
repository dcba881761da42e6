// The core's one link to its host for long work: a progress callback the host installs.
#pragma once

#include <cstdint>

// (done, total, user value); returns non-zero to go on, zero to stop.
typedef int (*ProgressCallback)(uint32_t done, uint32_t total, uintptr_t userValue);

// Installs the program's progress function (the viewer's or the CLI's). Null restores the
// default, which reports nothing and always goes on.
void SetProgressFunction(ProgressCallback fn);
ProgressCallback GetProgressFunction();

// Calls the installed progress function.
int ReportProgress(uint32_t done, uint32_t total, uintptr_t userValue);
