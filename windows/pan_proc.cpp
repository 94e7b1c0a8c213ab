// The pan window's procedure: painting the fitted picture and the pan
// rectangle, dragging the rectangle, palettes, and the end of the record.
#include "windows/pan_window.h"

#include "common/guards.h"
#include "frame/library.h"
#include "zvkern.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>

namespace zv {

void RemakePanPalette(HWND hPan, PanWindowRecord *rec);

namespace {

void Notify(HWND hPan, PanWindowRecord *rec, UINT uCode, RECT *pRect) {
    if (rec->NotifyProc)
        rec->NotifyProc(hPan, rec->Owner, uCode, pRect, rec->NotifyData);
}

RECT Picture(HWND hPan, const PanWindowRecord *rec) {
    RECT client;
    GetClientRect(hPan, &client);
    return FitRect(client, rec->ImageWidth, rec->ImageHeight);
}

void Paint(HWND hPan, PanWindowRecord *rec) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hPan, &ps);
    if (rec->Bitmap && (rec->Bitmap->Flags & BITMAP_ALLOCATED)) {
        const RECT picture = Picture(hPan, rec);
        const PaletteSelection palette(dc, rec->PanPalette, PaletteRestore::SelectInBackground);
        const DisplayModeScope mode(kAllDisplayFlags, rec->PanDisplayFlags);
        Z_PaintDC(dc, rec->Bitmap, nullptr, nullptr, &picture, &ps.rcPaint, SRCCOPY);
    }
    Notify(hPan, rec, PAN_NOTIFY_PAINTED, nullptr);
    EndPaint(hPan, &ps);

    // The rectangle goes on a fresh DC, unclipped by the update region, so
    // that it is whole whatever part was repainted.
    const WindowDc fresh(hPan);
    const GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, rec->RectColor));
    const Selection penInUse(fresh.get(), pen.get());
    const Selection brush(fresh.get(), GetStockObject(NULL_BRUSH));
    const RECT &r = rec->PanRect;
    Rectangle(fresh.get(), r.left, r.top, r.right, r.bottom);
}

// Centres the rectangle on p, keeps it on the picture, repaints and
// reports it in bitmap pixels.
void MoveRectTo(HWND hPan, PanWindowRecord *rec, POINT p) {
    const RECT picture = Picture(hPan, rec);
    RECT &r = rec->PanRect;
    const RECT old = r;
    const int w = r.right - r.left, h = r.bottom - r.top;
    int left = std::max<int>(p.x - w / 2, 0), top = std::max<int>(p.y - h / 2, 0);
    if (left + w > picture.right)
        left = picture.right - w;
    if (top + h > picture.bottom)
        top = picture.bottom - h;
    r = RECT{left, top, left + w, top + h};
    WidenEmptyRect(&r);

    InvalidateRect(hPan, &old, FALSE);
    UpdateWindow(hPan);
    const int p0 = picture.right - picture.left;
    if (p0 <= 0)
        return;
    const auto toBitmap = [&](LONG v) { return static_cast<LONG>(int64_t(v) * rec->ImageWidth / p0); };
    RECT bitmapRect{toBitmap(r.left), toBitmap(r.top), toBitmap(r.right), toBitmap(r.bottom)};
    Notify(hPan, rec, PAN_NOTIFY_MOVED_RECT, &bitmapRect);
}

POINT ClampToClient(HWND hPan, LPARAM lParam) {
    RECT client;
    GetClientRect(hPan, &client);
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    p.x = std::min<LONG>(std::max<LONG>(p.x, 0), client.right - 1);
    p.y = std::min<LONG>(std::max<LONG>(p.y, 0), client.bottom - 1);
    return p;
}

void RealizeForeground(HWND hPan, PanWindowRecord *rec) {
    RemakePanPalette(hPan, rec);
    if (!rec->PanPalette)
        return;
    const WindowDc dc(hPan);
    const PaletteSelection palette(dc.get(), rec->PanPalette, PaletteRestore::SelectInBackground);
    if (palette.realized() > 0)
        InvalidateRect(hPan, nullptr, FALSE);
}

void RealizeBackground(HWND hPan, PanWindowRecord *rec) {
    {
        const WindowDc dc(hPan);
        const PaletteSelection palette(dc.get(), rec->PanPalette, PaletteRestore::SelectInBackground, true);
    }
    InvalidateRect(hPan, nullptr, FALSE);
}

void Destroy(HWND hPan, PanWindowRecord *rec) {
    ShowWindow(hPan, SW_HIDE);
    if (rec->PanPalette)
        DeleteObject(rec->PanPalette);
    Notify(hPan, rec, PAN_NOTIFY_DESTROYED, nullptr);
    SetWindowLongPtrA(hPan, 0, 0);
    K_Free(rec);
}

}  // namespace

LRESULT CALLBACK PanWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    auto *rec = reinterpret_cast<PanWindowRecord *>(GetWindowLongPtrA(hWnd, 0));
    if (uMsg == WM_CREATE) {
        rec = static_cast<PanWindowRecord *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hWnd, 0, reinterpret_cast<LONG_PTR>(rec));
        if (!rec)
            return -1;
        rec->Dragging = 0;
        return 0;
    }
    if (uMsg == WM_SETCURSOR) {
        if (rec && rec->PanCursor)
            SetCursor(LOWORD(lParam) == HTCLIENT ? rec->PanCursor : LoadCursor(nullptr, IDC_ARROW));
        return TRUE;
    }
    if (!rec)
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);

    switch (uMsg) {
    case WM_DESTROY:
        Destroy(hWnd, rec);
        return 0;
    case WM_MOVE:
        Notify(hWnd, rec, PAN_NOTIFY_MOVED_WINDOW, nullptr);
        return 0;
    case WM_PAINT:
        Paint(hWnd, rec);
        return 0;
    case WM_LBUTTONDOWN:
        MoveRectTo(hWnd, rec, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        rec->Dragging = 1;
        SetCapture(hWnd);
        return 0;
    case WM_MOUSEMOVE:
        if (rec->Dragging)
            MoveRectTo(hWnd, rec, ClampToClient(hWnd, lParam));
        return 0;
    case WM_LBUTTONUP:
        if (rec->Dragging) {
            rec->Dragging = 0;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        // Capture taken away mid-drag (another window, a menu): the drag ends.
        rec->Dragging = 0;
        return 0;
    case WM_QUERYNEWPALETTE:
        RealizeForeground(hWnd, rec);
        return 0;
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != hWnd && rec->PanPalette)
            RealizeBackground(hWnd, rec);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

}  // namespace zv
