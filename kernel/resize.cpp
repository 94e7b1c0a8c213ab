// Resize with a row source: bilinear or area-average resampling of any
// depth into 24-bit or 32-bit rows or palette indices.
//
// A separable filter.  Everything that depends on a destination column
// or row alone is worked out once, at the start: the first source column
// (row) of its taps and their Q14 weights.  Source rows are read once
// each (the destination walked up or down), converted to 8-bit channels
// (gray sources and gray palettes keep one channel, the rest three) and
// resampled across into a small ring of rows held by their source row;
// each destination row is then the weighted sum of its ring rows, made
// straight into the caller's row when that takes 24-bit colour.  The
// loops of both passes are in resize_loops.cpp.
//
// Taps per axis: bilinear at pixel centres; the area method takes on a
// reducing axis every source pixel its footprint [i s/d, (i+1) s/d)
// covers, weighted by the part covered, and on an enlarging axis the
// bilinear taps.
#include "kernel/kernel_internal.h"
#include "kernel/kmem.h"
#include "kernel/pixels.h"
#include "kernel/resize_loops.h"
#include "common/zvpalettes.h"

#include <algorithm>
#include <cstring>

using namespace zv::kern;

namespace {

// How a source row becomes 8-bit channels.
enum ConvertKind {
    CONVERT_NONE,     // 24 or 32 bits: read as they are
    CONVERT_WIDE,     // 48 or 64 bits: the high byte of each sample
    CONVERT_INDEX,    // up to 8 bits: through the colour table
    CONVERT_GRAY,     // 12 or 16-bit gray: through a byte per value
    CONVERT_LEVELS,   // 12 or 16-bit gray through a colour window-level table
    CONVERT_555,      // 16-bit colour
};

const int kRingBytes = 384 * 1024;  // the ring's rows at most

// A palette that holds every combination of some levels per channel (the
// 3-3-2 and cube tables): the nearest entry is each channel's nearest
// level (ties to the lower).  By u + 256 for a channel value u plus its
// error, -256 ... 511: the clamped value less its level, and the level's
// share of the position in the grid.
struct Grid {
    int16_t error[3][768];   // red, green, blue
    BYTE part[3][768];
    BYTE entry[256];         // grid position to palette index
};

}  // namespace

struct KResize {
    const BitmapHandle *src;
    int sw, sh, dw, dh;
    int srcBits, outBits;
    UINT flags;
    ResizeRowSource rows;
    void *context;
    // Source rows as the passes take them.
    int kind, stride, channels;
    int places;              // values per ring pixel: channels, or 4 for 32-bit output
    bool swap;
    int lo, hi;              // significant bits of 12 and 16-bit gray
    BYTE table[256 * 3];     // colour table as gray bytes or blue, green, red
    BYTE *grayTable;         // 12 and 16-bit gray: byte per value of bits 0 ... hi
    uint32_t grayMask;       // those bits
    BYTE *raw;               // a row as read, when it is converted
    BYTE *conv;              // converted pixels from column convBase
    // Taps.
    int *colFirst;
    uint32_t *colPairs;      // pair p of column j at colPairs[p * dw + j]
    int colPairCount;
    int *rowFirst, *rowCount;
    int16_t *rowWeights;     // rowTaps per row
    int rowTaps;
    // Ring of resampled rows, slot y % ringSlots for source row y.  When
    // rows reduce enough (downFirst) the ring holds converted source rows
    // instead (bytes), and a destination row is their vertical sum (mid)
    // resampled across.
    bool downFirst;
    bool lookupDown;         // 16-bit gray 2:1 both ways: the ring holds rows as read (GrayBoxJob)
    BYTE *sourceRing;
    const BYTE **sourceRows;
    int16_t *mid;
    int16_t *ring;
    int ringSlots, ringStride;
    int *slotRow;
    const int16_t **tapRows;
    int32_t *sums;           // when a row's taps outnumber the ring
    int rangeFirst, rangeCount, lastRow;
    BYTE *line;              // one destination row of channel values
    // Output.
    RGBQUAD colors[256];
    int colorCount;
    bool grayRamp;           // colors are the 256 grays in order
    int32_t *errors;         // error diffusion: 3 per output column, plus one spare
    Grid *grid;              // a palette of every level combination
    BYTE *nearest;           // 5-5-5 colour to palette index (36 KB: stays in cache)
    uint32_t *known;         // a bit per 5-5-5 colour: nearest looked up
};

