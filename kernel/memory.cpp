// Kernel memory: counted blocks with fault injection.
//
// Every block carries a small header with its size so that the kernel can
// keep live and peak byte counts (a block grown into spare room behind it
// counts that room, see K_Realloc).  Counters are process-wide and updated
// with interlocked operations, so two threads may allocate at once.
//
// Large blocks (64 KB and more) are not returned to the system when freed
// but kept in a small cache and handed out again: the platform maps large
// blocks afresh for every allocation and each first touch of a page then
// costs a fault, which dominated region operations on big regions.  A
// block that is resized within its capacity (down to half of it) stays
// where it is.
#include "kernel/kernel_internal.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct BlockFields {
    size_t Size;        // bytes asked for
    size_t Capacity;    // bytes behind the header
    size_t Counted;     // bytes of this block in the live count
    uint32_t Sequence;  // allocation number while checking, else 0
    uint32_t Magic;
    uint32_t Flags;     // kGuarded, kPoisoned
};
// The header ends in guard bytes up to its 16-byte alignment (at least 8),
// so that a write just before a block lands in them, not in the fields.
constexpr size_t kFrontGuard = ((sizeof(BlockFields) + 8 + 15) & ~size_t(15)) - sizeof(BlockFields);
struct alignas(16) BlockHeader : BlockFields {
    uint8_t Front[kFrontGuard];
};
static_assert(sizeof(BlockHeader) == sizeof(BlockFields) + kFrontGuard, "guard bytes end the header");
constexpr uint32_t kBlockMagic = 0x4B5A4D42;  // live block
constexpr uint32_t kDeadMagic = 0x44454144;   // freed block
constexpr uint32_t kGuarded = 1;               // guard bytes laid before and after
constexpr uint32_t kPoisoned = 2;              // freed and filled with kPoisonByte
constexpr size_t kRearGuard = 16;
constexpr uint8_t kGuardByte = 0xFD;
constexpr uint8_t kPoisonByte = 0xDB;

std::atomic<int> g_liveBlocks{0};
std::atomic<size_t> g_liveBytes{0};
std::atomic<size_t> g_peakBytes{0};
std::atomic<int> g_failCountdown{-1};
std::atomic<int> g_failRepeat{0};

void NotePeak(size_t live) {
    size_t peak = g_peakBytes.load(std::memory_order_relaxed);
    while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
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

// The live count of a block becomes `counted` bytes.
void Recount(BlockHeader *h, size_t counted) {
    if (counted >= h->Counted)
        NotePeak(g_liveBytes += counted - h->Counted);
    else
        g_liveBytes -= h->Counted - counted;
    h->Counted = counted;
}

BlockHeader *HeaderOf(void *p) { return static_cast<BlockHeader *>(p) - 1; }

// ---- checking mode ------------------------------------------------------
// While checking is on, every new block gets guard bytes before and after
// it and a sequence number; freed blocks that stay with the kernel (the
// kept large blocks, and small ones held back a while in a quarantine) are
// filled with poison.  Guards are checked when a block is freed or
// resized, poison when a kept block is handed out again or let go.  Each
// fault found is counted and the latest ones are kept for the tests.
std::atomic<int> g_checking{0};
std::atomic<uint32_t> g_sequence{0};
std::atomic<uint32_t> g_breakAt{0};
std::atomic<int> g_faultCount{0};
constexpr int kFaultsKept = 32;
KHeapFault g_faults[kFaultsKept];
SRWLOCK g_faultLock = SRWLOCK_INIT;

const char *FaultName(int kind) {
    switch (kind) {
    case KHEAP_OVERRUN: return "written past its end";
    case KHEAP_UNDERRUN: return "written before its start";
    case KHEAP_WRITTEN_AFTER_FREE: return "written after it was freed";
    case KHEAP_DOUBLE_FREE: return "freed twice";
    default: return "not a kernel block";
    }
}

// Counts a fault of the block h (null when there is no block to name).
void NoteFault(int kind, const BlockHeader *h, const void *block) {
    KHeapFault f{kind, h ? h->Size : 0, h ? h->Sequence : 0, block};
    AcquireSRWLockExclusive(&g_faultLock);
    const int n = g_faultCount.load();
    g_faults[n % kFaultsKept] = f;
    g_faultCount = n + 1;
    ReleaseSRWLockExclusive(&g_faultLock);
    if (h)
        std::fprintf(stderr, "zvkern: block of %zu bytes (allocation %u) %s\n", f.Size, f.Sequence, FaultName(kind));
    else
        std::fprintf(stderr, "zvkern: %p is %s\n", block, FaultName(kind));
}

bool Filled(const void *p, size_t n, uint8_t v) {
    const auto *b = static_cast<const uint8_t *>(p);
    uint64_t word;
    std::memset(&word, v, sizeof word);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, b + i, 8);
        if (w != word)
            return false;
    }
    for (; i < n; ++i)
        if (b[i] != v)
            return false;
    return true;
}

