// Sweep rows: regions on bitmaps (object, queries, shapes, curves, colours).
#include "sweep/sweep.h"

namespace zvsweep {
namespace {

const RgnTransform kIdentity = {0, 1, 1, 1, 1, 0, 0};
const RECT kRect = Rect(2, 3, 17, 12);
const POINT kPoints[5] = {{1, 1}, {20, 2}, {14, 9}, {22, 15}, {3, 12}};
struct Points5 {
    POINT p[5];
};
const Points5 kPolygon = {{{1, 1}, {20, 2}, {14, 9}, {22, 15}, {3, 12}}};
RgnCurve Curve(int type) {
    RgnCurve c = {};
    c.StructSize = sizeof c, c.Type = type, c.PointCount = 5, c.Points = const_cast<POINT *>(kPoints);
    c.Tension = 0.5, c.Close = 1;
    return c;
}
// Region functions work on a descriptor without data (its size only).
Arg RgnBmp(int nullCode = RC_NO_BITMAP) { return Bmp(24, nullCode, kAny); }
Arg Mode() { return Enum(RGN_MODE_XOR, RGN_MODE_AND, RGN_MODE_SET_COMPLEMENT); }

}  // namespace

ZV_SWEEP_ROWS(Region) {
    Add(Row("Z_CopyZoraRgn", {Out(sizeof(ZoraRgn *)), Rgn()},
            [](Call &c) -> intptr_t { return Z_CopyZoraRgn(c.p<ZoraRgn *>(0), c.p<ZoraRgn>(1)); })
            .Cleanup([](Call &c, intptr_t r) {
                if (r == RC_SUCCESS && c.ptr[0])
                    K_FreeRegion(*c.p<ZoraRgn *>(0));
            }));
    Add(Row("Z_FreeBitmapRgn", {RgnBmp(RC_INVALID_PARAMETER)},
            [](Call &c) -> intptr_t { return Z_FreeBitmapRgn(c.bmp(0)); })
            .NoAlloc());
    Add(Row("Z_BitmapHasRgn", {Bmp(24, 0, 0)}, [](Call &c) -> intptr_t { return Z_BitmapHasRgn(c.bmp(0)); })
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_OffsetBitmapRgn", {RgnBmp(), Val(3), Val(-2)},
            [](Call &c) -> intptr_t { return Z_OffsetBitmapRgn(c.bmp(0), c.i(1), c.i(2)); }));
    Add(Row("Z_IsPtInBitmapRgn", {Bmp(24, kAny, kAny), Val(7), Val(9)},
            [](Call &c) -> intptr_t { return Z_IsPtInBitmapRgn(c.bmp(0), c.i(1), c.i(2)); })
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_GetBitmapRgnArea", {RgnBmp(), Out(sizeof(UINT))},
            [](Call &c) -> intptr_t { return Z_GetBitmapRgnArea(c.bmp(0), c.p<UINT>(1)); }));
    Add(Row("Z_GetBitmapRgnBounds", {RgnBmp(), OptIn(kIdentity), Out(sizeof(RECT), RC_NO_BITMAP)},
            [](Call &c) -> intptr_t { return Z_GetBitmapRgnBounds(c.bmp(0), c.p<RgnTransform>(1), c.p<RECT>(2)); }));
    Add(Row("Z_GetBitmapRgnBoundsClip", {RgnBmp(), OptIn(kIdentity), Out(sizeof(RECT), RC_NO_BITMAP)},
            [](Call &c) -> intptr_t {
                return Z_GetBitmapRgnBoundsClip(c.bmp(0), c.p<RgnTransform>(1), c.p<RECT>(2));
            }));
    Add(Row("Z_GetBitmapClipSegmentsMax", {RgnBmp(), Out(sizeof(UINT))},
            [](Call &c) -> intptr_t { return Z_GetBitmapClipSegmentsMax(c.bmp(0), c.p<UINT>(1)); }));
    Add(Row("Z_GetBitmapClipSegments", {RgnBmp(), Val(7), Out(64 * sizeof(INT32)), Out(sizeof(UINT))},
            [](Call &c) -> intptr_t {
                return Z_GetBitmapClipSegments(c.bmp(0), c.i(1), c.p<INT32>(2), c.p<UINT>(3));
            }));
    Add(Row("Z_CurveToBezier", {In(Curve(1)), Out(sizeof(UINT)), OptOut(256 * sizeof(POINT))},
            [](Call &c) -> intptr_t { return Z_CurveToBezier(c.p<RgnCurve>(0), c.p<UINT>(1), c.p<POINT>(2)); }));

    Add(Row("Z_SetBitmapRgnRect", {RgnBmp(), OptIn(kIdentity), In(kRect), Mode()},
            [](Call &c) -> intptr_t {
                return Z_SetBitmapRgnRect(c.bmp(0), c.p<RgnTransform>(1), c.p<RECT>(2), c.u(3));
            }));
    Add(Row("Z_SetBitmapRgnEllipse", {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), In(kRect), Mode()},
            [](Call &c) -> intptr_t {
                return Z_SetBitmapRgnEllipse(c.bmp(0), c.p<RgnTransform>(1), c.p<RECT>(2), c.u(3));
            }));
    Add(Row("Z_SetBitmapRgnRoundRect", {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), In(kRect), Val(6), Val(4), Mode()},
            [](Call &c) -> intptr_t {
                return Z_SetBitmapRgnRoundRect(c.bmp(0), c.p<RgnTransform>(1), c.p<RECT>(2), c.i(3), c.i(4), c.u(5));
            }));
    Add(Row("Z_SetBitmapRgnPolygon", {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), In(kPolygon), Val(5), Enum(1, 0, 1), Mode()},
            [](Call &c) -> intptr_t {
                return Z_SetBitmapRgnPolygon(c.bmp(0), c.p<RgnTransform>(1), c.p<POINT>(2), c.i(3), c.i(4), c.u(5));
            }));
    Add(Row("Z_SetBitmapRgnCurve", {Bmp(), OptIn(kIdentity), In(Curve(1)), Mode()},
            [](Call &c) -> intptr_t {
                return Z_SetBitmapRgnCurve(c.bmp(0), c.p<RgnTransform>(1), c.p<RgnCurve>(2), c.u(3));
            }));
    Add(Row("Z_SetBitmapRgnColor", {Bmp(8), Val(RGB(0x40, 0x40, 0x40)), Mode()},
            [](Call &c) -> intptr_t {
                return Z_SetBitmapRgnColor(c.bmp(0), static_cast<COLORREF>(c.val[1]), c.u(2));
            }));
    Add(Row("Z_SetBitmapRgnColorRGBRange", {Bmp(), Val(RGB(20, 20, 20)), Val(RGB(200, 220, 240)), Mode()},
            [](Call &c) -> intptr_t {
                return Z_SetBitmapRgnColorRGBRange(c.bmp(0), static_cast<COLORREF>(c.val[1]),
                                                   static_cast<COLORREF>(c.val[2]), c.u(3));
            }));
}

}  // namespace zvsweep
