// The paint palette on real device contexts: the screen at the Xvfb depth
// of the run (8: a palette device) and a metafile device (24 bits at any
// depth), and the bitmap's colours through its paint table.
#include "support.h"

#include "paint/fixed_palettes.h"
#include "paint/paint_palette.h"

#include <vector>

namespace {

using zvtest::HandMade;

// Whether pal holds exactly the n colours (or, with gray, the gray levels).
bool Holds(HPALETTE pal, const RGBQUAD *colors, size_t n, const BYTE *gray = nullptr) {
    std::vector<PALETTEENTRY> e(pal ? GetPaletteEntries(pal, 0, 0, nullptr) : 0);
    GetPaletteEntries(pal, 0, UINT(e.size()), e.data());
    bool same = e.size() == n;
    for (size_t i = 0; same && i < n; ++i)
        same = gray ? e[i].peRed == gray[i] && e[i].peGreen == gray[i] && e[i].peBlue == gray[i]
                    : e[i].peRed == colors[i].rgbRed && e[i].peGreen == colors[i].rgbGreen && e[i].peBlue == colors[i].rgbBlue;
    DeleteObject(pal);
    return same;
}

class PaintPalette : public testing::Test {
protected:
    void SetUp() override { saved_ = Z_SetDisplayMode(0xFFFFFFFF, DISP_DEFAULT_MODE); }
    void TearDown() override {
        Z_SetDisplayMode(0xFFFFFFFF, saved_);
        DeleteMetaFile(CloseMetaFile(wmf_));
        ReleaseDC(nullptr, screen_);
    }
    UINT saved_ = 0;
    HDC wmf_ = CreateMetaFileA(nullptr), screen_ = GetDC(nullptr);
    int screenBits_ = GetDeviceCaps(screen_, BITSPIXEL) * GetDeviceCaps(screen_, PLANES);
};

TEST_F(PaintPalette, TrueColourOnATrueColourDeviceNeedsNone) {
    HandMade b24(4, 4, 24, 0), b16(4, 4, 16, 0), gray8(4, 4, 8, 0, ORDER_GRAY);  // the last without a palette
    for (BitmapHandle *b : {&b24.bitmap, &b16.bitmap, &gray8.bitmap, static_cast<BitmapHandle *>(nullptr)})
        EXPECT_EQ(Z_CreatePaintPalette(wmf_, b), nullptr);
}

// Deep gray gets the gray palette through the paint table; on an 8-bit
// display deep colour gets the fixed palette unless library dithering is
// off (the fixed palettes themselves: PaintIndices).
TEST_F(PaintPalette, DitherAndDeepImagesOnTheDisplay) {
    HandMade gray(4, 4, 16, 0, ORDER_GRAY), colour(4, 4, 16, 0);
    Z_SetPaintIntensity(&gray.bitmap, 300);
    EXPECT_TRUE(Holds(Z_CreatePaintPalette(screen_, &gray.bitmap), nullptr, 256, gray.lut));
    if (screenBits_ != 8)
        return;
    EXPECT_TRUE(Holds(Z_CreatePaintPalette(screen_, &colour.bitmap), zv::Rgb332Palette.data(), 256));
    Z_SetDisplayMode(DISP_LIBRARY_DITHER, 0);
    EXPECT_EQ(Z_CreatePaintPalette(screen_, &colour.bitmap), nullptr);
    EXPECT_TRUE(Holds(Z_CreatePaintPalette(screen_, &gray.bitmap), nullptr, 256, gray.lut));
}

// Black and white scaled to gray: 256 grays through the paint table; a
// palette bitmap: its colours through the paint table, as the painters
// see them (reserved bytes untouched); fewer gray entries.
TEST_F(PaintPalette, ColoursThroughThePaintTable) {
    HandMade bw(4, 4, 1, 2), b8(4, 4, 8, 256), g8(4, 4, 8, 0, ORDER_GRAY);
    bw.palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    Z_SetPaintGamma(&bw.bitmap, 170);
    {
        Z_SetDisplayMode(DISP_SCALE_TO_GRAY, DISP_SCALE_TO_GRAY);
        EXPECT_TRUE(Holds(Z_CreatePaintPalette(wmf_, &bw.bitmap), nullptr, 256, bw.lut));
        EXPECT_NE(bw.lut[64], 64) << "the table is not the identity";
        Z_SetDisplayMode(DISP_SCALE_TO_GRAY, 0);
    }
    EXPECT_TRUE(Holds(Z_CreatePaintPalette(wmf_, &b8.bitmap), b8.palette.data(), 256)) << "the stored colours";
    ASSERT_EQ(Z_SetPaintIntensity(&b8.bitmap, 400), RC_SUCCESS);
    std::vector<RGBQUAD> bright = b8.palette;
    for (RGBQUAD &q : bright)
        q = RGBQUAD{b8.lut[q.rgbBlue], b8.lut[q.rgbGreen], b8.lut[q.rgbRed], q.rgbReserved};
    EXPECT_TRUE(Holds(Z_CreatePaintPalette(wmf_, &b8.bitmap), bright.data(), 256)) << "brightened through PaintLUT";
    std::vector<RGBQUAD> got(256);
    EXPECT_EQ(zv::GetPaintColors(&b8.bitmap, 10, 20, got.data()), 20);
    EXPECT_EQ(0, memcmp(got.data(), &bright[10], 20 * sizeof(RGBQUAD)));
    b8.bitmap.Flags &= ~BITMAP_PAINT_LUT;
    EXPECT_EQ(zv::GetPaintColors(&b8.bitmap, 250, 20, got.data()), 6);
    EXPECT_EQ(got[0].rgbBlue, b8.palette[250].rgbBlue);
    for (int i = 0; i < 256; ++i)
        g8.lut[i] = BYTE(255 - i);
    const BYTE levels[4] = {255, 255 - 85, 255 - 170, 0};
    EXPECT_TRUE(Holds(zv::CreateGrayPaintPalette(&g8.bitmap, 2), nullptr, 4, levels));
}

}  // namespace
