// Row converters (80 of them) and depth expanders (12), generated from one
// loop per method, one quantiser per target and one reader per source
// format (paint/convert_readers.h).
#include "paint/convert.h"

#include "frame/library.h"
#include "paint/convert_readers.h"
#include "paint/fixed_palettes.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace zv {

namespace {

using conv::Rgb;
using conv::RowContext;

inline int Clamp255(int v) { return std::min(std::max(v, 0), 255); }

inline int Luminance(int r, int g, int b) { return (2 * r + 5 * g + b + 4) >> 3; }

// e / 16 truncated toward zero (-15 / 16 is 0); compilers make it a
// shift with a sign fix-up.
inline int Sixteenth(int e) { return e / 16; }

// ---- quantisers ----------------------------------------------------------
//
// Each target prepares, once per call, tables indexed by a channel value
// before the paint table (the paint table is folded into them):
//   Part[ch][v]  the channel's contribution to the palette index;
//   Err[ch][v]   diffusion: the value the target measures its error on
//                (after the paint table) minus the palette entry's channel.
// That keeps the error-diffusion chain from one pixel to the next short:
// error -> channel -> one load -> error.  Diffuse(r, g, b, t, carry, d,
// next) takes the channels with the running error added (unclamped),
// returns the index, writes the three errors d and the next pixel's
// running errors carry + 7 d; Ordered(c, th, t) takes the raw channels and
// the threshold.

// Channel values reach the quantiser unclamped, as c + e / 16 in
// -255..510 (see the error row below), so the tables are 768 wide with
// index v + Bias and hold the entries of the clamped value at both ends.
constexpr int Bias = 256;
constexpr int Wide = 768;

struct Tables {
    // 1 bit: white exactly when 2R + 5G + B >= WhiteFrom, if Threshold.
    bool Threshold;
    int WhiteFrom;
    int16_t Err[3][Wide];
    int16_t Err7[3][Wide];  // 7 x Err: the share of the next pixel
    uint8_t Part[3][Wide];
    const BYTE *Lut;
};

// 1 bit: white when PaintLUT[luminance] >= 128; the error is measured
// before the paint table, so only the decision is tabulated.
struct MonoTarget {
    static constexpr int Bits = 1;
    // Err7[0][L] is 7 x the palette level (0 or 1785) for luminance L, so
    // that the next running error carry + 7 (c - p) is formed as
    // (carry + 7 c) - Err7[0][L]: the sum waits for the lookup only.
    static void Prepare(Tables &t, const BYTE *lut, bool diffuse) {
        t.Lut = lut;
        if (!diffuse)
            return;  // Ordered reads the paint table alone
        for (int v = 0; v < 256; ++v) {
            t.Part[0][v] = lut[v] >= 128;
            t.Err7[0][v] = static_cast<int16_t>(lut[v] >= 128 ? 7 * 255 : 0);
        }
        // Every monotone paint table turns white from one luminance T up
        // (T = 256: never); L >= T is (2R + 5G + B + 4) >> 3 >= T, that is
        // 2R + 5G + B >= 8 T - 4.  Other tables keep the lookup.
        int from = 256;
        while (from > 0 && lut[from - 1] >= 128)
            --from;
        t.Threshold = std::none_of(lut, lut + from, [](BYTE v) { return v >= 128; });
        t.WhiteFrom = 8 * from - 4;
    }
    static int Diffuse(int r, int g, int b, const Tables &t, const int carry[3], int d[3], int next[3]) {
        r = Clamp255(r);
        g = Clamp255(g);
        b = Clamp255(b);
        const int l = Luminance(r, g, b);
        const int white = t.Part[0][l], p7 = t.Err7[0][l];
        const int p = -white & 255;
        d[0] = r - p;
        d[1] = g - p;
        d[2] = b - p;
        next[0] = (carry[0] + 7 * r) - p7;
        next[1] = (carry[1] + 7 * g) - p7;
        next[2] = (carry[2] + 7 * b) - p7;
        return white;
    }
    static int Ordered(const Rgb &c, int th, const Tables &t) { return t.Lut[Luminance(c.r, c.g, c.b)] > th; }
};

// Channel-wise targets: the index is the sum of the three parts, remapped
// by Finish.
template <class Kind>
struct ChannelTarget {
    static constexpr int Bits = Kind::Bits;
    // Ordered rows need the parts alone (16 colours not even those): a
    // converter prepares its tables for every row, which short rows feel.
    static void Prepare(Tables &t, const BYTE *lut, bool diffuse) {
        t.Lut = lut;
        if (!diffuse && Kind::Bits == 4)
            return;
        for (int ch = 0; ch < 3; ++ch) {
            uint8_t *part = t.Part[ch] + Bias;
            for (int v = 0; v < 256; ++v)
                part[v] = static_cast<uint8_t>(Kind::Part(ch, lut[v]));
            Extend(t.Part[ch], part);
            if (!diffuse)
                continue;
            int16_t *err = t.Err[ch] + Bias, *err7 = t.Err7[ch] + Bias;
            for (int v = 0; v < 256; ++v) {
                const int l = lut[v];
                err[v] = static_cast<int16_t>(l - Kind::Level(ch, l));
                err7[v] = static_cast<int16_t>(7 * err[v]);
            }
            Extend(t.Err[ch], err);
            Extend(t.Err7[ch], err7);
        }
    }
    // The clamped value's entries on both sides of the 256 in the middle.
    template <class T>
    static void Extend(T *row, T *middle) {
        std::fill(row, middle, middle[0]);
        std::fill(middle + 256, row + Wide, middle[255]);
    }
    // r, g, b unclamped, -255..510.
    static int Diffuse(int r, int g, int b, const Tables &t, const int carry[3], int d[3], int next[3]) {
        d[0] = t.Err[0][r + Bias];
        d[1] = t.Err[1][g + Bias];
        d[2] = t.Err[2][b + Bias];
        next[0] = carry[0] + t.Err7[0][r + Bias];
        next[1] = carry[1] + t.Err7[1][g + Bias];
        next[2] = carry[2] + t.Err7[2][b + Bias];
        return Kind::Finish(t.Part[0][r + Bias] + t.Part[1][g + Bias] + t.Part[2][b + Bias]);
    }
    static int Ordered(const Rgb &c, int th, const Tables &t) {
        if constexpr (Kind::Bits == 4) {
            const BYTE *lut = t.Lut;
            return Kind::Finish((lut[c.r] > th) | (lut[c.g] > th) << 1 | (lut[c.b] > th) << 2);
        } else {
            const int o = Kind::Offset(th);
            return t.Part[0][c.r + o + Bias] + t.Part[1][c.g + o + Bias] + t.Part[2][c.b + o + Bias];
        }
    }
};

// 16 colours: a bit per channel at 128; only black and the bright colours
// 9-15 occur, so each palette channel is 0 or 255 by its own bit.
struct Vga16Kind {
    static constexpr int Bits = 4;
    static int Part(int ch, int l) { return (l >= 128) << ch; }
    static int Level(int, int l) { return l >= 128 ? 255 : 0; }
    // bits ? bits + 8 : 0, as a lookup: the test mispredicts on dithered data.
    static int Finish(int bits) {
        static constexpr uint8_t index[8] = {0, 9, 10, 11, 12, 13, 14, 15};
        return index[bits];
    }
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
//
// Bounds: |d| <= 255, so an entry written here is at most 9 x 255 = 2295
// and a running error at most 2295 + 7 x 255 = 4080, whose sixteenth is
// at most 255.  The quantisers' tables rely on that (channel + error / 16
// in -255..510), so entries of the span are first limited to +-2295: a
// no-op for every buffer that started zero-filled, and what keeps a
// buffer of garbage from indexing outside the tables.
constexpr int MaxEntry = 9 * 255;

void LimitEntries(ErrorEntry *err, int n) {
    for (int k = 0; k < n; ++k) {
        err[k].Red = std::min(std::max(err[k].Red, -MaxEntry), MaxEntry);
        err[k].Green = std::min(std::max(err[k].Green, -MaxEntry), MaxEntry);
        err[k].Blue = std::min(std::max(err[k].Blue, -MaxEntry), MaxEntry);
    }
}

// The open state of the row between two pixels.
struct DiffuseState {
    int e[3];          // running error of the next pixel
    int belowLeft[3];  // entry k - 1 so far
    int below[3];      // entry k so far: d(k-1)
};

// One pixel; First and Last are compile-time so that the loop body has no
// test of its own (forced inline, so the state stays in registers).
template <class Target, class Reader, bool First, bool Last, class Out>
__attribute__((always_inline)) inline void DiffusePixel(DiffuseState &st, Out &out, const BYTE *src, int x, int k,
                                                        ErrorEntry *err, const Tables &t, const RowContext &c) {
    const Rgb p = Reader::Read(src, x, c);
    int carry[3] = {0, 0, 0}, d[3], next[3];
    if constexpr (!Last) {
        carry[0] = err[k + 1].Red;
        carry[1] = err[k + 1].Green;
        carry[2] = err[k + 1].Blue;
    }
    out.Put(Target::Diffuse(p.r + Sixteenth(st.e[0]), p.g + Sixteenth(st.e[1]), p.b + Sixteenth(st.e[2]), t, carry,
                            d, next));
    if constexpr (!First) {
        err[k - 1].Red = st.belowLeft[0] + 3 * d[0];
        err[k - 1].Green = st.belowLeft[1] + 3 * d[1];
        err[k - 1].Blue = st.belowLeft[2] + 3 * d[2];
    }
    for (int i = 0; i < 3; ++i) {
        st.belowLeft[i] = st.below[i] + 5 * d[i];
        st.below[i] = d[i];
    }
    if constexpr (!Last) {
        st.e[0] = next[0];
        st.e[1] = next[1];
        st.e[2] = next[2];
    }
}

template <class Target, class Reader>
void DiffuseRow(BYTE *dst, const BYTE *src, int start, int end, ErrorEntry *err, const Tables &t,
                const RowContext &c) {
    Packer<Target::Bits> out{dst};
    const int n = end - start;
    LimitEntries(err, n);
    DiffuseState st{{err[0].Red, err[0].Green, err[0].Blue}, {0, 0, 0}, {0, 0, 0}};
    if (n == 1) {
        DiffusePixel<Target, Reader, true, true>(st, out, src, start, 0, err, t, c);
    } else {
        DiffusePixel<Target, Reader, true, false>(st, out, src, start, 0, err, t, c);
        for (int k = 1; k < n - 1; ++k)
            DiffusePixel<Target, Reader, false, false>(st, out, src, start + k, k, err, t, c);
        DiffusePixel<Target, Reader, false, true>(st, out, src, end - 1, n - 1, err, t, c);
    }
    err[n - 1].Red = st.belowLeft[0];
    err[n - 1].Green = st.belowLeft[1];
    err[n - 1].Blue = st.belowLeft[2];
    out.Finish();
}

// ---- 1-bit error diffusion on a threshold -----------------------------------
//
// The same diffusion as above, reshaped for the 1-bit target, whose chain
// from one pixel to the next is the longest: all three channels meet in
// the luminance before the decision that feeds back into each.  With the
// decision a comparison of 2R + 5G + B against a bound (no table load) the
// chain is: running error -> clamped channel -> weighted sum -> compare ->
// running error.  The error row is handled in two passes so the chain loop
// keeps only the running error in registers: the first writes d(k) over
// entry k once its old value is spent (pixel k - 1 read it as its carry),
// the second turns the differences into 1 x d(k-1) + 5 x d(k) + 3 x d(k+1).

// clamp(c + e / 16, 0, 255) with the division truncating toward zero:
// z = 16 c + e, plus 15 when e < 0 (so the shift's floor becomes a
// truncation), clamped to 0..4095 and shifted by 4.  |e| <= 4080 (see
// MaxEntry), so u is far inside 20 bits and the complement of u shifted
// by 20 is 0 for negative u and 4095 for positive: the clamped z when z
// is outside (z < 0 only when u < 0, z > 4095 only when u > 0).
inline int ClampedChannel(int c, int e) {
    const int u = e + 16 * c;
    int z = e < 0 ? u + 15 : u;
    const int outside = static_cast<int>(~static_cast<unsigned>(u) >> 20);
    z = static_cast<unsigned>(z) > 4095u ? outside : z;
    return z >> 4;
}

// One pixel: returns the bit, leaves d in entry and the next pixel's
// running error (carry + 7 d) in e.
inline int MonoStep(const Rgb &p, int e[3], const ErrorEntry &carry, ErrorEntry &entry, int whiteFrom) {
    const int r = ClampedChannel(p.r, e[0]), g = ClampedChannel(p.g, e[1]), b = ClampedChannel(p.b, e[2]);
    const int white = -static_cast<int>(2 * r + 5 * g + b >= whiteFrom);  // all ones or zero
    const int level = white & 255, level7 = white & (7 * 255);
    e[0] = carry.Red + 7 * r - level7;
    e[1] = carry.Green + 7 * g - level7;
    e[2] = carry.Blue + 7 * b - level7;
    entry = ErrorEntry{r - level, g - level, b - level};
    return white & 1;
}

// Entries 0..n-1 hold d(k); make them the next row's errors.
void SpreadDifferences(ErrorEntry *err, int n) {
    ErrorEntry prev{0, 0, 0};
    for (int k = 0; k + 1 < n; ++k) {
        const ErrorEntry d = err[k], next = err[k + 1];
        err[k] = ErrorEntry{prev.Red + 5 * d.Red + 3 * next.Red, prev.Green + 5 * d.Green + 3 * next.Green,
                            prev.Blue + 5 * d.Blue + 3 * next.Blue};
        prev = d;
    }
    const ErrorEntry d = err[n - 1];
    err[n - 1] = ErrorEntry{prev.Red + 5 * d.Red, prev.Green + 5 * d.Green, prev.Blue + 5 * d.Blue};
}

template <class Reader>
void MonoDiffuseRowScalar(BYTE *dst, const BYTE *src, int start, int end, ErrorEntry *err, int whiteFrom,
                          const RowContext &c) {
    Packer<1> out{dst};
    const int n = end - start;
    LimitEntries(err, n);
    int e[3] = {err[0].Red, err[0].Green, err[0].Blue};
    for (int k = 0; k + 1 < n; ++k)
        out.Put(MonoStep(Reader::Read(src, start + k, c), e, err[k + 1], err[k], whiteFrom));
    out.Put(MonoStep(Reader::Read(src, end - 1, c), e, ErrorEntry{0, 0, 0}, err[n - 1], whiteFrom));
    out.Finish();
    SpreadDifferences(err, n);
}

#if defined(__x86_64__)
// ---- 1-bit error diffusion of 24-bit rows on x86-64 -------------------------
//
// The loop above takes about 22 cycles a pixel: its chain is long and it
// runs many instructions (the machines here retire about 4 a cycle, so the
// count matters as much as the chain).  This one takes about 10:
//
// - The clamped channel comes from a table, as 7 z (the share the next
//   pixel needs), indexed by 16 c + e with e formed as a 16-bit sum: a
//   negative error (-4080..-1) becomes 61456..65535, so its index lies
//   beyond every non-negative error's (16 c + e <= 8160) and one lookup
//   gives the truncating division and both clamps.  The row of channel
//   value c is a pointer from a 256-entry table.
// - The chain does not wait for the decision: for pixel k + 1 it looks up
//   the value for both outcomes of pixel k (running error carry + 7 z and
//   carry + 7 z - 1785), and the comparison of 2R + 5G + B (in sevenths,
//   from the 7 z values) only picks one of the two loaded values.  The
//   chain is table load -> 16-bit add (-> subtract) -> table load ->
//   select, with the decision beside it.
// - The error row is finished in the same loop in vector registers, in
//   sevenths (7 d is what the chain has), divided by 7 exactly (multiply by
//   the inverse of 7 modulo 2^16: every sum is a multiple of 7 within
//   int16).  Entry k - 1 is stored as 16 bytes once pixel k is decided; the
//   4 bytes beyond it are entry k's red, already read as pixel k's carry.
// - Eight pixels a round, so their bits make one output byte; the few
//   pixels before the first round and after the last take MonoPixel, which
//   keeps the same state.
//
// Every entry must be within +-MaxEntry before it is read, so that the
// 16-bit sum stays within -4080..4080 (any value at all indexes inside the
// table, but only those give the limited entry's result): a vectorised
// read-only check a batch of rounds ahead, and the limit pass only where
// it fails.  Tried and not kept: pairing pixels
// in the vector part, finishing the entries eight pixels at a time in int16
// lanes, the loop inside the assembly (none measurably faster); masking a
// 32-bit sum with 16383 instead of the 16-bit sum (a 40 KB table, but two
// more instructions a channel: 9 % slower).

// 7 x clamp(c + e / 16) at [16 c + (e mod 65536)], e in -4080..4080: the
// loop forms e as a 16-bit sum.  Non-negative errors index 0..8160,
// negative ones 61456..69615; the entries between are never read, and as
// the table is filled on first use (zero-initialised storage), their
// pages are never touched either.
constexpr int MonoWrap = 65536;
constexpr int MonoTableSize = 16 * 255 + MonoWrap;

struct MonoSevenths {
    alignas(64) int16_t Value[MonoTableSize];
    const int16_t *Rows[256];  // &Value[16 c]
};

// Filled by the first caller; others wait for it (a plain atomic rather
// than a guarded static, which would pull the runtime's lock machinery
// into the library).
const MonoSevenths &MonoTable() {
    static MonoSevenths t;
    static std::atomic<int> state{0};  // 0 empty, 1 being filled, 2 ready
    if (state.load(std::memory_order_acquire) == 2)
        return t;
    int expected = 0;
    if (state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
        auto put = [](int j, int z) { t.Value[j] = static_cast<int16_t>(7 * std::min(std::max(z, 0), 255)); };
        for (int j = 0; j <= 16 * 255 + 4080; ++j)
            put(j, j >> 4);  // e >= 0: the floor is the truncation
        for (int j = MonoWrap - 4080; j < MonoTableSize; ++j) {
            const int u = j - MonoWrap;  // 16 c + e with e < 0: round toward 16 c
            put(j, u < 0 ? -(-u >> 4) : (u + 15) >> 4);
        }
        for (int c = 0; c < 256; ++c)
            t.Rows[c] = t.Value + 16 * c;
        state.store(2, std::memory_order_release);
    } else {
        while (state.load(std::memory_order_acquire) != 2)
            SwitchToThread();
    }
    return t;
}

inline int MonoSeventh(const MonoSevenths &t, int c, int e) { return t.Value[16 * c + (e & (MonoWrap - 1))]; }

// True when every entry of the span is within +-MaxEntry.
bool EntriesInRange(const ErrorEntry *err, int n) {
    const int32_t *p = &err[0].Red;
    const int m = 3 * n;
    int i = 0;
    __m128i hi = _mm_set1_epi16(-MaxEntry), lo = _mm_set1_epi16(MaxEntry);
    for (; i + 8 <= m; i += 8) {
        // saturating to int16 keeps anything beyond +-32767 out of range
        const __m128i v = _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 4)));
        hi = _mm_max_epi16(hi, v);
        lo = _mm_min_epi16(lo, v);
    }
    const __m128i bad = _mm_or_si128(_mm_cmpgt_epi16(hi, _mm_set1_epi16(MaxEntry)),
                                     _mm_cmplt_epi16(lo, _mm_set1_epi16(-MaxEntry)));
    if (_mm_movemask_epi8(bad))
        return false;
    for (; i < m; ++i)
        if (p[i] > MaxEntry || p[i] < -MaxEntry)
            return false;
    return true;
}

