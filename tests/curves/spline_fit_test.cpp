#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "curves/reference_spline.h"
#include "curves/curve_status.h"
#include "curves/nurbs.h"
#include "curves/spline_fit.h"
#include "curves/spline_gen.h"

namespace {

struct Fit {
    int result = 99;
    int poly_count = -1, ctrl_count = -1, knot_count = -1;
    double (*poly)[3] = nullptr;
    double (*ctrl)[3] = nullptr;
    double* knots = nullptr;
    ~Fit() {
        std::free(poly);
        std::free(ctrl);
        std::free(knots);
    }
    std::vector<double> U() const { return {knots, knots + knot_count}; }
    std::vector<ref::P3> P() const {
        std::vector<ref::P3> v;
        for (int i = 0; i < ctrl_count; ++i) v.push_back({ctrl[i][0], ctrl[i][1], ctrl[i][2]});
        return v;
    }
};

void run(Fit& f, std::vector<ref::P3> pts, const double* ts = nullptr, const double* te = nullptr, int flag = 0,
         double tess = 1.3, double tol = 1e-5, double* ts_out = nullptr, double* te_out = nullptr) {
    double s[3] = {0, 0, 0}, e[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (ts) s[i] = ts[i];
        if (te) e[i] = te[i];
    }
    f.result = gr_splinegen2(3, static_cast<int>(pts.size()), reinterpret_cast<double(*)[3]>(pts.data()), tol, s, e,
                             flag, tess, &f.poly_count, &f.poly, &f.ctrl_count, &f.ctrl, &f.knot_count, &f.knots);
    for (int i = 0; i < 3; ++i) {
        if (ts_out) ts_out[i] = s[i];
        if (te_out) te_out[i] = e[i];
    }
}

// The reference derivative at u from one side, by a short difference.
ref::P3 slope(const Fit& f, double u, double h) {
    auto a = ref::point(f.U(), 3, f.P(), u), b = ref::point(f.U(), 3, f.P(), u + h);
    return {(b[0] - a[0]) / h, (b[1] - a[1]) / h, (b[2] - a[2]) / h};
}

// Through every point, at its accumulated chord length, with the given or natural ends.
TEST(SplineFit, PassesThroughPointsWithEndConditions) {
    const std::vector<ref::P3> pts = {{0, 0, 0}, {2, 1, 0}, {3, 4, 1}, {6, 4, 0}, {7, 1, 0}, {9, 0, 2}};
    const double t0[3] = {1, 0, 0}, t1[3] = {0, -2, 0};
    for (bool tangents : {false, true}) {
        Fit f;
        run(f, pts, tangents ? t0 : nullptr, tangents ? t1 : nullptr);
        ASSERT_EQ(f.result, 0);
        ASSERT_EQ(f.ctrl_count, 8);
        ASSERT_EQ(f.knot_count, 12);
        double s = 0;
        for (size_t i = 0; i < pts.size(); ++i) {
            if (i > 0) s += ref::dist(pts[i], pts[i - 1]);
            EXPECT_LT(ref::dist(ref::point(f.U(), 3, f.P(), s), pts[i]), 1e-9) << i;
        }
        EXPECT_NEAR(f.knots[11], s, 1e-12);
        const double h = 1e-7;
        auto d0 = slope(f, 0.0, h), d1 = slope(f, s - h, h);
        if (tangents) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(d0[c], t0[c], 1e-5);
                EXPECT_NEAR(d1[c], t1[c], 1e-5);
            }
        } else {  // natural ends: no second derivative at either end
            const double e = 1e-3;
            for (double u : {0.0, s - 2 * e}) {
                auto a = ref::point(f.U(), 3, f.P(), u), b = ref::point(f.U(), 3, f.P(), u + e),
                     c = ref::point(f.U(), 3, f.P(), u + 2 * e);
                for (int k = 0; k < 3; ++k) EXPECT_NEAR((c[k] - 2 * b[k] + a[k]) / (e * e), 0.0, 0.05) << u;
            }
        }
        // The polyline starts and ends at the data.
        ASSERT_GT(f.poly_count, 2);
        EXPECT_LT(ref::dist({f.poly[0][0], f.poly[0][1], f.poly[0][2]}, pts.front()), 1e-12);
        const auto& last = f.poly[f.poly_count - 1];
        EXPECT_LT(ref::dist({last[0], last[1], last[2]}, pts.back()), 1e-9);
    }
}

TEST(SplineFit, TwoAndFourPoints) {
    Fit two;
    run(two, {{1, 1, 0}, {4, 5, 0}});
    ASSERT_EQ(two.result, 0);
    ASSERT_EQ(two.ctrl_count, 4);
    const std::vector<double> want = {0, 0, 0, 0, 5, 5, 5, 5};
    EXPECT_EQ(two.U(), want);
    for (auto& p : two.P()) EXPECT_NEAR((p[0] - 1) * 4 - (p[1] - 1) * 3, 0.0, 1e-12);  // on the line
    Fit four;
    run(four, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    ASSERT_EQ(four.result, 0);
    EXPECT_EQ(four.ctrl_count, 6);
    ASSERT_EQ(four.knot_count, 10);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(four.knots[i], 0.0);
        EXPECT_EQ(four.knots[6 + i], 3.0);
    }
}

