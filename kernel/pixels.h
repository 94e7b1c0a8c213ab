// Pixel access by depth for the kernel's row and strip operations.
//
// Below 8 bits pixels form one continuous bit stream, most significant
// bit first: pixel x starts at bit x * bits.  12-bit pixels come in pairs
// of three bytes (the even one in the low 12 bits of the little-endian
// word at its byte, the odd one in the high 12 bits of the word at the
// next byte).  Whole-byte depths are copied as byte groups.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace zv::kern {

inline uint32_t GetBits(const BYTE *p, int x, int bits) {
    const int bit = x * bits, at = bit >> 3, shift = bit & 7;
    if (shift + bits <= 8)
        return (p[at] >> (8 - shift - bits)) & ((1u << bits) - 1);
    const uint32_t w = (uint32_t(p[at]) << 8) | p[at + 1];
    return (w >> (16 - shift - bits)) & ((1u << bits) - 1);
}

inline void PutBits(BYTE *p, int x, int bits, uint32_t v) {
    const int bit = x * bits, at = bit >> 3, shift = bit & 7;
    const uint32_t mask = (1u << bits) - 1;
    if (shift + bits <= 8) {
        const int s = 8 - shift - bits;
        p[at] = BYTE((p[at] & ~(mask << s)) | ((v & mask) << s));
        return;
    }
    const int s = 16 - shift - bits;
    uint32_t w = (uint32_t(p[at]) << 8) | p[at + 1];
    w = (w & ~(mask << s)) | ((v & mask) << s);
    p[at] = BYTE(w >> 8);
    p[at + 1] = BYTE(w);
}

inline uint32_t Get12(const BYTE *p, int x) {
    const BYTE *q = p + (x >> 1) * 3;
    return (x & 1) ? ((q[1] | (q[2] << 8)) >> 4) : ((q[0] | (q[1] << 8)) & 0x0FFF);
}

inline void Put12(BYTE *p, int x, uint32_t v) {
    BYTE *q = p + (x >> 1) * 3;
    if (x & 1) {
        q[1] = BYTE((q[1] & 0x0F) | ((v & 0x0F) << 4));
        q[2] = BYTE(v >> 4);
    } else {
        q[0] = BYTE(v);
        q[1] = BYTE((q[1] & 0xF0) | ((v >> 8) & 0x0F));
    }
}

// One pixel of any depth from src pixel sx to dst pixel dx.
inline void CopyPixel(const BYTE *src, int sx, BYTE *dst, int dx, int bits) {
    if (bits < 8)
        PutBits(dst, dx, bits, GetBits(src, sx, bits));
    else if (bits == 12)
        Put12(dst, dx, Get12(src, sx));
    else {
        const int n = bits / 8;
        std::memcpy(dst + dx * n, src + sx * n, n);
    }
}

// The kernel's one rule for the palette entry nearest a colour: the
// smallest 2 dr^2 + 4 dg^2 + db^2 (green weighs most, as the eye sees it),
// the first of equals.
inline int NearestEntry(const RGBQUAD *colors, int count, int red, int green, int blue) {
    int best = 0, bestD = 1 << 30;
    for (int i = 0; i < count; ++i) {
        const int dr = red - colors[i].rgbRed, dg = green - colors[i].rgbGreen, db = blue - colors[i].rgbBlue;
        const int d = 2 * dr * dr + 4 * dg * dg + db * db;
        if (d < bestD)
            bestD = d, best = i;
    }
    return best;
}

// Bytes of a 32-bit aligned row of width pixels.
inline int AlignedRowBytes(int width, int bits) { return int(((int64_t(width) * bits + 31) / 32) * 4); }

}  // namespace zv::kern
