// The painter kind: the whole decision table for every depth, device class
// and relevant mode bits against a reference written from the table, the
// gray test, and the device class of real device contexts.
#include "support.h"

#include "paint/fixed_palettes.h"
#include "paint/paint_kind.h"

#include <string>
#include <vector>

namespace {

// A bitmap chosen for the answers the decision asks of it.
struct Sample {
    std::string name;
    int bits = 24, order = ORDER_BGR;
    std::vector<RGBQUAD> palette, window;
    bool windowInForce = false;
    // What the decision should find out about it:
    int grayAnswer = 0;         // the kernel's gray test (1-bit)
    bool standard16 = false;    // first 16 entries are the 16-colour table
    bool rgb332 = false;        // 256 entries are the 3-3-2 table
    bool grayImage = false;     // 12/16 bits: gray with its window view
};

Sample Make(std::string name, int bits, int order = ORDER_BGR) {
    Sample s;
    s.name = std::move(name);
    s.bits = bits;
    s.order = order;
    return s;
}

RGBQUAD Gray(int v) { return RGBQUAD{BYTE(v), BYTE(v), BYTE(v), 0}; }

std::vector<Sample> Samples() {
    std::vector<Sample> s;
    auto add = [&](Sample x) { s.push_back(x); };
    Sample bw = Make("1 black-white", 1);
    bw.palette = {Gray(0), Gray(255)};
    bw.grayAnswer = 1;
    add(bw);
    Sample wb = Make("1 white-black", 1);
    wb.palette = {Gray(255), Gray(0)};
    wb.grayAnswer = 2;
    add(wb);
    Sample colour1 = Make("1 colour", 1);
    colour1.palette = {RGBQUAD{0, 0, 255, 0}, Gray(255)};
    add(colour1);
    for (int bits : {2, 3, 5, 6, 7}) {
        Sample x = Make(std::to_string(bits), bits);
        x.palette.resize(1u << bits, Gray(7));
        add(x);
    }
    Sample vga = Make("4 standard", 4);
    vga.palette.assign(zv::Vga16Palette.begin(), zv::Vga16Palette.end());
    vga.standard16 = true;
    add(vga);
    Sample four = Make("4 other", 4);
    four.palette = vga.palette;
    four.palette[8] = Gray(191);
    add(four);
    Sample p332 = Make("8 3-3-2", 8);
    p332.palette.assign(zv::Rgb332Palette.begin(), zv::Rgb332Palette.end());
    p332.rgb332 = true;
    add(p332);
    Sample eight = Make("8 other", 8);
    eight.palette = p332.palette;
    eight.palette[255] = Gray(254);
    add(eight);
    for (int bits : {12, 16}) {
        Sample g = Make(std::to_string(bits) + " gray", bits, ORDER_GRAY);
        g.grayImage = true;
        add(g);
        Sample gw = g;
        gw.name += " gray table";
        for (int i = 0; i < 64; ++i)
            gw.window.push_back(Gray(i * 4));
        add(gw);
        Sample cw = gw;
        cw.name = std::to_string(bits) + " colour table";
        cw.window[5].rgbRed = 1;
        cw.grayImage = false;
        add(cw);
        Sample cwf = cw;
        cwf.name += " in force";
        cwf.windowInForce = true;
        add(cwf);
        Sample c = Make(std::to_string(bits) + " colour", bits, ORDER_BGR);
        add(c);
    }
    add(Make("24", 24, ORDER_BGR));
    add(Make("24 rgb", 24, ORDER_RGB));
    add(Make("24 order 5", 24, ORDER_BGR_CONVERT));
    for (int bits : {32, 48, 64, 9, 10, 0, 20})
        add(Make(std::to_string(bits), bits, ORDER_BGR));
    return s;
}

struct Made {
    BitmapHandle b{};
    std::vector<RGBQUAD> palette, window;
    explicit Made(const Sample &s) : palette(s.palette), window(s.window) {
        b.Flags = BITMAP_ALLOCATED | (s.windowInForce ? BITMAP_WINDOW_LEVEL : 0);
        b.BitsPerPixel = s.bits;
        b.Order = s.order;
        b.Palette = palette.empty() ? nullptr : palette.data();
        b.ColorCount = int(palette.size());
        b.WindowLUT = window.empty() ? nullptr : window.data();
        b.WindowLUTLength = UINT(window.size());
        b.HighBit = s.bits - 1;
        b.WindowLowBit = 3;
        b.WindowHighBit = 4;
    }
};

// The decision table, row by row as it is written.
int Expected(const Sample &s, int dev, UINT mode) {
    const bool lib = mode & DISP_LIBRARY_DITHER, d8 = mode & DISP_DITHER_8BIT;
    const bool toGray = mode & DISP_SCALE_TO_GRAY, bitonal = mode & DISP_SCALE_BITONAL;
    switch (s.bits) {
    case 1:
        if (toGray && dev > 1)
            return s.grayAnswer == 1 ? 3 : s.grayAnswer == 2 ? 4 : (lib && d8 ? 2 : 0);
        if (bitonal)
            return s.grayAnswer == 1 ? 5 : s.grayAnswer == 2 ? 6 : (lib && d8 ? 2 : 0);
        return lib && d8 && dev == 8 ? 2 : 0;
    case 2: case 3: case 5: case 6: case 7:
        return lib && ((d8 && dev <= 8) || (!d8 && dev < 8)) ? 2 : 1;
    case 4:
        if (!lib)
            return 0;
        if (dev == 1)
            return 2;
        if (dev == 4)
            return s.standard16 ? 0 : 2;
        if (dev == 8)
            return d8 ? 2 : 0;
        return 0;
    case 8:
        if (!lib)
            return 0;
        if (dev < 8)
            return 2;
        if (dev == 8 && d8)
            return s.rgb332 ? 0 : 2;
        return 0;
    case 12: case 16:
        if (!lib)
            return 1;
        if (s.grayImage)
            return dev < 8 || (dev == 8 && d8) ? 2 : 1;
        return dev <= 8 ? 2 : 1;
    case 24:
        if (lib && dev <= 8)
            return 2;
        return s.order == 5 ? 1 : 0;
    case 32: case 48: case 64:
        return lib && dev <= 8 ? 2 : 1;
    default:
        return 0;
    }
}

TEST(PaintKind, WholeTable) {
    const UINT bits[] = {DISP_LIBRARY_DITHER, DISP_DITHER_8BIT, DISP_SCALE_TO_GRAY, DISP_SCALE_BITONAL};
    int checked = 0;
    for (const Sample &s : Samples())
        for (int dev : {1, 4, 8, 24})
            for (UINT combo = 0; combo < 16; ++combo) {
                UINT mode = 0;
                for (int i = 0; i < 4; ++i)
                    if (combo >> i & 1)
                        mode |= bits[i];
                // Bits the decision does not read must not change it.
                const UINT noise = (combo & 1) ? DISP_ORDERED_DITHER | DISP_CUBE_PALETTE | DISP_PALETTE_INDICES : 0;
                Made m(s);
                const BitmapHandle before = m.b;
                EXPECT_EQ(zv::ChoosePaintKind(&m.b, dev, mode | noise), Expected(s, dev, mode))
                    << s.name << " on " << dev << " bits, mode " << std::hex << mode;
                EXPECT_EQ(0, memcmp(&before, &m.b, sizeof before)) << "the bitmap is left as it was";
                ++checked;
            }
    EXPECT_GT(checked, 2000);
}

// The device class as defined: PLANES x BITSPIXEL (slow on display DCs
// under Wine, which is why the painters ask otherwise).
int DefinedDeviceBits(HDC dc) {
    return zv::DeviceBitsFromCaps(GetDeviceCaps(dc, TECHNOLOGY), GetDeviceCaps(dc, PLANES),
                                  GetDeviceCaps(dc, BITSPIXEL));
}

// The class and every sample's kind under the mode bits that look at the
// device, against the defined question asked of the same DC.
void ExpectDefinedClassAndKinds(HDC dc, const std::string &what) {
    const int defined = DefinedDeviceBits(dc);
    EXPECT_EQ(zv::DeviceBitsOf(dc), defined) << what;
    const UINT saved = Z_SetDisplayMode(0xFFFFFFFF, 0);
    for (UINT mode : {DISP_LIBRARY_DITHER, DISP_LIBRARY_DITHER | DISP_DITHER_8BIT, DISP_SCALE_TO_GRAY,
                      DISP_SCALE_TO_GRAY | DISP_LIBRARY_DITHER | DISP_DITHER_8BIT})
        for (const Sample &s : Samples()) {
            Made m(s);
            Z_SetDisplayMode(0xFFFFFFFF, mode);
            int bits = -1, kind = -1;
            zv::ChoosePainterKind(dc, &m.b, &bits, &kind);
            EXPECT_EQ(bits, defined) << what;
            EXPECT_EQ(kind, zv::ChoosePaintKind(&m.b, defined, mode)) << what << ", " << s.name;
        }
    Z_SetDisplayMode(0xFFFFFFFF, saved);
}

HBITMAP DibSection(HDC dc, int bits) {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD c[256];
    } bi{};
    bi.h = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 8, 8, 1, WORD(bits), BI_RGB, 0, 0, 0, 0, 0};
    for (int i = 0; i < 256; ++i)
        bi.c[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    void *p = nullptr;
    return CreateDIBSection(dc, reinterpret_cast<BITMAPINFO *>(&bi), DIB_RGB_COLORS, &p, nullptr, 0);
}

