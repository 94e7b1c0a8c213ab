// zvdisp.dll under concurrent use and repeated loading: four threads paint
// their own bitmaps with their own display modes, build regions and play
// animations at once, and must get what the same work gives on one thread;
// the library loaded and unloaded 100 times with work in between leaves
// nothing.
#include "dll/dll_api.h"

#include "tools/common/animation.h"

#include <atomic>
#include <cstring>
#include <vector>

namespace {

using zvtest::Api;

constexpr int kW = 61, kH = 47;

void MakePicture(BitmapHandle *b, int bits, int seed) {
    ASSERT_EQ(K_CreateBitmap(b, kW, kH, bits, bits == 16 ? ORDER_GRAY : ORDER_BGR, seed % 4), RC_SUCCESS);
    std::vector<uint8_t> row(b->BytesPerLine);
    for (int y = 0; y < kH; ++y) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<uint8_t>((y * 5 + i * 3) ^ (seed * 77) ^ (i * y));
        K_PutBitmapRow(b, row.data(), y, 0, static_cast<int>(row.size()));
    }
}

// A memory DC over an 8-bit DIB with the 3-3-2 colours, so that the
// display mode's dithering decides the pixels.
struct Canvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = nullptr, old = nullptr;
    uint8_t *bits = nullptr;
    Canvas() {
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD colors[256];
        } bi = {};
        bi.h = {sizeof(BITMAPINFOHEADER), 80, 60, 1, 8, BI_RGB, 0, 0, 0, 256, 0};
        for (int i = 0; i < 256; ++i)
            bi.colors[i] = RGBQUAD{BYTE((i & 3) * 85), BYTE(((i >> 2) & 7) * 36), BYTE((i >> 5) * 36), 0};
        dib = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO *>(&bi), DIB_RGB_COLORS,
                               reinterpret_cast<void **>(&bits), nullptr, 0);
        old = static_cast<HBITMAP>(SelectObject(dc, dib));
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(dib);
        DeleteDC(dc);
    }
};

// One round of a thread's work; returns a digest of what it produced.
uint64_t Work(const Api &api, BitmapHandle *b, Canvas &canvas, int seed) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
    std::memset(canvas.bits, 0, 80 * 60);
    GdiFlush();
    const RECT dst = {seed, 2, 70 - seed, 55}, clip = {5, 5, 75, 50};
    mix(api.Z_PaintDC(canvas.dc, b, nullptr, nullptr, &dst, &clip, SRCCOPY));
    GdiFlush();
    for (int i = 0; i < 80 * 60; ++i)
        mix(canvas.bits[i]);
    const RECT r1 = {seed, 3, 40 + seed, 30}, r2 = {10, 10, 50, 44};
    const POINT poly[4] = {{2, 2}, {55, 8 + seed}, {30, 45}, {5, 30}};
    mix(api.Z_SetBitmapRgnEllipse(b, nullptr, const_cast<RECT *>(&r1), RGN_MODE_SET));
    mix(api.Z_SetBitmapRgnRect(b, nullptr, const_cast<RECT *>(&r2), RGN_MODE_XOR));
    mix(api.Z_SetBitmapRgnPolygon(b, nullptr, const_cast<POINT *>(poly), 4, RGN_FILL_ALTERNATE, RGN_MODE_OR));
    mix(api.Z_OffsetBitmapRgn(b, 1, -2));
    UINT area = 0;
    RECT bounds = {};
    mix(api.Z_GetBitmapRgnArea(b, &area));
    mix(api.Z_GetBitmapRgnBounds(b, nullptr, &bounds));
    mix(area), mix(bounds.left), mix(bounds.top), mix(bounds.right), mix(bounds.bottom);
    mix(api.Z_FreeBitmapRgn(b));
    // A generated animation of its own, played to the end.
    zvtools::AnimationPlan plan;
    const unsigned disposals[] = {unsigned(seed % 4), 3, 2, 1, 0};
    plan.Frames = 3 + seed, plan.Disposals = disposals, plan.DisposalCount = 5;
    void *list = zvtools::MakeAnimation(plan);
    BitmapHandle t{};
    PlaybackHandle play = nullptr;
    if (list && zvtools::MakeAnimationTarget(plan, &t) && api.Z_CreatePlayback(&play, &t, list) == RC_SUCCESS) {
        UINT s = PLAYSTATE_START;
        for (int n = 0; n < 200 && s != PLAYSTATE_END; ++n, api.Z_CancelPlaybackWait(play))
            mix(api.Z_ProcessPlayback(play, &s)), mix(s);
        for (int i = 0; i < t.BytesPerLine * t.Height; ++i)
            mix(t.Data[i]);
        api.Z_DestroyPlayback(play, nullptr);
    }
    mix(play != nullptr);
    K_DestroyBitmapList(list);
    K_FreeBitmap(&t);
    return h;
}