// The state between pixels, in sevenths: p = 7 z of the pixel to decide,
// below = 7 d(k-1), belowLeft = 7 (d(k-2) + 5 d(k-1)) (entry k - 1 so far).
struct MonoState {
    int p[3];
    int below[3], belowLeft[3];
    unsigned black;  // one bit a pixel, the latest lowest
    int white7;      // 7 x the bound on 2R + 5G + B, 0..14336
    const MonoSevenths *table;
};

// Pixel k: decide it, write entry k - 1 (k > 0), and unless it is the
// last, leave pixel k + 1's 7 z in st.p.
template <class Reader>
inline void MonoPixel(MonoState &st, const BYTE *src, int x, ErrorEntry *err, int k, bool last,
                      const RowContext &c) {
    const bool white = 2 * st.p[0] + 5 * st.p[1] + st.p[2] >= st.white7;
    st.black = st.black << 1 | !white;
    int d7[3], entry[3];
    for (int i = 0; i < 3; ++i) {
        d7[i] = st.p[i] - (white ? 7 * 255 : 0);
        entry[i] = (st.belowLeft[i] + 3 * d7[i]) / 7;
        st.belowLeft[i] = st.below[i] + 5 * d7[i];
        st.below[i] = d7[i];
    }
    if (k > 0)
        err[k - 1] = ErrorEntry{entry[0], entry[1], entry[2]};
    if (!last) {
        const Rgb p = Reader::Read(src, x + 1, c);
        st.p[0] = MonoSeventh(*st.table, p.r, err[k + 1].Red + d7[0]);
        st.p[1] = MonoSeventh(*st.table, p.g, err[k + 1].Green + d7[1]);
        st.p[2] = MonoSeventh(*st.table, p.b, err[k + 1].Blue + d7[2]);
    }
}

