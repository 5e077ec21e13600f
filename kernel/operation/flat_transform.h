#pragma once

// The list transforms of the flat interface: rotation and scaling of listed entities in
// place, and mirrored copies. Each entity is carried whole where its kind can follow (see
// full_transform.h for what that means per kind), its own angles, sizes and mirror flags
// included, rebuilt, and its change recorded for undo. Entries that are null or not
// drawables are passed over. Kinds that have no form of the result (arc-aligned texts,
// faces and meshes, rays, arrays of references, dimensions without a block reference) are
// left as they are.
//
// Refusals: an empty list, a non-finite point, angle or factor, a zero factor or a mirror
// direction without length in the plane give false and change nothing.

#include "kernel/drakmere_api.h"

class Qe_Pt;
class Qe_Uvec;
class Qe_Void_List;

// Turns the entities by angle (radians, counter-clockwise) about p.
DRAKMERE_API bool api_mb_rotate_entity_list(Qe_Void_List& list, const Qe_Pt& p, double angle);

// Appends to the active drawing (its open block, else model space) a copy of each entity
// mirrored across the line through p along dir, draws it in the active operation's view and
// adds it to out. out receives exactly the copies appended: arc-aligned texts, tolerance
// frames and dimensions without a block reference get none; a group's copy holds mirrored
// copies of the members that have a mirrored form. Kinds without a mirrored form of their
// own (faces, meshes, arrays of references) are copied as they are; a ray copies as a line,
// which is mirrored. The listed entities do not change. False, nothing made, without an active drawing.
DRAKMERE_API bool api_mb_mirror_entity_list(Qe_Void_List& list, const Qe_Pt& p, const Qe_Uvec& dir,
                                            Qe_Void_List& out);

// Scales the entities about p by sx along x and sy along y. Sizes (radii, axes, text
// heights, pattern scales) grow by |k|, k being sx when it differs from 1, else sy; a
// negative factor also reflects, as mirroring does. Circles and arcs stay circular (radius
// |sx| times), and ellipses keep their rotation, under factors of different size.
DRAKMERE_API bool api_mb_scale_entity_list(Qe_Void_List& list, const Qe_Pt& p, double sx, double sy);
