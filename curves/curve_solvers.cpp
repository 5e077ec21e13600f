#include "curves/curve_solvers.h"

#include <algorithm>
#include <cmath>

#include "curves/curve_status.h"

namespace {

double cross_z(const Qe_Vec& u, const Qe_Vec& v)
{
    return u.x() * v.y() - u.y() * v.x();
}
Qe_Vec left_of(const Qe_Vec& t)
{
    return Qe_Vec(-t.y(), t.x(), 0.0);
}  // z x t

// The largest believable step: a period, or a hundred times the range.
double max_step(const CCurve& c)
{
    const double l = c.period();
    return l != 0.0 ? l : 100.0 * (c.end_param() - c.start_param());
}

}  // namespace

double plane_angle(const Qe_Vec& u, const Qe_Vec& v)
{
    return std::atan2(cross_z(u, v), u % v);
}

int osculating_frame(const CCurve& curve, double t, COsculatingFrame& f)
{
    double k = 0.0, s = 0.0;
    int st = curve.local_frame(t, f.p, f.t, k, &s);
    if (st != curve_status::ok) return st;
    f.k = k;
    f.s = s;
    if (std::fabs(s * k) > 0.001 && s >= 1e-9) {
        f.r = 1.0 / k;
        f.m = f.p + left_of(f.t) * f.r;
    } else if (s >= 1e-9) {
        f.r = g_straight_radius;
    } else {
        f.r = 0.0;
        f.s = 0.0;
        f.m = f.p;
    }
    return curve_status::ok;
}

CCurvePairStepper::CCurvePairStepper(const CCurve* a, const CCurve* b, double tolerance)
    : m_curve{a, b},
      m_tol2(tolerance * tolerance)
{
}
CCurvePairStepper::~CCurvePairStepper() = default;

int CCurvePairStepper::step_point_to_line(int, int)
{
    m_dt[0] = m_dt[1] = 0.0;
    return curve_status::no_result;
}
int CCurvePairStepper::step_point_to_circle(int, int)
{
    m_dt[0] = m_dt[1] = 0.0;
    return curve_status::no_result;
}
int CCurvePairStepper::step_line_line()
{
    m_dt[0] = m_dt[1] = 0.0;
    return curve_status::no_result;
}
int CCurvePairStepper::step_line_circle(int, int)
{
    m_dt[0] = m_dt[1] = 0.0;
    return curve_status::no_result;
}
int CCurvePairStepper::step_circle_circle()
{
    m_dt[0] = m_dt[1] = 0.0;
    return curve_status::no_result;
}
bool CCurvePairStepper::has_converged()
{
    return false;
}

int CCurvePairStepper::solve(double ta0, double tb0)
{
    if (!m_curve[0] || !m_curve[1]) return curve_status::bad_argument;
    const double max_a = max_step(*m_curve[0]), max_b = max_step(*m_curve[1]);
    m_t[0] = ta0;
    m_t[1] = tb0;
    m_stop = false;
    for (int it = 0; it <= 20; ++it) {
        for (int c = 0; c < 2; ++c) {
            int st = osculating_frame(*m_curve[c], m_t[c], m_f[c]);
            if (st != curve_status::ok) return st;
        }
        if (has_converged()) break;
        const double ra = m_f[0].r, rb = m_f[1].r;
        const bool a_straight = ra == g_straight_radius, b_straight = rb == g_straight_radius;
        int st;
        if (ra == 0.0 && rb == 0.0) break;
        if (ra == 0.0)
            st = b_straight ? step_point_to_line(0, 1) : step_point_to_circle(0, 1);
        else if (!a_straight)
            st = rb == 0.0 ? step_point_to_circle(1, 0) : !b_straight ? step_circle_circle() : step_line_circle(1, 0);
        else
            st = rb == 0.0 ? step_point_to_line(1, 0) : !b_straight ? step_line_circle(0, 1) : step_line_line();
        if (st != curve_status::ok) return st;
        if (!(std::fabs(m_dt[0]) <= max_a) || !(std::fabs(m_dt[1]) <= max_b)) break;
        m_t[0] += m_dt[0];
        m_t[1] += m_dt[1];
        // A stopping step (parallel lines: half the gap each) is the last one taken.
        if (m_stop) break;
        if (std::fabs(m_dt[0]) <= 1e-15 * std::max(1.0, std::fabs(m_t[0])) &&
            std::fabs(m_dt[1]) <= 1e-15 * std::max(1.0, std::fabs(m_t[1])))
            break;
    }
    if (!m_curve[0]->normalize_param(m_t[0]) || !m_curve[1]->normalize_param(m_t[1])) return curve_status::no_result;
    // The distance where the solve ended, not where it last looked.
    Qe_Pt pa, pb;
    int st = m_curve[0]->point(m_t[0], pa);
    if (st == curve_status::ok) st = m_curve[1]->point(m_t[1], pb);
    if (st != curve_status::ok) return st;
    m_d2 = (pa - pb).len_sq();
    return curve_status::ok;
}

