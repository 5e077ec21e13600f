#include "curves/curve_tessellation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "curves/curve.h"
#include "curves/curve_status.h"
#include "curves/nurbs.h"

CPointHook::~CPointHook() = default;

CPointCollector::~CPointCollector()
{
    std::free(m_points);
}

int CPointCollector::add(const Qe_Pt& p, double t)
{
    if (m_hook) {
        int st = m_hook->take(p, t);
        if (st == curve_status::ok) ++m_count;
        return st;
    }
    if (m_count == m_capacity) {
        if (m_capacity > (1 << 26)) return curve_status::no_memory;
        // Steps of 20 at first, then in proportion, so long polylines do not copy quadratically.
        const int cap = m_capacity + (m_capacity < 160 ? 20 : m_capacity / 2);
        void* block = m_points ? std::realloc(m_points, sizeof(double[3]) * cap) : std::calloc(cap, sizeof(double[3]));
        if (!block) return curve_status::no_memory;
        m_points = static_cast<double(*)[3]>(block);
        m_capacity = cap;
    }
    m_points[m_count][0] = p.x();
    m_points[m_count][1] = p.y();
    m_points[m_count][2] = p.z();
    ++m_count;
    return curve_status::ok;
}

int CPointCollector::hand_out(int* count, double (**points)[3])
{
    if (!points) return curve_status::bad_argument;
    *points = m_points;
    if (count) *count = m_points ? m_count : 0;
    m_points = nullptr;
    m_count = m_capacity = 0;
    return count ? curve_status::ok : curve_status::bad_argument;
}

int CPointCollector::emit(const Qe_Pt& h, double w, double t, const CPointMap* map)
{
    if (!(w >= g_curve_eps)) return curve_status::zero_weight;
    Qe_Pt p(h.x() / w, h.y() / w, h.z() / w);
    if (map) p = map->map_point(p);
    return add(p, t);
}

int tessellate_curve(const CCurve* curve, double t, int* out_count, double (**out_points)[3])
{
    CPointCollector collector;
    const double e = 2.0 * t * t;
    int st = curve_status::bad_argument;
    if (curve && out_count && out_points && std::fabs(e) > g_curve_eps) {
        st = curve->tessellate(1.0 / e, nullptr, collector);
        if (st == curve_status::ok) st = collector.hand_out(out_count, out_points);
    }
    if (st != curve_status::ok) {
        if (out_points) {
            std::free(*out_points);
            *out_points = nullptr;
        }
        if (out_count) *out_count = 0;
    }
    return map_curve_status(st);
}

namespace {

// Segment estimate for the control-point triple starting at a.
int triple_estimate(const CNURBS& c, int a, double x)
{
    const Qe_Pt p0 = c.homogeneous_control_point(a), p1 = c.homogeneous_control_point(a + 1),
                p2 = c.homogeneous_control_point(a + 2);
    const double w0 = c.weight(a), w1 = c.weight(a + 1), w2 = c.weight(a + 2);
    double d2 = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double d = (p0.coordinate(i) + p2.coordinate(i)) / 2.0 - p1.coordinate(i);
        d2 += d * d;
    }
    const double dw = w1 - (w0 + w2) / 2.0;
    const double f = std::sqrt(d2 + dw * dw);
    const double g = std::max(std::min(w0, w1), w2) * x;
    if (!(f > g_curve_eps) || !(g >= g_curve_eps)) return 1;
    // Capped before the conversion: a huge ratio would not fit an int.
    const double n = std::floor(std::sqrt(f / g));
    return static_cast<int>(std::min(n, 1e6)) + c.degree();
}

}  // namespace

int CNURBS::subdivide(double a, double b, double x, const CPointMap* map, CPointCollector& out) const
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    const int p = degree(), c = control_count();
    auto emit_at = [&](double u) {
        Qe_Pt h;
        double w = 0.0;
        int st = homogeneous_point(u, h, w);
        return st != curve_status::ok ? st : out.emit(h, w, u, map);
    };
    if (!(a < b)) return emit_at(b);
    int s = 0;
    int st = m_knots->find_span(a, s);
    if (st != curve_status::ok) return st;
    // Never more than the spans of one period and a bit: the range is at most one period
    // in practice, and the guard keeps a stretched range from looping without end.
    const int cap = std::max(1, 32767 / (4 * c));
    double u = a;
    for (int guard = 0; guard <= 4 * (c + p) && u < b; ++guard, ++s) {
        const double knot_end = m_knots->knot(s + 1);
        if (!(knot_end > u)) continue;  // empty span, or one that ends before u
        const double span_end = std::min(knot_end, b);
        int n = 1;
        if (p > 1)
            for (int t = s - p; t <= s - 2; ++t) n = std::max(n, triple_estimate(*this, t, x));
        n = std::min(n, cap);
        const double step = (span_end - u) / n;
        if (out.count() == 0) {
            st = emit_at(u);
            if (st != curve_status::ok) return st;
        }
        // Points 1 .. n - 1 of the span; the span end is evaluated directly below so that
        // every inner knot and the end point appear once and carry no accumulated error.
        st = forward_points(s, u, step, n - 1, 1, [&](int k, const double* h) {
            return out.emit(Qe_Pt(h[0], h[1], h[2]), h[3], u + k * step, map);
        });
        if (st != curve_status::ok) return st;
        if (span_end < b) {
            double h[4];
            deboor(s, span_end, h);
            st = out.emit(Qe_Pt(h[0], h[1], h[2]), h[3], span_end, map);
            if (st != curve_status::ok) return st;
        }
        u = span_end;
    }
    return emit_at(b);
}

