// The region builder, the combine operation in every mode against the
// pixel-set model, failed operations, two threads at once, and the region
// queries.
#include "region_model.h"

#include <thread>

using namespace rgntest;

namespace {

// Empty spans are ignored, empty rows before the first and after the last
// row with runs are not stored, an inner empty row is {0, 0}.
TEST(RgnBuilder, EmptyRowsBeforeAndAfterAreNotStored) {
    zvtest::LiveBlockCheck check;
    zv::RgnBuilder b;
    ASSERT_EQ(zv::RgnBuilderBegin(b, RECT{0, 10, 20, 30}), RC_SUCCESS);
    for (int y = 10; y < 30; ++y) {
        if (y == 13 || y == 16)
            zv::RgnBuilderAddSpan(b, y - 10, y);
        zv::RgnBuilderAddSpan(b, 7, 7);
        ASSERT_EQ(zv::RgnBuilderEndRow(b), RC_SUCCESS);
    }
    zv::RgnBuilderFinish(b);
    const ZoraRgn *r = b.Region;
    EXPECT_TRUE(Matches(r, Mask::Rect(3, 13, 13, 14).Combine(Mask::Rect(6, 16, 16, 17), [](bool p, bool q) { return p || q; })));
    EXPECT_TRUE(r->RowTableSize == 8 * 4 && r->RowTable[1].Count == 0 && r->RowTable[1].Offset == 0);
    K_FreeRegion(b.Region);
}

TEST(RgnBuilder, EveryAllocationFailureReleasesThePartialRegion) {
    zvtest::SweepAllocationFailures(
        [&] {
            zv::RgnBuilder b;
            int rc = zv::RgnBuilderBegin(b, RECT{0, 0, 4000, 40});
            for (int y = 0; y < 40 && rc == RC_SUCCESS; ++y) {
                // Every fifth row of touching runs outgrows the room kept for a row.
                for (int x = 0, step = y % 5 == 4 ? 1 : 3; x < 4000; x += step)
                    zv::RgnBuilderAddSpan(b, x, x + 1 + (step == 3 ? y % 2 : 0));
                rc = zv::RgnBuilderEndRow(b);
            }
            if (rc != RC_SUCCESS) {
                EXPECT_EQ(b.Region, nullptr);
                return rc;
            }
            zv::RgnBuilderFinish(b);  // a failed trim keeps the larger block
            EXPECT_EQ(InvariantFailure(b.Region), "");
            EXPECT_EQ(b.Region->RowTableSize, 40u * 8);
            K_FreeRegion(b.Region);
            return rc;
        },
        [](int rc) { EXPECT_TRUE(rc == RC_NO_MEMORY || rc == RC_SUCCESS); },
        [](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
}

// Random regions (sometimes empty) and rectangles (sometimes empty or
// inverted) combined in random modes into clipped and unclipped bitmaps,
// starting without a region; a null region removes it in every mode.
TEST(RgnCombine, RandomRegionsAndModesAgainstThePixelModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(20261205);
    for (int iter = 0; iter < 700; ++iter) {
        SCOPED_TRACE(iter);
        BitmapHandle bm = Frame(10 + static_cast<int>(rng() % 120), 10 + static_cast<int>(rng() % 120),
                                BITMAP_ALLOCATED | (rng() % 2 ? BITMAP_RGN_UNCLIPPED : 0));
        Mask cur;
        for (int k = 0, n = 1 + static_cast<int>(rng() % 4); k < n; ++k) {
            const UINT mode = rng() % 7;
            const int l = static_cast<int>(rng() % 130) - 40, t = static_cast<int>(rng() % 130) - 40;
            RECT r{l, t, l + static_cast<int>(rng() % 90) - 5, t + static_cast<int>(rng() % 90) - 5};
            const int kind = static_cast<int>(rng() % 4);
            const Mask add = kind == 0 ? Mask::Rect(r.left, r.top, r.right, r.bottom)
                                       : kind == 1 ? Mask() : RandomMask(rng, 150, 150, -40, -40);
            ASSERT_EQ(kind ? zv::RgnCombine(&bm, nullptr, zv::OwnedRgn(RgnOfMask(add)), mode) : Z_SetBitmapRgnRect(&bm, nullptr, &r, mode),
                      RC_SUCCESS);
            cur = ModelCombine(bm, k ? &cur : nullptr, add, mode);
            ASSERT_TRUE(Matches(bm.Region, cur)) << "mode " << mode << ", kind " << kind;
        }
        ASSERT_EQ(zv::RgnCombine(&bm, nullptr, nullptr, iter % 8), RC_SUCCESS);
        EXPECT_EQ(bm.Region, nullptr);
    }
}

// Every allocation failure of the four operations, the clip and the
// combine modes: RC_NO_MEMORY with the inputs as they were and nothing
// left behind, or - when only a final trim failed - the clean result.
TEST(RgnAlgebra, FailedOperationsLeaveInputsAndFreeEverything) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(77);
    // Columns cut every third pixel: runs enough that the results outgrow
    // the span store's first block.
    const Mask cut = Mask::Of([](int x, int) { return x % 3 != 0; });
    auto cutOf = [&](const Mask &m) { return m.Combine(cut, [](bool p, bool q) { return p && q; }); };
    ZoraRgn *a = RgnOfMask(cutOf(RandomMask(rng, 180, 60))), *b = RgnOfMask(cutOf(RandomMask(rng, 170, 70, 10, 10)));
    const Snapshot sb = SnapshotOf(b);
    BitmapHandle bm = Frame(150, 60);
    bm.Region = a;
    using Op = int (*)(ZoraRgn **, const ZoraRgn *, const ZoraRgn *);
    ZoraRgn *none = nullptr;
    const RECT any{0, 0, 1, 1};
    EXPECT_TRUE(zv::RgnFromRect(nullptr, &any) == RC_INVALID_PARAMETER && zv::RgnFromRect(&none, nullptr) == RC_INVALID_PARAMETER);
    for (Op op : {Op(zv::RgnIntersect), Op(zv::RgnUnion), Op(zv::RgnSubtract), Op(zv::RgnXor)}) {
        EXPECT_TRUE(op(nullptr, a, b) == RC_INVALID_PARAMETER && op(&none, nullptr, b) == RC_INVALID_PARAMETER &&
                    op(&none, a, nullptr) == RC_INVALID_PARAMETER && !none);
        SweepRegionOp(bm, [&] {
            ZoraRgn *out = nullptr;
            const int rc = op(&out, bm.Region, b);
            if (rc == RC_SUCCESS)
                K_FreeRegion(bm.Region), bm.Region = out;
            return rc;
        });
    }
    EXPECT_TRUE(SnapshotOf(b) == sb);
    // The region's stored data and its GDI region, given back.
    std::vector<BYTE> data(std::max(0, Z_GetBitmapRgnData(&bm, nullptr, 0, nullptr)));
    ASSERT_EQ(Z_GetBitmapRgnData(&bm, nullptr, static_cast<int>(data.size()), data.data()), static_cast<int>(data.size()));
    GdiHandle h;
    ASSERT_EQ(Z_GetBitmapRgnHandle(&bm, nullptr, &h.Handle), RC_SUCCESS);
    SweepRegionOp(bm, [&] { return Z_SetBitmapRgnData(&bm, nullptr, static_cast<int>(data.size()), data.data(), RGN_MODE_OR); });
    SweepRegionOp(bm, [&] { return Z_SetBitmapRgnHandle(&bm, nullptr, h.Handle, RGN_MODE_XOR); });
    const RECT clip{10, 5, 140, 50};
    RECT e{10, 5, 80, 2400};  // tall enough that its conversion grows the span store
    SweepRegionOp(bm, [&] { return zv::RgnClipToRect(bm.Region, &clip); });
    for (ZoraRgn *old : {a, static_cast<ZoraRgn *>(nullptr)})
        for (UINT mode = 0; mode <= 6; ++mode) {
            bm.Region = old;
            SweepRegionOp(bm, [&] { return Z_SetBitmapRgnEllipse(&bm, nullptr, &e, mode); });
        }
    K_FreeRegion(a);
    K_FreeRegion(b);
}

// Regions are per bitmap: two threads combining on their own bitmaps at
// once get the same results as one thread would.
TEST(RgnCombine, TwoThreadsOnTheirOwnBitmaps) {
    zvtest::LiveBlockCheck check;
    auto work = [](unsigned seed, Snapshot *out) {
        std::mt19937 rng(seed);
        BitmapHandle bm = Frame(200, 200);
        for (int i = 0; i < 300; ++i) {
            const LONG l = rng() % 200, t = rng() % 200;
            RECT r{l, t, l + static_cast<LONG>(rng() % 60), t + static_cast<LONG>(rng() % 60)};
            Z_SetBitmapRgnEllipse(&bm, nullptr, &r, rng() % 7);
        }
        *out = SnapshotOf(bm.Region);
        Z_FreeBitmapRgn(&bm);
    };
    Snapshot alone[2], together[2];
    work(1, &alone[0]);
    work(2, &alone[1]);
    std::thread t1(work, 1, &together[0]), t2(work, 2, &together[1]);
    t1.join();
    t2.join();
    EXPECT_TRUE(alone[0] == together[0] && alone[1] == together[1]);
}

// ---- region queries --------------------------------------------------------

// Region queries and clip segments, against the pixel model and the
// documented edge cases.

TEST(RgnQuery, RandomRegionsAgainstThePixelModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(31);
    for (int iter = 0; iter < 150; ++iter) {
        SCOPED_TRACE(iter);
        const int w = 10 + static_cast<int>(rng() % 60), h = 10 + static_cast<int>(rng() % 60);
        const bool unclipped = rng() % 2;
        BitmapHandle bm = Frame(w, h, BITMAP_ALLOCATED | (unclipped ? BITMAP_RGN_UNCLIPPED : 0));
        Mask m;
        for (int k = 0; k < (iter % 25 ? 4 : 0); ++k) {
            const int l = static_cast<int>(rng() % (w + 20)) - 10, t = static_cast<int>(rng() % (h + 20)) - 10;
            // 12 wide or more: Wine 8 corrupts the data of narrower ellipses.
            RECT r{l, t, l + 12 + static_cast<int>(rng() % 30), t + static_cast<int>(rng() % 30)};
            ASSERT_EQ(Z_SetBitmapRgnEllipse(&bm, nullptr, &r, k ? RGN_MODE_XOR : RGN_MODE_SET), RC_SUCCESS);
        }
        RECT none{3, 3, 3, 3};  // every 25th region is empty
        if (iter % 25 == 0) {
            ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &none, RGN_MODE_SET), RC_SUCCESS);
        }
        m = MaskOf(bm.Region);
        ASSERT_EQ(InvariantFailure(bm.Region), "");
        UINT area = 0;
        ASSERT_EQ(Z_GetBitmapRgnArea(&bm, &area), RC_SUCCESS);
        EXPECT_EQ(area, m.Count());
        for (int y = -12; y < h + 12; ++y)
            for (int x = -12; x < w + 12; ++x)
                ASSERT_EQ(Z_IsPtInBitmapRgn(&bm, y, x), m.Get(x, y) ? 1 : 0) << x << "," << y;
        UINT most = 0;
        ASSERT_EQ(Z_GetBitmapClipSegmentsMax(&bm, &most), RC_SUCCESS);
        std::vector<INT32> seg(most + 2, 0x7777);
        for (int y = -3; y < h + 3; ++y) {
            UINT count = 99;
            ASSERT_EQ(Z_GetBitmapClipSegments(&bm, y, seg.data(), &count), RC_SUCCESS);
            ASSERT_LE(count, most);
            ASSERT_EQ(seg[most], 0x7777) << "wrote beyond the announced maximum";
            // The segments are the row's pixels, cut to the bitmap's columns
            // (and rows) when the region is unclipped.
            for (int x = -12; x < w + 12; ++x) {
                bool in = false;
                for (UINT k = 0; k < count; k += 2)
                    in = in || (seg[k] <= x && x < seg[k + 1]);
                const bool want = m.Get(x, y) && (!unclipped || (x >= 0 && x < w && y >= 0 && y < h));
                ASSERT_EQ(in, want) << x << "," << y;
            }
        }
        RECT b;
        ASSERT_EQ(Z_GetBitmapRgnBounds(&bm, nullptr, &b), RC_SUCCESS);
        const RECT mb = m.Bounds();
        EXPECT_TRUE(EqualRect(&b, &mb));
        ASSERT_EQ(Z_GetBitmapRgnBoundsClip(&bm, nullptr, &b), RC_SUCCESS);
        RECT clip{0, 0, w, h}, want;
        if (!IntersectRect(&want, &mb, &clip))
            want = RECT{0, 0, 0, 0};
        EXPECT_TRUE(EqualRect(&b, &want));
        Z_FreeBitmapRgn(&bm);
    }
}

