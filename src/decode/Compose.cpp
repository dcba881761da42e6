// Composition of the display image from the work image or the raw surface bytes.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "dds/AlphaMode.h"
#include "decode/BcnDecode.h"
#include "decode/Compose.h"
#include "decode/FloatRange.h"
#include "decode/PixelConvert.h"
#include "decode/RowBands.h"
#include "dds/DdsTexture.h"
#include "io/Progress.h"

// x86-64 always has SSE2, and the i686 build turns it on for this file.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Pictures from this size on (32 MiB, beyond the caches) are composed with streaming stores.
constexpr uint64_t kStreamPixels = uint64_t(8) << 20;

inline uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

inline uint32_t Grey(uint32_t g) {
    return g * 0x01010101u;
}

// Everything a row needs, worked out once per call.
struct ComposeContext {
    const uint8_t* raw;
    uint32_t rawHeld;     // bytes of the surface the raw data holds
    uint32_t rawSize;     // bytes of the whole surface
    const uint32_t* work; // the work row `workFirst`
    uint32_t workFirst;
    uint32_t width;
    uint32_t bytesPerPixel; // of the raw surface
    uint8_t bgRed, bgGreen, bgBlue;
    float bgRedUnit, bgGreenUnit, bgBlueUnit;
    float exposure; // the factor of float colour channels before their clamp: 1 at no exposure
    bool bc6Signed;
    // Large pictures are written past the caches: nothing reads them back soon, and the
    // stores then cost no reads of the lines they fill.
    bool stream;
};

inline bool IsAligned(const uint32_t* p) {
    return (reinterpret_cast<uintptr_t>(p) & 15) == 0;
}

typedef void (*RowFn)(const ComposeContext& c, uint32_t row, uint32_t* dest);

// The pixels of source row `row` that lie within the first `bytes` bytes of the surface.
inline uint32_t PixelsWithin(const ComposeContext& c, uint32_t row, uint64_t bytes) {
    const uint64_t offset = uint64_t(row) * c.width * c.bytesPerPixel;
    if (offset >= bytes) return 0;
    return uint32_t(std::min<uint64_t>(c.width, (bytes - offset) / c.bytesPerPixel));
}

// Pixels the raw data holds are read; pixels of the surface that the file did not supply are
// zero bytes; pixels beyond the surface's size are cleared. Raw-read layouts have at most 16
// bytes per pixel.
template <class PixelFn>
inline void RawRow(const ComposeContext& c, uint32_t row, uint32_t* dest, PixelFn pixel) {
    static const uint8_t kZeroPixel[16] = {};
    const uint32_t held = PixelsWithin(c, row, c.rawHeld);
    uint32_t x = 0;
    if (held) {
        const uint8_t* src = c.raw + uint64_t(row) * c.width * c.bytesPerPixel;
        for (; x < held; ++x, src += c.bytesPerPixel) dest[x] = pixel(c, src);
    }
    const uint32_t sized = PixelsWithin(c, row, c.rawSize);
    if (x < sized) std::fill(dest + x, dest + sized, pixel(c, kZeroPixel));
    std::fill(dest + std::max(x, sized), dest + c.width, 0u);
}

inline uint32_t Load16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

// ---- 32-bit surfaces and block formats: the work image ----------------------------------

inline const uint32_t* WorkRow(const ComposeContext& c, uint32_t row) {
    return c.work + size_t(row - c.workFirst) * c.width;
}

void ColorWork(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    const uint32_t* src = WorkRow(c, row);
#if defined(__SSE2__)
    if (c.stream && IsAligned(dest)) {
        uint32_t x = 0;
        for (; x + 4 <= c.width; x += 4)
            _mm_stream_si128(reinterpret_cast<__m128i*>(dest + x),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x)));
        for (; x < c.width; ++x) dest[x] = src[x];
        return;
    }
#endif
    std::memcpy(dest, src, size_t(c.width) * 4);
}

