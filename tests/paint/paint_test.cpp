// Z_PaintDC and Z_PaintDCBuffer against the reference painter, pixel for
// pixel, over random seeded cases; the documented edge cases; allocation
// failures at every allocation of a paint.
#include "paint/reference.h"

#include "frame/library.h"
#include "paint/paint_kind.h"
#include "paint/painters.h"

#include <cstring>
#include <memory>
#include <thread>

using namespace zvtest;

namespace {

const int kOrientations[] = {0, 1, 2, 3, 4, 5, 7, 8};
constexpr uint32_t kBackground = 0x123456;

// A random paint of b onto a target of tw x th: enlarging, shrinking,
// mixed or 1:1, with clip rectangles on both sides (or none).
PaintCase RandomCase(std::mt19937 &rng, const BitmapHandle &b, int tw, int th) {
    PaintCase pc;
    const int w = DisplayW(b), h = DisplayH(b);
    pc.src = rng() % 4 ? RandomRect(rng, w, h) : RECT{0, 0, w, h};
    const int sw = pc.src.right - pc.src.left, sh = pc.src.bottom - pc.src.top;
    int dw, dh;
    switch (rng() % 4) {
    case 0: dw = sw, dh = sh; break;  // unscaled
    case 1: dw = sw * (2 + rng() % 3) + int(rng() % 3), dh = sh * (1 + rng() % 4); break;
    case 2: dw = std::max(1, sw / int(2 + rng() % 3)), dh = std::max(1, sh / int(1 + rng() % 3)); break;
    default: dw = 1 + int(rng() % (tw - 1)), dh = 1 + int(rng() % (th - 1)); break;
    }
    const int x = int(rng() % tw) - tw / 4, y = int(rng() % th) - th / 4;
    pc.dst = RECT{x, y, x + dw, y + dh};
    pc.clipSrc = rng() % 2 ? RandomRect(rng, w, h) : RECT{-100000, -100000, 100000, 100000};
    pc.clipDst = rng() % 2 ? RandomRect(rng, tw, th) : RECT{-100000, -100000, 100000, 100000};
    return pc;
}

std::vector<uint32_t> Expected(const Dib &dib, const BitmapHandle &b, const PaintCase &pc) {
    std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
    ReferencePaint(want, dib.w, dib.h, b, pc, [&](int, int, int X, int Y) {
        int c, r;
        DisplayToStored(b.Orientation, b.Width, b.Height, X, Y, &c, &r);
        return AsIsColor(b, c, r);
    });
    return want;
}

std::string Describe(const BitmapHandle &b, const PaintCase &pc) {
    char buf[256];
    snprintf(buf, sizeof buf,
             "%dx%d %d bits order %d orientation %d src (%ld,%ld,%ld,%ld) clip (%ld,%ld,%ld,%ld) dst (%ld,%ld,%ld,%ld) "
             "clip (%ld,%ld,%ld,%ld)",
             b.Width, b.Height, b.BitsPerPixel, b.Order, b.Orientation, pc.src.left, pc.src.top, pc.src.right,
             pc.src.bottom, pc.clipSrc.left, pc.clipSrc.top, pc.clipSrc.right, pc.clipSrc.bottom, pc.dst.left,
             pc.dst.top, pc.dst.right, pc.dst.bottom, pc.clipDst.left, pc.clipDst.top, pc.clipDst.right,
             pc.clipDst.bottom);
    return buf;
}

// Paints pc on a cleared dib and compares every pixel with the reference.
::testing::AssertionResult PaintsAsReference(Dib &dib, BitmapHandle &b, const PaintCase &pc) {
    dib.Fill(kBackground);
    const int rc = Z_PaintDC(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY);
    if (rc != RC_SUCCESS)
        return ::testing::AssertionFailure() << "status " << rc << ": " << Describe(b, pc);
    const auto got = dib.Pixels(), want = Expected(dib, b, pc);
    if (got != want)
        return ::testing::AssertionFailure() << Describe(b, pc) << "\n" << FirstDifference(got, want, dib.w);
    return ::testing::AssertionSuccess();
}

struct Depth {
    int bits, order;
};
// Depths GDI takes as they are (and 32 bits, expanded to 24), both
// colour orders where they have one.
const Depth kAsIsDepths[] = {{1, ORDER_BGR}, {4, ORDER_BGR},  {8, ORDER_BGR},  {16, ORDER_BGR},
                             {16, ORDER_BGR_CONVERT}, {24, ORDER_BGR}, {24, ORDER_BGR_CONVERT}, {32, ORDER_BGR}};

// Round r's bitmap: depth and order by r, orientation by r / 8, size random.
void RoundBitmap(BitmapHandle &b, std::mt19937 &rng, int round) {
    const Depth d = kAsIsDepths[round % 8];
    MakeRandomBitmap(b, rng, 1 + int(rng() % 37), 1 + int(rng() % 29), d.bits, d.order, kOrientations[(round / 8) % 8]);
}

TEST(PaintDC, MatchesTheReferenceForEveryDepthOrientationScaleAndClip) {
    ModeScope mode(0);
    LiveBlockCheck check;
    std::mt19937 rng(20261205);
    Dib dib(96, 80);
    for (int round = 0; round < 600; ++round) {
        BitmapHandle b{};
        RoundBitmap(b, rng, round);
        if (b.BitsPerPixel == 24 && rng() % 2) {  // a paint table in force
            for (int i = 0; i < 256; ++i)
                b.PaintLUT[i] = BYTE(255 - i / 2);
            b.Flags |= BITMAP_PAINT_LUT;
        }
        const PaintCase pc = RandomCase(rng, b, dib.w, dib.h);
        ASSERT_TRUE(PaintsAsReference(dib, b, pc)) << "round " << round;
        K_FreeBitmap(&b);
    }
}

// Wide strips go to surfaces that take 32-bit pixels as they are (the
// 32-bit DIB section above, a device-dependent bitmap and a window of a
// true-colour screen), narrow ones to the others (a 24-bit DIB section;
// every surface at depth 8): each shows the reference's pixels.  The DDB
// and the window are read back through the 32-bit DIB section, exactly
// only at depth 24.
TEST(PaintDC, EverySurfaceShowsTheReferencePixels) {
    ModeScope mode(0);
    std::mt19937 rng(20261206);
    Dib dib(96, 80);
    Dib24 narrow(96, 80);
    const bool exactReadBack = ScreenDepth() >= 24;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP ddb = CreateCompatibleBitmap(screen, dib.w, dib.h);
    HGDIOBJ old = SelectObject(memory, ddb);
    ReleaseDC(nullptr, screen);
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, dib.w, dib.h, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    HDC windowDC = GetDC(window);
    HBRUSH background = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
    const RECT all{0, 0, dib.w, dib.h};
    for (int round = 0; round < 160; ++round) {
        BitmapHandle b{};
        RoundBitmap(b, rng, round);
        if (b.BitsPerPixel == 24 && rng() % 2) {
            for (int i = 0; i < 256; ++i)
                b.PaintLUT[i] = BYTE(i * 7 / 3);
            b.Flags |= BITMAP_PAINT_LUT;
        }
        const PaintCase pc = RandomCase(rng, b, dib.w, dib.h);
        const auto want = Expected(dib, b, pc);
        narrow.Fill(kBackground);
        ASSERT_EQ(Z_PaintDC(narrow.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
        EXPECT_EQ(narrow.Pixels(), want) << "24-bit DIB section: " << Describe(b, pc);
        for (HDC dc : {memory, windowDC}) {
            FillRect(dc, &all, background);
            ASSERT_EQ(Z_PaintDC(dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
            BitBlt(dib.dc, 0, 0, dib.w, dib.h, dc, 0, 0, SRCCOPY);
            if (exactReadBack) {
                EXPECT_EQ(dib.Pixels(), want) << (dc == memory ? "DDB: " : "window: ") << Describe(b, pc);
            }
        }
        K_FreeBitmap(&b);
    }
    DeleteObject(background);
    ReleaseDC(window, windowDC);
    DestroyWindow(window);
    SelectObject(memory, old);
    DeleteObject(ddb);
    DeleteDC(memory);
}

TEST(PaintDC, NullRectanglesPaintTheWholeImageUnscaled) {
    ModeScope mode(0);
    std::mt19937 rng(3);
    Dib dib(60, 120);
    BitmapHandle b{};
    MakeRandomBitmap(b, rng, 100, 50, 24, ORDER_BGR, 5);
    dib.Fill(kBackground);
    const RECT dst{0, 0, 50, 100};
    ASSERT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
    const PaintCase pc{{0, 0, 50, 100}, {0, 0, 50, 100}, dst, dst};
    EXPECT_TRUE(dib.Pixels() == Expected(dib, b, pc));
    K_FreeBitmap(&b);
}

TEST(PaintDC, ChecksArgumentsInOrderAndEmptyRectanglesPaintNothing) {
    ModeScope mode(0);
    std::mt19937 rng(4);
    Dib dib(40, 40);
    BitmapHandle b{};
    const RECT dst{0, 0, 20, 20};
    EXPECT_EQ(Z_PaintDC(dib.dc, nullptr, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_NO_BITMAP);
    EXPECT_EQ(Z_PaintDC(nullptr, &b, nullptr, nullptr, nullptr, nullptr, SRCCOPY), RC_NO_BITMAP)
        << "an unallocated bitmap comes first";
    MakeRandomBitmap(b, rng, 20, 20, 8, ORDER_BGR, 0);
    EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, nullptr, nullptr, SRCCOPY), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_PaintDC(nullptr, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_INVALID_PARAMETER);
    dib.Fill(kBackground);
    const std::vector<uint32_t> blank = dib.Pixels();
    const RECT inverted[] = {{20, 0, 0, 20}, {0, 20, 20, 0}, {5, 5, 5, 9}};
    for (const RECT &r : inverted) {
        EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &r, nullptr, SRCCOPY), RC_SUCCESS);
        EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &r, &dst, SRCCOPY), RC_SUCCESS);
        EXPECT_EQ(Z_PaintDC(dib.dc, &b, &r, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
    }
    const RECT away{30, 30, 40, 40}, outside{25, 25, 30, 30};
    EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, &away, &dst, nullptr, SRCCOPY), RC_SUCCESS) << "clip outside the image";
    EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, &outside, SRCCOPY), RC_SUCCESS);
    EXPECT_TRUE(dib.Pixels() == blank) << "nothing painted";
    K_FreeBitmap(&b);
}