namespace {

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// ---- taps ----------------------------------------------------------------

// Position in 16.16 of output pixel centre i on the source axis.
int64_t Centre(int i, int s, int d) {
    const int64_t p = ((2 * int64_t(i) + 1) * s * 65536) / (2 * int64_t(d)) - 32768;
    return std::max<int64_t>(p, 0);
}

bool AreaAxis(UINT flags, int s, int d) { return (flags & RESIZE_AREA) && s >= d; }

// Taps of output i: first source index, count, Q14 weights (w may be null
// to ask the count only).
int Taps(bool area, int i, int s, int d, int *count, int16_t *w) {
    if (!area) {
        const int64_t p = Centre(i, s, d);
        const int x0 = int(std::min<int64_t>(p >> 16, s - 1)), f = int(p & 0xFFFF) >> 8;
        *count = f == 0 || x0 == s - 1 ? 1 : 2;
        if (w) {
            w[0] = int16_t(*count == 1 ? 16384 : (256 - f) << 6);
            if (*count == 2)
                w[1] = int16_t(f << 6);
        }
        return x0;
    }
    // Footprint [i s, (i + 1) s) against pixel k's [k d, (k + 1) d); each
    // weight the rounded running share less the one before it.
    const int64_t a = int64_t(i) * s, b = a + s;
    const int first = int(a / d), end = int((b + d - 1) / d);
    *count = end - first;
    if (w) {
        int64_t covered = 0;
        int before = 0;
        for (int k = first; k < end; ++k) {
            covered += std::min<int64_t>(int64_t(k + 1) * d, b) - std::max<int64_t>(int64_t(k) * d, a);
            const int upTo = int((covered * 32768 + s) / (2 * int64_t(s)));
            w[k - first] = int16_t(upTo - before);
            before = upTo;
        }
    }
    return first;
}

int MostTaps(bool area, int s, int d) {
    int most = 1;
    for (int i = 0, n; i < d; ++i)
        Taps(area, i, s, d, &n, nullptr), most = std::max(most, n);
    return most;
}

void FillColumns(KResize &r, bool area) {
    int16_t w[4096];
    const int taps = 2 * r.colPairCount;
    int16_t *wide = taps <= 4096 ? w : reinterpret_cast<int16_t *>(r.sums);  // room of dw * 4 bytes at least
    for (int j = 0; j < r.dw; ++j) {
        int n;
        r.colFirst[j] = Taps(area, j, r.sw, r.dw, &n, wide);
        std::fill(wide + n, wide + taps, int16_t(0));
        for (int p = 0; p < r.colPairCount; ++p)
            r.colPairs[size_t(p) * r.dw + j] = uint16_t(wide[2 * p]) | uint32_t(uint16_t(wide[2 * p + 1])) << 16;
    }
}

void FillRows(KResize &r, bool area) {
    for (int i = 0; i < r.dh; ++i)
        r.rowFirst[i] = Taps(area, i, r.sh, r.dh, &r.rowCount[i], r.rowWeights + size_t(i) * r.rowTaps);
}

// ---- source rows ----------------------------------------------------------

bool AllGray(const RGBQUAD *c, int n) {
    for (int i = 0; i < n; ++i)
        if (c[i].rgbRed != c[i].rgbGreen || c[i].rgbRed != c[i].rgbBlue)
            return false;
    return true;
}

// The 8-bit gray of a 12 or 16-bit value without a colour table.
BYTE GrayOf(const KResize &r, uint32_t v) {
    const BitmapHandle &b = *r.src;
    if (b.WindowLUT && b.WindowLUTLength) {
        const uint32_t i = std::min<uint32_t>((v >> r.lo) & ((1u << (r.hi - r.lo + 1)) - 1), b.WindowLUTLength - 1);
        return b.WindowLUT[i].rgbRed;
    }
    return BYTE(r.hi >= 7 ? (v >> (r.hi - 7)) & 0xFF : (v << (7 - r.hi)) & 0xFF);
}

// Chooses how rows are converted and fills the tables for it.
void ChooseConversion(KResize &r) {
    const BitmapHandle &b = *r.src;
    r.channels = 3, r.stride = 3, r.swap = false;
    if (r.srcBits <= 8) {
        RGBQUAD c[256] = {};
        K_GetBitmapColors(&b, 0, 1 << r.srcBits, c);
        r.kind = CONVERT_INDEX;
        r.channels = r.stride = AllGray(c, 1 << r.srcBits) ? 1 : 3;
        for (int i = 0; i < 256; ++i) {
            const BYTE bgr[3] = {c[i].rgbBlue, c[i].rgbGreen, c[i].rgbRed};
            std::memcpy(r.table + i * r.stride, bgr, r.stride);
        }
    } else if ((r.srcBits == 16 && b.Order == ORDER_GRAY) || r.srcBits == 12) {
        r.lo = b.LowBit >= 0 && b.LowBit <= b.HighBit ? b.LowBit : 0;
        r.hi = b.HighBit > 0 && b.HighBit < r.srcBits ? b.HighBit : r.srcBits - 1;
        const bool colour = b.WindowLUT && b.WindowLUTLength && !AllGray(b.WindowLUT, int(std::min<UINT>(b.WindowLUTLength, 65536)));
        r.kind = colour ? CONVERT_LEVELS : CONVERT_GRAY;
        r.channels = r.stride = colour ? 3 : 1;
    } else if (r.srcBits == 16) {
        r.kind = CONVERT_555;
    } else {
        r.kind = r.srcBits == 24 || r.srcBits == 32 ? CONVERT_NONE : CONVERT_WIDE;
        r.stride = r.srcBits == 32 ? 4 : 3;
        r.swap = b.Order != ORDER_BGR;
    }
}

// n 16-bit values through the gray table, four a step (one load of four
// values, one store of four grays).
void Gray16(const BYTE *table, uint32_t mask, const BYTE *raw, int n, BYTE *out) {
    const uint64_t m = mask;
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        uint64_t v;
        std::memcpy(&v, raw + 2 * x, 8);
        const uint32_t g = table[v & m] | table[(v >> 16) & m] << 8 | table[(v >> 32) & m] << 16 |
                           uint32_t(table[(v >> 48) & m]) << 24;
        std::memcpy(out + x, &g, 4);
    }
    for (; x < n; ++x)
        out[x] = table[(raw[2 * x] | raw[2 * x + 1] << 8) & mask];
}

