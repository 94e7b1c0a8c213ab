// The kernel's pixel operations and the colour-region scans against the
// per-pixel model of colour_model.h, over random few-colour bitmaps of
// every depth and Order.
#include "colour_model.h"

#include "color/hsv.h"

#include <cstring>

using namespace rgntest;

namespace {

// Row bytes a conversion in place needs.
size_t RowRoom(const BitmapHandle &bm) {
    return std::max<size_t>(bm.BytesPerLine, 3u * static_cast<size_t>(bm.Width)) + 16;
}

void CheckPixelOperations(BitmapHandle &bm) {
    const int w = bm.Width, h = bm.Height;
    const PixelGrid grid(bm);
    std::vector<BYTE> row(RowRoom(bm)), back(RowRoom(bm)), again(RowRoom(bm));
    for (int y = 0; y < h; ++y) {
        ASSERT_EQ(K_GetBitmapRow(&bm, row.data(), y, 0, bm.BytesPerLine), bm.BytesPerLine);
        ASSERT_EQ(K_ConvertToBGR(&bm, row.data(), row.data(), w), RC_SUCCESS);
        for (int x = 0; x < w; ++x) {
            ASSERT_EQ((Colour{row[3 * x + 2], row[3 * x + 1], row[3 * x]}), grid.Level[grid.At(x, y)]) << x << "," << y;
            ASSERT_EQ(K_GetPixelValue(&bm, y, x), RefOf(grid.Value[grid.At(x, y)])) << x << "," << y;
            BYTE bytes[8] = {};
            const size_t at = bm.BitsPerPixel == 12 ? (x / 2) * 3 + x % 2 : static_cast<size_t>(x) * bm.BitsPerPixel / 8;
            const int want = static_cast<int>(std::min<size_t>(8, bm.BytesPerLine - at));
            ASSERT_EQ(K_GetPixelBytes(&bm, bytes, y, x, 8), want);
            ASSERT_EQ(std::memcmp(bytes, bm.Data + static_cast<size_t>(y) * bm.BytesPerLine + at, want), 0);
        }
        // Back to the format and once more to 24 bits gives the same
        // colours, except for gray data (levels are not the values) and
        // indices beyond the palette (black need not be an entry).
        if (IsGray(bm) || (bm.BitsPerPixel <= 8 && bm.ColorCount < (1 << bm.BitsPerPixel)))
            continue;
        ASSERT_EQ(K_ConvertFromBGR(&bm, row.data(), back.data(), w), RC_SUCCESS);
        ASSERT_EQ(K_ConvertToBGR(&bm, back.data(), again.data(), w), RC_SUCCESS);
        ASSERT_EQ(std::memcmp(again.data(), row.data(), 3u * w), 0) << "round trip, row " << y;
        std::memcpy(again.data(), row.data(), again.size());
        ASSERT_EQ(K_ConvertFromBGR(&bm, again.data(), again.data(), w), RC_SUCCESS);
        ASSERT_EQ(K_ConvertToBGR(&bm, again.data(), again.data(), w), RC_SUCCESS);
        ASSERT_EQ(std::memcmp(again.data(), row.data(), 3u * w), 0) << "round trip in place, row " << y;
    }
    EXPECT_EQ(K_GetPixelValue(&bm, -1, 0), K_NO_PIXEL);
    EXPECT_EQ(K_GetPixelValue(&bm, 0, w), K_NO_PIXEL);
    EXPECT_EQ(K_GetPixelValue(&bm, h, 0), K_NO_PIXEL);
    EXPECT_EQ(K_GetPixelValue(nullptr, 0, 0), K_NO_PIXEL);
    BYTE b[4];
    EXPECT_EQ(K_GetPixelBytes(&bm, b, 0, w, 1), RC_INVALID_PARAMETER);
}

TEST(KernelPixels, ReadValueAndConversionsFollowTheColourRules) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(3601);
    for (const Format &f : AllFormats())
        for (int iter = 0; iter < 6; ++iter) {
            SCOPED_TRACE(testing::Message() << f.Bits << " bits, order " << f.Order << ", case " << iter);
            BitmapHandle bm{};
            RandomBitmap(bm, f, 1 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 5), rng);
            CheckPixelOperations(bm);
            K_FreeBitmap(&bm);
            if (HasFailure())
                return;
        }
}

// ---- colour scans -------------------------------------------------------------

// One random scan call and the mask the model expects of it.
struct ScanCase {
    std::function<int(BitmapHandle *, UINT)> Call;
    std::function<bool(int x, int y)> Selects;
};

