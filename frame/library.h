// The library frame: process-wide state, the per-thread paint settings
// and the entry points that load, unload and end threads.
#pragma once

#include "common/geometry.h"
#include "zvdisp.h"
#include "zvkern.h"

namespace zv {

// A BITMAPINFO with room for a full 256-entry colour table.  While
// DISP_PALETTE_INDICES is in force the first 512 bytes of the table hold
// the identity index table (256 WORDs 0..255) that DIB_PAL_COLORS reads.
struct PaintBitmapInfo {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};

// One per thread, in the kernel slot SettingsSlot; FallbackSettings for a
// thread whose own block could not be made.
struct ThreadPaintSettings {
    HDC PrintDC;                       // printer DC kept open across one print job
    PaintBitmapInfo PaintInfo;         // scratch header and colour table of every strip
    PaintBitmapInfo PrinterPaintInfo;  // the copy painters work on for printer DCs
    UINT DisplayMode;
};

// Process-wide state.
extern HINSTANCE InstanceHandle;
extern int AttachCount;
extern int SettingsSlot;
extern UINT RegionClipboardFormat;
extern ThreadPaintSettings FallbackSettings;

// The region operations handed to the kernel at the first attach.
extern const RegionServiceTable RegionServices;

// The calling thread's settings, made on first use; never null.
ThreadPaintSettings *GetPaintSettings();
int CreatePaintSettings(int bNewSlot);
void FreePaintSettings(int bProcessDetach);

// A descriptor whose fields describe pixels that can be read: positive
// size, a depth of the table, rows long enough, a view orientation code.
inline bool HasUsableFormat(const BitmapHandle *b) {
    const int bits = b->BitsPerPixel;
    return b->Width > 0 && b->Height > 0 && IsValidDepth(bits) &&
           b->BytesPerLine >= (static_cast<long long>(b->Width) * bits + 7) / 8 && IsValidOrientation(b->Orientation);
}

// Groups of display-mode flags that a paint switches for its length.
constexpr UINT kAllDisplayFlags = 0xFFFFFFFFu;
// Library colour reduction and palette indices.
constexpr UINT kColorReductionFlags = DISP_PALETTE_INDICES | DISP_LIBRARY_DITHER;
// Ordered dithering of either kind, and palette indices: what a one-bit
// printer page is painted with.
constexpr UINT kOneBitDitherFlags = DISP_ORDERED_DITHER | DISP_PALETTE_INDICES | DISP_CLUSTERED_DITHER;
constexpr UINT kClusteredDither = DISP_ORDERED_DITHER | DISP_CLUSTERED_DITHER;

// The calling thread's display mode with the flags of mask set to values
// for a scope; the whole previous mode word comes back at the end.  A
// mask of 0 changes and restores nothing.
class DisplayModeScope {
public:
    DisplayModeScope(UINT mask, UINT values) : active_(mask != 0), old_(active_ ? Z_SetDisplayMode(mask, values) : 0) {}
    DisplayModeScope(const DisplayModeScope &) = delete;
    DisplayModeScope &operator=(const DisplayModeScope &) = delete;
    ~DisplayModeScope() {
        if (active_)
            Z_SetDisplayMode(kAllDisplayFlags, old_);
    }

private:
    bool active_;
    UINT old_;
};

// Writes 0, 1, ..., 255 as WORDs at the start of the colour table.
void WriteIdentityIndexTable(PaintBitmapInfo &info);

// The whole of the library entry, callable without a loader (tests).
BOOL LibraryEntry(HINSTANCE hInstance, DWORD dwReason);

}  // namespace zv
