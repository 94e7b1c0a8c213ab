// Kernel trigonometry, significant bits, orientations (against the table
// of the eight symmetries, written out here independently of the
// kernel's code) and the kernel's own bitmap transforms (pixels only; the
// region they carry is tested with the region operations).
#include "support.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

TEST(KernelTrig, FixedPointCosineAndSine) {
    for (int a = -72000; a <= 72000; a += 37) {
        const double rad = a * 3.14159265358979323846 / 18000;
        EXPECT_LE(std::fabs(K_CosFixed(a) - 16384 * std::cos(rad)), 0.5 + 1e-9) << a;
        EXPECT_LE(std::fabs(K_SinFixed(a) - 16384 * std::sin(rad)), 0.5 + 1e-9) << a;
    }
    const int quarter[4][2] = {{16384, 0}, {0, 16384}, {-16384, 0}, {0, -16384}};
    for (int k = -8; k <= 8; ++k)
        EXPECT_TRUE(K_CosFixed(9000 * k) == quarter[(k % 4 + 4) % 4][0] && K_SinFixed(9000 * k) == quarter[(k % 4 + 4) % 4][1]);
    for (int a = 0; a < 9000; a += 13)  // symmetric angles give equal magnitudes
        EXPECT_TRUE(K_CosFixed(a) == -K_CosFixed(18000 - a) && K_SinFixed(a) == K_SinFixed(18000 - a) &&
                    K_SinFixed(a) == -K_SinFixed(-a)) << a;
}

// The wanted part of a deep pixel is the most significant bits of its
// range, at most the wanted width; an empty range means all of it.
TEST(SignificantBits, TopOfTheRangeWithinTheWantedWidth) {
    std::mt19937 rng(33);
    for (int bits : {9, 12, 16, 24, 32, 48})
        for (int wanted = 1; wanted <= 16; ++wanted)
            for (int low = -2; low <= bits + 1; ++low)
                for (int high = -2; high <= bits + 1; ++high) {
                    int n = -1, s = -1;
                    UINT m = 0;
                    ASSERT_EQ(K_GetSignificantBits(bits, wanted, low, high, &n, &m, &s), RC_SUCCESS);
                    const int top = std::min(bits, 32) - 1;
                    int lo = std::max(low, 0), hi = std::min(high, top);
                    if (lo > hi)
                        lo = 0, hi = top;
                    ASSERT_EQ(n, std::min(hi - lo + 1, wanted)) << bits << " " << wanted << " " << low << " " << high;
                    ASSERT_EQ(uint64_t(m), (uint64_t(1) << n) - 1);
                    const uint32_t raw = rng();
                    uint32_t expect = 0;  // bits hi, hi - 1, ..., hi - n + 1 of raw
                    for (int b = hi; b > hi - n; --b)
                        expect = expect << 1 | ((raw >> b) & 1);
                    ASSERT_EQ((raw >> s) & m, expect);
                }
    int n, s;
    UINT m;
    EXPECT_EQ(K_GetSignificantBits(0, 8, 0, 7, &n, &m, &s), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetSignificantBits(65, 8, 0, 7, &n, &m, &s), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetSignificantBits(16, 0, 0, 7, &n, &m, &s), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetSignificantBits(16, 8, 0, 7, nullptr, &m, &s), RC_INVALID_PARAMETER);
}

struct Point {
    int x, y;
};

// Displayed position of stored (c, r) of a W x H bitmap shown in code o.
Point Shown(int o, int c, int r, int w, int h) {
    switch (o) {
    case 0: return {c, r};
    case 1: return {w - 1 - c, r};
    case 2: return {c, h - 1 - r};
    case 3: return {w - 1 - c, h - 1 - r};
    case 4: return {h - 1 - r, c};
    case 5: return {r, c};
    case 7: return {h - 1 - r, w - 1 - c};
    default: return {r, w - 1 - c};
    }
}

bool Swaps(int o) { return o >= 4; }

struct Raster {
    int w, h;
    std::vector<int> px;  // row-major
    int at(int c, int r) const { return px[r * w + c]; }
};

// The storage, in orientation `to`, of an image stored W x H in `from`.
Raster Restored(const Raster &src, int from, int to) {
    const bool swap = Swaps(from) != Swaps(to);
    Raster out{swap ? src.h : src.w, swap ? src.w : src.h, std::vector<int>(src.px.size(), -1)};
    for (int r = 0; r < src.h; ++r)
        for (int c = 0; c < src.w; ++c)
            for (int r2 = 0; r2 < out.h; ++r2)
                for (int c2 = 0; c2 < out.w; ++c2) {
                    const Point d = Shown(from, c, r, src.w, src.h), e = Shown(to, c2, r2, out.w, out.h);
                    if (e.x == d.x && e.y == d.y)
                        out.px[r2 * out.w + c2] = src.at(c, r);
                }
    return out;
}

