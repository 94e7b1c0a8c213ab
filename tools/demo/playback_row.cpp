// The demo's playback row: the generated animation composed step by step,
// one tile per step that changed the target.
#include "tools/demo/playback_row.h"

#include "tools/common/animation.h"
#include "zvdisp.h"

#include <cstdio>

namespace demo {

bool PlaybackStates(const std::function<void(BitmapHandle *, const std::string &)> &tile) {
    static const char *const names[] = {"start", "advance", "render", "wait data", "drawn", "wait input",
                                        "wait delay", "wait delay/input", "dispose", "disposed", "end"};
    zvtools::AnimationPlan plan;
    void *list = zvtools::MakeAnimation(plan);
    BitmapHandle target{};
    PlaybackHandle h = nullptr;
    if (!list || !zvtools::MakeAnimationTarget(plan, &target) || Z_CreatePlayback(&h, &target, list) != RC_SUCCESS) {
        if (list)
            K_DestroyBitmapList(list);
        K_FreeBitmap(&target);
        return false;
    }
    UINT state = 0;
    do {
        Z_ProcessPlayback(h, &state);
        Z_CancelPlaybackWait(h);
        RECT r;
        Z_GetPlaybackUpdateRect(h, &r, 1);
        if (IsRectEmpty(&r))
            continue;
        int index = 0;
        Z_GetPlaybackIndex(h, &index);
        BitmapHandle frame{};
        K_GetBitmapListItem(list, index, &frame);
        char caption[96];
        if (index < 0)
            std::snprintf(caption, sizeof caption, "state %u (%s)|target cleared", state, names[state]);
        else
            std::snprintf(caption, sizeof caption, "state %u (%s)|index %d, disposal %u, at %d,%d", state,
                          names[state], index, frame.DisposalMethod, frame.Left, frame.Top);
        tile(&target, caption);
    } while (state != PLAYSTATE_END);
    Z_DestroyPlayback(h, nullptr);
    K_DestroyBitmapList(list);
    K_FreeBitmap(&target);
    return true;
}

}  // namespace demo
