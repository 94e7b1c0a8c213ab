// Run lengths of 1-bit rows and the black threshold of a footprint, for
// the painters that scale black-and-white pages without expanding rows.
//
// A row is read 64 pixels at a time: the word's bytes are loaded in
// memory order and the bits of each byte reversed, so that pixel i of the
// word is bit i; the pixels where the value changes are then the set bits
// of w ^ (w << 1 | previous pixel), found one by one with a count of
// trailing zeros.  Each run costs a handful of instructions whatever its
// length, and a word without a change costs no run at all.
#include "kernel/kernel_internal.h"

#include <cstring>

using namespace zv::kern;

namespace {

// Appends a run, splitting lengths above 65535 with runs of length 0 of
// the other value so that the alternation is kept.
struct RunWriter {
    WORD *out;
    int count = 0;
    void Put(long long len) {
        while (len > 0xFFFF) {
            out[count++] = 0xFFFF;
            out[count++] = 0;
            len -= 0xFFFF;
        }
        out[count++] = WORD(len);
    }
};

// Pixels 8 k .. 8 k + 63 of a row whose bytes up to `last` may be read:
// pixel 8 k + i in bit i (bits past `last` are 0).
uint64_t PixelWord(const BYTE *row, int64_t k, int64_t last) {
    uint64_t w = 0;
    if (k + 7 <= last)
        std::memcpy(&w, row + k, 8);
    else
        std::memcpy(&w, row + k, size_t(last + 1 - k));
    // Reverse the bits of every byte: the most significant bit is pixel 0.
    w = ((w >> 1) & 0x5555555555555555ull) | ((w & 0x5555555555555555ull) << 1);
    w = ((w >> 2) & 0x3333333333333333ull) | ((w & 0x3333333333333333ull) << 2);
    w = ((w >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((w & 0x0F0F0F0F0F0F0F0Full) << 4);
    return w;
}

}  // namespace

extern "C" {

int __stdcall K_GetRunLengths(const BitmapHandle *pBitmap, int nRow, int nFirstColumn, int nWidth,
                              WORD *pRuns) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    if (!pRuns || pBitmap->BitsPerPixel != 1 || nRow < 0 || nRow >= pBitmap->Height || nFirstColumn < 0 ||
        nWidth < 0 || nFirstColumn > pBitmap->Width - nWidth)
        return RC_INVALID_PARAMETER;
    const BYTE *row = pBitmap->Data + size_t(nRow) * pBitmap->BytesPerLine;
    RunWriter w{pRuns};
    const int64_t first = nFirstColumn, end = first + nWidth;
    int64_t start = first;  // of the run being measured
    if (nWidth > 0) {
        const int64_t last = (end - 1) >> 3;
        uint64_t carry = 0;  // the pixel before the word; the one before the first counts as 0
        for (int64_t base = first & ~int64_t(7); base < end; base += 64) {
            uint64_t v = PixelWord(row, base >> 3, last);
            uint64_t valid = ~uint64_t(0);
            if (base < first) {
                const uint64_t before = (uint64_t(1) << (first - base)) - 1;
                v &= ~before;
                valid &= ~before;
            }
            if (end - base < 64)
                valid &= (uint64_t(1) << (end - base)) - 1;
            uint64_t changes = (v ^ (v << 1 | carry)) & valid;
            carry = v >> 63;
            while (changes) {
                const int64_t at = base + __builtin_ctzll(changes);
                changes &= changes - 1;
                w.Put(at - start);
                start = at;
            }
        }
    }
    w.Put(end - start);
    return w.count;
}

int __stdcall K_GetFootprintThreshold(int nPixels) {
    if (nPixels <= 1)
        return 1;
    return (nPixels + 3) / 4;
}

}  // extern "C"
