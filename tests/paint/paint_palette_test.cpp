// The paint palette on real device contexts: the screen at the Xvfb depth
// of the run (8: a palette device) and a metafile device (24 bits at any
// depth), and the bitmap's colours through its paint table.
#include "support.h"

#include "paint/fixed_palettes.h"
#include "paint/paint_palette.h"

#include <vector>

namespace {

struct Bitmap {
    BitmapHandle b{};
    BYTE lut[256];
    std::vector<RGBQUAD> palette;
    Bitmap(int bits, int order, int colors = 0) {
        for (int i = 0; i < 256; ++i)
            lut[i] = BYTE(i);
        b.Flags = BITMAP_ALLOCATED;
        b.BitsPerPixel = bits;
        b.Order = order;
        b.PaintLUT = lut;
        b.PaintGamma = 100;
        b.HighBit = bits - 1;
        for (int i = 0; i < colors; ++i)
            palette.push_back(RGBQUAD{BYTE(i * 3), BYTE(i), BYTE(255 - i), BYTE(i)});
        b.Palette = colors ? palette.data() : nullptr;
        b.ColorCount = colors;
    }
};

std::vector<PALETTEENTRY> Entries(HPALETTE pal) {
    std::vector<PALETTEENTRY> e(GetPaletteEntries(pal, 0, 0, nullptr));
    GetPaletteEntries(pal, 0, UINT(e.size()), e.data());
    return e;
}

bool Matches(const std::vector<PALETTEENTRY> &e, const RGBQUAD *colors, size_t n) {
    if (e.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (e[i].peRed != colors[i].rgbRed || e[i].peGreen != colors[i].rgbGreen || e[i].peBlue != colors[i].rgbBlue)
            return false;
    return true;
}

// A device context of the screen and the device class it reports.
struct Screen {
    HDC dc = GetDC(nullptr);
    int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ~Screen() { ReleaseDC(nullptr, dc); }
};

struct Metafile {
    HDC dc = CreateMetaFileA(nullptr);
    ~Metafile() { DeleteMetaFile(CloseMetaFile(dc)); }
};

class PaintPalette : public testing::Test {
protected:
    void SetUp() override { saved_ = Z_SetDisplayMode(0xFFFFFFFF, DISP_DEFAULT_MODE); }
    void TearDown() override { Z_SetDisplayMode(0xFFFFFFFF, saved_); }
    UINT saved_ = 0;
};

TEST_F(PaintPalette, TrueColourOnATrueColourDeviceNeedsNone) {
    Metafile wmf;
    Bitmap b24(24, ORDER_BGR), b16(16, ORDER_BGR);
    EXPECT_EQ(Z_CreatePaintPalette(wmf.dc, &b24.b), nullptr);
    EXPECT_EQ(Z_CreatePaintPalette(wmf.dc, &b16.b), nullptr);
    EXPECT_EQ(Z_CreatePaintPalette(wmf.dc, nullptr), nullptr);
    Bitmap gray8(8, ORDER_GRAY);  // no palette
    EXPECT_EQ(Z_CreatePaintPalette(wmf.dc, &gray8.b), nullptr);
}

TEST_F(PaintPalette, DitherOnAnEightBitDisplay) {
    Screen screen;
    if (screen.bits != 8)
        GTEST_SKIP() << "needs the depth-8 display (runs as @8)";
    Bitmap b24(24, ORDER_BGR);
    HPALETTE pal = Z_CreatePaintPalette(screen.dc, &b24.b);
    ASSERT_NE(pal, nullptr);
    EXPECT_TRUE(Matches(Entries(pal), zv::Rgb332Palette.data(), 256)) << "the kernel's fixed 8-bit palette";
    DeleteObject(pal);
    Z_SetDisplayMode(DISP_CUBE_PALETTE, DISP_CUBE_PALETTE);
    pal = Z_CreatePaintPalette(screen.dc, &b24.b);
    ASSERT_NE(pal, nullptr);
    const std::vector<PALETTEENTRY> e = Entries(pal);
    EXPECT_TRUE(Matches(e, zv::CubePalette.data(), 256));
    for (int i = 216; i < 256; ++i)
        EXPECT_EQ(e[i].peRed | e[i].peGreen | e[i].peBlue, 0) << "entry " << i;
    EXPECT_EQ(e[215].peRed & e[215].peGreen & e[215].peBlue, 255);
    DeleteObject(pal);
}

TEST_F(PaintPalette, DeepGrayGetsTheGrayPalette) {
    Screen screen;
    Bitmap gray(16, ORDER_GRAY), colour(16, ORDER_BGR);
    Z_SetPaintIntensity(&gray.b, 300);
    HPALETTE pal = Z_CreatePaintPalette(screen.dc, &gray.b);
    ASSERT_NE(pal, nullptr);
    const std::vector<PALETTEENTRY> e = Entries(pal);
    ASSERT_EQ(e.size(), 256u);
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(e[i].peRed == gray.lut[i] && e[i].peGreen == gray.lut[i] && e[i].peBlue == gray.lut[i]);
    DeleteObject(pal);
    if (screen.bits != 8)
        return;
    // Deep colour on a palette device is reduced by the library (kind 2,
    // the fixed palette) unless library dithering is off: then nothing.
    pal = Z_CreatePaintPalette(screen.dc, &colour.b);
    ASSERT_NE(pal, nullptr);
    EXPECT_TRUE(Matches(Entries(pal), zv::Rgb332Palette.data(), 256));
    DeleteObject(pal);
    Z_SetDisplayMode(DISP_LIBRARY_DITHER, 0);
    EXPECT_EQ(Z_CreatePaintPalette(screen.dc, &colour.b), nullptr);
    pal = Z_CreatePaintPalette(screen.dc, &gray.b);
    EXPECT_EQ(Entries(pal).size(), 256u);
    DeleteObject(pal);
}

TEST_F(PaintPalette, BlackAndWhiteScaledToGrayFollowsThePaintTable) {
    Metafile wmf;
    Bitmap bw(1, ORDER_BGR);
    bw.palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    bw.b.Palette = bw.palette.data();
    bw.b.ColorCount = 2;
    Z_SetPaintGamma(&bw.b, 170);
    Z_SetDisplayMode(DISP_SCALE_TO_GRAY, DISP_SCALE_TO_GRAY);
    HPALETTE pal = Z_CreatePaintPalette(wmf.dc, &bw.b);
    ASSERT_NE(pal, nullptr);
    const std::vector<PALETTEENTRY> e = Entries(pal);
    ASSERT_EQ(e.size(), 256u);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(e[i].peGreen, bw.lut[i]);
    EXPECT_NE(e[64].peRed, 64) << "the table is not the identity";
    DeleteObject(pal);
}

TEST_F(PaintPalette, PaletteBitmapsThroughThePaintTable) {
    Metafile wmf;
    Bitmap b8(8, ORDER_BGR, 256);
    HPALETTE pal = Z_CreatePaintPalette(wmf.dc, &b8.b);
    ASSERT_NE(pal, nullptr);
    EXPECT_TRUE(Matches(Entries(pal), b8.palette.data(), 256)) << "the stored colours";
    DeleteObject(pal);
    ASSERT_EQ(Z_SetPaintIntensity(&b8.b, 400), RC_SUCCESS);
    pal = Z_CreatePaintPalette(wmf.dc, &b8.b);
    ASSERT_NE(pal, nullptr);
    std::vector<RGBQUAD> bright = b8.palette;
    for (RGBQUAD &q : bright)
        q = RGBQUAD{b8.lut[q.rgbBlue], b8.lut[q.rgbGreen], b8.lut[q.rgbRed], 0};
    EXPECT_TRUE(Matches(Entries(pal), bright.data(), 256)) << "brightened through PaintLUT";
    EXPECT_FALSE(Matches(Entries(pal), b8.palette.data(), 256));
    DeleteObject(pal);

    // The painters' view of the same colours; reserved bytes untouched.
    std::vector<RGBQUAD> got(256);
    EXPECT_EQ(zv::GetPaintColors(&b8.b, 10, 20, got.data()), 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(got[i].rgbRed, bright[10 + i].rgbRed);
        EXPECT_EQ(got[i].rgbReserved, b8.palette[10 + i].rgbReserved);
    }
    b8.b.Flags &= ~BITMAP_PAINT_LUT;
    EXPECT_EQ(zv::GetPaintColors(&b8.b, 250, 20, got.data()), 6);
    EXPECT_EQ(got[0].rgbBlue, b8.palette[250].rgbBlue);
}

TEST_F(PaintPalette, GrayPaletteOfFewerEntries) {
    Bitmap b(8, ORDER_GRAY);
    for (int i = 0; i < 256; ++i)
        b.lut[i] = BYTE(255 - i);
    HPALETTE pal = zv::CreateGrayPaintPalette(&b.b, 2);
    ASSERT_NE(pal, nullptr);
    const std::vector<PALETTEENTRY> e = Entries(pal);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].peRed, 255);
    EXPECT_EQ(e[1].peRed, 255 - 85);
    EXPECT_EQ(e[3].peBlue, 0);
    DeleteObject(pal);
}

TEST_F(PaintPalette, AllocationFailuresGiveNull) {
    Metafile wmf;
    Bitmap b8(8, ORDER_BGR, 256), gray(12, ORDER_GRAY);
    ASSERT_EQ(Z_SetPaintIntensity(&b8.b, 100), RC_SUCCESS);
    for (BitmapHandle *b : {&b8.b, &gray.b}) {
        const int runs = zvtest::SweepAllocationFailures(
            [&] {
                HPALETTE pal = Z_CreatePaintPalette(wmf.dc, b);
                const int made = pal != nullptr;
                DeleteObject(pal);
                return made;
            },
            [](int made) { EXPECT_EQ(made, 0); }, [](int made) { EXPECT_EQ(made, 1); });
        EXPECT_EQ(runs, 1) << "one table allocated";
    }
}

}  // namespace
