/* Paints a BMP file into a window, scaled to the window, with a display
 * mode chosen on the command line:
 *
 *     paint_bmp picture.bmp [ordered|diffusion|gdi|cube]
 *
 * ordered    library dithering with ordered 8x8 matrices
 * diffusion  library dithering with error diffusion (the default mode)
 * gdi        leave colour reduction to GDI
 * cube       ordered dithering to the 6x6x6 colour cube
 *
 * The dithering choices only matter on devices of 8 bits or fewer.  The
 * window selects and realises the library's paint palette around every
 * paint: in the default display mode a bitmap of 8 bits or fewer is sent
 * as palette indices on every device, true-colour screens included, and
 * on an 8-bit screen every bitmap needs it. */
#include <stdio.h>
#include <string.h>

#include "zvdisp.h"
#include "zvkern.h"
#include "example_view.h"

static BitmapHandle g_bitmap;

/* The paint palette around the paint, written out (PaintPicture() of
 * example_view.h does the same). */
static void Paint(HWND hWnd) {
    PAINTSTRUCT ps;
    RECT dst;
    HDC hDC = BeginPaint(hWnd, &ps);
    HPALETTE palette = Z_CreatePaintPalette(hDC, &g_bitmap); /* null when the paint needs none */
    HPALETTE old = NULL;
    GetClientRect(hWnd, &dst);
    if (palette) {
        old = SelectPalette(hDC, palette, FALSE);
        RealizePalette(hDC);
    }
    /* Whole image (null source) into the whole client area, clipped to
     * what needs painting. */
    int rc = Z_PaintDC(hDC, &g_bitmap, NULL, NULL, &dst, &ps.rcPaint, SRCCOPY);
    if (rc != RC_SUCCESS)
        fprintf(stderr, "Z_PaintDC: %d\n", rc);
    if (palette) {
        SelectPalette(hDC, old, FALSE);
        DeleteObject(palette);
    }
    EndPaint(hWnd, &ps);
}

static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint(hWnd);
        return 0;
    case WM_SIZE:
        InvalidateRect(hWnd, NULL, FALSE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

int main(int argc, char **argv) {
    const char *mode = argc > 2 ? argv[2] : "diffusion";
    int rc;
    if (argc < 2) {
        fprintf(stderr, "usage: paint_bmp picture.bmp [ordered|diffusion|gdi|cube]\n");
        return 2;
    }
    if (!LoadPicture(argv[1], &g_bitmap))
        return 1;
    /* The display mode belongs to the calling thread: set it on the
     * thread that paints. */
    if (strcmp(mode, "ordered") == 0)
        Z_SetDisplayMode(DISP_ORDERED_DITHER, DISP_ORDERED_DITHER);
    else if (strcmp(mode, "gdi") == 0)
        Z_SetDisplayMode(DISP_LIBRARY_DITHER, 0);
    else if (strcmp(mode, "cube") == 0)
        Z_SetDisplayMode(DISP_ORDERED_DITHER | DISP_CUBE_PALETTE | DISP_DITHER_8BIT,
                         DISP_ORDERED_DITHER | DISP_CUBE_PALETTE | DISP_DITHER_8BIT);
    rc = RunWindow("zvdisp paint_bmp", argv[1], WindowProc, IDC_ARROW, g_bitmap.Width, g_bitmap.Height, NULL);
    K_FreeBitmap(&g_bitmap);
    return rc;
}
