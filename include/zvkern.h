/*
 * zvkern.h - the toolkit's kernel: memory, per-thread slots, bitmap
 * storage, rows, palettes, orientation and the region-operations hook.
 *
 * Every function is __stdcall and exported from zvkern.dll under its
 * undecorated name on both architectures.
 *
 * Ownership.  The word KernelOwned of a descriptor records what the
 * kernel allocated for it (KERN_OWNS_*).  A descriptor filled by hand over
 * the caller's own memory has KernelOwned 0 and Flags BITMAP_ALLOCATED |
 * BITMAP_CONTIGUOUS; it is valid for every operation, and the kernel
 * never frees memory it did not allocate.  Region and window-level table
 * belong to the bitmap whoever made the descriptor and are released with
 * it.
 */
#ifndef ZVKERN_H
#define ZVKERN_H

#include "zvtypes.h"
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KERN_OWNS_DATA     0x0001u  /* Data was allocated by the kernel */
#define KERN_OWNS_PALETTE  0x0002u  /* Palette was allocated by the kernel */
#define KERN_OWNS_PAINTLUT 0x0004u  /* PaintLUT was allocated by the kernel */
#define KERN_OWNED_MARK    0x5A560000u /* high half of KernelOwned when any bit is set */
#define KERN_OWNED_BITS    0x0000FFFFu

/* ---- Memory --------------------------------------------------------
 * Every allocator counts its live blocks and obeys fault injection.
 * K_Free releases blocks of K_Alloc, K_AllocZero and K_Realloc and
 * accepts null.  K_Realloc leaves the block as it was when it fails. */
void *__stdcall K_Alloc(size_t cbSize);
void *__stdcall K_AllocZero(size_t nCount, size_t cbEach);
void *__stdcall K_Realloc(void *pBlock, size_t cbSize);
void  __stdcall K_Free(void *pBlock);
/* Short-lived scratch memory (a paint's strip, a temporary row). */
void *__stdcall K_AllocTemp(size_t cbSize);
void  __stdcall K_FreeTemp(void *pBlock);
/* Movable global memory for the clipboard and other system hand-overs.
 * K_GlobalDetach stops counting a block whose ownership passed to the
 * system (SetClipboardData succeeded); K_GlobalFree frees and uncounts. */
HGLOBAL __stdcall K_GlobalAlloc(UINT uFlags, size_t cbSize);
HGLOBAL __stdcall K_GlobalFree(HGLOBAL hMem);
void    __stdcall K_GlobalDetach(HGLOBAL hMem);

/* Accounting and fault injection, for tests and applications. */
int    __stdcall K_GetLiveBlockCount(void);
/* After nCountdown more successful allocations the next one fails; with
 * bRepeat non-zero every later one fails too.  -1 turns injection off. */
void   __stdcall K_SetAllocationFailure(int nCountdown, int bRepeat);
/* Allocations left before the injected failure; -1 when none is armed
 * (never armed, turned off, or a one-shot failure already happened). */
int    __stdcall K_GetAllocationCountdown(void);
/* Bytes in live blocks now, and the most there were since the last reset. */
size_t __stdcall K_GetLiveBytes(void);
size_t __stdcall K_GetPeakBytes(void);
void   __stdcall K_ResetPeakBytes(void);

/* Checking mode, off at load.  While it is on, each new block gets guard
 * bytes before and after it and a sequence number (1, 2, ... over the
 * process); freed blocks that the kernel keeps for reuse are filled with
 * poison.  Guards are checked when a block is freed or resized, poison
 * when a kept block is reused or let go.  A free of a block freed before
 * or of a pointer the kernel never handed out is found in either mode
 * (and left alone).  Each fault is counted, written to stderr and kept
 * (the latest 32) for K_GetHeapFault.  Global memory is not guarded. */
#define KHEAP_OVERRUN            1  /* bytes after the block written */
#define KHEAP_UNDERRUN           2  /* bytes before the block written */
#define KHEAP_WRITTEN_AFTER_FREE 3  /* a freed, kept block written */
#define KHEAP_DOUBLE_FREE        4  /* freed (or resized) again */
#define KHEAP_FOREIGN_POINTER    5  /* not a block of these allocators */
typedef struct KHeapFault {
    int Kind;            /* KHEAP_* */
    size_t Size;         /* bytes asked for; 0 for a foreign pointer */
    unsigned Sequence;   /* allocation number; 0 when made unchecked */
    const void *Block;   /* the pointer given to the allocators */
} KHeapFault;
/* Turns checking on or off; returns whether it was on. */
int      __stdcall K_SetHeapChecking(int bOn);
/* Checks every freed block the kernel still holds and lets the small ones
 * go; returns the number of faults found since load. */
