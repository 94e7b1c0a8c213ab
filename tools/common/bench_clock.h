// The benchmarks' clock: seconds from the performance counter, and the
// best time of repeated runs (a run in which the machine's other work took
// the processor does not count).
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>

namespace zvtools {

inline double Now() {
    static const double tick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * tick;
}

// Best seconds of one run of fn within about `budget` seconds, after one
// warm-up run; at least three timed runs.
inline double Best(double budget, const std::function<void()> &fn) {
    fn();
    double best = 1e30;
    const double end = Now() + budget;
    int runs = 0;
    do {
        const double t0 = Now();
        fn();
        best = std::min(best, Now() - t0);
        ++runs;
    } while (Now() < end || runs < 3);
    return best;
}

}  // namespace zvtools
