// The magnifying glass on a real window driven by real input: what it
// shows (against a model built from Z_PaintDC), how it follows the mouse,
// how it goes, and what it leaves behind.
#include "glass_model.h"
#include "frame/library.h"
#include "windows/glass.h"

#include <optional>
#include <random>

namespace {

using namespace zvtest;

zv::MagGlassRecord *Glass(HWND h) { return static_cast<zv::MagGlassRecord *>(GetPropA(h, "ZORAMAGDATA")); }

struct Bitmap {
    BitmapHandle b = {};
    Bitmap(int w, int h, int bits, unsigned seed) {
        K_CreateBitmap(&b, w, h, bits, ORDER_BGR, 0);
        std::mt19937 rng(seed);
        std::vector<BYTE> row(b.BytesPerLine);
        for (int y = 0; y < h; ++y) {
            for (BYTE &v : row)
                v = static_cast<BYTE>(bits <= 8 ? rng() % 4 * (bits == 8 ? 1 : 0x55) : rng());
            K_PutBitmapRow(&b, row.data(), y, 0, b.BytesPerLine);
        }
    }
    ~Bitmap() { K_FreeBitmap(&b); }
};

int Start(HWND h, BitmapHandle *b, const RECT &dest, const GlassSetup &s, const COLORREF *masks = nullptr,
          int nMasks = 0, UINT flags = 0, int ignoreRegion = 0, MagGlassRequestProc request = nullptr,
          void *requestData = nullptr) {
    return Z_StartMagGlassExt(h, b, &dest, s.Width, s.Height, s.Zoom, s.Pen, s.Cursor, 0, s.Ellipse, s.BorderWidth,
                              s.Border3D, 0, masks, nMasks, flags, s.Crosshair, ignoreRegion, s.CenterPixels, request,
                              requestData);
}

int __stdcall DrawSquare(HWND, HDC dc, int, int, const RECT *, void *calls) {
    FillRect(dc, &kOwnerDrawSquare, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ++*static_cast<int *>(calls);
    return 0;
}

// The first window, DC, 3-D edge and drawing of a process make system
// objects lazily: one glass of each border kind, before counting.
void WarmUpGlass() {
    static bool done = false;
    if (done)
        return;
    done = true;
    // Linked without the loader: the entry's work (region operations for
    // the kernel's descriptor copies, this thread's settings) by hand.
    if (!K_GetRegionServiceTable() || !K_GetRegionServiceTable()->CopyRgn)
        zv::LibraryEntry(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
    static Bitmap pic(40, 30, 24, 1);
    const RECT dest{0, 0, 40, 30};
    OwnerWindow w(&pic.b, dest);
    // A window made and destroyed before a check leaves objects that the
    // next window takes up: make that one before counting too.
    static OwnerWindow next(&pic.b, dest, 600, 40, 40, 30);
    next.Capture();
    for (int kind = 0; kind < 3; ++kind) {
        GlassSetup s;
        s.Ellipse = kind == 1;
        s.Border3D = kind == 2;
        s.Crosshair = 3;
        Start(w.Handle(), &pic.b, dest, s);
        SendMessageA(w.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 15));
        SendMessageA(w.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, 15));
        if (kind == 0) {  // and real input: the first makes the cursor's objects
            Mouse(MOUSEEVENTF_LEFTDOWN, w.Handle(), 20, 15);
            PumpUntil([&] { return Glass(w.Handle())->Dragging != 0; });
            Mouse(MOUSEEVENTF_LEFTUP);
            PumpUntil([&] { return Glass(w.Handle())->Dragging == 0; });
        }
        Z_StopMagGlass(w.Handle());
    }
    w.Capture();
    w.Expected();
}

// Presses at (x, y) and waits until the glass is up there.
bool PressAt(const OwnerWindow &w, int x, int y) {
    Mouse(MOUSEEVENTF_LEFTDOWN, w.Handle(), x, y);
    return PumpUntil([&] {
        auto *g = Glass(w.Handle());
        return g && g->Dragging && g->LastX == x && g->LastY == y;
    });
}

bool DragTo(const OwnerWindow &w, int x, int y) {
    Mouse(0, w.Handle(), x, y);
    return PumpUntil([&] { return Glass(w.Handle())->LastX == x && Glass(w.Handle())->LastY == y; });
}

bool ReleaseHere(const OwnerWindow &w) {
    Mouse(MOUSEEVENTF_LEFTUP);
    return PumpUntil([&] { return !Glass(w.Handle())->Dragging; });
}

// The window shows `expected` (checked on a true-colour screen only, where
// colours read back exactly).
void ExpectShows(const OwnerWindow &w, const Pixels &expected, const char *what) {
    if (ScreenDepth() < 24)
        return;
    POINT first{};
    // The window surface may still be taking the owner's repaint.
    Pixels shown;
    PumpUntil([&] { return CountDifferences(shown = w.Capture(), expected, &first) == 0; }, 500);
    EXPECT_EQ(CountDifferences(shown, expected, &first), 0)
        << what << ": first difference at " << first.x << ", " << first.y << ": shown " << std::hex
        << shown.At(first.x, first.y) << ", expected " << expected.At(first.x, first.y);
}

// The last rounds' mask colours and regions, over a picture of four
// colours, none black, so that a pixel's colour tells which rule applies.
struct MaskRow {
    std::vector<int> masks;
    UINT flags;
    int regionColour;  // -1 none
    int ignoreRegion;
};
const MaskRow kMaskRows[] = {
    {{1}, 0, -1, 0},
    {{1, 3}, MAGGLASS_INCLUDE_COLORS, -1, 0},
    {{}, 0, 2, 0},
    {{}, 0, 2, 1},
    {{0}, 0, 2, 0},
    {{0, 2}, MAGGLASS_INCLUDE_COLORS, 2, 1},
    // Mask colours: those used within the region's bounds.
    {{}, MAGGLASS_COLORS_FROM_RGN, 2, 0},
    {{}, MAGGLASS_COLORS_FROM_RGN | MAGGLASS_INCLUDE_COLORS, 1, 1},
};
// How each round's drag ends: a release, the wheel, scrolling, a lost
// focus, or the window going (closed or destroyed) under it.
const UINT kEndings[] = {WM_LBUTTONUP, WM_MOUSEWHEEL, WM_HSCROLL, WM_KILLFOCUS,
                         WM_CLOSE,     WM_VSCROLL,    WM_DESTROY, WM_LBUTTONUP};
const RGBQUAD kFourColours[4] = {{0, 0, 200, 0}, {0, 180, 0, 0}, {160, 0, 0, 0}, {90, 90, 90, 0}};

COLORREF FourColour(int i) { return RGB(kFourColours[i].rgbRed, kFourColours[i].rgbGreen, kFourColours[i].rgbBlue); }

// Sets up the masks of a row: the bitmap's region, the caller's colours
// (into masks), and what the model hides.
void SetMasks(BitmapHandle *pic, const MaskRow &m, GlassSetup &s, std::vector<COLORREF> &masks) {
    Z_FreeBitmapRgn(pic);
    if (m.regionColour >= 0) {
        ASSERT_EQ(Z_SetBitmapRgnColor(pic, FourColour(m.regionColour), RGN_MODE_SET), RC_SUCCESS);
    }
    std::vector<int> listed = m.masks;
    if (m.flags & MAGGLASS_COLORS_FROM_RGN) {
        RECT bounds{};
        ASSERT_EQ(Z_GetBitmapRgnBounds(pic, nullptr, &bounds), RC_SUCCESS);
        for (int i = 0; i < 4; ++i) {
            bool used = false;
            for (int y = bounds.top; y < bounds.bottom; ++y)
                for (int x = bounds.left; x < bounds.right; ++x)
                    used = used || PixelAt(*pic, x, y) == uint64_t(i);
            if (used)
                listed.push_back(i);
        }
    }
    for (int i : m.masks)
        masks.push_back(FourColour(i));
    const auto rgb = [](int i) {
        return (UINT(kFourColours[i].rgbRed) << 16) | (UINT(kFourColours[i].rgbGreen) << 8) | kFourColours[i].rgbBlue;
    };
    for (int i : listed)
        s.Listed.push_back(rgb(i));
    s.Include = (m.flags & MAGGLASS_INCLUDE_COLORS) != 0;
    // The region limits unless ignored; with mask colours the glass's
    // region is the mask region either way.
    s.RegionRgb = m.regionColour >= 0 && !m.ignoreRegion ? int(rgb(m.regionColour)) : -1;
    s.Width = 60, s.Height = 40, s.Zoom = 300;
    s.BorderWidth = s.Ellipse = s.Border3D = s.CenterPixels = 0;
    s.Crosshair = 4;
    s.OwnerDraw = s.HasOptions = false;
}

// Random glasses over a random 24-bit picture shown at scale 1 or 2 (the
// second set by Z_UpdateMagGlassRect), some shaped by a region of the
// caller's, the last ones with mask colours and regions over a picture of
// four colours: down, a move, up, each compared with the model pixel for
// pixel; while the button holds it the glass refuses changes.
TEST(MagGlass, FollowsTheMouseAndShowsTheModel) {
    WarmUpGlass();
    Bitmap pic(150, 110, 24, 7), four(150, 110, 8, 5);
    K_PutBitmapColors(&four.b, 0, 4, kFourColours);
    const HCURSOR cross = LoadCursor(nullptr, IDC_CROSS), arrow = LoadCursor(nullptr, IDC_ARROW);
    SetCursor(cross);  // (the system's cursors make their objects on first use)
    SetCursor(arrow);
    std::mt19937 rng(11);
    const int plain = 14, rounds = plain + int(std::size(kMaskRows));
    for (int round = 0; round < rounds; ++round) {
        GlassSetup s;
        BitmapHandle *shown = round < plain ? &pic.b : &four.b;
        const int scale = round < plain ? 1 + round % 2 : 2;  // the masked ones over the picture
        const RECT dest{10, 8, 10 + 150 * scale, 8 + 110 * scale};
        s.Width = 20 + static_cast<int>(rng() % 60);
        s.Height = 20 + static_cast<int>(rng() % 50);
        s.Zoom = 100 + static_cast<int>(rng() % 350);
        s.Ellipse = round % 3 == 1;
        s.Border3D = !s.Ellipse && round % 4 == 2;
        s.BorderWidth = s.Ellipse ? static_cast<int>(rng() % 3) : static_cast<int>(rng() % 2);
        s.Crosshair = static_cast<int>(rng() % 5);  // 4: none
        s.CenterPixels = static_cast<int>(rng() % 2);
        s.Pen = RGB(rng() % 256, rng() % 256, rng() % 256);
        s.OwnerDraw = round % 5 == 3;
        s.Cursor = round % 3 == 2 ? cross : nullptr;
        s.HasOptions = round % 4 == 1;
        s.Options[0] = static_cast<int>(rng() % 600) - 300;
        s.Options[1] = 60 + static_cast<int>(rng() % 100);
        s.Options[2] = static_cast<int>(rng() % 400) - 200;
        SCOPED_TRACE(testing::Message() << "round " << round << ": " << s.Width << "x" << s.Height << " zoom " << s.Zoom
                                        << " ellipse " << s.Ellipse << " 3d " << s.Border3D << " border "
                                        << s.BorderWidth << " crosshair " << s.Crosshair << " center "
                                        << s.CenterPixels << " scale " << scale);
        std::vector<COLORREF> masks;
        if (round >= plain) {
            ASSERT_NO_FATAL_FAILURE(SetMasks(shown, kMaskRows[round - plain], s, masks));
        }
        const UINT maskFlags = round < plain ? 0 : kMaskRows[round - plain].flags;
        const int ignoreRegion = round < plain ? 0 : kMaskRows[round - plain].ignoreRegion;
        const UINT ending = kEndings[round % std::size(kEndings)];
        if ((ending == WM_CLOSE || ending == WM_DESTROY) && round < plain)
            s.Crosshair = 2;  // the most objects to leave behind
        // Counted over the window's life when the window goes, else from
        // after its making (the test's first window makes Wine's objects).
        const bool windowGoes = ending == WM_CLOSE || ending == WM_DESTROY;
        std::optional<ResourceCheck> withWindow;
        if (windowGoes)
            withWindow.emplace();
        OwnerWindow w(shown, dest);
        const HWND h = w.Handle();
        std::optional<ResourceCheck> afterWindow;
        if (!windowGoes)
            afterWindow.emplace();
        ASSERT_EQ(Start(h, shown, RECT{10, 8, 160, 118}, s, masks.data(), int(masks.size()), maskFlags, ignoreRegion),
                  RC_SUCCESS);
        EXPECT_EQ(Start(h, shown, dest, s), RC_INVALID_PARAMETER) << "a second start keeps the first";
        ASSERT_EQ(Z_UpdateMagGlassRect(h, &dest), RC_SUCCESS);
        HRGN shape = nullptr;
        const int startW = s.Width, startH = s.Height;
        if (round % 6 == 0 && round < plain) {  // shape 2: an L whose box, away from the origin, sets the size
            s.Width += 10, s.Height += 6;
            shape = CreateRectRgn(5, 7, 5 + s.Width, 7 + s.Height / 2);
            HRGN foot = CreateRectRgn(5, 7, 5 + s.Width / 2, 7 + s.Height);
            CombineRgn(shape, shape, foot, RGN_OR);
            ASSERT_EQ(Z_UpdateMagGlassShape(h, 2, foot), RC_SUCCESS);  // replaced by the next
            ASSERT_EQ(Z_UpdateMagGlassShape(h, 2, shape), RC_SUCCESS);
            EXPECT_EQ(Glass(h)->GlassWidth * 1000 + Glass(h)->GlassHeight, s.Width * 1000 + s.Height);
            OffsetRgn(shape, -5, -7);
            s.Shape = shape;
            DeleteObject(foot);
        } else {
            ASSERT_EQ(Z_UpdateMagGlassShape(h, s.Ellipse, nullptr), RC_SUCCESS);
        }
        EXPECT_EQ(Z_UpdateMagGlassShape(h, 2, nullptr), RC_INVALID_PARAMETER);
        int draws = 0;
        if (s.OwnerDraw) {
            ASSERT_EQ(Z_SetMagGlassOwnerDrawCallback(h, DrawSquare, &draws), RC_SUCCESS);
        }
        if (s.HasOptions) {
            ASSERT_EQ(Z_SetMagGlassPaintOptions(h, s.Options), RC_SUCCESS);
        }
        const UINT mode = Z_GetDisplayMode();
        if (round % 4 == 3) {  // the thread's own flags, set for the glass's paints alone
            ASSERT_EQ(Z_UpdateMagGlassPaintFlags(h, mode), RC_SUCCESS);
        }
        const Pixels under = w.Expected();
        // Moves without the button make the glass's cursor the current one.
        SetCursor(arrow);
        SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        EXPECT_EQ(GetCursor(), s.Cursor ? s.Cursor : Glass(h)->Cursor);
        SendMessageA(h, WM_SETCURSOR, WPARAM(h), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor(), arrow) << "outside the client area: the default";
        if (ending != WM_MOUSEWHEEL && ending != WM_CLOSE && ending != WM_DESTROY)
            SendMessageA(h, ending, 0, MAKELPARAM(40, 30));  // without a drag: nothing
        const int x1 = 30 + static_cast<int>(rng() % 200), y1 = 20 + static_cast<int>(rng() % 160);
        const int x2 = x1 + static_cast<int>(rng() % 41) - 20, y2 = y1 + static_cast<int>(rng() % 31) - 15;
        ASSERT_TRUE(PressAt(w, x1, y1));
        EXPECT_EQ(GetCapture(), h);
        EXPECT_EQ(SendMessageA(h, WM_SETCURSOR, WPARAM(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
        // A move to where the glass is, or without the button, moves nothing.
        SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1, y1));
        SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(x1 + 3, y1));
        EXPECT_EQ(Glass(h)->LastX, x1);
        EXPECT_EQ(Z_UpdateMagGlassRect(h, &dest), RC_INVALID_PARAMETER) << "busy";
        EXPECT_EQ(Z_UpdateMagGlassPaintFlags(h, 1), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_UpdateMagGlassShape(h, 0, nullptr), RC_INVALID_PARAMETER);
        EXPECT_EQ(Z_SetMagGlassPaintOptions(h, s.Options), RC_INVALID_PARAMETER);
        ExpectShows(w, ModelWindowWithGlass(under, shown, dest, s, x1, y1), "after the press");
        ASSERT_TRUE(DragTo(w, x2, y2));
        const RECT g = Glass(h)->GlassRect;
        EXPECT_EQ(g.left, x2 - s.Width / 2);
        EXPECT_EQ(g.bottom - g.top, s.Height);
        ExpectShows(w, ModelWindowWithGlass(under, shown, dest, s, x2, y2), "after the move");
        EXPECT_EQ(draws > 0, s.OwnerDraw);
        EXPECT_EQ(Z_GetDisplayMode(), mode);
        if (ending == WM_CLOSE || ending == WM_DESTROY) {
            if (ending == WM_CLOSE)
                SendMessageA(h, WM_CLOSE, 0, 0);  // the default procedure destroys the window
            else
                DestroyWindow(h);
            EXPECT_FALSE(IsWindow(h));
            EXPECT_EQ(GetCapture(), nullptr);
            Mouse(MOUSEEVENTF_LEFTUP);  // the button is still down: let it up
            PumpUntil([] { return false; }, 50);
            DeleteObject(shape);
            continue;
        }
        if (ending != WM_MOUSEWHEEL && (ending != WM_LBUTTONUP || round % 2))
            ReleaseCapture();  // the drag ends whoever holds the capture
        if (ending == WM_MOUSEWHEEL)
            Mouse(MOUSEEVENTF_WHEEL, nullptr, 0, 0, 120);
        else if (ending != WM_LBUTTONUP)
            SendMessageA(h, ending, 0, MAKELPARAM(40, 30));
        if (ending != WM_LBUTTONUP) {
            ASSERT_TRUE(PumpUntil([&] { return !Glass(h)->Dragging; })) << "ended by " << ending;
        }
        ASSERT_TRUE(ReleaseHere(w));  // (after another ending: nothing to end)
        EXPECT_EQ(GetCapture(), nullptr);
        ExpectShows(w, under, "after the end of the drag");
        if (shape) {  // back to the start size
            EXPECT_EQ(Z_UpdateMagGlassShape(h, 0, nullptr), RC_SUCCESS);
            EXPECT_EQ(Glass(h)->GlassWidth * 1000 + Glass(h)->GlassHeight, startW * 1000 + startH);
            DeleteObject(shape);
        }
        EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);
    }
    Z_FreeBitmapRgn(&four.b);
    EXPECT_EQ(pic.b.PaintContrast, 0) << "the options are the glass's, not the bitmap's";
    EXPECT_EQ(pic.b.Flags & BITMAP_PAINT_LUT, 0u);
}

