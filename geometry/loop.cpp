#include "geometry/loop.h"

#include <algorithm>
#include <vector>

#include "geometry/loop_search.h"
#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/segment_predicates.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"

// --- Qe_Loop_Node ----------------------------------------------------------------------

Qe_Loop_Node::~Qe_Loop_Node() = default;

void Qe_Loop_Node::insert_before(const Qe_Pt& p, int tag)
{
    auto* n = new Qe_Loop_Node(p);
    n->m_tag = tag;
    Qe_Loop_Node* before = m_prev ? m_prev : this;
    n->m_prev = before;
    n->m_next = this;
    before->m_next = n;
    m_prev = n;
}

void Qe_Loop_Node::insert_after(const Qe_Pt& p, int tag)
{
    // After this node is before its successor; a lone node is its own successor.
    (m_next ? m_next : this)->insert_before(p, tag);
}

// --- Qe_Loop ---------------------------------------------------------------------------

Qe_Loop::Qe_Loop(const Qe_Pt* pts, int count)
{
    if (!pts) return;
    for (int i = 0; i < count; ++i) add(pts[i]);
}

Qe_Loop::Qe_Loop(const Qe_Loop& other) : Qe_Edge(other), m_closed(other.m_closed)
{
    if (other.m_rect) m_rect = std::make_unique<Qe_Rect>(*other.m_rect);
    const long n = other.count();
    Qe_Loop_Node* v = other.m_head;
    for (long i = 0; i < n; ++i, v = v->next()) add(v->point());
}

Qe_Loop& Qe_Loop::operator=(const Qe_Loop& other)
{
    if (this == &other) return *this;
    Qe_Loop copy(other);
    kill_all();
    Qe_Edge::operator=(other);
    std::swap(m_head, copy.m_head);
    std::swap(m_rect, copy.m_rect);
    m_closed = other.m_closed;
    return *this;
}

Qe_Loop::~Qe_Loop() { kill_all(); }

void Qe_Loop::add(const Qe_Pt& p)
{
    if (m_head && (same_point(p, m_head->point(), resabs) || same_point(p, m_head->prev()->point(), resabs))) return;
    add(new Qe_Loop_Node(p));
}

void Qe_Loop::add(Qe_Loop_Node* node)
{
    if (!node) return;
    if (!m_head) {
        node->next(node);
        node->prev(node);
        m_head = node;
        return;
    }
    Qe_Loop_Node* last = m_head->prev();
    node->prev(last);
    node->next(m_head);
    last->next(node);
    m_head->prev(node);
}

void Qe_Loop::insert(Qe_Loop_Node* node, Qe_Loop_Node* pos)
{
    if (!node) return;
    if (!pos || !m_head) {
        add(node);
        return;
    }
    Qe_Loop_Node* before = pos->prev();
    node->prev(before);
    node->next(pos);
    before->next(node);
    pos->prev(node);
    if (pos == m_head) m_head = node;
}

long Qe_Loop::count() const
{
    if (!m_head) return 0;
    long n = 1;
    for (const Qe_Loop_Node* v = m_head->next(); v && v != m_head; v = v->next()) ++n;
    return n;
}

void Qe_Loop::kill_head()
{
    if (!m_head) return;
    Qe_Loop_Node* old = m_head;
    if (old->next() == old) {
        m_head = nullptr;
    } else {
        old->prev()->next(old->next());
        old->next()->prev(old->prev());
        m_head = old->next();
    }
    delete old;
}

void Qe_Loop::kill_all()
{
    if (!m_head) return;
    // Open the ring, then delete along it.
    m_head->prev()->next(nullptr);
    for (Qe_Loop_Node* v = m_head; v;) {
        Qe_Loop_Node* next = v->next();
        delete v;
        v = next;
    }
    m_head = nullptr;
}

std::unique_ptr<Qe_Pt[]> Qe_Loop::points(bool close_ring, int& n) const
{
    const long count = this->count();
    n = static_cast<int>(count) + (close_ring && count > 0 ? 1 : 0);
    auto pts = std::make_unique<Qe_Pt[]>(static_cast<std::size_t>(n > 0 ? n : 1));
    const Qe_Loop_Node* v = m_head;
    for (long i = 0; i < count; ++i, v = v->next()) pts[static_cast<std::size_t>(i)] = v->point();
    if (close_ring && count > 0) pts[static_cast<std::size_t>(count)] = pts[0];
    return pts;
}

