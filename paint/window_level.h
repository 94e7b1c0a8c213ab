// Window level: the significant bits of gray data deeper than 8 bits and
// the bitmap's colour table for their values (the exports are in zvdisp.h).
#pragma once

#include "zvtypes.h"

namespace zv {

// A window-level table is used only when it has entries; readers clamp
// indices to WindowLUTLength - 1.
inline bool HasWindowLut(const BitmapHandle *pBitmap) {
    return pBitmap->WindowLUT && pBitmap->WindowLUTLength > 0;
}

}  // namespace zv
