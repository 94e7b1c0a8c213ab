/*
 * zvtypes.h - records shared by the toolkit's kernel (zvkern) and the
 * display library (zvdisp): the bitmap descriptor, its flag bits, the
 * status codes, the region object and the region service table.
 *
 * Both public headers include this one; applications normally include
 * zvdisp.h (and zvkern.h when they create bitmaps themselves).
 */
#ifndef ZVTYPES_H
#define ZVTYPES_H

#include <windows.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------
 * Status codes.  Every exported function returns one of these (a few
 * return a handle, count or value instead).
 * ------------------------------------------------------------------- */
#define RC_SUCCESS              1
#define RC_FAILURE              0
#define RC_NO_MEMORY          (-1)
#define RC_NO_BITMAP          (-2)
#define RC_FILE_SEEK          (-4)
#define RC_ROW_READ           (-7)
#define RC_INVALID_FORMAT     (-9)
#define RC_SIZE_MISMATCH     (-11)
#define RC_INVALID_PARAMETER (-13)
#define RC_FILE_OPEN         (-14)
#define RC_CREATE_WINDOW     (-91)

/* ---------------------------------------------------------------------
 * Bitmap descriptor.
 *
 * 39 words.  The pointer members are pointer-sized; every other member,
 * the kernel-private words included, is 32 bits.  On a 32-bit build the
 * record is 156 bytes and member n lies at offset 4 * (n - 1).
 * ------------------------------------------------------------------- */
typedef struct ZoraRgn ZoraRgn;

typedef struct BitmapHandle {
    uint32_t  KernelOwned;      /*  1 kernel: what the kernel allocated (KERN_OWNS_*) */
    uint8_t  *Data;             /*  2 pixel block when BITMAP_CONTIGUOUS */
    int32_t   Width;            /*  3 stored width in pixels */
    int32_t   Height;           /*  4 stored height in rows */
    int32_t   BitsPerPixel;     /*  5 1..8, 12, 16, 24, 32, 48, 64 */
    int32_t   BytesPerLine;     /*  6 row stride in bytes */
    uint32_t  KernelAccess;     /*  7 kernel: open access count */
    uint32_t  KernelReserved8;  /*  8 kernel */
    uint32_t  Flags;            /*  9 BITMAP_* bits */
    int32_t   ColorCount;       /* 10 palette entries */
    RGBQUAD  *Palette;          /* 11 colour table, or null */
    int32_t   Orientation;      /* 12 view orientation code */
    int32_t   Order;            /* 13 colour order of the pixel data (ORDER_*) */
    uint32_t  KernelReserved14; /* 14 kernel */
    uint32_t  KernelReserved15; /* 15 kernel */
    uint32_t  KernelReserved16; /* 16 kernel */
    ZoraRgn  *Region;           /* 17 the bitmap's region, or null */
    uint32_t  KernelReserved18; /* 18 kernel */
    uint32_t  KernelReserved19; /* 19 kernel */
    int32_t   Left;             /* 20 animation frame position */
    int32_t   Top;              /* 21 */
    uint32_t  Delay;            /* 22 frame display time, ms */
    COLORREF  BackgroundColor;  /* 23 */
    COLORREF  TransparentColor; /* 24 */
    uint32_t  DisposalMethod;   /* 25 */
    int32_t   WindowLowBit;     /* 26 range recorded with the window-level table */
    int32_t   WindowHighBit;    /* 27 */
    RGBQUAD  *WindowLUT;        /* 28 window-level colour table, owned by the bitmap */
    uint32_t  WindowLUTLength;  /* 29 entries in WindowLUT */
    uint32_t  KernelReserved30; /* 30 kernel */
    uint32_t  MinValue;         /* 31 smallest value of the significant bits */
    uint32_t  MaxValue;         /* 32 largest value of the significant bits */
    int32_t   LowBit;           /* 33 lowest significant bit of gray data */
    int32_t   HighBit;          /* 34 highest significant bit of gray data */
    uint32_t  PaintGamma;       /* 35 gamma x 100, never 0 */
    int32_t   PaintContrast;    /* 36 -1000..1000 */
    int32_t   PaintIntensity;   /* 37 -1000..1000 */
    uint8_t  *PaintLUT;         /* 38 256-byte paint table */
    uint32_t  KernelReserved39; /* 39 kernel */
} BitmapHandle;

