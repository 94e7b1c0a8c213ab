// The kernel's DIB reader, through its three doors (BMP files, DIBs given
// as header and bits, packed DIBs in global blocks): random variants of
// every kind against the slow decoder of kernel/dib_model.h, one table of
// malformed and questionable headers with the code each must give, and
// allocation failures.  Every refusal leaves the descriptor as it was and
// no kernel block behind.
#include "kernel/dib_model.h"
#include "support.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <random>

using namespace zvtest;
using zvtools::BmpFile;
using zvtools::DibHead;
using zvtools::PackedDib;
using zvtools::PutLE;

namespace {

// A descriptor full of a pattern, to see that a refusal leaves it alone.
BitmapHandle Patterned() {
    BitmapHandle b;
    std::memset(&b, 0xA5, sizeof b);
    return b;
}

bool Untouched(const BitmapHandle &b) {
    const BitmapHandle p = Patterned();
    return std::memcmp(&p, &b, sizeof b) == 0;
}

enum Door { kFile = 1, kParts = 2, kHandle = 4, kAllDoors = 7 };

// One read through a door into a patterned descriptor; the model reads
// the same bytes with the rows where that door finds them.
struct Read {
    int Code = 0;
    BitmapHandle Bitmap = Patterned();
    DibPicture Model;
};

Read ThroughFile(const DibBytes &file) {
    const std::string path = WriteTempFile("zvdib.bmp", file);
    Read r;
    r.Code = K_LoadBitmapFile(path.c_str(), &r.Bitmap);
    if (r.Code == RC_SUCCESS) {
        const uint32_t off = ModelLE(file.data() + 10, 4);
        r.Model = ModelDecode(file.data() + 14, off - 14, file.data() + off, file.size() - off);
    }
    return r;
}

Read ThroughParts(const DibBytes &dib, size_t rowsAt) {
    Read r;
    r.Code = K_ConvertFromDib(&r.Bitmap, reinterpret_cast<const BITMAPINFOHEADER *>(dib.data()), dib.data() + rowsAt,
                              dib.size());
    if (r.Code == RC_SUCCESS)
        r.Model = ModelDecode(dib.data(), rowsAt, dib.data() + rowsAt, dib.size() - rowsAt);
    return r;
}

Read ThroughHandle(const DibBytes &dib, size_t rowsAt) {
    Read r;
    HGLOBAL h = K_GlobalAlloc(GMEM_MOVEABLE, dib.size());
    std::memcpy(GlobalLock(h), dib.data(), dib.size());
    GlobalUnlock(h);
    r.Code = K_ConvertFromDibHandle(&r.Bitmap, h);
    if (r.Code == RC_SUCCESS)
        r.Model = ModelDecode(dib.data(), rowsAt, dib.data() + rowsAt, dib.size() - rowsAt);
    else
        K_GlobalFree(h);  // taken over only on success
    return r;
}

// The writer: a loaded bitmap saved reads back as the same picture; with
// red and blue stored the other way round (which the file undoes) too.
void ExpectSavedAndReloaded(BitmapHandle &b, const DibPicture &model, bool redFirst) {
    static const std::string path = WriteTempFile("zvdib.out.bmp", {});
    if (redFirst && b.BitsPerPixel >= 16) {
        for (int y = 0; y < b.Height; ++y)
            K_ConvertColorOrder(b.Data + size_t(y) * b.BytesPerLine, b.Width, b.BitsPerPixel, ORDER_BGR, ORDER_RGB);
        b.Order = ORDER_RGB;
    }
    const int bits = b.BitsPerPixel, rc = K_SaveBitmapFile(path.c_str(), &b);
    if (bits == 2 || bits == 3 || (bits > 4 && bits < 8)) {  // the file depths are 1, 4, 8, 16, 24 and 32
        EXPECT_EQ(rc, RC_INVALID_FORMAT) << bits;
        return;
    }
    ASSERT_EQ(rc, RC_SUCCESS) << bits << " bits, order " << b.Order;
    BitmapHandle again = Patterned();
    ASSERT_EQ(K_LoadBitmapFile(path.c_str(), &again), RC_SUCCESS);
    EXPECT_TRUE(SamePicture(again, model)) << "saved and read back";
    K_FreeBitmap(&again);
}

// Reads `s` through every door and compares with the model; saves what the
// file gave and reads it back.
void ExpectLoadsAsModel(const DibLayout &s, size_t gap, bool redFirst = false) {
    const size_t rowsAt = DibHead(s).size();
    const DibBytes dib = PackedDib(s);
    const char *doors[] = {"file", "header and bits", "global block"};
    int door = 0;
    for (Read r : {ThroughFile(BmpFile(s, gap)), ThroughParts(dib, rowsAt), ThroughHandle(dib, rowsAt)}) {
        SCOPED_TRACE(doors[door++]);
        ASSERT_EQ(r.Code, RC_SUCCESS) << Describe(s);
        EXPECT_TRUE(SamePicture(r.Bitmap, r.Model)) << Describe(s);
        if (door == 1)
            ExpectSavedAndReloaded(r.Bitmap, r.Model, redFirst);
        K_FreeBitmap(&r.Bitmap);
    }
}

TEST(DibRead, RandomVariantsLoadAsTheFormatDefinesThem) {
    LiveBlockCheck blocks;
    std::mt19937 rng(26);
    for (int i = 0; i < 400 && !testing::Test::HasFailure(); ++i) {
        DibLayout s = zvtools::RandomDib(rng);
        ExpectLoadsAsModel(s, rng() % 3 ? 0 : rng() % 9, i % 2);
        if (s.Compression == BI_RLE8 || s.Compression == BI_RLE4) {  // short at its end: read as far as it goes
            s.Rows.resize(rng() % (s.Rows.size() + 1));
            ExpectLoadsAsModel(s, 0);
        }
    }
}

// ---- malformed and questionable headers ------------------------------

// An 8-bit, 40-byte-header DIB of 5 x 3 with a 16-entry table, changed by
// `shape` before writing and by `patch` after (on the packed DIB, and on
// the file's DIB at offset 14); `file` changes the file header.
struct Case {
    const char *What;
    int Code;
    int Doors;
    std::function<void(DibLayout &)> Shape;
    std::function<void(DibBytes &, size_t at)> Patch;
    std::function<void(DibBytes &)> File = nullptr;
};

DibLayout BaseLayout() {
    DibLayout s;
    s.Width = 5, s.Height = 3, s.Bits = 8, s.ColorsUsed = 16;
    for (int i = 0; i < 16; ++i)
        s.Table.push_back(RGBQUAD{BYTE(16 * i), BYTE(255 - i), BYTE(i * 5), 0});
    for (size_t i = 0; i < zvtools::DibRowBytes(5, 8) * 3; ++i)
        s.Rows.push_back(BYTE(i % 16));
    return s;
}

auto Word(size_t off, uint32_t v, int n = 4) {
    return [=](DibBytes &b, size_t at) { PutLE(b, at + off, v, n); };
}

void Fields16(DibLayout &s, uint32_t r, uint32_t g, uint32_t b) {
    s.Bits = 16, s.Compression = BI_BITFIELDS, s.Table.clear(), s.ColorsUsed = 0;
    s.Masks[0] = r, s.Masks[1] = g, s.Masks[2] = b;
    s.Rows.assign(zvtools::DibRowBytes(s.Width, 16) * 3, 0x5A);
}

const std::vector<Case> &Cases() {
    const int bad = RC_INVALID_FORMAT;
    auto depth = [](int bits) { return [=](DibLayout &s) { s.Bits = bits, s.Table.clear(), s.ColorsUsed = 0, s.Rows.assign(400, 0); }; };
    auto other64 = [](int bits, uint32_t comp) {
        return [=](DibLayout &s) {
            s.HeaderSize = 64, s.Bits = bits, s.Compression = comp, s.Table.clear(), s.ColorsUsed = 0;
            s.Rows.assign(200, 0);
        };
    };
    static const std::vector<Case> cases = {
        {"header size 66", bad, kAllDoors, nullptr, Word(0, 66)},
        {"header size 0", bad, kAllDoors, nullptr, Word(0, 0)},
        {"header size 41", bad, kAllDoors, nullptr, Word(0, 41)},
        {"header size near 4 GiB", bad, kAllDoors, nullptr, Word(0, 0xFFFFFFF0)},
        {"JPEG inside", bad, kAllDoors, nullptr, Word(16, 4)},
        {"PNG inside", bad, kAllDoors, nullptr, Word(16, 5)},
        {"compression 7", bad, kAllDoors, nullptr, Word(16, 7)},
        {"Huffman 1D", bad, kAllDoors, other64(1, 3), nullptr},
        {"RLE24", bad, kAllDoors, other64(24, 4), nullptr},
        {"RLE8 of 4 bits", bad, kAllDoors, [](DibLayout &s) { s.Bits = 4; }, Word(16, BI_RLE8)},
        {"RLE4 of 8 bits", bad, kAllDoors, nullptr, Word(16, BI_RLE4)},
        {"bit fields at 8 bits", bad, kAllDoors, nullptr, Word(16, BI_BITFIELDS)},
        {"bit fields at 24 bits", bad, kAllDoors, [](DibLayout &s) { Fields16(s, 0xFF0000, 0xFF00, 0xFF); },
         Word(14, 24, 2)},
        {"17 colours at 4 bits", bad, kAllDoors, [](DibLayout &s) { s.Bits = 4; }, Word(32, 17)},
        {"257 colours at 8 bits", bad, kAllDoors, nullptr, Word(32, 257)},
        {"colour count near 4 GiB", bad, kAllDoors, nullptr, Word(32, 0xFFFFFFFF)},
        {"masks overlap", bad, kAllDoors, [](DibLayout &s) { Fields16(s, 0x7C00, 0x3F0, 0x1F); }, nullptr},
        {"mask with a hole", bad, kAllDoors, [](DibLayout &s) { Fields16(s, 0x7C00, 0x3E0, 0x1D); }, nullptr},
        {"mask past the pixel", bad, kAllDoors, [](DibLayout &s) { Fields16(s, 0x1F0000, 0x3E0, 0x1F); }, nullptr},
        {"width 0", bad, kAllDoors, nullptr, Word(4, 0)},
        {"width -5", bad, kAllDoors, nullptr, Word(4, uint32_t(-5))},
        {"height 0", bad, kAllDoors, nullptr, Word(8, 0)},
        {"height -2^31", bad, kAllDoors, nullptr, Word(8, 0x80000000u)},
        {"depth 0", bad, kAllDoors, depth(0), nullptr},
        {"depth 3", bad, kAllDoors, depth(3), nullptr},
        {"depth 12", bad, kAllDoors, depth(12), nullptr},
        {"depth 48", bad, kAllDoors, depth(48), nullptr},
        {"core header at 5 bits", bad, kAllDoors, [](DibLayout &s) { s.HeaderSize = 12, s.Bits = 5, s.Table.clear(); },
         nullptr},
        {"rows too long for a bitmap", bad, kAllDoors, depth(32), Word(4, 0x7FFFFFFF)},
        {"rows far beyond the data", bad, kAllDoors, nullptr, Word(4, 0x10000000)},
        {"rows one byte short", bad, kAllDoors, [](DibLayout &s) { s.Rows.pop_back(); }, nullptr},
        {"masks cut off", bad, kParts | kHandle, [](DibLayout &s) { Fields16(s, 0x7C00, 0x3E0, 0x1F), s.Rows.clear(); },
         [](DibBytes &b, size_t at) { b.resize(at + 46); }},
        {"table cut off", bad, kHandle, [](DibLayout &s) { s.Rows.clear(); }, Word(32, 200)},
        {"no BM", bad, kFile, nullptr, nullptr, [](DibBytes &f) { f[1] = 'A'; }},
        {"file of 25 bytes", bad, kFile, nullptr, nullptr, [](DibBytes &f) { f.resize(25); }},
        {"rows inside the header", bad, kFile, nullptr, nullptr, [](DibBytes &f) { PutLE(f, 10, 14 + 20, 4); }},
        {"rows inside the masks", bad, kFile, [](DibLayout &s) { Fields16(s, 0x7C00, 0x3E0, 0x1F); }, nullptr,
         [](DibBytes &f) { PutLE(f, 10, 14 + 44, 4); }},
        {"rows past the end", bad, kFile, nullptr, nullptr, [](DibBytes &f) { PutLE(f, 10, uint32_t(f.size() + 1), 4); }},
        {"rows before the DIB", bad, kFile, nullptr, nullptr, [](DibBytes &f) { PutLE(f, 10, 2, 4); }},
        // Fields that do not change the picture.
        {"image size wrong", RC_SUCCESS, kAllDoors, nullptr, Word(20, 12345)},
        {"resolution absurd", RC_SUCCESS, kAllDoors, nullptr, Word(24, 0xFFFFFFFF)},
        {"planes 3", RC_SUCCESS, kAllDoors, nullptr, Word(12, 3, 2)},
        {"important colours 999", RC_SUCCESS, kAllDoors, nullptr, Word(36, 999)},
        {"file size wrong", RC_SUCCESS, kFile, nullptr, nullptr, [](DibBytes &f) { PutLE(f, 2, 7, 4); }},
        {"table cut short by the rows", RC_SUCCESS, kFile, nullptr, nullptr,
         [](DibBytes &f) {  // rows moved up over the last six entries
             f.erase(f.begin() + 14 + 40 + 40, f.begin() + 14 + 40 + 64);
             PutLE(f, 10, 14 + 40 + 40, 4);
         }},
        // The report that led to the one reader: a table of 101 entries,
        // pixels up to 255; black past the table, and 256 colours.
        {"pixels past the table", RC_SUCCESS, kAllDoors,
         [](DibLayout &s) {
             s.Width = s.Height = 16, s.ColorsUsed = 101, s.Table.resize(101), s.Rows.resize(256);
             std::iota(s.Rows.begin(), s.Rows.end(), 0);
         }, nullptr},
        {"16 bits of 5-6-5", RC_SUCCESS, kAllDoors, [](DibLayout &s) { Fields16(s, 0xF800, 0x7E0, 0x1F); }, nullptr},
        {"a short RLE8 stream", RC_SUCCESS, kParts,
         [](DibLayout &s) { s.Compression = BI_RLE8, s.Rows = {3, 7, 0, 0, 2, 9, 0, 1}; }, nullptr},
    };
    return cases;
}

TEST(DibRead, MalformedHeadersAreRefusedAndQuestionableOnesRead) {
    WarmUp();
    for (const Case &c : Cases()) {
        SCOPED_TRACE(c.What);
        DibLayout s = BaseLayout();
        if (c.Shape)
            c.Shape(s);
        const size_t rowsAt = DibHead(s).size();
        DibBytes dib = PackedDib(s), file = BmpFile(s);
        if (c.Patch) {
            c.Patch(dib, 0);
            c.Patch(file, 14);
        }
        if (c.File)
            c.File(file);
        for (int door : {kFile, kParts, kHandle}) {
            if (!(c.Doors & door))
                continue;
            SCOPED_TRACE(door == kFile ? "file" : door == kParts ? "header and bits" : "global block");
            LiveBlockCheck blocks;
            Read r = door == kFile ? ThroughFile(file) : door == kParts ? ThroughParts(dib, rowsAt) : ThroughHandle(dib, rowsAt);
            EXPECT_EQ(r.Code, c.Code);
            if (r.Code == RC_SUCCESS) {
                EXPECT_TRUE(SamePicture(r.Bitmap, r.Model));
                K_FreeBitmap(&r.Bitmap);
            } else {
                EXPECT_TRUE(Untouched(r.Bitmap));
            }
        }
    }
}

// A run-length DIB given without its block size reads as far as its image
// size says, and is refused without one (nothing else bounds the stream).
TEST(DibRead, StreamOfUnknownLengthNeedsItsImageSize) {
    LiveBlockCheck blocks;
    DibLayout s = BaseLayout();
    s.Compression = BI_RLE8, s.Rows = {3, 7, 0, 0, 2, 9, 0, 1};
    DibBytes dib = PackedDib(s);
    const size_t rowsAt = DibHead(s).size();
    const auto *h = reinterpret_cast<const BITMAPINFOHEADER *>(dib.data());
    BitmapHandle b;
    ASSERT_EQ(K_ConvertFromDib(&b, h, dib.data() + rowsAt, 0), RC_SUCCESS);
    EXPECT_TRUE(SamePicture(b, ModelDecode(dib.data(), rowsAt, dib.data() + rowsAt, s.Rows.size())));
    K_FreeBitmap(&b);
    PutLE(dib, 20, 0, 4);
    b = Patterned();
    EXPECT_EQ(K_ConvertFromDib(&b, h, dib.data() + rowsAt, 0), RC_INVALID_FORMAT);
    EXPECT_TRUE(Untouched(b));
}

// Every allocation of a load failing in turn: RC_NO_MEMORY, the descriptor
// as it was, nothing left.
TEST(DibRead, AllocationFailuresLeaveTheDescriptorAlone) {
    std::mt19937 rng(7);
    for (int i = 0; i < 6; ++i) {
        const DibLayout s = zvtools::RandomDib(rng);
        SCOPED_TRACE(Describe(s));
        const std::string path = WriteTempFile("zvdib.bmp", BmpFile(s));
        BitmapHandle b = Patterned();
        SweepAllocationFailures([&] { return K_LoadBitmapFile(path.c_str(), &b); },
                                [&](int rc) {
                                    EXPECT_EQ(rc, RC_NO_MEMORY);
                                    EXPECT_TRUE(Untouched(b));
                                },
                                [&](int rc) {
                                    EXPECT_EQ(rc, RC_SUCCESS);
                                    K_FreeBitmap(&b);
                                    b = Patterned();
                                });
    }
    const std::string path = WriteTempFile("zvdib.out.bmp", {});  // and the writer's row block
    BitmapHandle b;
    ASSERT_EQ(K_CreateBitmap(&b, 9, 4, 24, ORDER_BGR, ORIENT_BOTTOM_LEFT), RC_SUCCESS);
    SweepAllocationFailures([&] { return K_SaveBitmapFile(path.c_str(), &b); },
                            [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
                            [&](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
    K_FreeBitmap(&b);
}

}  // namespace