// Converted pixels [from, to) of a row read from column base, into conv.
void Convert(KResize &r, BYTE *conv, int from, int to) {
    const BYTE *raw = r.raw;
    BYTE *out = conv + size_t(from) * r.stride;
    const BitmapHandle &b = *r.src;
    switch (r.kind) {
    case CONVERT_WIDE: {
        const int n = r.srcBits / 8;
        for (int x = from; x < to; ++x, out += 3)
            out[0] = raw[x * n + 1], out[1] = raw[x * n + 3], out[2] = raw[x * n + 5];
        break;
    }
    case CONVERT_INDEX:
        if (r.srcBits == 8 && r.stride == 1)
            for (int x = from; x < to; ++x)
                *out++ = r.table[raw[x]];
        else
            for (int x = from; x < to; ++x, out += r.stride)
                std::memcpy(out, r.table + (GetBits(raw, x, r.srcBits) & 0xFF) * r.stride, r.stride);
        break;
    case CONVERT_GRAY:
        if (r.srcBits == 16)
            Gray16(r.grayTable, r.grayMask, raw + 2 * size_t(from), to - from, out);
        else
            for (int x = from; x < to; ++x)
                *out++ = r.grayTable[Get12(raw, x) & r.grayMask];
        break;
    case CONVERT_LEVELS: {
        const uint32_t mask = (1u << (r.hi - r.lo + 1)) - 1, last = b.WindowLUTLength - 1;
        for (int x = from; x < to; ++x, out += 3) {
            const uint32_t v = r.srcBits == 12 ? Get12(raw, x) : uint32_t(raw[2 * x] | raw[2 * x + 1] << 8);
            const RGBQUAD &q = b.WindowLUT[std::min((v >> r.lo) & mask, last)];
            out[0] = q.rgbBlue, out[1] = q.rgbGreen, out[2] = q.rgbRed;
        }
        break;
    }
    case CONVERT_555: {
        const bool bgr = b.Order == ORDER_BGR;
        for (int x = from; x < to; ++x, out += 3) {
            const uint32_t v = raw[2 * x] | raw[2 * x + 1] << 8;
            const int c0 = v & 31, c1 = (v >> 5) & 31, c2 = (v >> 10) & 31;
            const int red = bgr ? c2 : c0, blue = bgr ? c0 : c2;
            out[0] = BYTE((blue << 3) | (blue >> 2)), out[1] = BYTE((c1 << 3) | (c1 >> 2)),
            out[2] = BYTE((red << 3) | (red >> 2));
        }
        break;
    }
    default: break;
    }
}

// The source columns [from, to) the range needs, read from column base
// (a multiple of 8, so that packed pixels start a byte).
struct Span {
    int from, to, base;
};

Span SourceSpan(const KResize &r) {
    const int from = r.colFirst[r.rangeFirst];
    const int to = std::min(r.sw, r.colFirst[r.rangeFirst + r.rangeCount - 1] + 2 * r.colPairCount);
    return {from, to, from & ~7};
}

// Source row y from column base where it lies, for colour rows read as
// they are from a source whose rows are in memory; null otherwise.
const BYTE *RowInPlace(const KResize &r, int y, int base) {
    if (!(r.flags & RESIZE_ROWS_IN_MEMORY) || r.kind != CONVERT_NONE || !r.src->Data)
        return nullptr;
    return r.src->Data + size_t(y) * r.src->BytesPerLine + size_t(base) * (r.srcBits / 8);
}

