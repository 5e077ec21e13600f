#include "kernel/database/drawable.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "geometry/raster_device.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/drawing.h"
#include "kernel/database/kind_hooks_p.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/database/object_list.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

namespace {

// Property keys.
enum : int {
    k_key_lt = -9,
    k_key_rb = -10,
    k_key_rt = -14,
    k_key_lb = -13,
    k_key_center = -3,
    k_key_middle = -4,
    k_key_height = -110,
    k_key_width_of_rect = -109,
    k_key_real_value = -114,
    k_key_line_scale = -122,
    k_key_width = -124,
    k_key_color = -200,
    k_key_user_id = -205,
    k_key_display_width = -212,
    k_key_xdata = -302,
    k_key_line_type_name = -304,
    k_key_line_type_desc = -305,
    k_key_none = -306,
    k_key_layer_name = -310,
    k_key_string = -311,
};

constexpr const char* k_no_layer = "~No layer";

// A coordinate truncated to a pixel; values beyond the int range (or NaN) are clamped so
// that the conversion stays defined.
}  // namespace

MB_General::MB_General()
{
    const MB_System_Setting& s = api_active_system_setting();
    m_color = s.get_long_val(MB_System_Setting::k_long_color);
    m_display_width = s.get_long_val(MB_System_Setting::k_long_display_width);
    m_line_scale = s.get_real_val(MB_System_Setting::k_real_line_scale);
    m_width = s.get_real_val(MB_System_Setting::k_real_width);
    m_thickness = s.get_real_val(MB_System_Setting::k_real_thickness);
    m_layer = api_active_current_layer();
}

MB_General::~MB_General() = default;

bool MB_General::copy_to(MB_Object*& target)
{
    auto* drawable = dynamic_cast<MB_Drawable*>(target);
    if (!drawable) return false;
    MB_General& g = drawable->general();
    g.m_color = m_color;
    g.m_display_width = m_display_width;
    g.m_line_scale = m_line_scale;
    g.m_width = m_width;
    g.m_thickness = m_thickness;
    g.m_layer = m_layer;
    g.m_line_type = m_line_type;
    g.m_url = m_url;
    return true;
}

MB_Drawable::MB_Drawable() = default;

MB_Drawable::MB_Drawable(const MB_Drawable& other)
    : MB_Object(other), m_general(other.m_general), m_flag(other.m_flag), m_rect(other.m_rect)
{
    if (other.m_extra) {
        m_extra = std::make_unique<Extra>(*other.m_extra);
        m_extra->owns_object_list = false;
    }
}

MB_Drawable& MB_Drawable::operator=(const MB_Drawable& other)
{
    if (this == &other) return *this;
    MB_Object::operator=(other);
    m_general = other.m_general;
    m_flag = other.m_flag;
    if (object_list() != other.object_list()) release_object_list();
    if (other.m_extra)
        extra() = *other.m_extra;
    else if (m_extra)
        *m_extra = Extra();
    if (m_extra) m_extra->owns_object_list = false;
    m_rect = other.m_rect;
    draw_node(nullptr);
    return *this;
}

MB_Drawable::~MB_Drawable()
{
    mb_delete_draw_node(m_draw_node);
    release_object_list();
}

void MB_Drawable::copy_host_values(const MB_Drawable& other)
{
    if (this == &other || (!other.m_extra && !m_extra)) return;
    Extra& e = extra();
    if (!other.m_extra) {
        e.user_id = 0;
        e.string = MB_String();
        e.real_val = 0.0;
        e.xdata = MB_Xdata();
        return;
    }
    e.user_id = other.m_extra->user_id;
    e.string = other.m_extra->string;
    e.real_val = other.m_extra->real_val;
    e.xdata = other.m_extra->xdata;
}

void MB_Drawable::release_object_list()
{
    if (!m_extra) return;
    if (m_extra->owns_object_list && m_extra->object_list) {
        m_extra->object_list->kill_all();
        delete m_extra->object_list;
    }
    m_extra->object_list = nullptr;
    m_extra->owns_object_list = false;
}

char MB_Drawable::pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&)
{
    return 0;
}

void MB_Drawable::build_draw() {}
void MB_Drawable::build_extent()
{
    build_draw();
}
void MB_Drawable::draw_key_point(HDC, Qe_Qdc&, const Qe_Tran&) {}
void MB_Drawable::draw(HDC, Qe_Qdc&, Qe_Tran&) {}
void MB_Drawable::translate(const Qe_Tran&, short) {}
void MB_Drawable::rebuild(MB_Drawing*) {}

void MB_Drawable::draw_node(MB_Draw_Node* node)
{
    if (node == m_draw_node) return;
    mb_delete_draw_node(m_draw_node);
    m_draw_node = node;
}

