// zvdemo: paints pictures through the display library in a matrix of
// display modes and devices and writes a labelled contact sheet.
//
//   zvdemo.exe [picture.bmp]
//
// Without an argument it paints four built-in pictures (a colour scene, a
// 1-bit text page, a 16-bit gray phantom with window levels, an 8-bit
// palette image); with a BMP file it paints that picture through the
// colour matrix.  Devices of 1, 4 and 8 bits are shown on the true-colour
// sheet by painting as the library paints for them (library dithering to
// their fixed palettes).  Output: out/zvdemo-sheet.bmp and .png.
#include "frame/library.h"
#include "paint/paint_kind.h"
#include "paint/painters.h"
#include "tools/demo/pictures.h"
#include "tools/demo/playback_row.h"
#include "tools/demo/region_row.h"
#include "tools/common/dib_section.h"
#include "tools/common/test_printer.h"
#include "tools/demo/sheet_file.h"
#include "zvdisp.h"
#include "zvkern.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kSheetWidth = 1700;
constexpr int kMaxHeight = 6000;
constexpr int kGap = 14;
constexpr int kLabel = 34;
constexpr uint32_t kPaper = 0xE9E9E9;

constexpr UINT LIB = DISP_LIBRARY_DITHER;
constexpr UINT D8 = DISP_DITHER_8BIT;
constexpr UINT ORD = DISP_ORDERED_DITHER;

struct Sheet {
    zvtools::DibSection dib{kSheetWidth, kMaxHeight};
    HDC dc = dib.dc;
    uint32_t *pixels = dib.bits;
    HFONT label = nullptr, heading = nullptr;
    int x = kGap, y = kGap, rowHeight = 0;
    int failures = 0, tiles = 0;

    bool Create() {
        if (!pixels)
            return false;
        for (size_t i = 0; i < size_t(kSheetWidth) * kMaxHeight; ++i)
            pixels[i] = kPaper;
        label = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Arial");
        heading = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0, "Arial");
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(20, 20, 20));
        return true;
    }
    ~Sheet() {
        DeleteObject(label);
        DeleteObject(heading);
    }

    void Heading(const char *text) {
        NewRow();
        SelectObject(dc, heading);
        TextOutA(dc, kGap, y, text, int(strlen(text)));
        y += 30;
    }
    void NewRow() {
        if (rowHeight) {
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        x = kGap;
    }
    // Room for a tile of w x h; moves to a new row when needed.
    RECT Place(int w, int h) {
        if (x + w + kGap > kSheetWidth)
            NewRow();
        const RECT r{x, y, x + w, y + h};
        x += std::max(w, 150) + kGap;
        rowHeight = std::max(rowHeight, h + kLabel);
        return r;
    }
    void Caption(const RECT &r, const std::string &text, int rc) {
        SelectObject(dc, label);
        std::string line1 = text, line2;
        const size_t cut = text.find('|');
        if (cut != std::string::npos)
            line1 = text.substr(0, cut), line2 = text.substr(cut + 1);
        TextOutA(dc, r.left, r.bottom + 3, line1.c_str(), int(line1.size()));
        if (!line2.empty())
            TextOutA(dc, r.left, r.bottom + 17, line2.c_str(), int(line2.size()));
        if (rc != RC_SUCCESS) {
            ++failures;
            std::printf("  tile \"%s\" failed with status %d\n", text.c_str(), rc);
        }
        ++tiles;
    }
    int Used() const { return std::min(y + rowHeight + kGap, kMaxHeight); }
};

// One tile: bitmap b (its rectangle src, or all of it) painted into w x h
// with display mode `mode`, for a device of deviceBits (24: the sheet).
void Tile(Sheet &s, BitmapHandle *b, const std::string &caption, int deviceBits, UINT mode, int w, int h,
          const RECT *src = nullptr) {
    const RECT dst = s.Place(w, h);
    Z_SetDisplayMode(0xFFFFFFFFu, mode);
    const int kind = zv::ChoosePaintKind(b, deviceBits, mode);
    const int rc = zv::PaintDispatchAs(s.dc, b, src, nullptr, &dst, nullptr, SRCCOPY, deviceBits, kind);
    s.Caption(dst, caption, rc);
}

