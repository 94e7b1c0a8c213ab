// Filtered paints of zvpaintbench (filter_bench.cpp).
#pragma once

namespace zvbench {

// Runs the cases whose name contains `only`, each for about `budget`
// seconds per figure, and prints their table.
void RunFilterCases(double budget, const char *only);

}  // namespace zvbench
