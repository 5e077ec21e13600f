#pragma once

// Comparing what two entities show: outlines are runs of points in world coordinates, and
// two outlines agree when every point of each lies near the other's runs (both ways, so
// neither may show more than the other).

#include <algorithm>
#include <functional>
#include <vector>

#include "geometry/loop.h"
#include "geometry/point.h"
#include "geometry/transform.h"
#include "kernel/database/drawing.h"
#include "kernel/entities/hatch.h"
#include "kernel/entities/insert.h"

using Outline = std::vector<Qe_Pt>;

inline double segment_distance(const Qe_Pt& p, const Qe_Pt& a, const Qe_Pt& b)
{
    const Qe_Vec ab = b - a;
    const double l2 = ab % ab;
    const double t = l2 > 0.0 ? std::clamp(((p - a) % ab) / l2, 0.0, 1.0) : 0.0;
    return (p - (a + ab * t)).len();
}

inline double distance_to(const Qe_Pt& p, const std::vector<Outline>& runs)
{
    double best = 1e300;
    for (const Outline& r : runs) {
        if (r.size() == 1) best = std::min(best, (p - r[0]).len());
        for (std::size_t i = 1; i < r.size(); ++i) best = std::min(best, segment_distance(p, r[i - 1], r[i]));
    }
    return best;
}

// The largest distance of a point of either outline from the other.
inline double deviation(const std::vector<Outline>& a, const std::vector<Outline>& b)
{
    if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0.0 : 1e300;
    double worst = 0.0;
    for (const Outline& r : a)
        for (const Qe_Pt& p : r) worst = std::max(worst, distance_to(p, b));
    for (const Outline& r : b)
        for (const Qe_Pt& p : r) worst = std::max(worst, distance_to(p, a));
    return worst;
}

inline std::vector<Outline> mapped(std::vector<Outline> runs, const Qe_Tran& m)
{
    for (Outline& r : runs)
        for (Qe_Pt& p : r) p *= m;
    return runs;
}

inline std::vector<Outline> mapped(std::vector<Outline> runs, const std::function<Qe_Pt(const Qe_Pt&)>& f)
{
    for (Outline& r : runs)
        for (Qe_Pt& p : r) p = f(p);
    return runs;
}

// A hatch's loops, each closed on its first point.
inline std::vector<Outline> hatch_rings(MB_Hatch& h)
{
    std::vector<Outline> out;
    for (Qe_Void_Node* n = h.loop_list().head(); n; n = n->next()) {
        Outline ring;
        const auto* loop = static_cast<Qe_Loop*>(n->entity());
        const Qe_Loop_Node* v = loop->head();
        do {
            ring.push_back(v->point());
            v = v->next();
        } while (v && v != loop->head());
        ring.push_back(ring.front());
        out.push_back(ring);
    }
    return out;
}

// What a reference shows: the outlines of the copies its explosion makes.
template <class Outline_Of>
std::vector<Outline> exploded_outline(MB_Insert& ins, Outline_Of&& outline_of)
{
    MB_Drawing scratch;
    ins.explode(&scratch);
    std::vector<Outline> out;
    for (MB_Object* o = scratch.object_list().get_head(); o; o = o->next()) {
        std::vector<Outline> runs = outline_of(*static_cast<MB_Drawable*>(o));
        out.insert(out.end(), runs.begin(), runs.end());
    }
    return out;
}
