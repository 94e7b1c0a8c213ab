// Metafile round trip: a bitmap to an EMF and back to a bitmap through
// Z_ConvertToEMF + Z_ConvertFromMetafile, against the same done with raw
// GDI in the same process: StretchDIBits of the pixels into an EMF DC, then
// PlayEnhMetaFile of the EMF into a 24-bit DIB section.  Two baselines:
// one StretchDIBits of the whole image, and StretchDIBits in bands of at
// most 256 KB of rows, as the strip painter hands a paint to GDI.  Under
// Wine the EMF's buffer grows by half its size plus the record whenever
// a record does not fit, each time into fresh pages, so an EMF of many
// records costs more to write than one of a single record.
//
//   zvmetabench.exe [seconds per figure, default 1] [width height]
#include "tools/common/bench_clock.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>

namespace {

using zvtools::Best;
using zvtools::Now;

void RawRoundTrip(const BitmapHandle &b, int band) {
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), b.Width, -b.Height, 1, 24, BI_RGB,
                                    DWORD(b.BytesPerLine) * b.Height, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    const RECT frame{0, 0, MulDiv(b.Width, GetDeviceCaps(screen, HORZSIZE) * 100, GetDeviceCaps(screen, HORZRES)),
                     MulDiv(b.Height, GetDeviceCaps(screen, VERTSIZE) * 100, GetDeviceCaps(screen, VERTRES))};
    ReleaseDC(nullptr, screen);
    const HDC emfDC = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
    for (int y = 0; y < b.Height; y += band) {
        const int n = std::min(band, b.Height - y);
        BITMAPINFO part = bi;
        part.bmiHeader.biHeight = -n;
        part.bmiHeader.biSizeImage = DWORD(b.BytesPerLine) * n;
        StretchDIBits(emfDC, 0, y, b.Width, n, 0, 0, b.Width, n, b.Data + size_t(y) * b.BytesPerLine, &part,
                      DIB_RGB_COLORS, SRCCOPY);
    }
    const HENHMETAFILE emf = CloseEnhMetaFile(emfDC);

    bi.bmiHeader.biSizeImage = 0;
    void *bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP section = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, section);
    const RECT r{0, 0, b.Width, b.Height};
    PlayEnhMetaFile(dc, emf, &r);
    GdiFlush();
    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
    DeleteEnhMetaFile(emf);
}

void LibraryRoundTrip(BitmapHandle &b) {
    const HANDLE emf = Z_ConvertToEMF(&b);
    BitmapHandle out{};
    if (!emf || Z_ConvertFromMetafile(&out, emf, 0, 0) != RC_SUCCESS || out.Width != b.Width) {
        std::fprintf(stderr, "the round trip failed\n");
        std::exit(1);
    }
    K_FreeBitmap(&out);
    DeleteEnhMetaFile(static_cast<HENHMETAFILE>(emf));
}

}  // namespace

int main(int argc, char **argv) {
    const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int w = argc > 3 ? std::atoi(argv[2]) : 2000, h = argc > 3 ? std::atoi(argv[3]) : 1500;
    BitmapHandle b{};
    if (K_CreateBitmap(&b, w, h, 24, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return 1;
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < b.BytesPerLine; ++i)
            b.Data[size_t(y) * b.BytesPerLine + i] = BYTE((i * 7 + y * 3) ^ (rng() & 15));
    const int band = std::max(1, 0x40000 / b.BytesPerLine);
    const double raw = Best(budget, [&] { RawRoundTrip(b, b.Height); });
    const double banded = Best(budget, [&] { RawRoundTrip(b, band); });
    const double lib = Best(budget, [&] { LibraryRoundTrip(b); });
    std::printf("EMF round trip of a %d x %d 24-bit bitmap (best of runs)\n", w, h);
    std::printf("  StretchDIBits (one call) into EMF DC + PlayEnhMetaFile:      %8.1f ms\n", raw * 1e3);
    std::printf("  StretchDIBits (bands of %d rows) into EMF DC + PlayEnhMetaFile: %8.1f ms\n", band, banded * 1e3);
    std::printf("  Z_ConvertToEMF + Z_ConvertFromMetafile:                        %8.1f ms\n", lib * 1e3);
    std::printf("  ratio to one call: %.2f, to bands: %.2f (target 1.30 or less)\n", lib / raw, lib / banded);
    K_FreeBitmap(&b);
    return 0;
}
