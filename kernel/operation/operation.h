#pragma once

// The controller that hosts one drawing: its views, mouse tools, selection, undo record and
// settings. Every live operation is listed in g_operation_list; the last one constructed
// (or the last still listed after a destruction) is g_active_operation, the one that the
// flat functions, the undo hooks and every default of the kernel act on.

#include <memory>

#include "geometry/void_list.h"
#include "kernel/database/system_setting.h"
#include "kernel/drakmere_api.h"
#include "kernel/operation/undo_redo.h"
#include "platform/win_types.h"

class MB_Drawing;
class MB_Layer;
class MB_Mouse_Tool;

class DRAKMERE_API MB_Operation {
public:
    // Lists the operation and makes it active.
    MB_Operation();
    // Operations own their drawing and undo record; copying would share them.
    MB_Operation(const MB_Operation&) = delete;
    MB_Operation& operator=(const MB_Operation&) = delete;
    // Unlists the operation; the last one still listed becomes active.
    virtual ~MB_Operation();

    // Replaces the undo record with a new one bound to the drawing, not recording.
    void init_undoredo(MB_Drawing* drawing);

    MB_Drawing* drawing() const { return m_drawing; }
    HWND wnd() const { return m_wnd; }
    // The selected drawables, in selection order; not owned.
    Qe_Void_List& selection() { return m_selection; }
    MB_Undo_Redo* undo_redo() const { return m_undo_redo.get(); }
    MB_System_Setting* system_setting() { return &m_system_setting; }
    // The layer every new drawable is given; null when none is set. Not owned.
    MB_Layer* current_layer() const { return m_current_layer; }
    void current_layer(MB_Layer* layer) { m_current_layer = layer; }
    // The first tool of the tool list, or null.
    MB_Mouse_Tool* get_active_tool() const;

private:
    MB_Drawing* m_drawing = nullptr;
    HWND m_wnd = nullptr;
    Qe_Void_List m_mousetool_list;  // MB_Mouse_Tool*, owned; at most one
    Qe_Void_List m_selection;       // MB_Drawable*
    std::unique_ptr<MB_Undo_Redo> m_undo_redo;
    MB_System_Setting m_system_setting;
    MB_Layer* m_current_layer = nullptr;
};

// Every live operation (MB_Operation*), in construction order.
DRAKMERE_API extern Qe_Void_List g_operation_list;
// Null while no operation exists.
DRAKMERE_API extern MB_Operation* g_active_operation;

// The settings every kernel default is read from: the active operation's, or the default
// settings while no operation exists, so that no reader dereferences a missing operation.
DRAKMERE_API const MB_System_Setting& api_active_system_setting();
