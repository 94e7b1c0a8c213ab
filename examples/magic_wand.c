/* Selects an area of a BMP with the magic wand and shows it with its
 * marching outline:
 *
 *     magic_wand picture.bmp [tolerance]
 *
 * A click selects the pixels 4-connected to the clicked one whose colour
 * lies within the tolerance (0-255, default 24) of it; Shift+click adds to
 * the selection, Ctrl+click takes away from it, Esc clears it.  The
 * picture is shown at 1:1; the outline marches one pixel every 100 ms. */
#include <stdio.h>
#include <stdlib.h>

#include "zvdisp.h"
#include "zvkern.h"

static BitmapHandle g_bitmap;
static UINT g_tolerance = 24;
static UINT g_step; /* the outline's phase */

static void Paint(HWND hWnd) {
    PAINTSTRUCT ps;
    RECT dst = {0, 0, g_bitmap.Width, g_bitmap.Height};
    HDC hDC = BeginPaint(hWnd, &ps);
    /* Null transform: region coordinates are the picture's pixels, which
     * is what the window shows at 1:1. */
    Z_PaintDC(hDC, &g_bitmap, NULL, NULL, &dst, &ps.rcPaint, SRCCOPY);
    if (Z_BitmapHasRgn(&g_bitmap) == 1) {
        SetTextColor(hDC, RGB(0, 0, 0));
        SetBkColor(hDC, RGB(255, 255, 255));
        Z_FrameBitmapRgn(hDC, &g_bitmap, NULL, g_step);
    }
    EndPaint(hWnd, &ps);
}

static void Select(HWND hWnd, int x, int y, WPARAM keys) {
    UINT mode = (keys & MK_SHIFT) ? RGN_MODE_OR : (keys & MK_CONTROL) ? RGN_MODE_OLD_MINUS_NEW : RGN_MODE_SET;
    UINT area = 0;
    int rc;
    if (x >= g_bitmap.Width || y >= g_bitmap.Height)
        return;
    rc = Z_SetBitmapRgnMagicWand(&g_bitmap, x, y, g_tolerance, mode);
    if (rc == RC_SUCCESS)
        Z_GetBitmapRgnArea(&g_bitmap, &area);
    printf("magic wand at (%d, %d): status %d, %u pixels selected\n", x, y, rc, area);
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
    case WM_TIMER:
        if (Z_BitmapHasRgn(&g_bitmap) == 1) {
            /* Only the outline needs drawing again: draw it straight
             * onto the window. */
            HDC hDC = GetDC(hWnd);
            SetTextColor(hDC, RGB(0, 0, 0));
            SetBkColor(hDC, RGB(255, 255, 255));
            Z_FrameBitmapRgn(hDC, &g_bitmap, NULL, ++g_step);
            ReleaseDC(hWnd, hDC);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

int main(int argc, char **argv) {
    WNDCLASSA wc = {0};
    RECT frame;
    HWND hWnd;
    MSG msg;
    int rc;

    if (argc < 2) {
        fprintf(stderr, "usage: magic_wand picture.bmp [tolerance]\n");
        return 2;
    }
    if (argc > 2)
        g_tolerance = (UINT)atoi(argv[2]) & 0xFF;
    rc = K_LoadBitmapFile(argv[1], &g_bitmap);
    if (rc != RC_SUCCESS) {
        fprintf(stderr, "cannot load %s: %d\n", argv[1], rc);
        return 1;
    }

    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_CROSS);
    wc.lpszClassName = "zvdisp magic_wand";
    RegisterClassA(&wc);
    SetRect(&frame, 0, 0, g_bitmap.Width, g_bitmap.Height);
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    hWnd = CreateWindowA(wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                         CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, NULL, NULL,
                         wc.hInstance, NULL);
    if (!hWnd) {
        K_FreeBitmap(&g_bitmap);
        return 1;
    }
    SetTimer(hWnd, 1, 100, NULL);
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    K_FreeBitmap(&g_bitmap); /* frees the region too */
    return 0;
}
