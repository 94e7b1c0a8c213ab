// Region transforms against per-pixel models: offset, flip, mirror,
// scale, rotation, shear, the caller-to-bitmap transform of the combine
// operation for every orientation pair, and the way back for rectangles.
#include "region_model.h"

#include <cmath>

using namespace rgntest;

namespace {

// A random region inside [l, r) x [t, b) as a mask (runs of random
// length, some rows empty).
Mask RandomMask(std::mt19937 &rng, int l, int t, int r, int b) {
    Mask m;
    for (int y = t; y < b; ++y) {
        if (rng() % 5 == 0)
            continue;
        for (int x = l; x < r; ++x)
            if (rng() % 3 == 0) {
                const int e = std::min(r, x + 1 + static_cast<int>(rng() % 9));
                for (; x < e; ++x)
                    m.Set(x, y);
            }
    }
    return m;
}

Mask Map(const Mask &src, const std::function<bool(const Mask &, int, int)> &inside) {
    return Mask::Of([&](int x, int y) { return inside(src, x, y); });
}

TEST(RgnOffset, MovesRunsAndDropsCachesOnlyWhenMoved) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(11);
    for (int iter = 0; iter < 200; ++iter) {
        const Mask m = RandomMask(rng, 0, 0, 40, 30);
        ZoraRgn *r = RgnOfMask(m);
        const int dx = static_cast<int>(rng() % 80) - 40, dy = static_cast<int>(rng() % 80) - 40;
        r->hRgnCache = CreateRectRgn(0, 0, 1, 1);
        ASSERT_EQ(zv::RgnOffset(r, dx, dy), RC_SUCCESS);
        EXPECT_TRUE(Matches(r, Map(m, [&](const Mask &s, int x, int y) { return s.Get(x - dx, y - dy); })));
        EXPECT_EQ(r->hRgnCache == nullptr, dx || dy);
        K_FreeRegion(r);
    }
    EXPECT_EQ(zv::RgnOffset(nullptr, 1, 1), RC_INVALID_PARAMETER);
}

TEST(RgnFlipMirror, AgainstThePixelModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(12);
    for (int iter = 0; iter < 200; ++iter) {
        const int w = 5 + static_cast<int>(rng() % 60), h = 5 + static_cast<int>(rng() % 60);
        const Mask m = RandomMask(rng, -10, -10, w + 10, h + 10);
        BitmapHandle bm = Frame(w, h, BITMAP_ALLOCATED | BITMAP_RGN_UNCLIPPED);
        bm.Region = RgnOfMask(m);
        ASSERT_EQ(zv::RgnFlipWithBitmap(&bm), RC_SUCCESS);
        EXPECT_TRUE(Matches(bm.Region, Map(m, [&](const Mask &s, int x, int y) { return s.Get(x, h - 1 - y); })));
        ASSERT_EQ(zv::RgnMirrorWithBitmap(&bm), RC_SUCCESS);
        EXPECT_TRUE(
            Matches(bm.Region, Map(m, [&](const Mask &s, int x, int y) { return s.Get(w - 1 - x, h - 1 - y); })));
        ASSERT_EQ(zv::RgnFlip(bm.Region, h), RC_SUCCESS);
        EXPECT_TRUE(Matches(bm.Region, Map(m, [&](const Mask &s, int x, int y) { return s.Get(w - 1 - x, y); })));
        Z_FreeBitmapRgn(&bm);
    }
    BitmapHandle bm = Frame(10, 10);
    EXPECT_EQ(zv::RgnFlipWithBitmap(nullptr), RC_NO_BITMAP);
    EXPECT_EQ(zv::RgnMirrorWithBitmap(nullptr), RC_NO_BITMAP);
    EXPECT_EQ(zv::RgnFlipWithBitmap(&bm), RC_SUCCESS);
    EXPECT_EQ(zv::RgnMirrorWithBitmap(&bm), RC_SUCCESS);
    EXPECT_EQ(bm.Region, nullptr);
    EXPECT_EQ(zv::RgnFlip(nullptr, 3), RC_INVALID_PARAMETER);
}

// For non-negative coordinates the rounded-up ends of the scale make a
// nearest-neighbour sampling: destination (x, y) is inside exactly when
// source (floor(x den / num), floor(y den / num)) is.
Mask ScaleModel(const Mask &m, int xn, int xd, int yn, int yd) {
    return Mask::Of([&](int x, int y) {
        if (x < 0 || y < 0)
            return false;
        return m.Get(static_cast<int>(static_cast<int64_t>(x) * xd / xn),
                     static_cast<int>(static_cast<int64_t>(y) * yd / yn));
    });
}

