// Strips converted on several cores give the same bytes as strips made on
// the calling thread alone: random paints over depths, orientations,
// modes, device classes, surfaces, clips and caller bands, painted both
// ways; application threads that paint at once, each with its own workers.
// (Allocation failures of shared paints: paint_test.cpp.)
#include "paint/reference.h"

#include "frame/library.h"
#include "paint/paint_kind.h"
#include "paint/painters.h"
#include "paint/strip_threads.h"

#include <thread>

using namespace zvtest;

namespace {

constexpr uint32_t kBackground = 0x123456;

// Puts the internal switch back to the machine's choice when a test ends.
struct ThreadsScope {
    explicit ThreadsScope(int setting) { zv::SetStripThreads(setting); }
    ~ThreadsScope() { zv::SetStripThreads(zv::STRIP_THREADS_AUTO); }
};

// One random paint: the bitmap, the mode, the device class to paint for
// and the rectangles, and whether it is a band of caller rows.
struct SharedCase {
    BitmapHandle b{};
    UINT mode;
    int deviceBits;  // 0: the surface's own
    PaintCase pc;
    int bandRow, bandCount;  // bandCount 0: Z_PaintDC
};

const UINT kModes[] = {0,
                       DISP_ORDERED_DITHER,
                       DISP_SCALE_FILTER,
                       DISP_SCALE_FILTER_ALT,
                       DISP_SCALE_FILTER | DISP_ORDERED_DITHER,
                       DISP_SCALE_FILTER_ALT | DISP_ORDERED_DITHER | DISP_CUBE_PALETTE,
                       DISP_ORDERED_DITHER | DISP_CLUSTERED_DITHER,
                       DISP_PALETTE_INDICES | DISP_ORDERED_DITHER,
                       DISP_SCALE_TO_GRAY,
                       DISP_SCALE_BITONAL};
const int kBits[] = {1, 1, 4, 8, 16, 24, 32};

void MakeCase(SharedCase &c, std::mt19937 &rng, int tw, int th, int round) {
    const int bits = kBits[rng() % 7];
    MakeRandomBitmap(c.b, rng, 8 + int(rng() % 150), 8 + int(rng() % 150), bits,
                     bits == 16 && rng() % 2 ? ORDER_GRAY : ORDER_BGR, kOrientations[round % 8]);
    if (bits == 24 && rng() % 3 == 0) {
        for (int i = 0; i < 256; ++i)
            c.b.PaintLUT[i] = BYTE(255 - i / 3);
        c.b.Flags |= BITMAP_PAINT_LUT;
    }
    if (bits == 1 && rng() % 3)  // black and white: the footprint painters
        c.b.Palette[0] = RGBQUAD{0, 0, 0, 0}, c.b.Palette[1] = RGBQUAD{255, 255, 255, 0};
    c.mode = kModes[rng() % 10] | (rng() % 2 ? DISP_LIBRARY_DITHER | DISP_DITHER_8BIT : 0);
    const int devices[] = {0, 0, 1, 4, 8, 8};
    c.deviceBits = devices[rng() % 6];
    if (c.deviceBits && rng() % 4 && !(c.mode & (DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT)))
        c.mode |= DISP_ORDERED_DITHER;  // unfiltered diffused paints stay on one thread; filtered ones put on it
    const int w = DisplayW(c.b), h = DisplayH(c.b);
    c.pc.src = rng() % 3 ? RECT{0, 0, w, h} : RandomRect(rng, w, h);
    const int dw = 1 + int(rng() % (tw + tw / 2)), dh = 1 + int(rng() % (th + th / 2));
    const int x = int(rng() % (tw / 2)) - tw / 4, y = int(rng() % (th / 2)) - th / 4;
    c.pc.dst = RECT{x, y, x + dw, y + dh};
    c.pc.clipSrc = rng() % 4 ? kNoClip : RandomRect(rng, w, h);
    c.pc.clipDst = rng() % 4 ? kNoClip : RandomRect(rng, tw, th);
    c.bandCount = rng() % 5 == 0 && c.deviceBits == 0 ? 1 + int(rng() % c.b.Height) : 0;
    c.bandRow = c.bandCount ? int(rng() % (c.b.Height - c.bandCount + 1)) : 0;
}

int Paint(HDC dc, SharedCase &c) {
    ModeScope mode(c.mode);
    const PaintCase &pc = c.pc;
    if (c.bandCount)
        return Z_PaintDCBuffer(dc, &c.b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY,
                               c.b.Data + size_t(c.bandRow) * c.b.BytesPerLine, c.bandRow, c.bandCount);
    if (!c.deviceBits)
        return Z_PaintDC(dc, &c.b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY);
    return zv::PaintDispatchAs(dc, &c.b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY, c.deviceBits,
                               zv::ChoosePaintKind(&c.b, c.deviceBits, c.mode));
}

// The case painted on the calling thread alone and with `workers`
// workers onto target t: same status, same pixels.
template <class Target>
void ExpectSameBothWays(Target &t, SharedCase &c, int workers, const char *what) {
    zv::SetStripThreads(zv::STRIP_THREADS_OFF);
    t.Fill(kBackground);
    const int rc1 = Paint(t.dc, c);
    const auto single = t.Pixels();
    zv::SetStripThreads(workers);
    t.Fill(kBackground);
    const int rcN = Paint(t.dc, c);
    EXPECT_EQ(rc1, rcN) << what;
    EXPECT_TRUE(single == t.Pixels()) << what << ": " << FirstDifference(t.Pixels(), single, t.w);
}

}  // namespace

