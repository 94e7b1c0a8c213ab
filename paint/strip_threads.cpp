// Strips on several cores: see strip_threads.h.
#include "paint/strip_threads.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace zv {

namespace {

std::atomic<int> StripThreadsSetting{STRIP_THREADS_AUTO};
std::atomic<int> SharedPaints{0};

// Strip pixels (weighted) from which workers pay: a worker's start and
// end cost about 0.1-0.3 ms under load, a slot hand-over a few
// microseconds; a weighted pixel about 1-2 ns.  Measured in "Strips on
// several cores" (docs/DESIGN.md).
constexpr int64_t kParallelPixels = 1 << 20;

constexpr int kMostSlots = kMostStripWorkers + 2;

// The state the threads share, under the lock: the next strip to claim
// and to send, and which slots hold a finished strip.
struct Share {
    const StripWork *work;
    SRWLOCK lock;
    CONDITION_VARIABLE changed;
    int nextClaim, nextSend;
    bool stop;  // a failure was sent, or the painting thread is done
    bool ready[kMostSlots];
    int status[kMostSlots];
};

struct Worker {
    Share *share;
    int converter;
};

// Claims the next strip whose slot is free, waiting while none is; -1
// when there is nothing left or the paint stops.  Called under the lock.
int ClaimWaiting(Share &s) {
    const StripWork &w = *s.work;
    for (;;) {
        if (s.stop || s.nextClaim >= w.strips)
            return -1;
        if (s.nextClaim < s.nextSend + w.slots)
            return s.nextClaim++;
        SleepConditionVariableSRW(&s.changed, &s.lock, INFINITE, 0);
    }
}

void Publish(Share &s, int strip, int status) {
    AcquireSRWLockExclusive(&s.lock);
    const int slot = strip % s.work->slots;
    s.status[slot] = status;
    s.ready[slot] = true;
    ReleaseSRWLockExclusive(&s.lock);
    WakeAllConditionVariable(&s.changed);
}

DWORD WINAPI WorkerMain(void *p) {
    Worker &me = *static_cast<Worker *>(p);
    Share &s = *me.share;
    const StripWork &w = *s.work;
    for (;;) {
        AcquireSRWLockExclusive(&s.lock);
        const int k = ClaimWaiting(s);
        ReleaseSRWLockExclusive(&s.lock);
        if (k < 0)
            return 0;
        Publish(s, k, w.convert(w.context, me.converter, k, k % w.slots));
    }
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
            WakeAllConditionVariable(&s.changed);
        } else if (s.nextClaim < w.strips && s.nextClaim < s.nextSend + w.slots) {
            const int k = s.nextClaim++;
            ReleaseSRWLockExclusive(&s.lock);
            const int status = w.convert(w.context, 0, k, k % w.slots);
            AcquireSRWLockExclusive(&s.lock);
            s.status[k % w.slots] = status;
            s.ready[k % w.slots] = true;
        } else {
            SleepConditionVariableSRW(&s.changed, &s.lock, INFINITE, 0);
        }
    }
    s.stop = true;
    ReleaseSRWLockExclusive(&s.lock);
    WakeAllConditionVariable(&s.changed);
    return rc;
}

}  // namespace

int RunStripWork(const StripWork &w) {
    ++SharedPaints;
    Share s{};
    s.work = &w;
    InitializeSRWLock(&s.lock);
    InitializeConditionVariable(&s.changed);
    Worker workers[kMostStripWorkers];
    HANDLE threads[kMostStripWorkers];
    int started = 0;
    for (int i = 0; i < std::min(w.workers, kMostStripWorkers); ++i) {
        workers[started] = Worker{&s, i + 1};
        threads[started] = CreateThread(nullptr, 256 * 1024, WorkerMain, &workers[started],
                                        STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        if (threads[started])
            ++started;
    }
    const int rc = PaintingLoop(s);
    if (started)
        WaitForMultipleObjects(DWORD(started), threads, TRUE, INFINITE);
    for (int i = 0; i < started; ++i)
        CloseHandle(threads[i]);
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
