// Playback: row tracking, waits, replay by index, and failed allocations
// inside the steps of a whole animation.
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

// A playback over a w x h target of index 0 with a list of its own; both
// go at the end of the scope.
struct Play {
    BitmapHandle t;
    PlaybackHandle h = nullptr;
    Play(int w, int h0) : t(Frame(w, h0, 0)) { EXPECT_EQ(Z_CreatePlayback(&h, &t, nullptr), RC_SUCCESS); }
    ~Play() {
        void *list = nullptr;
        EXPECT_EQ(Z_DestroyPlayback(h, &list), RC_SUCCESS);
        K_DestroyBitmapList(list);
        K_FreeBitmap(&t);
    }
    UINT State() const {
        UINT s = 99;
        Z_GetPlaybackState(h, &s);
        return s;
    }
    int Index() const {
        int i = 99;
        Z_GetPlaybackIndex(h, &i);
        return i;
    }
};

TEST(PlaybackLines, RowsCountOnceAndTheLastFrameWaitsForThem) {
    RegionTable table;
    zvtest::LiveBlockCheck check;
    Play p(20, 20);
    BitmapHandle f = Frame(10, 10, 7);
    ASSERT_GE(K_BeginAccess(&f), 1);
    ASSERT_EQ(Z_AppendPlayback(p.h, &f), RC_SUCCESS);
    for (UINT want : {PLAYSTATE_ADVANCE, PLAYSTATE_RENDER, PLAYSTATE_WAIT_DATA})
        EXPECT_EQ(Step(p.h), want);
    EXPECT_EQ(p.t.Data[0], 0);  // nothing drawn
    const struct { int row, count; UINT after; } calls[] = {
        {0, 5, PLAYSTATE_WAIT_DATA}, {0, 5, PLAYSTATE_WAIT_DATA},  // twice: five rows
        {-3, 8, PLAYSTATE_WAIT_DATA},                              // rows 0..4 again
        {5, 4, PLAYSTATE_WAIT_DATA},                               // nine
        {9, 100, PLAYSTATE_RENDERED}};                             // the tenth; rows past 10 ignored
    for (auto &c : calls) {
        ASSERT_EQ(Z_ValidatePlaybackLines(p.h, c.row, c.count), RC_SUCCESS);
        EXPECT_EQ(Step(p.h), c.after) << c.row << "+" << c.count;
    }
    EXPECT_EQ(p.t.Data[0], 7);
    // A frame without data: skipped, never read.
    BitmapHandle empty{};
    empty.Width = 3, empty.Height = 3, empty.BitsPerPixel = 8, empty.Flags = BITMAP_TRANSPARENT;
    ASSERT_EQ(Z_AppendPlayback(p.h, &empty), RC_SUCCESS);
    ASSERT_EQ(Z_ValidatePlaybackLines(p.h, 0, 3), RC_SUCCESS);
    for (UINT want : {PLAYSTATE_DISPOSE, PLAYSTATE_DISPOSED, PLAYSTATE_RENDER, PLAYSTATE_RENDERED})
        EXPECT_EQ(Step(p.h), want);
    EXPECT_EQ(p.t.Data[0], 7);
}

