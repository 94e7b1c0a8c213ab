// Geometry both DLLs share: orientation and depth codes, the displayed
// size of a bitmap, floor and ceiling division, and rectangles.
//
// Rectangles are right- and bottom-exclusive.  One rule for empty
// results: a rectangle with right <= left or bottom <= top is empty, and
// an operation whose result is empty returns (0, 0, 0, 0), never an
// inverted rectangle, so that empty results compare equal wherever they
// come from (the region bounds of an empty region are (0, 0, 0, 0) too).
#pragma once

#include "zvtypes.h"

#include <algorithm>
#include <cstdint>

namespace zv {

// View orientation codes 0 to 8; 6 has no meaning.
inline bool IsValidOrientation(int o) { return o >= 0 && o <= 8 && o != 6; }

// Orientations that show the stored rows as columns: the displayed width
// is the stored height.
inline bool ExchangesAxes(int o) { return o == 4 || o == 5 || o == 7 || o == 8; }

// Bits per pixel that a descriptor may carry.
inline bool IsValidDepth(int bits) {
    return (bits >= 1 && bits <= 8) || bits == 12 || bits == 16 || bits == 24 || bits == 32 || bits == 48 ||
           bits == 64;
}

// Width and height of a bitmap as its view orientation shows it.
inline SIZE DisplayedSize(const BitmapHandle &b) {
    return ExchangesAxes(b.Orientation) ? SIZE{b.Height, b.Width} : SIZE{b.Width, b.Height};
}

// Division rounded toward minus and plus infinity, for any sign of the
// numerator (b > 0).
inline int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
inline int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

inline bool IsEmptyRect(const RECT &r) { return r.right <= r.left || r.bottom <= r.top; }

// r itself, or (0, 0, 0, 0) when r is empty.
inline RECT Normalized(const RECT &r) { return IsEmptyRect(r) ? RECT{0, 0, 0, 0} : r; }

inline RECT Intersect(const RECT &a, const RECT &b) {
    return Normalized(RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                           std::min(a.bottom, b.bottom)});
}

// The smallest rectangle holding both; an empty one adds nothing.
inline RECT Union(const RECT &a, const RECT &b) {
    if (IsEmptyRect(a))
        return Normalized(b);
    if (IsEmptyRect(b))
        return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

}  // namespace zv
