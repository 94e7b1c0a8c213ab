// Bitmap storage: creation, release, copies, access brackets and rows.
#include "kernel/kernel_internal.h"
#include "kernel/kmem.h"

#include <algorithm>
#include <cstring>

using zv::KPtr;
using namespace zv::kern;

namespace zv::kern {

int64_t StrideOf(int width, int bits) {
    const int64_t rowBits = static_cast<int64_t>(width) * bits;
    const int64_t stride = (rowBits + 31) / 32 * 4;
    return stride > INT32_MAX ? 0 : stride;
}

size_t StorageBytes(int64_t stride, int64_t rows) {
    if (stride <= 0 || rows <= 0 || static_cast<uint64_t>(stride) > SIZE_MAX / 2 / static_cast<uint64_t>(rows))
        return 0;
    return static_cast<size_t>(stride) * static_cast<size_t>(rows);
}

}  // namespace zv::kern

namespace {

// Copies of the blocks a bitmap owns whoever made it: the window-level
// table and (through the region operations, when registered) the region.
// On failure nothing of pDst has changed but Region, which is left null.
int CopyOwnedExtras(BitmapHandle *pDst, const BitmapHandle *pSrc, KPtr<RGBQUAD> &windowLut) {
    if (pSrc->WindowLUT && pSrc->WindowLUTLength) {
        windowLut = zv::KAlloc<RGBQUAD>(pSrc->WindowLUTLength);
        if (!windowLut)
            return RC_NO_MEMORY;
        std::memcpy(windowLut.get(), pSrc->WindowLUT, pSrc->WindowLUTLength * sizeof(RGBQUAD));
    }
    pDst->Region = nullptr;
    const RegionServiceTable *table = K_GetRegionServiceTable();
    if (pSrc->Region && table->CopyWithOffset) {
        BitmapHandle src = *pSrc;  // the operation takes a non-const descriptor
        const int rc = table->CopyWithOffset(pDst, &src, 0, 0);
        if (rc != RC_SUCCESS) {
            K_FreeRegion(pDst->Region);
            pDst->Region = nullptr;
            return rc;
        }
    }
    return RC_SUCCESS;
}

}  // namespace

