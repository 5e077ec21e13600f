#include "kernel/operation/operation.h"

#include <algorithm>
#include <new>
#include <unordered_set>

#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/raster_device.h"
#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/layer.h"
#include "kernel/display/draw_node.h"
#include "kernel/display/view_undo_redo.h"
#include "kernel/entities/group.h"
#include "kernel/operation/mouse_tool.h"
#include "kernel/stream/file_io.h"
#include "platform/window.h"

namespace {

bool listed(const MB_Object_List& list, const MB_Object* o)
{
    for (const MB_Object* m = list.get_head(); m; m = m->next())
        if (m == o) return true;
    return false;
}

// Whether o is an entry of one of the drawing's tables other than the layers.
bool in_tables(MB_Drawing& d, const MB_Object* o)
{
    for (const MB_Object_List* list : {&d.named_view_list(), &d.view_port_list(), &d.block_list(),
                                       &d.dim_style_list(), &d.text_style_list(), &d.line_type_list()})
        if (listed(*list, o)) return true;
    return false;
}

std::unordered_set<const MB_Object*> members_of(const MB_Object_List& list)
{
    std::unordered_set<const MB_Object*> set;
    for (const MB_Object* m = list.get_head(); m; m = m->next()) set.insert(m);
    return set;
}

// Whether a point of the node's polylines lies in the rectangle.
bool node_has_point_in(MB_Draw_Node* node, const Qe_Rect& r)
{
    if (!node) return false;
    auto any_in = [&r](const Qe_Pt* pts, unsigned long n) {
        for (unsigned long i = 0; i < n; ++i)
            if (r.pt_in_rect(pts[i], 0.0)) return true;
        return false;
    };
    switch (node->draw_node_id()) {
    case MB_Draw_Node::Draw_Lines_Set: {
        auto* set = static_cast<MB_Draw_Lines_Set*>(node);
        return any_in(set->points(), static_cast<unsigned long>(std::max(set->count(), 0)));
    }
    case MB_Draw_Node::Draw_Lines_Sets: {
        auto* sets = static_cast<MB_Draw_Lines_Sets*>(node);
        return any_in(sets->points(), sets->pts_count());
    }
    case MB_Draw_Node::Draw_Nodes:
        for (MB_Draw_Node* n = static_cast<MB_Draw_Nodes*>(node)->node_list().head(); n; n = n->next())
            if (node_has_point_in(n, r)) return true;
        return false;
    default:
        return false;
    }
}

// Crossing selection of a drawable whose rectangle meets the selection rectangle.
bool crosses(MB_Drawable& d, const Qe_Rect& r, Qe_Pt* outline)
{
    if (d.object_type() == MB_Object::TYPE_GEOMETRY) {
        Qe_Pt_Set& edge = static_cast<MB_Geom&>(d).edge();
        Qe_Pt_List hits;
        return api_mb_lines_intersection(outline, 5, edge.points(), edge.count(), hits);
    }
    switch (d.object_id()) {
    case MB_Object::ID_TEXT:
        return node_has_point_in(d.draw_node(), r);
    case MB_Object::ID_IMAGE:
        return true;
    case MB_Object::ID_GROUP:
        // A group is crossed where one of its members is.
        for (Qe_Void_Node* n = static_cast<MB_Group&>(d).object_list().head(); n; n = n->next()) {
            auto* m = static_cast<MB_Drawable*>(n->entity());
            if (m && m->rect().intersect_rect(&r) && crosses(*m, r, outline)) return true;
        }
        return false;
    default:
        return false;
    }
}

}  // namespace

constinit Qe_Void_List g_operation_list;
constinit MB_Operation* g_active_operation = nullptr;
constinit Qe_Void_List g_copy_list;
constinit Qe_Void_List g_temp_list;

MB_Operation::MB_Operation()
{
    g_operation_list.addIfAbsent(this);
    g_active_operation = this;
}

