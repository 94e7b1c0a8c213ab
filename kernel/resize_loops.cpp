// Plain and SSE2 loops of the resize's two passes (resize_loops.h).
#include "kernel/resize_loops.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zv::kern {

namespace {

// Pair p of column j as its two weights.
inline int PairWeight(uint32_t pair, int t) { return int16_t(t ? pair >> 16 : pair & 0xFFFF); }

// Input values as their Q0 or Q8 numbers, and a sum as the job stores it.
inline int Lift(uint8_t v) { return v; }
inline int Lift(int16_t v) { return v + 32768; }
inline int16_t Finish(const HorizontalJob &, int32_t sum) { return int16_t(HorizontalRound(sum) - 32768); }
inline uint8_t Finish(const HorizontalWordsJob &, int32_t sum) { return uint8_t(VerticalRound(sum)); }
inline uint8_t Finish(const VerticalJob &, int32_t sum) { return uint8_t(VerticalRound(sum)); }

template <class Job>
void HorizontalPlainColumns(const Job &job, int from, int to) {
    const int s = job.stride, c = job.channels;
    for (int j = from; j < to; ++j) {
        const auto *p = job.row + size_t(job.first[j] - job.base) * s;
        for (int ch = 0; ch < c; ++ch) {
            int32_t sum = 0;
            for (int q = 0; q < job.pairCount; ++q) {
                const uint32_t pair = job.pairs[size_t(q) * job.pairStride + j];
                sum += PairWeight(pair, 0) * Lift(p[(2 * q) * s + ch]) + PairWeight(pair, 1) * Lift(p[(2 * q + 1) * s + ch]);
            }
            job.out[size_t(j) * job.places + (job.swap ? c - 1 - ch : ch)] = Finish(job, sum);
        }
        if (job.places > c)
            job.out[size_t(j) * job.places + c] = Finish(job, 0);
    }
}

template <class Job>
void VerticalPlainValues(const Job &job, int from, int to) {
    for (int x = from; x < to; ++x) {
        int32_t sum = 0;
        for (int k = 0; k < job.taps; ++k)
            sum += job.weights[k] * Lift(job.rows[k][x]);
        job.out[x] = Finish(job, sum);
    }
}

void VerticalBytesPlainValues(const VerticalBytesJob &job, int from, int to) {
    for (int x = from; x < to; ++x) {
        int32_t sum = 0;
        for (int k = 0; k < job.taps; ++k)
            sum += VerticalByteShare(job.weights[k], job.rows[k][x]);
        job.out[x] = int16_t(sum - 32768);
    }
}

}  // namespace

void HorizontalPlain(const HorizontalJob &job) { HorizontalPlainColumns(job, 0, job.count); }
void VerticalPlain(const VerticalJob &job) { VerticalPlainValues(job, 0, job.values); }
void HorizontalWordsPlain(const HorizontalWordsJob &job) { HorizontalPlainColumns(job, 0, job.count); }
void VerticalBytesPlain(const VerticalBytesJob &job) { VerticalBytesPlainValues(job, 0, job.values); }

#if defined(__SSE2__)

namespace {

// Q8 less 32768, from the rounding constant on: the sums start here.
const int32_t kHorizontalStart = 32 - (1 << 21);
// The vertical sums of values less 32768 start with the 32768 that every
// weight's share of it took away, plus the rounding.
const int32_t kVerticalStart = (1 << 29) + (1 << 21);

// The source pixels, weights and stores of one horizontal job, held in
// locals so that the loops keep them in registers.
template <class In, class Out>
struct ColourRun {
    const In *row;           // source column 0
    const int *first;
    const uint32_t *pairs;
    size_t pairStride;
    int pairCount;
    Out *out;
};

// A column's tap-pair weight in lanes 0 ... 2 and 0 in lane 3: Lane 0 or
// 1 of the two neighbouring columns' weights at w (one load for both), or
// Lane 2 for the one column at w.
template <int Lane>
inline __m128i ThreeLanes(const uint32_t *w) {
    if (Lane == 2)
        return _mm_shuffle_epi32(_mm_cvtsi32_si128(int(*w)), _MM_SHUFFLE(1, 0, 0, 0));
    const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(w));
    return Lane == 0 ? _mm_shuffle_epi32(two, _MM_SHUFFLE(2, 0, 0, 0)) : _mm_shuffle_epi32(two, _MM_SHUFFLE(2, 1, 1, 1));
}

// A tap pair's two pixels (three channels, `Stride` values apart)
// interleaved channel by channel, so that one multiply-add gives each
// channel's share of the pair: bytes in one 8-byte load, Q8 values in two.
template <int Stride>
inline __m128i PairOf(const uint8_t *p) {
    const __m128i v = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)), _mm_setzero_si128());
    return _mm_unpacklo_epi16(v, _mm_srli_si128(v, 2 * Stride));
}
template <int Stride>
inline __m128i PairOf(const int16_t *p) {
    return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + Stride)));
}

