#include "curves/spline_fit.h"

#include <cmath>
#include <memory>
#include <new>

#include "curves/band_matrix.h"
#include "curves/curve_status.h"
#include "curves/nurbs.h"

namespace {

constexpr double g_third = 0.333333333333333;

bool tangent_given(const double* t)
{
    return t && std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]) > g_curve_eps;
}

// The closed periodic cubic through the accepted points (the last one, which closes the
// figure, dropped): its first derivative at the start is the common end tangent.
int closed_tangent(const CKnotVector& knots, const CPointArray& points, Qe_Vec& tangent)
{
    const int m = points.count();
    if (m - 1 < 3) return curve_status::inconsistent;  // a periodic cubic needs 3 spans
    int st = curve_status::ok;
    auto kv = std::unique_ptr<CKnotVector>(new (std::nothrow) CKnotVector(knots, st));
    if (!kv) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    auto pts = std::unique_ptr<CPointArray>(new (std::nothrow) CPointArray(points, st));
    if (!pts) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    pts->remove(m - 1, 1);
    pts->rotate_left(2);  // row j holds Q(j + 2)
    const int n = m - 1;
    auto* band = new (std::nothrow) CBandMatrix(n - 1, 1, st);
    if (!band) return curve_status::no_memory;
    CCyclicMatrix a(band, 1, st);
    if (st != curve_status::ok) return st;
    for (int j = 0; j < n; ++j) {
        double v[4];
        kv->basis(j + 2, kv->knot(j + 2), v);
        // Added, not stored: at small sizes two cyclic columns can meet.
        for (int c = 0; c < 3; ++c) a.element(j, j - 1 + c) += v[c];
    }
    if ((st = a.factor()) != curve_status::ok) return st;
    if ((st = a.solve(*pts, 0)) != curve_status::ok) return st;
    CNURBS closed(kv.release(), pts.release(), nullptr, st);
    if (st != curve_status::ok) return st;
    Qe_Pt p;
    return closed.point_and_tangent(closed.start_param(), p, tangent);
}

}  // namespace

long GetFittingSpline(int point_count, double (*points)[3], double fit_tol, double* const start_tangent,
                      double* const end_tangent, int tangent_flag, CNURBS*& curve)
{
    curve = nullptr;
    if (point_count < 1 || !points) return curve_status::bad_argument;
    const double tol = fit_tol >= g_curve_eps ? fit_tol : g_curve_eps;
    bool has_start = tangent_given(start_tangent), has_end = tangent_given(end_tangent);
    Qe_Vec ts = has_start ? Qe_Vec(start_tangent) : Qe_Vec(), te = has_end ? Qe_Vec(end_tangent) : Qe_Vec();

    int st = curve_status::ok;
    std::unique_ptr<CKnotVector> kv(new (std::nothrow) CKnotVector(3, 1, st));
    std::unique_ptr<CPointArray> pts(new (std::nothrow) CPointArray());
    if (!kv || !pts) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    (*kv)[0] = 0.0;
    Qe_Pt last(points[0]);
    if ((st = pts->append(last)) != curve_status::ok) return st;
    double s = 0.0;
    for (int i = 1; i < point_count; ++i) {
        const Qe_Pt q(points[i]);
        const double d = (q - last).len();
        if (!(d > tol)) continue;  // also drops points with a non-finite coordinate
        s += d;
        if ((st = kv->insert_knots(kv->count(), s, 1)) != curve_status::ok) return st;
        if ((st = pts->append(q)) != curve_status::ok) return st;
        last = q;
    }
    const int m = pts->count();
    if (m < 2) return curve_status::bad_argument;
    if (!std::isfinite(s)) return curve_status::inconsistent;
    kv->remove(m - 1, 1);
    kv->set_period_length(s);

    if (tangent_flag) {
        Qe_Vec t;
        if ((st = closed_tangent(*kv, *pts, t)) != curve_status::ok) return st;
        ts = te = t;
        has_start = has_end = true;
        for (int i = 0; i < 3; ++i) {
            if (start_tangent) start_tangent[i] = t.component(i);
            if (end_tangent) end_tangent[i] = t.component(i);
        }
    }

    if ((st = kv->insert_knots(0, 0.0, 3)) != curve_status::ok) return st;
    const int n = m + 2;
    auto k = [&](int i) { return kv->knot(i); };
    // Right-hand sides [Q0, Rs, Q1 .. Q(m-2), Re, Q(m-1)].
    Qe_Vec rs, re;
    if (has_start) rs = ts * ((k(4) - k(3)) * g_third);
    if (has_end) re = te * ((k(n) - k(n - 1)) * -g_third);
    if ((st = pts->insert(1, Qe_Pt(rs.x(), rs.y(), rs.z()))) != curve_status::ok) return st;
    if ((st = pts->insert(n - 2, Qe_Pt(re.x(), re.y(), re.z()))) != curve_status::ok) return st;

    CBandMatrix a(n, 2, st);
    if (st != curve_status::ok) return st;
    a.element(0, 0) = 1.0;
    if (has_start) {
        a.element(1, 0) = -1.0;
        a.element(1, 1) = 1.0;
    } else {
        const double x = k(4) - k(3), y = k(5) - k(3);
        a.element(1, 0) = -y / (x + y);
        a.element(1, 1) = 1.0;
        a.element(1, 2) = -x / (x + y);
    }
    for (int r = 2; r <= n - 3; ++r) {
        double v[4];
        kv->basis(r + 1, k(r + 2), v);
        for (int c = 0; c < 4; ++c) a.element(r, r - 2 + c) = v[c];
    }
    if (has_end) {
        a.element(n - 2, n - 2) = 1.0;
        a.element(n - 2, n - 1) = -1.0;
    } else {
        const double c = k(n) - k(n - 1), e = k(n) - k(n - 2);
        a.element(n - 2, n - 3) = -c / (c + e);
        a.element(n - 2, n - 2) = 1.0;
        a.element(n - 2, n - 1) = -e / (c + e);
    }
    a.element(n - 1, n - 1) = 1.0;
    if ((st = a.factor()) != curve_status::ok) return st;
    if ((st = a.solve(*pts, 0)) != curve_status::ok) return st;

    void* room = ::operator new(sizeof(CNURBS), std::nothrow);
    if (!room) return curve_status::no_memory;
    std::unique_ptr<CNURBS> fitted(new (room) CNURBS(kv.release(), pts.release(), nullptr, st));
    if (st != curve_status::ok) return st;
    curve = fitted.release();
    return curve_status::ok;
}
