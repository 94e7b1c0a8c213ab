// The fixed display palettes and dither matrices live with the kernel's
// and the library's shared records in include/.
#pragma once

#include "common/zvpalettes.h"
