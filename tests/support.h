// Helpers shared by the tests: leak checks and allocation-failure sweeps.
#pragma once

#include "zvdisp.h"
#include "zvkern.h"
#include "tools/common/gdi_count.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace zvtest {

// The eight orientation codes (there is no 6).
inline constexpr int kOrientations[8] = {0, 1, 2, 3, 4, 5, 7, 8};

// Fails the test when the scope ends with more or fewer live kernel blocks
// than it began with.
class LiveBlockCheck {
public:
    LiveBlockCheck() : start_(K_GetLiveBlockCount()) {}
    ~LiveBlockCheck() { EXPECT_EQ(K_GetLiveBlockCount(), start_) << "kernel blocks leaked or freed twice"; }
    LiveBlockCheck(const LiveBlockCheck &) = delete;
    LiveBlockCheck &operator=(const LiveBlockCheck &) = delete;

private:
    int start_;
};

// Heap faults a test causes on purpose (tests/test_main.cpp fails a test
// whose fault count differs from this).
inline int &ExpectedHeapFaults() {
    static int expected = 0;
    return expected;
}

// Adds a failure naming heap fault i of the kernel (K_GetHeapFault).
inline void ReportHeapFault(int i) {
    static const char *const kinds[] = {"?", "written past its end", "written before its start",
                                        "written after it was freed", "freed twice", "not a kernel block"};
    KHeapFault f{};
    if (!K_GetHeapFault(i, &f))
        return;
    ADD_FAILURE() << "heap fault " << i << ": block of " << f.Size << " bytes (allocation " << f.Sequence << ") "
                  << kinds[f.Kind >= 1 && f.Kind <= 5 ? f.Kind : 0];
}

using zvtools::GdiObjectCount;  // live GDI objects (tools/common/gdi_count.h)
using zvtools::WarmUp;

// Windows that belong to the calling thread (top-level and children),
// leaving out the IME window the system gives each top-level window.
inline int ThreadWindowCount() {
    struct Counter {
        static BOOL CALLBACK Count(HWND hWnd, LPARAM lParam) {
            char name[8] = {};
            GetClassNameA(hWnd, name, sizeof name);
            if (lstrcmpiA(name, "IME") != 0)
                ++*reinterpret_cast<int *>(lParam);
            return TRUE;
        }
        static BOOL CALLBACK CountTree(HWND hWnd, LPARAM lParam) {
            Count(hWnd, lParam);
            EnumChildWindows(hWnd, Count, lParam);
            return TRUE;
        }
    };
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), Counter::CountTree, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Fails the test when the scope ends with live kernel blocks, GDI objects
// or windows of this thread other than at its start.
class ResourceCheck {
public:
    ResourceCheck()
        : blocks_((WarmUp(), K_GetLiveBlockCount())), gdi_(GdiObjectCount()), windows_(ThreadWindowCount()) {}
    ~ResourceCheck() {
        EXPECT_EQ(K_GetLiveBlockCount(), blocks_) << "kernel blocks leaked or freed twice";
        EXPECT_EQ(GdiObjectCount(), gdi_) << "GDI objects leaked or deleted twice";
        EXPECT_EQ(ThreadWindowCount(), windows_) << "windows left behind";
    }
    ResourceCheck(const ResourceCheck &) = delete;
    ResourceCheck &operator=(const ResourceCheck &) = delete;

private:
    int blocks_, gdi_, windows_;
};

// A descriptor an application fills by hand over its own memory: pixels
// of a pattern, `colors` entries of a pattern (the fourth byte too), the
// identity paint table, every bit significant.
struct HandMade {
    std::vector<uint8_t> pixels;
    std::vector<RGBQUAD> palette;
    uint8_t lut[256];
    BitmapHandle bitmap{};

    HandMade(int width, int height, int bits, int colors, int order = ORDER_BGR) {
        const int stride = (width * bits + 31) / 32 * 4;
        pixels.resize(static_cast<size_t>(stride) * height);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(i * 7 + 3);
        for (int i = 0; i < colors; ++i)
            palette.push_back(RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i * 3), BYTE(i)});
        for (int i = 0; i < 256; ++i)
            lut[i] = static_cast<uint8_t>(i);
        bitmap.Data = pixels.data();
        bitmap.Width = width, bitmap.Height = height, bitmap.BitsPerPixel = bits, bitmap.BytesPerLine = stride;
        bitmap.Flags = BITMAP_ALLOCATED | BITMAP_CONTIGUOUS;
        bitmap.ColorCount = colors;
        bitmap.Palette = colors ? palette.data() : nullptr;
        bitmap.Order = order, bitmap.HighBit = bits - 1;
        bitmap.PaintLUT = lut;
        bitmap.PaintGamma = 100;
    }
};

