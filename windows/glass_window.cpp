// The magnifying glass on its window: start and stop, the subclassed
// window procedure (press, drag, release, cancel), and the updates that a
// glass accepts while it is not busy.
#include "windows/glass.h"

#include "frame/library.h"

namespace zv {

const char kGlassProperty[] = "ZORAMAGDATA";

MagGlassRecord *FindGlass(HWND hWnd) {
    if (!hWnd || !IsWindow(hWnd))
        return nullptr;
    return static_cast<MagGlassRecord *>(GetPropA(hWnd, kGlassProperty));
}

bool GlassBusy(const MagGlassRecord *g) {
    if (g->ManualMode)
        return g->Shown != 0;
    return g->Dragging || g->RequestsPending;
}

namespace {

// Window pixels per bitmap pixel of the destination rectangle; a turned
// bitmap shows its height across.
void ComputeScale(MagGlassRecord *g) {
    const SIZE shown = DisplayedSize(g->BitmapCopy);
    const int across = shown.cx, down = shown.cy;
    const int dh = g->DestRect.bottom - g->DestRect.top;
    g->ScaleX = static_cast<float>(g->DestRect.right - g->DestRect.left) / static_cast<float>(across ? across : 1);
    g->ScaleY = static_cast<float>(dh < 0 ? -dh : dh) / static_cast<float>(down ? down : 1);
}

MagGlassRecord *AllocRecord() {
    HGLOBAL h = K_GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(MagGlassRecord));
    if (!h)
        return nullptr;
    auto *g = static_cast<MagGlassRecord *>(GlobalLock(h));
    if (!g)  // GCOVR_EXCL_BR_LINE: a fresh moveable block always locks
        K_GlobalFree(h);  // GCOVR_EXCL_LINE
    return g;
}

void FreeRecord(MagGlassRecord *g) {
    HGLOBAL h = GlobalHandle(g);
    GlobalUnlock(h);
    K_GlobalFree(h);
}

// Everything the record owns, and the record; the window gets its
// procedure and style back.  Safe on a partly started glass.
void ReleaseGlass(MagGlassRecord *g, bool restoreStyle) {
    HWND w = g->Window;
    FreeGlassData(g);
    if (g->OldWndProc)
        SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g->OldWndProc));
    if (GetCapture() == w)
        ReleaseCapture();
    K_FreeBitmap(&g->BitmapCopy);  // the copy's own region (and window-level table)
    FreeOffscreen(g);
    if (g->BorderPen)
        DeleteObject(g->BorderPen);
    if (g->CrosshairPen)
        DeleteObject(g->CrosshairPen);
    if (g->ShapeRgn)
        DeleteObject(g->ShapeRgn);
    K_Free(g->MaskColors);
    if (restoreStyle && (g->SavedStyle & 0x8))
        SetWindowLongA(w, GWL_STYLE, g->SavedStyle);
    RemovePropA(w, kGlassProperty);
    FreeRecord(g);
}

LRESULT CALLBACK GlassWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- the tool's behaviour, one function per event ------------------------

void EndDrag(MagGlassRecord *g) {
    if (GetCapture() == g->Window)
        ReleaseCapture();
    g->Dragging = 0;
    ShowCursor(TRUE);
}

void Press(MagGlassRecord *g, int x, int y) {
    SetCapture(g->Window);
    ShowCursor(FALSE);
    g->Dragging = 1;
    g->LastX = x;
    g->LastY = y;
    if (g->RequestProc && !GlassDataCheck(g, WM_LBUTTONDOWN, x, y))
        return;
    PaintGlass(g, x, y, g->LastX, g->LastY, false);
}

void Move(MagGlassRecord *g, WPARAM keys, int x, int y) {
    if (GetCapture() != g->Window || !(keys & MK_LBUTTON) || !g->Dragging) {
        if (GetCursor() != g->Cursor)
            SetCursor(g->Cursor);
        return;
    }
    if (x == g->LastX && y == g->LastY)
        return;  // the glass is there already (or waits for its data there)
    if (g->RequestProc && !GlassDataCheck(g, WM_MOUSEMOVE, x, y))
        return;
    PaintGlass(g, x, y, g->LastX, g->LastY, false);
    g->LastX = x;
    g->LastY = y;
    if (g->RequestProc)
        GlassDataMoved(g, x, y);
}

