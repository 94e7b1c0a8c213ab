// Z_PaintDC and Z_PaintDCBuffer against the reference painter, pixel for
// pixel, over random seeded cases: every depth (as it is, expanded,
// through window-level and paint tables), orientation, scale, clip,
// caller band and kind of surface; library dithering (ordered and error
// diffusion, from the converters' definitions), scale to gray and to 1 bit
// from footprints, interpolated scaling, palette indices; memory and
// allocation failures, with and without strip workers.
#include "paint/reference.h"

#include "frame/library.h"
#include "paint/fixed_palettes.h"
#include "paint/paint_kind.h"
#include "paint/painters.h"
#include "paint/strip_engine.h"
#include "paint/strip_threads.h"

#include <cstring>

using namespace zvtest;

namespace {

constexpr uint32_t kBackground = 0x123456;

RECT Intersect(const RECT &a, const RECT &b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

uint32_t Quad(const RGBQUAD &q) { return Rgb(q.rgbRed, q.rgbGreen, q.rgbBlue); }

// Colour shown for displayed source pixel (X, Y) when the library reduces
// no colours: as it is; gray deeper than 8 bits through the window table
// in force (clamped to its length, then through the paint table) or its
// significant bits scaled to 8; 48 and 64 bits the high byte of each
// channel.
uint32_t Shown(const BitmapHandle &b, int X, int Y) {
    int c, r;
    DisplayToStored(b.Orientation, b.Width, b.Height, X, Y, &c, &r);
    const uint64_t v = PixelAt(b, c, r);
    const int bits = b.BitsPerPixel;
    if ((bits == 12 || bits == 16) && b.Order == ORDER_GRAY) {
        const bool table = b.WindowLUT && (b.Flags & BITMAP_WINDOW_LEVEL);
        int n, shift;
        UINT m;
        K_GetSignificantBits(bits, table ? bits : 8, b.LowBit, b.HighBit, &n, &m, &shift);
        if (table) {
            const RGBQUAD &q = b.WindowLUT[std::min<size_t>((v >> shift) & m, b.WindowLUTLength - 1)];
            auto t = [&](BYTE x) { return (b.Flags & BITMAP_PAINT_LUT) ? b.PaintLUT[x] : x; };
            return Rgb(t(q.rgbRed), t(q.rgbGreen), t(q.rgbBlue));
        }
        const int g = int((v >> shift) & 0xFF & m);
        return m < 255 ? Rgb(g * 255 / int(m), g * 255 / int(m), g * 255 / int(m)) : Rgb(g, g, g);
    }
    if (bits == 48 || bits == 64)
        return Rgb(int((v >> 40) & 255), int((v >> 24) & 255), int((v >> 8) & 255));
    return AsIsColor(b, c, r);
}

std::vector<uint32_t> Expected(int w, int h, const BitmapHandle &b, const PaintCase &pc) {
    std::vector<uint32_t> want(size_t(w) * h, kBackground);
    ReferencePaint(want, w, h, b, pc, [&](int, int, int X, int Y) { return Shown(b, X, Y); });
    return want;
}

std::string Describe(const BitmapHandle &b, const PaintCase &pc) {
    std::string d = std::to_string(b.Width) + "x" + std::to_string(b.Height) + " " + std::to_string(b.BitsPerPixel) +
                    " bits order " + std::to_string(b.Order) + " orientation " + std::to_string(b.Orientation);
    for (const RECT &q : {pc.src, pc.clipSrc, pc.dst, pc.clipDst})
        d += " (" + std::to_string(q.left) + "," + std::to_string(q.top) + "," + std::to_string(q.right) + "," +
             std::to_string(q.bottom) + ")";
    return d;
}

// Clears the target, paints pc of b on it and returns its pixels.
template <class Target>
std::vector<uint32_t> PaintOn(Target &t, BitmapHandle &b, const PaintCase &pc) {
    t.Fill(kBackground);
    EXPECT_EQ(Z_PaintDC(t.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS) << Describe(b, pc);
    return t.Pixels();
}

// Paints pc of b from the caller's rows [row, row + count) (last row first
// when reversed) and clips pc's source to them: only they may show.
template <class Target>
std::vector<uint32_t> PaintBand(Target &dib, BitmapHandle &b, PaintCase &pc, std::vector<BYTE> &rows, int row, int count,
                                bool reversed) {
    dib.Fill(kBackground);
    EXPECT_EQ(Z_PaintDCBuffer(dib.dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY, rows.data(), row,
                              reversed ? -count : count),
              RC_SUCCESS) << Describe(b, pc);
    RECT stored{0, row, b.Width, row + count};
    K_ConvertRectOrientation(b.Orientation, b.Width, b.Height, 0, &stored);
    pc.clipSrc = Intersect(pc.clipSrc, stored);
    return dib.Pixels();
}

// A random paint of b onto a target of tw x th: enlarging, shrinking,
// mixed or 1:1, with clip rectangles on both sides (or none).
PaintCase RandomCase(std::mt19937 &rng, const BitmapHandle &b, int tw, int th) {
    PaintCase pc;
    const int w = DisplayW(b), h = DisplayH(b);
    pc.src = rng() % 4 ? RandomRect(rng, w, h) : RECT{0, 0, w, h};
    const int sw = pc.src.right - pc.src.left, sh = pc.src.bottom - pc.src.top;
    int dw, dh;
    switch (rng() % 4) {
    case 0: dw = sw, dh = sh; break;
    case 1: dw = sw * (2 + rng() % 3) + int(rng() % 3), dh = sh * (1 + rng() % 4); break;
    case 2: dw = std::max(1, sw / int(2 + rng() % 3)), dh = std::max(1, sh / int(1 + rng() % 3)); break;
    default: dw = 1 + int(rng() % (tw - 1)), dh = 1 + int(rng() % (th - 1)); break;
    }
    const int x = int(rng() % tw) - tw / 4, y = int(rng() % th) - th / 4;
    pc.dst = RECT{x, y, x + dw, y + dh};
    pc.clipSrc = rng() % 2 ? RandomRect(rng, w, h) : kNoClip;
    pc.clipDst = rng() % 2 ? RandomRect(rng, tw, th) : kNoClip;
    return pc;
}

// Depths GDI takes as they are (and 32 bits, expanded to 24) in both
// colour orders where they have one, the depths the expanders widen, and
// gray deeper than 8 bits.
const int kDepths[][2] = {{1, ORDER_BGR},  {4, ORDER_BGR},  {8, ORDER_BGR},  {16, ORDER_BGR}, {16, ORDER_BGR_CONVERT},
                          {24, ORDER_BGR}, {24, ORDER_BGR_CONVERT}, {32, ORDER_BGR}, {2, ORDER_BGR}, {3, ORDER_BGR},
                          {5, ORDER_BGR},  {6, ORDER_BGR},  {7, ORDER_BGR},  {12, ORDER_GRAY}, {16, ORDER_GRAY},
                          {48, ORDER_BGR}, {64, ORDER_BGR}};
constexpr int kDepthCount = 17;

// Round r's bitmap: depth by r, orientation by r / 17, size random.  Deep
// gray has its significant bits somewhere in the pixel, or a window-level
// table (gray or coloured; sometimes shorter than the values, sometimes of
// every bit of 16); a paint table is in force on some 24-bit ones and
// some with a window table.
void RoundBitmap(BitmapHandle &b, std::mt19937 &rng, int round) {
    const int bits = kDepths[round % kDepthCount][0], order = kDepths[round % kDepthCount][1];
    MakeRandomBitmap(b, rng, 1 + int(rng() % 37), 1 + int(rng() % 29), bits, order, kOrientations[(round / kDepthCount) % 8]);
    if (order == ORDER_GRAY && rng() % 2) {
        const bool allBits = bits == 16 && rng() % 4 == 0;
        const int low = allBits ? 0 : int(rng() % 3), high = allBits ? 15 : low + 5 + int(rng() % 4);
        std::vector<RGBQUAD> table((size_t(1) << (high - low + 1)) >> (rng() % 3 == 0 ? 1 : 0));
        const bool gray = rng() % 2;
        for (size_t i = 0; i < table.size(); ++i) {
            const BYTE v = BYTE(i * 255 / (table.size() - 1));
            table[i] = gray ? RGBQUAD{v, v, v, 0} : RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
        }
        ASSERT_EQ(Z_WindowLevel(&b, low, high, table.data(), UINT(table.size()), 1), RC_SUCCESS);
    } else if (order == ORDER_GRAY) {
        b.LowBit = int(rng() % 4);
        b.HighBit = b.LowBit + 4 + int(rng() % (bits - 4 - b.LowBit));
    }
    if ((bits == 24 || b.WindowLUT) && rng() % 2) {
        for (int i = 0; i < 256; ++i)
            b.PaintLUT[i] = BYTE(255 - i / 2);
        b.Flags |= BITMAP_PAINT_LUT;
    }
}

// Surfaces: the 32-bit DIB section takes wide strips; a 24-bit one narrow
// strips; a window (read back through the 32-bit DIB section, exactly
// only at depth 24) what the screen takes.  A band of caller rows (last
// row first on some rounds; upright and 1:1 on the 24-bit section on
// others) shows only its own rows and stays as it was.
TEST(PaintDC, MatchesTheReferenceForEveryDepthOrientationScaleClipBandAndSurface) {
    ModeScope mode(0);
    LiveBlockCheck check;
    std::mt19937 rng(20261205);
    Dib dib(96, 80);
    Dib24 narrow(96, 80);
    const bool exactReadBack = ScreenDepth() >= 24;
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, dib.w, dib.h, nullptr,
                                  nullptr, nullptr, nullptr);
    HDC windowDC = GetDC(window);
    HBRUSH background = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
    const RECT all{0, 0, dib.w, dib.h};
    for (int round = 0; round < 60 * kDepthCount; ++round) {
        BitmapHandle b{};
        RoundBitmap(b, rng, round);
        if (round % 8 == 2)  // upright: a 1:1 band may go to GDI at once
            b.Orientation = round % 16 == 2 ? ORIENT_TOP_LEFT : ORIENT_BOTTOM_LEFT;
        PaintCase pc = RandomCase(rng, b, dib.w, dib.h);
        std::vector<uint32_t> got;
        if (round % 4 == 2) {
            const int row = int(rng() % b.Height), count = 1 + int(rng() % (b.Height - row));
            const bool reversed = rng() % 3 == 0;
            if (round % 8 == 2)
                pc.dst = RECT{pc.dst.left, pc.dst.top, pc.dst.left + pc.src.right - pc.src.left,
                              pc.dst.top + pc.src.bottom - pc.src.top};
            std::vector<BYTE> band(size_t(b.BytesPerLine) * count);
            for (int i = 0; i < count; ++i)
                std::memcpy(&band[size_t(reversed ? count - 1 - i : i) * b.BytesPerLine],
                            b.Data + size_t(row + i) * b.BytesPerLine, b.BytesPerLine);
            const std::vector<BYTE> before = band;
            got = round % 8 == 2 ? PaintBand(narrow, b, pc, band, row, count, reversed)
                                 : PaintBand(dib, b, pc, band, row, count, reversed);
            EXPECT_TRUE(band == before) << "the caller's rows are unchanged";
        } else {
            got = round % 4 == 3 ? PaintOn(narrow, b, pc) : PaintOn(dib, b, pc);
        }
        const auto want = Expected(dib.w, dib.h, b, pc);
        ASSERT_TRUE(got == want) << "round " << round << ": " << Describe(b, pc) << "\n" << FirstDifference(got, want, dib.w);
        if (round % 8 == 0 && exactReadBack) {
            FillRect(windowDC, &all, background);
            ASSERT_EQ(Z_PaintDC(windowDC, &b, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, SRCCOPY), RC_SUCCESS);
            BitBlt(dib.dc, 0, 0, dib.w, dib.h, windowDC, 0, 0, SRCCOPY);
            EXPECT_TRUE(dib.Pixels() == want) << "window: " << Describe(b, pc);
        }
        K_FreeBitmap(&b);
    }
    DeleteObject(background);
    ReleaseDC(window, windowDC);
    DestroyWindow(window);
}

// Unscaled paints of whole-byte pixels large enough for several strips,
// upright and upside-down rows, clipped on both sides: GDI reads the
// bitmap's own rows band by band, with no strip to fill.
TEST(PaintDC, UnscaledPaintsOverManyStripsMatchTheReferenceWithoutAStrip) {
    ModeScope mode(0);
    LiveBlockCheck check;
    std::mt19937 rng(11);
    Dib dib(640, 320);
    for (int round = 0; round < 16; ++round) {
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 500 + int(rng() % 100), 200 + int(rng() % 100), round % 4 < 2 ? 8 : 24, ORDER_BGR,
                         round % 2 ? ORIENT_BOTTOM_LEFT : ORIENT_TOP_LEFT);
        const PaintCase pc = RandomUnscaledCase(rng, b, dib.w, dib.h, round < 4);
        K_ResetPeakBytes();
        const size_t live = K_GetLiveBytes();
        const auto got = PaintOn(dib, b, pc), want = Expected(dib.w, dib.h, b, pc);
        EXPECT_EQ(K_GetPeakBytes() - live, size_t(0)) << "round " << round;
        ASSERT_TRUE(got == want) << "round " << round << ": " << Describe(b, pc) << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

// Tall turned paints, whose strips of whole destination columns would be
// too narrow for GDI, go in tiles: every depth, copied or expanded onto
// wide and narrow strips or dithered in order for a palette device, on
// one thread and shared.  They show the reference's pixels (copies and
// expansions onto wide strips) and, in every mode, what the same paint
// cut by the clip into slices too narrow to tile shows.
TEST(PaintDC, TallTurnedPaintsInTilesMatchTheReferenceAndTheirNarrowSlices) {
    ModeScope settings(0);  // the thread's settings, made before the count
    LiveBlockCheck check;
    std::mt19937 rng(20261207);
    Dib dib(40, 2600);
    Dib24 narrow(40, 2600);
    constexpr UINT kOrdered = DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER;
    const int turned[] = {4, 5, 7, 8};
    const int tiledBefore = zv::CountTiledPaints();
    for (int round = 0; round < 4 * kDepthCount && !testing::Test::HasFailure(); ++round) {
        BitmapHandle b{};
        RoundBitmap(b, rng, round);
        b.Orientation = turned[(round / kDepthCount) % 4];
        const int deviceBits = round % 3 == 0 ? std::array<int, 3>{8, 4, 1}[rng() % 3] : 0;
        ModeScope mode(deviceBits ? kOrdered : 0);
        zv::SetStripThreads(round % 2 ? 2 : zv::STRIP_THREADS_OFF);
        const int w = DisplayW(b), h = DisplayH(b);
        PaintCase pc{rng() % 3 ? RECT{0, 0, w, h} : RandomRect(rng, w, h), kNoClip, {}, kNoClip};
        const int x0 = int(rng() % 10) - 5, y0 = int(rng() % 60) - 30;
        pc.dst = RECT{x0, y0, x0 + 20 + int(rng() % 30), y0 + 1100 + int(rng() % 1500)};
        if (rng() % 3 == 0)
            pc.clipDst = RECT{int(rng() % 10), int(rng() % 100), 30 + int(rng() % 10), 1200 + int(rng() % 1400)};
        auto paint = [&](HDC dc, const RECT &clipDst) {
            if (!deviceBits)
                return Z_PaintDC(dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &clipDst, SRCCOPY);
            return zv::PaintDispatchAs(dc, &b, &pc.src, &pc.clipSrc, &pc.dst, &clipDst, SRCCOPY, deviceBits,
                                       zv::ChoosePaintKind(&b, deviceBits, kOrdered));
        };
        auto wholeAndSlices = [&](auto &t, std::vector<uint32_t> *whole, std::vector<uint32_t> *sliced) {
            t.Fill(kBackground);
            EXPECT_EQ(paint(t.dc, pc.clipDst), RC_SUCCESS);
            *whole = t.Pixels();
            t.Fill(kBackground);
            for (int x = -16; x < t.w; x += 16)
                EXPECT_EQ(paint(t.dc, Intersect(pc.clipDst, RECT{x, -100, x + 16, 3000})), RC_SUCCESS);
            *sliced = t.Pixels();
        };
        std::vector<uint32_t> whole, sliced;
        const bool wide = round % 4 < 2;
        if (wide)
            wholeAndSlices(dib, &whole, &sliced);
        else
            wholeAndSlices(narrow, &whole, &sliced);
        ASSERT_TRUE(whole == sliced) << "round " << round << " device " << deviceBits << ": " << Describe(b, pc)
                                     << "\n" << FirstDifference(whole, sliced, dib.w);
        if (!deviceBits && wide) {
            const auto want = Expected(dib.w, dib.h, b, pc);
            ASSERT_TRUE(whole == want) << "round " << round << ": " << Describe(b, pc) << "\n"
                                       << FirstDifference(whole, want, dib.w);
        }
        K_FreeBitmap(&b);
    }
    zv::SetStripThreads(zv::STRIP_THREADS_AUTO);
    EXPECT_GT(zv::CountTiledPaints() - tiledBefore, 2 * kDepthCount) << "most whole paints went in tiles";
}

// Rows read where they lie (24-bit rows widened, rows converted or
// expanded 1:1 from memory) never reach past the rows' block: over an
// application's rows that end where its memory ends (the next page is
// not readable), with and without a row's padding, every such paint
// succeeds, upright and turned, on one thread and shared.
TEST(PaintDC, RowsReadWhereTheyLieStayInsideTheBlock) {
    ModeScope settings(0);
    LiveBlockCheck check;
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const size_t page = si.dwPageSize;
    constexpr UINT kOrdered = DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER;
    Dib dib(64, 1200);
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (int width : {36, 37})
            for (int orientation : {0, 5})
                for (int deviceBits : {0, 8, 1}) {
                    const int height = orientation ? 1100 : 29;
                    HandMade hand(width, height, bits, bits <= 8 ? 1 << bits : 0, bits == 16 ? ORDER_GRAY : ORDER_BGR);
                    const size_t size = hand.pixels.size(), pages = (size + page - 1) / page + 1;
                    BYTE *base = static_cast<BYTE *>(VirtualAlloc(nullptr, pages * page, MEM_COMMIT, PAGE_READWRITE));
                    ASSERT_NE(base, nullptr);
                    DWORD was;
                    ASSERT_TRUE(VirtualProtect(base + (pages - 1) * page, page, PAGE_NOACCESS, &was));
                    BitmapHandle &b = hand.bitmap;
                    b.Data = base + (pages - 1) * page - size;
                    std::memcpy(b.Data, hand.pixels.data(), size);
                    b.Orientation = orientation;
                    if (bits == 16)
                        b.HighBit = 11;
                    const RECT src{0, 0, DisplayW(b), DisplayH(b)};
                    ModeScope mode(deviceBits ? kOrdered : 0);
                    for (int threads : {zv::STRIP_THREADS_OFF, 1}) {
                        zv::SetStripThreads(threads);
                        const int rc = deviceBits ? zv::PaintDispatchAs(dib.dc, &b, &src, nullptr, &src, nullptr, SRCCOPY,
                                                                        deviceBits, zv::ChoosePaintKind(&b, deviceBits, kOrdered))
                                                  : Z_PaintDC(dib.dc, &b, &src, nullptr, &src, nullptr, SRCCOPY);
                        EXPECT_EQ(rc, RC_SUCCESS) << bits << " bits, width " << width << ", orientation " << orientation;
                    }
                    VirtualFree(base, 0, MEM_RELEASE);
                }
    zv::SetStripThreads(zv::STRIP_THREADS_AUTO);
}

// Null rectangles paint the whole image unscaled; empty ones, and clips
// outside the image or the destination, paint nothing and succeed.
// Destinations far larger than the device paint their clipped part
// exactly; unclipped beyond any buffer, they fail cleanly.
TEST(PaintDC, NullEmptyAndHugeRectangles) {
    ModeScope mode(0);
    LiveBlockCheck check;
    std::mt19937 rng(3);
    Dib dib(64, 120);
    BitmapHandle b{};
    MakeRandomBitmap(b, rng, 100, 50, 24, ORDER_BGR, 5);
    dib.Fill(kBackground);
    const RECT dst{0, 0, 50, 100};
    ASSERT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
    EXPECT_TRUE(dib.Pixels() == Expected(dib.w, dib.h, b, PaintCase{dst, dst, dst, dst}));
    dib.Fill(kBackground);
    const RECT empty[] = {{20, 0, 0, 20}, {0, 20, 20, 0}, {5, 5, 5, 9}}, away{60, 110, 70, 130};
    for (const RECT &r : empty) {
        EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &r, nullptr, SRCCOPY), RC_SUCCESS);
        EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &r, &dst, SRCCOPY), RC_SUCCESS);
        EXPECT_EQ(Z_PaintDC(dib.dc, &b, &r, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
    }
    EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, &away, &dst, nullptr, SRCCOPY), RC_SUCCESS) << "clip outside the image";
    EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, &away, SRCCOPY), RC_SUCCESS);
    EXPECT_TRUE(dib.Pixels() == std::vector<uint32_t>(size_t(dib.w) * dib.h, kBackground)) << "nothing painted";
    b.Orientation = 4;
    const PaintCase huge{{0, 0, 37, 23}, {0, 0, 999, 999}, {-300000000, -7, 300000000, 40}, {0, 0, 64, 48}};
    ASSERT_EQ(Z_PaintDC(dib.dc, &b, &huge.src, nullptr, &huge.dst, &huge.clipDst, SRCCOPY), RC_SUCCESS);
    EXPECT_TRUE(dib.Pixels() == Expected(dib.w, dib.h, b, huge));
    const RECT wide{0, 0, 200000000, 2};
    b.Orientation = 0;  // rows, not columns, of 200 million pixels
    EXPECT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &wide, nullptr, SRCCOPY), RC_NO_MEMORY);
    K_FreeBitmap(&b);
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
        dib.Fill(kBackground);
        const RECT dst{3, 4, 83, 64};
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
        const BITMAPINFOHEADER &h = zv::GetPaintSettings()->PaintInfo.bmiHeader;
        EXPECT_EQ(h.biHeight, o == 0 ? -30 : 30) << "top-down rows for orientation 0";
        EXPECT_EQ(h.biWidth, 40);
        const auto px = dib.Pixels();
        EXPECT_EQ(px[size_t(10) * dib.w + 40], Quad(b.Palette[o == 0 ? 1 : 2])) << "orientation " << o;
        EXPECT_EQ(px[size_t(58) * dib.w + 40], Quad(b.Palette[o == 0 ? 2 : 1])) << "orientation " << o;
        for (size_t i = 0; i < px.size(); ++i)  // exactly the destination is covered
            ASSERT_EQ(px[i] != kBackground, (PtInRect(&dst, POINT{LONG(i % dib.w), LONG(i / dib.w)}) != FALSE)) << i;
        K_FreeBitmap(&b);
    }
}

