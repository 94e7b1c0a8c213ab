// The viewer's scripted tour: steers the viewer through its menu commands
// and real mouse input (SetCursorPos, SendInput), and writes a screenshot
// of the screen around the viewer after each step.
#include "tools/view/viewer.h"

#include "tools/common/dib_section.h"
#include "tools/demo/sheet_file.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

namespace view {

namespace {

std::string g_dir;
int g_shots = 0;

// Dispatches messages until cond() holds or ms have passed; false on time-out.
bool PumpUntil(const std::function<bool()> &cond, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (cond())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The screen lags a window's own pixels by up to 100 ms under Wine.
void Settle() { PumpUntil([] { return false; }, 250); }

void Button(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}

POINT ScreenPoint(HWND hWnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(hWnd, &p);
    return p;
}

// Moves the cursor in steps, as a hand would, pumping in between.
void DragTo(POINT from, POINT to) {
    for (int i = 1; i <= 8; ++i) {
        SetCursorPos(from.x + (to.x - from.x) * i / 8, from.y + (to.y - from.y) * i / 8);
        PumpUntil([] { return false; }, 30);
    }
}

// The screen around the viewer and its pan window, as PNG.
bool Shot(const char *name, const char *what) {
    Settle();
    RECT area;
    GetWindowRect(app.wnd, &area);
    if (app.pan && IsWindowVisible(app.pan)) {
        RECT pr;
        GetWindowRect(app.pan, &pr);
        UnionRect(&area, &area, &pr);
    }
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    zvtools::DibSection dib(area.right - area.left, area.bottom - area.top);
    HDC screen = GetDC(nullptr);
    BitBlt(dib.dc, 0, 0, dib.w, dib.h, screen, area.left, area.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
    const std::string path = g_dir + "/zvview-" + name + ".png";
    const bool ok = demo::WritePng(path.c_str(), dib.bits, dib.w, dib.h);
    printf("%s %s: %s\n", ok ? "wrote" : "FAILED", path.c_str(), what);
    g_shots += ok;
    return ok;
}

// The tour's picture: the file given, else built-in picture index.
void Show(int index) {
    if (app.file.empty() || !LoadFile(app.file.c_str()))
        LoadPicture(index);
}

bool FittedWithPan() {
    Show(0);
    Command(CMD_FIT);
    if (!app.pan)
        Command(CMD_PAN);
    return app.pan && PumpUntil([] { return IsWindowVisible(app.pan) != 0; }, 3000) &&
           Shot("1-fit-pan", "the scene fitted to the window, the pan window beside it");
}

// The text page at 1:1: the pan rectangle dragged with the mouse to the
// middle of the page; the view follows (a picture smaller than the window
// has nothing to scroll: the rectangle stays on the whole picture).
bool PanDrag() {
    Show(1);
    Command(CMD_ACTUAL);
    if (!app.pan)
        Command(CMD_PAN);
    if (!app.pan)
        return false;
    PumpUntil([] { return false; }, 200);
    RECT client;
    GetClientRect(app.pan, &client);
    const POINT start = ScreenPoint(app.pan, 8, 8), end = ScreenPoint(app.pan, client.right / 2, client.bottom * 2 / 3);
    SetCursorPos(start.x, start.y);
    PumpUntil([] { return false; }, 50);
    Button(MOUSEEVENTF_LEFTDOWN);
    DragTo(start, end);
    Button(MOUSEEVENTF_LEFTUP);
    const SIZE image = ImageSize();
    RECT view;
    GetClientRect(app.wnd, &view);
    const bool scrollable = image.cx > view.right || image.cy > view.bottom;
    const bool moved = PumpUntil([] { return app.scrollX > 0 || app.scrollY > 0; }, 3000) || !scrollable;
    if (!moved)
        printf("the view did not follow the pan rectangle\n");
    SetCursorPos(end.x + 400, end.y);
    return moved && Shot("2-pan-drag", "the text page at 1:1, scrolled by dragging the pan rectangle");
}

// Client point of picture pixel (x, y) as the view shows it now.
POINT ClientOfPicture(int x, int y) {
    const RECT d = DisplayRect();
    const SIZE image = ImageSize();
    return POINT{d.left + MulDiv(x, d.right - d.left, image.cx), d.top + MulDiv(y, d.bottom - d.top, image.cy)};
}

// The magnifier held down over the fitted scene: the glass set up from
// the Glass menu, the left button pressed with real input at picture
// point at and moved a little, the screenshot taken while it is held.
bool GlassShot(const char *name, const char *what, UINT shape, int zoomIndex, int crosshair, POINT at,
               bool freshPicture = true) {
    if (freshPicture)
        Show(0);
    Command(CMD_FIT);
    if (app.selecting)
        Command(CMD_SELECT);
    if (!app.glass)
        Command(CMD_GLASS);
    Command(shape);
    Command(CMD_ZOOM_FIRST + zoomIndex);
    Command(CMD_CROSSHAIR_FIRST + crosshair);
    if (!app.glass)
        return false;
    const POINT c = ClientOfPicture(at.x, at.y), p = ScreenPoint(app.wnd, c.x, c.y);
    SetCursorPos(p.x - 40, p.y - 30);
    PumpUntil([] { return false; }, 50);
    Button(MOUSEEVENTF_LEFTDOWN);
    const bool held = PumpUntil([] { return GetCapture() == app.wnd; }, 3000);
    DragTo(POINT{p.x - 40, p.y - 30}, p);
    const bool ok = held && Shot(name, what);
    Button(MOUSEEVENTF_LEFTUP);
    PumpUntil([] { return GetCapture() != app.wnd; }, 3000);
    if (!held)
        printf("the magnifier did not take the mouse\n");
    return ok;
}

// A magic-wand click on the sun of the fitted scene.
bool SelectSun(POINT *at) {
    Show(0);
    Command(CMD_FIT);
    if (app.glass)
        Command(CMD_GLASS);
    if (!app.selecting)
        Command(CMD_SELECT);
    const POINT c = ClientOfPicture(361, 73), p = ScreenPoint(app.wnd, c.x, c.y);
    SetCursorPos(p.x, p.y);
    PumpUntil([] { return false; }, 50);
    Button(MOUSEEVENTF_LEFTDOWN);
    Button(MOUSEEVENTF_LEFTUP);
    *at = p;
    if (!PumpUntil([] { return Z_BitmapHasRgn(&app.bitmap) == 1; }, 3000)) {
        printf("the click made no selection\n");
        return false;
    }
    return true;
}

// The sun selected; the outline marches.
bool SelectionShot() {
    POINT p;
    if (!SelectSun(&p))
        return false;
    const int phase = app.outlinePhase;
    PumpUntil([&] { return (app.outlinePhase - phase + 8) % 8 >= 3; }, 3000);
    SetCursorPos(p.x + 600, p.y);
    bool ok = Shot("5-selection", "a magic-wand selection of the sun with its marching outline");
#if ZV_HAVE_CLIPBOARD
    Command(CMD_COPY);
    // The clipboard's picture is the selection's box.
    RECT box{};
    Z_GetBitmapRgnBounds(&app.bitmap, nullptr, &box);
    LONG w = 0, h = 0;
    if (OpenClipboard(app.wnd)) {
        HANDLE dib = GetClipboardData(CF_DIB);
        if (const auto *head = dib ? static_cast<const BITMAPINFOHEADER *>(GlobalLock(dib)) : nullptr) {
            w = head->biWidth, h = head->biHeight < 0 ? -head->biHeight : head->biHeight;
            GlobalUnlock(dib);
        }
        CloseClipboard();
    }
    const bool copied = w == box.right - box.left && h == box.bottom - box.top && w > 0;
    printf("selection copied to the clipboard: %s (%ld x %ld, the selection's box %ld x %ld)\n", copied ? "yes" : "NO",
           w, h, box.right - box.left, box.bottom - box.top);
    ok = ok && copied;
#else
    printf("clipboard: not in this library yet, the selection is not copied\n");
#endif
    Command(CMD_SELECT_NONE);
    return ok;
}

// The sun selected, then a glass of the sun's shape held on the colour wheel.
bool SelectionGlassShot() {
    POINT sun;
    if (!SelectSun(&sun))
        return false;
    const bool ok = GlassShot("6-glass-selection", "a magnifier shaped like the selected sun, at 400% on the colour wheel's edge",
                              CMD_GLASS_SELECTION, 2, 0, POINT{185, 100}, false);
    Command(CMD_GLASS_RECT);
    Command(CMD_SELECT_NONE);
    return ok;
}

}  // namespace

int RunTour(const char *dir) {
    g_dir = dir;
    CreateDirectoryA(dir, nullptr);
    bool ok = FittedWithPan();
    ok = PanDrag() && ok;
    if (HaveGlass()) {
        ok = GlassShot("3-glass-rect", "the rectangular magnifier at 400% with a crosshair over the colour wheel",
                       CMD_GLASS_RECT, 2, 1, POINT{110, 113}) && ok;
        ok = GlassShot("4-glass-ellipse", "the round magnifier at 200% with the inverted crosshair over the rings",
                       CMD_GLASS_ELLIPSE, 1, 2, POINT{432, 272}) && ok;
    } else {
        printf("magnifier: not in this library yet, no screenshots\n");
    }
    if (HaveSelection())
        ok = SelectionShot() && ok;
    if (HaveSelection() && HaveGlass())
        ok = SelectionGlassShot() && ok;
    else
        printf("selection: not in this library yet, no screenshot\n");
    DestroyWindow(app.wnd);
    PumpUntil([] { return false; }, 100);
    K_FreeBitmap(&app.bitmap);
    printf("%d screenshots in %s\n", g_shots, dir);
    return ok ? 0 : 1;
}

}  // namespace view
