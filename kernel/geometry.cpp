// The kernel's own geometric bitmap operations: vertical flip, horizontal
// mirror, rotation and nearest-neighbour resize.  Each carries the
// bitmap's region along through the region service table (when the
// display library registered one); a region operation that fails leaves
// the bitmap, pixels included, as it was.
//
// Pixels are moved whole at any depth, packed as the kernel's rows pack
// them (kernel/pixels.h).
#include "kernel/kernel_internal.h"
#include "kernel/kmem.h"
#include "kernel/pixels.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

using namespace zv::kern;

namespace {

bool IsMirrored(int o) { return o == 1 || o == 2 || o == 5 || o == 7; }

// Hangs new pixels of the given size on the descriptor, freeing the old
// ones when the kernel owned them.
void ReplacePixels(BitmapHandle *b, uint8_t *data, int width, int height, int stride) {
    if (OwnedBits(*b) & KERN_OWNS_DATA)
        K_Free(b->Data);
    b->Data = data;
    b->Width = width;
    b->Height = height;
    b->BytesPerLine = stride;
    b->KernelOwned = OwnedWord(OwnedBits(*b) | KERN_OWNS_DATA);
    b->Flags |= BITMAP_CONTIGUOUS;
}

// Calls the region operation of the table's slot when the bitmap has a
// region and the operation is registered; RC_SUCCESS otherwise.
template <class Slot, class... Args>
int CarryRegion(const BitmapHandle *pBitmap, Slot RegionServiceTable::*slot, BitmapHandle *pTarget, Args... args) {
    const Slot op = K_GetRegionServiceTable()->*slot;
    return pBitmap->Region && op ? op(pTarget, args...) : RC_SUCCESS;
}

}  // namespace

extern "C" {

int __stdcall K_FlipBitmap(BitmapHandle *pBitmap) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    const int rc = CarryRegion(pBitmap, &RegionServiceTable::FlipWithBitmap, pBitmap);
    if (rc != RC_SUCCESS)
        return rc;
    const size_t stride = static_cast<size_t>(pBitmap->BytesPerLine);
    for (int top = 0, bottom = pBitmap->Height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(pBitmap->Data + top * stride, pBitmap->Data + (top + 1) * stride,
                         pBitmap->Data + bottom * stride);
    return RC_SUCCESS;
}

int __stdcall K_MirrorBitmap(BitmapHandle *pBitmap) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    zv::KPtr<uint8_t> row = zv::KAlloc<uint8_t>(pBitmap->BytesPerLine);
    if (!row)
        return RC_NO_MEMORY;
    const int rc = CarryRegion(pBitmap, &RegionServiceTable::MirrorWithBitmap, pBitmap);
    if (rc != RC_SUCCESS)
        return rc;
    const int w = pBitmap->Width, bits = pBitmap->BitsPerPixel;
    for (int y = 0; y < pBitmap->Height; ++y) {
        uint8_t *line = pBitmap->Data + static_cast<size_t>(y) * pBitmap->BytesPerLine;
        std::memcpy(row.get(), line, pBitmap->BytesPerLine);
        for (int x = 0; x < w; ++x)
            CopyPixel(row.get(), w - 1 - x, line, x, bits);
    }
    return RC_SUCCESS;
}

