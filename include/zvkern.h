/**
 * @file zvkern.h
 * @brief The toolkit's kernel (zvkern.dll): memory, per-thread slots,
 *        bitmap storage, rows and pixels, palettes, orientation, BMP
 *        files, packed DIBs, bitmap lists and the region-operations hook.
 *
 * Every function is __stdcall and exported from zvkern.dll under its
 * undecorated name on both architectures.  Functions that return `int`
 * return a status code (RC_*, zvtypes.h) unless their entry says
 * otherwise.
 *
 * Ownership.  BitmapHandle::KernelOwned records what the kernel allocated
 * for a descriptor (KERN_OWNS_*).  A descriptor filled by hand over the
 * caller's own memory has KernelOwned 0 and Flags #BITMAP_ALLOCATED |
 * #BITMAP_CONTIGUOUS; it is valid for every operation, and the kernel
 * never frees memory it did not allocate.  Region and window-level table
 * belong to the bitmap whoever made the descriptor and are released with
 * it.  Functions that fill a descriptor (create, load, copy, convert)
 * overwrite it: pass an empty (zero-filled or freed) descriptor, or the
 * bitmap it held leaks.
 *
 * File names are `char` strings in the ANSI code page of the process.
 */
#ifndef ZVKERN_H
#define ZVKERN_H

#include "zvtypes.h"
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/**
 * @defgroup kernowns Kernel ownership bits
 * @brief Bits of BitmapHandle::KernelOwned (set by the kernel only).
 * @{
 */
#define KERN_OWNS_DATA     0x0001u  /**< BitmapHandle::Data was allocated by the kernel. */
#define KERN_OWNS_PALETTE  0x0002u  /**< BitmapHandle::Palette was allocated by the kernel. */
#define KERN_OWNS_PAINTLUT 0x0004u  /**< BitmapHandle::PaintLUT was allocated by the kernel. */
#define KERN_OWNED_MARK    0x5A560000u /**< The high half of KernelOwned whenever any ownership bit is set. */
#define KERN_OWNED_BITS    0x0000FFFFu /**< The ownership bits of KernelOwned. */
/** @} */

/* ---- Memory -------------------------------------------------------- */

/**
 * @brief Allocates a block of memory, counted as a live block.
 *
 * Every kernel allocator counts its live blocks (K_GetLiveBlockCount())
 * and obeys fault injection (K_SetAllocationFailure()).
 * @param cbSize Bytes wanted.
 * @return The block (uninitialised), or null when it cannot be had or an
 *         injected failure is due.  Release it with K_Free().
 */
void *__stdcall K_Alloc(size_t cbSize);
/**
 * @brief Allocates a zero-filled array, counted as a live block.
 * @param nCount Number of elements.
 * @param cbEach Bytes per element.
 * @return The zero-filled block, or null on failure (also when the size
 *         overflows).  Release it with K_Free().
 */
void *__stdcall K_AllocZero(size_t nCount, size_t cbEach);
/**
 * @brief Changes the size of a block of K_Alloc(), K_AllocZero() or
 *        K_Realloc().
 * @param pBlock The block, or null to allocate a new one.
 * @param cbSize The new size in bytes.
 * @return The block at its new place, or null on failure, in which case
 *         @p pBlock is left as it was and still owned by the caller.
 */
void *__stdcall K_Realloc(void *pBlock, size_t cbSize);
/**
 * @brief Releases a block of K_Alloc(), K_AllocZero() or K_Realloc().
 * @param pBlock The block; null is accepted (nothing to do).
 */
void  __stdcall K_Free(void *pBlock);
/**
 * @brief Allocates short-lived scratch memory (a paint's strip, a
 *        temporary row), counted as a live block.
 * @param cbSize Bytes wanted.
 * @return The block, or null on failure.  Release it with K_FreeTemp().
 */
void *__stdcall K_AllocTemp(size_t cbSize);
/**
 * @brief Releases a block of K_AllocTemp().
 * @param pBlock The block; null is accepted.
 */
void  __stdcall K_FreeTemp(void *pBlock);
/**
 * @brief Allocates movable global memory for the clipboard and other
 *        hand-overs to the system, counted as a live block.
 * @param uFlags GlobalAlloc flags (GMEM_MOVEABLE, GMEM_ZEROINIT, ...).
 * @param cbSize Bytes wanted.
 * @return The handle, or null on failure.  Release it with
 *         K_GlobalFree(), or call K_GlobalDetach() once the system owns it.
 */
HGLOBAL __stdcall K_GlobalAlloc(UINT uFlags, size_t cbSize);
/**
 * @brief Frees a block of K_GlobalAlloc() and stops counting it.
 * @param hMem The block (null is accepted).
 * @return Null on success, else @p hMem (as GlobalFree).
 */
HGLOBAL __stdcall K_GlobalFree(HGLOBAL hMem);
/**
 * @brief Stops counting a block of K_GlobalAlloc() whose ownership passed
 *        to the system (SetClipboardData succeeded).  The block is not
 *        freed.
 * @param hMem The block.
 */
void    __stdcall K_GlobalDetach(HGLOBAL hMem);

/**
 * @brief The number of live blocks of the kernel's allocators in this
 *        process.
 *
 * One block is live as soon as zvdisp.dll is loaded (the loading
 * thread's paint settings), and stays until it unloads: a leak check
 * compares against the count taken after loading, not against 0.
 * @return The count.
 */
int    __stdcall K_GetLiveBlockCount(void);
/**
 * @brief Arms or disarms fault injection for the kernel's allocators.
 *
 * After @p nCountdown more successful allocations the next one fails.
 * @param nCountdown Successful allocations before the failure; -1 turns
 *        injection off.
 * @param bRepeat Non-zero: every allocation after the first failure fails
 *        too; zero: only one fails.
 */
void   __stdcall K_SetAllocationFailure(int nCountdown, int bRepeat);
/**
 * @brief Allocations left before the injected failure.
 * @return The countdown, or -1 when none is armed (never armed, turned
 *         off, or a one-shot failure already happened).
 */
int    __stdcall K_GetAllocationCountdown(void);
/**
 * @brief Bytes in live blocks now.
 * @return The byte count.
 */
size_t __stdcall K_GetLiveBytes(void);
/**
 * @brief The most bytes there were in live blocks since the last
 *        K_ResetPeakBytes() (or the start).
 * @return The byte count.
 */
size_t __stdcall K_GetPeakBytes(void);
/** @brief Starts a new peak measurement at the bytes live now. */
void   __stdcall K_ResetPeakBytes(void);

/**
 * @defgroup kheap Heap checking
 * @brief The kernel allocators' checking mode, off at load.
 *
 * While it is on, each new block gets guard bytes before and after it and
 * a sequence number (1, 2, ... over the process); freed blocks that the
 * kernel keeps for reuse are filled with poison.  Guards are checked when
 * a block is freed or resized, poison when a kept block is reused or let
 * go.  A free of a block freed before or of a pointer the kernel never
 * handed out is found in either mode (and left alone).  Each fault is
 * counted, written to stderr and kept (the latest 32) for
 * K_GetHeapFault().  Global memory is not guarded.
 * @{
 */
#define KHEAP_OVERRUN            1  /**< Bytes after the block written. */
#define KHEAP_UNDERRUN           2  /**< Bytes before the block written. */
#define KHEAP_WRITTEN_AFTER_FREE 3  /**< A freed, kept block written. */
#define KHEAP_DOUBLE_FREE        4  /**< Freed (or resized) again. */
#define KHEAP_FOREIGN_POINTER    5  /**< Not a block of these allocators. */
/** @} */
/** @brief One heap fault found by the checking mode. */
typedef struct KHeapFault {
    int Kind;            /**< KHEAP_*. */
    size_t Size;         /**< Bytes asked for; 0 for a foreign pointer. */
    unsigned Sequence;   /**< Allocation number; 0 when made unchecked. */
    const void *Block;   /**< The pointer given to the allocators. */
} KHeapFault;
/**
 * @brief Turns the heap checking mode on or off.
 * @param bOn Non-zero turns it on.
 * @return Non-zero when it was on.
 */