TEST(RgnQuery, BitmapWithoutRegionIsTheWholeRectangle) {
    BitmapHandle bm = Frame(13, 7);
    for (const auto &[row, col, in] : {std::tuple{0, 0, 1}, {6, 12, 1}, {7, 0, 0}, {0, 13, 0}, {-1, 0, 0}})
        EXPECT_EQ(Z_IsPtInBitmapRgn(&bm, row, col), in) << row << ", " << col;
    UINT area = 0, most = 0, count = 0;
    INT32 seg[2] = {};
    RECT r;
    EXPECT_TRUE(Z_GetBitmapRgnArea(&bm, &area) == RC_SUCCESS && area == 91);
    EXPECT_TRUE(Z_GetBitmapClipSegmentsMax(&bm, &most) == RC_SUCCESS && most == 2);
    for (int row : {-5, 0, 100})
        EXPECT_TRUE(Z_GetBitmapClipSegments(&bm, row, seg, &count) == RC_SUCCESS && count == 2 && seg[0] == 0 &&
                    seg[1] == 13) << row;
    EXPECT_TRUE(Z_GetBitmapRgnBounds(&bm, nullptr, &r) == RC_SUCCESS && r.left == 0 && r.top == 0 && r.right == 13 &&
                r.bottom == 7);
}

}  // namespace
