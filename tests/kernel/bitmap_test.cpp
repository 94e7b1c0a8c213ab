// Kernel bitmaps: creation, hand-made descriptors, rows, palettes, copies
// and the region hook.
#include "support.h"

#include "paint/fixed_palettes.h"

#include <cstring>
#include <vector>

namespace {

// A descriptor an application fills by hand over its own memory.
struct HandMade {
    std::vector<uint8_t> pixels;
    std::vector<RGBQUAD> palette;
    uint8_t lut[256];
    BitmapHandle bitmap{};

    HandMade(int width, int height, int bits, int colors) {
        const int stride = (width * bits + 31) / 32 * 4;
        pixels.assign(static_cast<size_t>(stride) * height, 0);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(i * 7 + 3);
        palette.resize(colors);
        for (int i = 0; i < colors; ++i)
            palette[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 3), 0};
        for (int i = 0; i < 256; ++i)
            lut[i] = static_cast<uint8_t>(i);
        bitmap.Data = pixels.data();
        bitmap.Width = width;
        bitmap.Height = height;
        bitmap.BitsPerPixel = bits;
        bitmap.BytesPerLine = stride;
        bitmap.Flags = BITMAP_ALLOCATED | BITMAP_CONTIGUOUS;
        bitmap.ColorCount = colors;
        bitmap.Palette = colors ? palette.data() : nullptr;
        bitmap.Order = ORDER_BGR;
        bitmap.PaintLUT = lut;
        bitmap.PaintGamma = 100;
    }
};

