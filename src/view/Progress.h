// The progress bar's arithmetic and how often a long operation lets waiting messages through.
#pragma once

#include <cstdint>

// Stages of a load: read 0, decode 1, compose 2; the bar runs 0..300, 100 per stage.
enum : int32_t { kStageRead = 0, kStageDecode = 1, kStageCompose = 2 };
constexpr int32_t kProgressRange = 300;
constexpr uint32_t kProgressShowAfterMs = 250;
constexpr uint32_t kPumpIntervalMs = 10;

// done / total in whole percent, truncated, 0..100 (0 for an empty total).
uint32_t StagePercent(uint32_t done, uint32_t total);
int32_t ProgressBarPos(int32_t stage, uint32_t percent);
// Whether the bar should be visible this long after the operation started (tick difference
// taken modulo 2^32, so the tick counter's wrap does not matter).
bool ProgressBarDue(uint32_t now, uint32_t start);
// Whether enough time has passed since the last dispatch of waiting messages.
bool PumpDue(uint32_t now, uint32_t lastPump);
