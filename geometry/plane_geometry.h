#pragma once

// Free functions on points in the XY plane: polar angles, projection on a line, line and
// polyline intersection, circles and ellipses through three points, areas, perimeters and
// orientation of vertex rings, point-in-region tests, wide-polyline outlines and offsets.
// z is ignored by the tests and 0 in every constructed point. Functions that can fail
// return false and leave their outputs as they were.

#include "geometry/fendral_api.h"
#include "geometry/point.h"

class Qe_Pt_List;
class Qe_Void_List;

// Angle from `from` to `to` in [0, 2π]: counter-clockwise when normal.z ≥ 0, clockwise
// otherwise (only the sign of normal.z is read). With a clockwise sense two equal
// directions give 2π.
FENDRAL_API double angle_between(const Qe_Uvec& from, const Qe_Uvec& to, const Qe_Uvec& normal);
FENDRAL_API double angle_between(const Qe_Vec& from, const Qe_Vec& to, const Qe_Uvec& normal);

// Foot of the perpendicular from p on the line through base along dir. Direction
// components below 1e-11 count as 0, so nearly axis-parallel lines are exactly so.
FENDRAL_API Qe_Pt proj_pt_to_line(const Qe_Pt& p, const Qe_Pt& base, const Qe_Uvec& dir);

// Intersection of two infinite lines; false for parallel lines, for slopes closer than
// resabs and for a zero direction.
FENDRAL_API bool api_mb_lines_intersection(const Qe_Pt& p1, const Qe_Uvec& d1, const Qe_Pt& p2,
                                           const Qe_Uvec& d2, Qe_Pt& out);
// Every crossing of every segment of a with every segment of b, appended to out in order
// (duplicates kept). True when out holds any point afterwards.
FENDRAL_API bool api_mb_lines_intersection(const Qe_Pt* a, int na, const Qe_Pt* b, int nb, Qe_Pt_List& out);

// Circle through three points; false for collinear or coincident points.
FENDRAL_API bool api_mb_get_3ptcircle(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, Qe_Pt& centre,
                                      double& radius);

// Ellipse from its centre, the end of its major axis and one more point on it: major
// radius, minor-to-major ratio and the major axis's angle from +x.
FENDRAL_API bool get_ellipse_by_3pt(const Qe_Pt& centre, const Qe_Pt& axis_end, const Qe_Pt& on_curve,
                                    Qe_Pt& centre_out, double& major, double& ratio, double& angle);

// Area of a vertex ring (closed implicitly), whatever its orientation; 0 for n ≤ 2.
FENDRAL_API double cal_pts_area(const Qe_Pt* pts, int n);
// The same for a list whose items are Qe_Pt*.
FENDRAL_API double cal_lines_area(const Qe_Void_List& pts);
// Closed perimeter; for two points the length of their segment; 0 for n ≤ 1.
FENDRAL_API double cal_perimeter(const Qe_Pt* pts, int n);
// True when the ring runs counter-clockwise; false for n < 3.
FENDRAL_API bool api_mb_get_pts_dir(const Qe_Pt* pts, int n);

// p inside the ring (closed implicitly) or on its boundary.
FENDRAL_API bool is_pos_in_region(const Qe_Pt& p, const Qe_Pt* ring, int n);
// p on one of the n − 1 segments (pi, pi+1); callers pass rings closed.
FENDRAL_API bool is_pos_on_region(const Qe_Pt& p, const Qe_Pt* pts, int n);

// A malloc'ed array of n points at the origin, released by the caller with free; null for
// n ≤ 0 or when memory is short.
FENDRAL_API Qe_Pt* api_mb_new_position(int n);
FENDRAL_API void api_mb_reverse_pts(Qe_Pt* pts, int n);

// Closed outline of a polyline of the given width into out, which must hold m = 2n + 1
// points: one side, the other side backwards, and the first point again.
FENDRAL_API bool cal_lines_width(const Qe_Pt* pts, int n, Qe_Pt* out, int m, double width);

// Offset of a polyline or vertex ring by distance into out, which must hold n points;
// out_n gets the count. Two points move to the right-hand side for a positive distance,
// longer polylines to the left-hand side; segments that turn over are dropped, and a
// closed input (first and last points the same) comes out closed. Nothing happens, out_n
// untouched, for null input, n = 0 or a zero distance.
FENDRAL_API void api_mb_offset_pts(const Qe_Pt* pts, int n, Qe_Pt* out, int& out_n, double distance);
