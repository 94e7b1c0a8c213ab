// The fixed palettes and dither matrices from their definitions, and the
// row converters against a slow per-pixel reference written from the
// definition of the readers, the quantisers and the error row: random
// rows, spans, paint tables, palettes, orders and window-level tables
// through every member, several rows in a row so that the carried error
// is compared too, with the destination's other bits prefilled.
#include "support.h"

#include "paint/convert.h"
#include "paint/fixed_palettes.h"
#include "paint/paint_lut.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

struct Color {
    int r, g, b;
};

// Dark colours at 128 (7 the gray), silver, then the bright ones at 255.
Color Vga16(int i) {
    const int level = i == 8 ? 192 : i < 8 ? 128 : 255, bits = i == 8 ? 7 : i & 7;
    return Color{bits & 1 ? level : 0, bits & 2 ? level : 0, bits & 4 ? level : 0};
}

Color Cube(int i) { return i < 216 ? Color{i / 36 * 51, i / 6 % 6 * 51, i % 6 * 51} : Color{0, 0, 0}; }

Color Rgb332(int i) {
    return Color{int(std::lround((i >> 5) * 255.0 / 7)), int(std::lround(((i >> 2) & 7) * 255.0 / 7)), (i & 3) * 85};
}

bool Same(const RGBQUAD &q, Color c) { return q.rgbRed == c.r && q.rgbGreen == c.g && q.rgbBlue == c.b; }

// Four times the 8x8 Bayer index matrix, then the five values that the
// dispersed matrix has in place of Bayer's.
std::vector<int> Dispersed() {
    std::vector<int> m(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            int v = 0;  // bit i of x ^ y goes to bit 5 - 2i, bit i of y to bit 4 - 2i
            for (int i = 0; i < 3; ++i)
                v |= (((x ^ y) >> i) & 1) << (5 - 2 * i) | ((y >> i) & 1) << (4 - 2 * i);
            m[y * 8 + x] = 4 * v;
        }
    for (int &v : m)
        v = v == 240 ? 236 : v == 248 ? 244 : v == 236 ? 232 : v == 252 ? 248 : v == 244 ? 240 : v;
    return m;
}

TEST(FixedTables, PalettesFollowTheirDefinitions) {
    for (int i = 0; i < 256; ++i) {
        EXPECT_TRUE(i >= 16 || Same(zv::Vga16Palette[i], Vga16(i))) << i;
        EXPECT_TRUE(Same(zv::CubePalette[i], Cube(i))) << i;
        EXPECT_TRUE(Same(zv::Rgb332Palette[i], Rgb332(i))) << i;
        EXPECT_EQ(zv::Rgb332Palette[i].rgbReserved | zv::CubePalette[i].rgbReserved, 0);
    }
    EXPECT_TRUE(Same(zv::MonoPalette[0], {0, 0, 0}) && Same(zv::MonoPalette[1], {255, 255, 255}));
}

TEST(FixedTables, DitherMatrices) {
    const std::vector<int> dispersed = Dispersed();
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(zv::DispersedDitherMatrix[i], dispersed[i]) << "at " << i;
    // Clustered dots: every multiple of 4 once, the lowest at the centre of
    // the upper-left and the lower-right quarter, the highest in the others.
    std::vector<int> seen(64, 0);
    for (int v : zv::ClusteredDitherMatrix) {
        ASSERT_EQ(v % 4, 0);
        ++seen[v / 4];
    }
    EXPECT_EQ(seen, std::vector<int>(64, 1));
    EXPECT_TRUE(zv::ClusteredDitherMatrix[2 * 8 + 2] == 0 && zv::ClusteredDitherMatrix[6 * 8 + 6] == 4);
    EXPECT_TRUE(zv::ClusteredDitherMatrix[6 * 8 + 2] == 252 && zv::ClusteredDitherMatrix[2 * 8 + 6] == 248);
}

