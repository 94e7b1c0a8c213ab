// Showing a bitmap's region on a device context: painting only inside it,
// its marching outline and a colour highlight.
//
// The outline.  With R the region in caller coordinates and R(dx, dy) R
// moved, the outline is the region minus its inner part:
//
//     even uType:  R xor (R(1, -1) and R(-1, 1))    (the "/" diagonal)
//     odd uType:   R xor (R(-1, -1) and R(1, 1))    (the "\" diagonal)
//
// built with GDI region calls on three work regions (all moves kept non-
// negative, then the result moved back by (-1, -1)) and painted with an
// 8 x 8 pattern brush of diagonal stripes; uType shifts the pattern one row
// per step, so successive calls march the dashes.
//
// The highlight xors a colour into the device context inside the region
// through a one-bit mask of the region's bounds; the mask is cached on the
// region for one transform up to its offsets, so calling twice with one
// colour restores the pixels and costs one BitBlt.
#include "region/convert.h"

namespace zv {

namespace {

// Rows of the outline pattern, low byte used, leftmost pixel in bit 7.
constexpr WORD kOutlinePattern[8] = {0x0F, 0x87, 0xC3, 0xE1, 0xF0, 0x78, 0x3C, 0x1E};

// Selects the region (a copy) as the clip region inside SaveDC/RestoreDC
// and runs the paint.
template <class Paint>
int PaintInRegion(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pDst, Paint paint) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!pDst)
        return RC_INVALID_PARAMETER;
    HRGN h = nullptr;
    int mustDelete = 0;
    const int rc = Z_GetResizedRgnHandle(pBitmap, const_cast<RECT *>(pSrc), const_cast<RECT *>(pDst), &h, &mustDelete);
    if (rc != RC_SUCCESS)
        return rc;
    const int saved = SaveDC(hDC);
    SelectObject(hDC, h);
    if (mustDelete)
        DeleteObject(h);
    const int painted = paint();
    if (saved)
        RestoreDC(hDC, -1);
    return painted;
}

HBRUSH OutlineBrush(UINT uType) {
    WORD rows[8];
    for (UINT r = 0; r < 8; ++r)
        rows[r] = kOutlinePattern[(7 - r + uType) & 7];
    const GdiObject<HBITMAP> pattern(CreateBitmap(8, 8, 1, 1, rows));
    return pattern ? CreatePatternBrush(pattern.get()) : nullptr;
}

// The one-bit mask of the region in caller coordinates, the size of its
// bounds there: white inside, black outside.  Null when it cannot be made.
HBITMAP MakeMask(const BitmapHandle *pBitmap, const RgnTransform *pTransform) {
    ZoraRgn *made = nullptr;
    if (Z_CopyZoraRgn(&made, pBitmap->Region) != RC_SUCCESS)
        return nullptr;
    const OwnedRgn copy(made);
    RECT m = pBitmap->Region->Bounds;
    if (RgnTransformToCaller(pBitmap, pTransform, copy.get()) != RC_SUCCESS ||
        RgnTransformRectToCaller(pBitmap, pTransform, &m) != RC_SUCCESS || IsRectEmpty(&m))
        return nullptr;
    GdiObject<HBITMAP> mask(CreateBitmap(m.right - m.left, m.bottom - m.top, 1, 1, nullptr));
    if (!mask)
        return nullptr;
    const MemoryDc display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    const MemoryDc memory(CreateCompatibleDC(display.get()));
    HRGN insideMade = nullptr;
    if (!memory || RgnToGdiRegion(pBitmap, copy.get(), nullptr, &insideMade) != RC_SUCCESS)
        return nullptr;
    const GdiObject<HRGN> inside(insideMade);
    {
        const Selection target(memory.get(), mask.get());
        const int w = m.right - m.left, h = m.bottom - m.top;
        PatBlt(memory.get(), 0, 0, w, h, BLACKNESS);
        OffsetRgn(inside.get(), -m.left, -m.top);
        SelectClipRgn(memory.get(), inside.get());
        PatBlt(memory.get(), 0, 0, w, h, WHITENESS);
    }
    return mask.release();
}

}  // namespace

}  // namespace zv

