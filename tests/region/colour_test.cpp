// The colour-region scans, the flood fills and the underlay against the
// per-pixel model of colour_model.h (which the kernel's pixel reading must
// follow too), over random few-colour bitmaps of every depth and Order.
#include "colour_model.h"

#include "color/hsv.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace rgntest;

namespace {

// One random scan call and the pixels the model says it selects.
struct ScanCase {
    std::function<int(BitmapHandle *, UINT)> Call;
    std::function<bool(int x, int y)> Selects;
};

ScanCase RandomScan(const BitmapHandle &bm, const PixelGrid &grid, std::mt19937 &rng) {
    const Colour seen = grid.Level[rng() % grid.Level.size()];
    const bool palette = bm.BitsPerPixel <= 8;
    const std::vector<Colour> &pal = grid.Palette;
    auto index = [&grid](int x, int y) { return static_cast<size_t>(grid.Raw[grid.At(x, y)]); };
    auto colour = [&grid](int x, int y) { return grid.Level[grid.At(x, y)]; };
    // A range scan selects by the pixel's colour, or its palette entry's.
    auto byColour = [=](std::function<bool(const Colour &)> inside) {
        return [=](int x, int y) { return palette ? index(x, y) < pal.size() && inside(pal[index(x, y)]) : inside(colour(x, y)); };
    };
    int lo[3], hi[3];
    const int c[3] = {seen.r, seen.g, seen.b};
    switch (rng() % 4) {
    case 0: {  // exact colour: one seen, or a random one; the first palette entry of it
        const Colour want = rng() % 4 ? seen : Colour{int(rng() % 3 * 85), int(rng() % 3 * 85), 0};
        const size_t first = std::find(pal.begin(), pal.end(), want) - pal.begin();
        return {[want](BitmapHandle *b, UINT m) { return Z_SetBitmapRgnColor(b, RefOf(want), m); },
                [=](int x, int y) { return palette ? first < pal.size() && index(x, y) == first : colour(x, y) == want; }};
    }
    case 1: {  // a palette index; beyond the palette nothing
        const int i = static_cast<int>(rng() % 300);
        const size_t used = palette ? i & ((1 << bm.BitsPerPixel) - 1) : 0;
        return {[i](BitmapHandle *b, UINT m) { return Z_SetBitmapRgnColor(b, 0x01000000u | i, m); },
                [=](int x, int y) { return palette ? used < pal.size() && index(x, y) == used : colour(x, y) == Colour{i & 0xFF, 0, 0}; }};
    }
    case 2: {  // an HSV box around a seen colour, the hue sometimes wrapping
        const HsvColor h = zv::RgbToHsv8(seen.r, seen.g, seen.b);
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::max(0, int((h >> (8 * k)) & 0xFF) - static_cast<int>(rng() % 60));
            hi[k] = std::min(255, int((h >> (8 * k)) & 0xFF) + static_cast<int>(rng() % 60));
        }
        if (rng() % 3 == 0)
            lo[0] = 200 + static_cast<int>(rng() % 56), hi[0] = static_cast<int>(rng() % 40);
        if (rng() % 10 == 0)
            std::swap(lo[1 + rng() % 2], hi[1 + rng() % 2]);
        const HsvColor l = lo[0] | lo[1] << 8 | lo[2] << 16, u = hi[0] | hi[1] << 8 | hi[2] << 16;
        return {[=](BitmapHandle *b, UINT m) { return Z_SetBitmapRgnColorHSVRange(b, l, u, m); },
                byColour([=](const Colour &p) {
                    const HsvColor q = zv::RgbToHsv8(p.r, p.g, p.b);
                    const int hue = q & 0xFF, sat = (q >> 8) & 0xFF, val = (q >> 16) & 0xFF;
                    const bool hueIn = lo[0] <= hi[0] ? lo[0] <= hue && hue <= hi[0] : hue >= lo[0] || hue <= hi[0];
                    return hueIn && lo[1] <= sat && sat <= hi[1] && lo[2] <= val && val <= hi[2];
                })};
    }
    default:  // an RGB box around a seen colour, sometimes empty on a channel
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::max(0, c[k] - static_cast<int>(rng() % 90));
            hi[k] = std::min(255, c[k] + static_cast<int>(rng() % 90));
            if (rng() % 20 == 0)
                std::swap(lo[k], hi[k]);
        }
        return {[=](BitmapHandle *b, UINT m) {
                    return Z_SetBitmapRgnColorRGBRange(b, RGB(lo[0], lo[1], lo[2]), RGB(hi[0], hi[1], hi[2]), m);
                },
                byColour([=](const Colour &p) {
                    return lo[0] <= p.r && p.r <= hi[0] && lo[1] <= p.g && p.g <= hi[1] && lo[2] <= p.b && p.b <= hi[2];
                })};
    }
}