uint8_t *BodyOf(BlockHeader *h) { return reinterpret_cast<uint8_t *>(h + 1); }

size_t GuardBytes(const BlockHeader *h) { return h->Flags & kGuarded ? kRearGuard : 0; }

void LayGuards(BlockHeader *h) {
    std::memset(h->Front, kGuardByte, kFrontGuard);
    std::memset(BodyOf(h) + h->Size, kGuardByte, kRearGuard);
    h->Flags |= kGuarded;
}

void CheckGuards(BlockHeader *h) {
    if (!(h->Flags & kGuarded))
        return;
    if (!Filled(h->Front, kFrontGuard, kGuardByte))
        NoteFault(KHEAP_UNDERRUN, h, h + 1);
    if (!Filled(BodyOf(h) + h->Size, kRearGuard, kGuardByte))
        NoteFault(KHEAP_OVERRUN, h, h + 1);
}

void Poison(BlockHeader *h) {
    std::memset(BodyOf(h), kPoisonByte, h->Capacity);
    h->Flags |= kPoisoned;
}

void CheckPoison(BlockHeader *h) {
    if ((h->Flags & kPoisoned) && !Filled(BodyOf(h), h->Capacity, kPoisonByte))
        NoteFault(KHEAP_WRITTEN_AFTER_FREE, h, h + 1);
    h->Flags &= ~kPoisoned;
}

// A new block's sequence number while checking (0 otherwise); stops in
// the debugger at the allocation asked for with K_SetAllocationBreak.
uint32_t NextSequence(bool checking) {
    if (!checking)
        return 0;
    const uint32_t n = ++g_sequence;
    if (n == g_breakAt.load(std::memory_order_relaxed))
        DebugBreak();  // GCOVR_EXCL_LINE: stops the process, for a debugger
    return n;
}

// True when p is a live block of this kernel; counts the fault otherwise.
bool IsLiveBlock(BlockHeader *h) {
    if (reinterpret_cast<uintptr_t>(h) % alignof(void *) != 0 ||
        (g_checking.load(std::memory_order_relaxed) && IsBadReadPtr(h, sizeof *h))) {
        NoteFault(KHEAP_FOREIGN_POINTER, nullptr, h + 1);
        return false;
    }
    if (h->Magic == kBlockMagic)
        return true;
    NoteFault(h->Magic == kDeadMagic ? KHEAP_DOUBLE_FREE : KHEAP_FOREIGN_POINTER, h->Magic == kDeadMagic ? h : nullptr,
              h + 1);
    return false;
}

// Small freed blocks held back, poisoned, before they go to the system.
constexpr int kQuarantineSlots = 256;
BlockHeader *g_quarantine[kQuarantineSlots];
int g_quarantineNext = 0;

void ReleaseQuarantined(BlockHeader *h) {
    if (h) {
        CheckPoison(h);
        std::free(h);
    }
}

void Quarantine(BlockHeader *h) {
    Poison(h);
    AcquireSRWLockExclusive(&g_faultLock);
    BlockHeader *out = g_quarantine[g_quarantineNext];
    g_quarantine[g_quarantineNext] = h;
    g_quarantineNext = (g_quarantineNext + 1) % kQuarantineSlots;
    ReleaseSRWLockExclusive(&g_faultLock);
    ReleaseQuarantined(out);
}

