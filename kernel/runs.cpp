// Run lengths of 1-bit rows and the black threshold of a footprint, for
// the painters that scale black-and-white pages without expanding rows.
#include "kernel/kernel_internal.h"

#include <atomic>

using namespace zv::kern;

namespace {

std::atomic<int> g_rowReads{0};

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

}  // namespace

void zv::kern::CountRowRead() { ++g_rowReads; }

extern "C" {

int __stdcall K_GetRowReadCount(void) { return g_rowReads.load(); }

int __stdcall K_GetRunLengths(const BitmapHandle *pBitmap, int nRow, int nFirstColumn, int nWidth,
                              WORD *pRuns) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    if (!pRuns || pBitmap->BitsPerPixel != 1 || nRow < 0 || nRow >= pBitmap->Height || nFirstColumn < 0 ||
        nWidth < 0 || nFirstColumn > pBitmap->Width - nWidth)
        return RC_INVALID_PARAMETER;
    const BYTE *row = pBitmap->Data + size_t(nRow) * pBitmap->BytesPerLine;
    RunWriter w{pRuns};
    int value = 0;
    long long len = 0;
    int x = nFirstColumn;
    const int end = nFirstColumn + nWidth;
    while (x < end) {
        // Whole bytes of one value are taken eight pixels at a time.
        if ((x & 7) == 0 && end - x >= 8) {
            const BYTE b = row[x >> 3];
            if (b == (value ? 0xFF : 0x00)) {
                len += 8;
                x += 8;
                continue;
            }
        }
        const int bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
        if (bit != value) {
            w.Put(len);
            value = bit;
            len = 0;
        }
        ++len;
        ++x;
    }
    w.Put(len);
    return w.count;
}

int __stdcall K_GetFootprintThreshold(int nPixels) {
    if (nPixels <= 1)
        return 1;
    return (nPixels + 3) / 4;
}

}  // extern "C"
