// Bitmaps to metafiles and back.  A bitmap goes into a metafile by being
// painted into a metafile DC through the paint dispatcher (one logical
// unit a displayed pixel); a metafile comes back by being played into a
// DC on a new 24-bit kernel bitmap.
#include "transfer/metafile.h"

#include "common/geometry.h"
#include "common/guards.h"
#include "frame/library.h"
#include "paint/painters.h"
#include "zvkern.h"

#include <cstdlib>

namespace zv {

bool DescribeEnhMetafile(HENHMETAFILE hEmf, MetaBitmap *pMeta, bool bWithSize) {
    ENHMETAHEADER h{};
    if (!hEmf || GetEnhMetaFileHeader(hEmf, sizeof h, &h) < offsetof(ENHMETAHEADER, cbPixelFormat))
        return false;
    const LONG mmX = h.szlMillimeters.cx, mmY = h.szlMillimeters.cy;
    if (bWithSize) {
        pMeta->PixelWidth = mmX ? MulDiv(h.rclFrame.right - h.rclFrame.left, h.szlDevice.cx, mmX * 100) : 0;
        pMeta->PixelHeight = mmY ? MulDiv(abs(int(h.rclFrame.bottom - h.rclFrame.top)), h.szlDevice.cy, mmY * 100) : 0;
    }
    pMeta->ResolutionX = mmX ? int(h.szlDevice.cx * 25.4 / mmX) : 0;
    pMeta->ResolutionY = mmY ? int(h.szlDevice.cy * 25.4 / mmY) : 0;
    return true;
}

int PlayWmfInto(HDC hDC, const MetaBitmap &meta, int x, int y, int w, int h) {
    const int saved = SaveDC(hDC);
    SetMapMode(hDC, MM_ANISOTROPIC);
    SetWindowOrgEx(hDC, meta.WindowOrgX, meta.WindowOrgY, nullptr);
    SetWindowExtEx(hDC, meta.WindowExtX, meta.WindowExtY, nullptr);
    SetViewportOrgEx(hDC, x, y, nullptr);
    SetViewportExtEx(hDC, w, h, nullptr);
    const int played = PlayMetaFile(hDC, static_cast<HMETAFILE>(meta.Handle));
    if (saved)
        RestoreDC(hDC, saved);
    return played;
}

void DeleteAnyMetafile(HANDLE hMetafile, bool bEnhanced) {
    if (bEnhanced)
        DeleteEnhMetaFile(static_cast<HENHMETAFILE>(hMetafile));
    else
        DeleteMetaFile(static_cast<HMETAFILE>(hMetafile));
}

namespace {

// The metafile DC of a conversion: an EMF framed to the picture's size
// on the screen (0.01 mm), or a WMF; both in memory.
HDC CreateMetafileDC(int width, int height, bool enhanced) {
    if (!enhanced)
        return CreateMetaFileA(nullptr);
    RECT frame;
    {
        const WindowDc screenDc(nullptr);
        const HDC screen = screenDc.get();
        if (!screen)
            return nullptr;
        frame = RECT{0, 0, MulDiv(width, GetDeviceCaps(screen, HORZSIZE) * 100, GetDeviceCaps(screen, HORZRES)),
                     MulDiv(height, GetDeviceCaps(screen, VERTSIZE) * 100, GetDeviceCaps(screen, VERTRES))};
    }
    return CreateEnhMetaFileA(nullptr, nullptr, &frame, MetafileDescription);
}

HANDLE CloseMetafileDC(HDC dc, bool enhanced) {
    return enhanced ? static_cast<HANDLE>(CloseEnhMetaFile(dc)) : static_cast<HANDLE>(CloseMetaFile(dc));
}

// Paints the bitmap into the metafile DC at one logical unit a pixel,
// with the library's colour reduction and RGB colour tables (palette
// indices do not survive a metafile), under the paint palette when the
// device needs one.
int PaintIntoMetafile(HDC dc, BitmapHandle *b, int width, int height, bool enhanced) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, width, height, nullptr);
    if (enhanced) {
        SetViewportOrgEx(dc, 0, 0, nullptr);
        SetViewportExtEx(dc, width, height, nullptr);
    }
    DisplayModeScope mode(kColorReductionFlags, DISP_LIBRARY_DITHER);
    const GdiObject<HPALETTE> palette(Z_CreatePaintPalette(dc, b));
    // The palette's selection is undone by RestoreDC: the metafile records
    // the pair, not a second SelectPalette.
    int saved = 0;
    if (palette) {
        saved = SaveDC(dc);
        SelectPalette(dc, palette.get(), FALSE);
        RealizePalette(dc);
    }
    const RECT dst{0, 0, width, height};
    const int rc = PaintDispatch(dc, b, nullptr, nullptr, &dst, nullptr, SRCCOPY);
    if (saved)
        RestoreDC(dc, saved);
    return rc;
}

HANDLE ConvertToMetafile(BitmapHandle *b, int bEnhanced) {
    if (!b || !(b->Flags & BITMAP_ALLOCATED))
        return nullptr;
    const bool enhanced = bEnhanced != 0;
    const SIZE shown = DisplayedSize(*b);
    const int width = shown.cx, height = shown.cy;
    const HDC dc = CreateMetafileDC(width, height, enhanced);
    if (!dc)
        return nullptr;
    const int rc = PaintIntoMetafile(dc, b, width, height, enhanced);
    const HANDLE h = CloseMetafileDC(dc, enhanced);
    if (rc != RC_SUCCESS && h) {
        DeleteAnyMetafile(h, enhanced);
        return nullptr;
    }
    return h;
}

