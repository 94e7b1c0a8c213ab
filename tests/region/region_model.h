// The slow model the region tests compare against: a region as a set of
// pixels (a bit mask over a window that covers every coordinate the tests
// use), plus an independent check of the invariants of a finished region
// and a snapshot to prove that a failed call left a region as it was.
#pragma once

#include "region/region.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace rgntest {

// Pixels (x, y) with kLo <= x, y < kHi.
constexpr int kLo = -64, kHi = 192, kSpan = kHi - kLo;

struct Mask {
    std::vector<uint8_t> bit;
    Mask() : bit(static_cast<size_t>(kSpan) * kSpan, 0) {}

    bool Get(int x, int y) const {
        return x >= kLo && x < kHi && y >= kLo && y < kHi && bit[Index(x, y)];
    }
    void Set(int x, int y, bool v = true) {
        if (x >= kLo && x < kHi && y >= kLo && y < kHi)
            bit[Index(x, y)] = v;
    }
    static size_t Index(int x, int y) { return static_cast<size_t>(y - kLo) * kSpan + (x - kLo); }

    static Mask Rect(int l, int t, int r, int b) {
        return Of([&](int x, int y) { return x >= l && x < r && y >= t && y < b; });
    }
    template <class Inside>
    static Mask Of(const Inside &inside) {
        Mask m;
        for (int y = kLo; y < kHi; ++y)
            for (int x = kLo; x < kHi; ++x)
                if (inside(x, y))
                    m.Set(x, y);
        return m;
    }
    template <class Op>
    Mask Combine(const Mask &o, Op op) const {
        Mask m;
        for (size_t i = 0; i < bit.size(); ++i)
            m.bit[i] = op(bit[i] != 0, o.bit[i] != 0) ? 1 : 0;
        return m;
    }
    // The runs [start, end) of row y.
    std::vector<std::pair<int, int>> Runs(int y) const {
        std::vector<std::pair<int, int>> runs;
        for (int x = kLo; x < kHi; ++x)
            if (Get(x, y) && !Get(x - 1, y))
                runs.emplace_back(x, x);
            else if (!Get(x, y) && Get(x - 1, y))
                runs.back().second = x;
        if (Get(kHi - 1, y))
            runs.back().second = kHi;
        return runs;
    }
    size_t Count() const { return static_cast<size_t>(std::count(bit.begin(), bit.end(), 1)); }
    bool operator==(const Mask &o) const { return bit == o.bit; }
    // Smallest rectangle of the set pixels; (0, 0, 0, 0) when none.
    RECT Bounds() const {
        RECT r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (int y = kLo; y < kHi; ++y)
            for (int x = kLo; x < kHi; ++x)
                if (bit[Index(x, y)])
                    r = RECT{std::min<LONG>(r.left, x), std::min<LONG>(r.top, y), std::max<LONG>(r.right, x + 1),
                             std::max<LONG>(r.bottom, y + 1)};
        return r.left > r.right ? RECT{0, 0, 0, 0} : r;
    }
};

// The pixels GDI says are inside a GDI region (PtInRegion over its box).
inline Mask PixelsOfGdi(HRGN h) {
    RECT box;
    GetRgnBox(h, &box);
    return Mask::Of([&](int x, int y) {
        return x >= box.left && x < box.right && y >= box.top && y < box.bottom && PtInRegion(h, x, y);
    });
}

// The pixels of a region read straight from its row table.
inline Mask MaskOf(const ZoraRgn *r) {
    Mask m;
    for (uint32_t i = 0; r && i < r->RowTableSize / 8; ++i) {
        const RgnRow &row = r->RowTable[i];
        const int32_t *v = r->SpanStore + row.Offset / 4;
        for (uint32_t k = 0; k + 1 < row.Count; k += 2)
            for (int32_t x = v[k]; x < v[k + 1]; ++x)
                m.Set(x, r->Bounds.top + static_cast<int>(i));
    }
    return m;
}

