// Shape regions compared pixel by pixel with the GDI region the same GDI
// call gives, the refusal of corrupt GDI data, and the curve region
// against the region of the same path drawn directly.
#include "region_model.h"

using namespace rgntest;

namespace {

// Whether GetRegionData's rectangles can be trusted: every one inside the
// box and not inverted, bands in order (same top, same bottom; a new top
// at or below the last bottom), ascending without overlap inside a band.
// Written apart from the library's own check.
bool DataIsSane(HRGN h) {
    RECT box;
    GetRgnBox(h, &box);
    const DWORD size = GetRegionData(h, 0, nullptr);
    std::vector<char> buf(size);
    auto *data = reinterpret_cast<RGNDATA *>(buf.data());
    GetRegionData(h, size, data);
    const RECT *r = reinterpret_cast<const RECT *>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        if (r[i].left > r[i].right || r[i].top > r[i].bottom || r[i].left < box.left || r[i].right > box.right ||
            r[i].top < box.top || r[i].bottom > box.bottom)
            return false;
        if (i && r[i].top == r[i - 1].top && (r[i].bottom != r[i - 1].bottom || r[i].left < r[i - 1].right))
            return false;
        if (i && r[i].top != r[i - 1].top && r[i].top < r[i - 1].bottom)
            return false;
    }
    return true;
}

// Sets the shape on a large unclipped bitmap (so nothing is cut) and
// compares with GDI's own pixels; corrupt GDI data must be refused with
// the bitmap's region untouched.
void CheckShape(HRGN gdi, const std::function<int(BitmapHandle *)> &set) {
    BitmapHandle bm = Frame(64, 64, BITMAP_ALLOCATED | BITMAP_RGN_UNCLIPPED);
    RECT keep{1, 2, 3, 4};
    ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &keep, RGN_MODE_SET), RC_SUCCESS);
    const Snapshot before = SnapshotOf(bm.Region);
    const int rc = set(&bm);
    if (!DataIsSane(gdi)) {
        EXPECT_EQ(rc, RC_INVALID_PARAMETER);
        EXPECT_TRUE(SnapshotOf(bm.Region) == before);
    } else {
        ASSERT_EQ(rc, RC_SUCCESS);
        EXPECT_TRUE(Matches(bm.Region, PixelsOfGdi(gdi)));
    }
    DeleteObject(gdi);
    Z_FreeBitmapRgn(&bm);
}

// Ellipses at least 12 wide and rounded rectangles whose corner ellipse
// is at least 12 wide (or none): Wine 8 gives wrong rectangles for
// narrower ones, which the conversion must refuse (CheckShape).
TEST(RgnShapes, EllipsesAndRoundRectsMatchGdi) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(51);
    for (int iter = 0; iter < 300; ++iter) {
        SCOPED_TRACE(iter);
        const int l = static_cast<int>(rng() % 100) - 40, t = static_cast<int>(rng() % 100) - 40;
        RECT r{l, t, l + 12 + static_cast<int>(rng() % 110), t + 1 + static_cast<int>(rng() % 120)};
        CheckShape(CreateEllipticRgnIndirect(&r), [&](BitmapHandle *bm) {
            return Z_SetBitmapRgnEllipse(bm, nullptr, &r, RGN_MODE_SET);
        });
        const int ew = rng() % 4 ? 12 + static_cast<int>(rng() % 40) : 0, eh = static_cast<int>(rng() % 40);
        CheckShape(CreateRoundRectRgn(r.left, r.top, r.right, r.bottom, ew, eh), [&](BitmapHandle *bm) {
            return Z_SetBitmapRgnRoundRect(bm, nullptr, &r, ew, eh, RGN_MODE_SET);
        });
    }
}

// A polygon without area (the first) converts to an empty region.
TEST(RgnShapes, PolygonsInBothFillModesMatchGdi) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(52);
    for (int iter = 0; iter < 300; ++iter) {
        SCOPED_TRACE(iter);
        std::vector<POINT> p(3 + rng() % 10);
        for (auto &q : p)
            q = POINT{static_cast<LONG>(rng() % 150) - 40, static_cast<LONG>(rng() % 150) - 40};
        if (iter == 0)
            p = {{1, 1}, {5, 5}, {9, 9}};
        const int mode = static_cast<int>(rng() % 2), n = static_cast<int>(p.size());
        CheckShape(CreatePolygonRgn(p.data(), n, mode ? ALTERNATE : WINDING), [&](BitmapHandle *bm) {
            return Z_SetBitmapRgnPolygon(bm, nullptr, p.data(), n, mode, RGN_MODE_SET);
        });
    }
}

// ---- curves ------------------------------------------------------------------

// The region GDI makes of the Bezier points drawn directly as a path.
HRGN PathRegion(const std::vector<POINT> &bezier, int fillMode) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetPolyFillMode(dc, fillMode ? ALTERNATE : WINDING);
    BeginPath(dc);
    PolyBezier(dc, bezier.data(), static_cast<DWORD>(bezier.size()));
    EndPath(dc);
    HRGN h = PathToRegion(dc);
    DeleteDC(dc);
    return h;
}

TEST(RgnShapes, CurvesMatchTheSamePathDrawnDirectly) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(53);
    for (int iter = 0; iter < 120; ++iter) {
        SCOPED_TRACE(iter);
        RgnCurve c{};
        c.StructSize = sizeof c;
        c.Type = static_cast<int>(rng() % 2);
        c.FillMode = static_cast<int>(rng() % 2);
        c.Close = static_cast<int>(rng() % 3);
        c.Tension = (rng() % 1001) / 1000.0;
        std::vector<POINT> k(c.Type == 0 ? 1 + 3 * (1 + rng() % 4) : 4 + rng() % 6);
        for (auto &q : k)
            q = POINT{static_cast<LONG>(rng() % 120) - 20, static_cast<LONG>(rng() % 120) - 20};
        c.PointCount = static_cast<int>(k.size());
        c.Points = k.data();
        // The path: the points themselves, or the cardinal spline's.
        const std::vector<POINT> bezier = c.Type == 1 ? CardinalBezier(k, c.Tension, c.Close) : k;
        HRGN direct = PathRegion(bezier, c.FillMode);
        ASSERT_NE(direct, nullptr);
        CheckShape(direct, [&](BitmapHandle *bm) { return Z_SetBitmapRgnCurve(bm, nullptr, &c, RGN_MODE_SET); });
    }
}

}  // namespace