TEST(RgnScale, RandomScalesAgainstNearestNeighbourSampling) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(13);
    for (int iter = 0; iter < 600; ++iter) {
        SCOPED_TRACE(iter);
        const Mask m = RandomMask(rng, 0, 0, 45, 45);
        ZoraRgn *r = RgnOfMask(m);
        const int xn = 1 + static_cast<int>(rng() % 4), xd = 1 + static_cast<int>(rng() % 5);
        const int yn = 1 + static_cast<int>(rng() % 4), yd = 1 + static_cast<int>(rng() % 5);
        ASSERT_EQ(zv::RgnScale(r, xn, xd, yn, yd), RC_SUCCESS);
        ASSERT_TRUE(Matches(r, ScaleModel(m, xn, xd, yn, yd))) << xn << "/" << xd << " " << yn << "/" << yd;
        EXPECT_TRUE(RunsNeverTouch(r) || iter < 0);
        K_FreeRegion(r);
    }
}

TEST(RgnScale, DocumentedExamplesAndGuards) {
    zvtest::LiveBlockCheck check;
    const RECT one{0, 0, 10, 1};
    ZoraRgn *r = nullptr;
    ASSERT_EQ(zv::RgnFromRect(&r, &one), RC_SUCCESS);
    ASSERT_EQ(zv::RgnScale(r, 1, 3, 1, 1), RC_SUCCESS);
    EXPECT_TRUE(Matches(r, Mask::Rect(0, 0, 4, 1)));
    K_FreeRegion(r);
    ASSERT_EQ(zv::RgnFromRect(&r, &one), RC_SUCCESS);
    ASSERT_EQ(zv::RgnScale(r, 3, 1, 1, 1), RC_SUCCESS);
    EXPECT_TRUE(Matches(r, Mask::Rect(0, 0, 30, 1)));
    // Unit scale does nothing, caches included.
    r->hRgnCache = CreateRectRgn(0, 0, 1, 1);
    ASSERT_EQ(zv::RgnScale(r, 7, 7, 2, 2), RC_SUCCESS);
    EXPECT_NE(r->hRgnCache, nullptr);
    EXPECT_EQ(zv::RgnScale(r, 1, 0, 1, 1), RC_INVALID_PARAMETER);
    EXPECT_EQ(zv::RgnScale(r, 1, 1, 1, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(zv::RgnScale(nullptr, 1, 2, 1, 1), RC_INVALID_PARAMETER);
    // Scaling to nothing empties the region.
    ASSERT_EQ(zv::RgnScale(r, 0, 1, 1, 1), RC_SUCCESS);
    EXPECT_EQ(InvariantFailure(r), "");
    EXPECT_EQ(r->RowTableSize, 0u);
    K_FreeRegion(r);

    // Overflow guard: 3/1 of a run ending at 10^9 would pass 2^31; num and
    // den are halved to 1/0, the den becomes 1 and the run stays.  4/2
    // halves once to 2/1 and doubles.
    const RECT wide{0, 0, 1000000000, 1};
    for (auto [num, den, end] : {std::tuple<int, int, LONG>{3, 1, 1000000000}, {4, 2, 2000000000}}) {
        ASSERT_EQ(zv::RgnFromRect(&r, &wide), RC_SUCCESS);
        ASSERT_EQ(zv::RgnScale(r, num, den, 1, 1), RC_SUCCESS);
        EXPECT_EQ(InvariantFailure(r), "");
        EXPECT_EQ(r->Bounds.right, end);
        K_FreeRegion(r);
    }
}

TEST(RgnScale, EveryAllocationFailureLeavesTheRegion) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(14);
    const Mask m = RandomMask(rng, 0, 0, 50, 50);
    ZoraRgn *r = RgnOfMask(m);
    const Snapshot before = SnapshotOf(r);
    zvtest::SweepAllocationFailures(
        [&] { return zv::RgnScale(r, 7, 2, 5, 3); },
        [&](int rc) {
            if (rc == RC_SUCCESS) {
                EXPECT_TRUE(Matches(r, ScaleModel(m, 7, 2, 5, 3)));
                K_FreeRegion(r);
                r = RgnOfMask(m);
            } else {
                EXPECT_EQ(rc, RC_NO_MEMORY);
                EXPECT_TRUE(SnapshotOf(r) == before);
            }
        },
        [&](int rc) {
            EXPECT_EQ(rc, RC_SUCCESS);
            EXPECT_TRUE(Matches(r, ScaleModel(m, 7, 2, 5, 3)));
            K_FreeRegion(r);
            r = RgnOfMask(m);
        });
    K_FreeRegion(r);
}

// ---- rotation ----------------------------------------------------------------

int FixedCos(int a) { return K_CosFixed(a); }
int FixedSin(int a) { return K_SinFixed(a); }

// The stated inverse mapping, pixel by pixel: the stepped integer parts of
// sx and sy reached by walking from the destination's top-left pixel down
// to the row, then along it, with the carry rule at every step.
Mask RotateModel(const Mask &src, const BitmapHandle &bm, int oldW, int oldH, int angle, const RECT &dst) {
    int64_t a = (-static_cast<int64_t>(angle)) % 36000;
    if (a < 0)
        a += 36000;
    if (bm.Orientation == 1 || bm.Orientation == 2 || bm.Orientation == 5 || bm.Orientation == 7)
        a = 36000 - a;
    const int64_t c = FixedCos(static_cast<int>(a)), s = FixedSin(static_cast<int>(a));
    const int64_t ocx = oldW / 2, ocy = oldH / 2, ncx = bm.Width / 2, ncy = bm.Height / 2;
    auto carry = [](int64_t &ip, int64_t &rem) {
        if (rem >= 16384)
            rem -= 16384, ++ip;
        else if (rem <= -16384)
            rem += 16384, --ip;
    };
    Mask out;
    const int64_t nx0 = (dst.left - ncx) * c - (dst.top - ncy) * s, ny0 = (dst.left - ncx) * s + (dst.top - ncy) * c;
    int64_t rxi = nx0 / 16384, rxr = nx0 % 16384, ryi = ny0 / 16384, ryr = ny0 % 16384;
    for (int y = dst.top; y < dst.bottom; ++y) {
        if (y > dst.top) {
            rxr -= s, carry(rxi, rxr);
            ryr += c, carry(ryi, ryr);
        }
        int64_t xi = rxi, xr = rxr, yi = ryi, yr = ryr;
        for (int x = dst.left; x < dst.right; ++x) {
            if (x > dst.left) {
                xr += c, carry(xi, xr);
                yr += s, carry(yi, yr);
            }
            if (src.Get(static_cast<int>(ocx + xi), static_cast<int>(ocy + yi)))
                out.Set(x, y);
        }
    }
    return out;
}

TEST(RgnRotate, RandomAnglesAgainstTheSteppedMapping) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(15);
    int quarter = 0;
    for (int iter = 0; iter < 500; ++iter) {
        SCOPED_TRACE(iter);
        const int w = 8 + static_cast<int>(rng() % 50), h = 8 + static_cast<int>(rng() % 50);
        const int oldW = rng() % 2 ? w : 8 + static_cast<int>(rng() % 50);
        const int oldH = rng() % 2 ? h : 8 + static_cast<int>(rng() % 50);
        const bool unclipped = rng() % 2;
        const int orientation = static_cast<int>(rng() % 9);
        const int angle = rng() % 3 ? static_cast<int>(rng() % 72000) - 36000 : 9000 * static_cast<int>(rng() % 8 - 4);
        BitmapHandle bm = Frame(w, h, BITMAP_ALLOCATED | (unclipped ? BITMAP_RGN_UNCLIPPED : 0),
                                orientation == 6 ? 0 : orientation);
        const Mask m = RandomMask(rng, 0, 0, oldW, oldH);
        bm.Region = RgnOfMask(m);
        const RECT sb = bm.Region->Bounds;
        ASSERT_EQ(zv::RgnRotateWithBitmap(&bm, oldW, oldH, angle), RC_SUCCESS);
        if (angle % 36000 == 0) {
            EXPECT_TRUE(Matches(bm.Region, m));
            Z_FreeBitmapRgn(&bm);
            continue;
        }
        RECT dst{0, 0, w, h};
        if (unclipped && sb.right > sb.left) {
            // Forward-turned corners of the source bounds, as pixels.
            int64_t a = (-static_cast<int64_t>(angle)) % 36000;
            if (a < 0)
                a += 36000;
            if (orientation == 1 || orientation == 2 || orientation == 5 || orientation == 7)
                a = 36000 - a;
            const int64_t c = FixedCos(static_cast<int>(a)), s = FixedSin(static_cast<int>(a));
            for (LONG cx : {sb.left, sb.right})
                for (LONG cy : {sb.top, sb.bottom}) {
                    const int64_t x = cx - oldW / 2, y = cy - oldH / 2;
                    const LONG px = static_cast<LONG>((x * c + y * s) / 16384 + w / 2);
                    const LONG py = static_cast<LONG>((y * c - x * s) / 16384 + h / 2);
                    dst.left = std::min(dst.left, px), dst.right = std::max(dst.right, px + 1);
                    dst.top = std::min(dst.top, py), dst.bottom = std::max(dst.bottom, py + 1);
                }
        }
        const Mask want = RotateModel(m, bm, oldW, oldH, angle, dst);
        ASSERT_TRUE(Matches(bm.Region, want)) << "angle " << angle << " orientation " << orientation;
        if (angle % 9000 == 0) {
            ++quarter;
            int a = (-angle) % 36000;
            if (a < 0)
                a += 36000;
            if (orientation == 1 || orientation == 2 || orientation == 5 || orientation == 7)
                a = 36000 - a;
            EXPECT_TRUE(Matches(bm.Region, RotateClosedForm(m, bm, oldW, oldH, a, dst)));
        }
        Z_FreeBitmapRgn(&bm);
    }
    EXPECT_GT(quarter, 50);
}

