// Curves through integer points, turned into chains of cubic Bezier
// segments in PolyBezier layout: a start point, then two control points
// and an end point per segment.  Coordinates are computed in double and
// truncated toward zero only when written as POINTs.
#include "region/region.h"

#include <cstdlib>
#include <initializer_list>

#include <cstddef>

#ifndef _WIN64
// The record applications fill: 36 bytes on 32-bit Windows.
static_assert(sizeof(RgnCurve) == 36 && offsetof(RgnCurve, Tension) == 20 && offsetof(RgnCurve, Close) == 28,
              "RgnCurve layout");
#endif

namespace zv {

namespace {

// Output points of a curve (n knots); -1 for an impossible count.
int64_t BezierCount(int type, int close, int64_t n) {
    if (type == 1)
        return close == 0 ? 3 * n - 8 : close == 1 ? 3 * n + 1 : 3 * n - 2;
    return close == 1 ? 3 * n + 1 : 3 * n - 2;
}

void Truncate(POINT *pOut, const double *xy, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        pOut[i] = POINT{static_cast<LONG>(xy[2 * i]), static_cast<LONG>(xy[2 * i + 1])};
}

// The spline of one axis.  Each knot has four doubles: its value and the
// coefficients b, c, d of the segment that starts there
// (y + b u + c u^2 + d u^3, 0 <= u <= 1).  Slots 1 and 3 serve as scratch
// for the elimination before b and d are known.
struct Knot {
    double y, b, c, d;
};

// Natural spline: c_0 = c_(n-1) = 0 and, for the inner knots,
// c_(i-1) + 4 c_i + c_(i+1) = 3 (y_(i+1) - 2 y_i + y_(i-1)),
// a tridiagonal system solved by forward elimination (ratios in b, the
// eliminated right side in d) and back substitution.
void SolveNatural(Knot *k, int n) {
    for (int i = 0; i < n; ++i)
        k[i].c = 0;
    if (n < 3)
        return;
    for (int i = 1; i <= n - 2; ++i) {
        const double r = 3 * (k[i + 1].y - 2 * k[i].y + k[i - 1].y);
        const double prevRatio = i == 1 ? 0 : k[i - 1].b, prevRight = i == 1 ? 0 : k[i - 1].d;
        const double pivot = 4 - prevRatio;
        k[i].b = 1 / pivot;
        k[i].d = (r - prevRight) / pivot;
    }
    k[n - 2].c = k[n - 2].d;
    for (int i = n - 3; i >= 1; --i)
        k[i].c = k[i].d - k[i].b * k[i + 1].c;
}

// Periodic spline: the same equations with the knots taken cyclically.
// The cyclic matrix is a tridiagonal T plus the rank-one corner term
// u v^T with u = (gamma, 0, ..., 0, 1), v = (1, 0, ..., 0, 1 / gamma),
// gamma = -4 (Sherman-Morrison): solve T x = r and T z = u, then
// c = x - z (v.x) / (1 + v.z).  x is eliminated in c, z in d, the shared
// ratios in b.
void SolvePeriodic(Knot *k, int n) {
    const double gamma = -4;
    for (int i = 0; i < n; ++i) {
        const double r = 3 * (k[(i + 1) % n].y - 2 * k[i].y + k[(i + n - 1) % n].y);
        const double u = i == 0 ? gamma : i == n - 1 ? 1 : 0;
        const double diag = i == 0 ? 4 - gamma : i == n - 1 ? 4 - 1 / gamma : 4;
        const double pivot = diag - (i ? k[i - 1].b : 0);
        k[i].b = 1 / pivot;
        k[i].c = (r - (i ? k[i - 1].c : 0)) / pivot;
        k[i].d = (u - (i ? k[i - 1].d : 0)) / pivot;
    }
    for (int i = n - 2; i >= 0; --i) {
        k[i].c -= k[i].b * k[i + 1].c;
        k[i].d -= k[i].b * k[i + 1].d;
    }
    const double fact = (k[0].c + k[n - 1].c / gamma) / (1 + k[0].d + k[n - 1].d / gamma);
    for (int i = 0; i < n; ++i)
        k[i].c -= fact * k[i].d;
}

// b and d of each segment from the values and the c's.
void FinishSegments(Knot *k, int n, int segments) {
    for (int i = 0; i < segments; ++i) {
        const Knot &next = k[(i + 1) % n];
        k[i].b = (next.y - k[i].y) - (2 * k[i].c + next.c) / 3;
        k[i].d = (next.c - k[i].c) / 3;
    }
}

}  // namespace

int CardinalToBezierExact(double *pOutXY, uint32_t *puOutCount, const POINT *pPoints, int n, double tension,
                          int close) {
    if (close < 0 || close > 2 || n < 1 || (close == 0 && n < 3))
        return RC_INVALID_PARAMETER;
    const int start = close == 2 ? n - 1 : 0;
    const int segments = close == 0 ? n - 3 : close == 1 ? n : n - 1;
    const double t3 = tension / 3;
    auto knot = [&](int i) { return pPoints[i % n]; };
    double *out = pOutXY;
    const POINT first = knot(start + 1);
    *out++ = first.x;
    *out++ = first.y;
    for (int j = 0; j < segments; ++j) {
        const POINT p0 = knot(start + j), p1 = knot(start + j + 1), p2 = knot(start + j + 2), p3 = knot(start + j + 3);
        *out++ = p1.x + t3 * (static_cast<double>(p2.x) - p0.x);
        *out++ = p1.y + t3 * (static_cast<double>(p2.y) - p0.y);
        *out++ = p2.x - t3 * (static_cast<double>(p3.x) - p1.x);
        *out++ = p2.y - t3 * (static_cast<double>(p3.y) - p1.y);
        *out++ = p2.x;
        *out++ = p2.y;
    }
    *puOutCount = static_cast<uint32_t>(1 + 3 * segments);
    return RC_SUCCESS;
}

int SplineToBezierExact(double *pOutXY, uint32_t *puOutCount, const POINT *pPoints, int n, int close) {
    if ((close != 0 && close != 1) || n < 1 || (close == 1 && n < 3))
        return RC_INVALID_PARAMETER;
    const TempBlock<Knot> axes = TempAlloc<Knot>(sizeof(Knot) * n);
    const TempBlock<Knot> axesY = axes ? TempAlloc<Knot>(sizeof(Knot) * n) : nullptr;
    if (!axesY)
        return RC_NO_MEMORY;
    Knot *kx = axes.get(), *ky = axesY.get();
    for (int i = 0; i < n; ++i) {
        kx[i].y = pPoints[i].x;
        ky[i].y = pPoints[i].y;
    }
    const int segments = close ? n : n - 1;
    for (Knot *k : {kx, ky}) {
        if (close)
            SolvePeriodic(k, n);
        else
            SolveNatural(k, n);
        FinishSegments(k, n, segments);
    }
    double *out = pOutXY;
    *out++ = kx[0].y;
    *out++ = ky[0].y;
    for (int i = 0; i < segments; ++i) {
        for (int axis = 0; axis < 2; ++axis) {
            const Knot &k = (axis ? ky : kx)[i];
            out[axis] = k.y + k.b / 3;
            out[2 + axis] = k.y + 2 * k.b / 3 + k.c / 3;
            out[4 + axis] = k.y + k.b + k.c + k.d;
        }
        out += 6;
    }
    *puOutCount = static_cast<uint32_t>(1 + 3 * segments);
    return RC_SUCCESS;
}

namespace {

// Runs an exact conversion into a scratch block and truncates its points.
template <class Convert>
int Truncated(POINT *pOut, uint32_t *puOutCount, uint32_t most, Convert &&convert) {
    if (!pOut || !puOutCount)
        return RC_INVALID_PARAMETER;
    const TempBlock<double> xy = TempAlloc<double>(sizeof(double) * 2 * most);
    if (!xy)
        return RC_NO_MEMORY;
    uint32_t count = 0;
    const int rc = convert(xy.get(), &count);
    if (rc == RC_SUCCESS) {
        Truncate(pOut, xy.get(), count);
        *puOutCount = count;
    }
    return rc;
}

}  // namespace

int CardinalToBezier(POINT *pOut, uint32_t *puOutCount, const POINT *pPoints, int n, double tension, int close) {
    if (!pPoints || n < 1 || n > INT32_MAX / 8)
        return RC_INVALID_PARAMETER;
    return Truncated(pOut, puOutCount, 3u * n + 1, [&](double *xy, uint32_t *count) {
        return CardinalToBezierExact(xy, count, pPoints, n, tension, close);
    });
}

int SplineToBezier(POINT *pOut, uint32_t *puOutCount, const POINT *pPoints, int n, int close) {
    if (!pPoints || n < 1 || n > INT32_MAX / 8)
        return RC_INVALID_PARAMETER;
    return Truncated(pOut, puOutCount, 3u * n + 1, [&](double *xy, uint32_t *count) {
        return SplineToBezierExact(xy, count, pPoints, n, close);
    });
}

}  // namespace zv

