// Z_RGBtoHSV / Z_HSVtoRGB: the worked values, and every 8-bit input of
// both directions against a literal transcription of the rules.
#include "color/hsv.h"
#include "support.h"

#include <algorithm>

namespace {

// The rules as written, one step per line, kept apart from color/hsv.h.
DWORD ModelRgbToHsv(int R, int G, int B) {
    const int mn = std::min({R, G, B}), mx = std::max({R, G, B});
    int hue = 0, sat = 0;
    if (mx != mn) {
        if (B == mn)
            hue = ((G - mn) * 30720 / ((R - mn) + (G - mn)) + 180) / 360;
        else if (R == mn)
            hue = ((B - mn) * 30720 / ((G - mn) + (B - mn)) + 30900) / 360;
        else
            hue = ((R - mn) * 30720 / ((B - mn) + (R - mn)) + 61620) / 360;
        sat = (mx - mn) * 255 / mx;
    }
    return DWORD(hue % 256) | DWORD(sat) << 8 | DWORD(mx) << 16;
}

COLORREF ModelHsvToRgb(int hue, int sat, int val) {
    const int h = (hue * 360) >> 8;
    int R = val, G = val, B = val;
    if (sat != 0) {
        const int p = (255 - sat) * val / 255, d = val - p;
        if (h >= 0 && h <= 60) {
            R = val; G = p + d * h / (120 - h); B = p;
        } else if (h >= 61 && h <= 120) {
            R = p + d * (120 - h) / h; G = val; B = p;
        } else if (h >= 121 && h <= 180) {
            R = p; G = val; B = p + d * (h - 120) / (240 - h);
        } else if (h >= 181 && h <= 240) {
            R = p; G = p + d * (240 - h) / (h - 120); B = val;
        } else if (h >= 241 && h <= 300) {
            R = p + d * (h - 240) / (360 - h); G = p; B = val;
        } else {
            R = val; G = p; B = p + d * (360 - h) / (h - 240);
        }
    }
    return RGB(R & 0xFF, G & 0xFF, B & 0xFF);
}

DWORD Hsv(int h, int s, int v) { return DWORD(h) | DWORD(s) << 8 | DWORD(v) << 16; }

TEST(ColourHsv, WorkedValues) {
    struct Case {
        int r, g, b, h, s, v, r2, g2, b2;
    } const cases[] = {
        {255, 0, 0, 0, 255, 255, 255, 0, 0},       {255, 255, 0, 43, 255, 255, 255, 255, 0},
        {0, 255, 0, 85, 255, 255, 2, 255, 0},      {0, 255, 255, 128, 255, 255, 0, 255, 255},
        {0, 0, 255, 171, 255, 255, 0, 0, 255},     {255, 0, 255, 213, 255, 255, 246, 0, 255},
        {255, 128, 0, 29, 255, 255, 255, 127, 0},  {10, 20, 30, 142, 170, 30, 10, 20, 30},
        {128, 128, 128, 0, 0, 128, 128, 128, 128},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.r << "," << c.g << "," << c.b);
        EXPECT_EQ(Z_RGBtoHSV(RGB(c.r, c.g, c.b)), Hsv(c.h, c.s, c.v));
        EXPECT_EQ(Z_HSVtoRGB(Hsv(c.h, c.s, c.v)), RGB(c.r2, c.g2, c.b2));
    }
    EXPECT_EQ(Z_HSVtoRGB(Hsv(255, 255, 255)), RGB(255, 0, 4));
    EXPECT_EQ(Z_RGBtoHSV(RGB(0, 0, 0)), 0u);
    EXPECT_EQ(Z_RGBtoHSV(RGB(255, 255, 255)), Hsv(0, 0, 255));
    EXPECT_EQ(Z_RGBtoHSV(0x12FF0000u), 0x12FFFFABu) << "the high byte is carried";
    EXPECT_EQ(Z_HSVtoRGB(0xFF000000u | Hsv(0, 255, 255)), RGB(255, 0, 0)) << "the high byte is ignored";
}

// All 2^24 inputs of each direction (about a second).
TEST(ColourHsv, EveryColourMatchesTheRules) {
    int wrong = 0;
    for (DWORD c = 0; c < 0x1000000u && wrong < 5; ++c) {
        const int a = c & 0xFF, b = (c >> 8) & 0xFF, d = c >> 16;
        const DWORD hsv = Z_RGBtoHSV(c);
        const COLORREF rgb = Z_HSVtoRGB(c);
        if (hsv != ModelRgbToHsv(a, b, d) || hsv != zv::RgbToHsv8(a, b, d)) {
            ++wrong;
            ADD_FAILURE() << "RGB " << std::hex << c << " gives " << hsv << ", the rules " << ModelRgbToHsv(a, b, d);
        }
        if (rgb != ModelHsvToRgb(a, b, d) || rgb != zv::HsvToRgb8(a, b, d)) {
            ++wrong;
            ADD_FAILURE() << "HSV " << std::hex << c << " gives " << rgb << ", the rules " << ModelHsvToRgb(a, b, d);
        }
    }
}

}  // namespace
