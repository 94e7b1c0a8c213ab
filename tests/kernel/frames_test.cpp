// Kernel whole-bitmap operations: fill limited by a region, conversion
// copy, access release and descriptor release, against per-pixel models.
#include "support.h"

#include <cstring>
#include <random>
#include <vector>

namespace {

// A region made by hand in the kernel's allocators: per row y of
// [top, top + rows.size()) the runs rows[y - top] (start, end pairs).
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
        for (size_t k = 0; k < rows[i].size(); ++k)
            r->SpanStore[at++] = rows[i][k];
        if (!rows[i].empty())
            left = std::min(left, rows[i].front()), right = std::max(right, rows[i].back());
    }
    r->SpanStoreSize = uint32_t(4 * at);
    r->Bounds = RECT{left, top, right, top + int(rows.size())};
    return r;
}

// Random runs, some reaching outside the bitmap, for rows top..top+n.
std::vector<std::vector<int32_t>> RandomRuns(std::mt19937 &rng, int n, int width) {
    std::vector<std::vector<int32_t>> rows(n);
    for (auto &row : rows) {
        int x = int(rng() % 5) - 3;
        while (x < width + 2 && rng() % 4) {
            const int end = x + 1 + int(rng() % 9);
            row.push_back(x), row.push_back(end);
            x = end + 1 + int(rng() % 6);
        }
    }
    rows.front() = {0, 1};  // first and last rows are not empty
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

// Raw pixel value, the slow way: bit stream below 8 bits, 12-bit pairs,
// little-endian bytes above.
uint64_t Raw(const BitmapHandle &b, int y, int x) {
    const BYTE *row = b.Data + size_t(y) * b.BytesPerLine;
    const int bits = b.BitsPerPixel;
    if (bits == 12) {
        const BYTE *q = row + (x / 2) * 3;
        return x % 2 ? (q[1] | q[2] << 8) >> 4 : (q[0] | q[1] << 8) & 0xFFF;
    }
    uint64_t v = 0;
    if (bits >= 8) {
        for (int i = 0; i < bits / 8; ++i)
            v |= uint64_t(row[size_t(x) * (bits / 8) + i]) << (8 * i);
        return v;
    }
    for (int i = 0; i < bits; ++i) {
        const int bit = x * bits + i;
        v = v << 1 | ((row[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return v;
}

void Randomize(BitmapHandle &b, std::mt19937 &rng) {
    for (int i = 0; i < b.BytesPerLine * b.Height; ++i)
        b.Data[i] = BYTE(rng());
}

const int kCombineDepths[] = {1, 3, 4, 8, 12, 24, 64};

COLORREF ColorOf(const RGBQUAD &q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

TEST(KernelFill, FillsExactlyTheRegionWithTheColourAtEveryDepth) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(7);
    struct Case { int bits, order; };
    for (Case c : {Case{1, 1}, {2, 1}, {4, 1}, {5, 1}, {8, 1}, {12, 2}, {16, 2}, {16, 1}, {24, 1}, {24, 0}, {32, 1}, {48, 0}}) {
        for (int round = 0; round < 6; ++round) {
            SCOPED_TRACE(testing::Message() << c.bits << " bits, round " << round);
            const int w = 1 + int(rng() % 150), h = 1 + int(rng() % 20);
            BitmapHandle b;
            ASSERT_EQ(K_CreateBitmap(&b, w, h, c.bits, c.order, 0), RC_SUCCESS);
            Randomize(b, rng);
            if (c.bits <= 8)
                for (int i = 0; i < b.ColorCount; ++i)
                    b.Palette[i] = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
            std::vector<uint8_t> before(b.Data, b.Data + b.BytesPerLine * h);
            BitmapHandle old = b;
            old.Data = before.data();
            std::vector<std::vector<int32_t>> runs;
            const int top = int(rng() % 5) - 2;
            const bool withRegion = round % 3 != 0;
            if (withRegion) {
                runs = RandomRuns(rng, 1 + int(rng() % (h + 3)), w);
                b.Region = MakeRegion(top, runs);
            }
            // Palette depths: a palette index or an entry's colour; deeper
            // ones a colour that survives the format.
            COLORREF color = RGB(rng() & 0xF8, rng() & 0xF8, rng() & 0xF8);
            uint64_t index = 0;
            const bool byIndex = c.bits <= 8 && round % 2;
            if (c.bits <= 8) {
                index = rng() % b.ColorCount;
                color = byIndex ? 0x01000000u | 0xAB00u | uint32_t(index) : ColorOf(b.Palette[index]);
                if (!byIndex)
                    for (uint64_t i = 0; i < index; ++i)  // the first entry of that colour
                        if (ColorOf(b.Palette[i]) == color)
                            index = i;
            }
            ASSERT_EQ(K_FillBitmap(&b, color), RC_SUCCESS);
            uint64_t filled = ~0ull;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (withRegion && !Selected(runs, top, y, x)) {
                        ASSERT_EQ(Raw(b, y, x), Raw(old, y, x)) << y << "," << x;
                        continue;
                    }
                    if (filled == ~0ull)
                        filled = Raw(b, y, x);
                    ASSERT_EQ(Raw(b, y, x), filled) << y << "," << x;
                    if (c.bits <= 8) {
                        ASSERT_EQ(filled, index);
                    } else if (c.bits >= 24 || (c.bits == 16 && c.order != 2)) {
                        ASSERT_EQ(K_GetPixelValue(&b, y, x) & 0xF8F8F8, color);
                    }
                }
            K_FreeBitmap(&b);
        }
    }
}

TEST(KernelFill, RefusesBitmapsWithoutData) {
    BitmapHandle b{};
    EXPECT_EQ(K_FillBitmap(nullptr, 0), RC_NO_BITMAP);
    EXPECT_EQ(K_FillBitmap(&b, 0), RC_NO_BITMAP);
}

TEST(KernelConvert, ConvertsEveryPixelToTheNewDepthAndPalette) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(11);
    const int sources[] = {1, 4, 8, 16, 24, 32};
    const int targets[] = {1, 2, 4, 8, 24, 32};
    for (int from : sources)
        for (int to : targets) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to);
            const int w = 1 + int(rng() % 70), h = 1 + int(rng() % 9);
            BitmapHandle src;
            ASSERT_EQ(K_CreateBitmap(&src, w, h, from, ORDER_BGR, ORIENT_BOTTOM_LEFT), RC_SUCCESS);
            Randomize(src, rng);
            if (from <= 8)
                for (int i = 0; i < src.ColorCount; ++i)
                    src.Palette[i] = RGBQUAD{BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
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
            EXPECT_EQ(dst.BitsPerPixel, to);
            EXPECT_EQ(dst.Orientation, ORIENT_BOTTOM_LEFT);
            EXPECT_EQ(dst.Order, (flags & KCONV_BLUE_FIRST) ? ORDER_BGR : ORDER_RGB);
            EXPECT_EQ(dst.Left, 5); EXPECT_EQ(dst.Top, -3); EXPECT_EQ(dst.Delay, 70u);
            EXPECT_EQ(dst.DisposalMethod, 3u); EXPECT_EQ(dst.TransparentColor, 0x123456u);
            EXPECT_EQ(dst.BackgroundColor, 0x654321u);
            EXPECT_EQ(dst.Flags & (BITMAP_TRANSPARENT | BITMAP_WAIT_INPUT), BITMAP_TRANSPARENT | BITMAP_WAIT_INPUT);
            if (to <= 8) {
                EXPECT_EQ(dst.ColorCount, int(pal.size()));
            }
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    UINT c = K_GetPixelValue(&src, y, x);
                    if (from == 16)  // 5-5-5 widened
                        c = c & 0xF8F8F8;
                    int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
                    if (from == 16)
                        r |= r >> 5, g |= g >> 5, b |= b >> 5;
                    if (to <= 8) {
                        ASSERT_EQ(Raw(dst, y, x), uint64_t(zvtest::NearestEntry(pal.data(), int(pal.size()), r, g, b))) << y << "," << x;
                    } else {
                        ASSERT_EQ(K_GetPixelValue(&dst, y, x), UINT(r | g << 8 | b << 16)) << y << "," << x;
                    }
                }
            K_FreeBitmap(&dst);
            K_FreeBitmap(&src);
        }
}

TEST(KernelConvert, BadInputAndFailedAllocationsLeaveTheOutputAlone) {
    zvtest::LiveBlockCheck check;
    BitmapHandle src, none{};
    ASSERT_EQ(K_CreateBitmap(&src, 40, 7, 8, ORDER_BGR, 0), RC_SUCCESS);
    RGBQUAD two[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    BitmapHandle dst{};
    dst.Width = 1234;
    const BitmapHandle untouched = dst;
    EXPECT_EQ(K_ConvertColorResolution(nullptr, &dst, 1, two, 2, 0x10010), RC_NO_BITMAP);
    EXPECT_EQ(K_ConvertColorResolution(&none, &dst, 1, two, 2, 0x10010), RC_NO_BITMAP);
    EXPECT_EQ(K_ConvertColorResolution(&src, nullptr, 1, two, 2, 0x10010), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_ConvertColorResolution(&src, &dst, 9, two, 2, 0x10010), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_ConvertColorResolution(&src, &dst, 1, nullptr, 2, 0x10010), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_ConvertColorResolution(&src, &dst, 1, two, 2, 0x10011), RC_INVALID_PARAMETER);
    EXPECT_EQ(std::memcmp(&dst, &untouched, sizeof dst), 0);
    zvtest::SweepAllocationFailures(
        [&] { return K_ConvertColorResolution(&src, &dst, 1, two, 2, 0x10010); },
        [&](int rc) {
            EXPECT_EQ(rc, RC_NO_MEMORY);
            EXPECT_EQ(std::memcmp(&dst, &untouched, sizeof dst), 0);
        },
        [&](int rc) {
            ASSERT_EQ(rc, RC_SUCCESS);
            K_FreeBitmap(&dst);
            dst = untouched;
        });
    K_FreeBitmap(&src);
}

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
        if (rng() % 3) {
            runs = RandomRuns(rng, 1 + int(rng() % sh), sw);
            src.Region = MakeRegion(top, runs);
        }
        const int x = int(rng() % (dw + 20)) - 10, y = int(rng() % (dh + 20)) - 10;
        const int w = int(rng() % (sw + 5)), h = int(rng() % (sh + 5));
        const int sx = int(rng() % 7) - 3, sy = int(rng() % 7) - 3;
        ASSERT_EQ(K_CombineBitmap(&dst, x, y, w, h, &src, sx, sy, flags), RC_SUCCESS);
        // Model: block pixel (i, j) comes from source (sy + i, sx + j) and
        // lands on row y + i, or on the rows counted from the bottom when
        // the row orders differ.
        const bool flip = srcO != dstO;
        for (int r = 0; r < dh; ++r)
            for (int c = 0; c < dw; ++c) {
                const int i = flip ? (dh - 1 - r) - y : r - y, j = c - x;
                const int srow = sy + i, scol = sx + j;
                const bool inside = i >= 0 && i < h && j >= 0 && j < w && srow >= 0 && srow < sh && scol >= 0 &&
                                    scol < sw &&
                                    (!(flags & KCOMBINE_SOURCE_RGN) || !src.Region || Selected(runs, top, srow, scol));
                ASSERT_EQ(Raw(dst, r, c), inside ? Raw(src, srow, scol) : Raw(old, r, c)) << r << "," << c;
            }
        K_FreeBitmap(&dst), K_FreeBitmap(&src);
    }
}