// Rotation clockwise on the display by nAngle hundredths of a degree,
// about the centres of the old and the new frame.  Quarter turns exchange
// width and height; other angles take the bounding box of the turned
// frame.  Destination pixel (x, y) takes source pixel
//   sx = oldCx + ((x - newCx) c - (y - newCy) s) / 16384
//   sy = oldCy + ((x - newCx) s + (y - newCy) c) / 16384
// with c, s the cosine and sine of -nAngle (of +nAngle for orientations
// that contain a mirror), the mapping the region rotation uses; pixels
// from outside the source are 0.
int __stdcall K_RotateBitmap(BitmapHandle *pBitmap, int nAngle) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    int64_t a = -static_cast<int64_t>(nAngle) % 36000;
    if (a < 0)
        a += 36000;
    if (IsMirrored(pBitmap->Orientation))
        a = (36000 - a) % 36000;
    const int64_t c = K_CosFixed(static_cast<int>(a)), s = K_SinFixed(static_cast<int>(a));
    const int w = pBitmap->Width, h = pBitmap->Height, bits = pBitmap->BitsPerPixel;
    const int64_t nw = (std::llabs(w * c) + std::llabs(h * s) + 16383) / 16384;
    const int64_t nh = (std::llabs(w * s) + std::llabs(h * c) + 16383) / 16384;
    const int64_t stride = StrideOf(static_cast<int>(nw), bits);
    if (nw > INT32_MAX || nh > INT32_MAX || !stride)
        return RC_INVALID_PARAMETER;
    const size_t bytes = StorageBytes(stride, nh);
    zv::KPtr<uint8_t> data = bytes ? zv::KAllocZero<uint8_t>(bytes) : nullptr;
    if (!data)
        return RC_NO_MEMORY;
    // The region is turned in place on a descriptor of the new size.
    BitmapHandle turned = *pBitmap;
    turned.Width = static_cast<int32_t>(nw);
    turned.Height = static_cast<int32_t>(nh);
    const int rc = CarryRegion(pBitmap, &RegionServiceTable::RotateWithBitmap, &turned, w, h, nAngle);
    if (rc != RC_SUCCESS)
        return rc;
    const int64_t oldCx = w / 2, oldCy = h / 2, newCx = nw / 2, newCy = nh / 2;
    for (int64_t y = 0; y < nh; ++y) {
        uint8_t *out = data.get() + y * stride;
        for (int64_t x = 0; x < nw; ++x) {
            const int64_t sx = oldCx + ((x - newCx) * c - (y - newCy) * s) / 16384;
            const int64_t sy = oldCy + ((x - newCx) * s + (y - newCy) * c) / 16384;
            if (sx >= 0 && sx < w && sy >= 0 && sy < h)
                CopyPixel(pBitmap->Data + sy * pBitmap->BytesPerLine, int(sx), out, int(x), bits);
        }
    }
    ReplacePixels(pBitmap, data.release(), static_cast<int>(nw), static_cast<int>(nh), static_cast<int>(stride));
    return RC_SUCCESS;
}

// Nearest neighbour: destination (x, y) takes source (x W / nW, y H / nH).
int __stdcall K_ResizeBitmap(BitmapHandle *pBitmap, int nNewWidth, int nNewHeight) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    const int bits = pBitmap->BitsPerPixel;
    const int64_t stride = nNewWidth > 0 ? StrideOf(nNewWidth, bits) : 0;
    const size_t bytes = StorageBytes(stride, nNewHeight);
    if (!bytes)
        return RC_INVALID_PARAMETER;
    zv::KPtr<uint8_t> data = zv::KAllocZero<uint8_t>(bytes);
    if (!data)
        return RC_NO_MEMORY;
    // Called while the descriptor still has the old size: the region
    // scales by new / old.
    const int rc = CarryRegion(pBitmap, &RegionServiceTable::ResizeWithBitmap, pBitmap, nNewWidth, nNewHeight);
    if (rc != RC_SUCCESS)
        return rc;
    const int64_t w = pBitmap->Width, h = pBitmap->Height;
    for (int64_t y = 0; y < nNewHeight; ++y) {
        const uint8_t *in = pBitmap->Data + y * h / nNewHeight * pBitmap->BytesPerLine;
        for (int64_t x = 0; x < nNewWidth; ++x)
            CopyPixel(in, int(x * w / nNewWidth), data.get() + y * stride, int(x), bits);
    }
    ReplacePixels(pBitmap, data.release(), nNewWidth, nNewHeight, static_cast<int>(stride));
    return RC_SUCCESS;
}

}  // extern "C"
