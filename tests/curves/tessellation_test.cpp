#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "curves/reference_spline.h"
#include "curves/curve.h"
#include "curves/curve_status.h"
#include "curves/curve_tessellation.h"
#include "curves/nurbs.h"
#include "curves/spline_gen.h"

namespace {

struct Poly {
    int count = -1;
    double (*pts)[3] = nullptr;
    ~Poly() { std::free(pts); }
    ref::P3 operator[](int i) const { return {pts[i][0], pts[i][1], pts[i][2]}; }
};

int gen1(int p, std::vector<double> knots, std::vector<ref::P3> ctrl, std::vector<double> w, double t, Poly& out) {
    return gr_splinegen1(p, 0, static_cast<int>(knots.size()), knots.data(), 0.0, static_cast<int>(ctrl.size()),
                         reinterpret_cast<double(*)[3]>(ctrl.data()), w.data(), 0.0, t, &out.count, &out.pts);
}

TEST(CurveTessellation, SegmentCountsPerSpan) {
    Poly straight;
    ASSERT_EQ(gen1(3, {0, 0, 0, 0, 1, 2, 3}, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {5, 0, 0}},
                   std::vector<double>(6, 1.0), 1.3, straight),
              0);
    EXPECT_EQ(straight.count, 4);  // one segment for each of three spans
    // Two control-point triples with |D| = 10: trunc(sqrt(10 * 2 * 1.3^2)) + 3 = 8 segments.
    const std::vector<ref::P3> bent = {{0, 0, 0}, {1, 10, 0}, {2, 0, 0}, {3, 10, 0}};
    Poly fine, coarse;
    ASSERT_EQ(gen1(3, {0, 0, 0, 0, 1}, bent, {1, 1, 1, 1}, 1.3, fine), 0);
    EXPECT_EQ(fine.count, 9);
    ASSERT_EQ(gen1(3, {0, 0, 0, 0, 1}, bent, {1, 1, 1, 1}, 0.1, coarse), 0);
    EXPECT_EQ(coarse.count, 4);
    // Forward-differenced points agree with the reference curve at equal parameter steps.
    const std::vector<double> U = {0, 0, 0, 0, 1, 1, 1, 1};
    for (int i = 0; i < fine.count; ++i) EXPECT_LT(ref::dist(fine[i], ref::point(U, 3, bent, i / 8.0)), 1e-12) << i;
    // Equal weights of 2 draw the curve of weights 1.
    Poly twice;
    ASSERT_EQ(gen1(3, {0, 0, 0, 0, 1}, bent, {2, 2, 2, 2}, 1.3, twice), 0);
    ASSERT_EQ(twice.count, fine.count);
    for (int i = 0; i < fine.count; ++i) EXPECT_LT(ref::dist(fine[i], twice[i]), 1e-12);
}

// The circle's polyline: ends on the curve, every vertex on the circle, each chord within
// a sagitta that falls as the tessellation value grows.
TEST(CurveTessellation, CircleWithinTolerance) {
    const double r2 = std::sqrt(0.5);
    const std::vector<ref::P3> pts = {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0}, {-1, 0, 0},
                                      {-1, -1, 0}, {0, -1, 0}, {1, -1, 0}, {1, 0, 0}};
    const std::vector<double> w = {1, r2, 1, r2, 1, r2, 1, r2, 1};
    int last_count = 0;
    double last_sag = 1.0;
    for (double t : {1.3, 5.0, 20.0}) {
        Poly poly;
        ASSERT_EQ(gen1(2, {0, 0, 0, 1, 1, 2, 2, 3, 3, 4}, pts, w, t, poly), 0);
        ASSERT_GT(poly.count, 8);
        EXPECT_LT(ref::dist(poly[0], {1, 0, 0}), 1e-15);
        EXPECT_LT(ref::dist(poly[poly.count - 1], {1, 0, 0}), 1e-15);
        double sag = 0;
        for (int i = 0; i < poly.count; ++i) {
            EXPECT_NEAR(std::hypot(poly[i][0], poly[i][1]), 1.0, 1e-9) << t << " " << i;
            if (i > 0) {
                const double half = ref::dist(poly[i], poly[i - 1]) / 2;
                sag = std::max(sag, 1.0 - std::sqrt(1.0 - half * half));
            }
        }
        EXPECT_GT(poly.count, last_count);
        EXPECT_LT(sag, last_sag);
        last_count = poly.count;
        last_sag = sag;
    }
    EXPECT_LT(last_sag, 1e-3);
}