int      __stdcall K_CheckHeap(void);
/* Faults found since load. */
int      __stdcall K_GetHeapFaultCount(void);
/* Fault nIndex (0 is the first found); 0 when it is no longer kept. */
int      __stdcall K_GetHeapFault(int nIndex, KHeapFault *pFault);
/* Sequence number of the latest checked allocation. */
unsigned __stdcall K_GetAllocationSequence(void);
/* Stops in the debugger (DebugBreak) when checked allocation nSequence is
 * made; 0 never stops. */
void     __stdcall K_SetAllocationBreak(unsigned nSequence);

/* ---- Per-thread slots ---------------------------------------------- */
int   __stdcall K_AllocSlot(void);                 /* index, -1 on failure */
int   __stdcall K_SetSlotValue(int nSlot, void *pValue);
void *__stdcall K_GetSlotValue(int nSlot);         /* null when never set */
int   __stdcall K_ReleaseSlot(int nSlot);

/* ---- Bitmaps ------------------------------------------------------- */
/* A kernel-owned, zero-filled, contiguous bitmap.  For 8 bits or fewer a
 * palette of 2^bits gray levels ascending from black; PaintLUT identity,
 * PaintGamma 100, contrast and intensity 0.  Rows are 32-bit aligned. */
int __stdcall K_CreateBitmap(BitmapHandle *pBitmap, int nWidth, int nHeight, int nBitsPerPixel,
                             int nOrder, int nOrientation);
/* Releases what the kernel allocated for the descriptor, the region and
 * the window-level table, and clears BITMAP_ALLOCATED.  Accepts a
 * descriptor that is not allocated (nothing to do). */
int __stdcall K_FreeBitmap(BitmapHandle *pBitmap);
/* Descriptor copy: pDst names the same pixels, palette and paint table
 * (owning none of them) and gets copies of the region and the
 * window-level table. */
int __stdcall K_CopyBitmapHandle(BitmapHandle *pDst, const BitmapHandle *pSrc);
/* Full copy: new kernel-owned pixels, palette, paint table, window-level
 * table and region. */
int __stdcall K_CopyBitmap(BitmapHandle *pDst, const BitmapHandle *pSrc);
/* A descriptor for a window of a bitmap: size and bits as given, colour
 * description (Order, palette, paint settings) taken from pSrc when it is
 * not null, no data, no region, Flags 0 (but BITMAP_RGN_UNCLIPPED and
 * BITMAP_PALETTE_HANDLE of pSrc).  Release with K_FreeBitmap, which
 * releases what the descriptor owns (a region hung on it). */
int __stdcall K_InitBitmapHandle(BitmapHandle *pDst, const BitmapHandle *pSrc, int nWidth,
                                 int nHeight, int nBitsPerPixel);
/* Bytes per row of a bitmap of this width and depth (32-bit aligned). */
int __stdcall K_BytesPerLine(int nWidth, int nBitsPerPixel);

/* Access brackets: the data is readable between them.  K_BeginAccess
 * returns a token (>= 1) or a negative status; K_EndAccess takes it back. */
int __stdcall K_BeginAccess(BitmapHandle *pBitmap);
int __stdcall K_EndAccess(BitmapHandle *pBitmap, int nToken);

/* Rows.  Copies up to nBytes from byte nOffset of stored row nRow,
 * clamped to BytesPerLine; returns the count copied or a negative status. */
int __stdcall K_GetBitmapRow(const BitmapHandle *pBitmap, void *pBuffer, int nRow, int nOffset,
                             int nBytes);
int __stdcall K_PutBitmapRow(BitmapHandle *pBitmap, const void *pBuffer, int nRow, int nOffset,
                             int nBytes);

/* ---- Pixels by column, and conversion to and from 24 bits ----------
 * Pixel colours, by BitsPerPixel and Order: 1..8 the palette entry (the
 * gray ramp without a palette; black beyond the entries); 12 bits, and
 * 16 bits of Order 2, gray data whose significant bits are
 * WindowLowBit..WindowHighBit while BITMAP_WINDOW_LEVEL is set, else
 * LowBit..HighBit, shown through WindowLUT when BITMAP_WINDOW_LEVEL is set
 * and the table has entries; 16 bits otherwise 5-5-5 with red in bits
 * 10-14 for Order 1 and blue there for any other Order; 24 and 32 bits
 * blue, green, red bytes for Order 1 and red first otherwise; 48 and 64
 * bits the high bytes of the 16-bit samples in the same orders. */

