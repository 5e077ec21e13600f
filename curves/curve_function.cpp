#include "curves/curve_function.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "curves/curve.h"
#include "curves/curve_status.h"
#include "curves/nurbs.h"

CCurveFunction::~CCurveFunction() = default;
double CCurveFunction::function_period() const
{
    return 0.0;
}
int CCurveFunction::value_and_derivative(double, double&, double&) const
{
    return -1;
}
int CCurveFunction::value(double, double&) const
{
    return -1;
}

namespace {

// Brings t back into [a, b] by whole periods at once: a huge step cannot take forever.
double wrap_into(double t, double a, double l)
{
    double r = std::fmod(t - a, l);
    if (r < 0.0) r += l;
    if (!(r < l)) r = 0.0;  // -tiny + l rounds to l
    return a + r;
}

}  // namespace

int solve_function(const CCurveFunction& fn, double& t)
{
    if (!std::isfinite(t)) return curve_status::no_result;
    const double a = fn.start(), b = fn.end(), l = fn.function_period();
    double u = t, f = HUGE_VAL, df = 0.0;
    int clamped = 0;  // -1 clamped to the start on the last step, +1 to the end
    for (int i = 0; i < fn.iteration_limit(); ++i) {
        int st = fn.value_and_derivative(u, f, df);
        if (st != curve_status::ok) return st;
        if (!(std::fabs(f) > fn.value_tolerance()) || !(std::fabs(df) > 1e-9)) break;
        const double g = f / df;
        if (!(std::fabs(g) > fn.value_tolerance())) break;
        u -= g;
        if (!std::isfinite(u)) return curve_status::no_result;
        if (u < a - 1e-9) {
            if (l != 0.0) {
                u = wrap_into(u, a, l);
            } else {
                u = a;
                if (clamped == -1) break;
                clamped = -1;
                continue;
            }
        } else if (u > b + 1e-9) {
            if (l != 0.0) {
                u = wrap_into(u, a, l);
            } else {
                u = b;
                if (clamped == 1) break;
                clamped = 1;
                continue;
            }
        }
        clamped = 0;
    }
    t = u;
    return std::fabs(f) <= fn.result_tolerance() ? curve_status::ok : curve_status::no_result;
}

CSpeedFunction::CSpeedFunction(const CCurve* curve) : CCurveFunction(curve, curve->start_param(), curve->end_param()) {}

CCurveFunction* CSpeedFunction::clone() const
{
    return new (std::nothrow) CSpeedFunction(*this);
}

int CSpeedFunction::value(double t, double& f) const
{
    Qe_Pt p;
    Qe_Vec d;
    int st = m_curve->point_and_tangent(t, p, d);
    if (st == curve_status::ok) f = std::hypot(d.x(), d.y());
    return st;
}

double CSpeedFunction::inverse_value(double t) const
{
    double s = 0.0;
    if (value(t, s) != curve_status::ok || !(s > g_curve_eps)) return -1.0;
    return 1.0 / s;
}

CSweepFunction::CSweepFunction(const CCurve* curve, const Qe_Vec& axis)
    : CCurveFunction(curve, curve->start_param(), curve->end_param()),
      m_axis(axis)
{
}

CCurveFunction* CSweepFunction::clone() const
{
    return new (std::nothrow) CSweepFunction(*this);
}

int CSweepFunction::value(double t, double& f) const
{
    Qe_Pt p;
    Qe_Vec d;
    int st = m_curve->point_and_tangent(t, p, d);
    if (st == curve_status::ok) f = (Qe_Vec(p.x(), p.y(), p.z()) * d) % m_axis;
    return st;
}

CTangentFromPointFunction::CTangentFromPointFunction(const CCurve* curve, const Qe_Pt& q)
    : CCurveFunction(curve, curve->start_param(), curve->end_param()),
      m_q(q)
{
}

CCurveFunction* CTangentFromPointFunction::clone() const
{
    return new (std::nothrow) CTangentFromPointFunction(*this);
}
double CTangentFromPointFunction::function_period() const
{
    return m_curve->period();
}

