#include "geometry/plane_geometry.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#include "geometry/angles.h"
#include "geometry/pt_list.h"
#include "geometry/segment_predicates.h"
#include "geometry/tolerance.h"
#include "geometry/void_list.h"

namespace {

// Direction components this small are taken as exactly zero, so that directions built
// from nearly axis-parallel data take the exact axis-aligned paths.
constexpr double TINY_COMPONENT = 1e-11;

double snap_component(double c) { return std::fabs(c) < TINY_COMPONENT ? 0.0 : c; }

// Polar angle of a direction in [0, 2π); the axis directions are exact.
double polar_angle(const Qe_Vec& d)
{
    const double x = d.x(), y = d.y();
    if (x == 0.0 && y > 0.0) return HALF_PI;
    if (x == 0.0 && y < 0.0) return THREE_HALF_PI;
    if (y == 0.0 && x > 0.0) return 0.0;
    if (y == 0.0 && x < 0.0) return M_PI;
    double a = std::atan2(y, x);
    if (a < 0.0) a += TWO_PI;
    return a;
}

// Twice the signed area of the ring (positive when counter-clockwise). Coordinates are
// taken relative to the first point to keep the products small.
double signed_area2(const Qe_Pt* pts, int n)
{
    double sum = 0.0;
    const double ox = pts[0].x(), oy = pts[0].y();
    for (int i = 0; i < n; ++i) {
        const Qe_Pt& a = pts[i];
        const Qe_Pt& b = pts[(i + 1) % n];
        sum += (a.x() - ox) * (b.y() - oy) - (b.x() - ox) * (a.y() - oy);
    }
    return sum;
}

}  // namespace

double angle_between(const Qe_Uvec& from, const Qe_Uvec& to, const Qe_Uvec& normal)
{
    const double a = polar_angle(from);
    const double c = polar_angle(to);
    if (normal.z() >= 0.0) return c >= a ? c - a : TWO_PI + c - a;
    return c >= a ? TWO_PI - (c - a) : a - c;
}

double angle_between(const Qe_Vec& from, const Qe_Vec& to, const Qe_Uvec& normal)
{
    return angle_between(normalise(from), normalise(to), normal);
}

Qe_Pt proj_pt_to_line(const Qe_Pt& p, const Qe_Pt& base, const Qe_Uvec& dir)
{
    const double dx = snap_component(dir.x());
    const double dy = snap_component(dir.y());
    if (dx == 0.0) return {base.x(), p.y(), 0.0};
    if (dy == 0.0) return {p.x(), base.y(), 0.0};
    // The foot by the dot product: the same point as the slope-intercept form but without
    // its cancellation for lines close to an axis.
    const double t = ((p.x() - base.x()) * dx + (p.y() - base.y()) * dy) / (dx * dx + dy * dy);
    return {base.x() + t * dx, base.y() + t * dy, 0.0};
}

