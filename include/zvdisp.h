/**
 * @file zvdisp.h
 * @brief The display library (zvdisp.dll): painting bitmaps onto device
 *        contexts, regions on bitmaps, window tools, animation playback,
 *        device transfer and colour utilities.
 *
 * Every function is __stdcall and exported from zvdisp.dll under its
 * undecorated Z_ name on both architectures.  Functions that return `int`
 * return a status code (RC_*, zvtypes.h) unless their entry says
 * otherwise.  Coordinates: "stored" means the bitmap's pixels as they lie
 * in memory (row 0 first), "displayed" the image as its Orientation shows
 * it; see @ref coordinates on the main page.
 */
#ifndef ZVDISP_H
#define ZVDISP_H

#include "zvtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/**
 * @defgroup dispmode Display-mode flags
 * @brief Per-thread flags that steer painting (Z_SetDisplayMode()).
 *
 * Each thread has its own display mode; a new thread starts with
 * #DISP_DEFAULT_MODE.  Set the mode on the thread that paints.
 * @{
 */
#define DISP_ORDERED_DITHER    0x0001u  /**< Library dithering uses ordered 8x8 matrices instead of error diffusion. */
#define DISP_DIRECT_PAINT      0x0002u  /**< Try one StretchDIBits straight from the pixels when the bitmap allows it. */
#define DISP_PALETTE_INDICES   0x0004u  /**< Strips of 8 bits or fewer are sent as palette indices (DIB_PAL_COLORS): select and realise the paint palette (Z_CreatePaintPalette()) around every paint, on every device.  Without it the strips carry RGB colour tables. */
#define DISP_LIBRARY_DITHER    0x0008u  /**< On devices of 8 bits or fewer the library reduces colours itself (to the fixed palette of the device class; see #DISP_DITHER_8BIT for 8-bit devices); without it GDI reduces them. */
#define DISP_SCALE_TO_GRAY     0x0010u  /**< 1-bit black-and-white bitmaps painted to a device of more than 1 bit go through the gray painters (shrunk pages stay legible). */
#define DISP_CLUSTERED_DITHER  0x0020u  /**< Ordered dithering to 1 bit uses the clustered-dot matrix. */
#define DISP_SCALE_BITONAL     0x0040u  /**< 1-bit black-and-white bitmaps go through the 1-bit scaling painters (when #DISP_SCALE_TO_GRAY did not apply). */
#define DISP_DITHER_8BIT       0x0080u  /**< Library colour reduction on devices of exactly 8 bits too (with #DISP_LIBRARY_DITHER). */
#define DISP_CUBE_PALETTE      0x0100u  /**< Reduce to the 6x6x6 colour cube instead of 3-3-2 on 8-bit devices. */
#define DISP_SCALE_FILTER_ALT  0x0200u  /**< Filtered scaling with the area-average filter (every source pixel under a destination pixel counts; best for shrinking).  Wins when #DISP_SCALE_FILTER is set too. */
#define DISP_SCALE_FILTER      0x0400u  /**< Filtered scaling with the bilinear filter (best for enlarging). */

/** The mode a new thread starts with: palette indices and library dithering (0x0C). */
#define DISP_DEFAULT_MODE (DISP_PALETTE_INDICES | DISP_LIBRARY_DITHER)
/** @} */

/**
 * @brief Changes the calling thread's display mode.
 *
 * The bits of @p uFlagMask take their values from @p uFlagValues; the
 * other bits keep theirs.  Other threads are not affected.
 * @param uFlagMask The DISP_* bits to change.
 * @param uFlagValues Their new values (bits outside the mask are ignored).
 * @return The previous mode.
 */
UINT __stdcall Z_SetDisplayMode(UINT uFlagMask, UINT uFlagValues);
/**
 * @brief The calling thread's display mode.
 * @return The DISP_* bits (#DISP_DEFAULT_MODE until the thread changes
 *         them).
 */
UINT __stdcall Z_GetDisplayMode(void);

/* ---- Paint intensity, contrast and gamma ----------------------------- */

/**
 * @brief Sets a bitmap's paint intensity and rebuilds its paint table
 *        (PaintLUT), through which every painted colour goes.  The pixels
 *        do not change.
 * @param pBitmap The bitmap.
 * @param nValue -1000 to 1000; 0 is neutral.
 * @retval RC_SUCCESS Set.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER A value out of range.
 */
int __stdcall Z_SetPaintIntensity(BitmapHandle *pBitmap, int nValue);
/**
 * @brief Sets a bitmap's paint contrast and rebuilds its paint table.
 * @param pBitmap The bitmap.
 * @param nValue -1000 to 1000; 0 is neutral.
 * @retval RC_SUCCESS Set.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER A value out of range.
 */
int __stdcall Z_SetPaintContrast(BitmapHandle *pBitmap, int nValue);
/**
 * @brief Sets a bitmap's paint gamma and rebuilds its paint table.
 * @param pBitmap The bitmap.
 * @param uValue Gamma x 100 (100 neutral); not 0.
 * @retval RC_SUCCESS Set.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER 0.
 */
int __stdcall Z_SetPaintGamma(BitmapHandle *pBitmap, UINT uValue);
/**
 * @brief A bitmap's paint intensity.
 * @param pBitmap The bitmap.
 * @return The value itself (-1000 to 1000), or #RC_INVALID_PARAMETER for a
 *         null bitmap.
 */
int __stdcall Z_GetPaintIntensity(BitmapHandle *pBitmap);
/**
 * @brief A bitmap's paint contrast.
 * @param pBitmap The bitmap.
 * @return The value itself (-1000 to 1000), or #RC_INVALID_PARAMETER for a
 *         null bitmap.
 */
int __stdcall Z_GetPaintContrast(BitmapHandle *pBitmap);
/**
 * @brief A bitmap's paint gamma.
 * @param pBitmap The bitmap.
 * @return Gamma x 100, or #RC_INVALID_PARAMETER for a null bitmap.
 */
int __stdcall Z_GetPaintGamma(BitmapHandle *pBitmap);

/* ---- Window level ---------------------------------------------------- */

/**
 * @brief Sets the window level of gray data deeper than 8 bits: the
 *        significant bits and a colour table with one entry per value of
 *        those bits.
 * @param pBitmap The bitmap.
 * @param nLowBit Lowest significant bit (negative: 0).
 * @param nHighBit Highest significant bit (negative: BitsPerPixel - 1).
 * @param pTable The colour table, copied into the bitmap (which owns the
 *        copy); null with @p uTableLength 0 keeps no table.
 * @param uTableLength Entries in @p pTable.
 * @param bApply 1 puts the table in force for painting
 *        (#BITMAP_WINDOW_LEVEL), 0 only records it.
 * @retval RC_SUCCESS Set.
 * @retval RC_NO_BITMAP Null bitmap.
 * @retval RC_INVALID_PARAMETER Low bit above high bit, a length without a
 *         table, @p bApply other than 0 and 1.
 * @retval RC_NO_MEMORY The table could not be copied.
 */
int __stdcall Z_WindowLevel(BitmapHandle *pBitmap, int nLowBit, int nHighBit, const RGBQUAD *pTable,
                            UINT uTableLength, int bApply);
/**
 * @brief Fills a caller's window-level table: a linear ramp over a window
 *        of data values and fixed colours outside it.
 *
 * The window uLow..uHigh is clamped to uMinValue..uMaxValue and indexed
 * by value >> uLowBit.  With @p bRampColors the window ramps from
 * @p crStart to @p crEnd, black below it and white above; without, the
 * entries up to the window's start are @p crStart, those from its end
 * @p crEnd, and a black-to-white ramp lies between.
 * @param pTable The table, written.
 * @param uTableLength Entries in @p pTable.
 * @param crStart Colour at (or below) the window's start.
 * @param crEnd Colour at (or above) the window's end.
 * @param uLow First data value of the window.
 * @param uHigh Last data value of the window.
 * @param uLowBit Lowest significant bit of the data.
 * @param uHighBit Highest significant bit of the data.
 * @param uMinValue Smallest data value.
 * @param uMaxValue Largest data value.
 * @param bRampColors Which of the two fills (above).
 * @retval RC_SUCCESS Filled.
 * @retval RC_INVALID_PARAMETER Null table, a range upside down, a window
 *         beyond the table.
 */
int __stdcall Z_WindowLevelFillLUT(RGBQUAD *pTable, UINT uTableLength, COLORREF crStart, COLORREF crEnd,
                                   UINT uLow, UINT uHigh, UINT uLowBit, UINT uHighBit, UINT uMinValue,
                                   UINT uMaxValue, int bRampColors);
/**
 * @brief Fills a caller's window-level table: a ramp from @p crStart to
 *        @p crEnd over the window; without @p bRampColors the entries
 *        below it are @p crStart and those above @p crEnd, with it they
 *        are left as they are.
 * @param pTable The table, written.
 * @param uTableLength Entries in @p pTable.
 * @param crStart Colour at the window's start.
 * @param crEnd Colour at the window's end.
 * @param uLow First data value of the window.
 * @param uHigh Last data value of the window.
 * @param uLowBit Lowest significant bit of the data.
 * @param uHighBit Highest significant bit of the data.
 * @param uMinValue Smallest data value.
 * @param uMaxValue Largest data value.
 * @param bRampColors Leave the entries outside the window alone.
 * @param nReserved Ignored; pass 0.
 * @retval RC_SUCCESS Filled.
 * @retval RC_INVALID_PARAMETER As Z_WindowLevelFillLUT().
 */
int __stdcall Z_WindowLevelFillLUT2(RGBQUAD *pTable, UINT uTableLength, COLORREF crStart, COLORREF crEnd,
                                    UINT uLow, UINT uHigh, UINT uLowBit, UINT uHighBit, UINT uMinValue,
                                    UINT uMaxValue, int bRampColors, int nReserved);

/* ---- Paint palette --------------------------------------------------- */

/**
 * @brief The logical palette that matches what the painters send for a
 *        bitmap to a device.
 *
 * Needed whenever the paint sends palette indices or reduces colours to
 * a palette: in the default display mode (#DISP_PALETTE_INDICES set) a
 * bitmap of 8 bits or fewer is painted as palette indices on every
 * device, so its paint needs this palette on true-colour screens too; on
 * an 8-bit (palette) screen every bitmap needs it.  Paint pattern:
 * @code
 * HPALETTE pal = Z_CreatePaintPalette(hDC, &bitmap), old = NULL;
 * if (pal) { old = SelectPalette(hDC, pal, FALSE); RealizePalette(hDC); }
 * Z_PaintDC(hDC, &bitmap, NULL, NULL, &dst, NULL, SRCCOPY);
 * if (pal) { SelectPalette(hDC, old, FALSE); DeleteObject(pal); }
 * @endcode
 * The palette depends on the thread's display mode: make it on the
 * thread that paints, after setting the mode.
 * @param hDC The device the paint goes to.
 * @param pBitmap The bitmap to paint.
 * @return A new palette the caller selects, realises and deletes, or null
 *         when the paint needs none (true-colour data on a true-colour
 *         device) or on failure.
 */
HPALETTE __stdcall Z_CreatePaintPalette(HDC hDC, BitmapHandle *pBitmap);

/* ---- Regions on bitmaps ---------------------------------------------- */

#pragma pack(push, 4)
/**
 * @brief A curve for Z_CurveToBezier() and Z_SetBitmapRgnCurve().
 *
 * 36 bytes on 32-bit Windows, 40 on 64-bit (packed to 4 bytes).
 */
typedef struct RgnCurve {
    UINT    StructSize;  /**< sizeof(RgnCurve). */
    INT32   Type;        /**< 0 Bezier points (3n + 1), 1 knots with a tension, 2 interpolating spline. */
    INT32   PointCount;  /**< Points in #Points. */
    POINT  *Points;      /**< The points (the caller's). */
    INT32   FillMode;    /**< #RGN_FILL_WINDING or #RGN_FILL_ALTERNATE. */
    double  Tension;     /**< Type 1: 0.0 to 1.0. */
    INT32   Close;       /**< Type 1: 0 open, 1 closed, 2 open through every point; type 2: 0 natural, 1 periodic. */
    INT32   Reserved;    /**< 0. */
} RgnCurve;
#pragma pack(pop)

/** @cond LAYOUT_CHECKS */
ZV_LAYOUT_CHECK(RgnCurve, 36, 40);
/** @endcond */

#define RGN_FILL_WINDING   0  /**< Polygon and curve fill: nonzero winding. */
#define RGN_FILL_ALTERNATE 1  /**< Polygon and curve fill: even-odd. */

/**
 * @brief Copies a region object.
 * @param ppDst Receives the new copy (null for a null @p pSrc); the caller
 *        owns it (hang it on a bitmap, or release it with K_FreeRegion()).
 * @param pSrc The region, or null.
 * @retval RC_SUCCESS Copied.
 * @retval RC_INVALID_PARAMETER Null @p ppDst.
 * @retval RC_NO_MEMORY Out of memory (nothing allocated stays).
 */
int __stdcall Z_CopyZoraRgn(ZoraRgn **ppDst, ZoraRgn *pSrc);
/**
 * @brief Releases a bitmap's region (the bitmap then counts as wholly
 *        selected).
 * @param pBitmap The bitmap.
 * @retval RC_SUCCESS Released (or there was none).
 * @retval RC_INVALID_PARAMETER Null bitmap.
 */
int __stdcall Z_FreeBitmapRgn(BitmapHandle *pBitmap);
/**
 * @brief Whether a bitmap has a region.
 * @param pBitmap The bitmap.
 * @return 1 when it has one, else 0 (also for null).
 */
int __stdcall Z_BitmapHasRgn(BitmapHandle *pBitmap);
/**
 * @brief Moves the region (the whole bitmap rectangle when it has none),
 *        clipped to the bitmap unless #BITMAP_RGN_UNCLIPPED.
 * @param pBitmap The bitmap.
 * @param nRowOffset Stored rows to move by (note: rows first).
 * @param nColumnOffset Stored columns to move by.
 * @retval RC_SUCCESS Moved.
 * @retval RC_NO_BITMAP Null bitmap.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall Z_OffsetBitmapRgn(BitmapHandle *pBitmap, int nRowOffset, int nColumnOffset);

/**
 * @brief Whether a stored pixel lies in the bitmap's region (any pixel of
 *        the bitmap when it has none).
 * @param pBitmap The bitmap.
 * @param nRow Stored row.
 * @param nCol Stored column.
 * @return 1 inside, 0 outside (also for a null bitmap).
 */
int __stdcall Z_IsPtInBitmapRgn(BitmapHandle *pBitmap, int nRow, int nCol);
/**
 * @brief The number of pixels in the bitmap's region (Width x Height
 *        without one).
 * @param pBitmap The bitmap.
 * @param puArea Receives the count.
 * @retval RC_SUCCESS Answered.
 * @retval RC_NO_BITMAP Null bitmap.
 * @retval RC_INVALID_PARAMETER Null @p puArea.
 */
int __stdcall Z_GetBitmapRgnArea(BitmapHandle *pBitmap, UINT *puArea);
/**
 * @brief The bounding rectangle of the bitmap's region (of the bitmap
 *        rectangle without one) in caller coordinates.
 * @param pBitmap The bitmap.
 * @param pTransform Caller coordinates (null: stored pixels).  Orientation
 *        0 gives displayed coordinates.
 * @param pRect Receives the rectangle (right and bottom exclusive).
 * @retval RC_SUCCESS Answered.
 * @retval RC_NO_BITMAP Null bitmap or null @p pRect.
 * @retval RC_INVALID_PARAMETER A bad transform (orientation 6 or out of
 *         range, a zero denominator).
 */
int __stdcall Z_GetBitmapRgnBounds(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect);
/**
 * @brief Z_GetBitmapRgnBounds(), then the result intersected with
 *        (0, 0, Width, Height) (empty: all 0).  Meant for stored
 *        coordinates (null transform) of a region that may reach outside.
 * @param pBitmap The bitmap.
 * @param pTransform Caller coordinates (null: stored pixels).
 * @param pRect Receives the rectangle.
 * @return As Z_GetBitmapRgnBounds().
 */
int __stdcall Z_GetBitmapRgnBoundsClip(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect);
/**
 * @brief The largest number of values Z_GetBitmapClipSegments() writes
 *        for one row.
 * @param pBitmap The bitmap.
 * @param puMax Receives the count (2 without a region).
 * @retval RC_SUCCESS Answered.
 * @retval RC_NO_BITMAP Null bitmap.
 * @retval RC_INVALID_PARAMETER Null @p puMax.
 */
int __stdcall Z_GetBitmapClipSegmentsMax(BitmapHandle *pBitmap, UINT *puMax);
/**
 * @brief The runs of one stored row of the region, as (start, end) pairs
 *        of stored columns, end exclusive.
 * @param pBitmap The bitmap.
 * @param nRow Stored row.
 * @param pSegments Receives the pairs; room for Z_GetBitmapClipSegmentsMax()
 *        values.
 * @param puCount Receives the number of values written (twice the runs).
 * @retval RC_SUCCESS Answered (0 values for a row outside the region).
 * @retval RC_NO_BITMAP Null bitmap.
 * @retval RC_INVALID_PARAMETER Null pointers.
 */
int __stdcall Z_GetBitmapClipSegments(BitmapHandle *pBitmap, int nRow, INT32 *pSegments, UINT *puCount);

/**
 * @brief The Bezier chain of a curve of type 1 or 2, in the curve's own
 *        coordinates.
 * @param pCurve The curve (StructSize set).
 * @param puOutCount Receives the number of Bezier points (3n + 1).
 * @param pOutPoints Receives the points; null asks for the count only.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null pointers, a wrong StructSize, another
 *         type, a bad Close, too few points.
 */
int __stdcall Z_CurveToBezier(RgnCurve *pCurve, UINT *puOutCount, POINT *pOutPoints);

/**
 * @brief Sets the region from a rectangle.
 *
 * Like every function that sets a region, this ends by combining the new
 * region with the bitmap's current one by @p uCombineMode and clipping the
 * result to the bitmap (unless #BITMAP_RGN_UNCLIPPED).
 * @param pBitmap The bitmap (must hold pixels).
 * @param pTransform The coordinates of @p pRect (null: stored pixels).  For
 *        a window showing the bitmap use the way-in record of
 *        @ref transform; its orientation 0 means displayed coordinates.
 * @param pRect The rectangle (right and bottom exclusive).
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS The bitmap's region is the combination.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER Null @p pRect, a bad transform (orientation
 *         6 or out of range, a zero denominator, a turn that is not a
 *         quarter), a mode outside 0 to 6.
 * @retval RC_NO_MEMORY Out of memory.  On failure the region is unchanged.
 */
int __stdcall Z_SetBitmapRgnRect(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                 UINT uCombineMode);
/**
 * @brief Sets the region from the ellipse inscribed in a rectangle,
 *        combined by @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param pTransform The coordinates of @p pRect (null: stored pixels).
 * @param pRect The ellipse's bounding rectangle.
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER As Z_SetBitmapRgnRect().
 * @retval RC_NO_MEMORY Out of memory or no GDI region.
 */
int __stdcall Z_SetBitmapRgnEllipse(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                    UINT uCombineMode);
/**
 * @brief Sets the region from a rectangle with rounded corners, combined
 *        by @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param pTransform The coordinates of @p pRect (null: stored pixels).
 * @param pRect The rectangle.
 * @param nWidthEllipse Width of the corner ellipse.
 * @param nHeightEllipse Height of the corner ellipse.
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER As Z_SetBitmapRgnRect().
 * @retval RC_NO_MEMORY Out of memory or no GDI region.
 */
int __stdcall Z_SetBitmapRgnRoundRect(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                      int nWidthEllipse, int nHeightEllipse, UINT uCombineMode);
/**
 * @brief Sets the region from a polygon, combined by @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param pTransform The coordinates of @p pPoints (null: stored pixels).
 * @param pPoints The vertices (the caller's).
 * @param nCount Number of vertices.
 * @param nFillMode #RGN_FILL_WINDING or #RGN_FILL_ALTERNATE.
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER Null points, another fill mode, and as
 *         Z_SetBitmapRgnRect().
 * @retval RC_NO_MEMORY Out of memory or no GDI region.
 */
int __stdcall Z_SetBitmapRgnPolygon(BitmapHandle *pBitmap, RgnTransform *pTransform, POINT *pPoints,
                                    int nCount, int nFillMode, UINT uCombineMode);
/**
 * @brief Sets the region from the area a closed curve encloses, combined
 *        by @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param pTransform The coordinates of the curve's points (null: stored
 *        pixels).
 * @param pCurve The curve: type 0 (Bezier points, 3n + 1 of them, n >= 1)
 *        or 1 (knots with a tension of 0.0 to 1.0).
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER A null or malformed curve (StructSize,
 *         type, point count, tension, fill mode), and as
 *         Z_SetBitmapRgnRect().
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall Z_SetBitmapRgnCurve(BitmapHandle *pBitmap, RgnTransform *pTransform, RgnCurve *pCurve,
                                  UINT uCombineMode);

/* ---- GDI regions, region data, masks and the clip switch -------------- */

/**
 * @brief A GDI region of the bitmap's region (of the bitmap rectangle
 *        without one) in caller coordinates, possibly the region's cache.
 * @param pBitmap The bitmap.
 * @param pTransform Caller coordinates (null: stored pixels; orientation 0
 *        for a window, see @ref transform).
 * @param phRgn Receives the GDI region.
 * @param pbMustDelete Receives 1 when the caller owns the GDI region
 *        (deletes it), 0 when it is the region's cache, which the caller
 *        must neither delete nor keep (the next request moves or replaces
 *        it).
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap.
 * @retval RC_INVALID_PARAMETER A null output or a bad transform.
 * @retval RC_NO_MEMORY Out of memory or no GDI region.
 */
int __stdcall Z_IntGetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN *phRgn,
                                      int *pbMustDelete);