// Reads source row y and converts the span's columns into conv.
int ReadRow(KResize &r, const Span &c, int y, BYTE *conv) {
    const int bytes = int((int64_t(c.to - c.base) * r.srcBits + 7) / 8);
    const bool asRead = r.kind == CONVERT_NONE || r.lookupDown;
    const int got = r.rows(r.src, asRead ? conv : r.raw, y, c.base, bytes, r.context);
    if (got < 0)
        return got;
    if (!asRead)
        Convert(r, conv, c.from - c.base, c.to - c.base);
    return RC_SUCCESS;
}

// Reads source row y, converts the columns the ring's range needs and
// resamples them across into ring slot s.
int LoadRow(KResize &r, int s, int y) {
    const Span c = SourceSpan(r);
    const BYTE *row = RowInPlace(r, y, c.base);
    if (!row) {
        if (int rc = ReadRow(r, c, y, r.conv); rc < 0)
            return rc;
        row = r.conv;
    }
    const int base = c.base;
    const HorizontalJob job{row, base, r.stride, r.channels, r.swap, r.colFirst + r.rangeFirst,
                            r.colPairs + r.rangeFirst, r.dw, r.colPairCount, r.rangeCount, r.places,
                            r.ring + size_t(s) * r.ringStride};
    (r.flags & RESIZE_PLAIN_LOOPS) ? HorizontalPlain(job) : HorizontalVector(job);
    r.slotRow[s] = y;
    return RC_SUCCESS;
}

// Destination row i's channel values into out, rows first: its source
// rows (converted into the ring) summed down, then resampled across.
int CombineDownFirst(KResize &r, int i, BYTE *out) {
    const int first = r.rowFirst[i], n = r.rowCount[i];
    const Span c = SourceSpan(r);
    for (int k = 0; k < n; ++k) {
        if (const BYTE *row = RowInPlace(r, first + k, c.base)) {
            r.sourceRows[k] = row;
            continue;
        }
        const int s = (first + k) % r.ringSlots;
        BYTE *slot = r.sourceRing + size_t(s) * r.ringStride;
        if (r.slotRow[s] != first + k) {
            if (int rc = ReadRow(r, c, first + k, slot); rc < 0)
                return rc;
            r.slotRow[s] = first + k;
        }
        r.sourceRows[k] = slot;
    }
    if (r.lookupDown) {
        const size_t at = 2 * size_t(r.colFirst[r.rangeFirst] - c.base);
        const GrayBoxJob box{{r.sourceRows[0] + at, r.sourceRows[1] + at}, r.grayTable, r.grayMask, r.rangeCount, out};
        (r.flags & RESIZE_PLAIN_LOOPS) ? GrayBoxPlain(box) : GrayBoxVector(box);
        return RC_SUCCESS;
    }
    const VerticalBytesJob down{r.sourceRows, r.rowWeights + size_t(i) * r.rowTaps, n, (c.to - c.base) * r.stride,
                                r.mid};
    const HorizontalWordsJob across{r.mid, c.base, r.stride, r.channels, r.swap, r.colFirst + r.rangeFirst,
                                    r.colPairs + r.rangeFirst, r.dw, r.colPairCount, r.rangeCount, r.places, out};
    if (r.flags & RESIZE_PLAIN_LOOPS)
        VerticalBytesPlain(down), HorizontalWordsPlain(across);
    else
        VerticalBytesVector(down), HorizontalWordsVector(across);
    return RC_SUCCESS;
}

// Destination row i's channel values into out: the ring's rows weighted,
// or, when its taps outnumber the ring, summed one row at a time.
int Combine(KResize &r, int i, BYTE *out) {
    if (r.downFirst)
        return CombineDownFirst(r, i, out);
    const int first = r.rowFirst[i], n = r.rowCount[i], values = r.rangeCount * r.places;
    const int16_t *w = r.rowWeights + size_t(i) * r.rowTaps;
    const bool down = i >= r.lastRow;
    r.lastRow = i;
    if (n <= r.ringSlots) {
        for (int k = 0; k < n; ++k) {
            const int s = (first + k) % r.ringSlots;
            if (r.slotRow[s] != first + k)
                if (int rc = LoadRow(r, s, first + k); rc < 0)
                    return rc;
            r.tapRows[k] = r.ring + size_t(s) * r.ringStride;
        }
        const VerticalJob job{r.tapRows, w, n, values, out};
        (r.flags & RESIZE_PLAIN_LOOPS) ? VerticalPlain(job) : VerticalVector(job);
        return RC_SUCCESS;
    }
    std::fill(r.sums, r.sums + values, 1 << 21);
    for (int t = 0; t < n; ++t) {
        const int k = down ? t : n - 1 - t, s = (first + k) % r.ringSlots;
        if (r.slotRow[s] != first + k)
            if (int rc = LoadRow(r, s, first + k); rc < 0)
                return rc;
        const int16_t *row = r.ring + size_t(s) * r.ringStride;
        for (int x = 0; x < values; ++x)
            r.sums[x] += w[k] * (row[x] + 32768);
    }
    for (int x = 0; x < values; ++x)
        out[x] = BYTE(r.sums[x] >> 22);
    return RC_SUCCESS;
}

