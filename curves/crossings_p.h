#pragma once

// Private to the curve library: the bookkeeping of line crossings shared by the general
// and the rational B-spline line_crossings.

// Records line parameter v in the extremes that are given ([0] smallest and [1] largest
// non-negative, [2] largest and [3] smallest non-positive); with keep_zero an extreme not
// above 1e-9 in magnitude stays.
void record_line_crossing(double v, bool keep_zero, double* extremes[4]);
