#pragma once

// Carrying an entity through any affine map of the plane (rotation, scaling, mirror, and
// the non-uniform scaling of a block reference), as exploding a reference needs. The
// entities' own translate moves their defining points only (a circle keeps its radius, an
// ellipse its axes, a polyline its bulges and widths); this helper maps everything that
// shapes the entity:
// - circles and arcs: centre and radius; under a non-uniform map they become an ellipse
//   or an elliptic arc (a new entity, see below);
// - ellipses and elliptic arcs: the mapped conjugate axes are brought back to principal
//   axes; a mirror reverses the parameter sense, so the arc's ends are exchanged;
// - polylines: vertices, widths by the map's area scale, bulges negated under a mirror;
// - hatches: loops, the pattern turned and scaled with the map;
// - images: the centre; the frame stays axis-aligned, each side scaled by the length its
//   axis maps to (for a map that does not turn, the frame of the mapped corners);
// - B-splines: fit and control points, the end tangents turned;
// - groups: every member whole (one that changes kind is replaced in the group);
// - block references: the map composed with the reference's own (point, angle, scales);
//   block arrays also carry every cell;
// - lines, chains, points, solids, faces and meshes: their points.
// Limits: a bulged polyline under a non-uniform map keeps circular arcs (their ends are
// right, their sagitta is not); a rotated reference under a non-uniform map has no
// (angle, scales) form and keeps the nearest one; a mirrored pattern line keeps its angle
// relative to the mirrored hatch only for patterns symmetric about their own lines.

#include "kernel/drakmere_api.h"

class MB_Drawable;
class Qe_Tran;

// Maps the entity by t (recording the change for undo) and returns it; or, when its kind
// cannot hold the result (a circle or arc under a non-uniform map), leaves it unchanged and
// returns a new entity of the fitting kind that takes its place (same drawable part). The
// caller owns the new entity and disposes of the old one.
[[nodiscard]] DRAKMERE_API MB_Drawable* apply_full_transform(MB_Drawable& entity, const Qe_Tran& t);

// The largest factor by which t stretches a vector of the plane (0 for a degenerate map).
DRAKMERE_API double mb_max_stretch(const Qe_Tran& t);
