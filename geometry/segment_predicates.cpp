#include "geometry/segment_predicates.h"

#include <algorithm>
#include <cmath>

#include "geometry/plane_geometry.h"
#include "geometry/tolerance.h"

namespace {

// Segments whose end points are this close to collinear with a point hold it.
constexpr double COLLINEAR_TOL = 1e-5;

bool in_range(double v, double a, double b, double grow)
{
    return v >= std::min(a, b) - grow && v <= std::max(a, b) + grow;
}

bool boxes_overlap(const Qe_Pt& a1, const Qe_Pt& a2, const Qe_Pt& b1, const Qe_Pt& b2)
{
    return std::max(a1.x(), a2.x()) >= std::min(b1.x(), b2.x()) && std::max(b1.x(), b2.x()) >= std::min(a1.x(), a2.x()) &&
           std::max(a1.y(), a2.y()) >= std::min(b1.y(), b2.y()) && std::max(b1.y(), b2.y()) >= std::min(a1.y(), a2.y());
}

double plane_distance(const Qe_Pt& p, const Qe_Pt& q) { return std::hypot(p.x() - q.x(), p.y() - q.y()); }

}  // namespace

bool is_on_segment(const Qe_Pt& p, const Qe_Pt& a, const Qe_Pt& b)
{
    if (!in_range(p.x(), a.x(), b.x(), 0.0) || !in_range(p.y(), a.y(), b.y(), 0.0)) return false;
    const double cross = (p.x() - a.x()) * (b.y() - a.y()) - (p.y() - a.y()) * (b.x() - a.x());
    return std::fabs(cross) < COLLINEAR_TOL;
}

int is_pick_segment(const Qe_Pt& p, const Qe_Pt& a, const Qe_Pt& b, double tol, Qe_Pt& out)
{
    if (!in_range(p.x(), a.x(), b.x(), tol) || !in_range(p.y(), a.y(), b.y(), tol)) return 0;
    if (plane_distance(p, a) < tol) {
        out = a;
        return 1;
    }
    if (plane_distance(p, b) < tol) {
        out = b;
        return 2;
    }
    const Qe_Pt foot = proj_pt_to_line(p, a, normalise(a - b));
    if (plane_distance(p, foot) < tol) {
        out = foot;
        return 3;
    }
    return 0;
}

void cal_tol_unit_vector(Qe_Uvec& u)
{
    for (int i = 0; i < 3; ++i)
        if (std::fabs(u.component(i)) < 1e-11) u.set_component(i, 0.0);
}

bool two_segments_intersection(const Qe_Pt& a1, const Qe_Pt& a2, const Qe_Pt& b1, const Qe_Pt& b2, Qe_Pt& out)
{
    if (same_point(a1, b1, resabs) || same_point(a1, b2, resabs)) {
        out = a1;
        return true;
    }
    if (same_point(a2, b1, resabs) || same_point(a2, b2, resabs)) {
        out = a2;
        return true;
    }
    if (!boxes_overlap(a1, a2, b1, b2)) return false;
    const bool a_vertical = std::fabs(a1.x() - a2.x()) < resabs;
    const bool a_horizontal = std::fabs(a1.y() - a2.y()) < resabs;
    const bool b_vertical = std::fabs(b1.x() - b2.x()) < resabs;
    const bool b_horizontal = std::fabs(b1.y() - b2.y()) < resabs;
    if (a_vertical && b_horizontal) {
        out = Qe_Pt(a1.x(), b1.y(), 0.0);
        return true;
    }
    if (a_horizontal && b_vertical) {
        out = Qe_Pt(b1.x(), a1.y(), 0.0);
        return true;
    }
    Qe_Pt x;
    if (!api_mb_lines_intersection(a1, normalise(a2 - a1), b1, normalise(b2 - b1), x)) return false;
    if (!in_range(x.x(), a1.x(), a2.x(), resmch) || !in_range(x.y(), a1.y(), a2.y(), resmch) ||
        !in_range(x.x(), b1.x(), b2.x(), resmch) || !in_range(x.y(), b1.y(), b2.y(), resmch))
        return false;
    out = x;
    return true;
}

void oblique_ptarray(Qe_Pt* pts, int n, double angle, const Qe_Pt& base)
{
    if (!pts || n <= 0) return;
    const double t = std::tan(angle);
    for (int i = 0; i < n; ++i) pts[i].x() += (pts[i].y() - base.y()) * t;
}

bool api_mb_get_pts_dir(const Qe_Pt& a, const Qe_Pt& b, const Qe_Pt& c)
{
    return angle_between(a - b, b - c, Qe_Uvec(0.0, 0.0, 1.0)) <= M_PI;
}
