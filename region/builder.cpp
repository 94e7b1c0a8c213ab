// The region builder: runs collected row by row into a new ZoraRgn.
//
// The span store always keeps MaxRowBytes free beyond the rows already
// committed, the most values one row of the build rectangle can need
// (a row of width w holds at most (w + 1) / 2 separate runs), so a row is
// written without capacity checks and the store grows only between rows,
// by GrowStep bytes (a whole number of rows, up to 16 KB; one row when a
// row needs more).  Growing a wide build one row at a time stays cheap
// because the kernel's resize keeps spare room behind a growing block.  The
// row table is allocated at its full height at the start; both arrays are
// trimmed to the bytes in use once, at the end.
//
// The one exception is a row of touching runs ((0, 5), (5, 9) is allowed
// by the invariants), which can exceed the width bound: RgnBuilderAddSpan
// notices that it would write past the store and grows it.
#include "region/region.h"

#include <algorithm>
#include <climits>

namespace zv {

namespace {

constexpr size_t kGrowLimit = 16384;

// Bytes the span store grows by when a row outgrows MaxRowBytes and the
// build rectangle gave no row room at all.
constexpr size_t kMinGrow = 64;

}  // namespace

int RgnBuilderBegin(RgnBuilder &b, const RECT &rect) {
    b = RgnBuilder{};
    b.CurrentRow = rect.top;
    const int64_t rows = static_cast<int64_t>(rect.bottom) - rect.top;
    int64_t width = static_cast<int64_t>(rect.right) - rect.left + 1;
    width = width < 0 ? 0 : width & ~int64_t{1};
    if (static_cast<uint64_t>(width) > SIZE_MAX / 8 || (rows > 0 && static_cast<uint64_t>(rows) > SIZE_MAX / 16))
        return RC_NO_MEMORY;
    b.MaxRowBytes = static_cast<size_t>(width) * 4;
    if (b.MaxRowBytes > kGrowLimit)
        b.GrowStep = b.MaxRowBytes;
    else if (b.MaxRowBytes)
        b.GrowStep = kGrowLimit / b.MaxRowBytes * b.MaxRowBytes;

    auto *rgn = static_cast<ZoraRgn *>(K_AllocZero(1, sizeof(ZoraRgn)));
    if (!rgn)
        return RC_NO_MEMORY;
    if (rows > 0) {
        rgn->RowTable = static_cast<RgnRow *>(K_AllocZero(static_cast<size_t>(rows), sizeof(RgnRow)));
        if (!rgn->RowTable) {
            K_FreeRegion(rgn);
            return RC_NO_MEMORY;
        }
        b.RowTableUsed = static_cast<size_t>(rows) * sizeof(RgnRow);
    }
    if (b.MaxRowBytes) {
        rgn->SpanStore = static_cast<int32_t *>(K_Alloc(b.GrowStep));
        if (!rgn->SpanStore) {
            K_FreeRegion(rgn);
            return RC_NO_MEMORY;
        }
        b.Capacity = b.GrowStep;
    }
    b.Region = rgn;
    b.RowEntry = rgn->RowTable;
    b.WritePos = rgn->SpanStore;
    return RC_SUCCESS;
}

void RgnBuilderGrowForSpan(RgnBuilder &b) {
    const size_t step = b.GrowStep > kMinGrow ? b.GrowStep : kMinGrow;
    const size_t used = reinterpret_cast<char *>(b.WritePos) - reinterpret_cast<char *>(b.Region->SpanStore);
    auto *store = static_cast<int32_t *>(K_Realloc(b.Region->SpanStore, b.Capacity + step));
    if (!store) {
        b.Failed = true;
        return;
    }
    b.Region->SpanStore = store;
    b.Capacity += step;
    b.WritePos = store + used / 4;
}

void RgnBuilderAbandon(RgnBuilder &b) {
    K_FreeRegion(b.Region);
    b.Region = nullptr;
}

int RgnBuilderEndRowSlow(RgnBuilder &b) {
    ZoraRgn *r = b.Region;
    if (!r)
        return RC_NO_MEMORY;
    if (b.Failed) {
        RgnBuilderAbandon(b);
        return RC_NO_MEMORY;
    }
    // A row beyond the rectangle the build was begun with has no entry.
    if (reinterpret_cast<char *>(b.RowEntry + 1) > reinterpret_cast<char *>(r->RowTable) + b.RowTableUsed) {
        RgnBuilderAbandon(b);
        return RC_INVALID_PARAMETER;
    }
    return RC_SUCCESS;
}

int RgnBuilderGrowForRow(RgnBuilder &b) {
    ZoraRgn *r = b.Region;
    const size_t capacity = r->SpanStoreSize + b.GrowStep;
    auto *store = static_cast<int32_t *>(K_Realloc(r->SpanStore, capacity));
    if (!store) {
        RgnBuilderAbandon(b);
        return RC_NO_MEMORY;
    }
    r->SpanStore = store;
    b.Capacity = capacity;
    b.WritePos = r->SpanStore + r->SpanStoreSize / 4;
    return RC_SUCCESS;
}

namespace {

// Trims a block to cb bytes; 0 frees it.  A failed shrink keeps the block.
template <class T>
void Trim(T *&block, size_t cb) {
    if (!cb) {
        K_Free(block);
        block = nullptr;
        return;
    }
    if (auto *smaller = static_cast<T *>(K_Realloc(block, cb)))
        block = smaller;
}

}  // namespace

void RgnBuilderFinish(RgnBuilder &b) {
    ZoraRgn *r = b.Region;
    if (!r)
        return;
    if (r->RowTableSize < b.RowTableUsed || !r->RowTableSize)
        Trim(r->RowTable, r->RowTableSize);
    if (r->SpanStoreSize < b.Capacity || !r->SpanStoreSize)
        Trim(r->SpanStore, r->SpanStoreSize);
    if (!r->RowTableSize)
        r->Bounds = RECT{0, 0, 0, 0};
}

}  // namespace zv
