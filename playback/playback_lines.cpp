// Playback: creation and release, the simple getters, and the calls of a
// progressive loader (append, validate rows) and of replay by index.
#include "playback/playback.h"

#include <algorithm>

namespace zv {

PlaybackRecord *PlaybackOf(PlaybackHandle h) {
    if (!h)
        return nullptr;
    void *p = GlobalLock(h);
    if (!p)
        return nullptr;
    GlobalUnlock(h);
    return static_cast<PlaybackRecord *>(p);
}

void EndLineTracking(PlaybackRecord &p) {
    K_Free(p.LineBits);
    p.LineBits = nullptr;
    p.LinesTracking = 0;
    p.LinesPending = 0;
}

}  // namespace zv

using zv::PlaybackOf;
using zv::PlaybackRecord;

extern "C" {

int __stdcall Z_CreatePlayback(PlaybackHandle *pOut, BitmapHandle *pTarget, void *hList) {
    if (!pOut || !pTarget || !(pTarget->Flags & BITMAP_ALLOCATED))
        return RC_INVALID_PARAMETER;
    *pOut = nullptr;
    HGLOBAL h = K_GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(PlaybackRecord));
    PlaybackRecord *p = PlaybackOf(h);
    if (!p) {
        K_GlobalFree(h);
        return RC_NO_MEMORY;
    }
    if (!hList) {
        const int rc = K_CreateBitmapList(&hList);
        if (rc != RC_SUCCESS) {
            K_GlobalFree(h);
            return rc;
        }
    }
    p->FrameList = hList;
    p->Target = pTarget;
    p->CurrentIndex = -1;
    *pOut = h;
    return RC_SUCCESS;
}

int __stdcall Z_DestroyPlayback(PlaybackHandle h, void **pOutList) {
    PlaybackRecord *p = PlaybackOf(h);
    if (!p)
        return RC_INVALID_PARAMETER;
    K_FreeBitmap(&p->SavedArea);
    if (pOutList)
        *pOutList = p->FrameList;
    zv::EndLineTracking(*p);
    K_GlobalFree(h);
    return RC_SUCCESS;
}

int __stdcall Z_GetPlaybackState(PlaybackHandle h, UINT *pOutState) {
    PlaybackRecord *p = PlaybackOf(h);
    if (!p || !pOutState)
        return RC_INVALID_PARAMETER;
    *pOutState = p->State;
    return RC_SUCCESS;
}

int __stdcall Z_GetPlaybackIndex(PlaybackHandle h, int *pOutIndex) {
    PlaybackRecord *p = PlaybackOf(h);
    if (!p || !pOutIndex)
        return RC_INVALID_PARAMETER;
    *pOutIndex = p->CurrentIndex;
    return RC_SUCCESS;
}

int __stdcall Z_GetPlaybackUpdateRect(PlaybackHandle h, RECT *pOutRect, int bClear) {
    PlaybackRecord *p = PlaybackOf(h);
    if (!p)
        return RC_INVALID_PARAMETER;
    if (pOutRect)
        *pOutRect = p->UpdateRect;
    if (bClear)
        p->UpdateRect = RECT{0, 0, 0, 0};
    return RC_SUCCESS;
}

int __stdcall Z_ClearPlaybackUpdateRect(PlaybackHandle h) {
    return Z_GetPlaybackUpdateRect(h, nullptr, 1);
}

int __stdcall Z_GetPlaybackDelay(PlaybackHandle h, UINT *pOutDelay) {
    PlaybackRecord *p = PlaybackOf(h);
    if (!p || !pOutDelay)
        return RC_INVALID_PARAMETER;
    *pOutDelay = 0;
    BitmapHandle frame;
    if ((p->State == PLAYSTATE_WAIT_DELAY || p->State == PLAYSTATE_WAIT_DELAY_INPUT) &&
        K_GetBitmapListItem(p->FrameList, p->CurrentIndex, &frame) == RC_SUCCESS) {
        const uint32_t elapsed = GetTickCount() - p->WaitStart;
        *pOutDelay = elapsed < frame.Delay ? frame.Delay - elapsed : 0;
    }
    return RC_SUCCESS;
}

