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
#include "view_coords.h"

static BitmapHandle g_bitmap;

static RECT ShownRect(HWND hWnd) {
    RECT client;
    GetClientRect(hWnd, &client);
    return FitRect(&g_bitmap, &client);
}

static void Paint(HWND hWnd) {
    PAINTSTRUCT ps;
    RECT shown = ShownRect(hWnd), client;
    RgnTransform t = WindowTransform(&g_bitmap, &shown);
    HDC hDC = BeginPaint(hWnd, &ps);
    /* The margins around the picture: gray, painted apart from it so that
     * nothing flickers. */
    GetClientRect(hWnd, &client);
    ExcludeClipRect(hDC, shown.left, shown.top, shown.right, shown.bottom);
    FillRect(hDC, &client, (HBRUSH)GetStockObject(GRAY_BRUSH));
    SelectClipRgn(hDC, NULL);
    PaintPicture(hDC, &g_bitmap, &shown, &ps.rcPaint);
    if (Z_BitmapHasRgn(&g_bitmap) == 1) {
        SetTextColor(hDC, RGB(0, 0, 0));
        SetBkColor(hDC, RGB(255, 255, 255));
        Z_FrameBitmapRgn(hDC, &g_bitmap, &t, 0);
    }
    EndPaint(hWnd, &ps);
}

static void Select(HWND hWnd, int x, int y, WPARAM keys) {
    RECT shown = ShownRect(hWnd), bounds = {0, 0, 0, 0};
    RgnTransform t = WindowTransform(&g_bitmap, &shown);
    UINT area = 0;
    int row, column, rc;
    if (!WindowToStored(&g_bitmap, &shown, x, y, &row, &column))
        return;
    rc = Z_SetBitmapRgnMagicWand(&g_bitmap, column, row, 24, (keys & MK_SHIFT) ? RGN_MODE_OR : RGN_MODE_SET);
    if (rc == RC_SUCCESS) {
        Z_GetBitmapRgnArea(&g_bitmap, &area);
        Z_GetBitmapRgnBounds(&g_bitmap, &t, &bounds);
    }
    printf("magic wand at window (%d, %d), stored row %d column %d: status %d, %u pixels selected, "
           "window bounds (%ld, %ld, %ld, %ld)\n",
           x, y, row, column, rc, area, bounds.left, bounds.top, bounds.right, bounds.bottom);
    fflush(stdout);
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
    RECT frame = {0, 0, 480, 360};
    WNDCLASSA wc;
    HWND hWnd;
    MSG msg;
    int rc;

    if (argc < 2) {
        fprintf(stderr, "usage: fit_view picture.bmp [bilinear|area|none] [width height]\n");
        return 2;
    }
    if (argc > 4)
        SetRect(&frame, 0, 0, atoi(argv[3]), atoi(argv[4]));
    rc = K_LoadBitmapFile(argv[1], &g_bitmap);
    if (rc != RC_SUCCESS) {
        fprintf(stderr, "cannot load %s: %d\n", argv[1], rc);
        return 1;
    }
    /* The display mode belongs to the thread that paints. */
    if (strcmp(filter, "bilinear") == 0)
        Z_SetDisplayMode(DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT, DISP_SCALE_FILTER);
    else if (strcmp(filter, "area") == 0)
        Z_SetDisplayMode(DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT, DISP_SCALE_FILTER_ALT);

    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_CROSS);
    wc.lpszClassName = "zvdisp fit_view";
    RegisterClassA(&wc);
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    hWnd = CreateWindowA(wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                         CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, NULL, NULL,
                         wc.hInstance, NULL);
    if (!hWnd) {
        K_FreeBitmap(&g_bitmap);
        return 1;
    }
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    K_FreeBitmap(&g_bitmap);
    return 0;
}
