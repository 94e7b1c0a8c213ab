// What zvpaintbench measures of one paint (paint_bench.cpp and
// filter_bench.cpp), and the photo-like bitmaps it paints.
#pragma once

#include "tools/common/bench_clock.h"
#include "zvkern.h"

#include <functional>
#include <random>

namespace zvbench {

struct Figures {
    double seconds;
    size_t peak;
    int allocations;
};

// Times paint() and measures one more run's memory high-water mark and
// allocation count (an injected failure far away counts them down).
inline Figures MeasurePaint(double budget, const std::function<int()> &paint) {
    Figures f{};
    f.seconds = zvtools::Best(budget, [&] { paint(); });
    K_ResetPeakBytes();
    const size_t live = K_GetLiveBytes();
    K_SetAllocationFailure(1000000, 0);
    paint();
    f.allocations = 1000000 - K_GetAllocationCountdown();
    K_SetAllocationFailure(-1, 0);
    f.peak = K_GetPeakBytes() - live;
    return f;
}

// Smooth content with some noise, like a photograph.
inline void MakeBitmap(BitmapHandle *b, int w, int h, int bits, int order, std::mt19937 &rng) {
    K_CreateBitmap(b, w, h, bits, order, 0);
    for (int y = 0; y < h; ++y) {
        BYTE *row = b->Data + size_t(y) * b->BytesPerLine;
        for (int i = 0; i < b->BytesPerLine; ++i)
            row[i] = BYTE((i * 7 + y * 3) / 16 + (rng() & 15));
    }
}

}  // namespace zvbench
