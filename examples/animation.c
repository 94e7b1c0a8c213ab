/* Animation playback: a ball rolls across a sky, eight frames in a loop.
 *
 *     animation [width height]
 *
 * The frames are made here (16 x 16 each, 80 ms apart) and kept in a
 * kernel bitmap list; a playback composes them into a target bitmap that
 * the window shows fitted to its client area (default 192 x 128).  The
 * program drives the playback from a timer: it steps the state machine,
 * repaints the area that changed, and sleeps for the frame's delay. */
#include <stdio.h>
#include <stdlib.h>

#include "zvdisp.h"
#include "zvkern.h"
#include "example_view.h"

#define SKY RGB(80, 120, 200)
#define BALL RGB(220, 40, 40)

static BitmapHandle g_target;
static PlaybackHandle g_playback;

/* Frame i: the ball at column 10 i of the target, row 24. */
static int AddFrame(void *hList, int i) {
    BitmapHandle frame = {0};
    int x, y, rc = K_CreateBitmap(&frame, 16, 16, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    if (rc != RC_SUCCESS)
        return rc;
    K_FillBitmap(&frame, SKY);
    for (y = 0; y < 16; ++y)
        for (x = 0; x < 16; ++x)
            if ((2 * x - 15) * (2 * x - 15) + (2 * y - 15) * (2 * y - 15) <= 196)
                K_SetPixelColor(&frame, y, x, BALL);
    frame.Left = 10 * i;
    frame.Top = 24;
    frame.Delay = 80;
    frame.DisposalMethod = 2; /* give the area back to the background */
    frame.BackgroundColor = SKY;
    rc = K_InsertBitmapListItem(hList, -1, &frame); /* the list owns the pixels now */
    if (rc != RC_SUCCESS)
        K_FreeBitmap(&frame);
    return rc;
}

static RECT ShownRect(HWND hWnd) { return FittedInClient(hWnd, &g_target); }

/* Steps the playback until it has to wait; repaints what changed. */
static void Play(HWND hWnd) {
    RECT shown = ShownRect(hWnd), changed;
    UINT state = PLAYSTATE_START, delay = 0;
    int steps;
    for (steps = 0; steps < 64; ++steps) {
        Z_ProcessPlayback(g_playback, &state);
        Z_GetPlaybackUpdateRect(g_playback, &changed, 1); /* target pixels; shown scaled */
        if (!IsRectEmpty(&changed)) {
            RECT r;
            SetRect(&r, shown.left + MulDiv(changed.left, shown.right - shown.left, g_target.Width) - 1,
                    shown.top + MulDiv(changed.top, shown.bottom - shown.top, g_target.Height) - 1,
                    shown.left + MulDiv(changed.right, shown.right - shown.left, g_target.Width) + 1,
                    shown.top + MulDiv(changed.bottom, shown.bottom - shown.top, g_target.Height) + 1);
            InvalidateRect(hWnd, &r, FALSE);
        }
        if (state == PLAYSTATE_WAIT_DELAY || state == PLAYSTATE_WAIT_DELAY_INPUT) {
            Z_GetPlaybackDelay(g_playback, &delay);
            break;
        }
        if (state == PLAYSTATE_WAIT_INPUT)
            Z_CancelPlaybackWait(g_playback); /* nobody to wait for here */
        /* PLAYSTATE_END: stepping again starts over */
    }
    SetTimer(hWnd, 1, delay ? delay : 10, NULL);
}

static LRESULT CALLBACK WindowProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        RECT shown = ShownRect(hWnd);
        HDC hDC = BeginPaint(hWnd, &ps);
        PaintPicture(hDC, &g_target, &shown, &ps.rcPaint);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_TIMER:
        Play(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

static void Started(HWND hWnd) {
    SetTimer(hWnd, 1, 10, NULL);
}

int main(int argc, char **argv) {
    void *list = NULL;
    int i, rc = K_CreateBitmap(&g_target, 96, 64, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    if (rc == RC_SUCCESS) {
        K_FillBitmap(&g_target, SKY);
        g_target.BackgroundColor = SKY;
        rc = K_CreateBitmapList(&list);
    }
    for (i = 0; rc == RC_SUCCESS && i < 8; ++i)
        rc = AddFrame(list, i);
    if (rc == RC_SUCCESS)
        rc = Z_CreatePlayback(&g_playback, &g_target, list);
    printf("animation: set-up %d\n", rc);
    fflush(stdout);
    if (rc == RC_SUCCESS)
        rc = RunWindow("zvdisp animation", "animation", WindowProc, IDC_ARROW, argc > 2 ? atoi(argv[1]) : 192,
                       argc > 2 ? atoi(argv[2]) : 128, Started) == 0 ? RC_SUCCESS : RC_FAILURE;
    if (g_playback)
        Z_DestroyPlayback(g_playback, NULL);
    if (list)
        K_DestroyBitmapList(list); /* frees every frame */
    K_FreeBitmap(&g_target);
    return rc == RC_SUCCESS ? 0 : 1;
}
