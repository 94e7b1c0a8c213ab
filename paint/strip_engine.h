// The strip engine under PaintStrips, PaintUnscaled and PaintGrayUnscaled:
// walks source rows, stretches, converts and turns them into strips of at
// most 262144 bytes and hands each strip to GDI 1:1.
#pragma once

#include "frame/library.h"
#include "paint/geometry.h"
#include "paint/painters.h"

#include <memory>

namespace zv {

constexpr int kStripBytes = 0x40000;

// Scratch buffers of one paint (strip, rows) come from the kernel's
// scratch allocator; its freed large blocks are reused by the next paint.
struct TempFree {
    void operator()(void *p) const { K_FreeTemp(p); }
};
template <class T>
using TempPtr = std::unique_ptr<T, TempFree>;
inline BYTE *AllocTemp(size_t bytes) { return static_cast<BYTE *>(K_AllocTemp(bytes)); }

// How a stretched source row becomes a strip row.
enum StripRowMode {
    STRIP_COPY,     // the bitmap's own pixels
    STRIP_EXPAND,   // a RowExpander
    STRIP_CONVERT,  // a RowConverter against a fixed display palette
    STRIP_GRAY,     // 1-bit black and white expanded to 8-bit gray
};

struct StripJob {
    HDC hDC;
    BitmapHandle *bitmap;
    const BYTE *rows;  // caller rows or null
    int firstRow, rowCount;
    RECT src, clipSrc, dst, clipDst;  // clipSrc inside src and the image
    int deviceBits;  // DeviceBits: 1, 4, 8 or 24
    int kind;        // PaintKind 0, 1, 2, or 3/4 for STRIP_GRAY
    DWORD rop;
    bool unscaled;   // no direct paint, no interpolation; rotated strips in multiples of 8
};

int RunStrips(const StripJob &job);

// A strip: rows of n pixels at bits (destination rows for rotations 0 and
// 180, destination columns for 90 and 270), rowsPerStrip of them, over the
// painted rectangle.  For rotation 90 the rows fill from the strip's end,
// so that the clockwise turn puts the first walked column on the left.
struct StripLayout {
    int degrees;
    int n;
    int rowsPerStrip;
    int rowBytes;
    int bits;
    RECT paint;
};

inline BYTE *StripRow(const StripLayout &l, BYTE *strip, int filled) {
    return strip + size_t(l.degrees == 90 ? l.rowsPerStrip - 1 - filled : filled) * l.rowBytes;
}

// Turns or mirrors the count rows of a strip whose first walked line is
// firstLine into out as the rotation needs and paints them 1:1 at their
// place; RC_NO_MEMORY when GDI refuses.
int SendStrip(HDC hDC, const StripLayout &l, BYTE *strip, BYTE *out, int count, int firstLine,
              PaintBitmapInfo *info, UINT usage, DWORD rop);

// The thread's BITMAPINFO for a paint on hDC: PrinterPaintInfo, freshly
// copied from PaintInfo, on a raster printer; PaintInfo otherwise.
PaintBitmapInfo *ChoosePaintInfo(ThreadPaintSettings *settings, HDC hDC);

// Colour table of a 256-level gray strip: the identity index table with
// DISP_PALETTE_INDICES, else the paint table's grays.  Returns the usage.
UINT SetGrayColorTable(PaintBitmapInfo *info, const BitmapHandle *bitmap, UINT mode);

// Displayed size of a bitmap.
inline int DisplayWidth(const BitmapHandle *b) { return ExchangesAxes(b->Orientation) ? b->Height : b->Width; }
inline int DisplayHeight(const BitmapHandle *b) { return ExchangesAxes(b->Orientation) ? b->Width : b->Height; }

// The rotation and flip that bring the stored rows into GDI's bottom-up
// order; false for an orientation the kernel does not know.
bool TurnToDevice(const BitmapHandle *b, int *pDegrees, int *pFlip);

// Stored row of walked coordinate t: reversed for rotations 90 and 180,
// and again by the flip.
inline int StoredRow(int t, int height, int degrees, int flip) {
    const bool rev = (degrees == 90 || degrees == 180) != (flip != 0);
    return rev ? height - 1 - t : t;
}

}  // namespace zv
