// Bitmaps to WMF and EMF and back.  The metafiles' records are read back
// with EnumEnhMetaFile / EnumMetaFile and their DIBs decoded here; EMFs
// are also played with PlayEnhMetaFile.  Both must show what a paint of
// the bitmap for the metafile DC's device class shows.
#include "paint/paint_kind.h"
#include "paint/painters.h"
#include "transfer/xfer_support.h"

#include <cstring>

namespace {

using zvtest::Dib;

struct Decoded {
    std::vector<uint32_t> pixels;
    int w, h;
    std::vector<std::vector<RGBQUAD>> tables;
    int records = 0, paletteUsage = 0;
};

// A DIB as a metafile record carries it (bits null: packed), drawn 1:1 at
// (x, y); its colour table is kept.
void DrawRecordDib(Decoded &d, int x, int y, int w, int h, const BYTE *info, const BYTE *bits) {
    BITMAPINFOHEADER hd;
    std::memcpy(&hd, info, sizeof hd);
    const int colors = hd.biBitCount <= 8 ? (hd.biClrUsed ? int(hd.biClrUsed) : 1 << hd.biBitCount) : 0;
    const RGBQUAD *pal = reinterpret_cast<const RGBQUAD *>(info + hd.biSize);
    d.tables.emplace_back(pal, pal + colors);
    const std::vector<uint32_t> px = zvtest::DecodeDib(info, bits);
    for (int j = 0; j < h && j < abs(hd.biHeight); ++j)
        for (int i = 0; i < w && i < hd.biWidth; ++i)
            if (x + i >= 0 && x + i < d.w && y + j >= 0 && y + j < d.h)
                d.pixels[size_t(y + j) * d.w + x + i] = px[size_t(j) * hd.biWidth + i];
    ++d.records;
}

int CALLBACK EmfRecord(HDC, HANDLETABLE *, const ENHMETARECORD *rec, int, LPARAM lp) {
    auto &d = *reinterpret_cast<Decoded *>(lp);
    if (rec->iType != EMR_STRETCHDIBITS)
        return 1;
    const auto *r = reinterpret_cast<const EMRSTRETCHDIBITS *>(rec);
    const BYTE *base = reinterpret_cast<const BYTE *>(rec);
    DrawRecordDib(d, r->xDest, r->yDest, r->cxDest, r->cyDest, base + r->offBmiSrc, base + r->offBitsSrc);
    d.paletteUsage += r->iUsageSrc != DIB_RGB_COLORS;
    return 1;
}

int CALLBACK WmfRecord(HDC, HANDLETABLE *, METARECORD *rec, int, LPARAM lp) {
    auto &d = *reinterpret_cast<Decoded *>(lp);
    if (rec->rdFunction != META_STRETCHDIB)
        return 1;
    const WORD *p = rec->rdParm;  // rop (2), usage, src h, w, y, x, dst h, w, y, x, DIB
    DrawRecordDib(d, int16_t(p[10]), int16_t(p[9]), int16_t(p[8]), int16_t(p[7]), reinterpret_cast<const BYTE *>(p + 11),
                  nullptr);  // the rows right behind the colour table
    d.paletteUsage += p[2] != DIB_RGB_COLORS;
    return 1;
}

Decoded DecodeRecords(HANDLE h, bool enhanced, int w, int h2) {
    Decoded d{std::vector<uint32_t>(size_t(w) * h2, 0xFF00FF), w, h2, {}, 0, 0};
    if (enhanced)
        EnumEnhMetaFile(nullptr, static_cast<HENHMETAFILE>(h), EmfRecord, &d, nullptr);
    else
        EnumMetaFile(nullptr, static_cast<HMETAFILE>(h), WmfRecord, reinterpret_cast<LPARAM>(&d));
    return d;
}

// The device class a metafile DC of the kind has here: a WMF DC is a
// metafile device; an EMF DC answers as its reference device (the screen).
int MetafileDeviceBits(bool enhanced) {
    const HDC dc = enhanced ? CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr) : CreateMetaFileA(nullptr);
    const int bits = zv::DeviceBitsOf(dc);
    if (enhanced)
        DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    else
        DeleteMetaFile(CloseMetaFile(dc));
    return bits;
}

