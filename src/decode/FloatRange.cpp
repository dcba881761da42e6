#include "decode/FloatRange.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "decode/BcnDecode.h"
#include "decode/Compose.h"
#include "decode/PixelConvert.h"
#include "decode/RowBands.h"
#include "dds/DdsTexture.h"

namespace {

// How the float pixels of a format are stored.
enum class Store { kHalf, kSingle, kRG11B10, kRGB9E5, kBC6H };

// A format's pixels: how they are stored, how many channels (red, green, blue, alpha in that
// order), and where each display channel comes from: a stored channel, or a constant byte
// for the channels a format lacks (kFull 255, kZero 0).
constexpr int8_t kFull = -1, kZero = -2;
struct FloatPixels {
    Store store = Store::kSingle;
    uint32_t channels = 0, bytes = 0;
    int8_t from[3] = {0, 1, 2};
    bool isSigned = false;      // BC6H
    bool alphaInColour = false; // the colour view keeps the stored alpha, as the work image does
};

uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// A half with its special cases: subnormals, infinities and NaN as they are.
float HalfExact(uint32_t h) {
    const uint32_t sign = (h & 0x8000u) << 16, e = (h >> 10) & 31, m = h & 1023;
    if (e == 0) {
        const float f = float(m) * (1.0f / 16777216.0f);
        return sign ? -f : f;
    }
    const uint32_t bits = sign | (e == 31 ? 0x7F800000u : (e + 112) << 23) | m << 13;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

bool PixelsOf(const CDdsTexture& t, FloatPixels& out) {
    const uint32_t bits = t.m_Header.ddspf.dwRGBBitCount;
    // The legacy float formats show the channels they lack as 255.
    const auto legacy = [&](Store store, uint32_t elemBits) {
        out.store = store;
        out.channels = bits / elemBits;
        out.bytes = bits / 8;
        if (out.channels < 1 || out.channels > 4 || out.channels == 3) return false;
        if (out.channels < 2) out.from[1] = kFull;
        if (out.channels < 4) out.from[2] = kFull;
        return true;
    };
    switch (t.m_nFormat) {
    case TF_FLOAT16: return legacy(Store::kHalf, 16);
    case TF_FLOAT32: return legacy(Store::kSingle, 32);
    case TF_BC6H:
    case TF_BC6H_SF16:
        out.store = Store::kBC6H;
        out.channels = 3;
        out.isSigned = t.m_nFormat == TF_BC6H_SF16;
        return true;
    case TF_DXGI_PIXELS: break;
    default: return false;
    }
    // The DXGI formats as their conversion shows them: one channel grey, two red and green.
    struct Row {
        uint32_t number;
        Store store;
        uint32_t channels, bytes;
    };
    static const Row kRows[] = {
        {2, Store::kSingle, 4, 16}, {6, Store::kSingle, 3, 12},  {10, Store::kHalf, 4, 8},
        {16, Store::kSingle, 2, 8}, {26, Store::kRG11B10, 3, 4}, {34, Store::kHalf, 2, 4},
        {41, Store::kSingle, 1, 4}, {54, Store::kHalf, 1, 2},    {67, Store::kRGB9E5, 3, 4},
    };
    for (const Row& r : kRows) {
        if (r.number != t.m_Dx10.dxgiFormat) continue;
        out.store = r.store;
        out.channels = r.channels;
        out.bytes = r.bytes;
        if (r.channels == 1) out.from[1] = out.from[2] = 0;
        if (r.channels == 2) out.from[2] = kZero;
        out.alphaInColour = r.channels == 4;
        return true;
    }
    return false;
}

// Stores whose values are halves: BC6H decodes to halves, and R11G11B10's small floats are
// halves' bit patterns.
bool HalfStore(const FloatPixels& f) {
    return f.store == Store::kHalf || f.store == Store::kRG11B10 || f.store == Store::kBC6H;
}

constexpr uint16_t kHalfOne = 0x3C00;

// The halves of source row `row` of a half store: 4 a pixel (red, green, blue, alpha; 0 for a
// colour the store lacks, 1 for a missing alpha). Bytes the file did not supply count as zero.
void ReadHalfRow(const CDdsTexture& t, const FloatPixels& f, uint32_t row, uint16_t* out) {
    static const uint8_t kZero[16] = {};
    const uint32_t width = uint32_t(t.m_nWidth);
    const uint64_t held = t.m_nRawHeld;
    if (f.store == Store::kBC6H) {
        const uint32_t across = (width + 3) / 4;
        for (uint32_t j = 0; j < across; ++j) {
            const uint64_t offset = (uint64_t(row / 4) * across + j) * 16;
            uint16_t halves[16][3];
            DecodeBC6HBlock(halves, offset + 16 <= held ? t.m_pRawData + offset : kZero,
                            f.isSigned);
            for (uint32_t x = 0; x < 4 && 4 * j + x < width; ++x) {
                const uint16_t* h = halves[4 * (row % 4) + x];
                uint16_t* o = out + 4 * (4 * j + x);
                o[0] = h[0], o[1] = h[1], o[2] = h[2], o[3] = kHalfOne;
            }
        }
        return;
    }
    uint64_t offset = uint64_t(row) * width * f.bytes;
    if (f.channels == 4 && f.store == Store::kHalf && offset + uint64_t(width) * 8 <= held) {
        std::memcpy(out, t.m_pRawData + offset, size_t(width) * 8); // as held: red to alpha
        return;
    }
    for (uint32_t x = 0; x < width; ++x, offset += f.bytes, out += 4) {
        const uint8_t* p = offset + f.bytes <= held ? t.m_pRawData + offset : kZero;
        if (f.store == Store::kRG11B10) {
            // Unsigned small floats of 5 exponent bits: a half's pattern shifted into place.
            const uint32_t w = Load32(p);
            out[0] = uint16_t((w & 0x7FF) << 4);
            out[1] = uint16_t(((w >> 11) & 0x7FF) << 4);
            out[2] = uint16_t((w >> 22) << 5);
            out[3] = kHalfOne;
            continue;
        }
        out[1] = out[2] = 0;
        out[3] = kHalfOne;
        for (uint32_t k = 0; k < f.channels; ++k) out[k] = uint16_t(p[2 * k] | p[2 * k + 1] << 8);
    }
}

// The stored values of source row `row`: 4 floats a pixel (red, green, blue, alpha; alpha 1
// where there is none). Bytes the file did not supply count as zero.
void ReadRow(const CDdsTexture& t, const FloatPixels& f, uint32_t row, float* out) {
    static const uint8_t kZero[16] = {};
    const uint32_t width = uint32_t(t.m_nWidth);
    if (HalfStore(f)) {
        thread_local std::vector<uint16_t> halves;
        halves.resize(size_t(width) * 4);
        ReadHalfRow(t, f, row, halves.data());
        for (size_t i = 0; i < halves.size(); ++i) out[i] = HalfExact(halves[i]);
        return;
    }
    const uint64_t held = t.m_nRawHeld;
    uint64_t offset = uint64_t(row) * width * f.bytes;
    for (uint32_t x = 0; x < width; ++x, offset += f.bytes, out += 4) {
        const uint8_t* p = offset + f.bytes <= held ? t.m_pRawData + offset : kZero;
        out[1] = out[2] = 0.0f;
        out[3] = 1.0f;
        if (f.store == Store::kSingle) {
            std::memcpy(out, p, 4 * size_t(f.channels));
            continue;
        }
        const uint32_t w = Load32(p); // RGB9E5
        const float scale = std::ldexp(1.0f, int(w >> 27) - 24);
        for (int k = 0; k < 3; ++k) out[k] = float((w >> (9 * k)) & 511) * scale;
    }
}

// The byte steps of the curve: at[b] is the least unit value that shows as b or more; and the
// byte at the start of each of kBuckets equal parts of 0..1, from where a step or two up finds
// any value's byte (the curve rises at most 0.81 bytes a part).
constexpr int kBuckets = 4096;
struct SrgbSteps {
    float at[257];
    uint8_t first[kBuckets + 1];
    SrgbSteps() {
        at[0] = 0.0f;
        for (int b = 1; b < 256; ++b) {
            float lo = 0.0f, hi = 1.0f; // UnitToByte(SrgbEncode(lo)) < b <= ... (hi)
            while (true) {
                const float mid = lo + (hi - lo) / 2;
                if (mid <= lo || mid >= hi) break;
                (UnitToByte(SrgbEncode(mid)) >= b ? hi : lo) = mid;
            }
            at[b] = hi;
        }
        at[256] = 2.0f; // beyond every clamped value
        for (int i = 0, b = 0; i <= kBuckets; ++i) {
            while (at[b + 1] <= float(i) / kBuckets) ++b;
            first[i] = uint8_t(b);
        }
    }
};

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

// Bytes of a display channel from its unit value: through the curve or not.
inline uint8_t UnitByte(const RangeRule& rule, float unit) {
    return rule.srgb ? SrgbByte(unit) : UnitToByte(unit);
}

} // namespace

void SetRange(RangeRule& rule, float min, float max) {
    rule.low = 0.0;
    rule.scale = 1.0;
    if (max > min) {
        rule.low = min;
        rule.scale = 1.0 / (double(max) - double(min));
    }
}

float SrgbEncode(float linear) {
    const float x = ClampUnit(linear);
    // In double: the curve reaches 1 exactly at 1.
    return x <= 0.0031308f ? 12.92f * x : float(1.055 * std::pow(double(x), 1.0 / 2.4) - 0.055);
}

uint8_t SrgbByte(float unit) {
    static const SrgbSteps steps;
    const float x = ClampUnit(unit);
    // The last step at or below x, from its part's first byte.
    uint32_t b = steps.first[int(x * kBuckets)];
    while (steps.at[b + 1] <= x) ++b;
    return uint8_t(b);
}

float RangeUnit(const RangeRule& rule, float exposed) {
    if (!rule.autoRange) return ClampUnit(exposed);
    return ClampUnit(float((double(exposed) - rule.low) * rule.scale));
}

uint8_t RangeByte(const RangeRule& rule, float exposed) {
    return UnitByte(rule, RangeUnit(rule, exposed));
}

uint32_t MarkOf(const float* exposed, uint32_t count) {
    uint32_t mark = 0;
    for (uint32_t k = 0; k < count; ++k) {
        const float v = exposed[k];
        if (std::isnan(v)) return kMarkNaN;
        if (v == std::numeric_limits<float>::infinity())
            mark = kMarkPlusInf;
        else if (v < 0.0f && !mark)
            mark = kMarkNegative;
    }
    return mark;
}

bool FloatRangeApplies(const CDdsTexture& t) {
    FloatPixels f;
    return PixelsOf(t, f);
}

bool FloatRangeWanted(const CDdsTexture& t) {
    return (t.m_bAutoRange || t.m_bSrgbCurve) && FloatRangeApplies(t);
}

namespace {
// Pictures of a half store from this many pixels on go through tables of every half's result:
// making them takes about a millisecond, a value computed on its own a few nanoseconds.
constexpr uint64_t kHalfTablePixels = uint64_t(1) << 16;

bool ByHalfTables(const CDdsTexture& t, const FloatPixels& f, HalfPath path) {
    if (!HalfStore(f) || path == HalfPath::kDirect) return false;
    return path == HalfPath::kTables ||
           uint64_t(t.m_nWidth) * uint64_t(t.m_nHeight) >= kHalfTablePixels;
}

// The finite minimum and maximum of the exposed colour values of every row. By halves: the
// halves a picture holds are marked (a bit for each of the 65536), then the range is taken over
// those.
bool ScanRange(const CDdsTexture& t, const FloatPixels& f, float exposure, RowHost* host,
               uint32_t threads, bool byHalves, float& min, float& max) {
    const uint32_t width = uint32_t(t.m_nWidth), colours = std::min<uint32_t>(f.channels, 3);
    std::mutex merge;
    min = std::numeric_limits<float>::infinity();
    max = -min;
    const auto take = [&](float v) {
        if (!std::isfinite(v)) return;
        min = std::min(min, v);
        max = std::max(max, v);
    };
    std::vector<uint64_t> held(1024);
    const auto halvesBand = [&](uint32_t first, uint32_t end) {
        std::vector<uint16_t> halves(size_t(width) * 4);
        uint64_t seen[1024] = {};
        for (uint32_t y = first; y < end; ++y) {
            ReadHalfRow(t, f, y, halves.data());
            for (uint32_t x = 0; x < width; ++x)
                for (uint32_t k = 0; k < colours; ++k) {
                    const uint16_t h = halves[4 * x + k];
                    seen[h >> 6] |= uint64_t(1) << (h & 63);
                }
        }
        std::lock_guard<std::mutex> lock(merge);
        for (size_t i = 0; i < held.size(); ++i) held[i] |= seen[i];
    };
    const auto valuesBand = [&](uint32_t first, uint32_t end) {
        std::vector<float> pixels(size_t(width) * 4);
        float lo = std::numeric_limits<float>::infinity(), hi = -lo;
        for (uint32_t y = first; y < end; ++y) {
            ReadRow(t, f, y, pixels.data());
            for (uint32_t x = 0; x < width; ++x)
                for (uint32_t k = 0; k < colours; ++k) {
                    const float v = pixels[4 * x + k] * exposure;
                    if (!std::isfinite(v)) continue;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
        }
        std::lock_guard<std::mutex> lock(merge);
        take(lo);
        take(hi);
    };
    const RowLoop loop = {uint32_t(t.m_nHeight), width, 1};
    if (!byHalves) return RunRows(loop, threads, host, valuesBand);
    if (!RunRows(loop, threads, host, halvesBand)) return false;
    for (uint32_t h = 0; h < 65536; ++h)
        if (held[h >> 6] >> (h & 63) & 1) take(HalfExact(h) * exposure);
    return true;
}

float ExposureOf(const CDdsTexture& t) {
    return ExposureApplies(t.m_nFormat) ? ExposureFactor(t.m_nExposure) : 1.0f;
}
} // namespace

bool CDdsTexture::FindFloatRange(float& min, float& max, ProgressCallback progress) {
    FloatPixels f;
    if (!PixelsOf(*this, f) || !m_pRawData || m_nWidth <= 0 || !ImagesMatchHeader(*this))
        return false;
    LoopHost host = HostFor(progress);
    return ScanRange(*this, f, ExposureOf(*this), &host, m_nThreads,
                     ByHalfTables(*this, f, HalfPath::kChosen), min, max);
}

namespace {
// The marks' order of precedence (MarkOf): none, negative, +Inf, NaN.
constexpr uint32_t kMarks[4] = {0, kMarkNegative, kMarkPlusInf, kMarkNaN};

uint8_t MarkRank(float exposed) {
    const uint32_t mark = MarkOf(&exposed, 1);
    return uint8_t(std::find(kMarks, kMarks + 4, mark) - kMarks);
}

// Rows of a half store through tables of every half's result under the rule: one lookup a
// channel instead of the conversion, the range, the curve and the mark.
RangeRowFn HalfTableRows(const CDdsTexture* texture, const FloatPixels& f, const RangeRule& rule,
                         const RangeView& view, uint32_t width, uint32_t colours) {
    struct Tables {
        std::vector<float> unit; // blend: the colour's unit value, through the curve's byte
        std::vector<uint8_t> byte, rank;
    };
    auto tables = std::make_shared<Tables>();
    if (view.blend)
        tables->unit.resize(65536);
    else
        tables->byte.resize(65536);
    if (rule.mark) tables->rank.resize(65536);
    for (uint32_t h = 0; h < 65536; ++h) {
        const float v = HalfExact(h) * rule.exposure;
        if (rule.mark) tables->rank[h] = MarkRank(v);
        const float c = RangeUnit(rule, v);
        if (!view.blend)
            tables->byte[h] = UnitByte(rule, c);
        else
            tables->unit[h] = rule.srgb ? BackgroundUnit(SrgbByte(c)) : c;
    }
    return [texture, f, rule, view, width, colours, tables](uint32_t row, uint32_t* dest) {
        thread_local std::vector<uint16_t> halves;
        halves.resize(size_t(width) * 4);
        ReadHalfRow(*texture, f, row, halves.data());
        const Tables& t = *tables;
        for (uint32_t x = 0; x < width; ++x) {
            const uint16_t* h = &halves[4 * size_t(x)];
            if (rule.mark) {
                uint8_t rank = 0;
                for (uint32_t k = 0; k < colours; ++k) rank = std::max(rank, t.rank[h[k]]);
                if (rank) {
                    dest[x] = kMarks[rank];
                    continue;
                }
            }
            uint32_t bytes[3];
            if (view.blend) {
                const float a = HalfExact(h[3]);
                for (int k = 0; k < 3; ++k) {
                    const float c = t.unit[h[f.from[k] < 0 ? 0 : f.from[k]]];
                    bytes[k] = view.premultiplied ? PremultipliedUnit(a, c, view.background[k])
                                                  : BlendUnit(a, c, view.background[k]);
                }
                dest[x] = Pack(UnitToByte(a), bytes[0], bytes[1], bytes[2]);
                continue;
            }
            for (int k = 0; k < 3; ++k)
                bytes[k] = f.from[k] == kFull ? 255 : f.from[k] == kZero ? 0 : t.byte[h[f.from[k]]];
            dest[x] = Pack(f.alphaInColour ? UnitToByte(HalfExact(h[3])) : 255, bytes[0], bytes[1],
                           bytes[2]);
        }
    };
}
} // namespace

RangeRowFn FloatRangeRows(const CDdsTexture& t, const RangeView& view, RowHost* host,
                          uint32_t threads, HalfPath path) {
    FloatPixels f;
    if (!PixelsOf(t, f) || !t.m_pRawData || t.m_nWidth <= 0) return RangeRowFn();
    RangeRule rule;
    rule.exposure = ExposureOf(t);
    rule.autoRange = t.m_bAutoRange;
    rule.mark = t.m_bAutoRange && t.m_bMarkNonFinite;
    rule.srgb = t.m_bSrgbCurve;
    const uint32_t width = uint32_t(t.m_nWidth), colours = std::min<uint32_t>(f.channels, 3);
    if (rule.autoRange) {
        float min = t.m_fRangeMin, max = t.m_fRangeMax;
        if (!t.m_bRangeGiven &&
            !ScanRange(t, f, rule.exposure, host, threads, ByHalfTables(t, f, path), min, max))
            return RangeRowFn();
        SetRange(rule, min, max);
    }
    const CDdsTexture* texture = &t;
    if (ByHalfTables(t, f, path)) return HalfTableRows(texture, f, rule, view, width, colours);
    return [texture, f, rule, view, width, colours](uint32_t row, uint32_t* dest) {
        thread_local std::vector<float> pixels;
        pixels.resize(size_t(width) * 4);
        ReadRow(*texture, f, row, pixels.data());
        for (uint32_t x = 0; x < width; ++x) {
            float v[4];
            for (uint32_t k = 0; k < 4; ++k) v[k] = pixels[4 * x + k];
            for (uint32_t k = 0; k < colours; ++k) v[k] *= rule.exposure;
            const uint32_t mark = rule.mark ? MarkOf(v, colours) : 0;
            if (mark) {
                dest[x] = mark;
                continue;
            }
            uint32_t bytes[3];
            if (view.blend) {
                // Blended as the other blends are, over the background's display values.
                const float a = v[3];
                for (int k = 0; k < 3; ++k) {
                    float c = RangeUnit(rule, v[f.from[k] < 0 ? 0 : f.from[k]]);
                    if (rule.srgb) c = BackgroundUnit(SrgbByte(c)); // the curve's byte, as a unit
                    bytes[k] = view.premultiplied ? PremultipliedUnit(a, c, view.background[k])
                                                  : BlendUnit(a, c, view.background[k]);
                }
                dest[x] = Pack(UnitToByte(a), bytes[0], bytes[1], bytes[2]);
                continue;
            }
            for (int k = 0; k < 3; ++k)
                bytes[k] = f.from[k] == kFull   ? 255
                           : f.from[k] == kZero ? 0
                                                : UnitByte(rule, RangeUnit(rule, v[f.from[k]]));
            dest[x] = Pack(f.alphaInColour ? UnitToByte(v[3]) : 255, bytes[0], bytes[1], bytes[2]);
        }
    };
}
