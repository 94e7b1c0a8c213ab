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
