// Sweep rows: window tools (pan window, magnifying glass).
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


// The magnifying glass: a glass on the window of argument 0 over the
// bitmap of argument 1, made before the call (Prepare); the fixture's
// window takes it along when it goes.  Rows that start one stop it.
const RECT kGlassDest = Rect(0, 0, 64, 48);
const COLORREF kMasks[2] = {RGB(10, 20, 30), RGB(200, 100, 50)};
int __stdcall NoRequest(HWND, int, int, const BYTE *, int, void *) { return 0; }
int StartGlassOn(HWND w, BitmapHandle *b, UINT flags, MagGlassRequestProc request) {
    return Z_StartMagGlassExt(w, b, &kGlassDest, 30, 20, 200, RGB(255, 0, 0), nullptr, 0, 0, 1, 0, 0, nullptr, 0,
                              flags, 3, 0, 0, request, nullptr);
}
CallFn GlassBefore(UINT flags, MagGlassRequestProc request = nullptr) {
    return [=](Call &c) -> intptr_t { return StartGlassOn(c.wnd(0), c.bmp(1), flags, request); };
}
void StopGlass(Call &c, intptr_t) { Z_StopMagGlass(c.wnd(0)); }
// A manual glass does not watch its window: the call itself starts it
// (its failures are the call's), runs the export and stops the glass.
template <class Fn>
intptr_t InManualGlass(Call &c, bool show, Fn fn) {
    int rc = StartGlassOn(c.wnd(0), c.bmp(1), MAGGLASS_MANUAL, nullptr);
    if (rc == RC_SUCCESS && show && (rc = Z_SetMagGlassPos(c.wnd(0), 20, 15)) == RC_SUCCESS)
        rc = Z_ShowMagGlass(c.wnd(0), 1);
    if (rc == RC_SUCCESS)
        rc = fn();
    Z_StopMagGlass(c.wnd(0));
    return rc;
}

}  // namespace

