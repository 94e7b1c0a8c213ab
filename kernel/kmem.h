// Owning pointers for blocks of the kernel's allocators, so that every
// failure path releases what it allocated without a cleanup ladder.
#pragma once

#include "zvkern.h"

#include <memory>

namespace zv {

struct KernelFree {
    void operator()(void *p) const { K_Free(p); }
};

template <class T>
using KPtr = std::unique_ptr<T, KernelFree>;

// K_Alloc / K_AllocZero typed; null on failure.
template <class T>
KPtr<T> KAlloc(size_t count) {
    return KPtr<T>(static_cast<T *>(K_Alloc(count * sizeof(T))));
}

template <class T>
KPtr<T> KAllocZero(size_t count) {
    return KPtr<T>(static_cast<T *>(K_AllocZero(count, sizeof(T))));
}

}  // namespace zv