void MB_Drawable::build_draw_node_with_ltype(Qe_Pt_Set& points)
{
    draw_node(nullptr);
    MB_Line_Type* ltype = m_general.line_type();
    if (!ltype || ltype->pattern_length() == 0.0) return;
    draw_node(mb_make_line_type_node(points, m_general.color(), m_general.line_scale(), ltype, this));
}

void MB_Drawable::flag(unsigned short state)
{
    m_flag = state;
    if (m_draw_node) mb_draw_node_flag(m_draw_node, static_cast<char>(state));
}

bool MB_Drawable::copy_to(MB_Object*& target)
{
    auto* d = dynamic_cast<MB_Drawable*>(target);
    if (!d) return false;
    d->set_id(id());
    d->owner(owner());
    if (d == this) return m_general.copy_to(target);
    MB_Object_List* list = nullptr;
    if (MB_Object_List* members = object_list()) {
        // The clones are the target's members, not drawing content: recorded, a redo would
        // link them into the drawing's list.
        MB_Recording_Pause pause;
        list = new MB_Object_List;
        for (MB_Object* o = members->get_head(); o; o = o->next()) {
            MB_Object* clone = nullptr;
            if (!o->copy_to(clone) || !clone) {
                delete clone;
                continue;
            }
            clone->next(nullptr);
            clone->prev(nullptr);
            list->add_tail(clone);
        }
    }
    // The clones are the target's own: a list it made earlier (an undo copying a backup
    // into a live object again and again) goes, instead of being left behind.
    d->release_object_list();
    if (list) {
        d->extra().object_list = list;
        d->m_extra->owns_object_list = true;
    }
    return m_general.copy_to(target);
}

Qe_Pt MB_Drawable::get_point(int key)
{
    switch (key) {
    case k_key_lt: return m_rect.lt();
    case k_key_rb: return m_rect.rb();
    case k_key_rt: return Qe_Pt(m_rect.rb().x(), m_rect.lt().y(), 0.0);
    case k_key_lb: return Qe_Pt(m_rect.lt().x(), m_rect.rb().y(), 0.0);
    case k_key_center:
    case k_key_middle: return m_rect.center();
    default: return Qe_Pt();
    }
}

double MB_Drawable::get_real(int key)
{
    switch (key) {
    case k_key_width: return m_general.width();
    case k_key_line_scale: return m_general.line_scale();
    case k_key_real_value: return real_val();
    case k_key_height: return m_rect.lt().y() - m_rect.rb().y();
    case k_key_width_of_rect: return m_rect.rb().x() - m_rect.lt().x();
    default: return 0.0;
    }
}

long MB_Drawable::get_int(int key)
{
    switch (key) {
    case k_key_color: return m_general.color();
    case k_key_user_id: return static_cast<long>(user_id());
    case k_key_display_width: return m_general.display_width();
    default: return 0;
    }
}

const char* MB_Drawable::get_string(int key)
{
    switch (key) {
    case k_key_layer_name: {
        MB_Layer* layer = m_general.layer();
        return layer ? layer->name().ascii() : k_no_layer;
    }
    case k_key_line_type_name: return m_general.line_type() ? m_general.line_type()->name() : nullptr;
    case k_key_line_type_desc: return m_general.line_type() ? m_general.line_type()->desc() : nullptr;
    case k_key_none: return nullptr;
    case k_key_xdata: return m_extra ? m_extra->xdata.buffer() : nullptr;
    default: return m_extra ? m_extra->string.ascii() : nullptr;
    }
}

void MB_Drawable::set_real(long key, double value)
{
    switch (key) {
    case k_key_width: m_general.width(value); break;
    case k_key_line_scale: m_general.line_scale(value); break;
    case k_key_real_value: real_val(value); break;
    default: break;
    }
}

void MB_Drawable::set_int(long key, long value)
{
    switch (key) {
    case k_key_color: m_general.color(value); break;
    case k_key_user_id: user_id(static_cast<mb_ulong>(value)); break;
    case k_key_display_width: m_general.display_width(value); break;
    default: break;
    }
}

void MB_Drawable::set_point(long, const Qe_Pt&) {}

void MB_Drawable::set_string(long key, const char* value)
{
    if (!value) return;
    switch (key) {
    case k_key_string: extra().string = value; break;
    case k_key_xdata: {
        const std::size_t n = std::strlen(value);
        if (n <= static_cast<std::size_t>(MB_Xdata::k_max_bytes)) extra().xdata.buffer(value, static_cast<int>(n));
        break;
    }
    default: break;
    }
}

template <typename Match>
void MB_Drawable::set_layer_where(MB_Drawing& drawing, Match match)
{
    for (MB_Object* o = drawing.layer_list().get_head(); o; o = o->next()) {
        auto* layer = static_cast<MB_Layer*>(o);
        if (!match(*layer)) continue;
        m_general.layer(layer);
        if (!layer->visibility()) flag(State_Hidden);
        return;
    }
}

