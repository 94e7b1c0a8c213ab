// The kernel's row, strip, run-length and resize operations, against
// slow per-pixel models written from their contracts.
#include "support.h"

#include <cstring>
#include <random>
#include <vector>

namespace {

// Pixel x of a row in the kernel's packing, read the slow way.
uint32_t Px(const std::vector<BYTE> &row, int x, int bits) {
    if (bits == 12) {
        const size_t at = size_t(x / 2) * 3;
        return x % 2 ? ((row[at + 1] | (row[at + 2] << 8)) >> 4) : ((row[at] | (row[at + 1] << 8)) & 0xFFF);
    }
    if (bits >= 8) {
        uint64_t v = 0;
        for (int i = 0; i < bits / 8; ++i)
            v |= uint64_t(row[size_t(x) * (bits / 8) + i]) << (8 * i);
        return uint32_t(v ^ (v >> 32));
    }
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i) {
        const int bit = x * bits + i;
        v = (v << 1) | ((row[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return v;
}

std::vector<BYTE> RandomBytes(std::mt19937 &rng, size_t n) {
    std::vector<BYTE> v(n);
    for (auto &b : v)
        b = BYTE(rng());
    return v;
}

const int kDepths[] = {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 24, 32, 48, 64};

TEST(StretchRow, FollowsTheDdaAtEveryDepth) {
    std::mt19937 rng(11);
    for (int bits : kDepths)
        for (int round = 0; round < 40; ++round) {
            const int srcW = 1 + int(rng() % 70), dstW = 1 + int(rng() % 90);
            const int first = int(rng() % 8);
            const int s = int(rng() % srcW) + 1, d = 1 + int(rng() % 50);
            const int q = s / d, r = s % d, e0 = int(rng() % d);
            // The columns the DDA reaches must stay in the row.
            const int need = first + int((int64_t(dstW - 1) * s + e0) / d) + 1;
            std::vector<BYTE> src = RandomBytes(rng, size_t((int64_t(need) * bits + 7) / 8) + 8);
            std::vector<BYTE> dst(size_t((int64_t(dstW) * bits + 7) / 8) + 8, 0);
            ASSERT_EQ(K_StretchRow(bits, src.data(), first, q, r, d, e0, dst.data(), dstW), RC_SUCCESS);
            for (int i = 0; i < dstW; ++i) {
                const int col = first + int((int64_t(i) * s + e0) / d);
                ASSERT_EQ(Px(dst, i, bits), Px(src, col, bits)) << bits << " bits, pixel " << i;
            }
        }
}

TEST(StretchRow, EqualSizesCopyFromAnyColumn) {
    std::mt19937 rng(12);
    for (int bits : kDepths) {
        std::vector<BYTE> src = RandomBytes(rng, 200), dst(200, 0);
        for (int first = 0; first < 9; ++first) {
            ASSERT_EQ(K_StretchRow(bits, src.data(), first, 0, 7, 7, 0, dst.data(), 11), RC_SUCCESS);
            for (int i = 0; i < 11; ++i)
                ASSERT_EQ(Px(dst, i, bits), Px(src, first + i, bits)) << bits;
        }
    }
    BYTE row[4] = {};
    EXPECT_EQ(K_StretchRow(9, row, 0, 0, 1, 1, 0, row, 1), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_StretchRow(8, row, 0, 0, 1, 1, 1, row, 1), RC_INVALID_PARAMETER) << "error beyond the denominator";
}

TEST(ColorOrder, ExchangesRedAndBlueOnlyBetweenBlueFirstAndRedFirst) {
    BYTE row24[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(K_ConvertColorOrder(row24, 2, 24, ORDER_BGR_CONVERT, ORDER_BGR), RC_SUCCESS);
    EXPECT_EQ(std::vector<BYTE>(row24, row24 + 6), (std::vector<BYTE>{3, 2, 1, 6, 5, 4}));
    K_ConvertColorOrder(row24, 2, 24, ORDER_BGR, ORDER_BGR);
    K_ConvertColorOrder(row24, 2, 24, ORDER_GRAY, ORDER_BGR);
    EXPECT_EQ(row24[0], 3) << "same order or gray: untouched";
    BYTE row48[6] = {1, 2, 3, 4, 5, 6};
    K_ConvertColorOrder(row48, 1, 48, ORDER_RGB, ORDER_BGR);
    EXPECT_EQ(std::vector<BYTE>(row48, row48 + 6), (std::vector<BYTE>{5, 6, 3, 4, 1, 2}));
    BYTE row32[4] = {1, 2, 3, 4};
    K_ConvertColorOrder(row32, 1, 32, ORDER_BGR_CONVERT, ORDER_BGR);
    EXPECT_EQ(std::vector<BYTE>(row32, row32 + 4), (std::vector<BYTE>{3, 2, 1, 4}));
    WORD w = WORD((1 << 15) | (3 << 10) | (7 << 5) | 21);
    K_ConvertColorOrder(reinterpret_cast<BYTE *>(&w), 1, 16, ORDER_BGR_CONVERT, ORDER_BGR);
    EXPECT_EQ(w, WORD((1 << 15) | (21 << 10) | (7 << 5) | 3));
}

int Stride(int w, int bits) { return ((w * bits + 31) / 32) * 4; }

TEST(StripTurns, RotateBothWaysAndMirrorAgainstTheModel) {
    std::mt19937 rng(13);
    for (int bits : {1, 2, 4, 8, 16, 24, 32})
        for (int round = 0; round < 20; ++round) {
            const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 20);
            std::vector<BYTE> in = RandomBytes(rng, size_t(Stride(w, bits)) * h);
            auto at = [&](const std::vector<BYTE> &v, int stride, int row, int x) {
                return Px(std::vector<BYTE>(v.begin() + size_t(row) * stride, v.begin() + size_t(row + 1) * stride),
                          x, bits);
            };
            for (int dir = 0; dir < 2; ++dir) {
                std::vector<BYTE> out(size_t(Stride(h, bits)) * w, 0xCC);
                ASSERT_EQ(K_RotateStrip(in.data(), out.data(), w, h, bits, dir), RC_SUCCESS);
                for (int o = 0; o < w; ++o)
                    for (int k = 0; k < h; ++k) {
                        // Clockwise: the left column, read bottom up, becomes the top row.
                        const uint32_t want = dir ? at(in, Stride(w, bits), h - 1 - k, o)
                                                  : at(in, Stride(w, bits), k, w - 1 - o);
                        ASSERT_EQ(at(out, Stride(h, bits), o, k), want) << bits << " bits dir " << dir;
                    }
            }
            std::vector<BYTE> out(in.size(), 0xCC);
            ASSERT_EQ(K_FlipStrip(in.data(), out.data(), w, h, bits), RC_SUCCESS);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(at(out, Stride(w, bits), y, x), at(in, Stride(w, bits), y, w - 1 - x));
        }
}

TEST(Band, ReversesRowOrder) {
    const BYTE src[6] = {1, 2, 3, 4, 5, 6};
    BYTE dst[6] = {};
    EXPECT_EQ(K_ConvertBand(src, dst, 2, 3), RC_SUCCESS);
    EXPECT_EQ(std::vector<BYTE>(dst, dst + 6), (std::vector<BYTE>{5, 6, 3, 4, 1, 2}));
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
        ASSERT_GE(n, 1);
        ASSERT_LE(n, width + 2);
        int x = first;
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < runs[i]; ++k, ++x)
                ASSERT_EQ((b.Data[y * b.BytesPerLine + x / 8] >> (7 - x % 8)) & 1, i % 2) << "run " << i;
        EXPECT_EQ(x, first + width);
        for (int i = 1; i + 1 < n; ++i)
            EXPECT_GT(runs[i], 0) << "only the first and last runs may be empty";
    }
    EXPECT_EQ(K_GetRunLengths(&b, 0, 0, 1, runs.data()), 2) << "a black pixel: empty white run first";
    EXPECT_EQ(runs[0], 0);
    EXPECT_EQ(K_GetRunLengths(&b, 4, 0, 1, runs.data()), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetRunLengths(&b, 0, 299, 2, runs.data()), RC_INVALID_PARAMETER);
    K_FreeBitmap(&b);
}

TEST(RunLengths, SplitRunsLongerThanSixteenBits) {
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 70000, 1, 1, ORDER_BGR, 0), RC_SUCCESS);
    std::vector<WORD> runs(70002);
    const int n = K_GetRunLengths(&b, 0, 0, 70000, runs.data());
    ASSERT_EQ(n, 3);
    EXPECT_EQ(runs[0], 65535);
    EXPECT_EQ(runs[1], 0);
    EXPECT_EQ(runs[2], 70000 - 65535);
    K_FreeBitmap(&b);
}

