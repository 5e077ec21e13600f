#pragma once

// Curves the curve tests share: rational B-splines built from plain lists, a circle kind
// of the tests' own with closed-form derivatives, and a long double B-spline evaluator
// (point and first derivative) written apart from the library's code.

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "curves/curve.h"
#include "curves/curve_status.h"
#include "curves/knot_vector.h"
#include "curves/nurbs.h"
#include "curves/reference_spline.h"
#include "curves/spline_fit.h"

namespace fx {

inline std::unique_ptr<CKnotVector> knots(int p, const std::vector<double>& k, double l) {
    int st = 0;
    auto kv = std::make_unique<CKnotVector>(p, static_cast<int>(k.size()), st);
    for (size_t i = 0; i < k.size(); ++i) (*kv)[static_cast<int>(i)] = k[i];
    kv->set_period_length(l);
    return kv;
}

// Stored knots k with period l; Euclidean control points; weights optional.
inline std::unique_ptr<CNURBS> nurbs(int p, const std::vector<double>& k, double l, const std::vector<ref::P3>& pts,
                                     const std::vector<double>& w = {}) {
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
    int st = -5;
    auto c = std::make_unique<CNURBS>(knots(p, k, l).release(), pa, wa, st);
    return st == 0 ? std::move(c) : nullptr;
}

// The counter-clockwise circle of radius r about the origin from nine rational quadratic
// control points, range [0, 4].
inline std::unique_ptr<CNURBS> nine_point_circle(double r = 1.0) {
    const double h = std::sqrt(0.5);
    std::vector<ref::P3> pts = {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {-1, 1, 0}, {-1, 0, 0},
                                {-1, -1, 0}, {0, -1, 0}, {1, -1, 0}, {1, 0, 0}};
    for (auto& q : pts)
        for (auto& c : q) c *= r;
    return nurbs(2, {0, 0, 0, 1, 1, 2, 2, 3, 3}, 4, pts, {1, h, 1, h, 1, h, 1, h, 1});
}

// The rational quarter circle of radius r from (r, 0) to (0, r), range [0, 1].
inline std::unique_ptr<CNURBS> quarter_circle(double r = 1.0) {
    return nurbs(2, {0, 0, 0}, 1, {{r, 0, 0}, {r, r, 0}, {0, r, 0}}, {1, std::sqrt(0.5), 1});
}

inline std::unique_ptr<CNURBS> fitted(std::vector<ref::P3> pts, int tangent_flag = 0) {
    double s[3] = {0, 0, 0}, e[3] = {0, 0, 0};
    CNURBS* c = nullptr;
    GetFittingSpline(static_cast<int>(pts.size()), reinterpret_cast<double(*)[3]>(pts.data()), 1e-9, s, e,
                     tangent_flag, c);
    return std::unique_ptr<CNURBS>(c);
}

// A wavy open curve through 9 points.
inline std::unique_ptr<CNURBS> wavy() {
    std::vector<ref::P3> pts;
    for (int i = 0; i < 9; ++i) pts.push_back({i * 1.0, std::sin(i * 1.3) * 2.0 + 0.3 * i, 0});
    return fitted(pts);
}

// A circle kind of the tests' own: centre c, radius r, counter-clockwise, angle t on
// [a, b], with every derivative in closed form; periodic (2 pi) when asked.
class TestCircle : public CCurve {
public:
    TestCircle(double r, double a = 0.0, double b = 2 * M_PI, bool periodic = false, Qe_Pt c = Qe_Pt())
        : m_r(r), m_a(a), m_b(b), m_periodic(periodic), m_c(c) {}
    CCurve* clone() const override { return new TestCircle(m_r, m_a, m_b, m_periodic, m_c); }
    double start_param() const override { return m_a; }
    double end_param() const override { return m_b; }
    double period() const override { return m_periodic ? 2 * M_PI : 0.0; }
    int derivatives(double t, int order, Qe_Vec* out) const override {
        if (order > 2) return -1;
        const double c = std::cos(t) * m_r, s = std::sin(t) * m_r;
        out[0] = Qe_Vec(m_c.x() + c, m_c.y() + s, 0);
        if (order >= 1) out[1] = Qe_Vec(-s, c, 0);
        if (order >= 2) out[2] = Qe_Vec(-c, -s, 0);
        return 0;
    }
    int point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const override {
        Qe_Vec v[2];
        derivatives(t, 1, v);
        p = Qe_Pt(v[0].x(), v[0].y(), 0);
        d = v[1];
        return 0;
    }
    int point(double t, Qe_Pt& p) const override {
        Qe_Vec d;
        return point_and_tangent(t, p, d);
    }

private:
    double m_r, m_a, m_b;
    bool m_periodic;
    Qe_Pt m_c;
};

// Long double reference: the full knot sequence and Euclidean control points (weights
// optional) of a curve, evaluated by the recursive basis over the span's functions only.
struct LdCurve {
    int p = 3;
    std::vector<long double> U;
    std::vector<std::array<long double, 3>> P;
    std::vector<long double> W;

    // Clamped curves only: the stored knots with p more end knots.
    static LdCurve of(const CNURBS& c) {
        LdCurve r;
        r.p = c.degree();
        const int n = c.control_count();
        for (int i = 0; i <= n + r.p; ++i) r.U.push_back(c.knots()->knot(i));
        for (int i = 0; i < n; ++i) {
            const Qe_Pt q = c.control_point(i);
            r.P.push_back({q.x(), q.y(), q.z()});
            r.W.push_back(c.weight(i));
        }
        return r;
    }
    long double basis(int i, int q, long double u) const {
        if (q == 0) return (U[i] <= u && u < U[i + 1]) ? 1.0L : 0.0L;
        long double a = 0, b = 0;
        if (U[i + q] != U[i]) a = (u - U[i]) / (U[i + q] - U[i]) * basis(i, q - 1, u);
        if (U[i + q + 1] != U[i + 1]) b = (U[i + q + 1] - u) / (U[i + q + 1] - U[i + 1]) * basis(i + 1, q - 1, u);
        return a + b;
    }
    int span(long double u) const {
        int s = p;
        while (s + 1 < static_cast<int>(P.size()) && U[s + 1] <= u) ++s;
        return s;
    }
    // Homogeneous sum (x w, y w, z w, w) at u; the derivative by the same sum over the
    // derivative of the basis, N'_{i,p} = p N_{i,p-1} / (U_{i+p} - U_i) - p N_{i+1,p-1} / ...
    void eval(long double u, long double out[3], long double d[3]) const {
        const long double top = U[P.size()];
        if (u >= top) u = std::nextafter(top, -1.0L);  // the basis is open at the right
        const int s = span(u);
        long double a[4] = {0, 0, 0, 0}, da[4] = {0, 0, 0, 0};
        for (int i = s - p; i <= s; ++i) {
            const long double n = basis(i, p, u);
            long double dn = 0;
            if (U[i + p] != U[i]) dn += p * basis(i, p - 1, u) / (U[i + p] - U[i]);
            if (U[i + p + 1] != U[i + 1]) dn -= p * basis(i + 1, p - 1, u) / (U[i + p + 1] - U[i + 1]);
            for (int c = 0; c < 3; ++c) {
                a[c] += n * W[i] * P[i][c];
                da[c] += dn * W[i] * P[i][c];
            }
            a[3] += n * W[i];
            da[3] += dn * W[i];
        }
        for (int c = 0; c < 3; ++c) {
            out[c] = a[c] / a[3];
            if (d) d[c] = (da[c] - da[3] * out[c]) / a[3];
        }
    }
};

}  // namespace fx