TEST(RgnRotate, EveryAllocationFailureLeavesTheRegion) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(16);
    BitmapHandle bm = Frame(300, 200);
    bm.Region = RgnOfMask(RandomMask(rng, 0, 0, 180, 180));
    const Snapshot before = SnapshotOf(bm.Region);
    ZoraRgn *keep = bm.Region;
    zvtest::SweepAllocationFailures(
        [&] { return zv::RgnRotateWithBitmap(&bm, 180, 180, 3000); },
        [&](int rc) {
            if (rc != RC_SUCCESS) {
                EXPECT_EQ(rc, RC_NO_MEMORY);
                EXPECT_TRUE(SnapshotOf(bm.Region) == before);
            }
        },
        [&](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
    EXPECT_EQ(bm.Region, keep);  // the object itself stays
    EXPECT_EQ(zv::RgnRotateWithBitmap(nullptr, 1, 1, 9000), RC_NO_BITMAP);
    Z_FreeBitmapRgn(&bm);
}

// ---- shear ---------------------------------------------------------------------

TEST(RgnShear, RowsMoveByTheSteppedShift) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(17);
    for (int iter = 0; iter < 300; ++iter) {
        SCOPED_TRACE(iter);
        const int w = 10 + static_cast<int>(rng() % 50), h = 10 + static_cast<int>(rng() % 50);
        const int orientation = static_cast<int>(rng() % 9);
        const int angle = (static_cast<int>(rng() % 6000)) * (rng() % 2 ? 1 : -1);
        BitmapHandle bm = Frame(w, h, BITMAP_ALLOCATED | BITMAP_RGN_UNCLIPPED, orientation == 6 ? 0 : orientation);
        const Mask m = RandomMask(rng, 0, 0, w, h);
        bm.Region = RgnOfMask(m);
        const RECT sb = bm.Region->Bounds;
        ASSERT_EQ(zv::RgnShearWithBitmap(&bm, angle), RC_SUCCESS);
        // Shift of each row by the stepping rule, visited in its order.
        const int64_t c = FixedCos(std::abs(angle)), s = FixedSin(std::abs(angle));
        const int64_t q = s / c, r = s % c;
        const bool topDown = bm.Orientation == 1 || bm.Orientation == 2 || bm.Orientation == 5 || bm.Orientation == 7;
        std::vector<int64_t> shift(h + 1, 0);
        if (sb.bottom > sb.top) {
            const int64_t k0 = topDown ? sb.top : h - sb.bottom;
            int64_t sh = static_cast<int64_t>(std::floor(static_cast<double>(k0) * r / c)) + k0 * q;
            int64_t rem = ((k0 * r) % c + c) % c;
            for (int i = 0; i < sb.bottom - sb.top; ++i) {
                const int y = topDown ? sb.top + i : sb.bottom - 1 - i;
                shift[y] = sh;
                // The stepped shift stays within one of the exact one.
                const int64_t k = topDown ? y : h - 1 - y;
                EXPECT_LE(std::llabs(sh - static_cast<int64_t>(std::floor(static_cast<double>(k) * s / c))), 1);
                sh += q, rem += r;
                if (rem > c)
                    rem -= c, ++sh;
            }
        }
        EXPECT_TRUE(Matches(bm.Region, Map(m, [&](const Mask &src, int x, int y) {
                                return y >= 0 && y < h && src.Get(static_cast<int>(x - shift[y]), y);
                            })));
        Z_FreeBitmapRgn(&bm);
    }
    BitmapHandle bm = Frame(10, 10);
    EXPECT_EQ(zv::RgnShearWithBitmap(nullptr, 100), RC_NO_BITMAP);
    EXPECT_EQ(zv::RgnShearWithBitmap(&bm, 100), RC_SUCCESS);
}

