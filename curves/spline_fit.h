#pragma once

// The cubic B-spline through a sequence of points, parameterised by accumulated chord
// length, with given end tangents or zero second derivative at the ends.

#include "geometry/fendral_api.h"

class CNURBS;

// Points closer than fit_tol (at least 1e-9) to the last accepted one are skipped. A
// tangent is used when it is longer than 1e-9; it is scaled by the end chord span over 3.
// With tangent_flag set, one common tangent is taken from a closed fit through the points
// and written into both tangent arrays. Returns the curve status (0 on success, 2100 for
// fewer than two distinct points or missing arrays, 2 out of memory, 2101/2102 past the
// knot limit, -1 for a singular system); on success curve is a new curve that the caller
// deletes, otherwise null.
FENDRAL_API long GetFittingSpline(int point_count, double (*points)[3], double fit_tol, double* const start_tangent,
                                  double* const end_tangent, int tangent_flag, CNURBS*& curve);
