// Printing: bitmaps on a printer page, through the paint dispatcher (sized,
// centred, with progress row by row) or handed to StretchDIBits at once.
//
// A job spans one page.  The first call opens the default printer (the
// profile's "windows"/"device" string: device,driver,port), starts the
// document "ZORA GRAPHIC" and the page; later calls add bitmaps on the DC
// the previous one returned; a call with endDoc ends page and document
// and deletes the DC.  Z_PrintBitmap keeps that DC in the thread's
// PrintDC between calls.
#include "common/geometry.h"
#include "common/guards.h"
#include "frame/library.h"
#include "paint/dib_info.h"
#include "paint/painters.h"

#include <cstring>
#include <optional>

namespace {

HDC OpenDefaultPrinter() {
    char device[81] = {};
    GetProfileStringA("windows", "device", "", device, sizeof device);
    char *driver = std::strchr(device, ',');
    char *port = nullptr;
    if (driver) {
        *driver++ = '\0';
        port = std::strchr(driver, ',');
        if (port)
            *port++ = '\0';
    }
    zv::MemoryDc dc(CreateDCA(driver, device, port, nullptr));
    if (!dc)
        return nullptr;
    DOCINFOA doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = "ZORA GRAPHIC";
    if (StartDocA(dc.get(), &doc) <= 0)
        return nullptr;
    StartPage(dc.get());
    return dc.release();
}

// Ends a call: on success the DC (after ending page, document and DC with
// endDoc); on failure 0, after aborting a job opened here or ending the
// caller's with endDoc.
HDC FinishJob(HDC dc, bool opened, bool ok, int endDoc) {
    if (ok && !endDoc)
        return dc;
    if (ok) {
        const bool ended = EndPage(dc) > 0;
        const bool done = EndDoc(dc) > 0;
        DeleteDC(dc);
        return ended && done ? dc : nullptr;
    }
    if (opened) {
        AbortDoc(dc);
        DeleteDC(dc);
    } else if (endDoc) {
        EndPage(dc);
        EndDoc(dc);
        DeleteDC(dc);
    }
    return nullptr;
}

// The paint palette of a bitmap, selected and realised for a scope; the
// previous palette is selected and realised again before it is deleted.
struct PrintPalette {
    PrintPalette(HDC dc, BitmapHandle *pBitmap)
        : Owned(Z_CreatePaintPalette(dc, pBitmap)), Selection(dc, Owned.get(), zv::PaletteRestore::SelectAndRealize) {}
    zv::GdiObject<HPALETTE> Owned;
    zv::PaletteSelection Selection;
};

// Where the bitmap goes on the page: automatic size keeps the aspect
// ratio, a 0 position centres, automatic sizes are clipped to the page.
RECT PlaceOnPage(HDC dc, const BitmapHandle &b, int x, int y, int width, int height) {
    const SIZE shown = zv::DisplayedSize(b);
    const int W = shown.cx, H = shown.cy;
    const RECT page{1, 1, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
    const int pageW = page.right - page.left, pageH = page.bottom - page.top;
    const bool automatic = width == 0 || height == 0;
    if (width == 0 && height == 0) {
        height = pageH;
        width = MulDiv(height, W, H);
        if (width > pageW) {
            width = pageW;
            height = MulDiv(width, H, W);
        }
    } else if (width == 0) {
        width = MulDiv(W, height, H);
    } else if (height == 0) {
        height = MulDiv(H, width, W);
    }
    RECT dst;
    dst.left = x == 0 ? page.left + (pageW - width) / 2 : x;
    dst.top = y == 0 ? page.top + (pageH - height) / 2 : y;
    dst.right = dst.left + width;
    dst.bottom = dst.top + height;
    if (automatic)
        dst = zv::Intersect(dst, page);
    return dst;
}

// At most 2 colours, not a metafile, one bit a pixel.
bool IsOneBitPrinter(HDC dc) {
    if (GetDeviceCaps(dc, TECHNOLOGY) == DT_METAFILE)
        return false;
    const int colors = GetDeviceCaps(dc, NUMCOLORS);
    return colors >= 0 && colors <= 2 &&  // GCOVR_EXCL_BR_LINE: under Wine only metafiles report 0-2 colours
           GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) == 1;  // GCOVR_EXCL_BR_LINE: as above
}

// Display mode for a printer paint: clustered ordered dithering on a
// one-bit printer, RGB colour tables and GDI's reduction elsewhere.
int PaintOnPage(HDC dc, BitmapHandle *pBitmap, const RECT &dst, const RECT *pBand) {
    const bool mono = IsOneBitPrinter(dc);
    zv::DisplayModeScope mode(mono ? zv::kOneBitDitherFlags : zv::kColorReductionFlags,  // GCOVR_EXCL_BR_LINE: as above
                              mono ? zv::kClusteredDither : 0);                          // GCOVR_EXCL_BR_LINE: as above
    return zv::PaintDispatch(dc, pBitmap, nullptr, nullptr, &dst, pBand, SRCCOPY);
}

// Paints the bitmap at its place; with a status callback row by row,
// reporting the percentage done (100 / height a row, the remainders
// carried) and stopping when the callback says so.
int PrintThroughDispatcher(HDC dc, BitmapHandle *pBitmap, int x, int y, int width, int height) {
    if (!(pBitmap->Flags & BITMAP_ALLOCATED))
        return RC_NO_BITMAP;
    PrintPalette palette(dc, pBitmap);
    const RECT dst = PlaceOnPage(dc, *pBitmap, x, y, width, height);
    void *user = nullptr;
    const KStatusCallback status = K_GetStatusCallback(&user);
    if (!status)
        return PaintOnPage(dc, pBitmap, dst, nullptr);
    int rc = status(0, user);
    const int rows = dst.bottom - dst.top;
    int percent = 0, carried = 0;
    for (int row = 0; rc == RC_SUCCESS && row < rows; ++row) {
        const RECT band{dst.left, dst.top + row, dst.right, dst.top + row + 1};
        rc = PaintOnPage(dc, pBitmap, dst, &band);
        if (rc != RC_SUCCESS)
            break;
        const int before = percent;
        percent += 100 / rows;
        carried += 100 % rows;
        if (carried >= rows) {
            carried -= rows;
            ++percent;
        }
        if (percent != before)
            rc = status(percent, user);
    }
    return rc;
}

bool NeedsGeneralPath(const BitmapHandle &b) {
    const int bits = b.BitsPerPixel;
    return (b.Flags & (BITMAP_KERNEL_0004 | BITMAP_KERNEL_0100 | BITMAP_KERNEL_8000)) || b.Order == ORDER_GRAY ||
           bits == 2 || bits == 3 || bits == 5 || bits == 6 || bits == 7 || bits == 16 || bits == 32 ||
           bits == 48 || bits == 64 || (b.Orientation != ORIENT_TOP_LEFT && b.Orientation != ORIENT_BOTTOM_LEFT);
}

// The bitmap's own rows in one StretchDIBits, as given (no automatic size).
void PrintFast(HDC dc, BitmapHandle *pBitmap, int x, int y, int width, int height) {
    const zv::KPtr<zv::PaintBitmapInfo> info = zv::KAllocZero<zv::PaintBitmapInfo>(1);
    if (!info)
        return;
    BitmapHandle &b = *pBitmap;
    std::optional<PrintPalette> palette;
    zv::DibFormat f{};
    f.width = b.Width;
    f.height = b.Height;
    f.bits = b.BitsPerPixel;
    f.imageBytes = DWORD(b.BytesPerLine) * DWORD(b.Height);
    f.source = zv::DIB_NO_TABLE;
    if (b.BitsPerPixel <= 8) {
        palette.emplace(dc, pBitmap);
        const int table = 1 << b.BitsPerPixel;
        f.count = b.ColorCount > 0 && b.ColorCount <= table ? b.ColorCount : table;
        f.source = zv::DIB_STORED_COLORS;
        f.bitmap = pBitmap;
    }
    zv::PrepareDibInfo(info.get(), f);
    // DIB rows run bottom-up: a top-down bitmap is turned over meanwhile.
    const bool flip = b.Orientation == ORIENT_TOP_LEFT;
    if (flip)
        K_FlipBitmap(pBitmap);
    {
        zv::RowAccess access(pBitmap);
        StretchDIBits(dc, x, y, width, height, 0, 0, b.Width, b.Height, b.Data,
                      reinterpret_cast<BITMAPINFO *>(info.get()), DIB_RGB_COLORS, SRCCOPY);
    }
    if (flip)
        K_FlipBitmap(pBitmap);
}

}  // namespace

