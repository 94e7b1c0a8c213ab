// A writer of device-independent bitmaps in every variant the kernel's
// reader takes (header sizes 12, 16, 40, 52, 56, 64, 108, 124; 1 to 32
// bits; plain, bit fields with any masks, run-length streams; short
// colour tables; either row direction), as packed DIBs and BMP files, and
// random ones of each kind.  Used by the tests (beside their own slow
// decoder) and by the fuzz's seeds.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace zvtools {

using DibBytes = std::vector<uint8_t>;

#ifndef BI_ALPHABITFIELDS
#define BI_ALPHABITFIELDS 6
#endif

// What to write.  The fields go into the header as they are, so a test
// can write headers that do not add up too.
struct DibLayout {
    uint32_t HeaderSize = 40;
    int32_t Width = 1, Height = 1;  // Height < 0: top-down rows
    int Bits = 8;
    uint32_t Compression = BI_RGB;
    uint32_t Masks[4] = {};         // red, green, blue, alpha
    uint32_t ColorsUsed = 0;        // the header's colour count
    std::vector<RGBQUAD> Table;     // entries written (3 bytes each behind a core header)
    DibBytes Rows;                  // stored rows, or the run-length stream
};

inline void PutLE(DibBytes &b, size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

inline size_t DibRowBytes(int width, int bits) { return (size_t(width) * bits + 31) / 32 * 4; }

// Header, masks (behind a 40-byte header) and colour table.
inline DibBytes DibHead(const DibLayout &s) {
    DibBytes b(s.HeaderSize, 0);
    PutLE(b, 0, s.HeaderSize, 4);
    const bool core = s.HeaderSize == 12, fields = s.Compression == BI_BITFIELDS || s.Compression == BI_ALPHABITFIELDS;
    if (core) {
        PutLE(b, 4, uint32_t(s.Width), 2);
        PutLE(b, 6, uint32_t(s.Height), 2);
        PutLE(b, 8, 1, 2);
        PutLE(b, 10, uint32_t(s.Bits), 2);
    } else if (s.HeaderSize >= 16) {
        PutLE(b, 4, uint32_t(s.Width), 4);
        PutLE(b, 8, uint32_t(s.Height), 4);
        PutLE(b, 12, 1, 2);
        PutLE(b, 14, uint32_t(s.Bits), 2);
    }
    if (s.HeaderSize >= 40) {
        PutLE(b, 16, s.Compression, 4);
        PutLE(b, 20, uint32_t(s.Rows.size()), 4);
        PutLE(b, 24, 2835, 4);  // 72 dpi
        PutLE(b, 28, 2835, 4);
        PutLE(b, 32, s.ColorsUsed, 4);
    }
    if (s.HeaderSize >= 52 && s.HeaderSize != 64)
        for (int i = 0; i < (s.HeaderSize >= 56 ? 4 : 3); ++i)
            PutLE(b, 40 + 4 * i, s.Masks[i], 4);
    if (s.HeaderSize >= 108)
        PutLE(b, 56, 0x73524742, 4);  // the "sRGB" colour space
    if (s.HeaderSize == 40 && fields)
        for (int i = 0; i < (s.Compression == BI_ALPHABITFIELDS ? 4 : 3); ++i) {
            b.resize(b.size() + 4);
            PutLE(b, b.size() - 4, s.Masks[i], 4);
        }
    for (const RGBQUAD &e : s.Table) {
        b.insert(b.end(), {e.rgbBlue, e.rgbGreen, e.rgbRed});
        if (!core)
            b.push_back(0);
    }
    return b;
}

inline DibBytes PackedDib(const DibLayout &s) {
    DibBytes b = DibHead(s);
    b.insert(b.end(), s.Rows.begin(), s.Rows.end());
    return b;
}

// A BMP file: the 14-byte file header, the DIB's head, `gap` bytes of 0xEE
// and the rows (the file header's bits offset says where they are).
inline DibBytes BmpFile(const DibLayout &s, size_t gap = 0) {
    DibBytes f = DibHead(s);
    const size_t head = f.size();
    f.insert(f.begin(), 14, 0);
    f.insert(f.end(), gap, 0xEE);
    f.insert(f.end(), s.Rows.begin(), s.Rows.end());
    f[0] = 'B', f[1] = 'M';
    PutLE(f, 2, uint32_t(f.size()), 4);
    PutLE(f, 10, uint32_t(14 + head + gap), 4);
    return f;
}

// ---- random variants ---------------------------------------------------

// A run-length stream over width x height of indices below `limit`:
// repeated runs (some past the row's end), literal runs, moves, line ends,
// and mostly an end-of-bitmap code.
inline DibBytes RandomRle(std::mt19937 &rng, int width, int height, int bits, uint32_t limit) {
    DibBytes s;
    auto index = [&] { return uint8_t(rng() % limit); };
    auto value = [&] { return bits == 8 ? index() : uint8_t(index() << 4 | index()); };
    int x = 0, y = 0;
    while (y < height && s.size() < 800) {
        switch (rng() % 8) {
        case 0: case 1: case 2: {
            const int n = 1 + int(rng() % uint32_t(std::max(1, width - x + 3)));
            s.insert(s.end(), {uint8_t(std::min(n, 255)), value()});
            x += n;
            break;
        }
        case 3: case 4: {
            const int n = 3 + int(rng() % 10);
            const size_t bytes = bits == 8 ? size_t(n) : size_t(n + 1) / 2;
            s.insert(s.end(), {0, uint8_t(n)});
            for (size_t i = 0; i < bytes; ++i)
                s.push_back(value());
            if (bytes & 1)
                s.push_back(0);
            x += n;
            break;
        }
        case 5: {
            const uint8_t dx = uint8_t(rng() % 4), dy = uint8_t(rng() % 3);
            s.insert(s.end(), {0, 2, dx, dy});
            x += dx, y += dy;
            break;
        }
        default:
            s.insert(s.end(), {0, 0});
            x = 0, ++y;
        }
    }
    if (rng() % 4)
        s.insert(s.end(), {0, 1});
    return s;
}

// Masks for `bits`-bit pixels: 5-5-5 or 8-8-8 a third of the time, else
// red, green, blue (and alpha) of random widths, in random order with
// random gaps.
inline void RandomMasks(std::mt19937 &rng, int bits, bool alpha, uint32_t *masks) {
    if (rng() % 3 == 0) {
        const bool is16 = bits == 16;
        masks[0] = is16 ? 0x7C00 : 0xFF0000, masks[1] = is16 ? 0x3E0 : 0xFF00, masks[2] = is16 ? 0x1F : 0xFF;
        masks[3] = alpha ? (is16 ? 0x8000 : 0xFF000000) : 0;
        return;
    }
    int width[4], total;
    do {
        total = 0;
        for (int i = 0; i < 4; ++i)
            total += width[i] = i == 3 && !alpha ? 0 : 1 + int(rng() % uint32_t(bits == 16 ? 6 : 12));
    } while (total > bits);
    int order[4] = {0, 1, 2, 3};
    std::shuffle(order, order + 4, rng);
    int slack = bits - total, at = 0;
    for (int k : order) {
        const int gap = int(rng() % uint32_t(slack + 1));
        slack -= gap, at += gap;
        masks[k] = width[k] ? uint32_t(((uint64_t(1) << width[k]) - 1) << at) : 0;
        at += width[k];
    }
}

// Stored rows of random pixels; below 9 bits indices under `limit`.
inline DibBytes RandomRows(std::mt19937 &rng, int width, int rows, int bits, uint32_t limit) {
    DibBytes b(DibRowBytes(width, bits) * rows);
    for (auto &v : b)
        v = uint8_t(rng());
    if (bits <= 8)
        for (int r = 0; r < rows; ++r)
            for (int x = 0; x < width; ++x) {
                const size_t bit = size_t(x) * bits, at = DibRowBytes(width, bits) * r + bit / 8;
                const int shift = 8 - bits - int(bit % 8);
                b[at] = uint8_t((b[at] & ~(((1u << bits) - 1) << shift)) | (rng() % limit) << shift);
            }
    return b;
}

// A valid DIB of random kind: any header size, a depth and compression
// that header can carry, a short colour table now and then, pixels that
// index past it now and then.
inline DibLayout RandomDib(std::mt19937 &rng) {
    static const uint32_t sizes[] = {12, 16, 40, 52, 56, 64, 108, 124};
    static const int depths[] = {1, 2, 4, 8, 16, 24, 32};
    DibLayout s;
    s.HeaderSize = sizes[rng() % 8];
    s.Bits = depths[rng() % 7];
    const bool core = s.HeaderSize == 12, windows = s.HeaderSize >= 40 && s.HeaderSize != 64;
    if (s.HeaderSize >= 40 && (s.Bits == 4 || s.Bits == 8) && rng() % 2)
        s.Compression = s.Bits == 8 ? BI_RLE8 : BI_RLE4;
    if (windows && (s.Bits == 16 || s.Bits == 32) && rng() % 3)
        s.Compression = rng() % 4 ? BI_BITFIELDS : BI_ALPHABITFIELDS;
    if (s.Compression == BI_BITFIELDS || s.Compression == BI_ALPHABITFIELDS)
        RandomMasks(rng, s.Bits, s.Compression == BI_ALPHABITFIELDS || rng() % 2, s.Masks);
    else
        for (auto &m : s.Masks)
            m = rng();  // masks inside a larger header that say nothing without bit fields
    s.Width = 1 + int(rng() % 40);
    const int rows = 1 + int(rng() % 12);
    s.Height = !core && rng() % 3 == 0 ? -rows : rows;
    uint32_t limit = 256;
    if (s.Bits <= 8) {
        const uint32_t full = 1u << s.Bits;
        const bool counted = s.HeaderSize >= 40;  // headers with a colour count
        const uint32_t entries = !counted || rng() % 3 == 0 ? full : 1 + rng() % full;
        s.ColorsUsed = entries == full && rng() % 2 ? 0 : entries;
        s.Table.resize(entries);
        for (auto &e : s.Table)
            e = RGBQUAD{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
        limit = rng() % 2 ? entries : full;
    }
    if (s.Compression == BI_RLE8 || s.Compression == BI_RLE4)
        s.Rows = RandomRle(rng, s.Width, rows, s.Bits, limit);
    else
        s.Rows = RandomRows(rng, s.Width, rows, s.Bits, limit);
    return s;
}

}  // namespace zvtools
