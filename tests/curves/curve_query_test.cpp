#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "curves/curve_fixtures.h"
#include "curves/curve_solvers.h"
#include "curves/intersection.h"
#include "geometry/plane_geometry.h"

namespace {

// A line kind of the tests: origin + t direction on [a, b].
class TestLine : public CLineCurve {
public:
    TestLine(Qe_Pt o, Qe_Vec d, double a = 0, double b = 1) : m_o(o), m_d(d), m_a(a), m_b(b) {}
    CCurve* clone() const override { return new TestLine(m_o, m_d, m_a, m_b); }
    double start_param() const override { return m_a; }
    double end_param() const override { return m_b; }
    double period() const override { return 0; }
    int derivatives(double t, int order, Qe_Vec* out) const override {
        out[0] = Qe_Vec(m_o.x(), m_o.y(), m_o.z()) + m_d * t;
        if (order >= 1) out[1] = m_d;
        if (order >= 2) out[2] = Qe_Vec();
        return order > 2 ? -1 : 0;
    }
    int point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const override {
        p = m_o + m_d * t;
        d = m_d;
        return 0;
    }
    int point(double t, Qe_Pt& p) const override {
        p = m_o + m_d * t;
        return 0;
    }
    Qe_Pt line_origin() const override { return m_o; }
    Qe_Vec line_direction() const override { return m_d; }

private:
    Qe_Pt m_o;
    Qe_Vec m_d;
    double m_a, m_b;
};

// A circle kind of the tests: centre + a1 cos u + a2 sin u on [a, b].
class TestArc : public CCircleCurve {
public:
    TestArc(Qe_Pt c, double r, double a = 0, double b = 2 * M_PI, bool periodic = false)
        : m_c(c), m_a1(r, 0, 0), m_a2(0, r, 0), m_a(a), m_b(b), m_periodic(periodic) {}
    CCurve* clone() const override { return new TestArc(*this); }
    double start_param() const override { return m_a; }
    double end_param() const override { return m_b; }
    double period() const override { return m_periodic ? 2 * M_PI : 0; }
    int derivatives(double t, int order, Qe_Vec* out) const override {
        const Qe_Vec c = m_a1 * std::cos(t), s = m_a2 * std::sin(t);
        out[0] = Qe_Vec(m_c.x(), m_c.y(), m_c.z()) + c + s;
        if (order >= 1) out[1] = m_a2 * std::cos(t) - m_a1 * std::sin(t);
        if (order >= 2) out[2] = -(c + s);
        return order > 2 ? -1 : 0;
    }
    int point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const override {
        Qe_Vec v[2];
        derivatives(t, 1, v);
        p = Qe_Pt(v[0].x(), v[0].y(), v[0].z());
        d = v[1];
        return 0;
    }
    int point(double t, Qe_Pt& p) const override {
        Qe_Vec d;
        return point_and_tangent(t, p, d);
    }
    Qe_Pt circle_centre() const override { return m_c; }
    Qe_Vec circle_axis1() const override { return m_a1; }
    Qe_Vec circle_axis2() const override { return m_a2; }

private:
    TestArc(const TestArc& o) : CCircleCurve(), m_c(o.m_c), m_a1(o.m_a1), m_a2(o.m_a2), m_a(o.m_a), m_b(o.m_b), m_periodic(o.m_periodic) {}
    Qe_Pt m_c;
    Qe_Vec m_a1, m_a2;
    double m_a, m_b;
    bool m_periodic;
};

// (t^2, t^3): a cusp at 0.
class Cusp : public CCurve {
public:
    CCurve* clone() const override { return new Cusp; }
    double start_param() const override { return -1; }
    double end_param() const override { return 1; }
    double period() const override { return 0; }
    int derivatives(double t, int order, Qe_Vec* out) const override {
        out[0] = Qe_Vec(t * t, t * t * t, 0);
        if (order >= 1) out[1] = Qe_Vec(2 * t, 3 * t * t, 0);
        if (order >= 2) out[2] = Qe_Vec(2, 6 * t, 0);
        return 0;
    }
    int point(double t, Qe_Pt& p) const override {
        p = Qe_Pt(t * t, t * t * t, 0);
        return 0;
    }
};

Qe_Pt at(const CCurve& c, double t) {
    Qe_Pt p;
    EXPECT_EQ(c.point(t, p), 0);
    return p;
}

TEST(CurveSolvers, EdgeCases) {
    // Segments crossing at right angles meet in one step.
    TestLine a(Qe_Pt(0, 0, 0), Qe_Vec(4, 0, 0)), b(Qe_Pt(1, -1, 0), Qe_Vec(0, 2, 0));
    CCurvePairSolver s(&a, &b, 1e-12);
    ASSERT_EQ(s.solve(0.9, 0.1), 0);
    EXPECT_NEAR(s.ta(), 0.25, 1e-15);
    EXPECT_NEAR(s.tb(), 0.5, 1e-15);
    EXPECT_EQ(s.last_distance_sq(), 0.0);
    // Parallel segments stop after one half step.
    TestLine p(Qe_Pt(0, 1, 0), Qe_Vec(4, 0, 0));
    CCurvePairSolver par(&a, &p, 1e-12);
    ASSERT_EQ(par.solve(0.2, 0.6), 0);
    EXPECT_NEAR(par.ta(), 0.2 + 1.6 * 0.5 / 4, 1e-15);
    EXPECT_NEAR(par.tb(), 0.6 - 1.6 * 0.5 / 4, 1e-15);
    EXPECT_TRUE(par.is_overlap());
    // A point at the centre: the projector stops where it started.
    fx::TestCircle c(1.0);
    CPointProjector centre(&c, Qe_Pt(0, 0, 0), 0.0);
    ASSERT_EQ(centre.solve(0.7), 0);
    EXPECT_EQ(centre.t(), 0.7);
    // Converging outside the range: 14.
    TestLine shortline(Qe_Pt(0, 0, 0), Qe_Vec(1, 0, 0), 0, 0.5);
    TestLine cross(Qe_Pt(0.8, -1, 0), Qe_Vec(0, 2, 0));
    CCurvePairSolver out(&shortline, &cross, 1e-12);
    EXPECT_EQ(out.solve(0.1, 0.1), curve_status::no_result);
    // The curve stays degenerate at its cusp; the circle through the cusp steps towards it.
    Cusp cusp;
    fx::TestCircle ring(1.0, 0, 2 * M_PI, false, Qe_Pt(1, 0, 0));
    for (double t0 : {1.2, 2.0, 4.5}) {
        CCurvePairSolver cs(&cusp, &ring, 1e-12);
        ASSERT_EQ(cs.solve(0.0, t0), 0) << t0;
        EXPECT_NEAR(cs.tb(), M_PI, 1e-9) << t0;
        EXPECT_LT(cs.last_distance_sq(), 1e-18);
    }
    // Equal circles that cross do not overlap; a circle against itself does.
    fx::TestCircle e1(1.0), e2(1.0, 0, 2 * M_PI, false, Qe_Pt(1, 0, 0)), e3(1.0);
    CCurvePairSolver crossing(&e1, &e2, 0.0);
    ASSERT_EQ(crossing.solve(1.0, 2.0), 0);
    EXPECT_LT(crossing.last_distance_sq(), 1e-24);
    EXPECT_FALSE(crossing.is_overlap());
    CCurvePairSolver same(&e1, &e3, 0.0);
    ASSERT_EQ(same.solve(1.0, 1.2), 0);
    EXPECT_TRUE(same.is_overlap());
    // Nearly touching large circles stay finite.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0, 1);
    for (int i = 0; i < 200; ++i) {
        const double r1 = std::pow(10.0, 9 * u(rng)), r2 = std::pow(10.0, 9 * u(rng));
        const double gap = (r1 + r2) * 1e-12 * (u(rng) - 0.5);
        fx::TestCircle c1(r1), c2(r2, 0, 2 * M_PI, false, Qe_Pt(r1 + r2 + gap, 0, 0));
        CCurvePairSolver cc(&c1, &c2, 0.0);
        const int st = cc.solve(0.1 * u(rng), M_PI + 0.1 * u(rng));
        EXPECT_TRUE(st == 0 || st == curve_status::no_result);
        EXPECT_TRUE(std::isfinite(cc.ta()) && std::isfinite(cc.tb())) << r1 << " " << r2;
    }
}

// The intersection points of two curves, from the two lists paired by nearness.
std::vector<Qe_Pt> points_of(const CCurve& c, const CDoubleArray& l) {
    std::vector<Qe_Pt> v;
    for (int i = 0; i < l.count(); ++i) v.push_back(at(c, l[i]));
    return v;
}

void expect_same_points(std::vector<Qe_Pt> a, std::vector<Qe_Pt> b, double tol) {
    ASSERT_EQ(a.size(), b.size());
    for (const Qe_Pt& p : a) {
        double best = 1e300;
        for (const Qe_Pt& q : b) best = std::min(best, (p - q).len());
        EXPECT_LT(best, tol) << p.x() << " " << p.y();
    }
}

TEST(Intersections, ClosedFormsAndTheGeneralMethod) {
    struct Case {
        const char* name;
        std::unique_ptr<CCurve> a, b, na, nb;  // client kinds, and the same as B-splines
        int count;
    };
    auto seg = [](Qe_Pt o, Qe_Pt e) {
        return std::unique_ptr<CCurve>(fx::nurbs(1, {0, 0}, 1, {{o.x(), o.y(), 0}, {e.x(), e.y(), 0}}).release());
    };
    auto circ = [](Qe_Pt c, double r) {
        auto n = fx::nine_point_circle(r);
        n->translate(Qe_Vec(c.x(), c.y(), 0));
        return std::unique_ptr<CCurve>(n.release());
    };
    std::vector<Case> cases;
    cases.push_back({"line line", std::make_unique<TestLine>(Qe_Pt(0, 0, 0), Qe_Vec(4, 1, 0)),
                     std::make_unique<TestLine>(Qe_Pt(1, -1, 0), Qe_Vec(1, 3, 0)), seg(Qe_Pt(0, 0, 0), Qe_Pt(4, 1, 0)),
                     seg(Qe_Pt(1, -1, 0), Qe_Pt(2, 2, 0)), 1});
    cases.push_back({"parallel", std::make_unique<TestLine>(Qe_Pt(0, 0, 0), Qe_Vec(4, 1, 0)),
                     std::make_unique<TestLine>(Qe_Pt(0, 1, 0), Qe_Vec(4, 1, 0)), seg(Qe_Pt(0, 0, 0), Qe_Pt(4, 1, 0)),
                     seg(Qe_Pt(0, 1, 0), Qe_Pt(4, 2, 0)), 0});
    cases.push_back({"line circle", std::make_unique<TestLine>(Qe_Pt(-3, 0.5, 0), Qe_Vec(6, 0, 0)),
                     std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 2.0), seg(Qe_Pt(-3, 0.5, 0), Qe_Pt(3, 0.5, 0)),
                     circ(Qe_Pt(0, 0, 0), 2.0), 2});
    cases.push_back({"tangent", std::make_unique<TestLine>(Qe_Pt(-3, 2, 0), Qe_Vec(6, 0, 0)),
                     std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 2.0), seg(Qe_Pt(-3, 2, 0), Qe_Pt(3, 2, 0)),
                     circ(Qe_Pt(0, 0, 0), 2.0), 1});
    cases.push_back({"missing", std::make_unique<TestLine>(Qe_Pt(-3, 2 * (1 + 2e-9), 0), Qe_Vec(6, 0, 0)),
                     std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 2.0), nullptr, nullptr, 0});
    cases.push_back({"circles 1 apart", std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 1.0),
                     std::make_unique<TestArc>(Qe_Pt(1, 0, 0), 1.0), circ(Qe_Pt(0, 0, 0), 1.0),
                     circ(Qe_Pt(1, 0, 0), 1.0), 2});
    // The first circle the larger: the closed form works from the smaller one.
    cases.push_back({"circles of radii 2 and 1", std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 2.0),
                     std::make_unique<TestArc>(Qe_Pt(2.5, 0, 0), 1.0), circ(Qe_Pt(0, 0, 0), 2.0),
                     circ(Qe_Pt(2.5, 0, 0), 1.0), 2});
    cases.push_back({"circles 2 apart", std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 1.0),
                     std::make_unique<TestArc>(Qe_Pt(2, 0, 0), 1.0), nullptr, nullptr, 1});
    cases.push_back({"concentric", std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 1.0),
                     std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 2.0), nullptr, nullptr, 0});
    // Arcs whose range is [pi, 2 pi]: their crossings' angles come out a turn low.
    cases.push_back({"lower arcs", std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 1.0, M_PI, 2 * M_PI),
                     std::make_unique<TestArc>(Qe_Pt(0.5, -0.5, 0), 1.0, M_PI, 2 * M_PI), nullptr, nullptr, 1});
    cases.push_back({"line and lower arc", std::make_unique<TestLine>(Qe_Pt(-3, -0.5, 0), Qe_Vec(6, 0, 0)),
                     std::make_unique<TestArc>(Qe_Pt(0, 0, 0), 1.0, M_PI, 2 * M_PI), nullptr, nullptr, 2});
    for (auto& k : cases) {
        for (bool flip : {false, true}) {
            const CCurve *a = flip ? k.b.get() : k.a.get(), *b = flip ? k.a.get() : k.b.get();
            CDoubleArray la, lb;
            ASSERT_EQ(intersect_curves(a, b, la, lb, 1e-9), 0) << k.name;
            ASSERT_EQ(la.count(), k.count) << k.name << " " << flip;
            ASSERT_EQ(lb.count(), k.count) << k.name;
            for (const Qe_Pt& p : points_of(*a, la)) {
                // Every point on A lies on B.
                Qe_Pt q;
                double t, d;
                ASSERT_EQ(b->closest_point(p, q, t, d, 1e-12), 0);
                EXPECT_LT(d, 1e-8) << k.name;
            }
            // B's list gives the same points on B.
            {
                SCOPED_TRACE(std::string(k.name) + (flip ? ", flipped" : ""));
                expect_same_points(points_of(*b, lb), points_of(*a, la), 1e-8);
            }
            if (!k.na || flip) continue;
            CDoubleArray na, nb;
            ASSERT_EQ(intersect_curves(k.na.get(), k.nb.get(), na, nb, 1e-9), 0) << k.name;
            SCOPED_TRACE(k.name);
            expect_same_points(points_of(*k.na, na), points_of(*a, la), 1e-9);
        }
    }
    double u1, u2;
    int n = -1;
    EXPECT_EQ(solve_trig(0, 0, 1, n, u1, u2), -1);
    ASSERT_EQ(solve_trig(1, 0, -1, n, u1, u2), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(u1, 0.0);
    ASSERT_EQ(solve_trig(0, 2, 1, n, u1, u2), 0);
    ASSERT_EQ(n, 2);
    EXPECT_NEAR(2 * std::sin(u1) + 1, 0, 1e-15);
    EXPECT_NEAR(2 * std::sin(u2) + 1, 0, 1e-15);
}

