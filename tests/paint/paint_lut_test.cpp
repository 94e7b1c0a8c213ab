// Paint intensity, contrast and gamma: whole tables against a
// straightforward reference, and the setters' contracts.
#include "support.h"

#include "paint/paint_lut.h"

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// a x b / c rounded to the nearest, halves away from zero.
int RoundedMulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long q = (std::llabs(p) * 2 + std::llabs(c)) / (2 * std::llabs(c));
    return static_cast<int>((p < 0) != (c < 0) ? -q : q);
}

int Limit(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// The table as the definition states it, one entry at a time.
std::vector<int> Reference(int intensity, int contrast, unsigned gamma) {
    std::vector<int> t(256);
    const int a = std::abs(contrast);
    const int lo = RoundedMulDiv(a, 128, 4000);
    const int k = a ? static_cast<int>(5.34 * std::pow(1.5, std::log2(0.128 * a))) : 0;
    const int hi = 256 - k;
    for (int i = 0; i < 256; ++i) {
        int v = i;
        if (contrast > 0)
            v = i < lo ? 0 : i >= hi ? 255 : Limit(RoundedMulDiv(i - lo, 256, hi - lo));
        else if (contrast < 0)
            v = (lo + Limit(RoundedMulDiv(i, hi - lo, 256))) % 256;
        v = Limit(v + (intensity * 255 + 500) / 1000);
        t[i] = static_cast<int>(std::trunc(std::pow(v / 255.0, 100.0 / gamma) * 255.0 + 0.5));
    }
    return t;
}

std::vector<int> Built(int intensity, int contrast, unsigned gamma, bool *differs = nullptr) {
    BYTE table[256];
    const bool d = zv::BuildPaintTable(intensity, contrast, gamma, table);
    if (differs)
        *differs = d;
    return std::vector<int>(table, table + 256);
}

TEST(PaintTable, WholeTablesMatchTheReference) {
    for (int v = -1000; v <= 1000; ++v) {
        ASSERT_EQ(Built(0, v, 100), Reference(0, v, 100)) << "contrast " << v;
        ASSERT_EQ(Built(v, 0, 100), Reference(v, 0, 100)) << "intensity " << v;
        ASSERT_TRUE(v < 1 || Built(0, 0, unsigned(v)) == Reference(0, 0, unsigned(v))) << "gamma " << v;
    }
    std::mt19937 rng(2005);
    for (int n = 0; n < 3000; ++n) {
        const int i = int(rng() % 2001) - 1000, c = int(rng() % 2001) - 1000;
        const unsigned g = n % 10 ? 1 + rng() % 500 : rng();
        bool differs;
        const std::vector<int> t = Built(i, c, g, &differs);
        ASSERT_EQ(t, Reference(i, c, g)) << i << " " << c << " " << g;
        bool identity = true;
        for (int k = 0; k < 256; ++k)
            identity = identity && t[k] == k;
        ASSERT_EQ(differs, !identity);
    }
}

// Setters check their value, rebuild the table and set the flag; the value
// already stored leaves the table alone; neutral settings clear the flag.
TEST(PaintSettingsOfABitmap, SettersCheckAndRebuild) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 4, 4, 24, ORDER_BGR, 0), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintIntensity(&b, 1001), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_SetPaintContrast(&b, -1001), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_SetPaintGamma(&b, 0), RC_INVALID_PARAMETER);
    EXPECT_TRUE(b.PaintIntensity == 0 && b.PaintContrast == 0 && b.PaintGamma == 100);
    auto table = [&] { return std::vector<int>(b.PaintLUT, b.PaintLUT + 256); };
    EXPECT_EQ(Z_SetPaintIntensity(&b, 500), RC_SUCCESS);
    EXPECT_EQ(Z_GetPaintIntensity(&b), 500);
    EXPECT_TRUE(b.Flags & BITMAP_PAINT_LUT);
    EXPECT_EQ(table(), Reference(500, 0, 100));
    EXPECT_EQ(Z_SetPaintContrast(&b, -300), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintGamma(&b, 180), RC_SUCCESS);
    EXPECT_EQ(table(), Reference(500, -300, 180));
    EXPECT_TRUE(Z_GetPaintContrast(&b) == -300 && Z_GetPaintGamma(&b) == 180);
    b.PaintLUT[7] = 0xEE;
    EXPECT_EQ(Z_SetPaintGamma(&b, 180), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintContrast(&b, -300), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintIntensity(&b, 500), RC_SUCCESS);
    EXPECT_EQ(b.PaintLUT[7], 0xEE);
    EXPECT_EQ(Z_SetPaintIntensity(&b, 0), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintContrast(&b, 0), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintGamma(&b, 100), RC_SUCCESS);
    EXPECT_FALSE(b.Flags & BITMAP_PAINT_LUT);
    EXPECT_EQ(table(), Reference(0, 0, 100));
    EXPECT_EQ(Z_SetPaintGamma(&b, 0xFFFFFFFFu), RC_SUCCESS) << "any gamma but 0";
    K_FreeBitmap(&b);
}

}  // namespace
