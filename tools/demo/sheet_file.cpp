// BMP and PNG writers for the demo's contact sheet.
//
// PNG: signature, IHDR (8-bit RGB), one IDAT of the zlib-compressed rows
// (each row with filter type 1, "Sub", which suits gradients), IEND; every
// chunk carries the CRC-32 of its type and data.
#include "tools/demo/sheet_file.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

namespace demo {

namespace {

void Put32(std::vector<BYTE> &v, uint32_t x) {
    v.push_back(BYTE(x >> 24));
    v.push_back(BYTE(x >> 16));
    v.push_back(BYTE(x >> 8));
    v.push_back(BYTE(x));
}

void Chunk(std::vector<BYTE> &out, const char *type, const std::vector<BYTE> &data) {
    Put32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, uInt(out.size() - start));
    Put32(out, uint32_t(crc));
}

bool WriteAll(const char *path, const void *data, size_t size) {
    FILE *f = std::fopen(path, "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

bool WriteBmp(const char *path, const uint32_t *pixels, int w, int h) {
    const int stride = (w * 3 + 3) & ~3;
    std::vector<BYTE> file(54 + size_t(stride) * h, 0);
    auto put16 = [&](size_t at, int v) { file[at] = BYTE(v), file[at + 1] = BYTE(v >> 8); };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = BYTE(v >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M';
    put32(2, uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    put16(26, 1);
    put16(28, 24);
    put32(34, uint32_t(stride) * h);
    for (int y = 0; y < h; ++y) {
        BYTE *row = &file[54 + size_t(h - 1 - y) * stride];
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pixels[size_t(y) * w + x];
            row[3 * x] = BYTE(p), row[3 * x + 1] = BYTE(p >> 8), row[3 * x + 2] = BYTE(p >> 16);
        }
    }
    return WriteAll(path, file.data(), file.size());
}

bool WritePng(const char *path, const uint32_t *pixels, int w, int h) {
    std::vector<BYTE> raw;
    raw.reserve(size_t(w * 3 + 1) * h);
    for (int y = 0; y < h; ++y) {
        raw.push_back(1);  // Sub: each byte minus the same channel of the pixel to its left
        int prev[3] = {0, 0, 0};
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pixels[size_t(y) * w + x];
            const int c[3] = {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
            for (int k = 0; k < 3; ++k) {
                raw.push_back(BYTE(c[k] - prev[k]));
                prev[k] = c[k];
            }
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<BYTE> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK)
        return false;
    packed.resize(packedSize);
    std::vector<BYTE> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<BYTE> ihdr;
    Put32(ihdr, uint32_t(w));
    Put32(ihdr, uint32_t(h));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
    Chunk(out, "IHDR", ihdr);
    Chunk(out, "IDAT", packed);
    Chunk(out, "IEND", {});
    return WriteAll(path, out.data(), out.size());
}

}  // namespace demo