// Brute force: a dense polyline of each curve, segment crossings refined by bisection on
// the parameter of the first curve.
std::vector<Qe_Pt> brute_crossings(const CCurve& a, const CCurve& b) {
    const int n = 3000;
    auto poly = [&](const CCurve& c) {
        std::vector<Qe_Pt> v;
        for (int i = 0; i <= n; ++i) v.push_back(at(c, c.start_param() + (c.end_param() - c.start_param()) * i / n));
        return v;
    };
    const auto pa = poly(a), pb = poly(b);
    std::vector<Qe_Pt> out;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const Qe_Vec r = pa[i + 1] - pa[i], s = pb[j + 1] - pb[j], w = pb[j] - pa[i];
            const double den = r.x() * s.y() - r.y() * s.x();
            if (den == 0) continue;
            const double x = (w.x() * s.y() - w.y() * s.x()) / den, y = (w.x() * r.y() - w.y() * r.x()) / den;
            if (x < 0 || x >= 1 || y < 0 || y >= 1) continue;
            out.push_back(pa[i] + r * x);
        }
    return out;
}

TEST(Intersections, FittedCubicsAgainstBruteForce) {
    std::vector<ref::P3> pa, pb;
    for (int i = 0; i < 16; ++i) {
        pa.push_back({i * 1.0, std::sin(i * 1.1) * 2, 0});
        pb.push_back({i * 1.0 + 0.3, std::cos(i * 0.9) * 2, 0});
    }
    auto a = fx::fitted(pa), b = fx::fitted(pb);
    CDoubleArray la, lb;
    ASSERT_EQ(intersect_curves(a.get(), b.get(), la, lb, 1e-9), 0);
    const auto brute = brute_crossings(*a, *b);
    ASSERT_GE(brute.size(), 6u);
    EXPECT_EQ(la.count(), static_cast<int>(brute.size()));
    expect_same_points(brute, points_of(*a, la), 1e-4);
    expect_same_points(points_of(*b, lb), points_of(*a, la), 1e-8);
    // End contacts: a segment from a point of the curve outwards.
    Qe_Pt on = at(*a, 3.7);
    TestLine stub(on, Qe_Vec(0.3, 5, 0));
    CDoubleArray ls, lc;
    ASSERT_EQ(intersect_curves(&stub, a.get(), ls, lc, 1e-9), 0);
    ASSERT_GE(ls.count(), 1);
    EXPECT_NEAR(ls[0], 0.0, 1e-12);
    // A curve with itself: the end contacts only where not already listed.
    CDoubleArray s1, s2;
    ASSERT_EQ(intersect_curves(a.get(), a.get(), s1, s2, 1e-9), 0);
    for (int i = 0; i < s1.count(); ++i) EXPECT_NEAR(s1[i], s2[i], 1e-9);
}

