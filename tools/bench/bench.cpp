// Row converter and expander throughput, in destination Mpixel/s for
// 4000-pixel rows on one thread, each printed beside a baseline measured
// in the same process: a plain loop that reads the same 24-bit pixels and
// writes 32-bit ones, the cheapest real conversion.  Buffers are made once
// and reused, so no allocation falls inside a measured loop.
//
//   bench.exe [seconds per figure, default 0.3]
#include "paint/convert.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 4000;
constexpr int kRows = 16;  // distinct source rows, cycled

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(f.QuadPart);
}

// Mpixel/s of row(y): the best of many short rounds within about
// `seconds`, so that a round in which the machine's other work took the
// processor does not count.
double Measure(double seconds, const std::function<void(int)> &row) {
    for (int y = 0; y < kRows; ++y)
        row(y);  // warm caches and branch predictors
    double best = 0;
    const double end = Now() + seconds;
    do {
        const double start = Now();
        for (int y = 0; y < 16; ++y)
            row(y);
        const double rate = 16.0 * kWidth / (Now() - start) / 1e6;
        best = rate > best ? rate : best;
    } while (Now() < end);
    return best;
}

__attribute__((noinline)) void Baseline(BYTE *dst, const BYTE *src, int n) {
    for (int x = 0; x < n; ++x, src += 3, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 0;
    }
}

struct Source {
    int bits;
    std::vector<BYTE> rows;
    int stride;
    Source(int b, std::mt19937 &rng) : bits(b), stride((kWidth * b + 7) / 8 + 8) {
        rows.resize(size_t(stride) * kRows);
        for (BYTE &v : rows)
            v = BYTE(rng());
    }
    const BYTE *Row(int y) const { return rows.data() + size_t(y % kRows) * stride; }
};

}  // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0.3;
    std::mt19937 rng(2026);
    std::vector<BYTE> dst(size_t(kWidth) * 8 + 16);
    std::vector<zv::ErrorEntry> errors(kWidth);
    std::vector<RGBQUAD> palette(256);
    for (RGBQUAD &q : palette)
        q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
    BYTE lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = BYTE(i);
    BitmapHandle bitmap{};
    bitmap.Flags = BITMAP_ALLOCATED;
    bitmap.PaintLUT = lut;
    bitmap.PaintGamma = 100;

    Source s24(24, rng);
    const double base = Measure(seconds, [&](int y) { Baseline(dst.data(), s24.Row(y), kWidth); });
    std::printf("baseline 24 -> 32 copy loop: %.0f Mpixel/s\n\n", base);
    std::printf("%-40s %10s %10s %8s\n", "conversion", "Mpixel/s", "baseline", "ratio");

    auto report = [&](const char *name, double v) {
        std::printf("%-40s %10.0f %10.0f %8.3f\n", name, v, base, v / base);
        std::fflush(stdout);
    };
    auto converter = [&](const char *name, int bits, int order, int target, bool ordered, UINT mode) {
        Source src(bits, rng);
        bitmap.BitsPerPixel = bits;
        bitmap.Order = order;
        bitmap.LowBit = 0;
        bitmap.HighBit = bits - 1;
        Z_SetDisplayMode(0xFFFFFFFF, mode | (ordered ? DISP_ORDERED_DITHER : 0));
        const zv::RowConverter convert = zv::SelectRowConverter(bits, target);
        report(name, Measure(seconds, [&](int y) {
                   convert(dst.data(), src.Row(y), &bitmap, 0, kWidth, 0, y, errors.data(), palette.data());
               }));
    };
    auto expander = [&](const char *name, int bits, int order, int outBits) {
        Source src(bits, rng);
        bitmap.BitsPerPixel = bits;
        bitmap.Order = order;
        bitmap.LowBit = 0;
        bitmap.HighBit = bits - 1;
        const zv::RowExpander expand = zv::GetRowExpander(bits, outBits);
        report(name, Measure(seconds, [&](int y) { expand(dst.data(), src.Row(y), &bitmap, 0, kWidth); }));
    };

    converter("24 -> 8 diffusion, 3-3-2", 24, ORDER_BGR, 8, false, 0);
    converter("24 -> 8 diffusion, cube", 24, ORDER_BGR, 8, false, DISP_CUBE_PALETTE);
    converter("24 -> 8 ordered, 3-3-2", 24, ORDER_BGR, 8, true, 0);
    converter("24 -> 8 ordered, cube", 24, ORDER_BGR, 8, true, DISP_CUBE_PALETTE);
    converter("24 -> 4 diffusion", 24, ORDER_BGR, 4, false, 0);
    converter("24 -> 4 ordered", 24, ORDER_BGR, 4, true, 0);
    converter("24 -> 1 diffusion", 24, ORDER_BGR, 1, false, 0);
    converter("24 -> 1 ordered, dispersed", 24, ORDER_BGR, 1, true, 0);
    converter("24 -> 1 ordered, clustered", 24, ORDER_BGR, 1, true, DISP_CLUSTERED_DITHER);
    converter("8 palette -> 8 diffusion, 3-3-2", 8, ORDER_BGR, 8, false, 0);
    converter("8 palette -> 8 ordered, 3-3-2", 8, ORDER_BGR, 8, true, 0);
    converter("1 -> 8 diffusion, 3-3-2", 1, ORDER_BGR, 8, false, 0);
    converter("1 -> 8 ordered, 3-3-2", 1, ORDER_BGR, 8, true, 0);
    converter("16 gray -> 8 diffusion, 3-3-2", 16, ORDER_GRAY, 8, false, 0);
    converter("16 gray -> 8 ordered, 3-3-2", 16, ORDER_GRAY, 8, true, 0);
    expander("48 -> 24 expander", 48, ORDER_BGR, 24);
    expander("64 -> 24 expander", 64, ORDER_BGR, 24);
    expander("32 -> 24 expander", 32, ORDER_BGR, 24);
    expander("16 gray -> 8 expander", 16, ORDER_GRAY, 8);
    expander("12 gray -> 24 expander", 12, ORDER_GRAY, 24);
    return 0;
}
