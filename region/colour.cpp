// Colour regions: the pixels of one exact colour, or inside an RGB or an
// HSV box, scanned over the whole bitmap row by row.
//
// Palette bitmaps are decided once per palette entry and scanned by index
// (a 1-bit row is its own pass row, at most inverted); deeper bitmaps have
// each row converted to 24-bit blue, green, red by the kernel and tested
// pixel by pixel.  A scan whose colour cannot occur reads no pixels.
#include "region/colour.h"

#include "color/hsv.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace zv::pick {

namespace {

// A 1-bit row as pass bits: pixel value v passes when Pass[v] is set, so
// the row is kept, inverted, emptied or filled, 32 pixels at a time.
void ClassifyOneBit(const Criteria &c, const BYTE *src, int n, uint32_t *out) {
    const uint32_t flip = c.Pass[0] ? ~0u : 0u, keep = c.Pass[0] != c.Pass[1] ? ~0u : 0u;
    for (int w = 0; w < BitWords(n); ++w) {
        uint32_t v;
        std::memcpy(&v, src + 4 * w, 4);
        out[w] = (v & keep) ^ flip;
    }
}

constexpr ClassifyFn kIndexClassifiers[9] = {
    nullptr,
    ClassifyOneBit,
    Classify<IndexReader<2>, TableTest>,
    Classify<IndexReader<3>, TableTest>,
    Classify<IndexReader<4>, TableTest>,
    Classify<IndexReader<5>, TableTest>,
    Classify<IndexReader<6>, TableTest>,
    Classify<IndexReader<7>, TableTest>,
    Classify<IndexReader<8>, TableTest>,
};

}  // namespace

ClassifyFn IndexClassifier(int bits) { return bits >= 1 && bits <= 8 ? kIndexClassifiers[bits] : nullptr; }

// Each word is searched for the next change of state: while outside a run
// for the next set bit, inside one for the next clear bit.  clz finds it;
// inverting the word turns one search into the other.
void AddBitRuns(RgnBuilder &b, const uint32_t *bits, int n) {
    bool inside = false;
    int start = 0;
    for (int w = 0, base = 0; base < n; ++w, base += 32) {
        uint32_t v = __builtin_bswap32(bits[w]);
        if (n - base < 32)
            v &= ~0u << (32 - (n - base));
        uint32_t search = inside ? ~v : v;
        int j = 0;
        while (j < 32) {
            const uint32_t rest = search << j;
            if (!rest)
                break;
            j += __builtin_clz(rest);
            if (inside)
                RgnBuilderAddSpan(b, start, base + j);
            else
                start = base + j;
            inside = !inside;
            search = ~search;
        }
    }
    if (inside)
        RgnBuilderAddSpan(b, start, n);
}

int PaletteOf(const BitmapHandle *pBitmap, RGBQUAD *pColors) {
    const int count = std::min(std::max(pBitmap->ColorCount, 0), 1 << pBitmap->BitsPerPixel);
    return std::max(0, K_GetBitmapColors(pBitmap, 0, pBitmap->Palette ? count : 256, pColors));
}