TEST(FootprintThreshold, GrowsWithTheAreaAndIsAtLeastOne) {
    EXPECT_EQ(K_GetFootprintThreshold(0), 1);
    EXPECT_EQ(K_GetFootprintThreshold(1), 1);
    int last = 1;
    for (int n = 2; n < 400; ++n) {
        const int t = K_GetFootprintThreshold(n);
        EXPECT_GE(t, last);
        EXPECT_LE(t, n);
        last = t;
    }
}

// Row source over a kernel bitmap that counts its calls.
struct Rows {
    int calls = 0;
    int failAt = -1;
};
int __stdcall ReadRows(const BitmapHandle *b, BYTE *buffer, int row, int column, int bytes, void *context) {
    auto *r = static_cast<Rows *>(context);
    if (r->calls++ == r->failAt)
        return RC_ROW_READ;
    const int offset = column * b->BitsPerPixel / 8;
    return K_GetBitmapRow(b, buffer, row, offset, bytes) >= 0 ? RC_SUCCESS : RC_ROW_READ;
}

TEST(Resize, BilinearKeepsFlatColourAndInterpolatesBetweenColumns) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 2, 3, 24, ORDER_BGR, 0), RC_SUCCESS);
    for (int y = 0; y < 3; ++y) {
        BYTE *p = b.Data + y * b.BytesPerLine;
        p[0] = 0, p[1] = 0, p[2] = 0;        // black
        p[3] = 200, p[4] = 100, p[5] = 40;   // blue 200, green 100, red 40
    }
    Rows rows;
    KResize *r = nullptr;
    ASSERT_EQ(K_ResizeStart(&b, 8, 6, 24, nullptr, 0, RESIZE_BILINEAR, ReadRows, &rows, &r), RC_SUCCESS);
    std::vector<BYTE> out(8 * 3);
    int lastBlue = -1;
    for (int y = 0; y < 6; ++y) {
        ASSERT_EQ(K_ResizeRow(r, y, 0, 8, out.data()), RC_SUCCESS);
        EXPECT_EQ(out[0], 0) << "the left edge keeps its colour";
        EXPECT_EQ(out[7 * 3], 200);
        EXPECT_EQ(out[7 * 3 + 2], 40);
        for (int x = 1; x < 8; ++x)
            EXPECT_GE(out[3 * x], out[3 * (x - 1)]) << "monotone between the two columns";
        lastBlue = out[4 * 3];
    }
    EXPECT_GT(lastBlue, 0);
    EXPECT_LT(lastBlue, 200);
    EXPECT_LE(rows.calls, 3 + 1) << "each source row read about once";
    EXPECT_EQ(K_ResizeEnd(r), RC_SUCCESS);
    K_FreeBitmap(&b);
}

