#include "curves/piece_search_p.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <vector>

#include "curves/bezier_piece_p.h"
#include "curves/curve_solvers.h"
#include "curves/intersection.h"

namespace {

// The search keeps pairs of pieces whose boxes overlap and that no fat line keeps apart,
// and halves them until one of two things holds. Either the pieces' tangent cones show
// that they cross at most once (a transversal candidate), or both pieces are straight
// within the slack (a grazing candidate: a tangent touch, or a crossing at so small an
// angle that the slack cannot tell it from one). A transversal candidate is refined unless
// a crossing already found lies in it, and halved again only when its solve fails or ends
// outside it; grazing candidates that touch each other form one group, refined once.
class PieceSearch {
public:
    PieceSearch(const CCurve& a, const CCurve& b, const std::vector<CBezierPiece>& pa,
                const std::vector<CBezierPiece>& pb, double tol)
        : m_a(a),
          m_b(b),
          m_pa(pa),
          m_pb(pb),
          m_tol(tol)
    {
        CCurveBox all;
        for (const auto* list : {&pa, &pb})
            for (const CBezierPiece& q : *list) all.add(q.box);
        const double scale =
            std::max({std::fabs(all.min_x), std::fabs(all.max_x), std::fabs(all.min_y), std::fabs(all.max_y), 1.0});
        // Points within tol meet: the boxes and the flatness allow that much, and rounding.
        m_slack = std::max(0.0, tol) + 1e-12 + 16 * DBL_EPSILON * scale;
        m_coincide = 1e-12 + 64 * DBL_EPSILON * scale;
        long samples_a = 0, samples_b = 0;
        for (const CBezierPiece& q : pa) samples_a += q.degree;
        for (const CBezierPiece& q : pb) samples_b += q.degree;
        m_budget = std::max(1L << 18, 4 * samples_a * samples_b);
    }

    // False when the search ran past its budget.
    bool run()
    {
        // Pairs of spans come from a tree of boxes over each curve's runs of spans, so that
        // long curves are not compared span against span.
        const int ra = tree(m_runs_a, m_pa, 0, static_cast<int>(m_pa.size()));
        const int rb = tree(m_runs_b, m_pb, 0, static_cast<int>(m_pb.size()));
        visit_runs(ra, rb);
        return m_work <= m_budget;
    }

    int add_results(bool swapped, CDoubleArray& list_a, CDoubleArray& list_b)
    {
        int st = curve_status::ok;
        std::vector<int> grazing;
        for (int i = 0; i < static_cast<int>(m_leaves.size()); ++i) {
            const Leaf& leaf = m_leaves[i];
            if (!leaf.transversal) {
                grazing.push_back(i);
            } else if ((st = settle(leaf, g_retries, swapped, list_a, list_b)) != curve_status::ok) {
                return st;
            }
        }
        // Groups by a sweep along A's parameter; each candidate is compared with a bounded
        // number of followers, so a pathological crowd costs extra solves, not quadratic time.
        std::sort(grazing.begin(), grazing.end(), [&](int i, int j) { return m_leaves[i].a0 < m_leaves[j].a0; });
        std::vector<int> group(m_leaves.size());
        std::iota(group.begin(), group.end(), 0);
        const auto root = [&](int i) {
            while (group[i] != i) i = group[i] = group[group[i]];
            return i;
        };
        for (size_t x = 0; x < grazing.size(); ++x) {
            const Leaf& p = m_leaves[grazing[x]];
            for (size_t y = x + 1; y < grazing.size() && y <= x + 64 && m_leaves[grazing[y]].a0 <= p.a1 + 1e-12; ++y)
                if (touch(p, m_leaves[grazing[y]])) group[root(grazing[y])] = root(grazing[x]);
        }
        // Each group starts from its member whose chords come nearest, unless a solution
        // already found lies in one of its members.
        std::vector<int> best(m_leaves.size(), -1);
        std::vector<char> done(m_leaves.size(), 0);
        for (int i : grazing) {
            const int r = root(i);
            if (known(m_leaves[i])) done[r] = 1;
            if (best[r] < 0 || m_leaves[i].gap < m_leaves[best[r]].gap) best[r] = i;
        }
        for (int i : grazing) {
            const int r = root(i);
            if (best[r] < 0 || done[r]) continue;
            done[r] = 1;
            if ((st = refine(m_leaves[best[r]], swapped, list_a, list_b)) != curve_status::ok) return st;
        }
        return curve_status::ok;
    }

private:
    struct Leaf {
        int ia, ib;             // the spans the pieces come from
        double a0, a1, b0, b1;  // the parameter windows
        double sa, sb;          // the start of the pair solve
        double gap;             // the distance of the chords
        bool transversal;
    };

