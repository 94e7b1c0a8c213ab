// Mask colours of the magnifying glass: the region of the pixels it shows.
//
// The glass's bitmap gets a region of its own: the union of the pixels of
// every mask colour (the colours shown with MAGGLASS_INCLUDE_COLORS, else
// its complement: the colours hidden), limited by the bitmap's earlier
// region unless the glass ignores regions.  The painting then clips to
// that region and hidden pixels show the black background.
//
// The steps work on the run regions directly (the complement and the
// intersection are the region algebra's), which gives the same pixel sets
// as a round trip through GDI regions without the conversions.
#include "windows/glass.h"

#include "region/region.h"

namespace zv {

int BuildMaskRegion(const MagGlassRecord *g, BitmapHandle *pTarget) {
    OwnedRgn earlier(pTarget->Region);
    pTarget->Region = nullptr;
    if (g->IgnoreRegion)
        earlier.reset();
    int rc = RC_SUCCESS;
    for (int i = 0; i < g->MaskColorCount && rc == RC_SUCCESS; ++i)
        rc = Z_SetBitmapRgnColor(pTarget, g->MaskColors[i], i == 0 ? RGN_MODE_SET : RGN_MODE_OR);
    if (rc == RC_SUCCESS && !g->IncludeColors) {  // (a colour scan always hangs a region, maybe empty)
        ZoraRgn *shown = pTarget->Region;
        pTarget->Region = nullptr;
        rc = RgnCombine(pTarget, nullptr, OwnedRgn(shown), RGN_MODE_SET_COMPLEMENT);
    }
    if (rc == RC_SUCCESS && earlier) {
        rc = RgnCombine(pTarget, nullptr, std::move(earlier), RGN_MODE_AND);
    }
    if (rc != RC_SUCCESS && earlier) {
        K_FreeRegion(pTarget->Region);
        pTarget->Region = earlier.release();  // set back
    }
    return rc;
}

// The colours used inside the bounding rectangle of the bitmap's region,
// as red-first COLORREFs, each once.  Bitmaps of 8 bits or fewer give their
// palette entries; deeper ones their exact colours, of which at most 256
// may occur (more: RC_INVALID_FORMAT).
int MaskColorsFromRegion(MagGlassRecord *g, const BitmapHandle *pBitmap) {
    if (!pBitmap->Region)
        return RC_INVALID_PARAMETER;
    RECT r = pBitmap->Region->Bounds;
    const RECT whole{0, 0, pBitmap->Width, pBitmap->Height};
    IntersectRect(&r, &r, &whole);
    auto *colors = static_cast<COLORREF *>(K_Alloc(256 * sizeof(COLORREF)));
    if (!colors)
        return RC_NO_MEMORY;
    int count = 0;
    for (int row = r.top; row < r.bottom; ++row) {
        for (int col = r.left; col < r.right; ++col) {
            const UINT c = K_GetPixelValue(pBitmap, row, col) & 0xFFFFFFu;
            int i = 0;
            while (i < count && colors[i] != c)
                ++i;
            if (i < count)
                continue;
            if (count == 256) {
                K_Free(colors);
                return RC_INVALID_FORMAT;
            }
            colors[count++] = c;
        }
    }
    g->MaskColors = colors;
    g->MaskColorCount = count;
    return RC_SUCCESS;
}

}  // namespace zv
