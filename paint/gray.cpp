// Black-and-white pages scaled from their run lengths: scale to gray
// (shrinking and general) and scale to 1 bit.
//
// Footprints.  Destination pixel i of an axis covers the source pixels
// [a + floor(i * s / d), a + max(floor((i + 1) * s / d), floor(i * s / d) + 1))
// of that axis: when shrinking these partition the source, when enlarging
// each covers the one source pixel the DDA picks.  A destination pixel's
// footprint is the product of its two axis intervals.  The black pixels
// of a footprint are counted from run lists: with B(x) the black pixels
// of a row left of column x, the footprint [lo, hi) holds B(hi) - B(lo),
// and since both ends grow with the strip position, one walk over the
// runs finds B at every end.  No row is ever expanded to bytes.
#include "kernel/kmem.h"
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

// Adds sign x B(p) for every p of the ascending points to counts; runs
// alternate from value 0, black is value 0 (1 with invert).
void AddCumulative(const WORD *runs, int runCount, int invert, const int *points, int n, int base, int sign,
                   int32_t *counts) {
    int r = 0, pos = 0, black = 0;
    for (int k = 0; k < n; ++k) {
        const int p = points[k] - base;
        while (r < runCount && pos + runs[r] <= p) {
            if ((r & 1) == invert)
                black += runs[r];
            pos += runs[r++];
        }
        const int partial = r < runCount && (r & 1) == invert ? p - pos : 0;
        counts[k] += sign * (black + partial);
    }
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
    KPtr<int32_t> counts(KAlloc<int32_t>(size_t(n)));
    TempPtr<BYTE> strip(AllocTemp(size_t(rowsPerStrip + 1) * stripRowBytes));
    TempPtr<BYTE> out;
    if (!lo || !hi || !area || !counts || !strip)
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
    if (!runs)
        return RC_NO_MEMORY;

    PaintBitmapInfo *info = &settings->PaintInfo;
    BITMAPINFOHEADER &h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    h.biBitCount = WORD(stripBits);
    UINT usage;
    if (output != MONO) {
        usage = SetGrayColorTable(info, b, mode);
    } else if ((mode & DISP_PALETTE_INDICES) && !(mode & DISP_DITHER_8BIT)) {
        WriteIdentityIndexTable(*info);
        h.biClrUsed = 2;
        usage = DIB_PAL_COLORS;
    } else {
        RGBQUAD colors[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
        if (GetPaintColors(b, 0, 2, colors) < 2 && invert)
            std::swap(colors[0], colors[1]);
        info->bmiColors[0] = colors[0];
        info->bmiColors[1] = colors[1];
        h.biClrUsed = 2;
        usage = DIB_RGB_COLORS;
    }

    const StripLayout layout{degrees, n, rowsPerStrip, stripRowBytes, stripBits, paint};
    const BYTE blackBit = invert ? 1 : 0;
    int filled = 0;
    for (int t = 0; t < m; ++t) {
        // Source lines (walked coordinate) of this strip row.
        int l0, l1;
        if (columns)
            AxisInterval(src.left, paint.left - dst.left + t, sw, dw, dispW, &l0, &l1);
        else
            AxisInterval(dispH - src.bottom, dst.bottom - paint.bottom + t, sh, dh, dispH, &l0, &l1);
        std::memset(counts.get(), 0, sizeof(int32_t) * n);
        for (int l = l0; l < l1; ++l) {
            const int row = StoredRow(l, b->Height, degrees, flip);
            const int runCount = K_GetRunLengths(b, row, firstColumn, runWidth, runs.get());
            if (runCount < 0)
                return RC_ROW_READ;
            AddCumulative(runs.get(), runCount, invert, hi.get(), n, firstColumn, 1, counts.get());
            AddCumulative(runs.get(), runCount, invert, lo.get(), n, firstColumn, -1, counts.get());
        }
        const int lines = l1 - l0;
        BYTE *row = StripRow(layout, strip.get(), filled);
        if (output == MONO)
            std::memset(row, 0, stripRowBytes);
        for (int k = 0; k < n; ++k) {
            const int a = area.get()[k] * lines, black = counts.get()[k];
            if (a == 0) {  // a footprint outside the image shows white
                if (output != MONO)
                    row[k] = 255;
                else
                    row[k >> 3] |= BYTE((1 - blackBit) << (7 - (k & 7)));
            } else if (output == GRAY_SHRINK) {
                row[k] = BYTE(black < a ? 255 - int(int64_t(255) * black / a) : 0);
            } else if (output == GRAY_SCALED) {
                const int white = a - black;
                row[k] = BYTE(white == 0 ? 0 : white > 0x808080 ? MulDiv(white, 255, a) : 255 * white / a);
            } else {
                const BYTE bit = black >= threshold ? blackBit : BYTE(1 - blackBit);
                row[k >> 3] |= BYTE(bit << (7 - (k & 7)));
            }
        }
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
