#include "curves/intersection.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>
#include <vector>

#include "curves/bezier_piece_p.h"
#include "curves/curve_solvers.h"
#include "curves/curve_status.h"
#include "curves/piece_search_p.h"

namespace {

double cross_z(const Qe_Vec& u, const Qe_Vec& v)
{
    return u.x() * v.y() - u.y() * v.x();
}

// Circle parameters come from atan2 and acos, in (-2 pi, 2 pi]: a range such as [pi, 2 pi]
// may hold a crossing whose angle came a whole turn low or high.
bool normalize_angle(const CCurve& c, double& u)
{
    for (double shift : {0.0, 2 * M_PI, -2 * M_PI}) {
        double v = u + shift;
        if (c.normalize_param(v)) {
            u = v;
            return true;
        }
    }
    return false;
}

const CLineCurve* as_line(const CCurve* c)
{
    return c->kind() == 0 ? dynamic_cast<const CLineCurve*>(c) : nullptr;
}
const CCircleCurve* as_circle(const CCurve* c)
{
    return c->kind() == 2 ? dynamic_cast<const CCircleCurve*>(c) : nullptr;
}

}  // namespace

int accept_pair(const CCurve* a, const CCurve* b, double ta0, double tb0, double& ta, double& tb, double tol)
{
    CCurvePairSolver solver(a, b, 0.0);
    int st = solver.solve(ta0, tb0);
    if (st != curve_status::ok) return st;
    if (solver.is_overlap() || !(tol * tol >= solver.last_distance_sq())) return curve_status::no_result;
    ta = solver.ta();
    tb = solver.tb();
    // A shallow crossing can use up the steps before the parameters settle: a second solve
    // from there settles them, so that one crossing is not listed twice a little apart.
    if (solver.last_distance_sq() > 1e-26) {
        CCurvePairSolver again(a, b, 0.0);
        if (again.solve(ta, tb) == curve_status::ok && again.last_distance_sq() < solver.last_distance_sq() &&
            !again.is_overlap()) {
            ta = again.ta();
            tb = again.tb();
        }
    }
    return curve_status::ok;
}

namespace {

// The start and end points of x that lie on y.
int add_end_contacts(const CCurve* x, const CCurve* y, bool x_is_b, CDoubleArray& list_a, CDoubleArray& list_b,
                     double tol)
{
    // A point farther than tol from the hull of every piece of y cannot lie within tol of
    // y: the search along y is saved.
    std::vector<CBezierPiece> pieces;
    const bool hulls = bezier_pieces(*y, pieces) == curve_status::ok;
    for (double tx : {x->start_param(), x->end_param()}) {
        Qe_Pt p, found;
        double ty = 0.0, dist = 0.0;
        int st = x->point(tx, p);
        if (st != curve_status::ok) return st;
        const double d = tol + 1e-12 + 16 * DBL_EPSILON * (std::fabs(p.x()) + std::fabs(p.y()));
        const auto near = [&](const CBezierPiece& q) {
            return !(p.x() < q.box.min_x - d || p.x() > q.box.max_x + d || p.y() < q.box.min_y - d ||
                     p.y() > q.box.max_y + d);
        };
        if (hulls && std::none_of(pieces.begin(), pieces.end(), near)) continue;
        st = y->closest_point(p, found, ty, dist, 1e-9);
        if (st == curve_status::no_result) continue;
        if (st != curve_status::ok) return st;
        if (dist < tol && (st = add_parameter_pair(tx, ty, x_is_b, list_a, list_b)) != curve_status::ok) return st;
    }
    return curve_status::ok;
}

}  // namespace

int CLineCurve::kind() const
{
    return 0;
}
int CCircleCurve::kind() const
{
    return 2;
}

bool CCircleCurve::circle_radius(double& r) const
{
    const double l1 = circle_axis1().len(), l2 = circle_axis2().len();
    r = std::max(l1, l2);
    return std::fabs(l1 - l2) <= 1e-6;
}

int CCircleCurve::circle_angle(const Qe_Pt& x, double& angle) const
{
    const Qe_Vec d = x - circle_centre();
    const double c = d % circle_axis1(), s = d % circle_axis2();
    if (std::fabs(c) <= 1e-9 && std::fabs(s) <= 1e-9) return -1;
    angle = std::atan2(s, c);
    return curve_status::ok;
}