/**
 * @brief A GDI region of the bitmap's region in caller coordinates that
 *        the caller always owns.
 * @param pBitmap The bitmap.
 * @param pTransform Caller coordinates (null: stored pixels).
 * @param phRgn Receives the GDI region; the caller deletes it.
 * @retval RC_SUCCESS Done.
 * @retval RC_FAILURE No region could be had (@p phRgn untouched).
 * @retval RC_INVALID_PARAMETER Null @p phRgn.
 * @retval RC_NO_MEMORY The copy of the cache failed.
 */
int __stdcall Z_GetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN *phRgn);
/**
 * @brief The region as it shows when part of the bitmap is painted into a
 *        destination rectangle (as Z_PaintDC() paints it).
 * @param pBitmap The bitmap.
 * @param pSrc The painted part in displayed coordinates; null: all of it.
 * @param pDst The destination rectangle (device coordinates).
 * @param phRgn Receives the GDI region.
 * @param pbMustDelete As for Z_IntGetBitmapRgnHandle() (always 1 with
 *        @p pSrc).
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null bitmap, @p pDst or outputs.
 * @retval RC_NO_MEMORY Out of memory or no GDI region.
 */
int __stdcall Z_GetResizedRgnHandle(BitmapHandle *pBitmap, RECT *pSrc, RECT *pDst, HRGN *phRgn,
                                    int *pbMustDelete);
