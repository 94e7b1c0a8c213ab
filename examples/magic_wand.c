/* Selects an area of a BMP with the magic wand and shows it with its
 * marching outline:
 *
 *     magic_wand picture.bmp [tolerance]
 *
 * A click selects the pixels 4-connected to the clicked one whose colour
 * lies within the tolerance (0-255, default 24) of it; Shift+click adds to
 * the selection, Ctrl+click takes away from it, Esc clears it.  The
 * picture is shown at 1:1; the outline marches one pixel every 100 ms.
 * After each click the program prints the selection's area and its bounds
 * in window coordinates.
 *
 * The click is in window (displayed) coordinates, the wand's seed in
 * stored pixels: example_view.h turns one into the other, and gives the
 * transform that draws the outline where the picture shows it. */
#include <stdio.h>
#include <stdlib.h>

#include "zvdisp.h"
#include "zvkern.h"
#include "example_view.h"

static BitmapHandle g_bitmap;
static UINT g_tolerance = 24;
static UINT g_step; /* the outline's phase */

/* Where the picture is shown: at 1:1 from the client's top-left corner.
 * A fitted or zoomed view only changes this rectangle (see fit_view.c). */
static RECT ShownRect(void) {
    RECT shown;
    int width, height;
    DisplayedSize(&g_bitmap, &width, &height);
    SetRect(&shown, 0, 0, width, height);
    return shown;
}

static void DrawOutline(HDC hDC) {
    RECT shown = ShownRect();
    RgnTransform t = WindowTransform(&g_bitmap, &shown);
    if (Z_BitmapHasRgn(&g_bitmap) != 1)
        return;
    SetTextColor(hDC, RGB(0, 0, 0));
    SetBkColor(hDC, RGB(255, 255, 255));
    Z_FrameBitmapRgn(hDC, &g_bitmap, &t, g_step);
}

static void Paint(HWND hWnd) {
    PAINTSTRUCT ps;
    RECT shown = ShownRect();
    HDC hDC = BeginPaint(hWnd, &ps);
    PaintPicture(hDC, &g_bitmap, &shown, &ps.rcPaint);
    DrawOutline(hDC);
    EndPaint(hWnd, &ps);
}

static void Select(HWND hWnd, int x, int y, WPARAM keys) {
    UINT mode = (keys & MK_SHIFT) ? RGN_MODE_OR : (keys & MK_CONTROL) ? RGN_MODE_OLD_MINUS_NEW : RGN_MODE_SET;
    RECT shown = ShownRect();
    if (WandAt(&g_bitmap, &shown, x, y, g_tolerance, mode) != RC_INVALID_PARAMETER)
        InvalidateRect(hWnd, NULL, FALSE);
}

static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint(hWnd);
        return 0;
    case WM_LBUTTONDOWN:
        Select(hWnd, (short)LOWORD(lParam), (short)HIWORD(lParam), wParam);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            Z_FreeBitmapRgn(&g_bitmap);
            InvalidateRect(hWnd, NULL, FALSE);
        }
        return 0;
    case WM_TIMER: { /* only the outline needs drawing again */
        HDC hDC = GetDC(hWnd);
        ++g_step;
        DrawOutline(hDC);
        ReleaseDC(hWnd, hDC);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

static void Started(HWND hWnd) {
    SetTimer(hWnd, 1, 100, NULL); /* the outline marches */
}

int main(int argc, char **argv) {
    RECT shown;
    int rc;
    if (argc < 2) {
        fprintf(stderr, "usage: magic_wand picture.bmp [tolerance]\n");
        return 2;
    }
    if (argc > 2)
        g_tolerance = (UINT)atoi(argv[2]) & 0xFF;
    if (!LoadPicture(argv[1], &g_bitmap))
        return 1;
    shown = ShownRect();
    rc = RunWindow("zvdisp magic_wand", argv[1], WindowProc, IDC_CROSS, shown.right, shown.bottom, Started);
    K_FreeBitmap(&g_bitmap); /* frees the region too */
    return rc;
}