extern "C" {

HDC __stdcall Z_PrintBitmapExt(HDC hDC, BitmapHandle *pBitmap, int x, int y, int width, int height, int endDoc) {
    const bool opened = !hDC;
    if (opened && !(hDC = OpenDefaultPrinter()))
        return nullptr;
    const int rc = pBitmap ? PrintThroughDispatcher(hDC, pBitmap, x, y, width, height) : RC_SUCCESS;
    return FinishJob(hDC, opened, rc == RC_SUCCESS, endDoc);
}

HDC __stdcall Z_PrintBitmapFast(HDC hDC, BitmapHandle *pBitmap, int x, int y, int width, int height, int endDoc) {
    if (pBitmap && NeedsGeneralPath(*pBitmap))
        return Z_PrintBitmapExt(hDC, pBitmap, x, y, width, height, endDoc);
    const bool opened = !hDC;
    if (opened && !(hDC = OpenDefaultPrinter()))
        return nullptr;
    if (pBitmap && (pBitmap->Flags & BITMAP_ALLOCATED) && zv::HasUsableFormat(pBitmap))
        PrintFast(hDC, pBitmap, x, y, width, height);
    return FinishJob(hDC, opened, true, endDoc);
}

HDC __stdcall Z_PrintBitmap(BitmapHandle *pBitmap, int x, int y, int width, int height, int endDoc) {
    zv::ThreadPaintSettings *settings = zv::GetPaintSettings();
    HDC dc = Z_PrintBitmapExt(settings->PrintDC, pBitmap, x, y, width, height, endDoc);
    settings->PrintDC = endDoc ? nullptr : dc;
    return dc;
}

}  // extern "C"
