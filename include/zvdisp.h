/*
 * zvdisp.h - the display library: painting bitmaps onto device contexts,
 * regions on bitmaps, window tools, playback and device transfer.
 *
 * Every function is __stdcall and exported from zvdisp.dll under its
 * undecorated Z_ name on both architectures.  Functions return a status
 * code (RC_*, zvtypes.h) unless stated otherwise.
 */
#ifndef ZVDISP_H
#define ZVDISP_H

#include "zvtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------
 * Display mode: per-thread flags that steer painting.  A new thread
 * starts with DISP_PALETTE_INDICES | DISP_LIBRARY_DITHER (0x0C).
 * ------------------------------------------------------------------- */
#define DISP_ORDERED_DITHER    0x0001u  /* ordered dithering instead of error diffusion */
#define DISP_DIRECT_PAINT      0x0002u  /* try one StretchDIBits straight from the pixels */
#define DISP_PALETTE_INDICES   0x0004u  /* strips of <= 8 bits use DIB_PAL_COLORS */
#define DISP_LIBRARY_DITHER    0x0008u  /* the library reduces colours on <= 8-bit devices */
#define DISP_SCALE_TO_GRAY     0x0010u  /* 1-bit pages through the gray painters */
#define DISP_CLUSTERED_DITHER  0x0020u  /* 1-bit ordered dithering with clustered dots */
#define DISP_SCALE_BITONAL     0x0040u  /* 1-bit pages through the 1-bit scaling painters */
#define DISP_DITHER_8BIT       0x0080u  /* library reduction on 8-bit devices too */
#define DISP_CUBE_PALETTE      0x0100u  /* reduce to the 6x6x6 cube instead of 3-3-2 */
#define DISP_SCALE_FILTER_ALT  0x0200u  /* interpolated scaling, second filter */
#define DISP_SCALE_FILTER      0x0400u  /* interpolated scaling */

#define DISP_DEFAULT_MODE (DISP_PALETTE_INDICES | DISP_LIBRARY_DITHER)

/* Changes the bits of uFlagMask to their values in uFlagValues; returns
 * the previous mode. */
UINT __stdcall Z_SetDisplayMode(UINT uFlagMask, UINT uFlagValues);
/* The calling thread's display mode. */
UINT __stdcall Z_GetDisplayMode(void);

/* ---------------------------------------------------------------------
 * Paint intensity, contrast and gamma: per-bitmap settings from which the
 * bitmap's 256-byte paint table (PaintLUT) is rebuilt.  Intensity and
 * contrast -1000..1000 (0 neutral), gamma x 100 (100 neutral, never 0).
 * The getters return the stored value itself, or RC_INVALID_PARAMETER
 * for a null bitmap.
 * ------------------------------------------------------------------- */
int __stdcall Z_SetPaintIntensity(BitmapHandle *pBitmap, int nValue);
int __stdcall Z_SetPaintContrast(BitmapHandle *pBitmap, int nValue);
int __stdcall Z_SetPaintGamma(BitmapHandle *pBitmap, UINT uValue);
int __stdcall Z_GetPaintIntensity(BitmapHandle *pBitmap);
int __stdcall Z_GetPaintContrast(BitmapHandle *pBitmap);
int __stdcall Z_GetPaintGamma(BitmapHandle *pBitmap);

/* ---------------------------------------------------------------------
 * Window level for gray data deeper than 8 bits: significant bits
 * nLowBit..nHighBit (negative: 0 and BitsPerPixel - 1) and a colour table
 * with one entry per value of those bits, copied into the bitmap (which
 * owns the copy).  bApply 1 puts the table in force for painting.
 * ------------------------------------------------------------------- */
int __stdcall Z_WindowLevel(BitmapHandle *pBitmap, int nLowBit, int nHighBit, const RGBQUAD *pTable,
                            UINT uTableLength, int bApply);
/* Fill a caller's table: a linear ramp over the data values uLow..uHigh
 * (clamped to uMinValue..uMaxValue, indexed by value >> uLowBit) and fixed
 * colours outside it; see the two functions for which. */
int __stdcall Z_WindowLevelFillLUT(RGBQUAD *pTable, UINT uTableLength, COLORREF crStart, COLORREF crEnd,
                                   UINT uLow, UINT uHigh, UINT uLowBit, UINT uHighBit, UINT uMinValue,
                                   UINT uMaxValue, int bRampColors);
int __stdcall Z_WindowLevelFillLUT2(RGBQUAD *pTable, UINT uTableLength, COLORREF crStart, COLORREF crEnd,
                                    UINT uLow, UINT uHigh, UINT uLowBit, UINT uHighBit, UINT uMinValue,
                                    UINT uMaxValue, int bRampColors, int nReserved);

/* ---------------------------------------------------------------------
 * Paint palette: the logical palette that matches what the painters send
 * for this bitmap to this device; null when none is needed.  The caller
 * selects and realises it around the paint and deletes it.
 * ------------------------------------------------------------------- */
HPALETTE __stdcall Z_CreatePaintPalette(HDC hDC, BitmapHandle *pBitmap);

/* ---------------------------------------------------------------------
 * Regions on bitmaps.  A bitmap's region (BitmapHandle.Region) is kept
 * as runs in bitmap pixel coordinates; a bitmap without one answers every
 * query as if its region were the whole bitmap.  Functions that set a
 * region take an optional RgnTransform (null: bitmap coordinates) and end
 * by combining the new region with the old one by uCombineMode
 * (RGN_MODE_*).
 * ------------------------------------------------------------------- */

/* A curve for Z_CurveToBezier and Z_SetBitmapRgnCurve.  StructSize must be
 * sizeof(RgnCurve): 36 on 32-bit Windows, 40 on 64-bit. */
#pragma pack(push, 4)
typedef struct RgnCurve {
    UINT    StructSize;
    INT32   Type;        /* 0 Bezier points, 1 knots with a tension, 2 interpolating spline */
    INT32   PointCount;
    POINT  *Points;
    INT32   FillMode;    /* 0 winding, 1 alternate */
    double  Tension;     /* type 1: 0.0 .. 1.0 */
    INT32   Close;       /* type 1: 0 open, 1 closed, 2 open through every point;
                            type 2: 0 natural, 1 periodic */
    INT32   Reserved;
} RgnCurve;
#pragma pack(pop)

