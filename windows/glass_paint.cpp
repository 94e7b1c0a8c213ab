// Painting the magnifying glass.
//
// The glass is centred on the cursor (x, y).  Window pixels map to bitmap
// pixels through the destination rectangle's scale; the source rectangle
// is the bitmap area under the glass, and it is painted magnified around
// the cursor:
//
//        GlassRect (GlassWidth x GlassHeight, the part that shows)
//        +--------------+
//   +----|--------------|----+  destination: half sizes (Glass/2) x Zoom/100,
//   |    |      +(x,y)  |    |  centred on (x, y); only its middle falls
//   +----|--------------|----+  inside GlassRect
//        +--------------+
//
// With a magnified pixel of px window pixels, a source of even width puts
// a pixel edge under the cursor, an odd one a pixel centre; the alignment
// shift of px / 2 (chosen by CenterPixels and the parity) moves the image
// so that the chosen one of the two lies under the cursor.
//
// Everything is painted into an off-screen bitmap of the glass size (paint
// engine, owner draw, crosshair, border) and copied to the window clipped
// to the glass shape.  Before that the application repaints what the glass
// leaves: the old shape minus the new one.
#include "windows/glass.h"

#include "region/region.h"

#include <initializer_list>

namespace zv {

namespace {

RECT GlassRectAt(const MagGlassRecord *g, int x, int y) {
    const int left = x - g->GlassWidth / 2, top = y - g->GlassHeight / 2;
    return RECT{left, top, left + g->GlassWidth, top + g->GlassHeight};
}

// Gives the application back the area rgn: inside DestRect without
// erasing, outside with erasing.
void GiveBack(HWND w, const RECT &dest, HRGN area) {
    const GdiObject<HRGN> destRgn(CreateRectRgnIndirect(&dest));
    const GdiObject<HRGN> part(CreateRectRgn(0, 0, 0, 0));
    // GCOVR_EXCL_START: regions fail only with the process's GDI handles used up
    if (!destRgn || !part) {
        InvalidateRect(w, nullptr, TRUE);
        UpdateWindow(w);
        return;
    }
    // GCOVR_EXCL_STOP
    if (CombineRgn(part.get(), area, destRgn.get(), RGN_AND) > NULLREGION) {
        InvalidateRgn(w, part.get(), FALSE);
        UpdateWindow(w);
    }
    if (CombineRgn(part.get(), area, destRgn.get(), RGN_DIFF) > NULLREGION) {
        InvalidateRgn(w, part.get(), TRUE);
        UpdateWindow(w);
    }
}

// Painting step 2: the area the glass leaves, given back to the window.
void GiveBackLeftArea(MagGlassRecord *g, int x, int y, int prevX, int prevY, bool bRemove) {
    if (!bRemove && x == prevX && y == prevY)
        return;
    const GdiObject<HRGN> area(GlassShapeRgn(g, prevX, prevY));
    const GdiObject<HRGN> other(bRemove ? CreateRectRgnIndirect(&g->GlassRect) : GlassShapeRgn(g, x, y));
    // GCOVR_EXCL_START: regions fail only with the process's GDI handles used up
    if (!area || !other) {
        InvalidateRect(g->Window, nullptr, TRUE);
        UpdateWindow(g->Window);
        return;
    }
    // GCOVR_EXCL_STOP
    CombineRgn(area.get(), area.get(), other.get(), bRemove ? RGN_OR : RGN_DIFF);
    GiveBack(g->Window, g->DestRect, area.get());
}

// The paint of a bitmap limited to its region (pBitmap has one): the region
// as it shows when pSrc is painted into pDst becomes the clip region of the
// device context.
int PaintClippedToRegion(HDC hDC, BitmapHandle *pBitmap, const RECT &src, const RECT &dst, RECT glass) {
    const int sw = src.right - src.left, sh = src.bottom - src.top < 0 ? src.top - src.bottom : src.bottom - src.top;
    BitmapHandle part;
    int rc = K_InitBitmapHandle(&part, pBitmap, sw, sh, pBitmap->BitsPerPixel);
    if (rc != RC_SUCCESS)
        return rc;
    part.Orientation = pBitmap->Orientation;
    if ((rc = RgnCopyWithOffset(&part, pBitmap, -src.left, -src.top)) != RC_SUCCESS) {
        K_FreeBitmap(&part);
        return rc;
    }
    const bool turned = ExchangesAxes(pBitmap->Orientation);
    const int dh = dst.bottom - dst.top;
    RgnTransform t{0, dst.right - dst.left, turned ? sh : sw, dh < 0 ? -dh : dh, turned ? sw : sh,
                   dst.left, dst.top};
    HRGN made = nullptr;  // (the copy of a region, clipped, is a region, maybe empty)
    rc = RgnToGdiRegion(&part, part.Region, &t, &made);
    const GdiObject<HRGN> clip(made);
    K_FreeBitmap(&part);
    if (rc != RC_SUCCESS)
        return rc;
    const int saved = SaveDC(hDC);
    SelectClipRgn(hDC, clip.get());
    rc = Z_PaintDC(hDC, pBitmap, &src, nullptr, &dst, &glass, SRCCOPY);
    RestoreDC(hDC, saved);
    return rc;
}

void DrawLine(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

// Painting step 9: centre lines, and for styles 2 and 3 their inverted
// neighbours, each drawn once (the centre pixel is not crossed twice).
void DrawCrosshair(const MagGlassRecord *g, HDC dc) {
    if (g->Crosshair < 1 || g->Crosshair > 3 || !g->CrosshairPen)
        return;
    int w = g->GlassWidth, h = g->GlassHeight;
    RECT box;
    if (g->Shape == 2) {  // (the glass's own copy of a region: its box is there)
        GetRgnBox(g->ShapeRgn, &box);
        w = w < box.right - box.left ? w : box.right - box.left;
        h = h < box.bottom - box.top ? h : box.bottom - box.top;
    }
    const int cx = w / 2, cy = h / 2;
    const Selection pen(dc, g->CrosshairPen);
    DrawLine(dc, 0, cy, w, cy);
    DrawLine(dc, cx, 0, cx, h);
    if (g->Crosshair >= 2) {
        const int oldRop = SetROP2(dc, g->Crosshair == 2 ? R2_NOTCOPYPEN : R2_NOT);
        for (int dx : {-1, 1}) {
            DrawLine(dc, cx + dx, 0, cx + dx, cy);
            DrawLine(dc, cx + dx, cy + 1, cx + dx, h);
        }
        for (int dy : {-1, 1}) {
            DrawLine(dc, 0, cy + dy, cx, cy + dy);
            DrawLine(dc, cx + 1, cy + dy, w, cy + dy);
        }
        SetROP2(dc, oldRop);
    }
}

// Painting step 10.
void DrawBorder(const MagGlassRecord *g, HDC dc) {
    const int w = g->GlassWidth, h = g->GlassHeight;
    const Selection brush(dc, GetStockObject(NULL_BRUSH));
    const Selection pen(dc, g->BorderPen);
    if (g->Shape == 2) {
        FrameRgn(dc, g->ShapeRgn, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), 2, 2);
    } else if (g->Shape == 1) {
        Ellipse(dc, 0, 0, w - 1, h - 1);
    } else if (g->Border3D) {
        RECT r{0, 0, w, h};
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    } else {
        Rectangle(dc, 0, 0, w, h);
    }
}

// Steps 5 to 10 into the off-screen DC; step 11 copies it to the window.
void PaintOffscreen(MagGlassRecord *g, HDC dc, BitmapHandle *pSource, const RECT &src, const RECT &dst, int x,
                    int y) {
    // PaintFlags 0: the thread's own mode.
    const DisplayModeScope mode(g->PaintFlags ? kAllDisplayFlags : 0, g->PaintFlags);
    // The paint options act on a table of this paint only: the caller's
    // paint table is not touched.
    BitmapHandle local = *pSource;
    local.KernelOwned = 0;
    BYTE lut[256];
    if (g->PaintOptionsSet && local.PaintLUT) {
        CopyMemory(lut, local.PaintLUT, sizeof lut);
        local.PaintLUT = lut;
        Z_SetPaintContrast(&local, g->Contrast);
        Z_SetPaintGamma(&local, static_cast<UINT>(g->Gamma));
        Z_SetPaintIntensity(&local, g->Intensity);
    }
    const GdiObject<HPALETTE> pal(Z_CreatePaintPalette(dc, &local));
    const PaletteSelection inUse(dc, pal.get());
    RECT all{0, 0, g->GlassWidth, g->GlassHeight};
    FillRect(dc, &all, g->BackBrush);
    // Clipped to the glass: the destination is Zoom/100 times the glass.
    if (local.Region && (!g->IgnoreRegion || g->MaskColorCount > 0))
        PaintClippedToRegion(dc, &local, src, dst, all);
    else
        Z_PaintDC(dc, &local, &src, nullptr, &dst, &all, SRCCOPY);
    if (g->OwnerDrawProc)
        g->OwnerDrawProc(g->Window, dc, x, y, &g->GlassRect, g->OwnerDrawData);
    DrawCrosshair(g, dc);
    DrawBorder(g, dc);
}

}  // namespace

HRGN GlassShapeRgn(const MagGlassRecord *g, int x, int y) {
    const RECT r = GlassRectAt(g, x, y);
    if (g->Shape == 1)
        return CreateEllipticRgnIndirect(&r);
    if (g->Shape == 2) {  // (shape 2 always has its region)
        HRGN copy = CreateRectRgn(0, 0, 0, 0);
        if (copy) {  // GCOVR_EXCL_BR_LINE: GDI handles used up
            CombineRgn(copy, g->ShapeRgn, nullptr, RGN_COPY);
            OffsetRgn(copy, r.left, r.top);
        }
        return copy;
    }
    return CreateRectRgnIndirect(&r);
}

RECT GlassSourceRect(const MagGlassRecord *g, int x, int y) {
    RECT s;
    s.left = static_cast<int>(static_cast<float>(x - g->GlassWidth / 2 - g->DestRect.left) / g->ScaleX);
    s.top = static_cast<int>(static_cast<float>(y - g->GlassHeight / 2 - g->DestRect.top) / g->ScaleY);
    s.right = s.left + static_cast<int>(static_cast<float>(g->GlassWidth) / g->ScaleX);
    s.bottom = s.top + static_cast<int>(static_cast<float>(g->GlassHeight) / g->ScaleY);
    if (s.right == 0)
        s.right = 1;
    if (s.bottom == 0)
        s.bottom = 1;
    return s;
}

RECT DisplayedToStored(const BitmapHandle &b, RECT r) {
    if (b.Orientation == ORIENT_TOP_LEFT)
        return r;
    const SIZE shown = DisplayedSize(b);
    K_ConvertRectOrientation(ORIENT_TOP_LEFT, shown.cx, shown.cy, b.Orientation, &r);  // keeps left <= right
    return r;
}

// The off-screen DC of the glass's size, compatible with the window's DC
// (made again when the glass changed size); null when GDI refuses it.
static HDC Offscreen(MagGlassRecord *g, HDC wdc) {
    if (g->OffscreenDC && g->OffscreenWidth == g->GlassWidth && g->OffscreenHeight == g->GlassHeight)
        return g->OffscreenDC;
    FreeOffscreen(g);
    g->OffscreenDC = CreateCompatibleDC(wdc);
    // GCOVR_EXCL_START: GDI handles used up
    g->OffscreenBitmap = g->OffscreenDC ? CreateCompatibleBitmap(wdc, g->GlassWidth, g->GlassHeight) : nullptr;
    if (!g->OffscreenBitmap) {
        FreeOffscreen(g);
        return nullptr;
    }
    // GCOVR_EXCL_STOP
    g->OffscreenOld = SelectObject(g->OffscreenDC, g->OffscreenBitmap);
    g->OffscreenWidth = g->GlassWidth;
    g->OffscreenHeight = g->GlassHeight;
    return g->OffscreenDC;
}

void PaintGlass(MagGlassRecord *g, int x, int y, int prevX, int prevY, bool bRemove) {
    // Step 1: the source.
    BitmapHandle *source = &g->BitmapCopy;
    if (g->ManualMode && (g->WorkBitmap.Flags & BITMAP_ALLOCATED))
        source = &g->WorkBitmap;
    else if (g->RequestProc)
        source = &g->DataBitmap;
    // Step 2.
    GiveBackLeftArea(g, x, y, prevX, prevY, bRemove);
    if (bRemove)
        return;
    // Steps 3 and 4: source, destination, alignment.
    RECT src = DisplayedToStored(*source, GlassSourceRect(g, x, y));
    const int hw = static_cast<int>((g->GlassWidth / 2) * g->Zoom * 0.01);
    const int hh = static_cast<int>((g->GlassHeight / 2) * g->Zoom * 0.01);
    RECT dst{x - hw, y - hh, x + hw, y + hh};
    g->GlassRect = GlassRectAt(g, x, y);
    int sw = src.right - src.left, sh = src.bottom - src.top;
    sh = sh < 0 ? -sh : sh;
    sw = sw ? sw : 1;
    sh = sh ? sh : 1;
    const int px = (dst.right - dst.left) / sw, py = (dst.bottom - dst.top) / sh;
    const bool center = g->CenterPixels != 0;
    const int sx = ((sw % 2 == 0) == center) ? px / 2 : 0;
    const int sy = ((sh % 2 == 0) == center) ? py / 2 : 0;
    OffsetRect(&dst, -(g->GlassRect.left + sx), -(g->GlassRect.top + sy));

    const WindowDc window(g->Window);
    const HDC wdc = window.get();
    if (!wdc)    // GCOVR_EXCL_BR_LINE: the window is alive: its DC is given
        return;  // GCOVR_EXCL_LINE
    SetMapMode(wdc, MM_TEXT);
    if (HDC mem = Offscreen(g, wdc)) {  // GCOVR_EXCL_BR_LINE: null only with GDI handles used up
        PaintOffscreen(g, mem, source, src, dst, x, y);
        const GdiObject<HRGN> clip(GlassShapeRgn(g, x, y));
        SelectClipRgn(wdc, clip.get());
        BitBlt(wdc, g->GlassRect.left, g->GlassRect.top, g->GlassWidth, g->GlassHeight, mem, 0, 0, SRCCOPY);
        SelectClipRgn(wdc, nullptr);
    }
}

void FreeOffscreen(MagGlassRecord *g) {
    if (g->OffscreenDC) {
        SelectObject(g->OffscreenDC, g->OffscreenOld);
        DeleteDC(g->OffscreenDC);
    }
    if (g->OffscreenBitmap)
        DeleteObject(g->OffscreenBitmap);
    g->OffscreenDC = nullptr;
    g->OffscreenBitmap = nullptr;
    g->OffscreenOld = nullptr;
    g->OffscreenWidth = g->OffscreenHeight = 0;
}

}  // namespace zv
