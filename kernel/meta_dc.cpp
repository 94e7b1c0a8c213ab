// A device context on a bitmap: a memory DC holding a DIB section with a
// copy of the bitmap's stored rows (row 0 on top), whose pixels go back
// into the bitmap when the DC is deleted.  GDI cannot draw into the
// kernel's own blocks, so the pixels are copied once each way; a copy of
// a 24-bit row costs far less than any drawing GDI does into it.
#include "kernel/kernel_internal.h"

#include <cstring>

using namespace zv::kern;

namespace {

// Depths whose stored rows are a DIB's rows as they are: palette depths,
// 5-5-5 and blue-first 24 and 32 bits.
bool IsDibLayout(const BitmapHandle &b) {
    switch (b.BitsPerPixel) {
    case 1: case 4: case 8: return true;
    case 16: return b.Order == ORDER_BGR;
    case 24: case 32: return b.Order == ORDER_BGR;
    default: return false;
    }
}

// The DIB section selected in hDC; null unless it has bits.
HBITMAP SectionOf(HDC hDC, DIBSECTION *ds) {
    const HBITMAP hbm = static_cast<HBITMAP>(GetCurrentObject(hDC, OBJ_BITMAP));
    if (!hbm || GetObjectW(hbm, sizeof *ds, ds) != int(sizeof *ds) || !ds->dsBm.bmBits)
        return nullptr;
    return hbm;
}

void CopyRows(BYTE *dst, int dstStride, const BYTE *src, int srcStride, int rows) {
    const int n = dstStride < srcStride ? dstStride : srcStride;
    for (int r = 0; r < rows; ++r)
        std::memcpy(dst + size_t(r) * dstStride, src + size_t(r) * srcStride, n);
}

}  // namespace

extern "C" {

HDC __stdcall K_CreateBitmapDC(BitmapHandle *pBitmap) {
    if (!HasData(pBitmap) || !IsDibLayout(*pBitmap) || pBitmap->Width <= 0 || pBitmap->Height <= 0)
        return nullptr;
    if (InjectedFailure())  // the DIB section counts as an allocation
        return nullptr;
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD c[256];
    } info{};
    BitmapHandle &b = *pBitmap;
    info.h.biSize = sizeof info.h;
    info.h.biWidth = b.Width;
    info.h.biHeight = -b.Height;
    info.h.biPlanes = 1;
    info.h.biBitCount = WORD(b.BitsPerPixel);
    if (b.BitsPerPixel <= 8)
        info.h.biClrUsed = K_GetBitmapColors(pBitmap, 0, 1 << b.BitsPerPixel, info.c) > 0 ? 1u << b.BitsPerPixel : 0;
    const HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    void *bits = nullptr;
    const HBITMAP hbm =
        CreateDIBSection(dc, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!hbm || !bits) {
        if (hbm)
            DeleteObject(hbm);
        DeleteDC(dc);
        return nullptr;
    }
    const int stride = int(StrideOf(b.Width, b.BitsPerPixel));
    CopyRows(static_cast<BYTE *>(bits), stride, b.Data, b.BytesPerLine, b.Height);
    SelectObject(dc, hbm);
    return dc;
}

int __stdcall K_DeleteBitmapDC(BitmapHandle *pBitmap, HDC hDC) {
    if (!hDC)
        return RC_INVALID_PARAMETER;
    GdiFlush();
    DIBSECTION ds{};
    const HBITMAP hbm = SectionOf(hDC, &ds);
    int rc = RC_SUCCESS;
    if (!HasData(pBitmap))
        rc = RC_NO_BITMAP;
    else if (!hbm || ds.dsBm.bmWidth != pBitmap->Width || ds.dsBm.bmHeight != pBitmap->Height ||
             ds.dsBm.bmBitsPixel != pBitmap->BitsPerPixel)
        rc = RC_INVALID_PARAMETER;
    else
        CopyRows(pBitmap->Data, pBitmap->BytesPerLine, static_cast<const BYTE *>(ds.dsBm.bmBits),
                 ds.dsBm.bmWidthBytes, pBitmap->Height);
    DeleteDC(hDC);  // deselects the section
    if (hbm)
        DeleteObject(hbm);
    return rc;
}

}  // extern "C"
