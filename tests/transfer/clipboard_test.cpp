// The clipboard.  The independent side: CF_DIB read back and decoded by
// the test itself, pictures placed with plain SetClipboardData, and a
// second process that writes the clipboard.  Wine synthesizes formats
// (CF_DIB offers CF_BITMAP, CF_ENHMETAFILE offers CF_METAFILEPICT), so
// absences are checked only where no synthesis applies.
#include "transfer/xfer_support.h"

#include "frame/library.h"
#include "transfer/clipboard.h"

#include <cstdlib>

using namespace zvtest;

namespace {

// The library entry registers the region format; these tests link the
// library without it.
void RegisterRegionFormat() {
    if (!zv::RegionClipboardFormat)
        zv::RegionClipboardFormat = RegisterClipboardFormatA("ZORAVISTA 8.0 Region");
}

class Clipboard : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        RegisterRegionFormat();
        window_ = CreateWindowExA(0, "STATIC", "zvdisp clipboard test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        Empty();
    }
    void TearDown() override {
        Empty();
        DestroyWindow(window_);
    }
    void Empty() {
        ASSERT_TRUE(OpenClipboard(window_));
        EmptyClipboard();
        CloseClipboard();
    }
    // Places one object with plain Win32 (the clipboard owns it then).
    void Place(UINT format, HANDLE h, bool empty = true) {
        ASSERT_TRUE(OpenClipboard(window_));
        if (empty)
            EmptyClipboard();
        EXPECT_NE(SetClipboardData(format, h), nullptr);
        CloseClipboard();
    }
    std::vector<uint32_t> ClipboardDib() {
        std::vector<uint32_t> v;
        if (OpenClipboard(window_)) {
            if (HANDLE h = GetClipboardData(CF_DIB))
                v = DecodePackedDib(h);
            CloseClipboard();
        }
        return v;
    }
    HWND window_ = nullptr;
};

// The bitmap the second process puts on the clipboard, with a region.
void MakeSharedBitmap(BitmapHandle &b) {
    std::mt19937 rng(86);
    MakeRandomBitmap(b, rng, 23, 17, 8, ORDER_BGR, 2);
    RECT r{2, 3, 11, 9};
    Z_SetBitmapRgnRect(&b, nullptr, &r, RGN_MODE_SET);
}

bool HasMasks() { return zv::RegionServices.CreateMaskFromRgn && zv::RegionServices.SetRgnFromMask; }

