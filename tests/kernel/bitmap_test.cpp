// Kernel bitmaps: creation, hand-made descriptors, rows, palettes, copies
// and the region hook; whole-bitmap operations (fill limited by a region,
// conversion, combination, lists, release) against per-pixel models.
#include "support.h"

#include "paint/fixed_palettes.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using zvtest::HandMade;
using zvtest::PixelAt;

bool SameBytes(const BitmapHandle &a, const BitmapHandle &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

int __stdcall ReadKernelRow(const BitmapHandle *b, BYTE *buffer, int row, int column, int bytes, void *) {
    return K_GetBitmapRow(b, buffer, row, column * b->BitsPerPixel / 8, bytes) >= 0 ? RC_SUCCESS : RC_ROW_READ;
}

// A region made by hand in the kernel's allocators, as the library makes
// them: per row y of [top, top + rows.size()) the runs rows[y - top].
ZoraRgn *MakeRegion(int top, const std::vector<std::vector<int32_t>> &rows) {
    auto *r = static_cast<ZoraRgn *>(K_AllocZero(1, sizeof(ZoraRgn)));
    size_t values = 0;
    for (auto &row : rows)
        values += row.size();
    r->RowTable = static_cast<RgnRow *>(K_AllocZero(rows.size(), sizeof(RgnRow)));
    r->SpanStore = static_cast<int32_t *>(K_AllocZero(values + 1, sizeof(int32_t)));
    r->RowTableSize = uint32_t(8 * rows.size());
    int32_t left = INT32_MAX, right = INT32_MIN;
    size_t at = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        r->RowTable[i] = RgnRow{uint32_t(rows[i].size()), uint32_t(4 * at)};
        for (int32_t v : rows[i])
            r->SpanStore[at++] = v;
        if (!rows[i].empty())
            left = std::min(left, rows[i].front()), right = std::max(right, rows[i].back());
    }
    r->SpanStoreSize = uint32_t(4 * at);
    r->Bounds = RECT{left, top, right, top + int(rows.size())};
    return r;
}

// Random runs, some reaching outside the bitmap; first and last rows not empty.
std::vector<std::vector<int32_t>> RandomRuns(std::mt19937 &rng, int n, int width) {
    std::vector<std::vector<int32_t>> rows(n);
    for (auto &row : rows)
        for (int x = int(rng() % 5) - 3; x < width + 2 && rng() % 4;) {
            const int end = x + 1 + int(rng() % 9);
            row.push_back(x), row.push_back(end);
            x = end + 1 + int(rng() % 6);
        }
    rows.front() = {0, 1};
    rows.back() = {width - 1, width + 3};
    return rows;
}

bool Selected(const std::vector<std::vector<int32_t>> &rows, int top, int y, int x) {
    if (y < top || y >= top + int(rows.size()))
        return false;
    const auto &row = rows[y - top];
    for (size_t i = 0; i + 1 < row.size(); i += 2)
        if (x >= row[i] && x < row[i + 1])
            return true;
    return false;
}

void Randomize(BitmapHandle &b, std::mt19937 &rng, bool palette = false) {
    for (int i = 0; i < b.BytesPerLine * b.Height; ++i)
        b.Data[i] = BYTE(rng());
    for (int i = 0; palette && i < b.ColorCount; ++i)
        b.Palette[i] = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
}

