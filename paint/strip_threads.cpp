// Strips on several cores: see strip_threads.h.
#include "paint/strip_threads.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace zv {

namespace {

std::atomic<int> StripThreadsSetting{STRIP_THREADS_AUTO};
std::atomic<int> SharedPaints{0};

// Strip pixels (weighted) from which workers pay: handing a worker to
// the process's thread pool and waiting for it costs tens of
// microseconds under Wine, a slot hand-over a few; a weighted pixel about
// 1-2 ns.  Measured in "Strips on several cores" (docs/DESIGN.md).
constexpr int64_t kParallelPixels = 1 << 20;

// How long a thread with nothing to do watches for a change before it
// sleeps: a strip takes tens to hundreds of microseconds, and waking a
// sleeping thread under Wine costs about as much as that.
constexpr int64_t kSpinMicroseconds = 100;

constexpr int kMostSlots = kMostStripWorkers + 2;

// The state the threads share, under the lock: the next strip to claim
// and to send, and which slots hold a finished strip.  Every change
// bumps `changes`, which a waiting thread watches before it sleeps.
struct Share {
    const StripWork *work;
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    std::atomic<unsigned> changes;
    int sleepers;    // threads asleep on `changed`
    int converters;  // converter numbers given to workers so far
    int nextClaim, nextSend;
    bool stop;  // a failure was sent, or the painting thread is done
    bool ready[kMostSlots];
    int status[kMostSlots];
};

// Records a change and releases the lock, waking the sleepers.
void ReleaseChanged(Share &s) {
    s.changes.fetch_add(1, std::memory_order_release);
    const bool wake = s.sleepers > 0;
    ReleaseSRWLockExclusive(&s.lock);
    if (wake)
        WakeAllConditionVariable(&s.changed);
}

int64_t Microseconds() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return int64_t(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return int64_t(t.QuadPart) * 1000000 / frequency;
}

// Waits, under the lock, until another thread has changed the state:
// watches for a while without the lock, then sleeps.
void AwaitChange(Share &s) {
    const unsigned seen = s.changes.load(std::memory_order_relaxed);
    ReleaseSRWLockExclusive(&s.lock);
    const int64_t until = Microseconds() + kSpinMicroseconds;
    bool moved = false;
    while (!moved) {
        for (int i = 0; i < 64 && !moved; ++i) {
            YieldProcessor();
            moved = s.changes.load(std::memory_order_acquire) != seen;
        }
        if (!moved && Microseconds() >= until)
            break;
    }
    AcquireSRWLockExclusive(&s.lock);
    if (s.changes.load(std::memory_order_relaxed) != seen)
        return;
    ++s.sleepers;
    SleepConditionVariableSRW(&s.changed, &s.lock, INFINITE, 0);
    --s.sleepers;
}

// Marks strip k's slot finished with its status.  Called under the lock.
void Finished(Share &s, int k, int status) {
    s.status[k % s.work->slots] = status;
    s.ready[k % s.work->slots] = true;
}

// Claims the next strip whose slot is free, waiting while none is; -1
// when there is nothing left or the paint stops.  Called under the lock.
int ClaimWaiting(Share &s) {
    const StripWork &w = *s.work;
    for (;;) {
        if (s.stop || s.nextClaim >= w.strips)
            return -1;
        if (s.nextClaim < s.nextSend + w.slots)
            return s.nextClaim++;
        AwaitChange(s);
    }
}

// A worker: a work item of the process's thread pool, run once per
// worker wanted; it converts strips until none is left to claim.
void CALLBACK WorkerMain(PTP_CALLBACK_INSTANCE, void *p, PTP_WORK) {
    Share &s = *static_cast<Share *>(p);
    const StripWork &w = *s.work;
    AcquireSRWLockExclusive(&s.lock);
    const int converter = ++s.converters;
    for (int k; (k = ClaimWaiting(s)) >= 0;) {
        ReleaseSRWLockExclusive(&s.lock);
        const int status = w.convert(w.context, converter, k, k % w.slots);
        AcquireSRWLockExclusive(&s.lock);
        Finished(s, k, status);
        ReleaseChanged(s);
        AcquireSRWLockExclusive(&s.lock);
    }
    ReleaseSRWLockExclusive(&s.lock);
}

// The painting thread: sends the next strip when it is ready, else
// converts the next one it may claim, else waits.
int PaintingLoop(Share &s) {
    const StripWork &w = *s.work;
    int rc = 0;
    AcquireSRWLockExclusive(&s.lock);
    while (s.nextSend < w.strips) {
        const int slot = s.nextSend % w.slots;
        if (s.ready[slot]) {
            const int k = s.nextSend;
            ReleaseSRWLockExclusive(&s.lock);
            rc = s.status[slot];
            if (rc >= 0)
                rc = w.send(w.context, k, slot);
            AcquireSRWLockExclusive(&s.lock);
            s.ready[slot] = false;
            ++s.nextSend;
            if (rc < 0)
                break;
            ReleaseChanged(s);
            AcquireSRWLockExclusive(&s.lock);
        } else if (s.nextClaim < w.strips && s.nextClaim < s.nextSend + w.slots) {
            const int k = s.nextClaim++;
            ReleaseSRWLockExclusive(&s.lock);
            const int status = w.convert(w.context, 0, k, k % w.slots);
            AcquireSRWLockExclusive(&s.lock);
            Finished(s, k, status);
        } else {
            AwaitChange(s);
        }
    }
    s.stop = true;
    ReleaseChanged(s);
    return rc;
}

}  // namespace

int RunStripWork(const StripWork &w) {
    ++SharedPaints;
    Share s{};
    s.work = &w;
    InitializeSRWLock(&s.lock);
    InitializeConditionVariable(&s.changed);
    // The workers are the pool's: no thread of ours outlives the call.
    // Callbacks not yet started when the painting thread is done are
    // cancelled; running ones end once they find nothing to claim.
    PTP_WORK work = CreateThreadpoolWork(WorkerMain, &s, nullptr);
    if (work)  // GCOVR_EXCL_BR_LINE: the pool refuses only when the system is out of memory
        for (int i = 0; i < std::min(w.workers, kMostStripWorkers); ++i)
            SubmitThreadpoolWork(work);
    const int rc = PaintingLoop(s);
    if (work) {  // GCOVR_EXCL_BR_LINE: as above
        WaitForThreadpoolWorkCallbacks(work, TRUE);
        CloseThreadpoolWork(work);
    }
    return rc;
}

int StripWorkersFor(int64_t pixels, int weight) {
    const int setting = StripThreadsSetting.load();
    if (setting != STRIP_THREADS_AUTO)
        return std::min(setting, kMostStripWorkers);
    if (weight <= 0 || pixels * weight < kParallelPixels)
        return 0;
    DWORD_PTR process = 0, system = 0;
    int cores = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        for (DWORD_PTR m = process; m; m &= m - 1)
            ++cores;
    if (cores == 0) {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        cores = int(si.dwNumberOfProcessors);
    }
    return std::max(0, std::min(cores - 1, kMostStripWorkers));
}

int SharedRowsPerStrip(int rowsPerStrip, int slots, bool eights) {
    int rows = std::max(1, rowsPerStrip * 5 / (4 * slots));
    if (eights)
        rows = std::max(8, rows & ~7);
    return std::min(rows, rowsPerStrip);
}

void SetStripThreads(int setting) { StripThreadsSetting.store(setting < 0 ? STRIP_THREADS_AUTO : setting); }

int GetStripThreads() { return StripThreadsSetting.load(); }

int CountSharedPaints() { return SharedPaints.load(); }

}  // namespace zv
