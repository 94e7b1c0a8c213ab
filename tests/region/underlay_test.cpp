// Z_UnderlayBitmap against a model: the underlay as displayed in its own
// orientation, in gray, tiled or stretched (nearest pixel) over the
// target; each channel moved by gray - 128 and clamped; palette targets
// take the nearest entry (2 dr^2 + 4 dg^2 + db^2, the first of equals);
// pixels outside the target's region keep their bytes.
#include "colour_model.h"

#include <cstring>

using namespace rgntest;

namespace {

int GrayOf(const Colour &c) { return (c.r * 77 + c.g * 151 + c.b * 28 + 128) >> 8; }

// The underlay's gray levels as displayed: row-major, displayed width dw.
std::vector<int> DisplayedGray(const BitmapHandle &u, int &dw, int &dh) {
    const int w = u.Width, h = u.Height, o = u.Orientation;
    const bool swap = o == 4 || o == 5 || o == 7 || o == 8;
    dw = swap ? h : w, dh = swap ? w : h;
    std::vector<int> g(static_cast<size_t>(w) * h);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            int x, y;
            switch (o) {
            case 1: x = w - 1 - c, y = r; break;
            case 2: x = c, y = h - 1 - r; break;
            case 3: x = w - 1 - c, y = h - 1 - r; break;
            case 4: x = h - 1 - r, y = c; break;
            case 5: x = r, y = c; break;
            case 7: x = h - 1 - r, y = w - 1 - c; break;
            case 8: x = r, y = w - 1 - c; break;
            default: x = c, y = r; break;
            }
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

}  // namespace

TEST(Underlay, TiledAndStretchedMatchTheModelInsideTheRegion) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(2901);
    const int orientations[] = {0, 1, 2, 3, 4, 5, 7, 8};
    for (int iter = 0; iter < 80; ++iter) {
        const Format tf = std::vector<Format>{{24, ORDER_BGR}, {24, ORDER_RGB}, {32, ORDER_BGR}, {8, ORDER_BGR}, {1, ORDER_BGR}}[iter % 5];
        const Format uf = std::vector<Format>{{24, ORDER_BGR}, {4, ORDER_BGR}, {8, ORDER_BGR}, {16, ORDER_BGR}}[rng() % 4];
        const UINT mode = rng() % 2;
        SCOPED_TRACE(testing::Message() << "case " << iter << ", target " << tf.Bits << ", underlay " << uf.Bits << ", mode " << mode);
        BitmapHandle t{}, u{};
        const int w = 1 + static_cast<int>(rng() % 60), h = 1 + static_cast<int>(rng() % 30);
        RandomBitmap(t, tf, w, h, rng);
        RandomBitmap(u, uf, 1 + static_cast<int>(rng() % 9), 1 + static_cast<int>(rng() % 7), rng);
        u.Orientation = orientations[rng() % 8];
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

// Mid-gray leaves a target as it was, white raises every channel by 127,
// black lowers it by 128 (clamped).
TEST(Underlay, MidGrayWhiteAndBlack) {
    BitmapHandle t{}, u{};
    ASSERT_EQ(K_CreateBitmap(&t, 3, 1, 24, ORDER_BGR, 0), RC_SUCCESS);
    ASSERT_EQ(K_CreateBitmap(&u, 1, 1, 24, ORDER_BGR, 0), RC_SUCCESS);
    const BYTE start[9] = {0, 100, 255, 128, 127, 1, 200, 50, 129};
    for (const auto &[level, add] : {std::pair{128, 0}, std::pair{255, 127}, std::pair{0, -128}}) {
        std::memcpy(t.Data, start, 9);
        std::memset(u.Data, level, 3);
        ASSERT_EQ(Z_UnderlayBitmap(&t, &u, 0), RC_SUCCESS);
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(t.Data[i], std::clamp(start[i] + add, 0, 255)) << level << " byte " << i;
    }
    K_FreeBitmap(&t);
    K_FreeBitmap(&u);
}
