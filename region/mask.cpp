// A bitmap's region as a one-bit mask bitmap (1 inside) and back (the
// white pixels of a mask).  Both go through the kernel: the mask is a
// kernel bitmap filled with index 1 inside the region it carries, and a
// mask of any depth is read as a 1-bit conversion copy whose white pixels
// the exact-colour scan collects.
#include "region/region.h"

using namespace zv;

extern "C" {

int __stdcall Z_CreateMaskFromBitmapRgn(BitmapHandle *pBitmap, BitmapHandle *pMask) {
    if (!pBitmap || !pMask)
        return RC_INVALID_PARAMETER;
    // Made in a descriptor of our own: the caller's is written on success only.
    BitmapHandle mask{};
    int rc = K_CreateBitmap(&mask, pBitmap->Width, pBitmap->Height, 1, ORDER_BGR, pBitmap->Orientation);
    if (rc != RC_SUCCESS)
        return rc;
    if ((rc = RgnCopyWithOffset(&mask, pBitmap, 0, 0)) != RC_SUCCESS ||
        (rc = K_FillBitmap(&mask, 0x01000001)) != RC_SUCCESS) {
        K_FreeBitmap(&mask);
        return rc;
    }
    RgnCombine(&mask, nullptr, nullptr, RGN_MODE_SET);  // removes the region: cannot fail
    *pMask = mask;
    return RC_SUCCESS;
}

int __stdcall Z_SetBitmapRgnFromMask(BitmapHandle *pBitmap, RgnTransform *pTransform, BitmapHandle *pMask,
                                     UINT uCombineMode) {
    if (!pBitmap || !pMask || !(pMask->Flags & BITMAP_ALLOCATED))
        return RC_INVALID_PARAMETER;
    BitmapHandle work;
    int rc;
    const int gray = pMask->BitsPerPixel == 1 ? K_IsGrayScale(pBitmap) : 0;
    const bool converted = gray != 1 && gray != 2;
    if (!converted) {
        work = *pMask;  // the mask's own pixels, nothing to release
        work.Region = nullptr;
    } else {
        if ((rc = K_ConvertColorResolution(pMask, &work, 1, nullptr, 0, KCONV_NEAREST)) != RC_SUCCESS)
            return rc;
        K_FreeRegion(work.Region);  // the copy carries the mask's region along
        work.Region = nullptr;
    }
    rc = Z_SetBitmapRgnColor(&work, 0xFFFFFF, RGN_MODE_SET);
    OwnedRgn rgn(work.Region);
    work.Region = nullptr;
    if (rc == RC_SUCCESS)
        rc = RgnCombine(pBitmap, pTransform, std::move(rgn), uCombineMode);
    if (converted)
        K_FreeBitmap(&work);
    return rc;
}

}  // extern "C"
