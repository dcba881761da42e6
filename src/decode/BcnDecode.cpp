#include "decode/BcnDecode.h"

#include <cstring>
#include <utility>

#include "decode/BlockDecode.h"
#include "decode/PixelConvert.h"

// x86-64 always has SSE2, and the i686 build turns it on for this file.
#if defined(__SSE2__)
#define BCN_DECODE_SSE2 1
#include <emmintrin.h>
#endif

namespace {

// The per-block steps are inlined into the row runs: a call per block costs more than it saves.
#if defined(__GNUC__)
#define BCN_INLINE inline __attribute__((always_inline))
#else
#define BCN_INLINE inline
#endif

constexpr uint32_t kOpaque = 0xFF000000;

// Little-endian targets only, as everywhere in this program.
BCN_INLINE uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The 128 bits of a block, consumed from bit 0 upwards.
struct BitStream {
    uint64_t lo, hi;
    explicit BitStream(const uint8_t* block) : lo(Load64(block)), hi(Load64(block + 8)) {}
    // n from 1 to 63.
    BCN_INLINE uint64_t Take(unsigned n) {
        const uint64_t v = lo & ((uint64_t(1) << n) - 1);
        lo = (lo >> n) | (hi << (64 - n));
        hi >>= n;
        return v;
    }
};

// An anchor index is stored one bit short: its missing top bit (0) goes back in at `pos`, so
// that every index of the field is the same width afterwards.
BCN_INLINE uint64_t InsertZeroBit(uint64_t v, unsigned pos) {
    const uint64_t low = (uint64_t(1) << pos) - 1;
    return (v & low) | ((v & ~low) << 1);
}

// ---- partition and anchor tables (2 bits per pixel, pixel 0 lowest) ---------------------------

constexpr uint32_t kPartitions2[64] = {
    0x50505050, 0x40404040, 0x54545454, 0x54505040, 0x50404000, 0x55545450, 0x55545040, 0x54504000,
    0x50400000, 0x55555450, 0x55544000, 0x54400000, 0x55555440, 0x55550000, 0x55555500, 0x55000000,
    0x55150100, 0x00004054, 0x15010000, 0x00405054, 0x00004050, 0x15050100, 0x05010000, 0x40505054,
    0x00404050, 0x05010100, 0x14141414, 0x05141450, 0x01155440, 0x00555500, 0x15014054, 0x05414150,
    0x44444444, 0x55005500, 0x11441144, 0x05055050, 0x05500550, 0x11114444, 0x41144114, 0x44111144,
    0x15055054, 0x01055040, 0x05041050, 0x05455150, 0x14414114, 0x50050550, 0x41411414, 0x00141400,
    0x00041504, 0x00105410, 0x10541000, 0x04150400, 0x50410514, 0x41051450, 0x05415014, 0x14054150,
    0x41050514, 0x41505014, 0x40011554, 0x54150140, 0x50505500, 0x00555050, 0x15151010, 0x54540404,
};
constexpr uint32_t kPartitions3[64] = {
    0xAA685050, 0x6A5A5040, 0x5A5A4200, 0x5450A0A8, 0xA5A50000, 0xA0A05050, 0x5555A0A0, 0x5A5A5050,
    0xAA550000, 0xAA555500, 0xAAAA5500, 0x90909090, 0x94949494, 0xA4A4A4A4, 0xA9A59450, 0x2A0A4250,
    0xA5945040, 0x0A425054, 0xA5A5A500, 0x55A0A0A0, 0xA8A85454, 0x6A6A4040, 0xA4A45000, 0x1A1A0500,
    0x0050A4A4, 0xAAA59090, 0x14696914, 0x69691400, 0xA08585A0, 0xAA821414, 0x50A4A450, 0x6A5A0200,
    0xA9A58000, 0x5090A0A8, 0xA8A09050, 0x24242424, 0x00AA5500, 0x24924924, 0x24499224, 0x50A50A50,
    0x500AA550, 0xAAAA4444, 0x66660000, 0xA5A0A5A0, 0x50A050A0, 0x69286928, 0x44AAAA44, 0x66666600,
    0xAA444444, 0x54A854A8, 0x95809580, 0x96969600, 0xA85454A8, 0x80959580, 0xAA141414, 0x96960000,
    0xAAAA1414, 0xA05050A0, 0xA0A5A5A0, 0x96000000, 0x40804080, 0xA9A8A9A8, 0xAAAAAA44, 0x2A4A5254,
};
constexpr uint8_t kAnchor2[64] = {
    15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 2,  8, 2,  2, 8,
    8,  15, 2,  8,  2,  2,  8,  8,  2,  2,  15, 15, 6,  8,  2,  8,  15, 15, 2, 8,  2, 2,
    2,  15, 15, 6,  6,  2,  6,  8,  15, 15, 2,  2,  15, 15, 15, 15, 15, 2,  2, 15,
};
constexpr uint8_t kAnchor3[2][64] = {
    {
        3,  3,  15, 15, 8, 3,  15, 15, 8,  8,  6, 6,  6, 5,  3, 3,  3,  3,  8,  15, 3,  3,
        6,  10, 5,  8,  8, 6,  8,  5,  15, 15, 8, 15, 3, 5,  6, 10, 8,  15, 15, 3,  15, 5,
        15, 15, 15, 15, 3, 15, 5,  5,  5,  8,  5, 10, 5, 10, 8, 13, 15, 12, 3,  3,
    },
    {
        15, 8, 8, 3,  15, 15, 3,  8,  15, 15, 15, 15, 15, 15, 15, 8,  15, 8,  15, 3,  15, 8,
        15, 8, 3, 15, 6,  10, 15, 15, 10, 8,  15, 3,  15, 10, 10, 8,  9,  10, 6,  15, 8,  15,
        3,  6, 6, 8,  15, 3,  15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 3,  15, 15, 8,
    }};

// Interpolation weights out of 64 for 2-, 3- and 4-bit indices.
constexpr uint8_t kWeights2[4] = {0, 21, 43, 64};
constexpr uint8_t kWeights3[8] = {0, 9, 18, 27, 37, 46, 55, 64};
constexpr uint8_t kWeights4[16] = {0, 4, 9, 13, 17, 21, 26, 30, 34, 38, 43, 47, 51, 55, 60, 64};

template <unsigned kIndexBits> constexpr const uint8_t* Weights() {
    return kIndexBits == 2 ? kWeights2 : kIndexBits == 3 ? kWeights3 : kWeights4;
}

// ---- BC7 palettes: ((64 - w) x e0 + w x e1 + 32) >> 6 on each byte of two packed colours -------

#ifdef BCN_DECODE_SSE2
// The same weights as 16-bit lanes, four lanes (one colour) per weight, two weights a vector.
template <unsigned kCount> struct WeightLanes {
    uint16_t lane[kCount / 2][8];
    constexpr WeightLanes(const uint8_t* w) : lane() {
        for (unsigned k = 0; k < kCount; ++k)
            for (unsigned c = 0; c < 4; ++c) lane[k / 2][(k % 2) * 4 + c] = w[k];
    }
};
constexpr WeightLanes<4> kWeightLanes2(kWeights2);
constexpr WeightLanes<8> kWeightLanes3(kWeights3);
constexpr WeightLanes<16> kWeightLanes4(kWeights4);

template <unsigned kIndexBits> BCN_INLINE const uint16_t (*LaneTable())[8] {
    return kIndexBits == 2   ? kWeightLanes2.lane
           : kIndexBits == 3 ? kWeightLanes3.lane
                             : kWeightLanes4.lane;
}

// 64 e0 + w (e1 - e0) + 32 stays within 0..16383: 16-bit lanes hold it exactly.
template <unsigned kIndexBits>
BCN_INLINE void Interpolate(uint32_t* out, uint32_t e0, uint32_t e1) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_unpacklo_epi8(_mm_set1_epi32(int(e0)), zero);
    const __m128i d = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_set1_epi32(int(e1)), zero), a);
    const __m128i base = _mm_add_epi16(_mm_slli_epi16(a, 6), _mm_set1_epi16(32));
    const uint16_t(*w)[8] = LaneTable<kIndexBits>();
    for (unsigned k = 0; k < (1u << kIndexBits) / 4; ++k) {
        const __m128i w0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w[2 * k]));
        const __m128i w1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w[2 * k + 1]));
        const __m128i v0 = _mm_srli_epi16(_mm_add_epi16(base, _mm_mullo_epi16(d, w0)), 6);
        const __m128i v1 = _mm_srli_epi16(_mm_add_epi16(base, _mm_mullo_epi16(d, w1)), 6);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k), _mm_packus_epi16(v0, v1));
    }
}
#else
template <unsigned kIndexBits>
BCN_INLINE void Interpolate(uint32_t* out, uint32_t e0, uint32_t e1) {
    const uint8_t* w = Weights<kIndexBits>();
    for (unsigned k = 0; k < (1u << kIndexBits); ++k) {
        uint32_t v = 0;
        for (unsigned s = 0; s < 32; s += 8) {
            const uint32_t a = (e0 >> s) & 255, b = (e1 >> s) & 255;
            v |= (((64 - w[k]) * a + w[k] * b + 32) >> 6) << s;
        }
        out[k] = v;
    }
}
#endif