namespace {

// The region of the pixels that pass the scan, in bitmap coordinates.
int RunScan(BitmapHandle *pBitmap, const Scan &s, ZoraRgn **ppOut) {
    const int width = std::max(pBitmap->Width, 0), height = std::max(pBitmap->Height, 0);
    const size_t line = static_cast<size_t>(std::max(pBitmap->BytesPerLine, 0));
    const size_t rowBytes = s.Deep ? std::max(line, 3 * static_cast<size_t>(width)) : line;
    // The classifiers read whole words of pixels: room for one more word.
    const size_t rowRoom = (rowBytes + 3 * 32 + 8) & ~size_t(7);
    const TempBlock<BYTE> buffer = TempAlloc(rowRoom + 4 * static_cast<size_t>(BitWords(width)));
    if (!buffer)
        return RC_NO_MEMORY;
    BYTE *row = buffer.get();
    auto *bits = reinterpret_cast<uint32_t *>(row + rowRoom);
    RgnBuilder b;
    int rc = RgnBuilderBegin(b, RECT{0, 0, width, height});
    if (rc != RC_SUCCESS)
        return rc;
    if (!s.Nothing) {
        const RowAccess access(pBitmap);
        if (access.status() < 0) {
            RgnBuilderAbandon(b);
            return access.status();
        }
        const bool convert = s.Deep && !(pBitmap->BitsPerPixel == 24 && pBitmap->Order == ORDER_BGR);
        for (int y = 0; y < height; ++y) {
            rc = K_GetBitmapRow(pBitmap, row, y, 0, static_cast<int>(line));
            if (rc >= 0 && convert)
                rc = K_ConvertToBGR(pBitmap, row, row, width);
            if (rc < 0) {
                RgnBuilderAbandon(b);
                return rc;
            }
            s.Classify(s.C, row, width, bits);
            AddBitRuns(b, bits, width);
            if ((rc = RgnBuilderEndRow(b)) != RC_SUCCESS)
                return rc;
        }
    }
    RgnBuilderFinish(b);
    *ppOut = b.Region;
    return RC_SUCCESS;
}

}  // namespace

int ScanAndCombine(BitmapHandle *pBitmap, const Scan &s, UINT uCombineMode) {
    ZoraRgn *rgn = nullptr;
    const int rc = RunScan(pBitmap, s, &rgn);
    if (rc != RC_SUCCESS)
        return rc;
    return RgnCombine(pBitmap, nullptr, OwnedRgn(rgn), uCombineMode);
}

// Palette entries are decided by the test once; deeper rows are tested
// after their conversion to blue, green, red.
template <class Test>
int BoxScan(BitmapHandle *pBitmap, const Criteria &c, UINT uCombineMode) {
    Scan s{};
    s.C = c;
    s.Nothing = c.Empty;
    if (s.Nothing) {
        // an empty range: no row is read
    } else if (pBitmap->BitsPerPixel <= 8) {
        RGBQUAD colors[256];
        const int n = PaletteOf(pBitmap, colors);
        std::fill(std::begin(s.C.Pass), std::end(s.C.Pass), false);
        bool any = false;
        for (int i = 0; i < n; ++i)
            any |= s.C.Pass[i] = Test::Pass(c, conv::FromQuad(colors[i]));
        s.Nothing = !any;
        s.Classify = IndexClassifier(pBitmap->BitsPerPixel);
    } else {
        s.Deep = true;
        s.Classify = Classify<BgrReader, Test>;
    }
    return ScanAndCombine(pBitmap, s, uCombineMode);
}

// Checks shared by every function that examines a bitmap's pixels.
int CheckPixelBitmap(const BitmapHandle *pBitmap) {
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED))
        return RC_NO_BITMAP;
    return IsValidDepth(pBitmap->BitsPerPixel) ? RC_SUCCESS : RC_INVALID_FORMAT;
}

Criteria RangeOf(COLORREF lower, COLORREF upper) {
    Criteria c{};
    for (int i = 0; i < 3; ++i) {
        c.Lo[i] = static_cast<int>((lower >> (8 * i)) & 0xFF);
        c.Hi[i] = static_cast<int>((upper >> (8 * i)) & 0xFF);
        c.Empty |= c.Lo[i] > c.Hi[i];
    }
    return c;
}

// The HSV box from two HsvColor values: hue bits 0-7, saturation 8-15,
// value 16-23.  Only saturation and value can be empty; a lower hue above
// the upper wraps round the circle.
Criteria HsvRangeOf(HsvColor lower, HsvColor upper) {
    Criteria c{};
    for (int i = 0; i < 3; ++i) {
        c.HsvLo[i] = static_cast<int>((lower >> (8 * i)) & 0xFF);
        c.HsvHi[i] = static_cast<int>((upper >> (8 * i)) & 0xFF);
    }
    c.HueWraps = c.HsvLo[0] > c.HsvHi[0];
    c.Empty = c.HsvLo[1] > c.HsvHi[1] || c.HsvLo[2] > c.HsvHi[2];
    return c;
}