// Operands of the loop at fixed offsets (one asm operand).
struct MonoConstants {
    __m128i level7;    // 0: 7 x 255 in each int32
    __m128i inverse7;  // 16: 0x6DB7 in each int16, 7 x 0x6DB7 = 3 x 2^16 + 1
    __m128i below7;    // 32: white7 - 1 in each int32: white when 7 (2R + 5G + B) > below7
    int white7;        // 48
    int16_t level7w;   // 52: 7 x 255
};
static_assert(offsetof(MonoConstants, inverse7) == 16 && offsetof(MonoConstants, below7) == 32 &&
              offsetof(MonoConstants, white7) == 48 && offsetof(MonoConstants, level7w) == 52);

// One channel of one pixel: q = row of the next pixel's channel value,
// e = carry + 7 z and x = e - 1785 as 16-bit sums (the upper bits stay
// zero from movzwl); Y = value if this pixel is black, P = if white.
#define ZV_MONO_CHANNEL(P, Y, SRC, ERR)                                                                       \
    "movzbl " SRC "(%[src]), %k[q]\n\t"                                                                       \
    "movq (%[rows],%[q],8), %[q]\n\t"                                                                         \
    "movzwl " ERR "(%[err]), %k[e]\n\t"                                                                       \
    "addw %w[" P "], %w[e]\n\t"                                                                               \
    "movl %k[e], %k[x]\n\t"                                                                                   \
    "subw 52+%[k], %w[x]\n\t"                                                                                 \
    "movswq (%[q],%[e],2), %[" Y "]\n\t"                                                                      \
    "movswq (%[q],%[x],2), %[" P "]\n\t"

