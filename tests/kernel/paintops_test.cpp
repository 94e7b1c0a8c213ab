// The kernel's run-length and resize operations (the row and strip
// operations are compared pixel for pixel through the painters).
#include "support.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

TEST(RunLengths, SplitRunsLongerThanSixteenBits) {
    BitmapHandle b{};
    std::vector<WORD> runs;
    ASSERT_EQ(K_CreateBitmap(&b, 70000, 1, 1, ORDER_BGR, 0), RC_SUCCESS);
    runs.resize(70002);
    ASSERT_EQ(K_GetRunLengths(&b, 0, 0, 70000, runs.data()), 3);
    EXPECT_TRUE(runs[0] == 65535 && runs[1] == 0 && runs[2] == 70000 - 65535);
    K_FreeBitmap(&b);
}

// Red and blue exchanged at every depth with a colour order (16 bits:
// the 5-bit fields at bits 0 and 10), from red-first and from red-first
// to convert; the other bits and palette indices left as they were.
TEST(ColorOrder, ExchangesRedAndBlueAtEachDepth) {
    std::mt19937 rng(5);
    for (int bits : {8, 16, 24, 32, 48, 64})
        for (int from : {ORDER_RGB, ORDER_BGR_CONVERT}) {
            const int n = 7, bytes = bits / 8;
            std::vector<BYTE> row(size_t(n) * bytes), want;
            for (BYTE &v : row)
                v = BYTE(rng());
            want = row;
            for (int i = 0; i < n && bits > 8; ++i) {
                BYTE *p = want.data() + size_t(i) * bytes;
                if (bits == 16) {
                    const unsigned w = p[0] | p[1] << 8, r = w >> 10 & 31, b = w & 31, v = (w & ~0x7C1Fu) | b << 10 | r;
                    p[0] = BYTE(v), p[1] = BYTE(v >> 8);
                } else {
                    const int sample = bits > 32 ? 2 : 1;
                    std::swap_ranges(p, p + sample, p + 2 * sample);
                }
            }
            ASSERT_EQ(K_ConvertColorOrder(row.data(), n, bits, from, ORDER_BGR), RC_SUCCESS);
            EXPECT_EQ(row, want) << bits << " bits from order " << from;
        }
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

// An area reduction of black and white onto three grays, dithered in
// order: all white stays white, half white is mid gray; each source row is
// read about once; a row past the end is refused.  (The methods' weights:
// resize_test.cpp.)
TEST(Resize, AreaAverageOfBlackAndWhiteOntoThreeGrays) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 4, 4, 1, ORDER_BGR, 0), RC_SUCCESS);  // black, white
    for (int y = 0; y < 4; ++y)
        b.Data[y * b.BytesPerLine] = y < 2 ? 0xF0 : 0x50;  // solid white, then alternating
    const RGBQUAD grays[3] = {{0, 0, 0, 0}, {128, 128, 128, 0}, {255, 255, 255, 0}};
    Rows rows;
    KResize *r = nullptr;
    ASSERT_EQ(K_ResizeStart(&b, 2, 2, 8, grays, 3, RESIZE_AREA | RESIZE_DITHER_ORDERED, ReadRows, &rows, &r), RC_SUCCESS);
    BYTE px[2];
    ASSERT_EQ(K_ResizeRow(r, 0, 0, 2, px), RC_SUCCESS);
    EXPECT_TRUE(px[0] == 2 && px[1] == 2);
    ASSERT_EQ(K_ResizeRow(r, 1, 0, 2, px), RC_SUCCESS);
    EXPECT_EQ(px[0], 1) << "half white averages to mid gray";
    EXPECT_LE(rows.calls, 4 + 1) << "each source row read about once";
    EXPECT_EQ(K_ResizeRow(r, 2, 0, 2, px), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_ResizeEnd(r), RC_SUCCESS);
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