TEST(StripThreads, SharedPaintsGiveTheBytesOfOneThreadEverywhere) {
    ThreadsScope threads(zv::STRIP_THREADS_AUTO);
    std::mt19937 rng(61);
    Dib wide(160, 120);
    Dib24 narrow(160, 120);
    const int before = zv::CountSharedPaints();
    for (int round = 0; round < 400 && !testing::Test::HasFailure(); ++round) {
        SharedCase c;
        MakeCase(c, rng, 160, 120, round);
        char what[160];
        std::snprintf(what, sizeof what, "round %d: %dx%d %d bits orientation %d mode %#x device %d band %d+%d", round,
                      c.b.Width, c.b.Height, c.b.BitsPerPixel, c.b.Orientation, c.mode, c.deviceBits, c.bandRow,
                      c.bandCount);
        const int workers = 1 + int(rng() % zv::kMostStripWorkers);
        if (round % 2)
            ExpectSameBothWays(wide, c, workers, what);
        else
            ExpectSameBothWays(narrow, c, workers, what);
        K_FreeBitmap(&c.b);
    }
    EXPECT_GT(zv::CountSharedPaints() - before, 100) << "most paints took the shared road";
}

// A paint large enough for the machine's own choice: on more than one
// core it shares its strips, and either way it paints what one thread does.
TEST(StripThreads, TheMachinesChoiceAboveTheThresholdPaintsTheSameBytes) {
    ThreadsScope threads(zv::STRIP_THREADS_AUTO);
    std::mt19937 rng(62);
    Dib t(1200, 900);
    constexpr UINT kLibrary = DISP_LIBRARY_DITHER | DISP_DITHER_8BIT;
    for (UINT mode : {UINT(DISP_SCALE_FILTER), UINT(DISP_ORDERED_DITHER | kLibrary), UINT(DISP_SCALE_FILTER | kLibrary)})
        for (int orientation : {0, 5, 2}) {
            SharedCase c;
            const int bits = orientation == 2 ? 16 : 24;  // 16-bit gray filtered onto the grays
            MakeRandomBitmap(c.b, rng, 700, 500, bits, bits == 16 ? ORDER_GRAY : ORDER_BGR, orientation);
            c.mode = mode;
            c.deviceBits = mode == DISP_SCALE_FILTER ? 0 : 8;  // filtered and diffused: values shared, put in order
            c.pc = PaintCase{RECT{0, 0, DisplayW(c.b), DisplayH(c.b)}, kNoClip, RECT{0, 0, 1200, 900}, kNoClip};
            c.bandCount = 0;
            ExpectSameBothWays(t, c, zv::STRIP_THREADS_AUTO, "above the threshold");
            K_FreeBitmap(&c.b);
        }
}

// Four application threads paint their own bitmaps at once, each with its
// own workers and its own display modes, and show what one thread alone
// painted before.
TEST(StripThreads, FourApplicationThreadsShareTheirStripsAtOnce) {
    ThreadsScope threads(zv::STRIP_THREADS_OFF);
    std::mt19937 rng(64);
    constexpr int kThreads = 4, kRounds = 12;
    std::vector<SharedCase> cases(kThreads * kRounds);
    std::vector<std::vector<uint32_t>> expected(cases.size());
    std::vector<int> expectedRc(cases.size());
    {
        Dib t(160, 120);
        for (size_t i = 0; i < cases.size(); ++i) {
            MakeCase(cases[i], rng, 160, 120, int(i));
            t.Fill(kBackground);
            expectedRc[i] = Paint(t.dc, cases[i]);
            expected[i] = t.Pixels();
        }
    }
    zv::SetStripThreads(2);
    bool ok[kThreads] = {};
    auto work = [&](int k) {
        Dib t(160, 120);
        ok[k] = true;
        for (int r = 0; r < kRounds && ok[k]; ++r) {
            const size_t i = size_t(k) * kRounds + r;
            t.Fill(kBackground);
            ok[k] = Paint(t.dc, cases[i]) == expectedRc[i] && t.Pixels() == expected[i];
        }
        zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
    };
    std::vector<std::thread> app;
    for (int k = 0; k < kThreads; ++k)
        app.emplace_back(work, k);
    for (auto &a : app)
        a.join();
    for (int k = 0; k < kThreads; ++k)
        EXPECT_TRUE(ok[k]) << "thread " << k;
    for (auto &c : cases)
        K_FreeBitmap(&c.b);
}
