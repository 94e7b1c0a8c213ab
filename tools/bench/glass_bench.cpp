// Magnifying-glass latency: from a mouse move to the glass repainted, over
// a 4000 x 3000 24-bit bitmap shown at 1:1, glass 256 x 256 at zoom 400,
// for each shape, beside one Z_PaintDC of the glass's source rectangle at
// that zoom into a memory DC (the paint every move needs at least).  The
// move is the owner window's WM_MOUSEMOVE with the button down, as the
// glass receives it; GdiFlush ends each one, so the time includes the
// pixels reaching the window.  Each figure also says how much of a move
// is the owner's repaint of the area the glass left (Wine's window
// system, which a move cannot avoid) and how much the glass's own work.  Then the on-demand path: a bitmap whose
// data arrives block by block as the glass asks for it; no block may be
// asked for twice.
//
//   zvglassbench.exe [moves per figure, default 400]
#include "tools/common/bench_clock.h"
#include "tools/common/dib_section.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using zvtools::Now;

constexpr int kWidth = 4000, kHeight = 3000, kGlass = 256, kZoom = 400;

// A smooth picture with some detail, so that no paint is a flat fill.
void FillPicture(BitmapHandle &b) {
    std::vector<BYTE> row(size_t(b.BytesPerLine));
    for (int y = 0; y < b.Height; ++y) {
        for (int x = 0; x < b.Width; ++x) {
            row[3 * x] = BYTE(x * 255 / b.Width);
            row[3 * x + 1] = BYTE(y * 255 / b.Height);
            row[3 * x + 2] = BYTE((x ^ y) * 7);
        }
        K_PutBitmapRow(&b, row.data(), y, 0, b.BytesPerLine);
    }
}

LRESULT CALLBACK OwnerProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcA(h, msg, w, l);
}

void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&m);
}

// The glass centre of move i: a walk over the window, never the same
// point twice in a row.
POINT MovePoint(int i) { return POINT{200 + (i * 7) % 400, 200 + (i * 3) % 200}; }

// Mean seconds per move of `moves` moves with the button held.
double TimeMoves(HWND h, int moves) {
    POINT p = MovePoint(0);
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    Pump();
    const double t0 = Now();
    for (int i = 1; i <= moves; ++i) {
        p = MovePoint(i);
        SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        GdiFlush();
    }
    const double t = (Now() - t0) / moves;
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    Pump();
    return t;
}

// The glass's shape centred on p, as a GDI region.
HRGN ShapeAt(int shape, HRGN star, POINT p) {
    const int l = p.x - kGlass / 2, t = p.y - kGlass / 2;
    if (shape == 0)
        return CreateRectRgn(l, t, l + kGlass, t + kGlass);
    if (shape == 1)
        return CreateEllipticRgn(l, t, l + kGlass, t + kGlass);
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(r, star, nullptr, RGN_COPY);
    OffsetRgn(r, l, t);
    return r;
}

// What every move must have the owner do whatever the glass costs: the
// area the glass leaves invalidated and repainted at once (the owner's
// WM_PAINT paints nothing here, so this is the window system's part).
double TimeGiveBack(HWND h, int shape, HRGN star, int moves) {
    const double t0 = Now();
    for (int i = 1; i <= moves; ++i) {
        HRGN left = ShapeAt(shape, star, MovePoint(i - 1)), now = ShapeAt(shape, star, MovePoint(i));
        CombineRgn(left, left, now, RGN_DIFF);
        InvalidateRgn(h, left, FALSE);
        UpdateWindow(h);
        DeleteObject(left);
        DeleteObject(now);
    }
    return (Now() - t0) / moves;
}

// The on-demand side of an application: answers each request at once
// from the full picture and counts blocks asked for more than once.
struct Supplier {
    HWND window = nullptr;
    const BitmapHandle *full = nullptr;
    std::vector<BYTE> asked;  // per block
    int requests = 0, blocks = 0, twice = 0;
    struct Pending {
        int first, last;
        std::vector<BYTE> present;
    };
    std::vector<Pending> pending;
};

int __stdcall OnRequest(HWND, int first, int last, const BYTE *present, int bytes, void *data) {
    auto *s = static_cast<Supplier *>(data);
    s->pending.push_back({first, last, std::vector<BYTE>(present, present + bytes)});
    return 0;
}

// Answers what is pending (each answer replays one held-back event).
void Answer(Supplier &s) {
    const int across = (kWidth + 7) / 8;
    while (!s.pending.empty()) {
        Supplier::Pending p = s.pending.front();
        s.pending.erase(s.pending.begin());
        ++s.requests;
        std::vector<COLORREF> colours;
        int n = 0;
        for (int r = p.first / across; r <= p.last / across; ++r)
            for (int c = p.first % across; c <= p.last % across; ++c, ++n) {
                if ((p.present[n / 8] >> (n % 8)) & 1)
                    continue;
                const int block = r * across + c;
                s.twice += s.asked[block] ? 1 : 0;
                s.asked[block] = 1;
                ++s.blocks;
                for (int y = r * 8; y < r * 8 + 8 && y < kHeight; ++y)
                    for (int x = c * 8; x < c * 8 + 8 && x < kWidth; ++x)
                        colours.push_back(K_GetPixelValue(s.full, y, x));
            }
        Z_UpdateMagGlassExt(s.window, colours.data(), p.present.data(), p.first, p.last, 1);
    }
}

}  // namespace

