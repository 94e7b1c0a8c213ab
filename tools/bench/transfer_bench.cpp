// Device transfer against raw Win32 in the same process, same pixels:
//   Z_ConvertToDDB     vs CreateDIBitmap of the bitmap's rows
//   Z_ConvertFromDDB   vs GetDIBits of the same DDB into a new buffer
//   Z_CopyToClipboard + Z_CopyFromClipboard (all formats, then CF_DIB only)
//                      vs SetClipboardData(CF_DIB) + GetClipboardData
//   printing a page through the dispatcher: peak kernel memory
//
//   zvtransferbench.exe [seconds per figure, default 1] [width height]
#include "tools/common/bench_clock.h"
#include "tools/common/test_printer.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

using zvtools::Best;
using zvtools::Now;

void Report(const char *what, double ours, double raw, double target) {
    std::printf("%-44s %8.1f ms  raw %8.1f ms  ratio %5.2f (target %.1f)\n", what, ours * 1e3, raw * 1e3, ours / raw,
                target);
}

int __stdcall CountRows(int, void *rows) {
    ++*static_cast<int *>(rows);
    return RC_SUCCESS;
}

}  // namespace

int main(int argc, char **argv) {
    const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int w = argc > 3 ? std::atoi(argv[2]) : 4000, h = argc > 3 ? std::atoi(argv[3]) : 3000;
    BitmapHandle b{};
    if (K_CreateBitmap(&b, w, h, 24, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS) {
        std::printf("no memory for a %d x %d bitmap\n", w, h);
        return 1;
    }
    std::mt19937 rng(5);
    for (size_t i = 0; i < size_t(b.BytesPerLine) * h; i += 4) {
        const uint32_t v = rng();
        std::memcpy(b.Data + i, &v, std::min<size_t>(4, size_t(b.BytesPerLine) * h - i));
    }
    HDC screen = GetDC(nullptr);
    std::printf("%d x %d, 24 bits, screen %d bits\n", w, h, GetDeviceCaps(screen, BITSPIXEL));

    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const double toDdb = Best(budget, [&] { DeleteObject(Z_ConvertToDDB(nullptr, &b)); });
    const double rawToDdb = Best(budget, [&] {
        DeleteObject(CreateDIBitmap(screen, &bi.bmiHeader, CBM_INIT, b.Data, &bi, DIB_RGB_COLORS));
    });
    Report("Z_ConvertToDDB / CreateDIBitmap", toDdb, rawToDdb, 1.3);

    HBITMAP ddb = Z_ConvertToDDB(nullptr, &b);
    BITMAP desc{};
    GetObject(ddb, sizeof desc, &desc);
    {
        BitmapHandle check{};
        const int rc = Z_ConvertFromDDB(screen, &check, ddb, nullptr);
        std::printf("Z_ConvertFromDDB status %d, %d x %d\n", rc, check.Width, check.Height);
        K_FreeBitmap(&check);
    }
    const double fromDdb = Best(budget, [&] {
        BitmapHandle out{};
        Z_ConvertFromDDB(screen, &out, ddb, nullptr);
        K_FreeBitmap(&out);
    });
    const double rawFromDdb = Best(budget, [&] {
        struct {
            BITMAPINFOHEADER h;
            DWORD masks[3];
        } info{{sizeof(BITMAPINFOHEADER), desc.bmWidth, desc.bmHeight, 1, WORD(desc.bmBitsPixel),
                DWORD(desc.bmBitsPixel == 32 || desc.bmBitsPixel == 16 ? BI_BITFIELDS : BI_RGB), 0, 0, 0, 256, 0},
               {}};
        const size_t bytes = size_t((desc.bmWidth * desc.bmBitsPixel + 31) / 32 * 4) * desc.bmHeight;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
        GetDIBits(screen, ddb, 0, UINT(desc.bmHeight), GlobalLock(block), reinterpret_cast<BITMAPINFO *>(&info),
                  DIB_RGB_COLORS);
        GlobalUnlock(block);
        GlobalFree(block);
    });
    Report("Z_ConvertFromDDB / GetDIBits", fromDdb, rawFromDdb, 1.3);
    DeleteObject(ddb);

    HWND window = CreateWindowExA(0, "STATIC", "bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    const double clip = Best(budget, [&] {
        BitmapHandle out{};
        Z_CopyToClipboard(window, &b);
        Z_CopyFromClipboard(window, &out);
        K_FreeBitmap(&out);
    });
    HGLOBAL dib = K_ConvertToDib(&b);
    const size_t dibBytes = GlobalSize(dib);
    const void *dibBytesPtr = GlobalLock(dib);
    const double rawClip = Best(budget, [&] {
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, dibBytes);
        std::memcpy(GlobalLock(copy), dibBytesPtr, dibBytes);
        GlobalUnlock(copy);
        OpenClipboard(window);
        EmptyClipboard();
        SetClipboardData(CF_DIB, copy);
        CloseClipboard();
        OpenClipboard(window);
        HANDLE got = GetClipboardData(CF_DIB);
        volatile BYTE first = *static_cast<const BYTE *>(GlobalLock(got));
        (void)first;
        GlobalUnlock(got);
        CloseClipboard();
    });
    GlobalUnlock(dib);
    K_GlobalFree(dib);
    Report("Z_CopyToClipboard+Z_CopyFromClipboard / raw", clip, rawClip, 1.5);
    // The same with the DIB alone, the one format the raw path puts.
    const double clipDib = Best(budget, [&] {
        BitmapHandle out{};
        Z_CopyToClipboardExt(window, &b, CLIP_EMPTY_FIRST | CLIP_DIB);
        Z_CopyFromClipboard(window, &out);
        K_FreeBitmap(&out);
    });
    Report("  the same, CF_DIB only (CLIP_DIB)", clipDib, rawClip, 1.5);
    DestroyWindow(window);

    zvtools::TestPrinter printer;
    std::string why;
    if (!zvtools::InstallTestPrinter(&printer, "zvdisp print test", "LPT2:", "zvdisp-print-job.ps", true, &why)) {
        std::printf("printing: no test printer (%s)\n", why.c_str());
    } else {
        for (int withProgress = 0; withProgress < 2; ++withProgress) {
            int rows = 0;
            K_SetStatusCallback(withProgress ? CountRows : nullptr, &rows);
            const size_t base = K_GetLiveBytes();
            K_ResetPeakBytes();
            const double t0 = Now();
            HDC done = Z_PrintBitmap(&b, 0, 0, 0, 0, 1);
            const double t = Now() - t0;
            std::printf("print a page (%s): %s, peak kernel memory %zu KB (target < 300), %.0f ms\n",
                        withProgress ? "row by row with progress" : "one paint", done ? "printed" : "FAILED",
                        (K_GetPeakBytes() - base) / 1024, t * 1e3);
        }
        K_SetStatusCallback(nullptr, nullptr);
    }
    ReleaseDC(nullptr, screen);
    K_FreeBitmap(&b);
    return 0;
}
