// Sweep rows: animation playback.  A playback is made before each call
// (Prepare) over a list of two 8-bit frames, the second transparent and
// disposed to the background; its handle goes in as argument 0 and is
// destroyed with the list after the call.
#include "frame/library.h"
#include "sweep/sweep.h"

#include <cstring>

namespace zvsweep {
namespace {

// A 10 x 8 frame of palette index v at (left, top).
bool AppendFrame(void *list, BYTE v, int left, int top, UINT flags, UINT disposal) {
    BitmapHandle f;
    if (K_CreateBitmap(&f, 10, 8, 8, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    for (int i = 0; i < 256; ++i)
        f.Palette[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i * 7), 0};
    std::memset(f.Data, v, size_t(f.BytesPerLine) * f.Height);
    f.Data[3] = 1;  // one transparent pixel
    f.Left = left, f.Top = top, f.Delay = 50, f.DisposalMethod = disposal;
    f.TransparentColor = RGB(1, 254, 7), f.Flags |= flags;
    if (K_InsertBitmapListItem(list, -1, &f) == RC_SUCCESS)
        return true;
    K_FreeBitmap(&f);
    return false;
}

// Playback of the bitmap argument 1 in c.val[0] (and extra[0]), its list in
// extra[1], stepped until it reaches `state`.
CallFn PlaybackAt(UINT state) {
    return [state](Call &c) -> intptr_t {
        K_SetRegionServiceTable(&zv::RegionServices);
        void *list = nullptr;
        PlaybackHandle h = nullptr;
        if (K_CreateBitmapList(&list) != RC_SUCCESS || !AppendFrame(list, 9, 2, 3, 0, 3) ||
            !AppendFrame(list, 40, 12, 6, BITMAP_TRANSPARENT, 2) || Z_CreatePlayback(&h, c.bmp(1), list) != RC_SUCCESS)
            ADD_FAILURE() << "playback fixture";
        c.val[0] = c.extra[0] = reinterpret_cast<intptr_t>(h), c.extra[1] = reinterpret_cast<intptr_t>(list);
        UINT s = PLAYSTATE_START;
        for (int n = 0; n < 40 && s != state; ++n)
            Z_ProcessPlayback(h, &s);
        return 0;
    };
}

void DestroyPlayback(Call &c, intptr_t) {
    if (c.extra[0])
        Z_DestroyPlayback(reinterpret_cast<PlaybackHandle>(c.extra[0]), nullptr);
    if (c.extra[1])
        K_DestroyBitmapList(reinterpret_cast<void *>(c.extra[1]));
    c.extra[0] = c.extra[1] = 0;
    K_SetRegionServiceTable(nullptr);
}

PlaybackHandle H(const Call &c) { return reinterpret_cast<PlaybackHandle>(c.val[0]); }

// A call on a playback in `state`: argument 0 the handle, 1 the target.
Row OnPlayback(const char *name, UINT state, std::vector<Arg> more, CallFn call) {
    std::vector<Arg> args = {Val(0), Bmp(24, kAny, kAny)};
    args.insert(args.end(), more.begin(), more.end());
    return Row(name, std::move(args), std::move(call)).Prepare(PlaybackAt(state)).Cleanup(DestroyPlayback);
}

}  // namespace

ZV_SWEEP_ROWS(Playback) {
    Add(Row("Z_CreatePlayback", {Out(sizeof(PlaybackHandle)), Bmp(24, RC_INVALID_PARAMETER, RC_INVALID_PARAMETER)},
            [](Call &c) -> intptr_t { return Z_CreatePlayback(c.p<PlaybackHandle>(0), c.bmp(1), nullptr); })
            .Cleanup([](Call &c, intptr_t r) {
                void *list = nullptr;
                if (r == RC_SUCCESS && c.ptr[0] && Z_DestroyPlayback(*c.p<PlaybackHandle>(0), &list) == RC_SUCCESS)
                    K_DestroyBitmapList(list);
            })
            .ChangesOnFail());  // *out is set to null before the record is allocated
    Add(OnPlayback("Z_DestroyPlayback", PLAYSTATE_RENDERED, {OptOut(sizeof(void *))},
                   [](Call &c) -> intptr_t {
                       c.extra[0] = 0;
                       return Z_DestroyPlayback(H(c), c.p<void *>(2));
                   })
            .NoAlloc());
    // Failures inside a step are absorbed by design (the frame is skipped):
    // any result, any target.
    Add(OnPlayback("Z_ProcessPlayback", PLAYSTATE_RENDER, {OptOut(sizeof(UINT))}, FwdAt<0, 2>(Z_ProcessPlayback))
            .Returns(Result::Value)
            .ChangesOnFail());
    Add(OnPlayback("Z_GetPlaybackState", PLAYSTATE_RENDER, {Out(sizeof(UINT))}, FwdAt<0, 2>(Z_GetPlaybackState))
            .NoAlloc());
    Add(OnPlayback("Z_GetPlaybackIndex", PLAYSTATE_RENDER, {Out(sizeof(int))}, FwdAt<0, 2>(Z_GetPlaybackIndex))
            .NoAlloc());
    Add(OnPlayback("Z_GetPlaybackUpdateRect", PLAYSTATE_RENDERED, {OptOut(sizeof(RECT)), Val(1)},
                   FwdAt<0, 2, 3>(Z_GetPlaybackUpdateRect))
            .NoAlloc());
    Add(OnPlayback("Z_ClearPlaybackUpdateRect", PLAYSTATE_RENDERED, {}, FwdAt<0>(Z_ClearPlaybackUpdateRect)).NoAlloc());
    Add(OnPlayback("Z_GetPlaybackDelay", PLAYSTATE_WAIT_DELAY, {Out(sizeof(UINT))}, FwdAt<0, 2>(Z_GetPlaybackDelay))
            .NoAlloc());
    Add(OnPlayback("Z_CancelPlaybackWait", PLAYSTATE_WAIT_DELAY, {}, FwdAt<0>(Z_CancelPlaybackWait)).NoAlloc());
    // Replaying to the end composes both frames; a failed step is skipped as
    // in normal playback, so the target may differ.
    Add(OnPlayback("Z_SetPlaybackIndex", PLAYSTATE_RENDERED, {Enum(2, -1, 2)}, FwdAt<0, 2>(Z_SetPlaybackIndex))
            .Returns(Result::Value)
            .ChangesOnFail());
    // The list owns an appended frame's data: the fixture lets go of it.
    Add(OnPlayback("Z_AppendPlayback", PLAYSTATE_END, {Bmp(8, RC_INVALID_PARAMETER, kAny)},
                   FwdAt<0, 2>(Z_AppendPlayback))
            .Cleanup([](Call &c, intptr_t r) {
                if (r == RC_SUCCESS)
                    *c.bmp(2) = BitmapHandle();
                DestroyPlayback(c, r);
            }));
    Add(OnPlayback("Z_ValidatePlaybackLines", PLAYSTATE_RENDER, {Val(2), Val(5)},
                   FwdAt<0, 2, 3>(Z_ValidatePlaybackLines))
            .NoAlloc());
}

}  // namespace zvsweep
