// BMP files: round trips at every file depth in both row orders, and
// damaged files.
#include "support.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

std::string TempPath(const char *name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "zvtest_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

void FillRandom(BitmapHandle &b, unsigned seed) {
    std::mt19937 rng(seed);
    for (int i = 0; i < b.BytesPerLine * b.Height; ++i)
        b.Data[i] = static_cast<uint8_t>(rng());
    for (int i = 0; i < b.ColorCount; ++i)
        b.Palette[i] = RGBQUAD{static_cast<BYTE>(rng()), static_cast<BYTE>(rng()), static_cast<BYTE>(rng()), 0};
}

// Pixel bits that a file keeps (the padding at the end of a row is not data).
bool SameRows(const BitmapHandle &a, const BitmapHandle &b) {
    const int bits = a.Width * a.BitsPerPixel;
    for (int y = 0; y < a.Height; ++y) {
        const uint8_t *p = a.Data + y * a.BytesPerLine, *q = b.Data + y * b.BytesPerLine;
        if (std::memcmp(p, q, bits / 8) != 0)
            return false;
        if (bits % 8) {
            const uint8_t mask = static_cast<uint8_t>(0xFF00 >> (bits % 8));
            if ((p[bits / 8] & mask) != (q[bits / 8] & mask))
                return false;
        }
    }
    return true;
}

TEST(KernelBmpFile, RoundTripsEveryDepthInBothRowOrders) {
    zvtest::LiveBlockCheck check;
    const std::string path = TempPath("round.bmp");
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (int orientation : {ORIENT_TOP_LEFT, ORIENT_BOTTOM_LEFT}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, orientation " << orientation);
            BitmapHandle b, back;
            ASSERT_EQ(K_CreateBitmap(&b, 37, 11, bits, ORDER_BGR, orientation), RC_SUCCESS);
            FillRandom(b, bits * 10 + orientation);
            ASSERT_EQ(K_SaveBitmapFile(path.c_str(), &b), RC_SUCCESS);
            ASSERT_EQ(K_LoadBitmapFile(path.c_str(), &back), RC_SUCCESS);
            EXPECT_EQ(back.Width, 37);
            EXPECT_EQ(back.Height, 11);
            EXPECT_EQ(back.BitsPerPixel, bits);
            EXPECT_EQ(back.Orientation, orientation);
            EXPECT_EQ(back.Order, ORDER_BGR);
            EXPECT_TRUE(SameRows(b, back));
            EXPECT_EQ(back.ColorCount, b.ColorCount);
            for (int i = 0; i < b.ColorCount; ++i)
                ASSERT_EQ(std::memcmp(&b.Palette[i], &back.Palette[i], 3), 0) << "entry " << i;
            K_FreeBitmap(&b);
            K_FreeBitmap(&back);
        }
    std::remove(path.c_str());
}

TEST(KernelBmpFile, RedFirstPixelsAreWrittenBlueFirst) {
    BitmapHandle b, back;
    ASSERT_EQ(K_CreateBitmap(&b, 2, 1, 24, ORDER_RGB, ORIENT_TOP_LEFT), RC_SUCCESS);
    const uint8_t rgb[6] = {10, 20, 30, 40, 50, 60};
    K_PutBitmapRow(&b, rgb, 0, 0, 6);
    const std::string path = TempPath("rgb.bmp");
    ASSERT_EQ(K_SaveBitmapFile(path.c_str(), &b), RC_SUCCESS);
    ASSERT_EQ(K_LoadBitmapFile(path.c_str(), &back), RC_SUCCESS);
    const uint8_t bgr[6] = {30, 20, 10, 60, 50, 40};
    EXPECT_EQ(std::memcmp(back.Data, bgr, 6), 0);
    K_FreeBitmap(&b);
    K_FreeBitmap(&back);
    std::remove(path.c_str());
}

TEST(KernelBmpFile, DamagedFilesAndUnsupportedBitmapsAreRefused) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b;
    std::memset(&b, 0x33, sizeof b);
    const BitmapHandle before = b;
    EXPECT_EQ(K_LoadBitmapFile(nullptr, &b), RC_FILE_OPEN);
    EXPECT_EQ(K_LoadBitmapFile(TempPath("missing.bmp").c_str(), &b), RC_FILE_OPEN);

    BitmapHandle good;
    ASSERT_EQ(K_CreateBitmap(&good, 9, 9, 8, ORDER_BGR, 0), RC_SUCCESS);
    const std::string path = TempPath("cut.bmp");
    ASSERT_EQ(K_SaveBitmapFile(path.c_str(), &good), RC_SUCCESS);
    std::FILE *f = std::fopen(path.c_str(), "rb");
    std::string bytes(2000, '\0');
    bytes.resize(std::fread(&bytes[0], 1, bytes.size(), f));
    std::fclose(f);
    auto writeVariant = [&](const std::string &data) {
        std::FILE *out = std::fopen(path.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), out);
        std::fclose(out);
        return K_LoadBitmapFile(path.c_str(), &b);
    };
    EXPECT_EQ(writeVariant(bytes.substr(0, bytes.size() - 5)), RC_INVALID_FORMAT) << "truncated pixels";
    EXPECT_EQ(writeVariant(bytes.substr(0, 30)), RC_INVALID_FORMAT) << "truncated header";
    std::string bad = bytes;
    bad[0] = 'X';
    EXPECT_EQ(writeVariant(bad), RC_INVALID_FORMAT) << "magic";
    bad = bytes;
    bad[28] = 9;
    EXPECT_EQ(writeVariant(bad), RC_INVALID_FORMAT) << "9 bits per pixel";
    bad = bytes;
    bad[30] = 1;
    EXPECT_EQ(writeVariant(bad), RC_INVALID_FORMAT) << "run-length compressed";
    EXPECT_EQ(std::memcmp(&b, &before, sizeof b), 0) << "a failed load leaves the descriptor";

    zvtest::SweepAllocationFailures(
        [&] { return writeVariant(bytes); },
        [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
        [&](int rc) {
            EXPECT_EQ(rc, RC_SUCCESS);
            K_FreeBitmap(&b);
        });

    BitmapHandle deep;
    ASSERT_EQ(K_CreateBitmap(&deep, 2, 2, 48, ORDER_BGR, 0), RC_SUCCESS);
    EXPECT_EQ(K_SaveBitmapFile(path.c_str(), &deep), RC_INVALID_FORMAT);
    K_FreeBitmap(&deep);
    good.Orientation = ORIENT_LEFT_TOP;
    EXPECT_EQ(K_SaveBitmapFile(path.c_str(), &good), RC_INVALID_PARAMETER);
    K_FreeBitmap(&good);
    EXPECT_EQ(K_SaveBitmapFile(path.c_str(), &good), RC_NO_BITMAP);
    std::remove(path.c_str());
}

}  // namespace
