// zvfuzz: a seeded mutation run over the readers of data that comes from
// outside the process: metafile bytes and files (Z_ParseMetaBits,
// Z_LoadMetaBitmap), stored region data (Z_SetBitmapRgnData), the
// clipboard's formats (Z_CopyFromClipboard) and BMP files
// (K_LoadBitmapFile).  Valid inputs are made here, then mutated.
//
//   zvfuzz [--seconds S] [--seed N] [--target all|meta|rgn|clip|bmp[,...]] [--out DIR]
//   zvfuzz --replay DIR/crash-<target>-<seed>-<case>.bin
//
// A case must return a documented status, release what it made, leave no
// kernel block or GDI object behind and keep the caller's data on failure.
// A crash writes the input being tried to DIR/crash-<target>-<seed>-<case>.bin
// before the process ends; a leak writes leak-...bin and a wrong status or
// changed data fault-...bin, and both fail the exit code.  Each case draws
// its choices from (seed, target, case) alone, so --replay repeats one.
#include "tools/common/gdi_count.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// xorshift64, seeded through a multiplicative mix.
struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s((seed + 1) * 0x9E3779B97F4A7C15ull) {}
    uint64_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    size_t Below(size_t n) { return n ? size_t(Next() % n) : 0; }
    bool OneIn(size_t n) { return Below(n) == 0; }
};

// ---- Mutations -------------------------------------------------------

constexpr uint32_t kBoundary[] = {0, 1, 2, 3, 4, 8, 12, 16, 40, 0x7F, 0x80, 0xFF, 0x100, 0x7FFF, 0x8000,
                                  0xFFFF, 0x10000, 0x3FFFFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};
constexpr uint8_t kInteresting[] = {0, 0xFF, 0x7F, 0x80};

// Headers are where readers go wrong: half the positions fall in the first 64 bytes.
size_t Position(Rng &r, size_t n) { return r.OneIn(2) ? r.Below(std::min<size_t>(n, 64)) : r.Below(n); }

void Put(Bytes &b, size_t at, uint32_t v, int width) {
    for (int i = 0; i < width && at + i < b.size(); ++i)
        b[at + i] = uint8_t(v >> 8 * i);
}

// One to four of: bit flip, interesting byte, 16/32-bit boundary value (or
// the size itself), truncation, extension, chunk duplication, random byte.
void Mutate(Bytes &b, Rng &r) {
    for (int k = 1 + int(r.Below(4)); k > 0; --k) {
        const size_t n = b.size();
        const int op = int(r.Below(8));
        if (!n && op != 5)
            continue;
        switch (op) {
        case 0: b[Position(r, n)] ^= uint8_t(1u << r.Below(8)); break;
        case 1: b[Position(r, n)] = kInteresting[r.Below(std::size(kInteresting))]; break;
        case 2:
        case 3: {
            const uint32_t v = r.OneIn(4) ? uint32_t(n + r.Below(3) - 1) : kBoundary[r.Below(std::size(kBoundary))];
            Put(b, Position(r, n) & ~size_t(1), v, op == 2 ? 2 : 4);
            break;
        }
        case 4: b.resize(r.Below(n)); break;
        case 5:
            for (size_t more = 1 + r.Below(64); more; --more)
                b.push_back(r.OneIn(2) ? 0 : uint8_t(r.Next()));
            break;
        case 6: {
            const size_t from = r.Below(n), len = 1 + r.Below(std::min<size_t>(n - from, 256));
            const Bytes chunk(b.begin() + from, b.begin() + from + len);
            b.insert(b.begin() + r.Below(n + 1), chunk.begin(), chunk.end());
            break;
        }
        default: b[Position(r, n)] = uint8_t(r.Next()); break;
        }
    }
    if (b.size() > (1u << 20))
        b.resize(1u << 20);
}

// ---- The case being tried, for the crash handlers ------------------------

const char *const kTargets[] = {"meta", "rgn", "clip", "bmp"};
struct Current {
    int target = 0;
    unsigned long long seed = 0, kase = 0;
    const Bytes *input = nullptr;
} g_cur;
std::string g_out = ".";

