// Runs to GDI regions: pixels against the runs (through PtInRegion), the
// pieces and nested runs reached with small limits, transforms against a
// per-pixel mapping, and every failure path.
#include "region_model.h"

namespace {

using namespace rgntest;

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

struct GdiHandle {
    HRGN Handle = nullptr;
    ~GdiHandle() {
        if (Handle)
            DeleteObject(Handle);
    }
};

TEST(RgnToGdi, PixelsMatchTheRunsForEveryPieceLimitAndStackSize) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(77);
    struct Limits {
        uint32_t piece, stack;
    };
    // 2 and 3 split down to single rectangles; a stack of 3 or 4 makes
    // nearly every piece a nested run.
    for (const Limits lim : {Limits{4000, 32}, Limits{2, 32}, Limits{3, 3}, Limits{5, 4}, Limits{64, 3}}) {
        for (int round = 0; round < 6; ++round) {
            SCOPED_TRACE(testing::Message() << "piece " << lim.piece << ", stack " << lim.stack << ", round " << round);
            const Mask m = RandomBandedMask(rng, 1 + round * 4);
            ZoraRgn *r = RgnOfMask(m);
            ASSERT_NE(r, nullptr);
            GdiHandle h;
            zv::RgnGdiPieces pieces;
            pieces.MaxPiece = lim.piece;
            pieces.StackEntries = lim.stack;
            ASSERT_EQ(zv::RgnToGdiRegionWith(nullptr, r, nullptr, &h.Handle, pieces), RC_SUCCESS);
            EXPECT_TRUE(PixelsOfGdi(h.Handle) == m);
            RECT box;
            GetRgnBox(h.Handle, &box);
            EXPECT_TRUE(EqualRect(&box, &r->Bounds) || (IsRectEmpty(&box) && !r->RowTableSize));
            K_FreeRegion(r);
        }
    }
}

// A stand-in for ExtCreateRegion that refuses pieces of more than
// g_refuseAbove rectangles, and every piece after g_madeLimit made ones;
// it remembers what it made.
DWORD g_refuseAbove;
size_t g_madeLimit;
std::vector<HRGN> g_made;
std::vector<DWORD> g_madeCounts;

HRGN PickyMaker(const RGNDATA *data, DWORD size) {
    if (data->rdh.nCount > g_refuseAbove || g_made.size() >= g_madeLimit)
        return nullptr;
    HRGN h = ExtCreateRegion(nullptr, size, data);
    g_made.push_back(h);
    g_madeCounts.push_back(data->rdh.nCount);
    return h;
}

TEST(RgnToGdi, RefusedPiecesAreSplitUntilTheSystemTakesThem) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(11);
    for (DWORD limit : {2u, 7u, 100u}) {
        const Mask m = RandomBandedMask(rng, 12);
        ZoraRgn *r = RgnOfMask(m);
        g_refuseAbove = limit;
        g_madeLimit = SIZE_MAX;
        g_made.clear();
        g_madeCounts.clear();
        zv::RgnGdiPieces pieces;
        pieces.Make = PickyMaker;
        GdiHandle h;
        ASSERT_EQ(zv::RgnToGdiRegionWith(nullptr, r, nullptr, &h.Handle, pieces), RC_SUCCESS) << limit;
        EXPECT_TRUE(PixelsOfGdi(h.Handle) == m) << limit;
        EXPECT_GT(g_made.size(), 1u);
        for (DWORD n : g_madeCounts)
            EXPECT_LE(n, limit);
        K_FreeRegion(r);
    }
}

TEST(RgnToGdi, WhenNoPieceCanBeMadeEveryRegionMadeSoFarIsDeleted) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(12);
    const Mask m = RandomBandedMask(rng, 12);
    ZoraRgn *r = RgnOfMask(m);
    for (size_t madeLimit : {size_t{0}, size_t{1}, size_t{5}, size_t{20}}) {
        g_refuseAbove = 8;
        g_madeLimit = madeLimit;
        g_made.clear();
        g_madeCounts.clear();
        zv::RgnGdiPieces pieces;
        pieces.Make = PickyMaker;
        pieces.StackEntries = 4;  // nested runs fail too
        HRGN h = nullptr;
        EXPECT_EQ(zv::RgnToGdiRegionWith(nullptr, r, nullptr, &h, pieces), RC_NO_MEMORY) << madeLimit;
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(g_made.size(), madeLimit);
        RECT box;
        for (HRGN made : g_made)
            EXPECT_EQ(GetRgnBox(made, &box), ERROR) << "a piece's region was left behind";
    }
    K_FreeRegion(r);
}

// Identical rows become one band of rectangles: the region data GDI gives
// back holds one rectangle per run of each band.
TEST(RgnToGdi, RowsWithTheSameRunsBecomeOneBand) {
    zvtest::LiveBlockCheck check;
    Mask m;
    for (int y = 10; y < 40; ++y) {
        for (int x = 5; x < 9; ++x)
            m.Set(x, y);
        for (int x = 20; x < 30; ++x)
            m.Set(x, y);
    }
    for (int y = 40; y < 45; ++y)
        for (int x = 0; x < 3; ++x)
            m.Set(x, y);
    ZoraRgn *r = RgnOfMask(m);
    GdiHandle h;
    ASSERT_EQ(zv::RgnToGdiRegion(nullptr, r, nullptr, &h.Handle), RC_SUCCESS);
    EXPECT_EQ(GetRegionData(h.Handle, 0, nullptr), sizeof(RGNDATAHEADER) + 3 * sizeof(RECT));
    K_FreeRegion(r);
}

