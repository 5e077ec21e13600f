#pragma once

// Tessellation of circular arcs, circles, elliptical arcs and interpolating cubic splines
// into points in the XY plane. Arrays these functions allocate are malloc'ed and belong to
// the caller, who releases them with free. On failure the outputs are left as they were.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "platform/fixed_width.h"

class Qe_Pt_List;

// Samples per spline interval; bspline_to_ptset sets it to 50 on every call.
extern FENDRAL_API long CURVEINSUM_RUBBER;

// n points into the caller's array pts: counter-clockwise from start_angle over
// |end_angle − start_angle|. One point is the start point; none for n = 0.
FENDRAL_API bool arc_to_ptset(const Qe_Pt& centre, double radius, double start_angle, double end_angle, mb_ulong n,
                              Qe_Pt*& pts);
// n points into the caller's array: counter-clockwise about centre from start to the
// direction of end (the radius is that of start; the radius argument is not used).
FENDRAL_API bool arc_to_ptset(const Qe_Pt& centre, double radius, const Qe_Pt& start, const Qe_Pt& end, mb_ulong n,
                              Qe_Pt*& pts);
// Replaces the list's points with n + 1 points round the circle, counter-clockwise from
// its top, the last equal to the first. False, list unchanged, for n < 1.
FENDRAL_API bool circle_to_ptlist(const Qe_Pt& centre, double radius, int n, Qe_Pt_List& list);
// Points of the elliptical arc from start to end (counter-clockwise; an end below the
// start is taken a turn later, and the sweep is at most one turn) at parameter steps of
// 2π / (n − 1), then the end point. out gets a new array (room for n + 1 points). False
// for n < 2 or non-finite input.
FENDRAL_API bool ellipse_arc_to_ptset(const Qe_Pt& centre, double major, double minor, double start, double end,
                                      double rotation, int n, int& out_n, Qe_Pt*& out);
// Uniform cubic B-spline through the n points, with end tangents guided by start_dir and
// end_dir: (n − 1) × 50 + 1 points from the first to the last. False for n < 2, null or
// non-finite points, or when the fit does not settle.
FENDRAL_API bool bspline_to_ptset(int n, const Qe_Pt* pts, const Qe_Uvec& start_dir, const Qe_Uvec& end_dir,
                                  int& out_n, Qe_Pt*& out);
