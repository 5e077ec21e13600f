#pragma once

// What the flat creation functions share: the drawing they create in, where an entity goes,
// and how it joins its list.

#include "geometry/point.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/object.h"
#include "kernel/database/operation_context.h"
#include "platform/fixed_width.h"

namespace mb_flat {

// The most points, vertices or elements a caller's count may ask for: enough for any drawing,
// small enough that a hostile count cannot exhaust memory.
inline constexpr long k_max_count = 1L << 24;

// The drawing of the active operation; null when there is none.
inline MB_Drawing* active_drawing()
{
    return api_active_drawing();
}

// True when obj already stands in some list: it is then left where it is, as relinking it
// would break that list.
inline bool is_linked(const MB_Object* obj, const MB_Object_List& list)
{
    return obj->prev() || obj->next() || list.get_head() == obj;
}

// Where created entities go: the innermost open block, else model space.
inline MB_Object_List& entity_list(MB_Drawing& d)
{
    return d.temp_block() ? d.temp_block()->object_list() : d.object_list();
}

// Appends obj unless it already stands in a list.
inline void append(MB_Object_List& list, MB_Object* obj)
{
    if (!is_linked(obj, list)) list.add_tail(obj);
}

// Builds obj's display (unless told not to) and hands it to the entity list.
template <class T>
T* place(MB_Drawing& d, T* obj, bool build = true)
{
    if (build) obj->build_draw();
    append(entity_list(d), obj);
    return obj;
}

template <class T>
mb_handle handle(T* obj)
{
    return reinterpret_cast<mb_handle>(static_cast<MB_Object*>(obj));
}

inline Qe_Pt from_xyz(const double* p) { return Qe_Pt(p[0], p[1], p[2]); }

}  // namespace mb_flat