TEST(KernelOrientation, TurnQueryReproducesTheTableOnPixels) {
    Raster image{3, 5, {}};
    for (int i = 0; i < 15; ++i)
        image.px.push_back(i);
    for (int from : zvtest::kOrientations)
        for (int to : zvtest::kOrientations) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            int degrees = -1, flip = -1;
            ASSERT_EQ(K_GetOrientationTurn(from, to, &degrees, &flip), RC_SUCCESS);
            ASSERT_TRUE(degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270);
            Raster turned = image;
            if (flip)  // vertically
                for (int r = 0; r < image.h; ++r)
                    for (int c = 0; c < image.w; ++c)
                        turned.px[r * image.w + c] = image.at(c, image.h - 1 - r);
            for (int k = 0; k < degrees / 90; ++k) {  // a quarter turn clockwise as the image is seen
                Raster o{turned.h, turned.w, std::vector<int>(turned.px.size())};
                for (int r = 0; r < turned.h; ++r)
                    for (int c = 0; c < turned.w; ++c)
                        o.px[c * o.w + (turned.h - 1 - r)] = turned.at(c, r);
                turned = o;
            }
            const Raster expected = Restored(image, from, to);
            EXPECT_EQ(turned.w, expected.w);
            EXPECT_EQ(turned.px, expected.px);
        }
    int d, f;
    EXPECT_EQ(K_GetOrientationTurn(6, 0, &d, &f), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetOrientationTurn(0, 9, &d, &f), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetOrientationTurn(0, 1, nullptr, &f), RC_INVALID_PARAMETER);
}

TEST(KernelOrientation, RectangleConversionFollowsTheTableAndGoesBack) {
    const int w = 4, h = 3;
    for (int from : zvtest::kOrientations)
        for (int to : zvtest::kOrientations) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            const bool swap = Swaps(from) != Swaps(to);
            const int w2 = swap ? h : w, h2 = swap ? w : h;
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c) {
                    RECT px{c, r, c + 1, r + 1};
                    ASSERT_EQ(K_ConvertRectOrientation(from, w, h, to, &px), RC_SUCCESS);
                    ASSERT_TRUE(px.right - px.left == 1 && px.bottom - px.top == 1);
                    const Point a = Shown(from, c, r, w, h), b = Shown(to, px.left, px.top, w2, h2);
                    EXPECT_TRUE(a.x == b.x && a.y == b.y) << "pixel " << c << "," << r;
                    ASSERT_EQ(K_ConvertRectOrientation(to, w2, h2, from, &px), RC_SUCCESS);
                    EXPECT_TRUE(px.left == c && px.top == r);
                }
            // A larger rectangle keeps its area and comes back whole.
            RECT big{1, 0, 4, 2};
            ASSERT_EQ(K_ConvertRectOrientation(from, w, h, to, &big), RC_SUCCESS);
            EXPECT_EQ((big.right - big.left) * (big.bottom - big.top), 6);
            K_ConvertRectOrientation(to, w2, h2, from, &big);
            EXPECT_TRUE(big.left == 1 && big.top == 0 && big.right == 4 && big.bottom == 2);
        }
    RECT r{};
    EXPECT_EQ(K_ConvertRectOrientation(0, 2, 2, 6, &r), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_ConvertRectOrientation(0, 2, 2, 1, nullptr), RC_INVALID_PARAMETER);
}

}  // namespace

// Mirror, quarter turn and resize move whole pixels at every packing
// (bit streams, 12-bit pairs, byte groups): each result pixel is the
// model's source pixel.  A failed allocation changes nothing.
TEST(KernelGeometry, TransformsMoveWholePixelsAtEveryDepth) {
    std::mt19937 rng(12);
    for (int bits : {1, 4, 12, 24})
        for (int op = 0; op < 4; ++op) {
            SCOPED_TRACE(testing::Message() << bits << " bits, operation " << op);
            BitmapHandle src{}, t{};
            ASSERT_EQ(K_CreateBitmap(&src, 13, 7, bits, ORDER_BGR, op == 3 ? ORIENT_TOP_RIGHT : ORIENT_TOP_LEFT), RC_SUCCESS);
            std::generate_n(src.Data, src.BytesPerLine * src.Height, [&] { return BYTE(rng()); });
            ASSERT_EQ(K_CopyBitmap(&t, &src), RC_SUCCESS);
            zvtest::SweepAllocationFailures(
                [&] { return op == 0 ? K_MirrorBitmap(&t) : op == 2 ? K_ResizeBitmap(&t, 26, 5) : K_RotateBitmap(&t, 9000); },
                [&](int rc) {
                    EXPECT_TRUE(rc == RC_NO_MEMORY && t.Width == 13 &&
                                std::equal(t.Data, t.Data + t.BytesPerLine * t.Height, src.Data));
                },
                [&](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
            // A quarter turn clockwise as shown: new (c, r) shows old (r, H - 1 - c); mirrored
            // when shown (orientation 1), new (c, r) is old (W - 1 - r, c).
            for (int r = 0; r < t.Height; ++r)
                for (int c = 0; c < t.Width; ++c) {
                    const POINT s = op == 0   ? POINT{12 - c, r}
                                    : op == 1 ? POINT{r, 6 - c}
                                    : op == 2 ? POINT{c / 2, r * 7 / 5}
                                              : POINT{12 - r, c};
                    ASSERT_EQ(zvtest::PixelAt(t, c, r), zvtest::PixelAt(src, s.x, s.y)) << c << "," << r;
                }
            K_FreeBitmap(&t);
            K_FreeBitmap(&src);
        }
}
