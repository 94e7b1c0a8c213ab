// Paint throughput: destination Mpixel/s of Z_PaintDC into a 32-bit DIB
// section selected in a memory DC, each case printed beside two GDI
// baselines measured in the same process on the same source and
// destination sizes: raw StretchDIBits in one call, and raw StretchDIBits
// issued in bands of at most 256 KB of source rows.  Also the kernel
// memory high-water mark of one paint and its number of allocations.
//
//   zvpaintbench.exe [seconds per figure, default 0.5] [cases]
//
// `cases` keeps only the cases whose name contains it ("magnifier";
// "quality" prints the filters' PSNR against an exact box filter).  The
// filtered paints follow in a table of their own (filter_bench.cpp).
// Cases that dither for an 8-bit device paint as for one (the library's
// own reduction) whatever the screen, so that the figures exist at both
// Xvfb depths.
#include "tools/common/bench_clock.h"
#include "paint/paint_kind.h"
#include "paint/painters.h"
#include "tools/common/dib_section.h"
#include "tools/bench/filter_bench.h"
#include "tools/bench/paint_figures.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using zvtools::Best;
using zvtools::Now;
using zvbench::Figures;
using zvbench::MakeBitmap;
using zvbench::MeasurePaint;

using Target = zvtools::DibSection;

// The bitmap as GDI takes it: a bottom-up DIB header over the kernel's
// rows (which run top-down, so the header says so with a negative height).
struct RawDib {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD c[256];
    } info{};
    const BitmapHandle *b;
    explicit RawDib(const BitmapHandle *bmp, int gdiBits) : b(bmp) {
        info.h.biSize = sizeof(BITMAPINFOHEADER);
        info.h.biWidth = b->Width;
        info.h.biHeight = -b->Height;
        info.h.biPlanes = 1;
        info.h.biBitCount = WORD(gdiBits);
        info.h.biSizeImage = DWORD(b->BytesPerLine) * b->Height;
        if (gdiBits <= 8) {
            info.h.biClrUsed = 1u << gdiBits;
            K_GetBitmapColors(b, 0, 1 << gdiBits, info.c);
        }
    }
    const BITMAPINFO *Info() const { return reinterpret_cast<const BITMAPINFO *>(&info); }
};

void OneCall(HDC dc, const RawDib &raw, int dw, int dh) {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, dw, dh, 0, 0, raw.b->Width, raw.b->Height, raw.b->Data, raw.Info(), DIB_RGB_COLORS,
                  SRCCOPY);
}

// Bands of source rows of at most 256 KB, each stretched to its share of
// the destination (a top-down band header per call).
void InBands(HDC dc, const RawDib &raw, int dw, int dh) {
    SetStretchBltMode(dc, COLORONCOLOR);
    const BitmapHandle *b = raw.b;
    const int rows = std::max(1, 0x40000 / b->BytesPerLine);
    auto info = raw.info;
    for (int y = 0; y < b->Height; y += rows) {
        const int n = std::min(rows, b->Height - y);
        const int y0 = int(int64_t(y) * dh / b->Height), y1 = int(int64_t(y + n) * dh / b->Height);
        info.h.biHeight = -n;
        info.h.biSizeImage = DWORD(b->BytesPerLine) * n;
        StretchDIBits(dc, 0, y0, dw, y1 - y0, 0, 0, b->Width, n, b->Data + size_t(y) * b->BytesPerLine,
                      reinterpret_cast<const BITMAPINFO *>(&info), DIB_RGB_COLORS, SRCCOPY);
    }
}

void Row(const char *name, int dw, int dh, const zvbench::BothWays &both, double oneCall, double bands) {
    const double mp = double(dw) * dh / 1e6;
    const Figures &f = both.threaded;
    std::printf("%-44s %8.1f %8.1f %6.2fx %9.1f %9.1f %8.2fx %7.2fx %7zu KB %7zu KB %5d\n", name, mp / f.seconds,
                mp / both.single.seconds, both.Gain(), mp / oneCall, mp / bands, oneCall / f.seconds,
                bands / f.seconds, f.peak / 1024, both.single.peak / 1024, f.allocations);
}

}  // namespace

