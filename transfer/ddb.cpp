// Device-dependent bitmaps: a bitmap painted into a new DDB through the
// paint dispatcher, a DDB read back through a packed DIB, and the screen
// capture that goes through both.
#include "common/geometry.h"
#include "common/guards.h"
#include "frame/library.h"
#include "paint/painters.h"
#include "transfer/dib.h"

#include <algorithm>
#include <cstring>

namespace {

using zv::DcInUse;
using zv::GdiObject;
using zv::MemoryDc;
using zv::PaletteSelection;
using zv::Selection;

// Renders the whole bitmap into `target`, selected in `memory`, with
// library dithering and RGB colour tables (the caller's display mode is
// restored afterwards); returns the paint's status.
int PaintInto(HDC memory, HDC reference, HBITMAP target, BitmapHandle *pBitmap, int width, int height) {
    Selection selected(memory, target);
    zv::DisplayModeScope mode(zv::kColorReductionFlags, DISP_LIBRARY_DITHER);
    GdiObject<HPALETTE> palette(Z_CreatePaintPalette(reference, pBitmap));
    PaletteSelection inUse(memory, palette.get());
    const RECT dst{0, 0, width, height};
    return zv::PaintDispatch(memory, pBitmap, nullptr, nullptr, &dst, nullptr, SRCCOPY);
}

// Z_ConvertToDDB, with the paint's status in *pPaint.
HBITMAP ConvertToDdb(HDC hDC, BitmapHandle *pBitmap, int *pPaint) {
    *pPaint = RC_SUCCESS;
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED))
        return nullptr;
    DcInUse dc(hDC);
    if (!dc.get())  // GCOVR_EXCL_BR_LINE: Wine always gives the screen DC
        return nullptr;  // GCOVR_EXCL_LINE: as above
    MemoryDc memory(CreateCompatibleDC(dc.get()));
    if (!memory)
        return nullptr;
    const SIZE shown = zv::DisplayedSize(*pBitmap);
    const int width = shown.cx, height = shown.cy;
    const int gray = pBitmap->BitsPerPixel == 1 ? K_IsGrayScale(pBitmap) : 0;
    HBITMAP ddb = gray == 1 || gray == 2 ? CreateBitmap(width, height, 1, 1, nullptr)
                                         : CreateCompatibleBitmap(dc.get(), width, height);
    if (ddb)
        *pPaint = PaintInto(memory.get(), dc.get(), ddb, pBitmap, width, height);
    return ddb;
}

}  // namespace

extern "C" {

HBITMAP __stdcall Z_ConvertToDDB(HDC hDC, BitmapHandle *pBitmap) {
    int paint;  // not looked at: a DDB comes back whatever the paint gave
    return ConvertToDdb(hDC, pBitmap, &paint);
}

// The bitmap is freed only when the DDB shows it: a paint that failed
// (no memory for a strip) gives null and keeps the bitmap.
HBITMAP __stdcall Z_ChangeToDDB(HDC hDC, BitmapHandle *pBitmap) {
    int paint;
    HBITMAP ddb = ConvertToDdb(hDC, pBitmap, &paint);
    if (ddb && paint != RC_SUCCESS) {
        DeleteObject(ddb);
        ddb = nullptr;
    }
    if (ddb)
        K_FreeBitmap(pBitmap);
    return ddb;
}

int __stdcall Z_ConvertFromDDB(HDC hDC, BitmapHandle *pBitmap, HBITMAP hDDB, HPALETTE hPalette) {
    BITMAP desc{};
    if (!hDDB || GetObject(hDDB, sizeof desc, &desc) != sizeof desc)
        return RC_INVALID_PARAMETER;
    const zv::DibHeader header = zv::InitDibHeader(desc.bmWidth, desc.bmHeight, desc.bmPlanes * desc.bmBitsPixel);
    const size_t bytes = sizeof(BITMAPINFOHEADER) + zv::DibColorTableSize(&header.Header) + header.Header.biSizeImage;
    HGLOBAL block = K_GlobalAlloc(GHND, bytes);
    if (!block)
        return RC_NO_MEMORY;
    DcInUse dc(hDC);  // a DC is needed to read the bits: the screen's when none is given
    auto *info = static_cast<BITMAPINFOHEADER *>(GlobalLock(block));
    std::memcpy(info, &header, std::min(bytes, sizeof header));
    {
        PaletteSelection selected(dc.get(), hPalette);
        const int lines = GetDIBits(dc.get(), hDDB, 0, UINT(desc.bmHeight), zv::DibBitsPointer(info),
                                    reinterpret_cast<BITMAPINFO *>(info), DIB_RGB_COLORS);
        GlobalUnlock(block);
        if (lines == 0) {
            K_GlobalFree(block);
            block = nullptr;
        }
    }
    const int rc = K_ConvertFromDibHandle(pBitmap, block);
    if (rc != RC_SUCCESS)
        K_GlobalFree(block);
    return rc;
}

int __stdcall Z_ChangeFromDDB(HDC hDC, BitmapHandle *pBitmap, HBITMAP hDDB, HPALETTE hPalette) {
    const int rc = Z_ConvertFromDDB(hDC, pBitmap, hDDB, hPalette);
    if (rc == RC_SUCCESS) {
        DeleteObject(hDDB);  // not null: the conversion succeeded
        if (hPalette)
            DeleteObject(hPalette);
    }
    return rc;
}

int __stdcall Z_ScreenCaptureBitmap(HDC hDC, BitmapHandle *pBitmap, const RECT *pRect) {
    if (!pBitmap || !pRect)
        return RC_INVALID_PARAMETER;
    const int width = pRect->right - pRect->left;
    const int height = std::abs(pRect->bottom - pRect->top);
    if (width < 1 || height < 1)
        return RC_INVALID_PARAMETER;
    DcInUse dc(hDC);  // the screen when no DC is given
    HBITMAP ddb;
    {
        MemoryDc memory(dc.get() ? CreateCompatibleDC(dc.get()) : nullptr);  // GCOVR_EXCL_BR_LINE: see ConvertToDdb
        if (!memory)
            return RC_INVALID_PARAMETER;
        ddb = CreateCompatibleBitmap(dc.get(), width, height);
        if (!ddb)
            return RC_NO_MEMORY;
        Selection selected(memory.get(), ddb);
        BitBlt(memory.get(), 0, 0, width, height, dc.get(), pRect->left, pRect->top, SRCCOPY);
    }
    HPALETTE palette = K_CreateDefaultPalette();
    const int rc = Z_ChangeFromDDB(dc.get(), pBitmap, ddb, palette);
    if (rc != RC_SUCCESS) {
        DeleteObject(ddb);
        if (palette)
            DeleteObject(palette);
    }
    return rc;
}

}  // extern "C"
