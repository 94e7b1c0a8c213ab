// The slow model of pixel colours, written from the rules in zvkern.h
// apart from the kernel's code: every pixel read from the descriptor's
// bytes one at a time.  Also random few-colour bitmaps of every depth and
// Order.
#pragma once

#include "region_model.h"
#include "paint/reference.h"

namespace rgntest {

using zvtest::RawPixel;

struct Colour {
    int r, g, b;
    bool operator==(const Colour &o) const { return r == o.r && g == o.g && b == o.b; }
};

// Rows: gray data as gray levels.  Value: gray data as the pixel value of
// a flood fill (the significant value scaled to 16 bits, low byte red).
enum class GrayAs { Level, Value };

inline bool IsGray(const BitmapHandle &bm) {
    return bm.BitsPerPixel == 12 || (bm.BitsPerPixel == 16 && bm.Order == ORDER_GRAY);
}

// The palette as the colour rules read it: the table, or the gray ramp.
inline std::vector<Colour> PaletteColours(const BitmapHandle &bm) {
    std::vector<Colour> p;
    const int ramp = 1 << bm.BitsPerPixel;
    for (int i = 0; i < (bm.Palette ? std::min(bm.ColorCount, ramp) : ramp); ++i)
        p.push_back(bm.Palette ? Colour{bm.Palette[i].rgbRed, bm.Palette[i].rgbGreen, bm.Palette[i].rgbBlue}
                               : Colour{i * 255 / (ramp - 1), i * 255 / (ramp - 1), i * 255 / (ramp - 1)});
    return p;
}

inline Colour GrayColour(const BitmapHandle &bm, uint64_t raw, GrayAs as) {
    const bool window = (bm.Flags & BITMAP_WINDOW_LEVEL) != 0;
    int low = std::max(window ? bm.WindowLowBit : bm.LowBit, 0);
    int high = std::min(window ? bm.WindowHighBit : bm.HighBit, bm.BitsPerPixel - 1);
    if (low > high)
        low = 0, high = bm.BitsPerPixel - 1;
    const int n = high - low + 1, k = std::min(n, as == GrayAs::Level ? 8 : 16);
    if (window && bm.WindowLUT && bm.WindowLUTLength) {
        const RGBQUAD &q = bm.WindowLUT[std::min<uint64_t>((raw >> low) & ((1u << n) - 1), bm.WindowLUTLength - 1)];
        return {q.rgbRed, q.rgbGreen, q.rgbBlue};
    }
    const uint32_t mask = (1u << k) - 1, v = static_cast<uint32_t>(raw >> (high - k + 1)) & mask, w = v * 65535 / mask;
    const int g = as == GrayAs::Level ? static_cast<int>(v << (8 - k)) : 0;
    return as == GrayAs::Level ? Colour{g, g, g} : Colour{static_cast<int>(w % 256), static_cast<int>(w / 256), 0};
}

// The colour of pixel (x, y); an index beyond the palette gives black.
inline Colour PixelColour(const BitmapHandle &bm, int x, int y, GrayAs as, const std::vector<Colour> *pPalette = nullptr) {
    const uint64_t raw = RawPixel(bm, x, y);
    const bool bgr = bm.Order == ORDER_BGR;
    switch (bm.BitsPerPixel) {
    case 12:
    case 16:
        if (IsGray(bm))
            return GrayColour(bm, raw, as);
        {
            auto w = [&](int shift) { const int c = (raw >> shift) & 31; return c * 8 + c / 4; };
            return bgr ? Colour{w(10), w(5), w(0)} : Colour{w(0), w(5), w(10)};
        }
    case 24:
    case 32: {
        const int a = raw & 0xFF, m = (raw >> 8) & 0xFF, z = (raw >> 16) & 0xFF;
        return bgr ? Colour{z, m, a} : Colour{a, m, z};
    }
    case 48:
    case 64: {
        const int a = (raw >> 8) & 0xFF, m = (raw >> 24) & 0xFF, z = (raw >> 40) & 0xFF;
        return bgr ? Colour{z, m, a} : Colour{a, m, z};
    }
    default: {
        const std::vector<Colour> own = pPalette ? std::vector<Colour>{} : PaletteColours(bm);
        const std::vector<Colour> &p = pPalette ? *pPalette : own;
        return raw < p.size() ? p[raw] : Colour{0, 0, 0};
    }
    }
}

inline COLORREF RefOf(const Colour &c) { return RGB(c.r, c.g, c.b); }

// Every pixel of a bitmap through the model, computed once.
struct PixelGrid {
    int W = 0, H = 0;
    std::vector<Colour> Palette;     // palette depths
    std::vector<uint64_t> Raw;
    std::vector<Colour> Level, Value;
    explicit PixelGrid(const BitmapHandle &bm) : W(bm.Width), H(bm.Height) {
        if (bm.BitsPerPixel <= 8)
            Palette = PaletteColours(bm);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                Raw.push_back(RawPixel(bm, x, y));
                Level.push_back(PixelColour(bm, x, y, GrayAs::Level, &Palette));
                Value.push_back(PixelColour(bm, x, y, GrayAs::Value, &Palette));
            }
    }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < W && y < H; }
    size_t At(int x, int y) const { return static_cast<size_t>(y) * W + x; }
};

