// The inner loops of the resize (kernel/resize.cpp): one horizontal and
// one vertical pass of a separable filter whose taps were worked out once
// per resize.  Each loop exists twice, plain and with SSE2 where the
// compiler targets it; both give the same bytes (the plain one is the
// reference the tests compare against).
//
// Weights are Q14 (each destination pixel's sum exactly 16384).  The
// horizontal pass turns 8-bit channels into Q8 values (0 ... 65280, i.e.
// value * 256, rounded) stored as int16 less 32768; the vertical pass
// turns those back into rounded 8-bit channels.
#pragma once

#include <cstdint>

namespace zv::kern {

// Horizontal pass over one converted source row.
struct HorizontalJob {
    const uint8_t *row;      // pixel 0 of the row is source column `base`
    int base;
    int stride, channels;    // bytes per pixel (1, 3 or 4); channels used (1 or 3)
    bool swap;               // store the three channels in reverse order
    const int *first;        // per destination column: first source column
    const uint32_t *pairs;   // tap pair p of column j at pairs[p * pairStride + j] (low half first)
    int pairStride, pairCount;
    int count;               // destination columns
    int places;              // values stored per column: channels, or 4 for three (the fourth 0)
    int16_t *out;            // count * places values (+ 4 spare)
};
void HorizontalPlain(const HorizontalJob &job);
void HorizontalVector(const HorizontalJob &job);

// Vertical pass: out[x] = rounded sum of weights[k] * rows[k][x] for
// x < values, as 8-bit.
struct VerticalJob {
    const int16_t *const *rows;
    const int16_t *weights;
    int taps, values;
    uint8_t *out;
};
void VerticalPlain(const VerticalJob &job);
void VerticalVector(const VerticalJob &job);

// The two passes the other way round, for rows that reduce: the vertical
// pass over converted source rows (8-bit channels) to Q8 values less
// 32768, then the horizontal pass over those to 8-bit channels.  The
// vertical sum adds each tap's share cut to Q8 (VerticalByteShare), so
// it fits 16 bits; bilinear shares are exact.
struct VerticalBytesJob {
    const uint8_t *const *rows;
    const int16_t *weights;
    int taps, values;
    int16_t *out;            // values (+ 8 spare)
};
void VerticalBytesPlain(const VerticalBytesJob &job);
void VerticalBytesVector(const VerticalBytesJob &job);

struct HorizontalWordsJob {
    const int16_t *row;      // pixel 0 of the row is source column `base`
    int base;
    int stride, channels;    // values per pixel (1, 3 or 4); channels used (1 or 3)
    bool swap;
    const int *first;
    const uint32_t *pairs;
    int pairStride, pairCount;
    int count;
    int places;              // bytes stored per column: channels, or 4 for three (the fourth 0)
    uint8_t *out;            // count * places bytes, not one more
};
void HorizontalWordsPlain(const HorizontalWordsJob &job);
void HorizontalWordsVector(const HorizontalWordsJob &job);

// A tap's share of a vertical sum of bytes, Q8 cut toward zero.
inline int VerticalByteShare(int weight, int value) { return (weight * value) >> 6; }

// Q8 value of a horizontal sum of Q14 products, and 8-bit of a vertical one.
inline int HorizontalRound(int32_t sum) { return (sum + 32) >> 6; }
inline int VerticalRound(int32_t sum) { return (sum + (1 << 21)) >> 22; }

}  // namespace zv::kern