// The colour matrix for any picture, tiles of about tw x th.
void ColourMatrix(Sheet &s, BitmapHandle *b, int tw, int th) {
    const int w = b->Width, h = b->Height;
    Tile(s, b, "as is|24-bit device", 24, 0, tw, th);
    Tile(s, b, "8-bit 3-3-2|ordered", 8, LIB | D8 | ORD, tw, th);
    Tile(s, b, "8-bit 3-3-2|error diffusion", 8, LIB | D8, tw, th);
    Tile(s, b, "8-bit 6x6x6 cube|ordered", 8, LIB | D8 | ORD | DISP_CUBE_PALETTE, tw, th);
    Tile(s, b, "8-bit 6x6x6 cube|error diffusion", 8, LIB | D8 | DISP_CUBE_PALETTE, tw, th);
    Tile(s, b, "4-bit 16 colours|ordered", 4, LIB | ORD, tw, th);
    Tile(s, b, "4-bit 16 colours|error diffusion", 4, LIB, tw, th);
    Tile(s, b, "1 bit|ordered, dispersed dots", 1, LIB | ORD, tw, th);
    Tile(s, b, "1 bit|ordered, clustered dots", 1, LIB | ORD | DISP_CLUSTERED_DITHER, tw, th);
    Tile(s, b, "1 bit|error diffusion", 1, LIB, tw, th);
    Tile(s, b, "scaled, DDA|(nearest pixel)", 24, 0, tw, th);
    Tile(s, b, "scaled, bilinear|filter", 24, DISP_SCALE_FILTER, tw, th);
    Tile(s, b, "scaled, area-average|filter", 24, DISP_SCALE_FILTER_ALT, tw, th);
    const RECT detail{w * 3 / 4 - w / 12, h * 3 / 4 - h / 12, w * 3 / 4 + w / 12, h * 3 / 4 + h / 12};
    Tile(s, b, "detail x3|DDA", 24, 0, tw, th, &detail);
    Tile(s, b, "detail x3|bilinear", 24, DISP_SCALE_FILTER, tw, th, &detail);
    Tile(s, b, "detail x3|area average", 24, DISP_SCALE_FILTER_ALT, tw, th, &detail);
    Z_SetPaintIntensity(b, 250);
    Tile(s, b, "intensity +250", 24, 0, tw, th);
    Z_SetPaintIntensity(b, 0);
    Z_SetPaintContrast(b, 500);
    Tile(s, b, "contrast +500", 24, 0, tw, th);
    Z_SetPaintContrast(b, 0);
    Z_SetPaintGamma(b, 220);
    Tile(s, b, "gamma 2.20", 24, 0, tw, th);
    Tile(s, b, "gamma 2.20|8-bit 3-3-2 diffusion", 8, LIB | D8, tw, th);
    Z_SetPaintGamma(b, 100);
    s.NewRow();
    const int saved = b->Orientation;
    for (int o : {0, 1, 2, 3, 4, 5, 7, 8}) {
        b->Orientation = o;
        const bool turned = o >= 4;
        char caption[64];
        std::snprintf(caption, sizeof caption, "orientation %d|%s", o,
                      o == 0 ? "as stored" : o == 2 ? "bottom-up rows" : turned ? "axes exchanged" : "mirrored");
        Tile(s, b, caption, 24, 0, turned ? th * 2 / 3 : tw * 2 / 3, turned ? tw * 2 / 3 : th * 2 / 3);
    }
    b->Orientation = saved;
}

void PageMatrix(Sheet &s, BitmapHandle *b) {
    const int tw = b->Width / 4, th = b->Height / 4;
    Tile(s, b, "4:1, DDA|(drops 15 of 16 pixels)", 24, 0, tw, th);
    Tile(s, b, "4:1, scale to gray|(run lengths)", 24, DISP_SCALE_TO_GRAY, tw, th);
    Tile(s, b, "4:1, scale bitonal|(footprint threshold)", 24, DISP_SCALE_BITONAL, tw, th);
    const RECT detail{100, 200, 100 + tw, 200 + th};
    Tile(s, b, "detail 1:1", 24, 0, tw, th, &detail);
    const RECT half{100, 1340, 720, 1720};
    Tile(s, b, "2:1, scale to gray|fine print", 24, DISP_SCALE_TO_GRAY, 310, 190, &half);
    b->Orientation = 8;
    Tile(s, b, "8:1, scale to gray|turned (orientation 8)", 24, DISP_SCALE_TO_GRAY, th / 2, tw / 2);
    b->Orientation = 0;
}

