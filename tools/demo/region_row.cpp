// The demo's region row: selections made by colour on the colour scene and
// shown the ways the library shows them (outline, highlight, painting
// through the region), and the underlay tiled and stretched.
#include "tools/demo/region_row.h"

#include "zvdisp.h"

#include <cmath>

namespace demo {

namespace {

// The transform from the scene's pixels to a tile of the sheet.
RgnTransform ToTile(const BitmapHandle *b, const RECT &t) {
    return RgnTransform{b->Orientation, t.right - t.left, b->Width, t.bottom - t.top, b->Height, t.left, t.top};
}

// Draws inside tile t only, with the DC's state put back afterwards.
template <class Draw>
int InTile(HDC dc, const RECT &t, Draw draw) {
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, t.left, t.top, t.right, t.bottom);
    const int rc = draw();
    RestoreDC(dc, saved);
    return rc;
}

// An 8-bit gray texture of w x h from f(x, y) in 0..255.
template <class F>
bool MakeTexture(BitmapHandle *b, int w, int h, F f) {
    if (K_CreateBitmap(b, w, h, 8, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return false;
    RGBQUAD gray[256];
    for (int i = 0; i < 256; ++i)
        gray[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    K_PutBitmapColors(b, 0, 256, gray);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b->Data[size_t(y) * b->BytesPerLine + x] = BYTE(f(x, y));
    return true;
}

int PaintScene(HDC dc, BitmapHandle *b, const RECT &t) {
    return Z_PaintDC(dc, b, nullptr, nullptr, &t, nullptr, SRCCOPY);
}

}  // namespace

bool RegionTiles(BitmapHandle *scene, HDC dc, const PlaceFn &place, const CaptionFn &caption) {
    const int tw = scene->Width / 2, th = scene->Height / 2;
    BitmapHandle work{};
    if (K_CopyBitmap(&work, scene) != RC_SUCCESS)
        return false;
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));

    // The sky by the magic wand: 4-connected to a seed, within 70 levels.
    const int wand = Z_SetBitmapRgnMagicWand(&work, 40, 40, 70, RGN_MODE_SET);
    RECT t = place(tw, th);
    RgnTransform toTile = ToTile(&work, t);
    int rc = InTile(dc, t, [&] {
        const int painted = PaintScene(dc, &work, t);
        return painted == RC_SUCCESS ? Z_FrameBitmapRgn(dc, &work, &toTile, 0) : painted;
    });
    caption(t, "magic wand, seed (40, 40), 70|marching outline", wand == RC_SUCCESS ? rc : wand);

    // A detail at 3:1 where the wand stopped at the sun's halo:
    // the dashes of two steps of the march, one above the other.
    t = place(tw, th);
    const RECT detail{250, 40, 250 + tw / 3, 40 + th / 3};
    toTile = RgnTransform{0, 3, 1, 3, 1, t.left - 3 * detail.left, t.top - 3 * detail.top};
    rc = InTile(dc, t, [&] {
        const int painted = Z_PaintDC(dc, &work, &detail, nullptr, &t, nullptr, SRCCOPY);
        const int middle = (t.top + t.bottom) / 2;
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, t.left, t.top, t.right, middle);
        Z_FrameBitmapRgn(dc, &work, &toTile, 0);
        RestoreDC(dc, saved);
        IntersectClipRect(dc, t.left, middle, t.right, t.bottom);
        Z_FrameBitmapRgn(dc, &work, &toTile, 2);
        return painted;
    });
    caption(t, "detail x3 at the halo|outline steps 0 (top) and 2", rc);

    // The same region highlighted: the colour xored in through its mask.
    t = place(tw, th);
    toTile = ToTile(&work, t);
    rc = InTile(dc, t, [&] {
        const int painted = PaintScene(dc, &work, t);
        return painted == RC_SUCCESS ? Z_ColorBitmapRgn(dc, &work, &toTile, RGB(255, 128, 0)) : painted;
    });
    caption(t, "the same region|highlighted (xor 255,128,0)", rc);

    // Warm, saturated hues by an HSV box across the hue wrap, painted
    // through the region over a checkerboard.
    const int hsv = Z_SetBitmapRgnColorHSVRange(&work, 0x6060E0, 0xFFFF28, RGN_MODE_SET);
    t = place(tw, th);
    rc = InTile(dc, t, [&] {
        HBRUSH light = CreateSolidBrush(RGB(250, 250, 250)), dark = CreateSolidBrush(RGB(200, 200, 200));
        for (int y = t.top; y < t.bottom; y += 12)
            for (int x = t.left; x < t.right; x += 12) {
                const RECT square{x, y, x + 12, y + 12};
                FillRect(dc, &square, ((x - t.left) / 12 + (y - t.top) / 12) % 2 ? dark : light);
            }
        DeleteObject(light);
        DeleteObject(dark);
        return Z_PaintRgnDC(dc, &work, nullptr, nullptr, &t, nullptr, SRCCOPY);
    });
    caption(t, "HSV hue 224..40, sat. and value 96+|painted through the region", hsv == RC_SUCCESS ? rc : hsv);

    // Underlays: a small canvas weave repeated, and a ripple stretched.
    Z_FreeBitmapRgn(&work);
    BitmapHandle weave{}, ripple{};
    const bool textures =
        MakeTexture(&weave, 16, 16,
                    [](int x, int y) {
                        const bool across = ((x / 4) + (y / 4)) % 2 != 0;
                        const int thread = across ? x % 4 : y % 4;
                        return 128 + (thread == 0 ? -70 : thread == 3 ? -30 : 40);
                    }) &&
        MakeTexture(&ripple, 60, 40, [](int x, int y) {
            const double d = std::hypot(x - 30.0, y - 20.0);
            return 128 + int(90 * std::cos(d / 2.2));
        });
    t = place(tw, th);
    rc = textures ? Z_UnderlayBitmap(&work, &weave, 0) : RC_NO_MEMORY;
    if (rc == RC_SUCCESS)
        rc = PaintScene(dc, &work, t);
    caption(t, "underlay tiled|16 x 16 canvas weave", rc);

    K_FreeBitmap(&work);
    rc = K_CopyBitmap(&work, scene);
    if (rc == RC_SUCCESS)
        rc = textures ? Z_UnderlayBitmap(&work, &ripple, 1) : RC_NO_MEMORY;
    t = place(tw, th);
    if (rc == RC_SUCCESS)
        rc = PaintScene(dc, &work, t);
    caption(t, "underlay stretched|60 x 40 ripple to 480 x 320", rc);

    SetTextColor(dc, text);
    SetBkColor(dc, back);
    K_FreeBitmap(&weave);
    K_FreeBitmap(&ripple);
    K_FreeBitmap(&work);
    return true;
}

}  // namespace demo