/**
 * @brief Sets the region from a GDI region, combined by @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param pTransform The coordinates of @p hRgn (null: stored pixels).
 * @param hRgn The GDI region (the caller keeps it); null removes the
 *        bitmap's region (any mode).
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null bitmap, an unreadable GDI region, and
 *         as Z_SetBitmapRgnRect().
 * @retval RC_NO_BITMAP The bitmap holds no pixels.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall Z_SetBitmapRgnHandle(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN hRgn,
                                   UINT uCombineMode);
/**
 * @brief The region as an RGNDATA block (32-byte header, then 16 bytes per
 *        rectangle in banded order), for keeping and giving back with
 *        Z_SetBitmapRgnData().
 * @param pBitmap The bitmap.
 * @param pTransform Caller coordinates of the rectangles (null: stored
 *        pixels).
 * @param nSize Bytes at @p pData; 0 asks for the size needed.
 * @param pData Receives the block.
 * @return The bytes written (the bytes needed when @p nSize is 0); 0 for a
 *         null bitmap or one without a region; #RC_INVALID_PARAMETER for a
 *         negative size; #RC_NO_MEMORY when out of memory or the block is
 *         too small.
 */
int __stdcall Z_GetBitmapRgnData(BitmapHandle *pBitmap, RgnTransform *pTransform, int nSize, void *pData);
/**
 * @brief Sets the region from an RGNDATA block, combined by
 *        @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param pTransform The coordinates of the block's rectangles (null:
 *        stored pixels).
 * @param nSize Bytes of the block; 0 removes the bitmap's region.
 * @param pData The block (the caller's).
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null bitmap, a negative size, and as
 *         Z_SetBitmapRgnRect().
 * @retval RC_NO_MEMORY Out of memory, or a block that is truncated, has a
 *         wrong header or count, or whose rectangles are not in banded
 *         order (nothing changed).
 */
int __stdcall Z_SetBitmapRgnData(BitmapHandle *pBitmap, RgnTransform *pTransform, int nSize, void *pData,
                                 UINT uCombineMode);
/**
 * @brief Whether the bitmap's regions are clipped to it.
 * @param pBitmap The bitmap.
 * @param bClip Non-zero: regions are clipped to the bitmap (clears
 *        #BITMAP_RGN_UNCLIPPED); zero: they may reach outside.
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER Null bitmap.
 */
int __stdcall Z_SetBitmapRgnClip(BitmapHandle *pBitmap, int bClip);
/**
 * @brief Whether the bitmap's regions are clipped to it.
 * @param pBitmap The bitmap.
 * @param pbClip Receives 1 when they are, else 0.
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER Null pointers.
 */
int __stdcall Z_GetBitmapRgnClip(BitmapHandle *pBitmap, int *pbClip);
/**
 * @brief A 1-bit mask of the region: 1 inside, 0 outside (all 1 without a
 *        region), of the bitmap's stored size and Orientation.
 * @param pBitmap The bitmap.
 * @param pMask The caller's empty descriptor, filled on success only with
 *        a new kernel bitmap (carrying a copy of the region); release it
 *        with K_FreeBitmap().
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER A null pointer.
 * @return Otherwise the kernel's codes (#RC_NO_MEMORY, ...).
 */
int __stdcall Z_CreateMaskFromBitmapRgn(BitmapHandle *pBitmap, BitmapHandle *pMask);
/**
 * @brief Sets the region from the white pixels of a mask, combined by
 *        @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param pTransform The mask's coordinates relative to the bitmap (null:
 *        the mask's stored pixels are the bitmap's).
 * @param pMask The mask, any depth (other depths than 1 are read through a
 *        1-bit conversion copy); unchanged.
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null pointers, a mask without pixels, and
 *         as Z_SetBitmapRgnRect().
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall Z_SetBitmapRgnFromMask(BitmapHandle *pBitmap, RgnTransform *pTransform, BitmapHandle *pMask,
                                     UINT uCombineMode);

/**
 * @brief A colour as hue in bits 0-7 (0 to 255 round the circle: 0 red,
 *        85 green, 171 blue), saturation in bits 8-15, value in bits
 *        16-23.
 */
typedef DWORD HsvColor;

/* ---- Colour and flood-fill regions ------------------------------------ */

/**
 * @brief Selects the pixels of exactly one colour, combined by
 *        @p uCombineMode.
 *
 * The colour regions look at the whole bitmap.  Pixels are compared as
 * 8-bit red, green, blue (palette depths by their palette entry, deeper
 * data as the kernel converts it to 24 bits).  A colour no pixel has gives
 * an empty new region.
 * @param pBitmap The bitmap.
 * @param crColor The colour (red in bits 0-7).  With bits 24-31 equal to
 *        0x01 palette bitmaps select the index in bits 0-7 (masked to the
 *        depth; an index beyond the palette selects nothing); otherwise
 *        they select the first palette entry of that colour.
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_FORMAT A depth without pixels.
 * @retval RC_INVALID_PARAMETER A mode outside 0 to 6.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall Z_SetBitmapRgnColor(BitmapHandle *pBitmap, COLORREF crColor, UINT uCombineMode);
/**
 * @brief Selects the pixels whose red, green and blue each lie between
 *        those of two colours (inclusive), combined by @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param crLower The lower bounds (red in bits 0-7).
 * @param crUpper The upper bounds.
 * @param uCombineMode RGN_MODE_*.
 * @return As Z_SetBitmapRgnColor().
 */
int __stdcall Z_SetBitmapRgnColorRGBRange(BitmapHandle *pBitmap, COLORREF crLower, COLORREF crUpper,
                                          UINT uCombineMode);
/**
 * @brief Selects the pixels whose hue, saturation and value (as
 *        Z_RGBtoHSV() gives them) lie between two bounds (inclusive),
 *        combined by @p uCombineMode.
 * @param pBitmap The bitmap.
 * @param hsvLower The lower bounds.  A lower hue above the upper one
 *        selects the hues from the lower to 255 and from 0 to the upper.
 * @param hsvUpper The upper bounds.
 * @param uCombineMode RGN_MODE_*.
 * @return As Z_SetBitmapRgnColor().
 */
int __stdcall Z_SetBitmapRgnColorHSVRange(BitmapHandle *pBitmap, HsvColor hsvLower, HsvColor hsvUpper,
                                          UINT uCombineMode);

/**
 * @brief The magic wand: selects the pixels 4-connected to a seed pixel
 *        through pixels of a similar colour, combined by @p uCombineMode.
 *
 * A pixel passes when each of its red, green and blue lies within
 * [seed - tolerance, seed + tolerance] (clamped to 0 to 255); the flood
 * fill spreads from the seed to its four neighbours through passing
 * pixels.  The seed is selected only when a neighbour passes too (a lone
 * pixel selects nothing).
 *
 * The seed is a stored pixel.  A click in a window is in displayed
 * (window) coordinates: turn it into the stored pixel first (see
 * @ref coordinates; bottom-up BMP files load with #ORIENT_BOTTOM_LEFT, so
 * there stored row = Height - 1 - displayed row).
 * @param pBitmap The bitmap.
 * @param nX Stored column of the seed.
 * @param nY Stored row of the seed.
 * @param uTolerance Bits 0-7: the tolerance (0 to 255) for every channel,
 *        below and above the seed's value.
 * @param uCombineMode RGN_MODE_*.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER A seed outside the bitmap, a mode outside
 *         0 to 6.
 * @retval RC_INVALID_FORMAT A depth without pixels.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall Z_SetBitmapRgnMagicWand(BitmapHandle *pBitmap, int nX, int nY, UINT uTolerance, UINT uCombineMode);
/**
 * @brief The magic wand (Z_SetBitmapRgnMagicWand()) with separate
 *        tolerances below and above the seed's value.
 * @param pBitmap The bitmap.
 * @param nX Stored column of the seed.
 * @param nY Stored row of the seed.
 * @param crLowerTolerance Bits 16-23: how far below the seed's value each
 *        channel may lie.
 * @param crUpperTolerance Bits 16-23: how far above.
 * @param uCombineMode RGN_MODE_*.
 * @return As Z_SetBitmapRgnMagicWand().
 */
int __stdcall Z_SetBitmapRgnMagicWandExt(BitmapHandle *pBitmap, int nX, int nY, COLORREF crLowerTolerance,
                                         COLORREF crUpperTolerance, UINT uCombineMode);
/**
 * @brief The magic wand (Z_SetBitmapRgnMagicWandExt()) stopped by a border
 *        colour: a pixel whose red, green or blue equals that of
 *        @p crBorder never passes.
 * @param pBitmap The bitmap.
 * @param nX Stored column of the seed.
 * @param nY Stored row of the seed.
 * @param crBorder The border colour (red in bits 0-7).
 * @param crLowerTolerance Bits 16-23: tolerance below the seed's value.
 * @param crUpperTolerance Bits 16-23: tolerance above.
 * @param uCombineMode RGN_MODE_*.
 * @return As Z_SetBitmapRgnMagicWand().
 */