void BlendWork(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    BlendWorkRow(dest, WorkRow(c, row), c.width, c.bgRed, c.bgGreen, c.bgBlue, c.stream);
}

void PremultipliedWork(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    PremultipliedWorkRow(dest, WorkRow(c, row), c.width, c.bgRed, c.bgGreen, c.bgBlue);
}

void AlphaWork(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    AlphaWorkRow(dest, WorkRow(c, row), c.width);
}

// ---- 8-bit surfaces --------------------------------------------------------------------------

void Color8(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    RawRow(c, row, dest,
           [](const ComposeContext&, const uint8_t* p) { return Pack(255, *p, *p, *p); });
}

// The byte is the alpha of white.
void Blend8(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    RawRow(c, row, dest, [](const ComposeContext& c, const uint8_t* p) {
        const uint32_t a = *p;
        return Pack(a, BlendChannel(255, a, c.bgRed), BlendChannel(255, a, c.bgGreen),
                    BlendChannel(255, a, c.bgBlue));
    });
}

void Alpha8(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    RawRow(c, row, dest, [](const ComposeContext&, const uint8_t* p) { return Grey(*p); });
}

// ---- the bump format ------------------------------------------------------------------------

void ColorBump(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    RawRow(c, row, dest,
           [](const ComposeContext&, const uint8_t* p) { return Pack(255, p[0], p[1], 255); });
}

// ---- float surfaces: channels red, green, blue, alpha in that order -----------------------------

struct Half {
    static float Read(const uint8_t* p) { return HalfToFloat(uint16_t(Load16(p))); }
    static constexpr uint32_t kBytes = 2;
};
struct Single {
    static float Read(const uint8_t* p) {
        float f;
        std::memcpy(&f, p, sizeof f);
        return f;
    }
    static constexpr uint32_t kBytes = 4;
};

// Channels a surface lacks show as 255 (exposure or not).
template <class Elem, int kChannels>
void ColorFloat(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    RawRow(c, row, dest, [](const ComposeContext& c, const uint8_t* p) {
        const auto channel = [&](uint32_t k) {
            return UnitToByte(Elem::Read(p + k * Elem::kBytes) * c.exposure);
        };
        return Pack(255, channel(0), kChannels >= 2 ? channel(1) : 255,
                    kChannels >= 4 ? channel(2) : 255);
    });
}

template <class Elem> void BlendFloat(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    RawRow(c, row, dest, [](const ComposeContext& c, const uint8_t* p) {
        const float a = Elem::Read(p + 3 * Elem::kBytes);
        const auto channel = [&](uint32_t k) {
            return Elem::Read(p + k * Elem::kBytes) * c.exposure;
        };
        return Pack(UnitToByte(a), BlendUnit(a, channel(0), c.bgRedUnit),
                    BlendUnit(a, channel(1), c.bgGreenUnit),
                    BlendUnit(a, channel(2), c.bgBlueUnit));
    });
}

// BC6H under an exposure: the work image holds bytes already clamped, so the row's blocks are
// decoded again to their halves. Blocks the file did not supply decode as zero bytes.
void ColorBC6H(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    static const uint8_t kZeroBlock[16] = {};
    const uint32_t across = (c.width + 3) / 4; // a partial block ends a row of another width
    for (uint32_t j = 0; j < across; ++j) {
        const uint64_t offset = (uint64_t(row / 4) * across + j) * 16;
        uint16_t halves[16][3];
        DecodeBC6HBlock(halves, offset + 16 <= c.rawHeld ? c.raw + offset : kZeroBlock,
                        c.bc6Signed);
        for (uint32_t x = 0; x < 4 && 4 * j + x < c.width; ++x) {
            const uint16_t* h = halves[4 * (row % 4) + x];
            const auto channel = [&](int k) { return UnitToByte(HalfToFloat(h[k]) * c.exposure); };
            dest[4 * j + x] = Pack(255, channel(0), channel(1), channel(2));
        }
    }
}

