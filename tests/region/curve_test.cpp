// Curves to Bezier chains: the counts table and the records refused, the
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
}

// Records refused by the conversion and by the curve region (kAny: not
// this call's concern).
TEST(Curves, RefusedRecords) {
    zvtest::LiveBlockCheck check;
    constexpr int kOk = RC_SUCCESS, kBad = RC_INVALID_PARAMETER, kAny = 1;
    struct Row {
        int type, close, n;
        double tension;
        int fill, size, toBezier, toRegion;
    } const rows[] = {
        {0, 0, 4, .5, 0, 0, kBad, kOk},  {0, 0, 7, .5, 0, 0, kBad, kOk},   {0, 0, 5, .5, 0, 0, kBad, kBad},
        {0, 0, 6, .5, 0, 0, kBad, kBad}, {1, 0, 6, 1, 0, 0, kOk, kOk},      {1, 0, 6, 0, 0, 0, kOk, kOk},
        {1, 0, 6, 1.5, 0, 0, kAny, kBad}, {1, 0, 6, -.1, 0, 0, kAny, kBad}, {1, 3, 6, .5, 0, 0, kBad, kAny},
        {1, 0, 3, .5, 0, 0, kBad, kAny}, {2, 1, 2, .5, 0, 0, kBad, kAny},   {2, 0, 6, .5, 0, 0, kOk, kBad},
        {1, 0, 6, .5, 2, 0, kAny, kBad}, {1, 0, 6, .5, 0, 136, kBad, kAny}, {1, 0, 6, .5, 0, 12, kAny, kBad},
    };
    std::vector<POINT> k(10);
    for (int i = 0; i < 10; ++i)
        k[i] = POINT{5 + 4 * i, 5 + (i % 3) * 9};
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << ", close " << r.close << ", " << r.n << " points");
        std::vector<POINT> p(k.begin(), k.begin() + r.n);
        RgnCurve c = CurveOf(r.type, r.close, p, r.tension);
        c.FillMode = r.fill;
        c.StructSize = r.size ? r.size : c.StructSize;
        UINT count = 0;
        EXPECT_TRUE(r.toBezier == kAny || Z_CurveToBezier(&c, &count, nullptr) == r.toBezier) << "to Bezier";
        BitmapHandle bm = Frame(50, 50);
        EXPECT_TRUE(r.toRegion == kAny || Z_SetBitmapRgnCurve(&bm, nullptr, &c, RGN_MODE_SET) == r.toRegion) << "region";
        Z_FreeBitmapRgn(&bm);
    }
    std::vector<POINT> p(k.begin(), k.begin() + 6);
    RgnCurve c = CurveOf(1, 0, p);
    c.Points = nullptr;
    BitmapHandle bm = Frame(50, 50);
    EXPECT_EQ(Z_SetBitmapRgnCurve(&bm, nullptr, &c, RGN_MODE_SET), kBad);
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

// Derivatives of a Bezier chain at the joins, from its exact points.
struct Chain {
    std::vector<Pt> p;
    size_t Segments() const { return (p.size() - 1) / 3; }
    Pt D1(size_t a, size_t b) const { return Pt{3 * (p[b].x - p[a].x), 3 * (p[b].y - p[a].y)}; }
    Pt D2(size_t a) const { return Pt{6 * (p[a].x - 2 * p[a + 1].x + p[a + 2].x), 6 * (p[a].y - 2 * p[a + 1].y + p[a + 2].y)}; }
    Pt D1Start(size_t s) const { return D1(3 * s, 3 * s + 1); }
    Pt D1End(size_t s) const { return D1(3 * s + 2, 3 * s + 3); }
    Pt D2Start(size_t s) const { return D2(3 * s); }
    Pt D2End(size_t s) const { return D2(3 * s + 1); }
};

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
        Chain c;
        for (uint32_t i = 0; i < count; ++i)
            c.p.push_back(Pt{xy[2 * i], xy[2 * i + 1]});
        ASSERT_EQ(c.Segments(), segs);
        for (size_t s = 0; s <= segs; ++s)
            ExpectNear(c.p[3 * s], Pt{double(k[s % n].x), double(k[s % n].y)}, "knot", s);
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

// The interpolating splines' temporary arrays, under every allocation
// failure.
TEST(Curves, TemporaryArraysAreReleasedOnEveryPath) {
    std::mt19937 rng(43);
    std::vector<POINT> k = RandomKnots(rng, 9), out(3 * 9 + 1);
    for (int close : {0, 1}) {
        RgnCurve c = CurveOf(2, close, k);
        UINT count = 0;
        zvtest::SweepAllocationFailures([&] { return Z_CurveToBezier(&c, &count, out.data()); },
                                        [](int rc) { EXPECT_EQ(rc, RC_NO_MEMORY); },
                                        [](int rc) { EXPECT_EQ(rc, RC_SUCCESS); });
    }
}

}  // namespace
