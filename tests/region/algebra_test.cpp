// The region builder, the combine operation in every mode against the
// pixel-set model, failed operations and two threads at once.
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
    EXPECT_EQ(r->RowTableSize, 8u * 4);
    EXPECT_TRUE(r->RowTable[1].Count == 0 && r->RowTable[1].Offset == 0);
    K_FreeRegion(b.Region);
    for (const RECT &e : {RECT{5, 0, 5, 10}, RECT{6, 0, 5, 10}, RECT{0, 5, 10, 2}}) {
        ZoraRgn *empty = nullptr;
        ASSERT_EQ(zv::RgnFromRect(&empty, &e), RC_SUCCESS);
        EXPECT_TRUE(Matches(empty, Mask()));
        K_FreeRegion(empty);
    }
}

TEST(RgnBuilder, EveryAllocationFailureReleasesThePartialRegion) {
    zvtest::SweepAllocationFailures(
        [&] {
            zv::RgnBuilder b;
            int rc = zv::RgnBuilderBegin(b, RECT{0, 0, 4000, 40});
            for (int y = 0; y < 40 && rc == RC_SUCCESS; ++y) {
                for (int x = 0; x < 4000; x += 3)
                    zv::RgnBuilderAddSpan(b, x, x + 1 + (y % 2));
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
            const int rc = kind ? zv::RgnCombine(&bm, nullptr, RgnOfMask(add), mode)
                                : Z_SetBitmapRgnRect(&bm, nullptr, &r, mode);
            ASSERT_EQ(rc, RC_SUCCESS);
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
    ZoraRgn *a = RgnOfMask(RandomMask(rng, 180, 60)), *b = RgnOfMask(RandomMask(rng, 170, 70, 10, 10));
    const Snapshot sa = SnapshotOf(a), sb = SnapshotOf(b);
    using Op = int (*)(ZoraRgn **, const ZoraRgn *, const ZoraRgn *);
    for (Op op : {Op(zv::RgnIntersect), Op(zv::RgnUnion), Op(zv::RgnSubtract), Op(zv::RgnXor)}) {
        ZoraRgn *out = nullptr;
        ASSERT_EQ(op(&out, a, b), RC_SUCCESS);
        const Snapshot expected = SnapshotOf(out);
        K_FreeRegion(out);
        zvtest::SweepAllocationFailures(
            [&] { return op(&(out = nullptr), a, b); },
            [&](int rc) {
                EXPECT_TRUE(SnapshotOf(a) == sa && SnapshotOf(b) == sb);
                EXPECT_TRUE(rc == RC_NO_MEMORY || SnapshotOf(out) == expected) << rc;
                if (rc == RC_SUCCESS)
                    K_FreeRegion(out);
            },
            [&](int rc) {
                EXPECT_EQ(rc, RC_SUCCESS);
                K_FreeRegion(out);
            });
    }
    BitmapHandle bm = Frame(150, 60);
    const RECT clip{10, 5, 140, 50};
    RECT e{10, 5, 80, 66};
    bm.Region = a;
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
            RECT r{static_cast<LONG>(rng() % 200), static_cast<LONG>(rng() % 200), 0, 0};
            r.right = r.left + static_cast<LONG>(rng() % 60);
            r.bottom = r.top + static_cast<LONG>(rng() % 60);
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

}  // namespace
