// The device class and the paint kind: how a bitmap's pixels must be
// prepared for a device.
#include "paint/paint_kind.h"

#include "frame/library.h"
#include "paint/fixed_palettes.h"

namespace zv {

int DeviceBitsFromCaps(int nTechnology, int nPlanes, int nBitsPixel) {
    if (nTechnology == DT_METAFILE)
        return 24;
    const int n = nPlanes * nBitsPixel;
    return n < 4 ? 1 : n < 8 ? 4 : n < 16 ? 8 : 24;
}

int DeviceBitsOf(HDC hDC) {
    const int technology = GetDeviceCaps(hDC, TECHNOLOGY);
    if (technology == DT_METAFILE)
        return DeviceBitsFromCaps(technology, 0, 0);
    const int planes = GetDeviceCaps(hDC, PLANES);
    const DWORD type = GetObjectType(hDC);
    // An enhanced-metafile DC reports DT_RASDISPLAY too, but answers from
    // its reference device's recorded capabilities (cheaply).
    if (technology == DT_RASDISPLAY && planes == 1 && (type == OBJ_DC || type == OBJ_MEMDC)) {
        if (!(GetDeviceCaps(hDC, RASTERCAPS) & RC_PALETTE))
            return 24;
        if (GetDeviceCaps(hDC, SIZEPALETTE) == 256)
            return 8;
    }
    return DeviceBitsFromCaps(technology, planes, GetDeviceCaps(hDC, BITSPIXEL));
}

int DeviceTechnology(HDC hDC) { return GetDeviceCaps(hDC, TECHNOLOGY); }

bool IsGrayImage(BitmapHandle *pBitmap) {
    if (pBitmap->Order != ORDER_GRAY)
        return false;
    if (!pBitmap->WindowLUT)
        return true;
    if (pBitmap->Flags & BITMAP_WINDOW_LEVEL)
        return K_IsGrayScale(pBitmap) != 0;
    const int savedLow = pBitmap->WindowLowBit, savedHigh = pBitmap->WindowHighBit;
    pBitmap->WindowLowBit = pBitmap->LowBit;
    pBitmap->WindowHighBit = pBitmap->HighBit;
    pBitmap->Flags |= BITMAP_WINDOW_LEVEL;
    const bool gray = K_IsGrayScale(pBitmap) != 0;
    pBitmap->Flags &= ~BITMAP_WINDOW_LEVEL;
    pBitmap->WindowLowBit = savedLow;
    pBitmap->WindowHighBit = savedHigh;
    return gray;
}

namespace {

// A 1-bit bitmap scaled by the gray or the 1-bit painters: black and
// white by the kernel's gray test, otherwise treated as 1-bit colour.
PaintKind OneBitKind(BitmapHandle *b, PaintKind ascending, UINT mode) {
    switch (K_IsGrayScale(b)) {
    case 1: return ascending;
    case 2: return static_cast<PaintKind>(ascending + 1);
    default:
        return (mode & DISP_LIBRARY_DITHER) && (mode & DISP_DITHER_8BIT) ? PAINT_DITHER : PAINT_AS_IS;
    }
}

}  // namespace

PaintKind ChoosePaintKind(BitmapHandle *pBitmap, int nDeviceBits, UINT uDisplayMode) {
    const UINT mode = uDisplayMode;
    const bool library = (mode & DISP_LIBRARY_DITHER) != 0;
    const bool dither8 = (mode & DISP_DITHER_8BIT) != 0;
    const int dev = nDeviceBits;
    switch (pBitmap->BitsPerPixel) {
    case 1:
        if ((mode & DISP_SCALE_TO_GRAY) && dev > 1)
            return OneBitKind(pBitmap, PAINT_GRAY, mode);
        if (mode & DISP_SCALE_BITONAL)
            return OneBitKind(pBitmap, PAINT_MONO, mode);
        return library && dither8 && dev == 8 ? PAINT_DITHER : PAINT_AS_IS;
    case 2: case 3: case 5: case 6: case 7:
        return library && (dither8 ? dev <= 8 : dev < 8) ? PAINT_DITHER : PAINT_EXPAND;
    case 4:
        if (!library)
            return PAINT_AS_IS;
        switch (dev) {
        case 1: return PAINT_DITHER;
        case 4: return K_ComparePalette(pBitmap, Vga16Palette.data(), 16) ? PAINT_AS_IS : PAINT_DITHER;
        case 8: return dither8 ? PAINT_DITHER : PAINT_AS_IS;
        default: return PAINT_AS_IS;
        }
    case 8:
        if (!library)
            return PAINT_AS_IS;
        if (dev < 8)
            return PAINT_DITHER;
        if (dev == 8 && dither8)
            return K_ComparePalette(pBitmap, Rgb332Palette.data(), 256) ? PAINT_AS_IS : PAINT_DITHER;
        return PAINT_AS_IS;
    case 12: case 16:
        if (!library)
            return PAINT_EXPAND;
        if (IsGrayImage(pBitmap))
            return dev < 8 || (dev == 8 && dither8) ? PAINT_DITHER : PAINT_EXPAND;
        return dev <= 8 ? PAINT_DITHER : PAINT_EXPAND;
    case 24:
        if (library && dev <= 8)
            return PAINT_DITHER;
        return pBitmap->Order == ORDER_BGR_CONVERT ? PAINT_EXPAND : PAINT_AS_IS;
    case 32: case 48: case 64:
        return library && dev <= 8 ? PAINT_DITHER : PAINT_EXPAND;
    default:
        return PAINT_AS_IS;
    }
}

void ChoosePainterKind(HDC hDC, BitmapHandle *pBitmap, int *pDeviceBits, int *pKind) {
    const UINT mode = GetPaintSettings()->DisplayMode;
    if (!pBitmap || !pDeviceBits)
        return;
    const int deviceBits = DeviceBitsOf(hDC);
    *pDeviceBits = deviceBits;
    if (!pKind)
        return;
    *pKind = ChoosePaintKind(pBitmap, deviceBits, mode);
}

}  // namespace zv
