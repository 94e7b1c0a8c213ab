// Helpers shared by the kernel's source files.
#pragma once

#include "common/geometry.h"
#include "zvkern.h"

#include <cstdint>

namespace zv::kern {

// True when fault injection says the allocation being made must fail.
bool InjectedFailure();

// What the kernel allocated for a descriptor; 0 for hand-made ones (and
// for any word that does not carry the kernel's mark).
inline uint32_t OwnedBits(const BitmapHandle &b) {
    return (b.KernelOwned & ~KERN_OWNED_BITS) == KERN_OWNED_MARK ? b.KernelOwned & KERN_OWNED_BITS : 0;
}

inline uint32_t OwnedWord(uint32_t bits) { return bits ? KERN_OWNED_MARK | bits : 0; }

using zv::ExchangesAxes;
using zv::IsValidDepth;
using zv::IsValidOrientation;

// An allocated descriptor with pixels whose fields make sense: positive
// size, a depth of the table, rows long enough, a view orientation code.
inline bool HasData(const BitmapHandle *b) {
    return b && (b->Flags & BITMAP_ALLOCATED) && b->Data && b->Width > 0 && b->Height > 0 &&
           IsValidDepth(b->BitsPerPixel) && b->BytesPerLine >= (int64_t(b->Width) * b->BitsPerPixel + 7) / 8 &&
           IsValidOrientation(b->Orientation) && (b->ColorCount <= 256 || b->Palette);
}

// Row stride for a width and depth, 32-bit aligned; 0 when it overflows.
int64_t StrideOf(int width, int bits);

// Bytes of `rows` rows of `stride` bytes, or 0 when that is none or more
// than half the address space (which a 32-bit process reaches with sizes
// that a 64-bit one takes: the product must not wrap in size_t).
size_t StorageBytes(int64_t stride, int64_t rows);

}  // namespace zv::kern
