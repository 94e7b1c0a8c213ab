// The flood fills against the fill as defined, run pixel by pixel over the
// model's colours: the point stack, the neighbours in their order, the
// visited and selected bits, the seed untested.
#include "colour_model.h"

#include <cstring>

using namespace rgntest;

namespace {

struct FillArgs {
    int X, Y, Lower, Upper;
    bool Border;
    Colour BorderColour;
};

Mask FillModel(const PixelGrid &grid, const FillArgs &a) {
    const Colour seed = grid.Value[grid.At(a.X, a.Y)];
    const int c[3] = {seed.r, seed.g, seed.b}, bc[3] = {a.BorderColour.r, a.BorderColour.g, a.BorderColour.b};
    auto passes = [&](const Colour &p) {
        const int v[3] = {p.r, p.g, p.b};
        for (int k = 0; k < 3; ++k)
            if (v[k] < std::max(0, c[k] - a.Lower) || v[k] > std::min(255, c[k] + a.Upper) || (a.Border && v[k] == bc[k]))
                return false;
        return true;
    };
    std::vector<char> visited(grid.Raw.size()), selected(grid.Raw.size());
    std::vector<std::pair<int, int>> stack{{a.X, a.Y}};
    Mask m;
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        const int nx[4] = {x - 1, x, x + 1, x}, ny[4] = {y, y - 1, y, y + 1};
        for (int k = 0; k < 4; ++k) {
            if (!grid.Inside(nx[k], ny[k]) || visited[grid.At(nx[k], ny[k])])
                continue;
            visited[grid.At(nx[k], ny[k])] = 1;
            if (selected[grid.At(nx[k], ny[k])] || !passes(grid.Value[grid.At(nx[k], ny[k])]))
                continue;
            selected[grid.At(nx[k], ny[k])] = 1;
            m.Set(nx[k], ny[k]);
            stack.push_back({nx[k], ny[k]});
        }
    }
    return m;
}

int CallFill(BitmapHandle *bm, int kind, const FillArgs &a, UINT mode) {
    switch (kind) {
    case 0: return Z_SetBitmapRgnMagicWand(bm, a.X, a.Y, static_cast<UINT>(a.Lower) | 0xABCD00u, mode);
    case 1: return Z_SetBitmapRgnMagicWandExt(bm, a.X, a.Y, a.Lower << 16 | 0x12, a.Upper << 16 | 0x3400, mode);
    default:
        return Z_SetBitmapRgnBorder(bm, a.X, a.Y, RefOf(a.BorderColour), a.Lower << 16, a.Upper << 16, mode);
    }
}

// Mostly small tolerances (few-colour images connect through equal
// colours), sometimes wide or clamped ones.
int Tolerance(std::mt19937 &rng) { return rng() % 3 ? static_cast<int>(rng() % 8) : static_cast<int>(rng() % 256); }

}  // namespace

TEST(ColourRgn, FloodFillsMatchTheDefinedFillInEveryMode) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(3604);
    for (const Format &f : AllFormats())
        for (int iter = 0; iter < 14; ++iter) {
            SCOPED_TRACE(testing::Message() << f.Bits << " bits, order " << f.Order << ", case " << iter);
            BitmapHandle bm{};
            const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 40);
            RandomBitmap(bm, f, w, h, rng);
            const PixelGrid grid(bm);
            const int kind = static_cast<int>(rng() % 3);
            FillArgs a{static_cast<int>(rng() % w), static_cast<int>(rng() % h), Tolerance(rng), 0, false, {}};
            a.Upper = kind == 0 ? a.Lower : Tolerance(rng);
            a.Border = kind == 2;
            // a border colour sharing channels with pixels of the image
            const Colour seen = grid.Value[rng() % grid.Value.size()];
            a.BorderColour = {rng() % 2 ? seen.r : int(rng() % 256), rng() % 2 ? seen.g : int(rng() % 256),
                              rng() % 2 ? seen.b : int(rng() % 256)};
            const Mask sel = FillModel(grid, a);
            ASSERT_EQ(CallFill(&bm, kind, a, RGN_MODE_SET), RC_SUCCESS);
            ASSERT_TRUE(Matches(bm.Region, sel)) << "fill " << kind << " from " << a.X << "," << a.Y;
            const UINT mode = static_cast<UINT>(rng() % 7);
            Z_FreeBitmapRgn(&bm);
            Mask old;
            const bool hasOld = rng() % 4 != 0;
            if (hasOld) {
                RECT r{int(rng() % w), int(rng() % h), int(rng() % (w + 5)), int(rng() % (h + 5))};
                ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
                old = MaskOf(bm.Region);
            }
            ASSERT_EQ(CallFill(&bm, kind, a, mode), RC_SUCCESS);
            ASSERT_TRUE(Matches(bm.Region, Combined(hasOld ? &old : nullptr, sel, mode, w, h))) << "mode " << mode;
            // seeds outside the bitmap
            const Snapshot before = SnapshotOf(bm.Region);
            for (const auto &[x, y] : {std::pair{-1, 0}, std::pair{w, 0}, std::pair{0, -1}, std::pair{0, h}}) {
                FillArgs out = a;
                out.X = x, out.Y = y;
                EXPECT_EQ(CallFill(&bm, kind, out, RGN_MODE_SET), RC_INVALID_PARAMETER);
            }
            EXPECT_TRUE(SnapshotOf(bm.Region) == before);
            K_FreeBitmap(&bm);
        }
}

