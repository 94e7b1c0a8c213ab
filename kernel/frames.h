// Helpers of the kernel's whole-bitmap operations (fill, conversion copy,
// rectangle copy, combine): walking the pixels a bitmap's region selects.
#pragma once

#include "kernel/kernel_internal.h"
#include "kernel/pixels.h"

#include <algorithm>
#include <cstring>

namespace zv::kern {

// Calls fn(row, x0, x1) for every run [x0, x1) of row `row` in rows
// [top, bottom) that region r selects, cut to columns [left, right);
// without a region the whole span of every row.  Region runs are in the
// bitmap's stored pixel coordinates.
template <class Fn>
void ForEachSelectedRun(const ZoraRgn *r, int left, int top, int right, int bottom, Fn &&fn) {
    if (!r) {
        for (int y = top; y < bottom; ++y)
            fn(y, left, right);
        return;
    }
    const int y0 = std::max<int>(top, r->Bounds.top), y1 = std::min<int>(bottom, r->Bounds.bottom);
    for (int y = y0; y < y1; ++y) {
        const RgnRow &row = r->RowTable[y - r->Bounds.top];
        const int32_t *runs = r->SpanStore + row.Offset / 4;
        for (uint32_t i = 0; i + 1 < row.Count; i += 2) {
            const int x0 = std::max<int>(runs[i], left), x1 = std::min<int>(runs[i + 1], right);
            if (x0 < x1)
                fn(y, x0, x1);
        }
    }
}

// Copies pixels [sx, sx + n) of one row to [dx, dx + n) of another.
inline void CopyPixels(const BYTE *src, int sx, BYTE *dst, int dx, int n, int bits) {
    if (bits % 8 == 0) {
        std::memmove(dst + size_t(dx) * (bits / 8), src + size_t(sx) * (bits / 8), size_t(n) * (bits / 8));
        return;
    }
    for (int i = 0; i < n; ++i)
        CopyPixel(src, sx + i, dst, dx + i, bits);
}

// Start of stored row y.
inline BYTE *RowOf(const BitmapHandle &b, int y) { return b.Data + size_t(y) * size_t(b.BytesPerLine); }

}  // namespace zv::kern
