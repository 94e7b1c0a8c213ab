// Region painting against models: the region paints equal the plain paint
// inside the region and the old pixels outside, the outline equals the
// defined region formula painted with the stripe pattern, the highlight
// xors inside the region and undoes itself.
#include "region_model.h"
#include "paint/reference.h"
#include "region/convert.h"

#include <array>

namespace {

using namespace rgntest;

constexpr uint32_t kOld = 0x204060;
constexpr WORD kPattern[8] = {0x0F, 0x87, 0xC3, 0xE1, 0xF0, 0x78, 0x3C, 0x1E};

// The region of b in the coordinates of a paint of its part src (null:
// all) into dst, pixel by pixel.
Mask PaintedRegion(const BitmapHandle &b, const Mask &m, const RECT *src, const RECT &dst) {
    BitmapHandle frame = b;
    Mask part = m;
    if (src) {
        frame.Width = src->right - src->left, frame.Height = src->bottom - src->top;
        part = Mask::Of([&](int x, int y) {
            return x >= 0 && y >= 0 && x < frame.Width && y < frame.Height && m.Get(x + src->left, y + src->top);
        });
    }
    const RgnTransform t{0, dst.right - dst.left, zvtest::DisplayW(frame), dst.bottom - dst.top,
                         zvtest::DisplayH(frame), dst.left, dst.top};
    return MapToCaller(part, frame, &t);
}

struct ClipState {
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    int has = 0;
    explicit ClipState(HDC dc) { has = GetClipRgn(dc, rgn); }
    ~ClipState() { DeleteObject(rgn); }
    bool operator==(const ClipState &o) const { return has == o.has && (!has || EqualRgn(rgn, o.rgn)); }
};

TEST(PaintRgnDC, InsideTheRegionThePlainPaintOutsideTheOldPixels) {
    zvtest::ModeScope mode(0x0C);
    zvtest::ResourceCheck check;
    std::mt19937 rng(99);
    zvtest::Dib plain(160, 140), dib(160, 140);
    for (int round = 0; round < 80; ++round) {
        BitmapHandle b{};
        zvtest::MakeRandomBitmap(b, rng, 20 + int(rng() % 60), 20 + int(rng() % 60), round % 2 ? 8 : 24, ORDER_BGR,
                                 round % 3 ? 0 : zvtest::kOrientations[rng() % 8]);
        const Mask m = round % 10 ? RandomMask(rng, b.Width, b.Height) : Mask::Rect(0, 0, b.Width, b.Height);
        b.Region = round % 10 ? RgnOfMask(m) : nullptr;  // every 10th without a region
        const int dw = zvtest::DisplayW(b), dh = zvtest::DisplayH(b);
        RECT part = zvtest::RandomRect(rng, b.Width, b.Height);
        IntersectRect(&part, &part, std::array<RECT, 1>{RECT{0, 0, b.Width, b.Height}}.data());
        const RECT *src = b.Orientation == 0 && rng() % 2 && !IsRectEmpty(&part) ? &part : nullptr;
        const int sw = src ? part.right - part.left : dw, sh = src ? part.bottom - part.top : dh;
        const int num = 1 + int(rng() % 3), den = 1 + int(rng() % 2);
        const int x = int(rng() % 40) - 10, y = int(rng() % 40) - 10;
        const RECT dst{x, y, x + sw * num / den + 1, y + sh * num / den};
        const RECT clipDst = rng() % 2 ? zvtest::RandomRect(rng, 160, 140) : RECT{-9999, -9999, 9999, 9999};
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << b.BitsPerPixel << " bits, orientation "
                                        << b.Orientation << (src ? ", part" : ""));

        const Mask inside = PaintedRegion(b, m, src, dst);
        // A clip region of the caller's, if any, is put back afterwards.
        HRGN callerClip = rng() % 2 ? CreateRectRgn(3, 4, 90, 70) : nullptr;
        SelectClipRgn(dib.dc, callerClip);  // the DC keeps a copy
        DeleteObject(callerClip);
        const ClipState before(dib.dc);
        for (int buffer = 0; buffer < (b.Orientation ? 1 : 2); ++buffer) {
            plain.Fill(kOld), dib.Fill(kOld);
            ASSERT_EQ(buffer ? Z_PaintDCBuffer(plain.dc, &b, src, nullptr, &dst, &clipDst, SRCCOPY, b.Data, 0, b.Height)
                             : Z_PaintDC(plain.dc, &b, src, nullptr, &dst, &clipDst, SRCCOPY), RC_SUCCESS);
            ASSERT_EQ(buffer ? Z_PaintRgnDCBuffer(dib.dc, &b, src, nullptr, &dst, &clipDst, SRCCOPY, b.Data, 0, b.Height)
                             : Z_PaintRgnDC(dib.dc, &b, src, nullptr, &dst, &clipDst, SRCCOPY), RC_SUCCESS);
            EXPECT_TRUE(ClipState(dib.dc) == before) << "buffer " << buffer;
            auto want = plain.Pixels();
            for (int i = 0; i < dib.w * dib.h; ++i)
                want[i] = inside.Get(i % dib.w, i / dib.w) ? want[i] : kOld;
            EXPECT_EQ(zvtest::FirstDifference(dib.Pixels(), want, dib.w), "identical") << "buffer " << buffer;
        }
        SelectClipRgn(dib.dc, nullptr);
        K_FreeBitmap(&b);
    }
}

