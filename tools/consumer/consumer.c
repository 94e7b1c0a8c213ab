/* A plain C application of the installed zvdisp: headers, import
 * libraries and DLLs, nothing else.  Exits 0 when the calls answer. */
#include <stdio.h>

#include "zvdisp.h"
#include "zvkern.h"

int main(void) {
    BitmapHandle bitmap;
    UINT mode = Z_GetDisplayMode();
    int rc = K_CreateBitmap(&bitmap, 16, 16, 8, ORDER_BGR, ORIENT_TOP_LEFT);
    printf("display mode 0x%04X, create bitmap %d\n", mode, rc);
    if (rc != RC_SUCCESS || mode != DISP_DEFAULT_MODE)
        return 1;
    Z_SetDisplayMode(DISP_ORDERED_DITHER, DISP_ORDERED_DITHER);
    K_FreeBitmap(&bitmap);
    return Z_GetDisplayMode() == (DISP_DEFAULT_MODE | DISP_ORDERED_DITHER) && K_GetLiveBlockCount() == 1 ? 0 : 1;
}
