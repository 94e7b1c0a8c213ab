// The clipboard: a bitmap goes on it as palette, packed DIB, the region's
// mask (the registered region format) and device-dependent bitmap at
// once, and comes back from the first of DIB, device-dependent bitmap,
// enhanced metafile and metafile picture that is there, with its region
// when the region format is there too.
//
// The mask travels through the region operations of the table the
// library hands to the kernel (slots 3 and 18).  Everything read here
// may come from another program: sizes are checked before use, and the
// caller's descriptor is written only when the whole read succeeded.
#include "common/guards.h"
#include "frame/library.h"
#include "transfer/clipboard.h"
#include "transfer/dib.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

namespace {

using zv::GdiObject;
using zv::GlobalBlock;
using zv::WindowDc;

// What Z_CopyToClipboardExt prepares before it opens the clipboard; what
// is still held when it goes out of scope is released.
struct ClipObjects {
    GdiObject<HPALETTE> Palette;
    GlobalBlock Dib;
    GlobalBlock Region;
    GdiObject<HBITMAP> Ddb;
};

// Hands one object to the clipboard; once taken it is the clipboard's.
template <class H, class Release>
void HandOver(UINT format, zv::Owned<H, Release> &object) {
    if (!object || !format || !SetClipboardData(format, object.get()))
        return;  // still ours: released with the rest
    if constexpr (std::is_same_v<H, HGLOBAL>)
        K_GlobalDetach(object.get());
    object.release();
}

// An object made on the window's DC into holder: RC_INVALID_PARAMETER
// without a DC, RC_NO_MEMORY when a required one was not made.
template <class H, class Release, class Make>
int MakeOnWindowDc(HWND hWnd, zv::Owned<H, Release> &holder, bool required, Make make) {
    const WindowDc dc(hWnd);
    if (!dc.get())
        return RC_INVALID_PARAMETER;
    holder.reset(make(dc.get()));
    return holder || !required ? RC_SUCCESS : RC_NO_MEMORY;
}

int PrepareRegion(BitmapHandle *pBitmap, ClipObjects &objects) {
    if (!pBitmap->Region)
        return RC_SUCCESS;
    BitmapHandle mask{};
    const int rc = zv::RegionServices.CreateMaskFromRgn(pBitmap, &mask);
    if (rc != RC_SUCCESS)
        return rc;
    objects.Region.reset(K_ChangeToDib(&mask));
    if (!objects.Region) {
        K_FreeBitmap(&mask);
        return RC_NO_MEMORY;
    }
    return RC_SUCCESS;
}

// Pictures larger than this are refused: their extents come from other
// programs, and a white 24-bit page of them must be allocated.
constexpr int64_t kMaxPictureSide = 32768;
constexpr int64_t kMaxPicturePixels = int64_t(1) << 26;

bool PlausibleSize(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

// A white 24-bit bitmap of width x height with a kernel DC on it; play()
// draws into the DC.  The bitmap is *pOut after a successful play.
template <class Play>
bool PlayOnWhite(BitmapHandle *pOut, int64_t width, int64_t height, Play play) {
    if (!PlausibleSize(width, height))
        return false;
    BitmapHandle b{};
    if (K_CreateBitmap(&b, int(width), int(height), 24, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    K_FillBitmap(&b, 0xFFFFFF);
    HDC dc = K_CreateBitmapDC(&b);
    bool ok = dc != nullptr;
    if (ok) {
        play(dc, int(width), int(height));
        ok = K_DeleteBitmapDC(&b, dc) == RC_SUCCESS;
    }
    if (!ok) {
        K_FreeBitmap(&b);
        return false;
    }
    *pOut = b;
    return true;
}

bool FromEnhMetafile(BitmapHandle *pOut, HENHMETAFILE emf) {
    ENHMETAHEADER header{};
    if (!emf || GetEnhMetaFileHeader(emf, 100, &header) < 100)
        return false;
    const RECTL &r = header.rclBounds;
    return PlayOnWhite(pOut, int64_t(r.right) - r.left + 1, int64_t(r.bottom) - r.top + 1,
                       [emf](HDC dc, int w, int h) {
                           const RECT frame{0, 0, w - 1, h - 1};
                           PlayEnhMetaFile(dc, emf, &frame);
                       });
}

// GCOVR_EXCL_START: the platform offers CF_BITMAP alone as CF_DIB too, which comes first
bool FromDdb(HWND hWnd, BitmapHandle *pOut) {
    HBITMAP ddb = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    HPALETTE palette =
        IsClipboardFormatAvailable(CF_PALETTE) ? static_cast<HPALETTE>(GetClipboardData(CF_PALETTE)) : nullptr;
    const GdiObject<HPALETTE> own(palette ? nullptr : K_CreateDefaultPalette());
    const WindowDc dc(hWnd);
    return Z_ConvertFromDDB(dc.get(), pOut, ddb, palette ? palette : own.get()) == RC_SUCCESS;
}
// GCOVR_EXCL_STOP

bool TakePicture(HWND hWnd, BitmapHandle *pOut) {
    if (IsClipboardFormatAvailable(CF_DIB))
        return zv::BitmapFromDibHandle(pOut, GetClipboardData(CF_DIB)) == RC_SUCCESS;
    if (IsClipboardFormatAvailable(CF_BITMAP))  // GCOVR_EXCL_BR_LINE: see FromDdb
        return FromDdb(hWnd, pOut);             // GCOVR_EXCL_LINE
    if (IsClipboardFormatAvailable(CF_ENHMETAFILE))
        return FromEnhMetafile(pOut, static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE)));
    if (IsClipboardFormatAvailable(CF_METAFILEPICT))  // GCOVR_EXCL_BR_LINE: offered as CF_ENHMETAFILE too
        return zv::BitmapFromMetafilePict(pOut, GetClipboardData(CF_METAFILEPICT));  // GCOVR_EXCL_LINE
    return false;
}

// The region of the mask in the region format, when it is there; a
// failure leaves the bitmap without a region.
void TakeRegion(BitmapHandle *pBitmap) {
    if (!zv::RegionClipboardFormat || !IsClipboardFormatAvailable(zv::RegionClipboardFormat))
        return;
    BitmapHandle mask{};
    if (zv::BitmapFromDibHandle(&mask, GetClipboardData(zv::RegionClipboardFormat)) != RC_SUCCESS)
        return;
    zv::RegionServices.SetRgnFromMask(pBitmap, nullptr, &mask, RGN_MODE_SET);
    K_FreeBitmap(&mask);
}

}  // namespace

namespace zv {

bool BitmapFromMetafilePict(BitmapHandle *pOut, HGLOBAL handle) {
    if (!handle || GlobalSize(handle) < sizeof(METAFILEPICT))
        return false;
    const auto *pict = static_cast<const METAFILEPICT *>(GlobalLock(handle));
    if (!pict)         // GCOVR_EXCL_BR_LINE: a block of that size always locks
        return false;  // GCOVR_EXCL_LINE: as above
    SIZE size;
    {
        const WindowDc screen(nullptr);
        size = zv::MetafilePictSize(pict->mm, pict->xExt, pict->yExt, GetDeviceCaps(screen.get(), LOGPIXELSX),
                                    GetDeviceCaps(screen.get(), LOGPIXELSY));
    }
    const bool ok = PlayOnWhite(pOut, size.cx, size.cy, [pict](HDC dc, int w, int h) {
        if (SetMapMode(dc, pict->mm) && (pict->mm == MM_ISOTROPIC || pict->mm == MM_ANISOTROPIC)) {
            SetWindowExtEx(dc, w, h, nullptr);
            SetViewportExtEx(dc, w, h, nullptr);
        }
        PlayMetaFile(dc, pict->hMF);
    });
    GlobalUnlock(handle);
    return ok;
}

SIZE MetafilePictSize(int mm, int xExt, int yExt, int dpiX, int dpiY) {
    const int x = std::abs(xExt), y = std::abs(yExt);
    auto scaled = [&](int per) { return SIZE{MulDiv(x, dpiX, per), MulDiv(y, dpiY, per)}; };
    switch (mm) {
    case MM_TEXT: return SIZE{x, y};
    case MM_LOMETRIC: return scaled(254);
    case MM_HIMETRIC: return scaled(2540);
    case MM_LOENGLISH: return scaled(100);
    case MM_HIENGLISH: return scaled(1000);
    case MM_TWIPS: return scaled(1440);
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC: {
        const int ex = xExt ? xExt : 640, ey = yExt ? yExt : 480;
        if (ex > 0 && ey > 0)
            return SIZE{MulDiv(ex, dpiX, 1000), MulDiv(ey, dpiY, 1000)};
        return SIZE{640, MulDiv(640, std::abs(ey), std::abs(ex))};
    }
    default: return SIZE{640, 480};
    }
}

}  // namespace zv

extern "C" {

int __stdcall Z_CopyToClipboardExt(HWND hWnd, BitmapHandle *pBitmap, UINT uFlags) {
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED) || !zv::HasUsableFormat(pBitmap) ||
        (pBitmap->BitsPerPixel <= 8 && pBitmap->ColorCount > (1 << pBitmap->BitsPerPixel)))
        return RC_NO_BITMAP;  // no pixels, or fields that describe none
    ClipObjects objects;
    int rc = RC_SUCCESS;
    if ((uFlags & CLIP_PALETTE) &&
        (rc = MakeOnWindowDc(hWnd, objects.Palette, false,
                             [&](HDC dc) { return Z_CreatePaintPalette(dc, pBitmap); })) != RC_SUCCESS)
        return rc;
    if (uFlags & CLIP_DIB) {
        objects.Dib.reset(K_ConvertToDib(pBitmap));
        if (!objects.Dib)
            return RC_NO_MEMORY;
    }
    if ((uFlags & CLIP_REGION) && (rc = PrepareRegion(pBitmap, objects)) != RC_SUCCESS)
        return rc;
    if ((uFlags & CLIP_BITMAP) &&
        (rc = MakeOnWindowDc(hWnd, objects.Ddb, true, [&](HDC dc) { return Z_ConvertToDDB(dc, pBitmap); })) !=
            RC_SUCCESS)
        return rc;
    if (!OpenClipboard(hWnd))
        return RC_INVALID_PARAMETER;
    if (uFlags & CLIP_EMPTY_FIRST)
        EmptyClipboard();
    HandOver(CF_PALETTE, objects.Palette);
    HandOver(CF_DIB, objects.Dib);
    HandOver(zv::RegionClipboardFormat, objects.Region);
    HandOver(CF_BITMAP, objects.Ddb);
    CloseClipboard();
    return RC_SUCCESS;
}

int __stdcall Z_CopyToClipboard(HWND hWnd, BitmapHandle *pBitmap) {
    return Z_CopyToClipboardExt(hWnd, pBitmap, CLIP_ALL) == RC_SUCCESS ? 1 : 0;
}

int __stdcall Z_CopyFromClipboard(HWND hWnd, BitmapHandle *pBitmap) {
    if (!pBitmap || !OpenClipboard(hWnd))
        return 0;
    BitmapHandle taken{};
    const bool ok = TakePicture(hWnd, &taken);
    if (ok) {
        TakeRegion(&taken);
        *pBitmap = taken;
    }
    CloseClipboard();
    return ok ? 1 : 0;
}

int __stdcall Z_ClipboardReady(void) {
    return IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP) ||
                   IsClipboardFormatAvailable(CF_METAFILEPICT)
               ? 1
               : 0;
}

}  // extern "C"
