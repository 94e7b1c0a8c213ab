// The kernel's row, strip, run-length and resize operations, against
// slow per-pixel models written from their contracts.
#include "support.h"

#include <cstring>
#include <random>
#include <vector>

namespace {

using zvtest::PixelAt;

std::vector<BYTE> RandomBytes(std::mt19937 &rng, size_t n) {
    std::vector<BYTE> v(n);
    for (auto &b : v)
        b = BYTE(rng());
    return v;
}

// Stretching follows the DDA: pixel i comes from column first + (i s + e0) / d.
TEST(StretchRow, FollowsTheDdaAtEveryDepth) {
    std::mt19937 rng(11);
    for (int bits : {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 24, 32, 48, 64})
        for (int round = 0; round < 40; ++round) {
            const int dstW = 1 + int(rng() % 90), first = int(rng() % 8), d = 1 + int(rng() % 50);
            const int s = round % 8 ? 1 + int(rng() % 70) : d, e0 = round % 8 ? int(rng() % d) : 0;
            const int need = first + int((int64_t(dstW - 1) * s + e0) / d) + 1;
            std::vector<BYTE> src = RandomBytes(rng, size_t((int64_t(need) * bits + 7) / 8) + 8);
            std::vector<BYTE> dst(size_t((int64_t(dstW) * bits + 7) / 8) + 8, 0);
            const int q = s == d ? 0 : s / d, rem = s == d ? d : s % d;  // equal sizes: remainder d
            ASSERT_EQ(K_StretchRow(bits, src.data(), first, q, rem, d, e0, dst.data(), dstW), RC_SUCCESS);
            for (int i = 0; i < dstW; ++i)
                ASSERT_EQ(PixelAt(dst.data(), i, bits), PixelAt(src.data(), first + int((int64_t(i) * s + e0) / d), bits))
                    << bits << " bits, pixel " << i;
        }
    BYTE row[4] = {};
    EXPECT_EQ(K_StretchRow(9, row, 0, 0, 1, 1, 0, row, 1), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_StretchRow(8, row, 0, 0, 1, 1, 1, row, 1), RC_INVALID_PARAMETER) << "error beyond the denominator";
}

TEST(ColorOrder, ExchangesRedAndBlueOnlyBetweenBlueFirstAndRedFirst) {
    using Bytes = std::vector<BYTE>;
    Bytes row24{1, 2, 3, 4, 5, 6}, row48 = row24, row32{1, 2, 3, 4};
    EXPECT_EQ(K_ConvertColorOrder(row24.data(), 2, 24, ORDER_BGR_CONVERT, ORDER_BGR), RC_SUCCESS);
    EXPECT_EQ(row24, (Bytes{3, 2, 1, 6, 5, 4}));
    K_ConvertColorOrder(row24.data(), 2, 24, ORDER_BGR, ORDER_BGR);
    K_ConvertColorOrder(row24.data(), 2, 24, ORDER_GRAY, ORDER_BGR);
    EXPECT_EQ(row24[0], 3) << "same order or gray: untouched";
    K_ConvertColorOrder(row48.data(), 1, 48, ORDER_RGB, ORDER_BGR);
    EXPECT_EQ(row48, (Bytes{5, 6, 3, 4, 1, 2}));
    K_ConvertColorOrder(row32.data(), 1, 32, ORDER_BGR_CONVERT, ORDER_BGR);
    EXPECT_EQ(row32, (Bytes{3, 2, 1, 4}));
    WORD w = WORD((1 << 15) | (3 << 10) | (7 << 5) | 21);
    K_ConvertColorOrder(reinterpret_cast<BYTE *>(&w), 1, 16, ORDER_BGR_CONVERT, ORDER_BGR);
    EXPECT_EQ(w, WORD((1 << 15) | (21 << 10) | (7 << 5) | 3));
    const Bytes band{1, 2, 3, 4, 5, 6};
    Bytes reversed(6);
    EXPECT_EQ(K_ConvertBand(band.data(), reversed.data(), 2, 3), RC_SUCCESS);
    EXPECT_EQ(reversed, (Bytes{5, 6, 3, 4, 1, 2}));
}

int Stride(int w, int bits) { return ((w * bits + 31) / 32) * 4; }

TEST(StripTurns, RotateBothWaysAndMirrorAgainstTheModel) {
    std::mt19937 rng(13);
    for (int bits : {1, 2, 4, 8, 16, 24, 32})
        for (int round = 0; round < 20; ++round) {
            const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 20);
            std::vector<BYTE> in = RandomBytes(rng, size_t(Stride(w, bits)) * h);
            auto at = [&](const std::vector<BYTE> &v, int width, int row, int x) {
                return PixelAt(v.data() + size_t(row) * Stride(width, bits), x, bits);
            };
            for (int dir = 0; dir < 2; ++dir) {
                std::vector<BYTE> out(size_t(Stride(h, bits)) * w, 0xCC);
                ASSERT_EQ(K_RotateStrip(in.data(), out.data(), w, h, bits, dir), RC_SUCCESS);
                for (int o = 0; o < w; ++o)
                    for (int k = 0; k < h; ++k)  // clockwise: the left column, read bottom up, becomes the top row
                        ASSERT_EQ(at(out, h, o, k), dir ? at(in, w, h - 1 - k, o) : at(in, w, k, w - 1 - o))
                            << bits << " bits dir " << dir;
            }
            std::vector<BYTE> out(in.size(), 0xCC);
            ASSERT_EQ(K_FlipStrip(in.data(), out.data(), w, h, bits), RC_SUCCESS);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(at(out, w, y, x), at(in, w, y, w - 1 - x));
        }
}

