// Row converters and depth expanders: one source row span in, one row of
// the display's format out.
//
// A converter reads source pixels [start, end), passes every channel (or
// luminance) through the bitmap's paint table, reduces the colours to the
// fixed display palette of its target (paint/fixed_palettes.h) by error
// diffusion or ordered dithering, and packs the indices from the first
// pixel position of dst: 1-bit most significant bit first, 4-bit high
// nibble first, 8-bit one byte per pixel.  Bits of dst beyond the span
// (in its last, partial byte) are preserved.
//
// An expander turns a depth that has no device-independent form (2, 3, 5,
// 6, 7, 12, 16, 32, 48, 64 bits) into 4, 8 or 24 bits with no dithering
// and no paint table.
#pragma once

#include "zvtypes.h"

#include <cstdint>

namespace zv {

// One accumulator triple per pixel of the span, 12 bytes: the error the
// row below inherits for that column, already multiplied by the weights
// 7/5/3/1 and not yet divided by 16.  The caller zero-fills the row before
// the first row of a paint and passes the same buffer for every row.
struct ErrorEntry {
    int32_t Red, Green, Blue;
};
static_assert(sizeof(ErrorEntry) == 12, "three 32-bit accumulators per pixel");
using ErrorRow = ErrorEntry *;

// dst: output row; src: source row; pBitmap: Order, PaintLUT, WindowLUT,
// LowBit, HighBit, BitsPerPixel; [start, end): source pixels, nothing
// done when start >= end; column, row: destination position of the first
// pixel (ordered members only; column advances by one per pixel);
// errors: span-long error row (diffusion members only; without one they
// dither in order); pPalette: the source colour table for sources of 8
// bits or fewer, which must hold 2^bits entries (painters pass a 256-entry
// table; null reads a gray ramp).
using RowConverter = void (*)(BYTE *dst, const BYTE *src, const BitmapHandle *pBitmap, int start, int end,
                              int column, int row, ErrorRow errors, const RGBQUAD *pPalette);

// A converter given the display mode (DISP_CUBE_PALETTE, DISP_CLUSTERED_
// DITHER ...) instead of reading the calling thread's: rows converted on
// another thread than the painting one.
using ModeRowConverter = void (*)(BYTE *dst, const BYTE *src, const BitmapHandle *pBitmap, int start, int end,
                                  int column, int row, ErrorRow errors, const RGBQUAD *pPalette, UINT mode);
// Same meanings; only the 12- and 16-bit expanders read the bitmap.
using RowExpander = void (*)(BYTE *dst, const BYTE *src, const BitmapHandle *pBitmap, int start, int end);

// The converter for (source bits, target bits 1/4/8) and the calling
// thread's DISP_ORDERED_DITHER; null for pairs that have none (1-bit
// sources to 1 or 4 bits, depths such as 9 or 10, other targets).
RowConverter SelectRowConverter(int nSourceBits, int nTargetBits);

// The two members of a pair by method, whatever the thread's mode (tests,
// benchmarks and callers that decide the method themselves).
RowConverter GetRowConverter(int nSourceBits, int nTargetBits, bool bOrdered);

// GetRowConverter's member as a ModeRowConverter.
ModeRowConverter GetModeRowConverter(int nSourceBits, int nTargetBits, bool bOrdered);
// The expander the painters use for PAINT_EXPAND, by source depth:
// 2, 3 -> 4 bits; 5, 6, 7 -> 8; 12, 16 -> 8 when bGray (IsGrayImage) else
// 24; 48, 64 -> 24; every other depth -> the 32-to-24 expander.  Writes
// the output depth to *pOutBits when it is not null.  Never null.
RowExpander SelectRowExpander(int nSourceBits, bool bGray, int *pOutBits);

// The expander for one exact (source, output) pair of the twelve, or null:
// (2,4) (3,4) (5,8) (6,8) (7,8) (12,24) (12,8) (16,24) (16,8) (32,24)
// (48,24) (64,24).
RowExpander GetRowExpander(int nSourceBits, int nOutBits);

}  // namespace zv