bool api_mb_lines_intersection(const Qe_Pt& p1, const Qe_Uvec& d1_in, const Qe_Pt& p2, const Qe_Uvec& d2_in,
                               Qe_Pt& out)
{
    Qe_Uvec d1 = d1_in, d2 = d2_in;
    cal_tol_unit_vector(d1);
    cal_tol_unit_vector(d2);
    const double x1 = d1.x(), y1 = d1.y(), x2 = d2.x(), y2 = d2.y();
    // A line without a direction meets nothing.
    if ((x1 == 0.0 && y1 == 0.0) || (x2 == 0.0 && y2 == 0.0)) return false;
    if (parallel(d1, d2, 1e-10) || antiparallel(d1, d2, 1e-10)) return false;

    double x, y;
    const bool v1 = x1 == 0.0, h1 = y1 == 0.0, v2 = x2 == 0.0, h2 = y2 == 0.0;
    if ((v1 && v2) || (h1 && h2)) return false;
    if (h1 && v2) {
        x = p2.x();
        y = p1.y();
    } else if (v1 && h2) {
        x = p1.x();
        y = p2.y();
    } else if (v1) {
        x = p1.x();
        y = p2.y() + (x - p2.x()) * y2 / x2;
    } else if (v2) {
        x = p2.x();
        y = p1.y() + (x - p1.x()) * y1 / x1;
    } else if (h1) {
        y = p1.y();
        x = p2.x() + (y - p2.y()) * x2 / y2;
    } else if (h2) {
        y = p2.y();
        x = p1.x() + (y - p1.y()) * x1 / y1;
    } else {
        const double k1 = y1 / x1, k2 = y2 / x2;
        if (std::fabs(k1 - k2) < resabs) return false;
        const double b1 = p1.y() - k1 * p1.x();
        const double b2 = p2.y() - k2 * p2.x();
        x = (b2 - b1) / (k1 - k2);
        y = b1 + k1 * x;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    out = Qe_Pt(x, y, 0.0);
    return true;
}

bool api_mb_lines_intersection(const Qe_Pt* a, int na, const Qe_Pt* b, int nb, Qe_Pt_List& out)
{
    if (!a || !b || na < 2 || nb < 2) return false;
    for (int i = 0; i + 1 < na; ++i) {
        for (int j = 0; j + 1 < nb; ++j) {
            Qe_Pt x;
            if (two_segments_intersection(a[i], a[i + 1], b[j], b[j + 1], x)) out.add_tail(x);
        }
    }
    return !out.is_empty();
}

bool api_mb_get_3ptcircle(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, Qe_Pt& centre, double& radius)
{
    const Qe_Vec z(0.0, 0.0, 1.0);
    const Qe_Pt m12 = interpolate(0.5, p1, p2);
    const Qe_Pt m13 = interpolate(0.5, p1, p3);
    const Qe_Uvec b12 = normalise((p2 - p1) * z);
    const Qe_Uvec b13 = normalise((p3 - p1) * z);
    Qe_Pt c;
    if (!api_mb_lines_intersection(m12, b12, m13, b13, c)) return false;
    centre = c;
    radius = (p3 - c).len();
    return true;
}

bool get_ellipse_by_3pt(const Qe_Pt& c, const Qe_Pt& e, const Qe_Pt& q, Qe_Pt& centre_out, double& major,
                        double& ratio, double& angle)
{
    const Qe_Uvec plus_z(0.0, 0.0, 1.0);
    const Qe_Vec axis = e - c;
    const double maj = axis.len();
    if (!(maj > 1e-6) || !std::isfinite(maj)) return false;
    const Qe_Uvec u = normalise(axis);
    const Qe_Uvec v(-u.y(), u.x(), 0.0);
    const double d1 = (proj_pt_to_line(q, c, u) - Qe_Pt(c.x(), c.y(), 0.0)).len();
    const double d2 = (proj_pt_to_line(q, c, v) - Qe_Pt(c.x(), c.y(), 0.0)).len();
    const double s = 1.0 - d1 * d1 / (maj * maj);
    // A third point on or beyond the major axis's end, or on the axis itself, admits no
    // ellipse: the value under the root must be positive.
    if (!(s > 0.0)) return false;
    const double under_root = d2 * d2 / s;
    if (!(under_root > 0.0) || !std::isfinite(under_root)) return false;
    const double r = std::sqrt(under_root) / maj;
    if (!std::isfinite(r)) return false;
    centre_out = c;
    major = maj;
    ratio = r;
    angle = angle_between(Qe_Vec(1.0, 0.0, 0.0), axis, plus_z);
    return true;
}

double cal_pts_area(const Qe_Pt* pts, int n)
{
    if (!pts || n <= 2) return 0.0;
    // The sum of the signed triangles of a fan from the first point, which is the
    // shoelace sum.
    return std::fabs(signed_area2(pts, n)) / 2.0;
}

double cal_lines_area(const Qe_Void_List& list)
{
    // Without memory there is no area to report; 0 is what short input gives as well.
    const int n = list.count();
    if (n <= 2) return 0.0;
    Qe_Pt* pts = new (std::nothrow) Qe_Pt[static_cast<std::size_t>(n)];
    if (!pts) return 0.0;
    int m = 0;
    for (Qe_Void_Node* node = list.head(); node && m < n; node = node->next())
        if (node->entity()) pts[m++] = *static_cast<const Qe_Pt*>(node->entity());
    const double area = cal_pts_area(pts, m);
    delete[] pts;
    return area;
}

double cal_perimeter(const Qe_Pt* pts, int n)
{
    if (!pts || n <= 1) return 0.0;
    if (n == 2) return (pts[1] - pts[0]).len();
    double sum = 0.0;
    for (int i = 0; i + 1 < n; ++i) sum += (pts[i + 1] - pts[i]).len();
    return sum + (pts[0] - pts[n - 1]).len();
}

bool api_mb_get_pts_dir(const Qe_Pt* pts, int n)
{
    if (!pts || n < 3) return false;
    // The sign of the area decides; a vote weighted by edge lengths misjudges symmetric
    // shapes.
    return signed_area2(pts, n) >= 0.0;
}

bool is_pos_on_region(const Qe_Pt& p, const Qe_Pt* pts, int n)
{
    if (!pts) return false;
    for (int i = 0; i + 1 < n; ++i)
        if (is_on_segment(p, pts[i], pts[i + 1])) return true;
    return false;
}

bool is_pos_in_region(const Qe_Pt& p, const Qe_Pt* ring, int n)
{
    if (!ring || n < 1) return false;
    // The boundary, closing edge included, counts as inside.
    for (int i = 0; i < n; ++i)
        if (is_on_segment(p, ring[i], ring[(i + 1) % n])) return true;
    if (n < 3) return false;
    // Half-open crossing rule on a ray towards +x: an edge counts when exactly one of its
    // ends lies above p. A ray through a vertex or along a horizontal edge is then
    // counted correctly, which counting distinct crossing points is not.
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const Qe_Pt& a = ring[i];
        const Qe_Pt& b = ring[j];
        if ((a.y() > p.y()) != (b.y() > p.y())) {
            const double x = a.x() + (p.y() - a.y()) * (b.x() - a.x()) / (b.y() - a.y());
            if (p.x() < x) inside = !inside;
        }
    }
    return inside;
}