// Destinations far larger than the device: clipped, they paint their
// visible part exactly; unclipped beyond any buffer, they fail cleanly.
TEST(PaintDC, HugeDestinationsPaintTheirClippedPartOrFailCleanly) {
    ModeScope mode(0);
    LiveBlockCheck check;
    std::mt19937 rng(41);
    Dib dib(64, 48);
    BitmapHandle b{};
    MakeRandomBitmap(b, rng, 37, 23, 24, ORDER_BGR, 4);
    const PaintCase pc{{0, 0, DisplayW(b), DisplayH(b)}, {0, 0, 999, 999}, {-300000000, -7, 300000000, 40},
                       {0, 0, 64, 48}};
    dib.Fill(kBackground);
    ASSERT_EQ(Z_PaintDC(dib.dc, &b, &pc.src, nullptr, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
    EXPECT_TRUE(dib.Pixels() == Expected(dib, b, pc));
    const RECT wide{0, 0, 200000000, 2};
    b.Orientation = 0;  // rows, not columns, of 200 million pixels
    EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &wide, nullptr, SRCCOPY), RC_NO_MEMORY);
    K_FreeBitmap(&b);
}

TEST(PaintDC, EnlargingFourTimesReadsEachSourceRowOnce) {
    ModeScope mode(0);
    std::mt19937 rng(5);
    Dib dib(128, 128);
    for (int o : kOrientations) {
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 30, 20, 24, ORDER_BGR, o);
        const RECT dst{0, 0, DisplayW(b) * 4, DisplayH(b) * 4};
        const int before = K_GetRowReadCount();
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
        EXPECT_EQ(K_GetRowReadCount() - before, b.Height) << "orientation " << o;
        K_FreeBitmap(&b);
    }
}