void GrayWindow(BitmapHandle *b, UINT low, UINT high, COLORREF start, COLORREF end, int ramp) {
    std::vector<RGBQUAD> table(4096);
    Z_WindowLevelFillLUT(table.data(), 4096, start, end, low, high, 0, 11, 0, 4095, ramp);
    Z_WindowLevel(b, 0, 11, table.data(), 4096, 1);
}

void GrayMatrix(Sheet &s, BitmapHandle *b) {
    const int t = 256;
    Tile(s, b, "top 8 of 12 bits|no window level", 24, 0, t, t);
    GrayWindow(b, 0, 4095, RGB(0, 0, 0), RGB(255, 255, 255), 1);
    Tile(s, b, "window 0..4095", 24, 0, t, t);
    GrayWindow(b, 900, 1700, RGB(0, 0, 0), RGB(255, 255, 255), 1);
    Tile(s, b, "soft-tissue window|900..1700", 24, 0, t, t);
    Tile(s, b, "soft-tissue window|8-bit 3-3-2 ordered", 8, LIB | D8 | ORD, t, t);
    Tile(s, b, "soft-tissue window|1 bit diffusion", 1, LIB, t, t);
    const RECT detail{180, 170, 340, 330};
    Tile(s, b, "soft-tissue window|detail, bilinear", 24, DISP_SCALE_FILTER, t, t, &detail);
    GrayWindow(b, 250, 650, RGB(0, 0, 160), RGB(255, 230, 0), 1);
    Tile(s, b, "lung window 250..650|colour ramp", 24, 0, t, t);
    GrayWindow(b, 1800, 3600, RGB(40, 0, 0), RGB(255, 255, 255), 0);
    Tile(s, b, "bone window 1800..3600|marked ends", 24, 0, t, t);
}

bool SaveSheet(const Sheet &s) {
    CreateDirectoryA("out", nullptr);
    GdiFlush();
    const int h = s.Used();
    const bool bmp = demo::WriteBmp("out/zvdemo-sheet.bmp", s.pixels, kSheetWidth, h);
    const bool png = demo::WritePng("out/zvdemo-sheet.png", s.pixels, kSheetWidth, h);
    if (bmp)
        std::printf("wrote out/zvdemo-sheet.bmp (%d x %d, 24-bit)\n", kSheetWidth, h);
    if (png)
        std::printf("wrote out/zvdemo-sheet.png (%d x %d)\n", kSheetWidth, h);
    if (!bmp || !png)
        std::printf("could not write the contact sheet under out/\n");
    return bmp && png;
}

