// The strip painter's plan on its own: the strip format and colour table
// for each device class and display mode, rows per strip within the
// 262144-byte strip budget, and walks that take every strip pixel to the
// source pixel the destination pixel shows, for every orientation.  The
// expectations are the painter's rules, not the planner's code.
#include "paint/reference.h"

#include "paint/fixed_palettes.h"
#include "paint/strip_engine.h"

#include <climits>
#include <cstring>

using namespace zvtest;

namespace {


zv::StripJob JobFor(HDC dc, BitmapHandle &b, const RECT &src, const RECT &dst, const RECT &clipDst, int deviceBits,
                    int kind) {
    zv::StripJob job{};
    job.hDC = dc;
    job.bitmap = &b;
    job.src = src;
    job.clipSrc = zv::Intersect(src, RECT{0, 0, DisplayW(b), DisplayH(b)});
    job.dst = dst;
    job.clipDst = zv::Intersect(dst, clipDst);
    job.deviceBits = deviceBits;
    job.kind = kind;
    return job;
}

// Strip depth of the expanders by source depth (gray for 12 and 16 bits).
int ExpandedBits(int bits, bool gray) {
    switch (bits) {
    case 2: case 3: return 4;
    case 5: case 6: case 7: return 8;
    case 12: case 16: return gray ? 8 : 24;
    default: return 24;
    }
}

// A paint in tiles: turned, its strips at least 64 columns (or all of
// them), bands of a multiple of 8 rows from where the strip rows start
// (the top for 270, the bottom for 90) that cover the painted rectangle
// once, each band's strips as wide as the first's and its buffers within
// the plan's.
void ExpectBandsCoverThePaint(const zv::StripJob &job, const zv::StripPlan &p, const RECT &whole) {
    ASSERT_TRUE(p.degrees == 90 || p.degrees == 270);
    EXPECT_TRUE(p.whole.left == whole.left && p.whole.top == whole.top && p.whole.right == whole.right &&
                p.whole.bottom == whole.bottom);
    EXPECT_EQ(p.tileRows % 8, 0);
    EXPECT_GE(p.rowsPerStrip, std::min(p.m, 64));
    int covered = 0;
    for (int k = 0; k < zv::TileCount(p); ++k) {
        zv::StripPlan band;
        zv::PlanTileBand(job, p, k, &band);
        const int height = band.paint.bottom - band.paint.top;
        const int from = p.degrees == 270 ? band.paint.top - whole.top : whole.bottom - band.paint.bottom;
        EXPECT_EQ(from, covered) << "band " << k;
        EXPECT_TRUE(height == p.tileRows || (height < p.tileRows && k == zv::TileCount(p) - 1)) << "band " << k;
        EXPECT_EQ(band.paint.left, whole.left);
        EXPECT_EQ(band.paint.right, whole.right);
        EXPECT_EQ(band.n, height);
        EXPECT_EQ(band.rowsPerStrip, p.rowsPerStrip);
        EXPECT_TRUE(band.readBytes <= p.readBytes && band.stretchedBytes <= p.stretchedBytes &&
                    band.narrowBytes <= p.narrowBytes && band.stripBytes <= p.stripBytes && band.outBytes <= p.outBytes);
        covered += height;
    }
    EXPECT_EQ(covered, whole.bottom - whole.top);
}

bool SameColors(const RGBQUAD *a, const RGBQUAD *b, int n) { return std::memcmp(a, b, sizeof(RGBQUAD) * n) == 0; }

}  // namespace