// Column j's sums from start, shifted right by Shift.  The weights reach
// three lanes only: the fourth sums to the start alone (across first the
// shift makes it -32768, the 0 of 32-bit rows).
template <int Stride, int Pairs, bool Swap, int Lane, int Shift, class In, class Out>
inline __m128i ColourSums(const ColourRun<In, Out> &c, int j, __m128i start) {
    const int pairs = Pairs ? Pairs : c.pairCount;
    const In *p = c.row + size_t(c.first[j]) * Stride;
    const uint32_t *w = c.pairs + (Lane == 1 ? j - 1 : j);
    __m128i acc = start;
    for (int q = 0; q < pairs; ++q, p += 2 * Stride, w += c.pairStride)
        acc = _mm_add_epi32(acc, _mm_madd_epi16(PairOf<Stride>(p), ThreeLanes<Lane>(w)));
    acc = _mm_srai_epi32(acc, Shift);
    return Swap ? _mm_shuffle_epi32(acc, _MM_SHUFFLE(3, 0, 1, 2)) : acc;
}

// Two columns a step: their sums packed together and stored at once.
template <int Stride, int Places, int Pairs, bool Swap>
void HorizontalColour(const HorizontalJob &job) {
    const ColourRun<uint8_t, int16_t> c{job.row - size_t(job.base) * Stride, job.first, job.pairs,
                                        size_t(job.pairStride), job.pairCount, job.out};
    const __m128i start = _mm_set1_epi32(kHorizontalStart);
    const int count = job.count;
    int j = 0;
    for (; j + 2 <= count; j += 2) {
        const __m128i packed = _mm_packs_epi32(ColourSums<Stride, Pairs, Swap, 0, 6>(c, j, start),
                                               ColourSums<Stride, Pairs, Swap, 1, 6>(c, j + 1, start));
        int16_t *out = c.out + size_t(j) * Places;
        if (Places == 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out), packed);
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out), packed);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 3), _mm_srli_si128(packed, 8));
        }
    }
    if (j < count) {
        const __m128i sums = ColourSums<Stride, Pairs, Swap, 2, 6>(c, j, start);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(c.out + size_t(j) * Places), _mm_packs_epi32(sums, sums));
    }
}

template <int Stride, int Places, int Pairs, bool Swap>
struct ByteColumns {
    static void Run(const HorizontalJob &job) { HorizontalColour<Stride, Places, Pairs, Swap>(job); }
};

// A colour loop made for its places, channel order and tap pairs, unrolled
// for one and two (bilinear, and area reductions up to 3:1).
template <template <int, int, int, bool> class Loop, int Stride, int Places, bool Swap, class Job>
void ColourPairs(const Job &job) {
    if (job.pairCount == 1)
        Loop<Stride, Places, 1, Swap>::Run(job);
    else if (job.pairCount == 2)
        Loop<Stride, Places, 2, Swap>::Run(job);
    else
        Loop<Stride, Places, 0, Swap>::Run(job);
}

template <template <int, int, int, bool> class Loop, int Stride, class Job>
void ColourOf(const Job &job) {
    if (job.places == 4)
        job.swap ? ColourPairs<Loop, Stride, 4, true>(job) : ColourPairs<Loop, Stride, 4, false>(job);
    else
        job.swap ? ColourPairs<Loop, Stride, 3, true>(job) : ColourPairs<Loop, Stride, 3, false>(job);
}

inline uint32_t TwoBytes(const uint8_t *p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Four columns whose pairs follow each other (a 2:1 reduction): one load.
inline bool Step2(const int *f) { return f[1] == f[0] + 2 && f[2] == f[0] + 4 && f[3] == f[0] + 6; }

// Four columns' tap pairs (two neighbouring values each, the columns'
// first at f) as 16-bit lanes.
inline __m128i FourPairs(const uint8_t *row, const int *f, bool step2) {
    const __m128i zero = _mm_setzero_si128();
    if (step2)
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(row + f[0])), zero);
    const __m128i lo = _mm_cvtsi32_si128(int(TwoBytes(row + f[0]) | TwoBytes(row + f[1]) << 16));
    const __m128i hi = _mm_cvtsi32_si128(int(TwoBytes(row + f[2]) | TwoBytes(row + f[3]) << 16));
    return _mm_unpacklo_epi8(_mm_unpacklo_epi32(lo, hi), zero);
}

inline __m128i FourPairs(const int16_t *row, const int *f, bool step2) {
    if (step2)
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + f[0]));
    uint32_t v[4];
    for (int k = 0; k < 4; ++k)
        std::memcpy(&v[k], row + f[k], 4);
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(_mm_cvtsi32_si128(int(v[0])), _mm_cvtsi32_si128(int(v[1]))),
                              _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(v[2])), _mm_cvtsi32_si128(int(v[3]))));
}

