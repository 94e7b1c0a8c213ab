// GDI handles, stored region data and masks against the pixel model:
// every transform through the exports, the cache contract, the data block
// byte for byte and its round trips; runs to GDI regions in pieces.
#include "region_model.h"

#include <cstring>

namespace {

using namespace rgntest;

TEST(RgnHandle, EveryTransformGivesTheCallerPixelsAndTheCacheFollowsTheOffsets) {
    zvtest::ResourceCheck check;
    std::mt19937 rng(31);
    for (int round = 0; round < 60; ++round) {
        BitmapHandle bm = Frame(40 + static_cast<int>(rng() % 20), 30 + static_cast<int>(rng() % 20),
                                BITMAP_ALLOCATED, round % 9 == 6 ? 0 : round % 9);
        const Mask m = RandomMask(rng, bm.Width, bm.Height);
        bm.Region = RgnOfMask(m);
        RgnTransform t{zvtest::kOrientations[rng() % 8], 1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 2),
                       1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 2),
                       static_cast<int>(rng() % 11) - 5, static_cast<int>(rng() % 11) - 5};
        RgnTransform *pt = round % 7 == 0 ? nullptr : &t;
        SCOPED_TRACE(testing::Message() << "round " << round << ", bitmap orientation " << bm.Orientation
                                        << ", caller " << t.Orientation << ", scale " << t.ScaleXNum << "/"
                                        << t.ScaleXDen << " " << t.ScaleYNum << "/" << t.ScaleYDen);
        HRGN cached = nullptr;
        int mustDelete = -1;
        ASSERT_EQ(Z_IntGetBitmapRgnHandle(&bm, pt, &cached, &mustDelete), RC_SUCCESS);
        EXPECT_TRUE(mustDelete == 0 && bm.Region->hRgnCache == cached);
        EXPECT_TRUE(PixelsOfGdi(cached) == MapToCaller(m, bm, pt));

        // Only the offsets differ: the same GDI region, moved.
        RgnTransform moved = pt ? t : RgnTransform{bm.Orientation, 1, 1, 1, 1, 0, 0};
        moved.OffsetX += 7, moved.OffsetY -= 3;
        HRGN again = nullptr;
        ASSERT_EQ(Z_IntGetBitmapRgnHandle(&bm, &moved, &again, &mustDelete), RC_SUCCESS);
        EXPECT_TRUE(again == cached && PixelsOfGdi(again) == MapToCaller(m, bm, &moved));

        // A handle of its own, whose deletion leaves the cache alone.
        GdiHandle own;
        ASSERT_EQ(Z_GetBitmapRgnHandle(&bm, &moved, &own.Handle), RC_SUCCESS);
        EXPECT_TRUE(own.Handle != cached && EqualRgn(own.Handle, cached));

        // Another scale: a new cache in the old one's place.
        RgnTransform rescaled = moved;
        rescaled.ScaleYNum += 1;
        ASSERT_EQ(Z_IntGetBitmapRgnHandle(&bm, &rescaled, &again, &mustDelete), RC_SUCCESS);
        EXPECT_TRUE(bm.Region->hRgnCache == again && PixelsOfGdi(again) == MapToCaller(m, bm, &rescaled));

        K_FreeRegion(bm.Region);
        // Without a region the bitmap rectangle goes through the transform too.
        bm.Region = nullptr;
        t.ScaleYDen = 0;
        EXPECT_EQ(Z_IntGetBitmapRgnHandle(&bm, &t, &cached, &mustDelete), RC_INVALID_PARAMETER);
    }
}