// Pixel k of the round: SRC* are the byte offsets of pixel k + 1's red,
// green and blue, ERR* of entry k + 1's, OUT of entry k - 1.
#define ZV_MONO_PIXEL(SRCR, SRCG, SRCB, ERRR, ERRG, ERRB, OUT)                                                \
    "movd %k[pr], %[t0]\n\t"                                                                                  \
    "pinsrw $2, %k[pg], %[t0]\n\t"                                                                            \
    "pinsrw $4, %k[pb], %[t0]\n\t"                                                                            \
    "leal (%q[pg],%q[pg],4), %k[s]\n\t"                                                                       \
    "leal (%q[s],%q[pr],2), %k[s]\n\t"                                                                        \
    "addl %k[pb], %k[s]\n\t"                                                                                  \
    ZV_MONO_CHANNEL("pr", "yr", SRCR, ERRR)                                                                   \
    ZV_MONO_CHANNEL("pg", "yg", SRCG, ERRG)                                                                   \
    ZV_MONO_CHANNEL("pb", "yb", SRCB, ERRB)                                                                   \
    "cmpl 48+%[k], %k[s]\n\t"                                                                               \
    "cmovbq %[yr], %[pr]\n\t"                                                                                 \
    "cmovbq %[yg], %[pg]\n\t"                                                                                 \
    "cmovbq %[yb], %[pb]\n\t"                                                                                 \
    "adcl %[black], %[black]\n\t"                                                                             \
    "movd %k[s], %[t1]\n\t"                                                                                   \
    "pshufd $0, %[t1], %[t1]\n\t"                                                                             \
    "pcmpgtd 32+%[k], %[t1]\n\t"                                                                            \
    "pand 0+%[k], %[t1]\n\t"                                                                               \
    "psubd %[t1], %[t0]\n\t"                                                                                  \
    "movdqa %[t0], %[t1]\n\t"                                                                                 \
    "paddd %[t0], %[t1]\n\t"                                                                                  \
    "paddd %[t0], %[t1]\n\t"                                                                                  \
    "paddd %[bl], %[t1]\n\t"                                                                                  \
    "packssdw %[t1], %[t1]\n\t"                                                                               \
    "pmullw 16+%[k], %[t1]\n\t"                                                                           \
    "punpcklwd %[t1], %[t1]\n\t"                                                                              \
    "psrad $16, %[t1]\n\t"                                                                                    \
    "movdqu %[t1], " OUT "(%[err])\n\t"                                                                       \
    "movdqa %[t0], %[bl]\n\t"                                                                                 \
    "pslld $2, %[bl]\n\t"                                                                                     \
    "paddd %[t0], %[bl]\n\t"                                                                                  \
    "paddd %[b], %[bl]\n\t"                                                                                   \
    "movdqa %[t0], %[b]\n\t"