// One channel: the sums of columns j ... j + 3 from start.
template <class Job>
inline __m128i GraySums(const Job &job, int j, __m128i start) {
    const auto *row = job.row - job.base;
    const int *f = job.first + j;
    const bool step2 = Step2(f);
    __m128i acc = start;
    for (int q = 0; q < job.pairCount; ++q) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i *>(job.pairs + size_t(q) * job.pairStride + j));
        acc = _mm_add_epi32(acc, _mm_madd_epi16(FourPairs(row + 2 * q, f, step2), w));
    }
    return acc;
}

// One channel: four columns at a time.
void HorizontalGray(const HorizontalJob &job) {
    const __m128i start = _mm_set1_epi32(kHorizontalStart);
    int j = 0;
    for (; j + 4 <= job.count; j += 4) {
        const __m128i acc = _mm_srai_epi32(GraySums(job, j, start), 6);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(job.out + j), _mm_packs_epi32(acc, acc));
    }
    HorizontalPlainColumns(job, j, job.count);
}

}  // namespace

void HorizontalVector(const HorizontalJob &job) {
    if (job.channels == 1 && job.stride == 1)
        HorizontalGray(job);
    else if (job.channels == 3 && job.stride == 3)
        ColourOf<ByteColumns, 3>(job);
    else if (job.channels == 3 && job.stride == 4)
        ColourOf<ByteColumns, 4>(job);
    else
        HorizontalPlain(job);
}

// Rows and weights of the vertical taps in pairs (an odd last row paired
// with itself at weight 0).
const int kPairsAtOnce = 16;

namespace {

// The job's rows and weights in pairs (an odd last row paired with
// itself at weight 0); returns the number of pairs.
template <int Pairs, class Job, class Row>
int PairUp(const Job &job, const Row **rows, __m128i *weights) {
    const int taps = std::min(job.taps, 2 * kPairsAtOnce), pairs = Pairs ? Pairs : (taps + 1) / 2;
    for (int q = 0; q < pairs; ++q) {
        const bool both = 2 * q + 1 < taps;
        rows[2 * q] = job.rows[2 * q];
        rows[2 * q + 1] = job.rows[both ? 2 * q + 1 : 2 * q];
        weights[q] = _mm_set1_epi32(int(uint16_t(job.weights[2 * q])) |
                                    (both ? int(uint32_t(uint16_t(job.weights[2 * q + 1])) << 16) : 0));
    }
    return pairs;
}

// Sixteen values a step; Pairs 1 (bilinear, two taps) and 2 (area
// reductions up to 3:1) unrolled.
template <int Pairs>
void VerticalPairs(const VerticalJob &job, int from, int to) {
    __m128i weights[kPairsAtOnce];
    const int16_t *rows[2 * kPairsAtOnce];
    const int pairs = PairUp<Pairs>(job, rows, weights);
    const __m128i start = _mm_set1_epi32(kVerticalStart);
    uint8_t *out = job.out;
    int x = from;
    for (; x + 16 <= to; x += 16) {
        __m128i a0 = start, a1 = start, a2 = start, a3 = start;
        for (int q = 0; q < pairs; ++q) {
            const int16_t *ra = rows[2 * q] + x, *rb = rows[2 * q + 1] + x;
            const __m128i w = weights[q];
            const __m128i va0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(ra));
            const __m128i vb0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rb));
            const __m128i va1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(ra + 8));
            const __m128i vb1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rb + 8));
            a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi16(va0, vb0), w));
            a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi16(va0, vb0), w));
            a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi16(va1, vb1), w));
            a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi16(va1, vb1), w));
        }
        const __m128i lo = _mm_packs_epi32(_mm_srai_epi32(a0, 22), _mm_srai_epi32(a1, 22));
        const __m128i hi = _mm_packs_epi32(_mm_srai_epi32(a2, 22), _mm_srai_epi32(a3, 22));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_packus_epi16(lo, hi));
    }
    VerticalPlainValues(job, x, to);
}