/* Copies up to nBytes of stored row nRow from the byte where pixel
 * nColumn starts: below 8 bits the byte of its first bit (pixels of 3, 5,
 * 6 and 7 bits may straddle two), at 12 bits byte 3 * (nColumn / 2) +
 * nColumn % 2 (the little-endian word there holds the pixel in its low 12
 * bits for an even column, in its high 12 for an odd one).  Clamped to
 * BytesPerLine; returns the count copied, RC_NO_BITMAP for a bitmap
 * without data, RC_INVALID_PARAMETER for a point outside it. */
int __stdcall K_GetPixelBytes(const BitmapHandle *pBitmap, void *pBuffer, int nRow, int nColumn, int nBytes);

/* The colour of one pixel as red bits 0-7, green 8-15, blue 16-23, by the
 * rules above, except gray data without its table: the significant value
 * (at most 16 bits) scaled to 0..65535, red its low byte, green its high
 * byte, blue 0.  K_NO_PIXEL for a point outside the bitmap or a bitmap
 * without data. */
#define K_NO_PIXEL 0x80000000u
UINT __stdcall K_GetPixelValue(const BitmapHandle *pBitmap, int nRow, int nColumn);

/* nPixels pixels in pFormat's format (its BitsPerPixel, Order, palette,
 * gray bits and window-level table; no data needed) at pSrc, starting on
 * a byte (a column that is a multiple of 8), to 24-bit blue, green, red
 * at pDst; gray data without its table becomes gray levels from the top
 * 8 significant bits.  pSrc may be pDst when the buffer holds the larger
 * of the two rows.  RC_INVALID_FORMAT for a depth not listed above. */
int __stdcall K_ConvertToBGR(const BitmapHandle *pFormat, const void *pSrc, BYTE *pDst, int nPixels);
/* The reverse: palette depths take the nearest entry (squared distance,
 * the first of equals), gray data the luminance (77 red, 151 green, 28
 * blue, /256) spread over the significant bits with the other bits 0,
 * 5-5-5 the top 5 bits of each byte, 16-bit samples the byte times 257; a
 * fourth sample (32 and 64 bits) is 0. */
int __stdcall K_ConvertFromBGR(const BitmapHandle *pFormat, const BYTE *pSrc, void *pDst, int nPixels);

/* ---- Palettes ------------------------------------------------------ */
/* Entries nFirst.. of the palette (a gray ramp for a gray bitmap without
 * one); returns the number written. */
int __stdcall K_GetBitmapColors(const BitmapHandle *pBitmap, int nFirst, int nCount,
                                RGBQUAD *pColors);
int __stdcall K_PutBitmapColors(BitmapHandle *pBitmap, int nFirst, int nCount,
                                const RGBQUAD *pColors);
/* 0 not gray, 1 gray ramp ascending from black, 2 gray ramp from white.
 * 12- and 16-bit data of Order 2 is gray, unless BITMAP_WINDOW_LEVEL is
 * set and its WindowLUT holds a colour (falling table: 2). */
int __stdcall K_IsGrayScale(const BitmapHandle *pBitmap);
/* Non-zero when the first nCount palette entries equal pColors. */
int __stdcall K_ComparePalette(const BitmapHandle *pBitmap, const RGBQUAD *pColors, int nCount);
/* New palettes; the caller deletes them.  Null on failure. */
HPALETTE __stdcall K_CreatePaletteFromColors(const RGBQUAD *pColors, int nCount);
HPALETTE __stdcall K_CreatePaletteFromBitmap(const BitmapHandle *pBitmap);
/* The fixed display palette of a device class: 1 (2 colours), 4 (the
 * standard 16) or 8 (3-3-2). */
HPALETTE __stdcall K_CreateFixedPalette(int nDeviceBits);

/* ---- Orientation --------------------------------------------------- */
/* How to turn an image shown in nFrom into nTo: first flip vertically
 * when *pbFlip, then rotate clockwise by *pnDegrees (0, 90, 180, 270). */
int __stdcall K_GetOrientationTurn(int nFrom, int nTo, int *pnDegrees, int *pbFlip);
/* Moves *pRect, given in orientation nFrom of a bitmap of stored
 * nWidth x nHeight, to orientation nTo. */
int __stdcall K_ConvertRectOrientation(int nFrom, int nWidth, int nHeight, int nTo, RECT *pRect);
/* Stores the bitmap's pixels anew for view orientation nOrientation, the
 * displayed image unchanged (width and height exchange when one of the
 * two orientations exchanges the axes); the region, in stored
 * coordinates, is released.  Depths 1-8, 12, 16, 24, 32, 48, 64.
 * RC_NO_BITMAP, RC_INVALID_PARAMETER (orientation or depth), RC_NO_MEMORY;
 * on failure nothing changes. */