// The outline by its definition: the pixels of R xor (R moved (1, -1) and
// R moved (-1, 1)) for even uType, (-1, -1) and (1, 1) for odd, each in
// the colour of its pattern bit (1 background, 0 text colour).
std::vector<uint32_t> ExpectedOutline(const Mask &r, UINT uType, int w, int h, uint32_t text, uint32_t back) {
    const int d = (uType & 1) ? -1 : 1;
    std::vector<uint32_t> out(size_t(w) * h, kOld);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inner = r.Get(x - d, y + 1) && r.Get(x + d, y - 1);
            if (r.Get(x, y) == inner)
                continue;
            const WORD row = kPattern[(7 - (y & 7) + uType) & 7];
            out[size_t(y) * w + x] = (row >> (7 - (x & 7))) & 1 ? back : text;
        }
    return out;
}

TEST(FrameBitmapRgn, PaintsTheDefinedOutlineInTheStripePattern) {
    zvtest::ResourceCheck check;
    std::mt19937 rng(17);
    zvtest::Dib dib(200, 180);
    SetTextColor(dib.dc, RGB(0, 0, 255));
    SetBkColor(dib.dc, RGB(0, 255, 0));
    const HGDIOBJ brushBefore = GetCurrentObject(dib.dc, OBJ_BRUSH);
    for (int round = 0; round < 40; ++round) {
        BitmapHandle b = Frame(90, 70, BITMAP_ALLOCATED, round % 4 ? 0 : 4);  // every 10th without a region
        const Mask m = round % 10 ? RandomMask(rng, b.Width, b.Height) : Mask::Rect(0, 0, b.Width, b.Height);
        b.Region = round % 10 ? RgnOfMask(m) : nullptr;
        RgnTransform t{round % 4 ? 0 : 4, 1 + int(rng() % 2), 1, 1 + int(rng() % 2), 1, int(rng() % 9), int(rng() % 9)};
        const UINT uType = round < 16 ? round : rng();
        SCOPED_TRACE(testing::Message() << "round " << round << ", uType " << uType);
        dib.Fill(kOld);
        EXPECT_EQ(Z_FrameBitmapRgn(dib.dc, &b, &t, uType), RC_SUCCESS);
        const auto want = ExpectedOutline(MapToCaller(m, b, &t), uType, dib.w, dib.h, 0x0000FF, 0x00FF00);
        EXPECT_EQ(zvtest::FirstDifference(dib.Pixels(), want, dib.w), "identical");
        EXPECT_EQ(GetCurrentObject(dib.dc, OBJ_BRUSH), brushBefore);
        K_FreeRegion(b.Region);
    }
}

