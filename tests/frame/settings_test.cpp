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

// Every slot is filled; the kernel's own operations refuse a missing
// bitmap or region, and on a bitmap without a region do nothing.
TEST(RegionTable, EverySlotIsFilledAndRefusesWhatIsMissing) {
    static_assert(sizeof(RegionServiceTable) == REGION_SERVICE_SLOTS * sizeof(void *));
    const auto *entries = reinterpret_cast<void *const *>(&zv::RegionServices);
    for (int slot = 1; slot <= REGION_SERVICE_SLOTS; ++slot)
        EXPECT_NE(entries[slot - 1], nullptr) << "slot " << slot;
    const RegionServiceTable &t = zv::RegionServices;
    BitmapHandle plain{};
    ASSERT_EQ(K_CreateBitmap(&plain, 8, 6, 1, ORDER_BGR, 0), RC_SUCCESS);
    BitmapHandle *none = nullptr, *b = &plain;
    const struct {
        int slot, got, want;
    } rows[] = {
        {1, t.MirrorWithBitmap(none), RC_NO_BITMAP},          {1, t.MirrorWithBitmap(b), RC_SUCCESS},
        {2, t.CopyWithOffset(b, none, 0, 0), RC_INVALID_PARAMETER},
        {2, t.CopyWithOffset(none, b, 0, 0), RC_INVALID_PARAMETER},
        {6, t.ResizeWithBitmap(none, 4, 4), RC_NO_BITMAP},   {6, t.ResizeWithBitmap(b, 4, 4), RC_SUCCESS},
        {7, t.Combine(none, nullptr, nullptr, 1), RC_NO_BITMAP}, {15, t.ExactColorRgn(none, 0, 1), RC_NO_BITMAP},
        {16, t.SetRgnRect(b, nullptr, nullptr, 1), RC_INVALID_PARAMETER},
        {10, t.Offset(nullptr, 1, 1), RC_INVALID_PARAMETER}, {11, t.Flip(nullptr, 6), RC_INVALID_PARAMETER},
        {12, t.ShearWithBitmap(none, 100), RC_NO_BITMAP},    {12, t.ShearWithBitmap(b, 100), RC_SUCCESS},
        {13, t.RotateWithBitmap(none, 6, 8, 9000), RC_NO_BITMAP},
        {19, t.FlipWithBitmap(none), RC_NO_BITMAP},          {19, t.FlipWithBitmap(b), RC_SUCCESS},
    };
    for (const auto &r : rows)
        EXPECT_EQ(r.got, r.want) << "slot " << r.slot;
    EXPECT_EQ(plain.Region, nullptr);
    K_FreeBitmap(&plain);
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
