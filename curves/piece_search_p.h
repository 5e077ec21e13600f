#pragma once

// Private to the curve library: the general intersection of two curves that can be cut
// into polynomial pieces (bezier_piece_p.h), and the pair solve it shares with the other
// searches of intersection.cpp.

#include "curves/curve_arrays.h"

class CCurve;

// The pair solve from (ta0, tb0) and its acceptance: 0 when the curves meet there within
// tol and do not run together; ta and tb are then set.
int accept_pair(const CCurve* a, const CCurve* b, double ta0, double tb0, double& ta, double& tb, double tol);

// Every intersection of a and b, added with add_parameter_pair. Pairs of pieces whose
// boxes overlap are halved until each pair can hold at most one crossing, or is straight
// within the tolerance; every such candidate is refined once by the pair solve. searched
// is false, and nothing is added, when either curve has no pieces or the search runs past
// its budget (a few times the work of the sample search, which the caller then runs).
int intersect_by_pieces(const CCurve* a, const CCurve* b, bool swapped, CDoubleArray& list_a, CDoubleArray& list_b,
                        double tol, bool& searched);
