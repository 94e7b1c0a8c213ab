// Geometric operations on regions: offset, flip, mirror, scale, rotation,
// shear, the operations the kernel calls when it transforms a bitmap, and
// the arithmetic of RgnTransform in both directions.
//
// Offset, flip and mirror move runs in place and cannot fail; shear moves
// them in place and then clips, moving them back when the clip fails.  Scale and rotation build a new region and
// swap it in only when the build succeeded, so a failure leaves the old
// runs.
#include "region/region.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace zv {

namespace {

constexpr int64_t kOne = 16384;  // fixed-point 1.0 of the kernel's cosine and sine

bool IsEmptyRgn(const ZoraRgn *r) { return r->RowTableSize == 0; }

// Orientations that contain a mirror: they reverse the sense of rotation.
bool IsMirrored(int o) { return o == 1 || o == 2 || o == 5 || o == 7; }

bool IsValidTransform(const RgnTransform &t) {
    return IsValidOrientation(t.Orientation) && t.ScaleXDen && t.ScaleYDen;
}

// v scaled by num / den, rounded up for non-negative v.
int64_t ScaleUp(int64_t v, int64_t num, int64_t den) { return (v * num + den - 1) / den; }

// The overflow guard of the scale: num and den halved together until the
// bounds times num fit in 31 bits.
void GuardScale(int32_t lo, int32_t hi, int &num, int &den) {
    const uint64_t most = std::max(std::llabs(lo), std::llabs(hi));
    while (most * static_cast<uint64_t>(std::llabs(num)) > INT32_MAX) {
        num >>= 1;
        den >>= 1;
        if (den == 0) {
            den = 1;
            return;
        }
        if (num == 0)
            return;
    }
}

// Point test by binary search over the row's runs: the same answer as
// RgnContains, without its linear scan.
bool RowHas(const int32_t *runs, uint32_t n, int32_t x) {
    uint32_t lo = 0, hi = n / 2;  // runs [lo, hi) may hold x
    while (lo < hi) {
        const uint32_t mid = (lo + hi) / 2;
        if (runs[2 * mid + 1] <= x)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < n / 2 && runs[2 * lo] <= x;
}

// (integer part, remainder) of a numerator over 16384, stepped by adding
// to the remainder and carrying whenever it leaves (-16384, 16384).
struct FixedStep {
    int64_t Int, Rem;
    void Set(int64_t numerator) { Int = numerator / kOne, Rem = numerator % kOne; }
    // True when the integer part changed.
    bool Add(int64_t delta) {
        Rem += delta;
        if (Rem >= kOne) {
            Rem -= kOne, ++Int;
            return true;
        }
        if (Rem <= -kOne) {
            Rem += kOne, --Int;
            return true;
        }
        return false;
    }
};

}  // namespace

int __stdcall RgnOffset(ZoraRgn *pRgn, int nDx, int nDy) {
    if (!pRgn)
        return RC_INVALID_PARAMETER;
    if (nDy) {
        pRgn->Bounds.top += nDy;
        pRgn->Bounds.bottom += nDy;
    }
    if (nDx) {
        const uint32_t values = pRgn->SpanStoreSize / 4;
        for (uint32_t i = 0; i < values; ++i)
            pRgn->SpanStore[i] += nDx;
        pRgn->Bounds.left += nDx;
        pRgn->Bounds.right += nDx;
    }
    if (nDx || nDy)
        RgnDeleteCaches(pRgn);
    return RC_SUCCESS;
}

int __stdcall RgnFlip(ZoraRgn *pRgn, int nHeight) {
    if (!pRgn)
        return RC_INVALID_PARAMETER;
    RgnDeleteCaches(pRgn);
    if (IsEmptyRgn(pRgn))
        return RC_SUCCESS;
    const uint32_t rows = pRgn->RowTableSize / sizeof(RgnRow);
    std::reverse(pRgn->RowTable, pRgn->RowTable + rows);
    const int32_t height = pRgn->Bounds.bottom - pRgn->Bounds.top;
    pRgn->Bounds.top = nHeight - pRgn->Bounds.bottom;
    pRgn->Bounds.bottom = pRgn->Bounds.top + height;
    return RC_SUCCESS;
}

int __stdcall RgnMirrorWithBitmap(BitmapHandle *pBitmap) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    ZoraRgn *r = pBitmap->Region;
    if (!r)
        return RC_SUCCESS;
    RgnDeleteCaches(r);
    if (IsEmptyRgn(r))
        return RC_SUCCESS;
    const int32_t w = pBitmap->Width;
    const uint32_t rows = r->RowTableSize / sizeof(RgnRow);
    for (uint32_t y = 0; y < rows; ++y) {
        int32_t *v = r->SpanStore + r->RowTable[y].Offset / 4;
        const uint32_t n = r->RowTable[y].Count;
        std::reverse(v, v + n);  // (s0 e0 s1 e1) -> (e1 s1 e0 s0)
        for (uint32_t i = 0; i < n; ++i)
            v[i] = w - v[i];
    }
    const int32_t width = r->Bounds.right - r->Bounds.left;
    r->Bounds.left = w - r->Bounds.right;
    r->Bounds.right = r->Bounds.left + width;
    return RC_SUCCESS;
}

