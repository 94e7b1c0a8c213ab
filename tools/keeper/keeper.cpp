// zvkeeper: a do-nothing Win32 GUI process.
//
// Wine empties its clipboard when the last GUI process of a prefix exits, so
// data put on the clipboard by one test process is gone before the next one
// starts.  Running this program in the background keeps a GUI process (and
// with it Wine's desktop process, which holds the clipboard) alive between
// tests.  It owns one hidden top-level window and pumps messages until the
// window is closed or the process is killed.
//
// Usage: zvkeeper.exe [ready-file]
// When a path is given, the file is created once the window exists, so that
// the script that starts the keeper can wait until it is really up.

#include <windows.h>
#include <stdlib.h>

namespace {

const char kClassName[] = "ZvKeeperWindow";

LRESULT CALLBACK keeper_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

void signal_ready(const char *path)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = keeper_proc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc))
        return 1;

    // Never shown: no WS_VISIBLE and no ShowWindow.
    HWND hwnd = CreateWindowExA(0, kClassName, "zvkeeper", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 1, 1,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 1;

    if (__argc > 1)
        signal_ready(__argv[1]);

    MSG msg;
    BOOL r;
    while ((r = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (r == -1)
            return 1;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
