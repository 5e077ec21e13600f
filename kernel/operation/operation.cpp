#include "kernel/operation/operation.h"

#include "geometry/rect.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"

constinit Qe_Void_List g_operation_list;
constinit MB_Operation* g_active_operation = nullptr;

MB_Operation::MB_Operation()
{
    g_operation_list.addIfAbsent(this);
    g_active_operation = this;
}

MB_Operation::~MB_Operation()
{
    g_operation_list.removeValue(this);
    g_active_operation = static_cast<MB_Operation*>(g_operation_list.last());
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
    m_selection.clear();
    m_draw_render_list.kill_all();
    if (drawing != m_drawing.get()) {
        m_drawing.reset();
        m_drawing.reset(drawing);
    }
    m_wnd = wnd;
    init_undoredo(drawing);
    rebuild_draw_render_list(drawing, wnd);
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

bool api_mb_get_entity_list_rect(Qe_Void_List& entities, Qe_Rect& out)
{
    bool any = false;
    Qe_Rect box;
    for (Qe_Void_Node* n = entities.head(); n; n = n->next()) {
        const auto* d = static_cast<const MB_Drawable*>(n->entity());
        if (!d) continue;
        if (any)
            box.union_rect(d->rect());
        else
            box = d->rect();
        any = true;
    }
    if (any) out = box;
    return any;
}

const MB_System_Setting& api_active_system_setting()
{
    if (!g_operation_list.is_empty() && g_active_operation) return *g_active_operation->system_setting();
    static const MB_System_Setting defaults;
    return defaults;
}