extern "C" {

int __stdcall K_CreateBitmap(BitmapHandle *pBitmap, int nWidth, int nHeight, int nBitsPerPixel, int nOrder,
                             int nOrientation) {
    if (!pBitmap || nWidth <= 0 || nHeight <= 0 || !IsValidDepth(nBitsPerPixel) ||
        !IsValidOrientation(nOrientation))
        return RC_INVALID_PARAMETER;
    const int64_t stride = StrideOf(nWidth, nBitsPerPixel);
    const size_t bytes = StorageBytes(stride, nHeight);
    if (!bytes)
        return RC_INVALID_PARAMETER;

    KPtr<uint8_t> data = zv::KAllocZero<uint8_t>(bytes);
    KPtr<uint8_t> lut = zv::KAlloc<uint8_t>(256);
    if (!data || !lut)
        return RC_NO_MEMORY;
    const int colors = nBitsPerPixel <= 8 ? 1 << nBitsPerPixel : 0;
    KPtr<RGBQUAD> palette;
    if (colors) {
        palette = zv::KAlloc<RGBQUAD>(colors);
        if (!palette)
            return RC_NO_MEMORY;
        for (int i = 0; i < colors; ++i) {
            const BYTE v = static_cast<BYTE>(i * 255 / (colors - 1));
            palette.get()[i] = RGBQUAD{v, v, v, 0};
        }
    }
    for (int i = 0; i < 256; ++i)
        lut.get()[i] = static_cast<uint8_t>(i);

    BitmapHandle b{};
    b.Width = nWidth;
    b.Height = nHeight;
    b.BitsPerPixel = nBitsPerPixel;
    b.BytesPerLine = static_cast<int32_t>(stride);
    b.Flags = BITMAP_ALLOCATED | BITMAP_CONTIGUOUS;
    b.ColorCount = colors;
    b.Orientation = nOrientation;
    b.Order = nOrder;
    b.LowBit = 0;
    b.HighBit = nBitsPerPixel <= 16 ? nBitsPerPixel - 1 : 7;
    b.MaxValue = nBitsPerPixel <= 16 ? (1u << nBitsPerPixel) - 1 : 255;
    b.PaintGamma = 100;
    b.KernelOwned = OwnedWord(KERN_OWNS_DATA | KERN_OWNS_PAINTLUT | (colors ? KERN_OWNS_PALETTE : 0));
    b.Data = data.release();
    b.PaintLUT = lut.release();
    b.Palette = palette.release();
    *pBitmap = b;
    return RC_SUCCESS;
}

int __stdcall K_FreeBitmap(BitmapHandle *pBitmap) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    const uint32_t owned = OwnedBits(*pBitmap);
    K_FreeRegion(pBitmap->Region);
    pBitmap->Region = nullptr;
    K_Free(pBitmap->WindowLUT);
    pBitmap->WindowLUT = nullptr;
    pBitmap->WindowLUTLength = 0;
    pBitmap->Flags &= ~BITMAP_WINDOW_LEVEL;
    if (owned & KERN_OWNS_DATA) {
        K_Free(pBitmap->Data);
        pBitmap->Data = nullptr;
    }
    if (owned & KERN_OWNS_PALETTE) {
        K_Free(pBitmap->Palette);
        pBitmap->Palette = nullptr;
        pBitmap->ColorCount = 0;
    }
    if (owned & KERN_OWNS_PAINTLUT) {
        K_Free(pBitmap->PaintLUT);
        pBitmap->PaintLUT = nullptr;
    }
    pBitmap->KernelOwned = 0;
    pBitmap->Flags &= ~BITMAP_ALLOCATED;
    return RC_SUCCESS;
}

int __stdcall K_CopyBitmapHandle(BitmapHandle *pDst, const BitmapHandle *pSrc) {
    if (!pSrc)
        return RC_NO_BITMAP;
    if (!pDst)
        return RC_INVALID_PARAMETER;
    BitmapHandle copy = *pSrc;
    copy.KernelOwned = 0;  // names the source's blocks, owns none of them
    copy.KernelAccess = 0;
    KPtr<RGBQUAD> windowLut;
    const int rc = CopyOwnedExtras(&copy, pSrc, windowLut);
    if (rc != RC_SUCCESS)
        return rc;
    copy.WindowLUT = windowLut.release();
    *pDst = copy;
    return RC_SUCCESS;
}

int __stdcall K_CopyBitmap(BitmapHandle *pDst, const BitmapHandle *pSrc) {
    if (!HasData(pSrc))
        return RC_NO_BITMAP;
    if (!pDst)
        return RC_INVALID_PARAMETER;
    const size_t bytes = static_cast<size_t>(pSrc->BytesPerLine) * pSrc->Height;
    KPtr<uint8_t> data = zv::KAlloc<uint8_t>(bytes);
    KPtr<uint8_t> lut = zv::KAlloc<uint8_t>(256);
    if (!data || !lut)
        return RC_NO_MEMORY;
    std::memcpy(data.get(), pSrc->Data, bytes);
    for (int i = 0; i < 256; ++i)
        lut.get()[i] = pSrc->PaintLUT ? pSrc->PaintLUT[i] : static_cast<uint8_t>(i);
    KPtr<RGBQUAD> palette;
    const bool paletteTable = pSrc->Palette && !(pSrc->Flags & BITMAP_PALETTE_HANDLE) && pSrc->ColorCount > 0;
    if (paletteTable) {
        palette = zv::KAlloc<RGBQUAD>(pSrc->ColorCount);
        if (!palette)
            return RC_NO_MEMORY;
        std::memcpy(palette.get(), pSrc->Palette, pSrc->ColorCount * sizeof(RGBQUAD));
    }
    BitmapHandle copy = *pSrc;
    copy.KernelAccess = 0;
    KPtr<RGBQUAD> windowLut;
    const int rc = CopyOwnedExtras(&copy, pSrc, windowLut);
    if (rc != RC_SUCCESS)
        return rc;
    copy.KernelOwned = OwnedWord(KERN_OWNS_DATA | KERN_OWNS_PAINTLUT | (paletteTable ? KERN_OWNS_PALETTE : 0));
    copy.Flags |= BITMAP_CONTIGUOUS;
    copy.Data = data.release();
    copy.PaintLUT = lut.release();
    if (paletteTable)
        copy.Palette = palette.release();
    copy.WindowLUT = windowLut.release();
    *pDst = copy;
    return RC_SUCCESS;
}

