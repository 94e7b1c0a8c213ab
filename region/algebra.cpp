// The region object: rectangles, the run algebra, clipping, the combine
// operation, copies and release.
//
// Every operation of the algebra is one walk over the rows of its result
// rectangle; a small per-operation row function merges the two inputs'
// runs of that row into the builder.  Results are always new regions, so
// an operation that fails leaves its inputs (and the bitmap) as they were.
#include "common/geometry.h"
#include "common/region_caches.h"
#include "region/region.h"

#include <algorithm>
#include <cstring>

namespace zv {

namespace {

// ---- per-row merges -------------------------------------------------------
// Each takes the two rows' runs (na and nb values) and writes the result's.
//
// Two forms of each.  The fast ones (...Runs) write straight into memory
// and pick their next step by comparison instead of by branch: on
// fragmented rows the edges of the two inputs interleave at random, and a
// branch per edge is mispredicted about every other time.  Each step
// writes its candidate run unconditionally and moves the output on by 0
// or 2 values, so a fast merge writes at most na + nb values (one slot per
// input run consumed; the last candidate may be one that is not kept), a
// split row (below) 2 more.
// The careful forms (branches, RgnBuilderAddSpan per run) take short rows,
// where branches predict well and win, and rows the builder has no room
// for (only rows of touching runs can outgrow the room kept for one row).
// Both give the same runs for every valid input.  The fast forms stay out
// of line so that the walk around the careful ones compiles as before.

// A condition as a 0/1 value that the optimiser cannot trace back: GCC
// turns steps such as i += 2 * (x <= y), and ?: on data-dependent
// conditions, back into jumps, which is what the fast row functions must
// avoid.  (min and max it leaves as conditional moves.)
inline size_t Step(bool c) {
    size_t v = c;
    asm("" : "+r"(v));
    return v;
}

// c ? x : y without a jump.
inline int32_t Pick(size_t c, int32_t x, int32_t y) { return y ^ ((x ^ y) & -static_cast<int32_t>(c)); }

// Rows of at least this many values (both inputs) are cut in two at a's
// middle run, and the halves are merged side by side in one loop: each merge
// waits on its own loads and compares, and two independent ones keep the
// processor busy in each other's gaps.  The left half writes at its place,
// the right half behind the room the left half may need; the right half's
// runs are moved down when both are done.
constexpr size_t kSplitRowValues = 64;

// The first run of r (n values) that starts at or after x.
const int32_t *FirstRunFrom(const int32_t *r, size_t n, int32_t x) {
    size_t lo = 0, hi = n / 2;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (r[2 * mid] < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    return r + 2 * lo;
}

// Copies [from, end) down to w; the end of the copy.
int32_t *MoveDown(int32_t *w, const int32_t *from, const int32_t *end) {
    while (from < end)
        *w++ = *from++;
    return w;
}

// Intersection: the overlap of the two current runs, when non-empty; then
// the run that ends first is done, both when they end together.  Touching
// runs stay apart: (0, 5), (5, 9) with (0, 9) gives (0, 5), (5, 9).
inline void IntersectStep(int32_t *&w, const int32_t *&a, const int32_t *&b) {
    const int32_t as = a[0], ae = a[1], bs = b[0], be = b[1];
    const int32_t s = as > bs ? as : bs, e = ae < be ? ae : be;
    w[0] = s;
    w[1] = e;
    w += 2 * Step(s < e);
    a += 2 * Step(ae <= be);
    b += 2 * Step(be <= ae);
}

inline int32_t *IntersectMerge(int32_t *w, const int32_t *a, const int32_t *aEnd, const int32_t *b,
                               const int32_t *bEnd) {
    while (a < aEnd && b < bEnd)
        IntersectStep(w, a, b);
    return w;
}

// A split row: the runs of a before the cut meet the runs of b that start
// before it; the runs of a from the cut on meet those that end after it
// (a run of b across the cut goes to both halves, and gives each the same
// overlaps as the whole row would).
__attribute__((noinline)) int32_t *IntersectRuns(int32_t *w, const int32_t *a, size_t na, const int32_t *b, size_t nb) {
    const int32_t *const aEnd = a + na, *const bEnd = b + nb;
    if (!na || !nb || aEnd[-1] <= b[0] || bEnd[-1] <= a[0])
        return w;  // the rows do not overlap
    if (na + nb < kSplitRowValues || na < 4)
        return IntersectMerge(w, a, aEnd, b, bEnd);
    const int32_t *const aCut = a + na / 4 * 2;
    const int32_t *const bCut = FirstRunFrom(b, nb, aCut[0]);
    const int32_t *a1 = a, *b1 = b, *a2 = aCut, *b2 = bCut > b && bCut[-1] > aCut[0] ? bCut - 2 : bCut;
    int32_t *w1 = w, *const right = w + (aCut - a) + (bCut - b), *w2 = right;
    while (a1 < aCut && b1 < bCut && a2 < aEnd && b2 < bEnd) {
        IntersectStep(w1, a1, b1);
        IntersectStep(w2, a2, b2);
    }
    w1 = IntersectMerge(w1, a1, aCut, b1, bCut);
    w2 = IntersectMerge(w2, a2, aEnd, b2, bEnd);
    return MoveDown(w1, right, w2);
}

void IntersectRowCareful(RgnBuilder &out, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb) {
    uint32_t i = 0, j = 0;
    while (i < na && j < nb) {
        const int32_t ae = a[i + 1], be = b[j + 1];
        const int32_t s = std::max(a[i], b[j]), e = std::min(ae, be);
        if (s < e)
            RgnBuilderAddSpan(out, s, e);
        i += ae <= be ? 2 : 0;
        j += be <= ae ? 2 : 0;
    }
}

// Union: runs that overlap or touch, in either input or within one, become
// one run.  The runs of both rows are taken in order of their starts; a run
// that starts after the end of the current one (cs, ce) closes it, any
// other extends it.  (Which input goes first on equal starts does not
// change the result.)  The current run is written every time and kept
// (the output moves on) only when it closes.
inline void UnionTake(int32_t *&w, int32_t s, int32_t e, int32_t &cs, int32_t &ce) {
    const size_t apart = Step(s > ce);
    w[0] = cs;
    w[1] = ce;
    w += 2 * apart;
    cs = Pick(apart, s, cs);
    ce = Pick(apart, e, ce > e ? ce : e);
}

inline void UnionStep(int32_t *&w, const int32_t *&a, const int32_t *&b, int32_t &cs, int32_t &ce) {
    const int32_t as = a[0], bs = b[0];
    const size_t takeA = Step(as < bs);
    const int32_t s = as < bs ? as : bs, e = Pick(takeA, a[1], b[1]);
    a += 2 * takeA;
    b += 2 - 2 * takeA;
    UnionTake(w, s, e, cs, ce);
}

// The first run of the two rows (not both empty) becomes current.
inline void UnionStart(const int32_t *&a, const int32_t *aEnd, const int32_t *&b, const int32_t *bEnd, int32_t &cs,
                       int32_t &ce) {
    if (a == aEnd || (b < bEnd && b[0] < a[0])) {
        cs = b[0], ce = b[1];
        b += 2;
    } else {
        cs = a[0], ce = a[1];
        a += 2;
    }
}

// The rest of a union from the current run on; the end of the runs written.
inline int32_t *UnionMerge(int32_t *w, const int32_t *a, const int32_t *aEnd, const int32_t *b, const int32_t *bEnd,
                           int32_t cs, int32_t ce) {
    while (a < aEnd && b < bEnd)
        UnionStep(w, a, b, cs, ce);
    // One row is left; its runs do not overlap, but may touch.
    const int32_t *r = a < aEnd ? a : b, *const rEnd = a < aEnd ? aEnd : bEnd;
    for (; r < rEnd; r += 2)
        UnionTake(w, r[0], r[1], cs, ce);
    w[0] = cs;
    w[1] = ce;
    return w + 2;
}

// A split row: the runs (of either row) that start before the cut, and
// those from it on, are two unions of their own; the first run of the
// second may join the last of the first, and swallow more of its runs.
// Never both rows empty: the fast forms take rows of kFastRowValues or more.
__attribute__((noinline)) int32_t *UnionRuns(int32_t *w, const int32_t *a, size_t na, const int32_t *b, size_t nb) {
    const int32_t *const aEnd = a + na, *const bEnd = b + nb;
    int32_t cs1, ce1;
    if (na + nb < kSplitRowValues || na < 4) {
        UnionStart(a, aEnd, b, bEnd, cs1, ce1);
        return UnionMerge(w, a, aEnd, b, bEnd, cs1, ce1);
    }
    const int32_t *const aCut = a + na / 4 * 2;
    const int32_t *const bCut = FirstRunFrom(b, nb, aCut[0]);
    const int32_t *a1 = a, *b1 = b, *a2 = aCut, *b2 = bCut;
    int32_t cs2, ce2;
    UnionStart(a1, aCut, b1, bCut, cs1, ce1);
    UnionStart(a2, aEnd, b2, bEnd, cs2, ce2);
    int32_t *w1 = w, *const right = w + (aCut - a) + (bCut - b), *w2 = right;
    while (a1 < aCut && b1 < bCut && a2 < aEnd && b2 < bEnd) {
        UnionStep(w1, a1, b1, cs1, ce1);
        UnionStep(w2, a2, b2, cs2, ce2);
    }
    w1 = UnionMerge(w1, a1, aCut, b1, bCut, cs1, ce1);
    w2 = UnionMerge(w2, a2, aEnd, b2, bEnd, cs2, ce2);
    const int32_t *r = right;
    int32_t end = w1[-1];
    for (; r < w2 && r[0] <= end; r += 2)
        end = end > r[1] ? end : r[1];
    w1[-1] = end;
    return MoveDown(w1, r, w2);
}

// The careful form: runs in order of their starts (the second row's first
// on equal starts), each extending the current run or, when it starts
// beyond its end, closing it.
void UnionRowCareful(RgnBuilder &out, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb, int32_t) {
    if (!na && !nb)
        return;
    uint32_t i = 0, j = 0;
    int32_t cs, ce;
    if (i == na || (j < nb && b[j] <= a[i])) {
        cs = b[j], ce = b[j + 1];
        j += 2;
    } else {
        cs = a[i], ce = a[i + 1];
        i += 2;
    }
    for (;;) {
        int32_t s, e;
        if (j < nb && (i == na || b[j] <= a[i])) {
            s = b[j], e = b[j + 1];
            j += 2;
        } else if (i < na) {
            s = a[i], e = a[i + 1];
            i += 2;
        } else {
            break;
        }
        if (s > ce) {
            RgnBuilderAddSpan(out, cs, ce);
            cs = s, ce = e;
        } else if (e > ce) {
            ce = e;
        }
    }
    RgnBuilderAddSpan(out, cs, ce);
}

// a - b: each run of a is cut into its parts inside the gaps between b's
// runs (a gap between touching runs of b is empty and leaves nothing).
// lo is the end of the last run of b passed: nothing of a before it is
// left.  A run of b is passed only when it ends inside the current run of
// a, so lo never reaches past the next run of a's start.
inline void SubtractStep(int32_t *&w, const int32_t *&a, const int32_t *&b, int32_t &lo) {
    const int32_t as = a[0], ae = a[1], bs = b[0], be = b[1];
    const int32_t s = as > lo ? as : lo, e = bs < ae ? bs : ae;
    w[0] = s;
    w[1] = e;
    w += 2 * Step(s < e);
    const size_t aDone = Step(be >= ae);
    a += 2 * aDone;
    b += 2 - 2 * aDone;
    lo = Pick(aDone, lo, be);
}

inline int32_t *SubtractMerge(int32_t *w, const int32_t *a, const int32_t *aEnd, const int32_t *b,
                              const int32_t *bEnd, int32_t lo) {
    while (a < aEnd && b < bEnd)
        SubtractStep(w, a, b, lo);
    if (a < aEnd) {
        // b is used up: the rest of the current run, then a's runs as they are.
        w[0] = a[0] > lo ? a[0] : lo;
        w[1] = a[1];
        w += 2;
        w = MoveDown(w, a + 2, aEnd);
    }
    return w;
}

// A split row, cut as the intersection's: the runs of b that a half does
// not get lie beyond its runs of a and would cut nothing.
__attribute__((noinline)) int32_t *SubtractRuns(int32_t *w, const int32_t *a, size_t na, const int32_t *b, size_t nb) {
    const int32_t *const aEnd = a + na, *const bEnd = b + nb;
    if (!na || !nb || aEnd[-1] <= b[0] || bEnd[-1] <= a[0])
        return MoveDown(w, a, aEnd);  // nothing of b meets a
    if (na + nb < kSplitRowValues || na < 4)
        return SubtractMerge(w, a, aEnd, b, bEnd, INT32_MIN);
    const int32_t *const aCut = a + na / 4 * 2;
    const int32_t *const bCut = FirstRunFrom(b, nb, aCut[0]);
    const int32_t *a1 = a, *b1 = b, *a2 = aCut, *b2 = bCut > b && bCut[-1] > aCut[0] ? bCut - 2 : bCut;
    int32_t *w1 = w, *const right = w + (aCut - a) + (bCut - b), *w2 = right;
    int32_t lo1 = INT32_MIN, lo2 = INT32_MIN;
    while (a1 < aCut && b1 < bCut && a2 < aEnd && b2 < bEnd) {
        SubtractStep(w1, a1, b1, lo1);
        SubtractStep(w2, a2, b2, lo2);
    }
    w1 = SubtractMerge(w1, a1, aCut, b1, bCut, lo1);
    w2 = SubtractMerge(w2, a2, aEnd, b2, bEnd, lo2);
    return MoveDown(w1, right, w2);
}

// a - b, run by run of a: the parts of the run between the runs of b that
// overlap it.
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

// Values the current row can still take without the store growing.
size_t RowRoom(const RgnBuilder &out) {
    return (out.Capacity - static_cast<size_t>(reinterpret_cast<const char *>(out.WritePos) -
                                               reinterpret_cast<const char *>(out.Region->SpanStore))) /
           sizeof(int32_t);
}

// Rows with fewer values than this (both inputs together) take the careful
// forms.  A computed step costs more than a predicted branch, and short
// rows are where branches predict: an outline's rows repeat the pattern of
// the row above.  Measured on outlines and random rows: the fast forms lose
// at 16 values and win from 48; at 32 they lost only where the same random
// rows came again and again (the predictor learns them; real inputs do not
// repeat).
constexpr size_t kFastRowValues = 24;

// The fast form when the row is long enough and the builder has room for
// everything it may write: na + nb values, 2 more in a split row.
bool TakeFast(const RgnBuilder &out, uint32_t na, uint32_t nb) {
    const size_t n = static_cast<size_t>(na) + nb;
    return n >= kFastRowValues && RowRoom(out) >= n + 2;
}

// The current row's values end at w (written by a fast row function).
void RowWrittenTo(RgnBuilder &out, int32_t *w) {
    out.RowValues += static_cast<uint32_t>(w - out.WritePos);
    out.WritePos = w;
}

void IntersectRow(RgnBuilder &out, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb, int32_t) {
    if (TakeFast(out, na, nb))
        RowWrittenTo(out, IntersectRuns(out.WritePos, a, na, b, nb));
    else
        IntersectRowCareful(out, a, na, b, nb);
}

void UnionRow(RgnBuilder &out, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb, int32_t left) {
    if (TakeFast(out, na, nb))
        RowWrittenTo(out, UnionRuns(out.WritePos, a, na, b, nb));
    else
        UnionRowCareful(out, a, na, b, nb, left);
}

void SubtractRow(RgnBuilder &out, const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb, int32_t) {
    if (TakeFast(out, na, nb))
        RowWrittenTo(out, SubtractRuns(out.WritePos, a, na, b, nb));
    else
        SubtractRowInto([&](int32_t s, int32_t e) { RgnBuilderAddSpan(out, s, e); }, a, na, b, nb);
}

// Walks the rows of rect, handing each row function the inputs' runs.
template <class RowFn>
int WalkRows(ZoraRgn **ppOut, const RECT &rect, const ZoraRgn *a, const ZoraRgn *b, RowFn &&row) {
    RgnBuilder out;
    int rc = RgnBuilderBegin(out, rect);
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
    DeleteRgnCaches(*pRgn);
    return RC_SUCCESS;
}

int RgnMakeEmpty(ZoraRgn *pRgn) {
    pRgn->Bounds = RECT{0, 0, 0, 0};
    K_Free(pRgn->RowTable);
    K_Free(pRgn->SpanStore);
    pRgn->RowTable = nullptr;
    pRgn->SpanStore = nullptr;
    pRgn->RowTableSize = 0;
    pRgn->SpanStoreSize = 0;
    return RgnDeleteCaches(pRgn);
}

void RgnTakeOver(ZoraRgn *pDst, OwnedRgn src) {
    RgnMakeEmpty(pDst);
    *pDst = *src;  // a built region has no caches and zero cache keys
    K_Free(src.release());
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
    return WalkRows(ppOut, Intersect(a->Bounds, b->Bounds), a, b, IntersectRow);
}

int RgnUnion(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b) {
    if (!ppOut || !a || !b)
        return RC_INVALID_PARAMETER;
    return WalkRows(ppOut, Union(a->Bounds, b->Bounds), a, b, UnionRow);
}

int RgnSubtract(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b) {
    if (!ppOut || !a || !b)
        return RC_INVALID_PARAMETER;
    return WalkRows(ppOut, a->Bounds, a, b, SubtractRow);
}

// (a - b) u (b - a), the two differences of a row made in scratch rows
// and merged by the union's row function: the same runs as two whole
// temporary regions would give, in one walk.
int RgnXor(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b) {
    if (!ppOut || !a || !b)
        return RC_INVALID_PARAMETER;
    // A fast difference row writes at most one run per run of both inputs.
    const size_t scratchValues = static_cast<size_t>(LongestRow(a)) + LongestRow(b) + 2;
    const TempBlock<int32_t> scratch = TempAlloc<int32_t>(2 * scratchValues * sizeof(int32_t));
    if (!scratch)
        return RC_NO_MEMORY;
    int32_t *ab = scratch.get(), *ba = scratch.get() + scratchValues;
    const int rc = WalkRows(ppOut, Union(a->Bounds, b->Bounds), a, b,
                            [&](RgnBuilder &out, const int32_t *ra, uint32_t na, const int32_t *rb, uint32_t nb,
                                int32_t left) {
                                uint32_t nab = 0, nba = 0;
                                if (static_cast<size_t>(na) + nb >= kFastRowValues) {
                                    nab = static_cast<uint32_t>(SubtractRuns(ab, ra, na, rb, nb) - ab);
                                    nba = static_cast<uint32_t>(SubtractRuns(ba, rb, nb, ra, na) - ba);
                                } else {
                                    SubtractRowInto([&](int32_t s, int32_t e) { ab[nab++] = s, ab[nab++] = e; },
                                                    ra, na, rb, nb);
                                    SubtractRowInto([&](int32_t s, int32_t e) { ba[nba++] = s, ba[nba++] = e; },
                                                    rb, nb, ra, na);
                                }
                                UnionRow(out, ab, nab, ba, nba, left);
                            });
    return rc;
}

int RgnClipToRect(ZoraRgn *pRgn, const RECT *pRect) {
    const RECT clip = Intersect(pRgn->Bounds, *pRect);
    if (IsEmptyRect(clip))
        return RgnMakeEmpty(pRgn);
    if (EqualRect(&clip, &pRgn->Bounds))
        return RC_SUCCESS;
    ZoraRgn *clipped = nullptr;
    const int rc = WalkRows(&clipped, clip, pRgn, pRgn,
                            [&](RgnBuilder &out, const int32_t *v, uint32_t n, const int32_t *, uint32_t, int32_t) {
                                for (uint32_t i = 0; i < n; i += 2)
                                    RgnBuilderAddSpan(out, std::max<int32_t>(v[i], clip.left), std::min<int32_t>(v[i + 1], clip.right));
                            });
    if (rc != RC_SUCCESS)
        return rc;
    RgnTakeOver(pRgn, OwnedRgn(clipped));
    return RC_SUCCESS;
}

// ---- the combine operation --------------------------------------------------

int RgnCombine(BitmapHandle *pBitmap, RgnTransform *pTransform, OwnedRgn newRgn, UINT uMode) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!newRgn) {
        K_FreeRegion(pBitmap->Region);
        pBitmap->Region = nullptr;
        return RC_SUCCESS;
    }
    int rc = RC_SUCCESS;
    if (pTransform && (rc = RgnTransformToBitmap(pBitmap, pTransform, newRgn.get())) != RC_SUCCESS)
        return rc;
    if (uMode > RGN_MODE_SET_COMPLEMENT)
        return RC_INVALID_PARAMETER;
    const bool unclipped = (pBitmap->Flags & BITMAP_RGN_UNCLIPPED) != 0;
    const RECT bitmapRect{0, 0, pBitmap->Width, pBitmap->Height};
    const RECT whole = unclipped ? Union(bitmapRect, newRgn->Bounds) : bitmapRect;

