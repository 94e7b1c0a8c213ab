// Resize with a row source: bilinear or area-average resampling of any
// depth into 24-bit rows or palette indices.
//
// Source rows arrive through the caller's row source, asked from a
// column that is a multiple of 8 pixels so that every depth starts on a
// byte.  They are turned into 8-bit red, green, blue triples for the
// source columns that the requested output columns need; the bilinear
// method keeps the last two such rows, so walking the output downwards
// reads every source row once.
#include "kernel/kernel_internal.h"
#include "kernel/kmem.h"
#include "kernel/pixels.h"
#include "common/zvpalettes.h"

#include <algorithm>
#include <cstring>

using namespace zv::kern;

struct KResize {
    const BitmapHandle *src;
    int sw, sh, dw, dh;
    int srcBits, outBits;
    int32_t run[3];   // error diffusion: running error of the next pixel
    UINT flags;
    ResizeRowSource rows;
    void *context;
    RGBQUAD srcColors[256];
    RGBQUAD colors[256];
    int colorCount;
    BYTE *raw;        // one source row window, as read
    int rawBytes;
    BYTE *line[2];    // two source rows as RGB triples over [lineFirst, lineEnd)
    int lineRow[2];
    int lineFirst, lineEnd, lineCap;
    int32_t *sums;    // area method: per output column
    int32_t *errors;  // error diffusion: 3 per output column, plus one spare
    short *nearest;   // 5-5-5 colour to palette index, -1 until looked up
};

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// Source pixel x of a raw row (x counted from the row's first byte) to
// red, green, blue.
void ReadRgb(const KResize &r, const BYTE *raw, int x, BYTE *rgb) {
    const BitmapHandle &b = *r.src;
    const bool bgr = b.Order == ORDER_BGR;
    switch (r.srcBits) {
    case 12:
    case 16: {
        const uint32_t v = r.srcBits == 12 ? Get12(raw, x) : uint32_t(raw[2 * x] | (raw[2 * x + 1] << 8));
        if (b.Order == ORDER_GRAY || r.srcBits == 12) {
            const int lo = b.LowBit >= 0 && b.LowBit <= b.HighBit ? b.LowBit : 0;
            const int hi = b.HighBit > 0 && b.HighBit < r.srcBits ? b.HighBit : r.srcBits - 1;
            if (b.WindowLUT && b.WindowLUTLength) {
                uint32_t i = (v >> lo) & ((1u << (hi - lo + 1)) - 1);
                i = std::min<uint32_t>(i, b.WindowLUTLength - 1);
                rgb[0] = b.WindowLUT[i].rgbRed, rgb[1] = b.WindowLUT[i].rgbGreen, rgb[2] = b.WindowLUT[i].rgbBlue;
            } else {
                const BYTE g = BYTE(hi >= 7 ? (v >> (hi - 7)) & 0xFF : (v << (7 - hi)) & 0xFF);
                rgb[0] = rgb[1] = rgb[2] = g;
            }
            return;
        }
        const int c0 = v & 31, c1 = (v >> 5) & 31, c2 = (v >> 10) & 31;
        const int lo = bgr ? c2 : c0, hi = bgr ? c0 : c2;
        rgb[0] = BYTE((lo << 3) | (lo >> 2)), rgb[1] = BYTE((c1 << 3) | (c1 >> 2)), rgb[2] = BYTE((hi << 3) | (hi >> 2));
        return;
    }
    case 24:
    case 32:
    case 48:
    case 64: {
        const int n = r.srcBits / 8, step = n >= 6 ? 2 : 1, off = n >= 6 ? 1 : 0;
        const BYTE *p = raw + size_t(x) * n + off;
        const BYTE c0 = p[0], c1 = p[step], c2 = p[2 * step];
        rgb[0] = bgr ? c2 : c0, rgb[1] = c1, rgb[2] = bgr ? c0 : c2;
        return;
    }
    default: {
        const RGBQUAD &q = r.srcColors[GetBits(raw, x, r.srcBits) & 0xFF];
        rgb[0] = q.rgbRed, rgb[1] = q.rgbGreen, rgb[2] = q.rgbBlue;
        return;
    }
    }
}

