// The significant-bits operation: which part of a deep gray pixel a
// reader of a given width takes.
//
// The range LowBit..HighBit is first brought inside the pixel (a range
// that is empty after that means the whole pixel).  When it is wider than
// the wanted width, the most significant bits of the range are kept: for
// display, the top of the range carries the picture and the low bits are
// noise.  So n = min(range, wanted), s = HighBit - n + 1, m = 2^n - 1, and
// (raw >> s) & m is the wanted part.
#include "kernel/kernel_internal.h"

#include <algorithm>

extern "C" int __stdcall K_GetSignificantBits(int nBitsPerPixel, int nWantedWidth, int nLowBit, int nHighBit,
                                              int *pnCount, UINT *puMask, int *pnShift) {
    if (!pnCount || !puMask || !pnShift || nBitsPerPixel < 1 || nBitsPerPixel > 64 || nWantedWidth < 1)
        return RC_INVALID_PARAMETER;
    const int top = std::min(nBitsPerPixel, 32) - 1;
    int low = std::max(nLowBit, 0);
    int high = std::min(nHighBit, top);
    if (low > high) {
        low = 0;
        high = top;
    }
    const int n = std::min(high - low + 1, std::min(nWantedWidth, 32));
    *pnCount = n;
    *puMask = n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1;
    *pnShift = high - n + 1;
    return RC_SUCCESS;
}