// 10,000 rows that all differ: far more rectangles than one piece holds,
// still one GDI region with every rectangle in it.
TEST(RgnToGdi, TenThousandDifferentRowsMakeOneRegion) {
    zvtest::LiveBlockCheck check;
    zv::RgnBuilder b;
    ASSERT_EQ(zv::RgnBuilderBegin(b, RECT{0, 0, 4000, 10000}), RC_SUCCESS);
    for (int y = 0; y < 10000; ++y) {
        zv::RgnBuilderAddSpan(b, y % 997, y % 997 + 1 + y % 13);
        ASSERT_EQ(zv::RgnBuilderEndRow(b), RC_SUCCESS);
    }
    zv::RgnBuilderFinish(b);
    GdiHandle h;
    ASSERT_EQ(zv::RgnToGdiRegion(nullptr, b.Region, nullptr, &h.Handle), RC_SUCCESS);
    const DWORD size = GetRegionData(h.Handle, 0, nullptr);
    ASSERT_EQ(size, sizeof(RGNDATAHEADER) + 10000 * sizeof(RECT));
    std::vector<char> data(size);
    GetRegionData(h.Handle, size, reinterpret_cast<RGNDATA *>(data.data()));
    const RECT *rects = reinterpret_cast<const RECT *>(reinterpret_cast<RGNDATA *>(data.data())->Buffer);
    for (int y = 0; y < 10000; ++y) {
        const RECT want{y % 997, y, y % 997 + 1 + y % 13, y + 1};
        ASSERT_TRUE(EqualRect(&rects[y], &want)) << "row " << y;
    }
    K_FreeRegion(b.Region);
}

// Every orientation, scale and offset: the GDI region holds exactly the
// caller pixels covered by the bitmap pixels of the region, each pixel
// mapped on its own.
TEST(RgnToGdi, TransformsMapEveryPixelAsTheCallerSeesIt) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(5);
    for (int bitmapOrientation : {0, 1, 4, 5}) {
        for (int orientation : {0, 1, 2, 3, 4, 5, 7, 8}) {
            const Mask m = Mask::Of([&](int x, int y) {
                return x >= 0 && x < 40 && y >= 0 && y < 30 && ((x * 7 + y * 3 + orientation) % 5 < 2 || x == y);
            });
            BitmapHandle bm = Frame(40, 30, BITMAP_ALLOCATED, bitmapOrientation);
            RgnTransform t{orientation, 1 + static_cast<int>(rng() % 2), 1, 1 + static_cast<int>(rng() % 2), 1,
                           static_cast<int>(rng() % 9) - 4, static_cast<int>(rng() % 9) - 4};
            SCOPED_TRACE(testing::Message() << "bitmap orientation " << bitmapOrientation << ", caller " << orientation
                                            << ", scale " << t.ScaleXNum << "/" << t.ScaleYNum);
            Mask want;
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    if (!m.Get(x, y))
                        continue;
                    RECT px{x, y, x + 1, y + 1};
                    ASSERT_EQ(zv::RgnTransformRectToCaller(&bm, &t, &px), RC_SUCCESS);
                    for (int v = px.top; v < px.bottom; ++v)
                        for (int u = px.left; u < px.right; ++u)
                            want.Set(u, v);
                }
            ZoraRgn *r = RgnOfMask(m);
            GdiHandle h;
            ASSERT_EQ(zv::RgnToGdiRegion(&bm, r, &t, &h.Handle), RC_SUCCESS);
            EXPECT_TRUE(PixelsOfGdi(h.Handle) == want);
            K_FreeRegion(r);
        }
    }
}

TEST(RgnToGdi, EmptyRegionGivesAnEmptyGdiRegion) {
    zvtest::LiveBlockCheck check;
    ZoraRgn *r = nullptr;
    const RECT none{5, 5, 5, 9};
    ASSERT_EQ(zv::RgnFromRect(&r, &none), RC_SUCCESS);
    GdiHandle h;
    ASSERT_EQ(zv::RgnToGdiRegion(nullptr, r, nullptr, &h.Handle), RC_SUCCESS);
    RECT box;
    EXPECT_EQ(GetRgnBox(h.Handle, &box), NULLREGION);
    K_FreeRegion(r);
}

TEST(RgnToGdi, BadArgumentsAndFailuresLeaveNothingBehind) {
    zvtest::LiveBlockCheck check;
    ZoraRgn *r = RgnOfMask(Mask::Rect(0, 0, 10, 10));
    HRGN h = reinterpret_cast<HRGN>(1);
    EXPECT_EQ(zv::RgnToGdiRegion(nullptr, nullptr, nullptr, &h), RC_INVALID_PARAMETER);
    EXPECT_EQ(zv::RgnToGdiRegion(nullptr, r, nullptr, nullptr), RC_INVALID_PARAMETER);
    // A transform needs the bitmap, and a valid one.
    RgnTransform t{0, 1, 1, 1, 1, 0, 0};
    EXPECT_EQ(zv::RgnToGdiRegion(nullptr, r, &t, &h), RC_NO_BITMAP);
    BitmapHandle bm = Frame(10, 10);
    t.ScaleXDen = 0;
    EXPECT_EQ(zv::RgnToGdiRegion(&bm, r, &t, &h), RC_INVALID_PARAMETER);
    EXPECT_EQ(h, reinterpret_cast<HRGN>(1)) << "the handle is written only on success";

    zvtest::SweepAllocationFailures([&] { return zv::RgnToGdiRegion(nullptr, r, nullptr, &h); },
                                    [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
                                    [&](int rc) {
                                        ASSERT_EQ(rc, RC_SUCCESS);
                                        DeleteObject(h);
                                    });
    K_FreeRegion(r);
}

}  // namespace