// Value and saturation are tested before the hue, without divisions:
// value is the largest channel, and floor(d x 255 / max) >= s exactly when
// d x 255 >= s x max.  Only a pixel inside both computes its hue.
bool InHsvBox(const Criteria &c, int r, int g, int b) {
    const int mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    if (static_cast<unsigned>(mx - c.HsvLo[2]) > static_cast<unsigned>(c.HsvHi[2] - c.HsvLo[2]))
        return false;
    int hue = 0;
    if (mx == mn) {  // gray: saturation 0, hue 0
        if (c.HsvLo[1] > 0)
            return false;
    } else {
        const int d = (mx - mn) * 255;
        if (d < c.HsvLo[1] * mx || d >= (c.HsvHi[1] + 1) * mx)
            return false;
        hue = static_cast<int>(RgbToHsv8(r, g, b) & 0xFF);
    }
    return c.HueWraps ? hue >= c.HsvLo[0] || hue <= c.HsvHi[0] : hue >= c.HsvLo[0] && hue <= c.HsvHi[0];
}

// The exact colour on a palette bitmap: one index, given or looked up.
int ExactIndexScan(BitmapHandle *pBitmap, COLORREF crColor, UINT uCombineMode) {
    RGBQUAD colors[256];
    const int n = PaletteOf(pBitmap, colors);
    int index = -1;
    if ((crColor >> 24) == 0x01) {
        index = static_cast<int>(crColor & ((1u << pBitmap->BitsPerPixel) - 1));
    } else {
        const Rgb want{static_cast<int>(crColor & 0xFF), static_cast<int>((crColor >> 8) & 0xFF),
                       static_cast<int>((crColor >> 16) & 0xFF)};
        for (int i = 0; i < n && index < 0; ++i)
            if (colors[i].rgbRed == want.r && colors[i].rgbGreen == want.g && colors[i].rgbBlue == want.b)
                index = i;
    }
    Scan s{};
    s.Nothing = index < 0 || index >= n;
    if (!s.Nothing)
        s.C.Pass[index] = true;
    s.Classify = IndexClassifier(pBitmap->BitsPerPixel);
    return ScanAndCombine(pBitmap, s, uCombineMode);
}

}  // namespace zv::pick

using namespace zv;
using namespace zv::pick;

namespace zv {

int __stdcall RgnExactColorService(BitmapHandle *pBitmap, COLORREF crColor, UINT uCombineMode) {
    return Z_SetBitmapRgnColor(pBitmap, crColor, uCombineMode);
}

}  // namespace zv

extern "C" {

int __stdcall Z_SetBitmapRgnColor(BitmapHandle *pBitmap, COLORREF crColor, UINT uCombineMode) {
    const int rc = CheckPixelBitmap(pBitmap);
    if (rc != RC_SUCCESS)
        return rc;
    if (pBitmap->BitsPerPixel <= 8)
        return ExactIndexScan(pBitmap, crColor, uCombineMode);
    return BoxScan<RangeTest>(pBitmap, RangeOf(crColor, crColor), uCombineMode);
}

int __stdcall Z_SetBitmapRgnColorRGBRange(BitmapHandle *pBitmap, COLORREF crLower, COLORREF crUpper,
                                          UINT uCombineMode) {
    const int rc = CheckPixelBitmap(pBitmap);
    if (rc != RC_SUCCESS)
        return rc;
    return BoxScan<RangeTest>(pBitmap, RangeOf(crLower, crUpper), uCombineMode);
}

int __stdcall Z_SetBitmapRgnColorHSVRange(BitmapHandle *pBitmap, HsvColor hsvLower, HsvColor hsvUpper,
                                          UINT uCombineMode) {
    const int rc = CheckPixelBitmap(pBitmap);
    if (rc != RC_SUCCESS)
        return rc;
    return BoxScan<HsvTest>(pBitmap, HsvRangeOf(hsvLower, hsvUpper), uCombineMode);
}

}  // extern "C"
