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
#include "kernel/kmem.h"
#include "paint/dib_info.h"
#include "paint/paint_kind.h"
#include "paint/paint_palette.h"
#include "paint/strip_engine.h"

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

int PaintFootprints(HDC hDC, BitmapHandle *b, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, int invert, DWORD rop, FootprintOutput output) {
    ThreadPaintSettings *settings = GetPaintSettings();
    const UINT mode = settings->DisplayMode;
    const RECT src = *pSrc, dst = *pDst;
    const int sw = src.right - src.left, sh = src.bottom - src.top;
    const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return RC_SUCCESS;
    RECT clipSrc = pClipSrc ? Intersect(src, *pClipSrc) : src;
    const int dispW = DisplayWidth(b), dispH = DisplayHeight(b);
    clipSrc = Intersect(clipSrc, RECT{0, 0, dispW, dispH});
    const RECT clipDst = pClipDst ? Intersect(dst, *pClipDst) : dst;
    if (IsEmptyRect(clipSrc) || IsEmptyRect(clipDst))
        return RC_SUCCESS;
    const RECT paint = Intersect(MapClipToDestination(src, clipSrc, dst), clipDst);
    if (IsEmptyRect(paint))
        return RC_SUCCESS;
    int degrees, flip;
    if (!TurnToDevice(b, &degrees, &flip))
        return RC_INVALID_PARAMETER;
    const bool columns = degrees == 90 || degrees == 270;
    const int n = columns ? paint.bottom - paint.top : paint.right - paint.left;
    const int m = columns ? paint.right - paint.left : paint.bottom - paint.top;
    const int stripBits = output == MONO ? 1 : 8;
    // A row longer than any buffer can be (a destination of a billion
    // pixels unclipped) cannot be painted.
    if (int64_t(n) * 32 > int64_t(0x7FFFFFFF) - 64)
        return RC_NO_MEMORY;
    const int stripRowBytes = DibRowBytes(n, stripBits);
    const int rowsPerStrip = std::min(m, std::max(1, kStripBytes / stripRowBytes));

    int threshold = 1;
    if (output == MONO) {
        const int fx = std::max(sw == dw ? 0 : sw / dw, 1), fy = std::max(sh == dh ? 0 : sh / dh, 1);
        threshold = K_GetFootprintThreshold(fx * fy);
        if (threshold < 5)
            --threshold;
        threshold = std::max(threshold, 1);
    }

    KPtr<int> lo(KAlloc<int>(size_t(n))), hi(KAlloc<int>(size_t(n))), area(KAlloc<int>(size_t(n)));
    TempPtr<BYTE> strip(AllocTemp(size_t(rowsPerStrip + 1) * stripRowBytes));
    TempPtr<BYTE> out;
    if (!lo || !hi || !area || !strip)
        return RC_NO_MEMORY;
    if (degrees != 0) {
        out.reset(AllocTemp((columns ? size_t(DibRowBytes(rowsPerStrip, stripBits)) * n
                                     : size_t(rowsPerStrip) * stripRowBytes) + 1));
        if (!out)
            return RC_NO_MEMORY;
    }
    // Stored column intervals of the strip positions, ascending.
    for (int k = 0; k < n; ++k) {
        int a, z;
        switch (degrees) {
        case 0: AxisInterval(src.left, paint.left - dst.left + k, sw, dw, dispW, &a, &z); break;
        case 180: AxisInterval(src.left, paint.right - 1 - dst.left - k, sw, dw, dispW, &a, &z); break;
        case 90: AxisInterval(dispH - src.bottom, dst.bottom - paint.bottom + k, sh, dh, dispH, &a, &z); break;
        default: AxisInterval(dispH - src.bottom, dst.bottom - 1 - paint.top - k, sh, dh, dispH, &a, &z); break;
        }
        const bool reversed = degrees == 180 || degrees == 270;
        lo.get()[k] = reversed ? b->Width - z : a;
        hi.get()[k] = reversed ? b->Width - a : z;
        area.get()[k] = z - a;
    }
    const int firstColumn = lo.get()[0], endColumn = hi.get()[n - 1];
    const int runWidth = endColumn - firstColumn;
    KPtr<WORD> runs(KAlloc<WORD>(size_t(runWidth) + 2));
    KPtr<int32_t> blackLeft(KAllocZero<int32_t>(size_t(runWidth) + 1));
    KPtr<Divisor> areaDivisors(KAlloc<Divisor>(size_t(n)));
    if (!runs || !blackLeft || !areaDivisors)
        return RC_NO_MEMORY;
    FootprintRow fr{output, lo.get(), hi.get(), area.get(), areaDivisors.get(), n, threshold, BYTE(invert ? 1 : 0), 0};
    for (int k = 0; k < n; ++k) {
        lo.get()[k] -= firstColumn;
        hi.get()[k] -= firstColumn;
        fr.maxArea = std::max(fr.maxArea, area.get()[k]);
        areaDivisors.get()[k] = Divisor(uint32_t(std::max(area.get()[k], 1)));
    }

    const UINT usage = PrepareFootprintInfo(&settings->PaintInfo, b, mode, output, invert);
    PaintBitmapInfo *info = &settings->PaintInfo;
    const StripLayout layout{degrees, n, rowsPerStrip, stripRowBytes, stripBits, paint};
    int filled = 0, lastL0 = -1, lastL1 = -1;
    const BYTE *lastRow = nullptr;
    for (int t = 0; t < m; ++t) {
        // Source lines (walked coordinate) of this strip row.
        int l0, l1;
        if (columns)
            AxisInterval(src.left, paint.left - dst.left + t, sw, dw, dispW, &l0, &l1);
        else
            AxisInterval(dispH - src.bottom, dst.bottom - paint.bottom + t, sh, dh, dispH, &l0, &l1);
        BYTE *row = StripRow(layout, strip.get(), filled);
        if (l0 == lastL0 && l1 == lastL1) {  // enlarging: the same lines again
            std::memmove(row, lastRow, stripRowBytes);
        } else {
            for (int l = l0; l < l1; ++l) {
                const int runCount = K_GetRunLengths(b, StoredRow(l, b->Height, degrees, flip), firstColumn,
                                                     runWidth, runs.get());
                if (runCount < 0)
                    return RC_ROW_READ;
                AddBlackRuns(runs.get(), runCount, invert, blackLeft.get());
            }
            SumBlackColumns(blackLeft.get(), runWidth);
            WriteFootprintRow(fr, blackLeft.get(), l1 - l0, row, stripRowBytes);
            std::memset(blackLeft.get(), 0, sizeof(int32_t) * (size_t(runWidth) + 1));
            lastL0 = l0, lastL1 = l1;
        }
        lastRow = row;
        if (++filled < rowsPerStrip && t < m - 1)
            continue;
        const int count = filled;
        filled = 0;
        if (int rc = SendStrip(hDC, layout, strip.get(), out.get(), count, t + 1 - count, info, usage, rop);
            rc != RC_SUCCESS)
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
