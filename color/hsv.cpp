// Z_RGBtoHSV and Z_HSVtoRGB: the 8-bit routines of hsv.h on packed values.
#include "color/hsv.h"

extern "C" {

HsvColor __stdcall Z_RGBtoHSV(COLORREF crColor) {
    return zv::RgbToHsv8(GetRValue(crColor), GetGValue(crColor), GetBValue(crColor)) | (crColor & 0xFF000000u);
}

COLORREF __stdcall Z_HSVtoRGB(HsvColor hsv) {
    return zv::HsvToRgb8(hsv & 0xFF, (hsv >> 8) & 0xFF, (hsv >> 16) & 0xFF);
}

}  // extern "C"