CIntersectionProblem::~CIntersectionProblem() = default;

int CIntersectionProblem::intersect_all(CDoubleArray& list_a, CDoubleArray& list_b, double tol)
{
    bool searched = false;
    int st = intersect_by_pieces(m_a, m_b, m_swapped, list_a, list_b, tol, searched);
    if (searched || st != curve_status::ok) return st;
    // Curves without pieces, or a search past its budget: every pair of sample parameters.
    CDoubleArray sa, sb;
    st = m_a->sample_params(sa);
    if (st == curve_status::ok) st = m_b->sample_params(sb);
    if (st != curve_status::ok) return st;
    for (int i = 0; i < sa.count(); ++i)
        for (int j = 0; j < sb.count(); ++j) {
            double ta = 0.0, tb = 0.0;
            if (accept_pair(m_a, m_b, sa[i], sb[j], ta, tb, tol) != curve_status::ok) continue;
            if ((st = add_parameter_pair(ta, tb, m_swapped, list_a, list_b)) != curve_status::ok) return st;
        }
    return curve_status::ok;
}

int CLineLineProblem::intersect_all(CDoubleArray& list_a, CDoubleArray& list_b, double tol)
{
    const CLineCurve *a = as_line(m_a), *b = as_line(m_b);
    if (!a || !b) return CIntersectionProblem::intersect_all(list_a, list_b, tol);
    const Qe_Vec da = a->line_direction(), db = b->line_direction();
    const double la = da.len(), lb = db.len();
    if (!(la > 1e-9) || !(lb > 1e-9)) return curve_status::ok;
    const Qe_Vec ua = da / la, ub = db / lb;
    const double c = cross_z(ua, ub);
    if (!(std::fabs(c) > 1e-9)) return curve_status::ok;  // parallel
    const Qe_Vec d = b->line_origin() - a->line_origin();
    double ta = cross_z(d, ub) / (c * la), tb = cross_z(d, ua) / (c * lb);
    if (!a->normalize_param(ta) || !b->normalize_param(tb)) return curve_status::ok;
    return add_parameter_pair(ta, tb, m_swapped, list_a, list_b);
}

int CLineCircleProblem::intersect_all(CDoubleArray& list_a, CDoubleArray& list_b, double tol)
{
    const CLineCurve* a = as_line(m_a);
    const CCircleCurve* b = as_circle(m_b);
    if (!a || !b) return CIntersectionProblem::intersect_all(list_a, list_b, tol);
    const Qe_Vec d = a->line_direction(), n(-d.y(), d.x(), 0.0);
    int count = 0;
    double u[2] = {0.0, 0.0};
    if (solve_trig(n % b->circle_axis1(), n % b->circle_axis2(), n % (b->circle_centre() - a->line_origin()), count,
                   u[0], u[1]) != curve_status::ok)
        return curve_status::ok;
    for (int i = 0; i < count; ++i) {
        if (!normalize_angle(*b, u[i])) continue;
        Qe_Pt p, found;
        double ta = 0.0, dist = 0.0;
        int st = b->point(u[i], p);
        if (st != curve_status::ok) return st;
        st = a->closest_point(p, found, ta, dist, 1e-9);
        if (st == curve_status::no_result) continue;
        if (st != curve_status::ok) return st;
        if (dist < tol && (st = add_parameter_pair(ta, u[i], m_swapped, list_a, list_b)) != curve_status::ok) return st;
    }
    return curve_status::ok;
}

