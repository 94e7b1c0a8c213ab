// Painting to a raster printer must leave the thread's PaintInfo (and its
// identity index table) alone: the strip and unscaled painters work on
// PrinterPaintInfo there.  The printer is a PostScript printer the test
// installs into the Wine prefix itself (a hand-written 100 dpi PPD, the
// port LPT1: mapped to a file), so nothing but the prefix is needed.
#include "paint/reference.h"

#include "frame/library.h"
#include "paint/paint_kind.h"
#include "tools/common/test_printer.h"

#include <winspool.h>

#include <cstring>
#include <string>
#include <thread>

using namespace zvtest;

namespace {

const char kPrinterName[] = "zvdisp test printer";

// Installs the test printer (port LPT1: to a file); the default printer
// stays as it is.
bool InstallPrinter(std::string *why) {
    zvtools::TestPrinter printer;
    return zvtools::InstallTestPrinter(&printer, kPrinterName, "LPT1:", "zvdisp-printer-test.ps", false, why);
}

// A printer DC inside an open document and page; the job is thrown away.
struct PrinterDC {
    HDC dc = nullptr;
    bool started = false;

    PrinterDC() {
        dc = CreateDCA("WINSPOOL", kPrinterName, nullptr, nullptr);
        if (!dc)
            return;
        DOCINFOA doc{};
        doc.cbSize = sizeof doc;
        doc.lpszDocName = "zvdisp printer test";
        started = StartDocA(dc, &doc) > 0 && StartPage(dc) > 0;
    }
    ~PrinterDC() {
        if (started) {
            EndPage(dc);
            EndDoc(dc);
        }
        if (dc)
            DeleteDC(dc);
    }
    PrinterDC(const PrinterDC &) = delete;
    PrinterDC &operator=(const PrinterDC &) = delete;
};

struct InfoBytes {
    BYTE bytes[sizeof(zv::PaintBitmapInfo)];
};

InfoBytes Snapshot(const zv::PaintBitmapInfo &info) {
    InfoBytes s;
    std::memcpy(s.bytes, &info, sizeof s.bytes);
    return s;
}

bool SameBytes(const InfoBytes &a, const zv::PaintBitmapInfo &b) { return std::memcmp(a.bytes, &b, sizeof a.bytes) == 0; }

// Offset of the first byte that differs, for messages.
size_t FirstDifference(const InfoBytes &a, const zv::PaintBitmapInfo &b) {
    const BYTE *q = reinterpret_cast<const BYTE *>(&b);
    for (size_t i = 0; i < sizeof a.bytes; ++i)
        if (a.bytes[i] != q[i])
            return i;
    return sizeof a.bytes;
}

bool HoldsIdentityIndexTable(const zv::PaintBitmapInfo &info) {
    const WORD *w = reinterpret_cast<const WORD *>(info.bmiColors);
    for (int i = 0; i < 256; ++i)
        if (w[i] != i)
            return false;
    return true;
}

class PrinterPaint : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // Outside Wine the set-up would install into a real spooler.
        wine_ = zvtools::RunningUnderWine();
        if (wine_)
            ready_ = InstallPrinter(&why_);
    }
    void SetUp() override {
        if (!wine_)
            GTEST_SKIP() << "the test printer is installed under Wine only";
        ASSERT_TRUE(ready_) << "test printer set-up: " << why_;
    }

    static bool wine_, ready_;
    static std::string why_;
};

bool PrinterPaint::wine_ = false;
bool PrinterPaint::ready_ = false;
std::string PrinterPaint::why_;

