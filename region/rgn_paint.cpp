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

// Deletes a GDI object at the end of the scope.
template <class H>
struct GdiObject {
    H Handle;
    ~GdiObject() {
        if (Handle)
            DeleteObject(Handle);
    }
};

struct DeviceContext {
    HDC Handle;
    ~DeviceContext() {
        if (Handle)
            DeleteDC(Handle);
    }
};

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
    GdiObject<HBITMAP> pattern{CreateBitmap(8, 8, 1, 1, rows)};
    return pattern.Handle ? CreatePatternBrush(pattern.Handle) : nullptr;
}

// The one-bit mask of the region in caller coordinates, the size of its
// bounds there: white inside, black outside.  Null when it cannot be made.
HBITMAP MakeMask(const BitmapHandle *pBitmap, const RgnTransform *pTransform) {
    ZoraRgn *copy = nullptr;
    if (Z_CopyZoraRgn(&copy, pBitmap->Region) != RC_SUCCESS)
        return nullptr;
    struct Owned {
        ZoraRgn *Rgn;
        ~Owned() { K_FreeRegion(Rgn); }
    } owned{copy};
    RECT m = pBitmap->Region->Bounds;
    if (RgnTransformToCaller(pBitmap, pTransform, copy) != RC_SUCCESS ||
        RgnTransformRectToCaller(pBitmap, pTransform, &m) != RC_SUCCESS || IsRectEmpty(&m))
        return nullptr;
    HBITMAP mask = CreateBitmap(m.right - m.left, m.bottom - m.top, 1, 1, nullptr);
    if (!mask)
        return nullptr;
    DeviceContext display{CreateDCA("DISPLAY", nullptr, nullptr, nullptr)};
    DeviceContext memory{CreateCompatibleDC(display.Handle)};
    GdiObject<HRGN> inside{nullptr};
    if (!memory.Handle || RgnToGdiRegion(pBitmap, copy, nullptr, &inside.Handle) != RC_SUCCESS) {
        DeleteObject(mask);
        return nullptr;
    }
    const HGDIOBJ old = SelectObject(memory.Handle, mask);
    const int w = m.right - m.left, h = m.bottom - m.top;
    PatBlt(memory.Handle, 0, 0, w, h, BLACKNESS);
    OffsetRgn(inside.Handle, -m.left, -m.top);
    SelectClipRgn(memory.Handle, inside.Handle);
    PatBlt(memory.Handle, 0, 0, w, h, WHITENESS);
    SelectObject(memory.Handle, old);
    return mask;
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
    GdiObject<HRGN> owned{mustDelete ? h : nullptr};
    const bool turned = pBitmap->Orientation == 4 || pBitmap->Orientation == 5 || pBitmap->Orientation == 7 ||
                        pBitmap->Orientation == 8;
    const int w = turned ? pBitmap->Height : pBitmap->Width, ht = turned ? pBitmap->Width : pBitmap->Height;
    GdiObject<HBRUSH> brush{OutlineBrush(uType)};
    GdiObject<HRGN> a{CreateRectRgn(0, 0, w + 2, ht + 2)}, b{CreateRectRgn(0, 0, w + 2, ht + 2)},
        c{CreateRectRgn(0, 0, w + 2, ht + 2)};
    if (!brush.Handle || !a.Handle || !b.Handle || !c.Handle)
        return RC_SUCCESS;
    CombineRgn(a.Handle, h, nullptr, RGN_COPY);
    CombineRgn(b.Handle, h, nullptr, RGN_COPY);
    CombineRgn(c.Handle, h, nullptr, RGN_COPY);
    const bool odd = uType & 1;
    OffsetRgn(a.Handle, odd ? 0 : 2, 0);
    OffsetRgn(b.Handle, odd ? 2 : 0, 2);
    CombineRgn(a.Handle, a.Handle, b.Handle, RGN_AND);
    OffsetRgn(c.Handle, 1, 1);
    CombineRgn(c.Handle, c.Handle, a.Handle, RGN_XOR);
    OffsetRgn(c.Handle, -1, -1);
    const HGDIOBJ old = SelectObject(hDC, brush.Handle);
    PaintRgn(hDC, c.Handle);
    SelectObject(hDC, old);
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
    if (RgnTransformRectToCaller(pBitmap, pTransform, &t) != RC_SUCCESS)
        return RC_SUCCESS;
    DeviceContext memory{CreateCompatibleDC(hDC)};
    GdiObject<HBRUSH> brush{CreateSolidBrush(crColor)};
    if (!memory.Handle || !brush.Handle)
        return RC_SUCCESS;
    const HGDIOBJ oldMask = SelectObject(memory.Handle, r->hMaskCache);
    SetBkColor(hDC, RGB(255, 255, 255));
    const HGDIOBJ oldBrush = SelectObject(hDC, brush.Handle);
    BitBlt(hDC, t.left, t.top, t.right - t.left, t.bottom - t.top, memory.Handle, 0, 0, 0x006A01E9);
    SelectObject(hDC, oldBrush);
    SelectObject(memory.Handle, oldMask);
    return RC_SUCCESS;
}

}  // extern "C"
