// Test support for the painters: DIB section targets, random bitmaps, and
// a deliberately simple reference painter.
//
// The reference works per destination pixel from the painters' documented
// mapping (paint/painters.h): destination (x, y) shows displayed source
// pixel X = Src.left + floor((x - Dst.left) * sw / dw), Y = Src.bottom - 1
// - floor((Dst.bottom - 1 - y) * sh / dh) when (X, Y) lies in the clipped
// source and (x, y) in the clipped destination; the displayed pixel is
// found in storage through the orientation table of zvtypes.h.  No DDA,
// no strips, no turns.
#pragma once

#include "support.h"
#include "tools/common/dib_section.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace zvtest {

// The paint target (32 bits), with fill and read-back.
struct Dib : zvtools::DibSection {
    Dib(int width, int height) : DibSection(width, height) {}

    void Fill(uint32_t v) {
        GdiFlush();
        std::fill(bits, bits + size_t(w) * h, v);
    }
    std::vector<uint32_t> Pixels() const {
        GdiFlush();
        std::vector<uint32_t> v(bits, bits + size_t(w) * h);
        for (auto &p : v)
            p &= 0xFFFFFF;
        return v;
    }
};

// A 24-bit DIB section target, which takes the painters' narrow strips
// (a 32-bit one takes wide strips where the screen is true colour).
struct Dib24 {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    BYTE *bits = nullptr;
    int w, h, stride;
    Dib24(int width, int height) : w(width), h(height), stride((width * 3 + 3) & ~3) {
        BITMAPINFO bi{};
        bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits), nullptr, 0);
        SelectObject(dc, bitmap);
    }
    ~Dib24() {
        DeleteDC(dc);  // deselects the bitmap
        DeleteObject(bitmap);
    }
    BYTE *At(size_t i) const { return bits + i / w * stride + i % w * 3; }
    void Fill(uint32_t v) {
        GdiFlush();
        for (size_t i = 0; i < size_t(w) * h; ++i)
            std::memcpy(At(i), &v, 3);
    }
    std::vector<uint32_t> Pixels() const {  // as the 32-bit target reads them: 0x00RRGGBB
        GdiFlush();
        std::vector<uint32_t> v(size_t(w) * h);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = uint32_t(At(i)[0]) | uint32_t(At(i)[1]) << 8 | uint32_t(At(i)[2]) << 16;
        return v;
    }
};

inline uint32_t Rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

// Stored (column, row) of displayed pixel (x, y), from the table in
// zvtypes.h read backwards.
inline void DisplayToStored(int o, int w, int h, int x, int y, int *c, int *r) {
    switch (o) {
    case 0: *c = x, *r = y; break;
    case 1: *c = w - 1 - x, *r = y; break;
    case 2: *c = x, *r = h - 1 - y; break;
    case 3: *c = w - 1 - x, *r = h - 1 - y; break;
    case 4: *r = h - 1 - x, *c = y; break;
    case 5: *r = x, *c = y; break;
    case 7: *r = h - 1 - x, *c = w - 1 - y; break;
    default: *r = x, *c = w - 1 - y; break;
    }
}

// Raw stored pixel value (column c, row r).
inline uint64_t RawPixel(const BitmapHandle &b, int c, int r) { return PixelAt(b, c, r); }

inline int DisplayW(const BitmapHandle &b) { return b.Orientation >= 4 ? b.Height : b.Width; }
inline int DisplayH(const BitmapHandle &b) { return b.Orientation >= 4 ? b.Width : b.Height; }

// Colour GDI shows for a stored pixel painted as it is (kind 0) with RGB
// colour tables: palette through the paint table, 5-5-5 widened as
// (c << 3) | (c >> 2), 24/32 bits blue first (Order 5 rows are red first
// until converted), 24-bit colours through the paint table.
inline uint32_t AsIsColor(const BitmapHandle &b, int c, int r) {
    const uint64_t v = PixelAt(b, c, r);
    const bool lut = (b.Flags & BITMAP_PAINT_LUT) && b.PaintLUT;
    auto L = [&](int x) { return lut ? b.PaintLUT[x] : x; };
    switch (b.BitsPerPixel) {
    case 16: {
        auto w = [](int x) { return (x << 3) | (x >> 2); };
        int lo = w(v & 31), mid = w((v >> 5) & 31), hi = w((v >> 10) & 31);
        if (b.Order == ORDER_BGR_CONVERT)
            std::swap(lo, hi);
        return Rgb(hi, mid, lo);
    }
    case 24:
    case 32: {
        int b0 = v & 255, g = (v >> 8) & 255, r0 = (v >> 16) & 255;
        if (b.Order == ORDER_BGR_CONVERT)
            std::swap(b0, r0);
        return b.BitsPerPixel == 24 ? Rgb(L(r0), L(g), L(b0)) : Rgb(r0, g, b0);
    }
    default: {
        RGBQUAD q{};
        K_GetBitmapColors(&b, int(v), 1, &q);
        return Rgb(L(q.rgbRed), L(q.rgbGreen), L(q.rgbBlue));
    }
    }
}

struct PaintCase {
    RECT src, clipSrc, dst, clipDst;
};

