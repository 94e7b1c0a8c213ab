// Row and strip operations for the painters: DDA row stretch, colour
// order, strip turns and mirrors, band order.
#include "kernel/kernel_internal.h"
#include "kernel/pixels.h"

#include <algorithm>
#include <cstring>

using namespace zv::kern;

namespace {

// Whole-byte pixels: one loop per pixel size so that the copy is a fixed
// size move the compiler can inline.
template <int N>
void StretchBytes(const BYTE *src, int col, int q, int r, int den, int err, BYTE *dst, int n) {
    const BYTE *s = src + size_t(col) * N;
    for (int i = 0; i < n; ++i) {
        std::memcpy(dst, s, N);
        dst += N;
        s += size_t(q) * N;
        err += r;
        if (err >= den) {
            err -= den;
            s += N;
        }
    }
}

void StretchAny(int bits, const BYTE *src, int col, int q, int r, int den, int err, BYTE *dst, int n) {
    for (int i = 0; i < n; ++i) {
        CopyPixel(src, col, dst, i, bits);
        col += q;
        err += r;
        if (err >= den) {
            err -= den;
            ++col;
        }
    }
}

void Swap16Fields(BYTE *p, int n) {
    for (int i = 0; i < n; ++i, p += 2) {
        const unsigned w = p[0] | (p[1] << 8);
        const unsigned v = (w & 0x83E0) | ((w & 0x1F) << 10) | ((w >> 10) & 0x1F);
        p[0] = BYTE(v);
        p[1] = BYTE(v >> 8);
    }
}

// Exchanges the first and the third sample of every pixel.
void SwapSamples(BYTE *p, int n, int pixelBytes, int sampleBytes) {
    BYTE t[2];
    for (int i = 0; i < n; ++i, p += pixelBytes) {
        std::memcpy(t, p, sampleBytes);
        std::memcpy(p, p + 2 * sampleBytes, sampleBytes);
        std::memcpy(p + 2 * sampleBytes, t, sampleBytes);
    }
}

// Whole-byte pixels of N bytes: a fixed-size move per pixel, a cache
// line's worth of input columns at a time, so that each input line is
// read once whatever the strip's row length (walking one column down
// rows a power-of-two-ish stride apart evicts them before the next
// column comes back to them).
template <int N>
void RotateBytes(const BYTE *in, BYTE *out, int w, int h, int inStride, int outStride, int direction) {
    constexpr int kColumns = 64 / N;
    for (int o0 = 0; o0 < w; o0 += kColumns) {
        const int o1 = std::min(w, o0 + kColumns);
        for (int k = 0; k < h; ++k) {
            const BYTE *row = in + size_t(direction ? h - 1 - k : k) * inStride;
            BYTE *dst = out + size_t(o0) * outStride + size_t(k) * N;
            for (int o = o0; o < o1; ++o, dst += outStride)
                std::memcpy(dst, row + size_t(direction ? o : w - 1 - o) * N, N);
        }
    }
}

template <int N>
void MirrorBytes(const BYTE *in, BYTE *out, int w) {
    const BYTE *s = in + size_t(w - 1) * N;
    for (int x = 0; x < w; ++x, s -= N, out += N)
        std::memcpy(out, s, N);
}

bool IsStripDepth(int bits) { return bits == 1 || bits == 2 || bits == 4 || (bits % 8 == 0 && bits <= 32); }

}  // namespace

