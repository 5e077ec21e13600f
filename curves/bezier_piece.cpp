#include "curves/bezier_piece_p.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "curves/intersection.h"
#include "curves/nurbs.h"

namespace {

// The spans of a B-spline, each cut to the curve's range, in Bezier form. Bezier point i
// of span s over [a, b] is the blossom of the span at (a, .., a, b, .., b) with i b's: de
// Boor's algorithm with a at its first p - i levels and b at the rest.
int nurbs_pieces(const CNURBS& c, std::vector<CBezierPiece>& out)
{
    const CKnotVector* kv = c.knots();
    const int p = c.degree(), n = c.control_count();
    if (!kv || n == 0 || p < 1 || p > g_max_degree) return curve_status::no_result;
    const double start = c.start_param(), end = c.end_param();
    if (!std::isfinite(start) || !std::isfinite(end) || !(end > start)) return curve_status::no_result;
    const bool clamped = kv->period() == 0.0;
    // Past a clamped curve's knots the end spans are extrapolated; past a period a periodic
    // curve runs over itself again: both are left to the sample search.
    if (clamped ? start < kv->start() - 1e-9 || end > kv->end() + 1e-9 : end - start > kv->period() + 1e-9)
        return curve_status::no_result;
    int s = 0;
    int st = kv->find_span(start, s);
    if (st != curve_status::ok) return st;
    const int last = clamped ? n - 1 : s + n + p;
    out.reserve(out.size() + static_cast<size_t>(n + p));
    for (bool first = true; s <= last && kv->knot(s) < end; ++s) {
        const double a = first ? start : kv->knot(s);
        const double b = clamped && s == last ? end : std::min(end, kv->knot(s + 1));
        if (!(b > a) || !(kv->knot(s + 1) > kv->knot(s))) continue;
        first = false;
        CBezierPiece piece;
        piece.t0 = a;
        piece.t1 = b;
        piece.degree = p;
        double ctrl[g_max_degree + 1][3], knot[2 * g_max_degree + 2];
        for (int j = 0; j <= p; ++j) {
            const Qe_Pt q = c.homogeneous_control_point(s - p + j);
            ctrl[j][0] = q.x();
            ctrl[j][1] = q.y();
            ctrl[j][2] = c.weight(s - p + j);
        }
        for (int j = 0; j < 2 * p; ++j) knot[j] = kv->knot(s - p + 1 + j);  // knots s - p + 1 .. s + p
        for (int i = 0; i <= p; ++i) {
            double d[g_max_degree + 1][3];
            std::copy(&ctrl[0][0], &ctrl[0][0] + 3 * (p + 1), &d[0][0]);
            for (int r = 1; r <= p; ++r) {
                const double u = r <= p - i ? a : b;
                for (int j = p; j >= r; --j) {
                    // Knots k and k + p + 1 - r of control point k = s - p + j.
                    const double lo = knot[j - 1], alpha = (u - lo) / (knot[j + p - r] - lo);
                    for (int m = 0; m < 3; ++m) d[j][m] = (1.0 - alpha) * d[j - 1][m] + alpha * d[j][m];
                }
            }
            for (int m = 0; m < 3; ++m) piece.h[i][m] = d[p][m];
        }
        piece.finish();
        out.push_back(piece);
    }
    return out.empty() ? curve_status::no_result : curve_status::ok;
}

}  // namespace

void CBezierPiece::finish()
{
    box = CCurveBox();
    for (int i = 0; i <= degree; ++i) {
        x[i] = h[i][0] / h[i][2];
        y[i] = h[i][1] / h[i][2];
        box.add(Qe_Pt(x[i], y[i], 0.0));
    }
    // The derivative of a rational Bezier curve with positive weights is a non-negative
    // combination of the differences b_j - b_i, i < j: their cone bounds the tangents.
    // Their sum is the middle direction: sum over k of (2k - p) b_k.
    double rx = 0.0, ry = 0.0;
    for (int k = 0; k <= degree; ++k) {
        rx += (2 * k - degree) * x[k];
        ry += (2 * k - degree) * y[k];
    }
    // Differences at the rounding of the coordinates (points that are one point) point
    // anywhere and bound nothing.
    const double tiny =
        64 * DBL_EPSILON *
        std::max({std::fabs(box.min_x), std::fabs(box.max_x), std::fabs(box.min_y), std::fabs(box.max_y)});
    const double rl = std::hypot(rx, ry);
    cone_ok = rl > tiny;
    if (!cone_ok) return;
    dx = rx / rl;
    dy = ry / rl;
    double tmin = 0.0, tmax = 0.0;
    for (int i = 0; i < degree && cone_ok; ++i)
        for (int j = i + 1; j <= degree; ++j) {
            const double vx = x[j] - x[i], vy = y[j] - y[i];
            if (std::fabs(vx) <= tiny && std::fabs(vy) <= tiny) continue;
            const double along = vx * dx + vy * dy, across = dx * vy - dy * vx;
            if (!(along > 1e-3 * std::fabs(across))) {
                cone_ok = false;
                break;
            }
            const double tn = across / along;
            tmin = std::min(tmin, tn);
            tmax = std::max(tmax, tn);
        }
    lo = std::atan(tmin);
    hi = std::atan(tmax);
}

