// The kernel's owning pointers for blocks of its allocators live with the
// library's guards in common/guards.h.
#pragma once

#include "common/guards.h"