// Prints the saved sheet through Z_PrintBitmap on the test printer (a
// PostScript printer whose port writes a file) and renders the job to
// out/zvdemo-print.pdf with Ghostscript.
bool PrintSheet() {
    zvtools::TestPrinter printer;
    std::string why;
    if (!zvtools::InstallTestPrinter(&printer, "zvdisp print test", "LPT2:", "zvdemo-print.ps", true, &why)) {
        std::printf("print: no test printer: %s\n", why.c_str());
        return false;
    }
    BitmapHandle b{};
    if (K_LoadBitmapFile("out/zvdemo-sheet.bmp", &b) != RC_SUCCESS) {
        std::printf("print: cannot load out/zvdemo-sheet.bmp\n");
        return false;
    }
    DeleteFileA(printer.JobPath.c_str());
    const bool printed = Z_PrintBitmap(&b, 0, 0, 0, 0, 1) != nullptr;
    K_FreeBitmap(&b);
    if (!printed) {
        std::printf("print: Z_PrintBitmap failed\n");
        return false;
    }
    wchar_t full[MAX_PATH];
    GetFullPathNameW(L"out\\zvdemo-print.pdf", MAX_PATH, full, nullptr);
    const std::string pdf = zvtools::UnixPathOf(full);
    if (!zvtools::RenderWithGhostscript(printer.JobUnixPath, pdf, "out\\zvdemo-print.pdf", 100, true, nullptr, &why)) {
        std::printf("print: %s\n", why.c_str());
        return false;
    }
    std::printf("printed the sheet through Z_PrintBitmap: out/zvdemo-print.pdf\n");
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    // --print (anywhere): print the sheet afterwards.
    bool print = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--print") == 0) {
            print = true;
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            break;
        }
    // Linked in, the library has no load to register its region operations
    // with the kernel (conversions carry a frame's transparency through them).
    K_SetRegionServiceTable(&zv::RegionServices);
    Sheet sheet;
    if (!sheet.Create()) {
        std::printf("no memory for the contact sheet\n");
        return 1;
    }
    const UINT savedMode = Z_GetDisplayMode();
    if (argc > 1) {
        BitmapHandle b{};
        const int rc = K_LoadBitmapFile(argv[1], &b);
        if (rc != RC_SUCCESS) {
            std::printf("%s: cannot load (status %d)\n", argv[1], rc);
            return 1;
        }
        char title[300];
        std::snprintf(title, sizeof title, "%s: %d x %d, %d bits", argv[1], b.Width, b.Height, b.BitsPerPixel);
        sheet.Heading(title);
        const int tw = 260, th = std::max(1, int(int64_t(b.Height) * tw / std::max(1, b.Width)));
        ColourMatrix(sheet, &b, tw, std::min(th, 400));
        K_FreeBitmap(&b);
    } else {
        BitmapHandle scene{}, page{}, gray{}, pal{};
        if (!demo::MakeScene(&scene) || !demo::MakeTextPage(&page) || !demo::MakeGrayPhantom(&gray) ||
            !demo::MakePaletteImage(&pal)) {
            std::printf("could not make the built-in pictures\n");
            return 1;
        }
        sheet.Heading("Colour scene, 480 x 320, 24 bits: devices, dithering, filters, paint tables, orientations");
        ColourMatrix(sheet, &scene, 240, 160);
        sheet.Heading("Text page, 1240 x 1754, 1 bit: scale to gray and scale bitonal");
        PageMatrix(sheet, &page);
        sheet.Heading("Gray phantom, 512 x 512, 16 bits (12 significant): window levels");
        GrayMatrix(sheet, &gray);
        sheet.Heading("Palette image, 320 x 240, 8 bits: reduced to the fixed palettes");
        Tile(sheet, &pal, "as is", 24, 0, 240, 180);
        Tile(sheet, &pal, "8-bit 3-3-2|ordered", 8, LIB | D8 | ORD, 240, 180);
        Tile(sheet, &pal, "4-bit 16 colours|error diffusion", 4, LIB, 240, 180);
        Tile(sheet, &pal, "1 bit|error diffusion", 1, LIB, 240, 180);
        Tile(sheet, &pal, "bilinear|filter", 24, DISP_SCALE_FILTER, 240, 180);
        pal.Orientation = 7;
        Tile(sheet, &pal, "x1.5, DDA|orientation 7", 24, 0, 360, 480);
        sheet.Heading("Regions on the colour scene: colour selections outlined, highlighted, painted through; underlays");
        if (!demo::RegionTiles(
                &scene, sheet.dc, [&](int w, int h) { return sheet.Place(w, h); },
                [&](const RECT &r, const std::string &caption, int rc) { sheet.Caption(r, caption, rc); }))
            std::printf("could not make the region tiles\n");
        for (BitmapHandle *b : {&scene, &page, &gray, &pal})
            K_FreeBitmap(b);
        sheet.Heading("Animation playback, 240 x 160, 8 frames of 8 bits: transparency, disposal 0 to 3, offsets");
        if (!demo::PlaybackStates([&](BitmapHandle *b, const std::string &caption) {
                Tile(sheet, b, caption, 24, 0, b->Width, b->Height);
            }))
            std::printf("could not make the animation\n");
    }
    Z_SetDisplayMode(0xFFFFFFFFu, savedMode);
    std::printf("%d tiles painted, %d failed\n", sheet.tiles - sheet.failures, sheet.failures);
    const bool saved = SaveSheet(sheet);
    const bool printed = !print || (saved && PrintSheet());
    return saved && printed && sheet.failures == 0 ? 0 : 1;
}
