// Conversions of a bitmap's region shared by the region exports and the
// region painters.
#pragma once

#include "region/region.h"

namespace zv {

// The key of a region's caches: the caller's transform, or without one
// the bitmap's own coordinates.
inline RgnTransform CacheKeyOf(const BitmapHandle *pBitmap, const RgnTransform *pTransform) {
    return pTransform ? *pTransform : RgnTransform{pBitmap->Orientation, 1, 1, 1, 1, 0, 0};
}

// A cache serves a key when orientation and the four scale terms match;
// the offsets only move it.
inline bool SameCacheScale(const RgnTransform &a, const RgnTransform &b) {
    return a.Orientation == b.Orientation && a.ScaleXNum == b.ScaleXNum && a.ScaleXDen == b.ScaleXDen &&
           a.ScaleYNum == b.ScaleYNum && a.ScaleYDen == b.ScaleYDen;
}

// hRgn as a region the caller owns: itself when bMustDelete, else a copy
// (null when the copy fails).
HRGN OwnedGdiRegion(HRGN hRgn, int bMustDelete);

// The region as it shows when the whole bitmap is painted into *pDst (the
// no-source case of Z_GetResizedRgnHandle).
int ResizedRgnHandle(BitmapHandle *pBitmap, const RECT *pDst, HRGN *phRgn, int *pbMustDelete);

// Runs of a stored region data block from outside: RC_NO_MEMORY for a
// block the system would refuse or that is not a banded rectangle list.
int RgnFromRegionData(const void *pData, int nSize, ZoraRgn **ppOut, const RECT *pClip);

}  // namespace zv
