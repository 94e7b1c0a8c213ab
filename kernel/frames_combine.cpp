// Rectangle copy into a new bitmap, and the combine of a bitmap onto a
// rectangle of another (limited by the source's region).
#include "kernel/frames.h"

#include <cstring>

using namespace zv::kern;

extern "C" {

int __stdcall K_CopyBitmapRect(const BitmapHandle *pSrc, BitmapHandle *pDst, int nLeft, int nTop, int nWidth,
                               int nHeight) {
    if (!HasData(pSrc))
        return RC_NO_BITMAP;
    if (!pDst || nWidth <= 0 || nHeight <= 0)
        return RC_INVALID_PARAMETER;
    const int bits = pSrc->BitsPerPixel;
    BitmapHandle out{};
    int rc = K_CreateBitmap(&out, nWidth, nHeight, bits, pSrc->Order, pSrc->Orientation);
    if (rc != RC_SUCCESS)
        return rc;
    if (bits <= 8) {
        RGBQUAD colors[256] = {};
        const int n = std::max(0, K_GetBitmapColors(pSrc, 0, 256, colors));
        std::memcpy(out.Palette, colors, sizeof(RGBQUAD) << bits);
        out.ColorCount = std::min(n, 1 << bits);
    }
    out.LowBit = pSrc->LowBit, out.HighBit = pSrc->HighBit;
    out.MinValue = pSrc->MinValue, out.MaxValue = pSrc->MaxValue;
    const int x0 = std::max(nLeft, 0), x1 = std::min<int64_t>(int64_t(nLeft) + nWidth, pSrc->Width);
    const int y0 = std::max(nTop, 0), y1 = std::min<int64_t>(int64_t(nTop) + nHeight, pSrc->Height);
    for (int y = y0; y < y1; ++y)
        if (x0 < x1)
            CopyPixels(RowOf(*pSrc, y), x0, RowOf(out, y - nTop), x0 - nLeft, x1 - x0, bits);
    *pDst = out;
    return RC_SUCCESS;
}

int __stdcall K_CombineBitmap(BitmapHandle *pDst, int nLeft, int nTop, int nWidth, int nHeight,
                              const BitmapHandle *pSrc, int nSrcLeft, int nSrcTop, UINT uFlags) {
    if (!HasData(pDst) || !HasData(pSrc))
        return RC_NO_BITMAP;
    if ((uFlags & ~(KCOMBINE_SOURCE_RGN | KCOMBINE_COPY)) || nWidth < 0 || nHeight < 0)
        return RC_INVALID_PARAMETER;
    if (pSrc->BitsPerPixel != pDst->BitsPerPixel || !IsValidDepth(pSrc->BitsPerPixel))
        return RC_INVALID_FORMAT;
    // The rectangle is in the source's orientation; a source of the other
    // vertical row order is placed upside down.
    RECT r{nLeft, nTop, nLeft + nWidth, nTop + nHeight};
    int flip = 0;
    if (pSrc->Orientation != pDst->Orientation) {
        int degrees = 0;
        if (ExchangesAxes(pSrc->Orientation) ||
            K_GetOrientationTurn(pSrc->Orientation, pDst->Orientation, &degrees, &flip) != RC_SUCCESS || degrees != 0)
            return RC_INVALID_FORMAT;
        K_ConvertRectOrientation(pSrc->Orientation, pDst->Width, pDst->Height, pDst->Orientation, &r);
    }
    // Source rows i of the block and their destination rows.
    auto dstRow = [&](int i) { return flip ? int(r.bottom) - 1 - i : int(r.top) + i; };
    int i0 = std::max({0, -nSrcTop}), i1 = std::min<int64_t>(nHeight, int64_t(pSrc->Height) - nSrcTop);
    if (flip)
        i0 = std::max<int>(i0, int(r.bottom) - pDst->Height), i1 = std::min<int>(i1, int(r.bottom));
    else
        i0 = std::max<int>(i0, -int(r.top)), i1 = std::min<int>(i1, pDst->Height - int(r.top));
    const int j0 = std::max({0, -nSrcLeft, -int(r.left)});
    const int j1 = std::min<int64_t>({int64_t(nWidth), int64_t(pSrc->Width) - nSrcLeft, int64_t(pDst->Width) - r.left});
    if (i0 >= i1 || j0 >= j1)
        return RC_SUCCESS;
    const ZoraRgn *rgn = (uFlags & KCOMBINE_SOURCE_RGN) ? pSrc->Region : nullptr;
    const int bits = pSrc->BitsPerPixel;
    ForEachSelectedRun(rgn, nSrcLeft + j0, nSrcTop + i0, nSrcLeft + j1, nSrcTop + i1, [&](int y, int a, int b) {
        CopyPixels(RowOf(*pSrc, y), a, RowOf(*pDst, dstRow(y - nSrcTop)), int(r.left) + a - nSrcLeft, b - a, bits);
    });
    return RC_SUCCESS;
}

}  // extern "C"
