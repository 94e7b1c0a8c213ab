// The pan window: a small captioned window owned by an application window
// that shows the whole bitmap fitted into its client area, with a
// rectangle marking the part the owner shows.  Dragging the rectangle
// reports the new visible part, in bitmap pixels, to the owner.
#pragma once

#include "zvdisp.h"

namespace zv {

// One per pan window, in the window's extra slot 0; it dies with the
// window (WM_DESTROY).  Allocated zero-filled through the kernel.
struct PanWindowRecord {
    HWND Owner;
    char ClassName[260];     // window class name and first caption
    BitmapHandle *Bitmap;    // not owned
    UINT PanDisplayFlags;    // display mode while painting and making the palette
    COLORREF RectColor;
    RECT PanRect;            // pan-window client coordinates
    int Dragging;            // 1 while the left button drags the rectangle
    RECT DisplayRect;        // where the owner displays the bitmap (owner client coordinates)
    int ImageWidth, ImageHeight;  // as displayed: axes exchanged for orientations 4, 5, 7, 8
    HPALETTE PanPalette;
    PanNotifyProc NotifyProc;
    void *NotifyData;
    HCURSOR PanCursor;       // null: the cursor is left alone
    const void *LastData;    // the bitmap's Data at the last update
};

// The record of a pan window of this process, or null for any other window.
PanWindowRecord *GetPanRecord(HWND hWnd);

// rc fitted to an image of w x h: left and top kept, height kept and the
// width made H * w / h, unless that is wider than rc, then the width kept
// and the height made W * h / w (MulDiv).
RECT FitRect(const RECT &rc, int w, int h);

// The visible part vis (bitmap pixels) as a rectangle on a picture P
// pixels wide showing an image nImageWidth wide: left and top rounded up,
// right and bottom rounded down, then made at least one pixel wide and high.
RECT BitmapToPanRect(const RECT &vis, int nPicture, int nImageWidth);

// Makes an empty axis of rc one pixel wide: left (top) moves out when it
// is positive, else right (bottom).
void WidenEmptyRect(RECT *pRect);

LRESULT CALLBACK PanWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

}  // namespace zv
