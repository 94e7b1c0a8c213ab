// Source pixel readers shared by the row converters and the expanders.
//
// A reader is a stateless type with  static Rgb Read(src, x, ctx)  giving
// the 8-bit red, green and blue of source pixel x.  Everything a reader
// needs beyond the row (palette, gray bits, window-level table) is worked
// out once per row into a RowContext, so the per-pixel code holds no test
// on formats; the Order and window-level variants are separate reader
// types chosen once per call.
#pragma once

#include "paint/window_level.h"
#include "zvkern.h"

#include <algorithm>
#include <cstdint>

namespace zv::conv {

struct Rgb {
    int r, g, b;
};

struct RowContext {
    const RGBQUAD *Palette;   // sources of 8 bits or fewer: 2^bits entries
    const RGBQUAD *Window;    // window-level table, or null
    uint32_t WindowLast;      // its last index
    int Shift;                // gray rule: v = (raw >> Shift) & Mask
    uint32_t Mask;
    int Up;                   // converters: v <<= Up (8 - n when n < 8)
    RGBQUAD GrayRamp[256];    // stands in for a missing source palette
};

inline bool BlueFirst(int order) { return order == ORDER_BGR || order == ORDER_BGR_CONVERT; }

// The significant bits of a 12- or 16-bit gray pixel for this row.  The
// wanted width is 8 without a window-level table (the value is a gray
// level) and the pixel's depth with one (the value indexes the table).
inline void SetGrayBits(const BitmapHandle *b, RowContext &c) {
    const bool lut = HasWindowLut(b);
    c.Window = lut ? b->WindowLUT : nullptr;
    c.WindowLast = lut ? b->WindowLUTLength - 1 : 0;
    int n = 8, shift = 0;
    UINT mask = 0xFF;
    if (K_GetSignificantBits(b->BitsPerPixel, lut ? b->BitsPerPixel : 8, b->LowBit, b->HighBit, &n, &mask,
                             &shift) != RC_SUCCESS) {
        n = 8;
        mask = 0xFF;
        shift = b->BitsPerPixel > 8 ? b->BitsPerPixel - 8 : 0;
    }
    c.Shift = shift;
    c.Mask = mask;
    c.Up = n < 8 ? 8 - n : 0;
}

// The 8-bit gray level of a significant value v (low 8 bits) without a
// window-level table: scaled by 255 / mask when fewer than 8 bits count.
inline uint8_t GrayLevel(unsigned v, unsigned mask) {
    const unsigned g = v & mask;
    return static_cast<uint8_t>(mask < 255 ? g * 255 / mask : g);
}

inline Rgb FromQuad(const RGBQUAD &q) { return Rgb{q.rgbRed, q.rgbGreen, q.rgbBlue}; }

// ---- palette indices ---------------------------------------------------

// Index of pixel x at 1 to 8 bits, most significant bits first.  Depths
// that divide 8 never straddle a byte; 3, 5, 6 and 7 bits form one bit
// stream and an index crossing a byte boundary is read from the two bytes
// as a big-endian 16-bit value.
template <int Bits>
inline unsigned IndexAt(const BYTE *src, int x) {
    constexpr unsigned mask = (1u << Bits) - 1;
    if constexpr (Bits == 8) {
        return src[x];
    } else if constexpr (8 % Bits == 0) {
        constexpr int perByte = 8 / Bits;
        const int slot = x % perByte;
        return (src[x / perByte] >> (8 - Bits - slot * Bits)) & mask;
    } else {
        const unsigned bit = static_cast<unsigned>(x) * Bits;
        const BYTE *p = src + (bit >> 3);
        const unsigned off = bit & 7;
        if (off + Bits <= 8)
            return (p[0] >> (8 - off - Bits)) & mask;
        return ((static_cast<unsigned>(p[0]) << 8 | p[1]) >> (16 - off - Bits)) & mask;
    }
}

template <int Bits>
struct IndexedReader {
    static Rgb Read(const BYTE *src, int x, const RowContext &c) { return FromQuad(c.Palette[IndexAt<Bits>(src, x)]); }
};

// ---- deep gray -----------------------------------------------------------

inline unsigned Raw12(const BYTE *src, int x) {
    const BYTE *p = src + (x >> 1) * 3;
    return (x & 1) ? (p[1] | p[2] << 8) >> 4 : (p[0] | p[1] << 8) & 0x0FFF;
}

inline unsigned Raw16(const BYTE *src, int x) { return src[2 * x] | src[2 * x + 1] << 8; }

template <int Bits>
inline unsigned RawGray(const BYTE *src, int x) {
    if constexpr (Bits == 12)
        return Raw12(src, x);
    else
        return Raw16(src, x);
}

// Converters' gray rule: a gray level shifted up to 8 bits, or the
// window-level table's entry (indices clamped to the table).
template <int Bits, bool Window>
struct GrayReader {
    static Rgb Read(const BYTE *src, int x, const RowContext &c) {
        const unsigned v = (RawGray<Bits>(src, x) >> c.Shift) & c.Mask;
        if constexpr (Window) {
            return FromQuad(c.Window[std::min<uint32_t>(v, c.WindowLast)]);
        } else {
            const int g = static_cast<int>(v << c.Up);
            return Rgb{g, g, g};
        }
    }
};

// ---- true colour ---------------------------------------------------------

inline int Widen5(unsigned c) { return static_cast<int>((c << 3) | (c >> 2)); }

// 5-5-5 in a little-endian word, bit 15 ignored; blue-first orders keep
// red in bits 10-14.
template <bool BlueFirstOrder>
struct Rgb555Reader {
    static Rgb Read(const BYTE *src, int x, const RowContext &) {
        const unsigned w = Raw16(src, x);
        const int lo = Widen5(w & 31), mid = Widen5((w >> 5) & 31), hi = Widen5((w >> 10) & 31);
        return BlueFirstOrder ? Rgb{hi, mid, lo} : Rgb{lo, mid, hi};
    }
};

// Three channels at byte offsets 0, Step, 2 x Step of a Size-byte pixel.
template <int Size, int First, int Step, bool BlueFirstOrder>
struct BytesReader {
    static Rgb Read(const BYTE *src, int x, const RowContext &) {
        const BYTE *p = src + static_cast<ptrdiff_t>(x) * Size + First;
        const int a = p[0], m = p[Step], z = p[2 * Step];
        return BlueFirstOrder ? Rgb{z, m, a} : Rgb{a, m, z};
    }
};

template <bool B> using Reader24 = BytesReader<3, 0, 1, B>;
template <bool B> using Reader32 = BytesReader<4, 0, 1, B>;
template <bool B> using Reader48 = BytesReader<6, 1, 2, B>;  // high bytes of 16-bit samples
template <bool B> using Reader64 = BytesReader<8, 1, 2, B>;

// Calls f(Reader{}) with the reader for this depth and the bitmap's
// Order and window-level state: the one place where formats are tested.
template <int Bits, class F>
void WithReader(const BitmapHandle *b, RowContext &c, F &&f) {
    if constexpr (Bits <= 8) {
        f(IndexedReader<Bits>{});
    } else if constexpr (Bits == 12) {
        SetGrayBits(b, c);
        if (c.Window)
            f(GrayReader<12, true>{});
        else
            f(GrayReader<12, false>{});
    } else if constexpr (Bits == 16) {
        if (b->Order == ORDER_GRAY) {
            SetGrayBits(b, c);
            if (c.Window)
                f(GrayReader<16, true>{});
            else
                f(GrayReader<16, false>{});
        } else if (BlueFirst(b->Order)) {
            f(Rgb555Reader<true>{});
        } else {
            f(Rgb555Reader<false>{});
        }
    } else {
        using R24 = std::conditional_t<Bits == 24, Reader24<true>,
                    std::conditional_t<Bits == 32, Reader32<true>,
                    std::conditional_t<Bits == 48, Reader48<true>, Reader64<true>>>>;
        using R24f = std::conditional_t<Bits == 24, Reader24<false>,
                     std::conditional_t<Bits == 32, Reader32<false>,
                     std::conditional_t<Bits == 48, Reader48<false>, Reader64<false>>>>;
        if (BlueFirst(b->Order))
            f(R24{});
        else
            f(R24f{});
    }
}

}  // namespace zv::conv
