// Float surfaces shown by their range: the finite minimum..maximum mapped to 0..1, NaN,
// infinities and negatives marked, and the sRGB curve for linear data.
#pragma once

#include <cstdint>
#include <functional>

#include "io/Progress.h"

class CDdsTexture;

// How a colour channel becomes a display byte. Each value v is first multiplied by the
// exposure; with the range, (v - low) x scale; then clamped to 0..1 (NaN to 0) and, with the
// curve, sent through SrgbEncode; then UnitToByte.
struct RangeRule {
    float exposure = 1.0f;
    bool autoRange = false;
    double low = 0.0, scale = 1.0;
    bool mark = false; // NaN, infinities and negatives shown in their colours
    bool srgb = false;
};

// The range of the finite values from `min` to `max`: 0..1 when max > min. A surface without
// finite values (min > max) or of one value keeps low 0 and scale 1 (nothing is divided by
// zero): its values show as they would without the range.
void SetRange(RangeRule& rule, float min, float max);

// The standard sRGB transfer curve of a linear value of 0..1.
float SrgbEncode(float linear);
// UnitToByte(SrgbEncode(ClampUnit(unit))), by a table of the curve's byte steps.
uint8_t SrgbByte(float unit);

// One colour channel's display byte of an exposed value (the value times the exposure).
uint8_t RangeByte(const RangeRule& rule, float exposed);
// One colour channel on the 0..1 scale of an exposed value, clamped, before the curve.
float RangeUnit(const RangeRule& rule, float exposed);

// The mark of a pixel from its exposed colour values, the first that applies: NaN magenta,
// +Inf white, -Inf or a negative value cyan; 0 for none (opaque colours otherwise).
constexpr uint32_t kMarkNaN = 0xFFFF00FF, kMarkPlusInf = 0xFFFFFFFF, kMarkNegative = 0xFF00FFFF;
uint32_t MarkOf(const float* exposed, uint32_t count);

// The formats the range and the curve act on: float, half, BC6H and the DXGI float formats.
bool FloatRangeApplies(const CDdsTexture& texture);
// Whether the colour and blend views go through the range rule: it applies and the range or
// the curve is on.
bool FloatRangeWanted(const CDdsTexture& texture);

// Composition of one source row into its display row through the range rule.
using RangeRowFn = std::function<void(uint32_t row, uint32_t* dest)>;
struct RangeView {
    bool blend = false;         // blended by alpha over the background
    bool premultiplied = false; // colour + background x (1 - alpha)
    float background[3] = {};   // red, green, blue on the 0..1 scale (BackgroundUnit)
};
// Surfaces of halves (16-bit floats, R11G11B10, BC6H) from 2^16 pixels on are composed through
// tables of every half's result (kChosen); kTables and kDirect choose one way for any size.
enum class HalfPath { kChosen, kTables, kDirect };
// With the range, one pass over the surface's rows first (on `threads` threads, reporting to
// `host`) finds its finite minimum and maximum over the colour channels: one range for all of
// them, so that their balance stays. Empty when the host stopped that pass.
RangeRowFn FloatRangeRows(const CDdsTexture& texture, const RangeView& view, RowHost* host,
                          uint32_t threads, HalfPath path = HalfPath::kChosen);