// Refusals, failed starts, and stopping: the window gets back what it
// had, nothing stays behind (the random glasses end the other ways).
TEST(MagGlass, EndingItGivesTheWindowBack) {
    Bitmap pic(100, 80, 24, 9);
    const RECT dest{0, 0, 200, 160};
    GlassSetup s;
    {
        WarmUpGlass();
        ResourceCheck resources;
        OwnerWindow w(&pic.b, dest);
        const HWND h = w.Handle();
        SetWindowLongA(h, GWL_STYLE, GetWindowLongA(h, GWL_STYLE) | 0x8);
        const LONG style = GetWindowLongA(h, GWL_STYLE);
        const LONG_PTR proc = GetWindowLongPtrA(h, GWLP_WNDPROC);
        // Refused, in this order: the other functions without a glass, a
        // glass under 10 x 10 or 100 %, colours from a region without one,
        // no window, another process's window (which cannot be subclassed).
        const auto sized = [&](int width, int height, int zoom) {
            GlassSetup t;
            t.Width = width, t.Height = height, t.Zoom = zoom;
            return Start(h, &pic.b, dest, t);
        };
        int refusal = 0;
        for (const int rc : {Z_StopMagGlass(h), Z_UpdateMagGlassRect(h, &dest), Z_UpdateMagGlassShape(h, 0, nullptr),
                             sized(9, 20, 200), sized(20, 9, 200), sized(20, 20, 99),
                             Start(h, &pic.b, dest, s, nullptr, 0, MAGGLASS_COLORS_FROM_RGN), Start(nullptr, &pic.b, dest, s),
                             Start(GetDesktopWindow(), &pic.b, dest, s)})
            EXPECT_EQ(rc, RC_INVALID_PARAMETER) << "refusal " << refusal++;
        EXPECT_EQ(Z_WindowHasMagGlass(nullptr) | Z_WindowHasMagGlass(GetDesktopWindow()), 0);
        EXPECT_EQ(sized(10, 10, 100), RC_SUCCESS) << "the smallest glass";
        Z_StopMagGlass(h);
        // Colours from a region: more than 256 in its bounds are refused.
        RECT all{0, 0, 100, 80}, corner{3, 4, 5, 6};
        Z_SetBitmapRgnRect(&pic.b, nullptr, &all, RGN_MODE_SET);
        EXPECT_EQ(Start(h, &pic.b, dest, s, nullptr, 0, MAGGLASS_COLORS_FROM_RGN), RC_INVALID_FORMAT);
        // Out of memory anywhere in a start and a press of a glass with
        // colours from a region (copy, colours, mask region, clipped paint):
        // the start fails whole, or the glass goes without its picture.
        Z_SetBitmapRgnRect(&pic.b, nullptr, &corner, RGN_MODE_SET);
        const auto pressed = [&] {
            const int rc = Start(h, &pic.b, dest, s, nullptr, 0, MAGGLASS_COLORS_FROM_RGN);
            SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
            SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
            Z_StopMagGlass(h);
            return rc;
        };
        SweepAllocationFailures(
            pressed, [](int rc) { EXPECT_TRUE(rc == RC_NO_MEMORY || rc == RC_SUCCESS) << rc; },
            [](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
        EXPECT_EQ(GetPropA(h, "ZORAMAGDATA"), nullptr);
        Z_FreeBitmapRgn(&pic.b);
        ASSERT_EQ(Start(h, &pic.b, dest, s), RC_SUCCESS);
        const auto glassProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(h, GWLP_WNDPROC));
        EXPECT_EQ(Z_WindowHasMagGlass(h), 1);
        const COLORREF black = 0;
        const BYTE none = 0;
        EXPECT_EQ(Z_UpdateMagGlassExt(h, &black, &none, 0, 0, 0), RC_FAILURE) << "no data requests: no blocks";
        EXPECT_EQ(Z_UpdateMagGlassShape(h, 2, reinterpret_cast<HRGN>(GetStockObject(BLACK_BRUSH))),
                  RC_INVALID_PARAMETER);
        EXPECT_EQ(GetWindowLongA(h, GWL_STYLE), style & ~0x8);
        EXPECT_NE(GetWindowLongPtrA(h, GWLP_WNDPROC), proc);
        SetCapture(h);  // stopping gives up the capture, whoever took it
        EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);
        EXPECT_EQ(GetCapture(), nullptr);
        // A procedure chained onto the glass's that outlives it reaches the
        // default procedure.
        EXPECT_EQ(CallWindowProcA(glassProc, h, WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);
        ASSERT_EQ(Start(h, &pic.b, dest, s, nullptr, 0, MAGGLASS_MANUAL), RC_SUCCESS);  // nor to a manual glass
        EXPECT_EQ(CallWindowProcA(glassProc, h, WM_LBUTTONDOWN, MK_LBUTTON, 0), 0);
        EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);
        EXPECT_EQ(GetCapture(), nullptr);
        EXPECT_EQ(Z_WindowHasMagGlass(h), 0);
        EXPECT_EQ(GetWindowLongA(h, GWL_STYLE), style);
        EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), proc);
        EXPECT_EQ(GetPropA(h, "ZORAMAGDATA"), nullptr);
    }
}

