// The one reader of device-independent bitmaps, for BMP files, the
// clipboard's packed DIBs and DIBs in memory.
//
// Headers, by their size (the first 32-bit word):
//   12        core header: 16-bit width and height, no compression; the
//             colour table holds 3-byte entries (blue, green, red)
//   16, 64    the two-format header of the other desktop system: the
//             fields of the 40-byte header as far as it reaches (16 bytes:
//             width, height, planes, bits); compression 3 and 4 mean
//             Huffman 1D and RLE24 there, and are refused
//   40        bit-field masks behind it: red, green, blue (BI_BITFIELDS),
//             and alpha (BI_ALPHABITFIELDS)
//   52, 56    the masks inside, at byte 40 (56: alpha too)
//   108, 124  the masks inside; the colour-space fields are not read
// Colour tables other than the core one hold 4-byte entries.
//
// What a DIB loads as: 1, 2, 4 and 8 bits (plain or run-length) as palette
// bitmaps of the same depth; 16 bits of 5-5-5 (plain, or bit fields with
// exactly those masks) as 16 bits; 24 bits as they are; every other 16- or
// 32-bit layout as 24 bits, each channel widened to 8 bits by repeating
// its bits (a channel wider than 8 keeps its top 8), alpha dropped.  Rows
// keep their order: bottom-up gives ORIENT_BOTTOM_LEFT, top-down
// ORIENT_TOP_LEFT (run-length streams too).
//
// Colours agree everywhere: entries past the file's table are black, and
// when a pixel indexes past the table ColorCount is 2^bits, so that the
// painter, the paint palette and K_GetPixelValue show the same colour.
#include "kernel/dib_read.h"

#include "kernel/kernel_internal.h"
#include "kernel/pixels.h"

#include <algorithm>
#include <cstring>

