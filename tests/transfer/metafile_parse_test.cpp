// MetaBitmap records from outside bytes: hand-made WMFs with and without
// the placeable header, and metafiles made here and written to files.
// Mutated bytes go through the fuzz (tools/fuzz, ctest zvfuzz).
#include "paint/reference.h"

// GCC 12 reports vectors built from brace lists as dangling (a false alarm).
#pragma GCC diagnostic ignored "-Wdangling-pointer"

#include <cstring>

namespace {

using Bytes = std::vector<BYTE>;

// A WMF built word by word: header, records, end record; optionally
// behind a placeable header.
struct Wmf {
    std::vector<WORD> words{1, 9, 0x0300, 0, 0, 0, 0, 0, 0};
    Wmf &Rec(WORD function, const std::vector<WORD> &params) {
        const uint32_t size = 3 + uint32_t(params.size());
        words.push_back(WORD(size));
        words.push_back(WORD(size >> 16));
        words.push_back(function);
        words.insert(words.end(), params.begin(), params.end());
        return *this;
    }
    Bytes Done(bool placeable = false, const std::vector<int> &box = {0, 0, 0, 0}, int inch = 0) {
        Rec(0, {});
        words[3] = WORD(words.size());
        Bytes out;
        if (placeable) {
            std::vector<WORD> p{0xCDD7, 0x9AC6, 0};
            for (int v : box)
                p.push_back(WORD(v));
            p.push_back(WORD(inch));
            p.push_back(0);
            p.push_back(0);
            WORD sum = 0;
            for (WORD v : p)
                sum ^= v;
            p.push_back(sum);
            out.assign(reinterpret_cast<BYTE *>(p.data()), reinterpret_cast<BYTE *>(p.data() + p.size()));
        }
        out.insert(out.end(), reinterpret_cast<BYTE *>(words.data()),
                   reinterpret_cast<BYTE *>(words.data() + words.size()));
        return out;
    }
};

constexpr WORD kMapMode = 0x0103, kWindowExt = 0x020C, kViewportExt = 0x020E, kBkMode = 0x0102, kPatBlt = 0x061D;

MetaBitmap Record(HANDLE h, int enhanced) {
    MetaBitmap m{};
    m.Handle = h;
    m.IsEnhanced = enhanced;
    return m;
}

MetaBitmap Parse(Bytes &b, int create, int *rc) {
    MetaBitmap m{};
    *rc = Z_ParseMetaBits(b.data(), UINT(b.size()), &m, create);
    return m;
}

Bytes BitsOf(const MetaBitmap &m) {
    void *p = nullptr;
    UINT n = 0;
    EXPECT_EQ(Z_AllocateMetaBitmapBits(&m, &p, &n), RC_SUCCESS);
    Bytes out(static_cast<BYTE *>(p), static_cast<BYTE *>(p) + n);
    K_Free(p);
    return out;
}

class MetaParse : public testing::Test {
protected:
    void SetUp() override { Z_GetDisplayMode(); }
};

TEST_F(MetaParse, HeadersAndTheThreeRecords) {
    zvtest::ResourceCheck resources;
    int rc;
    Wmf late;
    for (int i = 0; i < 10; ++i)
        late.Rec(kBkMode, {1});
    const struct {
        const char *what;
        Bytes bytes;
        int want[6];  // window extent, resolution and pixel size, x and y; -1: not looked at
    } cases[] = {
        {"the box wins over SETWINDOWEXT", Wmf().Rec(kWindowExt, {5, 7}).Done(true, {0, 0, 2000, 1000}, 1000),
         {2000, 1000, 1000, 1000, -1, -1}},
        {"an eleventh record is not read", late.Rec(kWindowExt, {50, 70}).Done(), {640, 480, 96, -1, -1, -1}},
        {"fixed scale, no viewport: the window extent",
         Wmf().Rec(kMapMode, {MM_LOMETRIC}).Rec(kWindowExt, {WORD(-200), 300}).Done(), {300, -1, -1, -1, 300, 200}},
        {"fixed scale: the viewport extent", Wmf().Rec(kMapMode, {MM_LOMETRIC}).Rec(kViewportExt, {40, WORD(-50)}).Done(),
         {-1, -1, -1, -1, 50, 40}},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.what);
        const MetaBitmap m = Parse(c.bytes, 0, &rc);
        ASSERT_EQ(rc, RC_SUCCESS);
        EXPECT_TRUE(m.IsEnhanced == 0 && m.Handle == nullptr);
        const int got[6] = {m.WindowExtX, m.WindowExtY, m.ResolutionX, m.ResolutionY, m.PixelWidth, m.PixelHeight};
        for (int k = 0; k < 6; ++k)
            EXPECT_TRUE(c.want[k] < 0 || got[k] == c.want[k]) << "field " << k << ": " << got[k] << ", not " << c.want[k];
    }
    Bytes junk(100, 0x41);
    Parse(junk, 0, &rc);
    EXPECT_EQ(rc, RC_INVALID_FORMAT);
    Parse(junk, 1, &rc);
    EXPECT_EQ(rc, RC_INVALID_FORMAT);
    MetaBitmap m{};
    EXPECT_EQ(Z_LoadMetaBitmap(zvtest::WriteTempFile("zvmeta-junk.wmf", junk).c_str(), &m), RC_INVALID_FORMAT);
    EXPECT_EQ(Z_LoadMetaBitmap("Z:\\no\\such\\file.wmf", &m), RC_FILE_OPEN);
}