// ---- random bitmaps ---------------------------------------------------------

struct Format {
    int Bits, Order;
};

// Every depth, and each depth in the Orders its rules tell apart.
inline std::vector<Format> AllFormats() {
    std::vector<Format> f;
    for (int bits = 1; bits <= 8; ++bits)
        f.push_back({bits, ORDER_BGR});
    for (int order : {ORDER_GRAY, ORDER_RGB})
        f.push_back({12, order});
    for (int order : {ORDER_GRAY, ORDER_BGR, ORDER_RGB, ORDER_BGR_CONVERT})
        f.push_back({16, order});
    for (int bits : {24, 32, 48, 64})
        for (int order : {ORDER_BGR, ORDER_RGB, ORDER_BGR_CONVERT})
            f.push_back({bits, order});
    return f;
}

inline void PutRaw(BitmapHandle &bm, int x, int y, uint64_t v) {
    BYTE *row = bm.Data + static_cast<size_t>(y) * bm.BytesPerLine;
    const int bits = bm.BitsPerPixel, at = (x / 2) * 3 + x % 2;
    for (int i = 0, bit = x * bits; bits <= 8 && i < bits; ++i, ++bit)
        row[bit / 8] = BYTE((row[bit / 8] & ~(0x80 >> bit % 8)) | ((v >> (bits - 1 - i)) & 1) << (7 - bit % 8));
    for (int i = 0; bits > 12 && i < bits / 8; ++i)
        row[static_cast<size_t>(x) * (bits / 8) + i] = static_cast<BYTE>(v >> (8 * i));
    if (bits == 12) {
        const uint64_t word = x % 2 ? (row[at] & 0x0F) | (v & 0xFFF) << 4 : (row[at + 1] & 0xF0) << 8 | (v & 0xFFF);
        row[at] = static_cast<BYTE>(word), row[at + 1] = static_cast<BYTE>(word >> 8);
    }
}

// A bitmap of a few raw pixel values (so that colours repeat), in patches
// so that areas connect; palette depths get random entries (some equal)
// and sometimes fewer entries than indices; gray data gets random
// significant bits, sometimes with a window-level table in force.
inline void RandomBitmap(BitmapHandle &bm, Format f, int w, int h, std::mt19937 &rng) {
    ASSERT_EQ(K_CreateBitmap(&bm, w, h, f.Bits, f.Order, 0), RC_SUCCESS);
    auto rnd = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    const int bits = f.Bits;
    if (bits <= 8) {
        std::vector<RGBQUAD> pal(1u << bits);
        for (auto &q : pal)
            q = rnd(4) ? RGBQUAD{BYTE(rnd(4) * 85), BYTE(rnd(4) * 85), BYTE(rnd(4) * 85), 0} : pal[0];
        K_PutBitmapColors(&bm, 0, static_cast<int>(pal.size()), pal.data());
        if (bits > 1 && rnd(3) == 0)
            bm.ColorCount = 1 + static_cast<int>(rnd((1u << bits) - 1));
    }
    if (IsGray(bm) && rnd(3)) {
        const int low = static_cast<int>(rnd(bits / 2)), high = low + static_cast<int>(rnd(bits - low));
        std::vector<RGBQUAD> table(static_cast<size_t>(1) << (high - low + 1) > 4096 ? 4096 : 1u << (high - low + 1));
        for (auto &q : table)
            q = RGBQUAD{BYTE(rnd(3) * 100), BYTE(rnd(3) * 100), BYTE(rnd(3) * 100), 0};
        const bool withTable = rnd(2);
        ASSERT_EQ(Z_WindowLevel(&bm, low, high, withTable ? table.data() : nullptr,
                                withTable ? static_cast<UINT>(table.size()) : 0, static_cast<int>(rnd(2))),
                  RC_SUCCESS);
    }
    std::vector<uint64_t> pool(2 + rnd(4));
    for (auto &v : pool) {
        v = (static_cast<uint64_t>(rng()) << 32 | rng()) & (bits < 64 ? (uint64_t(1) << bits) - 1 : ~uint64_t(0));
        const bool coarse = bits >= 24 && rnd(2);  // channels from a coarse set: exact matches happen
        for (int i = 0; coarse && i < bits / 8; ++i)
            v = (v & ~(uint64_t(0xFF) << 8 * i)) | uint64_t(rnd(3) * 120) << 8 * i;
    }
    const int patch = 1 + static_cast<int>(rnd(6)), across = w / patch + 1;
    std::vector<uint32_t> cell(static_cast<size_t>(across * (h / patch + 1)));
    for (auto &c : cell)
        c = rnd(static_cast<uint32_t>(pool.size()));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            PutRaw(bm, x, y, pool[rnd(8) ? cell[static_cast<size_t>(y / patch * across + x / patch)] : rnd(pool.size())]);
}

}  // namespace rgntest