// Hands every query to another curve but has no pieces to offer, so that intersect_curves
// runs the search from sample parameters: the reference for the search over pieces.
class SamplesOnly : public CCurve {
public:
    explicit SamplesOnly(const CCurve& c) : m_c(c) {}
    CCurve* clone() const override { return new SamplesOnly(m_c); }
    double start_param() const override { return m_c.start_param(); }
    double end_param() const override { return m_c.end_param(); }
    double period() const override { return m_c.period(); }
    int derivatives(double t, int order, Qe_Vec* out) const override { return m_c.derivatives(t, order, out); }
    int point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const override { return m_c.point_and_tangent(t, p, d); }
    int point(double t, Qe_Pt& p) const override { return m_c.point(t, p); }
    int local_frame(double t, Qe_Pt& p, Qe_Vec& tangent, double& k, double* speed,
                    const Qe_Vec* axis) const override {
        return m_c.local_frame(t, p, tangent, k, speed, axis);
    }
    bool normalize_param(double& t) const override { return m_c.normalize_param(t); }
    int sample_params(CDoubleArray& out, const double* a, const double* b) const override {
        return m_c.sample_params(out, a, b);
    }
    int break_params(int c, std::unique_ptr<CDoubleArray>& out) const override { return m_c.break_params(c, out); }
    int closest_point(const Qe_Pt& q, Qe_Pt& p, double& t, double& dist, double tol, double excluded) const override {
        return m_c.closest_point(q, p, t, dist, tol, excluded);
    }

private:
    const CCurve& m_c;
};

