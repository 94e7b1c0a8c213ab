// Z_PaintDC and the dispatcher: settle the four rectangles, bracket the
// paint in the kernel's access operations and pick a painter.
#include "paint/paint_kind.h"
#include "paint/strip_engine.h"

namespace zv {

namespace {

int RunPainter(HDC hDC, BitmapHandle *pBitmap, const BYTE *pRows, int nFirstRow, int nRowCount, const RECT *pSrc,
               const RECT *pClipSrc, const RECT *pDst, const RECT *pClipDst, int nDeviceBits, int nKind,
               DWORD dwRop, bool unscaled) {
    StripJob job{};
    job.hDC = hDC;
    job.bitmap = pBitmap;
    job.rows = pRows;
    job.firstRow = nFirstRow;
    job.rowCount = nRowCount;
    job.src = *pSrc;
    job.clipSrc = pClipSrc ? Intersect(*pSrc, *pClipSrc) : *pSrc;
    job.clipSrc = Intersect(job.clipSrc, ImageRect(*pBitmap));
    job.dst = *pDst;
    job.clipDst = pClipDst ? Intersect(*pDst, *pClipDst) : *pDst;
    job.deviceBits = nDeviceBits;
    job.kind = nKind;
    job.rop = dwRop;
    job.unscaled = unscaled;
    if (IsEmptyRect(job.clipSrc) || IsEmptyRect(job.clipDst))
        return RC_SUCCESS;
    return RunStrips(job);
}

}  // namespace

int PaintStrips(HDC hDC, BitmapHandle *pBitmap, const BYTE *pRows, int nFirstRow, int nRowCount, const RECT *pSrc,
                const RECT *pClipSrc, const RECT *pDst, const RECT *pClipDst, int nDeviceBits, int nKind,
                DWORD dwRop) {
    return RunPainter(hDC, pBitmap, pRows, nFirstRow, nRowCount, pSrc, pClipSrc, pDst, pClipDst, nDeviceBits,
                      nKind, dwRop, false);
}

int PaintUnscaled(HDC hDC, BitmapHandle *pBitmap, const BYTE *pRows, int nFirstRow, int nRowCount,
                  const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst, const RECT *pClipDst, int nDeviceBits,
                  int nKind, DWORD dwRop) {
    if (nKind == 5 || nKind == 6)
        nKind = 0;
    return RunPainter(hDC, pBitmap, pRows, nFirstRow, nRowCount, pSrc, pClipSrc, pDst, pClipDst, nDeviceBits,
                      nKind, dwRop, true);
}

int PaintGrayUnscaled(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                      const RECT *pClipDst, int bInvert, DWORD dwRop) {
    return RunPainter(hDC, pBitmap, nullptr, 0, 0, pSrc, pClipSrc, pDst, pClipDst, 8, bInvert ? 4 : 3, dwRop,
                      true);
}

int PaintDispatch(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                  const RECT *pClipDst, DWORD dwRop) {
    int deviceBits = 24, kind = 0;
    ChoosePainterKind(hDC, pBitmap, &deviceBits, &kind);
    return PaintDispatchAs(hDC, pBitmap, pSrc, pClipSrc, pDst, pClipDst, dwRop, deviceBits, kind);
}

int PaintDispatchAs(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                    const RECT *pClipDst, DWORD dwRop, int deviceBits, int kind) {
    const RECT image = ImageRect(*pBitmap);
    const RECT src = pSrc ? *pSrc : image;
    RECT clipSrc = pClipSrc ? Intersect(src, *pClipSrc) : src;
    if (IsEmptyRect(clipSrc))
        return RC_SUCCESS;
    const RECT clipDst = pClipDst ? Intersect(*pDst, *pClipDst) : *pDst;
    if (IsEmptyRect(clipDst))
        return RC_SUCCESS;
    clipSrc = Intersect(clipSrc, image);
    if (IsEmptyRect(clipSrc))
        return RC_SUCCESS;
    const RowAccess access(pBitmap);
    if (!access.ok())
        return access.status();
    // Source rectangles are displayed coordinates, so the sizes compare
    // directly whatever the orientation.
    const int dw = pDst->right - pDst->left, dh = abs(int(pDst->bottom - pDst->top));
    const int sw = src.right - src.left, sh = abs(int(src.bottom - src.top));
    const bool unscaled = dw == sw && dh == sh;
    if (unscaled && (kind == PAINT_GRAY || kind == PAINT_GRAY_INVERTED))
        return PaintGrayUnscaled(hDC, pBitmap, &src, &clipSrc, pDst, &clipDst, kind - PAINT_GRAY, dwRop);
    if (unscaled)
        return PaintUnscaled(hDC, pBitmap, nullptr, 0, 0, &src, &clipSrc, pDst, &clipDst, deviceBits, kind, dwRop);
    if (kind == PAINT_GRAY || kind == PAINT_GRAY_INVERTED)
        return (dw < sw && dh < sh ? PaintGrayShrink : PaintGrayScaled)(hDC, pBitmap, &src, &clipSrc, pDst, &clipDst,
                                                                       kind - PAINT_GRAY, dwRop);
    if (kind == PAINT_MONO || kind == PAINT_MONO_INVERTED)
        return PaintMonoScaled(hDC, pBitmap, &src, &clipSrc, pDst, &clipDst, kind - PAINT_MONO, dwRop);
    return PaintStrips(hDC, pBitmap, nullptr, 0, 0, &src, &clipSrc, pDst, &clipDst, deviceBits, kind, dwRop);
}

}  // namespace zv

extern "C" int __stdcall Z_PaintDC(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                                   const RECT *pDst, const RECT *pClipDst, DWORD dwRop) {
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED))
        return RC_NO_BITMAP;
    if (!pDst || !hDC)
        return RC_INVALID_PARAMETER;
    return zv::PaintDispatch(hDC, pBitmap, pSrc, pClipSrc, pDst, pClipDst, dwRop);
}
