// A device context on a 24-bit bitmap: a memory DC holding a DIB section
// with a copy of the bitmap's stored rows (row 0 on top), whose pixels go back
// into the bitmap when the DC is deleted.  GDI cannot draw into the
// kernel's own blocks, so the pixels are copied once each way; a copy of
// a 24-bit row costs far less than any drawing GDI does into it.
#include "kernel/kernel_internal.h"

#include <cstring>

using namespace zv::kern;

namespace {

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
    // 24-bit blue-first rows are a DIB section's rows as they are; the
    // library draws on nothing else.
    if (!HasData(pBitmap) || pBitmap->BitsPerPixel != 24 || pBitmap->Order != ORDER_BGR)
        return nullptr;
    if (InjectedFailure())  // the DIB section counts as an allocation
        return nullptr;
    BITMAPINFO info{};
    BitmapHandle &b = *pBitmap;
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = b.Width;
    info.bmiHeader.biHeight = -b.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;  // GCOVR_EXCL_LINE: GDI handles used up
    void *bits = nullptr;
    const HBITMAP hbm = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!hbm || !bits) {  // GCOVR_EXCL_BR_LINE: GDI handles or memory used up
        // GCOVR_EXCL_START: as above
        if (hbm)
            DeleteObject(hbm);
        DeleteDC(dc);
        return nullptr;
        // GCOVR_EXCL_STOP
    }
    const int stride = int(StrideOf(b.Width, 24));
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
