#pragma once

// Private to the curve library: polynomial pieces of a curve in Bezier form, for searches
// that halve pieces while their boxes overlap. A piece holds the homogeneous control points
// (x w, y w, w) of one span, or part of one, over [t0, t1]; the plane is XY. Because the
// weights are positive, the curve lies in the hull of the Euclidean control points and
// its tangents in the cone of their differences.

#include <algorithm>
#include <vector>

#include "curves/curve_box.h"
#include "curves/curve_status.h"

class CCurve;

struct CBezierPiece {
    double t0 = 0.0, t1 = 0.0;
    int degree = 0;
    double h[g_max_degree + 1][3] = {};  // homogeneous control points
    double x[g_max_degree + 1] = {}, y[g_max_degree + 1] = {};
    CCurveBox box;
    // The tangent cone: unit direction (dx, dy) and angles [lo, hi] about it, when every
    // difference of control points lies within a quarter turn of it (cone_ok).
    bool cone_ok = false;
    double dx = 0.0, dy = 0.0, lo = 0.0, hi = 0.0;

    // The Euclidean points, box and cone from h.
    void finish();
    // The halves at the middle parameter, and the two parts at u in (0, 1).
    void split(CBezierPiece& left, CBezierPiece& right) const;
    void split_at(double u, CBezierPiece& left, CBezierPiece& right) const;
    // The piece over [a, b] within [t0, t1].
    CBezierPiece part(double a, double b) const;
    // The Euclidean point at u in [0, 1] of the piece.
    void point_at(double u, double& px, double& py) const;
    double size() const { return std::max(box.max_x - box.min_x, box.max_y - box.min_y); }
    // The largest distance of a control point from the chord (first to last point).
    double chord_deviation() const;
};

// The pieces of a curve over its range: the spans of a rational B-spline (a clamped one
// within its knots, a periodic one over at most a period) or one piece for a line kind,
// cut to the part of it within the box when one is given (none when the line misses it).
// 14 for any other curve, which has no pieces to offer.
int bezier_pieces(const CCurve& c, std::vector<CBezierPiece>& out, const CCurveBox* within = nullptr);