// Records past the ten that are read, and whatever a record the parser
// does not know says about its size, are the system's to judge when the
// metafile is made; only a recognised record cut short is refused here.
// Making or not, the fields agree.
TEST_F(MetaParse, OnlyTheRecordsReadCanRefuse) {
    zvtest::ResourceCheck resources;
    auto sizeAt = [](Bytes b, size_t at, uint32_t words) {
        std::memcpy(b.data() + at, &words, 4);
        return b;
    };
    // 44 bytes: header, SETWINDOWEXT, two SETBKMODEs, the last one's size
    // 256 words.
    Bytes lastPastEnd = Wmf().Rec(kWindowExt, {5, 7}).Rec(kBkMode, {1}).Rec(kBkMode, {1}).Done();
    lastPastEnd.resize(44);
    Wmf many;
    for (int i = 0; i < 10; ++i)
        many.Rec(kBkMode, {1});
    Bytes eleventhCut = many.Rec(kWindowExt, {5, 7}).Done();
    eleventhCut.resize(eleventhCut.size() - 8);  // its x and the end record gone
    Bytes unknownPastEnd = Wmf().Rec(0x0999, {1, 2}).Rec(kWindowExt, {5, 7}).Done();
    Bytes cut = Wmf().Rec(kWindowExt, {5, 7}).Done();
    cut.resize(18 + 8);  // the record's parameters run past the end
    BitmapHandle b{};
    std::mt19937 rng(5);
    zvtest::MakeRandomBitmap(b, rng, 3, 2, 24, 1, 0);
    MetaBitmap emf = Record(Z_ConvertToEMF(&b), 1);
    K_FreeBitmap(&b);
    ASSERT_TRUE(emf.Handle);
    Bytes emfBytes = BitsOf(emf);
    Z_DeleteMetaBitmap(&emf);
    const size_t eof = emfBytes.size() - 20;  // EMR_EOF, 20 bytes
    const struct {
        const char *what;
        Bytes bytes;
        int rc, madeRc;  // without and with making the metafile
    } cases[] = {
        {"last record's size past the end", sizeAt(lastPastEnd, 36, 256), RC_SUCCESS, RC_SUCCESS},
        {"eleventh record cut", eleventhCut, RC_SUCCESS, RC_SUCCESS},
        {"unknown record's size past the end", sizeAt(unknownPastEnd, 18, 0x10000), RC_SUCCESS, RC_SUCCESS},
        {"SETWINDOWEXT cut", cut, RC_INVALID_FORMAT, RC_INVALID_FORMAT},
        {"EMF without its end record", sizeAt(emfBytes, eof, EMR_SAVEDC), RC_INVALID_FORMAT, RC_SUCCESS},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes plain = c.bytes, made = c.bytes;
        int rc = 0, madeRc = 0;
        const MetaBitmap m = Parse(plain, 0, &rc);
        MetaBitmap withHandle = Parse(made, 1, &madeRc);
        EXPECT_EQ(rc, c.rc);
        EXPECT_EQ(madeRc, c.madeRc);
        EXPECT_EQ(withHandle.Handle != nullptr, madeRc == RC_SUCCESS);
        if (rc == RC_SUCCESS && madeRc == RC_SUCCESS) {
            MetaBitmap fields = withHandle;
            fields.Handle = nullptr;
            EXPECT_EQ(std::memcmp(&fields, &m, sizeof m), 0);
        }
        Z_DeleteMetaBitmap(&withHandle);
    }
}

