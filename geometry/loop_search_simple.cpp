#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

#include "geometry/loop_search.h"
#include "geometry/loop_search_p.h"
#include "geometry/pt_set.h"
#include "geometry/segment_predicates.h"
#include "geometry/tolerance.h"

// Rings that meet only at the vertices their consecutive segments share make a graph whose
// points are those vertices, each with two relations (back and on along its ring), nothing
// pruned. The full steps on such input come down to what is done here: the same predicates
// decide whether the input is such, and the walk, its starts and its loops follow the full
// search's rules on that graph, so the result is the same, loop for loop and point for point.

namespace {

using loop_search_detail::finite;
using loop_search_detail::relation_angle;
using loop_search_detail::ring_area;
using loop_search_detail::starts_leftward;

struct Ring_Segment {
    const Qe_Pt* a;
    const Qe_Pt* b;
    double x0, y0, x1, y1;
    std::uint32_t ring;
};

// A relation: the vertex it leaves and which of its two (by ascending angle) it is.
struct Arc {
    std::uint32_t from;
    std::uint32_t slot;
};

}  // namespace

bool Qe_Search_Loops::search_simple_min_loops()
{
    // The segments as ptset2segments lists them; the search grows their boxes by this.
    const double grow = 2.0 * std::max(resabs, 0.0);
    std::vector<Ring_Segment> segs;
    std::vector<std::uint32_t> ring_first;
    double z = 0.0;
    for (Qe_Void_Node* n = m_input.head(); n; n = n->next()) {
        const auto* set = static_cast<const Qe_Pt_Set*>(n->entity());
        if (!set || !set->points() || set->count() < 2) continue;
        const int count = set->count();
        const Qe_Pt* p = set->points();
        if (count < 4 || p[0].x() != p[count - 1].x() || p[0].y() != p[count - 1].y() ||
            p[0].z() != p[count - 1].z())
            return false;
        // The full search's points lie in the plane and merge by their x and y alone, where
        // the segment test below tells points apart by z too: one level for all, or no answer.
        if (segs.empty() && ring_first.empty()) z = p[0].z();
        ring_first.push_back(static_cast<std::uint32_t>(segs.size()));
        for (int i = 0; i + 1 < count; ++i) {
            const Qe_Pt &a = p[i], &b = p[i + 1];
            // remove_error_segment would drop it: the graph would not be rings.
            if (!finite(a) || !finite(b) || same_point(a, b, resabs) || a.z() != z) return false;
            segs.push_back({&a, &b, std::min(a.x(), b.x()) - grow, std::min(a.y(), b.y()) - grow,
                            std::max(a.x(), b.x()) + grow, std::max(a.y(), b.y()) + grow,
                            static_cast<std::uint32_t>(ring_first.size() - 1)});
        }
    }
    if (segs.empty() || segs.size() > UINT32_MAX / 2) return false;
    const std::uint32_t n = static_cast<std::uint32_t>(segs.size());
    ring_first.push_back(n);

    // Every pair of overlapping boxes, as the full search tests them (lower index first):
    // consecutive segments must meet exactly at their shared vertex, all others not at all.
    std::vector<loop_search_detail::Box> boxes;
    boxes.reserve(n);
    for (const Ring_Segment& s : segs) boxes.push_back({s.x0, s.y0, s.x1, s.y1});
    std::uint32_t shared_met = 0;
    for (const std::uint64_t pair : loop_search_detail::candidate_pairs(boxes)) {
        const std::uint32_t i = static_cast<std::uint32_t>(pair >> 32), j = static_cast<std::uint32_t>(pair);
        const Ring_Segment &u = segs[i], &v = segs[j];
        const Qe_Pt* shared = nullptr;
        if (u.ring == v.ring) {
            if (j == i + 1)
                shared = u.b;
            else if (i == ring_first[u.ring] && j + 1 == ring_first[u.ring + 1])
                shared = u.a;
        }
        Qe_Pt x;
        const bool meet = two_segments_intersection(*u.a, *u.b, *v.a, *v.b, x);
        if (!shared) {
            if (meet) return false;
            continue;
        }
        if (!meet || x.x() != shared->x() || x.y() != shared->y()) return false;
        ++shared_met;
    }
    if (shared_met != n) return false;

    // Vertex k of a ring is the start of its segment k; its relations go to the vertices
    // before and after it, by ascending angle.
    std::vector<Qe_Pt> at(n);
    std::vector<std::uint32_t> next(n), prev(n);
    for (std::uint32_t r = 0; r + 1 < ring_first.size(); ++r) {
        const std::uint32_t first = ring_first[r], end = ring_first[r + 1];
        for (std::uint32_t k = first; k < end; ++k) {
            at[k] = Qe_Pt(segs[k].a->x(), segs[k].a->y(), 0.0);
            next[k] = k + 1 < end ? k + 1 : first;
            prev[k] = k > first ? k - 1 : end - 1;
        }
    }
    std::vector<std::uint32_t> to(2 * std::size_t{n});
    std::vector<double> angle(2 * std::size_t{n});
    // −1 barred as a start. (A relation is in one cycle only: none is met again once its
    // loop is found, so none is marked as the full search marks them.)
    std::vector<signed char> state(2 * std::size_t{n}, 0);
    for (std::uint32_t k = 0; k < n; ++k) {
        double a = relation_angle(at[k], at[prev[k]]), b = relation_angle(at[k], at[next[k]]);
        // One relation per direction: the full search would drop one of these.
        if (std::fabs(a - b) < resabs) return false;
        std::uint32_t ta = prev[k], tb = next[k];
        if (b < a) std::swap(a, b), std::swap(ta, tb);
        to[2 * k] = ta, to[2 * k + 1] = tb;
        angle[2 * k] = a, angle[2 * k + 1] = b;
        if (starts_leftward(b) && starts_leftward(a))
            state[2 * k + 1] = -1;
        else if (starts_leftward(a))
            state[2 * k] = -1;
    }

    // Points by descending x, then descending y; no two are alike here.
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return at[a].x() > at[b].x() || (at[a].x() == at[b].x() && at[a].y() > at[b].y());
    });
    std::vector<std::uint32_t> rank(n);
    for (std::uint32_t k = 0; k < n; ++k) rank[order[k]] = k;

    std::vector<char> walked(2 * std::size_t{n}, 0);
    std::vector<Arc> cycle;
    std::vector<std::uint32_t> pts;
    for (std::uint32_t k = 0; k < n; ++k) {
        for (std::uint32_t slot = 0; slot < 2; ++slot) {
            const Arc first{order[k], slot};
            if (walked[2 * first.from + slot]) continue;
            // Turning to the next smaller angle at a point of two relations goes on along
            // the ring.
            cycle.clear();
            for (Arc r = first;;) {
                walked[2 * r.from + r.slot] = 1;
                cycle.push_back(r);
                const std::uint32_t w = to[2 * r.from + r.slot];
                const std::uint32_t rev = to[2 * w] == r.from ? 0 : 1;
                r = Arc{w, 1 - rev};
                if (r.from == first.from && r.slot == first.slot) break;
            }
            const std::size_t start = loop_search_detail::loop_start(
                cycle.size(), [&](std::size_t c) { return at[cycle[c].from].x(); },
                [&](std::size_t c) {
                    const std::size_t id = 2 * std::size_t{cycle[c].from} + cycle[c].slot;
                    return starts_leftward(angle[id]) && state[id] != -1;
                },
                [&](std::size_t a, std::size_t b) {
                    const Arc &p = cycle[a], &q = cycle[b];
                    return rank[p.from] != rank[q.from] ? rank[p.from] < rank[q.from]
                                                        : angle[2 * p.from + p.slot] < angle[2 * q.from + q.slot];
                });
            std::rotate(cycle.begin(), cycle.begin() + static_cast<std::ptrdiff_t>(start), cycle.end());
            pts.clear();
            for (const Arc& r : cycle) pts.push_back(r.from);
            // A ring passes no point twice: it is its own outline when counter-clockwise.
            const auto point = [&](std::size_t c) -> const Qe_Pt& { return at[pts[c]]; };
            if (!(ring_area(point, 0, pts.size()) > 0.0L)) continue;
            if (Qe_Loop* loop = loop_search_detail::loop_of(point, 0, pts.size())) {
                m_results.add(loop);
                m_result_starts.push_back(at[first.from]);
            }
        }
    }
    return true;
}
