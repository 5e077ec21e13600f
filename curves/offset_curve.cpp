#include "curves/offset_curve.h"

#include <cmath>
#include <new>

#include "curves/curve_status.h"

COffsetCurve::COffsetCurve(const CCurve* base, double d, const Qe_Vec& axis, int& status)
    : m_base(base),
      m_d(d),
      m_axis(0.0, 0.0, 1.0),
      m_start(0.0),
      m_end(0.0)
{
    if (!base || !std::isfinite(d)) {
        status = curve_status::bad_argument;
        return;
    }
    m_start = base->start_param();
    m_end = base->end_param();
    const double l = axis.len();
    if (!(l >= g_curve_eps) || !std::isfinite(l)) {
        status = curve_status::zero_vector;
        return;
    }
    m_axis = axis / l;
    status = curve_status::ok;
}

COffsetCurve::COffsetCurve(const COffsetCurve& o)
    : CCurve(),
      m_base(o.m_base),
      m_d(o.m_d),
      m_axis(o.m_axis),
      m_start(o.m_start),
      m_end(o.m_end)
{
}

CCurve* COffsetCurve::clone() const
{
    return new (std::nothrow) COffsetCurve(*this);
}
double COffsetCurve::period() const
{
    return m_base ? m_base->period() : 0.0;
}
int COffsetCurve::curve_flag() const
{
    return m_base ? m_base->curve_flag() : 0;
}

int COffsetCurve::point(double t, Qe_Pt& p) const
{
    if (!m_base) return curve_status::bad_argument;
    Qe_Pt b;
    Qe_Vec d;
    int st = m_base->point_and_tangent(t, b, d);
    if (st != curve_status::ok) return st;
    const Qe_Vec n = m_axis * d;
    const double l = n.len();
    if (!(l >= g_curve_eps)) return curve_status::zero_vector;
    p = b + n * (m_d / l);
    return curve_status::ok;
}

int COffsetCurve::point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const
{
    if (!m_base) return curve_status::bad_argument;
    Qe_Vec v[3];
    int st = m_base->derivatives(t, 2, v);
    if (st != curve_status::ok) return st;
    const double c = v[1].len();
    if (!(c >= g_curve_eps)) return curve_status::zero_vector;
    const Qe_Vec u = v[1] / c;
    const double q = v[2] % u;
    const Qe_Vec n = m_axis * u;
    p = Qe_Pt(v[0].x(), v[0].y(), v[0].z()) + n * m_d;
    d = v[1] + ((m_axis * v[2]) - n * q) * (m_d / c);
    return curve_status::ok;
}

int COffsetCurve::local_frame(double t, Qe_Pt& p, Qe_Vec& tangent, double& k, double* speed, const Qe_Vec*) const
{
    if (!m_base) return curve_status::bad_argument;
    Qe_Pt bp;
    Qe_Vec bt;
    double bk = 0.0, bs = 0.0;
    int st = m_base->local_frame(t, bp, bt, bk, &bs, &m_axis);
    if (st != curve_status::ok) return st;
    p = bp + (m_axis * bt) * m_d;
    tangent = bt;
    const double e = 1.0 - bk * m_d;
    double s;
    if (std::fabs(bk) > std::fabs(e) * 1e30) {
        k = bk * e > 0.0 ? 1e30 : -1e30;
        s = 0.0;
    } else {
        // The sign of k is the turn about the axis along the offset's own direction of
        // travel, which reverses with e.
        k = bk / std::fabs(e);
        s = e * bs;
        if (s < 0.0) {
            tangent = -tangent;
            s = -s;
        }
    }
    if (speed) *speed = s;
    return curve_status::ok;
}

int COffsetCurve::sample_params(CDoubleArray& out, const double* start, const double* end) const
{
    if (!m_base) return curve_status::bad_argument;
    const double a = start ? *start : m_start, b = end ? *end : m_end;
    return m_base->sample_params(out, &a, &b);
}

int COffsetCurve::set_range(double a, double b)
{
    if (!(a <= b)) return curve_status::bad_argument;
    m_start = a;
    m_end = b;
    return curve_status::ok;
}

int COffsetCurve::set_start(double a)
{
    if (!(a < m_end)) return curve_status::bad_argument;
    m_start = a;
    return curve_status::ok;
}

int COffsetCurve::set_end(double b)
{
    if (!(b > m_start)) return curve_status::bad_argument;
    m_end = b;
    return curve_status::ok;
}
