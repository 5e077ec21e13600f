#include "geometry/pt_list.h"

#include <memory>
#include <new>

#include "geometry/plane_geometry.h"
#include "geometry/pt_set.h"
#include "geometry/segment_predicates.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"

Qe_Pt_Node::~Qe_Pt_Node() = default;

Qe_Pt_List::Qe_Pt_List(const Qe_Pt_List& other) { add_list0(other); }

Qe_Pt_List& Qe_Pt_List::operator=(const Qe_Pt_List& other)
{
    if (this != &other) {
        long n = 0;
        std::unique_ptr<Qe_Pt[]> pts(other.copy_points(n));
        rebuild(pts.get(), n);
    }
    return *this;
}

Qe_Pt_List::~Qe_Pt_List() { kill_all(); }

void Qe_Pt_List::kill_all()
{
    Qe_Pt_Node* node = m_head;
    while (node) {
        Qe_Pt_Node* next = node->next();
        delete node;
        node = next;
    }
    m_head = m_tail = nullptr;
}

long Qe_Pt_List::count() const
{
    long n = 0;
    for (const Qe_Pt_Node* node = m_head; node; node = node->next()) ++n;
    return n;
}

Qe_Pt_Node* Qe_Pt_List::get(int i) const
{
    if (i < 0) return nullptr;
    Qe_Pt_Node* node = m_head;
    for (; node && i > 0; --i) node = node->next();
    return node;
}

Qe_Pt_Node* Qe_Pt_List::find_flag(int f) const
{
    for (Qe_Pt_Node* node = m_head; node; node = node->next())
        if (node->flag() == f) return node;
    return nullptr;
}

void Qe_Pt_List::add_tail(const Qe_Pt& p) { add_tail(new (std::nothrow) Qe_Pt_Node(p)); }

void Qe_Pt_List::add_tail(Qe_Pt_Node* node)
{
    if (!node) return;
    node->set_next(nullptr);
    node->set_prev(m_tail);
    if (m_tail)
        m_tail->set_next(node);
    else
        m_head = node;
    m_tail = node;
}

void Qe_Pt_List::add_if_absent(const Qe_Pt& p)
{
    for (const Qe_Pt_Node* node = m_head; node; node = node->next())
        if (same_point(*node, p, resabs)) return;
    add_tail(p);
}

void Qe_Pt_List::add_compare_last(const Qe_Pt& p)
{
    if (m_tail && same_point(*m_tail, p, resabs)) return;
    add_tail(p);
}

// The list operations take a snapshot of the other list first, so that a list may be
// passed to its own operations without walking into the nodes being appended.
void Qe_Pt_List::add_list(const Qe_Pt_List& other)
{
    long n = 0;
    std::unique_ptr<Qe_Pt[]> pts(other.copy_points(n));
    for (long i = 0; i < n; ++i) add_if_absent(pts[i]);
}

void Qe_Pt_List::add_list0(const Qe_Pt_List& other)
{
    long n = 0;
    std::unique_ptr<Qe_Pt[]> pts(other.copy_points(n));
    for (long i = 0; i < n; ++i) add_tail(pts[i]);
}

void Qe_Pt_List::add_ptset(const Qe_Pt_Set& set)
{
    const Qe_Pt* pts = set.points();
    for (int i = 0; pts && i < set.count(); ++i) add_if_absent(pts[i]);
}

bool Qe_Pt_List::merge_list(Qe_Pt_List& other)
{
    if (is_empty()) return false;
    if (other.is_empty()) return true;
    const bool self = &other == this;
    const Qe_Pt h = *m_head, t = *m_tail, oh = *other.m_head, ot = *other.m_tail;
    bool reverse_this = false, reverse_other = false;
    if (same_point(h, oh, resabs)) {
        reverse_this = true;
    } else if (same_point(h, ot, resabs)) {
        reverse_this = reverse_other = true;
    } else if (same_point(t, oh, resabs)) {
    } else if (same_point(t, ot, resabs)) {
        reverse_other = true;
    } else {
        return false;
    }
    long n = 0;
    std::unique_ptr<Qe_Pt[]> pts(other.copy_points(n));
    if (reverse_other) {
        api_mb_reverse_pts(pts.get(), static_cast<int>(n));
        if (!self) other.rebuild(pts.get(), n);
    }
    if (reverse_this) reverse();
    for (long i = 0; i < n; ++i) add_tail(pts[i]);
    return true;
}

