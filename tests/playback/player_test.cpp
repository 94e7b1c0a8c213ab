// zvplay under the test's display: it plays a few frames of the generated
// animation in its window, and the captured window shows exactly what the
// playback composes in this process.
#include "playback_support.h"

#include "tools/common/animation.h"

namespace {

using namespace pbtest;

TEST(Player, PlaysFramesInItsWindowAsTheLibraryComposesThem) {
    RegionTable table;
    zvtest::LiveBlockCheck check;
    // One file per process: the runs at both depths share this directory.
    const std::string capture =
        zvtest::ExeDir() + "player_capture_" + std::to_string(GetCurrentProcessId()) + ".bmp";
    DeleteFileA(capture.c_str());
    ASSERT_EQ(zvtest::RunProcess("\"" + zvtest::ExeDir() + "zvplay.exe\" --frames 5 --capture \"" + capture + "\""), 0u)
        << "the player failed or did not end";
    BitmapHandle shot{};
    ASSERT_EQ(K_LoadBitmapFile(capture.c_str(), &shot), RC_SUCCESS);

    // The same five frames composed here.
    zvtools::AnimationPlan plan;
    void *list = zvtools::MakeAnimation(plan);
    BitmapHandle t;
    ASSERT_TRUE(list && zvtools::MakeAnimationTarget(plan, &t));
    PlaybackHandle h = nullptr;
    ASSERT_EQ(Z_CreatePlayback(&h, &t, list), RC_SUCCESS);
    for (int drawn = 0; drawn < 5;) {
        UINT s = 0;
        Z_ProcessPlayback(h, &s);
        Z_CancelPlaybackWait(h);
        drawn += s == PLAYSTATE_RENDERED;
    }
    ASSERT_EQ(shot.Width, t.Width);
    ASSERT_EQ(shot.Height, t.Height);
    HDC screen = GetDC(nullptr);
    const bool trueColour = GetDeviceCaps(screen, BITSPIXEL) >= 24;
    ReleaseDC(nullptr, screen);
    // A palette display shows the colours dithered: there the frames only
    // have to stand out from the ground.
    int differing = 0, frameColoured = 0, shotColoured = 0;
    const UINT ground = K_GetPixelValue(&shot, 0, 0);
    for (int y = 0; y < t.Height; ++y)
        for (int x = 0; x < t.Width; ++x) {
            const UINT want = K_GetPixelValue(&t, y, x), got = K_GetPixelValue(&shot, y, x);
            differing += want != got;
            frameColoured += want != t.BackgroundColor;
            shotColoured += got != ground;
        }
    EXPECT_GT(frameColoured, 1000);
    EXPECT_GT(shotColoured, 1000);
    EXPECT_TRUE(!trueColour || differing == 0) << differing << " pixels differ";
    Z_DestroyPlayback(h, nullptr);
    K_DestroyBitmapList(list);
    K_FreeBitmap(&t);
    K_FreeBitmap(&shot);
    DeleteFileA(capture.c_str());
}

}  // namespace
