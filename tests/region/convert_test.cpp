// GDI handles, stored region data and the clip switch, against the pixel
// model: every transform through the exports, the cache contract, the
// data block byte for byte, its round trip, outside data mutated.
#include "region_model.h"

#include <cstring>

namespace {

using namespace rgntest;

RgnTransform RandomTransform(std::mt19937 &rng) {
    static const int kOrientations[] = {0, 1, 2, 3, 4, 5, 7, 8};
    RgnTransform t{kOrientations[rng() % 8], 1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 2),
                   1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 2),
                   static_cast<int>(rng() % 11) - 5, static_cast<int>(rng() % 11) - 5};
    return t;
}

TEST(RgnHandle, EveryTransformGivesTheCallerPixelsAndTheCacheFollowsTheOffsets) {
    zvtest::ResourceCheck check;
    std::mt19937 rng(31);
    for (int round = 0; round < 60; ++round) {
        BitmapHandle bm = Frame(40 + static_cast<int>(rng() % 20), 30 + static_cast<int>(rng() % 20),
                                BITMAP_ALLOCATED, round % 9 == 6 ? 0 : round % 9);
        const Mask m = RandomMask(rng, bm.Width, bm.Height);
        bm.Region = RgnOfMask(m);
        RgnTransform t = RandomTransform(rng);
        RgnTransform *pt = round % 7 == 0 ? nullptr : &t;
        SCOPED_TRACE(testing::Message() << "round " << round << ", bitmap orientation " << bm.Orientation
                                        << ", caller " << t.Orientation << ", scale " << t.ScaleXNum << "/"
                                        << t.ScaleXDen << " " << t.ScaleYNum << "/" << t.ScaleYDen);
        HRGN cached = nullptr;
        int mustDelete = -1;
        ASSERT_EQ(Z_IntGetBitmapRgnHandle(&bm, pt, &cached, &mustDelete), RC_SUCCESS);
        EXPECT_EQ(mustDelete, 0);
        EXPECT_TRUE(PixelsOfGdi(cached) == MapToCaller(m, bm, pt));
        EXPECT_EQ(bm.Region->hRgnCache, cached);

        // Only the offsets differ: the same GDI region, moved.
        RgnTransform moved = pt ? t : RgnTransform{bm.Orientation, 1, 1, 1, 1, 0, 0};
        moved.OffsetX += 7, moved.OffsetY -= 3;
        HRGN again = nullptr;
        ASSERT_EQ(Z_IntGetBitmapRgnHandle(&bm, &moved, &again, &mustDelete), RC_SUCCESS);
        EXPECT_EQ(again, cached);
        EXPECT_TRUE(PixelsOfGdi(again) == MapToCaller(m, bm, &moved));

        // A handle of its own, whose deletion leaves the cache alone.
        GdiHandle own;
        ASSERT_EQ(Z_GetBitmapRgnHandle(&bm, &moved, &own.Handle), RC_SUCCESS);
        EXPECT_NE(own.Handle, cached);
        DeleteObject(own.Handle);
        own.Handle = nullptr;
        EXPECT_TRUE(PixelsOfGdi(cached) == MapToCaller(m, bm, &moved));

        // Another scale replaces the cache.
        RgnTransform other = moved;
        other.ScaleXNum += 1;
        HRGN replaced = nullptr;
        ASSERT_EQ(Z_IntGetBitmapRgnHandle(&bm, &other, &replaced, &mustDelete), RC_SUCCESS);
        EXPECT_EQ(bm.Region->hRgnCache, replaced);
        EXPECT_TRUE(PixelsOfGdi(replaced) == MapToCaller(m, bm, &other));
        K_FreeRegion(bm.Region);
    }
}

