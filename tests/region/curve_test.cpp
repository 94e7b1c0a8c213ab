// Curves to Bezier chains: the counts table, the cardinal spline against
// its formula, and the interpolating splines against the properties that
// define them (through every knot, first and second derivatives
// continuous, natural or periodic ends).
#include "region_model.h"

#include <cmath>

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
            UINT count = 0;
            ASSERT_EQ(Z_CurveToBezier(&c, &count, nullptr), RC_SUCCESS);
            EXPECT_EQ(count, static_cast<UINT>(r.a * n + r.b)) << r.type << "/" << r.close << " n " << n;
            if (r.type == 2 && r.close == 2) {
                std::vector<POINT> out(count + 4);
                EXPECT_EQ(Z_CurveToBezier(&c, &count, out.data()), RC_INVALID_PARAMETER);
                continue;
            }
            std::vector<POINT> out(count);
            UINT written = 0;
            ASSERT_EQ(Z_CurveToBezier(&c, &written, out.data()), RC_SUCCESS);
            EXPECT_EQ(written, count);
        }
    }
}

TEST(Curves, RefusedRecords) {
    std::vector<POINT> p(6);
    UINT n;
    RgnCurve c = CurveOf(0, 0, p);
    EXPECT_EQ(Z_CurveToBezier(&c, &n, nullptr), RC_INVALID_PARAMETER);  // type 0 needs no conversion
    c = CurveOf(1, 3, p);
    EXPECT_EQ(Z_CurveToBezier(&c, &n, nullptr), RC_INVALID_PARAMETER);
    c = CurveOf(1, 0, p);
    c.StructSize = 36 + 100;
    EXPECT_EQ(Z_CurveToBezier(&c, &n, nullptr), RC_INVALID_PARAMETER);
    c = CurveOf(1, 0, p);
    EXPECT_EQ(Z_CurveToBezier(nullptr, &n, nullptr), RC_INVALID_PARAMETER);
    EXPECT_EQ(Z_CurveToBezier(&c, nullptr, nullptr), RC_INVALID_PARAMETER);
    c.PointCount = 3;  // open type 1 needs four
    EXPECT_EQ(Z_CurveToBezier(&c, &n, nullptr), RC_INVALID_PARAMETER);
    c = CurveOf(2, 1, p);
    c.PointCount = 2;  // closed needs three
    EXPECT_EQ(Z_CurveToBezier(&c, &n, nullptr), RC_INVALID_PARAMETER);
#ifndef _WIN64
    static_assert(sizeof(RgnCurve) == 36, "the 32-bit record is 36 bytes");
#endif
}

// Cardinal spline from the stated control points, with the stated knot
// order for each Close.
std::vector<POINT> CardinalModel(const std::vector<POINT> &k, double t, int close) {
    const int n = static_cast<int>(k.size());
    const int s = close == 2 ? n - 1 : 0;
    const int segs = close == 0 ? n - 3 : close == 1 ? n : n - 1;
    auto at = [&](int i) { return k[i % n]; };
    std::vector<POINT> out{at(s + 1)};
    for (int j = 0; j < segs; ++j) {
        const POINT p0 = at(s + j), p1 = at(s + j + 1), p2 = at(s + j + 2), p3 = at(s + j + 3);
        out.push_back(POINT{static_cast<LONG>(p1.x + t / 3 * (p2.x - p0.x)), static_cast<LONG>(p1.y + t / 3 * (p2.y - p0.y))});
        out.push_back(POINT{static_cast<LONG>(p2.x - t / 3 * (p3.x - p1.x)), static_cast<LONG>(p2.y - t / 3 * (p3.y - p1.y))});
        out.push_back(p2);
    }
    return out;
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
        const std::vector<POINT> want = CardinalModel(k, t, close);
        ASSERT_EQ(out.size(), want.size());
        for (size_t i = 0; i < out.size(); ++i) {
            ASSERT_EQ(out[i].x, want[i].x) << iter << " point " << i;
            ASSERT_EQ(out[i].y, want[i].y) << iter << " point " << i;
        }
        if (t == 0.0) {
            // The knot polygon: each control point equals its segment's end.
            for (size_t i = 1; i + 2 < out.size(); i += 3) {
                EXPECT_TRUE(out[i].x == out[i - 1].x && out[i].y == out[i - 1].y);
                EXPECT_TRUE(out[i + 1].x == out[i + 2].x && out[i + 1].y == out[i + 2].y);
            }
        }
    }
    // Four knots, open: knot 1, two controls, knot 2.
    std::vector<POINT> k{{0, 0}, {30, 0}, {60, 30}, {60, 90}};
    RgnCurve c = CurveOf(1, 0, k, 0.5);
    POINT out[4];
    UINT count = 0;
    ASSERT_EQ(Z_CurveToBezier(&c, &count, out), RC_SUCCESS);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(out[0].x, 30);
    EXPECT_EQ(out[1].x, 40);  // 30 + 0.5 / 3 x 60
    EXPECT_EQ(out[1].y, 5);
    EXPECT_EQ(out[2].x, 55);  // 60 - 0.5 / 3 x 30
    EXPECT_EQ(out[2].y, 15);
    EXPECT_EQ(out[3].y, 30);
}

