// A generated animation for the player, the benchmark and the demo: frames
// of 8 bits with a palette of their own, a figure on a transparent ground
// (index 0), each at its own offset, with the disposal methods in turn.
#pragma once

#include "zvkern.h"

#include <cmath>
#include <cstring>

namespace zvtools {

struct AnimationPlan {
    int Width = 240, Height = 160;      // the animation (the target)
    int Frames = 8;
    int FrameWidth = 96, FrameHeight = 72;
    unsigned Delay = 120;               // ms per frame
    const unsigned *Disposals = nullptr;  // cycled through; null: 0, 1, 2, 3
    int DisposalCount = 0;
};

// Frame i: a ring and a diagonal bar in colours that turn with i, on
// transparent index 0, placed on a circle around the middle.
inline bool MakeAnimationFrame(const AnimationPlan &s, int i, BitmapHandle *pFrame) {
    BitmapHandle f;
    if (K_CreateBitmap(&f, s.FrameWidth, s.FrameHeight, 8, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    for (int k = 0; k < 256; ++k) {
        const double a = (k + 37 * i) * 0.0245;
        f.Palette[k] = RGBQUAD{BYTE(128 + 127 * std::sin(a)), BYTE(128 + 127 * std::sin(a + 2.1)),
                               BYTE(128 + 127 * std::sin(a + 4.2)), 0};
    }
    f.Palette[0] = RGBQUAD{255, 0, 255, 0};  // the transparent entry, never seen
    const double cx = s.FrameWidth / 2.0, cy = s.FrameHeight / 2.0, r = std::fmin(cx, cy);
    for (int y = 0; y < s.FrameHeight; ++y) {
        BYTE *row = f.Data + size_t(y) * f.BytesPerLine;
        for (int x = 0; x < s.FrameWidth; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / r;
            const bool ring = d > 0.55 && d < 0.95;
            const bool bar = std::fabs((x - cx) / s.FrameWidth - (y - cy) / s.FrameHeight) < 0.08;
            row[x] = ring || bar ? BYTE(1 + (x + 2 * y) % 255) : 0;
        }
    }
    const double angle = 6.2832 * i / (s.Frames > 0 ? s.Frames : 1);
    f.Left = int((s.Width - s.FrameWidth) / 2 * (1 + 0.8 * std::cos(angle)));
    f.Top = int((s.Height - s.FrameHeight) / 2 * (1 + 0.8 * std::sin(angle)));
    f.Delay = s.Delay;
    f.DisposalMethod = s.Disposals ? s.Disposals[i % s.DisposalCount] : unsigned(i % 4);
    f.Flags |= BITMAP_TRANSPARENT;
    f.TransparentColor = 0x01000000u;
    *pFrame = f;
    return true;
}

// A new kernel list of the plan's frames; null on failure.
inline void *MakeAnimation(const AnimationPlan &s) {
    void *list = nullptr;
    if (K_CreateBitmapList(&list) != RC_SUCCESS)
        return nullptr;
    for (int i = 0; i < s.Frames; ++i) {
        BitmapHandle f{};
        if (!MakeAnimationFrame(s, i, &f) || K_InsertBitmapListItem(list, -1, &f) != RC_SUCCESS) {
            K_FreeBitmap(&f);
            K_DestroyBitmapList(list);
            return nullptr;
        }
    }
    return list;
}

// A 24-bit target for the plan with a soft background colour.
inline bool MakeAnimationTarget(const AnimationPlan &s, BitmapHandle *pTarget) {
    if (K_CreateBitmap(pTarget, s.Width, s.Height, 24, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    pTarget->BackgroundColor = RGB(235, 238, 245);
    return true;
}

}  // namespace zvtools
