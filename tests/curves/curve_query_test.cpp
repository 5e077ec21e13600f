#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "curves/curve_fixtures.h"
#include "curves/curve_solvers.h"
#include "curves/intersection.h"

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

}  // namespace
