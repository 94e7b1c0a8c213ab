// The kernel's resize: its vector loops against its plain ones at every
// source depth, rows made as values and put apart against whole rows, and
// the area and bilinear methods against a model of their weights.
#include "support.h"

#include "common/zvpalettes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

// A window of a bigger bitmap, read as the painters read one: the window's
// offset added to every row and column asked for.
struct Source {
    BitmapHandle whole{}, window{};
    std::vector<RGBQUAD> levels;  // the window-level table, when there is one
    int x = 0, y = 0;
    ~Source() {
        whole.WindowLUT = nullptr;
        K_FreeBitmap(&whole);
    }
};

int __stdcall ReadWindow(const BitmapHandle *b, BYTE *buffer, int row, int column, int bytes, void *context) {
    const auto *s = static_cast<const Source *>(context);
    const int64_t at = int64_t(column + s->x) * b->BitsPerPixel / 8;
    const int n = int(std::min<int64_t>(bytes, s->whole.BytesPerLine - at));
    return K_GetBitmapRow(&s->whole, buffer, row + s->y, int(at), n) == n ? RC_SUCCESS : RC_ROW_READ;
}

// Source depths with their colour order, palette and window-level kinds.
struct Depth {
    int bits, order;
    int table;  // 0 none, 1 gray, 2 colour (palette or window-level table)
};
const Depth kDepths[] = {{1, ORDER_BGR, 2}, {2, ORDER_BGR, 1}, {4, ORDER_BGR, 2}, {8, ORDER_BGR, 1},
                         {8, ORDER_BGR, 2}, {12, ORDER_GRAY, 0}, {16, ORDER_GRAY, 0}, {16, ORDER_GRAY, 1},
                         {16, ORDER_GRAY, 2}, {16, ORDER_BGR, 0}, {24, ORDER_BGR, 0}, {24, ORDER_RGB, 0},
                         {32, ORDER_BGR, 0}, {48, ORDER_RGB, 0}, {64, ORDER_BGR, 0}};

// Random pixels in a random window (byte-aligned for packed depths) of a
// bitmap of its depth.
void MakeSource(Source &s, std::mt19937 &rng, const Depth &d, int w, int h) {
    const int align = d.bits < 8 ? 8 : d.bits == 12 ? 2 : 1;
    s.x = int(rng() % 3) * align, s.y = int(rng() % 3);
    ASSERT_EQ(K_CreateBitmap(&s.whole, w + s.x + int(rng() % 3), h + s.y + int(rng() % 3), d.bits, d.order, 0),
              RC_SUCCESS);
    std::generate_n(s.whole.Data, size_t(s.whole.BytesPerLine) * s.whole.Height, [&] { return BYTE(rng()); });
    if (d.bits <= 8) {
        std::vector<RGBQUAD> c(size_t(1) << d.bits);
        for (auto &q : c) {
            const BYTE g = BYTE(rng());
            q = d.table == 1 ? RGBQUAD{g, g, g, 0} : RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
        }
        K_PutBitmapColors(&s.whole, 0, int(c.size()), c.data());
    }
    if (d.bits >= 12 && d.order == ORDER_GRAY) {
        s.whole.LowBit = int(rng() % 4), s.whole.HighBit = d.bits - 1 - int(rng() % 4);
        if (d.table) {
            s.levels.resize(1 + rng() % (size_t(1) << (s.whole.HighBit - s.whole.LowBit + 1)));
            for (auto &q : s.levels) {
                const BYTE g = BYTE(rng());
                q = d.table == 1 ? RGBQUAD{g, g, g, 0} : RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
            }
            s.whole.WindowLUT = s.levels.data();
            s.whole.WindowLUTLength = UINT(s.levels.size());
        }
    }
    ASSERT_EQ(K_InitBitmapHandle(&s.window, &s.whole, w, h, d.bits), RC_SUCCESS);
    s.window.WindowLUT = s.whole.WindowLUT;
    s.window.WindowLUTLength = s.whole.WindowLUTLength;
}

