// Playback throughput: composing a 100-frame 640 x 480 animation (8-bit
// frames of 320 x 240 with a transparent colour, disposal 2 and 3 in
// turn, at moving offsets) into a 24-bit target, beside a GDI baseline
// doing the same per frame in the same process: DIB sections, TransparentBlt
// of the frame, BitBlt to save and restore the area, FillRect for disposal 2.
// Also the kernel allocations per frame and per step.
//
//   zvplaybench.exe [seconds per figure, default 1]
#include "tools/common/bench_clock.h"
#include "tools/common/animation.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using zvtools::Best;
using zvtools::Now;

// A DIB section of bits per pixel in its own memory DC (8 bits: colors).
struct Dib {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    void *bits = nullptr;
    Dib(int w, int h, int bpp, const RGBQUAD *colors = nullptr) {
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD c[256];
        } bi{};
        bi.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, WORD(bpp), BI_RGB, 0, 0, 0, 0, 0};
        if (colors)
            std::copy(colors, colors + 256, bi.c);
        bmp = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO *>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, bmp);
    }
    ~Dib() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};

}  // namespace

int main(int argc, char **argv) {
    const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;
    static const unsigned disposals[] = {2, 3};
    zvtools::AnimationPlan plan;
    plan.Width = 640, plan.Height = 480, plan.Frames = 100;
    plan.FrameWidth = 320, plan.FrameHeight = 240;
    plan.Delay = 0;
    plan.Disposals = disposals, plan.DisposalCount = 2;
    void *list = zvtools::MakeAnimation(plan);
    BitmapHandle target;
    PlaybackHandle h = nullptr;
    if (!list || !zvtools::MakeAnimationTarget(plan, &target) || Z_CreatePlayback(&h, &target, list) != RC_SUCCESS) {
        std::printf("could not set up the animation\n");
        return 1;
    }
    // One pass: from a cleared target through every frame to the end.
    int steps = 0;
    auto pass = [&] {
        Z_SetPlaybackIndex(h, -1);
        UINT s = 0;
        steps = 0;
        do {
            Z_ProcessPlayback(h, &s);
            ++steps;
        } while (s != PLAYSTATE_END);
    };
    const double lib = Best(budget, pass);
    K_SetAllocationFailure(1 << 30, 0);
    pass();
    const int allocations = (1 << 30) - K_GetAllocationCountdown();
    K_SetAllocationFailure(-1, 0);

    // The GDI baseline over the same frames.
    std::vector<BitmapHandle> frames(size_t(plan.Frames));
    std::vector<Dib *> dibs;
    for (int i = 0; i < plan.Frames; ++i) {
        K_GetBitmapListItem(list, i, &frames[size_t(i)]);
        const BitmapHandle &f = frames[size_t(i)];
        Dib *d = new Dib(f.Width, f.Height, 8, f.Palette);
        for (int y = 0; y < f.Height; ++y)
            std::copy(f.Data + size_t(y) * f.BytesPerLine, f.Data + size_t(y + 1) * f.BytesPerLine,
                      static_cast<BYTE *>(d->bits) + size_t(y) * f.BytesPerLine);
        dibs.push_back(d);
    }
    Dib canvas(plan.Width, plan.Height, 24), saved(plan.FrameWidth, plan.FrameHeight, 24);
    HBRUSH ground = CreateSolidBrush(target.BackgroundColor);
    auto gdiPass = [&] {
        const RECT all{0, 0, plan.Width, plan.Height};
        FillRect(canvas.dc, &all, ground);
        for (size_t i = 0; i < frames.size(); ++i) {
            const BitmapHandle &f = frames[i];
            const RGBQUAD &t = f.Palette[0];
            if (f.DisposalMethod == 3)
                BitBlt(saved.dc, 0, 0, f.Width, f.Height, canvas.dc, f.Left, f.Top, SRCCOPY);
            TransparentBlt(canvas.dc, f.Left, f.Top, f.Width, f.Height, dibs[i]->dc, 0, 0, f.Width, f.Height,
                           RGB(t.rgbRed, t.rgbGreen, t.rgbBlue));
            if (f.DisposalMethod == 2) {
                const RECT r{f.Left, f.Top, f.Left + f.Width, f.Top + f.Height};
                FillRect(canvas.dc, &r, ground);
            } else if (f.DisposalMethod == 3) {
                BitBlt(canvas.dc, f.Left, f.Top, f.Width, f.Height, saved.dc, 0, 0, SRCCOPY);
            }
        }
        GdiFlush();
    };
    const double gdi = Best(budget, gdiPass);
    const double mpx = double(plan.Frames) * plan.FrameWidth * plan.FrameHeight / 1e6;
    std::printf("playback: %d frames %dx%d (8 bits, transparent, disposal 2/3) into %dx%d 24 bits\n", plan.Frames,
                plan.FrameWidth, plan.FrameHeight, plan.Width, plan.Height);
    std::printf("  library: %.1f ms per pass, %.0f steps/s, %.1f composed Mpixel/s\n", lib * 1e3, steps / lib,
                mpx / lib);
    std::printf("  GDI baseline: %.1f ms per pass, %.1f composed Mpixel/s\n", gdi * 1e3, mpx / gdi);
    std::printf("  ratio to baseline: %.2f (target >= 1)\n", gdi / lib);
    std::printf("  kernel allocations: %.2f per frame, %.2f per step (%d steps per pass)\n",
                double(allocations) / plan.Frames, double(allocations) / steps, steps);
    DeleteObject(ground);
    for (Dib *d : dibs)
        delete d;
    Z_DestroyPlayback(h, nullptr);
    K_DestroyBitmapList(list);
    K_FreeBitmap(&target);
    return 0;
}
