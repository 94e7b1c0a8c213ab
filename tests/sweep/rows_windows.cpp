// Sweep rows: window tools (pan window).
#include "sweep/sweep.h"

namespace zvsweep {
namespace {

// Keeps the pan window's handle in Call::extra[0].
int __stdcall KeepPan(HWND hPan, HWND, UINT uCode, RECT *, void *pData) {
    auto *c = static_cast<Call *>(pData);
    if (uCode == PAN_NOTIFY_CREATED)
        c->extra[0] = reinterpret_cast<intptr_t>(hPan);
    if (uCode == PAN_NOTIFY_DESTROYED && c->extra[0] == reinterpret_cast<intptr_t>(hPan))
        c->extra[0] = 0;
    return 0;
}
const char kName[] = "ZvSweepPan";
const RECT kShown = Rect(0, 0, 120, 80);

int CreatePan(Call &c, HWND owner, BitmapHandle *bitmap) {
    return Z_CreatePanWindow(owner, bitmap, DISP_DEFAULT_MODE, 20, 20, 160, 120, kName, nullptr, nullptr, 1, KeepPan,
                             &c);
}
void DestroyPan(Call &c, intptr_t) {
    if (c.extra[0] && IsWindow(reinterpret_cast<HWND>(c.extra[0])))
        DestroyWindow(reinterpret_cast<HWND>(c.extra[0]));
    c.extra[0] = 0;
}
// Argument 0 becomes a pan window over the window it was (its owner).
intptr_t PanOverArg0(Call &c) {
    CreatePan(c, c.wnd(0), c.bmp(1));
    c.ptr[0] = reinterpret_cast<HWND>(c.extra[0]);
    return 0;
}

}  // namespace

ZV_SWEEP_ROWS(Windows) {
    Add(Row("Z_CreatePanWindow", {Wnd(), Bmp()},
            [](Call &c) -> intptr_t { return CreatePan(c, c.wnd(0), c.bmp(1)); })
            .Cleanup(DestroyPan));
    Add(Row("Z_UpdatePanWindow", {Wnd(), Bmp(24, RC_NO_BITMAP, kAny), Val(DISP_DEFAULT_MODE), Val(RGB(255, 0, 0)), OptIn(kName), In(kShown)},
            [](Call &c) -> intptr_t {
                return Z_UpdatePanWindow(c.wnd(0), c.bmp(1), c.u(2), static_cast<COLORREF>(c.val[3]),
                                         c.p<const char>(4), c.p<RECT>(5));
            })
            .Prepare(PanOverArg0)
            .Cleanup(DestroyPan));
    // The bitmap only carries the pan window made before the call.
    Add(Row("Z_DestroyPanWindow", {Wnd(), Bmp(24, kAny, kAny)}, [](Call &c) -> intptr_t { return Z_DestroyPanWindow(c.wnd(0)); })
            .Prepare(PanOverArg0)
            .Cleanup(DestroyPan));
}

}  // namespace zvsweep