void DrainQuarantine() {
    for (int i = 0; i < kQuarantineSlots; ++i) {
        AcquireSRWLockExclusive(&g_faultLock);
        BlockHeader *h = g_quarantine[i];
        g_quarantine[i] = nullptr;
        ReleaseSRWLockExclusive(&g_faultLock);
        ReleaseQuarantined(h);
    }
}

// ---- cache of freed large blocks --------------------------------------
constexpr size_t kCacheMin = 64 * 1024;
constexpr size_t kCacheMaxBytes = 64 * 1024 * 1024;
constexpr int kCacheSlots = 8;
BlockHeader *g_cache[kCacheSlots];
size_t g_cacheBytes = 0;
SRWLOCK g_cacheLock = SRWLOCK_INIT;

// The cached block that fits size best without wasting more than half.
BlockHeader *TakeCached(size_t size) {
    AcquireSRWLockExclusive(&g_cacheLock);
    int best = -1;
    for (int i = 0; i < kCacheSlots; ++i) {
        BlockHeader *h = g_cache[i];
        if (h && h->Capacity >= size && h->Capacity / 2 <= size &&
            (best < 0 || h->Capacity < g_cache[best]->Capacity))
            best = i;
    }
    BlockHeader *h = nullptr;
    if (best >= 0) {
        h = g_cache[best];
        g_cache[best] = nullptr;
        g_cacheBytes -= h->Capacity;
    }
    ReleaseSRWLockExclusive(&g_cacheLock);
    return h;
}

// Keeps a freed block for later, in place of the oldest one when the
// cache is full (that one is then released).  False when the block alone
// is more than the cache may hold.
int g_cacheNext = 0;  // slot of the oldest block

bool PutCached(BlockHeader *h, bool checking) {
    if (h->Capacity > kCacheMaxBytes)
        return false;
    if (checking)
        Poison(h);
    BlockHeader *evicted[kCacheSlots] = {};
    int nEvicted = 0;
    AcquireSRWLockExclusive(&g_cacheLock);
    int slot = -1;
    for (int i = 0; i < kCacheSlots && slot < 0; ++i)
        if (!g_cache[i])
            slot = i;
    if (slot < 0) {
        slot = g_cacheNext;
        g_cacheNext = (g_cacheNext + 1) % kCacheSlots;
    }
    if (g_cache[slot]) {
        g_cacheBytes -= g_cache[slot]->Capacity;
        evicted[nEvicted++] = g_cache[slot];
        g_cache[slot] = nullptr;
    }
    // Stay within the byte limit by dropping other blocks too.
    for (int i = 0; i < kCacheSlots && g_cacheBytes + h->Capacity > kCacheMaxBytes; ++i) {
        if (g_cache[i]) {
            g_cacheBytes -= g_cache[i]->Capacity;
            evicted[nEvicted++] = g_cache[i];
            g_cache[i] = nullptr;
        }
    }
    g_cache[slot] = h;
    g_cacheBytes += h->Capacity;
    ReleaseSRWLockExclusive(&g_cacheLock);
    for (int i = 0; i < nEvicted; ++i) {
        CheckPoison(evicted[i]);
        std::free(evicted[i]);
    }
    return true;
}

// Checks the kept blocks for writes since they were freed (each is
// reported once).
void CheckCached() {
    AcquireSRWLockExclusive(&g_cacheLock);
    for (BlockHeader *h : g_cache) {
        if (h && (h->Flags & kPoisoned)) {
            CheckPoison(h);
            Poison(h);
        }
    }
    ReleaseSRWLockExclusive(&g_cacheLock);
}

void *NewBlock(size_t size, bool zero) {
    const bool checking = g_checking.load(std::memory_order_relaxed);
    const size_t guard = checking ? kRearGuard : 0;
    if (size > SIZE_MAX - sizeof(BlockHeader) - kRearGuard || zv::kern::InjectedFailure())
        return nullptr;
    BlockHeader *h = size >= kCacheMin ? TakeCached(size + guard) : nullptr;
    if (h) {
        CheckPoison(h);
        if (zero)
            std::memset(h + 1, 0, size);
    } else {
        const size_t bytes = sizeof(BlockHeader) + size + guard;
        void *raw = zero ? std::calloc(1, bytes) : std::malloc(bytes);
        if (!raw)
            return nullptr;
        h = static_cast<BlockHeader *>(raw);
        h->Capacity = size + guard;
    }
    h->Size = h->Counted = size;
    h->Magic = kBlockMagic;
    h->Flags = 0;
    h->Sequence = NextSequence(checking);
    if (checking)
        LayGuards(h);
    CountBlock(size);
    return h + 1;
}

