// Filtered paints (DISP_SCALE_FILTER bilinear, DISP_SCALE_FILTER_ALT area
// average) beside the unfiltered paint of the same sizes (both with the
// library's threads and on the calling thread alone, each ratio of the
// two filtered / unfiltered), GDI's HALFTONE
// StretchBlt and GDI+'s bilinear DrawImageRectI (the flat API, loaded at
// run time), all into 32-bit DIB sections in this process, and the
// kernel's resize alone; then the quality of the reduction against an
// exact box filter.
#include "tools/bench/filter_bench.h"
#include "tools/bench/paint_figures.h"

#include "common/zvpalettes.h"
#include "paint/paint_kind.h"
#include "paint/painters.h"
#include "tools/common/bench_clock.h"
#include "tools/common/dib_section.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace zvbench {

namespace {

using zvtools::Best;
using Target = zvtools::DibSection;

// The few GDI+ flat functions the baseline needs.
struct GdiPlus {
    struct StartupInput {
        UINT32 version = 1;
        void *debug = nullptr;
        BOOL noThread = FALSE, noCodecs = FALSE;
    };
    using Startup = int(WINAPI *)(ULONG_PTR *, const StartupInput *, void *);
    using Shutdown = void(WINAPI *)(ULONG_PTR);
    using FromScan0 = int(WINAPI *)(INT, INT, INT, INT, BYTE *, void **);
    using FromHdc = int(WINAPI *)(HDC, void **);
    using SetMode = int(WINAPI *)(void *, int);
    using Draw = int(WINAPI *)(void *, void *, INT, INT, INT, INT);
    using Delete = int(WINAPI *)(void *);
    HMODULE dll = LoadLibraryA("gdiplus.dll");
    ULONG_PTR token = 0;
    Shutdown shutdown = nullptr;
    FromScan0 fromScan0 = nullptr;
    FromHdc fromHdc = nullptr;
    SetMode setMode = nullptr;
    Draw draw = nullptr;
    Delete deleteGraphics = nullptr, disposeImage = nullptr;
    bool ok = false;

    template <class F>
    F Get(const char *name) {
        return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(dll, name)));
    }
    GdiPlus() {
        if (!dll)
            return;
        auto startup = Get<Startup>("GdiplusStartup");
        shutdown = Get<Shutdown>("GdiplusShutdown");
        fromScan0 = Get<FromScan0>("GdipCreateBitmapFromScan0");
        fromHdc = Get<FromHdc>("GdipCreateFromHDC");
        setMode = Get<SetMode>("GdipSetInterpolationMode");
        draw = Get<Draw>("GdipDrawImageRectI");
        deleteGraphics = Get<Delete>("GdipDeleteGraphics");
        disposeImage = Get<Delete>("GdipDisposeImage");
        const StartupInput input;
        ok = startup && shutdown && fromScan0 && fromHdc && setMode && draw && deleteGraphics && disposeImage &&
             startup(&token, &input, nullptr) == 0;
    }
    ~GdiPlus() {
        if (ok)
            shutdown(token);
        if (dll)
            FreeLibrary(dll);
    }
};

const int kFormat24 = 0x00021808;   // 24 bpp RGB (blue first in memory)
const int kFormat555 = 0x00021005;  // 16 bpp 5-5-5
const int kBilinear = 3;

// Seconds of GDI+'s bilinear draw of the bitmap's rows at dw x dh.
double GdiPlusSeconds(GdiPlus &gp, double budget, HDC dc, const BitmapHandle &b, int dw, int dh) {
    if (!gp.ok)
        return 0;
    void *image = nullptr, *graphics = nullptr;
    const int format = b.BitsPerPixel == 24 ? kFormat24 : kFormat555;
    if (gp.fromScan0(b.Width, b.Height, b.BytesPerLine, format, b.Data, &image) != 0)
        return 0;
    double t = 0;
    if (gp.fromHdc(dc, &graphics) == 0) {
        gp.setMode(graphics, kBilinear);
        t = Best(budget, [&] { gp.draw(graphics, image, 0, 0, dw, dh); });
        gp.deleteGraphics(graphics);
    }
    gp.disposeImage(image);
    return t;
}