ScanCase RandomScan(const BitmapHandle &bm, const PixelGrid &grid, std::mt19937 &rng) {
    const int x0 = static_cast<int>(rng() % bm.Width), y0 = static_cast<int>(rng() % bm.Height);
    const Colour seen = grid.Level[grid.At(x0, y0)];
    const bool palette = bm.BitsPerPixel <= 8;
    const std::vector<Colour> &pal = grid.Palette;
    auto index = [&grid](int x, int y) { return static_cast<int>(grid.Raw[grid.At(x, y)]); };
    auto colour = [&grid](int x, int y) { return grid.Level[grid.At(x, y)]; };
    switch (rng() % 4) {
    case 0: {  // exact colour: one seen, or a random one
        const Colour want = rng() % 4 ? seen : Colour{int(rng() % 3 * 85), int(rng() % 3 * 85), 0};
        int first = -1;
        for (size_t i = 0; i < pal.size() && first < 0; ++i)
            if (pal[i] == want)
                first = static_cast<int>(i);
        return {[want](BitmapHandle *b, UINT m) { return Z_SetBitmapRgnColor(b, RefOf(want), m); },
                [=](int x, int y) { return palette ? index(x, y) == first : colour(x, y) == want; }};
    }
    case 1: {  // a palette index; beyond the palette nothing
        const int i = static_cast<int>(rng() % 300);
        const int used = palette ? i & ((1 << bm.BitsPerPixel) - 1) : -1;
        const Colour asColour{i & 0xFF, 0, 0};
        return {[i](BitmapHandle *b, UINT m) { return Z_SetBitmapRgnColor(b, 0x01000000u | i, m); },
                [=](int x, int y) {
                    return palette ? used < int(pal.size()) && index(x, y) == used : colour(x, y) == asColour;
                }};
    }
    case 2: {  // an HSV box around a seen colour, the hue sometimes wrapping
        const HsvColor h = zv::RgbToHsv8(seen.r, seen.g, seen.b);
        int lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            const int v = (h >> (8 * k)) & 0xFF;
            lo[k] = std::max(0, v - static_cast<int>(rng() % 60));
            hi[k] = std::min(255, v + static_cast<int>(rng() % 60));
        }
        if (rng() % 3 == 0)
            lo[0] = 200 + static_cast<int>(rng() % 56), hi[0] = static_cast<int>(rng() % 40);
        if (rng() % 10 == 0)
            std::swap(lo[1 + rng() % 2], hi[1 + rng() % 2]);
        auto inside = [=](const Colour &p) {
            const HsvColor q = zv::RgbToHsv8(p.r, p.g, p.b);
            const int hue = q & 0xFF, sat = (q >> 8) & 0xFF, val = (q >> 16) & 0xFF;
            const bool hueIn = lo[0] <= hi[0] ? lo[0] <= hue && hue <= hi[0] : hue >= lo[0] || hue <= hi[0];
            return hueIn && lo[1] <= sat && sat <= hi[1] && lo[2] <= val && val <= hi[2];
        };
        const HsvColor l = static_cast<HsvColor>(lo[0] | lo[1] << 8 | lo[2] << 16);
        const HsvColor u = static_cast<HsvColor>(hi[0] | hi[1] << 8 | hi[2] << 16);
        return {[=](BitmapHandle *b, UINT m) { return Z_SetBitmapRgnColorHSVRange(b, l, u, m); },
                [=](int x, int y) {
                    if (!palette)
                        return inside(colour(x, y));
                    const size_t i = static_cast<size_t>(index(x, y));
                    return i < pal.size() && inside(pal[i]);
                }};
    }
    default: {  // an RGB box around a seen colour, sometimes empty on a channel
        int lo[3], hi[3];
        const int c[3] = {seen.r, seen.g, seen.b};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::max(0, c[k] - static_cast<int>(rng() % 90));
            hi[k] = std::min(255, c[k] + static_cast<int>(rng() % 90));
            if (rng() % 20 == 0)
                std::swap(lo[k], hi[k]);
        }
        auto inside = [=](const Colour &p) {
            const int v[3] = {p.r, p.g, p.b};
            for (int k = 0; k < 3; ++k)
                if (v[k] < lo[k] || v[k] > hi[k])
                    return false;
            return true;
        };
        return {[=](BitmapHandle *b, UINT m) {
                    return Z_SetBitmapRgnColorRGBRange(b, RGB(lo[0], lo[1], lo[2]), RGB(hi[0], hi[1], hi[2]), m);
                },
                [=](int x, int y) {
                    if (!palette)
                        return inside(colour(x, y));
                    const size_t i = static_cast<size_t>(index(x, y));
                    return i < pal.size() && inside(pal[i]);
                }};
    }
    }
}

}  // namespace