int CTangentFromPointFunction::value_and_derivative(double t, double& f, double& df) const
{
    Qe_Vec d[3];
    int st = m_curve->derivatives(t, 2, d);
    if (st != curve_status::ok) return st;
    const Qe_Vec r = d[0] - Qe_Vec(m_q.x(), m_q.y(), m_q.z());
    f = r.x() * d[1].y() - r.y() * d[1].x();
    df = r.x() * d[2].y() - r.y() * d[2].x();
    return curve_status::ok;
}

CDirectionExtremeFunction::CDirectionExtremeFunction(const CCurve* curve, const Qe_Vec& v)
    : CCurveFunction(curve, curve->start_param() - 3.0 * curve->period(), curve->end_param() + 3.0 * curve->period()),
      m_v(v)
{
    m_value_tol = 1e-12;
}

CCurveFunction* CDirectionExtremeFunction::clone() const
{
    return new (std::nothrow) CDirectionExtremeFunction(*this);
}
double CDirectionExtremeFunction::function_period() const
{
    return m_curve->period();
}

int CDirectionExtremeFunction::value_and_derivative(double t, double& f, double& df) const
{
    Qe_Vec d[3];
    int st = m_curve->derivatives(t, 2, d);
    if (st != curve_status::ok) return st;
    f = d[1] % m_v;
    df = d[2] % m_v;
    return curve_status::ok;
}

namespace {

// 6-point Gauss-Legendre on [0, 1]: nodes x and 1 - x with the weights beside them.
constexpr double g_gl_node[3] = {0.033765242898423986, 0.16939530676686774, 0.38069040695840156};
constexpr double g_gl_weight[3] = {0.08566224618958517, 0.18038078652406931, 0.23395696728634552};

}  // namespace

int CCurve::integrate(const CCurveFunction& f, double a, double b, double& out) const
{
    const double h = b - a;
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) {
        double f1 = 0.0, f2 = 0.0;
        int st = f.value(a + h * g_gl_node[k], f1);
        if (st != curve_status::ok) return st;
        if ((st = f.value(b - h * g_gl_node[k], f2)) != curve_status::ok) return st;
        sum += g_gl_weight[k] * (f1 + f2);
    }
    out = sum * h;
    return curve_status::ok;
}

int CNURBS::integrate(const CCurveFunction& f, double a, double b, double& out) const
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    if (!std::isfinite(a) || !std::isfinite(b)) return curve_status::bad_argument;
    if (b < a) {  // the integral runs backwards: the same pieces, the sign turned
        int st = integrate(f, b, a, out);
        if (st == curve_status::ok) out = -out;
        return st;
    }
    double limit;
    if (m_knots->period() != 0.0) {
        limit = a + m_knots->period();
    } else {
        if (a < m_knots->start() - 1e-9) return curve_status::bad_argument;
        limit = m_knots->end();
    }
    if (b > limit + 1e-9) return curve_status::bad_argument;
    int s = 0;
    int st = m_knots->find_span(a, s);
    if (st != curve_status::ok) return st;
    double sum = 0.0;
    // One period holds c spans; a range of at most a period meets at most c + 1 of them.
    for (int guard = 0; guard <= control_count() + 1; ++guard, ++s) {
        const double lo = std::max(a, m_knots->knot(s)), hi = std::min(b, m_knots->knot(s + 1));
        if (hi > lo) {
            double part = 0.0;
            if ((st = CCurve::integrate(f, lo, hi, part)) != curve_status::ok) return st;
            sum += part;
        }
        if (!(m_knots->knot(s + 1) < b)) break;
    }
    out = sum;
    return curve_status::ok;
}

int CCurve::length(double& out) const
{
    const CSpeedFunction speed(this);
    const double a = start_param(), h = (end_param() - a) / 10.0;
    double sum = 0.0;
    for (int part = 0; part < 10; ++part) {
        double piece = 0.0;
        const double lo = a + part * h, hi = part == 9 ? end_param() : a + (part + 1) * h;
        int st = integrate(speed, lo, hi, piece);
        if (st != curve_status::ok) return st;
        sum += piece;
    }
    out = sum;
    return curve_status::ok;
}

int CCurve::sweep_integral(double& sum, const Qe_Vec* axis) const
{
    const CSweepFunction sweep(this, axis ? *axis : Qe_Vec(0.0, 0.0, 1.0));
    double v = 0.0;
    int st = integrate(sweep, start_param(), end_param(), v);
    if (st == curve_status::ok) sum += v;
    return st;
}