struct Request {
    int first, last;
    std::vector<BYTE> present;
};

int __stdcall RecordRequest(HWND, int first, int last, const BYTE *present, int bytes, void *requests) {
    static_cast<std::vector<Request> *>(requests)->push_back({first, last, std::vector<BYTE>(present, present + bytes)});
    return 0;
}

// Answers request r with the colours an application reads from `data`
// for its blocks, leaving out those `present` marks (r's own when null);
// returns the number of colours.
size_t Answer(HWND h, const BitmapHandle &data, const Request &r, int update = 0, const BYTE *present = nullptr) {
    present = present ? present : r.present.data();
    const int across = (data.Width + 7) / 8;
    std::vector<COLORREF> out;
    int n = 0;
    for (int row = r.first / across; row <= r.last / across; ++row)
        for (int c = r.first % across; c <= r.last % across; ++c, ++n) {
            if ((*present >> n) & 1)
                continue;
            for (int y = row * 8; y < row * 8 + 8 && y < data.Height; ++y)
                for (int x = c * 8; x < c * 8 + 8 && x < data.Width; ++x)
                    out.push_back(K_GetPixelValue(&data, y, x));
        }
    EXPECT_EQ(Z_UpdateMagGlassExt(h, out.data(), present, r.first, r.last, update), RC_SUCCESS);
    return out.size();
}

