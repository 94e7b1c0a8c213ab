// Kernel memory: block and byte accounting, fault injection, the cache of
// large blocks and resizes in place, slots, two threads at once.
#include "support.h"

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr size_t kBig = 100 * 1024;  // large enough for the block cache

TEST(KernelMemory, CountsBlocksAndBytesOfEveryAllocator) {
    zvtest::LiveBlockCheck check;
    K_ResetPeakBytes();
    const size_t base = K_GetLiveBytes();
    void *a = K_Alloc(1000), *b = K_Alloc(2000);
    K_Free(a);
    auto *c = static_cast<char *>(K_Realloc(b, 500));
    EXPECT_EQ(K_GetLiveBytes(), base + 500);
    EXPECT_EQ(K_GetPeakBytes(), base + 3000);
    K_ResetPeakBytes();
    EXPECT_EQ(K_GetPeakBytes(), base + 500);
    std::memcpy(c, "abc", 4);
    K_SetAllocationFailure(0, 0);
    EXPECT_EQ(K_Realloc(c, 8000), nullptr);
    EXPECT_STREQ(c, "abc") << "a failed resize leaves the block as it was";
    c = static_cast<char *>(K_Realloc(c, 4000));
    EXPECT_STREQ(c, "abc");
    EXPECT_EQ(K_Realloc(c, SIZE_MAX / 4 * 3), nullptr) << "more than the system gives";
    EXPECT_STREQ(c, "abc");

    const int start = K_GetLiveBlockCount();
    auto *z = static_cast<unsigned char *>(K_AllocZero(7, 9));
    void *t = K_AllocTemp(100);
    HGLOBAL g = K_GlobalAlloc(GMEM_MOVEABLE, 64), detached = K_GlobalAlloc(GMEM_MOVEABLE, 32);
    ASSERT_TRUE(z && t && g && detached);
    EXPECT_EQ(K_GetLiveBlockCount(), start + 4);
    for (int i = 0; i < 63; ++i)
        ASSERT_EQ(z[i], 0);
    K_GlobalDetach(detached);  // handed to the system: no longer counted
    GlobalFree(detached);
    K_Free(z);
    K_FreeTemp(t);
    EXPECT_EQ(K_GlobalFree(g), nullptr);
    K_Free(c);
    K_Free(nullptr);  // accepted
    EXPECT_EQ(K_AllocZero(SIZE_MAX / 2, 4), nullptr);
    EXPECT_EQ(K_Alloc(SIZE_MAX - 4), nullptr);
}

TEST(KernelMemory, FaultInjectionCountsDownThenFailsOnceOrForever) {
    zvtest::LiveBlockCheck check;
    K_SetAllocationFailure(2, 0);
    EXPECT_EQ(K_GetAllocationCountdown(), 2);
    void *a = K_Alloc(1), *b = K_Alloc(1);
    EXPECT_TRUE(a && b);
    EXPECT_EQ(K_Alloc(1), nullptr) << "the third allocation fails";
    EXPECT_EQ(K_GetAllocationCountdown(), -1) << "a one-shot failure turns injection off";
    void *c = K_AllocZero(1, 1);
    K_SetAllocationFailure(0, 1);
    EXPECT_TRUE(!K_Alloc(1) && !K_AllocZero(1, 1) && !K_GlobalAlloc(GMEM_MOVEABLE, 1) && !K_AllocTemp(1));
    K_SetAllocationFailure(-1, 0);
    void *d = K_Alloc(1);
    EXPECT_TRUE(c && d);
    for (void *p : {a, b, c, d})
        K_Free(p);
}

// Freed large blocks are reused and blocks resized within their capacity
// stay where they are: neither shows through the contract.
TEST(KernelMemory, CachedBlocksKeepTheContract) {
    zvtest::LiveBlockCheck check;
    const size_t base = K_GetLiveBytes();
    for (size_t size = kBig; size < kBig + 20; ++size) {
        auto *p = static_cast<uint8_t *>(K_Alloc(size));
        std::memset(p, 0xAB, size);
        EXPECT_EQ(K_GetLiveBytes(), base + size);
        K_Free(p);
        auto *z = static_cast<uint8_t *>(K_AllocZero(size, 1));
        for (size_t i = 0; i < size; ++i)
            ASSERT_EQ(z[i], 0) << "byte " << i << " of a reused block";
        K_Free(z);
        EXPECT_EQ(K_GetLiveBytes(), base);
    }
    auto *p = static_cast<uint8_t *>(K_Alloc(2 * kBig));
    for (size_t i = 0; i < 2 * kBig; ++i)
        p[i] = static_cast<uint8_t>(i * 13);
    ASSERT_EQ(K_Realloc(p, kBig + 10), p) << "within capacity, down to half: in place";
    K_SetAllocationFailure(0, 0);
    EXPECT_EQ(K_Realloc(p, kBig + 1), nullptr) << "injected failures apply to resizes in place";
    p = static_cast<uint8_t *>(K_Realloc(p, kBig / 4));  // below half: a real resize
    p = static_cast<uint8_t *>(K_Realloc(p, 3 * kBig));
    for (size_t i = 0; i < kBig / 4; ++i)
        ASSERT_EQ(p[i], static_cast<uint8_t>(i * 13));
    K_Free(p);
    // A block grown into room behind it counts that room once.
    void *q = K_Realloc(K_Alloc(1000), 2000);
    const size_t grown = K_GetLiveBytes();
    EXPECT_GE(grown, base + 2000);
    for (size_t size = 2008; size <= 2400; size += 8) {
        ASSERT_EQ(K_Realloc(q, size), q) << size;
        EXPECT_EQ(K_GetLiveBytes(), grown) << size;
    }
    K_Free(q);
    EXPECT_EQ(K_GetLiveBytes(), base);
    // Large global blocks: more than the kept ones are let go; a kept one
    // (written all over) comes back cut to the size asked for and counted
    // so, zeroed when asked.
    const size_t mb = size_t(1) << 20;
    HGLOBAL kept[6];
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(kept[i] = K_GlobalAlloc(GMEM_MOVEABLE, mb + size_t(i) * 4096));
        std::memset(GlobalLock(kept[i]), 0xCD, mb);
        GlobalUnlock(kept[i]);
    }
    for (HGLOBAL h : kept)
        EXPECT_EQ(K_GlobalFree(h), nullptr);
    EXPECT_EQ(K_GetLiveBytes(), base);
    HGLOBAL h = K_GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, mb + 5 * 4096 - 100);
    ASSERT_TRUE(h);
    EXPECT_EQ(GlobalSize(h), mb + 5 * 4096 - 100);
    EXPECT_EQ(K_GetLiveBytes(), base + mb + 5 * 4096 - 100);
    const auto *bytes = static_cast<const uint8_t *>(GlobalLock(h));
    ASSERT_TRUE(bytes);
    for (size_t i = 0; i < mb; i += 4093)
        ASSERT_EQ(bytes[i], 0) << i;
    GlobalUnlock(h);
    K_GlobalFree(h);
    EXPECT_EQ(K_GetLiveBytes(), base);
}

