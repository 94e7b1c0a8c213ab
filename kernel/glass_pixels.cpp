// One pixel written by its colour (the magnifier writes the blocks an
// application answers this way).
#include "kernel/frames.h"

using namespace zv::kern;

extern "C" int __stdcall K_SetPixelColor(BitmapHandle *pBitmap, int nRow, int nColumn, COLORREF crColor) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    if (nRow < 0 || nRow >= pBitmap->Height || nColumn < 0 || nColumn >= pBitmap->Width)
        return RC_INVALID_PARAMETER;
    const BYTE bgr[3] = {GetBValue(crColor), GetGValue(crColor), GetRValue(crColor)};
    BYTE pixel[8] = {};
    const int rc = K_ConvertFromBGR(pBitmap, bgr, pixel, 1);
    if (rc != RC_SUCCESS)
        return rc;
    CopyPixel(pixel, 0, RowOf(*pBitmap, nRow), nColumn, pBitmap->BitsPerPixel);
    return RC_SUCCESS;
}
