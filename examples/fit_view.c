/* A viewer: the picture fitted to the window (keeping its shape, centred),
 * scaled with a filter, and a magic-wand selection drawn through the
 * view's transform:
 *
 *     fit_view picture.bmp [bilinear|area|none] [width height]
 *
 * bilinear  DISP_SCALE_FILTER: interpolates (best for enlarging; default)
 * area      DISP_SCALE_FILTER_ALT: averages every pixel under a screen
 *           pixel (best for shrinking)
 * none      the library's plain scaling (pixel repetition)
 *
 * width and height set the client area (default 480 x 360); the window
 * may be resized.  A click selects with the magic wand (tolerance 24;
 * Shift adds), printed as in magic_wand.c. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zvdisp.h"
#include "zvkern.h"
#include "example_view.h"

static BitmapHandle g_bitmap;

static RECT ShownRect(HWND hWnd) { return FittedInClient(hWnd, &g_bitmap); }

static void Paint(HWND hWnd) {
    PAINTSTRUCT ps;
    RECT shown = ShownRect(hWnd);
    RgnTransform t = WindowTransform(&g_bitmap, &shown);
    HDC hDC = BeginPaint(hWnd, &ps);
    PaintMargins(hDC, hWnd, &shown);
    PaintPicture(hDC, &g_bitmap, &shown, &ps.rcPaint);
    if (Z_BitmapHasRgn(&g_bitmap) == 1) {
        SetTextColor(hDC, RGB(0, 0, 0));
        SetBkColor(hDC, RGB(255, 255, 255));
        Z_FrameBitmapRgn(hDC, &g_bitmap, &t, 0);
    }
    EndPaint(hWnd, &ps);
}

static void Select(HWND hWnd, int x, int y, WPARAM keys) {
    RECT shown = ShownRect(hWnd);
    if (WandAt(&g_bitmap, &shown, x, y, 24, (keys & MK_SHIFT) ? RGN_MODE_OR : RGN_MODE_SET) != RC_INVALID_PARAMETER)
        InvalidateRect(hWnd, NULL, FALSE);
}

static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint(hWnd);
        return 0;
    case WM_SIZE:
        InvalidateRect(hWnd, NULL, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
        Select(hWnd, (short)LOWORD(lParam), (short)HIWORD(lParam), wParam);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

int main(int argc, char **argv) {
    const char *filter = argc > 2 ? argv[2] : "bilinear";
    int rc;
    if (argc < 2) {
        fprintf(stderr, "usage: fit_view picture.bmp [bilinear|area|none] [width height]\n");
        return 2;
    }
    if (!LoadPicture(argv[1], &g_bitmap))
        return 1;
    /* The display mode belongs to the thread that paints. */
    if (strcmp(filter, "bilinear") == 0)
        Z_SetDisplayMode(DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT, DISP_SCALE_FILTER);
    else if (strcmp(filter, "area") == 0)
        Z_SetDisplayMode(DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT, DISP_SCALE_FILTER_ALT);
    rc = RunWindow("zvdisp fit_view", argv[1], WindowProc, IDC_CROSS, argc > 4 ? atoi(argv[3]) : 480,
                   argc > 4 ? atoi(argv[4]) : 360, NULL);
    K_FreeBitmap(&g_bitmap);
    return rc;
}