// ---- BC4 and BC5 ------------------------------------------------------------------------------

// Weights of (endpoint 0, endpoint 1) and the divisor: eight-value and six-value palettes. The
// six-value palette's last two entries are the range's ends, written as endpoint pairs of -1 / 1
// (unsigned: 0 / 255) with the divisor applied.
constexpr int kBC4Weights8[8][2] = {{7, 0}, {0, 7}, {6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}, {1, 6}};
constexpr int kBC4Weights6[6][2] = {{5, 0}, {0, 5}, {4, 1}, {3, 2}, {2, 3}, {1, 4}};

// Floor of (n / (d x 127) + 1) / 2 x 255 for n in -127 d .. 127 d, by table (d = 7 or 5).
template <int kD> struct SignedUnitBytes {
    uint8_t byte[254 * kD + 1];
    constexpr SignedUnitBytes() : byte() {
        for (int x = 0; x <= 254 * kD; ++x) byte[x] = uint8_t(x * 255 / (254 * kD));
    }
};
constexpr SignedUnitBytes<7> kSignedBytes7;
constexpr SignedUnitBytes<5> kSignedBytes5;

BCN_INLINE uint8_t SignedUnitByte(int n, int d) {
    return d == 7 ? kSignedBytes7.byte[n + 127 * 7] : kSignedBytes5.byte[n + 127 * 5];
}

BCN_INLINE void SignedBC4Palette(const uint8_t* block, uint8_t palette[8]) {
    const int s0 = int8_t(block[0]), s1 = int8_t(block[1]);
    // -128 and -127 both mean -1; the palette mode compares the stored values.
    const int c0 = s0 < -127 ? -127 : s0, c1 = s1 < -127 ? -127 : s1;
    if (s0 > s1) {
        for (int k = 0; k < 8; ++k)
            palette[k] = SignedUnitByte(kBC4Weights8[k][0] * c0 + kBC4Weights8[k][1] * c1, 7);
    } else {
        for (int k = 0; k < 6; ++k)
            palette[k] = SignedUnitByte(kBC4Weights6[k][0] * c0 + kBC4Weights6[k][1] * c1, 5);
        palette[6] = 0;
        palette[7] = 255;
    }
}

BCN_INLINE void BC4Bytes(const uint8_t* block, bool isSigned, uint8_t palette[8]) {
    if (isSigned)
        SignedBC4Palette(block, palette);
    else
        InterpolatedAlphaPalette(block[0], block[1], palette);
}

// The palette of a BC4 block as 32-bit values: each byte times `spread` (0x010101 puts it in
// blue, green and red), or-ed with `fill`.
#ifdef BCN_DECODE_SSE2
// Unsigned: both palette modes in 16-bit lanes, one picked by mask (the mode is data, not a
// pattern a branch predictor could learn); divisions by 7 and 5 as DivideBy7 and DivideBy5 do.
BCN_INLINE __m128i Lanes(const uint16_t (&v)[8]) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
}
constexpr uint16_t kLanes8[2][8] = {{7, 0, 6, 5, 4, 3, 2, 1}, {0, 7, 1, 2, 3, 4, 5, 6}};
constexpr uint16_t kLanes6[2][8] = {{5, 0, 4, 3, 2, 1, 0, 0}, {0, 5, 1, 2, 3, 4, 0, 0}};
constexpr uint16_t kLanes6Ends[8] = {0, 0, 0, 0, 0, 0, 0, 255};