// Points nearer than the tolerance are dropped without moving the others' parameters.
TEST(SplineFit, DropsNearPoints) {
    Fit a, b, c;
    run(a, {{0, 0, 0}, {3, 0, 0}, {3, 4, 0}});
    run(b, {{0, 0, 0}, {0, 0, 0}, {3, 0, 0}, {3, 1e-6, 0}, {3, 4, 0}});
    ASSERT_EQ(a.result, 0);
    ASSERT_EQ(b.result, 0);
    EXPECT_EQ(a.U(), b.U());
    // A tolerance of 0 works as 1e-9.
    run(c, {{0, 0, 0}, {1e-10, 0, 0}, {1, 0, 0}, {1 + 1e-8, 0, 0}}, nullptr, nullptr, 0, 1.3, 0.0);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(c.ctrl_count, 5);
}

TEST(SplineFit, FailuresLeaveNoOutput) {
    struct Case {
        std::vector<ref::P3> pts;
        double tess;
        int result;
    } cases[] = {
        {{{1, 1, 1}, {1, 1, 1}, {1, 1, 1 + 1e-7}}, 1.3, -1},  // one distinct point
        {{{0, 0, 0}, {1, 0, 0}, {2, 1, 0}}, 0.0, -1},           // no tessellation value
        {{{0, 0, 0}, {1, 0, 0}, {2, 1, 0}}, NAN, -1},
        {{{NAN, 0, 0}, {1, 0, 0}, {2, 1, 0}}, 1.3, -1},
        {{{0, 0, 0}, {1e308, 0, 0}, {-1e308, 0, 0}}, 1.3, -3},  // chord sum overflows
    };
    for (auto& k : cases) {
        Fit f;
        // A polyline left from an earlier run goes too, whether the fit or the
        // tessellation fails.
        f.poly = static_cast<double(*)[3]>(std::malloc(sizeof(double[3]) * 7));
        f.poly_count = 7;
        run(f, k.pts, nullptr, nullptr, 0, k.tess);
        EXPECT_EQ(f.result, k.result);
        EXPECT_EQ(f.poly_count, 0);
        EXPECT_EQ(f.ctrl_count, 0);
        EXPECT_EQ(f.knot_count, 0);
        EXPECT_EQ(f.ctrl, nullptr);
        EXPECT_EQ(f.knots, nullptr);
        EXPECT_EQ(f.poly, nullptr);
    }
    CNURBS* c = reinterpret_cast<CNURBS*>(1);
    EXPECT_EQ(GetFittingSpline(0, nullptr, 0.1, nullptr, nullptr, 0, c), curve_status::bad_argument);
    EXPECT_EQ(c, nullptr);
    // Over the knot limit: 1639 distinct points need 1641 knots.
    std::vector<ref::P3> many(1639);
    for (size_t i = 0; i < many.size(); ++i) many[i] = {double(i), double(i % 2), 0};
    Fit f;
    run(f, many);
    EXPECT_EQ(f.result, -3);
    EXPECT_EQ(f.ctrl, nullptr);
}

// With the common-tangent flag a closed figure starts and ends in one direction.
TEST(SplineFit, CommonTangentOfClosedFigure) {
    std::vector<ref::P3> pts;
    for (int i = 0; i <= 8; ++i) pts.push_back({std::cos(i * M_PI / 4) * 3, std::sin(i * M_PI / 4) * 3, 0});
    pts.back() = pts.front();
    Fit f;
    double ts[3], te[3];
    run(f, pts, nullptr, nullptr, 1, 1.3, 1e-5, ts, te);
    ASSERT_EQ(f.result, 0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(ts[c], te[c]);
    EXPECT_NEAR(ts[0], 0.0, 1e-9);  // straight up at (3, 0) by symmetry
    EXPECT_GT(ts[1], 0.5);
    const double s = f.knots[f.knot_count - 1], h = 1e-7;
    auto d0 = slope(f, 0.0, h), d1 = slope(f, s - h, h);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(d0[c], ts[c], 1e-5);
        EXPECT_NEAR(d1[c], ts[c], 1e-5);
    }
    // Too few points for a closed cubic: the failure is reported.
    Fit g;
    run(g, {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}}, nullptr, nullptr, 1);
    EXPECT_EQ(g.result, -3);
}

TEST(GenerateSpline, JobLifecycle) {
    Generate_Spline empty;
    EXPECT_EQ(empty.m_points, nullptr);
    empty.generate();
    EXPECT_EQ(empty.m_poly_count, 0);
    double zero[3] = {0, 0, 0};
    Generate_Spline job(3, 4, 1e-5, zero, zero, 0, 1.3);
    const double pts[4][3] = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}};
    for (int i = 0; i < 12; ++i) job.m_points[i] = pts[i / 3][i % 3];
    job.generate();
    EXPECT_GT(job.m_poly_count, 4);
    EXPECT_EQ(job.m_ctrl_count, 6);
    EXPECT_EQ(job.m_knot_count, 10);
    Generate_Spline copy(job);  // owns its own arrays: both destructors free safely
    EXPECT_NE(copy.m_poly_points, job.m_poly_points);
    EXPECT_EQ(copy.m_poly_count, job.m_poly_count);
    EXPECT_EQ(copy.m_poly_points[3][1], job.m_poly_points[3][1]);
    copy = job;
    copy.init(3, 0, 1e-5, nullptr, nullptr, 0, 1.3);
    EXPECT_EQ(copy.m_poly_points, nullptr);
    EXPECT_EQ(copy.m_points, nullptr);
    EXPECT_EQ(g_computer_spline.m_point_count, 0);
    EXPECT_EQ(g_computer_spline.m_tess_tol, 0.1);
}

}  // namespace
