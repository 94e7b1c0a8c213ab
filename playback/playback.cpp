// Playback: one step of the frame-composing state machine.
//
// A step works on a local copy of the current frame's descriptor; the
// copy shares the list's pixels and region.  A transparent frame gets a
// region of its own for the draw (its region, or the whole frame, minus
// the pixels of its transparent colour); the shared region is put back on
// the copy afterwards and never changed.  Disposal 2 limits the fill the
// same way with a temporary region on the target.  Regions are put back
// by pointer, so putting back cannot fail.
#include "playback/playback.h"
#include "region/region.h"

#include <algorithm>
#include <cstring>

namespace zv {
namespace {

bool IsEmpty(const RECT &r) { return r.left >= r.right || r.top >= r.bottom; }

// Adds the target area of bitmap b (a frame, or the target itself) to the
// update rectangle: the bounds of its region (the whole bitmap without
// one) in display coordinates, at its (Left, Top), in the target's
// storage, cut to the target.
void AccumulateArea(PlaybackRecord &p, BitmapHandle &b) {
    const BitmapHandle &t = *p.Target;
    RECT r{0, 0, b.Width, b.Height};
    if (Z_GetBitmapRgnBounds(&b, nullptr, &r) != RC_SUCCESS)
        return;
    if (b.Orientation)
        K_ConvertRectOrientation(b.Orientation, b.Width, b.Height, ORIENT_TOP_LEFT, &r);
    OffsetRect(&r, b.Left, b.Top);
    K_ConvertRectOrientation(ORIENT_TOP_LEFT, t.Width, t.Height, t.Orientation, &r);
    r = RECT{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min<LONG>(r.right, t.Width),
             std::min<LONG>(r.bottom, t.Height)};
    if (IsEmpty(r))
        return;
    RECT &u = p.UpdateRect;
    u = IsEmpty(u) ? r
                   : RECT{std::min(u.left, r.left), std::min(u.top, r.top), std::max(u.right, r.right),
                          std::max(u.bottom, r.bottom)};
}

// First stored row of the target under the frame.
int TargetRow(const PlaybackRecord &p, const BitmapHandle &f) {
    return p.Target->Orientation == ORIENT_BOTTOM_LEFT ? p.Target->Height - f.Top - f.Height : f.Top;
}

// Replaces b's region for a while; the destructor puts the own one back
// and frees the temporary one.
struct RegionSwap {
    BitmapHandle &b;
    ZoraRgn *own;
    explicit RegionSwap(BitmapHandle &bitmap) : b(bitmap), own(bitmap.Region) {}
    // b gets a copy of its own region (nothing to copy without one).
    bool Copy() {
        ZoraRgn *copy = nullptr;
        if (Z_CopyZoraRgn(&copy, own) != RC_SUCCESS)
            return false;
        b.Region = copy;
        return true;
    }
    ~RegionSwap() {
        if (b.Region != own)
            K_FreeRegion(b.Region);
        b.Region = own;
    }
};

bool SameColours(const BitmapHandle &f, const BitmapHandle &t, const RGBQUAD *targetColors) {
    if (f.BitsPerPixel != t.BitsPerPixel)
        return false;
    if (f.BitsPerPixel > 8)
        return f.Order == t.Order;
    RGBQUAD frameColors[256] = {};
    const int n = std::clamp(f.ColorCount, 0, 256);
    K_GetBitmapColors(&f, 0, n, frameColors);
    return std::memcmp(frameColors, targetColors, sizeof(RGBQUAD) * n) == 0;
}

// Transparency, conversion and combine of the frame (steps 3 to 7);
// false when a kernel failure abandoned the draw before the combine.
bool ComposeFrame(PlaybackRecord &p, BitmapHandle &frame) {
    BitmapHandle &t = *p.Target;
    RegionSwap swap(frame);
    if (frame.Flags & BITMAP_TRANSPARENT) {
        if (!swap.Copy() || Z_SetBitmapRgnColor(&frame, frame.TransparentColor, RGN_MODE_OLD_MINUS_NEW) != RC_SUCCESS)
            return false;
    }
    RGBQUAD targetColors[256] = {};
    K_GetBitmapColors(&t, 0, std::clamp(t.ColorCount, 0, 256), targetColors);
    BitmapHandle converted{}, *source = &frame;
    if (!SameColours(frame, t, targetColors)) {
        const UINT flags = t.BitsPerPixel <= 8                                   ? KCONV_USE_COLORS | KCONV_NEAREST
                           : (t.Order == ORDER_BGR || t.Order == ORDER_BGR_CONVERT) ? KCONV_BLUE_FIRST
                                                                                    : 0u;
        if (K_ConvertColorResolution(&frame, &converted, t.BitsPerPixel, targetColors, t.ColorCount, flags) !=
            RC_SUCCESS)
            return false;
        source = &converted;
    }
    // The frame shows upright at (Left, Top) of the animation; the combine
    // takes its rectangle in the frame's row order.
    RECT at{frame.Left, frame.Top, frame.Left + frame.Width, frame.Top + frame.Height};
    K_ConvertRectOrientation(ORIENT_TOP_LEFT, t.Width, t.Height, frame.Orientation, &at);
    K_CombineBitmap(&t, at.left, at.top, frame.Width, frame.Height, source, 0, 0, KCOMBINE_SOURCE_RGN | KCOMBINE_COPY);
    K_FreeBitmap(&converted);
    return true;
}

// States 2 and 3.
void DrawFrame(PlaybackRecord &p, BitmapHandle &frame) {
    BitmapHandle &t = *p.Target;
    uint32_t count = 0;
    K_GetBitmapListCount(p.FrameList, &count);
    if (uint32_t(p.CurrentIndex) == count - 1 && p.LinesTracking) {
        p.State = PLAYSTATE_WAIT_DATA;
        return;
    }
    p.State = PLAYSTATE_RENDERED;
    if (frame.DisposalMethod == 3) {
        K_FreeBitmap(&p.SavedArea);
        if (K_CopyBitmapRect(&t, &p.SavedArea, frame.Left, TargetRow(p, frame), frame.Width, frame.Height) !=
            RC_SUCCESS)
            p.SavedArea = BitmapHandle{};
    }
    if (ComposeFrame(p, frame))
        AccumulateArea(p, frame);
}

// State 8.
void Dispose(PlaybackRecord &p, BitmapHandle &frame) {
    BitmapHandle &t = *p.Target;
    const int y = TargetRow(p, frame);
    if (frame.DisposalMethod == 2) {
        RegionSwap swap(t);
        RECT r{frame.Left, y, frame.Left + frame.Width, y + frame.Height};
        if (swap.Copy() && Z_SetBitmapRgnRect(&t, nullptr, &r, RGN_MODE_AND) == RC_SUCCESS)
            K_FillBitmap(&t, t.BackgroundColor);
        AccumulateArea(p, frame);
    } else if (frame.DisposalMethod == 3 && (p.SavedArea.Flags & BITMAP_ALLOCATED)) {
        K_CombineBitmap(&t, frame.Left, y, frame.Width, frame.Height, &p.SavedArea, 0, 0,
                        KCOMBINE_SOURCE_RGN | KCOMBINE_COPY);
        K_FreeBitmap(&p.SavedArea);
        AccumulateArea(p, frame);
    }
    p.State = PLAYSTATE_DISPOSED;
}

}  // namespace
}  // namespace zv

