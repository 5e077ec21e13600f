#include "kernel/operation/operation.h"

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

const MB_System_Setting& api_active_system_setting()
{
    if (!g_operation_list.is_empty() && g_active_operation) return *g_active_operation->system_setting();
    static const MB_System_Setting defaults;
    return defaults;
}
