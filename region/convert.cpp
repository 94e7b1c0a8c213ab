// A bitmap's region as a GDI region and back, as stored region data
// (the RGNDATA block of GetRegionData) and back, and the clip switch.
//
// The GDI form is cached on the region (hRgnCache) under a key of seven
// members: the caller's RgnTransform, or (bitmap Orientation, 1, 1, 1, 1,
// 0, 0) without one; the bitmap's Orientation is kept beside it.  The
// offsets are applied last by the caller transform, so a request that
// differs from the cached key only in its offsets moves the cached region
// (OffsetRgn) instead of building it again:
//
//     key:  Orientation ScaleXNum ScaleXDen ScaleYNum ScaleYDen | OffsetX OffsetY
//           '------------ must match, with the bitmap's ---------' '-- moved to --'
//
// A cached GDI region belongs to the region; callers that keep it get a
// copy (Z_GetBitmapRgnHandle).
#include "region/convert.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zv {

namespace {

// A copy of a GDI region that the caller owns.
HRGN CopyGdiRegion(HRGN hRgn) {
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    if (copy && CombineRgn(copy, hRgn, nullptr, RGN_COPY) == ERROR) {  // GCOVR_EXCL_BR_LINE: GDI handles used up
        DeleteObject(copy);  // GCOVR_EXCL_LINE: GDI handles used up
        copy = nullptr;      // GCOVR_EXCL_LINE: GDI handles used up
    }
    return copy;
}

// The part of the caller's plane that can reach the bitmap through the
// transform (bitmap = (caller + offset) * num / den, then turned within the
// bitmap's frame), with a margin for the rounding; all of it for a scale of 0.
RECT CallerReach(const BitmapHandle *pBitmap, const RgnTransform *pTransform) {
    if (!pTransform)
        return RECT{0, 0, pBitmap->Width, pBitmap->Height};
    const int64_t side = int64_t(std::max(pBitmap->Width, pBitmap->Height)) + 2;
    auto span = [&](int64_t num, int64_t den, int64_t offset, LONG *lo, LONG *hi) {
        const int64_t reach = num ? side * std::llabs(den) / std::llabs(num) + 2 : INT32_MAX;
        *lo = LONG(std::clamp<int64_t>(-offset - reach, INT32_MIN, INT32_MAX));
        *hi = LONG(std::clamp<int64_t>(-offset + reach, INT32_MIN, INT32_MAX));
    };
    RECT r;
    span(pTransform->ScaleXNum, pTransform->ScaleXDen, pTransform->OffsetX, &r.left, &r.right);
    span(pTransform->ScaleYNum, pTransform->ScaleYDen, pTransform->OffsetY, &r.top, &r.bottom);
    return r;
}

}  // namespace

HRGN OwnedGdiRegion(HRGN hRgn, int bMustDelete) { return bMustDelete ? hRgn : CopyGdiRegion(hRgn); }

// ---- stored region data ----------------------------------------------------
//
// A block from outside is read straight into runs, after checks that take
// the place of the system's own: a 32-byte header of type 1, a count that
// fits the block, and rectangles in banded order (sorted by top, then
// left; one band's rectangles share top and bottom and neither overlap
// nor descend; bands do not overlap).  Empty rectangles are skipped, as
// the system skips them; rectangles of a band that touch make one run.
// The runs are those of the GDI region the block describes.  With pClip
// the rectangles are cut to it (after the order checks) before any row is
// built: a few bytes may claim rows by the billion.
int RgnFromRegionData(const void *pData, int nSize, ZoraRgn **ppOut, const RECT *pClip) {
    if (!pData || nSize < static_cast<int>(sizeof(RGNDATAHEADER)))
        return RC_NO_MEMORY;
    RGNDATAHEADER h;
    std::memcpy(&h, pData, sizeof h);
    const size_t room = (static_cast<size_t>(nSize) - sizeof h) / sizeof(RECT);
    if (h.dwSize != sizeof h || h.iType != RDH_RECTANGLES || h.nCount > room)
        return RC_NO_MEMORY;
    const RECT *rects = reinterpret_cast<const RECT *>(static_cast<const BYTE *>(pData) + sizeof h);
    const DWORD n = h.nCount;
    auto at = [&](DWORD i) {
        RECT r = rects[i];
        if (pClip && !IntersectRect(&r, &r, pClip))
            r = RECT{0, 0, 0, 0};
        return r;
    };

    // Order and the box of the non-empty rectangles.
    RECT box{0, 0, 0, 0};
    bool any = false;
    LONG bandTop = 0, bandBottom = 0, lastRight = 0;
    for (DWORD i = 0; i < n; ++i) {
        const RECT &r = rects[i];
        if (r.left >= r.right || r.top >= r.bottom)
            continue;
        if (!any || r.top != bandTop) {
            if (any && r.top < bandBottom)
                return RC_NO_MEMORY;  // a band that starts inside the previous one
            bandTop = r.top, bandBottom = r.bottom;
        } else if (r.bottom != bandBottom || r.left < lastRight) {
            return RC_NO_MEMORY;  // not one band, or overlapping / descending
        }
        lastRight = r.right;
        const RECT cut = at(i);
        if (IsRectEmpty(&cut))
            continue;
        if (!any)
            box = cut, any = true;
        else
            UnionRect(&box, &box, &cut);
    }

    RgnBuilder b;
    int rc = RgnBuilderBegin(b, box);
    if (rc != RC_SUCCESS)
        return rc;
    RECT bandFirst{};  // the first non-empty rectangle of the band
    for (DWORD first = 0; first < n && any;) {
        while (first < n && IsRectEmpty(&(bandFirst = at(first))))
            ++first;
        if (first == n)
            break;
        DWORD end = first + 1;
        for (RECT r; end < n && ((r = at(end)).top == bandFirst.top || IsRectEmpty(&r));)
            ++end;
        const LONG top = bandFirst.top, bottom = bandFirst.bottom;
        while (b.CurrentRow < top)
            if ((rc = RgnBuilderEndRow(b)) != RC_SUCCESS)
                return rc;
        for (LONG y = top; y < bottom; ++y) {
            LONG s = 0, e = 0;
            bool pending = false;
            for (DWORD i = first; i < end; ++i) {
                const RECT r = at(i);
                if (IsRectEmpty(&r))
                    continue;
                if (pending && r.left == e) {
                    e = r.right;
                    continue;
                }
                if (pending)
                    RgnBuilderAddSpan(b, s, e);
                s = r.left, e = r.right, pending = true;
            }
            if (pending)
                RgnBuilderAddSpan(b, s, e);
            if ((rc = RgnBuilderEndRow(b)) != RC_SUCCESS)
                return rc;
        }
        first = end;
    }
    RgnBuilderFinish(b);
    *ppOut = b.Region;
    return RC_SUCCESS;
}

}  // namespace zv

