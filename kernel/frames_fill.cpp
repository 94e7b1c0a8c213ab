// Fill with one colour (limited by the bitmap's region), the end of pixel
// access, and the release of a descriptor copy.
#include "kernel/frames.h"
#include "kernel/pixels.h"

#include <cstring>

using namespace zv::kern;

namespace {

constexpr int kChunk = 64;  // pixels of the fill pattern kept on the stack

}  // namespace

extern "C" {

int __stdcall K_FillBitmap(BitmapHandle *pBitmap, COLORREF crColor) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    BitmapHandle &b = *pBitmap;
    const int bits = b.BitsPerPixel;
    if (!IsValidDepth(bits))
        return RC_INVALID_FORMAT;
    // One pixel of the colour in the bitmap's format.
    BYTE one[8] = {};
    uint32_t value = 0;
    if (bits <= 8 && (crColor >> 24) == 0x01) {
        value = crColor & ((1u << bits) - 1);
        PutBits(one, 0, bits, value);
    } else {
        const BYTE bgr[3] = {GetBValue(crColor), GetGValue(crColor), GetRValue(crColor)};
        const int rc = K_ConvertFromBGR(&b, bgr, one, 1);
        if (rc != RC_SUCCESS)
            return rc;
        value = bits < 8 ? GetBits(one, 0, bits) : bits == 12 ? Get12(one, 0) : 0;
    }
    if (bits < 8 || bits == 12) {
        ForEachSelectedRun(b.Region, 0, 0, b.Width, b.Height, [&](int y, int x0, int x1) {
            BYTE *row = RowOf(b, y);
            for (int x = x0; x < x1; ++x)
                bits == 12 ? Put12(row, x, value) : PutBits(row, x, bits, value);
        });
        return RC_SUCCESS;
    }
    const int n = bits / 8;
    BYTE pattern[kChunk * 8];
    for (int i = 0; i < kChunk; ++i)
        std::memcpy(pattern + i * n, one, n);
    ForEachSelectedRun(b.Region, 0, 0, b.Width, b.Height, [&](int y, int x0, int x1) {
        BYTE *p = RowOf(b, y) + size_t(x0) * n;
        for (int left = x1 - x0; left > 0; left -= kChunk, p += kChunk * n)
            std::memcpy(p, pattern, size_t(std::min(left, kChunk)) * n);
    });
    return RC_SUCCESS;
}

int __stdcall K_ReleaseAccess(BitmapHandle *pBitmap) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    pBitmap->KernelAccess = 0;
    return RC_SUCCESS;
}

}  // extern "C"
