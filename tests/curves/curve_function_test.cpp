#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve_fixtures.h"
#include "curves/curve_function.h"
#include "curves/curve_view.h"

namespace {

// A polynomial in the parameter, whatever the curve.
class Poly : public CCurveFunction {
public:
    Poly(const CCurve* c, std::vector<double> coef) : CCurveFunction(c, 0, 1), m_coef(std::move(coef)) {}
    CCurveFunction* clone() const override { return new Poly(*this); }
    int value(double t, double& f) const override {
        f = 0;
        for (size_t i = m_coef.size(); i-- > 0;) f = f * t + m_coef[i];
        return 0;
    }
    double integral(double a, double b) const {
        double s = 0;
        for (size_t i = 0; i < m_coef.size(); ++i)
            s += m_coef[i] * (std::pow(b, double(i + 1)) - std::pow(a, double(i + 1))) / double(i + 1);
        return s;
    }

private:
    std::vector<double> m_coef;
};

TEST(CurveIntegrate, SixPointGaussLegendre) {
    fx::TestCircle c(1.0);
    Poly p11(&c, {0.3, -1, 2, 0.5, -0.25, 1, 3, -2, 0.7, 1.1, -0.9, 0.6});
    double v = 0;
    ASSERT_EQ(c.integrate(p11, -0.4, 1.3, v), 0);
    EXPECT_NEAR(v, p11.integral(-0.4, 1.3), 1e-15 * 20);
    std::vector<double> t12(13, 0.0);
    t12[12] = 1.0;
    Poly p12(&c, t12);
    ASSERT_EQ(c.integrate(p12, 0, 1, v), 0);
    // The rule's own error term for t^12: 720^4 / (13 (12!)^2).
    EXPECT_NEAR(1.0 / 13 - v, 9.0094e-8, 1e-11);
}

// Span by span: exact for polynomials of degree 11 between limits inside spans.
TEST(CurveIntegrate, NurbsSpanBySpan) {
    auto c = fx::nurbs(3, {0, 0, 0, 0, 0.7, 1.9}, 3, {{0, 0, 0}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}, {4, 0, 0}, {5, 1, 0}});
    ASSERT_TRUE(c);
    std::vector<double> k(12, 0.0);
    k[11] = 1.0;
    k[3] = -2.0;
    Poly f(c.get(), k);
    double v = 0;
    ASSERT_EQ(c->integrate(f, 0.3, 2.6, v), 0);
    EXPECT_NEAR(v, f.integral(0.3, 2.6), 1e-15 * f.integral(0.3, 2.6));
    ASSERT_EQ(c->integrate(f, 2.6, 0.3, v), 0);
    EXPECT_NEAR(v, -f.integral(0.3, 2.6), 1e-15 * f.integral(0.3, 2.6));
    // The sweep of a cubic is a polynomial of degree 5 inside each span, not across the
    // knots: exact span by span (against fine Simpson sums over each knot piece), far off
    // with one rule over the whole stretch.
    CSweepFunction sweep(c.get());
    double ref = 0;
    const double cuts[] = {0.3, 0.7, 1.9, 2.6};
    for (int i = 0; i < 3; ++i) {
        const double a = cuts[i], b = cuts[i + 1], h = (b - a) / 64;
        for (int j = 0; j < 64; ++j) {
            double f0, f1, f2;
            sweep.value(a + j * h, f0);
            sweep.value(a + j * h + h / 2, f1);
            sweep.value(a + (j + 1) * h, f2);
            ref += h / 6 * (f0 + 4 * f1 + f2);
        }
    }
    ASSERT_EQ(c->integrate(sweep, 0.3, 2.6, v), 0);
    EXPECT_NEAR(v, ref, 1e-9 * std::fabs(ref));
    double whole = 0;
    ASSERT_EQ(c->CCurve::integrate(sweep, 0.3, 2.6, whole), 0);
    EXPECT_GT(std::fabs(whole - ref), 1e-4 * std::fabs(ref));
    EXPECT_EQ(c->integrate(f, -0.1, 1, v), curve_status::bad_argument);
    EXPECT_EQ(c->integrate(f, 0, 3.01, v), curve_status::bad_argument);
    EXPECT_EQ(c->integrate(f, 0, 3 + 1e-10, v), 0);
    // A periodic curve integrates up to one period from any start.
    auto per = fx::nurbs(2, {0, 1, 2, 3}, 4, {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}});
    ASSERT_TRUE(per);
    Poly one(per.get(), {1.0});
    ASSERT_EQ(per->integrate(one, 2.5, 6.5, v), 0);
    EXPECT_NEAR(v, 4.0, 1e-14);
    EXPECT_EQ(per->integrate(one, 2.5, 6.6, v), curve_status::bad_argument);
}

