// The run structure of the algebra's results, not only their pixels:
// union merges runs that overlap or touch, intersection keeps touching runs
// apart, a difference cuts each run of a on its own.  Every row of every
// result is compared run for run with a slow reference that follows the
// row algorithms step by step, on rows built so that equal and touching
// edges (between the inputs and inside one input) are the common case.
#include "region_model.h"

#include <algorithm>
#include <climits>

using namespace rgntest;

namespace {

using Runs = std::vector<int32_t>;  // s0 e0 s1 e1 ...

// ---- the reference row algorithms ------------------------------------------

// Two cursors; the overlap of the current runs is emitted when non-empty,
// then the run that ends first is done (both when they end together).
Runs RefIntersect(const Runs &a, const Runs &b) {
    Runs out;
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const int32_t s = std::max(a[i], b[j]), e = std::min(a[i + 1], b[j + 1]);
        if (s < e) {
            out.push_back(s);
            out.push_back(e);
        }
        const int32_t ae = a[i + 1], be = b[j + 1];
        if (ae <= be)
            i += 2;
        if (be <= ae)
            j += 2;
    }
    return out;
}

// The current run starts empty at the left edge.  A next run of the first
// input that starts inside it or at its end extends it; else the same for
// the second input; else it is emitted (when non-empty) and the next run
// with the smaller start becomes current, the second input's on a tie.
Runs RefUnion(const Runs &a, const Runs &b, int32_t left) {
    Runs out;
    int32_t cs = left, ce = left;
    size_t i = 0, j = 0;
    for (;;) {
        if (i < a.size() && a[i] >= cs && a[i] <= ce) {
            ce = std::max(ce, a[i + 1]);
            i += 2;
            continue;
        }
        if (j < b.size() && b[j] >= cs && b[j] <= ce) {
            ce = std::max(ce, b[j + 1]);
            j += 2;
            continue;
        }
        if (cs < ce) {
            out.push_back(cs);
            out.push_back(ce);
        }
        const bool aLeft = i < a.size(), bLeft = j < b.size();
        if (!aLeft && !bLeft)
            return out;
        if (bLeft && (!aLeft || b[j] <= a[i])) {
            cs = b[j], ce = b[j + 1];
            j += 2;
        } else {
            cs = a[i], ce = a[i + 1];
            i += 2;
        }
    }
}

// a - b over the gaps of b: before b's first run (from a's left bound),
// between two runs of b (empty when they touch), after b's last run (to a's
// right bound); the whole of a's width when b is empty.  The part of a's
// run inside the current gap is emitted when non-empty; then the run of a
// that ends first is done, else the gap (both when they end together).
Runs RefSubtract(const Runs &a, const Runs &b, int32_t aLeft, int32_t aRight) {
    Runs gaps;
    if (b.empty()) {
        gaps = {aLeft, aRight};
    } else {
        gaps.push_back(aLeft);
        for (size_t k = 0; k < b.size(); k += 2) {
            gaps.push_back(b[k]);
            gaps.push_back(b[k + 1]);
        }
        gaps.push_back(aRight);
    }
    Runs out;
    size_t i = 0, g = 0;
    while (i < a.size() && g < gaps.size()) {
        const int32_t s = std::max(a[i], gaps[g]), e = std::min(a[i + 1], gaps[g + 1]);
        if (s < e) {
            out.push_back(s);
            out.push_back(e);
        }
        const bool gapsLeft = g + 2 < gaps.size();
        if (a[i + 1] < gaps[g + 1]) {
            i += 2;
        } else if (gapsLeft && a[i + 1] > gaps[g + 1]) {
            g += 2;
        } else {
            i += 2;
            g += 2;
        }
    }
    return out;
}

// ---- inputs ---------------------------------------------------------------