MB_Operation::~MB_Operation()
{
    g_operation_list.removeValue(this);
    g_active_operation = static_cast<MB_Operation*>(g_operation_list.last());
    m_dispatch_depth = 0;
    clear_all_tools();
    for (MB_Mouse_Tool* tool : m_retired_tools) delete tool;
    m_retired_tools.clear();
    // reset() clears the pointer before the record is destroyed, so nothing reaches a
    // half-destroyed record through this operation.
    m_undo_redo.reset();
    m_selection.clear();
    // The views point at the drawing: they go first.
    m_draw_render_list.kill_all();
    m_drawing.reset();
}

void MB_Operation::init(HWND wnd, MB_Drawing* drawing)
{
    clear_selectlist(false);
    m_draw_render_list.kill_all();
    if (drawing != m_drawing.get()) {
        m_drawing.reset();
        m_drawing.reset(drawing);
    }
    m_wnd = wnd;
    init_undoredo(drawing);
    rebuild_draw_render_list(drawing, wnd);
}

void MB_Operation::init(HWND wnd, const char* name)
{
    m_wnd = wnd;
    create_drawing(name);
}

bool MB_Operation::create_drawing(const char* name)
{
    clear_selectlist(false);
    // The views point at the drawing: they go first.
    m_draw_render_list.kill_all();
    m_drawing.reset();
    // After the drawing: objects that only the record still holds are freed by it.
    m_undo_redo.reset();
    m_drawing.reset(new (std::nothrow) MB_Drawing(MB_String(name)));
    init_undoredo(m_drawing.get());
    rebuild_draw_render_list(m_drawing.get(), m_wnd);
    return m_drawing != nullptr;
}

bool MB_Operation::close_drawing()
{
    clear_selectlist(false);
    m_draw_render_list.kill_all();
    rebind_tools();
    m_drawing.reset();
    m_undo_redo.reset();
    return true;
}

bool MB_Operation::load_jxb(const char* path)
{
    clear_selectlist(false);
    if (!path) return false;
    if (!m_drawing && !create_drawing("no name")) return false;
    MB_File_IO file;
    file.drawing(m_drawing.get());
    return file.load_jxb(path);
}

bool MB_Operation::save_jxb(const char* path)
{
    if (!path || !m_drawing) return false;
    MB_File_IO file;
    file.drawing(m_drawing.get());
    return file.save_jxb(path);
}

void MB_Operation::build_draw()
{
    if (m_drawing) m_drawing->build_draw();
}

void MB_Operation::rebuild_draw_render_list(MB_Drawing*, HWND)
{
    m_draw_render_list.kill_all();
    auto* model = new MB_Draw_Render;
    model->init(this, nullptr);
    m_draw_render_list.add(model);
    // The layout views join the list, so that they are found by layout and freed with the
    // list; model space stays at the head and current.
    if (MB_Drawing* d = m_drawing.get()) {
        for (MB_Object* layout = d->layout_list().get_head(); layout; layout = layout->next()) {
            auto* view = new MB_Draw_Render;
            view->init(this, layout);
            m_draw_render_list.add(view);
        }
    }
    m_draw_render_list.set_cur(nullptr);
    rebind_tools();
}

void MB_Operation::compute_transf()
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->compute_transf();
}

void MB_Operation::init_undoredo(MB_Drawing* drawing)
{
    m_undo_redo.reset();
    m_undo_redo = std::make_unique<MB_Undo_Redo>(drawing);
}

MB_Mouse_Tool* MB_Operation::get_active_tool() const
{
    return static_cast<MB_Mouse_Tool*>(m_mousetool_list.first());
}

class MB_Operation::Dispatch {
public:
    explicit Dispatch(MB_Operation& op) : m_op(op) { ++m_op.m_dispatch_depth; }
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;
    ~Dispatch()
    {
        if (--m_op.m_dispatch_depth > 0) return;
        // A retired tool's destructor may retire no one: routing has ended.
        std::vector<MB_Mouse_Tool*> retired;
        retired.swap(m_op.m_retired_tools);
        for (MB_Mouse_Tool* tool : retired) delete tool;
    }

private:
    MB_Operation& m_op;
};

MB_Mouse_Tool* MB_Operation::add_tool(int id, MB_String title)
{
    auto* tool = new MB_Mouse_Tool(id, title, this);
    m_mousetool_list.addIfAbsent(tool);
    return tool;
}

void MB_Operation::add_tool(MB_Mouse_Tool* tool)
{
    if (tool) m_mousetool_list.addIfAbsent(tool);
}