namespace {

// The generator whose sequence the probes were tuned with: 15-bit values from seed 0,
// kept local so the process-wide rand() sequence is left alone.
struct ProbeRandom {
    unsigned state = 0;
    int next()
    {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7fff);
    }
};

// Error of a probe M against the chord A-B (plane measure about z).
double probe_error(const Qe_Pt& a, const Qe_Pt& b, const Qe_Pt& m)
{
    const Qe_Vec d = b - a, e = m - a;
    const double e2 = e.len_sq();
    if (e2 > g_curve_eps) {
        const double cross = d.x() * e.y() - d.y() * e.x();
        return 4.0 * cross * cross / e2;
    }
    return d.len_sq();
}

}  // namespace

int CCurve::subdivide(double a, double b, double x, const CPointMap* map, CPointCollector& out) const
{
    if (!(b >= a + 1e-6)) return curve_status::ok;
    ProbeRandom rnd;
    const double t_low = x * x * 0.25, t_target = x * x * 0.6, bound = x * x;
    auto eval = [&](double u, Qe_Pt& p) {
        double w = 0.0;
        Qe_Pt h;
        int st = homogeneous_point(u, h, w);
        if (st != curve_status::ok) return st;
        if (!(w >= g_curve_eps)) return curve_status::zero_weight;
        p = Qe_Pt(h.x() / w, h.y() / w, h.z() / w);
        return curve_status::ok;
    };
    auto emit = [&](const Qe_Pt& p, double u) { return out.add(map ? map->map_point(p) : p, u); };
    // Chord test from u (A) to v (B): up to three probes in the middle thirds.
    auto chord = [&](double u, const Qe_Pt& pa, double v, const Qe_Pt& pb, double& err, bool& ok) {
        auto probe = [&](double lo, double hi, double& at, Qe_Pt& m) {
            at = lo + (1.0 + rnd.next() * 0.00003051850947599719) * (hi - lo) * 0.3333;
            return eval(at, m);
        };
        double t1 = 0.0;
        Qe_Pt m1;
        int st = probe(u, v, t1, m1);
        if (st != curve_status::ok) return st;
        err = probe_error(pa, pb, m1);
        ok = !(err > bound);
        if (!ok) return curve_status::ok;
        double t2 = 0.0;
        Qe_Pt m2;
        if ((st = probe(u, t1, t2, m2)) != curve_status::ok) return st;
        err = std::max(err, probe_error(pa, m1, m2));
        if ((ok = !(err > bound))) {
            double t3 = 0.0;
            Qe_Pt m3;
            if ((st = probe(t1, v, t3, m3)) != curve_status::ok) return st;
            err = std::max(err, probe_error(m1, pb, m3));
            ok = !(err > bound);
        }
        return curve_status::ok;
    };

    Qe_Pt pu;
    int st = eval(a, pu);
    if (st != curve_status::ok) return st;
    if (out.count() == 0 && (st = emit(pu, a)) != curve_status::ok) return st;
    double u = a, h = (b - a) / 32.0;
    for (int emitted = 0; u < b && emitted < 4095; ++emitted) {
        double lower = u, upper = b, trial = std::min(u + h, b), accepted = u;
        Qe_Pt accepted_pt = pu;
        for (int tries = 0; tries < 100; ++tries) {
            Qe_Pt pt;
            if ((st = eval(trial, pt)) != curve_status::ok) return st;
            double err = 0.0;
            bool ok = false;
            if ((st = chord(u, pu, trial, pt, err, ok)) != curve_status::ok) return st;
            if (ok) {
                lower = accepted = trial;
                accepted_pt = pt;
                if (err > t_low) break;
            } else {
                upper = trial;
            }
            if (upper - lower < 1e-9) break;
            double next;
            if (err < 1e-9) {
                next = ok ? upper : 0.5 * (lower + upper);
            } else {
                const double s = std::sqrt(std::sqrt(t_target / err));
                next = std::fabs(s - 1.0) > 0.2 ? u + s * (trial - u) : 0.5 * (lower + upper);
            }
            if (!(next > lower && next <= upper)) next = 0.5 * (lower + upper);
            if (ok && accepted >= b) break;
            trial = next;
        }
        if (!(accepted > u)) accepted = lower > u ? lower : std::min(b, u + (b - a) / 4096.0);
        if (accepted >= b) {
            if ((st = eval(b, accepted_pt)) != curve_status::ok) return st;
            accepted = b;
        } else if (accepted != lower) {
            if ((st = eval(accepted, accepted_pt)) != curve_status::ok) return st;
        }
        h = accepted - u;
        u = accepted;
        pu = accepted_pt;
        if ((st = emit(pu, u)) != curve_status::ok) return st;
    }
    if (u < b) {  // the point budget ran out: close the polyline at the end all the same
        if ((st = eval(b, pu)) != curve_status::ok) return st;
        st = emit(pu, b);
    }
    return st;
}
