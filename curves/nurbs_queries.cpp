// Queries of the rational B-spline built on its span sampler and its tessellation: line
// and ray crossings, the point-on-curve test, self-intersections and the bound test.

#include <algorithm>
#include <cmath>
#include <vector>

#include "curves/crossings_p.h"
#include "curves/curve_box.h"
#include "curves/curve_solvers.h"
#include "curves/curve_status.h"
#include "curves/curve_tessellation.h"
#include "curves/intersection.h"
#include "curves/nurbs.h"

namespace {

struct Sample {
    Qe_Pt x;
    double t, d;
};

// Every crossing of the curve with the line kind: the spans sampled, sign changes of the
// signed distance judged between the nearest samples off the line (a sample on the line
// is no sign of its own), across the seam of a closed curve too, each refined.
int crossings(const CNURBS& c, const CCurve& line, std::vector<double>& line_params)
{
    const CLineCurve* l = line.kind() == 0 ? dynamic_cast<const CLineCurve*>(&line) : nullptr;
    if (!l) return curve_status::bad_argument;
    const Qe_Vec dir = l->line_direction();
    const double dd = dir % dir;
    if (!(dd >= 1e-9)) return curve_status::zero_vector;
    const Qe_Vec n(-dir.y(), dir.x(), 0.0);
    const double c0 = n % l->line_origin(), od = l->line_origin() % dir;
    struct Sink : CSpanSampleSink {
        std::vector<Sample> s;
        Qe_Vec n;
        double c0;
        int take(const Qe_Pt& h, double w, double t) override
        {
            if (!(w >= g_curve_eps)) return curve_status::zero_weight;
            const Qe_Pt x(h.x() / w, h.y() / w, h.z() / w);
            if (!s.empty() && s.back().t == t) return curve_status::ok;  // a span's start repeats its predecessor's end
            s.push_back({x, t, n % x - c0});
            return curve_status::ok;
        }
    } sink;
    sink.n = n;
    sink.c0 = c0;
    int st = c.sample_spans(sink);
    if (st != curve_status::ok) return st;
    std::vector<Sample>& s = sink.s;
    // Only the curve's own range counts.
    s.erase(std::remove_if(s.begin(), s.end(),
                           [&](const Sample& x) { return x.t < c.start_param() || x.t > c.end_param(); }),
            s.end());
    if (s.empty()) return curve_status::ok;
    const bool closed = c.is_closed();
    if (closed && s.size() > 1) s.pop_back();  // the end point is the start point again
    const int m = static_cast<int>(s.size());
    int prev = -1;  // the last sample off the line
    if (closed)
        for (int i = m - 1; i >= 0 && prev < 0; --i)
            if (s[i].d != 0.0) prev = i;
    if (prev < 0 && !closed)
        for (int i = 0; i < m && prev < 0; ++i)
            if (s[i].d != 0.0) prev = i;
    if (prev < 0) return curve_status::ok;  // the curve lies on the line
    const int first = closed ? 0 : prev + 1;
    int zero_run = -1;  // the first sample on the line since prev
    for (int k = 0; k < m; ++k) {
        const int i = first + k;
        if (!closed && i >= m) break;
        const Sample& x = s[i % m];
        if (x.d == 0.0) {
            if (zero_run < 0) zero_run = i % m;
            continue;
        }
        const Sample& y = s[prev];
        if ((x.d > 0.0) != (y.d > 0.0)) {
            double s0, t0;
            if (zero_run >= 0) {
                s0 = ((s[zero_run].x % dir) - od) / dd;
                t0 = s[zero_run].t;
            } else {
                const double sum = std::fabs(y.d) + std::fabs(x.d);
                const double wy = sum > 1e-9 ? std::fabs(x.d) / sum : 0.5, wx = sum > 1e-9 ? std::fabs(y.d) / sum : 0.5;
                s0 = (wy * (y.x % dir) + wx * (x.x % dir) - od) / dd;
                double tx = x.t;
                if (tx < y.t) tx += c.end_param() - c.start_param();  // across the seam
                t0 = (1.0 - wx) * y.t + wx * tx;
                if (t0 > c.end_param()) t0 -= c.end_param() - c.start_param();
            }
            double sl = 0.0, tc = 0.0;
            st = refine_intersection(&line, &c, s0, t0, sl, tc, 1e-9);
            if (st == curve_status::ok)
                line_params.push_back(sl);
            else if (st != curve_status::no_result)
                return st;
        }
        prev = i % m;
        zero_run = -1;
    }
    return curve_status::ok;
}

}  // namespace

int CNURBS::line_crossings(const CCurve& line, bool keep_zero, double* extremes[4]) const
{
    std::vector<double> found;
    int st = crossings(*this, line, found);
    if (st != curve_status::ok) return st;
    for (double v : found) record_line_crossing(v, keep_zero, extremes);
    return curve_status::ok;
}

int CNURBS::count_ray_crossings(const CCurve& line, int& count) const
{
    std::vector<double> found;
    int st = crossings(*this, line, found);
    if (st != curve_status::ok) return st;
    CDoubleArray ahead;
    for (double v : found)
        if (v > 1e-9 && (st = ahead.insert_sorted(v, 1e-9)) != curve_status::ok) return st;
    count += ahead.count();
    return curve_status::ok;
}

