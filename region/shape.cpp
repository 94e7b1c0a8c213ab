// Shape regions: a rectangle written straight into runs, and ellipses,
// rounded rectangles, polygons and curves rasterised by GDI and turned
// into runs from the GDI region's rectangle list.
#include "region/region.h"

namespace zv {

namespace {

// The list must be banded (rectangles of one band share top and bottom,
// a new band starts at or below the previous bottom) and sane: within
// the box GetRgnBox gave, none inverted, ascending without overlap inside
// a band.  Wine 8 hands back uninitialised coordinates for some narrow
// ellipses and rounded rectangles; those fail here instead of becoming a
// corrupt region.
bool IsBandedAndSane(const RECT *r, DWORD n, const RECT &box) {
    for (DWORD i = 0; i < n; ++i) {
        if (r[i].left > r[i].right || r[i].top > r[i].bottom || r[i].left < box.left || r[i].right > box.right ||
            r[i].top < box.top || r[i].bottom > box.bottom)
            return false;
        if (!i)
            continue;
        // GDI's own lists are banded: these hold against a broken answer.
        if (r[i].top == r[i - 1].top) {
            if (r[i].bottom != r[i - 1].bottom || r[i].left < r[i - 1].right)  // GCOVR_EXCL_BR_LINE: GDI's lists are banded
                return false;                                                  // GCOVR_EXCL_LINE: GDI's lists are banded
        } else if (r[i].top < r[i - 1].bottom) {  // GCOVR_EXCL_BR_LINE: GDI's lists are banded
            return false;                         // GCOVR_EXCL_LINE: GDI's lists are banded
        }
    }
    return true;
}

// The shared tail of the GDI shapes: convert, then combine.  The GDI
// region is deleted whatever happens to the conversion.
int CombineGdiShape(HRGN hRgn, BitmapHandle *pBitmap, RgnTransform *pTransform, UINT uMode) {
    const GdiObject<HRGN> shape(hRgn);
    if (!hRgn)
        return RC_NO_MEMORY;
    if (!pBitmap)
        return RC_INVALID_PARAMETER;
    ZoraRgn *rgn = nullptr;
    const int rc = RgnFromGdiRegion(hRgn, &rgn);
    if (rc != RC_SUCCESS)
        return rc;
    return RgnCombine(pBitmap, pTransform, OwnedRgn(rgn), uMode);
}

}  // namespace

int RgnFromGdiRegion(HRGN hRgn, ZoraRgn **ppOut) {
    RECT box;
    if (!GetRgnBox(hRgn, &box))
        return RC_INVALID_PARAMETER;
    const DWORD size = GetRegionData(hRgn, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER))  // GCOVR_EXCL_BR_LINE: a handle GetRgnBox took always has data
        return RC_INVALID_PARAMETER;   // GCOVR_EXCL_LINE: a handle GetRgnBox took always has data
    // The rectangle list, read into a temporary block.
    const TempBlock<RGNDATA> data = TempAlloc<RGNDATA>(size);
    if (!data)
        return RC_NO_MEMORY;
    if (GetRegionData(hRgn, size, data.get()) != size || data->rdh.dwSize != sizeof(RGNDATAHEADER) ||
        data->rdh.iType != RDH_RECTANGLES || data->rdh.nCount > (size - sizeof(RGNDATAHEADER)) / sizeof(RECT))
        return RC_INVALID_PARAMETER;
    const RECT *rects = reinterpret_cast<const RECT *>(data->Buffer);
    const DWORD n = data->rdh.nCount;
    if (!IsBandedAndSane(rects, n, box))
        return RC_INVALID_PARAMETER;

    RgnBuilder b;
    int rc = RgnBuilderBegin(b, box);
    if (rc != RC_SUCCESS)
        return rc;
    for (DWORD first = 0; first < n;) {
        DWORD end = first + 1;
        while (end < n && rects[end].top == rects[first].top)
            ++end;
        const LONG top = rects[first].top, bottom = rects[first].bottom;
        while (b.CurrentRow < top)
            if ((rc = RgnBuilderEndRow(b)) != RC_SUCCESS)
                return rc;
        for (LONG y = top; y < bottom; ++y) {
            for (DWORD i = first; i < end; ++i)
                RgnBuilderAddSpan(b, rects[i].left, rects[i].right);
            if ((rc = RgnBuilderEndRow(b)) != RC_SUCCESS)
                return rc;
        }
        first = end;
    }
    RgnBuilderFinish(b);
    *ppOut = b.Region;
    return RC_SUCCESS;
}

