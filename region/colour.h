// The whole-bitmap colour scans, shared by the colour-region exports and
// the flood fills (whose selected mask ends as an exact-colour scan).
#pragma once

#include "region/pixel_test.h"

namespace zv::pick {

// What a scan selects: palette entries decided once (Criteria::Pass), or
// the classifier of 24-bit blue-green-red rows for deeper bitmaps.
struct Scan {
    Criteria C;
    ClassifyFn Classify;  // of the rows as the scan holds them
    bool Deep;            // rows are converted to 24 bits before the test
    bool Nothing;         // no pixel can pass: no row is read
};

// The region of the pixels that pass, combined with the bitmap's region.
int ScanAndCombine(BitmapHandle *pBitmap, const Scan &s, UINT uCombineMode);

// RC_NO_BITMAP for a null or unallocated bitmap, RC_INVALID_FORMAT for a
// depth that has no pixel rules, else RC_SUCCESS.
int CheckPixelBitmap(const BitmapHandle *pBitmap);

// The palette of a bitmap of 8 bits or fewer as the kernel reads it (the
// entries the descriptor says it has, at most 2^bits); returns the count.
int PaletteOf(const BitmapHandle *pBitmap, RGBQUAD *pColors /* 256 */);

// Channel ranges from two colours (red in the low byte); Empty when a
// lower bound lies above its upper bound.
Criteria RangeOf(COLORREF lower, COLORREF upper);

}  // namespace zv::pick

namespace zv {
// Slot 15 of the region service table: Z_SetBitmapRgnColor.
int __stdcall RgnExactColorService(BitmapHandle *pBitmap, COLORREF crColor, UINT uCombineMode);
}  // namespace zv