int CCircleCircleProblem::intersect_all(CDoubleArray& list_a, CDoubleArray& list_b, double tol)
{
    const CCircleCurve *a = as_circle(m_a), *b = as_circle(m_b);
    double ra = 0.0, rb = 0.0;
    if (!a || !b || !a->circle_radius(ra) || !b->circle_radius(rb))
        return CIntersectionProblem::intersect_all(list_a, list_b, tol);
    const double d = (b->circle_centre() - a->circle_centre()).len();
    if (!(d > 1e-6)) return curve_status::ok;
    // F the smaller circle, G the larger; the pairs go out in the caller's order.
    const bool flip = rb < ra;
    const CCircleCurve *f = flip ? b : a, *g = flip ? a : b;
    const double r1 = flip ? rb : ra, r2 = flip ? ra : rb;
    const bool swapped = m_swapped != flip;
    const double e = d * d + r1 * r1 - r2 * r2, x = 2.0 * d * r1;
    if (std::fabs(e) > x) return curve_status::ok;
    const double c = e / x;
    double half[2];
    int count = 2;
    if (std::fabs(c) > 0.999999999) {
        half[0] = c > 0 ? 0.0 : M_PI;
        count = 1;
    } else {
        half[0] = std::acos(c);
        half[1] = -half[0];
    }
    double phi = 0.0;
    int st = f->circle_angle(g->circle_centre(), phi);
    if (st != curve_status::ok) return st;
    for (int i = 0; i < count; ++i) {
        double uf = phi - half[i];
        if (!normalize_angle(*f, uf)) continue;
        Qe_Pt p;
        if ((st = f->point(uf, p)) != curve_status::ok) return st;
        double ug = 0.0;
        if (g->circle_angle(p, ug) != curve_status::ok || !normalize_angle(*g, ug)) continue;
        if ((st = add_parameter_pair(uf, ug, swapped, list_a, list_b)) != curve_status::ok) return st;
    }
    return curve_status::ok;
}

int make_intersection_problem(const CCurve* a, const CCurve* b, bool may_swap,
                              std::unique_ptr<CIntersectionProblem>& out)
{
    if (!a || !b) return curve_status::bad_argument;
    bool swapped = false;
    if (b->kind() < a->kind()) {
        if (may_swap) {
            std::swap(a, b);
            swapped = true;
        } else {
            out.reset(new (std::nothrow) CIntersectionProblem(a, b, false));
            return out ? curve_status::ok : curve_status::no_memory;
        }
    }
    const bool la = as_line(a), lb = as_line(b), ca = as_circle(a), cb = as_circle(b);
    if (la && lb)
        out.reset(new (std::nothrow) CLineLineProblem(a, b, swapped));
    else if (la && cb)
        out.reset(new (std::nothrow) CLineCircleProblem(a, b, swapped));
    else if (ca && cb)
        out.reset(new (std::nothrow) CCircleCircleProblem(a, b, swapped));
    else
        out.reset(new (std::nothrow) CIntersectionProblem(a, b, swapped));
    return out ? curve_status::ok : curve_status::no_memory;
}

int intersect_curves(const CCurve* a, const CCurve* b, CDoubleArray& list_a, CDoubleArray& list_b, double tol)
{
    std::unique_ptr<CIntersectionProblem> problem;
    int st = make_intersection_problem(a, b, true, problem);
    if (st != curve_status::ok) return st;
    if ((st = problem->intersect_all(list_a, list_b, tol)) != curve_status::ok) return st;
    if ((st = add_end_contacts(a, b, false, list_a, list_b, tol)) != curve_status::ok) return st;
    return add_end_contacts(b, a, true, list_a, list_b, tol);
}

int refine_intersection(const CCurve* a, const CCurve* b, double ta0, double tb0, double& ta, double& tb, double tol)
{
    return accept_pair(a, b, ta0, tb0, ta, tb, std::max(tol, 1e-9));
}

int add_parameter_pair(double ta, double tb, bool swapped, CDoubleArray& list_a, CDoubleArray& list_b)
{
    if (swapped) std::swap(ta, tb);
    int i = 0;
    if (list_a.find(ta, 1e-9, i) || list_b.find(tb, 1e-9, i)) return curve_status::ok;
    int st = list_a.insert_sorted(ta, 1e-9);
    return st != curve_status::ok ? st : list_b.insert_sorted(tb, 1e-9);
}

int turn_side(const CCurve* a, const CCurve* b, double ta, double tb, int& sign)
{
    Qe_Pt p;
    Qe_Vec da, db;
    int st = a->point_and_tangent(ta, p, da);
    if (st == curve_status::ok) st = b->point_and_tangent(tb, p, db);
    if (st != curve_status::ok) return st;
    double x = cross_z(da, db);
    if (!(std::fabs(x) > 1e-9)) {
        Qe_Vec t;
        if ((st = b->local_frame(tb, p, t, x)) != curve_status::ok) return st;
    }
    sign = x > 0.0 ? 1 : -1;
    return curve_status::ok;
}