// The flood fill as defined, pixel by pixel: the point stack, the
// neighbours in their order, the visited and selected bits, the seed
// untested.  kind 0: magic wand, 1: its extended form, 2: border fill.
ScanCase RandomFill(const BitmapHandle &bm, const PixelGrid &grid, std::mt19937 &rng) {
    // Mostly small tolerances (few-colour images connect through equal
    // colours), sometimes wide or clamped ones.
    auto tolerance = [&] { return rng() % 3 ? static_cast<int>(rng() % 8) : static_cast<int>(rng() % 256); };
    const int kind = static_cast<int>(rng() % 3), x0 = static_cast<int>(rng() % bm.Width);
    const int y0 = static_cast<int>(rng() % bm.Height), lower = tolerance(), upper = kind ? tolerance() : lower;
    const Colour seen = grid.Value[rng() % grid.Value.size()];  // a border sharing channels with the image
    const Colour border{rng() % 2 ? seen.r : int(rng() % 256), rng() % 2 ? seen.g : int(rng() % 256),
                        rng() % 2 ? seen.b : int(rng() % 256)};
    const Colour seed = grid.Value[grid.At(x0, y0)];
    auto passes = [&](const Colour &p) {
        const int v[3] = {p.r, p.g, p.b}, s[3] = {seed.r, seed.g, seed.b}, bc[3] = {border.r, border.g, border.b};
        for (int k = 0; k < 3; ++k)
            if (v[k] < std::max(0, s[k] - lower) || v[k] > std::min(255, s[k] + upper) || (kind == 2 && v[k] == bc[k]))
                return false;
        return true;
    };
    std::vector<char> visited(grid.Raw.size());
    auto selected = std::make_shared<Mask>();
    std::vector<std::pair<int, int>> stack{{x0, y0}};
    while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        const int nx[4] = {x - 1, x, x + 1, x}, ny[4] = {y, y - 1, y, y + 1};
        for (int k = 0; k < 4; ++k) {
            if (!grid.Inside(nx[k], ny[k]) || visited[grid.At(nx[k], ny[k])])
                continue;
            visited[grid.At(nx[k], ny[k])] = 1;
            if (selected->Get(nx[k], ny[k]) || !passes(grid.Value[grid.At(nx[k], ny[k])]))
                continue;
            selected->Set(nx[k], ny[k]);
            stack.push_back({nx[k], ny[k]});
        }
    }
    return {[=](BitmapHandle *b, UINT m) {
                if (kind == 0)
                    return Z_SetBitmapRgnMagicWand(b, x0, y0, static_cast<UINT>(lower) | 0xABCD00u, m);
                if (kind == 1)
                    return Z_SetBitmapRgnMagicWandExt(b, x0, y0, lower << 16 | 0x12, upper << 16 | 0x3400, m);
                return Z_SetBitmapRgnBorder(b, x0, y0, RefOf(border), lower << 16, upper << 16, m);
            },
            [selected](int x, int y) { return selected->Get(x, y); }};
}