bool Qe_Loop::get_rect_pos(Qe_Pt& lt, Qe_Pt& rb) const
{
    if (!m_head) return false;
    double x0 = m_head->point().x(), x1 = x0, y0 = m_head->point().y(), y1 = y0;
    for (const Qe_Loop_Node* v = m_head->next(); v != m_head; v = v->next()) {
        x0 = std::min(x0, v->point().x());
        x1 = std::max(x1, v->point().x());
        y0 = std::min(y0, v->point().y());
        y1 = std::max(y1, v->point().y());
    }
    lt = Qe_Pt(x0, y1, 0.0);
    rb = Qe_Pt(x1, y0, 0.0);
    return true;
}

void Qe_Loop::build_rect()
{
    m_rect.reset();
    Qe_Pt lt, rb;
    if (get_rect_pos(lt, rb)) m_rect = std::make_unique<Qe_Rect>(lt, rb);
}

double Qe_Loop::length()
{
    int n = 0;
    const auto pts = points(true, n);
    return cal_perimeter(pts.get(), n);
}

double Qe_Loop::area()
{
    int n = 0;
    const auto pts = points(true, n);
    return cal_pts_area(pts.get(), n);
}

void Qe_Loop::translate(const Qe_Tran& t)
{
    const long n = count();
    Qe_Loop_Node* v = m_head;
    for (long i = 0; i < n; ++i, v = v->next()) v->point(v->point() * t);
    if (m_rect) build_rect();
}

int Qe_Loop::is_pt_in_loop(const Qe_Pt& p) const
{
    if (!m_head) return 0;
    int n = 0;
    const auto ring = points(true, n);
    Qe_Pt lt, rb;
    get_rect_pos(lt, rb);
    if (p.x() < lt.x() || p.x() > rb.x() || p.y() < rb.y() || p.y() > lt.y()) return 0;
    if (is_pos_on_region(p, ring.get(), n)) return 2;
    return is_pos_in_region(p, ring.get(), n) ? 1 : 0;
}

int Qe_Loop::is_in_loop(const Qe_Loop& other) const
{
    if (!m_head) return 0;
    const long n = count();
    const Qe_Loop_Node* v = m_head;
    for (long i = 0; i < n; ++i, v = v->next()) {
        const Qe_Pt mid = v->point() + (v->next()->point() - v->point()) / 2.0;
        if (other.is_pt_in_loop(mid) == 0) return 0;
    }
    return 1;
}

