// The status callback: per thread, read by long operations (printing) to
// report progress and to learn whether to go on.
#include "kernel/kernel_internal.h"

namespace {

struct StatusCallback {
    KStatusCallback Function;
    void *UserData;
};

thread_local StatusCallback t_status{nullptr, nullptr};

}  // namespace

extern "C" {

void __stdcall K_SetStatusCallback(KStatusCallback pfnStatus, void *pUserData) {
    t_status = StatusCallback{pfnStatus, pfnStatus ? pUserData : nullptr};
}

KStatusCallback __stdcall K_GetStatusCallback(void **ppUserData) {
    if (ppUserData)
        *ppUserData = t_status.UserData;
    return t_status.Function;
}

}  // extern "C"