COLORREF ColorOf(const RGBQUAD &q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

TEST(KernelBitmap, CreateGivesZeroedContiguousBitmapWithGrayPaletteAndIdentityTable) {
    zvtest::LiveBlockCheck check;
    for (int bits : {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        BitmapHandle b;
        ASSERT_EQ(K_CreateBitmap(&b, 13, 5, bits, ORDER_BGR, ORIENT_TOP_LEFT), RC_SUCCESS);
        EXPECT_EQ(b.BytesPerLine, (13 * bits + 31) / 32 * 4);
        EXPECT_EQ(b.Flags, BITMAP_ALLOCATED | BITMAP_CONTIGUOUS);
        EXPECT_TRUE(b.PaintGamma == 100 && !b.PaintContrast && !b.PaintIntensity && !b.Region);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(b.PaintLUT[i], i);
        for (int i = 0; i < b.BytesPerLine * b.Height; ++i)
            ASSERT_EQ(b.Data[i], 0);
        EXPECT_EQ(b.ColorCount, bits <= 8 ? 1 << bits : 0);
        EXPECT_EQ(b.Palette != nullptr, bits <= 8);
        if (bits <= 8) {
            EXPECT_EQ(b.Palette[0].rgbRed, 0);
            EXPECT_EQ(b.Palette[b.ColorCount - 1].rgbGreen, 255);
            for (int i = 1; i < b.ColorCount; ++i)
                EXPECT_GT(b.Palette[i].rgbBlue, b.Palette[i - 1].rgbBlue);
            EXPECT_EQ(K_IsGrayScale(&b), 1);
        }
        EXPECT_EQ(K_FreeBitmap(&b), RC_SUCCESS);
        EXPECT_TRUE(!(b.Flags & BITMAP_ALLOCATED) && !b.Data);
    }
}

// Calls expected to give a code.
using Calls = std::vector<std::pair<intptr_t, std::function<intptr_t()>>>;
struct Keep {};  // an argument that stays valid

// One call per argument of `bad` that is not Keep: fn with the `valid`
// arguments, that one replaced by its bad value, expected to give `code`.
template <class Fn, class Valid, class Bad, size_t... I>
void AddEachBad(Calls &calls, intptr_t code, Fn fn, const Valid &valid, const Bad &bad, std::index_sequence<I...>) {
    const auto one = [&](auto i) {
        if constexpr (!std::is_same_v<std::tuple_element_t<decltype(i)::value, Bad>, Keep>)
            calls.push_back({code, [=] {
                                 Valid a = valid;
                                 std::get<decltype(i)::value>(a) = std::get<decltype(i)::value>(bad);
                                 return intptr_t(std::apply(fn, a));
                             }});
    };
    (one(std::integral_constant<size_t, I>{}), ...);
}
template <class Fn, class Valid, class Bad>
void AddEachBad(Calls &calls, intptr_t code, Fn fn, const Valid &valid, const Bad &bad) {
    AddEachBad(calls, code, fn, valid, bad, std::make_index_sequence<std::tuple_size_v<Valid>>{});
}

TEST(KernelBitmap, BadArgumentsAreRefusedAndChangeNothing) {
    BitmapHandle b;
    std::memset(&b, 0x5A, sizeof b);
    const BitmapHandle before = b;
    EXPECT_EQ(K_CreateBitmap(nullptr, 1, 1, 8, 1, 0), RC_INVALID_PARAMETER);
    const int bad[][4] = {{0, 1, 8, 0}, {1, -1, 8, 0}, {1, 1, 9, 0}, {1, 1, 10, 0}, {1, 1, 8, 6}, {1, 1, 8, 9},
                          {0x7fffffff, 0x7fffffff, 64, 0}};
    for (const auto &a : bad)
        EXPECT_EQ(K_CreateBitmap(&b, a[0], a[1], a[2], 1, a[3]), RC_INVALID_PARAMETER) << a[0] << " " << a[2];
    EXPECT_TRUE(SameBytes(b, before));

    // New sizes whose storage passes half the address space, and the
    // storage of a turn that does: the byte count must not wrap in a
    // 32-bit size_t (2^30 one-bit columns take 128 MB; turned, 2^30 rows of
    // 4 bytes).
    ASSERT_EQ(K_CreateBitmap(&b, 5, 3, 24, ORDER_BGR, 0), RC_SUCCESS);
    const BitmapHandle small = b;
    for (const auto &size : {std::pair{0x7fffffff, 0x7fffffff}, {0x7fffffff, 2}, {0, 1}, {1, -1}})
        EXPECT_EQ(K_ResizeBitmap(&b, size.first, size.second), RC_INVALID_PARAMETER) << size.first << " " << size.second;
    EXPECT_TRUE(SameBytes(b, small));

    // One bad argument per row, for each export that takes it: the status,
    // and neither the bitmap nor the output touched.
    BitmapHandle none{}, copy;
    BYTE out[64], in[64] = {};
    std::memset(out, 0xA5, sizeof out);
    RGBQUAD *const row = reinterpret_cast<RGBQUAD *>(out);
    const HANDLE file = reinterpret_cast<HANDLE>(intptr_t(8));
    KResize *rs = nullptr;  // 5 x 3 to 4 x 2 onto two colours
    const RGBQUAD two[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    ASSERT_EQ(K_ResizeStart(&b, 4, 2, 8, two, 2, RESIZE_BILINEAR, ReadKernelRow, nullptr, &rs), RC_SUCCESS);
    Calls calls;
    const int refused = RC_INVALID_PARAMETER;
    AddEachBad(calls, refused, K_StretchRow, std::tuple{24, in, 0, 1, 0, 2, 0, out, 2}, std::tuple{0, nullptr, -1, -1, -1, 0, -1, nullptr, -1});
    AddEachBad(calls, refused, K_ConvertColorOrder, std::tuple{out, 2, 24, ORDER_RGB, ORDER_BGR}, std::tuple{nullptr, -1, Keep{}, Keep{}, Keep{}});
    AddEachBad(calls, refused, K_RotateStrip, std::tuple{in, out, 2, 2, 8, 1}, std::tuple{nullptr, nullptr, -1, -1, 12, Keep{}});
    AddEachBad(calls, refused, K_FlipStrip, std::tuple{in, out, 2, 2, 8}, std::tuple{nullptr, nullptr, -1, -1, 48});
    AddEachBad(calls, refused, K_ConvertBand, std::tuple{in, out, 4, 2}, std::tuple{nullptr, nullptr, -1, -1});
    AddEachBad(calls, refused, K_GetBitmapRow, std::tuple{&b, out, 0, 0, 4}, std::tuple{Keep{}, nullptr, -1, -1, -1});
    AddEachBad(calls, refused, K_PutBitmapRow, std::tuple{&b, in, 0, 0, 4}, std::tuple{Keep{}, nullptr, -1, -1, -1});
    AddEachBad(calls, refused, K_GetBitmapColors, std::tuple{&b, 0, 1, row}, std::tuple{Keep{}, -1, -1, nullptr});
    AddEachBad(calls, refused, K_PutBitmapColors, std::tuple{&b, 0, 1, row}, std::tuple{Keep{}, -1, -1, nullptr});
    AddEachBad(calls, 0, K_ComparePalette, std::tuple{&b, row, 1}, std::tuple{nullptr, nullptr, 0});
    AddEachBad(calls, refused, K_ConvertToBGR, std::tuple{&b, in, out, 1}, std::tuple{Keep{}, nullptr, nullptr, -1});
    AddEachBad(calls, refused, K_ConvertFromBGR, std::tuple{&b, in, out, 1}, std::tuple{Keep{}, nullptr, nullptr, -1});
    AddEachBad(calls, refused, K_FileRead, std::tuple{file, out, 1u}, std::tuple{nullptr, nullptr, 0x80000000u});
    AddEachBad(calls, refused, K_FileWrite, std::tuple{file, in, 1u}, std::tuple{nullptr, nullptr, 0x80000000u});
    AddEachBad(calls, refused, K_ResizeRow, std::tuple{rs, 0, 0, 1, out}, std::tuple{nullptr, 2, Keep{}, Keep{}, nullptr});
    AddEachBad(calls, refused, K_ResizeRowValues, std::tuple{rs, 0, 0, 1, out}, std::tuple{nullptr, -1, -1, -1, nullptr});
    AddEachBad(calls, refused, K_ResizePutRow, std::tuple{rs, 0, 0, 1, in, out}, std::tuple{nullptr, -1, -1, 5, nullptr, nullptr});
    calls.insert(calls.end(), {
        {RC_INVALID_PARAMETER, [&] { return K_StretchRow(24, in, 0, 1, 0, 2, 2, out, 2); }},  // the error not below the denominator
        {RC_INVALID_PARAMETER, [&] { return K_ResizeRowValues(rs, 2, 0, 1, out); }},  // past the last row or column
        {RC_INVALID_PARAMETER, [&] { return K_ResizeRowValues(rs, 0, 3, 2, out); }},
        {RC_INVALID_PARAMETER, [&] { return K_ResizePutRow(rs, 2, 0, 1, in, out); }},
        {RC_SUCCESS, [&] { return K_ResizeRowValues(rs, 1, 4, 0, out); }},  // nothing to make
        {RC_SUCCESS, [&] { return K_ResizePutRow(rs, 0, 0, 0, in, out); }},
        {RC_SUCCESS, [&] { return K_ConvertColorOrder(out, 2, 24, ORDER_GRAY, ORDER_BGR); }},
        {RC_SUCCESS, [&] { return K_ConvertColorOrder(out, 2, 24, ORDER_RGB, ORDER_GRAY); }},
        {RC_SUCCESS, [&] { return K_ConvertColorOrder(out, 2, 8, ORDER_RGB, ORDER_BGR); }},
        {RC_NO_BITMAP, [&] { return K_GetBitmapRow(&none, out, 0, 0, 4); }},
        {RC_INVALID_PARAMETER, [&] { return K_GetBitmapRow(&b, out, 3, 0, 4); }},
        {RC_NO_BITMAP, [&] { return K_PutBitmapRow(&none, in, 0, 0, 4); }},
        {RC_INVALID_PARAMETER, [&] { return K_PutBitmapRow(&b, in, 3, 0, 4); }},
        {RC_NO_BITMAP, [&] { return K_FreeBitmap(nullptr); }},
        {RC_NO_BITMAP, [&] { return K_CopyBitmapHandle(&copy, nullptr); }},
        {RC_INVALID_PARAMETER, [&] { return K_CopyBitmapHandle(nullptr, &b); }},
        {RC_INVALID_PARAMETER, [&] { return K_CopyBitmap(nullptr, &b); }},
        {RC_NO_BITMAP, [&] { return K_EndAccess(nullptr, 1); }},
        {RC_INVALID_PARAMETER, [&] { return K_EndAccess(&b, 0); }},
        {RC_INVALID_PARAMETER, [&] { return K_EndAccess(&b, 1); }},  // no access open
        {RC_NO_BITMAP, [&] { return K_GetBitmapColors(nullptr, 0, 1, row); }},
        {RC_NO_BITMAP, [&] { return K_PutBitmapColors(nullptr, 0, 1, row); }},
        {0, [&] { return K_PutBitmapColors(&b, 0, 1, row); }},  // no palette to write
        {0, [&] { return K_IsGrayScale(nullptr); }},
        {0, [&] { return K_ComparePalette(&b, row, 1); }},  // no palette to compare
        {0, [&] { return intptr_t(K_CreatePaletteFromBitmap(nullptr)); }},
        {RC_NO_BITMAP, [&] { return K_ConvertToBGR(nullptr, in, out, 1); }},
        {RC_NO_BITMAP, [&] { return K_ConvertFromBGR(nullptr, in, out, 1); }},
        {RC_INVALID_FORMAT, [&] { BitmapHandle t = b; t.BitsPerPixel = 9; return K_ConvertToBGR(&t, in, out, 1); }},
        {RC_NO_BITMAP, [&] { return K_FlipBitmap(&none); }},
        {RC_NO_BITMAP, [&] { return K_MirrorBitmap(&none); }},
        {RC_NO_BITMAP, [&] { return K_RotateBitmap(&none, 9000); }},
        {RC_NO_BITMAP, [&] { return K_ResizeBitmap(&none, 2, 2); }},
        {0, [&] { return intptr_t(K_FileOpen(nullptr, K_FILE_READ)); }},
        {-1, [&] { return intptr_t(K_FileSeek(nullptr, 0, FILE_BEGIN)); }},
        {-1, [&] { return intptr_t(K_FileSeek(file, 0, FILE_END + 1)); }},
        {RC_NO_BITMAP, [&] { return K_ConvertFromDib(nullptr, reinterpret_cast<BITMAPINFOHEADER *>(in), in, 64); }},
        {RC_INVALID_PARAMETER, [&] { return K_ConvertFromDib(&copy, nullptr, in, 64); }},
        {RC_INVALID_PARAMETER, [&] { return K_ConvertFromDib(&copy, reinterpret_cast<BITMAPINFOHEADER *>(in), nullptr, 64); }},
        {RC_INVALID_FORMAT, [&] { return K_ConvertFromDib(&copy, reinterpret_cast<BITMAPINFOHEADER *>(in + 8), in, 56); }},
        {RC_INVALID_FORMAT, [&] { return K_ConvertFromDib(&copy, reinterpret_cast<BITMAPINFOHEADER *>(in), in + 60, 56); }},
        {RC_INVALID_PARAMETER, [&] { return K_ConvertFromDibHandle(&copy, nullptr); }},
        {0, [&] { return intptr_t(K_ConvertToDib(&none)); }},
        {0, [&] { return intptr_t(K_CreateBitmapDC(&none)); }},
        {0, [&] { BitmapHandle t = b; t.BitsPerPixel = 8; return intptr_t(K_CreateBitmapDC(&t)); }},
        {0, [&] { BitmapHandle t = b; t.Order = ORDER_RGB; return intptr_t(K_CreateBitmapDC(&t)); }},
        {RC_INVALID_PARAMETER, [&] { return K_DeleteBitmapDC(&b, nullptr); }},
        {RC_INVALID_PARAMETER, [&] { return K_DeleteBitmapDC(&b, CreateCompatibleDC(nullptr)); }},  // no section
        {RC_NO_BITMAP, [&] { return K_DeleteBitmapDC(&none, CreateCompatibleDC(nullptr)); }},
        {RC_FILE_OPEN, [&] { return K_LoadBitmapFile(nullptr, &copy); }},
        {RC_INVALID_PARAMETER, [&] { return K_LoadBitmapFile("x.bmp", nullptr); }},
        {RC_NO_BITMAP, [&] { return K_SaveBitmapFile("x.bmp", &none); }},
        {RC_FILE_OPEN, [&] { return K_SaveBitmapFile(nullptr, &b); }},
        {RC_FILE_OPEN, [&] { return K_SaveBitmapFile("zv-no-such-folder\\x.bmp", &b); }},
        {RC_FILE_OPEN, [&] { return K_LoadBitmapFile("zv-no-such-folder\\x.bmp", &copy); }},
        {RC_INVALID_PARAMETER, [&] { BitmapHandle t = b; t.Orientation = ORIENT_LEFT_TOP; return K_SaveBitmapFile("x.bmp", &t); }},
        {RC_INVALID_FORMAT, [&] { BitmapHandle t = b; t.BitsPerPixel = 12; return K_SaveBitmapFile("x.bmp", &t); }},
        {RC_INVALID_FORMAT, [&] { BitmapHandle t = b; t.BitsPerPixel = 16, t.Order = ORDER_GRAY; return K_SaveBitmapFile("x.bmp", &t); }},
    });
    std::memset(&copy, 0x5A, sizeof copy);
    const BitmapHandle copyBefore = copy;
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second(), calls[i].first) << "row " << i;
        EXPECT_TRUE(SameBytes(b, small) && SameBytes(copy, copyBefore)) << "row " << i;
        EXPECT_TRUE(std::all_of(out, out + sizeof out, [](BYTE v) { return v == 0xA5; })) << "row " << i;
    }
    K_ResizeEnd(rs);
    K_FreeBitmap(&b);
    if (sizeof(void *) == 4) {
        ASSERT_EQ(K_CreateBitmap(&b, 1 << 30, 1, 1, ORDER_BGR, ORIENT_TOP_LEFT), RC_SUCCESS);
        const BitmapHandle wide = b;
        EXPECT_EQ(K_ChangeBitmapOrientation(&b, ORIENT_LEFT_TOP), RC_NO_MEMORY);
        EXPECT_TRUE(SameBytes(b, wide));
        K_FreeBitmap(&b);
    }
}

TEST(KernelBitmap, CreateAndCopiesReleaseEverythingWhenAnAllocationFails) {
    BitmapHandle b;
    std::memset(&b, 0x11, sizeof b);
    const BitmapHandle before = b;
    const int allocations = zvtest::SweepAllocationFailures(
        [&] { return K_CreateBitmap(&b, 40, 30, 8, ORDER_BGR, 0); },
        [&](int rc) { EXPECT_TRUE(rc == RC_NO_MEMORY && SameBytes(b, before)); },
        [&](int rc) { ASSERT_EQ(rc, RC_SUCCESS); K_FreeBitmap(&b); });
    EXPECT_EQ(allocations, 3) << "pixels, paint table, palette";
    ASSERT_EQ(K_CreateBitmap(&b, 40, 30, 8, ORDER_BGR, 0), RC_SUCCESS);
    b.WindowLUT = static_cast<RGBQUAD *>(K_AllocZero(16, sizeof(RGBQUAD)));
    b.WindowLUTLength = 16;
    for (auto copyFn : {K_CopyBitmap, K_CopyBitmapHandle}) {
        BitmapHandle copy{};
        zvtest::SweepAllocationFailures(
            [&] { return copyFn(&copy, &b); },
            [&](int rc) { EXPECT_TRUE(rc == RC_NO_MEMORY && SameBytes(copy, BitmapHandle{})); },
            [&](int rc) {
                ASSERT_EQ(rc, RC_SUCCESS);
                EXPECT_NE(copy.WindowLUT, b.WindowLUT);
                K_FreeBitmap(&copy);
            });
    }
    K_FreeBitmap(&b);
}

TEST(KernelBitmap, HandMadeDescriptorWorksEverywhereAndIsNeverFreedByTheKernel) {
    zvtest::LiveBlockCheck check;
    HandMade hand(21, 4, 8, 256);
    BitmapHandle &b = hand.bitmap;
    uint8_t row[32];
    ASSERT_EQ(K_GetBitmapRow(&b, row, 2, 3, 10), 10);
    EXPECT_EQ(std::memcmp(row, hand.pixels.data() + 2 * b.BytesPerLine + 3, 10), 0);
    EXPECT_EQ(K_GetBitmapRow(&b, row, 1, 20, 100), b.BytesPerLine - 20) << "clamped to the stride";
    EXPECT_EQ(K_GetBitmapRow(&b, row, 1, b.BytesPerLine, 4), 0);
    const uint8_t bytes[3] = {1, 2, 3};
    ASSERT_EQ(K_PutBitmapRow(&b, bytes, 3, 5, 3), 3);
    EXPECT_EQ(hand.pixels[3 * b.BytesPerLine + 6], 2);
    RGBQUAD colors[4];
    ASSERT_EQ(K_GetBitmapColors(&b, 254, 4, colors), 2);
    EXPECT_EQ(colors[1].rgbGreen, 0);
    EXPECT_NE(K_ComparePalette(&b, hand.palette.data(), 256), 0);
    const int token = K_BeginAccess(&b);
    EXPECT_GE(token, 1);
    EXPECT_EQ(K_EndAccess(&b, token), RC_SUCCESS);
    BitmapHandle copy;
    ASSERT_EQ(K_CopyBitmap(&copy, &b), RC_SUCCESS);
    EXPECT_EQ(std::memcmp(copy.Data, b.Data, hand.pixels.size()), 0);
    EXPECT_EQ(copy.Palette[200].rgbRed, hand.palette[200].rgbRed);
    K_FreeBitmap(&copy);
    // A descriptor of a window of it: size and depth of its own, no pixels.
    b.Orientation = ORIENT_BOTTOM_LEFT;
    b.Flags |= BITMAP_RGN_UNCLIPPED | BITMAP_WINDOW_LEVEL;
    BitmapHandle w;
    ASSERT_EQ(K_InitBitmapHandle(&w, &b, 3, 4, 1), RC_SUCCESS);
    EXPECT_TRUE(w.Width == 3 && w.Height == 4 && w.BitsPerPixel == 1 && w.BytesPerLine == 4 && !w.Data);
    EXPECT_TRUE(w.Orientation == ORIENT_BOTTOM_LEFT && w.Flags == BITMAP_RGN_UNCLIPPED);
    EXPECT_EQ(K_FreeBitmap(&w), RC_SUCCESS);
    EXPECT_EQ(K_InitBitmapHandle(&w, nullptr, 3, 4, 9), RC_INVALID_PARAMETER);
    ASSERT_EQ(K_FreeBitmap(&b), RC_SUCCESS);
    EXPECT_EQ(b.Data, hand.pixels.data()) << "caller's pixels are not the kernel's to free";
    EXPECT_TRUE(b.Palette == hand.palette.data() && b.PaintLUT == hand.lut && !(b.Flags & BITMAP_ALLOCATED));
}

TEST(KernelPalette, GrayTestAndFixedPalettes) {
    HandMade mono(8, 1, 1, 2);
    mono.palette = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    EXPECT_EQ(K_IsGrayScale(&mono.bitmap), 1);
    std::swap(mono.palette[0], mono.palette[1]);
    EXPECT_EQ(K_IsGrayScale(&mono.bitmap), 2);
    mono.palette[0].rgbRed = 3;
    EXPECT_EQ(K_IsGrayScale(&mono.bitmap), 0);
    HandMade none(8, 1, 4, 0);  // no palette: painted with a gray ramp
    EXPECT_EQ(K_IsGrayScale(&none.bitmap), 1);
    RGBQUAD ramp[16];
    ASSERT_EQ(K_GetBitmapColors(&none.bitmap, 0, 16, ramp), 16);
    EXPECT_EQ(ramp[1].rgbRed, 17);
    const HandMade one(4, 1, 8, 1);
    EXPECT_EQ(K_IsGrayScale(&one.bitmap), 0) << "one colour is no ramp";
    // A palette handle in place of the table: its entries, and none written.
    HPALETTE handle = K_CreatePaletteFromColors(mono.palette.data(), 2);
    mono.bitmap.Palette = reinterpret_cast<RGBQUAD *>(handle);
    mono.bitmap.Flags |= BITMAP_PALETTE_HANDLE;
    ASSERT_EQ(K_GetBitmapColors(&mono.bitmap, 0, 16, ramp), 2);
    EXPECT_TRUE(ramp[0].rgbRed == 3 && ramp[0].rgbBlue == 255 && ramp[1].rgbGreen == 0);
    EXPECT_EQ(K_PutBitmapColors(&mono.bitmap, 0, 1, ramp), 0);
    DeleteObject(handle);
    // Deep gray: a window table is looked at only while it is in force.
    HandMade deep(8, 1, 16, 0);
    EXPECT_EQ(K_IsGrayScale(&deep.bitmap), 0);
    deep.bitmap.Order = ORDER_GRAY;
    RGBQUAD table[3] = {{0, 0, 0, 0}, {9, 9, 9, 0}, {200, 200, 200, 0}};
    deep.bitmap.WindowLUT = table;
    deep.bitmap.WindowLUTLength = 3;
    std::swap(table[0], table[2]);
    EXPECT_EQ(K_IsGrayScale(&deep.bitmap), 1);
    deep.bitmap.Flags |= BITMAP_WINDOW_LEVEL;
    EXPECT_EQ(K_IsGrayScale(&deep.bitmap), 2);
    table[1].rgbRed = 10;
    EXPECT_EQ(K_IsGrayScale(&deep.bitmap), 0);

    const std::pair<int, const RGBQUAD *> fixed[] = {
        {1, zv::MonoPalette.data()}, {4, zv::Vga16Palette.data()}, {8, zv::Rgb332Palette.data()}};
    for (const auto &f : fixed) {
        HPALETTE pal = K_CreateFixedPalette(f.first);
        PALETTEENTRY pe[256];
        ASSERT_EQ(GetPaletteEntries(pal, 0, 256, pe), 1u << f.first);
        for (int i = 0; i < 1 << f.first; ++i)
            EXPECT_TRUE(pe[i].peRed == f.second[i].rgbRed && pe[i].peBlue == f.second[i].rgbBlue) << i;
        DeleteObject(pal);
    }
    EXPECT_EQ(K_CreateFixedPalette(24), nullptr);
}

int g_copyCalls, g_copyDx, g_copyDy, g_copyFails;

// Fails, when told to, with its region made (the kernel frees it).
int __stdcall RecordingCopy(BitmapHandle *pDst, BitmapHandle *pSrc, int nDx, int nDy) {
    ++g_copyCalls, g_copyDx = nDx, g_copyDy = nDy;
    EXPECT_EQ(pDst->Region, nullptr) << "the kernel clears the copy's region first";
    EXPECT_NE(pSrc->Region, nullptr);
    pDst->Region = MakeRegion(0, {{1, 3}});
    return g_copyFails ? RC_NO_MEMORY : RC_SUCCESS;
}

TEST(KernelRegionHook, CopiesCarryTheRegionThroughTheTableAndFreeReleasesIt) {
    zvtest::LiveBlockCheck check;
    RegionServiceTable table{};
    table.CopyWithOffset = RecordingCopy;
    K_SetRegionServiceTable(&table);
    table.CopyWithOffset = nullptr;  // the kernel keeps its own copy of the entries
    EXPECT_EQ(K_GetRegionServiceTable()->CopyWithOffset, RecordingCopy);
    BitmapHandle b, copy;
    ASSERT_EQ(K_CreateBitmap(&b, 4, 2, 8, ORDER_BGR, 0), RC_SUCCESS);
    b.Region = MakeRegion(0, {{1, 3}});
    g_copyCalls = 0, g_copyDx = g_copyDy = -1;
    ASSERT_EQ(K_CopyBitmap(&copy, &b), RC_SUCCESS);
    EXPECT_TRUE(g_copyCalls == 1 && g_copyDx == 0 && g_copyDy == 0);
    EXPECT_NE(copy.Region, b.Region);
    K_FreeBitmap(&copy);
    EXPECT_EQ(copy.Region, nullptr);
    g_copyFails = 1;
    std::memset(&copy, 0x5A, sizeof copy);
    const BitmapHandle before = copy;
    EXPECT_EQ(K_CopyBitmapHandle(&copy, &b), RC_NO_MEMORY);
    EXPECT_TRUE(SameBytes(copy, before));
    g_copyFails = 0;
    K_SetRegionServiceTable(nullptr);  // withdrawn: copies carry no region
    ASSERT_EQ(K_CopyBitmapHandle(&copy, &b), RC_SUCCESS);
    EXPECT_TRUE(copy.Region == nullptr && copy.Data == b.Data);
    K_FreeBitmap(&copy);
    EXPECT_NE(b.Data, nullptr) << "freeing a descriptor copy leaves the pixels";
    K_FreeBitmap(&b);  // frees the region too
    K_FreeRegion(nullptr);
}

TEST(KernelFill, FillsExactlyTheRegionWithTheColourAtEveryDepth) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(7);
    const int cases[][2] = {{1, 1}, {2, 1}, {4, 1}, {5, 1}, {8, 1}, {12, 2}, {16, 2}, {16, 1}, {24, 1}, {24, 0}, {32, 1}, {48, 0}};
    for (const auto &c : cases)
        for (int round = 0; round < 6; ++round) {
            SCOPED_TRACE(testing::Message() << c[0] << " bits, round " << round);
            const int w = 1 + int(rng() % 150), h = 1 + int(rng() % 20);
            BitmapHandle b;
            ASSERT_EQ(K_CreateBitmap(&b, w, h, c[0], c[1], 0), RC_SUCCESS);
            Randomize(b, rng, true);
            std::vector<uint8_t> before(b.Data, b.Data + b.BytesPerLine * h);
            BitmapHandle old = b;
            old.Data = before.data();
            std::vector<std::vector<int32_t>> runs;
            const int top = int(rng() % 5) - 2;
            const bool withRegion = round % 3 != 0;
            if (withRegion)
                b.Region = MakeRegion(top, runs = RandomRuns(rng, 1 + int(rng() % (h + 3)), w));
            // Palette depths: a palette index or an entry's colour; deeper
            // ones a colour that survives the format.
            COLORREF color = RGB(rng() & 0xF8, rng() & 0xF8, rng() & 0xF8);
            uint64_t index = 0;
            if (c[0] <= 8) {
                index = rng() % b.ColorCount;
                color = round % 2 ? 0x01000000u | 0xAB00u | uint32_t(index) : ColorOf(b.Palette[index]);
                for (uint64_t i = 0; !(round % 2) && i < index; ++i)  // the first entry of that colour
                    if (ColorOf(b.Palette[i]) == color)
                        index = i;
            }
            ASSERT_EQ(K_FillBitmap(&b, color), RC_SUCCESS);
            uint64_t filled = ~0ull;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (withRegion && !Selected(runs, top, y, x)) {
                        ASSERT_EQ(PixelAt(b, x, y), PixelAt(old, x, y)) << y << "," << x;
                        continue;
                    }
                    if (filled == ~0ull)
                        filled = PixelAt(b, x, y);
                    ASSERT_EQ(PixelAt(b, x, y), filled) << y << "," << x;
                    ASSERT_TRUE(c[0] > 8 || filled == index);
                    ASSERT_TRUE(c[0] <= 8 || c[1] == 2 || (K_GetPixelValue(&b, y, x) & 0xF8F8F8) == color) << y << "," << x;
                }
            K_FreeBitmap(&b);
        }
    EXPECT_EQ(K_FillBitmap(nullptr, 0), RC_NO_BITMAP);
}

