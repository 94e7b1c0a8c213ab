// The library frame, linked statically: per-thread settings, the display
// mode, the fallback block and the region table.
#include "support.h"

#include "frame/library.h"

#include <cstring>
#include <vector>

namespace {

// Runs fn on a new thread and ends it the way the loader would: the
// thread-detach step frees the thread's block.
template <class Fn>
void OnNewThread(Fn fn) {
    struct Call {
        Fn *fn;
        static DWORD WINAPI Run(LPVOID p) {
            (*static_cast<Call *>(p)->fn)();
            zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
            return 0;
        }
    } call{&fn};
    HANDLE t = CreateThread(nullptr, 0, Call::Run, &call, 0, nullptr);
    ASSERT_NE(t, nullptr);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
}

bool HoldsIdentityTable(const zv::PaintBitmapInfo &info) {
    const WORD *index = reinterpret_cast<const WORD *>(info.bmiColors);
    for (int i = 0; i < 256; ++i)
        if (index[i] != i)
            return false;
    return true;
}

TEST(PaintSettings, NewThreadStartsWithTheDefaultBlock) {
    zvtest::LiveBlockCheck check;
    OnNewThread([] {
        EXPECT_EQ(Z_GetDisplayMode(), 0x0Cu);
        const zv::ThreadPaintSettings *s = zv::GetPaintSettings();
        EXPECT_NE(s, &zv::FallbackSettings);
        EXPECT_EQ(s->PrintDC, nullptr);
        EXPECT_EQ(s->PaintInfo.bmiHeader.biSize, 40u);
        EXPECT_EQ(s->PaintInfo.bmiHeader.biPlanes, 1);
        EXPECT_EQ(s->PaintInfo.bmiHeader.biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_EQ(s->PaintInfo.bmiHeader.biWidth, 0);
        EXPECT_TRUE(HoldsIdentityTable(s->PaintInfo));
        const BYTE *rest = reinterpret_cast<const BYTE *>(s->PaintInfo.bmiColors) + 512;
        for (int i = 0; i < 512; ++i)
            ASSERT_EQ(rest[i], 0);
        EXPECT_EQ(zv::GetPaintSettings(), s) << "the same block on every call";
    });
}

TEST(PaintSettings, ModeChangesOnlyTheMaskedBits) {
    OnNewThread([] {
        EXPECT_EQ(Z_SetDisplayMode(0, 0xFFFF), 0x0Cu) << "an empty mask changes nothing";
        EXPECT_EQ(Z_GetDisplayMode(), 0x0Cu);
        EXPECT_EQ(Z_SetDisplayMode(0x0101, 0x0001), 0x0Cu);
        EXPECT_EQ(Z_GetDisplayMode(), 0x0Du);
        EXPECT_EQ(Z_SetDisplayMode(0xFFFFFFFF, 0x12345000), 0x0Du) << "any bits are stored";
        EXPECT_EQ(Z_GetDisplayMode(), 0x12345000u);
    });
}

TEST(PaintSettings, IndexTableIsRewrittenWhenPaletteIndicesComeBack) {
    OnNewThread([] {
        zv::ThreadPaintSettings *s = zv::GetPaintSettings();
        EXPECT_EQ(Z_SetDisplayMode(DISP_PALETTE_INDICES, 0), 0x0Cu);
        EXPECT_TRUE(HoldsIdentityTable(s->PaintInfo)) << "clearing the flag does not touch the table";
        std::memset(s->PaintInfo.bmiColors, 0x77, 1024);  // a painter wrote RGB colours
        Z_SetDisplayMode(DISP_ORDERED_DITHER, DISP_ORDERED_DITHER);
        EXPECT_FALSE(HoldsIdentityTable(s->PaintInfo));
        EXPECT_EQ(Z_SetDisplayMode(DISP_PALETTE_INDICES | DISP_ORDERED_DITHER, DISP_PALETTE_INDICES), 0x09u);
        EXPECT_TRUE(HoldsIdentityTable(s->PaintInfo));
        std::memset(s->PaintInfo.bmiColors, 0x77, 2);
        Z_SetDisplayMode(DISP_PALETTE_INDICES, DISP_PALETTE_INDICES);  // was already set: left alone
        EXPECT_FALSE(HoldsIdentityTable(s->PaintInfo));
    });
}

TEST(PaintSettings, ThreadsKeepIndependentModes) {
    zvtest::LiveBlockCheck check;
    // Thread A sets its mode, waits while B sets another, then checks its own.
    HANDLE aSet = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE bSet = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    UINT seenByA = 0, seenByB = 0;
    struct Args {
        HANDLE mine, other;
        UINT value;
        UINT *seen;
        bool waitFirst;
    } a{aSet, bSet, 0x0401, &seenByA, false}, b{bSet, aSet, 0x0110, &seenByB, true};
    auto run = [](LPVOID p) -> DWORD {
        auto *args = static_cast<Args *>(p);
        if (args->waitFirst)
            WaitForSingleObject(args->other, INFINITE);
        Z_SetDisplayMode(0xFFFFFFFF, args->value);
        SetEvent(args->mine);
        WaitForSingleObject(args->other, INFINITE);
        *args->seen = Z_GetDisplayMode();
        zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
        return 0;
    };
    HANDLE threads[2] = {CreateThread(nullptr, 0, run, &a, 0, nullptr), CreateThread(nullptr, 0, run, &b, 0, nullptr)};
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE h : {threads[0], threads[1], aSet, bSet})
        CloseHandle(h);
    EXPECT_EQ(seenByA, 0x0401u);
    EXPECT_EQ(seenByB, 0x0110u);
}

TEST(PaintSettings, ThreadWithoutMemoryUsesTheFallbackAndRetriesLater) {
    zvtest::LiveBlockCheck check;
    OnNewThread([] {
        K_SetAllocationFailure(0, 1);
        EXPECT_EQ(zv::GetPaintSettings(), &zv::FallbackSettings);
        EXPECT_EQ(Z_GetDisplayMode(), 0u) << "the fallback is all zero";
        EXPECT_EQ(Z_SetDisplayMode(DISP_CUBE_PALETTE, DISP_CUBE_PALETTE), 0u);
        EXPECT_EQ(zv::FallbackSettings.DisplayMode, DISP_CUBE_PALETTE) << "changes go to the shared fallback";
        K_SetAllocationFailure(-1, 0);
        EXPECT_EQ(Z_GetDisplayMode(), 0x0Cu) << "the next call made the thread's own block";
        EXPECT_NE(zv::GetPaintSettings(), &zv::FallbackSettings);
        zv::FallbackSettings = {};
    });
}

// Which operations of the region table the library provides so far; the
// region work fills the rest.
TEST(RegionTable, ListsTheSlotsStillEmpty) {
    const auto *entries = reinterpret_cast<void *const *>(&zv::RegionServices);
    static_assert(sizeof(RegionServiceTable) == REGION_SERVICE_SLOTS * sizeof(void *));
    std::vector<int> empty;
    for (int slot = 1; slot <= REGION_SERVICE_SLOTS; ++slot)
        if (!entries[slot - 1])
            empty.push_back(slot);
    const std::vector<int> expected = {};
    EXPECT_EQ(empty, expected);
}

}  // namespace

// The resource counters the other suites rely on see objects and windows
// come and go.
TEST(TestSupport, CountsGdiObjectsAndWindows) {
    zvtest::WarmUp();
    const int gdi = zvtest::GdiObjectCount(), windows = zvtest::ThreadWindowCount();
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HWND hWnd = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(zvtest::GdiObjectCount(), gdi + 1);
    EXPECT_EQ(zvtest::ThreadWindowCount(), windows + 1);
    DeleteObject(brush);
    DestroyWindow(hWnd);
    EXPECT_EQ(zvtest::GdiObjectCount(), gdi);
    EXPECT_EQ(zvtest::ThreadWindowCount(), windows);
}
