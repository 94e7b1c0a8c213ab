// Kernel memory: block and byte accounting, fault injection, slots.
#include "support.h"

#include <cstring>
#include <vector>

namespace {

TEST(KernelMemory, CountsBlocksOfEveryAllocator) {
    zvtest::LiveBlockCheck check;
    const int start = K_GetLiveBlockCount();
    void *a = K_Alloc(10);
    auto *z = static_cast<unsigned char *>(K_AllocZero(7, 9));
    void *t = K_AllocTemp(100);
    HGLOBAL g = K_GlobalAlloc(GMEM_MOVEABLE, 64);
    ASSERT_TRUE(a && z && t && g);
    EXPECT_EQ(K_GetLiveBlockCount(), start + 4);
    for (int i = 0; i < 63; ++i)
        ASSERT_EQ(z[i], 0);
    K_Free(a);
    K_Free(z);
    K_FreeTemp(t);
    EXPECT_EQ(K_GlobalFree(g), nullptr);
    K_Free(nullptr);  // accepted
    EXPECT_EQ(K_GetLiveBlockCount(), start);
}

TEST(KernelMemory, ReallocKeepsContentsAndFailsWithoutHarm) {
    zvtest::LiveBlockCheck check;
    auto *p = static_cast<char *>(K_Alloc(4));
    std::memcpy(p, "abc", 4);
    p = static_cast<char *>(K_Realloc(p, 4000));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "abc");
    K_SetAllocationFailure(0, 0);
    EXPECT_EQ(K_Realloc(p, 8000), nullptr);
    EXPECT_STREQ(p, "abc") << "a failed resize leaves the block as it was";
    K_Free(p);
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
    EXPECT_NE(c, nullptr);

    K_SetAllocationFailure(0, 1);
    EXPECT_EQ(K_Alloc(1), nullptr);
    EXPECT_EQ(K_AllocZero(1, 1), nullptr);
    EXPECT_EQ(K_GlobalAlloc(GMEM_MOVEABLE, 1), nullptr);
    EXPECT_EQ(K_AllocTemp(1), nullptr);
    K_SetAllocationFailure(-1, 0);
    void *d = K_Alloc(1);
    EXPECT_NE(d, nullptr);
    for (void *p : {a, b, c, d})
        K_Free(p);
}

TEST(KernelMemory, OverflowingSizesAreRefused) {
    EXPECT_EQ(K_AllocZero(SIZE_MAX / 2, 4), nullptr);
    EXPECT_EQ(K_Alloc(SIZE_MAX - 4), nullptr);
}

TEST(KernelMemory, PeakBytesFollowTheHighWaterMark) {
    zvtest::LiveBlockCheck check;
    K_ResetPeakBytes();
    const size_t base = K_GetLiveBytes();
    void *a = K_Alloc(1000);
    void *b = K_Alloc(2000);
    K_Free(a);
    void *c = K_Realloc(b, 500);
    EXPECT_EQ(K_GetLiveBytes(), base + 500);
    EXPECT_EQ(K_GetPeakBytes(), base + 3000);
    K_ResetPeakBytes();
    EXPECT_EQ(K_GetPeakBytes(), base + 500);
    K_Free(c);
}

TEST(KernelMemory, GlobalBlockHandedToTheSystemIsNoLongerCounted) {
    zvtest::LiveBlockCheck check;
    HGLOBAL g = K_GlobalAlloc(GMEM_MOVEABLE, 32);
    ASSERT_NE(g, nullptr);
    K_GlobalDetach(g);
    GlobalFree(g);  // what the system does with it
}

DWORD WINAPI AllocateMany(LPVOID) {
    std::vector<void *> blocks;
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 50; ++i)
            blocks.push_back(K_Alloc(16 + i));
        for (void *p : blocks)
            K_Free(p);
        blocks.clear();
    }
    return 0;
}

TEST(KernelMemory, TwoThreadsAllocatingAtOnceKeepTheCountsExact) {
    zvtest::LiveBlockCheck check;
    const size_t bytes = K_GetLiveBytes();
    HANDLE threads[2];
    for (HANDLE &t : threads)
        t = CreateThread(nullptr, 0, AllocateMany, nullptr, 0, nullptr);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE t : threads)
        CloseHandle(t);
    EXPECT_EQ(K_GetLiveBytes(), bytes);
}

struct SlotProbe {
    int slot;
    void *seenBefore;
    void *seenAfter;
};

DWORD WINAPI ProbeSlot(LPVOID arg) {
    auto *probe = static_cast<SlotProbe *>(arg);
    probe->seenBefore = K_GetSlotValue(probe->slot);
    int local = 0;
    K_SetSlotValue(probe->slot, &local);
    probe->seenAfter = K_GetSlotValue(probe->slot);
    K_SetSlotValue(probe->slot, nullptr);
    return 0;
}

TEST(KernelSlots, ValuesArePerThreadAndReleaseFreesTheCallersBlock) {
    zvtest::LiveBlockCheck check;
    const int slot = K_AllocSlot();
    ASSERT_GE(slot, 0);
    EXPECT_EQ(K_GetSlotValue(slot), nullptr) << "never set";
    void *mine = K_Alloc(8);
    K_SetSlotValue(slot, mine);
    SlotProbe probe{slot, mine, nullptr};
    HANDLE t = CreateThread(nullptr, 0, ProbeSlot, &probe, 0, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    EXPECT_EQ(probe.seenBefore, nullptr) << "another thread sees its own value";
    EXPECT_NE(probe.seenAfter, nullptr);
    EXPECT_EQ(K_GetSlotValue(slot), mine);
    EXPECT_EQ(K_ReleaseSlot(slot), RC_SUCCESS);  // frees `mine`
    EXPECT_EQ(K_GetSlotValue(-1), nullptr);
    EXPECT_EQ(K_ReleaseSlot(-1), RC_INVALID_PARAMETER);
}

}  // namespace