// On-demand data over real input: a press over missing blocks asks for
// them and shows nothing; each answer replays one held-back event; a
// press while answers are due is refused.
TEST(MagGlass, AsksForMissingBlocksAndReplaysTheMouse) {
    WarmUpGlass();
    ResourceCheck resources;
    Bitmap pic(20, 20, 24, 4), data(20, 20, 24, 8);
    const RECT dest{0, 0, 80, 80};
    OwnerWindow w(&pic.b, dest);
    const HWND h = w.Handle();
    GlassSetup s;
    s.Width = s.Height = 40;
    std::vector<Request> asked;
    ASSERT_EQ(Start(h, &pic.b, dest, s, nullptr, 0, 0, 0, RecordRequest, &asked), RC_SUCCESS);
    zv::MagGlassRecord *g = Glass(h);
    EXPECT_EQ(g->BlocksAcross, 3);
    EXPECT_EQ(g->BlockCount, 9);
    const Pixels under = w.Expected();
    // Blocks 4, 5, 7 and 8 lie under a glass at (52, 52): none is here.
    Mouse(MOUSEEVENTF_LEFTDOWN, h, 52, 52);
    ASSERT_TRUE(PumpUntil([&] { return asked.size() == 1; }));
    EXPECT_EQ(asked[0].first, 4);
    EXPECT_EQ(asked[0].last, 8);
    EXPECT_EQ(asked[0].present, std::vector<BYTE>{0x00});
    ExpectShows(w, under, "no data: no glass");
    const BYTE onlyFirst = 0x0E;  // answer block 4 alone
    EXPECT_EQ(Answer(h, data.b, asked[0], 0, &onlyFirst), 64u);
    EXPECT_EQ(g->LastX, 52);
    Mouse(0, h, 56, 52);
    ASSERT_TRUE(PumpUntil([&] { return asked.size() == 2; }));
    EXPECT_EQ(asked[1].present, std::vector<BYTE>{0x01});
    EXPECT_EQ(Answer(h, data.b, asked[1], 1), 80u) << "blocks cut at the edges: 4 x 8, 8 x 4, 4 x 4";
    EXPECT_EQ(g->LastX, 56);
    // The answer with bUpdate went into the caller's pixels (all answered
    // blocks); the window repaints around the glass.
    EXPECT_EQ(K_GetPixelValue(&pic.b, 9, 9), K_GetPixelValue(&data.b, 9, 9));
    EXPECT_EQ(K_GetPixelValue(&pic.b, 19, 17), K_GetPixelValue(&data.b, 19, 17));
    EXPECT_NE(K_GetPixelValue(&pic.b, 7, 7), K_GetPixelValue(&data.b, 7, 7));
    const RECT glassRect = g->GlassRect;
    InvalidateRect(h, nullptr, FALSE);
    ValidateRect(h, &glassRect);
    UpdateWindow(h);
    // The glass shows the answered blocks, black elsewhere.
    BitmapHandle known = {};
    K_CreateBitmap(&known, 20, 20, 24, ORDER_BGR, 0);
    K_CombineBitmap(&known, 8, 8, 12, 12, &data.b, 8, 8, KCOMBINE_COPY);
    ExpectShows(w, ModelWindowWithGlass(w.Expected(), &known, dest, s, 56, 52), "answered");
    K_FreeBitmap(&known);
    ASSERT_TRUE(ReleaseHere(w));
    ExpectShows(w, w.Expected(), "released over present data");
    // Over present data a press and a drag ask for nothing.
    ASSERT_TRUE(PressAt(w, 56, 52));
    ASSERT_TRUE(DragTo(w, 54, 55));
    ASSERT_TRUE(ReleaseHere(w));
    EXPECT_EQ(asked.size(), 2u);
    // Nor over no blocks at all: left of, above, right of, below the image.
    for (const POINT p : {POINT{-60, 40}, POINT{40, -60}, POINT{150, 40}, POINT{40, 150}}) {
        SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        EXPECT_EQ(g->LastX * 1000 + g->LastY, p.x * 1000 + p.y);
        SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    }
    EXPECT_EQ(asked.size(), 2u);

    // Press and release over missing data: two answers are due, and a
    // press meanwhile is refused.
    Mouse(MOUSEEVENTF_LEFTDOWN, h, 10, 10);
    ASSERT_TRUE(PumpUntil([&] { return asked.size() == 3; }));
    Mouse(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([&] { return asked.size() == 4; }));
    EXPECT_EQ(g->RequestsPending, 2);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_EQ(g->Dragging, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_EQ(Z_UpdateMagGlassRect(h, &dest), RC_INVALID_PARAMETER) << "busy";
    for (int i = 2; i < 4; ++i)
        Answer(h, data.b, asked[i]);
    EXPECT_EQ(g->RequestsPending, 0);
    ExpectShows(w, w.Expected(), "replayed release");
    EXPECT_EQ(Z_UpdateMagGlassRect(h, &dest), RC_SUCCESS);
    // A drag from present data over a missing block (asked for) and back
    // (painted at once): the late answer replays nothing of the past.
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(70, 10));
    ASSERT_EQ(asked.size(), 5u);
    SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(12, 10));
    EXPECT_EQ(g->EventsQueued, 1);
    Answer(h, data.b, asked[4]);
    EXPECT_EQ(g->EventsQueued * 1000 + g->LastX, 12);
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(12, 10));
    // Without memory for a request the glass shows what there is.
    for (const UINT m : {UINT(WM_LBUTTONDOWN), UINT(WM_LBUTTONUP)}) {
        K_SetAllocationFailure(0, 0);
        SendMessageA(h, m, MK_LBUTTON, MAKELPARAM(10, 70));  // block 6 missing
        K_SetAllocationFailure(-1, 0);
        EXPECT_EQ(g->Dragging, m == WM_LBUTTONDOWN ? 1 : 0);
    }
    EXPECT_EQ(asked.size(), 5u);
    const BYTE none = 0;
    std::vector<COLORREF> green(64, RGB(90, 200, 40));
    for (const POINT range : {POINT{-1, 0}, POINT{0, -1}, POINT{0, 9}, POINT{9, 9}, POINT{3, 2}})  // outside 0..8
        EXPECT_EQ(Z_UpdateMagGlassExt(h, green.data(), &none, range.x, range.y, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_UpdateMagGlassExt(h, green.data(), &none, 2, 3, 1), RC_SUCCESS) << "columns 2..0: no blocks";
    EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);
    // A palette bitmap's answers keep its palette's colours; with a mask
    // colour the mask region follows the answered data.
    Bitmap indexed(8, 8, 8, 3);
    const RGBQUAD palette[3] = {{0, 0, 0, 0}, {40, 200, 90, 0}, {250, 10, 60, 0}};
    K_PutBitmapColors(&indexed.b, 0, 3, palette);
    const COLORREF red = RGB(60, 10, 250);
    ASSERT_EQ(Start(h, &indexed.b, dest, s, &red, 1, MAGGLASS_INCLUDE_COLORS, 0, RecordRequest, &asked), RC_SUCCESS);
    green[9] = red;
    EXPECT_EQ(Z_UpdateMagGlassExt(h, green.data(), &none, 0, 0, 0), RC_SUCCESS);
    EXPECT_EQ(K_GetPixelValue(&Glass(h)->DataBitmap, 7, 7), 0x28C85Au);
    RECT shown{};
    EXPECT_EQ(Z_GetBitmapRgnBounds(&Glass(h)->DataBitmap, nullptr, &shown), RC_SUCCESS);
    const RECT redPixel{1, 1, 2, 2};
    EXPECT_TRUE(EqualRect(&shown, &redPixel)) << "the one red pixel";
    SweepAllocationFailures([&] { return Z_UpdateMagGlassExt(h, green.data(), &none, 0, 0, 0); },
                            [](int rc) { EXPECT_TRUE(rc == RC_NO_MEMORY || rc == RC_SUCCESS) << rc; },
                            [](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
    EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);
}

