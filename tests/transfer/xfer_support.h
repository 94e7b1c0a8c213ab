// Test support for the transfer functions: a bitmap's displayed colours,
// DDBs made and read with plain Win32, and packed DIBs decoded by the
// tests' own decoder.  Colours are 0x00RRGGBB, displayed rows top first.
#pragma once

#include "kernel/dib_model.h"
#include "paint/reference.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace zvtest {

// The displayed image, top row first, from color(column, row) of the
// stored pixels.
template <class Color>
std::vector<uint32_t> InDisplayOrder(const BitmapHandle &b, Color color) {
    const int w = DisplayW(b), h = DisplayH(b);
    std::vector<uint32_t> out(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int c, r;
            DisplayToStored(b.Orientation, b.Width, b.Height, x, y, &c, &r);
            out[size_t(y) * w + x] = color(c, r);
        }
    return out;
}

// The displayed image as GDI shows the pixels painted as they are.
inline std::vector<uint32_t> DisplayedColors(const BitmapHandle &b) {
    return InDisplayOrder(b, [&](int c, int r) { return AsIsColor(b, c, r); });
}

// The displayed image in the kernel's colours (K_ConvertToBGR).
inline std::vector<uint32_t> KernelColors(const BitmapHandle &b) {
    std::vector<std::vector<BYTE>> rows(b.Height, std::vector<BYTE>(size_t(b.Width) * 3));
    for (int r = 0; r < b.Height; ++r)
        K_ConvertToBGR(&b, b.Data + size_t(r) * b.BytesPerLine, rows[r].data(), b.Width);
    return InDisplayOrder(b, [&](int c, int r) { return Rgb(rows[r][3 * c + 2], rows[r][3 * c + 1], rows[r][3 * c]); });
}

// A DDB read with GetDIBits into a 32-bit top-down DIB on the screen DC,
// with the palette selected when one is given.
inline std::vector<uint32_t> ReadDdb(HBITMAP ddb, HPALETTE palette = nullptr) {
    BITMAP desc{};
    GetObject(ddb, sizeof desc, &desc);
    std::vector<uint32_t> px(size_t(desc.bmWidth) * desc.bmHeight);
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), desc.bmWidth, -desc.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    HPALETTE old = palette ? SelectPalette(screen, palette, FALSE) : nullptr;
    if (palette)
        RealizePalette(screen);
    GetDIBits(screen, ddb, 0, UINT(desc.bmHeight), px.data(), &bi, DIB_RGB_COLORS);
    if (old)
        SelectPalette(screen, old, FALSE);
    ReleaseDC(nullptr, screen);
    for (auto &p : px)
        p &= 0xFFFFFF;
    return px;
}

// A DDB of random 24-bit pixels: compatible with the screen, or monochrome.
inline HBITMAP MakeDdb(std::mt19937 &rng, int w, int h, bool mono) {
    HDC screen = GetDC(nullptr);
    HBITMAP ddb = mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateCompatibleBitmap(screen, w, h);
    std::vector<uint32_t> px(size_t(w) * h);
    for (auto &p : px)
        p = mono ? (rng() % 2 ? 0xFFFFFF : 0) : rng() & 0xFFFFFF;
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SetDIBits(screen, ddb, 0, UINT(h), px.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return ddb;
}

// Each test first makes what a process makes once, on first use, before
// counts are taken: the thread's paint settings, the screen DC's lazily
// made objects, a first DDB read.
struct TransferTest : testing::Test {
    void SetUp() override {
        Z_GetDisplayMode();
        WarmUp();
        std::mt19937 rng(1);
        HBITMAP ddb = MakeDdb(rng, 4, 4, false);
        HDC held = GetDC(nullptr);  // a second screen DC at once makes objects of its own
        ReadDdb(ddb);
        ReleaseDC(nullptr, held);
        DeleteObject(ddb);
    }
};

// A packed DIB, or one whose rows are elsewhere (a metafile record's),
// through the slow decoder of kernel/dib_model.h: top row first.
inline std::vector<uint32_t> DecodeDib(const BYTE *p, const BYTE *rows = nullptr) {
    const auto &h = *reinterpret_cast<const BITMAPINFOHEADER *>(p);
    const size_t colors = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : size_t(1) << h.biBitCount) : 0;
    const size_t head = h.biSize + (h.biCompression == BI_BITFIELDS && h.biSize == 40 ? 12 : 0) + 4 * colors;
    return ModelDecode(p, head, rows ? rows : p + head, 0).Displayed();
}

inline std::vector<uint32_t> DecodePackedDib(HGLOBAL dib) {
    const BYTE *p = static_cast<const BYTE *>(GlobalLock(dib));
    std::vector<uint32_t> v = DecodeDib(p);
    GlobalUnlock(dib);
    return v;
}

}  // namespace zvtest