int __stdcall Z_SetBitmapRgnBorder(BitmapHandle *pBitmap, int nX, int nY, COLORREF crBorder,
                                   COLORREF crLowerTolerance, COLORREF crUpperTolerance, UINT uCombineMode);

/* ---- Painting -------------------------------------------------------- */

/**
 * @brief Paints a bitmap, or a part of it, into a rectangle of a device
 *        context: scaled, clipped, turned to its Orientation and reduced
 *        to the device's colours.
 *
 * The bitmap shows upright as its Orientation displays it.  Select and
 * realise the paint palette first (Z_CreatePaintPalette()): in the
 * default display mode a bitmap of 8 bits or fewer needs it on every
 * device, and every bitmap on a palette (8-bit) device.  The thread's
 * display mode (Z_SetDisplayMode()) chooses dithering and filtering.  An
 * empty clipped rectangle paints nothing and succeeds.
 * @param hDC The device context.
 * @param pBitmap The bitmap (unchanged, but it must not be painted from
 *        two threads at once).
 * @param pSrc The part to paint in displayed coordinates; null: the whole
 *        image.
 * @param pClipSrc Limits @p pSrc (displayed coordinates); null: no limit.
 * @param pDst Where @p pSrc goes, in logical coordinates of @p hDC.
 * @param pClipDst Limits the painted part of @p pDst (logical
 *        coordinates; a WM_PAINT's rcPaint); null: no limit.
 * @param dwRop GDI raster operation, passed unchanged (SRCCOPY for a plain
 *        paint).
 * @retval RC_SUCCESS Painted (or nothing to paint).
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER Null @p pDst or @p hDC.
 * @retval RC_NO_MEMORY A buffer could not be had or a GDI call failed.
 * @retval RC_ROW_READ Rows could not be read.
 */
int __stdcall Z_PaintDC(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                        const RECT *pDst, const RECT *pClipDst, DWORD dwRop);
/**
 * @brief Paints rows the caller holds (a band arriving from a file or a
 *        scanner) as Z_PaintDC() would paint those rows of the bitmap.
 *
 * The paint palette is needed as for Z_PaintDC().
 * @param hDC The device context.
 * @param pBitmap The bitmap whose format (size, depth, Order, palette,
 *        Orientation, paint settings) describes the rows.
 * @param pSrc The whole image's part to paint, displayed coordinates; null:
 *        all.
 * @param pClipSrc Limits @p pSrc; null: no limit.
 * @param pDst Where @p pSrc goes (logical coordinates).
 * @param pClipDst Limits the painted part of @p pDst; null: no limit.
 * @param dwRop GDI raster operation.
 * @param pBuffer The rows, in the bitmap's stored layout (BytesPerLine
 *        apart); unchanged on return.
 * @param nRow The stored row of the first row handed over.
 * @param nCount Rows at @p pBuffer; negative: |nCount| rows handed over
 *        last first.
 * @retval RC_SUCCESS Painted (or nothing to paint).
 * @retval RC_NO_BITMAP Null bitmap or null buffer.
 * @retval RC_INVALID_PARAMETER Null @p pDst or @p hDC, a format that
 *         describes no pixels, a band outside the bitmap.
 * @retval RC_NO_MEMORY A buffer could not be had or a GDI call failed.
 */
int __stdcall Z_PaintDCBuffer(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                              const RECT *pDst, const RECT *pClipDst, DWORD dwRop, BYTE *pBuffer, int nRow,
                              int nCount);
/**
 * @brief Combines a texture into the bitmap's pixels, as if printed on
 *        textured paper.
 *
 * The underlay, in 8-bit gray and as its orientation displays it, moves
 * every channel of the bitmap's pixels by its gray level - 128 (clamped
 * to 0 to 255).  Only pixels inside the bitmap's region change (all
 * without one); palette bitmaps take the nearest palette entry.
 * @param pBitmap The bitmap, changed in place.
 * @param pUnderlay The texture (unchanged).
 * @param uMode 0 repeats the underlay from the top-left pixel, 1 stretches
 *        it to the bitmap's size.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Either bitmap null or without pixels.
 * @retval RC_INVALID_PARAMETER Another @p uMode.
 * @retval RC_NO_MEMORY Out of memory.
 * @return Otherwise a failing kernel operation's code (rows written before
 *         it stay changed).
 */
int __stdcall Z_UnderlayBitmap(BitmapHandle *pBitmap, BitmapHandle *pUnderlay, UINT uMode);

/* ---- Magnifying glass ------------------------------------------------- */

/**
 * @defgroup magglass Magnifying-glass flags
 * @brief Bits of Z_StartMagGlassExt()'s uFlags.
 *
 * The glass works over an application's window that shows a bitmap in a
 * known destination rectangle (client coordinates).  Normal mode
 * subclasses the window: the left button shows a glass centred on the
 * cursor, moving drags it, releasing removes it.  Manual mode leaves the
 * window alone; the caller shows and moves the glass.  The state hangs on
 * the window as the property "ZORAMAGDATA"; a window has at most one
 * glass.  Updates of rectangle, shape, paint flags and paint options are
 * refused (#RC_INVALID_PARAMETER) while the glass is busy: in normal mode
 * while the button holds it or data requests are unanswered, in manual
 * mode while it is shown.
 * @{
 */
#define MAGGLASS_INCLUDE_COLORS  0x1u  /**< The mask colours are the ones shown; the others are hidden. */
#define MAGGLASS_MANUAL          0x2u  /**< Manual mode: no subclassing; Z_ShowMagGlass() and Z_SetMagGlassPos() drive the glass. */
#define MAGGLASS_COLORS_FROM_RGN 0x4u  /**< The mask colours are those used inside the bitmap's region. */
/** @} */

/**
 * @brief Owner-draw callback of the glass: called after the bitmap is
 *        painted into the off-screen DC and before crosshair and border.
 * @param hWnd The window with the glass.
 * @param hOffscreenDC The glass's off-screen DC (glass coordinates from
 *        0, 0).
 * @param x Cursor x (client coordinates).
 * @param y Cursor y.
 * @param pGlass The glass rectangle in client coordinates.
 * @param pData The value given with the callback.
 * @return Ignored.
 */
typedef int(__stdcall *MagGlassOwnerDrawProc)(HWND hWnd, HDC hOffscreenDC, int x, int y, const RECT *pGlass,
                                                void *pData);
/**
 * @brief On-demand data callback: asks for 8 x 8 pixel blocks of the
 *        glass's data bitmap; answer with Z_UpdateMagGlassExt().
 * @param hWnd The window with the glass.
 * @param nFirst First block wanted (block index = row x blocks across +
 *        column).
 * @param nLast Last block wanted.
 * @param pPresent One bit per block of the range nFirst..nLast, row by
 *        row, least significant bit first; the blocks whose bit is clear
 *        are wanted.  Freed when the callback returns.
 * @param nPresentBytes Bytes at @p pPresent.
 * @param pData The value given with the callback.
 * @return Ignored.
 */
typedef int(__stdcall *MagGlassRequestProc)(HWND hWnd, int nFirst, int nLast, const BYTE *pPresent,
                                              int nPresentBytes, void *pData);

/**
 * @brief Whether a window has a magnifying glass.
 * @param hWnd The window.
 * @return 1 when it is a window with a glass, else 0.
 */
int __stdcall Z_WindowHasMagGlass(HWND hWnd);
/**
 * @brief Starts a magnifying glass over a window that shows a bitmap.
 *
 * The glass paints through Z_PaintDC() with the paint palette made and
 * selected for it.
 * @param hWnd The window (on the calling thread).
 * @param pBitmap The bitmap shown (kept by the caller while the glass
 *        lives).
 * @param pDest Where the window shows the whole bitmap, client
 *        coordinates.
 * @param nWidth Glass width in window pixels (at least 10).
 * @param nHeight Glass height (at least 10).
 * @param nZoom Magnification in percent (at least 100).
 * @param crPen Border and crosshair colour.
 * @param hCursor Cursor over the window; null: the library's own.
 * @param uReserved Ignored; pass 0.
 * @param bEllipse Non-zero: a round glass.
 * @param nBorderWidth Border pen width; 0: no border.
 * @param bBorder3D Non-zero: a rectangular glass gets a sunken edge.
 * @param uPaintFlags Display mode while painting the glass; 0: the
 *        thread's.
 * @param pMaskColors Colours hidden (or shown, with
 *        #MAGGLASS_INCLUDE_COLORS); copied.
 * @param nMaskColors Entries in @p pMaskColors.
 * @param uFlags MAGGLASS_* bits.
 * @param nCrosshair 0 none, 1 lines, 2 lines with inverted-pen
 *        neighbours, 3 lines with inverted-screen neighbours.
 * @param bIgnoreRegion Non-zero: the bitmap's region does not limit the
 *        glass.
 * @param bCenterPixels The parity of the half-pixel alignment.
 * @param pfnRequest On-demand data callback, or null.
 * @param pRequestData Handed to @p pfnRequest.
 * @retval RC_SUCCESS Started; stop it with Z_StopMagGlass().
 * @retval RC_INVALID_PARAMETER No window, a glass already, zoom below 100,
 *         size below 10, null @p pDest, null colours with a count.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_NO_MEMORY Out of memory.
 * @retval RC_FAILURE The window property could not be set.
 */
int __stdcall Z_StartMagGlassExt(HWND hWnd, BitmapHandle *pBitmap, const RECT *pDest, int nWidth, int nHeight,
                                 int nZoom, COLORREF crPen, HCURSOR hCursor, UINT uReserved, int bEllipse,
                                 int nBorderWidth, int bBorder3D, UINT uPaintFlags, const COLORREF *pMaskColors,
                                 int nMaskColors, UINT uFlags, int nCrosshair, int bIgnoreRegion,
                                 int bCenterPixels, MagGlassRequestProc pfnRequest, void *pRequestData);
/**
 * @brief Z_StartMagGlassExt() in normal mode (uFlags 0) without a request
 *        callback.
 * @param hWnd The window.
 * @param pBitmap The bitmap shown.
 * @param pDest Where the window shows it (client coordinates).
 * @param nWidth Glass width (at least 10).
 * @param nHeight Glass height (at least 10).
 * @param nZoom Magnification in percent (at least 100).
 * @param crPen Border and crosshair colour.
 * @param hCursor Cursor over the window; null: the library's own.
 * @param uReserved Ignored; pass 0.
 * @param bEllipse Non-zero: a round glass.
 * @param nBorderWidth Border pen width; 0: none.
 * @param bBorder3D Non-zero: a sunken edge.
 * @param uPaintFlags Display mode while painting; 0: the thread's.
 * @param pMaskColors Colours hidden.
 * @param nMaskColors Entries in @p pMaskColors.
 * @param nCrosshair Crosshair kind (0 to 3).
 * @param bIgnoreRegion Non-zero: the region does not limit the glass.
 * @param bCenterPixels Parity of the half-pixel alignment.
 * @return As Z_StartMagGlassExt().
 */