Qe_Pt* api_mb_new_position(int n)
{
    if (n <= 0) return nullptr;
    if (static_cast<std::size_t>(n) > SIZE_MAX / sizeof(Qe_Pt)) return nullptr;
    void* mem = std::malloc(static_cast<std::size_t>(n) * sizeof(Qe_Pt));
    if (!mem) return nullptr;
    Qe_Pt* pts = static_cast<Qe_Pt*>(mem);
    for (int i = 0; i < n; ++i) new (pts + i) Qe_Pt();
    return pts;
}

void api_mb_reverse_pts(Qe_Pt* pts, int n)
{
    if (!pts) return;
    for (int i = 0, j = n - 1; i < j; ++i, --j) std::swap(pts[i], pts[j]);
}

bool cal_lines_width(const Qe_Pt* pts, int n, Qe_Pt* out, int m, double width)
{
    if (!pts || !out || width == 0.0 || n < 2 || m != 2 * n + 1) return false;
    const double h = width / 2.0;
    const Qe_Vec z(0.0, 0.0, 1.0);
    // Side segments k = 0 .. n − 2, from s[k] to e[k].
    auto side = [&](int k, Qe_Pt& s, Qe_Pt& e, Qe_Uvec& d) {
        Qe_Uvec nrm = normalise((pts[k + 1] - pts[k]) * z);
        cal_tol_unit_vector(nrm);
        s = pts[k] - h * nrm;
        e = pts[k + 1] - h * nrm;
        s.set_z(0.0);
        e.set_z(0.0);
        d = normalise(e - s);
    };
    Qe_Pt s0, e0;
    Qe_Uvec d0;
    side(0, s0, e0, d0);
    out[0] = s0;
    Qe_Pt prev_s = s0, prev_e = e0;
    Qe_Uvec prev_d = d0;
    for (int k = 1; k <= n - 2; ++k) {
        Qe_Pt s, e;
        Qe_Uvec d;
        side(k, s, e, d);
        Qe_Pt x;
        out[k] = api_mb_lines_intersection(prev_s, prev_d, s, d, x) ? x : prev_e;
        prev_s = s;
        prev_e = e;
        prev_d = d;
    }
    out[n - 1] = prev_e;
    // The other side mirrors this one through the polyline's vertices.
    for (int k = 0; k < n; ++k) {
        const Qe_Pt& a = out[k];
        out[2 * n - 1 - k] = Qe_Pt(2.0 * pts[k].x() - a.x(), 2.0 * pts[k].y() - a.y(), 0.0);
    }
    out[2 * n] = out[0];
    return true;
}