// The block GetRegionData gives for the pixels of m: bands of identical
// rows, one rectangle per run.
std::vector<BYTE> ExpectedBlock(const Mask &m) {
    std::vector<RECT> rects;
    for (int y = kLo, h = 1; y < kHi; y += h) {
        for (h = 1; y + h < kHi && m.Runs(y + h) == m.Runs(y);)
            ++h;
        for (auto [s, e] : m.Runs(y))
            rects.push_back(RECT{s, y, e, y + h});
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
        EXPECT_TRUE(Z_SetBitmapRgnData(&bm, nullptr, -1, got.data(), RGN_MODE_SET) == RC_INVALID_PARAMETER &&
                    Z_SetBitmapRgnData(nullptr, nullptr, 0, nullptr, RGN_MODE_SET) == RC_INVALID_PARAMETER &&
                    Z_SetBitmapRgnHandle(&bm, nullptr, HRGN(GetStockObject(WHITE_BRUSH)), RGN_MODE_SET) == RC_INVALID_PARAMETER);

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
    // A few bytes claiming rows by the billion cost only the bitmap's rows.
    const std::vector<BYTE> huge = ExpectedBlock(Mask::Rect(0, 0, 1, 1));
    const RECT claim{2, INT32_MIN + 1, 10, INT32_MAX};
    std::memcpy(const_cast<BYTE *>(huge.data()) + sizeof(RGNDATAHEADER), &claim, sizeof claim);
    BitmapHandle bm = Frame(16, 8);
    RgnTransform moved{bm.Orientation, 1, 1, 1, 1, -1, 0};
    for (RgnTransform *t : {static_cast<RgnTransform *>(nullptr), &moved}) {
        ASSERT_EQ(Z_SetBitmapRgnData(&bm, t, int(huge.size()), const_cast<BYTE *>(huge.data()), RGN_MODE_SET),
                  RC_SUCCESS);
        EXPECT_TRUE(Matches(bm.Region, Mask::Rect(t ? 1 : 2, 0, t ? 9 : 10, 8)));
    }
    Z_FreeBitmapRgn(&bm);
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
        EXPECT_TRUE(mask.BitsPerPixel == 1 && mask.Orientation == bm.Orientation && !mask.Region);
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

// ---- runs to GDI regions ---------------------------------------------------

// Runs to GDI regions: pixels against the runs (through PtInRegion), the
// pieces and nested runs reached with small limits.

// A random region of the model window with bands of repeated rows, empty
// rows and rows of up to `runs` runs.
Mask RandomBandedMask(std::mt19937 &rng, int runs) {
    Mask m;
    std::vector<std::pair<int, int>> row;
    for (int y = 0; y < 120; ++y) {
        if (rng() % 3 || y == 0) {  // a new row; otherwise repeat the last
            row.clear();
            const int n = static_cast<int>(rng() % (runs + 1));
            int x = static_cast<int>(rng() % 8);
            for (int k = 0; k < n && x < 150; ++k) {
                const int len = 1 + static_cast<int>(rng() % 6);
                row.emplace_back(x, x + len);
                x += len + 1 + static_cast<int>(rng() % 5);
            }
        }
        for (auto [s, e] : row)
            for (int x = s; x < e; ++x)
                m.Set(x, y);
    }
    return m;
}

// A maker that refuses pieces of more than gRefuseOver rectangles (the
// conversion lowers its limit and splits the piece) and every piece from
// its gFailAt-th call on (the conversion fails, deleting what it made).
uint32_t gRefuseOver;
int gCalls, gFailAt;
HRGN Refusing(const RGNDATA *pData, DWORD cbData) {
    if (pData->rdh.nCount > gRefuseOver || (++gCalls >= gFailAt && gFailAt > 0))
        return nullptr;
    return ExtCreateRegion(nullptr, cbData, pData);
}

TEST(RgnToGdi, PixelsMatchTheRunsForEveryPieceLimitAndStackSize) {
    zvtest::ResourceCheck check;
    std::mt19937 rng(77);
    // Pieces of 2 and 3 split down to single rectangles; a stack of 3 or 4
    // makes nearly every piece a nested run.
    for (const auto &[piece, stack] : {std::pair<uint32_t, uint32_t>{4000, 32}, {2, 32}, {3, 3}, {5, 4}, {64, 3}}) {
        for (int round = 0; round < 6; ++round) {
            SCOPED_TRACE(testing::Message() << "piece " << piece << ", stack " << stack << ", round " << round);
            const Mask m = round ? RandomBandedMask(rng, 1 + round * 4) : Mask();
            ZoraRgn *r = RgnOfMask(m);
            GdiHandle h;
            zv::RgnGdiPieces pieces;
            pieces.MaxPiece = piece, pieces.StackEntries = stack;
            ASSERT_EQ(zv::RgnToGdiRegionWith(nullptr, r, nullptr, &h.Handle, pieces), RC_SUCCESS);
            EXPECT_TRUE(PixelsOfGdi(h.Handle) == m);
            RECT box;
            GetRgnBox(h.Handle, &box);
            EXPECT_TRUE(EqualRect(&box, &r->Bounds) || (IsRectEmpty(&box) && !r->RowTableSize));
            pieces.Make = Refusing;
            // Limits of 3 and more always reach pieces that pass; none never does.
            gRefuseOver = rng() % 4 ? 3 + static_cast<uint32_t>(rng() % 8) : 0, gCalls = 0, gFailAt = rng() % 2 ? 1 + static_cast<int>(rng() % 30) : -1;
            GdiHandle refused;
            const int rc = zv::RgnToGdiRegionWith(nullptr, r, nullptr, &refused.Handle, pieces);
            const bool fails = (gRefuseOver == 0 && r->RowTableSize) || (gFailAt > 0 && gCalls >= gFailAt);
            EXPECT_TRUE(fails ? rc == RC_NO_MEMORY && !refused.Handle : rc == RC_SUCCESS && EqualRgn(refused.Handle, h.Handle))
                << "pieces of at most " << gRefuseOver << ", call " << gFailAt << " failing; rc " << rc;
            K_FreeRegion(r);
        }
    }
}

}  // namespace