// Manual mode: the application shows and moves the glass; a replacement
// bitmap of another depth is taken over into the glass's bitmap (the
// caller's pixels) block by block, each block once.
TEST(MagGlass, ManualModeShowsMovesAndTakesOverABitmap) {
    WarmUpGlass();
    ResourceCheck resources;
    Bitmap pic(48, 48, 24, 2), work(48, 48, 8, 6), other(40, 48, 24, 1);
    const RECT dest{0, 0, 48, 48};
    OwnerWindow w(&pic.b, dest);
    const HWND h = w.Handle();
    const LONG_PTR proc = GetWindowLongPtrA(h, GWLP_WNDPROC);
    GlassSetup s;
    s.Width = s.Height = 32;
    s.Zoom = 100;
    ASSERT_EQ(Start(h, &pic.b, dest, s, nullptr, 0, MAGGLASS_MANUAL), RC_SUCCESS);
    zv::MagGlassRecord *g = Glass(h);
    EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), proc) << "manual mode does not subclass";
    const Pixels under = w.Expected();
    EXPECT_EQ(Z_SetMagGlassPos(h, 20, 20), RC_SUCCESS);
    EXPECT_EQ(Z_ShowMagGlass(h, 1), RC_SUCCESS);
    ExpectShows(w, ModelWindowWithGlass(under, &pic.b, dest, s, 20, 20), "shown");
    EXPECT_EQ(Z_UpdateMagGlassBitmap(h, &work.b, 1), RC_INVALID_PARAMETER) << "shown";
    EXPECT_EQ(Z_UpdateMagGlassRect(h, &dest), RC_INVALID_PARAMETER) << "shown";
    EXPECT_EQ(Z_SetMagGlassPos(h, 24, 22), RC_SUCCESS);
    ExpectShows(w, ModelWindowWithGlass(under, &pic.b, dest, s, 24, 22), "moved");
    EXPECT_EQ(Z_ShowMagGlass(h, 0), RC_SUCCESS);
    ExpectShows(w, under, "hidden");

    EXPECT_EQ(Z_UpdateMagGlassBitmap(h, &other.b, 1), RC_SIZE_MISMATCH);
    ASSERT_EQ(Z_UpdateMagGlassBitmap(h, &work.b, 0), RC_SUCCESS);  // shown, not taken over
    EXPECT_EQ(Z_ShowMagGlass(h, 1), RC_SUCCESS);
    ExpectShows(w, ModelWindowWithGlass(under, &work.b, dest, s, 24, 22), "work bitmap, not taken over");
    EXPECT_EQ(Z_ShowMagGlass(h, 0), RC_SUCCESS);
    EXPECT_NE(K_GetPixelValue(&pic.b, 20, 20), K_GetPixelValue(&work.b, 20, 20));
    ASSERT_EQ(Z_UpdateMagGlassBitmap(h, &work.b, 1), RC_SUCCESS);
    EXPECT_EQ(g->WorkBitmap.BitsPerPixel, 24);
    // The glass at the corner covers blocks 2..5 both ways wholly.
    EXPECT_EQ(Z_SetMagGlassPos(h, 32, 32), RC_SUCCESS);
    const UINT outside = K_GetPixelValue(&pic.b, 10, 10);
    EXPECT_EQ(Z_ShowMagGlass(h, 1), RC_SUCCESS);
    ExpectShows(w, ModelWindowWithGlass(under, &work.b, dest, s, 32, 32), "work bitmap");
    EXPECT_EQ(K_GetPixelValue(&pic.b, 16, 16), K_GetPixelValue(&work.b, 16, 16));
    EXPECT_EQ(K_GetPixelValue(&pic.b, 47, 47), K_GetPixelValue(&work.b, 47, 47));
    EXPECT_EQ(K_GetPixelValue(&pic.b, 10, 10), outside);
    EXPECT_EQ(g->BlockBits[2], 0xF3) << "blocks 16, 17 and 20..23 of rows 2 and 3";
    // A block taken over is not copied again.
    const BYTE mark[3] = {1, 2, 3};
    K_PutBitmapRow(&pic.b, mark, 20, 20 * 3, 3);
    EXPECT_EQ(Z_ShowMagGlass(h, 0), RC_SUCCESS);
    EXPECT_EQ(Z_ShowMagGlass(h, 1), RC_SUCCESS);
    EXPECT_EQ(K_GetPixelValue(&pic.b, 20, 20), 0x010203u);
    EXPECT_EQ(Z_ShowMagGlass(h, 0), RC_SUCCESS);
    EXPECT_EQ(Z_SetMagGlassPos(h, 500, 500), RC_SUCCESS) << "off the image: nothing to take over";
    EXPECT_EQ(Z_UpdateMagGlassBitmap(h, nullptr, 0), RC_SUCCESS);
    EXPECT_FALSE(g->WorkBitmap.Flags & BITMAP_ALLOCATED);
    EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);
    EXPECT_EQ(Z_ShowMagGlass(h, 1), RC_INVALID_PARAMETER) << "no glass";
    EXPECT_EQ(Z_UpdateMagGlassBitmap(h, nullptr, 0), RC_INVALID_PARAMETER);
}

