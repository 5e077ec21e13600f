#include "kernel/operation/flat_transform.h"

#include <cmath>

#include "geometry/point.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/drawing.h"
#include "kernel/database/operation_context.h"
#include "kernel/entities/circle.h"
#include "kernel/entities/dimension.h"
#include "kernel/entities/ellipse.h"
#include "kernel/entities/full_transform.h"
#include "kernel/entities/group.h"
#include "kernel/entities/hatch.h"
#include "kernel/entities/hatch_lines.h"
#include "kernel/entities/insert.h"
#include "kernel/operation/operation.h"
#include "kernel/text/mtext.h"
#include "kernel/text/text.h"
#include "kernel/text/text_style.h"
#include "kernel/text/tolerance_frame.h"

namespace {

constexpr double k_two_pi = 2.0 * M_PI;

double wrap(double a)
{
    a = std::fmod(a, k_two_pi);
    return a < 0.0 ? a + k_two_pi : a;
}

bool finite(const Qe_Pt& p) { return std::isfinite(p.x()) && std::isfinite(p.y()) && std::isfinite(p.z()); }

// t about p: p moves to the origin, t acts, the origin goes back to p.
Qe_Tran about(const Qe_Pt& p, const Qe_Tran& t)
{
    return translate_transf(Qe_Vec(-p.x(), -p.y(), -p.z())) * t * translate_transf(Qe_Vec(p.x(), p.y(), p.z()));
}

MB_Drawable* drawable_at(const Qe_Void_Node* n)
{
    auto* o = static_cast<MB_Object*>(n->entity());
    return o && o->is_drawable() ? static_cast<MB_Drawable*>(o) : nullptr;
}

MB_Drawable* member_at(const Qe_Void_Node* n) { return static_cast<MB_Drawable*>(n->entity()); }

// The kinds whose shape apply_full_transform carries whole under a similarity.
bool is_plain_geometry(int id)
{
    switch (id) {
    case MB_Object::ID_POINT:
    case MB_Object::ID_LINE:
    case MB_Object::ID_LINES:
    case MB_Object::ID_BSPLINE:
    case MB_Object::ID_CIRCLE:
    case MB_Object::ID_SOLID:
    case MB_Object::ID_ARC:
    case MB_Object::ID_POLYLINE:
    case MB_Object::ID_ELLIPSE:
    case MB_Object::ID_ELLIPSE_ARC:
    case MB_Object::ID_HATCH:
    case MB_Object::ID_INSERT:
    case MB_Object::ID_IMAGE: return true;
    default: return false;
    }
}

// Recorded by apply_full_transform. Only a circle or arc under a map that is not a
// similarity changes kind, and no caller hands one in.
void carry_whole(MB_Drawable& e, const Qe_Tran& t)
{
    MB_Drawable* mapped = apply_full_transform(e, t);
    if (mapped != &e) delete mapped;
}

// The dimension's points and its block reference. The reference is the dimension's own:
// the dimension's record keeps it, so it records nothing itself.
void carry_dimension(MB_Dimension& dim, const Qe_Tran& t)
{
    dim.translate(t, 0);
    MB_Recording_Pause pause;
    carry_whole(*dim.insert(), t);
}

// A group's base point follows t (recorded); each member is handed to f.
template <class F>
void carry_group(MB_Group& group, const Qe_Tran& t, F&& f)
{
    group.modify_cmd();
    group.base_pt(group.base_pt() * t);
    for (Qe_Void_Node* n = group.object_list().head(); n; n = n->next())
        if (MB_Drawable* m = member_at(n)) f(*m);
}

// A mirror of the plane: the map and the angle of its line.
struct Mirror {
    Qe_Tran t;
    double line_angle;
};

// ---- rotation ----

bool rotate_entity(MB_Drawable& e, const Qe_Tran& t, double angle)
{
    const int id = e.object_id();
    if (is_plain_geometry(id)) {
        carry_whole(e, t);
        return true;
    }
    switch (id) {
    case MB_Object::ID_DIMENSION: {
        auto& dim = static_cast<MB_Dimension&>(e);
        if (!dim.insert()) return false;
        carry_dimension(dim, t);
        return true;
    }
    case MB_Object::ID_TEXT: {
        auto& text = static_cast<MB_Text&>(e);
        text.translate(t, 0);
        if (MB_Text_Style* style = text.text_style()) style->angle(style->angle() + angle);
        return true;
    }
    case MB_Object::ID_MTEXT: {
        auto& mtext = static_cast<MB_Mtext&>(e);
        mtext.modify_cmd();
        mtext.set_text_pos(mtext.text_pos() * t);
        const double a = mtext.direction_angle() + angle;
        mtext.direction(Qe_Vec(std::cos(a), std::sin(a), 0.0));
        return true;
    }
    case MB_Object::ID_TOLERANCE: {
        auto& frame = static_cast<MB_Tolerance&>(e);
        frame.translate(t, 0);
        frame.angle(frame.angle() + angle);
        return true;
    }
    case MB_Object::ID_GROUP:
        carry_group(static_cast<MB_Group&>(e), t, [&](MB_Drawable& m) { rotate_entity(m, t, angle); });
        return true;
    default: return false;
    }
}

// ---- mirror ----

// Arc-aligned texts, tolerance frames and dimensions without a reference have no mirrored
// form; a group has one unless all of its members lack it.
bool has_mirror_form(MB_Drawable& e)
{
    switch (e.object_id()) {
    case MB_Object::ID_ARC_TEXT:
    case MB_Object::ID_TOLERANCE: return false;
    case MB_Object::ID_DIMENSION: return static_cast<MB_Dimension&>(e).insert() != nullptr;
    case MB_Object::ID_GROUP: {
        Qe_Void_List& members = static_cast<MB_Group&>(e).object_list();
        if (members.is_empty()) return true;
        for (Qe_Void_Node* n = members.head(); n; n = n->next())
            if (member_at(n) && has_mirror_form(*member_at(n))) return true;
        return false;
    }
    default: return true;
    }
}

// Mirrors e in place. A text turns to face the other way along its line and reads
// backwards, so that its glyphs are the mirror images of the old ones. Group members
// without a mirrored form are dropped from the group: e is a copy being made.
void mirror_entity(MB_Drawable& e, const Mirror& m)
{
    const int id = e.object_id();
    if (is_plain_geometry(id)) {
        carry_whole(e, m.t);
        return;
    }
    switch (id) {
    case MB_Object::ID_DIMENSION: {
        auto& dim = static_cast<MB_Dimension&>(e);
        if (dim.insert()) carry_dimension(dim, m.t);
        return;
    }
    case MB_Object::ID_TEXT: {
        auto& text = static_cast<MB_Text&>(e);
        text.translate(m.t, 0);
        if (MB_Text_Style* style = text.text_style()) {
            style->angle(wrap(2.0 * m.line_angle - style->angle() - M_PI));
            style->font_style(style->font_style() ^ MB_Text_Style::Mirror_Across_Direction);
        }
        return;
    }
    case MB_Object::ID_MTEXT: {
        auto& mtext = static_cast<MB_Mtext&>(e);
        mtext.modify_cmd();
        mtext.set_text_pos(mtext.text_pos() * m.t);
        mtext.backword(!mtext.backword());
        const double a = 2.0 * m.line_angle - mtext.direction_angle() - M_PI;
        mtext.direction(Qe_Vec(std::cos(a), std::sin(a), 0.0));
        return;
    }
    case MB_Object::ID_GROUP: {
        auto& group = static_cast<MB_Group&>(e);
        group.modify_cmd();
        group.base_pt(group.base_pt() * m.t);
        Qe_Void_List& members = group.object_list();
        for (Qe_Void_Node* n = members.head(); n;) {
            MB_Drawable* member = member_at(n);
            if (member && has_mirror_form(*member)) {
                mirror_entity(*member, m);
                n = n->next();
            } else {
                delete member;
                n = members.remove_node(n);
            }
        }
        return;
    }
    default: return;
    }
}

// ---- scale ----

// Scaling by factors a, b > 0 (t, about the point); sizes grow by k. False for the kinds
// scaling leaves alone.
bool scale_entity(MB_Drawable& e, const Qe_Tran& t, double a, double b, double k);

void scale_insert(MB_Insert& ins, const Qe_Tran& t, double a, double b)
{
    ins.modify_cmd();
    ins.point(ins.point() * t);
    const double* s = ins.scale();
    const double scales[3] = {a * s[0], b * s[1], s[2]};
    ins.scale(scales);
    ins.build_transf();
}

bool scale_entity(MB_Drawable& e, const Qe_Tran& t, double a, double b, double k)
{
    switch (e.object_id()) {
    case MB_Object::ID_POINT:
    case MB_Object::ID_LINE:
    case MB_Object::ID_LINES:
    case MB_Object::ID_BSPLINE:
    case MB_Object::ID_SOLID:
    case MB_Object::ID_POLYLINE:
    case MB_Object::ID_IMAGE: carry_whole(e, t); return true;
    case MB_Object::ID_CIRCLE:
    case MB_Object::ID_ARC: {
        // A circle stays a circle: its radius follows the x axis.
        auto& c = static_cast<MB_Circle&>(e);
        const Qe_Pt centre = c.center() * t;
        const Qe_Pt rim = (c.center() + Qe_Vec(c.radius(), 0.0, 0.0)) * t;
        c.center(centre);
        c.radius((rim - centre).len());
        if (auto* arc = dynamic_cast<MB_Arc*>(&c)) arc->build_start_end_pos();
        return true;
    }
    case MB_Object::ID_ELLIPSE:
    case MB_Object::ID_ELLIPSE_ARC: {
        // The axes keep their directions and take the lengths their ends map to.
        auto& el = static_cast<MB_Ellipse&>(e);
        el.modify_cmd();
        const Qe_Pt centre = el.center() * t;
        const Qe_Pt major_end = (el.center() + el.get_major_vector()) * t;
        const Qe_Pt minor_end = (el.center() + el.get_minor_vector()) * t;
        el.center(centre);
        el.major((major_end - centre).len());
        el.minor((minor_end - centre).len());
        return true;
    }
    case MB_Object::ID_HATCH: {
        auto& h = static_cast<MB_Hatch&>(e);
        h.translate(t, 0);
        h.base_pos(h.base_pos() * t);
        MB_Hatch_Type* pattern = h.get_hatchtype();
        pattern->scale(pattern->scale() * k);
        return true;
    }
    case MB_Object::ID_INSERT: scale_insert(static_cast<MB_Insert&>(e), t, a, b); return true;
    case MB_Object::ID_DIMENSION: {
        auto& dim = static_cast<MB_Dimension&>(e);
        if (!dim.insert()) return false;
        dim.translate(t, 0);
        MB_Recording_Pause pause;
        scale_insert(*dim.insert(), t, a, b);
        return true;
    }
    case MB_Object::ID_TEXT: {
        auto& text = static_cast<MB_Text&>(e);
        text.translate(t, 0);
        if (MB_Text_Style* style = text.text_style()) style->height(style->height() * k);
        return true;
    }
    case MB_Object::ID_MTEXT: {
        auto& mtext = static_cast<MB_Mtext&>(e);
        mtext.modify_cmd();
        mtext.set_text_pos(mtext.text_pos() * t);
        mtext.set_base_ht(mtext.base_ht() * k);
        mtext.set_width(mtext.width() * k);
        mtext.set_boxwid(mtext.boxwid() * k);
        mtext.set_boxht(mtext.boxht() * k);
        return true;
    }
    case MB_Object::ID_TOLERANCE: {
        auto& frame = static_cast<MB_Tolerance&>(e);
        frame.translate(t, 0);
        frame.set_height(frame.height() * k);
        return true;
    }
    case MB_Object::ID_GROUP:
        carry_group(static_cast<MB_Group&>(e), t, [&](MB_Drawable& m) { scale_entity(m, t, a, b, k); });
        return true;
    default: return false;
    }
}

// The part of a scaling with negative factors that is left once the sizes are scaled by
// the factors' absolute values: a half turn (both negative) or a mirror (one negative).
struct Reflection {
    bool half_turn;
    Mirror mirror;
};

void reflect_scaled(MB_Drawable& e, const Reflection& r)
{
    if (e.object_id() == MB_Object::ID_GROUP) {
        carry_group(static_cast<MB_Group&>(e), r.mirror.t, [&](MB_Drawable& m) { reflect_scaled(m, r); });
        return;
    }
    if (r.half_turn) {
        rotate_entity(e, r.mirror.t, M_PI);
    } else if (has_mirror_form(e)) {
        mirror_entity(e, r.mirror);
    } else if (e.object_id() == MB_Object::ID_TOLERANCE) {
        // No mirrored frame: its place follows.
        e.translate(r.mirror.t, 0);
    }
}

// A group's copy is recorded as made when it is constructed, its members (cloned while
// recording paused) not: undoing the copy would hand them to the drawing's list. Each
// recorded as made in the same command leaves with the group instead.
void record_members_made(MB_Group& group)
{
    for (Qe_Void_Node* n = group.object_list().head(); n; n = n->next()) {
        MB_Drawable* m = member_at(n);
        if (!m) continue;
        m->create_cmd();
        if (m->object_id() == MB_Object::ID_GROUP) record_members_made(static_cast<MB_Group&>(*m));
    }
}

}  // namespace