// ---- the reference converter -----------------------------------------------

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Colour of pixel x of a source row: palette index; gray (12 bits, 16
// bits of Order 2) from the significant bits through the window table or
// widened to 8 bits; 5-5-5 widened; bytes (the high one of 16-bit
// channels) in the row's colour order.
Color RefRead(const BitmapHandle &b, const BYTE *src, int x, const RGBQUAD *pal) {
    const int bits = b.BitsPerPixel;
    const uint64_t raw = zvtest::PixelAt(src, x, bits);
    if (bits <= 8)
        return Color{pal[raw].rgbRed, pal[raw].rgbGreen, pal[raw].rgbBlue};
    if (bits == 12 || (bits == 16 && b.Order == 2)) {
        const bool lut = b.WindowLUT && b.WindowLUTLength > 0;
        int n = 0, s = 0;
        UINT m = 0;
        K_GetSignificantBits(bits, lut ? bits : 8, b.LowBit, b.HighBit, &n, &m, &s);
        const unsigned v = unsigned(raw >> s) & m;
        if (lut) {
            const RGBQUAD q = b.WindowLUT[std::min<unsigned>(v, b.WindowLUTLength - 1)];
            return Color{q.rgbRed, q.rgbGreen, q.rgbBlue};
        }
        const int g = int(n < 8 ? v << (8 - n) : v);
        return Color{g, g, g};
    }
    int v[3];
    for (int i = 0; i < 3; ++i) {
        const int c = int(raw >> (5 * i)) & 31;
        v[i] = bits == 16 ? c << 3 | c >> 2 : int(raw >> (bits >= 48 ? 16 * i + 8 : 8 * i)) & 255;
    }
    return b.Order == 1 || b.Order == 5 ? Color{v[2], v[1], v[0]} : Color{v[0], v[1], v[2]};
}

// Index and the error per channel of one target, from the definition.
int Quantise(int target, bool cube, const BYTE *lut, Color c, int d[3]) {
    Color value = c, p;
    int index;
    if (target == 1) {
        index = lut[(2 * c.r + 5 * c.g + c.b + 4) >> 3] >= 128 ? 1 : 0;
        p = index ? Color{255, 255, 255} : Color{0, 0, 0};
    } else {
        value = Color{lut[c.r], lut[c.g], lut[c.b]};
        if (target == 4) {
            index = (value.r >= 128 ? 1 : 0) + (value.g >= 128 ? 2 : 0) + (value.b >= 128 ? 4 : 0);
            index += index ? 8 : 0;
            p = Vga16(index);
        } else if (cube) {
            index = value.r / 51 * 36 + value.g / 51 * 6 + value.b / 51;
            p = Cube(index);
        } else {
            index = (value.r & 0xE0) | ((value.g & 0xE0) >> 3) | (value.b >> 6);
            p = Rgb332(index);
        }
    }
    d[0] = value.r - p.r, d[1] = value.g - p.g, d[2] = value.b - p.b;
    return index;
}

int OrderedIndex(int target, bool cube, const BYTE *lut, Color c, int t) {
    if (target == 1)
        return lut[(2 * c.r + 5 * c.g + c.b + 4) >> 3] > t ? 1 : 0;
    if (target == 4) {
        const int i = (lut[c.r] > t) + 2 * (lut[c.g] > t) + 4 * (lut[c.b] > t);
        return i ? i + 8 : 0;
    }
    const int o = cube ? int(std::floor(t / 6.0)) - 21 : (t >> 3) - 16;
    const int r = lut[Clamp(c.r + o)], g = lut[Clamp(c.g + o)], b = lut[Clamp(c.b + o)];
    return cube ? r / 51 * 36 + g / 51 * 6 + b / 51 : (r & 0xE0) | ((g & 0xE0) >> 3) | (b >> 6);
}

void PutPixel(BYTE *dst, int target, int k, int index) {
    const int per = 8 / target, shift = target * (per - 1 - k % per);
    dst[k / per] = BYTE((dst[k / per] & ~(((1 << target) - 1) << shift)) | index << shift);
}

void RefConvert(BYTE *dst, const BYTE *src, const BitmapHandle &b, int start, int end, int column, int row,
                std::vector<int> &err /* 3 per entry */, const RGBQUAD *pal, int target, bool ordered, UINT mode) {
    const bool cube = (mode & DISP_CUBE_PALETTE) != 0;
    const int n = end - start;
    static const std::vector<int> dispersed = Dispersed();
    for (int k = 0; ordered && k < n; ++k) {
        const int at = (row & 7) * 8 + ((column + k) & 7);
        const int t = target == 1 && (mode & DISP_CLUSTERED_DITHER) ? zv::ClusteredDitherMatrix[at] : dispersed[at];
        PutPixel(dst, target, k, OrderedIndex(target, cube, b.PaintLUT, RefRead(b, src, start + k, pal), t));
    }
    int run[3] = {err[0], err[1], err[2]};
    for (int k = 0; !ordered && k < n; ++k) {
        const Color c = RefRead(b, src, start + k, pal);
        const Color c1{Clamp(c.r + run[0] / 16), Clamp(c.g + run[1] / 16), Clamp(c.b + run[2] / 16)};
        int d[3];
        PutPixel(dst, target, k, Quantise(target, cube, b.PaintLUT, c1, d));
        for (int i = 0; i < 3; ++i) {
            if (k != n - 1)
                run[i] = err[3 * (k + 1) + i] + 7 * d[i], err[3 * (k + 1) + i] = d[i];
            if (k == 0)
                err[3 * k + i] = 5 * d[i];
            else
                err[3 * k + i] += 5 * d[i], err[3 * (k - 1) + i] += 3 * d[i];
        }
    }
}

// ---- random comparison -------------------------------------------------------

struct Case {
    int bits, target;
    bool ordered;
};

void RandomBytes(std::mt19937 &rng, std::vector<BYTE> &v) {
    for (BYTE &x : v)
        x = BYTE(rng());
}

// Identity, built from random settings, random, or a step at a random
// luminance, rising (1-bit diffusion then compares with a bound) or
// falling (it reads the table).
void RandomPaintTable(std::mt19937 &rng, std::vector<BYTE> &lut) {
    const int kind = int(rng() % 5), step = int(rng() % 257);
    for (int i = 0; i < 256; ++i)
        lut[i] = kind == 0 ? BYTE(i) : kind == 2 ? BYTE(rng()) : BYTE((i >= step) == (kind == 3) ? 128 + rng() % 128 : rng() % 128);
    if (kind == 1)
        zv::BuildPaintTable(int(rng() % 2001) - 1000, int(rng() % 2001) - 1000, 1 + rng() % 400, lut.data());
}

// Orders: blue first (1, 5), gray (2), red first (0, 3); significant bits
// anywhere or out of range, with a window table or without.
void SetUpSource(std::mt19937 &rng, BitmapHandle &b, std::vector<BYTE> &lut, std::vector<RGBQUAD> &window, int bits) {
    const int orders[] = {1, 5, 2, 0, 3};
    b = BitmapHandle{};
    b.BitsPerPixel = bits;
    b.Flags = BITMAP_ALLOCATED;
    b.Order = bits == 12 ? 2 : orders[rng() % 5];
    RandomPaintTable(rng, lut);
    b.PaintLUT = lut.data();
    if (bits == 12 || (bits == 16 && b.Order == 2)) {
        int low = int(rng() % bits), high = int(rng() % bits);
        if (low > high)
            std::swap(low, high);
        if (rng() % 4 == 0)
            low = -1, high = bits + 3;  // out of range: the kernel decides
        b.LowBit = low, b.HighBit = high;
        if (rng() % 2) {
            int n, s;
            UINT m;
            K_GetSignificantBits(bits, bits, low, high, &n, &m, &s);
            window.resize(size_t(m) + 1);
            for (RGBQUAD &q : window)
                q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), BYTE(rng())};
            b.WindowLUT = window.data();
            b.WindowLUTLength = UINT(window.size());
        }
    }
}

