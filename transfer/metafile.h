// Metafiles: what the conversions and the MetaBitmap functions share.
#pragma once

#include "zvdisp.h"

namespace zv {

// The description every EMF made here carries (a description string ends
// with two NULs; the literal supplies one of them).
inline constexpr char MetafileDescription[] = "ZORAVISTA Metafile v1.0\0";

// Pixel size (when bWithSize) and resolutions of an EMF from its header,
// written into *pMeta; false when hEmf is not an EMF.
bool DescribeEnhMetafile(HENHMETAFILE hEmf, MetaBitmap *pMeta, bool bWithSize);

// Plays a WMF through the record's window origin and extent into the
// viewport (x, y, w, h), in MM_ANISOTROPIC; the DC's mapping is restored
// afterwards.  PlayMetaFile's result.
int PlayWmfInto(HDC hDC, const MetaBitmap &meta, int x, int y, int w, int h);

// Deletes a metafile of either kind.
void DeleteAnyMetafile(HANDLE hMetafile, bool bEnhanced);

}  // namespace zv