int __stdcall RgnFlipWithBitmap(BitmapHandle *pBitmap) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    return pBitmap->Region ? RgnFlip(pBitmap->Region, pBitmap->Height) : RC_SUCCESS;
}

// Source row y goes to the destination rows k / den .. (k + num) / den - 1
// with k = y * num + den - 1: consecutive source rows get consecutive,
// non-overlapping ranges starting at the scaled top, so the destination is
// written in one pass from top to bottom.
int RgnScale(ZoraRgn *pRgn, int nXNum, int nXDen, int nYNum, int nYDen) {
    return RgnScaleRows(pRgn, nXNum, nXDen, nYNum, nYDen, true);
}

int RgnScaleRows(ZoraRgn *pRgn, int nXNum, int nXDen, int nYNum, int nYDen, bool bRowsUp) {
    if (!pRgn || !nXDen || !nYDen)
        return RC_INVALID_PARAMETER;
    if (nXNum == nXDen && nYNum == nYDen)
        return RC_SUCCESS;
    if (nXNum < 0 || nXDen < 0 || nYNum < 0 || nYDen < 0)
        return RC_INVALID_PARAMETER;  // a mirror is not a scale
    const RECT old = pRgn->Bounds;
    GuardScale(old.left, old.right, nXNum, nXDen);
    GuardScale(old.top, old.bottom, nYNum, nYDen);
    const int64_t xn = nXNum, xd = nXDen, yn = nYNum, yd = nYDen, ye = bRowsUp ? yd - 1 : 0;
    const RECT bounds{static_cast<LONG>(ScaleUp(old.left, xn, xd)), static_cast<LONG>((old.top * yn + ye) / yd),
                      static_cast<LONG>(ScaleUp(old.right, xn, xd)), static_cast<LONG>((old.bottom * yn + ye) / yd)};
    if (bounds.left >= bounds.right || bounds.top >= bounds.bottom)
        return RgnMakeEmpty(pRgn);

    RgnBuilder b;
    int rc = RgnBuilderBegin(b, bounds);
    if (rc != RC_SUCCESS)
        return rc;
    for (int32_t y = old.top; y < old.bottom; ++y) {
        const int64_t k = static_cast<int64_t>(y) * yn + ye;
        const int64_t first = k / yd, last = (k + yn) / yd - 1;
        uint32_t n;
        const int32_t *v = RgnRowRuns(pRgn, y, &n);
        for (int64_t d = first; d <= last; ++d) {
            int32_t ps = 0, pe = 0;
            bool pending = false;
            for (uint32_t i = 0; i < n; i += 2) {
                const int32_t s = static_cast<int32_t>(ScaleUp(v[i], xn, xd));
                const int32_t e = static_cast<int32_t>(ScaleUp(v[i + 1], xn, xd));
                if (s >= e)
                    continue;
                if (pending && s == pe) {
                    pe = e;
                    continue;
                }
                if (pending)
                    RgnBuilderAddSpan(b, ps, pe);
                ps = s, pe = e, pending = true;
            }
            if (pending)
                RgnBuilderAddSpan(b, ps, pe);
            if ((rc = RgnBuilderEndRow(b)) != RC_SUCCESS)
                return rc;
        }
    }
    RgnBuilderFinish(b);
    RgnTakeOver(pRgn, OwnedRgn(b.Region));
    return RC_SUCCESS;
}