// Without a region the bitmap rectangle is the caller's; Z_SetBitmapRgnClip(0)
// is the unclipped flag.
TEST(RgnHandle, WithoutARegionTheBitmapRectangleIsTheCallers) {
    zvtest::ResourceCheck check;
    BitmapHandle bm = Frame(30, 20);
    RgnTransform t{0, 2, 1, 1, 1, 5, 6};
    HRGN h = nullptr;
    int mustDelete = 0, clip = -1;
    ASSERT_EQ(Z_IntGetBitmapRgnHandle(&bm, &t, &h, &mustDelete), RC_SUCCESS);
    EXPECT_EQ(mustDelete, 1);
    EXPECT_TRUE(PixelsOfGdi(h) == Mask::Rect(5, 6, 65, 26));
    DeleteObject(h);
    EXPECT_EQ(Z_GetBitmapRgnData(&bm, &t, 0, nullptr), 0) << "no region, no data";
    EXPECT_EQ(Z_SetBitmapRgnClip(&bm, 0), RC_SUCCESS);
    EXPECT_EQ(Z_GetBitmapRgnClip(&bm, &clip), RC_SUCCESS);
    EXPECT_TRUE(clip == 0 && (bm.Flags & BITMAP_RGN_UNCLIPPED));
    EXPECT_EQ(Z_SetBitmapRgnClip(&bm, 5), RC_SUCCESS);
    EXPECT_EQ(Z_GetBitmapRgnClip(&bm, &clip), RC_SUCCESS);
    EXPECT_EQ(clip, 1);
}

// The block GetRegionData gives for the pixels of m: bands of identical
// rows, one rectangle per run.
std::vector<BYTE> ExpectedBlock(const Mask &m) {
    std::vector<RECT> rects;
    auto runsOf = [&](int y) {
        std::vector<std::pair<int, int>> runs;
        for (int x = kLo; x < kHi;) {
            if (!m.Get(x, y)) {
                ++x;
                continue;
            }
            int e = x;
            while (e < kHi && m.Get(e, y))
                ++e;
            runs.emplace_back(x, e);
            x = e;
        }
        return runs;
    };
    for (int y = kLo; y < kHi;) {
        const auto runs = runsOf(y);
        int h = 1;
        while (y + h < kHi && runsOf(y + h) == runs)
            ++h;
        for (auto [s, e] : runs)
            rects.push_back(RECT{s, y, e, y + h});
        y += h;
    }
    RGNDATAHEADER hdr{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(rects.size()),
                      static_cast<DWORD>(rects.size() * sizeof(RECT)), m.Bounds()};
    std::vector<BYTE> block(sizeof hdr + rects.size() * sizeof(RECT));
    std::memcpy(block.data(), &hdr, sizeof hdr);
    if (!rects.empty())
        std::memcpy(block.data() + sizeof hdr, rects.data(), rects.size() * sizeof(RECT));
    return block;
}

TEST(RgnData, BlockIsByteForByteTheBandsAndRoundTrips) {
    zvtest::ResourceCheck check;
    std::mt19937 rng(8);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        BitmapHandle bm = Frame(120, 100);
        const Mask m = RandomMask(rng, bm.Width, bm.Height);
        bm.Region = RgnOfMask(m);
        const std::vector<BYTE> want = ExpectedBlock(m);
        const int size = Z_GetBitmapRgnData(&bm, nullptr, 0, nullptr);
        ASSERT_EQ(size, static_cast<int>(want.size()));
        std::vector<BYTE> got(size + 16, 0xCD);
        ASSERT_EQ(Z_GetBitmapRgnData(&bm, nullptr, size, got.data()), size);
        EXPECT_EQ(std::memcmp(got.data(), want.data(), size), 0);
        EXPECT_EQ(Z_GetBitmapRgnData(&bm, nullptr, size - 1, got.data()), RC_NO_MEMORY) << "a block too small";
        EXPECT_EQ(Z_GetBitmapRgnData(&bm, nullptr, -1, got.data()), RC_INVALID_PARAMETER);

        BitmapHandle other = Frame(120, 100);
        other.Region = RgnOfMask(RandomMask(rng, other.Width, other.Height));
        ASSERT_EQ(Z_SetBitmapRgnData(&other, nullptr, size, got.data(), RGN_MODE_SET), RC_SUCCESS);
        EXPECT_TRUE(Matches(other.Region, m));

        // Through a transform that only moves: taken and given back alike.
        RgnTransform t{bm.Orientation, 1, 1, 1, 1, -9, 13};
        const int moved = Z_GetBitmapRgnData(&bm, &t, 0, nullptr);
        std::vector<BYTE> block(moved);
        ASSERT_EQ(Z_GetBitmapRgnData(&bm, &t, moved, block.data()), moved);
        // Regions handed in are offset by the transform too: back by the opposite offsets.
        RgnTransform back{bm.Orientation, 1, 1, 1, 1, 9, -13};
        ASSERT_EQ(Z_SetBitmapRgnData(&other, &back, moved, block.data(), RGN_MODE_SET), RC_SUCCESS);
        EXPECT_TRUE(Matches(other.Region, m));

        // And through a GDI handle.
        GdiHandle h;
        ASSERT_EQ(Z_GetBitmapRgnHandle(&bm, &t, &h.Handle), RC_SUCCESS);
        ASSERT_EQ(Z_SetBitmapRgnHandle(&other, &back, h.Handle, RGN_MODE_XOR), RC_SUCCESS);
        EXPECT_EQ(other.Region->RowTableSize, 0u) << "a region xor itself is empty";
        EXPECT_EQ(Z_SetBitmapRgnHandle(&other, nullptr, nullptr, 99), RC_SUCCESS);
        EXPECT_EQ(other.Region, nullptr);
        EXPECT_EQ(Z_SetBitmapRgnData(&bm, nullptr, 0, nullptr, 99), RC_SUCCESS);
        EXPECT_EQ(bm.Region, nullptr);
    }
}

