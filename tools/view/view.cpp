// zvview: opens a BMP file (or one of the built-in pictures) and shows it
// fitted to the window or at 1:1 with scroll bars, with a pan window, a
// magnifier on the left button and a magic-wand selection.
//
//   zvview.exe [picture.bmp] [--tour DIR]
//
// --tour runs a scripted tour with real input and writes screenshots to
// DIR (tour.cpp).
#include "tools/view/viewer.h"

#include "tools/demo/pictures.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace view {

Viewer app;

namespace {

const char kClass[] = "ZvViewer";
const char kPanName[] = "ZvViewerPan";
constexpr COLORREF kPanRectColor = RGB(255, 255, 0);
constexpr COLORREF kBackground = RGB(64, 64, 64);
const char *const kPictureNames[kPictureCount] = {"Scene", "Text page", "Gray phantom", "Palette image"};

SIZE ClientSize() {
    RECT rc;
    GetClientRect(app.wnd, &rc);
    return SIZE{rc.right, rc.bottom};
}

int __stdcall PanNotify(HWND hPan, HWND, UINT uCode, RECT *pRect, void *) {
    switch (uCode) {
    case PAN_NOTIFY_CREATED:
        app.pan = hPan;
        break;
    case PAN_NOTIFY_MOVED_RECT:
        if (!app.fit)
            ScrollTo(pRect->left, pRect->top);
        break;
    case PAN_NOTIFY_DESTROYED:
        app.pan = nullptr;
        CheckMenuItem(GetMenu(app.wnd), CMD_PAN, MF_UNCHECKED);
        break;
    }
    return 0;
}

void UpdatePan() {
    if (!app.pan)
        return;
    const RECT display = DisplayRect();
    Z_UpdatePanWindow(app.pan, &app.bitmap, Z_GetDisplayMode(), kPanRectColor, app.title.c_str(), &display);
}

void ShowPan(bool show) {
    if (show && !app.pan) {
        RECT wr;
        GetWindowRect(app.wnd, &wr);
        Z_CreatePanWindow(app.wnd, &app.bitmap, Z_GetDisplayMode(), wr.right + 8, wr.top, 220, 220, kPanName,
                          nullptr, LoadCursor(nullptr, IDC_SIZEALL), 1, PanNotify, nullptr);
        UpdatePan();
    } else if (!show && app.pan) {
        Z_DestroyPanWindow(app.pan);
    }
}

// Scroll bars for the 1:1 view; none while fitted.  Setting one bar can
// change the client size and so the other: two rounds settle it.
void UpdateScrollBars() {
    const SIZE image = ImageSize();
    for (int round = 0; round < 2; ++round) {
        const SIZE client = ClientSize();
        SCROLLINFO si{sizeof si, SIF_ALL | SIF_DISABLENOSCROLL, 0, 0, 0, 0, 0};
        if (!app.fit) {
            app.scrollX = std::max(0, std::min<int>(app.scrollX, image.cx - client.cx));
            app.scrollY = std::max(0, std::min<int>(app.scrollY, image.cy - client.cy));
        }
        const bool h = !app.fit && image.cx > client.cx, v = !app.fit && image.cy > client.cy;
        si.fMask = SIF_ALL;
        si.nMax = h ? image.cx - 1 : 0;
        si.nPage = h ? client.cx : 0;
        si.nPos = h ? app.scrollX : 0;
        SetScrollInfo(app.wnd, SB_HORZ, &si, TRUE);
        si.nMax = v ? image.cy - 1 : 0;
        si.nPage = v ? client.cy : 0;
        si.nPos = v ? app.scrollY : 0;
        SetScrollInfo(app.wnd, SB_VERT, &si, TRUE);
    }
}

void ViewChanged() {
    UpdateScrollBars();
    InvalidateRect(app.wnd, nullptr, FALSE);
    UpdatePan();
    GlassViewChanged();
    HMENU menu = GetMenu(app.wnd);
    CheckMenuRadioItem(menu, CMD_FIT, CMD_ACTUAL, app.fit ? CMD_FIT : CMD_ACTUAL, MF_BYCOMMAND);
}

void OnScroll(int bar, int code) {
    SCROLLINFO si{sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(app.wnd, bar, &si);
    int pos = si.nPos;
    switch (code) {
    case SB_LINEUP: pos -= 16; break;
    case SB_LINEDOWN: pos += 16; break;
    case SB_PAGEUP: pos -= int(si.nPage); break;
    case SB_PAGEDOWN: pos += int(si.nPage); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    default: return;
    }
    bar == SB_HORZ ? ScrollTo(pos, app.scrollY) : ScrollTo(app.scrollX, pos);
}

void Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(app.wnd, &ps);
    const RECT display = DisplayRect();
    if (app.bitmap.Flags & BITMAP_ALLOCATED) {
        HPALETTE palette = Z_CreatePaintPalette(dc, &app.bitmap);
        HPALETTE old = palette ? SelectPalette(dc, palette, FALSE) : nullptr;
        if (palette)
            RealizePalette(dc);
        // Fitted, every image pixel counts in the window's: the area average.
        const UINT mode = app.fit ? Z_SetDisplayMode(DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT, DISP_SCALE_FILTER_ALT)
                                  : 0;
        Z_PaintDC(dc, &app.bitmap, nullptr, nullptr, &display, &ps.rcPaint, SRCCOPY);
        if (app.fit)
            Z_SetDisplayMode(0xFFFFFFFFu, mode);
        if (palette) {
            SelectPalette(dc, old, TRUE);
            DeleteObject(palette);
        }
        DrawSelection(dc);
        ExcludeClipRect(dc, display.left, display.top, display.right, display.bottom);
    }
    HBRUSH back = CreateSolidBrush(kBackground);
    FillRect(dc, &ps.rcPaint, back);
    DeleteObject(back);
    EndPaint(app.wnd, &ps);
}

HMENU BuildMenu() {
    HMENU file = CreatePopupMenu(), viewMenu = CreatePopupMenu(), glass = CreatePopupMenu(),
          select = CreatePopupMenu(), bar = CreateMenu();
    AppendMenuA(file, MF_STRING, CMD_OPEN, "&Open...\tCtrl+O");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    for (int i = 0; i < kPictureCount; ++i)
        AppendMenuA(file, MF_STRING, CMD_PICTURE_FIRST + i, kPictureNames[i]);
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, CMD_EXIT, "E&xit");

