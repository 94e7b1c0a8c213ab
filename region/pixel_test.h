// Pixel tests of the colour regions and the flood fills, and the runs of
// a row of test results.
//
// A row is classified into pass bits laid out as a 1-bit bitmap row: bytes
// most significant bit first, so that a 32-bit word loaded and byte-swapped
// holds pixel j of the word in bit 31 - j.  The selected mask of a flood
// fill and any 1-bit bitmap have that layout too, so one run finder serves
// them all.
//
// A classifier is a reader (the pixel's index or its red, green, blue)
// and a test, instantiated once per pair; the scans and the fills pick one
// function pointer per call, so the pixel loop holds no format test.
#pragma once

#include "paint/convert_readers.h"
#include "region/region.h"

#include <cstdint>

namespace zv::pick {

using conv::Rgb;

// Everything a test needs, filled once per call.
struct Criteria {
    int Lo[3], Hi[3];        // red, green, blue: inclusive ranges
    bool Empty;              // some range is empty: nothing passes
    int Border[3];           // the border colour's channels (border fill)
    int HsvLo[3], HsvHi[3];  // hue, saturation, value bytes of the HSV box
    bool HueWraps;           // lower hue above the upper: the range crosses 255 -> 0
    bool Pass[256];          // palette depths: the decision per index
    // Gray fills: the significant bits and the window-level table.
    int Shift;
    uint32_t Mask;
    const RGBQUAD *Lut;
    uint32_t LutLast;
};

// The test of one pixel's colour against channel ranges; the unsigned
// compare folds lower and upper bound into one (ranges are not Empty).
inline bool InRanges(const Criteria &c, const Rgb &p) {
    return (static_cast<unsigned>(p.r - c.Lo[0]) <= static_cast<unsigned>(c.Hi[0] - c.Lo[0])) &
           (static_cast<unsigned>(p.g - c.Lo[1]) <= static_cast<unsigned>(c.Hi[1] - c.Lo[1])) &
           (static_cast<unsigned>(p.b - c.Lo[2]) <= static_cast<unsigned>(c.Hi[2] - c.Lo[2]));
}

// ---- tests ----------------------------------------------------------------

struct RangeTest {
    static bool Pass(const Criteria &c, const Rgb &p) { return InRanges(c, p); }
};

struct BorderTest {
    static bool Pass(const Criteria &c, const Rgb &p) {
        return InRanges(c, p) & (p.r != c.Border[0]) & (p.g != c.Border[1]) & (p.b != c.Border[2]);
    }
};

// Defined in colour.cpp beside the HSV conversion it uses.
bool InHsvBox(const Criteria &c, int r, int g, int b);

struct HsvTest {
    static bool Pass(const Criteria &c, const Rgb &p) { return InHsvBox(c, p.r, p.g, p.b); }
};

// ---- readers --------------------------------------------------------------
// Read(src, x, criteria) gives what the test takes: an index for the
// palette depths (tested through Criteria::Pass), a colour otherwise.

template <int Bits>
struct IndexReader {
    static unsigned Read(const BYTE *src, int x, const Criteria &) { return conv::IndexAt<Bits>(src, x); }
};

struct TableTest {
    static bool Pass(const Criteria &c, unsigned index) { return c.Pass[index]; }
};

// 24-bit blue, green, red: the rows the kernel converts deeper data to.
struct BgrReader {
    static Rgb Read(const BYTE *src, int x, const Criteria &) {
        const BYTE *p = src + static_cast<ptrdiff_t>(x) * 3;
        return Rgb{p[2], p[1], p[0]};
    }
};

// A flood fill's gray pixel: the significant value through the
// window-level table, or scaled to 0..65535 with red its low byte and
// green its high byte (the kernel's pixel value of the seed is the same).
template <int Bits, bool Table>
struct FillGrayReader {
    static Rgb Read(const BYTE *src, int x, const Criteria &c) {
        const uint32_t v = (conv::RawGray<Bits>(src, x) >> c.Shift) & c.Mask;
        if constexpr (Table) {
            return conv::FromQuad(c.Lut[v < c.LutLast ? v : c.LutLast]);
        } else {
            const uint32_t w = c.Mask < 65535 ? v * 65535 / c.Mask : v;
            return Rgb{static_cast<int>(w & 0xFF), static_cast<int>(w >> 8), 0};
        }
    }
};

// The colour readers of the painters, which need no row context.
inline const conv::RowContext kNoRowContext{};

template <class R>
struct ColourReader {
    static Rgb Read(const BYTE *src, int x, const Criteria &) { return R::Read(src, x, kNoRowContext); }
};

// ---- classification ---------------------------------------------------------

// Pass bits of pixels 0 .. n - 1 of src into out (whole 32-bit words;
// bits after pixel n - 1 are 0).
using ClassifyFn = void (*)(const Criteria &c, const BYTE *src, int n, uint32_t *out);

template <class Reader, class Test>
void Classify(const Criteria &c, const BYTE *src, int n, uint32_t *out) {
    int x = 0;
    for (; x + 32 <= n; x += 32) {
        uint32_t m = 0;
        for (int j = 0; j < 32; ++j)
            m |= static_cast<uint32_t>(Test::Pass(c, Reader::Read(src, x + j, c))) << (31 - j);
        *out++ = __builtin_bswap32(m);
    }
    if (x < n) {
        uint32_t m = 0;
        for (int j = 0; x + j < n; ++j)
            m |= static_cast<uint32_t>(Test::Pass(c, Reader::Read(src, x + j, c))) << (31 - j);
        *out = __builtin_bswap32(m);
    }
}

// The classifier of the palette depths (indices through Criteria::Pass).
ClassifyFn IndexClassifier(int bits);

// Words of a bit row of n pixels.
inline int BitWords(int n) { return (n + 31) >> 5; }

// Adds the runs of set bits of a bit row of n pixels to the builder; bits
// after pixel n - 1 are ignored.
void AddBitRuns(RgnBuilder &b, const uint32_t *bits, int n);

}  // namespace zv::pick
