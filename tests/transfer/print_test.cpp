// Printing for real: a PostScript printer installed into the test's own
// Wine prefix (default printer, port mapped to a file), each job rendered
// with Ghostscript at the printer's 100 dpi and compared with the bitmap.
// Colours are compared at the centres of 4 x 4 device-pixel blocks (one
// source pixel each), which the renderer's rounding at edges cannot move.
#include "transfer/xfer_support.h"

#include "frame/library.h"
#include "tools/common/test_printer.h"

#include <thread>

using namespace zvtest;

namespace {

class Print : public TransferTest {
protected:
    static void SetUpTestSuite() {
        wine_ = zvtools::RunningUnderWine();
        if (wine_)
            ready_ = zvtools::InstallTestPrinter(&printer_, "zvdisp print test", "LPT2:", "zvdisp-print-job.ps", true,
                                                 &why_);
        if (ready_)  // a first job makes the printer driver's lazily made objects
            Z_PrintBitmapExt(OpenPrinterDc(), nullptr, 0, 0, 0, 0, 1);
    }
    void SetUp() override {
        if (!wine_)
            GTEST_SKIP() << "the test printer is installed under Wine only";
        ASSERT_TRUE(ready_) << "test printer set-up: " << why_;
        TransferTest::SetUp();
        DeleteFileA(printer_.JobPath.c_str());
    }
    void TearDown() override { K_SetStatusCallback(nullptr, nullptr); }

    static bool JobWritten() { return GetFileAttributesA(printer_.JobPath.c_str()) != INVALID_FILE_ATTRIBUTES; }
    static std::string Job() { return zvtools::ReadFileAll(printer_.JobPath); }
    static zvtools::Page Render() {
        zvtools::Page page;
        std::string why;
        EXPECT_TRUE(zvtools::RenderWithGhostscript(printer_.JobUnixPath, printer_.JobUnixPath + ".ppm",
                                                   printer_.JobPath + ".ppm", 100, false, &page, &why))
            << why;
        return page;
    }
    // A printer DC of its own, inside a document and page.
    static HDC OpenPrinterDc() {
        HDC dc = CreateDCA("WINSPOOL", printer_.Name.c_str(), nullptr, nullptr);
        DOCINFOA doc{sizeof doc, "zvdisp print test", nullptr, nullptr, 0};
        if (dc && StartDocA(dc, &doc) > 0)
            StartPage(dc);
        return dc;
    }