    // A run of consecutive pieces [first, last) with its box; part holds the indices of its
    // two halves, -1 for a single piece.
    struct Run {
        int first, last;
        CCurveBox box;
        int part[2];
    };

    static constexpr int g_max_depth = 48;
    // The cost of a point projection in visits of pairs, for the budget.
    static constexpr long g_projection_work = 8;
    // The widest tangent cone of a transversal candidate: the pair solve starts from its
    // chords, and narrow cones keep the start near the crossing.
    static constexpr double g_max_cone = 0.5;
    // How many times a transversal candidate is halved again when its solve fails or
    // runs off to another crossing.
    static constexpr int g_retries = 4;

    static int tree(std::vector<Run>& runs, const std::vector<CBezierPiece>& pieces, int first, int last)
    {
        const int at = static_cast<int>(runs.size());
        runs.push_back({first, last, {}, {-1, -1}});
        if (last - first == 1) {
            runs[at].box = pieces[first].box;
            return at;
        }
        const int mid = first + (last - first) / 2;
        const int l = tree(runs, pieces, first, mid), r = tree(runs, pieces, mid, last);
        runs[at].part[0] = l;
        runs[at].part[1] = r;
        runs[at].box.add(runs[l].box);
        runs[at].box.add(runs[r].box);
        return at;
    }

    bool boxes_apart(const CCurveBox& x, const CCurveBox& y) const
    {
        return x.min_x - y.max_x > m_slack || y.min_x - x.max_x > m_slack || x.min_y - y.max_y > m_slack ||
               y.min_y - x.max_y > m_slack;
    }

    void visit_runs(int i, int j)
    {
        const Run &u = m_runs_a[i], &v = m_runs_b[j];
        if (++m_work > m_budget || boxes_apart(u.box, v.box)) return;
        const bool single_u = u.part[0] < 0, single_v = v.part[0] < 0;
        if (single_u && single_v) {
            visit(m_pa[u.first], m_pb[v.first], u.first, v.first, 0);
        } else if (!single_u && (single_v || u.last - u.first >= v.last - v.first)) {
            visit_runs(u.part[0], j);
            visit_runs(u.part[1], j);
        } else {
            visit_runs(i, v.part[0]);
            visit_runs(i, v.part[1]);
        }
    }

    void visit(const CBezierPiece& a, const CBezierPiece& b, int ia, int ib, int depth)
    {
        if (++m_work > m_budget || boxes_apart(a.box, b.box) || apart(a, b) || apart(b, a)) return;
        if (transversal(a, b)) {
            add_leaf(a, b, ia, ib, true);
            return;
        }
        // Where the curves run together there is no crossing to find, however far halved.
        if (narrow(a) && narrow(b) && (lies_on(b, m_a, a) || lies_on(a, m_b, b))) return;
        const bool flat_a = a.chord_deviation() <= m_slack, flat_b = b.chord_deviation() <= m_slack;
        if ((flat_a && flat_b) || depth >= g_max_depth) {
            add_leaf(a, b, ia, ib, false);
            return;
        }
        // A straight piece is kept whole, and so is one far smaller than the other.
        const bool split_a = !flat_a && (flat_b || 4 * a.size() >= b.size());
        const bool split_b = !flat_b && (flat_a || 4 * b.size() >= a.size());
        CBezierPiece ha[2], hb[2];
        if (split_a) a.split(ha[0], ha[1]);
        if (split_b) b.split(hb[0], hb[1]);
        for (int x = 0; x < (split_a ? 2 : 1); ++x)
            for (int y = 0; y < (split_b ? 2 : 1); ++y)
                visit(split_a ? ha[x] : a, split_b ? hb[y] : b, ia, ib, depth + 1);
    }