TEST(KernelCombine, CopyRectKeepsFormatAndZeroesWhatLiesOutside) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(9);
    for (int round = 0; round < 40; ++round) {
        const int bits = kCombineDepths[round % 7];
        SCOPED_TRACE(testing::Message() << "round " << round);
        BitmapHandle src, out;
        const int sw = 1 + int(rng() % 50), sh = 1 + int(rng() % 12);
        ASSERT_EQ(K_CreateBitmap(&src, sw, sh, bits, ORDER_GRAY, ORIENT_BOTTOM_LEFT), RC_SUCCESS);
        Randomize(src, rng);
        const int x = int(rng() % (sw + 10)) - 5, y = int(rng() % (sh + 6)) - 3;
        const int w = 1 + int(rng() % 30), h = 1 + int(rng() % 10);
        ASSERT_EQ(K_CopyBitmapRect(&src, &out, x, y, w, h), RC_SUCCESS);
        EXPECT_EQ(out.Width, w); EXPECT_EQ(out.Height, h); EXPECT_EQ(out.BitsPerPixel, bits);
        EXPECT_EQ(out.Order, ORDER_GRAY); EXPECT_EQ(out.Orientation, ORIENT_BOTTOM_LEFT);
        if (bits <= 8) {
            EXPECT_EQ(std::memcmp(out.Palette, src.Palette, sizeof(RGBQUAD) << bits), 0);
        }
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                const bool in = y + r >= 0 && y + r < sh && x + c >= 0 && x + c < sw;
                ASSERT_EQ(Raw(out, r, c), in ? Raw(src, y + r, x + c) : 0u) << r << "," << c;
            }
        K_FreeBitmap(&out), K_FreeBitmap(&src);
    }
}

