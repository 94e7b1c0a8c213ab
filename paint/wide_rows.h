// Wide strips: strip rows in the 32-bit form of true-colour surfaces.
//
// GDI hands a strip to a 32-bit surface by converting every pixel of it
// (24 to 32 bits, or through the colour table of an 8-bit strip) unless
// the strip is already 32-bit BI_RGB, which it copies.  Under Wine the
// conversion costs about four times the copy (measured: 1:1 strips of
// 8000 x 10 pixels, 24-bit 96 ms and 32-bit 22 ms for 48 Mpixel), so for
// such surfaces the strip engine builds its rows in that form: a 24-bit
// row is stretched and widened in one pass, other rows (palette indices,
// expanded gray) are made as before and widened through their colour
// table.  GDI maps every colour of a strip the same way whatever the
// strip's depth, so the pixels on the device do not change; where the
// surface's own form is not known to be 32 bits the strips stay as they
// were, and so do metafiles and printers, whose records keep the smaller
// strips.
#pragma once

#include "paint/geometry.h"
#include "zvtypes.h"

#include <windows.h>

#include <cstdint>

namespace zv {

// Whether hDC takes 32-bit BI_RGB pixels as they are: a window or screen
// DC of a true-colour display (deviceBits 24), or a display's memory DC
// that holds a 32-bit bitmap (a DIB section of BI_RGB or the standard
// masks, or a device-dependent bitmap), on a palette display too.
bool TakesWidePixels(HDC hDC, int deviceBits);

// The 32-bit pixel (blue, green, red, 0) of each colour table entry.
void WideColorTable(const RGBQUAD *colors, int count, uint32_t *table);

// n pixels of a 24-bit row (blue, green, red) resampled by the walk w
// (destination pixel i shows source pixel w.pos + floor((w.err + i s) /
// w.d), counted from src) into 32-bit pixels.  Reads one byte past the
// last pixel it shows.
void StretchWiden24(const BYTE *src, const Walk &w, uint32_t *dst, int n);

// n pixels of a row of 1-, 4- or 8-bit indices (packed most significant
// bits first) through a 256-entry table of 32-bit pixels.
void WidenIndices(int bits, const BYTE *src, const uint32_t *table, uint32_t *dst, int n);

// Gray rows of 12 or 16 bits made wide in one lookup a pixel: the
// table holds, for every significant value (raw >> Shift) & Mask, the wide
// pixel of what the gray expander gives it: for 8-bit strips the byte
// (window-level entry's first byte, or the scaled gray level) through the
// strip's colour table; for 24-bit strips the entry's colour (or the
// gray) through the paint table when one is given.  The same pixels as
// expanding and widening, one pass.
struct GrayLookup {
    int Shift;
    uint32_t Mask;
    int Entries() const { return int(Mask) + 1; }
};
GrayLookup GrayLookupOf(const BitmapHandle *b);
// Fills Entries() values of table: from the 256 wide pixels of colors
// (8-bit strips), or when colors is null from the colours themselves
// (24-bit strips), each byte through lut when it is not null.
void FillGrayTable(const BitmapHandle *b, const GrayLookup &g, const uint32_t *colors, const BYTE *lut,
                   uint32_t *table);
// n pixels of a 12- or 16-bit gray row through the table.
void LookUpGray(int bits, const BYTE *src, const GrayLookup &g, const uint32_t *table, uint32_t *dst, int n);

}  // namespace zv