int __stdcall K_ChangeBitmapOrientation(BitmapHandle *pBitmap, int nOrientation);
/* Converts the bitmap in place to nBits (8 only) of gray: each pixel's
 * colour (as K_ConvertToBGR gives it) becomes (77 r + 151 g + 28 b + 128)
 * >> 8; the result has no palette (it reads the gray ramp).  RC_NO_BITMAP,
 * RC_INVALID_PARAMETER, RC_NO_MEMORY; on failure nothing changes. */
int __stdcall K_GrayScaleBitmap(BitmapHandle *pBitmap, int nBits);

/* ---- Regions ------------------------------------------------------- */
/* Keeps the table the display library registers (all-null withdraws it);
 * the kernel's own bitmap operations call it to carry regions along. */
void __stdcall K_SetRegionServiceTable(const RegionServiceTable *pTable);
const RegionServiceTable *__stdcall K_GetRegionServiceTable(void);
/* Deletes both caches, frees row table, span store and the object;
 * accepts null. */
void __stdcall K_FreeRegion(ZoraRgn *pRgn);

/* ---- Files --------------------------------------------------------- */
/* Loads a Windows BMP file: the DIB behind the 14-byte file header, its
 * rows where the file header's bits offset says, read as K_ConvertFromDib
 * reads a DIB (the variants read and refused are listed there).  pBitmap
 * is a descriptor that holds nothing: it is written only on success (what
 * it held is not freed).  The bitmap is Order 1 (ORDER_BGR), Orientation
 * 2 for a bottom-up file and 0 for a top-down one, so that no row moves.
 * RC_FILE_OPEN (null name, no such file), RC_INVALID_PARAMETER (null
 * pBitmap), RC_FILE_SEEK, RC_ROW_READ (the read failed), RC_INVALID_FORMAT
 * (shorter than the file header and a core header, no "BM", a bits
 * offset outside the file or inside the header, a DIB this cannot read),
 * RC_NO_MEMORY. */
int __stdcall K_LoadBitmapFile(const char *pszFile, BitmapHandle *pBitmap);
/* Writes 1, 4, 8, 16 (5-5-5), 24 and 32 bits with a 40-byte header,
 * bottom-up for Orientation 2, top-down for 0.  RC_NO_BITMAP (no data),
 * RC_FILE_OPEN (null name, the file cannot be written), RC_INVALID_FORMAT
 * (another depth, 16-bit gray data), RC_INVALID_PARAMETER (another
 * orientation), RC_NO_MEMORY. */
int __stdcall K_SaveBitmapFile(const char *pszFile, const BitmapHandle *pBitmap);

/* ---- Significant bits of deep gray data -----------------------------
 * For a reader that wants at most nWantedWidth bits of a pixel of
 * nBitsPerPixel bits whose significant range is nLowBit..nHighBit:
 * *pnCount = n (1 .. nWantedWidth), *puMask = 2^n - 1 and *pnShift = s,
 * such that (raw >> s) & mask is the wanted part.  A range wider than the
 * wanted width keeps its most significant bits; a range outside the pixel
 * is clamped to it, an empty one means the whole pixel (at most 32 bits).
 * RC_INVALID_PARAMETER for a null output or bits outside 1..64. */
int __stdcall K_GetSignificantBits(int nBitsPerPixel, int nWantedWidth, int nLowBit, int nHighBit,
                                   int *pnCount, UINT *puMask, int *pnShift);

/* ---- Geometry: trigonometry and bitmap transforms ------------------
 * Fixed-point cosine and sine: nAngle in hundredths of a degree, the value
 * x 16384; quarter turns are exact. */
int __stdcall K_CosFixed(int nAngle);
int __stdcall K_SinFixed(int nAngle);
/* Bitmap transforms that carry the region along through the region
 * service table.  Flip turns the stored rows upside down, mirror reverses
 * each row.  Rotate turns the displayed image clockwise by nAngle
 * hundredths of a degree (quarter turns exchange width and height, other
 * angles take the bounding box; uncovered pixels are 0).  Resize scales
 * to nNewWidth x nNewHeight by nearest neighbour.  Rotate and resize give
 * the bitmap new kernel-owned pixels.  On failure nothing changes. */
int __stdcall K_FlipBitmap(BitmapHandle *pBitmap);
int __stdcall K_MirrorBitmap(BitmapHandle *pBitmap);
int __stdcall K_RotateBitmap(BitmapHandle *pBitmap, int nAngle);
int __stdcall K_ResizeBitmap(BitmapHandle *pBitmap, int nNewWidth, int nNewHeight);

/* ---- Painting support ---------------------------------------------
 * Row and strip operations the display library's painters call.  Rows
 * and strips are packed most significant bits first below 8 bits; 12-bit
 * pixels come in pairs of three bytes; strip rows are 32-bit aligned. */