int __stdcall Z_StartMagGlass(HWND hWnd, BitmapHandle *pBitmap, const RECT *pDest, int nWidth, int nHeight,
                              int nZoom, COLORREF crPen, HCURSOR hCursor, UINT uReserved, int bEllipse,
                              int nBorderWidth, int bBorder3D, UINT uPaintFlags, const COLORREF *pMaskColors,
                              int nMaskColors, int nCrosshair, int bIgnoreRegion, int bCenterPixels);
/**
 * @brief Removes the glass, restores the window procedure and style and
 *        frees everything the glass held.
 * @param hWnd The window.
 * @retval RC_SUCCESS Stopped.
 * @retval RC_INVALID_PARAMETER Not a window, or no glass.
 */
int __stdcall Z_StopMagGlass(HWND hWnd);
/**
 * @brief Tells the glass where the window now shows the bitmap.
 * @param hWnd The window.
 * @param pDest The new destination rectangle (client coordinates).
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER No glass, null @p pDest, or the glass is
 *         busy.
 */
int __stdcall Z_UpdateMagGlassRect(HWND hWnd, const RECT *pDest);
/**
 * @brief The display mode used while painting the glass.
 * @param hWnd The window.
 * @param uFlags DISP_* bits; 0: the thread's mode.
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER No glass, or the glass is busy.
 */
int __stdcall Z_UpdateMagGlassPaintFlags(HWND hWnd, UINT uFlags);
/**
 * @brief Changes the glass's shape.
 * @param hWnd The window.
 * @param uShape 0 rectangle, 1 ellipse (both at the start size), 2 the
 *        shape of @p hRgn.
 * @param hRgn With shape 2: a region whose bounding box gives the glass
 *        size (copied; the caller keeps it).
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER No glass, busy, another shape, shape 2
 *         without a region.
 * @retval RC_NO_MEMORY The region could not be copied.
 */
int __stdcall Z_UpdateMagGlassShape(HWND hWnd, UINT uShape, HRGN hRgn);
/**
 * @brief Paint settings used while painting the glass.
 * @param hWnd The window.
 * @param pOptions Three values: contrast, gamma, intensity (as the
 *        Z_SetPaint... functions take them); copied.
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER No glass, null @p pOptions, or busy.
 */
int __stdcall Z_SetMagGlassPaintOptions(HWND hWnd, const INT32 *pOptions);
/**
 * @brief Sets the owner-draw callback; accepted while busy.
 * @param hWnd The window.
 * @param pfnDraw The callback; null removes it.
 * @param pData Handed to the callback.
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER No glass.
 */
int __stdcall Z_SetMagGlassOwnerDrawCallback(HWND hWnd, MagGlassOwnerDrawProc pfnDraw, void *pData);

/**
 * @brief Manual mode: shows or removes the glass at its position.
 * @param hWnd The window.
 * @param bShow Non-zero shows, zero removes.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER No glass in manual mode.
 * @return Otherwise the failure of taking over the data bitmap.
 */
int __stdcall Z_ShowMagGlass(HWND hWnd, int bShow);
/**
 * @brief Manual mode: moves the glass's centre.
 * @param hWnd The window.
 * @param x Centre x, client coordinates.
 * @param y Centre y.
 * @retval RC_SUCCESS Moved.
 * @retval RC_INVALID_PARAMETER No glass in manual mode.
 */
int __stdcall Z_SetMagGlassPos(HWND hWnd, int x, int y);
/**
 * @brief Hands the glass a data bitmap whose pixels are taken over block
 *        by block as the glass is shown or moved.  Only while hidden.
 * @param hWnd The window.
 * @param pBitmap A bitmap of the start bitmap's size; null or one without
 *        pixels drops the one held.
 * @param bRefresh Non-zero: blocks are taken over as the glass moves;
 *        zero: not at all.
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER No glass, or it is shown.
 * @retval RC_SIZE_MISMATCH Another size.
 */
int __stdcall Z_UpdateMagGlassBitmap(HWND hWnd, BitmapHandle *pBitmap, int bRefresh);
/**
 * @brief Answers a data request of the glass.  Replays one held-back
 *        mouse event.
 * @param hWnd The window.
 * @param pColors One colour per pixel of every answered block, block after
 *        block, the rows of a block top down.
 * @param pPresent The request's bits: blocks whose bit is clear are
 *        answered.
 * @param nFirst First block of the request.
 * @param nLast Last block of the request.
 * @param bUpdate Non-zero: the answered pixels are copied into the glass's
 *        data bitmap.
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER No glass, null pointers, blocks out of
 *         range.
 * @retval RC_FAILURE No request callback is set.
 * @retval RC_NO_BITMAP No data bitmap.
 */
int __stdcall Z_UpdateMagGlassExt(HWND hWnd, const COLORREF *pColors, const BYTE *pPresent, int nFirst,
                                  int nLast, int bUpdate);

/* ---- Pan window ------------------------------------------------------- */

/**
 * @defgroup pannotify Pan window notifications
 * @brief Codes of a PanNotifyProc.
 *
 * The pan window is a small captioned window owned by an application
 * window.  It shows the whole bitmap fitted into its client area with a
 * rectangle over the part the owner shows; the user drags the rectangle
 * with the left button and the owner hears of it through its callback
 * (and scrolls its own view).  It runs on the owner's thread.
 * @{
 */
#define PAN_NOTIFY_CREATED       0  /**< The pan window was created. */
#define PAN_NOTIFY_MOVED_RECT    1  /**< The user moved the rectangle; pRect: the new visible part in bitmap pixels (displayed). */
#define PAN_NOTIFY_DESTROYED     2  /**< The pan window is being destroyed. */
#define PAN_NOTIFY_MOVED_WINDOW  3  /**< The pan window was moved. */
#define PAN_NOTIFY_PAINTED       4  /**< The pan window was painted. */
/** @} */

/** In Z_UpdatePanWindow()'s display flags: repaint the whole window (not kept with the flags). */
#define PAN_REPAINT_ALL 0x10000000u

/**
 * @brief Pan window notification.
 * @param hPan The pan window.
 * @param hOwner Its owner.
 * @param uCode PAN_NOTIFY_*.
 * @param pRect The new visible part with #PAN_NOTIFY_MOVED_RECT, else null.
 * @param pData The caller's value.
 * @return Ignored.
 */
typedef int (__stdcall *PanNotifyProc)(HWND hPan, HWND hOwner, UINT uCode, RECT *pRect, void *pData);

/**
 * @brief Creates a hidden pan window over an owner window;
 *        Z_UpdatePanWindow() shows it.
 * @param hOwner The owner window.
 * @param pBitmap The bitmap (not owned: keep it alive or update the
 *        window).
 * @param uDisplayFlags Display mode (DISP_*) of its paints.
 * @param x Screen x of the window.
 * @param y Screen y.
 * @param nWidth Largest client width; the client area is fitted to the
 *        picture.
 * @param nHeight Largest client height.
 * @param pszName Window class name and first caption, 1 to 259 characters
 *        (ANSI).
 * @param hIcon Small icon, or null.
 * @param hCursor Cursor over the client area; null: left alone.
 * @param bSysMenu Non-zero adds the system menu (and its Close).
 * @param pfnNotify The notification callback (first call:
 *        #PAN_NOTIFY_CREATED).
 * @param pNotifyData Handed to @p pfnNotify.
 * @retval RC_SUCCESS Created; destroy it with Z_DestroyPanWindow().
 * @retval RC_INVALID_PARAMETER No owner window, no name.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_NO_MEMORY Out of memory.
 * @retval RC_CREATE_WINDOW The window could not be created.
 */
int __stdcall Z_CreatePanWindow(HWND hOwner, BitmapHandle *pBitmap, UINT uDisplayFlags, int x, int y, int nWidth,
                                int nHeight, const char *pszName, HICON hIcon, HCURSOR hCursor, int bSysMenu,
                                PanNotifyProc pfnNotify, void *pNotifyData);
/**
 * @brief Tells the pan window what the owner shows: recomputes the
 *        rectangle from the owner's client area, resizes the window when
 *        the picture's shape changed, sets the caption and shows it.
 * @param hPan The pan window.
 * @param pBitmap The bitmap the owner shows.
 * @param uDisplayFlags Display mode of its paints, optionally with
 *        #PAN_REPAINT_ALL.
 * @param crRectColor Colour of the rectangle.
 * @param pszCaption New caption (ANSI); null: kept.
 * @param pDisplayRect Where the owner shows the whole bitmap (owner client
 *        coordinates, the image's aspect).
 * @retval RC_SUCCESS Updated.
 * @retval RC_INVALID_PARAMETER Null or flat @p pDisplayRect, a bitmap of
 *         width 0, not a pan window, the owner minimised (after the
 *         settings were taken).
 * @retval RC_NO_BITMAP Null bitmap or no pixels; the window is destroyed.
 */
int __stdcall Z_UpdatePanWindow(HWND hPan, BitmapHandle *pBitmap, UINT uDisplayFlags, COLORREF crRectColor,
                                const char *pszCaption, const RECT *pDisplayRect);
/**
 * @brief Destroys a pan window.
 * @param hPan The pan window.
 * @retval RC_SUCCESS Destroyed.
 * @retval RC_INVALID_PARAMETER Any other window.
 */
int __stdcall Z_DestroyPanWindow(HWND hPan);

/* ---- Region painting -------------------------------------------------- */

/**
 * @brief Z_PaintDC() limited to the bitmap's region: the region, as the
 *        paint of @p pSrc into @p pDst shows it, is the DC's clip region
 *        for the paint (the caller's clip region is put back afterwards).
 * @param hDC The device context (paint palette as for Z_PaintDC()).
 * @param pBitmap The bitmap.
 * @param pSrc The part to paint, displayed coordinates; null: all.
 * @param pClipSrc Limits @p pSrc; null: no limit.
 * @param pDst Where @p pSrc goes (logical coordinates).
 * @param pClipDst Limits the painted part of @p pDst; null: no limit.
 * @param dwRop GDI raster operation.
 * @retval RC_SUCCESS Painted.
 * @retval RC_NO_BITMAP Null bitmap.
 * @retval RC_INVALID_PARAMETER Null @p pDst.
 * @retval RC_NO_MEMORY The region could not be converted.
 * @return Otherwise the codes of Z_PaintDC().
 */