int      __stdcall K_SetHeapChecking(int bOn);
/**
 * @brief Checks every freed block the kernel still holds and lets the
 *        small ones go.
 * @return The number of faults found since load.
 */
int      __stdcall K_CheckHeap(void);
/**
 * @brief Heap faults found since load.
 * @return The count.
 */
int      __stdcall K_GetHeapFaultCount(void);
/**
 * @brief A kept heap fault.
 * @param nIndex The fault (0 is the first found).
 * @param pFault Receives it.
 * @return Non-zero when written; 0 when it is no longer kept.
 */
int      __stdcall K_GetHeapFault(int nIndex, KHeapFault *pFault);
/**
 * @brief The sequence number of the latest checked allocation.
 * @return The number.
 */
unsigned __stdcall K_GetAllocationSequence(void);
/**
 * @brief Stops in the debugger (DebugBreak) when a checked allocation is
 *        made.
 * @param nSequence The allocation's sequence number; 0 never stops.
 */
void     __stdcall K_SetAllocationBreak(unsigned nSequence);

/* ---- Per-thread slots ---------------------------------------------- */

/**
 * @brief Allocates a per-thread slot (a TLS index).
 * @return The slot's index, or -1 when none is left.
 */
int   __stdcall K_AllocSlot(void);
/**
 * @brief Sets the calling thread's value of a slot.
 * @param nSlot The slot of K_AllocSlot().
 * @param pValue The value (stays the caller's).
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER A negative or unknown slot.
 */
int   __stdcall K_SetSlotValue(int nSlot, void *pValue);
/**
 * @brief The calling thread's value of a slot.
 * @param nSlot The slot of K_AllocSlot().
 * @return The value, or null when this thread never set it.
 */
void *__stdcall K_GetSlotValue(int nSlot);
/**
 * @brief Releases a slot.  The calling thread's value, when not null, is
 *        freed with K_Free() (it must come from the kernel's allocators).
 * @param nSlot The slot of K_AllocSlot().
 * @retval RC_SUCCESS Released.
 * @retval RC_INVALID_PARAMETER A negative or unknown slot.
 */
int   __stdcall K_ReleaseSlot(int nSlot);

/* ---- Bitmaps ------------------------------------------------------- */

/**
 * @brief Creates a kernel-owned, zero-filled, contiguous bitmap.
 *
 * Bitmaps of 8 bits or fewer get a palette of 2^bits gray levels
 * ascending from black; PaintLUT is the identity, PaintGamma 100,
 * contrast and intensity 0.  Rows are 32-bit aligned.
 * @param pBitmap The caller's descriptor, overwritten: it must be empty
 *        (zero-filled or freed), or what it held leaks.  Release the
 *        bitmap with K_FreeBitmap().
 * @param nWidth Stored width in pixels (> 0).
 * @param nHeight Stored height in rows (> 0).
 * @param nBitsPerPixel 1 to 8, 12, 16, 24, 32, 48 or 64.
 * @param nOrder Colour order of the pixels (ORDER_*).
 * @param nOrientation View orientation (ORIENT_*).
 * @retval RC_SUCCESS The descriptor holds the new bitmap.
 * @retval RC_INVALID_PARAMETER Null descriptor, a size below 1 or too
 *         large, an unknown depth or orientation.
 * @retval RC_NO_MEMORY Out of memory (the descriptor is unchanged).
 */
int __stdcall K_CreateBitmap(BitmapHandle *pBitmap, int nWidth, int nHeight, int nBitsPerPixel,
                             int nOrder, int nOrientation);
/**
 * @brief Releases what the kernel allocated for a descriptor, its region
 *        and its window-level table, and clears #BITMAP_ALLOCATED.
 *
 * Memory the caller put into a hand-made descriptor is not freed.
 * @param pBitmap The descriptor; one that holds no bitmap is accepted
 *        (nothing to do).
 * @retval RC_SUCCESS Released.
 * @retval RC_NO_BITMAP Null descriptor.
 */
int __stdcall K_FreeBitmap(BitmapHandle *pBitmap);
/**
 * @brief Copies a descriptor: pDst names the same pixels, palette and
 *        paint table (owning none of them) and gets its own copies of the
 *        region and the window-level table.
 * @param pDst The caller's descriptor, overwritten (must be empty).
 *        Release it with K_FreeBitmap() (which frees only what it owns)
 *        before the source goes.
 * @param pSrc The descriptor to copy.
 * @retval RC_SUCCESS Copied.
 * @retval RC_NO_BITMAP Null @p pSrc.
 * @retval RC_INVALID_PARAMETER Null @p pDst.
 * @retval RC_NO_MEMORY The region or table could not be copied.
 */
int __stdcall K_CopyBitmapHandle(BitmapHandle *pDst, const BitmapHandle *pSrc);
/**
 * @brief Copies a bitmap whole: new kernel-owned pixels, palette, paint
 *        table, window-level table and region.
 * @param pDst The caller's descriptor, overwritten (must be empty).
 *        Release it with K_FreeBitmap().
 * @param pSrc The bitmap to copy (must hold pixels).
 * @retval RC_SUCCESS Copied.
 * @retval RC_NO_BITMAP @p pSrc null or without pixels.
 * @retval RC_INVALID_PARAMETER Null @p pDst.
 * @retval RC_NO_MEMORY Out of memory (nothing allocated stays).
 */
int __stdcall K_CopyBitmap(BitmapHandle *pDst, const BitmapHandle *pSrc);
/**
 * @brief Sets up a descriptor for a window of a bitmap: size and depth as
 *        given, colour description (Order, palette, paint settings) taken
 *        from pSrc when it is not null; no pixels, no region, Flags 0
 *        (but #BITMAP_RGN_UNCLIPPED and #BITMAP_PALETTE_HANDLE of pSrc).
 * @param pDst The caller's descriptor, overwritten.  Release it with
 *        K_FreeBitmap(), which releases what it owns (a region hung on it).
 * @param pSrc The bitmap whose colour description is taken, or null.
 * @param nWidth Width in pixels.
 * @param nHeight Height in rows.
 * @param nBitsPerPixel Depth.
 * @retval RC_SUCCESS Set up.
 * @retval RC_INVALID_PARAMETER Null @p pDst, a bad size or depth.
 */
int __stdcall K_InitBitmapHandle(BitmapHandle *pDst, const BitmapHandle *pSrc, int nWidth,
                                 int nHeight, int nBitsPerPixel);
/**
 * @brief Opens access to a bitmap's pixels: they are readable until the
 *        matching K_EndAccess().
 * @param pBitmap The bitmap.
 * @return A token (>= 1) to hand to K_EndAccess(), or #RC_NO_BITMAP for a
 *         null bitmap or one without pixels.
 */
int __stdcall K_BeginAccess(BitmapHandle *pBitmap);
/**
 * @brief Closes an access opened by K_BeginAccess().
 * @param pBitmap The bitmap.
 * @param nToken The token K_BeginAccess() returned.
 * @retval RC_SUCCESS Closed.
 * @retval RC_NO_BITMAP Null bitmap.
 * @retval RC_INVALID_PARAMETER A token below 1, or no access open.
 */
int __stdcall K_EndAccess(BitmapHandle *pBitmap, int nToken);

/**
 * @brief Copies bytes of one stored row out of a bitmap.
 * @param pBitmap The bitmap.
 * @param pBuffer Receives the bytes (at least @p nBytes).
 * @param nRow Stored row (0 is the first row in memory, whatever the
 *        orientation shows on top).
 * @param nOffset First byte within the row.
 * @param nBytes Bytes wanted; clamped to BytesPerLine - @p nOffset.
 * @return The number of bytes copied, #RC_NO_BITMAP for a bitmap without
 *         pixels, #RC_INVALID_PARAMETER for a null buffer, a row outside
 *         the bitmap or a negative offset or count.
 */
