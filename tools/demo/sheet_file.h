// Writing the contact sheet: 24-bit BMP and PNG (zlib).
#pragma once

#include <windows.h>

#include <cstdint>

namespace demo {

// pixels: top-down rows of w 32-bit pixels (blue, green, red, unused).
bool WriteBmp(const char *path, const uint32_t *pixels, int w, int h);
bool WritePng(const char *path, const uint32_t *pixels, int w, int h);

}  // namespace demo