using namespace zv;

extern "C" {

int __stdcall Z_IntGetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN *phRgn,
                                      int *pbMustDelete) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!phRgn || !pbMustDelete)
        return RC_INVALID_PARAMETER;
    ZoraRgn *r = pBitmap->Region;
    if (!r) {
        RECT all{0, 0, pBitmap->Width, pBitmap->Height};
        const int rc = RgnTransformRectToCaller(pBitmap, pTransform, &all);
        if (rc != RC_SUCCESS)
            return rc;
        HRGN h = CreateRectRgnIndirect(&all);
        if (!h)                   // GCOVR_EXCL_BR_LINE: GDI handles used up
            return RC_NO_MEMORY;  // GCOVR_EXCL_LINE: GDI handles used up
        *phRgn = h;
        *pbMustDelete = 1;
        return RC_SUCCESS;
    }
    const RgnTransform key = CacheKeyOf(pBitmap, pTransform);
    const RgnFormCache<HRGN> cache = GdiRegionCache(*r);
    if (CacheServes(cache, key, pBitmap->Orientation)) {
        const int dx = key.OffsetX - cache.Key.OffsetX, dy = key.OffsetY - cache.Key.OffsetY;
        if (dx || dy) {
            if (OffsetRgn(cache.Form, dx, dy) == ERROR)  // GCOVR_EXCL_BR_LINE: fails only for a bad handle
                return RC_NO_MEMORY;                     // GCOVR_EXCL_LINE: fails only for a bad handle
            CacheMoved(cache, key);
        }
    } else {
        HRGN made = nullptr;
        const int rc = RgnToGdiRegion(pBitmap, r, pTransform, &made);
        if (rc != RC_SUCCESS)
            return rc;
        CacheStore(cache, made, key, pBitmap->Orientation);
    }
    *phRgn = cache.Form;
    *pbMustDelete = 0;
    return RC_SUCCESS;
}

int __stdcall Z_GetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN *phRgn) {
    if (!phRgn)
        return RC_INVALID_PARAMETER;
    HRGN h = nullptr;
    int mustDelete = 0;
    if (Z_IntGetBitmapRgnHandle(pBitmap, pTransform, &h, &mustDelete) != RC_SUCCESS)
        return 0;
    HRGN owned = OwnedGdiRegion(h, mustDelete);
    if (!owned)               // GCOVR_EXCL_BR_LINE: GDI handles used up
        return RC_NO_MEMORY;  // GCOVR_EXCL_LINE: GDI handles used up
    *phRgn = owned;
    return RC_SUCCESS;
}

