#include "kernel/operation/flat_edit.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "geometry/rect.h"
#include "geometry/void_list.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/operation/operation.h"

namespace {

// Selectors of api_mb_get_entity_list_by_obj_id.
constexpr long k_select_layers = -11;
constexpr long k_select_selection = -2;
constexpr long k_select_model_space = -1;

struct Kind_Name {
    long id;
    const char* gbk;
};

// The display names in GBK; the longest takes 8 bytes.
constexpr Kind_Name k_kind_names[] = {
    {MB_Object::ID_ARC, "\xD4\xB2\xBB\xA1"},
    {MB_Object::ID_ARC_TEXT, "\xBB\xA1\xD0\xCE\xCE\xC4\xD7\xD6"},
    {MB_Object::ID_BSPLINE, "\xD1\xF9\xCC\xF5\xC7\xFA\xCF\xDF"},
    {MB_Object::ID_CIRCLE, "\xD4\xB2"},
    {MB_Object::ID_DIMENSION, "\xB3\xDF\xB4\xE7"},
    {MB_Object::ID_ELLIPSE, "\xCD\xD6\xD4\xB2"},
    {MB_Object::ID_ELLIPSE_ARC, "\xCD\xD6\xD4\xB2\xBB\xA1"},
    {MB_Object::ID_HATCH, "\xC6\xCA\xC3\xE6\xCF\xDF"},
    {MB_Object::ID_INSERT, "\xBF\xE9\xB2\xE5\xC8\xEB"},
    {MB_Object::ID_IMAGE, "\xCD\xBC\xC6\xAC"},
    {MB_Object::ID_LINE, "\xD6\xB1\xCF\xDF"},
    {MB_Object::ID_LINES, "\xD5\xDB\xCF\xDF"},
    {MB_Object::ID_POLYLINE, "\xB6\xE0\xD2\xE5\xCF\xDF"},
    {MB_Object::ID_SOLID, "\xB7\xE2\xB1\xD5\xC7\xF8\xD3\xF2"},
    {MB_Object::ID_TEXT, "\xCE\xC4\xD7\xD6"},
    {MB_Object::ID_TRACE_TEXT, "\xB9\xEC\xBC\xA3\xCE\xC4\xD7\xD6"},
    {MB_Object::ID_MTEXT, "\xB6\xE0\xD0\xD0\xCE\xC4\xD7\xD6"},
    {MB_Object::ID_POINT, "\xB5\xE3"},
    {MB_Object::ID_FACE, "\xC3\xE6"},
    {MB_Object::ID_GROUP, "\xD7\xE9"},
};
constexpr const char* k_unknown_kind = "\xCE\xB4\xD6\xAA";

}  // namespace

void api_mb_get_entity_rect(MB_Object* object, Qe_Rect& rect, MB_Drawing* drawing)
{
    if (!object) return;
    if (object->is_drawable()) {
        rect = static_cast<MB_Drawable*>(object)->rect();
        return;
    }
    if (object->object_id() == MB_Object::ID_LAYER) {
        Qe_Void_List entities;
        static_cast<MB_Layer*>(object)->get_ent_list(entities, drawing);
        (void)api_mb_get_entity_list_rect(entities, rect);
    }
}

int api_mb_get_entity_list_rect_relation(Qe_Void_List& list, const Qe_Pt& p, double tol)
{
    Qe_Rect r;
    if (!api_mb_get_entity_list_rect(list, r)) return Grip_None;
    const double l = r.lt().x(), t = r.lt().y(), rt = r.rb().x(), b = r.rb().y();
    const double cx = (l + rt) / 2.0, cy = (t + b) / 2.0;
    const struct {
        double x, y;
        MB_Grip_Code code;
    } grips[] = {
        {l, t, Grip_Left_Top},      {rt, b, Grip_Right_Bottom},  {l, b, Grip_Left_Bottom},
        {rt, t, Grip_Right_Top},    {cx, cy, Grip_Centre},       {l, cy, Grip_Left_Middle},
        {rt, cy, Grip_Right_Middle}, {cx, b, Grip_Bottom_Middle}, {cx, t, Grip_Top_Middle},
    };
    for (const auto& g : grips)
        if (std::hypot(p.x() - g.x, p.y() - g.y) < tol) return g.code;
    return Grip_None;
}

void api_mb_get_entity_list_by_obj_id(Qe_Void_List& list, long value, MB_Operation& op)
{
    list.clear();
    MB_Drawing* d = op.drawing();
    if (value > 0) {
        list.add(reinterpret_cast<MB_Object*>(value));
    } else if (value == k_select_layers) {
        if (!d) return;
        for (MB_Object* o = d->layer_list().get_head(); o; o = o->next()) list.add(o);
    } else if (value == k_select_selection) {
        if (!op.selection().is_empty()) op.selection().copy(list);
    } else if (value == k_select_model_space) {
        if (!d) return;
        for (MB_Object* o = d->object_list().get_head(); o; o = o->next())
            if (!o->is_drawable() || !static_cast<MB_Drawable*>(o)->general().is_disable()) list.add(o);
    }
    // 0 and the other negative values name no object: reading them as addresses would hand
    // out a pointer to nothing.
}

bool api_mb_get_object_type_name(long id, char* buffer, int size)
{
    if (!buffer || size < 0) return false;
    const char* name = k_unknown_kind;
    for (const Kind_Name& k : k_kind_names)
        if (k.id == id) name = k.gbk;
    const size_t len = std::strlen(name);
    if (size == 0 || len < static_cast<size_t>(size)) {
        std::memcpy(buffer, name, len + 1);
        return true;
    }
    // Cut after the last whole character: a GBK lead byte (0x81 and up) takes two bytes.
    size_t n = 0;
    while (n < len) {
        const size_t step = static_cast<unsigned char>(name[n]) >= 0x81 ? 2 : 1;
        if (n + step > static_cast<size_t>(size) - 1) break;
        n += step;
    }
    std::memcpy(buffer, name, n);
    buffer[n] = '\0';
    return false;
}
