#pragma once

// The steps the loop search shares with its shortcut for chains that meet only at their own
// vertices: both must decide alike, so both use these.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/loop.h"
#include "geometry/point.h"

namespace loop_search_detail {

inline bool finite(const Qe_Pt& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }

struct Box {
    double x0, y0, x1, y1;
};

inline bool overlap(const Box& a, const Box& b) { return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1; }

// The pairs (i < j) of boxes that overlap, each once, in ascending order (i in the high 32
// bits). Only such pairs can meet: the segment test accepts nothing outside both boxes grown
// by the tolerance. A uniform grid keeps this near linear for the short segments of outlines,
// whichever way they run.
std::vector<std::uint64_t> candidate_pairs(const std::vector<Box>& boxes);

// A relation of this angle points to the left: a start of a loop of the rightmost points.
bool starts_leftward(double angle);
// Direction of to − from, counter-clockwise from +x, in [0, 2π).
double relation_angle(const Qe_Pt& from, const Qe_Pt& to);

// Where a cycle of n relations starts its loop: among the relations that may start one and
// leave from a rightmost point, the earliest; when none may, the earliest of all. x(k) is the
// x of the point relation k leaves, may_start(k) whether it points leftward and is not barred,
// earlier(a, b) the order of relations a and b. n > 0.
template <class X, class May_Start, class Earlier>
std::size_t loop_start(std::size_t n, const X& x, const May_Start& may_start, const Earlier& earlier)
{
    double right = x(0);
    for (std::size_t k = 1; k < n; ++k) right = std::max(right, x(k));
    std::size_t start = 0;
    bool startable = false;
    for (std::size_t k = 0; k < n; ++k) {
        const bool ok = may_start(k) && x(k) == right;
        if ((ok && !startable) || (ok == startable && earlier(k, start))) {
            start = k;
            startable = startable || ok;
        }
    }
    return start;
}

// Signed area of the ring through at(first) .. at(end − 1), positive counter-clockwise.
// Summed in the extended range of long double: products of far coordinates overflow a double.
template <class At>
long double ring_area(const At& at, std::size_t first, std::size_t end)
{
    if (end < first + 3) return 0.0L;
    const Qe_Pt& o = at(first);
    long double twice = 0.0L;
    for (std::size_t k = first; k < end; ++k) {
        const Qe_Pt& p = at(k);
        const Qe_Pt& q = at(k + 1 < end ? k + 1 : first);
        const long double px = static_cast<long double>(p.x()) - o.x(), py = static_cast<long double>(p.y()) - o.y();
        const long double qx = static_cast<long double>(q.x()) - o.x(), qy = static_cast<long double>(q.y()) - o.y();
        twice += px * qy - qx * py;
    }
    return twice / 2.0L;
}

// A loop through at(first) .. at(end − 1); null when fewer than three points stay apart.
template <class At>
Qe_Loop* loop_of(const At& at, std::size_t first, std::size_t end)
{
    auto* loop = new Qe_Loop;
    for (std::size_t k = first; k < end; ++k) loop->add(at(k));
    if (loop->count() < 3) {
        delete loop;
        return nullptr;
    }
    return loop;
}

}  // namespace loop_search_detail
