#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "curves/reference_spline.h"
#include "curves/curve_status.h"
#include "curves/knot_vector.h"
#include "curves/nurbs.h"

namespace {

std::unique_ptr<CKnotVector> knots(int p, std::vector<double> k, double l) {
    int st = 0;
    auto kv = std::make_unique<CKnotVector>(p, static_cast<int>(k.size()), st);
    EXPECT_EQ(st, 0);
    for (size_t i = 0; i < k.size(); ++i) (*kv)[static_cast<int>(i)] = k[i];
    kv->set_period_length(l);
    return kv;
}

std::unique_ptr<CNURBS> make_curve(int p, std::vector<double> k, double l, const std::vector<ref::P3>& pts,
                                   const std::vector<double>& w, int& st) {
    auto* pa = new CPointArray();
    for (size_t i = 0; i < pts.size(); ++i) {
        const double wi = w.empty() ? 1.0 : w[i];
        pa->append(Qe_Pt(pts[i][0] * wi, pts[i][1] * wi, pts[i][2] * wi));
    }
    CDoubleArray* wa = nullptr;
    if (!w.empty()) {
        int s2 = 0;
        wa = new CDoubleArray(static_cast<int>(w.size()), s2);
        for (size_t i = 0; i < w.size(); ++i) (*wa)[static_cast<int>(i)] = w[i];
    }
    return std::make_unique<CNURBS>(knots(p, k, l).release(), pa, wa, st);
}

ref::P3 at(const CCurve& c, double u) {
    Qe_Pt p;
    EXPECT_EQ(c.point(u, p), 0);
    return {p.x(), p.y(), p.z()};
}

TEST(KnotVector, PeriodicIndexing) {
    auto kv = knots(3, {0, 0, 0, 0, 5}, 10);
    EXPECT_EQ(kv->knot(5), 10);
    EXPECT_EQ(kv->knot(8), 10);
    EXPECT_EQ(kv->knot(9), 15);
    EXPECT_EQ(kv->knot(-1), -5);
    EXPECT_EQ(kv->set_knot(5, 13.0), 0);  // index count sets the period
    EXPECT_EQ(kv->period_length(), 13.0);
}

TEST(KnotVector, CheckRejectsBadVectors) {
    struct Case {
        std::vector<double> k;
        double l;
        int status;
    } cases[] = {
        {{0, 0, 0, 0, 1, 2}, 3, 0},
        {{0, 0, 0, 0, 1, 1, 1, 1, 2}, 3, curve_status::inconsistent},  // inner run of p + 1
        {{0, 0, 0, 0, 0, 1}, 3, curve_status::inconsistent},           // start run of p + 2
        {{0, 0, 0, 0, 2, 1}, 3, curve_status::inconsistent},           // decreasing
        {{0, 0, 0, 0, 1, 2}, 2, curve_status::inconsistent},           // period ends at the last knot
        {{0, 0, 0, 0, 1, 2}, 0, curve_status::inconsistent},
        {{0, 0, 0, 0, NAN, 2}, 3, curve_status::inconsistent},
        {{0, 0, 0, 0, 1, 2}, INFINITY, curve_status::inconsistent},
    };
    for (auto& c : cases) EXPECT_EQ(knots(3, c.k, c.l)->check(), c.status) << c.k[4] << " " << c.l;
    int st = 0;
    CKnotVector big(3, 1641, st);
    EXPECT_EQ(st, curve_status::inconsistent);
    CKnotVector bad_degree(10, 4, st);
    EXPECT_EQ(st, curve_status::inconsistent);
    auto kv = knots(3, {0, 1, 2}, 3);
    EXPECT_EQ(kv->insert_knots(0, 0.0, 1638), curve_status::too_many_knots);
    EXPECT_EQ(kv->insert_knots(0, 0.0, -1), curve_status::inconsistent);
    EXPECT_EQ(kv->insert_knots(0, 0.0, 1637), 0);
    EXPECT_EQ(kv->count(), 1640);
}

TEST(KnotVector, SearchesAndFlatForm) {
    auto kv = knots(3, {0, 0, 0, 0, 1, 2.5}, 4);
    struct Case {
        double v, tol;
        int index;
        bool near;
    } cases[] = {{-0.5, 0.1, -1, false}, {-0.05, 0.1, 3, true}, {1.0, 1e-9, 4, true},
                 {1.7, 0.1, 4, false},   {2.45, 0.1, 5, true},  {9.0, 0.1, 5, false}};
    for (auto& c : cases) {
        int i = 99;
        EXPECT_EQ(kv->find(c.v, c.tol, i), c.near) << c.v;
        EXPECT_EQ(i, c.index) << c.v;
    }
    EXPECT_EQ(kv->bisect(-1.0, 0, 5), -1);
    ASSERT_EQ(kv->flat_size(), 16 + 8 * 6);
    std::vector<std::uint8_t> buf(static_cast<size_t>(kv->flat_size()));
    kv->write_flat(buf.data());
    const std::uint8_t head[16] = {6, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10, 0x40};  // 6, 3, 4.0
    EXPECT_TRUE(std::equal(head, head + 16, buf.begin()));
    kv->reverse_knots();
    const double want[6] = {0, 0, 0, 0, 1.5, 3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ((*kv)[i], want[i]);
}

// A clamped cubic against the reference evaluator, and rational weights that all agree.
TEST(Nurbs, MatchesReferenceEvaluator) {
    const std::vector<ref::P3> pts = {{0, 0, 0}, {1, 2, 0}, {3, 3, 1}, {4, -1, 0}, {6, 0, 2}, {7, 3, 0}};
    const std::vector<double> U = {0, 0, 0, 0, 1, 2.5, 4, 4, 4, 4};
    int st = -5;
    auto c = make_curve(3, {0, 0, 0, 0, 1, 2.5}, 4, pts, {}, st);
    ASSERT_EQ(st, 0);
    auto c3 = make_curve(3, {0, 0, 0, 0, 1, 2.5}, 4, pts, std::vector<double>(6, 3.0), st);
    ASSERT_EQ(st, 0);
    EXPECT_FALSE(c3->is_rational());
    const std::vector<double> w = {1, 0.5, 2, 1, 3, 1};
    auto cr = make_curve(3, {0, 0, 0, 0, 1, 2.5}, 4, pts, w, st);
    ASSERT_EQ(st, 0);
    EXPECT_TRUE(cr->is_rational());
    for (int i = 0; i <= 40; ++i) {
        const double u = 4.0 * i / 40;
        EXPECT_LT(ref::dist(at(*c, u), ref::point(U, 3, pts, u)), 1e-12) << u;
        EXPECT_LT(ref::dist(at(*c3, u), ref::point(U, 3, pts, u)), 1e-12) << u;
        EXPECT_LT(ref::dist(at(*cr, u), ref::point(U, 3, pts, u, w)), 1e-12) << u;
        Qe_Pt h;
        double hw = 0;
        ASSERT_EQ(cr->homogeneous_point(u, h, hw), 0);
        EXPECT_LT(ref::dist({h.x() / hw, h.y() / hw, h.z() / hw}, ref::point(U, 3, pts, u, w)), 1e-12);
        // Derivatives against central differences of the reference.
        Qe_Vec d[3];
        ASSERT_EQ(cr->derivatives(u, 2, d), 0);
        const double e = 1e-5, a = std::max(0.0, u - e), b = std::min(4.0, u + e);
        auto pa = ref::point(U, 3, pts, a, w), pb = ref::point(U, 3, pts, b, w);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(d[1].component(k), (pb[k] - pa[k]) / (b - a), 1e-4 * (1 + std::fabs(d[1].component(k))));
        }
    }
    Qe_Vec d[4];
    EXPECT_EQ(c->derivatives(1.0, 3, d), -1);
}

// The rational quadratic circle of nine control points is a circle exactly.
TEST(Nurbs, RationalQuadraticCircle) {
    const double r2 = std::sqrt(0.5);
    const std::vector<ref::P3> pts = {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0}, {-1, 0, 0},
                                      {-1, -1, 0}, {0, -1, 0}, {1, -1, 0}, {1, 0, 0}};
    const std::vector<double> w = {1, r2, 1, r2, 1, r2, 1, r2, 1};
    int st = -5;
    auto c = make_curve(2, {0, 0, 0, 1, 1, 2, 2, 3, 3}, 4, pts, w, st);
    ASSERT_EQ(st, 0);
    for (int i = 0; i <= 100; ++i) {
        auto p = at(*c, 4.0 * i / 100);
        EXPECT_NEAR(std::hypot(p[0], p[1]), 1.0, 1e-14);
    }
    EXPECT_TRUE(c->is_closed());
    double len = 0;
    ASSERT_EQ(c->length(len), 0);
    // Ten equal parts, each integrated span by span.
    EXPECT_NEAR(len, 2 * M_PI, 2 * M_PI * 1e-8);
    double k = 0;
    ASSERT_EQ(c->curvature(0.5, k), 0);
    EXPECT_NEAR(k, 1.0, 1e-9);  // counter-clockwise unit circle
}

