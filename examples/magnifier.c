/* A magnifying glass over a picture: hold the left button over the window
 * and a round glass at 300% follows the cursor.
 *
 *     magnifier picture.bmp [width height]
 *
 * The picture is fitted to the window (client area width x height, default
 * 480 x 360).  The glass subclasses the window while it lives and paints
 * with its own paint palette; the window only tells it where the picture
 * is shown when that changes. */
#include <stdio.h>
#include <stdlib.h>

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
    HDC hDC = BeginPaint(hWnd, &ps);
    GetClientRect(hWnd, &client);
    ExcludeClipRect(hDC, shown.left, shown.top, shown.right, shown.bottom);
    FillRect(hDC, &client, (HBRUSH)GetStockObject(GRAY_BRUSH));
    SelectClipRgn(hDC, NULL);
    PaintPicture(hDC, &g_bitmap, &shown, &ps.rcPaint);
    EndPaint(hWnd, &ps);
}

static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        Paint(hWnd);
        return 0;
    case WM_SIZE: {
        RECT shown = ShownRect(hWnd);
        if (Z_WindowHasMagGlass(hWnd))
            Z_UpdateMagGlassRect(hWnd, &shown);
        InvalidateRect(hWnd, NULL, FALSE);
        return 0;
    }
    case WM_DESTROY:
        Z_StopMagGlass(hWnd); /* restores the window procedure, frees the glass */
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

int main(int argc, char **argv) {
    RECT frame = {0, 0, 480, 360}, shown;
    WNDCLASSA wc = {0};
    HWND hWnd;
    MSG msg;
    int rc;

    if (argc < 2) {
        fprintf(stderr, "usage: magnifier picture.bmp [width height]\n");
        return 2;
    }
    if (argc > 3)
        SetRect(&frame, 0, 0, atoi(argv[2]), atoi(argv[3]));
    rc = K_LoadBitmapFile(argv[1], &g_bitmap);
    if (rc != RC_SUCCESS) {
        fprintf(stderr, "cannot load %s: %d\n", argv[1], rc);
        return 1;
    }
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.lpszClassName = "zvdisp magnifier";
    RegisterClassA(&wc);
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    hWnd = CreateWindowA(wc.lpszClassName, argv[1], WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                         CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, NULL, NULL,
                         wc.hInstance, NULL);
    if (!hWnd) {
        K_FreeBitmap(&g_bitmap);
        return 1;
    }
    /* A round glass of 120 x 120 window pixels at 300%, a red border two
     * pixels wide, crosshair lines, the library's cursor. */
    shown = ShownRect(hWnd);
    rc = Z_StartMagGlass(hWnd, &g_bitmap, &shown, 120, 120, 300, RGB(255, 0, 0), NULL, 0, 1, 2, 0, 0, NULL, 0, 1,
                         0, 0);
    printf("magnifier: start %d\n", rc);
    fflush(stdout);
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    K_FreeBitmap(&g_bitmap); /* after the glass: it paints the bitmap */
    return rc == RC_SUCCESS ? 0 : 1;
}
