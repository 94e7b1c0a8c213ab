// Questions about a bitmap's region that leave it unchanged: point test,
// area, bounds and the clip segments of one row.  A bitmap without a
// region answers as if its region were the whole bitmap rectangle.
#include "region/region.h"

#include <cstring>

using namespace zv;

namespace {

int BoundsInCaller(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect) {
    if (!pBitmap || !pRect)
        return RC_NO_BITMAP;
    *pRect = pBitmap->Region ? pBitmap->Region->Bounds : RECT{0, 0, pBitmap->Width, pBitmap->Height};
    return RgnTransformRectToCaller(pBitmap, pTransform, pRect);
}

}  // namespace

extern "C" {

int __stdcall Z_IsPtInBitmapRgn(BitmapHandle *pBitmap, int nRow, int nCol) {
    if (!pBitmap)
        return 0;
    if (!pBitmap->Region)
        return nCol >= 0 && nCol < pBitmap->Width && nRow >= 0 && nRow < pBitmap->Height ? 1 : 0;
    return RgnContains(pBitmap->Region, nRow, nCol) ? 1 : 0;
}

int __stdcall Z_GetBitmapRgnArea(BitmapHandle *pBitmap, UINT *puArea) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!puArea)
        return RC_INVALID_PARAMETER;
    const ZoraRgn *r = pBitmap->Region;
    if (!r) {
        *puArea = static_cast<UINT>(pBitmap->Width) * static_cast<UINT>(pBitmap->Height);
        return RC_SUCCESS;
    }
    UINT area = 0;
    const uint32_t values = r->SpanStoreSize / 4;  // every value in use belongs to some row
    for (uint32_t i = 0; i < values; i += 2)
        area += static_cast<UINT>(r->SpanStore[i + 1] - r->SpanStore[i]);
    *puArea = area;
    return RC_SUCCESS;
}

int __stdcall Z_GetBitmapRgnBounds(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect) {
    return BoundsInCaller(pBitmap, pTransform, pRect);
}

int __stdcall Z_GetBitmapRgnBoundsClip(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect) {
    const int rc = BoundsInCaller(pBitmap, pTransform, pRect);
    if (rc != RC_SUCCESS)
        return rc;
    const RECT bitmapRect{0, 0, pBitmap->Width, pBitmap->Height};
    const RECT bounds = *pRect;
    if (!IntersectRect(pRect, &bounds, &bitmapRect))
        *pRect = RECT{0, 0, 0, 0};
    return RC_SUCCESS;
}

int __stdcall Z_GetBitmapClipSegmentsMax(BitmapHandle *pBitmap, UINT *puMax) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!puMax)
        return RC_INVALID_PARAMETER;
    if (!pBitmap->Region) {
        *puMax = 2;
        return RC_SUCCESS;
    }
    const RECT &b = pBitmap->Region->Bounds;
    const int64_t most = static_cast<int64_t>(b.right) - b.left + 1;
    *puMax = most < 0 ? 0 : static_cast<UINT>(most & ~int64_t{1});
    return RC_SUCCESS;
}

int __stdcall Z_GetBitmapClipSegments(BitmapHandle *pBitmap, int nRow, INT32 *pSegments, UINT *puCount) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!pSegments || !puCount)
        return RC_INVALID_PARAMETER;
    const ZoraRgn *r = pBitmap->Region;
    if (!r) {
        pSegments[0] = 0;
        pSegments[1] = pBitmap->Width;
        *puCount = 2;
        return RC_SUCCESS;
    }
    const bool unclipped = (pBitmap->Flags & BITMAP_RGN_UNCLIPPED) != 0;
    *puCount = 0;
    if (unclipped && (nRow < 0 || nRow >= pBitmap->Height))
        return RC_SUCCESS;
    uint32_t n;
    const int32_t *runs = RgnRowRuns(r, nRow, &n);
    if (!n)
        return RC_SUCCESS;
    std::memcpy(pSegments, runs, n * sizeof(INT32));
    if (!unclipped) {
        *puCount = n;
        return RC_SUCCESS;
    }
    // Cut to the bitmap's columns: runs wholly left of column 0 or right
    // of the last column go, the outermost remaining ones are trimmed.
    uint32_t first = 0;
    while (first < n && pSegments[first + 1] < 1)
        first += 2;
    n -= first;
    std::memmove(pSegments, pSegments + first, n * sizeof(INT32));
    if (n && pSegments[0] < 0)
        pSegments[0] = 0;
    while (n && pSegments[n - 2] >= pBitmap->Width)
        n -= 2;
    if (n && pSegments[n - 1] > pBitmap->Width)
        pSegments[n - 1] = pBitmap->Width;
    *puCount = n;
    return RC_SUCCESS;
}

}  // extern "C"
