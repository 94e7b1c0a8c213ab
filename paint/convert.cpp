// Row converters (80 of them) and depth expanders (12), generated from one
// loop per method, one quantiser per target and one reader per source
// format (paint/convert_readers.h).
#include "paint/convert.h"

#include "frame/library.h"
#include "paint/convert_readers.h"
#include "paint/fixed_palettes.h"

#include <algorithm>
#include <array>
#include <type_traits>

namespace zv {

namespace {

using conv::Rgb;
using conv::RowContext;

inline int Clamp255(int v) { return std::min(std::max(v, 0), 255); }

inline int Luminance(int r, int g, int b) { return (2 * r + 5 * g + b + 4) >> 3; }

// e / 16 truncated toward zero (-15 / 16 is 0), without a division.
inline int Sixteenth(int e) { return (e + ((e >> 31) & 15)) >> 4; }

// ---- quantisers ----------------------------------------------------------
//
// Each target prepares, once per call, tables indexed by a channel value
// before the paint table (the paint table is folded into them):
//   Part[ch][v]  the channel's contribution to the palette index;
//   Err[ch][v]   diffusion: the value the target measures its error on
//                (after the paint table) minus the palette entry's channel.
// That keeps the error-diffusion chain from one pixel to the next short:
// error -> clamped channel -> one load -> error.  Diffuse(r, g, b, t, d)
// takes the channels after the running error was added and clamped,
// returns the index and writes the three errors; Ordered(c, th, t) takes
// the raw channels and the threshold.

struct Tables {
    int16_t Err[3][256];
    uint8_t Part[3][256];
    const BYTE *Lut;
};

// 1 bit: white when PaintLUT[luminance] >= 128; the error is measured
// before the paint table, so only the decision is tabulated.
struct MonoTarget {
    static constexpr int Bits = 1;
    static void Prepare(Tables &t, const BYTE *lut) {
        t.Lut = lut;
        for (int v = 0; v < 256; ++v)
            t.Part[0][v] = lut[v] >= 128;
    }
    static int Diffuse(int r, int g, int b, const Tables &t, int d[3]) {
        const int white = t.Part[0][Luminance(r, g, b)];
        const int p = -white & 255;
        d[0] = r - p;
        d[1] = g - p;
        d[2] = b - p;
        return white;
    }
    static int Ordered(const Rgb &c, int th, const Tables &t) { return t.Lut[Luminance(c.r, c.g, c.b)] > th; }
};

// Channel-wise targets: the index is the sum of the three parts, remapped
// by Finish.
template <class Kind>
struct ChannelTarget {
    static constexpr int Bits = Kind::Bits;
    static void Prepare(Tables &t, const BYTE *lut) {
        t.Lut = lut;
        for (int ch = 0; ch < 3; ++ch)
            for (int v = 0; v < 256; ++v) {
                const int l = lut[v];
                t.Part[ch][v] = static_cast<uint8_t>(Kind::Part(ch, l));
                t.Err[ch][v] = static_cast<int16_t>(l - Kind::Level(ch, l));
            }
    }
    static int Diffuse(int r, int g, int b, const Tables &t, int d[3]) {
        d[0] = t.Err[0][r];
        d[1] = t.Err[1][g];
        d[2] = t.Err[2][b];
        return Kind::Finish(t.Part[0][r] + t.Part[1][g] + t.Part[2][b]);
    }
    static int Ordered(const Rgb &c, int th, const Tables &t) {
        if constexpr (Kind::Bits == 4) {
            const BYTE *lut = t.Lut;
            return Kind::Finish((lut[c.r] > th) | (lut[c.g] > th) << 1 | (lut[c.b] > th) << 2);
        } else {
            const int o = Kind::Offset(th);
            return t.Part[0][Clamp255(c.r + o)] + t.Part[1][Clamp255(c.g + o)] + t.Part[2][Clamp255(c.b + o)];
        }
    }
};

// 16 colours: a bit per channel at 128; only black and the bright colours
// 9-15 occur, so each palette channel is 0 or 255 by its own bit.
struct Vga16Kind {
    static constexpr int Bits = 4;
    static int Part(int ch, int l) { return (l >= 128) << ch; }
    static int Level(int, int l) { return l >= 128 ? 255 : 0; }
    static int Finish(int bits) { return bits ? bits + 8 : 0; }
};

// 6x6x6 cube: level l / 51, palette channel 51 x level, so the error
// l mod 51 is never negative.  Ordered offset floor(t / 6) - 21.
struct CubeKind {
    static constexpr int Bits = 8;
    static int Part(int ch, int l) { return l / 51 * (ch == 0 ? 36 : ch == 1 ? 6 : 1); }
    static int Level(int, int l) { return l / 51 * 51; }
    static int Finish(int index) { return index; }
    static int Offset(int th) { return th / 6 - 21; }
};

// 3-3-2: the top bits of each channel; the red and green levels are the
// table's rounded 255 / 7 steps.  Ordered offset (t >> 3) - 16.
constexpr std::array<int, 8> Level7 = {0, 36, 73, 109, 146, 182, 219, 255};

struct Rgb332Kind {
    static constexpr int Bits = 8;
    static int Part(int ch, int l) { return ch == 0 ? l & 0xE0 : ch == 1 ? (l & 0xE0) >> 3 : l >> 6; }
    static int Level(int ch, int l) { return ch < 2 ? Level7[l >> 5] : (l >> 6) * 85; }
    static int Finish(int index) { return index; }
    static int Offset(int th) { return (th >> 3) - 16; }
};

static_assert(Level7[3] == Rgb332Palette[3 << 5].rgbRed && Level7[6] == Rgb332Palette[6 << 2].rgbGreen);

using Vga16Target = ChannelTarget<Vga16Kind>;
using CubeTarget = ChannelTarget<CubeKind>;
using Rgb332Target = ChannelTarget<Rgb332Kind>;

// ---- packers -------------------------------------------------------------
//
// Output starts at the first pixel position of dst, so every byte but the
// last partial one is written whole; the bits of that one that lie beyond
// the span are kept.

template <int Bits>
struct Packer {
    static_assert(Bits == 1 || Bits == 4 || Bits == 8);
    static constexpr int PerByte = 8 / Bits;
    BYTE *dst;
    unsigned acc = 0;
    int filled = 0;

