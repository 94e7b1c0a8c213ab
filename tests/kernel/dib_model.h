// A slow decoder of device-independent bitmaps written from the format's
// definition, independent of the kernel's reader: it says what each pixel
// of a valid DIB shows and what the loaded bitmap must look like (depth,
// row direction, colour count).  Bits are read one at a time, bit-field
// channels gathered bit by bit, run-length streams replayed step by step.
#pragma once

#include "tools/common/dib_writer.h"
#include "zvkern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zvtest {

using zvtools::DibBytes;
using zvtools::DibLayout;

struct DibPicture {
    int Width = 0, Rows = 0;
    bool TopDown = false;
    int LoadBits = 0;             // depth of the loaded bitmap
    int ColorCount = 0;           // palette depths: entries the bitmap must say it has
    std::vector<uint32_t> Color;  // 0xRRGGBB of stored row r (the DIB's own row order), column c
    uint32_t At(int c, int r) const { return Color[size_t(r) * Width + c]; }
    std::vector<uint32_t> Displayed() const {  // top row first
        std::vector<uint32_t> v(Color.size());
        for (int y = 0; y < Rows; ++y)
            for (int x = 0; x < Width; ++x)
                v[size_t(y) * Width + x] = At(x, TopDown ? y : Rows - 1 - y);
        return v;
    }
};

