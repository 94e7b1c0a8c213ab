// The viewer's magnifier: the library's glass on the left button, its
// shape, zoom and crosshair chosen from the Glass menu.  The glass keeps
// a descriptor of the picture, so it is stopped before the picture goes
// and started again over the new one.  Built when the library has the
// glass (ZV_HAVE_GLASS from tools/view/CMakeLists.txt).
#include "tools/view/viewer.h"

namespace view {

#if ZV_HAVE_GLASS

namespace {

constexpr int kGlassWidth = 220, kGlassHeight = 160;
constexpr COLORREF kGlassPen = RGB(255, 255, 0);

void CheckGlassMenu() {
    HMENU menu = GetMenu(app.wnd);
    CheckMenuItem(menu, CMD_GLASS, app.glass ? MF_CHECKED : MF_UNCHECKED);
    CheckMenuRadioItem(menu, CMD_GLASS_RECT, CMD_GLASS_SELECTION,
                       app.selectionShape ? CMD_GLASS_SELECTION : app.ellipse ? CMD_GLASS_ELLIPSE : CMD_GLASS_RECT,
                       MF_BYCOMMAND);
    int zoom = 0;
    for (int i = 0; i < int(std::size(kZooms)); ++i)
        zoom = kZooms[i] == app.zoom ? i : zoom;
    CheckMenuRadioItem(menu, CMD_ZOOM_FIRST, CMD_ZOOM_FIRST + int(std::size(kZooms)) - 1, CMD_ZOOM_FIRST + zoom,
                       MF_BYCOMMAND);
    CheckMenuRadioItem(menu, CMD_CROSSHAIR_FIRST, CMD_CROSSHAIR_FIRST + 3, CMD_CROSSHAIR_FIRST + app.crosshair,
                       MF_BYCOMMAND);
}

// The selection as the view shows it becomes the glass's shape (and
// its box the glass's size).
void ShapeGlassLikeSelection() {
    RgnTransform view = ViewTransform();
    HRGN shape = nullptr;
    if (Z_GetBitmapRgnHandle(&app.bitmap, &view, &shape) == RC_SUCCESS && shape) {
        Z_UpdateMagGlassShape(app.wnd, 2, shape);
        DeleteObject(shape);
    }
}

}  // namespace

bool HaveGlass() { return true; }

void StopGlass() {
    if (Z_WindowHasMagGlass(app.wnd))
        Z_StopMagGlass(app.wnd);
}

void StartGlass() {
    StopGlass();
    if (app.glass && (app.bitmap.Flags & BITMAP_ALLOCATED)) {
        const RECT display = DisplayRect();
        // A glass shaped like the selection shows all pixels; the others
        // show only the selected ones while there is a selection.
        const bool shaped = app.selectionShape && Z_BitmapHasRgn(&app.bitmap) == 1;
        Z_StartMagGlass(app.wnd, &app.bitmap, &display, kGlassWidth, kGlassHeight, app.zoom, kGlassPen, nullptr, 0,
                        app.ellipse, 2, 0, 0, nullptr, 0, app.crosshair, shaped ? 1 : 0, 1);
        if (shaped)
            ShapeGlassLikeSelection();
    }
    CheckGlassMenu();
}

void GlassViewChanged() {
    if (Z_WindowHasMagGlass(app.wnd)) {
        const RECT display = DisplayRect();
        Z_UpdateMagGlassRect(app.wnd, &display);
        if (app.selectionShape && Z_BitmapHasRgn(&app.bitmap) == 1)
            ShapeGlassLikeSelection();
    }
}

bool GlassCommand(UINT id) {
    if (id == CMD_GLASS) {
        app.glass = !app.glass;
        if (app.glass && app.selecting) {
            app.selecting = false;
            CheckMenuItem(GetMenu(app.wnd), CMD_SELECT, MF_UNCHECKED);
        }
    } else if (id == CMD_GLASS_RECT || id == CMD_GLASS_ELLIPSE || id == CMD_GLASS_SELECTION) {
        app.selectionShape = id == CMD_GLASS_SELECTION;
        app.ellipse = id == CMD_GLASS_ELLIPSE;
        // The shape can change on a running glass; its cursor follows only
        // a new start, so the glass starts again.
    } else if (id >= CMD_ZOOM_FIRST && id < CMD_ZOOM_FIRST + std::size(kZooms)) {
        app.zoom = kZooms[id - CMD_ZOOM_FIRST];
    } else if (id >= CMD_CROSSHAIR_FIRST && id < CMD_CROSSHAIR_FIRST + 4) {
        app.crosshair = int(id - CMD_CROSSHAIR_FIRST);
    } else {
        return false;
    }
    StartGlass();
    return true;
}

#else  // a library without the magnifier: the menu stays grayed

bool HaveGlass() { return false; }
void StartGlass() {}
void StopGlass() {}
void GlassViewChanged() {}
bool GlassCommand(UINT) { return false; }

#endif

}  // namespace view