// Invariants 1-4 of a finished region, checked from their wording; an
// empty string when they hold.  Rows need not be stored in order (a flip
// reverses the table only).
inline std::string InvariantFailure(const ZoraRgn *r) {
    if (!r)
        return "null region";
    const RECT &b = r->Bounds;
    if (r->RowTableSize == 0)
        return b.left || b.top || b.right || b.bottom || r->SpanStoreSize || r->RowTable || r->SpanStore
                   ? "empty region with bounds or arrays" : "";
    if (r->RowTableSize != 8u * static_cast<uint32_t>(b.bottom - b.top))
        return "RowTableSize is not 8 x bounds height";
    const uint32_t rows = r->RowTableSize / 8;
    LONG left = INT32_MAX, right = INT32_MIN;
    uint32_t bytes = 0;
    for (uint32_t i = 0; i < rows; ++i) {
        const RgnRow &row = r->RowTable[i];
        auto at = [i] { return " in row " + std::to_string(i); };
        if (row.Count % 2 || (!row.Count && (i == 0 || i + 1 == rows || row.Offset)))
            return "odd count, empty first or last row or empty row with an offset" + at();
        if (row.Offset % 4 || row.Offset + 4ull * row.Count > r->SpanStoreSize)
            return "values outside the span store" + at();
        bytes += 4 * row.Count;
        const int32_t *v = r->SpanStore + row.Offset / 4;
        for (uint32_t k = 0; k < row.Count; k += 2)
            if (v[k] >= v[k + 1] || (k && v[k] < v[k - 1]))
                return "empty, inverted, overlapping or descending run" + at();
        left = row.Count ? std::min<LONG>(left, v[0]) : left;
        right = row.Count ? std::max<LONG>(right, v[row.Count - 1]) : right;
    }
    if (bytes != r->SpanStoreSize)
        return "SpanStoreSize is not the bytes of the rows";
    return left != b.left || right != b.right ? "left/right bounds are not the extreme runs" : "";
}

// Everything of a region that an operation may change.
struct Snapshot {
    bool Has = false;
    RECT Bounds{};
    std::vector<std::pair<uint32_t, uint32_t>> Rows;  // count, offset
    std::vector<int32_t> Spans;
    bool operator==(const Snapshot &o) const {
        return Has == o.Has && EqualRect(&Bounds, &o.Bounds) && Spans == o.Spans && Rows == o.Rows;
    }
};

inline Snapshot SnapshotOf(const ZoraRgn *r) {
    Snapshot s;
    for (uint32_t i = 0; r && i < r->RowTableSize / 8; ++i)
        s.Rows.emplace_back(r->RowTable[i].Count, r->RowTable[i].Offset);
    if (r)
        s.Has = true, s.Bounds = r->Bounds, s.Spans.assign(r->SpanStore, r->SpanStore + r->SpanStoreSize / 4);
    return s;
}

// Region checks as one assertion: invariants, pixels, bounds.
inline testing::AssertionResult Matches(const ZoraRgn *r, const Mask &expected) {
    const std::string bad = InvariantFailure(r);
    if (!bad.empty())
        return testing::AssertionFailure() << "invariant: " << bad;
    const Mask got = MaskOf(r);
    const RECT want = expected.Bounds(), &b = r->Bounds;
    if (!(got == expected))
        for (size_t i = 0;; ++i)
            if (got.bit[i] != expected.bit[i])
                return testing::AssertionFailure() << "pixel (" << int(i % kSpan) + kLo << ", "
                                                   << int(i / kSpan) + kLo << ") differs; " << got.Count()
                                                   << " pixels vs " << expected.Count();
    if (!EqualRect(&want, &b))
        return testing::AssertionFailure() << "bounds (" << b.left << ", " << b.top << ", " << b.right << ", "
                                           << b.bottom << ") vs (" << want.left << ", " << want.top << ", "
                                           << want.right << ", " << want.bottom << ")";
    return testing::AssertionSuccess();
}

// The combine modes on pixel sets.  Without an old region the bitmap
// rectangle stands in (widened to the new region's bounds when unclipped);
// the result is cut to the bitmap unless it is unclipped.
inline Mask ModelCombine(const BitmapHandle &bm, const Mask *old, const Mask &add, UINT mode) {
    const bool unclipped = (bm.Flags & BITMAP_RGN_UNCLIPPED) != 0;
    RECT whole{0, 0, bm.Width, bm.Height}, u;
    const RECT nb = unclipped ? add.Bounds() : RECT{};
    if (unclipped && UnionRect(&u, &whole, &nb))
        whole = u;
    return Mask::Of([&](int x, int y) {
        if (!unclipped && (x < 0 || y < 0 || x >= bm.Width || y >= bm.Height))
            return false;
        const bool w = x >= whole.left && x < whole.right && y >= whole.top && y < whole.bottom;
        const bool n = add.Get(x, y), o = old ? old->Get(x, y) : w;
        switch (mode) {
        case RGN_MODE_AND: return n && o;
        case RGN_MODE_SET: return n;
        case RGN_MODE_NEW_MINUS_OLD: return n && !o;
        case RGN_MODE_OLD_MINUS_NEW: return o && !n;
        case RGN_MODE_OR: return n || o;
        case RGN_MODE_XOR: return n != o;
        default: return w && !n;
        }
    });
}

