// Regions inside the library: the builder, the run algebra, the combine
// operation, the geometric transforms and the conversion from GDI regions.
//
// Data layout of a finished ZoraRgn (see zvtypes.h):
//
//   Bounds.top ............................................ row table entry 0
//   RowTable[y - Bounds.top] = { Count, Offset }  --->  SpanStore + Offset / 4
//                                                        s0 e0 s1 e1 ...  (Count values)
//   Bounds.bottom - 1 ..................................... last entry
//
// A run (s, e) covers s <= x < e.  Rows between the first and the last may
// be empty ({0, 0}); the first and the last are not.  An empty region has
// everything zero and both arrays null.
#pragma once

#include "common/geometry.h"
#include "common/guards.h"
#include "zvdisp.h"
#include "zvkern.h"

namespace zv {

// ---- builder -------------------------------------------------------------
// Working state of one build; lives on the caller's stack.  Rows are
// collected from the rectangle's top downwards, runs of a row in ascending
// order; RgnBuilderEndRow is called once per row, empty rows included.
struct RgnBuilder {
    ZoraRgn *Region;       // the region being built; null after a failure
    int32_t *WritePos;     // where the next value of the current row goes
    uint32_t RowValues;    // values written for the current row
    RgnRow *RowEntry;      // the next row-table entry to fill
    size_t RowTableUsed;   // bytes of row table committed (entries allocated)
    size_t MaxRowBytes;    // the most bytes one row of the rectangle can need
    size_t GrowStep;       // bytes by which the span store grows
    size_t Capacity;       // bytes allocated for the span store
    int32_t CurrentRow;    // y of the row being collected
    bool Failed;           // a growth inside RgnBuilderAddSpan failed
};

int RgnBuilderBegin(RgnBuilder &b, const RECT &rect);
inline int RgnBuilderEndRow(RgnBuilder &b);
void RgnBuilderFinish(RgnBuilder &b);
// Releases the partial region of a build that is given up.
void RgnBuilderAbandon(RgnBuilder &b);
// The slow path of RgnBuilderAddSpan: a row holding more values than the
// rectangle's width allows (touching runs handed in by a caller).
void RgnBuilderGrowForSpan(RgnBuilder &b);

inline void RgnBuilderAddSpan(RgnBuilder &b, int32_t start, int32_t end) {
    if (start >= end)
        return;
    // MaxRowBytes of room is kept free for the current row, so the check
    // below only fires for rows of touching runs.
    if (reinterpret_cast<char *>(b.WritePos + 2) >
        reinterpret_cast<char *>(b.Region->SpanStore) + b.Capacity) {
        RgnBuilderGrowForSpan(b);
        if (b.Failed)
            return;
    }
    b.WritePos[0] = start;
    b.WritePos[1] = end;
    b.WritePos += 2;
    b.RowValues += 2;
}

// The out-of-line parts of RgnBuilderEndRow: the checks that fail only on
// misuse or after a failed growth, and the growth between rows.
int RgnBuilderEndRowSlow(RgnBuilder &b);
int RgnBuilderGrowForRow(RgnBuilder &b);

// Commits the current row (empty rows before the first run are not
// stored, empty rows after it advance the table with a zero entry) and
// keeps room for the next one.  Inline: it runs once per row of every
// build.
inline int RgnBuilderEndRow(RgnBuilder &b) {
    ZoraRgn *r = b.Region;
    if (!r || b.Failed)
        return RgnBuilderEndRowSlow(b);
    if (b.RowValues == 0) {
        if (r->RowTableSize)
            ++b.RowEntry;  // an inner empty row: its entry stays {0, 0}
        ++b.CurrentRow;
        return RC_SUCCESS;
    }
    if (reinterpret_cast<char *>(b.RowEntry + 1) > reinterpret_cast<char *>(r->RowTable) + b.RowTableUsed)
        return RgnBuilderEndRowSlow(b);
    const int32_t start = r->SpanStore[r->SpanStoreSize / 4], end = b.WritePos[-1];
    if (r->RowTableSize == 0) {
        r->Bounds = RECT{start, b.CurrentRow, end, b.CurrentRow};
    } else {
        if (start < r->Bounds.left)
            r->Bounds.left = start;
        if (end > r->Bounds.right)
            r->Bounds.right = end;
    }
    r->Bounds.bottom = ++b.CurrentRow;
    b.RowEntry->Count = b.RowValues;
    b.RowEntry->Offset = r->SpanStoreSize;
    ++b.RowEntry;
    r->RowTableSize = static_cast<uint32_t>(reinterpret_cast<char *>(b.RowEntry) - reinterpret_cast<char *>(r->RowTable));
    r->SpanStoreSize += 4 * b.RowValues;
    b.RowValues = 0;
    if (b.Capacity < r->SpanStoreSize + b.MaxRowBytes)
        return RgnBuilderGrowForRow(b);
    b.WritePos = r->SpanStore + r->SpanStoreSize / 4;
    return RC_SUCCESS;
}

// ---- region object and algebra -------------------------------------------
int RgnFromRect(ZoraRgn **ppOut, const RECT *pRect);
int RgnIntersect(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b);
int RgnUnion(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b);
int RgnSubtract(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b);
int RgnXor(ZoraRgn **ppOut, const ZoraRgn *a, const ZoraRgn *b);
// In place; pRgn and pRect are never null.
int RgnClipToRect(ZoraRgn *pRgn, const RECT *pRect);
int RgnDeleteCaches(ZoraRgn *pRgn);
int RgnMakeEmpty(ZoraRgn *pRgn);
// Replaces the runs and bounds of pDst by those of pSrc (whose block is
// freed); both caches of pDst are deleted and both cache keys end zero.
void RgnTakeOver(ZoraRgn *pDst, OwnedRgn src);

// The combine operation; newRgn is released on every path but the one
// that hangs it on the bitmap.
int RgnCombine(BitmapHandle *pBitmap, RgnTransform *pTransform, OwnedRgn newRgn, UINT uMode);
// The same as slot 7 of the region table, taking over pNewRgn.
int __stdcall RgnCombineSlot(BitmapHandle *pBitmap, RgnTransform *pTransform, ZoraRgn *pNewRgn, UINT uMode);

// Runs of row y: *pCount values at the returned pointer (null, 0 when the
// row is outside the region or empty).
inline const int32_t *RgnRowRuns(const ZoraRgn *r, int32_t y, uint32_t *pCount) {
    if (y < r->Bounds.top || y >= r->Bounds.bottom) {
        *pCount = 0;
        return nullptr;
    }
    const RgnRow &row = r->RowTable[y - r->Bounds.top];
    *pCount = row.Count;
    return r->SpanStore + row.Offset / 4;
}

// The pixel test of Z_IsPtInBitmapRgn on a region.
bool RgnContains(const ZoraRgn *r, int32_t y, int32_t x);

// ---- transforms -----------------------------------------------------------
int __stdcall RgnOffset(ZoraRgn *pRgn, int nDx, int nDy);
int __stdcall RgnFlip(ZoraRgn *pRgn, int nHeight);
int RgnScale(ZoraRgn *pRgn, int nXNum, int nXDen, int nYNum, int nYDen);
// RgnScale with the rows rounded up (bRowsUp, as RgnScale) or down: row y
// starts at (y * nYNum + extra) / nYDen, extra nYDen - 1 or 0.
int RgnScaleRows(ZoraRgn *pRgn, int nXNum, int nXDen, int nYNum, int nYDen, bool bRowsUp);
int __stdcall RgnMirrorWithBitmap(BitmapHandle *pBitmap);
int __stdcall RgnFlipWithBitmap(BitmapHandle *pBitmap);
int __stdcall RgnCopyWithOffset(BitmapHandle *pDst, BitmapHandle *pSrc, int nDx, int nDy);
int __stdcall RgnResizeWithBitmap(BitmapHandle *pBitmap, int nNewWidth, int nNewHeight);
int __stdcall RgnRotateWithBitmap(BitmapHandle *pBitmap, int nOldWidth, int nOldHeight, int nAngle);
int __stdcall RgnShearWithBitmap(BitmapHandle *pBitmap, int nAngle);
// Caller coordinates to bitmap coordinates, in place (the combine
// operation's step 3).
int RgnTransformToBitmap(const BitmapHandle *pBitmap, const RgnTransform *pTransform, ZoraRgn *pRgn);
int RgnTransformRectToCaller(const BitmapHandle *pBitmap, const RgnTransform *pTransform, RECT *pRect);
// Bitmap coordinates to caller coordinates for a whole region, in place
// (null transform: unchanged); turns clip to the caller's frame.  pBitmap
// and pRgn are never null.
int RgnTransformToCaller(const BitmapHandle *pBitmap, const RgnTransform *pTransform, ZoraRgn *pRgn);

// ---- GDI regions ------------------------------------------------------------
// The runs as a GDI region in the caller's coordinates of pTransform (none:
// bitmap coordinates; pBitmap is needed only with a transform), built in
// pieces of at most kRgnGdiPiece rectangles.
constexpr uint32_t kRgnGdiPiece = 4000;
constexpr uint32_t kRgnGdiStackEntries = 32;
int RgnToGdiRegion(const BitmapHandle *pBitmap, const ZoraRgn *pRgn, const RgnTransform *pTransform, HRGN *phRgn);
// How the conversion makes its pieces.  Tests choose small limits and a
// maker that refuses pieces, to reach the splits, the nested runs and the
// failure paths.
struct RgnGdiPieces {
    uint32_t MaxPiece = kRgnGdiPiece;             // the first limit N (at least 2)
    uint32_t StackEntries = kRgnGdiStackEntries;  // at least 3
    HRGN(*Make)(const RGNDATA *pData, DWORD cbData) = nullptr;  // null: ExtCreateRegion
};
int RgnToGdiRegionWith(const BitmapHandle *pBitmap, const ZoraRgn *pRgn, const RgnTransform *pTransform,
                       HRGN *phRgn, const RgnGdiPieces &pieces);

// ---- shapes ---------------------------------------------------------------
int RgnFromGdiRegion(HRGN hRgn, ZoraRgn **ppOut);
int __stdcall RgnSetRectService(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect, UINT uMode);

// ---- curves ---------------------------------------------------------------
int CardinalToBezier(POINT *pOut, uint32_t *puOutCount, const POINT *pPoints, int n, double tension, int close);
int SplineToBezier(POINT *pOut, uint32_t *puOutCount, const POINT *pPoints, int n, int close);
// The same conversions before truncation: x and y of each output point
// (the pointers are never null).
int CardinalToBezierExact(double *pOutXY, uint32_t *puOutCount, const POINT *pPoints, int n, double tension,
                          int close);
int SplineToBezierExact(double *pOutXY, uint32_t *puOutCount, const POINT *pPoints, int n, int close);

}  // namespace zv