int __stdcall Z_PaintRgnDC(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                           const RECT *pDst, const RECT *pClipDst, DWORD dwRop);
/**
 * @brief Z_PaintDCBuffer() limited to the bitmap's region, as
 *        Z_PaintRgnDC().
 * @param hDC The device context.
 * @param pBitmap The bitmap describing the rows.
 * @param pSrc The part to paint, displayed coordinates; null: all.
 * @param pClipSrc Limits @p pSrc; null: no limit.
 * @param pDst Where @p pSrc goes (logical coordinates).
 * @param pClipDst Limits the painted part of @p pDst; null: no limit.
 * @param dwRop GDI raster operation.
 * @param pBuffer The rows, in the bitmap's stored layout.
 * @param nRow Stored row of the first row handed over.
 * @param nCount Rows; negative: handed over last first.
 * @return As Z_PaintRgnDC() and Z_PaintDCBuffer().
 */
int __stdcall Z_PaintRgnDCBuffer(HDC hDC, BitmapHandle *pBitmap, const RECT *pSrc, const RECT *pClipSrc,
                                 const RECT *pDst, const RECT *pClipDst, DWORD dwRop, BYTE *pBuffer, int nRow,
                                 int nCount);
/**
 * @brief Draws the region's outline (of the bitmap rectangle without a
 *        region) as marching ants: diagonal stripes in the DC's text and
 *        background colours.
 * @param hDC The device context.
 * @param pBitmap The bitmap.
 * @param pTransform Device coordinates of the outline (null: stored pixels
 *        at the DC's origin).  For a window showing the bitmap in a
 *        rectangle use the way-out record of @ref transform, orientation
 *        0, whatever the bitmap's orientation.
 * @param uType The phase: 0, 1, 2, ... moves the dashes one pixel per
 *        step.
 * @return Always #RC_SUCCESS (a null bitmap draws nothing).
 */
int __stdcall Z_FrameBitmapRgn(HDC hDC, BitmapHandle *pBitmap, RgnTransform *pTransform, UINT uType);
/**
 * @brief Highlights the region: xors a colour into the DC inside it
 *        (nothing without a region).  Twice with one colour restores the
 *        pixels.  Leaves the DC's background colour white.
 * @param hDC The device context.
 * @param pBitmap The bitmap.
 * @param pTransform Device coordinates of the region, as for
 *        Z_FrameBitmapRgn().
 * @param crColor The colour xored in.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap.
 */
int __stdcall Z_ColorBitmapRgn(HDC hDC, BitmapHandle *pBitmap, RgnTransform *pTransform, COLORREF crColor);

/* ---- Colour utilities ------------------------------------------------- */

/**
 * @brief Converts a colour to hue, saturation and value, 8 bits each.
 * @param crColor The colour (red in bits 0-7); any value.
 * @return The HsvColor; bits 24-31 are those of @p crColor.
 */
HsvColor __stdcall Z_RGBtoHSV(COLORREF crColor);
/**
 * @brief Converts hue, saturation and value to a colour.
 * @param hsv The colour (bits 24-31 ignored); any value.
 * @return The colour, bits 24-31 zero.
 */
COLORREF __stdcall Z_HSVtoRGB(HsvColor hsv);

/**
 * @defgroup colorspace Colour-space formats
 * @brief Formats of Z_ConvertColorSpace(), in two families that never
 *        mix: codes with bits 4-7 zero hold 8-bit components, the others
 *        16-bit ones.
 *
 * Pixel layouts in memory order.  YUV and YIQ components are signed
 * 16-bit fixed point in both families, 16384 standing for full intensity.
 * @{
 */
#define CS_RGB     0x00  /**< 3 bytes: blue, green, red. */
#define CS_YUV     0x01  /**< 3 x int16: Y, B - Y, R - Y. */
#define CS_CMYK    0x02  /**< 4 bytes: C, M, Y, K. */
#define CS_HSV     0x03  /**< 3 bytes: hue, saturation, value (as Z_RGBtoHSV()). */
#define CS_HLS     0x04  /**< 3 bytes: hue, lightness, saturation. */
#define CS_YIQ     0x05  /**< 3 x int16: Y, I, Q. */
#define CS_CMY     0x06  /**< 3 bytes: C, M, Y. */
#define CS_RGB16   0x10  /**< 3 x uint16: blue, green, red. */
#define CS_YUV16   0x20  /**< 3 x int16: Y, B - Y, R - Y. */
#define CS_YIQ16   0x30  /**< 3 x int16: Y, I, Q. */
#define CS_HSV16   0x40  /**< 3 x uint16: hue, saturation, value. */
#define CS_HLS16   0x50  /**< 3 x uint16: hue, lightness, saturation. */
#define CS_CMY16   0x60  /**< 3 x uint16: C, M, Y. */
#define CS_CMYK16  0x70  /**< 4 x uint16: C, M, Y, K. */
/** @} */

/**
 * @brief Converts pixels between colour spaces of one family, through RGB
 *        of the family.
 * @param pSrc The pixels.
 * @param pDst Receives them.  May be @p pSrc, unless the source is RGB and
 *        the destination is not (then they must not overlap).
 * @param nCount Pixels; below 1 converts nothing.
 * @param nSrcFormat CS_* code of @p pSrc.
 * @param nDstFormat CS_* code of @p pDst.
 * @retval RC_SUCCESS Converted.
 * @retval RC_INVALID_PARAMETER A null pointer, a code not listed, codes of
 *         different families (nothing written).
 * @retval RC_NO_MEMORY No scratch run.
 */
int __stdcall Z_ConvertColorSpace(const void *pSrc, void *pDst, int nCount, int nSrcFormat, int nDstFormat);

/* ---- Metafiles -------------------------------------------------------- */

#pragma pack(push, 8)
/**
 * @brief Describes a metafile (WMF or EMF) and owns its handle.
 *
 * Bitmaps become metafiles by being painted into a metafile DC (EMFs carry
 * the description "ZORAVISTA Metafile v1.0"); metafiles become 24-bit
 * bitmaps by being played into a DC on a new bitmap.
 */
typedef struct MetaBitmap {
    HANDLE  Handle;        /**< HMETAFILE or HENHMETAFILE, owned by the record (Z_DeleteMetaBitmap()). */
    INT32   IsEnhanced;    /**< Non-zero for an EMF. */
    INT32   WindowOrgX;    /**< Window origin used to play a WMF. */
    INT32   WindowOrgY;    /**< Window origin y. */
    INT32   WindowExtX;    /**< Window extent used to play a WMF (logical size). */
    INT32   WindowExtY;    /**< Window extent y. */
    INT32   PixelWidth;    /**< Preferred width in pixels, 0 when unknown. */
    INT32   PixelHeight;   /**< Preferred height in pixels, 0 when unknown. */
    INT32   ResolutionX;   /**< Dots per inch, horizontally. */
    INT32   ResolutionY;   /**< Dots per inch, vertically. */
} MetaBitmap;
#pragma pack(pop)

/** @cond LAYOUT_CHECKS */
ZV_LAYOUT_CHECK(MetaBitmap, 40, 48);
/** @endcond */

/**
 * @brief A new metafile showing the bitmap as displayed, one logical unit
 *        a pixel.
 * @param pBitmap The bitmap (unchanged).
 * @param bEnhanced Non-zero: an EMF; zero: a WMF.
 * @return The metafile (HENHMETAFILE or HMETAFILE; the caller deletes it),
 *         or 0 for a null bitmap, one without pixels, or when GDI fails.
 */
HANDLE __stdcall Z_ConvertToMetafile(BitmapHandle *pBitmap, int bEnhanced);
/**
 * @brief Z_ConvertToMetafile(), then, when a metafile was made, the bitmap
 *        is freed (K_FreeBitmap()).
 * @param pBitmap The bitmap; freed on success.
 * @param bEnhanced Non-zero: an EMF.
 * @return As Z_ConvertToMetafile().
 */
HANDLE __stdcall Z_ChangeToMetafile(BitmapHandle *pBitmap, int bEnhanced);
/**
 * @brief Z_ConvertToMetafile() making a WMF.
 * @param pBitmap The bitmap.
 * @return The HMETAFILE, or 0.
 */
HANDLE __stdcall Z_ConvertToWMF(BitmapHandle *pBitmap);
/**
 * @brief Z_ConvertToMetafile() making an EMF.
 * @param pBitmap The bitmap.
 * @return The HENHMETAFILE, or 0.
 */
HANDLE __stdcall Z_ConvertToEMF(BitmapHandle *pBitmap);
/**
 * @brief Z_ChangeToMetafile() making a WMF (the bitmap is freed on
 *        success).
 * @param pBitmap The bitmap.
 * @return The HMETAFILE, or 0.
 */
HANDLE __stdcall Z_ChangeToWMF(BitmapHandle *pBitmap);
/**
 * @brief Z_ChangeToMetafile() making an EMF (the bitmap is freed on
 *        success).
 * @param pBitmap The bitmap.
 * @return The HENHMETAFILE, or 0.
 */
HANDLE __stdcall Z_ChangeToEMF(BitmapHandle *pBitmap);

/**
 * @brief Plays a WMF or EMF (the kind is found from the handle) into a new
 *        24-bit, blue-first, top-down kernel bitmap.
 * @param pBitmap The caller's empty descriptor, written on success only;
 *        release it with K_FreeBitmap().
 * @param hMetafile The metafile (stays the caller's).
 * @param nWidth Width; 0 with @p nHeight 0: the metafile's natural size
 *        (its pixel size, else its window extent); 0 alone: follows from
 *        the height by the natural aspect ratio.
 * @param nHeight Height, likewise.
 * @retval RC_SUCCESS The descriptor holds the bitmap.
 * @retval RC_INVALID_PARAMETER Null descriptor, or as Z_GetMetafileInfo().
 * @retval RC_NO_MEMORY Out of memory, no DC on the bitmap.
 * @return Otherwise the codes of Z_GetMetafileInfo() and K_CreateBitmap().
 */
