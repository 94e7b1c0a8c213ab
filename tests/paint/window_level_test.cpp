// Window level: the bitmap's significant bits and table, and the two
// table fillers against a reference written from their definitions.
#include "support.h"

#include <cstring>
#include <random>
#include <vector>

namespace {

struct Deep {
    BitmapHandle b{};
    explicit Deep(int bits) {
        b.Flags = BITMAP_ALLOCATED, b.BitsPerPixel = bits, b.Order = ORDER_GRAY;
    }
    ~Deep() { K_Free(b.WindowLUT); }
};

bool Same(const RGBQUAD &a, const RGBQUAD &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// -1 and -1 choose every bit; refusals change nothing.
TEST(WindowLevel, DefaultsAndChecks) {
    Deep d(12);
    EXPECT_EQ(Z_WindowLevel(&d.b, -1, -1, nullptr, 0, 0), RC_SUCCESS);
    EXPECT_TRUE(d.b.LowBit == 0 && d.b.HighBit == 11);
    EXPECT_EQ(Z_WindowLevel(&d.b, 5, 4, nullptr, 0, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_WindowLevel(&d.b, 0, 4, nullptr, 3, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(d.b.HighBit, 11);
}

// The table is copied and owned; the pointer it already holds only gets
// its length; null frees it.  The recorded range and the values' range are
// reset only when the range recorded (apply 1) changes.
TEST(WindowLevel, TableIsCopiedOwnedAndReleased) {
    zvtest::LiveBlockCheck check;
    Deep d(12);
    std::vector<RGBQUAD> t(4096);
    for (int i = 0; i < 4096; ++i)
        t[i] = RGBQUAD{BYTE(i + 9), BYTE(i * 3), 9, 0};
    ASSERT_EQ(Z_WindowLevel(&d.b, 0, 11, t.data(), 4096, 1), RC_SUCCESS);
    ASSERT_TRUE(d.b.WindowLUT && d.b.WindowLUT != t.data() && d.b.WindowLUTLength == 4096);
    EXPECT_TRUE(Same(d.b.WindowLUT[4095], t[4095]) && (d.b.Flags & BITMAP_WINDOW_LEVEL));
    EXPECT_TRUE(d.b.WindowLowBit == 0 && d.b.WindowHighBit == 11 && d.b.MinValue == 0 && d.b.MaxValue == 4095);
    RGBQUAD *held = d.b.WindowLUT;
    const int live = K_GetLiveBlockCount();
    ASSERT_EQ(Z_WindowLevel(&d.b, 0, 11, held, 100, 0), RC_SUCCESS);
    EXPECT_TRUE(d.b.WindowLUT == held && d.b.WindowLUTLength == 100 && K_GetLiveBlockCount() == live);
    EXPECT_FALSE(d.b.Flags & BITMAP_WINDOW_LEVEL);
    ASSERT_EQ(Z_WindowLevel(&d.b, 0, 11, nullptr, 0, 0), RC_SUCCESS);
    EXPECT_TRUE(d.b.WindowLUT == nullptr && d.b.WindowLUTLength == 0 && K_GetLiveBlockCount() == live - 1);

    Deep e(16);
    e.b.WindowLowBit = 0, e.b.WindowHighBit = 11, e.b.MinValue = 100, e.b.MaxValue = 200;
    ASSERT_EQ(Z_WindowLevel(&e.b, 0, 11, nullptr, 0, 1), RC_SUCCESS);
    EXPECT_TRUE(e.b.MinValue == 100 && e.b.MaxValue == 200);
    ASSERT_EQ(Z_WindowLevel(&e.b, 4, 15, nullptr, 0, 0), RC_SUCCESS);
    EXPECT_TRUE(e.b.WindowHighBit == 11 && e.b.MaxValue == 200) << "apply 0 records nothing";
    ASSERT_EQ(Z_WindowLevel(&e.b, 4, 15, nullptr, 0, 1), RC_SUCCESS);
    EXPECT_TRUE(e.b.WindowLowBit == 4 && e.b.MinValue == 0 && e.b.MaxValue == 4095);
}

// ---- the fillers -------------------------------------------------------------

RGBQUAD Of(COLORREF c) { return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0}; }

// Entries s..e from a to b (the first keeps its fourth byte).
void RefRamp(std::vector<RGBQUAD> &t, unsigned s, unsigned e, COLORREF a, COLORREF b) {
    const BYTE keep = t[s].rgbReserved;
    t[s] = Of(a);
    t[s].rgbReserved = keep;
    const long long n = static_cast<long long>(e) - s;
    for (long long k = 1; k <= n; ++k) {
        auto at = [&](int from, int to) { return BYTE(from + int(k * (to - from) / n)); };
        t[s + k] = RGBQUAD{at(GetBValue(a), GetBValue(b)), at(GetGValue(a), GetGValue(b)), at(GetRValue(a), GetRValue(b)), 0};
    }
}

// Returns false when the arguments are refused.
bool RefFill(int variant, std::vector<RGBQUAD> &t, COLORREF c0, COLORREF c1, unsigned low, unsigned high,
             unsigned lowBit, unsigned highBit, unsigned minV, unsigned maxV, bool ramp) {
    if (lowBit > highBit || minV > maxV || low > high)
        return false;
    const unsigned s = std::min(std::max(low, minV), maxV) >> lowBit, e = std::min(std::max(high, minV), maxV) >> lowBit;
    const unsigned len = unsigned(t.size());
    if (e >= len)
        return false;
    if (variant == 1 && ramp) {  // black below, the ramp, white above
        std::fill(t.begin(), t.begin() + s, Of(0));
        RefRamp(t, s, e, c0, c1);
        std::fill(t.begin() + e + 1, t.end(), Of(0xFFFFFF));
    } else if (variant == 1) {  // start colour up to s, a gray ramp between, end colour from e on
        std::fill(t.begin(), t.begin() + s + 1, Of(c0));
        if (s + 1 < e)
            RefRamp(t, s + 1, e - 1, 0, 0xFFFFFF);
        std::fill(t.begin() + e, t.end(), Of(c1));
    } else {  // the ramp, and the colours beyond it unless ramp
        if (!ramp)
            std::fill(t.begin(), t.begin() + s, Of(c0));
        RefRamp(t, s, e, c0, c1);
        if (!ramp)
            std::fill(t.begin() + e + 1, t.end(), Of(c1));
    }
    return true;
}

TEST(WindowLevelFill, MatchesTheReference) {
    std::mt19937 rng(4096);
    for (int n = 0; n < 4000; ++n) {
        const int variant = 1 + n % 2;
        const unsigned lowBit = rng() % 5, highBit = lowBit + rng() % 12;
        const unsigned minV = rng() % 300, maxV = minV + rng() % 3000;
        unsigned low = rng() % 3500, high = n % 7 ? low + rng() % 2000 : low;
        if (n % 50 == 0)
            std::swap(low, high), high -= 1;  // refused when low > high
        const COLORREF c0 = rng() & 0xFFFFFF, c1 = rng() & 0xFFFFFF;
        const bool ramp = rng() % 2;
        const size_t len = 1 + (maxV >> lowBit) + rng() % 5;  // sometimes too short for the window
        std::vector<RGBQUAD> t(n % 9 ? len : std::max<size_t>(1, len - 6));
        for (RGBQUAD &q : t)
            q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), BYTE(rng())};
        std::vector<RGBQUAD> ref = t;
        const bool ok = RefFill(variant, ref, c0, c1, low, high, lowBit, highBit, minV, maxV, ramp);
        const int rc = variant == 1 ? Z_WindowLevelFillLUT(t.data(), UINT(t.size()), c0, c1, low, high, lowBit,
                                                            highBit, minV, maxV, ramp)
                                    : Z_WindowLevelFillLUT2(t.data(), UINT(t.size()), c0, c1, low, high, lowBit,
                                                             highBit, minV, maxV, ramp, 12345);
        ASSERT_EQ(rc, ok ? RC_SUCCESS : RC_INVALID_PARAMETER) << n;
        for (size_t i = 0; i < t.size(); ++i)
            ASSERT_TRUE(Same(t[i], ref[i])) << "case " << n << " entry " << i;
    }
}

}  // namespace
