// The run structure of the algebra's results, not only their pixels:
// union and exclusive-or merge runs that overlap or touch, intersection
// keeps touching runs apart, a difference cuts each run of a on its own.
// Every row of every result is compared run for run with a slow reference
// that follows the row algorithms step by step, on rows built so that
// equal and touching edges (between the inputs and inside one input) are
// the common case.
#include "region_model.h"

#include <algorithm>
#include <climits>
#include <map>

using namespace rgntest;

namespace {

using Runs = std::vector<int32_t>;  // s0 e0 s1 e1 ...
using Rows = std::map<int32_t, Runs>;  // rows by y; missing rows are empty

// Two cursors; the overlap of the current runs is emitted when non-empty,
// then the run that ends first is done (both when they end together).
Runs RefIntersect(const Runs &a, const Runs &b) {
    Runs out;
    for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        const int32_t s = std::max(a[i], b[j]), e = std::min(a[i + 1], b[j + 1]), ae = a[i + 1], be = b[j + 1];
        if (s < e)
            out.insert(out.end(), {s, e});
        i += ae <= be ? 2 : 0;
        j += be <= ae ? 2 : 0;
    }
    return out;
}

// The runs of both, in order of their starts, each merged into the last
// one when it starts inside it or at its end.
Runs RefUnion(const Runs &a, const Runs &b) {
    std::vector<std::pair<int32_t, int32_t>> all;
    for (const Runs *r : {&a, &b})
        for (size_t k = 0; k < r->size(); k += 2)
            all.emplace_back((*r)[k], (*r)[k + 1]);
    std::sort(all.begin(), all.end());
    Runs out;
    for (auto [s, e] : all)
        if (!out.empty() && s <= out.back())
            out.back() = std::max(out.back(), e);
        else
            out.insert(out.end(), {s, e});
    return out;
}

// a - b over the gaps of b: before b's first run (from a's left bound),
// between two runs of b (empty when they touch), after b's last run (to a's
// right bound); the whole of a's width when b is empty.  The part of a's
// run inside the current gap is emitted when non-empty; then the run of a
// that ends first is done, else the gap (both when they end together).
Runs RefSubtract(const Runs &a, const Runs &b, int32_t aLeft, int32_t aRight) {
    Runs gaps{aLeft};
    gaps.insert(gaps.end(), b.begin(), b.end());
    gaps.push_back(aRight);
    Runs out;
    for (size_t i = 0, g = 0; i < a.size() && g < gaps.size();) {
        const int32_t s = std::max(a[i], gaps[g]), e = std::min(a[i + 1], gaps[g + 1]);
        if (s < e)
            out.insert(out.end(), {s, e});
        const bool gapsLeft = g + 2 < gaps.size();
        if (a[i + 1] < gaps[g + 1])
            i += 2;
        else if (gapsLeft && a[i + 1] > gaps[g + 1])
            g += 2;
        else
            i += 2, g += 2;
    }
    return out;
}

// One row of runs: 0 to 60 of them, edges on a small range, with touching
// runs frequent in some rows and the rule in others.  A dense row is 30 to
// 60 touching runs of one pixel: more values than the row's width, more
// than the builder keeps room for.
Runs RandomRow(std::mt19937 &rng, bool dense) {
    Runs row;
    if (!dense && rng() % 6 == 0)
        return row;
    const int count = dense ? 30 + static_cast<int>(rng() % 31) : static_cast<int>(rng() % 61);
    const int maxGap = dense ? 0 : static_cast<int>(rng() % 4);  // 0: all runs touch
    const int maxLen = dense ? 1 : 1 + static_cast<int>(rng() % 4);
    int32_t x = static_cast<int32_t>(rng() % 8) - 4 + (!dense && rng() % 8 == 0 ? 300 : 0);  // 300: beside the other
    for (int k = 0; k < count; ++k) {
        x += static_cast<int32_t>(rng() % (maxGap + 1));
        const int32_t e = x + 1 + static_cast<int32_t>(rng() % maxLen);
        row.insert(row.end(), {x, e});
        x = e;
    }
    return row;
}