// Calls color(x, y, X, Y) for the displayed source pixel (X, Y) of every
// destination pixel (x, y) the paint may touch, and stores its colour.
inline void ReferencePaint(std::vector<uint32_t> &out, int outW, int outH, const BitmapHandle &b, const PaintCase &pc,
                           const std::function<uint32_t(int x, int y, int X, int Y)> &color) {
    const RECT &s = pc.src, &d = pc.dst;
    const int64_t sw = s.right - s.left, sh = s.bottom - s.top, dw = d.right - d.left, dh = d.bottom - d.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0)
        return;
    RECT cs{std::max({s.left, pc.clipSrc.left, 0L}), std::max({s.top, pc.clipSrc.top, 0L}),
            std::min({s.right, pc.clipSrc.right, LONG(DisplayW(b))}),
            std::min({s.bottom, pc.clipSrc.bottom, LONG(DisplayH(b))})};
    for (int y = std::max({0L, d.top, pc.clipDst.top}); y < std::min({LONG(outH), d.bottom, pc.clipDst.bottom}); ++y)
        for (int x = std::max({0L, d.left, pc.clipDst.left}); x < std::min({LONG(outW), d.right, pc.clipDst.right}); ++x) {
            const int X = int(s.left + (x - d.left) * sw / dw);
            const int Y = int(s.bottom - 1 - (d.bottom - 1 - y) * sh / dh);
            if (X >= cs.left && X < cs.right && Y >= cs.top && Y < cs.bottom)
                out[size_t(y) * outW + x] = color(x, y, X, Y);
        }
}

// A kernel bitmap of random content (and a random palette at 8 bits or
// fewer).
inline void MakeRandomBitmap(BitmapHandle &b, std::mt19937 &rng, int w, int h, int bits, int order, int orientation) {
    ASSERT_EQ(K_CreateBitmap(&b, w, h, bits, order, orientation), RC_SUCCESS);
    for (size_t i = 0; i < size_t(h) * b.BytesPerLine; ++i)
        b.Data[i] = BYTE(rng());
    for (int i = 0; i < b.ColorCount; ++i)
        b.Palette[i] = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
}

// A random rectangle roughly inside [0, w) x [0, h), sometimes reaching out.
inline RECT RandomRect(std::mt19937 &rng, int w, int h) {
    const int l = int(rng() % (w + 4)) - 2, t = int(rng() % (h + 4)) - 2;
    return RECT{l, t, l + 1 + int(rng() % (w + 2)), t + 1 + int(rng() % (h + 2))};
}

// A clip rectangle that clips nothing.
inline constexpr RECT kNoClip{-100000, -100000, 100000, 100000};

// A 1:1 paint of an upright bitmap b onto a target of tw x th: the whole
// image or a random part of it, placed up to a quarter of the target off
// its top-left corner, with or without clip rectangles on either side.
inline PaintCase RandomUnscaledCase(std::mt19937 &rng, const BitmapHandle &b, int tw, int th, bool whole) {
    PaintCase pc;
    pc.src = whole ? RECT{0, 0, b.Width, b.Height} : RandomRect(rng, b.Width, b.Height);
    const int x = int(rng() % (tw / 2)) - tw / 4, y = int(rng() % (th / 2)) - th / 4;
    pc.dst = RECT{x, y, x + pc.src.right - pc.src.left, y + pc.src.bottom - pc.src.top};
    pc.clipSrc = rng() % 2 ? RandomRect(rng, b.Width, b.Height) : kNoClip;
    pc.clipDst = rng() % 2 ? RandomRect(rng, tw, th) : kNoClip;
    return pc;
}

// Sets the display mode for a scope and puts the old one back.
struct ModeScope {
    UINT old;
    explicit ModeScope(UINT mode) : old(Z_SetDisplayMode(0xFFFFFFFFu, mode)) {}
    ~ModeScope() { Z_SetDisplayMode(0xFFFFFFFFu, old); }
};

inline int ScreenDepth() {
    HDC dc = GetDC(nullptr);
    const int n = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(nullptr, dc);
    return n;
}

// The smallest rectangle of the pixels (rows of w) that are not
// `unpainted`; all 0 when there are none.
inline RECT PaintedBounds(const std::vector<uint32_t> &px, int w, uint32_t unpainted) {
    RECT r{w, LONG(px.size() / w), 0, 0};
    for (size_t i = 0; i < px.size(); ++i)
        if (px[i] != unpainted) {
            const LONG x = LONG(i % w), y = LONG(i / w);
            r = RECT{std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1), std::max(r.bottom, y + 1)};
        }
    return IsRectEmpty(&r) ? RECT{} : r;
}

// First differing pixel, for messages.
inline std::string FirstDifference(const std::vector<uint32_t> &got, const std::vector<uint32_t> &want, int w) {
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want[i]) {
            char buf[128];
            snprintf(buf, sizeof buf, "first difference at (%d, %d): got %06X want %06X", int(i % w), int(i / w),
                     unsigned(got[i]), unsigned(want[i]));
            return buf;
        }
    return "identical";
}

}  // namespace zvtest
