#include "curves/curve_view.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "curves/curve_status.h"
#include "curves/nurbs.h"

CArcLengthMap::CArcLengthMap(const CDoubleArray& L, const CDoubleArray& t, const CDoubleArray& d, int& status)
    : CCurveFunction(nullptr, 0.0, 0.0)
{
    status = curve_status::bad_argument;
    const int n = L.count();
    if (n < 2 || t.count() < n || d.count() < n || !(std::fabs(d[0]) > g_curve_eps)) return;
    const double sigma = d[0] > 0.0 ? 1.0 : -1.0;
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(L[i]) || !std::isfinite(t[i]) || !std::isfinite(d[i])) return;
    for (int i = 1; i < n; ++i)
        if (!(sigma * d[i] >= g_curve_eps) || !(sigma * (t[i] - t[i - 1]) >= g_curve_eps) ||
            !(L[i] - L[i - 1] >= g_curve_eps))
            return;
    if (2 * n - 1 > g_max_knots) {
        status = curve_status::too_many_knots;
        return;
    }
    int st = curve_status::ok;
    std::unique_ptr<CKnotVector> kv(new (std::nothrow) CKnotVector(1, 2 * n - 1, st));
    std::unique_ptr<CPointArray> pts(new (std::nothrow) CPointArray());
    if (!kv || !pts) st = curve_status::no_memory;
    for (int i = 0; i < 2 * n - 1 && st == curve_status::ok; ++i) st = pts->append(Qe_Pt());
    if (st != curve_status::ok) {
        status = st;
        return;
    }
    (*kv)[0] = (*kv)[1] = L[0];
    (*pts)[0] = Qe_Pt(t[0], 1.0, 0.0);
    double w = 1.0;
    for (int i = 1; i < n; ++i) {
        const int g = 2 * i;
        const double w2 = w * std::sqrt(d[i - 1] / d[i]);
        kv->set_knot(g + 1, L[i]);  // the last one, index 2n - 1, sets the period
        (*pts)[g] = Qe_Pt(w2 * t[i], w2, 0.0);
        const double j = (w * d[i - 1] + w2 * d[i]) * (L[i] - L[i - 1]) / (2.0 * (t[i] - t[i - 1]));
        (*pts)[g - 1] = Qe_Pt(j * (w * t[i - 1] + w2 * t[i]) / (w + w2), j, 0.0);
        (*kv)[g] = (L[i - 1] + L[i]) / 2.0;
        w = w2;
    }
    std::unique_ptr<CNURBS> map(new (std::nothrow) CNURBS(kv.release(), pts.release(), nullptr, st));
    if (!map) st = curve_status::no_memory;
    if (st != curve_status::ok) {
        status = st;
        return;
    }
    m_start = map->start_param();
    m_end = map->end_param();
    m_map = std::move(map);
    m_curve = m_map.get();
    status = curve_status::ok;
}

CArcLengthMap::CArcLengthMap(const CArcLengthMap& other, int& status) : CCurveFunction(other)
{
    status = curve_status::ok;
    m_curve = nullptr;
    if (!other.m_map) return;
    m_map.reset(static_cast<CNURBS*>(other.m_map->clone()));
    if (!m_map) status = curve_status::no_memory;
    m_curve = m_map.get();
}

CArcLengthMap::~CArcLengthMap() = default;

CCurveFunction* CArcLengthMap::clone() const
{
    int st = curve_status::ok;
    std::unique_ptr<CArcLengthMap> copy(new (std::nothrow) CArcLengthMap(*this, st));
    return copy && st == curve_status::ok ? copy.release() : nullptr;
}

int CArcLengthMap::value(double l, double& t) const
{
    if (!m_map) return curve_status::bad_argument;
    Qe_Pt p;
    int st = m_map->point(std::clamp(l, m_start, m_end), p);
    if (st != curve_status::ok) return st;
    if (!(std::fabs(p.y()) > g_curve_eps)) return 1;
    t = p.x() / p.y();
    return curve_status::ok;
}

int CArcLengthMap::value_and_derivative(double l, double& t, double& dt) const
{
    if (!m_map) return curve_status::bad_argument;
    Qe_Pt p;
    Qe_Vec d;
    int st = m_map->point_and_tangent(std::clamp(l, m_start, m_end), p, d);
    if (st != curve_status::ok) return st;
    if (!(std::fabs(p.y()) > g_curve_eps)) return curve_status::zero_weight;
    t = p.x() / p.y();
    dt = (d.x() - t * d.y()) / p.y();
    return curve_status::ok;
}