// A periodic cubic through a ring of eight points, alternately at radius 3 and 4.
std::unique_ptr<CNURBS> ring(Qe_Vec shift) {
    std::vector<ref::P3> pts;
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4, r = 3 + i % 2;
        pts.push_back({r * std::cos(a) + shift.x(), r * std::sin(a) + shift.y(), 0});
    }
    return fx::nurbs(3, {0, 1, 2, 3, 4, 5, 6, 7}, 8, pts);
}

TEST(Intersections, PieceSearchAgainstPolylinesAndSamples) {
    std::vector<ref::P3> wa, wb;
    for (int i = 0; i < 60; ++i) {
        wa.push_back({i * 0.25, std::sin(i * 0.9) * 2, 0});
        wb.push_back({i * 0.25 + 0.05, std::cos(i * 0.7) * 2, 0});
    }
    struct Case {
        const char* name;
        std::unique_ptr<CCurve> a, b;
        int at_least;
    };
    std::vector<Case> cases;
    cases.push_back({"many crossings", fx::fitted(wa), fx::fitted(wb), 18});
    // A range cut inside spans at both ends, and a periodic range across the seam.
    auto cut = fx::fitted(wa);
    ASSERT_EQ(cut->set_range(2.3, 11.9), 0);
    cases.push_back({"cut range", std::move(cut), fx::fitted(wb), 5});
    auto seam = ring(Qe_Vec());
    ASSERT_TRUE(seam);
    ASSERT_EQ(seam->set_range(2.2, 10.2), 0);
    cases.push_back({"periodic rings", std::move(seam), ring(Qe_Vec(0.6, 0.3, 0)), 2});
    auto c2 = fx::nine_point_circle(1.0);
    c2->translate(Qe_Vec(1, 0.3, 0));
    cases.push_back({"rational circles", fx::nine_point_circle(1.0), std::move(c2), 2});
    // Degree 1: every span is straight, and the crossings sit at knots of one or both.
    cases.push_back({"polylines", fx::nurbs(1, {0, 0, 1, 2, 3}, 4, {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}, {4, 0, 0}}),
                     fx::nurbs(1, {0, 0, 1, 2, 3}, 4, {{0, 1, 0}, {1, 0, 0}, {2, 1, 0}, {3, 0, 0}, {4, 1, 0}}), 4});
    for (auto& k : cases) {
        SCOPED_TRACE(k.name);
        ASSERT_TRUE(k.a && k.b);
        CDoubleArray la, lb, sa, sb;
        ASSERT_EQ(intersect_curves(k.a.get(), k.b.get(), la, lb, 1e-9), 0);
        const SamplesOnly ra(*k.a), rb(*k.b);
        ASSERT_EQ(intersect_curves(&ra, &rb, sa, sb, 1e-9), 0);
        ASSERT_GE(la.count(), k.at_least);
        // The polylines place a grazing crossing only to their chords' sag over its angle;
        // the sample search places it as the solve does.
        const auto brute = brute_crossings(*k.a, *k.b);
        EXPECT_EQ(la.count(), static_cast<int>(brute.size()));
        expect_same_points(brute, points_of(*k.a, la), 1e-2);
        expect_same_points(points_of(*k.a, sa), points_of(*k.a, la), 1e-8);
        expect_same_points(points_of(*k.b, lb), points_of(*k.a, la), 1e-8);
    }
}

TEST(Intersections, NearTangentCrossingsAndTouches) {
    // A segment at height y across the rational circle of radius 2 about the origin: the
    // crossings at x = +-sqrt(4 - y^2). Below 1e-9 from the top (the tolerance) the two
    // cannot be told from a touch and one point is listed.
    auto circle = fx::nine_point_circle(2.0);
    struct Row {
        double y;
        int count;
    } rows[] = {{2 - 1e-2, 2}, {2 - 1e-5, 2}, {2 - 1e-8, 2}, {2 - 3e-10, 1}, {2, 1}, {2 + 1e-8, 0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.y - 2);
        auto seg = fx::nurbs(1, {0, 0}, 1, {{-3, r.y, 0}, {3, r.y, 0}});
        CDoubleArray la, lb;
        ASSERT_EQ(intersect_curves(seg.get(), circle.get(), la, lb, 1e-9), 0);
        ASSERT_EQ(la.count(), r.count);
        const double w = std::sqrt(std::max(0.0, 4 - r.y * r.y));
        for (const Qe_Pt& p : points_of(*seg, la)) {
            if (r.count == 2) {
                EXPECT_NEAR(std::fabs(p.x()), w, 1e-9);
            }
            EXPECT_LE(std::fabs(p.x()), w + 1e-9);
        }
        expect_same_points(points_of(*circle, lb), points_of(*seg, la), 1e-8);
    }
    // A line 2 (1 - 1e-3) from the centre at an angle: two crossings 2 sqrt(1 - 0.999^2) 2
    // apart along it, symmetric about the foot of the centre.
    const double a = 0.3, d = 2 * (1 - 1e-3), half = std::sqrt(4 - d * d);
    const Qe_Pt foot(d * std::cos(a), d * std::sin(a), 0);
    const Qe_Vec along(-std::sin(a), std::cos(a), 0);
    const Qe_Pt s0 = foot - along * 3, s1 = foot + along * 3;
    auto tilted = fx::nurbs(1, {0, 0}, 1, {{s0.x(), s0.y(), 0}, {s1.x(), s1.y(), 0}});
    CDoubleArray ta, tb;
    ASSERT_EQ(intersect_curves(tilted.get(), circle.get(), ta, tb, 1e-9), 0);
    ASSERT_EQ(ta.count(), 2);
    for (int i = 0; i < 2; ++i) EXPECT_NEAR(std::fabs((at(*tilted, ta[i]) - foot) % along), half, 1e-9);
    // Circles of radius 1: touching from outside (one point), and centres 1.99999 apart
    // (two crossings at a grazing angle).
    auto c1 = fx::nine_point_circle(1.0), touching = fx::nine_point_circle(1.0), grazing = fx::nine_point_circle(1.0);
    touching->translate(Qe_Vec(2, 0, 0));
    grazing->translate(Qe_Vec(1.99999, 0, 0));
    CDoubleArray ua, ub, ga, gb;
    ASSERT_EQ(intersect_curves(c1.get(), touching.get(), ua, ub, 1e-9), 0);
    ASSERT_EQ(ua.count(), 1);
    EXPECT_LT((at(*c1, ua[0]) - Qe_Pt(1, 0, 0)).len(), 1e-8);
    ASSERT_EQ(intersect_curves(c1.get(), grazing.get(), ga, gb, 1e-9), 0);
    ASSERT_EQ(ga.count(), 2);
    const double gx = 1.99999 / 2, gy = std::sqrt(1 - gx * gx);
    expect_same_points({Qe_Pt(gx, gy, 0), Qe_Pt(gx, -gy, 0)}, points_of(*c1, ga), 1e-9);
}

