#include "kernel/operation/geom_segments.h"

#include "geometry/edge.h"
#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/entities/group.h"
#include "kernel/operation/curve_edge_p.h"

namespace {

bool is_curve_kind(MB_Object::MB_ID id)
{
    switch (id) {
    case MB_Object::ID_ARC:
    case MB_Object::ID_BSPLINE:
    case MB_Object::ID_CIRCLE:
    case MB_Object::ID_ELLIPSE:
    case MB_Object::ID_ELLIPSE_ARC:
    case MB_Object::ID_LINE:
    case MB_Object::ID_LINES:
    case MB_Object::ID_POLYLINE: return true;
    default: return false;
    }
}

void add_segments(MB_Object* object, Qe_Void_List& segments)
{
    if (object && object->object_id() == MB_Object::ID_GROUP) {
        Qe_Void_List& members = static_cast<MB_Group*>(object)->object_list();
        for (Qe_Void_Node* n = members.head(); n; n = n->next()) add_segments(static_cast<MB_Object*>(n->entity()), segments);
        return;
    }
    const Qe_Pt_Set* edge = curve_edge(object);
    if (!edge) return;
    const Qe_Pt* p = edge->points();
    const int n = edge->count();
    if (!p || n < 2) return;
    for (int i = 0; i + 1 < n; ++i) (void)segments.add(new Qe_Segment(p[i], p[i + 1], object));
}

}  // namespace

const Qe_Pt_Set* curve_edge(MB_Object* object)
{
    if (!object || !is_curve_kind(object->object_id())) return nullptr;
    auto* geom = dynamic_cast<MB_Geom*>(object);
    return geom ? &geom->edge() : nullptr;
}

void api_mb_geom_2_segments(Qe_Void_List& geoms, Qe_Void_List& segments)
{
    for (Qe_Void_Node* n = geoms.head(); n; n = n->next()) add_segments(static_cast<MB_Object*>(n->entity()), segments);
}

void api_mb_load_segments(char*, MB_Drawing&) {}