#define RGN_FILL_WINDING   0
#define RGN_FILL_ALTERNATE 1

/* A copy of region pSrc in *ppDst (null for a null pSrc).  RC_INVALID_PARAMETER
 * for a null ppDst, RC_NO_MEMORY. */
int __stdcall Z_CopyZoraRgn(ZoraRgn **ppDst, ZoraRgn *pSrc);
/* Releases the bitmap's region.  RC_INVALID_PARAMETER for a null bitmap. */
int __stdcall Z_FreeBitmapRgn(BitmapHandle *pBitmap);
/* 1 when the bitmap has a region, else 0 (also for null). */
int __stdcall Z_BitmapHasRgn(BitmapHandle *pBitmap);
/* Moves the region (the whole bitmap when it has none) by rows and columns,
 * clipped to the bitmap.  RC_NO_BITMAP for a null bitmap, RC_NO_MEMORY. */
int __stdcall Z_OffsetBitmapRgn(BitmapHandle *pBitmap, int nRowOffset, int nColumnOffset);

/* Queries.  Z_IsPtInBitmapRgn returns 1 inside, 0 outside. */
int __stdcall Z_IsPtInBitmapRgn(BitmapHandle *pBitmap, int nRow, int nCol);
int __stdcall Z_GetBitmapRgnArea(BitmapHandle *pBitmap, UINT *puArea);
int __stdcall Z_GetBitmapRgnBounds(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect);
int __stdcall Z_GetBitmapRgnBoundsClip(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect);
int __stdcall Z_GetBitmapClipSegmentsMax(BitmapHandle *pBitmap, UINT *puMax);
int __stdcall Z_GetBitmapClipSegments(BitmapHandle *pBitmap, int nRow, INT32 *pSegments, UINT *puCount);

/* Curves: the Bezier chain of a type 1 or 2 curve; with pOutPoints null
 * only the count. */
int __stdcall Z_CurveToBezier(RgnCurve *pCurve, UINT *puOutCount, POINT *pOutPoints);

/* Shapes. */
int __stdcall Z_SetBitmapRgnRect(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                 UINT uCombineMode);
int __stdcall Z_SetBitmapRgnEllipse(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                    UINT uCombineMode);
int __stdcall Z_SetBitmapRgnRoundRect(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                      int nWidthEllipse, int nHeightEllipse, UINT uCombineMode);
int __stdcall Z_SetBitmapRgnPolygon(BitmapHandle *pBitmap, RgnTransform *pTransform, POINT *pPoints,
                                    int nCount, int nFillMode, UINT uCombineMode);
int __stdcall Z_SetBitmapRgnCurve(BitmapHandle *pBitmap, RgnTransform *pTransform, RgnCurve *pCurve,
                                  UINT uCombineMode);

/* GDI regions, stored region data and the clip switch.  GDI regions and
 * region data are in the caller's coordinates of pTransform (null: bitmap
 * coordinates).  A bitmap without a region shows as its whole rectangle. */
/* A GDI region of the bitmap's region; *pbMustDelete 1: the caller owns
 * it; 0: it is the region's cache, which the caller must neither delete
 * nor keep (it is moved or replaced by the next request).  RC_NO_BITMAP;
 * RC_INVALID_PARAMETER for a null output or a bad transform;
 * RC_NO_MEMORY. */
int __stdcall Z_IntGetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN *phRgn,
                                      int *pbMustDelete);
/* A GDI region the caller always owns (deletes).  RC_SUCCESS; 0 when no
 * region could be had (*phRgn untouched); RC_INVALID_PARAMETER for a null
 * phRgn; RC_NO_MEMORY when the copy of the cache fails. */
int __stdcall Z_GetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN *phRgn);
/* The region as it shows when part pSrc of the bitmap (null: all of it, in
 * displayed coordinates) is painted into pDst; *pbMustDelete as with
 * Z_IntGetBitmapRgnHandle (always 1 with pSrc).  RC_INVALID_PARAMETER for a
 * null bitmap or pDst. */
int __stdcall Z_GetResizedRgnHandle(BitmapHandle *pBitmap, RECT *pSrc, RECT *pDst, HRGN *phRgn,
                                    int *pbMustDelete);
/* Sets the region from a GDI region (which the caller keeps); a null hRgn
 * removes the bitmap's region.  RC_INVALID_PARAMETER for a null bitmap or
 * an unreadable GDI region. */
int __stdcall Z_SetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN hRgn,
                                   UINT uCombineMode);
/* The region as an RGNDATA block (32-byte header, then 16 bytes per
 * rectangle in banded order).  Returns the bytes written, or the bytes
 * needed when nSize is 0; 0 for a null bitmap or one without a region;
 * RC_INVALID_PARAMETER for a negative nSize; RC_NO_MEMORY, also for a
 * block too small. */
int __stdcall Z_GetBitmapRgnData(BitmapHandle *pBitmap, RgnTransform *pTransform, int nSize, void *pData);
/* Sets the region from an RGNDATA block of nSize bytes; nSize 0 removes
 * the bitmap's region.  RC_INVALID_PARAMETER for a negative size or a null
 * bitmap; RC_NO_MEMORY for a block that is truncated, has a wrong header
 * or count, or whose rectangles are not in banded order (nothing
 * changed). */
int __stdcall Z_SetBitmapRgnData(BitmapHandle *pBitmap, RgnTransform *pTransform, int nSize, void *pData,
                                 UINT uCombineMode);
/* bClip non-zero: regions are clipped to the bitmap (clears
 * BITMAP_RGN_UNCLIPPED); zero: they may reach outside.  RC_SUCCESS;
 * RC_INVALID_PARAMETER for a null bitmap. */
int __stdcall Z_SetBitmapRgnClip(BitmapHandle *pBitmap, int bClip);
/* *pbClip = 1 when the bitmap's regions are clipped to it, else 0.
 * RC_SUCCESS; RC_INVALID_PARAMETER for null pointers. */
