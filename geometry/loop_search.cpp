#include "geometry/loop_search.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#include <utility>

#include "geometry/angles.h"
#include "geometry/edge.h"
#include "geometry/loop.h"
#include "geometry/loop_search_p.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/qe_file.h"
#include "geometry/segment_predicates.h"
#include "geometry/tolerance.h"

namespace {

using loop_search_detail::Box;
using loop_search_detail::candidate_pairs;
using loop_search_detail::finite;

template <class T>
std::vector<T*> items_of(const Qe_Void_List& list)
{
    std::vector<T*> out;
    for (Qe_Void_Node* n = list.head(); n; n = n->next())
        if (n->entity()) out.push_back(static_cast<T*>(n->entity()));
    return out;
}

template <class T>
void refill(Qe_Void_List& list, const std::vector<T*>& items)
{
    list.clear();
    for (T* item : items) list.add(item);
}

// Finds the earliest made point within resabs of a position, through a hash of cells
// twice the tolerance wide.
class Point_Index {
public:
    explicit Point_Index(double tol) : m_cell(std::max(2.0 * tol, 1e-300)) {}

    Qe_Intersect_Point* find(const Qe_Pt& p, double tol) const
    {
        const std::int64_t kx = coord(p.x()), ky = coord(p.y());
        std::size_t best = SIZE_MAX;
        for (std::int64_t x = kx - 1; x <= kx + 1; ++x) {
            for (std::int64_t y = ky - 1; y <= ky + 1; ++y) {
                auto it = m_cells.find(Key{x, y});
                if (it == m_cells.end()) continue;
                for (std::size_t i : it->second)
                    if (i < best && same_point(p, m_points[i]->point(), tol)) best = i;
            }
        }
        return best == SIZE_MAX ? nullptr : m_points[best];
    }

    void add(Qe_Intersect_Point* q)
    {
        m_cells[Key{coord(q->point().x()), coord(q->point().y())}].push_back(m_points.size());
        m_points.push_back(q);
    }

private:
    struct Key {
        std::int64_t x, y;
        bool operator==(const Key& o) const { return x == o.x && y == o.y; }
    };
    struct Key_Hash {
        std::size_t operator()(const Key& k) const
        {
            return std::hash<std::int64_t>()(k.x * 0x9E3779B97F4A7C15LL ^ k.y);
        }
    };

    std::int64_t coord(double v) const
    {
        // Far coordinates share clamped cells; the exact test still decides.
        const double c = std::floor(v / m_cell);
        return static_cast<std::int64_t>(std::clamp(c, -4e18, 4e18));
    }

    double m_cell;
    std::unordered_map<Key, std::vector<std::size_t>, Key_Hash> m_cells;
    std::vector<Qe_Intersect_Point*> m_points;
};

// Inserts r into its point's relations by ascending angle; a relation whose angle is
// within resabs of one already there is deleted (one relation per direction).
void insert_relation(Qe_Intersect_Point* p, Qe_Intersect_Relation* r)
{
    Qe_Void_List& list = p->relations();
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) {
        const auto* q = static_cast<const Qe_Intersect_Relation*>(n->entity());
        if (std::fabs(q->angle() - r->angle()) < resabs) {
            delete r;
            return;
        }
        if (q->angle() > r->angle()) {
            list.insert(r, n);
            return;
        }
    }
    list.add(r);
}

}  // namespace