TEST(KernelConvert, ConvertsEveryPixelToTheNewDepthAndPalette) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(11);
    for (int from : {1, 4, 8, 16, 24, 32})
        for (int to : {1, 2, 4, 8, 24, 32}) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            const int w = 1 + int(rng() % 70), h = 1 + int(rng() % 9);
            BitmapHandle src;
            ASSERT_EQ(K_CreateBitmap(&src, w, h, from, ORDER_BGR, ORIENT_BOTTOM_LEFT), RC_SUCCESS);
            Randomize(src, rng, true);
            src.Left = 5, src.Top = -3, src.Delay = 70, src.DisposalMethod = 3, src.TransparentColor = 0x123456;
            src.BackgroundColor = 0x654321, src.Flags |= BITMAP_TRANSPARENT | BITMAP_WAIT_INPUT;
            std::vector<RGBQUAD> pal;
            UINT flags = (rng() % 2) ? KCONV_BLUE_FIRST : 0;
            if (to <= 8) {
                pal.resize(1 + rng() % (1u << to));
                for (auto &q : pal)
                    q = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
                flags |= KCONV_USE_COLORS | KCONV_NEAREST;
            }
            BitmapHandle dst;
            ASSERT_EQ(K_ConvertColorResolution(&src, &dst, to, pal.data(), int(pal.size()), flags), RC_SUCCESS);
            EXPECT_TRUE(dst.BitsPerPixel == to && dst.Orientation == ORIENT_BOTTOM_LEFT);
            EXPECT_EQ(dst.Order, (flags & KCONV_BLUE_FIRST) ? ORDER_BGR : ORDER_RGB);
            EXPECT_TRUE(dst.Left == 5 && dst.Top == -3 && dst.Delay == 70 && dst.DisposalMethod == 3);
            EXPECT_TRUE(dst.TransparentColor == 0x123456 && dst.BackgroundColor == 0x654321);
            EXPECT_EQ(dst.Flags & (BITMAP_TRANSPARENT | BITMAP_WAIT_INPUT), BITMAP_TRANSPARENT | BITMAP_WAIT_INPUT);
            EXPECT_TRUE(to > 8 || dst.ColorCount == int(pal.size()));
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    UINT c = K_GetPixelValue(&src, y, x);
                    if (from == 16)  // 5-5-5 widened
                        c = (c & 0xF8F8F8) | (c & 0xE0E0E0) >> 5;
                    const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
                    if (to <= 8)
                        ASSERT_EQ(PixelAt(dst, x, y), uint64_t(zvtest::NearestEntry(pal.data(), int(pal.size()), r, g, b)));
                    else
                        ASSERT_EQ(K_GetPixelValue(&dst, y, x), UINT(r | g << 8 | b << 16)) << y << "," << x;
                }
            K_FreeBitmap(&dst);
            K_FreeBitmap(&src);
        }
}