    void Put(int index) {
        if constexpr (Bits == 8) {
            *dst++ = static_cast<BYTE>(index);
        } else {
            acc = acc << Bits | static_cast<unsigned>(index);
            if (++filled == PerByte) {
                *dst++ = static_cast<BYTE>(acc);
                acc = 0;
                filled = 0;
            }
        }
    }
    void Finish() {
        if constexpr (Bits != 8) {
            if (filled) {
                const int used = filled * Bits;
                const unsigned keep = 0xFFu >> used;
                *dst = static_cast<BYTE>((acc << (8 - used)) | (*dst & keep));
            }
        }
    }
};

// ---- error diffusion -------------------------------------------------------
//
// Floyd-Steinberg over one row, left to right, with one row of errors:
//
//            .    X    7
//            3    5    1        (sixteenths)
//
// Entry k of the error row holds, between rows, what pixel k of the next
// row inherits: 1 x d(k-1) + 5 x d(k) + 3 x d(k+1) of this row, not yet
// divided by 16.  While the row is converted, the running error of pixel
// k + 1 is old entry[k+1] + 7 d(k), read before that entry is reused.
// Entry k is final only once pixel k + 1 has added its 3 x d, so the loop
// keeps the two open entries in registers (belowLeft for k - 1, below for
// k) and writes each entry once.  The first pixel's entry starts from 5 d
// (its old value was its running error); the last pixel sends nothing to
// the right.  The error is divided by 16 truncating toward zero and the
// sum clamped to 0..255 before quantising.

template <class Target, class Reader>
void DiffuseRow(BYTE *dst, const BYTE *src, int start, int end, ErrorEntry *err, const Tables &t,
                const RowContext &c) {
    Packer<Target::Bits> out{dst};
    const int n = end - start;
    int eR = err[0].Red, eG = err[0].Green, eB = err[0].Blue;
    int belowLeft[3] = {0, 0, 0};  // entry k - 1 so far
    int below[3] = {0, 0, 0};      // entry k so far: d(k-1)
    auto pixel = [&](int k, bool first, bool last) {
        const Rgb p = Reader::Read(src, start + k, c);
        int d[3];
        out.Put(Target::Diffuse(Clamp255(p.r + Sixteenth(eR)), Clamp255(p.g + Sixteenth(eG)),
                                Clamp255(p.b + Sixteenth(eB)), t, d));
        if (!first) {
            err[k - 1].Red = belowLeft[0] + 3 * d[0];
            err[k - 1].Green = belowLeft[1] + 3 * d[1];
            err[k - 1].Blue = belowLeft[2] + 3 * d[2];
        }
        for (int i = 0; i < 3; ++i) {
            belowLeft[i] = below[i] + 5 * d[i];
            below[i] = d[i];
        }
        if (!last) {
            eR = err[k + 1].Red + 7 * d[0];
            eG = err[k + 1].Green + 7 * d[1];
            eB = err[k + 1].Blue + 7 * d[2];
        }
    };
    if (n == 1) {
        pixel(0, true, true);
    } else {
        pixel(0, true, false);
        for (int k = 1; k < n - 1; ++k)
            pixel(k, false, false);
        pixel(n - 1, false, true);
    }
    err[n - 1].Red = belowLeft[0];
    err[n - 1].Green = belowLeft[1];
    err[n - 1].Blue = belowLeft[2];
    out.Finish();
}

// ---- ordered dithering -----------------------------------------------------

template <class Target, class Reader>
void OrderedRow(BYTE *dst, const BYTE *src, int start, int end, int column, int row, const uint8_t *matrix,
                const Tables &t, const RowContext &c) {
    Packer<Target::Bits> out{dst};
    const uint8_t *line = matrix + (row & 7) * 8;
    for (int x = start, col = column; x < end; ++x, ++col)
        out.Put(Target::Ordered(Reader::Read(src, x, c), line[col & 7], t));
    out.Finish();
}

// ---- the converters ----------------------------------------------------------

constexpr std::array<BYTE, 256> MakeIdentity() {
    std::array<BYTE, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<BYTE>(i);
    return t;
}
constexpr std::array<BYTE, 256> IdentityTable = MakeIdentity();

template <int Bits>
void SetPalette(RowContext &c, const RGBQUAD *pPalette) {
    if constexpr (Bits <= 8) {
        c.Palette = pPalette;
        if (!pPalette) {
            constexpr int n = 1 << Bits;
            for (int i = 0; i < n; ++i) {
                const BYTE v = static_cast<BYTE>(i * 255 / (n - 1));
                c.GrayRamp[i] = RGBQUAD{v, v, v, 0};
            }
            c.Palette = c.GrayRamp;
        }
    }
}

template <int Bits, class Target, bool Ordered>
void RunConverter(BYTE *dst, const BYTE *src, const BitmapHandle *b, int start, int end, int column, int row,
                  ErrorRow errors, const RGBQUAD *pPalette, UINT mode) {
    RowContext c;
    SetPalette<Bits>(c, pPalette);
    Tables t;
    Target::Prepare(t, b->PaintLUT ? b->PaintLUT : IdentityTable.data());
    const uint8_t *matrix = Target::Bits == 1 && (mode & DISP_CLUSTERED_DITHER) ? ClusteredDitherMatrix.data()
                                                                                 : DispersedDitherMatrix.data();
    conv::WithReader<Bits>(b, c, [&](auto reader) {
        using Reader = decltype(reader);
        if constexpr (Ordered)
            OrderedRow<Target, Reader>(dst, src, start, end, column, row, matrix, t, c);
        else
            DiffuseRow<Target, Reader>(dst, src, start, end, errors, t, c);
    });
}

template <int Bits, int TargetBits, bool Ordered>
void Converter(BYTE *dst, const BYTE *src, const BitmapHandle *pBitmap, int start, int end, int column, int row,
               ErrorRow errors, const RGBQUAD *pPalette) {
    if (start >= end)
        return;
    const UINT mode = GetPaintSettings()->DisplayMode;
    if constexpr (TargetBits == 1)
        RunConverter<Bits, MonoTarget, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette, mode);
    else if constexpr (TargetBits == 4)
        RunConverter<Bits, Vga16Target, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette, mode);
    else if (mode & DISP_CUBE_PALETTE)
        RunConverter<Bits, CubeTarget, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette, mode);
    else
        RunConverter<Bits, Rgb332Target, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette, mode);
}