inline uint32_t ModelLE(const uint8_t *p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

// Pixel x of a row: below 8 bits the bits most significant first, one at a
// time; above, little-endian bytes.
inline uint32_t ModelPixel(const uint8_t *row, int x, int bits) {
    if (bits >= 8)
        return ModelLE(row + size_t(x) * (bits / 8), bits / 8);
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i) {
        const size_t bit = size_t(x) * bits + i;
        v = v << 1 | ((row[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return v;
}

// The channel of a mask, gathered bit by bit, then brought to 8 bits: a
// wider one keeps its top 8, a narrower one repeats its bits from the top.
inline int ModelChannel(uint32_t pixel, uint32_t mask) {
    uint32_t v = 0;
    int n = 0;
    for (int i = 0; i < 32; ++i)
        if (mask >> i & 1)
            v |= (pixel >> i & 1) << n++;
    if (n == 0)
        return 0;
    if (n >= 8)
        return int(v >> (n - 8));
    int out = 0;
    for (int j = 0; j < 8; ++j)
        out = out << 1 | int(v >> (n - 1 - j % n) & 1);
    return out;
}

// Replays a run-length stream into indices (row-major, stream row order).
inline void ModelRle(const uint8_t *s, size_t n, int bits, int w, int h, std::vector<uint32_t> &idx) {
    size_t i = 0;
    int x = 0, y = 0;
    auto put = [&](uint32_t v) {
        if (x < w && y < h)
            idx[size_t(y) * w + x] = v;
        ++x;
    };
    while (i + 2 <= n && y < h) {
        const int a = s[i], b = s[i + 1];
        i += 2;
        if (a > 0) {
            for (int k = 0; k < a; ++k)
                put(bits == 8 ? uint32_t(b) : uint32_t(k % 2 == 0 ? b >> 4 : b & 15));
        } else if (b == 0) {
            x = 0, ++y;
        } else if (b == 1) {
            return;
        } else if (b == 2) {
            if (i + 2 > n)
                return;
            x += s[i], y += s[i + 1];
            i += 2;
        } else {
            const size_t bytes = bits == 8 ? size_t(b) : size_t(b + 1) / 2;
            for (int k = 0; k < b; ++k) {
                const size_t at = i + (bits == 8 ? size_t(k) : size_t(k) / 2);
                if (at >= n)
                    break;
                put(bits == 8 ? s[at] : uint32_t(k % 2 == 0 ? s[at] >> 4 : s[at] & 15));
            }
            i += bytes + bytes % 2;
        }
    }
}

// Decodes a valid DIB: its head at `head` (headBytes long: header, masks,
// table, and whatever lies before the rows) and its rows or stream.
inline DibPicture ModelDecode(const uint8_t *head, size_t headBytes, const uint8_t *rows, size_t rowBytes) {
    DibPicture m;
    const uint32_t size = ModelLE(head, 4);
    const bool core = size == 12;
    const int w = int(core ? ModelLE(head + 4, 2) : ModelLE(head + 4, 4));
    const int32_t hgt = core ? int32_t(ModelLE(head + 6, 2)) : int32_t(ModelLE(head + 8, 4));
    const int bits = int(ModelLE(head + (core ? 10 : 14), 2));
    const uint32_t comp = size >= 40 ? ModelLE(head + 16, 4) : 0;
    const uint32_t used = size >= 40 ? ModelLE(head + 32, 4) : 0;
    const bool fields = comp == 3 || comp == 6;
    m.Width = w, m.Rows = hgt < 0 ? -hgt : hgt, m.TopDown = hgt < 0;
    uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
    if (bits == 16)
        masks[0] = 0x7C00, masks[1] = 0x3E0, masks[2] = 0x1F;
    size_t tableAt = size;
    if (fields) {
        for (int i = 0; i < 3; ++i)
            masks[i] = ModelLE(head + 40 + 4 * i, 4);
        if (size == 40)
            tableAt += comp == 6 ? 16 : 12;
    }
    const int entrySize = core ? 3 : 4;
    const uint32_t full = bits <= 8 ? 1u << bits : 0;
    const uint32_t entries = std::min<uint64_t>(used && !core ? used : full, (headBytes - tableAt) / entrySize);
    const size_t stride = zvtools::DibRowBytes(w, bits);
    std::vector<uint32_t> px(size_t(w) * m.Rows, 0);
    if (comp == 1 || comp == 2)
        ModelRle(rows, rowBytes, bits, w, m.Rows, px);
    else
        for (int r = 0; r < m.Rows; ++r)
            for (int x = 0; x < w; ++x)
                px[size_t(r) * w + x] = ModelPixel(rows + stride * r, x, bits);
    bool past = false;
    m.Color.resize(px.size());
    for (size_t i = 0; i < px.size(); ++i) {
        const uint32_t v = px[i];
        if (bits <= 8) {
            const uint8_t *e = head + tableAt + size_t(v) * entrySize;
            past |= v >= entries;
            m.Color[i] = v < entries ? uint32_t(e[2]) << 16 | e[1] << 8 | e[0] : 0;
        } else {
            m.Color[i] = uint32_t(ModelChannel(v, masks[0])) << 16 | ModelChannel(v, masks[1]) << 8 |
                         ModelChannel(v, masks[2]);
        }
    }
    const bool rgb555 = bits == 16 && masks[0] == 0x7C00 && masks[1] == 0x3E0 && masks[2] == 0x1F;
    m.LoadBits = bits <= 8 ? bits : rgb555 ? 16 : 24;
    m.ColorCount = bits <= 8 ? int(past ? full : entries) : 0;
    return m;
}

// The loaded bitmap against the model: depth, row direction, order,
// colour count, and every pixel's colour as the kernel reports it.
inline testing::AssertionResult SamePicture(const BitmapHandle &b, const DibPicture &m) {
    if (b.Width != m.Width || b.Height != m.Rows || b.BitsPerPixel != m.LoadBits || b.Order != ORDER_BGR ||
        b.Orientation != (m.TopDown ? ORIENT_TOP_LEFT : ORIENT_BOTTOM_LEFT))
        return testing::AssertionFailure() << "loaded " << b.Width << " x " << b.Height << " at " << b.BitsPerPixel
                                           << " bits, orientation " << b.Orientation << "; want " << m.Width << " x "
                                           << m.Rows << " at " << m.LoadBits << (m.TopDown ? ", top-down" : "");
    if (m.LoadBits <= 8 && b.ColorCount != m.ColorCount)
        return testing::AssertionFailure() << "ColorCount " << b.ColorCount << ", want " << m.ColorCount;
    for (int r = 0; r < m.Rows; ++r)
        for (int c = 0; c < m.Width; ++c) {
            const UINT v = K_GetPixelValue(&b, r, c);
            const uint32_t got = (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
            if (got != m.At(c, r))
                return testing::AssertionFailure() << "stored pixel (" << c << ", " << r << ") shows " << std::hex
                                                   << got << ", want " << m.At(c, r);
        }
    return testing::AssertionSuccess();
}

// What a generated DIB is, for messages.
inline std::string Describe(const DibLayout &s) {
    char buf[160];
    snprintf(buf, sizeof buf, "header %u, %d x %d, %d bits, compression %u, masks %X %X %X %X, %u used, %zu entries",
             unsigned(s.HeaderSize), int(s.Width), int(s.Height), s.Bits, unsigned(s.Compression),
             unsigned(s.Masks[0]), unsigned(s.Masks[1]), unsigned(s.Masks[2]), unsigned(s.Masks[3]),
             unsigned(s.ColorsUsed), s.Table.size());
    return buf;
}

}  // namespace zvtest
