// A region's cached GDI forms: the GDI region (hRgnCache) and the one-bit
// fill mask (hMaskCache), each built for one caller transform and kept on
// the region beside its key and the bitmap orientation it was built on.
//
// A cache serves a request whose key matches it in orientation and the
// four scale terms, on a bitmap of the same orientation; the offsets are
// applied last, so a request that differs only in them reuses the form
// (the GDI region is moved, the mask is blitted elsewhere).
#pragma once

#include "common/region_caches.h"
#include "region/region.h"

namespace zv {

// One cache slot of a region: the form and what it was built for.
template <class H>
struct RgnFormCache {
    H &Form;
    RgnTransform &Key;
    int32_t &Orientation;
};

inline RgnFormCache<HRGN> GdiRegionCache(ZoraRgn &r) {
    return {r.hRgnCache, r.RgnCacheTransform, r.RgnCacheOrientation};
}
inline RgnFormCache<HBITMAP> MaskCache(ZoraRgn &r) {
    return {r.hMaskCache, r.MaskCacheTransform, r.MaskCacheOrientation};
}

// The key of a request: the caller's transform, or without one the
// bitmap's own coordinates.
inline RgnTransform CacheKeyOf(const BitmapHandle *pBitmap, const RgnTransform *pTransform) {
    return pTransform ? *pTransform : RgnTransform{pBitmap->Orientation, 1, 1, 1, 1, 0, 0};
}

// Orientation and the four scale terms match; the offsets only move a form.
inline bool SameCacheScale(const RgnTransform &a, const RgnTransform &b) {
    return a.Orientation == b.Orientation && a.ScaleXNum == b.ScaleXNum && a.ScaleXDen == b.ScaleXDen &&
           a.ScaleYNum == b.ScaleYNum && a.ScaleYDen == b.ScaleYDen;
}

// The slot holds a form that serves key on a bitmap shown in orientation.
template <class H>
bool CacheServes(const RgnFormCache<H> &c, const RgnTransform &key, int orientation) {
    return c.Form && c.Orientation == orientation && SameCacheScale(key, c.Key);
}

// The form now stands at key's offsets.
template <class H>
void CacheMoved(const RgnFormCache<H> &c, const RgnTransform &key) {
    c.Key.OffsetX = key.OffsetX;
    c.Key.OffsetY = key.OffsetY;
}

// made replaces the slot's form (deleted); a null made leaves the slot
// empty with its old key.
template <class H>
void CacheStore(const RgnFormCache<H> &c, H made, const RgnTransform &key, int orientation) {
    if (c.Form)
        DeleteObject(c.Form);
    c.Form = made;
    if (!made)
        return;
    c.Key = key;
    c.Orientation = orientation;
}

}  // namespace zv
