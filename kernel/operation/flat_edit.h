#pragma once

// The flat query and edit functions: rectangles of entities and lists, the grip point of a
// list's rectangle under the cursor, entity lists picked by a selector, the display names of
// the object kinds. Lists are Qe_Void_List of MB_Object* and never own what they hold.
// Both forms of api_mb_get_entity_list_rect live with MB_Drawable (kernel/database/drawable.h).

#include "geometry/point.h"
#include "kernel/database/drawable.h"
#include "kernel/drakmere_api.h"

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
