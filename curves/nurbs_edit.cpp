// Editing, boxes, parameter lists and the flat form of the rational B-spline.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "curves/band_matrix.h"
#include "curves/curve_box.h"
#include "curves/curve_function.h"
#include "curves/curve_status.h"
#include "curves/curve_tessellation.h"
#include "curves/nurbs.h"
#include "curves/point_map.h"

namespace {

int cyclic(int i, int n)
{
    const int r = i % n;
    return r < 0 ? r + n : r;
}

}  // namespace

int CNURBS::greville_interpolate(const CCurve& source, int a, int m)
{
    const int n = control_count(), p = degree();
    if (!m_knots || n == 0 || m <= 0 || m > n) return curve_status::bad_argument;
    const bool rational = m_weights != nullptr;
    const bool periodic = m_knots->period() != 0.0;
    int st = curve_status::ok;
    std::unique_ptr<CMatrix> mat;
    if (m < 2 * p + 1) {
        mat.reset(new (std::nothrow) CDenseMatrix(m, st));
    } else {
        // A whole periodic set closes on itself: its first rows reach the last columns.
        const int c = periodic && m == n ? p : 0;
        auto* band = new (std::nothrow) CBandMatrix(m - c, p, st);
        if (!band) return curve_status::no_memory;
        if (c > 0)
            mat.reset(new (std::nothrow) CCyclicMatrix(band, c, st));
        else
            mat.reset(band);
        if (!mat && c > 0) return curve_status::no_memory;
    }
    if (!mat) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    CPointArray rhs;
    std::vector<double> wr(static_cast<size_t>(m));
    // A source that is not periodic itself is read over one period of a periodic result.
    const double s0 = m_knots->start(), len = m_knots->period_length();
    const bool wrap = periodic && source.period() == 0.0;
    for (int h = 0; h < m; ++h) {
        double g = 0.0;
        for (int i = 1; i <= p; ++i) g += m_knots->knot(a + h + i);
        g /= p;
        double gs = g;
        if (wrap) {
            gs = s0 + std::fmod(g - s0, len);
            if (gs < s0) gs += len;
        }
        Qe_Pt q;
        double w = 1.0;
        st = rational ? source.homogeneous_point(gs, q, w) : source.point(gs, q);
        if (st != curve_status::ok) return st;
        int s = 0;
        if ((st = m_knots->find_span(g, s)) != curve_status::ok) return st;
        double nb[g_max_degree + 1];
        m_knots->basis(s, g, nb);
        for (int j = 0; j <= p; ++j) {
            const int col = s - p + j, hh = cyclic(col - a, n);
            if (hh < m) {
                mat->element(h, hh) += nb[j];
            } else {
                // A control point outside the set stays as it is: its share moves to the right side.
                const Qe_Pt& fixed = (*m_points)[col];
                q = Qe_Pt(q.x() - nb[j] * fixed.x(), q.y() - nb[j] * fixed.y(), q.z() - nb[j] * fixed.z());
                w -= nb[j] * weight(col);
            }
        }
        if ((st = rhs.append(q)) != curve_status::ok) return st;
        wr[h] = w;
    }
    if ((st = mat->factor()) != curve_status::ok) return st;
    if ((st = mat->solve(rhs, 0)) != curve_status::ok) return st;
    if (rational && (st = mat->solve(wr.data())) != curve_status::ok) return st;
    for (int h = 0; h < m; ++h) {
        const Qe_Pt& q = rhs[h];
        if (!std::isfinite(q.x()) || !std::isfinite(q.y()) || !std::isfinite(q.z())) return curve_status::singular;
        if (rational && !(wr[h] >= g_curve_eps)) return curve_status::zero_weight;
    }
    for (int h = 0; h < m; ++h) {
        (*m_points)[a + h] = rhs[h];
        if (rational) (*m_weights)[cyclic(a + h, n)] = wr[h];
    }
    return curve_status::ok;
}

