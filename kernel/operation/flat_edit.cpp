#include "kernel/operation/flat_edit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <vector>

#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/raster_device.h"
#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/database/block.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/database/line_type.h"
#include "kernel/display/draw_render.h"
#include "kernel/entities/dimension.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entities/group.h"
#include "kernel/entities/insert.h"
#include "kernel/entity_base/line.h"
#include "kernel/operation/operation.h"
#include "kernel/text/text_style.h"
#include "platform/gdi.h"
#include "platform/gdi_draw.h"

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

// ---- placeholders ----

bool api_mb_delete_selection(MB_Drawing&)
{
    return false;
}

void api_mb_clear_selectlist(MB_Drawing&, bool) {}

long api_mb_rect_select(MB_Drawing&, const Qe_Pt&, const Qe_Pt&, bool)
{
    return 0;
}

void api_mb_undo(MB_Drawing&) {}
void api_mb_redo(MB_Drawing&) {}
void api_mb_begin_cmd(MB_Drawing&, char*) {}
void api_mb_end_cmd(MB_Drawing&) {}

// ---- the drawing forms of delete and move ----

bool api_mb_delete_entity(MB_Drawing& drawing, MB_Object* object, bool redraw)
{
    for (Qe_Void_Node* n = g_operation_list.head(); n; n = n->next())
        if (auto* op = static_cast<MB_Operation*>(n->entity()); op && op->drawing() == &drawing)
            return op->delete_object(object, redraw);
    return false;
}

bool api_mb_moveto_entity(MB_Drawing&, MB_Drawable* entity, const Qe_Pt& from, const Qe_Pt& to)
{
    const Qe_Vec by = to - from;
    if (!entity || !std::isfinite(by.x()) || !std::isfinite(by.y()) || !std::isfinite(by.z())) return false;
    entity->translate(translate_transf(by), 0);
    entity->build_draw();
    return true;
}

// ---- edits ----

bool api_mb_delete_entity(MB_Object* object, MB_Operation& op)
{
    return op.delete_object(object, false);
}

bool api_mb_draw_object_list_on_dc(HDC hdc, Qe_Void_List& list, int cx, int cy, int width, int height)
{
    // Two pixels of margin on each side: what is left must hold a picture.
    constexpr int k_margin = 4;
    if (!hdc || list.is_empty() || width <= k_margin || height <= k_margin) return false;
    Qe_Rect r;
    if (!api_mb_get_entity_list_rect(list, r)) return false;
    const double w = r.rb().x() - r.lt().x(), h = r.lt().y() - r.rb().y();
    // An extent below resabs (a level or upright line) is fitted by the other one alone.
    double s = HUGE_VAL;
    if (std::fabs(w) >= resabs) s = std::min(s, (width - k_margin) / std::fabs(w));
    if (std::fabs(h) >= resabs) s = std::min(s, (height - k_margin) / std::fabs(h));
    if (!std::isfinite(s)) return false;
    const Qe_Pt c = r.center();
    Qe_Tran t = translate_transf(Qe_Vec(-c.x(), -c.y(), -c.z())) * scale_transf(s) * reflect_transf(Qe_Vec(0, 1, 0)) *
                translate_transf(Qe_Vec(cx, cy, 0));
    HPEN pen = CreatePen(PS_SOLID, 1, 0x0000FF);  // red
    HGDIOBJ old = SelectObject(hdc, pen);
    Qe_Qdc qdc;
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) {
        auto* o = static_cast<MB_Object*>(n->entity());
        if (o && o->is_drawable()) static_cast<MB_Drawable*>(o)->draw(hdc, qdc, t);
    }
    SelectObject(hdc, old);
    DeleteObject(pen);
    return true;
}

