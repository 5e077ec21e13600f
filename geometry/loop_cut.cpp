#include "geometry/loop_cut.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "geometry/angles.h"
#include "geometry/edge.h"
#include "geometry/log.h"
#include "geometry/loop.h"
#include "geometry/loop_search.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_set.h"
#include "geometry/qe_file.h"
#include "geometry/segment_predicates.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "platform/fixed_width.h"

namespace {

// A segment taken from its lower end: the end of smaller x, or of smaller y when the
// segment is vertical (x extent below resabs). Positions along it are in that sense.
struct Lower_First {
    Qe_Pt a, b;
    Lower_First(const Qe_Pt& p, const Qe_Pt& q)
    {
        const bool vertical = std::fabs(p.x() - q.x()) < resabs;
        const bool swap = vertical ? q.y() < p.y() : q.x() < p.x();
        a = swap ? q : p;
        b = swap ? p : q;
    }
    double position(const Qe_Pt& p) const { return (p - a) % (b - a); }
};

// The vertices of a loop in ring order; with close_ring the first again at the end.
std::vector<Qe_Pt> ring_of(const Qe_Loop& loop, bool close_ring)
{
    std::vector<Qe_Pt> pts;
    const long n = loop.count();
    const Qe_Loop_Node* v = loop.head();
    for (long i = 0; i < n && v; ++i, v = v->next()) pts.push_back(v->point());
    if (close_ring && !pts.empty()) pts.push_back(pts.front());
    return pts;
}

}  // namespace

bool segment_loop_intersection(const Qe_Pt& a_in, const Qe_Pt& b_in, const Qe_Pt* pts, int n, Qe_Void_List& out)
{
    if (!pts || n < 3) return false;
    // Runs come out from the lower end.
    const Lower_First seg(a_in, b_in);
    const Qe_Pt& a = seg.a;
    const Qe_Pt& b = seg.b;
    const Qe_Vec d = b - a;
    const double len2 = d.len_sq();
    if (!(len2 > resabs * resabs) || !std::isfinite(len2)) return false;

    // Parameters along a–b where the inside/outside state may change: the ends, every
    // crossing with an edge and every polygon vertex on the segment (a vertex on the line
    // and edges along it). Whether a piece between two of them is inside is then decided
    // by its midpoint, so a vertex touched from one side, a vertex passed through and a
    // segment ending on a vertex are all counted as they should be.
    std::vector<double> ts = {0.0, 1.0};
    auto add = [&](const Qe_Pt& p) {
        const double t = ((p - a) % d) / len2;
        if (t > 0.0 && t < 1.0) ts.push_back(t);
    };
    for (int i = 0; i < n; ++i) {
        const Qe_Pt& p = pts[i];
        const Qe_Pt& q = pts[(i + 1) % n];
        Qe_Pt c;
        if (two_segments_intersection(a, b, p, q, c)) add(c);
        if (is_on_segment(p, a, b)) add(p);
    }
    std::sort(ts.begin(), ts.end());
    const double merge = resabs / std::sqrt(len2);
    std::vector<double> cuts;
    for (double t : ts)
        if (cuts.empty() || t - cuts.back() > merge) cuts.push_back(t);
    if (cuts.back() < 1.0) cuts.back() = 1.0;

    std::vector<Qe_Pt> runs;
    bool open = false;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        const bool inside = is_pos_in_region(interpolate(0.5 * (cuts[i] + cuts[i + 1]), a, b), pts, n);
        if (inside && !open) runs.push_back(interpolate(cuts[i], a, b));
        if (!inside && open) runs.push_back(interpolate(cuts[i], a, b));
        open = inside;
    }
    if (open) runs.push_back(b);
    if (runs.empty()) return false;

    auto* sets = new Qe_Pt_Sets;
    const mb_ulong count = static_cast<mb_ulong>(runs.size() / 2);
    std::vector<mb_ulong> counts(count, 2);
    if (!sets->init(count, counts.data(), runs.data())) {
        delete sets;
        return false;
    }
    out.add(sets);
    return true;
}