// Opaque white: the alpha of a surface that has none.
void OpaqueRow(const ComposeContext& c, uint32_t, uint32_t* dest) {
    std::fill(dest, dest + c.width, Grey(255));
}

template <class Elem> void AlphaFloat(const ComposeContext& c, uint32_t row, uint32_t* dest) {
    RawRow(c, row, dest, [](const ComposeContext&, const uint8_t* p) {
        return Grey(UnitToByte(Elem::Read(p + 3 * Elem::kBytes)));
    });
}

enum class View { Color, Blend, Alpha };

// Float formats by bits per pixel: how many channels, and the row function of each view
// (null where the view composes nothing).
struct FloatLayout {
    uint32_t bits;
    RowFn color, blend, alpha;
};
constexpr FloatLayout kHalfLayouts[] = {
    {16, ColorFloat<Half, 1>, nullptr, nullptr},
    {32, ColorFloat<Half, 2>, nullptr, nullptr},
    {64, ColorFloat<Half, 4>, BlendFloat<Half>, AlphaFloat<Half>},
};
constexpr FloatLayout kSingleLayouts[] = {
    {32, ColorFloat<Single, 1>, nullptr, nullptr},
    {64, ColorFloat<Single, 2>, nullptr, nullptr},
    {128, ColorFloat<Single, 4>, BlendFloat<Single>, AlphaFloat<Single>},
};

// The work image (block formats, converted pixels), and 8-bit bytes read as they are.
struct MaskLayout {
    uint32_t bits;
    RowFn color, blend, alpha;
};
constexpr MaskLayout kMaskLayouts[] = {
    {0, ColorWork, BlendWork, AlphaWork},
    {8, Color8, Blend8, Alpha8},
};

template <class Layout, size_t N> RowFn Pick(const Layout (&table)[N], uint32_t bits, View view) {
    for (const Layout& l : table) {
        if (l.bits != bits) continue;
        return view == View::Color ? l.color : view == View::Blend ? l.blend : l.alpha;
    }
    return nullptr;
}

RowFn ChooseRow(int32_t format, uint32_t bits, bool masksInWork, View view) {
    switch (format) {
    case TF_RGB: return Pick(kMaskLayouts, masksInWork ? 0 : bits == 8 ? 8 : ~0u, view);
    case TF_BUMP_UVW: return bits == 16 ? ColorBump : nullptr; // always the colour view
    case TF_FLOAT16: return Pick(kHalfLayouts, bits, view);
    case TF_FLOAT32: return Pick(kSingleLayouts, bits, view);
    case TF_DXGI_PIXELS: return Pick(kMaskLayouts, 0, view); // converted into the work image
    default: return Pick(kMaskLayouts, bits == 0 ? 0 : ~0u, view);
    }
}

// One channel of a colour-view row as grey.
void IsolateRow(uint32_t* row, uint32_t count, uint32_t shift) {
    for (uint32_t x = 0; x < count; ++x) {
        const uint32_t g = (row[x] >> shift) & 255;
        row[x] = Pack(255, g, g, g);
    }
}

} // namespace

bool ImagesMatchHeader(const CDdsTexture& t) {
    return t.m_nWidth >= 0 && t.m_nHeight >= 0 && uint32_t(t.m_nWidth) == t.m_Header.dwWidth &&
           uint32_t(t.m_nHeight) == t.m_Header.dwHeight;
}

uint64_t WorkImageBytes(const CDdsTexture& t) {
    return uint64_t(std::max<uint32_t>(t.m_Header.dwWidth, 4)) *
           std::max<uint32_t>(t.m_Header.dwHeight, 4) * 4;
}

#if defined(__SSE2__)
namespace {
// Two pixels as eight 16-bit lanes (blue, green, red, alpha each): every colour lane blended
// over its background lane by its pixel's alpha, divided by 255 as DivideBy255 does. The alpha
// lanes come out meaningless; the caller puts the alpha bytes back.
inline __m128i BlendTwoPixels(__m128i c, __m128i background) {
    const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xFF), 0xFF);
    const __m128i rest = _mm_sub_epi16(_mm_set1_epi16(255), a);
    const __m128i t = _mm_add_epi16(_mm_mullo_epi16(c, a), _mm_mullo_epi16(background, rest));
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)),
                          8);
}
} // namespace
#endif