// ---- output ---------------------------------------------------------------

int NearestIndex(KResize &r, int red, int green, int blue) {
    const int key = ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3);
    if (r.known[key >> 5] & (1u << (key & 31)))
        return r.nearest[key];
    const int best = NearestEntry(r.colors, r.colorCount, red, green, blue);
    r.nearest[key] = BYTE(best);
    r.known[key >> 5] |= 1u << (key & 31);
    return best;
}

int OrderedOffset(int column, int row) { return (zv::DispersedDitherMatrix[(row & 7) * 8 + (column & 7)] >> 3) - 16; }

// Palette index of a pixel with ordered offsets.
int OrderedIndex(KResize &r, int column, int row, int red, int green, int blue) {
    const int o = OrderedOffset(column, row);
    return NearestIndex(r, Clamp(red + o, 0, 255), Clamp(green + o, 0, 255), Clamp(blue + o, 0, 255));
}

// The same onto a grid palette: each channel's nearest level of its
// value with the offset, so the index depends on the pixel alone.
int GridOrderedIndex(const Grid &g, int column, int row, int red, int green, int blue) {
    const int o = OrderedOffset(column, row) + 256;
    return g.entry[g.part[0][red + o] + g.part[1][green + o] + g.part[2][blue + o]];
}

// Diffusion steps: the entry for channels u (red, green, blue, each with
// its error, not clamped) and their errors d against it.  Any palette: the
// nearest entry of the clamped colour through the 5-5-5 cache.
struct CachedStep {
    KResize &r;
    int operator()(const int u[3], int d[3]) const {
        const int c[3] = {Clamp(u[0], 0, 255), Clamp(u[1], 0, 255), Clamp(u[2], 0, 255)};
        const int idx = NearestIndex(r, c[0], c[1], c[2]);
        d[0] = c[0] - r.colors[idx].rgbRed, d[1] = c[1] - r.colors[idx].rgbGreen, d[2] = c[2] - r.colors[idx].rgbBlue;
        return idx;
    }
};

// A grid palette: three table lookups.
struct GridStep {
    const Grid &g;
    int operator()(const int u[3], int d[3]) const {
        const int a = u[0] + 256, b = u[1] + 256, c = u[2] + 256;
        d[0] = g.error[0][a], d[1] = g.error[1][b], d[2] = g.error[2][c];
        return g.entry[g.part[0][a] + g.part[1][b] + g.part[2][c]];
    }
};

// A span of n output pixels by error diffusion, following the display's
// converters: errors[3 k ...] holds what the row below inherits at column
// k (weights 7, 5, 3, 1, not yet divided by 16; red, green, blue) and run
// the error carried to the right.
template <class Step>
void PutRowDiffused(KResize &r, const Step &step, int n, const BYTE *v, BYTE *dst) {
    const int ch = r.channels;
    int32_t *e = r.errors;
    int32_t run[3] = {e[0], e[1], e[2]};
    for (int k = 0; k < n; ++k, v += ch, e += 3) {
        const int u[3] = {v[ch - 1] + run[0] / 16, v[ch / 2] + run[1] / 16, v[0] + run[2] / 16};
        int d[3];
        const int idx = step(u, d);
        for (int i = 0; i < 3; ++i) {
            if (k + 1 < n)
                run[i] = e[3 + i] + 7 * d[i], e[3 + i] = d[i];
            if (k == 0)
                e[i] = 5 * d[i];
            else
                e[i] += 5 * d[i], e[i - 3] += 3 * d[i];
        }
        if (r.outBits == 8)
            dst[k] = BYTE(idx);
        else
            PutBits(dst, k, r.outBits, uint32_t(idx));
    }
}

// The distinct levels of one channel of the palette, ascending.
int Levels(const KResize &r, int channel, BYTE *levels) {
    bool seen[256] = {};
    for (int i = 0; i < r.colorCount; ++i) {
        const RGBQUAD &q = r.colors[i];
        seen[channel == 0 ? q.rgbRed : channel == 1 ? q.rgbGreen : q.rgbBlue] = true;
    }
    int n = 0;
    for (int v = 0; v < 256; ++v)
        if (seen[v])
            levels[n++] = BYTE(v);
    return n;
}