// The bitmap's rows in a memory DC (a 24-bit DIB section), for StretchBlt.
struct SourceDc {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    explicit SourceDc(const BitmapHandle &b) {
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD c[3];
        } info{};
        info.h.biSize = sizeof(BITMAPINFOHEADER);
        info.h.biWidth = b.Width;
        info.h.biHeight = -b.Height;
        info.h.biPlanes = 1;
        info.h.biBitCount = WORD(b.BitsPerPixel);
        void *bits = nullptr;
        bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO *>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap) {
            std::memcpy(bits, b.Data, size_t(b.BytesPerLine) * b.Height);
            old = SelectObject(dc, bitmap);
        }
    }
    ~SourceDc() {
        if (old)
            SelectObject(dc, old);
        if (bitmap)
            DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

double HalftoneSeconds(double budget, HDC dc, const SourceDc &src, const BitmapHandle &b, int dw, int dh) {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    return Best(budget, [&] { StretchBlt(dc, 0, 0, dw, dh, src.dc, 0, 0, b.Width, b.Height, SRCCOPY); });
}

struct Case {
    const char *name;
    BitmapHandle *b;
    int dw, dh;
    UINT filter;      // DISP_SCALE_FILTER or DISP_SCALE_FILTER_ALT
    UINT extraMode;   // with the unfiltered paint too
    int deviceBits;   // 0: the screen's
    double target;    // the ratio asked for
};

int PaintCase(const Case &c, HDC dc, UINT mode) {
    Z_SetDisplayMode(0xFFFFFFFFu, mode);
    const RECT dst{0, 0, c.dw, c.dh};
    if (!c.deviceBits)
        return Z_PaintDC(dc, c.b, nullptr, nullptr, &dst, nullptr, SRCCOPY);
    return zv::PaintDispatchAs(dc, c.b, nullptr, nullptr, &dst, nullptr, SRCCOPY, c.deviceBits,
                               zv::ChoosePaintKind(c.b, c.deviceBits, mode));
}

int __stdcall ReadRow(const BitmapHandle *b, BYTE *buffer, int row, int column, int bytes, void *) {
    return K_GetBitmapRow(b, buffer, row, column * b->BitsPerPixel / 8, bytes) >= 0 ? RC_SUCCESS : RC_ROW_READ;
}

// Seconds of the kernel's resize alone (the "resize" column), all rows
// bottom up into one row, at the depth the paint asks for: onto the 256
// grays, or for a palette device onto the 3-3-2 table the strips take.
double ResizeSeconds(const Case &c, double budget, int bits) {
    std::vector<BYTE> row(size_t(c.dw) * 4 + 64);
    RGBQUAD gray[256];
    for (int i = 0; i < 256; ++i)
        gray[i] = c.deviceBits ? zv::Rgb332Palette[i] : RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    const UINT method = c.filter == DISP_SCALE_FILTER_ALT ? RESIZE_AREA : RESIZE_BILINEAR;
    return Best(budget, [&] {
        KResize *r = nullptr;
        if (K_ResizeStart(c.b, c.dw, c.dh, bits, gray, 256, method | RESIZE_DITHER_DIFFUSE, ReadRow, nullptr, &r) !=
            RC_SUCCESS)
            return;
        for (int y = c.dh - 1; y >= 0; --y)
            K_ResizeRow(r, y, 0, c.dw, row.data());
        K_ResizeEnd(r);
    });
}

void RunCase(const Case &c, double budget, GdiPlus &gp, const char *only) {
    if (!std::strstr(c.name, only))
        return;
    Target t(c.dw, c.dh);
    const zvbench::BothWays both =
        zvbench::MeasureBothWays(budget, [&] { return PaintCase(c, t.dc, c.extraMode | c.filter); });
    const Figures &filtered = both.threaded;
    const zvbench::BothWays plainBoth = zvbench::MeasureBothWays(budget, [&] { return PaintCase(c, t.dc, c.extraMode); });
    const Figures &plain = plainBoth.threaded;
    const SourceDc src(*c.b);
    const double halftone = HalftoneSeconds(budget, t.dc, src, *c.b, c.dw, c.dh);
    const double plus = GdiPlusSeconds(gp, budget, t.dc, *c.b, c.dw, c.dh);
    const double mp = double(c.dw) * c.dh / 1e6;
    auto rate = [&](double s) { return s > 0 ? mp / s : 0.0; };
    const double resize = ResizeSeconds(c, budget, c.b->BitsPerPixel == 24 && !c.deviceBits ? 32 : 8);
    std::printf("%-58s %8.1f %8.1f %6.2fx %9.1f %6.2f %8.1f %6.2f %6.2f %9.1f %8.1f %8.1f %7zu KB %7zu KB %5d\n",
                c.name, rate(filtered.seconds), rate(both.single.seconds), both.Gain(), rate(plain.seconds),
                plain.seconds / filtered.seconds, rate(plainBoth.single.seconds),
                plainBoth.single.seconds / both.single.seconds, c.target, rate(halftone), rate(plus), rate(resize),
                filtered.peak / 1024, both.single.peak / 1024, filtered.allocations);
}

// PSNR of a 32-bit paint against a double-precision image of 3 channels.
double Psnr(const Target &t, const std::vector<double> &exact) {
    double se = 0;
    for (size_t i = 0; i < size_t(t.w) * t.h; ++i)
        for (int ch = 0; ch < 3; ++ch) {
            const double d = double((t.bits[i] >> (8 * ch)) & 0xFF) - exact[3 * i + ch];
            se += d * d;
        }
    const double mse = se / (3.0 * t.w * t.h);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

// Weights of the box of output i on an axis of s source pixels to d.
std::vector<std::pair<int, double>> Box(int i, int s, int d) {
    std::vector<std::pair<int, double>> w;
    const double a = double(i) * s / d, b = double(i + 1) * s / d;
    for (int k = int(std::floor(a)); k < b && k < s; ++k) {
        const double part = std::min<double>(k + 1, b) - std::max<double>(k, a);
        if (part > 0)
            w.push_back({k, part * d / s});
    }
    return w;
}

// The exact area average of a 24-bit blue-first bitmap at dw x dh, in
// double precision, blue, green, red per pixel.
std::vector<double> ExactBox(const BitmapHandle &b, int dw, int dh) {
    std::vector<double> out(size_t(dw) * dh * 3), line(size_t(b.Width) * 3);
    for (int y = 0; y < dh; ++y) {
        std::fill(line.begin(), line.end(), 0.0);
        for (auto [sy, wy] : Box(y, b.Height, dh)) {
            const BYTE *row = b.Data + size_t(sy) * b.BytesPerLine;
            for (size_t i = 0; i < line.size(); ++i)
                line[i] += wy * row[i];
        }
        for (int x = 0; x < dw; ++x)
            for (auto [sx, wx] : Box(x, b.Width, dw))
                for (int ch = 0; ch < 3; ++ch)
                    out[(size_t(y) * dw + x) * 3 + ch] += wx * line[size_t(sx) * 3 + ch];
    }
    return out;
}

void Quality(BitmapHandle &b, int dw, int dh, GdiPlus &gp) {
    const std::vector<double> exact = ExactBox(b, dw, dh);
    Target t(dw, dh);
    const RECT dst{0, 0, dw, dh};
    std::printf("quality of 4000x3000 -> %dx%d against an exact box filter (PSNR):", dw, dh);
    for (UINT mode : {UINT(DISP_SCALE_FILTER_ALT), UINT(DISP_SCALE_FILTER), 0u}) {
        Z_SetDisplayMode(0xFFFFFFFFu, mode);
        Z_PaintDC(t.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY);
        std::printf(" %s %.1f dB,", mode == DISP_SCALE_FILTER_ALT ? "area" : mode ? "bilinear" : "unfiltered",
                    Psnr(t, exact));
    }
    const SourceDc src(b);
    HalftoneSeconds(0, t.dc, src, b, dw, dh);
    std::printf(" HALFTONE %.1f dB", Psnr(t, exact));
    if (GdiPlusSeconds(gp, 0, t.dc, b, dw, dh) > 0)
        std::printf(", GDI+ %.1f dB", Psnr(t, exact));
    std::printf("\n");
}

}  // namespace

// The host's load average when the program runs under Wine (its Z: drive
// is the host's root), so that a run's figures carry it.
void PrintLoad() {
    double one, five, fifteen;
    if (FILE *f = std::fopen("Z:\\proc\\loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &one, &five, &fifteen) == 3)
            std::printf("load average %.2f, %.2f, %.2f\n", one, five, fifteen);
        std::fclose(f);
    }
}

void RunFilterCases(double budget, const char *only) {
    std::mt19937 rng(23);
    GdiPlus gp;
    std::printf("\nfiltered paints; Mpixel/s of destination pixels%s\n", gp.ok ? "" : " (no GDI+ here)");
    PrintLoad();
    std::printf("%-58s %8s %8s %7s %9s %6s %8s %6s %6s %9s %8s %8s %10s %10s %5s\n", "case", "filtered", "1 thread",
                "gain", "unfiltrd", "ratio", "1 thread", "ratio", "target", "HALFTONE", "GDI+", "resize", "peak mem", "1 thread", "allocs");
    BitmapHandle photo{}, small{}, gray{};
    MakeBitmap(&photo, 4000, 3000, 24, ORDER_BGR, rng);
    MakeBitmap(&small, 1000, 750, 24, ORDER_BGR, rng);
    const UINT diffuse = DISP_LIBRARY_DITHER | DISP_DITHER_8BIT;
    RunCase({"24-bit 4000x3000 -> 1600x1200, bilinear", &photo, 1600, 1200, DISP_SCALE_FILTER, 0, 0, 0.5}, budget, gp,
            only);
    RunCase({"24-bit 4000x3000 -> 1600x1200, area", &photo, 1600, 1200, DISP_SCALE_FILTER_ALT, 0, 0, 0.5}, budget, gp,
            only);
    RunCase({"24-bit 1000x750 -> 2000x1500, bilinear", &small, 2000, 1500, DISP_SCALE_FILTER, 0, 0, 0.33}, budget, gp,
            only);
    RunCase({"24-bit 1000x750 -> 2000x1500, area", &small, 2000, 1500, DISP_SCALE_FILTER_ALT, 0, 0, 0.33}, budget, gp,
            only);
    RunCase({"24-bit 4000x3000 -> 1600x1200, 8-bit diffused, bilinear", &photo, 1600, 1200, DISP_SCALE_FILTER,
             diffuse, 8, 0.5},
            budget, gp, only);
    RunCase({"24-bit 4000x3000 -> 1600x1200, 8-bit ordered, bilinear", &photo, 1600, 1200, DISP_SCALE_FILTER,
             diffuse | DISP_ORDERED_DITHER, 8, 0},
            budget, gp, only);
    MakeBitmap(&gray, 2000, 2000, 16, ORDER_GRAY, rng);
    std::vector<RGBQUAD> table(4096);
    Z_WindowLevelFillLUT(table.data(), 4096, RGB(0, 0, 0), RGB(255, 255, 255), 800, 2400, 0, 11, 0, 4095, 1);
    Z_WindowLevel(&gray, 0, 11, table.data(), 4096, 1);
    RunCase({"16-bit gray 2000x2000 -> 1000x1000, window level, bilinear", &gray, 1000, 1000, DISP_SCALE_FILTER, 0,
             0, 0.5},
            budget, gp, only);
    if (std::strstr("quality", only))
        Quality(photo, 1600, 1200, gp);
    K_FreeBitmap(&gray);
    K_FreeBitmap(&small);
    K_FreeBitmap(&photo);
}

}  // namespace zvbench