// One row of runs: 0 to 60 of them, edges on a small range, with touching
// runs frequent in some rows and the rule in others.  A dense row is 30 to
// 60 touching runs of one pixel: more values than the row's width, more
// than the builder keeps room for.
Runs RandomRow(std::mt19937 &rng, bool dense = false) {
    Runs row;
    if (!dense && rng() % 6 == 0)
        return row;
    const int count = dense ? 30 + static_cast<int>(rng() % 31) : static_cast<int>(rng() % 61);
    const int maxGap = dense ? 0 : static_cast<int>(rng() % 4);  // 0: all runs touch
    const int maxLen = dense ? 1 : 1 + static_cast<int>(rng() % 4);
    int32_t x = static_cast<int32_t>(rng() % 8) - 4;
    if (!dense && rng() % 8 == 0)
        x += 300;  // beside the other input's row, not over it
    for (int k = 0; k < count; ++k) {
        x += static_cast<int32_t>(rng() % (maxGap + 1));
        const int32_t e = x + 1 + static_cast<int32_t>(rng() % maxLen);
        row.push_back(x);
        row.push_back(e);
        x = e;
    }
    return row;
}

struct Rows {
    int32_t top = 0;
    std::vector<Runs> rows;  // rows top, top + 1, ...
    const Runs &At(int32_t y) const {
        static const Runs none;
        return y >= top && y < top + static_cast<int32_t>(rows.size()) ? rows[y - top] : none;
    }
};

RECT BoundsOf(const Rows &r) {
    RECT b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (size_t k = 0; k < r.rows.size(); ++k) {
        if (r.rows[k].empty())
            continue;
        const LONG y = r.top + static_cast<LONG>(k);
        b.left = std::min<LONG>(b.left, r.rows[k].front());
        b.right = std::max<LONG>(b.right, r.rows[k].back());
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y + 1);
    }
    return b.left > b.right ? RECT{0, 0, 0, 0} : b;
}

ZoraRgn *Build(const Rows &r) {
    const RECT b = BoundsOf(r);
    zv::RgnBuilder builder;
    if (zv::RgnBuilderBegin(builder, b) != RC_SUCCESS)
        return nullptr;
    for (int32_t y = b.top; y < b.bottom; ++y) {
        const Runs &row = r.At(y);
        for (size_t k = 0; k < row.size(); k += 2)
            zv::RgnBuilderAddSpan(builder, row[k], row[k + 1]);
        if (zv::RgnBuilderEndRow(builder) != RC_SUCCESS)
            return nullptr;
    }
    zv::RgnBuilderFinish(builder);
    return builder.Region;
}

