// Bitmap lists: an ordered array of descriptors that owns its bitmaps'
// data (the frames of an animation).
#include "kernel/kernel_internal.h"

#include <cstring>

using namespace zv::kern;

namespace {

struct BitmapList {
    uint32_t Count;
    uint32_t Capacity;
    BitmapHandle *Items;
};

BitmapList *ListOf(void *h) { return static_cast<BitmapList *>(h); }

bool InRange(const BitmapList *l, int i) { return i >= 0 && uint32_t(i) < l->Count; }

}  // namespace

extern "C" {

int __stdcall K_CreateBitmapList(void **phList) {
    if (!phList)
        return RC_INVALID_PARAMETER;
    auto *l = static_cast<BitmapList *>(K_AllocZero(1, sizeof(BitmapList)));
    if (!l)
        return RC_NO_MEMORY;
    *phList = l;
    return RC_SUCCESS;
}

int __stdcall K_InsertBitmapListItem(void *hList, int nIndex, BitmapHandle *pBitmap) {
    BitmapList *l = ListOf(hList);
    if (!l || !pBitmap || nIndex < -1 || (nIndex >= 0 && uint32_t(nIndex) > l->Count))
        return RC_INVALID_PARAMETER;
    if ((pBitmap->Flags & BITMAP_ALLOCATED) && !HasData(pBitmap))
        return RC_NO_BITMAP;  // claims pixels it cannot describe: the list would free what it cannot know
    if (l->Count == l->Capacity) {
        const uint32_t capacity = l->Capacity ? 2 * l->Capacity : 8;
        void *items = K_Realloc(l->Items, sizeof(BitmapHandle) * capacity);
        if (!items)
            return RC_NO_MEMORY;
        l->Items = static_cast<BitmapHandle *>(items);
        l->Capacity = capacity;
    }
    const uint32_t at = nIndex < 0 ? l->Count : uint32_t(nIndex);
    std::memmove(l->Items + at + 1, l->Items + at, sizeof(BitmapHandle) * (l->Count - at));
    l->Items[at] = *pBitmap;
    ++l->Count;
    return RC_SUCCESS;
}

int __stdcall K_GetBitmapListCount(void *hList, uint32_t *pCount) {
    if (!hList || !pCount)
        return RC_INVALID_PARAMETER;
    *pCount = ListOf(hList)->Count;
    return RC_SUCCESS;
}

int __stdcall K_GetBitmapListItem(void *hList, int nIndex, BitmapHandle *pOut) {
    if (!hList || !pOut || !InRange(ListOf(hList), nIndex))
        return RC_INVALID_PARAMETER;
    *pOut = ListOf(hList)->Items[nIndex];
    return RC_SUCCESS;
}

int __stdcall K_SetBitmapListItem(void *hList, int nIndex, const BitmapHandle *pBitmap) {
    if (!hList || !pBitmap || !InRange(ListOf(hList), nIndex))
        return RC_INVALID_PARAMETER;
    ListOf(hList)->Items[nIndex] = *pBitmap;
    return RC_SUCCESS;
}

int __stdcall K_DestroyBitmapList(void *hList) {
    BitmapList *l = ListOf(hList);
    if (!l)
        return RC_INVALID_PARAMETER;
    for (uint32_t i = 0; i < l->Count; ++i)
        K_FreeBitmap(&l->Items[i]);
    K_Free(l->Items);
    K_Free(l);
    return RC_SUCCESS;
}

}  // extern "C"
