// The region builder, the run algebra and the combine operation, against
// the pixel-set model.
#include "region_model.h"

#include <thread>

using namespace rgntest;

namespace {

// Random runs over rows [top, bottom): some rows empty, and runs that
// touch ((3, 5), (5, 8)) as well as separate ones, so that the builder's
// slow path and the operations' handling of touching runs are exercised.
ZoraRgn *RandomRuns(std::mt19937 &rng, int left, int top, int right, int bottom, int maxRuns, Mask *model) {
    RECT rect{left, top, right, bottom};
    zv::RgnBuilder b;
    if (zv::RgnBuilderBegin(b, rect) != RC_SUCCESS)
        return nullptr;
    for (int y = top; y < bottom; ++y) {
        if (rng() % 4) {
            int x = left + static_cast<int>(rng() % 4);
            const int runs = static_cast<int>(rng() % (maxRuns + 1));
            for (int k = 0; k < runs && x < right; ++k) {
                const int e = std::min(right, x + 1 + static_cast<int>(rng() % 6));
                zv::RgnBuilderAddSpan(b, x, e);
                for (int p = x; p < e; ++p)
                    model->Set(p, y);
                x = e + static_cast<int>(rng() % 3);  // 0: touching runs
            }
        }
        if (zv::RgnBuilderEndRow(b) != RC_SUCCESS)
            return nullptr;
    }
    zv::RgnBuilderFinish(b);
    return b.Region;
}

TEST(RgnBuilder, RectanglesAndEmptyRectangles) {
    zvtest::LiveBlockCheck check;
    for (const RECT &r : {RECT{3, 4, 10, 9}, RECT{-5, -7, 0, -1}, RECT{0, 0, 1, 1}}) {
        ZoraRgn *rgn = nullptr;
        ASSERT_EQ(zv::RgnFromRect(&rgn, &r), RC_SUCCESS);
        EXPECT_TRUE(Matches(rgn, Mask::Rect(r.left, r.top, r.right, r.bottom)));
        EXPECT_EQ(rgn->RowTableSize, 8u * (r.bottom - r.top));
        EXPECT_EQ(rgn->SpanStoreSize, 8u * (r.bottom - r.top));
        K_FreeRegion(rgn);
    }
    for (const RECT &r : {RECT{5, 0, 5, 10}, RECT{6, 0, 5, 10}, RECT{0, 4, 10, 4}, RECT{0, 5, 10, 2}}) {
        ZoraRgn *rgn = nullptr;
        ASSERT_EQ(zv::RgnFromRect(&rgn, &r), RC_SUCCESS);
        ASSERT_NE(rgn, nullptr);
        EXPECT_EQ(InvariantFailure(rgn), "");
        EXPECT_EQ(rgn->RowTable, nullptr);
        EXPECT_EQ(rgn->SpanStore, nullptr);
        K_FreeRegion(rgn);
    }
    ZoraRgn *rgn = nullptr;
    const RECT r{0, 0, 1, 1};
    EXPECT_EQ(zv::RgnFromRect(nullptr, &r), RC_INVALID_PARAMETER);
    EXPECT_EQ(zv::RgnFromRect(&rgn, nullptr), RC_INVALID_PARAMETER);
}

TEST(RgnBuilder, EmptyRowsBeforeAndAfterAreNotStored) {
    zvtest::LiveBlockCheck check;
    zv::RgnBuilder b;
    ASSERT_EQ(zv::RgnBuilderBegin(b, RECT{0, 10, 20, 30}), RC_SUCCESS);
    for (int y = 10; y < 30; ++y) {
        if (y == 13 || y == 16)
            zv::RgnBuilderAddSpan(b, y - 10, y);
        zv::RgnBuilderAddSpan(b, 7, 7);  // empty: ignored
        ASSERT_EQ(zv::RgnBuilderEndRow(b), RC_SUCCESS);
    }
    zv::RgnBuilderFinish(b);
    ZoraRgn *r = b.Region;
    EXPECT_EQ(InvariantFailure(r), "");
    EXPECT_EQ(r->Bounds.top, 13);
    EXPECT_EQ(r->Bounds.bottom, 17);
    EXPECT_EQ(r->Bounds.left, 3);
    EXPECT_EQ(r->Bounds.right, 16);
    EXPECT_EQ(r->RowTableSize, 8u * 4);  // 8 x (last row with runs + 1 - first)
    EXPECT_EQ(r->RowTable[1].Count, 0u);
    EXPECT_EQ(r->RowTable[1].Offset, 0u);
    K_FreeRegion(r);
}

// The span store grows by whole rows up to 16 KB and is trimmed at the end;
// a row of touching runs beyond the width bound still fits.
TEST(RgnBuilder, GrowsInStepsAndTrims) {
    zvtest::LiveBlockCheck check;
    zv::RgnBuilder b;
    ASSERT_EQ(zv::RgnBuilderBegin(b, RECT{0, 0, 999, 50}), RC_SUCCESS);
    EXPECT_EQ(b.MaxRowBytes, 4000u);
    EXPECT_EQ(b.GrowStep, 16000u);
    EXPECT_EQ(b.Capacity, 16000u);
    zv::RgnBuilderAbandon(b);

    ASSERT_EQ(zv::RgnBuilderBegin(b, RECT{0, 0, 5000, 3}), RC_SUCCESS);
    EXPECT_EQ(b.GrowStep, 20000u);  // one row is larger than 16 KB
    zv::RgnBuilderAbandon(b);

    ASSERT_EQ(zv::RgnBuilderBegin(b, RECT{0, 0, 10, 150}), RC_SUCCESS);
    Mask model;
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 10; ++x) {
            zv::RgnBuilderAddSpan(b, x, x + 1);  // ten touching runs: twice the width bound
            model.Set(x, y);
        }
        ASSERT_EQ(zv::RgnBuilderEndRow(b), RC_SUCCESS);
    }
    zv::RgnBuilderFinish(b);
    EXPECT_TRUE(Matches(b.Region, model));
    EXPECT_EQ(b.Region->SpanStoreSize, 150u * 20 * 4);
    K_FreeRegion(b.Region);
}

