#pragma once

// The flat creation of dimensions, blocks, block references and groups: the same door and
// the same rules as flat_create.h (the drawing of the active operation, the innermost open
// block or else model space, handles as addresses, 0/false/null with nothing made when there
// is no operation or a point, array or name that would be read is null).

#include "geometry/point.h"
#include "kernel/drakmere_api.h"
#include "platform/fixed_width.h"

class MB_Drawable;
class MB_Drawing;
class MB_Insert;
class Qe_Void_List;

// ---- dimensions ----

// A dimension from imported fields: text, the pseudo block it binds to by name, definition
// point p1, text middle p2, insertion point p3, dimension points 2, 3 and 4 from p5, p6, p7,
// the text angle from v5 (p4 and the other values are not used). Appended without a display.
DRAKMERE_API mb_handle api_mb_create_dimension(char* text, char* block_name, char* unused, const double* p1,
                                               const double* p2, const double* p3, const double* p4,
                                               const double* p5, const double* p6, const double* p7, double v1,
                                               double v2, double v3, double v4, double v5, double v6, int unused_flag);
// A linear (kind 0: horizontal or vertical as p3 decides) or aligned (kind 1) dimension of
// p1 to p2 through p3, frozen into plain entities in the dimension's colour: they become an
// anonymous block described "DDD" whose name is the UTC time and a counter ("%d" seven
// times, the counter raised past names the drawing already has), placed by a reference at
// the origin. The dimension itself is not kept. Always 0; any other kind adds nothing.
DRAKMERE_API mb_handle api_mb_create_dimension(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, short kind);
// Dimension points 2, 3, 4 from p1, p2, p3, definition point p4, arc point p5; the kind
// in the flag.
DRAKMERE_API mb_handle api_mb_create_dimension(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, const Qe_Pt& p4,
                                               const Qe_Pt& p5, short kind);
// Dimension point 4 from p1, definition point p2, text middle p3; the kind in the flag.
DRAKMERE_API mb_handle api_mb_create_radius_demension(const Qe_Pt& p1, const Qe_Pt& p2, const Qe_Pt& p3, short kind);
// Without an entity: definition point and dimension point 2 at p1, dimension point 3 at p2,
// dimension point 4 and text middle at p3. With one: a dimension with its default points.
// The strings are not used.
DRAKMERE_API mb_handle api_mb_create_len_dimension(MB_Drawable* entity, const Qe_Pt& p1, const Qe_Pt& p2,
                                                   const Qe_Pt& p3, char* s1, char* s2);

// ---- blocks and references ----

// A block at the origin holding copies of the listed entities moved by origin - base; it
// joins the block table. The listed entities stay where they are, the caller's. 0 for an
// empty list or one without a copyable entity.
DRAKMERE_API mb_handle api_mb_create_block(const char* name, const char* desc, const Qe_Pt& base,
                                           Qe_Void_List& ents);
// Moves the source's blocks and entities into the target: the blocks to the target's block
// table, the entities into a new block named after the source's file name, placed by the
// returned reference at the origin in the target's model space. Entities and block members
// are re-pointed to the target's layers and line types of the same name; those the target
// lacks move over. The source is left without blocks and entities. Null, nothing changed,
// when source and target are one drawing.
DRAKMERE_API MB_Insert* api_mb_create_block_by_drawing(MB_Drawing& source, MB_Drawing& target);
// A reference to the drawing's block of that name (a new empty block when there is none)
// at the point with the scales and rotation, its transform computed, built and appended.
DRAKMERE_API bool api_mb_create_insert(MB_Insert*& insert, const double* point, double sx, double sy, double sz,
                                       double angle, const char* block_name);
// The same; appended only with add, else the caller's.
DRAKMERE_API mb_handle api_mb_create_insert(const char* block_name, const Qe_Pt& point, double sx, double sy,
                                            double sz, double angle, bool add);

// ---- groups ----

// A group of the listed drawables (each once), named (cut at 255 characters), its base point
// the centre of their rectangle. Members that stand in model space, the open block or the
// current layout leave it: the group owns them (undoing the creation gives them back). A
// drawable linked into any other list (a closed block's) is left where it is. 0 for an empty
// list or one without such a drawable.
DRAKMERE_API mb_handle api_mb_create_group(char* name, Qe_Void_List& ents);
