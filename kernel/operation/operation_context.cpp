#include "kernel/database/operation_context.h"

#include "kernel/database/system_setting.h"
#include "kernel/operation/mouse_tool.h"
#include "kernel/operation/operation.h"
#include "kernel/operation/undo_redo.h"

MB_Operation* api_active_operation()
{
    return g_operation_list.is_empty() ? nullptr : g_active_operation;
}

namespace {

MB_Operation* active_operation()
{
    return api_active_operation();
}

MB_Undo_Redo* recording_undo_redo()
{
    MB_Undo_Redo* u = api_get_active_undo_redo();
    return u && u->state() != 0 ? u : nullptr;
}

}  // namespace

bool api_has_active_operation()
{
    return active_operation() != nullptr;
}

const MB_System_Setting& api_active_system_setting()
{
    return api_operation_system_setting(active_operation());
}

MB_Layer* api_active_current_layer()
{
    const MB_Operation* op = active_operation();
    return op ? op->current_layer() : nullptr;
}

MB_Drawing* api_active_drawing()
{
    return api_operation_drawing(active_operation());
}

bool api_if_record_command()
{
    return recording_undo_redo() != nullptr;
}

void api_rec_create(MB_Object* obj)
{
    if (MB_Undo_Redo* u = recording_undo_redo()) u->create_cmd(obj);
}

bool api_rec_delete(MB_Object* obj)
{
    MB_Undo_Redo* u = recording_undo_redo();
    return u && u->delete_cmd(obj);
}

void api_rec_modify(MB_Object* obj)
{
    if (MB_Undo_Redo* u = recording_undo_redo()) u->modify_cmd(obj);
}

void api_rec_forget(MB_Object* obj)
{
    MB_Sub_Command::object_destroyed(obj);
}

void api_rec_linked(MB_Object* obj, MB_Object_List* list)
{
    if (MB_Undo_Redo* u = recording_undo_redo()) u->object_linked(obj, list);
}

void api_rec_unlinking(MB_Object* obj, MB_Object_List* list)
{
    if (MB_Undo_Redo* u = recording_undo_redo()) u->object_unlinking(obj, list);
}

void api_rec_forget_list(MB_Object_List* list)
{
    MB_Sub_Command::list_destroyed(list);
}

short api_rec_cmd_pause()
{
    MB_Undo_Redo* u = api_get_active_undo_redo();
    if (!u) return 0;
    const short s = u->state();
    u->state(0);
    return s;
}

void api_rec_cmd_continue(short value)
{
    if (MB_Undo_Redo* u = api_get_active_undo_redo()) u->state(value);
}

const MB_System_Setting& api_operation_system_setting(const MB_Operation* op)
{
    if (op) return *op->system_setting();
    static const MB_System_Setting defaults;
    return defaults;
}

Qe_Void_List* api_operation_selection(MB_Operation* op)
{
    return op ? &op->selection() : nullptr;
}

MB_Drawing* api_operation_drawing(const MB_Operation* op)
{
    return op ? op->drawing() : nullptr;
}

HWND api_operation_wnd(const MB_Operation* op)
{
    return op ? op->wnd() : nullptr;
}

bool api_operation_has_tool(const MB_Operation* op)
{
    return op && op->get_active_tool();
}

void api_operation_draw_rubber(const MB_Operation* op, HDC hdc)
{
    if (MB_Mouse_Tool* tool = op ? op->get_active_tool() : nullptr) tool->rubber().draw_on_repaint(hdc);
}