namespace {

double distance_to_segment(const Qe_Pt& p, const Qe_Pt& a, const Qe_Pt& b)
{
    const Qe_Vec d = b - a;
    const double len2 = d.len_sq();
    double t = len2 > 0.0 ? ((p - a) % d) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return (p - interpolate(t, a, b)).len();
}

// Every edge of the listed loops, for distance queries.
struct Edge_Set {
    std::vector<std::pair<Qe_Pt, Qe_Pt>> edges;
    void add(const Qe_Loop& loop)
    {
        const std::vector<Qe_Pt> pts = ring_of(loop, true);
        for (size_t i = 0; i + 1 < pts.size(); ++i) edges.emplace_back(pts[i], pts[i + 1]);
    }
};

// A point strictly inside the face bounded by ring: off the middle of its longest edge,
// towards the inside, by half the distance to the nearest boundary of the arrangement that
// does not pass through that middle. So the point lies in the face and on no boundary.
bool face_point(const Qe_Loop& ring, const Edge_Set& boundaries, Qe_Pt& out)
{
    const std::vector<Qe_Pt> pts = ring_of(ring, false);
    const int n = static_cast<int>(pts.size());
    if (n < 3) return false;
    int longest = -1;
    double best = 0.0;
    for (int i = 0; i < n; ++i) {
        const double len = (pts[(i + 1) % n] - pts[i]).len();
        if (len > best) {
            best = len;
            longest = i;
        }
    }
    if (longest < 0 || !(best > resabs)) return false;
    const Qe_Pt& a = pts[longest];
    const Qe_Pt& b = pts[(longest + 1) % n];
    const Qe_Pt m = interpolate(0.5, a, b);
    double clearance = 0.5 * best;
    auto consider = [&](const Qe_Pt& p, const Qe_Pt& q) {
        const double d = distance_to_segment(m, p, q);
        if (d > resabs && d < clearance) clearance = d;
    };
    for (int i = 0; i < n; ++i)
        if (i != longest) consider(pts[i], pts[(i + 1) % n]);
    for (const auto& e : boundaries.edges) consider(e.first, e.second);
    const Qe_Uvec along = normalise(b - a);
    const double side = api_mb_get_pts_dir(pts.data(), n) ? 1.0 : -1.0;  // left of a–b on a ccw ring
    out = m + (0.5 * clearance * side) * Qe_Vec(-along.y(), along.x(), 0.0);
    return true;
}

std::vector<Qe_Loop*> listed_loops(const Qe_Void_List& list)
{
    std::vector<Qe_Loop*> loops;
    for (Qe_Void_Node* n = list.head(); n; n = n->next())
        if (n->entity()) loops.push_back(static_cast<Qe_Loop*>(n->entity()));
    return loops;
}

}  // namespace

bool cut_loop_by_loops(Qe_Loop& loop, Qe_Void_List& cutters_list, Qe_Void_List& out)
{
    const std::vector<Qe_Loop*> cutters = listed_loops(cutters_list);
    if (cutters_list.is_empty()) {
        out.add(new Qe_Loop(loop));
        return true;
    }

    Qe_Search_Loops search;
    search.input_list().add(&loop);
    for (Qe_Loop* c : cutters)
        if (c != &loop && loop.is_intersection(*c)) search.input_list().add(c);
    search.loop2segments();
    search.remove_error_segment();
    search.bulid_intersect();
    search.del_invalid_intersect();
    search.create_intersect_relation();
    search.order_add_remove_error_intersect_points();
    search.search_min_loops();
    {
        Qe_File dump;
        dump.open_or_create("cutloopbyloops.txt");
        search.save_segments(dump);
    }

    // Each minimal loop is a face of the arrangement of loop and cutters. It is a part of
    // loop left by the cutters when a point inside the face is inside loop and in no
    // cutter. Testing the face's edge midpoints instead misjudges faces whose edges all
    // lie on boundaries: loop itself when no cutter touches it, or loop around a cutter
    // inside it.
    Edge_Set boundaries;
    boundaries.add(loop);
    for (const Qe_Loop* c : cutters) boundaries.add(*c);
    for (Qe_Void_Node* n = search.result_list().head(); n; n = n->next()) {
        std::unique_ptr<Qe_Loop> face(static_cast<Qe_Loop*>(n->entity()));
        Qe_Pt p;
        if (!face || !face_point(*face, boundaries, p)) continue;
        if (loop.is_pt_in_loop(p) != 1) continue;
        bool covered = false;
        for (const Qe_Loop* c : cutters) covered = covered || c->is_pt_in_loop(p) != 0;
        if (!covered) out.add(face.release());
    }
    search.result_list().clear();
    return true;
}

