#pragma once

// The curve kinds whose tessellated edge stands for the entity where operations want plain
// points: arcs, B-splines, circles, ellipses, elliptic arcs, lines, chains and polylines.

class MB_Object;
class Qe_Pt_Set;

// The edge of one of those kinds, as its last build_draw made it; null for a null object and
// for every other kind.
const Qe_Pt_Set* curve_edge(MB_Object* object);