void WriteInput(const char *kind) {
    char path[MAX_PATH + 96];
    std::snprintf(path, sizeof path, "%s/%s-%s-%llu-%llu.bin", g_out.c_str(), kind, kTargets[g_cur.target],
                  g_cur.seed, g_cur.kase);
    const HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        if (g_cur.input && !g_cur.input->empty())
            WriteFile(f, g_cur.input->data(), DWORD(g_cur.input->size()), &done, nullptr);
        CloseHandle(f);
    }
    std::fprintf(stderr, "fuzz: %s: input kept as %s\n", kind, path);
}

[[noreturn]] void Die(const EXCEPTION_RECORD *e) {
    std::fprintf(stderr, "fuzz: exception %08lx at %p, %s case %llu of seed %llu\n", e->ExceptionCode,
                 e->ExceptionAddress, kTargets[g_cur.target], g_cur.kase, g_cur.seed);
    WriteInput("crash");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) {
    }
}

// A fault in the library's own code is a crash even when some handler
// further up would swallow it; anything else is one when nobody handles it.
LONG CALLBACK OnException(EXCEPTION_POINTERS *p) {
    const DWORD code = p->ExceptionRecord->ExceptionCode;
    const bool fatal = code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_ILLEGAL_INSTRUCTION ||
                       code == EXCEPTION_INT_DIVIDE_BY_ZERO || code == EXCEPTION_STACK_OVERFLOW ||
                       code == EXCEPTION_PRIV_INSTRUCTION || code == EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
    HMODULE m = nullptr;
    if (fatal && GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    static_cast<LPCSTR>(p->ExceptionRecord->ExceptionAddress), &m) &&
        (m == GetModuleHandleA(nullptr) || m == GetModuleHandleA("zvdisp.dll") || m == GetModuleHandleA("zvkern.dll")))
        Die(p->ExceptionRecord);
    return EXCEPTION_CONTINUE_SEARCH;
}
LONG WINAPI OnUnhandled(EXCEPTION_POINTERS *p) { Die(p->ExceptionRecord); }

int g_faults = 0;
bool Fault(const char *what, int rc) {
    std::fprintf(stderr, "fuzz: %s case %llu: %s (status %d)\n", kTargets[g_cur.target], g_cur.kase, what, rc);
    WriteInput("fault");
    ++g_faults;
    return false;
}
bool Expect(int rc, std::initializer_list<int> codes, const char *call) {
    return std::find(codes.begin(), codes.end(), rc) != codes.end() || Fault(call, rc);
}

std::string TempPath(const char *ext) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "zvfuzz-" + std::to_string(GetCurrentProcessId()) + ext;
}
void WriteFileBytes(const std::string &path, const Bytes &b) {
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    }
}
Bytes ReadFileBytes(const std::string &path) {
    Bytes b;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;)
            b.push_back(uint8_t(c));
        std::fclose(f);
    }
    return b;
}

// A bitmap of random pixels (and palette below 9 bits).
BitmapHandle RandomBitmap(Rng &r, int w, int h, int bits, int orientation) {
    BitmapHandle b{};
    K_CreateBitmap(&b, w, h, bits, ORDER_BGR, orientation);
    for (int i = 0; i < b.BytesPerLine * b.Height; ++i)
        b.Data[i] = uint8_t(r.Next());
    for (int i = 0; b.Palette && i < b.ColorCount; ++i)
        b.Palette[i] = RGBQUAD{BYTE(r.Next()), BYTE(r.Next()), BYTE(r.Next()), 0};
    return b;
}

Bytes GlobalBytes(HGLOBAL h) {
    Bytes b;
    if (const auto *p = static_cast<const uint8_t *>(GlobalLock(h))) {
        b.assign(p, p + GlobalSize(h));
        GlobalUnlock(h);
    }
    K_GlobalFree(h);
    return b;
}

// ---- Metafiles -------------------------------------------------------

