#include "curves/curve.h"

#include <cmath>
#include <new>

#include "curves/curve_status.h"
#include "curves/curve_tessellation.h"
#include "curves/nurbs.h"
#include "curves/offset_curve.h"

CCurveVisitor::~CCurveVisitor() = default;
int CCurveVisitor::visit(CCurve&)
{
    return -1;
}
int CCurveVisitor::visit_nurbs(CNURBS&)
{
    return -1;
}
int CCurveVisitor::visit_nurbs_data(CNURBS&)
{
    return -1;
}

CCurve::~CCurve() = default;

int CCurve::local_frame(double t, Qe_Pt& p, Qe_Vec& tangent, double& k, double* speed, const Qe_Vec* axis) const
{
    Qe_Vec d[3];
    int st = derivatives(t, 2, d);
    if (st != curve_status::ok) return st;
    p = Qe_Pt(d[0].x(), d[0].y(), d[0].z());
    const Qe_Vec z = axis ? *axis : Qe_Vec(0.0, 0.0, 1.0);
    const double s = d[1].len();
    k = 1e30;
    if (speed) *speed = s;
    if (s > g_curve_eps) {
        tangent = d[1] / s;
        k = ((tangent * d[2]) % z) / (s * s);
        return curve_status::ok;
    }
    const double a = d[2].len();
    if (!(a > g_curve_eps)) {
        tangent = Qe_Vec();
        return curve_status::zero_vector;
    }
    // Where the speed vanishes the curve leaves the point along its second derivative.
    tangent = d[2] / a;
    return curve_status::ok;
}

int CCurve::derivatives(double, int, Qe_Vec*) const
{
    return -1;
}
int CCurve::point_and_tangent(double, Qe_Pt&, Qe_Vec&) const
{
    return -1;
}
int CCurve::kind() const
{
    return 7;
}
int CCurve::size_estimate() const
{
    return 10000000;
}

bool CCurve::normalize_param(double& t) const
{
    const double a = start_param(), b = end_param(), l = period();
    double u = t;
    if (!std::isfinite(u)) return false;
    if (l != 0.0) {
        if (std::fabs(u - a) >= 1000.0 * l) return false;
        for (int i = 0; i < 1001 && u >= b + g_curve_eps; ++i) u -= l;
        for (int i = 0; i < 1001 && u <= a - g_curve_eps; ++i) u += l;
    }
    if (std::fabs(u - a) <= g_curve_eps)
        u = a;
    else if (std::fabs(u - b) <= g_curve_eps)
        u = b;
    if (u < a || u > b) return false;
    t = u;
    return true;
}

int CCurve::curve_flag() const
{
    return 0;
}
bool CCurve::transforms_exactly() const
{
    return false;
}
bool CCurve::is_rational() const
{
    return false;
}
bool CCurve::is_degenerate() const
{
    return start_param() + g_curve_eps > end_param();
}

int CCurve::homogeneous_point(double t, Qe_Pt& p, double& w) const
{
    int st = point(t, p);
    if (st == curve_status::ok) w = 1.0;
    return st;
}

int CCurve::set_end_control_point(int, const Qe_Pt&)
{
    return 0;
}

int CCurve::tessellate(double x, const CPointMap* map, CPointCollector& out) const
{
    return subdivide(start_param(), end_param(), x, map, out);
}

bool CCurve::is_closed() const
{
    Qe_Pt a, b;
    if (start_point(a) != curve_status::ok || end_point(b) != curve_status::ok) return false;
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(a.coordinate(i) - b.coordinate(i)) <= g_curve_eps)) return false;
    return true;
}

int CCurve::sample_params(CDoubleArray& out, const double* start, const double* end) const
{
    const double a = start ? *start : start_param(), b = end ? *end : end_param();
    for (int i = 0; i < 5; ++i) {
        int st = out.append(a + i * ((b - a) * 0.25));
        if (st != curve_status::ok) return st;
    }
    return curve_status::ok;
}

int CCurve::set_range(double, double)
{
    return -1;
}
int CCurve::set_start(double)
{
    return -1;
}
int CCurve::set_end(double)
{
    return -1;
}

int CCurve::next_corner(double, double& out) const
{
    out = end_param();
    return curve_status::no_result;
}

int CCurve::curvature(double t, double& k, const Qe_Vec* axis) const
{
    Qe_Pt p;
    Qe_Vec tangent;
    return local_frame(t, p, tangent, k, nullptr, axis);
}

int CCurve::translate(const Qe_Vec&)
{
    return -1;
}
int CCurve::start_point(Qe_Pt& p) const
{
    return point(start_param(), p);
}
int CCurve::end_point(Qe_Pt& p) const
{
    return point(end_param(), p);
}
bool CCurve::has_finite_range() const
{
    return start_param() > -1e30 && end_param() < 1e30;
}

int CCurve::split(int& count, CCurve*& out)
{
    out = this;
    ++count;
    return curve_status::no_result;
}

int CCurve::bounding_box(bool, CCurveBox&, const CPointMap*) const
{
    return -1;
}
int CCurve::tight_bounding_box(CCurveBox& box, const CPointMap* map) const
{
    return bounding_box(true, box, map);
}

int CCurve::trim(double a, double b, std::unique_ptr<CCurve>& curve)
{
    if (curve.get() != this) return curve_status::bad_argument;
    return set_range(a, b);
}

int CCurve::break_params(int, std::unique_ptr<CDoubleArray>& out) const
{
    out.reset(new (std::nothrow) CDoubleArray());
    return out ? curve_status::ok : curve_status::no_memory;
}

int CCurve::transform_in_place(const CPointMap&)
{
    return -1;
}
int CCurve::reverse()
{
    return -1;
}
int CCurve::write_flat(std::uint8_t*&) const
{
    return -1;
}
int CCurve::flat_size() const
{
    return 0;
}

int CCurve::to_nurbs(double tol, std::unique_ptr<CNURBS>& out) const
{
    int st = curve_status::ok;
    std::unique_ptr<CNURBS> made(new (std::nothrow) CNURBS(*this, tol, st));
    if (!made) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    out = std::move(made);
    return curve_status::ok;
}

int CCurve::offset(double d, const Qe_Vec* axis, std::unique_ptr<CCurve>& out) const
{
    int st = curve_status::ok;
    std::unique_ptr<COffsetCurve> made(new (std::nothrow)
                                           COffsetCurve(this, d, axis ? *axis : Qe_Vec(0.0, 0.0, 1.0), st));
    if (!made) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    out = std::move(made);
    return curve_status::ok;
}

int CCurve::accept(CCurveVisitor& v)
{
    return v.visit(*this);
}
int CCurve::accept_nurbs(CCurveVisitor&)
{
    return -1;
}
int CCurve::reserved_zero()
{
    return 0;
}
int CCurve::reserved_minus_one()
{
    return -1;
}
int CCurve::reserved_zero2()
{
    return 0;
}

bool are_collinear(const Qe_Pt& p, const Qe_Pt& q, const Qe_Pt& r, double tol)
{
    const Qe_Vec a = q - p, b = r - p;
    const double l = a.len();
    if (l <= tol) return true;
    return 2.0 * tol * l >= std::fabs(a.x() * b.y() - a.y() * b.x());
}
