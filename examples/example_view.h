/* A bitmap shown in a window, for the examples (copy what you need):
 * loading, the window and its message loop, the picture's place, its
 * coordinates and painting it.
 *
 * The window shows the picture as its Orientation turns it: displayed
 * coordinates.  The magic wand's seed, the region and the rows are in the
 * bitmap's stored pixels.  A bottom-up BMP, the common kind, loads with
 * Orientation ORIENT_BOTTOM_LEFT: stored row 0 is the bottom row on
 * screen.  So a click is turned into a stored (row, column) before the
 * wand, and outlines are drawn through a transform that brings stored
 * coordinates to the window. */
#ifndef EXAMPLE_VIEW_H
#define EXAMPLE_VIEW_H

#include <stdio.h>
#include <string.h>

#include "zvdisp.h"
#include "zvkern.h"

/* Every program takes what it needs of these. */
#ifdef __GNUC__
#define EXAMPLE_FUNCTION static __attribute__((unused))
#else
#define EXAMPLE_FUNCTION static
#endif

/* The picture's size as displayed: orientations 4, 5, 7 and 8 exchange
 * the axes. */
EXAMPLE_FUNCTION void DisplayedSize(const BitmapHandle *pBitmap, int *pWidth, int *pHeight) {
    int swap = pBitmap->Orientation == ORIENT_RIGHT_TOP || pBitmap->Orientation == ORIENT_LEFT_TOP ||
               pBitmap->Orientation == ORIENT_RIGHT_BOTTOM || pBitmap->Orientation == ORIENT_LEFT_BOTTOM;
    *pWidth = swap ? pBitmap->Height : pBitmap->Width;
    *pHeight = swap ? pBitmap->Width : pBitmap->Height;
}

/* The largest rectangle of the picture's aspect that fits the client
 * area, centred in it. */
EXAMPLE_FUNCTION RECT FitRect(const BitmapHandle *pBitmap, const RECT *pClient) {
    RECT shown;
    int width, height, cw = pClient->right - pClient->left, ch = pClient->bottom - pClient->top, w, h;
    DisplayedSize(pBitmap, &width, &height);
    if ((long long)cw * height <= (long long)ch * width) { /* as wide as the client */
        w = cw;
        h = MulDiv(cw, height, width);
    } else {
        h = ch;
        w = MulDiv(ch, width, height);
    }
    shown.left = pClient->left + (cw - w) / 2;
    shown.top = pClient->top + (ch - h) / 2;
    shown.right = shown.left + w;
    shown.bottom = shown.top + h;
    return shown;
}

/* The picture fitted in the window's client area. */
EXAMPLE_FUNCTION RECT FittedInClient(HWND hWnd, const BitmapHandle *pBitmap) {
    RECT client;
    GetClientRect(hWnd, &client);
    return FitRect(pBitmap, &client);
}

/* Window point (x, y) over the picture shown in *pShown to the stored
 * pixel under it; 0 outside the picture. */
EXAMPLE_FUNCTION int WindowToStored(const BitmapHandle *pBitmap, const RECT *pShown, int x, int y, int *pRow,
                          int *pColumn) {
    int width, height, dx, dy;
    int lastColumn = pBitmap->Width - 1, lastRow = pBitmap->Height - 1;
    if (x < pShown->left || x >= pShown->right || y < pShown->top || y >= pShown->bottom)
        return 0;
    DisplayedSize(pBitmap, &width, &height);
    /* the displayed pixel under the point: rounded down */
    dx = (int)((long long)(x - pShown->left) * width / (pShown->right - pShown->left));
    dy = (int)((long long)(y - pShown->top) * height / (pShown->bottom - pShown->top));
    switch (pBitmap->Orientation) { /* displayed (dx, dy) back to stored */
    case ORIENT_TOP_LEFT:     *pColumn = dx;              *pRow = dy;           break;
    case ORIENT_TOP_RIGHT:    *pColumn = lastColumn - dx; *pRow = dy;           break;
    case ORIENT_BOTTOM_LEFT:  *pColumn = dx;              *pRow = lastRow - dy; break;
    case ORIENT_BOTTOM_RIGHT: *pColumn = lastColumn - dx; *pRow = lastRow - dy; break;
    case ORIENT_RIGHT_TOP:    *pColumn = dy;              *pRow = lastRow - dx; break;
    case ORIENT_LEFT_TOP:     *pColumn = dy;              *pRow = dx;           break;
    case ORIENT_RIGHT_BOTTOM: *pColumn = lastColumn - dy; *pRow = lastRow - dx; break;
    default:                  *pColumn = lastColumn - dy; *pRow = dx;           break; /* ORIENT_LEFT_BOTTOM */
    }
    return 1;
}

/* The transform from stored coordinates to the window, for outlines,
 * highlights and bounds: turned upright (Orientation 0 is the orientation
 * of the window's coordinates, whatever the bitmap's), scaled from the
 * displayed size to the shown rectangle, moved to its corner:
 *     window = displayed x Num / Den + Offset */
