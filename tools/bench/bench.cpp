// Row converter, expander and colour-space throughput, in destination
// Mpixel/s for 4000-pixel rows on one thread, each printed beside a
// baseline measured in the same process: a plain loop that reads the same
// 24-bit pixels and writes 32-bit ones, the cheapest real conversion.
// Buffers are made once and reused; only Z_ConvertColorSpace allocates in
// a measured loop (its scratch run, once per call, as in an application).
//
//   bench.exe [seconds per figure, default 0.3] [colour: colour spaces only]
#include "tools/common/bench_clock.h"
#include "paint/convert.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using zvtools::Now;

constexpr int kWidth = 4000;
constexpr int kRows = 16;  // distinct source rows, cycled

// Mpixel/s of row(y) over many short rounds within about `seconds`: the
// best round (a round in which the machine's other work took the
// processor does not count) and the mean over all of them.
struct Rate {
    double best, mean;
};

Rate Measure(double seconds, const std::function<void(int)> &row) {
    for (int y = 0; y < kRows; ++y)
        row(y);  // warm caches and branch predictors
    double best = 0;
    long long rounds = 0;
    const double first = Now(), end = first + seconds;
    double now = first;
    do {
        const double start = now;
        for (int y = 0; y < 16; ++y)
            row(y);
        now = Now();
        ++rounds;
        const double rate = 16.0 * kWidth / (now - start) / 1e6;
        best = rate > best ? rate : best;
    } while (now < end);
    return Rate{best, 16.0 * kWidth * rounds / (now - first) / 1e6};
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

// Z_ConvertColorSpace from RGB of the family into every format and back,
// whole calls of kWidth pixels (the scratch run and its copy included).
// The formats' pixels come from converting random RGB, so that they hold
// values the conversion back meets in practice.
template <class Report>
void ColourSpaces(double seconds, std::mt19937 &rng, const Report &report) {
    struct Format {
        const char *name;
        int code;
    } const formats[] = {
        {"RGB", CS_RGB},     {"YUV", CS_YUV},     {"YIQ", CS_YIQ},     {"CMY", CS_CMY},     {"CMYK", CS_CMYK},
        {"HSV", CS_HSV},     {"HLS", CS_HLS},     {"RGB16", CS_RGB16}, {"YUV16", CS_YUV16}, {"YIQ16", CS_YIQ16},
        {"CMY16", CS_CMY16}, {"CMYK16", CS_CMYK16}, {"HSV16", CS_HSV16}, {"HLS16", CS_HLS16},
    };
    const size_t rowBytes = size_t(kWidth) * 8;  // the widest pixel, 4 x 16 bits
    std::vector<BYTE> rgb(rowBytes * kRows), other(rowBytes * kRows), out(rowBytes);
    for (BYTE &v : rgb)
        v = BYTE(rng());
    std::printf("\nZ_ConvertColorSpace, %d-pixel calls\n", kWidth);
    for (const Format &f : formats) {
        const int family = f.code & 0xF0 ? CS_RGB16 : CS_RGB;
        for (int y = 0; y < kRows; ++y)
            Z_ConvertColorSpace(&rgb[y * rowBytes], &other[y * rowBytes], kWidth, family, f.code);
        char name[64];
        std::snprintf(name, sizeof name, "%s -> %s", family ? "RGB16" : "RGB", f.name);
        report(name, Measure(seconds, [&](int y) {
                   Z_ConvertColorSpace(&rgb[y * rowBytes], out.data(), kWidth, family, f.code);
               }));
        if (f.code == family)
            continue;
        std::snprintf(name, sizeof name, "%s -> %s", f.name, family ? "RGB16" : "RGB");
        report(name, Measure(seconds, [&](int y) {
                   Z_ConvertColorSpace(&other[y * rowBytes], out.data(), kWidth, f.code, family);
               }));
    }
}

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
    const Rate base = Measure(seconds, [&](int y) { Baseline(dst.data(), s24.Row(y), kWidth); });
    std::printf("baseline 24 -> 32 copy loop: %.0f Mpixel/s (mean %.0f)\n\n", base.best, base.mean);
    std::printf("%-36s %9s %9s %8s %9s\n", "conversion", "Mpixel/s", "baseline", "ratio", "mean");

    auto report = [&](const char *name, Rate v) {
        std::printf("%-36s %9.0f %9.0f %8.3f %9.0f\n", name, v.best, base.best, v.best / base.best, v.mean);
        std::fflush(stdout);
    };
    if (argc > 2 && std::strcmp(argv[2], "colour") == 0) {
        ColourSpaces(seconds, rng, report);
        return 0;
    }
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
    ColourSpaces(seconds, rng, report);
    return 0;
}