// Allocation failures at every allocation of a paint, on every painter's
// path, on the calling thread alone and with workers: the documented code,
// nothing painted, nothing left allocated.  A shared paint makes every
// allocation before its workers start; the setups for a device class
// (deviceBits) are large enough to share their strips.
TEST(PaintDC, EveryAllocationFailureIsCleanAndPaintsNothing) {
    std::mt19937 rng(9);
    Dib dib(96, 80);
    constexpr UINT kLibrary = DISP_LIBRARY_DITHER | DISP_DITHER_8BIT;
    const RECT kShared{0, 0, 90, 77};
    struct Setup {
        int bits, orientation;
        UINT mode;
        RECT dst;
        int deviceBits;  // 0: Z_PaintDC, a 25 x 20 bitmap; else a shared 61 x 47 paint
    } const setups[] = {
        {24, 0, 0, {0, 0, 50, 40}, 0}, {24, 4, 0, {0, 0, 33, 61}, 0}, {8, 3, 0, {2, 2, 60, 50}, 0},
        {24, 7, DISP_SCALE_FILTER, {0, 0, 45, 37}, 0}, {24, 0, DISP_SCALE_FILTER_ALT, {0, 0, 12, 9}, 0},
        {1, 8, DISP_SCALE_TO_GRAY, {0, 0, 9, 7}, 0}, {1, 0, DISP_SCALE_TO_GRAY, {0, 0, 50, 50}, 0},
        {1, 5, DISP_SCALE_BITONAL, {0, 0, 13, 11}, 0}, {1, 2, DISP_SCALE_TO_GRAY, {0, 0, 25, 20}, 0},
        {24, 0, DISP_SCALE_FILTER | kLibrary, kShared, 24}, {24, 5, DISP_SCALE_FILTER_ALT | kLibrary, kShared, 24},
        {24, 3, DISP_ORDERED_DITHER | kLibrary, kShared, 8}, {8, 4, kLibrary, kShared, 24},
        {24, 7, DISP_ORDERED_DITHER | kLibrary, kShared, 4}, {16, 2, kLibrary, kShared, 24},
        {1, 5, DISP_SCALE_TO_GRAY | kLibrary, kShared, 24}, {1, 0, DISP_SCALE_BITONAL | kLibrary, kShared, 24},
        {24, 0, DISP_SCALE_FILTER | kLibrary, kShared, 8}, {24, 5, DISP_SCALE_FILTER_ALT | kLibrary, kShared, 1},
        {8, 3, DISP_SCALE_FILTER | DISP_ORDERED_DITHER | kLibrary, kShared, 4},
        {24, 5, 0, {0, 0, 30, 1100}, 0}, {8, 7, 0, {0, 0, 40, 1500}, 0},  // in tiles
        {24, 4, DISP_ORDERED_DITHER | kLibrary, {0, 0, 60, 1500}, 8},
        {1, 0, DISP_SCALE_TO_GRAY, {0, 0, 25, 20}, 0},  // the caller's rows, last first, at once (as plain 1 bit)
    };
    for (int workers : {zv::STRIP_THREADS_OFF, 3})
        for (const Setup &s : setups) {
            zv::SetStripThreads(workers);
            ModeScope mode(s.mode);
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, s.deviceBits ? 61 : 25, s.deviceBits ? 47 : 20, s.bits, ORDER_BGR, s.orientation);
            if (s.bits == 1)
                b.Palette[0] = RGBQUAD{0, 0, 0, 0}, b.Palette[1] = RGBQUAD{255, 255, 255, 0};
            const bool buffer = &s == &setups[std::size(setups) - 1];
            std::vector<BYTE> rows(size_t(b.BytesPerLine) * b.Height);
            for (int r = 0; r < b.Height; ++r)
                std::memcpy(&rows[size_t(b.Height - 1 - r) * b.BytesPerLine], b.Data + size_t(r) * b.BytesPerLine,
                            b.BytesPerLine);
            dib.Fill(kBackground);
            const auto blank = dib.Pixels();
            const int kind = s.deviceBits ? int(zv::ChoosePaintKind(&b, s.deviceBits, s.mode)) : 0;
            auto paint = [&] {
                if (s.deviceBits)
                    return zv::PaintDispatchAs(dib.dc, &b, nullptr, nullptr, &s.dst, nullptr, SRCCOPY, s.deviceBits, kind);
                return buffer ? Z_PaintDCBuffer(dib.dc, &b, nullptr, nullptr, &s.dst, nullptr, SRCCOPY, rows.data(), 0,
                                                -b.Height)
                              : Z_PaintDC(dib.dc, &b, nullptr, nullptr, &s.dst, nullptr, SRCCOPY);
            };
            // Without the row that turns the band over, it goes to GDI as it
            // is stored: upside down.
            std::vector<uint32_t> upsideDown(blank.size(), kBackground);
            if (buffer)
                ReferencePaint(upsideDown, dib.w, dib.h, b, PaintCase{s.dst, s.dst, s.dst, s.dst},
                               [&](int, int, int X, int Y) { return Shown(b, X, b.Height - 1 - Y); });
            const int shared = zv::CountSharedPaints();
            const int n = SweepAllocationFailures(
                paint,
                [&](int rc) {
                    if (buffer && rc == RC_SUCCESS)
                        EXPECT_TRUE(dib.Pixels() == upsideDown);
                    else
                        EXPECT_TRUE(rc == RC_NO_MEMORY && dib.Pixels() == blank) << "status " << rc;
                    dib.Fill(kBackground);
                },
                [&](int rc) {
                    const PaintCase whole{s.dst, s.dst, s.dst, s.dst};
                    EXPECT_TRUE(rc == RC_SUCCESS &&
                                (buffer ? dib.Pixels() == Expected(dib.w, dib.h, b, whole) : dib.Pixels() != blank));
                    dib.Fill(kBackground);
                });
            EXPECT_GT(n, 0) << "a paint allocates";
            EXPECT_TRUE(!workers || !s.deviceBits || zv::CountSharedPaints() > shared)
                << s.bits << " bits, mode " << s.mode << ": the workers shared the strips";
            K_FreeBitmap(&b);
        }
    zv::SetStripThreads(zv::STRIP_THREADS_AUTO);
}