namespace {

bool break_line(MB_Line& line, const Qe_Pt& at, int kind, MB_Drawing& drawing)
{
    if (kind == Pick_Start || kind == Pick_End) return true;
    MB_Object* copy = nullptr;
    if (!line.copy_to(copy) || !copy) return false;
    auto* tail = static_cast<MB_Line*>(copy);
    tail->start(at);
    tail->build_draw();
    drawing.add_object(tail);
    line.end(at);
    line.build_draw();
    return true;
}

bool break_chain(MB_Lines& chain, const Qe_Pt& p, double tol, int kind, MB_Drawing& drawing)
{
    const int n = chain.count();
    if (n < 2 || same_point(p, chain.points()[0], resabs) || same_point(p, chain.points()[n - 1], resabs)) return false;
    if (kind == Pick_Vertex) return true;
    Qe_Pt at;
    const int d = chain.pt_set().snap_lines(p, tol, at);
    if (d < 0) return false;
    const std::vector<Qe_Pt> pts(chain.points(), chain.points() + n);
    MB_Object* copy = nullptr;
    if (!chain.copy_to(copy) || !copy) return false;
    auto* head = static_cast<MB_Lines*>(copy);
    std::vector<Qe_Pt> first(pts.begin(), pts.begin() + d + 1);
    first.push_back(at);
    head->init(static_cast<int>(first.size()), first.data());
    head->build_draw();
    drawing.add_object(head);
    std::vector<Qe_Pt> rest{at};
    rest.insert(rest.end(), pts.begin() + d + 1, pts.end());
    // init does not record: the backup is taken here, so undo gives the whole chain back.
    chain.modify_cmd();
    chain.init(static_cast<int>(rest.size()), rest.data());
    chain.build_draw();
    return true;
}

}  // namespace

bool api_mb_break_geom(MB_Drawable* entity, const Qe_Pt& p, double tol, MB_Drawing& drawing)
{
    if (!entity) return false;
    Qe_Pt_List hits;
    Qe_Pt at;
    int kind = 0, extra = 0;
    if (!entity->pick(p, hits, tol, at, kind, extra)) return false;
    switch (entity->object_id()) {
    case MB_Object::ID_LINE:
        return break_line(*static_cast<MB_Line*>(entity), at, kind, drawing);
    case MB_Object::ID_LINES:
        return break_chain(*static_cast<MB_Lines*>(entity), p, tol, kind, drawing);
    case MB_Object::ID_ARC:
    case MB_Object::ID_BSPLINE:
    case MB_Object::ID_CIRCLE:
    case MB_Object::ID_ELLIPSE:
    case MB_Object::ID_ELLIPSE_ARC:
        return true;
    default:
        return false;
    }
}