// Long double length of a clamped curve: each span in 32 pieces of 6 points.
long double ref_length(const CNURBS& c) {
    const fx::LdCurve r = fx::LdCurve::of(c);
    const long double x[3] = {0.033765242898423986L, 0.16939530676686774L, 0.38069040695840156L};
    const long double w[3] = {0.08566224618958517L, 0.18038078652406931L, 0.23395696728634552L};
    long double sum = 0;
    for (size_t s = 0; s + 1 < r.U.size(); ++s) {
        if (!(r.U[s + 1] > r.U[s])) continue;
        const long double h = (r.U[s + 1] - r.U[s]) / 32;
        for (int k = 0; k < 32; ++k) {
            const long double a = r.U[s] + k * h;
            for (int j = 0; j < 3; ++j)
                for (long double u : {a + h * x[j], a + h - h * x[j]}) {
                    long double p[3], d[3];
                    r.eval(u, p, d);
                    sum += w[j] * h * std::sqrt(d[0] * d[0] + d[1] * d[1]);
                }
        }
    }
    return sum;
}

TEST(CurveLength, PlanarAndSpanBySpan) {
    auto seg = fx::nurbs(1, {0, 0}, 1, {{0, 0, 0}, {3, 4, 12}});
    ASSERT_TRUE(seg);
    double len = 0;
    ASSERT_EQ(seg->length(len), 0);
    EXPECT_NEAR(len, 5.0, 1e-14);  // the rise in z is not counted
    auto q = fx::quarter_circle(3.0);
    ASSERT_EQ(q->length(len), 0);
    EXPECT_NEAR(len, 1.5 * M_PI, 1e-9);
    auto circle = fx::nine_point_circle(2.0);
    ASSERT_EQ(circle->length(len), 0);
    EXPECT_NEAR(len / static_cast<double>(ref_length(*circle)), 1.0, 1e-8);
    EXPECT_NEAR(len, 4 * M_PI, 4 * M_PI * 1e-8);
    // A zigzag of 200 cubic spans: ten equal parts would straddle 20 spans each.
    std::vector<double> k = {0, 0, 0, 0};
    std::vector<ref::P3> pts;
    for (int i = 1; i < 200; ++i) k.push_back(i);
    for (int i = 0; i < 203; ++i) pts.push_back({i * 1.0, (i % 2) ? 0.5 : -0.5, 0});
    auto zig = fx::nurbs(3, k, 200, pts);
    ASSERT_TRUE(zig);
    ASSERT_EQ(zig->length(len), 0);
    EXPECT_NEAR(len / static_cast<double>(ref_length(*zig)), 1.0, 1e-5);
    fx::TestCircle tc(2.0, 0.5, 2.0);
    ASSERT_EQ(tc.length(len), 0);
    EXPECT_NEAR(len, 3.0, 1e-12);
}