int __stdcall Z_ConvertFromMetafile(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
/**
 * @brief Z_ConvertFromMetafile(), then the metafile is deleted on success.
 * @param pBitmap The caller's empty descriptor.
 * @param hMetafile The metafile; deleted on success.
 * @param nWidth Width (0: natural, see Z_ConvertFromMetafile()).
 * @param nHeight Height.
 * @return As Z_ConvertFromMetafile().
 */
int __stdcall Z_ChangeFromMetafile(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
/**
 * @brief Z_ConvertFromMetafile() (the same function, for a WMF).
 * @param pBitmap The caller's empty descriptor.
 * @param hMetafile The metafile.
 * @param nWidth Width (0: natural).
 * @param nHeight Height.
 * @return As Z_ConvertFromMetafile().
 */
int __stdcall Z_ConvertFromWMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
/**
 * @brief Z_ConvertFromMetafile() (the same function, for an EMF).
 * @param pBitmap The caller's empty descriptor.
 * @param hMetafile The metafile.
 * @param nWidth Width (0: natural).
 * @param nHeight Height.
 * @return As Z_ConvertFromMetafile().
 */
int __stdcall Z_ConvertFromEMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
/**
 * @brief Z_ChangeFromMetafile() (the same function, for a WMF).
 * @param pBitmap The caller's empty descriptor.
 * @param hMetafile The metafile; deleted on success.
 * @param nWidth Width (0: natural).
 * @param nHeight Height.
 * @return As Z_ConvertFromMetafile().
 */
int __stdcall Z_ChangeFromWMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);
/**
 * @brief Z_ChangeFromMetafile() (the same function, for an EMF).
 * @param pBitmap The caller's empty descriptor.
 * @param hMetafile The metafile; deleted on success.
 * @param nWidth Width (0: natural).
 * @param nHeight Height.
 * @return As Z_ConvertFromMetafile().
 */
int __stdcall Z_ChangeFromEMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight);

/**
 * @brief Describes a metafile.  An EMF: pixel size and resolutions from
 *        its header, window fields 0.  A WMF: as Z_ParseMetaBits() of its
 *        bits.
 * @param hMetafile The metafile (not copied: pInfo->Handle is @p hMetafile
 *        itself, so do not delete both).
 * @param pInfo Receives the description.
 * @retval RC_SUCCESS Described.
 * @retval RC_INVALID_PARAMETER Null @p pInfo, or no bits could be had.
 * @retval RC_NO_MEMORY Out of memory.
 * @retval RC_INVALID_FORMAT Bytes that are not a metafile.
 */
int __stdcall Z_GetMetafileInfo(HANDLE hMetafile, MetaBitmap *pInfo);

/**
 * @brief Describes metafile bytes (optionally making a metafile of them).
 *
 * Reads an optional 22-byte placeable header (key 0x9AC6CDD7) and a
 * standard WMF header, or an EMF; then the first ten WMF records for the
 * window extent (SETWINDOWEXT), the pixel size (SETVIEWPORTEXT) and the
 * mapping mode (SETMAPMODE; MM_TEXT is rewritten in place to
 * MM_ANISOTROPIC, so bytes holding such a record must be writable).
 * @param pBits The bytes.
 * @param uSize Their count.
 * @param pMeta Receives the description.
 * @param bCreate Non-zero: pMeta->Handle gets a new metafile made from the
 *        bytes (the record owns it).
 * @retval RC_SUCCESS Described.
 * @retval RC_INVALID_PARAMETER A null pointer.
 * @retval RC_INVALID_FORMAT Neither WMF nor EMF, truncated records, GDI
 *         refused the bytes; EMF bytes with @p bCreate 0.
 */
int __stdcall Z_ParseMetaBits(const void *pBits, UINT uSize, MetaBitmap *pMeta, int bCreate);
/**
 * @brief Z_ParseMetaBits() (creating) over a whole file.
 * @param pszFileName File name in the ANSI code page.
 * @param pMeta Receives the description and the new metafile; release it
 *        with Z_DeleteMetaBitmap().
 * @retval RC_SUCCESS Loaded.
 * @retval RC_FILE_OPEN The file cannot be opened.
 * @retval RC_FILE_SEEK It cannot be positioned.
 * @retval RC_NO_MEMORY Out of memory.
 * @retval RC_ROW_READ A short read.
 * @return Otherwise the codes of Z_ParseMetaBits().
 */
int __stdcall Z_LoadMetaBitmap(const char *pszFileName, MetaBitmap *pMeta);
/**
 * @brief The bytes of a metafile.
 * @param pMeta The record.
 * @param ppBits Receives a new kernel block holding the bytes (free it
 *        with K_Free()); null asks for the size only.
 * @param puSize Receives the byte count.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null record or size, or the bytes could not
 *         be fetched.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall Z_AllocateMetaBitmapBits(const MetaBitmap *pMeta, void **ppBits, UINT *puSize);
/**
 * @brief Copies a metafile record with a copy of the metafile (in
 *        memory).
 * @param pDst Receives *pSrc with its own metafile (Handle 0 when GDI
 *        refused the copy); release it with Z_DeleteMetaBitmap().
 * @param pSrc The record.
 * @retval RC_SUCCESS Copied.
 * @retval RC_INVALID_PARAMETER A null pointer.
 */
int __stdcall Z_CopyMetaBitmap(MetaBitmap *pDst, const MetaBitmap *pSrc);
/**
 * @brief Plays the metafile into a rectangle (a WMF through the record's
 *        window origin and extent).
 * @param hDC The device context.
 * @param pMeta The record.
 * @param pDest The rectangle (logical coordinates).
 * @return The play function's result (non-zero on success); 0 for a null
 *         record, handle or rectangle.
 */
int __stdcall Z_PaintMetaBitmap(HDC hDC, const MetaBitmap *pMeta, const RECT *pDest);
/**
 * @brief Deletes the record's metafile and sets Handle to 0.
 * @param pMeta The record; null, or a null handle: nothing.
 */
void __stdcall Z_DeleteMetaBitmap(MetaBitmap *pMeta);

/* ---- Animation playback ----------------------------------------------- */

/**
 * @brief A playback: a caller-driven state machine that composes the
 *        frames of a kernel bitmap list into a target bitmap the caller
 *        owns.
 *
 * A frame's descriptor gives its place (Left, Top, in target pixels from
 * the top), Delay (ms), DisposalMethod (2 background, 3 previous),
 * TransparentColor with #BITMAP_TRANSPARENT, and #BITMAP_WAIT_INPUT.
 * Calling loop: Z_ProcessPlayback(); paint and clear the update rectangle
 * when it is not empty; in the wait states wait (Z_GetPlaybackDelay()) or
 * call Z_CancelPlaybackWait() on user input; in #PLAYSTATE_END stop, or
 * step again to loop.  A playback belongs to the thread that drives it.
 * Every playback function returns #RC_INVALID_PARAMETER for a null
 * handle or one that does not lock, and for a null required out-pointer.
 */
typedef HGLOBAL PlaybackHandle;

/**
 * @defgroup playstate Playback states
 * @brief States of a playback (Z_ProcessPlayback()).
 * @{
 */
#define PLAYSTATE_START             0  /**< New or restarted; target not cleared. */
#define PLAYSTATE_ADVANCE           1  /**< Target cleared; move to the next frame. */
#define PLAYSTATE_RENDER            2  /**< Draw the frame at the current index. */
#define PLAYSTATE_WAIT_DATA         3  /**< The last frame is still arriving (Z_ValidatePlaybackLines()). */
#define PLAYSTATE_RENDERED          4  /**< Frame drawn (or skipped); choose the wait. */
#define PLAYSTATE_WAIT_INPUT        5  /**< Wait for the user (Z_CancelPlaybackWait()). */
#define PLAYSTATE_WAIT_DELAY        6  /**< Wait for the frame's delay (Z_GetPlaybackDelay()). */
#define PLAYSTATE_WAIT_DELAY_INPUT  7  /**< Wait for the delay or the user. */
#define PLAYSTATE_DISPOSE           8  /**< Wait over; apply the disposal method. */
#define PLAYSTATE_DISPOSED          9  /**< Disposed; move to the next frame. */
#define PLAYSTATE_END              10  /**< Past the last frame. */
/** @} */

/**
 * @brief Creates a playback of a frame list into a target bitmap.
 * @param pOut Receives the handle (null until success); destroy it with
 *        Z_DestroyPlayback().
 * @param pTarget The target bitmap (must hold pixels; the caller owns it
 *        and keeps it alive).
 * @param hList The frame list (K_CreateBitmapList()); null: a new empty
 *        list.  The caller owns the list either way.
 * @retval RC_SUCCESS Created.
 * @retval RC_INVALID_PARAMETER Null @p pOut or @p pTarget, a target
 *         without #BITMAP_ALLOCATED.
 * @retval RC_NO_MEMORY Out of memory.
 * @return Otherwise the kernel's list status.
 */
int __stdcall Z_CreatePlayback(PlaybackHandle *pOut, BitmapHandle *pTarget, void *hList);
/**
 * @brief Frees the playback's saved area, row tracking and record.
 * @param h The playback.
 * @param pOutList Receives the frame list when not null (the list is never
 *        destroyed here; K_DestroyBitmapList() it).
 * @retval RC_SUCCESS Destroyed.
 * @retval RC_INVALID_PARAMETER A bad handle.
 */
int __stdcall Z_DestroyPlayback(PlaybackHandle h, void **pOutList);
/**
 * @brief One step of the state machine.  Kernel failures inside a step
 *        abandon the frame's drawing but are not reported.
 * @param h The playback.
 * @param pOutState Receives the new state (PLAYSTATE_*) when not null.
 * @retval RC_SUCCESS Stepped.
 * @retval RC_INVALID_PARAMETER A bad handle.
 */
int __stdcall Z_ProcessPlayback(PlaybackHandle h, UINT *pOutState);
/**
 * @brief The playback's state.
 * @param h The playback.
 * @param pOutState Receives the state (PLAYSTATE_*).
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER A bad handle or null @p pOutState.
 */
int __stdcall Z_GetPlaybackState(PlaybackHandle h, UINT *pOutState);
/**
 * @brief The current frame's index.
 * @param h The playback.
 * @param pOutIndex Receives the index (-1 before the first frame).
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER A bad handle or null @p pOutIndex.
 */
int __stdcall Z_GetPlaybackIndex(PlaybackHandle h, int *pOutIndex);
/**
 * @brief The union of the target areas changed since it was last cleared,
 *        in the target's stored pixels (repaint them).
 * @param h The playback.
 * @param pOutRect Receives the rectangle when not null.
 * @param bClear Non-zero: cleared to (0, 0, 0, 0) afterwards.
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER A bad handle.
 */
int __stdcall Z_GetPlaybackUpdateRect(PlaybackHandle h, RECT *pOutRect, int bClear);
/**
 * @brief Clears the update rectangle to (0, 0, 0, 0).
 * @param h The playback.
 * @retval RC_SUCCESS Cleared.
 * @retval RC_INVALID_PARAMETER A bad handle.
 */
int __stdcall Z_ClearPlaybackUpdateRect(PlaybackHandle h);
/**
 * @brief Milliseconds left of the current frame's delay.
 * @param h The playback.
 * @param pOutDelay Receives the time left in the two delay states, else 0.
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER A bad handle or null @p pOutDelay.
 */