TEST(Resize, AreaAverageOfAPaletteImageToPaletteIndices) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 4, 4, 1, ORDER_BGR, 0), RC_SUCCESS);  // black, white
    for (int y = 0; y < 4; ++y)
        b.Data[y * b.BytesPerLine] = y < 2 ? 0xF0 : 0x50;  // solid white, then alternating
    const RGBQUAD grays[3] = {{0, 0, 0, 0}, {128, 128, 128, 0}, {255, 255, 255, 0}};
    Rows rows;
    KResize *r = nullptr;
    ASSERT_EQ(K_ResizeStart(&b, 2, 2, 8, grays, 3, RESIZE_AREA | RESIZE_DITHER_ORDERED, ReadRows, &rows, &r),
              RC_SUCCESS);
    BYTE out[2];
    ASSERT_EQ(K_ResizeRow(r, 0, 0, 2, out), RC_SUCCESS);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 2);
    ASSERT_EQ(K_ResizeRow(r, 1, 0, 2, out), RC_SUCCESS);
    EXPECT_EQ(out[0], 1) << "half white averages to mid gray";
    EXPECT_EQ(K_ResizeRow(r, 2, 0, 2, out), RC_INVALID_PARAMETER);
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
        [&](int rc) {
            EXPECT_EQ(rc, RC_NO_MEMORY);
            EXPECT_EQ(r, nullptr);
        },
        [&](int rc) {
            EXPECT_EQ(rc, RC_SUCCESS);
            K_ResizeEnd(r);
        });
    K_FreeBitmap(&b);
}

}  // namespace

