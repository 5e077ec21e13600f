#include "kernel/display/view_undo_redo.h"

#include "kernel/display/draw_render.h"

MB_View_Undo_Redo::MB_View_Undo_Redo() : m_list(std::make_unique<Qe_Void_List>()) {}

MB_View_Undo_Redo::~MB_View_Undo_Redo()
{
    clear();
}

void MB_View_Undo_Redo::clear()
{
    while (!m_list->is_empty()) delete_head();
    m_current = nullptr;
}

void MB_View_Undo_Redo::delete_head()
{
    Qe_Void_Node* head = m_list->head();
    delete static_cast<Qe_Tran*>(head->entity());
    if (m_current == head) m_current = nullptr;
    m_list->removeAt(0);
}

void MB_View_Undo_Redo::init(MB_Draw_Render* render)
{
    m_render = render;
    clear();
}

int MB_View_Undo_Redo::add_head(Qe_Tran t)
{
    auto copy = std::make_unique<Qe_Tran>(t);
    // The views newer than the current one are forgotten; with no current entry, all.
    while (!m_list->is_empty() && m_list->head() != m_current) delete_head();
    if (!m_list->add_head(copy.get())) return m_list->count();
    copy.release();
    m_current = m_list->head();
    const int n = m_list->count();
    if (n > k_max_entries) {
        Qe_Void_Node* oldest = m_list->tail();
        delete static_cast<Qe_Tran*>(oldest->entity());
        m_list->removeAt(n - 1);
        return 0;
    }
    return n;
}

void MB_View_Undo_Redo::add_trans()
{
    if (m_render) add_head(m_render->zoom_transf());
}

bool MB_View_Undo_Redo::move_to(Qe_Void_Node* node)
{
    if (!node || !m_render) return false;
    m_render->zoom_transf(*static_cast<Qe_Tran*>(node->entity()));
    m_current = node;
    m_render->compute_transf();
    return true;
}

bool MB_View_Undo_Redo::previous_view()
{
    return m_current && move_to(m_current->previous());
}

bool MB_View_Undo_Redo::next_view()
{
    return m_current && move_to(m_current->next());
}

bool MB_View_Undo_Redo::is_can_previous() const
{
    return m_current && m_current->previous();
}

bool MB_View_Undo_Redo::is_can_next() const
{
    return m_current && m_current->next();
}

int MB_View_Undo_Redo::get_head(Qe_Tran& t) const
{
    if (m_list->is_empty()) return 0;
    t = *static_cast<const Qe_Tran*>(m_list->head()->entity());
    return 1;
}