/* Resamples a row with a digital differential analyser: destination pixel
 * i takes source pixel c(i), where c(0) = nFirstColumn and each step adds
 * nQuot and nRem to an error that starts at nError (0 <= nError < nDen)
 * and carries one column when it reaches nDen.  (0, nDen, nDen) copies. */
int __stdcall K_StretchRow(int nBits, const BYTE *pSrc, int nFirstColumn, int nQuot, int nRem, int nDen,
                           int nError, BYTE *pDst, int nDstWidth);
/* Exchanges red and blue of nPixels pixels (16-bit 5-5-5, 24, 32, 48, 64
 * bits) when exactly one of the orders keeps blue first in memory.  Only
 * ORDER_BGR does: ORDER_BGR_CONVERT data is red first until converted.
 * Gray and palette data are left alone. */
int __stdcall K_ConvertColorOrder(BYTE *pRow, int nPixels, int nBits, int nFromOrder, int nToOrder);
/* Turns a strip of nHeight rows of nWidth pixels (row 0 first in memory)
 * into nWidth rows of nHeight pixels: nDirection 1 clockwise, 0 counter-
 * clockwise, as seen with row 0 on top.  Bits 1, 2, 4, 8, 16, 24, 32. */
int __stdcall K_RotateStrip(const BYTE *pStrip, BYTE *pOut, int nWidth, int nHeight, int nBits,
                            int nDirection);
/* Mirrors every row of a strip left to right into pOut (the horizontal
 * half of a half turn; the painters walk the rows the other way). */
int __stdcall K_FlipStrip(const BYTE *pStrip, BYTE *pOut, int nWidth, int nHeight, int nBits);
/* Copies a band of nCount rows of nRowBytes bytes handed over last row
 * first into pDst in storage order. */
int __stdcall K_ConvertBand(const BYTE *pSrc, BYTE *pDst, int nRowBytes, int nCount);
/* Row nRow of a 1-bit bitmap from nFirstColumn for nWidth pixels as
 * alternating run lengths, the first of pixel value 0 (possibly 0 long);
 * runs longer than 65535 continue after a run of length 0.  pRuns holds
 * nWidth + 2 entries.  Returns the number of runs or a negative status. */
int __stdcall K_GetRunLengths(const BitmapHandle *pBitmap, int nRow, int nFirstColumn, int nWidth,
                              WORD *pRuns);
/* Black pixels from which a footprint of nPixels source pixels counts as
 * black when a 1-bit image is shrunk (a quarter of it, at least 1). */
int __stdcall K_GetFootprintThreshold(int nPixels);

/* Resize with a row source.  The source is pSource (its size, bits,
 * Order, palette and gray settings); its rows come from pfnRows, asked
 * for (row, first column, byte count) of the source.  Method (uFlags &
 * 0xF0): 0x20 bilinear at pixel centres, 0x10 area average (the exact
 * mean of each pixel's footprint on a reducing axis, bilinear on an
 * enlarging one).  Output rows are nDstWidth pixels at nBits: 24 (blue,
 * green, red), 32 (blue, green, red, 0) or, at 8 bits or fewer, indices
 * into pColors (nColors entries) with ordered dithering when (uFlags &
 * 0x70000) == 0x70000, else error diffusion. */
typedef int(__stdcall *ResizeRowSource)(const BitmapHandle *pBitmap, BYTE *pBuffer, int nRow, int nColumn,
                                         int nBytes, void *pContext);
#define RESIZE_AREA     0x10u
#define RESIZE_BILINEAR 0x20u
#define RESIZE_DITHER_ORDERED 0x70000u
#define RESIZE_DITHER_DIFFUSE 0x10000u
#define RESIZE_BLUE_FIRST 0x4u  /* the caller's word that colour data is blue first;
                                   this kernel reads the source's Order itself */
#define RESIZE_PLAIN_LOOPS 0x100u /* this kernel's plain loops instead of its vector
                                     ones (the same bytes; for the tests) */
typedef struct KResize KResize;
int __stdcall K_ResizeStart(const BitmapHandle *pSource, int nDstWidth, int nDstHeight, int nBits,
                            const RGBQUAD *pColors, int nColors, UINT uFlags, ResizeRowSource pfnRows,
                            void *pContext, KResize **ppResize);
/* Pixels [nFirstColumn, nFirstColumn + nCount) of output row nRow into
 * pDst (from its first pixel position).  Returns RC_SUCCESS or the row
 * source's failure. */
int __stdcall K_ResizeRow(KResize *pResize, int nRow, int nFirstColumn, int nCount, BYTE *pDst);
int __stdcall K_ResizeEnd(KResize *pResize);
/* Calls of K_GetBitmapRow in this process so far (accounting, as the
 * live-block count: tests check how often painters read a row). */
