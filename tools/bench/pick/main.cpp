// zvbench_pick: colour regions and the magic wand against baselines
// measured in the same process.
//
//   zvbench_pick [repetitions]
//
// Colour ranges: Z_SetBitmapRgnColorRGBRange / Z_SetBitmapRgnColorHSVRange
// of a 4000 x 3000 24-bit photo-like image against a plain loop that
// computes the same per-pixel test into a byte mask (ratio = loop time /
// region time; the target is 0.5 or more).  Magic wand: a 2-megapixel
// 4-connected area of one colour (with scattered holes); against GDI's
// ExtFloodFill(FLOODFILLSURFACE) of the same kind of area on a memory DC
// (ratio = GDI time / wand time; the target is 1 or more).  Wine's fill
// overflows its stack on 2 megapixels, so it runs in child processes
// (zvbench_pick --gdi ROWS STACK_MB REPS FILE) to find the largest area it
// fills with a 1 GB stack and with the default one.
#include "tools/common/bench_clock.h"
#include "color/hsv.h"
#include "region/region.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using zvtools::Now;

int g_reps = 7;

double Best(const std::function<void()> &setup, const std::function<void()> &op) {
    double best = 1e30;
    for (int i = 0; i < g_reps; ++i) {
        setup();
        const double t0 = Now();
        op();
        best = std::min(best, Now() - t0);
    }
    return best;
}

// Smooth colour fields with grain, as a photograph has.
void PhotoLike(BitmapHandle &bm) {
    std::mt19937 rng(11);
    for (int y = 0; y < bm.Height; ++y) {
        BYTE *p = bm.Data + static_cast<size_t>(y) * bm.BytesPerLine;
        for (int x = 0; x < bm.Width; ++x, p += 3) {
            const double fx = x / 700.0, fy = y / 500.0;
            const int noise = static_cast<int>(rng() % 17) - 8;
            auto ch = [&](double v) { return static_cast<BYTE>(std::clamp(static_cast<int>(v) + noise, 0, 255)); };
            p[2] = ch(128 + 110 * std::sin(fx + 0.5 * fy));
            p[1] = ch(128 + 100 * std::sin(1.3 * fy - 0.4 * fx + 1));
            p[0] = ch(120 + 90 * std::cos(0.7 * fx * fy + 2));
        }
    }
}

volatile unsigned g_sink;

void ColourRanges() {
    BitmapHandle bm{};
    if (K_CreateBitmap(&bm, 4000, 3000, 24, ORDER_BGR, 0) != RC_SUCCESS)
        return;
    PhotoLike(bm);
    std::vector<BYTE> mask(static_cast<size_t>(bm.Width) * bm.Height);
    const int lo[3] = {60, 40, 30}, hi[3] = {200, 170, 160};  // red, green, blue
    const double rgbLoop = Best([] {}, [&] {
        for (int y = 0; y < bm.Height; ++y) {
            const BYTE *p = bm.Data + static_cast<size_t>(y) * bm.BytesPerLine;
            BYTE *m = mask.data() + static_cast<size_t>(y) * bm.Width;
            for (int x = 0; x < bm.Width; ++x, p += 3)
                m[x] = p[2] >= lo[0] && p[2] <= hi[0] && p[1] >= lo[1] && p[1] <= hi[1] && p[0] >= lo[2] && p[0] <= hi[2];
        }
        g_sink = g_sink + mask[mask.size() / 2];
    });
    const double rgbRgn = Best([] {}, [&] {
        Z_SetBitmapRgnColorRGBRange(&bm, RGB(lo[0], lo[1], lo[2]), RGB(hi[0], hi[1], hi[2]), RGN_MODE_SET);
    });
    UINT area = 0;
    Z_GetBitmapRgnArea(&bm, &area);
    std::printf("RGB box, 4000x3000 24-bit (%u px)  region %8.2f ms   byte-mask loop %8.2f ms   ratio %.2f\n", area,
                rgbRgn * 1e3, rgbLoop * 1e3, rgbLoop / rgbRgn);

    const int hlo[3] = {230, 60, 90}, hhi[3] = {120, 220, 240};  // hue wraps
    const double hsvLoop = Best([] {}, [&] {
        for (int y = 0; y < bm.Height; ++y) {
            const BYTE *p = bm.Data + static_cast<size_t>(y) * bm.BytesPerLine;
            BYTE *m = mask.data() + static_cast<size_t>(y) * bm.Width;
            for (int x = 0; x < bm.Width; ++x, p += 3) {
                const HsvColor h = zv::RgbToHsv8(p[2], p[1], p[0]);
                const int hue = h & 0xFF, s = (h >> 8) & 0xFF, v = (h >> 16) & 0xFF;
                m[x] = (hue >= hlo[0] || hue <= hhi[0]) && s >= hlo[1] && s <= hhi[1] && v >= hlo[2] && v <= hhi[2];
            }
        }
        g_sink = g_sink + mask[mask.size() / 2];
    });
    const HsvColor l = static_cast<HsvColor>(hlo[0] | hlo[1] << 8 | hlo[2] << 16);
    const HsvColor u = static_cast<HsvColor>(hhi[0] | hhi[1] << 8 | hhi[2] << 16);
    const double hsvRgn = Best([] {}, [&] { Z_SetBitmapRgnColorHSVRange(&bm, l, u, RGN_MODE_SET); });
    Z_GetBitmapRgnArea(&bm, &area);
    std::printf("HSV box, 4000x3000 24-bit (%u px)  region %8.2f ms   byte-mask loop %8.2f ms   ratio %.2f\n", area,
                hsvRgn * 1e3, hsvLoop * 1e3, hsvLoop / hsvRgn);
    K_FreeBitmap(&bm);
}