TEST(ColourRgn, ScansMatchThePixelModelInEveryMode) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(3602);
    for (const Format &f : AllFormats())
        for (int iter = 0; iter < 14; ++iter) {
            SCOPED_TRACE(testing::Message() << f.Bits << " bits, order " << f.Order << ", case " << iter);
            BitmapHandle bm{};
            const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 40);
            RandomBitmap(bm, f, w, h, rng);
            const PixelGrid grid(bm);
            const ScanCase c = RandomScan(bm, grid, rng);
            const Mask sel = Mask::Of([&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && c.Selects(x, y); });
            ASSERT_EQ(c.Call(&bm, RGN_MODE_SET), RC_SUCCESS);
            ASSERT_TRUE(Matches(bm.Region, sel));
            // Two modes against an old region (sometimes none); every mode
            // comes up over the cases of one format.
            for (UINT mode : {static_cast<UINT>(iter % 7), static_cast<UINT>(rng() % 7)}) {
                Z_FreeBitmapRgn(&bm);
                Mask old;
                const bool hasOld = rng() % 4 != 0;
                if (hasOld) {
                    RECT r{int(rng() % w), int(rng() % h), int(rng() % (w + 5)), int(rng() % (h + 5))};
                    ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
                    old = MaskOf(bm.Region);
                }
                ASSERT_EQ(c.Call(&bm, mode), RC_SUCCESS);
                ASSERT_TRUE(Matches(bm.Region, Combined(hasOld ? &old : nullptr, sel, mode, w, h))) << "mode " << mode;
            }
            K_FreeBitmap(&bm);
        }
}

// Every allocation of a scan failing in turn: RC_NO_MEMORY, the region as
// it was, nothing left behind.  Bad input is refused the same way.
TEST(ColourRgn, FailuresAndBadInputLeaveTheRegionAlone) {
    zvtest::WarmUp();
    zvtest::ResourceCheck check;
    std::mt19937 rng(3603);
    for (const Format f : {Format{4, ORDER_BGR}, Format{16, ORDER_GRAY}, Format{24, ORDER_BGR}}) {
        BitmapHandle bm{};
        RandomBitmap(bm, f, 50, 20, rng);
        RECT r{3, 2, 40, 15};
        ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
        SweepRegionOp(bm, [&] { return Z_SetBitmapRgnColorRGBRange(&bm, RGB(0, 0, 0), RGB(200, 255, 130), RGN_MODE_XOR); });
        SweepRegionOp(bm, [&] { return Z_SetBitmapRgnColor(&bm, K_GetPixelValue(&bm, 1, 1), RGN_MODE_OR); });
        SweepRegionOp(bm, [&] { return Z_SetBitmapRgnColorHSVRange(&bm, 0x0000F0, 0xFFFF10, RGN_MODE_OR); });

        const Snapshot before = SnapshotOf(bm.Region);
        EXPECT_EQ(Z_SetBitmapRgnColor(&bm, 0, 7), RC_INVALID_PARAMETER);
        bm.Flags &= ~BITMAP_ALLOCATED;
        EXPECT_EQ(Z_SetBitmapRgnColor(&bm, 0, RGN_MODE_SET), RC_NO_BITMAP);
        EXPECT_EQ(Z_SetBitmapRgnColorRGBRange(&bm, 0, 0xFFFFFF, RGN_MODE_SET), RC_NO_BITMAP);
        EXPECT_EQ(Z_SetBitmapRgnColorHSVRange(&bm, 0, 0xFFFFFF, RGN_MODE_SET), RC_NO_BITMAP);
        bm.Flags |= BITMAP_ALLOCATED;
        const int bits = bm.BitsPerPixel;
        bm.BitsPerPixel = 10;
        EXPECT_EQ(Z_SetBitmapRgnColor(&bm, 0, RGN_MODE_SET), RC_INVALID_FORMAT);
        bm.BitsPerPixel = bits;
        EXPECT_TRUE(SnapshotOf(bm.Region) == before);
        K_FreeBitmap(&bm);
    }
    EXPECT_EQ(Z_SetBitmapRgnColor(nullptr, 0, RGN_MODE_SET), RC_NO_BITMAP);
    EXPECT_EQ(Z_SetBitmapRgnColorRGBRange(nullptr, 0, 0, RGN_MODE_SET), RC_NO_BITMAP);
}
