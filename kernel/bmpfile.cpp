// Windows BMP files: 1, 4, 8, 16 (5-5-5), 24 and 32 bits per pixel.
//
// A file's rows are kept in the order they are stored: a bottom-up file
// becomes a bitmap in orientation 2 and a top-down one orientation 0, so
// loading and saving never reorder rows.
#include "kernel/kernel_internal.h"
#include "kernel/kmem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace zv::kern;

namespace {

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
    if (size < 54)
        return RC_INVALID_FORMAT;
    std::rewind(f.get());
    zv::KPtr<uint8_t> file = zv::KAlloc<uint8_t>(static_cast<size_t>(size));
    if (!file)
        return RC_NO_MEMORY;
    const uint8_t *p = file.get();
    if (std::fread(file.get(), 1, size, f.get()) != static_cast<size_t>(size))
        return RC_ROW_READ;

    if (p[0] != 'B' || p[1] != 'M')
        return RC_INVALID_FORMAT;
    const uint32_t offBits = Read<uint32_t>(p + 10);
    const uint32_t infoSize = Read<uint32_t>(p + 14);
    const int32_t width = Read<int32_t>(p + 18);
    const int32_t height = Read<int32_t>(p + 22);
    const int bits = Read<uint16_t>(p + 28);
    const uint32_t compression = Read<uint32_t>(p + 30);
    uint32_t used = Read<uint32_t>(p + 46);
    if (infoSize < 40 || 14ull + infoSize > static_cast<uint64_t>(size) || width <= 0 || height == 0 ||
        height == INT32_MIN || Read<uint16_t>(p + 26) != 1 || !IsFileDepth(bits))
        return RC_INVALID_FORMAT;
    uint32_t colorTable = 14 + infoSize;
    if (compression == BI_BITFIELDS && (bits == 16 || bits == 32)) {
        if (infoSize == 40)
            colorTable += 12;
        if (colorTable > static_cast<uint32_t>(size) || size < 66)  // the masks at 54
            return RC_INVALID_FORMAT;
        const uint32_t red = Read<uint32_t>(p + 54), green = Read<uint32_t>(p + 58), blue = Read<uint32_t>(p + 62);
        const bool rgb555 = red == 0x7C00 && green == 0x3E0 && blue == 0x1F;
        const bool rgb888 = red == 0xFF0000 && green == 0xFF00 && blue == 0xFF;
        if (!(bits == 16 ? rgb555 : rgb888))
            return RC_INVALID_FORMAT;
    } else if (compression != BI_RGB) {
        return RC_INVALID_FORMAT;
    }
    const uint32_t maxColors = bits <= 8 ? 1u << bits : 0;
    if (used == 0 || used > maxColors)
        used = maxColors;
    const int rows = height < 0 ? -height : height;
    const int64_t stride = StrideOf(width, bits);  // 0: rows too long for a bitmap
    if (stride == 0 || colorTable + 4ull * used > static_cast<uint64_t>(size) ||
        offBits + static_cast<uint64_t>(stride) * rows > static_cast<uint64_t>(size))
        return RC_INVALID_FORMAT;

    BitmapHandle b;
    const int rc = K_CreateBitmap(&b, width, rows, bits, ORDER_BGR, height > 0 ? ORIENT_BOTTOM_LEFT : ORIENT_TOP_LEFT);
    if (rc != RC_SUCCESS)
        return rc;
    std::memcpy(b.Data, p + offBits, static_cast<size_t>(stride) * rows);
    if (used) {
        std::memcpy(b.Palette, p + colorTable, 4 * used);
        for (uint32_t i = 0; i < used; ++i)
            b.Palette[i].rgbReserved = 0;
        b.ColorCount = static_cast<int32_t>(used);
    }
    *pBitmap = b;
    return RC_SUCCESS;
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
