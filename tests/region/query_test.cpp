// Region queries and clip segments, against the pixel model and the
// documented edge cases.
#include "region_model.h"

using namespace rgntest;

namespace {

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
    ASSERT_EQ(Z_GetBitmapRgnArea(&bm, &area), RC_SUCCESS);
    EXPECT_EQ(area, 91u);
    ASSERT_EQ(Z_GetBitmapClipSegmentsMax(&bm, &most), RC_SUCCESS);
    EXPECT_EQ(most, 2u);
    INT32 seg[2] = {};
    for (int row : {-5, 0, 100}) {
        ASSERT_EQ(Z_GetBitmapClipSegments(&bm, row, seg, &count), RC_SUCCESS);
        EXPECT_TRUE(count == 2 && seg[0] == 0 && seg[1] == 13) << row;
    }
    RECT r;
    ASSERT_EQ(Z_GetBitmapRgnBounds(&bm, nullptr, &r), RC_SUCCESS);
    EXPECT_TRUE(r.left == 0 && r.top == 0 && r.right == 13 && r.bottom == 7);
}

}  // namespace