bool CCurvePairStepper::is_overlap()
{
    if (m_stop) return true;
    for (int c = 0; c < 2; ++c)
        if (osculating_frame(*m_curve[c], m_t[c], m_f[c]) != curve_status::ok) return false;
    const double ra = m_f[0].r, rb = m_f[1].r;
    if (ra == 0.0 && rb == 0.0) {
        m_stop = true;
        return true;
    }
    if (ra == g_straight_radius && rb == g_straight_radius)
        return std::fabs(cross_z(m_f[0].t, m_f[1].t)) <= 5e-6 && m_f[0].t % m_f[1].t > 0.0;
    if (ra == 0.0 || rb == g_straight_radius || rb == 0.0 || ra == g_straight_radius) return false;
    // Equal radii alone do not make an overlap: two equal circles also cross. They run
    // together only when they leave the point in one direction as well.
    return std::fabs(ra - rb) <= 1e-4 * std::max(std::fabs(ra), std::fabs(rb)) &&
           std::fabs(cross_z(m_f[0].t, m_f[1].t)) <= 5e-6 && m_f[0].t % m_f[1].t > 0.0;
}

int CCurvePairSolver::step_point_to_line(int i, int j)
{
    m_dt[0] = m_dt[1] = 0.0;
    m_dt[j] = ((m_f[i].p - m_f[j].p) % m_f[j].t) / m_f[j].s;
    return curve_status::ok;
}

int CCurvePairSolver::step_point_to_circle(int i, int j)
{
    m_dt[0] = m_dt[1] = 0.0;
    const Qe_Vec v = m_f[i].p - m_f[j].m;
    if (!(v.len() >= 0.001 * std::max(m_f[i].s, m_f[j].s))) {
        m_stop = true;
        return curve_status::ok;
    }
    // From the moving point towards the target, turned into a parameter step along the
    // circle's own direction (a negative radius runs clockwise).
    m_dt[j] = plane_angle(m_f[j].p - m_f[j].m, v) * m_f[j].r / m_f[j].s;
    return curve_status::ok;
}

int CCurvePairSolver::step_line_line()
{
    m_dt[0] = m_dt[1] = 0.0;
    const Qe_Vec d = m_f[1].p - m_f[0].p;
    const Qe_Vec &ta = m_f[0].t, &tb = m_f[1].t;
    const double c = cross_z(ta, tb);
    if (std::fabs(c) > 1e-9) {
        m_dt[0] = cross_z(d, tb) / c;
        m_dt[1] = cross_z(d, ta) / c;
    } else {
        m_dt[0] = (d % ta) * 0.5;
        m_dt[1] = -(d % tb) * 0.5;
        m_stop = true;
    }
    m_dt[0] /= m_f[0].s;
    m_dt[1] /= m_f[1].s;
    return curve_status::ok;
}

int CCurvePairSolver::step_line_circle(int l, int c)
{
    m_dt[0] = m_dt[1] = 0.0;
    const COsculatingFrame &fl = m_f[l], &fc = m_f[c];
    const Qe_Vec w = fc.p - fc.m, v = fl.p - fc.m;
    const double b = -(v % fl.t);
    const Qe_Vec foot = v + fl.t * b;
    const double q = foot.len_sq(), r2 = fc.r * fc.r;
    double along = b;
    Qe_Vec chosen = foot;
    if (r2 - 1e-9 > q) {
        const double h = std::sqrt(r2 - q);
        const Qe_Vec x1 = v + fl.t * (b - h), x2 = v + fl.t * (b + h);
        if (std::fabs(plane_angle(w, x2)) < std::fabs(plane_angle(w, x1))) {
            along = b + h;
            chosen = x2;
        } else {
            along = b - h;
            chosen = x1;
        }
    }
    if (along != 0.0) m_dt[l] = along / fl.s;
    m_dt[c] = plane_angle(w, chosen) * fc.r / fc.s;
    return curve_status::ok;
}

