// RGB and HSV with 8 bits per component: the one pair of routines behind
// Z_RGBtoHSV / Z_HSVtoRGB, the 8-bit HSV format of Z_ConvertColorSpace and
// the HSV colour-range regions, so that all of them agree to the last unit.
//
// The hue is not the six-sector hexcone hue.  The circle is cut in three
// thirds, each starting at a primary (red 0, green 85.3, blue 170.7 of 256);
// within a third the hue is how far the middle component's excess over the
// minimum goes in the sum of the two larger components' excesses:
//
//     hue = third x 256/3 + 256/3 x mid' / (max' + mid'),  ' = excess over min
//
// computed in units of 1/360 of a degree-third (30720 = 256/3 x 360) with
// 180 added to round.  HsvToRgb8 inverts the same ratio on a 0..358 degree
// scale, so a conversion there and back returns the colour within rounding.
// Every division truncates toward zero; nothing is validated.
#pragma once

#include "zvdisp.h"

namespace zv {

// Components 0..255 packed as HsvColor: hue bits 0-7, saturation 8-15,
// value 16-23, bits 24-31 zero.  A hue that rounds up to 256 (a colour a
// hair short of the end of the blue-to-red third) wraps to 0: both are red.
inline HsvColor RgbToHsv8(int red, int green, int blue) {
    const int mn = red < green ? (red < blue ? red : blue) : (green < blue ? green : blue);
    const int mx = red > green ? (red > blue ? red : blue) : (green > blue ? green : blue);
    if (mx == mn)
        return static_cast<HsvColor>(mx & 0xFF) << 16;
    int hue;
    if (blue == mn)
        hue = ((green - mn) * 30720 / ((red - mn) + (green - mn)) + 180) / 360;
    else if (red == mn)
        hue = ((blue - mn) * 30720 / ((green - mn) + (blue - mn)) + 30900) / 360;
    else
        hue = ((red - mn) * 30720 / ((blue - mn) + (red - mn)) + 61620) / 360;
    const int saturation = (mx - mn) * 255 / mx;
    return static_cast<HsvColor>((hue & 0xFF) | (saturation & 0xFF) << 8 | (mx & 0xFF) << 16);
}

// Hue, saturation and value 0..255 to a COLORREF (bits 24-31 zero); each
// component keeps its low 8 bits.
inline COLORREF HsvToRgb8(int hue, int saturation, int value) {
    const int h = (hue * 360) >> 8;  // degrees, 0..358
    int r, g, b;
    if (saturation == 0) {
        r = g = b = value;
    } else {
        const int p = (255 - saturation) * value / 255;
        const int d = value - p;
        if (h <= 60)
            r = value, g = p + d * h / (120 - h), b = p;
        else if (h <= 120)
            r = p + d * (120 - h) / h, g = value, b = p;
        else if (h <= 180)
            r = p, g = value, b = p + d * (h - 120) / (240 - h);
        else if (h <= 240)
            r = p, g = p + d * (240 - h) / (h - 120), b = value;
        else if (h <= 300)
            r = p + d * (h - 240) / (360 - h), g = p, b = value;
        else
            r = value, g = p, b = p + d * (360 - h) / (h - 240);
    }
    return static_cast<COLORREF>((r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16);
}

}  // namespace zv