// Source bytes down to Q8 values, sixteen a step, in 16 bits: a byte
// moved up 8 bits times the weight moved up 2 keeps the high half of the
// product (VerticalByteShare); a lone tap of weight 1 is the byte moved up.
template <int Taps>
void VerticalByteTaps(const VerticalBytesJob &job, int from, int to) {
    const int taps = Taps ? Taps : job.taps;
    __m128i weights[2 * kPairsAtOnce];
    for (int k = 0; k < taps; ++k)
        weights[k] = _mm_set1_epi16(int16_t(job.weights[k] * 4));
    const bool whole = taps == 1 && job.weights[0] == 16384;
    const __m128i zero = _mm_setzero_si128(), offset = _mm_set1_epi16(int16_t(-32768));
    int16_t *out = job.out;
    int x = from;
    for (; x + 16 <= to; x += 16) {
        __m128i lo = zero, hi = zero;
        for (int k = 0; k < taps; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(job.rows[k] + x));
            const __m128i vl = _mm_unpacklo_epi8(zero, v), vh = _mm_unpackhi_epi8(zero, v);
            lo = _mm_add_epi16(lo, whole ? vl : _mm_mulhi_epu16(vl, weights[k]));
            hi = _mm_add_epi16(hi, whole ? vh : _mm_mulhi_epu16(vh, weights[k]));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_xor_si128(lo, offset));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x + 8), _mm_xor_si128(hi, offset));
    }
    VerticalBytesPlainValues(job, x, to);
}

// Q8 pixels across to bytes: the same sums as the colour loop above.
// Two columns a step; three-byte columns store four bytes each, the
// fourth overwritten by the next column, so the last two go plain.
template <int Stride, int Places, int Pairs, bool Swap>
void HorizontalWordColour(const HorizontalWordsJob &job) {
    const ColourRun<int16_t, uint8_t> c{job.row - size_t(job.base) * Stride, job.first, job.pairs,
                                        size_t(job.pairStride), job.pairCount, job.out};
    const __m128i start = _mm_set1_epi32(kVerticalStart);
    const __m128i keep = _mm_set1_epi32(0x00FFFFFF);
    int j = 0;
    for (; j + 2 + (Places == 3) <= job.count; j += 2) {
        const __m128i packed = _mm_packs_epi32(ColourSums<Stride, Pairs, Swap, 0, 22>(c, j, start),
                                               ColourSums<Stride, Pairs, Swap, 1, 22>(c, j + 1, start));
        const __m128i bytes = _mm_packus_epi16(packed, packed);
        uint8_t *out = c.out + size_t(j) * Places;
        if (Places == 4) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out), _mm_and_si128(bytes, keep));
        } else {
            const uint32_t first = uint32_t(_mm_cvtsi128_si32(bytes));
            const uint32_t second = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4)));
            std::memcpy(out, &first, 4);
            std::memcpy(out + 3, &second, 4);
        }
    }
    HorizontalPlainColumns(job, j, job.count);
}

template <int Stride, int Places, int Pairs, bool Swap>
struct WordColumns {
    static void Run(const HorizontalWordsJob &job) { HorizontalWordColour<Stride, Places, Pairs, Swap>(job); }
};

// One channel: four columns a step.
void HorizontalWordGray(const HorizontalWordsJob &job) {
    const __m128i start = _mm_set1_epi32(kVerticalStart);
    int j = 0;
    for (; j + 4 <= job.count; j += 4) {
        const __m128i acc = _mm_srai_epi32(GraySums(job, j, start), 22);
        const __m128i packed = _mm_packs_epi32(acc, acc);
        const uint32_t bytes = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(packed, packed)));
        std::memcpy(job.out + j, &bytes, 4);
    }
    HorizontalPlainColumns(job, j, job.count);
}

}  // namespace

void HorizontalWordsVector(const HorizontalWordsJob &job) {
    if (job.channels == 1 && job.stride == 1)
        HorizontalWordGray(job);
    else if (job.channels == 3 && job.stride == 3)
        ColourOf<WordColumns, 3>(job);
    else if (job.channels == 3 && job.stride == 4)
        ColourOf<WordColumns, 4>(job);
    else
        HorizontalWordsPlain(job);
}

void VerticalBytesVector(const VerticalBytesJob &job) {
    if (job.taps > 2 * kPairsAtOnce)
        VerticalBytesPlain(job);
    else if (job.taps == 2)
        VerticalByteTaps<2>(job, 0, job.values);
    else if (job.taps == 3)
        VerticalByteTaps<3>(job, 0, job.values);
    else
        VerticalByteTaps<0>(job, 0, job.values);
}

void VerticalVector(const VerticalJob &job) {
    if (job.taps > 2 * kPairsAtOnce)
        VerticalPlain(job);
    else if (job.taps <= 2)
        VerticalPairs<1>(job, 0, job.values);
    else if (job.taps <= 4)
        VerticalPairs<2>(job, 0, job.values);
    else
        VerticalPairs<0>(job, 0, job.values);
}

#else

void HorizontalVector(const HorizontalJob &job) { HorizontalPlain(job); }
void VerticalVector(const VerticalJob &job) { VerticalPlain(job); }
void HorizontalWordsVector(const HorizontalWordsJob &job) { HorizontalWordsPlain(job); }
void VerticalBytesVector(const VerticalBytesJob &job) { VerticalBytesPlain(job); }

#endif

}  // namespace zv::kern
