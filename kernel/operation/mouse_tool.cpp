#include "kernel/operation/mouse_tool.h"

#include <cmath>
#include <vector>

#include "geometry/rect.h"
#include "kernel/database/drawable.h"
#include "kernel/display/draw_render.h"
#include "kernel/entity_base/line.h"
#include "kernel/operation/operation.h"

constinit MB_Mouse_Cursor_Callback g_mouse_cursor_callback = nullptr;

namespace {

constexpr long k_relation_colour = 0x00FF00;

// The snap tolerance in drawing units for a view.
double snap_tol_of(MB_Draw_Render& r)
{
    return r.screen_to_drawing().scaling() * MB_Mouse_Tool::m_snap_tol;
}

}  // namespace

// ---- MB_Relation

MB_Relation::~MB_Relation() = default;

bool MB_Relation::is_same(MB_Relation& other)
{
    if (m_type != other.m_type) return false;
    if (m_ent_list.is_empty() || other.m_ent_list.is_empty()) return false;
    return m_ent_list.count() == other.m_ent_list.count() && m_ent_list.first() == other.m_ent_list.first();
}

void MB_Relation::add_draw_note_to_rubber(MB_Rubber& rubber)
{
    auto* d = static_cast<MB_Drawable*>(m_ent_list.first());
    if (!d) return;
    MB_Rubber_Lines* node = nullptr;
    if (d->object_id() == MB_Object::ID_LINE) {
        if (auto* line = dynamic_cast<MB_Line*>(d)) node = new MB_Rubber_Lines(line->points(), 2);
    } else if (d->object_id() == MB_Object::ID_LINES) {
        if (auto* lines = dynamic_cast<MB_Lines*>(d)) node = new MB_Rubber_Lines(lines->points(), lines->count());
    }
    if (!node) return;
    node->set_prop(0, 0, k_relation_colour);
    rubber.add_node_to_newlist(node);
}

// ---- MB_Mouse_Tool

MB_Mouse_Tool::MB_Mouse_Tool() = default;

MB_Mouse_Tool::MB_Mouse_Tool(long id, MB_String title, MB_Operation* operation)
    : m_operation(operation), m_title(title), m_tag(static_cast<unsigned long>(id))
{
    if (!m_operation) return;
    m_operation->clear_all_tools();
    m_operation->mousetool_list().addIfAbsent(this);
    m_rubber.draw_render(m_operation->draw_render());
    m_snap_rubber.draw_render(m_operation->draw_render());
}

MB_Mouse_Tool::~MB_Mouse_Tool()
{
    snap_stop();
    if (m_operation) m_operation->mousetool_list().removeValue(this);
    m_rubber.reset();
}

int MB_Mouse_Tool::process_mouse_event(int msg, int x, int y, const Qe_Pt& pt, int flags)
{
    m_x = x;
    m_y = y;
    m_cur_pos = pt;
    m_snap_pos = pt;
    if (m_snap) process_snap(pt);
    switch (msg) {
    case WM_MOUSEMOVE:
        mousemove(flags);
        if (g_mouse_cursor_callback) {
            const MB_Relation* r = get_relation();
            g_mouse_cursor_callback(r ? static_cast<int>(r->type()) : -1, 0);
        }
        break;
    case WM_LBUTTONDOWN: lbuttondown(flags); break;
    case WM_LBUTTONUP: lbuttonup(flags); break;
    case WM_LBUTTONDBLCLK: lbuttondblclk(flags); break;
    case WM_RBUTTONDOWN: rbuttondown(flags); break;
    case WM_RBUTTONUP: rbuttonup(flags); break;
    case WM_RBUTTONDBLCLK: rbuttondblclk(flags); break;
    default: break;
    }
    return 1;
}

int MB_Mouse_Tool::process_keyboard_event(int msg, unsigned key, unsigned, unsigned)
{
    if (key != VK_SHIFT) return 0;
    if (msg == static_cast<int>(WM_KEYDOWN)) m_snap = false;
    if (msg == static_cast<int>(WM_KEYUP)) m_snap = true;
    return 0;
}

void MB_Mouse_Tool::lbuttondown(int) {}
void MB_Mouse_Tool::lbuttonup(int) {}
void MB_Mouse_Tool::lbuttondblclk(int) {}
void MB_Mouse_Tool::rbuttondown(int) {}
void MB_Mouse_Tool::rbuttonup(int) {}
void MB_Mouse_Tool::rbuttondblclk(int) {}
void MB_Mouse_Tool::mousemove(int) {}
void MB_Mouse_Tool::draw(HDC) {}

MB_Drawing* MB_Mouse_Tool::drawing() const
{
    return m_operation ? m_operation->drawing() : nullptr;
}

MB_Draw_Render* MB_Mouse_Tool::draw_render() const
{
    if (m_search_render) return m_search_render;
    return m_operation ? m_operation->draw_render() : nullptr;
}

void MB_Mouse_Tool::bind_render(MB_Draw_Render* r)
{
    // The relations may name drawables of a drawing that is gone.
    clear_relation_list(m_relation_list);
    clear_relation_list(m_new_relation_list);
    m_rubber.forget_shown();
    m_snap_rubber.forget_shown();
    m_rubber.draw_render(r);
    m_snap_rubber.draw_render(r);
}

void MB_Mouse_Tool::forget_drawables(const std::vector<MB_Drawable*>& gone)
{
    if (gone.empty()) return;
    for (Qe_Void_List* list : {&m_relation_list, &m_new_relation_list})
        for (Qe_Void_Node* n = list->head(); n;) {
            auto* r = static_cast<MB_Relation*>(n->entity());
            bool names = false;
            for (MB_Drawable* d : gone) names = names || r->ent_list().contains(d);
            if (names) {
                n = list->remove_node(n);
                delete r;
            } else {
                n = n->next();
            }
        }
    m_rubber.forget_drawables(gone);
    m_snap_rubber.forget_drawables(gone);
}

