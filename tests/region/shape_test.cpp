// Shape regions compared pixel by pixel with the GDI region the same GDI
// call gives, the curve region against the region of the same path drawn
// directly, and the curves' Bezier chains.
#include "region_model.h"

#include <cmath>

using namespace rgntest;

namespace {

// Sets the shape on a large unclipped bitmap (so nothing is cut) and
// compares with GDI's own pixels.
void CheckShape(HRGN gdi, const std::function<int(BitmapHandle *)> &set) {
    BitmapHandle bm = Frame(64, 64, BITMAP_ALLOCATED | BITMAP_RGN_UNCLIPPED);
    RECT keep{1, 2, 3, 4};
    ASSERT_EQ(Z_SetBitmapRgnRect(&bm, nullptr, &keep, RGN_MODE_SET), RC_SUCCESS);
    EXPECT_EQ(set(&bm), RC_SUCCESS);
    EXPECT_TRUE(Matches(bm.Region, PixelsOfGdi(gdi)));
    DeleteObject(gdi);
    Z_FreeBitmapRgn(&bm);
}

// Ellipses at least 12 wide and rounded rectangles whose corner ellipse
// is at least 12 wide (or none): Wine 8 gives wrong rectangles for
// narrower ones, which the conversion refuses.
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

// ---- curve regions -----------------------------------------------------------

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
        // One curve in four is wrong in one member: refused, region kept.
        if (iter % 4 == 3) {
            RgnCurve bad = c;
            switch (rng() % 5) {
            case 0: bad.StructSize -= 4; break;
            case 1: bad.FillMode = 2; break;
            case 2: bad.Points = nullptr; break;
            case 3: bad.Type == 0 ? void(bad.PointCount = 5 + static_cast<int>(rng() % 2) + 3 * static_cast<int>(rng() % 2))
                                  : void(bad.Tension = rng() % 2 ? 1.5 : -0.1); break;
            default: bad.Type == 0 ? void(bad.Type = 2 + static_cast<int>(rng() % 2)) : void(bad.Close = 3); break;
            }
            BitmapHandle bm = Frame(64, 64);
            EXPECT_EQ(Z_SetBitmapRgnCurve(&bm, nullptr, &bad, RGN_MODE_SET), RC_INVALID_PARAMETER);
            EXPECT_EQ(bm.Region, nullptr);
            continue;
        }
        // The path: the points themselves, or the cardinal spline's.
        const std::vector<POINT> bezier = c.Type == 1 ? CardinalBezier(k, c.Tension, c.Close) : k;
        HRGN direct = PathRegion(bezier, c.FillMode);
        ASSERT_NE(direct, nullptr);
        CheckShape(direct, [&](BitmapHandle *bm) { return Z_SetBitmapRgnCurve(bm, nullptr, &c, RGN_MODE_SET); });
    }
}

// ---- curves to Bezier chains -----------------------------------------------

// Curves to Bezier chains: the cardinal spline against its formula, and
// the interpolating splines against the properties that define them (through every knot, first and
// second derivatives continuous, natural or periodic ends).

struct Pt {
    double x, y;
};

RgnCurve CurveOf(int type, int close, std::vector<POINT> &pts, double tension = 0.5) {
    RgnCurve c{};
    c.StructSize = sizeof(RgnCurve);
    c.Type = type;
    c.PointCount = static_cast<INT32>(pts.size());
    c.Points = pts.data();
    c.Tension = tension;
    c.Close = close;
    return c;
}

std::vector<POINT> RandomKnots(std::mt19937 &rng, int n) {
    std::vector<POINT> p(n);
    for (auto &q : p)
        q = POINT{static_cast<LONG>(rng() % 2000) - 1000, static_cast<LONG>(rng() % 2000) - 1000};
    return p;
}