// A comb of 30001 teeth: one span holds more runs below it than the first
// stack has room for, so the stack grows.  Every allocation of the fills
// failing in turn, and bad input: the region as it was, nothing left.
TEST(ColourRgn, FillFailuresAndBadInputLeaveTheRegionAlone) {
    zvtest::WarmUp();
    zvtest::ResourceCheck check;
    BitmapHandle comb{};
    const int w = 60001;
    ASSERT_EQ(K_CreateBitmap(&comb, w, 3, 1, ORDER_BGR, 0), RC_SUCCESS);
    std::memset(comb.Data, 0xFF, comb.BytesPerLine);
    for (int x = 0; x < w; x += 2)
        comb.Data[comb.BytesPerLine + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    ASSERT_EQ(Z_SetBitmapRgnMagicWand(&comb, 5, 0, 0, RGN_MODE_SET), RC_SUCCESS);
    UINT area = 0;
    ASSERT_EQ(Z_GetBitmapRgnArea(&comb, &area), RC_SUCCESS);
    EXPECT_EQ(area, static_cast<UINT>(w + (w + 1) / 2));
    SweepRegionOp(comb, [&] { return Z_SetBitmapRgnMagicWand(&comb, 0, 0, 0, RGN_MODE_XOR); });
    K_FreeBitmap(&comb);

    std::mt19937 rng(3605);
    for (const Format f : {Format{4, ORDER_BGR}, Format{16, ORDER_GRAY}, Format{24, ORDER_RGB}}) {
        BitmapHandle bm{};
        RandomBitmap(bm, f, 50, 20, rng);
        RECT r{3, 2, 40, 15};
        ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
        SweepRegionOp(bm, [&] { return Z_SetBitmapRgnMagicWandExt(&bm, 7, 9, 40 << 16, 90 << 16, RGN_MODE_OR); });
        SweepRegionOp(bm, [&] { return Z_SetBitmapRgnBorder(&bm, 7, 9, 0x010203, 90 << 16, 90 << 16, RGN_MODE_AND); });

        const Snapshot before = SnapshotOf(bm.Region);
        EXPECT_EQ(Z_SetBitmapRgnMagicWand(&bm, 1, 1, 0, 7), RC_INVALID_PARAMETER);
        bm.Flags &= ~BITMAP_ALLOCATED;
        EXPECT_EQ(Z_SetBitmapRgnMagicWand(&bm, 1, 1, 0, RGN_MODE_SET), RC_NO_BITMAP);
        EXPECT_EQ(Z_SetBitmapRgnBorder(&bm, 1, 1, 0, 0, 0, RGN_MODE_SET), RC_NO_BITMAP);
        bm.Flags |= BITMAP_ALLOCATED;
        EXPECT_TRUE(SnapshotOf(bm.Region) == before);
        K_FreeBitmap(&bm);
    }
    EXPECT_EQ(Z_SetBitmapRgnMagicWandExt(nullptr, 0, 0, 0, 0, RGN_MODE_SET), RC_NO_BITMAP);
}