TEST(StripPlan, FormatAndColourTableFollowTheDeviceClassKindAndMode) {
    Dib24 target(64, 64);  // narrow strips: what the plan decides is what GDI gets
    std::mt19937 rng(23);
    const UINT modes[] = {0, DISP_PALETTE_INDICES, DISP_CUBE_PALETTE, DISP_ORDERED_DITHER, DISP_SCALE_FILTER,
                          DISP_SCALE_FILTER_ALT | DISP_CUBE_PALETTE};
    for (int bits : {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 24, 32, 48, 64})
        for (int kind : {0, 1, 2})
            for (int deviceBits : {1, 4, 8, 24})
                for (UINT mode : modes) {
                    BitmapHandle b{};
                    const int order = (bits == 12 || bits == 16) && rng() % 2 ? ORDER_GRAY : ORDER_BGR;
                    MakeRandomBitmap(b, rng, 9, 7, bits, order, 0);
                    const zv::StripJob job = JobFor(target.dc, b, RECT{0, 0, 9, 7}, RECT{0, 0, 20, 15}, kNoClip,
                                                    deviceBits, kind);
                    zv::StripPlan p;
                    zv::PlanStrips(job, mode, &p);
                    SCOPED_TRACE(std::to_string(bits) + " bits, kind " + std::to_string(kind) + ", device " +
                                 std::to_string(deviceBits) + ", mode " + std::to_string(mode));
                    ASSERT_EQ(p.route, zv::STRIPS_ROWS);
                    const bool filter = (mode & (DISP_SCALE_FILTER | DISP_SCALE_FILTER_ALT)) != 0;
                    const bool converted = kind == 2 && p.rowMode == zv::STRIP_CONVERT;
                    int want = bits;
                    if (converted)
                        want = std::min(deviceBits, 8);  // the device's colours
                    else if (kind == 1 && bits != 24)
                        want = ExpandedBits(bits, order == ORDER_GRAY);
                    EXPECT_EQ(p.rowMode, converted ? zv::STRIP_CONVERT
                                         : want == bits || kind != 1 ? zv::STRIP_COPY : zv::STRIP_EXPAND);
                    // Interpolated palette rows for a true-colour device
                    // become 24-bit (random palettes are no gray ramps).
                    if (filter && want <= 8 && bits <= 8 && deviceBits > 8)
                        want = 24;
                    if (converted && want <= 8) {  // through the device's fixed table
                        const RGBQUAD *fixed = want == 1                    ? zv::MonoPalette.data()
                                               : want == 4                  ? zv::Vga16Palette.data()
                                               : (mode & DISP_CUBE_PALETTE) ? zv::CubePalette.data()
                                                                            : zv::Rgb332Palette.data();
                        EXPECT_EQ(p.colorCount, 1 << want);
                        EXPECT_TRUE(SameColors(p.colors, fixed, 1 << want));
                    } else if (!converted && kind == 0 && want <= 8) {  // the bitmap's colours, no paint table
                        EXPECT_EQ(p.colorCount, b.ColorCount);
                        EXPECT_TRUE(SameColors(p.colors, b.Palette, b.ColorCount));
                    }
                    EXPECT_EQ(p.stripBits, want);
                    EXPECT_EQ(p.filter, filter);
                    EXPECT_EQ(p.layoutBits, p.stripBits);
                    const zv::DibColorSource table = p.stripBits > 8                 ? zv::DIB_NO_TABLE
                                                     : mode & DISP_PALETTE_INDICES ? zv::DIB_IDENTITY
                                                                                   : zv::DIB_GIVEN_COLORS;
                    EXPECT_EQ(p.tableSource, table);
                    EXPECT_EQ(p.diffused, p.rowMode == zv::STRIP_CONVERT && !filter && !(mode & DISP_ORDERED_DITHER));
                    EXPECT_EQ(p.errorEntries, p.diffused ? size_t(p.n) : 0u);
                    K_FreeBitmap(&b);
                }
}

TEST(StripPlan, RowsPerStripKeepTheStripBudget) {
    Dib24 target(64, 64);
    std::mt19937 rng(29);
    // The defined case: a 10000-pixel-wide 24-bit destination has strips
    // of floor(262144 / 30000) = 8 rows.
    {
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 100, 40, 24, ORDER_BGR, 2);
        zv::StripPlan p;
        zv::PlanStrips(JobFor(target.dc, b, RECT{0, 0, 100, 40}, RECT{0, 0, 10000, 64}, kNoClip, 24, 0), 0, &p);
        EXPECT_EQ(p.rowsPerStrip, 8);
        EXPECT_GE(p.stripBytes, size_t(9) * 30000);  // a spare row beside the strip
        K_FreeBitmap(&b);
    }
    for (int round = 0; round < 400; ++round) {
        const int bits = std::array<int, 6>{1, 4, 8, 16, 24, 32}[rng() % 6];
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 1 + int(rng() % 60), 1 + int(rng() % 60), bits, ORDER_BGR,
                         kOrientations[rng() % 8]);
        const int w = DisplayW(b), h = DisplayH(b);
        const RECT dst{0, 0, 1 + int(rng() % 30000), 1 + int(rng() % 3000)};
        const int kind = int(rng() % 3), deviceBits = std::array<int, 4>{1, 4, 8, 24}[rng() % 4];
        const UINT mode = rng() % 2 ? DISP_ORDERED_DITHER : 0;
        zv::StripPlan p;
        zv::PlanStrips(JobFor(target.dc, b, RECT{0, 0, w, h}, dst, kNoClip, deviceBits, kind), mode, &p);
        SCOPED_TRACE(std::to_string(bits) + " bits, orientation " + std::to_string(b.Orientation) + ", dst " +
                     std::to_string(dst.right) + "x" + std::to_string(dst.bottom));
        ASSERT_EQ(p.route, zv::STRIPS_ROWS);
        const bool columns = p.degrees == 90 || p.degrees == 270;
        EXPECT_EQ(p.n, columns ? std::min(p.tileRows ? p.tileRows : INT_MAX, int(dst.bottom)) : dst.right);
        EXPECT_EQ(p.m, columns ? dst.right : dst.bottom);
        if (p.tileRows)
            ExpectBandsCoverThePaint(JobFor(target.dc, b, RECT{0, 0, w, h}, dst, kNoClip, deviceBits, kind), p, dst);
        EXPECT_EQ(p.stripRowBytes, ((p.n * p.stripBits + 31) / 32) * 4);
        EXPECT_GE(p.rowsPerStrip, 1);
        EXPECT_LE(p.rowsPerStrip, p.m);
        // The strip, the error row and the turned copy of the strip share
        // the budget; one row is painted even when it alone is larger.
        const size_t used = size_t(p.rowsPerStrip) * p.stripRowBytes * (p.degrees == 0 ? 1 : 2) + p.errorEntries * 12;
        if (p.rowsPerStrip > 1) {
            EXPECT_LE(used, size_t(zv::kStripBytes));
        }
        if (!p.wide) {
            EXPECT_GE(p.stripBytes, size_t(p.rowsPerStrip + 1) * p.stripRowBytes);
        }
        // The turned strip: rowsPerStrip columns of n rows, or the strip mirrored.
        const size_t turned = columns ? size_t((p.rowsPerStrip * p.layoutBits + 31) / 32 * 4) * p.n
                                      : size_t(p.rowsPerStrip) * p.stripRowBytes;
        EXPECT_GE(p.outBytes, p.degrees ? turned : 0);
        K_FreeBitmap(&b);
    }
}

