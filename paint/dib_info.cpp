// The paint's BITMAPINFO: see dib_info.h.
#include "paint/dib_info.h"

#include "paint/paint_palette.h"

#include <cstring>

namespace zv {

void GrayColors(const BYTE *lut, RGBQUAD *table) {
    for (int i = 0; i < 256; ++i) {
        const BYTE v = lut ? lut[i] : BYTE(i);
        table[i] = RGBQUAD{v, v, v, 0};
    }
}

UINT PrepareDibInfo(PaintBitmapInfo *info, const DibFormat &f) {
    BITMAPINFOHEADER &h = info->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    h.biBitCount = WORD(f.bits);
    h.biWidth = f.width;
    h.biHeight = f.height;
    h.biSizeImage = f.imageBytes;
    h.biClrUsed = f.source == DIB_NO_TABLE ? 0 : DWORD(f.count);
    switch (f.source) {
    case DIB_NO_TABLE: break;
    case DIB_IDENTITY: WriteIdentityIndexTable(*info); return DIB_PAL_COLORS;
    case DIB_GIVEN_COLORS: std::memcpy(info->bmiColors, f.colors, sizeof(RGBQUAD) * size_t(f.count)); break;
    case DIB_PAINT_COLORS: GetPaintColors(f.bitmap, 0, f.count, info->bmiColors); break;
    case DIB_STORED_COLORS: K_GetBitmapColors(f.bitmap, 0, f.count, info->bmiColors); break;
    }
    return DIB_RGB_COLORS;
}

}  // namespace zv