int CNURBS::bound_test(double bound) const
{
    if (!(std::fabs(bound) > 1e-9)) return curve_status::ok;
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    const double limit = 1.0 / std::fabs(bound);
    auto test = [&](double u) {
        Qe_Pt p;
        int st = point(u, p);
        if (st != curve_status::ok) return st;
        for (int i = 0; i < 3; ++i)
            if (!(std::fabs(p.coordinate(i)) <= limit)) return curve_status::out_of_range;
        return curve_status::ok;
    };
    int st = test(m_knots->start());
    const int p = degree();
    for (int s = 0; st == curve_status::ok && s <= control_count() + p; ++s) {
        const double a = m_knots->knot(s), b = m_knots->knot(s + 1);
        if (a < m_knots->start() || b > m_knots->end()) continue;
        const double step = (b - a) / (10 * p);
        if (!(step > 1e-9)) continue;
        for (int k = 1; k <= 10 * p && st == curve_status::ok; ++k) st = test(a + k * step);
    }
    return st;
}

namespace {

// Watches the tessellation for a point or a chord near q.
class ContainsHook : public CPointHook {
public:
    ContainsHook(const CNURBS& c, const Qe_Pt& q, double tol) : m_c(c), m_q(q), m_tol(tol) {}
    static constexpr int found = 1;  // stops the walk: q lies on the curve

    int take(const Qe_Pt& x, double t) override
    {
        if ((x - m_q).len_sq() <= m_tol * m_tol) return found;
        if (m_any) {
            const Qe_Vec c = x - m_y;
            const double c2 = c.len_sq();
            if (c2 > 1e-9) {
                const double lambda = ((m_q - m_y) % c) / c2;
                if (lambda > 0.0 && lambda < 1.0 && (m_y + c * lambda - m_q).len_sq() < 2.0 * m_tol * m_tol) {
                    Qe_Pt p;
                    double u = 0.0, d2 = 0.0;
                    if (m_c.project_from(m_q, (1.0 - lambda) * m_ty + lambda * t, p, u, d2) == curve_status::ok &&
                        d2 <= m_tol * m_tol)
                        return found;
                }
            }
        }
        m_y = x;
        m_ty = t;
        m_any = true;
        return curve_status::ok;
    }

private:
    const CNURBS& m_c;
    Qe_Pt m_q;
    double m_tol;
    Qe_Pt m_y;
    double m_ty = 0.0;
    bool m_any = false;
};

}  // namespace

bool CNURBS::contains_point(const Qe_Pt& q, double tol) const
{
    ContainsHook hook(*this, q, tol);
    CPointCollector walk(&hook);
    return tessellate(tol, nullptr, walk) == ContainsHook::found;
}

int CNURBS::self_intersections(CDoubleArray& out, double tol) const
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    const int p = degree();
    struct Span {
        int s;
        double a, b;
        CCurveBox box;
    };
    std::vector<Span> spans;
    int s0 = 0;
    int st = m_knots->find_span(m_start, s0);
    if (st != curve_status::ok) return st;
    for (int s = s0, guard = 0; guard <= control_count() + p && m_knots->knot(s) < m_end; ++s, ++guard) {
        const double a = std::max(m_start, m_knots->knot(s)), b = std::min(m_end, m_knots->knot(s + 1));
        if (!(b > a)) continue;
        Span sp{s, a, b, {}};
        for (int j = s - p; j <= s; ++j) sp.box.add(control_point(j));
        spans.push_back(sp);
    }
    const bool periodic = m_period != 0.0 && std::fabs(m_period - (m_end - m_start)) <= 1e-9;
    const int ns = static_cast<int>(spans.size());
    for (int i = 0; i < ns; ++i)
        for (int j = i + 1; j < ns; ++j) {
            const int apart = periodic ? std::min(j - i, ns - (j - i)) : j - i;
            if (apart <= p || !spans[i].box.overlaps(spans[j].box)) continue;
            // The same grid of p x p starts for every pair of spans.
            const double ha = (spans[i].b - spans[i].a) / (p + 1), hb = (spans[j].b - spans[j].a) / (p + 1);
            for (int x = 1; x <= p; ++x)
                for (int y = 1; y <= p; ++y) {
                    double ta = 0.0, tb = 0.0;
                    st = refine_intersection(this, this, spans[i].a + x * ha, spans[j].a + y * hb, ta, tb, tol);
                    if (st == curve_status::no_result) continue;
                    if (st != curve_status::ok) return st;
                    Qe_Pt mid;
                    Qe_Vec d;
                    if ((st = point_and_tangent(0.5 * (ta + tb), mid, d)) != curve_status::ok) return st;
                    if (!(std::fabs(tb - ta) * d.len() > tol)) continue;  // one point found twice
                    if ((st = out.insert_sorted(ta, 1e-6)) != curve_status::ok ||
                        (st = out.insert_sorted(tb, 1e-6)) != curve_status::ok)
                        return st;
                }
        }
    if (periodic) return curve_status::ok;
    // The ends: a second passage of the curve through its start or end point. The end's
    // own neighbourhood is left out by its length along the curve, not by its parameter.
    CDoubleArray starts;
    if ((st = sample_params(starts)) != curve_status::ok) return st;
    for (double te : {m_start, m_end}) {
        Qe_Pt pe;
        Qe_Vec de;
        if ((st = point_and_tangent(te, pe, de)) != curve_status::ok) return st;
        for (int i = 0; i < starts.count(); ++i) {
            CPointProjector projector(this, pe, tol);
            if (projector.solve(starts[i]) != curve_status::ok) continue;
            const double u = projector.t();
            if (!(projector.last_distance_sq() < tol * tol) || !(std::fabs(u - te) * de.len() > tol)) continue;
            if ((st = out.insert_sorted(te, 1e-6)) != curve_status::ok ||
                (st = out.insert_sorted(u, 1e-6)) != curve_status::ok)
                return st;
            break;
        }
    }
    return curve_status::ok;
}