namespace {

// Points in ascending position along seg, coincident points (resabs) kept once.
void insert_ordered(std::vector<Qe_Pt>& pts, const Lower_First& seg, const Qe_Pt& p)
{
    for (const Qe_Pt& q : pts)
        if (same_point(p, q, resabs)) return;
    const double t = seg.position(p);
    auto at = std::find_if(pts.begin(), pts.end(), [&](const Qe_Pt& q) { return t < seg.position(q); });
    pts.insert(at, p);
}

}  // namespace

bool cut_segment_by_loops(const Qe_Pt& a, const Qe_Pt& b, Qe_Void_List& loops, Qe_Void_List& out)
{
    // Ordered by the position along the segment, not by x and then y: on a vertical hatch
    // line the computed crossings differ in x by rounding, which would scramble them.
    const Lower_First seg(a, b);
    std::vector<Qe_Pt> pts;
    insert_ordered(pts, seg, a);
    insert_ordered(pts, seg, b);
    for (const Qe_Loop* loop : listed_loops(loops)) {
        const std::vector<Qe_Pt> ring = ring_of(*loop, true);
        for (size_t i = 0; i + 1 < ring.size(); ++i) {
            Qe_Pt x;
            if (two_segments_intersection(a, b, ring[i], ring[i + 1], x)) insert_ordered(pts, seg, x);
        }
    }
    for (size_t i = 0; i + 1 < pts.size(); ++i) out.add(new Qe_Segment(pts[i], pts[i + 1]));
    return pts.size() > 1;
}

void cut_segments_by_loops(Qe_Void_List& loops_list, double angle, double spacing, Qe_Void_List& out)
{
    const std::vector<Qe_Loop*> loops = listed_loops(loops_list);
    if (loops.empty() || !(spacing > 0.0) || !std::isfinite(spacing) || !std::isfinite(angle)) return;
    if (std::fabs(angle - HALF_PI / 2) < resabs || std::fabs(angle - 3 * HALF_PI / 2) < resabs) angle += 1e-5;

    // Turn the loops so that the hatch lines are vertical.
    const Qe_Tran turn = rotate_transf(HALF_PI - angle, Qe_Vec(0.0, 0.0, 1.0));
    std::vector<std::unique_ptr<Qe_Loop>> owned;
    Qe_Void_List copies;
    for (const Qe_Loop* l : loops) {
        owned.push_back(std::make_unique<Qe_Loop>(*l));
        owned.back()->translate(turn);
        copies.add(owned.back().get());
    }
    Qe_Pt lt, rb;
    if (!api_mb_get_loops_rect_pos(copies, lt, rb)) return;
    const double lines = std::floor((rb.x() - lt.x()) / spacing) + 1.0;
    if (!std::isfinite(lines) || lines > MAX_HATCH_LINES) return;

    std::vector<const Qe_Loop*> holes;
    if (owned.size() > 1)
        for (const auto& c : owned)
            for (const auto& other : owned)
                if (other != c && c->is_in_loop(*other) == 1) {
                    holes.push_back(c.get());
                    break;
                }

    std::vector<std::unique_ptr<Qe_Segment>> kept;
    for (int i = 0; i < static_cast<int>(lines); ++i) {
        const double x = lt.x() + i * spacing;
        Qe_Void_List stretches;
        cut_segment_by_loops(Qe_Pt(x, lt.y(), 0.0), Qe_Pt(x, rb.y(), 0.0), copies, stretches);
        for (Qe_Void_Node* n = stretches.head(); n; n = n->next()) {
            std::unique_ptr<Qe_Segment> s(static_cast<Qe_Segment*>(n->entity()));
            const Qe_Pt mid = s->middle_pos();
            bool inside = false;
            for (const auto& c : owned) inside = inside || c->is_pt_in_loop(mid) != 0;
            if (!inside) continue;
            bool in_hole = false;
            for (const Qe_Loop* h : holes) {
                message_out("中点", mid, "", false);
                if (h->is_pt_in_loop(mid) != 0) {
                    in_hole = true;
                    break;
                }
            }
            if (!in_hole) kept.push_back(std::move(s));
        }
    }
    const Qe_Tran back = turn.inverse();
    for (auto& s : kept) {
        s->translate(back);
        out.add(s.release());
    }
}