// Eight pixels; R and B: byte offsets of red and blue in a pixel.
#define ZV_MONO_ROUND(R, B)                                                                                   \
    ZV_MONO_PIXEL(#R "+3", "4", #B "+3", "12", "16", "20", "-12")                                             \
    ZV_MONO_PIXEL(#R "+6", "7", #B "+6", "24", "28", "32", "0")                                               \
    ZV_MONO_PIXEL(#R "+9", "10", #B "+9", "36", "40", "44", "12")                                             \
    ZV_MONO_PIXEL(#R "+12", "13", #B "+12", "48", "52", "56", "24")                                           \
    ZV_MONO_PIXEL(#R "+15", "16", #B "+15", "60", "64", "68", "36")                                           \
    ZV_MONO_PIXEL(#R "+18", "19", #B "+18", "72", "76", "80", "48")                                           \
    ZV_MONO_PIXEL(#R "+21", "22", #B "+21", "84", "88", "92", "60")                                           \
    ZV_MONO_PIXEL(#R "+24", "25", #B "+24", "96", "100", "104", "72")                                         \
    "addq $24, %[src]\n\t"                                                                                    \
    "addq $96, %[err]\n\t"

#define ZV_MONO_ASM(R, B)                                                                                     \
    asm volatile(ZV_MONO_ROUND(R, B)                                                                          \
                 : [pr] "+r"(pr), [pg] "+r"(pg), [pb] "+r"(pb), [yr] "=&r"(yr), [yg] "=&r"(yg), [yb] "=&r"(yb), \
                   [s] "=&r"(s), [q] "=&r"(q), [e] "=&r"(e), [x] "=&r"(x), [black] "+r"(black), [src] "+r"(px), \
                   [err] "+r"(entry), [b] "+x"(below), [bl] "+x"(belowLeft), [t0] "=&x"(t0), [t1] "=&x"(t1)     \
                 : [rows] "r"(rows), [k] "m"(constants)                                                        \
                 : "cc", "memory")

// Pixels k0 .. k0 + 8 rounds - 1 (k0 > 0, a multiple of 8, and pixel
// k0 + 8 rounds within the span); dst: their output bytes.
template <bool BlueFirstOrder>
void MonoRounds(MonoState &st, const BYTE *src, ErrorEntry *err, int k0, int rounds, BYTE *dst) {
    uint64_t pr = static_cast<uint32_t>(st.p[0]), pg = static_cast<uint32_t>(st.p[1]),
             pb = static_cast<uint32_t>(st.p[2]);
    uint64_t yr, yg, yb, s, q, e, x;
    unsigned black = st.black;
    __m128i below = _mm_setr_epi32(st.below[0], st.below[1], st.below[2], 0);
    __m128i belowLeft = _mm_setr_epi32(st.belowLeft[0], st.belowLeft[1], st.belowLeft[2], 0);
    __m128i t0, t1;
    const MonoConstants constants{_mm_set1_epi32(7 * 255), _mm_set1_epi16(0x6DB7), _mm_set1_epi32(st.white7 - 1),
                                  st.white7, 7 * 255};
    const BYTE *px = src + static_cast<ptrdiff_t>(k0) * 3;
    ErrorEntry *entry = err + k0;
    const int16_t *const *rows = st.table->Rows;
    for (int i = 0; i < rounds; ++i) {
        if constexpr (BlueFirstOrder)
            ZV_MONO_ASM(2, 0);
        else
            ZV_MONO_ASM(0, 2);
        dst[i] = static_cast<BYTE>(~black);
    }
    st.p[0] = static_cast<int>(pr);
    st.p[1] = static_cast<int>(pg);
    st.p[2] = static_cast<int>(pb);
    st.black = black;
    alignas(16) int32_t v[4];
    _mm_store_si128(reinterpret_cast<__m128i *>(v), below);
    std::copy(v, v + 3, st.below);
    _mm_store_si128(reinterpret_cast<__m128i *>(v), belowLeft);
    std::copy(v, v + 3, st.belowLeft);
}

#undef ZV_MONO_ASM
#undef ZV_MONO_ROUND
#undef ZV_MONO_PIXEL
#undef ZV_MONO_CHANNEL

template <bool BlueFirstOrder>
void MonoDiffuseRow24(BYTE *dst, const BYTE *src, int start, int end, ErrorEntry *err, int whiteFrom,
                      const RowContext &c) {
    using Reader = conv::Reader24<BlueFirstOrder>;
    const int n = end - start;
    // Entries are checked (and limited if need be) a batch ahead of the
    // pixels that read them, while the batch is still in the cache; each
    // is read once, so limiting it just before is limiting the row.
    int checked = 0;
    auto limit = [&](int upTo) {
        upTo = std::min(upTo, n);
        if (upTo > checked && !EntriesInRange(err + checked, upTo - checked))
            LimitEntries(err + checked, upTo - checked);
        checked = std::max(checked, upTo);
    };
    limit(16);
    src += static_cast<ptrdiff_t>(start) * 3;
    MonoState st{};
    st.white7 = 7 * std::min(std::max(whiteFrom, 0), 2048);  // 2R + 5G + B is 0..2040
    const Rgb p = Reader::Read(src, 0, c);
    st.table = &MonoTable();
    st.p[0] = MonoSeventh(*st.table, p.r, err[0].Red);
    st.p[1] = MonoSeventh(*st.table, p.g, err[0].Green);
    st.p[2] = MonoSeventh(*st.table, p.b, err[0].Blue);
    auto scalar = [&](int k) {
        MonoPixel<Reader>(st, src, k, err, k, k == n - 1, c);
        if ((k & 7) == 7)
            dst[k >> 3] = static_cast<BYTE>(~st.black);
    };
    int k = 0;
    for (; k < n - 1 && k < 8; ++k)
        scalar(k);
    for (int rounds = k == 8 ? (n - 1 - k) / 8 : 0; rounds > 0;) {
        const int batch = std::min(rounds, 32);
        limit(k + 8 * batch + 1);
        MonoRounds<BlueFirstOrder>(st, src, err, k, batch, dst + k / 8);
        k += 8 * batch;
        rounds -= batch;
    }
    limit(n);
    for (; k < n; ++k)
        scalar(k);
    err[n - 1] = ErrorEntry{st.belowLeft[0] / 7, st.belowLeft[1] / 7, st.belowLeft[2] / 7};
    if (const int used = n & 7) {
        BYTE &last = dst[n >> 3];
        last = static_cast<BYTE>((~st.black << (8 - used) & 0xFFu) | (last & (0xFFu >> used)));
    }
}
#endif

template <class Reader>
struct IsBytes24 : std::false_type {};
template <bool B>
struct IsBytes24<conv::Reader24<B>> : std::true_type {};

template <class Reader>
void MonoDiffuseRow(BYTE *dst, const BYTE *src, int start, int end, ErrorEntry *err, int whiteFrom,
                    const RowContext &c) {
#if defined(__x86_64__)
    if constexpr (IsBytes24<Reader>::value) {
        MonoDiffuseRow24<std::is_same_v<Reader, conv::Reader24<true>>>(dst, src, start, end, err, whiteFrom, c);
        return;
    }
#endif
    MonoDiffuseRowScalar<Reader>(dst, src, start, end, err, whiteFrom, c);
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
    Target::Prepare(t, b->PaintLUT ? b->PaintLUT : IdentityTable.data(), !Ordered && errors);
    const uint8_t *matrix = Target::Bits == 1 && (mode & DISP_CLUSTERED_DITHER) ? ClusteredDitherMatrix.data()
                                                                                 : DispersedDitherMatrix.data();
    conv::WithReader<Bits>(b, c, [&](auto reader) {
        using Reader = decltype(reader);
        // A diffusion member without an error row has nothing to carry the
        // error in; it dithers in order rather than write through null.
        if constexpr (!Ordered) {
            if (errors) {
                if constexpr (std::is_same_v<Target, MonoTarget>) {
                    if (t.Threshold) {
                        MonoDiffuseRow<Reader>(dst, src, start, end, errors, t.WhiteFrom, c);
                        return;
                    }
                }
                DiffuseRow<Target, Reader>(dst, src, start, end, errors, t, c);
                return;
            }
        }
        OrderedRow<Target, Reader>(dst, src, start, end, column, row, matrix, t, c);
    });
}

template <int Bits, int TargetBits, bool Ordered>
void ModeConverter(BYTE *dst, const BYTE *src, const BitmapHandle *pBitmap, int start, int end, int column, int row,
                   ErrorRow errors, const RGBQUAD *pPalette, UINT mode) {
    if (start >= end)
        return;
    if constexpr (TargetBits == 1)
        RunConverter<Bits, MonoTarget, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette, mode);
    else if constexpr (TargetBits == 4)
        RunConverter<Bits, Vga16Target, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette, mode);
    else if (mode & DISP_CUBE_PALETTE)
        RunConverter<Bits, CubeTarget, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette, mode);
    else
        RunConverter<Bits, Rgb332Target, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette, mode);
}

template <int Bits, int TargetBits, bool Ordered>
void Converter(BYTE *dst, const BYTE *src, const BitmapHandle *pBitmap, int start, int end, int column, int row,
               ErrorRow errors, const RGBQUAD *pPalette) {
    if (start < end)
        ModeConverter<Bits, TargetBits, Ordered>(dst, src, pBitmap, start, end, column, row, errors, pPalette,
                                                 GetPaintSettings()->DisplayMode);
}

// The table: one row per source depth, members for targets 1, 4 and 8,
// error diffusion then ordered.  A 1-bit source has nothing to reduce for
// 1- and 4-bit displays.
// Each member comes with its twin that is given the display mode instead
// of reading the thread's (for rows converted off the painting thread).
struct ConverterRow {
    int SourceBits;
    RowConverter ByTarget[3][2];
    ModeRowConverter WithMode[3][2];
};

template <int Bits>
constexpr ConverterRow RowOf() {
    return ConverterRow{Bits,
                        {{Converter<Bits, 1, false>, Converter<Bits, 1, true>},
                         {Converter<Bits, 4, false>, Converter<Bits, 4, true>},
                         {Converter<Bits, 8, false>, Converter<Bits, 8, true>}},
                        {{ModeConverter<Bits, 1, false>, ModeConverter<Bits, 1, true>},
                         {ModeConverter<Bits, 4, false>, ModeConverter<Bits, 4, true>},
                         {ModeConverter<Bits, 8, false>, ModeConverter<Bits, 8, true>}}};
}

constexpr ConverterRow Converters[] = {
    {1,
     {{nullptr, nullptr}, {nullptr, nullptr}, {Converter<1, 8, false>, Converter<1, 8, true>}},
     {{nullptr, nullptr}, {nullptr, nullptr}, {ModeConverter<1, 8, false>, ModeConverter<1, 8, true>}}},
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
// window-level table entry.  The scale is a 256-entry table made once per
// row, so neither the table test nor the division is in the pixel loop.
template <int Bits, int OutBytes>
void ExpandGray(BYTE *dst, const BYTE *src, const BitmapHandle *b, int start, int end) {
    RowContext c;
    conv::SetGrayBits(b, c);
    const unsigned m = c.Mask;
    if (c.Window) {
        for (int x = start; x < end; ++x, dst += OutBytes) {
            const RGBQUAD &q = c.Window[std::min<uint32_t>((conv::RawGray<Bits>(src, x) >> c.Shift) & m, c.WindowLast)];
            dst[0] = q.rgbBlue;
            if constexpr (OutBytes == 3) {
                dst[1] = q.rgbGreen;
                dst[2] = q.rgbRed;
            }
        }
        return;
    }
    BYTE level[256];
    for (unsigned v = 0; v < 256; ++v)
        level[v] = conv::GrayLevel(v, m);
    for (int x = start; x < end; ++x, dst += OutBytes) {
        const BYTE v = level[(conv::RawGray<Bits>(src, x) >> c.Shift) & 0xFF];
        for (int i = 0; i < OutBytes; ++i)
            dst[i] = v;
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

namespace {

const ConverterRow *ConverterRowOf(int nSourceBits, int nTargetBits, int *target) {
    *target = nTargetBits == 1 ? 0 : nTargetBits == 4 ? 1 : nTargetBits == 8 ? 2 : -1;
    if (*target >= 0)
        for (const ConverterRow &r : Converters)
            if (r.SourceBits == nSourceBits)
                return &r;
    return nullptr;
}

}  // namespace

RowConverter GetRowConverter(int nSourceBits, int nTargetBits, bool bOrdered) {
    int target;
    const ConverterRow *r = ConverterRowOf(nSourceBits, nTargetBits, &target);
    return r ? r->ByTarget[target][bOrdered ? 1 : 0] : nullptr;
}

ModeRowConverter GetModeRowConverter(int nSourceBits, int nTargetBits, bool bOrdered) {
    int target;
    const ConverterRow *r = ConverterRowOf(nSourceBits, nTargetBits, &target);
    return r ? r->WithMode[target][bOrdered ? 1 : 0] : nullptr;
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
