// What zvpaintbench measures of one paint (paint_bench.cpp and
// filter_bench.cpp), and the photo-like bitmaps it paints.
#pragma once

#include "tools/common/bench_clock.h"
#include "paint/strip_threads.h"
#include "zvkern.h"

#include <algorithm>

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

// One paint on every core (the library's own choice) and on the calling
// thread alone, measured in turns (three rounds, the best of each kept)
// so that a change of load meets both alike.
struct BothWays {
    Figures threaded, single;
    double Gain() const { return single.seconds / threaded.seconds; }
};

inline BothWays MeasureBothWays(double budget, const std::function<int()> &paint) {
    BothWays b{};
    for (int round = 0; round < 3; ++round) {
        zv::SetStripThreads(zv::STRIP_THREADS_AUTO);
        const Figures t = MeasurePaint(budget / 3, paint);
        zv::SetStripThreads(zv::STRIP_THREADS_OFF);
        const Figures s = MeasurePaint(budget / 3, paint);
        if (round == 0 || t.seconds < b.threaded.seconds)
            b.threaded = t;
        if (round == 0 || s.seconds < b.single.seconds)
            b.single = s;
    }
    zv::SetStripThreads(zv::STRIP_THREADS_AUTO);
    return b;
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
