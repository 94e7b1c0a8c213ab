// Flood-fill regions: the magic wand (one tolerance or a lower and an
// upper one) and the border fill, grown from a seed pixel over
// 4-connected neighbours.
//
// What is selected.  The seed is pushed untested; a popped point examines
// its four neighbours and selects (and pushes) those whose colour passes.
// So the selection is the union of the 4-connected areas of passing pixels
// that touch the seed, and the seed belongs to it only when it passes
// itself and one of its neighbours does.  Any order of examination gives
// that set, which lets the fill work a span at a time:
//
//   pop (x, y)                    skipped when already selected
//   extend left and right         over passing, unselected pixels: [l, r)
//   select [l, r)
//   rows y - 1 and y + 1          push the first pixel of every run of
//                                 passing, unselected pixels in [l, r)
//
// The work state is one bit per pixel twice, in two 1-bit bitmaps of the
// source's size made by the kernel: the visited mask, which holds for
// every row the fill has reached the pass bit of each pixel (a row is
// read through the kernel and tested whole the first time the fill
// reaches it; a byte per row records that), and the selected mask.  The
// points wait on an explicit stack in movable global memory, 30000 points
// at first and 30000 more whenever it fills up; nothing recurses.  The
// selected mask ends as an exact-colour scan of its set bits, as any
// 1-bit bitmap would.
#include "region/colour.h"

#include <algorithm>
#include <cstring>

namespace zv::pick {

namespace {

// ---- bit rows ---------------------------------------------------------------
// Mask rows are 1-bit bitmap rows: bytes most significant bit first, so a
// 32-bit word read and byte-swapped has pixel 32 w + j in bit 31 - j.

inline uint32_t Word(const uint32_t *row, int w) { return __builtin_bswap32(row[w]); }

// Passing and not yet selected, pixels 32 w .. 32 w + 31.
inline uint32_t Free(const uint32_t *pass, const uint32_t *sel, int w) { return Word(pass, w) & ~Word(sel, w); }

inline bool IsFree(const uint32_t *pass, const uint32_t *sel, int x) {
    return (Free(pass, sel, x >> 5) << (x & 31)) >> 31;
}

// End (exclusive) of the run of free pixels from x; pixels beyond the row
// never pass.
int RunEnd(const uint32_t *pass, const uint32_t *sel, int x, int n) {
    int w = x >> 5;
    uint32_t stop = ~Free(pass, sel, w) << (x & 31);
    while (!stop) {
        if (++w << 5 >= n)
            return n;
        stop = ~Free(pass, sel, w);
    }
    return std::min(n, (w << 5) + (x >> 5 == w ? (x & 31) : 0) + __builtin_clz(stop));
}

// Start of the run of free pixels that holds x.
int RunStart(const uint32_t *pass, const uint32_t *sel, int x) {
    int w = x >> 5, j = x & 31;
    uint32_t stop = ~Free(pass, sel, w) >> (31 - j);  // pixel j in bit 0
    while (!stop) {
        if (--w < 0)
            return 0;
        j = 31;
        stop = ~Free(pass, sel, w);
    }
    return (w << 5) + j - __builtin_ctz(stop) + 1;
}

// Bits of pixels [a, b) of word w (0 <= a < b, both within reach of w).
inline uint32_t SpanBits(int w, int a, int b) {
    const int lo = std::max(a - (w << 5), 0), hi = std::min(b - (w << 5), 32);
    const uint32_t fromLo = ~0u >> lo, belowHi = hi == 32 ? ~0u : ~(~0u >> hi);
    return fromLo & belowHi;
}

void SelectSpan(uint32_t *sel, int a, int b) {
    for (int w = a >> 5; w <= (b - 1) >> 5; ++w)
        sel[w] |= __builtin_bswap32(SpanBits(w, a, b));
}

// ---- the point stack --------------------------------------------------------

constexpr size_t kStackStep = 30000;

struct Point {
    int32_t X, Y;
};

struct PointStack {
    HGLOBAL Block = nullptr;
    Point *Top = nullptr;  // of the locked block
    size_t Count = 0, Room = 0;
    ~PointStack() {
        if (Block) {
            GlobalUnlock(Block);
            K_GlobalFree(Block);
        }
    }
    // Room for kStackStep more points, the old ones moved to a new block.
    bool Grow() {
        const size_t room = Room + kStackStep;
        HGLOBAL block = K_GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, room * sizeof(Point));
        Point *p = block ? static_cast<Point *>(GlobalLock(block)) : nullptr;
        if (!p) {
            if (block)                // GCOVR_EXCL_BR_LINE: a fresh moveable block always locks
                K_GlobalFree(block);  // GCOVR_EXCL_LINE: a fresh moveable block always locks
            return false;
        }
        if (Block) {
            std::memcpy(p, Top, Count * sizeof(Point));
            GlobalUnlock(Block);
            K_GlobalFree(Block);
        }
        Block = block, Top = p, Room = room;
        return true;
    }
    bool Push(int x, int y) {
        if (Count == Room && !Grow())
            return false;
        Top[Count++] = Point{x, y};
        return true;
    }
};

// ---- the fill ---------------------------------------------------------------

// A 1-bit bitmap of the source's size owned for the length of a fill.
struct MaskBitmap {
    BitmapHandle B{};
    ~MaskBitmap() {
        if (B.Flags & BITMAP_ALLOCATED)
            K_FreeBitmap(&B);
    }
    uint32_t *Row(int y) { return reinterpret_cast<uint32_t *>(B.Data + static_cast<size_t>(y) * B.BytesPerLine); }
};

struct Fill {
    BitmapHandle *Source;
    const Scan *S;
    BYTE *Row;                  // the source row as read (and converted)
    BYTE *Reached;              // a byte per row: tested into the visited mask
    MaskBitmap Visited, Selected;
    PointStack Stack;