// A 10000-pixel-wide 24-bit destination: strips of 262144 / 30000 = 8
// rows where the surface does not take 32-bit pixels as they are (a 24-bit
// DIB section), wide ones of 262144 / 40000 = 6 rows where it does (a
// 32-bit one, at either depth); either way the peak stays under 300 KB.
TEST(PaintDC, WidePaintsUseEightRowStripsAndLittleMemory) {
    ModeScope mode(0);
    std::mt19937 rng(6);
    Dib dib(10000, 16);
    Dib24 narrow(10000, 16);
    for (int srcW : {5000, 10000, 20000}) {
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, srcW, 8, 24, ORDER_BGR, 0);
        const RECT dst{0, 0, 10000, 16};
        for (HDC dc : {narrow.dc, dib.dc}) {
            K_ResetPeakBytes();
            const size_t live = K_GetLiveBytes();
            ASSERT_EQ(Z_PaintDC(dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
            EXPECT_LT(K_GetPeakBytes() - live, size_t(300 * 1024)) << "source width " << srcW;
            const BITMAPINFOHEADER &h = zv::GetPaintSettings()->PaintInfo.bmiHeader;
            const bool wide = dc == dib.dc;
            EXPECT_EQ(h.biBitCount, wide ? 32 : 24);
            EXPECT_EQ(h.biHeight, wide ? 16 - 6 - 6 : 16 - 8) << "the last strip's rows";
        }
        K_FreeBitmap(&b);
    }
}

TEST(PaintDC, TurnedAndDiffusedWidePaintsStayWithinTheBudget) {
    std::mt19937 rng(16);
    Dib dib(10000, 16);
    for (int orientation : {ORIENT_TOP_LEFT, ORIENT_LEFT_TOP}) {
        for (UINT mode : {0u, UINT(DISP_ORDERED_DITHER)}) {
            SCOPED_TRACE(testing::Message() << "orientation " << orientation << ", mode " << mode);
            ModeScope scope(mode);
            BitmapHandle b{};
            const bool turned = orientation == ORIENT_LEFT_TOP;
            MakeRandomBitmap(b, rng, turned ? 16 : 10000, turned ? 10000 : 16, 24, ORDER_BGR, orientation);
            const RECT dst{0, 0, 10000, 16};
            K_ResetPeakBytes();
            const size_t live = K_GetLiveBytes();
            ASSERT_EQ(zv::PaintDispatchAs(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY, 8, zv::PAINT_DITHER),
                      RC_SUCCESS);
            EXPECT_LT(K_GetPeakBytes() - live, size_t(300 * 1024));
            K_FreeBitmap(&b);
        }
    }
}

// GDI scales a direct paint itself (in HALFTONE mode), so the check is
// on the header, the covered area and which stored rows show on top.
TEST(PaintDC, DirectPaintIsOneStretchDIBitsStraightFromThePixels) {
    ModeScope mode(DISP_DIRECT_PAINT);
    std::mt19937 rng(7);
    Dib dib(100, 80);
    for (int o : {0, 2}) {
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 40, 30, 8, ORDER_BGR, o);
        for (int y = 0; y < 30; ++y)  // stored rows 0..14 index 1, the rest index 2
            std::memset(b.Data + size_t(y) * b.BytesPerLine, y < 15 ? 1 : 2, 40);
        RGBQUAD first{}, second{};
        K_GetBitmapColors(&b, 1, 1, &first);
        K_GetBitmapColors(&b, 2, 1, &second);
        dib.Fill(kBackground);
        const RECT dst{3, 4, 83, 64};
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
        const BITMAPINFOHEADER &h = zv::GetPaintSettings()->PaintInfo.bmiHeader;
        EXPECT_EQ(h.biHeight, o == 0 ? -30 : 30) << "top-down rows for orientation 0";
        EXPECT_EQ(h.biWidth, 40);
        const auto px = dib.Pixels();
        const uint32_t top = px[size_t(10) * dib.w + 40], bottom = px[size_t(58) * dib.w + 40];
        const RGBQUAD &wantTop = o == 0 ? first : second, &wantBottom = o == 0 ? second : first;
        EXPECT_EQ(top, Rgb(wantTop.rgbRed, wantTop.rgbGreen, wantTop.rgbBlue)) << "orientation " << o;
        EXPECT_EQ(bottom, Rgb(wantBottom.rgbRed, wantBottom.rgbGreen, wantBottom.rgbBlue)) << "orientation " << o;
        for (int y = 0; y < dib.h; ++y)
            for (int x = 0; x < dib.w; ++x) {
                const bool inside = x >= 3 && x < 83 && y >= 4 && y < 64;
                ASSERT_EQ(px[size_t(y) * dib.w + x] != kBackground, inside) << x << "," << y;
            }
        SelectClipRgn(dib.dc, nullptr);
        K_FreeBitmap(&b);
    }
}

