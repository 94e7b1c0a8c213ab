// The library frame, linked statically: per-thread settings, the display
// mode, the fallback block and the region table.
#include "support.h"

#include "frame/library.h"

#include <cstring>
#include <thread>

namespace {

// Runs fn on a new thread and ends it the way the loader would: the
// thread-detach step frees the thread's block.
template <class Fn>
void OnNewThread(Fn fn) {
    std::thread([&] {
        fn();
        zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
    }).join();
}

bool HoldsIdentityTable(const zv::PaintBitmapInfo &info) {
    const WORD *index = reinterpret_cast<const WORD *>(info.bmiColors);
    for (int i = 0; i < 256; ++i)
        if (index[i] != i)
            return false;
    return true;
}

// A new thread starts with the default block; the mask chooses the bits
// that change; the identity index table is written again only when
// palette indices are switched back on.
TEST(PaintSettings, DefaultBlockMaskedModeAndIndexTable) {
    zvtest::LiveBlockCheck check;
    OnNewThread([] {
        zv::ThreadPaintSettings *s = zv::GetPaintSettings();
        EXPECT_NE(s, &zv::FallbackSettings);
        const BITMAPINFOHEADER &h = s->PaintInfo.bmiHeader;
        EXPECT_TRUE(h.biSize == 40 && h.biPlanes == 1 && h.biCompression == BI_RGB && h.biWidth == 0);
        EXPECT_TRUE(HoldsIdentityTable(s->PaintInfo));
        const BYTE *rest = reinterpret_cast<const BYTE *>(s->PaintInfo.bmiColors) + 512;
        EXPECT_EQ(rest[0] | rest[511], 0);
        EXPECT_EQ(Z_SetDisplayMode(0, 0xFFFF), 0x0Cu) << "an empty mask changes nothing";
        EXPECT_EQ(Z_SetDisplayMode(DISP_PALETTE_INDICES, 0), 0x0Cu);
        EXPECT_TRUE(HoldsIdentityTable(s->PaintInfo)) << "clearing the flag does not touch the table";
        std::memset(s->PaintInfo.bmiColors, 0x77, 1024);  // a painter wrote RGB colours
        Z_SetDisplayMode(DISP_ORDERED_DITHER, DISP_ORDERED_DITHER);
        EXPECT_EQ(Z_SetDisplayMode(DISP_PALETTE_INDICES | DISP_ORDERED_DITHER, DISP_PALETTE_INDICES), 0x09u);
        EXPECT_TRUE(HoldsIdentityTable(s->PaintInfo));
        std::memset(s->PaintInfo.bmiColors, 0x77, 2);
        Z_SetDisplayMode(DISP_PALETTE_INDICES, DISP_PALETTE_INDICES);  // was already set: left alone
        EXPECT_FALSE(HoldsIdentityTable(s->PaintInfo));
        EXPECT_EQ(Z_SetDisplayMode(0xFFFFFFFF, 0x12345000), 0x0Cu);
        EXPECT_EQ(Z_GetDisplayMode(), 0x12345000u) << "any bits are stored";
        EXPECT_EQ(zv::GetPaintSettings(), s) << "the same block on every call";
    });
}

TEST(PaintSettings, ThreadsKeepIndependentModes) {
    zvtest::LiveBlockCheck check;
    HANDLE set[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    UINT seen[2] = {};
    auto run = [&](int i, UINT value) {
        Z_SetDisplayMode(0xFFFFFFFF, value);
        SetEvent(set[i]);
        WaitForMultipleObjects(2, set, TRUE, INFINITE);  // both modes are set
        seen[i] = Z_GetDisplayMode();
        zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
    };
    std::thread a(run, 0, 0x0401u), b(run, 1, 0x0110u);
    a.join(), b.join();
    CloseHandle(set[0]), CloseHandle(set[1]);
    EXPECT_EQ(seen[0], 0x0401u);
    EXPECT_EQ(seen[1], 0x0110u);
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

TEST(RegionTable, EverySlotIsFilled) {
    static_assert(sizeof(RegionServiceTable) == REGION_SERVICE_SLOTS * sizeof(void *));
    const auto *entries = reinterpret_cast<void *const *>(&zv::RegionServices);
    for (int slot = 1; slot <= REGION_SERVICE_SLOTS; ++slot)
        EXPECT_NE(entries[slot - 1], nullptr) << "slot " << slot;
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
