// The region object: rectangles, the run algebra, clipping, the combine
// operation, copies and release.
//
// Every operation of the algebra is one walk over the rows of its result
// rectangle; a small per-operation row function merges the two inputs'
// runs of that row into the builder.  Results are always new regions, so
// an operation that fails leaves its inputs (and the bitmap) as they were.
#include "region/region.h"

#include <algorithm>
#include <cstring>

namespace zv {

namespace {

bool IsEmptyRect(const RECT &r) { return r.left >= r.right || r.top >= r.bottom; }

RECT UnionOf(const RECT &a, const RECT &b) {
    if (IsEmptyRect(a))
        return b;
    if (IsEmptyRect(b))
        return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

RECT IntersectionOf(const RECT &a, const RECT &b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return IsEmptyRect(r) ? RECT{0, 0, 0, 0} : r;
}

// ---- per-row merges -------------------------------------------------------
// Each takes the two rows' runs (na and nb values) and writes the result's.

void IntersectRow(RgnBuilder &out, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb, int32_t) {
    uint32_t i = 0, j = 0;
    while (i < na && j < nb) {
        const int32_t ae = a[i + 1], be = b[j + 1];
        const int32_t s = std::max(a[i], b[j]), e = std::min(ae, be);
        if (s < e)
            RgnBuilderAddSpan(out, s, e);
        // The run that ends first is done; both when they end together.
        i += ae <= be ? 2 : 0;
        j += be <= ae ? 2 : 0;
    }
}

// Runs that overlap or touch are merged into one.  The current run starts
// empty at the left edge; a run of either input that starts inside it or at
// its end extends it, otherwise it is emitted and the run with the smaller
// start (the second input's on a tie) becomes current.
void UnionRow(RgnBuilder &out, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb, int32_t left) {
    int32_t cs = left, ce = left;
    uint32_t i = 0, j = 0;
    for (;;) {
        if (i < na && a[i] >= cs && a[i] <= ce) {
            ce = std::max(ce, a[i + 1]);
            i += 2;
        } else if (j < nb && b[j] >= cs && b[j] <= ce) {
            ce = std::max(ce, b[j + 1]);
            j += 2;
        } else {
            RgnBuilderAddSpan(out, cs, ce);
            if (i >= na && j >= nb)
                return;
            if (j < nb && (i >= na || b[j] <= a[i])) {
                cs = b[j], ce = b[j + 1];
                j += 2;
            } else {
                cs = a[i], ce = a[i + 1];
                i += 2;
            }
        }
    }
}

// a - b: each run of a is cut into its parts inside the gaps between b's
// runs (the gap before b's first run and after its last reach as far as a
// itself does).
template <class Emit>
void SubtractRowInto(Emit &&emit, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb) {
    uint32_t j = 0;
    for (uint32_t i = 0; i < na; i += 2) {
        int32_t cur = a[i];
        const int32_t end = a[i + 1];
        while (j < nb && b[j + 1] <= cur)
            j += 2;
        for (uint32_t k = j;;) {
            if (k < nb && b[k] < end) {
                if (b[k] > cur)
                    emit(cur, b[k]);
                if (b[k + 1] >= end)
                    break;
                cur = std::max(cur, b[k + 1]);
                k += 2;
            } else {
                emit(cur, end);
                break;
            }
        }
    }
}

void SubtractRow(RgnBuilder &out, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb, int32_t) {
    SubtractRowInto([&](int32_t s, int32_t e) { RgnBuilderAddSpan(out, s, e); }, a, na, b, nb);
}

// Walks the rows of rect, handing each row function the inputs' runs.
// `runs` is the expected size of the result, room made at the start.  The
// strict bound (every result run ends where an input run ends: the sum of
// both inputs, twice that for exclusive or) is usually far too much, and
// fresh large blocks cost a page fault per page touched, so the estimates
// below are the larger input plus a share of the smaller; a result beyond
// the estimate grows the store.
template <class RowFn>
int WalkRows(ZoraRgn **ppOut, const RECT &rect, const ZoraRgn *a, const ZoraRgn *b, size_t runs, RowFn &&row) {
    RgnBuilder out;
    int rc = RgnBuilderBegin(out, rect, runs * 8);
    if (rc != RC_SUCCESS)
        return rc;
    for (int32_t y = rect.top; y < rect.bottom; ++y) {
        uint32_t na, nb;
        const int32_t *ra = RgnRowRuns(a, y, &na);
        const int32_t *rb = RgnRowRuns(b, y, &nb);
        row(out, ra, na, rb, nb, rect.left);
        if ((rc = RgnBuilderEndRow(out)) != RC_SUCCESS)
            return rc;
    }
    RgnBuilderFinish(out);
    *ppOut = out.Region;
    return RC_SUCCESS;
}

size_t RunsOf(const ZoraRgn *r) { return r->SpanStoreSize / 8; }


uint32_t LongestRow(const ZoraRgn *r) {
    uint32_t most = 0;
    const uint32_t rows = r->RowTableSize / sizeof(RgnRow);
    for (uint32_t i = 0; i < rows; ++i)
        most = std::max(most, r->RowTable[i].Count);
    return most;
}

}  // namespace

// ---- the region object ------------------------------------------------------

int RgnDeleteCaches(ZoraRgn *pRgn) {
    if (!pRgn)
        return RC_INVALID_PARAMETER;
    if (pRgn->hMaskCache)
        DeleteObject(pRgn->hMaskCache);
    if (pRgn->hRgnCache)
        DeleteObject(pRgn->hRgnCache);
    pRgn->hMaskCache = nullptr;
    pRgn->hRgnCache = nullptr;
    return RC_SUCCESS;
}

int RgnMakeEmpty(ZoraRgn *pRgn) {
    if (!pRgn)
        return RC_INVALID_PARAMETER;
    pRgn->Bounds = RECT{0, 0, 0, 0};
    K_Free(pRgn->RowTable);
    K_Free(pRgn->SpanStore);
    pRgn->RowTable = nullptr;
    pRgn->SpanStore = nullptr;
    pRgn->RowTableSize = 0;
    pRgn->SpanStoreSize = 0;
    return RgnDeleteCaches(pRgn);
}

void RgnTakeOver(ZoraRgn *pDst, ZoraRgn *pSrc) {
    RgnMakeEmpty(pDst);
    *pDst = *pSrc;  // a built region has no caches and zero cache keys
    K_Free(pSrc);
}

bool RgnContains(const ZoraRgn *r, int32_t y, int32_t x) {
    if (x < r->Bounds.left || x >= r->Bounds.right)
        return false;
    uint32_t n;
    const int32_t *runs = RgnRowRuns(r, y, &n);
    if (!n || x < runs[0] || x >= runs[n - 1])
        return false;
    for (uint32_t i = 0; i < n; i += 2)
        if (runs[i] <= x && x < runs[i + 1])
            return true;
    return false;
}

bool RgnIsValid(const ZoraRgn *r) {
    if (!r)
        return false;
    const RECT &bb = r->Bounds;
    if (!r->RowTableSize) {
        return bb.left == 0 && bb.top == 0 && bb.right == 0 && bb.bottom == 0 && !r->SpanStoreSize &&
               !r->RowTable && !r->SpanStore;
    }
    if (!r->RowTable || !r->SpanStore || r->RowTableSize % sizeof(RgnRow) ||
        static_cast<int64_t>(r->RowTableSize / sizeof(RgnRow)) != static_cast<int64_t>(bb.bottom) - bb.top)
        return false;
    const uint32_t rows = r->RowTableSize / sizeof(RgnRow);
    int32_t left = INT32_MAX, right = INT32_MIN;
    for (uint32_t i = 0; i < rows; ++i) {
        const RgnRow &row = r->RowTable[i];
        if (row.Count % 2 || row.Offset % 4 || row.Offset + 4ull * row.Count > r->SpanStoreSize)
            return false;
        if (!row.Count && (i == 0 || i == rows - 1))
            return false;
        const int32_t *v = r->SpanStore + row.Offset / 4;
        for (uint32_t k = 0; k < row.Count; k += 2) {
            if (v[k] >= v[k + 1] || (k && v[k] < v[k - 1]))
                return false;
        }
        if (row.Count) {
            left = std::min(left, v[0]);
            right = std::max(right, v[row.Count - 1]);
        }
    }
    return left == bb.left && right == bb.right;
}

int RgnFromRect(ZoraRgn **ppOut, const RECT *pRect) {
    if (!ppOut || !pRect)
        return RC_INVALID_PARAMETER;
    RgnBuilder b;
    int rc = RgnBuilderBegin(b, *pRect);
    if (rc != RC_SUCCESS)
        return rc;
    for (int32_t y = pRect->top; y < pRect->bottom; ++y) {
        RgnBuilderAddSpan(b, pRect->left, pRect->right);
        if ((rc = RgnBuilderEndRow(b)) != RC_SUCCESS)
            return rc;
    }
    RgnBuilderFinish(b);
    *ppOut = b.Region;
    return RC_SUCCESS;
}

int RgnIntersect(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b) {
    if (!ppOut || !a || !b)
        return RC_INVALID_PARAMETER;
    return WalkRows(ppOut, IntersectionOf(a->Bounds, b->Bounds), a, b, std::max(RunsOf(a), RunsOf(b)), IntersectRow);
}

int RgnUnion(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b) {
    if (!ppOut || !a || !b)
        return RC_INVALID_PARAMETER;
    return WalkRows(ppOut, UnionOf(a->Bounds, b->Bounds), a, b, std::max(RunsOf(a), RunsOf(b)), UnionRow);
}

int RgnSubtract(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b) {
    if (!ppOut || !a || !b)
        return RC_INVALID_PARAMETER;
    return WalkRows(ppOut, a->Bounds, a, b, RunsOf(a) + RunsOf(b) / 4, SubtractRow);
}

// (a - b) u (b - a), the two differences of a row made in scratch rows
// and merged by the union's row function: the same runs as two whole
// temporary regions would give, in one walk.
int RgnXor(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b) {
    if (!ppOut || !a || !b)
        return RC_INVALID_PARAMETER;
    // A difference row holds at most one run per run of both inputs.
    const size_t scratchValues = static_cast<size_t>(LongestRow(a)) + LongestRow(b) + 2;
    auto *scratch = static_cast<int32_t *>(K_AllocTemp(2 * scratchValues * sizeof(int32_t)));
    if (!scratch)
        return RC_NO_MEMORY;
    int32_t *ab = scratch, *ba = scratch + scratchValues;
    const int rc = WalkRows(ppOut, UnionOf(a->Bounds, b->Bounds), a, b, RunsOf(a) + RunsOf(b),
                            [&](RgnBuilder &out, const int32_t *ra, uint32_t na, const int32_t *rb, uint32_t nb,
                                int32_t left) {
                                uint32_t nab = 0, nba = 0;
                                SubtractRowInto([&](int32_t s, int32_t e) { ab[nab++] = s, ab[nab++] = e; }, ra,
                                                na, rb, nb);
                                SubtractRowInto([&](int32_t s, int32_t e) { ba[nba++] = s, ba[nba++] = e; }, rb,
                                                nb, ra, na);
                                UnionRow(out, ab, nab, ba, nba, left);
                            });
    K_FreeTemp(scratch);
    return rc;
}

int RgnClipToRect(ZoraRgn *pRgn, const RECT *pRect) {
    if (!pRgn || !pRect)
        return RC_INVALID_PARAMETER;
    const RECT clip = IntersectionOf(pRgn->Bounds, *pRect);
    if (IsEmptyRect(clip))
        return RgnMakeEmpty(pRgn);
    if (EqualRect(&clip, &pRgn->Bounds))
        return RC_SUCCESS;
    ZoraRgn *clipped = nullptr;
    const int rc = WalkRows(&clipped, clip, pRgn, pRgn, RunsOf(pRgn),
                            [&](RgnBuilder &out, const int32_t *v, uint32_t n, const int32_t *, uint32_t, int32_t) {
                                for (uint32_t i = 0; i < n; i += 2)
                                    RgnBuilderAddSpan(out, std::max<int32_t>(v[i], clip.left), std::min<int32_t>(v[i + 1], clip.right));
                            });
    if (rc != RC_SUCCESS)
        return rc;
    RgnTakeOver(pRgn, clipped);
    return RC_SUCCESS;
}

// ---- the combine operation --------------------------------------------------

int __stdcall RgnCombine(BitmapHandle *pBitmap, RgnTransform *pTransform, ZoraRgn *pNewRgn, UINT uMode) {
    if (!pBitmap) {
        K_FreeRegion(pNewRgn);  // consumed on every path
        return RC_NO_BITMAP;
    }
    if (!pNewRgn) {
        K_FreeRegion(pBitmap->Region);
        pBitmap->Region = nullptr;
        return RC_SUCCESS;
    }
    int rc = RC_SUCCESS;
    if (pTransform && (rc = RgnTransformToBitmap(pBitmap, pTransform, pNewRgn)) != RC_SUCCESS) {
        K_FreeRegion(pNewRgn);
        return rc;
    }
    if (uMode > RGN_MODE_SET_COMPLEMENT) {
        K_FreeRegion(pNewRgn);
        return RC_INVALID_PARAMETER;
    }
    const bool unclipped = (pBitmap->Flags & BITMAP_RGN_UNCLIPPED) != 0;
    const RECT bitmapRect{0, 0, pBitmap->Width, pBitmap->Height};
    const RECT whole = unclipped ? UnionOf(bitmapRect, pNewRgn->Bounds) : bitmapRect;

    ZoraRgn *old = pBitmap->Region, *wholeRgn = nullptr, *result = nullptr;
    const bool needsOld = uMode != RGN_MODE_SET && uMode != RGN_MODE_SET_COMPLEMENT;
    if ((needsOld && !old) || uMode == RGN_MODE_SET_COMPLEMENT) {
        if ((rc = RgnFromRect(&wholeRgn, &whole)) != RC_SUCCESS) {
            K_FreeRegion(pNewRgn);
            return rc;
        }
        if (needsOld)
            old = wholeRgn;
    }
    switch (uMode) {
    case RGN_MODE_AND: rc = RgnIntersect(&result, pNewRgn, old); break;
    case RGN_MODE_SET: result = pNewRgn; break;
    case RGN_MODE_NEW_MINUS_OLD: rc = RgnSubtract(&result, pNewRgn, old); break;
    case RGN_MODE_OLD_MINUS_NEW: rc = RgnSubtract(&result, old, pNewRgn); break;
    case RGN_MODE_OR: rc = RgnUnion(&result, pNewRgn, old); break;
    case RGN_MODE_XOR: rc = RgnXor(&result, pNewRgn, old); break;
    default: rc = RgnSubtract(&result, wholeRgn, pNewRgn); break;
    }
    K_FreeRegion(wholeRgn);
    if (result != pNewRgn)
        K_FreeRegion(pNewRgn);
    if (rc == RC_SUCCESS && !unclipped)
        rc = RgnClipToRect(result, &bitmapRect);
    if (rc != RC_SUCCESS) {
        K_FreeRegion(result);
        return rc;
    }
    K_FreeRegion(pBitmap->Region);
    pBitmap->Region = result;
    return RC_SUCCESS;
}

}  // namespace zv

// ---- exported ----------------------------------------------------------------

extern "C" {

int __stdcall Z_CopyZoraRgn(ZoraRgn **ppDst, ZoraRgn *pSrc) {
    if (!ppDst)
        return RC_INVALID_PARAMETER;
    *ppDst = nullptr;
    if (!pSrc)
        return RC_SUCCESS;
    auto *copy = static_cast<ZoraRgn *>(K_AllocZero(1, sizeof(ZoraRgn)));
    if (!copy)
        return RC_NO_MEMORY;
    copy->RgnCacheTransform = pSrc->RgnCacheTransform;
    copy->RgnCacheOrientation = pSrc->RgnCacheOrientation;
    copy->Bounds = pSrc->Bounds;
    copy->RowTableSize = pSrc->RowTableSize;
    copy->SpanStoreSize = pSrc->SpanStoreSize;
    if (pSrc->RowTableSize) {
        copy->RowTable = static_cast<RgnRow *>(K_AllocZero(pSrc->RowTableSize, 1));
        copy->SpanStore = copy->RowTable ? static_cast<int32_t *>(K_Alloc(pSrc->SpanStoreSize)) : nullptr;
        if (!copy->RowTable || (!copy->SpanStore && pSrc->SpanStoreSize)) {
            K_FreeRegion(copy);
            return RC_NO_MEMORY;
        }
        std::memcpy(copy->RowTable, pSrc->RowTable, pSrc->RowTableSize);
        std::memcpy(copy->SpanStore, pSrc->SpanStore, pSrc->SpanStoreSize);
    }
    if (pSrc->hRgnCache) {
        HRGN cache = CreateRectRgn(0, 0, 0, 0);
        if (cache && CombineRgn(cache, pSrc->hRgnCache, nullptr, RGN_COPY) != ERROR) {
            copy->hRgnCache = cache;
        } else if (cache) {
            DeleteObject(cache);
        }
    }
    *ppDst = copy;
    return RC_SUCCESS;
}

int __stdcall Z_FreeBitmapRgn(BitmapHandle *pBitmap) {
    if (!pBitmap)
        return RC_INVALID_PARAMETER;
    K_FreeRegion(pBitmap->Region);
    pBitmap->Region = nullptr;
    return RC_SUCCESS;
}

int __stdcall Z_BitmapHasRgn(BitmapHandle *pBitmap) { return pBitmap && pBitmap->Region ? 1 : 0; }

}  // extern "C"
