// Strips converted on several cores within one paint: workers (work items
// of the process's thread pool) convert strips into a small ring of strip
// buffers while the painting thread converts too and hands every finished
// strip to GDI in order.
// Workers touch memory only: no GDI, no callback, no per-thread setting,
// no allocation.  Every worker has returned when RunStripWork returns.
#pragma once

#include <cstdint>

namespace zv {

constexpr int kMostStripWorkers = 7;  // threads beside the painting one

// One paint's strips.  convert(context, converter, strip, slot) makes
// strip `strip` in slot `slot` with the buffers of converter `converter`
// (0: the painting thread, 1 ... workers: a worker); send(context, strip,
// slot) paints it, on the painting thread only.  Strip k uses slot k %
// slots, so at most `slots` strips are converted ahead of the one sent.
struct StripWork {
    int strips, slots, workers;
    void *context;
    int (*convert)(void *context, int converter, int strip, int slot);
    int (*send)(void *context, int strip, int slot);
};

// Runs the work: the first failure in strip order is returned and no
// strip after it is sent, as on one thread.  Workers that cannot be
// started leave their share to the others (to the painting thread alone
// when none starts).
int RunStripWork(const StripWork &w);

// Workers for a paint of `pixels` strip pixels of which one costs about
// `weight` units (1: a copied row, more for converted or filtered
// rows; 0: a paint that does not gain from sharing): 0 below the
// threshold or on one core; otherwise the cores that
// the process may run on, less the painting thread, at most
// kMostStripWorkers.
int StripWorkersFor(int64_t pixels, int weight);

// Rows per strip when `slots` strips are converted at once: the one
// strip's budget and a quarter more shared among them, a multiple of 8
// (at least 8) when eights asks for it (turned strips of fewer than 8
// bits a pixel), never more than before.
int SharedRowsPerStrip(int rowsPerStrip, int slots, bool eights);

// The internal switch of the benchmark and the tests: STRIP_THREADS_AUTO
// decides by the machine and the size, STRIP_THREADS_OFF paints on the
// calling thread alone, a count n > 0 uses n workers for every paint that
// has at least two strips, whatever its size.
constexpr int STRIP_THREADS_AUTO = -1;
constexpr int STRIP_THREADS_OFF = 0;
void SetStripThreads(int setting);
int GetStripThreads();

// Paints whose strips went through RunStripWork so far (tests).
int CountSharedPaints();

}  // namespace zv