// A WMF of the records the parser reads (map mode, viewport and window
// extents) and a drawing, optionally behind a placeable header.
Bytes HandWmf(bool placeable) {
    std::vector<uint16_t> w{1, 9, 0x0300, 0, 0, 0, 0, 0, 0};
    const std::vector<uint16_t> records[] = {
        {0x0103, MM_TEXT}, {0x020E, 3, 4}, {0x020C, 10, 20}, {0x061D, 0x42, 0, 10, 20, 0, 0}, {0}};
    for (const auto &rec : records) {
        w.push_back(uint16_t(2 + rec.size()));
        w.push_back(0);
        w.insert(w.end(), rec.begin(), rec.end());
    }
    w[3] = uint16_t(w.size());
    w[7] = 9;
    if (placeable) {
        std::vector<uint16_t> p{0xCDD7, 0x9AC6, 0, 0xFFFD, 0xFFFD, 9, 9, 600, 0, 0};
        uint16_t sum = 0;
        for (uint16_t v : p)
            sum ^= v;
        p.push_back(sum);
        w.insert(w.begin(), p.begin(), p.end());
    }
    return Bytes(reinterpret_cast<uint8_t *>(w.data()), reinterpret_cast<uint8_t *>(w.data() + w.size()));
}

std::vector<Bytes> MetaSeeds(Rng &r) {
    std::vector<Bytes> seeds;
    BitmapHandle b = RandomBitmap(r, 6, 5, 8, ORIENT_TOP_LEFT);
    for (int enhanced = 0; enhanced < 2; ++enhanced) {
        MetaBitmap m{};
        m.Handle = Z_ConvertToMetafile(&b, enhanced);
        m.IsEnhanced = enhanced;
        void *bits = nullptr;
        UINT size = 0;
        if (Z_AllocateMetaBitmapBits(&m, &bits, &size) == RC_SUCCESS)
            seeds.emplace_back(static_cast<uint8_t *>(bits), static_cast<uint8_t *>(bits) + size);
        K_Free(bits);
        Z_DeleteMetaBitmap(&m);
    }
    K_FreeBitmap(&b);
    Bytes placed = HandWmf(true);
    placed.resize(22);
    placed.insert(placed.end(), seeds[0].begin(), seeds[0].end());
    seeds.push_back(placed);
    seeds.push_back(HandWmf(false));
    seeds.push_back(HandWmf(true));
    return seeds;
}

// What a caller does with a metafile it got: describe it.  (Playing it
// would test the system's player: a WMF that creates more objects than its
// header declares leaves them behind in it.)
void UseMetafile(MetaBitmap &m) {
    MetaBitmap info{};
    Z_GetMetafileInfo(m.Handle, &info);
    Z_DeleteMetaBitmap(&m);
}

bool RunMeta(const Bytes &in, Rng &r) {
    Bytes exact(in);  // no slack behind the bytes; the parser may write into them
    MetaBitmap m{};
    uint8_t none = 0;
    const int rc = Z_ParseMetaBits(exact.empty() ? &none : exact.data(), UINT(exact.size()), &m, int(r.Below(2)));
    bool ok = Expect(rc, {RC_SUCCESS, RC_INVALID_FORMAT}, "Z_ParseMetaBits");
    if (rc == RC_SUCCESS && m.Handle)
        UseMetafile(m);
    if (r.OneIn(8)) {
        static const std::string path = TempPath(".mf");
        WriteFileBytes(path, in);
        MetaBitmap f{};
        const int frc = Z_LoadMetaBitmap(path.c_str(), &f);
        ok &= Expect(frc, {RC_SUCCESS, RC_INVALID_FORMAT, RC_NO_MEMORY, RC_ROW_READ}, "Z_LoadMetaBitmap");
        if (frc == RC_SUCCESS)
            UseMetafile(f);
    }
    return ok;
}

// ---- Stored region data ----------------------------------------------

BitmapHandle g_rgnBitmap{};
std::vector<Bytes> g_rgnSeeds;

Bytes RgnBytes(BitmapHandle *b) {
    Bytes d(std::max(0, Z_GetBitmapRgnData(b, nullptr, 0, nullptr)));
    if (!d.empty() && Z_GetBitmapRgnData(b, nullptr, int(d.size()), d.data()) != int(d.size()))
        d.assign(1, 0xEE);
    return d;
}

