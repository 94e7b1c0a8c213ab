// Pixels of any depth as 8-bit red, green and blue: the pixel read by
// row and column, the colour of one pixel, and the conversion of rows
// between a bitmap's format and 24-bit blue-green-red, both ways.
//
// Every format is one small reader/writer type; the loops are generated
// from one template per direction and the format is chosen once per
// call.  The rules, by depth and Order:
//   1..8        the palette entry (K_GetBitmapColors: the table, or the
//               gray ramp of a bitmap without one); indices beyond the
//               entries read as black
//   12, 16 gray the significant bits (WindowLowBit..WindowHighBit while
//               BITMAP_WINDOW_LEVEL is set, else LowBit..HighBit): with
//               the window-level table in force its entry, otherwise a
//               gray level (rows) or the value scaled to 0..65535 with red
//               its low byte and green its high byte (one pixel's value)
//   16          5-5-5, red in bits 10-14 for Order 1, blue there otherwise
//   24, 32      bytes blue, green, red for Order 1, red first otherwise
//   48, 64      the high bytes of the 16-bit samples, ordered as above
// 12-bit data is gray whatever its Order; 16-bit data is gray for Order 2.
#include "kernel/kernel_internal.h"
#include "kernel/pixels.h"

#include <algorithm>
#include <cstring>

using namespace zv::kern;