struct Lane {
    const Api *api;
    BitmapHandle bitmap;
    UINT mode;
    int seed;
    uint64_t expected;
    DWORD deadline;
    int rounds, mismatches;
};

DWORD WINAPI RunLane(LPVOID p) {
    Lane &lane = *static_cast<Lane *>(p);
    lane.api->Z_SetDisplayMode(0xFFFFFFFF, lane.mode);
    Canvas canvas;
    do {
        lane.mismatches += Work(*lane.api, &lane.bitmap, canvas, lane.seed) != lane.expected;
        ++lane.rounds;
    } while (GetTickCount() < lane.deadline);
    return 0;
}

TEST(LibraryThreads, FourThreadsAtOnceGiveWhatOneThreadGives) {
    const int start = K_GetLiveBlockCount();
    {
        Api api;
        ASSERT_NE(api.module, nullptr);
        const int bits[4] = {24, 8, 16, 4};
        const UINT modes[4] = {DISP_DEFAULT_MODE, DISP_DEFAULT_MODE | DISP_ORDERED_DITHER | DISP_DITHER_8BIT,
                               DISP_DEFAULT_MODE | DISP_DITHER_8BIT | DISP_CUBE_PALETTE,
                               DISP_ORDERED_DITHER | DISP_DITHER_8BIT | DISP_LIBRARY_DITHER};
        Lane lanes[4];
        Canvas canvas;
        for (int i = 0; i < 4; ++i) {
            lanes[i] = Lane{&api, {}, modes[i], i + 1, 0, 0, 0, 0};
            MakePicture(&lanes[i].bitmap, bits[i], i);
            api.Z_SetDisplayMode(0xFFFFFFFF, modes[i]);
            lanes[i].expected = Work(api, &lanes[i].bitmap, canvas, lanes[i].seed);
        }
        HANDLE threads[4];
        const DWORD deadline = GetTickCount() + 3000;
        for (int i = 0; i < 4; ++i) {
            lanes[i].deadline = deadline;
            threads[i] = CreateThread(nullptr, 0, RunLane, &lanes[i], 0, nullptr);
        }
        WaitForMultipleObjects(4, threads, TRUE, INFINITE);
        for (int i = 0; i < 4; ++i) {
            CloseHandle(threads[i]);
            EXPECT_GT(lanes[i].rounds, 0);
            EXPECT_EQ(lanes[i].mismatches, 0) << "thread " << i << " of " << lanes[i].rounds << " rounds";
            K_FreeBitmap(&lanes[i].bitmap);
        }
    }
    EXPECT_EQ(K_GetLiveBlockCount(), start) << "blocks left after the threads ended and the library was unloaded";
}

TEST(LibraryThreads, LoadedAndUnloadedAHundredTimes) {
    {
        Api warm;  // the first load and paint make what the process keeps
        Canvas canvas;
        BitmapHandle b = {};
        MakePicture(&b, 24, 0);
        Work(warm, &b, canvas, 1);
        K_FreeBitmap(&b);
    }
    zvtest::WarmUp();
    const int blocks = K_GetLiveBlockCount(), gdi = zvtest::GdiObjectCount();
    uint64_t first = 0;
    for (int i = 0; i < 100 && !testing::Test::HasFailure(); ++i) {
        Api api;
        ASSERT_NE(api.module, nullptr) << "load " << i;
        Canvas canvas;
        BitmapHandle b = {};
        MakePicture(&b, 8, 3);
        api.Z_SetDisplayMode(DISP_ORDERED_DITHER | DISP_DITHER_8BIT, DISP_ORDERED_DITHER | DISP_DITHER_8BIT);
        if (HPALETTE palette = api.Z_CreatePaintPalette(canvas.dc, &b))
            DeleteObject(palette);
        const uint64_t h = Work(api, &b, canvas, 2);
        EXPECT_EQ(h, i ? first : (first = h)) << "load " << i;
        K_FreeBitmap(&b);
    }
    EXPECT_EQ(K_GetLiveBlockCount(), blocks);
    EXPECT_EQ(zvtest::GdiObjectCount(), gdi);
}

}  // namespace
