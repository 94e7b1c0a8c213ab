// On-demand data and manual mode of the magnifying glass.
//
// The displayed image is cut into 8 x 8 pixel blocks; BlockBits has one
// bit per block (1 = its data is here), least significant bit first.
// On-demand: before a mouse event paints, the blocks under the glass are
// checked; when one is missing the event is logged and the application is
// asked for the blocks; each answer writes them into DataBitmap (each
// point turned into the bitmap's stored pixels) and replays one logged
// event.  Manual mode: the application shows and moves the glass; a
// replacement bitmap is taken over into the glass's bitmap block by block
// as the glass comes over it.
#include "windows/glass.h"

#include <cstring>

namespace zv {

namespace {

constexpr UINT kDown = WM_LBUTTONDOWN, kMove = WM_MOUSEMOVE, kUp = WM_LBUTTONUP;
constexpr int kBlock = 8;

// Block columns and rows, both ends included; empty when left > right
// (rows come in order: from BlocksOf, or first <= last of an answer).
struct BlockRect {
    int left = 0, top = 0, right = -1, bottom = -1;
    bool Empty() const { return left > right; }
    int Count() const { return Empty() ? 0 : (right - left + 1) * (bottom - top + 1); }
};

int FloorDiv8(int v) { return int(FloorDiv(v, kBlock)); }
int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

bool BitSet(const BYTE *bits, int n) { return (bits[n / 8] >> (n % 8)) & 1; }
void SetBit(BYTE *bits, int n) { bits[n / 8] = static_cast<BYTE>(bits[n / 8] | (1 << (n % 8))); }

BlockRect BlocksOf(const MagGlassRecord *g, const RECT &src) {
    BlockRect b;
    const SIZE shown = DisplayedSize(g->BitmapCopy);
    if (src.right <= 0 || src.left >= shown.cx || src.bottom <= 0 || src.top >= shown.cy)
        return b;
    b.left = Clamp(FloorDiv8(src.left), 0, g->BlocksAcross - 1);
    b.right = Clamp(FloorDiv8(src.right), 0, g->BlocksAcross - 1);
    b.top = Clamp(FloorDiv8(src.top), 0, g->BlocksDown - 1);
    b.bottom = Clamp(FloorDiv8(src.bottom), 0, g->BlocksDown - 1);
    return b;
}

// Pixel rectangle of a block rectangle, cut at the image's edges.
RECT PixelsOf(const MagGlassRecord *g, const BlockRect &b) {
    const SIZE shown = DisplayedSize(g->BitmapCopy);
    RECT r{b.left * kBlock, b.top * kBlock, (b.right + 1) * kBlock, (b.bottom + 1) * kBlock};
    r.right = r.right < shown.cx ? r.right : shown.cx;
    r.bottom = r.bottom < shown.cy ? r.bottom : shown.cy;
    return r;
}

// Writes block (column c, row r) of the displayed image from `colors`
// (COLORREF, rows top down) into pBitmap; returns the number of colours
// consumed.
int WriteBlock(const MagGlassRecord *g, BitmapHandle *pBitmap, int c, int r, const COLORREF *colors) {
    const RECT block = PixelsOf(g, BlockRect{c, r, c, r});
    int n = 0;
    for (int y = block.top; y < block.bottom; ++y)
        for (int x = block.left; x < block.right; ++x) {
            const RECT at = DisplayedToStored(*pBitmap, RECT{x, y, x + 1, y + 1});
            K_SetPixelColor(pBitmap, at.top, at.left, colors[n++]);
        }
    return n;
}

// Copies the rectangle r of the displayed image from pSrc into the
// glass's bitmap (the kernel moves it into rows of another row order).
int CopyIntoGlassBitmap(MagGlassRecord *g, const BitmapHandle *pSrc, const RECT &shown) {
    const RECT r = DisplayedToStored(*pSrc, shown);
    return K_CombineBitmap(&g->BitmapCopy, r.left, r.top, r.right - r.left, r.bottom - r.top, pSrc, r.left, r.top,
                           KCOMBINE_COPY);
}

// Manual mode: takes the work bitmap's data under the glass at
// (ManualX, ManualY) over into the glass's bitmap, once per block.
int TakeOverWorkData(MagGlassRecord *g) {
    if (!(g->WorkBitmap.Flags & BITMAP_ALLOCATED) || !g->WorkDirty)
        return RC_SUCCESS;
    RECT src = GlassSourceRect(g, g->ManualX, g->ManualY);
    const SIZE shown = DisplayedSize(g->BitmapCopy);
    const RECT whole{0, 0, shown.cx, shown.cy};
    if (!IntersectRect(&src, &src, &whole))
        return RC_SUCCESS;
    const BlockRect b = BlocksOf(g, src);
    bool anyClear = false;
    for (int r = b.top; r <= b.bottom; ++r)
        for (int c = b.left; c <= b.right; ++c)
            anyClear = anyClear || !BitSet(g->BlockBits, r * g->BlocksAcross + c);
    if (!anyClear)
        return RC_SUCCESS;
    const int rc = CopyIntoGlassBitmap(g, &g->WorkBitmap, src);
    if (rc != RC_SUCCESS)
        return rc;
    // Blocks wholly under the source are done; partly covered ones not.
    for (int r = b.top; r <= b.bottom; ++r)
        for (int c = b.left; c <= b.right; ++c) {
            RECT block = PixelsOf(g, BlockRect{c, r, c, r}), inside;
            IntersectRect(&inside, &block, &src);
            if (EqualRect(&inside, &block))
                SetBit(g->BlockBits, r * g->BlocksAcross + c);
        }
    return RC_SUCCESS;
}

MagGlassRecord *ManualGlass(HWND hWnd) {
    MagGlassRecord *g = FindGlass(hWnd);
    return g && g->ManualMode ? g : nullptr;
}

int Wrap(int i) { return ((i % kGlassEvents) + kGlassEvents) % kGlassEvents; }

}  // namespace

int StartGlassData(MagGlassRecord *g, const BitmapHandle *pBitmap) {
    const SIZE shown = DisplayedSize(*pBitmap);
    g->BlocksAcross = (shown.cx + 7) / 8;
    g->BlocksDown = (shown.cy + 7) / 8;
    g->BlockCount = g->BlocksAcross * g->BlocksDown;
    g->BlockBits = static_cast<BYTE *>(K_AllocZero((g->BlockCount + 7) / 8, 1));
    if (!g->BlockBits)
        return RC_NO_MEMORY;
    if (!g->RequestProc)
        return RC_SUCCESS;
    g->EventCodes = static_cast<UINT *>(K_AllocZero(kGlassEvents, sizeof(UINT)));
    g->EventPoints = static_cast<POINT *>(K_AllocZero(kGlassEvents, sizeof(POINT)));
    if (!g->EventCodes || !g->EventPoints)
        return RC_NO_MEMORY;
    const int rc = K_CreateBitmap(&g->DataBitmap, pBitmap->Width, pBitmap->Height, pBitmap->BitsPerPixel,
                                  pBitmap->Order, pBitmap->Orientation);
    if (rc == RC_SUCCESS && pBitmap->BitsPerPixel <= 8) {  // answered colours map to the bitmap's palette
        RGBQUAD colors[256];
        const int n = K_GetBitmapColors(pBitmap, 0, 1 << pBitmap->BitsPerPixel, colors);
        if (n > 0)
            K_PutBitmapColors(&g->DataBitmap, 0, n, colors);
    }
    return rc;
}

void FreeGlassData(MagGlassRecord *g) {
    K_Free(g->EventCodes);
    K_Free(g->EventPoints);
    K_Free(g->BlockBits);
    g->EventCodes = nullptr;
    g->EventPoints = nullptr;
    g->BlockBits = nullptr;
    K_FreeBitmap(&g->DataBitmap);
    K_FreeBitmap(&g->WorkBitmap);
}

bool GlassDataCheck(MagGlassRecord *g, UINT uCode, int x, int y) {
    if (uCode == kDown) {
        if (g->RequestsPending) {  // still waiting for data: no glass
            ReleaseCapture();  // taken by the press
            g->Dragging = 0;
            ShowCursor(TRUE);
            return false;
        }
        g->EventWrite = g->EventReplay = g->EventStart = 0;
    }
    g->EventCodes[Wrap(g->EventWrite)] = uCode;
    const BlockRect b = BlocksOf(g, GlassSourceRect(g, x, y));
    const int count = b.Count();
    BYTE *mask = count ? static_cast<BYTE *>(K_AllocZero((count + 7) / 8, 1)) : nullptr;
    bool missing = false;
    for (int n = 0, r = b.top; r <= b.bottom; ++r)
        for (int c = b.left; c <= b.right; ++c, ++n) {
            if (!BitSet(g->BlockBits, r * g->BlocksAcross + c))
                missing = true;
            else if (mask)
                SetBit(mask, n);
        }
    if (!missing || !mask) {  // without memory for the request the event paints what there is
        K_Free(mask);
        if (uCode == kDown) {
            g->EventPoints[g->EventStart] = POINT{x, y};
            g->EventStart = 1;
            ++g->EventWrite;
        }
        return true;
    }
    g->EventPoints[Wrap(g->EventWrite)] = POINT{x, y};
    if (uCode == kDown)
        ++g->EventWrite;
    else if (uCode == kMove)
        g->EventWrite = Wrap(g->EventWrite + 1);
    else if (g->EventWrite < g->EventStart)
        g->EventWrite += kGlassEvents;
    const int first = b.top * g->BlocksAcross + b.left, last = b.bottom * g->BlocksAcross + b.right;
    g->RequestProc(g->Window, first, last, mask, (count + 7) / 8, g->RequestData);
    K_Free(mask);
    if (uCode == kUp)
        g->RequestsPending = g->EventWrite - g->EventStart + 1;
    return false;
}

void GlassDataMoved(MagGlassRecord *g, int x, int y) {
    g->EventPoints[Wrap(g->EventWrite - 1)] = POINT{x, y};
    const int queued = g->EventWrite - g->EventStart;
    g->EventsQueued = queued < 0 ? queued + kGlassEvents : queued;
}

}  // namespace zv

