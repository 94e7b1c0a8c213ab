// Kernel trigonometry and the kernel's own bitmap transforms (pixels
// only; the region they carry is tested with the region operations).
#include "support.h"

#include <cmath>
#include <vector>

namespace {

TEST(KernelTrig, FixedPointCosineAndSine) {
    for (int a = -72000; a <= 72000; a += 37) {
        const double rad = a * 3.14159265358979323846 / 18000;
        EXPECT_LE(std::fabs(K_CosFixed(a) - 16384 * std::cos(rad)), 0.5 + 1e-9) << a;
        EXPECT_LE(std::fabs(K_SinFixed(a) - 16384 * std::sin(rad)), 0.5 + 1e-9) << a;
    }
    const int quarter[4][2] = {{16384, 0}, {0, 16384}, {-16384, 0}, {0, -16384}};
    for (int k = -8; k <= 8; ++k) {
        const int q = ((k % 4) + 4) % 4;
        EXPECT_EQ(K_CosFixed(9000 * k), quarter[q][0]) << k;
        EXPECT_EQ(K_SinFixed(9000 * k), quarter[q][1]) << k;
    }
    // Symmetric angles give equal magnitudes.
    for (int a = 0; a < 9000; a += 13) {
        EXPECT_EQ(K_CosFixed(a), -K_CosFixed(18000 - a));
        EXPECT_EQ(K_SinFixed(a), K_SinFixed(18000 - a));
        EXPECT_EQ(K_SinFixed(a), -K_SinFixed(-a));
    }
}

// A bitmap whose pixel values name their position, at any depth.
struct Numbered {
    BitmapHandle b{};
    int bits;
    Numbered(int w, int h, int bitsPerPixel) : bits(bitsPerPixel) {
        EXPECT_EQ(K_CreateBitmap(&b, w, h, bits, ORDER_BGR, 0), RC_SUCCESS);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                Set(x, y, static_cast<uint64_t>(y * 31 + x * 7 + 1));
    }
    ~Numbered() { K_FreeBitmap(&b); }
    uint64_t Mask() const { return bits >= 64 ? ~0ull : (1ull << bits) - 1; }
    uint64_t Get(int x, int y) const {
        uint64_t v = 0;
        const uint8_t *row = b.Data + static_cast<size_t>(y) * b.BytesPerLine;
        for (int i = 0; i < bits; ++i) {
            const int64_t bit = static_cast<int64_t>(x) * bits + i;
            v = v << 1 | ((row[bit / 8] >> (7 - bit % 8)) & 1);
        }
        return v;
    }
    void Set(int x, int y, uint64_t v) {
        v &= Mask();
        uint8_t *row = b.Data + static_cast<size_t>(y) * b.BytesPerLine;
        for (int i = 0; i < bits; ++i) {
            const int64_t bit = static_cast<int64_t>(x) * bits + i;
            const uint8_t m = static_cast<uint8_t>(0x80 >> (bit % 8));
            if ((v >> (bits - 1 - i)) & 1)
                row[bit / 8] |= m;
            else
                row[bit / 8] &= static_cast<uint8_t>(~m);
        }
    }
};

TEST(KernelGeometry, FlipMirrorRotateResizeMovePixels) {
    zvtest::LiveBlockCheck check;
    for (int bits : {1, 4, 8, 12, 24, 32}) {
        SCOPED_TRACE(bits);
        const int w = 13, h = 7;
        Numbered src(w, h, bits);
        {
            Numbered t(w, h, bits);
            ASSERT_EQ(K_FlipBitmap(&t.b), RC_SUCCESS);
            ASSERT_EQ(K_MirrorBitmap(&t.b), RC_SUCCESS);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(t.Get(x, y), src.Get(w - 1 - x, h - 1 - y));
        }
        for (int angle : {9000, 18000, 27000, -9000, 3000}) {
            Numbered t(w, h, bits);
            ASSERT_EQ(K_RotateBitmap(&t.b, angle), RC_SUCCESS);
            int64_t a = (-angle % 36000 + 36000) % 36000;
            const int64_t c = K_CosFixed(static_cast<int>(a)), s = K_SinFixed(static_cast<int>(a));
            if (angle % 18000 == 0) {
                EXPECT_EQ(t.b.Width, w);
            } else if (angle % 9000 == 0) {
                EXPECT_EQ(t.b.Width, h);
                EXPECT_EQ(t.b.Height, w);
            }
            for (int y = 0; y < t.b.Height; ++y)
                for (int x = 0; x < t.b.Width; ++x) {
                    const int64_t sx = w / 2 + ((x - t.b.Width / 2) * c - (y - t.b.Height / 2) * s) / 16384;
                    const int64_t sy = h / 2 + ((x - t.b.Width / 2) * s + (y - t.b.Height / 2) * c) / 16384;
                    const uint64_t want = sx >= 0 && sx < w && sy >= 0 && sy < h
                                              ? src.Get(static_cast<int>(sx), static_cast<int>(sy))
                                              : 0;
                    ASSERT_EQ(t.Get(x, y), want) << angle << " at " << x << "," << y;
                }
        }
        {
            Numbered t(w, h, bits);
            ASSERT_EQ(K_ResizeBitmap(&t.b, 30, 5), RC_SUCCESS);
            ASSERT_EQ(t.b.Width, 30);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 30; ++x)
                    ASSERT_EQ(t.Get(x, y), src.Get(x * w / 30, y * h / 5));
        }
    }
    BitmapHandle none{};
    EXPECT_EQ(K_FlipBitmap(nullptr), RC_NO_BITMAP);
    EXPECT_EQ(K_MirrorBitmap(&none), RC_NO_BITMAP);
    EXPECT_EQ(K_RotateBitmap(&none, 9000), RC_NO_BITMAP);
    EXPECT_EQ(K_ResizeBitmap(&none, 3, 3), RC_NO_BITMAP);
    Numbered t(4, 4, 8);
    EXPECT_EQ(K_ResizeBitmap(&t.b, 0, 3), RC_INVALID_PARAMETER);
    const BitmapHandle before = t.b;
    zvtest::SweepAllocationFailures([&] { return K_RotateBitmap(&t.b, 9000); },
                                    [&](int rc) {
                                        EXPECT_EQ(rc, RC_NO_MEMORY);
                                        EXPECT_EQ(t.b.Data, before.Data);
                                    },
                                    [&](int rc) {
                                        EXPECT_EQ(rc, RC_SUCCESS);
                                        K_RotateBitmap(&t.b, -9000);
                                    });
}

}  // namespace