void Release(MagGlassRecord *g, int x, int y) {
    if (!g->Dragging)
        return;
    if (GetCapture() == g->Window)
        ReleaseCapture();
    g->Dragging = 0;
    if (!g->RequestProc || GlassDataCheck(g, WM_LBUTTONUP, x, y))
        PaintGlass(g, g->LastX, g->LastY, g->LastX, g->LastY, true);
    ShowCursor(TRUE);
}

// Scrolling, the wheel or a lost focus while dragging: the glass goes, the
// application repaints everything.
void Cancel(MagGlassRecord *g) {
    if (!g->Dragging)
        return;
    EndDrag(g);
    InvalidateRect(g->Window, nullptr, TRUE);
}

LRESULT CALLBACK GlassWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MagGlassRecord *g = FindGlass(hWnd);
    if (!g || !g->OldWndProc)
        return DefWindowProcA(hWnd, msg, wParam, lParam);
    const WNDPROC old = g->OldWndProc;  // the glass may stop while handling
    const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: Press(g, x, y); break;
    case WM_MOUSEMOVE: Move(g, wParam, x, y); break;
    case WM_LBUTTONUP: Release(g, x, y); break;
    case WM_KILLFOCUS:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_MOUSEWHEEL: Cancel(g); break;
    case WM_SETCURSOR:
        if (LOWORD(lParam) != HTCLIENT)
            return DefWindowProcA(hWnd, msg, wParam, lParam);
        if (!g->Dragging)
            SetCursor(g->Cursor);
        return TRUE;
    case WM_CLOSE:
    case WM_NCDESTROY:  // destroyed without WM_CLOSE: nothing may stay behind
        StopGlass(g);
        break;
    default: break;
    }
    return CallWindowProcA(old, hWnd, msg, wParam, lParam);
}

// Start steps 5 to 13 on a record hung on the window; any failure leaves
// the caller to release it.
int SetUpGlass(MagGlassRecord *g, BitmapHandle *pBitmap, COLORREF crPen, HCURSOR hCursor,
               const COLORREF *pMaskColors, int nMaskColors) {
    int rc;
    if (g->ManualMode || g->RequestProc) {
        if ((rc = StartGlassData(g, pBitmap)) != RC_SUCCESS)
            return rc;
    }
    if (!g->ManualMode) {
        SetLastError(0);
        const LONG_PTR old =
            SetWindowLongPtrA(g->Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GlassWndProc));
        if (!old)
            return RC_INVALID_PARAMETER;
        g->OldWndProc = reinterpret_cast<WNDPROC>(old);
    }
    if ((rc = K_CopyBitmapHandle(&g->BitmapCopy, pBitmap)) != RC_SUCCESS)
        return rc;
    if (g->ColorsFromRegion) {
        if ((rc = MaskColorsFromRegion(g, pBitmap)) != RC_SUCCESS)
            return rc;
    } else if (nMaskColors > 0) {
        if (!pMaskColors)
            return RC_INVALID_PARAMETER;
        g->MaskColors = static_cast<COLORREF *>(K_Alloc(sizeof(COLORREF) * nMaskColors));
        if (!g->MaskColors)
            return RC_NO_MEMORY;
        CopyMemory(g->MaskColors, pMaskColors, sizeof(COLORREF) * nMaskColors);
        g->MaskColorCount = nMaskColors;
    }
    if (g->MaskColorCount > 0 && (rc = BuildMaskRegion(g, &g->BitmapCopy)) != RC_SUCCESS)
        return rc;
    ComputeScale(g);
    const int penWidth = g->BorderWidth + (g->EllipseRequested ? 1 : 0);
    g->BorderPen = g->BorderWidth > 0 ? CreatePen(PS_SOLID, penWidth, crPen) : CreatePen(PS_NULL, 0, 0);
    // GCOVR_EXCL_START: pens fail only with the process's GDI handles used up
    if (!g->BorderPen)
        return RC_NO_MEMORY;
    if (g->Crosshair && !(g->CrosshairPen = CreatePen(PS_SOLID, 1, crPen)))
        return RC_NO_MEMORY;
    // GCOVR_EXCL_STOP
    g->BackBrush = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    g->SavedStyle = GetWindowLongA(g->Window, GWL_STYLE);
    if (g->SavedStyle & 0x8)
        SetWindowLongA(g->Window, GWL_STYLE, g->SavedStyle & ~0x8);
    if (!g->ManualMode)
        g->Cursor = hCursor ? hCursor
                            : LoadCursorA(InstanceHandle, MAKEINTRESOURCEA(g->EllipseRequested ? 25000 : 25001));
    return RC_SUCCESS;
}

}  // namespace