int CNURBS::insert_knot(double& t, int k, int& index, int& count)
{
    count = 0;
    if (!m_knots || control_count() == 0 || !std::isfinite(t)) return curve_status::bad_argument;
    const int p = degree(), c = control_count();
    const double k0 = m_knots->start(), len = m_knots->period_length();
    const bool periodic = m_knots->period() != 0.0;
    double u = t, shift = 0.0;
    if (periodic) {
        u = k0 + std::fmod(t - k0, len);
        if (u < k0) u += len;
        if (!(u < k0 + len)) u = k0;
        shift = t - u;
    } else if (u < k0 - 1e-9 || u > k0 + len + 1e-9) {
        return curve_status::bad_argument;
    }
    int s = 0;
    int st = m_knots->find_span(u, s);
    if (st != curve_status::ok) return st;
    for (int i = s - 1; i <= s + 2; ++i)
        if (std::fabs(m_knots->knot(i) - u) <= 1e-9) {
            u = m_knots->knot(i);
            break;
        }
    // The run of knots equal to u and the index after it.
    int r = 0, after = s + 1;
    for (int i = s - p - 1; i <= s + p + 2; ++i)
        if (m_knots->knot(i) == u) {
            ++r;
            after = i + 1;
        }
    t = u + shift;
    index = after;
    const int num = p - r - k;
    if (num <= 0) return curve_status::ok;
    if (periodic) index = cyclic(after - 1, c) + 1;  // stored indices of the period [k0, k0 + L)
    if (index < 0 || index > c) return curve_status::bad_argument;
    std::unique_ptr<CNURBS> copy(static_cast<CNURBS*>(clone()));
    if (!copy) return curve_status::no_memory;
    if ((st = copy->m_knots->insert_knots(index, u, num)) != curve_status::ok) return st;
    // The gap goes just before the returned index: the points up to index - p - 1 keep
    // their places, those from index - 1 on move up by num, the ones between are found
    // again below.
    const int at = index - 1;
    for (int i = 0; i < num; ++i)
        if ((st = copy->m_points->insert(at, Qe_Pt())) != curve_status::ok) return st;
    if (copy->m_weights) {
        if ((st = copy->m_weights->open_gap(at, num)) != curve_status::ok) return st;
        for (int i = 0; i < num; ++i) (*copy->m_weights)[at + i] = 1.0;
    }
    if ((st = copy->greville_interpolate(*this, index - p, num + p - 1)) != curve_status::ok) return st;
    swap_contents(*copy);
    count = num;
    return curve_status::ok;
}

namespace {

// A curve on kv with count(kv) zero control points (and unit weights when rational), for
// the control points to be found afterwards.
int blank_curve(std::unique_ptr<CKnotVector> kv, bool rational, std::unique_ptr<CNURBS>& out);

}  // namespace

int CNURBS::trim(double a, double b, std::unique_ptr<CCurve>& curve)
{
    if (curve.get() != this || !m_knots || control_count() == 0) return curve_status::bad_argument;
    if (!(b - a >= 1e-9) || !std::isfinite(a) || !std::isfinite(b)) return curve_status::bad_argument;
    const double k0 = m_knots->start(), ke = m_knots->end();
    if (std::fabs(a - k0) <= 1e-9 && std::fabs(b - ke) <= 1e-9) return curve_status::ok;
    if (m_knots->period() == 0.0) {
        if (a < k0 - 1e-9 || b > ke + 1e-9) return curve_status::bad_argument;
        a = std::max(a, k0);
        b = std::min(b, ke);
    } else if (b - a > m_knots->period_length() + 1e-9) {
        return curve_status::bad_argument;
    }
    int st = curve_status::ok;
    std::unique_ptr<CKnotVector> kv(new (std::nothrow) CKnotVector(*m_knots, a, b, st));
    if (!kv) return curve_status::no_memory;
    if (st != curve_status::ok) return st;
    std::unique_ptr<CNURBS> fresh;
    if ((st = blank_curve(std::move(kv), is_rational(), fresh)) != curve_status::ok) return st;
    if ((st = fresh->greville_interpolate(*this, 0, fresh->control_count())) != curve_status::ok) return st;
    fresh->m_flag = m_flag;
    curve = std::move(fresh);  // this curve is destroyed here
    return curve_status::ok;
}