int __stdcall Z_GetBitmapRgnClip(BitmapHandle *pBitmap, int *pbClip);
/* Makes pMask (the caller's descriptor, filled here; release it with
 * K_FreeBitmap) a kernel bitmap of the bitmap's size and Orientation at 1
 * bit per pixel: 1 inside the region, 0 outside (all 1 without a region).
 * pMask is written on success only.  RC_INVALID_PARAMETER for a null
 * pointer; the kernel's codes. */
int __stdcall Z_CreateMaskFromBitmapRgn(BitmapHandle *pBitmap, BitmapHandle *pMask);
/* The region of the mask's white pixels (any depth: other depths are read
 * through a 1-bit conversion copy), combined into the bitmap's region.
 * RC_INVALID_PARAMETER for null pointers or a mask without data. */
int __stdcall Z_SetBitmapRgnFromMask(BitmapHandle *pBitmap, RgnTransform *pTransform, BitmapHandle *pMask,
                                     UINT uCombineMode);
/* Hue in bits 0-7 (0..255 round the circle: 0 red, 85 green, 171 blue),
 * saturation in bits 8-15, value in bits 16-23. */
typedef DWORD HsvColor;

/* Colour regions: the pixels of the whole bitmap whose colour passes a
 * test, combined with the bitmap's region by uCombineMode.  Colours have
 * red in bits 0-7, green 8-15, blue 16-23; pixels are compared as 8-bit
 * red, green, blue (palette depths by their palette entry, deeper data as
 * the kernel converts it to 24 bits).  Results: RC_SUCCESS; RC_NO_BITMAP
 * for a null or unallocated bitmap; RC_INVALID_FORMAT for a depth without
 * pixels; RC_NO_MEMORY; RC_INVALID_PARAMETER for a combine mode outside
 * 0..6.  A colour that no pixel has gives an empty new region. */
/* Pixels of exactly crColor; with bits 24-31 of crColor 0x01, palette
 * bitmaps select the index in bits 0-7 (masked to the depth; an index
 * beyond the palette selects nothing), otherwise the first palette entry
 * of that colour. */
int __stdcall Z_SetBitmapRgnColor(BitmapHandle *pBitmap, COLORREF crColor, UINT uCombineMode);
/* Pixels with crLower <= channel <= crUpper in red, green and blue. */
int __stdcall Z_SetBitmapRgnColorRGBRange(BitmapHandle *pBitmap, COLORREF crLower, COLORREF crUpper,
                                          UINT uCombineMode);
/* Pixels whose hue, saturation and value (as Z_RGBtoHSV gives them) lie
 * between those of hsvLower and hsvUpper, inclusive; a lower hue above the
 * upper selects the hues from the lower to 255 and from 0 to the upper. */
int __stdcall Z_SetBitmapRgnColorHSVRange(BitmapHandle *pBitmap, HsvColor hsvLower, HsvColor hsvUpper,
                                          UINT uCombineMode);

/* Flood fills from the seed pixel at column nX, row nY: the pixels
 * 4-connected to the seed through pixels whose colour passes, each channel
 * within [seed - lower, seed + upper] clamped to 0..255.  The seed is
 * selected only when it passes and a neighbour does.  The region is
 * combined with the bitmap's by uCombineMode.  Results as for the colour
 * regions, and RC_INVALID_PARAMETER for a seed outside the bitmap. */
/* lower = upper = bits 0-7 of uTolerance. */
int __stdcall Z_SetBitmapRgnMagicWand(BitmapHandle *pBitmap, int nX, int nY, UINT uTolerance, UINT uCombineMode);
/* lower = bits 16-23 of crLowerTolerance, upper = bits 16-23 of
 * crUpperTolerance, for every channel. */
int __stdcall Z_SetBitmapRgnMagicWandExt(BitmapHandle *pBitmap, int nX, int nY, COLORREF crLowerTolerance,
                                         COLORREF crUpperTolerance, UINT uCombineMode);
/* As Z_SetBitmapRgnMagicWandExt; a pixel whose red, green or blue equals
 * that of crBorder never passes. */
int __stdcall Z_SetBitmapRgnBorder(BitmapHandle *pBitmap, int nX, int nY, COLORREF crBorder,
                                   COLORREF crLowerTolerance, COLORREF crUpperTolerance, UINT uCombineMode);

/* ---------------------------------------------------------------------
 * Painting.  Source rectangles are in the bitmap's displayed coordinates
 * (as its Orientation shows it; null pSrc: the whole image), destination
 * rectangles in logical coordinates of hDC.  pClipSrc and pClipDst may be
 * null.  dwRop reaches GDI unchanged (SRCCOPY for a plain paint).
 * ------------------------------------------------------------------- */
int __stdcall Z_PaintDC(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                        const RECT *pDst, const RECT *pClipDst, DWORD dwRop);
/* Paints stored rows nRow .. nRow + |nCount| - 1 held at pBuffer in the
 * bitmap's layout; nCount < 0: the rows are handed over last first.  The
 * buffer is unchanged on return. */
int __stdcall Z_PaintDCBuffer(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                              const RECT *pDst, const RECT *pClipDst, DWORD dwRop, BYTE *pBuffer, int nRow,
                              int nCount);
/* Combines a texture into the bitmap's pixels in place, as if printed on
 * textured paper: the underlay in 8-bit gray, as its orientation shows it,
 * moves every channel of the bitmap's pixels by its gray level - 128
 * (clamped to 0..255).  uMode 0 repeats the underlay from the top-left
 * pixel, 1 stretches it to the bitmap's size.  Only pixels inside the
 * bitmap's region change (all without one); palette bitmaps take the
 * nearest palette entry.  The underlay is unchanged.  Results:
 * RC_SUCCESS; RC_NO_BITMAP when either bitmap is null or unallocated;
 * RC_INVALID_PARAMETER for another uMode; RC_NO_MEMORY; a failing kernel
 * operation's code (rows written before it stay changed). */
int __stdcall Z_UnderlayBitmap(BitmapHandle *pBitmap, BitmapHandle *pUnderlay, UINT uMode);

