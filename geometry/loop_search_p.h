#pragma once

// The steps the loop search shares with its shortcut for chains that meet only at their own
// vertices: both must decide alike, so both use these.

#include <cmath>
#include <cstddef>

#include "geometry/loop.h"
#include "geometry/point.h"

namespace loop_search_detail {

inline bool finite(const Qe_Pt& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }

// A relation of this angle points to the left: a start of a loop of the rightmost points.
bool starts_leftward(double angle);
// Direction of to − from, counter-clockwise from +x, in [0, 2π).
double relation_angle(const Qe_Pt& from, const Qe_Pt& to);

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
