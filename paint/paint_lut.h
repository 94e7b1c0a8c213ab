// The paint table: 256 bytes built from a bitmap's intensity, contrast and
// gamma, applied to every 8-bit channel or luminance value that is painted.
#pragma once

#include "zvtypes.h"

namespace zv {

// Builds the table for the three settings (gamma x 100, never 0).
// Returns true when the table differs from the identity.
bool BuildPaintTable(int nIntensity, int nContrast, UINT uGamma, BYTE table[256]);

// Rebuilds pBitmap->PaintLUT in place from its settings and sets or clears
// BITMAP_PAINT_LUT.  The bitmap must have its 256-byte PaintLUT.
void RebuildPaintLUT(BitmapHandle *pBitmap);

}  // namespace zv
