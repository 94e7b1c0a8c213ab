// Test entry: googletest with a final check that no kernel block was left
// behind by the whole run.
#include "support.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