int __stdcall RgnResizeWithBitmap(BitmapHandle *pBitmap, int nNewWidth, int nNewHeight) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!pBitmap->Region)
        return RC_SUCCESS;
    return RgnScale(pBitmap->Region, nNewWidth, pBitmap->Width, nNewHeight, pBitmap->Height);
}

int __stdcall RgnCopyWithOffset(BitmapHandle *pDst, BitmapHandle *pSrc, int nDx, int nDy) {
    if (!pDst || !pSrc)
        return RC_INVALID_PARAMETER;
    pDst->Region = nullptr;  // still names the source's region: not ours to free
    if (!pSrc->Region)
        return RC_SUCCESS;
    ZoraRgn *copy = nullptr;
    int rc = Z_CopyZoraRgn(&copy, pSrc->Region);
    if (rc != RC_SUCCESS)
        return rc;
    RgnOffset(copy, nDx, nDy);
    if (!(pDst->Flags & BITMAP_RGN_UNCLIPPED)) {
        const RECT rect{0, 0, pDst->Width, pDst->Height};
        if ((rc = RgnClipToRect(copy, &rect)) != RC_SUCCESS) {
            K_FreeRegion(copy);
            return rc;
        }
    }
    pDst->Region = copy;
    return RC_SUCCESS;
}

// Rotation by inverse mapping.  Destination pixel (x, y) takes its answer
// from source pixel
//   sx = oldCx + ((x - newCx) c - (y - newCy) s) / 16384
//   sy = oldCy + ((x - newCx) s + (y - newCy) c) / 16384
// The two quotients are kept as integer part and remainder and stepped
// like a DDA: one pixel right adds (c, s) to the remainders, one row down
// adds (-s, c) to the row start's; a remainder that leaves (-16384, 16384)
// carries into its integer part.  The source is looked up again only when
// a carry moved the source pixel.
int __stdcall RgnRotateWithBitmap(BitmapHandle *pBitmap, int nOldWidth, int nOldHeight, int nAngle) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    ZoraRgn *src = pBitmap->Region;
    if (!src || nAngle % 36000 == 0)
        return RC_SUCCESS;
    int64_t a = -static_cast<int64_t>(nAngle) % 36000;
    if (a < 0)
        a += 36000;
    if (IsMirrored(pBitmap->Orientation))
        a = 36000 - a;
    if (IsEmptyRgn(src)) {
        RgnDeleteCaches(src);
        return RC_SUCCESS;
    }
    const int64_t oldCx = nOldWidth / 2, oldCy = nOldHeight / 2;
    const int64_t newCx = pBitmap->Width / 2, newCy = pBitmap->Height / 2;
    const int64_t c = K_CosFixed(static_cast<int>(a)), s = K_SinFixed(static_cast<int>(a));
    const bool unclipped = (pBitmap->Flags & BITMAP_RGN_UNCLIPPED) != 0;
    const RECT bitmapRect{0, 0, pBitmap->Width, pBitmap->Height};

    RECT dst = bitmapRect;
    if (unclipped) {
        int64_t lo[2] = {INT64_MAX, INT64_MAX}, hi[2] = {INT64_MIN, INT64_MIN};
        for (int64_t x : {static_cast<int64_t>(src->Bounds.left), static_cast<int64_t>(src->Bounds.right)})
            for (int64_t y : {static_cast<int64_t>(src->Bounds.top), static_cast<int64_t>(src->Bounds.bottom)}) {
                const int64_t rx = x - oldCx, ry = y - oldCy;
                const int64_t p[2] = {(rx * c + ry * s) / kOne, (ry * c - rx * s) / kOne};
                for (int i = 0; i < 2; ++i)
                    lo[i] = std::min(lo[i], p[i]), hi[i] = std::max(hi[i], p[i]);
            }
        // The turned corners are pixels of the rectangle, the largest
        // included: a half turn of a 10 x 10 frame brings source column 0
        // to destination column 10.
        const RECT turned{static_cast<LONG>(lo[0] + newCx), static_cast<LONG>(lo[1] + newCy),
                          static_cast<LONG>(hi[0] + newCx + 1), static_cast<LONG>(hi[1] + newCy + 1)};
        UnionRect(&dst, &bitmapRect, &turned);
    }

    RgnBuilder b;
    int rc = RgnBuilderBegin(b, dst);
    if (rc != RC_SUCCESS)
        return rc;
    FixedStep rowX, rowY;
    {
        const int64_t dx = dst.left - newCx, dy = dst.top - newCy;
        rowX.Set(dx * c - dy * s);
        rowY.Set(dx * s + dy * c);
    }
    for (int32_t y = dst.top; y < dst.bottom; ++y) {
        if (y != dst.top) {
            rowX.Add(-s);
            rowY.Add(c);
        }
        FixedStep px = rowX, py = rowY;
        uint32_t n = 0;
        const int32_t *runs = RgnRowRuns(src, static_cast<int32_t>(oldCy + py.Int), &n);
        bool inside = n && RowHas(runs, n, static_cast<int32_t>(oldCx + px.Int));
        bool inRun = false;
        int32_t runStart = 0;
        for (int32_t x = dst.left; x < dst.right; ++x) {
            if (x != dst.left) {
                const bool movedX = px.Add(c);
                if (py.Add(s)) {
                    runs = RgnRowRuns(src, static_cast<int32_t>(oldCy + py.Int), &n);
                    inside = n && RowHas(runs, n, static_cast<int32_t>(oldCx + px.Int));
                } else if (movedX) {
                    inside = n && RowHas(runs, n, static_cast<int32_t>(oldCx + px.Int));
                }
            }
            if (inside != inRun) {
                if (inside)
                    runStart = x;
                else
                    RgnBuilderAddSpan(b, runStart, x);
                inRun = inside;
            }
        }
        if (inRun)
            RgnBuilderAddSpan(b, runStart, dst.right);
        if ((rc = RgnBuilderEndRow(b)) != RC_SUCCESS)
            return rc;
    }
    RgnBuilderFinish(b);
    // The destination rectangle is the bitmap's unless unclipped, so the
    // new runs need no further clipping.
    RgnTakeOver(src, OwnedRgn(b.Region));
    return RC_SUCCESS;
}

