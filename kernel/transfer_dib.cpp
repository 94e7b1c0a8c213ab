// Packed device-independent bitmaps: a bitmap to a packed DIB in movable
// global memory and back, and the default palette of the screen.
//
// Written DIBs show the bitmap as its orientation displays it, bottom-up,
// BITMAPINFOHEADER, BI_RGB:
//   1, 4, 8 bits           as stored, with the bitmap's colours
//   2, 3, 5, 6, 7 bits     widened to 8-bit indices, same colours
//   16 (5-5-5), 24, 32     as stored when blue comes first (ORDER_BGR)
//   everything else        24 bits through K_ConvertToBGR
// DIBs are read by the kernel's one DIB reader (dib_read.cpp).
#include "kernel/dib_read.h"
#include "kernel/kernel_internal.h"
#include "kernel/kmem.h"
#include "kernel/pixels.h"

#include <algorithm>
#include <cstring>

using namespace zv::kern;

namespace {

// The depth and kind of a written DIB for a bitmap.
struct DibPlan {
    int Bits;      // 1, 4, 8, 16, 24 or 32
    bool Copy;     // stored rows are DIB rows as they are
    bool Widen;    // 2..7-bit indices to 8 bits
    int Colors;    // colour table entries
};

DibPlan PlanFor(const BitmapHandle &b) {
    const int bits = b.BitsPerPixel;
    if (bits == 1 || bits == 4 || bits == 8)
        return {bits, true, false, 0};
    if (bits < 8)
        return {8, false, true, 0};
    const bool blueFirst = b.Order == ORDER_BGR;
    if ((bits == 24 || bits == 32) && blueFirst)
        return {bits, true, false, 0};
    if (bits == 16 && blueFirst && !K_IsGrayScale(&b))
        return {16, true, false, 0};
    return {24, false, false, 0};
}

// Stored row r of b in the plan's DIB format (stored width) at out.
int StoredRowToDib(const BitmapHandle &b, const DibPlan &plan, int r, BYTE *out) {
    const BYTE *row = b.Data + size_t(r) * b.BytesPerLine;
    if (plan.Copy) {
        std::memcpy(out, row, size_t(StrideOf(b.Width, plan.Bits)));
        return RC_SUCCESS;
    }
    if (plan.Widen) {
        for (int x = 0; x < b.Width; ++x)
            out[x] = BYTE(GetBits(row, x, b.BitsPerPixel));
        return RC_SUCCESS;
    }
    return K_ConvertToBGR(&b, row, out, b.Width);
}

// Fills the bits of a DIB of the displayed image: DIB row i (bottom-up)
// is displayed row H - 1 - i.  Orientations 0 and 2 move whole rows;
// the others go through the whole stored image in DIB format.
int WriteDibBits(const BitmapHandle &b, const DibPlan &plan, BYTE *bits, int dispW, int dispH) {
    const int64_t dibStride = StrideOf(dispW, plan.Bits);
    const int o = b.Orientation;
    if (o == ORIENT_TOP_LEFT || o == ORIENT_BOTTOM_LEFT) {
        for (int i = 0; i < dispH; ++i) {
            const int r = o == ORIENT_BOTTOM_LEFT ? i : dispH - 1 - i;
            const int rc = StoredRowToDib(b, plan, r, bits + size_t(i) * dibStride);
            if (rc < 0)
                return rc;
        }
        return RC_SUCCESS;
    }
    const int64_t storedStride = StrideOf(b.Width, plan.Bits);
    zv::KPtr<BYTE> stored = zv::KAlloc<BYTE>(size_t(storedStride) * b.Height);
    if (!stored)
        return RC_NO_MEMORY;
    for (int r = 0; r < b.Height; ++r) {
        const int rc = StoredRowToDib(b, plan, r, stored.get() + size_t(r) * storedStride);
        if (rc < 0)
            return rc;
    }
    const int W = b.Width, H = b.Height;
    for (int y = 0; y < dispH; ++y) {
        BYTE *dst = bits + size_t(dispH - 1 - y) * dibStride;
        for (int x = 0; x < dispW; ++x) {
            int c = W - 1 - x, r = y;  // stored pixel shown at (x, y), see zvtypes.h
            switch (o) {
            case ORIENT_BOTTOM_RIGHT: r = H - 1 - y; break;
            case ORIENT_RIGHT_TOP: c = y; r = H - 1 - x; break;
            case ORIENT_LEFT_TOP: c = y; r = x; break;
            case ORIENT_RIGHT_BOTTOM: c = W - 1 - y; r = H - 1 - x; break;
            case ORIENT_LEFT_BOTTOM: c = W - 1 - y; r = x; break;
            default: break;  // ORIENT_TOP_RIGHT
            }
            CopyPixel(stored.get() + size_t(r) * storedStride, c, dst, x, plan.Bits);
        }
    }
    return RC_SUCCESS;
}

}  // namespace