namespace loop_search_detail {

// A segment whose box spans more grid cells than this is paired by a plain scan instead.
constexpr std::int64_t MAX_CELLS_PER_SEGMENT = 16;
constexpr double MAX_CELLS_PER_AXIS = 1 << 20;

std::vector<std::uint64_t> candidate_pairs(const std::vector<Box>& boxes)
{
    std::vector<std::uint64_t> pairs;
    const std::size_t n = boxes.size();
    if (n < 2) return pairs;
    Box all = boxes[0];
    // The grid works on halved coordinates: the difference of two finite halves is finite,
    // where the difference of far coordinates of opposite sign may overflow.
    std::vector<double> extents(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Box& b = boxes[i];
        all.x0 = std::min(all.x0, b.x0);
        all.y0 = std::min(all.y0, b.y0);
        all.x1 = std::max(all.x1, b.x1);
        all.y1 = std::max(all.y1, b.y1);
        extents[i] = std::max(b.x1 / 2 - b.x0 / 2, b.y1 / 2 - b.y0 / 2);
    }
    const double w = all.x1 / 2 - all.x0 / 2, h = all.y1 / 2 - all.y0 / 2;
    std::nth_element(extents.begin(), extents.begin() + static_cast<std::ptrdiff_t>(n / 2), extents.end());
    double cell = std::max(extents[n / 2], std::sqrt(w / static_cast<double>(n) * h));
    cell = std::max({cell, w / MAX_CELLS_PER_AXIS, h / MAX_CELLS_PER_AXIS});
    if (!(cell > 0.0) || !std::isfinite(cell)) cell = std::max({w, h, 1.0});
    auto cx = [&](double x) { return static_cast<std::int64_t>(std::floor((x / 2 - all.x0 / 2) / cell)); };
    auto cy = [&](double y) { return static_cast<std::int64_t>(std::floor((y / 2 - all.y0 / 2) / cell)); };
    auto key = [](std::int64_t x, std::int64_t y) { return (static_cast<std::uint64_t>(x) << 32) | static_cast<std::uint64_t>(y); };

    struct Entry {
        std::uint64_t cell;
        std::uint32_t index;
    };
    std::vector<Entry> entries;
    std::vector<std::uint32_t> big;
    std::vector<char> is_big(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const Box& b = boxes[i];
        const std::int64_t x0 = cx(b.x0), x1 = cx(b.x1), y0 = cy(b.y0), y1 = cy(b.y1);
        if ((x1 - x0 + 1) * (y1 - y0 + 1) > MAX_CELLS_PER_SEGMENT) {
            big.push_back(static_cast<std::uint32_t>(i));
            is_big[i] = 1;
            continue;
        }
        for (std::int64_t x = x0; x <= x1; ++x)
            for (std::int64_t y = y0; y <= y1; ++y) entries.push_back({key(x, y), static_cast<std::uint32_t>(i)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.cell != b.cell ? a.cell < b.cell : a.index < b.index; });
    for (std::size_t g = 0; g < entries.size();) {
        std::size_t e = g;
        while (e < entries.size() && entries[e].cell == entries[g].cell) ++e;
        for (std::size_t a = g; a < e; ++a) {
            const Box& ba = boxes[entries[a].index];
            for (std::size_t b = a + 1; b < e; ++b) {
                const Box& bb = boxes[entries[b].index];
                if (!overlap(ba, bb)) continue;
                // Report a pair only from the cell holding the low corner of the overlap.
                if (key(cx(std::max(ba.x0, bb.x0)), cy(std::max(ba.y0, bb.y0))) != entries[g].cell) continue;
                pairs.push_back((static_cast<std::uint64_t>(entries[a].index) << 32) | entries[b].index);
            }
        }
        g = e;
    }
    for (std::uint32_t b : big) {
        for (std::size_t j = 0; j < n; ++j) {
            if (j == b || (is_big[j] && j < b) || !overlap(boxes[b], boxes[j])) continue;
            const std::uint64_t lo = std::min<std::uint64_t>(b, j), hi = std::max<std::uint64_t>(b, j);
            pairs.push_back((lo << 32) | hi);
        }
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    return pairs;
}


bool starts_leftward(double angle) { return angle >= HALF_PI && angle < THREE_HALF_PI; }

double relation_angle(const Qe_Pt& from, const Qe_Pt& to)
{
    // The direction is scaled to at most unit size first: the length of a far difference
    // (1e155 and more) would overflow when squared and leave no direction at all.
    double dx = to.x() - from.x(), dy = to.y() - from.y();
    if (!std::isfinite(dx) || !std::isfinite(dy)) dx = to.x() / 2 - from.x() / 2, dy = to.y() / 2 - from.y() / 2;
    const double m = std::max(std::fabs(dx), std::fabs(dy));
    if (m > 0.0) dx /= m, dy /= m;
    double a = angle_between(Qe_Uvec(1.0, 0.0, 0.0), normalise(Qe_Vec(dx, dy, 0.0)), Qe_Uvec(0.0, 0.0, 1.0));
    if (std::fabs(a - TWO_PI) < 1e-6) a = 0.0;
    return a;
}

}  // namespace loop_search_detail

using loop_search_detail::relation_angle;
using loop_search_detail::starts_leftward;

// --- Relations and points --------------------------------------------------------------

Qe_Intersect_Relation::~Qe_Intersect_Relation() = default;

Qe_Intersect_Point::~Qe_Intersect_Point() { delete_relations(); }

void Qe_Intersect_Point::delete_relations()
{
    for (Qe_Void_Node* n = m_relations.head(); n; n = n->next()) delete static_cast<Qe_Intersect_Relation*>(n->entity());
    m_relations.clear();
}

// --- The search ------------------------------------------------------------------------

struct Qe_Search_Loops::Graph {
    unsigned id = 0;
    std::vector<Qe_Intersect_Point*> points;
    std::vector<std::vector<Qe_Intersect_Relation*>> relations;
    std::size_t relation_count = 0;

    bool holds(const Qe_Intersect_Point* p) const { return p && p->m_graph == id; }
};

Qe_Search_Loops::~Qe_Search_Loops()
{
    for (Qe_Segment* s : items_of<Qe_Segment>(m_segments)) delete s;
    m_segments.clear();
    delete_intersects();
    // The result loops belong to the caller.
    m_results.clear();
}

void Qe_Search_Loops::delete_intersects()
{
    for (Qe_Intersect_Point* p : items_of<Qe_Intersect_Point>(m_intersects)) delete p;
    m_intersects.clear();
}

int Qe_Search_Loops::init()
{
    remove_error_segment();
    bulid_intersect();
    del_invalid_intersect();
    create_intersect_relation();
    order_add_remove_error_intersect_points();
    return 1;
}

void Qe_Search_Loops::ptset2segments()
{
    for (Qe_Void_Node* n = m_input.head(); n; n = n->next()) {
        auto* set = static_cast<Qe_Pt_Set*>(n->entity());
        if (!set || !set->points()) continue;
        for (int i = 0; i + 1 < set->count(); ++i)
            m_segments.add(new Qe_Segment(set->points()[i], set->points()[i + 1], set));
    }
}

void Qe_Search_Loops::ptlist2segments()
{
    for (Qe_Void_Node* n = m_input.head(); n; n = n->next()) {
        auto* list = static_cast<Qe_Pt_List*>(n->entity());
        if (!list) continue;
        for (Qe_Pt_Node* p = list->head(); p && p->next(); p = p->next())
            m_segments.add(new Qe_Segment(*p, *p->next(), list));
    }
}

void Qe_Search_Loops::loop2segments()
{
    for (Qe_Void_Node* n = m_input.head(); n; n = n->next()) {
        auto* loop = static_cast<Qe_Loop*>(n->entity());
        if (!loop || loop->is_empty()) continue;
        const long count = loop->count();
        Qe_Loop_Node* v = loop->head();
        for (long i = 0; i < count; ++i, v = v->next())
            m_segments.add(new Qe_Segment(v->point(), v->next()->point(), loop));
    }
}

void Qe_Search_Loops::remove_error_segment()
{
    for (Qe_Void_Node* n = m_segments.head(); n;) {
        auto* s = static_cast<Qe_Segment*>(n->entity());
        if (s && finite(s->start()) && finite(s->end()) && !same_point(s->start(), s->end(), resabs)) {
            n = n->next();
            continue;
        }
        delete s;
        n = m_segments.remove_node(n);
    }
}

Qe_Intersect_Point* Qe_Search_Loops::segment_lines_insertion(Qe_Segment* s, Qe_Segment* t)
{
    if (!s || !t) return nullptr;
    Qe_Pt x;
    if (!two_segments_intersection(s->start(), s->end(), t->start(), t->end(), x)) return nullptr;
    auto* p = new Qe_Intersect_Point(x);
    p->segments().add(s);
    p->segments().add(t);
    return p;
}

void Qe_Search_Loops::bulid_intersect()
{
    delete_intersects();
    std::vector<Qe_Segment*> segs;
    for (Qe_Segment* s : items_of<Qe_Segment>(m_segments)) {
        s->intpos_list().clear();
        if (finite(s->start()) && finite(s->end())) segs.push_back(s);
    }
    // Segments meet only within their boxes grown by the tolerance of the end point test.
    const double grow = 2.0 * std::max(resabs, 0.0);
    std::vector<Box> boxes;
    boxes.reserve(segs.size());
    for (const Qe_Segment* s : segs) {
        const Qe_Pt &a = s->start(), &b = s->end();
        boxes.push_back({std::min(a.x(), b.x()) - grow, std::min(a.y(), b.y()) - grow, std::max(a.x(), b.x()) + grow,
                         std::max(a.y(), b.y()) + grow});
    }
    const std::vector<std::uint64_t> pairs = candidate_pairs(boxes);

    // Pairs are taken in the order of the segment list (each segment with every later
    // one), so points are made in the same order as by a plain double loop.
    std::vector<std::vector<Qe_Intersect_Point*>> on_segment(segs.size());
    Point_Index index(resabs);
    // Which segments each point lists already, by (point number, segment number): many
    // segments through one point would make a list search per pair cubic.
    std::unordered_map<const Qe_Intersect_Point*, std::uint64_t> point_number;
    std::unordered_set<std::uint64_t> listed;
    const auto list_once = [&](Qe_Intersect_Point* q, std::size_t seg) {
        if (listed.insert(point_number[q] * segs.size() + seg).second) q->segments().add(segs[seg]);
    };
    for (std::uint64_t pair : pairs) {
        const std::size_t i = static_cast<std::size_t>(pair >> 32), j = static_cast<std::size_t>(pair & 0xFFFFFFFFu);
        Qe_Segment* s = segs[i];
        Qe_Segment* t = segs[j];
        Qe_Pt x;
        if (!two_segments_intersection(s->start(), s->end(), t->start(), t->end(), x)) continue;
        const Qe_Pt at(x.x(), x.y(), 0.0);
        Qe_Intersect_Point* q = index.find(at, resabs);
        if (q) {
            list_once(q, i);
            list_once(q, j);
        } else {
            q = new Qe_Intersect_Point(at);
            point_number.emplace(q, point_number.size());
            list_once(q, i);
            list_once(q, j);
            m_intersects.add(q);
            index.add(q);
        }
        on_segment[i].push_back(q);
        on_segment[j].push_back(q);
    }

    // Order each segment's points along it; a point met twice is listed once, where it
    // was first inserted.
    std::vector<std::pair<double, Qe_Intersect_Point*>> keyed;
    for (std::size_t i = 0; i < segs.size(); ++i) {
        keyed.clear();
        for (Qe_Intersect_Point* q : on_segment[i]) keyed.emplace_back(segs[i]->order_parameter(q->point()), q);
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        Qe_Void_List& list = segs[i]->intpos_list();
        std::size_t run = 0;
        for (std::size_t k = 0; k < keyed.size(); ++k) {
            if (k > 0 && keyed[k].first != keyed[k - 1].first) run = k;
            bool seen = false;
            for (std::size_t m = run; m < k && !seen; ++m) seen = keyed[m].second == keyed[k].second;
            if (!seen) list.add(keyed[k].second);
        }
    }
}

void Qe_Search_Loops::del_invalid_intersect()
{
    const unsigned id = ++m_graph_id;
    std::vector<Qe_Intersect_Point*> pts = items_of<Qe_Intersect_Point>(m_intersects);
    for (std::size_t k = 0; k < pts.size(); ++k) {
        pts[k]->m_graph = id;
        pts[k]->m_index = static_cast<int>(k);
    }
    const std::vector<Qe_Segment*> segs = items_of<Qe_Segment>(m_segments);
    std::vector<std::vector<int>> on_segment(segs.size());
    std::vector<std::vector<int>> neighbours(pts.size());
    for (std::size_t i = 0; i < segs.size(); ++i) {
        for (Qe_Intersect_Point* q : items_of<Qe_Intersect_Point>(segs[i]->intpos_list()))
            if (q->m_graph == id) on_segment[i].push_back(q->m_index);
        const std::vector<int>& list = on_segment[i];
        for (std::size_t k = 1; k < list.size(); ++k) {
            neighbours[list[k - 1]].push_back(list[k]);
            neighbours[list[k]].push_back(list[k - 1]);
        }
    }
    // A point joined to at most one other point is a dangling end; taking it away can
    // leave its neighbour dangling in turn. Such a point ends every segment through it,
    // so removing it joins no other points.
    std::vector<std::size_t> degree(pts.size());
    std::vector<char> alive(pts.size(), 1);
    std::vector<int> queue;
    for (std::size_t k = 0; k < pts.size(); ++k) {
        std::vector<int>& nb = neighbours[k];
        std::sort(nb.begin(), nb.end());
        nb.erase(std::unique(nb.begin(), nb.end()), nb.end());
        degree[k] = nb.size();
        if (degree[k] <= 1) queue.push_back(static_cast<int>(k));
    }
    while (!queue.empty()) {
        const int u = queue.back();
        queue.pop_back();
        if (!alive[u]) continue;
        alive[u] = 0;
        for (int v : neighbours[u])
            if (alive[v] && --degree[v] <= 1) queue.push_back(v);
    }
    for (std::vector<int>& list : on_segment) {
        std::erase_if(list, [&](int k) { return !alive[k]; });
        // A segment that touches the rest at one point bounds nothing.
        if (list.size() == 1) list.clear();
    }
    // A point left inside a single segment is no corner of any loop.
    std::vector<int> segment_count(pts.size(), 0);
    for (const std::vector<int>& list : on_segment)
        for (int k : list) ++segment_count[k];
    for (std::vector<int>& list : on_segment) {
        for (std::size_t m = 1; m + 1 < list.size();) {
            if (segment_count[list[m]] == 1) {
                alive[list[m]] = 0;
                list.erase(list.begin() + static_cast<std::ptrdiff_t>(m));
            } else {
                ++m;
            }
        }
    }
    for (std::size_t k = 0; k < pts.size(); ++k)
        if (alive[k] && segment_count[k] == 0) alive[k] = 0;

    // Write the pruned graph back: the segments' lists, the points' segment lists (in
    // their earlier order) and the intersection list.
    std::vector<std::vector<Qe_Segment*>> through(pts.size());
    for (std::size_t i = 0; i < segs.size(); ++i) {
        Qe_Void_List& list = segs[i]->intpos_list();
        list.clear();
        for (int k : on_segment[i]) {
            list.add(pts[k]);
            through[k].push_back(segs[i]);
        }
    }
    std::vector<Qe_Intersect_Point*> kept;
    for (std::size_t k = 0; k < pts.size(); ++k) {
        if (!alive[k]) {
            delete pts[k];
            continue;
        }
        std::vector<Qe_Segment*> order;
        for (Qe_Segment* s : items_of<Qe_Segment>(pts[k]->segments()))
            if (std::find(through[k].begin(), through[k].end(), s) != through[k].end() &&
                std::find(order.begin(), order.end(), s) == order.end())
                order.push_back(s);
        for (Qe_Segment* s : through[k])
            if (std::find(order.begin(), order.end(), s) == order.end()) order.push_back(s);
        refill(pts[k]->segments(), order);
        kept.push_back(pts[k]);
    }
    refill(m_intersects, kept);
}

void Qe_Search_Loops::create_intersect_relation()
{
    const unsigned id = ++m_graph_id;
    const std::vector<Qe_Intersect_Point*> pts = items_of<Qe_Intersect_Point>(m_intersects);
    for (std::size_t k = 0; k < pts.size(); ++k) {
        pts[k]->m_graph = id;
        pts[k]->m_index = static_cast<int>(k);
        pts[k]->delete_relations();
    }
    // Where each point stands on each segment through it (its first place), found once.
    struct Place {
        const Qe_Segment* segment;
        Qe_Intersect_Point* before;
        Qe_Intersect_Point* after;
    };
    std::vector<std::vector<Place>> places(pts.size());
    for (const Qe_Segment* s : items_of<Qe_Segment>(m_segments)) {
        const std::vector<Qe_Intersect_Point*> list = items_of<Qe_Intersect_Point>(s->intpos_list());
        for (std::size_t m = 0; m < list.size(); ++m) {
            Qe_Intersect_Point* p = list[m];
            if (p->m_graph != id) continue;
            std::vector<Place>& at = places[static_cast<std::size_t>(p->m_index)];
            if (std::any_of(at.begin(), at.end(), [&](const Place& pl) { return pl.segment == s; })) continue;
            Qe_Intersect_Point* before = m > 0 ? list[m - 1] : nullptr;
            Qe_Intersect_Point* after = m + 1 < list.size() ? list[m + 1] : nullptr;
            if (before && before->m_graph != id) before = nullptr;
            if (after && after->m_graph != id) after = nullptr;
            at.push_back({s, before, after});
        }
    }
    for (Qe_Intersect_Point* p : pts) {
        const std::vector<Place>& at = places[static_cast<std::size_t>(p->m_index)];
        for (Qe_Void_Node* n = p->segments().head(); n; n = n->next()) {
            auto it = std::find_if(at.begin(), at.end(), [&](const Place& pl) { return pl.segment == n->entity(); });
            if (it == at.end()) continue;
            for (Qe_Intersect_Point* q : {it->before, it->after})
                if (q && q != p) insert_relation(p, new Qe_Intersect_Relation(p, q, relation_angle(p->point(), q->point())));
        }
    }
}

void Qe_Search_Loops::order_add_remove_error_intersect_points()
{
    std::vector<Qe_Intersect_Point*> pts = items_of<Qe_Intersect_Point>(m_intersects);
    std::stable_sort(pts.begin(), pts.end(), [](const Qe_Intersect_Point* a, const Qe_Intersect_Point* b) {
        const Qe_Pt &p = a->point(), &q = b->point();
        return p.x() > q.x() || (p.x() == q.x() && p.y() > q.y());
    });
    for (Qe_Intersect_Point* p : pts) {
        // The outward relation of a rightmost point is the largest leftward one whose
        // smaller neighbour is leftward too; it would trace the outside of the figure.
        const std::vector<Qe_Intersect_Relation*> rels = items_of<Qe_Intersect_Relation>(p->relations());
        for (std::size_t k = rels.size(); k-- > 0;) {
            if (starts_leftward(rels[k]->angle()) && (k == 0 || starts_leftward(rels[k - 1]->angle()))) {
                rels[k]->state(-1);
                break;
            }
        }
    }
    refill(m_intersects, pts);
}

void Qe_Search_Loops::search_min_loops() { search_loops(true); }
void Qe_Search_Loops::search_max_loops() { search_loops(false); }

void Qe_Search_Loops::search_loops(bool minimal)
{
    Graph g;
    g.id = ++m_graph_id;
    g.points = items_of<Qe_Intersect_Point>(m_intersects);
    g.relations.resize(g.points.size());
    for (std::size_t k = 0; k < g.points.size(); ++k) {
        Qe_Intersect_Point* p = g.points[k];
        p->m_graph = g.id;
        p->m_index = static_cast<int>(k);
        p->m_walk = 0;
        g.relations[k] = items_of<Qe_Intersect_Relation>(p->relations());
        g.relation_count += g.relations[k].size();
        for (Qe_Intersect_Relation* r : g.relations[k]) {
            r->m_reverse = -1;
            r->m_orbit = 0;
        }
    }
    // Each relation learns where its reverse stands among its end's relations.
    for (std::size_t k = 0; k < g.points.size(); ++k) {
        const std::vector<Qe_Intersect_Relation*>& out = g.relations[k];
        for (std::size_t j = 0; j < out.size(); ++j) {
            const Qe_Intersect_Point* x = out[j]->to();
            if (!g.holds(x)) continue;
            for (Qe_Intersect_Relation* r : g.relations[static_cast<std::size_t>(x->m_index)]) {
                if (r->to() == g.points[k]) {
                    r->m_reverse = static_cast<int>(j);
                    break;
                }
            }
        }
    }
    m_walk_id = 0;
    for (std::size_t k = 0; k < g.points.size(); ++k)
        for (Qe_Intersect_Relation* r : g.relations[k])
            if (r->m_orbit != g.id) trace(g, r, minimal);
    m_current_points.clear();
    m_current_relations.clear();
}

namespace {

Qe_Loop* loop_of(const std::vector<Qe_Intersect_Point*>& pts, std::size_t first, std::size_t end)
{
    return loop_search_detail::loop_of([&](std::size_t k) -> const Qe_Pt& { return pts[k]->point(); }, first, end);
}

long double ring_area(const std::vector<Qe_Intersect_Point*>& pts, std::size_t first, std::size_t end)
{
    return loop_search_detail::ring_area([&](std::size_t k) -> const Qe_Pt& { return pts[k]->point(); }, first, end);
}

}  // namespace

// Turning at every point to the next smaller angle (minimal) or the next larger one
// (maximal) is a permutation of the relations; its cycles are the boundaries of the
// regions on the left (minimal) or the outlines on the right (maximal). Each cycle is
// walked once, so the search is linear in the relations and a walk can take no more
// steps than there are relations; a walk that reaches a point without a way back ends.
//
// A loop starts where a search from the rightmost points would have started it: at the
// first relation, in the order of the points and their relations, that points to the
// left, is not barred and leaves a point that no point of the cycle lies right of.
void Qe_Search_Loops::trace(Graph& g, Qe_Intersect_Relation* first, bool minimal)
{
    std::vector<Qe_Intersect_Relation*>& cycle = m_current_relations;
    cycle.clear();
    bool closed = false, used = false;
    for (Qe_Intersect_Relation* r = first; cycle.size() <= g.relation_count;) {
        r->m_orbit = g.id;
        cycle.push_back(r);
        used = used || r->state() == 1;
        const Qe_Intersect_Point* q = r->to();
        if (!g.holds(q) || r->m_reverse < 0) break;
        const std::vector<Qe_Intersect_Relation*>& at = g.relations[static_cast<std::size_t>(q->m_index)];
        const std::size_t rev = static_cast<std::size_t>(r->m_reverse);
        if (minimal)
            r = at[rev == 0 ? at.size() - 1 : rev - 1];
        else
            r = at[rev + 1 == at.size() ? 0 : rev + 1];
        if (r == first) {
            closed = true;
            break;
        }
        if (r->m_orbit == g.id) break;
    }
    if (!closed || used || cycle.size() < 3) return;

    const std::size_t start = loop_search_detail::loop_start(
        cycle.size(), [&](std::size_t k) { return cycle[k]->from()->point().x(); },
        [&](std::size_t k) { return starts_leftward(cycle[k]->angle()) && cycle[k]->state() != -1; },
        [&](std::size_t a, std::size_t b) {
            const Qe_Intersect_Point *p = cycle[a]->from(), *q = cycle[b]->from();
            return p->m_index != q->m_index ? p->m_index < q->m_index : cycle[a]->angle() < cycle[b]->angle();
        });
    std::rotate(cycle.begin(), cycle.begin() + static_cast<std::ptrdiff_t>(start), cycle.end());
    std::vector<Qe_Intersect_Point*>& pts = m_current_points;
    pts.clear();
    for (const Qe_Intersect_Relation* r : cycle) pts.push_back(r->from());

    const unsigned walk = ++m_walk_id;
    if (!minimal) {
        // An outline that comes back to a point before closing touches itself there and
        // is no simple outline; a clockwise one is the inside of a region.
        for (Qe_Intersect_Point* p : pts) {
            if (p->m_walk == walk) return;
            p->m_walk = walk;
        }
        if (!(ring_area(pts, 0, pts.size()) > 0.0)) return;
        if (Qe_Loop* loop = loop_of(pts, 0, pts.size())) {
            m_results.add(loop);
            m_result_starts.push_back(first->from()->point());
            for (const Qe_Intersect_Point* p : pts)
                for (Qe_Intersect_Relation* r : g.relations[static_cast<std::size_t>(p->m_index)]) r->state(1);
        }
        return;
    }

    // A boundary that touches itself (a hole joined to the outline by a bridge, or
    // touching it at a vertex) passes some points twice; cut there into simple cycles,
    // its counter-clockwise cycle of largest area is the region's outline. Clockwise
    // cycles are holes or the outside of a figure.
    pts.push_back(pts.front());
    std::vector<Qe_Intersect_Point*> stack;
    std::vector<Qe_Intersect_Point*> best;
    long double best_area = 0.0L;
    for (Qe_Intersect_Point* p : pts) {
        if (p->m_walk != walk) {
            p->m_walk = walk;
            p->m_walk_pos = static_cast<int>(stack.size());
            stack.push_back(p);
            continue;
        }
        const std::size_t from = static_cast<std::size_t>(p->m_walk_pos);
        if (stack.size() - from >= 3) {
            const long double area = ring_area(stack, from, stack.size());
            if (area > best_area) {
                best_area = area;
                best.assign(stack.begin() + static_cast<std::ptrdiff_t>(from), stack.end());
            }
        }
        for (std::size_t k = from + 1; k < stack.size(); ++k) stack[k]->m_walk = 0;
        stack.resize(from + 1);
    }
    if (best.empty()) return;
    if (Qe_Loop* loop = loop_of(best, 0, best.size())) {
        m_results.add(loop);
        m_result_starts.push_back(first->from()->point());
        for (Qe_Intersect_Relation* r : cycle) r->state(1);
    }
}

void Qe_Search_Loops::order_result_list()
{
    std::vector<Qe_Loop*> loops = items_of<Qe_Loop>(m_results);
    const bool starts = m_result_starts.size() == loops.size();
    struct Keyed {
        double x;
        Qe_Loop* loop;
        Qe_Pt start;
    };
    std::vector<Keyed> keyed;
    for (std::size_t k = 0; k < loops.size(); ++k) {
        Qe_Loop* loop = loops[k];
        loop->build_rect();
        keyed.push_back({loop->rect() ? loop->rect()->center().x() : 0.0, loop, starts ? m_result_starts[k] : Qe_Pt()});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.x < b.x; });
    m_results.clear();
    m_result_starts.clear();
    for (const Keyed& k : keyed) {
        m_results.add(k.loop);
        if (starts) m_result_starts.push_back(k.start);
    }
}

bool Qe_Search_Loops::save_segments(Qe_File& file)
{
    bool ok = file.write_current_time();
    for (Qe_Segment* s : items_of<Qe_Segment>(m_segments)) ok = s->save(file) && ok;
    return ok;
}
