// Per-thread slots: thin wrappers over the system's thread-local storage.
#include "kernel/kernel_internal.h"

extern "C" {

int __stdcall K_AllocSlot(void) {
    const DWORD index = TlsAlloc();
    return index == TLS_OUT_OF_INDEXES ? -1 : static_cast<int>(index);
}

int __stdcall K_SetSlotValue(int nSlot, void *pValue) {
    if (nSlot < 0)
        return RC_INVALID_PARAMETER;
    return TlsSetValue(static_cast<DWORD>(nSlot), pValue) ? RC_SUCCESS : RC_INVALID_PARAMETER;
}

void *__stdcall K_GetSlotValue(int nSlot) {
    return nSlot < 0 ? nullptr : TlsGetValue(static_cast<DWORD>(nSlot));
}

// Gives the slot back and frees the calling thread's value, which must be
// a kernel block or null (the values other threads hold are theirs to free
// before they end).
int __stdcall K_ReleaseSlot(int nSlot) {
    if (nSlot < 0)
        return RC_INVALID_PARAMETER;
    K_Free(TlsGetValue(static_cast<DWORD>(nSlot)));
    TlsSetValue(static_cast<DWORD>(nSlot), nullptr);
    return TlsFree(static_cast<DWORD>(nSlot)) ? RC_SUCCESS : RC_INVALID_PARAMETER;
}

}  // extern "C"