TEST_F(Clipboard, RoundTripOfEveryDepthAndItsRegion) {
    std::mt19937 rng(81);
    for (int bits : {1, 4, 8, 12, 16, 24, 32})
        for (int o : {0, 2, 5}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, orientation " << o);
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, 21, 13, bits, bits == 12 ? ORDER_GRAY : ORDER_BGR, o);
            RECT r{3, 2, 3 + int(rng() % 15), 2 + int(rng() % 9)};
            ASSERT_EQ(Z_SetBitmapRgnRect(&b, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
            ASSERT_EQ(Z_CopyToClipboard(window_, &b), 1);
            const std::vector<uint32_t> want = KernelColors(b);
            EXPECT_EQ(ClipboardDib(), want);
            EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
            EXPECT_TRUE(IsClipboardFormatAvailable(CF_PALETTE) || bits > 8);
            EXPECT_EQ(IsClipboardFormatAvailable(zv::RegionClipboardFormat) != 0, HasMasks());
            EXPECT_EQ(Z_ClipboardReady(), 1);
            {
                LiveBlockCheck check;
                BitmapHandle c{};
                ASSERT_EQ(Z_CopyFromClipboard(window_, &c), 1);
                EXPECT_EQ(KernelColors(c), want);
                for (int y = 0; HasMasks() && y < DisplayH(b); ++y)
                    for (int x = 0; x < DisplayW(b); ++x) {
                        int sc, sr, cc, cr;  // the same displayed pixel in both
                        DisplayToStored(b.Orientation, b.Width, b.Height, x, y, &sc, &sr);
                        DisplayToStored(c.Orientation, c.Width, c.Height, x, y, &cc, &cr);
                        ASSERT_EQ(Z_IsPtInBitmapRgn(&c, cr, cc), Z_IsPtInBitmapRgn(&b, sr, sc)) << x << "," << y;
                    }
                K_FreeBitmap(&c);
            }
            K_FreeBitmap(&b);
        }
}

TEST_F(Clipboard, FlagsChooseTheFormatsAndDibComesFirst) {
    std::mt19937 rng(82);
    BitmapHandle a{}, b{};
    MakeRandomBitmap(a, rng, 9, 7, 8, ORDER_BGR, 2);
    MakeRandomBitmap(b, rng, 5, 4, 24, ORDER_BGR, 2);
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(text), "abc", 4);
    GlobalUnlock(text);
    Place(CF_TEXT, text);
    ASSERT_EQ(Z_CopyToClipboardExt(window_, &a, CLIP_DIB), RC_SUCCESS);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT)) << "0x02 alone does not empty the clipboard";
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_PALETTE));
    EXPECT_EQ(ClipboardDib(), KernelColors(a));
    ASSERT_EQ(Z_CopyToClipboardExt(window_, &a, CLIP_EMPTY_FIRST | CLIP_REGION), RC_SUCCESS);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(zv::RegionClipboardFormat)) << "no region, no region format";
    // CF_BITMAP of b, then CF_DIB of a: a comes back.
    Place(CF_BITMAP, Z_ConvertToDDB(nullptr, &b));
    HGLOBAL dib = K_ConvertToDib(&a);
    K_GlobalDetach(dib);
    Place(CF_DIB, dib, false);
    BitmapHandle c{};
    ASSERT_EQ(Z_CopyFromClipboard(window_, &c), 1);
    EXPECT_EQ(KernelColors(c), KernelColors(a));
    K_FreeBitmap(&c);
    // Everything is made before the clipboard is opened: a copy that fails
    // on any allocation hands nothing over.
    RECT r{1, 1, 4, 3};
    ASSERT_EQ(Z_SetBitmapRgnRect(&b, nullptr, &r, RGN_MODE_SET), RC_SUCCESS);
    Empty();
    EXPECT_EQ(Z_CopyFromClipboard(window_, &c), 0) << "nothing to take";
    EXPECT_EQ(c.Flags & BITMAP_ALLOCATED, 0u);
    SweepAllocationFailures([&] { return Z_CopyToClipboardExt(window_, &b, CLIP_ALL); },
                            [&](int rc) {
                                if (rc != RC_SUCCESS) {  // a failure within the DDB's paint goes unnoticed
                                    EXPECT_EQ(Z_ClipboardReady(), 0);
                                }
                                Empty();
                            },
                            [&](int) { Empty(); });
    // A window that is gone has no DC for the palette or the DDB; while
    // another window holds the clipboard open, nothing goes on or comes off.
    HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(Z_CopyToClipboardExt(gone, &a, CLIP_PALETTE), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_CopyToClipboardExt(gone, &a, CLIP_BITMAP), RC_INVALID_PARAMETER);
    ASSERT_EQ(Z_CopyToClipboardExt(window_, &a, CLIP_DIB), RC_SUCCESS);
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(other));
    EXPECT_EQ(Z_CopyToClipboardExt(window_, &b, CLIP_DIB), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_CopyFromClipboard(window_, &c), 0);
    CloseClipboard();
    DestroyWindow(other);
    EXPECT_EQ(ClipboardDib(), KernelColors(a));
    K_FreeBitmap(&a);
    K_FreeBitmap(&b);
}

