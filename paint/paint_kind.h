// How a bitmap's pixels go to a device: the device class and the paint
// kind.  The decision itself is a pure function of (bitmap, device bits,
// display mode) so that it can be driven without a device.
#pragma once

#include "zvtypes.h"

namespace zv {

enum PaintKind {
    PAINT_AS_IS = 0,          // strip keeps the bitmap's depth; GDI maps colours
    PAINT_EXPAND = 1,         // expanded to 4, 8 or 24 bits by a RowExpander
    PAINT_DITHER = 2,         // reduced by a RowConverter to min(DeviceBits, 8)
    PAINT_GRAY = 3,           // 1-bit black and white painted as 8-bit gray
    PAINT_GRAY_INVERTED = 4,  // as 3, data inverted first
    PAINT_MONO = 5,           // 1-bit black and white through the 1-bit painter
    PAINT_MONO_INVERTED = 6,  // as 5, data inverted
};

// The device class, 1, 4, 8 or 24, from the device's capabilities: 24 for
// a metafile device (TECHNOLOGY DT_METAFILE), otherwise by PLANES x
// BITSPIXEL: < 4 -> 1, < 8 -> 4, < 16 -> 8, else 24.
int DeviceBitsFromCaps(int nTechnology, int nPlanes, int nBitsPixel);
// The device class of hDC.  The defined question is PLANES x BITSPIXEL,
// but under Wine BITSPIXEL of a display DC asks the display settings
// (wineserver round trips: 75 microseconds on a quiet machine, several
// hundred under load).  Display DCs (window, screen and memory DCs of
// DT_RASDISPLAY) are therefore asked whether they have a palette: a
// one-plane palette device of 256 entries is 8 bits, one without a
// palette is true colour; every other device is asked as defined.  The
// answer is read afresh on every call, so it follows the selected bitmap
// and the display mode; docs/DESIGN.md "Painter speed" says where the two
// questions could differ.
int DeviceBitsOf(HDC hDC);

// The gray test for data deeper than 8 bits: Order 2 and either no
// WindowLUT or a window-level view that the kernel's gray test accepts.
// Flags, WindowLowBit and WindowHighBit change for the moment of the test
// and are restored.
bool IsGrayImage(BitmapHandle *pBitmap);

// The decision table by BitsPerPixel for a device class and display mode.
PaintKind ChoosePaintKind(BitmapHandle *pBitmap, int nDeviceBits, UINT uDisplayMode);

// Writes *pDeviceBits and *pKind (when pKind is not null) for the calling
// thread's display mode; writes nothing when pBitmap or pDeviceBits is null.
void ChoosePainterKind(HDC hDC, BitmapHandle *pBitmap, int *pDeviceBits, int *pKind);

// hDC's TECHNOLOGY (cheap under Wine, unlike BITSPIXEL).
int DeviceTechnology(HDC hDC);

}  // namespace zv