    AppendMenuA(viewMenu, MF_STRING, CMD_FIT, "&Fit to window");
    AppendMenuA(viewMenu, MF_STRING, CMD_ACTUAL, "&Actual size (1:1)");
    AppendMenuA(viewMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(viewMenu, MF_STRING, CMD_PAN, "&Pan window");

    const UINT glassState = HaveGlass() ? MF_STRING : MF_STRING | MF_GRAYED;
    AppendMenuA(glass, glassState, CMD_GLASS, "&Magnifier on left button");
    AppendMenuA(glass, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(glass, glassState, CMD_GLASS_RECT, "&Rectangle");
    AppendMenuA(glass, glassState, CMD_GLASS_ELLIPSE, "&Ellipse");
    AppendMenuA(glass, glassState, CMD_GLASS_SELECTION, "&Shape of the selection");
    AppendMenuA(glass, MF_SEPARATOR, 0, nullptr);
    for (int i = 0; i < int(std::size(kZooms)); ++i) {
        char text[32];
        snprintf(text, sizeof text, "Zoom %d%%", kZooms[i]);
        AppendMenuA(glass, glassState, CMD_ZOOM_FIRST + i, text);
    }
    AppendMenuA(glass, MF_SEPARATOR, 0, nullptr);
    const char *const crosshairs[] = {"No crosshair", "Crosshair 1", "Crosshair 2", "Crosshair 3"};
    for (int i = 0; i < 4; ++i)
        AppendMenuA(glass, glassState, CMD_CROSSHAIR_FIRST + i, crosshairs[i]);

    const UINT selectState = HaveSelection() ? MF_STRING : MF_STRING | MF_GRAYED;
    AppendMenuA(select, selectState, CMD_SELECT, "&Magic wand on left button");
    AppendMenuA(select, selectState, CMD_SELECT_NONE, "Select &none");
    AppendMenuA(select, selectState, CMD_COPY, "&Copy selection\tCtrl+C");

    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(viewMenu), "&View");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(glass), "&Glass");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(select), "&Select");
    return bar;
}

void OpenDialog() {
    char path[MAX_PATH] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = app.wnd;
    ofn.lpstrFilter = "Bitmaps (*.bmp)\0*.bmp\0All files\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (GetOpenFileNameA(&ofn) && !LoadFile(path))
        MessageBoxA(app.wnd, "The file could not be read as a bitmap.", "zvview", MB_ICONWARNING);
}

LRESULT CALLBACK ViewerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint fills the background itself
    case WM_SIZE:
        if (app.wnd)
            ViewChanged();
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        OnScroll(uMsg == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
        return 0;
    case WM_COMMAND:
        Command(LOWORD(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        if (SelectAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), (wParam & MK_SHIFT) != 0))
            return 0;
        break;
    case WM_TIMER:
        SelectionTimer();
        return 0;
    case WM_QUERYNEWPALETTE:
    case WM_PALETTECHANGED:
        if (uMsg == WM_QUERYNEWPALETTE || reinterpret_cast<HWND>(wParam) != hWnd)
            InvalidateRect(hWnd, nullptr, FALSE);
        return 0;
    case WM_DESTROY:
        StopGlass();
        ShowPan(false);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

bool MakePicture(int index, BitmapHandle *b) {
    switch (index) {
    case 0: return demo::MakeScene(b);
    case 1: return demo::MakeTextPage(b);
    case 2: return demo::MakeGrayPhantom(b);
    default: return demo::MakePaletteImage(b);
    }
}

// Takes a freshly loaded picture as the viewer's.
bool UsePicture(BitmapHandle &loaded, const std::string &title) {
    StopGlass();  // it holds a descriptor of the old picture
    K_FreeBitmap(&app.bitmap);
    app.bitmap = loaded;
    app.title = title;
    app.scrollX = app.scrollY = 0;
    SetWindowTextA(app.wnd, ("zvview - " + title).c_str());
    ViewChanged();
    StartGlass();
    return true;
}

}  // namespace