namespace {

// Groups nest only as deep as their records allow; the bound keeps a corrupt cycle from
// running away.
constexpr int k_max_nesting = 256;

using Drawable_Visit = std::function<void(MB_Drawable&)>;

// The drawable, then the members of a group and a dimension's bound reference, depth first.
void visit_drawable(MB_Drawable& d, const Drawable_Visit& f, int depth)
{
    if (depth > k_max_nesting) return;
    f(d);
    if (d.object_id() == MB_Object::ID_GROUP) {
        for (Qe_Void_Node* n = static_cast<MB_Group&>(d).object_list().head(); n; n = n->next())
            if (auto* o = static_cast<MB_Object*>(n->entity()); o && o->is_drawable())
                visit_drawable(static_cast<MB_Drawable&>(*o), f, depth + 1);
    } else if (d.object_id() == MB_Object::ID_DIMENSION) {
        if (MB_Insert* ref = static_cast<MB_Dimension&>(d).insert()) visit_drawable(*ref, f, depth + 1);
    }
}

void visit_list(MB_Object_List& list, const Drawable_Visit& f)
{
    for (MB_Object* o = list.get_head(); o; o = o->next()) {
        if (o->is_drawable())
            visit_drawable(static_cast<MB_Drawable&>(*o), f, 0);
        else if (o->object_id() == MB_Object::ID_BLOCK)
            visit_list(static_cast<MB_Block*>(o)->object_list(), f);
    }
}

// Every drawable the drawing holds: model space, the hidden list, the current layout and
// the layouts, the open block and the members of every block of the table.
void visit_drawing(MB_Drawing& d, const Drawable_Visit& f)
{
    visit_list(d.object_list(), f);
    visit_list(d.hide_list(), f);
    if (MB_Object_List* layout = d.current_layout_list(); layout && layout != &d.object_list()) visit_list(*layout, f);
    visit_list(d.layout_list(), f);
    if (MB_Block* open = d.temp_block(); open && !d.has_block(open)) visit_list(open->object_list(), f);
    visit_list(d.block_list(), f);
}

bool is_insert(const MB_Object& o)
{
    return o.object_id() == MB_Object::ID_INSERT || o.object_id() == MB_Object::ID_MINSERT;
}

bool listed(MB_Object_List& list, const MB_Object* obj)
{
    if (!obj) return false;
    for (MB_Object* o = list.get_head(); o; o = o->next())
        if (o == obj) return true;
    return false;
}

// A copy, or an object taken out of a list, still carries the links it had there.
template <class T>
T* unlinked(T* obj)
{
    obj->next(nullptr);
    obj->prev(nullptr);
    return obj;
}

template <class T>
T* take_out(MB_Object_List& list, T* obj)
{
    list.remove(obj);
    return obj;
}

// Takes drawables that leave a drawing out of the selections and views that show it.
void forget_in_views(MB_Drawing& d, MB_Drawable* gone)
{
    for (Qe_Void_Node* n = g_operation_list.head(); n; n = n->next()) {
        auto* op = static_cast<MB_Operation*>(n->entity());
        if (!op || op->drawing() != &d) continue;
        op->selection().removeValue(gone);
        for (MB_Draw_Render* r = op->draw_render_list().head(); r; r = r->next()) {
            r->display_list().removeValue(gone);
            r->mark_list().removeValue(gone);
        }
    }
}

// Hands what the entities moved from source to target refer to over to target: each layer,
// line type and block of source is replaced by target's of the same name, or moved into
// target when source no longer uses it, or copied.
class Layer_Move {
public:
    Layer_Move(MB_Drawing& target, MB_Drawing& source) : m_target(target), m_source(source) {}

    void adopt(MB_Drawable& d, bool keep_line_type)
    {
        visit_drawable(d, [&](MB_Drawable& e) { adopt_one(e, keep_line_type || &e != &d); }, 0);
    }

    MB_Layer* layer(MB_Layer* l)
    {
        if (!l || !listed(m_source.layer_list(), l)) return l;
        if (auto it = m_layers.find(l); it != m_layers.end()) return it->second;
        MB_Layer* to = m_target.find_layer(l->name().ascii());
        if (!to) to = m_target.find_layer_exact(l->name());
        if (!to) {
            to = uses_layer(l) ? new MB_Layer(*l) : take_out(m_source.layer_list(), l);
            m_target.layer_list().add_tail(unlinked(to));
            to->line_type(line_type(to->line_type()));
        }
        m_layers[l] = to;
        return to;
    }

private:
    void adopt_one(MB_Drawable& e, bool keep_line_type)
    {
        MB_General& g = e.general();
        g.layer(layer(g.layer()));
        g.line_type(keep_line_type ? line_type(g.line_type()) : nullptr);
        if (is_insert(e)) {
            auto& ref = static_cast<MB_Insert&>(e);
            ref.block(block(ref.block()));
        }
    }

    MB_Line_Type* line_type(MB_Line_Type* t)
    {
        if (!t || !listed(m_source.line_type_list(), t)) return t;
        if (auto it = m_line_types.find(t); it != m_line_types.end()) return it->second;
        MB_Line_Type* to = m_target.find_line_type(t->name(), nullptr);
        if (!to) {
            // Source keeps its own: line types are shared by layers and entities alike.
            to = unlinked(new MB_Line_Type(*t));
            if (MB_Linetype_Node* first = to->linetype_loop().head()) {
                MB_Linetype_Node* node = first;
                do {
                    if (MB_Text_Style* s = node->text_style())
                        node->text_style(listed(m_source.text_style_list(), s) ? m_target.find_text_style(s->name().ascii()) : s);
                    node = node->next();
                } while (node && node != first);
            }
            m_target.line_type_list().add_tail(to);
        }
        m_line_types[t] = to;
        return to;
    }

