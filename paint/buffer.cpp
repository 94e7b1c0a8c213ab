// Painting rows that the caller holds: Z_PaintDCBuffer and its row reader.
#include "paint/dib_info.h"
#include "paint/paint_kind.h"
#include "paint/paint_palette.h"
#include "paint/strip_engine.h"

#include <cstring>

namespace zv {

int ReadCallerRow(BitmapHandle *pBitmap, BYTE *pDst, int nRow, int nColumn, int nBytes, CallerRows *pRows) {
    const int row = std::min(std::max(nRow, pRows->First), pRows->First + pRows->Count - 1);
    std::memcpy(pDst,
                pRows->Buffer + size_t(row - pRows->First) * pBitmap->BytesPerLine +
                    int64_t(pBitmap->BitsPerPixel) * nColumn / 8,
                nBytes);
    return RC_SUCCESS;
}

namespace {

// Swaps row i with row count - 1 - i through one temporary row.
void ReverseRows(BYTE *rows, int count, int rowBytes, BYTE *temp) {
    for (int i = 0, j = count - 1; i < j; ++i, --j) {
        BYTE *a = rows + size_t(i) * rowBytes, *b = rows + size_t(j) * rowBytes;
        std::memcpy(temp, a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, temp, rowBytes);
    }
}

// The band in one StretchDIBits: stored rows top-down (Orientation 0) or
// bottom-up (2), 32-bit aligned, GDI's own depth, kind 0.  The band is
// trimmed to the clipped rectangles rather than shifted.
int PaintBandAtOnce(HDC hDC, BitmapHandle *b, BYTE *rows, int count, const RECT &src, const RECT &clipSrc,
                    const RECT &dst, const RECT &clipDst, const RECT &band, DWORD rop) {
    const int dx = dst.left - src.left, dy = dst.top - src.top;
    const RECT paint = Intersect(RECT{clipSrc.left + dx, clipSrc.top + dy, clipSrc.right + dx, clipSrc.bottom + dy},
                                 clipDst);
    if (IsEmptyRect(paint))
        return RC_SUCCESS;
    ThreadPaintSettings *settings = GetPaintSettings();
    PaintBitmapInfo *info = &settings->PaintInfo;
    DibFormat f{};
    f.width = b->Width;
    f.height = count;
    f.bits = b->BitsPerPixel;
    f.imageBytes = DWORD(b->BytesPerLine) * count;
    f.source = b->BitsPerPixel <= 8 ? IndicesOr(settings->DisplayMode, DIB_PAINT_COLORS) : DIB_NO_TABLE;
    f.count = b->ColorCount;
    f.bitmap = b;
    const UINT usage = PrepareDibInfo(info, f);
    KPtr<BYTE> temp;
    const bool reverse = count > 1 && b->Orientation == ORIENT_TOP_LEFT;
    if (reverse) {
        temp = KAlloc<BYTE>(size_t(b->BytesPerLine));
        if (temp)
            ReverseRows(rows, count, b->BytesPerLine, temp.get());
    }
    // The band's displayed rows land at dst from its top; DIB source
    // coordinates run from the lower-left corner.
    const int bandBottom = band.bottom + dy;
    const int n = StretchDIBits(hDC, paint.left, paint.top, paint.right - paint.left, paint.bottom - paint.top,
                                paint.left - dx, bandBottom - paint.bottom, paint.right - paint.left,
                                paint.bottom - paint.top, rows, reinterpret_cast<BITMAPINFO *>(info), usage, rop);
    if (temp)
        ReverseRows(rows, count, b->BytesPerLine, temp.get());
    return n ? RC_SUCCESS : RC_NO_MEMORY;
}

}  // namespace

}  // namespace zv

extern "C" int __stdcall Z_PaintDCBuffer(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                                         const RECT *pDst, const RECT *pClipDst, DWORD dwRop, BYTE *pBuffer,
                                         int nRow, int nCount) {
    using namespace zv;
    if (!pBitmap || !pBuffer)
        return RC_NO_BITMAP;
    if (!pDst || !hDC || !HasUsableFormat(pBitmap))
        return RC_INVALID_PARAMETER;
    BitmapHandle *b = pBitmap;
    const bool exchanged = ExchangesAxes(b->Orientation);
    int deviceBits = 24, kind = 0;
    ChoosePainterKind(hDC, b, &deviceBits, &kind);
    const int count = nCount < 0 ? -nCount : nCount;
    const RECT image = ImageRect(*b);
    const RECT src = pSrc ? *pSrc : image;
    RECT clipSrc = pClipSrc ? Intersect(src, *pClipSrc) : src;
    // The band is stored rows nRow .. nRow + count - 1; in displayed
    // coordinates it may be a band of columns.
    // (The descriptor was checked above: its orientation and size convert.)
    RECT band{0, nRow, b->Width, nRow + count};
    K_ConvertRectOrientation(b->Orientation, b->Width, b->Height, ORIENT_TOP_LEFT, &band);
    clipSrc = Intersect(Intersect(clipSrc, band), image);
    if (IsEmptyRect(clipSrc))
        return RC_SUCCESS;
    const RECT clipDst = pClipDst ? Intersect(*pDst, *pClipDst) : *pDst;
    if (IsEmptyRect(clipDst))
        return RC_SUCCESS;
    KPtr<BYTE> copy;
    BYTE *rows = pBuffer;
    if (nCount < 0) {
        copy = KAlloc<BYTE>(size_t(b->BytesPerLine) * count);
        if (!copy)
            return RC_NO_MEMORY;
        K_ConvertBand(pBuffer, copy.get(), b->BytesPerLine, count);
        rows = copy.get();
    }
    const RowAccess access(b);  // the rows are the caller's: a bitmap without data is fine
    const int dw = pDst->right - pDst->left, dh = abs(int(pDst->bottom - pDst->top));
    const int sw = src.right - src.left, sh = abs(int(src.bottom - src.top));
    const bool unscaled = dw == sw && dh == sh;
    if (kind >= PAINT_GRAY)
        kind = PAINT_AS_IS;
    if (!unscaled)
        return PaintStrips(hDC, b, rows, nRow, count, &src, &clipSrc, pDst, &clipDst, deviceBits, kind, dwRop);
    const bool upright = b->Orientation == ORIENT_TOP_LEFT || b->Orientation == ORIENT_BOTTOM_LEFT;
    if (exchanged || kind != PAINT_AS_IS || !upright || b->BytesPerLine != DibRowBytes(b->Width, b->BitsPerPixel))
        return PaintUnscaled(hDC, b, rows, nRow, count, &src, &clipSrc, pDst, &clipDst, deviceBits, kind, dwRop);
    return PaintBandAtOnce(hDC, b, rows, count, src, clipSrc, *pDst, clipDst, band, dwRop);
}
