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
    int grayAnswer = 0;       // the kernel's gray test (1-bit)
    bool standard16 = false;  // first 16 entries are the 16-colour table
    bool rgb332 = false;      // 256 entries are the 3-3-2 table
    bool grayImage = false;   // 12/16 bits: gray with its window view
};

RGBQUAD Gray(int v) { return RGBQUAD{BYTE(v), BYTE(v), BYTE(v), 0}; }

std::vector<Sample> Samples() {
    std::vector<Sample> s;
    s.reserve(64);  // references to earlier samples stay valid
    auto add = [&](std::string name, int bits, int order = ORDER_BGR) -> Sample & {
        s.emplace_back();
        s.back().name = std::move(name), s.back().bits = bits, s.back().order = order;
        return s.back();
    };
    Sample &bw = add("1 black-white", 1), &wb = add("1 white-black", 1);
    bw.palette = {Gray(0), Gray(255)}, bw.grayAnswer = 1;
    wb.palette = {Gray(255), Gray(0)}, wb.grayAnswer = 2;
    add("1 colour", 1).palette = {RGBQUAD{0, 0, 255, 0}, Gray(255)};
    for (int bits : {2, 3, 5, 6, 7})
        add(std::to_string(bits), bits).palette.assign(1u << bits, Gray(7));
    Sample &vga = add("4 standard", 4), &p332 = add("8 3-3-2", 8);
    vga.palette.assign(zv::Vga16Palette.begin(), zv::Vga16Palette.end()), vga.standard16 = true;
    p332.palette.assign(zv::Rgb332Palette.begin(), zv::Rgb332Palette.end()), p332.rgb332 = true;
    add("4 other", 4).palette = vga.palette;
    s.back().palette[8] = Gray(191);
    add("8 other", 8).palette = p332.palette;
    s.back().palette[255] = Gray(254);
    for (int bits : {12, 16}) {
        const std::string n = std::to_string(bits);
        Sample &g = add(n + " gray", bits, ORDER_GRAY), &gw = add(n + " gray table", bits, ORDER_GRAY);
        Sample &cw = add(n + " colour table", bits, ORDER_GRAY), &cwf = add(n + " colour table in force", bits, ORDER_GRAY);
        g.grayImage = gw.grayImage = true;
        for (int i = 0; i < 64; ++i)
            gw.window.push_back(Gray(i * 4));
        cw.window = cwf.window = gw.window;
        cw.window[5].rgbRed = cwf.window[5].rgbRed = 1;
        cwf.windowInForce = true;
        add(n + " colour", bits);
    }
    for (int order : {ORDER_BGR, ORDER_RGB, ORDER_BGR_CONVERT})
        add("24 order " + std::to_string(order), 24, order);
    for (int bits : {32, 48, 64, 9, 10, 0, 20})
        add(std::to_string(bits), bits);
    return s;
}

struct Made {
    BitmapHandle b{};
    std::vector<RGBQUAD> palette, window;
    explicit Made(const Sample &s) : palette(s.palette), window(s.window) {
        b.Flags = BITMAP_ALLOCATED | (s.windowInForce ? BITMAP_WINDOW_LEVEL : 0);
        b.BitsPerPixel = s.bits, b.Order = s.order;
        b.Palette = palette.empty() ? nullptr : palette.data(), b.ColorCount = int(palette.size());
        b.WindowLUT = window.empty() ? nullptr : window.data(), b.WindowLUTLength = UINT(window.size());
        b.HighBit = s.bits - 1;
        b.WindowLowBit = 3, b.WindowHighBit = 4;
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
        if (!lib || dev > 8)
            return 0;
        return dev == 1 ? 2 : dev == 4 ? (s.standard16 ? 0 : 2) : (d8 ? 2 : 0);
    case 8:
        if (!lib || dev > 8)
            return 0;
        return dev < 8 ? 2 : d8 ? (s.rgb332 ? 0 : 2) : 0;
    case 12: case 16:
        if (!lib)
            return 1;
        if (s.grayImage)
            return dev < 8 || (dev == 8 && d8) ? 2 : 1;
        return dev <= 8 ? 2 : 1;
    case 24:
        return lib && dev <= 8 ? 2 : s.order == 5 ? 1 : 0;
    case 32: case 48: case 64:
        return lib && dev <= 8 ? 2 : 1;
    default:
        return 0;
    }
}