bool SameBytes(const BitmapHandle &a, const BitmapHandle &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(KernelBitmap, CreateGivesZeroedContiguousBitmapWithGrayPaletteAndIdentityTable) {
    zvtest::LiveBlockCheck check;
    for (int bits : {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        BitmapHandle b;
        ASSERT_EQ(K_CreateBitmap(&b, 13, 5, bits, ORDER_BGR, ORIENT_TOP_LEFT), RC_SUCCESS);
        EXPECT_EQ(b.BytesPerLine, (13 * bits + 31) / 32 * 4);
        EXPECT_EQ(b.Flags, BITMAP_ALLOCATED | BITMAP_CONTIGUOUS);
        EXPECT_EQ(b.PaintGamma, 100u);
        EXPECT_EQ(b.PaintContrast, 0);
        EXPECT_EQ(b.PaintIntensity, 0);
        EXPECT_EQ(b.Region, nullptr);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(b.PaintLUT[i], i);
        for (int i = 0; i < b.BytesPerLine * b.Height; ++i)
            ASSERT_EQ(b.Data[i], 0);
        if (bits <= 8) {
            ASSERT_EQ(b.ColorCount, 1 << bits);
            EXPECT_EQ(b.Palette[0].rgbRed, 0);
            EXPECT_EQ(b.Palette[b.ColorCount - 1].rgbGreen, 255);
            for (int i = 1; i < b.ColorCount; ++i)
                EXPECT_GT(b.Palette[i].rgbBlue, b.Palette[i - 1].rgbBlue);
            EXPECT_EQ(K_IsGrayScale(&b), 1);
        } else {
            EXPECT_EQ(b.Palette, nullptr);
            EXPECT_EQ(b.ColorCount, 0);
        }
        EXPECT_EQ(K_FreeBitmap(&b), RC_SUCCESS);
        EXPECT_EQ(b.Flags & BITMAP_ALLOCATED, 0u);
        EXPECT_EQ(b.Data, nullptr);
    }
}

TEST(KernelBitmap, CreateRefusesBadArgumentsAndLeavesTheDescriptor) {
    BitmapHandle b;
    std::memset(&b, 0x5A, sizeof b);
    const BitmapHandle before = b;
    EXPECT_EQ(K_CreateBitmap(nullptr, 1, 1, 8, 1, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmap(&b, 0, 1, 8, 1, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmap(&b, 1, -1, 8, 1, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmap(&b, 1, 1, 9, 1, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmap(&b, 1, 1, 10, 1, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmap(&b, 1, 1, 8, 1, 6), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmap(&b, 1, 1, 8, 1, 9), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmap(&b, 0x7fffffff, 0x7fffffff, 64, 1, 0), RC_INVALID_PARAMETER);
    EXPECT_TRUE(SameBytes(b, before));
}

TEST(KernelBitmap, CreateAndCopiesReleaseEverythingWhenAnAllocationFails) {
    BitmapHandle b;
    std::memset(&b, 0x11, sizeof b);
    const BitmapHandle before = b;
    const int allocations = zvtest::SweepAllocationFailures(
        [&] { return K_CreateBitmap(&b, 40, 30, 8, ORDER_BGR, 0); },
        [&](int rc) {
            EXPECT_EQ(rc, RC_NO_MEMORY);
            EXPECT_TRUE(SameBytes(b, before));
        },
        [&](int rc) {
            ASSERT_EQ(rc, RC_SUCCESS);
            K_FreeBitmap(&b);
        });
    EXPECT_EQ(allocations, 3) << "pixels, paint table, palette";
    ASSERT_EQ(K_CreateBitmap(&b, 40, 30, 8, ORDER_BGR, 0), RC_SUCCESS);

    // b now holds a bitmap; give it a window-level table, then copy it.
    b.WindowLUT = static_cast<RGBQUAD *>(K_AllocZero(16, sizeof(RGBQUAD)));
    b.WindowLUTLength = 16;
    for (auto copyFn : {K_CopyBitmap, K_CopyBitmapHandle}) {
        BitmapHandle copy{};
        zvtest::SweepAllocationFailures(
            [&] { return copyFn(&copy, &b); },
            [&](int rc) {
                EXPECT_EQ(rc, RC_NO_MEMORY);
                EXPECT_TRUE(SameBytes(copy, BitmapHandle{}));
            },
            [&](int rc) {
                ASSERT_EQ(rc, RC_SUCCESS);
                EXPECT_NE(copy.WindowLUT, b.WindowLUT);
                K_FreeBitmap(&copy);
            });
    }
    K_FreeBitmap(&b);
}

TEST(KernelBitmap, HandMadeDescriptorWorksEverywhereAndIsNeverFreedByTheKernel) {
    zvtest::LiveBlockCheck check;
    HandMade hand(21, 4, 8, 256);
    BitmapHandle &b = hand.bitmap;

    uint8_t row[32];
    ASSERT_EQ(K_GetBitmapRow(&b, row, 2, 3, 10), 10);
    EXPECT_EQ(std::memcmp(row, hand.pixels.data() + 2 * b.BytesPerLine + 3, 10), 0);
    EXPECT_EQ(K_GetBitmapRow(&b, row, 1, 20, 100), b.BytesPerLine - 20) << "clamped to the stride";
    EXPECT_EQ(K_GetBitmapRow(&b, row, 1, b.BytesPerLine, 4), 0);
    const uint8_t bytes[3] = {1, 2, 3};
    ASSERT_EQ(K_PutBitmapRow(&b, bytes, 3, 5, 3), 3);
    EXPECT_EQ(hand.pixels[3 * b.BytesPerLine + 6], 2);

    RGBQUAD colors[4];
    ASSERT_EQ(K_GetBitmapColors(&b, 254, 4, colors), 2);
    EXPECT_EQ(colors[1].rgbGreen, 0);
    EXPECT_EQ(K_IsGrayScale(&b), 0);
    EXPECT_NE(K_ComparePalette(&b, hand.palette.data(), 256), 0);

    const int token = K_BeginAccess(&b);
    EXPECT_GE(token, 1);
    EXPECT_EQ(K_EndAccess(&b, token), RC_SUCCESS);

    BitmapHandle copy;
    ASSERT_EQ(K_CopyBitmap(&copy, &b), RC_SUCCESS);
    EXPECT_EQ(std::memcmp(copy.Data, b.Data, hand.pixels.size()), 0);
    EXPECT_EQ(copy.Palette[200].rgbRed, hand.palette[200].rgbRed);
    K_FreeBitmap(&copy);

    ASSERT_EQ(K_FreeBitmap(&b), RC_SUCCESS);
    EXPECT_EQ(b.Data, hand.pixels.data()) << "caller's pixels are not the kernel's to free";
    EXPECT_EQ(b.Palette, hand.palette.data());
    EXPECT_EQ(b.PaintLUT, hand.lut);
    EXPECT_EQ(b.Flags & BITMAP_ALLOCATED, 0u);
}

TEST(KernelBitmap, RowsRefuseBadArguments) {
    HandMade hand(8, 2, 24, 0);
    BitmapHandle &b = hand.bitmap;
    uint8_t row[64];
    EXPECT_EQ(K_GetBitmapRow(nullptr, row, 0, 0, 1), RC_NO_BITMAP);
    EXPECT_EQ(K_GetBitmapRow(&b, nullptr, 0, 0, 1), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetBitmapRow(&b, row, 2, 0, 1), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetBitmapRow(&b, row, -1, 0, 1), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetBitmapRow(&b, row, 0, -1, 1), RC_INVALID_PARAMETER);
    b.Flags = 0;
    EXPECT_EQ(K_PutBitmapRow(&b, row, 0, 0, 1), RC_NO_BITMAP);
    EXPECT_EQ(K_BeginAccess(&b), RC_NO_BITMAP);
}

TEST(KernelPalette, GrayTestTellsRampsFromColours) {
    HandMade mono(8, 1, 1, 2);
    mono.palette[0] = RGBQUAD{0, 0, 0, 0};
    mono.palette[1] = RGBQUAD{255, 255, 255, 0};
    EXPECT_EQ(K_IsGrayScale(&mono.bitmap), 1);
    std::swap(mono.palette[0], mono.palette[1]);
    EXPECT_EQ(K_IsGrayScale(&mono.bitmap), 2);
    mono.palette[0].rgbRed = 3;
    EXPECT_EQ(K_IsGrayScale(&mono.bitmap), 0);

    HandMade none(8, 1, 4, 0);  // no palette: painted with a gray ramp
    EXPECT_EQ(K_IsGrayScale(&none.bitmap), 1);
    RGBQUAD ramp[16];
    ASSERT_EQ(K_GetBitmapColors(&none.bitmap, 0, 16, ramp), 16);
    EXPECT_EQ(ramp[1].rgbRed, 17);

    HandMade gray16(8, 1, 16, 0);
    gray16.bitmap.Order = ORDER_GRAY;
    EXPECT_EQ(K_IsGrayScale(&gray16.bitmap), 1);
    gray16.bitmap.Order = ORDER_BGR;
    EXPECT_EQ(K_IsGrayScale(&gray16.bitmap), 0);
    HandMade rgb(8, 1, 24, 0);
    EXPECT_EQ(K_IsGrayScale(&rgb.bitmap), 0);
}

TEST(KernelPalette, FixedPalettesOfEachDeviceClass) {
    struct Case {
        int bits;
        const RGBQUAD *colors;
        int count;
    } cases[] = {{1, zv::MonoPalette.data(), 2}, {4, zv::Vga16Palette.data(), 16}, {8, zv::Rgb332Palette.data(), 256}};
    for (const Case &c : cases) {
        HPALETTE pal = K_CreateFixedPalette(c.bits);
        ASSERT_NE(pal, nullptr);
        PALETTEENTRY pe[256];
        ASSERT_EQ(GetPaletteEntries(pal, 0, 256, pe), static_cast<UINT>(c.count));
        for (int i = 0; i < c.count; ++i) {
            EXPECT_EQ(pe[i].peRed, c.colors[i].rgbRed);
            EXPECT_EQ(pe[i].peBlue, c.colors[i].rgbBlue);
        }
        DeleteObject(pal);
    }
    EXPECT_EQ(K_CreateFixedPalette(24), nullptr);
    EXPECT_EQ(zv::Rgb332Palette[0xFF].rgbRed, 255);
    EXPECT_EQ(zv::Rgb332Palette[1 << 5].rgbRed, 36);
    EXPECT_EQ(zv::Rgb332Palette[2 << 2].rgbGreen, 73);
    EXPECT_EQ(zv::CubePalette[215].rgbBlue, 255);
    EXPECT_EQ(zv::CubePalette[216].rgbRed, 0);
}

TEST(KernelPalette, PaletteFromBitmapAndFromColors) {
    HandMade hand(4, 1, 4, 16);
    HPALETTE pal = K_CreatePaletteFromBitmap(&hand.bitmap);
    ASSERT_NE(pal, nullptr);
    PALETTEENTRY pe[16];
    ASSERT_EQ(GetPaletteEntries(pal, 0, 16, pe), 16u);
    EXPECT_EQ(pe[5].peGreen, hand.palette[5].rgbGreen);
    DeleteObject(pal);

    // A bitmap whose Palette is a GDI palette handle.
    HPALETTE handle = K_CreatePaletteFromColors(hand.palette.data(), 16);
    hand.bitmap.Palette = reinterpret_cast<RGBQUAD *>(handle);
    hand.bitmap.Flags |= BITMAP_PALETTE_HANDLE;
    RGBQUAD back[16];
    ASSERT_EQ(K_GetBitmapColors(&hand.bitmap, 0, 16, back), 16);
    EXPECT_EQ(back[9].rgbRed, hand.palette[9].rgbRed);
    EXPECT_NE(K_ComparePalette(&hand.bitmap, hand.palette.data(), 16), 0);
    DeleteObject(handle);
    EXPECT_EQ(K_CreatePaletteFromColors(nullptr, 3), nullptr);
}

// A region made by hand with kernel blocks, as the library makes them.
ZoraRgn *MakeRegion() {
    auto *rgn = static_cast<ZoraRgn *>(K_AllocZero(1, sizeof(ZoraRgn)));
    rgn->Bounds = RECT{1, 0, 3, 1};
    rgn->RowTableSize = 8;
    rgn->RowTable = static_cast<RgnRow *>(K_AllocZero(1, sizeof(RgnRow)));
    rgn->RowTable[0] = RgnRow{2, 0};
    rgn->SpanStoreSize = 8;
    rgn->SpanStore = static_cast<int32_t *>(K_Alloc(8));
    rgn->SpanStore[0] = 1;
    rgn->SpanStore[1] = 3;
    rgn->hRgnCache = CreateRectRgn(1, 0, 3, 1);
    return rgn;
}

struct CopyLog {
    int calls = 0;
    int dx = -1, dy = -1;
} g_copyLog;

int __stdcall RecordingCopy(BitmapHandle *pDst, BitmapHandle *pSrc, int nDx, int nDy) {
    ++g_copyLog.calls;
    g_copyLog.dx = nDx;
    g_copyLog.dy = nDy;
    EXPECT_EQ(pDst->Region, nullptr) << "the kernel clears the copy's region first";
    pDst->Region = MakeRegion();
    EXPECT_NE(pSrc->Region, nullptr);
    return RC_SUCCESS;
}

TEST(KernelRegionHook, CopiesCarryTheRegionThroughTheTableAndFreeReleasesIt) {
    zvtest::LiveBlockCheck check;
    RegionServiceTable table{};
    table.CopyWithOffset = RecordingCopy;
    K_SetRegionServiceTable(&table);
    table.CopyWithOffset = nullptr;  // the kernel keeps its own copy of the entries
    EXPECT_EQ(K_GetRegionServiceTable()->CopyWithOffset, RecordingCopy);

    BitmapHandle b, copy;
    ASSERT_EQ(K_CreateBitmap(&b, 4, 2, 8, ORDER_BGR, 0), RC_SUCCESS);
    b.Region = MakeRegion();
    g_copyLog = {};
    ASSERT_EQ(K_CopyBitmap(&copy, &b), RC_SUCCESS);
    EXPECT_EQ(g_copyLog.calls, 1);
    EXPECT_EQ(g_copyLog.dx, 0);
    EXPECT_EQ(g_copyLog.dy, 0);
    EXPECT_NE(copy.Region, b.Region);
    K_FreeBitmap(&copy);
    EXPECT_EQ(copy.Region, nullptr);

    K_SetRegionServiceTable(nullptr);  // withdrawn: copies carry no region
    ASSERT_EQ(K_CopyBitmapHandle(&copy, &b), RC_SUCCESS);
    EXPECT_EQ(copy.Region, nullptr);
    EXPECT_EQ(copy.Data, b.Data);
    K_FreeBitmap(&copy);
    EXPECT_NE(b.Data, nullptr) << "freeing a descriptor copy leaves the pixels";
    K_FreeBitmap(&b);  // frees the region too
    K_FreeRegion(nullptr);
}

TEST(KernelBitmap, InitialisedDescriptorDescribesAWindowOfABitmap) {
    HandMade hand(10, 10, 8, 256);
    hand.bitmap.Orientation = ORIENT_BOTTOM_LEFT;
    hand.bitmap.Flags |= BITMAP_RGN_UNCLIPPED | BITMAP_WINDOW_LEVEL;
    BitmapHandle w;
    ASSERT_EQ(K_InitBitmapHandle(&w, &hand.bitmap, 3, 4, 1), RC_SUCCESS);
    EXPECT_EQ(w.Width, 3);
    EXPECT_EQ(w.Height, 4);
    EXPECT_EQ(w.BitsPerPixel, 1);
    EXPECT_EQ(w.BytesPerLine, 4);
    EXPECT_EQ(w.Orientation, ORIENT_BOTTOM_LEFT);
    EXPECT_EQ(w.Flags, BITMAP_RGN_UNCLIPPED);
    EXPECT_EQ(w.Data, nullptr);
    EXPECT_EQ(K_FreeBitmap(&w), RC_SUCCESS);
    EXPECT_EQ(K_InitBitmapHandle(&w, nullptr, 3, 4, 9), RC_INVALID_PARAMETER);
}

}  // namespace