int __stdcall K_GetRowReadCount(void);

/* ---- Binary files ------------------------------------------------- */
#define K_FILE_READ  0u   /* open an existing file for reading */
#define K_FILE_WRITE 1u   /* create or truncate a file for writing */
/* The file's handle, or null when it cannot be opened (or pszName is null). */
HANDLE   __stdcall K_FileOpen(const char *pszName, UINT uMode);
/* Moves to llOffset from nOrigin (FILE_BEGIN, FILE_CURRENT, FILE_END);
 * returns the new position, -1 on failure. */
LONGLONG __stdcall K_FileSeek(HANDLE hFile, LONGLONG llOffset, int nOrigin);
/* Bytes read (fewer at the end of the file), RC_ROW_READ when the read
 * fails, RC_INVALID_PARAMETER for a null handle or buffer. */
int      __stdcall K_FileRead(HANDLE hFile, void *pBuffer, UINT uBytes);
/* Bytes written, RC_FAILURE when the write fails. */
int      __stdcall K_FileWrite(HANDLE hFile, const void *pBuffer, UINT uBytes);
int      __stdcall K_FileClose(HANDLE hFile);

/* ---- Device contexts on bitmaps ------------------------------------
 * A memory DC whose selected DIB section holds a copy of the bitmap's
 * stored rows (row 0 on top; palette depths with the bitmap's colours).
 * GDI drawing goes to the copy; K_DeleteBitmapDC puts its pixels back
 * into the bitmap and deletes the DC and the section.  Depths 1, 4, 8,
 * and 16 (5-5-5), 24 and 32 of ORDER_BGR; null for others, for a bitmap
 * without data, and when GDI fails.  The section counts as an allocation
 * for fault injection.  Between the two calls the bitmap's own pixels
 * are not read or written. */
HDC __stdcall K_CreateBitmapDC(BitmapHandle *pBitmap);
/* RC_NO_BITMAP (DC still deleted) when pBitmap has no data,
 * RC_INVALID_PARAMETER for a null DC or one whose section does not
 * match the bitmap. */
int __stdcall K_DeleteBitmapDC(BitmapHandle *pBitmap, HDC hDC);

/* ---- Packed device-independent bitmaps -------------------------------
 * A packed DIB is a BITMAPINFOHEADER (or the 12-byte core header), its
 * colour table or bit-field masks, and the rows, in one movable global
 * block (counted, K_GlobalDetach when handed to the system).
 *
 * K_ConvertToDib: the bitmap as its orientation shows it, bottom-up,
 * BI_RGB: 1, 4 and 8 bits with the bitmap's colours (2 to 7 bits widened
 * to 8), 5-5-5, 24 and 32 bits as stored when blue comes first, every
 * other format as 24 bits.  Null for a bitmap without data or no memory.
 * K_ChangeToDib also frees the bitmap (K_FreeBitmap) when it succeeded. */
HGLOBAL __stdcall K_ConvertToDib(const BitmapHandle *pBitmap);
HGLOBAL __stdcall K_ChangeToDib(BitmapHandle *pBitmap);
/* Fills pBitmap (a descriptor that holds nothing, written only on
 * success) from a DIB given as its header and its bits; the memory stays
 * the caller's.  cbBlock is the number of bytes readable from pHeader on
 * (header, table and bits must lie within it; a colour table ends where
 * the bits begin), 0 when not known (the header is trusted; a run-length
 * stream is then as long as the header's image size, and refused without
 * one).  This is the kernel's one DIB reader, also behind
 * K_LoadBitmapFile and K_ConvertFromDibHandle.
 *   Read: headers of 12 (core), 16 and 64 (the other desktop system's),
 *   40, 52, 56, 108 and 124 bytes; 1, 2, 4, 8, 16, 24 and 32 bits;
 *   BI_RGB, BI_RLE8, BI_RLE4, and BI_BITFIELDS / BI_ALPHABITFIELDS with
 *   any contiguous masks (16 and 32 bits); either row direction; colour
 *   tables shorter than 2^bits.  Image size, resolution, planes and
 *   important colours are not read.
 *   Loaded as: 1, 2, 4, 8 bits as palette bitmaps of that depth; 16-bit
 *   5-5-5 as 16 bits; 24 bits and every other 16- or 32-bit layout as 24
 *   bits, each channel widened to 8 bits by repeating its bits (a wider
 *   one keeps its top 8), alpha dropped.  Order ORDER_BGR; bottom-up rows
 *   give Orientation 2 (ORIENT_BOTTOM_LEFT), top-down 0, run-length
 *   streams too.  Palette entries past the DIB's table are black, and
 *   ColorCount is 2^bits when a pixel indexes past the table (the table's
 *   length otherwise).  Pixels that no run of a run-length stream reaches
 *   are index 0; a stream short at its end is read as far as it goes.
 *   Refused (RC_INVALID_FORMAT): other header sizes; JPEG or PNG inside,
 *   Huffman 1D and RLE24 (compression 3 and 4 of the 16- and 64-byte
 *   headers), other compressions or a compression the depth cannot carry;
 *   other depths; a colour count above 2^bits; masks that overlap, have a
 *   hole or reach past the pixel; width below 1, height 0 or -2^31; rows
 *   too long for a bitmap; bits that begin inside the header or its masks;
 *   rows shorter than the picture needs.
 * RC_NO_BITMAP (null bitmap), RC_INVALID_PARAMETER (null pointers),
 * RC_INVALID_FORMAT, RC_NO_MEMORY. */
