#pragma once

// Drawing geometry as straight segments for the loop search of the geometry base.

#include "kernel/drakmere_api.h"

class MB_Drawing;
class Qe_Void_List;

// For each MB_Object* of geoms in order, appends to segments one new Qe_Segment (owned by
// the caller) per pair of consecutive points of the entity's tessellated edge, its parent
// the entity. Arcs, B-splines, circles, ellipses, elliptic arcs, lines, chains and polylines
// take part, and the members of a group in member order; an entity with fewer than two edge points, a null item and every other kind
// add nothing. The edge is the one the entity's last build_draw made.
DRAKMERE_API void api_mb_geom_2_segments(Qe_Void_List& geoms, Qe_Void_List& segments);
// Does nothing: segments are not loaded from files.
DRAKMERE_API void api_mb_load_segments(char* path, MB_Drawing& drawing);