TEST(Nurbs, ConstructionChecks) {
    const std::vector<ref::P3> pts = {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}};
    int st = 0;
    make_curve(3, {0, 0, 0, 0, 1}, 2, pts, {}, st);  // five knots, four points
    EXPECT_EQ(st, curve_status::inconsistent);
    make_curve(3, {0, 0, 0, 0}, 1, pts, {1, 1, 0, 1}, st);
    EXPECT_EQ(st, curve_status::inconsistent);
    make_curve(3, {0, 0, 0, 0}, 1, pts, {1, 1, NAN, 1}, st);
    EXPECT_EQ(st, curve_status::inconsistent);
    make_curve(3, {0, 0, 0, 0}, 1, {{0, 0, 0}, {1, NAN, 0}, {2, 0, 0}, {3, 1, 0}}, {}, st);
    EXPECT_EQ(st, curve_status::inconsistent);
}

// A periodic cubic: evaluation repeats by the period, and parameters normalise into range.
TEST(Nurbs, PeriodicCurveAndParameters) {
    const std::vector<ref::P3> pts = {{0, 0, 0}, {4, 0, 0}, {5, 3, 0}, {2, 5, 0}, {-1, 3, 0}};
    int st = -5;
    auto c = make_curve(3, {0, 2, 4, 6, 8}, 10, pts, {}, st);
    ASSERT_EQ(st, 0);
    EXPECT_EQ(c->period(), 10.0);
    for (double u : {0.0, 1.3, 5.0, 9.99})
        EXPECT_LT(ref::dist(at(*c, u), at(*c, u + 10.0)), 1e-12) << u;
    EXPECT_LT(ref::dist(at(*c, 0.0), at(*c, 10.0)), 1e-12);
    Qe_Pt far;
    EXPECT_NE(c->point(200.0, far), 0);  // more than eight periods away
    struct Case {
        double in;
        bool ok;
        double out;
    } cases[] = {{25, true, 5}, {-3, true, 7}, {10.0000000001, true, 10}, {10001, false, 0}};
    for (auto& k : cases) {
        double t = k.in;
        EXPECT_EQ(c->normalize_param(t), k.ok) << k.in;
        if (k.ok) {
            EXPECT_NEAR(t, k.out, 1e-12) << k.in;
        }
    }
    auto clamped = make_curve(3, {0, 0, 0, 0}, 1, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, {}, st);
    ASSERT_EQ(st, 0);
    double t = -1e-10;
    EXPECT_TRUE(clamped->normalize_param(t));
    EXPECT_EQ(t, 0.0);
    t = -1e-8;
    EXPECT_FALSE(clamped->normalize_param(t));
    double k = 5;
    EXPECT_EQ(clamped->curvature(0.3, k), 0);
    EXPECT_EQ(k, 0.0);
    EXPECT_FALSE(clamped->is_degenerate());
    EXPECT_EQ(clamped->set_end(5e-10), 0);
    EXPECT_TRUE(clamped->is_degenerate());
    EXPECT_EQ(clamped->set_range(0.5, 0.5 + 1e-7), -1);
}

