// Bitmaps to WMF and EMF and back.  The metafiles' records are read back
// with EnumEnhMetaFile / EnumMetaFile and their DIBs decoded here; EMFs
// are also played with PlayEnhMetaFile.  Both must show what a paint of
// the bitmap for the metafile DC's device class shows.
#include "paint/paint_kind.h"
#include "paint/painters.h"
#include "paint/reference.h"

#include <cstring>

namespace {

using zvtest::Dib;

// A DIB as a metafile record carries it, drawn 1:1 into a canvas of
// 0x00RRGGBB pixels at (x, y); its colour table goes to *table.
void DrawRecordDib(std::vector<uint32_t> &canvas, int cw, int ch, int x, int y, int w, int h, const BYTE *info,
                   const BYTE *bits, std::vector<RGBQUAD> *table) {
    BITMAPINFOHEADER hd;
    std::memcpy(&hd, info, sizeof hd);
    const int bpp = hd.biBitCount, height = abs(hd.biHeight);
    const int colors = bpp <= 8 ? (hd.biClrUsed ? int(hd.biClrUsed) : 1 << bpp) : 0;
    const RGBQUAD *pal = reinterpret_cast<const RGBQUAD *>(info + hd.biSize);
    table->assign(pal, pal + colors);
    const int stride = (hd.biWidth * bpp + 31) / 32 * 4;
    for (int j = 0; j < h && j < height; ++j) {
        const BYTE *row = bits + size_t(hd.biHeight > 0 ? height - 1 - j : j) * stride;
        for (int i = 0; i < w && i < hd.biWidth; ++i) {
            uint32_t v;
            if (bpp <= 8) {
                const int idx = (row[i * bpp / 8] >> (8 - bpp - i * bpp % 8)) & ((1 << bpp) - 1);
                v = zvtest::Rgb(pal[idx].rgbRed, pal[idx].rgbGreen, pal[idx].rgbBlue);
            } else if (bpp == 16) {
                const int p = row[2 * i] | row[2 * i + 1] << 8;
                auto wd = [](int c) { return (c << 3) | (c >> 2); };
                v = zvtest::Rgb(wd((p >> 10) & 31), wd((p >> 5) & 31), wd(p & 31));
            } else {
                const BYTE *q = row + i * (bpp / 8);
                v = zvtest::Rgb(q[2], q[1], q[0]);
            }
            if (x + i >= 0 && x + i < cw && y + j >= 0 && y + j < ch)
                canvas[size_t(y + j) * cw + x + i] = v;
        }
    }
}

struct Decoded {
    std::vector<uint32_t> pixels;
    int w, h;
    std::vector<std::vector<RGBQUAD>> tables;
    int records = 0, paletteUsage = 0;
};

int CALLBACK EmfRecord(HDC, HANDLETABLE *, const ENHMETARECORD *rec, int, LPARAM lp) {
    auto &d = *reinterpret_cast<Decoded *>(lp);
    if (rec->iType != EMR_STRETCHDIBITS)
        return 1;
    const auto *r = reinterpret_cast<const EMRSTRETCHDIBITS *>(rec);
    const BYTE *base = reinterpret_cast<const BYTE *>(rec);
    d.tables.emplace_back();
    DrawRecordDib(d.pixels, d.w, d.h, r->xDest, r->yDest, r->cxDest, r->cyDest, base + r->offBmiSrc,
                  base + r->offBitsSrc, &d.tables.back());
    ++d.records;
    d.paletteUsage += r->iUsageSrc != DIB_RGB_COLORS;
    return 1;
}

int CALLBACK WmfRecord(HDC, HANDLETABLE *, METARECORD *rec, int, LPARAM lp) {
    auto &d = *reinterpret_cast<Decoded *>(lp);
    if (rec->rdFunction != META_STRETCHDIB)
        return 1;
    const WORD *p = rec->rdParm;  // rop (2), usage, src h, w, y, x, dst h, w, y, x, DIB
    const BYTE *info = reinterpret_cast<const BYTE *>(p + 11);
    BITMAPINFOHEADER hd;
    std::memcpy(&hd, info, sizeof hd);
    const int colors = hd.biBitCount <= 8 ? (hd.biClrUsed ? int(hd.biClrUsed) : 1 << hd.biBitCount) : 0;
    d.tables.emplace_back();
    DrawRecordDib(d.pixels, d.w, d.h, int16_t(p[10]), int16_t(p[9]), int16_t(p[8]), int16_t(p[7]), info,
                  info + hd.biSize + 4 * colors, &d.tables.back());
    ++d.records;
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
        DeleteMf(mf);
    }
    K_FreeBitmap(&b);
}