TEST(RgnBuilder, EveryAllocationFailureReleasesThePartialRegion) {
    Mask model;
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

// Thousands of random pairs through all four operations and the clip.
TEST(RgnAlgebra, RandomRunsAgainstThePixelModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(1234);
    for (int iter = 0; iter < 1500; ++iter) {
        SCOPED_TRACE(iter);
        Mask ma, mb;
        const int l1 = static_cast<int>(rng() % 60) - 30, t1 = static_cast<int>(rng() % 60) - 30;
        const int l2 = static_cast<int>(rng() % 60) - 30, t2 = static_cast<int>(rng() % 60) - 30;
        ZoraRgn *a = RandomRuns(rng, l1, t1, l1 + 1 + static_cast<int>(rng() % 60), t1 + static_cast<int>(rng() % 40),
                                static_cast<int>(rng() % 8), &ma);
        ZoraRgn *b = RandomRuns(rng, l2, t2, l2 + 1 + static_cast<int>(rng() % 60), t2 + static_cast<int>(rng() % 40),
                                static_cast<int>(rng() % 8), &mb);
        ASSERT_TRUE(a && b);
        ASSERT_TRUE(Matches(a, ma));
        ZoraRgn *out = nullptr;
        ASSERT_EQ(zv::RgnIntersect(&out, a, b), RC_SUCCESS);
        EXPECT_TRUE(Matches(out, ma.Combine(mb, [](bool p, bool q) { return p && q; })));
        K_FreeRegion(out);
        ASSERT_EQ(zv::RgnUnion(&out, a, b), RC_SUCCESS);
        EXPECT_TRUE(Matches(out, ma.Combine(mb, [](bool p, bool q) { return p || q; })));
        EXPECT_TRUE(RunsNeverTouch(out));
        K_FreeRegion(out);
        ASSERT_EQ(zv::RgnSubtract(&out, a, b), RC_SUCCESS);
        EXPECT_TRUE(Matches(out, ma.Combine(mb, [](bool p, bool q) { return p && !q; })));
        K_FreeRegion(out);
        ASSERT_EQ(zv::RgnXor(&out, a, b), RC_SUCCESS);
        EXPECT_TRUE(Matches(out, ma.Combine(mb, [](bool p, bool q) { return p != q; })));
        EXPECT_TRUE(RunsNeverTouch(out));
        K_FreeRegion(out);

        const int cl = static_cast<int>(rng() % 80) - 40, ct = static_cast<int>(rng() % 80) - 40;
        const RECT clip{cl, ct, cl + static_cast<int>(rng() % 60), ct + static_cast<int>(rng() % 60)};
        ASSERT_EQ(zv::RgnClipToRect(a, &clip), RC_SUCCESS);
        EXPECT_TRUE(Matches(a, ma.Combine(Mask::Rect(clip.left, clip.top, clip.right, clip.bottom),
                                          [](bool p, bool q) { return p && q; })));
        if (iter % 7 == 0) {
            // A clip that covers the bounds leaves the runs as they are.
            ZoraRgn *c = nullptr;
            ASSERT_EQ(Z_CopyZoraRgn(&c, b), RC_SUCCESS);
            const RECT same = c->Bounds;
            const RECT bigger{same.left - 1, same.top - 1, same.right + 1, same.bottom + 1};
            ASSERT_EQ(zv::RgnClipToRect(c, &bigger), RC_SUCCESS);
            ASSERT_EQ(zv::RgnClipToRect(c, &same), RC_SUCCESS);
            EXPECT_TRUE(SnapshotOf(c) == SnapshotOf(b));
            K_FreeRegion(c);
        }
        K_FreeRegion(a);
        K_FreeRegion(b);
    }
}

TEST(RgnAlgebra, FailedOperationsLeaveInputsAndFreeEverything) {
    std::mt19937 rng(77);
    Mask ma, mb;
    ZoraRgn *a = RandomRuns(rng, 0, 0, 300, 60, 30, &ma);
    ZoraRgn *b = RandomRuns(rng, 20, 10, 320, 80, 30, &mb);
    const Snapshot sa = SnapshotOf(a), sb = SnapshotOf(b);
    using Op = int (*)(ZoraRgn **, const ZoraRgn *, const ZoraRgn *);
    for (Op op : {Op(zv::RgnIntersect), Op(zv::RgnUnion), Op(zv::RgnSubtract), Op(zv::RgnXor)}) {
        ZoraRgn *out = nullptr;
        ASSERT_EQ(op(&out, a, b), RC_SUCCESS);
        const Snapshot expected = SnapshotOf(out);
        K_FreeRegion(out);
        zvtest::SweepAllocationFailures(
            [&] {
                out = nullptr;
                return op(&out, a, b);
            },
            [&](int rc) {
                EXPECT_TRUE(SnapshotOf(a) == sa && SnapshotOf(b) == sb);
                if (rc == RC_SUCCESS) {  // only the final trim failed
                    EXPECT_TRUE(SnapshotOf(out) == expected);
                    K_FreeRegion(out);
                } else {
                    EXPECT_EQ(rc, RC_NO_MEMORY);
                }
            },
            [&](int rc) {
                EXPECT_EQ(rc, RC_SUCCESS);
                K_FreeRegion(out);
            });
    }
    const RECT clip{10, 5, 200, 50};
    ZoraRgn *work = nullptr;
    ASSERT_EQ(Z_CopyZoraRgn(&work, a), RC_SUCCESS);
    ASSERT_EQ(zv::RgnClipToRect(work, &clip), RC_SUCCESS);
    const Snapshot clipped = SnapshotOf(work);
    K_FreeRegion(work);
    ASSERT_EQ(Z_CopyZoraRgn(&work, a), RC_SUCCESS);
    zvtest::SweepAllocationFailures([&] { return zv::RgnClipToRect(work, &clip); },
                                    [&](int rc) {
                                        if (rc == RC_SUCCESS) {
                                            EXPECT_TRUE(SnapshotOf(work) == clipped);
                                            K_FreeRegion(work);
                                            Z_CopyZoraRgn(&work, a);
                                        } else {
                                            EXPECT_EQ(rc, RC_NO_MEMORY);
                                            EXPECT_TRUE(SnapshotOf(work) == sa);
                                        }
                                    },
                                    [&](int rc) {
                                        EXPECT_EQ(rc, RC_SUCCESS);
                                        EXPECT_TRUE(SnapshotOf(work) == clipped);
                                        K_FreeRegion(work);
                                        Z_CopyZoraRgn(&work, a);
                                    });
    K_FreeRegion(work);
    K_FreeRegion(a);
    K_FreeRegion(b);
}

// ---- the combine operation ---------------------------------------------------

struct Shape {
    enum Kind { kRect, kEllipse, kPolygon } kind;
    RECT rect;
    std::vector<POINT> points;
    int fillMode;
};

Shape RandomShape(std::mt19937 &rng) {
    Shape s{};
    s.kind = static_cast<Shape::Kind>(rng() % 3);
    const int l = static_cast<int>(rng() % 130) - 40, t = static_cast<int>(rng() % 130) - 40;
    if (s.kind == Shape::kRect) {
        // Sometimes empty or inverted.
        s.rect = RECT{l, t, l + static_cast<int>(rng() % 90) - 5, t + static_cast<int>(rng() % 90) - 5};
    } else if (s.kind == Shape::kEllipse) {
        // 12 wide or more: Wine 8 corrupts the data of narrower ellipses.
        s.rect = RECT{l, t, l + 12 + static_cast<int>(rng() % 80), t + 12 + static_cast<int>(rng() % 80)};
    } else {
        const int n = 3 + static_cast<int>(rng() % 6);
        for (int i = 0; i < n; ++i)
            s.points.push_back(POINT{l + static_cast<int>(rng() % 100), t + static_cast<int>(rng() % 100)});
        s.fillMode = static_cast<int>(rng() % 2);
    }
    return s;
}

HRGN GdiOf(const Shape &s) {
    if (s.kind == Shape::kEllipse)
        return CreateEllipticRgnIndirect(&s.rect);
    return CreatePolygonRgn(s.points.data(), static_cast<int>(s.points.size()),
                            s.fillMode == RGN_FILL_WINDING ? WINDING : ALTERNATE);
}

// The pixels GDI itself says are inside.
Mask PixelsOf(const Shape &s) {
    if (s.kind == Shape::kRect)
        return Mask::Rect(s.rect.left, s.rect.top, s.rect.right, s.rect.bottom);
    HRGN h = GdiOf(s);
    Mask m = PixelsOfGdi(h);
    DeleteObject(h);
    return m;
}

int SetShape(BitmapHandle *bm, RgnTransform *t, Shape &s, UINT mode) {
    switch (s.kind) {
    case Shape::kRect: return Z_SetBitmapRgnRect(bm, t, &s.rect, mode);
    case Shape::kEllipse: return Z_SetBitmapRgnEllipse(bm, t, &s.rect, mode);
    default:
        return Z_SetBitmapRgnPolygon(bm, t, s.points.data(), static_cast<int>(s.points.size()), s.fillMode, mode);
    }
}

// Mode table applied to pixel sets, with the stand-in for a missing old
// region and the final clip.
Mask ModelCombine(const BitmapHandle &bm, bool hasOld, const Mask &old, const Mask &add, UINT mode) {
    const bool unclipped = (bm.Flags & BITMAP_RGN_UNCLIPPED) != 0;
    RECT whole{0, 0, bm.Width, bm.Height};
    if (unclipped) {
        const RECT nb = add.Bounds();
        RECT u;
        UnionRect(&u, &whole, &nb);
        whole = u;
    }
    const Mask wholeMask = Mask::Rect(whole.left, whole.top, whole.right, whole.bottom);
    const Mask &o = hasOld ? old : wholeMask;
    Mask r;
    switch (mode) {
    case RGN_MODE_AND: r = add.Combine(o, [](bool p, bool q) { return p && q; }); break;
    case RGN_MODE_SET: r = add.Combine(o, [](bool p, bool) { return p; }); break;
    case RGN_MODE_NEW_MINUS_OLD: r = add.Combine(o, [](bool p, bool q) { return p && !q; }); break;
    case RGN_MODE_OLD_MINUS_NEW: r = o.Combine(add, [](bool p, bool q) { return p && !q; }); break;
    case RGN_MODE_OR: r = add.Combine(o, [](bool p, bool q) { return p || q; }); break;
    case RGN_MODE_XOR: r = add.Combine(o, [](bool p, bool q) { return p != q; }); break;
    default: r = wholeMask.Combine(add, [](bool p, bool q) { return p && !q; }); break;
    }
    if (!unclipped)
        r = r.Combine(Mask::Rect(0, 0, bm.Width, bm.Height), [](bool p, bool q) { return p && q; });
    return r;
}

TEST(RgnCombine, RandomShapesAndModesAgainstThePixelModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(20261205);
    int steps = 0;
    for (int iter = 0; iter < 700; ++iter) {
        SCOPED_TRACE(iter);
        BitmapHandle bm = Frame(10 + static_cast<int>(rng() % 120), 10 + static_cast<int>(rng() % 120),
                                BITMAP_ALLOCATED | (rng() % 2 ? BITMAP_RGN_UNCLIPPED : 0));
        bool has = false;
        Mask cur;
        const int n = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < n; ++k, ++steps) {
            Shape s = RandomShape(rng);
            const UINT mode = rng() % 7;
            const Mask add = PixelsOf(s);
            ASSERT_EQ(SetShape(&bm, nullptr, s, mode), RC_SUCCESS) << "shape " << s.kind << " mode " << mode;
            cur = ModelCombine(bm, has, cur, add, mode);
            has = true;
            ASSERT_TRUE(Matches(bm.Region, cur)) << "shape " << s.kind << " mode " << mode;
        }
        Z_FreeBitmapRgn(&bm);
    }
    EXPECT_GT(steps, 1500);
}