std::vector<Bytes> RgnSeeds(Rng &r) {
    g_rgnBitmap = RandomBitmap(r, 64, 48, 8, ORIENT_TOP_LEFT);
    BitmapHandle *b = &g_rgnBitmap;
    RECT rect{5, 4, 40, 30}, wide{0, 10, 64, 20};
    POINT star[] = {{32, 0}, {40, 44}, {2, 14}, {62, 14}, {24, 44}};
    RgnTransform turned{ORIENT_RIGHT_TOP, 3, 2, 1, 2, 4, -3};
    auto shapes = [&](int i) {
        switch (i) {
        case 0: return Z_SetBitmapRgnRect(b, nullptr, &rect, RGN_MODE_SET);
        case 1: return Z_SetBitmapRgnEllipse(b, nullptr, &rect, RGN_MODE_SET);
        case 2: return Z_SetBitmapRgnPolygon(b, nullptr, star, 5, RGN_FILL_ALTERNATE, RGN_MODE_SET);
        case 3: return Z_SetBitmapRgnRoundRect(b, &turned, &rect, 9, 7, RGN_MODE_SET);
        default:
            Z_SetBitmapRgnEllipse(b, nullptr, &rect, RGN_MODE_SET);
            return Z_SetBitmapRgnRect(b, nullptr, &wide, RGN_MODE_XOR);
        }
    };
    std::vector<Bytes> seeds;
    for (int i = 0; i < 5; ++i) {
        shapes(i);
        seeds.push_back(RgnBytes(b));
        Z_FreeBitmapRgn(b);
    }
    g_rgnSeeds = seeds;
    return seeds;
}

bool RunRgn(const Bytes &in, Rng &r) {
    BitmapHandle *b = &g_rgnBitmap;
    Z_SetBitmapRgnClip(b, 1);  // an unclipped bitmap takes rows by the billion as asked
    if (r.OneIn(2)) {  // an old region to combine with
        Bytes old = g_rgnSeeds[r.Below(g_rgnSeeds.size())];
        Z_SetBitmapRgnData(b, nullptr, int(old.size()), old.data(), RGN_MODE_SET);
    }
    const Bytes before = RgnBytes(b);
    static const int orientations[] = {0, 1, 2, 3, 4, 5, 7, 8};
    RgnTransform t{orientations[r.Below(8)], 1 + int(r.Below(3)), 1 + int(r.Below(2)), 1 + int(r.Below(3)),
                   1 + int(r.Below(2)), int(r.Below(9)) - 4, int(r.Below(9)) - 4};
    Bytes exact(in);
    const int rc = Z_SetBitmapRgnData(b, r.OneIn(3) ? &t : nullptr, int(exact.size()),
                                      exact.empty() ? nullptr : exact.data(), UINT(r.Below(8)));
    bool ok = Expect(rc, {RC_SUCCESS, RC_NO_MEMORY, RC_INVALID_PARAMETER}, "Z_SetBitmapRgnData");
    if (rc != RC_SUCCESS && RgnBytes(b) != before)
        ok = Fault("Z_SetBitmapRgnData changed the region and failed", rc);
    Z_FreeBitmapRgn(b);
    return ok;
}

// ---- DIB header variants, for the clipboard and BMP files ------------