// One call of K_ResizeRow.
struct Ask {
    int row, first, count;
};

// Rows walked down, up or in any order, each over all columns or a random span.
std::vector<Ask> RandomWalk(std::mt19937 &rng, int dw, int dh) {
    std::vector<Ask> asks;
    const int how = int(rng() % 4);
    for (int i = 0; i < dh; ++i) {
        const int first = how == 3 ? int(rng() % dw) : 0;
        asks.push_back({how == 1 ? dh - 1 - i : i, first, how == 3 ? 1 + int(rng() % (dw - first)) : dw});
    }
    if (how == 2)
        std::shuffle(asks.begin(), asks.end(), rng);
    return asks;
}

// The rows of one resize for the asks, each at its own place, behind a
// prefilled buffer (pixels not written stay as they were).
std::vector<BYTE> Resize(Source &s, int dw, int dh, int bits, const std::vector<RGBQUAD> &colors, UINT flags,
                         const std::vector<Ask> &asks) {
    const size_t rowBytes = (size_t(dw) * bits + 7) / 8 + 4;
    std::vector<BYTE> out(rowBytes * asks.size(), 0x5A);
    BitmapHandle source = s.window;
    if (flags & RESIZE_ROWS_IN_MEMORY) {  // the window's rows where they lie in the bigger bitmap
        source.Data = s.whole.Data + size_t(s.y) * s.whole.BytesPerLine + size_t(s.x) * s.whole.BitsPerPixel / 8;
        source.BytesPerLine = s.whole.BytesPerLine;
    }
    KResize *r = nullptr;
    EXPECT_EQ(K_ResizeStart(&source, dw, dh, bits, colors.data(), int(colors.size()), flags, ReadWindow, &s, &r),
              RC_SUCCESS);
    if (!r)
        return out;
    for (size_t i = 0; i < asks.size(); ++i) {
        BYTE *row = out.data() + i * rowBytes;
        EXPECT_EQ(K_ResizeRow(r, asks[i].row, asks[i].first, asks[i].count, row), RC_SUCCESS);
    }
    K_ResizeEnd(r);
    return out;
}

// The same rows made in two steps: each span's values (from a resize of
// their own at 24 or 32 bits, or from the putting resize itself), then
// their put on the resize of the output's depth and colours, in the asks'
// order.
std::vector<BYTE> ResizeInTwo(Source &s, int dw, int dh, int bits, const std::vector<RGBQUAD> &colors, UINT flags,
                              const std::vector<Ask> &asks, bool ownValues) {
    const size_t rowBytes = (size_t(dw) * bits + 7) / 8 + 4;
    std::vector<BYTE> out(rowBytes * asks.size(), 0x5A), values(size_t(dw) * 4 + 1);
    KResize *put = nullptr, *made = nullptr;
    EXPECT_EQ(K_ResizeStart(&s.window, dw, dh, bits, colors.data(), int(colors.size()), flags, ReadWindow, &s, &put),
              RC_SUCCESS);
    if (ownValues) {
        EXPECT_EQ(K_ResizeStart(&s.window, dw, dh, bits == 32 ? 32 : 24, nullptr, 0, flags, ReadWindow, &s, &made),
                  RC_SUCCESS);
    }
    for (size_t i = 0; put && (made || !ownValues) && i < asks.size(); ++i) {
        const Ask &a = asks[i];
        values.back() = 0xC3;  // a guard: at most 4 values a pixel at 32 bits, 3 below
        EXPECT_EQ(K_ResizeRowValues(made ? made : put, a.row, a.first, a.count, values.data()), RC_SUCCESS);
        EXPECT_EQ(values.back(), 0xC3);
        if (bits < 32) {
            EXPECT_TRUE(std::all_of(values.begin() + size_t(a.count) * 3, values.end() - 1, [](BYTE v) { return v == 0; }));
        }
        EXPECT_EQ(K_ResizePutRow(put, a.row, a.first, a.count, values.data(), out.data() + i * rowBytes), RC_SUCCESS);
        std::fill(values.begin(), values.end(), 0);
    }
    K_ResizeEnd(made);
    K_ResizeEnd(put);
    return out;
}

