#include "curves/nurbs.h"

#include <cmath>
#include <new>
#include <utility>

#include "curves/curve_status.h"

CSpanSampleSink::~CSpanSampleSink() = default;

CNURBS::CNURBS(CKnotVector* knots, CPointArray* points, CDoubleArray* weights, int& status)
    : m_knots(knots),
      m_points(points),
      m_weights(weights)
{
    status = curve_status::inconsistent;
    if (!m_knots || !m_points || m_knots->count() != m_points->count()) return;
    if ((status = m_knots->check()) != curve_status::ok) return;
    status = curve_status::inconsistent;
    const int c = m_points->count();
    for (int i = 0; i < c; ++i)
        for (int j = 0; j < 3; ++j)
            if (!std::isfinite((*m_points)[i].coordinate(j))) return;
    if (m_weights) {
        if (m_weights->count() != c) return;
        bool common = true;
        for (int i = 0; i < c; ++i) {
            const double w = (*m_weights)[i];
            if (!(w >= g_curve_eps) || !std::isfinite(w)) return;
            common = common && w == (*m_weights)[0];
        }
        if (common) {
            const double w = (*m_weights)[0];
            for (int i = 0; i < c; ++i) {
                Qe_Pt& p = (*m_points)[i];
                p = Qe_Pt(p.x() / w, p.y() / w, p.z() / w);
            }
            m_weights.reset();
        }
    }
    m_start = m_knots->start();
    m_end = m_knots->end();
    m_period = m_knots->period();
    status = curve_status::ok;
}

CNURBS::~CNURBS() = default;

double CNURBS::weight(int i) const
{
    return m_weights ? (*m_weights)[((i % m_weights->count()) + m_weights->count()) % m_weights->count()] : 1.0;
}

Qe_Pt CNURBS::control_point(int i) const
{
    const Qe_Pt& p = (*m_points)[i];
    const double w = weight(i);
    return Qe_Pt(p.x() / w, p.y() / w, p.z() / w);
}

CCurve* CNURBS::clone() const
{
    int st = curve_status::ok;
    std::unique_ptr<CNURBS> copy(new (std::nothrow) CNURBS());
    if (!copy) return nullptr;
    if (m_knots) {
        copy->m_knots.reset(new (std::nothrow) CKnotVector(*m_knots, st));
        if (!copy->m_knots || st != curve_status::ok) return nullptr;
    }
    if (m_points) {
        copy->m_points.reset(new (std::nothrow) CPointArray(*m_points, st));
        if (!copy->m_points || st != curve_status::ok) return nullptr;
    }
    if (m_weights) {
        copy->m_weights.reset(new (std::nothrow) CDoubleArray(*m_weights, st));
        if (!copy->m_weights || st != curve_status::ok) return nullptr;
    }
    copy->m_start = m_start;
    copy->m_end = m_end;
    copy->m_period = m_period;
    copy->m_flag = m_flag;
    return copy.release();
}

int CNURBS::evaluate(double t, int order, Qe_Vec* out) const
{
    if (order < 0 || order > 2) return -1;
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    int s = 0;
    int st = m_knots->find_span(t, s);
    if (st != curve_status::ok) return st;
    const int p = degree();
    double n0[g_max_degree + 1], n1[g_max_degree + 1], n2[g_max_degree + 1];
    m_knots->basis(s, t, n0, order >= 1 ? n1 : nullptr, order >= 2 ? n2 : nullptr);
    double a[3][4] = {};
    for (int j = 0; j <= p; ++j) {
        const Qe_Pt& q = (*m_points)[s - p + j];
        const double w = weight(s - p + j);
        const double* n[3] = {n0, n1, n2};
        for (int d = 0; d <= order; ++d) {
            for (int c = 0; c < 3; ++c) a[d][c] += n[d][j] * q.coordinate(c);
            a[d][3] += n[d][j] * w;
        }
    }
    auto vec = [](const double* v) { return Qe_Vec(v[0], v[1], v[2]); };
    if (!m_weights) {
        for (int d = 0; d <= order; ++d) out[d] = vec(a[d]);
        return curve_status::ok;
    }
    const double w = a[0][3];
    if (!(w >= g_curve_eps)) return curve_status::zero_vector;
    out[0] = vec(a[0]) / w;
    if (order >= 1) out[1] = (vec(a[1]) - a[1][3] * out[0]) / w;
    if (order >= 2) out[2] = (vec(a[2]) - 2.0 * a[1][3] * out[1] - a[2][3] * out[0]) / w;
    return curve_status::ok;
}