int __stdcall K_GetBitmapRow(const BitmapHandle *pBitmap, void *pBuffer, int nRow, int nOffset,
                             int nBytes);
/**
 * @brief Copies bytes into one stored row of a bitmap.
 * @param pBitmap The bitmap.
 * @param pBuffer The bytes to write.
 * @param nRow Stored row.
 * @param nOffset First byte within the row.
 * @param nBytes Bytes to write; clamped to BytesPerLine - @p nOffset.
 * @return The number of bytes written, or the codes of K_GetBitmapRow().
 */
int __stdcall K_PutBitmapRow(BitmapHandle *pBitmap, const void *pBuffer, int nRow, int nOffset,
                             int nBytes);

/* ---- Pixels by column, and conversion to and from 24 bits --------- */

/** K_GetPixelValue()'s answer for a point outside the bitmap or a bitmap without pixels. */
#define K_NO_PIXEL 0x80000000u
/**
 * @brief The colour of one stored pixel.
 *
 * Pixel colours by depth and Order: 1 to 8 bits the palette entry (the
 * gray ramp without a palette, black beyond the entries); 12 bits, and 16
 * bits of #ORDER_GRAY, gray data whose significant bits are
 * WindowLowBit..WindowHighBit while #BITMAP_WINDOW_LEVEL is set, else
 * LowBit..HighBit, shown through WindowLUT when #BITMAP_WINDOW_LEVEL is
 * set and the table has entries; other 16-bit data 5-5-5 with red in bits
 * 10-14 for #ORDER_BGR and blue there otherwise; 24 and 32 bits blue,
 * green, red bytes for #ORDER_BGR and red first otherwise; 48 and 64 bits
 * the high bytes of the 16-bit samples in the same orders.  Gray data
 * without its table answers the significant value (at most 16 bits)
 * scaled to 0..65535: red its low byte, green its high byte, blue 0.
 * @param pBitmap The bitmap.
 * @param nRow Stored row.
 * @param nColumn Stored column.
 * @return Red in bits 0-7, green 8-15, blue 16-23, or #K_NO_PIXEL.
 */
UINT __stdcall K_GetPixelValue(const BitmapHandle *pBitmap, int nRow, int nColumn);

/**
 * @brief Converts pixels of a bitmap's format to 24-bit blue, green, red.
 *
 * Colours as K_GetPixelValue() reads them, but gray data without its
 * table becomes gray levels from its top 8 significant bits.
 * @param pFormat The format: its BitsPerPixel, Order, palette, gray bits
 *        and window-level table (no pixels needed).
 * @param pSrc The pixels, starting on a byte (a column that is a multiple
 *        of 8 below 8 bits).
 * @param pDst Receives 3 x @p nPixels bytes.  May be @p pSrc when the
 *        buffer holds the larger of the two rows.
 * @param nPixels Number of pixels.
 * @retval RC_SUCCESS Converted.
 * @retval RC_NO_BITMAP Null @p pFormat.
 * @retval RC_INVALID_PARAMETER Null buffers, a negative count.
 * @retval RC_INVALID_FORMAT A depth the kernel does not know.
 */
int __stdcall K_ConvertToBGR(const BitmapHandle *pFormat, const void *pSrc, BYTE *pDst, int nPixels);
/**
 * @brief Converts 24-bit blue, green, red pixels to a bitmap's format.
 *
 * Palette depths take the nearest entry (squared distance, the first of
 * equals); gray data the luminance (77 red, 151 green, 28 blue, / 256)
 * spread over the significant bits with the other bits 0; 5-5-5 the top 5
 * bits of each byte; 16-bit samples the byte x 257; a fourth sample (32
 * and 64 bits) is 0.
 * @param pFormat The target format (no pixels needed).
 * @param pSrc 3 x @p nPixels bytes.
 * @param pDst Receives the pixels, packed from the first bit.
 * @param nPixels Number of pixels.
 * @return As K_ConvertToBGR().
 */
int __stdcall K_ConvertFromBGR(const BitmapHandle *pFormat, const BYTE *pSrc, void *pDst, int nPixels);

/* ---- Palettes ------------------------------------------------------ */

/**
 * @brief Reads palette entries of a bitmap (a gray ramp for a gray bitmap
 *        without a palette).
 * @param pBitmap The bitmap.
 * @param nFirst First entry.
 * @param nCount Entries wanted.
 * @param pColors Receives up to @p nCount entries.
 * @return The number of entries written, #RC_NO_BITMAP for a null bitmap,
 *         #RC_INVALID_PARAMETER for a null table or a negative index or
 *         count.
 */
int __stdcall K_GetBitmapColors(const BitmapHandle *pBitmap, int nFirst, int nCount,
                                RGBQUAD *pColors);
/**
 * @brief Writes palette entries of a bitmap (within its ColorCount).
 * @param pBitmap The bitmap.
 * @param nFirst First entry.
 * @param nCount Entries given.
 * @param pColors The entries (stay the caller's).
 * @return The number of entries written (0 for a bitmap without a colour
 *         table), or the codes of K_GetBitmapColors().
 */
int __stdcall K_PutBitmapColors(BitmapHandle *pBitmap, int nFirst, int nCount,
                                const RGBQUAD *pColors);
/**
 * @brief Whether a bitmap holds gray data.
 *
 * 12- and 16-bit data of #ORDER_GRAY is gray, unless #BITMAP_WINDOW_LEVEL
 * is set and its WindowLUT holds a colour (a falling table answers 2).
 * @param pBitmap The bitmap.
 * @return 0 not gray (also for null), 1 a gray ramp ascending from black,
 *         2 a gray ramp descending from white.
 */
int __stdcall K_IsGrayScale(const BitmapHandle *pBitmap);
/**
 * @brief Compares the first palette entries of a bitmap with a table.
 * @param pBitmap The bitmap.
 * @param pColors The table.
 * @param nCount Entries to compare.
 * @return Non-zero when the entries equal @p pColors, else 0.
 */
int __stdcall K_ComparePalette(const BitmapHandle *pBitmap, const RGBQUAD *pColors, int nCount);
/**
 * @brief Makes a logical palette from a colour table.
 * @param pColors The entries.
 * @param nCount Number of entries.
 * @return A new palette the caller deletes (DeleteObject), or null on
 *         failure.
 */
HPALETTE __stdcall K_CreatePaletteFromColors(const RGBQUAD *pColors, int nCount);
/**
 * @brief Makes a logical palette from a bitmap's colours.
 * @param pBitmap The bitmap.
 * @return A new palette the caller deletes, or null on failure.
 */
HPALETTE __stdcall K_CreatePaletteFromBitmap(const BitmapHandle *pBitmap);
/**
 * @brief The fixed display palette of a device class.
 * @param nDeviceBits 1 (2 colours), 4 (the standard 16) or 8 (3-3-2).
 * @return A new palette the caller deletes, or null for another value or
 *         on failure.
 */
HPALETTE __stdcall K_CreateFixedPalette(int nDeviceBits);

/* ---- Orientation --------------------------------------------------- */

/**
 * @brief How to turn an image shown in one orientation into another:
 *        first flip vertically when *pbFlip, then rotate clockwise by
 *        *pnDegrees.
 * @param nFrom The orientation the image is shown in (ORIENT_*).
 * @param nTo The orientation wanted.
 * @param pnDegrees Receives 0, 90, 180 or 270.
 * @param pbFlip Receives 1 when a vertical flip comes first, else 0.
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER An unknown orientation or a null pointer.
 */