    // The pass bits of row y, read and tested the first time.
    int Reach(int y) {
        if (Reached[y])
            return RC_SUCCESS;
        const int width = Source->Width;
        int rc = K_GetBitmapRow(Source, Row, y, 0, Source->BytesPerLine);
        if (rc >= 0 && S->Deep)
            rc = K_ConvertToBGR(Source, Row, Row, width);
        if (rc < 0)
            return rc;
        S->Classify(S->C, Row, width, Visited.Row(y));
        Reached[y] = 1;
        return RC_SUCCESS;
    }

    // Pushes the first pixel of every free run of row y within [a, b).
    int PushRuns(int y, int a, int b) {
        if (y < 0 || y >= Source->Height)
            return RC_SUCCESS;
        int rc = Reach(y);
        if (rc != RC_SUCCESS)
            return rc;
        const uint32_t *pass = Visited.Row(y), *sel = Selected.Row(y);
        uint32_t before = 0;  // pixel a - 1 as free: never, a run starts at a
        for (int w = a >> 5; w <= (b - 1) >> 5; ++w) {
            const uint32_t v = Free(pass, sel, w) & SpanBits(w, a, b);
            uint32_t starts = v & ~(v >> 1 | before << 31);
            before = v & 1;
            while (starts) {
                const int j = __builtin_clz(starts);
                if (!Stack.Push((w << 5) + j, y))
                    return RC_NO_MEMORY;
                starts &= ~(0x80000000u >> j);
            }
        }
        return RC_SUCCESS;
    }

