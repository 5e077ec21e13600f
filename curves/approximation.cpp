// Conversion of any curve into a cubic B-spline: knots placed by fourth differences of the
// curve's points, control points by interpolation at the Greville abscissae.

#include <algorithm>
#include <cmath>
#include <new>

#include "curves/curve.h"
#include "curves/curve_status.h"
#include "curves/knot_vector.h"
#include "curves/nurbs.h"

namespace {

Qe_Vec diff4(const Qe_Pt& a, const Qe_Pt& b, const Qe_Pt& c, const Qe_Pt& d, const Qe_Pt& e)
{
    Qe_Vec v;
    for (int i = 0; i < 3; ++i)
        v.component(i) =
            a.coordinate(i) - 4.0 * b.coordinate(i) + 6.0 * c.coordinate(i) - 4.0 * d.coordinate(i) + e.coordinate(i);
    return v;
}

}  // namespace

int CCurve::approximation_error(double t, double h, double tol, Qe_Pt s[9], double& err) const
{
    int st = curve_status::ok;
    for (int k = 2; k <= 8; k += 2)
        if ((st = point(k == 8 ? t + h : t + k * h / 8.0, s[k])) != curve_status::ok) return st;
    double e = diff4(s[0], s[2], s[4], s[6], s[8]).len();
    if (e <= tol) {
        for (int k = 1; k <= 7; k += 2)
            if ((st = point(t + k * h / 8.0, s[k])) != curve_status::ok) return st;
        // Half the step makes a fourth difference 16 times smaller: both halves are scaled
        // back, so a bend is judged the same wherever it lies in the step.
        e = std::max(e, 16.0 * diff4(s[0], s[1], s[2], s[3], s[4]).len());
        if (e <= tol) e = std::max(e, 16.0 * diff4(s[4], s[5], s[6], s[7], s[8]).len());
    }
    err = e;
    return e <= tol ? curve_status::ok : curve_status::no_result;
}

namespace {

// One step of the knot placement from t: the longest step whose error stays within f,
// aiming at 0.85 f. h carries the step from one call to the next.
int knot_step(const CCurve& cv, double t, double e, double hmin, double f, double& h, double& next)
{
    Qe_Pt s[9];
    int st = cv.point(t, s[0]);
    if (st != curve_status::ok) return st;
    // The upper bound starts past the end so that the end itself can be tried.
    double lower = t, upper = e + hmin, trial = std::min(t + h, e), err = 0.0;
    for (int i = 0; i < 100; ++i) {
        st = cv.approximation_error(t, trial - t, f, s, err);
        if (st == curve_status::no_result) {
            upper = trial;
        } else if (st == curve_status::ok) {
            lower = trial;
            if (err > 0.7 * f) break;
        } else {
            return st;
        }
        if (!(lower < e) || !(upper - lower >= hmin)) break;
        double nt = err >= 1e-9 ? t + (trial - t) * std::sqrt(std::sqrt(0.85 * f / err)) : e;
        if (!(nt >= lower + hmin && nt <= upper - hmin)) nt = 0.5 * (lower + upper);
        trial = std::min(nt, e);
    }
    next = lower >= t + 1e-9 ? lower : trial;
    h = next - t;
    return curve_status::ok;
}

bool same3(const Qe_Vec& a, const Qe_Vec& b)
{
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(a.component(i) - b.component(i)) <= 1e-9)) return false;
    return true;
}

}  // namespace