// The table: one row per source depth, members for targets 1, 4 and 8,
// error diffusion then ordered.  A 1-bit source has nothing to reduce for
// 1- and 4-bit displays.
struct ConverterRow {
    int SourceBits;
    RowConverter ByTarget[3][2];
};

template <int Bits>
constexpr ConverterRow RowOf() {
    return ConverterRow{Bits,
                        {{Converter<Bits, 1, false>, Converter<Bits, 1, true>},
                         {Converter<Bits, 4, false>, Converter<Bits, 4, true>},
                         {Converter<Bits, 8, false>, Converter<Bits, 8, true>}}};
}

constexpr ConverterRow Converters[] = {
    {1, {{nullptr, nullptr}, {nullptr, nullptr}, {Converter<1, 8, false>, Converter<1, 8, true>}}},
    RowOf<2>(),  RowOf<3>(),  RowOf<4>(),  RowOf<5>(),  RowOf<6>(),  RowOf<7>(),
    RowOf<8>(),  RowOf<12>(), RowOf<16>(), RowOf<24>(), RowOf<32>(), RowOf<48>(), RowOf<64>(),
};

// ---- expanders -------------------------------------------------------------

// Palette indices of 2 or 3 bits to nibbles, and 5, 6 or 7 bits to bytes.
template <int Bits>
void ExpandIndices(BYTE *dst, const BYTE *src, const BitmapHandle *, int start, int end) {
    Packer<(Bits <= 3 ? 4 : 8)> out{dst};
    for (int x = start; x < end; ++x)
        out.Put(static_cast<int>(conv::IndexAt<Bits>(src, x)));
    out.Finish();
}