SIZE ImageSize() {
    const BitmapHandle &b = app.bitmap;
    const bool turned = b.Orientation == ORIENT_RIGHT_TOP || b.Orientation == ORIENT_LEFT_TOP ||
                        b.Orientation == ORIENT_RIGHT_BOTTOM || b.Orientation == ORIENT_LEFT_BOTTOM;
    return turned ? SIZE{b.Height, b.Width} : SIZE{b.Width, b.Height};
}

RECT DisplayRect() {
    const SIZE image = ImageSize(), client = ClientSize();
    if (image.cx <= 0 || image.cy <= 0 || client.cx <= 0 || client.cy <= 0)
        return RECT{0, 0, 1, 1};
    SIZE shown = image;
    if (app.fit) {
        // The largest size of the image's shape inside the client area.
        shown = SIZE{MulDiv(client.cy, image.cx, image.cy), client.cy};
        if (shown.cx > client.cx)
            shown = SIZE{client.cx, MulDiv(client.cx, image.cy, image.cx)};
    }
    // Centred where it is smaller than the window, scrolled where larger.
    const int left = shown.cx < client.cx ? (client.cx - shown.cx) / 2 : -app.scrollX;
    const int top = shown.cy < client.cy ? (client.cy - shown.cy) / 2 : -app.scrollY;
    return RECT{left, top, left + shown.cx, top + shown.cy};
}

RgnTransform ViewTransform() {
    const RECT display = DisplayRect();
    const SIZE image = ImageSize();
    return RgnTransform{app.bitmap.Orientation, display.right - display.left, image.cx,
                        display.bottom - display.top, image.cy, display.left, display.top};
}

bool LoadPicture(int index) {
    BitmapHandle b{};
    if (!MakePicture(index, &b))
        return false;
    return UsePicture(b, kPictureNames[index]);
}

bool LoadFile(const char *path) {
    BitmapHandle b{};
    if (K_LoadBitmapFile(path, &b) != RC_SUCCESS)
        return false;
    const char *name = strrchr(path, '\\');
    return UsePicture(b, name ? name + 1 : path);
}

void ScrollTo(int x, int y) {
    app.scrollX = x;
    app.scrollY = y;
    UpdateScrollBars();
    InvalidateRect(app.wnd, nullptr, FALSE);
    UpdatePan();
}

void Command(UINT id) {
    switch (id) {
    case CMD_OPEN: OpenDialog(); break;
    case CMD_EXIT: DestroyWindow(app.wnd); break;
    case CMD_FIT:
    case CMD_ACTUAL:
        app.fit = id == CMD_FIT;
        ViewChanged();
        break;
    case CMD_PAN:
        ShowPan(!app.pan);
        CheckMenuItem(GetMenu(app.wnd), CMD_PAN, app.pan ? MF_CHECKED : MF_UNCHECKED);
        break;
    default:
        if (id >= CMD_PICTURE_FIRST && id < CMD_PICTURE_FIRST + kPictureCount)
            LoadPicture(int(id - CMD_PICTURE_FIRST));
        else if (!GlassCommand(id))
            SelectCommand(id);
        break;
    }
}

}  // namespace view

using namespace view;

int main(int argc, char **argv) {
    const char *file = nullptr, *tour = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--tour") && i + 1 < argc)
            tour = argv[++i];
        else
            file = argv[i];
    }
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = ViewerProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    app.wnd = CreateWindowExA(0, kClass, "zvview", WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL, 10, 10, 720, 540,
                              nullptr, BuildMenu(), instance, nullptr);
    if (!app.wnd)
        return 1;
    app.file = file ? file : "";
    if (file ? !LoadFile(file) : !LoadPicture(0)) {
        fprintf(stderr, "zvview: cannot read %s\n", file ? file : "the built-in picture");
        return 1;
    }
    ShowWindow(app.wnd, SW_SHOW);
    UpdateWindow(app.wnd);
    if (tour)
        return RunTour(tour);

    HACCEL accel = nullptr;
    ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'O', CMD_OPEN}, {FCONTROL | FVIRTKEY, 'C', CMD_COPY}};
    accel = CreateAcceleratorTableA(keys, 2);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(app.wnd, accel, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    DestroyAcceleratorTable(accel);
    K_FreeBitmap(&app.bitmap);
    return 0;
}