// DIBs of every kind that other programs put on the clipboard come back
// as the format defines them (the slow decoder of kernel/dib_model.h) and
// paint 1:1 in those colours.  The rows lie where the clipboard's reader
// looks for them: behind a copy of the masks after a larger header with
// bit fields.  Headers whose colour count that reader cannot see (16
// bytes, core headers of 16 and 32 bits, alpha masks behind a 40-byte
// header) are left to the kernel's own tests.
TEST_F(Clipboard, DibsOfEveryKindComeBackAndPaintAsTheyShow) {
    ModeScope mode(0);
    std::mt19937 rng(62);
    for (int i = 0, done = 0; done < 40; ++i) {
        const zvtools::DibLayout s = zvtools::RandomDib(rng);
        const bool fields = s.Compression == BI_BITFIELDS || s.Compression == BI_ALPHABITFIELDS;
        if (s.HeaderSize == 16 || (s.HeaderSize == 12 && (s.Bits == 16 || s.Bits == 32)) ||
            (s.HeaderSize == 40 && s.Compression == BI_ALPHABITFIELDS))
            continue;
        ++done;
        SCOPED_TRACE(Describe(s));
        zvtools::DibBytes dib = zvtools::DibHead(s);
        if (fields && s.HeaderSize > 40)
            dib.insert(dib.end(), dib.begin() + 40, dib.begin() + 52);
        const size_t rowsAt = dib.size();
        dib.insert(dib.end(), s.Rows.begin(), s.Rows.end());
        const DibPicture model = ModelDecode(dib.data(), rowsAt, dib.data() + rowsAt, s.Rows.size());
        HGLOBAL h = GlobalAlloc(GHND, dib.size());
        std::memcpy(GlobalLock(h), dib.data(), dib.size());
        GlobalUnlock(h);
        Place(CF_DIB, h);
        LiveBlockCheck blocks;
        BitmapHandle b{};
        ASSERT_EQ(Z_CopyFromClipboard(window_, &b), 1);
        EXPECT_TRUE(SamePicture(b, model));
        Dib target(b.Width, b.Height);
        target.Fill(0x123456);
        RECT dst{0, 0, b.Width, b.Height};
        ASSERT_EQ(Z_PaintDC(target.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
        const std::vector<uint32_t> got = target.Pixels(), want = model.Displayed();
        EXPECT_EQ(got, want) << FirstDifference(got, want, b.Width);
        K_FreeBitmap(&b);
    }
}

TEST_F(Clipboard, MetafilesArePlayedOnWhite) {
    HDC rec = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    const RECT all{0, 0, 100, 50}, red{10, 10, 30, 20};
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255)), redBrush = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(rec, &all, blue);
    FillRect(rec, &red, redBrush);
    DeleteObject(blue);
    DeleteObject(redBrush);
    Place(CF_ENHMETAFILE, CloseEnhMetaFile(rec));
    EXPECT_EQ(Z_ClipboardReady(), IsClipboardFormatAvailable(CF_METAFILEPICT) ? 1 : 0) << "EMF alone does not count";
    BitmapHandle b{};
    ASSERT_EQ(Z_CopyFromClipboard(window_, &b), 1);
    ASSERT_EQ(DisplayW(b), 100);
    ASSERT_EQ(DisplayH(b), 50);
    std::vector<uint32_t> px = KernelColors(b);
    EXPECT_EQ(px[15 * 100 + 20], Rgb(255, 0, 0));
    EXPECT_EQ(px[40 * 100 + 60], Rgb(0, 0, 255));
    K_FreeBitmap(&b);
    SweepAllocationFailures([&] { return Z_CopyFromClipboard(window_, &b) ? RC_SUCCESS : RC_NO_MEMORY; },
                            [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); }, [&](int) { K_FreeBitmap(&b); });
    // A picture too large to play is refused, and so is a block too small
    // for a METAFILEPICT.
    HDC big = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    Rectangle(big, 0, 0, 20000, 20000);
    Place(CF_ENHMETAFILE, CloseEnhMetaFile(big));
    EXPECT_EQ(Z_CopyFromClipboard(window_, &b), 0);
    HGLOBAL tiny = GlobalAlloc(GMEM_MOVEABLE, 4);
    EXPECT_FALSE(zv::BitmapFromMetafilePict(&b, nullptr) || zv::BitmapFromMetafilePict(&b, tiny));
    GlobalFree(tiny);

    // A picture in MM_ANISOTROPIC with extents (0, 0): 640 x 480 thousandths of an inch.
    HDC wmf = CreateMetaFileA(nullptr);
    MoveToEx(wmf, 0, 0, nullptr);
    HMETAFILE mf = CloseMetaFile(wmf);
    HGLOBAL pict = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
    *static_cast<METAFILEPICT *>(GlobalLock(pict)) = METAFILEPICT{MM_ANISOTROPIC, 0, 0, mf};
    GlobalUnlock(pict);
    Place(CF_METAFILEPICT, pict);
    EXPECT_EQ(Z_ClipboardReady(), 1);
    // Wine (like Windows) offers it as CF_ENHMETAFILE too, which comes first:
    // the picture itself is read directly.
    ASSERT_TRUE(OpenClipboard(window_));
    pict = GetClipboardData(CF_METAFILEPICT);
    HDC screen = GetDC(nullptr);
    const int w = MulDiv(640, GetDeviceCaps(screen, LOGPIXELSX), 1000);
    const int h = MulDiv(480, GetDeviceCaps(screen, LOGPIXELSY), 1000);
    ReleaseDC(nullptr, screen);
    const bool read = zv::BitmapFromMetafilePict(&b, pict);
    CloseClipboard();
    ASSERT_TRUE(read);
    EXPECT_EQ(b.Width, w);
    EXPECT_EQ(b.Height, h);
    px = KernelColors(b);
    EXPECT_EQ(std::count(px.begin(), px.end(), 0xFFFFFFu), ptrdiff_t(px.size()));
    K_FreeBitmap(&b);
    // The size table, one row per mapping mode (x at 96, y at 72 per inch).
    const struct {
        int mm, xExt, yExt, cx, cy;
    } sizes[] = {{MM_TEXT, -30, 40, 30, 40},       {MM_LOMETRIC, 254, -127, 96, 36},
                 {MM_HIMETRIC, 2540, -5080, 96, 144}, {MM_LOENGLISH, 100, 50, 96, 36},
                 {MM_HIENGLISH, -1000, 2000, 96, 144}, {MM_TWIPS, 1440, 720, 96, 36},
                 {MM_ISOTROPIC, -200, -100, 640, 320}, {MM_ANISOTROPIC, 300, -150, 640, 320},
                 {MM_ANISOTROPIC, 500, 0, 48, 35},     {99, 1, 1, 640, 480}};
    for (const auto &r : sizes) {
        const SIZE got = zv::MetafilePictSize(r.mm, r.xExt, r.yExt, 96, 72);
        EXPECT_EQ(got.cx, r.cx) << "mode " << r.mm;
        EXPECT_EQ(got.cy, r.cy) << "mode " << r.mm;
    }
}