TEST(RgnData, TenThousandDifferentRowsRoundTrip) {
    zvtest::ResourceCheck check;
    BitmapHandle bm = Frame(4000, 10000);
    zv::RgnBuilder b;
    ASSERT_EQ(zv::RgnBuilderBegin(b, RECT{0, 0, 4000, 10000}), RC_SUCCESS);
    for (int y = 0; y < 10000; ++y) {
        zv::RgnBuilderAddSpan(b, y % 997, y % 997 + 1 + y % 13);
        zv::RgnBuilderAddSpan(b, 2000 + y % 991, 2001 + y % 991 + y % 7);
        ASSERT_EQ(zv::RgnBuilderEndRow(b), RC_SUCCESS);
    }
    zv::RgnBuilderFinish(b);
    bm.Region = b.Region;
    const int size = Z_GetBitmapRgnData(&bm, nullptr, 0, nullptr);
    ASSERT_EQ(size, static_cast<int>(sizeof(RGNDATAHEADER) + 20000 * sizeof(RECT)));
    std::vector<BYTE> block(size);
    ASSERT_EQ(Z_GetBitmapRgnData(&bm, nullptr, size, block.data()), size);
    BitmapHandle back = Frame(4000, 10000);
    ASSERT_EQ(Z_SetBitmapRgnData(&back, nullptr, size, block.data(), RGN_MODE_SET), RC_SUCCESS);
    EXPECT_TRUE(SnapshotOf(back.Region) == SnapshotOf(bm.Region));
    K_FreeRegion(back.Region);
    K_FreeRegion(bm.Region);
}

