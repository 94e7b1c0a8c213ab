// Two whole-bitmap conversions: to 8-bit gray, and to another view
// orientation with the displayed image kept.  Both give the bitmap new
// kernel-owned pixels and leave it as it was on failure.
#include "kernel/kernel_internal.h"
#include "kernel/kmem.h"
#include "kernel/pixels.h"

#include <algorithm>

using namespace zv::kern;

namespace {

void TakePixels(BitmapHandle *b, uint8_t *data, int width, int height, int stride) {
    if (OwnedBits(*b) & KERN_OWNS_DATA)
        K_Free(b->Data);
    b->Data = data;
    b->Width = width;
    b->Height = height;
    b->BytesPerLine = stride;
    b->KernelOwned = OwnedWord(OwnedBits(*b) | KERN_OWNS_DATA);
    b->Flags |= BITMAP_CONTIGUOUS;
}

// Stored pixel (column, row) of storage `from` (W x H) in storage `to`.
POINT MovePoint(int from, int w, int h, int to, int column, int row) {
    RECT r{column, row, column + 1, row + 1};
    K_ConvertRectOrientation(from, w, h, to, &r);
    return POINT{r.left, r.top};
}

}  // namespace

extern "C" {

int __stdcall K_GrayScaleBitmap(BitmapHandle *pBitmap, int nBits) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    if (nBits != 8 || !IsValidDepth(pBitmap->BitsPerPixel))
        return RC_INVALID_PARAMETER;
    const int w = pBitmap->Width, h = pBitmap->Height;
    const int64_t stride = StrideOf(w, 8);
    const size_t bytes = StorageBytes(stride, h);
    zv::KPtr<uint8_t> data = bytes ? zv::KAlloc<uint8_t>(bytes) : nullptr;
    zv::KPtr<uint8_t> bgr = zv::KAlloc<uint8_t>(3 * static_cast<size_t>(w));
    if (!data || !bgr)
        return RC_NO_MEMORY;
    for (int y = 0; y < h; ++y) {
        const int rc = K_ConvertToBGR(pBitmap, pBitmap->Data + static_cast<size_t>(y) * pBitmap->BytesPerLine,
                                      bgr.get(), w);
        if (rc != RC_SUCCESS)
            return rc;
        uint8_t *out = data.get() + y * stride;
        const uint8_t *p = bgr.get();
        for (int x = 0; x < w; ++x, p += 3)
            out[x] = static_cast<uint8_t>((p[2] * 77 + p[1] * 151 + p[0] * 28 + 128) >> 8);
        std::fill(out + w, out + stride, uint8_t{0});
    }
    // Gray levels read through the gray ramp of a bitmap without palette.
    if (OwnedBits(*pBitmap) & KERN_OWNS_PALETTE)
        K_Free(pBitmap->Palette);
    pBitmap->Palette = nullptr;
    pBitmap->KernelOwned = OwnedWord(OwnedBits(*pBitmap) & ~KERN_OWNS_PALETTE);
    pBitmap->Flags &= ~BITMAP_PALETTE_HANDLE;
    pBitmap->ColorCount = 256;
    pBitmap->BitsPerPixel = 8;
    pBitmap->LowBit = 0;
    pBitmap->HighBit = 7;
    pBitmap->MaxValue = 255;
    TakePixels(pBitmap, data.release(), w, h, static_cast<int>(stride));
    return RC_SUCCESS;
}

int __stdcall K_ChangeBitmapOrientation(BitmapHandle *pBitmap, int nOrientation) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    const int from = pBitmap->Orientation, bits = pBitmap->BitsPerPixel;
    if (!IsValidOrientation(nOrientation) || !IsValidOrientation(from) || !IsValidDepth(bits))
        return RC_INVALID_PARAMETER;
    if (from == nOrientation)
        return RC_SUCCESS;
    const int w = pBitmap->Width, h = pBitmap->Height;
    const bool swap = ExchangesAxes(from) != ExchangesAxes(nOrientation);
    const int nw = swap ? h : w, nh = swap ? w : h;
    const int64_t stride = StrideOf(nw, bits);
    const size_t bytes = StorageBytes(stride, nh);
    zv::KPtr<uint8_t> data = bytes ? zv::KAllocZero<uint8_t>(bytes) : nullptr;
    if (!data)
        return RC_NO_MEMORY;
    // Each new row is a straight line through the old storage: its first
    // pixel and the step between neighbours.
    for (int y = 0; y < nh; ++y) {
        const POINT a = MovePoint(nOrientation, nw, nh, from, 0, y);
        const POINT b = nw > 1 ? MovePoint(nOrientation, nw, nh, from, 1, y) : a;
        const int dx = b.x - a.x, dy = b.y - a.y;
        uint8_t *out = data.get() + y * stride;
        for (int x = 0; x < nw; ++x)
            CopyPixel(pBitmap->Data + static_cast<size_t>(a.y + dy * x) * pBitmap->BytesPerLine, a.x + dx * x, out, x,
                      bits);
    }
    // The region is kept in stored coordinates, which no longer hold.
    K_FreeRegion(pBitmap->Region);
    pBitmap->Region = nullptr;
    pBitmap->Orientation = nOrientation;
    TakePixels(pBitmap, data.release(), nw, nh, static_cast<int>(stride));
    return RC_SUCCESS;
}

}  // extern "C"