TEST(Curves, CardinalAgainstItsFormula) {
    std::mt19937 rng(41);
    for (int iter = 0; iter < 300; ++iter) {
        const int close = static_cast<int>(rng() % 3);
        std::vector<POINT> k = RandomKnots(rng, 4 + static_cast<int>(rng() % 8));
        const double t = iter % 5 == 0 ? 0.0 : (rng() % 1001) / 1000.0;
        RgnCurve c = CurveOf(1, close, k, t);
        UINT count = 0;
        ASSERT_EQ(Z_CurveToBezier(&c, &count, nullptr), RC_SUCCESS);
        std::vector<POINT> out(count);
        ASSERT_EQ(Z_CurveToBezier(&c, &count, out.data()), RC_SUCCESS);
        const std::vector<POINT> want = CardinalBezier(k, t, close);
        ASSERT_EQ(out.size(), want.size());
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_TRUE(out[i].x == want[i].x && out[i].y == want[i].y) << iter << " point " << i;
        // The same curve wrong in one member is refused before anything is written.
        RgnCurve bad = c;
        switch (iter % 4) {
        case 0: bad.Close = rng() % 2 ? 3 : -1; break;
        case 1: bad.Type = rng() % 2 ? 0 : 3; break;
        case 2: bad.PointCount = close ? 2 : 3; break;
        default: bad.Points = nullptr; break;
        }
        const POINT first = out[0];
        EXPECT_EQ(Z_CurveToBezier(&bad, &count, out.data()), RC_INVALID_PARAMETER);
        EXPECT_TRUE(count == want.size() && out[0].x == first.x && out[0].y == first.y);
    }
}

// First and second derivatives at the start (a = 3 s) and end (a = 3 s + 1)
// of segment s of a Bezier chain, from its exact points.
Pt D1(const std::vector<Pt> &p, size_t a) { return Pt{3 * (p[a + 1].x - p[a].x), 3 * (p[a + 1].y - p[a].y)}; }
Pt D2(const std::vector<Pt> &p, size_t a) {
    return Pt{6 * (p[a].x - 2 * p[a + 1].x + p[a + 2].x), 6 * (p[a].y - 2 * p[a + 1].y + p[a + 2].y)};
}

void ExpectNear(Pt a, Pt b, const char *what, size_t where) {
    const double tol = 1e-9 * (1 + std::fabs(a.x) + std::fabs(a.y));
    EXPECT_TRUE(std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol) << what << " at join " << where;
}

TEST(Curves, InterpolatingSplinesAreSmoothThroughEveryKnot) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(42);
    for (int iter = 0; iter < 200; ++iter) {
        const int close = iter % 2;
        std::vector<POINT> k = RandomKnots(rng, 3 + static_cast<int>(rng() % 12));
        const size_t n = k.size(), segs = close ? n : n - 1;
        RgnCurve curve = CurveOf(2, close, k);
        UINT points = 0;
        ASSERT_EQ(Z_CurveToBezier(&curve, &points, nullptr), RC_SUCCESS);
        EXPECT_EQ(points, 3 * segs + 1);
        std::vector<double> xy(2 * (3 * n + 1));
        uint32_t count = 0;
        ASSERT_EQ(zv::SplineToBezierExact(xy.data(), &count, k.data(), static_cast<int>(n), close), RC_SUCCESS);
        std::vector<Pt> p;
        for (uint32_t i = 0; i < count; ++i)
            p.push_back(Pt{xy[2 * i], xy[2 * i + 1]});
        ASSERT_EQ(p.size(), 3 * segs + 1);
        for (size_t s = 0; s <= segs; ++s)
            ExpectNear(p[3 * s], Pt{double(k[s % n].x), double(k[s % n].y)}, "knot", s);
        for (size_t s = 1; s < segs + close; ++s) {  // closed: the seam too
            ExpectNear(D1(p, 3 * s - 1), D1(p, 3 * (s % segs)), "first derivative", s);
            ExpectNear(D2(p, 3 * s - 2), D2(p, 3 * (s % segs)), "second derivative", s);
        }
        if (!close) {  // natural ends
            ExpectNear(D2(p, 0), Pt{0, 0}, "second derivative at the start", 0);
            ExpectNear(D2(p, 3 * segs - 2), Pt{0, 0}, "second derivative at the end", segs);
        }
    }
    // The rounded points of collinear knots lie on the line, evenly.
    std::vector<POINT> k{{0, 0}, {30, 60}, {60, 120}};
    RgnCurve c = CurveOf(2, 0, k);
    POINT out[7];
    UINT count = 0;
    ASSERT_EQ(Z_CurveToBezier(&c, &count, out), RC_SUCCESS);
    ASSERT_EQ(count, 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(out[i].x == 10 * i && out[i].y == 20 * i) << i;
    c.Close = 2;  // counted, but not converted
    EXPECT_TRUE(Z_CurveToBezier(&c, &count, nullptr) == RC_SUCCESS && count == 7);
    EXPECT_EQ(Z_CurveToBezier(&c, &count, out), RC_INVALID_PARAMETER);
}

}  // namespace