TEST(RgnCombine, ModesOnABitmapWithoutRegion) {
    zvtest::LiveBlockCheck check;
    RECT r{-10, 5, 30, 25};
    for (uint32_t flags : {0u, BITMAP_RGN_UNCLIPPED}) {
        BitmapHandle bm = Frame(20, 20, BITMAP_ALLOCATED | flags);
        ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_AND), RC_SUCCESS);
        EXPECT_TRUE(Matches(bm.Region, flags ? Mask::Rect(-10, 5, 30, 25) : Mask::Rect(0, 5, 20, 20)));
        Z_FreeBitmapRgn(&bm);
        ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_NEW_MINUS_OLD), RC_SUCCESS);
        ASSERT_NE(bm.Region, nullptr);
        EXPECT_TRUE(Matches(bm.Region, Mask()));
        // SET_COMPLEMENT ignores the current region.
        ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET_COMPLEMENT), RC_SUCCESS);
        EXPECT_TRUE(Matches(bm.Region, flags ? Mask::Rect(-10, 0, 30, 25).Combine(Mask::Rect(-10, 5, 30, 25),
                                                                                   [](bool p, bool q) { return p && !q; })
                                             : Mask::Rect(0, 0, 20, 5)));
        Z_FreeBitmapRgn(&bm);
    }
}

