// Conversion copy: a new kernel-owned bitmap of the same picture at
// another depth (and palette, and colour order).  Every pixel goes through
// 24-bit blue-green-red (K_ConvertToBGR, then K_ConvertFromBGR, which
// takes the nearest palette entry: the kernel does no dithering).
#include "kernel/frames.h"
#include "kernel/kmem.h"

#include <cstring>

using namespace zv::kern;

extern "C" {

int __stdcall K_ConvertColorResolution(const BitmapHandle *pSrc, BitmapHandle *pDst, int nBitsPerPixel,
                                       const RGBQUAD *pColors, int nColors, UINT uFlags) {
    if (!HasData(pSrc))
        return RC_NO_BITMAP;
    if (!pDst || !IsValidDepth(nBitsPerPixel) || (uFlags & ~(KCONV_USE_COLORS | KCONV_NEAREST | KCONV_BLUE_FIRST)) ||
        ((uFlags & KCONV_USE_COLORS) && nBitsPerPixel <= 8 && (!pColors || nColors <= 0)))
        return RC_INVALID_PARAMETER;
    if (!IsValidDepth(pSrc->BitsPerPixel))
        return RC_INVALID_FORMAT;
    const int order = (uFlags & KCONV_BLUE_FIRST) ? ORDER_BGR
                      : (pSrc->Order == ORDER_GRAY && (nBitsPerPixel == 12 || nBitsPerPixel == 16)) ? ORDER_GRAY
                                                                                                     : ORDER_RGB;
    BitmapHandle out{};
    int rc = K_CreateBitmap(&out, pSrc->Width, pSrc->Height, nBitsPerPixel, order, pSrc->Orientation);
    if (rc != RC_SUCCESS)
        return rc;
    struct Guard {
        BitmapHandle *b;
        ~Guard() { if (b) K_FreeBitmap(b); }
    } guard{&out};
    if ((uFlags & KCONV_USE_COLORS) && nBitsPerPixel <= 8) {
        const int n = std::min(nColors, 1 << nBitsPerPixel);
        std::memset(out.Palette, 0, sizeof(RGBQUAD) << nBitsPerPixel);
        std::memcpy(out.Palette, pColors, sizeof(RGBQUAD) * n);
        out.ColorCount = n;
    }
    zv::KPtr<BYTE> bgr = zv::KAlloc<BYTE>(size_t(pSrc->Width) * 3 + 8);
    if (!bgr)
        return RC_NO_MEMORY;
    for (int y = 0; y < pSrc->Height; ++y) {
        rc = K_ConvertToBGR(pSrc, RowOf(*pSrc, y), bgr.get(), pSrc->Width);
        if (rc == RC_SUCCESS)
            rc = K_ConvertFromBGR(&out, bgr.get(), RowOf(out, y), out.Width);
        if (rc != RC_SUCCESS)
            return rc;
    }
    // The picture's other settings travel with it.
    out.Left = pSrc->Left;
    out.Top = pSrc->Top;
    out.Delay = pSrc->Delay;
    out.BackgroundColor = pSrc->BackgroundColor;
    out.TransparentColor = pSrc->TransparentColor;
    out.DisposalMethod = pSrc->DisposalMethod;
    out.Flags |= pSrc->Flags & (BITMAP_WAIT_INPUT | BITMAP_TRANSPARENT | BITMAP_RGN_UNCLIPPED);
    out.PaintGamma = pSrc->PaintGamma ? pSrc->PaintGamma : 100;
    out.PaintContrast = pSrc->PaintContrast;
    out.PaintIntensity = pSrc->PaintIntensity;
    // The region through the copy operation of the region table, so that
    // every copy carries the same; without a table the copy has none.
    const auto copyRgn = K_GetRegionServiceTable()->CopyRgn;
    if (pSrc->Region && copyRgn && (rc = copyRgn(&out.Region, pSrc->Region)) != RC_SUCCESS)
        return rc;
    *pDst = out;
    guard.b = nullptr;
    return RC_SUCCESS;
}

}  // extern "C"