namespace zv::kern {

namespace {

#ifndef BI_ALPHABITFIELDS
#define BI_ALPHABITFIELDS 6
#endif

enum class Coding { Plain, Rle8, Rle4, Fields };

// Everything the header decides, before a pixel is read.
struct DibFormat {
    int Width = 0, Rows = 0;
    bool TopDown = false;
    int Bits = 0;             // as stored: 1, 2, 4, 8, 16, 24, 32
    int OutBits = 0;          // as loaded
    Coding Code = Coding::Plain;
    uint32_t Masks[3] = {};   // red, green, blue (16 and 32 bits)
    uint32_t ImageSize = 0;   // the header's; bounds a stream of unknown room
    int EntrySize = 4;        // bytes per colour-table entry
    uint64_t TableAt = 0;     // colour table, from the header
    uint64_t Entries = 0;     // table entries (at most 2^bits below 9 bits)
    int64_t Stride = 0;       // stored row bytes
};

// Where the rows lie, once the header and the caller's parts are joined.
struct DibRows {
    const BYTE *Bits = nullptr;
    size_t Room = 0;          // bytes of rows (or stream) to read
};

uint32_t Get16(const BYTE *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const BYTE *p) { return Get16(p) | Get16(p + 2) << 16; }

bool KnownHeaderSize(uint32_t size) {
    switch (size) {
    case 12: case 16: case 40: case 52: case 56: case 64: case 108: case 124: return true;
    default: return false;
    }
}

// The compression word as this reader knows it; false for what it cannot
// read (JPEG, PNG, Huffman 1D, RLE24, anything else).
bool CodingOf(uint32_t compression, bool otherSystem, Coding *code) {
    switch (compression) {
    case BI_RGB: *code = Coding::Plain; return true;
    case BI_RLE8: *code = Coding::Rle8; return true;
    case BI_RLE4: *code = Coding::Rle4; return true;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS: *code = Coding::Fields; return !otherSystem;
    default: return false;
    }
}

bool ContiguousOrZero(uint32_t m) {
    if (!m)
        return true;
    const uint32_t low = m >> __builtin_ctz(m);
    return (low & (low + 1)) == 0;
}

// Masks of a 16- or 32-bit DIB: contiguous (or empty), inside the pixel,
// apart from each other.
int ReadMasks(const BYTE *p, size_t room, uint32_t size, uint32_t compression, DibFormat *f) {
    if (f->Code != Coding::Fields) {
        const bool is16 = f->Bits == 16;
        f->Masks[0] = is16 ? 0x7C00 : 0xFF0000;
        f->Masks[1] = is16 ? 0x03E0 : 0x00FF00;
        f->Masks[2] = is16 ? 0x001F : 0x0000FF;
        return RC_SUCCESS;
    }
    if (size == 40)  // behind the header, where the table would be
        f->TableAt = 40 + (compression == BI_ALPHABITFIELDS ? 16 : 12);
    if (f->TableAt > room)
        return RC_INVALID_FORMAT;
    for (int i = 0; i < 3; ++i) {
        const uint32_t m = Get32(p + 40 + 4 * i);
        if (!ContiguousOrZero(m) || (f->Bits == 16 && m > 0xFFFF))
            return RC_INVALID_FORMAT;
        f->Masks[i] = m;
    }
    if ((f->Masks[0] & f->Masks[1]) || (f->Masks[0] & f->Masks[2]) || (f->Masks[1] & f->Masks[2]))
        return RC_INVALID_FORMAT;
    return RC_SUCCESS;
}

int ReadHeader(const BYTE *p, size_t room, DibFormat *f) {
    if (room < 4)
        return RC_INVALID_FORMAT;
    const uint32_t size = Get32(p);
    if (!KnownHeaderSize(size) || room < size)
        return RC_INVALID_FORMAT;
    const bool core = size == 12, otherSystem = size == 16 || size == 64;
    int64_t width, height;
    uint32_t compression = BI_RGB, used = 0;
    if (core) {
        width = Get16(p + 4), height = Get16(p + 6), f->Bits = int(Get16(p + 10));
    } else {
        width = int32_t(Get32(p + 4)), height = int32_t(Get32(p + 8)), f->Bits = int(Get16(p + 14));
        if (size >= 40) {
            compression = Get32(p + 16), f->ImageSize = Get32(p + 20), used = Get32(p + 32);
        }
    }
    const int bits = f->Bits;
    if (width <= 0 || height == 0 || height == INT32_MIN || !CodingOf(compression, otherSystem, &f->Code))
        return RC_INVALID_FORMAT;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return RC_INVALID_FORMAT;
    if ((f->Code == Coding::Rle8 && bits != 8) || (f->Code == Coding::Rle4 && bits != 4) ||
        (f->Code == Coding::Fields && bits != 16 && bits != 32))
        return RC_INVALID_FORMAT;
    f->Width = int(width);
    f->TopDown = height < 0;
    f->Rows = int(height < 0 ? -height : height);
    f->EntrySize = core ? 3 : 4;
    f->TableAt = size;
    if (bits <= 8) {
        if (used > (1u << bits))
            return RC_INVALID_FORMAT;
        f->Entries = used ? used : 1u << bits;
        f->OutBits = bits;
    } else {
        f->Entries = used;  // a table for display on palette devices: skipped
        const int rc = bits == 24 ? RC_SUCCESS : ReadMasks(p, room, size, compression, f);
        if (rc != RC_SUCCESS)
            return rc;
        const bool rgb555 = bits == 16 && f->Masks[0] == 0x7C00 && f->Masks[1] == 0x03E0 && f->Masks[2] == 0x001F;
        f->OutBits = rgb555 ? 16 : 24;
    }
    f->Stride = StrideOf(f->Width, bits);
    const int64_t outStride = StrideOf(f->Width, f->OutBits);
    const uint64_t limit = SIZE_MAX / 2;  // what K_CreateBitmap takes
    if (f->Stride == 0 || outStride == 0 || uint64_t(f->Stride) * f->Rows > limit ||
        uint64_t(outStride) * f->Rows > limit)
        return RC_INVALID_FORMAT;
    return RC_SUCCESS;
}

// Joins the header's layout and the caller's parts: where the rows are,
// how many table entries lie before them, and whether the data is there.
int PlaceRows(const DibParts &parts, DibFormat *f, DibRows *rows) {
    const bool known = parts.HeaderRoom != kUnknownRoom;
    if (parts.Bits) {
        rows->Bits = parts.Bits;
        rows->Room = parts.BitsRoom;
        if (known && parts.Bits >= parts.Header && size_t(parts.Bits - parts.Header) <= parts.HeaderRoom) {
            const uint64_t offset = uint64_t(parts.Bits - parts.Header);
            if (offset < f->TableAt)
                return RC_INVALID_FORMAT;  // rows inside the header or its masks
            if (f->Bits <= 8)
                f->Entries = std::min<uint64_t>(f->Entries, (offset - f->TableAt) / f->EntrySize);
        }
    } else {
        const uint64_t tableEnd = f->TableAt + f->Entries * f->EntrySize;
        if (tableEnd > parts.HeaderRoom)
            return RC_INVALID_FORMAT;
        rows->Bits = parts.Header + tableEnd;
        rows->Room = known ? parts.HeaderRoom - size_t(tableEnd) : kUnknownRoom;
    }
    if (f->Code == Coding::Rle8 || f->Code == Coding::Rle4) {
        if (rows->Room == kUnknownRoom) {  // the stream is as long as the header says
            if (f->ImageSize == 0)
                return RC_INVALID_FORMAT;
            rows->Room = f->ImageSize;
        }
        return RC_SUCCESS;
    }
    const uint64_t need = uint64_t(f->Stride) * f->Rows;
    if (rows->Room != kUnknownRoom && need > rows->Room)
        return RC_INVALID_FORMAT;
    rows->Room = size_t(need);
    return RC_SUCCESS;
}

// ---- pixels -----------------------------------------------------------

// One channel of a bit-field pixel to 8 bits: the field's value, cut to
// its top 8 bits, then widened by repeating its bits (5 bits abcde give
// abcdeabc, 1 bit gives 0 or 255).  An empty mask reads 0.
struct Channel {
    int Shift = 0, Drop = 0;
    uint32_t Field = 0;
    BYTE Level[256] = {};
};

void InitChannel(Channel *c, uint32_t mask) {
    if (!mask)
        return;
    c->Shift = __builtin_ctz(mask);
    c->Field = mask >> c->Shift;
    const int width = __builtin_popcount(mask), n = std::min(width, 8);
    c->Drop = width - n;
    for (uint32_t v = 0; v < (1u << n); ++v) {
        uint32_t r = 0;
        int filled = 0;
        for (; filled < 8; filled += n)
            r = r << n | v;
        c->Level[v] = BYTE(r >> (filled - 8));
    }
}

inline BYTE LevelOf(const Channel &c, uint32_t v) { return c.Level[((v >> c.Shift) & c.Field) >> c.Drop]; }

// 16- or 32-bit pixels of Bytes bytes to blue, green, red.
template <int Bytes>
void WidenRows(const DibFormat &f, const BYTE *src, BitmapHandle &b) {
    Channel red, green, blue;
    InitChannel(&red, f.Masks[0]);
    InitChannel(&green, f.Masks[1]);
    InitChannel(&blue, f.Masks[2]);
    for (int r = 0; r < f.Rows; ++r) {
        const BYTE *s = src + size_t(r) * f.Stride;
        BYTE *d = b.Data + size_t(r) * b.BytesPerLine;
        for (int x = 0; x < f.Width; ++x, s += Bytes, d += 3) {
            const uint32_t v = Bytes == 2 ? Get16(s) : Get32(s);
            d[0] = LevelOf(blue, v);
            d[1] = LevelOf(green, v);
            d[2] = LevelOf(red, v);
        }
    }
}

// Run-length streams of 8 and 4 bits.  Pairs (count, value): a count
// above 0 repeats value (RLE4: its two nibbles by turns); count 0 is an
// escape: 0 ends the line, 1 the bitmap, 2 moves right and down by the
// next two bytes, 3 and more are that many literal pixels, padded to an
// even byte count.  Rows run in stream order, so the stream's first row
// is stored row 0.  Pixels past the row's end are dropped; pixels that no
// run reaches keep index 0; a stream that ends early (or a literal run cut
// off by its end) is read as far as it goes.  Returns the highest index
// written (the picture may be far larger than its stream: it is not
// scanned again).
uint32_t DecodeRle(const BYTE *s, size_t n, int bits, BitmapHandle &b) {
    const BYTE *end = s + n;
    int x = 0, y = 0;
    uint32_t high = 0;
    auto put = [&](uint32_t v) {
        if (x < b.Width) {
            PutBits(b.Data + size_t(y) * b.BytesPerLine, x++, bits, v);
            high = std::max(high, v);
        }
    };
    while (y < b.Height && end - s >= 2) {
        const int count = s[0], value = s[1];
        s += 2;
        if (count) {
            for (int i = 0; i < count; ++i)
                put(bits == 8 ? value : (i & 1) ? value & 15 : value >> 4);
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (end - s < 2)
                break;
            x = std::min(x + s[0], b.Width), y += s[1];
            s += 2;
        } else {
            const size_t bytes = bits == 8 ? size_t(value) : size_t(value + 1) / 2;
            const size_t have = std::min(bytes, size_t(end - s));
            for (int i = 0; i < value && size_t(bits == 8 ? i : i / 2) < have; ++i)
                put(bits == 8 ? s[i] : (i & 1) ? s[i / 2] & 15 : s[i / 2] >> 4);
            s += std::min((bytes + 1) & ~size_t(1), size_t(end - s));
        }
    }
    return high;
}

uint32_t HighestIndex(const BitmapHandle &b, uint64_t enough) {
    uint32_t high = 0;
    for (int r = 0; r < b.Height && high < enough; ++r) {
        const BYTE *row = b.Data + size_t(r) * b.BytesPerLine;
        for (int x = 0; x < b.Width; ++x)
            high = std::max(high, GetBits(row, x, b.BitsPerPixel));
    }
    return high;
}

// The file's table, black behind it; ColorCount covers every pixel up to
// index `high`.
void SetColors(const DibFormat &f, const BYTE *table, uint32_t high, BitmapHandle &b) {
    const uint32_t full = 1u << f.Bits;
    for (uint32_t i = 0; i < full; ++i) {
        const BYTE *e = table + size_t(i) * f.EntrySize;
        b.Palette[i] = i < f.Entries ? RGBQUAD{e[0], e[1], e[2], 0} : RGBQUAD{0, 0, 0, 0};
    }
    b.ColorCount = high < f.Entries ? int(f.Entries) : int(full);
}

}  // namespace

int ReadDib(const DibParts &parts, BitmapHandle *pOut) {
    DibFormat f;
    int rc = ReadHeader(parts.Header, parts.HeaderRoom, &f);
    DibRows rows;
    if (rc == RC_SUCCESS)
        rc = PlaceRows(parts, &f, &rows);
    if (rc != RC_SUCCESS)
        return rc;
    BitmapHandle b;
    rc = K_CreateBitmap(&b, f.Width, f.Rows, f.OutBits, ORDER_BGR, f.TopDown ? ORIENT_TOP_LEFT : ORIENT_BOTTOM_LEFT);
    if (rc != RC_SUCCESS)
        return rc == RC_NO_MEMORY ? rc : RC_INVALID_FORMAT;
    const bool rle = f.Code == Coding::Rle8 || f.Code == Coding::Rle4;
    uint32_t high = 0;
    if (rle)
        high = DecodeRle(rows.Bits, rows.Room, f.Bits, b);
    else if (f.OutBits == f.Bits)
        std::memcpy(b.Data, rows.Bits, rows.Room);  // same depth, same 32-bit aligned rows
    else if (f.Bits == 16)
        WidenRows<2>(f, rows.Bits, b);
    else
        WidenRows<4>(f, rows.Bits, b);
    if (f.Bits <= 8)
        SetColors(f, parts.Header + f.TableAt, rle ? high : HighestIndex(b, f.Entries), b);
    *pOut = b;
    return RC_SUCCESS;
}

}  // namespace zv::kern