// What the conversion must show: the bitmap painted for that device class
// with the library's reduction and RGB colour tables.
std::vector<uint32_t> Expected(BitmapHandle &b, bool enhanced) {
    Dib dib(zvtest::DisplayW(b), zvtest::DisplayH(b));
    zvtest::ModeScope mode(DISP_LIBRARY_DITHER);
    const int bits = MetafileDeviceBits(enhanced);
    const RECT dst{0, 0, dib.w, dib.h};
    zv::PaintDispatchAs(dib.dc, &b, nullptr, nullptr, &dst, nullptr, SRCCOPY, bits,
                        zv::ChoosePaintKind(&b, bits, DISP_LIBRARY_DITHER));
    return dib.Pixels();
}

std::vector<uint32_t> Pixels24(const BitmapHandle &b) {
    std::vector<uint32_t> v(size_t(b.Width) * b.Height);
    for (int y = 0; y < b.Height; ++y)
        for (int x = 0; x < b.Width; ++x) {
            const BYTE *q = b.Data + size_t(y) * b.BytesPerLine + 3 * x;
            v[size_t(y) * b.Width + x] = zvtest::Rgb(q[2], q[1], q[0]);
        }
    return v;
}

void DeleteMf(HANDLE h) {
    if (GetObjectType(h) == OBJ_ENHMETAFILE)
        DeleteEnhMetaFile(static_cast<HENHMETAFILE>(h));
    else
        DeleteMetaFile(static_cast<HMETAFILE>(h));
}

class Metafile : public testing::Test {
protected:
    void SetUp() override { Z_GetDisplayMode(); }
};

struct Shape {
    int bits, order, orientation;
};

TEST_F(Metafile, EveryDepthGoesThereAndBackInBothKinds) {
    const Shape shapes[] = {{1, 1, 0}, {4, 1, 0}, {8, 1, 0}, {8, ORDER_GRAY, 3}, {16, 1, 0}, {24, 1, 0},
                            {24, 1, 5}, {32, 1, 0}, {16, ORDER_GRAY, 0}, {24, ORDER_RGB, 7}};
    std::mt19937 rng(12);
    const bool palette = zvtest::ScreenDepth() <= 8;
    for (const Shape &s : shapes)
        for (int enhanced = 0; enhanced < 2; ++enhanced) {
            SCOPED_TRACE(testing::Message() << s.bits << " bits, order " << s.order << ", orientation "
                                            << s.orientation << (enhanced ? ", EMF" : ", WMF"));
            zvtest::ResourceCheck resources;
            BitmapHandle b{};
            zvtest::MakeRandomBitmap(b, rng, 37 + s.bits, 23, s.bits, s.order, s.orientation);
            const int w = zvtest::DisplayW(b), h = zvtest::DisplayH(b);
            const std::vector<uint32_t> want = Expected(b, enhanced);
            const UINT modeBefore = Z_GetDisplayMode();
            const HANDLE mf = Z_ConvertToMetafile(&b, enhanced);
            ASSERT_TRUE(mf);
            EXPECT_EQ(Z_GetDisplayMode(), modeBefore);

            // The records, decoded here.
            const Decoded d = DecodeRecords(mf, enhanced, w, h);
            EXPECT_GT(d.records, 0);
            EXPECT_EQ(d.paletteUsage, 0) << "colour tables must be RGB";
            EXPECT_EQ(d.pixels, want) << zvtest::FirstDifference(d.pixels, want, w);
            if (s.bits <= 8 && s.order == 1 && !palette) {
                for (const auto &t : d.tables) {
                    ASSERT_EQ(t.size(), size_t(1) << s.bits);
                    EXPECT_EQ(0, std::memcmp(t.data(), b.Palette, t.size() * sizeof(RGBQUAD)));
                }
            }
            if (!palette && s.order == 1 && s.orientation == 0) {  // exact colours on a true-colour screen
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        ASSERT_EQ(want[size_t(y) * w + x], zvtest::AsIsColor(b, x, y)) << x << "," << y;
            }

            // Played by GDI.
            if (enhanced) {
                Dib dib(w, h);
                dib.Fill(0xFF00FF);
                const RECT r{0, 0, w, h};
                ASSERT_TRUE(PlayEnhMetaFile(dib.dc, static_cast<HENHMETAFILE>(mf), &r));
                EXPECT_EQ(dib.Pixels(), want) << zvtest::FirstDifference(dib.Pixels(), want, w);
                // The description ends with an empty second string: it
                // does not run on into whatever follows.
                wchar_t text[64] = {};
                const UINT n = GetEnhMetaFileDescriptionW(static_cast<HENHMETAFILE>(mf), 64, text);
                EXPECT_STREQ(text, L"ZORAVISTA Metafile v1.0");
                EXPECT_GE(n, 25u);
                EXPECT_EQ(text[24], L'\0');
            }

            // And back, at the natural size.
            BitmapHandle back{};
            ASSERT_EQ(Z_ConvertFromMetafile(&back, mf, 0, 0), RC_SUCCESS);
            EXPECT_EQ(back.BitsPerPixel, 24);
            EXPECT_EQ(back.Order, ORDER_BGR);
            ASSERT_EQ(back.Width, w);
            ASSERT_EQ(back.Height, h);
            EXPECT_EQ(Pixels24(back), want) << zvtest::FirstDifference(Pixels24(back), want, w);
            K_FreeBitmap(&back);
            // The changing forms: the bitmap and the metafile go.
            ASSERT_EQ(Z_ChangeFromMetafile(&back, mf, 0, 0), RC_SUCCESS);
            EXPECT_EQ(GetObjectType(mf), 0u);
            K_FreeBitmap(&back);
            const HANDLE again = Z_ChangeToMetafile(&b, enhanced);
            ASSERT_TRUE(again);
            EXPECT_FALSE(b.Flags & BITMAP_ALLOCATED);
            DeleteMf(again);
        }
}