// The highlighted pixels: the region brought to caller coordinates as a
// whole (a turn about the frame centres, which may move it by a pixel
// against the exact turn of its bounds) within its bounds' caller rectangle.
Mask Highlighted(const Mask &m, const BitmapHandle &b, const RgnTransform *t) {
    RECT bounds = b.Region->Bounds;
    zv::RgnTransformRectToCaller(&b, t, &bounds);
    return RegionToCaller(m, b, t).Combine(Mask::Rect(bounds.left, bounds.top, bounds.right, bounds.bottom),
                                            [](bool a, bool c) { return a && c; });
}

TEST(ColorBitmapRgn, XorsInsideTheRegionAndTwiceRestoresWithTheCachedMask) {
    zvtest::ResourceCheck check;
    std::mt19937 rng(23);
    zvtest::Dib dib(200, 180);
    for (int round = 0; round < 30; ++round) {
        BitmapHandle b = Frame(56, 48, BITMAP_ALLOCATED, round % 3 ? 0 : 5);  // scaled within the model window
        const Mask m = RandomMask(rng, b.Width, b.Height);
        b.Region = RgnOfMask(m);
            RgnTransform t{zvtest::kOrientations[rng() % 8], 1 + int(rng() % 3), 1 + int(rng() % 2), 1 + int(rng() % 3),
                       1 + int(rng() % 2), int(rng() % 20), int(rng() % 20)};
        RgnTransform *pt = round % 5 ? &t : nullptr;
        const COLORREF colour = rng() & 0xFFFFFF;
        const uint32_t xorBits = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
        SCOPED_TRACE(testing::Message() << "round " << round << ", orientation " << b.Orientation << " -> "
                                        << t.Orientation);
        GdiFlush();
        for (int i = 0; i < dib.w * dib.h; ++i)
            dib.bits[i] = rng() & 0xFFFFFF;
        const auto before = dib.Pixels();
        // The pixels before, xor the colour inside the highlighted region.
        auto xored = [&](const Mask &inside) {
            auto want = before;
            for (int y = 0; y < dib.h; ++y)
                for (int x = 0; x < dib.w; ++x)
                    want[size_t(y) * dib.w + x] ^= inside.Get(x, y) ? xorBits : 0;
            return want;
        };
        ASSERT_EQ(Z_ColorBitmapRgn(dib.dc, &b, pt, colour), RC_SUCCESS);
        EXPECT_EQ(zvtest::FirstDifference(dib.Pixels(), xored(Highlighted(m, b, pt)), dib.w), "identical");
        const HBITMAP mask = b.Region->hMaskCache;
        ASSERT_NE(mask, nullptr);
        ASSERT_EQ(Z_ColorBitmapRgn(dib.dc, &b, pt, colour), RC_SUCCESS);
        EXPECT_EQ(zvtest::FirstDifference(dib.Pixels(), before, dib.w), "identical");
        EXPECT_EQ(b.Region->hMaskCache, mask);
        RgnTransform moved = zv::CacheKeyOf(&b, pt);  // moved: the same mask, drawn at the new place
        moved.OffsetX += 11, moved.OffsetY += 5;
        ASSERT_EQ(Z_ColorBitmapRgn(dib.dc, &b, &moved, colour), RC_SUCCESS);
        EXPECT_EQ(b.Region->hMaskCache, mask);
        EXPECT_EQ(zvtest::FirstDifference(dib.Pixels(), xored(Highlighted(m, b, &moved)), dib.w), "identical");
        RgnTransform flat = moved;  // scaled to nothing, or refused: no mask, nothing drawn
        (round % 2 ? flat.ScaleXNum : flat.Orientation) = round % 2 ? 0 : 6;
        const auto drawn = dib.Pixels();
        ASSERT_EQ(Z_ColorBitmapRgn(dib.dc, &b, &flat, colour), RC_SUCCESS);
        EXPECT_EQ(zvtest::FirstDifference(dib.Pixels(), drawn, dib.w), "identical");
        K_FreeRegion(b.Region);
    }
}

}  // namespace