TEST(RgnCombine, EmptyRectangleGivesAnEmptyRegionNotNone) {
    zvtest::LiveBlockCheck check;
    BitmapHandle bm = Frame(20, 20);
    RECT r{5, 5, 5, 9};
    ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
    EXPECT_EQ(Z_BitmapHasRgn(&bm), 1);
    EXPECT_EQ(InvariantFailure(bm.Region), "");
    EXPECT_EQ(bm.Region->RowTableSize, 0u);
    UINT area = 99;
    EXPECT_EQ(Z_GetBitmapRgnArea(&bm, &area), RC_SUCCESS);
    EXPECT_EQ(area, 0u);
    EXPECT_EQ(Z_FreeBitmapRgn(&bm), RC_SUCCESS);
    EXPECT_EQ(Z_BitmapHasRgn(&bm), 0);
    EXPECT_EQ(Z_BitmapHasRgn(nullptr), 0);
    EXPECT_EQ(Z_FreeBitmapRgn(nullptr), RC_INVALID_PARAMETER);
}

TEST(RgnCombine, NullRegionRemovesInEveryModeAndBadModesAreRefused) {
    zvtest::LiveBlockCheck check;
    BitmapHandle bm = Frame(20, 20);
    RECT r{2, 2, 8, 8};
    for (UINT mode : {0u, 3u, 6u, 7u, 1000u}) {
        ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
        EXPECT_EQ(zv::RgnCombine(&bm, nullptr, nullptr, mode), RC_SUCCESS);
        EXPECT_EQ(bm.Region, nullptr);
    }
    ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
    const Snapshot before = SnapshotOf(bm.Region);
    RECT other{0, 0, 3, 3};
    EXPECT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &other, 7), RC_INVALID_PARAMETER);
    RgnTransform bad{6, 1, 1, 1, 1, 0, 0};
    EXPECT_EQ(Z_SetBitmapRgnRect(&bm, &bad, &other, RGN_MODE_OR), RC_INVALID_PARAMETER);
    RgnTransform zero{0, 1, 0, 1, 1, 0, 0};
    EXPECT_EQ(Z_SetBitmapRgnRect(&bm, &zero, &other, RGN_MODE_OR), RC_INVALID_PARAMETER);
    EXPECT_TRUE(SnapshotOf(bm.Region) == before);
    EXPECT_EQ(Z_SetBitmapRgnRect(nullptr, nullptr, &other, RGN_MODE_OR), RC_NO_BITMAP);
    EXPECT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, nullptr, RGN_MODE_OR), RC_INVALID_PARAMETER);
    Z_FreeBitmapRgn(&bm);
}