HANDLE ChangeToMetafile(BitmapHandle *b, int bEnhanced) {
    const HANDLE h = ConvertToMetafile(b, bEnhanced);
    if (h)
        K_FreeBitmap(b);
    return h;
}

// The requested size: 0 by 0 the natural size, one 0 from the other by
// the natural aspect ratio.
void SettleSize(const MetaBitmap &m, int *w, int *h) {
    const int nw = m.PixelWidth ? m.PixelWidth : m.WindowExtX;
    const int nh = m.PixelHeight ? m.PixelHeight : m.WindowExtY;
    if (!*w && !*h) {
        *w = nw;
        *h = nh;
    } else if (!*w) {
        *w = MulDiv(*h, nw, nh);
    } else if (!*h) {
        *h = MulDiv(*w, nh, nw);
    }
}

int ConvertFromMetafile(BitmapHandle *pBitmap, HANDLE hMetafile, int w, int h, bool change) {
    if (!pBitmap)
        return RC_INVALID_PARAMETER;
    MetaBitmap info{};
    int rc = Z_GetMetafileInfo(hMetafile, &info);
    if (rc != RC_SUCCESS)
        return rc;
    SettleSize(info, &w, &h);
    BitmapHandle b{};
    rc = K_CreateBitmap(&b, w, h, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    if (rc != RC_SUCCESS)
        return rc;
    const HDC dc = K_CreateBitmapDC(&b);
    if (!dc) {
        K_FreeBitmap(&b);
        return RC_NO_MEMORY;
    }
    if (info.IsEnhanced) {
        const RECT r{0, 0, w, h};
        PlayEnhMetaFile(dc, static_cast<HENHMETAFILE>(hMetafile), &r);
    } else {
        PlayWmfInto(dc, info, 0, 0, w, h);
    }
    rc = K_DeleteBitmapDC(&b, dc);
    if (rc != RC_SUCCESS) {
        K_FreeBitmap(&b);
        return rc;
    }
    if (change)
        DeleteAnyMetafile(hMetafile, info.IsEnhanced != 0);
    *pBitmap = b;
    return RC_SUCCESS;
}

}  // namespace

}  // namespace zv

extern "C" {

HANDLE __stdcall Z_ConvertToMetafile(BitmapHandle *pBitmap, int bEnhanced) {
    return zv::ConvertToMetafile(pBitmap, bEnhanced);
}
HANDLE __stdcall Z_ChangeToMetafile(BitmapHandle *pBitmap, int bEnhanced) {
    return zv::ChangeToMetafile(pBitmap, bEnhanced);
}
HANDLE __stdcall Z_ConvertToWMF(BitmapHandle *pBitmap) { return zv::ConvertToMetafile(pBitmap, 0); }
HANDLE __stdcall Z_ConvertToEMF(BitmapHandle *pBitmap) { return zv::ConvertToMetafile(pBitmap, 1); }
HANDLE __stdcall Z_ChangeToWMF(BitmapHandle *pBitmap) { return zv::ChangeToMetafile(pBitmap, 0); }
HANDLE __stdcall Z_ChangeToEMF(BitmapHandle *pBitmap) { return zv::ChangeToMetafile(pBitmap, 1); }

int __stdcall Z_ConvertFromMetafile(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight) {
    return zv::ConvertFromMetafile(pBitmap, hMetafile, nWidth, nHeight, false);
}
int __stdcall Z_ChangeFromMetafile(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight) {
    return zv::ConvertFromMetafile(pBitmap, hMetafile, nWidth, nHeight, true);
}
int __stdcall Z_ConvertFromWMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight) {
    return zv::ConvertFromMetafile(pBitmap, hMetafile, nWidth, nHeight, false);
}
int __stdcall Z_ConvertFromEMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight) {
    return zv::ConvertFromMetafile(pBitmap, hMetafile, nWidth, nHeight, false);
}
int __stdcall Z_ChangeFromWMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight) {
    return zv::ConvertFromMetafile(pBitmap, hMetafile, nWidth, nHeight, true);
}
int __stdcall Z_ChangeFromEMF(BitmapHandle *pBitmap, HANDLE hMetafile, int nWidth, int nHeight) {
    return zv::ConvertFromMetafile(pBitmap, hMetafile, nWidth, nHeight, true);
}

int __stdcall Z_GetMetafileInfo(HANDLE hMetafile, MetaBitmap *pInfo) {
    if (!pInfo)
        return RC_INVALID_PARAMETER;
    *pInfo = MetaBitmap{};
    if (zv::DescribeEnhMetafile(static_cast<HENHMETAFILE>(hMetafile), pInfo, true)) {
        pInfo->Handle = hMetafile;
        pInfo->IsEnhanced = 1;
        return RC_SUCCESS;
    }
    const UINT size = hMetafile ? GetMetaFileBitsEx(static_cast<HMETAFILE>(hMetafile), 0, nullptr) : 0;
    if (!size)
        return RC_INVALID_PARAMETER;
    void *bits = K_Alloc(size);
    if (!bits)
        return RC_NO_MEMORY;
    int rc = GetMetaFileBitsEx(static_cast<HMETAFILE>(hMetafile), size, bits) == size
                 ? Z_ParseMetaBits(bits, size, pInfo, 0)
                 : RC_INVALID_PARAMETER;
    K_Free(bits);
    pInfo->Handle = hMetafile;
    return rc;
}

}  // extern "C"
