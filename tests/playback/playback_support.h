// Shared by the playback tests.
#pragma once

#include "frame/library.h"
#include "support.h"

namespace pbtest {

// The library's region table registered with the kernel for a test (the
// static test build has no library entry), withdrawn after.
struct RegionTable {
    RegionTable() { K_SetRegionServiceTable(&zv::RegionServices); }
    ~RegionTable() { K_SetRegionServiceTable(nullptr); }
};

}  // namespace pbtest
