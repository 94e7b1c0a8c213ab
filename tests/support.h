// Helpers shared by the tests: leak checks and allocation-failure sweeps.
#pragma once

#include "zvdisp.h"
#include "zvkern.h"

#include <gtest/gtest.h>

#include <functional>

namespace zvtest {

// Fails the test when the scope ends with more or fewer live kernel blocks
// than it began with.
class LiveBlockCheck {
public:
    LiveBlockCheck() : start_(K_GetLiveBlockCount()) {}
    ~LiveBlockCheck() { EXPECT_EQ(K_GetLiveBlockCount(), start_) << "kernel blocks leaked or freed twice"; }
    LiveBlockCheck(const LiveBlockCheck &) = delete;
    LiveBlockCheck &operator=(const LiveBlockCheck &) = delete;

private:
    int start_;
};

// Runs op once with the n-th allocation failing, for n = 0, 1, 2, ...,
// until a run makes all its allocations.  After each run that met the
// injected failure, failed(rc) checks the outcome and live blocks must be
// back where they were; after the clean run, succeeded(rc) checks it (and
// undoes it, so that the count comparison holds for the next run).
// Returns the number of allocations of the clean run.
inline int SweepAllocationFailures(const std::function<int()> &op, const std::function<void(int)> &failed,
                                   const std::function<void(int)> &succeeded) {
    for (int n = 0; n < 10000; ++n) {
        const int live = K_GetLiveBlockCount();
        K_SetAllocationFailure(n, 0);
        const int rc = op();
        const bool clean = K_GetAllocationCountdown() >= 0;
        K_SetAllocationFailure(-1, 0);
        if (clean) {
            succeeded(rc);
            EXPECT_EQ(K_GetLiveBlockCount(), live) << "after the clean run";
            return n;
        }
        SCOPED_TRACE(testing::Message() << "allocation " << n << " failed");
        failed(rc);
        EXPECT_EQ(K_GetLiveBlockCount(), live) << "blocks left after allocation " << n << " failed";
        if (testing::Test::HasFailure())
            return n;
    }
    ADD_FAILURE() << "the operation never ran clean";
    return -1;
}

}  // namespace zvtest
