// Wide strip rows: see wide_rows.h.
#include "paint/wide_rows.h"

#include "paint/convert_readers.h"

#include <cstring>

#if defined(__x86_64__)
#include <tmmintrin.h>
#endif

namespace zv {

namespace {

// A 24-bit pixel from one unaligned 32-bit load (the byte after it is
// read and dropped).
inline uint32_t Load24(const BYTE *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v & 0xFFFFFF;
}

#if defined(__x86_64__)
// Four 24-bit pixels a step, each stored K times: one 16-byte load and a
// byte shuffle per four destination pixels (SSSE3, asked of the processor
// once).  The load reads 4 bytes past the fourth pixel, so a step is taken
// only while a source pixel follows it; returns the destination pixels
// made (from i), with p moved past the source pixels used.
bool HasSsse3() {
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
    return has;
}

template <int K>
__attribute__((target("ssse3"))) int RepeatFours(const BYTE *&p, uint32_t *dst, int i, int n) {
    static_assert(K == 1 || K == 2 || K == 4, "whole factors with a shuffle of their own");
    alignas(16) int8_t masks[K][16];
    for (int j = 0; j < K; ++j)
        for (int b = 0; b < 16; ++b) {
            const int pixel = (j * 4 + b / 4) / K;  // destination pixel j * 4 + b / 4 shows this one
            masks[j][b] = int8_t(b % 4 == 3 ? -128 : pixel * 3 + b % 4);
        }
    const int start = i;
    for (; i + 4 * K < n; i += 4 * K, p += 12) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        for (int j = 0; j < K; ++j)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i + 4 * j),
                             _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i *>(masks[j]))));
    }
    return i - start;
}
#else
bool HasSsse3() { return false; }
template <int K>
int RepeatFours(const BYTE *&, uint32_t *, int, int) {
    return 0;
}
#endif

// Enlarging by a whole factor K: after the first source pixel, which the
// walk's error may shorten, every source pixel fills K destination pixels.
template <int K>
void Repeat24(const BYTE *p, int first, uint32_t *dst, int n, int k) {
    if constexpr (K > 0)
        k = K;
    int i = 0;
    const uint32_t v0 = Load24(p);
    for (const int e = std::min(n, first); i < e; ++i)
        dst[i] = v0;
    p += 3;
    if constexpr (K == 2 || K == 4)
        if (HasSsse3())
            i += RepeatFours<K>(p, dst, i, n);
    for (; i + k <= n; i += k, p += 3) {
        const uint32_t v = Load24(p);
        for (int j = 0; j < k; ++j)
            dst[i + j] = v;
    }
    if (i < n) {
        const uint32_t v = Load24(p);
        for (; i < n; ++i)
            dst[i] = v;
    }
}

}  // namespace

bool TakesWidePixels(HDC hDC, int deviceBits) {
    if (GetDeviceCaps(hDC, TECHNOLOGY) != DT_RASDISPLAY)
        return false;
    switch (GetObjectType(hDC)) {
    case OBJ_DC:
        return deviceBits == 24;
    case OBJ_MEMDC: {
        DIBSECTION ds{};
        const int got = GetObjectW(GetCurrentObject(hDC, OBJ_BITMAP), sizeof ds, &ds);
        if (got < int(sizeof(BITMAP)) || ds.dsBm.bmBitsPixel != 32 || ds.dsBm.bmPlanes != 1)
            return false;
        if (got < int(sizeof ds))
            return true;  // a device-dependent bitmap of the display's form
        const BITMAPINFOHEADER &h = ds.dsBmih;
        return h.biCompression == BI_RGB || (h.biCompression == BI_BITFIELDS && ds.dsBitfields[0] == 0xFF0000 &&
                                             ds.dsBitfields[1] == 0xFF00 && ds.dsBitfields[2] == 0xFF);
    }
    default:
        return false;
    }
}

void WideColorTable(const RGBQUAD *colors, int count, uint32_t *table) {
    for (int i = 0; i < 256; ++i)
        table[i] = i < count ? uint32_t(colors[i].rgbBlue) | uint32_t(colors[i].rgbGreen) << 8 |
                                   uint32_t(colors[i].rgbRed) << 16
                             : 0;
}

