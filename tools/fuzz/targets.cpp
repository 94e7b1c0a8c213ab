// zvfuzz's targets: valid inputs made here, and one case of each reader.
#include "tools/fuzz/fuzz.h"

#include "tools/common/dib_writer.h"
#include "tools/common/gdi_count.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>

namespace zvfuzz {

namespace {

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

// A copy of the bytes that ends where a no-access page begins: a read past
// the end faults (a crash, kept) instead of reading the heap; no byte of an
// empty input is readable.
class Guarded {
public:
    explicit Guarded(const Bytes &b) {
        const size_t page = 4096, span = (b.size() + page - 1) / page * page;
        base_ = static_cast<uint8_t *>(VirtualAlloc(nullptr, span + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + span, page, PAGE_NOACCESS, &old);
        data_ = base_ + span - b.size();
        if (!b.empty())
            std::memcpy(data_, b.data(), b.size());
    }
    ~Guarded() { VirtualFree(base_, 0, MEM_RELEASE); }
    Guarded(const Guarded &) = delete;
    Guarded &operator=(const Guarded &) = delete;
    uint8_t *Data() const { return data_; }

private:
    uint8_t *base_, *data_;
};

}  // namespace

Bytes ReadFileBytes(const std::string &path) {
    Bytes b;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        for (int c; (c = std::fgetc(f)) != EOF;)
            b.push_back(uint8_t(c));
        std::fclose(f);
    }
    return b;
}

namespace {


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

// A reader's call on a descriptor filled with a pattern: its status must be
// one of codes; on success what it made must pass `made` and is released,
// on failure the pattern must be untouched.
template <class Read>
bool ReadInto(const char *call, std::initializer_list<int> codes, int success, Read read,
              bool (*made)(const BitmapHandle &, const void *) = nullptr, const void *context = nullptr) {
    BitmapHandle b, pattern;
    std::memset(&b, 0xA5, sizeof b);
    pattern = b;
    const int rc = read(&b);
    bool ok = Expect(rc, codes, call);
    if (rc == success) {
        if (made && !made(b, context))
            ok = Fault((std::string(call) + " made a bitmap its data does not describe").c_str(), rc);
        K_FreeBitmap(&b);
    } else if (std::memcmp(&b, &pattern, sizeof b) != 0)
        ok = Fault((std::string(call) + " wrote the descriptor and failed").c_str(), rc);
    return ok;
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

// GDI's bytes of a metafile.
Bytes PlayerBytes(const MetaBitmap &m) {
    const auto fetch = [&](UINT size, void *to) {
        return m.IsEnhanced ? GetEnhMetaFileBits(static_cast<HENHMETAFILE>(m.Handle), size, static_cast<BYTE *>(to))
                            : GetMetaFileBitsEx(static_cast<HMETAFILE>(m.Handle), size, to);
    };
    Bytes b(fetch(0, nullptr));
    if (!b.empty() && fetch(UINT(b.size()), b.data()) != b.size())
        b.clear();
    return b;
}

// Whether a player that walks the records by their sizes gets to the end:
// every step must move forward in 32-bit offsets (a WMF record's size is in
// words).  A WMF's walk ends at a record of size or function 0, an EMF's at
// the header's total.
bool WalkEnds(const Bytes &b, bool enhanced) {
    const size_t n = b.size(), head = enhanced ? 8 : 6;
    if (n < (enhanced ? 52u : 18u))
        return true;
    uint32_t at = enhanced ? 0 : uint32_t(b[2] | b[3] << 8) * 2;
    const uint32_t end = enhanced ? Get32(b, 48) : uint32_t(n);
    while (at < end && size_t(at) + head <= n) {
        const uint32_t size = Get32(b, at + (enhanced ? 4 : 0));
        if (!enhanced && (size == 0 || (b[at + 4] | b[at + 5]) == 0))
            return true;
        const uint32_t next = at + (enhanced ? size : size * 2);
        if (next <= at)
            return false;
        at = next;
    }
    return true;
}

// Tick count at which the play under way began, 0 when none: a play past
// 20 s is reported and ends the run.  A fault inside the player resumes at
// the context taken before the play, with g_playFailed set.
volatile DWORD g_playSince = 0;
volatile bool g_playFailed = false;
alignas(16) CONTEXT g_beforePlay;
DWORD WINAPI Watchdog(void *) {
    for (;; Sleep(500)) {
        const DWORD since = g_playSince;
        if (since && int32_t(GetTickCount() - since) > 20000) {
            PlayerFinding(kPlayerHang);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

// Plays a metafile into a small DIB with the system's player.  A WMF that
// creates more objects than its header declares leaves them behind in the
// player: counted apart from the library's leaks.
void Play(const MetaBitmap &m) {
#if defined(__i386__)
    // Resuming at the captured context after a fault inside the 32-bit
    // player is not sound (the resumed frame loses its handles and leaves
    // the player's objects behind), so the 32-bit run parses without
    // playing; the x86_64 run plays what it parses.
    (void)m;
    return;
#endif
    static int left = 0;
    static const HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    if (!watchdog || left > 20000)  // the process's GDI handles are not endless
        return;
    const Bytes bytes = PlayerBytes(m);
    if (!WalkEnds(bytes, m.IsEnhanced != 0))
        return PlayerFinding(kPlayerLoop);
    const int before = zvtools::GdiObjectCount();
    BITMAPINFO bi{};
    bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 16, 16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, dib);
    const RECT r{0, 0, 16, 16};
    const PlayerCopies copies{bytes.size()};  // the player may copy the bytes again
    g_playFailed = false;
    RtlCaptureContext(&g_beforePlay);
    if (!g_playFailed) {
        g_playSince = GetTickCount() | 1;
        if (m.IsEnhanced) {
            PlayEnhMetaFile(dc, static_cast<HENHMETAFILE>(m.Handle), &r);
        } else {
            SetMapMode(dc, MM_ANISOTROPIC);
            SetWindowExtEx(dc, m.WindowExtX, m.WindowExtY, nullptr);
            SetViewportExtEx(dc, 16, 16, nullptr);
            PlayMetaFile(dc, static_cast<HMETAFILE>(m.Handle));
        }
    }
    g_playSince = 0;
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    const int more = zvtools::GdiObjectCount() - before;
    if (more > 0) {
        left += more;
        PlayerLeftObjects(more);
    }
}

}  // namespace

bool OnPlayerCrash(CONTEXT *context) {
    if (!g_playSince)
        return false;
    g_playSince = 0;
    g_playFailed = true;
    *context = g_beforePlay;
    return true;
}

namespace {

// What a caller does with a metafile it got: describe it and play it.
void UseMetafile(MetaBitmap &m) {
    MetaBitmap info{};
    Z_GetMetafileInfo(m.Handle, &info);
    Play(m);
    Z_DeleteMetaBitmap(&m);
}

bool RunMeta(const Bytes &in, Rng &r) {
    Guarded bytes(in);  // the parser may write into them
    MetaBitmap m{};
    const int create = int(r.Below(2));
    int rc;
    {
        // GDI's copy: the bytes, or those after a placeable header.
        const PlayerCopies copies{in.size(), in.size() >= 22 ? in.size() - 22 : in.size()};
        rc = Z_ParseMetaBits(bytes.Data(), UINT(in.size()), &m, create);
    }
    bool ok = Expect(rc, {RC_SUCCESS, RC_INVALID_FORMAT}, "Z_ParseMetaBits");
    if (rc == RC_SUCCESS && m.Handle)
        UseMetafile(m);
    if (r.OneIn(8)) {
        static const std::string path = TempPath(".mf");
        WriteFileBytes(path, in);
        MetaBitmap f{};
        int frc;
        {
            const PlayerCopies copies{in.size(), in.size() >= 22 ? in.size() - 22 : in.size()};
            frc = Z_LoadMetaBitmap(path.c_str(), &f);
        }
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
    Guarded bytes(in);
    const int rc = Z_SetBitmapRgnData(b, r.OneIn(3) ? &t : nullptr, int(in.size()), bytes.Data(), UINT(r.Below(8)));
    bool ok = Expect(rc, {RC_SUCCESS, RC_NO_MEMORY, RC_INVALID_PARAMETER}, "Z_SetBitmapRgnData");
    if (rc != RC_SUCCESS && RgnBytes(b) != before)
        ok = Fault("Z_SetBitmapRgnData changed the region and failed", rc);
    Z_FreeBitmapRgn(b);
    return ok;
}

// ---- DIB header variants, for the clipboard and BMP files ------------

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

std::vector<Bytes> ClipSeeds(Rng &r) {
    const std::vector<Bytes> meta = MetaSeeds(r);
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
    std::mt19937 variants(uint32_t(r.Next()));  // every kind the DIB reader takes, RLE included
    for (int i = 0; i < 16; ++i)
        add(kClipDib, zvtools::PackedDib(zvtools::RandomDib(variants)));
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

// The kernel's DIB reader straight on the bytes, at the end of a guarded
// page (the clipboard's blocks hide a read past their end): the bits where
// the header, the masks behind a 40-byte one and the colour table end
// (for a header of 40 bytes or more the table its colour count says).
bool ReadDib(const Bytes &dib) {
    if (dib.size() < 16)
        return true;
    Guarded bytes(dib);
    const auto *h = reinterpret_cast<const BITMAPINFOHEADER *>(bytes.Data());
    const uint32_t size = Get32(dib, 0);
    const bool core = size == 12, counted = size >= 40 && dib.size() >= 40;
    const uint32_t bits = core ? Get32(dib, 8) >> 16 : h->biBitCount;
    const uint32_t used = counted && h->biClrUsed ? h->biClrUsed : bits <= 8 ? 1u << bits : 0;
    uint64_t offset = size + uint64_t(used) * (core ? 3 : 4);
    if (size == 40 && counted && (h->biCompression == BI_BITFIELDS || h->biCompression == BI_ALPHABITFIELDS))
        offset += h->biCompression == BI_BITFIELDS ? 12 : 16;
    if (offset > dib.size())
        return true;
    return ReadInto("K_ConvertFromDib", {RC_SUCCESS, RC_INVALID_FORMAT, RC_NO_MEMORY, RC_INVALID_PARAMETER}, RC_SUCCESS,
                    [&](BitmapHandle *b) { return K_ConvertFromDib(b, h, bytes.Data() + offset, dib.size()); });
}

bool RunClip(const Bytes &in, Rng &) {
    if (in.empty())
        return true;
    const int kind = in[0] % kClipKinds;
    PutOnClipboard(kind, in.data() + 1, in.size() - 1);
    // A DIB with a whole 40-byte header that is taken gives its size.
    BITMAPINFOHEADER dib{};
    const bool sized = kind == kClipDib && in.size() > sizeof dib && Get32(in, 1) == sizeof dib;
    if (sized)
        std::memcpy(&dib, in.data() + 1, sizeof dib);
    bool ok = ReadInto(
        "Z_CopyFromClipboard", {0, 1}, 1, [](BitmapHandle *b) { return Z_CopyFromClipboard(g_window, b); },
        sized ? +[](const BitmapHandle &b, const void *h) {
            const auto *d = static_cast<const BITMAPINFOHEADER *>(h);
            return b.Width == d->biWidth && int64_t(b.Height) == std::llabs(int64_t(d->biHeight));
        } : nullptr,
        &dib);
    EmptyTheClipboard();
    if (kind == kClipDib || kind == kClipRegion)
        ok &= ReadDib(Bytes(in.begin() + 1, in.end()));
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
    std::mt19937 variants(uint32_t(r.Next()));
    for (int i = 0; i < 24; ++i)
        seeds.push_back(zvtools::BmpFile(zvtools::RandomDib(variants), i % 3));
    return seeds;
}

bool RunBmp(const Bytes &in, Rng &) {
    static const std::string path = TempPath(".bmp");
    WriteFileBytes(path, in);
    return ReadInto("K_LoadBitmapFile", {RC_SUCCESS, RC_INVALID_FORMAT, RC_NO_MEMORY, RC_ROW_READ, RC_FILE_SEEK},
                    RC_SUCCESS, [](BitmapHandle *b) { return K_LoadBitmapFile(path.c_str(), b); });
}

}  // namespace

const Target kTargets[4] = {
    {"meta", MetaSeeds, RunMeta}, {"rgn", RgnSeeds, RunRgn}, {"clip", ClipSeeds, RunClip}, {"bmp", BmpSeeds, RunBmp}};

void TargetsDone() {
    K_FreeBitmap(&g_rgnBitmap);
    DestroyWindow(g_window);
    DeleteFileA(TempPath(".mf").c_str());
    DeleteFileA(TempPath(".bmp").c_str());
}

}  // namespace zvfuzz