/* ---------------------------------------------------------------------
 * Magnifying glass over an application's window that shows a bitmap in a
 * known destination rectangle (client coordinates).  Normal mode
 * subclasses the window: the left button shows a glass centred on the
 * cursor, moving drags it, releasing removes it.  Manual mode (start flag
 * MAGGLASS_MANUAL) leaves the window alone; the caller shows and moves the
 * glass.  The state hangs on the window as the property "ZORAMAGDATA"; a
 * window has at most one glass.  Every function but the start functions
 * returns RC_INVALID_PARAMETER for a window that is not one or has no
 * glass.  Updates of rectangle, shape, paint flags and paint options are
 * refused (RC_INVALID_PARAMETER) while the glass is busy: in normal mode
 * while the button holds it or data requests are unanswered, in manual
 * mode while it is shown.
 * ------------------------------------------------------------------- */
#define MAGGLASS_INCLUDE_COLORS  0x1u  /* the mask colours are shown, the others hidden */
#define MAGGLASS_MANUAL          0x2u  /* manual mode: no subclassing */
#define MAGGLASS_COLORS_FROM_RGN 0x4u  /* mask colours: those used inside the bitmap's region */

/* Called after the bitmap is painted into the off-screen DC (glass
 * coordinates from 0, 0) and before crosshair and border; x, y is the
 * cursor, pGlass the glass rectangle in client coordinates.  The result
 * is ignored. */
typedef int(__stdcall *MagGlassOwnerDrawProc)(HWND hWnd, HDC hOffscreenDC, int x, int y, const RECT *pGlass,
                                                void *pData);
/* On-demand data: asks for the 8 x 8 pixel blocks first..last (block
 * index = row x blocks across + column) whose bit in pPresent (one bit per
 * block of the block rectangle, row by row, least significant bit first)
 * is clear; answered with Z_UpdateMagGlassExt.  pPresent is freed when the
 * callback returns; the result is ignored. */
typedef int(__stdcall *MagGlassRequestProc)(HWND hWnd, int nFirst, int nLast, const BYTE *pPresent,
                                              int nPresentBytes, void *pData);

/* 1 when hWnd is a window with a glass, else 0. */
int __stdcall Z_WindowHasMagGlass(HWND hWnd);
/* Starts a glass of nWidth x nHeight window pixels (at least 10 each) at
 * nZoom percent (at least 100) over pBitmap shown in *pDest.  crPen: the
 * border and crosshair colour; hCursor: the cursor over the window (null:
 * the library's own); bEllipse: round glass; nBorderWidth: border pen
 * width (0: none); bBorder3D: a rectangular glass gets a sunken edge;
 * uPaintFlags: display mode while painting the glass (0: the thread's);
 * pMaskColors/nMaskColors: colours hidden (or shown, MAGGLASS_INCLUDE_COLORS);
 * uFlags MAGGLASS_*; nCrosshair 0 none, 1 lines, 2 lines with inverted-pen
 * neighbours, 3 lines with inverted-screen neighbours; bIgnoreRegion: the
 * bitmap's region does not limit the glass; bCenterPixels: parity of the
 * half-pixel alignment; pfnRequest/pRequestData: on-demand data.
 * Results: RC_SUCCESS; RC_INVALID_PARAMETER (no window, a glass already,
 * zoom < 100, size < 10, null pDest, null colours with a count);
 * RC_NO_BITMAP; RC_NO_MEMORY; RC_FAILURE (the property could not be set). */
int __stdcall Z_StartMagGlassExt(HWND hWnd, BitmapHandle *pBitmap, const RECT *pDest, int nWidth, int nHeight,
                                 int nZoom, COLORREF crPen, HCURSOR hCursor, UINT uReserved, int bEllipse,
                                 int nBorderWidth, int bBorder3D, UINT uPaintFlags, const COLORREF *pMaskColors,
                                 int nMaskColors, UINT uFlags, int nCrosshair, int bIgnoreRegion,
                                 int bCenterPixels, MagGlassRequestProc pfnRequest, void *pRequestData);
/* Z_StartMagGlassExt with uFlags 0 and no request callback. */
int __stdcall Z_StartMagGlass(HWND hWnd, BitmapHandle *pBitmap, const RECT *pDest, int nWidth, int nHeight,
                              int nZoom, COLORREF crPen, HCURSOR hCursor, UINT uReserved, int bEllipse,
                              int nBorderWidth, int bBorder3D, UINT uPaintFlags, const COLORREF *pMaskColors,
                              int nMaskColors, int nCrosshair, int bIgnoreRegion, int bCenterPixels);
/* Removes the glass, restores the window procedure and style, frees all. */
int __stdcall Z_StopMagGlass(HWND hWnd);
/* New destination rectangle (null: RC_INVALID_PARAMETER). */
int __stdcall Z_UpdateMagGlassRect(HWND hWnd, const RECT *pDest);
/* Display mode while painting the glass; 0 the thread's. */
int __stdcall Z_UpdateMagGlassPaintFlags(HWND hWnd, UINT uFlags);
/* Shape 0 rectangle, 1 ellipse (both at the start size), 2 a copy of hRgn
 * (its box gives the glass size; the caller keeps hRgn). */
int __stdcall Z_UpdateMagGlassShape(HWND hWnd, UINT uShape, HRGN hRgn);
/* pOptions: contrast, gamma, intensity used while painting the glass. */
int __stdcall Z_SetMagGlassPaintOptions(HWND hWnd, const INT32 *pOptions);
/* Owner-draw callback (null removes it); accepted while busy. */
int __stdcall Z_SetMagGlassOwnerDrawCallback(HWND hWnd, MagGlassOwnerDrawProc pfnDraw, void *pData);

/* Manual mode.  Show (1) or remove (0) the glass at its position. */
int __stdcall Z_ShowMagGlass(HWND hWnd, int bShow);
/* Moves the glass centre to (x, y) (client coordinates). */
int __stdcall Z_SetMagGlassPos(HWND hWnd, int x, int y);
/* Hands the glass a bitmap of the start bitmap's size whose pixels are
 * taken over block by block as the glass is shown or moved (bRefresh) or
 * not at all; null or unallocated drops the one held.  Only while hidden.
 * RC_SIZE_MISMATCH for another size. */
