// Paint intensity, contrast and gamma, and the paint table built from them.
//
// The table is built in three steps whose order matters:
//   1. contrast base curve.  For c > 0 the inputs lo..hi are stretched
//      over 0..255 (below lo black, from hi on white); for c < 0 the whole
//      input range is squeezed into lo..hi.  lo grows linearly with |c|
//      (MulDiv(|c|, 128, 4000): 32 at 1000) and the upper cut k = 256 - hi
//      as 5.34 x 1.5^log2(0.128 |c|), i.e. as |c|^0.585, so the curve is
//      deliberately not symmetric;
//   2. intensity offset b = (I x 255 + 500) / 1000, truncated toward zero;
//   3. gamma, out = trunc((in / 255)^(100 / gamma) x 255 + 0.5).
// MulDiv is the platform's: products in 64 bits, halves away from zero.
#include "paint/paint_lut.h"

#include "frame/library.h"

#include <algorithm>
#include <cmath>

namespace zv {

namespace {

int Clamp255(int v) { return std::min(std::max(v, 0), 255); }

void ContrastBase(int contrast, BYTE t[256]) {
    if (contrast == 0) {
        for (int i = 0; i < 256; ++i)
            t[i] = static_cast<BYTE>(i);
        return;
    }
    const int a = contrast < 0 ? -contrast : contrast;
    const int lo = MulDiv(a, 128, 4000);
    const int k = static_cast<int>(5.34 * std::pow(1.5, std::log2(0.128 * a)));
    const int hi = 256 - k;
    for (int i = 0; i < 256; ++i) {
        if (contrast > 0)
            t[i] = static_cast<BYTE>(i < lo ? 0 : i >= hi ? 255 : Clamp255(MulDiv(i - lo, 256, hi - lo)));
        else
            t[i] = static_cast<BYTE>(lo + Clamp255(MulDiv(i, hi - lo, 256)));  // low 8 bits of the sum
    }
}

}  // namespace

bool BuildPaintTable(int nIntensity, int nContrast, UINT uGamma, BYTE table[256]) {
    const double g = 100.0 / static_cast<double>(uGamma ? uGamma : 100);
    const int b = (nIntensity * 255 + 500) / 1000;
    ContrastBase(nContrast, table);
    bool differs = false;
    for (int i = 0; i < 256; ++i) {
        const int v = Clamp255(table[i] + b);
        table[i] = static_cast<BYTE>(std::trunc(std::pow(v / 255.0, g) * 255.0 + 0.5));
        differs = differs || table[i] != i;
    }
    return differs;
}

void RebuildPaintLUT(BitmapHandle *pBitmap) {
    if (!pBitmap->PaintLUT)
        return;
    if (BuildPaintTable(pBitmap->PaintIntensity, pBitmap->PaintContrast, pBitmap->PaintGamma, pBitmap->PaintLUT))
        pBitmap->Flags |= BITMAP_PAINT_LUT;
    else
        pBitmap->Flags &= ~BITMAP_PAINT_LUT;
}

}  // namespace zv

namespace {

bool Allocated(const BitmapHandle *b) { return b && (b->Flags & BITMAP_ALLOCATED); }

// Intensity and contrast share their checks and the rebuild.
int SetSigned(BitmapHandle *pBitmap, int32_t BitmapHandle::*field, int value) {
    zv::GetPaintSettings();
    if (!Allocated(pBitmap))
        return RC_NO_BITMAP;
    if (value < -1000 || value > 1000)
        return RC_INVALID_PARAMETER;
    if (pBitmap->*field != value) {
        pBitmap->*field = value;
        zv::RebuildPaintLUT(pBitmap);
    }
    return RC_SUCCESS;
}

}  // namespace

extern "C" {

int __stdcall Z_SetPaintIntensity(BitmapHandle *pBitmap, int nValue) {
    return SetSigned(pBitmap, &BitmapHandle::PaintIntensity, nValue);
}

int __stdcall Z_SetPaintContrast(BitmapHandle *pBitmap, int nValue) {
    return SetSigned(pBitmap, &BitmapHandle::PaintContrast, nValue);
}

int __stdcall Z_SetPaintGamma(BitmapHandle *pBitmap, UINT uValue) {
    zv::GetPaintSettings();
    if (!Allocated(pBitmap))
        return RC_NO_BITMAP;
    if (uValue == 0)
        return RC_INVALID_PARAMETER;
    if (pBitmap->PaintGamma != uValue) {
        pBitmap->PaintGamma = uValue;
        zv::RebuildPaintLUT(pBitmap);
    }
    return RC_SUCCESS;
}

int __stdcall Z_GetPaintIntensity(BitmapHandle *pBitmap) {
    zv::GetPaintSettings();
    return pBitmap ? pBitmap->PaintIntensity : RC_INVALID_PARAMETER;
}

int __stdcall Z_GetPaintContrast(BitmapHandle *pBitmap) {
    zv::GetPaintSettings();
    return pBitmap ? pBitmap->PaintContrast : RC_INVALID_PARAMETER;
}

int __stdcall Z_GetPaintGamma(BitmapHandle *pBitmap) {
    zv::GetPaintSettings();
    return pBitmap ? static_cast<int>(pBitmap->PaintGamma) : RC_INVALID_PARAMETER;
}

}  // extern "C"