// Bits the decision does not read must not change it, nor the bitmap;
// the gray test of deep images puts the window view back.
TEST(PaintKind, WholeTable) {
    const UINT bits[] = {DISP_LIBRARY_DITHER, DISP_DITHER_8BIT, DISP_SCALE_TO_GRAY, DISP_SCALE_BITONAL};
    int checked = 0;
    for (const Sample &s : Samples()) {
        for (int dev : {1, 4, 8, 24})
            for (UINT combo = 0; combo < 16; ++combo, ++checked) {
                UINT mode = 0;
                for (int i = 0; i < 4; ++i)
                    mode |= (combo >> i & 1) ? bits[i] : 0;
                const UINT noise = (combo & 1) ? DISP_ORDERED_DITHER | DISP_CUBE_PALETTE | DISP_PALETTE_INDICES : 0;
                Made m(s);
                const BitmapHandle before = m.b;
                EXPECT_EQ(zv::ChoosePaintKind(&m.b, dev, mode | noise), Expected(s, dev, mode))
                    << s.name << " on " << dev << " bits, mode " << std::hex << mode;
                EXPECT_EQ(0, memcmp(&before, &m.b, sizeof before)) << "the bitmap is left as it was";
            }
        Made m(s);
        if (s.bits == 12 || s.bits == 16) {
            EXPECT_EQ(zv::IsGrayImage(&m.b), s.grayImage) << s.name;
            EXPECT_TRUE(m.b.WindowLowBit == 3 && m.b.WindowHighBit == 4);
            EXPECT_EQ((m.b.Flags & BITMAP_WINDOW_LEVEL) != 0, s.windowInForce);
        }
    }
    EXPECT_GT(checked, 2000);
    const int caps[][4] = {{DT_METAFILE, 0, 0, 24}, {DT_RASDISPLAY, 1, 1, 1},  {DT_RASDISPLAY, 1, 3, 1},
                           {DT_RASDISPLAY, 4, 1, 4}, {DT_RASDISPLAY, 1, 7, 4},  {DT_RASDISPLAY, 1, 8, 8},
                           {DT_RASDISPLAY, 3, 5, 8}, {DT_RASDISPLAY, 1, 16, 24}, {DT_RASPRINTER, 1, 32, 24}};
    for (const auto &c : caps)
        EXPECT_EQ(zv::DeviceBitsFromCaps(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}

// The class of real DCs as defined (display DCs are asked whether they
// have a palette instead, which must agree; a memory DC reports the
// screen's class), and the kinds chosen from it.  (Printer DCs: the
// printing tests.)
TEST(PaintKind, DeviceClassOfRealDCs) {
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    const UINT saved = Z_SetDisplayMode(0xFFFFFFFF, DISP_LIBRARY_DITHER | DISP_DITHER_8BIT);
    for (HDC dc : {screen, memory}) {
        const int defined = zv::DeviceBitsFromCaps(GetDeviceCaps(dc, TECHNOLOGY), GetDeviceCaps(dc, PLANES),
                                                   GetDeviceCaps(dc, BITSPIXEL));
        EXPECT_EQ(zv::DeviceBitsOf(dc), defined);
        for (const Sample &s : Samples()) {
            Made m(s);
            int bits = -1, kind = -1;
            zv::ChoosePainterKind(dc, &m.b, &bits, &kind);
            EXPECT_TRUE(bits == defined && kind == zv::ChoosePaintKind(&m.b, defined, DISP_LIBRARY_DITHER | DISP_DITHER_8BIT)) << s.name;
        }
    }
    Z_SetDisplayMode(0xFFFFFFFF, saved);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

}  // namespace