int CCurvePairSolver::step_circle_circle()
{
    m_dt[0] = m_dt[1] = 0.0;
    const COsculatingFrame &fa = m_f[0], &fb = m_f[1];
    const double d = (fb.m - fa.m).len(), ra = std::fabs(fa.r), rb = std::fabs(fb.r);
    const bool a_larger = ra >= rb;
    const double f = a_larger ? ra : rb, r = a_larger ? rb : ra, e = (ra + rb) * 1e-9;
    const Qe_Pt& big = a_larger ? fa.m : fb.m;
    const Qe_Pt& small = a_larger ? fb.m : fa.m;
    Qe_Vec to_a, to_b;
    if (d < e) {
        m_stop = true;
        return curve_status::ok;
    }
    if (d >= ra + rb - 1e-6) {
        to_a = fb.m - fa.m;
        to_b = fa.m - fb.m;
    } else if (d <= e + (f - r)) {
        to_a = to_b = small - big;
    } else {
        if (2.0 * d * f < e) {
            m_stop = true;
            return curve_status::ok;
        }
        const double g = ((f + r) * (f - r) + d * d) / (2.0 * d * f);
        const Qe_Vec ov = small - big;
        const double ol = ov.len();
        if (!(ol > g_curve_eps)) return curve_status::zero_vector;
        const Qe_Vec u = ov / ol, n = left_of(u);
        // Rounding can take g just past 1 for nearly touching large circles.
        const double h = f * std::sqrt(std::max(0.0, 1.0 - g * g));
        const Qe_Pt x1 = big + u * (f * g) + n * h, x2 = big + u * (f * g) - n * h;
        auto score = [&](const Qe_Pt& x) { return (x - fa.m) % (fa.p - fa.m) + (x - fb.m) % (fb.p - fb.m); };
        const Qe_Pt x = score(x1) > score(x2) ? x1 : x2;
        to_a = x - fa.m;
        to_b = x - fb.m;
    }
    m_dt[0] = plane_angle(fa.p - fa.m, to_a) * fa.r / fa.s;
    m_dt[1] = plane_angle(fb.p - fb.m, to_b) * fb.r / fb.s;
    return curve_status::ok;
}

bool CCurvePairSolver::has_converged()
{
    m_d2 = (m_f[0].p - m_f[1].p).len_sq();
    return m_d2 <= m_tol2;
}

CPointStepper::CPointStepper(const CCurve* curve, const Qe_Pt& q, double tolerance)
    : m_curve(curve),
      m_q(q),
      m_tol2(tolerance * tolerance)
{
}
CPointStepper::~CPointStepper() = default;

int CPointStepper::step_to_line()
{
    m_dt = 0.0;
    return curve_status::no_result;
}
int CPointStepper::step_to_circle()
{
    m_dt = 0.0;
    return curve_status::no_result;
}
bool CPointStepper::has_converged()
{
    return false;
}

int CPointStepper::solve(double t0)
{
    if (!m_curve) return curve_status::bad_argument;
    const double limit = max_step(*m_curve);
    m_t = t0;
    m_stop = false;
    for (int it = 0; it <= 20; ++it) {
        int st = osculating_frame(*m_curve, m_t, m_f);
        if (st != curve_status::ok) return st;
        if (has_converged() || m_f.r == 0.0) break;
        st = m_f.r == g_straight_radius ? step_to_line() : step_to_circle();
        if (st != curve_status::ok) return st;
        if (m_stop || !(std::fabs(m_dt) <= limit)) break;
        m_t += m_dt;
        if (std::fabs(m_dt) <= 1e-15 * std::max(1.0, std::fabs(m_t))) break;
    }
    if (!m_curve->normalize_param(m_t)) return curve_status::no_result;
    // The point and distance where the search ended, not where it last looked.
    Qe_Pt p;
    int st = m_curve->point(m_t, p);
    if (st != curve_status::ok) return st;
    m_f.p = p;
    m_d2 = (p - m_q).len_sq();
    return curve_status::ok;
}

int CPointProjector::step_to_line()
{
    m_dt = ((m_q - m_f.p) % m_f.t) / m_f.s;
    return curve_status::ok;
}

int CPointProjector::step_to_circle()
{
    m_dt = 0.0;
    const Qe_Vec a = m_f.p - m_f.m, b = m_q - m_f.m;
    if (!(a.len() >= 1e-9) || !(b.len() >= 1e-9)) {
        m_stop = true;
        return curve_status::ok;
    }
    m_dt = m_f.r * plane_angle(a, b) / m_f.s;
    return curve_status::ok;
}

bool CPointProjector::has_converged()
{
    m_d2 = (m_f.p - m_q).len_sq();
    return m_d2 < m_tol2;
}