// ---- cache of freed large global blocks ---------------------------------
// A fresh global block of tens of megabytes costs the platform most of a
// second (it maps and touches every page); packed DIBs of big bitmaps are
// made and dropped again and again.  Freed movable blocks of 1 MB and more
// are kept (unlocked, as they are) and handed out for a request that
// needs no more than an eighth less than the block; the block is cut to
// the size asked for, which the platform does in place.
constexpr size_t kGlobalCacheMin = 1u << 20;
constexpr size_t kGlobalCacheMaxBytes = 160u << 20;
constexpr int kGlobalSlots = 4;
struct CachedGlobal {
    HGLOBAL Handle;
    size_t Size;
    UINT Flags;
};
CachedGlobal g_globals[kGlobalSlots];
size_t g_globalBytes = 0;
int g_globalNext = 0;

HGLOBAL TakeCachedGlobal(UINT flags, size_t size) {
    if (size < kGlobalCacheMin || !(flags & GMEM_MOVEABLE))
        return nullptr;
    AcquireSRWLockExclusive(&g_cacheLock);
    int best = -1;
    for (int i = 0; i < kGlobalSlots; ++i) {
        const CachedGlobal &c = g_globals[i];
        if (c.Handle && c.Flags == (flags & ~GMEM_ZEROINIT) && c.Size >= size && c.Size - size <= size / 8 &&
            (best < 0 || c.Size < g_globals[best].Size))
            best = i;
    }
    CachedGlobal c{};
    if (best >= 0) {
        c = g_globals[best];
        g_globals[best] = CachedGlobal{};
        g_globalBytes -= c.Size;
    }
    ReleaseSRWLockExclusive(&g_cacheLock);
    if (!c.Handle)
        return nullptr;
    if (c.Size != size) {
        HGLOBAL cut = GlobalReAlloc(c.Handle, size, 0);
        if (!cut) {
            GlobalFree(c.Handle);
            return nullptr;
        }
        c.Handle = cut;
    }
    if (flags & GMEM_ZEROINIT) {
        if (void *p = GlobalLock(c.Handle)) {
            std::memset(p, 0, size);
            GlobalUnlock(c.Handle);
        }
    }
    return c.Handle;
}

// True when the block was kept (the caller then only uncounts it).
bool PutCachedGlobal(HGLOBAL h, size_t size) {
    const UINT flags = GlobalFlags(h);
    if (size < kGlobalCacheMin || size > kGlobalCacheMaxBytes || flags == GMEM_INVALID_HANDLE ||
        (flags & (GMEM_LOCKCOUNT | GMEM_DISCARDED)))
        return false;
    CachedGlobal evicted[kGlobalSlots] = {};
    int nEvicted = 0;
    AcquireSRWLockExclusive(&g_cacheLock);
    int slot = -1;
    for (int i = 0; i < kGlobalSlots && slot < 0; ++i)
        if (!g_globals[i].Handle)
            slot = i;
    if (slot < 0) {
        slot = g_globalNext;
        g_globalNext = (g_globalNext + 1) % kGlobalSlots;
    }
    for (int i = 0; i < kGlobalSlots; ++i) {
        const bool full = g_globalBytes + size > kGlobalCacheMaxBytes;
        const int victim = i == 0 ? slot : (slot + i) % kGlobalSlots;
        if (g_globals[victim].Handle && (victim == slot || full)) {
            g_globalBytes -= g_globals[victim].Size;
            evicted[nEvicted++] = g_globals[victim];
            g_globals[victim] = CachedGlobal{};
        }
    }
    g_globals[slot] = CachedGlobal{h, size, GMEM_MOVEABLE};
    g_globalBytes += size;
    ReleaseSRWLockExclusive(&g_cacheLock);
    for (int i = 0; i < nEvicted; ++i)
        GlobalFree(evicted[i].Handle);
    return true;
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
    BlockHeader *old = HeaderOf(pBlock);
    if (!IsLiveBlock(old))
        return nullptr;
    CheckGuards(old);
    if (cbSize > SIZE_MAX - sizeof(BlockHeader) - kRearGuard || zv::kern::InjectedFailure())
        return nullptr;
    // A block resized within its room stays where it is.  Once it grows
    // into that room, the whole room counts as live (it is held for the
    // block), so that further resizes within it change no count: the
    // region builder resizes its store once per row of a wide region.
    const size_t guard = GuardBytes(old);
    const size_t room = old->Capacity - guard;
    if (cbSize <= room && cbSize >= room / 2) {
        old->Size = cbSize;
        if (cbSize > old->Counted)
            Recount(old, room);
        if (guard)
            LayGuards(old);
        return pBlock;
    }
    // A block that grows keeps half as much again behind it, so that a
    // store grown step by step (the region builder adds one row's worth at
    // a time) is copied a logarithmic number of times, not once per step.
    // Huge blocks get no spare: the system grows them in place within their
    // mapping, and a spare would force a copy of the whole block.
    constexpr size_t kSpareLimit = 64u << 20;
    const size_t spare = cbSize > old->Capacity && cbSize <= kSpareLimit ? cbSize / 2 : 0;
    auto *h = static_cast<BlockHeader *>(std::realloc(old, sizeof(BlockHeader) + cbSize + spare + guard));
    if (!h)
        return nullptr;
    h->Size = cbSize;
    h->Capacity = cbSize + spare + guard;
    Recount(h, cbSize + spare);
    if (guard)
        LayGuards(h);
    return h + 1;
}