// Bottom-up rows: blocks, answers and the work bitmap's take-over are in
// the displayed image; the bitmap's rows are written upside down.
TEST(MagGlass, BlocksAreThoseOfTheDisplayedImage) {
    WarmUpGlass();
    ResourceCheck resources;
    BitmapHandle up = {};
    ASSERT_EQ(K_CreateBitmap(&up, 12, 10, 24, ORDER_BGR, ORIENT_BOTTOM_LEFT), RC_SUCCESS);
    const RECT dest{0, 0, 48, 40};
    OwnerWindow w(&up, dest);
    const HWND h = w.Handle();
    std::vector<Request> asked;
    GlassSetup s;
    s.Width = s.Height = 40;
    s.Zoom = 100;
    ASSERT_EQ(Start(h, &up, dest, s, nullptr, 0, 0, 0, RecordRequest, &asked), RC_SUCCESS);
    std::vector<COLORREF> colours;
    for (int i = 0; i < 64; ++i)
        colours.push_back(RGB(i, 2 * i, 3 * i));
    const BYTE none = 0;
    EXPECT_EQ(Z_UpdateMagGlassExt(h, colours.data(), &none, 0, 0, 1), RC_SUCCESS);
    EXPECT_EQ(Z_ShowMagGlass(h, 1), RC_INVALID_PARAMETER) << "not in manual mode";
    EXPECT_EQ(Z_SetMagGlassPos(h, 1, 1), RC_INVALID_PARAMETER) << "not in manual mode";
    int wrong = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            wrong += K_GetPixelValue(&Glass(h)->DataBitmap, 9 - y, x) != colours[y * 8 + x];
            wrong += K_GetPixelValue(&up, 9 - y, x) != colours[y * 8 + x];
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);

    Bitmap work(12, 10, 24, 5);  // rows stored bottom up as well
    ASSERT_EQ(K_ChangeBitmapOrientation(&work.b, ORIENT_BOTTOM_LEFT), RC_SUCCESS);
    const COLORREF absent = RGB(1, 2, 3);  // hides nothing
    ASSERT_EQ(Start(h, &up, dest, s, &absent, 1, MAGGLASS_MANUAL), RC_SUCCESS);
    EXPECT_EQ(Z_UpdateMagGlassExt(h, colours.data(), &none, 0, 0, 1), RC_INVALID_PARAMETER) << "manual mode";
    EXPECT_EQ(Z_ShowMagGlass(h, 0), RC_SUCCESS) << "hidden already";
    ASSERT_EQ(Z_UpdateMagGlassBitmap(h, &work.b, 1), RC_SUCCESS);
    RECT masked{};
    EXPECT_EQ(Z_GetBitmapRgnBounds(&Glass(h)->WorkBitmap, nullptr, &masked), RC_SUCCESS) << "the mask region";
    EXPECT_EQ(masked.right * 1000 + masked.bottom, 12010);
    EXPECT_EQ(Z_SetMagGlassPos(h, 24, 20), RC_SUCCESS);  // source (1, 0) - (11, 10)
    EXPECT_EQ(Z_ShowMagGlass(h, 1), RC_SUCCESS);
    for (int y = 0; y < 10; ++y)
        for (int x = 1; x < 11; ++x)
            wrong += K_GetPixelValue(&up, 9 - y, x) != K_GetPixelValue(&work.b, 9 - y, x);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);
    K_FreeBitmap(&up);

    // A turned bitmap: the kernel's copy does flips only, so the take-over
    // fails with its status and the glass stays as it was.
    Bitmap turned(10, 12, 24, 6);
    ASSERT_EQ(K_ChangeBitmapOrientation(&turned.b, ORIENT_RIGHT_TOP), RC_SUCCESS);
    ASSERT_EQ(Start(h, &turned.b, dest, s, nullptr, 0, MAGGLASS_MANUAL), RC_SUCCESS);
    ASSERT_EQ(Z_UpdateMagGlassBitmap(h, &turned.b, 1), RC_SUCCESS);
    EXPECT_EQ(Z_SetMagGlassPos(h, 24, 20), RC_INVALID_FORMAT);
    EXPECT_EQ(Glass(h)->ManualX, 0);
    EXPECT_EQ(Z_ShowMagGlass(h, 1), RC_INVALID_FORMAT);
    EXPECT_EQ(Glass(h)->Shown, 0);
    EXPECT_EQ(Z_StopMagGlass(h), RC_SUCCESS);
}

}  // namespace