TEST(RunLengths, AlternateFromZeroAndRebuildTheRow) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(14);
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 300, 4, 1, ORDER_BGR, 0), RC_SUCCESS);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < b.BytesPerLine; ++x)  // long runs and noise
            b.Data[y * b.BytesPerLine + x] = y == 0 ? 0xFF : y == 1 ? 0x00 : y == 2 ? BYTE(rng()) : BYTE(x < 20 ? 0xF0 : 0);
    std::vector<WORD> runs(302);
    for (int round = 0; round < 200; ++round) {
        const int y = round % 4, first = int(rng() % 300), width = int(rng() % (301 - first));
        const int n = K_GetRunLengths(&b, y, first, width, runs.data());
        ASSERT_TRUE(n >= 1 && n <= width + 2);
        int x = first;
        for (int i = 0; i < n; ++i) {
            EXPECT_TRUE(runs[i] > 0 || i == 0 || i == n - 1) << "only the first and last runs may be empty";
            for (int k = 0; k < runs[i]; ++k, ++x)
                ASSERT_EQ(PixelAt(b, x, y), uint64_t(i % 2)) << "run " << i;
        }
        EXPECT_EQ(x, first + width);
    }
    EXPECT_EQ(K_GetRunLengths(&b, 0, 0, 1, runs.data()), 2) << "a black pixel: empty white run first";
    EXPECT_EQ(runs[0], 0);
    EXPECT_EQ(K_GetRunLengths(&b, 4, 0, 1, runs.data()), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetRunLengths(&b, 0, 299, 2, runs.data()), RC_INVALID_PARAMETER);
    K_FreeBitmap(&b);
    // Runs longer than 16 bits are split by an empty run.
    ASSERT_EQ(K_CreateBitmap(&b, 70000, 1, 1, ORDER_BGR, 0), RC_SUCCESS);
    runs.resize(70002);
    ASSERT_EQ(K_GetRunLengths(&b, 0, 0, 70000, runs.data()), 3);
    EXPECT_TRUE(runs[0] == 65535 && runs[1] == 0 && runs[2] == 70000 - 65535);
    K_FreeBitmap(&b);
}

// Row source over a kernel bitmap that counts its calls.
struct Rows {
    int calls = 0, failAt = -1;
};
int __stdcall ReadRows(const BitmapHandle *b, BYTE *buffer, int row, int column, int bytes, void *context) {
    auto *r = static_cast<Rows *>(context);
    if (r->calls++ == r->failAt)
        return RC_ROW_READ;
    return K_GetBitmapRow(b, buffer, row, column * b->BitsPerPixel / 8, bytes) >= 0 ? RC_SUCCESS : RC_ROW_READ;
}