TEST(KernelConvert, FailedAllocationsLeaveTheOutputAlone) {
    zvtest::LiveBlockCheck check;
    BitmapHandle src, dst{};
    ASSERT_EQ(K_CreateBitmap(&src, 40, 7, 8, ORDER_BGR, 0), RC_SUCCESS);
    RGBQUAD two[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    dst.Width = 1234;
    const BitmapHandle untouched = dst;
    zvtest::SweepAllocationFailures(
        [&] { return K_ConvertColorResolution(&src, &dst, 1, two, 2, 0x10010); },
        [&](int rc) { EXPECT_TRUE(rc == RC_NO_MEMORY && SameBytes(dst, untouched)); },
        [&](int rc) {
            ASSERT_EQ(rc, RC_SUCCESS);
            K_FreeBitmap(&dst);
            dst = untouched;
        });
    K_FreeBitmap(&src);
}

const int kCombineDepths[] = {1, 3, 4, 8, 12, 24, 64};

TEST(KernelCombine, CopiesTheBlockWithinBothBitmapsAndTheSourceRegion) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(5);
    for (int round = 0; round < 120; ++round) {
        const int bits = kCombineDepths[round % 7];
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << bits << " bits");
        BitmapHandle dst, src;
        const int dw = 1 + int(rng() % 60), dh = 1 + int(rng() % 20), sw = 1 + int(rng() % 40), sh = 1 + int(rng() % 15);
        const int srcO = rng() % 3 ? ORIENT_TOP_LEFT : ORIENT_BOTTOM_LEFT, dstO = rng() % 2 ? ORIENT_TOP_LEFT : ORIENT_BOTTOM_LEFT;
        ASSERT_EQ(K_CreateBitmap(&dst, dw, dh, bits, ORDER_BGR, dstO), RC_SUCCESS);
        ASSERT_EQ(K_CreateBitmap(&src, sw, sh, bits, ORDER_BGR, srcO), RC_SUCCESS);
        Randomize(dst, rng), Randomize(src, rng);
        std::vector<uint8_t> before(dst.Data, dst.Data + dst.BytesPerLine * dh);
        BitmapHandle old = dst;
        old.Data = before.data();
        std::vector<std::vector<int32_t>> runs;
        const int top = int(rng() % 4) - 1;
        const UINT flags = (rng() % 3) ? KCOMBINE_SOURCE_RGN | KCOMBINE_COPY : KCOMBINE_COPY;
        if (rng() % 3)
            src.Region = MakeRegion(top, runs = RandomRuns(rng, 1 + int(rng() % sh), sw));
        const int x = int(rng() % (dw + 20)) - 10, y = int(rng() % (dh + 20)) - 10;
        const int w = int(rng() % (sw + 5)), h = int(rng() % (sh + 5));
        const int sx = int(rng() % 7) - 3, sy = int(rng() % 7) - 3;
        ASSERT_EQ(K_CombineBitmap(&dst, x, y, w, h, &src, sx, sy, flags), RC_SUCCESS);
        // Block pixel (i, j) comes from source (sy + i, sx + j) and lands on
        // row y + i, or on the rows counted from the bottom when the row
        // orders differ.
        for (int r = 0; r < dh; ++r)
            for (int c = 0; c < dw; ++c) {
                const int i = srcO != dstO ? (dh - 1 - r) - y : r - y, j = c - x, srow = sy + i, scol = sx + j;
                const bool inside = i >= 0 && i < h && j >= 0 && j < w && srow >= 0 && srow < sh && scol >= 0 &&
                                    scol < sw &&
                                    (!(flags & KCOMBINE_SOURCE_RGN) || !src.Region || Selected(runs, top, srow, scol));
                ASSERT_EQ(PixelAt(dst, c, r), inside ? PixelAt(src, scol, srow) : PixelAt(old, c, r)) << r << "," << c;
            }
        K_FreeBitmap(&dst), K_FreeBitmap(&src);
    }
}