int CNURBS::reverse()
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    const int c = control_count(), p = degree();
    const double big_k = m_knots->knot(c + p), s0 = m_start, e0 = m_end;
    int st = m_knots->reverse_knots();
    if (st != curve_status::ok) return st;
    std::reverse(m_points->data(), m_points->data() + c);
    if (m_weights) m_weights->reverse();
    m_start = m_knots->start() + (big_k - e0);
    m_end = m_start + (e0 - s0);
    return curve_status::ok;
}

int CNURBS::next_corner(double t, double& out) const
{
    out = m_end;
    if (!m_knots || control_count() == 0 || !std::isfinite(t)) return curve_status::no_result;
    const int p = degree();
    int s = 0;
    if (m_knots->find_span(std::max(t, m_start), s) != curve_status::ok) return curve_status::no_result;
    for (int i = s + 1, guard = 0; guard <= control_count() + p; ++guard) {
        const double v = m_knots->knot(i);
        if (!(v < m_end - 1e-9)) break;
        int run = 1;
        while (run <= p && m_knots->knot(i + run) == v) ++run;
        if (run >= p && v > t + 1e-9) {
            // The curve passes through control point i - 1 at a knot of multiplicity p; it
            // goes straight on only when its neighbours lie on one line on either side.
            const Qe_Pt q0 = control_point(i - 2), q1 = control_point(i - 1), q2 = control_point(i);
            const bool straight = are_collinear(q0, q1, q2, 1e-6) && (q1 - q0) % (q2 - q1) >= 0.0;
            if (!straight) {
                out = v;
                return curve_status::ok;
            }
        }
        i += run;
    }
    return curve_status::no_result;
}

int CNURBS::split(int& count, CCurve*& out)
{
    ++count;
    out = this;
    double t = 0.0;
    if (next_corner(m_start, t) != curve_status::ok) return curve_status::no_result;
    std::unique_ptr<CCurve> piece(clone());
    if (!piece) return curve_status::no_memory;
    int st = piece->set_end(t);
    if (st == curve_status::ok) st = set_start(t);
    if (st != curve_status::ok) return st;
    out = piece.release();
    return curve_status::ok;
}

int CNURBS::transform_in_place(const CPointMap& map)
{
    for (int i = 0; i < control_count(); ++i) {
        const double w = weight(i);
        const Qe_Pt q = map.map_point(control_point(i));
        (*m_points)[i] = Qe_Pt(q.x() * w, q.y() * w, q.z() * w);
    }
    return curve_status::ok;
}

namespace {

// The tight box: every tessellated point widens the box, and where the x or y
// coordinate turns, Newton steps find the extreme between the points.
class BoxHook : public CPointHook {
public:
    BoxHook(const CNURBS& curve, const CPointMap* map, CCurveBox& box) : m_curve(curve), m_map(map), m_box(box)
    {
        // x of M P is extreme where (M^T e) . P' = 0: the directions are turned by the
        // transpose of the linear part. A map without one gets no refinement.
        m_refine = !map || map->is_affine();
        for (int axis = 0; axis < 2 && map && m_refine; ++axis) {
            Qe_Vec col[3];
            for (int j = 0; j < 3; ++j)
                if (map->map_vector(Qe_Vec(j == 0 ? 1.0 : 0.0, j == 1 ? 1.0 : 0.0, j == 2 ? 1.0 : 0.0), col[j]) !=
                    curve_status::ok)
                    m_refine = false;
            m_dir[axis] = Qe_Vec(col[0].component(axis), col[1].component(axis), col[2].component(axis));
        }
    }

    int take(const Qe_Pt& p, double t) override
    {
        m_box.add(p);
        if (m_count > 0) {
            for (int axis = 0; axis < 2; ++axis) {
                const double d = p.coordinate(axis) - m_prev.coordinate(axis);
                const int sign = d > 0.0 ? 1 : d < 0.0 ? -1 : 0;
                if (sign == 0) continue;
                if (m_sign[axis] != 0 && sign != m_sign[axis]) refine(axis, m_prev_t);
                m_sign[axis] = sign;
            }
        }
        m_prev = p;
        m_prev_t = t;
        if (m_count == 0) m_first_t = t;
        ++m_count;
        return curve_status::ok;
    }