uint32_t Get32(const Bytes &b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// A 16- or 32-bit DIB whose 40-byte header starts at `at` (14 in a file),
// turned to BI_BITFIELDS: the masks behind the header, or inside it grown
// to a 124-byte one and behind it too (as the clipboard carries them).
Bytes Bitfields(Bytes b, size_t at, bool v5) {
    const bool is16 = b[at + 14] == 16;
    const uint32_t masks[3] = {is16 ? 0x7C00u : 0xFF0000u, is16 ? 0x3E0u : 0xFF00u, is16 ? 0x1Fu : 0xFFu};
    Bytes extra(v5 ? 96 : 12, 0);
    std::memcpy(extra.data(), masks, sizeof masks);
    std::memcpy(extra.data() + extra.size() - 12, masks, sizeof masks);
    b.insert(b.begin() + at + 40, extra.begin(), extra.end());
    Put(b, at + 16, BI_BITFIELDS, 4);
    if (v5)
        Put(b, at, 124, 4);
    if (at == 14) {  // the file's size and bits offset
        Put(b, 2, uint32_t(b.size()), 4);
        Put(b, 10, Get32(b, 10) + uint32_t(extra.size()), 4);
    }
    return b;
}

// An 8-bit packed DIB with the 12-byte core header and a table of triples.
Bytes CoreDib(const Bytes &dib) {
    const uint32_t colors = 256, table = 40 + 4 * colors;
    const uint16_t head[6] = {12, 0, uint16_t(Get32(dib, 4)), uint16_t(Get32(dib, 8)), 1, 8};
    Bytes b(reinterpret_cast<const uint8_t *>(head), reinterpret_cast<const uint8_t *>(head + 6));
    for (uint32_t i = 0; i < colors; ++i)
        b.insert(b.end(), dib.begin() + 40 + 4 * i, dib.begin() + 43 + 4 * i);
    b.insert(b.end(), dib.begin() + table, dib.end());
    return b;
}

// ---- The clipboard ---------------------------------------------------
// An input is one byte naming what goes on the clipboard, then its data.

enum ClipKind { kClipDib, kClipRegion, kClipPalette, kClipEmf, kClipPict, kClipKinds };
HWND g_window = nullptr;
UINT g_regionFormat = 0;
Bytes g_validDib, g_validMask;

HGLOBAL GlobalOf(const uint8_t *p, size_t n) {
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::max<size_t>(n, 1));
    if (void *q = h ? GlobalLock(h) : nullptr) {
        std::memcpy(q, p, n);
        GlobalUnlock(h);
    }
    return h;
}

std::vector<Bytes> ClipSeeds(Rng &r, const std::vector<Bytes> &meta) {
    g_window = CreateWindowExA(0, "STATIC", "zvfuzz", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    g_regionFormat = RegisterClipboardFormatA("ZORAVISTA 8.0 Region");
    std::vector<Bytes> seeds;
    auto add = [&](ClipKind kind, const Bytes &data) {
        seeds.push_back(Bytes{uint8_t(kind)});
        seeds.back().insert(seeds.back().end(), data.begin(), data.end());
    };
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        BitmapHandle b = RandomBitmap(r, 13, 7, bits, bits == 8 ? ORIENT_TOP_LEFT : ORIENT_BOTTOM_LEFT);
        add(kClipDib, GlobalBytes(K_ConvertToDib(&b)));
        const Bytes dib(seeds.back().begin() + 1, seeds.back().end());
        if (bits == 8 && (Get32(dib, 32) == 0 || Get32(dib, 32) == 256))
            add(kClipDib, CoreDib(dib));
        if (bits == 16 || bits == 32) {
            add(kClipDib, Bitfields(dib, 0, false));
            add(kClipDib, Bitfields(dib, 0, true));
        }
        if (bits == 24) {
            g_validDib = seeds.back();
            g_validDib.erase(g_validDib.begin());
            RECT e{1, 1, 11, 6};
            Z_SetBitmapRgnEllipse(&b, nullptr, &e, RGN_MODE_SET);
            BitmapHandle mask{};
            Z_CreateMaskFromBitmapRgn(&b, &mask);
            g_validMask = GlobalBytes(K_ChangeToDib(&mask));
            add(kClipRegion, g_validMask);
        }
        K_FreeBitmap(&b);
    }
    Bytes pal{0, 3, 16, 0};
    for (int i = 0; i < 64; ++i)
        pal.push_back(uint8_t(r.Next()));
    add(kClipPalette, pal);
    add(kClipEmf, meta[1]);
    const uint32_t pict[] = {MM_ANISOTROPIC, 600, 400, MM_HIMETRIC, 1000, 500};
    for (int i = 0; i < 2; ++i) {
        Bytes p(reinterpret_cast<const uint8_t *>(pict + 3 * i), reinterpret_cast<const uint8_t *>(pict + 3 * i + 3));
        const Bytes &wmf = meta[2 + i];
        p.insert(p.end(), wmf.begin() + 22 * (i == 0), wmf.end());  // the bare WMF behind the placeable header
        add(kClipPict, p);
    }
    return seeds;
}