// Runs op once with the n-th allocation failing, for n = 0, 1, 2, ...,
// until a run makes all its allocations.  After each run that met the
// injected failure, failed(rc) checks the outcome and live blocks must be
// back where they were; after the clean run, succeeded(rc) checks it (and
// undoes it, so that the count comparison holds for the next run).
// Returns the number of allocations of the clean run.
inline int SweepAllocationFailures(const std::function<int()> &op, const std::function<void(int)> &failed,
                                   const std::function<void(int)> &succeeded) {
    for (int n = 0; n < 10000; ++n) {
        const int live = K_GetLiveBlockCount();
        K_SetAllocationFailure(n, 0);
        const int rc = op();
        const bool clean = K_GetAllocationCountdown() >= 0;
        K_SetAllocationFailure(-1, 0);
        if (clean) {
            succeeded(rc);
            EXPECT_EQ(K_GetLiveBlockCount(), live) << "after the clean run";
            return n;
        }
        SCOPED_TRACE(testing::Message() << "allocation " << n << " failed");
        failed(rc);
        EXPECT_EQ(K_GetLiveBlockCount(), live) << "blocks left after allocation " << n << " failed";
        if (testing::Test::HasFailure())
            return n;
    }
    ADD_FAILURE() << "the operation never ran clean";
    return -1;
}

// The palette entry the kernel reduces a colour to: least weighted distance
// 2 dr^2 + 4 dg^2 + db^2, the first of equals.
inline int NearestEntry(const RGBQUAD *pal, int n, int r, int g, int b) {
    int best = 0, bestD = 1 << 30;
    for (int i = 0; i < n; ++i) {
        const int dr = pal[i].rgbRed - r, dg = pal[i].rgbGreen - g, db = pal[i].rgbBlue - b;
        const int d = 2 * dr * dr + 4 * dg * dg + db * db;
        if (d < bestD)
            best = i, bestD = d;
    }
    return best;
}

// Pixel x of a row in the kernel's packing, read the slow way: a bit
// stream below 8 bits, 12-bit pairs in three bytes, little-endian bytes
// above.
inline uint64_t PixelAt(const BYTE *row, int x, int bits) {
    if (bits == 12) {
        const BYTE *q = row + (x / 2) * 3;
        return x % 2 ? (q[1] | q[2] << 8) >> 4 : (q[0] | q[1] << 8) & 0xFFF;
    }
    uint64_t v = 0;
    if (bits >= 8) {
        for (int i = 0; i < bits / 8; ++i)
            v |= uint64_t(row[size_t(x) * (bits / 8) + i]) << (8 * i);
        return v;
    }
    for (int i = 0; i < bits; ++i) {
        const int bit = x * bits + i;
        v = v << 1 | ((row[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return v;
}

// Stored pixel (column c, row r) of a bitmap.
inline uint64_t PixelAt(const BitmapHandle &b, int c, int r) {
    return PixelAt(b.Data + size_t(r) * b.BytesPerLine, c, b.BitsPerPixel);
}

// A file of this process's own in the temporary folder, holding `bytes`
// (written with the kernel's file functions); its path.
inline std::string WriteTempFile(const std::string &name, const std::vector<uint8_t> &bytes) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH - 64, dir);
    const std::string path = dir + std::to_string(GetCurrentProcessId()) + "-" + name;
    const HANDLE f = K_FileOpen(path.c_str(), K_FILE_WRITE);
    EXPECT_EQ(K_FileWrite(f, bytes.data(), UINT(bytes.size())), int(bytes.size())) << path;
    K_FileClose(f);
    return path;
}

// The folder of the running test executable, with its trailing separator.
inline std::string ExeDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string p = path;
    return p.substr(0, p.find_last_of("\\/") + 1);
}

// Runs a command line to its end (at most ms): its exit code, or ~0u when
// it could not start or did not end.
inline DWORD RunProcess(std::string commandLine, DWORD ms = 60000) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return ~0u;
    DWORD code = ~0u;
    if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace zvtest