TEST(RgnCombine, EveryAllocationFailureLeavesTheBitmapRegion) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(5);
    for (UINT mode = 0; mode <= 6; ++mode) {
        for (bool withOld : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " old " << withOld);
            BitmapHandle bm = Frame(90, 70);
            Mask mo;
            if (withOld)
                bm.Region = RandomRuns(rng, -5, -5, 95, 60, 10, &mo);
            RECT ellipse{10, 5, 80, 66};
            SweepRegionOp(bm, [&] { return Z_SetBitmapRgnEllipse(&bm, nullptr, &ellipse, mode); });
            Z_FreeBitmapRgn(&bm);
        }
    }
}

TEST(RgnCopy, CopiesRunsAndTheGdiCacheButNotTheMask) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(9);
    Mask m;
    ZoraRgn *src = RandomRuns(rng, 0, 0, 50, 30, 5, &m);
    src->hRgnCache = CreateRectRgn(1, 2, 3, 4);
    src->RgnCacheTransform = RgnTransform{3, 1, 2, 3, 4, 5, 6};
    src->RgnCacheOrientation = 4;
    src->hMaskCache = CreateBitmap(8, 8, 1, 1, nullptr);
    ZoraRgn *dst = nullptr;
    ASSERT_EQ(Z_CopyZoraRgn(&dst, src), RC_SUCCESS);
    EXPECT_TRUE(SnapshotOf(dst) == SnapshotOf(src));
    EXPECT_NE(dst->RowTable, src->RowTable);
    ASSERT_NE(dst->hRgnCache, nullptr);
    EXPECT_NE(dst->hRgnCache, src->hRgnCache);
    EXPECT_TRUE(EqualRgn(dst->hRgnCache, src->hRgnCache));
    EXPECT_EQ(dst->RgnCacheTransform.ScaleXDen, 2);
    EXPECT_EQ(dst->RgnCacheOrientation, 4);
    EXPECT_EQ(dst->hMaskCache, nullptr);
    K_FreeRegion(dst);

    ZoraRgn *p = src;
    EXPECT_EQ(Z_CopyZoraRgn(&p, nullptr), RC_SUCCESS);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(Z_CopyZoraRgn(nullptr, src), RC_INVALID_PARAMETER);
    zvtest::SweepAllocationFailures([&] { return Z_CopyZoraRgn(&dst, src); },
                                    [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
                                    [&](int rc) {
                                        EXPECT_EQ(rc, RC_SUCCESS);
                                        K_FreeRegion(dst);
                                    });
    EXPECT_EQ(zv::RgnDeleteCaches(nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(zv::RgnDeleteCaches(src), RC_SUCCESS);
    EXPECT_EQ(src->hRgnCache, nullptr);
    EXPECT_EQ(src->hMaskCache, nullptr);
    K_FreeRegion(src);
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
    EXPECT_TRUE(alone[0] == together[0]);
    EXPECT_TRUE(alone[1] == together[1]);
}

}  // namespace
