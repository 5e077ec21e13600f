#pragma once

// What the flat creation functions share: the drawing they create in, where an entity goes,
// and how it joins its list.

#include "geometry/point.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/object.h"
#include "kernel/operation/operation.h"
#include "platform/fixed_width.h"

namespace mb_flat {

inline MB_Drawing* active_drawing()
{
    return g_operation_list.is_empty() || !g_active_operation ? nullptr : g_active_operation->drawing();
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

template <class T>
T* place(MB_Drawing& d, T* obj, bool build = true)
{
    if (build) obj->build_draw();
    MB_Object_List& list = entity_list(d);
    if (!is_linked(obj, list)) list.add_tail(obj);
    return obj;
}

template <class T>
mb_handle handle(T* obj)
{
    return reinterpret_cast<mb_handle>(static_cast<MB_Object*>(obj));
}

inline Qe_Pt from_xyz(const double* p) { return Qe_Pt(p[0], p[1], p[2]); }

}  // namespace mb_flat
