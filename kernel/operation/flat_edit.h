#pragma once

// The flat query and edit functions: rectangles of entities and lists, the grip point of a
// list's rectangle under the cursor, entity lists picked by a selector, the display names of
// the object kinds; deletion through the operation, a list drawn onto a device context,
// splitting a line or chain, moving a layer between drawings and dropping unused blocks.
// Lists are Qe_Void_List of MB_Object* and never own what they hold.
// Both forms of api_mb_get_entity_list_rect live with MB_Drawable (kernel/database/drawable.h).

#include "geometry/point.h"
#include "kernel/database/drawable.h"
#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class MB_Drawable;
class MB_Drawing;
class MB_Object;
class MB_Operation;
class Qe_Rect;
class Qe_Void_List;

// Grip codes of api_mb_get_entity_list_rect_relation, one for each of the nine points of a
// rectangle, in the order they are tried.
enum MB_Grip_Code : int {
    Grip_None = -1,
    Grip_Left_Top = 28,
    Grip_Right_Bottom = 31,
    Grip_Left_Bottom = 29,
    Grip_Right_Top = 30,
    Grip_Centre = 23,
    Grip_Left_Middle = 26,
    Grip_Right_Middle = 27,
    Grip_Bottom_Middle = 24,
    Grip_Top_Middle = 25,
};

// A drawable: its own rectangle. A layer: the union over its entities in the drawing (rect
// unchanged for a layer without entities or without a drawing). Null or any other object:
// rect unchanged.
DRAKMERE_API void api_mb_get_entity_rect(MB_Object* object, Qe_Rect& rect, MB_Drawing* drawing);

// The code of the first of the list's nine rectangle points that lies nearer to p than tol
// (in the plane, strictly), or -1; -1 for a list without drawables.
DRAKMERE_API int api_mb_get_entity_list_rect_relation(Qe_Void_List& list, const Qe_Pt& p, double tol);

// Empties the list, then fills it by value: -11 the layers of the operation's drawing; -2 a
// copy of the selection; -1 model space in order without disabled drawables; a positive value
// is an object's handle (its address) and becomes the only item. 0 and every other negative
// value select nothing.
DRAKMERE_API void api_mb_get_entity_list_by_obj_id(Qe_Void_List& list, long value, MB_Operation& op);

// Copies the GBK display name of the object id (the name of an unknown kind for any other id) into buffer, with
// its terminator. A positive size bounds what is written: a name that does not fit is cut
// after its last whole character and false is returned. Size 0 writes unchecked (at most 9
// bytes). False, nothing written, for a null buffer or a negative size.
DRAKMERE_API bool api_mb_get_object_type_name(long id, char* buffer, int size);

// ---- placeholders: hosts link them for these results; they change nothing ----

DRAKMERE_API bool api_mb_delete_selection(MB_Drawing& drawing);  // false
DRAKMERE_API void api_mb_clear_selectlist(MB_Drawing& drawing, bool redraw);
DRAKMERE_API long api_mb_rect_select(MB_Drawing& drawing, const Qe_Pt& p1, const Qe_Pt& p2, bool redraw);  // 0
DRAKMERE_API void api_mb_undo(MB_Drawing& drawing);
DRAKMERE_API void api_mb_redo(MB_Drawing& drawing);
DRAKMERE_API void api_mb_begin_cmd(MB_Drawing& drawing, char* name);
DRAKMERE_API void api_mb_end_cmd(MB_Drawing& drawing);

// These two do their job, so that their true is never a report of work not done.
// MB_Operation::delete_object(object, redraw) of the operation hosting the drawing and its
// result; false when no operation hosts it.
DRAKMERE_API bool api_mb_delete_entity(MB_Drawing& drawing, MB_Object* object, bool redraw);
// Moves the entity by to - from (recorded for undo) and rebuilds it; false for a null entity
// or a move that is not finite.
DRAKMERE_API bool api_mb_moveto_entity(MB_Drawing& drawing, MB_Drawable* entity, const Qe_Pt& from,
                                       const Qe_Pt& to);

// ---- edits ----

// MB_Operation::delete_object(object, false) and its result.
DRAKMERE_API bool api_mb_delete_entity(MB_Object* object, MB_Operation& op);

// Draws the list fitted into width x height pixels about pixel (cx, cy) with a 2-pixel
// margin, y up, in a red pen of width 1 that is released afterwards. False, nothing drawn,
// for a null DC, an empty list, a drawing area of 4 pixels or less across, or a list whose
// rectangle is below resabs both ways; an extent below resabs one way is fitted by the
// other.
DRAKMERE_API bool api_mb_draw_object_list_on_dc(HDC hdc, Qe_Void_List& list, int cx, int cy, int width, int height);

// Splits a line or a chain at the point picked within tol (the snapped point on it): the
// entity keeps the part before it, a copy with the part after joins the drawing's open
// block, else its model space. Both changes are recorded for undo. Arcs, circles,
// ellipses and splines, and picks at a line's ends or a chain's vertices: true, nothing
// split. False for null, no pick, a chain picked at its first or last point, and other
// kinds.
DRAKMERE_API bool api_mb_break_geom(MB_Drawable* entity, const Qe_Pt& p, double tol, MB_Drawing& drawing);

// Moves the model-space entities of the named layer of source into target (its open block,
// else model space); the moved entities lose their line types. Afterwards nothing in either
// drawing refers to a layer, line type or block of the other: the moved entities (members of
// groups, dimensions' references and nested blocks followed) take target's layer, line type
// or block of the same name; what target lacks is moved when source no longer uses it, else
// copied. Unused blocks of source are dropped first. False, nothing changed, when source has
// no such layer or nothing on it.
DRAKMERE_API bool api_mb_insert_layer(MB_Drawing& target, MB_Drawing& source, char* name);

// Deletes the blocks of the block table that no block reference uses: references count in
// model space, the hidden list, the current layout, the layouts, the open block, the members
// of every block and group, and dimensions' references. False when none was deleted.
DRAKMERE_API bool api_mb_simplify_drawing(MB_Drawing& drawing);