TEST(CurveLength, SweepIntegralIsTwiceTheArea) {
    auto circle = fx::nine_point_circle(2.0);
    double sum = 1.0;
    ASSERT_EQ(circle->sweep_integral(sum), 0);
    EXPECT_NEAR(sum - 1.0, 2 * M_PI * 4, 2 * M_PI * 4 * 1e-8);
    // A closed fitted cubic against the shoelace area of a dense polygon on it.
    std::vector<ref::P3> pts;
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6, r = 3 + std::cos(3 * a);
        pts.push_back({r * std::cos(a), r * std::sin(a) * 0.7, 0});
    }
    pts.push_back(pts.front());
    auto blob = fx::fitted(pts, 1);
    ASSERT_TRUE(blob);
    sum = 0;
    ASSERT_EQ(blob->sweep_integral(sum), 0);
    const int n = 100000;
    double shoelace = 0;
    Qe_Pt prev;
    ASSERT_EQ(blob->start_point(prev), 0);
    for (int i = 1; i <= n; ++i) {
        Qe_Pt p;
        ASSERT_EQ(blob->point(blob->start_param() + (blob->end_param() - blob->start_param()) * i / n, p), 0);
        shoelace += prev.x() * p.y() - p.x() * prev.y();
        prev = p;
    }
    EXPECT_NEAR(sum, shoelace, 1e-6 * std::fabs(shoelace));
    Qe_Vec down(0, 0, -1);
    double neg = 0;
    ASSERT_EQ(blob->sweep_integral(neg, &down), 0);
    EXPECT_NEAR(neg, -sum, 1e-9);
}

// f(t) = t - c with a chosen period and range.
class Shift : public CCurveFunction {
public:
    Shift(double c, double period, double a, double b, double slope = 1.0)
        : CCurveFunction(nullptr, a, b), m_c(c), m_period(period), m_slope(slope) {}
    CCurveFunction* clone() const override { return new Shift(*this); }
    double function_period() const override { return m_period; }
    int value_and_derivative(double t, double& f, double& df) const override {
        // A sawtooth of the given period when periodic; its root repeats every period.
        double u = t;
        if (m_period != 0) u = std::remainder(t - m_c, m_period) + m_c;
        f = m_slope * (u - m_c);
        df = m_slope;
        return 0;
    }

private:
    double m_c, m_period, m_slope;
};

TEST(SolveFunction, NewtonRangesAndPeriods) {
    double t = 0.2;
    EXPECT_EQ(solve_function(Shift(0.7, 0, 0, 1), t), 0);
    EXPECT_DOUBLE_EQ(t, 0.7);
    // The root lies outside a clamped range: clamped once, stopped the second time.
    t = 0.5;
    EXPECT_EQ(solve_function(Shift(3.0, 0, 0, 1), t), curve_status::no_result);
    EXPECT_EQ(t, 1.0);
    // A step of 1e28 on period 1 comes back into the range at once.
    t = 0.25;
    EXPECT_EQ(solve_function(Shift(1e28, 1.0, 0, 1, 1.0), t), 0);
    EXPECT_GE(t, 0.0);
    EXPECT_LE(t, 1.0);
    t = NAN;
    EXPECT_EQ(solve_function(Shift(0.5, 0, 0, 1), t), curve_status::no_result);
    t = INFINITY;
    EXPECT_EQ(solve_function(Shift(0.5, 1, 0, 1), t), curve_status::no_result);
    // Tangent from a point: the tangent lines of a unit circle from (2, 0) touch at
    // +-acos(1/2).
    fx::TestCircle c(1.0, -M_PI, M_PI, true);
    CTangentFromPointFunction f(&c, Qe_Pt(2, 0, 0));
    t = 0.9;
    EXPECT_EQ(solve_function(f, t), 0);
    EXPECT_NEAR(t, std::acos(0.5), 1e-12);
    t = -0.8;
    EXPECT_EQ(solve_function(f, t), 0);
    EXPECT_NEAR(t, -std::acos(0.5), 1e-12);
}

