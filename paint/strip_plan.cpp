// Planning a strip paint: every decision before any buffer exists.
#include "paint/strip_engine.h"
#include "paint/strip_threads.h"

#include "paint/fixed_palettes.h"
#include "paint/paint_kind.h"
#include "paint/paint_palette.h"
#include "paint/window_level.h"

#include <cstring>

namespace zv {

namespace {
// Bytes of a source row read at once (more only when eight destination
// pixels need more).
constexpr int kReadPiece = 16384;
// Most entries of a gray lookup table (64 KB; 12 significant bits take 4096).
constexpr int kGrayTableEntries = 16384;

bool GdiTakesDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The two walks of a paint over a source of stored width storedW whose
// displayed rectangle src (sw x sh, display height dispH) lands on dst.
StripWalks PlanWalks(int degrees, const RECT &src, const RECT &dst, const RECT &paint, int storedW, int dispH, int n) {
    const int sw = src.right - src.left, sh = src.bottom - src.top;
    const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    StripWalks w;
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

bool CanPaintDirect(const BitmapHandle *b) {
    const int bits = b->BitsPerPixel;
    return RowsInMemory(b) && (b->Orientation == ORIENT_TOP_LEFT || b->Orientation == ORIENT_BOTTOM_LEFT) &&
           (bits == 1 || bits == 4 || bits == 8 || bits == 32 || (bits == 16 && b->Order != ORDER_GRAY) ||
            (bits == 24 && !(b->Flags & BITMAP_PAINT_LUT)));
}

// The gray ramp of a strip: through the paint table when one is in force.
void GrayRamp(const BitmapHandle *b, RGBQUAD *table) {
    GrayColors((b->Flags & BITMAP_PAINT_LUT) ? b->PaintLUT : nullptr, table);
}

bool IsUnitWalk(const Walk &w) { return (w.q == 0 && w.r == w.d) || (w.q == 1 && w.r == 0); }

// A 1:1 paint of whole-byte pixels that the strip would only copy can
// hand GDI bands of the bitmap's own rows instead: the same bytes, one
// copy fewer.  Needs the rows in memory, one after another at GDI's row
// stride, and every walked row and column inside the bitmap.
bool IsBandOfBitmap(const StripJob &job, StripRowMode rowMode, int degrees, int flip, const StripWalks &walks, int n,
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


// Where and whether: sizes, the painted rectangle, the turn, direct paint.
// False when the plan ends here (route and status set).
bool PlanFrame(const StripJob &job, UINT mode, StripPlan *p) {
    const BitmapHandle *b = job.bitmap;
    const int sw = job.src.right - job.src.left, sh = job.src.bottom - job.src.top;
    const int dw = job.dst.right - job.dst.left, dh = job.dst.bottom - job.dst.top;
    p->route = STRIPS_NOTHING;
    p->status = RC_SUCCESS;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return false;
    p->paint = Intersect(MapClipToDestination(job.src, job.clipSrc, job.dst), job.clipDst);
    if (IsEmptyRect(p->paint))
        return false;
    if (!TurnToDevice(b, &p->degrees, &p->flip)) {
        p->status = RC_INVALID_PARAMETER;
        return false;
    }
    if (!job.unscaled && (mode & DISP_DIRECT_PAINT) && !job.rows && CanPaintDirect(b)) {
        p->route = STRIPS_DIRECT;
        return false;
    }
    return true;
}

// Strip format and row conversion: the kind decides copy, expander or
// converter and the strip's depth; interpolated colour rows for a
// true-colour device become 24-bit.
void PlanFormat(const StripJob &job, UINT mode, StripPlan *p) {
    BitmapHandle *b = job.bitmap;
    const int bpp = b->BitsPerPixel;
    const bool gray = (bpp == 12 || bpp == 16) && IsGrayImage(b);
    int kind = job.kind;
    p->rowMode = STRIP_COPY;
    p->stripBits = bpp;
    if (kind == 3 || kind == 4) {
        p->rowMode = STRIP_GRAY;
        p->stripBits = 8;
    } else {
        if (kind == 1 && bpp == 24)
            kind = 0;  // the Order 5 swap of the row loop does the expander's work
        if (kind == 2) {
            p->stripBits = std::min(job.deviceBits, 8);
            p->converter = SelectRowConverter(bpp, p->stripBits);
            p->modeConverter = GetModeRowConverter(bpp, p->stripBits, (mode & DISP_ORDERED_DITHER) != 0);
            if (!p->converter)
                kind = GdiTakesDepth(bpp) ? 0 : 1;
        }
        if (kind == 1) {
            p->rowMode = STRIP_EXPAND;
            p->expander = SelectRowExpander(bpp, gray, &p->stripBits);
        } else if (kind == 2) {
            p->rowMode = STRIP_CONVERT;
        } else {
            p->stripBits = bpp;
        }
    }
    p->filter = !job.unscaled && (mode & (DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT));
    if (p->filter && p->stripBits <= 8 && bpp <= 8 && job.deviceBits > 8 &&
        !(K_IsGrayScale(b) == 1 && b->ColorCount == (1 << bpp)))
        p->stripBits = 24;
}

// Colours of the strip (and of the interpolated output), and the source
// table a converter reads.
void PlanColors(const StripJob &job, UINT mode, StripPlan *p) {
    BitmapHandle *b = job.bitmap;
    const int bpp = b->BitsPerPixel, bits = p->stripBits;
    if (bits <= 8) {
        if (p->rowMode == STRIP_CONVERT) {
            p->colorCount = 1 << bits;
            const RGBQUAD *fixed = bits == 1                    ? MonoPalette.data()
                                   : bits == 4                  ? Vga16Palette.data()
                                   : (mode & DISP_CUBE_PALETTE) ? CubePalette.data()
                                                                : Rgb332Palette.data();
            std::memcpy(p->colors, fixed, sizeof(RGBQUAD) * p->colorCount);
        } else if (p->rowMode == STRIP_GRAY || bpp > 8) {
            p->colorCount = 256;
            GrayRamp(b, p->colors);
        } else {
            p->colorCount = b->Palette && b->ColorCount > 0 ? std::min(b->ColorCount, 256) : 1 << bpp;
            if (GetPaintColors(b, 0, p->colorCount, p->colors) <= 0)
                GrayRamp(b, p->colors);
        }
    }
    if (p->rowMode == STRIP_CONVERT) {
        if (bpp <= 8)
            K_GetBitmapColors(b, 0, 1 << bpp, p->sourceColors);
        else
            for (int i = 0; i < 256; ++i)
                p->sourceColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    }
}

// Strip width and count, and the walks over the source: the stored rows,
// or for interpolated rows the resized source window (SrcRect within the
// image), a stored image the size of the window mapped to the
// destination, walked 1:1.  False for a row longer than any buffer.
bool PlanGeometry(const StripJob &job, StripPlan *p) {
    const BitmapHandle *b = job.bitmap;
    const int bpp = b->BitsPerPixel;
    const RECT &paint = p->paint;
    const bool columns = p->degrees == 90 || p->degrees == 270;
    p->n = columns ? paint.bottom - paint.top : paint.right - paint.left;
    p->m = columns ? paint.right - paint.left : paint.bottom - paint.top;
    // A destination of a billion pixels unclipped cannot be painted.
    if (int64_t(p->n) * std::max(p->stripBits, bpp) > int64_t(0x7FFFFFFF) - 64)
        return false;
    p->window = Intersect(job.src, ImageRect(*b));
    const RECT mapped = MapClipToDestination(job.src, p->window, job.dst);
    const int mw = mapped.right - mapped.left, mh = mapped.bottom - mapped.top;
    const RECT resized{0, 0, mw, mh};
    p->resizedW = ExchangesAxes(b->Orientation) ? mh : mw;
    const RECT within{paint.left - mapped.left, paint.top - mapped.top, paint.right - mapped.left,
                      paint.bottom - mapped.top};
    p->walks = p->filter ? PlanWalks(p->degrees, resized, resized, within, p->resizedW, mh, p->n)
                         : PlanWalks(p->degrees, job.src, job.dst, paint, b->Width, DisplayedSize(*b).cy, p->n);
    p->lineCount = p->filter ? (ExchangesAxes(b->Orientation) ? mw : mh) : b->Height;
    const Walk &f = p->walks.fill;
    const int aligned = AlignColumn(p->walks.first, bpp);
    const int64_t eightSteps = int64_t(f.q) * 8 + (int64_t(f.r) * 8 + f.d - 1) / f.d + 16;
    p->readCap = int(std::min<int64_t>(RowBytesOf(p->walks.last + 1 - aligned, bpp),
                                       std::max<int64_t>(kReadPiece, RowBytesOf(eightSteps, bpp)))) + 8;
    p->unitRead = IsUnitWalk(f) && AlignColumn(f.pos, bpp) == f.pos;
    if (!p->filter && p->unitRead && IsBandOfBitmap(job, p->rowMode, p->degrees, p->flip, p->walks, p->n, p->m))
        p->route = STRIPS_BANDS;
    return true;
}

// 12/16-bit gray rows made 8 or 24 bits (gray, or through a colour
// window-level table), and those whose table of significant values fits.
bool GrayRows(const StripPlan &p, const BitmapHandle *b) {
    const int bpp = b->BitsPerPixel;
    return p.rowMode == STRIP_EXPAND && (p.stripBits == 8 || p.stripBits == 24) && (bpp == 12 || bpp == 16) &&
           b->Order == ORDER_GRAY;
}

bool GrayFits(const StripPlan &p, const BitmapHandle *b) {
    return GrayRows(p, b) && p.grayLookup.Entries() <= kGrayTableEntries;
}

// Whether a plan reads whole-byte runs of rows that lie in memory, 1:1.
bool ReadsInMemory(const StripJob &job, const StripPlan &p) {
    return p.unitRead && !p.filter && (job.rows || RowsInMemory(job.bitmap));
}

// Gray rows used where they lie (rows at hand).
bool RowsAtHand(const StripJob &job, const StripPlan &p) { return GrayFits(p, job.bitmap) && ReadsInMemory(job, p); }

// Rows read where they lie beside the gray rows at hand (neither swapped
// first, as Order 5 rows are, nor looked up): rows the plan converts,
// expands or widens from a row of its own, read 1:1, or 24-bit rows
// widened (through any walk); with how far into a row their readers
// reach (up to 8 bytes past the row for converters and expanders, the
// widening one byte past its last pixel).
void PlanInPlace(const StripJob &job, StripPlan *p) {
    const BitmapHandle *b = job.bitmap;
    const bool asIs = b->Order != ORDER_BGR_CONVERT && !p->rowsAtHand;
    p->rowsInPlace = asIs && ReadsInMemory(job, *p) && (p->rowMode != STRIP_COPY || (p->wide && !p->wide24));
    p->widensInPlace = asIs && p->wide && p->wide24 && !p->filter && !p->lut24 && (job.rows || RowsInMemory(b));
    p->inPlaceEnd = p->widensInPlace ? (int64_t(WalkAt(p->walks.fill, p->n - 1)) + 1) * 3 + 1
                                     : RowBytesOf(int64_t(p->walks.fill.pos) + p->n, b->BitsPerPixel) + 8;
}

// The strip and what goes with it share one strip's budget: a diffused
// paint's error row is taken off it, and a turned paint, which needs a
// second buffer of the strip's size, gives each half.  Wide strips
// (wide_rows.h) of copied or expanded rows whose colours GDI would map
// through a full RGB table or from 24 bits; the narrow rows they are made
// from come off their budget, and at least four rows must fit.  A 24-bit
// copy is stretched straight into them.  Gray rows of 12 and 16 bits
// (gray, or through a colour window-level table) go wide in one lookup a
// pixel through a table of their significant values taken off the
// budget; read 1:1 from rows in memory, they are used where they are.
void PlanBudget(const StripJob &job, UINT mode, StripPlan *p) {
    const BitmapHandle *b = job.bitmap;
    const int bpp = b->BitsPerPixel, bits = p->stripBits, n = p->n, m = p->m;
    const bool columns = p->degrees == 90 || p->degrees == 270;
    p->diffused = p->rowMode == STRIP_CONVERT && !p->filter && !(mode & DISP_ORDERED_DITHER);
    int64_t budget = kStripBytes;
    if (p->diffused)
        budget -= int64_t(n) * int64_t(sizeof(ErrorEntry));
    if (p->degrees != 0)
        budget /= 2;
    p->wide24 = p->rowMode == STRIP_COPY && bits == 24;
    const bool fullTable = (bits == 1 || bits == 4 || bits == 8) && p->colorCount == 1 << bits &&
                           !(mode & DISP_PALETTE_INDICES);
    p->grayLookup = GrayRows(*p, b) ? GrayLookupOf(b) : GrayLookup{0, 0};
    const bool grayFits = GrayFits(*p, b);
    p->rowsAtHand = RowsAtHand(job, *p);
    const int64_t readRow = p->rowsAtHand ? 0 : DibRowBytes(n, bpp);
    const int64_t narrowBytes = p->wide24  ? 0
                                : grayFits ? int64_t(p->grayLookup.Entries()) * 4 + readRow
                                           : readRow + (p->rowMode == STRIP_EXPAND ? DibRowBytes(n, bits) : 0);
    // Filtered 24-bit rows are made wide by the resize itself.
    p->wide = (p->filter ? bits == 24
                         : p->route != STRIPS_BANDS && (p->rowMode == STRIP_COPY || p->rowMode == STRIP_EXPAND) &&
                               (bits == 24 || fullTable)) &&
              (budget - narrowBytes) / (int64_t(n) * 4) >= std::min(m, 4) && TakesWidePixels(job.hDC, job.deviceBits);
    p->lut24 = bits == 24 && (b->Flags & BITMAP_PAINT_LUT) && b->PaintLUT;
    PlanInPlace(job, p);
    p->grayTableBytes = p->wide && grayFits && !p->filter ? size_t(p->grayLookup.Entries()) * 4 : 0;
    p->layoutBits = p->wide ? 32 : bits;
    p->stripRowBytes = p->wide ? n * 4 : DibRowBytes(n, bits);
    const int64_t room = p->wide ? budget - narrowBytes : budget;
    p->rowsPerStrip = int(std::min<int64_t>(m, std::max<int64_t>(1, room / p->stripRowBytes)));
    if (p->rowMode == STRIP_GRAY && columns)  // the turned gray strip's rows stay within the budget too
        p->rowsPerStrip = std::min(p->rowsPerStrip, std::max(1, kStripBytes / n - 3));
    else if (job.unscaled && columns && p->rowsPerStrip > 8 && p->rowsPerStrip < m)
        p->rowsPerStrip &= ~7;
    p->tableSource = p->layoutBits > 8 ? DIB_NO_TABLE : IndicesOr(mode, DIB_GIVEN_COLORS);
}

// The buffers the plan needs, every one taken before the first row: the
// read buffer unless rows are read in place, the stretched source row
// unless the strip row takes it, the gray table or the narrow row of wide
// strips, the strip (with a spare row unless wide), the error row, and
// the turned strip.
void PlanBuffers(const StripJob &job, StripPlan *p) {
    const int bpp = job.bitmap->BitsPerPixel, n = p->n;
    const bool rows = !p->filter && p->route != STRIPS_BANDS;
    const bool readsInPlace = p->unitRead && !(p->wide && p->wide24);
    if (rows && !readsInPlace)
        p->readBytes = (size_t(p->readCap) + 3) & ~size_t(3);
    if (rows && (p->rowMode != STRIP_COPY || (p->wide && !p->wide24)) && !p->rowsAtHand)
        p->stretchedBytes = size_t(DibRowBytes(n, bpp)) + 8;
    if (rows && p->wide && !p->grayTableBytes && p->rowMode == STRIP_EXPAND)
        p->narrowBytes = size_t(DibRowBytes(n, p->stripBits)) + 8;
    if (p->route != STRIPS_BANDS)
        p->stripBytes = size_t(p->rowsPerStrip + (p->wide ? 0 : 1)) * p->stripRowBytes + 8;
    if (p->diffused)
        p->errorEntries = size_t(n);
    if (p->degrees == 90 || p->degrees == 270)
        p->outBytes = size_t(DibRowBytes(p->rowsPerStrip, p->layoutBits)) * n + 1;
    else if (p->degrees != 0)
        p->outBytes = size_t(p->rowsPerStrip) * p->stripRowBytes + 1;
}

// ---- tiles -------------------------------------------------------------------

// Columns of a tile.  GDI copies a strip onto a DIB section row by row,
// and a narrow row costs more than its pixels: 32-bit strips of 10
// columns go at a third of the rate of 64 columns or more, 128 and more
// at their best.
constexpr int kTileColumns = 128, kTileBelow = 32;

// Band k of a tiled plan, counted from where the strip rows start (the
// top for rotation 270, the bottom for 90): with tileRows a multiple of
// 8, every band's strip pixel i has the ordered dither of the whole
// paint's strip pixel at the same place.
RECT TileRect(const StripPlan &p, int k) {
    RECT r = p.whole;
    const int64_t offset = int64_t(k) * p.tileRows;
    if (p.degrees == 90) {
        r.bottom = int(p.whole.bottom - offset);
        r.top = std::max<int64_t>(p.whole.top, r.bottom - p.tileRows);
    } else {
        r.top = int(p.whole.top + offset);
        r.bottom = std::min<int64_t>(p.whole.bottom, r.top + p.tileRows);
    }
    return r;
}

// Band k of a plan whose first band is planned: its geometry, its reads
// and its buffers, in the first band's format (the decisions that ask
// GDI are not made again: workers plan bands too).
void PlanBand(const StripJob &job, StripPlan *p, int k) {
    p->paint = TileRect(*p, k);
    PlanGeometry(job, p);
    p->rowsAtHand = RowsAtHand(job, *p);
    PlanInPlace(job, p);
    p->stripRowBytes = p->wide ? p->n * 4 : DibRowBytes(p->n, p->stripBits);
    PlanBuffers(job, p);
}

// Makes a tiled plan that of its first band of `rows` destination rows
// and at most `columns` rows a strip, with buffers for the largest any
// band takes (bands differ in where their reads start and the last in
// its height).
void PlanTiles(const StripJob &job, StripPlan *p, int rows, int columns) {
    p->tileRows = rows;
    p->paint = TileRect(*p, 0);
    PlanGeometry(job, p);
    PlanBudget(job, p->mode, p);
    p->rowsPerStrip = std::min(p->rowsPerStrip, columns);
    PlanBuffers(job, p);
    StripPlan band = *p;
    for (int k = 1, bands = TileCount(*p); k < bands; ++k) {
        PlanBand(job, &band, k);
        for (auto bytes : {&StripPlan::readBytes, &StripPlan::stretchedBytes, &StripPlan::narrowBytes,
                           &StripPlan::stripBytes, &StripPlan::outBytes})
            p->*bytes = std::max(p->*bytes, band.*bytes);
    }
}

// A turned paint of converted or copied rows whose strips would have
// fewer than kTileBelow columns goes in tiles of as many rows as give
// them kTileColumns (a multiple of 8).  Strips of kTileBelow columns and
// more stay whole: GDI takes them nearly as fast, and reading whole rows
// is faster than reading a piece of each (8-bit strips of 32 columns
// converted on one thread: whole 339 Mpixel/s, tiles 271-283).  Not
// filtered paints, whose resize walks the whole window, nor diffused
// ones, whose error runs down the whole column, nor 1-bit gray strips,
// which keep their own budget.
void PlanTiling(const StripJob &job, StripPlan *p) {
    const bool columns = p->degrees == 90 || p->degrees == 270;
    if (!columns || p->route != STRIPS_ROWS || p->filter || p->diffused || p->rowMode == STRIP_GRAY ||
        p->rowsPerStrip >= std::min(p->m, kTileBelow))
        return;
    const int rows = int(int64_t(p->n) * p->rowsPerStrip / kTileColumns) & ~7;
    if (rows < 8 || rows >= p->n)
        return;
    p->whole = p->paint;
    PlanTiles(job, p, rows, kTileColumns);
}

}  // namespace

int TileCount(const StripPlan &plan) {
    if (!plan.tileRows)
        return 1;
    return int((int64_t(plan.whole.bottom) - plan.whole.top + plan.tileRows - 1) / plan.tileRows);
}

void PlanTileBand(const StripJob &job, const StripPlan &first, int k, StripPlan *band) {
    *band = first;
    PlanBand(job, band, k);
}

int64_t PaintedPixels(const StripPlan &plan) {
    const RECT &r = plan.tileRows ? plan.whole : plan.paint;
    return int64_t(r.right - r.left) * (r.bottom - r.top);
}

bool RowsInMemory(const BitmapHandle *b) {
    return (b->Flags & BITMAP_CONTIGUOUS) && !(b->Flags & (BITMAP_KERNEL_0100 | BITMAP_KERNEL_8000)) && b->Data;
}

void ShareStrips(const StripJob &job, StripPlan *plan, int slots) {
    if (plan->tileRows) {
        const int rows = std::max(8, plan->tileRows * 5 / (4 * slots) & ~7);
        PlanTiles(job, plan, std::min(rows, plan->tileRows), plan->rowsPerStrip);
        return;
    }
    const bool columns = plan->degrees == 90 || plan->degrees == 270;
    plan->rowsPerStrip = SharedRowsPerStrip(plan->rowsPerStrip, slots, columns && plan->layoutBits < 8);
    PlanBuffers(job, plan);
    PlanTiling(job, plan);  // shared strips may be too narrow where the one strip was not
}

void PlanStrips(const StripJob &job, UINT mode, StripPlan *plan) {
    *plan = StripPlan{};
    plan->mode = mode;
    if (!PlanFrame(job, mode, plan))
        return;
    PlanFormat(job, mode, plan);
    PlanColors(job, mode, plan);
    if (!PlanGeometry(job, plan)) {
        plan->route = STRIPS_NOTHING;
        plan->status = RC_NO_MEMORY;
        return;
    }
    if (plan->route != STRIPS_BANDS)
        plan->route = STRIPS_ROWS;
    PlanBudget(job, mode, plan);
    PlanBuffers(job, plan);
    PlanTiling(job, plan);
}

}  // namespace zv
