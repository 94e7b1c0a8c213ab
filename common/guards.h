// Move-only owners of what a call holds until it returns: GDI objects and
// device contexts, an object or palette selected into a DC, blocks of the
// kernel's allocators, a bitmap's access bracket and a region.  Each
// releases on every path, none can be copied (a copy would release
// twice), and release() hands the object on to a new owner.
#pragma once

#include "zvkern.h"

#include <memory>
#include <optional>
#include <utility>

namespace zv {

// ---- kernel blocks -------------------------------------------------------

struct KernelFree {
    void operator()(void *p) const { K_Free(p); }
};
struct KernelTempFree {
    void operator()(void *p) const { K_FreeTemp(p); }
};
struct KernelRegionFree {
    void operator()(ZoraRgn *p) const { K_FreeRegion(p); }
};

// K_Alloc / K_AllocZero blocks.
template <class T>
using KPtr = std::unique_ptr<T, KernelFree>;

// K_AllocTemp blocks (scratch of one call; large ones are reused).
template <class T>
using TempBlock = std::unique_ptr<T, KernelTempFree>;

// A region that its holder releases unless it hands it on: a function
// that takes over a region takes it as this type.
using OwnedRgn = std::unique_ptr<ZoraRgn, KernelRegionFree>;

// Typed allocations of count elements (KAlloc, KAllocZero) and of bytes
// (TempAlloc); null on failure.
template <class T>
KPtr<T> KAlloc(size_t count) {
    return KPtr<T>(static_cast<T *>(K_Alloc(count * sizeof(T))));
}

template <class T>
KPtr<T> KAllocZero(size_t count) {
    return KPtr<T>(static_cast<T *>(K_AllocZero(count, sizeof(T))));
}

template <class T = BYTE>
TempBlock<T> TempAlloc(size_t bytes) {
    return TempBlock<T>(static_cast<T *>(K_AllocTemp(bytes)));
}

// ---- the base of the handle owners ----------------------------------------

// Holds a handle and gives it to Release::operator() at the end, unless
// it is null or has been released to someone else.
template <class H, class Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(H h) : h_(h) {}
    Owned(Owned &&o) noexcept : h_(o.release()) {}
    Owned &operator=(Owned &&o) noexcept {
        reset(o.release());
        return *this;
    }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    ~Owned() { reset(); }

    H get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    H release() { return std::exchange(h_, nullptr); }
    void reset(H h = nullptr) {
        if (h_)
            Release()(h_);
        h_ = h;
    }

private:
    H h_ = nullptr;
};

struct GdiDelete {
    void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct DcDelete {
    void operator()(HDC h) const { DeleteDC(h); }
};
struct GlobalBlockFree {
    void operator()(HGLOBAL h) const { K_GlobalFree(h); }
};

// A GDI object (region, bitmap, brush, pen, palette) deleted at the end.
template <class H>
using GdiObject = Owned<H, GdiDelete>;

// A DC of CreateCompatibleDC or CreateDC, deleted at the end.
using MemoryDc = Owned<HDC, DcDelete>;

// A block of K_GlobalAlloc (or of the kernel's DIB conversions), freed at
// the end unless handed on.
using GlobalBlock = Owned<HGLOBAL, GlobalBlockFree>;

// ---- device contexts of a window ------------------------------------------

// GetDC(window), released at the end; a null window gives the screen's.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(WindowDc &&o) noexcept : window_(o.window_), dc_(std::exchange(o.dc_, nullptr)) {}
    WindowDc &operator=(WindowDc &&) = delete;
    WindowDc(const WindowDc &) = delete;
    ~WindowDc() {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The caller's DC, or the screen's (released at the end) when none.
class DcInUse {
public:
    explicit DcInUse(HDC dc) : dc_(dc ? dc : screen_.emplace(nullptr).get()) {}
    HDC get() const { return dc_; }

private:
    std::optional<WindowDc> screen_;
    HDC dc_;
};

// ---- selections -------------------------------------------------------------

// An object selected into a DC for a scope; the previous one is selected
// back at the end.  A null object selects nothing.  Not for regions:
// selecting one copies it into the clip and returns no handle.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
    Selection(Selection &&o) noexcept : dc_(o.dc_), old_(std::exchange(o.old_, nullptr)) {}
    Selection &operator=(Selection &&) = delete;
    Selection(const Selection &) = delete;
    ~Selection() { restore(); }
    // Selects the previous object back now.
    void restore() {
        if (old_)
            SelectObject(dc_, std::exchange(old_, nullptr));
    }
    // What the selection replaced (null when nothing was selected).
    HGDIOBJ previous() const { return old_; }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// How the previous palette goes back into the DC at the end of a
// PaletteSelection.
enum class PaletteRestore {
    Select,              // selected back (foreground)
    SelectInBackground,  // selected back as a background palette
    SelectAndRealize,    // selected back and realised again
};

// A palette (may be null: nothing happens) selected and realised for a
// scope, in the foreground unless background is set.
class PaletteSelection {
public:
    PaletteSelection(HDC dc, HPALETTE palette, PaletteRestore restore = PaletteRestore::Select,
                     bool background = false)
        : dc_(dc), old_(palette ? SelectPalette(dc, palette, background) : nullptr), restore_(restore) {
        if (palette)
            realized_ = RealizePalette(dc);
    }
    PaletteSelection(PaletteSelection &&o) noexcept
        : dc_(o.dc_), old_(std::exchange(o.old_, nullptr)), restore_(o.restore_), realized_(o.realized_) {}
    PaletteSelection &operator=(PaletteSelection &&) = delete;
    PaletteSelection(const PaletteSelection &) = delete;
    ~PaletteSelection() {
        if (!old_)
            return;
        SelectPalette(dc_, old_, restore_ == PaletteRestore::SelectInBackground);
        if (restore_ == PaletteRestore::SelectAndRealize)
            RealizePalette(dc_);
    }
    // What RealizePalette returned: the entries mapped anew, or GDI_ERROR.
    UINT realized() const { return realized_; }

private:
    HDC dc_;
    HPALETTE old_;
    PaletteRestore restore_;
    UINT realized_ = 0;
};

// ---- access to a bitmap's rows ------------------------------------------------

// K_BeginAccess .. K_EndAccess.  status() is the token (>= 1) or the
// kernel's negative status; the bracket is closed only when it opened.
class RowAccess {
public:
    explicit RowAccess(BitmapHandle *bitmap) : bitmap_(bitmap), token_(K_BeginAccess(bitmap)) {}
    RowAccess(RowAccess &&o) noexcept : bitmap_(o.bitmap_), token_(std::exchange(o.token_, 0)) {}
    RowAccess &operator=(RowAccess &&) = delete;
    RowAccess(const RowAccess &) = delete;
    ~RowAccess() { close(); }
    bool ok() const { return token_ > 0; }
    int status() const { return token_; }
    // Closes the bracket now; later calls do nothing.
    void close() {
        if (token_ > 0)
            K_EndAccess(bitmap_, std::exchange(token_, 0));
    }

private:
    BitmapHandle *bitmap_;
    int token_;
};

}  // namespace zv
