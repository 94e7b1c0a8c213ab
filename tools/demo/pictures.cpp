// Built-in pictures of the demo.  Everything is computed, nothing loaded,
// so that the contact sheet is the same on every machine.
#include "tools/demo/pictures.h"

#include <cmath>
#include <cstring>

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;

int Clamp(double v) { return v < 0 ? 0 : v > 255 ? 255 : int(v + 0.5); }

// Deterministic value noise in [0, 1).
double Hash(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xFFFF) / 65536.0;
}

double Noise(double x, double y) {
    const int ix = int(std::floor(x)), iy = int(std::floor(y));
    const double fx = x - ix, fy = y - iy;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double a = Hash(ix, iy), b = Hash(ix + 1, iy), c = Hash(ix, iy + 1), d = Hash(ix + 1, iy + 1);
    return a + (b - a) * sx + (c - a) * sy + (a - b - c + d) * sx * sy;
}

double Fractal(double x, double y) {
    double v = 0, amp = 0.5;
    for (int o = 0; o < 5; ++o, x *= 2, y *= 2, amp /= 2)
        v += amp * Noise(x, y);
    return v;
}

}  // namespace

bool MakeScene(BitmapHandle *b) {
    const int w = 480, h = 320;
    if (K_CreateBitmap(b, w, h, 24, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    for (int y = 0; y < h; ++y) {
        BYTE *row = b->Data + size_t(y) * b->BytesPerLine;
        for (int x = 0; x < w; ++x) {
            double r, g, bl;
            // Sky: a vertical gradient with a sun and a soft halo.
            const double t = double(y) / h;
            r = 70 + 120 * t, g = 130 + 90 * t, bl = 235 - 40 * t;
            const double sd = std::hypot(x - 360.0, y - 70.0);
            if (sd < 34)
                r = 255, g = 235, bl = 150;
            else if (sd < 90) {
                const double k = (90 - sd) / 56 * 0.6;
                r += (255 - r) * k, g += (230 - g) * k, bl += (160 - bl) * k;
            }
            // Two ranges of hills with textured grass.
            const double hill1 = 190 + 30 * std::sin(x / 55.0) + 12 * Fractal(x / 40.0, 1.5);
            const double hill2 = 235 + 20 * std::sin(x / 31.0 + 1.7) + 10 * Fractal(x / 25.0, 7.5);
            if (y > hill1) {
                const double n = Fractal(x / 9.0, y / 9.0);
                r = 60 + 50 * n, g = 110 + 60 * n, bl = 70 + 30 * n;
            }
            if (y > hill2) {
                const double n = Fractal(x / 4.0, y / 4.0);
                r = 40 + 90 * n, g = 120 + 90 * n, bl = 30 + 30 * n;
            }
            // A colour wheel: hue around, saturation outwards.
            const double cx = x - 110.0, cy = y - 110.0, rad = std::hypot(cx, cy);
            if (rad < 80) {
                const double hue = std::atan2(cy, cx) / (2 * kPi) + 0.5, s = rad / 80;
                const double hr = std::fabs(hue * 6 - 3) - 1, hg = 2 - std::fabs(hue * 6 - 2),
                             hb = 2 - std::fabs(hue * 6 - 4);
                auto ch = [&](double c) { return 255 * (1 - s + s * std::fmin(std::fmax(c, 0.0), 1.0)); };
                r = ch(hr), g = ch(hg), bl = ch(hb);
            }
            // Fine detail: a zone plate and one-pixel lines at the bottom right.
            if (x >= 380 && y >= 220) {
                const double zx = x - 430.0, zy = y - 270.0;
                const double v = 127.5 + 127.5 * std::cos((zx * zx + zy * zy) / 40.0);
                r = g = bl = v;
            }
            if (x >= 200 && x < 340 && y >= 270 && y < 310)
                r = g = bl = ((x / (1 + (x - 200) / 35)) & 1) ? 255 : 0;
            // Horizontal gray and colour ramps along the top.
            if (y < 12)
                r = g = bl = x * 255.0 / (w - 1);
            else if (y < 24)
                r = x * 255.0 / (w - 1), g = 0, bl = 255 - x * 255.0 / (w - 1);
            row[3 * x] = BYTE(Clamp(bl));
            row[3 * x + 1] = BYTE(Clamp(g));
            row[3 * x + 2] = BYTE(Clamp(r));
        }
    }
    return true;
}

bool MakeTextPage(BitmapHandle *b) {
    const int w = 1240, h = 1754;  // A4 at 150 dpi
    if (K_CreateBitmap(b, w, h, 1, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    // Draw the page with GDI into a 1-bit DIB section, then take its rows.
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD c[2];
    } bi{};
    bi.h.biSize = sizeof(BITMAPINFOHEADER);
    bi.h.biWidth = w;
    bi.h.biHeight = -h;
    bi.h.biPlanes = 1;
    bi.h.biBitCount = 1;
    bi.c[1] = RGBQUAD{255, 255, 255, 0};
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO *>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib) {
        DeleteDC(dc);
        return false;
    }
    HGDIOBJ old = SelectObject(dc, dib);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    HFONT title = CreateFontA(-56, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
    HFONT body = CreateFontA(-22, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Times New Roman");
    HFONT small = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Courier New");
    SelectObject(dc, title);
    TextOutA(dc, 120, 110, "Quarterly Report", 16);
    SelectObject(dc, body);
    const char *lines[] = {
        "The display library paints bitmaps of any depth onto any device:",
        "scaled, clipped, turned to the view orientation and reduced to",
        "the colours the device can show.  Black-and-white pages such as",
        "this one are shrunk to gray from their run lengths, so that a",
        "mostly white line costs a handful of runs and thin strokes stay",
        "readable at a quarter of their size.",
        "",
        "1. Every destination pixel maps back through a DDA to a source",
        "   pixel; strips of at most 256 KB go to GDI one to one.",
        "2. Ordered and error-diffusion dithering reduce colour to 8, 4",
        "   and 1 bit against fixed display palettes.",
        "3. Gray data deeper than 8 bits is shown through a window level.",
    };
    int y = 230;
    for (const char *l : lines) {
        TextOutA(dc, 120, y, l, int(strlen(l)));
        y += 34;
    }
    // A table, a chart and fine print.
    for (int i = 0; i <= 6; ++i) {
        MoveToEx(dc, 120, 720 + i * 40, nullptr);
        LineTo(dc, 1120, 720 + i * 40);
    }
    for (int i = 0; i <= 4; ++i) {
        MoveToEx(dc, 120 + i * 250, 720, nullptr);
        LineTo(dc, 120 + i * 250, 960);
    }
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 4; ++c) {
            char cell[32];
            const int n = wsprintfA(cell, r == 0 ? "Region %d" : "%d.%02d", r == 0 ? c + 1 : (r * 37 + c * 91) % 900,
                                    (r * 13 + c * 7) % 100);
            TextOutA(dc, 135 + c * 250, 727 + r * 40, cell, n);
        }
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    for (int i = 0; i < 12; ++i) {
        const int bh = 40 + (i * 53) % 260;
        RECT bar{140 + i * 80, 1300 - bh, 190 + i * 80, 1300};
        FillRect(dc, &bar, black);
    }
    MoveToEx(dc, 120, 1300, nullptr);
    LineTo(dc, 1120, 1300);
    SelectObject(dc, small);
    y = 1360;
    for (int i = 0; i < 22; ++i, y += 16) {
        char fine[120];
        const int n = wsprintfA(fine, "%03d  fine print line of thirteen-pixel text, 0123456789 abcdefghijklmnopqrstuvwxyz", i);
        TextOutA(dc, 120, y, fine, n);
    }
    GdiFlush();
    const int stride = ((w + 31) / 32) * 4;
    for (int r = 0; r < h; ++r)
        std::memcpy(b->Data + size_t(r) * b->BytesPerLine, static_cast<BYTE *>(bits) + size_t(r) * stride,
                    size_t(w + 7) / 8);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteObject(title);
    DeleteObject(body);
    DeleteObject(small);
    DeleteDC(dc);
    return true;  // K_CreateBitmap's palette: black, white
}

bool MakeGrayPhantom(BitmapHandle *b) {
    const int n = 512;
    if (K_CreateBitmap(b, n, n, 16, ORDER_GRAY, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    b->LowBit = 0;
    b->HighBit = 11;
    for (int y = 0; y < n; ++y) {
        WORD *row = reinterpret_cast<WORD *>(b->Data + size_t(y) * b->BytesPerLine);
        for (int x = 0; x < n; ++x) {
            const double cx = (x - 256) / 230.0, cy = (y - 256) / 200.0;
            double v = 60;                                   // air
            if (cx * cx + cy * cy < 1) v = 1100;             // soft tissue
            if (cx * cx / 0.8 + cy * cy / 0.9 < 0.9) v = 1300;
            const double lx = cx + 0.38, rx = cx - 0.38;
            if (lx * lx / 0.05 + cy * cy / 0.25 < 1) v = 400 + 80 * Noise(x / 6.0, y / 6.0);   // lungs
            if (rx * rx / 0.05 + cy * cy / 0.25 < 1) v = 400 + 80 * Noise(x / 6.0 + 9, y / 6.0);
            if (std::hypot(cx, cy + 0.55) < 0.12) v = 3200;  // bone
            if (std::hypot(cx - 0.1, cy - 0.1) < 0.05) v = 1500;  // a lesion, 200 above tissue
            v += 40 * (Noise(x / 3.0, y / 3.0) - 0.5);
            if (y > 490)  // a calibration ramp along the bottom
                v = x * 4095.0 / (n - 1);
            row[x] = WORD(v < 0 ? 0 : v > 4095 ? 4095 : v);
        }
    }
    return true;
}

bool MakePaletteImage(BitmapHandle *b) {
    const int w = 320, h = 240;
    if (K_CreateBitmap(b, w, h, 8, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    RGBQUAD pal[256];
    for (int i = 0; i < 256; ++i) {  // bands of hue over a dark-to-light ramp; 0 is black
        const double t = i / 255.0, a = i * 0.35;
        pal[i] = RGBQUAD{BYTE(Clamp(128 + 110 * std::sin(a + 4.2) * (1 - t) + 80 * t)),
                         BYTE(Clamp(128 + 110 * std::sin(a + 2.1) * (1 - t) + 80 * t)),
                         BYTE(Clamp(128 + 110 * std::sin(a) * (1 - t) + 80 * t)), 0};
    }
    pal[0] = RGBQUAD{0, 0, 0, 0};
    K_PutBitmapColors(b, 0, 256, pal);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double cr = -0.65 + (x - w / 2) * 0.0095, ci = (y - h / 2) * 0.0095;
            double zr = 0, zi = 0;
            int k = 0;
            while (k < 255 && zr * zr + zi * zi < 4) {
                const double t = zr * zr - zi * zi + cr;
                zi = 2 * zr * zi + ci;
                zr = t;
                ++k;
            }
            b->Data[size_t(y) * b->BytesPerLine + x] = BYTE(k == 255 ? 0 : 1 + (k * 3) % 255);
        }
    return true;
}

}  // namespace demo
