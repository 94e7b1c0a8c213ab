/* Copies a bitmap with an elliptic region to the clipboard and reads it
 * back, as an application's Copy and Paste commands would:
 *
 *     clipboard [picture.bmp [pasted.bmp]]
 *
 * Without a file it uses a generated colour ramp.  The clipboard then
 * holds the picture as palette, DIB and device bitmap, and the region as
 * its own format; any program can paste the picture, and a program using
 * this library gets the region back as well.  The pasted bitmap is saved
 * to pasted.bmp when given. */
#include <stdio.h>
#include <string.h>

#include "zvdisp.h"
#include "zvkern.h"

/* A 24-bit ramp: red across, green down. */
static int MakeRamp(BitmapHandle *pBitmap) {
    BYTE row[3 * 160];
    int x, y, rc = K_CreateBitmap(pBitmap, 160, 120, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    for (y = 0; rc == RC_SUCCESS && y < 120; ++y) {
        for (x = 0; x < 160; ++x) {
            row[3 * x] = 128;
            row[3 * x + 1] = (BYTE)(y * 2);
            row[3 * x + 2] = (BYTE)(x * 255 / 159);
        }
        if (K_PutBitmapRow(pBitmap, row, y, 0, sizeof row) < 0)
            rc = RC_NO_BITMAP;
    }
    return rc;
}

int main(int argc, char **argv) {
    BitmapHandle picture = {0}, pasted = {0};
    UINT before = 0, after = 0;
    RECT ellipse;
    HWND hWnd;
    int rc = argc > 1 ? K_LoadBitmapFile(argv[1], &picture) : MakeRamp(&picture);
    if (rc != RC_SUCCESS) {
        fprintf(stderr, "no picture: %d\n", rc);
        return 1;
    }
    /* The clipboard belongs to a window; it need not be visible. */
    hWnd = CreateWindowA("STATIC", "clipboard example", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);

    SetRect(&ellipse, picture.Width / 8, picture.Height / 8, picture.Width * 7 / 8, picture.Height * 7 / 8);
    Z_SetBitmapRgnEllipse(&picture, NULL, &ellipse, RGN_MODE_SET);
    Z_GetBitmapRgnArea(&picture, &before);

    /* Copy: empties the clipboard and puts every format. */
    if (!hWnd || Z_CopyToClipboard(hWnd, &picture) != 1) {
        fprintf(stderr, "copy failed\n");
        K_FreeBitmap(&picture);
        return 1;
    }
    printf("copied %dx%d, %d bits, region of %u pixels\n", picture.Width, picture.Height,
           picture.BitsPerPixel, before);

    /* Paste: a program enables its Paste command with Z_ClipboardReady. */
    if (Z_ClipboardReady() != 1 || Z_CopyFromClipboard(hWnd, &pasted) != 1) {
        fprintf(stderr, "paste failed\n");
        K_FreeBitmap(&picture);
        return 1;
    }
    if (Z_BitmapHasRgn(&pasted) == 1)
        Z_GetBitmapRgnArea(&pasted, &after);
    printf("pasted %dx%d, %d bits, region of %u pixels\n", pasted.Width, pasted.Height, pasted.BitsPerPixel,
           after);
    if (argc > 2 && K_SaveBitmapFile(argv[2], &pasted) != RC_SUCCESS)
        fprintf(stderr, "cannot save %s\n", argv[2]);

    K_FreeBitmap(&pasted);
    K_FreeBitmap(&picture);
    DestroyWindow(hWnd);
    return before == after ? 0 : 1;
}