    // The fat line of p: the unit normal of its chord and the band of signed distances of
    // its control points from the first one.
    struct Band {
        double nx = 0.0, ny = 0.0, lo = 0.0, hi = 0.0;
        bool ok = false;
        double at(const CBezierPiece& p, double x, double y) const { return (x - p.x[0]) * nx + (y - p.y[0]) * ny; }
    };

    static Band band(const CBezierPiece& p)
    {
        Band b;
        const int n = p.degree;
        const double nx = p.y[0] - p.y[n], ny = p.x[n] - p.x[0], l = std::hypot(nx, ny);
        if (!(l > 0.0)) return b;
        b.ok = true;
        b.nx = nx / l;
        b.ny = ny / l;
        for (int i = 1; i < n; ++i) {
            const double d = b.at(p, p.x[i], p.y[i]);
            b.lo = std::min(b.lo, d);
            b.hi = std::max(b.hi, d);
        }
        return b;
    }

    // Every control point of q beyond the slack on one side of p's fat line.
    bool apart(const CBezierPiece& p, const CBezierPiece& q) const
    {
        const Band b = band(p);
        if (!b.ok) return false;
        bool above = true, below = true;
        for (int i = 0; i <= q.degree; ++i) {
            const double d = b.at(p, q.x[i], q.y[i]);
            above = above && d > b.hi + m_slack;
            below = below && d < b.lo - m_slack;
        }
        return above || below;
    }

    static bool narrow(const CBezierPiece& p) { return p.cone_ok && p.hi - p.lo <= g_max_cone; }

    // No tangent of one piece is parallel to a tangent of the other: then they cross at
    // most once, as two crossings would give both a tangent along the chord between them.
    static bool transversal(const CBezierPiece& a, const CBezierPiece& b)
    {
        if (!narrow(a) || !narrow(b)) return false;
        const double turn = std::atan2(a.dx * b.dy - a.dy * b.dx, a.dx * b.dx + a.dy * b.dy);
        const double c = std::remainder(turn + 0.5 * (b.lo + b.hi) - 0.5 * (a.lo + a.hi), M_PI);
        return std::fabs(c) > 0.5 * (b.hi - b.lo + a.hi - a.lo) + 1e-9;
    }

    // Five points of p lie on curve c at parameters near q's window. Held to rounding, not
    // to the slack: curves that touch also agree within the slack along a short stretch.
    bool lies_on(const CBezierPiece& p, const CCurve& c, const CBezierPiece& q)
    {
        const int n = q.degree;
        const double cx = q.x[n] - q.x[0], cy = q.y[n] - q.y[0], l2 = cx * cx + cy * cy;
        // A foot a little outside q still shows that p runs along c here: p may lie
        // beside q on c, which is what a reversed or shifted copy does at piece ends.
        const double margin = (q.t1 - q.t0) + 1e-9 * std::max(1.0, std::fabs(q.t0) + std::fabs(q.t1));
        const double reach = q.size() + m_slack;
        double px[5], py[5];
        for (int i = 0; i < 5; ++i) {
            p.point_at(0.25 * i, px[i], py[i]);
            if (px[i] < q.box.min_x - reach || px[i] > q.box.max_x + reach || py[i] < q.box.min_y - reach ||
                py[i] > q.box.max_y + reach)
                return false;
        }
        for (int i = 0; i < 5; ++i) {
            const double w =
                l2 > 0.0 ? std::clamp(((px[i] - q.x[0]) * cx + (py[i] - q.y[0]) * cy) / l2, 0.0, 1.0) : 0.5;
            CPointProjector projector(&c, Qe_Pt(px[i], py[i], 0.0), m_coincide);
            m_work += g_projection_work;
            if (projector.solve(q.t0 + w * (q.t1 - q.t0)) != curve_status::ok) return false;
            const Qe_Pt& f = projector.point();
            if (!(std::hypot(f.x() - px[i], f.y() - py[i]) <= m_coincide)) return false;
            if (projector.t() < q.t0 - margin || projector.t() > q.t1 + margin) return false;
        }
        return true;
    }