struct GdiHandle {
    HRGN Handle = nullptr;
    ~GdiHandle() { DeleteObject(Handle); }  // none: nothing to delete
};

// The Bezier points of a cardinal spline through knots k: the knot order
// of each Close, control points at tension / 3 of the neighbours' chord.
inline std::vector<POINT> CardinalBezier(const std::vector<POINT> &k, double t, int close) {
    const int n = static_cast<int>(k.size()), s = close == 2 ? n - 1 : 0;
    const int segs = close == 0 ? n - 3 : close == 1 ? n : n - 1;
    auto at = [&](int i) { return k[i % n]; };
    auto pt = [](double x, double y) { return POINT{static_cast<LONG>(x), static_cast<LONG>(y)}; };
    std::vector<POINT> out{at(s + 1)};
    for (int j = 0; j < segs; ++j) {
        const POINT p0 = at(s + j), p1 = at(s + j + 1), p2 = at(s + j + 2), p3 = at(s + j + 3);
        out.push_back(pt(p1.x + t / 3 * (p2.x - p0.x), p1.y + t / 3 * (p2.y - p0.y)));
        out.push_back(pt(p2.x - t / 3 * (p3.x - p1.x), p2.y - t / 3 * (p3.y - p1.y)));
        out.push_back(p2);
    }
    return out;
}

// A bitmap descriptor without pixels, enough for region work.
inline BitmapHandle Frame(int width, int height, uint32_t flags = BITMAP_ALLOCATED, int orientation = 0) {
    BitmapHandle b{};
    b.Width = width, b.Height = height, b.BitsPerPixel = 8, b.Flags = flags, b.Orientation = orientation;
    return b;
}

// A region built through the builder, row by row, from the runs
// runs(y) = {start, end, start, end, ...} of the rows of `box`.
template <class RunsOf>
ZoraRgn *RgnOfRows(const RECT &box, const RunsOf &runs) {
    zv::RgnBuilder b;
    if (zv::RgnBuilderBegin(b, box) != RC_SUCCESS)
        return nullptr;
    for (int y = box.top; y < box.bottom; ++y) {
        const std::vector<int32_t> row = runs(y);
        for (size_t k = 0; k + 1 < row.size(); k += 2)
            zv::RgnBuilderAddSpan(b, row[k], row[k + 1]);
        if (zv::RgnBuilderEndRow(b) != RC_SUCCESS)
            return nullptr;
    }
    zv::RgnBuilderFinish(b);
    return b.Region;
}
inline ZoraRgn *RgnOfMask(const Mask &m) {
    return RgnOfRows(RECT{kLo, kLo, kHi, kHi}, [&](int y) {
        std::vector<int32_t> row;
        for (auto [s, e] : m.Runs(y))
            row.insert(row.end(), {s, e});
        return row;
    });
}

// Runs op (which changes bm's region) under every allocation failure.
// A failure must give RC_NO_MEMORY and leave the region as it was, or -
// when only a final trim failed - succeed with the clean run's result.
inline void SweepRegionOp(BitmapHandle &bm, const std::function<int()> &op) {
    ZoraRgn *master = bm.Region;
    const Snapshot before = SnapshotOf(master);
    auto restore = [&] {  // a copy of none is none
        K_FreeRegion(bm.Region);
        Z_CopyZoraRgn(&bm.Region, master);
    };
    bm.Region = nullptr;
    restore();
    ASSERT_EQ(op(), RC_SUCCESS);
    ASSERT_EQ(InvariantFailure(bm.Region), "");
    const Snapshot expected = SnapshotOf(bm.Region);
    auto check = [&](int rc) {
        EXPECT_TRUE(rc == RC_SUCCESS ? SnapshotOf(bm.Region) == expected
                                     : rc == RC_NO_MEMORY && SnapshotOf(bm.Region) == before) << rc;
        restore();
    };
    restore();
    zvtest::SweepAllocationFailures(op, check, check);
    K_FreeRegion(bm.Region);
    bm.Region = master;
}

