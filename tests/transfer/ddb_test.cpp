// Device-dependent bitmaps, packed DIBs and screen capture.  The
// independent side is plain Win32: DDBs are made with SetDIBits and read
// with GetDIBits into 32-bit DIBs; packed DIBs are decoded here.
#include "transfer/xfer_support.h"

#include "transfer/dib.h"

using namespace zvtest;

namespace {

using Ddb = TransferTest;

struct Format {
    int bits, order;
    int blackWhite;  // 1 bit: a black and white palette, black first (1) or white first (2)
};
const Format kFormats[] = {{1, ORDER_BGR, 1},  {1, ORDER_BGR, 2},  {1, ORDER_BGR, 0},  {4, ORDER_BGR, 0},
                           {8, ORDER_BGR, 0},  {16, ORDER_BGR, 0}, {24, ORDER_BGR, 0}, {24, ORDER_RGB, 0},
                           {32, ORDER_BGR, 0}};
const int kOrientations[] = {0, 2, 3, 5, 8};

void MakeCase(BitmapHandle &b, std::mt19937 &rng, const Format &f, int orientation) {
    MakeRandomBitmap(b, rng, 37, 23, f.bits, f.order, orientation);
    if (f.blackWhite) {
        const RGBQUAD bw[3] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}};
        K_PutBitmapColors(&b, 0, 2, bw + f.blackWhite - 1);
    }
}

// A painted DDB shows the bitmap's displayed colours exactly on a true
// colour screen; a monochrome one on any screen.
TEST_F(Ddb, ConvertToDdbShowsTheDisplayedImage) {
    std::mt19937 rng(61);
    const bool trueColor = ScreenDepth() > 8;
    for (const Format &f : kFormats)
        for (int o : kOrientations) {
            SCOPED_TRACE(testing::Message() << f.bits << " bits, order " << f.order << ", orientation " << o);
            ResourceCheck check;
            BitmapHandle b{};
            MakeCase(b, rng, f, o);
            const UINT mode = Z_GetDisplayMode();
            HBITMAP ddb = Z_ConvertToDDB(nullptr, &b);
            ASSERT_NE(ddb, nullptr);
            EXPECT_EQ(Z_GetDisplayMode(), mode);
            BITMAP desc{};
            GetObject(ddb, sizeof desc, &desc);
            EXPECT_EQ(desc.bmWidth, DisplayW(b));
            EXPECT_EQ(desc.bmHeight, DisplayH(b));
            EXPECT_EQ(desc.bmBitsPixel == 1, f.blackWhite != 0);
            if (trueColor || f.blackWhite) {
                const std::vector<uint32_t> want = DisplayedColors(b);
                const std::vector<uint32_t> got = ReadDdb(ddb);
                EXPECT_EQ(got, want) << FirstDifference(got, want, DisplayW(b));
            }
            DeleteObject(ddb);
            K_FreeBitmap(&b);
        }
}

// Reading back: what Z_ConvertFromDDB puts in the bitmap is what GetDIBits
// reads from the same DDB with the same palette, at every DDB depth the
// screen makes, and the palette is selected only for the call.
TEST_F(Ddb, ConvertFromDdbReadsWhatGetDIBitsReads) {
    std::mt19937 rng(62);
    for (int mono = 0; mono < 2; ++mono) {
        SCOPED_TRACE(mono ? "monochrome" : "compatible");
        ResourceCheck check;
        const int w = 41, h = 19;
        HBITMAP ddb = MakeDdb(rng, w, h, mono != 0);
        HPALETTE palette = K_CreateDefaultPalette();
        HDC screen = GetDC(nullptr);
        const std::vector<uint32_t> want = ReadDdb(ddb, palette);
        BitmapHandle b{};
        ASSERT_EQ(Z_ConvertFromDDB(screen, &b, ddb, palette), RC_SUCCESS);
        EXPECT_EQ(DisplayW(b), w);
        EXPECT_EQ(DisplayH(b), h);
        const std::vector<uint32_t> got = DisplayedColors(b);
        EXPECT_EQ(got, want) << FirstDifference(got, want, w);
        EXPECT_EQ(GetCurrentObject(screen, OBJ_PAL), GetStockObject(DEFAULT_PALETTE));
        ReleaseDC(nullptr, screen);
        // Change deletes both on success only.
        BitmapHandle c{};
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));  // not a bitmap
        HPALETTE kept = K_CreateFixedPalette(8);
        EXPECT_EQ(Z_ChangeFromDDB(nullptr, &c, reinterpret_cast<HBITMAP>(brush), kept), RC_INVALID_PARAMETER);
        EXPECT_EQ(GetObjectType(brush) << 8 | GetObjectType(kept), DWORD(OBJ_BRUSH << 8 | OBJ_PAL)) << "kept on failure";
        DeleteObject(brush), DeleteObject(kept);
        ASSERT_EQ(Z_ChangeFromDDB(nullptr, &c, ddb, palette), RC_SUCCESS);
        EXPECT_EQ(GetObjectType(ddb), 0u);
        EXPECT_EQ(DisplayedColors(c), want);
        K_FreeBitmap(&b);
        K_FreeBitmap(&c);
    }
}