    // An extreme between the last two points, or (closed curve) across the seam, shows no
    // turn in the walk: the ends are refined as well.
    void finish()
    {
        if (m_count == 0) return;
        for (int axis = 0; axis < 2; ++axis) {
            refine(axis, m_first_t);
            refine(axis, m_prev_t);
        }
    }

private:
    void refine(int axis, double t)
    {
        if (!m_refine || !(m_dir[axis].len() > g_curve_eps)) return;
        const CDirectionExtremeFunction f(&m_curve, m_dir[axis]);
        double u = t;
        Qe_Pt q;
        if (solve_function(f, u) != curve_status::ok || !m_curve.normalize_param(u) ||
            m_curve.point(u, q) != curve_status::ok)
            return;
        m_box.add(m_map ? m_map->map_point(q) : q);
    }

    const CNURBS& m_curve;
    const CPointMap* m_map;
    CCurveBox& m_box;
    bool m_refine = true;
    Qe_Vec m_dir[2] = {Qe_Vec(1.0, 0.0, 0.0), Qe_Vec(0.0, 1.0, 0.0)};
    int m_sign[2] = {0, 0};
    Qe_Pt m_prev;
    double m_prev_t = 0.0, m_first_t = 0.0;
    int m_count = 0;
};

}  // namespace

int CNURBS::bounding_box(bool tight, CCurveBox& box, const CPointMap* map) const
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    CCurveBox hull;
    for (int i = 0; i < control_count(); ++i) {
        const Qe_Pt q = control_point(i);
        hull.add(map ? map->map_point(q) : q);
    }
    if (!tight) {
        box.add(hull);
        return curve_status::ok;
    }
    const double size = std::max(hull.max_x - hull.min_x, hull.max_y - hull.min_y);
    CCurveBox found;
    BoxHook hook(*this, map, found);
    CPointCollector collector(&hook);
    if (tessellate(0.01 * size, map, collector) == curve_status::ok) {
        hook.finish();
        box.add(found);
    } else {
        box.add(hull);
    }
    return curve_status::ok;
}

int CNURBS::sample_params(CDoubleArray& out, const double* start, const double* end) const
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    const double a = start ? *start : m_start, b = end ? *end : m_end;
    const int p = degree();
    const bool clamped = m_knots->period() == 0.0;
    const double k0 = m_knots->start(), ke = m_knots->end(), half = m_knots->period_length() / 2.0;
    int st = curve_status::ok;
    if (clamped && a < k0) {
        if ((st = out.append(k0 - half)) != curve_status::ok || (st = out.append(k0)) != curve_status::ok) return st;
    }
    const double top = clamped ? std::min(b, ke) : b;
    int s = 0;
    if ((st = m_knots->find_span(clamped ? std::max(a, k0) : a, s)) != curve_status::ok) return st;
    // Spans overlapping [a, b], each cut to it, split into p + 1 equal parts.
    for (int guard = 0; guard <= 10 * (control_count() + p) && m_knots->knot(s) < top; ++guard, ++s) {
        const double lo = std::max(a, m_knots->knot(s)), hi = std::min(top, m_knots->knot(s + 1));
        if (!(hi > lo)) continue;
        for (int j = 1; j <= p; ++j)
            if ((st = out.append(lo + (hi - lo) * j / (p + 1))) != curve_status::ok) return st;
    }
    if (clamped && b > ke) {
        if ((st = out.append(ke)) != curve_status::ok || (st = out.append(ke + half)) != curve_status::ok) return st;
    }
    return curve_status::ok;
}

