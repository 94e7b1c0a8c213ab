// Conversions of a bitmap's region shared by the region exports and the
// region painters.
#pragma once

#include "region/form_cache.h"
#include "region/region.h"

namespace zv {

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
