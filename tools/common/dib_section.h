// A 32-bit top-down DIB section selected into its own memory DC: the
// paint target of the tests, the benchmarks and the demo (its pixels read
// back exactly, whatever the screen's depth).
#pragma once

#include <windows.h>

#include <cstdint>

namespace zvtools {

struct DibSection {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t *bits = nullptr;  // top-down rows of w pixels: blue, green, red, unused
    int w = 0, h = 0;

    DibSection(int width, int height) : w(width), h(height) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void *p = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t *>(p);
        if (bitmap)
            old = SelectObject(dc, bitmap);
    }
    ~DibSection() {
        if (old)
            SelectObject(dc, old);
        if (bitmap)
            DeleteObject(bitmap);
        DeleteDC(dc);
    }
    DibSection(const DibSection &) = delete;
    DibSection &operator=(const DibSection &) = delete;
};

}  // namespace zvtools