    const ZoraRgn *old = pBitmap->Region;
    OwnedRgn wholeRgn;
    const bool needsOld = uMode != RGN_MODE_SET && uMode != RGN_MODE_SET_COMPLEMENT;
    if ((needsOld && !old) || uMode == RGN_MODE_SET_COMPLEMENT) {
        ZoraRgn *made = nullptr;
        if ((rc = RgnFromRect(&made, &whole)) != RC_SUCCESS)
            return rc;
        wholeRgn.reset(made);
        if (needsOld)
            old = made;
    }
    ZoraRgn *made = nullptr;
    const ZoraRgn *add = newRgn.get();
    switch (uMode) {
    case RGN_MODE_AND: rc = RgnIntersect(&made, add, old); break;
    case RGN_MODE_SET: made = newRgn.release(); break;
    case RGN_MODE_NEW_MINUS_OLD: rc = RgnSubtract(&made, add, old); break;
    case RGN_MODE_OLD_MINUS_NEW: rc = RgnSubtract(&made, old, add); break;
    case RGN_MODE_OR: rc = RgnUnion(&made, add, old); break;
    case RGN_MODE_XOR: rc = RgnXor(&made, add, old); break;
    default: rc = RgnSubtract(&made, wholeRgn.get(), add); break;
    }
    OwnedRgn result(made);
    wholeRgn.reset();
    newRgn.reset();
    if (rc == RC_SUCCESS && !unclipped)
        rc = RgnClipToRect(result.get(), &bitmapRect);
    if (rc != RC_SUCCESS)
        return rc;
    K_FreeRegion(pBitmap->Region);
    pBitmap->Region = result.release();
    return RC_SUCCESS;
}

int __stdcall RgnCombineSlot(BitmapHandle *pBitmap, RgnTransform *pTransform, ZoraRgn *pNewRgn, UINT uMode) {
    return RgnCombine(pBitmap, pTransform, OwnedRgn(pNewRgn), uMode);
}

}  // namespace zv

// ---- exported ----------------------------------------------------------------

extern "C" {

int __stdcall Z_CopyZoraRgn(ZoraRgn **ppDst, ZoraRgn *pSrc) {
    if (!ppDst)
        return RC_INVALID_PARAMETER;
    if (!pSrc) {
        *ppDst = nullptr;
        return RC_SUCCESS;
    }
    // *ppDst is written only on success: a failed copy leaves the caller's pointer.
    zv::OwnedRgn copy(static_cast<ZoraRgn *>(K_AllocZero(1, sizeof(ZoraRgn))));
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
        if (!copy->RowTable || (!copy->SpanStore && pSrc->SpanStoreSize))
            return RC_NO_MEMORY;
        std::memcpy(copy->RowTable, pSrc->RowTable, pSrc->RowTableSize);
        std::memcpy(copy->SpanStore, pSrc->SpanStore, pSrc->SpanStoreSize);
    }
    if (pSrc->hRgnCache) {
        zv::GdiObject<HRGN> cache(CreateRectRgn(0, 0, 0, 0));
        if (cache && CombineRgn(cache.get(), pSrc->hRgnCache, nullptr, RGN_COPY) != ERROR)
            copy->hRgnCache = cache.release();
    }
    *ppDst = copy.release();
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
