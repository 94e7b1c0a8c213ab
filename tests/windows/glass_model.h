// What a magnifying glass must show, built from the definition: the
// bitmap area under the glass painted by Z_PaintDC at the zoom, aligned,
// with crosshair and border drawn pixel by pixel (the ellipse and 3-D
// borders with the platform's own primitives), clipped to the shape over
// what the window shows without the glass.
#pragma once

#include "owner_window.h"

namespace zvtest {

struct GlassSetup {
    int Width = 60, Height = 40, Zoom = 200;
    int Ellipse = 0, BorderWidth = 1, Border3D = 0, Crosshair = 0, CenterPixels = 0;
    COLORREF Pen = RGB(255, 0, 0);
    HRGN Shape = nullptr;  // shape 2: the region with its box at 0, 0 (not owned)
    int Options[3] = {0, 100, 0};  // contrast, gamma, intensity
    bool HasOptions = false;
    bool OwnerDraw = false;  // the test's owner draw: a white 4 x 4 square at (2, 2)
    HCURSOR Cursor = nullptr;  // the caller's (not owned)
    // Mask colours as 0xRRGGBB hide their pixels (or, included, alone show
    // them); a region colour limits the glass to pixels of that colour.
    std::vector<UINT> Listed;
    bool Include = false;
    int RegionRgb = -1;
};

inline constexpr RECT kOwnerDrawSquare{2, 2, 6, 6};

inline RECT ModelGlassRect(const GlassSetup &s, int x, int y) {
    return RECT{x - s.Width / 2, y - s.Height / 2, x - s.Width / 2 + s.Width, y - s.Height / 2 + s.Height};
}

// The glass's own pixels (Width x Height) before the shape clip.
inline Pixels ModelGlassPixels(BitmapHandle *pBitmap, const RECT &dest, const GlassSetup &s, int x, int y) {
    const float scaleX = static_cast<float>(dest.right - dest.left) / static_cast<float>(pBitmap->Width);
    const float scaleY = static_cast<float>(dest.bottom - dest.top) / static_cast<float>(pBitmap->Height);
    RECT src;
    src.left = static_cast<int>(static_cast<float>(x - s.Width / 2 - dest.left) / scaleX);
    src.top = static_cast<int>(static_cast<float>(y - s.Height / 2 - dest.top) / scaleY);
    src.right = src.left + static_cast<int>(static_cast<float>(s.Width) / scaleX);
    src.bottom = src.top + static_cast<int>(static_cast<float>(s.Height) / scaleY);
    if (src.right == 0)
        src.right = 1;
    if (src.bottom == 0)
        src.bottom = 1;
    const int hw = static_cast<int>((s.Width / 2) * s.Zoom * 0.01), hh = static_cast<int>((s.Height / 2) * s.Zoom * 0.01);
    const int sw = src.right - src.left, sh = src.bottom - src.top;
    const int px = 2 * hw / sw, py = 2 * hh / sh;
    // Even widths put a pixel edge under the cursor; the shift puts a
    // pixel centre there when asked for, and vice versa for odd widths.
    const int sx = (sw % 2 == 0) == (s.CenterPixels != 0) ? px / 2 : 0;
    const int sy = (sh % 2 == 0) == (s.CenterPixels != 0) ? py / 2 : 0;
    const RECT glass = ModelGlassRect(s, x, y);
    RECT dst{x - hw - glass.left - sx, y - hh - glass.top - sy, x + hw - glass.left - sx, y + hh - glass.top - sy};

    Dib d(s.Width, s.Height);
    d.Fill(0);
    BitmapHandle shown = {};
    K_CopyBitmap(&shown, pBitmap);
    if (s.HasOptions) {
        Z_SetPaintContrast(&shown, s.Options[0]);
        Z_SetPaintGamma(&shown, static_cast<UINT>(s.Options[1]));
        Z_SetPaintIntensity(&shown, s.Options[2]);
    }
    Z_FreeBitmapRgn(&shown);  // regions are the mask tests' affair
    PaintWithPalette(d.dc, &shown, &src, dst);
    K_FreeBitmap(&shown);
    if (s.OwnerDraw)
        FillRect(d.dc, &kOwnerDrawSquare, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Pixels p = Read(d);
    for (UINT &v : p.Data) {
        bool listed = false;
        for (UINT c : s.Listed)
            listed = listed || v == c;
        if ((!s.Listed.empty() && listed != s.Include) || (s.RegionRgb >= 0 && v != UINT(s.RegionRgb)))
            v = 0;
    }

    // Crosshair: centre lines in the pen colour, neighbours inverted (style
    // 3) or in the inverted pen colour (style 2), each line once.
    const int W = s.Width, H = s.Height, cx = W / 2, cy = H / 2;
    const UINT pen = (GetRValue(s.Pen) << 16) | (GetGValue(s.Pen) << 8) | GetBValue(s.Pen);
    auto hline = [&](int y0, int x0, int x1, int style) {
        for (int xx = x0; xx < x1; ++xx)
            p.At(xx, y0) = style == 1 ? pen : style == 2 ? (~pen & 0xFFFFFF) : (~p.At(xx, y0) & 0xFFFFFF);
    };
    auto vline = [&](int x0, int y0, int y1, int style) {
        for (int yy = y0; yy < y1; ++yy)
            p.At(x0, yy) = style == 1 ? pen : style == 2 ? (~pen & 0xFFFFFF) : (~p.At(x0, yy) & 0xFFFFFF);
    };
    if (s.Crosshair >= 1 && s.Crosshair <= 3) {
        hline(cy, 0, W, 1);
        vline(cx, 0, H, 1);
        if (s.Crosshair >= 2) {
            for (int dx : {-1, 1}) {
                vline(cx + dx, 0, cy, s.Crosshair);
                vline(cx + dx, cy + 1, H, s.Crosshair);
            }
            for (int dy : {-1, 1}) {
                hline(cy + dy, 0, cx, s.Crosshair);
                hline(cy + dy, cx + 1, W, s.Crosshair);
            }
        }
    }
    // Border.
    if (s.Shape || s.Ellipse || s.Border3D) {
        Dib b(W, H);
        CopyMemory(b.bits, p.Data.data(), sizeof(UINT) * W * H);
        HGDIOBJ oldBrush = SelectObject(b.dc, GetStockObject(NULL_BRUSH));
        if (s.Shape) {
            FrameRgn(b.dc, s.Shape, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), 2, 2);
        } else if (s.Ellipse) {
            HPEN pe = s.BorderWidth > 0 ? CreatePen(PS_SOLID, s.BorderWidth + 1, s.Pen) : CreatePen(PS_NULL, 0, 0);
            HGDIOBJ oldPen = SelectObject(b.dc, pe);
            Ellipse(b.dc, 0, 0, W - 1, H - 1);
            SelectObject(b.dc, oldPen);
            DeleteObject(pe);
        } else {
            RECT r{0, 0, W, H};
            DrawEdge(b.dc, &r, EDGE_SUNKEN, BF_RECT);
        }
        SelectObject(b.dc, oldBrush);
        p = Read(b);
    } else if (s.BorderWidth == 1) {
        hline(0, 0, W, 1);
        hline(H - 1, 0, W, 1);
        vline(0, 0, H, 1);
        vline(W - 1, 0, H, 1);
    }
    return p;
}

// The whole client area with the glass at (x, y) over `under`.
inline Pixels ModelWindowWithGlass(const Pixels &under, BitmapHandle *pBitmap, const RECT &dest, const GlassSetup &s,
                                   int x, int y) {
    const Pixels glass = ModelGlassPixels(pBitmap, dest, s, x, y);
    const RECT g = ModelGlassRect(s, x, y);
    HRGN shape = s.Shape ? CreateRectRgn(0, 0, 0, 0) : s.Ellipse ? CreateEllipticRgnIndirect(&g) : CreateRectRgnIndirect(&g);
    if (s.Shape) {
        CombineRgn(shape, s.Shape, nullptr, RGN_COPY);
        OffsetRgn(shape, g.left, g.top);
    }
    Pixels out = under;
    for (int yy = 0; yy < s.Height; ++yy)
        for (int xx = 0; xx < s.Width; ++xx) {
            const int wx = g.left + xx, wy = g.top + yy;
            if (wx >= 0 && wy >= 0 && wx < out.Width && wy < out.Height && PtInRegion(shape, wx, wy))
                out.At(wx, wy) = glass.At(xx, yy);
        }
    DeleteObject(shape);
    return out;
}

// Number of pixels that differ, and the first one in *first.
inline int CountDifferences(const Pixels &a, const Pixels &b, POINT *first = nullptr) {
    int n = 0;
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width; ++x)
            if (a.At(x, y) != b.At(x, y)) {
                if (n++ == 0 && first)
                    *first = POINT{x, y};
            }
    return n;
}

}  // namespace zvtest
