// Per-thread paint settings and the display mode.
#include "frame/library.h"

#include <cstring>

namespace zv {

HINSTANCE InstanceHandle = nullptr;
int AttachCount = 0;
int SettingsSlot = -1;
UINT RegionClipboardFormat = 0;
ThreadPaintSettings FallbackSettings = {};

void WriteIdentityIndexTable(PaintBitmapInfo &info) {
    WORD *index = reinterpret_cast<WORD *>(info.bmiColors);
    for (int i = 0; i < 256; ++i)
        index[i] = static_cast<WORD>(i);
}

int CreatePaintSettings(int bNewSlot) {
    if (bNewSlot || SettingsSlot == -1) {
        SettingsSlot = K_AllocSlot();
        if (SettingsSlot == -1)
            return 0;
    }
    auto *settings = static_cast<ThreadPaintSettings *>(K_AllocZero(sizeof(ThreadPaintSettings), 1));
    if (!settings)
        return 0;  // a slot taken above stays taken
    K_SetSlotValue(SettingsSlot, settings);
    BITMAPINFOHEADER &h = settings->PaintInfo.bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = 1;
    h.biCompression = BI_RGB;
    WriteIdentityIndexTable(settings->PaintInfo);
    settings->DisplayMode = DISP_DEFAULT_MODE;
    return 1;
}

ThreadPaintSettings *GetPaintSettings() {
    if (auto *settings = static_cast<ThreadPaintSettings *>(K_GetSlotValue(SettingsSlot)))
        return settings;
    if (CreatePaintSettings(0))
        if (auto *settings = static_cast<ThreadPaintSettings *>(K_GetSlotValue(SettingsSlot)))
            return settings;
    return &FallbackSettings;
}

void FreePaintSettings(int bProcessDetach) {
    if (SettingsSlot == -1)
        return;
    if (bProcessDetach) {
        K_ReleaseSlot(SettingsSlot);
        SettingsSlot = -1;
        return;
    }
    // The slot forgets the block: a later call on this thread makes new
    // settings instead of writing into freed memory.
    K_Free(K_GetSlotValue(SettingsSlot));
    K_SetSlotValue(SettingsSlot, nullptr);
}

}  // namespace zv

extern "C" {

UINT __stdcall Z_SetDisplayMode(UINT uFlagMask, UINT uFlagValues) {
    zv::ThreadPaintSettings *settings = zv::GetPaintSettings();
    const UINT old = settings->DisplayMode;
    settings->DisplayMode = (old & ~uFlagMask) | (uFlagMask & uFlagValues);
    // A painter working without palette indices may have written RGB
    // colours over the index table; bring it back when indices return.
    if (!(old & DISP_PALETTE_INDICES) && (uFlagValues & DISP_PALETTE_INDICES))
        zv::WriteIdentityIndexTable(settings->PaintInfo);
    return old;
}

UINT __stdcall Z_GetDisplayMode(void) { return zv::GetPaintSettings()->DisplayMode; }

}  // extern "C"