RECT BoundsOf(const Rows &rows) {
    RECT b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const auto &[y, r] : rows)
        if (!r.empty())
            b = RECT{std::min<LONG>(b.left, r.front()), std::min<LONG>(b.top, y), std::max<LONG>(b.right, r.back()),
                     std::max<LONG>(b.bottom, y + 1)};
    return b.left > b.right ? RECT{0, 0, 0, 0} : b;
}

ZoraRgn *Build(const Rows &rows) {
    return RgnOfRows(BoundsOf(rows), [&](int32_t y) { return rows.count(y) ? rows.at(y) : Runs{}; });
}

// The region's rows equal the expected rows, run for run, and nothing lies
// outside them; the bounds follow from the rows.
testing::AssertionResult SameRuns(const ZoraRgn *got, const Rows &want) {
    const std::string bad = InvariantFailure(got);
    const RECT wb = BoundsOf(want);
    if (!bad.empty() || !EqualRect(&wb, &got->Bounds))
        return testing::AssertionFailure() << "invariant or bounds: " << bad;
    for (int32_t y = wb.top; y < wb.bottom; ++y) {
        uint32_t n;
        const int32_t *v = zv::RgnRowRuns(got, y, &n);
        if (Runs(v, v + n) != (want.count(y) ? want.at(y) : Runs{}))
            return testing::AssertionFailure() << "row " << y;
    }
    return testing::AssertionSuccess();
}

TEST(RgnAlgebraRuns, RandomRowsAgainstTheRowAlgorithms) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(4711);
    for (int iter = 0; iter < 2500; ++iter) {
        SCOPED_TRACE(iter);
        // Dense regions fill the span store's growth step with rows of more
        // values than their width, so that rows meet a store without room.
        const bool dense = iter % 7 == 3;
        Rows ra, rb;
        for (Rows *r : {&ra, &rb})
            for (int32_t top = rng() % 6, y = top, n = dense ? 40 + rng() % 80 : 1 + rng() % 8; y < top + n; ++y)
                (*r)[y] = RandomRow(rng, dense);
        if (iter % 5 == 0)
            rb = ra;  // every edge equal
        ZoraRgn *a = Build(ra), *b = Build(rb);
        ASSERT_TRUE(a && b && SameRuns(a, ra) && SameRuns(b, rb));
        const RECT ab = a->Bounds, bb = b->Bounds;
        Rows inter, uni, diffAB, diffBA, exor;
        for (const Rows *r : {&ra, &rb})
            for (const auto &[y, row] : *r) {
                const Runs &x = ra.count(y) ? ra.at(y) : Runs{}, &z = rb.count(y) ? rb.at(y) : Runs{};
                inter[y] = RefIntersect(x, z);
                uni[y] = RefUnion(x, z);
                diffAB[y] = RefSubtract(x, z, ab.left, ab.right);
                diffBA[y] = RefSubtract(z, x, bb.left, bb.right);
                exor[y] = RefUnion(diffAB[y], diffBA[y]);
            }
        using Op = int (*)(ZoraRgn **, const ZoraRgn *, const ZoraRgn *);
        const struct {
            Op op;
            const ZoraRgn *x, *y;
            const Rows &want;
            const char *what;
        } cases[] = {{zv::RgnIntersect, a, b, inter, "intersection"}, {zv::RgnUnion, a, b, uni, "union"},
                     {zv::RgnUnion, b, a, uni, "union, swapped"},      {zv::RgnSubtract, a, b, diffAB, "a - b"},
                     {zv::RgnSubtract, b, a, diffBA, "b - a"},         {zv::RgnXor, a, b, exor, "xor"}};
        for (const auto &c : cases) {
            ZoraRgn *out = nullptr;
            ASSERT_EQ(c.op(&out, c.x, c.y), RC_SUCCESS);
            EXPECT_TRUE(SameRuns(out, c.want)) << c.what;
            K_FreeRegion(out);
        }

        K_FreeRegion(a);
        K_FreeRegion(b);
        if (testing::Test::HasFailure())
            return;
    }
}

}  // namespace