void Place(UINT format, HANDLE h, bool gdi) {
    if (h && !SetClipboardData(format, h)) {
        if (gdi)
            DeleteObject(h);
        else
            GlobalFree(h);
    }
}

void PutOnClipboard(int kind, const uint8_t *p, size_t n) {
    if (!OpenClipboard(g_window))
        return;
    EmptyClipboard();
    switch (kind) {
    case kClipDib:
        Place(CF_DIB, GlobalOf(p, n), false);
        break;
    case kClipRegion:
        Place(CF_DIB, GlobalOf(g_validDib.data(), g_validDib.size()), false);
        Place(g_regionFormat, GlobalOf(p, n), false);
        break;
    case kClipPalette: {  // a device-dependent bitmap and a LOGPALETTE of the bytes
        Bytes lp(p, p + n);
        lp.resize(std::max<size_t>(4, n));
        lp.resize(std::max<size_t>(lp.size(), 4 + 4 * size_t(lp[2] | lp[3] << 8)));
        const auto *info = reinterpret_cast<const BITMAPINFO *>(g_validDib.data());
        const HDC screen = GetDC(nullptr);
        const HBITMAP ddb = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, g_validDib.data() + info->bmiHeader.biSize,
                                           info, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        Place(CF_PALETTE, CreatePalette(reinterpret_cast<const LOGPALETTE *>(lp.data())), true);
        Place(CF_BITMAP, ddb, true);
        break;
    }
    case kClipEmf:
        Place(CF_ENHMETAFILE, SetEnhMetaFileBits(UINT(n), p), true);
        break;
    default: {
        METAFILEPICT pict{};
        std::memcpy(&pict, p, std::min<size_t>(n, 12));
        pict.hMF = n > 12 ? SetMetaFileBitsEx(UINT(n - 12), p + 12) : nullptr;
        const HGLOBAL h = GlobalOf(reinterpret_cast<const uint8_t *>(&pict), sizeof pict);
        if (!SetClipboardData(CF_METAFILEPICT, h)) {
            DeleteMetaFile(pict.hMF);
            GlobalFree(h);
        }
    }
    }
    CloseClipboard();
}