void __stdcall K_Free(void *pBlock) {
    if (!pBlock)
        return;
    BlockHeader *h = HeaderOf(pBlock);
    if (!IsLiveBlock(h))  // not ours, or freed twice: counted, left alone
        return;
    CheckGuards(h);
    h->Magic = kDeadMagic;
    UncountBlock(h->Counted);
    const bool checking = g_checking.load(std::memory_order_relaxed);
    if (h->Capacity >= kCacheMin && PutCached(h, checking))
        return;
    if (checking && h->Capacity < kCacheMin)
        Quarantine(h);
    else
        std::free(h);
}

void *__stdcall K_AllocTemp(size_t cbSize) { return NewBlock(cbSize, false); }

void __stdcall K_FreeTemp(void *pBlock) { K_Free(pBlock); }

HGLOBAL __stdcall K_GlobalAlloc(UINT uFlags, size_t cbSize) {
    if (zv::kern::InjectedFailure())
        return nullptr;
    HGLOBAL h = TakeCachedGlobal(uFlags, cbSize);
    if (!h)
        h = GlobalAlloc(uFlags, cbSize);
    if (h)
        CountBlock(GlobalSize(h));
    return h;
}

HGLOBAL __stdcall K_GlobalFree(HGLOBAL hMem) {
    if (!hMem)
        return nullptr;
    const size_t size = GlobalSize(hMem);
    if (PutCachedGlobal(hMem, size)) {
        UncountBlock(size);
        return nullptr;
    }
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

int __stdcall K_SetHeapChecking(int bOn) {
    const int was = g_checking.exchange(bOn ? 1 : 0);
    if (was && !bOn)
        DrainQuarantine();
    return was;
}

int __stdcall K_CheckHeap(void) {
    DrainQuarantine();
    CheckCached();
    return g_faultCount.load();
}

int __stdcall K_GetHeapFaultCount(void) { return g_faultCount.load(); }

int __stdcall K_GetHeapFault(int nIndex, KHeapFault *pFault) {
    if (!pFault)
        return 0;
    AcquireSRWLockExclusive(&g_faultLock);
    const int n = g_faultCount.load();
    const bool kept = nIndex >= 0 && nIndex < n && nIndex >= n - kFaultsKept;
    if (kept)
        *pFault = g_faults[nIndex % kFaultsKept];
    ReleaseSRWLockExclusive(&g_faultLock);
    return kept ? 1 : 0;
}

unsigned __stdcall K_GetAllocationSequence(void) { return g_sequence.load(); }

void __stdcall K_SetAllocationBreak(unsigned nSequence) { g_breakAt = nSequence; }

}  // extern "C"
