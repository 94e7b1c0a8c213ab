// The strip engine: see strip_engine.h and the geometry in geometry.h.
#include "paint/strip_engine.h"

#include "kernel/kmem.h"
#include "paint/convert.h"
#include "paint/fixed_palettes.h"
#include "paint/paint_kind.h"
#include "paint/paint_palette.h"
#include "paint/wide_rows.h"
#include "paint/window_level.h"

#include <cstring>

namespace zv {

namespace {
// Bytes of a source row read at once (more only when eight destination
// pixels need more).
constexpr int kReadPiece = 16384;
// Most entries of a gray lookup table (64 KB; 12 significant bits take 4096).
constexpr int kGrayTableEntries = 16384;
}  // namespace

PaintBitmapInfo *ChoosePaintInfo(ThreadPaintSettings *settings, HDC hDC) {
    if (DeviceTechnology(hDC) == DT_RASPRINTER) {
        settings->PrinterPaintInfo = settings->PaintInfo;
        return &settings->PrinterPaintInfo;
    }
    return &settings->PaintInfo;
}

UINT SetGrayColorTable(PaintBitmapInfo *info, const BitmapHandle *bitmap, UINT mode) {
    info->bmiHeader.biClrUsed = 256;
    if (mode & DISP_PALETTE_INDICES) {
        WriteIdentityIndexTable(*info);
        return DIB_PAL_COLORS;
    }
    for (int i = 0; i < 256; ++i) {
        const BYTE v = bitmap->PaintLUT ? bitmap->PaintLUT[i] : BYTE(i);
        info->bmiColors[i] = RGBQUAD{v, v, v, 0};
    }
    return DIB_RGB_COLORS;
}

bool TurnToDevice(const BitmapHandle *b, int *pDegrees, int *pFlip) {
    return K_GetOrientationTurn(b->Orientation, ORIENT_BOTTOM_LEFT, pDegrees, pFlip) == RC_SUCCESS;
}

namespace {

// Position of a walk after k steps.
int WalkAt(const Walk &w, int64_t k) {
    const int64_t e = w.err + k * w.r;
    return int(w.pos + k * w.q + e / w.d);
}

bool GdiTakesDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The two walks of a paint over a source of stored width storedW whose
// displayed rectangle src (sw x sh, display height dispH) lands on dst.
struct Walks {
    Walk line;  // walked source coordinate per strip row (rows: T, to be mapped)
    Walk fill;  // stored column per strip pixel, increasing
    int first, last;
};

Walks PlanWalks(int degrees, const RECT &src, const RECT &dst, const RECT &paint, int storedW, int dispH, int n) {
    const int sw = src.right - src.left, sh = src.bottom - src.top;
    const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    Walks w;
    const bool columns = degrees == 90 || degrees == 270;
    w.line = columns ? ForwardWalk(src.left, paint.left - dst.left, sw, dw)
                     : ForwardWalk(dispH - src.bottom, dst.bottom - paint.bottom, sh, dh);
    switch (degrees) {
    case 0: w.fill = ForwardWalk(src.left, paint.left - dst.left, sw, dw); break;
    case 180: w.fill = ReverseWalk(storedW, src.left, paint.right - 1 - dst.left, sw, dw); break;
    case 90: w.fill = ForwardWalk(dispH - src.bottom, dst.bottom - paint.bottom, sh, dh); break;
    default: w.fill = ReverseWalk(storedW, dispH - src.bottom, dst.bottom - 1 - paint.top, sh, dh); break;
    }
    w.first = std::max(0, w.fill.pos);
    w.last = std::min(storedW - 1, WalkAt(w.fill, n - 1));
    return w;
}

// Where interpolated rows come from: a window of the bitmap, read from
// the caller's rows or through the kernel, one pixel-exact span at a time.
struct WindowSource {
    BitmapHandle *bitmap;
    const BYTE *rows;
    int firstRow, rowCount;
    int offsetX, offsetY;
    BYTE *scratch;
};

int __stdcall ReadWindowRow(const BitmapHandle *, BYTE *pBuffer, int nRow, int nColumn, int nBytes, void *pContext) {
    auto *ws = static_cast<WindowSource *>(pContext);
    const BitmapHandle *b = ws->bitmap;
    const int bits = b->BitsPerPixel;
    const int row = std::min(std::max(nRow + ws->offsetY, 0), b->Height - 1);
    const int column = std::min(std::max(nColumn + ws->offsetX, 0), b->Width - 1);
    const int pixels = int(std::min<int64_t>(int64_t(nBytes) * 8 / bits, b->Width - column));
    const int aligned = AlignColumn(column, bits);
    const int offset = int(int64_t(aligned) * bits / 8);
    const int bytes = int(std::min<int64_t>(RowBytesOf(column - aligned + pixels, bits), b->BytesPerLine - offset));
    int got;
    if (column == aligned && !ws->rows)  // whole bytes from the start: straight into the resize's buffer
        return K_GetBitmapRow(b, pBuffer, row, offset, bytes) < bytes ? RC_ROW_READ : RC_SUCCESS;
    if (ws->rows) {
        CallerRows cr{ws->rows, ws->firstRow, ws->rowCount};
        got = ReadCallerRow(ws->bitmap, ws->scratch, row, aligned, bytes, &cr) == RC_SUCCESS ? bytes : -1;
    } else {
        got = K_GetBitmapRow(b, ws->scratch, row, offset, bytes);
    }
    if (got < bytes)
        return RC_ROW_READ;
    K_StretchRow(bits, ws->scratch, column - aligned, 0, 1, 1, 0, pBuffer, pixels);
    return RC_SUCCESS;
}

int DirectPaint(const StripJob &job, ThreadPaintSettings *settings, const RECT &paint) {
    BitmapHandle *b = job.bitmap;
    const UINT mode = settings->DisplayMode;
    PaintBitmapInfo *info = ChoosePaintInfo(settings, job.hDC);
    BITMAPINFOHEADER &h = info->bmiHeader;
    UINT usage = DIB_RGB_COLORS;
    h.biClrUsed = 0;
    if (b->BitsPerPixel <= 8) {
        h.biClrUsed = b->ColorCount;
        if (mode & DISP_PALETTE_INDICES) {
            WriteIdentityIndexTable(*info);
            usage = DIB_PAL_COLORS;
        } else {
            GetPaintColors(b, 0, b->ColorCount, info->bmiColors);
        }
    }
    SetStretchBltMode(job.hDC, HALFTONE);
    h.biWidth = b->Width;
    h.biHeight = b->Orientation == ORIENT_BOTTOM_LEFT ? b->Height : -b->Height;
    h.biBitCount = WORD(b->BitsPerPixel);
    h.biSizeImage = DWORD(b->BytesPerLine) * b->Height;
    IntersectClipRect(job.hDC, paint.left, paint.top, paint.right, paint.bottom);
    const int sw = job.src.right - job.src.left, sh = job.src.bottom - job.src.top;
    // DIB source coordinates run from the lower-left corner of a bottom-up
    // image and from the upper-left corner of a top-down one.
    const int ySrc = b->Orientation == ORIENT_BOTTOM_LEFT ? b->Height - job.src.bottom : job.src.top;
    const int n = StretchDIBits(job.hDC, job.dst.left, job.dst.top, job.dst.right - job.dst.left,
                                job.dst.bottom - job.dst.top, job.src.left, ySrc, sw, sh, b->Data,
                                reinterpret_cast<BITMAPINFO *>(info), usage, job.rop);
    return n ? RC_SUCCESS : RC_NO_MEMORY;
}

// The whole image is one block at Data that GDI may read.
bool RowsInMemory(const BitmapHandle *b) {
    return (b->Flags & BITMAP_CONTIGUOUS) && !(b->Flags & (BITMAP_KERNEL_0100 | BITMAP_KERNEL_8000)) && b->Data;
}

bool CanPaintDirect(const BitmapHandle *b) {
    const int bits = b->BitsPerPixel;
    return RowsInMemory(b) && (b->Orientation == ORIENT_TOP_LEFT || b->Orientation == ORIENT_BOTTOM_LEFT) &&
           (bits == 1 || bits == 4 || bits == 8 || bits == 32 || (bits == 16 && b->Order != ORDER_GRAY) ||
            (bits == 24 && !(b->Flags & BITMAP_PAINT_LUT)));
}

void GrayRamp(const BitmapHandle *b, RGBQUAD *table) {
    for (int i = 0; i < 256; ++i) {
        const BYTE v = (b->Flags & BITMAP_PAINT_LUT) && b->PaintLUT ? b->PaintLUT[i] : BYTE(i);
        table[i] = RGBQUAD{v, v, v, 0};
    }
}

// A 24-bit row made into wide pixels while it is stretched: each piece of
// the source is colour-swapped (Order 5) and put through the paint table
// first, which shows the same pixels as doing so after the stretch.
struct WidePieces {
    bool swap;
    const BYTE *lut;  // null: none
};

// Stored row `row` resampled into n pixels at target: read piece by piece
// through the kernel (or from the caller's rows) and stretched by the
// fill walk, by the kernel's row stretch or, given wide, into 32-bit
// pixels.  Pieces end on a multiple of 8 target pixels so that every
// depth continues on a byte.
bool ReadStretched(const StripJob &job, int row, const Walks &walks, BYTE *buf, int cap, BYTE *target, int n,
                   const WidePieces *wide) {
    const BitmapHandle *b = job.bitmap;
    const int bits = b->BitsPerPixel;
    Walk w = walks.fill;
    const int64_t s = int64_t(w.q) * w.d + w.r;
    const int64_t capPixels = int64_t(cap - 8) * 8 / bits;
    // A 1:1 window that starts on a byte is read straight into place (the
    // caller then has no read buffer).
    if (!buf) {
        const int offset = int(int64_t(w.pos) * bits / 8);
        const int bytes = int(std::min<int64_t>(RowBytesOf(n, bits), b->BytesPerLine - offset));
        if (!job.rows)
            return K_GetBitmapRow(b, target, row, offset, bytes) >= 0;
        const int r = std::min(std::max(row, job.firstRow), job.firstRow + job.rowCount - 1);
        std::memcpy(target, job.rows + size_t(r - job.firstRow) * b->BytesPerLine + offset, bytes);
        return true;
    }
    for (int k = 0; k < n;) {
        const int aligned = AlignColumn(w.pos, bits);
        const int64_t limit = std::min<int64_t>(aligned + capPixels - 1, b->Width - 1);
        // Last step t with pos(t) <= limit: pos(t) = pos + floor((err + t s) / d).
        int64_t count = std::min<int64_t>(n - k, ((limit - w.pos + 1) * w.d - w.err - 1) / s + 1);
        if (count < n - k)
            count &= ~int64_t(7);
        if (count <= 0)
            return false;  // cannot happen: the buffer holds eight steps
        const int64_t e = w.err + (count - 1) * s;
        const int lastColumn = int(w.pos + e / w.d);
        const int offset = int(int64_t(aligned) * bits / 8);
        const int bytes = int(std::min<int64_t>(RowBytesOf(lastColumn + 1 - aligned, bits), b->BytesPerLine - offset));
        if (job.rows) {
            const int r = std::min(std::max(row, job.firstRow), job.firstRow + job.rowCount - 1);
            std::memcpy(buf, job.rows + size_t(r - job.firstRow) * b->BytesPerLine + offset, bytes);
        } else if (K_GetBitmapRow(b, buf, row, offset, bytes) < 0) {
            return false;
        }
        if (wide) {
            const int pixels = lastColumn + 1 - w.pos;  // 24 bits: the piece starts at w.pos
            if (wide->swap)
                K_ConvertColorOrder(buf, pixels, 24, ORDER_BGR_CONVERT, ORDER_BGR);
            if (wide->lut)
                for (int i = 0; i < pixels * 3; ++i)
                    buf[i] = wide->lut[buf[i]];
            Walk piece = w;
            piece.pos = 0;
            StretchWiden24(buf, piece, reinterpret_cast<uint32_t *>(target) + k, int(count));
        } else {
            K_StretchRow(bits, buf, w.pos - aligned, w.q, w.r, w.d, w.err, target + RowBytesOf(k, bits), int(count));
        }
        const int64_t next = w.err + count * s;
        w.pos += int(next / w.d);
        w.err = int(next % w.d);
        k += int(count);
    }
    return true;
}

// Stored row `row` of a paint whose rows are in memory, from column (on a
// byte) onwards, where it is: the caller's rows (clamped to them) or the
// bitmap's block.
const BYTE *RowAt(const StripJob &job, int row, int column) {
    const BitmapHandle *b = job.bitmap;
    const size_t offset = size_t(int64_t(column) * b->BitsPerPixel / 8);
    if (!job.rows)
        return b->Data + size_t(row) * b->BytesPerLine + offset;
    const int r = std::min(std::max(row, job.firstRow), job.firstRow + job.rowCount - 1);
    return job.rows + size_t(r - job.firstRow) * b->BytesPerLine + offset;
}

bool IsUnitWalk(const Walk &w) { return (w.q == 0 && w.r == w.d) || (w.q == 1 && w.r == 0); }

// An expander's row at bits made into wide pixels: 24-bit rows through the
// paint table (when given) byte by byte, indices through their table.
void WidenExpanded(BYTE *row, int bits, const BYTE *lut, const uint32_t *table, BYTE *dst, int n) {
    if (bits != 24) {
        WidenIndices(bits, row, table, reinterpret_cast<uint32_t *>(dst), n);
        return;
    }
    if (lut)
        for (int i = 0; i < n * 3; ++i)
            row[i] = lut[row[i]];
    Walk unit;
    unit.q = 1;
    StretchWiden24(row, unit, reinterpret_cast<uint32_t *>(dst), n);
}

// A 1:1 paint of whole-byte pixels that the strip would only copy can
// hand GDI bands of the bitmap's own rows instead: the same bytes, one
// copy fewer.  Needs the rows in memory, one after another at GDI's row
// stride, and every walked row and column inside the bitmap.
bool IsBandOfBitmap(const StripJob &job, StripRowMode rowMode, int degrees, int flip, const Walks &walks, int n,
                    int m) {
    const BitmapHandle *b = job.bitmap;
    const int bpp = b->BitsPerPixel;
    if (rowMode != STRIP_COPY || degrees != 0 || job.rows || b->Order == ORDER_BGR_CONVERT || !CanPaintDirect(b) ||
        !(bpp == 8 || bpp == 24) || b->BytesPerLine != DibRowBytes(b->Width, bpp) ||
        !IsUnitWalk(walks.line))
        return false;
    const int first = StoredRow(walks.line.pos, b->Height, degrees, flip);
    const int last = StoredRow(WalkAt(walks.line, m - 1), b->Height, degrees, flip);
    return walks.fill.pos >= 0 && int64_t(walks.fill.pos) + n <= b->Width && std::min(first, last) >= 0 &&
           std::max(first, last) < b->Height;
}

// Paints the rows of IsBandOfBitmap's paint in bands of rowsPerStrip
// straight from the bitmap: each band's header is bottom-up when the
// stored rows run upwards on the device and top-down otherwise.
int SendBands(const StripJob &job, const StripLayout &l, const Walks &walks, int flip, int m, PaintBitmapInfo *info,
              UINT usage) {
    const BitmapHandle *b = job.bitmap;
    BITMAPINFOHEADER &hdr = info->bmiHeader;
    hdr.biWidth = b->Width;
    for (int t = 0; t < m; t += l.rowsPerStrip) {
        const int count = std::min(l.rowsPerStrip, m - t);
        const int s0 = StoredRow(WalkAt(walks.line, t), b->Height, 0, flip);
        const int s1 = StoredRow(WalkAt(walks.line, t + count - 1), b->Height, 0, flip);
        hdr.biHeight = s1 >= s0 ? count : -count;
        hdr.biSizeImage = DWORD(b->BytesPerLine) * count;
        const BYTE *rows = b->Data + size_t(std::min(s0, s1)) * b->BytesPerLine;
        if (!StretchDIBits(job.hDC, l.paint.left, l.paint.bottom - t - count, l.n, count, walks.fill.pos, 0, l.n,
                           count, rows, reinterpret_cast<BITMAPINFO *>(info), usage, job.rop))
            return RC_NO_MEMORY;
    }
    return RC_SUCCESS;
}

}  // namespace

int SendStrip(HDC hDC, const StripLayout &l, BYTE *strip, BYTE *out, int count, int firstLine,
              PaintBitmapInfo *info, UINT usage, DWORD rop) {
    BYTE *base = strip + (l.degrees == 90 ? size_t(l.rowsPerStrip - count) * l.rowBytes : 0);
    const BYTE *bits = base;
    int x, y, w, h;
    if (l.degrees == 90 || l.degrees == 270) {
        K_RotateStrip(base, out, l.n, count, l.bits, l.degrees == 90 ? 1 : 0);
        bits = out;
        x = l.paint.left + firstLine, y = l.paint.top, w = count, h = l.n;
    } else {
        if (l.degrees == 180) {
            K_FlipStrip(base, out, l.n, count, l.bits);
            bits = out;
        }
        x = l.paint.left, y = l.paint.bottom - firstLine - count, w = l.n, h = count;
    }
    BITMAPINFOHEADER &hdr = info->bmiHeader;
    hdr.biWidth = w;
    hdr.biHeight = h;
    hdr.biSizeImage = DWORD(DibRowBytes(w, l.bits)) * h;
    if (!StretchDIBits(hDC, x, y, w, h, 0, 0, w, h, bits, reinterpret_cast<BITMAPINFO *>(info), usage, rop))
        return RC_NO_MEMORY;
    return RC_SUCCESS;
}

int RunStrips(const StripJob &job) {
    ThreadPaintSettings *settings = GetPaintSettings();
    const UINT mode = settings->DisplayMode;
    BitmapHandle *b = job.bitmap;
    const int bpp = b->BitsPerPixel;
    const int sw = job.src.right - job.src.left, sh = job.src.bottom - job.src.top;
    const int dw = job.dst.right - job.dst.left, dh = job.dst.bottom - job.dst.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return RC_SUCCESS;
    const RECT paint = Intersect(MapClipToDestination(job.src, job.clipSrc, job.dst), job.clipDst);
    if (IsEmptyRect(paint))
        return RC_SUCCESS;
    int degrees, flip;
    if (!TurnToDevice(b, &degrees, &flip))
        return RC_INVALID_PARAMETER;

    if (!job.unscaled && (mode & DISP_DIRECT_PAINT) && !job.rows && CanPaintDirect(b))
        return DirectPaint(job, settings, paint);

    // Strip format and row conversion.
    const bool gray = (bpp == 12 || bpp == 16) && IsGrayImage(b);
    int kind = job.kind;
    StripRowMode rowMode = STRIP_COPY;
    int stripBits = bpp;
    RowExpander expander = nullptr;
    RowConverter converter = nullptr;
    if (kind == 3 || kind == 4) {
        rowMode = STRIP_GRAY;
        stripBits = 8;
    } else {
        if (kind == 1 && bpp == 24)
            kind = 0;  // the Order 5 swap below does the expander's work
        if (kind == 2) {
            stripBits = std::min(job.deviceBits, 8);
            converter = SelectRowConverter(bpp, stripBits);
            if (!converter)
                kind = GdiTakesDepth(bpp) ? 0 : 1;
        }
        if (kind == 1) {
            rowMode = STRIP_EXPAND;
            expander = SelectRowExpander(bpp, gray, &stripBits);
        } else if (kind == 2) {
            rowMode = STRIP_CONVERT;
        } else {
            stripBits = bpp;
        }
    }
    const bool filter = !job.unscaled && (mode & (DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT));
    if (filter && stripBits <= 8 && bpp <= 8 && job.deviceBits > 8 &&
        !(K_IsGrayScale(b) == 1 && b->ColorCount == (1 << bpp)))
        stripBits = 24;

    // Colours of the strip (and of the interpolated output).
    RGBQUAD colors[256] = {};
    int colorCount = 0;
    RGBQUAD sourceColors[256] = {};
    if (stripBits <= 8) {
        if (rowMode == STRIP_CONVERT) {
            colorCount = 1 << stripBits;
            const RGBQUAD *fixed = stripBits == 1   ? MonoPalette.data()
                                   : stripBits == 4 ? Vga16Palette.data()
                                   : (mode & DISP_CUBE_PALETTE) ? CubePalette.data()
                                                                : Rgb332Palette.data();
            std::memcpy(colors, fixed, sizeof(RGBQUAD) * colorCount);
        } else if (rowMode == STRIP_GRAY || bpp > 8) {
            colorCount = 256;
            GrayRamp(b, colors);
        } else {
            colorCount = b->Palette && b->ColorCount > 0 ? std::min(b->ColorCount, 256) : 1 << bpp;
            if (GetPaintColors(b, 0, colorCount, colors) <= 0)
                GrayRamp(b, colors);
        }
    }
    if (rowMode == STRIP_CONVERT) {
        if (bpp <= 8)
            K_GetBitmapColors(b, 0, 1 << bpp, sourceColors);
        else
            for (int i = 0; i < 256; ++i)
                sourceColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    }

    // Geometry: n pixels per strip row, m strip rows in all.
    const bool columns = degrees == 90 || degrees == 270;
    const int n = columns ? paint.bottom - paint.top : paint.right - paint.left;
    const int m = columns ? paint.right - paint.left : paint.bottom - paint.top;
    // A row longer than any buffer can be (a destination of a billion
    // pixels unclipped) cannot be painted.
    if (int64_t(n) * std::max(stripBits, bpp) > int64_t(0x7FFFFFFF) - 64)
        return RC_NO_MEMORY;

    // Interpolated rows come from the resized source window (SrcRect
    // within the image): a stored image the size of the window mapped to
    // the destination, walked 1:1.
    const RECT window = Intersect(job.src, RECT{0, 0, DisplayWidth(b), DisplayHeight(b)});
    const RECT mapped = MapClipToDestination(job.src, window, job.dst);
    const int mw = mapped.right - mapped.left, mh = mapped.bottom - mapped.top;
    const RECT resized{0, 0, mw, mh};
    const int resizedW = ExchangesAxes(b->Orientation) ? mh : mw;
    const Walks walks = filter ? PlanWalks(degrees, resized, resized,
                                           RECT{paint.left - mapped.left, paint.top - mapped.top,
                                                paint.right - mapped.left, paint.bottom - mapped.top},
                                           resizedW, mh, n)
                               : PlanWalks(degrees, job.src, job.dst, paint, b->Width, DisplayHeight(b), n);
    const int lineCount = filter ? (ExchangesAxes(b->Orientation) ? mw : mh) : b->Height;

    const int aligned = AlignColumn(walks.first, bpp);
    const int64_t eightSteps = int64_t(walks.fill.q) * 8 + (int64_t(walks.fill.r) * 8 + walks.fill.d - 1) / walks.fill.d + 16;
    const int readCap = int(std::min<int64_t>(RowBytesOf(walks.last + 1 - aligned, bpp),
                                              std::max<int64_t>(kReadPiece, RowBytesOf(eightSteps, bpp)))) + 8;

    const Walk &f = walks.fill;
    const bool unitRead = IsUnitWalk(f) && AlignColumn(f.pos, bpp) == f.pos;
    const bool fromBitmap = !filter && unitRead && IsBandOfBitmap(job, rowMode, degrees, flip, walks, n, m);

    // The strip and what goes with it share one strip's budget: a diffused
    // paint's error row is taken off it, and a turned paint, which needs a
    // second buffer of the strip's size, gives each half.
    const bool diffused = rowMode == STRIP_CONVERT && !filter && !(mode & DISP_ORDERED_DITHER);
    int64_t budget = kStripBytes;
    if (diffused)
        budget -= int64_t(n) * int64_t(sizeof(ErrorEntry));
    if (degrees != 0)
        budget /= 2;
    // Wide strips (wide_rows.h) of copied or expanded rows whose colours
    // GDI would map through a full RGB table or from 24 bits; the narrow
    // rows they are made from come off their budget, and at least four
    // rows must fit.  A 24-bit copy is stretched straight into them.
    const bool wide24 = rowMode == STRIP_COPY && stripBits == 24;
    const bool fullTable = (stripBits == 1 || stripBits == 4 || stripBits == 8) && colorCount == 1 << stripBits &&
                           !(mode & DISP_PALETTE_INDICES);
    // Gray rows of 12 and 16 bits (gray, or through a colour window-level
    // table) go wide in one lookup a pixel through a table of their
    // significant values (wide_rows.h) taken off the budget; read 1:1
    // from rows in memory, they are used where they are.
    const bool grayRows = rowMode == STRIP_EXPAND && (stripBits == 8 || stripBits == 24) && (bpp == 12 || bpp == 16) &&
                          b->Order == ORDER_GRAY;
    const GrayLookup grayLookup = grayRows ? GrayLookupOf(b) : GrayLookup{0, 0};
    const bool grayFits = grayRows && grayLookup.Entries() <= kGrayTableEntries;
    const bool rowsAtHand = grayFits && unitRead && !filter && (job.rows || RowsInMemory(b));
    const int64_t readRow = rowsAtHand ? 0 : DibRowBytes(n, bpp);
    const int64_t narrowBytes = wide24     ? 0
                                : grayFits ? int64_t(grayLookup.Entries()) * 4 + readRow
                                           : readRow + (rowMode == STRIP_EXPAND ? DibRowBytes(n, stripBits) : 0);
    // Filtered 24-bit rows are made wide by the resize itself.
    const bool wide = (filter ? stripBits == 24
                              : !fromBitmap && (rowMode == STRIP_COPY || rowMode == STRIP_EXPAND) &&
                                    (stripBits == 24 || fullTable)) &&
                      (budget - narrowBytes) / (int64_t(n) * 4) >= std::min(m, 4) && TakesWidePixels(job.hDC, job.deviceBits);
    const int stripRowBytes = wide ? n * 4 : DibRowBytes(n, stripBits);
    int rowsPerStrip = int(std::min<int64_t>(m, std::max<int64_t>(1, (wide ? budget - narrowBytes : budget) / stripRowBytes)));
    if (rowMode == STRIP_GRAY && columns)  // the turned gray strip's rows stay within the budget too
        rowsPerStrip = std::min(rowsPerStrip, std::max(1, kStripBytes / n - 3));
    else if (job.unscaled && columns && rowsPerStrip > 8 && rowsPerStrip < m)
        rowsPerStrip &= ~7;

    // Buffers: every one now, none per row.
    TempPtr<BYTE> readBuf, stretched, narrow, strip, out, scratch;
    TempPtr<uint32_t> grayTable;
    KPtr<ErrorEntry> errors;
    const bool readsInPlace = unitRead && !(wide && wide24);
    if (!filter && !fromBitmap) {
        if (!readsInPlace) {
            readBuf.reset(static_cast<BYTE *>(K_AllocTemp((size_t(readCap) + 3) & ~size_t(3))));
            if (!readBuf)
                return RC_NO_MEMORY;
        }
        if ((rowMode != STRIP_COPY || (wide && !wide24)) && !rowsAtHand) {
            stretched.reset(static_cast<BYTE *>(K_AllocTemp(size_t(DibRowBytes(n, bpp)) + 8)));
            if (!stretched)
                return RC_NO_MEMORY;
        }
        if (wide && grayFits) {
            grayTable.reset(static_cast<uint32_t *>(K_AllocTemp(size_t(grayLookup.Entries()) * 4)));
            if (!grayTable)
                return RC_NO_MEMORY;
        } else if (wide && rowMode == STRIP_EXPAND) {
            narrow.reset(static_cast<BYTE *>(K_AllocTemp(size_t(DibRowBytes(n, stripBits)) + 8)));
            if (!narrow)
                return RC_NO_MEMORY;
        }
    }
    if (!fromBitmap) {
        // Wide rows are written by this engine alone, which needs no spare row.
        strip.reset(static_cast<BYTE *>(K_AllocTemp(size_t(rowsPerStrip + (wide ? 0 : 1)) * stripRowBytes + 8)));
        if (!strip)
            return RC_NO_MEMORY;
    }
    if (diffused) {
        errors.reset(static_cast<ErrorEntry *>(K_AllocZero(size_t(n), sizeof(ErrorEntry))));
        if (!errors)
            return RC_NO_MEMORY;
    }
    const int layoutBits = wide ? 32 : stripBits;
    if (degrees != 0) {
        const size_t bytes = columns ? size_t(DibRowBytes(rowsPerStrip, layoutBits)) * n
                                     : size_t(rowsPerStrip) * stripRowBytes;
        out.reset(static_cast<BYTE *>(K_AllocTemp(bytes + 1)));
        if (!out)
            return RC_NO_MEMORY;
    }

    // The resize and its window of the bitmap.
    KResize *resize = nullptr;
    BitmapHandle windowBitmap{};
    WindowSource ws{b, job.rows, job.firstRow, job.rowCount, 0, 0, nullptr};
    if (filter) {
        RECT stored = window;
        K_ConvertRectOrientation(ORIENT_TOP_LEFT, DisplayWidth(b), DisplayHeight(b), b->Orientation, &stored);
        const BitmapHandle *source = b;
        if (stored.left != 0 || stored.top != 0 || stored.right != b->Width || stored.bottom != b->Height) {
            K_InitBitmapHandle(&windowBitmap, b, stored.right - stored.left, stored.bottom - stored.top, bpp);
            windowBitmap.WindowLUT = b->WindowLUT;
            windowBitmap.WindowLUTLength = b->WindowLUTLength;
            windowBitmap.Flags |= b->Flags & BITMAP_WINDOW_LEVEL;
            source = &windowBitmap;
        }
        ws.offsetX = stored.left;
        ws.offsetY = stored.top;
        scratch.reset(static_cast<BYTE *>(K_AllocTemp(size_t(b->BytesPerLine) + 8)));
        if (!scratch)
            return RC_NO_MEMORY;
        ws.scratch = scratch.get();
        UINT flags = (mode & DISP_SCALE_FILTER_ALT) ? RESIZE_AREA : RESIZE_BILINEAR;
        flags |= (mode & DISP_ORDERED_DITHER) ? RESIZE_DITHER_ORDERED : RESIZE_DITHER_DIFFUSE;
        if (!(b->Order == ORDER_RGB && bpp > 8))
            flags |= RESIZE_BLUE_FIRST;
        const int savedLow = b->WindowLowBit, savedHigh = b->WindowHighBit;
        b->WindowLowBit = b->LowBit;
        b->WindowHighBit = b->HighBit;
        const int rc = K_ResizeStart(source, resizedW, lineCount, wide ? 32 : stripBits, colors, colorCount, flags, ReadWindowRow,
                                     &ws, &resize);
        b->WindowLowBit = savedLow;
        b->WindowHighBit = savedHigh;
        if (rc != RC_SUCCESS)
            return rc;
    }

    PaintBitmapInfo *info = rowMode == STRIP_GRAY ? &settings->PaintInfo : ChoosePaintInfo(settings, job.hDC);
    BITMAPINFOHEADER &h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    h.biBitCount = WORD(layoutBits);
    h.biClrUsed = 0;
    UINT usage = DIB_RGB_COLORS;
    if (layoutBits <= 8) {
        if (mode & DISP_PALETTE_INDICES) {
            WriteIdentityIndexTable(*info);
            h.biClrUsed = 1u << stripBits;
            usage = DIB_PAL_COLORS;
        } else {
            std::memcpy(info->bmiColors, colors, sizeof(RGBQUAD) * colorCount);
            h.biClrUsed = colorCount;
        }
    }
    const bool lut24 = stripBits == 24 && (b->Flags & BITMAP_PAINT_LUT) && b->PaintLUT;

    const StripLayout layout{degrees, n, rowsPerStrip, stripRowBytes, layoutBits, paint};
    uint32_t wideTable[256];
    if (wide && !wide24)
        WideColorTable(colors, colorCount, wideTable);
    if (grayTable)
        FillGrayTable(b, grayLookup, stripBits == 8 ? wideTable : nullptr, lut24 ? b->PaintLUT : nullptr,
                      grayTable.get());
    const WidePieces widePieces{b->Order == ORDER_BGR_CONVERT, lut24 ? b->PaintLUT : nullptr};
    if (fromBitmap)
        return SendBands(job, layout, walks, flip, m, info, usage);

    // Destination position of a strip row's first pixel, relative to
    // DstRect's top-left corner, for the ordered-dither matrices.
    auto position = [&](int t, int *px, int *py) {
        switch (degrees) {
        case 0: *px = paint.left, *py = paint.bottom - 1 - t; break;
        case 180: *px = paint.right - 1, *py = paint.bottom - 1 - t; break;
        case 90: *px = paint.left + t, *py = paint.bottom - 1; break;
        default: *px = paint.left + t, *py = paint.top; break;
        }
        *px -= job.dst.left;
        *py -= job.dst.top;
    };

    const int invert = job.kind == 4 ? 1 : 0;
    Walk line = walks.line;
    int lastRow = -1, filled = 0, rc = RC_SUCCESS;
    const BYTE *lastOut = nullptr;
    const BYTE *source = stretched.get();  // the row being converted
    bool primed = false;
    for (int t = 0; t < m && rc == RC_SUCCESS; ++t, line.Step()) {
        const int stored = std::min(std::max(StoredRow(line.pos, lineCount, degrees, flip), 0), lineCount - 1);
        BYTE *dstRow = StripRow(layout, strip.get(), filled);
        if (filter) {
            rc = K_ResizeRow(resize, stored, walks.first, n, dstRow);
        } else if (stored == lastRow && rowMode != STRIP_CONVERT) {
            std::memmove(dstRow, lastOut, stripRowBytes);
        } else {
            if (stored != lastRow && rowsAtHand) {
                source = RowAt(job, stored, walks.fill.pos);
                lastRow = stored;
            } else if (stored != lastRow) {
                BYTE *target = rowMode == STRIP_COPY && (!wide || wide24) ? dstRow : stretched.get();
                if (!ReadStretched(job, stored, walks, readBuf.get(), readCap, target, n,
                                   wide && wide24 ? &widePieces : nullptr)) {
                    rc = RC_ROW_READ;
                    break;
                }
                if (b->Order == ORDER_BGR_CONVERT && !(wide && wide24))
                    K_ConvertColorOrder(target, n, bpp, ORDER_BGR_CONVERT, ORDER_BGR);
                lastRow = stored;
            }
            switch (rowMode) {
            case STRIP_COPY:
                if (wide && !wide24)
                    WidenIndices(bpp, source, wideTable, reinterpret_cast<uint32_t *>(dstRow), n);
                break;
            case STRIP_EXPAND:
                if (grayTable) {
                    LookUpGray(bpp, source, grayLookup, grayTable.get(), reinterpret_cast<uint32_t *>(dstRow), n);
                } else if (wide) {
                    expander(narrow.get(), source, b, 0, n);
                    WidenExpanded(narrow.get(), stripBits, lut24 ? b->PaintLUT : nullptr, wideTable, dstRow, n);
                } else {
                    expander(dstRow, source, b, 0, n);
                }
                break;
            case STRIP_GRAY: ExpandBitsToBytes(dstRow, source, 0, n, invert); break;
            case STRIP_CONVERT: {
                int x, y;
                position(t, &x, &y);
                if (!primed && errors)
                    converter(dstRow, source, b, 0, n, x, y, errors.get(), sourceColors);
                primed = true;
                converter(dstRow, source, b, 0, n, x, y, errors.get(), sourceColors);
                break;
            }
            }
            // 24-bit strips pass through the paint table byte by byte; a
            // repeated row is copied after it.
            if (lut24 && !wide)
                for (int i = 0, e = n * 3; i < e; ++i)
                    dstRow[i] = b->PaintLUT[dstRow[i]];
            lastOut = dstRow;
        }
        if (filter && lut24 && rc == RC_SUCCESS)
            for (int i = 0, e = n * (wide ? 4 : 3); i < e; ++i)
                dstRow[i] = b->PaintLUT[dstRow[i]];
        if (rc != RC_SUCCESS)
            break;
        if (++filled == rowsPerStrip || t == m - 1) {
            rc = SendStrip(job.hDC, layout, strip.get(), out.get(), filled, t + 1 - filled, info, usage, job.rop);
            filled = 0;
        }
    }
    if (resize)
        K_ResizeEnd(resize);
    if (windowBitmap.BitsPerPixel) {
        windowBitmap.WindowLUT = nullptr;
        windowBitmap.WindowLUTLength = 0;
        K_FreeBitmap(&windowBitmap);
    }
    return rc;
}

}  // namespace zv