int __stdcall Z_UpdateMagGlassBitmap(HWND hWnd, BitmapHandle *pBitmap, int bRefresh);
/* Answers a data request: pColors holds one colour per pixel of every
 * block of nFirst..nLast whose bit in pPresent is clear, block after
 * block, rows of a block top down; bUpdate copies the answered pixels into
 * the glass's bitmap.  Replays one held-back mouse event.  RC_FAILURE when
 * no request callback is set; RC_NO_BITMAP without a data bitmap. */
int __stdcall Z_UpdateMagGlassExt(HWND hWnd, const COLORREF *pColors, const BYTE *pPresent, int nFirst,
                                  int nLast, int bUpdate);

/* ---------------------------------------------------------------------
 * Pan window: a small captioned window owned by an application window.
 * It shows the whole bitmap fitted into its client area with a rectangle
 * over the part the owner shows; the user drags the rectangle with the
 * left button and the owner hears of it through its callback (and scrolls
 * its own view).  The window owns its state; it runs on the owner's thread.
 * ------------------------------------------------------------------- */
#define PAN_NOTIFY_CREATED       0  /* the pan window was created */
#define PAN_NOTIFY_MOVED_RECT    1  /* the user moved the rectangle; pRect: the new part in bitmap pixels */
#define PAN_NOTIFY_DESTROYED     2  /* the pan window is being destroyed */
#define PAN_NOTIFY_MOVED_WINDOW  3  /* the pan window was moved */
#define PAN_NOTIFY_PAINTED       4  /* the pan window was painted */

/* In Z_UpdatePanWindow's display flags: repaint the whole window (the bit
 * is not kept with the flags). */
#define PAN_REPAINT_ALL 0x10000000u

/* Pan window notification: hPan the pan window, hOwner its owner, uCode
 * PAN_NOTIFY_*, pRect null but for PAN_NOTIFY_MOVED_RECT, pData the
 * caller's value.  The result is ignored. */
typedef int (__stdcall *PanNotifyProc)(HWND hPan, HWND hOwner, UINT uCode, RECT *pRect, void *pData);

/* Creates a hidden pan window over hOwner for pBitmap (not owned: keep it
 * alive or update the window), at screen position x, y with a client area
 * of at most nWidth x nHeight fitted to the picture; pszName (1..259
 * characters) names the window class and is the first caption.  hIcon is
 * the small icon, hCursor the cursor over the client area (null: left
 * alone), bSysMenu adds the system menu (and its Close); uDisplayFlags
 * (DISP_*) steer its paints.  The window reaches the caller with
 * PAN_NOTIFY_CREATED.  RC_INVALID_PARAMETER: no owner window, no name;
 * RC_NO_BITMAP: no allocated bitmap; RC_NO_MEMORY; RC_CREATE_WINDOW. */
int __stdcall Z_CreatePanWindow(HWND hOwner, BitmapHandle *pBitmap, UINT uDisplayFlags, int x, int y, int nWidth,
                                int nHeight, const char *pszName, HICON hIcon, HCURSOR hCursor, int bSysMenu,
                                PanNotifyProc pfnNotify, void *pNotifyData);
/* Tells the pan window that the owner shows pBitmap in pDisplayRect (owner
 * client coordinates, the image's aspect): recomputes the rectangle from
 * the owner's client area, resizes the window when the picture's shape
 * changed, sets the caption (null: kept) and shows the window.
 * RC_INVALID_PARAMETER: null or flat pDisplayRect, a bitmap of width 0,
 * not a pan window, the owner minimised (after the settings were taken);
 * RC_NO_BITMAP: null or unallocated bitmap, and the window is destroyed. */
int __stdcall Z_UpdatePanWindow(HWND hPan, BitmapHandle *pBitmap, UINT uDisplayFlags, COLORREF crRectColor,
                                const char *pszCaption, const RECT *pDisplayRect);
/* Destroys a pan window.  RC_INVALID_PARAMETER for any other window. */
int __stdcall Z_DestroyPanWindow(HWND hPan);

/* Z_PaintDC and Z_PaintDCBuffer limited to the bitmap's region: the region
 * as the paint of pSrc into pDst shows it becomes the DC's clip region for
 * the paint (the caller's clip region is put back afterwards).  The
 * paint's results; RC_NO_BITMAP for a null bitmap, RC_INVALID_PARAMETER
 * for a null pDst, RC_NO_MEMORY when the region cannot be converted. */
int __stdcall Z_PaintRgnDC(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                           const RECT *pDst, const RECT *pClipDst, DWORD dwRop);
int __stdcall Z_PaintRgnDCBuffer(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                                 const RECT *pDst, const RECT *pClipDst, DWORD dwRop, BYTE *pBuffer, int nRow,
                                 int nCount);
/* Draws the region's outline (of the bitmap rectangle without a region) in
 * caller coordinates of pTransform with the DC's text and background
 * colours in a pattern of diagonal stripes; uType 0, 1, 2, ... marches the
 * dashes one pixel per step.  Always RC_SUCCESS (a null bitmap draws
 * nothing). */
int __stdcall Z_FrameBitmapRgn(HDC hDC, BitmapHandle *pBitmap, RgnTransform *pTransform, UINT uType);
/* Xors crColor into the DC inside the region (nothing without one); twice
 * with one colour restores the pixels.  Leaves the DC's background colour
 * white.  RC_NO_BITMAP for a null bitmap, else RC_SUCCESS. */
int __stdcall Z_ColorBitmapRgn(HDC hDC, BitmapHandle *pBitmap, RgnTransform *pTransform, COLORREF crColor);

/* ---------------------------------------------------------------------
 * Colour utilities.
 * ------------------------------------------------------------------- */

/* Converts a colour to hue, saturation and value, 8 bits each; bits 24-31
 * of the result are those of crColor.  Accepts every value. */