TEST(ArcLengthView, SegmentIsLinear) {
    auto seg = fx::nurbs(1, {0, 0}, 2, {{1, 1, 0}, {4, 5, 0}});
    std::unique_ptr<CCurveView> v;
    ASSERT_EQ(seg->arc_length_view(0, 2, v), 0);
    EXPECT_DOUBLE_EQ(v->start_param(), 0.0);
    EXPECT_NEAR(v->end_param(), 5.0, 1e-14);
    for (double l : {0.0, 1.0, 2.5, 4.2, 5.0}) {
        double t = 0;
        ASSERT_EQ(v->base_param(l, t), 0);
        EXPECT_NEAR(t, 2.0 * l / 5.0, 1e-14);
    }
    // The shared view of a constant-speed circle gives t = L / R.
    fx::TestCircle c(2.0, 0.0, 3.0);
    ASSERT_EQ(c.CCurve::arc_length_view(0.5, 3.0, v), 0);
    EXPECT_NEAR(v->end_param(), 5.0, 1e-12);
    for (int i = 0; i <= 50; ++i) {
        double t = 0;
        ASSERT_EQ(v->base_param(5.0 * i / 50, t), 0);
        EXPECT_NEAR(t, 0.5 + 5.0 * i / 50 / 2.0, 1e-12);
    }
    std::unique_ptr<CCurve> copy(v->clone());
    Qe_Pt a, b;
    ASSERT_EQ(copy->point(1.7, a), 0);
    ASSERT_EQ(v->point(1.7, b), 0);
    EXPECT_EQ(a.x(), b.x());
    v.reset();  // the copy owns its own map
    ASSERT_EQ(copy->point(1.7, a), 0);
    EXPECT_EQ(a.y(), b.y());
}

// The rational quarter circle: nodes at exact lengths, unit speed there, and the angle
// within 1e-3 rad between them; from inside the span as well.
TEST(ArcLengthView, RationalQuarterCircle) {
    const double r = 2.0;
    auto q = fx::quarter_circle(r);
    for (double a : {0.0, 0.3}) {
        std::unique_ptr<CCurveView> v;
        ASSERT_EQ(q->arc_length_view(a, 1.0, v), 0) << a;
        Qe_Pt p0;
        ASSERT_EQ(q->point(a, p0), 0);
        const double phi0 = std::atan2(p0.y(), p0.x());
        EXPECT_NEAR(v->end_param(), r * (M_PI / 2 - phi0), 1e-9);
        double worst = 0;
        for (int i = 0; i <= 200; ++i) {
            const double l = v->end_param() * i / 200;
            Qe_Pt p;
            Qe_Vec d;
            ASSERT_EQ(v->point_and_tangent(l, p, d), 0);
            worst = std::max(worst, std::fabs(std::atan2(p.y(), p.x()) - (phi0 + l / r)));
        }
        EXPECT_LT(worst, 1e-3) << a;
        EXPECT_GT(worst, 1e-5) << a;  // between the nodes the map is not exact
        // At the nodes: the span's p + 1 = 3 ends of its two halves.
        for (int k = 0; k <= 2; ++k) {
            const double t = a + (1.0 - a) * k / 2;
            Qe_Pt p;
            ASSERT_EQ(q->point(t, p), 0);
            const double l = r * (std::atan2(p.y(), p.x()) - phi0);
            Qe_Pt pv;
            Qe_Vec d;
            ASSERT_EQ(v->point_and_tangent(l, pv, d), 0);
            EXPECT_NEAR(std::hypot(pv.x() - p.x(), pv.y() - p.y()), 0.0, 1e-9);
            EXPECT_NEAR(d.len(), 1.0, 1e-9);
        }
    }
    std::unique_ptr<CCurveView> none;
    auto seg = fx::nurbs(1, {0, 0}, 1, {{0, 0, 0}, {0, 0, 1}});  // no planar length
    EXPECT_EQ(seg->arc_length_view(0, 1, none), curve_status::bad_argument);
    EXPECT_FALSE(none);
}

}  // namespace
