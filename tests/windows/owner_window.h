// An application window for the window tools' tests: it paints a bitmap in
// a destination rectangle on a white background, and is driven by real
// input (SetCursorPos, SendInput) through its own message loop.
#pragma once

#include "paint/reference.h"

#include <vector>

namespace zvtest {

// Pumps this thread's messages until done() holds or ms milliseconds pass;
// waits for messages in between, never a fixed sleep.
template <class Done>
bool PumpUntil(Done done, DWORD ms = 3000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent < 20 ? ms - spent : 20, QS_ALLINPUT);
    }
}

// Z_PaintDC the way an application calls it: with the paint palette
// selected and realised around the paint.
inline int PaintWithPalette(HDC dc, BitmapHandle *pBitmap, const RECT *pSrc, const RECT &dst) {
    HPALETTE pal = Z_CreatePaintPalette(dc, pBitmap);
    HPALETTE old = pal ? SelectPalette(dc, pal, FALSE) : nullptr;
    if (pal)
        RealizePalette(dc);
    const int rc = Z_PaintDC(dc, pBitmap, pSrc, nullptr, &dst, nullptr, SRCCOPY);
    if (pal) {
        SelectPalette(dc, old, FALSE);
        DeleteObject(pal);
    }
    return rc;
}

// Pixels as 0x00RRGGBB, row after row.
struct Pixels {
    int Width = 0, Height = 0;
    std::vector<UINT> Data;
    UINT At(int x, int y) const { return Data[static_cast<size_t>(y) * Width + x]; }
    UINT &At(int x, int y) { return Data[static_cast<size_t>(y) * Width + x]; }
};


// What a DIB section holds, as Pixels.
inline Pixels Read(const Dib &d) { return Pixels{d.w, d.h, d.Pixels()}; }

// Real input: the cursor to client point (x, y) of hWnd (when given),
// then the mouse event `flags` (MOUSEEVENTF_LEFTDOWN, _LEFTUP, or _WHEEL
// turned by `wheel`), when given.
inline void Mouse(DWORD flags, HWND hWnd = nullptr, int x = 0, int y = 0, int wheel = 0) {
    POINT p{x, y};
    if (hWnd && ClientToScreen(hWnd, &p))
        SetCursorPos(p.x, p.y);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags, in.mi.mouseData = static_cast<DWORD>(wheel);
    if (flags)
        SendInput(1, &in, sizeof in);
}

// A window's client area as it shows it now.
inline Pixels CaptureClient(HWND hWnd) {
    RECT rc;
    GetClientRect(hWnd, &rc);
    Dib s(rc.right, rc.bottom);
    HDC dc = GetDC(hWnd);
    BitBlt(s.dc, 0, 0, rc.right, rc.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(hWnd, dc);
    return Read(s);
}

class OwnerWindow {
public:
    // A popup of w x h client pixels at (x, y) on the screen showing pBitmap
    // in dest (client coordinates).
    OwnerWindow(BitmapHandle *pBitmap, RECT dest, int x = 40, int y = 40, int w = 320, int h = 240)
        : bitmap_(pBitmap), dest_(dest) {
        WNDCLASSA wc = {};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
        wc.lpszClassName = "ZvToolOwner";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(0, "ZvToolOwner", "owner", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                                wc.hInstance, this);
        SetForegroundWindow(hwnd_);
        UpdateWindow(hwnd_);
        PumpUntil([] { return false; }, 30);  // let the first paint and activation settle
    }
    ~OwnerWindow() {
        if (IsWindow(hwnd_))
            DestroyWindow(hwnd_);
        PumpUntil([] { return false; }, 0);
    }
    OwnerWindow(const OwnerWindow &) = delete;
    OwnerWindow &operator=(const OwnerWindow &) = delete;

    HWND Handle() const { return hwnd_; }
    int Paints() const { return paints_; }
    void SetDest(RECT d) { dest_ = d; }

    Pixels Capture() const { return CaptureClient(hwnd_); }
    // What the window paints without any tool: white, and the bitmap in dest.
    Pixels Expected() const {
        RECT rc;
        GetClientRect(hwnd_, &rc);
        Dib s(rc.right, rc.bottom);
        s.Fill(0xFFFFFF);
        PaintWithPalette(s.dc, bitmap_, nullptr, dest_);
        return Read(s);
    }

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE)
            SetWindowLongPtrA(h, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA *>(lp)->lpCreateParams));
        auto *self = reinterpret_cast<OwnerWindow *>(GetWindowLongPtrA(h, GWLP_USERDATA));
        if (msg == WM_PAINT && self) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            PaintWithPalette(dc, self->bitmap_, nullptr, self->dest_);
            EndPaint(h, &ps);
            ++self->paints_;
            return 0;
        }
        return DefWindowProcA(h, msg, wp, lp);
    }

    BitmapHandle *bitmap_;
    RECT dest_;
    HWND hwnd_ = nullptr;
    int paints_ = 0;
};

}  // namespace zvtest