BCN_INLINE __m128i UnsignedBC4Lanes(uint32_t a0, uint32_t a1) {
    const __m128i v0 = _mm_set1_epi16(short(a0)), v1 = _mm_set1_epi16(short(a1));
    const __m128i eight = _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(v0, Lanes(kLanes8[0])),
                                                        _mm_mullo_epi16(v1, Lanes(kLanes8[1]))),
                                          _mm_set1_epi16(9363));
    const __m128i six =
        _mm_or_si128(_mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(v0, Lanes(kLanes6[0])),
                                                   _mm_mullo_epi16(v1, Lanes(kLanes6[1]))),
                                     _mm_set1_epi16(13108)),
                     Lanes(kLanes6Ends));
    const __m128i mask = _mm_set1_epi16(short(0 - int(a0 > a1)));
    return _mm_or_si128(_mm_and_si128(mask, eight), _mm_andnot_si128(mask, six));
}

// Signed: x = n + 127 d in 16-bit lanes (the six-value palette's ends as x = 0 and 254 d), then
// x x 255 / (254 d) in float lanes: exact, as x x 255 is, and a quotient that is not a whole
// number lies at least 1 / (254 d) below the next one, far more than a float's rounding moves it.
struct SignedLanes {
    uint16_t w0[8], w1[8], base[8];
    float divisor;
};
constexpr SignedLanes kSignedLanes[2] = {
    {{5, 0, 4, 3, 2, 1, 0, 0},
     {0, 5, 1, 2, 3, 4, 0, 0},
     {635, 635, 635, 635, 635, 635, 0, 1270},
     1270.0f},
    {{7, 0, 6, 5, 4, 3, 2, 1},
     {0, 7, 1, 2, 3, 4, 5, 6},
     {889, 889, 889, 889, 889, 889, 889, 889},
     1778.0f},
};

BCN_INLINE __m128i SignedBC4Lanes(const uint8_t* block) {
    const int s0 = int8_t(block[0]), s1 = int8_t(block[1]);
    const int c0 = s0 < -127 ? -127 : s0, c1 = s1 < -127 ? -127 : s1;
    const SignedLanes& m = kSignedLanes[s0 > s1];
    const __m128i x =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_set1_epi16(short(c0)), Lanes(m.w0)),
                                    _mm_mullo_epi16(_mm_set1_epi16(short(c1)), Lanes(m.w1))),
                      Lanes(m.base));
    const __m128i zero = _mm_setzero_si128();
    const __m128 scale = _mm_set1_ps(255.0f), divisor = _mm_set1_ps(m.divisor);
    const __m128 lo = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(x, zero)), scale);
    const __m128 hi = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(x, zero)), scale);
    return _mm_packs_epi32(_mm_cvttps_epi32(_mm_div_ps(lo, divisor)),
                           _mm_cvttps_epi32(_mm_div_ps(hi, divisor)));
}

template <uint32_t kSpread>
BCN_INLINE void BC4Values(const uint8_t* block, bool isSigned, uint32_t fill, uint32_t out[8]) {
    __m128i lanes;
    if (isSigned) {
        lanes = SignedBC4Lanes(block);
    } else {
        lanes = UnsignedBC4Lanes(block[0], block[1]);
    }
    const __m128i zero = _mm_setzero_si128(), f = _mm_set1_epi32(int(fill));
    __m128i lo = _mm_unpacklo_epi16(lanes, zero), hi = _mm_unpackhi_epi16(lanes, zero);
    if (kSpread == 0x010101) {
        lo = _mm_or_si128(lo, _mm_or_si128(_mm_slli_epi32(lo, 8), _mm_slli_epi32(lo, 16)));
        hi = _mm_or_si128(hi, _mm_or_si128(_mm_slli_epi32(hi, 8), _mm_slli_epi32(hi, 16)));
    } else if (kSpread == 0x10000) {
        lo = _mm_slli_epi32(lo, 16);
        hi = _mm_slli_epi32(hi, 16);
    } else if (kSpread == 0x100) {
        lo = _mm_slli_epi32(lo, 8);
        hi = _mm_slli_epi32(hi, 8);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(lo, f));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_or_si128(hi, f));
}
#else
template <uint32_t kSpread>
BCN_INLINE void BC4Values(const uint8_t* block, bool isSigned, uint32_t fill, uint32_t out[8]) {
    uint8_t bytes[8];
    BC4Bytes(block, isSigned, bytes);
    for (int k = 0; k < 8; ++k) out[k] = fill | uint32_t(bytes[k]) * kSpread;
}
#endif

BCN_INLINE void BC4Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength, bool isSigned) {
    uint32_t grey[8];
    BC4Values<0x010101>(block, isSigned, kOpaque, grey);
    uint64_t indices = Load64(block) >> 16;
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength, indices >>= 12) {
        dest[0] = grey[indices & 7];
        dest[1] = grey[(indices >> 3) & 7];
        dest[2] = grey[(indices >> 6) & 7];
        dest[3] = grey[(indices >> 9) & 7];
    }
}

BCN_INLINE void BC5Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength, bool isSigned) {
    uint32_t r[8], g[8];
    BC4Values<0x10000>(block, isSigned, kOpaque, r);
    BC4Values<0x100>(block + 8, isSigned, 0, g);
    uint64_t ri = Load64(block) >> 16, gi = Load64(block + 8) >> 16;
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength, ri >>= 12, gi >>= 12) {
        dest[0] = r[ri & 7] | g[gi & 7];
        dest[1] = r[(ri >> 3) & 7] | g[(gi >> 3) & 7];
        dest[2] = r[(ri >> 6) & 7] | g[(gi >> 6) & 7];
        dest[3] = r[(ri >> 9) & 7] | g[(gi >> 9) & 7];
    }
}

// ---- BC6H -------------------------------------------------------------------------------------

