// Painting to a raster printer must leave the thread's PaintInfo (and its
// identity index table) alone: the strip and unscaled painters work on
// PrinterPaintInfo there.  The printer is a PostScript printer the test
// installs into the Wine prefix itself (a hand-written 100 dpi PPD, the
// port LPT1: mapped to a file), so nothing but the prefix is needed.
#include "paint/reference.h"

#include "frame/library.h"
#include "paint/paint_kind.h"

#include <winspool.h>

#include <cstring>
#include <string>
#include <thread>

using namespace zvtest;

namespace {

const char kPrinterName[] = "zvdisp test printer";
const char kDriverName[] = "zvdisp test PostScript";
const char kPpdName[] = "zvdisp-test.ppd";

// The least a PostScript driver needs: one page size and the resolution.
const char kPpd[] =
    "*PPD-Adobe: \"4.3\"\n"
    "*FormatVersion: \"4.3\"\n"
    "*FileVersion: \"1.0\"\n"
    "*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n"
    "*PCFileName: \"ZVTEST.PPD\"\n"
    "*Manufacturer: \"zvdisp\"\n"
    "*Product: \"(zvdisp test printer)\"\n"
    "*ModelName: \"zvdisp test printer\"\n"
    "*ShortNickName: \"zvdisp test printer\"\n"
    "*NickName: \"zvdisp test printer\"\n"
    "*PSVersion: \"(3010.000) 0\"\n"
    "*LanguageLevel: \"3\"\n"
    "*ColorDevice: True\n"
    "*DefaultColorSpace: RGB\n"
    "*FileSystem: False\n"
    "*Throughput: \"1\"\n"
    "*TTRasterizer: Type42\n"
    "*DefaultResolution: 100dpi\n"
    "*OpenUI *PageSize/Page Size: PickOne\n"
    "*OrderDependency: 10 AnySetup *PageSize\n"
    "*DefaultPageSize: Letter\n"
    "*PageSize Letter/Letter: \"<</PageSize[612 792]/ImagingBBox null>>setpagedevice\"\n"
    "*CloseUI: *PageSize\n"
    "*OpenUI *PageRegion: PickOne\n"
    "*OrderDependency: 10 AnySetup *PageRegion\n"
    "*DefaultPageRegion: Letter\n"
    "*PageRegion Letter/Letter: \"<</PageSize[612 792]/ImagingBBox null>>setpagedevice\"\n"
    "*CloseUI: *PageRegion\n"
    "*DefaultImageableArea: Letter\n"
    "*ImageableArea Letter/Letter: \"0 0 612 792\"\n"
    "*DefaultPaperDimension: Letter\n"
    "*PaperDimension Letter/Letter: \"612 792\"\n";

// Writes the whole of data to path; false with the reason in *why.
bool WriteFileAll(const std::string &path, const char *data, DWORD size, std::string *why) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        *why = "CreateFileA " + path + " failed, error " + std::to_string(GetLastError());
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(f, data, size, &written, nullptr) && written == size;
    CloseHandle(f);
    if (!ok)
        *why = "WriteFile " + path + " failed, error " + std::to_string(GetLastError());
    return ok;
}

// Points LPT1: at a file in the temporary folder, so that a job has
// somewhere to go.  Wine's spooler takes a Unix path there.
bool MapPortToFile(std::string *why) {
    using UnixName = char *(CDECL *)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) {
        *why = "not running under Wine (no wine_get_unix_file_name)";
        return false;
    }
    wchar_t temp[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n + 32 > MAX_PATH) {
        *why = "GetTempPathW failed";
        return false;
    }
    wcscat(temp, L"zvdisp-printer-test.ps");
    char *unix = unixName(temp);
    if (!unix) {
        *why = "no Unix name for the job file";
        return false;
    }
    const std::string target = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    HKEY key;
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        *why = "RegCreateKeyExA failed, error " + std::to_string(rc);
        return false;
    }
    rc = RegSetValueExA(key, "LPT1:", 0, REG_SZ, reinterpret_cast<const BYTE *>(target.c_str()),
                        DWORD(target.size() + 1));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        *why = "RegSetValueExA failed, error " + std::to_string(rc);
        return false;
    }
    return true;
}

bool PrinterInstalled() {
    HANDLE h = nullptr;
    if (!OpenPrinterA(const_cast<char *>(kPrinterName), &h, nullptr))
        return false;
    ClosePrinter(h);
    return true;
}

// Installs the test printer unless the prefix has it from an earlier run;
// the default printer stays as it is.
bool InstallPrinter(std::string *why) {
    if (!MapPortToFile(why))
        return false;
    if (PrinterInstalled())
        return true;
    char dir[MAX_PATH];
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE *>(dir), sizeof dir, &needed)) {
        *why = "GetPrinterDriverDirectoryA failed, error " + std::to_string(GetLastError());
        return false;
    }
    // The data file must sit in the version-3 folder below the driver
    // directory, where the spooler looks for a driver's files.
    std::string path = std::string(dir) + "\\3";
    CreateDirectoryA(dir, nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    path += "\\";
    path += kPpdName;
    if (!WriteFileAll(path, kPpd, DWORD(sizeof kPpd - 1), why))
        return false;

    DRIVER_INFO_3A driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<char *>(kDriverName);
    driver.pDriverPath = const_cast<char *>("wineps.drv");
    driver.pDataFile = const_cast<char *>(kPpdName);
    driver.pConfigFile = const_cast<char *>("wineps.drv");
    if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE *>(&driver)) &&
        GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
        *why = "AddPrinterDriverA failed, error " + std::to_string(GetLastError());
        return false;
    }
    PRINTER_INFO_2A printer{};
    printer.pPrinterName = const_cast<char *>(kPrinterName);
    printer.pPortName = const_cast<char *>("LPT1:");
    printer.pDriverName = const_cast<char *>(kDriverName);
    printer.pPrintProcessor = const_cast<char *>("WinPrint");
    printer.pDatatype = const_cast<char *>("RAW");
    printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE *>(&printer));
    if (!h && GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) {
        *why = "AddPrinterA failed, error " + std::to_string(GetLastError());
        return false;
    }
    if (h)
        ClosePrinter(h);
    return true;
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
        wine_ = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
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