TEST(KernelList, InsertGetSetAndDestroyOwnTheItems) {
    zvtest::LiveBlockCheck check;
    void *list = nullptr;
    zvtest::SweepAllocationFailures([&] { return K_CreateBitmapList(&list); },
                                    [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
                                    [&](int rc) { ASSERT_EQ(rc, RC_SUCCESS); K_DestroyBitmapList(list); });
    ASSERT_EQ(K_CreateBitmapList(&list), RC_SUCCESS);
    // Inserts at the end, the front and the middle: widths 1..12 in order.
    std::vector<int> model;
    for (int i = 0; i < 12; ++i) {
        BitmapHandle b;
        ASSERT_EQ(K_CreateBitmap(&b, i + 1, 2, 8, ORDER_BGR, 0), RC_SUCCESS);
        const int at = i % 3 == 0 ? -1 : i % 3 == 1 ? 0 : int(model.size() / 2);
        if (i == 8) {
            K_SetAllocationFailure(0, 0);  // the ninth needs more room
            EXPECT_EQ(K_InsertBitmapListItem(list, at, &b), RC_NO_MEMORY);
            K_SetAllocationFailure(-1, 0);
        }
        ASSERT_EQ(K_InsertBitmapListItem(list, at, &b), RC_SUCCESS);
        model.insert(at < 0 ? model.end() : model.begin() + at, i + 1);
    }
    uint32_t count = 0;
    ASSERT_EQ(K_GetBitmapListCount(list, &count), RC_SUCCESS);
    ASSERT_EQ(count, model.size());
    BitmapHandle b;
    for (size_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(K_GetBitmapListItem(list, int(i), &b), RC_SUCCESS);
        EXPECT_EQ(b.Width, model[i]);
        b.Delay = 40 + i;
        ASSERT_EQ(K_SetBitmapListItem(list, int(i), &b), RC_SUCCESS);
    }
    ASSERT_EQ(K_GetBitmapListItem(list, 3, &b), RC_SUCCESS);
    EXPECT_EQ(b.Delay, 43u);
    for (int at : {int(count), -1})
        EXPECT_TRUE(K_GetBitmapListItem(list, at, &b) == RC_INVALID_PARAMETER &&
                    K_SetBitmapListItem(list, at, &b) == RC_INVALID_PARAMETER);
    EXPECT_EQ(K_InsertBitmapListItem(list, int(count) + 1, &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_InsertBitmapListItem(list, -2, &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_InsertBitmapListItem(nullptr, -1, &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetBitmapListCount(list, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmapList(nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_DestroyBitmapList(nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_DestroyBitmapList(list), RC_SUCCESS);  // frees the twelve bitmaps
}

}  // namespace
