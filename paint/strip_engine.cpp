// The strip engine: see strip_engine.h and the geometry in geometry.h.
#include "paint/strip_engine.h"

#include "paint/convert.h"
#include "paint/fixed_palettes.h"
#include "paint/paint_kind.h"
#include "paint/paint_palette.h"
#include "paint/strip_threads.h"
#include "paint/wide_rows.h"
#include "paint/window_level.h"

#include <atomic>
#include <cstring>
#include <optional>

namespace zv {

PaintBitmapInfo *ChoosePaintInfo(ThreadPaintSettings *settings, HDC hDC) {
    if (DeviceTechnology(hDC) == DT_RASPRINTER) {
        settings->PrinterPaintInfo = settings->PaintInfo;
        return &settings->PrinterPaintInfo;
    }
    return &settings->PaintInfo;
}

bool TurnToDevice(const BitmapHandle *b, int *pDegrees, int *pFlip) {
    return K_GetOrientationTurn(b->Orientation, ORIENT_BOTTOM_LEFT, pDegrees, pFlip) == RC_SUCCESS;
}

namespace {

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
    const bool indexed = b->BitsPerPixel <= 8;
    DibFormat f{};
    f.width = b->Width;
    f.height = b->Orientation == ORIENT_BOTTOM_LEFT ? b->Height : -b->Height;
    f.bits = b->BitsPerPixel;
    f.imageBytes = DWORD(b->BytesPerLine) * b->Height;
    f.source = indexed ? IndicesOr(mode, DIB_PAINT_COLORS) : DIB_NO_TABLE;
    f.count = b->ColorCount;
    f.bitmap = b;
    const UINT usage = PrepareDibInfo(info, f);
    SetStretchBltMode(job.hDC, HALFTONE);
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

// A 24-bit row made into wide pixels while it is stretched: each piece of
// the source is colour-swapped (Order 5) and put through the paint table
// first, which shows the same pixels as doing so after the stretch.
struct WidePieces {
    bool swap;
    const BYTE *lut;  // null: none
};

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

// Whether the first `end` bytes of a row in memory lie within the rows'
// block: any row's but the last one's, whose `end` must fit its row.
bool EndsInBlock(const StripJob &job, int row, int64_t end) {
    const int last = job.rows ? job.firstRow + job.rowCount - 1 : job.bitmap->Height - 1;
    return std::max(row, job.rows ? job.firstRow : 0) < last || end <= job.bitmap->BytesPerLine;  // caller rows clamp
}

// Stored row `row` from column (on a byte) onwards where it lies, with the
// `bytes` after it in the rows two before and two after asked for: a
// turned paint reads a piece of each row, rows a whole row length apart,
// which the processor does not foresee, and either may come next (the
// row two before was read just now and is at hand).
const BYTE *RowInPlace(const StripJob &job, int row, int column, int64_t bytes) {
    const int first = job.rows ? job.firstRow : 0, count = job.rows ? job.rowCount : job.bitmap->Height;
    for (int ahead : {row - 2, row + 2})
        if (ahead >= first && ahead < first + count)
            for (const BYTE *at = RowAt(job, ahead, column), *end = at + bytes; at < end; at += 64)
                __builtin_prefetch(at);
    return RowAt(job, row, column);
}

// Stored row `row` resampled into n pixels at target: read piece by piece
// through the kernel (or from the caller's rows) and stretched by the
// fill walk, by the kernel's row stretch or, given wide, into 32-bit
// pixels.  Pieces end on a multiple of 8 target pixels so that every
// depth continues on a byte.
bool ReadStretched(const StripJob &job, int row, const StripWalks &walks, BYTE *buf, int cap, BYTE *target, int n,
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
        std::memcpy(target, RowAt(job, row, w.pos), bytes);
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
            std::memcpy(buf, RowAt(job, row, aligned), bytes);
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

// Paints the rows of IsBandOfBitmap's paint in bands of rowsPerStrip
// straight from the bitmap: each band's header is bottom-up when the
// stored rows run upwards on the device and top-down otherwise.
int SendBands(const StripJob &job, const StripLayout &l, const StripWalks &walks, int flip, int m,
              PaintBitmapInfo *info, UINT usage) {
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

// The buffers of a paint, taken by AllocateBuffers as the plan sizes them.
struct StripBuffers {
    TempBlock<BYTE> read, stretched, narrow, strip, out, scratch;
    TempBlock<uint32_t> grayTable;
    KPtr<ErrorEntry> errors;
};

template <class T>
bool Take(TempBlock<T> &p, size_t bytes) {
    if (bytes)
        p = TempAlloc<T>(bytes);
    return !bytes || p;
}

int AllocateBuffers(const StripPlan &plan, StripBuffers *buf) {
    if (!Take(buf->read, plan.readBytes) || !Take(buf->stretched, plan.stretchedBytes) ||
        !Take(buf->grayTable, plan.grayTableBytes) || !Take(buf->narrow, plan.narrowBytes) ||
        !Take(buf->strip, plan.stripBytes))
        return RC_NO_MEMORY;
    if (plan.errorEntries) {
        buf->errors = KAllocZero<ErrorEntry>(plan.errorEntries);
        if (!buf->errors)
            return RC_NO_MEMORY;
    }
    return Take(buf->out, plan.outBytes) ? RC_SUCCESS : RC_NO_MEMORY;
}

// An interpolated paint's resize and its window of the bitmap, ended and
// released when the paint ends.
struct StripResize {
    KResize *resize = nullptr;
    BitmapHandle window{};
    WindowSource source{};
    StripResize() = default;
    StripResize(const StripResize &) = delete;
    StripResize &operator=(const StripResize &) = delete;
    ~StripResize() {
        if (resize)
            K_ResizeEnd(resize);
        if (window.BitsPerPixel) {
            window.WindowLUT = nullptr;  // the bitmap's own
            window.WindowLUTLength = 0;
            K_FreeBitmap(&window);
        }
    }
};

// Starts the resize of the plan's window to the strip's depth and colours:
// the bitmap itself when the window is all of it, else a window
// descriptor whose rows ReadWindowRow supplies.
int StartResize(const StripJob &job, UINT mode, const StripPlan &plan, StripBuffers *buf, StripResize *r) {
    BitmapHandle *b = job.bitmap;
    const int bpp = b->BitsPerPixel;
    RECT stored = plan.window;
    const SIZE shown = DisplayedSize(*b);
    K_ConvertRectOrientation(ORIENT_TOP_LEFT, shown.cx, shown.cy, b->Orientation, &stored);
    const BitmapHandle *source = b;
    if (stored.left != 0 || stored.top != 0 || stored.right != b->Width || stored.bottom != b->Height) {
        K_InitBitmapHandle(&r->window, b, stored.right - stored.left, stored.bottom - stored.top, bpp);
        r->window.WindowLUT = b->WindowLUT;
        r->window.WindowLUTLength = b->WindowLUTLength;
        r->window.Flags |= b->Flags & BITMAP_WINDOW_LEVEL;
        source = &r->window;
    }
    if (!Take(buf->scratch, size_t(b->BytesPerLine) + 8))
        return RC_NO_MEMORY;
    r->source = WindowSource{b, job.rows, job.firstRow, job.rowCount, stored.left, stored.top, buf->scratch.get()};
    UINT flags = (mode & DISP_SCALE_FILTER_ALT) ? RESIZE_AREA : RESIZE_BILINEAR;
    flags |= (mode & DISP_ORDERED_DITHER) ? RESIZE_DITHER_ORDERED : RESIZE_DITHER_DIFFUSE;
    if (!(b->Order == ORDER_RGB && bpp > 8))
        flags |= RESIZE_BLUE_FIRST;
    if (source == b && !job.rows && RowsInMemory(b))
        flags |= RESIZE_ROWS_IN_MEMORY;  // colour rows read where they are, not copied
    const int savedLow = b->WindowLowBit, savedHigh = b->WindowHighBit;
    b->WindowLowBit = b->LowBit;
    b->WindowHighBit = b->HighBit;
    const int rc = K_ResizeStart(source, plan.resizedW, plan.lineCount, plan.wide ? 32 : plan.stripBits, plan.colors,
                                 plan.colorCount, flags, ReadWindowRow, &r->source, &r->resize);
    b->WindowLowBit = savedLow;
    b->WindowHighBit = savedHigh;
    return rc;
}

// The strip header and colour table; the size is each strip's, set as
// it is sent.
UINT PrepareStripInfo(const StripPlan &plan, BitmapHandle *b, PaintBitmapInfo *info) {
    const bool columns = plan.degrees == 90 || plan.degrees == 270;
    DibFormat f{};
    f.width = columns ? plan.rowsPerStrip : plan.n;
    f.height = columns ? plan.n : plan.rowsPerStrip;
    f.bits = plan.layoutBits;
    f.imageBytes = DWORD(DibRowBytes(f.width, f.bits)) * DWORD(f.height);
    f.source = plan.tableSource;
    f.count = plan.tableSource == DIB_IDENTITY ? 1 << plan.stripBits : plan.colorCount;
    f.colors = plan.colors;
    f.bitmap = b;
    return PrepareDibInfo(info, f);
}

StripLayout LayoutOf(const StripPlan &p) {
    return StripLayout{p.degrees, p.n, p.rowsPerStrip, p.stripRowBytes, p.layoutBits, p.paint};
}

// The row loop's state: what it reads, the tables of wide rows, the row
// last read and converted.
struct RowLoop {
    const StripJob &job;
    const StripPlan &plan;
    StripBuffers *buf;
    KResize *resize;
    StripLayout layout;
    PaintBitmapInfo *info;
    UINT usage;
    const uint32_t *wideTable;  // the strip's colours as wide pixels
    const uint32_t *grayTable;  // gray rows' table of significant values, or null
    WidePieces widePieces;
    int lastRow;
    const BYTE *lastOut;
    const BYTE *source;  // the row being converted
    bool primed;
};

// Destination position of a strip row's first pixel, relative to
// DstRect's top-left corner, for the ordered-dither matrices.
void DitherPosition(const RowLoop &L, int t, int *px, int *py) {
    const RECT &paint = L.plan.paint;
    switch (L.plan.degrees) {
    case 0: *px = paint.left, *py = paint.bottom - 1 - t; break;
    case 180: *px = paint.right - 1, *py = paint.bottom - 1 - t; break;
    case 90: *px = paint.left + t, *py = paint.bottom - 1; break;
    default: *px = paint.left + t, *py = paint.top; break;
    }
    *px -= L.job.dst.left;
    *py -= L.job.dst.top;
}

// Reads stored row `stored` (unless it is the last one read): where it
// lies for rows at hand or in place (widened straight into the strip row
// when so planned), else stretched into the strip row
// (24-bit and copied rows) or the stretched row, colour-swapped for Order 5.
bool ReadSourceRow(RowLoop &L, int stored, BYTE *dstRow) {
    const StripPlan &p = L.plan;
    const BitmapHandle *b = L.job.bitmap;
    if (stored == L.lastRow)
        return true;
    L.lastRow = stored;
    if (p.rowsAtHand || ((p.rowsInPlace || p.widensInPlace) && EndsInBlock(L.job, stored, p.inPlaceEnd))) {
        const int column = p.walks.fill.pos;
        const BYTE *row = RowInPlace(L.job, stored, column, p.inPlaceEnd - RowBytesOf(column, b->BitsPerPixel));
        if (!p.widensInPlace) {
            L.source = row;
            return true;
        }
        Walk piece = p.walks.fill;
        piece.pos = 0;
        StretchWiden24(row, piece, reinterpret_cast<uint32_t *>(dstRow), p.n);
        return true;
    }
    L.source = L.buf->stretched.get();
    const bool wide24 = p.wide && p.wide24;
    BYTE *target = p.rowMode == STRIP_COPY && (!p.wide || p.wide24) ? dstRow : L.buf->stretched.get();
    if (!ReadStretched(L.job, stored, p.walks, L.buf->read.get(), p.readCap, target, p.n,
                       wide24 ? &L.widePieces : nullptr))
        return false;
    if (b->Order == ORDER_BGR_CONVERT && !wide24)
        K_ConvertColorOrder(target, p.n, b->BitsPerPixel, ORDER_BGR_CONVERT, ORDER_BGR);
    return true;
}

// Converts the source row into strip row t by the plan's row mode; the
// first row of a diffused paint is converted twice to prime the error row.
void ConvertRow(RowLoop &L, int t, BYTE *dstRow) {
    const StripPlan &p = L.plan;
    const BitmapHandle *b = L.job.bitmap;
    const int n = p.n;
    switch (p.rowMode) {
    case STRIP_COPY:
        if (p.wide && !p.wide24)
            WidenIndices(b->BitsPerPixel, L.source, L.wideTable, reinterpret_cast<uint32_t *>(dstRow), n);
        break;
    case STRIP_EXPAND:
        if (L.grayTable) {
            LookUpGray(b->BitsPerPixel, L.source, p.grayLookup, L.grayTable,
                       reinterpret_cast<uint32_t *>(dstRow), n);
        } else if (p.wide) {
            p.expander(L.buf->narrow.get(), L.source, b, 0, n);
            WidenExpanded(L.buf->narrow.get(), p.stripBits, p.lut24 ? b->PaintLUT : nullptr, L.wideTable, dstRow, n);
        } else {
            p.expander(dstRow, L.source, b, 0, n);
        }
        break;
    case STRIP_GRAY: ExpandBitsToBytes(dstRow, L.source, 0, n, L.job.kind == 4 ? 1 : 0); break;
    case STRIP_CONVERT: {
        int x, y;
        DitherPosition(L, t, &x, &y);
        if (!L.primed && L.buf->errors)
            p.modeConverter(dstRow, L.source, b, 0, n, x, y, L.buf->errors.get(), p.sourceColors, p.mode);
        L.primed = true;
        p.modeConverter(dstRow, L.source, b, 0, n, x, y, L.buf->errors.get(), p.sourceColors, p.mode);
        break;
    }
    }
}

void ApplyPaintLut24(const BYTE *lut, BYTE *row, int n, int bytesPerPixel = 3) {
    for (int i = 0, e = n * bytesPerPixel; i < e; ++i)
        row[i] = lut[row[i]];
}

// Strip row t from stored row `stored`: from the resize, as a copy of the
// row before when the source row repeats (the converters excepted, whose
// dither moves on), or read and converted.  24-bit narrow rows pass
// through the paint table byte by byte.
int FillStripRow(RowLoop &L, int t, int stored, BYTE *dstRow) {
    const StripPlan &p = L.plan;
    const BYTE *lut = L.job.bitmap->PaintLUT;
    if (p.filter) {
        const int rc = K_ResizeRow(L.resize, stored, p.walks.first, p.n, dstRow);
        if (rc == RC_SUCCESS && p.lut24)
            ApplyPaintLut24(lut, dstRow, p.n, p.wide ? 4 : 3);
        return rc;
    }
    if (stored == L.lastRow && p.rowMode != STRIP_CONVERT) {
        std::memmove(dstRow, L.lastOut, p.stripRowBytes);
        return RC_SUCCESS;
    }
    if (!ReadSourceRow(L, stored, dstRow))
        return RC_ROW_READ;
    ConvertRow(L, t, dstRow);
    if (p.lut24 && !p.wide)
        ApplyPaintLut24(lut, dstRow, p.n);
    L.lastOut = dstRow;
    return RC_SUCCESS;
}

// The stored row that line position pos shows, within the plan's lines.
int PlanStoredRow(const StripPlan &p, int pos) {
    return std::min(std::max(StoredRow(pos, p.lineCount, p.degrees, p.flip), 0), p.lineCount - 1);
}

// Counts strip row t as filled and sends the strip when it is full or t
// is the last row.
int RowFilled(const RowLoop &L, int t, int *filled) {
    if (++*filled < L.plan.rowsPerStrip && t != L.plan.m - 1)
        return RC_SUCCESS;
    const int rc = SendStrip(L.job.hDC, L.layout, L.buf->strip.get(), L.buf->out.get(), *filled, t + 1 - *filled,
                             L.info, L.usage, L.job.rop);
    *filled = 0;
    return rc;
}

// Walks the m strip rows, sending each full strip and the last one.
int RunRowLoop(RowLoop &L) {
    const StripPlan &p = L.plan;
    Walk line = p.walks.line;
    int filled = 0, rc = RC_SUCCESS;
    for (int t = 0; t < p.m && rc == RC_SUCCESS; ++t, line.Step()) {
        rc = FillStripRow(L, t, PlanStoredRow(p, line.pos), StripRow(L.layout, L.buf->strip.get(), filled));
        if (rc == RC_SUCCESS)
            rc = RowFilled(L, t, &filled);
    }
    return rc;
}

// A loop like L over the band whose plan is `band`, from its start.
RowLoop InBand(const RowLoop &L, const StripPlan &band) {
    return RowLoop{L.job, band, L.buf, L.resize, LayoutOf(band), L.info, L.usage, L.wideTable, L.grayTable,
                   L.widePieces, -1, nullptr, L.buf->stretched.get(), false};
}

// The row loop over every band of the plan, one after another.
int RunTiles(RowLoop &first) {
    int rc = RunRowLoop(first);
    StripPlan band;
    for (int k = 1, bands = TileCount(first.plan); k < bands && rc == RC_SUCCESS; ++k) {
        PlanTileBand(first.job, first.plan, k, &band);
        RowLoop L = InBand(first, band);
        rc = RunRowLoop(L);
    }
    return rc;
}

// The tables wide rows are made through: the strip's colours as wide
// pixels, and the gray rows' table of significant values.
void FillWideTables(const StripPlan &p, const BitmapHandle *b, uint32_t *wideTable, uint32_t *grayTable) {
    if (p.wide && !p.wide24)
        WideColorTable(p.colors, p.colorCount, wideTable);
    if (grayTable)
        FillGrayTable(b, p.grayLookup, p.stripBits == 8 ? wideTable : nullptr, p.lut24 ? b->PaintLUT : nullptr,
                      grayTable);
}

}  // namespace

const BYTE *TurnStrip(const StripLayout &l, BYTE *strip, BYTE *out, int count) {
    BYTE *base = strip + (l.degrees == 90 ? size_t(l.rowsPerStrip - count) * l.rowBytes : 0);
    if (l.degrees == 90 || l.degrees == 270)
        K_RotateStrip(base, out, l.n, count, l.bits, l.degrees == 90 ? 1 : 0);
    else if (l.degrees == 180)
        K_FlipStrip(base, out, l.n, count, l.bits);
    else
        return base;
    return out;
}

int PaintStrip(HDC hDC, const StripLayout &l, const BYTE *bits, int count, int firstLine, PaintBitmapInfo *info,
               UINT usage, DWORD rop) {
    int x, y, w, h;
    if (l.degrees == 90 || l.degrees == 270)
        x = l.paint.left + firstLine, y = l.paint.top, w = count, h = l.n;
    else
        x = l.paint.left, y = l.paint.bottom - firstLine - count, w = l.n, h = count;
    BITMAPINFOHEADER &hdr = info->bmiHeader;
    hdr.biWidth = w;
    hdr.biHeight = h;
    hdr.biSizeImage = DWORD(DibRowBytes(w, l.bits)) * h;
    if (!StretchDIBits(hDC, x, y, w, h, 0, 0, w, h, bits, reinterpret_cast<BITMAPINFO *>(info), usage, rop))
        return RC_NO_MEMORY;
    return RC_SUCCESS;
}

int SendStrip(HDC hDC, const StripLayout &l, BYTE *strip, BYTE *out, int count, int firstLine,
              PaintBitmapInfo *info, UINT usage, DWORD rop) {
    return PaintStrip(hDC, l, TurnStrip(l, strip, out, count), count, firstLine, info, usage, rop);
}

namespace {

// ---- strips on several cores (strip_threads.h) -----------------------------

constexpr int kMostStripSlots = kMostStripWorkers + 2;

// Whether a plan's strips can be made apart from each other: every
// strip row depends on its own source rows and position alone, except
// under error diffusion, and except filtered rows onto a palette, which
// the resize reduces through a cache of the first colour it met in each
// 5-5-5 cell (so a row's indices depend on the rows resized before it),
// unless they are grays onto the grays or dithered in order onto a
// palette of every level combination.
bool AllGray(const RGBQUAD *c, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (c[i].rgbRed != c[i].rgbGreen || c[i].rgbGreen != c[i].rgbBlue)
            return false;
    return true;
}

// Filtered rows onto the 256 grays in order from a gray source (a gray
// palette, 12/16-bit gray without a colour window-level table): the
// resize keeps one channel and gives each gray (with its ordered offset)
// its own entry, with no cache and no error between rows.
bool GrayOntoGrays(const StripPlan &p, const BitmapHandle *b) {
    if (p.stripBits != 8 || p.colorCount != 256)
        return false;
    for (int i = 0; i < 256; ++i)
        if (p.colors[i].rgbRed != i || p.colors[i].rgbGreen != i || p.colors[i].rgbBlue != i)
            return false;
    const int bpp = b->BitsPerPixel;
    if (bpp <= 8) {
        RGBQUAD c[256] = {};
        K_GetBitmapColors(b, 0, 1 << bpp, c);
        return AllGray(c, size_t(1) << bpp);
    }
    if (!(bpp == 12 || (bpp == 16 && b->Order == ORDER_GRAY)))
        return false;
    return !b->WindowLUT || !b->WindowLUTLength || AllGray(b->WindowLUT, std::min<UINT>(b->WindowLUTLength, 65536));
}

// Filtered rows dithered in order onto the 3-3-2 table or the cube: the
// resize takes each channel's nearest level of such a palette, with no
// cache, so a row depends on its own values and position alone.
bool OrderedOntoGrid(const StripPlan &p) {
    return p.rowMode == STRIP_CONVERT && p.stripBits == 8 && (p.mode & DISP_ORDERED_DITHER);
}

bool StripsStandAlone(const StripPlan &p, const BitmapHandle *b) {
    if (p.route != STRIPS_ROWS || p.diffused)
        return false;
    return !p.filter || p.wide || p.stripBits >= 24 || GrayOntoGrays(p, b) || OrderedOntoGrid(p);
}

// Whether the slots of a shared plan stay within half as much again as
// the strips of the plan alone (they may not where a strip cannot shrink:
// turned strips of 8 rows, strips of one row).
bool SharedStripsFit(const StripPlan &alone, const StripPlan &shared, int slots) {
    return 2 * size_t(slots) * (shared.stripBytes + shared.outBytes) <= 3 * (alone.stripBytes + alone.outBytes);
}

// What a strip pixel costs beside a copied one: filtered and converted
// (dithered, looked-up) rows 3 more each.  Turning adds nothing: shared
// turned copies lost below about a million pixels (0.8x onto 724 x 724:
// 0.71-0.99x of one thread) and gained above.  0 for the bitmap's own
// pixels copied (or turned) onto as many or more device pixels: GDI's
// copy of each strip on the painting thread is most of such a paint, and
// smaller shared strips made it slower (a turned 1:1 paint in strips of
// 8 columns 0.76-0.93x, a 2x enlargement 0.39-1.09x); copies that reduce
// gain (0.5x: 1.2-1.9x), and so do turned copies in tiles, whose strips
// GDI takes at several times the rate of narrow ones.
int StripWeight(const StripJob &job, const StripPlan &p) {
    if (p.rowMode == STRIP_COPY && !p.filter && !p.lut24 && !p.tileRows &&
        PaintedPixels(p) >= int64_t(job.clipSrc.right - job.clipSrc.left) * (job.clipSrc.bottom - job.clipSrc.top))
        return 0;
    return 1 + (p.filter ? 3 : 0) + (p.rowMode == STRIP_CONVERT ? 3 : 0);
}

// The buffers of a converting thread beside the painting one: its rows
// and, for filtered paints, its own resize.
struct StripHand {
    StripBuffers buf;
    StripResize resize;
};

int AllocateHand(const StripJob &job, const StripPlan &plan, StripHand *h) {
    if (!Take(h->buf.read, plan.readBytes) || !Take(h->buf.stretched, plan.stretchedBytes) ||
        !Take(h->buf.narrow, plan.narrowBytes))
        return RC_NO_MEMORY;
    return plan.filter ? StartResize(job, plan.mode, plan, &h->buf, &h->resize) : RC_SUCCESS;
}

// A paint whose strips several threads convert: the slots' strips, what
// each converting thread reads with and the band it is in, and what each
// slot holds when done.  Strips are counted band after band.
struct SharedStrips {
    const RowLoop *first;  // the painting thread's loop, on the first band
    int stripsPerBand;
    std::optional<RowLoop> loops[kMostStripWorkers + 1];
    int band[kMostStripWorkers + 1];
    StripPlan *bandPlans;  // a plan a converter, for the band it is in past the first
    BYTE *strip[kMostStripSlots];
    BYTE *out[kMostStripSlots];
    const BYTE *bits[kMostStripSlots];
    int count[kMostStripSlots];
    StripLayout layout[kMostStripSlots];
    int firstLine[kMostStripSlots];
};

int ConvertSharedStrip(void *context, int converter, int k, int slot) {
    auto &s = *static_cast<SharedStrips *>(context);
    if (const int band = k / s.stripsPerBand; band != s.band[converter]) {
        PlanTileBand(s.first->job, s.first->plan, band, &s.bandPlans[converter]);
        s.loops[converter].emplace(InBand(*s.loops[converter], s.bandPlans[converter]));
        s.band[converter] = band;
    }
    RowLoop &L = *s.loops[converter];
    const StripPlan &p = L.plan;
    const int t0 = k % s.stripsPerBand * p.rowsPerStrip, count = std::min(p.rowsPerStrip, p.m - t0);
    const Walk &w = p.walks.line;
    Walk line = w;
    line.pos = WalkAt(w, t0);
    line.err = int((w.err + int64_t(t0) * w.r) % w.d);
    L.lastRow = -1;  // the row before may be in a strip already sent
    for (int i = 0; i < count; ++i, line.Step()) {
        if (const int rc = FillStripRow(L, t0 + i, PlanStoredRow(p, line.pos), StripRow(L.layout, s.strip[slot], i));
            rc != RC_SUCCESS)
            return rc;
    }
    s.bits[slot] = TurnStrip(L.layout, s.strip[slot], s.out[slot], count);
    s.count[slot] = count;
    s.layout[slot] = L.layout;
    s.firstLine[slot] = t0;
    return RC_SUCCESS;
}

int SendSharedStrip(void *context, int, int slot) {
    auto &s = *static_cast<SharedStrips *>(context);
    const RowLoop &L = *s.first;
    return PaintStrip(L.job.hDC, s.layout[slot], s.bits[slot], s.count[slot], s.firstLine[slot], L.info, L.usage,
                      L.job.rop);
}

// The row loop on the painting thread and `workers` others, with `slots`
// strips, over every band: everything is taken here, before any thread
// starts, and a failure to take it fails the paint as on one thread
// (nothing painted).
int RunSharedRowLoop(RowLoop &first, int workers, int slots) {
    const StripPlan &plan = first.plan;
    SharedStrips s{};
    s.first = &first;
    s.stripsPerBand = (plan.m + plan.rowsPerStrip - 1) / plan.rowsPerStrip;
    s.loops[0].emplace(first);
    s.strip[0] = first.buf->strip.get();
    s.out[0] = first.buf->out.get();
    TempBlock<BYTE> stripBlocks[kMostStripSlots], outBlocks[kMostStripSlots];
    for (int k = 1; k < slots; ++k) {
        if (!Take(stripBlocks[k], plan.stripBytes) || !Take(outBlocks[k], plan.outBytes))
            return RC_NO_MEMORY;
        s.strip[k] = stripBlocks[k].get();
        s.out[k] = outBlocks[k].get();
    }
    TempBlock<StripPlan> bandPlans;  // off the stack: a plan is 2.4 KB
    if (TileCount(plan) > 1 && !Take(bandPlans, sizeof(StripPlan) * size_t(workers + 1)))
        return RC_NO_MEMORY;
    s.bandPlans = bandPlans.get();
    StripHand hands[kMostStripWorkers];
    for (int i = 0; i < workers; ++i) {
        StripHand &h = hands[i];
        if (const int rc = AllocateHand(first.job, plan, &h); rc != RC_SUCCESS)
            return rc;
        RowLoop &L = s.loops[i + 1].emplace(first);
        L.buf = &h.buf;
        L.resize = h.resize.resize;
        L.source = h.buf.stretched.get();
    }
    const StripWork work{s.stripsPerBand * TileCount(plan), slots, workers, &s, ConvertSharedStrip, SendSharedStrip};
    return RunStripWork(work);
}

// ---- prepared rows: values on every thread, their put on the painting one ----

// Filtered rows onto a palette that are not stand-alone: the resize
// reduces them with history (the error row of diffusion, the cache of the
// first colour met in each 5-5-5 cell).  Their values depend on their
// source rows alone, so any thread makes them (K_ResizeRowValues, on a
// resize of its own); the painting thread puts them in row order on its
// resize, which holds that history, as one thread would.
bool RowsPrepared(const StripPlan &p, const BitmapHandle *b) {
    return p.route == STRIPS_ROWS && p.filter && !StripsStandAlone(p, b);
}

// A paint whose values several threads make: small strips of values
// (valueRows rows each) in the slots, put into the plan's own strips as
// they come, each of those sent when full.
struct PreparedStrips {
    const RowLoop *first;
    KResize *resize[kMostStripWorkers + 1];  // per converter; [0] also puts
    BYTE *values[kMostStripSlots];
    size_t valueRowBytes;
    int valueRows;
    int filled;  // rows of the painting thread's strip put so far
};

int ValueStripRows(const PreparedStrips &s, int k, int *t0) {
    *t0 = k * s.valueRows;
    return std::min(s.valueRows, s.first->plan.m - *t0);
}

int MakeValueStrip(void *context, int converter, int k, int slot) {
    auto &s = *static_cast<PreparedStrips *>(context);
    const StripPlan &p = s.first->plan;
    int t0;
    const int count = ValueStripRows(s, k, &t0);
    for (int i = 0; i < count; ++i)
        if (const int rc = K_ResizeRowValues(s.resize[converter], PlanStoredRow(p, WalkAt(p.walks.line, t0 + i)),
                                             p.walks.first, p.n, s.values[slot] + i * s.valueRowBytes);
            rc != RC_SUCCESS)
            return rc;
    return RC_SUCCESS;
}

int PutValueStrip(void *context, int k, int slot) {
    auto &s = *static_cast<PreparedStrips *>(context);
    const RowLoop &L = *s.first;
    const StripPlan &p = L.plan;
    int t0;
    const int count = ValueStripRows(s, k, &t0);
    for (int i = 0; i < count; ++i) {
        const int t = t0 + i;
        K_ResizePutRow(s.resize[0], PlanStoredRow(p, WalkAt(p.walks.line, t)), p.walks.first, p.n,
                       s.values[slot] + i * s.valueRowBytes, StripRow(L.layout, L.buf->strip.get(), s.filled));
        if (const int rc = RowFilled(L, t, &s.filled); rc != RC_SUCCESS)
            return rc;
    }
    return RC_SUCCESS;
}

// Rows per strip of values: the slots' values together take at most 3/8
// of the plan's strip (with the workers' resizes, made at 24 bits without
// the output tables, the paint stays within 1.5 times one thread's
// memory), at least one row.
int ValueRowsPerStrip(const StripPlan &p, int slots, size_t rowBytes) {
    const size_t rows = p.stripBytes * 3 / 8 / (size_t(slots) * rowBytes);
    return int(std::max<size_t>(1, std::min<size_t>(rows, size_t(p.rowsPerStrip))));
}

// The row loop with values made on the painting thread and `workers`
// others and put on the painting thread: everything is taken before a
// worker starts, as on one thread.
int RunPreparedRowLoop(RowLoop &first, int workers, int slots) {
    const StripPlan &plan = first.plan;
    PreparedStrips s{};
    s.first = &first;
    s.resize[0] = first.resize;
    s.valueRowBytes = size_t(plan.n) * 3;
    s.valueRows = ValueRowsPerStrip(plan, slots, s.valueRowBytes);
    TempBlock<BYTE> valueBlocks[kMostStripSlots];
    for (int k = 0; k < slots; ++k) {
        if (!Take(valueBlocks[k], s.valueRowBytes * s.valueRows))
            return RC_NO_MEMORY;
        s.values[k] = valueBlocks[k].get();
    }
    StripPlan valuesPlan = plan;  // the workers' resizes: the same values, no palette tables
    valuesPlan.stripBits = 24;
    StripHand hands[kMostStripWorkers];
    for (int i = 0; i < workers; ++i) {
        if (const int rc = AllocateHand(first.job, valuesPlan, &hands[i]); rc != RC_SUCCESS)
            return rc;
        s.resize[i + 1] = hands[i].resize.resize;
    }
    const int strips = (plan.m + s.valueRows - 1) / s.valueRows;
    const StripWork work{strips, slots, workers, &s, MakeValueStrip, PutValueStrip};
    return RunStripWork(work);
}

}  // namespace

namespace {
std::atomic<int> TiledPaints{0};
}  // namespace

int CountTiledPaints() { return TiledPaints.load(); }

int RunStrips(const StripJob &job) {
    ThreadPaintSettings *settings = GetPaintSettings();
    const UINT mode = settings->DisplayMode;
    StripPlan plan;
    PlanStrips(job, mode, &plan);
    if (plan.route == STRIPS_NOTHING)
        return plan.status;
    if (plan.route == STRIPS_DIRECT)
        return DirectPaint(job, settings, plan.paint);
    const bool standAlone = StripsStandAlone(plan, job.bitmap), prepared = RowsPrepared(plan, job.bitmap);
    int workers = std::min(standAlone || prepared ? StripWorkersFor(PaintedPixels(plan), StripWeight(job, plan)) : 0,
                           kMostStripWorkers);
    const int slots = workers + 2;
    if (workers && standAlone) {
        const StripPlan alone = plan;
        ShareStrips(job, &plan, slots);
        if (!SharedStripsFit(alone, plan, slots)) {
            plan = alone;
            workers = 0;
        }
    }
    StripBuffers buf;
    if (AllocateBuffers(plan, &buf) != RC_SUCCESS)
        return RC_NO_MEMORY;
    StripResize resize;
    if (plan.filter)
        if (const int rc = StartResize(job, mode, plan, &buf, &resize); rc != RC_SUCCESS)
            return rc;
    PaintBitmapInfo *info = plan.rowMode == STRIP_GRAY ? &settings->PaintInfo : ChoosePaintInfo(settings, job.hDC);
    const UINT usage = PrepareStripInfo(plan, job.bitmap, info);
    if (plan.route == STRIPS_BANDS)
        return SendBands(job, LayoutOf(plan), plan.walks, plan.flip, plan.m, info, usage);
    const BitmapHandle *b = job.bitmap;
    uint32_t wideTable[256];
    FillWideTables(plan, b, wideTable, buf.grayTable.get());
    if (plan.tileRows)
        ++TiledPaints;
    RowLoop loop{job, plan, &buf, resize.resize, LayoutOf(plan), info, usage, wideTable, buf.grayTable.get(),
                 WidePieces{b->Order == ORDER_BGR_CONVERT, plan.lut24 ? b->PaintLUT : nullptr},
                 -1, nullptr, buf.stretched.get(), false};
    if (!workers)
        return RunTiles(loop);
    return prepared ? RunPreparedRowLoop(loop, workers, slots) : RunSharedRowLoop(loop, workers, slots);
}

}  // namespace zv