// The endpoint fields: rN, gN, bN of endpoint N (0 and 1: subset 0; 2 and 3: subset 1).
enum : uint8_t { R0, G0, B0, R1, G1, B1, R2, G2, B2, R3, G3, B3 };

// A run of bits of one field: `count` bits taken from the block go to bits shift... of `field`.
// Fields stored bit-reversed are written as runs of one bit.
struct FieldRun {
    uint8_t field, shift, count;
};

struct BC6HMode {
    uint8_t headerBits;   // 2 or 5 mode bits
    bool transformed;     // endpoints after the first are deltas from it
    bool twoSubsets;      // 5 partition bits follow the fields
    uint8_t endpointBits; // precision of the first endpoint
    uint8_t deltaBits[3]; // red, green, blue precision of the others
    uint8_t runCount;
    FieldRun runs[24];
};

// The fourteen modes, in the order of their mode numbers 0, 1, 2, 6, 10, 14, 18, 22, 26, 30, 3,
// 7, 11, 15.
// clang-format off
constexpr BC6HMode kBC6HModes[14] = {
    {2, true, true, 10, {5, 5, 5}, 19, {  // mode 0
        {G2, 4, 1}, {B2, 4, 1}, {B3, 4, 1}, {R0, 0, 10}, {G0, 0, 10}, {B0, 0, 10},
        {R1, 0, 5}, {G3, 4, 1}, {G2, 0, 4}, {G1, 0, 5}, {B3, 0, 1}, {G3, 0, 4},
        {B1, 0, 5}, {B3, 1, 1}, {B2, 0, 4}, {R2, 0, 5}, {B3, 2, 1}, {R3, 0, 5},
        {B3, 3, 1},
    }},
    {2, true, true, 7, {6, 6, 6}, 23, {  // mode 1
        {G2, 5, 1}, {G3, 4, 1}, {G3, 5, 1}, {R0, 0, 7}, {B3, 0, 1}, {B3, 1, 1},
        {B2, 4, 1}, {G0, 0, 7}, {B2, 5, 1}, {B3, 2, 1}, {G2, 4, 1}, {B0, 0, 7},
        {B3, 3, 1}, {B3, 5, 1}, {B3, 4, 1}, {R1, 0, 6}, {G2, 0, 4}, {G1, 0, 6},
        {G3, 0, 4}, {B1, 0, 6}, {B2, 0, 4}, {R2, 0, 6}, {R3, 0, 6},
    }},
    {5, true, true, 11, {5, 4, 4}, 18, {  // mode 2
        {R0, 0, 10}, {G0, 0, 10}, {B0, 0, 10}, {R1, 0, 5}, {R0, 10, 1}, {G2, 0, 4},
        {G1, 0, 4}, {G0, 10, 1}, {B3, 0, 1}, {G3, 0, 4}, {B1, 0, 4}, {B0, 10, 1},
        {B3, 1, 1}, {B2, 0, 4}, {R2, 0, 5}, {B3, 2, 1}, {R3, 0, 5}, {B3, 3, 1},
    }},
    {5, true, true, 11, {4, 5, 4}, 20, {  // mode 6
        {R0, 0, 10}, {G0, 0, 10}, {B0, 0, 10}, {R1, 0, 4}, {R0, 10, 1}, {G3, 4, 1},
        {G2, 0, 4}, {G1, 0, 5}, {G0, 10, 1}, {G3, 0, 4}, {B1, 0, 4}, {B0, 10, 1},
        {B3, 1, 1}, {B2, 0, 4}, {R2, 0, 4}, {B3, 0, 1}, {B3, 2, 1}, {R3, 0, 4},
        {G2, 4, 1}, {B3, 3, 1},
    }},
    {5, true, true, 11, {4, 4, 5}, 20, {  // mode 10
        {R0, 0, 10}, {G0, 0, 10}, {B0, 0, 10}, {R1, 0, 4}, {R0, 10, 1}, {B2, 4, 1},
        {G2, 0, 4}, {G1, 0, 4}, {G0, 10, 1}, {B3, 0, 1}, {G3, 0, 4}, {B1, 0, 5},
        {B0, 10, 1}, {B2, 0, 4}, {R2, 0, 4}, {B3, 1, 1}, {B3, 2, 1}, {R3, 0, 4},
        {B3, 4, 1}, {B3, 3, 1},
    }},
    {5, true, true, 9, {5, 5, 5}, 19, {  // mode 14
        {R0, 0, 9}, {B2, 4, 1}, {G0, 0, 9}, {G2, 4, 1}, {B0, 0, 9}, {B3, 4, 1},
        {R1, 0, 5}, {G3, 4, 1}, {G2, 0, 4}, {G1, 0, 5}, {B3, 0, 1}, {G3, 0, 4},
        {B1, 0, 5}, {B3, 1, 1}, {B2, 0, 4}, {R2, 0, 5}, {B3, 2, 1}, {R3, 0, 5},
        {B3, 3, 1},
    }},
    {5, true, true, 8, {6, 5, 5}, 19, {  // mode 18
        {R0, 0, 8}, {G3, 4, 1}, {B2, 4, 1}, {G0, 0, 8}, {B3, 2, 1}, {G2, 4, 1},
        {B0, 0, 8}, {B3, 3, 1}, {B3, 4, 1}, {R1, 0, 6}, {G2, 0, 4}, {G1, 0, 5},
        {B3, 0, 1}, {G3, 0, 4}, {B1, 0, 5}, {B3, 1, 1}, {B2, 0, 4}, {R2, 0, 6},
        {R3, 0, 6},
    }},
    {5, true, true, 8, {5, 6, 5}, 21, {  // mode 22
        {R0, 0, 8}, {B3, 0, 1}, {B2, 4, 1}, {G0, 0, 8}, {G2, 5, 1}, {G2, 4, 1},
        {B0, 0, 8}, {G3, 5, 1}, {B3, 4, 1}, {R1, 0, 5}, {G3, 4, 1}, {G2, 0, 4},
        {G1, 0, 6}, {G3, 0, 4}, {B1, 0, 5}, {B3, 1, 1}, {B2, 0, 4}, {R2, 0, 5},
        {B3, 2, 1}, {R3, 0, 5}, {B3, 3, 1},
    }},
    {5, true, true, 8, {5, 5, 6}, 21, {  // mode 26
        {R0, 0, 8}, {B3, 1, 1}, {B2, 4, 1}, {G0, 0, 8}, {B2, 5, 1}, {G2, 4, 1},
        {B0, 0, 8}, {B3, 5, 1}, {B3, 4, 1}, {R1, 0, 5}, {G3, 4, 1}, {G2, 0, 4},
        {G1, 0, 5}, {B3, 0, 1}, {G3, 0, 4}, {B1, 0, 6}, {B2, 0, 4}, {R2, 0, 5},
        {B3, 2, 1}, {R3, 0, 5}, {B3, 3, 1},
    }},
    {5, false, true, 6, {6, 6, 6}, 23, {  // mode 30
        {R0, 0, 6}, {G3, 4, 1}, {B3, 0, 1}, {B3, 1, 1}, {B2, 4, 1}, {G0, 0, 6},
        {G2, 5, 1}, {B2, 5, 1}, {B3, 2, 1}, {G2, 4, 1}, {B0, 0, 6}, {G3, 5, 1},
        {B3, 3, 1}, {B3, 5, 1}, {B3, 4, 1}, {R1, 0, 6}, {G2, 0, 4}, {G1, 0, 6},
        {G3, 0, 4}, {B1, 0, 6}, {B2, 0, 4}, {R2, 0, 6}, {R3, 0, 6},
    }},
    {5, false, false, 10, {10, 10, 10}, 6, {  // mode 3
        {R0, 0, 10}, {G0, 0, 10}, {B0, 0, 10}, {R1, 0, 10}, {G1, 0, 10}, {B1, 0, 10},
    }},
    {5, true, false, 11, {9, 9, 9}, 9, {  // mode 7
        {R0, 0, 10}, {G0, 0, 10}, {B0, 0, 10}, {R1, 0, 9}, {R0, 10, 1}, {G1, 0, 9},
        {G0, 10, 1}, {B1, 0, 9}, {B0, 10, 1},
    }},
    {5, true, false, 12, {8, 8, 8}, 12, {  // mode 11
        {R0, 0, 10}, {G0, 0, 10}, {B0, 0, 10}, {R1, 0, 8}, {R0, 11, 1}, {R0, 10, 1},
        {G1, 0, 8}, {G0, 11, 1}, {G0, 10, 1}, {B1, 0, 8}, {B0, 11, 1}, {B0, 10, 1},
    }},
    {5, true, false, 16, {4, 4, 4}, 24, {  // mode 15
        {R0, 0, 10}, {G0, 0, 10}, {B0, 0, 10}, {R1, 0, 4}, {R0, 15, 1}, {R0, 14, 1},
        {R0, 13, 1}, {R0, 12, 1}, {R0, 11, 1}, {R0, 10, 1}, {G1, 0, 4}, {G0, 15, 1},
        {G0, 14, 1}, {G0, 13, 1}, {G0, 12, 1}, {G0, 11, 1}, {G0, 10, 1}, {B1, 0, 4},
        {B0, 15, 1}, {B0, 14, 1}, {B0, 13, 1}, {B0, 12, 1}, {B0, 11, 1}, {B0, 10, 1},
    }},
};
// clang-format on