namespace {

bool same_direction(const Qe_Vec& a, const Qe_Vec& b) { return same_vector(normalise(a), normalise(b), resabs); }

Qe_Pt flat(const Qe_Pt& p) { return {p.x(), p.y(), 0.0}; }

// The output of an offset, bounded by the room the caller gave.
struct Offset_Out {
    Qe_Pt* pts;
    int cap;
    int n = 0;
    bool push(const Qe_Pt& p)
    {
        if (n >= cap) return false;
        pts[n++] = p;
        return true;
    }
};

// The bisector direction at vertex v between the next and the previous point.
Qe_Uvec bisector(const Qe_Pt& prev, const Qe_Pt& v, const Qe_Pt& next)
{
    const Qe_Uvec a = normalise(next - v);
    const double half = angle_between(a, normalise(prev - v), Qe_Uvec(0.0, 0.0, 1.0)) / 2.0;
    const double c = std::cos(half), s = std::sin(half);
    return Qe_Uvec(c * a.x() - s * a.y(), s * a.x() + c * a.y(), 0.0);
}

// The offset vertex at v: where the offset line (f, e) meets the bisector at v. That is
// where it meets the next segment's offset line (next_f, next_e), which is taken first
// because axis-parallel offsets then meet exactly; the bisector serves when the two
// offset lines are parallel.
bool offset_vertex(const Qe_Pt& f, const Qe_Pt& e, const Qe_Pt& next_f, const Qe_Pt& next_e, const Qe_Pt& prev,
                   const Qe_Pt& v, const Qe_Pt& next, Qe_Pt& g)
{
    const Qe_Uvec d = normalise(e - f);
    if (api_mb_lines_intersection(f, d, next_f, normalise(next_e - next_f), g)) return true;
    return api_mb_lines_intersection(f, d, v, bisector(prev, v, next), g);
}

// Closes the output of a closed input; see api_mb_offset_pts.
void close_offset(Offset_Out& o)
{
    const int k = o.n;
    if (k < 3) return;
    Qe_Pt* out = o.pts;
    const Qe_Pt l0 = out[k - 2], l1 = out[k - 1];
    if (same_point(out[0], l0, resabs) || same_point(out[0], l1, resabs)) {
        out[k - 1] = out[0];
        return;
    }
    Qe_Pt x;
    if (!same_point(out[1], l0, resabs) && !same_point(out[1], l1, resabs) &&
        two_segments_intersection(out[0], out[1], l0, l1, x)) {
        out[0] = out[k - 1] = x;
        return;
    }
    // The first self-crossing of the output cuts off the loop it closes.
    for (int i = 0; i + 1 < k; ++i) {
        for (int j = i + 2; j + 1 < k; ++j) {
            if (!two_segments_intersection(out[i], out[i + 1], out[j], out[j + 1], x)) continue;
            int m = 0;
            out[m++] = x;
            for (int t = i + 1; t <= j; ++t) out[m++] = out[t];
            out[m++] = x;
            o.n = m;
            return;
        }
    }
    if (api_mb_lines_intersection(out[0], normalise(out[1] - out[0]), l0, normalise(l1 - l0), x))
        out[0] = out[k - 1] = x;
}

}  // namespace

