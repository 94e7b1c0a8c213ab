// View orientation: the eight symmetries of the rectangle.
//
// An orientation maps stored pixel (column c, row r) of a W x H bitmap to
// displayed pixel (x, y).  Each axis of the display takes one stored axis,
// possibly reversed:
//
//   code  x            y            code  x            y
//   0     c            r            4     H-1-r        c
//   1     W-1-c        r            5     r            c
//   2     c            H-1-r        7     H-1-r        W-1-c
//   3     W-1-c        H-1-r        8     r            W-1-c
//
// Converting between two orientations keeps the displayed image and asks
// where a stored pixel of one lies in the storage of the other.
#include "kernel/kernel_internal.h"

using namespace zv::kern;

namespace {

struct AxisMap {
    bool xFromRow;  // display x is the stored row (axes exchanged)
    bool xReversed;
    bool yReversed;
};

AxisMap MapOf(int o) {
    switch (o) {
    case 0: return {false, false, false};
    case 1: return {false, true, false};
    case 2: return {false, false, true};
    case 3: return {false, true, true};
    case 4: return {true, true, false};
    case 5: return {true, false, false};
    case 7: return {true, true, true};
    default: return {true, false, true};  // 8
    }
}

// A half-open interval [a, b) of an axis of n pixels, reversed when asked.
void MapInterval(bool reversed, int n, LONG &a, LONG &b) {
    if (reversed) {
        const LONG na = n - b;
        b = n - a;
        a = na;
    }
}

// Rectangle of stored pixels of a W x H bitmap shown in o, to displayed.
RECT ToDisplay(int o, int w, int h, const RECT &s) {
    const AxisMap m = MapOf(o);
    RECT d;
    if (!m.xFromRow) {
        d = s;
        MapInterval(m.xReversed, w, d.left, d.right);
        MapInterval(m.yReversed, h, d.top, d.bottom);
    } else {
        d = RECT{s.top, s.left, s.bottom, s.right};
        MapInterval(m.xReversed, h, d.left, d.right);
        MapInterval(m.yReversed, w, d.top, d.bottom);
    }
    return d;
}

// Displayed rectangle to stored pixels of a W x H bitmap shown in o.
RECT FromDisplay(int o, int w, int h, RECT d) {
    const AxisMap m = MapOf(o);
    if (!m.xFromRow) {
        MapInterval(m.xReversed, w, d.left, d.right);
        MapInterval(m.yReversed, h, d.top, d.bottom);
        return d;
    }
    MapInterval(m.xReversed, h, d.left, d.right);
    MapInterval(m.yReversed, w, d.top, d.bottom);
    return RECT{d.top, d.left, d.bottom, d.right};
}

// 2 x 2 signed permutation matrices acting on (column, row) vectors.
struct Mat {
    int a, b, c, d;  // [a b; c d]
    bool operator==(const Mat &o) const { return a == o.a && b == o.b && c == o.c && d == o.d; }
};

Mat Mul(const Mat &p, const Mat &q) {
    return {p.a * q.a + p.b * q.c, p.a * q.b + p.b * q.d, p.c * q.a + p.d * q.c, p.c * q.b + p.d * q.d};
}

Mat Transposed(const Mat &m) { return {m.a, m.c, m.b, m.d}; }

Mat LinearOf(int o) {
    const AxisMap m = MapOf(o);
    const int sx = m.xReversed ? -1 : 1, sy = m.yReversed ? -1 : 1;
    return m.xFromRow ? Mat{0, sx, sy, 0} : Mat{sx, 0, 0, sy};
}

}  // namespace

extern "C" {

int __stdcall K_GetOrientationTurn(int nFrom, int nTo, int *pnDegrees, int *pbFlip) {
    if (!pnDegrees || !pbFlip || !IsValidOrientation(nFrom) || !IsValidOrientation(nTo))
        return RC_INVALID_PARAMETER;
    // Stored pixels of nFrom go to display and back into the storage of nTo.
    const Mat wanted = Mul(Transposed(LinearOf(nTo)), LinearOf(nFrom));
    const Mat flip{1, 0, 0, -1};
    const Mat quarter{0, -1, 1, 0};  // clockwise on a y-down raster
    for (int f = 0; f < 2; ++f) {
        Mat turn = f ? flip : Mat{1, 0, 0, 1};
        for (int k = 0; k < 4; ++k) {
            if (turn == wanted) {
                *pnDegrees = 90 * k;
                *pbFlip = f;
                return RC_SUCCESS;
            }
            turn = Mul(quarter, turn);
        }
    }
    return RC_INVALID_PARAMETER;  // cannot happen: the eight turns are the whole group
}

int __stdcall K_ConvertRectOrientation(int nFrom, int nWidth, int nHeight, int nTo, RECT *pRect) {
    if (!pRect || !IsValidOrientation(nFrom) || !IsValidOrientation(nTo) || nWidth < 0 || nHeight < 0)
        return RC_INVALID_PARAMETER;
    const RECT shown = ToDisplay(nFrom, nWidth, nHeight, *pRect);
    // Stored size in nTo of the same displayed image.
    const bool swap = ExchangesAxes(nFrom) != ExchangesAxes(nTo);
    *pRect = FromDisplay(nTo, swap ? nHeight : nWidth, swap ? nWidth : nHeight, shown);
    return RC_SUCCESS;
}

}  // extern "C"