// The mode of each value of a block's low five bits: an index into kBC6HModes, or -1 for the
// reserved ones. Values whose low two bits are 0 or 1 are the two-bit modes 0 and 1.
constexpr int8_t kBC6HModeOfBits[32] = {0, 1, 2, 10, 0, 1, 3, 11, 0, 1, 4, 12, 0, 1, 5, 13,
                                        0, 1, 6, -1, 0, 1, 7, -1, 0, 1, 8, -1, 0, 1, 9, -1};

BCN_INLINE int32_t SignExtend(uint32_t v, unsigned bits) {
    const uint32_t sign = uint32_t(1) << (bits - 1);
    return int32_t((v & (2 * sign - 1)) ^ sign) - int32_t(sign);
}

BCN_INLINE int32_t Unquantize(int32_t x, unsigned bits, bool isSigned) {
    if (!isSigned) {
        if (bits >= 15 || x == 0) return x;
        if (x == (1 << bits) - 1) return 0xFFFF;
        return ((x << 15) + 0x4000) >> (bits - 1);
    }
    if (bits >= 16) return x;
    const int32_t m = x < 0 ? -x : x;
    int32_t u;
    if (m == 0)
        u = 0;
    else if (m >= (1 << (bits - 1)) - 1)
        u = 0x7FFF;
    else
        u = ((m << 15) + 0x4000) >> (bits - 1);
    return x < 0 ? -u : u;
}

// The interpolated value scaled to the half-float bit pattern.
BCN_INLINE uint16_t FinishUnquantize(int32_t v, bool isSigned) {
    if (!isSigned) return uint16_t((v * 31) >> 6);
    return v < 0 ? uint16_t(0x8000 | ((-v * 31) >> 5)) : uint16_t((v * 31) >> 5);
}

// A BC6H block read up to its unquantized endpoints: the subset of each pixel and each pixel's
// index; the palette is the caller's (half floats or display bytes).
struct BC6HBlock {
    int32_t ends[4][3]; // unquantized red, green, blue of endpoints 0 and 1 of each subset
    uint32_t partition; // 2 bits per pixel
    uint64_t indices;   // 4 bits per pixel (3 with two subsets), the anchors' bits restored
    unsigned indexBits;
    unsigned subsets;
};