class Converters : public testing::TestWithParam<Case> {};

// Without an error row a diffusing converter dithers in order.
TEST_P(Converters, MatchTheReferenceOverConsecutiveRows) {
    const Case cs = GetParam();
    const zv::RowConverter convert = zv::GetRowConverter(cs.bits, cs.target, cs.ordered);
    ASSERT_NE(convert, nullptr);
    std::mt19937 rng(cs.bits * 1000 + cs.target * 10 + cs.ordered);
    const UINT saved = Z_GetDisplayMode();
    BitmapHandle b;
    std::vector<BYTE> lut(256);
    std::vector<RGBQUAD> window, palette(256);
    for (int trial = 0; trial < 60; ++trial) {
        SetUpSource(rng, b, lut, window, cs.bits);
        const UINT mode = (rng() % 2 ? DISP_CUBE_PALETTE : 0) | (rng() % 2 ? DISP_CLUSTERED_DITHER : 0) |
                          (cs.ordered ? DISP_ORDERED_DITHER : 0);
        Z_SetDisplayMode(DISP_CUBE_PALETTE | DISP_CLUSTERED_DITHER | DISP_ORDERED_DITHER, mode);
        ASSERT_EQ(zv::SelectRowConverter(cs.bits, cs.target), convert);
        for (RGBQUAD &q : palette)
            q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
        const int width = 1 + int(rng() % (trial < 10 ? 9 : 70));
        const int start = int(rng() % width), end = start + 1 + int(rng() % (width - start)), span = end - start;
        std::vector<int> refErr(3 * span + 6);
        for (int &e : refErr)
            e = trial % 3 ? int(rng() % 4591) - 2295 : 0;  // what a row can leave: 9 x 255 at most
        std::vector<zv::ErrorEntry> err(span + 2);
        std::memcpy(err.data(), refErr.data(), refErr.size() * sizeof(int));
        const int column = int(rng() % 64) - 32, firstRow = int(rng() % 64) - 32;
        for (int row = 0; row < 4; ++row) {
            std::vector<BYTE> src(size_t(width) * 8 + 8), dst(size_t(span) + 8);
            RandomBytes(rng, src);
            RandomBytes(rng, dst);
            std::vector<BYTE> ref = dst;
            SCOPED_TRACE(testing::Message() << "trial " << trial << " row " << row << " order " << b.Order << " span "
                                            << start << ".." << end << " mode " << mode);
            if (!cs.ordered && trial % 7 == 6) {
                convert(dst.data(), src.data(), &b, start, end, column, firstRow + row, nullptr, palette.data());
                zv::GetRowConverter(cs.bits, cs.target, true)(ref.data(), src.data(), &b, start, end, column,
                                                              firstRow + row, nullptr, palette.data());
                ASSERT_EQ(dst, ref) << "without an error row";
                continue;
            }
            convert(dst.data(), src.data(), &b, start, end, column, firstRow + row, err.data(), palette.data());
            RefConvert(ref.data(), src.data(), b, start, end, column, firstRow + row, refErr, palette.data(), cs.target,
                       cs.ordered, mode);
            ASSERT_EQ(dst, ref);
            ASSERT_EQ(0, std::memcmp(err.data(), refErr.data(), refErr.size() * sizeof(int))) << "error rows differ";
        }
    }
    Z_SetDisplayMode(0xFFFFFFFF, saved);
}

std::vector<Case> AcceptedCases() {
    std::vector<Case> cases;
    for (int bits : {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 24, 32, 48, 64})
        for (int target : {1, 4, 8})
            for (bool ordered : {false, true})
                if (bits != 1 || target == 8)
                    cases.push_back(Case{bits, target, ordered});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Every, Converters, testing::ValuesIn(AcceptedCases()),
                         [](const testing::TestParamInfo<Case> &i) {
                             return "From" + std::to_string(i.param.bits) + "To" + std::to_string(i.param.target) +
                                    (i.param.ordered ? "Ordered" : "Diffused");
                         });

}  // namespace
