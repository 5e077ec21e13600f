#pragma once

// Cutting straight lines and loops by closed boundaries: the building blocks of hatch
// filling. Every object appended to an output list is new and belongs to the caller; the
// input lists are not changed.

#include "geometry/fendral_api.h"
#include "geometry/point.h"

class Qe_Loop;
class Qe_Void_List;

// Most hatch lines one cut_segments_by_loops call draws; a wider fill draws none.
constexpr int MAX_HATCH_LINES = 100000;

// Clips the segment a–b by the closed polygon pts[0..n−1] (closed implicitly). The inside
// runs, boundary included, are appended to out as one new Qe_Pt_Sets of two-point runs,
// in ascending x (ascending y for a vertical segment), each run from its lower end. A
// segment that only touches the polygon at a vertex has no run there, and one that passes
// through a vertex is not split by it. False, and nothing appended, when no run remains.
FENDRAL_API bool segment_loop_intersection(const Qe_Pt& a, const Qe_Pt& b, const Qe_Pt* pts, int n,
                                           Qe_Void_List& out);

// Appends to out new Qe_Loops: the parts of loop outside every cutter loop (cutters holds
// Qe_Loop*; null items are passed over). Without cutters, or with none touching loop,
// the part is loop itself, copied. A cutter wholly inside loop leaves loop's outline (a
// loop cannot carry a hole). Each call with cutters appends the segments of its search to
// "cutloopbyloops.txt" in the current folder. Always true.
FENDRAL_API bool cut_loop_by_loops(Qe_Loop& loop, Qe_Void_List& cutters, Qe_Void_List& out);

// Appends to out new Qe_Segments (no parent): a–b split at every crossing with an edge of
// the listed Qe_Loop*, in ascending x (ascending y for a vertical segment). True when
// anything was appended; false for a zero-length segment.
FENDRAL_API bool cut_segment_by_loops(const Qe_Pt& a, const Qe_Pt& b, Qe_Void_List& loops, Qe_Void_List& out);

// Appends to out new Qe_Segments: parallel hatch lines at angle (radians from +x), spacing
// apart, clipped to the inside of the listed Qe_Loop*. A loop lying within another is a
// hole and is not hatched, nor is anything inside it. Lines never run exactly at π/4 or
// 3π/4 (1e-5 is added). Nothing is drawn for no loops, a spacing that is not a positive
// finite number, or more than MAX_HATCH_LINES lines. Each stretch tested against a hole
// writes an entry to the log file.
FENDRAL_API void cut_segments_by_loops(Qe_Void_List& loops, double angle, double spacing, Qe_Void_List& out);
