// The demo's playback row (tools/demo/playback_row.cpp).
#pragma once

#include "zvkern.h"

#include <functional>
#include <string>

namespace demo {

// Plays the generated animation (transparency, disposal 0 to 3, frames at
// offsets) and calls tile(target, caption) after every step that changed
// the target; the caption names the state and the frame.  False when the
// animation could not be set up.
bool PlaybackStates(const std::function<void(BitmapHandle *, const std::string &)> &tile);

}  // namespace demo