// False for a reserved mode.
BCN_INLINE bool ReadBC6H(const uint8_t* block, bool isSigned, BC6HBlock& out) {
    BitStream bits(block);
    const int modeIndex = kBC6HModeOfBits[bits.lo & 31];
    if (modeIndex < 0) return false;
    const BC6HMode& mode = kBC6HModes[modeIndex];
    bits.Take(mode.headerBits);
    uint32_t field[12] = {};
    for (unsigned r = 0; r < mode.runCount; ++r) {
        const FieldRun run = mode.runs[r];
        field[run.field] |= uint32_t(bits.Take(run.count)) << run.shift;
    }
    const unsigned ends = mode.twoSubsets ? 4 : 2, epb = mode.endpointBits;
    for (unsigned e = 0; e < ends; ++e) {
        for (unsigned c = 0; c < 3; ++c) {
            uint32_t x = field[3 * e + c];
            if (e > 0 && mode.transformed)
                x = uint32_t(int32_t(field[c]) + SignExtend(x, mode.deltaBits[c])) &
                    ((uint32_t(1) << epb) - 1);
            const int32_t v = isSigned ? SignExtend(x, epb) : int32_t(x);
            out.ends[e][c] = Unquantize(v, epb, isSigned);
        }
    }
    if (mode.twoSubsets) {
        const uint32_t p = uint32_t(bits.Take(5));
        uint64_t idx = bits.Take(46);
        idx = InsertZeroBit(idx, 2);
        idx = InsertZeroBit(idx, 3 * kAnchor2[p] + 2);
        out.partition = kPartitions2[p];
        out.indices = idx;
        out.indexBits = 3;
        out.subsets = 2;
    } else {
        out.partition = 0;
        out.indices = InsertZeroBit(bits.Take(63), 3);
        out.indexBits = 4;
        out.subsets = 1;
    }
    return true;
}

// The interpolated value before the final scaling. An arithmetic shift: negative signed values
// round down, as the rules say.
BCN_INLINE int32_t InterpolateBC6H(int32_t a, int32_t b, uint32_t w) {
    return (a * int32_t(64 - w) + b * int32_t(w) + 32) >> 6;
}