TEST(KernelCombine, RefusesWhatItCannotCopy) {
    zvtest::LiveBlockCheck check;
    BitmapHandle a, b, c, none{};
    ASSERT_EQ(K_CreateBitmap(&a, 4, 4, 8, ORDER_BGR, 0), RC_SUCCESS);
    ASSERT_EQ(K_CreateBitmap(&b, 4, 4, 24, ORDER_BGR, 0), RC_SUCCESS);
    ASSERT_EQ(K_CreateBitmap(&c, 4, 4, 8, ORDER_BGR, ORIENT_RIGHT_TOP), RC_SUCCESS);
    EXPECT_EQ(K_CombineBitmap(&a, 0, 0, 4, 4, &none, 0, 0, 0x30), RC_NO_BITMAP);
    EXPECT_EQ(K_CombineBitmap(&none, 0, 0, 4, 4, &a, 0, 0, 0x30), RC_NO_BITMAP);
    EXPECT_EQ(K_CombineBitmap(&a, 0, 0, 4, 4, &b, 0, 0, 0x30), RC_INVALID_FORMAT);
    EXPECT_EQ(K_CombineBitmap(&a, 0, 0, 4, 4, &c, 0, 0, 0x30), RC_INVALID_FORMAT);
    EXPECT_EQ(K_CombineBitmap(&a, 0, 0, 4, 4, &a, 0, 0, 0x31), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CopyBitmapRect(&none, &b, 0, 0, 1, 1), RC_NO_BITMAP);
    EXPECT_EQ(K_CopyBitmapRect(&a, &b, 0, 0, 0, 1), RC_INVALID_PARAMETER);
    K_FreeBitmap(&a), K_FreeBitmap(&b), K_FreeBitmap(&c);
}

