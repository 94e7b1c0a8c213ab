#include "transfer/dib.h"

#include "zvkern.h"

#include <cstring>

namespace zv {

DibHeader InitDibHeader(int width, int height, int bits) {
    DibHeader d{};
    const int rounded = bits < 2 ? 1 : bits < 5 ? 4 : bits < 9 ? 8 : bits;
    BITMAPINFOHEADER &h = d.Header;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = WORD(rounded);
    h.biCompression = rounded == 16 || rounded == 32 ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = DWORD(((int64_t(width) * rounded + 31) >> 3 & ~int64_t(3)) * height);
    if (rounded == 16) {
        d.Masks[0] = 0x7C00, d.Masks[1] = 0x03E0, d.Masks[2] = 0x001F;
    } else if (rounded == 32) {
        d.Masks[0] = 0x000000FF, d.Masks[1] = 0x0000FF00, d.Masks[2] = 0x00FF0000;
    }
    return d;
}

UINT DibColorCount(const BITMAPINFOHEADER *pHeader) {
    if (pHeader->biSize == sizeof(BITMAPCOREHEADER)) {
        const WORD bits = reinterpret_cast<const BITMAPCOREHEADER *>(pHeader)->bcBitCount;
        return bits == 24 || bits >= 32 ? 0 : 1u << bits;
    }
    if (pHeader->biClrUsed)
        return pHeader->biClrUsed;
    switch (pHeader->biBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    case 16:
    case 32: return pHeader->biCompression == BI_BITFIELDS ? 3 : 0;
    default: return 0;
    }
}

UINT DibColorTableSize(const BITMAPINFOHEADER *pHeader) {
    return DibColorCount(pHeader) * (pHeader->biSize == sizeof(BITMAPCOREHEADER) ? 3 : 4);
}

BYTE *DibBitsPointer(BITMAPINFOHEADER *pHeader) {
    return reinterpret_cast<BYTE *>(pHeader) + pHeader->biSize + DibColorTableSize(pHeader);
}

int BitmapFromDibHandle(BitmapHandle *pBitmap, HGLOBAL hDib) {
    if (!hDib)
        return RC_NO_BITMAP;
    // The block may come from any program: the header is read only as far
    // as the block goes, and the bits must start inside it.
    const size_t size = GlobalSize(hDib);
    auto *header = static_cast<BITMAPINFOHEADER *>(GlobalLock(hDib));
    if (!header)
        return RC_INVALID_PARAMETER;
    int rc = RC_INVALID_FORMAT;
    if (size >= sizeof(BITMAPCOREHEADER) &&
        (header->biSize == sizeof(BITMAPCOREHEADER) || size >= sizeof(BITMAPINFOHEADER))) {
        const uint64_t offset = uint64_t(header->biSize) + uint64_t(DibColorCount(header)) *
                                                               (header->biSize == sizeof(BITMAPCOREHEADER) ? 3 : 4);
        if (offset <= size)
            rc = K_ConvertFromDib(pBitmap, header, DibBitsPointer(header), size);
    }
    GlobalUnlock(hDib);
    return rc;
}

}  // namespace zv