/* Flags */
#define BITMAP_ALLOCATED        0x0001u  /* the bitmap has data */
#define BITMAP_CONTIGUOUS       0x0002u  /* the whole image is one block at Data */
#define BITMAP_KERNEL_0004      0x0004u  /* kernel: sends fast printing to its general path */
#define BITMAP_WAIT_INPUT       0x0040u  /* animation: wait for input after the frame */
#define BITMAP_TRANSPARENT      0x0080u  /* animation: TransparentColor is transparent */
#define BITMAP_KERNEL_0100      0x0100u  /* kernel: excludes direct paint and fast printing */
#define BITMAP_WINDOW_LEVEL     0x0800u  /* WindowLUT in force for painting */
#define BITMAP_PAINT_LUT        0x2000u  /* PaintLUT differs from identity */
#define BITMAP_KERNEL_8000      0x8000u  /* kernel: excludes direct paint and fast printing */
#define BITMAP_RGN_UNCLIPPED   0x10000u  /* the region is not clipped to the bitmap */
#define BITMAP_PALETTE_HANDLE  0x20000u  /* Palette holds an HPALETTE */

/* Order: colour order of the pixel bytes. */
#define ORDER_BGR   1   /* blue first, as in Windows DIBs */
#define ORDER_GRAY  2   /* gray data */
#define ORDER_RGB   0   /* red first (as every value but 1, 2 and 5) */
#define ORDER_BGR_CONVERT 5 /* blue first, converted to ORDER_BGR before painting */

/* Orientation codes: the eight symmetries of the rectangle.  With stored
 * row r, column c, stored Width W and Height H, displayed pixel (x, y) is
 *   0 (c, r)          1 (W-1-c, r)       2 (c, H-1-r)      3 (W-1-c, H-1-r)
 *   4 (H-1-r, c)      5 (r, c)           7 (H-1-r, W-1-c)  8 (r, W-1-c)
 * 6 is not a valid code.  4, 5, 7 and 8 exchange the axes; 1, 2, 5 and 7
 * contain a mirror. */
#define ORIENT_TOP_LEFT     0
#define ORIENT_TOP_RIGHT    1
#define ORIENT_BOTTOM_LEFT  2
#define ORIENT_BOTTOM_RIGHT 3
#define ORIENT_RIGHT_TOP    4
#define ORIENT_LEFT_TOP     5
#define ORIENT_RIGHT_BOTTOM 7
#define ORIENT_LEFT_BOTTOM  8

/* ---------------------------------------------------------------------
 * Regions.  A region is kept as horizontal runs, row by row, in bitmap
 * pixel coordinates.
 * ------------------------------------------------------------------- */
typedef struct RgnTransform {
    int32_t Orientation;   /* orientation of the caller's coordinates */
    int32_t ScaleXNum, ScaleXDen;
    int32_t ScaleYNum, ScaleYDen;
    int32_t OffsetX, OffsetY;
} RgnTransform;

typedef struct RgnRow {
    uint32_t Count;   /* int32 values of the row: twice its runs */
    uint32_t Offset;  /* byte offset of the row's first value in SpanStore */
} RgnRow;

struct ZoraRgn {
    HRGN         hRgnCache;
    RgnTransform RgnCacheTransform;
    int32_t      RgnCacheOrientation;
    HBITMAP      hMaskCache;
    RgnTransform MaskCacheTransform;
    int32_t      MaskCacheOrientation;
    RECT         Bounds;
    uint32_t     RowTableSize;   /* bytes: 8 x (Bounds.bottom - Bounds.top) */
    RgnRow      *RowTable;
    uint32_t     SpanStoreSize;  /* bytes of SpanStore in use */
    int32_t     *SpanStore;      /* (start, end) pairs, row after row */
};