TEST(KernelList, InsertGetSetAndDestroyOwnTheItems) {
    zvtest::LiveBlockCheck check;
    void *list = nullptr;
    ASSERT_EQ(K_CreateBitmapList(&list), RC_SUCCESS);
    // Inserts at the end, the front and the middle: widths 1..12 in order.
    std::vector<int> model;
    for (int i = 0; i < 12; ++i) {
        BitmapHandle b;
        ASSERT_EQ(K_CreateBitmap(&b, i + 1, 2, 8, ORDER_BGR, 0), RC_SUCCESS);
        const int at = i % 3 == 0 ? -1 : i % 3 == 1 ? 0 : int(model.size() / 2);
        ASSERT_EQ(K_InsertBitmapListItem(list, at, &b), RC_SUCCESS);
        model.insert(at < 0 ? model.end() : model.begin() + at, i + 1);
    }
    uint32_t count = 0;
    ASSERT_EQ(K_GetBitmapListCount(list, &count), RC_SUCCESS);
    ASSERT_EQ(count, model.size());
    for (size_t i = 0; i < model.size(); ++i) {
        BitmapHandle b;
        ASSERT_EQ(K_GetBitmapListItem(list, int(i), &b), RC_SUCCESS);
        EXPECT_EQ(b.Width, model[i]);
        b.Delay = 40 + i;
        ASSERT_EQ(K_SetBitmapListItem(list, int(i), &b), RC_SUCCESS);
    }
    BitmapHandle b;
    ASSERT_EQ(K_GetBitmapListItem(list, 3, &b), RC_SUCCESS);
    EXPECT_EQ(b.Delay, 43u);
    EXPECT_EQ(K_GetBitmapListItem(list, int(count), &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetBitmapListItem(list, -1, &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_SetBitmapListItem(list, int(count), &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_InsertBitmapListItem(list, int(count) + 1, &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_InsertBitmapListItem(list, -2, &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_InsertBitmapListItem(nullptr, -1, &b), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_GetBitmapListCount(list, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_CreateBitmapList(nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_DestroyBitmapList(nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(K_DestroyBitmapList(list), RC_SUCCESS);  // frees the twelve bitmaps
}

TEST(KernelList, FailedAllocationsLeaveTheListAsItWas) {
    zvtest::LiveBlockCheck check;
    void *list = nullptr;
    zvtest::SweepAllocationFailures([&] { return K_CreateBitmapList(&list); },
                                    [&](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
                                    [&](int rc) { ASSERT_EQ(rc, RC_SUCCESS); K_DestroyBitmapList(list); });
    ASSERT_EQ(K_CreateBitmapList(&list), RC_SUCCESS);
    BitmapHandle b{};
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(K_InsertBitmapListItem(list, -1, &b), RC_SUCCESS);
    K_SetAllocationFailure(0, 0);  // the ninth needs more room
    EXPECT_EQ(K_InsertBitmapListItem(list, 0, &b), RC_NO_MEMORY);
    K_SetAllocationFailure(-1, 0);
    uint32_t count = 0;
    K_GetBitmapListCount(list, &count);
    EXPECT_EQ(count, 8u);
    K_DestroyBitmapList(list);
}

TEST(KernelRelease, AccessAndDescriptorRelease) {
    zvtest::LiveBlockCheck check;
    BitmapHandle b, copy;
    ASSERT_EQ(K_CreateBitmap(&b, 8, 8, 24, ORDER_BGR, 0), RC_SUCCESS);
    ASSERT_GE(K_BeginAccess(&b), 1);
    ASSERT_GE(K_BeginAccess(&b), 2);
    EXPECT_EQ(K_ReleaseAccess(&b), RC_SUCCESS);
    EXPECT_EQ(b.KernelAccess, 0u);
    EXPECT_EQ(K_ReleaseAccess(nullptr), RC_NO_BITMAP);
    // A copy names b's pixels and holds a region of its own.
    ASSERT_EQ(K_CopyBitmapHandle(&copy, &b), RC_SUCCESS);
    copy.Region = MakeRegion(0, {{0, 3}});
    EXPECT_EQ(K_ReleaseBitmapHandle(&b), RC_INVALID_PARAMETER);
    EXPECT_EQ(b.Flags & BITMAP_ALLOCATED, BITMAP_ALLOCATED);
    EXPECT_EQ(K_ReleaseBitmapHandle(&copy), RC_SUCCESS);
    EXPECT_EQ(copy.Data, nullptr);
    EXPECT_EQ(copy.Region, nullptr);
    EXPECT_EQ(K_ReleaseBitmapHandle(nullptr), RC_NO_BITMAP);
    K_FreeBitmap(&b);
}

}  // namespace
