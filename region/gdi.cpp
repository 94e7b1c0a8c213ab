// Runs to a GDI region.
//
// The runs become rectangles, one per run of a band of identical rows,
// mapped to the caller's coordinates and sorted by top, then left; that
// list is handed to ExtCreateRegion.  Wine's ExtCreateRegion unites the
// rectangles one at a time, so its cost grows with the square of their
// number (about 1.2 s for 40,000); the list is therefore made into GDI
// regions in pieces of at most N rectangles, which are then united:
//
//     buffer:  [hdr][r0 r1 ... r(k-1)][rk ... r(n-1)]
//                   '--- first part --''- second part -'
//
// A piece larger than N is split in two halves; the first half is
// finished (with all its own splits) before the second is begun, so its
// rectangles are spent by then and the second half's 32-byte header can
// be written over the first half's last two rectangles, right in front of
// the second half.  The header of the whole list, in front of the first
// rectangle, serves the first piece.  Pending pieces are kept on an
// explicit stack; a piece that finds the stack nearly full is converted by
// a fresh run with a stack of its own.  When ExtCreateRegion refuses a
// piece, N is halved (to at most the piece's size) and the piece split.
#include "region/region.h"

#include <algorithm>

namespace zv {

namespace {

constexpr uint32_t kHeaderRects = sizeof(RGNDATAHEADER) / sizeof(RECT);  // 2

// A piece of the list and, once its first half is made, that half's region.
struct Piece {
    RECT *First;
    uint32_t Count;
    HRGN FirstHalf;  // null until the first half is finished
};

struct PieceRun {
    LONG BoundLeft, BoundRight;  // of the whole list, in every header
    uint32_t &MaxPiece;          // N, shared by nested runs
    uint32_t StackEntries;
    HRGN (*Make)(const RGNDATA *, DWORD);
};

// One piece in one ExtCreateRegion call, its header written in front of it.
HRGN CreatePiece(const PieceRun &run, RECT *first, uint32_t count) {
    auto *header = reinterpret_cast<RGNDATAHEADER *>(first - kHeaderRects);
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = count;
    header->nRgnSize = count * sizeof(RECT);
    header->rcBound = count ? RECT{run.BoundLeft, first[0].top, run.BoundRight, first[count - 1].bottom}
                            : RECT{0, 0, 0, 0};
    return run.Make(reinterpret_cast<const RGNDATA *>(header), sizeof(RGNDATAHEADER) + count * sizeof(RECT));
}

void DeletePending(Piece *stack, uint32_t depth) {
    for (uint32_t i = 0; i < depth; ++i)
        if (stack[i].FirstHalf)
            DeleteObject(stack[i].FirstHalf);
}

HRGN CreatePieces(const PieceRun &run, RECT *first, uint32_t count);

// Splits the piece on top of the stack, or converts it by a nested run
// when fewer than two entries are free.  False when the piece cannot be
// made at all.
bool SplitOrNest(const PieceRun &run, Piece *stack, uint32_t &depth, HRGN &made) {
    Piece &p = stack[depth - 1];
    if (run.StackEntries - depth < 2) {
        made = CreatePieces(run, p.First, p.Count);
        --depth;
        return made != nullptr;
    }
    stack[depth++] = Piece{p.First, p.Count / 2, nullptr};
    return true;
}

HRGN CreatePieces(const PieceRun &run, RECT *first, uint32_t count) {
    Piece stack[kRgnGdiStackEntries];
    const uint32_t entries = std::min(run.StackEntries, kRgnGdiStackEntries);
    PieceRun own{run.BoundLeft, run.BoundRight, run.MaxPiece, entries, run.Make};
    uint32_t depth = 0;
    stack[depth++] = Piece{first, count, nullptr};
    HRGN made = nullptr;  // the region of the piece just finished
    while (depth) {
        if (!made) {
            // The top piece is new: make it whole, or split it.
            Piece &p = stack[depth - 1];
            if (p.Count <= own.MaxPiece) {
                made = CreatePiece(own, p.First, p.Count);
                if (made) {
                    --depth;
                    continue;
                }
                own.MaxPiece = std::min(own.MaxPiece / 2, p.Count);
                if (own.MaxPiece < 2 || p.Count < 2)
                    break;
            }
            if (!SplitOrNest(own, stack, depth, made))
                break;
            continue;
        }
        // A piece is finished: it is the first or the second half of the
        // piece below it on the stack.
        Piece &parent = stack[depth - 1];
        const uint32_t half = parent.Count / 2;
        if (!parent.FirstHalf) {
            parent.FirstHalf = made;
            made = nullptr;
            stack[depth++] = Piece{parent.First + half, parent.Count - half, nullptr};
            continue;
        }
        const bool united = CombineRgn(made, made, parent.FirstHalf, RGN_OR) != ERROR;
        DeleteObject(parent.FirstHalf);
        parent.FirstHalf = nullptr;
        --depth;
        if (!united) {  // GCOVR_EXCL_START: a union of two regions fails only with GDI's memory used up
            DeleteObject(made);
            made = nullptr;
            break;
        }  // GCOVR_EXCL_STOP
    }
    if (depth) {  // failed: nothing made so far survives
        DeletePending(stack, depth);
        if (made)
            DeleteObject(made);
        return nullptr;
    }
    return made;
}

HRGN MakeByGdi(const RGNDATA *pData, DWORD cbData) { return ExtCreateRegion(nullptr, cbData, pData); }

bool SameRuns(const int32_t *a, const RgnRow &ra, const int32_t *b, const RgnRow &rb) {
    return ra.Count == rb.Count && std::equal(a, a + ra.Count, b);
}

}  // namespace

int RgnToGdiRegionWith(const BitmapHandle *pBitmap, const ZoraRgn *pRgn, const RgnTransform *pTransform,
                       HRGN *phRgn, const RgnGdiPieces &pieces) {
    if (!pRgn || !phRgn || pieces.StackEntries < 3 || pieces.MaxPiece < 2)
        return RC_INVALID_PARAMETER;
    const uint32_t rows = pRgn->RowTableSize / sizeof(RgnRow);
    size_t values = 0;
    for (uint32_t i = 0; i < rows; ++i)
        values += pRgn->RowTable[i].Count;
    if (values / 2 > UINT32_MAX / sizeof(RECT) - kHeaderRects)
        return RC_NO_MEMORY;
    const TempBlock<RECT> buffer = TempAlloc<RECT>((values / 2 + kHeaderRects) * sizeof(RECT));
    if (!buffer)
        return RC_NO_MEMORY;
    RECT *const rects = buffer.get() + kHeaderRects;

    // Bands of identical rows, each run a rectangle in caller coordinates.
    uint32_t count = 0;
    RECT bound{0, 0, 0, 0};
    bool sorted = true;
    int rc = RC_SUCCESS;
    for (uint32_t i = 0; i < rows && rc == RC_SUCCESS;) {
        const RgnRow &row = pRgn->RowTable[i];
        const int32_t *runs = pRgn->SpanStore + row.Offset / 4;
        uint32_t h = 1;
        while (i + h < rows && SameRuns(runs, row, pRgn->SpanStore + pRgn->RowTable[i + h].Offset / 4,
                                        pRgn->RowTable[i + h]))
            ++h;
        const LONG y = pRgn->Bounds.top + static_cast<LONG>(i);
        for (uint32_t k = 0; k < row.Count; k += 2) {
            RECT r{runs[k], y, runs[k + 1], y + static_cast<LONG>(h)};
            if (pTransform && (rc = RgnTransformRectToCaller(pBitmap, pTransform, &r)) != RC_SUCCESS)
                break;
            if (r.left >= r.right || r.top >= r.bottom)
                continue;
            if (count && (r.top < rects[count - 1].top ||
                          (r.top == rects[count - 1].top && r.left < rects[count - 1].left)))
                sorted = false;
            UnionRect(&bound, &bound, &r);
            rects[count++] = r;
        }
        i += h;
    }
    if (rc != RC_SUCCESS)
        return rc;
    auto *header = reinterpret_cast<RGNDATAHEADER *>(buffer.get());
    *header = RGNDATAHEADER{sizeof(RGNDATAHEADER), RDH_RECTANGLES, count, count * static_cast<DWORD>(sizeof(RECT)), bound};
    if (!sorted)
        std::sort(rects, rects + count, [](const RECT &a, const RECT &b) {
            return a.top < b.top || (a.top == b.top && a.left < b.left);
        });

    uint32_t n = pieces.MaxPiece;
    const HRGN made = CreatePieces(
        PieceRun{bound.left, bound.right, n, pieces.StackEntries, pieces.Make ? pieces.Make : MakeByGdi}, rects, count);
    if (!made)
        return RC_NO_MEMORY;
    *phRgn = made;
    return RC_SUCCESS;
}

int RgnToGdiRegion(const BitmapHandle *pBitmap, const ZoraRgn *pRgn, const RgnTransform *pTransform, HRGN *phRgn) {
    return RgnToGdiRegionWith(pBitmap, pRgn, pTransform, phRgn, RgnGdiPieces{});
}

}  // namespace zv
