// The region-operations hook and the release of a region.
//
// The display library registers its table of region operations when it is
// first loaded and an all-null table when it is last unloaded.  The kernel
// keeps a copy of the entries, not the caller's pointer: the library's
// table lives in its own image, which is gone after it unloads.
#include "common/region_caches.h"
#include "kernel/kernel_internal.h"


namespace {

RegionServiceTable g_table{};
SRWLOCK g_tableLock = SRWLOCK_INIT;

}  // namespace

extern "C" {

void __stdcall K_SetRegionServiceTable(const RegionServiceTable *pTable) {
    AcquireSRWLockExclusive(&g_tableLock);
    g_table = pTable ? *pTable : RegionServiceTable{};
    ReleaseSRWLockExclusive(&g_tableLock);
}

const RegionServiceTable *__stdcall K_GetRegionServiceTable(void) { return &g_table; }

void __stdcall K_FreeRegion(ZoraRgn *pRgn) {
    if (!pRgn)
        return;
    zv::DeleteRgnCaches(*pRgn);
    K_Free(pRgn->RowTable);
    K_Free(pRgn->SpanStore);
    K_Free(pRgn);
}

}  // extern "C"
