#pragma once

// The controller that hosts one drawing: its views, mouse tools, selection, undo record and
// settings. Every live operation is listed in g_operation_list; the last one constructed
// (or the last still listed after a destruction) is g_active_operation, the one that the
// flat functions, the undo hooks and every default of the kernel act on.

#include <memory>

#include "geometry/void_list.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_render.h"
#include "kernel/drakmere_api.h"
#include "kernel/operation/undo_redo.h"
#include "platform/win_types.h"

class MB_Drawing;
class MB_Layer;
class MB_Mouse_Tool;
class Qe_Rect;

class DRAKMERE_API MB_Operation {
public:
    // Lists the operation and makes it active.
    MB_Operation();
    // Operations own their drawing and undo record; copying would share them.
    MB_Operation(const MB_Operation&) = delete;
    MB_Operation& operator=(const MB_Operation&) = delete;
    // Unlists the operation; the last one still listed becomes active. The undo record,
    // the views and the drawing are deleted.
    virtual ~MB_Operation();

    // Takes ownership of the drawing (an earlier, different one is deleted), stores the
    // window, starts a new undo record and rebuilds the views.
    void init(HWND wnd, MB_Drawing* drawing);
    // Replaces every view: one for model space, which is current, then one per layout of
    // the drawing, in layout order. The views take the operation's own drawing and window;
    // the arguments only name what is rebuilt.
    void rebuild_draw_render_list(MB_Drawing* drawing, HWND wnd);
    // Recomputes the current view's transform; nothing without a view.
    void compute_transf();

    // Replaces the undo record with a new one bound to the drawing, not recording.
    void init_undoredo(MB_Drawing* drawing);

    MB_Drawing* drawing() const { return m_drawing.get(); }
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

    MB_Draw_Render_List& draw_render_list() { return m_draw_render_list; }
    // The current view; null before a drawing is given.
    MB_Draw_Render* draw_render() const { return m_draw_render_list.cur(); }
    MB_Draw_Render* cur_draw_render() const { return m_draw_render_list.cur(); }

private:
    std::unique_ptr<MB_Drawing> m_drawing;
    HWND m_wnd = nullptr;
    MB_Draw_Render_List m_draw_render_list;
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

// Sets out to the union of the rectangles of the listed drawables (MB_Drawable*); false,
// leaving out as it was, for a list without drawables.
DRAKMERE_API bool api_mb_get_entity_list_rect(Qe_Void_List& entities, Qe_Rect& out);

// The settings every kernel default is read from: the active operation's, or the default
// settings while no operation exists, so that no reader dereferences a missing operation.
DRAKMERE_API const MB_System_Setting& api_active_system_setting();
