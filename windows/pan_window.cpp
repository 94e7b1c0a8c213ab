// The pan window's exports and geometry: creating it, telling it what the
// owner shows, destroying it.  The window procedure is in pan_proc.cpp.
#include "windows/pan_window.h"

#include "common/geometry.h"
#include "common/guards.h"
#include "frame/library.h"
#include "zvkern.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zv {

namespace {

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&PanWindowProc), &module);
    return module;
}

DWORD PanStyle(int bSysMenu) { return bSysMenu ? (WS_CAPTION | WS_SYSMENU) : WS_CAPTION; }

// The window size whose client area is the client rectangle rc.
SIZE WindowSizeFor(const RECT &client, DWORD style) {
    RECT rc = client;
    AdjustWindowRect(&rc, style, FALSE);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace

RECT FitRect(const RECT &rc, int w, int h) {
    int width = MulDiv(rc.bottom - rc.top, w, h);
    int height = rc.bottom - rc.top;
    if (width > rc.right - rc.left) {
        width = rc.right - rc.left;
        height = MulDiv(width, h, w);
    }
    return RECT{rc.left, rc.top, rc.left + width, rc.top + height};
}

namespace {

// Rounding inwards can leave the far edge one before the near one (a part
// within one pixel): it is first brought to the near edge.
void WidenAxis(LONG &nNear, LONG &nFar) {
    if (nFar < nNear)
        nFar = nNear;
    if (nFar == nNear)
        (nNear > 0 ? --nNear : ++nFar);
}

}  // namespace

void WidenEmptyRect(RECT *pRect) {
    WidenAxis(pRect->left, pRect->right);
    WidenAxis(pRect->top, pRect->bottom);
}

RECT BitmapToPanRect(const RECT &vis, int nPicture, int nImageWidth) {
    RECT rc{static_cast<LONG>(CeilDiv(int64_t(vis.left) * nPicture, nImageWidth)),
            static_cast<LONG>(CeilDiv(int64_t(vis.top) * nPicture, nImageWidth)),
            static_cast<LONG>(FloorDiv(int64_t(vis.right) * nPicture, nImageWidth)),
            static_cast<LONG>(FloorDiv(int64_t(vis.bottom) * nPicture, nImageWidth))};
    WidenEmptyRect(&rc);
    return rc;
}

PanWindowRecord *GetPanRecord(HWND hWnd) {
    if (!hWnd || !IsWindow(hWnd))
        return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    // Only a window of this module's class holds a record in slot 0; any
    // other window's extra bytes are never read as one.  Such a window has
    // its record from WM_CREATE (a creation without one fails) until
    // WM_DESTROY, after which no call reaches it.
    if (pid != GetCurrentProcessId() ||
        reinterpret_cast<HINSTANCE>(GetClassLongPtrA(hWnd, GCLP_HMODULE)) != ThisModule() ||
        GetClassLongPtrA(hWnd, GCL_CBWNDEXTRA) != LONG_PTR(sizeof(void *)) ||
        reinterpret_cast<WNDPROC>(GetClassLongPtrA(hWnd, GCLP_WNDPROC)) != PanWindowProc)
        return nullptr;
    return reinterpret_cast<PanWindowRecord *>(GetWindowLongPtrA(hWnd, 0));
}

// PanPalette made anew (the old one deleted) on the window's DC with the
// thread's display mode set to the pan window's flags for the call.
void RemakePanPalette(HWND hPan, PanWindowRecord *rec) {
    if (rec->PanPalette)
        DeleteObject(rec->PanPalette);
    const WindowDc dc(hPan);
    const DisplayModeScope mode(kAllDisplayFlags, rec->PanDisplayFlags);
    rec->PanPalette = Z_CreatePaintPalette(dc.get(), rec->Bitmap);
}

}  // namespace zv

using namespace zv;