void Qe_Pt_List::insert(const Qe_Pt& p, int i)
{
    Qe_Pt_Node* at = get(i);
    if (!at) return;
    Qe_Pt_Node* node = new (std::nothrow) Qe_Pt_Node(p);
    if (!node) return;
    node->set_prev(at->prev());
    node->set_next(at);
    if (at->prev())
        at->prev()->set_next(node);
    else
        m_head = node;
    at->set_prev(node);
}

bool Qe_Pt_List::insert_merge_Pt(const Qe_Pt& p, int flag)
{
    for (Qe_Pt_Node* a = m_head; a && a->next(); a = a->next()) {
        Qe_Pt_Node* b = a->next();
        if (!is_on_segment(p, *a, *b)) continue;
        Qe_Pt_Node* node = new (std::nothrow) Qe_Pt_Node(p);
        if (!node) return true;
        node->flag(flag);
        node->set_prev(a);
        node->set_next(b);
        a->set_next(node);
        b->set_prev(node);
        return true;
    }
    return true;
}

void Qe_Pt_List::filter_same_points()
{
    long n = 0;
    std::unique_ptr<Qe_Pt[]> pts(copy_points(n));
    long kept = 0;
    for (long i = 0; i < n; ++i)
        if (kept == 0 || !same_point(pts[kept - 1], pts[i], resabs)) pts[kept++] = pts[i];
    rebuild(pts.get(), kept);
}

void Qe_Pt_List::reverse()
{
    long n = 0;
    std::unique_ptr<Qe_Pt[]> pts(copy_points(n));
    api_mb_reverse_pts(pts.get(), static_cast<int>(n));
    rebuild(pts.get(), n);
}

void Qe_Pt_List::translate(const Qe_Tran& t)
{
    for (Qe_Pt_Node* node = m_head; node; node = node->next()) *node *= t;
}

double Qe_Pt_List::length() const
{
    long n = 0;
    std::unique_ptr<Qe_Pt[]> pts(copy_points(n));
    return cal_perimeter(pts.get(), static_cast<int>(n));
}

double Qe_Pt_List::area() const
{
    long n = 0;
    std::unique_ptr<Qe_Pt[]> pts(copy_points(n));
    return cal_pts_area(pts.get(), static_cast<int>(n));
}

void Qe_Pt_List::kill_head()
{
    if (m_head) kill_node(m_head);
}

void Qe_Pt_List::kill_tail()
{
    if (m_tail) kill_node(m_tail);
}

void Qe_Pt_List::kill_node(Qe_Pt_Node* node)
{
    if (!node) return;
    // Unlinking a node of another list would corrupt both lists.
    const Qe_Pt_Node* it = m_head;
    while (it && it != node) it = it->next();
    if (!it) return;
    if (node->prev())
        node->prev()->set_next(node->next());
    else
        m_head = node->next();
    if (node->next())
        node->next()->set_prev(node->prev());
    else
        m_tail = node->prev();
    delete node;
}

void Qe_Pt_List::rebuild(const Qe_Pt* pts, long n)
{
    kill_all();
    for (long i = 0; pts && i < n; ++i) add_tail(pts[i]);
}

Qe_Pt* Qe_Pt_List::copy_points(long& n) const
{
    n = count();
    if (n == 0) return nullptr;
    Qe_Pt* pts = new (std::nothrow) Qe_Pt[static_cast<std::size_t>(n)];
    if (!pts) {
        n = 0;
        return nullptr;
    }
    long i = 0;
    for (const Qe_Pt_Node* node = m_head; node; node = node->next()) pts[i++] = *node;
    return pts;
}