int __stdcall K_GetOrientationTurn(int nFrom, int nTo, int *pnDegrees, int *pbFlip);
/**
 * @brief Moves a rectangle given in one orientation of a bitmap to
 *        another.
 *
 * With @p nFrom the bitmap's orientation and @p nTo #ORIENT_TOP_LEFT a
 * rectangle of stored pixels becomes the displayed rectangle it shows as.
 * @param nFrom The orientation of @p pRect's coordinates.
 * @param nWidth Stored width of the bitmap.
 * @param nHeight Stored height of the bitmap.
 * @param nTo The orientation wanted.
 * @param pRect The rectangle, changed in place.
 * @retval RC_SUCCESS Moved.
 * @retval RC_INVALID_PARAMETER An unknown orientation or a null rectangle.
 */
int __stdcall K_ConvertRectOrientation(int nFrom, int nWidth, int nHeight, int nTo, RECT *pRect);
/**
 * @brief Stores a bitmap's pixels anew for another view orientation, the
 *        displayed image unchanged.
 *
 * Width and height exchange when one of the two orientations exchanges
 * the axes; the region, in stored coordinates, is released.  Depths 1 to
 * 8, 12, 16, 24, 32, 48, 64.  On failure nothing changes.
 * @param pBitmap The bitmap.
 * @param nOrientation The new orientation (ORIENT_*).
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER An unknown orientation or depth.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_ChangeBitmapOrientation(BitmapHandle *pBitmap, int nOrientation);
/**
 * @brief Converts a bitmap in place to 8-bit gray.
 *
 * Each pixel's colour (as K_ConvertToBGR() gives it) becomes
 * (77 r + 151 g + 28 b + 128) >> 8; the result has no palette (it reads
 * as the gray ramp).  On failure nothing changes.
 * @param pBitmap The bitmap.
 * @param nBits The gray depth: 8 only.
 * @retval RC_SUCCESS Converted.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER Another depth.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_GrayScaleBitmap(BitmapHandle *pBitmap, int nBits);

/* ---- Regions ------------------------------------------------------- */

/**
 * @brief Keeps the region service table the display library registers
 *        when it loads; the kernel's own bitmap operations call it to
 *        carry regions along.  Applications do not call this.
 * @param pTable The table (copied); null or all entries null withdraws it.
 */
void __stdcall K_SetRegionServiceTable(const RegionServiceTable *pTable);
/**
 * @brief The registered region service table.
 * @return The kernel's copy, or null when none is registered (zvdisp.dll
 *         not loaded).
 */
const RegionServiceTable *__stdcall K_GetRegionServiceTable(void);
/**
 * @brief Releases a region object: deletes both caches, frees row table,
 *        span store and the object.  Use Z_FreeBitmapRgn() for a bitmap's
 *        region (it also clears BitmapHandle::Region).
 * @param pRgn The region; null is accepted.
 */
void __stdcall K_FreeRegion(ZoraRgn *pRgn);

/* ---- Files --------------------------------------------------------- */

/**
 * @brief Loads a Windows BMP file into a new kernel-owned bitmap.
 *
 * The DIB behind the 14-byte file header, its rows where the file
 * header's bits offset says, is read as K_ConvertFromDib() reads a DIB
 * (the variants read and refused are listed there).  The bitmap has Order
 * #ORDER_BGR and keeps the file's row order, so that no row moves: a
 * bottom-up file (the usual kind) loads with Orientation
 * #ORIENT_BOTTOM_LEFT (2), stored row 0 being the bottom row of the
 * picture; a top-down file loads with #ORIENT_TOP_LEFT (0).  Painting
 * shows both upright; coordinates in stored pixels (the magic wand's
 * seed, K_GetBitmapRow()) must take the orientation into account (see
 * @ref coordinates on the main page).
 * @param pszFile File name in the ANSI code page of the process.
 * @param pBitmap The caller's descriptor: it must be empty (zero-filled or
 *        freed).  It is written only on success, and what it held is not
 *        freed (a bitmap it held leaks).  Release the loaded bitmap with
 *        K_FreeBitmap().
 * @retval RC_SUCCESS The descriptor holds the bitmap.
 * @retval RC_FILE_OPEN Null name, or the file cannot be opened (no such
 *         file, no access).
 * @retval RC_INVALID_PARAMETER Null @p pBitmap.
 * @retval RC_FILE_SEEK The file cannot be positioned.
 * @retval RC_ROW_READ The read failed.
 * @retval RC_INVALID_FORMAT Not a BMP file: shorter than the file header
 *         and a core header, no "BM", a bits offset outside the file or
 *         inside the header, or a DIB this cannot read.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_LoadBitmapFile(const char *pszFile, BitmapHandle *pBitmap);
/**
 * @brief Writes a bitmap to a Windows BMP file with a 40-byte header.
 *
 * Depths 1, 4, 8, 16 (5-5-5), 24 and 32; #ORIENT_BOTTOM_LEFT bitmaps are
 * written bottom-up, #ORIENT_TOP_LEFT ones top-down.
 * @param pszFile File name in the ANSI code page; created or replaced.
 * @param pBitmap The bitmap (unchanged).
 * @retval RC_SUCCESS Written.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_FILE_OPEN Null name, or the file cannot be written.
 * @retval RC_INVALID_FORMAT Another depth, or 16-bit gray data.
 * @retval RC_INVALID_PARAMETER An orientation other than 0 and 2.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_SaveBitmapFile(const char *pszFile, const BitmapHandle *pBitmap);

/* ---- Significant bits of deep gray data ---------------------------- */

/**
 * @brief Which bits of a deep gray pixel to read for at most
 *        nWantedWidth bits of its significant range.
 *
 * (raw >> *pnShift) & *puMask is the wanted part.  A range wider than the
 * wanted width keeps its most significant bits; a range outside the pixel
 * is clamped to it, an empty one means the whole pixel (at most 32 bits).
 * @param nBitsPerPixel The pixel's depth (1 to 64).
 * @param nWantedWidth Bits wanted at most.
 * @param nLowBit Lowest significant bit.
 * @param nHighBit Highest significant bit.
 * @param pnCount Receives n, the bits read (1 .. @p nWantedWidth).
 * @param puMask Receives 2^n - 1.
 * @param pnShift Receives the shift.
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER A null output, or bits outside 1 to 64.
 */
int __stdcall K_GetSignificantBits(int nBitsPerPixel, int nWantedWidth, int nLowBit, int nHighBit,
                                   int *pnCount, UINT *puMask, int *pnShift);

/* ---- Geometry: trigonometry and bitmap transforms ------------------ */

/**
 * @brief Fixed-point cosine; quarter turns are exact.
 * @param nAngle Angle in hundredths of a degree.
 * @return The cosine x 16384.
 */
int __stdcall K_CosFixed(int nAngle);
/**
 * @brief Fixed-point sine; quarter turns are exact.
 * @param nAngle Angle in hundredths of a degree.
 * @return The sine x 16384.
 */
int __stdcall K_SinFixed(int nAngle);
/**
 * @brief Turns the stored rows upside down (row 0 becomes the last), the
 *        region with them.  The orientation is unchanged, so the
 *        displayed image flips too.
 * @param pBitmap The bitmap.
 * @retval RC_SUCCESS Flipped.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 */
int __stdcall K_FlipBitmap(BitmapHandle *pBitmap);
/**
 * @brief Reverses each stored row left to right, the region with it.  On
 *        failure nothing changes.
 * @param pBitmap The bitmap.
 * @retval RC_SUCCESS Mirrored.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_MirrorBitmap(BitmapHandle *pBitmap);
/**
 * @brief Turns the displayed image clockwise, the region with it.
 *
 * Quarter turns exchange width and height; other angles take the
 * bounding box, uncovered pixels 0.  The bitmap gets new kernel-owned
 * pixels.  On failure nothing changes.
 * @param pBitmap The bitmap.
 * @param nAngle Angle in hundredths of a degree.
 * @retval RC_SUCCESS Rotated.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER A depth that cannot be rotated.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_RotateBitmap(BitmapHandle *pBitmap, int nAngle);
/**
 * @brief Scales a bitmap by nearest neighbour, the region with it.  The
 *        bitmap gets new kernel-owned pixels; on failure nothing changes.
 * @param pBitmap The bitmap.
 * @param nNewWidth New stored width (> 0).
 * @param nNewHeight New stored height (> 0).
 * @retval RC_SUCCESS Resized.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER A size below 1.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_ResizeBitmap(BitmapHandle *pBitmap, int nNewWidth, int nNewHeight);

/* ---- Painting support ----------------------------------------------
 * Row and strip operations the display library's painters call.  Rows
 * and strips are packed most significant bits first below 8 bits; 12-bit
 * pixels come in pairs of three bytes; strip rows are 32-bit aligned. */