namespace {

// Boxes apart on any side; boxes that touch are not apart, so touching loops go on to
// the exact tests from either side.
bool boxes_apart(const Qe_Loop& a, const Qe_Loop& b)
{
    Qe_Pt alt, arb, blt, brb;
    if (!a.get_rect_pos(alt, arb) || !b.get_rect_pos(blt, brb)) return true;
    return arb.x() < blt.x() || brb.x() < alt.x() || alt.y() < brb.y() || blt.y() < arb.y();
}

// Every vertex of inner inside or on outer.
bool vertices_within(const Qe_Loop& inner, const Qe_Loop& outer)
{
    const long n = inner.count();
    const Qe_Loop_Node* v = inner.head();
    for (long i = 0; i < n; ++i, v = v->next())
        if (outer.is_pt_in_loop(v->point()) == 0) return false;
    return true;
}

bool rect_within(const Qe_Loop& inner, const Qe_Loop& outer)
{
    Qe_Pt ilt, irb, olt, orb;
    if (!inner.get_rect_pos(ilt, irb) || !outer.get_rect_pos(olt, orb)) return false;
    return irb.x() <= orb.x() && olt.x() <= ilt.x() && orb.y() <= irb.y() && ilt.y() <= olt.y();
}

// Runs a loop search over the search's filled input and hands back its result loops.
std::vector<Qe_Loop*> search(Qe_Search_Loops& s, bool loops_input, bool minimal)
{
    if (loops_input)
        s.loop2segments();
    else
        s.ptlist2segments();
    s.init();
    if (minimal)
        s.search_min_loops();
    else
        s.search_max_loops();
    std::vector<Qe_Loop*> out;
    for (Qe_Void_Node* n = s.result_list().head(); n; n = n->next()) out.push_back(static_cast<Qe_Loop*>(n->entity()));
    s.result_list().clear();
    return out;
}

void delete_loops(const std::vector<Qe_Loop*>& loops)
{
    for (Qe_Loop* l : loops) delete l;
}

// A crossing found on one edge of a loop copy, at parameter t along it.
struct Crossing {
    double t;
    Qe_Pt p;
};

// Marks the crossings of one original edge (from v to v->next()) on the copy: a crossing
// at an end vertex tags that vertex, others become new tagged vertices in edge order.
void place_crossings(Qe_Loop_Node* v, std::vector<Crossing>& found)
{
    std::stable_sort(found.begin(), found.end(), [](const Crossing& a, const Crossing& b) { return a.t < b.t; });
    Qe_Loop_Node* end = v->next();
    const Qe_Pt start_pt = v->point(), end_pt = end->point();
    Qe_Pt last;
    bool have_last = false;
    for (const Crossing& c : found) {
        if (have_last && same_point(c.p, last, resabs)) continue;
        last = c.p;
        have_last = true;
        if (same_point(c.p, start_pt, resabs)) {
            v->tag(1);
        } else if (same_point(c.p, end_pt, resabs)) {
            end->tag(1);
        } else {
            end->insert_before(c.p, 1);
        }
    }
}

// Splits the tagged loop into runs from one tagged vertex to the next.
std::vector<Qe_Pt_List> split_runs(const Qe_Loop& loop)
{
    std::vector<Qe_Pt_List> runs;
    const long n = loop.count();
    Qe_Loop_Node* first = loop.head();
    long k = 0;
    while (k < n && first->tag() != 1) {
        first = first->next();
        ++k;
    }
    if (k == n) return runs;
    Qe_Loop_Node* v = first;
    do {
        Qe_Pt_List run;
        run.add(v->point());
        Qe_Loop_Node* w = v->next();
        for (long guard = 0; guard < n; ++guard, w = w->next()) {
            run.add(w->point());
            if (w->tag() == 1) break;
        }
        runs.push_back(std::move(run));
        v = w;
    } while (v != first);
    return runs;
}

// A run lies inside or on the other loop when the middle of its first edge does; no
// crossing lies strictly inside a run's edges.
bool run_within(const Qe_Pt_List& run, const Qe_Loop& other)
{
    const Qe_Pt_Node* a = run.head();
    if (!a || !a->next()) return false;
    const Qe_Pt mid = *a + (*a->next() - *a) / 2.0;
    return other.is_pt_in_loop(mid) != 0;
}

double edge_parameter(const Qe_Pt& a, const Qe_Pt& b, const Qe_Pt& p)
{
    const Qe_Vec d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    return len2 > 0.0 ? ((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2 : 0.0;
}

}  // namespace

bool Qe_Loop::is_intersection(const Qe_Loop& other) const
{
    if (boxes_apart(*this, other)) return false;
    const long n = count(), m = other.count();
    const Qe_Loop_Node* v = other.head();
    for (long i = 0; i < m; ++i, v = v->next())
        if (is_pt_in_loop(v->point()) == 1) return true;
    v = m_head;
    for (long i = 0; i < n; ++i, v = v->next())
        if (other.is_pt_in_loop(v->point()) == 1) return true;
    v = m_head;
    for (long i = 0; i < n; ++i, v = v->next()) {
        const Qe_Loop_Node* w = other.head();
        for (long j = 0; j < m; ++j, w = w->next()) {
            Qe_Pt x;
            if (two_segments_intersection(v->prev()->point(), v->point(), w->prev()->point(), w->point(), x)) return true;
        }
    }
    return false;
}

int Qe_Loop::intersection(const Qe_Loop& other, Qe_Void_List& out) const
{
    if (boxes_apart(*this, other)) return 0;
    if (rect_within(other, *this) && vertices_within(other, *this)) return 1;
    if (rect_within(*this, other) && vertices_within(*this, other)) return 2;

    // The edges as they are before any insertion, with the crossings found on each.
    Qe_Loop a(*this), b(other);
    a.closed(true);
    b.closed(true);
    std::vector<Qe_Loop_Node*> a_edges, b_edges;
    for (long i = 0, n = a.count(); i < n; ++i) a_edges.push_back(i ? a_edges.back()->next() : a.head());
    for (long i = 0, n = b.count(); i < n; ++i) b_edges.push_back(i ? b_edges.back()->next() : b.head());
    std::vector<std::vector<Crossing>> on_a(a_edges.size()), on_b(b_edges.size());
    bool any = false;
    for (std::size_t i = 0; i < a_edges.size(); ++i) {
        const Qe_Pt a0 = a_edges[i]->point(), a1 = a_edges[i]->next()->point();
        for (std::size_t j = 0; j < b_edges.size(); ++j) {
            const Qe_Pt b0 = b_edges[j]->point(), b1 = b_edges[j]->next()->point();
            Qe_Pt x;
            if (!two_segments_intersection(a0, a1, b0, b1, x)) continue;
            x = Qe_Pt(x.x(), x.y(), 0.0);
            on_a[i].push_back({edge_parameter(a0, a1, x), x});
            on_b[j].push_back({edge_parameter(b0, b1, x), x});
            any = true;
        }
    }
    if (!any) return 0;
    for (std::size_t i = 0; i < a_edges.size(); ++i) place_crossings(a_edges[i], on_a[i]);
    for (std::size_t j = 0; j < b_edges.size(); ++j) place_crossings(b_edges[j], on_b[j]);

    std::vector<Qe_Pt_List> kept;
    for (Qe_Pt_List& run : split_runs(a))
        if (run_within(run, other)) kept.push_back(std::move(run));
    for (Qe_Pt_List& run : split_runs(b))
        if (run_within(run, *this)) kept.push_back(std::move(run));
    Qe_Search_Loops s;
    for (Qe_Pt_List& run : kept) s.input_list().add(&run);
    for (Qe_Loop* loop : search(s, false, true)) out.add(loop);
    return 3;
}

Qe_Loop* Qe_Loop::create_union_loop(const Qe_Loop& other) const
{
    Qe_Search_Loops s;
    s.input_list().add(const_cast<Qe_Loop*>(&other));
    s.input_list().add(const_cast<Qe_Loop*>(this));
    const std::vector<Qe_Loop*> found = search(s, true, false);
    Qe_Loop* result = found.empty() ? nullptr : new Qe_Loop(*found.front());
    delete_loops(found);
    return result;
}

Qe_Loop* Qe_Loop::cut_by_loop(const Qe_Loop& other) const
{
    const Qe_Loop cutter(other);
    Qe_Search_Loops s;
    s.input_list().add(const_cast<Qe_Loop*>(&cutter));
    s.input_list().add(const_cast<Qe_Loop*>(this));
    const std::vector<Qe_Loop*> found = search(s, true, true);
    Qe_Loop* result = nullptr;
    for (Qe_Loop* r : found) {
        if (r->is_in_loop(*this) != 0 && r->is_in_loop(cutter) == 0) {
            result = new Qe_Loop(*r);
            break;
        }
    }
    delete_loops(found);
    return result;
}

bool Qe_Loop::interact(const Qe_Pt* pts, int n, Qe_Pt_List& out, bool closed) const
{
    int size = 0;
    const auto ring = points(closed, size);
    api_mb_lines_intersection(pts, n, ring.get(), size, out);
    return true;
}

bool Qe_Loop::offset(double distance, Qe_Loop& out) const
{
    if (!m_head) return false;
    int n = 0;
    const auto ring = points(true, n);
    std::vector<Qe_Pt> result(static_cast<std::size_t>(n));
    int result_count = 0;
    api_mb_offset_pts(ring.get(), n, result.data(), result_count, distance);
    if (result_count <= 2) return false;
    for (int i = 0; i < result_count; ++i) out.add(result[static_cast<std::size_t>(i)]);
    return true;
}

// --- Qe_Region and the joint rectangle -------------------------------------------------

Qe_Region::~Qe_Region() = default;

bool api_mb_get_loops_rect_pos(const Qe_Void_List& loops, Qe_Pt& lt, Qe_Pt& rb)
{
    bool any = false;
    Qe_Pt l, r;
    for (Qe_Void_Node* n = loops.head(); n; n = n->next()) {
        const auto* loop = static_cast<const Qe_Loop*>(n->entity());
        Qe_Pt a, b;
        if (!loop || !loop->get_rect_pos(a, b)) continue;
        if (!any) {
            l = a;
            r = b;
            any = true;
            continue;
        }
        l = Qe_Pt(std::min(l.x(), a.x()), std::max(l.y(), a.y()), 0.0);
        r = Qe_Pt(std::max(r.x(), b.x()), std::min(r.y(), b.y()), 0.0);
    }
    if (!any) return false;
    lt = l;
    rb = r;
    return true;
}
