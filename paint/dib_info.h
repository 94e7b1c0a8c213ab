// The BITMAPINFO that goes with every StretchDIBits of a paint: one
// function fills the header and the colour table for all painters, which
// differ only in the depth, the size and where the colours come from.
#pragma once

#include "frame/library.h"

namespace zv {

// Where a DIB's colour table comes from.
enum DibColorSource {
    DIB_NO_TABLE,       // above 8 bits: biClrUsed 0
    DIB_IDENTITY,       // the identity index table for the selected palette (DIB_PAL_COLORS)
    DIB_GIVEN_COLORS,   // `count` entries at `colors`
    DIB_PAINT_COLORS,   // the bitmap's palette through its paint table (GetPaintColors)
    DIB_STORED_COLORS,  // the bitmap's palette as stored (kernel)
};

struct DibFormat {
    int width, height;  // height negative: rows top-down
    int bits;
    DWORD imageBytes;   // biSizeImage
    DibColorSource source;
    int count;          // biClrUsed, and the entries read (ignored for DIB_NO_TABLE)
    const RGBQUAD *colors;     // DIB_GIVEN_COLORS
    BitmapHandle *bitmap;      // DIB_PAINT_COLORS, DIB_STORED_COLORS
};

// Fills the header of info (BI_RGB, one plane) and its colour table as f
// says; returns the usage for StretchDIBits.
UINT PrepareDibInfo(PaintBitmapInfo *info, const DibFormat &f);

// A 256-level gray table, entry i (lut[i], lut[i], lut[i], 0), or i
// without a lut.
void GrayColors(const BYTE *lut, RGBQUAD *table);

// DIB_IDENTITY when the display mode says palette indices, else `otherwise`.
inline DibColorSource IndicesOr(UINT mode, DibColorSource otherwise) {
    return (mode & DISP_PALETTE_INDICES) ? DIB_IDENTITY : otherwise;
}

}  // namespace zv
