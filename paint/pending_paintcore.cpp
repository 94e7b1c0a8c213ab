// SEAM, to be deleted when the paint-core branch lands: stand-ins for the
// row converters, expanders, painter kind and paint colours declared in
// convert.h, paint_kind.h and paint_palette.h, so that the painters build
// and their geometry can be tested before the real ones arrive.  They do
// the least: no converters (kind 2 falls back to 0 or 1 in the painters),
// a 32-to-24 expander only, kinds 0, 1 and 3 to 6 from the display mode.
#include "paint/convert.h"
#include "paint/paint_kind.h"
#include "paint/paint_palette.h"
#include "zvdisp.h"
#include "zvkern.h"

namespace zv {

RowConverter SelectRowConverter(int, int) { return nullptr; }

static void Expand32To24(BYTE *dst, const BYTE *src, const BitmapHandle *, int start, int end) {
    for (int i = start; i < end; ++i, dst += 3)
        dst[0] = src[4 * i], dst[1] = src[4 * i + 1], dst[2] = src[4 * i + 2];
}

RowExpander SelectRowExpander(int, bool, int *pOutBits) {
    if (pOutBits)
        *pOutBits = 24;
    return Expand32To24;
}

int GetPaintColors(BitmapHandle *pBitmap, int nFirst, int nCount, RGBQUAD *pColors) {
    const int n = K_GetBitmapColors(pBitmap, nFirst, nCount, pColors);
    if ((pBitmap->Flags & BITMAP_PAINT_LUT) && pBitmap->PaintLUT)
        for (int i = 0; i < n; ++i) {
            pColors[i].rgbRed = pBitmap->PaintLUT[pColors[i].rgbRed];
            pColors[i].rgbGreen = pBitmap->PaintLUT[pColors[i].rgbGreen];
            pColors[i].rgbBlue = pBitmap->PaintLUT[pColors[i].rgbBlue];
        }
    return n;
}

bool IsGrayImage(BitmapHandle *pBitmap) { return pBitmap->Order == ORDER_GRAY; }

void ChoosePainterKind(HDC hDC, BitmapHandle *pBitmap, int *pDeviceBits, int *pKind) {
    if (!pBitmap || !pDeviceBits)
        return;
    const int n = GetDeviceCaps(hDC, PLANES) * GetDeviceCaps(hDC, BITSPIXEL);
    *pDeviceBits = GetDeviceCaps(hDC, TECHNOLOGY) == DT_METAFILE ? 24 : n < 4 ? 1 : n < 8 ? 4 : n < 16 ? 8 : 24;
    if (!pKind)
        return;
    const UINT mode = Z_GetDisplayMode();
    const int bits = pBitmap->BitsPerPixel;
    *pKind = 0;
    if (bits == 1) {
        const int g = K_IsGrayScale(pBitmap);
        if ((mode & DISP_SCALE_TO_GRAY) && *pDeviceBits > 1 && g)
            *pKind = g == 1 ? 3 : 4;
        else if ((mode & DISP_SCALE_BITONAL) && !(mode & DISP_SCALE_TO_GRAY) && g)
            *pKind = g == 1 ? 5 : 6;
    } else if (bits == 32 || bits == 48 || bits == 64 || (bits == 24 && pBitmap->Order == ORDER_BGR_CONVERT)) {
        *pKind = 1;
    }
}

}  // namespace zv
