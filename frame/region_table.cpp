// The region operations the kernel calls to carry a bitmap's region along
// with its own bitmap operations.  Slots whose operation the library does
// not provide yet stay null; the kernel skips null entries.
#include "frame/library.h"

namespace zv {

const RegionServiceTable RegionServices = {
    nullptr,  //  1 mirror with bitmap
    nullptr,  //  2 copy with offset
    nullptr,  //  3 region from mask
    nullptr,  //  4 clip segments, most values of a row
    nullptr,  //  5 clip segments of a row
    nullptr,  //  6 resize with bitmap
    nullptr,  //  7 combine
    nullptr,  //  8 region bounds
    nullptr,  //  9 copy region
    nullptr,  // 10 offset
    nullptr,  // 11 flip
    nullptr,  // 12 shear with bitmap
    nullptr,  // 13 rotate with bitmap
    nullptr,  // 14 GDI region, possibly the cache
    nullptr,  // 15 exact-colour region
    nullptr,  // 16 rectangle region
    nullptr,  // 17 point in region
    nullptr,  // 18 mask from region
    nullptr,  // 19 flip with bitmap
    nullptr,  // 20 GDI region
};

}  // namespace zv