// Reads source row y and converts columns [first, end) into line slot s.
int LoadLine(KResize &r, int s, int y, int first, int end) {
    const int aligned = first & ~7;
    const int count = end - aligned;
    const int bytes = int((int64_t(count) * r.srcBits + 7) / 8);
    const int got = r.rows(r.src, r.raw, y, aligned, bytes, r.context);
    if (got < 0)
        return got;
    BYTE *out = r.line[s];
    for (int x = first; x < end; ++x, out += 3)
        ReadRgb(r, r.raw, x - aligned, out);
    r.lineRow[s] = y;
    return RC_SUCCESS;
}

// Source range [first, end) that output columns [c0, c0 + n) need.
void SourceColumns(const KResize &r, int c0, int n, int *first, int *end) {
    if (r.flags & RESIZE_BILINEAR) {
        *first = Clamp(int(((2 * int64_t(c0) + 1) * r.sw - r.dw) / (2 * r.dw)) - 1, 0, r.sw - 1);
        *end = Clamp(int(((2 * int64_t(c0 + n) + 1) * r.sw) / (2 * r.dw)) + 2, 1, r.sw);
    } else {
        // The last column's footprint holds at least its own first source
        // column, also when enlarging leaves it empty.
        *first = int(int64_t(c0) * r.sw / r.dw);
        const int lastFirst = n > 0 ? int(int64_t(c0 + n - 1) * r.sw / r.dw) : *first;
        *end = std::max(int(int64_t(c0 + n) * r.sw / r.dw), lastFirst + 1);
        *end = std::min(*end, r.sw);
    }
}

// Position in 16.16 of output pixel centre i on the source axis.
int64_t Centre(int i, int s, int d) {
    const int64_t p = ((2 * int64_t(i) + 1) * s * 65536) / (2 * int64_t(d)) - 32768;
    return std::max<int64_t>(p, 0);
}

int NearestIndex(KResize &r, int red, int green, int blue) {
    const int key = ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3);
    if (r.nearest[key] >= 0)
        return r.nearest[key];
    const int best = NearestEntry(r.colors, r.colorCount, red, green, blue);
    r.nearest[key] = short(best);
    return best;
}

// Writes pixel k of a span of n output pixels from its red, green, blue.
// Error diffusion follows the display's converters: errors[k] holds what
// the row below inherits at k (weights 7, 5, 3, 1, not yet divided by 16)
// and run the error carried to the right.
void PutOutput(KResize &r, BYTE *dst, int k, int n, int column, int row, int red, int green, int blue) {
    if (r.outBits == 24) {
        dst[3 * k] = BYTE(blue), dst[3 * k + 1] = BYTE(green), dst[3 * k + 2] = BYTE(red);
        return;
    }
    int idx;
    if ((r.flags & RESIZE_DITHER_ORDERED) == RESIZE_DITHER_ORDERED) {
        const int o = (zv::DispersedDitherMatrix[(row & 7) * 8 + (column & 7)] >> 3) - 16;
        idx = NearestIndex(r, Clamp(red + o, 0, 255), Clamp(green + o, 0, 255), Clamp(blue + o, 0, 255));
    } else {
        int32_t *e = r.errors + 3 * k;
        if (k == 0)
            std::memcpy(r.run, e, sizeof(r.run));
        const int c[3] = {Clamp(red + r.run[0] / 16, 0, 255), Clamp(green + r.run[1] / 16, 0, 255),
                          Clamp(blue + r.run[2] / 16, 0, 255)};
        idx = NearestIndex(r, c[0], c[1], c[2]);
        const int p[3] = {r.colors[idx].rgbRed, r.colors[idx].rgbGreen, r.colors[idx].rgbBlue};
        for (int ch = 0; ch < 3; ++ch) {
            const int d = c[ch] - p[ch];
            if (k + 1 < n) {
                r.run[ch] = e[3 + ch] + 7 * d;
                e[3 + ch] = d;
            }
            if (k == 0) {
                e[ch] = 5 * d;
            } else {
                e[ch] += 5 * d;
                e[ch - 3] += 3 * d;
            }
        }
    }
    PutBits(dst, k, r.outBits, uint32_t(idx));
}

}  // namespace