// The grid tables when the palette is one (every combination of its
// channels' levels; an entry repeated stands for its first), else false.
bool MakeGrid(const KResize &r, Grid &g) {
    BYTE levels[3][256], place[3][256];
    int count[3], stride[3];
    for (int ch = 0; ch < 3; ++ch) {
        count[ch] = Levels(r, ch, levels[ch]);
        for (int k = 0; k < count[ch]; ++k)
            place[ch][levels[ch][k]] = BYTE(k);
    }
    if (count[0] * count[1] * count[2] > r.colorCount)
        return false;
    stride[2] = 1, stride[1] = count[2], stride[0] = count[1] * count[2];
    bool taken[256] = {};
    int distinct = 0;
    for (int i = r.colorCount - 1; i >= 0; --i) {
        const RGBQUAD &q = r.colors[i];
        const int at = place[0][q.rgbRed] * stride[0] + place[1][q.rgbGreen] * stride[1] + place[2][q.rgbBlue];
        distinct += !taken[at];
        taken[at] = true, g.entry[at] = BYTE(i);
    }
    if (distinct != count[0] * count[1] * count[2])
        return false;
    for (int ch = 0; ch < 3; ++ch)
        for (int u = -256, k = 0; u < 512; ++u) {
            const int c = Clamp(u, 0, 255);
            while (k + 1 < count[ch] && levels[ch][k + 1] - c < c - levels[ch][k])
                ++k;
            g.error[ch][u + 256] = int16_t(c - levels[ch][k]);
            g.part[ch][u + 256] = BYTE(k * stride[ch]);
        }
    return true;
}

// Colour rows, and grays that are their own entries without an error to
// carry: their values are the caller's pixels.
bool ValuesArePixels(const KResize &r) {
    return (r.outBits >= 24 && r.channels == 3) ||
           (r.outBits == 8 && r.channels == 1 && r.grayRamp && (r.flags & RESIZE_DITHER_ORDERED) != RESIZE_DITHER_ORDERED);
}

// A row's channel values v to the caller's pixels.
void PutRow(KResize &r, int row, int first, int n, const BYTE *v, BYTE *dst) {
    if (ValuesArePixels(r)) {
        std::memcpy(dst, v, size_t(n) * r.places);
        return;
    }
    if (r.outBits >= 24) {  // one channel
        const int step = r.outBits / 8;
        for (int k = 0; k < n; ++k, dst += step) {
            dst[0] = dst[1] = dst[2] = v[k];
            if (step == 4)
                dst[3] = 0;
        }
        return;
    }
    if (r.grayRamp && r.channels == 1) {  // ordered: each gray offset is its own entry
        for (int k = 0; k < n; ++k)
            dst[k] = BYTE(Clamp(v[k] + OrderedOffset(first + k, row), 0, 255));
        return;
    }
    if ((r.flags & RESIZE_DITHER_ORDERED) != RESIZE_DITHER_ORDERED)
        return r.grid ? PutRowDiffused(r, GridStep{*r.grid}, n, v, dst) : PutRowDiffused(r, CachedStep{r}, n, v, dst);
    for (int k = 0; k < n; ++k) {
        const BYTE *p = v + k * r.channels;
        const int blue = p[0], green = p[r.channels / 2], red = p[r.channels - 1];
        PutBits(dst, k, r.outBits,
                uint32_t(r.grid ? GridOrderedIndex(*r.grid, first + k, row, red, green, blue)
                                : OrderedIndex(r, first + k, row, red, green, blue)));
    }
}

bool IsGrayRamp(const RGBQUAD *c, int n) {
    if (n != 256)
        return false;
    for (int i = 0; i < 256; ++i)
        if (c[i].rgbRed != i || c[i].rgbGreen != i || c[i].rgbBlue != i)
            return false;
    return true;
}

// ---- set-up ---------------------------------------------------------------

template <class T>
bool Take(T *&p, size_t count, bool zero = false) {
    p = static_cast<T *>(zero ? K_AllocZero(count, sizeof(T)) : K_Alloc(count * sizeof(T)));
    return p != nullptr;
}

// Whether the rows go down first: rough costs of the two orders (a tap
// pair of a channel across about four times a tap of a value down), when
// the rows' taps fit the ring as converted source rows.
bool DownFirst(const KResize &z, size_t slotBytes) {
    if (z.sh <= z.dh || int64_t(z.rowTaps) * int64_t(slotBytes) > kRingBytes)
        return false;
    const double across = double(z.dw) * z.channels * z.colPairCount * 4;
    const double acrossFirst = std::min(double(z.sh), double(z.dh) * z.rowTaps) * across +
                               double(z.dh) * z.dw * z.places * z.rowTaps;
    const double downFirst = double(z.dh) * z.sw * z.stride * z.rowTaps + double(z.dh) * across;
    return downFirst < acrossFirst;
}

