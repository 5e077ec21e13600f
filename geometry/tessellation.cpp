#include "geometry/tessellation.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "geometry/angles.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"

long CURVEINSUM_RUBBER = 10;

namespace {

// Samples per spline interval.
constexpr long SPLINE_SAMPLES = 50;
// The spline fit converges geometrically; this many sweeps is far beyond what any
// well-formed input needs.
constexpr int MAX_FIT_SWEEPS = 1000;

// Point of the circle about centre through p, turned by angle.
Qe_Pt turn(const Qe_Pt& centre, double dx, double dy, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return {centre.x() + c * dx - s * dy, centre.y() + s * dx + c * dy, centre.z()};
}

bool finite(const Qe_Pt& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }

// The spline's internal two-component value.
struct V2 {
    double x = 0.0, y = 0.0;
};
V2 operator+(V2 a, V2 b) { return {a.x + b.x, a.y + b.y}; }
V2 operator-(V2 a, V2 b) { return {a.x - b.x, a.y - b.y}; }
V2 operator*(double k, V2 a) { return {k * a.x, k * a.y}; }
double length(V2 a) { return std::hypot(a.x, a.y); }

Qe_Pt* malloc_points(std::size_t n)
{
    if (n == 0 || n > SIZE_MAX / sizeof(Qe_Pt)) return nullptr;
    Qe_Pt* pts = static_cast<Qe_Pt*>(std::malloc(n * sizeof(Qe_Pt)));
    for (std::size_t i = 0; pts && i < n; ++i) new (pts + i) Qe_Pt();
    return pts;
}

}  // namespace

bool arc_to_ptset(const Qe_Pt& centre, double radius, double start_angle, double end_angle, mb_ulong n, Qe_Pt*& pts)
{
    if (n == 0) return true;
    if (!pts) return false;
    const double dx = radius * std::cos(start_angle), dy = radius * std::sin(start_angle);
    // One point has no step between points: it is the start point.
    const double step = n > 1 ? std::fabs(end_angle - start_angle) / static_cast<double>(n - 1) : 0.0;
    for (mb_ulong i = 0; i < n; ++i) pts[i] = turn(centre, dx, dy, static_cast<double>(i) * step);
    return true;
}

bool arc_to_ptset(const Qe_Pt& centre, double /*radius*/, const Qe_Pt& start, const Qe_Pt& end, mb_ulong n, Qe_Pt*& pts)
{
    if (n == 0) return true;
    if (!pts) return false;
    const double sweep = angle_between(start - centre, end - centre, Qe_Uvec(0.0, 0.0, 1.0));
    const double step = n > 1 ? sweep / static_cast<double>(n - 1) : 0.0;
    const double dx = start.x() - centre.x(), dy = start.y() - centre.y();
    for (mb_ulong i = 0; i < n; ++i) {
        pts[i] = turn(centre, dx, dy, static_cast<double>(i) * step);
        pts[i].set_z(start.z());
    }
    return true;
}

bool circle_to_ptlist(const Qe_Pt& centre, double radius, int n, Qe_Pt_List& list)
{
    if (n < 1) return false;
    list.kill_all();
    const double step = TWO_PI / n;
    for (int i = 0; i <= n; ++i) list.add_tail(turn(centre, 0.0, radius, i * step));
    return true;
}

bool ellipse_arc_to_ptset(const Qe_Pt& centre, double major, double minor, double start, double end, double rotation,
                          int n, int& out_n, Qe_Pt*& out)
{
    if (n < 2 || n == INT_MAX) return false;
    if (!finite(centre) || !std::isfinite(major) || !std::isfinite(minor) || !std::isfinite(start) ||
        !std::isfinite(end) || !std::isfinite(rotation))
        return false;
    // Counter-clockwise from start: an end below the start lies a turn later. A sweep of
    // more than a turn would not fit the n + 1 points.
    double sweep = end - start;
    if (sweep < 0.0) sweep = std::fmod(sweep, TWO_PI) + TWO_PI;
    sweep = std::min(sweep, TWO_PI);
    const double last = start + sweep;
    Qe_Pt* pts = malloc_points(static_cast<std::size_t>(n) + 1);
    if (!pts) return false;
    const double cr = std::cos(rotation), sr = std::sin(rotation);
    auto at = [&](double t) {
        const double a = major * std::cos(t), b = minor * std::sin(t);
        return Qe_Pt(centre.x() + a * cr - b * sr, centre.y() + a * sr + b * cr, 0.0);
    };
    const double step = TWO_PI / (n - 1);
    int k = 0;
    // Angles from the index, not by accumulation, so the count is exact; at most n − 1
    // steps fit in one turn.
    for (; k < n; ++k) {
        const double t = start + k * step;
        if (!(t < last)) break;
        pts[k] = at(t);
    }
    pts[k++] = at(last);
    out = pts;
    out_n = k;
    return true;
}

