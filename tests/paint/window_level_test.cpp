// Window level: the bitmap's significant bits and table, and the two
// table fillers against a reference written from their definitions.
#include "support.h"

#include <random>
#include <vector>

namespace {

struct Deep {
    BitmapHandle b{};
    Deep(int bits = 12) {
        b.Flags = BITMAP_ALLOCATED;
        b.BitsPerPixel = bits;
        b.Order = ORDER_GRAY;
    }
    ~Deep() { K_Free(b.WindowLUT); }
};

std::vector<RGBQUAD> Table(int n, int seed) {
    std::vector<RGBQUAD> t(n);
    for (int i = 0; i < n; ++i)
        t[i] = RGBQUAD{BYTE(i + seed), BYTE(i * 3), BYTE(seed), 0};
    return t;
}

bool Same(const RGBQUAD &a, const RGBQUAD &b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

TEST(WindowLevel, DefaultsAndChecks) {
    zvtest::LiveBlockCheck check;
    Deep d;
    EXPECT_EQ(Z_WindowLevel(nullptr, 0, 11, nullptr, 0, 0), RC_NO_BITMAP);
    EXPECT_EQ(Z_WindowLevel(&d.b, -1, -1, nullptr, 0, 0), RC_SUCCESS);
    EXPECT_EQ(d.b.LowBit, 0);
    EXPECT_EQ(d.b.HighBit, 11);
    EXPECT_EQ(Z_WindowLevel(&d.b, 5, 4, nullptr, 0, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_WindowLevel(&d.b, 0, 4, nullptr, 3, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_WindowLevel(&d.b, 0, 4, nullptr, 0, 2), RC_INVALID_PARAMETER);
    EXPECT_EQ(d.b.HighBit, 11) << "refusals change nothing";
    d.b.Flags = 0;
    EXPECT_EQ(Z_WindowLevel(&d.b, 2, 9, nullptr, 0, 0), RC_SUCCESS) << "BITMAP_ALLOCATED is not tested";
    EXPECT_EQ(d.b.LowBit, 2);
}

TEST(WindowLevel, TableIsCopiedOwnedAndReleased) {
    zvtest::LiveBlockCheck check;
    Deep d;
    std::vector<RGBQUAD> t = Table(4096, 9);
    ASSERT_EQ(Z_WindowLevel(&d.b, 0, 11, t.data(), 4096, 1), RC_SUCCESS);
    ASSERT_NE(d.b.WindowLUT, nullptr);
    EXPECT_NE(d.b.WindowLUT, t.data());
    EXPECT_EQ(d.b.WindowLUTLength, 4096u);
    EXPECT_TRUE(Same(d.b.WindowLUT[4095], t[4095]));
    EXPECT_TRUE(d.b.Flags & BITMAP_WINDOW_LEVEL);
    EXPECT_EQ(d.b.WindowLowBit, 0);
    EXPECT_EQ(d.b.WindowHighBit, 11);
    EXPECT_EQ(d.b.MinValue, 0u);
    EXPECT_EQ(d.b.MaxValue, 4095u);

    // The pointer it already holds: no copy, only the length.
    RGBQUAD *held = d.b.WindowLUT;
    const int live = K_GetLiveBlockCount();
    held[0].rgbRed = 77;
    ASSERT_EQ(Z_WindowLevel(&d.b, 0, 11, held, 100, 0), RC_SUCCESS);
    EXPECT_EQ(d.b.WindowLUT, held);
    EXPECT_EQ(d.b.WindowLUTLength, 100u);
    EXPECT_EQ(K_GetLiveBlockCount(), live);
    EXPECT_FALSE(d.b.Flags & BITMAP_WINDOW_LEVEL);

    // Null and 0: the held table is freed.
    ASSERT_EQ(Z_WindowLevel(&d.b, 0, 11, nullptr, 0, 0), RC_SUCCESS);
    EXPECT_EQ(d.b.WindowLUT, nullptr);
    EXPECT_EQ(d.b.WindowLUTLength, 0u);
    EXPECT_EQ(K_GetLiveBlockCount(), live - 1);
}

TEST(WindowLevel, RangeResetOnlyWhenTheRecordedRangeChanges) {
    Deep d(16);
    d.b.WindowLowBit = 0;
    d.b.WindowHighBit = 11;
    d.b.MinValue = 100;
    d.b.MaxValue = 200;
    ASSERT_EQ(Z_WindowLevel(&d.b, 0, 11, nullptr, 0, 1), RC_SUCCESS);
    EXPECT_EQ(d.b.MinValue, 100u);
    EXPECT_EQ(d.b.MaxValue, 200u);
    ASSERT_EQ(Z_WindowLevel(&d.b, 4, 15, nullptr, 0, 0), RC_SUCCESS);
    EXPECT_EQ(d.b.WindowHighBit, 11) << "apply 0 records nothing";
    EXPECT_EQ(d.b.MaxValue, 200u);
    ASSERT_EQ(Z_WindowLevel(&d.b, 4, 15, nullptr, 0, 1), RC_SUCCESS);
    EXPECT_EQ(d.b.WindowLowBit, 4);
    EXPECT_EQ(d.b.MinValue, 0u);
    EXPECT_EQ(d.b.MaxValue, 4095u);
}

TEST(WindowLevel, AllocationFailureDropsTheTable) {
    Z_GetDisplayMode();
    Deep d;
    std::vector<RGBQUAD> fresh = Table(32, 2);
    zvtest::SweepAllocationFailures(
        [&] {
            d.b.LowBit = 0;
            return Z_WindowLevel(&d.b, 1, 7, fresh.data(), 32, 1);
        },
        [&](int rc) {
            EXPECT_EQ(rc, RC_NO_MEMORY);
            EXPECT_EQ(d.b.WindowLUT, nullptr);
            EXPECT_EQ(d.b.LowBit, 1) << "fields set before the copy stay set";
        },
        [&](int rc) {
            EXPECT_EQ(rc, RC_SUCCESS);
            EXPECT_TRUE(Same(d.b.WindowLUT[31], fresh[31]));
            K_Free(d.b.WindowLUT);
            d.b.WindowLUT = nullptr;
        });
    // With a table held: it is freed before the copy that fails.
    std::vector<RGBQUAD> old = Table(16, 1);
    ASSERT_EQ(Z_WindowLevel(&d.b, 0, 3, old.data(), 16, 0), RC_SUCCESS);
    const int live = K_GetLiveBlockCount();
    K_SetAllocationFailure(0, 0);
    const int rc = Z_WindowLevel(&d.b, 1, 7, fresh.data(), 32, 1);
    K_SetAllocationFailure(-1, 0);
    EXPECT_EQ(rc, RC_NO_MEMORY);
    EXPECT_EQ(d.b.WindowLUT, nullptr);
    EXPECT_EQ(d.b.WindowLUTLength, 0u);
    EXPECT_EQ(K_GetLiveBlockCount(), live - 1);
}

// ---- the fillers -------------------------------------------------------------

RGBQUAD Of(COLORREF c) { return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0}; }

void RefRamp(std::vector<RGBQUAD> &t, unsigned s, unsigned e, COLORREF a, COLORREF b) {
    const BYTE keep = t[s].rgbReserved;
    t[s] = Of(a);
    t[s].rgbReserved = keep;
    const long long n = static_cast<long long>(e) - s;
    for (long long k = 1; k <= n; ++k) {
        const int r = GetRValue(a) + int(k * (GetRValue(b) - GetRValue(a)) / n);
        const int g = GetGValue(a) + int(k * (GetGValue(b) - GetGValue(a)) / n);
        const int bl = GetBValue(a) + int(k * (GetBValue(b) - GetBValue(a)) / n);
        t[s + k] = RGBQUAD{BYTE(bl), BYTE(g), BYTE(r), 0};
    }
}

// Returns false when the arguments are refused.
bool RefFill(int variant, std::vector<RGBQUAD> &t, COLORREF c0, COLORREF c1, unsigned low, unsigned high,
             unsigned lowBit, unsigned highBit, unsigned minV, unsigned maxV, bool ramp) {
    if (lowBit > highBit || minV > maxV || low > high)
        return false;
    low = std::min(std::max(low, minV), maxV);
    high = std::min(std::max(high, minV), maxV);
    const unsigned s = low >> lowBit, e = high >> lowBit;
    const unsigned len = unsigned(t.size());
    if (e >= len)
        return false;
    if (variant == 1) {
        if (ramp) {
            for (unsigned i = 0; i < s; ++i)
                t[i] = Of(0);
            RefRamp(t, s, e, c0, c1);
            for (unsigned i = e + 1; i < len; ++i)
                t[i] = Of(0xFFFFFF);
        } else {
            for (unsigned i = 0; i <= s; ++i)
                t[i] = Of(c0);
            if (s + 1 < e)
                RefRamp(t, s + 1, e - 1, 0, 0xFFFFFF);
            for (unsigned i = e; i < len; ++i)
                t[i] = Of(c1);
        }
    } else {
        if (!ramp)
            for (unsigned i = 0; i < s; ++i)
                t[i] = Of(c0);
        RefRamp(t, s, e, c0, c1);
        if (!ramp)
            for (unsigned i = e + 1; i < len; ++i)
                t[i] = Of(c1);
    }
    return true;
}

TEST(WindowLevelFill, MatchesTheReference) {
    std::mt19937 rng(4096);
    for (int n = 0; n < 4000; ++n) {
        const int variant = 1 + n % 2;
        const unsigned lowBit = rng() % 5, highBit = lowBit + rng() % 12;
        const unsigned minV = rng() % 300, maxV = minV + rng() % 3000;
        unsigned low = rng() % 3500, high = low + rng() % 2000;
        if (n % 50 == 0)
            std::swap(low, high);  // refused when low > high
        const COLORREF c0 = rng() & 0xFFFFFF, c1 = rng() & 0xFFFFFF;
        const bool ramp = rng() % 2;
        std::vector<RGBQUAD> t(1 + (maxV >> lowBit) + rng() % 5);
        for (RGBQUAD &q : t)
            q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), BYTE(rng())};
        std::vector<RGBQUAD> ref = t;
        const bool ok = RefFill(variant, ref, c0, c1, low, high, lowBit, highBit, minV, maxV, ramp);
        const int rc = variant == 1
                           ? Z_WindowLevelFillLUT(t.data(), UINT(t.size()), c0, c1, low, high, lowBit, highBit,
                                                  minV, maxV, ramp)
                           : Z_WindowLevelFillLUT2(t.data(), UINT(t.size()), c0, c1, low, high, lowBit, highBit,
                                                   minV, maxV, ramp, 12345);
        ASSERT_EQ(rc, ok ? RC_SUCCESS : RC_INVALID_PARAMETER) << n;
        for (size_t i = 0; i < t.size(); ++i)
            ASSERT_TRUE(Same(t[i], ref[i])) << "case " << n << " entry " << i;
    }
}

TEST(WindowLevelFill, WorkedCases) {
    std::vector<RGBQUAD> t(256, RGBQUAD{1, 1, 1, 9});
    // A 256-entry black-to-white ramp: entry k is gray k.
    ASSERT_EQ(Z_WindowLevelFillLUT(t.data(), 256, 0, 0xFFFFFF, 0, 255, 0, 7, 0, 255, 1), RC_SUCCESS);
    for (int k = 0; k < 256; ++k)
        ASSERT_TRUE(t[k].rgbRed == k && t[k].rgbGreen == k && t[k].rgbBlue == k);
    EXPECT_EQ(t[0].rgbReserved, 9) << "the ramp's first entry keeps its fourth byte";
    EXPECT_EQ(t[1].rgbReserved, 0);

    // low = high, colours fixed: start colour up to s, end colour from s on.
    ASSERT_EQ(Z_WindowLevelFillLUT(t.data(), 256, RGB(10, 20, 30), RGB(40, 50, 60), 100, 100, 0, 7, 0, 255, 0),
              RC_SUCCESS);
    EXPECT_EQ(t[99].rgbRed, 10);
    EXPECT_EQ(t[100].rgbRed, 40);
    EXPECT_EQ(t[100].rgbBlue, 60);
    // low = high, ramp colours: s the start colour, black below, white above.
    ASSERT_EQ(Z_WindowLevelFillLUT(t.data(), 256, RGB(10, 20, 30), RGB(40, 50, 60), 100, 100, 0, 7, 0, 255, 1),
              RC_SUCCESS);
    EXPECT_EQ(t[99].rgbRed, 0);
    EXPECT_EQ(t[100].rgbRed, 10);
    EXPECT_EQ(t[101].rgbRed, 255);
    // low below the minimum is clamped up before shifting: s = 64 >> 2.
    ASSERT_EQ(Z_WindowLevelFillLUT2(t.data(), 256, RGB(1, 1, 1), RGB(200, 200, 200), 3, 1000, 2, 9, 64, 1000, 0, 0),
              RC_SUCCESS);
    EXPECT_EQ(t[15].rgbRed, 1);
    EXPECT_EQ(t[16].rgbRed, 1);
    EXPECT_EQ(t[250].rgbRed, 200);
    EXPECT_EQ(t[251].rgbRed, 200);
    EXPECT_EQ(Z_WindowLevelFillLUT(nullptr, 256, 0, 0, 0, 1, 0, 7, 0, 255, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_WindowLevelFillLUT(t.data(), 256, 0, 0, 0, 1, 8, 7, 0, 255, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_WindowLevelFillLUT(t.data(), 256, 0, 0, 0, 1, 0, 7, 9, 8, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_WindowLevelFillLUT(t.data(), 100, 0, 0, 0, 255, 0, 7, 0, 255, 0), RC_INVALID_PARAMETER)
        << "a table too short for the window";
}

}  // namespace