namespace {

// Moves row k of r (counted from the top when topDown, else from the
// bottom of a frame of height rows) right by sign x floor(k s / c); the
// bounds follow when moving forward.
void ShearRows(ZoraRgn *r, bool topDown, int64_t k0, int64_t s, int64_t c, int sign) {
    const int64_t q = s / c, rest = s % c;
    const int32_t rows = r->Bounds.bottom - r->Bounds.top;
    int64_t shift = k0 * rest / c + k0 * q, rem = k0 * rest % c;
    if (rem < 0)
        rem += c, --shift;
    int32_t left = INT32_MAX, right = INT32_MIN;
    for (int32_t i = 0; i < rows; ++i) {
        const RgnRow &row = r->RowTable[topDown ? i : rows - 1 - i];
        int32_t *v = r->SpanStore + row.Offset / 4;
        for (uint32_t k = 0; k < row.Count; ++k)
            v[k] += static_cast<int32_t>(sign * shift);
        if (row.Count) {
            left = std::min(left, v[0]);
            right = std::max(right, v[row.Count - 1]);
        }
        shift += q;
        rem += rest;
        if (rem > c)
            rem -= c, ++shift;
    }
    r->Bounds.left = left;
    r->Bounds.right = right;
}

}  // namespace

// Horizontal shear: row k (counted from the top for mirrored orientations,
// from the bottom otherwise) moves right by floor(k s / c), kept as a
// whole part stepped by s / c and a remainder stepped by s mod c.  A clip
// that fails moves the rows back.
int __stdcall RgnShearWithBitmap(BitmapHandle *pBitmap, int nAngle) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    ZoraRgn *r = pBitmap->Region;
    if (!r)
        return RC_SUCCESS;
    const int angle = static_cast<int>(std::llabs(static_cast<int64_t>(nAngle)) % 36000);
    const int64_t c = K_CosFixed(angle), s = K_SinFixed(angle);
    if (c <= 0)
        return RC_INVALID_PARAMETER;  // 90 degrees or more: no finite shear
    RgnDeleteCaches(r);
    if (IsEmptyRgn(r))
        return RC_SUCCESS;
    const bool topDown = IsMirrored(pBitmap->Orientation);
    const int64_t k0 = topDown ? r->Bounds.top : static_cast<int64_t>(pBitmap->Height) - r->Bounds.bottom;
    const RECT old = r->Bounds;
    ShearRows(r, topDown, k0, s, c, 1);
    if (pBitmap->Flags & BITMAP_RGN_UNCLIPPED)
        return RC_SUCCESS;
    const RECT rect{0, 0, pBitmap->Width, pBitmap->Height};
    const int rc = RgnClipToRect(r, &rect);
    if (rc != RC_SUCCESS) {
        ShearRows(r, topDown, k0, s, c, -1);
        r->Bounds = old;
    }
    return rc;
}

