/**
 * @file zvtypes.h
 * @brief Records shared by the kernel (zvkern) and the display library
 *        (zvdisp): the bitmap descriptor, its flag bits, the status codes,
 *        the orientation codes, the region object and the region service
 *        table.
 *
 * Both public headers include this one; applications normally include
 * zvdisp.h (and zvkern.h when they create or load bitmaps themselves).
 *
 * The records here are laid out with their natural alignment and pinned
 * to it: an application's own `#pragma pack` does not change them, and
 * their sizes are checked when the header is compiled (C and C++).
 */
#ifndef ZVTYPES_H
#define ZVTYPES_H

#include <windows.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/**
 * @defgroup status Status codes
 * @brief What every function returns, unless its entry says it returns a
 *        handle, a count or a value instead.
 *
 * Success is #RC_SUCCESS (1); failures are 0 or negative.  Test for
 * `== RC_SUCCESS`, not for non-zero.
 * @{
 */
#define RC_SUCCESS              1   /**< The call did what it was asked. */
#define RC_FAILURE              0   /**< A general failure with no more specific code (a write that failed, a window property that could not be set, no callback to answer). */
#define RC_NO_MEMORY          (-1)  /**< An allocation failed (or a GDI object could not be made, or a data block is too small or malformed where the entry says so). */
#define RC_NO_BITMAP          (-2)  /**< The bitmap pointer is null or the descriptor holds no pixels (#BITMAP_ALLOCATED clear). */
#define RC_FILE_SEEK          (-4)  /**< A file could not be positioned. */
#define RC_ROW_READ           (-7)  /**< Rows or bytes could not be read (a failing or short read). */
#define RC_INVALID_FORMAT     (-9)  /**< The data is not in a format this call reads (not a BMP file, an unsupported depth or header, mismatching depths). */
#define RC_SIZE_MISMATCH     (-11)  /**< A bitmap of another size than the one the call works with. */
#define RC_INVALID_PARAMETER (-13)  /**< A null pointer, a value out of range, or an object (window, handle) that is not what the call needs. */
#define RC_FILE_OPEN         (-14)  /**< A file could not be opened (missing, no access). */
#define RC_CREATE_WINDOW     (-91)  /**< A window could not be created. */
/** @} */

#pragma pack(push, 8)

/** @brief A region object (see struct ZoraRgn). */
typedef struct ZoraRgn ZoraRgn;

/**
 * @brief The bitmap descriptor: size, depth, colour description, pixels,
 *        region and paint settings of one bitmap.
 *
 * 39 words.  The pointer members are pointer-sized; every other member,
 * the kernel-private words included, is 32 bits.  The record is 156 bytes
 * on 32-bit Windows (member n at offset 4 x (n - 1)) and 192 on 64-bit.
 *
 * The caller owns the descriptor (usually a zero-filled variable); the
 * kernel fills it (K_CreateBitmap(), K_LoadBitmapFile(), ...) and
 * K_FreeBitmap() releases what it holds.  Members marked "kernel" are the
 * kernel's and must not be written.  See @ref ownership "Descriptors and
 * ownership" on the main page.
 */
typedef struct BitmapHandle {
    uint32_t  KernelOwned;      /**< 1. Kernel: what the kernel allocated for this descriptor (KERN_OWNS_* bits with KERN_OWNED_MARK). */
    uint8_t  *Data;             /**< 2. The pixel block when #BITMAP_CONTIGUOUS: stored row 0 first, #BytesPerLine bytes a row. */
    int32_t   Width;            /**< 3. Stored width in pixels (the displayed height for orientations 4, 5, 7, 8). */
    int32_t   Height;           /**< 4. Stored height in rows. */
    int32_t   BitsPerPixel;     /**< 5. 1 to 8, 12, 16, 24, 32, 48 or 64. */
    int32_t   BytesPerLine;     /**< 6. Row stride in bytes (a multiple of 4 for kernel bitmaps). */
    uint32_t  KernelAccess;     /**< 7. Kernel: the number of open accesses (K_BeginAccess()). */
    uint32_t  KernelReserved8;  /**< 8. Kernel. */
    uint32_t  Flags;            /**< 9. BITMAP_* bits. */
    int32_t   ColorCount;       /**< 10. Entries in #Palette. */
    RGBQUAD  *Palette;          /**< 11. Colour table of a bitmap of 8 bits or fewer, or null (a gray ramp is then assumed). */
    int32_t   Orientation;      /**< 12. View orientation (ORIENT_*): how the stored pixels are turned for display.  Bottom-up BMP files load with #ORIENT_BOTTOM_LEFT, top-down ones with #ORIENT_TOP_LEFT. */
    int32_t   Order;            /**< 13. Colour order of the pixel bytes (ORDER_*). */
    uint32_t  KernelReserved14; /**< 14. Kernel. */
    uint32_t  KernelReserved15; /**< 15. Kernel. */
    uint32_t  KernelReserved16; /**< 16. Kernel. */
    ZoraRgn  *Region;           /**< 17. The bitmap's region (a selection of stored pixels), or null; owned by the bitmap. */
    uint32_t  KernelReserved18; /**< 18. Kernel. */
    uint32_t  KernelReserved19; /**< 19. Kernel. */
    int32_t   Left;             /**< 20. Animation: the frame's left edge in the target, in target pixels. */
    int32_t   Top;              /**< 21. Animation: the frame's top edge in the target, counted from the top. */
    uint32_t  Delay;            /**< 22. Animation: how long the frame shows, in milliseconds. */
    COLORREF  BackgroundColor;  /**< 23. Animation: the colour that disposal method 2 restores. */
    COLORREF  TransparentColor; /**< 24. Animation: the colour not drawn when #BITMAP_TRANSPARENT is set. */
    uint32_t  DisposalMethod;   /**< 25. Animation: what happens to the frame's area after it (2 background, 3 previous, others leave it). */
    int32_t   WindowLowBit;     /**< 26. Lowest significant bit recorded with the window-level table (Z_WindowLevel()). */
    int32_t   WindowHighBit;    /**< 27. Highest significant bit recorded with the window-level table. */
    RGBQUAD  *WindowLUT;        /**< 28. Window-level colour table, owned by the bitmap. */
    uint32_t  WindowLUTLength;  /**< 29. Entries in #WindowLUT. */
    uint32_t  KernelReserved30; /**< 30. Kernel. */
    uint32_t  MinValue;         /**< 31. Smallest value of the significant bits of gray data. */
    uint32_t  MaxValue;         /**< 32. Largest value of the significant bits of gray data. */
    int32_t   LowBit;           /**< 33. Lowest significant bit of gray data. */
    int32_t   HighBit;          /**< 34. Highest significant bit of gray data. */
    uint32_t  PaintGamma;       /**< 35. Paint gamma x 100 (100 neutral, never 0). */
    int32_t   PaintContrast;    /**< 36. Paint contrast, -1000 to 1000 (0 neutral). */
    int32_t   PaintIntensity;   /**< 37. Paint intensity, -1000 to 1000 (0 neutral). */
    uint8_t  *PaintLUT;         /**< 38. The 256-byte paint table every painted colour goes through. */
    uint32_t  KernelReserved39; /**< 39. Kernel. */
} BitmapHandle;

/**
 * @defgroup bitmapflags Bitmap flags
 * @brief Bits of BitmapHandle::Flags.
 * @{
 */
#define BITMAP_ALLOCATED        0x0001u  /**< The descriptor holds pixels; functions refuse a bitmap without it (#RC_NO_BITMAP). */
#define BITMAP_CONTIGUOUS       0x0002u  /**< The whole image is one block at BitmapHandle::Data. */
#define BITMAP_KERNEL_0004      0x0004u  /**< Kernel: sends fast printing to its general path. */
#define BITMAP_WAIT_INPUT       0x0040u  /**< Animation: wait for user input after the frame. */
#define BITMAP_TRANSPARENT      0x0080u  /**< Animation: BitmapHandle::TransparentColor is not drawn. */
#define BITMAP_KERNEL_0100      0x0100u  /**< Kernel: excludes direct paint and fast printing. */
#define BITMAP_WINDOW_LEVEL     0x0800u  /**< The window-level table (BitmapHandle::WindowLUT) is in force for painting. */
#define BITMAP_PAINT_LUT        0x2000u  /**< BitmapHandle::PaintLUT differs from the identity. */
#define BITMAP_KERNEL_8000      0x8000u  /**< Kernel: excludes direct paint and fast printing. */
#define BITMAP_RGN_UNCLIPPED   0x10000u  /**< The region may reach outside the bitmap (Z_SetBitmapRgnClip()). */
#define BITMAP_PALETTE_HANDLE  0x20000u  /**< BitmapHandle::Palette holds an HPALETTE instead of a colour table. */
/** @} */

/**
 * @defgroup order Colour orders
 * @brief Values of BitmapHandle::Order: the order of the colour bytes of
 *        the pixel data.
 * @{
 */
#define ORDER_BGR   1   /**< Blue first, as in Windows DIBs and BMP files (loaded bitmaps have it). */
#define ORDER_GRAY  2   /**< Gray data (12 and 16 bits: the significant bits LowBit..HighBit). */
#define ORDER_RGB   0   /**< Red first (every value but 1, 2 and 5 reads as this). */
#define ORDER_BGR_CONVERT 5 /**< Red first in memory, converted to #ORDER_BGR before painting. */
/** @} */

/**
 * @defgroup orient Orientation codes
 * @brief Values of BitmapHandle::Orientation and RgnTransform::Orientation:
 *        the eight symmetries of the rectangle.
 *
 * The orientation says how the stored pixels are shown.  With stored row
 * r, column c, stored Width W and Height H, the displayed pixel (x, y) of
 * stored pixel (c, r) is:
 *
 * | Code | Name | Displayed (x, y) | Displayed size |
 * |---|---|---|---|
 * | 0 | #ORIENT_TOP_LEFT     | (c, r)               | W x H |
 * | 1 | #ORIENT_TOP_RIGHT    | (W-1-c, r)           | W x H |
 * | 2 | #ORIENT_BOTTOM_LEFT  | (c, H-1-r)           | W x H |
 * | 3 | #ORIENT_BOTTOM_RIGHT | (W-1-c, H-1-r)       | W x H |
 * | 4 | #ORIENT_RIGHT_TOP    | (H-1-r, c)           | H x W |
 * | 5 | #ORIENT_LEFT_TOP     | (r, c)               | H x W |
 * | 7 | #ORIENT_RIGHT_BOTTOM | (H-1-r, W-1-c)       | H x W |
 * | 8 | #ORIENT_LEFT_BOTTOM  | (r, W-1-c)           | H x W |
 *
 * 6 is not a valid code.  4, 5, 7 and 8 exchange the axes; 1, 2, 5 and 7
 * contain a mirror.  See @ref coordinates "Stored and displayed
 * coordinates" on the main page.
 * @{
 */
#define ORIENT_TOP_LEFT     0  /**< Stored row 0 on top, column 0 on the left: stored = displayed (top-down files). */
#define ORIENT_TOP_RIGHT    1  /**< Row 0 on top, column 0 on the right (mirrored). */
#define ORIENT_BOTTOM_LEFT  2  /**< Row 0 at the bottom, column 0 on the left: bottom-up BMP files load with it. */
#define ORIENT_BOTTOM_RIGHT 3  /**< Row 0 at the bottom, column 0 on the right (a half turn). */
#define ORIENT_RIGHT_TOP    4  /**< Row 0 on the right, column 0 on top (a quarter turn clockwise); axes exchanged. */
#define ORIENT_LEFT_TOP     5  /**< Row 0 on the left, column 0 on top (transposed); axes exchanged. */
#define ORIENT_RIGHT_BOTTOM 7  /**< Row 0 on the right, column 0 at the bottom (transposed the other way); axes exchanged. */
#define ORIENT_LEFT_BOTTOM  8  /**< Row 0 on the left, column 0 at the bottom (a quarter turn counter-clockwise); axes exchanged. */
/** @} */

/**
 * @brief How coordinates that a caller hands in or gets back relate to
 *        the bitmap's stored pixels.
 *
 * Region functions take an optional pointer to one (null: stored pixel
 * coordinates).  Coming out of the library (bounds, GDI regions, region
 * data, outlines), a stored rectangle is turned from the bitmap's
 * orientation to RgnTransform::Orientation, then scaled and moved:
 *
 *     caller = turned x ScaleNum / ScaleDen + Offset    (rounded up)
 *
 * Going in (shapes, GDI regions, masks, region data), the caller's
 * coordinates are moved, scaled, then turned to the bitmap's orientation:
 *
 *     turned = (caller + Offset) x ScaleNum / ScaleDen
 *
 * so the record for the way in is the inverse of the one for the way out
 * (fractions swapped, offsets negated).  With RgnTransform::Orientation 0
 * (#ORIENT_TOP_LEFT), "turned" is the displayed image: use 0 for window
 * coordinates whatever the bitmap's orientation.  See @ref transform
 * "RgnTransform, worked" on the main page.
 */
typedef struct RgnTransform {
    int32_t Orientation;   /**< The orientation of the caller's coordinates (ORIENT_*, not 6); 0 for a window showing the bitmap as displayed. */
    int32_t ScaleXNum;     /**< Horizontal scale numerator. */
    int32_t ScaleXDen;     /**< Horizontal scale denominator (not 0). */
    int32_t ScaleYNum;     /**< Vertical scale numerator. */
    int32_t ScaleYDen;     /**< Vertical scale denominator (not 0). */
    int32_t OffsetX;       /**< Horizontal displacement (added after scaling on the way out, before it on the way in). */
    int32_t OffsetY;       /**< Vertical displacement. */
} RgnTransform;

/** @brief One row of a region's row table. */
typedef struct RgnRow {
    uint32_t Count;   /**< int32 values of the row in ZoraRgn::SpanStore: twice its runs. */
    uint32_t Offset;  /**< Byte offset of the row's first value in ZoraRgn::SpanStore. */
} RgnRow;

/**
 * @brief A region: a set of stored pixels kept as horizontal runs, row by
 *        row.
 *
 * Hung on BitmapHandle::Region and owned by the bitmap; released with the
 * bitmap (K_FreeBitmap()) or by Z_FreeBitmapRgn().  Applications read it
 * through the Z_ region functions rather than these members.
 */
struct ZoraRgn {
    HRGN         hRgnCache;            /**< Cached GDI region in caller coordinates, or null. */
    RgnTransform RgnCacheTransform;    /**< The transform #hRgnCache was made for. */
    int32_t      RgnCacheOrientation;  /**< The bitmap's orientation when #hRgnCache was made. */
    HBITMAP      hMaskCache;           /**< Cached mask bitmap, or null. */
    RgnTransform MaskCacheTransform;   /**< The transform #hMaskCache was made for. */
    int32_t      MaskCacheOrientation; /**< The bitmap's orientation when #hMaskCache was made. */
    RECT         Bounds;               /**< Bounding rectangle in stored pixels (right and bottom exclusive). */
    uint32_t     RowTableSize;         /**< Bytes of #RowTable: 8 x (Bounds.bottom - Bounds.top). */
    RgnRow      *RowTable;             /**< One entry per row of #Bounds. */
    uint32_t     SpanStoreSize;        /**< Bytes of #SpanStore in use. */
    int32_t     *SpanStore;            /**< (start, end) pairs, end exclusive, row after row. */
};

/**
 * @defgroup rgnmode Combine modes
 * @brief How a function that sets a region combines the new region with
 *        the bitmap's current one (a bitmap without a region counts as the
 *        whole bitmap rectangle).
 * @{
 */
#define RGN_MODE_AND             0  /**< Old and new: the pixels in both. */
#define RGN_MODE_SET             1  /**< The new region replaces the old. */
#define RGN_MODE_NEW_MINUS_OLD   2  /**< The new region without the old. */
#define RGN_MODE_OLD_MINUS_NEW   3  /**< The old region without the new (takes away from a selection). */
#define RGN_MODE_OR              4  /**< Old or new: adds to a selection. */
#define RGN_MODE_XOR             5  /**< The pixels in exactly one of the two. */
#define RGN_MODE_SET_COMPLEMENT  6  /**< The bitmap rectangle without the new region. */
/** @} */

/**
 * @brief The region operations the display library hands to the kernel
 *        when it loads (K_SetRegionServiceTable()), so that the kernel's
 *        own bitmap operations carry a bitmap's region along.
 *
 * Applications do not need it; all entries null withdraws the table.
 * Every entry is __stdcall and returns a status code.
 */
typedef struct RegionServiceTable {
    /** 1. Mirrors the bitmap's region left to right. */
    int (__stdcall *MirrorWithBitmap)(BitmapHandle *pBitmap);
    /** 2. Gives pDst a copy of pSrc's region moved by (nDx, nDy). */
    int (__stdcall *CopyWithOffset)(BitmapHandle *pDst, BitmapHandle *pSrc, int nDx, int nDy);
    /** 3. Z_SetBitmapRgnFromMask(). */
    int (__stdcall *SetRgnFromMask)(BitmapHandle *pBitmap, RgnTransform *pTransform,
                                    BitmapHandle *pMask, UINT uCombineMode);
    /** 4. Z_GetBitmapClipSegmentsMax(). */
    int (__stdcall *GetClipSegmentsMax)(BitmapHandle *pBitmap, UINT *puMax);
    /** 5. Z_GetBitmapClipSegments(). */
    int (__stdcall *GetClipSegments)(BitmapHandle *pBitmap, int nRow, INT32 *pSegments,
                                     UINT *puCount);
    /** 6. Scales the region with a bitmap resized to nNewWidth x nNewHeight. */
    int (__stdcall *ResizeWithBitmap)(BitmapHandle *pBitmap, int nNewWidth, int nNewHeight);
    /** 7. Combines pNewRgn (consumed) into the bitmap's region. */
    int (__stdcall *Combine)(BitmapHandle *pBitmap, RgnTransform *pTransform,
                             ZoraRgn *pNewRgn, UINT uCombineMode);
    /** 8. Z_GetBitmapRgnBounds(). */
    int (__stdcall *GetRgnBounds)(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect);
    /** 9. Z_CopyZoraRgn(). */
    int (__stdcall *CopyRgn)(ZoraRgn **ppDst, ZoraRgn *pSrc);
    /** 10. Moves a region by (nDx, nDy). */
    int (__stdcall *Offset)(ZoraRgn *pRgn, int nDx, int nDy);
    /** 11. Flips a region upside down within nHeight rows. */
    int (__stdcall *Flip)(ZoraRgn *pRgn, int nHeight);
    /** 12. Shears the bitmap's region by nAngle hundredths of a degree. */
    int (__stdcall *ShearWithBitmap)(BitmapHandle *pBitmap, int nAngle);
    /** 13. Rotates the region from a frame of the old size into the bitmap's. */
    int (__stdcall *RotateWithBitmap)(BitmapHandle *pBitmap, int nOldWidth, int nOldHeight,
                                      int nAngle);
    /** 14. Z_IntGetBitmapRgnHandle(). */
    int (__stdcall *IntGetRgnHandle)(BitmapHandle *pBitmap, RgnTransform *pTransform,
                                     HRGN *phRgn, int *pbMustDelete);
    /** 15. Z_SetBitmapRgnColor(). */
    int (__stdcall *ExactColorRgn)(BitmapHandle *pBitmap, COLORREF crColor, UINT uCombineMode);
    /** 16. Z_SetBitmapRgnRect(). */
    int (__stdcall *SetRgnRect)(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                UINT uCombineMode);
    /** 17. Z_IsPtInBitmapRgn(). */
    int (__stdcall *IsPtInRgn)(BitmapHandle *pBitmap, int nRow, int nCol);
    /** 18. Z_CreateMaskFromBitmapRgn(). */
    int (__stdcall *CreateMaskFromRgn)(BitmapHandle *pBitmap, BitmapHandle *pMask);
    /** 19. Flips the bitmap's region upside down within its height. */
    int (__stdcall *FlipWithBitmap)(BitmapHandle *pBitmap);
    /** 20. Z_GetBitmapRgnHandle(). */
    int (__stdcall *GetRgnHandle)(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN *phRgn);
} RegionServiceTable;

#pragma pack(pop)

/** The number of entries in a RegionServiceTable. */
#define REGION_SERVICE_SLOTS 20

/** @cond LAYOUT_CHECKS */
/* Compile-time layout checks, C and C++ alike: a negative array size
 * stops the build when a record's size is not the one the DLLs were built
 * with (32-bit, 64-bit). */
#define ZV_LAYOUT_CHECK(type, size32, size64) \
    typedef char zv_layout_check_##type[(sizeof(type) == (sizeof(void *) == 8 ? (size64) : (size32))) ? 1 : -1]
ZV_LAYOUT_CHECK(BitmapHandle, 156, 192);
ZV_LAYOUT_CHECK(RgnTransform, 28, 28);
ZV_LAYOUT_CHECK(RgnRow, 8, 8);
ZV_LAYOUT_CHECK(ZoraRgn, 104, 128);
ZV_LAYOUT_CHECK(RegionServiceTable, 80, 160);
/** @endcond */

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZVTYPES_H */