void BlendWorkRow(uint32_t* dest, const uint32_t* src, uint32_t count, uint8_t red, uint8_t green,
                  uint8_t blue, bool stream) {
    uint32_t x = 0;
#if defined(__SSE2__)
    stream = stream && IsAligned(dest);
    const __m128i zero = _mm_setzero_si128();
    const __m128i background = _mm_setr_epi16(blue, green, red, 0, blue, green, red, 0);
    const __m128i alphaBytes = _mm_set1_epi32(int(0xFF000000u));
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
        const __m128i colour =
            _mm_packus_epi16(BlendTwoPixels(_mm_unpacklo_epi8(p, zero), background),
                             BlendTwoPixels(_mm_unpackhi_epi8(p, zero), background));
        const __m128i out =
            _mm_or_si128(_mm_andnot_si128(alphaBytes, colour), _mm_and_si128(alphaBytes, p));
        if (stream)
            _mm_stream_si128(reinterpret_cast<__m128i*>(dest + x), out);
        else
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + x), out);
    }
#endif
    for (; x < count; ++x) {
        const uint32_t p = src[x], a = p >> 24;
        dest[x] = Pack(a, BlendChannel((p >> 16) & 255, a, red),
                       BlendChannel((p >> 8) & 255, a, green), BlendChannel(p & 255, a, blue));
    }
}

float ExposureFactor(int32_t stops) {
    return std::ldexp(1.0f, std::max(-kMaxExposure, std::min(kMaxExposure, stops)));
}

bool ExposureApplies(int32_t format) {
    return format == TF_FLOAT16 || format == TF_FLOAT32 || format == TF_BC6H ||
           format == TF_BC6H_SF16;
}

bool BlendsByAlpha(const CDdsTexture& t, int32_t mode) {
    return mode == COMPOSE_BLEND && t.m_nChannel == CHANNEL_ALL && t.m_bHasAlpha &&
           t.m_nFormat != TF_BUMP_UVW && AlphaModeBlends(AlphaModeOf(t));
}

void PremultipliedWorkRow(uint32_t* dest, const uint32_t* src, uint32_t count, uint8_t red,
                          uint8_t green, uint8_t blue) {
    for (uint32_t x = 0; x < count; ++x) {
        const uint32_t p = src[x], a = p >> 24;
        dest[x] = Pack(a, PremultipliedChannel((p >> 16) & 255, a, red),
                       PremultipliedChannel((p >> 8) & 255, a, green),
                       PremultipliedChannel(p & 255, a, blue));
    }
}

int32_t AlphaModeOf(const CDdsTexture& t) {
    return AlphaModeOf(t.m_nFormat, t.m_bDx10, t.m_Dx10.miscFlags2);
}

void AlphaWorkRow(uint32_t* dest, const uint32_t* src, uint32_t count) {
    for (uint32_t x = 0; x < count; ++x) dest[x] = Grey(src[x] >> 24);
}