TEST(RgnShear, ClipsUnlessUnclipped) {
    zvtest::LiveBlockCheck check;
    BitmapHandle bm = Frame(20, 20);
    bm.Region = RgnOfMask(Mask::Rect(0, 0, 20, 20));
    ASSERT_EQ(zv::RgnShearWithBitmap(&bm, 4500), RC_SUCCESS);  // 45 degrees: row k moves by k
    EXPECT_TRUE(Matches(bm.Region, Mask::Of([](int x, int y) { return y >= 0 && y < 20 && x >= 19 - y && x < 20; })));
    Z_FreeBitmapRgn(&bm);
}

// ---- bitmap operations of the service table --------------------------------------

TEST(RgnBitmapOps, CopyWithOffsetResizeAndOffset) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(18);
    const Mask m = RandomMask(rng, 0, 0, 30, 30);
    BitmapHandle src = Frame(30, 30), dst = Frame(25, 40);
    src.Region = RgnOfMask(m);
    dst.Region = src.Region;  // a fresh descriptor copy names the source's region
    ASSERT_EQ(zv::RgnCopyWithOffset(&dst, &src, 4, -3), RC_SUCCESS);
    EXPECT_NE(dst.Region, src.Region);
    EXPECT_TRUE(Matches(dst.Region, Map(m, [](const Mask &s, int x, int y) {
                            return x < 25 && y < 40 && x >= 0 && y >= 0 && s.Get(x - 4, y + 3);
                        })));
    Z_FreeBitmapRgn(&dst);
    EXPECT_EQ(zv::RgnCopyWithOffset(nullptr, &src, 0, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(zv::RgnCopyWithOffset(&dst, nullptr, 0, 0), RC_INVALID_PARAMETER);

    ASSERT_EQ(zv::RgnResizeWithBitmap(&src, 75, 20), RC_SUCCESS);
    EXPECT_TRUE(Matches(src.Region, ScaleModel(m, 75, 30, 20, 30)));
    EXPECT_EQ(zv::RgnResizeWithBitmap(nullptr, 1, 1), RC_NO_BITMAP);

    // Z_OffsetBitmapRgn takes the row offset first.
    BitmapHandle bm = Frame(20, 10);
    ASSERT_EQ(Z_OffsetBitmapRgn(&bm, 3, -5), RC_SUCCESS);
    EXPECT_TRUE(Matches(bm.Region, Mask::Rect(0, 3, 15, 10)));
    Z_FreeBitmapRgn(&bm);
    bm.Flags |= BITMAP_RGN_UNCLIPPED;
    ASSERT_EQ(Z_OffsetBitmapRgn(&bm, 3, -5), RC_SUCCESS);
    EXPECT_TRUE(Matches(bm.Region, Mask::Rect(-5, 3, 15, 13)));
    Z_FreeBitmapRgn(&bm);
    EXPECT_EQ(Z_OffsetBitmapRgn(nullptr, 1, 1), RC_NO_BITMAP);
    Z_FreeBitmapRgn(&src);

    // Failures release what they made.
    src.Region = RgnOfMask(m);
    zvtest::SweepAllocationFailures([&] { return zv::RgnCopyWithOffset(&dst, &src, 2, 2); },
                                    [&](int rc) {
                                        if (rc == RC_SUCCESS) {  // only the clip's trim failed
                                            EXPECT_EQ(InvariantFailure(dst.Region), "");
                                            Z_FreeBitmapRgn(&dst);
                                            return;
                                        }
                                        EXPECT_EQ(rc, RC_NO_MEMORY);
                                        EXPECT_EQ(dst.Region, nullptr);
                                    },
                                    [&](int rc) {
                                        EXPECT_EQ(rc, RC_SUCCESS);
                                        Z_FreeBitmapRgn(&dst);
                                    });
    BitmapHandle fresh = Frame(20, 10);
    zvtest::SweepAllocationFailures([&] { return Z_OffsetBitmapRgn(&fresh, 2, 2); },
                                    [&](int rc) {
                                        if (rc == RC_SUCCESS)
                                            Z_FreeBitmapRgn(&fresh);
                                        else
                                            EXPECT_EQ(fresh.Region, nullptr);
                                    },
                                    [&](int rc) {
                                        EXPECT_EQ(rc, RC_SUCCESS);
                                        Z_FreeBitmapRgn(&fresh);
                                    });
    Z_FreeBitmapRgn(&src);
}

// ---- RgnTransform, caller to bitmap -----------------------------------------------

// Offset, nearest-neighbour scale, then the kernel's flip and quarter turn
// applied to pixels, then the clip to the bitmap.
Mask CallerToBitmapModel(const Mask &caller, const BitmapHandle &bm, const RgnTransform &t) {
    Mask m = Map(caller, [&](const Mask &s, int x, int y) { return s.Get(x - t.OffsetX, y - t.OffsetY); });
    m = ScaleModel(m, t.ScaleXNum, t.ScaleXDen, t.ScaleYNum, t.ScaleYDen);
    if (t.Orientation != bm.Orientation) {
        int degrees = 0, flip = 0;
        EXPECT_EQ(K_GetOrientationTurn(t.Orientation, bm.Orientation, &degrees, &flip), RC_SUCCESS);
        if (flip)
            m = Map(m, [&](const Mask &s, int x, int y) { return s.Get(x, bm.Height - 1 - y); });
        const bool odd = (degrees / 90) % 2;
        const int oldW = odd ? bm.Height : bm.Width, oldH = odd ? bm.Width : bm.Height;
        if (degrees) {
            BitmapHandle plain = Frame(bm.Width, bm.Height);
            m = RotateClosedForm(m, plain, oldW, oldH, (36000 - degrees * 100) % 36000, RECT{0, 0, bm.Width, bm.Height});
        }
    }
    return m.Combine(Mask::Rect(0, 0, bm.Width, bm.Height), [](bool p, bool q) { return p && q; });
}

TEST(RgnTransformIn, EveryOrientationPairAgainstThePixelModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(19);
    for (int from = 0; from <= 8; ++from) {
        for (int to = 0; to <= 8; ++to) {
            if (from == 6 || to == 6)
                continue;
            for (int rep = 0; rep < 6; ++rep) {
                SCOPED_TRACE(testing::Message() << from << " -> " << to << " rep " << rep);
                BitmapHandle bm = Frame(37, 23, BITMAP_ALLOCATED, to);
                RgnTransform t{from, 1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 2),
                               1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 2),
                               static_cast<int>(rng() % 10), static_cast<int>(rng() % 10)};
                const Mask caller = RandomMask(rng, 0, 0, 30, 30);
                ASSERT_EQ(zv::RgnCombine(&bm, &t, RgnOfMask(caller), RGN_MODE_SET), RC_SUCCESS);
                EXPECT_TRUE(Matches(bm.Region, CallerToBitmapModel(caller, bm, t)));
                Z_FreeBitmapRgn(&bm);
            }
        }
    }
}

TEST(RgnTransformIn, FailuresLeaveTheBitmapRegion) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(20);
    BitmapHandle bm = Frame(40, 30, BITMAP_ALLOCATED, 4);
    bm.Region = RgnOfMask(RandomMask(rng, 0, 0, 40, 30));
    const Mask caller = RandomMask(rng, 0, 0, 30, 30);
    RgnTransform t{0, 3, 2, 2, 1, 1, 2};
    SweepRegionOp(bm, [&] {
        return zv::RgnCombine(&bm, &t, Uncounted([&] { return RgnOfMask(caller); }), RGN_MODE_XOR);
    });
    Z_FreeBitmapRgn(&bm);
}

}  // namespace