extern "C" int __stdcall Z_CurveToBezier(RgnCurve *pCurve, UINT *puOutCount, POINT *pOutPoints) {
    using namespace zv;
    if (!pCurve || !puOutCount || pCurve->StructSize != sizeof(RgnCurve))
        return RC_INVALID_PARAMETER;
    const RgnCurve &c = *pCurve;
    const int n = c.PointCount;
    if (c.Close < 0 || c.Close > 2 || (c.Type != 1 && c.Type != 2))
        return RC_INVALID_PARAMETER;
    if ((c.Close != 0 && n < 3) || (c.Close == 0 && c.Type == 1 && n < 4) || (c.Type == 2 && n < 2) ||
        n > INT32_MAX / 8)
        return RC_INVALID_PARAMETER;
    if (!pOutPoints) {
        *puOutCount = static_cast<UINT>(BezierCount(c.Type, c.Close, n));
        return RC_SUCCESS;
    }
    if (!c.Points)
        return RC_INVALID_PARAMETER;
    uint32_t count = 0;
    const int rc = c.Type == 1 ? CardinalToBezier(pOutPoints, &count, c.Points, n, c.Tension, c.Close)
                               : SplineToBezier(pOutPoints, &count, c.Points, n, c.Close);
    if (rc == RC_SUCCESS)
        *puOutCount = count;
    return rc;
}