int __stdcall K_InitBitmapHandle(BitmapHandle *pDst, const BitmapHandle *pSrc, int nWidth, int nHeight,
                                 int nBitsPerPixel) {
    if (!pDst || nWidth < 0 || nHeight < 0 || !IsValidDepth(nBitsPerPixel))
        return RC_INVALID_PARAMETER;
    BitmapHandle b{};
    if (pSrc) {
        b.ColorCount = pSrc->ColorCount;
        b.Palette = pSrc->Palette;
        b.Orientation = pSrc->Orientation;
        b.Order = pSrc->Order;
        b.Flags = pSrc->Flags & (BITMAP_RGN_UNCLIPPED | BITMAP_PALETTE_HANDLE);
        b.MinValue = pSrc->MinValue;
        b.MaxValue = pSrc->MaxValue;
        b.LowBit = pSrc->LowBit;
        b.HighBit = pSrc->HighBit;
        b.PaintGamma = pSrc->PaintGamma;
        b.PaintContrast = pSrc->PaintContrast;
        b.PaintIntensity = pSrc->PaintIntensity;
        b.PaintLUT = pSrc->PaintLUT;
    } else {
        b.PaintGamma = 100;
        b.HighBit = nBitsPerPixel <= 16 ? nBitsPerPixel - 1 : 7;
    }
    b.Width = nWidth;
    b.Height = nHeight;
    b.BitsPerPixel = nBitsPerPixel;
    b.BytesPerLine = static_cast<int32_t>(StrideOf(nWidth, nBitsPerPixel));
    *pDst = b;
    return RC_SUCCESS;
}

int __stdcall K_BeginAccess(BitmapHandle *pBitmap) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    return static_cast<int>(++pBitmap->KernelAccess);
}

int __stdcall K_EndAccess(BitmapHandle *pBitmap, int nToken) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (nToken < 1 || pBitmap->KernelAccess == 0)
        return RC_INVALID_PARAMETER;
    --pBitmap->KernelAccess;
    return RC_SUCCESS;
}

int __stdcall K_GetBitmapRow(const BitmapHandle *pBitmap, void *pBuffer, int nRow, int nOffset, int nBytes) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    if (!pBuffer || nRow < 0 || nRow >= pBitmap->Height || nOffset < 0 || nBytes < 0)
        return RC_INVALID_PARAMETER;
    const int count = nOffset >= pBitmap->BytesPerLine ? 0 : std::min(nBytes, pBitmap->BytesPerLine - nOffset);
    std::memcpy(pBuffer, pBitmap->Data + static_cast<size_t>(nRow) * pBitmap->BytesPerLine + nOffset, count);
    return count;
}

int __stdcall K_PutBitmapRow(BitmapHandle *pBitmap, const void *pBuffer, int nRow, int nOffset, int nBytes) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    if (!pBuffer || nRow < 0 || nRow >= pBitmap->Height || nOffset < 0 || nBytes < 0)
        return RC_INVALID_PARAMETER;
    const int count = nOffset >= pBitmap->BytesPerLine ? 0 : std::min(nBytes, pBitmap->BytesPerLine - nOffset);
    std::memcpy(pBitmap->Data + static_cast<size_t>(nRow) * pBitmap->BytesPerLine + nOffset, pBuffer, count);
    return count;
}

}  // extern "C"