    MB_Block* block(MB_Block* b)
    {
        if (!b || !listed(m_source.block_list(), b)) return b;
        if (auto it = m_blocks.find(b); it != m_blocks.end()) return it->second;
        MB_Block* to = m_target.find_block(b->name().ascii());
        if (!to) to = m_target.find_block_exact(b->name());
        if (to) {
            m_blocks[b] = to;
            return to;
        }
        if (uses_block(b)) {
            MB_Object* copy = nullptr;
            b->copy_to(copy);
            to = static_cast<MB_Block*>(copy);
        } else {
            to = take_out(m_source.block_list(), b);
        }
        m_target.block_list().add_tail(unlinked(to));
        // Mapped before its members are followed, so that a block that uses itself ends.
        m_blocks[b] = to;
        for (MB_Object* o = to->object_list().get_head(); o; o = o->next())
            if (o->is_drawable()) adopt(static_cast<MB_Drawable&>(*o), true);
        return to;
    }

    bool uses_layer(const MB_Layer* l)
    {
        bool used = false;
        visit_drawing(m_source, [&](MB_Drawable& e) { used = used || e.general().layer() == l; });
        for (Qe_Void_Node* n = g_operation_list.head(); n && !used; n = n->next()) {
            auto* op = static_cast<MB_Operation*>(n->entity());
            used = op && op->drawing() == &m_source && op->current_layer() == l;
        }
        return used;
    }

    bool uses_block(const MB_Block* b)
    {
        bool used = false;
        visit_drawing(m_source, [&](MB_Drawable& e) { used = used || (is_insert(e) && static_cast<MB_Insert&>(e).block() == b); });
        return used;
    }

    MB_Drawing& m_target;
    MB_Drawing& m_source;
    std::unordered_map<MB_Layer*, MB_Layer*> m_layers;
    std::unordered_map<MB_Line_Type*, MB_Line_Type*> m_line_types;
    std::unordered_map<MB_Block*, MB_Block*> m_blocks;
};

}  // namespace

bool api_mb_insert_layer(MB_Drawing& target, MB_Drawing& source, char* name)
{
    if (&target == &source) return false;
    MB_Layer* layer = source.find_layer(name);
    if (!layer) return false;
    Qe_Void_List on_layer;
    layer->get_ent_list(on_layer, &source);
    if (on_layer.is_empty()) return false;
    (void)api_mb_simplify_drawing(source);

    std::vector<MB_Drawable*> moved;
    for (Qe_Void_Node* n = on_layer.head(); n; n = n->next()) {
        auto* e = static_cast<MB_Drawable*>(n->entity());
        forget_in_views(source, e);
        target.add_object(unlinked(take_out(source.object_list(), e)));
        moved.push_back(e);
    }
    Layer_Move move(target, source);
    // The named layer first: it moves unless source still uses it, as the others do.
    (void)move.layer(layer);
    for (MB_Drawable* e : moved) move.adopt(*e, false);
    return true;
}

bool api_mb_simplify_drawing(MB_Drawing& drawing)
{
    std::vector<const MB_Block*> used;
    visit_drawing(drawing, [&](MB_Drawable& e) {
        if (is_insert(e)) used.push_back(static_cast<MB_Insert&>(e).block());
    });
    std::sort(used.begin(), used.end());
    std::vector<MB_Block*> unused;
    for (MB_Object* o = drawing.block_list().get_head(); o; o = o->next())
        if (o->object_id() == MB_Object::ID_BLOCK && !std::binary_search(used.begin(), used.end(), o))
            unused.push_back(static_cast<MB_Block*>(o));
    for (MB_Block* b : unused) b->lose(drawing.block_list());
    return !unused.empty();
}