CCurveView::CCurveView(const CCurve* base, CArcLengthMap* map, int& status) : m_base(base), m_map(map)
{
    status = base && map ? curve_status::ok : curve_status::bad_argument;
}

CCurveView::~CCurveView() = default;

int CCurveView::base_param(double l, double& t) const
{
    return m_map ? m_map->value(l, t) : curve_status::bad_argument;
}

CCurve* CCurveView::clone() const
{
    if (!m_map) return nullptr;
    std::unique_ptr<CArcLengthMap> map(static_cast<CArcLengthMap*>(m_map->clone()));
    if (!map) return nullptr;
    int st = curve_status::ok;
    CCurveView* copy = new (std::nothrow) CCurveView(m_base, map.get(), st);
    if (copy) map.release();
    return copy;
}

double CCurveView::start_param() const
{
    return m_map ? m_map->start() : 0.0;
}
double CCurveView::end_param() const
{
    return m_map ? m_map->end() : 0.0;
}
double CCurveView::period() const
{
    return 0.0;
}
int CCurveView::curve_flag() const
{
    return m_base ? m_base->curve_flag() : 0;
}

int CCurveView::point(double l, Qe_Pt& p) const
{
    if (!m_map || !m_base) return curve_status::bad_argument;
    double t = 0.0;
    int st = m_map->value(l, t);
    return st != curve_status::ok ? st : m_base->point(t, p);
}

int CCurveView::point_and_tangent(double l, Qe_Pt& p, Qe_Vec& d) const
{
    if (!m_map || !m_base) return curve_status::bad_argument;
    double t = 0.0, dt = 0.0;
    int st = m_map->value_and_derivative(l, t, dt);
    if (st != curve_status::ok) return st;
    Qe_Vec db;
    if ((st = m_base->point_and_tangent(t, p, db)) != curve_status::ok) return st;
    d = db * dt;
    return curve_status::ok;
}

namespace {

// The view of curve over nodes at the parameters in t, lengths integrated between them.
int make_view(const CCurve& curve, const CDoubleArray& t, std::unique_ptr<CCurveView>& out)
{
    const CSpeedFunction speed(&curve);
    int st = curve_status::ok;
    const int n = t.count();
    CDoubleArray L(n, st), d(n, st);
    if (st != curve_status::ok || L.count() != n || d.count() != n) return curve_status::no_memory;
    for (int i = 0; i < n; ++i) {
        if (i > 0) {
            double piece = 0.0;
            if ((st = curve.CCurve::integrate(speed, t[i - 1], t[i], piece)) != curve_status::ok) return st;
            L[i] = L[i - 1] + piece;
        }
        d[i] = speed.inverse_value(t[i]);
    }
    std::unique_ptr<CArcLengthMap> map(new (std::nothrow) CArcLengthMap(L, t, d, st));
    if (!map) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    std::unique_ptr<CCurveView> view(new (std::nothrow) CCurveView(&curve, map.get(), st));
    if (!view) return curve_status::no_memory;
    map.release();
    if (st != curve_status::ok) return st;
    out = std::move(view);
    return curve_status::ok;
}

}  // namespace

int CCurve::arc_length_view(double a, double b, std::unique_ptr<CCurveView>& out) const
{
    int st = curve_status::ok;
    CDoubleArray t(33, st);
    if (st != curve_status::ok) return st;
    const double h = (b - a) / 32.0;
    for (int i = 0; i < 33; ++i) t[i] = i == 32 ? b : a + i * h;
    return make_view(*this, t, out);
}

int CNURBS::arc_length_view(double a, double b, std::unique_ptr<CCurveView>& out) const
{
    if (!m_knots || control_count() == 0 || !(b > a)) return curve_status::bad_argument;
    int st = curve_status::ok;
    CDoubleArray t;
    if ((st = t.append(a)) != curve_status::ok) return st;
    int s = 0;
    if ((st = m_knots->find_span(a, s)) != curve_status::ok) return st;
    const int p = degree();
    // Each knot span cut to [a, b] and split into p equal segments; a view from inside a
    // span starts at a, not at the span's knot.
    for (int guard = 0; guard <= 10 * (control_count() + p) && m_knots->knot(s) < b; ++guard, ++s) {
        const double lo = std::max(a, m_knots->knot(s)), hi = std::min(b, m_knots->knot(s + 1));
        if (!(hi - lo >= 1e-9)) continue;
        for (int k = 1; k <= p; ++k)
            if ((st = t.append(k == p ? hi : lo + (hi - lo) * k / p)) != curve_status::ok) return st;
    }
    if (t.count() < 2) return curve_status::bad_argument;
    return make_view(*this, t, out);
}