int __stdcall Z_GetPlaybackDelay(PlaybackHandle h, UINT *pOutDelay);
/**
 * @brief Ends a wait: states 5, 6 and 7 become #PLAYSTATE_DISPOSE; other
 *        states are left alone.  This is how the caller reports user
 *        input.
 * @param h The playback.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER A bad handle.
 */
int __stdcall Z_CancelPlaybackWait(PlaybackHandle h);
/**
 * @brief Replays up to a frame without honouring waits: the target then
 *        holds what normal playback shows when that frame becomes current.
 *        An earlier index restarts from a cleared target.  Ends row
 *        tracking.
 * @param h The playback.
 * @param nIndex The frame, -1 to the item count.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER A bad handle, an index out of range.
 */
int __stdcall Z_SetPlaybackIndex(PlaybackHandle h, int nIndex);
/**
 * @brief Appends a frame and tracks its rows: the playback waits in
 *        #PLAYSTATE_WAIT_DATA before drawing it until every row was
 *        validated.  A playback past its end continues with it.
 * @param h The playback.
 * @param pFrame The frame; the list owns its data from then on.
 * @retval RC_SUCCESS Appended.
 * @retval RC_INVALID_PARAMETER A bad handle, null frame.
 * @retval RC_NO_MEMORY Out of memory (nothing appended).
 */
int __stdcall Z_AppendPlayback(PlaybackHandle h, BitmapHandle *pFrame);
/**
 * @brief Marks rows of the last appended frame as arrived (rows outside
 *        it are ignored; each row counts once).
 * @param h The playback.
 * @param nRow First stored row.
 * @param nCount Number of rows.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER A bad handle.
 */
int __stdcall Z_ValidatePlaybackLines(PlaybackHandle h, int nRow, int nCount);

/* ---- Device-dependent bitmaps and screen capture ----------------------- */

/**
 * @brief A new device-dependent bitmap showing the bitmap as displayed,
 *        painted through the library (library dithering, RGB colour
 *        tables); a monochrome bitmap for 1-bit black-and-white data.
 * @param hDC The device the bitmap must suit; null: the screen.
 * @param pBitmap The bitmap (unchanged).
 * @return The HBITMAP (the caller deletes it), or null on failure.
 */
HBITMAP __stdcall Z_ConvertToDDB(HDC hDC, BitmapHandle *pBitmap);
/**
 * @brief Z_ConvertToDDB(), then the bitmap is freed when a handle came
 *        back.
 * @param hDC The device; null: the screen.
 * @param pBitmap The bitmap; freed on success.
 * @return As Z_ConvertToDDB().
 */
HBITMAP __stdcall Z_ChangeToDDB(HDC hDC, BitmapHandle *pBitmap);
/**
 * @brief Fills an empty descriptor from a device-dependent bitmap.
 * @param hDC The DC to read it on; null: the screen.
 * @param pBitmap The caller's empty descriptor; release it with
 *        K_FreeBitmap().
 * @param hDDB The device-dependent bitmap (stays the caller's).
 * @param hPalette Palette selected while reading (K_CreateDefaultPalette()
 *        on palette screens), or null.
 * @retval RC_SUCCESS The descriptor holds the bitmap.
 * @retval RC_INVALID_PARAMETER No or an unreadable @p hDDB.
 * @retval RC_NO_MEMORY Out of memory.
 * @return Otherwise the kernel's load status.
 */
int __stdcall Z_ConvertFromDDB(HDC hDC, BitmapHandle *pBitmap, HBITMAP hDDB, HPALETTE hPalette);
/**
 * @brief Z_ConvertFromDDB(), then on #RC_SUCCESS deletes @p hDDB and
 *        @p hPalette.
 * @param hDC The DC; null: the screen.
 * @param pBitmap The caller's empty descriptor.
 * @param hDDB The device-dependent bitmap; deleted on success.
 * @param hPalette The palette, or null; deleted on success.
 * @return As Z_ConvertFromDDB().
 */
int __stdcall Z_ChangeFromDDB(HDC hDC, BitmapHandle *pBitmap, HBITMAP hDDB, HPALETTE hPalette);
/**
 * @brief Copies a rectangle of a device context (the screen) into a new
 *        bitmap.
 * @param hDC The DC; null: the screen.
 * @param pBitmap The caller's empty descriptor; release it with
 *        K_FreeBitmap().
 * @param pRect The rectangle (logical coordinates); with bottom above top
 *        |height| rows are taken from its top.
 * @retval RC_SUCCESS The descriptor holds the capture.
 * @retval RC_INVALID_PARAMETER Null pointers, an empty rectangle, no
 *         memory DC.
 * @retval RC_NO_MEMORY No device bitmap.
 * @return Otherwise the codes of Z_ConvertFromDDB().
 */
int __stdcall Z_ScreenCaptureBitmap(HDC hDC, BitmapHandle *pBitmap, const RECT *pRect);

/* ---- Clipboard ---------------------------------------------------------- */

/**
 * @defgroup clipflags Clipboard flags
 * @brief Bits of Z_CopyToClipboardExt()'s uFlags.
 *
 * A bitmap goes on the clipboard as palette, packed DIB, device-dependent
 * bitmap and, when it has a region, the region's 1-bit mask as a packed
 * DIB under the registered format "ZORAVISTA 8.0 Region".
 * @{
 */
#define CLIP_EMPTY_FIRST 0x01u /**< Empty the clipboard first. */
#define CLIP_DIB         0x02u /**< Put CF_DIB. */
#define CLIP_BITMAP      0x04u /**< Put CF_BITMAP (made on the window's DC). */
#define CLIP_PALETTE     0x08u /**< Put CF_PALETTE (made on the window's DC). */
#define CLIP_REGION      0x10u /**< Put the region format when the bitmap has a region. */
#define CLIP_ALL         0x1Fu /**< All of the above. */
/** @} */
/**
 * @brief Puts a bitmap on the clipboard in the formats asked for, all
 *        prepared before the clipboard is opened.  Nothing stays
 *        allocated on failure.
 * @param hWnd The window that owns the clipboard.
 * @param pBitmap The bitmap (copied; unchanged).
 * @param uFlags CLIP_* bits.
 * @retval RC_SUCCESS Put.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER No DC for @p hWnd, the clipboard could not
 *         be opened.
 * @retval RC_NO_MEMORY The DIB, region DIB or DDB could not be made.
 * @return Otherwise the region mask's own status.
 */
int __stdcall Z_CopyToClipboardExt(HWND hWnd, BitmapHandle *pBitmap, UINT uFlags);
/**
 * @brief Z_CopyToClipboardExt() with #CLIP_ALL.
 * @param hWnd The window that owns the clipboard.
 * @param pBitmap The bitmap.
 * @return 1 on success, else 0.
 */
int __stdcall Z_CopyToClipboard(HWND hWnd, BitmapHandle *pBitmap);
/**
 * @brief Fills an empty descriptor from the clipboard: the first of
 *        CF_DIB, CF_BITMAP, CF_ENHMETAFILE and CF_METAFILEPICT (metafiles
 *        played on white, 24 bits), with the region of the region format
 *        when present.
 * @param hWnd The window opening the clipboard.
 * @param pBitmap The caller's empty descriptor; release it with
 *        K_FreeBitmap().
 * @return 1 on success, 0 on any failure (@p pBitmap then unchanged).
 */
int __stdcall Z_CopyFromClipboard(HWND hWnd, BitmapHandle *pBitmap);
/**
 * @brief Whether the clipboard holds a picture Z_CopyFromClipboard() can
 *        read.
 * @return 1 when CF_DIB, CF_BITMAP or CF_METAFILEPICT is available, else
 *         0.
 */
int __stdcall Z_ClipboardReady(void);

/* ---- Printing -----------------------------------------------------------
 * A print job is one page: a call with hDC 0 opens the default printer
 * (profile "windows", "device"), starts the document "ZORA GRAPHIC" and
 * the page; later calls pass the DC returned before; a call with bEndDoc
 * ends page and document and deletes the DC. */

/**
 * @brief Prints a bitmap through the paint dispatcher, on a one-page job.
 *
 * A call with @p hDC 0 opens the default printer (profile section
 * "windows", key "device"), starts the document "ZORA GRAPHIC" and its
 * page; later calls pass the DC returned before; a call with @p bEndDoc
 * ends page and document and deletes the DC.  With the thread's status
 * callback (K_SetStatusCallback()) the bitmap is printed row by row with
 * progress 0 to 100; an answer other than #RC_SUCCESS aborts the job.
 * @param hDC The job's DC, or 0 to start a job.
 * @param pBitmap The bitmap; null prints nothing (to end a job).
 * @param x Left edge on the page (device units); 0 with @p nWidth 0
 *        centres.
 * @param y Top edge; 0 with @p nHeight 0 centres.
 * @param nWidth Width on the page; both sizes 0 fit the page keeping the
 *        aspect ratio, one 0 follows the ratio.
 * @param nHeight Height on the page.
 * @param bEndDoc Non-zero ends page and document and deletes the DC.
 * @return The job's DC (after @p bEndDoc only a success mark), or 0 on
 *         failure.
 */
HDC __stdcall Z_PrintBitmapExt(HDC hDC, BitmapHandle *pBitmap, int x, int y, int nWidth, int nHeight,
                               int bEndDoc);
/**
 * @brief Prints the bitmap's rows in one StretchDIBits at the rectangle as
 *        given; formats StretchDIBits cannot take go to Z_PrintBitmapExt().
 * @param hDC The job's DC, or 0 to start a job.
 * @param pBitmap The bitmap; null prints nothing.
 * @param x Left edge on the page.
 * @param y Top edge.
 * @param nWidth Width on the page.
 * @param nHeight Height on the page.
 * @param bEndDoc Non-zero ends the job.
 * @return As Z_PrintBitmapExt().
 */
HDC __stdcall Z_PrintBitmapFast(HDC hDC, BitmapHandle *pBitmap, int x, int y, int nWidth, int nHeight,
                                int bEndDoc);
/**
 * @brief Z_PrintBitmapExt() on the calling thread's job DC, kept between
 *        calls (cleared by @p bEndDoc and by failures).
 * @param pBitmap The bitmap; null prints nothing.
 * @param x Left edge (0 with @p nWidth 0: centred).
 * @param y Top edge (0 with @p nHeight 0: centred).
 * @param nWidth Width (0: fitted).
 * @param nHeight Height (0: fitted).
 * @param bEndDoc Non-zero ends the job.
 * @return As Z_PrintBitmapExt().
 */
HDC __stdcall Z_PrintBitmap(BitmapHandle *pBitmap, int x, int y, int nWidth, int nHeight, int bEndDoc);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZVDISP_H */
