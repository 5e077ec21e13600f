#include "geometry/pt_set.h"

#include <cmath>
#include <cstdint>
#include <new>

#include "geometry/pt_list.h"
#include "geometry/segment_predicates.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"

// Qe_Pt_Set

Qe_Pt_Set::Qe_Pt_Set(int n) { init(n); }

Qe_Pt_Set::Qe_Pt_Set(int n, const Qe_Pt* pts) { assign(n, pts); }

Qe_Pt_Set::Qe_Pt_Set(const Qe_Pt_Set& other) { assign(other.m_count, other.m_points); }

Qe_Pt_Set& Qe_Pt_Set::operator=(const Qe_Pt_Set& other)
{
    if (this != &other) assign(other.m_count, other.m_points);
    return *this;
}

Qe_Pt_Set::~Qe_Pt_Set() { free(); }

void Qe_Pt_Set::free()
{
    delete[] m_points;
    m_points = nullptr;
    m_count = 0;
}

bool Qe_Pt_Set::assign(int n, const Qe_Pt* pts)
{
    Qe_Pt* fresh = nullptr;
    if (n > 0) {
        fresh = new (std::nothrow) Qe_Pt[static_cast<std::size_t>(n)];
        if (!fresh) n = 0;
        for (int i = 0; fresh && pts && i < n; ++i) fresh[i] = pts[i];
    }
    // pts may point into this set's own array: free it only after copying.
    free();
    m_points = fresh;
    m_count = n > 0 ? n : 0;
    return fresh != nullptr || n <= 0;
}

Qe_Pt Qe_Pt_Set::start_pos() const { return m_count > 0 ? m_points[0] : Qe_Pt(); }

Qe_Pt Qe_Pt_Set::end_pos() const { return m_count > 0 ? m_points[m_count - 1] : Qe_Pt(); }

void Qe_Pt_Set::init(int n) { assign(n, nullptr); }

void Qe_Pt_Set::init(int n, const Qe_Pt* pts) { assign(n, pts); }

void Qe_Pt_Set::init(const Qe_Pt_List& list)
{
    const long n = list.count();
    if (n == 0 || n > INT32_MAX) return;
    Qe_Pt* fresh = new (std::nothrow) Qe_Pt[static_cast<std::size_t>(n)];
    if (!fresh) return;
    int i = 0;
    for (const Qe_Pt_Node* node = list.head(); node; node = node->next()) fresh[i++] = *node;
    free();
    m_points = fresh;
    m_count = i;
}

void Qe_Pt_Set::init(const Qe_Void_List& list)
{
    int n = 0;
    for (const Qe_Void_Node* node = list.head(); node; node = node->next())
        if (node->entity()) ++n;
    if (n == 0) return;
    Qe_Pt* fresh = new (std::nothrow) Qe_Pt[static_cast<std::size_t>(n)];
    if (!fresh) return;
    int i = 0;
    for (const Qe_Void_Node* node = list.head(); node && i < n; node = node->next())
        if (node->entity()) fresh[i++] = *static_cast<const Qe_Pt*>(node->entity());
    free();
    m_points = fresh;
    m_count = i;
}

bool Qe_Pt_Set::add_point(const Qe_Pt& p)
{
    if (m_count == INT32_MAX) return false;
    Qe_Pt* fresh = new (std::nothrow) Qe_Pt[static_cast<std::size_t>(m_count) + 1];
    if (!fresh) return false;
    for (int i = 0; i < m_count; ++i) fresh[i] = m_points[i];
    fresh[m_count] = p;
    delete[] m_points;
    m_points = fresh;
    ++m_count;
    return true;
}

int Qe_Pt_Set::find_point(const Qe_Pt& p) const
{
    for (int i = 0; i < m_count; ++i)
        if (same_point(m_points[i], p, resabs)) return i;
    return -1;
}

int Qe_Pt_Set::snap_lines(const Qe_Pt& pick, double tol, Qe_Pt& out) const
{
    for (int i = 0; i + 1 < m_count; ++i)
        if (is_pick_segment(pick, m_points[i], m_points[i + 1], tol, out) != 0) return i;
    return -1;
}

void Qe_Pt_Set::translate(const Qe_Tran& t)
{
    for (int i = 0; i < m_count; ++i) m_points[i] *= t;
}

// Qe_Pt_Sets

Qe_Pt_Sets::Qe_Pt_Sets(mb_ulong n, const mb_ulong* counts, const Qe_Pt* pts) { init(n, counts, pts); }

Qe_Pt_Sets::Qe_Pt_Sets(const Qe_Pt_Sets& other) { init(other.m_runs, other.m_vals, other.m_points); }

Qe_Pt_Sets& Qe_Pt_Sets::operator=(const Qe_Pt_Sets& other)
{
    if (this != &other) {
        const bool filled = other.m_filled;
        init(other.m_runs, other.m_vals, other.m_points);
        m_filled = filled;
    }
    return *this;
}

Qe_Pt_Sets::~Qe_Pt_Sets() { free(); }

void Qe_Pt_Sets::free()
{
    delete[] m_points;
    delete[] m_vals;
    m_points = nullptr;
    m_vals = nullptr;
    m_runs = 0;
}