void MB_Drawable::set_layer(const MB_String& name, MB_Drawing& drawing)
{
    MB_Layer* layer = drawing.find_layer_exact(name);
    if (!layer) return;
    m_general.layer(layer);
    if (!layer->visibility()) flag(State_Hidden);
}

void MB_Drawable::set_layer(unsigned short id, MB_Drawing& drawing)
{
    set_layer_where(drawing, [&](MB_Layer& l) { return l.id() == id; });
}

long MB_Drawable::get_draw_precision()
{
    const long own = draw_precision();
    return own > 0 ? own : get_def_draw_precision();
}

long MB_Drawable::get_def_draw_precision()
{
    using S = MB_System_Setting;
    int index = S::k_long_precision_circle;
    switch (object_id()) {
    case ID_ARC: index = S::k_long_precision_arc; break;
    case ID_BSPLINE: index = S::k_long_precision_bspline; break;
    case ID_ELLIPSE: index = S::k_long_precision_ellipse; break;
    case ID_ELLIPSE_ARC: index = S::k_long_precision_elliptic_arc; break;
    case ID_POLYLINE: index = S::k_long_precision_polyline; break;
    default: break;
    }
    return api_active_system_setting().get_long_val(index);
}

void MB_Drawable::build_save_flag()
{
    if (!m_extra) return;
    Extra& e = *m_extra;
    e.save_flag = 0;
    if (e.id != 0) e.save_flag |= Save_Id;
    if (e.user_id != 0) e.save_flag |= Save_User_Id;
    if (e.string.length() > 0) e.save_flag |= Save_String;
    if (e.real_val != 0.0) e.save_flag |= Save_Real;
    if (e.xdata.size() != 0) e.save_flag |= Save_Xdata;
}

long mb_display_color(long colour)
{
    const long background = api_active_system_setting().get_long_val(MB_System_Setting::k_long_background);
    return colour == background ? (colour ^ 0xFFFFFF) & 0xFFFFFF : colour;
}

MB_Geom::~MB_Geom() = default;

void MB_Geom::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    MB_Draw_Node* node = draw_node();
    const int n = m_edge.count();
    std::vector<POINT> pixels(node ? 0 : static_cast<std::size_t>(n));
    for (int i = 0; i < static_cast<int>(pixels.size()); ++i) {
        const Qe_Pt p = m_edge.points()[i] * t;
        pixels[i] = POINT{api_mb_to_pixel(p.x()), api_mb_to_pixel(p.y())};
    }
    if (hdc) {
        if (node)
            mb_draw_node_draw(node, hdc, t);
        else if (n > 0)
            ::Polyline(hdc, pixels.data(), n);
        return;
    }
    const MB_General& g = general();
    if (g.display_width() > 0) {
        long colour = g.color();
        // A colour equal to the background would vanish: it is drawn inverted.
        colour = mb_display_color(colour);
        HDC mem = qdc.GetDC();
        HPEN pen = CreatePen(PS_SOLID, static_cast<int>(g.display_width()), static_cast<COLORREF>(colour));
        HGDIOBJ old = SelectObject(mem, pen);
        if (node)
            mb_draw_node_draw(node, mem, t);
        else if (n > 0)
            ::Polyline(mem, pixels.data(), n);
        SelectObject(mem, old);
        DeleteObject(pen);
        return;
    }
    if (node) {
        mb_draw_node_draw(node, qdc, t);
    } else if (n == 2) {
        if (pixels[0].x != pixels[1].x || pixels[0].y != pixels[1].y)
            qdc.Line(pixels[0].x, pixels[0].y, pixels[1].x, pixels[1].y);
    } else if (n > 0) {
        qdc.Polyline(pixels.data(), n);
    }
}

double MB_Geom::get_param(const Qe_Pt&)
{
    return 0.0;
}

Qe_Pt MB_Geom::get_point_by_param(double)
{
    return Qe_Pt();
}

bool MB_Geom::build_by_param(MB_Geom*&, double, double)
{
    return true;
}

namespace {

// Folds one listed object into the union; what is not a drawable has no rectangle.
void unite(const MB_Object* obj, Qe_Rect& box, bool& any)
{
    if (!obj || !obj->is_drawable()) return;
    const Qe_Rect& r = static_cast<const MB_Drawable*>(obj)->rect();
    if (any)
        box.union_rect(r);
    else
        box = r;
    any = true;
}

}  // namespace

bool api_mb_get_entity_list_rect(Qe_Void_List& entities, Qe_Rect& out)
{
    bool any = false;
    Qe_Rect box;
    for (Qe_Void_Node* n = entities.head(); n; n = n->next()) unite(static_cast<const MB_Object*>(n->entity()), box, any);
    if (any) out = box;
    return any;
}

bool api_mb_get_entity_list_rect(MB_Object_List& entities, Qe_Rect& out)
{
    bool any = false;
    Qe_Rect box;
    for (const MB_Object* o = entities.get_head(); o; o = o->next()) unite(o, box, any);
    if (any) out = box;
    return any;
}
