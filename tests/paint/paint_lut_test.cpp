// Paint intensity, contrast and gamma: the worked values, whole tables
// against a straightforward reference, and the setters' and getters'
// contracts.
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
        const int offset = (intensity * 255 + 500) / 1000;
        v = Limit(v + offset);
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

TEST(PaintTable, WorkedValues) {
    bool differs = true;
    std::vector<int> t = Built(0, 0, 100, &differs);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(t[i], i);
    EXPECT_FALSE(differs);

    for (int v : Built(1000, 0, 100))
        EXPECT_EQ(v, 255);
    t = Built(-1000, 0, 100);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(t[i], std::max(i - 254, 0));
    EXPECT_EQ(Built(1, 0, 100), Built(0, 0, 100));
    EXPECT_EQ(Built(-2, 0, 100), Built(0, 0, 100));
    t = Built(2, 0, 100);
    EXPECT_EQ(t[0], 1);
    EXPECT_EQ(t[254], 255);

    t = Built(0, 1000, 100);
    EXPECT_EQ(t[31], 0);
    EXPECT_EQ(t[32], 0);
    EXPECT_EQ(t[64], 62);
    EXPECT_EQ(t[128], 185);
    EXPECT_EQ(t[164], 254);
    EXPECT_EQ(t[165], 255);
    // lo and hi pinned by values inside the stretched range.
    t = Built(0, 500, 100);  // lo 16, hi 196: (i - 16) x 256 / 180
    EXPECT_EQ(t[16], 0);
    EXPECT_EQ(t[17], 1);
    EXPECT_EQ(t[18], 3);
    EXPECT_EQ(t[100], 119);
    EXPECT_EQ(t[196], 255);
    t = Built(0, 100, 100);  // lo 3, hi 233: (i - 3) x 256 / 230
    EXPECT_EQ(t[3], 0);
    EXPECT_EQ(t[4], 1);
    EXPECT_EQ(t[100], 108);
    EXPECT_EQ(t[233], 255);
    t = Built(0, 1, 100, &differs);
    EXPECT_EQ(t[128], 129);
    EXPECT_EQ(t[254], 255);
    EXPECT_TRUE(differs);
    t = Built(0, -1000, 100);
    EXPECT_EQ(t[0], 32);
    EXPECT_EQ(t[128], 99);
    EXPECT_EQ(t[254], 164);
    EXPECT_EQ(t[255], 164);

    t = Built(0, 0, 200);
    EXPECT_EQ(t[64], 128);
    EXPECT_EQ(t[128], 181);
    EXPECT_EQ(Built(0, 0, 50)[128], 64);
    t = Built(0, 0, 1);
    EXPECT_EQ(t[128], 0);
    EXPECT_EQ(t[254], 172);
    EXPECT_EQ(t[255], 255);
}

TEST(PaintTable, WholeTablesMatchTheReference) {
    for (int c = -1000; c <= 1000; ++c)
        ASSERT_EQ(Built(0, c, 100), Reference(0, c, 100)) << "contrast " << c;
    for (int i = -1000; i <= 1000; ++i)
        ASSERT_EQ(Built(i, 0, 100), Reference(i, 0, 100)) << "intensity " << i;
    for (unsigned g = 1; g <= 1000; ++g)
        ASSERT_EQ(Built(0, 0, g), Reference(0, 0, g)) << "gamma " << g;
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

struct Bitmap {
    BYTE lut[256];
    BitmapHandle b{};
    Bitmap() {
        for (int i = 0; i < 256; ++i)
            lut[i] = BYTE(i);
        b.Flags = BITMAP_ALLOCATED;
        b.BitsPerPixel = 24;
        b.PaintLUT = lut;
        b.PaintGamma = 100;
    }
};

TEST(PaintSettingsOfABitmap, SettersCheckAndRebuild) {
    Bitmap bm;
    EXPECT_EQ(Z_SetPaintIntensity(nullptr, 0), RC_NO_BITMAP);
    EXPECT_EQ(Z_SetPaintIntensity(&bm.b, 1001), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_SetPaintContrast(&bm.b, -1001), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_SetPaintGamma(&bm.b, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(bm.b.PaintIntensity | bm.b.PaintContrast, 0);
    EXPECT_EQ(bm.b.PaintGamma, 100u);

    EXPECT_EQ(Z_SetPaintIntensity(&bm.b, 500), RC_SUCCESS);
    EXPECT_EQ(Z_GetPaintIntensity(&bm.b), 500);
    EXPECT_TRUE(bm.b.Flags & BITMAP_PAINT_LUT);
    EXPECT_EQ(std::vector<int>(bm.lut, bm.lut + 256), Reference(500, 0, 100));
    EXPECT_EQ(Z_SetPaintContrast(&bm.b, -300), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintGamma(&bm.b, 180), RC_SUCCESS);
    EXPECT_EQ(std::vector<int>(bm.lut, bm.lut + 256), Reference(500, -300, 180));
    EXPECT_EQ(Z_GetPaintContrast(&bm.b), -300);
    EXPECT_EQ(Z_GetPaintGamma(&bm.b), 180);

    // The value already stored: success and the table is not touched.
    bm.lut[7] = 0xEE;
    EXPECT_EQ(Z_SetPaintGamma(&bm.b, 180), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintContrast(&bm.b, -300), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintIntensity(&bm.b, 500), RC_SUCCESS);
    EXPECT_EQ(bm.lut[7], 0xEE);

    // Back to neutral: identity and the flag cleared.
    EXPECT_EQ(Z_SetPaintIntensity(&bm.b, 0), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintContrast(&bm.b, 0), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintGamma(&bm.b, 100), RC_SUCCESS);
    EXPECT_FALSE(bm.b.Flags & BITMAP_PAINT_LUT);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(bm.lut[i], i);
    EXPECT_EQ(Z_SetPaintGamma(&bm.b, 0xFFFFFFFFu), RC_SUCCESS) << "any gamma but 0";
}

TEST(PaintSettingsOfABitmap, UnallocatedBitmapsAndNullPointers) {
    Bitmap bm;
    bm.b.Flags = 0;
    bm.b.PaintIntensity = -13;
    bm.b.PaintContrast = 77;
    bm.b.PaintGamma = 250;
    EXPECT_EQ(Z_SetPaintIntensity(&bm.b, 5), RC_NO_BITMAP) << "checked before the value";
    EXPECT_EQ(Z_SetPaintContrast(&bm.b, 5000), RC_NO_BITMAP);
    EXPECT_EQ(Z_SetPaintGamma(&bm.b, 0), RC_NO_BITMAP);
    EXPECT_EQ(Z_GetPaintIntensity(&bm.b), -13);
    EXPECT_EQ(Z_GetPaintContrast(&bm.b), 77);
    EXPECT_EQ(Z_GetPaintGamma(&bm.b), 250);
    EXPECT_EQ(Z_GetPaintIntensity(nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_GetPaintContrast(nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_GetPaintGamma(nullptr), RC_INVALID_PARAMETER);
}

TEST(PaintSettingsOfABitmap, KernelBitmapsStartNeutral) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 4, 4, 24, ORDER_BGR, 0), RC_SUCCESS);
    EXPECT_EQ(Z_SetPaintContrast(&b, 1000), RC_SUCCESS);
    EXPECT_EQ(b.PaintLUT[64], 62);
    EXPECT_TRUE(b.Flags & BITMAP_PAINT_LUT);
    K_FreeBitmap(&b);
}

}  // namespace
