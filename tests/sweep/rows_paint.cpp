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
    Add(Row("Z_SetDisplayMode", {Val(0), Val(0)}, Fwd(Z_SetDisplayMode)).Returns(Result::Value).NoAlloc());
    Add(Row("Z_GetDisplayMode", {}, [](Call &) -> intptr_t { return Z_GetDisplayMode(); })
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_SetPaintIntensity", {Bmp(), Enum(250, -1000, 1000)}, Fwd(Z_SetPaintIntensity)));
    Add(Row("Z_SetPaintContrast", {Bmp(), Enum(-300, -1000, 1000)}, Fwd(Z_SetPaintContrast)));
    Add(Row("Z_SetPaintGamma", {Bmp(), Val(180)}, Fwd(Z_SetPaintGamma)));
    Add(Row("Z_GetPaintIntensity", {Bmp(24, RC_INVALID_PARAMETER, kAny)}, Fwd(Z_GetPaintIntensity))
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_GetPaintContrast", {Bmp(24, RC_INVALID_PARAMETER, kAny)}, Fwd(Z_GetPaintContrast))
            .Returns(Result::Value).NoAlloc());
    Add(Row("Z_GetPaintGamma", {Bmp(24, RC_INVALID_PARAMETER, kAny)}, Fwd(Z_GetPaintGamma))
            .Returns(Result::Value).NoAlloc());

    Table256 ramp;
    for (int i = 0; i < 256; ++i)
        ramp.entries[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(255 - i), 0};
    // A failed table copy keeps the range already set (documented).
    Add(Row("Z_WindowLevel", {Bmp(16, RC_NO_BITMAP, kAny), Val(4), Val(11), In(ramp), Val(256), Enum(1, 0, 1)},
            Fwd(Z_WindowLevel))
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
    Add(Row("Z_CreatePaintPalette", {Dc(0), Bmp(8, 0, 0)}, Fwd(Z_CreatePaintPalette))
            .Returns(Result::Value).OnFail(kAny).Cleanup([](Call &, intptr_t r) {
                if (r)
                    DeleteObject(reinterpret_cast<HPALETTE>(r));
            }));

    Add(Row("Z_PaintDC", {Dc(), Bmp(), OptIn(kSrc), OptIn(kClip), In(kDst), OptIn(kClip), Val(SRCCOPY)},
            Fwd(Z_PaintDC)));
    const Rows16 rows = SomeRows();
    Add(Row("Z_PaintDCBuffer",
            {Dc(), Bmp(24, RC_NO_BITMAP, kAny), OptIn(kSrc), OptNull(), In(kDst), OptNull(), Val(SRCCOPY),
             In(rows, RC_NO_BITMAP), Val(2), Val(8)}, Fwd(Z_PaintDCBuffer)));

    Add(Row("Z_RGBtoHSV", {Val(RGB(200, 40, 90))}, Fwd(Z_RGBtoHSV)).Returns(Result::Value).NoAlloc());
    Add(Row("Z_HSVtoRGB", {Val(0x80C020)}, Fwd(Z_HSVtoRGB)).Returns(Result::Value).NoAlloc());
    Pixels8 pixels;
    for (size_t i = 0; i < sizeof pixels.bytes; ++i)
        pixels.bytes[i] = static_cast<uint8_t>(i * 29);
    Add(Row("Z_ConvertColorSpace", {In(pixels), Out(8 * 8), Val(8), Enum(CS_RGB, 0, 6), Enum(CS_HLS, 0, 6)},
            Fwd(Z_ConvertColorSpace)));
}

}  // namespace zvsweep