long MB_Operation::get_active_tool_id() const
{
    const MB_Mouse_Tool* tool = get_active_tool();
    return tool ? static_cast<long>(tool->tag()) : -1;
}

const char* MB_Operation::get_active_tool_title() const
{
    const MB_Mouse_Tool* tool = get_active_tool();
    if (!tool) return "No tool!";
    const char* text = tool->title().ascii();
    return text ? text : "";
}

MB_Drawable* MB_Operation::get_snap_entity() const
{
    const MB_Mouse_Tool* tool = get_active_tool();
    return tool ? tool->get_snap_entity() : nullptr;
}

void MB_Operation::clear_all_tools()
{
    // Detached first: each tool's destructor takes itself out of the list.
    std::vector<MB_Mouse_Tool*> tools;
    for (Qe_Void_Node* n = m_mousetool_list.head(); n; n = n->next())
        tools.push_back(static_cast<MB_Mouse_Tool*>(n->entity()));
    m_mousetool_list.clear();
    for (MB_Mouse_Tool* tool : tools) {
        if (m_dispatch_depth > 0)
            m_retired_tools.push_back(tool);
        else
            delete tool;
    }
}

MB_Mouse_Tool* MB_Operation::pop_tool(MB_Mouse_Tool*)
{
    auto* tool = static_cast<MB_Mouse_Tool*>(m_mousetool_list.first());
    if (tool) m_mousetool_list.removeAt(0);
    return tool;
}

void MB_Operation::rebind_tools()
{
    for (Qe_Void_Node* n = m_mousetool_list.head(); n; n = n->next())
        static_cast<MB_Mouse_Tool*>(n->entity())->bind_render(draw_render());
}

int MB_Operation::route_mouse(int msg, int x, int y, int flags)
{
    MB_Mouse_Tool* tool = get_active_tool();
    if (!tool) return 0;
    if (msg < static_cast<int>(WM_MOUSEMOVE) || msg > static_cast<int>(WM_RBUTTONDBLCLK)) return 1;
    Dispatch dispatch(*this);
    const Qe_Pt pt = Qe_Pt(x, y, 0.0) * screen_to_drawing();
    tool->process_mouse_event(msg, x, y, pt, flags);
    return 1;
}

int MB_Operation::process_mouse_event(int msg, unsigned flags, POINT& client_pt)
{
    return route_mouse(msg, client_pt.x, client_pt.y, static_cast<int>(flags));
}

int MB_Operation::process_event(int msg, int x, int y, int flags)
{
    return route_mouse(msg, x, y, flags);
}

int MB_Operation::process_event(MSG* msg)
{
    MB_Mouse_Tool* tool = get_active_tool();
    if (!tool) return 0;
    if (!msg) return 1;
    if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) {
        Dispatch dispatch(*this);
        tool->process_keyboard_event(static_cast<int>(msg->message), static_cast<unsigned>(msg->wParam), 1,
                                     static_cast<unsigned>(msg->lParam));
        return 1;
    }
    if (msg->message < WM_MOUSEMOVE || msg->message > WM_RBUTTONDBLCLK) return 1;
    POINT p = msg->pt;
    ScreenToClient(m_wnd, &p);
    return route_mouse(static_cast<int>(msg->message), p.x, p.y, 0);
}

int MB_Operation::process_keyboard_event(int msg, unsigned key, unsigned repeat, unsigned data)
{
    MB_Mouse_Tool* tool = get_active_tool();
    if (!tool) return 0;
    Dispatch dispatch(*this);
    tool->process_keyboard_event(msg, key, repeat, data);
    return 1;
}

// ---- selection and deletion

bool MB_Operation::add_entity_to_selection(MB_Drawable* entity, bool redraw)
{
    if (!entity || entity->general().lock()) return false;
    m_selection.addIfAbsent(entity);
    entity->flag(MB_Drawable::State_Selected);
    // The node draws as normal: the view draws the selection over it.
    if (MB_Draw_Node* node = entity->draw_node()) node->flag(1);
    if (redraw) redraw_all();
    return true;
}

