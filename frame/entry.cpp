// Library entry: load, unload and the end of threads.
#include "frame/library.h"

namespace zv {

BOOL LibraryEntry(HINSTANCE hInstance, DWORD dwReason) {
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        InstanceHandle = hInstance;
        if (!CreatePaintSettings(1))
            return FALSE;
        if (AttachCount == 0) {
            RegionClipboardFormat = RegisterClipboardFormatA("ZORAVISTA 8.0 Region");
            K_SetRegionServiceTable(&RegionServices);
        }
        ++AttachCount;
        return TRUE;
    case DLL_THREAD_DETACH:
        FreePaintSettings(0);
        return TRUE;
    case DLL_PROCESS_DETACH: {
        --AttachCount;
        FreePaintSettings(1);
        if (AttachCount == 0) {
            const RegionServiceTable none = {};
            K_SetRegionServiceTable(&none);
        }
        return TRUE;
    }
    default:
        return TRUE;
    }
}

}  // namespace zv