using namespace zv;

extern "C" {

int __stdcall Z_ShowMagGlass(HWND hWnd, int bShow) {
    MagGlassRecord *g = ManualGlass(hWnd);
    if (!g)
        return RC_INVALID_PARAMETER;
    const int show = bShow ? 1 : 0;
    if (show == g->Shown)
        return RC_SUCCESS;
    const int rc = TakeOverWorkData(g);
    if (rc != RC_SUCCESS)
        return rc;
    g->Shown = show;
    if (show)
        PaintGlass(g, g->ManualX, g->ManualY, g->ManualX, g->ManualY, false);
    else
        PaintGlass(g, g->ManualX, g->ManualY, g->LastX, g->LastY, true);
    return RC_SUCCESS;
}

int __stdcall Z_SetMagGlassPos(HWND hWnd, int x, int y) {
    MagGlassRecord *g = ManualGlass(hWnd);
    if (!g)
        return RC_INVALID_PARAMETER;
    const int oldX = g->ManualX, oldY = g->ManualY;
    g->ManualX = x;
    g->ManualY = y;
    const int rc = TakeOverWorkData(g);
    if (rc != RC_SUCCESS) {
        g->ManualX = oldX;
        g->ManualY = oldY;
        return rc;
    }
    if (g->Shown)
        PaintGlass(g, x, y, g->LastX, g->LastY, false);
    g->LastX = x;
    g->LastY = y;
    return RC_SUCCESS;
}

int __stdcall Z_UpdateMagGlassBitmap(HWND hWnd, BitmapHandle *pBitmap, int bRefresh) {
    MagGlassRecord *g = ManualGlass(hWnd);
    if (!g || g->Shown)
        return RC_INVALID_PARAMETER;
    if (!pBitmap || !(pBitmap->Flags & BITMAP_ALLOCATED)) {
        K_FreeBitmap(&g->WorkBitmap);
        return RC_SUCCESS;
    }
    const BitmapHandle &model = g->BitmapCopy;
    if (pBitmap->Width != model.Width || pBitmap->Height != model.Height)
        return RC_SIZE_MISMATCH;
    BitmapHandle copy = {};
    int rc = K_CopyBitmap(&copy, pBitmap);
    if (rc == RC_SUCCESS && copy.Orientation != ORIENT_TOP_LEFT)
        rc = K_ChangeBitmapOrientation(&copy, ORIENT_TOP_LEFT);
    if (rc == RC_SUCCESS && (copy.BitsPerPixel != model.BitsPerPixel || copy.Order != model.Order)) {
        RGBQUAD colors[256];
        const int bits = model.BitsPerPixel;
        const int n = bits <= 8 ? K_GetBitmapColors(&model, 0, 1 << bits, colors) : 0;
        const UINT flags = (bits <= 8 ? KCONV_USE_COLORS | KCONV_NEAREST : 0) |
                           (model.Order == ORDER_BGR ? KCONV_BLUE_FIRST : 0);
        BitmapHandle converted = {};
        rc = K_ConvertColorResolution(&copy, &converted, bits, colors, n, flags);
        if (rc == RC_SUCCESS) {
            K_FreeBitmap(&copy);
            copy = converted;
        }
    }
    if (rc == RC_SUCCESS && g->MaskColorCount > 0)
        rc = BuildMaskRegion(g, &copy);
    if (rc != RC_SUCCESS) {
        K_FreeBitmap(&copy);
        return rc;
    }
    K_FreeBitmap(&g->WorkBitmap);
    g->WorkBitmap = copy;
    std::memset(g->BlockBits, 0, (g->BlockCount + 7) / 8);
    g->WorkDirty = bRefresh;
    return RC_SUCCESS;
}

int __stdcall Z_UpdateMagGlassExt(HWND hWnd, const COLORREF *pColors, const BYTE *pPresent, int nFirst, int nLast,
                                  int bUpdate) {
    MagGlassRecord *g = FindGlass(hWnd);
    if (!g || !pColors || !pPresent || g->ManualMode)
        return RC_INVALID_PARAMETER;
    if (!g->RequestProc)
        return RC_FAILURE;  // (such a glass has no blocks)
    if (nFirst < 0 || nLast < 0 || nFirst >= g->BlockCount || nLast >= g->BlockCount || nFirst > nLast)
        return RC_INVALID_PARAMETER;
    if (g->RequestsPending > 0)
        --g->RequestsPending;
    const BlockRect b{nFirst % g->BlocksAcross, nFirst / g->BlocksAcross, nLast % g->BlocksAcross,
                      nLast / g->BlocksAcross};
    {
        const RowAccess access(&g->DataBitmap);
        for (int n = 0, r = b.top; r <= b.bottom; ++r)
            for (int c = b.left; c <= b.right; ++c, ++n) {
                if (BitSet(pPresent, n))
                    continue;
                SetBit(g->BlockBits, r * g->BlocksAcross + c);
                pColors += WriteBlock(g, &g->DataBitmap, c, r, pColors);
            }
    }
    if (g->MaskColorCount > 0) {
        const int rc = BuildMaskRegion(g, &g->DataBitmap);
        if (rc != RC_SUCCESS)
            return rc;
    }
    if (bUpdate && !b.Empty() && CopyIntoGlassBitmap(g, &g->DataBitmap, PixelsOf(g, b)) != RC_SUCCESS)
        return RC_FAILURE;
    // Replay one logged event.
    const int start = Wrap(g->EventStart);
    const UINT code = g->EventCodes[start];
    if (g->EventsQueued == 0) {
        const POINT pt = g->EventPoints[start], prev = g->EventPoints[Wrap(g->EventReplay)];
        PaintGlass(g, pt.x, pt.y, prev.x, prev.y, code == kUp || !g->Dragging);
        g->LastX = pt.x;
        g->LastY = pt.y;
    } else {
        --g->EventsQueued;
    }
    if (code != kDown)
        g->EventReplay = Wrap(g->EventReplay + 1);
    g->EventStart = Wrap(g->EventStart + 1);
    return RC_SUCCESS;
}

}  // extern "C"