int CNURBS::break_params(int c, std::unique_ptr<CDoubleArray>& out) const
{
    if (!m_knots || control_count() == 0) return curve_status::bad_argument;
    std::unique_ptr<CDoubleArray> list(new (std::nothrow) CDoubleArray());
    if (!list) return curve_status::no_memory;
    const int p = degree();
    const double k0 = m_knots->start(), ke = m_knots->end();
    int st = curve_status::ok;
    // The ends of a range that stops inside the knots are breaks too; a whole periodic
    // curve has none at its seam.
    const bool cut = m_knots->period() == 0.0 ? (m_start > k0 + 1e-9 || m_end < ke - 1e-9)
                                              : m_end - m_start < m_knots->period_length() - 1e-9;
    if (cut) {
        if (m_knots->period() != 0.0 || m_start > k0 + 1e-9) st = list->insert_sorted(m_start, 1e-9);
        if (st == curve_status::ok && (m_knots->period() != 0.0 || m_end < ke - 1e-9))
            st = list->insert_sorted(m_end, 1e-9);
        if (st != curve_status::ok) return st;
    }
    int s = 0;
    if ((st = m_knots->find_span(m_start, s)) != curve_status::ok) return st;
    for (int i = s - p - 1, guard = 0; guard <= 2 * (control_count() + p) + 4; ++guard) {
        const double v = m_knots->knot(i);
        if (v > m_end + 1e-9) break;
        int run = 1;
        while (run <= p + 1 && m_knots->knot(i + run) == v) ++run;
        if (v >= m_start - 1e-9 && run > p - c && (st = list->insert_sorted(v, 1e-9)) != curve_status::ok) return st;
        i += run;
    }
    out = std::move(list);
    return curve_status::ok;
}

int CNURBS::flat_size() const
{
    if (!m_knots || !m_points) return 0;
    return 28 + m_knots->flat_size() + 4 + 24 * control_count();
}

int CNURBS::write_flat(std::uint8_t*& cursor) const
{
    if (!m_knots || !m_points || !cursor) return curve_status::bad_argument;
    auto put = [&](const void* v, size_t n) {
        // Little-endian machine: the bytes go out as they are held.
        std::memcpy(cursor, v, n);
        cursor += n;
    };
    const std::int32_t kind = 4, n = control_count();
    put(&kind, 4);
    put(&m_start, 8);
    put(&m_end, 8);
    put(&m_period, 8);
    m_knots->write_flat(cursor);
    cursor += m_knots->flat_size();
    put(&n, 4);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < 3; ++j) {
            const double v = (*m_points)[i].coordinate(j);
            put(&v, 8);
        }
    return curve_status::ok;
}

int CNURBS::to_nurbs(double, std::unique_ptr<CNURBS>& out) const
{
    std::unique_ptr<CNURBS> copy(static_cast<CNURBS*>(clone()));
    if (!copy) return curve_status::no_memory;
    out = std::move(copy);
    return curve_status::ok;
}

int CNURBS::accept(CCurveVisitor& v)
{
    return v.visit_nurbs(*this);
}
int CNURBS::accept_nurbs(CCurveVisitor& v)
{
    return v.visit_nurbs_data(*this);
}

namespace {

int blank_curve(std::unique_ptr<CKnotVector> kv, bool rational, std::unique_ptr<CNURBS>& out)
{
    const int n = kv->count();
    std::unique_ptr<CPointArray> pts(new (std::nothrow) CPointArray());
    if (!pts) return curve_status::no_memory;
    int st = curve_status::ok;
    for (int i = 0; i < n && st == curve_status::ok; ++i) st = pts->append(Qe_Pt());
    if (st != curve_status::ok) return st;
    std::unique_ptr<CDoubleArray> w;
    if (rational) {
        w.reset(new (std::nothrow) CDoubleArray(n, st));
        if (!w) return curve_status::no_memory;
        if (st != curve_status::ok) return st;
        // Distinct weights keep the new curve rational; greville_interpolate replaces them.
        for (int i = 0; i < n; ++i) (*w)[i] = 1.0 + i;
    }
    // The room first: the pieces pass to the curve only once it can be made.
    void* room = ::operator new(sizeof(CNURBS), std::nothrow);
    if (!room) return curve_status::no_memory;
    std::unique_ptr<CNURBS> made(new (room) CNURBS(kv.release(), pts.release(), w.release(), st));
    if (st != curve_status::ok) return st;
    out = std::move(made);
    return curve_status::ok;
}

}  // namespace
