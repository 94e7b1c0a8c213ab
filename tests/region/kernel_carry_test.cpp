// The kernel's own bitmap operations carry the region through the region
// service table: after each one the region must cover exactly the pixels
// that were inside it before (marked 1 in an 8-bit bitmap).
#include "region_model.h"

#include "frame/library.h"

using namespace rgntest;

namespace {

// Registers the library's table for the test and withdraws it after.
struct TableRegistered {
    TableRegistered() { K_SetRegionServiceTable(&zv::RegionServices); }
    ~TableRegistered() { K_SetRegionServiceTable(nullptr); }
};

// The set of pixels of value 1.
Mask Marked(const BitmapHandle &b) {
    Mask m;
    for (int y = 0; y < b.Height; ++y)
        for (int x = 0; x < b.Width; ++x)
            if (b.Data[static_cast<size_t>(y) * b.BytesPerLine + x] == 1)
                m.Set(x, y);
    return m;
}

void Mark(BitmapHandle &b, const Mask &m) {
    for (int y = 0; y < b.Height; ++y)
        for (int x = 0; x < b.Width; ++x)
            b.Data[static_cast<size_t>(y) * b.BytesPerLine + x] = m.Get(x, y) ? 1 : 2;
}

// Free angles: the region steps its mapping, the pixels divide directly;
// the two may differ at the edge by a pixel, never by a few percent.
TEST(KernelCarriesRegion, FlipMirrorTurnsResizeCopy) {
    zvtest::LiveBlockCheck check;
    TableRegistered table;
    std::mt19937 rng(61);
    for (int iter = 0; iter < 40; ++iter) {
        SCOPED_TRACE(iter);
        BitmapHandle b;
        const int w = 10 + static_cast<int>(rng() % 60), h = 10 + static_cast<int>(rng() % 60);
        ASSERT_EQ(K_CreateBitmap(&b, w, h, 8, ORDER_GRAY, 0), RC_SUCCESS);
        RECT e{static_cast<LONG>(rng() % w) - 5, static_cast<LONG>(rng() % h) - 5, 0, 0};
        e.right = e.left + 12 + static_cast<LONG>(rng() % 40);
        e.bottom = e.top + 12 + static_cast<LONG>(rng() % 40);
        ASSERT_EQ(Z_SetBitmapRgnEllipse(&b, nullptr, &e, RGN_MODE_SET), RC_SUCCESS);
        Mark(b, MaskOf(b.Region));
        ASSERT_EQ(K_FlipBitmap(&b), RC_SUCCESS);
        ASSERT_TRUE(Matches(b.Region, Marked(b)));
        ASSERT_EQ(K_MirrorBitmap(&b), RC_SUCCESS);
        ASSERT_TRUE(Matches(b.Region, Marked(b)));
        for (int angle : {9000, 18000, 27000, -9000}) {
            // The region loses what the turn pushes out of the frame; the
            // pixels of the region stay marked, every other pixel not.
            ASSERT_EQ(K_RotateBitmap(&b, angle), RC_SUCCESS);
            ASSERT_TRUE(Matches(b.Region, Marked(b))) << angle;
            Mark(b, MaskOf(b.Region));
        }
        ASSERT_EQ(K_ResizeBitmap(&b, w * 2 + 1, h / 2 + 1), RC_SUCCESS);
        ASSERT_TRUE(Matches(b.Region, Marked(b)));
        BitmapHandle copy;
        ASSERT_EQ(K_CopyBitmap(&copy, &b), RC_SUCCESS);
        ASSERT_NE(copy.Region, b.Region);
        EXPECT_TRUE(SnapshotOf(copy.Region) == SnapshotOf(b.Region));
        K_FreeBitmap(&copy);
        K_FreeBitmap(&b);
    }
    BitmapHandle b;
    ASSERT_EQ(K_CreateBitmap(&b, 120, 90, 8, ORDER_GRAY, 0), RC_SUCCESS);
    RECT e{10, 10, 110, 80};
    ASSERT_EQ(Z_SetBitmapRgnEllipse(&b, nullptr, &e, RGN_MODE_SET), RC_SUCCESS);
    Mark(b, MaskOf(b.Region));
    ASSERT_EQ(K_RotateBitmap(&b, 3000), RC_SUCCESS);
    const Mask marked = Marked(b), region = MaskOf(b.Region);
    EXPECT_EQ(InvariantFailure(b.Region), "");
    EXPECT_LT(marked.Combine(region, [](bool p, bool q) { return p != q; }).Count(), region.Count() / 25);
    K_FreeBitmap(&b);
}

}  // namespace