// Checking mode (on in every test program): each misuse of a block of
// each kind is found once, with the block's size and sequence number.
TEST(KernelMemory, CheckingFindsEachMisuseOfEachKindOfBlock) {
    enum Misuse { kPastEnd, kBeforeStart, kAfterFree, kTwice, kForeign };
    struct Kind {
        const char *name;
        size_t size;
        size_t grownTo;  // resized to this after allocation (0: not)
    };
    const Kind kinds[] = {{"small", 40, 0}, {"kept large", kBig + 3, 0}, {"grown in place", 1000, 1400},
                          {"moved by a resize", 100, 5000}, {"shrunk", kBig, kBig * 3 / 4}};
    const int expectedKind[] = {KHEAP_OVERRUN, KHEAP_UNDERRUN, KHEAP_WRITTEN_AFTER_FREE, KHEAP_DOUBLE_FREE,
                                KHEAP_FOREIGN_POINTER};
    zvtest::LiveBlockCheck check;
    for (const Kind &k : kinds) {
        for (int misuse = kPastEnd; misuse <= kForeign; ++misuse) {
            SCOPED_TRACE(testing::Message() << k.name << " block, misuse " << misuse);
            const int before = K_CheckHeap();
            auto *p = static_cast<uint8_t *>(K_Alloc(k.size));
            const unsigned seq = K_GetAllocationSequence();
            if (k.grownTo)
                p = static_cast<uint8_t *>(K_Realloc(p, k.grownTo));
            const size_t size = k.grownTo ? k.grownTo : k.size;
            alignas(16) uint8_t outside[128] = {};
            switch (misuse) {
            case kPastEnd: p[size] = 1; K_Free(p); break;
            case kBeforeStart: p[-1] = 1; K_Free(p); break;
            case kAfterFree: K_Free(p); p[size / 2] = 1; break;
            case kTwice: K_Free(p); K_Free(p); break;
            case kForeign: K_Free(p); K_Free(outside + 64 + k.size % 2); break;  // aligned or not
            }
            ASSERT_EQ(K_CheckHeap(), before + 1);
            KHeapFault f{};
            ASSERT_TRUE(K_GetHeapFault(before, &f));
            EXPECT_EQ(f.Kind, expectedKind[misuse]);
            EXPECT_EQ(f.Size, misuse == kForeign ? 0 : size);
            EXPECT_EQ(f.Sequence, misuse == kForeign ? 0 : seq);
            zvtest::ExpectedHeapFaults() += 1;
        }
    }
    KHeapFault none{};
    EXPECT_EQ(K_GetHeapFault(K_GetHeapFaultCount(), &none), 0) << "no such fault yet";
    EXPECT_EQ(K_GetHeapFault(0, nullptr), 0);
    // Unchecked, a second free of a kept block is still found.
    EXPECT_EQ(K_SetHeapChecking(0), 1);
    const int before = K_GetHeapFaultCount();
    void *q = K_Alloc(kBig);
    K_Free(q);
    K_Free(q);
    K_SetHeapChecking(1);
    EXPECT_EQ(K_GetHeapFaultCount(), before + 1);
    zvtest::ExpectedHeapFaults() += 1;
}

TEST(KernelMemory, TwoThreadsAllocatingAtOnceKeepTheCountsExact) {
    zvtest::LiveBlockCheck check;
    const size_t bytes = K_GetLiveBytes();
    auto work = [](int seed) {
        std::vector<void *> held;
        for (int i = 0; i < 4000; ++i) {
            const size_t size = i % 10 ? 16 + i % 50 : kBig + size_t((i * 7919 + seed) % 300000);
            auto *p = static_cast<uint8_t *>(K_Alloc(size));
            p[0] = p[size - 1] = static_cast<uint8_t>(seed);
            held.push_back(p);
            if (held.size() > 5) {
                K_Free(held.front());
                held.erase(held.begin());
            }
        }
        for (void *p : held)
            K_Free(p);
    };
    std::thread a(work, 1), b(work, 2);
    a.join(), b.join();
    EXPECT_EQ(K_GetLiveBytes(), bytes);
}

}  // namespace