int solve_trig(double x, double y, double a, int& count, double& u1, double& u2)
{
    count = 0;
    const double h = std::hypot(x, y);
    if (!(h > 1e-9)) return -1;
    const double phi = std::atan2(y, x);
    if (std::fabs(a / h) > 1.000000001) return curve_status::ok;
    const double c = -a / h;
    if (c > 0.999999999) {
        u1 = phi;
        count = 1;
    } else if (c < -0.999999999) {
        u1 = phi + 3.1415926535898;
        count = 1;
    } else {
        u1 = phi - std::acos(c);
        u2 = phi + std::acos(c);
        count = 2;
    }
    return curve_status::ok;
}

int CIntersectionProblem::fillet(double& r, double a, double b, double& ta, double& tb)
{
    if (!(a > 1e-6 && a <= 1.0) || !(b > 1e-6 && b <= 1.0)) return -1;
    const CCurve *ca = m_swapped ? m_b : m_a, *cb = m_swapped ? m_a : m_b;
    const double ea = ca->end_param(), sb = cb->start_param();
    int g = 0;
    int st = turn_side(ca, cb, ea, sb, g);
    if (st != curve_status::ok) return st;
    const double low_a = ea - a * (ea - ca->start_param()), high_b = sb + b * (cb->end_param() - sb);
    double d = g * r;
    for (int attempt = 0; attempt < 3; ++attempt, d *= 0.5) {
        std::unique_ptr<CCurve> oa, ob;
        const Qe_Vec z(0.0, 0.0, 1.0);
        if ((st = ca->offset(d, &z, oa)) != curve_status::ok || (st = cb->offset(d, &z, ob)) != curve_status::ok)
            return st;
        for (int from = 0; from < 2; ++from) {
            CCurvePairSolver solver(oa.get(), ob.get(), 1e-9);
            if (solver.solve(from == 0 ? ea : low_a, from == 0 ? sb : high_b) != curve_status::ok) continue;
            // Only a solve that ended on a meeting point counts, not one stopped early.
            if (!(solver.last_distance_sq() <= 1e-18)) continue;
            const double u = solver.ta(), v = solver.tb();
            if (u >= low_a && u <= ea && v >= sb && v <= high_b) {
                r = std::fabs(d);
                ta = u;
                tb = v;
                return curve_status::ok;
            }
        }
    }
    return curve_status::no_result;
}

int CLineLineProblem::fillet(double& r, double a, double b, double& ta, double& tb)
{
    if (!(a > 1e-6 && a <= 1.0) || !(b > 1e-6 && b <= 1.0)) return -1;
    const CCurve *ca = m_swapped ? m_b : m_a, *cb = m_swapped ? m_a : m_b;
    Qe_Pt a0, a1, b0, b1;
    int st = ca->start_point(a0);
    if (st == curve_status::ok) st = ca->end_point(a1);
    if (st == curve_status::ok) st = cb->start_point(b0);
    if (st == curve_status::ok) st = cb->end_point(b1);
    if (st != curve_status::ok) return st;
    const double la = (a1 - a0).len(), lb = (b1 - b0).len();
    if (!(la > 1e-6) || !(lb > 1e-6)) return curve_status::no_result;
    const double c = ((a1 - a0) / la) % ((b1 - b0) / lb);
    if (c + 1.0 < 1e-9) return curve_status::no_result;  // the lines turn back
    const double t = std::sqrt(std::max(0.0, 1.0 - c) / (c + 1.0));
    double setback = r * t;
    const double room = std::min(la * a, lb * b);
    if (room < setback) {
        setback = room;
        r = setback / t;
    }
    // The set-back is a length: in parameters it is scaled by each range over its length.
    ta = ca->end_param() - setback * (ca->end_param() - ca->start_param()) / la;
    tb = cb->start_param() + setback * (cb->end_param() - cb->start_param()) / lb;
    return curve_status::ok;
}