namespace {

struct Rgb {
    int r, g, b;
};

// What the readers need beyond the row, worked out once per call.
struct Format {
    RGBQUAD Colors[256];   // palette depths: every index readable
    int ColorCount;        // entries the bitmap has
    const RGBQUAD *Lut;    // window-level table in force, or null
    uint32_t LutLast;
    int Shift;             // gray: v = (raw >> Shift) & Mask, Count bits
    uint32_t Mask;
    int Count;
};

// ---- readers and writers ---------------------------------------------------

template <int Bits>
struct Indexed {
    static constexpr int Size = Bits;  // bits per pixel
    static Rgb Get(const Format &f, const BYTE *p, int x) {
        const RGBQUAD &q = f.Colors[GetBits(p, x, Bits)];
        return Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    // The nearest entry by the kernel's rule.
    static void Put(const Format &f, BYTE *p, int x, Rgb c) {
        const int best = NearestEntry(f.Colors, f.ColorCount, c.r, c.g, c.b);
        PutBits(p, x, Bits, uint32_t(best));
    }
};

enum class GrayRule { Level, Table, Packed };

template <int Bits, GrayRule Rule>
struct Gray {
    static constexpr int Size = Bits;
    static uint32_t Raw(const BYTE *p, int x) { return Bits == 12 ? Get12(p, x) : uint32_t(p[2 * x] | p[2 * x + 1] << 8); }
    static Rgb Get(const Format &f, const BYTE *p, int x) {
        const uint32_t v = (Raw(p, x) >> f.Shift) & f.Mask;
        if constexpr (Rule == GrayRule::Table) {
            const RGBQUAD &q = f.Lut[std::min(v, f.LutLast)];
            return Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue};
        } else if constexpr (Rule == GrayRule::Packed) {
            const uint32_t w = f.Mask < 65535 ? v * 65535 / f.Mask : v;
            return Rgb{int(w & 0xFF), int(w >> 8), 0};
        } else {
            const int g = f.Count >= 8 ? int(v) : int(v << (8 - f.Count));
            return Rgb{g, g, g};
        }
    }
    // A gray level spread over the significant bits; the other bits 0.
    static void Put(const Format &f, BYTE *p, int x, Rgb c) {
        const uint32_t gray = uint32_t(c.r * 77 + c.g * 151 + c.b * 28 + 128) >> 8;
        const uint32_t v = (gray * f.Mask + 127) / 255 << f.Shift;
        if constexpr (Bits == 12) {
            Put12(p, x, v);
        } else {
            p[2 * x] = BYTE(v);
            p[2 * x + 1] = BYTE(v >> 8);
        }
    }
};

inline int Widen5(uint32_t c) { return int((c << 3) | (c >> 2)); }

template <bool RedHigh>
struct Rgb555 {
    static constexpr int Size = 16;
    static Rgb Get(const Format &, const BYTE *p, int x) {
        const uint32_t w = uint32_t(p[2 * x] | p[2 * x + 1] << 8);
        const int lo = Widen5(w & 31), mid = Widen5((w >> 5) & 31), hi = Widen5((w >> 10) & 31);
        return RedHigh ? Rgb{hi, mid, lo} : Rgb{lo, mid, hi};
    }
    static void Put(const Format &, BYTE *p, int x, Rgb c) {
        const uint32_t hi = uint32_t(RedHigh ? c.r : c.b) >> 3, lo = uint32_t(RedHigh ? c.b : c.r) >> 3;
        const uint32_t w = hi << 10 | uint32_t(c.g >> 3) << 5 | lo;
        p[2 * x] = BYTE(w);
        p[2 * x + 1] = BYTE(w >> 8);
    }
};

// Samples of Sample bytes (1 or 2, the high byte carrying the colour),
// Count of them per pixel; the first three are the colour.  Writers set
// a fourth sample to 0 and 16-bit samples to the byte times 257.
template <int Sample, int Count, bool BlueFirst>
struct Samples {
    static constexpr int Size = 8 * Sample * Count;
    static Rgb Get(const Format &, const BYTE *p, int x) {
        const BYTE *q = p + size_t(x) * Sample * Count + (Sample - 1);
        const int a = q[0], m = q[Sample], z = q[2 * Sample];
        return BlueFirst ? Rgb{z, m, a} : Rgb{a, m, z};
    }
    static void Put(const Format &, BYTE *p, int x, Rgb c) {
        BYTE *q = p + size_t(x) * Sample * Count;
        const int v[4] = {BlueFirst ? c.b : c.r, c.g, BlueFirst ? c.r : c.b, 0};
        for (int i = 0; i < Count; ++i)
            for (int k = 0; k < Sample; ++k)
                q[i * Sample + k] = BYTE(v[i]);
    }
};

// ---- the format of a bitmap ------------------------------------------------

bool IsGrayFormat(const BitmapHandle *b) {
    return b->BitsPerPixel == 12 || (b->BitsPerPixel == 16 && b->Order == ORDER_GRAY);
}

// Fills f for b; wanted is the width of the gray value a reader wants
// without a table (8 for gray levels, 16 for a pixel's value).
GrayRule SetUp(const BitmapHandle *b, Format &f, int wanted, GrayRule noTable) {
    f.Lut = nullptr;
    f.LutLast = 0;
    f.ColorCount = 0;
    if (b->BitsPerPixel <= 8) {
        std::memset(f.Colors, 0, sizeof f.Colors);
        f.ColorCount = std::max(0, K_GetBitmapColors(b, 0, 256, f.Colors));
        return noTable;
    }
    if (!IsGrayFormat(b))
        return noTable;
    const bool window = (b->Flags & BITMAP_WINDOW_LEVEL) != 0;
    const bool table = window && b->WindowLUT && b->WindowLUTLength;
    const int low = window ? b->WindowLowBit : b->LowBit, high = window ? b->WindowHighBit : b->HighBit;
    UINT mask = 0;
    K_GetSignificantBits(b->BitsPerPixel, table ? b->BitsPerPixel : wanted, low, high, &f.Count, &mask, &f.Shift);
    f.Mask = mask;
    if (!table)
        return noTable;
    f.Lut = b->WindowLUT;
    f.LutLast = b->WindowLUTLength - 1;
    return GrayRule::Table;
}

// Calls fn with the reader/writer type of b's format: the one place where
// formats are told apart.
template <class Fn>
int WithFormat(const BitmapHandle *b, Format &f, int wanted, GrayRule noTable, Fn &&fn) {
    const GrayRule rule = SetUp(b, f, wanted, noTable);
    const bool bgr = b->Order == ORDER_BGR;
    switch (b->BitsPerPixel) {
    case 1: return fn(Indexed<1>{});
    case 2: return fn(Indexed<2>{});
    case 3: return fn(Indexed<3>{});
    case 4: return fn(Indexed<4>{});
    case 5: return fn(Indexed<5>{});
    case 6: return fn(Indexed<6>{});
    case 7: return fn(Indexed<7>{});
    case 8: return fn(Indexed<8>{});
    case 12:
    case 16:
        if (IsGrayFormat(b)) {
            if (rule == GrayRule::Table)
                return b->BitsPerPixel == 12 ? fn(Gray<12, GrayRule::Table>{}) : fn(Gray<16, GrayRule::Table>{});
            if (rule == GrayRule::Packed)
                return b->BitsPerPixel == 12 ? fn(Gray<12, GrayRule::Packed>{}) : fn(Gray<16, GrayRule::Packed>{});
            return b->BitsPerPixel == 12 ? fn(Gray<12, GrayRule::Level>{}) : fn(Gray<16, GrayRule::Level>{});
        }
        return bgr ? fn(Rgb555<true>{}) : fn(Rgb555<false>{});
    case 24: return bgr ? fn(Samples<1, 3, true>{}) : fn(Samples<1, 3, false>{});
    case 32: return bgr ? fn(Samples<1, 4, true>{}) : fn(Samples<1, 4, false>{});
    case 48: return bgr ? fn(Samples<2, 3, true>{}) : fn(Samples<2, 3, false>{});
    case 64: return bgr ? fn(Samples<2, 4, true>{}) : fn(Samples<2, 4, false>{});
    default: return RC_INVALID_FORMAT;
    }
}

// The loops run in the direction that lets source and destination share
// a buffer: from the end when the output pixel is the larger.
template <class P>
void ToBgr(const Format &f, const BYTE *src, BYTE *dst, int n) {
    auto one = [&](int x) {
        const Rgb c = P::Get(f, src, x);
        dst[3 * x] = BYTE(c.b), dst[3 * x + 1] = BYTE(c.g), dst[3 * x + 2] = BYTE(c.r);
    };
    if (P::Size <= 24)
        for (int x = n - 1; x >= 0; --x)
            one(x);
    else
        for (int x = 0; x < n; ++x)
            one(x);
}

template <class P>
void FromBgr(const Format &f, const BYTE *src, BYTE *dst, int n) {
    auto one = [&](int x) { P::Put(f, dst, x, Rgb{src[3 * x + 2], src[3 * x + 1], src[3 * x]}); };
    if (P::Size <= 24)
        for (int x = 0; x < n; ++x)
            one(x);
    else
        for (int x = n - 1; x >= 0; --x)
            one(x);
}

}  // namespace