bool Qe_Pt_Sets::init(mb_ulong n, const mb_ulong* counts, const Qe_Pt* pts)
{
    std::uint64_t total = 0;
    for (mb_ulong r = 0; counts && r < n; ++r) total += counts[r];  // at most 2^64 − 2^33: no overflow
    const bool bad = (n > 0 && !counts) || total > UINT32_MAX || total > SIZE_MAX / sizeof(Qe_Pt);
    mb_ulong* vals = nullptr;
    Qe_Pt* points = nullptr;
    if (!bad && n > 0) {
        vals = new (std::nothrow) mb_ulong[n];
        if (total > 0) points = new (std::nothrow) Qe_Pt[total];
    }
    const bool ok = !bad && (n == 0 || (vals && (total == 0 || points)));
    if (ok) {
        for (mb_ulong r = 0; r < n; ++r) vals[r] = counts[r];
        for (std::uint64_t i = 0; pts && i < total; ++i) points[i] = pts[i];
    } else {
        delete[] vals;
        delete[] points;
        vals = nullptr;
        points = nullptr;
        n = 0;
    }
    // The sources may be this object's own arrays: release them only after copying.
    free();
    m_vals = vals;
    m_points = points;
    m_runs = n;
    m_filled = false;
    return ok;
}

bool Qe_Pt_Sets::init(mb_ulong total, const Qe_Pt* pts) { return init(1, &total, pts); }

bool Qe_Pt_Sets::init_by_ptlists(const Qe_Void_List& lists)
{
    const int runs = lists.count();
    if (runs == 0) return false;
    std::uint64_t total = 0;
    for (const Qe_Void_Node* node = lists.head(); node; node = node->next())
        if (node->entity()) total += static_cast<std::uint64_t>(static_cast<const Qe_Pt_List*>(node->entity())->count());
    if (total > UINT32_MAX) return false;
    mb_ulong* vals = new (std::nothrow) mb_ulong[static_cast<std::size_t>(runs)];
    Qe_Pt* points = total > 0 ? new (std::nothrow) Qe_Pt[total] : nullptr;
    if (!vals || (total > 0 && !points)) {
        delete[] vals;
        delete[] points;
        return false;
    }
    int r = 0;
    std::uint64_t k = 0;
    for (const Qe_Void_Node* node = lists.head(); node; node = node->next(), ++r) {
        mb_ulong c = 0;
        if (const auto* list = static_cast<const Qe_Pt_List*>(node->entity()))
            for (const Qe_Pt_Node* p = list->head(); p && k < total; p = p->next(), ++c) points[k++] = *p;
        vals[r] = c;
    }
    const bool filled = m_filled;
    free();
    m_vals = vals;
    m_points = points;
    m_runs = static_cast<mb_ulong>(runs);
    m_filled = filled;
    return true;
}

mb_ulong Qe_Pt_Sets::pts_count() const
{
    mb_ulong sum = 0;
    for (mb_ulong r = 0; r < m_runs; ++r) sum += m_vals[r];
    return sum;
}

void Qe_Pt_Sets::set_to_list(Qe_Void_List& out, const Qe_Tran& t) const
{
    std::uint64_t k = 0;
    for (mb_ulong r = 0; r < m_runs; ++r) {
        auto* list = new (std::nothrow) Qe_Pt_List;
        if (!list) return;
        for (mb_ulong i = 0; i < m_vals[r]; ++i) list->add_tail(m_points[k++] * t);
        out.add(list);
    }
}

Qe_Pt Qe_Pt_Sets::get_point(int run, int i) const
{
    if (run < 0 || i < 0 || static_cast<mb_ulong>(run) >= m_runs || static_cast<mb_ulong>(i) >= m_vals[run])
        return Qe_Pt();
    std::uint64_t k = 0;
    for (int r = 0; r < run; ++r) k += m_vals[r];
    return m_points[k + static_cast<std::uint64_t>(i)];
}

bool Qe_Pt_Sets::snap(const Qe_Pt& pick, Qe_Pt& out, double tol) const { return snap_impl(pick, out, nullptr, tol); }

bool Qe_Pt_Sets::snap(const Qe_Pt& pick, Qe_Pt& out, const Qe_Tran& t, double tol) const
{
    return snap_impl(pick, out, &t, tol);
}

bool Qe_Pt_Sets::snap_impl(const Qe_Pt& pick, Qe_Pt& out, const Qe_Tran* t, double tol) const
{
    auto at = [&](std::uint64_t k) { return t ? m_points[k] * *t : m_points[k]; };
    std::uint64_t k = 0;
    for (mb_ulong r = 0; r < m_runs; k += m_vals[r], ++r) {
        const mb_ulong c = m_vals[r];
        if (c == 0) continue;
        if (c == 1) {
            // A lone point is reported in the space of pick, like the segment hits.
            const Qe_Pt p = at(k);
            if (std::hypot(p.x() - pick.x(), p.y() - pick.y()) < tol) {
                out = p;
                return true;
            }
            continue;
        }
        Qe_Pt a = at(k);
        for (mb_ulong i = 1; i < c; ++i) {
            const Qe_Pt b = at(k + i);
            if (is_pick_segment(pick, a, b, tol, out) != 0) return true;
            a = b;
        }
    }
    return false;
}
