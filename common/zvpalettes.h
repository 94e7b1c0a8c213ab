// The fixed display palettes and the ordered-dither threshold matrices.
//
// Constant data that the kernel (palette for a device class, dithered
// resizing) and the display library (row converters, paint palette) both
// use.  Entries are RGBQUAD (blue, green, red, 0).  The 6x6x6 cube and the
// 3-3-2 table are generated at compile time from their defining formulas.
#pragma once

#include <windows.h>
#include <array>
#include <cstdint>

namespace zv {

using Palette2 = std::array<RGBQUAD, 2>;
using Palette16 = std::array<RGBQUAD, 16>;
using Palette256 = std::array<RGBQUAD, 256>;

constexpr RGBQUAD Rgb(int r, int g, int b) {
    return RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

inline constexpr Palette2 MonoPalette = {Rgb(0, 0, 0), Rgb(255, 255, 255)};

inline constexpr Palette16 Vga16Palette = {
    Rgb(0, 0, 0),       Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
    Rgb(0, 0, 128),     Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(128, 128, 128),
    Rgb(192, 192, 192), Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(255, 255, 0),
    Rgb(0, 0, 255),     Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255),
};

// 6x6x6 colour cube, blue varying fastest; entries 216..255 stay black.
constexpr Palette256 MakeCubePalette() {
    Palette256 p{};
    for (int i = 0; i < 216; ++i)
        p[i] = Rgb(i / 36 * 51, i / 6 % 6 * 51, i % 6 * 51);
    return p;
}

// 3 bits red, 3 bits green, 2 bits blue; red and green levels rounded
// from 255 / 7, so 0, 36, 73, 109, 146, 182, 219, 255.
constexpr Palette256 MakeRgb332Palette() {
    Palette256 p{};
    for (int i = 0; i < 256; ++i)
        p[i] = Rgb(((i >> 5) * 255 + 3) / 7, (((i >> 2) & 7) * 255 + 3) / 7, (i & 3) * 85);
    return p;
}

inline constexpr Palette256 CubePalette = MakeCubePalette();
inline constexpr Palette256 Rgb332Palette = MakeRgb332Palette();

// Ordered-dither thresholds, indexed by (row & 7) * 8 + (column & 7).
inline constexpr std::array<uint8_t, 64> ClusteredDitherMatrix = {
    112, 40,  72,  104, 144, 176, 208, 136,
    88,  8,   16,  48,  192, 232, 240, 168,
    56,  24,  0,   80,  160, 224, 248, 200,
    96,  64,  32,  120, 128, 216, 184, 152,
    148, 180, 212, 140, 116, 44,  76,  108,
    196, 236, 244, 172, 92,  12,  20,  52,
    164, 228, 252, 204, 60,  28,  4,   84,
    132, 220, 188, 156, 100, 68,  36,  124,
};

// Close to four times the 8x8 Bayer matrix, but not equal to it (232
// occurs twice, 252 never): these are the values the display uses.
inline constexpr std::array<uint8_t, 64> DispersedDitherMatrix = {
    0,   128, 32,  160, 8,   136, 40,  168,
    192, 64,  224, 96,  200, 72,  232, 104,
    48,  176, 16,  144, 56,  184, 24,  152,
    236, 112, 208, 80,  244, 120, 216, 88,
    12,  140, 44,  172, 4,   132, 36,  164,
    204, 76,  232, 108, 196, 68,  228, 100,
    60,  188, 28,  156, 52,  180, 20,  148,
    248, 124, 220, 92,  240, 116, 212, 84,
};

}  // namespace zv