CDdsTexture::BandRowsFn CDdsTexture::ComposeBandRows(const ComposeRequest& request, bool toDisplay,
                                                     RowHost* host) {
    if (!m_pRawData || !ImagesMatchHeader(*this)) return BandRowsFn();
    int32_t mode = request.mode;
    const bool alphaShown = m_bHasAlpha && m_nFormat != TF_BUMP_UVW;
    // A single colour channel is taken from the colour view, alpha from the alpha view.
    if (m_nChannel >= CHANNEL_RED && m_nChannel <= CHANNEL_BLUE) mode = COMPOSE_COLOR;
    if (m_nChannel == CHANNEL_ALPHA) mode = COMPOSE_ALPHA;
    // Opaque and custom alpha are not blended: the blend view shows the colours.
    const int32_t alphaMode = AlphaModeOf(*this);
    const View view = (mode == COMPOSE_COLOR || !alphaShown) ? View::Color
                      : mode != COMPOSE_BLEND                ? View::Alpha
                      : AlphaModeBlends(alphaMode)           ? View::Blend
                                                             : View::Color;
    const dds::DdsPixelFormat& pf = m_Header.ddspf;
    const bool bc6 = m_nFormat == TF_BC6H || m_nFormat == TF_BC6H_SF16;
    RowFn composeRow = ChooseRow(m_nFormat, pf.dwRGBBitCount, m_bMasksInWork, view);
    if (bc6 && m_nExposure != 0) composeRow = ColorBC6H;
    const bool premultiplied = alphaMode == ALPHA_MODE_PREMULTIPLIED;
    if (premultiplied && composeRow == BlendWork) composeRow = PremultipliedWork;
    if (m_nChannel == CHANNEL_ALPHA && view == View::Color) composeRow = OpaqueRow;
    RangeRowFn rangeRow;
    if (view != View::Alpha && m_nChannel != CHANNEL_ALPHA && FloatRangeWanted(*this)) {
        RangeView rangeView;
        rangeView.blend = view == View::Blend;
        rangeView.premultiplied = premultiplied;
        rangeView.background[0] = BackgroundUnit(request.red);
        rangeView.background[1] = BackgroundUnit(request.green);
        rangeView.background[2] = BackgroundUnit(request.blue);
        rangeRow = FloatRangeRows(*this, rangeView, host, m_nThreads);
        if (!rangeRow) return BandRowsFn(); // stopped while finding the range
    }
    if (!composeRow && toDisplay) { // a view with nothing to show: black
        std::memset(m_pDisplayImage, 0, size_t(m_nWidth) * size_t(m_nHeight) * 4);
        return BandRowsFn();
    }
    if (!composeRow)
        composeRow = [](const ComposeContext& c, uint32_t, uint32_t* dest) {
            std::fill(dest, dest + c.width, 0u);
        };
    const uint32_t isolateShift =
        m_nChannel >= CHANNEL_RED && m_nChannel <= CHANNEL_BLUE ? 8 * (3 - m_nChannel) : 32;

    ComposeContext c;
    c.raw = m_pRawData;
    c.rawHeld = m_nRawHeld;
    c.rawSize = m_nRawSize;
    c.work = nullptr;
    c.workFirst = 0;
    c.width = uint32_t(m_nWidth);
    c.bytesPerPixel = std::max<uint32_t>(1, pf.dwRGBBitCount / 8);
    c.bgRed = request.red;
    c.bgGreen = request.green;
    c.bgBlue = request.blue;
    c.bgRedUnit = BackgroundUnit(request.red);
    c.bgGreenUnit = BackgroundUnit(request.green);
    c.bgBlueUnit = BackgroundUnit(request.blue);
    c.exposure = ExposureFactor(m_nExposure);
    c.bc6Signed = m_nFormat == TF_BC6H_SF16;
    c.stream = toDisplay && uint64_t(m_nWidth) * uint64_t(m_nHeight) >= kStreamPixels;

    return [c, composeRow, rangeRow, isolateShift](const uint32_t* work, uint32_t first,
                                                   uint32_t end, uint32_t* dest, bool bottomUp) {
        ComposeContext band = c;
        band.work = work;
        band.workFirst = first;
        for (uint32_t y = first; y < end; ++y) {
            uint32_t* row = dest + size_t(bottomUp ? end - 1 - y : y - first) * c.width;
            if (rangeRow)
                rangeRow(y, row);
            else
                composeRow(band, y, row);
            if (isolateShift < 32) IsolateRow(row, c.width, isolateShift);
        }
#if defined(__SSE2__)
        _mm_sfence(); // the streamed rows are seen by whoever reads them next
#endif
    };
}