// Derivatives of a Bezier chain at the joins, from its exact points.
struct Chain {
    std::vector<Pt> p;
    Pt At(size_t i) const { return p[i]; }
    size_t Segments() const { return (p.size() - 1) / 3; }
    Pt D1Start(size_t s) const { return Pt{3 * (p[3 * s + 1].x - p[3 * s].x), 3 * (p[3 * s + 1].y - p[3 * s].y)}; }
    Pt D1End(size_t s) const { return Pt{3 * (p[3 * s + 3].x - p[3 * s + 2].x), 3 * (p[3 * s + 3].y - p[3 * s + 2].y)}; }
    Pt D2Start(size_t s) const {
        return Pt{6 * (p[3 * s].x - 2 * p[3 * s + 1].x + p[3 * s + 2].x), 6 * (p[3 * s].y - 2 * p[3 * s + 1].y + p[3 * s + 2].y)};
    }
    Pt D2End(size_t s) const {
        return Pt{6 * (p[3 * s + 1].x - 2 * p[3 * s + 2].x + p[3 * s + 3].x),
                  6 * (p[3 * s + 1].y - 2 * p[3 * s + 2].y + p[3 * s + 3].y)};
    }
};

Chain ExactSpline(const std::vector<POINT> &k, int close) {
    std::vector<double> xy(2 * (3 * k.size() + 1));
    uint32_t count = 0;
    EXPECT_EQ(zv::SplineToBezierExact(xy.data(), &count, k.data(), static_cast<int>(k.size()), close), RC_SUCCESS);
    Chain c;
    for (uint32_t i = 0; i < count; ++i)
        c.p.push_back(Pt{xy[2 * i], xy[2 * i + 1]});
    return c;
}

void ExpectNear(Pt a, Pt b, const char *what, size_t where) {
    const double tol = 1e-9 * (1 + std::fabs(a.x) + std::fabs(a.y));
    EXPECT_NEAR(a.x, b.x, tol) << what << " at join " << where;
    EXPECT_NEAR(a.y, b.y, tol) << what << " at join " << where;
}

TEST(Curves, InterpolatingSplinesAreSmoothThroughEveryKnot) {
    zvtest::LiveBlockCheck check;
    std::mt19937 rng(42);
    for (int iter = 0; iter < 200; ++iter) {
        const int close = iter % 2;
        const std::vector<POINT> k = RandomKnots(rng, 3 + static_cast<int>(rng() % 12));
        const Chain c = ExactSpline(k, close);
        const size_t n = k.size(), segs = close ? n : n - 1;
        ASSERT_EQ(c.Segments(), segs);
        for (size_t s = 0; s < segs; ++s) {
            ExpectNear(c.At(3 * s), Pt{double(k[s].x), double(k[s].y)}, "knot", s);
            ExpectNear(c.At(3 * s + 3), Pt{double(k[(s + 1) % n].x), double(k[(s + 1) % n].y)}, "knot", s + 1);
        }
        for (size_t s = 0; s + 1 < segs; ++s) {
            ExpectNear(c.D1End(s), c.D1Start(s + 1), "first derivative", s + 1);
            ExpectNear(c.D2End(s), c.D2Start(s + 1), "second derivative", s + 1);
        }
        if (close) {  // the seam closes smoothly
            ExpectNear(c.D1End(segs - 1), c.D1Start(0), "first derivative at the seam", 0);
            ExpectNear(c.D2End(segs - 1), c.D2Start(0), "second derivative at the seam", 0);
        } else {  // natural ends
            ExpectNear(c.D2Start(0), Pt{0, 0}, "second derivative at the start", 0);
            ExpectNear(c.D2End(segs - 1), Pt{0, 0}, "second derivative at the end", segs);
        }
    }
}

TEST(Curves, CollinearKnotsGiveStraightSegments) {
    std::vector<POINT> k{{0, 0}, {30, 60}, {60, 120}};
    RgnCurve c = CurveOf(2, 0, k);
    POINT out[7];
    UINT count = 0;
    ASSERT_EQ(Z_CurveToBezier(&c, &count, out), RC_SUCCESS);
    ASSERT_EQ(count, 7u);
    const LONG xs[7] = {0, 10, 20, 30, 40, 50, 60};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(out[i].x, xs[i]) << i;
        EXPECT_EQ(out[i].y, 2 * xs[i]) << i;
    }
}

TEST(Curves, TemporaryArraysAreReleasedOnEveryPath) {
    std::mt19937 rng(43);
    std::vector<POINT> k = RandomKnots(rng, 9);
    for (int close : {0, 1}) {
        RgnCurve c = CurveOf(2, close, k);
        std::vector<POINT> out(3 * 9 + 1);
        UINT count = 0;
        zvtest::SweepAllocationFailures([&] { return Z_CurveToBezier(&c, &count, out.data()); },
                                        [](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
                                        [](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
    }
}

}  // namespace