// Gray level of a 12- or 16-bit pixel scaled by 255 / m, or its
// window-level table entry.
template <int Bits, int OutBytes>
void ExpandGray(BYTE *dst, const BYTE *src, const BitmapHandle *b, int start, int end) {
    RowContext c;
    conv::SetGrayBits(b, c);
    const unsigned m = c.Mask;
    for (int x = start; x < end; ++x, dst += OutBytes) {
        const unsigned raw = conv::RawGray<Bits>(src, x) >> c.Shift;
        if (c.Window) {
            const RGBQUAD &q = c.Window[std::min<uint32_t>(raw & m, c.WindowLast)];
            dst[0] = q.rgbBlue;
            if constexpr (OutBytes == 3) {
                dst[1] = q.rgbGreen;
                dst[2] = q.rgbRed;
            }
        } else {
            unsigned v = raw & 0xFF & m;
            if (m < 255)
                v = v * 255 / m;
            for (int i = 0; i < OutBytes; ++i)
                dst[i] = static_cast<BYTE>(v);
        }
    }
}

void Expand16To24(BYTE *dst, const BYTE *src, const BitmapHandle *b, int start, int end) {
    if (b->Order == ORDER_GRAY) {
        ExpandGray<16, 3>(dst, src, b, start, end);
        return;
    }
    for (int x = start; x < end; ++x, dst += 3) {
        const unsigned w = conv::Raw16(src, x);
        dst[0] = static_cast<BYTE>(conv::Widen5(w & 31));
        dst[1] = static_cast<BYTE>(conv::Widen5((w >> 5) & 31));
        dst[2] = static_cast<BYTE>(conv::Widen5((w >> 10) & 31));
    }
}

// Bytes First, First + Step, First + 2 Step of each Size-byte pixel.
template <int Size, int First, int Step>
void ExpandBytes(BYTE *dst, const BYTE *src, const BitmapHandle *, int start, int end) {
    const BYTE *p = src + static_cast<ptrdiff_t>(start) * Size + First;
    for (int x = start; x < end; ++x, p += Size, dst += 3) {
        dst[0] = p[0];
        dst[1] = p[Step];
        dst[2] = p[2 * Step];
    }
}

struct ExpanderEntry {
    int SourceBits, OutBits;
    RowExpander Expand;
};

constexpr ExpanderEntry Expanders[] = {
    {2, 4, ExpandIndices<2>},       {3, 4, ExpandIndices<3>},       {5, 8, ExpandIndices<5>},
    {6, 8, ExpandIndices<6>},       {7, 8, ExpandIndices<7>},       {12, 24, ExpandGray<12, 3>},
    {12, 8, ExpandGray<12, 1>},     {16, 24, Expand16To24},         {16, 8, ExpandGray<16, 1>},
    {32, 24, ExpandBytes<4, 0, 1>}, {48, 24, ExpandBytes<6, 1, 2>}, {64, 24, ExpandBytes<8, 1, 2>},
};

}  // namespace

RowConverter GetRowConverter(int nSourceBits, int nTargetBits, bool bOrdered) {
    const int target = nTargetBits == 1 ? 0 : nTargetBits == 4 ? 1 : nTargetBits == 8 ? 2 : -1;
    if (target < 0)
        return nullptr;
    for (const ConverterRow &r : Converters)
        if (r.SourceBits == nSourceBits)
            return r.ByTarget[target][bOrdered ? 1 : 0];
    return nullptr;
}

RowConverter SelectRowConverter(int nSourceBits, int nTargetBits) {
    return GetRowConverter(nSourceBits, nTargetBits, (GetPaintSettings()->DisplayMode & DISP_ORDERED_DITHER) != 0);
}

RowExpander GetRowExpander(int nSourceBits, int nOutBits) {
    for (const ExpanderEntry &e : Expanders)
        if (e.SourceBits == nSourceBits && e.OutBits == nOutBits)
            return e.Expand;
    return nullptr;
}

RowExpander SelectRowExpander(int nSourceBits, bool bGray, int *pOutBits) {
    int out = 24;
    switch (nSourceBits) {
    case 2: case 3: out = 4; break;
    case 5: case 6: case 7: out = 8; break;
    case 12: case 16: out = bGray ? 8 : 24; break;
    case 48: case 64: break;
    default: nSourceBits = 32; break;
    }
    if (pOutBits)
        *pOutBits = out;
    return GetRowExpander(nSourceBits, out);
}

}  // namespace zv