// A WMF that selects MM_TEXT is rewritten to MM_ANISOTROPIC, so it plays
// at the size asked for.
TEST_F(MetaParse, TextMappingPlaysScalably) {
    zvtest::ResourceCheck resources;
    Bytes b = Wmf().Rec(kMapMode, {MM_TEXT}).Rec(kWindowExt, {10, 20}).Rec(kPatBlt, {0x42, 0, 10, 20, 0, 0}).Done();
    int rc;
    MetaBitmap m = Parse(b, 1, &rc);
    ASSERT_EQ(rc, RC_SUCCESS);
    EXPECT_EQ(b[18 + 6], MM_ANISOTROPIC);
    zvtest::Dib dib(50, 30);
    dib.Fill(0xFFFFFF);
    const RECT dest{0, 0, 40, 20};
    EXPECT_NE(Z_PaintMetaBitmap(dib.dc, &m, &dest), 0);
    const auto px = dib.Pixels();
    EXPECT_EQ(px[19 * 50 + 39], 0u);
    EXPECT_EQ(px[20 * 50 + 40], 0xFFFFFFu);
    EXPECT_EQ(GetMapMode(dib.dc), MM_TEXT) << "the caller's mapping comes back";
    Z_DeleteMetaBitmap(&m);
    EXPECT_EQ(m.Handle, nullptr);
}

// Metafiles made here, written to files (the WMF behind a placeable
// header), loaded, copied, painted and serialised again.
TEST_F(MetaParse, FilesOfBothKinds) {
    zvtest::ResourceCheck resources;
    std::mt19937 rng(3);
    BitmapHandle b{};
    zvtest::MakeRandomBitmap(b, rng, 31, 17, 24, 1, 0);
    for (int enhanced = 0; enhanced < 2; ++enhanced) {
        MetaBitmap made = Record(Z_ConvertToMetafile(&b, enhanced), enhanced);
        ASSERT_TRUE(made.Handle);
        Bytes bytes = BitsOf(made);
        if (!enhanced) {
            Bytes placed = Wmf().Done(true, {0, 0, 31, 17}, 96);
            placed.resize(22);
            bytes.insert(bytes.begin(), placed.begin(), placed.end());
        }
        MetaBitmap loaded{};
        ASSERT_EQ(Z_LoadMetaBitmap(zvtest::WriteTempFile("zvmeta-file.mf", bytes).c_str(), &loaded), RC_SUCCESS);
        EXPECT_EQ(loaded.IsEnhanced, enhanced);
        EXPECT_GT(loaded.ResolutionX, 0);
        MetaBitmap copy{};
        ASSERT_EQ(Z_CopyMetaBitmap(&copy, &loaded), RC_SUCCESS);
        EXPECT_NE(copy.Handle, loaded.Handle);
        EXPECT_EQ(BitsOf(copy), BitsOf(made));
        UINT size = 0;
        EXPECT_EQ(Z_AllocateMetaBitmapBits(&copy, nullptr, &size), RC_SUCCESS);
        EXPECT_EQ(size, BitsOf(made).size());

        zvtest::Dib want(31, 17), got(31, 17);
        const RECT r{0, 0, 31, 17};
        if (enhanced) {
            PlayEnhMetaFile(want.dc, static_cast<HENHMETAFILE>(made.Handle), &r);
        } else {
            for (int y = 0; y < 17; ++y)
                for (int x = 0; x < 31; ++x)
                    want.bits[y * 31 + x] = zvtest::AsIsColor(b, x, y);
        }
        EXPECT_NE(Z_PaintMetaBitmap(got.dc, &copy, &r), 0);
        EXPECT_EQ(Z_PaintMetaBitmap(got.dc, &copy, nullptr), 0);
        EXPECT_EQ(got.Pixels(), want.Pixels()) << zvtest::FirstDifference(got.Pixels(), want.Pixels(), 31);
        Z_DeleteMetaBitmap(&copy);
        Z_DeleteMetaBitmap(&loaded);
        Z_DeleteMetaBitmap(&made);
    }
    K_FreeBitmap(&b);
    // A record without a metafile has no bits and copies as it is; a
    // file past 2 GB is not read.
    MetaBitmap none{}, copy{};
    none.ResolutionX = 72;
    UINT size = 1;
    EXPECT_EQ(Z_AllocateMetaBitmapBits(&none, nullptr, &size), RC_INVALID_PARAMETER);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(Z_CopyMetaBitmap(&copy, &none), RC_SUCCESS);
    EXPECT_EQ(std::memcmp(&copy, &none, sizeof none), 0);
    const std::string huge = zvtest::WriteTempFile("zvmeta-huge.wmf", Wmf().Done());
    const HANDLE f = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 3LL << 30;
    EXPECT_TRUE(SetFilePointerEx(f, end, nullptr, FILE_BEGIN) && SetEndOfFile(f));
    CloseHandle(f);
    EXPECT_EQ(Z_LoadMetaBitmap(huge.c_str(), &none), RC_NO_MEMORY);
    DeleteFileA(huge.c_str());
}

}  // namespace