TEST(PlaybackLines, AppendRestartsAnEndedPlaybackAndSetIndexEndsTracking) {
    RegionTable table;
    zvtest::LiveBlockCheck check;
    Play p(8, 8);
    BitmapHandle f = Frame(2, 2, 1), g = Frame(2, 3, 2, 4, 4);
    ASSERT_EQ(Z_AppendPlayback(p.h, &f), RC_SUCCESS);
    ASSERT_EQ(Z_ValidatePlaybackLines(p.h, 0, 2), RC_SUCCESS);
    ASSERT_EQ(Z_SetPlaybackIndex(p.h, 1), RC_SUCCESS);  // plays to the end
    EXPECT_EQ(p.State(), UINT(PLAYSTATE_END));
    EXPECT_EQ(p.Index(), 1);
    ASSERT_EQ(Z_AppendPlayback(p.h, &g), RC_SUCCESS);
    EXPECT_EQ(p.State(), UINT(PLAYSTATE_RENDER));
    EXPECT_EQ(Step(p.h), UINT(PLAYSTATE_WAIT_DATA));
    ASSERT_EQ(Z_SetPlaybackIndex(p.h, 1), RC_SUCCESS);  // ends tracking, nothing to replay
    EXPECT_EQ(Step(p.h), UINT(PLAYSTATE_RENDERED));
    EXPECT_EQ(p.t.Data[4 * p.t.BytesPerLine + 4], 2);
    // Earlier index: a cleared target with frame 0 drawn and disposed.
    ASSERT_EQ(Z_SetPlaybackIndex(p.h, 0), RC_SUCCESS);
    EXPECT_EQ(p.State(), UINT(PLAYSTATE_RENDER));
    EXPECT_EQ(p.Index(), 0);
    EXPECT_EQ(p.t.Data[4 * p.t.BytesPerLine + 4], 0);
    ASSERT_EQ(Z_SetPlaybackIndex(p.h, -1), RC_SUCCESS);
    EXPECT_EQ(p.State(), UINT(PLAYSTATE_START));
    EXPECT_EQ(p.Index(), -1);
    EXPECT_EQ(Z_SetPlaybackIndex(p.h, 3), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_SetPlaybackIndex(p.h, -2), RC_INVALID_PARAMETER);
    PlaybackHandle gone = nullptr;  // a destroyed handle no longer locks
    void *list = nullptr;
    ASSERT_EQ(Z_CreatePlayback(&gone, &p.t, nullptr), RC_SUCCESS);
    ASSERT_EQ(Z_DestroyPlayback(gone, &list), RC_SUCCESS);
    K_DestroyBitmapList(list);
    UINT s;
    EXPECT_EQ(Z_GetPlaybackState(gone, &s), RC_INVALID_PARAMETER);
}

TEST(PlaybackWait, DelayCountsDownAndCancelEndsTheWait) {
    RegionTable table;
    zvtest::LiveBlockCheck check;
    Play p(4, 4);
    BitmapHandle f = Frame(2, 2, 1), g = Frame(2, 2, 1);
    f.Delay = 100, f.Flags |= BITMAP_WAIT_INPUT;
    g.Flags |= BITMAP_WAIT_INPUT;
    ASSERT_EQ(Z_AppendPlayback(p.h, &f), RC_SUCCESS);
    ASSERT_EQ(Z_AppendPlayback(p.h, &g), RC_SUCCESS);
    ASSERT_EQ(Z_ValidatePlaybackLines(p.h, 0, 2), RC_SUCCESS);
    for (UINT want : {1u, 2u, 4u, 7u}) {
        EXPECT_EQ(Step(p.h), want);
        EXPECT_EQ(Z_CancelPlaybackWait(p.h), RC_SUCCESS);  // no effect before the wait
    }
    EXPECT_EQ(p.State(), 8u);  // cancelled the 7
    // Again from the start, this time letting the delay run out.
    ASSERT_EQ(Z_SetPlaybackIndex(p.h, -1), RC_SUCCESS);
    while (Step(p.h) != 7u) {
    }
    UINT left = 0, previous = 100;
    const DWORD start = GetTickCount();
    do {
        ASSERT_EQ(Z_GetPlaybackDelay(p.h, &left), RC_SUCCESS);
        EXPECT_LE(left, previous);
        previous = left;
    } while (Step(p.h) == 7u && GetTickCount() - start < 5000);
    EXPECT_EQ(p.State(), 8u);
    EXPECT_GE(GetTickCount() - start, 60u);
    Z_GetPlaybackDelay(p.h, &left);
    EXPECT_EQ(left, 0u);
    for (UINT want : {9u, 2u, 4u, 5u, 5u})  // frame g: no delay, wait flag
        EXPECT_EQ(Step(p.h), want);
    Z_CancelPlaybackWait(p.h);
    for (UINT want : {9u, 10u, 2u})  // loops without clearing
        EXPECT_EQ(Step(p.h), want);
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
    K_DestroyBitmapList(list);
    K_FreeBitmap(&t);
}

}  // namespace
