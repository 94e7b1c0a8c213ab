// The paint palette: the logical palette matching what the painters send
// for a bitmap to a device, and the bitmap's colours through its paint
// table.
#include "paint/paint_palette.h"

#include "frame/library.h"
#include "common/guards.h"
#include "paint/fixed_palettes.h"
#include "paint/paint_kind.h"

namespace zv {

namespace {

void ThroughPaintTable(const BYTE *lut, RGBQUAD *colors, int n) {
    for (int i = 0; i < n; ++i) {
        colors[i].rgbRed = lut[colors[i].rgbRed];
        colors[i].rgbGreen = lut[colors[i].rgbGreen];
        colors[i].rgbBlue = lut[colors[i].rgbBlue];
    }
}

}  // namespace

int GetPaintColors(BitmapHandle *pBitmap, int nFirst, int nCount, RGBQUAD *pColors) {
    const int n = K_GetBitmapColors(pBitmap, nFirst, nCount, pColors);
    if (n > 0 && (pBitmap->Flags & BITMAP_PAINT_LUT) && pBitmap->PaintLUT)
        ThroughPaintTable(pBitmap->PaintLUT, pColors, n);
    return n;
}

HPALETTE CreateGrayPaintPalette(BitmapHandle *pBitmap, int nBits) {
    if (nBits < 0 || nBits > 8)
        return nullptr;  // a logical palette holds at most 256 entries
    const int n = nBits == 0 ? 256 : 1 << nBits;
    KPtr<RGBQUAD> table = KAlloc<RGBQUAD>(n);
    if (!table)
        return nullptr;
    for (int i = 0; i < n; ++i) {
        const int at = n > 1 ? i * 255 / (n - 1) : 0;
        const BYTE g = pBitmap->PaintLUT ? pBitmap->PaintLUT[at] : static_cast<BYTE>(at);
        table.get()[i] = RGBQUAD{g, g, g, 0};
    }
    return K_CreatePaletteFromColors(table.get(), n);
}

}  // namespace zv

extern "C" HPALETTE __stdcall Z_CreatePaintPalette(HDC hDC, BitmapHandle *pBitmap) {
    const UINT mode = zv::GetPaintSettings()->DisplayMode;
    if (!pBitmap)
        return nullptr;
    int deviceBits = 0, kind = zv::PAINT_AS_IS;
    zv::ChoosePainterKind(hDC, pBitmap, &deviceBits, &kind);
    if (kind == zv::PAINT_DITHER) {
        if ((mode & DISP_CUBE_PALETTE) && deviceBits == 8)
            return K_CreatePaletteFromColors(zv::CubePalette.data(), 256);
        return K_CreateFixedPalette(deviceBits);
    }
    if (kind == zv::PAINT_GRAY || kind == zv::PAINT_GRAY_INVERTED)
        return zv::CreateGrayPaintPalette(pBitmap, 8);
    if (pBitmap->BitsPerPixel >= 9)
        return zv::IsGrayImage(pBitmap) ? zv::CreateGrayPaintPalette(pBitmap, 8) : nullptr;
    if (!pBitmap->Palette)
        return nullptr;
    if (!(pBitmap->Flags & BITMAP_PAINT_LUT))
        return K_CreatePaletteFromBitmap(pBitmap);
    zv::KPtr<RGBQUAD> table = zv::KAlloc<RGBQUAD>(256);
    if (!table)
        return nullptr;
    const int n = K_GetBitmapColors(pBitmap, 0, 256, table.get());
    if (pBitmap->PaintLUT && n > 0)
        zv::ThroughPaintTable(pBitmap->PaintLUT, table.get(), n);
    return K_CreatePaletteFromColors(table.get(), n);
}