void EmptyTheClipboard() {
    if (OpenClipboard(g_window)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

bool RunClip(const Bytes &in, Rng &) {
    if (in.empty())
        return true;
    PutOnClipboard(in[0] % kClipKinds, in.data() + 1, in.size() - 1);
    BitmapHandle out, sentinel;
    std::memset(&out, 0xA5, sizeof out);
    sentinel = out;
    const int rc = Z_CopyFromClipboard(g_window, &out);
    bool ok = Expect(rc, {0, 1}, "Z_CopyFromClipboard");
    if (rc == 1)
        K_FreeBitmap(&out);
    else if (std::memcmp(&out, &sentinel, sizeof out) != 0)
        ok = Fault("Z_CopyFromClipboard wrote the descriptor and failed", rc);
    EmptyTheClipboard();
    return ok;
}

// ---- BMP files -------------------------------------------------------

std::vector<Bytes> BmpSeeds(Rng &r) {
    std::vector<Bytes> seeds;
    const std::string path = TempPath(".seed.bmp");
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (int orientation : {ORIENT_TOP_LEFT, ORIENT_BOTTOM_LEFT}) {
            BitmapHandle b = RandomBitmap(r, 11, 5, bits, orientation);
            K_SaveBitmapFile(path.c_str(), &b);
            K_FreeBitmap(&b);
            seeds.push_back(ReadFileBytes(path));
            if (bits == 16 || bits == 32) {
                seeds.push_back(Bitfields(seeds.back(), 14, false));
                seeds.push_back(Bitfields(seeds[seeds.size() - 2], 14, true));
            }
        }
    DeleteFileA(path.c_str());
    return seeds;
}

bool RunBmp(const Bytes &in, Rng &) {
    static const std::string path = TempPath(".bmp");
    WriteFileBytes(path, in);
    BitmapHandle b, sentinel;
    std::memset(&b, 0x5A, sizeof b);
    sentinel = b;
    const int rc = K_LoadBitmapFile(path.c_str(), &b);
    bool ok = Expect(rc, {RC_SUCCESS, RC_INVALID_FORMAT, RC_NO_MEMORY, RC_ROW_READ, RC_FILE_SEEK}, "K_LoadBitmapFile");
    if (rc == RC_SUCCESS)
        K_FreeBitmap(&b);
    else if (std::memcmp(&b, &sentinel, sizeof b) != 0)
        ok = Fault("K_LoadBitmapFile wrote the descriptor and failed", rc);
    return ok;
}

// ---- The run ---------------------------------------------------------

bool (*const kRun[])(const Bytes &, Rng &) = {RunMeta, RunRgn, RunClip, RunBmp};

Rng CaseRng(unsigned long long seed, int target, unsigned long long kase) {
    return Rng(seed * 0x100000001B3ull ^ (uint64_t(target) << 56) ^ kase);
}

// A seed mutated.  The clipboard's kind byte stays; of a metafile only the
// fields the library reads are mutated, in place (EMF bounds and frame, the
// picture's mapping mode and extents): its records go to the system's
// player, which leaves objects behind for a WMF or EMF that lies about its
// object count.
Bytes MakeCase(const std::vector<Bytes> &seeds, int target, Rng &r) {
    Bytes in = seeds[r.Below(seeds.size())];
    if (target != 2) {
        Mutate(in, r);
        return in;
    }
    const size_t from = in[0] == kClipEmf ? 9 : 1, to = in[0] == kClipEmf ? 41 : in[0] == kClipPict ? 13 : in.size();
    Bytes part(in.begin() + from, in.begin() + to);
    Mutate(part, r);
    if (to != in.size())
        part.resize(to - from);
    in.erase(in.begin() + from, in.begin() + to);
    in.insert(in.begin() + from, part.begin(), part.end());
    return in;
}

// Live kernel blocks and GDI objects against the baseline; a leak keeps the
// input and moves the baseline.
struct Baseline {
    int blocks = 0, gdi = 0;
    void Take() { blocks = K_GetLiveBlockCount(), gdi = zvtools::GdiObjectCount(); }
};
bool Clean(Baseline &base) {
    const int blocks = K_GetLiveBlockCount(), gdi = zvtools::GdiObjectCount();
    if (blocks == base.blocks && gdi == base.gdi)
        return true;
    std::fprintf(stderr, "fuzz: %s case %llu left %d kernel blocks, %d GDI objects\n", kTargets[g_cur.target],
                 g_cur.kase, blocks - base.blocks, gdi - base.gdi);
    WriteInput("leak");
    base.Take();
    return false;
}

}  // namespace

int main(int argc, char **argv) {
    double seconds = 10;
    unsigned long long seed = 1;
    std::string target = "all", replay;
    char which[16] = {};
    unsigned long long replayCase = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (a == "--seed")
            seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (a == "--target")
            target = argv[i + 1];
        else if (a == "--out")
            g_out = argv[i + 1];
        else if (a == "--replay")
            replay = argv[i + 1];
        else
            return std::fprintf(stderr, "usage: zvfuzz [--seconds S] [--seed N] [--target all|meta|rgn|clip|bmp] "
                                        "[--out DIR] [--replay FILE]\n"), 2;
    }
    AddVectoredExceptionHandler(1, OnException);
    SetUnhandledExceptionFilter(OnUnhandled);
    CreateDirectoryA(g_out.c_str(), nullptr);

    std::vector<int> chosen;
    std::string name;
    if (!replay.empty()) {  // kind-target-seed-case.bin
        const size_t slash = replay.find_last_of("/\\");
        name = replay.substr(slash == std::string::npos ? 0 : slash + 1);
        char kind[16] = {};
        if (std::sscanf(name.c_str(), "%15[a-z]-%15[a-z]-%llu-%llu", kind, which, &seed, &replayCase) != 4)
            return std::fprintf(stderr, "fuzz: %s is not named kind-target-seed-case.bin\n", name.c_str()), 2;
        target = which;
    }
    for (int t = 0; t < 4; ++t)
        if (target == "all" || ("," + target + ",").find(std::string(",") + kTargets[t] + ",") != std::string::npos)
            chosen.push_back(t);
    if (chosen.empty())
        return std::fprintf(stderr, "fuzz: no target %s\n", target.c_str()), 2;

    // Valid inputs, made from the seed; then each once unmutated: warms GDI
    // up, and must pass.
    Rng seedRng(seed);
    std::vector<Bytes> seeds[4];
    seeds[0] = MetaSeeds(seedRng);
    seeds[1] = RgnSeeds(seedRng);
    seeds[2] = ClipSeeds(seedRng, seeds[0]);
    seeds[3] = BmpSeeds(seedRng);

    Baseline base;
    zvtools::WarmUp();
    for (int t : chosen)
        for (const Bytes &s : seeds[t]) {
            Rng r(0);
            g_cur.target = t, g_cur.input = &s, g_cur.seed = seed, g_cur.kase = ~0ull;  // an unmutated seed
            kRun[t](s, r);
        }
    base.Take();

    if (!replay.empty()) {  // the case's choices again, over the kept input
        g_cur.target = chosen[0], g_cur.seed = seed, g_cur.kase = replayCase;
        Rng r = CaseRng(seed, g_cur.target, g_cur.kase);
        MakeCase(seeds[g_cur.target], g_cur.target, r);
        const Bytes in = ReadFileBytes(replay);
        g_cur.input = &in;
        const bool ok = kRun[g_cur.target](in, r) & Clean(base);
        std::printf("fuzz: replayed %s (%zu bytes): %s\n", name.c_str(), in.size(), ok ? "fine" : "fails");
        return ok ? 0 : 1;
    }

    // The targets in turn, 20 ms each, so that every one gets its share of
    // the time whatever its speed.
    unsigned long long cases[4] = {};
    int leaks = 0;
    double busy[4] = {};
    LARGE_INTEGER freq, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&now);
    const double tick = double(freq.QuadPart), end = double(now.QuadPart) + seconds * tick;
    while (double(now.QuadPart) < end)
        for (int t : chosen) {
            const LARGE_INTEGER t0 = now;
            do {
                g_cur.target = t, g_cur.seed = seed, g_cur.kase = cases[t]++;
                Rng r = CaseRng(seed, t, g_cur.kase);
                const Bytes in = MakeCase(seeds[t], t, r);
                g_cur.input = &in;
                kRun[t](in, r);
                leaks += !Clean(base);
                g_cur.input = nullptr;
                QueryPerformanceCounter(&now);
            } while (double(now.QuadPart - t0.QuadPart) < 0.02 * tick);
            busy[t] += double(now.QuadPart - t0.QuadPart) / tick;
        }
    K_FreeBitmap(&g_rgnBitmap);
    DestroyWindow(g_window);
    DeleteFileA(TempPath(".mf").c_str());
    DeleteFileA(TempPath(".bmp").c_str());

    for (int t : chosen)
        std::printf("fuzz: %s %.0f cases/s\n", kTargets[t], busy[t] > 0 ? double(cases[t]) / busy[t] : 0.0);
    if (g_faults)
        std::printf("fuzz: %d cases gave a wrong status or changed the caller's data\n", g_faults);
    char line[200];
    std::snprintf(line, sizeof line, "fuzz: %llu mutation cases run (meta %llu, rgn %llu, clip %llu, bmp %llu), 0 crashes, %d leaks",
                  cases[0] + cases[1] + cases[2] + cases[3], cases[0], cases[1], cases[2], cases[3], leaks);
    std::printf("%s\n", line);
    const char *depth = std::getenv("ZV_DEPTH");
    if (FILE *f = std::fopen((std::string("fuzz-summary-") + (depth ? depth : "24") + ".txt").c_str(), "w")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
    }
    return leaks || g_faults ? 1 : 0;
}