bool bspline_to_ptset(int n, const Qe_Pt* pts, const Qe_Uvec& start_dir, const Qe_Uvec& end_dir, int& out_n,
                      Qe_Pt*& out)
{
    CURVEINSUM_RUBBER = SPLINE_SAMPLES;
    const long samples = CURVEINSUM_RUBBER;
    if (n < 2 || !pts) return false;
    if (static_cast<long long>(n - 1) * samples + 1 > INT_MAX) return false;
    for (int i = 0; i < n; ++i)
        if (!finite(pts[i])) return false;
    if (!finite(Qe_Pt(start_dir.x(), start_dir.y(), start_dir.z())) ||
        !finite(Qe_Pt(end_dir.x(), end_dir.y(), end_dir.z())))
        return false;

    // Interpolation points: a guide point before the first and after the last point, both
    // at the first chord's length.
    const int nq = n + 2;
    std::unique_ptr<V2[]> q(new (std::nothrow) V2[static_cast<std::size_t>(nq)]);
    std::unique_ptr<V2[]> c(new (std::nothrow) V2[static_cast<std::size_t>(n) + 4]);
    if (!q || !c) return false;
    // The fit works relative to the first point, so that its corrections are measured
    // against the spline's own size and not lost in the rounding of large coordinates.
    const V2 origin{pts[0].x(), pts[0].y()};
    const double chord = (pts[0] - pts[1]).len();
    for (int i = 0; i < n; ++i) q[i + 1] = V2{pts[i].x(), pts[i].y()} - origin;
    q[0] = q[1] + chord * V2{start_dir.x(), start_dir.y()};
    q[n + 1] = q[n] + chord * V2{end_dir.x(), end_dir.y()};

    double extent = 0.0;
    for (int i = 0; i < nq; ++i) extent = std::max({extent, std::fabs(q[i].x), std::fabs(q[i].y)});
    const double tol = 1e-12 * extent;

    for (int i = 0; i < nq; ++i) c[i + 1] = q[i];
    c[0] = c[1];
    c[n + 3] = c[n + 2];
    bool settled = false;
    for (int sweep = 0; sweep < MAX_FIT_SWEEPS && !settled; ++sweep) {
        double largest = 0.0;
        for (int i = 0; i < nq; ++i) {
            const V2 f = 1.5 * (q[i] - (1.0 / 6.0) * (c[i] + 4.0 * c[i + 1] + c[i + 2]));
            c[i + 1] = c[i + 1] + f;
            largest = std::max(largest, length(f));
        }
        c[0] = c[1];
        c[n + 3] = c[n + 2];
        if (!std::isfinite(largest)) return false;
        settled = largest <= tol;
    }
    if (!settled) return false;

    const std::size_t count = static_cast<std::size_t>(n - 1) * static_cast<std::size_t>(samples) + 1;
    Qe_Pt* result = malloc_points(count);
    if (!result) return false;
    std::size_t k = 0;
    // Intervals 1 .. n − 1 run from the first given point to the last; interval n starts
    // at the last point. The guide intervals 0 and n + 1 are not output.
    for (int j = 1; j <= n; ++j) {
        const V2 a3 = (1.0 / 6.0) * (3.0 * c[j + 1] - c[j] - 3.0 * c[j + 2] + c[j + 3]);
        const V2 a2 = 0.5 * (c[j] - 2.0 * c[j + 1] + c[j + 2]);
        const V2 a1 = 0.5 * (c[j + 2] - c[j]);
        const V2 a0 = (1.0 / 6.0) * (c[j] + 4.0 * c[j + 1] + c[j + 2]);
        const long m = j < n ? samples : 1;
        for (long s = 0; s < m && k < count; ++s) {
            const double t = static_cast<double>(s) / static_cast<double>(samples);
            const V2 p = ((t * t * t) * a3) + ((t * t) * a2) + (t * a1) + a0 + origin;
            result[k++] = Qe_Pt(p.x, p.y, 0.0);
        }
    }
    out = result;
    out_n = static_cast<int>(k);
    return true;
}