int main(int argc, char **argv) {
    const double budget = argc > 1 ? std::atof(argv[1]) : 0.5;
    const char *only = argc > 2 ? argv[2] : "";
    std::mt19937 rng(7);
    HDC screen = GetDC(nullptr);
    const int screenBits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    std::printf("screen depth %d; Mpixel/s of destination pixels\n", screenBits);
    std::printf("%-44s %8s %8s %7s %9s %9s %9s %8s %10s %10s %5s\n", "case", "library", "1 thread", "gain",
                "GDI 1call", "GDI bands", "vs 1call", "vs bands", "peak mem", "1 thread", "allocs");
    Z_SetDisplayMode(0xFFFFFFFFu, 0);

    BitmapHandle photo{};
    MakeBitmap(&photo, 4000, 3000, 24, ORDER_BGR, rng);
    const RawDib photoRaw(&photo, 24);
    struct Case {
        const char *name;
        BitmapHandle *b;
        const RawDib *raw;
        int dw, dh;
        UINT mode;
        int deviceBits;  // 0: the screen's
        const RECT *src;
    };
    auto run = [&](const Case &c) {
        if (!std::strstr(c.name, only))
            return;
        Target t(c.dw, c.dh);
        Z_SetDisplayMode(0xFFFFFFFFu, c.mode);
        const RECT dst{0, 0, c.dw, c.dh};
        const int kind = c.deviceBits ? zv::ChoosePaintKind(c.b, c.deviceBits, c.mode) : 0;
        const zvbench::BothWays f = zvbench::MeasureBothWays(budget, [&] {
            return c.deviceBits ? zv::PaintDispatchAs(t.dc, c.b, c.src, nullptr, &dst, nullptr, SRCCOPY,
                                                      c.deviceBits, kind)
                                : Z_PaintDC(t.dc, c.b, c.src, nullptr, &dst, nullptr, SRCCOPY);
        });
        const double one = Best(budget, [&] { OneCall(t.dc, *c.raw, c.dw, c.dh); });
        const double bands = Best(budget, [&] { InBands(t.dc, *c.raw, c.dw, c.dh); });
        Row(c.name, c.dw, c.dh, f, one, bands);
    };
    run({"24-bit 4000x3000 1:1", &photo, &photoRaw, 4000, 3000, 0, 0, nullptr});
    photo.Orientation = 5;  // the same pixels shown turned: strips rotated by the kernel
    run({"24-bit 3000x4000 turned (orientation 5)", &photo, &photoRaw, 3000, 4000, 0, 0, nullptr});
    photo.Orientation = 0;
    run({"24-bit 4000x3000 to 8000x6000 (2x)", &photo, &photoRaw, 8000, 6000, 0, 0, nullptr});
    run({"24-bit 4000x3000 to 2000x1500 (0.5x)", &photo, &photoRaw, 2000, 1500, 0, 0, nullptr});
    run({"24-bit to 8-bit device, diffusion", &photo, &photoRaw, 4000, 3000, DISP_LIBRARY_DITHER | DISP_DITHER_8BIT,
         8, nullptr});
    run({"24-bit to 8-bit device, ordered", &photo, &photoRaw, 4000, 3000,
         DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER, 8, nullptr});
    run({"24-bit to 8-bit device, ordered, 0.8x", &photo, &photoRaw, 3200, 2400,
         DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER, 8, nullptr});
    run({"24-bit to 8-bit device, diffusion, 0.8x", &photo, &photoRaw, 3200, 2400,
         DISP_LIBRARY_DITHER | DISP_DITHER_8BIT, 8, nullptr});
    photo.Orientation = 5;
    run({"24-bit turned (orientation 5) to 2400x3200", &photo, &photoRaw, 2400, 3200, 0, 0, nullptr});
    run({"24-bit turned to 8-bit device, ordered", &photo, &photoRaw, 3000, 4000,
         DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER, 8, nullptr});
    photo.Orientation = 0;
    const RECT magnified{1000, 1000, 1064, 1064};
    {
        // The magnifier: a 64 x 64 area to 256 x 256, per-call overhead;
        // the baselines stretch the same 64 x 64 rows.
        BitmapHandle part{};
        K_CreateBitmap(&part, 64, 64, 24, ORDER_BGR, 0);
        for (int y = 0; y < 64; ++y)
            std::memcpy(part.Data + size_t(y) * part.BytesPerLine,
                        photo.Data + size_t(1000 + y) * photo.BytesPerLine + 3000, 192);
        const RawDib partRaw(&part, 24);
        run({"magnifier 64x64 to 256x256", &photo, &partRaw, 256, 256, 0, 0, &magnified});
        // The default mode asks the device's class on every paint.
        run({"magnifier, default mode", &photo, &partRaw, 256, 256, DISP_DEFAULT_MODE, 0, &magnified});
        if (std::strstr("magnifier per call", only)) {
            // Per call: the magnifier's paint, GDI's, and the device-class
            // question that every paint asks, beside BITSPIXEL.
            Target t(256, 256);
            const RECT dst{0, 0, 256, 256};
            Z_SetDisplayMode(0xFFFFFFFFu, 0);
            const double paint =
                Best(budget, [&] { Z_PaintDC(t.dc, &photo, &magnified, nullptr, &dst, nullptr, SRCCOPY); });
            const double gdi = Best(budget, [&] { OneCall(t.dc, partRaw, 256, 256); });
            auto perCall = [&](const std::function<void()> &fn) {
                return Best(budget / 4, [&] {
                    for (int i = 0; i < 100; ++i)
                        fn();
                }) / 100;
            };
            const double ours = perCall([&] { zv::DeviceBitsOf(t.dc); });
            const double bits = perCall([&] { GetDeviceCaps(t.dc, BITSPIXEL); });
            std::printf("magnifier per call: library %.1f us, GDI %.1f us (%.2fx); device class %.2f us, "
                        "BITSPIXEL %.1f us\n",
                        paint * 1e6, gdi * 1e6, paint / gdi, ours * 1e6, bits * 1e6);
        }
        K_FreeBitmap(&part);
    }
    K_FreeBitmap(&photo);

    BitmapHandle pal{};
    MakeBitmap(&pal, 4000, 3000, 8, ORDER_BGR, rng);
    std::vector<RGBQUAD> colors(256);
    for (auto &q : colors)
        q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
    K_PutBitmapColors(&pal, 0, 256, colors.data());
    const RawDib palRaw(&pal, 8);
    run({"8-bit palette 4000x3000 1:1", &pal, &palRaw, 4000, 3000, 0, 0, nullptr});
    K_FreeBitmap(&pal);

    BitmapHandle page{};
    K_CreateBitmap(&page, 2480, 3508, 1, ORDER_BGR, 0);
    for (int y = 0; y < 3508; ++y)  // text-like lines: short black runs on white
        for (int i = 0; i < page.BytesPerLine; ++i)
            page.Data[size_t(y) * page.BytesPerLine + i] = (y % 40) < 24 && (rng() % 4) ? BYTE(rng() & 0x66) : 0xFF;
    const RawDib pageRaw(&page, 1);
    run({"1-bit 2480x3508 page 4:1 scale to gray", &page, &pageRaw, 620, 877, DISP_SCALE_TO_GRAY, 0, nullptr});
    K_FreeBitmap(&page);

    BitmapHandle gray{};
    MakeBitmap(&gray, 2000, 2000, 16, ORDER_GRAY, rng);
    gray.LowBit = 0;
    gray.HighBit = 11;
    std::vector<RGBQUAD> table(4096);
    Z_WindowLevelFillLUT(table.data(), 4096, RGB(0, 0, 0), RGB(255, 255, 255), 800, 2400, 0, 11, 0, 4095, 1);
    Z_WindowLevel(&gray, 0, 11, table.data(), 4096, 1);
    const RawDib grayRaw(&gray, 16);  // GDI reads the words as 5-5-5 colour: same sizes, no window
    run({"16-bit gray 2000x2000 window level 1:1", &gray, &grayRaw, 2000, 2000, 0, 0, nullptr});
    for (size_t i = 0; i < table.size(); ++i)  // a colour table: 24-bit rows
        table[i] = RGBQUAD{BYTE(i / 16), BYTE(255 - i / 16), BYTE(i % 256), 0};
    Z_WindowLevel(&gray, 0, 11, table.data(), 4096, 1);
    run({"16-bit gray, colour window level 1:1", &gray, &grayRaw, 2000, 2000, 0, 0, nullptr});
    K_FreeBitmap(&gray);
    zvbench::RunFilterCases(budget, only);
    return 0;
}