extern "C" {

int __stdcall K_StretchRow(int nBits, const BYTE *pSrc, int nFirstColumn, int nQuot, int nRem, int nDen,
                           int nError, BYTE *pDst, int nDstWidth) {
    if (!pSrc || !pDst || !IsValidDepth(nBits) || nFirstColumn < 0 || nQuot < 0 || nRem < 0 || nDen <= 0 ||
        nError < 0 || nError >= nDen || nDstWidth < 0)
        return RC_INVALID_PARAMETER;
    const bool copy = (nQuot == 0 && nRem == nDen) || (nQuot == 1 && nRem == 0);
    if (copy && nBits % 8 == 0) {
        std::memcpy(pDst, pSrc + size_t(nFirstColumn) * (nBits / 8), size_t(nDstWidth) * (nBits / 8));
        return RC_SUCCESS;
    }
    if (copy && nBits != 12 && (int64_t(nFirstColumn) * nBits) % 8 == 0) {
        std::memcpy(pDst, pSrc + int64_t(nFirstColumn) * nBits / 8, (int64_t(nDstWidth) * nBits + 7) / 8);
        return RC_SUCCESS;
    }
    switch (nBits) {
    case 8: StretchBytes<1>(pSrc, nFirstColumn, nQuot, nRem, nDen, nError, pDst, nDstWidth); break;
    case 16: StretchBytes<2>(pSrc, nFirstColumn, nQuot, nRem, nDen, nError, pDst, nDstWidth); break;
    case 24: StretchBytes<3>(pSrc, nFirstColumn, nQuot, nRem, nDen, nError, pDst, nDstWidth); break;
    case 32: StretchBytes<4>(pSrc, nFirstColumn, nQuot, nRem, nDen, nError, pDst, nDstWidth); break;
    case 48: StretchBytes<6>(pSrc, nFirstColumn, nQuot, nRem, nDen, nError, pDst, nDstWidth); break;
    case 64: StretchBytes<8>(pSrc, nFirstColumn, nQuot, nRem, nDen, nError, pDst, nDstWidth); break;
    default: StretchAny(nBits, pSrc, nFirstColumn, nQuot, nRem, nDen, nError, pDst, nDstWidth); break;
    }
    return RC_SUCCESS;
}

int __stdcall K_ConvertColorOrder(BYTE *pRow, int nPixels, int nBits, int nFromOrder, int nToOrder) {
    if (!pRow || nPixels < 0)
        return RC_INVALID_PARAMETER;
    if (nFromOrder == ORDER_GRAY || nToOrder == ORDER_GRAY || (nFromOrder == ORDER_BGR) == (nToOrder == ORDER_BGR))
        return RC_SUCCESS;
    switch (nBits) {
    case 16: Swap16Fields(pRow, nPixels); break;
    case 24: SwapSamples(pRow, nPixels, 3, 1); break;
    case 32: SwapSamples(pRow, nPixels, 4, 1); break;
    case 48: SwapSamples(pRow, nPixels, 6, 2); break;
    case 64: SwapSamples(pRow, nPixels, 8, 2); break;
    default: break;  // palette indices have no colour order
    }
    return RC_SUCCESS;
}

int __stdcall K_RotateStrip(const BYTE *pStrip, BYTE *pOut, int nWidth, int nHeight, int nBits,
                            int nDirection) {
    if (!pStrip || !pOut || nWidth < 0 || nHeight < 0 || !IsStripDepth(nBits))
        return RC_INVALID_PARAMETER;
    const int inStride = AlignedRowBytes(nWidth, nBits), outStride = AlignedRowBytes(nHeight, nBits);
    switch (nBits) {
    case 8: RotateBytes<1>(pStrip, pOut, nWidth, nHeight, inStride, outStride, nDirection); return RC_SUCCESS;
    case 16: RotateBytes<2>(pStrip, pOut, nWidth, nHeight, inStride, outStride, nDirection); return RC_SUCCESS;
    case 24: RotateBytes<3>(pStrip, pOut, nWidth, nHeight, inStride, outStride, nDirection); return RC_SUCCESS;
    case 32: RotateBytes<4>(pStrip, pOut, nWidth, nHeight, inStride, outStride, nDirection); return RC_SUCCESS;
    default: break;
    }
    std::memset(pOut, 0, size_t(outStride) * nWidth);
    // Output pixel (row o, column k) comes from input row k' and column c:
    //   clockwise:         k' = h - 1 - k, c = o
    //   counter-clockwise: k' = k,         c = w - 1 - o
    for (int o = 0; o < nWidth; ++o) {
        BYTE *out = pOut + size_t(o) * outStride;
        const int c = nDirection ? o : nWidth - 1 - o;
        for (int k = 0; k < nHeight; ++k) {
            const int row = nDirection ? nHeight - 1 - k : k;
            CopyPixel(pStrip + size_t(row) * inStride, c, out, k, nBits);
        }
    }
    return RC_SUCCESS;
}

int __stdcall K_FlipStrip(const BYTE *pStrip, BYTE *pOut, int nWidth, int nHeight, int nBits) {
    if (!pStrip || !pOut || nWidth < 0 || nHeight < 0 || !IsStripDepth(nBits))
        return RC_INVALID_PARAMETER;
    const int stride = AlignedRowBytes(nWidth, nBits);
    if (nBits < 8)
        std::memset(pOut, 0, size_t(stride) * nHeight);
    for (int y = 0; y < nHeight; ++y) {
        const BYTE *in = pStrip + size_t(y) * stride;
        BYTE *out = pOut + size_t(y) * stride;
        switch (nBits) {
        case 8: MirrorBytes<1>(in, out, nWidth); continue;
        case 16: MirrorBytes<2>(in, out, nWidth); continue;
        case 24: MirrorBytes<3>(in, out, nWidth); continue;
        case 32: MirrorBytes<4>(in, out, nWidth); continue;
        default: break;
        }
        for (int x = 0; x < nWidth; ++x)
            CopyPixel(in, nWidth - 1 - x, out, x, nBits);
    }
    return RC_SUCCESS;
}

int __stdcall K_ConvertBand(const BYTE *pSrc, BYTE *pDst, int nRowBytes, int nCount) {
    if (!pSrc || !pDst || nRowBytes < 0 || nCount < 0)
        return RC_INVALID_PARAMETER;
    for (int i = 0; i < nCount; ++i)
        std::memcpy(pDst + size_t(i) * nRowBytes, pSrc + size_t(nCount - 1 - i) * nRowBytes, nRowBytes);
    return RC_SUCCESS;
}

}  // extern "C"
