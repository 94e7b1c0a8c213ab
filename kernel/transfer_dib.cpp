// Packed device-independent bitmaps: a bitmap to a packed DIB in movable
// global memory and back, and the default palette of the screen.
//
// Written DIBs show the bitmap as its orientation displays it, bottom-up,
// BITMAPINFOHEADER, BI_RGB:
//   1, 4, 8 bits           as stored, with the bitmap's colours
//   2, 3, 5, 6, 7 bits     widened to 8-bit indices, same colours
//   16 (5-5-5), 24, 32     as stored when blue comes first (ORDER_BGR)
//   everything else        24 bits through K_ConvertToBGR
// Read DIBs keep their rows as they are: bottom-up ones become
// ORIENT_BOTTOM_LEFT bitmaps and top-down ones ORIENT_TOP_LEFT, so no row
// moves; 1-, 4-, 8-bit, 5-5-5, 24-bit and blue-first 32-bit data keep
// their depth, other bit-field layouts become 24 bits.
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
            int c = x, r = y;  // stored pixel shown at (x, y), see zvtypes.h
            switch (o) {
            case ORIENT_TOP_RIGHT: c = W - 1 - x; break;
            case ORIENT_BOTTOM_RIGHT: c = W - 1 - x; r = H - 1 - y; break;
            case ORIENT_RIGHT_TOP: c = y; r = H - 1 - x; break;
            case ORIENT_LEFT_TOP: c = y; r = x; break;
            case ORIENT_RIGHT_BOTTOM: c = W - 1 - y; r = H - 1 - x; break;
            case ORIENT_LEFT_BOTTOM: c = W - 1 - y; r = x; break;
            default: break;
            }
            CopyPixel(stored.get() + size_t(r) * storedStride, c, dst, x, plan.Bits);
        }
    }
    return RC_SUCCESS;
}

// ---- reading -----------------------------------------------------------

struct DibLayout {
    int Width, Height;  // Height > 0; TopDown says which way rows run
    bool TopDown;
    int Bits;
    bool Core;          // 12-byte header, RGBTRIPLE table
    int TableEntries;   // entries the header claims (for the bits offset)
    uint32_t Masks[3];  // red, green, blue for 16 and 32 bits
    size_t TableOffset, TableBytes, ImageBytes;
    int64_t Stride;
};

bool ContiguousMask(uint32_t m) { return m && ((m >> __builtin_ctz(m)) & ((m >> __builtin_ctz(m)) + 1)) == 0; }

// Reads and checks a header; RC_INVALID_FORMAT for anything this loader
// cannot take or that does not add up.
int ReadLayout(const BYTE *p, size_t cbBlock, DibLayout *l) {
    if (cbBlock && cbBlock < 4)
        return RC_INVALID_FORMAT;
    uint32_t size;
    std::memcpy(&size, p, 4);
    if (size != 12 && size != 40 && size != 52 && size != 56 && size != 108 && size != 124)
        return RC_INVALID_FORMAT;
    if (cbBlock && cbBlock < size)
        return RC_INVALID_FORMAT;
    *l = DibLayout{};
    l->Core = size == 12;
    uint32_t compression = BI_RGB, used = 0;
    int32_t width, height;
    uint16_t planes, bits;
    if (l->Core) {
        uint16_t w16, h16;
        std::memcpy(&w16, p + 4, 2);
        std::memcpy(&h16, p + 6, 2);
        std::memcpy(&planes, p + 8, 2);
        std::memcpy(&bits, p + 10, 2);
        width = w16;
        height = h16;
    } else {
        std::memcpy(&width, p + 4, 4);
        std::memcpy(&height, p + 8, 4);
        std::memcpy(&planes, p + 12, 2);
        std::memcpy(&bits, p + 14, 2);
        std::memcpy(&compression, p + 16, 4);
        std::memcpy(&used, p + 32, 4);
    }
    if (planes != 1 || width <= 0 || height == 0 || height == INT32_MIN)
        return RC_INVALID_FORMAT;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return RC_INVALID_FORMAT;
    const bool fields = compression == BI_BITFIELDS;
    if (compression != BI_RGB && !(fields && (bits == 16 || bits == 32)))
        return RC_INVALID_FORMAT;
    l->Width = width;
    l->TopDown = height < 0;
    l->Height = height < 0 ? -height : height;
    l->Bits = bits;
    if (l->Core)
        l->TableEntries = bits <= 8 ? 1 << bits : 0;
    else if (used && bits <= 8)
        l->TableEntries = used > 0x10000u ? -1 : int(used);
    else
        l->TableEntries = bits <= 8 ? 1 << bits : 0;
    if (l->TableEntries < 0)
        return RC_INVALID_FORMAT;
    l->TableOffset = size;
    l->TableBytes = size_t(l->TableEntries) * (l->Core ? 3 : 4);
    // Masks: after a 40-byte header (the three words count as its table),
    // inside the larger headers.
    if (fields) {
        if (size == 40)
            l->TableBytes = 12;
        if (cbBlock && cbBlock < 52)
            return RC_INVALID_FORMAT;
        std::memcpy(l->Masks, p + 40, 12);
        for (uint32_t m : l->Masks)
            if (!ContiguousMask(m))
                return RC_INVALID_FORMAT;
    } else if (bits == 16) {
        l->Masks[0] = 0x7C00, l->Masks[1] = 0x03E0, l->Masks[2] = 0x001F;
    } else if (bits == 32) {
        l->Masks[0] = 0xFF0000, l->Masks[1] = 0xFF00, l->Masks[2] = 0xFF;
    }
    l->Stride = StrideOf(width, bits);
    if (l->Stride == 0 || uint64_t(l->Stride) * l->Height > (SIZE_MAX >> 2))
        return RC_INVALID_FORMAT;
    l->ImageBytes = size_t(l->Stride) * l->Height;
    if (cbBlock && l->TableOffset + l->TableBytes > cbBlock)
        return RC_INVALID_FORMAT;
    return RC_SUCCESS;
}