// Sizes of either direction on each axis, now and then a 2:1 reduction
// across; now and then a destination so wide that the ring holds fewer
// rows than a reduction's taps.
void RandomSizes(std::mt19937 &rng, int round, int *sw, int *sh, int *dw, int *dh) {
    *sw = 1 + int(rng() % 40), *sh = 1 + int(rng() % 40);
    *dw = 1 + int(rng() % 70), *dh = 1 + int(rng() % 50);
    if (round % 10 == 3)  // 2:1 across, where the gray loops take four columns' pairs in one load
        *dw = 1 + *sw / 2, *sw = 2 * *dw;
    if (round % 50 == 49)
        *sw = 3 + int(rng() % 20), *dw = 30000 + int(rng() % 100), *sh = 20 + int(rng() % 20), *dh = 1 + int(rng() % 5);
}

// 2:1 both ways, where 16-bit gray takes the mean of 2 x 2 looked-up values.
void HalfBothWays(std::mt19937 &rng, int *sw, int *sh, int *dw, int *dh) {
    *dw = 1 + int(rng() % 24), *dh = 1 + int(rng() % 24);
    *sw = 2 * *dw, *sh = 2 * *dh;
}

TEST(Resize, VectorLoopsGiveThePlainLoopsBytes) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(2310);
    const int outBits[] = {32, 24, 8, 4, 1};
    for (int round = 0; round < 600; ++round) {
        const Depth &d = kDepths[round % std::size(kDepths)];
        int sw, sh, dw, dh;
        RandomSizes(rng, round, &sw, &sh, &dw, &dh);
        if (d.order == ORDER_GRAY && round % 4 == 0)
            HalfBothWays(rng, &sw, &sh, &dw, &dh);
        Source s;
        MakeSource(s, rng, d, sw, sh);
        const int bits = outBits[rng() % std::size(outBits)];
        std::vector<RGBQUAD> colors(bits < 24 ? 1 + rng() % (1u << bits) : 0);
        for (size_t i = 0; i < colors.size(); ++i)
            colors[i] = rng() % 3 == 0 && bits == 8 ? RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0}
                                                     : RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
        if (bits == 8 && rng() % 2)  // the 256 grays in order
            for (int i = 0; i < 256; ++i)
                colors.resize(256), colors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
        const UINT flags = (round % 2 ? RESIZE_AREA : RESIZE_BILINEAR) |
                           (rng() % 2 ? RESIZE_DITHER_ORDERED : RESIZE_DITHER_DIFFUSE);
        const std::vector<Ask> asks = RandomWalk(rng, dw, dh);
        const auto plain = Resize(s, dw, dh, bits, colors, flags | RESIZE_PLAIN_LOOPS, asks);
        const auto vector = Resize(s, dw, dh, bits, colors, flags | (rng() % 2 ? RESIZE_ROWS_IN_MEMORY : 0), asks);
        ASSERT_TRUE(plain == vector) << "round " << round << ": " << d.bits << " bits (order " << d.order << ", table "
                                     << d.table << ") " << sw << "x" << sh << " -> " << dw << "x" << dh << " at "
                                     << bits << " bits, flags " << std::hex << flags;
        ASSERT_TRUE(ResizeInTwo(s, dw, dh, bits, colors, flags, asks, round % 3 != 0) == vector)
            << "values then put, round " << round << ": " << d.bits << " bits at " << bits << " bits";
    }
}

// Per-axis weights of the model: for the area method on a reducing (or
// equal) axis the part of each source pixel that output i's footprint
// [i s/d, (i+1) s/d) covers, over the footprint's length; else bilinear
// at the pixel centre (i + 1/2) s/d - 1/2, not before 0.
std::vector<std::pair<int, double>> ModelWeights(int i, int s, int d, bool area) {
    std::vector<std::pair<int, double>> w;
    if (area && s >= d) {
        const double a = double(i) * s / d, b = double(i + 1) * s / d;
        for (int k = int(a); k < s && k < b; ++k)
            w.push_back({k, (std::min(b, k + 1.0) - std::max(a, double(k))) * d / s});
        return w;
    }
    const double p = std::max(0.0, (i + 0.5) * s / d - 0.5);
    const int k = std::min(int(p), s - 1);
    const double f = p - k;
    w.push_back({k, 1 - f});
    w.push_back({std::min(k + 1, s - 1), f});
    return w;
}

