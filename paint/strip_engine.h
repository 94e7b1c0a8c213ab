// The strip engine under PaintStrips, PaintUnscaled and PaintGrayUnscaled:
// walks source rows, stretches, converts and turns them into strips of at
// most 262144 bytes and hands each strip to GDI 1:1.
#pragma once

#include "common/guards.h"
#include "frame/library.h"
#include "paint/convert.h"
#include "paint/dib_info.h"
#include "paint/geometry.h"
#include "paint/painters.h"
#include "paint/wide_rows.h"

namespace zv {

constexpr int kStripBytes = 0x40000;

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

// Paints a job: PlanStrips decides, then the buffers are taken, the
// resize (interpolated paints) started, the header prepared and the row
// loop run; see the stages in strip_engine.cpp.
int RunStrips(const StripJob &job);

// The two walks of a paint: `line` gives the walked source coordinate of
// each strip row (mapped to a stored row by StoredRow), `fill` the stored
// column of each strip pixel, increasing; first and last are the stored
// columns the fill reaches, clamped to the image.
struct StripWalks {
    Walk line;
    Walk fill;
    int first, last;
};

// What becomes of a job.
enum StripRoute {
    STRIPS_NOTHING,  // nothing to paint (zero sizes, empty clip), or a refusal (status)
    STRIPS_DIRECT,   // the whole bitmap in one StretchDIBits (DISP_DIRECT_PAINT)
    STRIPS_BANDS,    // bands of the bitmap's own rows, no strip
    STRIPS_ROWS,     // strips built row by row
};

// Every decision of a strip paint, made before any buffer exists; the
// stages after it only carry it out.  Byte counts of 0 mean "no such
// buffer".
struct StripPlan {
    StripRoute route;
    int status;  // RC_SUCCESS, or the refusal of a STRIPS_NOTHING plan

    // Where: the painted part of DstRect, the turn to the device.
    RECT paint;
    int degrees, flip;

    // Format: how a source row becomes a strip row.
    StripRowMode rowMode;
    int stripBits;   // depth of the converted row
    int layoutBits;  // depth handed to GDI: 32 for wide strips, else stripBits
    bool filter;     // rows come from the kernel's resize
    bool wide;       // wide strips (wide_rows.h)
    bool wide24;     // a 24-bit copy stretched straight into wide pixels
    bool lut24;      // 24-bit strip rows through PaintLUT
    bool diffused;   // error diffusion: an error row, the first row converted twice
    RowExpander expander;
    RowConverter converter;
    ModeRowConverter modeConverter;  // the same converter, given the mode below
    UINT mode;                       // the painting thread's DisplayMode (converted rows)

    // Colours: the strip's table (and the resize's output table), and the
    // source table a converter reads.
    int colorCount;
    RGBQUAD colors[256];
    RGBQUAD sourceColors[256];
    DibColorSource tableSource;  // DIB_IDENTITY, DIB_GIVEN_COLORS (colors) or DIB_NO_TABLE

    // Geometry: n pixels per strip row, m strip rows; the walks over the
    // stored rows (or the resized window's rows, lineCount of them).
    int n, m;
    StripWalks walks;
    int lineCount;
    RECT window;   // interpolated: the displayed source window that is resized
    int resizedW;  // interpolated: stored width of the resized window
    int rowsPerStrip;
    int stripRowBytes;

    // Tiles: a turned paint whose strips of whole destination columns
    // would be too narrow for GDI goes in bands of tileRows destination
    // rows (0: one band, the whole paint), each a paint of its own on the
    // same buffers.  `whole` is the painted rectangle of every band; paint,
    // n, m and the walks are the first band's, the buffers the largest any
    // band needs.
    RECT whole;
    int tileRows;

    // How rows are read: unitRead (1:1 from a byte start) reads in place;
    // rowsAtHand uses rows in memory where they are; rowsInPlace and
    // widensInPlace too (the source row of a converter or expander, a
    // 24-bit row widened), but copy a row whose readers, which reach
    // inPlaceEnd bytes into it, would run past the block; 12/16-bit gray
    // rows through a table of their significant values.
    bool unitRead, rowsAtHand, rowsInPlace, widensInPlace;
    int64_t inPlaceEnd;
    GrayLookup grayLookup;
    int readCap;  // bytes a read piece may take

    // Buffers, in the order they are taken.
    size_t readBytes, stretchedBytes, grayTableBytes, narrowBytes, stripBytes, errorEntries, outBytes;
};

// Whether the whole image is one block at Data that GDI (and the kernel's
// resize) may read in place.
bool RowsInMemory(const BitmapHandle *b);

// Decides a job for the display mode `mode` (the thread's DisplayMode).
void PlanStrips(const StripJob &job, UINT mode, StripPlan *plan);

// Bands of a plan: 1 unless it is tiled.
int TileCount(const StripPlan &plan);

// The plan of band k of a tiled plan whose first band is `first`.
void PlanTileBand(const StripJob &job, const StripPlan &first, int k, StripPlan *band);

// Destination pixels of the whole paint.
int64_t PaintedPixels(const StripPlan &plan);

// Paints that went in tiles so far (tests).
int CountTiledPaints();

// Shares a plan's strip budget (and a quarter more) among `slots` strips
// converted at once: fewer rows per strip (turned strips of fewer than 8
// bits a pixel in multiples of 8), or for tiles fewer rows a band, the
// strip buffers sized again.
void ShareStrips(const StripJob &job, StripPlan *plan, int slots);

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

// SendStrip's two halves: the turn or mirror into out (the strip itself
// when there is none), and the paint of the turned rows.
const BYTE *TurnStrip(const StripLayout &l, BYTE *strip, BYTE *out, int count);
int PaintStrip(HDC hDC, const StripLayout &l, const BYTE *bits, int count, int firstLine, PaintBitmapInfo *info,
               UINT usage, DWORD rop);

// The thread's BITMAPINFO for a paint on hDC: PrinterPaintInfo, freshly
// copied from PaintInfo, on a raster printer; PaintInfo otherwise.
PaintBitmapInfo *ChoosePaintInfo(ThreadPaintSettings *settings, HDC hDC);

// The rotation and flip that bring the stored rows into GDI's bottom-up
// order; false for an orientation the kernel does not know.
bool TurnToDevice(const BitmapHandle *b, int *pDegrees, int *pFlip);

// Position of a walk after k steps.
inline int WalkAt(const Walk &w, int64_t k) {
    const int64_t e = w.err + k * w.r;
    return int(w.pos + k * w.q + e / w.d);
}

// Stored row of walked coordinate t: reversed for rotations 90 and 180,
// and again by the flip.
inline int StoredRow(int t, int height, int degrees, int flip) {
    const bool rev = (degrees == 90 || degrees == 180) != (flip != 0);
    return rev ? height - 1 - t : t;
}

}  // namespace zv
