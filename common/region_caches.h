// Dropping a region's two cached GDI forms (the GDI region and the fill
// mask): the library does it whenever the runs change, the kernel when it
// releases a region.
#pragma once

#include "zvtypes.h"

namespace zv {

inline void DeleteRgnCaches(ZoraRgn &r) {
    if (r.hMaskCache)
        DeleteObject(r.hMaskCache);
    if (r.hRgnCache)
        DeleteObject(r.hRgnCache);
    r.hMaskCache = nullptr;
    r.hRgnCache = nullptr;
}

}  // namespace zv