// The ring: converted source rows and one row of their sums when rows go
// down first, else rows resampled across.
bool PlanRing(KResize &z, size_t convPixels) {
    const size_t slotBytes = convPixels * z.stride + 16;
    z.downFirst = DownFirst(z, slotBytes);
    // 16-bit gray reduced 2:1 both ways (either method: two taps of
    // weight 1/2 on each axis) is looked up in one pass from its rows as
    // read, when they fit the ring.
    const size_t rawBytes = convPixels * 2 + 16;
    z.lookupDown = z.downFirst && z.kind == CONVERT_GRAY && z.srcBits == 16 && z.sw == 2 * z.dw &&
                   z.sh == 2 * z.dh && int64_t(z.rowTaps) * int64_t(rawBytes) <= kRingBytes;
    const size_t sourceBytes = z.lookupDown ? rawBytes : slotBytes;
    if (z.downFirst) {
        z.ringSlots = z.rowTaps, z.ringStride = int(sourceBytes);
        return Take(z.sourceRing, size_t(z.ringSlots) * sourceBytes, true) && Take(z.sourceRows, z.ringSlots) &&
               Take(z.mid, convPixels * z.stride + 8, true) && Take(z.slotRow, z.ringSlots);
    }
    z.ringStride = z.dw * z.places + 8;
    const int64_t rowBytes = int64_t(z.ringStride) * 2;
    z.ringSlots = int(std::max<int64_t>(2, std::min<int64_t>(z.rowTaps, kRingBytes / rowBytes)));
    return Take(z.conv, slotBytes, true) && Take(z.ring, size_t(z.ringSlots) * z.ringStride) &&
           Take(z.slotRow, z.ringSlots) && Take(z.tapRows, z.ringSlots);
}

// The taps, the buffers of the source rows and the ring.
bool Plan(KResize &z) {
    const bool areaX = AreaAxis(z.flags, z.sw, z.dw), areaY = AreaAxis(z.flags, z.sh, z.dh);
    z.colPairCount = (MostTaps(areaX, z.sw, z.dw) + 1) / 2;
    z.rowTaps = MostTaps(areaY, z.sh, z.dh);
    const size_t convPixels = size_t(z.sw) + 16 + 2 * size_t(z.colPairCount);
    z.places = z.channels == 3 && z.outBits == 32 ? 4 : z.channels;
    if (!Take(z.colFirst, z.dw) || !Take(z.colPairs, size_t(z.colPairCount) * z.dw) || !Take(z.rowFirst, z.dh) ||
        !Take(z.rowCount, z.dh) || !Take(z.rowWeights, size_t(z.rowTaps) * z.dh) || !PlanRing(z, convPixels) ||
        !Take(z.line, size_t(z.dw) * z.places + 16))
        return false;
    if (z.kind != CONVERT_NONE && !z.lookupDown && !Take(z.raw, (size_t(z.sw) + 16) * ((z.srcBits + 7) / 8) + 16))
        return false;
    // Wide rows of taps are made in the sums' room.
    if ((z.rowTaps > z.ringSlots || 2 * z.colPairCount > 4096) &&
        !Take(z.sums, std::max(size_t(z.dw) * z.places, size_t(z.colPairCount) + 1)))
        return false;
    if (z.kind == CONVERT_GRAY) {  // a gray depends on bits 0 ... hi only: a table small enough to stay in cache
        const uint32_t values = 1u << (z.hi + 1);
        z.grayMask = values - 1;
        if (!Take(z.grayTable, values))
            return false;
        for (uint32_t v = 0; v < values; ++v)
            z.grayTable[v] = GrayOf(z, v);
    }
    std::fill(z.slotRow, z.slotRow + z.ringSlots, -1);
    FillColumns(z, areaX);
    FillRows(z, areaY);
    return true;
}

// A span of an output row: inside the output, or refused.
bool SpanInside(const KResize *r, int row, int first, int count) {
    return r && row >= 0 && row < r->dh && first >= 0 && count >= 0 && first <= r->dw - count;
}

// The values of a span (nothing but the ring and its row buffers change).
int RowValues(KResize &r, int row, int first, int count, BYTE *values) {
    if (first != r.rangeFirst || count != r.rangeCount)
        std::fill(r.slotRow, r.slotRow + r.ringSlots, -1);
    r.rangeFirst = first, r.rangeCount = count;
    return Combine(r, row, values);
}

}  // namespace

