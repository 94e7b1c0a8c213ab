// The library as an application loads it.
#pragma once

#include "support.h"

namespace zvtest {

// zvdisp.dll loaded for a scope (unloaded at its end), and the exports the
// tests use taken from it by their plain names (null when missing).
struct Api {
    HMODULE module = LoadLibraryA("zvdisp.dll");
#define ZV_API(name) decltype(&::name) name = Get<decltype(&::name)>(#name)
    template <class Fn>
    Fn Get(const char *name) const {
        return module ? reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name))) : nullptr;
    }
    ZV_API(Z_SetDisplayMode);
    ZV_API(Z_GetDisplayMode);
    ZV_API(Z_PaintDC);
    ZV_API(Z_CreatePaintPalette);
    ZV_API(Z_SetBitmapRgnEllipse);
    ZV_API(Z_SetBitmapRgnRect);
    ZV_API(Z_SetBitmapRgnPolygon);
    ZV_API(Z_OffsetBitmapRgn);
    ZV_API(Z_GetBitmapRgnArea);
    ZV_API(Z_GetBitmapRgnBounds);
    ZV_API(Z_FreeBitmapRgn);
    ZV_API(Z_CreatePlayback);
    ZV_API(Z_ProcessPlayback);
    ZV_API(Z_CancelPlaybackWait);
    ZV_API(Z_DestroyPlayback);
    ZV_API(Z_StartMagGlass);
    ZV_API(Z_StopMagGlass);
#undef ZV_API
    ~Api() {
        if (module)
            FreeLibrary(module);
    }
};

}  // namespace zvtest