// The second process of WrittenByAnotherProcess: puts the shared bitmap
// on the clipboard and ends.
TEST(ClipboardChild, Writes) {
    if (!std::getenv("ZV_CLIPBOARD_CHILD"))
        GTEST_SKIP() << "runs as the second process of WrittenByAnotherProcess";
    RegisterRegionFormat();
    BitmapHandle b{};
    MakeSharedBitmap(b);
    HWND w = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(Z_CopyToClipboard(w, &b), 1);
    DestroyWindow(w);
    K_FreeBitmap(&b);
}

TEST_F(Clipboard, WrittenByAnotherProcess) {
    SetEnvironmentVariableA("ZV_CLIPBOARD_CHILD", "1");
    const DWORD code = RunProcess("\"" + ExeDir() + "transfer_tests.exe\" --gtest_filter=ClipboardChild.Writes");
    SetEnvironmentVariableA("ZV_CLIPBOARD_CHILD", nullptr);
    ASSERT_EQ(code, 0u);
    BitmapHandle want{}, got{};
    MakeSharedBitmap(want);
    ASSERT_EQ(Z_CopyFromClipboard(window_, &got), 1) << "is the keeper running? (scripts/winerun --keeper)";
    EXPECT_EQ(KernelColors(got), KernelColors(want));
    RECT box{};
    if (HasMasks()) {
        ASSERT_EQ(Z_GetBitmapRgnBounds(&got, nullptr, &box), RC_SUCCESS);
        EXPECT_EQ(box.right - box.left, 9);
        EXPECT_EQ(box.bottom - box.top, 6);
    }
    K_FreeBitmap(&got);
    K_FreeBitmap(&want);
}

}  // namespace