    // The candidate of two pieces; false when they cannot meet after all: each curve lies
    // within its chord deviation of its chord.
    bool make_leaf(const CBezierPiece& a, const CBezierPiece& b, int ia, int ib, bool transversal, Leaf& leaf) const
    {
        double u = 0.0, v = 0.0;
        const double gap = chord_closest(a, b, u, v);
        if (gap > a.chord_deviation() + b.chord_deviation() + m_slack) return false;
        leaf = {ia, ib, a.t0, a.t1, b.t0, b.t1, a.t0 + u * (a.t1 - a.t0), b.t0 + v * (b.t1 - b.t0), gap, transversal};
        return true;
    }

    void add_leaf(const CBezierPiece& a, const CBezierPiece& b, int ia, int ib, bool transversal)
    {
        Leaf leaf;
        if (make_leaf(a, b, ia, ib, transversal, leaf)) m_leaves.push_back(leaf);
    }

    // A transversal candidate: refined once; when the solve fails or ends outside it (at
    // another crossing, which is kept), its quarters are tried, down to g_retries times.
    int settle(const Leaf& l, int retries, bool swapped, CDoubleArray& list_a, CDoubleArray& list_b)
    {
        if (known(l)) return curve_status::ok;
        double ta = 0.0, tb = 0.0;
        if (accept_pair(&m_a, &m_b, l.sa, l.sb, ta, tb, m_tol) == curve_status::ok) {
            m_found.push_back({ta, tb});
            const int st = add_parameter_pair(ta, tb, swapped, list_a, list_b);
            if (st != curve_status::ok || inside(l, ta, tb)) return st;
        }
        if (retries == 0) return curve_status::ok;
        const CBezierPiece a = m_pa[l.ia].part(l.a0, l.a1), b = m_pb[l.ib].part(l.b0, l.b1);
        CBezierPiece ha[2], hb[2];
        a.split(ha[0], ha[1]);
        b.split(hb[0], hb[1]);
        for (const CBezierPiece& x : ha)
            for (const CBezierPiece& y : hb) {
                Leaf sub;
                if (boxes_apart(x.box, y.box) || apart(x, y) || apart(y, x) || !make_leaf(x, y, l.ia, l.ib, true, sub))
                    continue;
                const int st = settle(sub, retries - 1, swapped, list_a, list_b);
                if (st != curve_status::ok) return st;
            }
        return curve_status::ok;
    }

    // The nearest points of the two chords as segments: their fractions and distance.
    static double chord_closest(const CBezierPiece& a, const CBezierPiece& b, double& u, double& v)
    {
        const double px = a.x[0], py = a.y[0], qx = b.x[0], qy = b.y[0];
        const double rx = a.x[a.degree] - px, ry = a.y[a.degree] - py;
        const double sx = b.x[b.degree] - qx, sy = b.y[b.degree] - qy;
        const double wx = px - qx, wy = py - qy;
        const double rr = rx * rx + ry * ry, ss = sx * sx + sy * sy, rs = rx * sx + ry * sy;
        const double rw = rx * wx + ry * wy, sw = sx * wx + sy * wy;
        const double den = rr * ss - rs * rs;
        u = den > 1e-12 * rr * ss ? std::clamp((rs * sw - ss * rw) / den, 0.0, 1.0) : 0.5;
        v = ss > 0.0 ? std::clamp((rs * u + sw) / ss, 0.0, 1.0) : 0.5;
        u = rr > 0.0 ? std::clamp((rs * v - rw) / rr, 0.0, 1.0) : 0.5;
        return std::hypot(wx + u * rx - v * sx, wy + u * ry - v * sy);
    }