int __stdcall Z_CancelPlaybackWait(PlaybackHandle h) {
    PlaybackRecord *p = PlaybackOf(h);
    if (!p)
        return RC_INVALID_PARAMETER;
    if (p->State >= PLAYSTATE_WAIT_INPUT && p->State <= PLAYSTATE_WAIT_DELAY_INPUT)
        p->State = PLAYSTATE_DISPOSE;
    return RC_SUCCESS;
}

int __stdcall Z_SetPlaybackIndex(PlaybackHandle h, int nIndex) {
    PlaybackRecord *p = PlaybackOf(h);
    uint32_t count = 0;
    if (!p || K_GetBitmapListCount(p->FrameList, &count) != RC_SUCCESS || nIndex < -1 ||
        int64_t(nIndex) > int64_t(count))
        return RC_INVALID_PARAMETER;
    zv::EndLineTracking(*p);
    if (p->CurrentIndex > nIndex) {
        K_FreeBitmap(&p->SavedArea);
        p->State = PLAYSTATE_START;
        p->CurrentIndex = -1;
    }
    while (p->CurrentIndex < nIndex) {
        const int rc = Z_ProcessPlayback(h, nullptr);
        if (rc != RC_SUCCESS)
            return rc;
        Z_CancelPlaybackWait(h);
    }
    return RC_SUCCESS;
}

int __stdcall Z_AppendPlayback(PlaybackHandle h, BitmapHandle *pFrame) {
    PlaybackRecord *p = PlaybackOf(h);
    if (!p || !pFrame)
        return RC_INVALID_PARAMETER;
    zv::EndLineTracking(*p);
    const uint32_t rows = uint32_t(pFrame->Height > 0 ? pFrame->Height : 0);
    p->LineBits = static_cast<uint8_t *>(K_AllocZero(rows ? rows : 1, 1));
    if (!p->LineBits)
        return RC_NO_MEMORY;
    p->LinesPending = rows;
    p->LinesTracking = 1;
    int rc = K_InsertBitmapListItem(p->FrameList, -1, pFrame);
    if (rc != RC_SUCCESS) {
        zv::EndLineTracking(*p);
        return rc;
    }
    uint32_t count = 0;
    BitmapHandle item;
    K_GetBitmapListCount(p->FrameList, &count);
    if (K_GetBitmapListItem(p->FrameList, int(count) - 1, &item) == RC_SUCCESS) {
        K_ReleaseAccess(&item);
        K_SetBitmapListItem(p->FrameList, int(count) - 1, &item);
    }
    if (p->State == PLAYSTATE_END)
        p->State = PLAYSTATE_RENDER;
    return RC_SUCCESS;
}

int __stdcall Z_ValidatePlaybackLines(PlaybackHandle h, int nRow, int nCount) {
    PlaybackRecord *p = PlaybackOf(h);
    if (!p)
        return RC_INVALID_PARAMETER;
    if (!p->LinesTracking)
        return RC_SUCCESS;
    uint32_t count = 0;
    BitmapHandle frame;
    if (K_GetBitmapListCount(p->FrameList, &count) != RC_SUCCESS ||
        K_GetBitmapListItem(p->FrameList, int(count) - 1, &frame) != RC_SUCCESS)
        return RC_SUCCESS;
    const int first = nRow > 0 ? nRow : 0;
    const int end = int(std::min<int64_t>(int64_t(nRow) + nCount, frame.Height));
    for (int row = first; row < end; ++row) {
        uint8_t &byte = p->LineBits[row / 8];
        const uint8_t bit = uint8_t(0x80u >> (row % 8));
        if (byte & bit)
            continue;
        byte |= bit;
        if (--p->LinesPending == 0) {
            zv::EndLineTracking(*p);
            return RC_SUCCESS;
        }
    }
    return RC_SUCCESS;
}

}  // extern "C"