bool MB_Operation::clear_selectlist(bool redraw)
{
    Qe_Void_List was;
    for (Qe_Void_Node* n = m_selection.head(); n; n = n->next()) {
        auto* d = static_cast<MB_Drawable*>(n->entity());
        d->flag(MB_Drawable::State_Normal);
        was.add(d);
    }
    m_selection.clear();
    if (redraw) redraw_list(was);
    return true;
}

bool MB_Operation::rect_select(const Qe_Pt& p1, const Qe_Pt& p2, bool redraw)
{
    clear_selectlist(true);
    if (!m_drawing) return true;
    const bool window = p1.x() < p2.x();
    const Qe_Rect box(Qe_Pt(std::min(p1.x(), p2.x()), std::max(p1.y(), p2.y()), 0.0),
                      Qe_Pt(std::max(p1.x(), p2.x()), std::min(p1.y(), p2.y()), 0.0));
    Qe_Pt outline[5] = {box.lt(), box.rt(), box.rb(), box.lb(), box.lt()};
    for (MB_Object* o = m_drawing->get_active_object_list().get_head(); o; o = o->next()) {
        if (!o->is_drawable()) continue;
        auto& d = static_cast<MB_Drawable&>(*o);
        if (d.flag() == MB_Drawable::State_Hidden || d.general().lock()) continue;
        bool take = box.rect_in_rect(d.rect());
        if (!take && !window && box.intersect_rect(&d.rect())) take = crosses(d, box, outline);
        if (take) add_entity_to_selection(&d, false);
    }
    if (redraw) redraw_list(m_selection);
    return true;
}

bool MB_Operation::delete_selection()
{
    Qe_Void_List copy;
    m_selection.copy(copy);
    clear_selectlist(true);
    delete_object_list(copy, true);
    return true;
}

bool MB_Operation::delete_object(MB_Object* object, bool redraw)
{
    if (!object || !m_drawing) return false;
    // Membership is decided before the object is touched: a list may name an object that
    // an earlier deletion destroyed.
    if (listed(m_drawing->layer_list(), object)) {
        if (object->object_id() != MB_Object::ID_LAYER) return false;
        Qe_Void_List on_layer;
        static_cast<MB_Layer*>(object)->get_ent_list(on_layer, m_drawing.get());
        delete_object_list(on_layer, redraw);
        return true;
    }
    MB_Object_List& entities = m_drawing->object_list();
    const bool entity = listed(entities, object);
    if ((entity || in_tables(*m_drawing, object)) && !object->is_drawable()) {
        // Not drawn, and not deleted from here (a named view, a style, a marker): only the
        // views forget it.
        for (MB_Draw_Render* r = m_draw_render_list.head(); r; r = r->next()) r->display_list().removeValue(object);
        return true;
    }
    if (!entity) return false;
    auto* d = static_cast<MB_Drawable*>(object);
    const Qe_Rect box = d->rect();
    forget({d});
    d->lose(entities);
    if (redraw) repaint(box);
    return true;
}

bool MB_Operation::delete_object_list(Qe_Void_List& objects, bool redraw)
{
    if (objects.is_empty()) return false;
    if (!m_drawing) return true;
    // One pass over the drawing's lists, however many objects go: membership is decided in one
    // walk of the entity list against a set of the listed objects, each member is unlinked
    // where it is, and the selection and the views forget the drawables in one pass each.
    MB_Object_List& entities = m_drawing->object_list();
    std::unordered_set<const MB_Object*> listed_objects;
    for (Qe_Void_Node* n = objects.head(); n; n = n->next()) listed_objects.insert(static_cast<MB_Object*>(n->entity()));
    auto listed_members = [&] {
        std::unordered_set<const MB_Object*> found;
        for (const MB_Object* m = entities.get_head(); m; m = m->next())
            if (listed_objects.count(m)) found.insert(m);
        return found;
    };
    std::unordered_set<const MB_Object*> members = listed_members();
    const std::unordered_set<const MB_Object*> layers = members_of(m_drawing->layer_list());
    Qe_Rect box;
    bool any = false;
    std::vector<MB_Drawable*> drawn;
    auto release = [&] {
        delete_entities(drawn);
        drawn.clear();
    };
    for (Qe_Void_Node* n = objects.head(); n; n = n->next()) {
        auto* o = static_cast<MB_Object*>(n->entity());
        if (o && layers.count(o)) {
            // A layer takes the entities on it: what was gathered goes first, and the members
            // are counted again after.
            release();
            (void)delete_object(o, redraw);
            members = listed_members();
            continue;
        }
        // Erased as it is taken: an object listed twice goes once.
        if (!o || !members.erase(o)) {
            // Not an entity: a table entry that is not drawn only leaves the views' lists. An
            // object taken earlier in this call is in no table, so it is not looked at.
            if (o && in_tables(*m_drawing, o) && !o->is_drawable())
                for (MB_Draw_Render* r = m_draw_render_list.head(); r; r = r->next()) r->display_list().removeValue(o);
            continue;
        }
        if (o->is_drawable()) {
            auto* d = static_cast<MB_Drawable*>(o);
            if (redraw) {
                if (!any) box = d->rect();
                else box.union_rect(d->rect());
                any = true;
            }
            drawn.push_back(d);
        } else {
            // Not drawn: it stays in the list, only the views forget it.
            for (MB_Draw_Render* r = m_draw_render_list.head(); r; r = r->next()) r->display_list().removeValue(o);
        }
    }
    release();
    if (any) repaint(box);
    return true;
}