// A mask's value scaled to 0..255.
struct MaskReader {
    int Shift;
    uint32_t Max;
    BYTE Read(uint32_t v, uint32_t mask) const { return BYTE(((v & mask) >> Shift) * 255u / Max); }
};

MaskReader ReaderOf(uint32_t mask) { return {__builtin_ctz(mask), mask >> __builtin_ctz(mask)}; }

// Rows of other bit-field layouts to 24-bit blue, green, red.
void DecodeMaskedRow(const DibLayout &l, const BYTE *src, BYTE *dst) {
    const MaskReader r = ReaderOf(l.Masks[0]), g = ReaderOf(l.Masks[1]), b = ReaderOf(l.Masks[2]);
    for (int x = 0; x < l.Width; ++x) {
        uint32_t v;
        if (l.Bits == 16) {
            uint16_t w;
            std::memcpy(&w, src + 2 * x, 2);
            v = w;
        } else {
            std::memcpy(&v, src + 4 * x, 4);
        }
        dst[3 * x] = b.Read(v, l.Masks[2]);
        dst[3 * x + 1] = g.Read(v, l.Masks[1]);
        dst[3 * x + 2] = r.Read(v, l.Masks[0]);
    }
}

}  // namespace

extern "C" {

HGLOBAL __stdcall K_ConvertToDib(const BitmapHandle *pBitmap) {
    if (!HasData(pBitmap) || !IsValidDepth(pBitmap->BitsPerPixel))
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
    DibLayout l;
    int rc = ReadLayout(p, cbBlock, &l);
    if (rc != RC_SUCCESS)
        return rc;
    const BYTE *bits = static_cast<const BYTE *>(pBits);
    if (cbBlock && (bits < p || size_t(bits - p) > cbBlock || cbBlock - size_t(bits - p) < l.ImageBytes))
        return RC_INVALID_FORMAT;

    const bool standard = l.Bits <= 8 || l.Bits == 24 ||
                          (l.Bits == 16 && l.Masks[0] == 0x7C00 && l.Masks[1] == 0x03E0 && l.Masks[2] == 0x1F) ||
                          (l.Bits == 32 && l.Masks[0] == 0xFF0000 && l.Masks[1] == 0xFF00 && l.Masks[2] == 0xFF);
    const int outBits = standard ? l.Bits : 24;
    BitmapHandle b{};
    rc = K_CreateBitmap(&b, l.Width, l.Height, outBits, ORDER_BGR,
                        l.TopDown ? ORIENT_TOP_LEFT : ORIENT_BOTTOM_LEFT);
    if (rc != RC_SUCCESS)
        return rc;
    if (l.Bits <= 8) {
        const int n = std::min(l.TableEntries, b.ColorCount);
        const BYTE *t = p + l.TableOffset;
        for (int i = 0; i < b.ColorCount; ++i) {
            const BYTE *e = t + size_t(i) * (l.Core ? 3 : 4);
            b.Palette[i] = i < n ? RGBQUAD{e[0], e[1], e[2], 0} : RGBQUAD{0, 0, 0, 0};
        }
    }
    if (standard && l.Stride == b.BytesPerLine) {
        std::memcpy(b.Data, bits, l.ImageBytes);
    } else {
        for (int r = 0; r < l.Height; ++r)
            DecodeMaskedRow(l, bits + size_t(r) * l.Stride, b.Data + size_t(r) * b.BytesPerLine);
    }
    *pBitmap = b;
    return RC_SUCCESS;
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
    DibLayout l;
    int rc = ReadLayout(p, size, &l);
    if (rc == RC_SUCCESS)
        rc = K_ConvertFromDib(pBitmap, reinterpret_cast<const BITMAPINFOHEADER *>(p),
                              p + l.TableOffset + l.TableBytes, size);
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
