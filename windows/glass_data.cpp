// On-demand data and manual mode of the magnifying glass.
#include "windows/glass.h"

namespace zv {

int StartGlassData(MagGlassRecord *g, const BitmapHandle *pBitmap) {
    g->BlocksAcross = (pBitmap->Width + 7) / 8;
    g->BlocksDown = (pBitmap->Height + 7) / 8;
    g->BlockCount = g->BlocksAcross * g->BlocksDown;
    g->BlockBits = static_cast<BYTE *>(K_AllocZero((g->BlockCount + 7) / 8 + 1, 1));
    if (!g->BlockBits)
        return RC_NO_MEMORY;
    if (!g->RequestProc)
        return RC_SUCCESS;
    g->EventCodes = static_cast<UINT *>(K_AllocZero(kGlassEvents, sizeof(UINT)));
    g->EventPoints = static_cast<POINT *>(K_AllocZero(kGlassEvents, sizeof(POINT)));
    if (!g->EventCodes || !g->EventPoints)
        return RC_NO_MEMORY;
    return K_CreateBitmap(&g->DataBitmap, pBitmap->Width, pBitmap->Height, pBitmap->BitsPerPixel, pBitmap->Order,
                          pBitmap->Orientation);
}

void FreeGlassData(MagGlassRecord *g) {
    K_Free(g->EventCodes);
    K_Free(g->EventPoints);
    K_Free(g->BlockBits);
    g->EventCodes = nullptr;
    g->EventPoints = nullptr;
    g->BlockBits = nullptr;
    K_FreeBitmap(&g->DataBitmap);
    K_FreeBitmap(&g->WorkBitmap);
}

bool GlassDataCheck(MagGlassRecord *, UINT, int, int) { return true; }
void GlassDataMoved(MagGlassRecord *, int, int) {}

}  // namespace zv
