// YUV and YIQ back to 8-bit RGB, four pixels at a time with SSE2: the
// exact rules of spaces.h (the tests compare both), for the two
// conversions whose scalar form spends most of its time multiplying.
//
// Four pixels are twelve 16-bit values.  Three overlapping loads give, as
// 32-bit lanes, the pairs (c0, c1) of each pixel and a dword holding its
// c2 in one half; pmaddwd then forms every weighted sum of a channel in
// one instruction, the coefficient pattern picking the right half of the
// c2 dwords:
//
//   a = words 0..7    y0 i0 | q0 y1 | i1 q1 | y2 i2      pairs  a0 b0 a3 b3
//   b = words 3..10   y1 i1 | q1 y2 | i2 q2 | y3 i3      c2     a1 b1 c2 c3
//   c = words 4..11   i1 q1 | y2 i2 | q2 y3 | i3 q3             lo lo lo hi
//
// The sums stay below 2^27 in magnitude, where the truncating divisions
// by 1000 and 587 are exact as a multiplication by a 32-bit magic number
// of the absolute value (pmuludq) with the sign put back.
#pragma once

#include "color/spaces.h"

#include <emmintrin.h>

namespace zv::cs {

constexpr uint32_t DivisionMagic(uint64_t d, int shift) {
    return static_cast<uint32_t>(((uint64_t{1} << shift) + d - 1) / d);
}

// floor(a M / 2^shift) = floor(a / d) for every a below 2^27 when the
// rounding excess of M, times 2^27, stays below 2^shift.
constexpr bool MagicIsExact(uint64_t d, int shift) {
    return (DivisionMagic(d, shift) * d - (uint64_t{1} << shift)) << 27 < (uint64_t{1} << shift);
}

// trunc(n / d) of four int32 lanes, |n| < 2^27.
template <uint32_t D, int Shift>
inline __m128i DivideLanes(__m128i n) {
    static_assert(MagicIsExact(D, Shift) && DivisionMagic(D, Shift) < (uint64_t{1} << 32));
    const __m128i m = _mm_set1_epi32(static_cast<int>(DivisionMagic(D, Shift)));
    const __m128i sign = _mm_srai_epi32(n, 31);
    const __m128i a = _mm_sub_epi32(_mm_xor_si128(n, sign), sign);
    const __m128i q02 = _mm_srli_epi64(_mm_mul_epu32(a, m), Shift);
    const __m128i q13 = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(a, 32), m), Shift);
    const __m128i q = _mm_or_si128(q02, _mm_slli_epi64(q13, 32));
    return _mm_sub_epi32(_mm_xor_si128(q, sign), sign);
}

// Family8::From14 (x 255 / 16384, truncated toward zero), kept to 8 bits.
inline __m128i Back8Lanes(__m128i x) {
    const __m128i m = _mm_sub_epi32(_mm_slli_epi32(x, 8), x);
    const __m128i bias = _mm_srli_epi32(_mm_srai_epi32(m, 31), 18);  // 16383 below zero
    return _mm_and_si128(_mm_srai_epi32(_mm_add_epi32(m, bias), 14), _mm_set1_epi32(0xFF));
}

inline void LoadFour(const int16_t *s, __m128i &pairs, __m128i &thirds) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 3));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 4));
    const __m128i lo = _mm_unpacklo_epi32(a, b), hi = _mm_unpackhi_epi32(a, b);
    pairs = _mm_unpacklo_epi64(lo, _mm_unpackhi_epi64(hi, hi));
    thirds = _mm_unpacklo_epi64(_mm_unpackhi_epi64(lo, lo), _mm_unpackhi_epi64(c, c));
}

inline __m128i PairWeights(short w0, short w1) { return _mm_set_epi16(w1, w0, w1, w0, w1, w0, w1, w0); }
inline __m128i ThirdWeights(short w) { return _mm_set_epi16(w, 0, 0, w, 0, w, 0, w); }

// Writes 12 bytes of blue, green, red and 2 more that belong to the next
// pixel: the caller leaves at least one pixel for its scalar tail.
inline void StoreFour(uint8_t *d, __m128i b, __m128i g, __m128i r) {
    const __m128i p = _mm_or_si128(b, _mm_or_si128(_mm_slli_epi32(g, 8), _mm_slli_epi32(r, 16)));
    const __m128i q = _mm_or_si128(_mm_and_si128(p, _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF)),
                                   _mm_and_si128(_mm_srli_epi64(p, 8), _mm_set_epi32(0xFFFF, int(0xFF000000), 0xFFFF, int(0xFF000000))));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(d), q);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(d + 6), _mm_unpackhi_epi64(q, q));
}

// Each returns how many pixels it converted (a multiple of 4, fewer than
// count); the scalar rule does the rest.
inline int YuvToRgb8Fast(const int16_t *s, uint8_t *d, int count) {
    int i = 0;
    for (; i + 4 < count; i += 4, s += 12, d += 12) {
        __m128i yu, v;
        LoadFour(s, yu, v);
        const __m128i y = _mm_madd_epi16(yu, PairWeights(1, 0));
        const __m128i r = _mm_add_epi32(_mm_madd_epi16(v, ThirdWeights(1)), y);
        const __m128i b = _mm_add_epi32(_mm_madd_epi16(yu, PairWeights(0, 1)), y);
        // 1000 Y - 299 R - 114 B with R = V + Y and B = U + Y is 587 Y - 299 V - 114 U.
        const __m128i g = _mm_add_epi32(_mm_madd_epi16(yu, PairWeights(587, -114)), _mm_madd_epi16(v, ThirdWeights(-299)));
        StoreFour(d, Back8Lanes(b), Back8Lanes(DivideLanes<587, 37>(g)), Back8Lanes(r));
    }
    return i;
}

inline int YiqToRgb8Fast(const int16_t *s, uint8_t *d, int count) {
    int i = 0;
    for (; i + 4 < count; i += 4, s += 12, d += 12) {
        __m128i yi, q;
        LoadFour(s, yi, q);
        const __m128i r = _mm_add_epi32(_mm_madd_epi16(yi, PairWeights(1003, 955)), _mm_madd_epi16(q, ThirdWeights(618)));
        const __m128i g = _mm_add_epi32(_mm_madd_epi16(yi, PairWeights(997, -271)), _mm_madd_epi16(q, ThirdWeights(-645)));
        const __m128i b = _mm_add_epi32(_mm_madd_epi16(yi, PairWeights(1008, -1110)), _mm_madd_epi16(q, ThirdWeights(1700)));
        StoreFour(d, Back8Lanes(DivideLanes<1000, 38>(b)), Back8Lanes(DivideLanes<1000, 38>(g)),
                  Back8Lanes(DivideLanes<1000, 38>(r)));
    }
    return i;
}

}  // namespace zv::cs
