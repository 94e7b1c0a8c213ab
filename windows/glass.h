// The magnifying glass inside the library: its record on the window, and
// the pieces the window procedure, the painting and the on-demand data
// share.
//
// The record is a zero-filled block of movable global memory, locked for
// its whole life; the window property "ZORAMAGDATA" holds the locked
// pointer.  Fields keep their defined order (pointers natural size).
#pragma once

#include "common/geometry.h"
#include "common/guards.h"
#include "frame/library.h"
#include "zvdisp.h"
#include "zvkern.h"

namespace zv {

constexpr int kGlassEvents = 500;  // entries of each event log array
constexpr UINT kGlassFlagsKnown = MAGGLASS_INCLUDE_COLORS | MAGGLASS_MANUAL | MAGGLASS_COLORS_FROM_RGN;
extern const char kGlassProperty[];  // "ZORAMAGDATA"

struct MagGlassRecord {
    HWND Window;
    WNDPROC OldWndProc;
    HINSTANCE Instance;
    HCURSOR Cursor;
    int32_t Dragging;
    RECT DestRect;
    RECT GlassRect;
    int32_t Zoom;
    int32_t GlassWidth, GlassHeight;
    int32_t LastX, LastY;
    float ScaleX, ScaleY;
    BitmapHandle BitmapCopy;  // owns its region (a copy, or the mask region)
    HPEN BorderPen;
    HBRUSH BackBrush;
    int32_t EllipseRequested;
    int32_t BorderWidth;
    int32_t Border3D;
    UINT PaintFlags;
    COLORREF *MaskColors;
    int32_t MaskColorCount;
    int32_t Crosshair;
    HPEN CrosshairPen;
    int32_t IgnoreRegion;
    int32_t CenterPixels;
    LONG SavedStyle;
    MagGlassRequestProc RequestProc;
    void *RequestData;
    UINT *EventCodes;
    POINT *EventPoints;
    int32_t EventWrite, EventReplay, EventStart;
    int32_t RequestsPending;
    int32_t Shape;  // 0 rectangle, 1 ellipse, 2 ShapeRgn
    HRGN ShapeRgn;
    int32_t InitialWidth, InitialHeight;
    BYTE *BlockBits;
    int32_t BlocksAcross, BlocksDown, BlockCount;
    BitmapHandle DataBitmap;
    int32_t EventsQueued;
    int32_t PaintOptionsSet;
    int32_t Contrast, Gamma, Intensity;
    int32_t ManualMode;
    int32_t Shown;
    int32_t ManualX, ManualY;
    BitmapHandle WorkBitmap;
    int32_t WorkDirty;
    int32_t IncludeColors;
    int32_t ColorsFromRegion;
    MagGlassOwnerDrawProc OwnerDrawProc;
    void *OwnerDrawData;
    // Kept from one paint to the next (each costs about a millisecond to
    // make under Wine): the off-screen DC, its bitmap of OffscreenWidth x
    // OffscreenHeight and the bitmap it held at first.
    HDC OffscreenDC;
    HBITMAP OffscreenBitmap;
    HGDIOBJ OffscreenOld;
    int32_t OffscreenWidth, OffscreenHeight;
};

// Releases the off-screen DC and bitmap of the glass (when any).
void FreeOffscreen(MagGlassRecord *g);

// The glass of a window, or null (not a window, or no glass).
MagGlassRecord *FindGlass(HWND hWnd);
// Busy: updates of shape, rectangle, flags and options are refused.
bool GlassBusy(const MagGlassRecord *g);
// Stops and frees the glass (every path that ends it).
void StopGlass(MagGlassRecord *g);

// ---- painting (glass_paint.cpp) -------------------------------------------
// Source rectangle under a glass centred on (x, y), in bitmap pixels of the
// displayed image (before the turn into the bitmap's orientation).
RECT GlassSourceRect(const MagGlassRecord *g, int x, int y);
// A rectangle of the displayed image moved into the bitmap's stored
// pixels (normalised).
RECT DisplayedToStored(const BitmapHandle &b, RECT r);
// Paints the glass at (x, y), or removes it (bRemove) from (LastX, LastY).
// prevX, prevY: the position whose area the application gets back.  (The
// glass's bitmap copy is its own and stays allocated for the glass's life,
// so there is no painting without a bitmap.)
void PaintGlass(MagGlassRecord *g, int x, int y, int prevX, int prevY, bool bRemove);
// The glass shape centred on (x, y) as a new GDI region in client
// coordinates (null on failure).
HRGN GlassShapeRgn(const MagGlassRecord *g, int x, int y);

// ---- mask colours (glass_mask.cpp) ---------------------------------------
// Builds the mask region on pTarget from the glass's mask colours: the
// union of their pixels (or its complement), limited by the target's own
// earlier region unless the glass ignores regions.
int BuildMaskRegion(const MagGlassRecord *g, BitmapHandle *pTarget);
// Collects the colours used inside the bitmap's region into MaskColors.
int MaskColorsFromRegion(MagGlassRecord *g, const BitmapHandle *pBitmap);

// ---- on-demand data and manual mode (glass_data.cpp) ----------------------
// Allocates the block bits (and with a request callback the event logs and
// the data bitmap) at start.
int StartGlassData(MagGlassRecord *g, const BitmapHandle *pBitmap);
void FreeGlassData(MagGlassRecord *g);
// The data check of a mouse event (0x201, 0x200, 0x202) in normal mode
// with a request callback; true when the event may paint now.
bool GlassDataCheck(MagGlassRecord *g, UINT uCode, int x, int y);
// After a move was painted with a request callback.
void GlassDataMoved(MagGlassRecord *g, int x, int y);

}  // namespace zv