void StopGlass(MagGlassRecord *g) {
    HWND w = g->Window;
    if (g->Dragging || (g->ManualMode && g->Shown)) {
        if (GetCapture() == w)
            ReleaseCapture();
        InvalidateRect(w, nullptr, TRUE);
        if (g->Dragging)
            ShowCursor(TRUE);  // hidden by the press; a manual glass never hides it
        g->Dragging = 0;
    }
    PostMessageA(w, WM_SETCURSOR, 0, 0);
    ReleaseGlass(g, true);
}

}  // namespace zv

using namespace zv;

extern "C" {

int __stdcall Z_WindowHasMagGlass(HWND hWnd) { return FindGlass(hWnd) ? 1 : 0; }

int __stdcall Z_StartMagGlassExt(HWND hWnd, BitmapHandle *pBitmap, const RECT *pDest, int nWidth, int nHeight,
                                 int nZoom, COLORREF crPen, HCURSOR hCursor, UINT /*uReserved*/, int bEllipse,
                                 int nBorderWidth, int bBorder3D, UINT uPaintFlags, const COLORREF *pMaskColors,
                                 int nMaskColors, UINT uFlags, int nCrosshair, int bIgnoreRegion,
                                 int bCenterPixels, MagGlassRequestProc pfnRequest, void *pRequestData) {
    if (!hWnd || !IsWindow(hWnd) || FindGlass(hWnd))
        return RC_INVALID_PARAMETER;
    if (nZoom < 100 || nWidth < 10 || nHeight < 10)
        return RC_INVALID_PARAMETER;
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED))
        return RC_NO_BITMAP;
    if (!pDest)
        return RC_INVALID_PARAMETER;
    MagGlassRecord *g = AllocRecord();
    if (!g)
        return RC_NO_MEMORY;
    g->Window = hWnd;
    // GCOVR_EXCL_START: a property of a live window is always set
    if (!SetPropA(hWnd, kGlassProperty, g)) {
        FreeRecord(g);
        return RC_FAILURE;
    }
    // GCOVR_EXCL_STOP
    g->Instance = InstanceHandle;
    g->DestRect = *pDest;
    g->Zoom = nZoom;
    g->GlassWidth = g->InitialWidth = nWidth;
    g->GlassHeight = g->InitialHeight = nHeight;
    g->EllipseRequested = bEllipse;
    g->Shape = bEllipse ? 1 : 0;
    g->BorderWidth = nBorderWidth;
    g->Border3D = bBorder3D;
    g->PaintFlags = uPaintFlags;
    g->Crosshair = nCrosshair;
    g->IgnoreRegion = bIgnoreRegion;
    g->CenterPixels = bCenterPixels;
    g->RequestProc = pfnRequest;
    g->RequestData = pRequestData;
    g->IncludeColors = (uFlags & MAGGLASS_INCLUDE_COLORS) ? 1 : 0;
    g->ManualMode = (uFlags & MAGGLASS_MANUAL) ? 1 : 0;
    g->ColorsFromRegion = (uFlags & MAGGLASS_COLORS_FROM_RGN) ? 1 : 0;
    const int rc = SetUpGlass(g, pBitmap, crPen, hCursor, pMaskColors, nMaskColors);
    if (rc != RC_SUCCESS)
        ReleaseGlass(g, false);
    return rc;
}

