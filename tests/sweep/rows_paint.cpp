// Sweep rows: frame, painting, paint settings, window level, colour utilities.
#include "sweep/sweep.h"

namespace zvsweep {
namespace {

const RECT kSrc = Rect(2, 1, 20, 14), kDst = Rect(0, 0, 40, 30), kClip = Rect(4, 4, 30, 24);
struct Table256 {
    RGBQUAD entries[256];
};
struct Pixels8 {
    uint8_t bytes[3 * 8];
};

}  // namespace

ZV_SWEEP_ROWS(Paint) {
    Add(Row("Z_SetDisplayMode", {Val(0), Val(0)},
            [](Call &c) -> intptr_t { return Z_SetDisplayMode(c.u(0), c.u(1)); })
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_GetDisplayMode", {}, [](Call &) -> intptr_t { return Z_GetDisplayMode(); })
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_SetPaintIntensity", {Bmp(), Enum(250, -1000, 1000)},
            [](Call &c) -> intptr_t { return Z_SetPaintIntensity(c.bmp(0), c.i(1)); }));
    Add(Row("Z_SetPaintContrast", {Bmp(), Enum(-300, -1000, 1000)},
            [](Call &c) -> intptr_t { return Z_SetPaintContrast(c.bmp(0), c.i(1)); }));
    Add(Row("Z_SetPaintGamma", {Bmp(), Val(180)},
            [](Call &c) -> intptr_t { return Z_SetPaintGamma(c.bmp(0), c.u(1)); }));
    Add(Row("Z_GetPaintIntensity", {Bmp(24, RC_INVALID_PARAMETER, kAny)},
            [](Call &c) -> intptr_t { return Z_GetPaintIntensity(c.bmp(0)); })
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_GetPaintContrast", {Bmp(24, RC_INVALID_PARAMETER, kAny)},
            [](Call &c) -> intptr_t { return Z_GetPaintContrast(c.bmp(0)); })
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_GetPaintGamma", {Bmp(24, RC_INVALID_PARAMETER, kAny)},
            [](Call &c) -> intptr_t { return Z_GetPaintGamma(c.bmp(0)); })
            .Returns(Result::Value).NoAlloc());

    Table256 ramp;
    for (int i = 0; i < 256; ++i)
        ramp.entries[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(255 - i), 0};
    // A failed table copy keeps the range already set (documented).
    Add(Row("Z_WindowLevel", {Bmp(16, RC_NO_BITMAP, kAny), Val(4), Val(11), In(ramp), Val(256), Enum(1, 0, 1)},
            [](Call &c) -> intptr_t {
                return Z_WindowLevel(c.bmp(0), c.i(1), c.i(2), c.p<RGBQUAD>(3), c.u(4), c.i(5));
            })
            .ChangesOnFail());
    Add(Row("Z_WindowLevelFillLUT", {Out(sizeof(Table256))},
            [](Call &c) -> intptr_t {
                return Z_WindowLevelFillLUT(c.p<RGBQUAD>(0), 256, RGB(0, 0, 0), RGB(255, 255, 255), 40, 200, 0, 7, 0,
                                            255, 1);
            })
            .NoAlloc());
    Add(Row("Z_WindowLevelFillLUT2", {Out(sizeof(Table256))},
            [](Call &c) -> intptr_t {
                return Z_WindowLevelFillLUT2(c.p<RGBQUAD>(0), 256, RGB(10, 0, 0), RGB(0, 0, 250), 40, 200, 0, 7, 0,
                                             255, 0, 0);
            })
            .NoAlloc());
    // Null on a true-colour device; a palette otherwise (deleted by the caller).
    Add(Row("Z_CreatePaintPalette", {Dc(0), Bmp(8, 0, 0)},
            [](Call &c) -> intptr_t { return reinterpret_cast<intptr_t>(Z_CreatePaintPalette(c.dc(0), c.bmp(1))); })
            .Returns(Result::Value).OnFail(kAny).Cleanup([](Call &, intptr_t r) {
                if (r)
                    DeleteObject(reinterpret_cast<HPALETTE>(r));
            }));

    Add(Row("Z_PaintDC", {Dc(), Bmp(), OptIn(kSrc), OptIn(kClip), In(kDst), OptIn(kClip), Val(SRCCOPY)},
            [](Call &c) -> intptr_t {
                return Z_PaintDC(c.dc(0), c.bmp(1), c.p<RECT>(2), c.p<RECT>(3), c.p<RECT>(4), c.p<RECT>(5),
                                 static_cast<DWORD>(c.val[6]));
            }));
    const Rows16 rows = SomeRows();
    Add(Row("Z_PaintDCBuffer",
            {Dc(), Bmp(24, RC_NO_BITMAP, kAny), OptIn(kSrc), OptNull(), In(kDst), OptNull(), Val(SRCCOPY),
             In(rows, RC_NO_BITMAP), Val(2), Val(8)},
            [](Call &c) -> intptr_t {
                return Z_PaintDCBuffer(c.dc(0), c.bmp(1), c.p<RECT>(2), c.p<RECT>(3), c.p<RECT>(4), c.p<RECT>(5),
                                       static_cast<DWORD>(c.val[6]), c.p<BYTE>(7), c.i(8), c.i(9));
            }));

    Add(Row("Z_RGBtoHSV", {Val(RGB(200, 40, 90))},
            [](Call &c) -> intptr_t { return Z_RGBtoHSV(static_cast<COLORREF>(c.val[0])); })
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_HSVtoRGB", {Val(0x80C020)},
            [](Call &c) -> intptr_t { return Z_HSVtoRGB(static_cast<HsvColor>(c.val[0])); })
            .Returns(Result::Value).NoAlloc());
    Pixels8 pixels;
    for (size_t i = 0; i < sizeof pixels.bytes; ++i)
        pixels.bytes[i] = static_cast<uint8_t>(i * 29);
    Add(Row("Z_ConvertColorSpace", {In(pixels), Out(8 * 8), Val(8), Enum(CS_RGB, 0, 6), Enum(CS_HLS, 0, 6)},
            [](Call &c) -> intptr_t {
                return Z_ConvertColorSpace(c.ptr[0], c.ptr[1], c.i(2), c.i(3), c.i(4));
            }));
}

}  // namespace zvsweep
