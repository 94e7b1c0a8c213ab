// The kernel keeps freed large blocks for reuse and resizes blocks within
// their capacity in place: neither may show through the allocator's
// contract (zero fill, contents kept, exact counts, thread safety).
#include "support.h"

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr size_t kBig = 100 * 1024;

TEST(KernelMemoryCache, ReusedBlocksAreZeroFilledWhenAskedAndCountedExactly) {
    zvtest::LiveBlockCheck check;
    const size_t bytes = K_GetLiveBytes();
    for (int round = 0; round < 20; ++round) {
        auto *p = static_cast<uint8_t *>(K_Alloc(kBig + round));
        ASSERT_NE(p, nullptr);
        std::memset(p, 0xAB, kBig + round);
        EXPECT_EQ(K_GetLiveBytes(), bytes + kBig + round);
        K_Free(p);
        EXPECT_EQ(K_GetLiveBytes(), bytes);
        auto *z = static_cast<uint8_t *>(K_AllocZero(kBig + round, 1));
        ASSERT_NE(z, nullptr);
        for (size_t i = 0; i < kBig + round; ++i)
            ASSERT_EQ(z[i], 0) << "byte " << i << " of a reused block";
        K_Free(z);
    }
    // A freed block is not freed twice by a second K_Free.
    void *p = K_Alloc(kBig);
    K_Free(p);
    K_Free(p);
}

TEST(KernelMemoryCache, ResizeWithinCapacityKeepsTheBlockAndItsContents) {
    zvtest::LiveBlockCheck check;
    auto *p = static_cast<uint8_t *>(K_Alloc(2 * kBig));
    for (size_t i = 0; i < 2 * kBig; ++i)
        p[i] = static_cast<uint8_t>(i * 13);
    auto *q = static_cast<uint8_t *>(K_Realloc(p, kBig + 10));
    ASSERT_EQ(q, p);  // within capacity, down to half: in place
    auto *r = static_cast<uint8_t *>(K_Realloc(q, kBig / 4));  // below half: a real resize
    ASSERT_NE(r, nullptr);
    auto *s = static_cast<uint8_t *>(K_Realloc(r, 3 * kBig));  // growing
    ASSERT_NE(s, nullptr);
    for (size_t i = 0; i < kBig / 4; ++i)
        ASSERT_EQ(s[i], static_cast<uint8_t>(i * 13));
    K_Free(s);
    // Injected failures still apply to resizes in place.
    auto *t = K_Alloc(2 * kBig);
    K_SetAllocationFailure(0, 0);
    EXPECT_EQ(K_Realloc(t, kBig + 1), nullptr);
    K_SetAllocationFailure(-1, 0);
    K_Free(t);
}

// A block grown into room behind it counts that room once; growing and
// shrinking within it changes no count (the region builder resizes its
// store once per row), and freeing it gives everything back.
TEST(KernelMemoryCache, GrownBlockCountsItsRoomOnce) {
    zvtest::LiveBlockCheck check;
    const size_t base = K_GetLiveBytes();
    void *p = K_Alloc(1000);
    EXPECT_EQ(K_GetLiveBytes(), base + 1000);
    p = K_Realloc(p, 2000);  // moves, with room for 3000
    ASSERT_NE(p, nullptr);
    const size_t grown = K_GetLiveBytes();
    EXPECT_GE(grown, base + 2000);
    for (size_t size = 2008; size <= 2400; size += 8) {
        void *q = K_Realloc(p, size);
        ASSERT_EQ(q, p) << size;
        EXPECT_EQ(K_GetLiveBytes(), grown) << size;
    }
    p = K_Realloc(p, 1600);
    EXPECT_EQ(K_GetLiveBytes(), grown);
    K_Free(p);
    EXPECT_EQ(K_GetLiveBytes(), base);
}

TEST(KernelMemoryCache, TwoThreadsAllocatingLargeBlocksAtOnce) {
    zvtest::LiveBlockCheck check;
    auto work = [](int seed) {
        std::vector<void *> held;
        for (int i = 0; i < 400; ++i) {
            const size_t size = kBig + static_cast<size_t>((i * 7919 + seed) % 300000);
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
    a.join();
    b.join();
}

}  // namespace