// A random region within [x0, x0 + w) x [y0, y0 + h): blobs of rectangles,
// rows repeated.
inline Mask RandomMask(std::mt19937 &rng, int w, int h, int x0 = 0, int y0 = 0) {
    Mask m;
    const int n = 1 + static_cast<int>(rng() % 12);
    for (int k = 0; k < n; ++k) {
        const int l = static_cast<int>(rng() % w), t = static_cast<int>(rng() % h);
        const int r = l + 1 + static_cast<int>(rng() % 20), b = t + 1 + static_cast<int>(rng() % 20);
        const bool cut = rng() % 2;
        for (int y = t; y < b && y < h; ++y)
            for (int x = l; x < r && x < w; ++x)
                m.Set(x0 + x, y0 + y, cut ? !m.Get(x0 + x, y0 + y) : true);
    }
    return m;
}

// The quarter-turn-or-free rotation of regions, closed form: destination
// pixel (x, y) of dst takes the source pixel at the centre-based inverse
// mapping, each quotient truncated.
inline Mask RotateClosedForm(const Mask &src, const BitmapHandle &bm, int oldW, int oldH, int a, const RECT &dst) {
    const int64_t c = K_CosFixed(a), s = K_SinFixed(a);
    const int64_t ocx = oldW / 2, ocy = oldH / 2, ncx = bm.Width / 2, ncy = bm.Height / 2;
    return Mask::Of([&](int x, int y) {
        if (x < dst.left || x >= dst.right || y < dst.top || y >= dst.bottom)
            return false;
        return src.Get(static_cast<int>(ocx + ((x - ncx) * c - (y - ncy) * s) / 16384),
                       static_cast<int>(ocy + ((x - ncx) * s + (y - ncy) * c) / 16384));
    });
}

// The whole-region transform to caller coordinates, pixel by pixel: flipped
// within the bitmap's height and turned by the centre-based rotation into
// the caller's frame, then each pixel scaled like a rectangle's edges, then
// offset.
inline Mask RegionToCaller(const Mask &m, const BitmapHandle &bm, const RgnTransform *t) {
    if (!t)
        return m;
    int degrees = 0, flip = 0;
    if (t->Orientation != bm.Orientation)
        K_GetOrientationTurn(bm.Orientation, t->Orientation, &degrees, &flip);
    const Mask flipped = flip ? Mask::Of([&](int x, int y) { return m.Get(x, bm.Height - 1 - y); }) : m;
    const int angle = ((degrees * 100) % 36000 + 36000) % 36000, w = angle == 18000 ? bm.Width : bm.Height;
    const int h = angle == 18000 ? bm.Height : bm.Width;
    const Mask turned = angle ? RotateClosedForm(flipped, Frame(w, h, 0, 0), bm.Width, bm.Height,
                                                 (36000 - angle) % 36000, RECT{0, 0, w, h})
                              : flipped;
    const bool rowsUp = t->Orientation == 2 || (t->Orientation == 0 && bm.Orientation == 4);
    const int64_t extra = rowsUp ? t->ScaleYDen - 1 : 0;
    auto col = [&](int64_t v) { return static_cast<int>((v * t->ScaleXNum + t->ScaleXDen - 1) / t->ScaleXDen); };
    auto row = [&](int64_t v) { return static_cast<int>((v * t->ScaleYNum + extra) / t->ScaleYDen); };
    Mask out;
    for (int y = kLo; y < kHi; ++y)
        for (int x = kLo; x < kHi; ++x)
            if (turned.Get(x, y))
                for (int v = row(y); v < row(y + 1); ++v)
                    for (int u = col(x); u < col(x + 1); ++u)
                        out.Set(u + t->OffsetX, v + t->OffsetY);
    return out;
}

// The caller pixels that the bitmap pixels of m cover, each mapped alone.
inline Mask MapToCaller(const Mask &m, const BitmapHandle &bm, const RgnTransform *t) {
    Mask out;
    for (int y = 0; y < bm.Height; ++y)
        for (int x = 0; x < bm.Width; ++x) {
            RECT px{x, y, x + 1, y + 1};
            zv::RgnTransformRectToCaller(&bm, t, &px);
            for (int v = px.top; m.Get(x, y) && v < px.bottom; ++v)
                for (int u = px.left; u < px.right; ++u)
                    out.Set(u, v);
        }
    return out;
}

}  // namespace rgntest
