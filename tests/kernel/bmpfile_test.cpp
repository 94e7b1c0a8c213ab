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

TEST(KernelBmpFile, RoundTripsEveryDepthInBothRowOrders) {
    zvtest::LiveBlockCheck check;
    const std::string path = TempPath("round.bmp");
    std::mt19937 rng(5);
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (int orientation : {ORIENT_TOP_LEFT, ORIENT_BOTTOM_LEFT}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, orientation " << orientation);
            BitmapHandle b, back;
            // Red first pixels are written blue first.
            const int order = bits == 24 && orientation == ORIENT_TOP_LEFT ? ORDER_RGB : ORDER_BGR;
            ASSERT_EQ(K_CreateBitmap(&b, 37, 11, bits, order, orientation), RC_SUCCESS);
            for (int i = 0; i < b.BytesPerLine * b.Height; ++i)
                b.Data[i] = static_cast<uint8_t>(rng());
            for (int i = 0; i < b.ColorCount; ++i)
                b.Palette[i] = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
            ASSERT_EQ(K_SaveBitmapFile(path.c_str(), &b), RC_SUCCESS);
            ASSERT_EQ(K_LoadBitmapFile(path.c_str(), &back), RC_SUCCESS);
            EXPECT_TRUE(back.Width == 37 && back.Height == 11 && back.BitsPerPixel == bits);
            EXPECT_TRUE(back.Orientation == orientation && back.Order == ORDER_BGR);
            for (int y = 0; y < 11; ++y)
                for (int x = 0; x < 37; ++x) {
                    uint64_t v = zvtest::PixelAt(b, x, y);
                    if (order == ORDER_RGB)
                        v = (v & 0xFF00) | (v & 0xFF) << 16 | (v >> 16);
                    ASSERT_EQ(zvtest::PixelAt(back, x, y), v) << x << "," << y;
                }
            ASSERT_EQ(back.ColorCount, b.ColorCount);
            for (int i = 0; i < b.ColorCount; ++i)
                ASSERT_EQ(std::memcmp(&b.Palette[i], &back.Palette[i], 3), 0) << "entry " << i;
            K_FreeBitmap(&b);
            K_FreeBitmap(&back);
        }
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
    auto load = [&](const std::string &data) {
        std::FILE *out = std::fopen(path.c_str(), "wb");
        std::fwrite(data.data(), 1, data.size(), out);
        std::fclose(out);
        return K_LoadBitmapFile(path.c_str(), &b);
    };
    EXPECT_EQ(load(bytes.substr(0, bytes.size() - 5)), RC_INVALID_FORMAT) << "truncated pixels";
    EXPECT_EQ(load(bytes.substr(0, 30)), RC_INVALID_FORMAT) << "truncated header";
    // The magic, 9 bits per pixel, run-length compression.
    for (auto change : {std::pair<int, char>{0, 'X'}, {28, 9}, {30, 1}}) {
        std::string bad = bytes;
        bad[change.first] = change.second;
        EXPECT_EQ(load(bad), RC_INVALID_FORMAT) << "byte " << change.first;
    }
    EXPECT_EQ(std::memcmp(&b, &before, sizeof b), 0) << "a failed load leaves the descriptor";
    zvtest::SweepAllocationFailures([&] { return load(bytes); }, [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
                                    [&](int rc) { EXPECT_EQ(rc, RC_SUCCESS); K_FreeBitmap(&b); });
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
