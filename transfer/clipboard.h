// The clipboard's reading of metafile pictures.
#pragma once

#include "zvtypes.h"

namespace zv {

// Pixel size of a METAFILEPICT with mapping mode mm and extents xExt,
// yExt on a device of dpiX x dpiY (absolute extents; isotropic and
// anisotropic extents in thousandths of an inch, 0 meaning 640 or 480,
// a negative one giving only the aspect ratio).
SIZE MetafilePictSize(int mm, int xExt, int yExt, int dpiX, int dpiY);

// Plays the METAFILEPICT in global block `handle` on a white 24-bit
// bitmap of that size (the screen's resolution) and makes it *pOut; false
// (nothing written) on any failure.
bool BitmapFromMetafilePict(BitmapHandle *pOut, HGLOBAL handle);

}  // namespace zv
