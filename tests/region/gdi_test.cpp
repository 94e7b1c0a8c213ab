// Runs to GDI regions: pixels against the runs (through PtInRegion), the
// pieces and nested runs reached with small limits, refused pieces.
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
            const Mask m = round ? RandomBandedMask(rng, 1 + round * 4) : Mask();
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

// Refused pieces are split until the system takes them; when no piece can
// be made, every region made so far is deleted.
TEST(RgnToGdi, RefusedPiecesAreSplitOrEverythingIsDeleted) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(11);
    for (const auto &[refuseAbove, madeLimit] : {std::pair<DWORD, size_t>{2, SIZE_MAX}, {7, SIZE_MAX}, {100, SIZE_MAX},
                                                 {8, 0}, {8, 1}, {8, 5}, {8, 20}}) {
        SCOPED_TRACE(testing::Message() << "pieces up to " << refuseAbove << ", at most " << madeLimit);
        const Mask m = RandomBandedMask(rng, 12);
        ZoraRgn *r = RgnOfMask(m);
        g_refuseAbove = refuseAbove;
        g_madeLimit = madeLimit;
        g_made.clear();
        g_madeCounts.clear();
        zv::RgnGdiPieces pieces;
        pieces.Make = PickyMaker;
        pieces.StackEntries = madeLimit == SIZE_MAX ? pieces.StackEntries : 4;  // nested runs fail too
        GdiHandle h;
        const int rc = zv::RgnToGdiRegionWith(nullptr, r, nullptr, &h.Handle, pieces);
        if (madeLimit == SIZE_MAX) {
            ASSERT_EQ(rc, RC_SUCCESS);
            EXPECT_TRUE(PixelsOfGdi(h.Handle) == m);
            EXPECT_GT(g_made.size(), 1u);
            for (DWORD n : g_madeCounts)
                EXPECT_LE(n, refuseAbove);
        } else {
            EXPECT_EQ(rc, RC_NO_MEMORY);
            EXPECT_EQ(h.Handle, nullptr);
            EXPECT_EQ(g_made.size(), madeLimit);
            RECT box;
            for (HRGN made : g_made)
                EXPECT_EQ(GetRgnBox(made, &box), ERROR) << "a piece's region was left behind";
        }
        K_FreeRegion(r);
    }
}

}  // namespace