TEST_F(PrinterPaint, TheDeviceIsARasterPrinter) {
    PrinterDC printer;
    ASSERT_NE(printer.dc, nullptr) << "CreateDCA error " << GetLastError();
    EXPECT_TRUE(printer.started);
    EXPECT_EQ(GetDeviceCaps(printer.dc, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(zv::DeviceBitsOf(printer.dc),
              zv::DeviceBitsFromCaps(DT_RASPRINTER, GetDeviceCaps(printer.dc, PLANES),
                                     GetDeviceCaps(printer.dc, BITSPIXEL)));
}

struct Case {
    const char *what;
    int bits;
    UINT mode;
    int dstW, dstH;   // destination size; the source is the whole 40 x 30 bitmap
    int stripWidth;   // biWidth the painter leaves in the header it used
};

// Strips run along stored rows here (a bottom-left bitmap needs no turn),
// so a strip is as wide as the painted destination; the direct paint hands
// over the whole bitmap.
const Case kCases[] = {
    {"8-bit palette, indices, scaled", 8, DISP_PALETTE_INDICES, 97, 71, 97},
    {"8-bit palette, indices, unscaled", 8, DISP_PALETTE_INDICES, 40, 30, 40},
    {"8-bit palette, RGB colours, scaled", 8, 0, 97, 71, 97},
    {"8-bit palette, RGB colours, unscaled", 8, 0, 40, 30, 40},
    {"24-bit, indices, scaled", 24, DISP_PALETTE_INDICES, 97, 71, 97},
    {"24-bit, indices, unscaled", 24, DISP_PALETTE_INDICES, 40, 30, 40},
    {"8-bit palette, indices, direct", 8, DISP_PALETTE_INDICES | DISP_DIRECT_PAINT, 97, 71, 40},
};

// For every case: a paint to the printer leaves PaintInfo byte for byte as
// it was and writes PrinterPaintInfo; the same paint to a memory DC does
// write PaintInfo, so a painter that ignored the device would be caught.
TEST_F(PrinterPaint, LeavesPaintInfoAsItWasAndWorksOnThePrinterCopy) {
    // The thread's settings block is made on first use, before the count.
    zv::ThreadPaintSettings *settings = zv::GetPaintSettings();
    LiveBlockCheck check;
    std::mt19937 rng(1205);
    PrinterDC printer;
    ASSERT_NE(printer.dc, nullptr) << "CreateDCA error " << GetLastError();
    ASSERT_TRUE(printer.started);
    Dib dib(120, 90);
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.what);
        ModeScope mode(c.mode);
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 40, 30, c.bits, ORDER_BGR, ORIENT_BOTTOM_LEFT);
        if (testing::Test::HasFatalFailure())
            return;
        const RECT src{0, 0, 40, 30};
        const RECT dst{10, 5, 10 + c.dstW, 5 + c.dstH};

        // One pixel enlarged to two on the memory DC first (scaled, so it
        // goes through a strip; unscaled paints may hand over the bitmap's
        // own rows), so that PaintInfo carries a width no case paints.
        // The direct paint hands over the whole bitmap whatever the size.
        const RECT one{0, 0, 1, 1}, two{0, 0, 2, 2};
        Z_SetDisplayMode(DISP_DIRECT_PAINT, 0);
        ASSERT_EQ(Z_PaintDC(dib.dc, &b, &one, nullptr, &two, nullptr, SRCCOPY), RC_SUCCESS);
        Z_SetDisplayMode(DISP_DIRECT_PAINT, c.mode);
        ASSERT_EQ(settings->PaintInfo.bmiHeader.biWidth, 2);
        if (c.mode & DISP_PALETTE_INDICES) {
            EXPECT_TRUE(HoldsIdentityIndexTable(settings->PaintInfo));
        }

        const InfoBytes before = Snapshot(settings->PaintInfo);
        std::memset(&settings->PrinterPaintInfo, 0xA5, sizeof settings->PrinterPaintInfo);
        EXPECT_EQ(Z_PaintDC(printer.dc, &b, &src, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
        EXPECT_TRUE(SameBytes(before, settings->PaintInfo))
            << "PaintInfo changed at byte " << FirstDifference(before, settings->PaintInfo);
        const BITMAPINFOHEADER &ph = settings->PrinterPaintInfo.bmiHeader;
        EXPECT_EQ(ph.biSize, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(ph.biWidth, c.stripWidth);
        EXPECT_EQ(ph.biBitCount, c.bits);
        if (c.bits == 8 && (c.mode & DISP_PALETTE_INDICES)) {
            EXPECT_TRUE(HoldsIdentityIndexTable(settings->PrinterPaintInfo));
        }
        // What the painter does not write came over from PaintInfo: the
        // header's other fields, and the table behind what it filled.
        const BITMAPINFOHEADER &h = settings->PaintInfo.bmiHeader;
        EXPECT_EQ(ph.biXPelsPerMeter, h.biXPelsPerMeter);
        EXPECT_EQ(ph.biYPelsPerMeter, h.biYPelsPerMeter);
        EXPECT_EQ(ph.biClrImportant, h.biClrImportant);
        const size_t filled = c.bits == 24 ? 0 : (c.mode & DISP_PALETTE_INDICES) ? 512 : 1024;
        const BYTE *mine = reinterpret_cast<const BYTE *>(settings->PrinterPaintInfo.bmiColors);
        const BYTE *theirs = reinterpret_cast<const BYTE *>(settings->PaintInfo.bmiColors);
        EXPECT_EQ(std::memcmp(mine + filled, theirs + filled, 1024 - filled), 0);
        if (c.bits == 8 && !(c.mode & DISP_PALETTE_INDICES)) {
            // The RGB colours went into the printer copy's table only.
            RGBQUAD first{};
            K_GetBitmapColors(&b, 0, 1, &first);
            EXPECT_EQ(std::memcmp(&settings->PrinterPaintInfo.bmiColors[0], &first, 3), 0);
        }

        ASSERT_EQ(Z_PaintDC(dib.dc, &b, &src, nullptr, &dst, nullptr, SRCCOPY), RC_SUCCESS);
        EXPECT_EQ(settings->PaintInfo.bmiHeader.biWidth, c.stripWidth) << "the memory DC paint missed PaintInfo";
        EXPECT_FALSE(SameBytes(before, settings->PaintInfo));
        K_FreeBitmap(&b);
    }
}

// A printer paint on another thread writes that thread's copy: neither of
// this thread's BITMAPINFOs moves.
TEST_F(PrinterPaint, AnotherThreadsPrinterPaintLeavesThisThreadsSettings) {
    zv::ThreadPaintSettings *settings = zv::GetPaintSettings();
    LiveBlockCheck check;
    const InfoBytes paint = Snapshot(settings->PaintInfo), printer = Snapshot(settings->PrinterPaintInfo);
    int rc = -1;
    LONG width = 0;
    std::thread other([&] {
        {
            ModeScope mode(0);
            std::mt19937 rng(77);
            BitmapHandle b{};
            MakeRandomBitmap(b, rng, 23, 17, 8, ORDER_BGR, ORIENT_BOTTOM_LEFT);
            PrinterDC dc;
            const RECT dst{0, 0, 61, 45};
            rc = Z_PaintDC(dc.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY);
            width = zv::GetPaintSettings()->PrinterPaintInfo.bmiHeader.biWidth;
            K_FreeBitmap(&b);
        }
        zv::LibraryEntry(nullptr, DLL_THREAD_DETACH);
    });
    other.join();
    EXPECT_EQ(rc, RC_SUCCESS);
    EXPECT_EQ(width, 61);
    EXPECT_TRUE(SameBytes(paint, settings->PaintInfo));
    EXPECT_TRUE(SameBytes(printer, settings->PrinterPaintInfo));
}

}  // namespace