HsvColor __stdcall Z_RGBtoHSV(COLORREF crColor);
/* Converts hue, saturation and value (bits 24-31 ignored) to a colour whose
 * bits 24-31 are zero.  Accepts every value. */
COLORREF __stdcall Z_HSVtoRGB(HsvColor hsv);

/* Colour-space formats of Z_ConvertColorSpace, in two families that never
 * mix: codes with bits 4-7 zero hold 8-bit components, the others 16-bit
 * ones.  Pixel layouts in memory order.  YUV and YIQ components are signed
 * 16-bit fixed point in both families, 16384 standing for full intensity. */
#define CS_RGB     0x00  /* 3 bytes: blue, green, red */
#define CS_YUV     0x01  /* 3 x int16: Y, B - Y, R - Y */
#define CS_CMYK    0x02  /* 4 bytes: C, M, Y, K */
#define CS_HSV     0x03  /* 3 bytes: hue, saturation, value (as Z_RGBtoHSV) */
#define CS_HLS     0x04  /* 3 bytes: hue, lightness, saturation */
#define CS_YIQ     0x05  /* 3 x int16: Y, I, Q */
#define CS_CMY     0x06  /* 3 bytes: C, M, Y */
#define CS_RGB16   0x10  /* 3 x uint16: blue, green, red */
#define CS_YUV16   0x20  /* 3 x int16: Y, B - Y, R - Y */
#define CS_YIQ16   0x30  /* 3 x int16: Y, I, Q */
#define CS_HSV16   0x40  /* 3 x uint16: hue, saturation, value */
#define CS_HLS16   0x50  /* 3 x uint16: hue, lightness, saturation */
#define CS_CMY16   0x60  /* 3 x uint16: C, M, Y */
#define CS_CMYK16  0x70  /* 4 x uint16: C, M, Y, K */

/* Converts nCount pixels at pSrc in format nSrcFormat into pDst in format
 * nDstFormat, through RGB of the family (a scratch run unless the source
 * is RGB).  The two may be the same buffer unless the source is RGB and
 * the destination is not (the destination must then not overlap it).
 * A count below 1 converts nothing.  RC_INVALID_PARAMETER: a null
 * pointer, a code not listed or codes of different families (nothing is
 * written); RC_NO_MEMORY: no scratch run. */
int __stdcall Z_ConvertColorSpace(const void *pSrc, void *pDst, int nCount, int nSrcFormat, int nDstFormat);

/* ---------------------------------------------------------------------
 * Metafiles.  Bitmaps become WMF or EMF metafiles by being painted into a
 * metafile DC (EMFs carry the description "ZORAVISTA Metafile v1.0"), and
 * metafiles become 24-bit bitmaps by being played into a DC on a new
 * bitmap.  A MetaBitmap describes a metafile and owns its handle.
 * ------------------------------------------------------------------- */
typedef struct MetaBitmap {
    HANDLE  Handle;        /* HMETAFILE or HENHMETAFILE, owned by the record */
    INT32   IsEnhanced;    /* non-zero for an EMF */
    INT32   WindowOrgX;    /* window origin used to play a WMF */
    INT32   WindowOrgY;
    INT32   WindowExtX;    /* window extent used to play a WMF (logical size) */
    INT32   WindowExtY;
    INT32   PixelWidth;    /* preferred size in pixels, 0 when unknown */
    INT32   PixelHeight;
    INT32   ResolutionX;   /* dots per inch */
    INT32   ResolutionY;
} MetaBitmap;

/* A new metafile (bEnhanced non-zero: EMF) showing the bitmap as
 * displayed, one logical unit a pixel; 0 for a null or unallocated bitmap
 * or when GDI fails.  The caller deletes it. */
HANDLE __stdcall Z_ConvertToMetafile(BitmapHandle *pBitmap, int bEnhanced);
/* The same; when a metafile was made the bitmap is freed (K_FreeBitmap). */
HANDLE __stdcall Z_ChangeToMetafile(BitmapHandle *pBitmap, int bEnhanced);
HANDLE __stdcall Z_ConvertToWMF(BitmapHandle *pBitmap);
HANDLE __stdcall Z_ConvertToEMF(BitmapHandle *pBitmap);
HANDLE __stdcall Z_ChangeToWMF(BitmapHandle *pBitmap);
HANDLE __stdcall Z_ChangeToEMF(BitmapHandle *pBitmap);

/* Plays a WMF or EMF (the kind is found from the handle) into a new
 * 24-bit, blue-first, top-down kernel bitmap written to *pBitmap.  Size:
 * nWidth x nHeight; both 0 the metafile's natural size (its pixel size,
 * else its window extent); one 0 follows from the other by the natural
 * aspect ratio.  RC_INVALID_PARAMETER (null bitmap), the codes of
 * Z_GetMetafileInfo and K_CreateBitmap, RC_NO_MEMORY (no DC on the
 * bitmap).  On failure *pBitmap is unchanged.  The Change forms delete
 * the metafile on success; the WMF/EMF names are the same functions. */