ZV_SWEEP_ROWS(Windows) {
    Add(Row("Z_CreatePanWindow", {Wnd(), Bmp()},
            [](Call &c) -> intptr_t { return CreatePan(c, c.wnd(0), c.bmp(1)); })
            .Cleanup(DestroyPan));
    Add(Row("Z_UpdatePanWindow", {Wnd(), Bmp(24, RC_NO_BITMAP, kAny), Val(DISP_DEFAULT_MODE), Val(RGB(255, 0, 0)), OptIn(kName), In(kShown)},
            Fwd(Z_UpdatePanWindow))
            .Prepare(PanOverArg0)
            .Cleanup(DestroyPan));
    // The bitmap only carries the pan window made before the call.
    Add(Row("Z_DestroyPanWindow", {Wnd(), Bmp(24, kAny, kAny)}, Fwd(Z_DestroyPanWindow))
            .Prepare(PanOverArg0)
            .Cleanup(DestroyPan));
    // Magnifying glass.  Each row has the window first and the glass's
    // bitmap second (a bitmap argument only the glass made before uses is
    // tolerant of bad descriptors).
    const Arg glassBmp = Bmp(24, kAny, kAny);
    Add(Row("Z_WindowHasMagGlass", {Wnd(kAny), glassBmp}, Fwd(Z_WindowHasMagGlass))
            .Returns(Result::Value).NoAlloc().Prepare(GlassBefore(0)));
    Add(Row("Z_StartMagGlass", {Wnd(), Bmp(), In(kGlassDest), In(kMasks)},
            [](Call &c) -> intptr_t {
                return Z_StartMagGlass(c.wnd(0), c.bmp(1), c.p<RECT>(2), 40, 30, 250, RGB(0, 0, 255), nullptr, 0, 1,
                                       2, 0, 0, c.p<COLORREF>(3), 2, 2, 0, 1);
            })
            .Cleanup(StopGlass));
    Add(Row("Z_StartMagGlassExt", {Wnd(), Bmp(), In(kGlassDest), In(kMasks), Val(MAGGLASS_INCLUDE_COLORS)},
            [](Call &c) -> intptr_t {
                return Z_StartMagGlassExt(c.wnd(0), c.bmp(1), c.p<RECT>(2), 30, 20, 200, 0, nullptr, 0, 0, 1, 1, 0,
                                          c.p<COLORREF>(3), 2, c.u(4), 1, 0, 0, NoRequest, nullptr);
            })
            .Cleanup(StopGlass));
    Add(Row("Z_StopMagGlass", {Wnd(), glassBmp}, Fwd(Z_StopMagGlass))
            .NoAlloc().Prepare(GlassBefore(0)));
    Add(Row("Z_UpdateMagGlassRect", {Wnd(), glassBmp, In(Rect(0, 0, 128, 96))}, FwdAt<0, 2>(Z_UpdateMagGlassRect))
            .NoAlloc().Prepare(GlassBefore(0)));
    Add(Row("Z_UpdateMagGlassPaintFlags", {Wnd(), glassBmp, Val(DISP_DEFAULT_MODE)}, FwdAt<0, 2>(Z_UpdateMagGlassPaintFlags))
            .NoAlloc().Prepare(GlassBefore(0)));
    Add(Row("Z_UpdateMagGlassShape", {Wnd(), glassBmp, Enum(2, 0, 2)},
            [](Call &c) -> intptr_t {
                HRGN shape = CreateEllipticRgn(3, 4, 40, 30);
                const int rc = Z_UpdateMagGlassShape(c.wnd(0), c.u(2), shape);
                DeleteObject(shape);
                return rc;
            })
            .NoAlloc().Prepare(GlassBefore(0)));
    const INT32 options[3] = {40, 120, -30};
    Add(Row("Z_SetMagGlassPaintOptions", {Wnd(), glassBmp, In(options)}, FwdAt<0, 2>(Z_SetMagGlassPaintOptions))
            .NoAlloc().Prepare(GlassBefore(0)));
    Add(Row("Z_SetMagGlassOwnerDrawCallback", {Wnd(), glassBmp},
            [](Call &c) -> intptr_t { return Z_SetMagGlassOwnerDrawCallback(c.wnd(0), nullptr, &c); })
            .NoAlloc().Prepare(GlassBefore(0)));
    // Manual mode.  Showing and moving paint (the paint's allocations are
    // absorbed: the glass shows what it can).
    Add(Row("Z_ShowMagGlass", {Wnd(), Bmp(), Val(1)},
            [](Call &c) -> intptr_t {
                return InManualGlass(c, false, [&] { return Z_ShowMagGlass(c.wnd(0), c.i(2)); });
            }));
    Add(Row("Z_SetMagGlassPos", {Wnd(), Bmp(), Val(30), Val(22)},
            [](Call &c) -> intptr_t {
                return InManualGlass(c, true, [&] { return Z_SetMagGlassPos(c.wnd(0), c.i(2), c.i(3)); });
            }));
    // Null or unallocated drops the work bitmap: success.
    Add(Row("Z_UpdateMagGlassBitmap", {Wnd(), Bmp(), Bmp(8, RC_SUCCESS, RC_SUCCESS), Val(1)},
            [](Call &c) -> intptr_t {
                return InManualGlass(c, false, [&] {
                    int rc = Z_UpdateMagGlassBitmap(c.wnd(0), c.bmp(2), c.i(3));
                    if (rc == RC_SUCCESS && c.bmp(2) && (c.bmp(2)->Flags & BITMAP_ALLOCATED))
                        rc = Z_ShowMagGlass(c.wnd(0), 1);  // takes the work bitmap's data over
                    return rc;
                });
            }));
    struct Answer {
        COLORREF colours[64];
    } answer;
    for (int i = 0; i < 64; ++i)
        answer.colours[i] = RGB(i * 4, 255 - i * 4, i);
    const BYTE present = 0;
    Add(Row("Z_UpdateMagGlassExt", {Wnd(), glassBmp, In(answer), In(present), Val(1)},
            [](Call &c) -> intptr_t {
                return Z_UpdateMagGlassExt(c.wnd(0), c.p<COLORREF>(2), c.p<BYTE>(3), 0, 0, c.i(4));
            })
            .Prepare(GlassBefore(0, NoRequest)));
}

}  // namespace zvsweep