int main(int argc, char **argv) {
    const int moves = argc > 1 ? std::atoi(argv[1]) : 400;
    BitmapHandle picture{};
    if (K_CreateBitmap(&picture, kWidth, kHeight, 24, ORDER_BGR, ORIENT_TOP_LEFT) != RC_SUCCESS)
        return 1;
    FillPicture(picture);

    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "zvglassbench";
    RegisterClassA(&wc);
    HWND h = CreateWindowA(wc.lpszClassName, "glass", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                           wc.hInstance, nullptr);
    Pump();
    const RECT dest{0, 0, kWidth, kHeight};  // 1:1
    HDC screen = GetDC(nullptr);
    std::printf("glass %d x %d at zoom %d over a %d x %d 24-bit bitmap, screen %d bits, %d moves a figure\n", kGlass,
                kGlass, kZoom, kWidth, kHeight, GetDeviceCaps(screen, BITSPIXEL), moves);
    ReleaseDC(nullptr, screen);

    // The baseline: the glass's source rectangle painted at the zoom.
    zvtools::DibSection target(kGlass, kGlass);
    const int side = kGlass * 100 / kZoom;
    const double paint = zvtools::Best(0.5, [&] {
        for (int i = 1; i <= moves; ++i) {
            const POINT p = MovePoint(i);
            RECT src{p.x - side / 2, p.y - side / 2, p.x + side / 2, p.y + side / 2};
            RECT dst{0, 0, kGlass, kGlass};
            Z_PaintDC(target.dc, &picture, &src, nullptr, &dst, nullptr, SRCCOPY);
            GdiFlush();
        }
    }) / moves;
    std::printf("one Z_PaintDC of the glass's source rectangle into a memory DC: %.1f us\n", paint * 1e6);

    POINT points[10];  // a five-pointed star filling the glass
    for (int i = 0; i < 10; ++i) {
        const double a = i * 3.14159265 / 5, r = i % 2 ? 60 : 128;
        points[i] = POINT{LONG(128 + r * std::sin(a)), LONG(128 - r * std::cos(a))};
    }
    HRGN star = CreatePolygonRgn(points, 10, WINDING);
    const char *names[] = {"rectangle", "ellipse", "region (a star)"};
    for (int shape = 0; shape < 3; ++shape) {
        if (Z_StartMagGlass(h, &picture, &dest, kGlass, kGlass, kZoom, RGB(255, 0, 0), nullptr, 0, shape == 1, 1, 0, 0,
                            nullptr, 0, 1, 0, 0) != RC_SUCCESS)
            return 1;
        if (shape == 2)
            Z_UpdateMagGlassShape(h, 2, star);
        double best = 1e30, back = 1e30;
        for (int run = 0; run < 3; ++run) {
            best = std::min(best, TimeMoves(h, moves));
            back = std::min(back, TimeGiveBack(h, shape, star, moves));
        }
        std::printf("%-16s %8.1f us a move, ratio %6.2f (target 2.0 or less); of it the owner's repaint of the "
                    "left area %8.1f us, the glass's own %7.1f us (%.2f x the paint)\n",
                    names[shape], best * 1e6, best / paint, back * 1e6, (best - back) * 1e6, (best - back) / paint);
        Z_StopMagGlass(h);
    }
    DeleteObject(star);

    // On demand: an empty bitmap of the picture's size fills block by
    // block from the answers.
    BitmapHandle empty{};
    K_CreateBitmap(&empty, kWidth, kHeight, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    Supplier s;
    s.window = h;
    s.full = &picture;
    s.asked.assign(size_t((kWidth + 7) / 8) * ((kHeight + 7) / 8), 0);
    if (Z_StartMagGlassExt(h, &empty, &dest, kGlass, kGlass, kZoom, RGB(255, 0, 0), nullptr, 0, 0, 1, 0, 0, nullptr,
                           0, 0, 1, 0, 0, OnRequest, &s) != RC_SUCCESS)
        return 1;
    POINT p = MovePoint(0);
    const double t0 = Now();
    SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    Answer(s);
    for (int i = 1; i <= moves; ++i) {
        p = MovePoint(i);
        SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        Answer(s);
        GdiFlush();
    }
    const double t = (Now() - t0) / (moves + 1);
    SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    Answer(s);
    Z_StopMagGlass(h);
    std::printf("on demand: %d requests, %d blocks asked, %d asked twice, %.1f us a move with its answer\n",
                s.requests, s.blocks, s.twice, t * 1e6);

    DestroyWindow(h);
    K_FreeBitmap(&empty);
    K_FreeBitmap(&picture);
    return s.twice == 0 ? 0 : 1;
}