void MB_Operation::delete_entities(const std::vector<MB_Drawable*>& entities)
{
    if (entities.empty() || !m_drawing) return;
    forget(entities);
    for (MB_Drawable* d : entities) d->lose_member(m_drawing->object_list());
}

void MB_Operation::repaint(const Qe_Rect& box)
{
    MB_Draw_Render* r = m_draw_render_list.cur();
    if (!r) return;
    const Qe_Tran& t = r->drawing_to_screen();
    const Qe_Pt a = box.lt() * t;
    const Qe_Pt b = box.rb() * t;
    // With the view's margin: the truncated corners alone would leave the right and
    // bottom edge pixels of what was deleted on the screen.
    const int m = MB_Draw_Render::k_redraw_margin;
    RECT pixels{std::min(api_mb_to_pixel(a.x()), api_mb_to_pixel(b.x())) - m,
                std::min(api_mb_to_pixel(a.y()), api_mb_to_pixel(b.y())) - m,
                std::max(api_mb_to_pixel(a.x()), api_mb_to_pixel(b.x())) + m,
                std::max(api_mb_to_pixel(a.y()), api_mb_to_pixel(b.y())) + m};
    r->redraw_rect(pixels);
}

void MB_Operation::forget(const std::vector<MB_Drawable*>& gone)
{
    if (gone.empty()) return;
    for (Qe_Void_Node* n = m_mousetool_list.head(); n; n = n->next())
        static_cast<MB_Mouse_Tool*>(n->entity())->forget_drawables(gone);
    // Retired tools still erase their bands when they go.
    for (MB_Mouse_Tool* tool : m_retired_tools) tool->forget_drawables(gone);
    const std::unordered_set<const void*> set(gone.begin(), gone.end());
    for (Qe_Void_Node* n = m_selection.head(); n;) {
        if (set.count(n->entity())) {
            static_cast<MB_Drawable*>(n->entity())->flag(MB_Drawable::State_Normal);
            n = m_selection.remove_node(n);
        } else {
            n = n->next();
        }
    }
    for (MB_Draw_Render* r = m_draw_render_list.head(); r; r = r->next())
        for (Qe_Void_Node* n = r->display_list().head(); n;)
            n = set.count(n->entity()) ? r->display_list().remove_node(n) : n->next();
}

// ---- commands

void MB_Operation::rec_cmd_begin(const char* name)
{
    if (m_undo_redo) m_undo_redo->rec_cmd_begin(name);
}

void MB_Operation::rec_cmd_end()
{
    if (m_undo_redo) m_undo_redo->rec_cmd_end();
}

void MB_Operation::rec_cmd_pause()
{
    if (m_undo_redo) m_undo_redo->rec_cmd_pause();
}

void MB_Operation::rec_cmd_continue()
{
    if (m_undo_redo) m_undo_redo->rec_cmd_continue();
}