extern "C" {

UINT __stdcall K_GetPixelValue(const BitmapHandle *pBitmap, int nRow, int nColumn) {
    if (!HasData(pBitmap) || nRow < 0 || nRow >= pBitmap->Height || nColumn < 0 || nColumn >= pBitmap->Width)
        return K_NO_PIXEL;
    const BYTE *row = pBitmap->Data + size_t(nRow) * size_t(pBitmap->BytesPerLine);
    Format f;
    UINT value = K_NO_PIXEL;
    WithFormat(pBitmap, f, 16, GrayRule::Packed, [&](auto p) {
        using P = decltype(p);
        const Rgb c = P::Get(f, row, nColumn);
        value = UINT(c.r) | UINT(c.g) << 8 | UINT(c.b) << 16;
        return RC_SUCCESS;
    });
    return value;
}

int __stdcall K_ConvertToBGR(const BitmapHandle *pFormat, const void *pSrc, BYTE *pDst, int nPixels) {
    if (!pFormat)
        return RC_NO_BITMAP;
    if (!pSrc || !pDst || nPixels < 0)
        return RC_INVALID_PARAMETER;
    Format f;
    return WithFormat(pFormat, f, 8, GrayRule::Level, [&](auto p) {
        ToBgr<decltype(p)>(f, static_cast<const BYTE *>(pSrc), pDst, nPixels);
        return RC_SUCCESS;
    });
}

int __stdcall K_ConvertFromBGR(const BitmapHandle *pFormat, const BYTE *pSrc, void *pDst, int nPixels) {
    if (!pFormat)
        return RC_NO_BITMAP;
    if (!pSrc || !pDst || nPixels < 0)
        return RC_INVALID_PARAMETER;
    Format f;
    // Gray values are written into the significant bits whole (up to 16).
    return WithFormat(pFormat, f, 16, GrayRule::Level, [&](auto p) {
        FromBgr<decltype(p)>(f, pSrc, static_cast<BYTE *>(pDst), nPixels);
        return RC_SUCCESS;
    });
}

}  // extern "C"