int __stdcall Z_GetResizedRgnHandle(BitmapHandle *pBitmap, RECT *pSrc, RECT *pDst, HRGN *phRgn,
                                    int *pbMustDelete) {
    if (!pBitmap || !pDst)
        return RC_INVALID_PARAMETER;
    if (!pSrc)
        return ResizedRgnHandle(pBitmap, pDst, phRgn, pbMustDelete);
    // The part pSrc of the bitmap, on a descriptor of its own.
    BitmapHandle part;
    int rc = K_InitBitmapHandle(&part, pBitmap, pSrc->right - pSrc->left, std::abs(pSrc->bottom - pSrc->top),
                                pBitmap->BitsPerPixel);
    if (rc != RC_SUCCESS)
        return rc;
    part.Region = nullptr;
    if ((rc = RgnCopyWithOffset(&part, pBitmap, -pSrc->left, -pSrc->top)) == RC_SUCCESS &&
        (rc = ResizedRgnHandle(&part, pDst, phRgn, pbMustDelete)) == RC_SUCCESS && !*pbMustDelete) {
        *phRgn = CopyGdiRegion(*phRgn);
        *pbMustDelete = 1;
        if (!*phRgn)               // GCOVR_EXCL_BR_LINE: GDI handles used up
            rc = RC_NO_MEMORY;  // GCOVR_EXCL_LINE: GDI handles used up
    }
    K_FreeBitmap(&part);
    return rc;
}

int __stdcall Z_SetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN hRgn, UINT uCombineMode) {
    if (!pBitmap)
        return RC_INVALID_PARAMETER;
    if (!hRgn)
        return RgnCombine(pBitmap, pTransform, nullptr, uCombineMode);
    ZoraRgn *rgn = nullptr;
    const int rc = RgnFromGdiRegion(hRgn, &rgn);
    if (rc != RC_SUCCESS)
        return rc;
    return RgnCombine(pBitmap, pTransform, OwnedRgn(rgn), uCombineMode);
}

int __stdcall Z_GetBitmapRgnData(BitmapHandle *pBitmap, RgnTransform *pTransform, int nSize, void *pData) {
    if (nSize < 0)
        return RC_INVALID_PARAMETER;
    if (!pBitmap || !pBitmap->Region)
        return 0;
    HRGN h = nullptr;
    int mustDelete = 0;
    if (Z_IntGetBitmapRgnHandle(pBitmap, pTransform, &h, &mustDelete) != RC_SUCCESS)
        return 0;
    // With a region the handle is always the cache, and GetRegionData only
    // reads it.
    const DWORD got = nSize == 0 ? GetRegionData(h, 0, nullptr)
                                 : GetRegionData(h, static_cast<DWORD>(nSize), static_cast<RGNDATA *>(pData));
    if (static_cast<int>(got) < 1)
        return RC_NO_MEMORY;
    return static_cast<int>(got);
}

int __stdcall Z_SetBitmapRgnData(BitmapHandle *pBitmap, RgnTransform *pTransform, int nSize, void *pData,
                                 UINT uCombineMode) {
    if (nSize < 0)
        return RC_INVALID_PARAMETER;
    if (nSize == 0) {
        if (!pBitmap)
            return RC_INVALID_PARAMETER;
        return RgnCombine(pBitmap, pTransform, nullptr, uCombineMode);
    }
    // A null bitmap: only the checks (an empty cut).
    const bool clip = !pBitmap || !(pBitmap->Flags & BITMAP_RGN_UNCLIPPED);
    const RECT reach = pBitmap ? CallerReach(pBitmap, pTransform) : RECT{0, 0, 0, 0};
    ZoraRgn *made = nullptr;
    const int rc = RgnFromRegionData(pData, nSize, &made, clip ? &reach : nullptr);
    if (rc != RC_SUCCESS)
        return rc;
    OwnedRgn rgn(made);
    if (!pBitmap)
        return RC_INVALID_PARAMETER;
    return RgnCombine(pBitmap, pTransform, std::move(rgn), uCombineMode);
}

int __stdcall Z_SetBitmapRgnClip(BitmapHandle *pBitmap, int bClip) {
    if (!pBitmap)
        return RC_INVALID_PARAMETER;
    if (bClip)
        pBitmap->Flags &= ~BITMAP_RGN_UNCLIPPED;
    else
        pBitmap->Flags |= BITMAP_RGN_UNCLIPPED;
    return RC_SUCCESS;
}

int __stdcall Z_GetBitmapRgnClip(BitmapHandle *pBitmap, int *pbClip) {
    if (!pBitmap || !pbClip)
        return RC_INVALID_PARAMETER;
    *pbClip = (pBitmap->Flags & BITMAP_RGN_UNCLIPPED) ? 0 : 1;
    return RC_SUCCESS;
}

}  // extern "C"

namespace zv {

int ResizedRgnHandle(BitmapHandle *pBitmap, const RECT *pDst, HRGN *phRgn, int *pbMustDelete) {
    const SIZE shown = DisplayedSize(*pBitmap);
    RgnTransform t{0, pDst->right - pDst->left, shown.cx, pDst->bottom - pDst->top, shown.cy, pDst->left, pDst->top};
    return Z_IntGetBitmapRgnHandle(pBitmap, &t, phRgn, pbMustDelete);
}

}  // namespace zv