int RgnTransformToBitmap(const BitmapHandle *pBitmap, const RgnTransform *pTransform, ZoraRgn *pRgn) {
    const RgnTransform &t = *pTransform;
    if (!IsValidTransform(t))
        return RC_INVALID_PARAMETER;
    RgnOffset(pRgn, t.OffsetX, t.OffsetY);
    int rc = RgnScale(pRgn, t.ScaleXNum, t.ScaleXDen, t.ScaleYNum, t.ScaleYDen);
    if (rc != RC_SUCCESS || t.Orientation == pBitmap->Orientation)
        return rc;
    int degrees = 0, flip = 0;
    if ((rc = K_GetOrientationTurn(t.Orientation, pBitmap->Orientation, &degrees, &flip)) != RC_SUCCESS)
        return rc;
    const bool quarter = (degrees / 90) % 2 != 0;
    const int oldWidth = quarter ? pBitmap->Height : pBitmap->Width;
    const int oldHeight = quarter ? pBitmap->Width : pBitmap->Height;
    if (flip)
        RgnFlip(pRgn, pBitmap->Height);
    int angle = static_cast<int>(static_cast<int64_t>(degrees) * 100 % 36000);
    if (angle < 0)
        angle += 36000;
    if (angle == 0)
        return RC_SUCCESS;
    if (angle != 9000 && angle != 18000 && angle != 27000)
        return RC_INVALID_PARAMETER;
    // A plain 1-bit frame of the bitmap's size: orientation 0, no flags, so
    // the turn is clipped to the bitmap rectangle.
    BitmapHandle frame;
    if ((rc = K_InitBitmapHandle(&frame, nullptr, pBitmap->Width, pBitmap->Height, 1)) != RC_SUCCESS)
        return rc;
    frame.Orientation = 0;
    frame.Flags = 0;
    frame.Region = pRgn;
    return RgnRotateWithBitmap(&frame, oldWidth, oldHeight, angle);
}

