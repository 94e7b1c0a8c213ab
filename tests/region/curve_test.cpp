// Curves to Bezier chains: the counts table, the
// cardinal spline against its formula, and the interpolating splines
// against the properties that define them (through every knot, first and
// second derivatives continuous, natural or periodic ends).
#include "region_model.h"

#include <cmath>

using namespace rgntest;

namespace {

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

TEST(Curves, CountsTable) {
    std::vector<POINT> pts(10);
    struct Row {
        int type, close;
        int64_t a, b;  // count = a n + b
    };
    for (const Row &r : {Row{1, 0, 3, -8}, Row{1, 1, 3, 1}, Row{1, 2, 3, -2}, Row{2, 0, 3, -2}, Row{2, 1, 3, 1},
                         Row{2, 2, 3, -2}}) {
        for (int n : {4, 5, 9, 10}) {
            std::vector<POINT> p(pts.begin(), pts.begin() + n);
            RgnCurve c = CurveOf(r.type, r.close, p);
            UINT count = 0, written = 0;
            ASSERT_EQ(Z_CurveToBezier(&c, &count, nullptr), RC_SUCCESS);
            EXPECT_EQ(count, static_cast<UINT>(r.a * n + r.b)) << r.type << "/" << r.close << " n " << n;
            std::vector<POINT> out(count + 4);
            const bool refused = r.type == 2 && r.close == 2;  // counted, but not converted
            ASSERT_EQ(Z_CurveToBezier(&c, &written, out.data()), refused ? RC_INVALID_PARAMETER : RC_SUCCESS);
            EXPECT_TRUE(refused || written == count);
        }
    }
#ifndef _WIN64
    static_assert(sizeof(RgnCurve) == 36, "the 32-bit record is 36 bytes");
#endif
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
        const std::vector<POINT> k = RandomKnots(rng, 3 + static_cast<int>(rng() % 12));
        const size_t n = k.size(), segs = close ? n : n - 1;
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
}

}  // namespace
