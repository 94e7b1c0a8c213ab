// The significant-bits operation: the wanted part of a deep pixel is the
// most significant bits of its range, at most the wanted width.
#include "support.h"

#include <random>

namespace {

TEST(SignificantBits, TopOfTheRangeWithinTheWantedWidth) {
    std::mt19937 rng(33);
    for (int bits : {9, 12, 16, 24, 32, 48})
        for (int wanted = 1; wanted <= 16; ++wanted)
            for (int low = -2; low <= bits + 1; ++low)
                for (int high = -2; high <= bits + 1; ++high) {
                    int n = -1, s = -1;
                    UINT m = 0;
                    ASSERT_EQ(K_GetSignificantBits(bits, wanted, low, high, &n, &m, &s), RC_SUCCESS);
                    // The range as it lies in the pixel; empty means all of it.
                    const int top = std::min(bits, 32) - 1;
                    int lo = std::max(low, 0), hi = std::min(high, top);
                    if (lo > hi) {
                        lo = 0;
                        hi = top;
                    }
                    const int width = hi - lo + 1;
                    ASSERT_EQ(n, std::min(width, wanted)) << bits << " " << wanted << " " << low << " " << high;
                    ASSERT_EQ(uint64_t(m), (uint64_t(1) << n) - 1);
                    for (int trial = 0; trial < 4; ++trial) {
                        const uint32_t raw = rng();
                        uint32_t expect = 0;  // bits hi, hi - 1, ..., hi - n + 1 of raw
                        for (int b = hi; b > hi - n; --b)
                            expect = expect << 1 | ((raw >> b) & 1);
                        ASSERT_EQ((raw >> s) & m, expect);
                    }
                }
}

TEST(SignificantBits, RefusesBadArguments) {
    int n, s;
    UINT m;
    EXPECT_EQ(K_GetSignificantBits(0, 8, 0, 7, &n, &m, &s), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetSignificantBits(65, 8, 0, 7, &n, &m, &s), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetSignificantBits(16, 0, 0, 7, &n, &m, &s), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetSignificantBits(16, 8, 0, 7, nullptr, &m, &s), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetSignificantBits(16, 8, 4, 11, &n, &m, &s), RC_SUCCESS);
    EXPECT_EQ(n, 8);
    EXPECT_EQ(m, 0xFFu);
    EXPECT_EQ(s, 4);
}

TEST(GrayScaleTest, DeepGrayDependsOnTheWindowTableInForce) {
    BitmapHandle b{};
    b.BitsPerPixel = 16;
    b.Order = ORDER_GRAY;
    EXPECT_EQ(K_IsGrayScale(&b), 1);
    RGBQUAD table[3] = {{0, 0, 0, 0}, {9, 9, 9, 0}, {200, 200, 200, 0}};
    b.WindowLUT = table;
    b.WindowLUTLength = 3;
    EXPECT_EQ(K_IsGrayScale(&b), 1) << "a table not in force is not looked at";
    b.Flags = BITMAP_WINDOW_LEVEL;
    EXPECT_EQ(K_IsGrayScale(&b), 1);
    std::swap(table[0], table[2]);
    EXPECT_EQ(K_IsGrayScale(&b), 2);
    table[1].rgbRed = 10;
    EXPECT_EQ(K_IsGrayScale(&b), 0);
    b.Order = ORDER_BGR;
    b.Flags = 0;
    EXPECT_EQ(K_IsGrayScale(&b), 0);
}

}  // namespace