/**
 * @brief Resamples a row with a digital differential analyser.
 *
 * Destination pixel i takes source pixel c(i), where c(0) = nFirstColumn
 * and each step adds nQuot columns and nRem to an error that starts at
 * nError and carries one more column when it reaches nDen.  (0, nDen,
 * nDen) copies.  Rows are packed most significant bits first below 8
 * bits; 12-bit pixels come in pairs of three bytes.
 * @param nBits Bits per pixel.
 * @param pSrc The source row.
 * @param nFirstColumn Source column of destination pixel 0.
 * @param nQuot Whole columns per step.
 * @param nRem Fraction per step, in 1/nDen.
 * @param nDen Denominator (> 0).
 * @param nError Starting error, 0 <= nError < nDen.
 * @param pDst Receives the row.
 * @param nDstWidth Destination pixels.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null rows, a bad denominator, error or depth.
 */
int __stdcall K_StretchRow(int nBits, const BYTE *pSrc, int nFirstColumn, int nQuot, int nRem, int nDen,
                           int nError, BYTE *pDst, int nDstWidth);
/**
 * @brief Exchanges red and blue of a row of colour pixels when exactly
 *        one of the two orders keeps blue first in memory.
 *
 * Only #ORDER_BGR does: #ORDER_BGR_CONVERT data is red first until
 * converted.  Gray and palette data are left alone.
 * @param pRow The pixels, changed in place.
 * @param nPixels Number of pixels.
 * @param nBits 16 (5-5-5), 24, 32, 48 or 64; others are left alone.
 * @param nFromOrder The pixels' order (ORDER_*).
 * @param nToOrder The order wanted.
 * @retval RC_SUCCESS Done (or nothing to do).
 * @retval RC_INVALID_PARAMETER Null row or negative count.
 */
int __stdcall K_ConvertColorOrder(BYTE *pRow, int nPixels, int nBits, int nFromOrder, int nToOrder);
/**
 * @brief Turns a strip by a quarter: nHeight rows of nWidth pixels (row 0
 *        first in memory) become nWidth rows of nHeight pixels.
 * @param pStrip The strip (rows 32-bit aligned).
 * @param pOut Receives the turned strip (rows 32-bit aligned).
 * @param nWidth Pixels per row of @p pStrip.
 * @param nHeight Rows of @p pStrip.
 * @param nBits 1, 2, 4, 8, 16, 24 or 32.
 * @param nDirection 1 clockwise, 0 counter-clockwise, as seen with row 0
 *        on top.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null buffers, a bad size or depth.
 */
int __stdcall K_RotateStrip(const BYTE *pStrip, BYTE *pOut, int nWidth, int nHeight, int nBits,
                            int nDirection);
/**
 * @brief Mirrors every row of a strip left to right (the horizontal half
 *        of a half turn; the painters walk the rows the other way).
 * @param pStrip The strip (rows 32-bit aligned).
 * @param pOut Receives the mirrored strip.
 * @param nWidth Pixels per row.
 * @param nHeight Rows.
 * @param nBits Bits per pixel.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null buffers, a bad size or depth.
 */
int __stdcall K_FlipStrip(const BYTE *pStrip, BYTE *pOut, int nWidth, int nHeight, int nBits);
/**
 * @brief Copies a band of rows handed over last row first into storage
 *        order.
 * @param pSrc The rows, last first.
 * @param pDst Receives the rows, first first.
 * @param nRowBytes Bytes per row.
 * @param nCount Rows.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null buffers or negative sizes.
 */
int __stdcall K_ConvertBand(const BYTE *pSrc, BYTE *pDst, int nRowBytes, int nCount);
/**
 * @brief A stored row of a 1-bit bitmap as alternating run lengths, the
 *        first of pixel value 0 (possibly 0 long).  Runs longer than
 *        65535 continue after a run of length 0.
 * @param pBitmap The 1-bit bitmap.
 * @param nRow Stored row.
 * @param nFirstColumn First stored column.
 * @param nWidth Pixels to read.
 * @param pRuns Receives the runs; room for @p nWidth + 2 entries.
 * @return The number of runs, #RC_NO_BITMAP for a bitmap without pixels,
 *         #RC_INVALID_PARAMETER for another depth, a null buffer or a span
 *         outside the bitmap.
 */
int __stdcall K_GetRunLengths(const BitmapHandle *pBitmap, int nRow, int nFirstColumn, int nWidth,
                              WORD *pRuns);
/**
 * @brief The number of black pixels from which a footprint of source
 *        pixels counts as black when a 1-bit image is shrunk.
 * @param nPixels Source pixels in the footprint.
 * @return A quarter of @p nPixels, at least 1.
 */
int __stdcall K_GetFootprintThreshold(int nPixels);

/**
 * @brief The row source of a K_ResizeStart() resize: copies bytes of a
 *        source row, as K_GetBitmapRow() would.
 * @param pBitmap The source descriptor given to K_ResizeStart().
 * @param pBuffer Receives the bytes.
 * @param nRow Source row.
 * @param nColumn First source column (the bytes start at its byte).
 * @param nBytes Bytes wanted.
 * @param pContext The value given to K_ResizeStart().
 * @return The bytes copied, or a negative status to stop the resize.
 */
typedef int(__stdcall *ResizeRowSource)(const BitmapHandle *pBitmap, BYTE *pBuffer, int nRow, int nColumn,
                                         int nBytes, void *pContext);
/**
 * @defgroup resizeflags Resize flags
 * @brief Bits of K_ResizeStart()'s uFlags.
 * @{
 */
#define RESIZE_AREA     0x10u     /**< Method: area average (the exact mean of each pixel's footprint on a reducing axis, bilinear on an enlarging one). */
#define RESIZE_BILINEAR 0x20u     /**< Method: bilinear interpolation at pixel centres. */
#define RESIZE_DITHER_ORDERED 0x70000u /**< Palette output: ordered dithering. */
#define RESIZE_DITHER_DIFFUSE 0x10000u /**< Palette output: error diffusion (also any other value of these bits). */
#define RESIZE_BLUE_FIRST 0x4u  /**< The caller's word that colour data is blue first; this kernel reads the source's Order itself. */
#define RESIZE_PLAIN_LOOPS 0x100u /**< This kernel's plain loops instead of its vector ones (the same bytes; for the tests). */
#define RESIZE_ROWS_IN_MEMORY 0x200u /**< The source's rows lie at its Data, BytesPerLine apart: 24 and 32-bit rows are read there in place (the row source serves the rest). */
/** @} */
/** @brief A resize in progress (opaque). */
typedef struct KResize KResize;
/**
 * @brief Starts a filtered resize whose source rows come from a callback.
 *
 * Output rows are nDstWidth pixels at nBits: 24 (blue, green, red), 32
 * (blue, green, red, 0) or, at 8 bits or fewer, indices into pColors,
 * dithered by the flags.
 * @param pSource The source's description: size, depth, Order, palette and
 *        gray settings (pixels not needed).
 * @param nDstWidth Output width.
 * @param nDstHeight Output height.
 * @param nBits Output bits: 24, 32, or 1 to 8.
 * @param pColors The output palette for 8 bits or fewer (kept by the
 *        caller until K_ResizeEnd()).
 * @param nColors Entries in @p pColors.
 * @param uFlags Method (uFlags & 0xF0: #RESIZE_BILINEAR or #RESIZE_AREA)
 *        and dithering (#RESIZE_DITHER_ORDERED when (uFlags & 0x70000) ==
 *        0x70000, else error diffusion).
 * @param pfnRows The row source.
 * @param pContext Handed to @p pfnRows.
 * @param ppResize Receives the resize; release it with K_ResizeEnd().
 * @retval RC_SUCCESS Started.
 * @retval RC_NO_BITMAP Null source.
 * @retval RC_INVALID_PARAMETER Null pointers, a bad size, depth or method.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_ResizeStart(const BitmapHandle *pSource, int nDstWidth, int nDstHeight, int nBits,
                            const RGBQUAD *pColors, int nColors, UINT uFlags, ResizeRowSource pfnRows,
                            void *pContext, KResize **ppResize);
/**
 * @brief Produces pixels of one output row of a resize.
 * @param pResize The resize of K_ResizeStart().
 * @param nRow Output row.
 * @param nFirstColumn First output column.
 * @param nCount Output pixels.
 * @param pDst Receives them (from its first pixel position).
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null pointers or a span outside the output.
 * @return Otherwise the row source's failure.
 */