bool api_mb_rotate_entity_list(Qe_Void_List& list, const Qe_Pt& p, double angle)
{
    if (list.is_empty() || !finite(p) || !std::isfinite(angle)) return false;
    const Qe_Tran t = about(p, rotate_transf(angle, Qe_Vec(0.0, 0.0, 1.0)));
    for (Qe_Void_Node* n = list.head(); n; n = n->next())
        if (MB_Drawable* e = drawable_at(n); e && rotate_entity(*e, t, angle)) e->build_draw();
    return true;
}

bool api_mb_mirror_entity_list(Qe_Void_List& list, const Qe_Pt& p, const Qe_Uvec& dir, Qe_Void_List& out)
{
    if (list.is_empty() || !finite(p) || !std::isfinite(dir.x()) || !std::isfinite(dir.y())) return false;
    const double len = std::hypot(dir.x(), dir.y());
    if (!(len > 0.0)) return false;
    MB_Drawing* drawing = api_active_drawing();
    if (!drawing) return false;
    const Qe_Vec normal(dir.y() / len, -dir.x() / len, 0.0);
    const Mirror m{about(p, reflect_transf(normal)), std::atan2(dir.y(), dir.x())};
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) {
        MB_Drawable* e = drawable_at(n);
        if (!e || !has_mirror_form(*e)) continue;
        MB_Object* made = nullptr;
        if (!e->copy_to(made) || !made) {
            delete made;
            continue;
        }
        auto* copy = static_cast<MB_Drawable*>(made);
        {
            // The copy is new: its creation is its record.
            MB_Recording_Pause pause;
            mirror_entity(*copy, m);
        }
        if (copy->object_id() == MB_Object::ID_GROUP) record_members_made(static_cast<MB_Group&>(*copy));
        copy->build_draw();
        drawing->add_object(copy);
        out.add(copy);
        if (MB_Operation* op = api_active_operation()) op->draw_object(copy);
    }
    return true;
}