int CNURBS::derivatives(double t, int order, Qe_Vec* out) const
{
    return evaluate(t, order, out);
}

int CNURBS::point_and_tangent(double t, Qe_Pt& p, Qe_Vec& d) const
{
    Qe_Vec v[2];
    int st = evaluate(t, 1, v);
    if (st != curve_status::ok) return st;
    p = Qe_Pt(v[0].x(), v[0].y(), v[0].z());
    d = v[1];
    return st;
}

int CNURBS::point(double t, Qe_Pt& p) const
{
    Qe_Vec v;
    int st = evaluate(t, 0, &v);
    if (st == curve_status::ok) p = Qe_Pt(v.x(), v.y(), v.z());
    return st;
}

int CNURBS::kind() const
{
    return 4;
}
int CNURBS::size_estimate() const
{
    return 12 * degree() * degree() * control_count();
}
bool CNURBS::transforms_exactly() const
{
    return true;
}

void CNURBS::deboor(int s, double u, double out[4]) const
{
    const int p = degree();
    double d[g_max_degree + 1][4];
    for (int j = 0; j <= p; ++j) {
        const Qe_Pt& q = (*m_points)[s - p + j];
        d[j][0] = q.x();
        d[j][1] = q.y();
        d[j][2] = q.z();
        d[j][3] = weight(s - p + j);
    }
    for (int r = 1; r <= p; ++r) {
        for (int j = p; j >= r; --j) {
            const int i = s - p + j;
            const double lo = m_knots->knot(i), span = m_knots->knot(i + p + 1 - r) - lo;
            const double alpha = span != 0.0 ? (u - lo) / span : 0.0;
            for (int c = 0; c < 4; ++c) d[j][c] = (1.0 - alpha) * d[j - 1][c] + alpha * d[j][c];
        }
    }
    for (int c = 0; c < 4; ++c) out[c] = d[p][c];
}

int CNURBS::homogeneous_point(double t, Qe_Pt& p, double& w) const
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    int s = 0;
    int st = m_knots->find_span(t, s);
    if (st != curve_status::ok) return st;
    double h[4];
    deboor(s, t, h);
    p = Qe_Pt(h[0], h[1], h[2]);
    w = h[3];
    return curve_status::ok;
}

int CNURBS::set_end_control_point(int which, const Qe_Pt& p)
{
    if (control_count() == 0) return curve_status::bad_argument;
    const int i = which == -1 ? 0 : control_count() - 1;
    const double w = weight(i);
    (*m_points)[i] = Qe_Pt(p.x() * w, p.y() * w, p.z() * w);
    return curve_status::ok;
}

int CNURBS::set_range(double a, double b)
{
    if (!(b - 1e-6 > a)) return -1;
    m_start = a;
    m_end = b;
    return curve_status::ok;
}

int CNURBS::set_start(double a)
{
    if (!(a <= m_end)) return -1;
    m_start = a;
    return curve_status::ok;
}

int CNURBS::set_end(double b)
{
    if (!(b >= m_start)) return -1;
    m_end = b;
    return curve_status::ok;
}

int CNURBS::translate(const Qe_Vec& v)
{
    for (int i = 0; i < control_count(); ++i) (*m_points)[i] += v * weight(i);
    return curve_status::ok;
}

int CNURBS::sample_spans(CSpanSampleSink& sink) const
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    int s = 0;
    int st = m_knots->find_span(m_start, s);
    if (st != curve_status::ok) return st;
    const int p = degree(), n = 3 * p;
    // One pass over the range visits at most c + p spans (clamped or periodic).
    for (int guard = 0; guard <= control_count() + p && m_knots->knot(s) < m_end; ++guard, ++s) {
        const double a = m_knots->knot(s), b = m_knots->knot(s + 1);
        if (!(b > a)) continue;
        const double step = (b - a) / n;
        st = forward_points(s, a, step, n, 0, [&](int k, const double* h) {
            return sink.take(Qe_Pt(h[0], h[1], h[2]), h[3], k == n ? b : a + k * step);
        });
        if (st != curve_status::ok) return st;
    }
    return curve_status::ok;
}

void CNURBS::swap_contents(CNURBS& other)
{
    std::swap(m_knots, other.m_knots);
    std::swap(m_points, other.m_points);
    std::swap(m_weights, other.m_weights);
    std::swap(m_start, other.m_start);
    std::swap(m_end, other.m_end);
    std::swap(m_period, other.m_period);
}

void CNURBS::reset()
{
    m_knots.reset();
    m_points.reset();
    m_weights.reset();
    m_start = m_end = m_period = 0.0;
}