int __stdcall K_ResizeRow(KResize *pResize, int nRow, int nFirstColumn, int nCount, BYTE *pDst);
/**
 * @brief Makes the interpolated values of one output row's span, without
 *        reducing them to the output's pixels: K_ResizeRow() is this, then
 *        K_ResizePutRow() of the same span.
 *
 * The values are 8-bit channels, one per pixel for a source the resize
 * keeps as gray (gray palettes, 12 and 16-bit gray without a colour
 * window-level table), else three (blue, green, red), and four (blue,
 * green, red, 0) when the output has 32 bits: at most nCount x 3 bytes
 * below 32 bits.  They depend on the source, the output size and the
 * method alone, not on the output depth below 32 bits, its palette or
 * dithering, nor on the rows asked before: a resize started at 24 bits
 * for the same source and size gives the same values as one started onto
 * a palette.  The call neither allocates nor touches the output state
 * (the error row, the nearest-entry cache), so a thread may make values
 * on a resize of its own while another puts rows on another one.
 * @param pResize The resize of K_ResizeStart().
 * @param nRow Output row.
 * @param nFirstColumn First output column.
 * @param nCount Output pixels.
 * @param pValues Receives the values.
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null pointers or a span outside the output.
 * @return Otherwise the row source's failure.
 */
int __stdcall K_ResizeRowValues(KResize *pResize, int nRow, int nFirstColumn, int nCount, BYTE *pValues);
/**
 * @brief Reduces the values of K_ResizeRowValues() for one output row's
 *        span to the output's pixels, as K_ResizeRow() does.
 *
 * Onto a palette through the resize's output state: ordered offsets by the
 * row and column, or error diffusion, whose error row each put hands to
 * the next.  On a palette that holds every combination of some levels per
 * channel (the 3-3-2 table, the 6x6x6 cube) the nearest entry is each
 * channel's nearest level, so ordered pixels depend on their values and
 * position alone and a put may come in any order, on any resize of the
 * same palette; on other palettes the nearest entries come through a
 * cache that keeps the entry of the first colour met in each 5-5-5 cell.
 * Puts give K_ResizeRow()'s
 * pixels when they come in the order K_ResizeRow() would have been called,
 * on one resize.  24 and 32-bit colour values are the pixels (copied; the
 * same buffer for both is a put with nothing to do).
 * @param pResize The resize of K_ResizeStart().
 * @param nRow Output row (the ordered offsets' row).
 * @param nFirstColumn First output column (the ordered offsets' column).
 * @param nCount Output pixels.
 * @param pValues The values of that span.
 * @param pDst Receives the pixels (from its first pixel position).
 * @retval RC_SUCCESS Done.
 * @retval RC_INVALID_PARAMETER Null pointers or a span outside the output.
 */
int __stdcall K_ResizePutRow(KResize *pResize, int nRow, int nFirstColumn, int nCount, const BYTE *pValues,
                             BYTE *pDst);
/**
 * @brief Ends a resize and frees it.
 * @param pResize The resize of K_ResizeStart().
 * @retval RC_SUCCESS Freed.
 * @retval RC_INVALID_PARAMETER Null resize.
 */
int __stdcall K_ResizeEnd(KResize *pResize);

/* ---- Binary files -------------------------------------------------- */

/** K_FileOpen() mode: open an existing file for reading. */
#define K_FILE_READ  0u
/** K_FileOpen() mode: create or truncate a file for writing. */
#define K_FILE_WRITE 1u
/**
 * @brief Opens a file.
 * @param pszName File name in the ANSI code page.
 * @param uMode #K_FILE_READ or #K_FILE_WRITE.
 * @return The file's handle (close it with K_FileClose()), or null when it
 *         cannot be opened or @p pszName is null.
 */
HANDLE   __stdcall K_FileOpen(const char *pszName, UINT uMode);
/**
 * @brief Moves a file's position.
 * @param hFile A handle of K_FileOpen().
 * @param llOffset Bytes from the origin.
 * @param nOrigin FILE_BEGIN, FILE_CURRENT or FILE_END.
 * @return The new position, or -1 on failure.
 */
LONGLONG __stdcall K_FileSeek(HANDLE hFile, LONGLONG llOffset, int nOrigin);
/**
 * @brief Reads bytes from a file.
 * @param hFile A handle of K_FileOpen().
 * @param pBuffer Receives the bytes.
 * @param uBytes Bytes wanted.
 * @return The bytes read (fewer at the end of the file), #RC_ROW_READ when
 *         the read fails, #RC_INVALID_PARAMETER for a null handle or
 *         buffer.
 */
int      __stdcall K_FileRead(HANDLE hFile, void *pBuffer, UINT uBytes);
/**
 * @brief Writes bytes to a file.
 * @param hFile A handle of K_FileOpen().
 * @param pBuffer The bytes.
 * @param uBytes Number of bytes.
 * @return The bytes written, #RC_FAILURE when the write fails,
 *         #RC_INVALID_PARAMETER for a null handle or buffer.
 */
int      __stdcall K_FileWrite(HANDLE hFile, const void *pBuffer, UINT uBytes);
/**
 * @brief Closes a file of K_FileOpen().
 * @param hFile The handle.
 * @retval RC_SUCCESS Closed.
 * @retval RC_INVALID_PARAMETER A null or invalid handle.
 */
int      __stdcall K_FileClose(HANDLE hFile);

/* ---- Device contexts on bitmaps ------------------------------------ */

/**
 * @brief A memory DC for drawing on a bitmap with GDI.
 *
 * The DC's selected DIB section holds a copy of the bitmap's stored rows
 * (stored row 0 on top, whatever the orientation).  GDI drawing goes to the copy; K_DeleteBitmapDC()
 * puts its pixels back into the bitmap.  Between the two calls the
 * bitmap's own pixels are not read or written.  The section counts as an
 * allocation for fault injection.
 * @param pBitmap The bitmap: 24 bits of #ORDER_BGR (what the library
 *        draws on).
 * @return The DC (end it with K_DeleteBitmapDC()), or null for another
 *         format, a bitmap without pixels, or when GDI fails.
 */
HDC __stdcall K_CreateBitmapDC(BitmapHandle *pBitmap);
/**
 * @brief Puts the pixels drawn on a K_CreateBitmapDC() DC back into the
 *        bitmap and deletes the DC and its section.
 * @param pBitmap The bitmap the DC was made for.
 * @param hDC The DC.
 * @retval RC_SUCCESS Pixels put back, DC deleted.
 * @retval RC_NO_BITMAP The bitmap has no pixels (the DC is still deleted).
 * @retval RC_INVALID_PARAMETER A null DC, or one whose section does not
 *         match the bitmap.
 */
int __stdcall K_DeleteBitmapDC(BitmapHandle *pBitmap, HDC hDC);

/* ---- Packed device-independent bitmaps ------------------------------ */

