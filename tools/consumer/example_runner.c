/* Runs the SDK's window examples as a user would and checks what they
 * show:
 *
 *     example_runner EXAMPLES_DIR WORK_DIR
 *
 * It writes a test picture as bottom-up BMP files (8 and 24 bits; a sky,
 * a yellow sun near the top right, green hills along the bottom), starts
 * each example on it, finds its window, clicks with real mouse input,
 * captures the window's client area and compares it with what the
 * picture and the click must give.  The sun's pixels are known here from
 * the geometry alone.  Colours are compared exactly on true-colour
 * screens; on palette screens the picture's parts are told apart instead,
 * and selections are judged by which pixels changed, which does not depend
 * on the screen.  Exits 0 when every check
 * passes; prints one line per check. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define PIC_W 96
#define PIC_H 64
#define SUN_X 70 /* displayed centre */
#define SUN_Y 16
#define SUN_R2 81 /* radius 9 */
#define HILLS_TOP 44

enum { SKY, SUN, HILLS };
static const RGBQUAD kColors[3] = {{200, 120, 80, 0}, {0, 220, 255, 0}, {60, 160, 40, 0}}; /* blue, green, red */

static int g_failures;

static void Check(int ok, const char *what) {
    printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok)
        ++g_failures;
}

static int PixelClass(int x, int y) {
    if ((x - SUN_X) * (x - SUN_X) + (y - SUN_Y) * (y - SUN_Y) <= SUN_R2)
        return SUN;
    return y >= HILLS_TOP ? HILLS : SKY;
}

/* The test picture as a BMP of 8 or 24 bits, bottom-up (as most files
 * are) or top-down. */
static int WritePicture(const char *path, int bits, int topDown) {
    int stride = ((PIC_W * bits / 8) + 3) & ~3, colors = bits == 8 ? 256 : 0, x, y;
    DWORD offset = 14 + 40 + 4 * colors, size = offset + stride * PIC_H;
    BYTE *file = (BYTE *)calloc(1, size);
    BITMAPINFOHEADER *info = (BITMAPINFOHEADER *)(file + 14);
    FILE *f;
    if (!file)
        return 0;
    file[0] = 'B';
    file[1] = 'M';
    memcpy(file + 2, &size, 4);
    memcpy(file + 10, &offset, 4);
    info->biSize = 40;
    info->biWidth = PIC_W;
    info->biHeight = topDown ? -PIC_H : PIC_H; /* positive: bottom-up */
    info->biPlanes = 1;
    info->biBitCount = (WORD)bits;
    info->biClrUsed = (DWORD)colors;
    if (colors)
        memcpy(file + 54, kColors, sizeof kColors);
    for (y = 0; y < PIC_H; ++y) {
        BYTE *row = file + offset + (topDown ? y : PIC_H - 1 - y) * stride; /* bottom-up: file row 0 is the bottom */
        for (x = 0; x < PIC_W; ++x) {
            int c = PixelClass(x, y);
            if (bits == 8)
                row[x] = (BYTE)c;
            else
                memcpy(row + 3 * x, &kColors[c], 3);
        }
    }
    f = fopen(path, "wb");
    x = f && fwrite(file, 1, size, f) == size;
    if (f)
        fclose(f);
    free(file);
    return x;
}

typedef struct Run {
    PROCESS_INFORMATION Process;
    HWND Window;
    char OutPath[MAX_PATH];
} Run;

/* Starts an example with its standard output in a file and waits for its
 * window to show. */
static int StartExample(Run *run, const char *exe, const char *args, const char *windowClass, const char *outPath) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    STARTUPINFOA si;
    char command[3 * MAX_PATH];
    HANDLE out;
    int i;
    memset(run, 0, sizeof *run);
    strcpy(run->OutPath, outPath);
    out = CreateFileA(outPath, GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, NULL);
    if (out == INVALID_HANDLE_VALUE)
        return 0;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    snprintf(command, sizeof command, "\"%s\" %s", exe, args);
    if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &si, &run->Process)) {
        CloseHandle(out);
        return 0;
    }
    CloseHandle(out);
    for (i = 0; i < 600 && !run->Window; ++i) { /* 30 s: a loaded machine starts programs slowly */
        Sleep(50);
        run->Window = FindWindowA(windowClass, NULL);
    }
    if (!run->Window)
        return 0;
    SetForegroundWindow(run->Window);
    Sleep(700); /* shown and painted */
    return 1;
}