// Channel ch of source pixel (sx, sy) of the window as the model takes
// it: 24-bit as stored, 8-bit through its gray palette, 16-bit gray
// through its window-level table (the lookup before any interpolation).
int ModelChannel(const Source &s, int sx, int sy, int ch) {
    const BitmapHandle &b = s.whole;
    const BYTE *p = b.Data + size_t(sy + s.y) * b.BytesPerLine;
    if (b.BitsPerPixel == 24)
        return p[3 * (sx + s.x) + ch];
    if (b.BitsPerPixel == 8)
        return b.Palette[p[sx + s.x]].rgbBlue;
    const uint32_t v = p[2 * (sx + s.x)] | p[2 * (sx + s.x) + 1] << 8;
    const uint32_t mask = (1u << (b.HighBit - b.LowBit + 1)) - 1;
    return s.levels[std::min<size_t>((v >> b.LowBit) & mask, s.levels.size() - 1)].rgbRed;
}

// The area method (every other round, bilinear) against the model in
// double precision: within the final rounding plus the Q14 weights' on an
// axis the area method reduces, within the 1/256-pixel positions of the
// bilinear rule on any other.
TEST(Resize, AreaAndBilinearMethodsMatchTheModel) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(77);
    const Depth kinds[] = {{24, ORDER_BGR, 0}, {8, ORDER_BGR, 1}, {16, ORDER_GRAY, 1}};
    for (int round = 0; round < 400; ++round) {
        int sw, sh, dw, dh;
        RandomSizes(rng, round, &sw, &sh, &dw, &dh);
        if (round % 2)  // both axes reduce
            dw = 1 + int(rng() % sw), dh = 1 + int(rng() % sh);
        const bool half = round % 6 == 2;  // 16-bit gray
        if (half)
            HalfBothWays(rng, &sw, &sh, &dw, &dh);
        Source s;
        MakeSource(s, rng, kinds[round % 3], sw, sh);
        const std::vector<Ask> asks = RandomWalk(rng, dw, dh);
        const bool area = round % 4 < 2;
        const auto out = Resize(s, dw, dh, 24, {}, area ? RESIZE_AREA : RESIZE_BILINEAR, asks);
        const double slack = 0.5 + (dw > sw || dh > sh || !area ? 1.5 : 0.1);
        const size_t rowBytes = size_t(dw) * 3 + 4;
        for (size_t a = 0; a < asks.size(); ++a) {
            const auto wy = ModelWeights(asks[a].row, sh, dh, area);
            for (int k = 0; k < asks[a].count; ++k) {
                const auto wx = ModelWeights(asks[a].first + k, sw, dw, area);
                for (int ch = 0; ch < 3; ++ch) {
                    double want = 0;
                    for (auto [sy, fy] : wy)
                        for (auto [sx, fx] : wx)
                            want += fy * fx * ModelChannel(s, sx, sy, ch);
                    const int got = out[a * rowBytes + 3 * k + ch];
                    if (half && area) {  // the mean of four, rounded half up
                        ASSERT_EQ(got, int(want + 0.5)) << "round " << round << " row " << asks[a].row;
                    }
                    ASSERT_LE(std::abs(got - want), slack)
                        << "round " << round << " " << sw << "x" << sh << " -> " << dw << "x" << dh << " row "
                        << asks[a].row << " column " << asks[a].first + k;
                }
            }
        }
    }
}