TEST(Nurbs, VanishingDerivativesGiveZeroVectorStatus) {
    int st = -5;
    auto c = make_curve(3, {0, 0, 0, 0}, 1, {{2, 2, 0}, {2, 2, 0}, {2, 2, 0}, {2, 2, 0}}, {}, st);
    ASSERT_EQ(st, 0);
    double k = 0;
    EXPECT_EQ(c->curvature(0.5, k), curve_status::zero_vector);
}

TEST(Nurbs, SpanSamplerVisitsEverySpan) {
    struct Sink : CSpanSampleSink {
        std::vector<double> t;
        int take(const Qe_Pt&, double, double u) override {
            t.push_back(u);
            return 0;
        }
    } sink;
    int st = -5;
    auto c = make_curve(3, {0, 0, 0, 0, 1, 2}, 3, {{0, 0, 0}, {1, 2, 0}, {3, 3, 1}, {4, -1, 0}, {6, 0, 2}, {7, 3, 0}},
                        {}, st);
    ASSERT_EQ(st, 0);
    ASSERT_EQ(c->sample_spans(sink), 0);
    ASSERT_EQ(sink.t.size(), 30u);  // three spans of ten samples
    EXPECT_EQ(sink.t.front(), 0.0);
    EXPECT_EQ(sink.t.back(), 3.0);
}

}  // namespace