TEST(PaintDCBuffer, PaintsOnlyTheBandAndLeavesTheBufferAsItWas) {
    ModeScope mode(0);
    LiveBlockCheck check;
    std::mt19937 rng(8);
    Dib dib(96, 80);
    for (int round = 0; round < 300; ++round) {
        BitmapHandle b{};
        RoundBitmap(b, rng, round);
        PaintCase pc = RandomCase(rng, b, dib.w, dib.h);
        const int row = int(rng() % b.Height), count = 1 + int(rng() % (b.Height - row));
        // The band in the caller's memory, last row first when count < 0.
        const bool reversed = rng() % 3 == 0;
        std::vector<BYTE> band(size_t(b.BytesPerLine) * count);
        for (int i = 0; i < count; ++i)
            std::memcpy(&band[size_t(reversed ? count - 1 - i : i) * b.BytesPerLine],
                        b.Data + size_t(row + i) * b.BytesPerLine, b.BytesPerLine);
        const std::vector<BYTE> before = band;
        dib.Fill(kBackground);
        ASSERT_EQ(Z_PaintDCBuffer(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY, band.data(), row,
                                  reversed ? -count : count),
                  RC_SUCCESS);
        EXPECT_TRUE(band == before) << "the caller's rows are unchanged";
        // Only the band's rows may show: clip the source to the band.
        RECT stored{0, row, b.Width, row + count};
        K_ConvertRectOrientation(b.Orientation, b.Width, b.Height, 0, &stored);
        pc.clipSrc = RECT{std::max(pc.clipSrc.left, stored.left), std::max(pc.clipSrc.top, stored.top),
                          std::min(pc.clipSrc.right, stored.right), std::min(pc.clipSrc.bottom, stored.bottom)};
        const auto got = dib.Pixels();
        auto want = Expected(dib, b, pc);
        if (pc.clipSrc.right <= pc.clipSrc.left || pc.clipSrc.bottom <= pc.clipSrc.top)
            want.assign(want.size(), kBackground);
        ASSERT_TRUE(got == want) << "round " << round << " band " << row << "+" << count << ": " << Describe(b, pc)
                                 << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

TEST(PaintDCBuffer, ChecksArguments) {
    Dib dib(8, 8);
    BitmapHandle b{};
    BYTE row[16] = {};
    const RECT dst{0, 0, 4, 4};
    EXPECT_EQ(Z_PaintDCBuffer(dib.dc, nullptr, nullptr, nullptr, &dst, nullptr, SRCCOPY, row, 0, 1), RC_NO_BITMAP);
    EXPECT_EQ(Z_PaintDCBuffer(dib.dc, &b, nullptr, nullptr, nullptr, nullptr, SRCCOPY, nullptr, 0, 1), RC_NO_BITMAP);
    EXPECT_EQ(Z_PaintDCBuffer(dib.dc, &b, nullptr, nullptr, nullptr, nullptr, SRCCOPY, row, 0, 1),
              RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_PaintDCBuffer(nullptr, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY, row, 0, 1), RC_INVALID_PARAMETER);
}

// Allocation failures at every allocation of a paint: the documented
// code, nothing painted, nothing left allocated.
TEST(PaintDC, EveryAllocationFailureIsCleanAndPaintsNothing) {
    std::mt19937 rng(9);
    Dib dib(64, 64);
    struct Setup {
        int bits, orientation;
        UINT mode;
        RECT dst;
    };
    const Setup setups[] = {
        {24, 0, 0, {0, 0, 50, 40}},  {24, 4, 0, {0, 0, 33, 61}},
        {8, 3, 0, {2, 2, 60, 50}},   {24, 7, DISP_SCALE_FILTER, {0, 0, 45, 37}},
        {24, 0, DISP_SCALE_FILTER_ALT, {0, 0, 12, 9}}, {1, 8, DISP_SCALE_TO_GRAY, {0, 0, 9, 7}},
        {1, 0, DISP_SCALE_TO_GRAY, {0, 0, 50, 50}}, {1, 5, DISP_SCALE_BITONAL, {0, 0, 13, 11}},
        {1, 2, DISP_SCALE_TO_GRAY, {0, 0, 25, 20}},
    };
    for (const Setup &s : setups) {
        ModeScope mode(s.mode);
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 25, 20, s.bits, ORDER_BGR, s.orientation);
        if (s.bits == 1) {
            const RGBQUAD bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
            K_PutBitmapColors(&b, 0, 2, bw);
        }
        dib.Fill(kBackground);
        const auto blank = dib.Pixels();
        const int n = SweepAllocationFailures(
            [&] { return Z_PaintDC(dib.dc, &b, nullptr, nullptr, &s.dst, nullptr, SRCCOPY); },
            [&](int rc) {
                EXPECT_EQ(rc, RC_NO_MEMORY);
                EXPECT_TRUE(dib.Pixels() == blank) << "painted although an allocation failed";
            },
            [&](int rc) {
                EXPECT_EQ(rc, RC_SUCCESS);
                EXPECT_FALSE(dib.Pixels() == blank);
                dib.Fill(kBackground);
            });
        EXPECT_GT(n, 0) << "a paint allocates";
        K_FreeBitmap(&b);
    }
    // The reversed band's copy.
    BitmapHandle b{};
    MakeRandomBitmap(b, rng, 25, 20, 24, ORDER_BGR, 0);
    std::vector<BYTE> band(size_t(b.BytesPerLine) * 5);
    const RECT dst{0, 0, 50, 40};
    SweepAllocationFailures(
        [&] { return Z_PaintDCBuffer(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY, band.data(), 3, -5); },
        [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); }, [&](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
    K_FreeBitmap(&b);
}

TEST(PaintDC, TwoThreadsPaintAtOnceWithTheirOwnModes) {
    auto work = [](unsigned seed, UINT modeBits, bool *ok) {
        auto mode = std::make_unique<ModeScope>(modeBits);  // gone before the thread's settings are
        std::mt19937 rng(seed);
        Dib dib(64, 64);
        *ok = true;
        for (int round = 0; round < 60 && *ok; ++round) {
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, 1 + int(rng() % 30), 1 + int(rng() % 30), round % 2 ? 24 : 8, ORDER_BGR,
                             kOrientations[round % 8]);
            const PaintCase pc = RandomCase(rng, b, dib.w, dib.h);
            dib.Fill(kBackground);
            const int rc = Z_PaintDC(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY);
            const auto got = dib.Pixels(), want = Expected(dib, b, pc);
            *ok = rc == RC_SUCCESS && got == want;
            if (!*ok)
                ADD_FAILURE() << "seed " << seed << " round " << round << ": status " << rc << ", " << Describe(b, pc)
                              << "\n" << FirstDifference(got, want, dib.w);
            K_FreeBitmap(&b);
        }
        mode.reset();
        zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
    };
    bool ok1 = false, ok2 = false;
    std::thread t1(work, 1u, 0u, &ok1), t2(work, 2u, DISP_CLUSTERED_DITHER, &ok2);
    t1.join();
    t2.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
}

}  // namespace

// Unscaled paints of whole-byte pixels large enough for several strips,
// upright and upside-down rows, clipped on both sides: GDI reads the
// bitmap's own rows band by band, with no strip to fill.
TEST(PaintDC, UnscaledPaintsOverManyStripsMatchTheReferenceWithoutAStrip) {
    ModeScope mode(0);
    LiveBlockCheck check;
    std::mt19937 rng(11);
    Dib dib(640, 320);
    for (int round = 0; round < 16; ++round) {
        const int bits = round % 4 < 2 ? 8 : 24;
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 500 + int(rng() % 100), 200 + int(rng() % 100), bits, ORDER_BGR,
                         round % 2 ? ORIENT_BOTTOM_LEFT : ORIENT_TOP_LEFT);
        const PaintCase pc = RandomUnscaledCase(rng, b, dib.w, dib.h, round < 4);
        K_ResetPeakBytes();
        const size_t live = K_GetLiveBytes();
        ASSERT_TRUE(PaintsAsReference(dib, b, pc)) << "round " << round;
        EXPECT_EQ(K_GetPeakBytes() - live, size_t(0)) << "round " << round;
        K_FreeBitmap(&b);
    }
}
