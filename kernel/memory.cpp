// Kernel memory: counted blocks with fault injection.
//
// Every block carries a small header with its size so that the kernel can
// keep live and peak byte counts.  Counters are process-wide and updated
// with interlocked operations, so two threads may allocate at once.
#include "kernel/kernel_internal.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

struct alignas(16) BlockHeader {
    size_t Size;      // bytes asked for (what the accounting counts)
    size_t Capacity;  // bytes usable (a reused scratch block may be larger)
    uint32_t Magic;
};
constexpr uint32_t kBlockMagic = 0x4B5A4D42;  // live block
constexpr uint32_t kDeadMagic = 0x44454144;   // freed block

std::atomic<int> g_liveBlocks{0};
std::atomic<size_t> g_liveBytes{0};
std::atomic<size_t> g_peakBytes{0};
std::atomic<int> g_failCountdown{-1};
std::atomic<int> g_failRepeat{0};

void NotePeak(size_t live) {
    size_t peak = g_peakBytes.load(std::memory_order_relaxed);
    while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live)) {
    }
}

void CountBlock(size_t size) {
    ++g_liveBlocks;
    NotePeak(g_liveBytes += size);
}

void UncountBlock(size_t size) {
    --g_liveBlocks;
    g_liveBytes -= size;
}

BlockHeader *HeaderOf(void *p) { return static_cast<BlockHeader *>(p) - 1; }

std::atomic<BlockHeader *> g_scratch[4] = {};

// Keeps an uncounted scratch block for reuse, or frees it.
void Release(BlockHeader *h) {
    for (auto &slot : g_scratch) {
        BlockHeader *expected = nullptr;
        if (slot.compare_exchange_strong(expected, h))
            return;
    }
    std::free(h);
}

void *NewBlock(size_t size, bool zero) {
    if (size > SIZE_MAX - sizeof(BlockHeader) || zv::kern::InjectedFailure())
        return nullptr;
    void *raw = zero ? std::calloc(1, sizeof(BlockHeader) + size) : std::malloc(sizeof(BlockHeader) + size);
    if (!raw)
        return nullptr;
    auto *h = static_cast<BlockHeader *>(raw);
    h->Size = size;
    h->Capacity = size;
    h->Magic = kBlockMagic;
    CountBlock(size);
    return h + 1;
}

}  // namespace

namespace zv::kern {

bool InjectedFailure() {
    int c = g_failCountdown.load();
    for (;;) {
        if (c < 0)
            return false;
        if (c > 0) {
            if (g_failCountdown.compare_exchange_weak(c, c - 1))
                return false;
            continue;
        }
        // c == 0: this allocation fails; a one-shot failure turns injection off.
        if (g_failRepeat.load() || g_failCountdown.compare_exchange_weak(c, -1))
            return true;
    }
}

}  // namespace zv::kern

extern "C" {

void *__stdcall K_Alloc(size_t cbSize) { return NewBlock(cbSize, false); }

void *__stdcall K_AllocZero(size_t nCount, size_t cbEach) {
    if (cbEach && nCount > SIZE_MAX / cbEach)
        return nullptr;
    return NewBlock(nCount * cbEach, true);
}

void *__stdcall K_Realloc(void *pBlock, size_t cbSize) {
    if (!pBlock)
        return K_Alloc(cbSize);
    if (cbSize > SIZE_MAX - sizeof(BlockHeader) || zv::kern::InjectedFailure())
        return nullptr;
    BlockHeader *old = HeaderOf(pBlock);
    const size_t oldSize = old->Size;
    auto *h = static_cast<BlockHeader *>(std::realloc(old, sizeof(BlockHeader) + cbSize));
    if (!h)
        return nullptr;
    h->Size = cbSize;
    h->Capacity = cbSize;
    g_liveBytes -= oldSize;
    NotePeak(g_liveBytes += cbSize);
    return h + 1;
}

void __stdcall K_Free(void *pBlock) {
    if (!pBlock)
        return;
    BlockHeader *h = HeaderOf(pBlock);
    if (h->Magic != kBlockMagic)  // not ours, or freed twice: leave it
        return;
    h->Magic = kDeadMagic;
    UncountBlock(h->Size);
    std::free(h);
}

// Scratch blocks: the last four freed are kept (uncounted) and handed out
// again, because the system's fresh pages are slow to touch (each 4 KiB
// page faults on first use) and a paint's strip is the same size call
// after call.  Accounting and fault injection treat them as new blocks.
void *__stdcall K_AllocTemp(size_t cbSize) {
    for (auto &slot : g_scratch) {
        BlockHeader *h = slot.exchange(nullptr);
        if (!h)
            continue;
        if (h->Capacity >= cbSize && h->Capacity / 2 <= cbSize + 4096) {
            if (zv::kern::InjectedFailure()) {
                Release(h);
                return nullptr;
            }
            h->Size = cbSize;
            h->Magic = kBlockMagic;
            CountBlock(cbSize);
            return h + 1;
        }
        // Not this size: leave it for the request it suits.
        BlockHeader *expected = nullptr;
        if (!slot.compare_exchange_strong(expected, h))
            std::free(h);
    }
    return NewBlock(cbSize, false);
}

void __stdcall K_FreeTemp(void *pBlock) {
    if (!pBlock)
        return;
    BlockHeader *h = HeaderOf(pBlock);
    if (h->Magic != kBlockMagic)
        return;
    h->Magic = kDeadMagic;
    UncountBlock(h->Size);
    Release(h);
}

HGLOBAL __stdcall K_GlobalAlloc(UINT uFlags, size_t cbSize) {
    if (zv::kern::InjectedFailure())
        return nullptr;
    HGLOBAL h = GlobalAlloc(uFlags, cbSize);
    if (h)
        CountBlock(GlobalSize(h));
    return h;
}

HGLOBAL __stdcall K_GlobalFree(HGLOBAL hMem) {
    if (!hMem)
        return nullptr;
    const size_t size = GlobalSize(hMem);
    HGLOBAL rest = GlobalFree(hMem);
    if (!rest)
        UncountBlock(size);
    return rest;
}

void __stdcall K_GlobalDetach(HGLOBAL hMem) {
    if (hMem)
        UncountBlock(GlobalSize(hMem));
}

int __stdcall K_GetLiveBlockCount(void) { return g_liveBlocks.load(); }

void __stdcall K_SetAllocationFailure(int nCountdown, int bRepeat) {
    g_failRepeat = bRepeat ? 1 : 0;
    g_failCountdown = nCountdown < 0 ? -1 : nCountdown;
}

int __stdcall K_GetAllocationCountdown(void) { return g_failCountdown.load(); }

size_t __stdcall K_GetLiveBytes(void) { return g_liveBytes.load(); }

size_t __stdcall K_GetPeakBytes(void) { return g_peakBytes.load(); }

void __stdcall K_ResetPeakBytes(void) { g_peakBytes = g_liveBytes.load(); }

}  // extern "C"
