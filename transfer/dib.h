// Packed device-independent bitmaps as the transfer functions build and
// read them: the 40-byte header with its bit-field masks, the size of a
// header's colour table, where its bits start, and loading a packed DIB
// held in global memory into a bitmap.
#pragma once

#include "zvtypes.h"

namespace zv {

// A BITMAPINFOHEADER and the four words behind it (the masks of 16- and
// 32-bit bit-field DIBs, then 0).
struct DibHeader {
    BITMAPINFOHEADER Header;
    DWORD Masks[4];
};

// Header for a DIB of width x height (bottom-up) at depth `bits`, rounded
// up to 1, 4 or 8 below 9 bits; 16 and 32 bits get bit-field masks.
DibHeader InitDibHeader(int width, int height, int bits);
// Colours of the table behind a header (12-byte core headers too).
UINT DibColorCount(const BITMAPINFOHEADER *pHeader);
// Bytes of that table: 3 per entry behind a core header, else 4.
UINT DibColorTableSize(const BITMAPINFOHEADER *pHeader);
// Where the rows start: behind the header and its table.
BYTE *DibBitsPointer(BITMAPINFOHEADER *pHeader);

// Loads the packed DIB in global block hDib into pBitmap; the block is
// neither freed nor kept.  RC_NO_BITMAP for a null handle, otherwise the
// kernel's status (RC_INVALID_FORMAT for a header that does not fit the
// block).
int BitmapFromDibHandle(BitmapHandle *pBitmap, HGLOBAL hDib);

}  // namespace zv
