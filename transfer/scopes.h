// Small scope guards of the transfer functions: the DC a call works on
// and a palette selected into a DC.
#pragma once

#include <windows.h>

namespace zv {

// The caller's DC, or the screen's (released at the end) when none.
class DcInUse {
public:
    explicit DcInUse(HDC dc) : dc_(dc ? dc : GetDC(nullptr)), screen_(!dc) {}
    ~DcInUse() {
        if (screen_ && dc_)
            ReleaseDC(nullptr, dc_);
    }
    DcInUse(const DcInUse &) = delete;
    DcInUse &operator=(const DcInUse &) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    bool screen_;
};

// A palette (may be null: nothing happens) selected in the foreground and
// realised for a scope; with realizeBack the previous palette is
// realised again when it is selected back.
class PaletteSelection {
public:
    PaletteSelection(HDC dc, HPALETTE palette, bool realizeBack = false)
        : dc_(dc), old_(palette ? SelectPalette(dc, palette, FALSE) : nullptr), realizeBack_(realizeBack) {
        if (palette)
            RealizePalette(dc);
    }
    ~PaletteSelection() {
        if (!old_)
            return;
        SelectPalette(dc_, old_, FALSE);
        if (realizeBack_)
            RealizePalette(dc_);
    }
    PaletteSelection(const PaletteSelection &) = delete;
    PaletteSelection &operator=(const PaletteSelection &) = delete;

private:
    HDC dc_;
    HPALETTE old_;
    bool realizeBack_;
};

}  // namespace zv
