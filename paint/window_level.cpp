// Window level: significant bits and the bitmap's own colour table for
// gray data deeper than 8 bits, and the two table fillers.
#include "paint/window_level.h"

#include "zvdisp.h"
#include "zvkern.h"

#include <cstdint>

namespace {

void SetRgb(RGBQUAD &q, COLORREF c) {
    q.rgbRed = GetRValue(c);
    q.rgbGreen = GetGValue(c);
    q.rgbBlue = GetBValue(c);
}

void SetColor(RGBQUAD &q, COLORREF c) {
    SetRgb(q, c);
    q.rgbReserved = 0;
}

// Entries s..e from `first` to `second`: entry s takes first's colour and
// keeps its fourth byte; entry s + k gets first + k x d / n per channel
// (signed, truncating), so entry e is exactly `second`.
void Ramp(RGBQUAD *t, uint32_t s, uint32_t e, COLORREF first, COLORREF second) {
    SetRgb(t[s], first);
    if (e <= s)
        return;
    const int64_t n = static_cast<int64_t>(e) - s;
    const int r0 = GetRValue(first), g0 = GetGValue(first), b0 = GetBValue(first);
    const int dr = GetRValue(second) - r0, dg = GetGValue(second) - g0, db = GetBValue(second) - b0;
    for (int64_t k = 1; k <= n; ++k) {
        RGBQUAD &q = t[s + k];
        q.rgbRed = static_cast<BYTE>(r0 + k * dr / n);
        q.rgbGreen = static_cast<BYTE>(g0 + k * dg / n);
        q.rgbBlue = static_cast<BYTE>(b0 + k * db / n);
        q.rgbReserved = 0;
    }
}

void Fill(RGBQUAD *t, uint32_t from, uint32_t to /* exclusive */, COLORREF c) {
    for (uint32_t i = from; i < to; ++i)
        SetColor(t[i], c);
}

uint32_t ShiftDown(uint32_t v, uint32_t bits) { return bits >= 32 ? 0 : v >> bits; }

// Checks and window shared by both fillers.  A table too short for the
// end index is refused: the fillers write every entry up to it.
int Window(const RGBQUAD *t, uint32_t len, uint32_t low, uint32_t high, uint32_t lowBit, uint32_t highBit,
           uint32_t minValue, uint32_t maxValue, uint32_t *s, uint32_t *e) {
    if (!t)
        return RC_INVALID_PARAMETER;
    if (lowBit > highBit || minValue > maxValue || low > high)
        return RC_INVALID_PARAMETER;
    low = low < minValue ? minValue : low > maxValue ? maxValue : low;
    high = high < minValue ? minValue : high > maxValue ? maxValue : high;
    *s = ShiftDown(low, lowBit);
    *e = ShiftDown(high, lowBit);
    return *e < len ? RC_SUCCESS : RC_INVALID_PARAMETER;
}

}  // namespace

extern "C" {

int __stdcall Z_WindowLevel(BitmapHandle *pBitmap, int nLowBit, int nHighBit, const RGBQUAD *pTable,
                            UINT uTableLength, int bApply) {
    if (!pBitmap)
        return RC_NO_BITMAP;
    const int low = nLowBit < 0 ? 0 : nLowBit;
    const int high = nHighBit < 0 ? pBitmap->BitsPerPixel - 1 : nHighBit;
    if (low > high || (uTableLength && !pTable) || (bApply != 0 && bApply != 1))
        return RC_INVALID_PARAMETER;
    pBitmap->LowBit = low;
    pBitmap->HighBit = high;
    if (bApply) {
        const bool changed = pBitmap->WindowLowBit != low || pBitmap->WindowHighBit != high;
        pBitmap->WindowLowBit = low;
        pBitmap->WindowHighBit = high;
        if (changed) {
            pBitmap->MinValue = 0;
            const int bits = high - low + 1;
            pBitmap->MaxValue = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        }
    }
    if (pBitmap->WindowLUT && pBitmap->WindowLUT != pTable) {
        K_Free(pBitmap->WindowLUT);
        pBitmap->WindowLUT = nullptr;
        pBitmap->WindowLUTLength = 0;
    }
    int rc = RC_SUCCESS;
    if (pTable) {
        if (pTable != pBitmap->WindowLUT) {
            auto *copy = static_cast<RGBQUAD *>(K_Alloc(static_cast<size_t>(uTableLength) * sizeof(RGBQUAD)));
            if (!copy)
                return RC_NO_MEMORY;
            for (UINT i = 0; i < uTableLength; ++i)
                copy[i] = pTable[i];
            pBitmap->WindowLUT = copy;
        }
        pBitmap->WindowLUTLength = uTableLength;
    } else {
        pBitmap->WindowLUT = nullptr;
        pBitmap->WindowLUTLength = 0;
    }
    pBitmap->Flags &= ~BITMAP_WINDOW_LEVEL;
    if (bApply)
        pBitmap->Flags |= BITMAP_WINDOW_LEVEL;
    return rc;
}

int __stdcall Z_WindowLevelFillLUT(RGBQUAD *pTable, UINT uTableLength, COLORREF crStart, COLORREF crEnd, UINT uLow,
                                   UINT uHigh, UINT uLowBit, UINT uHighBit, UINT uMinValue, UINT uMaxValue,
                                   int bRampColors) {
    uint32_t s, e;
    const int rc = Window(pTable, uTableLength, uLow, uHigh, uLowBit, uHighBit, uMinValue, uMaxValue, &s, &e);
    if (rc != RC_SUCCESS)
        return rc;
    if (bRampColors) {
        Fill(pTable, 0, s, RGB(0, 0, 0));
        Ramp(pTable, s, e, crStart, crEnd);
        Fill(pTable, e + 1, uTableLength, RGB(255, 255, 255));
    } else {
        Fill(pTable, 0, s + 1, crStart);
        if (s + 1 < e)
            Ramp(pTable, s + 1, e - 1, RGB(0, 0, 0), RGB(255, 255, 255));
        Fill(pTable, e, uTableLength, crEnd);
    }
    return RC_SUCCESS;
}

int __stdcall Z_WindowLevelFillLUT2(RGBQUAD *pTable, UINT uTableLength, COLORREF crStart, COLORREF crEnd, UINT uLow,
                                    UINT uHigh, UINT uLowBit, UINT uHighBit, UINT uMinValue, UINT uMaxValue,
                                    int bRampColors, int nReserved) {
    (void)nReserved;
    uint32_t s, e;
    const int rc = Window(pTable, uTableLength, uLow, uHigh, uLowBit, uHighBit, uMinValue, uMaxValue, &s, &e);
    if (rc != RC_SUCCESS)
        return rc;
    if (!bRampColors)
        Fill(pTable, 0, s, crStart);
    Ramp(pTable, s, e, crStart, crEnd);
    if (!bRampColors)
        Fill(pTable, e + 1, uTableLength, crEnd);
    return RC_SUCCESS;
}

}  // extern "C"