extern "C" {

int __stdcall Z_ProcessPlayback(PlaybackHandle h, UINT *pOutState) {
    using namespace zv;
    PlaybackRecord *pp = PlaybackOf(h);
    if (!pp)
        return RC_INVALID_PARAMETER;
    PlaybackRecord &p = *pp;
    BitmapHandle frame;
    const bool haveFrame = K_GetBitmapListItem(p.FrameList, p.CurrentIndex, &frame) == RC_SUCCESS;
    uint32_t count = 0;
    switch (p.State) {
    case PLAYSTATE_START:
        K_FillBitmap(p.Target, p.Target->BackgroundColor);
        AccumulateArea(p, *p.Target);
        p.State = PLAYSTATE_ADVANCE;
        break;
    case PLAYSTATE_ADVANCE:
    case PLAYSTATE_DISPOSED:
        ++p.CurrentIndex;
        K_GetBitmapListCount(p.FrameList, &count);
        p.State = uint32_t(p.CurrentIndex) < count ? PLAYSTATE_RENDER : PLAYSTATE_END;
        break;
    case PLAYSTATE_END:
        p.CurrentIndex = 0;
        p.State = PLAYSTATE_RENDER;
        break;
    case PLAYSTATE_WAIT_INPUT:
        break;
    default:
        if (!haveFrame)  // never draw from an unfilled descriptor
            break;
        switch (p.State) {
        case PLAYSTATE_RENDER:
        case PLAYSTATE_WAIT_DATA:
            DrawFrame(p, frame);
            break;
        case PLAYSTATE_RENDERED:
            if (frame.Delay) {
                p.WaitStart = GetTickCount();
                p.State = (frame.Flags & BITMAP_WAIT_INPUT) ? PLAYSTATE_WAIT_DELAY_INPUT : PLAYSTATE_WAIT_DELAY;
            } else {
                p.State = (frame.Flags & BITMAP_WAIT_INPUT) ? PLAYSTATE_WAIT_INPUT : PLAYSTATE_DISPOSE;
            }
            break;
        case PLAYSTATE_WAIT_DELAY:
        case PLAYSTATE_WAIT_DELAY_INPUT:
            if (GetTickCount() - p.WaitStart >= frame.Delay)
                p.State = PLAYSTATE_DISPOSE;
            break;
        case PLAYSTATE_DISPOSE:
            Dispose(p, frame);
            break;
        }
    }
    if (pOutState)
        *pOutState = p.State;
    return RC_SUCCESS;
}

}  // extern "C"