void CBezierPiece::split(CBezierPiece& left, CBezierPiece& right) const
{
    split_at(0.5, left, right);
}

void CBezierPiece::split_at(double u, CBezierPiece& left, CBezierPiece& right) const
{
    const int p = degree;
    double d[g_max_degree + 1][3];
    for (int i = 0; i <= p; ++i)
        for (int m = 0; m < 3; ++m) d[i][m] = h[i][m];
    left.degree = right.degree = p;
    for (int m = 0; m < 3; ++m) {
        left.h[0][m] = d[0][m];
        right.h[p][m] = d[p][m];
    }
    for (int r = 1; r <= p; ++r) {
        for (int i = 0; i <= p - r; ++i)
            for (int m = 0; m < 3; ++m) d[i][m] = (1.0 - u) * d[i][m] + u * d[i + 1][m];
        for (int m = 0; m < 3; ++m) {
            left.h[r][m] = d[0][m];
            right.h[p - r][m] = d[p - r][m];
        }
    }
    const double mid = u == 0.5 ? 0.5 * (t0 + t1) : t0 + u * (t1 - t0);
    left.t0 = t0;
    left.t1 = mid;
    right.t0 = mid;
    right.t1 = t1;
    left.finish();
    right.finish();
}

CBezierPiece CBezierPiece::part(double a, double b) const
{
    CBezierPiece left, right, whole = *this;
    if (b < t1) {
        whole.split_at((b - t0) / (t1 - t0), left, right);
        whole = left;
    }
    if (a > t0) {
        whole.split_at((a - t0) / (b - t0), left, right);
        whole = right;
    }
    whole.t0 = a;
    whole.t1 = b;
    return whole;
}

void CBezierPiece::point_at(double u, double& px, double& py) const
{
    double d[g_max_degree + 1][3];
    for (int i = 0; i <= degree; ++i)
        for (int m = 0; m < 3; ++m) d[i][m] = h[i][m];
    for (int r = 1; r <= degree; ++r)
        for (int i = 0; i <= degree - r; ++i)
            for (int m = 0; m < 3; ++m) d[i][m] = (1.0 - u) * d[i][m] + u * d[i + 1][m];
    px = d[0][0] / d[0][2];
    py = d[0][1] / d[0][2];
}

double CBezierPiece::chord_deviation() const
{
    const double cx = x[degree] - x[0], cy = y[degree] - y[0], l2 = cx * cx + cy * cy;
    double worst = 0.0;
    for (int i = 1; i < degree; ++i) {
        double vx = x[i] - x[0], vy = y[i] - y[0];
        // The distance from the chord as a segment: a piece that runs back is not flat.
        const double u = l2 > 0.0 ? std::clamp((vx * cx + vy * cy) / l2, 0.0, 1.0) : 0.0;
        vx -= u * cx;
        vy -= u * cy;
        worst = std::max(worst, std::hypot(vx, vy));
    }
    return worst;
}

int bezier_pieces(const CCurve& c, std::vector<CBezierPiece>& out, const CCurveBox* within)
{
    if (const CNURBS* n = dynamic_cast<const CNURBS*>(&c)) return nurbs_pieces(*n, out);
    const CLineCurve* line = c.kind() == 0 ? dynamic_cast<const CLineCurve*>(&c) : nullptr;
    if (!line) return curve_status::no_result;
    double a = c.start_param(), b = c.end_param();
    const Qe_Pt o = line->line_origin();
    const Qe_Vec d = line->line_direction();
    if (within && !within->empty()) {
        // The parameters where the line is inside the box, slab by slab.
        const double lo[2] = {within->min_x, within->min_y}, hi[2] = {within->max_x, within->max_y};
        const double from[2] = {o.x(), o.y()}, step[2] = {d.x(), d.y()};
        for (int k = 0; k < 2; ++k) {
            if (step[k] == 0.0) {
                if (from[k] < lo[k] || from[k] > hi[k]) return curve_status::ok;
                continue;
            }
            const double u = (lo[k] - from[k]) / step[k], v = (hi[k] - from[k]) / step[k];
            a = std::max(a, std::min(u, v));
            b = std::min(b, std::max(u, v));
        }
        if (!(b > a)) return curve_status::ok;
    }
    CBezierPiece piece;
    piece.t0 = a;
    piece.t1 = b;
    piece.degree = 1;
    for (int i = 0; i < 2; ++i) {
        const double t = i == 0 ? a : b;
        piece.h[i][0] = o.x() + t * d.x();
        piece.h[i][1] = o.y() + t * d.y();
        piece.h[i][2] = 1.0;
    }
    if (!(b > a) || !std::isfinite(piece.h[0][0] + piece.h[0][1] + piece.h[1][0] + piece.h[1][1]))
        return curve_status::no_result;
    piece.finish();
    out.push_back(piece);
    return curve_status::ok;
}