using namespace zv;

extern "C" {

int __stdcall Z_PaintRgnDC(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc, const RECT *pDst,
                           const RECT *pClipDst, DWORD dwRop) {
    return PaintInRegion(hDC, pBitmap, pSrc, pDst,
                         [&] { return Z_PaintDC(hDC, pBitmap, pSrc, pClipSrc, pDst, pClipDst, dwRop); });
}

int __stdcall Z_PaintRgnDCBuffer(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                                 const RECT *pDst, const RECT *pClipDst, DWORD dwRop, BYTE *pBuffer, int nRow,
                                 int nCount) {
    return PaintInRegion(hDC, pBitmap, pSrc, pDst, [&] {
        return Z_PaintDCBuffer(hDC, pBitmap, pSrc, pClipSrc, pDst, pClipDst, dwRop, pBuffer, nRow, nCount);
    });
}

int __stdcall Z_FrameBitmapRgn(HDC hDC, BitmapHandle *pBitmap, RgnTransform *pTransform, UINT uType) {
    HRGN h = nullptr;
    int mustDelete = 0;
    if (Z_IntGetBitmapRgnHandle(pBitmap, pTransform, &h, &mustDelete) != RC_SUCCESS)
        return RC_SUCCESS;
    const GdiObject<HRGN> owned(mustDelete ? h : nullptr);
    const SIZE shown = DisplayedSize(*pBitmap);
    const int w = shown.cx, ht = shown.cy;
    const GdiObject<HBRUSH> brush(OutlineBrush(uType));
    const GdiObject<HRGN> a(CreateRectRgn(0, 0, w + 2, ht + 2)), b(CreateRectRgn(0, 0, w + 2, ht + 2)),
        c(CreateRectRgn(0, 0, w + 2, ht + 2));
    if (!brush || !a || !b || !c)
        return RC_SUCCESS;
    CombineRgn(a.get(), h, nullptr, RGN_COPY);
    CombineRgn(b.get(), h, nullptr, RGN_COPY);
    CombineRgn(c.get(), h, nullptr, RGN_COPY);
    const bool odd = uType & 1;
    OffsetRgn(a.get(), odd ? 0 : 2, 0);
    OffsetRgn(b.get(), odd ? 2 : 0, 2);
    CombineRgn(a.get(), a.get(), b.get(), RGN_AND);
    OffsetRgn(c.get(), 1, 1);
    CombineRgn(c.get(), c.get(), a.get(), RGN_XOR);
    OffsetRgn(c.get(), -1, -1);
    const Selection selected(hDC, brush.get());
    PaintRgn(hDC, c.get());
    return RC_SUCCESS;
}

int __stdcall Z_ColorBitmapRgn(HDC hDC, BitmapHandle *pBitmap, RgnTransform *pTransform, COLORREF crColor) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    ZoraRgn *r = pBitmap->Region;
    if (!r)
        return RC_SUCCESS;
    const RgnTransform key = CacheKeyOf(pBitmap, pTransform);
    const RgnFormCache<HBITMAP> cache = MaskCache(*r);
    if (CacheServes(cache, key, pBitmap->Orientation)) {
        CacheMoved(cache, key);
    } else {
        CacheStore(cache, MakeMask(pBitmap, pTransform), key, pBitmap->Orientation);
        if (!cache.Form)
            return RC_SUCCESS;
    }
    RECT t = r->Bounds;
    RgnTransformRectToCaller(pBitmap, pTransform, &t);  // the mask was made through the same transform
    const MemoryDc memory(CreateCompatibleDC(hDC));
    const GdiObject<HBRUSH> brush(CreateSolidBrush(crColor));
    if (!memory || !brush)
        return RC_SUCCESS;
    const Selection maskIn(memory.get(), r->hMaskCache);
    SetBkColor(hDC, RGB(255, 255, 255));
    const Selection brushIn(hDC, brush.get());
    BitBlt(hDC, t.left, t.top, t.right - t.left, t.bottom - t.top, memory.get(), 0, 0, 0x006A01E9);
    return RC_SUCCESS;
}

}  // extern "C"
