// The demo's built-in pictures, generated at start: a colour scene, a
// 1-bit text page, a 16-bit gray phantom and an 8-bit palette image.
#pragma once

#include "zvkern.h"

namespace demo {

// Each fills a kernel bitmap; false when the kernel refused it.
bool MakeScene(BitmapHandle *b);        // 480 x 320, 24 bits
bool MakeTextPage(BitmapHandle *b);     // 1240 x 1754, 1 bit, black on white
bool MakeGrayPhantom(BitmapHandle *b);  // 512 x 512, 16 bits, 12 significant
bool MakePaletteImage(BitmapHandle *b); // 320 x 240, 8 bits, 256 colours

}  // namespace demo