int __stdcall RgnSetRectService(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect, UINT uMode) {
    return Z_SetBitmapRgnRect(pBitmap, pTransform, pRect, uMode);
}

}  // namespace zv

using namespace zv;

extern "C" {

int __stdcall Z_SetBitmapRgnRect(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect, UINT uCombineMode) {
    if (!pRect)
        return RC_INVALID_PARAMETER;
    ZoraRgn *rgn = nullptr;
    const int rc = RgnFromRect(&rgn, pRect);
    if (rc != RC_SUCCESS)
        return rc;
    return RgnCombine(pBitmap, pTransform, OwnedRgn(rgn), uCombineMode);
}

int __stdcall Z_SetBitmapRgnEllipse(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                    UINT uCombineMode) {
    if (!pRect)
        return RC_INVALID_PARAMETER;
    return CombineGdiShape(CreateEllipticRgnIndirect(pRect), pBitmap, pTransform, uCombineMode);
}

int __stdcall Z_SetBitmapRgnRoundRect(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                      int nWidthEllipse, int nHeightEllipse, UINT uCombineMode) {
    if (!pRect)
        return RC_INVALID_PARAMETER;
    return CombineGdiShape(CreateRoundRectRgn(pRect->left, pRect->top, pRect->right, pRect->bottom, nWidthEllipse,
                                              nHeightEllipse),
                           pBitmap, pTransform, uCombineMode);
}

int __stdcall Z_SetBitmapRgnPolygon(BitmapHandle *pBitmap, RgnTransform *pTransform, POINT *pPoints, int nCount,
                                    int nFillMode, UINT uCombineMode) {
    if (!pPoints || (nFillMode != RGN_FILL_WINDING && nFillMode != RGN_FILL_ALTERNATE))
        return RC_INVALID_PARAMETER;
    return CombineGdiShape(CreatePolygonRgn(pPoints, nCount, nFillMode == RGN_FILL_WINDING ? WINDING : ALTERNATE),
                           pBitmap, pTransform, uCombineMode);
}

int __stdcall Z_SetBitmapRgnCurve(BitmapHandle *pBitmap, RgnTransform *pTransform, RgnCurve *pCurve,
                                  UINT uCombineMode) {
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED))
        return RC_NO_BITMAP;
    if (!pCurve || pCurve->StructSize != sizeof(RgnCurve) || (pCurve->Type != 0 && pCurve->Type != 1))
        return RC_INVALID_PARAMETER;
    const RgnCurve &c = *pCurve;
    if (c.Type == 0 && (c.PointCount < 4 || c.PointCount % 3 != 1))
        return RC_INVALID_PARAMETER;
    if (c.Type == 1 && !(c.Tension >= 0.0 && c.Tension <= 1.0))
        return RC_INVALID_PARAMETER;
    if (!c.Points || (c.FillMode != RGN_FILL_WINDING && c.FillMode != RGN_FILL_ALTERNATE) || c.PointCount < 1 ||
        c.PointCount > INT32_MAX / 32)
        return RC_INVALID_PARAMETER;

    HRGN hRgn = nullptr;
    {
        const MemoryDc dc(CreateCompatibleDC(nullptr));
        TempBlock<POINT> bezier;
        uint32_t count = static_cast<uint32_t>(c.PointCount);
        int rc = RC_SUCCESS;
        if (c.Type == 1) {
            bezier = TempAlloc<POINT>((static_cast<size_t>(c.PointCount) + 1) * 24);
            if (!bezier)
                return RC_NO_MEMORY;
            rc = CardinalToBezier(bezier.get(), &count, c.Points, c.PointCount, c.Tension, c.Close);
        }
        if (rc == RC_SUCCESS && dc) {
            SetPolyFillMode(dc.get(), c.FillMode == RGN_FILL_WINDING ? WINDING : ALTERNATE);
            BeginPath(dc.get());
            const BOOL drawn = PolyBezier(dc.get(), bezier ? bezier.get() : c.Points, count);
            EndPath(dc.get());
            if (drawn)
                hRgn = PathToRegion(dc.get());
        }
        if (rc != RC_SUCCESS)
            return rc;
    }
    return CombineGdiShape(hRgn, pBitmap, pTransform, uCombineMode);
}

}  // extern "C"