void MB_Operation::undo(Qe_Void_List& touched)
{
    if (!m_undo_redo || !m_undo_redo->is_can_undo()) return;
    const auto before = m_drawing ? members_of(m_drawing->object_list()) : std::unordered_set<const MB_Object*>();
    m_undo_redo->undo(touched);
    forget_taken_out(before);
}

void MB_Operation::redo(Qe_Void_List& touched)
{
    if (!m_undo_redo || !m_undo_redo->is_can_redo()) return;
    const auto before = m_drawing ? members_of(m_drawing->object_list()) : std::unordered_set<const MB_Object*>();
    m_undo_redo->redo(touched);
    forget_taken_out(before);
}

void MB_Operation::forget_taken_out(const std::unordered_set<const MB_Object*>& before)
{
    if (!m_drawing) return;
    std::unordered_set<const MB_Object*> gone = before;
    for (const MB_Object* o = m_drawing->object_list().get_head(); o; o = o->next()) gone.erase(o);
    std::vector<MB_Drawable*> drawables;
    // The replay did not free them: the record holds them.
    for (const MB_Object* o : gone)
        if (o->is_drawable()) drawables.push_back(const_cast<MB_Drawable*>(static_cast<const MB_Drawable*>(o)));
    forget(drawables);
}

bool MB_Operation::is_can_undo() const
{
    return m_undo_redo && m_undo_redo->is_can_undo();
}

bool MB_Operation::is_can_redo() const
{
    return m_undo_redo && m_undo_redo->is_can_redo();
}

// ---- views

void MB_Operation::draw(HDC dc)
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->draw(dc);
}

void MB_Operation::redraw_object(MB_Drawable* d)
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->redraw_object(d);
}

void MB_Operation::redraw_list(Qe_Void_List& list)
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->redraw_list(list);
}

void MB_Operation::draw_object(MB_Drawable* d)
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->draw_object(d);
}

void MB_Operation::zoom_window(const Qe_Pt& p1, const Qe_Pt& p2)
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->zoom_window(p1, p2);
}

void MB_Operation::zoom_all()
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->zoom_all();
}

void MB_Operation::redraw_all()
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->redraw_all();
}

void MB_Operation::invalidate()
{
    redraw_all();
}

void MB_Operation::redraw_rect(const Qe_Pt&, const Qe_Pt&)
{
    redraw_all();
}

void MB_Operation::pan_view(const Qe_Pt& from, const Qe_Pt& to)
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->pan_view(from, to);
}

void MB_Operation::scale_view(double factor)
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->scale_view(factor);
}

void MB_Operation::scale_view(double factor, int x, int y)
{
    if (MB_Draw_Render* r = m_draw_render_list.cur()) r->scale_view(factor, x, y);
}

bool MB_Operation::display_previous_view()
{
    MB_Draw_Render* r = m_draw_render_list.cur();
    if (!r || !r->view_undo_redo() || !r->view_undo_redo()->previous_view()) return false;
    invalidate();
    return true;
}

bool MB_Operation::display_next_view()
{
    MB_Draw_Render* r = m_draw_render_list.cur();
    if (!r || !r->view_undo_redo() || !r->view_undo_redo()->next_view()) return false;
    invalidate();
    return true;
}

void MB_Operation::record_trans()
{
    MB_Draw_Render* r = m_draw_render_list.cur();
    if (r && r->view_undo_redo()) r->view_undo_redo()->add_trans();
}

bool MB_Operation::is_can_previous_view() const
{
    const MB_Draw_Render* r = m_draw_render_list.cur();
    return r && r->view_undo_redo() && r->view_undo_redo()->is_can_previous();
}

bool MB_Operation::is_can_next_view() const
{
    const MB_Draw_Render* r = m_draw_render_list.cur();
    return r && r->view_undo_redo() && r->view_undo_redo()->is_can_next();
}

Qe_Tran MB_Operation::screen_to_drawing() const
{
    const MB_Draw_Render* r = m_draw_render_list.cur();
    return r ? r->screen_to_drawing() : Qe_Tran();
}

Qe_Tran MB_Operation::drawing_to_screen() const
{
    MB_Draw_Render* r = m_draw_render_list.cur();
    return r ? r->drawing_to_screen() : Qe_Tran();
}