extern "C" {

int __stdcall K_ResizeStart(const BitmapHandle *pSource, int nDstWidth, int nDstHeight, int nBits,
                            const RGBQUAD *pColors, int nColors, UINT uFlags, ResizeRowSource pfnRows,
                            void *pContext, KResize **ppResize) {
    if (!ppResize)
        return RC_INVALID_PARAMETER;
    *ppResize = nullptr;
    if (!pSource)
        return RC_NO_BITMAP;
    if (!pfnRows || nDstWidth <= 0 || nDstHeight <= 0 || pSource->Width <= 0 || pSource->Height <= 0 ||
        !IsValidDepth(pSource->BitsPerPixel) || !(nBits == 32 || nBits == 24 || nBits == 1 || nBits == 4 || nBits == 8) ||
        (nBits < 24 && (!pColors || nColors <= 0 || nColors > 256)) || !(uFlags & (RESIZE_AREA | RESIZE_BILINEAR)))
        return RC_INVALID_PARAMETER;
    zv::KPtr<KResize> r(static_cast<KResize *>(K_AllocZero(1, sizeof(KResize))));
    if (!r)
        return RC_NO_MEMORY;
    KResize &z = *r;
    z.src = pSource;
    z.sw = pSource->Width, z.sh = pSource->Height, z.dw = nDstWidth, z.dh = nDstHeight;
    z.srcBits = pSource->BitsPerPixel, z.outBits = nBits;
    z.flags = uFlags, z.rows = pfnRows, z.context = pContext;
    z.lastRow = -1;
    z.colorCount = nColors;
    if (nBits < 24) {
        std::memcpy(z.colors, pColors, sizeof(RGBQUAD) * nColors);
        z.grayRamp = IsGrayRamp(z.colors, nColors);
    }
    ChooseConversion(z);
    bool ok = Plan(z);
    if (ok && nBits < 24) {
        // A grid palette takes its tables; any other the 5-5-5 cache.
        ok = Take(z.grid, 1);
        if (ok && !MakeGrid(z, *z.grid))
            K_Free(z.grid), z.grid = nullptr;
        if (ok && !z.grid)
            ok = Take(z.nearest, 32768) && Take(z.known, 32768 / 32, true);
        if (ok && (uFlags & RESIZE_DITHER_ORDERED) != RESIZE_DITHER_ORDERED)
            ok = Take(z.errors, 3 * (size_t(z.dw) + 2), true);
    }
    if (!ok) {
        K_ResizeEnd(r.release());
        return RC_NO_MEMORY;
    }
    *ppResize = r.release();
    return RC_SUCCESS;
}

int __stdcall K_ResizeRowValues(KResize *pResize, int nRow, int nFirstColumn, int nCount, BYTE *pValues) {
    if (!pValues || !SpanInside(pResize, nRow, nFirstColumn, nCount))
        return RC_INVALID_PARAMETER;
    return nCount ? RowValues(*pResize, nRow, nFirstColumn, nCount, pValues) : RC_SUCCESS;
}

int __stdcall K_ResizePutRow(KResize *pResize, int nRow, int nFirstColumn, int nCount, const BYTE *pValues,
                             BYTE *pDst) {
    if (!pValues || !pDst || !SpanInside(pResize, nRow, nFirstColumn, nCount))
        return RC_INVALID_PARAMETER;
    if (nCount && pValues != pDst)
        PutRow(*pResize, nRow, nFirstColumn, nCount, pValues, pDst);
    return RC_SUCCESS;
}

// Values, then their put: straight in the caller's row where they are its
// pixels (the put then has nothing to do), else in the resize's own row.
int __stdcall K_ResizeRow(KResize *pResize, int nRow, int nFirstColumn, int nCount, BYTE *pDst) {
    if (!pDst || !SpanInside(pResize, nRow, nFirstColumn, nCount))
        return RC_INVALID_PARAMETER;
    BYTE *values = ValuesArePixels(*pResize) ? pDst : pResize->line;
    if (const int rc = K_ResizeRowValues(pResize, nRow, nFirstColumn, nCount, values); rc < 0)
        return rc;
    return K_ResizePutRow(pResize, nRow, nFirstColumn, nCount, values, pDst);
}

int __stdcall K_ResizeEnd(KResize *pResize) {
    if (!pResize)
        return RC_INVALID_PARAMETER;
    KResize &r = *pResize;
    for (void *p : {static_cast<void *>(r.grayTable), static_cast<void *>(r.raw), static_cast<void *>(r.conv),
                    static_cast<void *>(r.colFirst), static_cast<void *>(r.colPairs), static_cast<void *>(r.rowFirst),
                    static_cast<void *>(r.rowCount), static_cast<void *>(r.rowWeights), static_cast<void *>(r.ring),
                    static_cast<void *>(r.slotRow), static_cast<void *>(r.tapRows), static_cast<void *>(r.sums),
                    static_cast<void *>(r.line), static_cast<void *>(r.errors), static_cast<void *>(r.nearest),
                    static_cast<void *>(r.known), static_cast<void *>(r.sourceRing),
                    static_cast<void *>(r.sourceRows), static_cast<void *>(r.mid), static_cast<void *>(r.grid)})
        K_Free(p);
    K_Free(pResize);
    return RC_SUCCESS;
}

}  // extern "C"