bool api_mb_scale_entity_list(Qe_Void_List& list, const Qe_Pt& p, double sx, double sy)
{
    if (list.is_empty() || !finite(p) || !std::isfinite(sx) || !std::isfinite(sy) || sx == 0.0 || sy == 0.0)
        return false;
    const double k = std::fabs(sx != 1.0 ? sx : sy != 1.0 ? sy : 1.0);
    const double a = std::fabs(sx), b = std::fabs(sy);
    const Qe_Tran t = about(p, scale_transf(a, b, 1.0));
    const bool reflects = sx < 0.0 || sy < 0.0;
    Reflection r{sx < 0.0 && sy < 0.0, {Qe_Tran(), 0.0}};
    if (r.half_turn) {
        r.mirror.t = about(p, rotate_transf(M_PI, Qe_Vec(0.0, 0.0, 1.0)));
    } else if (sx < 0.0) {
        r.mirror = {about(p, reflect_transf(Qe_Vec(1.0, 0.0, 0.0))), 0.5 * M_PI};
    } else if (sy < 0.0) {
        r.mirror = {about(p, reflect_transf(Qe_Vec(0.0, 1.0, 0.0))), 0.0};
    }
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) {
        MB_Drawable* e = drawable_at(n);
        if (!e || !scale_entity(*e, t, a, b, k)) continue;
        if (reflects) reflect_scaled(*e, r);
        e->build_draw();
    }
    return true;
}