    int Run(int x0, int y0) {
        const int width = Source->Width;
        int rc = RC_SUCCESS;
        for (int y = std::max(y0 - 1, 0); y <= std::min(y0 + 1, Source->Height - 1) && rc == RC_SUCCESS; ++y)
            rc = Reach(y);
        // The seed's neighbours in the defined order (the set does not
        // depend on it); the seed itself is not tested.
        const Point around[4] = {{x0 - 1, y0}, {x0, y0 - 1}, {x0 + 1, y0}, {x0, y0 + 1}};
        for (const Point &p : around)
            if (rc == RC_SUCCESS && p.X >= 0 && p.Y >= 0 && p.X < width && p.Y < Source->Height &&
                IsFree(Visited.Row(p.Y), Selected.Row(p.Y), p.X) && !Stack.Push(p.X, p.Y))
                rc = RC_NO_MEMORY;
        while (rc == RC_SUCCESS && Stack.Count) {
            const Point p = Stack.Top[--Stack.Count];
            uint32_t *pass = Visited.Row(p.Y), *sel = Selected.Row(p.Y);
            if (!IsFree(pass, sel, p.X))
                continue;
            const int l = RunStart(pass, sel, p.X), r = RunEnd(pass, sel, p.X, width);
            SelectSpan(sel, l, r);
            if ((rc = PushRuns(p.Y - 1, l, r)) == RC_SUCCESS)
                rc = PushRuns(p.Y + 1, l, r);
        }
        return rc;
    }
};

// The fill's test on the source's pixels: palette entries decided once
// (every index the depth can hold; those beyond the entries read black,
// as the seed's value does), gray data by its value, the rest as 24-bit
// blue, green, red.
template <class Test>
void ChooseFillTest(const BitmapHandle *b, Scan &s) {
    const int bits = b->BitsPerPixel;
    if (bits <= 8) {
        RGBQUAD colors[256] = {};
        PaletteOf(b, colors);
        for (int i = 0; i < (1 << bits); ++i)
            s.C.Pass[i] = Test::Pass(s.C, conv::FromQuad(colors[i]));
        s.Classify = IndexClassifier(bits);
    } else if (bits == 12 || (bits == 16 && b->Order == ORDER_GRAY)) {
        const bool window = (b->Flags & BITMAP_WINDOW_LEVEL) != 0;
        const bool table = window && b->WindowLUT && b->WindowLUTLength;
        int count = 0;
        UINT mask = 0;
        K_GetSignificantBits(bits, table ? bits : 16, window ? b->WindowLowBit : b->LowBit,
                             window ? b->WindowHighBit : b->HighBit, &count, &mask, &s.C.Shift);
        s.C.Mask = mask;
        s.C.Lut = table ? b->WindowLUT : nullptr;
        s.C.LutLast = table ? b->WindowLUTLength - 1 : 0;
        if (bits == 12)
            s.Classify = table ? Classify<FillGrayReader<12, true>, Test> : Classify<FillGrayReader<12, false>, Test>;
        else
            s.Classify = table ? Classify<FillGrayReader<16, true>, Test> : Classify<FillGrayReader<16, false>, Test>;
    } else {
        s.Deep = !(bits == 24 && b->Order == ORDER_BGR);
        s.Classify = Classify<BgrReader, Test>;
    }
}

// Per channel of the seed: [max(0, c - lower), min(255, c + upper)].
Criteria FillRanges(UINT seed, int lower, int upper) {
    Criteria c{};
    for (int i = 0; i < 3; ++i) {
        const int v = static_cast<int>((seed >> (8 * i)) & 0xFF);
        c.Lo[i] = std::max(0, v - lower);
        c.Hi[i] = std::min(255, v + upper);
    }
    return c;
}

int FloodFill(BitmapHandle *pBitmap, int nX, int nY, int lower, int upper, const COLORREF *pBorder,
              UINT uCombineMode) {
    int rc = CheckPixelBitmap(pBitmap);
    if (rc != RC_SUCCESS)
        return rc;
    const UINT seed = K_GetPixelValue(pBitmap, nY, nX);
    if (seed == K_NO_PIXEL)
        return RC_INVALID_PARAMETER;
    Scan s{};
    s.C = FillRanges(seed, lower, upper);
    if (pBorder) {
        for (int i = 0; i < 3; ++i)
            s.C.Border[i] = static_cast<int>((*pBorder >> (8 * i)) & 0xFF);
        ChooseFillTest<BorderTest>(pBitmap, s);
    } else {
        ChooseFillTest<RangeTest>(pBitmap, s);
    }

    const int width = pBitmap->Width, height = pBitmap->Height;
    Fill f{pBitmap, &s, nullptr, nullptr, {}, {}, {}};
    if ((rc = K_CreateBitmap(&f.Visited.B, width, height, 1, ORDER_BGR, pBitmap->Orientation)) != RC_SUCCESS ||
        (rc = K_CreateBitmap(&f.Selected.B, width, height, 1, ORDER_BGR, pBitmap->Orientation)) != RC_SUCCESS)
        return rc;
    if (!f.Stack.Grow())
        return RC_NO_MEMORY;
    // Room for the row as read or converted to 24 bits, plus the word the
    // classifiers may read beyond it; then a byte per row.
    const size_t line = static_cast<size_t>(std::max(pBitmap->BytesPerLine, 0));
    const size_t rowRoom = (std::max(line, 3 * static_cast<size_t>(width)) + 3 * 32 + 8) & ~size_t(7);
    const TempBlock<BYTE> buffer = TempAlloc(rowRoom + static_cast<size_t>(height));
    if (!buffer)
        return RC_NO_MEMORY;
    f.Row = buffer.get();
    f.Reached = f.Row + rowRoom;
    std::memset(f.Reached, 0, static_cast<size_t>(height));
    {
        const RowAccess source(pBitmap);
        if (source.status() < 0)
            return source.status();
        const RowAccess visited(&f.Visited.B);
        const RowAccess selected(&f.Selected.B);
        if ((rc = f.Run(nX, nY)) != RC_SUCCESS)
            return rc;
    }
    // The selected mask's region, by the exact-colour scan of its set bits.
    if ((rc = Z_SetBitmapRgnColor(&f.Selected.B, 0xFFFFFF, RGN_MODE_SET)) != RC_SUCCESS)
        return rc;
    ZoraRgn *rgn = f.Selected.B.Region;  // never null after the scan, empty for an empty selection
    f.Selected.B.Region = nullptr;
    return RgnCombine(pBitmap, nullptr, OwnedRgn(rgn), uCombineMode);
}

}  // namespace

}  // namespace zv::pick

using namespace zv::pick;

extern "C" {

int __stdcall Z_SetBitmapRgnMagicWand(BitmapHandle *pBitmap, int nX, int nY, UINT uTolerance, UINT uCombineMode) {
    const int t = static_cast<int>(uTolerance & 0xFF);
    return FloodFill(pBitmap, nX, nY, t, t, nullptr, uCombineMode);
}

int __stdcall Z_SetBitmapRgnMagicWandExt(BitmapHandle *pBitmap, int nX, int nY, COLORREF crLowerTolerance,
                                         COLORREF crUpperTolerance, UINT uCombineMode) {
    return FloodFill(pBitmap, nX, nY, static_cast<int>((crLowerTolerance >> 16) & 0xFF),
                     static_cast<int>((crUpperTolerance >> 16) & 0xFF), nullptr, uCombineMode);
}

int __stdcall Z_SetBitmapRgnBorder(BitmapHandle *pBitmap, int nX, int nY, COLORREF crBorder,
                                   COLORREF crLowerTolerance, COLORREF crUpperTolerance, UINT uCombineMode) {
    return FloodFill(pBitmap, nX, nY, static_cast<int>((crLowerTolerance >> 16) & 0xFF),
                     static_cast<int>((crUpperTolerance >> 16) & 0xFF), &crBorder, uCombineMode);
}

}  // extern "C"