extern "C" {

HGLOBAL __stdcall K_ConvertToDib(const BitmapHandle *pBitmap) {
    if (!HasData(pBitmap))
        return nullptr;
    const BitmapHandle &b = *pBitmap;
    DibPlan plan = PlanFor(b);
    RGBQUAD colors[256];
    if (plan.Bits <= 8) {
        const int ramp = 1 << std::min(b.BitsPerPixel, 8);
        plan.Colors = std::max(0, K_GetBitmapColors(&b, 0, ramp, colors));
        if (plan.Colors == 0) {  // a palette without entries: the gray ramp
            for (int i = 0; i < ramp; ++i) {
                const BYTE v = BYTE(i * 255 / (ramp - 1));
                colors[i] = RGBQUAD{v, v, v, 0};
            }
            plan.Colors = ramp;
        }
    }
    const bool turned = ExchangesAxes(b.Orientation);
    const int dispW = turned ? b.Height : b.Width, dispH = turned ? b.Width : b.Height;
    const int64_t stride = StrideOf(dispW, plan.Bits);
    if (stride == 0 || uint64_t(stride) * dispH > (SIZE_MAX >> 2))
        return nullptr;
    const size_t image = size_t(stride) * dispH;
    const size_t table = size_t(plan.Colors) * sizeof(RGBQUAD);
    HGLOBAL h = K_GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + table + image);
    if (!h)
        return nullptr;
    BYTE *p = static_cast<BYTE *>(GlobalLock(h));
    if (!p) {
        K_GlobalFree(h);
        return nullptr;
    }
    BITMAPINFOHEADER hdr{};
    hdr.biSize = sizeof hdr;
    hdr.biWidth = dispW;
    hdr.biHeight = dispH;
    hdr.biPlanes = 1;
    hdr.biBitCount = WORD(plan.Bits);
    hdr.biCompression = BI_RGB;
    hdr.biSizeImage = DWORD(image);
    hdr.biClrUsed = DWORD(plan.Colors);
    std::memcpy(p, &hdr, sizeof hdr);
    std::memcpy(p + sizeof hdr, colors, table);
    const int rc = WriteDibBits(b, plan, p + sizeof hdr + table, dispW, dispH);
    GlobalUnlock(h);
    if (rc < 0) {
        K_GlobalFree(h);
        return nullptr;
    }
    return h;
}

HGLOBAL __stdcall K_ChangeToDib(BitmapHandle *pBitmap) {
    HGLOBAL h = K_ConvertToDib(pBitmap);
    if (h)
        K_FreeBitmap(pBitmap);
    return h;
}

int __stdcall K_ConvertFromDib(BitmapHandle *pBitmap, const BITMAPINFOHEADER *pHeader, const void *pBits,
                               size_t cbBlock) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!pHeader || !pBits)
        return RC_INVALID_PARAMETER;
    const BYTE *p = reinterpret_cast<const BYTE *>(pHeader);
    const BYTE *bits = static_cast<const BYTE *>(pBits);
    if (!cbBlock)
        return ReadDib(DibParts{p, kUnknownRoom, bits, kUnknownRoom}, pBitmap);
    if (bits < p || size_t(bits - p) > cbBlock)
        return RC_INVALID_FORMAT;
    return ReadDib(DibParts{p, cbBlock, bits, cbBlock - size_t(bits - p)}, pBitmap);
}

int __stdcall K_ConvertFromDibHandle(BitmapHandle *pBitmap, HGLOBAL hDib) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    if (!hDib)
        return RC_INVALID_PARAMETER;
    const size_t size = GlobalSize(hDib);
    const BYTE *p = static_cast<const BYTE *>(GlobalLock(hDib));
    if (!p)
        return RC_INVALID_PARAMETER;
    const int rc = ReadDib(DibParts{p, size, nullptr, 0}, pBitmap);
    GlobalUnlock(hDib);
    if (rc == RC_SUCCESS)
        K_GlobalFree(hDib);  // taken over, and done with
    return rc;
}

HPALETTE __stdcall K_CreateDefaultPalette(void) {
    HDC screen = GetDC(nullptr);
    if (!screen)
        return nullptr;
    HPALETTE palette = nullptr;
    if (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) {
        struct {
            WORD Version, Count;
            PALETTEENTRY Entries[256];
        } lp{0x300, 256, {}};
        const UINT n = GetSystemPaletteEntries(screen, 0, 256, lp.Entries);
        if (n) {
            lp.Count = WORD(std::min(n, 256u));
            palette = CreatePalette(reinterpret_cast<LOGPALETTE *>(&lp));
        }
    }
    ReleaseDC(nullptr, screen);
    return palette;
}

}  // extern "C"