// Each case in SET mode and in two modes against an old region (sometimes
// none); every mode comes up over the cases of one format.
TEST(ColourRgn, ScansAndFillsMatchThePixelModelInEveryMode) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(3602);
    for (const Format &f : AllFormats())
        for (int iter = 0; iter < 28; ++iter) {
            SCOPED_TRACE(testing::Message() << f.Bits << " bits, order " << f.Order << ", case " << iter);
            BitmapHandle bm{};
            const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 40);
            RandomBitmap(bm, f, w, h, rng);
            const PixelGrid grid(bm);
            const ScanCase c = iter % 2 ? RandomFill(bm, grid, rng) : RandomScan(bm, grid, rng);
            const Mask sel = Mask::Of([&](int x, int y) { return grid.Inside(x, y) && c.Selects(x, y); });
            ASSERT_EQ(c.Call(&bm, RGN_MODE_SET), RC_SUCCESS);
            ASSERT_TRUE(Matches(bm.Region, sel));
            for (UINT mode : {static_cast<UINT>(iter / 2 % 7), static_cast<UINT>(rng() % 7)}) {
                Z_FreeBitmapRgn(&bm);
                RECT r{int(rng() % w), int(rng() % h), int(rng() % (w + 5)), int(rng() % (h + 5))};
                const bool hasOld = rng() % 4 && Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET) == RC_SUCCESS;
                const Mask old = MaskOf(bm.Region);
                ASSERT_EQ(c.Call(&bm, mode), RC_SUCCESS);
                ASSERT_TRUE(Matches(bm.Region, ModelCombine(bm, hasOld ? &old : nullptr, sel, mode))) << "mode " << mode;
            }
            K_FreeBitmap(&bm);
        }
}

