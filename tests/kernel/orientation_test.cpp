// Orientation: the conversions checked against the table of the eight
// symmetries, written out here independently of the kernel's code.
#include "support.h"

#include <vector>

namespace {

const int kCodes[] = {0, 1, 2, 3, 4, 5, 7, 8};

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

bool Swaps(int o) { return o == 4 || o == 5 || o == 7 || o == 8; }

// The storage, in orientation `to`, of an image stored W x H in `from`.
struct Raster {
    int w, h;
    std::vector<int> px;  // row-major
    int at(int c, int r) const { return px[r * w + c]; }
};

Raster Restored(const Raster &src, int from, int to) {
    const bool swap = Swaps(from) != Swaps(to);
    Raster out{swap ? src.h : src.w, swap ? src.w : src.h, {}};
    out.px.assign(src.px.size(), -1);
    for (int r = 0; r < src.h; ++r)
        for (int c = 0; c < src.w; ++c) {
            const Point d = Shown(from, c, r, src.w, src.h);
            // find the stored pixel of `to` shown at d
            for (int r2 = 0; r2 < out.h; ++r2)
                for (int c2 = 0; c2 < out.w; ++c2) {
                    const Point e = Shown(to, c2, r2, out.w, out.h);
                    if (e.x == d.x && e.y == d.y)
                        out.px[r2 * out.w + c2] = src.at(c, r);
                }
        }
    return out;
}

Raster FlipVertically(const Raster &s) {
    Raster o = s;
    for (int r = 0; r < s.h; ++r)
        for (int c = 0; c < s.w; ++c)
            o.px[r * s.w + c] = s.at(c, s.h - 1 - r);
    return o;
}

// A quarter turn clockwise as the image is seen (rows run downwards).
Raster TurnClockwise(const Raster &s) {
    Raster o{s.h, s.w, std::vector<int>(s.px.size())};
    for (int r = 0; r < s.h; ++r)
        for (int c = 0; c < s.w; ++c)
            o.px[c * o.w + (s.h - 1 - r)] = s.at(c, r);
    return o;
}

TEST(KernelOrientation, TurnQueryReproducesTheTableOnPixels) {
    Raster image{3, 5, {}};
    for (int i = 0; i < 15; ++i)
        image.px.push_back(i);
    for (int from : kCodes)
        for (int to : kCodes) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            int degrees = -1, flip = -1;
            ASSERT_EQ(K_GetOrientationTurn(from, to, &degrees, &flip), RC_SUCCESS);
            ASSERT_TRUE(degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270);
            Raster turned = flip ? FlipVertically(image) : image;
            for (int k = 0; k < degrees / 90; ++k)
                turned = TurnClockwise(turned);
            const Raster expected = Restored(image, from, to);
            EXPECT_EQ(turned.w, expected.w);
            EXPECT_EQ(turned.px, expected.px);
        }
}

TEST(KernelOrientation, RectangleConversionFollowsTheTableAndGoesBack) {
    const int w = 4, h = 3;
    for (int from : kCodes)
        for (int to : kCodes) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            const bool swap = Swaps(from) != Swaps(to);
            const int w2 = swap ? h : w, h2 = swap ? w : h;
            for (int r = 0; r < h; ++r)
                for (int c = 0; c < w; ++c) {
                    RECT px{c, r, c + 1, r + 1};
                    ASSERT_EQ(K_ConvertRectOrientation(from, w, h, to, &px), RC_SUCCESS);
                    ASSERT_EQ(px.right - px.left, 1);
                    ASSERT_EQ(px.bottom - px.top, 1);
                    const Point a = Shown(from, c, r, w, h), b = Shown(to, px.left, px.top, w2, h2);
                    EXPECT_TRUE(a.x == b.x && a.y == b.y) << "pixel " << c << "," << r;
                    ASSERT_EQ(K_ConvertRectOrientation(to, w2, h2, from, &px), RC_SUCCESS);
                    EXPECT_TRUE(px.left == c && px.top == r);
                }
            // A larger rectangle keeps its area and comes back whole.
            RECT big{1, 0, 4, 2}, back;
            ASSERT_EQ(K_ConvertRectOrientation(from, w, h, to, &big), RC_SUCCESS);
            EXPECT_EQ((big.right - big.left) * (big.bottom - big.top), 6);
            back = big;
            K_ConvertRectOrientation(to, w2, h2, from, &back);
            EXPECT_TRUE(back.left == 1 && back.top == 0 && back.right == 4 && back.bottom == 2);
        }
}

TEST(KernelOrientation, RefusesCodeSixAndNullResults) {
    int d, f;
    RECT r{};
    EXPECT_EQ(K_GetOrientationTurn(6, 0, &d, &f), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetOrientationTurn(0, 9, &d, &f), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetOrientationTurn(0, 1, nullptr, &f), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_ConvertRectOrientation(0, 2, 2, 6, &r), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_ConvertRectOrientation(0, 2, 2, 1, nullptr), RC_INVALID_PARAMETER);
}

}  // namespace