// Headers for each DDB depth: 16 bits as 5-5-5 bit fields, odd depths
// widened to 8 with a full table, rows to 32 bits.
TEST_F(Ddb, DibHeadersFollowTheDdbDepth) {
    const zv::DibHeader h24 = zv::InitDibHeader(10, 3, 24), h16 = zv::InitDibHeader(10, 3, 16),
                        h8 = zv::InitDibHeader(10, 3, 7), h1 = zv::InitDibHeader(10, 3, 1);
    EXPECT_EQ(h24.Header.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(zv::DibColorTableSize(&h24.Header), 0u);
    EXPECT_EQ(h24.Header.biSizeImage, 32u * 3);
    EXPECT_EQ(h16.Header.biCompression, DWORD(BI_BITFIELDS));
    EXPECT_EQ(zv::DibColorTableSize(&h16.Header), 12u);
    EXPECT_EQ(h16.Masks[0], 0x7C00u);
    EXPECT_EQ(h8.Header.biBitCount, 8);
    EXPECT_EQ(zv::DibColorTableSize(&h8.Header), 1024u);
    EXPECT_EQ(h1.Header.biSizeImage, 4u * 3);
    BITMAPCOREHEADER core{sizeof core, 4, 4, 1, 4};
    EXPECT_EQ(zv::DibColorTableSize(reinterpret_cast<BITMAPINFOHEADER *>(&core)), 48u);
}

// Packed DIBs of every kernel depth and orientation, decoded here: the
// displayed colours (palette indices without colours with the gray ramp),
// and back through the kernel to the same colours.
TEST_F(Ddb, PackedDibRoundTripOfEveryDepth) {
    std::mt19937 rng(63);
    const int depths[] = {1, 2, 3, 4, 5, 7, 8, 12, 16, 24, 32, 48, 64};
    for (int bits : depths)
        for (int o : zvtest::kOrientations) {
            SCOPED_TRACE(testing::Message() << bits << " bits, orientation " << o);
            LiveBlockCheck check;
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, 13, 9, bits, bits == 12 ? ORDER_GRAY : ORDER_BGR, o);
            b.ColorCount = bits == 8 && o % 2 ? 0 : b.ColorCount;
            HGLOBAL dib = K_ConvertToDib(&b);
            ASSERT_NE(dib, nullptr);
            const std::vector<uint32_t> want = b.ColorCount || bits != 8 ? KernelColors(b)
                                               : InDisplayOrder(b, [&](int c, int r) { return uint32_t(PixelAt(b, c, r) * 0x010101); });
            EXPECT_EQ(DecodePackedDib(dib), want);
            BitmapHandle back{};
            ASSERT_EQ(K_ConvertFromDibHandle(&back, dib), RC_SUCCESS);  // takes the block
            EXPECT_EQ(KernelColors(back), want);
            K_FreeBitmap(&back);
            if (bits == 8 && o == 7)  // every allocation failing in turn: nothing left
                SweepAllocationFailures([&] {
                    HGLOBAL h = K_ConvertToDib(&b);
                    K_GlobalFree(h);
                    return h ? RC_SUCCESS : RC_NO_MEMORY; }, [](int) {}, [](int) {});
            K_FreeBitmap(&b);
        }
}

TEST_F(Ddb, ScreenCaptureCopiesTheRectangle) {
    ResourceCheck check;
    Dib source(50, 40);
    std::mt19937 rng(64);
    for (int i = 0; i < 50 * 40; ++i)
        source.bits[i] = rng() & 0xFFFFFF;
    const RECT down{7, 5, 30, 26}, up{7, 15, 30, 5}, one{3, 4, 4, 5}, empty{3, 3, 3, 9};
    for (const RECT &r : {down, up, one}) {
        BitmapHandle b{};
        ASSERT_EQ(Z_ScreenCaptureBitmap(source.dc, &b, &r), RC_SUCCESS);
        const int w = r.right - r.left, h = std::abs(r.bottom - r.top);
        ASSERT_EQ(DisplayW(b), w);
        ASSERT_EQ(DisplayH(b), h);
        const std::vector<uint32_t> got = DisplayedColors(b);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(got[size_t(y) * w + x], source.bits[(r.top + y) * 50 + r.left + x]) << x << "," << y;
        K_FreeBitmap(&b);
    }
    BitmapHandle untouched{};
    untouched.Width = 77;
    // No width or no height, a DC that is gone, a bitmap GDI cannot make:
    // nothing made, the descriptor kept.
    HDC gone = CreateCompatibleDC(nullptr);
    DeleteDC(gone);
    const RECT flat{3, 3, 9, 3}, huge{0, 0, 1 << 20, 1 << 20};
    EXPECT_EQ(Z_ScreenCaptureBitmap(source.dc, &untouched, &empty), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_ScreenCaptureBitmap(source.dc, &untouched, &flat), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_ScreenCaptureBitmap(gone, &untouched, &down), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_ScreenCaptureBitmap(source.dc, &untouched, &huge), RC_NO_MEMORY);
    EXPECT_EQ(untouched.Width, 77);
    // The DDB conversions on that DC: no DDB; a read that fails frees its block.
    BitmapHandle b{};
    MakeRandomBitmap(b, rng, 5, 4, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    EXPECT_EQ(Z_ConvertToDDB(gone, &b), nullptr);
    HBITMAP ddb = MakeDdb(rng, 5, 4, false);
    EXPECT_NE(Z_ConvertFromDDB(gone, &untouched, ddb, nullptr), RC_SUCCESS);
    EXPECT_EQ(Z_ConvertFromDDB(nullptr, &untouched, nullptr, nullptr), RC_INVALID_PARAMETER);
    DeleteObject(ddb);
    K_FreeBitmap(&b);
}

}  // namespace
