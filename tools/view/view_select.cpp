// The viewer's selection: a magic-wand click selects the pixels connected
// to the one under the cursor (Shift adds to the selection), a timer
// marches the dashed outline, and Copy puts the selected part on the
// clipboard.  Each piece is built when the library has its functions
// (ZV_HAVE_* from tools/view/CMakeLists.txt).
#include "tools/view/viewer.h"

namespace view {

namespace {

constexpr UINT_PTR kOutlineTimer = 1;
constexpr UINT kOutlineMs = 120;
constexpr UINT kTolerance = 24;

}  // namespace

bool HaveSelection() {
#if ZV_HAVE_WAND
    return true;
#else
    return false;
#endif
}

void DrawSelection(HDC dc) {
#if ZV_HAVE_FRAME
    if (Z_BitmapHasRgn(&app.bitmap) == 1) {
        RgnTransform t = ViewTransform();
        Z_FrameBitmapRgn(dc, &app.bitmap, &t, UINT(app.outlinePhase));
    }
#else
    (void)dc;
#endif
}

void SelectionTimer() {
    app.outlinePhase = (app.outlinePhase + 1) % 8;
    HDC dc = GetDC(app.wnd);
    DrawSelection(dc);
    ReleaseDC(app.wnd, dc);
}

// A click at client point (x, y) while the wand is on; false when the
// click is not the selection's.
bool SelectAt(int x, int y, bool add) {
#if ZV_HAVE_WAND
    if (!app.selecting || !(app.bitmap.Flags & BITMAP_ALLOCATED))
        return false;
    const RECT d = DisplayRect();
    const SIZE image = ImageSize();
    if (x < d.left || y < d.top || x >= d.right || y >= d.bottom)
        return true;
    const int px = MulDiv(x - d.left, image.cx, d.right - d.left), py = MulDiv(y - d.top, image.cy, d.bottom - d.top);
    Z_SetBitmapRgnMagicWand(&app.bitmap, std::min<int>(px, image.cx - 1), std::min<int>(py, image.cy - 1), kTolerance,
                            add ? RGN_MODE_OR : RGN_MODE_SET);
    InvalidateRect(app.wnd, nullptr, FALSE);
    SetTimer(app.wnd, kOutlineTimer, kOutlineMs, nullptr);
    return true;
#else
    (void)x, (void)y, (void)add;
    return false;
#endif
}

void ClearSelection() {
    Z_FreeBitmapRgn(&app.bitmap);
    KillTimer(app.wnd, kOutlineTimer);
    InvalidateRect(app.wnd, nullptr, FALSE);
}

// The selection's bounding part of the picture, with the selection as its
// region, as the clipboard's picture and region mask.
bool CopySelection() {
#if ZV_HAVE_CLIPBOARD
    if (!(app.bitmap.Flags & BITMAP_ALLOCATED))
        return false;
    if (Z_BitmapHasRgn(&app.bitmap) != 1)
        return Z_CopyToClipboard(app.wnd, &app.bitmap) == 1;
    RECT box;
    BitmapHandle part{};
    if (Z_GetBitmapRgnBounds(&app.bitmap, nullptr, &box) != RC_SUCCESS ||
        K_CopyBitmapRect(&app.bitmap, &part, box.left, box.top, box.right - box.left, box.bottom - box.top) !=
            RC_SUCCESS)
        return false;
    const bool ok = Z_CopyZoraRgn(&part.Region, app.bitmap.Region) == RC_SUCCESS &&
                    Z_OffsetBitmapRgn(&part, -box.top, -box.left) == RC_SUCCESS &&
                    Z_CopyToClipboard(app.wnd, &part) == 1;
    K_FreeBitmap(&part);
    return ok;
#else
    return false;
#endif
}

bool SelectCommand(UINT id) {
    switch (id) {
    case CMD_SELECT:
        app.selecting = !app.selecting;
        if (app.selecting && app.glass) {
            app.glass = false;
            StartGlass();
        }
        CheckMenuItem(GetMenu(app.wnd), CMD_SELECT, app.selecting ? MF_CHECKED : MF_UNCHECKED);
        return true;
    case CMD_SELECT_NONE:
        ClearSelection();
        return true;
    case CMD_COPY:
        if (!CopySelection())
            MessageBeep(MB_ICONWARNING);
        return true;
    }
    return false;
}

}  // namespace view