// ---- library dithering --------------------------------------------------------

// The 3-3-2 quantiser of the display converters, written from their
// definition: index (R & 0xE0) | ((G & 0xE0) >> 3) | (B >> 6).
int Index332(int r, int g, int b) { return (r & 0xE0) | ((g & 0xE0) >> 3) | (b >> 6); }
int Clamp(int v) { return std::min(std::max(v, 0), 255); }

// Ordered dithering for every target, from the converters' rules: the
// threshold t of the destination position relative to DstRect, then
//   3-3-2: channels + (t >> 3) - 16;  cube: channels + floor(t / 6) - 21;
//   16 colours: a bit per channel above t, + 8 when any;  1 bit: luminance
//   above t (clustered or dispersed matrix).
// Painted through PaintStrips or, 1:1 over several strips of the bitmap's
// own rows, PaintUnscaled, with 8 device bits so that it runs on any
// screen.  Orientations 0 and 2 fill strip rows left to right, so the
// converters' column runs with the destination's.
TEST(PaintColours, OrderedDitherFollowsTheMatrixAlignedToTheDestination) {
    const struct {
        int bits;
        UINT mode;
    } targets[] = {{8, 0}, {8, DISP_CUBE_PALETTE}, {4, 0}, {1, 0}, {1, DISP_CLUSTERED_DITHER}};
    LiveBlockCheck check;
    std::mt19937 rng(32);
    Dib dib(160, 120);
    for (int round = 0; round < 230; ++round) {
        const auto &tg = targets[round % 5];
        ModeScope mode(DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | DISP_ORDERED_DITHER | tg.mode);
        const bool unscaled = round >= 200;
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, unscaled ? 100 + int(rng() % 60) : 1 + int(rng() % 40),
                         unscaled ? 80 + int(rng() % 40) : 1 + int(rng() % 30), (round / 5) % 2 ? 24 : 8, ORDER_BGR,
                         round % 4 < 2 ? 0 : 2);
        const PaintCase pc = unscaled ? RandomUnscaledCase(rng, b, dib.w, dib.h, round < 205) : RandomCase(rng, b, 80, 64);
        dib.Fill(kBackground);
        ASSERT_EQ((unscaled ? zv::PaintUnscaled : zv::PaintStrips)(dib.dc, &b, nullptr, 0, 0, &pc.src, &pc.clipSrc,
                                                                  &pc.dst, &pc.clipDst, tg.bits, 2, SRCCOPY),
                  RC_SUCCESS);
        std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
        ReferencePaint(want, dib.w, dib.h, b, pc, [&](int x, int y, int X, int Y) {
            const uint32_t s = Shown(b, X, Y);
            const int c[3] = {int(s >> 16), int((s >> 8) & 255), int(s & 255)};
            const int at = ((y - pc.dst.top) & 7) * 8 + ((x - pc.dst.left) & 7);
            const int t = (tg.mode & DISP_CLUSTERED_DITHER) ? zv::ClusteredDitherMatrix[at] : zv::DispersedDitherMatrix[at];
            if (tg.bits == 1)
                return ((2 * c[0] + 5 * c[1] + c[2] + 4) >> 3) > t ? Rgb(255, 255, 255) : Rgb(0, 0, 0);
            if (tg.bits == 4) {
                const int i = (c[0] > t) + 2 * (c[1] > t) + 4 * (c[2] > t);
                return Quad(zv::Vga16Palette[i ? i + 8 : 0]);
            }
            const int o = (tg.mode & DISP_CUBE_PALETTE) ? t / 6 - 21 : (t >> 3) - 16;
            const int r = Clamp(c[0] + o), g = Clamp(c[1] + o), bl = Clamp(c[2] + o);
            return Quad((tg.mode & DISP_CUBE_PALETTE) ? zv::CubePalette[r / 51 * 36 + g / 51 * 6 + bl / 51]
                                                       : zv::Rgb332Palette[Index332(r, g, bl)]);
        });
        const auto got = dib.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << " target " << tg.bits << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

// Error diffusion walks the painted rectangle bottom row first (rows go
// to GDI bottom up), each row left to right; the first row is converted
// twice so that it starts from its own error.
TEST(PaintColours, ErrorDiffusionTo332WalksRowsBottomUpWithAPrimedFirstRow) {
    ModeScope mode(DISP_LIBRARY_DITHER | DISP_DITHER_8BIT);
    std::mt19937 rng(33);
    Dib dib(80, 64);
    for (int round = 0; round < 80; ++round) {
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 1 + int(rng() % 40), 1 + int(rng() % 30), 24, ORDER_BGR, round % 2 ? 0 : 2);
        PaintCase pc = RandomCase(rng, b, dib.w, dib.h);
        // The error row runs over the whole painted rectangle: keep it on
        // the target so that the reference sees all of it.
        pc.clipDst = Intersect(pc.clipDst, RECT{0, 0, dib.w, dib.h});
        dib.Fill(kBackground);
        ASSERT_EQ(zv::PaintStrips(dib.dc, &b, nullptr, 0, 0, &pc.src, &pc.clipSrc, &pc.dst, &pc.clipDst, 8, 2, SRCCOPY),
                  RC_SUCCESS);
        std::vector<uint32_t> painted(size_t(dib.w) * dib.h, 0xFFFFFFFF), want(painted.size(), kBackground);
        ReferencePaint(painted, dib.w, dib.h, b, pc, [&](int, int, int X, int Y) { return Shown(b, X, Y); });
        const RECT box = PaintedBounds(painted, dib.w, 0xFFFFFFFF);
        const int left = box.left, top = box.top, bottom = box.bottom, n = box.right - box.left;
        std::vector<int> err(size_t(std::max(n, 0)) * 3, 0);
        for (int pass = 0, y = bottom - 1; n > 0 && y >= top; pass ? --y : 0, pass = 1) {
            int run[3] = {err[0], err[1], err[2]};
            for (int k = 0; k < n; ++k) {
                const uint32_t s = painted[size_t(y) * dib.w + left + k];
                const int c[3] = {Clamp(int(s >> 16) + run[0] / 16), Clamp(int((s >> 8) & 255) + run[1] / 16),
                                  Clamp(int(s & 255) + run[2] / 16)};
                const RGBQUAD &p = zv::Rgb332Palette[Index332(c[0], c[1], c[2])];
                const int pc3[3] = {p.rgbRed, p.rgbGreen, p.rgbBlue};
                for (int ch = 0; ch < 3; ++ch) {
                    const int d = c[ch] - pc3[ch];
                    if (k + 1 < n)
                        run[ch] = err[3 * (k + 1) + ch] + 7 * d, err[3 * (k + 1) + ch] = d;
                    if (k == 0)
                        err[ch] = 5 * d;
                    else
                        err[3 * k + ch] += 5 * d, err[3 * (k - 1) + ch] += 3 * d;
                }
                want[size_t(y) * dib.w + left + k] = Quad(p);
            }
        }
        const auto got = dib.Pixels();
        ASSERT_TRUE(got == want) << "round " << round << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

// On a palette display, palette indices with the paint palette selected
// show the same colours as RGB colour tables.
TEST(PaintIndices, WithThePaintPaletteGiveTheSameColoursAsRgb) {
    if (ScreenDepth() != 8)
        GTEST_SKIP() << "needs the depth-8 display (runs as @8)";
    std::mt19937 rng(39);
    Dib rgb(70, 50), indexed(70, 50);
    const RECT dst{2, 3, 65, 47};
    for (UINT cube : {0u, DISP_CUBE_PALETTE})
        for (UINT ordered : {0u, DISP_ORDERED_DITHER})
            for (int o : {0, 4, 3}) {
                BitmapHandle b{};
                MakeRandomBitmap(b, rng, 33, 27, 24, ORDER_BGR, o);
                const UINT base = DISP_LIBRARY_DITHER | DISP_DITHER_8BIT | cube | ordered;
                {
                    ModeScope mode(base);
                    rgb.Fill(kBackground);
                    ASSERT_EQ(Z_PaintDC(rgb.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
                }
                ModeScope mode(base | DISP_PALETTE_INDICES);
                HPALETTE pal = Z_CreatePaintPalette(indexed.dc, &b);
                ASSERT_NE(pal, nullptr);
                HPALETTE old = SelectPalette(indexed.dc, pal, FALSE);
                RealizePalette(indexed.dc);
                indexed.Fill(kBackground);
                ASSERT_EQ(Z_PaintDC(indexed.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
                SelectPalette(indexed.dc, old, FALSE);
                DeleteObject(pal);
                EXPECT_TRUE(rgb.Pixels() == indexed.Pixels()) << "orientation " << o;
                K_FreeBitmap(&b);
            }
}

// ---- scale to gray and to 1 bit --------------------------------------------------

// Black pixels and all pixels of the footprint of destination (x, y) in
// the displayed image.
struct Footprint {
    int black = 0, area = 0;
};
Footprint Count(const BitmapHandle &b, const PaintCase &pc, int x, int y, int blackIndex) {
    const int64_t sw = pc.src.right - pc.src.left, sh = pc.src.bottom - pc.src.top;
    const int64_t dw = pc.dst.right - pc.dst.left, dh = pc.dst.bottom - pc.dst.top;
    auto interval = [](int64_t i, int64_t s, int64_t d, int *a, int *z) {
        *a = int(i * s / d);
        *z = int(std::max((i + 1) * s / d, i * s / d + 1));
    };
    int x0, x1, j0, j1;
    interval(x - pc.dst.left, sw, dw, &x0, &x1);
    interval(pc.dst.bottom - 1 - y, sh, dh, &j0, &j1);
    Footprint f;
    for (int X = pc.src.left + x0; X < pc.src.left + x1; ++X)
        for (int j = j0; j < j1; ++j) {
            const int Y = pc.src.bottom - 1 - j;
            if (X < 0 || Y < 0 || X >= DisplayW(b) || Y >= DisplayH(b))
                continue;
            int c, r;
            DisplayToStored(b.Orientation, b.Width, b.Height, X, Y, &c, &r);
            ++f.area;
            f.black += int(PixelAt(b, c, r)) == blackIndex;
        }
    return f;
}

// A random page (index 0 white when whiteFirst) with some long runs
// beside the noise.
void MakePage(BitmapHandle &b, std::mt19937 &rng, int w, int h, int orientation, bool whiteFirst) {
    MakeRandomBitmap(b, rng, w, h, 1, ORDER_BGR, orientation);
    b.Palette[whiteFirst] = RGBQUAD{0, 0, 0, 0}, b.Palette[!whiteFirst] = RGBQUAD{255, 255, 255, 0};
    for (int y = 0; y < h; ++y)
        if (rng() % 2)
            std::memset(b.Data + size_t(y) * b.BytesPerLine, rng() % 2 ? 0xFF : 0x00, b.BytesPerLine / 2);
}

// Gray: the share of white in the footprint (shrinking), all black or the
// share (enlarging), black if any (1:1).  1 bit: black from the footprint
// threshold (less one below 5), as it is at 1:1.  Every third round
// shrinks the whole page; the last gray rounds have footprints of more
// than 65535 pixels (the painter divides instead of multiplying) and just
// below.
TEST(PaintGray, ScaleToGrayAndToOneBitMatchTheFootprintCounts) {
    LiveBlockCheck check;
    std::mt19937 rng(35);
    Dib dib(80, 64);
    for (int round = 0; round < 452; ++round) {
        const bool gray = round % 4 < 2 || round >= 440, whiteFirst = round % 2;
        ModeScope mode(gray ? DISP_SCALE_TO_GRAY : DISP_SCALE_BITONAL);
        BitmapHandle b{};
        PaintCase pc;
        if (round < 440) {
            MakePage(b, rng, 1 + int(rng() % 90), 1 + int(rng() % 70), kOrientations[(round / 4) % 8], whiteFirst);
            pc = RandomCase(rng, b, dib.w, dib.h);
            if (round % 3 == 0) {
                pc.src = RECT{0, 0, DisplayW(b), DisplayH(b)};
                pc.dst.right = pc.dst.left + std::max(1, DisplayW(b) / int(2 + rng() % (gray ? 4 : 3)));
                pc.dst.bottom = pc.dst.top + std::max(1, DisplayH(b) / int(2 + rng() % (gray ? 4 : 3)));
            }
        } else {
            MakePage(b, rng, 250 + int(rng() % 600), 250 + int(rng() % 500), kOrientations[round % 8], whiteFirst);
            const bool huge = round < 446;
            const int dw = huge ? 1 + int(rng() % 3) : DisplayW(b) / 255, dh = huge ? 1 + int(rng() % 3) : DisplayH(b) / 257;
            pc = PaintCase{{0, 0, DisplayW(b), DisplayH(b)}, {-1, -1, 9999, 9999}, {3, 2, 3 + dw, 2 + dh}, {0, 0, 80, 64}};
        }
        const auto got = PaintOn(dib, b, pc);
        const int sw = pc.src.right - pc.src.left, sh = pc.src.bottom - pc.src.top;
        const int dw = pc.dst.right - pc.dst.left, dh = pc.dst.bottom - pc.dst.top;
        const bool shrink = dw < sw && dh < sh, unscaled = dw == sw && dh == sh;
        int threshold = K_GetFootprintThreshold(std::max(sw == dw ? 0 : sw / dw, 1) * std::max(sh == dh ? 0 : sh / dh, 1));
        threshold = std::max(threshold < 5 ? threshold - 1 : threshold, 1);
        std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
        ReferencePaint(want, dib.w, dib.h, b, pc, [&](int x, int y, int, int) {
            const Footprint f = Count(b, pc, x, y, whiteFirst ? 1 : 0);
            int v;
            if (!gray)
                v = (unscaled ? f.black > 0 : f.black >= threshold) ? 0 : 255;
            else if (unscaled)
                v = f.black ? 0 : 255;
            else if (shrink)
                v = f.black < f.area ? 255 - 255 * f.black / f.area : 0;
            else
                v = f.area - f.black == 0 ? 0 : 255 * (f.area - f.black) / f.area;
            return Rgb(v, v, v);
        });
        ASSERT_TRUE(got == want) << "round " << round << " orientation " << b.Orientation << " " << b.Width << "x"
                                 << b.Height << "\n" << FirstDifference(got, want, dib.w);
        K_FreeBitmap(&b);
    }
}

// ---- interpolated scaling -------------------------------------------------------

// A flat image stays flat, and exactly the pixels the DDA paint would
// touch are painted, in every orientation; also from a flat band of caller
// rows (read through the window's row source) over a bitmap of another
// colour, where only the band's part of the destination is painted.
TEST(PaintFilter, FlatColourStaysFlatOverThePaintedArea) {
    std::mt19937 rng(38);
    Dib dib(80, 64);
    for (UINT filter : {DISP_SCALE_FILTER, DISP_SCALE_FILTER_ALT}) {
        ModeScope mode(filter);
        LiveBlockCheck check;
        for (int round = 0; round < 48; ++round) {
            const bool band = round % 3 == 2;
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, 1 + int(rng() % 30), 1 + int(rng() % 30), round % 3 == 0 ? 8 : 24, ORDER_BGR,
                             kOrientations[round % 8]);
            for (int y = 0; y < b.Height; ++y)
                for (int x = 0; x < b.Width; ++x)
                    std::memcpy(b.Data + size_t(y) * b.BytesPerLine + x * b.BitsPerPixel / 8, "\x07\x78\xE6", b.BitsPerPixel / 8);
            uint32_t flat = AsIsColor(b, 0, 0);
            PaintCase pc = RandomCase(rng, b, dib.w, dib.h);
            std::vector<uint32_t> got;
            if (band) {
                const int row = int(rng() % b.Height), count = 1 + int(rng() % (b.Height - row));
                std::vector<BYTE> rows(size_t(b.BytesPerLine) * count);
                for (int i = 0; i < count * b.Width; ++i)
                    std::memcpy(&rows[size_t(i / b.Width) * b.BytesPerLine + 3 * (i % b.Width)], "\xC8\x28\x5A", 3);
                flat = Rgb(90, 40, 200);
                got = PaintBand(dib, b, pc, rows, row, count, false);
            } else {
                got = PaintOn(dib, b, pc);
            }
            std::vector<uint32_t> want(size_t(dib.w) * dib.h, kBackground);
            ReferencePaint(want, dib.w, dib.h, b, pc, [&](int, int, int, int) { return flat; });
            ASSERT_TRUE(got == want) << "round " << round << ": " << Describe(b, pc) << "\n" << FirstDifference(got, want, dib.w);
            K_FreeBitmap(&b);
        }
    }
}

}  // namespace
