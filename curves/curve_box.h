#pragma once

// Axis-aligned box in the plane, used by bounding boxes and span tests. It starts empty
// (minima at the largest double, maxima at its negative) and widens by each point added.

#include <cfloat>

#include "geometry/point.h"

class CCurveBox {
public:
    double min_x = DBL_MAX, max_x = -DBL_MAX, min_y = DBL_MAX, max_y = -DBL_MAX;

    bool empty() const { return min_x > max_x; }
    void add(const Qe_Pt& p)
    {
        if (p.x() < min_x) min_x = p.x();
        if (p.x() > max_x) max_x = p.x();
        if (p.y() < min_y) min_y = p.y();
        if (p.y() > max_y) max_y = p.y();
    }
    void add(const CCurveBox& b)
    {
        if (b.empty()) return;
        add(Qe_Pt(b.min_x, b.min_y, 0.0));
        add(Qe_Pt(b.max_x, b.max_y, 0.0));
    }
    // Apart only when one's minimum exceeds the other's maximum by more than 1e-6.
    bool overlaps(const CCurveBox& b) const
    {
        return !(min_x - b.max_x > 1e-6 || b.min_x - max_x > 1e-6 || min_y - b.max_y > 1e-6 || b.min_y - max_y > 1e-6);
    }
};
