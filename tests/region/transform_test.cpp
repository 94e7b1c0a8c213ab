// Region transforms against per-pixel models: offset, flip, mirror,
// scale, rotation, the caller-to-bitmap transform of the combine operation
// for every orientation pair, and the kernel's bitmap operations carrying
// the region.
#include "region_model.h"
#include "frame/library.h"

#include <cmath>

using namespace rgntest;

namespace {

// For non-negative coordinates the rounded-up ends of the scale make a
// nearest-neighbour sampling: destination (x, y) is inside exactly when
// source (floor(x den / num), floor(y den / num)) is.
Mask ScaleModel(const Mask &m, int xn, int xd, int yn, int yd) {
    return Mask::Of([&](int x, int y) {
        return x >= 0 && y >= 0 &&
               m.Get(static_cast<int>(int64_t{x} * xd / xn), static_cast<int>(int64_t{y} * yd / yn));
    });
}

// Flip, mirror and offset (caches dropped only when it moves) of a region
// partly outside its unclipped bitmap, and a scale.
TEST(RgnTransform, FlipMirrorOffsetAndScaleAgainstThePixelModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(12);
    for (int iter = 0; iter < 600; ++iter) {
        SCOPED_TRACE(iter);
        const int w = 5 + static_cast<int>(rng() % 60), h = 5 + static_cast<int>(rng() % 60);
        const Mask m = RandomMask(rng, w + 20, h + 20, -10, -10);
        BitmapHandle bm = Frame(w, h, BITMAP_ALLOCATED | BITMAP_RGN_UNCLIPPED);
        bm.Region = RgnOfMask(m);
        ASSERT_EQ(zv::RgnFlipWithBitmap(&bm), RC_SUCCESS);
        ASSERT_TRUE(Matches(bm.Region, Mask::Of([&](int x, int y) { return m.Get(x, h - 1 - y); })));
        ASSERT_EQ(zv::RgnMirrorWithBitmap(&bm), RC_SUCCESS);
        ASSERT_TRUE(Matches(bm.Region, Mask::Of([&](int x, int y) { return m.Get(w - 1 - x, h - 1 - y); })));
        ASSERT_EQ(zv::RgnFlip(bm.Region, h), RC_SUCCESS);
        ASSERT_TRUE(Matches(bm.Region, Mask::Of([&](int x, int y) { return m.Get(w - 1 - x, y); })));
        const int dx = static_cast<int>(rng() % 80) - 40, dy = iter % 5 ? static_cast<int>(rng() % 80) - 40 : 0;
        bm.Region->hRgnCache = CreateRectRgn(0, 0, 1, 1);
        ASSERT_EQ(zv::RgnOffset(bm.Region, dx, dy), RC_SUCCESS);
        ASSERT_TRUE(Matches(bm.Region, Mask::Of([&](int x, int y) { return m.Get(w - 1 - x + dx, y - dy); })));
        EXPECT_EQ(bm.Region->hRgnCache == nullptr, dx || dy);
        zv::RgnDeleteCaches(bm.Region);
        Z_FreeBitmapRgn(&bm);

        const Mask s = RandomMask(rng, 45, 45);
        ZoraRgn *r = RgnOfMask(s);
        const int xn = 1 + static_cast<int>(rng() % 4), xd = 1 + static_cast<int>(rng() % 5);
        const int yn = 1 + static_cast<int>(rng() % 4), yd = 1 + static_cast<int>(rng() % 5);
        ASSERT_EQ(zv::RgnScale(r, xn, xd, yn, yd), RC_SUCCESS);
        ASSERT_TRUE(Matches(r, ScaleModel(s, xn, xd, yn, yd))) << xn << "/" << xd << " " << yn << "/" << yd;
        K_FreeRegion(r);

        // Shear: row k (from the top for a mirrored orientation, else from
        // the bottom) moves right by floor(k s / c), one less where the
        // stepped remainder reaches c exactly after the first row.
        const int angle = static_cast<int>(rng() % 6000), o = iter % 2 ? 2 : 0;  // shifts stay in the model
        const Mask in = RandomMask(rng, w, h);
        BitmapHandle sh = Frame(w, h, BITMAP_ALLOCATED | BITMAP_RGN_UNCLIPPED, o);
        sh.Region = RgnOfMask(in);
        const RECT box = sh.Region ? sh.Region->Bounds : RECT{};
        ASSERT_EQ(zv::RgnShearWithBitmap(&sh, iter % 3 ? angle : -angle), RC_SUCCESS);
        const int64_t c = K_CosFixed(angle), sn = K_SinFixed(angle), k0 = o ? box.top : h - box.bottom;
        auto shift = [&](int64_t k) { return k * sn / c - (k > k0 && sn % c && k * (sn % c) % c == 0); };
        ASSERT_TRUE(Matches(sh.Region, Mask::Of([&](int x, int y) { return in.Get(x - int(shift(o ? y : h - 1 - y)), y); })))
            << "angle " << angle;
        Z_FreeBitmapRgn(&sh);
    }
}

// A third of a run of ten is four wide; a unit scale changes nothing, the
// caches included; past 31 bits num and den are halved (3/1 of 10^9 to
// 1/0: the den becomes 1 and the run stays; 4/2 to 2/1 doubles); a zero
// num empties the region, a zero den is refused.  A build begins with
// span-store room for its widest row (4 bytes a column): 4 x 10^9 bytes
// for 10^9 columns, more than a 32-bit process's 2 GB, so there such a
// region is refused whole.
TEST(RgnScale, DocumentedExamplesAndGuards) {
    zvtest::LiveBlockCheck check;
    for (const auto &[right, num, den, want] : {std::tuple<LONG, int, int, LONG>{10, 1, 3, 4}, {10, 3, 1, 30},
                                                {10, 7, 7, 10}, {1000000000, 3, 1, 1000000000},
                                                {1000000000, 4, 2, 2000000000}, {10, 0, 1, 0}}) {
        const RECT one{0, 0, right, 1};
        ZoraRgn *r = nullptr;
        if (sizeof(void *) == 4 && uint64_t(right) * 4 > 0x80000000u) {
            EXPECT_EQ(zv::RgnFromRect(&r, &one), RC_NO_MEMORY);
            EXPECT_EQ(r, nullptr);
            continue;
        }
        ASSERT_EQ(zv::RgnFromRect(&r, &one), RC_SUCCESS);
        const HRGN cache = r->hRgnCache = CreateRectRgn(0, 0, 1, 1);
        ASSERT_EQ(zv::RgnScale(r, num, den, 1, 1), RC_SUCCESS);
        EXPECT_TRUE(InvariantFailure(r).empty() && r->Bounds.right == want && (num != den || r->hRgnCache == cache));
        EXPECT_TRUE(zv::RgnScale(r, 1, 0, 1, 1) == RC_INVALID_PARAMETER && zv::RgnScale(r, 1, 1, 1, 0) == RC_INVALID_PARAMETER);
        zv::RgnDeleteCaches(r);
        K_FreeRegion(r);
    }
}

// ---- rotation ----------------------------------------------------------------

// The angle the region turns by: the negated angle, mirrored for the
// top-down orientations.
int64_t TurnOf(int angle, int orientation) {
    const int64_t a = ((-int64_t{angle}) % 36000 + 36000) % 36000;
    return orientation == 1 || orientation == 2 || orientation == 5 || orientation == 7 ? (36000 - a) % 36000 : a;
}

// The stated inverse mapping, pixel by pixel: the stepped integer parts of
// sx and sy reached by walking from the destination's top-left pixel down
// to the row, then along it, with the carry rule at every step.
Mask RotateModel(const Mask &src, const BitmapHandle &bm, int oldW, int oldH, int angle, const RECT &dst) {
    const int64_t a = TurnOf(angle, bm.Orientation), c = K_CosFixed(int(a)), s = K_SinFixed(int(a));
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
            out.Set(x, y, src.Get(static_cast<int>(ocx + xi), static_cast<int>(ocy + yi)));
        }
    }
    return out;
}