int __stdcall K_ConvertFromDib(BitmapHandle *pBitmap, const BITMAPINFOHEADER *pHeader, const void *pBits,
                               size_t cbBlock);
/* The same from a global block holding a packed DIB, its bits behind the
 * header, the masks behind a 40-byte header and the colour table (the
 * colour count's entries, 2^bits when it is 0; for 16 and 32 bits the
 * colour count's entries too).  On RC_SUCCESS the block is taken over
 * (and released), otherwise it stays the caller's.  RC_INVALID_PARAMETER
 * for a null or unlockable handle. */
int __stdcall K_ConvertFromDibHandle(BitmapHandle *pBitmap, HGLOBAL hDib);
/* The palette to read the screen's device-dependent bitmaps with: on a
 * palette display the system palette's entries, otherwise none (null).
 * The caller deletes it. */
HPALETTE __stdcall K_CreateDefaultPalette(void);

/* ---- Status callback ------------------------------------------------
 * Per thread.  Long operations (printing) call it with a percentage and
 * the user value; an answer other than RC_SUCCESS asks them to stop.  A
 * null callback removes it. */
typedef int(__stdcall *KStatusCallback)(int nPercent, void *pUserData);
void __stdcall K_SetStatusCallback(KStatusCallback pfnStatus, void *pUserData);
/* The calling thread's callback (null when none) and its user value. */
KStatusCallback __stdcall K_GetStatusCallback(void **ppUserData);

/* ---- Whole-bitmap operations ----------------------------------------
 * Colours (COLORREF) have red in bits 0-7, green 8-15, blue 16-23.  With
 * bits 24-31 equal to 0x01 a bitmap of 8 bits or fewer takes the palette
 * index in bits 0-7 (masked to its depth); deeper bitmaps read the low 24
 * bits as a colour then too.  A bitmap's region (in its stored pixel
 * coordinates) limits the pixels these operations write where stated. */

/* Fills the pixels of the bitmap's region (the whole bitmap when it has
 * none) with crColor in the bitmap's format (palette depths: the index,
 * or the nearest palette entry of the colour).  Allocates nothing.
 * RC_NO_BITMAP for a null bitmap or one without data; RC_INVALID_FORMAT
 * for an unknown depth. */
int __stdcall K_FillBitmap(BitmapHandle *pBitmap, COLORREF crColor);

/* Conversion copy: *pDst becomes a new kernel-owned bitmap of pSrc's size
 * and Orientation at nBitsPerPixel, every pixel converted through 24-bit
 * colour.  Flags:
 *   KCONV_USE_COLORS  at 8 bits or fewer the new palette is pColors
 *                     (nColors entries, at most 2^bits kept); without it
 *                     the gray ramp of K_CreateBitmap
 *   KCONV_NEAREST     palette depths take the nearest entry (the kernel's
 *                     only mapping; it never dithers)
 *   KCONV_BLUE_FIRST  the new Order is ORDER_BGR; without it ORDER_GRAY
 *                     for 12/16 bits from gray data, else ORDER_RGB
 * The copy keeps Left, Top, Delay, BackgroundColor, TransparentColor,
 * DisposalMethod, the wait and transparent flags, the paint settings (its
 * PaintLUT is the identity) and a copy of the region.  *pDst is written
 * only on success.  RC_NO_BITMAP (pSrc without data), RC_INVALID_PARAMETER
 * (null pDst, bad depth, unknown flag, KCONV_USE_COLORS at a palette
 * depth without colours), RC_INVALID_FORMAT, RC_NO_MEMORY. */