// A line kind as long as a construction line crosses a curve where a short one does, at
// the same parameters; its length does not blunt the search's tests.
TEST(Intersections, LongLineKinds) {
    std::vector<ref::P3> pts;
    for (int i = 0; i < 16; ++i) pts.push_back({i * 1.0, std::sin(i * 1.1) * 2, 0});
    auto a = fx::fitted(pts);
    const Qe_Pt o(7.3, 0.1, 0);
    const Qe_Vec d(1, 0.05, 0);
    for (double reach : {8.0, 1e6, 1e12, 1e15, 1e18}) {
        SCOPED_TRACE(reach);
        const TestLine line(o, d, -reach, reach), short_line(o, d, -8, 8);
        CDoubleArray la, lb, sa, sb;
        ASSERT_EQ(intersect_curves(&line, a.get(), la, lb, 1e-9), 0);
        ASSERT_EQ(intersect_curves(&short_line, a.get(), sa, sb, 1e-9), 0);
        ASSERT_GE(sa.count(), 4);
        ASSERT_EQ(la.count(), sa.count());
        for (int i = 0; i < la.count(); ++i) {
            EXPECT_NEAR(la[i], sa[i], 1e-9);
            EXPECT_NEAR(lb[i], sb[i], 1e-9);
        }
    }
}

