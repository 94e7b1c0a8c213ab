// Windows BMP files.  Loading reads the DIB behind the 14-byte file header
// with the kernel's one DIB reader (dib_read.cpp); saving writes 1, 4, 8,
// 16 (5-5-5), 24 and 32 bits per pixel with a 40-byte header.
//
// A file's rows are kept in the order they are stored: a bottom-up file
// becomes a bitmap in orientation 2 and a top-down one orientation 0, so
// loading and saving never reorder rows.
#include "kernel/dib_read.h"
#include "kernel/kernel_internal.h"
#include "kernel/kmem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace zv::kern;

namespace {

constexpr long kFileHeader = 14;

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

template <class T>
T Read(const uint8_t *p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

bool IsFileDepth(int bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Red and blue exchange places in a row of 16 (5-5-5), 24 or 32 bits.
void SwapRedBlue(uint8_t *row, int width, int bits) {
    for (int x = 0; x < width; ++x) {
        if (bits == 16) {
            uint16_t v = Read<uint16_t>(row + 2 * x);
            v = static_cast<uint16_t>((v & 0x83E0) | ((v & 0x1F) << 10) | ((v >> 10) & 0x1F));
            std::memcpy(row + 2 * x, &v, 2);
        } else {
            uint8_t *p = row + x * (bits / 8);
            std::swap(p[0], p[2]);
        }
    }
}

}  // namespace

extern "C" {

int __stdcall K_LoadBitmapFile(const char *pszFile, BitmapHandle *pBitmap) {
    if (!pszFile)
        return RC_FILE_OPEN;
    if (!pBitmap)
        return RC_INVALID_PARAMETER;
    File f(std::fopen(pszFile, "rb"));
    if (!f)
        return RC_FILE_OPEN;
    if (std::fseek(f.get(), 0, SEEK_END) != 0)
        return RC_FILE_SEEK;
    const long size = std::ftell(f.get());
    if (size < kFileHeader + 12)  // the file header and the smallest DIB header
        return RC_INVALID_FORMAT;
    std::rewind(f.get());
    zv::KPtr<uint8_t> file = zv::KAlloc<uint8_t>(static_cast<size_t>(size));
    if (!file)
        return RC_NO_MEMORY;
    const uint8_t *p = file.get();
    if (std::fread(file.get(), 1, size, f.get()) != static_cast<size_t>(size))
        return RC_ROW_READ;
    // The file header: "BM", the file size (not read), two reserved words
    // and where the rows begin; the DIB follows.
    const uint32_t offBits = Read<uint32_t>(p + 10);
    if (p[0] != 'B' || p[1] != 'M' || offBits < kFileHeader || offBits > static_cast<uint32_t>(size))
        return RC_INVALID_FORMAT;
    const DibParts parts{p + kFileHeader, static_cast<size_t>(size) - kFileHeader, p + offBits,
                         static_cast<size_t>(size) - offBits};
    return ReadDib(parts, pBitmap);
}

int __stdcall K_SaveBitmapFile(const char *pszFile, const BitmapHandle *pBitmap) {
    if (!HasData(pBitmap))
        return RC_NO_BITMAP;
    if (!pszFile)
        return RC_FILE_OPEN;
    const int bits = pBitmap->BitsPerPixel;
    if (!IsFileDepth(bits) || (bits == 16 && pBitmap->Order == ORDER_GRAY))
        return RC_INVALID_FORMAT;
    if (pBitmap->Orientation != ORIENT_TOP_LEFT && pBitmap->Orientation != ORIENT_BOTTOM_LEFT)
        return RC_INVALID_PARAMETER;

    const int width = pBitmap->Width, rows = pBitmap->Height;
    const int stride = static_cast<int>(StrideOf(width, bits));
    RGBQUAD colors[256] = {};
    const int used = bits <= 8 ? K_GetBitmapColors(pBitmap, 0, 1 << bits, colors) : 0;
    const uint32_t offBits = 54 + 4 * used;

    uint8_t header[54] = {};
    auto put16 = [&](int at, uint16_t v) { std::memcpy(header + at, &v, 2); };
    auto put32 = [&](int at, uint32_t v) { std::memcpy(header + at, &v, 4); };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, offBits + static_cast<uint32_t>(stride) * rows);
    put32(10, offBits);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(pBitmap->Orientation == ORIENT_BOTTOM_LEFT ? rows : -rows));
    put16(26, 1);
    put16(28, static_cast<uint16_t>(bits));
    put32(34, static_cast<uint32_t>(stride) * rows);
    put32(38, 3780);  // 96 dpi
    put32(42, 3780);
    put32(46, static_cast<uint32_t>(used));

    zv::KPtr<uint8_t> rowBlock = zv::KAlloc<uint8_t>(stride);
    if (!rowBlock)
        return RC_NO_MEMORY;
    uint8_t *row = rowBlock.get();
    File f(std::fopen(pszFile, "wb"));
    if (!f)
        return RC_FILE_OPEN;
    bool ok = std::fwrite(header, sizeof header, 1, f.get()) == 1 &&
              (used == 0 || std::fwrite(colors, 4 * used, 1, f.get()) == 1);
    const bool swap = bits >= 16 && pBitmap->Order != ORDER_BGR && pBitmap->Order != ORDER_BGR_CONVERT;
    for (int y = 0; ok && y < rows; ++y) {
        std::memcpy(row, pBitmap->Data + static_cast<size_t>(y) * pBitmap->BytesPerLine, stride);
        if (swap)
            SwapRedBlue(row, width, bits);
        ok = std::fwrite(row, stride, 1, f.get()) == 1;
    }
    if (std::fclose(f.release()) != 0)
        ok = false;
    return ok ? RC_SUCCESS : RC_FILE_OPEN;
}

}  // extern "C"