TEST(StripPlan, WalksTakeEveryStripPixelToTheSourcePixelItShows) {
    Dib24 target(64, 64);
    std::mt19937 rng(31);
    for (int round = 0; round < 300; ++round) {
        BitmapHandle b{};
        MakeRandomBitmap(b, rng, 1 + int(rng() % 40), 1 + int(rng() % 40), 8, ORDER_BGR, kOrientations[round % 8]);
        const int w = DisplayW(b), h = DisplayH(b);
        const RECT src = rng() % 3 ? RandomRect(rng, w, h) : RECT{0, 0, w, h};
        const int sw = src.right - src.left, sh = src.bottom - src.top;
        const int x0 = int(rng() % 40) - 20, y0 = int(rng() % 40) - 20;
        const RECT dst{x0, y0, x0 + 1 + int(rng() % 90), y0 + 1 + int(rng() % 90)};
        const int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
        const RECT clipDst = rng() % 2 ? RandomRect(rng, 80, 80) : kNoClip;
        zv::StripPlan p;
        zv::PlanStrips(JobFor(target.dc, b, src, dst, clipDst, 24, 0), 0, &p);
        if (p.route == zv::STRIPS_NOTHING) {
            K_FreeBitmap(&b);
            continue;
        }
        SCOPED_TRACE("round " + std::to_string(round) + " orientation " + std::to_string(b.Orientation));
        // Strip row t is destination row paint.bottom - 1 - t (rotations 0
        // and 180) or destination column paint.left + t (90, 270); strip
        // pixel k runs along the other axis in increasing stored columns,
        // which the turn sends right (0), left (180), up (90) or down (270).
        zv::Walk line = p.walks.line;
        for (int t = 0; t < p.m; ++t, line.Step()) {
            const int row = zv::StoredRow(line.pos, b.Height, p.degrees, p.flip);
            zv::Walk fill = p.walks.fill;
            for (int k = 0; k < p.n; ++k, fill.Step()) {
                int x, y;
                switch (p.degrees) {
                case 0: x = p.paint.left + k, y = p.paint.bottom - 1 - t; break;
                case 180: x = p.paint.right - 1 - k, y = p.paint.bottom - 1 - t; break;
                case 90: x = p.paint.left + t, y = p.paint.bottom - 1 - k; break;
                default: x = p.paint.left + t, y = p.paint.top + k; break;
                }
                const int X = src.left + int(int64_t(x - dst.left) * sw / dw);
                const int Y = src.bottom - 1 - int(int64_t(dst.bottom - 1 - y) * sh / dh);
                ASSERT_TRUE(X >= 0 && X < w && Y >= 0 && Y < h) << "painted pixel outside the image";
                int c, r;
                DisplayToStored(b.Orientation, b.Width, b.Height, X, Y, &c, &r);
                ASSERT_EQ(row, r) << "strip row " << t << " pixel " << k;
                ASSERT_EQ(fill.pos, c) << "strip row " << t << " pixel " << k;
            }
        }
        K_FreeBitmap(&b);
    }
}
