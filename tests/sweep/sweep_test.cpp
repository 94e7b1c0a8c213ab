// The harness of the export sweep (rows in rows_*.cpp, format in sweep.h).
//
// Valid case: every kernel allocation of the call is failed in turn, once
// alone and once with all after it; the row's code comes back, the caller's
// bitmaps (descriptor, pixels, region), input and output buffers are as
// before, and no kernel block, GDI object or window is left.  The clean
// run must succeed and, once its results are released, leave nothing.
// Bad input: null in each pointer argument, unallocated and impossible
// descriptors, out-of-range values: the row's code (or any defined result
// where the row tolerates it), never a crash, nothing left behind.
//
// Completeness: an export of zvdisp.def without a row fails the sweep.
#include "sweep/sweep.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace zvsweep {
std::vector<Row> &Rows() {
    static std::vector<Row> rows;
    return rows;
}
}  // namespace zvsweep

namespace {

using namespace zvsweep;

constexpr const char *kExports[] = {
#include "sweep_exports.inc"
};

constexpr int kW = 24, kH = 16;
struct Totals {
    int covered = 0, exports = 0, injected = 0, bad = 0;
} g_totals;

// Named in a crash report, so that a fault says which case it came from.
char g_case[160];
LONG CALLBACK ReportCrash(EXCEPTION_POINTERS *e) {
    const DWORD code = e->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_ACCESS_VIOLATION || code == EXCEPTION_INT_DIVIDE_BY_ZERO || code == EXCEPTION_STACK_OVERFLOW ||
        code == EXCEPTION_ILLEGAL_INSTRUCTION)
        std::fprintf(stderr, "\nsweep: CRASH (exception 0x%08lX) in %s\n", code, g_case), std::fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

HWND MakeOwnerWindow() {
    static ATOM atom = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ZvSweepOwner";
        return RegisterClassA(&wc);
    }();
    (void)atom;
    return CreateWindowExA(0, "ZvSweepOwner", "sweep", WS_OVERLAPPEDWINDOW, 10, 10, 200, 150, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void MakeBitmap(BitmapHandle *b, int bits) {
    const int order = bits == 16 || bits == 12 ? ORDER_GRAY : ORDER_BGR;
    ASSERT_EQ(K_CreateBitmap(b, kW, kH, bits, order, ORIENT_TOP_LEFT), RC_SUCCESS);
    std::vector<uint8_t> row(b->BytesPerLine);
    for (int y = 0; y < kH; ++y) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<uint8_t>(y * 37 + i * 11);
        K_PutBitmapRow(b, row.data(), y, 0, static_cast<int>(row.size()));
    }
    RECT r = {3, 2, 19, 13};
    Z_SetBitmapRgnEllipse(b, nullptr, &r, RGN_MODE_SET);
}

// What the caller can see of a bitmap: descriptor words, pixels, palette,
// region membership of every pixel.  Without addresses the descriptor's
// pointers are left out (what they point to is compared): states of two
// fixtures, made at different places of the heap, compare equal.  Where
// the region lives is never the caller's business (its pixels are).
std::vector<uint8_t> BitmapState(const BitmapHandle *b, bool addresses) {
    std::vector<uint8_t> s(reinterpret_cast<const uint8_t *>(b), reinterpret_cast<const uint8_t *>(b + 1));
    std::fill_n(s.begin() + offsetof(BitmapHandle, Region), sizeof(void *), 0);
    if (!addresses)
        for (size_t at : {offsetof(BitmapHandle, Data), offsetof(BitmapHandle, Palette), offsetof(BitmapHandle, Region),
                          offsetof(BitmapHandle, WindowLUT), offsetof(BitmapHandle, PaintLUT)})
            std::fill_n(s.begin() + at, sizeof(void *), 0);
    if (b->Flags & BITMAP_ALLOCATED) {
        if (b->Data && b->Height > 0 && b->BytesPerLine > 0 && b->Height <= kH)
            s.insert(s.end(), b->Data, b->Data + size_t(b->Height) * b->BytesPerLine);
        if (b->Palette && !(b->Flags & BITMAP_PALETTE_HANDLE) && b->ColorCount > 0 && b->ColorCount <= 256)
            s.insert(s.end(), reinterpret_cast<const uint8_t *>(b->Palette),
                     reinterpret_cast<const uint8_t *>(b->Palette + b->ColorCount));
        for (int y = 0; y < kH && b->Region; ++y)
            for (int x = 0; x < kW; ++x)
                s.push_back(static_cast<uint8_t>(Z_IsPtInBitmapRgn(const_cast<BitmapHandle *>(b), y, x)));
    }
    return s;
}

// The arguments of one call, made from a row.
struct Fixture {
    const Row &row;
    Call call;
    std::vector<BitmapHandle *> bitmaps, holders;  // holders: bitmaps behind Rgn arguments
    std::vector<std::vector<uint8_t>> buffers;
    HDC dc = nullptr;
    HBITMAP dib = nullptr, old = nullptr;
    std::vector<HWND> windows;