// A 2000 x rows image: a wavy band of white (about 2 megapixels at 1200
// rows), holes of one pixel scattered through it, gray elsewhere.
void FillImage(BitmapHandle &bm) {
    std::mt19937 rng(12);
    for (int y = 0; y < bm.Height; ++y) {
        BYTE *p = bm.Data + static_cast<size_t>(y) * bm.BytesPerLine;
        const int edge = 1700 + static_cast<int>(150 * std::sin(y / 40.0));
        for (int x = 0; x < bm.Width; ++x, p += 3) {
            const bool white = x < edge && rng() % 100 != 0;
            p[0] = p[1] = p[2] = white ? 255 : 90;
        }
    }
}

struct WandFigure {
    double ms = 0;
    UINT area = 0;
};

WandFigure Wand(int rows) {
    BitmapHandle bm{};
    WandFigure f;
    if (K_CreateBitmap(&bm, 2000, rows, 24, ORDER_BGR, 0) != RC_SUCCESS)
        return f;
    FillImage(bm);
    f.ms = 1e3 * Best([] {}, [&] { Z_SetBitmapRgnMagicWand(&bm, 10, 10, 0, RGN_MODE_SET); });
    Z_GetBitmapRgnArea(&bm, &f.area);
    K_FreeBitmap(&bm);
    return f;
}

// ExtFloodFill of the same image on a memory DC, on a thread of its own
// with the stack asked for (Wine's fill recurses deeply).  Writes "ms
// filled" to the file named.
struct GdiJob {
    int rows;
    const char *out;
};

DWORD WINAPI GdiFill(void *arg) {
    const GdiJob &job = *static_cast<GdiJob *>(arg);
    BitmapHandle bm{};
    if (K_CreateBitmap(&bm, 2000, job.rows, 24, ORDER_BGR, 0) != RC_SUCCESS)
        return 1;
    FillImage(bm);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.Width;
    bi.bmiHeader.biHeight = -bm.Height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, dib);
    HBRUSH brush = CreateSolidBrush(RGB(200, 0, 0));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    const size_t bytes = static_cast<size_t>(bm.BytesPerLine) * bm.Height;
    const double gdi = Best([&] { GdiFlush(); std::memcpy(bits, bm.Data, bytes); }, [&] {
        ExtFloodFill(dc, 10, 10, RGB(255, 255, 255), FLOODFILLSURFACE);
        GdiFlush();
    });
    size_t filled = 0;
    for (size_t i = 0; i < bytes; i += 3)
        filled += static_cast<const BYTE *>(bits)[i + 2] == 200 && static_cast<const BYTE *>(bits)[i] == 0;
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldBitmap);
    DeleteObject(brush);
    DeleteObject(dib);
    DeleteDC(dc);
    K_FreeBitmap(&bm);
    if (FILE *f = std::fopen(job.out, "w")) {
        std::fprintf(f, "%f %zu\n", gdi * 1e3, filled);
        std::fclose(f);
    }
    return 0;
}

