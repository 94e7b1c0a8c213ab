// Sweep rows: regions on bitmaps (object, queries, shapes, curves, colours).
#include "region/region.h"
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

// Stored region data: two rectangles in banded order.
struct RgnData2 {
    RGNDATAHEADER header;
    RECT rects[2];
};
const RgnData2 kRgnData = {{32, RDH_RECTANGLES, 2, 32, {1, 2, 15, 9}}, {{1, 2, 9, 5}, {4, 5, 15, 9}}};

// Releases what a GDI-region request handed out (the caller's region, when
// it owns it) and the caches it left on the bitmap's region, so that the
// harness counts no GDI object.
void DropCaches(const BitmapHandle *b) {
    if (b && b->Region)
        zv::RgnDeleteCaches(b->Region);
}
void ReleaseGdiRegion(Call &c, intptr_t r, int handle, int mustDelete) {
    if (r == RC_SUCCESS && c.ptr[handle] && (mustDelete < 0 || (c.ptr[mustDelete] && *c.p<int>(mustDelete))))
        DeleteObject(*c.p<HRGN>(handle));
    DropCaches(c.bmp(0));
}
void ReleaseCaches(Call &c, intptr_t) { DropCaches(c.bmp(1)); }

}  // namespace

ZV_SWEEP_ROWS(Region) {
    Add(Row("Z_CopyZoraRgn", {Out(sizeof(ZoraRgn *)), Rgn()}, Fwd(Z_CopyZoraRgn))
            .Cleanup([](Call &c, intptr_t r) {
                if (r == RC_SUCCESS && c.ptr[0])
                    K_FreeRegion(*c.p<ZoraRgn *>(0));
            }));
    Add(Row("Z_FreeBitmapRgn", {RgnBmp(RC_INVALID_PARAMETER)}, Fwd(Z_FreeBitmapRgn)).NoAlloc());
    Add(Row("Z_BitmapHasRgn", {Bmp(24, 0, 0)}, Fwd(Z_BitmapHasRgn))
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_OffsetBitmapRgn", {RgnBmp(), Val(3), Val(-2)}, Fwd(Z_OffsetBitmapRgn)));
    Add(Row("Z_IsPtInBitmapRgn", {Bmp(24, kAny, kAny), Val(7), Val(9)}, Fwd(Z_IsPtInBitmapRgn))
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_GetBitmapRgnArea", {RgnBmp(), Out(sizeof(UINT))}, Fwd(Z_GetBitmapRgnArea)));
    Add(Row("Z_GetBitmapRgnBounds", {RgnBmp(), OptIn(kIdentity), Out(sizeof(RECT), RC_NO_BITMAP)},
            Fwd(Z_GetBitmapRgnBounds)));
    Add(Row("Z_GetBitmapRgnBoundsClip", {RgnBmp(), OptIn(kIdentity), Out(sizeof(RECT), RC_NO_BITMAP)},
            Fwd(Z_GetBitmapRgnBoundsClip)));
    Add(Row("Z_GetBitmapClipSegmentsMax", {RgnBmp(), Out(sizeof(UINT))}, Fwd(Z_GetBitmapClipSegmentsMax)));
    Add(Row("Z_GetBitmapClipSegments", {RgnBmp(), Val(7), Out(64 * sizeof(INT32)), Out(sizeof(UINT))},
            Fwd(Z_GetBitmapClipSegments)));
    Add(Row("Z_CurveToBezier", {In(Curve(1)), Out(sizeof(UINT)), OptOut(256 * sizeof(POINT))}, Fwd(Z_CurveToBezier)));

    Add(Row("Z_SetBitmapRgnRect", {RgnBmp(), OptIn(kIdentity), In(kRect), Mode()}, Fwd(Z_SetBitmapRgnRect)));
    Add(Row("Z_SetBitmapRgnEllipse", {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), In(kRect), Mode()},
            Fwd(Z_SetBitmapRgnEllipse)));
    Add(Row("Z_SetBitmapRgnRoundRect", {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), In(kRect), Val(6), Val(4), Mode()},
            Fwd(Z_SetBitmapRgnRoundRect)));
    Add(Row("Z_SetBitmapRgnPolygon", {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), In(kPolygon), Val(5), Enum(1, 0, 1), Mode()},
            Fwd(Z_SetBitmapRgnPolygon)));
    Add(Row("Z_SetBitmapRgnCurve", {Bmp(), OptIn(kIdentity), In(Curve(1)), Mode()}, Fwd(Z_SetBitmapRgnCurve)));
    Add(Row("Z_SetBitmapRgnColor", {Bmp(8), Val(RGB(0x40, 0x40, 0x40)), Mode()}, Fwd(Z_SetBitmapRgnColor)));
    Add(Row("Z_SetBitmapRgnColorRGBRange", {Bmp(), Val(RGB(20, 20, 20)), Val(RGB(200, 220, 240)), Mode()},
            Fwd(Z_SetBitmapRgnColorRGBRange)));
    Add(Row("Z_SetBitmapRgnColorHSVRange", {Bmp(), Val(0x202010), Val(0xF0F0C0), Mode()},
            Fwd(Z_SetBitmapRgnColorHSVRange)));
    Add(Row("Z_SetBitmapRgnMagicWand", {Bmp(8), Val(5), Val(7), Val(60), Mode()}, Fwd(Z_SetBitmapRgnMagicWand)));
    Add(Row("Z_SetBitmapRgnMagicWandExt", {Bmp(), Val(5), Val(7), Val(0x300000), Val(0x500000), Mode()},
            Fwd(Z_SetBitmapRgnMagicWandExt)));
    Add(Row("Z_SetBitmapRgnBorder", {Bmp(), Val(5), Val(7), Val(RGB(1, 2, 3)), Val(0x300000), Val(0x500000), Mode()},
            Fwd(Z_SetBitmapRgnBorder)));

    // GDI regions, stored data, masks, the clip switch.
    Add(Row("Z_IntGetBitmapRgnHandle", {RgnBmp(), OptIn(kIdentity), OutHandle(), Out(sizeof(int))},
            Fwd(Z_IntGetBitmapRgnHandle))
            .Cleanup([](Call &c, intptr_t r) { ReleaseGdiRegion(c, r, 2, 3); }));
    Add(Row("Z_GetBitmapRgnHandle", {Bmp(24, 0, kAny), OptIn(kIdentity), OutHandle()}, Fwd(Z_GetBitmapRgnHandle))
            .OnFail(0)
            .Cleanup([](Call &c, intptr_t r) { ReleaseGdiRegion(c, r, 2, -1); }));
    Add(Row("Z_GetResizedRgnHandle",
            {RgnBmp(RC_INVALID_PARAMETER), OptIn(kRect), In(Rect(5, 4, 50, 30)), OutHandle(), Out(sizeof(int))},
            Fwd(Z_GetResizedRgnHandle))
            .Cleanup([](Call &c, intptr_t r) { ReleaseGdiRegion(c, r, 3, 4); }));
    Add(Row("Z_SetBitmapRgnHandle", {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), Mode()},
            [](Call &c) -> intptr_t {
                const HRGN h = CreateEllipticRgn(1, 2, 21, 14);
                const int r = Z_SetBitmapRgnHandle(c.bmp(0), c.p<RgnTransform>(1), h, c.u(2));
                DeleteObject(h);
                return r;
            }));
    // The byte count of a successful call shows as RC_SUCCESS; a region
    // that cannot be had gives 0.
    Add(Row("Z_GetBitmapRgnData", {Bmp(24, 0, kAny), OptIn(kIdentity), Val(1024), OptOut(1024)},
            [](Call &c) -> intptr_t {
                const int r = Z_GetBitmapRgnData(c.bmp(0), c.p<RgnTransform>(1), c.i(2), c.ptr[3]);
                return r > 0 ? RC_SUCCESS : r;
            })
            .OnFail(0)
            .Cleanup([](Call &c, intptr_t) { DropCaches(c.bmp(0)); }));
    Add(Row("Z_SetBitmapRgnData",
            {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), Val(sizeof kRgnData), In(kRgnData, RC_NO_MEMORY), Mode()},
            Fwd(Z_SetBitmapRgnData)));
    Add(Row("Z_SetBitmapRgnClip", {RgnBmp(RC_INVALID_PARAMETER), Val(0)}, Fwd(Z_SetBitmapRgnClip)).NoAlloc());
    Add(Row("Z_GetBitmapRgnClip", {RgnBmp(RC_INVALID_PARAMETER), Out(sizeof(int))}, Fwd(Z_GetBitmapRgnClip)).NoAlloc());
    Add(Row("Z_CreateMaskFromBitmapRgn", {RgnBmp(RC_INVALID_PARAMETER), Out(sizeof(BitmapHandle))},
            Fwd(Z_CreateMaskFromBitmapRgn))
            .Cleanup([](Call &c, intptr_t r) {
                if (r == RC_SUCCESS)
                    K_FreeBitmap(c.p<BitmapHandle>(1));
            }));
    Add(Row("Z_SetBitmapRgnFromMask",
            {RgnBmp(RC_INVALID_PARAMETER), OptIn(kIdentity), Bmp(8, RC_INVALID_PARAMETER, RC_INVALID_PARAMETER), Mode()},
            Fwd(Z_SetBitmapRgnFromMask)));

    // Painting and showing the region.
    const RECT src = Rect(2, 1, 20, 14), dst = Rect(0, 0, 40, 30);
    Add(Row("Z_PaintRgnDC", {Dc(), Bmp(24, RC_NO_BITMAP, kAny), OptIn(src), OptNull(), In(dst), OptNull(), Val(SRCCOPY)},
            Fwd(Z_PaintRgnDC))
            .Cleanup(ReleaseCaches));
    Add(Row("Z_PaintRgnDCBuffer",
            {Dc(), Bmp(24, RC_NO_BITMAP, kAny), OptIn(src), OptNull(), In(dst), OptNull(), Val(SRCCOPY),
             In(SomeRows(), RC_NO_BITMAP), Val(2), Val(8)}, Fwd(Z_PaintRgnDCBuffer)).Cleanup(ReleaseCaches));
    Add(Row("Z_FrameBitmapRgn", {Dc(kAny), Bmp(24, RC_SUCCESS, RC_SUCCESS), OptIn(kIdentity), Val(3)},
            Fwd(Z_FrameBitmapRgn))
            .OnFail(RC_SUCCESS)
            .Cleanup(ReleaseCaches));
    Add(Row("Z_ColorBitmapRgn", {Dc(kAny), Bmp(24, RC_NO_BITMAP, kAny), OptIn(kIdentity), Val(RGB(90, 160, 30))},
            [](Call &c) -> intptr_t { return Z_ColorBitmapRgn(c.dc(0), c.bmp(1), c.p<RgnTransform>(2), c.val[3]); })
            .OnFail(RC_SUCCESS)
            .Cleanup(ReleaseCaches));
    Add(Row("Z_UnderlayBitmap", {Bmp(), Bmp(8), Enum(1, 0, 1)}, Fwd(Z_UnderlayBitmap)));
}

}  // namespace zvsweep
