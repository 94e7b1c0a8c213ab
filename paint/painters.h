// The painters behind Z_PaintDC and Z_PaintDCBuffer.
//
// Rectangles are in the bitmap's display coordinates (the image as its
// Orientation shows it) for the source side and logical device
// coordinates for the destination side.  Every painter maps destination
// pixel (x, y) of DstRect back to the displayed source pixel
//   X = Src.left + floor((x - Dst.left) * sw / dw)
//   Y = Src.bottom - 1 - floor((Dst.bottom - 1 - y) * sh / dh)
// (columns counted from the left, rows from the bottom, as GDI's bottom-up
// rows run) and paints it when X, Y lie in ClipSrcRect and (x, y) in
// ClipDstRect.
#pragma once

#include "zvdisp.h"
#include "zvkern.h"

#include <array>

namespace zv {

int PaintDispatch(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                  const RECT *pClipDst, DWORD dwRop);
// The dispatcher after its device decision: paints as for a device of
// deviceBits with painter kind `kind` (the demo and the benchmarks show
// 1-, 4- and 8-bit devices on a true-colour screen this way).
int PaintDispatchAs(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, DWORD dwRop, int deviceBits, int kind);

// pRows, when not null, holds stored rows nFirstRow .. nFirstRow +
// nRowCount - 1 of the bitmap, BytesPerLine bytes each; otherwise rows
// come through the kernel.
int PaintStrips(HDC hDC, BitmapHandle *pBitmap, const BYTE *pRows, int nFirstRow, int nRowCount,
                const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst, const RECT *pClipDst, int nDeviceBits,
                int nKind, DWORD dwRop);
int PaintUnscaled(HDC hDC, BitmapHandle *pBitmap, const BYTE *pRows, int nFirstRow, int nRowCount,
                  const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst, const RECT *pClipDst, int nDeviceBits,
                  int nKind, DWORD dwRop);

// Black-and-white 1-bit bitmaps.  bInvert: index 0 is white.
int PaintGrayUnscaled(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                      const RECT *pClipDst, int bInvert, DWORD dwRop);
int PaintGrayShrink(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, int bInvert, DWORD dwRop);
int PaintGrayScaled(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, int bInvert, DWORD dwRop);
int PaintMonoScaled(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, int bInvert, DWORD dwRop);

// Entry b: the bits of b from the most significant down, 0xFF for a set
// bit and 0x00 for a clear one.
constexpr std::array<std::array<BYTE, 8>, 256> MakeBitExpandTable() {
    std::array<std::array<BYTE, 8>, 256> t{};
    for (int b = 0; b < 256; ++b)
        for (int k = 0; k < 8; ++k)
            t[b][k] = (b >> (7 - k)) & 1 ? 0xFF : 0x00;
    return t;
}
inline constexpr std::array<std::array<BYTE, 8>, 256> BitExpandTable = MakeBitExpandTable();
// nCount bytes, one per bit of pSrc from bit nFirstBit; with bInvert each
// source byte is complemented first.
void ExpandBitsToBytes(BYTE *pDst, const BYTE *pSrc, int nFirstBit, int nCount, int bInvert);

// Rows a caller holds: stored rows First .. First + Count - 1.
struct CallerRows {
    const BYTE *Buffer;
    int First;
    int Count;
};
int ReadCallerRow(BitmapHandle *pBitmap, BYTE *pDst, int nRow, int nColumn, int nBytes, CallerRows *pRows);

}  // namespace zv