// Quarter turns also against the closed form.  Unclipped, the destination
// is the bitmap widened by the forward-turned corners of the source bounds.
TEST(RgnRotate, RandomAnglesAgainstTheSteppedMapping) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(15);
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
        const Mask m = RandomMask(rng, oldW, oldH);
        bm.Region = RgnOfMask(m);
        const RECT sb = bm.Region->Bounds;
        ASSERT_EQ(zv::RgnRotateWithBitmap(&bm, oldW, oldH, angle), RC_SUCCESS);
        RECT dst{0, 0, w, h};
        const int64_t a = TurnOf(angle, bm.Orientation), c = K_CosFixed(int(a)), s = K_SinFixed(int(a));
        if (unclipped && sb.right > sb.left && a)
            for (LONG cx : {sb.left, sb.right})
                for (LONG cy : {sb.top, sb.bottom}) {
                    const int64_t x = cx - oldW / 2, y = cy - oldH / 2;
                    const LONG px = static_cast<LONG>((x * c + y * s) / 16384 + w / 2);
                    const LONG py = static_cast<LONG>((y * c - x * s) / 16384 + h / 2);
                    dst.left = std::min(dst.left, px), dst.right = std::max(dst.right, px + 1);
                    dst.top = std::min(dst.top, py), dst.bottom = std::max(dst.bottom, py + 1);
                }
        const Mask want = a ? RotateModel(m, bm, oldW, oldH, angle, dst) : m;
        ASSERT_TRUE(Matches(bm.Region, want)) << "angle " << angle << " orientation " << orientation;
        EXPECT_TRUE(!a || angle % 9000 || Matches(bm.Region, RotateClosedForm(m, bm, oldW, oldH, int(a), dst)));
        Z_FreeBitmapRgn(&bm);
    }
}