// The display pixels (alpha 255) of the palette entries of one subset.
#ifdef BCN_DECODE_SSE2
// Four lanes blue, green, red, (zero) per entry. The interpolation a + ((b - a) w + 32) >> 6 runs
// in float lanes, exactly (every value stays below 2^24), with a bias that makes the truncation a
// floor. The final scaling gives the half; a half below 1.0 becomes its float by re-biasing the
// exponent, exactly as HalfToFloat does, and times 255 (exact: 11 by 8 significant bits) it is
// truncated as UnitToByte does. Halves of 1.0 and above give 255, negative ones (signed) 0.
template <bool kSigned, unsigned kEntries>
BCN_INLINE void BC6HPalette(uint32_t* out, const int32_t* e0, const int32_t* e1, const uint8_t* w) {
    const __m128i a = _mm_setr_epi32(e0[2], e0[1], e0[0], 0);
    const __m128 d =
        _mm_cvtepi32_ps(_mm_setr_epi32(e1[2] - e0[2], e1[1] - e0[1], e1[0] - e0[0], 0));
    const __m128 bias = _mm_set1_ps(4194304.0f + 32.0f), sixtyFourth = _mm_set1_ps(1.0f / 64);
    const __m128i unbias = _mm_set1_epi32(65536), one = _mm_set1_epi32(0x3C00);
    const __m128i rebias = _mm_set1_epi32(112 << 10);
    const __m128 scale = _mm_set1_ps(255.0f);
    for (unsigned k = 0; k < kEntries; k += 4) {
        __m128i px[4];
        for (unsigned j = 0; j < 4; ++j) {
            const __m128 t = _mm_add_ps(_mm_mul_ps(d, _mm_set1_ps(float(w[k + j]))), bias);
            __m128i v = _mm_add_epi32(
                a, _mm_sub_epi32(_mm_cvttps_epi32(_mm_mul_ps(t, sixtyFourth)), unbias));
            __m128i h;
            if (kSigned) {
                v = _mm_andnot_si128(_mm_srai_epi32(v, 31), v);
                h = _mm_srli_epi32(_mm_sub_epi32(_mm_slli_epi32(v, 5), v), 5);
            } else {
                h = _mm_srli_epi32(_mm_sub_epi32(_mm_slli_epi32(v, 5), v), 6);
            }
            const __m128i above = _mm_cmpgt_epi32(h, one);
            h = _mm_or_si128(_mm_andnot_si128(above, h), _mm_and_si128(above, one));
            const __m128 f = _mm_castsi128_ps(_mm_slli_epi32(_mm_add_epi32(h, rebias), 13));
            px[j] = _mm_cvttps_epi32(_mm_mul_ps(f, scale));
        }
        const __m128i bytes =
            _mm_packus_epi16(_mm_packs_epi32(px[0], px[1]), _mm_packs_epi32(px[2], px[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                         _mm_or_si128(bytes, _mm_set1_epi32(int(kOpaque))));
    }
}
#else
template <bool kSigned, unsigned kEntries>
BCN_INLINE void BC6HPalette(uint32_t* out, const int32_t* e0, const int32_t* e1, const uint8_t* w) {
    for (unsigned k = 0; k < kEntries; ++k) {
        uint32_t p = kOpaque;
        for (unsigned c = 0; c < 3; ++c) {
            const uint16_t h = FinishUnquantize(InterpolateBC6H(e0[c], e1[c], w[k]), kSigned);
            p |= uint32_t(HalfToByte(h)) << (16 - 8 * c);
        }
        out[k] = p;
    }
}
#endif

template <bool kSigned>
BCN_INLINE void BC6HPixels(uint32_t* dest, const uint8_t* block, uint32_t rowLength) {
    BC6HBlock b;
    if (!ReadBC6H(block, kSigned, b)) {
        for (uint32_t y = 0; y < 4; ++y, dest += rowLength)
            for (uint32_t x = 0; x < 4; ++x) dest[x] = kOpaque;
        return;
    }
    uint32_t pixels[16];
    if (b.subsets == 2) {
        BC6HPalette<kSigned, 8>(pixels, b.ends[0], b.ends[1], kWeights3);
        BC6HPalette<kSigned, 8>(pixels + 8, b.ends[2], b.ends[3], kWeights3);
    } else {
        BC6HPalette<kSigned, 16>(pixels, b.ends[0], b.ends[1], kWeights4);
    }
    const unsigned ib = b.indexBits;
    const uint64_t mask = (uint64_t(1) << ib) - 1;
    for (uint32_t y = 0, i = 0; y < 4; ++y, dest += rowLength) {
        for (uint32_t x = 0; x < 4; ++x, ++i) {
            const uint32_t s = (b.partition >> (2 * i)) & 3;
            dest[x] = pixels[(s << ib) + ((b.indices >> (ib * i)) & mask)];
        }
    }
}

// ---- BC7 --------------------------------------------------------------------------------------

struct BC7Mode {
    uint8_t subsets, partitionBits, rotationBits, selectorBits, colorBits, alphaBits;
    uint8_t endpointPBits, sharedPBits, indexBits, index2Bits;
};

constexpr BC7Mode kBC7Modes[8] = {
    {3, 4, 0, 0, 4, 0, 1, 0, 3, 0}, {2, 6, 0, 0, 6, 0, 0, 1, 3, 0}, {3, 6, 0, 0, 5, 0, 0, 0, 2, 0},
    {2, 6, 0, 0, 7, 0, 1, 0, 2, 0}, {1, 0, 2, 1, 5, 6, 0, 0, 2, 3}, {1, 0, 2, 0, 7, 8, 0, 0, 2, 2},
    {1, 0, 0, 0, 7, 7, 1, 0, 4, 0}, {2, 6, 0, 0, 5, 5, 1, 0, 2, 0},
};

// A channel of `bits` bits (5 to 8) widened to 8 by repeating its top bits below it.
template <unsigned kBits> BCN_INLINE uint32_t Widen(uint32_t v) {
    if constexpr (kBits == 8)
        return v;
    else
        return (v << (8 - kBits)) | (v >> (2 * kBits - 8));
}

// The index field of `count` pixels of `bits` bits, with the anchors' missing bits restored.
template <unsigned kBits, unsigned kSubsets>
BCN_INLINE uint64_t ReadIndices(BitStream& bits, uint32_t partition) {
    uint64_t idx = bits.Take(16 * kBits - kSubsets);
    idx = InsertZeroBit(idx, kBits - 1);
    if constexpr (kSubsets == 2) {
        idx = InsertZeroBit(idx, kBits * kAnchor2[partition] + kBits - 1);
    } else if constexpr (kSubsets == 3) {
        unsigned a = kAnchor3[0][partition], b = kAnchor3[1][partition];
        if (a > b) std::swap(a, b);
        idx = InsertZeroBit(idx, kBits * a + kBits - 1);
        idx = InsertZeroBit(idx, kBits * b + kBits - 1);
    }
    return idx;
}

// Modes 0, 1, 2, 3, 6 and 7: colour and alpha share one index per pixel.
template <unsigned kMode>
BCN_INLINE void BC7SharedIndex(uint32_t* dest, uint32_t rowLength, BitStream bits) {
    constexpr BC7Mode m = kBC7Modes[kMode];
    constexpr unsigned kEnds = 2 * m.subsets;
    constexpr unsigned kColor = m.colorBits + (m.endpointPBits | m.sharedPBits);
    constexpr unsigned kAlpha = m.alphaBits + m.endpointPBits;
    uint32_t partition = 0;
    if constexpr (m.partitionBits != 0) partition = uint32_t(bits.Take(m.partitionBits));
    uint32_t ch[kEnds][4] = {};
    for (unsigned c = 0; c < 3; ++c)
        for (unsigned e = 0; e < kEnds; ++e) ch[e][c] = uint32_t(bits.Take(m.colorBits));
    if constexpr (m.alphaBits != 0)
        for (unsigned e = 0; e < kEnds; ++e) ch[e][3] = uint32_t(bits.Take(m.alphaBits));
    if constexpr (m.endpointPBits) {
        for (unsigned e = 0; e < kEnds; ++e) {
            const uint32_t p = uint32_t(bits.Take(1));
            for (unsigned c = 0; c < 4; ++c) ch[e][c] = ch[e][c] << 1 | p;
        }
    } else if constexpr (m.sharedPBits) {
        for (unsigned s = 0; s < m.subsets; ++s) {
            const uint32_t p = uint32_t(bits.Take(1));
            for (unsigned c = 0; c < 3; ++c) {
                ch[2 * s][c] = ch[2 * s][c] << 1 | p;
                ch[2 * s + 1][c] = ch[2 * s + 1][c] << 1 | p;
            }
        }
    }
    uint32_t ends[kEnds];
    for (unsigned e = 0; e < kEnds; ++e) {
        uint32_t a = 255;
        if constexpr (m.alphaBits != 0) a = Widen<kAlpha>(ch[e][3]);
        ends[e] = a << 24 | Widen<kColor>(ch[e][0]) << 16 | Widen<kColor>(ch[e][1]) << 8 |
                  Widen<kColor>(ch[e][2]);
    }
    constexpr unsigned kIB = m.indexBits, kEntries = 1u << kIB;
    const uint32_t subsetOf = m.subsets == 2   ? kPartitions2[partition]
                              : m.subsets == 3 ? kPartitions3[partition]
                                               : 0;
    const uint64_t idx = ReadIndices<kIB, m.subsets>(bits, partition);
    uint32_t palette[m.subsets * kEntries];
    for (unsigned s = 0; s < m.subsets; ++s)
        Interpolate<kIB>(palette + s * kEntries, ends[2 * s], ends[2 * s + 1]);
    for (uint32_t y = 0, i = 0; y < 4; ++y, dest += rowLength) {
        for (uint32_t x = 0; x < 4; ++x, ++i) {
            const uint32_t s = m.subsets == 1 ? 0 : (subsetOf >> (2 * i)) & 3;
            dest[x] = palette[s * kEntries + ((idx >> (kIB * i)) & (kEntries - 1))];
        }
    }
}

// Modes 4 and 5: one subset, colour and alpha with indices of their own, and a rotation that
// swaps alpha with one colour channel afterwards. Both palettes are built already rotated, each
// with zeros in the other's bytes, so a pixel is their two entries or-ed together.
template <unsigned kColorIB, unsigned kAlphaIB>
BCN_INLINE void BC7SplitPixels(uint32_t* dest, uint32_t rowLength, const uint32_t color[2],
                               const uint32_t alpha[2], uint64_t colorIdx, uint64_t alphaIdx) {
    uint32_t cp[1u << kColorIB], ap[1u << kAlphaIB];
    Interpolate<kColorIB>(cp, color[0], color[1]);
    Interpolate<kAlphaIB>(ap, alpha[0], alpha[1]);
    constexpr uint64_t kCM = (1u << kColorIB) - 1, kAM = (1u << kAlphaIB) - 1;
    for (uint32_t y = 0; y < 4; ++y, dest += rowLength) {
        for (uint32_t x = 0; x < 4; ++x) {
            dest[x] = cp[colorIdx & kCM] | ap[alphaIdx & kAM];
            colorIdx >>= kColorIB;
            alphaIdx >>= kAlphaIB;
        }
    }
}

template <unsigned kMode>
BCN_INLINE void BC7SplitIndex(uint32_t* dest, uint32_t rowLength, BitStream bits) {
    constexpr BC7Mode m = kBC7Modes[kMode];
    const uint32_t rotation = uint32_t(bits.Take(2));
    const uint32_t selector = m.selectorBits ? uint32_t(bits.Take(1)) : 0;
    uint32_t ch[2][4];
    for (unsigned c = 0; c < 3; ++c)
        for (unsigned e = 0; e < 2; ++e)
            ch[e][c] = Widen<m.colorBits>(uint32_t(bits.Take(m.colorBits)));
    for (unsigned e = 0; e < 2; ++e)
        ch[e][3] = Widen<m.alphaBits>(uint32_t(bits.Take(m.alphaBits)));
    // Byte positions of red, green, blue, alpha after the rotation (0: none; 1, 2, 3: alpha
    // swapped with red, green, blue).
    static constexpr uint8_t kShift[4][4] = {
        {16, 8, 0, 24}, {24, 8, 0, 16}, {16, 24, 0, 8}, {16, 8, 24, 0}};
    const uint8_t* shift = kShift[rotation];
    uint32_t color[2], alpha[2];
    for (unsigned e = 0; e < 2; ++e) {
        color[e] = ch[e][0] << shift[0] | ch[e][1] << shift[1] | ch[e][2] << shift[2];
        alpha[e] = ch[e][3] << shift[3];
    }
    const uint64_t primary = ReadIndices<m.indexBits, 1>(bits, 0);
    const uint64_t secondary = ReadIndices<m.index2Bits, 1>(bits, 0);
    if (selector)
        BC7SplitPixels<m.index2Bits, m.indexBits>(dest, rowLength, color, alpha, secondary,
                                                  primary);
    else
        BC7SplitPixels<m.indexBits, m.index2Bits>(dest, rowLength, color, alpha, primary,
                                                  secondary);
}

BCN_INLINE void BC7Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength) {
    BitStream bits(block);
    const uint32_t low = block[0];
    if (low == 0) {
        for (uint32_t y = 0; y < 4; ++y, dest += rowLength)
            for (uint32_t x = 0; x < 4; ++x) dest[x] = 0;
        return;
    }
    // The mode is the number of zero bits below the lowest set bit, and takes mode + 1 bits.
    unsigned mode = 0;
    while (!(low >> mode & 1)) ++mode;
    bits.Take(mode + 1);
    switch (mode) {
    case 0: BC7SharedIndex<0>(dest, rowLength, bits); break;
    case 1: BC7SharedIndex<1>(dest, rowLength, bits); break;
    case 2: BC7SharedIndex<2>(dest, rowLength, bits); break;
    case 3: BC7SharedIndex<3>(dest, rowLength, bits); break;
    case 4: BC7SplitIndex<4>(dest, rowLength, bits); break;
    case 5: BC7SplitIndex<5>(dest, rowLength, bits); break;
    case 6: BC7SharedIndex<6>(dest, rowLength, bits); break;
    default: BC7SharedIndex<7>(dest, rowLength, bits); break;
    }
}

} // namespace