extern "C" {

int __stdcall K_ResizeStart(const BitmapHandle *pSource, int nDstWidth, int nDstHeight, int nBits,
                            const RGBQUAD *pColors, int nColors, UINT uFlags, ResizeRowSource pfnRows,
                            void *pContext, KResize **ppResize) {
    if (!ppResize)
        return RC_INVALID_PARAMETER;
    *ppResize = nullptr;
    if (!pSource)
        return RC_NO_BITMAP;
    if (!pfnRows || nDstWidth <= 0 || nDstHeight <= 0 || pSource->Width <= 0 || pSource->Height <= 0 ||
        !IsValidDepth(pSource->BitsPerPixel) || !(nBits == 24 || nBits == 1 || nBits == 4 || nBits == 8) ||
        (nBits < 24 && (!pColors || nColors <= 0 || nColors > 256)) || !(uFlags & (RESIZE_AREA | RESIZE_BILINEAR)))
        return RC_INVALID_PARAMETER;
    zv::KPtr<KResize> r(static_cast<KResize *>(K_AllocZero(1, sizeof(KResize))));
    if (!r)
        return RC_NO_MEMORY;
    KResize &z = *r;
    z.src = pSource;
    z.sw = pSource->Width, z.sh = pSource->Height, z.dw = nDstWidth, z.dh = nDstHeight;
    z.srcBits = pSource->BitsPerPixel, z.outBits = nBits;
    z.flags = uFlags, z.rows = pfnRows, z.context = pContext;
    z.lineRow[0] = z.lineRow[1] = -1;
    if (pSource->BitsPerPixel <= 8)
        K_GetBitmapColors(pSource, 0, 1 << pSource->BitsPerPixel, z.srcColors);
    z.colorCount = nColors;
    if (nBits < 24)
        std::memcpy(z.colors, pColors, sizeof(RGBQUAD) * nColors);
    // Every buffer at its worst size now, so that no row allocates.
    z.rawBytes = int((int64_t(z.sw + 8) * z.srcBits + 7) / 8) + 8;
    z.lineCap = z.sw;
    z.raw = static_cast<BYTE *>(K_Alloc(z.rawBytes));
    z.line[0] = static_cast<BYTE *>(K_Alloc(size_t(z.lineCap) * 3));
    z.line[1] = static_cast<BYTE *>(K_Alloc(size_t(z.lineCap) * 3));
    bool ok = z.raw && z.line[0] && z.line[1];
    if (ok && (uFlags & RESIZE_AREA))
        ok = (z.sums = static_cast<int32_t *>(K_Alloc(sizeof(int32_t) * 4 * size_t(z.dw)))) != nullptr;
    if (ok && nBits < 24) {
        ok = (z.nearest = static_cast<short *>(K_Alloc(sizeof(short) * 32768))) != nullptr;
        if (ok)
            std::memset(z.nearest, 0xFF, sizeof(short) * 32768);
        if (ok && (uFlags & RESIZE_DITHER_ORDERED) != RESIZE_DITHER_ORDERED)
            ok = (z.errors = static_cast<int32_t *>(K_AllocZero(3 * (size_t(z.dw) + 2), sizeof(int32_t)))) !=
                 nullptr;
    }
    if (!ok) {
        K_ResizeEnd(r.release());
        return RC_NO_MEMORY;
    }
    *ppResize = r.release();
    return RC_SUCCESS;
}

int __stdcall K_ResizeRow(KResize *pResize, int nRow, int nFirstColumn, int nCount, BYTE *pDst) {
    if (!pResize || !pDst || nRow < 0 || nRow >= pResize->dh || nFirstColumn < 0 || nCount < 0 ||
        nFirstColumn > pResize->dw - nCount)
        return RC_INVALID_PARAMETER;
    KResize &r = *pResize;
    int first, end;
    SourceColumns(r, nFirstColumn, nCount, &first, &end);
    if (first != r.lineFirst || end != r.lineEnd)
        r.lineRow[0] = r.lineRow[1] = -1;
    r.lineFirst = first, r.lineEnd = end;
    auto put = [&](int k, int red, int green, int blue) {
        PutOutput(r, pDst, k, nCount, nFirstColumn + k, nRow, red, green, blue);
    };
    if (r.flags & RESIZE_BILINEAR) {
        const int64_t py = Centre(nRow, r.sh, r.dh);
        const int y0 = std::min(int(py >> 16), r.sh - 1), y1 = std::min(y0 + 1, r.sh - 1);
        const int fy = int(py & 0xFFFF) >> 8;
        // Keep whichever cached row is still wanted.
        int s0 = r.lineRow[0] == y0 ? 0 : r.lineRow[1] == y0 ? 1 : -1;
        if (s0 < 0) {
            s0 = r.lineRow[0] == y1 ? 1 : 0;
            if (int rc = LoadLine(r, s0, y0, first, end); rc < 0)
                return rc;
        }
        int s1 = 1 - s0;
        if (y1 == y0)
            s1 = s0;
        else if (r.lineRow[s1] != y1)
            if (int rc = LoadLine(r, s1, y1, first, end); rc < 0)
                return rc;
        for (int k = 0; k < nCount; ++k) {
            const int64_t px = Centre(nFirstColumn + k, r.sw, r.dw);
            const int x0 = std::min(int(px >> 16), r.sw - 1), x1 = std::min(x0 + 1, r.sw - 1);
            const int fx = int(px & 0xFFFF) >> 8;
            const BYTE *a0 = r.line[s0] + 3 * (x0 - first), *a1 = r.line[s0] + 3 * (x1 - first);
            const BYTE *b0 = r.line[s1] + 3 * (x0 - first), *b1 = r.line[s1] + 3 * (x1 - first);
            int c[3];
            for (int ch = 0; ch < 3; ++ch) {
                const int top = a0[ch] * (256 - fx) + a1[ch] * fx;
                const int bottom = b0[ch] * (256 - fx) + b1[ch] * fx;
                c[ch] = (top * (256 - fy) + bottom * fy + 32768) >> 16;
            }
            put(k, c[0], c[1], c[2]);
        }
        return RC_SUCCESS;
    }
    // Area average: the source rows and columns whose index falls in the
    // output pixel's footprint [i * s / d, (i + 1) * s / d), at least one.
    const int y0 = int(int64_t(nRow) * r.sh / r.dh);
    const int y1 = std::min(std::max(int(int64_t(nRow + 1) * r.sh / r.dh), y0 + 1), r.sh);
    std::memset(r.sums, 0, sizeof(int32_t) * 4 * size_t(nCount));
    for (int y = y0; y < y1; ++y) {
        if (int rc = LoadLine(r, 0, y, first, end); rc < 0)
            return rc;
        for (int k = 0; k < nCount; ++k) {
            const int i = nFirstColumn + k;
            const int x0 = int(int64_t(i) * r.sw / r.dw);
            const int x1 = std::min(std::max(int(int64_t(i + 1) * r.sw / r.dw), x0 + 1), r.sw);
            int32_t *s = r.sums + 4 * k;
            for (int x = x0; x < x1; ++x) {
                const BYTE *p = r.line[0] + 3 * (x - first);
                s[0] += p[0], s[1] += p[1], s[2] += p[2], s[3] += 1;
            }
        }
    }
    r.lineRow[0] = -1;
    for (int k = 0; k < nCount; ++k) {
        const int32_t *s = r.sums + 4 * k;
        const int n = s[3];
        put(k, (s[0] + n / 2) / n, (s[1] + n / 2) / n, (s[2] + n / 2) / n);
    }
    return RC_SUCCESS;
}

int __stdcall K_ResizeEnd(KResize *pResize) {
    if (!pResize)
        return RC_INVALID_PARAMETER;
    K_Free(pResize->raw);
    K_Free(pResize->line[0]);
    K_Free(pResize->line[1]);
    K_Free(pResize->sums);
    K_Free(pResize->errors);
    K_Free(pResize->nearest);
    K_Free(pResize);
    return RC_SUCCESS;
}

}  // extern "C"