// Bitmap coordinates to caller coordinates, for a whole region (the
// colour fill's mask): turned to the transform's orientation within the
// bitmap's frame, then scaled with the rounding of
// RgnTransformRectToCaller, then offset.
int RgnTransformToCaller(const BitmapHandle *pBitmap, const RgnTransform *pTransform, ZoraRgn *pRgn) {
    if (!pTransform)
        return RC_SUCCESS;
    const RgnTransform &t = *pTransform;
    if (!IsValidTransform(t))
        return RC_INVALID_PARAMETER;
    int rc;
    if (t.Orientation != pBitmap->Orientation) {
        int degrees = 0, flip = 0;
        if ((rc = K_GetOrientationTurn(pBitmap->Orientation, t.Orientation, &degrees, &flip)) != RC_SUCCESS)
            return rc;
        int angle = static_cast<int>(static_cast<int64_t>(degrees) * 100 % 36000);
        if (angle < 0)
            angle += 36000;
        if (angle != 0 && angle != 9000 && angle != 18000 && angle != 27000)
            return RC_INVALID_PARAMETER;
        if (flip)
            RgnFlip(pRgn, pBitmap->Height);
        if (angle) {
            // The caller's frame, plain: the turn is clipped to it.
            const bool quarter = angle != 18000;
            BitmapHandle frame;
            if ((rc = K_InitBitmapHandle(&frame, nullptr, quarter ? pBitmap->Height : pBitmap->Width,
                                         quarter ? pBitmap->Width : pBitmap->Height, 1)) != RC_SUCCESS)
                return rc;
            frame.Orientation = 0;
            frame.Flags = 0;
            frame.Region = pRgn;
            if ((rc = RgnRotateWithBitmap(&frame, pBitmap->Width, pBitmap->Height, angle)) != RC_SUCCESS)
                return rc;
        }
    }
    const bool rowsUp = t.Orientation == 2 || (t.Orientation == 0 && pBitmap->Orientation == 4);
    if ((rc = RgnScaleRows(pRgn, t.ScaleXNum, t.ScaleXDen, t.ScaleYNum, t.ScaleYDen, rowsUp)) != RC_SUCCESS)
        return rc;
    return RgnOffset(pRgn, t.OffsetX, t.OffsetY);
}

namespace {

// v * num / den with the given rounding extra; in double precision when
// the product would not fit in 31 bits.  0 stays 0.
LONG ScaleOut(LONG v, int32_t num, int32_t den, int32_t extra) {
    if (v == 0)
        return 0;
    if (std::llabs(v) * std::llabs(static_cast<int64_t>(num)) > INT32_MAX)
        return static_cast<LONG>((static_cast<double>(v) * num + extra) / den);
    return static_cast<LONG>((static_cast<int64_t>(v) * num + extra) / den);
}

}  // namespace

int RgnTransformRectToCaller(const BitmapHandle *pBitmap, const RgnTransform *pTransform, RECT *pRect) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!pRect)
        return RC_INVALID_PARAMETER;
    if (!pTransform)
        return RC_SUCCESS;
    const RgnTransform &t = *pTransform;
    if (!IsValidTransform(t))
        return RC_INVALID_PARAMETER;
    if (t.Orientation != pBitmap->Orientation) {
        const int rc = K_ConvertRectOrientation(pBitmap->Orientation, pBitmap->Width, pBitmap->Height,
                                                t.Orientation, pRect);
        if (rc != RC_SUCCESS)
            return rc;
    }
    const int32_t xExtra = t.ScaleXDen - 1;
    const bool roundY = t.Orientation == 2 || (t.Orientation == 0 && pBitmap->Orientation == 4);
    const int32_t yExtra = roundY ? t.ScaleYDen - 1 : 0;
    pRect->left = ScaleOut(pRect->left, t.ScaleXNum, t.ScaleXDen, xExtra);
    pRect->right = ScaleOut(pRect->right, t.ScaleXNum, t.ScaleXDen, xExtra);
    pRect->top = ScaleOut(pRect->top, t.ScaleYNum, t.ScaleYDen, yExtra);
    pRect->bottom = ScaleOut(pRect->bottom, t.ScaleYNum, t.ScaleYDen, yExtra);
    OffsetRect(pRect, t.OffsetX, t.OffsetY);
    return RC_SUCCESS;
}

}  // namespace zv

extern "C" int __stdcall Z_OffsetBitmapRgn(BitmapHandle *pBitmap, int nRowOffset, int nColumnOffset) {
    using namespace zv;
    if (!pBitmap)
        return RC_NO_BITMAP;
    const RECT rect{0, 0, pBitmap->Width, pBitmap->Height};
    ZoraRgn *r = pBitmap->Region, *built = nullptr;
    if (!r) {
        const int rc = RgnFromRect(&built, &rect);
        if (rc != RC_SUCCESS)
            return rc;
        r = built;
    }
    RgnOffset(r, nColumnOffset, nRowOffset);
    if (!(pBitmap->Flags & BITMAP_RGN_UNCLIPPED)) {
        const int rc = RgnClipToRect(r, &rect);
        if (rc != RC_SUCCESS) {
            K_FreeRegion(built);
            return rc;
        }
    }
    pBitmap->Region = r;
    return RC_SUCCESS;
}
