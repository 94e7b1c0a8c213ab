// The bitmap's colours as they must be painted, and the gray paint palette
// (Z_CreatePaintPalette itself is exported, zvdisp.h).
#pragma once

#include "zvtypes.h"

namespace zv {

// Palette entries nFirst.. of the bitmap through its paint table when
// BITMAP_PAINT_LUT is set (reserved bytes untouched); returns the number
// of entries written (the kernel's count, possibly 0 or negative).
int GetPaintColors(BitmapHandle *pBitmap, int nFirst, int nCount, RGBQUAD *pColors);

// A 2^nBits-entry gray palette (256 for nBits 0) whose entry i is
// PaintLUT[i * 255 / (n - 1)]; null on failure.  The caller deletes it.
HPALETTE CreateGrayPaintPalette(BitmapHandle *pBitmap, int nBits);

}  // namespace zv