RECT UnionBounds(const RECT &a, const RECT &b) {
    if (a.left >= a.right || a.top >= a.bottom)
        return b;
    if (b.left >= b.right || b.top >= b.bottom)
        return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

std::string Show(const Runs &r) {
    std::string s;
    for (size_t k = 0; k < r.size(); k += 2)
        s += "(" + std::to_string(r[k]) + "," + std::to_string(r[k + 1]) + ")";
    return s.empty() ? "none" : s;
}

// The region's rows equal the expected rows over [top, bottom), run for run,
// and nothing lies outside them; the bounds follow from the rows.
testing::AssertionResult SameRuns(const ZoraRgn *got, const Rows &want) {
    const std::string bad = InvariantFailure(got);
    if (!bad.empty())
        return testing::AssertionFailure() << "invariant: " << bad;
    const RECT wb = BoundsOf(want);
    if (!EqualRect(&wb, &got->Bounds))
        return testing::AssertionFailure() << "bounds (" << got->Bounds.left << ", " << got->Bounds.top << ", "
                                           << got->Bounds.right << ", " << got->Bounds.bottom << ") vs ("
                                           << wb.left << ", " << wb.top << ", " << wb.right << ", " << wb.bottom
                                           << ")";
    for (int32_t y = wb.top; y < wb.bottom; ++y) {
        uint32_t n;
        const int32_t *v = zv::RgnRowRuns(got, y, &n);
        const Runs have(v, v + n);
        if (have != want.At(y))
            return testing::AssertionFailure() << "row " << y << ": " << Show(have) << " vs " << Show(want.At(y));
    }
    return testing::AssertionSuccess();
}

TEST(RgnAlgebraRuns, RandomRowsAgainstTheRowAlgorithms) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(4711);
    size_t rowsCompared = 0, touchingInputs = 0;
    for (int iter = 0; iter < 2500; ++iter) {
        SCOPED_TRACE(iter);
        Rows ra, rb;
        ra.top = static_cast<int32_t>(rng() % 6);
        rb.top = static_cast<int32_t>(rng() % 6);
        // Dense regions fill the span store's growth step with rows of more
        // values than their width, so that rows meet a store without room.
        const bool dense = iter % 7 == 3;
        ra.rows.resize(dense ? 40 + rng() % 80 : 1 + rng() % 8);
        rb.rows.resize(dense ? 40 + rng() % 80 : 1 + rng() % 8);
        for (Runs &r : ra.rows)
            r = RandomRow(rng, dense);
        for (Runs &r : rb.rows)
            r = RandomRow(rng, dense);
        if (iter % 5 == 0)
            rb = ra;  // every edge equal
        ZoraRgn *a = Build(ra), *b = Build(rb);
        ASSERT_TRUE(a && b);
        ASSERT_TRUE(SameRuns(a, ra));
        ASSERT_TRUE(SameRuns(b, rb));
        for (const Rows *r : {&ra, &rb})
            for (const Runs &row : r->rows)
                for (size_t k = 2; k < row.size(); k += 2)
                    touchingInputs += row[k] == row[k - 1];

        const RECT ab = a->Bounds, bb = b->Bounds, all = UnionBounds(ab, bb);
        Rows inter, uni, diffAB, diffBA, exor;
        inter.top = uni.top = diffAB.top = diffBA.top = exor.top = all.top;
        for (int32_t y = all.top; y < all.bottom; ++y) {
            const Runs &x = ra.At(y), &z = rb.At(y);
            inter.rows.push_back(RefIntersect(x, z));
            uni.rows.push_back(RefUnion(x, z, all.left));
            diffAB.rows.push_back(RefSubtract(x, z, ab.left, ab.right));
            diffBA.rows.push_back(RefSubtract(z, x, bb.left, bb.right));
            exor.rows.push_back(RefUnion(diffAB.rows.back(), diffBA.rows.back(), all.left));
            ++rowsCompared;
        }

        ZoraRgn *out = nullptr;
        ASSERT_EQ(zv::RgnIntersect(&out, a, b), RC_SUCCESS);
        EXPECT_TRUE(SameRuns(out, inter)) << "intersection";
        K_FreeRegion(out);
        ASSERT_EQ(zv::RgnUnion(&out, a, b), RC_SUCCESS);
        EXPECT_TRUE(SameRuns(out, uni)) << "union";
        K_FreeRegion(out);
        ASSERT_EQ(zv::RgnUnion(&out, b, a), RC_SUCCESS);
        EXPECT_TRUE(SameRuns(out, uni)) << "union, inputs swapped";
        K_FreeRegion(out);
        ASSERT_EQ(zv::RgnSubtract(&out, a, b), RC_SUCCESS);
        EXPECT_TRUE(SameRuns(out, diffAB)) << "a - b";
        K_FreeRegion(out);
        ASSERT_EQ(zv::RgnSubtract(&out, b, a), RC_SUCCESS);
        EXPECT_TRUE(SameRuns(out, diffBA)) << "b - a";
        K_FreeRegion(out);
        ASSERT_EQ(zv::RgnXor(&out, a, b), RC_SUCCESS);
        EXPECT_TRUE(SameRuns(out, exor)) << "xor";
        K_FreeRegion(out);
        K_FreeRegion(a);
        K_FreeRegion(b);
        if (testing::Test::HasFailure())
            return;
    }
    // The inputs did what they are for.
    EXPECT_GT(rowsCompared, 12000u);
    EXPECT_GT(touchingInputs, 50000u);
}

}  // namespace