void StretchWiden24(const BYTE *src, const Walk &w, uint32_t *dst, int n) {
    if (n <= 0)
        return;
    const BYTE *p = src + size_t(w.pos) * 3;
    const int q = w.q, r = w.r, d = w.d;
    if ((q == 1 && r == 0) || (q == 0 && r == d)) {
        int i = HasSsse3() ? RepeatFours<1>(p, dst, 0, n) : 0;
        for (; i < n; ++i, p += 3)
            dst[i] = Load24(p);
        return;
    }
    if (q == 0 && d % r == 0) {
        // Pixel 0 lasts until the error reaches d: k - floor(err / r) steps.
        const int k = d / r, first = k - w.err / r;
        switch (k) {
        case 2: Repeat24<2>(p, first, dst, n, k); return;
        case 3: Repeat24<3>(p, first, dst, n, k); return;
        case 4: Repeat24<4>(p, first, dst, n, k); return;
        default: Repeat24<0>(p, first, dst, n, k); return;
        }
    }
    const ptrdiff_t step = ptrdiff_t(q) * 3;
    int err = w.err;
    for (int i = 0; i < n; ++i) {
        dst[i] = Load24(p);
        err += r;
        const bool carry = err >= d;
        err -= carry ? d : 0;
        p += step + (carry ? 3 : 0);
    }
}

void WidenIndices(int bits, const BYTE *src, const uint32_t *table, uint32_t *dst, int n) {
    switch (bits) {
    case 8:
        for (int i = 0; i < n; ++i)
            dst[i] = table[src[i]];
        return;
    case 4:
        for (int i = 0; i < n; ++i)
            dst[i] = table[(src[i >> 1] >> (i & 1 ? 0 : 4)) & 15];
        return;
    default:
        for (int i = 0; i < n; ++i)
            dst[i] = table[(src[i >> 3] >> (7 - (i & 7))) & 1];
        return;
    }
}

GrayLookup GrayLookupOf(const BitmapHandle *b) {
    conv::RowContext c;
    conv::SetGrayBits(b, c);
    return GrayLookup{c.Shift, c.Window ? c.Mask : 0xFFu};
}

void FillGrayTable(const BitmapHandle *b, const GrayLookup &g, const uint32_t *colors, const BYTE *lut,
                   uint32_t *table) {
    conv::RowContext c;
    conv::SetGrayBits(b, c);
    auto channel = [lut](BYTE v) { return uint32_t(lut ? lut[v] : v); };
    for (uint32_t v = 0; v <= g.Mask; ++v) {
        const BYTE level = conv::GrayLevel(v, c.Mask);
        const RGBQUAD q = c.Window ? c.Window[std::min(v, c.WindowLast)] : RGBQUAD{level, level, level, 0};
        table[v] = colors ? colors[c.Window ? q.rgbBlue : level]
                          : channel(q.rgbBlue) | channel(q.rgbGreen) << 8 | channel(q.rgbRed) << 16;
    }
}

void LookUpGray(int bits, const BYTE *src, const GrayLookup &g, const uint32_t *table, uint32_t *dst, int n) {
    const int shift = g.Shift;
    const uint32_t mask = g.Mask;
    if (bits == 12) {
        for (int i = 0; i < n; ++i)
            dst[i] = table[(conv::Raw12(src, i) >> shift) & mask];
        return;
    }
    int i = 0;
    for (; i + 4 <= n; i += 4) {  // four pixels from one load
        uint64_t w;
        std::memcpy(&w, src + 2 * i, 8);
        dst[i] = table[(uint32_t(w) & 0xFFFF) >> shift & mask];
        dst[i + 1] = table[(uint32_t(w >> 16) & 0xFFFF) >> shift & mask];
        dst[i + 2] = table[(uint32_t(w >> 32) & 0xFFFF) >> shift & mask];
        dst[i + 3] = table[uint32_t(w >> 48) >> shift & mask];
    }
    for (; i < n; ++i)
        dst[i] = table[(conv::Raw16(src, i) >> shift) & mask];
}

}  // namespace zv
