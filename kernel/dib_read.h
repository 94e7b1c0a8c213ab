// The kernel's one reader of device-independent bitmaps: BMP files (behind
// their 14-byte file header), packed DIBs in global blocks and DIBs given
// as header and bits.
#pragma once

#include "zvkern.h"

#include <cstddef>
#include <cstdint>

namespace zv::kern {

// Room that the caller cannot state: the header's fields are trusted.
constexpr size_t kUnknownRoom = SIZE_MAX;

// Where a DIB lies.  Header points at its header; HeaderRoom is the bytes
// readable from there on (header, masks, colour table and, when Bits is
// null, the rows behind them).  Bits points at the rows, null when they
// follow the colour table; BitsRoom is the bytes readable from Bits on.
// When Bits lies inside the header's room, the colour table ends where
// the rows begin at the latest.
struct DibParts {
    const BYTE *Header;
    size_t HeaderRoom;
    const BYTE *Bits;
    size_t BitsRoom;
};

// Fills *pOut with a new kernel-owned bitmap of the DIB (ORDER_BGR,
// ORIENT_BOTTOM_LEFT for bottom-up rows, ORIENT_TOP_LEFT for top-down).
// RC_INVALID_FORMAT for what it cannot read, RC_NO_MEMORY; *pOut is
// written only on success.
int ReadDib(const DibParts &parts, BitmapHandle *pOut);

}  // namespace zv::kern