// Z_OffsetBitmapRgn takes the row offset first; without a region it moves
// the bitmap rectangle.
TEST(RgnBitmapOps, OffsetTakesTheRowFirst) {
    zvtest::LiveBlockCheck check;
    for (uint32_t flags : {0u, BITMAP_RGN_UNCLIPPED}) {
        BitmapHandle bm = Frame(20, 10, BITMAP_ALLOCATED | flags);
        ASSERT_EQ(Z_OffsetBitmapRgn(&bm, 3, -5), RC_SUCCESS);
        EXPECT_TRUE(Matches(bm.Region, flags ? Mask::Rect(-5, 3, 15, 13) : Mask::Rect(0, 3, 15, 10)));
        Z_FreeBitmapRgn(&bm);
    }
}

// ---- RgnTransform, caller to bitmap -----------------------------------------------

// Offset, nearest-neighbour scale, then the kernel's flip and quarter turn
// applied to pixels, then the clip to the bitmap.
Mask CallerToBitmapModel(const Mask &caller, const BitmapHandle &bm, const RgnTransform &t) {
    Mask m = ScaleModel(Mask::Of([&](int x, int y) { return caller.Get(x - t.OffsetX, y - t.OffsetY); }), t.ScaleXNum,
                        t.ScaleXDen, t.ScaleYNum, t.ScaleYDen);
    int degrees = 0, flip = 0;
    if (t.Orientation != bm.Orientation) {
        EXPECT_EQ(K_GetOrientationTurn(t.Orientation, bm.Orientation, &degrees, &flip), RC_SUCCESS);
    }
    if (flip)
        m = Mask::Of([&](int x, int y) { return m.Get(x, bm.Height - 1 - y); });
    const bool odd = (degrees / 90) % 2;
    if (degrees)
        m = RotateClosedForm(m, Frame(bm.Width, bm.Height), odd ? bm.Height : bm.Width, odd ? bm.Width : bm.Height,
                             (36000 - degrees * 100) % 36000, RECT{0, 0, bm.Width, bm.Height});
    return m.Combine(Mask::Rect(0, 0, bm.Width, bm.Height), [](bool p, bool q) { return p && q; });
}

TEST(RgnTransformIn, EveryOrientationPairAgainstThePixelModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(19);
    for (int from = 0; from <= 8; ++from)
        for (int to = 0; to <= 8; ++to)
            for (int rep = 0; rep < 6 && to != 6; ++rep) {
                SCOPED_TRACE(testing::Message() << from << " -> " << to << " rep " << rep);
                BitmapHandle bm = Frame(37, 23, BITMAP_ALLOCATED, to);
                RgnTransform t{from, 1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 2),
                               1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 2),
                               static_cast<int>(rng() % 10), static_cast<int>(rng() % 10)};
                const Mask caller = RandomMask(rng, 30, 30);
                if (from == 6 || rep == 5) {  // orientation 6, or a zero denominator: refused, nothing hung
                    if (from != 6)
                        t.ScaleXDen = 0;
                    ASSERT_EQ(zv::RgnCombine(&bm, &t, zv::OwnedRgn(RgnOfMask(caller)), RGN_MODE_SET), RC_INVALID_PARAMETER);
                    EXPECT_EQ(bm.Region, nullptr);
                    break;
                }
                ASSERT_EQ(zv::RgnCombine(&bm, &t, zv::OwnedRgn(RgnOfMask(caller)), RGN_MODE_SET), RC_SUCCESS);
                EXPECT_TRUE(Matches(bm.Region, CallerToBitmapModel(caller, bm, t)));
                Z_FreeBitmapRgn(&bm);
            }
}