void BC4Palette(const uint8_t* block, bool isSigned, uint8_t palette[8]) {
    BC4Bytes(block, isSigned, palette);
}

void DecodeBC4Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength, bool isSigned) {
    BC4Block(dest, block, rowLength, isSigned);
}

void DecodeBC5Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength, bool isSigned) {
    BC5Block(dest, block, rowLength, isSigned);
}

void DecodeBC6HBlock(uint16_t halves[16][3], const uint8_t* block, bool isSigned) {
    BC6HBlock b;
    if (!ReadBC6H(block, isSigned, b)) {
        std::memset(halves, 0, sizeof(uint16_t) * 16 * 3);
        return;
    }
    const uint8_t* w = b.subsets == 2 ? kWeights3 : kWeights4;
    const uint64_t mask = (uint64_t(1) << b.indexBits) - 1;
    for (unsigned i = 0; i < 16; ++i) {
        const uint32_t s = (b.partition >> (2 * i)) & 3;
        const uint32_t k = uint32_t((b.indices >> (b.indexBits * i)) & mask);
        for (unsigned c = 0; c < 3; ++c)
            halves[i][c] = FinishUnquantize(
                InterpolateBC6H(b.ends[2 * s][c], b.ends[2 * s + 1][c], w[k]), isSigned);
    }
}

void DecodeBC6HPixels(uint32_t* dest, const uint8_t* block, uint32_t rowLength, bool isSigned) {
    if (isSigned)
        BC6HPixels<true>(dest, block, rowLength);
    else
        BC6HPixels<false>(dest, block, rowLength);
}

void DecodeBC7Block(uint32_t* dest, const uint8_t* block, uint32_t rowLength) {
    BC7Block(dest, block, rowLength);
}

void DecodeBC4Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                     bool isSigned) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 8)
        BC4Block(dest, blocks, rowLength, isSigned);
}

void DecodeBC5Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                     bool isSigned) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 16)
        BC5Block(dest, blocks, rowLength, isSigned);
}

void DecodeBC6HBlocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength,
                      bool isSigned) {
    if (isSigned) {
        for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 16)
            BC6HPixels<true>(dest, blocks, rowLength);
    } else {
        for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 16)
            BC6HPixels<false>(dest, blocks, rowLength);
    }
}

void DecodeBC7Blocks(uint32_t* dest, const uint8_t* blocks, uint32_t count, uint32_t rowLength) {
    for (uint32_t k = 0; k < count; ++k, dest += 4, blocks += 16) BC7Block(dest, blocks, rowLength);
}