extern "C" int __stdcall Z_CreatePanWindow(HWND hOwner, BitmapHandle *pBitmap, UINT uDisplayFlags, int x, int y,
                                           int nWidth, int nHeight, const char *pszName, HICON hIcon,
                                           HCURSOR hCursor, int bSysMenu, PanNotifyProc pfnNotify,
                                           void *pNotifyData) {
    if (!hOwner || !IsWindow(hOwner))
        return RC_INVALID_PARAMETER;
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED))
        return RC_NO_BITMAP;
    if (!pszName || !*pszName || strlen(pszName) >= sizeof PanWindowRecord::ClassName)
        return RC_INVALID_PARAMETER;

    auto *rec = static_cast<PanWindowRecord *>(K_AllocZero(1, sizeof(PanWindowRecord)));
    if (!rec)
        return RC_NO_MEMORY;
    rec->Owner = hOwner;
    rec->Bitmap = pBitmap;
    const SIZE shown = DisplayedSize(*pBitmap);
    rec->ImageWidth = shown.cx;
    rec->ImageHeight = shown.cy;
    rec->PanDisplayFlags = uDisplayFlags;
    rec->NotifyProc = pfnNotify;
    rec->NotifyData = pNotifyData;
    rec->PanCursor = hCursor;
    strcpy(rec->ClassName, pszName);

    // Each name is registered on its first use; the class stays for the
    // life of the process.
    const HINSTANCE module = ThisModule();
    WNDCLASSA wc{};
    wc.lpfnWndProc = PanWindowProc;
    wc.cbWndExtra = sizeof(void *);
    wc.hInstance = module;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = rec->ClassName;
    // GCOVR_EXCL_START: a checked name's class is always registered
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        K_Free(rec);
        return RC_CREATE_WINDOW;
    }
    // GCOVR_EXCL_STOP

    const DWORD style = PanStyle(bSysMenu);
    const RECT client = FitRect(RECT{0, 0, std::max(nWidth, GetSystemMetrics(SM_CXMIN)),
                                     std::max(nHeight, GetSystemMetrics(SM_CYMIN))},
                                rec->ImageWidth, rec->ImageHeight);
    const SIZE size = WindowSizeFor(client, style);
    // The window starts hidden: the first Z_UpdatePanWindow shows it.
    HWND pan = CreateWindowExA(0, rec->ClassName, rec->ClassName, style, x, y, size.cx, size.cy, hOwner,
                               nullptr, module, rec);
    // GCOVR_EXCL_START: a registered class with a live owner always makes its window
    if (!pan) {
        K_Free(rec);
        return RC_CREATE_WINDOW;
    }
    // GCOVR_EXCL_STOP
    SendMessageA(pan, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(hIcon));
    RemakePanPalette(pan, rec);
    if (rec->NotifyProc)
        rec->NotifyProc(pan, rec->Owner, PAN_NOTIFY_CREATED, nullptr, rec->NotifyData);
    return RC_SUCCESS;
}

extern "C" int __stdcall Z_UpdatePanWindow(HWND hPan, BitmapHandle *pBitmap, UINT uDisplayFlags,
                                           COLORREF crRectColor, const char *pszCaption,
                                           const RECT *pDisplayRect) {
    if (!pDisplayRect || pDisplayRect->right == pDisplayRect->left || pDisplayRect->bottom == pDisplayRect->top)
        return RC_INVALID_PARAMETER;
    if (pBitmap && pBitmap->Width == 0)
        return RC_INVALID_PARAMETER;
    PanWindowRecord *rec = GetPanRecord(hPan);
    if (!rec)
        return RC_INVALID_PARAMETER;
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED)) {
        DestroyWindow(hPan);
        return RC_NO_BITMAP;
    }

    bool repaintAll = (uDisplayFlags & PAN_REPAINT_ALL) != 0;
    rec->Bitmap = pBitmap;
    rec->PanDisplayFlags = uDisplayFlags & ~PAN_REPAINT_ALL;
    RemakePanPalette(hPan, rec);
    rec->RectColor = crRectColor;
    rec->DisplayRect = *pDisplayRect;

    bool erase = false;
    const SIZE shown = DisplayedSize(*pBitmap);
    const int w = shown.cx, h = shown.cy;
    if (w != rec->ImageWidth || h != rec->ImageHeight) {
        rec->ImageWidth = w;
        rec->ImageHeight = h;
        RECT client;
        GetClientRect(hPan, &client);
        const SIZE size = WindowSizeFor(FitRect(client, w, h), DWORD(GetWindowLongPtrA(hPan, GWL_STYLE)));
        SetWindowPos(hPan, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        repaintAll = erase = true;
    }
    if (pBitmap->Data != rec->LastData) {
        repaintAll = erase = true;
        rec->LastData = pBitmap->Data;
    }
    if (IsIconic(rec->Owner))
        return RC_INVALID_PARAMETER;

    // The owner's client area in bitmap pixels, one scale for both axes.
    const RECT &d = rec->DisplayRect;
    RECT c;
    GetClientRect(rec->Owner, &c);
    const int64_t iw = rec->ImageWidth, dw = d.right - d.left;
    RECT vis{static_cast<LONG>((c.left - d.left) * iw / dw), static_cast<LONG>((c.top - d.top) * iw / dw),
             static_cast<LONG>((c.right - d.left) * iw / dw), static_cast<LONG>((c.bottom - d.top) * iw / dw)};
    vis.right = std::min<LONG>(vis.right, rec->ImageWidth);
    vis.bottom = std::min<LONG>(vis.bottom, rec->ImageHeight);

    RECT client;
    GetClientRect(hPan, &client);
    const RECT picture = FitRect(client, rec->ImageWidth, rec->ImageHeight);
    const RECT old = rec->PanRect;
    rec->PanRect = BitmapToPanRect(vis, picture.right - picture.left, rec->ImageWidth);

    if (pszCaption)
        SetWindowTextA(hPan, pszCaption);
    if (!IsWindowVisible(hPan))
        ShowWindow(hPan, SW_SHOW);
    InvalidateRect(hPan, repaintAll ? nullptr : &old, erase);
    return RC_SUCCESS;
}

extern "C" int __stdcall Z_DestroyPanWindow(HWND hPan) {
    if (!GetPanRecord(hPan))
        return RC_INVALID_PARAMETER;
    DestroyWindow(hPan);
    return RC_SUCCESS;
}
