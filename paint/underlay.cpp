// Underlay: a texture printed under a bitmap.  The underlay's copy is
// turned into 8-bit gray, brought to the target's view orientation and,
// when stretched, to the target's size; every channel of every target
// pixel inside the target's region then moves by the gray level's
// distance from mid-gray (c + g - 128, clamped), row by row:
//
//   target row y --read--> 24-bit BGR --shift by underlay row u--> back to
//   the target's format --> written only over the row's clip segments
//
// Tiling repeats the underlay from the target's top-left pixel, across
// (column ux wraps at its width) and down (row u wraps at its height).
#include "region/region.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// Owns the blocks and brackets of one call; frees them on every path.
struct UnderlayState {
    BitmapHandle *Work = nullptr;  // the underlay's gray working copy
    zv::KPtr<INT32> Segments;
    zv::TempBlock<BYTE> Row, Old, Gray;
    std::optional<zv::RowAccess> TargetAccess, WorkAccess;
    ~UnderlayState() {
        WorkAccess.reset();  // closed before the copy goes
        TargetAccess.reset();
        if (Work) {
            if (Work->Flags & BITMAP_ALLOCATED)
                K_FreeBitmap(Work);
            K_Free(Work);
        }
    }
};

// Copies pixels [a, b) of a row of the given depth from src to dst.
void CopyPixels(const BYTE *src, BYTE *dst, int a, int b, int bits) {
    if (bits % 8 == 0) {
        const size_t n = static_cast<size_t>(bits / 8);
        std::memcpy(dst + a * n, src + a * n, (b - a) * n);
        return;
    }
    for (int x = a; x < b; ++x) {
        if (bits == 12) {
            // the pixel's 12 bits: the low ones of the word at its byte for
            // an even column, the high ones for an odd column
            const size_t at = static_cast<size_t>(x / 2) * 3 + x % 2;
            const unsigned keep = x % 2 ? 0x000F : 0xF000;
            const unsigned s = src[at] | src[at + 1] << 8, d = dst[at] | dst[at + 1] << 8;
            const unsigned v = (d & keep) | (s & ~keep & 0xFFFF);
            dst[at] = static_cast<BYTE>(v), dst[at + 1] = static_cast<BYTE>(v >> 8);
        } else {
            for (int i = 0; i < bits; ++i) {
                const int bit = x * bits + i;
                const BYTE m = static_cast<BYTE>(0x80 >> (bit & 7));
                dst[bit >> 3] = static_cast<BYTE>((dst[bit >> 3] & ~m) | (src[bit >> 3] & m));
            }
        }
    }
}

// Shifts the channels of n blue-green-red pixels by the gray levels of an
// underlay row of `width` pixels, repeated.
void ApplyGray(BYTE *bgr, int n, const BYTE *gray, int width) {
    for (int x = 0, ux = 0; x < n; ++x, bgr += 3) {
        const int d = gray[ux] - 128;
        for (int c = 0; c < 3; ++c)
            bgr[c] = static_cast<BYTE>(std::clamp(bgr[c] + d, 0, 255));
        if (++ux == width)
            ux = 0;
    }
}

int Prepare(BitmapHandle *pTarget, const BitmapHandle *pUnderlay, UINT uMode, UnderlayState &s) {
    s.Work = static_cast<BitmapHandle *>(K_AllocZero(1, sizeof(BitmapHandle)));
    UINT most = 0;
    int rc = Z_GetBitmapClipSegmentsMax(pTarget, &most);
    if (rc != RC_SUCCESS)
        return rc;
    s.Segments = zv::KAlloc<INT32>(std::max<size_t>(most, 2));
    if (!s.Work || !s.Segments)
        return RC_NO_MEMORY;
    if ((rc = K_CopyBitmap(s.Work, pUnderlay)) != RC_SUCCESS || (rc = K_GrayScaleBitmap(s.Work, 8)) != RC_SUCCESS)
        return rc;
    if (s.Work->Orientation != pTarget->Orientation &&
        (rc = K_ChangeBitmapOrientation(s.Work, pTarget->Orientation)) != RC_SUCCESS)
        return rc;
    if (uMode == 1 && (rc = K_ResizeBitmap(s.Work, pTarget->Width, pTarget->Height)) != RC_SUCCESS)
        return rc;
    // Room for the row at 24 bits or its own depth, whichever is larger.
    const size_t room = ((static_cast<size_t>(pTarget->Width) * std::max(pTarget->BitsPerPixel, 24) + 31) >> 3) & ~size_t(3);
    const size_t line = std::max(room, static_cast<size_t>(pTarget->BytesPerLine));
    s.Row = zv::TempAlloc(line);
    s.Old = zv::TempAlloc(line);
    s.Gray = zv::TempAlloc(static_cast<size_t>(s.Work->BytesPerLine));
    if (!s.Row || !s.Old || !s.Gray)
        return RC_NO_MEMORY;
    if (s.TargetAccess.emplace(pTarget).status() < 0)
        return s.TargetAccess->status();
    if (s.WorkAccess.emplace(s.Work).status() < 0)
        return s.WorkAccess->status();
    return RC_SUCCESS;
}

// Row y of the target with underlay row u.
int UnderlayRow(BitmapHandle *pTarget, UnderlayState &s, int y, int u) {
    const int line = pTarget->BytesPerLine, w = pTarget->Width;
    int rc = K_GetBitmapRow(pTarget, s.Row.get(), y, 0, line);
    if (rc != line)
        return rc;
    std::memcpy(s.Old.get(), s.Row.get(), static_cast<size_t>(line));
    if ((rc = K_ConvertToBGR(pTarget, s.Row.get(), s.Row.get(), w)) != RC_SUCCESS)
        return rc;
    if ((rc = K_GetBitmapRow(s.Work, s.Gray.get(), u, 0, s.Work->BytesPerLine)) < 0)
        return rc;
    ApplyGray(s.Row.get(), w, s.Gray.get(), s.Work->Width);
    if ((rc = K_ConvertFromBGR(pTarget, s.Row.get(), s.Row.get(), w)) != RC_SUCCESS)
        return rc;
    UINT count = 0;
    if ((rc = Z_GetBitmapClipSegments(pTarget, y, s.Segments.get(), &count)) != RC_SUCCESS)
        return rc;
    if (!count)
        return RC_SUCCESS;
    for (UINT i = 0; i + 1 < count; i += 2)
        CopyPixels(s.Row.get(), s.Old.get(), std::max(s.Segments.get()[i], 0), std::min(s.Segments.get()[i + 1], w), pTarget->BitsPerPixel);
    rc = K_PutBitmapRow(pTarget, s.Old.get(), y, 0, line);
    return rc < 0 ? rc : RC_SUCCESS;
}

}  // namespace

extern "C" int __stdcall Z_UnderlayBitmap(BitmapHandle *pBitmap, BitmapHandle *pUnderlay, UINT uMode) {
    if (!pBitmap || !pUnderlay || !(pBitmap->Flags & BITMAP_ALLOCATED) || !(pUnderlay->Flags & BITMAP_ALLOCATED))
        return RC_NO_BITMAP;
    if (uMode > 1)
        return RC_INVALID_PARAMETER;
    UnderlayState s;
    int rc = Prepare(pBitmap, pUnderlay, uMode, s);
    for (int y = 0, u = 0; rc == RC_SUCCESS && y < pBitmap->Height; ++y) {
        rc = UnderlayRow(pBitmap, s, y, u);
        if (++u == s.Work->Height)
            u = 0;
    }
    return rc;
}