TEST(Resize, BilinearAndAreaAverageAgainstWorkedRows) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 2, 3, 24, ORDER_BGR, 0), RC_SUCCESS);
    for (int y = 0; y < 3; ++y)  // black, then blue 200, green 100, red 40
        std::memcpy(b.Data + y * b.BytesPerLine, "\0\0\0\xC8\x64\x28", 6);
    Rows rows;
    KResize *r = nullptr;
    ASSERT_EQ(K_ResizeStart(&b, 8, 6, 24, nullptr, 0, RESIZE_BILINEAR, ReadRows, &rows, &r), RC_SUCCESS);
    std::vector<BYTE> out(8 * 3);
    for (int y = 0; y < 6; ++y) {
        ASSERT_EQ(K_ResizeRow(r, y, 0, 8, out.data()), RC_SUCCESS);
        EXPECT_TRUE(out[0] == 0 && out[21] == 200 && out[23] == 40) << "the edges keep their colours";
        for (int x = 1; x < 8; ++x)
            EXPECT_GE(out[3 * x], out[3 * (x - 1)]) << "monotone between the two columns";
        EXPECT_TRUE(out[12] > 0 && out[12] < 200);
    }
    EXPECT_LE(rows.calls, 3 + 1) << "each source row read about once";
    EXPECT_EQ(K_ResizeEnd(r), RC_SUCCESS);
    K_FreeBitmap(&b);

    ASSERT_EQ(K_CreateBitmap(&b, 4, 4, 1, ORDER_BGR, 0), RC_SUCCESS);  // black, white
    for (int y = 0; y < 4; ++y)
        b.Data[y * b.BytesPerLine] = y < 2 ? 0xF0 : 0x50;  // solid white, then alternating
    const RGBQUAD grays[3] = {{0, 0, 0, 0}, {128, 128, 128, 0}, {255, 255, 255, 0}};
    ASSERT_EQ(K_ResizeStart(&b, 2, 2, 8, grays, 3, RESIZE_AREA | RESIZE_DITHER_ORDERED, ReadRows, &rows, &r), RC_SUCCESS);
    BYTE px[2];
    ASSERT_EQ(K_ResizeRow(r, 0, 0, 2, px), RC_SUCCESS);
    EXPECT_TRUE(px[0] == 2 && px[1] == 2);
    ASSERT_EQ(K_ResizeRow(r, 1, 0, 2, px), RC_SUCCESS);
    EXPECT_EQ(px[0], 1) << "half white averages to mid gray";
    EXPECT_EQ(K_ResizeRow(r, 2, 0, 2, px), RC_INVALID_PARAMETER);
    K_ResizeEnd(r);
    K_FreeBitmap(&b);
}

TEST(Resize, PassesTheRowSourceFailureAndFreesOnEveryPath) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 16, 16, 8, ORDER_GRAY, 0), RC_SUCCESS);
    Rows rows;
    rows.failAt = 0;
    KResize *r = nullptr;
    ASSERT_EQ(K_ResizeStart(&b, 5, 5, 24, nullptr, 0, RESIZE_BILINEAR, ReadRows, &rows, &r), RC_SUCCESS);
    BYTE out[16];
    EXPECT_EQ(K_ResizeRow(r, 0, 0, 5, out), RC_ROW_READ);
    K_ResizeEnd(r);
    const RGBQUAD mono[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    zvtest::SweepAllocationFailures(
        [&] { return K_ResizeStart(&b, 5, 5, 1, mono, 2, RESIZE_AREA, ReadRows, &rows, &r); },
        [&](int rc) { EXPECT_TRUE(rc == RC_NO_MEMORY && r == nullptr); },
        [&](int rc) { EXPECT_EQ(rc, RC_SUCCESS); K_ResizeEnd(r); });
    K_FreeBitmap(&b);
}

}  // namespace
