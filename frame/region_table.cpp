// The region operations the kernel calls to carry a bitmap's region along
// with its own bitmap operations.
#include "frame/library.h"
#include "region/colour.h"
#include "region/region.h"

namespace zv {

const RegionServiceTable RegionServices = {
    RgnMirrorWithBitmap,         //  1 mirror with bitmap
    RgnCopyWithOffset,           //  2 copy with offset
    Z_SetBitmapRgnFromMask,      //  3 region from mask
    Z_GetBitmapClipSegmentsMax,  //  4 clip segments, most values of a row
    Z_GetBitmapClipSegments,     //  5 clip segments of a row
    RgnResizeWithBitmap,         //  6 resize with bitmap
    RgnCombineSlot,              //  7 combine
    Z_GetBitmapRgnBounds,        //  8 region bounds
    Z_CopyZoraRgn,               //  9 copy region
    RgnOffset,                   // 10 offset
    RgnFlip,                     // 11 flip
    RgnShearWithBitmap,          // 12 shear with bitmap
    RgnRotateWithBitmap,         // 13 rotate with bitmap
    Z_IntGetBitmapRgnHandle,     // 14 GDI region, possibly the cache
    RgnExactColorService,        // 15 exact-colour region
    RgnSetRectService,           // 16 rectangle region
    Z_IsPtInBitmapRgn,           // 17 point in region
    Z_CreateMaskFromBitmapRgn,   // 18 mask from region
    RgnFlipWithBitmap,           // 19 flip with bitmap
    Z_GetBitmapRgnHandle,        // 20 GDI region
};

}  // namespace zv