    static bool wine_, ready_;
    static std::string why_;
    static zvtools::TestPrinter printer_;
};

bool Print::wine_ = false;
bool Print::ready_ = false;
std::string Print::why_;
zvtools::TestPrinter Print::printer_;

int Count(const std::string &s, const std::string &what) {
    int n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        ++n;
    return n;
}

// Each displayed pixel of b shown as a 4 x 4 block at (left, top).
void ExpectBlocks(const zvtools::Page &page, const BitmapHandle &b, int left, int top) {
    const std::vector<uint32_t> want = DisplayedColors(b);
    const int w = DisplayW(b), h = DisplayH(b);
    ASSERT_GE(page.Width, left + 4 * w);
    ASSERT_GE(page.Height, top + 4 * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(page.At(left + 4 * x + 2, top + 4 * y + 2), want[size_t(y) * w + x]) << "pixel " << x << ", " << y;
}

struct Progress {
    std::vector<int> seen;
    int stopAt = 1000;  // answer RC_FAILURE at the first percentage >= this
    bool starve = false;  // make every allocation fail after answering
    void *user = nullptr;
    static int __stdcall Callback(int percent, void *user) {
        auto *p = static_cast<Progress *>(user);
        p->seen.push_back(percent);
        p->user = user;
        if (p->starve)
            K_SetAllocationFailure(0, 1);
        return percent >= p->stopAt ? RC_FAILURE : RC_SUCCESS;
    }
};

// 0 first, then after row k of h the percentage 100 k / h whenever it moved.
std::vector<int> ExpectedPercentages(int h) {
    std::vector<int> v{0};
    for (int k = 1; k <= h; ++k)
        if (100 * k / h != v.back())
            v.push_back(100 * k / h);
    return v;
}

// Two bitmaps on one page of one document named "ZORA GRAPHIC", each in
// its place, the second painted row by row for its progress report;
// PrintDC is 0 after the last call.
TEST_F(Print, TwoBitmapsOnOnePageThroughTheDispatcher) {
    ResourceCheck check;
    std::mt19937 rng(71);
    BitmapHandle a{}, b{};
    MakeRandomBitmap(a, rng, 20, 15, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    MakeRandomBitmap(b, rng, 12, 9, 8, ORDER_BGR, ORIENT_LEFT_TOP);
    HDC dc = Z_PrintBitmap(&a, 100, 80, 80, 60, 0);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(zv::GetPaintSettings()->PrintDC, dc);
    Progress p;
    K_SetStatusCallback(Progress::Callback, &p);
    EXPECT_NE(Z_PrintBitmap(&b, 300, 200, 36, 0, 1), nullptr);  // 9 x 12 shown: height 48
    EXPECT_EQ(p.seen, ExpectedPercentages(48));
    EXPECT_EQ(p.user, &p);
    EXPECT_EQ(zv::GetPaintSettings()->PrintDC, nullptr);
    const std::string job = Job();
    EXPECT_EQ(Count(job, "%%Page:"), 1);
    EXPECT_NE(job.find("ZORA GRAPHIC"), std::string::npos);
    const zvtools::Page page = Render();
    ExpectBlocks(page, a, 100, 80);
    ExpectBlocks(page, b, 300, 200);
    EXPECT_EQ(page.At(300 + 2, 200 + 48 + 2), 0xFFFFFFu) << "the second bitmap is 48 high";
    K_SetStatusCallback(nullptr, nullptr);  // the same page painted at once: the same pixels
    ASSERT_NE(Z_PrintBitmap(&a, 100, 80, 80, 60, 0), nullptr);
    ASSERT_NE(Z_PrintBitmap(&b, 300, 200, 36, 0, 1), nullptr);
    EXPECT_TRUE(page.Pixels == Render().Pixels) << "row by row paints what one paint paints";
    K_FreeBitmap(&a);
    K_FreeBitmap(&b);
}

// The fast path paints what it can hand to StretchDIBits as it is, rows
// upright or upside down, and leaves the bitmap as it was (where sizes
// and paths land: PlacementAndPathOnAnyDc).
TEST_F(Print, TheFastPathPaintsTheBitmapAsItIs) {
    std::mt19937 rng(72);
    BitmapHandle b{};
    MakeRandomBitmap(b, rng, 30, 20, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    const std::vector<BYTE> before(b.Data, b.Data + b.BytesPerLine * b.Height);
    for (int o : {ORIENT_TOP_LEFT, ORIENT_BOTTOM_LEFT}) {
        b.Orientation = o;
        ASSERT_NE(Z_PrintBitmapFast(nullptr, &b, 40, 60, 120, 80, 1), nullptr);
        ExpectBlocks(Render(), b, 40, 60);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), b.Data)) << "orientation " << o;
    }
    K_FreeBitmap(&b);
}

// How a job ends: a null bitmap ends it; a stop from the callback (at 0 %
// or later) or an unallocated bitmap aborts the library's own job, while a
// DC of the caller's is ended so its job is written; no default printer
// gives 0.
TEST_F(Print, JobsEndAbortOrNeverStart) {
    ResourceCheck check;
    std::mt19937 rng(73);
    BitmapHandle b{}, none{};
    MakeRandomBitmap(b, rng, 8, 8, 4, ORDER_BGR, ORIENT_BOTTOM_LEFT);
    ASSERT_NE(Z_PrintBitmap(&b, 10, 10, 32, 32, 0), nullptr);
    EXPECT_FALSE(JobWritten());
    EXPECT_NE(Z_PrintBitmap(nullptr, 0, 0, 0, 0, 1), nullptr);
    EXPECT_TRUE(JobWritten());
    EXPECT_EQ(zv::GetPaintSettings()->PrintDC, nullptr);
    DeleteFileA(printer_.JobPath.c_str());
    EXPECT_EQ(Z_PrintBitmap(&none, 0, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(zv::GetPaintSettings()->PrintDC, nullptr);
    EXPECT_FALSE(JobWritten());
    for (int stopAt : {0, 50}) {
        Progress p;
        p.stopAt = stopAt;
        K_SetStatusCallback(Progress::Callback, &p);
        EXPECT_EQ(Z_PrintBitmap(&b, 0, 0, 0, 0, 0), nullptr);
        EXPECT_EQ(zv::GetPaintSettings()->PrintDC, nullptr);
        EXPECT_EQ(p.seen.back(), stopAt);
        EXPECT_FALSE(JobWritten()) << "stopped at " << stopAt;
    }
    Progress p;
    p.stopAt = 0;
    K_SetStatusCallback(Progress::Callback, &p);
    EXPECT_EQ(Z_PrintBitmapExt(OpenPrinterDc(), &b, 0, 0, 0, 0, 1), nullptr);
    EXPECT_TRUE(JobWritten());
    K_SetStatusCallback(nullptr, nullptr);
    char saved[256] = {};
    GetProfileStringA("windows", "device", "", saved, sizeof saved);
    for (const char *device : {"", "no such printer,no driver"}) {
        WriteProfileStringA("windows", "device", device);
        EXPECT_EQ(Z_PrintBitmap(&b, 0, 0, 0, 0, 1), nullptr) << device;
        EXPECT_EQ(Z_PrintBitmapFast(nullptr, &b, 0, 0, 4, 4, 1), nullptr) << device;
    }
    WriteProfileStringA("windows", "device", saved);
    K_FreeBitmap(&b);
}

// Where a bitmap lands on a page of width x height device pixels
// (HORZRES, VERTRES): automatic sizes keep the displayed aspect, a 0
// position centres, and automatic sizes are clipped to (1, 1, width, height).
RECT ExpectedPlace(int pageRight, int pageBottom, int W, int H, int x, int y, int width, int height) {
    const RECT page{1, 1, pageRight, pageBottom};
    const int pw = pageRight - 1, ph = pageBottom - 1;
    const bool automatic = width == 0 || height == 0;
    if (!width && !height) {
        height = ph, width = MulDiv(ph, W, H);
        if (width > pw)
            width = pw, height = MulDiv(pw, H, W);
    } else if (!width) {
        width = MulDiv(W, height, H);
    } else if (!height) {
        height = MulDiv(H, width, W);
    }
    RECT r{x ? x : 1 + (pw - width) / 2, y ? y : 1 + (ph - height) / 2, 0, 0};
    r.right = r.left + width, r.bottom = r.top + height;
    if (automatic)
        IntersectRect(&r, &r, &page);
    return r;
}

constexpr uint32_t kUnpainted = 0x010203;

// Any DC takes a print: on a screen-compatible DC the fast path paints
// what it can hand to StretchDIBits as given, and sends every other kind
// of bitmap to the general path, which sizes and places it on the DC's page.
TEST_F(Print, PlacementAndPathOnAnyDc) {
    ResourceCheck check;
    struct Kind {
        int bits, order, orientation;
        UINT flags;
        bool general;
    } const kinds[] = {{1, ORDER_BGR, ORIENT_TOP_LEFT, 0, false},
                       {4, ORDER_BGR, ORIENT_BOTTOM_LEFT, 0, false},
                       {8, ORDER_BGR, ORIENT_TOP_LEFT, 0, false},
                       {24, ORDER_BGR, ORIENT_BOTTOM_LEFT, 0, false},
                       {8, ORDER_GRAY, ORIENT_BOTTOM_LEFT, 0, true},
                       {24, ORDER_BGR, ORIENT_TOP_LEFT, BITMAP_KERNEL_0004, true},
                       {24, ORDER_BGR, ORIENT_TOP_LEFT, BITMAP_KERNEL_0100, true},
                       {24, ORDER_BGR, ORIENT_TOP_LEFT, BITMAP_KERNEL_8000, true},
                       {24, ORDER_BGR, ORIENT_TOP_RIGHT, 0, true},
                       {24, ORDER_BGR, ORIENT_LEFT_TOP, 0, true},
                       {2, ORDER_BGR, ORIENT_TOP_LEFT, 0, true},
                       {3, ORDER_BGR, ORIENT_BOTTOM_LEFT, 0, true},
                       {5, ORDER_BGR, ORIENT_TOP_LEFT, 0, true},
                       {6, ORDER_BGR, ORIENT_TOP_LEFT, 0, true},
                       {7, ORDER_BGR, ORIENT_TOP_LEFT, 0, true},
                       {16, ORDER_BGR, ORIENT_TOP_LEFT, 0, true},
                       {32, ORDER_BGR, ORIENT_BOTTOM_LEFT, 0, true},
                       {48, ORDER_BGR, ORIENT_TOP_LEFT, 0, true},
                       {64, ORDER_BGR, ORIENT_TOP_LEFT, 0, true}};
    HDC screen = GetDC(nullptr);
    Dib dib(GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES));
    ReleaseDC(nullptr, screen);
    std::mt19937 rng(78);
    for (size_t k = 0; k < std::size(kinds); ++k) {
        const Kind &kind = kinds[k];
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 2 + int(rng() % 12), 2 + int(rng() % 12), kind.bits, kind.order, kind.orientation);
        b.Flags |= kind.flags;
        const int keptColors = b.ColorCount;
        if (k == 1)
            b.ColorCount = 0;  // a table of the depth's size
        int x = 1 + int(rng() % 300), y = 1 + int(rng() % 300), width = 1 + int(rng() % 200),
            height = 1 + int(rng() % 200);
        switch (k % 4) {  // automatic size on one side or both, centred on the other
        case 1: x = width = 0; break;
        case 2: y = height = 0; break;
        case 3: x = y = width = height = 0; break;
        }
        SCOPED_TRACE(testing::Message() << "kind " << k << " at " << x << ", " << y << " size " << width << " x "
                                        << height);
        dib.Fill(kUnpainted);
        EXPECT_EQ(Z_PrintBitmapFast(dib.dc, &b, x, y, width, height, 0), dib.dc);
        const RECT want = !kind.general ? (width && height ? RECT{x, y, x + width, y + height} : RECT{})
                                        : ExpectedPlace(dib.w, dib.h, DisplayW(b), DisplayH(b), x, y, width, height);
        const RECT got = PaintedBounds(dib.Pixels(), dib.w, kUnpainted);
        EXPECT_TRUE(EqualRect(&want, &got)) << "painted " << got.left << ", " << got.top << ", " << got.right << ", "
                                            << got.bottom << ", not " << want.left << ", " << want.top << ", "
                                            << want.right << ", " << want.bottom;
        b.Flags &= ~kind.flags;
        b.ColorCount = keptColors;
        K_FreeBitmap(&b);
    }
    // A metafile DC records the paint where it was asked for.
    BitmapHandle b{}, none{};
    MakeRandomBitmap(b, rng, 6, 5, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    HDC wmf = CreateMetaFileA(nullptr);
    EXPECT_EQ(Z_PrintBitmapExt(wmf, &b, 10, 20, 30, 25, 0), wmf);
    const HMETAFILE recorded = CloseMetaFile(wmf);
    dib.Fill(kUnpainted);
    PlayMetaFile(dib.dc, recorded);
    DeleteMetaFile(recorded);
    const RECT got = PaintedBounds(dib.Pixels(), dib.w, kUnpainted), want{10, 20, 40, 45};
    EXPECT_TRUE(EqualRect(&got, &want));
    // Failing on the caller's DC without endDoc leaves it open; a paint
    // that fails part way stops the rows; a DC that is no printer fails
    // to end its page.
    EXPECT_EQ(Z_PrintBitmapExt(dib.dc, &none, 1, 1, 5, 5, 0), nullptr);
    Progress p;
    p.starve = true;
    K_SetStatusCallback(Progress::Callback, &p);
    dib.Fill(kUnpainted);
    EXPECT_EQ(Z_PrintBitmapExt(dib.dc, &b, 1, 1, 30, 25, 0), nullptr);
    K_SetAllocationFailure(-1, 0);
    K_SetStatusCallback(nullptr, nullptr);
    EXPECT_EQ(p.seen, std::vector<int>{0});
    EXPECT_EQ(PaintedBounds(dib.Pixels(), dib.w, kUnpainted).right, 0) << "nothing painted";
    EXPECT_EQ(Z_PrintBitmapExt(CreateCompatibleDC(nullptr), &b, 1, 1, 5, 5, 1), nullptr);
    K_FreeBitmap(&b);
}

TEST_F(Print, TwoThreadsReportToTheirOwnCallbacks) {
    std::mt19937 rng(77);
    BitmapHandle a{}, b{};
    MakeRandomBitmap(a, rng, 10, 10, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    MakeRandomBitmap(b, rng, 10, 10, 24, ORDER_BGR, ORIENT_TOP_LEFT);
    Progress pa, pb;
    auto job = [&](BitmapHandle *bitmap, Progress *p, int rows) {
        K_SetStatusCallback(Progress::Callback, p);
        HDC dc = OpenPrinterDc();
        EXPECT_NE(Z_PrintBitmapExt(dc, bitmap, 10, 10, 40, rows, 1), nullptr);
        K_SetStatusCallback(nullptr, nullptr);
        zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
    };
    std::thread one(job, &a, &pa, 37), two(job, &b, &pb, 150);
    one.join();
    two.join();
    EXPECT_EQ(pa.seen, ExpectedPercentages(37));
    EXPECT_EQ(pb.seen, ExpectedPercentages(150));
    EXPECT_EQ(pa.user, &pa);
    EXPECT_EQ(pb.user, &pb);
    K_FreeBitmap(&a);
    K_FreeBitmap(&b);
}

}  // namespace
