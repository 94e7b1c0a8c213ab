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
 * RC_INVALID_PARAMETER for a null pointer; the kernel's codes. */
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

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZVDISP_H */