int __stdcall Z_ConvertFromMetafile(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
int __stdcall Z_ChangeFromMetafile(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
int __stdcall Z_ConvertFromWMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
int __stdcall Z_ConvertFromEMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
int __stdcall Z_ChangeFromWMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
int __stdcall Z_ChangeFromEMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);

/* Describes a metafile (the handle is not copied: pInfo->Handle is
 * hMetafile itself).  An EMF: pixel size and resolutions from its header,
 * window fields 0.  A WMF: as Z_ParseMetaBits of its bits.
 * RC_INVALID_PARAMETER (null info, or no bits), RC_NO_MEMORY,
 * RC_INVALID_FORMAT. */
int __stdcall Z_GetMetafileInfo(HANDLE hMetafile, MetaBitmap *pInfo);

/* Describes metafile bytes: an optional 22-byte placeable header (key
 * 0x9AC6CDD7) and a standard WMF header, or an EMF.  Reads the first ten
 * WMF records for the window extent (SETWINDOWEXT), the pixel size
 * (SETVIEWPORTEXT) and the mapping mode (SETMAPMODE; MM_TEXT is rewritten
 * in place to MM_ANISOTROPIC, so bytes holding such a record must be
 * writable).  With bCreate non-zero pMeta->Handle gets a
 * new metafile made from the bytes.  RC_INVALID_PARAMETER (null pointer),
 * RC_INVALID_FORMAT (neither WMF nor EMF, truncated records, GDI refused
 * the bytes; EMF bytes with bCreate 0). */
int __stdcall Z_ParseMetaBits(const void *pBits, UINT uSize, MetaBitmap *pMeta, int bCreate);
/* Z_ParseMetaBits (creating) over a whole file.  RC_FILE_OPEN,
 * RC_FILE_SEEK, RC_NO_MEMORY, RC_ROW_READ (short read), its codes. */
int __stdcall Z_LoadMetaBitmap(const char *pszFileName, MetaBitmap *pMeta);
/* The metafile's bytes: *puSize always; with ppBits not null a new kernel
 * block holding them (free with K_Free).  RC_INVALID_PARAMETER (null meta
 * or size, or the bytes could not be fetched), RC_NO_MEMORY. */
int __stdcall Z_AllocateMetaBitmapBits(const MetaBitmap *pMeta, void **ppBits, UINT *puSize);
/* *pDst = *pSrc with a copy of the metafile (in memory).  A copy that GDI
 * refuses leaves pDst->Handle 0. */
int __stdcall Z_CopyMetaBitmap(MetaBitmap *pDst, const MetaBitmap *pSrc);
/* Plays the metafile into pDest (a WMF through the record's window origin
 * and extent); the play function's result, 0 for a null record, handle or
 * rectangle. */
int __stdcall Z_PaintMetaBitmap(HDC hDC, const MetaBitmap *pMeta, const RECT *pDest);
/* Deletes the metafile and sets Handle to 0; null record or handle: nothing. */
void __stdcall Z_DeleteMetaBitmap(MetaBitmap *pMeta);

/* ---------------------------------------------------------------------
 * Animation playback: a caller-driven state machine that composes the
 * frames of a kernel bitmap list (K_CreateBitmapList, zvkern.h) into a
 * target bitmap the caller owns.  A frame's descriptor gives its place
 * (Left, Top, in target pixels, from the top), Delay (ms), DisposalMethod
 * (2 background, 3 previous), TransparentColor with BITMAP_TRANSPARENT,
 * and BITMAP_WAIT_INPUT.  Calling loop: Z_ProcessPlayback; paint and clear
 * the update rectangle when it is not empty; in the wait states wait
 * (Z_GetPlaybackDelay) or call Z_CancelPlaybackWait on user input; in
 * PLAYSTATE_END stop or step again to loop.  A playback belongs to the
 * thread that drives it.  Every function returns RC_INVALID_PARAMETER for
 * a null handle or one that does not lock, and for a null required
 * out-pointer.
 * ------------------------------------------------------------------- */
typedef HGLOBAL PlaybackHandle;

#define PLAYSTATE_START             0  /* new or restarted; target not cleared */
#define PLAYSTATE_ADVANCE           1  /* target cleared; move to the next frame */
#define PLAYSTATE_RENDER            2  /* draw the frame at the current index */
#define PLAYSTATE_WAIT_DATA         3  /* the last frame is still arriving */
#define PLAYSTATE_RENDERED          4  /* frame drawn (or skipped); choose the wait */
#define PLAYSTATE_WAIT_INPUT        5  /* wait for the user */
#define PLAYSTATE_WAIT_DELAY        6  /* wait for the frame's delay */
#define PLAYSTATE_WAIT_DELAY_INPUT  7  /* wait for the delay or the user */
#define PLAYSTATE_DISPOSE           8  /* wait over; apply the disposal method */
#define PLAYSTATE_DISPOSED          9  /* disposed; move to the next frame */
#define PLAYSTATE_END              10  /* past the last frame */

/* A new playback of pTarget (must be allocated) over the list hList (a new
 * empty list when null; the caller owns the list either way).  *pOut is
 * null until success.  RC_INVALID_PARAMETER (null pOut or pTarget, target
 * without BITMAP_ALLOCATED), RC_NO_MEMORY, or the kernel's list status. */
int __stdcall Z_CreatePlayback(PlaybackHandle *pOut, BitmapHandle *pTarget, void *hList);
/* Frees the playback's saved area, row tracking and record; hands the frame
 * list back through *pOutList when not null (it is never destroyed here). */
int __stdcall Z_DestroyPlayback(PlaybackHandle h, void **pOutList);
/* One step of the state machine; writes the new state when pOutState is
 * not null.  Kernel failures inside a step abandon the frame's drawing but
 * are not reported.  RC_SUCCESS. */
int __stdcall Z_ProcessPlayback(PlaybackHandle h, UINT *pOutState);
/* The state (PLAYSTATE_*) and the current frame index (-1 before the
 * first). */
int __stdcall Z_GetPlaybackState(PlaybackHandle h, UINT *pOutState);
int __stdcall Z_GetPlaybackIndex(PlaybackHandle h, int *pOutIndex);
/* The union of the target areas changed since it was last cleared (in the
 * target's stored pixels); copied when pOutRect is not null, then cleared
 * to (0, 0, 0, 0) when bClear is non-zero. */
int __stdcall Z_GetPlaybackUpdateRect(PlaybackHandle h, RECT *pOutRect, int bClear);
int __stdcall Z_ClearPlaybackUpdateRect(PlaybackHandle h);
/* Milliseconds left of the current frame's delay in the two delay states,
 * else 0. */
int __stdcall Z_GetPlaybackDelay(PlaybackHandle h, UINT *pOutDelay);
/* Ends a wait (states 5, 6, 7 become PLAYSTATE_DISPOSE); other states are
 * left alone.  This is how the caller reports user input. */
int __stdcall Z_CancelPlaybackWait(PlaybackHandle h);
/* Replays up to frame nIndex (-1 .. item count) without honouring waits:
 * an earlier index restarts from a cleared target; the target then holds
 * what normal playback would show when that frame becomes current.  Ends
 * row tracking.  RC_INVALID_PARAMETER for an index out of range. */
int __stdcall Z_SetPlaybackIndex(PlaybackHandle h, int nIndex);
/* Appends a frame (the list owns its data from then on) and tracks its
 * rows: the playback waits in PLAYSTATE_WAIT_DATA before drawing it until
 * every row was validated.  A playback past its end continues with it.
 * RC_INVALID_PARAMETER (null frame), RC_NO_MEMORY (nothing appended). */
int __stdcall Z_AppendPlayback(PlaybackHandle h, BitmapHandle *pFrame);
/* Marks rows nRow .. nRow + nCount - 1 of the last appended frame as
 * arrived (rows outside it are ignored; each row counts once). */
int __stdcall Z_ValidatePlaybackLines(PlaybackHandle h, int nRow, int nCount);

/* ---- Device-dependent bitmaps and screen capture -------------------- */
/* A new device-dependent bitmap showing the bitmap as its orientation
 * displays it, painted through the library (library dithering, RGB
 * colour tables) on a bitmap compatible with hDC (the screen when null);
 * a monochrome bitmap for 1-bit black-and-white data.  Null on failure. */
HBITMAP __stdcall Z_ConvertToDDB(HDC hDC, BitmapHandle *pBitmap);
/* Z_ConvertToDDB, then frees the bitmap when a handle came back. */
HBITMAP __stdcall Z_ChangeToDDB(HDC hDC, BitmapHandle *pBitmap);
/* Fills pBitmap (holding nothing) from the device-dependent bitmap, read
 * on hDC (the screen when null) with hPalette (may be null) selected.
 * RC_INVALID_PARAMETER (no or unreadable hDDB), RC_NO_MEMORY, or the
 * kernel's load status (RC_SUCCESS). */
int __stdcall Z_ConvertFromDDB(HDC hDC, BitmapHandle *pBitmap, HBITMAP hDDB, HPALETTE hPalette);
/* Z_ConvertFromDDB, then on RC_SUCCESS deletes hDDB and hPalette. */
int __stdcall Z_ChangeFromDDB(HDC hDC, BitmapHandle *pBitmap, HBITMAP hDDB, HPALETTE hPalette);
/* Copies pRect of hDC (the screen when null) into pBitmap (holding
 * nothing); a rectangle with bottom above top takes |height| rows from
 * its top.  RC_INVALID_PARAMETER (null pointers, empty rectangle, no
 * memory DC), RC_NO_MEMORY (no device bitmap), else the conversion's. */
int __stdcall Z_ScreenCaptureBitmap(HDC hDC, BitmapHandle *pBitmap, const RECT *pRect);

/* ---- Clipboard -------------------------------------------------------
 * A bitmap goes on the clipboard as palette, packed DIB, device-dependent
 * bitmap and, when it has a region, the region's 1-bit mask as a packed
 * DIB under the registered format "ZORAVISTA 8.0 Region". */
#define CLIP_EMPTY_FIRST 0x01u /* empty the clipboard first */
#define CLIP_DIB         0x02u /* put CF_DIB */
#define CLIP_BITMAP      0x04u /* put CF_BITMAP (made on the window's DC) */
#define CLIP_PALETTE     0x08u /* put CF_PALETTE (made on the window's DC) */
#define CLIP_REGION      0x10u /* put the region format when there is a region */
#define CLIP_ALL         0x1Fu
/* Puts the formats of uFlags, all prepared before the clipboard is
 * opened.  RC_NO_BITMAP (null or unallocated bitmap), RC_INVALID_PARAMETER
 * (no DC for hWnd, clipboard not opened), RC_NO_MEMORY (DIB, region DIB
 * or DDB not made), or the mask's own status.  Nothing stays allocated on
 * failure. */
int __stdcall Z_CopyToClipboardExt(HWND hWnd, BitmapHandle *pBitmap, UINT uFlags);
/* Z_CopyToClipboardExt with CLIP_ALL: 1 on success, else 0. */
int __stdcall Z_CopyToClipboard(HWND hWnd, BitmapHandle *pBitmap);
/* Fills pBitmap (holding nothing) from the first of CF_DIB, CF_BITMAP,
 * CF_ENHMETAFILE and CF_METAFILEPICT on the clipboard (metafiles played
 * on white, 24 bits), with the region of the region format when present.
 * 1 on success, 0 on any failure (pBitmap then unchanged). */
int __stdcall Z_CopyFromClipboard(HWND hWnd, BitmapHandle *pBitmap);
/* 1 when CF_DIB, CF_BITMAP or CF_METAFILEPICT is available, else 0. */
int __stdcall Z_ClipboardReady(void);

/* ---- Printing ----------------------------------------------------------
 * A print job is one page: a call with hDC 0 opens the default printer
 * (profile "windows", "device"), starts the document "ZORA GRAPHIC" and
 * the page; later calls pass the DC returned before; a call with bEndDoc
 * ends page and document and deletes the DC (the result is then only a
 * success mark).  A null bitmap paints nothing.  0 on failure. */
/* Through the paint dispatcher: width and height 0 fit the page keeping
 * the aspect ratio (one 0: that side follows the ratio), x or y 0
 * centres; with the thread's status callback (K_SetStatusCallback) row
 * by row with progress 0..100, an answer other than RC_SUCCESS aborting
 * the job. */
HDC __stdcall Z_PrintBitmapExt(HDC hDC, BitmapHandle *pBitmap, int x, int y, int nWidth, int nHeight,
                               int bEndDoc);
/* The bitmap's rows in one StretchDIBits at (x, y, nWidth, nHeight) as
 * given; formats StretchDIBits cannot take go to Z_PrintBitmapExt. */
HDC __stdcall Z_PrintBitmapFast(HDC hDC, BitmapHandle *pBitmap, int x, int y, int nWidth, int nHeight,
                                int bEndDoc);
/* Z_PrintBitmapExt on the calling thread's job DC, kept between calls
 * (cleared by bEndDoc and by failures). */
HDC __stdcall Z_PrintBitmap(BitmapHandle *pBitmap, int x, int y, int nWidth, int nHeight, int bEndDoc);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZVDISP_H */
