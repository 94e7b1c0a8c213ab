// The demo's region row (tools/demo/region_row.cpp).
#pragma once

#include "zvkern.h"

#include <functional>
#include <string>

namespace demo {

using PlaceFn = std::function<RECT(int w, int h)>;  // room for a tile on the sheet
using CaptionFn = std::function<void(const RECT &tile, const std::string &caption, int rc)>;

// Draws the region tiles of the 24-bit scene onto dc: a magic-wand
// selection outlined and highlighted, an HSV-range selection painted
// through the region, the underlay tiled and stretched.  The scene is not
// changed.  False when no working copy of the scene could be made.
bool RegionTiles(BitmapHandle *scene, HDC dc, const PlaceFn &place, const CaptionFn &caption);

}  // namespace demo