TEST_F(Metafile, BadInputLeavesEverythingAsItWas) {
    zvtest::ResourceCheck resources;
    BitmapHandle none{};
    EXPECT_EQ(Z_ConvertToEMF(nullptr), nullptr);
    EXPECT_EQ(Z_ConvertToWMF(&none), nullptr);
    EXPECT_EQ(Z_ChangeToEMF(&none), nullptr);
    BitmapHandle b{};
    ASSERT_EQ(K_CreateBitmap(&b, 5, 5, 24, 1, 0), RC_SUCCESS);
    const BitmapHandle before = b;
    EXPECT_EQ(Z_ConvertFromMetafile(nullptr, nullptr, 0, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_ConvertFromMetafile(&b, nullptr, 0, 0), RC_INVALID_PARAMETER);
    const HANDLE notMeta = CreateSolidBrush(0);
    EXPECT_EQ(Z_ChangeFromEMF(&b, notMeta, 0, 0), RC_INVALID_PARAMETER);
    DeleteObject(notMeta);
    const HANDLE mf = Z_ConvertToEMF(&b);
    EXPECT_EQ(Z_ChangeFromEMF(&b, mf, -5, 0), RC_INVALID_PARAMETER);
    EXPECT_EQ(GetObjectType(mf), DWORD(OBJ_ENHMETAFILE)) << "kept on failure";
    EXPECT_EQ(0, std::memcmp(&b, &before, sizeof b));
    EXPECT_EQ(Z_GetMetafileInfo(mf, nullptr), RC_INVALID_PARAMETER);
    DeleteMf(mf);
    K_FreeBitmap(&b);
}

// Every allocation of every allocating conversion fails in turn: the
// documented result, the caller's bitmap unchanged, nothing left behind.
TEST_F(Metafile, FailedAllocationsLeaveNothingBehind) {
    zvtest::ResourceCheck resources;
    BitmapHandle b{};
    std::mt19937 rng(5);
    zvtest::MakeRandomBitmap(b, rng, 40, 30, 24, 1, 0);
    BitmapHandle pal{};
    zvtest::MakeRandomBitmap(pal, rng, 40, 30, 8, 1, 0);
    for (BitmapHandle *src : {&b, &pal})
        for (int enhanced = 0; enhanced < 2; ++enhanced) {
            HANDLE made = nullptr;
            zvtest::SweepAllocationFailures(
                [&] { made = Z_ConvertToMetafile(src, enhanced); return made ? 1 : 0; },
                [&](int rc) { EXPECT_EQ(rc, 0); },
                [&](int rc) { EXPECT_EQ(rc, 1); });
            ASSERT_TRUE(made);
            BitmapHandle out{};
            out.Width = 77;
            const BitmapHandle outBefore = out;
            zvtest::SweepAllocationFailures(
                [&] { return Z_ConvertFromMetafile(&out, made, 0, 0); },
                [&](int rc) {
                    EXPECT_EQ(rc, RC_NO_MEMORY);
                    EXPECT_EQ(0, std::memcmp(&out, &outBefore, sizeof out));
                },
                [&](int rc) {
                    EXPECT_EQ(rc, RC_SUCCESS);
                    K_FreeBitmap(&out);
                    out = outBefore;
                });
            DeleteMf(made);
        }
    K_FreeBitmap(&b);
    K_FreeBitmap(&pal);
}

}  // namespace