/* Combine modes */
#define RGN_MODE_AND             0
#define RGN_MODE_SET             1
#define RGN_MODE_NEW_MINUS_OLD   2
#define RGN_MODE_OLD_MINUS_NEW   3
#define RGN_MODE_OR              4
#define RGN_MODE_XOR             5
#define RGN_MODE_SET_COMPLEMENT  6

/* ---------------------------------------------------------------------
 * Region service table: the region operations the display library hands
 * to the kernel at load, so that the kernel's own bitmap operations carry
 * a bitmap's region along.  All entries null withdraws it.
 * ------------------------------------------------------------------- */
typedef struct RegionServiceTable {
    int (__stdcall *MirrorWithBitmap)(BitmapHandle *pBitmap);                                 /*  1 */
    int (__stdcall *CopyWithOffset)(BitmapHandle *pDst, BitmapHandle *pSrc, int nDx, int nDy); /*  2 */
    int (__stdcall *SetRgnFromMask)(BitmapHandle *pBitmap, RgnTransform *pTransform,
                                    BitmapHandle *pMask, UINT uCombineMode);                  /*  3 */
    int (__stdcall *GetClipSegmentsMax)(BitmapHandle *pBitmap, UINT *puMax);                  /*  4 */
    int (__stdcall *GetClipSegments)(BitmapHandle *pBitmap, int nRow, INT32 *pSegments,
                                     UINT *puCount);                                          /*  5 */
    int (__stdcall *ResizeWithBitmap)(BitmapHandle *pBitmap, int nNewWidth, int nNewHeight);  /*  6 */
    int (__stdcall *Combine)(BitmapHandle *pBitmap, RgnTransform *pTransform,
                             ZoraRgn *pNewRgn, UINT uCombineMode);                            /*  7 */
    int (__stdcall *GetRgnBounds)(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect); /* 8 */
    int (__stdcall *CopyRgn)(ZoraRgn **ppDst, ZoraRgn *pSrc);                                 /*  9 */
    int (__stdcall *Offset)(ZoraRgn *pRgn, int nDx, int nDy);                                 /* 10 */
    int (__stdcall *Flip)(ZoraRgn *pRgn, int nHeight);                                        /* 11 */
    int (__stdcall *ShearWithBitmap)(BitmapHandle *pBitmap, int nAngle);                      /* 12 */
    int (__stdcall *RotateWithBitmap)(BitmapHandle *pBitmap, int nOldWidth, int nOldHeight,
                                      int nAngle);                                            /* 13 */
    int (__stdcall *IntGetRgnHandle)(BitmapHandle *pBitmap, RgnTransform *pTransform,
                                     HRGN *phRgn, int *pbMustDelete);                         /* 14 */
    int (__stdcall *ExactColorRgn)(BitmapHandle *pBitmap, COLORREF crColor, UINT uCombineMode); /* 15 */
    int (__stdcall *SetRgnRect)(BitmapHandle *pBitmap, RgnTransform *pTransform, RECT *pRect,
                                UINT uCombineMode);                                           /* 16 */
    int (__stdcall *IsPtInRgn)(BitmapHandle *pBitmap, int nRow, int nCol);                    /* 17 */
    int (__stdcall *CreateMaskFromRgn)(BitmapHandle *pBitmap, BitmapHandle *pMask);           /* 18 */
    int (__stdcall *FlipWithBitmap)(BitmapHandle *pBitmap);                                   /* 19 */
    int (__stdcall *GetRgnHandle)(BitmapHandle *pBitmap, RgnTransform *pTransform, HRGN *phRgn); /* 20 */
} RegionServiceTable;

#define REGION_SERVICE_SLOTS 20

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* ZVTYPES_H */