// Every allocation failure of the operations that rebuild a region: the
// region as it was and nothing left behind.  Diagonal cuts make rows of
// many runs, so that the rebuilt regions outgrow the span store's first
// block.  A region brought to the caller's orientation is a working copy:
// there a failure need only free everything.
TEST(RgnTransform, FailedRebuildsLeaveTheRegionAndFreeEverything) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(31);
    const Mask cut = Mask::Of([](int x, int y) { return (x + y) % 3 != 0; });
    ZoraRgn *master = RgnOfMask(RandomMask(rng, 150, 100).Combine(cut, [](bool p, bool q) { return p && q; }));
    BitmapHandle bm = Frame(150, 100, BITMAP_ALLOCATED, 4);
    bm.Region = master;
    SweepRegionOp(bm, [&] { return zv::RgnResizeWithBitmap(&bm, 300, 200); });
    SweepRegionOp(bm, [&] { return zv::RgnRotateWithBitmap(&bm, 150, 100, 3000); });
    SweepRegionOp(bm, [&] { return zv::RgnShearWithBitmap(&bm, 2000); });  // sheared, then clipped
    for (int o : {0, 3, 5, 8}) {
        RgnTransform t{o, 2, 1, 1, 1, -5, 0};
        RECT band{-20, 10, 400, 90};
        SweepRegionOp(bm, [&] { return Z_SetBitmapRgnRect(&bm, &t, &band, RGN_MODE_XOR); });
        zvtest::SweepAllocationFailures(
            [&] {
                ZoraRgn *copy = nullptr;
                int rc = Z_CopyZoraRgn(&copy, master);
                if (rc == RC_SUCCESS)
                    rc = zv::RgnTransformToCaller(&bm, &t, copy);
                K_FreeRegion(copy);
                return rc;
            },
            [](int rc) { EXPECT_TRUE(rc == RC_NO_MEMORY || rc == RC_SUCCESS); },  // a failed trim keeps the larger block
            [](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
    }
    bm.Region = nullptr;
    SweepRegionOp(bm, [&] { return Z_OffsetBitmapRgn(&bm, 3, 4); });
    K_FreeRegion(master);
}

// ---- the kernel carries the region -----------------------------------------

// The kernel's own bitmap operations carry the region through the region
// service table: after each one the region must cover exactly the pixels
// that were inside it before (marked 1 in an 8-bit bitmap).

// Registers the library's table for the test and withdraws it after.
struct TableRegistered {
    TableRegistered() { K_SetRegionServiceTable(&zv::RegionServices); }
    ~TableRegistered() { K_SetRegionServiceTable(nullptr); }
};

// The set of pixels of value 1.
Mask Marked(const BitmapHandle &b) {
    return Mask::Of([&](int x, int y) {
        return x >= 0 && y >= 0 && x < b.Width && y < b.Height && b.Data[size_t(y) * b.BytesPerLine + x] == 1;
    });
}

void Mark(BitmapHandle &b, const Mask &m) {
    for (int y = 0; y < b.Height; ++y)
        for (int x = 0; x < b.Width; ++x)
            b.Data[static_cast<size_t>(y) * b.BytesPerLine + x] = m.Get(x, y) ? 1 : 2;
}

TEST(KernelCarriesRegion, FlipMirrorTurnsResizeCopy) {
    zvtest::LiveBlockCheck check;
    TableRegistered table;
    std::mt19937 rng(61);
    for (int iter = 0; iter < 40; ++iter) {
        SCOPED_TRACE(iter);
        BitmapHandle b;
        const int w = 10 + static_cast<int>(rng() % 60), h = 10 + static_cast<int>(rng() % 60);
        ASSERT_EQ(K_CreateBitmap(&b, w, h, 8, ORDER_GRAY, 0), RC_SUCCESS);
        const LONG l = static_cast<LONG>(rng() % w) - 5, t = static_cast<LONG>(rng() % h) - 5;
        RECT e{l, t, l + 12 + static_cast<LONG>(rng() % 40), t + 12 + static_cast<LONG>(rng() % 40)};
        ASSERT_EQ(Z_SetBitmapRgnEllipse(&b, nullptr, &e, RGN_MODE_SET), RC_SUCCESS);
        Mark(b, MaskOf(b.Region));
        ASSERT_TRUE(K_FlipBitmap(&b) == RC_SUCCESS && Matches(b.Region, Marked(b)));
        ASSERT_TRUE(K_MirrorBitmap(&b) == RC_SUCCESS && Matches(b.Region, Marked(b)));
        for (int angle : {9000, 18000, 27000, -9000}) {
            // The region loses what the turn pushes out of the frame; the
            // pixels of the region stay marked, every other pixel not.
            ASSERT_EQ(K_RotateBitmap(&b, angle), RC_SUCCESS);
            ASSERT_TRUE(Matches(b.Region, Marked(b))) << angle;
            Mark(b, MaskOf(b.Region));
        }
        ASSERT_TRUE(K_ResizeBitmap(&b, w * 2 + 1, h / 2 + 1) == RC_SUCCESS && Matches(b.Region, Marked(b)));
        BitmapHandle copy;
        ASSERT_EQ(K_CopyBitmap(&copy, &b), RC_SUCCESS);
        EXPECT_TRUE(copy.Region != b.Region && SnapshotOf(copy.Region) == SnapshotOf(b.Region));
        K_FreeBitmap(&copy);
        K_FreeBitmap(&b);
    }
}

}  // namespace
