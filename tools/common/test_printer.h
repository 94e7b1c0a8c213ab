// A PostScript printer without a printer: Wine's PostScript driver with a
// hand-written 100 dpi PPD, its port mapped to a file in the temporary
// folder, installed into the running Wine prefix by the program itself;
// and Ghostscript to render a written job to pixels.  Used by the tests
// and by the demo's printed page.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zvtools {

// The least a PostScript driver needs: one page size and the resolution.
inline const char kTestPpd[] =
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

inline const char kTestPpdName[] = "zvdisp-test.ppd";
inline const char kTestDriverName[] = "zvdisp test PostScript";

// Writes the whole of data to path; false with the reason in *why.
inline bool WriteFileAll(const std::string &path, const char *data, DWORD size, std::string *why) {
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

// The Unix path of a Windows path (empty outside Wine).
inline std::string UnixPathOf(const wchar_t *path) {
    using UnixName = char *(CDECL *)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return {};
    char *unix = unixName(path);
    if (!unix)
        return {};
    std::string s = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return s;
}

// A printer on `port`, whose jobs land in %TEMP%\<file>.  Where the job
// goes (Windows and Unix paths) after a successful install.
struct TestPrinter {
    std::string Name, Port, JobPath, JobUnixPath;
};

inline bool RunningUnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// Installs the test driver (wineps.drv with kTestPpd) for this program's
// architecture unless it is there.
inline bool InstallTestDriver(std::string *why) {
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
    if (!WriteFileAll(path + "\\" + kTestPpdName, kTestPpd, DWORD(sizeof kTestPpd - 1), why))
        return false;
    DRIVER_INFO_3A driver{};
    driver.cVersion = 3;
    driver.pName = const_cast<char *>(kTestDriverName);
    driver.pDriverPath = const_cast<char *>("wineps.drv");
    driver.pDataFile = const_cast<char *>(kTestPpdName);
    driver.pConfigFile = const_cast<char *>("wineps.drv");
    if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE *>(&driver)) &&
        GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
        *why = "AddPrinterDriverA failed, error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

// Installs the printer unless the prefix has it from an earlier run, and
// points its port at the job file (Wine's spooler takes a Unix path).
// With makeDefault it becomes the default printer (the profile's
// "windows"/"device" then names it).
inline bool InstallTestPrinter(TestPrinter *p, const char *name, const char *port, const char *file, bool makeDefault,
                               std::string *why) {
    wchar_t temp[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n + 64 > MAX_PATH) {
        *why = "GetTempPathW failed";
        return false;
    }
    char tempA[MAX_PATH];
    GetTempPathA(MAX_PATH, tempA);
    std::wstring job = temp;
    for (const char *c = file; *c; ++c)
        job += wchar_t(*c);
    p->Name = name;
    p->Port = port;
    p->JobPath = std::string(tempA) + file;
    p->JobUnixPath = UnixPathOf(job.c_str());
    if (p->JobUnixPath.empty()) {
        *why = "not running under Wine (no Unix name for the job file)";
        return false;
    }
    HKEY key;
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) {
        *why = "RegCreateKeyExA failed, error " + std::to_string(rc);
        return false;
    }
    rc = RegSetValueExA(key, port, 0, REG_SZ, reinterpret_cast<const BYTE *>(p->JobUnixPath.c_str()),
                        DWORD(p->JobUnixPath.size() + 1));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        *why = "RegSetValueExA failed, error " + std::to_string(rc);
        return false;
    }
    // The printer and its port are the prefix's, the driver is per
    // architecture: a printer that a program of the other architecture
    // installed in the same (WoW64) prefix has no driver for this one yet.
    if (!InstallTestDriver(why))
        return false;
    HANDLE h = nullptr;
    if (OpenPrinterA(const_cast<char *>(name), &h, nullptr)) {
        ClosePrinter(h);
    } else {
        PRINTER_INFO_2A printer{};
        printer.pPrinterName = const_cast<char *>(name);
        printer.pPortName = const_cast<char *>(port);
        printer.pDriverName = const_cast<char *>(kTestDriverName);
        printer.pPrintProcessor = const_cast<char *>("WinPrint");
        printer.pDatatype = const_cast<char *>("RAW");
        printer.Attributes = PRINTER_ATTRIBUTE_LOCAL;
        h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE *>(&printer));
        if (!h && GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) {
            *why = "AddPrinterA failed, error " + std::to_string(GetLastError());
            return false;
        }
        if (h)
            ClosePrinter(h);
    }
    if (makeDefault && !SetDefaultPrinterA(name)) {
        *why = "SetDefaultPrinterA failed, error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

// Reads a whole file; empty when it cannot be read.
inline std::string ReadFileAll(const std::string &path) {
    std::string s;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

// Runs a shell command line (no double quotes in it) on the Unix side and waits (pumping nothing)
// until `doneFile` (a Windows path) exists, at most timeoutMs.  Wine gives
// back no usable process handle for a Unix program, so the command must
// create doneFile last (mv of a finished file is atomic).
inline bool RunUnixCommand(const std::string &command, const std::string &doneFile, DWORD timeoutMs) {
    std::string line = "Z:\\bin\\sh -c \"" + command + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hProcess)
        CloseHandle(pi.hProcess);
    if (pi.hThread)
        CloseHandle(pi.hThread);
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        if (GetFileAttributesA(doneFile.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(20);
    }
    return false;
}

// A rendered page: 0x00RRGGBB, rows top first.
struct Page {
    int Width = 0, Height = 0;
    std::vector<uint32_t> Pixels;
    uint32_t At(int x, int y) const { return Pixels[size_t(y) * Width + x]; }
};

// Renders the first page of a PostScript file (Windows and Unix paths) with
// Ghostscript at `dpi` into *page; outUnix/outPath name the output file
// (a PPM, or a PDF with pdf set, in which case *page stays empty).
inline bool RenderWithGhostscript(const std::string &psUnix, const std::string &outUnix, const std::string &outPath,
                                  int dpi, bool pdf, Page *page, std::string *why) {
    DeleteFileA(outPath.c_str());
    const std::string device = pdf ? "pdfwrite" : "ppmraw";
    const std::string cmd = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=" + device + " -r" + std::to_string(dpi) +
                            " -o " + outUnix + ".part " + psUnix + " >/dev/null 2>&1; mv " + outUnix + ".part " +
                            outUnix;
    if (!RunUnixCommand(cmd, outPath, 60000)) {
        *why = "Ghostscript gave no " + outUnix + " (is gs installed? scripts/setup.sh)";
        return false;
    }
    if (pdf || !page)
        return true;
    const std::string ppm = ReadFileAll(outPath);
    // "P6", width, height, maximum, each after blanks and # comments.
    int fields[3] = {}, used = 2;
    for (int k = 0; k < 3 && ppm.compare(0, 2, "P6") == 0; ++k) {
        while (used < int(ppm.size()) && (std::isspace(BYTE(ppm[used])) || ppm[used] == '#'))
            if (ppm[used] == '#')
                while (used < int(ppm.size()) && ppm[used] != '\n')
                    ++used;
            else
                ++used;
        while (used < int(ppm.size()) && std::isdigit(BYTE(ppm[used])))
            fields[k] = fields[k] * 10 + (ppm[used++] - '0');
    }
    const int w = fields[0], h = fields[1], max = fields[2];
    if (w <= 0 || h <= 0 || max != 255 || ppm.size() < size_t(used) + 1 + size_t(w) * h * 3) {
        *why = "Ghostscript wrote no page (" + std::to_string(ppm.size()) + " bytes)";
        return false;
    }
    const BYTE *p = reinterpret_cast<const BYTE *>(ppm.data()) + used + 1;
    page->Width = w;
    page->Height = h;
    page->Pixels.resize(size_t(w) * h);
    for (size_t i = 0; i < page->Pixels.size(); ++i, p += 3)
        page->Pixels[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    return true;
}

}  // namespace zvtools