int GdiChild(int rows, int stackMb, const char *out) {
    GdiJob job{rows, out};
    HANDLE t = CreateThread(nullptr, size_t(stackMb) << 20, GdiFill, &job, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!t)
        return 1;
    WaitForSingleObject(t, INFINITE);
    DWORD rc = 1;
    GetExitCodeThread(t, &rc);
    CloseHandle(t);
    return static_cast<int>(rc);
}

// ExtFloodFill of 2000 x rows in a child process (a stack overflow ends
// the child only); false when it did not survive.
bool GdiInChild(int rows, int stackMb, int reps, double &ms, size_t &filled) {
    char exe[MAX_PATH] = {}, out[MAX_PATH] = {}, cmd[2 * MAX_PATH + 64];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    GetTempPathA(MAX_PATH, out);
    std::snprintf(out + std::strlen(out), 32, "zvpick-%lu.txt", GetCurrentProcessId());
    std::snprintf(cmd, sizeof cmd, "\"%s\" --gdi %d %d %d \"%s\"", exe, rows, stackMb, reps, out);
    DeleteFileA(out);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD rc = 1;
    GetExitCodeProcess(pi.hProcess, &rc);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    FILE *f = std::fopen(out, "r");
    const bool ok = rc == 0 && f && std::fscanf(f, "%lf %zu", &ms, &filled) == 2;
    if (f)
        std::fclose(f);
    DeleteFileA(out);
    return ok;
}

// The most rows (of 2000 pixels, up to 1200) whose area ExtFloodFill
// fills on a thread with the stack given, found by halving between a size
// it fills and one it does not; 0 when it fills none tried.
int LargestGdiFill(int stackMb) {
    double ms = 0;
    size_t filled = 0;
    int good = 0, bad = 1200;
    if (GdiInChild(bad, stackMb, 1, ms, filled))
        return bad;
    for (int step = 0; bad - good > 8 && step < 12; ++step) {
        const int mid = good ? (good + bad) / 2 : bad / 8;
        (GdiInChild(mid, stackMb, 1, ms, filled) ? good : bad) = mid;
    }
    return good;
}

// The wand on 2 megapixels; ExtFloodFill with a 1 GB stack and with 1 MB
// (the default), each on the largest area it fills, beside the wand there.
void MagicWand() {
    const WandFigure big = Wand(1200);
    std::printf("magic wand, %u px area  wand %8.2f ms\n", big.area, big.ms);
    std::fflush(stdout);
    for (int stackMb : {1024, 1}) {
        const int rows = LargestGdiFill(stackMb);
        double ms = 0;
        size_t filled = 0;
        if (!rows || !GdiInChild(rows, stackMb, g_reps, ms, filled)) {
            std::printf("ExtFloodFill, %d MB stack: fills none of the areas tried\n", stackMb);
            continue;
        }
        const WandFigure same = rows == 1200 ? big : Wand(rows);
        std::printf("ExtFloodFill, %d MB stack: largest area filled %zu px (2000 x %d)  ExtFloodFill %8.2f ms   "
                    "wand %8.2f ms   ratio %.2f\n",
                    stackMb, filled, rows, ms, same.ms, ms / same.ms);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 6 && std::strcmp(argv[1], "--gdi") == 0) {  // one GDI fill, in the child
        g_reps = std::max(1, std::atoi(argv[4]));
        return GdiChild(std::atoi(argv[2]), std::atoi(argv[3]), argv[5]);
    }
    if (argc > 1)
        g_reps = std::max(1, std::atoi(argv[1]));
    ColourRanges();
    MagicWand();
    return 0;
}
