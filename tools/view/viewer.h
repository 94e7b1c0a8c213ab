// zvview: a small picture viewer built on the display library the way an
// application uses it.  The viewer's state and the operations the menu
// and the scripted tour share.
#pragma once

#include "zvdisp.h"
#include "zvkern.h"

#include <string>

namespace view {

enum Command : UINT {
    CMD_OPEN = 100,
    CMD_PICTURE_FIRST = 110,  // + index of a built-in picture
    CMD_EXIT = 120,
    CMD_FIT = 200,
    CMD_ACTUAL,
    CMD_PAN,
    CMD_GLASS = 300,          // magnifier on the left button
    CMD_GLASS_RECT,
    CMD_GLASS_ELLIPSE,
    CMD_GLASS_SELECTION,      // the glass takes the selection's shape
    CMD_ZOOM_FIRST = 310,     // + index into kZooms
    CMD_CROSSHAIR_FIRST = 320, // + crosshair style 0..3
    CMD_SELECT = 400,         // magic-wand selection on the left button
    CMD_SELECT_NONE,
    CMD_COPY,
};

constexpr int kZooms[] = {150, 200, 400, 800};
constexpr int kPictureCount = 4;

struct Viewer {
    HWND wnd = nullptr;
    HWND pan = nullptr;           // the pan window while it is up
    BitmapHandle bitmap{};
    std::string title;
    std::string file;             // the BMP named on the command line, if any
    bool fit = true;
    int scrollX = 0, scrollY = 0;
    // Magnifier settings (menu "Glass").
    bool glass = false;
    bool ellipse = false;
    bool selectionShape = false;  // shape of the selection as shown (when there is one)
    int zoom = 400;
    int crosshair = 1;
    // Magic-wand selection (menu "Select").
    bool selecting = false;
    int outlinePhase = 0;         // marching outline, advanced by a timer
};

extern Viewer app;

// The bitmap's size as shown (axes exchanged by the turning orientations).
SIZE ImageSize();
// Where the picture is displayed in the client area now.
RECT DisplayRect();
// Picture coordinates to client coordinates as the view shows them.
RgnTransform ViewTransform();
// Replaces the picture: a built-in one (index) or a BMP file.
bool LoadPicture(int index);
bool LoadFile(const char *path);
// Applies a menu command (also the tour's way of steering the viewer).
void Command(UINT id);
// Scrolls the 1:1 view so that bitmap pixel (x, y) is at the top left.
void ScrollTo(int x, int y);
// The magnifier (view_glass.cpp): whether the library has it, (re)start
// with the current settings (stops it when off), stop, follow the view,
// and the Glass menu's commands.
bool HaveGlass();
void StartGlass();
void StopGlass();
void GlassViewChanged();
bool GlassCommand(UINT id);

// The selection (view_select.cpp): whether the library has the magic
// wand, the outline on a DC, the marching timer, a click, the Select
// menu's commands.
bool HaveSelection();
void DrawSelection(HDC dc);
void SelectionTimer();
bool SelectAt(int x, int y, bool add);
bool SelectCommand(UINT id);

// The scripted tour: drives the viewer with real input and writes
// screenshots to dir; returns the process exit code.
int RunTour(const char *dir);

}  // namespace view
