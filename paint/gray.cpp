// Black-and-white pages scaled from their run lengths: scale to gray
// (shrinking and general) and scale to 1 bit.
//
// Footprints.  Destination pixel i of an axis covers the source pixels
// [a + floor(i * s / d), a + max(floor((i + 1) * s / d), floor(i * s / d) + 1))
// of that axis: when shrinking these partition the source, when enlarging
// each covers the one source pixel the DDA picks.  A destination pixel's
// footprint is the product of its two axis intervals.  The black pixels
// of a footprint are counted from run lists: every black run [a, b) of the
// source lines of a strip row adds 1 at a and takes 1 at b of a table over
// the source columns; two running sums over that table then give S(x),
// the black pixels of those lines left of column x, and the footprint
// [lo, hi) holds S(hi) - S(lo).  A run costs two additions whatever its
// length and no row is ever expanded to bytes.
#include "paint/dib_info.h"
#include "paint/paint_kind.h"
#include "paint/paint_palette.h"
#include "paint/strip_engine.h"
#include "paint/strip_threads.h"

#include <cstring>

namespace zv {

namespace {

enum FootprintOutput { GRAY_SHRINK, GRAY_SCALED, MONO };

// Axis interval of destination index i, clamped to [0, limit).
void AxisInterval(int64_t a, int64_t i, int s, int d, int limit, int *lo, int *hi) {
    const int64_t f0 = i * s / d;
    const int64_t f1 = std::max((i + 1) * s / d, f0 + 1);
    *lo = int(std::min<int64_t>(std::max<int64_t>(a + f0, 0), limit));
    *hi = int(std::min<int64_t>(std::max<int64_t>(a + f1, 0), limit));
}

// Adds the black runs of a run list (value 0 black, 1 with invert) to
// the column table: +1 where a run starts, -1 where it ends.
void AddBlackRuns(const WORD *runs, int runCount, int invert, int32_t *table) {
    int pos = 0, i = 0;
    if (invert) {
        pos = runs[0];
        i = 1;
    }
    for (; i < runCount; i += 2) {
        ++table[pos];
        pos += runs[i];
        --table[pos];
        if (i + 1 < runCount)
            pos += runs[i + 1];
    }
}

// Turns the column table of width columns into S(x), x = 0 .. width, in
// place: two running sums.
void SumBlackColumns(int32_t *table, int width) {
    int32_t column = 0, left = 0;
    for (int x = 0; x <= width; ++x) {
        column += table[x];
        table[x] = left;
        left += column;
    }
}

// floor(x / d) for x < 2^24 and 0 < d <= 65535 as a multiplication:
// with m = floor(2^40 / d) + 1 the error x (m - 2^40 / d) / 2^40 stays
// below 2^-16 < 1 / d, too little to reach the next integer.
struct Divisor {
    uint64_t m;
    explicit Divisor(uint32_t d) : m((uint64_t(1) << 40) / d + 1) {}
    uint32_t Of(uint32_t x) const { return uint32_t((x * m) >> 40); }
};

// How a strip row's pixels follow from the black counts of their
// footprints (columns relative to the first source column read).
struct FootprintRow {
    FootprintOutput output;
    const int *lo, *hi, *area;
    const Divisor *areaDivisors;  // by strip position
    int n, threshold;
    BYTE blackBit;
    int maxArea;
};

// Writes the strip row of footprints over `lines` source lines whose
// black pixels left of each column are blackLeft.  With the footprints
// small enough the divisions by an area of width x lines are two
// multiplications: floor(x / (w l)) = floor(floor(x / l) / w).
void WriteFootprintRow(const FootprintRow &f, const int32_t *blackLeft, int lines, BYTE *row, int rowBytes) {
    const int n = f.n;
    if (lines == 0) {  // footprints outside the image show white
        std::memset(row, f.output == MONO ? (f.blackBit ? 0x00 : 0xFF) : 0xFF, rowBytes);
        return;
    }
    if (f.output == MONO) {
        std::memset(row, 0, rowBytes);
        for (int k = 0; k < n; ++k) {
            const int black = blackLeft[f.hi[k]] - blackLeft[f.lo[k]];
            // A footprint outside the image (no area) shows white.
            const bool isBlack = f.area[k] != 0 && black >= f.threshold;
            const BYTE bit = isBlack ? f.blackBit : BYTE(1 - f.blackBit);
            row[k >> 3] |= BYTE(bit << (7 - (k & 7)));
        }
        return;
    }
    const bool shrink = f.output == GRAY_SHRINK;
    if (int64_t(f.maxArea) * lines <= 0xFFFF) {
        const Divisor byLines{uint32_t(lines)};
        for (int k = 0; k < n; ++k) {
            const int a = f.area[k] * lines, black = blackLeft[f.hi[k]] - blackLeft[f.lo[k]];
            const int counted = shrink ? black : a - black;  // white ones when enlarging
            const int share = int(f.areaDivisors[k].Of(byLines.Of(uint32_t(255 * counted))));
            row[k] = BYTE(a == 0 ? 255 : shrink ? (black < a ? 255 - share : 0) : share);
        }
        return;
    }
    for (int k = 0; k < n; ++k) {
        const int a = f.area[k] * lines, black = blackLeft[f.hi[k]] - blackLeft[f.lo[k]];
        if (a == 0) {
            row[k] = 255;
        } else if (shrink) {
            row[k] = BYTE(black < a ? 255 - int(int64_t(255) * black / a) : 0);
        } else {
            const int white = a - black;
            row[k] = BYTE(white == 0 ? 0 : white > 0x808080 ? MulDiv(white, 255, a) : 255 * white / a);
        }
    }
}

// The strip header of the footprint painters: 8-bit gray through the
// paint table, or 1 bit in the bitmap's two colours (black first when
// nothing says otherwise), or the identity index table.
UINT PrepareFootprintInfo(PaintBitmapInfo *info, BitmapHandle *b, UINT mode, FootprintOutput output, int invert) {
    DibFormat f{};
    f.bits = output == MONO ? 1 : 8;
    f.source = DIB_GIVEN_COLORS;
    RGBQUAD colors[256] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    f.colors = colors;
    if (output != MONO) {
        f.count = 256;
        f.source = IndicesOr(mode, DIB_GIVEN_COLORS);
        GrayColors(b->PaintLUT, colors);  // the paint table however it stands
    } else if ((mode & DISP_PALETTE_INDICES) && !(mode & DISP_DITHER_8BIT)) {
        f.count = 2;
        f.source = DIB_IDENTITY;
    } else {
        f.count = 2;
        if (GetPaintColors(b, 0, 2, colors) < 2 && invert)
            std::swap(colors[0], colors[1]);
    }
    return PrepareDibInfo(info, f);
}

// The geometry of a footprint paint: the painted part of the destination,
// the turn, n pixels per strip row and m strip rows.
struct FootprintFrame {
    RECT src, dst, paint;
    int sw, sh, dw, dh, dispW, dispH;
    int degrees, flip, n, m;
    int stripBits, stripRowBytes, rowsPerStrip;
};

// Settles the frame; false with *rc when the paint ends here.
bool PlanFootprintFrame(BitmapHandle *b, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                        const RECT *pClipDst, FootprintOutput output, FootprintFrame *f, int *rc) {
    *rc = RC_SUCCESS;
    f->src = *pSrc, f->dst = *pDst;
    f->sw = f->src.right - f->src.left, f->sh = f->src.bottom - f->src.top;
    f->dw = f->dst.right - f->dst.left, f->dh = f->dst.bottom - f->dst.top;
    if (f->sw <= 0 || f->sh <= 0 || f->dw <= 0 || f->dh <= 0)
        return false;
    RECT clipSrc = pClipSrc ? Intersect(f->src, *pClipSrc) : f->src;
    const SIZE shown = DisplayedSize(*b);
    f->dispW = shown.cx, f->dispH = shown.cy;
    clipSrc = Intersect(clipSrc, RECT{0, 0, f->dispW, f->dispH});
    const RECT clipDst = pClipDst ? Intersect(f->dst, *pClipDst) : f->dst;
    if (IsEmptyRect(clipSrc) || IsEmptyRect(clipDst))
        return false;
    f->paint = Intersect(MapClipToDestination(f->src, clipSrc, f->dst), clipDst);
    if (IsEmptyRect(f->paint))
        return false;
    if (!TurnToDevice(b, &f->degrees, &f->flip)) {
        *rc = RC_INVALID_PARAMETER;
        return false;
    }
    const bool columns = f->degrees == 90 || f->degrees == 270;
    f->n = columns ? f->paint.bottom - f->paint.top : f->paint.right - f->paint.left;
    f->m = columns ? f->paint.right - f->paint.left : f->paint.bottom - f->paint.top;
    f->stripBits = output == MONO ? 1 : 8;
    // A row longer than any buffer can be (a destination of a billion
    // pixels unclipped) cannot be painted.
    if (int64_t(f->n) * 32 > int64_t(0x7FFFFFFF) - 64) {
        *rc = RC_NO_MEMORY;
        return false;
    }
    f->stripRowBytes = DibRowBytes(f->n, f->stripBits);
    f->rowsPerStrip = std::min(f->m, std::max(1, kStripBytes / f->stripRowBytes));
    return true;
}

// The black count that makes a 1-bit pixel black.
int MonoThreshold(const FootprintFrame &f) {
    const int fx = std::max(f.sw == f.dw ? 0 : f.sw / f.dw, 1), fy = std::max(f.sh == f.dh ? 0 : f.sh / f.dh, 1);
    int threshold = K_GetFootprintThreshold(fx * fy);
    if (threshold < 5)
        --threshold;
    return std::max(threshold, 1);
}

// The buffers of a footprint paint: column intervals and areas, the
// strip and the turned strip, the run list and the column table.
struct FootprintBuffers {
    KPtr<int> lo, hi, area;
    TempBlock<BYTE> strip, out;
    KPtr<WORD> runs;
    KPtr<int32_t> blackLeft;
    KPtr<Divisor> areaDivisors;
    int firstColumn, runWidth;
};

// Stored column intervals of the strip positions, ascending.
void StripColumnIntervals(const BitmapHandle *b, const FootprintFrame &f, int *lo, int *hi, int *area) {
    const RECT &src = f.src, &dst = f.dst, &paint = f.paint;
    for (int k = 0; k < f.n; ++k) {
        int a, z;
        switch (f.degrees) {
        case 0: AxisInterval(src.left, paint.left - dst.left + k, f.sw, f.dw, f.dispW, &a, &z); break;
        case 180: AxisInterval(src.left, paint.right - 1 - dst.left - k, f.sw, f.dw, f.dispW, &a, &z); break;
        case 90: AxisInterval(f.dispH - src.bottom, dst.bottom - paint.bottom + k, f.sh, f.dh, f.dispH, &a, &z); break;
        default: AxisInterval(f.dispH - src.bottom, dst.bottom - 1 - paint.top - k, f.sh, f.dh, f.dispH, &a, &z); break;
        }
        const bool reversed = f.degrees == 180 || f.degrees == 270;
        lo[k] = reversed ? b->Width - z : a;
        hi[k] = reversed ? b->Width - a : z;
        area[k] = z - a;
    }
}

int AllocateFootprints(const BitmapHandle *b, const FootprintFrame &f, FootprintBuffers *fb) {
    const size_t n = size_t(f.n);
    fb->lo = KAlloc<int>(n);
    fb->hi = KAlloc<int>(n);
    fb->area = KAlloc<int>(n);
    fb->strip = TempAlloc(size_t(f.rowsPerStrip + 1) * f.stripRowBytes);
    if (!fb->lo || !fb->hi || !fb->area || !fb->strip)
        return RC_NO_MEMORY;
    if (f.degrees != 0) {
        const bool columns = f.degrees == 90 || f.degrees == 270;
        fb->out = TempAlloc((columns ? size_t(DibRowBytes(f.rowsPerStrip, f.stripBits)) * n
                                     : size_t(f.rowsPerStrip) * f.stripRowBytes) + 1);
        if (!fb->out)
            return RC_NO_MEMORY;
    }
    StripColumnIntervals(b, f, fb->lo.get(), fb->hi.get(), fb->area.get());
    fb->firstColumn = fb->lo.get()[0];
    fb->runWidth = fb->hi.get()[n - 1] - fb->firstColumn;
    fb->runs = KAlloc<WORD>(size_t(fb->runWidth) + 2);
    fb->blackLeft = KAllocZero<int32_t>(size_t(fb->runWidth) + 1);
    fb->areaDivisors = KAlloc<Divisor>(n);
    return fb->runs && fb->blackLeft && fb->areaDivisors ? RC_SUCCESS : RC_NO_MEMORY;
}

// Counts the black pixels of the footprints of source lines [l0, l1) and
// writes them as one strip row.
int WriteFootprintLines(BitmapHandle *b, const FootprintFrame &f, const FootprintRow &fr, FootprintBuffers &fb,
                        int l0, int l1, int invert, BYTE *row) {
    for (int l = l0; l < l1; ++l) {
        const int runCount = K_GetRunLengths(b, StoredRow(l, b->Height, f.degrees, f.flip), fb.firstColumn,
                                             fb.runWidth, fb.runs.get());
        if (runCount < 0)
            return RC_ROW_READ;
        AddBlackRuns(fb.runs.get(), runCount, invert, fb.blackLeft.get());
    }
    SumBlackColumns(fb.blackLeft.get(), fb.runWidth);
    WriteFootprintRow(fr, fb.blackLeft.get(), l1 - l0, row, f.stripRowBytes);
    std::memset(fb.blackLeft.get(), 0, sizeof(int32_t) * (size_t(fb.runWidth) + 1));
    return RC_SUCCESS;
}

// Source lines (walked coordinate) [l0, l1) of strip row t.
void FootprintLines(const FootprintFrame &f, int t, int *l0, int *l1) {
    if (f.degrees == 90 || f.degrees == 270)
        AxisInterval(f.src.left, f.paint.left - f.dst.left + t, f.sw, f.dw, f.dispW, l0, l1);
    else
        AxisInterval(f.dispH - f.src.bottom, f.dst.bottom - f.paint.bottom + t, f.sh, f.dh, f.dispH, l0, l1);
}

// ---- on several cores (strip_threads.h) ------------------------------------

// A footprint paint whose strips several threads count: each converting
// thread its own run list and column table, each slot its strip.
struct SharedFootprints {
    BitmapHandle *b;
    const FootprintFrame *f;
    const FootprintRow *fr;
    int invert;
    HDC hDC;
    DWORD rop;
    StripLayout layout;
    PaintBitmapInfo *info;
    UINT usage;
    FootprintBuffers *hands[kMostStripWorkers + 1];
    BYTE *strip[kMostStripWorkers + 2], *out[kMostStripWorkers + 2];
    const BYTE *bits[kMostStripWorkers + 2];
    int count[kMostStripWorkers + 2];
};

int CountSharedStrip(void *context, int converter, int k, int slot) {
    auto &s = *static_cast<SharedFootprints *>(context);
    const FootprintFrame &f = *s.f;
    FootprintBuffers &fb = *s.hands[converter];
    const int t0 = k * f.rowsPerStrip, count = std::min(f.rowsPerStrip, f.m - t0);
    int lastL0 = -1, lastL1 = -1;
    const BYTE *lastRow = nullptr;
    for (int i = 0; i < count; ++i) {
        int l0, l1;
        FootprintLines(f, t0 + i, &l0, &l1);
        BYTE *row = StripRow(s.layout, s.strip[slot], i);
        if (l0 == lastL0 && l1 == lastL1)
            std::memmove(row, lastRow, f.stripRowBytes);
        else if (const int rc = WriteFootprintLines(s.b, f, *s.fr, fb, l0, l1, s.invert, row); rc != RC_SUCCESS)
            return rc;
        lastL0 = l0, lastL1 = l1, lastRow = row;
    }
    s.bits[slot] = TurnStrip(s.layout, s.strip[slot], s.out[slot], count);
    s.count[slot] = count;
    return RC_SUCCESS;
}

int SendSharedFootprints(void *context, int k, int slot) {
    auto &s = *static_cast<SharedFootprints *>(context);
    return PaintStrip(s.hDC, s.layout, s.bits[slot], s.count[slot], k * s.f->rowsPerStrip, s.info, s.usage, s.rop);
}

// The strips of a footprint paint on the painting thread and `workers`
// others: every buffer is taken first (a failure fails the paint).
int RunSharedFootprints(SharedFootprints &s, FootprintBuffers &first, int workers) {
    const FootprintFrame &f = *s.f;
    const int slots = workers + 2;
    const bool columns = f.degrees == 90 || f.degrees == 270;
    const size_t stripBytes = size_t(f.rowsPerStrip + 1) * f.stripRowBytes;
    const size_t outBytes = f.degrees == 0 ? 0
                            : (columns ? size_t(DibRowBytes(f.rowsPerStrip, f.stripBits)) * size_t(f.n)
                                       : size_t(f.rowsPerStrip) * f.stripRowBytes) + 1;
    TempBlock<BYTE> strips[kMostStripWorkers + 2], outs[kMostStripWorkers + 2];
    FootprintBuffers hands[kMostStripWorkers];
    s.hands[0] = &first;
    s.strip[0] = first.strip.get(), s.out[0] = first.out.get();
    for (int k = 1; k < slots; ++k) {
        strips[k] = TempAlloc(stripBytes);
        if (outBytes)
            outs[k] = TempAlloc(outBytes);
        if (!strips[k] || (outBytes && !outs[k]))
            return RC_NO_MEMORY;
        s.strip[k] = strips[k].get(), s.out[k] = outs[k].get();
    }
    for (int i = 0; i < workers; ++i) {
        FootprintBuffers &h = hands[i];
        h.firstColumn = first.firstColumn, h.runWidth = first.runWidth;
        h.runs = KAlloc<WORD>(size_t(h.runWidth) + 2);
        h.blackLeft = KAllocZero<int32_t>(size_t(h.runWidth) + 1);
        if (!h.runs || !h.blackLeft)
            return RC_NO_MEMORY;
        s.hands[i + 1] = &h;
    }
    const StripWork work{(f.m + f.rowsPerStrip - 1) / f.rowsPerStrip, slots, workers, &s, CountSharedStrip,
                         SendSharedFootprints};
    return RunStripWork(work);
}

// Workers for a footprint paint: each strip pixel counts the source
// pixels of its footprint (up to 8 as many as a copied pixel costs).
int FootprintWorkers(FootprintFrame *f) {
    const int64_t ratio = std::max<int64_t>(1, (int64_t(f->sw) * f->sh) / (int64_t(f->dw) * f->dh));
    const int workers = std::min(StripWorkersFor(int64_t(f->n) * f->m, int(std::min<int64_t>(8, 1 + ratio))),
                                 kMostStripWorkers);
    if (!workers)
        return 0;
    const int rows = SharedRowsPerStrip(f->rowsPerStrip, workers + 2,
                                        (f->degrees == 90 || f->degrees == 270) && f->stripBits < 8);
    if (2 * int64_t(workers + 2) * (rows + 1) > 3 * int64_t(f->rowsPerStrip + 1))
        return 0;  // strips that cannot shrink: more slots would pass half as much again
    f->rowsPerStrip = rows;
    return workers;
}

int PaintFootprints(HDC hDC, BitmapHandle *b, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, int invert, DWORD rop, FootprintOutput output) {
    ThreadPaintSettings *settings = GetPaintSettings();
    FootprintFrame f;
    int rc;
    if (!PlanFootprintFrame(b, pSrc, pClipSrc, pDst, pClipDst, output, &f, &rc))
        return rc;
    const int threshold = output == MONO ? MonoThreshold(f) : 1;
    const int workers = FootprintWorkers(&f);
    FootprintBuffers fb;
    if (AllocateFootprints(b, f, &fb) != RC_SUCCESS)
        return RC_NO_MEMORY;
    FootprintRow fr{output, fb.lo.get(), fb.hi.get(), fb.area.get(), fb.areaDivisors.get(), f.n, threshold,
                    BYTE(invert ? 1 : 0), 0};
    for (int k = 0; k < f.n; ++k) {
        fb.lo.get()[k] -= fb.firstColumn;
        fb.hi.get()[k] -= fb.firstColumn;
        fr.maxArea = std::max(fr.maxArea, fb.area.get()[k]);
        fb.areaDivisors.get()[k] = Divisor(uint32_t(std::max(fb.area.get()[k], 1)));
    }
    PaintBitmapInfo *info = &settings->PaintInfo;
    const UINT usage = PrepareFootprintInfo(info, b, settings->DisplayMode, output, invert);
    const StripLayout layout{f.degrees, f.n, f.rowsPerStrip, f.stripRowBytes, f.stripBits, f.paint};
    if (workers) {
        SharedFootprints shared{b, &f, &fr, invert, hDC, rop, layout, info, usage, {}, {}, {}, {}, {}};
        return RunSharedFootprints(shared, fb, workers);
    }
    int filled = 0, lastL0 = -1, lastL1 = -1;
    const BYTE *lastRow = nullptr;
    for (int t = 0; t < f.m; ++t) {
        int l0, l1;
        FootprintLines(f, t, &l0, &l1);
        BYTE *row = StripRow(layout, fb.strip.get(), filled);
        if (l0 == lastL0 && l1 == lastL1) {  // enlarging: the same lines again
            std::memmove(row, lastRow, f.stripRowBytes);
        } else if ((rc = WriteFootprintLines(b, f, fr, fb, l0, l1, invert, row)) != RC_SUCCESS) {
            return rc;
        } else {
            lastL0 = l0, lastL1 = l1;
        }
        lastRow = row;
        if (++filled < f.rowsPerStrip && t < f.m - 1)
            continue;
        const int count = filled;
        filled = 0;
        if ((rc = SendStrip(hDC, layout, fb.strip.get(), fb.out.get(), count, t + 1 - count, info, usage, rop)) !=
            RC_SUCCESS)
            return rc;
    }
    return RC_SUCCESS;
}

}  // namespace

void ExpandBitsToBytes(BYTE *pDst, const BYTE *pSrc, int nFirstBit, int nCount, int bInvert) {
    const BYTE flip = bInvert ? 0xFF : 0x00;
    pSrc += nFirstBit >> 3;
    int bit = nFirstBit & 7;
    while (nCount > 0) {
        const BYTE *e = BitExpandTable[BYTE(*pSrc++ ^ flip)].data();
        const int take = std::min(8 - bit, nCount);
        std::memcpy(pDst, e + bit, take);
        pDst += take;
        nCount -= take;
        bit = 0;
    }
}

int PaintGrayShrink(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, int bInvert, DWORD dwRop) {
    return PaintFootprints(hDC, pBitmap, pSrc, pClipSrc, pDst, pClipDst, bInvert ? 1 : 0, dwRop, GRAY_SHRINK);
}

int PaintGrayScaled(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, int bInvert, DWORD dwRop) {
    return PaintFootprints(hDC, pBitmap, pSrc, pClipSrc, pDst, pClipDst, bInvert ? 1 : 0, dwRop, GRAY_SCALED);
}

int PaintMonoScaled(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, int bInvert, DWORD dwRop) {
    const int sw = pSrc->right - pSrc->left, sh = pSrc->bottom - pSrc->top;
    const int dw = pDst->right - pDst->left, dh = pDst->bottom - pDst->top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return RC_SUCCESS;
    if (0x7FFFFFFF / sw < dw || 0x7FFFFFFF / sh < dh) {
        int deviceBits = 24, kind = 0;
        ChoosePainterKind(hDC, pBitmap, &deviceBits, &kind);
        return PaintStrips(hDC, pBitmap, nullptr, 0, 0, pSrc, pClipSrc, pDst, pClipDst, deviceBits, kind, dwRop);
    }
    return PaintFootprints(hDC, pBitmap, pSrc, pClipSrc, pDst, pClipDst, bInvert ? 1 : 0, dwRop, MONO);
}

}  // namespace zv
