// The painters' colour paths against the reference painter: expanded
// depths, library dithering (ordered and error diffusion, from the
// converters' definitions), scale to gray and scale to 1 bit from run
// lengths, interpolated scaling, and palette indices on a palette display.
#include "paint/reference.h"

#include "frame/library.h"
#include "paint/fixed_palettes.h"
#include "paint/painters.h"

#include <cstring>

using namespace zvtest;

namespace {

constexpr uint32_t kBackground = 0x123456;
const int kOrientations[] = {0, 1, 2, 3, 4, 5, 7, 8};

uint32_t Quad(const RGBQUAD &q) { return Rgb(q.rgbRed, q.rgbGreen, q.rgbBlue); }

// Displayed source pixel (X, Y) as red, green, blue, for the depths the
// expanders take (Order 1 colour, gray 12 and 16 bits, palettes).
void SourceRgb(const BitmapHandle &b, int X, int Y, int rgb[3]) {
    int c, r;
    DisplayToStored(b.Orientation, b.Width, b.Height, X, Y, &c, &r);
    const uint64_t v = RawPixel(b, c, r);
    if ((b.BitsPerPixel == 12 || b.BitsPerPixel == 16) && b.Order == ORDER_GRAY) {
        int n, shift;
        UINT m;
        K_GetSignificantBits(b.BitsPerPixel, 8, b.LowBit, b.HighBit, &n, &m, &shift);
        int g = int((v >> shift) & 0xFF & m);
        if (m < 255)
            g = g * 255 / int(m);
        rgb[0] = rgb[1] = rgb[2] = g;
        return;
    }
    if (b.BitsPerPixel == 48 || b.BitsPerPixel == 64) {
        rgb[2] = int((v >> 8) & 255), rgb[1] = int((v >> 24) & 255), rgb[0] = int((v >> 40) & 255);
        return;
    }
    const uint32_t col = AsIsColor(b, c, r);
    rgb[0] = col >> 16, rgb[1] = (col >> 8) & 255, rgb[2] = col & 255;
}

PaintCase RandomScaled(std::mt19937 &rng, const BitmapHandle &b, int tw, int th) {
    PaintCase pc;
    const int w = DisplayW(b), h = DisplayH(b);
    pc.src = rng() % 3 ? RandomRect(rng, w, h) : RECT{0, 0, w, h};
    const int x = int(rng() % tw) - tw / 4, y = int(rng() % th) - th / 4;
    pc.dst = RECT{x, y, x + 1 + int(rng() % tw), y + 1 + int(rng() % th)};
    pc.clipSrc = rng() % 2 ? RandomRect(rng, w, h) : RECT{-1000, -1000, 1000, 1000};
    pc.clipDst = rng() % 2 ? RandomRect(rng, tw, th) : RECT{-1000, -1000, 1000, 1000};
    return pc;
}

TEST(PaintColours, ExpandedDepthsMatchTheReference) {
    ModeScope mode(0);
    LiveBlockCheck check;
    std::mt19937 rng(31);
    Dib dib(80, 64);
    const int depths[][2] = {{2, ORDER_BGR}, {3, ORDER_BGR}, {5, ORDER_BGR}, {6, ORDER_BGR}, {7, ORDER_BGR},
                             {12, ORDER_GRAY}, {16, ORDER_GRAY}, {48, ORDER_BGR}, {64, ORDER_BGR}};
    for (int round = 0; round < 360; ++round) {
        const auto &d = depths[round % 9];
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 1 + int(rng() % 30), 1 + int(rng() % 25), d[0], d[1], kOrientations[(round / 9) % 8]);
        if (d[1] == ORDER_GRAY) {  // significant bits somewhere in the pixel
            b.LowBit = int(rng() % 4);
            b.HighBit = b.LowBit + 4 + int(rng() % (d[0] - 4 - b.LowBit));
        }
        const PaintCase pc = round % 4 ? RandomScaled(rng, b, dib.w, dib.h)
                                       : PaintCase{{0, 0, DisplayW(b), DisplayH(b)}, {-99, -99, 999, 999},
                                                   {1, 2, 1 + DisplayW(b), 2 + DisplayH(b)}, {-99, -99, 999, 999}};
        dib.Fill(kBackground);
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
        std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
        ReferencePaint(want, dib.w, dib.h, b, pc, [&](int, int, int X, int Y) {
            int c[3];
            SourceRgb(b, X, Y, c);
            return Rgb(c[0], c[1], c[2]);
        });
        const auto got = dib.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << " " << d[0] << " bits, orientation " << b.Orientation
                                 << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

// The 3-3-2 quantiser of the display converters, written from their
// definition: index (R & 0xE0) | ((G & 0xE0) >> 3) | (B >> 6).
int Index332(int r, int g, int b) { return (r & 0xE0) | ((g & 0xE0) >> 3) | (b >> 6); }
int Clamp(int v) { return std::min(std::max(v, 0), 255); }

// The ordered-dither reference of a paint of b for a bits-deep device.
std::vector<uint32_t> OrderedExpected(const Dib &dib, const BitmapHandle &b, const PaintCase &pc, int bits, UINT mode) {
    std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
    ReferencePaint(want, dib.w, dib.h, b, pc, [&](int x, int y, int X, int Y) {
        int c[3];
        SourceRgb(b, X, Y, c);
        const int at = ((y - pc.dst.top) & 7) * 8 + ((x - pc.dst.left) & 7);
        const int t = (mode & DISP_CLUSTERED_DITHER) ? zv::ClusteredDitherMatrix[at] : zv::DispersedDitherMatrix[at];
        if (bits == 1)
            return ((2 * c[0] + 5 * c[1] + c[2] + 4) >> 3) > t ? Rgb(255, 255, 255) : Rgb(0, 0, 0);
        if (bits == 4) {
            const int i = (c[0] > t) + 2 * (c[1] > t) + 4 * (c[2] > t);
            return Quad(zv::Vga16Palette[i ? i + 8 : 0]);
        }
        if (mode & DISP_CUBE_PALETTE) {
            const int o = t / 6 - 21;
            return Quad(zv::CubePalette[Clamp(c[0] + o) / 51 * 36 + Clamp(c[1] + o) / 51 * 6 + Clamp(c[2] + o) / 51]);
        }
        const int o = (t >> 3) - 16;
        return Quad(zv::Rgb332Palette[Index332(Clamp(c[0] + o), Clamp(c[1] + o), Clamp(c[2] + o))]);
    });
    return want;
}

// Library dithering to an 8-bit display, painted through PaintStrips
// with 8 device bits so that it runs on any screen.  Orientations 0 and
// 2 fill strip rows left to right, so the converters' column runs with
// the destination's.
// Ordered dithering for every target, from the converters' rules: the
// threshold t of the destination position relative to DstRect, then
//   3-3-2: channels + (t >> 3) - 16;  cube: channels + floor(t / 6) - 21;
//   16 colours: a bit per channel above t, + 8 when any;  1 bit: luminance
//   above t (clustered or dispersed matrix).
TEST(PaintColours, OrderedDitherFollowsTheMatrixAlignedToTheDestination) {
    struct Target {
        int bits;
        UINT mode;
    };
    const Target targets[] = {{8, 0}, {8, DISP_CUBE_PALETTE}, {4, 0}, {1, 0}, {1, DISP_CLUSTERED_DITHER}};
    LiveBlockCheck check;
    std::mt19937 rng(32);
    Dib dib(80, 64);
    for (int round = 0; round < 200; ++round) {
        const Target &tg = targets[round % 5];
        ModeScope mode(DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER | tg.mode);
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 1 + int(rng() % 40), 1 + int(rng() % 30), (round / 5) % 2 ? 24 : 8, ORDER_BGR,
                         round % 4 < 2 ? 0 : 2);
        const PaintCase pc = RandomScaled(rng, b, dib.w, dib.h);
        dib.Fill(kBackground);
        ASSERT_EQ(zv::PaintStrips(dib.dc, &b, nullptr, 0, 0, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, tg.bits, 2,
                                  SRCCOPY),
                  RC_SUCCESS);
        const auto want = OrderedExpected(dib, b, pc, tg.bits, tg.mode);
        const auto got = dib.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << " target " << tg.bits << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

// 1:1 paints convert the bitmap's own rows where they lie: several
// strips, both row directions, source and destination clipped.
TEST(PaintColours, UnscaledOrderedDitherMatchesTheReference) {
    LiveBlockCheck check;
    std::mt19937 rng(35);
    Dib dib(160, 120);
    for (int round = 0; round < 24; ++round) {
        const int bits = round % 3 == 0 ? 8 : round % 3 == 1 ? 4 : 1;
        ModeScope mode(DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER);
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 100 + int(rng() % 60), 80 + int(rng() % 40), round % 4 < 2 ? 24 : 8, ORDER_BGR,
                         round % 2 ? 0 : 2);
        const PaintCase pc = RandomUnscaledCase(rng, b, dib.w, dib.h, round < 4);
        dib.Fill(kBackground);
        ASSERT_EQ(zv::PaintUnscaled(dib.dc, &b, nullptr, 0, 0, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, bits, 2,
                                    SRCCOPY),
                  RC_SUCCESS);
        const auto got = dib.Pixels(), want = OrderedExpected(dib, b, pc, bits, 0);
        ASSERT_TRUE(got == want) << "round " << round << " target " << bits << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

// Error diffusion walks the painted rectangle bottom row first (rows go
// to GDI bottom up), each row left to right; the first row is converted
// twice so that it starts from its own error.
TEST(PaintColours, ErrorDiffusionTo332WalksRowsBottomUpWithAPrimedFirstRow) {
    ModeScope mode(DISP_LIBRARY_DITHER | DISP_DITHER_8BIT);
    std::mt19937 rng(33);
    Dib dib(80, 64);
    for (int round = 0; round < 80; ++round) {
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 1 + int(rng() % 40), 1 + int(rng() % 30), 24, ORDER_BGR, round % 2 ? 0 : 2);
        PaintCase pc = RandomScaled(rng, b, dib.w, dib.h);
        // The error row runs over the whole painted rectangle: keep it on
        // the target so that the reference sees all of it.
        pc.clipDst = RECT{std::max(pc.clipDst.left, 0L), std::max(pc.clipDst.top, 0L),
                          std::min(pc.clipDst.right, LONG(dib.w)), std::min(pc.clipDst.bottom, LONG(dib.h))};
        dib.Fill(kBackground);
        ASSERT_EQ(zv::PaintStrips(dib.dc, &b, nullptr, 0, 0, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, 8, 2, SRCCOPY),
                  RC_SUCCESS);
        // Which destination pixels are painted, and their source colours.
        std::vector<uint32_t> painted(size_t(dib.w) * dib.h, 0xFFFFFFFF);
        ReferencePaint(painted, dib.w, dib.h, b, pc, [&](int, int, int X, int Y) {
            int c[3];
            SourceRgb(b, X, Y, c);
            return Rgb(c[0], c[1], c[2]);
        });
        std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
        int left = dib.w, right = -1, top = dib.h, bottom = -1;
        for (int y = 0; y < dib.h; ++y)
            for (int x = 0; x < dib.w; ++x)
                if (painted[size_t(y) * dib.w + x] != 0xFFFFFFFF)
                    left = std::min(left, x), right = std::max(right, x + 1), top = std::min(top, y),
                    bottom = std::max(bottom, y + 1);
        if (right > left) {
            const int n = right - left;
            std::vector<int> err(size_t(n) * 3, 0);
            for (int pass = 0, y = bottom - 1; y >= top; pass ? --y : 0, pass = 1) {
                int run[3] = {err[0], err[1], err[2]};
                for (int k = 0; k < n; ++k) {
                    const uint32_t s = painted[size_t(y) * dib.w + left + k];
                    const int c[3] = {Clamp(int(s >> 16) + run[0] / 16), Clamp(int((s >> 8) & 255) + run[1] / 16),
                                      Clamp(int(s & 255) + run[2] / 16)};
                    const RGBQUAD &p = zv::Rgb332Palette[Index332(c[0], c[1], c[2])];
                    const int pc3[3] = {p.rgbRed, p.rgbGreen, p.rgbBlue};
                    for (int ch = 0; ch < 3; ++ch) {
                        const int d = c[ch] - pc3[ch];
                        if (k + 1 < n) {
                            run[ch] = err[3 * (k + 1) + ch] + 7 * d;
                            err[3 * (k + 1) + ch] = d;
                        }
                        if (k == 0)
                            err[ch] = 5 * d;
                        else
                            err[3 * k + ch] += 5 * d, err[3 * (k - 1) + ch] += 3 * d;
                    }
                    want[size_t(y) * dib.w + left + k] = Quad(p);
                }
            }
        }
        const auto got = dib.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

TEST(PaintColours, ClippingHalfTheDestinationKeepsTheDitherPattern) {
    std::mt19937 rng(34);
    Dib whole(90, 60), half(90, 60);
    for (UINT extra : {0u, DISP_CUBE_PALETTE}) {
        ModeScope mode(DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER | extra);
        for (int o : kOrientations) {
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, 31, 23, 24, ORDER_BGR, o);
            const RECT dst{5, 3, 85, 57}, right{45, 0, 90, 60};
            whole.Fill(kBackground);
            half.Fill(kBackground);
            ASSERT_EQ(zv::PaintStrips(whole.dc, &b, nullptr, 0, 0, &dst, &dst, &dst, &dst, 8, 2, SRCCOPY), RC_SUCCESS);
            const RECT clip{45, 3, 85, 57};
            const RECT src{0, 0, DisplayW(b), DisplayH(b)};
            ASSERT_EQ(zv::PaintStrips(half.dc, &b, nullptr, 0, 0, &src, &src, &dst, &clip, 8, 2, SRCCOPY), RC_SUCCESS);
            ASSERT_EQ(zv::PaintStrips(whole.dc, &b, nullptr, 0, 0, &src, &src, &dst, &dst, 8, 2, SRCCOPY), RC_SUCCESS);
            const auto a = whole.Pixels(), c = half.Pixels();
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 90; ++x) {
                    const bool in = x >= right.left && x >= 5 && x < 85 && y >= 3 && y < 57;
                    ASSERT_EQ(c[size_t(y) * 90 + x], in ? a[size_t(y) * 90 + x] : kBackground)
                        << x << "," << y << " orientation " << o;
                }
            K_FreeBitmap(&b);
        }
    }
}

// Scale to gray and scale to 1 bit, from footprints counted in the
// displayed image.
struct Footprint {
    int black = 0, area = 0;
};
Footprint Count(const BitmapHandle &b, const PaintCase &pc, int x, int y, int blackIndex) {
    const int64_t sw = pc.src.right - pc.src.left, sh = pc.src.bottom - pc.src.top;
    const int64_t dw = pc.dst.right - pc.dst.left, dh = pc.dst.bottom - pc.dst.top;
    auto interval = [](int64_t i, int64_t s, int64_t d, int *a, int *z) {
        *a = int(i * s / d);
        *z = int(std::max((i + 1) * s / d, i * s / d + 1));
    };
    int x0, x1, j0, j1;
    interval(x - pc.dst.left, sw, dw, &x0, &x1);
    interval(pc.dst.bottom - 1 - y, sh, dh, &j0, &j1);
    Footprint f;
    for (int X = pc.src.left + x0; X < pc.src.left + x1; ++X)
        for (int j = j0; j < j1; ++j) {
            const int Y = pc.src.bottom - 1 - j;
            if (X < 0 || Y < 0 || X >= DisplayW(b) || Y >= DisplayH(b))
                continue;
            int c, r;
            DisplayToStored(b.Orientation, b.Width, b.Height, X, Y, &c, &r);
            ++f.area;
            f.black += int(RawPixel(b, c, r)) == blackIndex;
        }
    return f;
}

void MakePage(BitmapHandle &b, std::mt19937 &rng, int w, int h, int orientation, bool whiteFirst) {
    MakeRandomBitmap(b, rng, w, h, 1, ORDER_BGR, orientation);
    const RGBQUAD bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}}, wb[2] = {bw[1], bw[0]};
    K_PutBitmapColors(&b, 0, 2, whiteFirst ? wb : bw);
    for (int y = 0; y < h; ++y)  // some long runs beside the noise
        if (rng() % 2)
            std::memset(b.Data + size_t(y) * b.BytesPerLine, rng() % 2 ? 0xFF : 0x00, b.BytesPerLine / 2);
}

// Round r of a page test: a random page (index 0 white on odd rounds) and
// a paint of it; every third round shrinks the whole page in both
// directions by 2 .. 1 + divisors.
PaintCase PageRound(std::mt19937 &rng, BitmapHandle &b, const Dib &dib, int round, int divisors) {
    MakePage(b, rng, 1 + int(rng() % 90), 1 + int(rng() % 70), kOrientations[(round / 2) % 8], round % 2);
    PaintCase pc = RandomScaled(rng, b, dib.w, dib.h);
    if (round % 3 == 0) {
        pc.src = RECT{0, 0, DisplayW(b), DisplayH(b)};
        pc.dst.right = pc.dst.left + std::max(1, DisplayW(b) / int(2 + rng() % divisors));
        pc.dst.bottom = pc.dst.top + std::max(1, DisplayH(b) / int(2 + rng() % divisors));
    }
    return pc;
}

TEST(PaintGray, ScaleToGrayMatchesTheFootprintCounts) {
    ModeScope mode(DISP_SCALE_TO_GRAY);
    LiveBlockCheck check;
    std::mt19937 rng(35);
    Dib dib(80, 64);
    for (int round = 0; round < 246; ++round) {
        BitmapHandle b{};
        const bool whiteFirst = round % 2;
        PaintCase pc = PageRound(rng, b, dib, round, 4);
        if (round >= 240) {
            // Footprints of more than 65535 pixels (the painter divides
            // instead of multiplying) and just below.
            K_FreeBitmap(&b);
            MakePage(b, rng, 250 + int(rng() % 600), 250 + int(rng() % 500), kOrientations[round % 8], whiteFirst);
            const bool huge = round < 243;
            const int dw = huge ? 1 + int(rng() % 3) : DisplayW(b) / 255;
            const int dh = huge ? 1 + int(rng() % 3) : DisplayH(b) / 257;
            pc = PaintCase{{0, 0, DisplayW(b), DisplayH(b)}, {-1, -1, 9999, 9999}, {3, 2, 3 + dw, 2 + dh},
                           {0, 0, 80, 64}};
        }
        dib.Fill(kBackground);
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
        const int sw = pc.src.right - pc.src.left, sh = pc.src.bottom - pc.src.top;
        const int dw = pc.dst.right - pc.dst.left, dh = pc.dst.bottom - pc.dst.top;
        const bool shrink = dw < sw && dh < sh, unscaled = dw == sw && dh == sh;
        std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
        ReferencePaint(want, dib.w, dib.h, b, pc, [&](int x, int y, int, int) {
            const Footprint f = Count(b, pc, x, y, whiteFirst ? 1 : 0);
            int v;
            if (unscaled)
                v = f.black ? 0 : 255;
            else if (shrink)
                v = f.black < f.area ? 255 - 255 * f.black / f.area : 0;
            else
                v = f.area - f.black == 0 ? 0 : 255 * (f.area - f.black) / f.area;
            return Rgb(v, v, v);
        });
        const auto got = dib.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << " orientation " << b.Orientation << " " << b.Width << "x"
                                 << b.Height << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

TEST(PaintGray, ShrinkingFourToOneGivesWhiteBlackAndHalf) {
    ModeScope mode(DISP_SCALE_TO_GRAY);
    Dib dib(8, 8);
    for (bool whiteFirst : {false, true}) {
        BitmapHandle b{};
        std::mt19937 rng(36);
        MakePage(b, rng, 12, 4, 0, whiteFirst);
        const BYTE white = whiteFirst ? 0x00 : 0xFF, black = BYTE(~white);
        for (int y = 0; y < 4; ++y) {
            BYTE *row = b.Data + size_t(y) * b.BytesPerLine;
            row[0] = BYTE((white & 0xF0) | (black & 0x0F));  // 4 white, 4 black
            row[1] = BYTE(y < 2 ? (black & 0xF0) | (white & 0x0F) : (white & 0xF0) | (white & 0x0F));
        }
        const RECT dst{0, 0, 3, 1};
        dib.Fill(kBackground);
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
        const auto px = dib.Pixels();
        EXPECT_EQ(px[0], Rgb(255, 255, 255)) << "16 white";
        EXPECT_EQ(px[1], Rgb(0, 0, 0)) << "16 black";
        EXPECT_EQ(px[2], Rgb(128, 128, 128)) << "8 black of 16";
        K_FreeBitmap(&b);
    }
}

TEST(PaintGray, ScaleBitonalBlackFromTheThreshold) {
    ModeScope mode(DISP_SCALE_BITONAL);
    LiveBlockCheck check;
    std::mt19937 rng(37);
    Dib dib(80, 64);
    for (int round = 0; round < 200; ++round) {
        BitmapHandle b{};
        const bool whiteFirst = round % 2;
        const PaintCase pc = PageRound(rng, b, dib, round, 3);
        dib.Fill(kBackground);
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
        const int sw = pc.src.right - pc.src.left, sh = pc.src.bottom - pc.src.top;
        const int dw = pc.dst.right - pc.dst.left, dh = pc.dst.bottom - pc.dst.top;
        const bool unscaled = dw == sw && dh == sh;
        const int fx = std::max(sw == dw ? 0 : sw / dw, 1), fy = std::max(sh == dh ? 0 : sh / dh, 1);
        int threshold = K_GetFootprintThreshold(fx * fy);
        threshold = std::max(threshold < 5 ? threshold - 1 : threshold, 1);
        std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
        ReferencePaint(want, dib.w, dib.h, b, pc, [&](int x, int y, int X, int Y) {
            bool black;
            if (unscaled) {  // painted as it is
                int c, r;
                DisplayToStored(b.Orientation, b.Width, b.Height, X, Y, &c, &r);
                black = int(RawPixel(b, c, r)) == (whiteFirst ? 1 : 0);
            } else {
                black = Count(b, pc, x, y, whiteFirst ? 1 : 0).black >= threshold;
            }
            return black ? Rgb(0, 0, 0) : Rgb(255, 255, 255);
        });
        const auto got = dib.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << " orientation " << b.Orientation << "\n"
                                 << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

// Interpolated scaling: a flat image stays flat, and exactly the pixels
// the DDA paint would touch are painted, in every orientation.
TEST(PaintFilter, FlatColourStaysFlatOverThePaintedArea) {
    std::mt19937 rng(38);
    Dib dib(80, 64);
    for (UINT filter : {DISP_SCALE_FILTER, DISP_SCALE_FILTER_ALT}) {
        ModeScope mode(filter);
        for (int round = 0; round < 48; ++round) {
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, 1 + int(rng() % 30), 1 + int(rng() % 30), round % 3 == 0 ? 8 : 24, ORDER_BGR,
                             kOrientations[round % 8]);
            if (b.BitsPerPixel == 8)
                std::memset(b.Data, 7, size_t(b.BytesPerLine) * b.Height);
            else
                for (int y = 0; y < b.Height; ++y)
                    for (int x = 0; x < b.Width; ++x) {
                        BYTE *p = b.Data + size_t(y) * b.BytesPerLine + 3 * x;
                        p[0] = 10, p[1] = 120, p[2] = 230;
                    }
            const uint32_t flat = b.BitsPerPixel == 8 ? AsIsColor(b, 0, 0) : Rgb(230, 120, 10);
            const PaintCase pc = RandomScaled(rng, b, dib.w, dib.h);
            dib.Fill(kBackground);
            ASSERT_EQ(Z_PaintDC(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
            std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
            ReferencePaint(want, dib.w, dib.h, b, pc, [&](int, int, int, int) { return flat; });
            const auto got = dib.Pixels();
            ASSERT_TRUE(got == want) << "round " << round << "\n" << FirstDifference(got, want, dib.w);
            K_FreeBitmap(&b);
        }
    }
}

TEST(PaintFilter, BilinearEnlargementBlendsNeighbours) {
    ModeScope mode(DISP_SCALE_FILTER);
    Dib dib(40, 10);
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 2, 1, 24, ORDER_BGR, 0), RC_SUCCESS);
    std::memset(b.Data + 3, 200, 3);  // black, then gray 200
    const RECT dst{0, 0, 40, 10};
    ASSERT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
    const auto px = dib.Pixels();
    EXPECT_EQ(px[0], 0u);
    EXPECT_EQ(px[39], Rgb(200, 200, 200));
    int previous = -1, between = 0;
    for (int x = 0; x < 40; ++x) {
        const int v = int(px[size_t(5) * 40 + x] & 255);
        EXPECT_GE(v, previous);
        previous = v;
        between += v > 0 && v < 200;
    }
    EXPECT_GT(between, 10) << "a ramp, not a step";
    K_FreeBitmap(&b);
}

// On a palette display, palette indices with the paint palette selected
// show the same colours as RGB colour tables.
TEST(PaintIndices, WithThePaintPaletteGiveTheSameColoursAsRgb) {
    if (ScreenDepth() != 8)
        GTEST_SKIP() << "needs the depth-8 display (runs as @8)";
    std::mt19937 rng(39);
    Dib rgb(70, 50), indexed(70, 50);
    for (UINT cube : {0u, DISP_CUBE_PALETTE})
        for (UINT ordered : {0u, DISP_ORDERED_DITHER})
            for (int o : {0, 4, 3}) {
                BitmapHandle b{};
                MakeRandomBitmap(b, rng, 33, 27, 24, ORDER_BGR, o);
                const RECT dst{2, 3, 65, 47};
                const UINT base = DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | cube | ordered;
                {
                    ModeScope mode(base);
                    rgb.Fill(kBackground);
                    ASSERT_EQ(Z_PaintDC(rgb.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
                }
                {
                    ModeScope mode(base | DISP_PALETTE_INDICES);
                    HPALETTE pal = Z_CreatePaintPalette(indexed.dc, &b);
                    ASSERT_NE(pal, nullptr);
                    HPALETTE old = SelectPalette(indexed.dc, pal, FALSE);
                    RealizePalette(indexed.dc);
                    indexed.Fill(kBackground);
                    ASSERT_EQ(Z_PaintDC(indexed.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
                    SelectPalette(indexed.dc, old, FALSE);
                    DeleteObject(pal);
                }
                EXPECT_TRUE(rgb.Pixels() == indexed.Pixels()) << "orientation " << o;
                K_FreeBitmap(&b);
            }
}

}  // namespace

namespace {

// A band of caller rows paints what the whole bitmap paints with its
// source clipped to the band, for every conversion that depends only on
// the pixel and its position (expanders; ordered dithering on a palette
// display).
TEST(PaintDCBuffer, BandsPaintWhatTheBitmapPaintsInTheBand) {
    const bool palette = ScreenDepth() == 8;
    ModeScope mode(palette ? DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER : 0);
    LiveBlockCheck check;
    std::mt19937 rng(40);
    Dib byBand(80, 64), whole(80, 64);
    const int depths[][2] = {{2, ORDER_BGR}, {5, ORDER_BGR}, {12, ORDER_GRAY}, {48, ORDER_BGR}, {24, ORDER_BGR}};
    for (int round = 0; round < 150; ++round) {
        const auto &d = depths[round % 5];
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 1 + int(rng() % 30), 2 + int(rng() % 25), d[0], d[1], kOrientations[(round / 5) % 8]);
        const int w = DisplayW(b), h = DisplayH(b);  // a third 1:1: the caller's rows used where they are
        const PaintCase pc = round % 3 ? RandomScaled(rng, b, byBand.w, byBand.h)
                                       : PaintCase{{0, 0, w, h}, RandomRect(rng, w, h), {2, 3, 2 + w, 3 + h},
                                                   {-99, -99, 999, 999}};
        const int row = int(rng() % b.Height), count = 1 + int(rng() % (b.Height - row));
        RECT band{0, row, b.Width, row + count};
        K_ConvertRectOrientation(b.Orientation, b.Width, b.Height, 0, &band);
        const RECT clip{std::max(pc.clipSrc.left, band.left), std::max(pc.clipSrc.top, band.top),
                        std::min(pc.clipSrc.right, band.right), std::min(pc.clipSrc.bottom, band.bottom)};
        byBand.Fill(kBackground);
        whole.Fill(kBackground);
        ASSERT_EQ(Z_PaintDCBuffer(byBand.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY,
                                  b.Data + size_t(row) * b.BytesPerLine, row, count),
                  RC_SUCCESS);
        if (clip.right > clip.left && clip.bottom > clip.top) {
            ASSERT_EQ(Z_PaintDC(whole.dc, &b, &pc.src, &clip, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
        }
        const auto got = byBand.Pixels(), want = whole.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << " " << d[0] << " bits, orientation " << b.Orientation
                                 << " band " << row << "+" << count << "\n" << FirstDifference(got, want, byBand.w);
        K_FreeBitmap(&b);
    }
}

}  // namespace

namespace {

// Interpolation reads caller rows through the window's row source: a flat
// band stays flat and paints exactly the band's part of the destination.
TEST(PaintFilter, CallerBandsThroughTheRowSource) {
    std::mt19937 rng(42);
    Dib dib(80, 64);
    for (UINT filter : {DISP_SCALE_FILTER, DISP_SCALE_FILTER_ALT}) {
        ModeScope mode(filter);
        LiveBlockCheck check;
        for (int round = 0; round < 40; ++round) {
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, 2 + int(rng() % 30), 2 + int(rng() % 30), 24, ORDER_BGR, kOrientations[round % 8]);
            const int row = int(rng() % b.Height), count = 1 + int(rng() % (b.Height - row));
            std::vector<BYTE> band(size_t(b.BytesPerLine) * count);
            for (int i = 0; i < count; ++i)
                for (int x = 0; x < b.Width; ++x) {
                    BYTE *p = &band[size_t(i) * b.BytesPerLine + 3 * x];
                    p[0] = 200, p[1] = 40, p[2] = 90;
                }
            PaintCase pc = RandomScaled(rng, b, dib.w, dib.h);
            dib.Fill(kBackground);
            ASSERT_EQ(Z_PaintDCBuffer(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY, band.data(), row,
                                      count),
                      RC_SUCCESS);
            RECT stored{0, row, b.Width, row + count};
            K_ConvertRectOrientation(b.Orientation, b.Width, b.Height, 0, &stored);
            pc.clipSrc = RECT{std::max(pc.clipSrc.left, stored.left), std::max(pc.clipSrc.top, stored.top),
                              std::min(pc.clipSrc.right, stored.right), std::min(pc.clipSrc.bottom, stored.bottom)};
            std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
            if (pc.clipSrc.right > pc.clipSrc.left && pc.clipSrc.bottom > pc.clipSrc.top)
                ReferencePaint(want, dib.w, dib.h, b, pc, [](int, int, int, int) { return Rgb(90, 40, 200); });
            const auto got = dib.Pixels();
            ASSERT_TRUE(got == want) << "round " << round << "\n" << FirstDifference(got, want, dib.w);
            K_FreeBitmap(&b);
        }
    }
}

}  // namespace

namespace {

// Gray data deeper than 8 bits through a window-level table: a gray table
// paints 8-bit gray strips of the entries' first byte, a coloured one
// 24-bit strips of the entries' colours.
TEST(PaintColours, WindowLevelTablesChooseGrayOrColourStrips) {
    ModeScope mode(0);
    std::mt19937 rng(43);
    Dib dib(80, 64);
    for (int round = 0; round < 64; ++round) {
        LiveBlockCheck check;
        BitmapHandle b{};
        const int bits = round % 2 ? 16 : 12;
        MakeRandomBitmap(b, rng, 1 + int(rng() % 30), 1 + int(rng() % 25), bits, ORDER_GRAY, kOrientations[round % 8]);
        // Sometimes every bit of 16 (a table too large for one lookup a
        // pixel), sometimes a table shorter than the values (clamped).
        const bool allBits = round % 8 == 5;  // 16 bits, gray table, 1:1
        const int low = allBits ? 0 : int(rng() % 3), high = allBits ? 15 : low + 5 + int(rng() % 4);
        std::vector<RGBQUAD> table((size_t(1) << (high - low + 1)) >> (round % 3 == 0 ? 1 : 0));
        const bool grayTable = round % 4 < 2;
        for (size_t i = 0; i < table.size(); ++i) {
            const BYTE v = BYTE(i * 255 / (table.size() - 1));
            table[i] = grayTable ? RGBQUAD{v, v, v, 0} : RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
        }
        ASSERT_EQ(Z_WindowLevel(&b, low, high, table.data(), UINT(table.size()), 1), RC_SUCCESS);
        const bool paintTable = round % 3 == 1;  // every channel then passes through it
        for (int i = 0; i < 256 && paintTable; ++i)
            b.PaintLUT[i] = BYTE(255 - i / 2);
        if (paintTable)
            b.Flags |= BITMAP_PAINT_LUT;
        const PaintCase pc = (round / 4) % 2 ? RandomScaled(rng, b, dib.w, dib.h)
                                       : PaintCase{{0, 0, DisplayW(b), DisplayH(b)}, {-99, -99, 999, 999},
                                                   {3, 1, 3 + DisplayW(b), 1 + DisplayH(b)},
                                                   RandomRect(rng, 3 + DisplayW(b), 1 + DisplayH(b))};
        dib.Fill(kBackground);
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
        int n, shift;
        UINT m;
        K_GetSignificantBits(bits, bits, b.LowBit, b.HighBit, &n, &m, &shift);
        std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
        ReferencePaint(want, dib.w, dib.h, b, pc, [&](int, int, int X, int Y) {
            int c, r;
            DisplayToStored(b.Orientation, b.Width, b.Height, X, Y, &c, &r);
            const size_t i = std::min<size_t>((RawPixel(b, c, r) >> shift) & m, table.size() - 1);
            const RGBQUAD &q = table[i];
            auto t = [&](BYTE v) { return paintTable ? b.PaintLUT[v] : v; };
            return grayTable ? Rgb(t(q.rgbBlue), t(q.rgbBlue), t(q.rgbBlue)) : Rgb(t(q.rgbRed), t(q.rgbGreen), t(q.rgbBlue));
        });
        const auto got = dib.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << " " << bits << " bits, " << (grayTable ? "gray" : "colour")
                                 << " table\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

}  // namespace
