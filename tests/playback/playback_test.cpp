// Playback: row tracking, waits, replay by index, bad input and failed
// allocations inside every call.
#include "playback_support.h"

#include <cstring>

namespace {

using namespace pbtest;

// A kernel bitmap of h rows, 8 bits, filled with index v; a palette with
// index 1 as the transparent colour's entry.
BitmapHandle Frame(int w, int h, BYTE v, int left = 0, int top = 0) {
    BitmapHandle b;
    EXPECT_EQ(K_CreateBitmap(&b, w, h, 8, ORDER_BGR, ORIENT_TOP_LEFT), RC_SUCCESS);
    std::memset(b.Data, v, size_t(b.BytesPerLine) * h);
    b.Left = left, b.Top = top;
    return b;
}

UINT Step(PlaybackHandle h) {
    UINT s = 99;
    EXPECT_EQ(Z_ProcessPlayback(h, &s), RC_SUCCESS);
    return s;
}

TEST(PlaybackLines, RowsCountOnceAndTheLastFrameWaitsForThem) {
    RegionTable table;
    zvtest::LiveBlockCheck check;
    BitmapHandle t = Frame(20, 20, 0);
    PlaybackHandle h = nullptr;
    ASSERT_EQ(Z_CreatePlayback(&h, &t, nullptr), RC_SUCCESS);
    BitmapHandle f = Frame(10, 10, 7);
    ASSERT_GE(K_BeginAccess(&f), 1);
    ASSERT_EQ(Z_AppendPlayback(h, &f), RC_SUCCESS);
    EXPECT_EQ(Step(h), UINT(PLAYSTATE_ADVANCE));
    EXPECT_EQ(Step(h), UINT(PLAYSTATE_RENDER));
    EXPECT_EQ(Step(h), UINT(PLAYSTATE_WAIT_DATA));
    EXPECT_EQ(t.Data[0], 0);  // nothing drawn
    const struct { int row, count; UINT after; } calls[] = {
        {0, 5, PLAYSTATE_WAIT_DATA}, {0, 5, PLAYSTATE_WAIT_DATA},  // twice: five rows
        {-3, 8, PLAYSTATE_WAIT_DATA},                              // rows 0..4 again
        {5, 4, PLAYSTATE_WAIT_DATA},                               // nine
        {9, 100, PLAYSTATE_RENDERED}};                             // the tenth; rows past 10 ignored
    for (auto &c : calls) {
        ASSERT_EQ(Z_ValidatePlaybackLines(h, c.row, c.count), RC_SUCCESS);
        EXPECT_EQ(Step(h), c.after) << c.row << "+" << c.count;
    }
    EXPECT_EQ(t.Data[0], 7);
    void *list = nullptr;
    BitmapHandle item;
    ASSERT_EQ(Z_DestroyPlayback(h, &list), RC_SUCCESS);
    ASSERT_EQ(K_GetBitmapListItem(list, 0, &item), RC_SUCCESS);
    EXPECT_EQ(item.KernelAccess, 0u);  // released when appended
    K_DestroyBitmapList(list);
    K_FreeBitmap(&t);
}

TEST(PlaybackLines, AppendRestartsAnEndedPlaybackAndSetIndexEndsTracking) {
    RegionTable table;
    zvtest::LiveBlockCheck check;
    BitmapHandle t = Frame(8, 8, 0);
    PlaybackHandle h = nullptr;
    ASSERT_EQ(Z_CreatePlayback(&h, &t, nullptr), RC_SUCCESS);
    BitmapHandle f = Frame(2, 2, 1);
    ASSERT_EQ(Z_AppendPlayback(h, &f), RC_SUCCESS);
    ASSERT_EQ(Z_ValidatePlaybackLines(h, 0, 2), RC_SUCCESS);
    ASSERT_EQ(Z_SetPlaybackIndex(h, 1), RC_SUCCESS);  // plays to the end
    UINT s;
    int index;
    Z_GetPlaybackState(h, &s), Z_GetPlaybackIndex(h, &index);
    EXPECT_EQ(s, UINT(PLAYSTATE_END));
    EXPECT_EQ(index, 1);
    BitmapHandle g = Frame(2, 3, 2, 4, 4);
    ASSERT_EQ(Z_AppendPlayback(h, &g), RC_SUCCESS);
    Z_GetPlaybackState(h, &s);
    EXPECT_EQ(s, UINT(PLAYSTATE_RENDER));
    EXPECT_EQ(Step(h), UINT(PLAYSTATE_WAIT_DATA));
    ASSERT_EQ(Z_SetPlaybackIndex(h, 1), RC_SUCCESS);  // ends tracking, nothing to replay
    EXPECT_EQ(Step(h), UINT(PLAYSTATE_RENDERED));
    EXPECT_EQ(t.Data[4 * t.BytesPerLine + 4], 2);
    // Earlier index: a cleared target with frame 0 drawn and disposed.
    ASSERT_EQ(Z_SetPlaybackIndex(h, 0), RC_SUCCESS);
    Z_GetPlaybackState(h, &s), Z_GetPlaybackIndex(h, &index);
    EXPECT_EQ(s, UINT(PLAYSTATE_RENDER));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(t.Data[4 * t.BytesPerLine + 4], 0);
    ASSERT_EQ(Z_SetPlaybackIndex(h, -1), RC_SUCCESS);
    Z_GetPlaybackState(h, &s), Z_GetPlaybackIndex(h, &index);
    EXPECT_EQ(s, UINT(PLAYSTATE_START));
    EXPECT_EQ(index, -1);
    EXPECT_EQ(Z_SetPlaybackIndex(h, 3), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_SetPlaybackIndex(h, -2), RC_INVALID_PARAMETER);
    void *list = nullptr;
    ASSERT_EQ(Z_DestroyPlayback(h, &list), RC_SUCCESS);
    K_DestroyBitmapList(list);
    K_FreeBitmap(&t);
}

TEST(PlaybackWait, DelayCountsDownAndCancelEndsTheWait) {
    RegionTable table;
    zvtest::LiveBlockCheck check;
    BitmapHandle t = Frame(4, 4, 0);
    PlaybackHandle h = nullptr;
    ASSERT_EQ(Z_CreatePlayback(&h, &t, nullptr), RC_SUCCESS);
    BitmapHandle f = Frame(2, 2, 1);
    f.Delay = 100, f.Flags |= BITMAP_WAIT_INPUT;
    BitmapHandle g = Frame(2, 2, 1);
    g.Flags |= BITMAP_WAIT_INPUT;
    ASSERT_EQ(Z_AppendPlayback(h, &f), RC_SUCCESS);
    ASSERT_EQ(Z_AppendPlayback(h, &g), RC_SUCCESS);
    ASSERT_EQ(Z_ValidatePlaybackLines(h, 0, 2), RC_SUCCESS);
    UINT left = 0, s = 0;
    for (UINT want : {1u, 2u, 4u, 7u}) {
        EXPECT_EQ(Step(h), want);
        EXPECT_EQ(Z_CancelPlaybackWait(h), RC_SUCCESS);  // no effect before the wait
    }
    Z_GetPlaybackState(h, &s);
    EXPECT_EQ(s, 8u);  // cancelled the 7
    // Again from the start, this time letting the delay run out.
    ASSERT_EQ(Z_SetPlaybackIndex(h, -1), RC_SUCCESS);
    while (Step(h) != 7u) {
    }
    ASSERT_EQ(Z_GetPlaybackDelay(h, &left), RC_SUCCESS);
    EXPECT_LE(left, 100u);
    UINT previous = left;
    const DWORD start = GetTickCount();
    while (Step(h) == 7u && GetTickCount() - start < 5000) {
        Z_GetPlaybackDelay(h, &left);
        EXPECT_LE(left, previous);
        previous = left;
    }
    Z_GetPlaybackState(h, &s);
    EXPECT_EQ(s, 8u);
    EXPECT_GE(GetTickCount() - start, 60u);
    Z_GetPlaybackDelay(h, &left);
    EXPECT_EQ(left, 0u);
    for (UINT want : {9u, 2u, 4u, 5u, 5u})  // frame g: no delay, wait flag
        EXPECT_EQ(Step(h), want);
    Z_CancelPlaybackWait(h);
    EXPECT_EQ(Step(h), 9u);
    EXPECT_EQ(Step(h), 10u);
    EXPECT_EQ(Step(h), 2u);  // loops without clearing
    void *list = nullptr;
    ASSERT_EQ(Z_DestroyPlayback(h, &list), RC_SUCCESS);  // the list is the caller's
    K_DestroyBitmapList(list);
    K_FreeBitmap(&t);
}

TEST(PlaybackBadInput, CodesAndNothingDrawnFromEmptyDescriptors) {
    RegionTable table;
    zvtest::LiveBlockCheck check;
    BitmapHandle t = Frame(4, 4, 3), none{};
    PlaybackHandle h = nullptr;
    UINT u;
    int i;
    RECT r;
    EXPECT_EQ(Z_CreatePlayback(nullptr, &t, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_CreatePlayback(&h, nullptr, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_CreatePlayback(&h, &none, nullptr), RC_INVALID_PARAMETER);
    for (PlaybackHandle bad : {PlaybackHandle(nullptr), PlaybackHandle(nullptr)}) {
        EXPECT_EQ(Z_DestroyPlayback(bad, nullptr), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_ProcessPlayback(bad, &u), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_GetPlaybackState(bad, &u), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_GetPlaybackIndex(bad, &i), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_GetPlaybackUpdateRect(bad, &r, 1), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_ClearPlaybackUpdateRect(bad), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_GetPlaybackDelay(bad, &u), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_CancelPlaybackWait(bad), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_SetPlaybackIndex(bad, 0), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_AppendPlayback(bad, &t), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_ValidatePlaybackLines(bad, 0, 1), RC_INVALID_PARAMETER);
    }
    ASSERT_EQ(Z_CreatePlayback(&h, &t, nullptr), RC_SUCCESS);
    EXPECT_EQ(Z_GetPlaybackState(h, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_GetPlaybackIndex(h, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_GetPlaybackDelay(h, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_AppendPlayback(h, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_GetPlaybackUpdateRect(h, nullptr, 0), RC_SUCCESS);
    // A new playback: state 0, index -1, empty update rectangle; an empty
    // list runs 0, 1, 10, 2 and then stays (no frame to draw).
    Z_GetPlaybackUpdateRect(h, &r, 0);
    EXPECT_TRUE(IsRectEmpty(&r));
    for (UINT want : {1u, 10u, 2u, 2u})
        EXPECT_EQ(Step(h), want);
    Z_GetPlaybackUpdateRect(h, &r, 1);
    EXPECT_EQ(r.right, 4);
    EXPECT_EQ(t.Data[0], 0);  // background 0 filled by state 0
    // A frame without data: skipped, never read.
    BitmapHandle empty = none;
    empty.Width = 3, empty.Height = 3, empty.BitsPerPixel = 8, empty.Flags = BITMAP_TRANSPARENT;
    ASSERT_EQ(Z_AppendPlayback(h, &empty), RC_SUCCESS);
    ASSERT_EQ(Z_ValidatePlaybackLines(h, 0, 3), RC_SUCCESS);
    EXPECT_EQ(Step(h), 3u + 1u);
    void *list = nullptr;
    ASSERT_EQ(Z_DestroyPlayback(h, &list), RC_SUCCESS);
    // A handle that no longer locks.
    EXPECT_EQ(Z_GetPlaybackState(h, &u), RC_INVALID_PARAMETER);
    K_DestroyBitmapList(list);
    K_FreeBitmap(&t);
}

// One whole playback of transparent, converted frames with regions and
// every disposal; the frames' regions must be the list's own after every
// step whatever allocation failed.
int RunAnimation(void *list, BitmapHandle &t) {
    PlaybackHandle h = nullptr;
    int rc = Z_CreatePlayback(&h, &t, list);
    if (rc != RC_SUCCESS)
        return rc;
    BitmapHandle before[4], now;
    for (int i = 0; i < 4; ++i)
        K_GetBitmapListItem(list, i, &before[i]);
    for (int step = 0; step < 40 && rc == RC_SUCCESS; ++step) {
        rc = Z_ProcessPlayback(h, nullptr);
        Z_CancelPlaybackWait(h);
        for (int i = 0; i < 4; ++i) {
            K_GetBitmapListItem(list, i, &now);
            EXPECT_EQ(std::memcmp(&now, &before[i], sizeof now), 0) << "frame " << i << " changed";
            UINT area = 0;
            if (now.Region) {
                EXPECT_TRUE(Z_GetBitmapRgnArea(&now, &area) == RC_SUCCESS && area > 0);
            }
        }
    }
    Z_DestroyPlayback(h, nullptr);
    return rc;
}

TEST(PlaybackFaults, FailedAllocationsAnywhereLeaveNothingBehind) {
    RegionTable table;
    zvtest::ResourceCheck check;
    BitmapHandle t = Frame(30, 30, 0);
    t.BackgroundColor = 0x01000005;
    t.Orientation = ORIENT_BOTTOM_LEFT;
    void *list = nullptr;
    ASSERT_EQ(K_CreateBitmapList(&list), RC_SUCCESS);
    for (int i = 0; i < 4; ++i) {
        BitmapHandle f;
        ASSERT_EQ(K_CreateBitmap(&f, 12, 10, i == 1 ? 24 : 8, ORDER_BGR, 0), RC_SUCCESS);
        for (int k = 0; k < f.BytesPerLine * f.Height; ++k)
            f.Data[k] = BYTE(k % 3);
        if (i == 2)
            f.Palette[1] = RGBQUAD{9, 9, 9, 0};  // another palette: converted
        f.Left = 3 * i, f.Top = 2 * i;
        f.DisposalMethod = i;
        f.Flags |= BITMAP_TRANSPARENT;
        f.TransparentColor = i == 1 ? 0x000101 : 0x01000001;
        RECT e{0, 0, 12, 10};
        if (i % 2 == 0) {
            ASSERT_EQ(Z_SetBitmapRgnEllipse(&f, nullptr, &e, RGN_MODE_SET), RC_SUCCESS);
        }
        ASSERT_EQ(K_InsertBitmapListItem(list, -1, &f), RC_SUCCESS);
    }
    RECT tr{2, 2, 25, 25};
    ASSERT_EQ(Z_SetBitmapRgnRect(&t, nullptr, &tr, RGN_MODE_SET), RC_SUCCESS);
    ZoraRgn *targetRegion = t.Region;
    const int allocations = zvtest::SweepAllocationFailures(
        [&] { return RunAnimation(list, t); },
        [&](int rc) {
            EXPECT_TRUE(rc == RC_SUCCESS || rc == RC_NO_MEMORY) << rc;
            EXPECT_EQ(t.Region, targetRegion);
        },
        [&](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
    EXPECT_GT(allocations, 10);
    // Create with a list of its own, and append.
    PlaybackHandle h = nullptr;
    zvtest::SweepAllocationFailures([&] { return Z_CreatePlayback(&h, &t, nullptr); },
                                    [&](int rc) {
                                        EXPECT_EQ(rc, RC_NO_MEMORY);
                                        EXPECT_EQ(h, nullptr);
                                    },
                                    [&](int rc) {
                                        ASSERT_EQ(rc, RC_SUCCESS);
                                        void *own = nullptr;
                                        Z_DestroyPlayback(h, &own);
                                        K_DestroyBitmapList(own);
                                    });
    ASSERT_EQ(Z_CreatePlayback(&h, &t, list), RC_SUCCESS);
    BitmapHandle extra{};
    extra.Height = 5;
    zvtest::SweepAllocationFailures([&] { return Z_AppendPlayback(h, &extra); },
                                    [&](int rc) {
                                        EXPECT_EQ(rc, RC_NO_MEMORY);
                                        uint32_t count = 0;
                                        K_GetBitmapListCount(list, &count);
                                        EXPECT_EQ(count, 4u);
                                    },
                                    [&](int rc) {
                                        ASSERT_EQ(rc, RC_SUCCESS);
                                        Z_SetPlaybackIndex(h, -1);  // ends tracking: frees the row bits
                                    });
    Z_DestroyPlayback(h, nullptr);
    K_DestroyBitmapList(list);
    K_FreeBitmap(&t);
}

}  // namespace
