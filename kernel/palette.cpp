// Palettes: entries, the gray test, comparison and GDI palettes.
#include "kernel/kernel_internal.h"
#include "common/zvpalettes.h"

#include <cstdlib>

using namespace zv::kern;

namespace {

// Entries of the bitmap's colour description: its table, its GDI palette,
// or for a palette-less bitmap of 8 bits or fewer the gray ramp it is
// painted with.  Returns the number of entries the bitmap has.
int ColorsOf(const BitmapHandle *b, RGBQUAD *out /* 256 */) {
    if (b->BitsPerPixel > 8 || b->BitsPerPixel < 1)
        return 0;
    const int ramp = 1 << b->BitsPerPixel;
    if (!b->Palette) {
        for (int i = 0; i < ramp; ++i) {
            const BYTE v = static_cast<BYTE>(i * 255 / (ramp - 1));
            out[i] = RGBQUAD{v, v, v, 0};
        }
        return ramp;
    }
    int count = std::min(std::max(b->ColorCount, 0), 256);
    if (b->Flags & BITMAP_PALETTE_HANDLE) {
        PALETTEENTRY pe[256];
        count = static_cast<int>(GetPaletteEntries(reinterpret_cast<HPALETTE>(b->Palette), 0, count, pe));
        for (int i = 0; i < count; ++i)
            out[i] = RGBQUAD{pe[i].peBlue, pe[i].peGreen, pe[i].peRed, 0};
        return count;
    }
    std::copy(b->Palette, b->Palette + count, out);
    return count;
}

bool SameColor(const RGBQUAD &a, const RGBQUAD &b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed;
}

HPALETTE PaletteFrom(const RGBQUAD *colors, int count) {
    if (!colors || count <= 0 || count > 256)
        return nullptr;
    struct {
        WORD palVersion;
        WORD palNumEntries;
        PALETTEENTRY entries[256];
    } lp;
    lp.palVersion = 0x300;
    lp.palNumEntries = static_cast<WORD>(count);
    for (int i = 0; i < count; ++i)
        lp.entries[i] = PALETTEENTRY{colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
    return CreatePalette(reinterpret_cast<LOGPALETTE *>(&lp));
}

// Deep gray data is gray unless a window-level view is in force whose
// table holds a colour; a table that falls from its first entry to its
// last reads as a ramp from white.
int IsGrayDeepData(const BitmapHandle *b) {
    if (b->Order != ORDER_GRAY || (b->BitsPerPixel != 12 && b->BitsPerPixel != 16))
        return 0;
    if (!(b->Flags & BITMAP_WINDOW_LEVEL) || !b->WindowLUT || b->WindowLUTLength == 0)
        return 1;
    const RGBQUAD *t = b->WindowLUT;
    for (uint32_t i = 0; i < b->WindowLUTLength; ++i)
        if (t[i].rgbRed != t[i].rgbGreen || t[i].rgbGreen != t[i].rgbBlue)
            return 0;
    return t[0].rgbRed > t[b->WindowLUTLength - 1].rgbRed ? 2 : 1;
}

}  // namespace

extern "C" {

int __stdcall K_GetBitmapColors(const BitmapHandle *pBitmap, int nFirst, int nCount, RGBQUAD *pColors) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!pColors || nFirst < 0 || nCount < 0)
        return RC_INVALID_PARAMETER;
    RGBQUAD all[256];
    const int have = ColorsOf(pBitmap, all);
    const int n = std::max(0, std::min(nCount, have - nFirst));
    std::copy(all + nFirst, all + nFirst + n, pColors);
    return n;
}

int __stdcall K_PutBitmapColors(BitmapHandle *pBitmap, int nFirst, int nCount, const RGBQUAD *pColors) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!pColors || nFirst < 0 || nCount < 0)
        return RC_INVALID_PARAMETER;
    if (!pBitmap->Palette || (pBitmap->Flags & BITMAP_PALETTE_HANDLE))
        return 0;
    const int n = std::max(0, std::min(nCount, pBitmap->ColorCount - nFirst));
    std::copy(pColors, pColors + n, pBitmap->Palette + nFirst);
    return n;
}

int __stdcall K_IsGrayScale(const BitmapHandle *pBitmap) {
    if (!pBitmap)
        return 0;
    if (pBitmap->BitsPerPixel > 8)
        return IsGrayDeepData(pBitmap);
    RGBQUAD colors[256];
    const int n = ColorsOf(pBitmap, colors);
    if (n < 2)
        return 0;
    // An evenly spaced ramp over n entries, within rounding of 255 / (n - 1).
    bool up = true, down = true;
    for (int i = 0; i < n; ++i) {
        const RGBQUAD &c = colors[i];
        if (c.rgbRed != c.rgbGreen || c.rgbGreen != c.rgbBlue)
            return 0;
        const int rising = (i * 255 + (n - 1) / 2) / (n - 1);
        up = up && std::abs(c.rgbRed - rising) <= 1;
        down = down && std::abs(c.rgbRed - (255 - rising)) <= 1;
    }
    return up ? 1 : down ? 2 : 0;
}

int __stdcall K_ComparePalette(const BitmapHandle *pBitmap, const RGBQUAD *pColors, int nCount) {
    if (!pBitmap || !pColors || nCount <= 0)
        return 0;
    RGBQUAD colors[256];
    if (ColorsOf(pBitmap, colors) < nCount)
        return 0;
    for (int i = 0; i < nCount; ++i)
        if (!SameColor(colors[i], pColors[i]))
            return 0;
    return 1;
}

HPALETTE __stdcall K_CreatePaletteFromColors(const RGBQUAD *pColors, int nCount) {
    return PaletteFrom(pColors, nCount);
}

HPALETTE __stdcall K_CreatePaletteFromBitmap(const BitmapHandle *pBitmap) {
    if (!pBitmap)
        return nullptr;
    RGBQUAD colors[256];
    return PaletteFrom(colors, ColorsOf(pBitmap, colors));
}

HPALETTE __stdcall K_CreateFixedPalette(int nDeviceBits) {
    switch (nDeviceBits) {
    case 1: return PaletteFrom(zv::MonoPalette.data(), 2);
    case 4: return PaletteFrom(zv::Vga16Palette.data(), 16);
    case 8: return PaletteFrom(zv::Rgb332Palette.data(), 256);
    default: return nullptr;
    }
}

}  // extern "C"