// Display DCs are asked whether they have a palette instead of their bits
// per pixel; on every kind of DC both questions must agree, read afresh on
// every call: a memory DC reports the screen's class whatever bitmap it
// holds, also when the bitmap changes depth between two paints.  (Printer
// DCs: PrinterPaint.TheDeviceIsARasterPrinter.)
TEST(PaintKind, DeviceClassOfEveryKindOfDC) {
    HDC screen = GetDC(nullptr);
    ExpectDefinedClassAndKinds(screen, "screen");
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    HDC windowDC = GetDC(window);
    ExpectDefinedClassAndKinds(windowDC, "window");
    ReleaseDC(window, windowDC);
    DestroyWindow(window);

    HDC memory = CreateCompatibleDC(screen);
    ExpectDefinedClassAndKinds(memory, "memory DC with its own bitmap");
    BitmapHandle picture{};
    ASSERT_EQ(K_CreateBitmap(&picture, 8, 8, 24, ORDER_BGR, 0), RC_SUCCESS);
    const RECT dst{0, 0, 8, 8};
    HGDIOBJ original = nullptr;
    for (int bits : {32, 1, 8, 16, 24, 4}) {
        HBITMAP dib = DibSection(memory, bits);
        ASSERT_NE(dib, nullptr);
        HGDIOBJ old = SelectObject(memory, dib);
        if (!original)
            original = old;
        else
            DeleteObject(old);
        EXPECT_EQ(Z_PaintDC(memory, &picture, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
        ExpectDefinedClassAndKinds(memory, "memory DC with a " + std::to_string(bits) + "-bit DIB section");
    }
    HBITMAP ddb = CreateCompatibleBitmap(screen, 8, 8);
    DeleteObject(SelectObject(memory, ddb));
    ExpectDefinedClassAndKinds(memory, "memory DC with a device-dependent bitmap");
    SelectObject(memory, original);
    DeleteObject(ddb);
    DeleteDC(memory);
    K_FreeBitmap(&picture);
    ReleaseDC(nullptr, screen);

    HDC emf = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    ExpectDefinedClassAndKinds(emf, "enhanced metafile");
    DeleteEnhMetaFile(CloseEnhMetaFile(emf));
    HDC wmf = CreateMetaFileA(nullptr);
    ExpectDefinedClassAndKinds(wmf, "metafile");
    DeleteMetaFile(CloseMetaFile(wmf));
}

TEST(PaintKind, IsGrayImageRestoresTheWindowView) {
    for (const Sample &s : Samples()) {
        if (s.bits != 12 && s.bits != 16)
            continue;
        Made m(s);
        EXPECT_EQ(zv::IsGrayImage(&m.b), s.grayImage) << s.name;
        EXPECT_EQ(m.b.WindowLowBit, 3);
        EXPECT_EQ(m.b.WindowHighBit, 4);
        EXPECT_EQ((m.b.Flags & BITMAP_WINDOW_LEVEL) != 0, s.windowInForce);
    }
}

TEST(PaintKind, DeviceClasses) {
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_METAFILE, 0, 0), 24);
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_RASDISPLAY, 1, 1), 1);
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_RASDISPLAY, 1, 3), 1);
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_RASDISPLAY, 4, 1), 4);
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_RASDISPLAY, 1, 7), 4);
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_RASDISPLAY, 1, 8), 8);
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_RASDISPLAY, 3, 5), 8);
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_RASDISPLAY, 1, 16), 24);
    EXPECT_EQ(zv::DeviceBitsFromCaps(DT_RASPRINTER, 1, 32), 24);
}

}  // namespace