TEST(CurveTessellation, BadArgumentsAndValues) {
    const std::vector<ref::P3> pts = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}};
    struct Case {
        int degree;
        std::vector<double> knots;
        std::vector<double> w;
        double t;
        int result;
    } cases[] = {
        {0, {0, 0, 0, 0, 1}, {1, 1, 1, 1}, 1.3, -1},
        {10, {0, 0, 0, 0, 1}, {1, 1, 1, 1}, 1.3, -1},
        {3, {0, 0, 0, 0}, {1, 1, 1, 1}, 1.3, -1},       // knot count equals control count
        {3, {0, 0, 0, 0, 1}, {1, 1, 1, 1}, 0.0, -1},    // no tessellation value
        {3, {0, 0, 0, 0, 1}, {1, 1, 1, 1}, NAN, -1},
        {3, {0, 0, 0, 0, 1}, {1, 1, -1, 1}, 1.3, -3},   // negative weight
        {3, {0, 0, 0, 0, 0}, {1, 1, 1, 1}, 1.3, -3},    // zero period
        {3, {0, 0, 2, 1, 3}, {1, 1, 1, 1}, 1.3, -3},    // decreasing knots
    };
    for (auto& k : cases) {
        Poly poly;
        EXPECT_EQ(gen1(k.degree, k.knots, pts, k.w, k.t, poly), k.result) << k.degree << " " << k.t;
        EXPECT_EQ(poly.pts, nullptr);
    }
    Poly none;
    auto ctrl = pts;
    std::vector<double> knots = {0, 0, 0, 0, 1};
    EXPECT_EQ(gr_splinegen1(3, 0, 5, knots.data(), 0, 4, reinterpret_cast<double(*)[3]>(ctrl.data()), nullptr, 0,
                            1.3, &none.count, &none.pts),
              -1);
    EXPECT_EQ(none.count, -1);  // nothing written for a bad argument
    std::vector<double> one = {0, 1}, w1 = {1};
    EXPECT_EQ(gr_splinegen1(3, 0, 1, one.data(), 0, 0, reinterpret_cast<double(*)[3]>(ctrl.data()), w1.data(), 0,
                            1.3, &none.count, &none.pts),
              -3);  // no control points
    EXPECT_EQ(none.pts, nullptr);
    EXPECT_EQ(tessellate_curve(nullptr, 1.3, &none.count, &none.pts), -1);
    // A fine value is capped per span (32767 / (4 x 4) segments); so is a curve whose
    // estimate would not fit an int.
    Poly fine, vast;
    ASSERT_EQ(gen1(3, {0, 0, 0, 0, 1}, pts, {1, 1, 1, 1}, 5000.0, fine), 0);
    EXPECT_EQ(fine.count, 32767 / 16 + 1);
    const std::vector<ref::P3> far = {{0, 0, 0}, {1e300, 1e300, 0}, {2e300, 0, 0}, {3e300, 1e300, 0}};
    ASSERT_EQ(gen1(3, {0, 0, 0, 0, 1}, far, {1, 1, 1, 1}, 1.3, vast), 0);
    EXPECT_EQ(vast.count, 32767 / 16 + 1);
}

// A curve kind of the test's own, to reach the shared adaptive stepper.
class UnitCircle : public CCurve {
public:
    CCurve* clone() const override { return new UnitCircle; }
    double start_param() const override { return 0.0; }
    double end_param() const override { return M_PI; }
    double period() const override { return 0.0; }
    int point(double t, Qe_Pt& p) const override {
        p = Qe_Pt(std::cos(t), std::sin(t), 0.0);
        return 0;
    }
};

TEST(CurveTessellation, AdaptiveStepperFollowsTheCurve) {
    UnitCircle arc;
    std::srand(42);
    const int before = std::rand();
    std::srand(42);
    for (double t : {0.5, 3.0}) {
        Poly poly;
        ASSERT_EQ(tessellate_curve(&arc, t, &poly.count, &poly.pts), 0);
        ASSERT_GE(poly.count, 2);
        EXPECT_LE(poly.count, 4097);
        EXPECT_LT(ref::dist(poly[0], {1, 0, 0}), 1e-15);
        EXPECT_LT(ref::dist(poly[poly.count - 1], {-1, 0, 0}), 1e-12);
        double prev = -1;
        for (int i = 0; i < poly.count; ++i) {
            EXPECT_NEAR(std::hypot(poly[i][0], poly[i][1]), 1.0, 1e-12);
            const double a = std::atan2(poly[i][1], poly[i][0]);
            EXPECT_GT(a + (i == poly.count - 1 ? 1e-12 : 0), prev);  // in order along the arc
            prev = a;
        }
    }
    EXPECT_EQ(std::rand(), before);  // the process-wide sequence is left alone
}

}  // namespace