TEST_F(Metafile, NaturalSizeAndOneSideGiven) {
    zvtest::ResourceCheck resources;
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 600, 400, 8, 1, 0), RC_SUCCESS);
    HANDLE (__stdcall *const to[])(BitmapHandle *) = {Z_ConvertToWMF, Z_ConvertToEMF};
    int (__stdcall *const from[])(BitmapHandle *, HANDLE, int, int) = {Z_ConvertFromWMF, Z_ConvertFromEMF};
    for (int k = 0; k < 2; ++k) {
        const HANDLE mf = to[k](&b);
        ASSERT_TRUE(mf);
        EXPECT_EQ(GetObjectType(mf), DWORD(k ? OBJ_ENHMETAFILE : OBJ_METAFILE));
        MetaBitmap info{};
        ASSERT_EQ(Z_GetMetafileInfo(mf, &info), RC_SUCCESS);
        EXPECT_EQ(info.Handle, mf);
        EXPECT_EQ(info.IsEnhanced, k);
        EXPECT_EQ(info.PixelWidth ? info.PixelWidth : info.WindowExtX, 600);
        EXPECT_EQ(info.PixelHeight ? info.PixelHeight : info.WindowExtY, 400);
        const int sizes[][4] = {{300, 0, 300, 200}, {0, 100, 150, 100}, {0, 0, 600, 400}, {50, 70, 50, 70}};
        for (const auto &s : sizes) {
            BitmapHandle out{};
            ASSERT_EQ(from[1 - k](&out, mf, s[0], s[1]), RC_SUCCESS);  // the kind is found, not named
            EXPECT_EQ(out.Width, s[2]);
            EXPECT_EQ(out.Height, s[3]);
            K_FreeBitmap(&out);
        }
        BitmapHandle out{};
        EXPECT_EQ(Z_ChangeFromMetafile(&out, mf, -5, 0), RC_INVALID_PARAMETER);
        EXPECT_EQ(GetObjectType(mf), DWORD(k ? OBJ_ENHMETAFILE : OBJ_METAFILE)) << "kept on failure";
        DeleteMf(mf);
    }
    K_FreeBitmap(&b);
}

}  // namespace