// Outside data: valid blocks mutated at random.  Each call either refuses
// with RC_NO_MEMORY (the region as it was) or sets exactly the pixels of
// the block's non-empty rectangles, as the system's own region of the
// block shows them.  Nothing leaks either way.
TEST(RgnData, MutatedBlocksAreRefusedOrReadExactly) {
    zvtest::ResourceCheck check;
    std::mt19937 rng(2024);
    BitmapHandle bm = Frame(100, 100);
    const Mask all = Mask::Rect(0, 0, 100, 100);
    int refused = 0, taken = 0;
    for (int round = 0; round < 3000; ++round) {
        BitmapHandle src = Frame(100, 100);
        src.Region = RgnOfMask(RandomMask(rng, 100, 100));
        const int size = Z_GetBitmapRgnData(&src, nullptr, 0, nullptr);
        std::vector<BYTE> block(size + 64);
        ASSERT_EQ(Z_GetBitmapRgnData(&src, nullptr, size, block.data()), size);
        K_FreeRegion(src.Region);
        int n = size;
        const int mutations = 1 + static_cast<int>(rng() % 3);
        for (int k = 0; k < mutations; ++k) {
            const int what = static_cast<int>(rng() % 6);
            const int rects = std::max(0, (n - 32) / 16);
            if (what == 0) {  // a byte of the header anywhere
                block[rng() % 32] ^= static_cast<BYTE>(1 + rng() % 255);
            } else if (what == 1) {  // a coordinate nudged
                if (rects)
                    reinterpret_cast<LONG *>(block.data() + 32)[rng() % (4 * rects)] += static_cast<int>(rng() % 41) - 20;
            } else if (what == 2) {  // truncated or padded
                n = std::max(0, std::min<int>(static_cast<int>(block.size()), n + static_cast<int>(rng() % 49) - 32));
            } else if (what == 3 && rects > 1) {  // two rectangles swapped
                RECT *r = reinterpret_cast<RECT *>(block.data() + 32);
                std::swap(r[rng() % rects], r[rng() % rects]);
            } else if (what == 4) {  // the count
                reinterpret_cast<RGNDATAHEADER *>(block.data())->nCount += static_cast<int>(rng() % 7) - 3;
            } else {  // a bit of the low byte of a coordinate
                if (rects)
                    block[32 + 4 * (rng() % (4 * rects))] ^= static_cast<BYTE>(1 << (rng() % 8));
            }
        }
        const Snapshot before = SnapshotOf(bm.Region);
        const int rc = Z_SetBitmapRgnData(&bm, nullptr, n, block.data(), RGN_MODE_SET);
        if (rc != RC_SUCCESS) {
            ASSERT_EQ(rc, n == 0 ? RC_SUCCESS : RC_NO_MEMORY) << "round " << round;
            EXPECT_TRUE(SnapshotOf(bm.Region) == before) << "round " << round;
            ++refused;
            continue;
        }
        ++taken;
        if (n == 0) {
            EXPECT_EQ(bm.Region, nullptr);
            continue;
        }
        GdiHandle sys;
        sys.Handle = ExtCreateRegion(nullptr, n, reinterpret_cast<const RGNDATA *>(block.data()));
        ASSERT_NE(sys.Handle, nullptr) << "round " << round << ": taken here, refused by the system";
        EXPECT_TRUE(Matches(bm.Region, PixelsOfGdi(sys.Handle).Combine(all, [](bool a, bool b) { return a && b; })))
            << "round " << round;
    }
    K_FreeRegion(bm.Region);
    EXPECT_GT(refused, 500);
    EXPECT_GT(taken, 500);
}

// Masks both ways: the mask of a region holds 1 exactly inside it, and a
// mask of any depth gives back the region of its white pixels.
TEST(RgnMask, MaskOfTheRegionAndRegionOfTheMask) {
    zvtest::ResourceCheck check;
    std::mt19937 rng(41);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        BitmapHandle bm{};
        ASSERT_EQ(K_CreateBitmap(&bm, 60 + round, 50, round % 2 ? 24 : 8, ORDER_BGR, round % 3), RC_SUCCESS);
        const Mask m = round % 6 ? RandomMask(rng, bm.Width, bm.Height) : Mask::Rect(0, 0, bm.Width, bm.Height);
        if (round % 6)
            bm.Region = RgnOfMask(m);
        BitmapHandle mask{};
        ASSERT_EQ(Z_CreateMaskFromBitmapRgn(&bm, &mask), RC_SUCCESS);
        EXPECT_EQ(mask.BitsPerPixel, 1);
        EXPECT_EQ(mask.Orientation, bm.Orientation);
        EXPECT_EQ(mask.Region, nullptr);
        for (int y = 0; y < bm.Height; ++y)
            for (int x = 0; x < bm.Width; ++x)
                ASSERT_EQ(K_GetPixelValue(&mask, y, x) == 0xFFFFFF, m.Get(x, y)) << x << ", " << y;

        // Back, from the mask itself and from copies of other depths.
        const int depth = round % 4 == 0 ? 1 : round % 4 == 1 ? 8 : 24;
        BitmapHandle deep{};
        ASSERT_EQ(K_ConvertColorResolution(&mask, &deep, depth, nullptr, 0, KCONV_NEAREST | KCONV_BLUE_FIRST),
                  RC_SUCCESS);
        BitmapHandle target = Frame(bm.Width, bm.Height);
        target.Region = RgnOfMask(Mask::Rect(5, 5, 30, 30));
        ASSERT_EQ(Z_SetBitmapRgnFromMask(&target, nullptr, &deep, RGN_MODE_OR), RC_SUCCESS);
        EXPECT_TRUE(Matches(target.Region, m.Combine(Mask::Rect(5, 5, 30, 30), [](bool a, bool b) { return a || b; })));
        EXPECT_EQ(deep.Region, nullptr);
        K_FreeRegion(target.Region);
        K_FreeBitmap(&deep);
        K_FreeBitmap(&mask);
        K_FreeBitmap(&bm);
    }
}

}  // namespace