    // (ta, tb) lies in the candidate's windows, within the 1e-9 by which parameter lists
    // tell values apart.
    static bool inside(const Leaf& l, double ta, double tb)
    {
        return ta >= l.a0 - 1e-9 && ta <= l.a1 + 1e-9 && tb >= l.b0 - 1e-9 && tb <= l.b1 + 1e-9;
    }

    bool known(const Leaf& l) const
    {
        return std::any_of(m_found.begin(), m_found.end(), [&](const auto& f) { return inside(l, f[0], f[1]); });
    }

    static bool touch(const Leaf& p, const Leaf& q)
    {
        return p.a0 <= q.a1 + 1e-12 && q.a0 <= p.a1 + 1e-12 && p.b0 <= q.b1 + 1e-12 && q.b0 <= p.b1 + 1e-12;
    }

    // Failures of the pair solve are skipped, as the sample search skips them.
    int refine(const Leaf& l, bool swapped, CDoubleArray& list_a, CDoubleArray& list_b)
    {
        double ta = 0.0, tb = 0.0;
        if (accept_pair(&m_a, &m_b, l.sa, l.sb, ta, tb, m_tol) != curve_status::ok) return curve_status::ok;
        m_found.push_back({ta, tb});
        return add_parameter_pair(ta, tb, swapped, list_a, list_b);
    }

    const CCurve& m_a;
    const CCurve& m_b;
    const std::vector<CBezierPiece>& m_pa;
    const std::vector<CBezierPiece>& m_pb;
    double m_tol;
    double m_slack = 0.0;
    double m_coincide = 0.0;
    long m_work = 0;
    long m_budget = 0;
    std::vector<Run> m_runs_a, m_runs_b;
    std::vector<Leaf> m_leaves;
    std::vector<std::array<double, 2>> m_found;
};

}  // namespace

int intersect_by_pieces(const CCurve* a, const CCurve* b, bool swapped, CDoubleArray& list_a, CDoubleArray& list_b,
                        double tol, bool& searched)
{
    searched = false;
    if (!a || !b) return curve_status::ok;
    // A line is cut to the other curve's box first: a long one would otherwise set the
    // rounding of every test against it.
    const auto is_line = [](const CCurve* c) { return c->kind() == 0 && dynamic_cast<const CLineCurve*>(c); };
    if (is_line(a) && !is_line(b)) std::swap(a, b), swapped = !swapped;
    std::vector<CBezierPiece> pa, pb;
    if (bezier_pieces(*a, pa) != curve_status::ok) return curve_status::ok;
    CCurveBox near;
    for (const CBezierPiece& q : pa) near.add(q.box);
    const double extent = std::max({std::fabs(near.min_x), std::fabs(near.max_x), std::fabs(near.min_y),
                                    std::fabs(near.max_y), near.max_x - near.min_x, near.max_y - near.min_y});
    const double margin = std::max(0.0, tol) + 1e-9 * (1.0 + extent);
    near.add(Qe_Pt(near.min_x - margin, near.min_y - margin, 0.0));
    near.add(Qe_Pt(near.max_x + margin, near.max_y + margin, 0.0));
    if (bezier_pieces(*b, pb, is_line(b) ? &near : nullptr) != curve_status::ok) return curve_status::ok;
    if (pb.empty()) {  // the line passes the other curve by
        searched = true;
        return curve_status::ok;
    }
    PieceSearch search(*a, *b, pa, pb, tol);
    if (!search.run()) return curve_status::ok;
    searched = true;
    return search.add_results(swapped, list_a, list_b);
}
