// Test entry: googletest with the kernel's heap checking on.  After every
// test the kernel checks the freed blocks it still holds, and a fault
// found during the test (a write past or before a block, into a freed
// block, a double or foreign free) fails that test, as a leak does.
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class HeapFaultCheck : public testing::EmptyTestEventListener {
    int start_ = 0;

    void OnTestStart(const testing::TestInfo &) override {
        start_ = K_GetHeapFaultCount();
        zvtest::ExpectedHeapFaults() = 0;
    }
    // Runs before the result printer's (listeners end in reverse order), so
    // that a failure added here belongs to the test that just ended.
    void OnTestEnd(const testing::TestInfo &) override {
        const int end = K_CheckHeap();
        if (end - start_ == zvtest::ExpectedHeapFaults())
            return;
        ADD_FAILURE() << end - start_ << " heap faults, " << zvtest::ExpectedHeapFaults() << " expected";
        for (int i = start_; i < end; ++i)
            zvtest::ReportHeapFault(i);
    }
};

// A crash ends the run with a failure: under Wine an unhandled exception
// starts the debugger and the process may still exit 0, which would pass.
LONG WINAPI FailOnCrash(EXCEPTION_POINTERS *p) {
    std::fprintf(stderr, "unhandled exception %#lx at %p\n", p->ExceptionRecord->ExceptionCode,
                 p->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    ExitProcess(3);
}

}  // namespace

int main(int argc, char **argv) {
    SetUnhandledExceptionFilter(FailOnCrash);
    K_SetHeapChecking(1);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new HeapFaultCheck);
    return RUN_ALL_TESTS();
}
