// Animation playback: the record behind a PlaybackHandle and the helpers
// its two source files share.
#pragma once

#include "zvdisp.h"
#include "zvkern.h"

namespace zv {

struct PlaybackRecord {
    int32_t CurrentIndex;    // frame in FrameList; -1 when new and after a restart
    uint32_t State;          // PLAYSTATE_*
    BitmapHandle *Target;    // the caller's target; not owned
    void *FrameList;         // kernel bitmap list; the caller's
    uint32_t WaitStart;      // tick count at which the current delay began
    RECT UpdateRect;         // target area changed since last cleared
    BitmapHandle SavedArea;  // target area under a frame of disposal 3
    uint32_t LinesTracking;  // 1 while the last appended frame lacks rows
    uint32_t LinesPending;   // rows of that frame not yet validated
    uint8_t *LineBits;       // one bit per row of that frame (1 = present)
};

// The record of a handle (locked and unlocked at once), or null.
PlaybackRecord *PlaybackOf(PlaybackHandle h);

// Frees LineBits and zeroes both counters.
void EndLineTracking(PlaybackRecord &p);

}  // namespace zv