    explicit Fixture(const Row &r) : row(r) {
        buffers.resize(r.args.size());
        for (size_t i = 0; i < r.args.size(); ++i) {
            const Arg &a = r.args[i];
            switch (a.kind) {
            case Kind::Bitmap:
                bitmaps.push_back(new BitmapHandle());
                MakeBitmap(bitmaps.back(), a.bits);
                call.ptr[i] = bitmaps.back();
                break;
            case Kind::Dc:
                if (!dc) {
                    BITMAPINFO bi = {};
                    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, 48, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
                    void *bits = nullptr;
                    dc = CreateCompatibleDC(nullptr);
                    dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
                    old = static_cast<HBITMAP>(SelectObject(dc, dib));
                }
                call.ptr[i] = dc;
                break;
            case Kind::Wnd:
                windows.push_back(MakeOwnerWindow());
                call.ptr[i] = windows.back();
                break;
            case Kind::In:
            case Kind::OptIn:
            case Kind::Out:
            case Kind::OptOut:
                buffers[i] = a.data;
                if (a.kind == Kind::Out || a.kind == Kind::OptOut)
                    std::fill(buffers[i].begin(), buffers[i].end(), 0xA5);
                call.ptr[i] = buffers[i].empty() ? nullptr : buffers[i].data();
                break;
            case Kind::Enum:
            case Kind::Value:
                call.val[i] = a.value;
                break;
            case Kind::Rgn:
                holders.push_back(new BitmapHandle());
                MakeBitmap(holders.back(), 24);
                call.ptr[i] = holders.back()->Region;
                break;
            }
        }
    }
    ~Fixture() {
        bitmaps.insert(bitmaps.end(), holders.begin(), holders.end());
        for (BitmapHandle *b : bitmaps) {
            K_FreeBitmap(b);
            delete b;
        }
        if (dc) {
            SelectObject(dc, old);
            DeleteObject(dib);
            DeleteDC(dc);
        }
        for (HWND w : windows)
            DestroyWindow(w);
        Pump();
    }
    // addresses false: as seen from another fixture (no pointers, no
    // handles that a call returned).
    std::vector<uint8_t> State(bool addresses = true) const {
        std::vector<uint8_t> s;
        for (size_t i = 0; i < row.args.size(); ++i) {
            if (row.args[i].kind == Kind::Bitmap && call.ptr[i]) {
                auto b = BitmapState(call.bmp(static_cast<int>(i)), addresses);
                s.insert(s.end(), b.begin(), b.end());
            } else if (!addresses && row.args[i].handle) {
                continue;
            } else if (!buffers[i].empty() && call.ptr[i] == buffers[i].data()) {
                s.insert(s.end(), buffers[i].begin(), buffers[i].end());
            }
        }
        return s;
    }
};

struct Counts {
    int blocks, gdi, windows;
    static Counts Now() {
        Pump();
        return {K_GetLiveBlockCount(), zvtest::GdiObjectCount(), zvtest::ThreadWindowCount()};
    }
    void ExpectSame(const Counts &now, const char *when) const {
        EXPECT_EQ(now.blocks, blocks) << "kernel blocks left " << when;
        EXPECT_EQ(now.gdi, gdi) << "GDI objects left " << when;
        EXPECT_EQ(now.windows, windows) << "windows left " << when;
    }
};

bool Succeeded(const Row &row, intptr_t r) {
    switch (row.result) {
    case Result::Status: return r == RC_SUCCESS;
    case Result::Handle: return r != 0;
    case Result::Value: return true;
    }
    return false;
}

void ExpectCode(const Row &row, intptr_t r, int code, const char *what) {
    if (code == kAny)
        return;
    if (row.result == Result::Handle) {
        EXPECT_EQ(r, 0) << what;
    } else if (row.result == Result::Status) {
        EXPECT_EQ(r, code) << what;
    }
}

// What the caller saw after the clean call: a failure that the export
// absorbs (a cache it does without) must leave the same.
std::vector<uint8_t> g_cleanState;

// One call with allocation n failing (n < 0: none); returns whether the
// call met the injected failure.
bool RunInjected(const Row &row, int n, bool repeat, intptr_t *result) {
    Fixture f(row);
    const Counts before = Counts::Now();  // prepare and cleanup together leave nothing either
    if (row.prepare)
        row.prepare(f.call);
    const auto state = f.State();
    if (n >= 0)
        K_SetAllocationFailure(n, repeat);
    const intptr_t r = row.call(f.call);
    const bool met = n >= 0 && K_GetAllocationCountdown() < 0;
    K_SetAllocationFailure(-1, 0);
    *result = r;
    if (n < 0)
        g_cleanState = f.State(false);
    if (met || (repeat && n >= 0)) {
        ++g_totals.injected;
        if (Succeeded(row, r) && row.result == Result::Status) {
            EXPECT_TRUE(f.State(false) == g_cleanState) << "a failure absorbed, but the result differs from the clean call's";
        } else {
            ExpectCode(row, r, row.failCode, "result when the allocation failed");
            if (!row.changesOnFail) {
                EXPECT_TRUE(f.State() == state) << "caller's bitmap, region or buffers changed";
            }
        }
    }
    if (row.cleanup)
        row.cleanup(f.call, r);
    if (met || (repeat && n >= 0))
        before.ExpectSame(Counts::Now(), "after the failed call");
    return met;
}

class Sweep : public testing::TestWithParam<size_t> {};

// Valid call, then each of its kernel allocations failed in turn.
TEST_P(Sweep, FailsEachAllocationCleanly) {
    const Row &row = Rows()[GetParam()];
    std::snprintf(g_case, sizeof g_case, "%s, valid call", row.name);
    intptr_t r = 0;
    RunInjected(row, -1, false, &r);  // first use makes what the system keeps (classes, caches)
    const Counts start = Counts::Now();
    RunInjected(row, -1, false, &r);
    EXPECT_TRUE(Succeeded(row, r)) << "the valid call gave " << r;
    int allocations = 0;
    for (; allocations < 2000 && !testing::Test::HasFailure(); ++allocations) {
        std::snprintf(g_case, sizeof g_case, "%s, allocation %d failing", row.name, allocations);
        SCOPED_TRACE(g_case);
        if (!RunInjected(row, allocations, false, &r))
            break;
    }
    if (!row.allocates) {
        EXPECT_EQ(allocations, 0) << "the call allocates; its row says it does not";
    }
    for (int n = 0; n < allocations && !testing::Test::HasFailure(); ++n) {
        std::snprintf(g_case, sizeof g_case, "%s, allocation %d and all after it failing", row.name, n);
        SCOPED_TRACE(g_case);
        RunInjected(row, n, true, &r);
    }
    start.ExpectSame(Counts::Now(), "after the sweep of this export");
}

// Impossible descriptors made from a valid one (restored before release).
struct BadBitmap {
    const char *what;
    void (*apply)(BitmapHandle *);
};
const BadBitmap kBadBitmaps[] = {
    {"width 0", [](BitmapHandle *b) { b->Width = 0; }},
    {"width -5", [](BitmapHandle *b) { b->Width = -5; }},
    {"height 0", [](BitmapHandle *b) { b->Height = 0; }},
    {"height -5", [](BitmapHandle *b) { b->Height = -5; }},
    {"13 bits per pixel", [](BitmapHandle *b) { b->BitsPerPixel = 13; }},
    {"0 bits per pixel", [](BitmapHandle *b) { b->BitsPerPixel = 0; }},
    {"BytesPerLine too small", [](BitmapHandle *b) { b->BytesPerLine = 1; }},
    {"orientation 6", [](BitmapHandle *b) { b->Orientation = 6; }},
    {"orientation 9", [](BitmapHandle *b) { b->Orientation = 9; }},
    {"300 colours, no palette", [](BitmapHandle *b) { b->ColorCount = 300, b->Palette = nullptr; }},
};

BitmapHandle g_unallocated;

// One call with argument i made bad by `mutate`; expects `code`.
void RunBad(const Row &row, size_t i, const char *what, int code,
            const std::function<void(Fixture &, BitmapHandle &saved)> &mutate) {
    std::snprintf(g_case, sizeof g_case, "%s, argument %d: %s", row.name, static_cast<int>(i) + 1, what);
    SCOPED_TRACE(g_case);
    ++g_totals.bad;
    const Counts start = Counts::Now();
    {
        Fixture f(row);
        if (row.prepare)
            row.prepare(f.call);
        BitmapHandle saved = {};
        if (f.call.ptr[i] && row.args[i].kind == Kind::Bitmap)
            saved = *f.call.bmp(static_cast<int>(i));
        mutate(f, saved);
        const intptr_t r = row.call(f.call);
        ExpectCode(row, r, code, "result");
        if (row.cleanup)
            row.cleanup(f.call, r);
        if (f.call.ptr[i] == &g_unallocated)
            K_FreeBitmap(&g_unallocated);  // what the call hung on it (a region)
        if (row.args[i].kind == Kind::Bitmap && (saved.Flags & BITMAP_ALLOCATED)) {
            BitmapHandle *b = f.bitmaps[std::count_if(row.args.begin(), row.args.begin() + i,
                                                      [](const Arg &a) { return a.kind == Kind::Bitmap; })];
            b->Width = saved.Width, b->Height = saved.Height, b->BitsPerPixel = saved.BitsPerPixel;
            b->BytesPerLine = saved.BytesPerLine, b->Orientation = saved.Orientation;
            b->ColorCount = saved.ColorCount, b->Palette = saved.Palette;  // undo the impossible fields
        }
    }
    start.ExpectSame(Counts::Now(), "after the bad call");
}

TEST_P(Sweep, RefusesBadInput) {
    const Row &row = Rows()[GetParam()];
    for (size_t i = 0; i < row.args.size() && !testing::Test::HasFailure(); ++i) {
        const Arg &a = row.args[i];
        switch (a.kind) {
        case Kind::Bitmap:
            RunBad(row, i, "unallocated descriptor", a.badCode, [i](Fixture &f, BitmapHandle &) {
                g_unallocated = BitmapHandle();
                f.call.ptr[i] = &g_unallocated;
            });
            for (const BadBitmap &bad : kBadBitmaps)
                RunBad(row, i, bad.what, kAny, [i, &bad](Fixture &f, BitmapHandle &) { bad.apply(f.call.bmp(i)); });
            [[fallthrough]];
        case Kind::Dc:
        case Kind::Wnd:
        case Kind::In:
        case Kind::Out:
        case Kind::OptIn:
        case Kind::OptOut:
        case Kind::Rgn:
            RunBad(row, i, "null", a.nullCode, [i](Fixture &f, BitmapHandle &saved) {
                f.call.ptr[i] = nullptr;
                saved = BitmapHandle();
            });
            break;
        case Kind::Enum:
            for (intptr_t v : {intptr_t(a.lo) - 1, intptr_t(a.hi) + 1, intptr_t(INT_MAX), intptr_t(INT_MIN)})
                RunBad(row, i, "value out of range", a.badCode, [i, v](Fixture &f, BitmapHandle &) { f.call.val[i] = v; });
            break;
        case Kind::Value:
            break;
        }
    }
}

std::string RowName(const testing::TestParamInfo<size_t> &info) { return Rows()[info.param].name; }

INSTANTIATE_TEST_SUITE_P(Exports, Sweep, testing::Range<size_t>(0, Rows().size()), RowName);

TEST(SweepTable, CoversTheExports) {
    std::set<std::string> rows, exports(std::begin(kExports), std::end(kExports));
    for (const Row &r : Rows()) {
        EXPECT_TRUE(rows.insert(r.name).second) << "two rows for " << r.name;
        EXPECT_TRUE(exports.count(r.name)) << "a row for " << r.name << ", which zvdisp.def does not export";
    }
    std::string missing;
    for (const std::string &e : exports)
        if (!rows.count(e))
            missing += " " + e;
    g_totals.exports = static_cast<int>(exports.size());
    g_totals.covered = g_totals.exports - static_cast<int>(std::count(missing.begin(), missing.end(), ' '));
    EXPECT_TRUE(missing.empty()) << "exports without a row:" << missing;
}

// The closing line, also kept in sweep-summary-<depth>.txt for the test command.
class Summary : public testing::Environment {
public:
    void SetUp() override { AddVectoredExceptionHandler(1, ReportCrash); }
    void TearDown() override {
        char line[200];
        std::snprintf(line, sizeof line,
                      "sweep: %d of %d exports covered, %d injected allocation failures, %d bad inputs tried\n",
                      g_totals.covered, g_totals.exports, g_totals.injected, g_totals.bad);
        std::fputs(line, stdout);
        const char *depth = std::getenv("ZV_DEPTH");
        std::string file = std::string("sweep-summary-") + (depth ? depth : "24") + ".txt";
        if (FILE *out = std::fopen(file.c_str(), "w")) {
            std::fputs(line, out);
            std::fclose(out);
        }
    }
};
const auto *const g_summary = testing::AddGlobalTestEnvironment(new Summary);

}  // namespace