int __stdcall Z_StartMagGlass(HWND hWnd, BitmapHandle *pBitmap, const RECT *pDest, int nWidth, int nHeight,
                              int nZoom, COLORREF crPen, HCURSOR hCursor, UINT uReserved, int bEllipse,
                              int nBorderWidth, int bBorder3D, UINT uPaintFlags, const COLORREF *pMaskColors,
                              int nMaskColors, int nCrosshair, int bIgnoreRegion, int bCenterPixels) {
    return Z_StartMagGlassExt(hWnd, pBitmap, pDest, nWidth, nHeight, nZoom, crPen, hCursor, uReserved, bEllipse,
                              nBorderWidth, bBorder3D, uPaintFlags, pMaskColors, nMaskColors, 0, nCrosshair,
                              bIgnoreRegion, bCenterPixels, nullptr, nullptr);
}

int __stdcall Z_StopMagGlass(HWND hWnd) {
    MagGlassRecord *g = FindGlass(hWnd);
    if (!g)
        return RC_INVALID_PARAMETER;
    StopGlass(g);
    return RC_SUCCESS;
}

int __stdcall Z_UpdateMagGlassRect(HWND hWnd, const RECT *pDest) {
    MagGlassRecord *g = FindGlass(hWnd);
    if (!g || !pDest || GlassBusy(g))
        return RC_INVALID_PARAMETER;
    g->DestRect = *pDest;
    ComputeScale(g);
    return RC_SUCCESS;
}

int __stdcall Z_UpdateMagGlassPaintFlags(HWND hWnd, UINT uFlags) {
    MagGlassRecord *g = FindGlass(hWnd);
    if (!g || GlassBusy(g))
        return RC_INVALID_PARAMETER;
    g->PaintFlags = uFlags;
    return RC_SUCCESS;
}

int __stdcall Z_UpdateMagGlassShape(HWND hWnd, UINT uShape, HRGN hRgn) {
    MagGlassRecord *g = FindGlass(hWnd);
    if (!g || uShape > 2 || (uShape == 2 && !hRgn) || GlassBusy(g))
        return RC_INVALID_PARAMETER;
    if (uShape < 2) {
        if (g->ShapeRgn)
            DeleteObject(g->ShapeRgn);
        g->ShapeRgn = nullptr;
        g->Shape = static_cast<int32_t>(uShape);
        g->GlassWidth = g->InitialWidth;
        g->GlassHeight = g->InitialHeight;
        return RC_SUCCESS;
    }
    // The glass keeps its own copy, moved so that its box starts at 0, 0.
    RECT box;
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    if (!copy)                // GCOVR_EXCL_BR_LINE: GDI handles used up
        return RC_NO_MEMORY;  // GCOVR_EXCL_LINE
    if (CombineRgn(copy, hRgn, nullptr, RGN_COPY) == ERROR) {  // not a region
        DeleteObject(copy);
        return RC_INVALID_PARAMETER;
    }
    GetRgnBox(copy, &box);
    OffsetRgn(copy, -box.left, -box.top);
    if (g->ShapeRgn)
        DeleteObject(g->ShapeRgn);
    g->ShapeRgn = copy;
    g->Shape = 2;
    g->GlassWidth = box.right - box.left;
    g->GlassHeight = box.bottom - box.top;
    return RC_SUCCESS;
}

int __stdcall Z_SetMagGlassPaintOptions(HWND hWnd, const INT32 *pOptions) {
    MagGlassRecord *g = FindGlass(hWnd);
    if (!g || !pOptions || GlassBusy(g))
        return RC_INVALID_PARAMETER;
    g->Contrast = pOptions[0];
    g->Gamma = pOptions[1];
    g->Intensity = pOptions[2];
    g->PaintOptionsSet = 1;
    return RC_SUCCESS;
}

int __stdcall Z_SetMagGlassOwnerDrawCallback(HWND hWnd, MagGlassOwnerDrawProc pfnDraw, void *pData) {
    MagGlassRecord *g = FindGlass(hWnd);
    if (!g)
        return RC_INVALID_PARAMETER;
    g->OwnerDrawProc = pfnDraw;
    g->OwnerDrawData = pData;
    return RC_SUCCESS;
}

}  // extern "C"
