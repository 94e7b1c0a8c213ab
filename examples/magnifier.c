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
#include "example_view.h"

static BitmapHandle g_bitmap;

static RECT ShownRect(HWND hWnd) { return FittedInClient(hWnd, &g_bitmap); }

static void Paint(HWND hWnd) {
    PAINTSTRUCT ps;
    RECT shown = ShownRect(hWnd);
    HDC hDC = BeginPaint(hWnd, &ps);
    PaintMargins(hDC, hWnd, &shown);
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

/* A round glass of 120 x 120 window pixels at 300%, a red border two
 * pixels wide, crosshair lines, the library's cursor. */
static void Started(HWND hWnd) {
    RECT shown = ShownRect(hWnd);
    int rc = Z_StartMagGlass(hWnd, &g_bitmap, &shown, 120, 120, 300, RGB(255, 0, 0), NULL, 0, 1, 2, 0, 0, NULL, 0,
                             1, 0, 0);
    printf("magnifier: start %d\n", rc);
    fflush(stdout);
    if (rc != RC_SUCCESS)
        DestroyWindow(hWnd);
}

int main(int argc, char **argv) {
    int rc;
    if (argc < 2) {
        fprintf(stderr, "usage: magnifier picture.bmp [width height]\n");
        return 2;
    }
    if (!LoadPicture(argv[1], &g_bitmap))
        return 1;
    rc = RunWindow("zvdisp magnifier", argv[1], WindowProc, IDC_ARROW, argc > 3 ? atoi(argv[2]) : 480,
                   argc > 3 ? atoi(argv[3]) : 360, Started);
    K_FreeBitmap(&g_bitmap); /* after the glass: it paints the bitmap */
    return rc;
}