/**
 * @brief A packed DIB of a bitmap, as its orientation displays it.
 *
 * A packed DIB is a BITMAPINFOHEADER, its colour table and the rows,
 * bottom-up, BI_RGB, in one movable global block: 1, 4 and 8 bits with
 * the bitmap's colours (2 to 7 bits widened to 8), 5-5-5, 24 and 32 bits
 * as stored when blue comes first, every other format as 24 bits.
 * @param pBitmap The bitmap (unchanged).
 * @return The block (counted; free it with K_GlobalFree(), or
 *         K_GlobalDetach() once handed to the system), or null for a
 *         bitmap without pixels or no memory.
 */
HGLOBAL __stdcall K_ConvertToDib(const BitmapHandle *pBitmap);
/**
 * @brief K_ConvertToDib(), then, when it succeeded, K_FreeBitmap() of the
 *        bitmap.
 * @param pBitmap The bitmap; freed on success.
 * @return The block, or null (the bitmap is then unchanged).
 */
HGLOBAL __stdcall K_ChangeToDib(BitmapHandle *pBitmap);
/**
 * @brief Fills an empty descriptor with a new kernel-owned bitmap from a
 *        DIB given as its header and its bits.
 *
 * This is the kernel's one DIB reader, also behind K_LoadBitmapFile() and
 * K_ConvertFromDibHandle().
 *
 * Read: headers of 12 (core), 16 and 64 (the other desktop system's), 40,
 * 52, 56, 108 and 124 bytes; 1, 2, 4, 8, 16, 24 and 32 bits; BI_RGB,
 * BI_RLE8, BI_RLE4, and BI_BITFIELDS / BI_ALPHABITFIELDS with any
 * contiguous masks (16 and 32 bits); either row direction; colour tables
 * shorter than 2^bits.  Image size, resolution, planes and important
 * colours are not read.
 *
 * Loaded as: 1, 2, 4, 8 bits as palette bitmaps of that depth; 16-bit
 * 5-5-5 as 16 bits; 24 bits and every other 16- or 32-bit layout as 24
 * bits, each channel widened to 8 bits by repeating its bits (a wider one
 * keeps its top 8), alpha dropped.  Order #ORDER_BGR; bottom-up rows give
 * Orientation #ORIENT_BOTTOM_LEFT (2), top-down #ORIENT_TOP_LEFT (0),
 * run-length streams too.  Palette entries past the DIB's table are
 * black, and ColorCount is 2^bits when a pixel indexes past the table (the
 * table's length otherwise).  Pixels that no run of a run-length stream
 * reaches are index 0; a stream short at its end is read as far as it
 * goes.
 *
 * Refused (#RC_INVALID_FORMAT): other header sizes; JPEG or PNG inside,
 * Huffman 1D and RLE24 (compression 3 and 4 of the 16- and 64-byte
 * headers), other compressions or a compression the depth cannot carry;
 * other depths; a colour count above 2^bits; masks that overlap, have a
 * hole or reach past the pixel; width below 1, height 0 or -2^31; rows too
 * long for a bitmap; bits that begin inside the header or its masks; rows
 * shorter than the picture needs.
 * @param pBitmap The caller's descriptor: it must be empty.  It is written
 *        only on success (what it held is not freed).  Release the bitmap
 *        with K_FreeBitmap().
 * @param pHeader The DIB's header, followed by its masks and colour table.
 *        The memory stays the caller's.
 * @param pBits The rows (stay the caller's).
 * @param cbBlock Bytes readable from @p pHeader on (header, table and bits
 *        must lie within them; a colour table ends where the bits begin),
 *        0 when not known (the header is trusted; a run-length stream is
 *        then as long as the header's image size, and refused without
 *        one).
 * @retval RC_SUCCESS The descriptor holds the bitmap.
 * @retval RC_NO_BITMAP Null descriptor.
 * @retval RC_INVALID_PARAMETER Null header or bits.
 * @retval RC_INVALID_FORMAT A DIB this cannot read (above), or sizes beyond
 *         the block.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_ConvertFromDib(BitmapHandle *pBitmap, const BITMAPINFOHEADER *pHeader, const void *pBits,
                               size_t cbBlock);
/**
 * @brief K_ConvertFromDib() from a global block holding a packed DIB: its
 *        bits behind the header, the masks behind a 40-byte header and the
 *        colour table (the colour count's entries, 2^bits when it is 0;
 *        for 16 and 32 bits the colour count's entries too).
 * @param pBitmap The caller's descriptor: it must be empty.
 * @param hDib The block.  On #RC_SUCCESS it is taken over (and released);
 *        otherwise it stays the caller's.
 * @retval RC_SUCCESS The descriptor holds the bitmap.
 * @retval RC_NO_BITMAP Null descriptor.
 * @retval RC_INVALID_PARAMETER A null or unlockable handle.
 * @return Otherwise the codes of K_ConvertFromDib().
 */
int __stdcall K_ConvertFromDibHandle(BitmapHandle *pBitmap, HGLOBAL hDib);
/**
 * @brief The palette to read the screen's device-dependent bitmaps with.
 * @return On a palette display a new palette of the system palette's
 *         entries (the caller deletes it); otherwise null.
 */
HPALETTE __stdcall K_CreateDefaultPalette(void);

/* ---- Status callback ------------------------------------------------ */

/**
 * @brief Progress callback of long operations (printing).
 * @param nPercent Progress, 0 to 100.
 * @param pUserData The value given to K_SetStatusCallback().
 * @return #RC_SUCCESS to go on; anything else asks the operation to stop.
 */
typedef int(__stdcall *KStatusCallback)(int nPercent, void *pUserData);
/**
 * @brief Sets the calling thread's status callback.
 * @param pfnStatus The callback; null removes it.
 * @param pUserData Handed to the callback (stays the caller's).
 */
void __stdcall K_SetStatusCallback(KStatusCallback pfnStatus, void *pUserData);
/**
 * @brief The calling thread's status callback.
 * @param ppUserData Receives its user value when not null.
 * @return The callback, or null when none is set.
 */
KStatusCallback __stdcall K_GetStatusCallback(void **ppUserData);

/* ---- Whole-bitmap operations ---------------------------------------- */

/**
 * @brief Fills the pixels of the bitmap's region (the whole bitmap
 *        without one) with a colour.  Allocates nothing.
 *
 * Colours (COLORREF) have red in bits 0-7, green 8-15, blue 16-23.  With
 * bits 24-31 equal to 0x01 a bitmap of 8 bits or fewer takes the palette
 * index in bits 0-7 (masked to its depth); otherwise palette depths take
 * the nearest entry.
 * @param pBitmap The bitmap.
 * @param crColor The colour, or 0x01000000 | index.
 * @retval RC_SUCCESS Filled.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_FORMAT An unknown depth.
 */
int __stdcall K_FillBitmap(BitmapHandle *pBitmap, COLORREF crColor);

/**
 * @defgroup kconv Conversion flags
 * @brief Bits of K_ConvertColorResolution()'s uFlags.
 * @{
 */
