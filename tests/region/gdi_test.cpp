// Runs to GDI regions: pixels against the runs (through PtInRegion), the
// pieces and nested runs reached with small limits.
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

}  // namespace