#define KCONV_BLUE_FIRST  0x00004u
#define KCONV_USE_COLORS  0x00010u
#define KCONV_NEAREST     0x10000u
int __stdcall K_ConvertColorResolution(const BitmapHandle *pSrc, BitmapHandle *pDst, int nBitsPerPixel,
                                       const RGBQUAD *pColors, int nColors, UINT uFlags);

/* Copies the rectangle (nLeft, nTop, nWidth x nHeight) of pSrc's stored
 * pixels into *pDst, a new kernel-owned bitmap of that size with pSrc's
 * depth, Order, Orientation, palette and gray bits (no region).  Pixels of
 * the rectangle outside pSrc are 0.  RC_NO_BITMAP (pSrc without data),
 * RC_INVALID_PARAMETER (null pDst, empty size), RC_NO_MEMORY. */
int __stdcall K_CopyBitmapRect(const BitmapHandle *pSrc, BitmapHandle *pDst, int nLeft, int nTop, int nWidth,
                               int nHeight);

/* Copies the nWidth x nHeight block of pSrc at (nSrcLeft, nSrcTop) onto
 * pDst at (nLeft, nTop), cut to both bitmaps; pixel values are copied as
 * they are, so both must have the same BitsPerPixel.  With
 * KCOMBINE_SOURCE_RGN only the source pixels of the source's region (all
 * without one) are copied.  The destination rectangle is given in the
 * source's row order: when the two orientations differ by a vertical flip
 * only (0 and 2, 1 and 3), it is moved into the destination's rows
 * (K_ConvertRectOrientation) and the block is placed upside down.
 * RC_NO_BITMAP (either without data), RC_INVALID_PARAMETER (unknown flag,
 * negative size), RC_INVALID_FORMAT (depths differ, other orientation
 * pairs).  Allocates nothing. */
#define KCOMBINE_SOURCE_RGN 0x10u
#define KCOMBINE_COPY       0x20u
int __stdcall K_CombineBitmap(BitmapHandle *pDst, int nLeft, int nTop, int nWidth, int nHeight,
                              const BitmapHandle *pSrc, int nSrcLeft, int nSrcTop, UINT uFlags);

/* ---- Bitmap lists ----------------------------------------------------
 * An ordered list of descriptors (the frames of an animation) behind an
 * opaque handle.  Inserting stores a copy of the descriptor, and the list
 * owns the bitmap's data from then on; getting copies the stored
 * descriptor out (the data, palette and region stay the list's); setting
 * overwrites the stored descriptor (what it owned is not freed).  Indexes
 * run from 0; RC_INVALID_PARAMETER for a null handle or pointer and an
 * index out of range. */
/* A new empty list.  RC_NO_MEMORY. */
int __stdcall K_CreateBitmapList(void **phList);
/* Inserts before item nIndex (0..count; -1 appends).  RC_NO_MEMORY with
 * the list unchanged; RC_NO_BITMAP for an allocated descriptor whose
 * fields are impossible (a descriptor without data is taken as it is). */
int __stdcall K_InsertBitmapListItem(void *hList, int nIndex, BitmapHandle *pBitmap);
int __stdcall K_GetBitmapListCount(void *hList, uint32_t *pCount);
int __stdcall K_GetBitmapListItem(void *hList, int nIndex, BitmapHandle *pOut);
int __stdcall K_SetBitmapListItem(void *hList, int nIndex, const BitmapHandle *pBitmap);
/* Frees every item's bitmap (K_FreeBitmap) and the list. */
int __stdcall K_DestroyBitmapList(void *hList);

/* Ends every open pixel access of the descriptor (KernelAccess 0), as a
 * loader does when it hands over a finished bitmap.  RC_NO_BITMAP for
 * null. */
int __stdcall K_ReleaseAccess(BitmapHandle *pBitmap);

/* Releases a descriptor that owns no kernel pixels, palette or paint
 * table (a K_CopyBitmapHandle copy, a K_InitBitmapHandle window): frees
 * its region and window-level table and zero-fills it.  The pixels it
 * names are left alone.  RC_NO_BITMAP for null; RC_INVALID_PARAMETER,
 * with nothing changed, when it owns kernel blocks (use K_FreeBitmap). */
int __stdcall K_ReleaseBitmapHandle(BitmapHandle *pBitmap);

/* Writes one stored pixel (row, column) as the colour crColor (red in the
 * low byte) converted to the bitmap's format as K_ConvertFromBGR converts
 * it.  Allocates nothing.  RC_NO_BITMAP (no data), RC_INVALID_PARAMETER
 * (a point outside the bitmap), RC_INVALID_FORMAT. */
int __stdcall K_SetPixelColor(BitmapHandle *pBitmap, int nRow, int nColumn, COLORREF crColor);

#ifdef __cplusplus
} /* extern "C" */

#endif

#endif /* ZVKERN_H */
