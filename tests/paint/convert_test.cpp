// Row converters and expanders against a slow per-pixel reference written
// from the definition of the readers, the quantisers and the error row:
// random rows, spans, paint tables, palettes, orders and window-level
// tables through every member, several rows in a row so that the carried
// error is compared too, with the destination's other bits prefilled.
#include "support.h"

#include "frame/library.h"
#include "paint/convert.h"
#include "paint/fixed_palettes.h"
#include "paint/paint_lut.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

const int kDepths[] = {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 24, 32, 48, 64};

// ---- reference palettes and matrices, from their definitions -------------

struct Color {
    int r, g, b;
};

Color Vga16(int i) {
    static const Color table[16] = {{0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                    {0, 0, 128},   {128, 0, 128},   {0, 128, 128},   {128, 128, 128},
                                    {192, 192, 192}, {255, 0, 0},   {0, 255, 0},     {255, 255, 0},
                                    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    return table[i];
}

Color Cube(int i) { return i < 216 ? Color{i / 36 * 51, i / 6 % 6 * 51, i % 6 * 51} : Color{0, 0, 0}; }

Color Rgb332(int i) {
    return Color{static_cast<int>(std::lround((i >> 5) * 255.0 / 7)),
                 static_cast<int>(std::lround(((i >> 2) & 7) * 255.0 / 7)), (i & 3) * 85};
}

// Four times the 8x8 Bayer index matrix, then the five values that the
// dispersed matrix has in place of Bayer's.
std::vector<int> Dispersed() {
    std::vector<int> m(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            // Bit i of x ^ y goes to bit 5 - 2i, bit i of y to bit 4 - 2i.
            int v = 0;
            for (int i = 0; i < 3; ++i)
                v |= (((x ^ y) >> i) & 1) << (5 - 2 * i) | ((y >> i) & 1) << (4 - 2 * i);
            m[y * 8 + x] = 4 * v;
        }
    for (int &v : m) {
        switch (v) {
        case 240: v = 236; break;
        case 248: v = 244; break;
        case 236: v = 232; break;
        case 252: v = 248; break;
        case 244: v = 240; break;
        default: break;
        }
    }
    return m;
}

TEST(FixedTables, PalettesFollowTheirDefinitions) {
    for (int i = 0; i < 16; ++i) {
        const RGBQUAD q = zv::Vga16Palette[i];
        EXPECT_EQ(q.rgbRed, Vga16(i).r);
        EXPECT_EQ(q.rgbGreen, Vga16(i).g);
        EXPECT_EQ(q.rgbBlue, Vga16(i).b);
    }
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(zv::CubePalette[i].rgbRed, Cube(i).r);
        EXPECT_EQ(zv::CubePalette[i].rgbGreen, Cube(i).g);
        EXPECT_EQ(zv::CubePalette[i].rgbBlue, Cube(i).b);
        EXPECT_EQ(zv::Rgb332Palette[i].rgbRed, Rgb332(i).r);
        EXPECT_EQ(zv::Rgb332Palette[i].rgbGreen, Rgb332(i).g);
        EXPECT_EQ(zv::Rgb332Palette[i].rgbBlue, Rgb332(i).b);
        EXPECT_EQ(zv::Rgb332Palette[i].rgbReserved | zv::CubePalette[i].rgbReserved, 0);
    }
    const int levels[8] = {0, 36, 73, 109, 146, 182, 219, 255};
    for (int l = 0; l < 8; ++l)
        EXPECT_EQ(zv::Rgb332Palette[l << 5].rgbRed, levels[l]);
    EXPECT_EQ(zv::MonoPalette[0].rgbRed + zv::MonoPalette[0].rgbGreen + zv::MonoPalette[0].rgbBlue, 0);
    EXPECT_EQ(zv::MonoPalette[1].rgbRed & zv::MonoPalette[1].rgbGreen & zv::MonoPalette[1].rgbBlue, 255);
}

TEST(FixedTables, DitherMatrices) {
    const std::vector<int> dispersed = Dispersed();
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(zv::DispersedDitherMatrix[i], dispersed[i]) << "at " << i;
    EXPECT_EQ(zv::DispersedDitherMatrix[1], 128);
    EXPECT_EQ(zv::DispersedDitherMatrix[8], 192);
    // Clustered dots: every multiple of 4 once, the lowest at the centre of
    // the upper-left and the lower-right quarter, the highest in the others.
    std::vector<int> seen(64, 0);
    for (int v : zv::ClusteredDitherMatrix) {
        ASSERT_EQ(v % 4, 0);
        ++seen[v / 4];
    }
    for (int n : seen)
        EXPECT_EQ(n, 1);
    EXPECT_EQ(zv::ClusteredDitherMatrix[2 * 8 + 2], 0);
    EXPECT_EQ(zv::ClusteredDitherMatrix[6 * 8 + 6], 4);
    EXPECT_EQ(zv::ClusteredDitherMatrix[6 * 8 + 2], 252);
    EXPECT_EQ(zv::ClusteredDitherMatrix[2 * 8 + 6], 248);
}

// ---- the reference converter -----------------------------------------------

struct Bitmap {
    BitmapHandle b{};
    std::vector<BYTE> lut = std::vector<BYTE>(256);
    std::vector<RGBQUAD> window;
};

int BitAt(const BYTE *src, long bit) { return (src[bit / 8] >> (7 - bit % 8)) & 1; }

int GrayRule(const BitmapHandle &b, unsigned raw, Color *out) {
    const bool lut = b.WindowLUT && b.WindowLUTLength > 0;
    int n = 0, s = 0;
    UINT m = 0;
    EXPECT_EQ(K_GetSignificantBits(b.BitsPerPixel, lut ? b.BitsPerPixel : 8, b.LowBit, b.HighBit, &n, &m, &s),
              RC_SUCCESS);
    unsigned v = (raw >> s) & m;
    if (lut) {
        const RGBQUAD q = b.WindowLUT[std::min<unsigned>(v, b.WindowLUTLength - 1)];
        *out = Color{q.rgbRed, q.rgbGreen, q.rgbBlue};
    } else {
        if (n < 8)
            v <<= 8 - n;
        *out = Color{int(v), int(v), int(v)};
    }
    return 0;
}

unsigned Raw12(const BYTE *src, int x) {
    const int at = x / 2 * 3 + (x % 2);
    const unsigned word = src[at] | src[at + 1] << 8;
    return x % 2 ? word >> 4 : word & 0x0FFF;
}

Color RefRead(const BitmapHandle &b, const BYTE *src, int x, const RGBQUAD *pal) {
    const int bits = b.BitsPerPixel;
    const bool bgr = b.Order == 1 || b.Order == 5;
    Color c{};
    if (bits <= 8) {
        int index = 0;
        for (int i = 0; i < bits; ++i)
            index = index << 1 | BitAt(src, long(x) * bits + i);
        return Color{pal[index].rgbRed, pal[index].rgbGreen, pal[index].rgbBlue};
    }
    if (bits == 12) {
        GrayRule(b, Raw12(src, x), &c);
        return c;
    }
    if (bits == 16) {
        const unsigned w = src[2 * x] | src[2 * x + 1] << 8;
        if (b.Order == 2) {
            GrayRule(b, w, &c);
            return c;
        }
        auto widen = [](unsigned v) { return int(v << 3 | v >> 2); };
        const int lo = widen(w & 31), mid = widen(w >> 5 & 31), hi = widen(w >> 10 & 31);
        return bgr ? Color{hi, mid, lo} : Color{lo, mid, hi};
    }
    const int size = bits / 8;
    const BYTE *p = src + long(x) * size;
    int v[3];
    for (int i = 0; i < 3; ++i)
        v[i] = bits >= 48 ? p[2 * i + 1] : p[i];
    return bgr ? Color{v[2], v[1], v[0]} : Color{v[0], v[1], v[2]};
}

int Clamp(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// Index and the error per channel of one target, from the definition.
int Quantise(int target, bool cube, const BYTE *lut, Color c, int d[3]) {
    Color value, p;
    int index;
    if (target == 1) {
        const int l = (2 * c.r + 5 * c.g + c.b + 4) >> 3;
        index = lut[l] >= 128 ? 1 : 0;
        value = c;
        p = index ? Color{255, 255, 255} : Color{0, 0, 0};
    } else {
        value = Color{lut[c.r], lut[c.g], lut[c.b]};
        if (target == 4) {
            index = (value.r >= 128 ? 1 : 0) + (value.g >= 128 ? 2 : 0) + (value.b >= 128 ? 4 : 0);
            if (index)
                index += 8;
            p = Vga16(index);
        } else if (cube) {
            index = value.r / 51 * 36 + value.g / 51 * 6 + value.b / 51;
            p = Cube(index);
        } else {
            index = (value.r & 0xE0) | ((value.g & 0xE0) >> 3) | (value.b >> 6);
            p = Rgb332(index);
        }
    }
    d[0] = value.r - p.r;
    d[1] = value.g - p.g;
    d[2] = value.b - p.b;
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
    if (target == 8) {
        dst[k] = BYTE(index);
    } else if (target == 4) {
        const int shift = k % 2 ? 0 : 4;
        dst[k / 2] = BYTE((dst[k / 2] & ~(0xF << shift)) | index << shift);
    } else {
        const int shift = 7 - k % 8;
        dst[k / 8] = BYTE((dst[k / 8] & ~(1 << shift)) | index << shift);
    }
}

void RefConvert(BYTE *dst, const BYTE *src, const BitmapHandle &b, int start, int end, int column, int row,
                std::vector<int> &err /* 3 per entry */, const RGBQUAD *pal, int target, bool ordered, UINT mode) {
    const bool cube = (mode & DISP_CUBE_PALETTE) != 0;
    const BYTE *lut = b.PaintLUT;
    const int n = end - start;
    if (n <= 0)
        return;
    if (ordered) {
        const bool clustered = target == 1 && (mode & DISP_CLUSTERED_DITHER);
        static const std::vector<int> dispersed = Dispersed();
        for (int k = 0; k < n; ++k) {
            const int at = (row & 7) * 8 + ((column + k) & 7);
            const int t = clustered ? zv::ClusteredDitherMatrix[at] : dispersed[at];
            PutPixel(dst, target, k, OrderedIndex(target, cube, lut, RefRead(b, src, start + k, pal), t));
        }
        return;
    }
    int run[3] = {err[0], err[1], err[2]};
    for (int k = 0; k < n; ++k) {
        const Color c = RefRead(b, src, start + k, pal);
        const Color c1{Clamp(c.r + run[0] / 16), Clamp(c.g + run[1] / 16), Clamp(c.b + run[2] / 16)};
        int d[3];
        PutPixel(dst, target, k, Quantise(target, cube, lut, c1, d));
        for (int i = 0; i < 3; ++i) {
            if (k != n - 1) {
                run[i] = err[3 * (k + 1) + i] + 7 * d[i];
                err[3 * (k + 1) + i] = d[i];
            }
            if (k == 0) {
                err[3 * k + i] = 5 * d[i];
            } else {
                err[3 * k + i] += 5 * d[i];
                err[3 * (k - 1) + i] += 3 * d[i];
            }
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

void RandomPaintTable(std::mt19937 &rng, std::vector<BYTE> &lut) {
    switch (rng() % 3) {
    case 0:
        for (int i = 0; i < 256; ++i)
            lut[i] = BYTE(i);
        break;
    case 1:
        zv::BuildPaintTable(int(rng() % 2001) - 1000, int(rng() % 2001) - 1000, 1 + rng() % 400, lut.data());
        break;
    default:
        for (BYTE &x : lut)
            x = BYTE(rng());
        break;
    }
}

// Orders: blue first (1, 5), gray (2), red first (0, 3).
const int kOrders[] = {1, 5, 2, 0, 3};

void SetUpSource(std::mt19937 &rng, Bitmap &bm, int bits) {
    BitmapHandle &b = bm.b;
    b = BitmapHandle{};
    b.BitsPerPixel = bits;
    b.Flags = BITMAP_ALLOCATED;
    b.Order = bits == 12 ? 2 : kOrders[rng() % 5];
    RandomPaintTable(rng, bm.lut);
    b.PaintLUT = bm.lut.data();
    bm.window.clear();
    b.WindowLUT = nullptr;
    b.WindowLUTLength = 0;
    if (bits == 12 || (bits == 16 && b.Order == 2)) {
        int low = int(rng() % bits), high = int(rng() % bits);
        if (low > high)
            std::swap(low, high);
        if (rng() % 4 == 0) {
            low = -1;  // out of range: the kernel decides
            high = bits + 3;
        }
        b.LowBit = low;
        b.HighBit = high;
        if (rng() % 2) {
            int n, s;
            UINT m;
            K_GetSignificantBits(bits, bits, low, high, &n, &m, &s);
            bm.window.resize(size_t(m) + 1);
            for (RGBQUAD &q : bm.window)
                q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), BYTE(rng())};
            b.WindowLUT = bm.window.data();
            b.WindowLUTLength = UINT(bm.window.size());
        }
    }
}

class Converters : public testing::TestWithParam<Case> {};

TEST_P(Converters, MatchTheReferenceOverConsecutiveRows) {
    const Case cs = GetParam();
    const zv::RowConverter convert = zv::GetRowConverter(cs.bits, cs.target, cs.ordered);
    ASSERT_NE(convert, nullptr);
    std::mt19937 rng(cs.bits * 1000 + cs.target * 10 + cs.ordered);
    const UINT saved = Z_GetDisplayMode();
    Bitmap bm;
    std::vector<RGBQUAD> palette(256);
    for (int trial = 0; trial < 60; ++trial) {
        SetUpSource(rng, bm, cs.bits);
        const UINT mode = (rng() % 2 ? DISP_CUBE_PALETTE : 0) | (rng() % 2 ? DISP_CLUSTERED_DITHER : 0) |
                          (cs.ordered ? DISP_ORDERED_DITHER : 0);
        Z_SetDisplayMode(DISP_CUBE_PALETTE | DISP_CLUSTERED_DITHER | DISP_ORDERED_DITHER, mode);
        ASSERT_EQ(zv::SelectRowConverter(cs.bits, cs.target), convert);
        for (RGBQUAD &q : palette)
            q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
        const int width = 1 + int(rng() % (trial < 10 ? 9 : 70));
        const int start = int(rng() % width);
        const int end = start + 1 + int(rng() % (width - start));
        const int span = end - start;
        std::vector<int> refErr(3 * span + 6);
        for (int &e : refErr)
            e = trial % 3 ? int(rng() % 4591) - 2295 : 0;  // what a row can leave: 9 x 255 at most
        std::vector<zv::ErrorEntry> err(span + 2);
        std::memcpy(err.data(), refErr.data(), refErr.size() * sizeof(int));
        const int column = int(rng() % 64) - 32, firstRow = int(rng() % 64) - 32;
        for (int row = 0; row < 4; ++row) {
            std::vector<BYTE> src(size_t(width) * 8 + 8);
            RandomBytes(rng, src);
            std::vector<BYTE> dst(size_t(span) + 8), ref;
            RandomBytes(rng, dst);
            ref = dst;
            convert(dst.data(), src.data(), &bm.b, start, end, column, firstRow + row, err.data(), palette.data());
            RefConvert(ref.data(), src.data(), bm.b, start, end, column, firstRow + row, refErr, palette.data(),
                       cs.target, cs.ordered, mode);
            SCOPED_TRACE(testing::Message() << "trial " << trial << " row " << row << " order " << bm.b.Order
                                            << " span " << start << ".." << end << " mode " << mode);
            ASSERT_EQ(dst, ref);
            ASSERT_EQ(0, std::memcmp(err.data(), refErr.data(), refErr.size() * sizeof(int)))
                << "error rows differ";
        }
    }
    Z_SetDisplayMode(0xFFFFFFFF, saved);
}

std::vector<Case> AcceptedCases() {
    std::vector<Case> cases;
    for (int bits : kDepths)
        for (int target : {1, 4, 8})
            if (bits != 1 || target == 8)
                for (bool ordered : {false, true})
                    cases.push_back(Case{bits, target, ordered});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Every, Converters, testing::ValuesIn(AcceptedCases()),
                         [](const testing::TestParamInfo<Case> &i) {
                             return "From" + std::to_string(i.param.bits) + "To" + std::to_string(i.param.target) +
                                    (i.param.ordered ? "Ordered" : "Diffused");
                         });

TEST(ConverterTable, EightyMembersAndTheRefusedPairs) {
    EXPECT_EQ(AcceptedCases().size(), 80u);
    std::vector<zv::RowConverter> seen;
    for (int bits = 0; bits <= 70; ++bits)
        for (int target = 0; target <= 32; ++target)
            for (bool ordered : {false, true}) {
                const zv::RowConverter c = zv::GetRowConverter(bits, target, ordered);
                const bool listed = std::find(std::begin(kDepths), std::end(kDepths), bits) != std::end(kDepths);
                const bool accepted = listed && (target == 8 || ((target == 1 || target == 4) && bits != 1));
                EXPECT_EQ(c != nullptr, accepted) << bits << " to " << target;
                if (c) {
                    EXPECT_EQ(std::find(seen.begin(), seen.end(), c), seen.end()) << "a member used twice";
                    seen.push_back(c);
                }
            }
    EXPECT_EQ(seen.size(), 80u);
    EXPECT_EQ(zv::SelectRowConverter(9, 8), nullptr);
    EXPECT_EQ(zv::SelectRowConverter(10, 8), nullptr);
    EXPECT_EQ(zv::SelectRowConverter(1, 1), nullptr);
    EXPECT_EQ(zv::SelectRowConverter(1, 4), nullptr);
    EXPECT_EQ(zv::SelectRowConverter(24, 24), nullptr);
}

// ---- worked cases ------------------------------------------------------------

struct Gray24 {
    Bitmap bm;
    Gray24() {
        bm.b.BitsPerPixel = 24;
        bm.b.Order = ORDER_BGR;
        for (int i = 0; i < 256; ++i)
            bm.lut[i] = BYTE(i);
        bm.b.PaintLUT = bm.lut.data();
    }
};

TEST(ConverterCases, EmptySpanTouchesNothing) {
    Gray24 g;
    BYTE src[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (int target : {1, 4, 8})
        for (bool ordered : {false, true}) {
            BYTE dst[4] = {0xA5, 0xA5, 0xA5, 0xA5};
            zv::ErrorEntry err[2] = {{11, 22, 33}, {44, 55, 66}};
            zv::GetRowConverter(24, target, ordered)(dst, src, &g.bm.b, 2, 2, 0, 0, err, nullptr);
            zv::GetRowConverter(24, target, ordered)(dst, src, &g.bm.b, 3, 1, 0, 0, err, nullptr);
            EXPECT_EQ(dst[0], 0xA5);
            EXPECT_EQ(err[0].Red, 11);
            EXPECT_EQ(err[1].Blue, 66);
        }
}

TEST(ConverterCases, DiffusionWithoutAnErrorRowDithersInOrder) {
    Gray24 g;
    std::vector<BYTE> src(3 * 40);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = BYTE(i * 37);
    for (int target : {1, 4, 8}) {
        BYTE a[40] = {}, b[40] = {};
        zv::GetRowConverter(24, target, false)(a, src.data(), &g.bm.b, 0, 40, 3, 5, nullptr, nullptr);
        zv::GetRowConverter(24, target, true)(b, src.data(), &g.bm.b, 0, 40, 3, 5, nullptr, nullptr);
        EXPECT_EQ(0, memcmp(a, b, sizeof a)) << target;
    }
}

// The same over wide rows, whose converters may check and limit the
// entries a stretch at a time: wild entries anywhere in the row, in both
// pixel orders, give what the row with those entries limited gives.
TEST(ConverterCases, WideRowsLimitEntriesBeyondTheReachableRange) {
    Gray24 g;
    std::mt19937 rng(2295);
    const int width = 403;
    std::vector<BYTE> src(size_t(width) * 3);
    const int32_t wildValues[] = {INT32_MAX, INT32_MIN, 2296, -2296, 32767, -32768, 40000, -100000};
    for (int trial = 0; trial < 24; ++trial) {
        g.bm.b.Order = trial % 2 ? ORDER_BGR : ORDER_RGB;
        RandomBytes(rng, src);
        std::vector<zv::ErrorEntry> wild(width), sane;
        for (zv::ErrorEntry &e : wild)
            e = zv::ErrorEntry{int(rng() % 4591) - 2295, int(rng() % 4591) - 2295, int(rng() % 4591) - 2295};
        for (int i = 0; i < 1 + trial % 5; ++i) {
            int32_t *channel = &wild[rng() % width].Red + rng() % 3;
            *channel = wildValues[rng() % std::size(wildValues)];
        }
        sane = wild;
        for (zv::ErrorEntry &e : sane)
            for (int32_t *v : {&e.Red, &e.Green, &e.Blue})
                *v = std::clamp(*v, -2295, 2295);
        const int target = trial % 3 == 2 ? 4 : 1;
        const BYTE fill = BYTE(rng());
        std::vector<BYTE> a(size_t(width), fill), b = a;
        const zv::RowConverter convert = zv::GetRowConverter(24, target, false);
        convert(a.data(), src.data(), &g.bm.b, 0, width, 0, 0, wild.data(), nullptr);
        convert(b.data(), src.data(), &g.bm.b, 0, width, 0, 0, sane.data(), nullptr);
        ASSERT_EQ(a, b) << "trial " << trial;
        ASSERT_EQ(0, memcmp(wild.data(), sane.data(), wild.size() * sizeof(zv::ErrorEntry))) << "trial " << trial;
    }
}

// ---- expanders -----------------------------------------------------------------

// Reference expansion of one pixel into bytes (indices as one byte).
void RefExpand(const BitmapHandle &b, const BYTE *src, int x, int outBits, std::vector<int> &out) {
    const int bits = b.BitsPerPixel;
    if (bits <= 8) {
        int index = 0;
        for (int i = 0; i < bits; ++i)
            index = index << 1 | BitAt(src, long(x) * bits + i);
        out.push_back(index);
        return;
    }
    if (bits == 12 || (bits == 16 && b.Order == 2)) {
        const unsigned raw = bits == 12 ? Raw12(src, x) : unsigned(src[2 * x] | src[2 * x + 1] << 8);
        const bool lut = b.WindowLUT && b.WindowLUTLength;
        int n, s;
        UINT m;
        K_GetSignificantBits(bits, lut ? bits : 8, b.LowBit, b.HighBit, &n, &m, &s);
        if (lut) {
            const RGBQUAD q = b.WindowLUT[(raw >> s) & m];
            out.push_back(q.rgbBlue);
            if (outBits == 24) {
                out.push_back(q.rgbGreen);
                out.push_back(q.rgbRed);
            }
            return;
        }
        unsigned v = ((raw >> s) & 0xFF) & m;
        if (m < 255)
            v = v * 255 / m;
        for (int i = 0; i < outBits / 8; ++i)
            out.push_back(int(v));
        return;
    }
    if (bits == 16) {
        const unsigned w = src[2 * x] | src[2 * x + 1] << 8;
        for (int shift : {0, 5, 10}) {
            const unsigned c = w >> shift & 31;
            out.push_back(int(c << 3 | c >> 2));
        }
        return;
    }
    const BYTE *p = src + long(x) * (bits / 8);
    for (int i = 0; i < 3; ++i)
        out.push_back(bits == 32 ? p[i] : p[2 * i + 1]);
}

TEST(Expanders, MatchTheReference) {
    const int pairs[12][2] = {{2, 4},   {3, 4},   {5, 8},   {6, 8},   {7, 8},   {12, 24},
                              {12, 8},  {16, 24}, {16, 8},  {32, 24}, {48, 24}, {64, 24}};
    std::mt19937 rng(12);
    std::vector<zv::RowExpander> seen;
    for (const auto &pair : pairs) {
        const int bits = pair[0], outBits = pair[1];
        const zv::RowExpander expand = zv::GetRowExpander(bits, outBits);
        ASSERT_NE(expand, nullptr);
        EXPECT_EQ(std::find(seen.begin(), seen.end(), expand), seen.end());
        seen.push_back(expand);
        Bitmap bm;
        for (int trial = 0; trial < 80; ++trial) {
            SetUpSource(rng, bm, bits);
            if (outBits == 8 && bits >= 12)
                bm.b.Order = 2;
            if (bm.b.Order == 2 && bits == 16 && bm.b.WindowLUT == nullptr && trial % 2) {
                bm.b.LowBit = int(rng() % 16);
                bm.b.HighBit = bm.b.LowBit + int(rng() % (16 - bm.b.LowBit));
            }
            if (bits == 16 && bm.b.Order == 2 && !bm.b.WindowLUT && rng() % 2) {
                int n, s;
                UINT m;
                K_GetSignificantBits(16, 16, bm.b.LowBit, bm.b.HighBit, &n, &m, &s);
                bm.window.assign(size_t(m) + 1, RGBQUAD{});
                for (RGBQUAD &q : bm.window)
                    q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
                bm.b.WindowLUT = bm.window.data();
                bm.b.WindowLUTLength = UINT(bm.window.size());
            }
            const int width = 1 + int(rng() % 60);
            const int start = int(rng() % width), end = start + int(rng() % (width - start + 1));
            std::vector<BYTE> src(size_t(width) * 8 + 8);
            RandomBytes(rng, src);
            std::vector<int> want;
            for (int x = start; x < end; ++x)
                RefExpand(bm.b, src.data(), x, outBits, want);
            std::vector<BYTE> dst(size_t(width) * 3 + 8);
            RandomBytes(rng, dst);
            std::vector<BYTE> ref = dst;
            if (outBits == 4) {
                for (size_t k = 0; k < want.size(); ++k) {
                    const int shift = k % 2 ? 0 : 4;
                    ref[k / 2] = BYTE((ref[k / 2] & ~(0xF << shift)) | want[k] << shift);
                }
            } else {
                for (size_t k = 0; k < want.size(); ++k)
                    ref[k] = BYTE(want[k]);
            }
            expand(dst.data(), src.data(), &bm.b, start, end);
            ASSERT_EQ(dst, ref) << bits << " to " << outBits << " trial " << trial << " span " << start << ".."
                                << end;
        }
    }
}

TEST(Expanders, ChoiceByDepth) {
    int out = 0;
    EXPECT_EQ(zv::SelectRowExpander(2, false, &out), zv::GetRowExpander(2, 4));
    EXPECT_EQ(out, 4);
    EXPECT_EQ(zv::SelectRowExpander(3, true, &out), zv::GetRowExpander(3, 4));
    EXPECT_EQ(out, 4);
    for (int bits : {5, 6, 7}) {
        EXPECT_EQ(zv::SelectRowExpander(bits, false, &out), zv::GetRowExpander(bits, 8));
        EXPECT_EQ(out, 8);
    }
    for (int bits : {12, 16}) {
        EXPECT_EQ(zv::SelectRowExpander(bits, true, &out), zv::GetRowExpander(bits, 8));
        EXPECT_EQ(out, 8);
        EXPECT_EQ(zv::SelectRowExpander(bits, false, &out), zv::GetRowExpander(bits, 24));
        EXPECT_EQ(out, 24);
    }
    for (int bits : {48, 64}) {
        EXPECT_EQ(zv::SelectRowExpander(bits, false, &out), zv::GetRowExpander(bits, 24));
        EXPECT_EQ(out, 24);
    }
    for (int bits : {1, 4, 8, 9, 24, 32}) {
        EXPECT_EQ(zv::SelectRowExpander(bits, false, &out), zv::GetRowExpander(32, 24));
        EXPECT_EQ(out, 24);
    }
    EXPECT_EQ(zv::GetRowExpander(24, 24), nullptr);
    EXPECT_EQ(zv::GetRowExpander(4, 8), nullptr);
}

TEST(Expanders, WindowIndexBeyondTheTableIsClamped) {
    // A table shorter than the significant bits can reach: the last entry.
    BitmapHandle b{};
    b.BitsPerPixel = 16;
    b.Order = ORDER_GRAY;
    b.LowBit = 0;
    b.HighBit = 15;
    RGBQUAD table[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    b.WindowLUT = table;
    b.WindowLUTLength = 2;
    const BYTE src[4] = {0x00, 0x00, 0xFF, 0xFF};
    BYTE dst[6] = {};
    zv::GetRowExpander(16, 24)(dst, src, &b, 0, 2);
    EXPECT_EQ(dst[0], 1);
    EXPECT_EQ(dst[3], 4);
    EXPECT_EQ(dst[5], 6);
}

}  // namespace

namespace {

// The converters read the calling thread's display mode: two threads that
// convert at once with different palettes each get their own.
TEST(ConverterThreads, EachThreadUsesItsOwnMode) {
    static volatile LONG ready = 0;
    struct Job {
        UINT mode;
        int expect;
        int wrong = 0;
        static DWORD WINAPI Run(LPVOID p) {
            Job *job = static_cast<Job *>(p);
            Z_SetDisplayMode(0xFFFFFFFF, job->mode);
            // Both modes are set before either thread converts.
            InterlockedIncrement(&ready);
            while (ready < 2)
                Sleep(0);
            Gray24 g;
            std::vector<BYTE> src(3 * 64, 255), dst(64);
            std::vector<zv::ErrorEntry> err(64);
            for (int n = 0; n < 2000; ++n) {
                zv::SelectRowConverter(24, 8)(dst.data(), src.data(), &g.bm.b, 0, 64, 0, n, err.data(), nullptr);
                for (BYTE v : dst)
                    job->wrong += v != job->expect;
            }
            zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
            return 0;
        }
    };
    zvtest::LiveBlockCheck check;
    Job cube{DISP_CUBE_PALETTE, 215}, rgb332{DISP_ORDERED_DITHER, 255};
    HANDLE a = CreateThread(nullptr, 0, Job::Run, &cube, 0, nullptr);
    HANDLE b = CreateThread(nullptr, 0, Job::Run, &rgb332, 0, nullptr);
    ASSERT_TRUE(a && b);
    WaitForSingleObject(a, INFINITE);
    WaitForSingleObject(b, INFINITE);
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(cube.wrong, 0);
    EXPECT_EQ(rgb332.wrong, 0);
}

}  // namespace

// 1-bit diffusion decides white by comparing 2R + 5G + B with a bound when
// the paint table turns white from one luminance up, and by the table
// otherwise: step tables at every luminance, rising (a bound, including
// never and always white) and falling (the table), over full-width rows
// carrying their error from row to row.
TEST(ConverterCases, OneBitDiffusionAtEveryPaintTableStep) {
    Gray24 g;
    const zv::RowConverter convert = zv::GetRowConverter(24, 1, false);
    std::mt19937 rng(24001);
    const int width = 301;
    std::vector<BYTE> src(size_t(width) * 3);
    for (int step = 0; step <= 256; ++step)
        for (bool rising : {true, false}) {
            for (int i = 0; i < 256; ++i)
                g.bm.lut[i] = BYTE((i >= step) == rising ? 128 + rng() % 128 : rng() % 128);
            std::vector<int> refErr(3 * width, 0);
            std::vector<zv::ErrorEntry> err(width, zv::ErrorEntry{0, 0, 0});
            for (int row = 0; row < 3; ++row) {
                RandomBytes(rng, src);
                std::vector<BYTE> dst((width + 7) / 8, BYTE(rng())), ref = dst;
                convert(dst.data(), src.data(), &g.bm.b, 0, width, 0, row, err.data(), nullptr);
                RefConvert(ref.data(), src.data(), g.bm.b, 0, width, 0, row, refErr, nullptr, 1, false, 0);
                ASSERT_EQ(dst, ref) << "step " << step << (rising ? " rising" : " falling") << " row " << row;
                ASSERT_EQ(0, std::memcmp(err.data(), refErr.data(), refErr.size() * sizeof(int)))
                    << "step " << step << (rising ? " rising" : " falling") << " row " << row;
            }
        }
}