bool MB_Mouse_Tool::clear_pos_list()
{
    m_pos_list.kill_all();
    return true;
}

void MB_Mouse_Tool::restart()
{
    clear_pos_list();
    snap_restart();
}

void MB_Mouse_Tool::snap_start()
{
    m_snap_rubber.reset();
    m_snap = true;
}

void MB_Mouse_Tool::snap_stop()
{
    m_snap = false;
    clear_relation_list(m_relation_list);
    clear_relation_list(m_new_relation_list);
    m_snap_rubber.reset();
}

void MB_Mouse_Tool::snap_restart()
{
    clear_relation_list(m_relation_list);
    clear_relation_list(m_new_relation_list);
    m_snap_rubber.reset();
    m_snap = true;
}

MB_Relation* MB_Mouse_Tool::get_relation() const
{
    return static_cast<MB_Relation*>(m_relation_list.first());
}

MB_Drawable* MB_Mouse_Tool::get_snap_entity() const
{
    const MB_Relation* r = get_relation();
    return r ? static_cast<MB_Drawable*>(const_cast<MB_Relation*>(r)->ent_list().first()) : nullptr;
}

void MB_Mouse_Tool::create_relation()
{
    MB_Draw_Render* r = draw_render();
    if (!r) return;
    const double t = snap_tol_of(*r);
    const Qe_Pt cursor = m_cur_pos;
    for (Qe_Void_Node* n = r->display_list().head(); n; n = n->next()) {
        auto* d = static_cast<MB_Drawable*>(n->entity());
        if (!d) continue;
        // Locked drawables and those whose general has its first flag bit set are not snapped to.
        const unsigned char bits = d->general().flag();
        if (bits & (MB_General::Flag_Locked | MB_General::Flag_On)) continue;
        if (!d->rect().pt_in_rect(cursor, t)) continue;
        Qe_Pt picked = cursor;
        int type = 0;
        int extra = 0;
        if (!d->pick(cursor, m_pos_list, t, picked, type, extra)) continue;
        auto* relation = new MB_Relation(static_cast<unsigned short>(type), drawing());
        relation->ent_list().add(d);
        relation->ret_pos(picked);
        deal_with_relation(relation);
    }
}

void MB_Mouse_Tool::deal_with_relation(MB_Relation* r)
{
    const auto* first = static_cast<const MB_Relation*>(m_new_relation_list.first());
    if (first && r->type() < first->type())
        m_new_relation_list.add_head(r);
    else
        m_new_relation_list.add(r);
}

void MB_Mouse_Tool::add_relation()
{
    m_relation_list.append(m_new_relation_list);
    m_new_relation_list.clear();
}

bool MB_Mouse_Tool::is_same_relation()
{
    if (m_new_relation_list.count() != m_relation_list.count()) return false;
    auto* a = static_cast<MB_Relation*>(m_new_relation_list.first());
    auto* b = static_cast<MB_Relation*>(m_relation_list.first());
    return a && b && a->is_same(*b);
}

void MB_Mouse_Tool::clear_relation_list(Qe_Void_List& list)
{
    std::vector<MB_Relation*> gone;
    for (Qe_Void_Node* n = list.head(); n; n = n->next()) gone.push_back(static_cast<MB_Relation*>(n->entity()));
    list.clear();
    for (MB_Relation* r : gone) delete r;
}

void MB_Mouse_Tool::process_snap(const Qe_Pt& pt)
{
    m_cur_pos = pt;
    clear_relation_list(m_new_relation_list);
    create_relation();
    if (m_new_relation_list.is_empty()) {
        clear_relation_list(m_relation_list);
        return;
    }
    // The snapped point is the one of the relation that leads (the lowest type), not the
    // last one found.
    m_snap_pos = static_cast<MB_Relation*>(m_new_relation_list.first())->ret_pos();
    if (is_same_relation()) {
        get_relation()->ret_pos(m_snap_pos);
        clear_relation_list(m_new_relation_list);
        return;
    }
    clear_relation_list(m_relation_list);
    add_relation();
}

void MB_Mouse_Tool::highlight_relation()
{
    m_snap_rubber.reset();
    MB_Relation* r = get_relation();
    if (!r || r->ent_list().is_empty()) return;
    m_snap_rubber.draw_begin();
    m_snap_rubber.highlight_entity_list(r->ent_list());
    m_snap_rubber.draw_end();
}

bool api_get_snap_pos(MB_Draw_Render& render, Qe_Pt pt, Qe_Pt& out_pos, int& out_type, Qe_Void_List& out_entities)
{
    // Not the binding constructor: that one would delete the operation's own tool.
    MB_Mouse_Tool probe;
    probe.m_operation = render.operation();
    probe.m_search_render = &render;
    probe.m_snap_pos = pt;
    probe.process_snap(pt);
    MB_Relation* r = probe.get_relation();
    // It never joined the tool list, so it must not leave it either.
    probe.m_operation = nullptr;
    if (!r) return false;
    out_pos = probe.snap_pos();
    out_type = r->type();
    if (MB_Drawable* d = probe.get_snap_entity()) out_entities.add(d);
    return true;
}

double api_mb_get_snap_tol()
{
    MB_Operation* op = api_active_operation();
    MB_Draw_Render* r = op ? op->draw_render() : nullptr;
    return r ? snap_tol_of(*r) : 0.0;
}