void api_mb_offset_pts(const Qe_Pt* pts, int n, Qe_Pt* out, int& out_n, double d)
{
    if (!pts || n <= 0 || d == 0.0 || !out) return;
    if (n == 2) {
        const Qe_Uvec u = normalise(pts[0] - pts[1]);
        const Qe_Vec v(-u.y() * d, u.x() * d, 0.0);
        out[0] = pts[0] + v;
        out[1] = pts[1] + v;
        out_n = 2;
        return;
    }
    // The input without consecutive repeats.
    Qe_Pt* p = new (std::nothrow) Qe_Pt[static_cast<std::size_t>(n)];
    if (!p) return;
    int m = 0;
    for (int i = 0; i < n; ++i)
        if (m == 0 || !same_point(pts[i], p[m - 1], resabs)) p[m++] = flat(pts[i]);

    const double len = std::fabs(d);
    // The offset of a direction: to its left for a positive distance, else to its right.
    auto side = [&](const Qe_Pt& a, const Qe_Pt& b) {
        const Qe_Uvec u = normalise(b - a);
        return d > 0.0 ? Qe_Vec(-u.y() * len, u.x() * len, 0.0) : Qe_Vec(u.y() * len, -u.x() * len, 0.0);
    };
    Offset_Out o{out, n};
    if (m == 2) {
        // Only repeats made this a single segment: offset it like the longer polylines.
        const Qe_Vec v = side(p[0], p[1]);
        o.push(p[0] + v);
        o.push(p[1] + v);
    } else if (m >= 3) {
        bool broken = false;
        const Qe_Vec v0 = side(p[0], p[1]);
        const Qe_Pt f0 = p[0] + v0, e0 = p[1] + v0;
        Qe_Pt s = e0, g;
        const Qe_Vec v1 = side(p[1], p[2]);
        if (offset_vertex(f0, e0, p[1] + v1, p[2] + v1, p[0], p[1], p[2], g)) {
            if (same_direction(e0 - f0, g - f0)) {
                o.push(f0);
                o.push(g);
            } else {
                broken = true;
            }
            s = g;
        }
        for (int i = 2; i <= m - 1; ++i) {
            const Qe_Vec v = side(p[i - 1], p[i]);
            const Qe_Pt f = p[i - 1] + v, e = p[i] + v;
            g = e;
            if (i < m - 1) {
                const Qe_Vec vn = side(p[i], p[i + 1]);
                if (!offset_vertex(f, e, p[i] + vn, p[i + 1] + vn, p[i - 1], p[i], p[i + 1], g)) g = e;
            }
            if (!same_direction(e - f, g - s)) {
                broken = true;  // this offset segment has turned over: skip it
            } else if (!broken) {
                o.push(g);
            } else if (o.n == 0) {
                o.push(s);
                o.push(g);
                broken = false;
            } else {
                // Rejoin the output where the line from s towards g meets it.
                for (int k = o.n - 1; k >= 1; --k) {
                    const Qe_Pt a = out[k - 1], b = out[k];
                    Qe_Pt x;
                    if (!api_mb_lines_intersection(s, normalise(g - s), a, normalise(b - a), x)) continue;
                    const bool behind_g = same_direction(s - g, x - g);
                    if (behind_g && same_direction(b - a, x - a)) {
                        o.n = k;
                        o.push(x);
                        o.push(g);
                        break;
                    }
                    if (!behind_g && is_on_segment(x, a, b)) break;
                }
            }
            s = g;
        }
        if (same_point(p[0], p[m - 1], resabs)) close_offset(o);
    }
    delete[] p;
    if (m >= 2) out_n = o.n;
}
