#pragma once

// Segment predicates that picking, snapping, intersection and loop search build on. All
// tests are in the XY plane.

#include "geometry/fendral_api.h"
#include "geometry/point.h"

// p within the closed x and y ranges of a and b and |(p − a) × (b − a)| < 1e-5 (the cross
// product, not divided by the segment's length).
FENDRAL_API bool is_on_segment(const Qe_Pt& p, const Qe_Pt& a, const Qe_Pt& b);

// Pick test of p against segment ab with tolerance tol: 0 no hit; 1 near a (out = a);
// 2 near b (out = b); 3 near the foot of the perpendicular (out = foot). Distances must be
// less than tol; out is untouched on 0.
FENDRAL_API int is_pick_segment(const Qe_Pt& p, const Qe_Pt& a, const Qe_Pt& b, double tol, Qe_Pt& out);

// Components of magnitude below 1e-11 become exactly 0; the vector is not renormalised.
FENDRAL_API void cal_tol_unit_vector(Qe_Uvec& u);

// Intersection of segments a1a2 and b1b2; shared end points are found first.
FENDRAL_API bool two_segments_intersection(const Qe_Pt& a1, const Qe_Pt& a2, const Qe_Pt& b1, const Qe_Pt& b2,
                                           Qe_Pt& out);

// Slants n points in place: x += (y − base.y) · tan(angle).
FENDRAL_API void oblique_ptarray(Qe_Pt* pts, int n, double angle, const Qe_Pt& base);

// True when the path a, b, c turns left at b, goes straight on or turns back.
FENDRAL_API bool api_mb_get_pts_dir(const Qe_Pt& a, const Qe_Pt& b, const Qe_Pt& c);