// A comb of 30001 teeth: one span holds more runs below it than the fill's
// first stack has room for, so the stack grows, under every allocation
// failure too; seeds outside the bitmap are refused.
TEST(ColourRgn, FillStackGrowsAndFailsCleanly) {
    zvtest::LiveBlockCheck check;
    BitmapHandle comb{};
    const int w = 60001;
    ASSERT_EQ(K_CreateBitmap(&comb, w, 3, 1, ORDER_BGR, 0), RC_SUCCESS);
    std::memset(comb.Data, 0xFF, comb.BytesPerLine);
    for (int x = 0; x < w; x += 2)
        comb.Data[comb.BytesPerLine + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    ASSERT_EQ(Z_SetBitmapRgnMagicWand(&comb, 5, 0, 0, RGN_MODE_SET), RC_SUCCESS);
    UINT area = 0;
    EXPECT_TRUE(Z_GetBitmapRgnArea(&comb, &area) == RC_SUCCESS && area == UINT(w + (w + 1) / 2)) << area;
    SweepRegionOp(comb, [&] { return Z_SetBitmapRgnMagicWand(&comb, 0, 0, 0, RGN_MODE_XOR); });
    const Snapshot before = SnapshotOf(comb.Region);
    for (const auto &[x, y] : {std::pair{-1, 0}, std::pair{w, 0}, std::pair{0, -1}, std::pair{0, 3}})
        EXPECT_TRUE(Z_SetBitmapRgnMagicWand(&comb, x, y, 0, RGN_MODE_SET) == RC_INVALID_PARAMETER &&
                    Z_SetBitmapRgnMagicWandExt(&comb, x, y, 0, 0, RGN_MODE_SET) == RC_INVALID_PARAMETER &&
                    Z_SetBitmapRgnBorder(&comb, x, y, 0, 0, 0, RGN_MODE_SET) == RC_INVALID_PARAMETER) << x << "," << y;
    EXPECT_TRUE(SnapshotOf(comb.Region) == before) << "seeds outside the bitmap are refused";
    K_FreeBitmap(&comb);
}

// ---- the underlay ----------------------------------------------------------

// Z_UnderlayBitmap against a model: the underlay as displayed in its own
// orientation, in gray, tiled or stretched (nearest pixel) over the
// target; each channel moved by gray - 128 and clamped; palette targets
// take the nearest entry (2 dr^2 + 4 dg^2 + db^2, the first of equals);
// pixels outside the target's region keep their bytes.

int GrayOf(const Colour &c) { return (c.r * 77 + c.g * 151 + c.b * 28 + 128) >> 8; }

// The underlay's gray levels as displayed: row-major, displayed width dw.
std::vector<int> DisplayedGray(const BitmapHandle &u, int &dw, int &dh) {
    dw = zvtest::DisplayW(u), dh = zvtest::DisplayH(u);
    std::vector<int> g(static_cast<size_t>(dw) * dh);
    for (int y = 0, c, r; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            zvtest::DisplayToStored(u.Orientation, u.Width, u.Height, x, y, &c, &r);
            g[static_cast<size_t>(y) * dw + x] = GrayOf(PixelColour(u, c, r, GrayAs::Level));
        }
    return g;
}

uint64_t Expected(const BitmapHandle &t, const PixelGrid &grid, int x, int y, int gray) {
    const Colour c = grid.Level[grid.At(x, y)];
    const int d = gray - 128;
    const Colour n{std::clamp(c.r + d, 0, 255), std::clamp(c.g + d, 0, 255), std::clamp(c.b + d, 0, 255)};
    if (t.BitsPerPixel > 8)
        return t.Order == ORDER_BGR ? uint64_t(n.b) | n.g << 8 | n.r << 16 : uint64_t(n.r) | n.g << 8 | n.b << 16;
    return static_cast<uint64_t>(zvtest::NearestEntry(t.Palette, static_cast<int>(grid.Palette.size()), n.r, n.g, n.b));
}

std::vector<BYTE> Bytes(const BitmapHandle &b) { return {b.Data, b.Data + static_cast<size_t>(b.BytesPerLine) * b.Height}; }


TEST(Underlay, TiledAndStretchedMatchTheModelInsideTheRegion) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(2901);
    for (int iter = 0; iter < 80; ++iter) {
        const Format tf = std::vector<Format>{{24, ORDER_BGR}, {24, ORDER_RGB}, {32, ORDER_BGR}, {8, ORDER_BGR}, {1, ORDER_BGR}}[iter % 5];
        const Format uf = std::vector<Format>{{24, ORDER_BGR}, {4, ORDER_BGR}, {8, ORDER_BGR}, {16, ORDER_BGR}}[rng() % 4];
        const UINT mode = rng() % 2;
        SCOPED_TRACE(testing::Message() << "case " << iter << ", target " << tf.Bits << ", underlay " << uf.Bits << ", mode " << mode);
        BitmapHandle t{}, u{};
        const int w = 1 + static_cast<int>(rng() % 60), h = 1 + static_cast<int>(rng() % 30);
        RandomBitmap(t, tf, w, h, rng);
        RandomBitmap(u, uf, 1 + static_cast<int>(rng() % 9), 1 + static_cast<int>(rng() % 7), rng);
        u.Orientation = zvtest::kOrientations[rng() % 8];
        if (rng() % 2) {
            RECT r{int(rng() % w), int(rng() % h), int(rng() % (w + 3)), int(rng() % (h + 3))};
            ASSERT_EQ(Z_SetBitmapRgnEllipse(&t, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
        }
        const PixelGrid grid(t);
        int dw, dh;
        const std::vector<int> g = DisplayedGray(u, dw, dh);
        const std::vector<BYTE> underlayBefore = Bytes(u);
        ASSERT_EQ(Z_UnderlayBitmap(&t, &u, mode), RC_SUCCESS);
        EXPECT_EQ(Bytes(u), underlayBefore);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int gray = mode ? g[static_cast<size_t>(y * dh / h) * dw + x * dw / w] : g[static_cast<size_t>(y % dh) * dw + x % dw];
                const bool inside = !t.Region || Z_IsPtInBitmapRgn(&t, y, x) == 1;
                const uint64_t want = inside ? Expected(t, grid, x, y, gray) : grid.Raw[grid.At(x, y)];
                const uint64_t keep = tf.Bits == 32 ? 0xFFFFFF : ~uint64_t(0);
                ASSERT_EQ(RawPixel(t, x, y) & keep, want & keep) << x << "," << y << (inside ? " inside" : " outside");
            }
        K_FreeBitmap(&t);
        K_FreeBitmap(&u);
    }
}

}  // namespace