// Stored pairs of random rational B-splines with double control points: spans that are
// straight up to rounding (their control points one point but for the last bits), and
// spans that crawl to a stop, where a solve started from the chords runs off. Every
// crossing of the polylines and of the sample search is listed.
TEST(Intersections, StoredCurvesWithDoublePoints) {
    struct Stored {
        int p;
        std::vector<double> knots;
        double length;
        std::vector<ref::P3> points;
        std::vector<double> weights;
    };
    struct Case {
        const char* name;
        Stored a, b;
    } cases[] = {
        {"straight spans",
         {2,
          {0, 0, 0, 1.1279797520439543, 2.0745462067018714, 3.1565898140391644, 4.1490522594277932,
           5.0428267052932689, 5.267474431367547},
          6.1916076832084261,
          {{-4.2539125249106657, 1.3275798124216305, 0},
           {-2.7109127640644997, -2.2032038222613575, 0},
           {4.8133027562164017, 2.7044001946787413, 0},
           {-4.8248277765585019, -3.451831578372119, 0},
           {-4.8248277765585019, -3.451831578372119, 0},
           {1.0256690243190105, -0.17814579229546634, 0},
           {-0.18347211295527366, 2.4311138786475315, 0},
           {0.72246524166878689, -2.5325150622365058, 0},
           {-0.33470547168317388, -1.8870960628270605, 0}},
          {1, 1, 1.5657960244073568, 3.9216754151284454, 1, 3.4344528185757768, 1.3652149820563655, 1, 1}},
         {2,
          {0, 1.0816645509896572, 2.076876667783782, 3.0880741450604403, 4.1858945913164405, 5.0289934519918083,
           6.0605229257447419, 7.0068664087703443},
          8,
          {{-4.3445832941373128, 0.89218193330948559, 0},
           {-0.1185584412552565, 1.3713189095110092, 0},
           {-0.1185584412552565, 1.3713189095110092, 0},
           {-0.43208262567972078, 0.045234869274528577, 0},
           {-0.43208262567972078, 0.045234869274528577, 0},
           {-3.4394140373138118, -4.1264600909526585, 0},
           {-3.4394140373138118, -4.1264600909526585, 0},
           {-2.4363099447066174, 1.7836816839963179, 0}},
          {}}},
        {"crawling end",
         {5,
          {0, 0, 0, 0, 0, 0, 0.77267492109995262},
          1.2389265210861362,
          {{1.7548994313291022, -2.067718364060442, 0},
           {1.7548994313291022, -2.067718364060442, 0},
           {-4.8206218136983523, -3.6997359123826756, 0},
           {-1.8542075313751463, -0.85390734476353636, 0},
           {-1.8542075313751463, -0.85390734476353636, 0},
           {-1.8542075313751463, -0.85390734476353636, 0},
           {-1.8542075313751463, -0.85390734476353636, 0}},
          {}},
         {5,
          {0, 1.0048528688710134, 2.0012039575767551, 3.0098321299053605, 4.2583987353201449, 5.1937509382204778,
           6.1317143926115483, 7.1387790347984987, 8.2135786493306231, 9.2251105910149178},
          10,
          {{-1.5347458960654334, -1.5027213580031789, 0},
           {-4.6430168879667972, 1.7741476106068044, 0},
           {-1.7507586236821049, -4.5853658382292606, 0},
           {-2.5038783017379753, 3.2731711696545425, 0},
           {0.12416876052929027, 2.3226151974465425, 0},
           {3.1466391341077369, 2.0869761125384665, 0},
           {1.869392427863841, -3.5410324689073658, 0},
           {-0.85308239914597461, -0.712032284719327, 0},
           {-0.97149594143525242, -2.632302086773183, 0},
           {-0.97149594143525242, -2.632302086773183, 0}},
          {1, 1, 3.4978240492926553, 2.5650197433871416, 4.4809918469949901, 2.1591560933869083, 2.1968430469902529,
           0.871234170981949, 2.361281469390498, 1}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto a = fx::nurbs(k.a.p, k.a.knots, k.a.length, k.a.points, k.a.weights);
        auto b = fx::nurbs(k.b.p, k.b.knots, k.b.length, k.b.points, k.b.weights);
        ASSERT_TRUE(a && b);
        CDoubleArray la, lb, sa, sb;
        ASSERT_EQ(intersect_curves(a.get(), b.get(), la, lb, 1e-9), 0);
        const SamplesOnly ra(*a), rb(*b);
        ASSERT_EQ(intersect_curves(&ra, &rb, sa, sb, 1e-9), 0);
        const auto brute = brute_crossings(*a, *b);
        ASSERT_GE(brute.size(), 6u);
        EXPECT_EQ(la.count(), static_cast<int>(brute.size()));
        expect_same_points(brute, points_of(*a, la), 1e-3);
        expect_same_points(points_of(*a, sa), points_of(*a, la), 1e-8);
    }
}

TEST(Intersections, CurvesRunningTogetherGiveTheirEndContacts) {
    std::vector<ref::P3> pts;
    for (int i = 0; i < 16; ++i) pts.push_back({i * 1.0, std::sin(i * 1.1) * 2, 0});
    auto a = fx::fitted(pts);
    std::unique_ptr<CCurve> reversed(a->clone()), trimmed(a->clone());
    ASSERT_EQ(reversed->reverse(), 0);
    ASSERT_EQ(trimmed->trim(2.3, 9.7, trimmed), 0);
    struct Case {
        const char* name;
        const CCurve* b;
        std::vector<double> on_a;
    } cases[] = {{"itself", a.get(), {a->start_param(), a->end_param()}},
                 {"reversed", reversed.get(), {a->start_param(), a->end_param()}},
                 {"trimmed copy", trimmed.get(), {2.3, 9.7}}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        CDoubleArray la, lb;
        ASSERT_EQ(intersect_curves(a.get(), k.b, la, lb, 1e-9), 0);
        ASSERT_EQ(la.count(), static_cast<int>(k.on_a.size()));
        for (int i = 0; i < la.count(); ++i) EXPECT_NEAR(la[i], k.on_a[i], 1e-9);
    }
}

TEST(PointQueries, ClosestAndNearest) {
    fx::TestCircle c(2.0, 0.0, 2 * M_PI, true, Qe_Pt(1, 1, 0));
    for (const Qe_Pt& q : {Qe_Pt(1.5, 1.2, 0), Qe_Pt(3, 1, 0), Qe_Pt(-4, 5, 0), Qe_Pt(1 + 2 * std::cos(2.0), 1 + 2 * std::sin(2.0), 0)}) {
        Qe_Pt p;
        double t = 0, d = 0;
        ASSERT_EQ(c.closest_point(q, p, t, d, 1e-12), 0);
        EXPECT_NEAR(d, std::fabs((q - Qe_Pt(1, 1, 0)).len() - 2.0), 1e-12);
        EXPECT_NEAR((at(c, t) - p).len(), 0, 1e-12);
    }
    // A fitted cubic against a dense search.
    auto w = fx::wavy();
    for (const Qe_Pt& q : {Qe_Pt(2.5, 3, 0), Qe_Pt(6, -3, 0), Qe_Pt(4.2, 1, 0)}) {
        Qe_Pt p;
        double t = 0, d = 0;
        ASSERT_EQ(w->closest_point(q, p, t, d, 1e-12), 0);
        double best = 1e300;
        for (int i = 0; i <= 20000; ++i) best = std::min(best, (at(*w, w->end_param() * i / 20000) - q).len());
        EXPECT_NEAR(d, best, 1e-6);
        EXPECT_LE(d, best + 1e-12);
    }
    // Beyond a segment's end every projection leaves the range: no closest point, but the
    // end is the nearest point with ends.
    auto seg = fx::nurbs(1, {0, 0}, 1, {{0, 0, 0}, {1, 0, 0}});
    TestLine line(Qe_Pt(0, 0, 0), Qe_Vec(1, 0, 0));
    for (const CCurve* s : {static_cast<const CCurve*>(seg.get()), static_cast<const CCurve*>(&line)}) {
        Qe_Pt p(7, 7, 7);
        double t = 5, d = 5;
        EXPECT_EQ(s->closest_point(Qe_Pt(3, 1, 0), p, t, d, 1e-9, 0.0 + (s == seg.get() ? 0.0 : 1e30)),
                  s == seg.get() ? 0 : curve_status::no_result);
        if (s != seg.get()) {
            EXPECT_EQ(p.x(), 7);
            EXPECT_EQ(t, 5);
        }
        ASSERT_EQ(s->nearest_point_with_ends(Qe_Pt(3, 1, 0), p, t, d), 0);
        EXPECT_EQ(t, 1.0);
        EXPECT_NEAR(d, std::sqrt(5.0), 1e-15);
        ASSERT_EQ(s->nearest_point_with_ends(Qe_Pt(-3, 1, 0), p, t, d), 0);
        EXPECT_EQ(t, 0.0);
        ASSERT_EQ(s->nearest_point_with_ends(Qe_Pt(-3, 1, 0), p, t, d, true), 0);
        // The flag skips the start point only: a B-spline's own search still finds it.
        EXPECT_EQ(t, s == seg.get() ? 0.0 : 1.0);
    }
}

TEST(PointQueries, ContainsAndTangents) {
    auto w = fx::wavy();
    fx::TestCircle c(2.0, 0.0, 2 * M_PI, true);
    const double tol = 1e-3;
    for (const CCurve* cv : {static_cast<const CCurve*>(w.get()), static_cast<const CCurve*>(&c)}) {
        for (double u : {0.3, 1.7, 4.1}) {
            Qe_Pt p;
            Qe_Vec d;
            ASSERT_EQ(cv->point_and_tangent(u, p, d), 0);
            const Qe_Vec n = Qe_Vec(-d.y(), d.x(), 0) / d.len();
            EXPECT_TRUE(cv->contains_point(p + n * (tol * 0.9), tol)) << u;
            EXPECT_FALSE(cv->contains_point(p + n * (tol * 1.1), tol)) << u;
            EXPECT_TRUE(cv->CCurve::contains_point(p - n * (tol * 0.9), tol)) << u;
            EXPECT_FALSE(cv->CCurve::contains_point(p - n * (tol * 1.1), tol)) << u;
        }
    }
    // Tangents to a circle of radius R from a point at distance D touch at +-acos(R / D).
    double t = 0;
    ASSERT_EQ(c.tangent_from_point(Qe_Pt(5, 0, 0), 1.0, t), 0);
    EXPECT_NEAR(t, std::acos(2.0 / 5), 1e-12);
    ASSERT_EQ(c.tangent_from_point(Qe_Pt(5, 0, 0), -1.0, t), 0);
    EXPECT_NEAR(t, 2 * M_PI - std::acos(2.0 / 5), 1e-12);
    int sign = 0;
    TestLine a(Qe_Pt(0, 0, 0), Qe_Vec(1, 0, 0)), up(Qe_Pt(1, 0, 0), Qe_Vec(1, 1, 0)), down(Qe_Pt(1, 0, 0), Qe_Vec(1, -1, 0));
    ASSERT_EQ(turn_side(&a, &up, 1, 0, sign), 0);
    EXPECT_EQ(sign, 1);
    ASSERT_EQ(turn_side(&a, &down, 1, 0, sign), 0);
    EXPECT_EQ(sign, -1);
    fx::TestCircle left(1.0, -M_PI / 2, 0, false, Qe_Pt(1, 1, 0));  // leaves (1, 0) along +x, turning left
    ASSERT_EQ(turn_side(&a, &left, 1, -M_PI / 2, sign), 0);
    EXPECT_EQ(sign, 1);
}

int ray_count(const CCurve& c, Qe_Pt o, Qe_Vec d) {
    TestLine ray(o, d, -1e6, 1e6);
    int n = 0;
    EXPECT_EQ(c.count_ray_crossings(ray, n), 0);
    return n;
}

TEST(LineCrossings, SamplesOnTheLine) {
    struct Case {
        const char* name;
        std::vector<ref::P3> pts;
        int count;
    } cases[] = {
        {"through a vertex", {{1, -3, 0}, {1, 0, 0}, {1, 3, 0}}, 1},
        {"touch from above", {{0, 3, 0}, {1, 0, 0}, {2, 3, 0}}, 0},
        {"touch from below", {{0, -3, 0}, {1, 0, 0}, {2, -3, 0}}, 0},
        {"plain", {{1, -3, 0}, {1.5, 1, 0}, {1, 3, 0}}, 1},
        {"behind the origin", {{-1, -3, 0}, {-1, 3, 0}}, 0},
    };
    for (auto& k : cases) {
        std::vector<double> knots(k.pts.size(), 0.0);
        for (size_t i = 2; i < knots.size(); ++i) knots[i] = double(i - 1);
        auto c = fx::nurbs(1, knots, double(k.pts.size() - 1), k.pts);
        ASSERT_TRUE(c) << k.name;
        EXPECT_EQ(ray_count(*c, Qe_Pt(0, 0, 0), Qe_Vec(1, 0, 0)), k.count) << k.name;
    }
    // Rays from a circle's centre through its seam, a knot and between samples.
    auto circle = fx::nine_point_circle(2.0);
    for (double a : {0.0, M_PI / 2, 0.1234, M_PI + 0.05, 2 * M_PI - 1e-3})
        EXPECT_EQ(ray_count(*circle, Qe_Pt(0, 0, 0), Qe_Vec(std::cos(a), std::sin(a), 0)), 1) << a;
    // The extremes of a horizontal line at height h: +-sqrt(R^2 - h^2).
    for (double h : {0.0, 0.7, -1.9}) {
        TestLine line(Qe_Pt(0, h, 0), Qe_Vec(1, 0, 0), -10, 10);
        double e0 = 1e30, e1 = -1e30, e2 = -1e30, e3 = 1e30;
        double* ext[4] = {&e0, &e1, &e2, &e3};
        ASSERT_EQ(circle->line_crossings(line, false, ext), 0);
        const double w = std::sqrt(4 - h * h);
        EXPECT_NEAR(e0, w, 1e-9);
        EXPECT_NEAR(e1, w, 1e-9);
        EXPECT_NEAR(e2, -w, 1e-9);
        EXPECT_NEAR(e3, -w, 1e-9);
        fx::TestCircle round(2.0);
        double f0 = 1e30, f3 = 1e30;
        double* ext2[4] = {&f0, nullptr, nullptr, &f3};
        ASSERT_EQ(round.line_crossings(line, false, ext2), 0);  // the shared way
        EXPECT_NEAR(f0, w, 1e-9);
        EXPECT_NEAR(f3, -w, 1e-9);
    }
    // Parity of the count against the region test on a dense polygon of a closed spline.
    std::vector<ref::P3> pts;
    for (int i = 0; i < 10; ++i) {
        const double a = i * M_PI / 5, r = 3 + std::sin(2 * a) * 1.2;
        pts.push_back({r * std::cos(a), r * std::sin(a), 0});
    }
    pts.push_back(pts.front());
    auto blob = fx::fitted(pts, 1);
    std::vector<Qe_Pt> ring;
    for (int i = 0; i < 4000; ++i) ring.push_back(at(*blob, blob->end_param() * i / 4000));
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-5, 5), ang(0, 2 * M_PI);
    int tested = 0;
    for (int i = 0; i < 1000; ++i) {
        const Qe_Pt q(u(rng), u(rng), 0);
        Qe_Pt p;
        double t = 0, d = 0;
        if (blob->closest_point(q, p, t, d, 1e-9) == 0 && d < 1e-3) continue;  // off the boundary only
        const double a = ang(rng);
        const int n = ray_count(*blob, q, Qe_Vec(std::cos(a), std::sin(a), 0));
        EXPECT_EQ(n % 2 == 1, is_pos_in_region(q, ring.data(), static_cast<int>(ring.size())))
            << q.x() << " " << q.y() << " " << a;
        ++tested;
    }
    EXPECT_GT(tested, 900);
}

TEST(SelfIntersections, LoopsAndEnds) {
    // A loop: through (0,0), (4,0), (2,-2), (2,2) and on; it crosses itself once.
    auto loop = fx::fitted({{0, 0, 0}, {3, 0, 0}, {4, 1, 0}, {3, 2, 0}, {2, 1, 0}, {2, -1, 0}, {2, -3, 0}});
    CDoubleArray out;
    ASSERT_EQ(loop->self_intersections(out, 1e-9), 0);
    ASSERT_EQ(out.count(), 2);
    EXPECT_LT((at(*loop, out[0]) - at(*loop, out[1])).len(), 1e-8);
    // Brute force: the one crossing of the dense polygon with itself.
    const int n = 4000;
    std::vector<Qe_Pt> poly;
    for (int i = 0; i <= n; ++i) poly.push_back(at(*loop, loop->end_param() * i / n));
    int found = 0;
    for (int i = 0; i < n; ++i)
        for (int j = i + 2; j < n; ++j) {
            const Qe_Vec r = poly[i + 1] - poly[i], s2 = poly[j + 1] - poly[j], w = poly[j] - poly[i];
            const double den = r.x() * s2.y() - r.y() * s2.x();
            if (den == 0) continue;
            const double x = (w.x() * s2.y() - w.y() * s2.x()) / den, y = (w.x() * r.y() - w.y() * r.x()) / den;
            if (x >= 0 && x < 1 && y >= 0 && y < 1) {
                ++found;
                EXPECT_LT((poly[i] + r * x - at(*loop, out[0])).len(), 1e-3);
            }
        }
    EXPECT_EQ(found, 1);
    // An open curve without crossings: none, not its own ends.
    CDoubleArray none;
    ASSERT_EQ(fx::wavy()->self_intersections(none, 1e-9), 0);
    EXPECT_EQ(none.count(), 0);
    // A curve that passes through its own start once more.
    auto back = fx::fitted({{0, 0, 0}, {2, 1, 0}, {3, 3, 0}, {1, 3, 0}, {0, 0, 0}, {-1, -2, 0}});
    CDoubleArray one;
    ASSERT_EQ(back->self_intersections(one, 1e-9), 0);
    ASSERT_EQ(one.count(), 2);
    EXPECT_EQ(one[0], back->start_param());
    EXPECT_LT(at(*back, one[1]).x() * at(*back, one[1]).x() + at(*back, one[1]).y() * at(*back, one[1]).y(), 1e-16);
}

TEST(Fillets, LinesAndCurves) {
    // Perpendicular segments of length 10 on [0, 1], and the same as line kinds on [0, 10].
    struct Case {
        double range, r, a;
        double want_r, setback;
    } cases[] = {{1, 2, 0.5, 2, 2}, {1, 20, 0.5, 5, 5}, {10, 2, 0.5, 2, 2}, {10, 20, 0.5, 5, 5}, {1, 2, 0.1, 1, 1}};
    for (auto& k : cases) {
        const double l = 10 / k.range;
        TestLine a(Qe_Pt(0, 0, 0), Qe_Vec(l, 0, 0), 0, k.range), b(Qe_Pt(10, 0, 0), Qe_Vec(0, l, 0), 0, k.range);
        std::unique_ptr<CIntersectionProblem> prob;
        ASSERT_EQ(make_intersection_problem(&a, &b, false, prob), 0);
        double r = k.r, ta = 0, tb = 0;
        ASSERT_EQ(prob->fillet(r, k.a, k.a, ta, tb), 0);
        EXPECT_NEAR(r, k.want_r, 1e-12);
        EXPECT_NEAR((at(a, ta) - Qe_Pt(10 - k.setback, 0, 0)).len(), 0, 1e-12) << k.range << " " << k.r;
        EXPECT_NEAR((at(b, tb) - Qe_Pt(10, k.setback, 0)).len(), 0, 1e-12);
        EXPECT_EQ(prob->fillet(r, 0.0, 0.5, ta, tb), -1);
    }
    // A segment into a circle and two fitted curves: the general method, checked by the
    // geometry of the result (tangent points r from one centre, radii across the tangents).
    auto seg = fx::nurbs(1, {0, 0}, 1, {{-4, -2, 0}, {0, -2, 0}});
    fx::TestCircle arc(2.0, -M_PI / 2, M_PI / 2);
    auto c1 = fx::fitted({{0, 0, 0}, {2, 0.5, 0}, {4, 0, 0}, {6, 0.5, 0}});
    auto c2 = fx::fitted({{6, 0.5, 0}, {7, 2, 0}, {6.5, 4, 0}, {7, 6, 0}});
    struct Pair {
        const CCurve *a, *b;
        double r;
    } pairs[] = {{seg.get(), &arc, 0.5}, {c1.get(), c2.get(), 0.4}};
    for (auto& k : pairs) {
        std::unique_ptr<CIntersectionProblem> prob;
        ASSERT_EQ(make_intersection_problem(k.a, k.b, false, prob), 0);
        double r = k.r, ta = 0, tb = 0;
        ASSERT_EQ(prob->fillet(r, 0.5, 0.5, ta, tb), 0);
        Qe_Pt pa, pb;
        Qe_Vec da, db;
        ASSERT_EQ(k.a->point_and_tangent(ta, pa, da), 0);
        ASSERT_EQ(k.b->point_and_tangent(tb, pb, db), 0);
        int g = 0;
        ASSERT_EQ(turn_side(k.a, k.b, k.a->end_param(), k.b->start_param(), g), 0);
        const Qe_Pt centre = pa + Qe_Vec(-da.y(), da.x(), 0) * (g * r / da.len());
        EXPECT_NEAR((centre - pa).len(), r, 1e-9);
        EXPECT_NEAR((centre - pb).len(), r, 1e-8);
        EXPECT_NEAR((pb - centre) % db / db.len(), 0, 1e-8);
        EXPECT_LE(r, k.r);
    }
}

TEST(BoundTest, Table) {
    auto c = fx::nurbs(2, {0, 0, 0}, 1, {{0, 0, 0}, {50, 10, 0}, {100, 0, 0}});
    struct Case {
        double bound;
        int st;
    } cases[] = {{0.0, 0}, {1e-10, 0}, {0.001, 0}, {0.0099, 0}, {0.0101, curve_status::out_of_range},
                 {-0.0101, curve_status::out_of_range}, {1.0, curve_status::out_of_range}};
    for (auto& k : cases) EXPECT_EQ(c->bound_test(k.bound), k.st) << k.bound;
    fx::TestCircle other(1.0);
    EXPECT_EQ(other.bound_test(1.0), -1);
}

}  // namespace