int CCurve::approximation_knots(double tol, std::unique_ptr<CKnotVector>& out) const
{
    const double a = start_param(), e = end_param(), span = e - a, hmin = span * 0.0001;
    double f = tol * 0.03;
    if (!(std::fabs(f) > 1e-9) || !(span >= 1e-9) || !std::isfinite(span)) return curve_status::zero_weight;
    int st = curve_status::ok;
    std::unique_ptr<CKnotVector> kv(new (std::nothrow) CKnotVector(3, 0, st));
    if (!kv) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    // A closed curve whose ends meet with one tangent gets a periodic vector (double knot
    // at the seam); every other curve is clamped.
    int m = 4;
    Qe_Vec da[3], de[3];
    if (derivatives(a, 2, da) == curve_status::ok && derivatives(e, 2, de) == curve_status::ok) {
        if (same3(da[0], de[0]) && same3(da[1], de[1])) m = 2;
    } else {
        Qe_Pt pa, pe;
        if ((st = start_point(pa)) != curve_status::ok || (st = end_point(pe)) != curve_status::ok) return st;
    }
    bool placed = false;
    double last_step = 0.0;
    for (int pass = 0; pass < 10 && !placed; ++pass, f *= 4.0) {
        kv->release();
        if ((st = kv->insert_knots(0, a, m)) != curve_status::ok) return st;
        double t = a, h = span;
        while (kv->count() < g_max_knots) {
            double next = 0.0;
            if ((st = knot_step(*this, t, e, hmin, f, h, next)) != curve_status::ok) return st;
            last_step = next - t;
            if (!(next < e)) {
                placed = true;
                break;
            }
            if ((st = kv->append(next)) != curve_status::ok) return st;
            t = next;
        }
    }
    if (!placed) return curve_status::singular;
    const int c = kv->count();
    if (c > 4) (*kv)[c - 1] = std::max(((*kv)[c - 2] + e) / 2.0, e - last_step);
    kv->set_knot(c, e);
    if ((st = kv->check()) != curve_status::ok) return st;
    out = std::move(kv);
    return curve_status::ok;
}

namespace {

// Largest distance between curve and source at eight points inside each knot span.
int conversion_error(const CNURBS& curve, const CCurve& source, double& worst)
{
    worst = 0.0;
    const CKnotVector& kv = *curve.knots();
    const double a = curve.start_param(), e = curve.end_param();
    for (int i = 0; i <= kv.count() + kv.degree(); ++i) {
        const double lo = std::max(a, kv.knot(i)), hi = std::min(e, kv.knot(i + 1));
        for (int j = 0; hi > lo && j < 8; ++j) {
            const double u = lo + (hi - lo) * (2 * j + 1) / 16.0;
            Qe_Pt p, q;
            int st = curve.point(u, p);
            if (st == curve_status::ok) st = source.point(u, q);
            if (st != curve_status::ok) return st;
            worst = std::max(worst, (p - q).len());
        }
    }
    return curve_status::ok;
}

}  // namespace

CNURBS::CNURBS(const CCurve& source, double tol, int& status)
{
    // The knot placement judges fourth differences of sampled points; a bend in the
    // source's second derivative close to the end of a step slips past it. The result is
    // measured against the source, and the placement runs again with a quarter of the
    // tolerance while it is not within tol.
    double place = tol;
    for (int attempt = 0; attempt < 6; ++attempt, place *= 0.25) {
        reset();
        std::unique_ptr<CKnotVector> kv;
        status = source.approximation_knots(place, kv);
        if (status != curve_status::ok) return;
        const int n = kv->count();
        std::unique_ptr<CPointArray> pts(new (std::nothrow) CPointArray());
        if (!pts) {
            status = curve_status::no_memory;
            return;
        }
        for (int i = 0; i < n && status == curve_status::ok; ++i) status = pts->append(Qe_Pt());
        if (status != curve_status::ok) return;
        m_knots = std::move(kv);
        m_points = std::move(pts);
        m_start = m_knots->start();
        m_end = m_knots->end();
        m_period = m_knots->period();
        status = greville_interpolate(source, 0, n);
        double worst = 0.0;
        if (status == curve_status::ok) status = conversion_error(*this, source, worst);
        if (status != curve_status::ok) break;
        if (worst <= tol) return;
        status = curve_status::no_result;
    }
    reset();
}
