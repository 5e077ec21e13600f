// Point queries of the curve interface: closest point, projection, point on curve and the
// tangent from a point.

#include <cfloat>
#include <cmath>
#include <memory>

#include "curves/curve.h"
#include "curves/curve_function.h"
#include "curves/curve_solvers.h"
#include "curves/curve_status.h"

int CCurve::closest_point(const Qe_Pt& q, Qe_Pt& p, double& t, double& dist, double tol, double excluded) const
{
    double best = DBL_MAX, best_t = 0.0;
    Qe_Pt best_p;
    const double tol2 = tol * tol;
    std::unique_ptr<CDoubleArray> breaks;
    int st = break_params(1, breaks);
    if (st != curve_status::ok) return st;
    for (int i = 0; i < breaks->count() && !(best < tol2); ++i) {
        const double u = (*breaks)[i];
        Qe_Pt x;
        if ((st = point(u, x)) != curve_status::ok) return st;
        const double d2 = (x - q).len_sq();
        if (d2 < best && std::fabs(u - excluded) > 1e-6) best = d2, best_t = u, best_p = x;
    }
    CDoubleArray samples;
    if ((st = sample_params(samples)) != curve_status::ok) return st;
    for (int i = 0; i < samples.count() && !(best < tol2); ++i) {
        CPointProjector projector(this, q, tol);
        st = projector.solve(samples[i]);
        if (st == curve_status::no_result) continue;
        if (st != curve_status::ok) return st;
        if (projector.last_distance_sq() < best && std::fabs(projector.t() - excluded) > 1e-6)
            best = projector.last_distance_sq(), best_t = projector.t(), best_p = projector.point();
    }
    // Nothing found (every search left the range): no result, and the outputs stay.
    if (best == DBL_MAX) return curve_status::no_result;
    p = best_p;
    t = best_t;
    dist = std::sqrt(best);
    return curve_status::ok;
}

int CCurve::project_from(const Qe_Pt& q, double t0, Qe_Pt& p, double& t, double& d2) const
{
    CPointProjector projector(this, q, 0.0);
    int st = projector.solve(t0);
    if (st != curve_status::ok) return st;
    p = projector.point();
    t = projector.t();
    d2 = projector.last_distance_sq();
    return curve_status::ok;
}

int CCurve::nearest_point_with_ends(const Qe_Pt& q, Qe_Pt& p, double& t, double& dist, bool skip_start) const
{
    double best = 1e30, bt = 0.0, d = 0.0, u = 0.0;
    Qe_Pt bp, x;
    int st = closest_point(q, x, u, d, 1e-9);
    if (st == curve_status::ok) {
        best = d, bt = u, bp = x;
    } else if (st != curve_status::no_result) {
        return st;
    }
    for (int end = skip_start ? 1 : 0; end < 2; ++end) {
        const double te = end == 0 ? start_param() : end_param();
        if ((st = point(te, x)) != curve_status::ok) return st;
        if ((d = (x - q).len()) < best) best = d, bt = te, bp = x;
    }
    p = bp;
    t = bt;
    dist = best;
    return curve_status::ok;
}

bool CCurve::contains_point(const Qe_Pt& q, double tol) const
{
    Qe_Pt p;
    double t = 0.0, d = 0.0;
    return closest_point(q, p, t, d, tol) == curve_status::ok && d <= tol;
}

int CCurve::tangent_from_point(const Qe_Pt& q, double t0, double& t) const
{
    const CTangentFromPointFunction f(this, q);
    double u = t0;
    int st = solve_function(f, u);
    if (st == curve_status::ok) t = u;
    return st;
}

#include "curves/crossings_p.h"
#include "curves/intersection.h"

int CCurve::self_intersections(CDoubleArray& out, double tol) const
{
    CDoubleArray s;
    int st = sample_params(s);
    if (st != curve_status::ok) return st;
    for (int i = 0; i < s.count(); ++i)
        for (int j = 0; j < s.count(); ++j) {
            if (i == j) continue;
            double ta = 0.0, tb = 0.0;
            st = refine_intersection(this, this, s[i], s[j], ta, tb, tol);
            if (st == curve_status::no_result) continue;
            if (st != curve_status::ok) return st;
            if (!(std::fabs(ta - tb) > 1e-9)) continue;
            if ((st = out.insert_sorted(ta, 1e-6)) != curve_status::ok ||
                (st = out.insert_sorted(tb, 1e-6)) != curve_status::ok)
                return st;
        }
    return curve_status::ok;
}

int CCurve::bound_test(double) const
{
    return -1;
}

void record_line_crossing(double v, bool keep_zero, double* ext[4])
{
    auto lower = [&](double* e) {
        if (e && !(keep_zero && std::fabs(*e) <= 1e-9) && v < *e) *e = v;
    };
    auto raise = [&](double* e) {
        if (e && !(keep_zero && std::fabs(*e) <= 1e-9) && v > *e) *e = v;
    };
    if (v >= 0.0) {
        lower(ext[0]);
        raise(ext[1]);
    }
    if (v <= 0.0) {
        raise(ext[2]);
        lower(ext[3]);
    }
}

int CCurve::line_crossings(const CCurve& line, bool keep_zero, double* extremes[4]) const
{
    CDoubleArray on_line, on_curve;
    int st = intersect_curves(&line, this, on_line, on_curve, 1e-9);
    if (st != curve_status::ok) return st;
    for (int i = 0; i < on_line.count(); ++i) record_line_crossing(on_line[i], keep_zero, extremes);
    return curve_status::ok;
}

int CCurve::count_ray_crossings(const CCurve&, int&) const
{
    return -1;
}
