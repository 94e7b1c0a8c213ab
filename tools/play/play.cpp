// zvplay: plays an animation in a window through the display library's
// playback state machine.
//
//   zvplay.exe [options] [file.bmp[:delay] ...]
//
// Without files it plays a generated animation (transparency, the four
// disposal methods, frames at moving offsets); with BMP files it plays
// them in turn, each for its delay in milliseconds (default 500).  A key
// or a click ends the current wait; the animation loops.  Options:
//   --frames N        end after N frames were drawn (and painted)
//   --capture F.bmp   at the end, write the window's client area to F.bmp
//   --no-wait         cancel every wait at once (as fast as it paints)
// At the end it prints "index I state S drawn N".
#include "tools/common/animation.h"
#include "tools/common/dib_section.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Player {
    HWND window = nullptr;
    BitmapHandle target{};
    PlaybackHandle playback = nullptr;
    int framesWanted = -1, framesDrawn = 0;
    bool noWait = false;
    const char *capture = nullptr;
};

Player g;

constexpr UINT_PTR kTimer = 1;

// Paints the target's rectangle r (stored = shown: the target is top-down).
void PaintRect(HDC dc, const RECT &r) {
    Z_PaintDC(dc, &g.target, &r, nullptr, &r, nullptr, SRCCOPY);
}

// Runs the state machine until it waits (or a bound of steps), painting
// every update rectangle as it comes.
void Advance() {
    for (int steps = 0; steps < 64; ++steps) {
        UINT state = 0;
        Z_ProcessPlayback(g.playback, &state);
        RECT r;
        Z_GetPlaybackUpdateRect(g.playback, &r, 1);
        if (!IsRectEmpty(&r)) {
            HDC dc = GetDC(g.window);
            PaintRect(dc, r);
            ReleaseDC(g.window, dc);
        }
        if (state == PLAYSTATE_RENDERED && ++g.framesDrawn == g.framesWanted) {
            GdiFlush();
            PostMessageA(g.window, WM_CLOSE, 0, 0);
            return;
        }
        if (state >= PLAYSTATE_WAIT_INPUT && state <= PLAYSTATE_WAIT_DELAY_INPUT) {
            if (!g.noWait)
                return;
            Z_CancelPlaybackWait(g.playback);
        }
    }
}

bool Capture(const char *file) {
    RECT c;
    GetClientRect(g.window, &c);
    zvtools::DibSection dib(c.right, c.bottom);
    if (!dib.bits)
        return false;
    HDC dc = GetDC(g.window);
    BitBlt(dib.dc, 0, 0, c.right, c.bottom, dc, 0, 0, SRCCOPY);
    ReleaseDC(g.window, dc);
    GdiFlush();
    BitmapHandle b{};  // a descriptor over the DIB section's pixels
    b.Data = reinterpret_cast<uint8_t *>(dib.bits);
    b.Width = c.right, b.Height = c.bottom, b.BitsPerPixel = 32, b.BytesPerLine = 4 * c.right;
    b.Flags = BITMAP_ALLOCATED | BITMAP_CONTIGUOUS;
    b.Order = ORDER_BGR;
    b.PaintGamma = 100;
    return K_SaveBitmapFile(file, &b) == RC_SUCCESS;
}

LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_TIMER:
        Advance();
        return 0;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
        Z_CancelPlaybackWait(g.playback);
        Advance();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hWnd, &ps);
        const RECT all{0, 0, g.target.Width, g.target.Height};
        PaintRect(dc, all);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_CLOSE:
        KillTimer(hWnd, kTimer);
        if (g.capture && !Capture(g.capture))
            std::printf("could not write %s\n", g.capture);
        DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

// Frames from BMP files "name[:delay]"; the target takes the largest size.
void *LoadFrames(int count, char **names, int *pWidth, int *pHeight) {
    void *list = nullptr;
    if (K_CreateBitmapList(&list) != RC_SUCCESS)
        return nullptr;
    for (int i = 0; i < count; ++i) {
        std::string name = names[i];
        unsigned delay = 500;
        const size_t colon = name.rfind(':');
        if (colon != std::string::npos && colon > 1) {
            delay = unsigned(std::atoi(name.c_str() + colon + 1));
            name.resize(colon);
        }
        BitmapHandle f{};
        const int rc = K_LoadBitmapFile(name.c_str(), &f);
        if (rc != RC_SUCCESS) {
            std::printf("%s: cannot load (status %d)\n", name.c_str(), rc);
            K_DestroyBitmapList(list);
            return nullptr;
        }
        f.Delay = delay;
        *pWidth = std::max(*pWidth, f.Width);
        *pHeight = std::max(*pHeight, f.Height);
        K_InsertBitmapListItem(list, -1, &f);
    }
    return list;
}

}  // namespace

int main(int argc, char **argv) {
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        if (!std::strcmp(argv[first], "--frames") && first + 1 < argc)
            g.framesWanted = std::atoi(argv[++first]);
        else if (!std::strcmp(argv[first], "--capture") && first + 1 < argc)
            g.capture = argv[++first];
        else if (!std::strcmp(argv[first], "--no-wait"))
            g.noWait = true;
    }
    zvtools::AnimationPlan plan;
    void *list = nullptr;
    if (first < argc) {
        plan.Width = plan.Height = 1;
        list = LoadFrames(argc - first, argv + first, &plan.Width, &plan.Height);
    } else {
        list = zvtools::MakeAnimation(plan);
    }
    if (!list || !zvtools::MakeAnimationTarget(plan, &g.target) ||
        Z_CreatePlayback(&g.playback, &g.target, list) != RC_SUCCESS) {
        std::printf("could not set up the animation\n");
        return 1;
    }
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "ZvPlayWindow";
    RegisterClassA(&wc);
    RECT frame{0, 0, plan.Width, plan.Height};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    g.window = CreateWindowA("ZvPlayWindow", "zvplay", style | WS_VISIBLE, 0, 0, frame.right - frame.left,
                             frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (!g.window) {
        std::printf("could not create the window\n");
        return 1;
    }
    SetTimer(g.window, kTimer, 10, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    int index = 0;
    UINT state = 0;
    Z_GetPlaybackIndex(g.playback, &index);
    Z_GetPlaybackState(g.playback, &state);
    std::printf("index %d state %u drawn %d\n", index, state, g.framesDrawn);
    Z_DestroyPlayback(g.playback, nullptr);
    K_DestroyBitmapList(list);
    K_FreeBitmap(&g.target);
    return 0;
}