#define KCONV_BLUE_FIRST  0x00004u /**< The new Order is #ORDER_BGR; without it #ORDER_GRAY for 12/16 bits from gray data, else #ORDER_RGB. */
#define KCONV_USE_COLORS  0x00010u /**< At 8 bits or fewer the new palette is pColors; without it the gray ramp of K_CreateBitmap(). */
#define KCONV_NEAREST     0x10000u /**< Palette depths take the nearest entry (the kernel's only mapping; it never dithers). */
/** @} */
/**
 * @brief Copies a bitmap at another depth, every pixel converted through
 *        24-bit colour.
 *
 * The copy is a new kernel-owned bitmap of pSrc's size and Orientation.
 * It keeps Left, Top, Delay, BackgroundColor, TransparentColor,
 * DisposalMethod, the wait and transparent flags, the paint settings (its
 * PaintLUT is the identity) and a copy of the region.
 * @param pSrc The bitmap to convert (unchanged).
 * @param pDst The caller's descriptor, written only on success (must be
 *        empty).  Release it with K_FreeBitmap().
 * @param nBitsPerPixel The new depth.
 * @param pColors The new palette with #KCONV_USE_COLORS, else ignored.
 * @param nColors Entries in @p pColors (at most 2^bits kept).
 * @param uFlags KCONV_* bits.
 * @retval RC_SUCCESS Converted.
 * @retval RC_NO_BITMAP @p pSrc null or without pixels.
 * @retval RC_INVALID_PARAMETER Null @p pDst, a bad depth, an unknown flag,
 *         #KCONV_USE_COLORS at a palette depth without colours.
 * @retval RC_INVALID_FORMAT A source depth the kernel cannot read.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_ConvertColorResolution(const BitmapHandle *pSrc, BitmapHandle *pDst, int nBitsPerPixel,
                                       const RGBQUAD *pColors, int nColors, UINT uFlags);

/**
 * @brief Copies a rectangle of stored pixels into a new bitmap of its
 *        size, with pSrc's depth, Order, Orientation, palette and gray
 *        bits (no region).  Pixels of the rectangle outside pSrc are 0.
 * @param pSrc The bitmap (unchanged).
 * @param pDst The caller's descriptor, overwritten (must be empty).
 *        Release it with K_FreeBitmap().
 * @param nLeft Stored column of the rectangle's left edge.
 * @param nTop Stored row of its first row.
 * @param nWidth Width in pixels.
 * @param nHeight Height in rows.
 * @retval RC_SUCCESS Copied.
 * @retval RC_NO_BITMAP @p pSrc null or without pixels.
 * @retval RC_INVALID_PARAMETER Null @p pDst, an empty size.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_CopyBitmapRect(const BitmapHandle *pSrc, BitmapHandle *pDst, int nLeft, int nTop, int nWidth,
                               int nHeight);

/** K_CombineBitmap(): copy only the source pixels of the source's region. */
#define KCOMBINE_SOURCE_RGN 0x10u
/** K_CombineBitmap(): copy the pixel values as they are (the only operation). */
#define KCOMBINE_COPY       0x20u
/**
 * @brief Copies a block of pixels from one bitmap onto another, cut to
 *        both.  Allocates nothing.
 *
 * Pixel values are copied as they are, so both bitmaps must have the same
 * BitsPerPixel.  The destination rectangle is given in the source's row
 * order: when the two orientations differ by a vertical flip only (0 and
 * 2, 1 and 3), it is moved into the destination's rows
 * (K_ConvertRectOrientation()) and the block is placed upside down.
 * @param pDst The bitmap written.
 * @param nLeft Destination column.
 * @param nTop Destination row (in the source's row order).
 * @param nWidth Block width.
 * @param nHeight Block height.
 * @param pSrc The bitmap read (unchanged).
 * @param nSrcLeft Source stored column.
 * @param nSrcTop Source stored row.
 * @param uFlags #KCOMBINE_COPY, optionally with #KCOMBINE_SOURCE_RGN (only
 *        the pixels of the source's region; all without one).
 * @retval RC_SUCCESS Copied.
 * @retval RC_NO_BITMAP Either bitmap null or without pixels.
 * @retval RC_INVALID_PARAMETER An unknown flag, a negative size.
 * @retval RC_INVALID_FORMAT The depths differ, or the orientations differ
 *         by more than a vertical flip.
 */
int __stdcall K_CombineBitmap(BitmapHandle *pDst, int nLeft, int nTop, int nWidth, int nHeight,
                              const BitmapHandle *pSrc, int nSrcLeft, int nSrcTop, UINT uFlags);

/* ---- Bitmap lists ---------------------------------------------------- */

/**
 * @brief Creates an empty bitmap list: an ordered list of descriptors
 *        (the frames of an animation) behind an opaque handle.
 *
 * Indexes run from 0.  Inserting stores a copy of the descriptor and the
 * list owns the bitmap's data from then on; getting copies the stored
 * descriptor out (data, palette and region stay the list's); setting
 * overwrites the stored descriptor (what it owned is not freed).
 * @param phList Receives the handle; destroy it with K_DestroyBitmapList().
 * @retval RC_SUCCESS Created.
 * @retval RC_INVALID_PARAMETER Null @p phList.
 * @retval RC_NO_MEMORY Out of memory.
 */
int __stdcall K_CreateBitmapList(void **phList);
/**
 * @brief Inserts a bitmap into a list; the list owns its data from then
 *        on (do not free @p pBitmap afterwards).
 * @param hList The list.
 * @param nIndex Insert before this item (0 .. count); -1 appends.
 * @param pBitmap The descriptor, copied in (one without pixels is taken as
 *        it is).
 * @retval RC_SUCCESS Inserted.
 * @retval RC_INVALID_PARAMETER Null handle or descriptor, an index out of
 *         range.
 * @retval RC_NO_BITMAP A descriptor with pixels whose fields are
 *         impossible.
 * @retval RC_NO_MEMORY Out of memory; the list is unchanged.
 */
int __stdcall K_InsertBitmapListItem(void *hList, int nIndex, BitmapHandle *pBitmap);
/**
 * @brief The number of items in a list.
 * @param hList The list.
 * @param pCount Receives the count.
 * @retval RC_SUCCESS Answered.
 * @retval RC_INVALID_PARAMETER Null handle or pointer.
 */
int __stdcall K_GetBitmapListCount(void *hList, uint32_t *pCount);
/**
 * @brief Copies a list item's descriptor out; its data, palette and
 *        region stay the list's (do not free them).
 * @param hList The list.
 * @param nIndex The item (0 .. count - 1).
 * @param pOut Receives the descriptor.
 * @retval RC_SUCCESS Copied.
 * @retval RC_INVALID_PARAMETER Null handle or pointer, an index out of
 *         range.
 */
int __stdcall K_GetBitmapListItem(void *hList, int nIndex, BitmapHandle *pOut);
/**
 * @brief Overwrites a list item's descriptor; what the old one owned is
 *        not freed.
 * @param hList The list.
 * @param nIndex The item (0 .. count - 1).
 * @param pBitmap The new descriptor, copied in.
 * @retval RC_SUCCESS Set.
 * @retval RC_INVALID_PARAMETER Null handle or pointer, an index out of
 *         range.
 */
int __stdcall K_SetBitmapListItem(void *hList, int nIndex, const BitmapHandle *pBitmap);
/**
 * @brief Frees every item's bitmap (K_FreeBitmap()) and the list.
 * @param hList The list.
 * @retval RC_SUCCESS Destroyed.
 * @retval RC_INVALID_PARAMETER Null handle.
 */
int __stdcall K_DestroyBitmapList(void *hList);

/**
 * @brief Ends every open pixel access of a descriptor (KernelAccess 0), as
 *        a loader does when it hands over a finished bitmap.
 * @param pBitmap The bitmap.
 * @retval RC_SUCCESS Done.
 * @retval RC_NO_BITMAP Null bitmap.
 */
int __stdcall K_ReleaseAccess(BitmapHandle *pBitmap);

/**
 * @brief Writes one stored pixel as a colour converted to the bitmap's
 *        format (as K_ConvertFromBGR() converts).  Allocates nothing.
 * @param pBitmap The bitmap.
 * @param nRow Stored row.
 * @param nColumn Stored column.
 * @param crColor The colour, red in the low byte.
 * @retval RC_SUCCESS Written.
 * @retval RC_NO_BITMAP Null bitmap or no pixels.
 * @retval RC_INVALID_PARAMETER A point outside the bitmap.
 * @retval RC_INVALID_FORMAT An unknown depth.
 */
int __stdcall K_SetPixelColor(BitmapHandle *pBitmap, int nRow, int nColumn, COLORREF crColor);

#ifdef __cplusplus
} /* extern "C" */

#endif

#endif /* ZVKERN_H */