EXAMPLE_FUNCTION RgnTransform WindowTransform(const BitmapHandle *pBitmap, const RECT *pShown) {
    RgnTransform t;
    int width, height;
    DisplayedSize(pBitmap, &width, &height);
    t.Orientation = ORIENT_TOP_LEFT;
    t.ScaleXNum = pShown->right - pShown->left;
    t.ScaleXDen = width;
    t.ScaleYNum = pShown->bottom - pShown->top;
    t.ScaleYDen = height;
    t.OffsetX = pShown->left;
    t.OffsetY = pShown->top;
    return t;
}

/* The magic wand at window point (x, y) over the picture shown in
 * *pShown: the click turned into the stored pixel under it, the region
 * combined by uMode.  Prints the selection's area and its bounds in window
 * coordinates.  RC_INVALID_PARAMETER for a point beside the picture. */
EXAMPLE_FUNCTION int WandAt(BitmapHandle *pBitmap, const RECT *pShown, int x, int y, UINT uTolerance, UINT uMode) {
    RgnTransform t = WindowTransform(pBitmap, pShown);
    RECT bounds = {0, 0, 0, 0};
    UINT area = 0;
    int row, column, rc;
    if (!WindowToStored(pBitmap, pShown, x, y, &row, &column))
        return RC_INVALID_PARAMETER;
    rc = Z_SetBitmapRgnMagicWand(pBitmap, column, row, uTolerance, uMode);
    if (rc == RC_SUCCESS) {
        Z_GetBitmapRgnArea(pBitmap, &area);
        Z_GetBitmapRgnBounds(pBitmap, &t, &bounds);
    }
    printf("magic wand at window (%d, %d), stored row %d column %d: status %d, %u pixels selected, "
           "window bounds (%ld, %ld, %ld, %ld)\n",
           x, y, row, column, rc, area, bounds.left, bounds.top, bounds.right, bounds.bottom);
    fflush(stdout);
    return rc;
}

/* Paints the picture into *pShown with the paint palette selected and
 * realised: in the default display mode a bitmap of 8 bits or fewer is
 * painted as palette indices on every device, and every bitmap on an
 * 8-bit screen needs it (it is null when the paint needs none). */
EXAMPLE_FUNCTION int PaintPicture(HDC hDC, BitmapHandle *pBitmap, const RECT *pShown, const RECT *pUpdate) {
    HPALETTE palette = Z_CreatePaintPalette(hDC, pBitmap), old = NULL;
    int rc;
    if (palette) {
        old = SelectPalette(hDC, palette, FALSE);
        RealizePalette(hDC);
    }
    rc = Z_PaintDC(hDC, pBitmap, NULL, NULL, pShown, pUpdate, SRCCOPY);
    if (palette) {
        SelectPalette(hDC, old, FALSE);
        DeleteObject(palette);
    }
    return rc;
}

/* Loads a BMP file into an empty descriptor; says why not on stderr. */
EXAMPLE_FUNCTION int LoadPicture(const char *pszPath, BitmapHandle *pBitmap) {
    /* The descriptor must be empty (zero-filled): a loader overwrites it. */
    int rc = K_LoadBitmapFile(pszPath, pBitmap);
    if (rc != RC_SUCCESS)
        fprintf(stderr, "cannot load %s: %d\n", pszPath, rc); /* RC_FILE_OPEN, RC_INVALID_FORMAT, ... */
    return rc == RC_SUCCESS;
}

/* Registers a class for pfnProc, shows a window whose client area is
 * nWidth x nHeight, calls pfnStarted (may be null) with it and runs the
 * message loop until the window is closed.  0 when it ran, 1 when no
 * window could be made. */
EXAMPLE_FUNCTION int RunWindow(const char *pszClass, const char *pszTitle, WNDPROC pfnProc, LPCSTR pszCursor,
                               int nWidth, int nHeight, void (*pfnStarted)(HWND)) {
    WNDCLASSA wc;
    RECT frame;
    HWND hWnd;
    MSG msg;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = pfnProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, pszCursor);
    wc.lpszClassName = pszClass;
    RegisterClassA(&wc);
    SetRect(&frame, 0, 0, nWidth, nHeight);
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    hWnd = CreateWindowA(pszClass, pszTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                         frame.right - frame.left, frame.bottom - frame.top, NULL, NULL, wc.hInstance, NULL);
    if (!hWnd)
        return 1;
    if (pfnStarted)
        pfnStarted(hWnd);
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

/* The gray margins around the picture shown in *pShown, painted apart
 * from it so that nothing flickers. */
EXAMPLE_FUNCTION void PaintMargins(HDC hDC, HWND hWnd, const RECT *pShown) {
    RECT client;
    GetClientRect(hWnd, &client);
    ExcludeClipRect(hDC, pShown->left, pShown->top, pShown->right, pShown->bottom);
    FillRect(hDC, &client, (HBRUSH)GetStockObject(GRAY_BRUSH));
    SelectClipRgn(hDC, NULL);
}

#endif /* EXAMPLE_VIEW_H */