// Error diffusion and ordered dithering onto a palette of every
// combination of some levels per channel, in any order: against
// Floyd-Steinberg (7, 5, 3, 1 sixteenths of the sum, cut toward zero), or
// the pixel's ordered offset, onto the entry nearest the clamped colour
// by 2 dr^2 + 4 dg^2 + db^2, of equals the one of lowest levels (the
// first of a repeated colour); the channel values are the resize's own
// 24-bit rows, the error carried from each row asked to the next.
TEST(Resize, DitheringOntoAGridPaletteIsTheNearestEntry) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(5);
    for (int round = 0; round < 60; ++round) {
        std::vector<int> levels[3];
        for (auto &l : levels) {
            for (int n = 1 + int(rng() % 6), i = 0; i < n; ++i)
                l.push_back(int(rng() % 256));
            std::sort(l.begin(), l.end());
            l.erase(std::unique(l.begin(), l.end()), l.end());
        }
        std::vector<RGBQUAD> colors;
        for (int r : levels[0])
            for (int g : levels[1])
                for (int b : levels[2])
                    colors.push_back(RGBQUAD{BYTE(b), BYTE(g), BYTE(r), 0});
        for (size_t n = colors.size(), i = 0; i < n && colors.size() < 256 && round % 3 == 0; ++i)
            if (rng() % 4 == 0)  // repeated entries, which stand for the first
                colors.push_back(colors[i]);
        std::shuffle(colors.begin(), colors.end(), rng);
        int sw, sh, dw, dh;
        RandomSizes(rng, round % 49, &sw, &sh, &dw, &dh);
        Source s;
        MakeSource(s, rng, kDepths[round % std::size(kDepths)], sw, sh);
        std::vector<Ask> asks = RandomWalk(rng, dw, dh);
        for (Ask &a : asks)
            a.first = 0, a.count = dw;
        const UINT method = round % 2 ? RESIZE_AREA : RESIZE_BILINEAR;
        const auto values = Resize(s, dw, dh, 24, {}, method, asks);
        const bool ordered = round % 4 >= 2;
        const auto got = Resize(s, dw, dh, 8, colors, method | (ordered ? RESIZE_DITHER_ORDERED : RESIZE_DITHER_DIFFUSE), asks);
        std::vector<int> above(size_t(dw) * 3, 0), here(size_t(dw) * 3);
        for (size_t a = 0; a < asks.size(); ++a) {
            for (int k = 0; k < dw; ++k) {
                int best = 0, bestD = 1 << 30, c[3];
                for (int ch = 0; ch < 3; ++ch) {
                    int sum = 5 * above[3 * k + ch] + (k > 0 ? above[3 * (k - 1) + ch] + 7 * here[3 * (k - 1) + ch] : 0) +
                              (k + 1 < dw ? 3 * above[3 * (k + 1) + ch] : 0);
                    const int offset = (zv::DispersedDitherMatrix[(asks[a].row & 7) * 8 + (k & 7)] >> 3) - 16;
                    c[ch] = std::clamp(values[a * (size_t(dw) * 3 + 4) + 3 * k + 2 - ch] + (ordered ? offset : sum / 16), 0, 255);
                }
                for (size_t i = 0; i < colors.size(); ++i) {
                    const RGBQUAD &q = colors[i];
                    const int dr = c[0] - q.rgbRed, dg = c[1] - q.rgbGreen, db = c[2] - q.rgbBlue;
                    const int d = 2 * dr * dr + 4 * dg * dg + db * db;
                    const auto &b = colors[size_t(best)];
                    if (d < bestD || (d == bestD && q.rgbRed + q.rgbGreen + q.rgbBlue < b.rgbRed + b.rgbGreen + b.rgbBlue))
                        bestD = d, best = int(i);
                }
                ASSERT_EQ(got[a * (size_t(dw) + 4) + k], best) << "round " << round << " row " << asks[a].row << " column " << k;
                const RGBQUAD &q = colors[size_t(best)];
                here[3 * k] = c[0] - q.rgbRed, here[3 * k + 1] = c[1] - q.rgbGreen, here[3 * k + 2] = c[2] - q.rgbBlue;
            }
            std::swap(above, here);
        }
    }
}

}  // namespace