static int StopExample(Run *run) {
    DWORD code = 1;
    if (run->Window)
        PostMessageA(run->Window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(run->Process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(run->Process.hProcess, 3);
    GetExitCodeProcess(run->Process.hProcess, &code);
    CloseHandle(run->Process.hProcess);
    CloseHandle(run->Process.hThread);
    return (int)code;
}

typedef struct Capture {
    int Width, Height;
    DWORD *Pixels; /* 0x00RRGGBB, top row first */
} Capture;

/* The client area as the window's own DC shows it. */
static int CaptureClient(HWND hWnd, Capture *cap) {
    BITMAPINFO bi;
    RECT client;
    HDC window = GetDC(hWnd), mem = CreateCompatibleDC(window);
    void *bits = NULL;
    HBITMAP section;
    GetClientRect(hWnd, &client);
    cap->Width = client.right;
    cap->Height = client.bottom;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = cap->Width;
    bi.bmiHeader.biHeight = -cap->Height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    section = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    cap->Pixels = (DWORD *)malloc((size_t)cap->Width * cap->Height * 4);
    if (section && cap->Pixels) {
        HGDIOBJ old = SelectObject(mem, section);
        BitBlt(mem, 0, 0, cap->Width, cap->Height, window, 0, 0, SRCCOPY);
        GdiFlush();
        memcpy(cap->Pixels, bits, (size_t)cap->Width * cap->Height * 4);
        SelectObject(mem, old);
    }
    if (section)
        DeleteObject(section);
    DeleteDC(mem);
    ReleaseDC(hWnd, window);
    return section && cap->Pixels;
}

/* With ZV_EXAMPLE_KEEP set, a capture is kept as a BMP file to look at. */
static void KeepCapture(const Capture *cap, const char *work, const char *name) {
    char path[MAX_PATH];
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    FILE *f;
    if (!getenv("ZV_EXAMPLE_KEEP"))
        return;
    snprintf(path, sizeof path, "%s\\%s.bmp", work, name);
    memset(&fh, 0, sizeof fh);
    memset(&ih, 0, sizeof ih);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + (DWORD)cap->Width * cap->Height * 4;
    ih.biSize = sizeof ih;
    ih.biWidth = cap->Width;
    ih.biHeight = -cap->Height;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    if ((f = fopen(path, "wb")) != NULL) {
        fwrite(&fh, sizeof fh, 1, f);
        fwrite(&ih, sizeof ih, 1, f);
        fwrite(cap->Pixels, 4, (size_t)cap->Width * cap->Height, f);
        fclose(f);
    }
}

/* The left button at client point (x, y): pressed, released, or both. */
static void Button(HWND hWnd, int x, int y, int down, int up) {
    POINT p = {x, y};
    INPUT in[2];
    int n = 0;
    ClientToScreen(hWnd, &p);
    SetCursorPos(p.x, p.y);
    Sleep(100);
    memset(in, 0, sizeof in);
    in[0].type = in[1].type = INPUT_MOUSE;
    if (down)
        in[n++].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    if (up)
        in[n++].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput((UINT)n, in, sizeof in[0]);
}

/* Waits for the example's report of a click; 1 with its numbers. */
static int ReadSelection(const char *outPath, unsigned *pArea, RECT *pBounds) {
    int i;
    for (i = 0; i < 300; ++i) {
        char line[512];
        const char *at;
        FILE *f = fopen(outPath, "r");
        Sleep(50);
        if (!f)
            continue;
        while (fgets(line, sizeof line, f)) {
            if ((at = strstr(line, "status 1, ")) &&
                sscanf(at, "status 1, %u pixels selected, window bounds (%ld, %ld, %ld, %ld)", pArea,
                       &pBounds->left, &pBounds->top, &pBounds->right, &pBounds->bottom) == 5) {
                fclose(f);
                return 1;
            }
        }
        fclose(f);
    }
    return 0;
}

/* The mean colour of the 5 x 5 block around (x, y), and whether every
 * pixel of it is exactly colour c. */
static int BlockAt(const Capture *cap, int x, int y, int c, int mean[3]) {
    int dx, dy, exact = 1;
    DWORD want = (DWORD)kColors[c].rgbRed << 16 | (DWORD)kColors[c].rgbGreen << 8 | kColors[c].rgbBlue;
    mean[0] = mean[1] = mean[2] = 0;
    if (x < 2 || y < 2 || x + 2 >= cap->Width || y + 2 >= cap->Height)
        return 0;
    for (dy = -2; dy <= 2; ++dy)
        for (dx = -2; dx <= 2; ++dx) {
            DWORD p = cap->Pixels[(y + dy) * cap->Width + x + dx];
            mean[0] += (int)(p >> 16 & 0xFF);
            mean[1] += (int)(p >> 8 & 0xFF);
            mean[2] += (int)(p & 0xFF);
            exact &= p == want;
        }
    mean[0] /= 25, mean[1] /= 25, mean[2] /= 25;
    return exact;
}

static int SameColour(const int a[3], const int b[3]) {
    return abs(a[0] - b[0]) <= 24 && abs(a[1] - b[1]) <= 24 && abs(a[2] - b[2]) <= 24;
}

/* The picture, shown in a (width x height) rectangle at the client's
 * corner, is upright with sky, sun and hills where they belong: in their
 * exact colours on a true-colour screen.  A palette screen's window reads
 * back through another palette, so there the classes are told apart
 * instead: two points of a class look alike, points of different classes
 * do not (the sun's mirror image falls in the hills). */
static int ShowsPicture(const Capture *cap, int width, int height, int exactColours) {
    static const int kPoints[6][3] = {{SUN_X, SUN_Y, SUN}, {SUN_X - 4, SUN_Y + 2, SUN}, {8, 8, SKY},
                                      {40, 30, SKY},       {20, 56, HILLS},         {SUN_X, PIC_H - 1 - SUN_Y, HILLS}};
    int mean[6][3], i, j, ok = 1;
    for (i = 0; i < 6; ++i) {
        int exact = BlockAt(cap, kPoints[i][0] * width / PIC_W, kPoints[i][1] * height / PIC_H, kPoints[i][2], mean[i]);
        ok &= !exactColours || exact;
    }
    for (i = 0; i < 6; ++i)
        for (j = i + 1; j < 6; ++j)
            ok &= SameColour(mean[i], mean[j]) == (kPoints[i][2] == kPoints[j][2]);
    return ok;
}

/* The sun's edge, seen at a scale: pixel (x, y) of the window lies within
 * `band` window pixels of a sun pixel and of a non-sun pixel. */
static int NearSunEdge(int x, int y, int scale, int band) {
    int dx, dy, in = 0, out = 0;
    for (dy = -band; dy <= band; ++dy)
        for (dx = -band; dx <= band; ++dx) {
            int px = (x + dx) / scale, py = (y + dy) / scale;
            if (x + dx < 0 || y + dy < 0 || px >= PIC_W || py >= PIC_H || PixelClass(px, py) != SUN)
                ++out;
            else
                ++in;
        }
    return in && out;
}

/* The outline: pixels that changed with the selection all lie on the
 * sun's edge, and there are enough of them to go round it. */
static void CheckOutline(const Capture *before, const Capture *after, int scale, const char *name) {
    int x, y, changed = 0, stray = 0;
    char what[160];
    /* the picture's area only: the rest of the client area is not painted */
    for (y = 0; y < PIC_H * scale && y < before->Height && y < after->Height; ++y)
        for (x = 0; x < PIC_W * scale && x < before->Width && x < after->Width; ++x)
            if (before->Pixels[y * before->Width + x] != after->Pixels[y * after->Width + x]) {
                ++changed;
                if (!NearSunEdge(x, y, scale, scale))
                    ++stray;
            }
    snprintf(what, sizeof what, "%s: the outline goes round the sun (%d pixels changed, %d away from its edge)",
             name, changed, stray);
    Check(changed >= 20 * scale && stray == 0, what);
}

static int SunArea(RECT *pBounds) {
    int x, y, n = 0;
    SetRect(pBounds, PIC_W, PIC_H, 0, 0);
    for (y = 0; y < PIC_H; ++y)
        for (x = 0; x < PIC_W; ++x)
            if (PixelClass(x, y) == SUN) {
                ++n;
                pBounds->left = min(pBounds->left, x);
                pBounds->top = min(pBounds->top, y);
                pBounds->right = max(pBounds->right, x + 1);
                pBounds->bottom = max(pBounds->bottom, y + 1);
            }
    return n;
}

/* The picture shown at `scale` from the client's corner: sky, sun and
 * hills where they belong (the right way up). */
static void CheckPicture(const Capture *cap, int scale, int exactColours, const char *name) {
    char what[160];
    int ok = ShowsPicture(cap, PIC_W * scale, PIC_H * scale, exactColours);
    snprintf(what, sizeof what, "%s: the picture shows upright, sun top right, hills below", name);
    Check(ok, what);
}

/* A magic-wand example: click the sun, which must be selected whole and
 * alone, and outlined where it shows. */
static void RunWand(const char *dir, const char *exe, const char *args, const char *windowClass, int scale,
                    int exactColours, const char *work) {
    char path[MAX_PATH], outPath[MAX_PATH], what[200];
    Capture before = {0, 0, NULL}, after = {0, 0, NULL};
    RECT expected, bounds;
    unsigned area = 0;
    int sunArea = SunArea(&expected), started, got;
    Run run;
    snprintf(path, sizeof path, "%s\\%s", dir, exe);
    snprintf(outPath, sizeof outPath, "%s\\%s.txt", work, exe);
    started = StartExample(&run, path, args, windowClass, outPath);
    Check(started, exe);
    if (started && CaptureClient(run.Window, &before)) {
        CheckPicture(&before, scale, exactColours, exe);
        Button(run.Window, SUN_X * scale + scale / 2, SUN_Y * scale + scale / 2, 1, 1);
        got = ReadSelection(outPath, &area, &bounds);
        snprintf(what, sizeof what, "%s: clicking the sun selects its %d pixels (got %u) within (%ld, %ld, %ld, %ld)",
                 exe, sunArea, area, expected.left * scale, expected.top * scale, expected.right * scale,
                 expected.bottom * scale);
        Check(got && area == (unsigned)sunArea && bounds.left == expected.left * scale &&
                  bounds.top == expected.top * scale && bounds.right == expected.right * scale &&
                  bounds.bottom == expected.bottom * scale,
              what);
        Sleep(400);
        if (CaptureClient(run.Window, &after))
            CheckOutline(&before, &after, scale, exe);
    }
    snprintf(what, sizeof what, "%s: closes with status 0", exe);
    Check(StopExample(&run) == 0, what);
    free(before.Pixels);
    free(after.Pixels);
}

/* Pixels of the picture's area that show the sun's colour (as the sun's
 * centre shows it in `ref`, so that palette screens count alike). */
static int SunPixels(const Capture *cap, const Capture *ref, int scale) {
    DWORD sun = ref->Pixels[SUN_Y * scale * ref->Width + SUN_X * scale];
    int x, y, n = 0;
    for (y = 0; y < PIC_H * scale && y < cap->Height; ++y)
        for (x = 0; x < PIC_W * scale && x < cap->Width; ++x)
            n += cap->Pixels[y * cap->Width + x] == sun;
    return n;
}

/* The magnifier: holding the button over the sun shows it larger; letting
 * go puts the picture back. */
static void RunGlass(const char *dir, const char *work, const char *picture) {
    char path[MAX_PATH], outPath[MAX_PATH], args[MAX_PATH + 32], what[200];
    Capture before = {0, 0, NULL}, held = {0, 0, NULL}, after = {0, 0, NULL};
    Run run;
    int started, scale = 2;
    snprintf(path, sizeof path, "%s\\magnifier.exe", dir);
    snprintf(outPath, sizeof outPath, "%s\\magnifier.txt", work);
    snprintf(args, sizeof args, "\"%s\" %d %d", picture, scale * PIC_W, scale * PIC_H);
    started = StartExample(&run, path, args, "zvdisp magnifier", outPath);
    Check(started, "magnifier.exe");
    if (started && CaptureClient(run.Window, &before)) {
        int x = SUN_X * scale, y = SUN_Y * scale, n0, n1 = 0, n2 = 0;
        Button(run.Window, x, y, 1, 0);
        Sleep(500);
        if (CaptureClient(run.Window, &held))
            n1 = SunPixels(&held, &before, scale);
        KeepCapture(&held, work, "magnifier-held");
        KeepCapture(&before, work, "magnifier-before");
        Button(run.Window, x, y, 0, 1);
        Sleep(500);
        if (CaptureClient(run.Window, &after))
            n2 = SunPixels(&after, &before, scale);
        n0 = SunPixels(&before, &before, scale);
        snprintf(what, sizeof what, "magnifier.exe: the glass shows the sun larger (%d sun pixels, %d under the glass)",
                 n0, n1);
        Check(n0 > 0 && n1 > 2 * n0, what);
        snprintf(what, sizeof what, "magnifier.exe: releasing the button puts the picture back (%d sun pixels)", n2);
        Check(n2 == n0, what);
    }
    Check(StopExample(&run) == 0, "magnifier.exe: closes with status 0");
    free(before.Pixels);
    free(held.Pixels);
    free(after.Pixels);
}

/* Red pixels (the ball; the sky is blue, dithered or not) counted, and
 * how many of them lie outside rows [top, bottom). */
static int BallPixels(const Capture *cap, int top, int bottom, int *pOutside) {
    int x, y, n = 0;
    *pOutside = 0;
    for (y = 0; y < cap->Height; ++y)
        for (x = 0; x < cap->Width; ++x)
            if ((int)(cap->Pixels[y * cap->Width + x] >> 16 & 0xFF) > (int)(cap->Pixels[y * cap->Width + x] & 0xFF) + 40) {
                ++n;
                *pOutside += y < top || y >= bottom;
            }
    return n;
}

/* The animation: a ball shows in its band and moves between two looks. */
static void RunAnimation(const char *dir, const char *work) {
    char path[MAX_PATH], outPath[MAX_PATH], what[200];
    Capture a = {0, 0, NULL}, b = {0, 0, NULL};
    Run run;
    int started;
    snprintf(path, sizeof path, "%s\\animation.exe", dir);
    snprintf(outPath, sizeof outPath, "%s\\animation.txt", work);
    started = StartExample(&run, path, "192 128", "zvdisp animation", outPath);
    Check(started, "animation.exe");
    if (started && CaptureClient(run.Window, &a)) {
        int outsideA, outsideB = 0, na = BallPixels(&a, 48, 80, &outsideA), nb = 0;
        Sleep(170);
        if (CaptureClient(run.Window, &b))
            nb = BallPixels(&b, 48, 80, &outsideB);
        snprintf(what, sizeof what, "animation.exe: the ball shows in its band (%d and %d pixels, %d and %d outside)",
                 na, nb, outsideA, outsideB);
        Check(na >= 200 && nb >= 200 && outsideA == 0 && outsideB == 0, what);
        Check(nb > 0 && memcmp(a.Pixels, b.Pixels, (size_t)a.Width * a.Height * 4) != 0,
              "animation.exe: the ball moves");
    }
    Check(StopExample(&run) == 0, "animation.exe: closes with status 0");
    free(a.Pixels);
    free(b.Pixels);
}

/* Printing to a file: print_bmp must end well and leave a PostScript job
 * (examples.sh renders it and looks at the page). */
static void RunPrint(const char *dir, const char *work, const char *picture) {
    char path[MAX_PATH], outPath[MAX_PATH], args[3 * MAX_PATH], head[5] = {0};
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    DWORD code = 1;
    FILE *f;
    snprintf(path, sizeof path, "%s\\print_bmp.exe", dir);
    snprintf(outPath, sizeof outPath, "%s\\print_bmp.ps", work);
    snprintf(args, sizeof args, "\"%s\" \"%s\" \"%s\"", path, picture, outPath);
    DeleteFileA(outPath);
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (CreateProcessA(NULL, args, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 3);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    Check(code == 0, "print_bmp.exe: prints to a file with status 0");
    if ((f = fopen(outPath, "rb")) != NULL) {
        if (fread(head, 1, 4, f) != 4)
            head[0] = 0;
        fclose(f);
    }
    Check(strcmp(head, "%!PS") == 0, "print_bmp.exe: the file is a PostScript job");
}

static void RunPaint(const char *dir, const char *work, int exactColours) {
    char path[MAX_PATH], outPath[MAX_PATH], args[MAX_PATH + 16];
    Capture cap = {0, 0, NULL};
    Run run;
    int started;
    snprintf(path, sizeof path, "%s\\paint_bmp.exe", dir);
    snprintf(outPath, sizeof outPath, "%s\\paint_bmp.txt", work);
    snprintf(args, sizeof args, "\"%s\\picture8.bmp\" ordered", work);
    started = StartExample(&run, path, args, "zvdisp paint_bmp", outPath);
    Check(started, "paint_bmp.exe");
    if (started && CaptureClient(run.Window, &cap)) {
        /* stretched to the client area */
        Check(ShowsPicture(&cap, cap.Width, cap.Height, exactColours), "paint_bmp.exe: the 8-bit picture shows in its own colours, upright");
    }
    Check(StopExample(&run) == 0, "paint_bmp.exe: closes with status 0");
    free(cap.Pixels);
}

int main(int argc, char **argv) {
    char p8[MAX_PATH], p24[MAX_PATH], p24td[MAX_PATH], args[MAX_PATH + 32];
    HDC screen = GetDC(NULL);
    int palette = GetDeviceCaps(screen, BITSPIXEL) <= 8;
    ReleaseDC(NULL, screen);
    if (argc < 3) {
        fprintf(stderr, "usage: example_runner EXAMPLES_DIR WORK_DIR\n");
        return 2;
    }
    snprintf(p8, sizeof p8, "%s\\picture8.bmp", argv[2]);
    snprintf(p24, sizeof p24, "%s\\picture24.bmp", argv[2]);
    snprintf(p24td, sizeof p24td, "%s\\picture24-topdown.bmp", argv[2]);
    if (!WritePicture(p8, 8, 0) || !WritePicture(p24, 24, 0) || !WritePicture(p24td, 24, 1)) {
        fprintf(stderr, "example_runner: cannot write the test pictures in %s\n", argv[2]);
        return 1;
    }
    printf("example runs on a %s screen\n", palette ? "palette (8-bit)" : "true-colour");
    snprintf(args, sizeof args, "\"%s\"", p8);
    RunWand(argv[1], "magic_wand.exe", args, "zvdisp magic_wand", 1, !palette, argv[2]);
    /* the 24-bit picture fitted at twice its size, filtered */
    snprintf(args, sizeof args, "\"%s\" area %d %d", p24, 2 * PIC_W, 2 * PIC_H);
    RunWand(argv[1], "fit_view.exe", args, "zvdisp fit_view", 2, !palette, argv[2]);
    RunPaint(argv[1], argv[2], !palette);
    /* The glass runs on the top-down picture: over a bottom-up one
     * (Orientation 2) the library's glass shows the rows mirrored (its
     * source rectangle is turned to stored rows and then painted as
     * displayed).  Give it p24 once that is mended. */
    RunGlass(argv[1], argv[2], p24td);
    RunAnimation(argv[1], argv[2]);
    RunPrint(argv[1], argv[2], p24);
    printf("%d failures\n", g_failures);
    return g_failures ? 1 : 0;
}
