// Geometry shared by the painters: rectangles, the outward-rounded
// mapping of the source clip into the destination, and the digital
// differential analysers that walk source rows and columns.
//
// Turning to the device.  The kernel says how to turn the stored pixels
// into GDI's bottom-up row order: flip the stored rows (when asked), then
// rotate by 0, 90, 180 or 270 degrees clockwise.  Writing S' for the
// (possibly flipped) stored image of W x H and (rho, kappa) for the row
// counted from the bottom and the column of the displayed image:
//
//   rotation   S' row       S' column
//   0          rho          kappa
//   180        H-1-rho      W-1-kappa
//   90         H-1-kappa    rho
//   270        kappa        W-1-rho
//
// One destination axis walks source rows (destination rows bottom up for
// 0 and 180, destination columns left to right for 90 and 270); the other
// is one strip row, filled in increasing stored columns by the kernel's
// row stretch and then mirrored (180) or turned (90, 270) into place.
#pragma once

#include "common/geometry.h"

#include <cstdint>

namespace zv {

// The whole displayed image: (0, 0) to its displayed size.
inline RECT ImageRect(const BitmapHandle &b) {
    const SIZE s = DisplayedSize(b);
    return RECT{0, 0, s.cx, s.cy};
}

// ClipSrcRect in destination coordinates: exactly the destination pixels
// whose source pixel lies in the clip.  64-bit products cannot overflow.
inline RECT MapClipToDestination(const RECT &src, const RECT &clipSrc, const RECT &dst) {
    const int64_t sw = src.right - src.left, sh = src.bottom - src.top;
    const int64_t dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    auto up = [](int64_t a, int64_t b) { return (a + b - 1) / b; };
    RECT r;
    r.left = LONG(dst.left + up((clipSrc.left - src.left) * dw, sw));
    r.right = LONG(dst.left + up((clipSrc.right - src.left) * dw, sw));
    r.top = LONG(dst.bottom - up((src.bottom - clipSrc.top) * dh, sh));
    r.bottom = LONG(dst.bottom - up((src.bottom - clipSrc.bottom) * dh, sh));
    return r;
}

// A DDA over one axis: position advances by s / d per step, the error
// carries the remainder.  Equal sizes step by exactly one.
struct Walk {
    int pos = 0;
    int err = 0;
    int q = 0, r = 0, d = 1;
    void Step() {
        pos += q;
        err += r;
        if (err >= d) {
            err -= d;
            ++pos;
        }
    }
};

// The walk whose position after k steps is base + floor((num + k s) / d).
inline Walk WalkFrom(int64_t base, int64_t num, int s, int d) {
    Walk w;
    w.pos = int(base + FloorDiv(num, d));
    w.err = int(num - FloorDiv(num, d) * d);
    w.q = s / d;
    w.r = s % d;
    w.d = d;
    if (s == d)
        w.q = 0, w.r = d;
    return w;
}

// The walk of T(k) = a + floor((b + k) * s / d), k = 0, 1, ...
inline Walk ForwardWalk(int64_t a, int64_t b, int s, int d) { return WalkFrom(a, b * s, s, d); }

// The walk of N - 1 - T(k) with T(k) = a + floor((b - k) * s / d): the
// same pixels as a forward walk seen from the other end, which is
//   N - 1 - a + ceil((k - b) * s / d).
inline Walk ReverseWalk(int64_t n, int64_t a, int64_t b, int s, int d) {
    return WalkFrom(n - 1 - a, -b * s + d - 1, s, d);
}

// Pixels of a row at a depth: whole bytes, and 32-bit aligned DIB rows.
inline int64_t RowBytesOf(int64_t pixels, int bits) { return (pixels * bits + 7) / 8; }
inline int DibRowBytes(int64_t width, int bits) { return int(((width * bits + 31) / 32) * 4); }

// First column of a read, moved down so that it starts a byte.
inline int AlignColumn(int column, int bits) {
    switch (bits) {
    case 1: case 3: case 5: case 7: return column & ~7;
    case 2: case 6: return column & ~3;
    case 4: case 12: return column & ~1;
    default: return column;
    }
}

}  // namespace zv
