#pragma once

// The controller that hosts one drawing: its views, mouse tools, selection, undo record and
// settings. Every live operation is listed in g_operation_list; the last one constructed
// (or the last still listed after a destruction) is g_active_operation, the one that the
// flat functions, the undo hooks and every default of the kernel act on.

#include <memory>
#include <unordered_set>
#include <vector>

#include "geometry/void_list.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/system_setting.h"
#include "kernel/display/draw_render.h"
#include "kernel/drakmere_api.h"
#include "kernel/operation/undo_redo.h"
#include "platform/win_types.h"

class MB_Drawable;
class MB_Drawing;
class MB_Layer;
class MB_Mouse_Tool;
class MB_Object;
class Qe_Rect;

class DRAKMERE_API MB_Operation {
public:
    // Lists the operation and makes it active.
    MB_Operation();
    // Operations own their drawing and undo record; copying would share them.
    MB_Operation(const MB_Operation&) = delete;
    MB_Operation& operator=(const MB_Operation&) = delete;
    // Unlists the operation; the last one still listed becomes active. The tools, the
    // undo record, the views and the drawing are deleted.
    virtual ~MB_Operation();

    // Takes ownership of the drawing (an earlier, different one is deleted), stores the
    // window, starts a new undo record and rebuilds the views.
    void init(HWND wnd, MB_Drawing* drawing);
    // A new drawing of that name, shown in the window.
    void init(HWND wnd, const char* name);
    // Replaces the drawing by a new, empty one of that name (the selection is cleared and
    // the earlier drawing and undo record are deleted), with a new undo record and views.
    // False when the drawing could not be made.
    bool create_drawing(const char* name);
    // Clears the selection and deletes the views, the drawing and the undo record; true.
    bool close_drawing();
    // Reads a native file into the drawing (a "no name" drawing is made when there is
    // none); false for a null path or a file that was not read to its end.
    bool load_jxb(const char* path);
    // Writes the drawing to a native file; false without a drawing or path, or when the
    // file was not written completely.
    bool save_jxb(const char* path);
    // Builds the display of every drawable; nothing without a drawing.
    void build_draw();
    // Replaces every view: one for model space, which is current, then one per layout of
    // the drawing, in layout order. The views take the operation's own drawing and window;
    // the arguments only name what is rebuilt.
    void rebuild_draw_render_list(MB_Drawing* drawing, HWND wnd);
    // Recomputes the current view's transform; nothing without a view.
    void compute_transf();

    // Replaces the undo record with a new one bound to the drawing, not recording.
    void init_undoredo(MB_Drawing* drawing);

    MB_Drawing* drawing() const { return m_drawing.get(); }
    // Takes ownership of the drawing, as init does, keeping the window.
    void drawing(MB_Drawing* drawing) { init(m_wnd, drawing); }
    HWND wnd() const { return m_wnd; }
    // The selected drawables, in selection order; not owned.
    Qe_Void_List& selection() { return m_selection; }
    MB_Undo_Redo* undo_redo() const { return m_undo_redo.get(); }
    MB_System_Setting* system_setting() { return &m_system_setting; }
    const MB_System_Setting* system_setting() const { return &m_system_setting; }
    // The layer every new drawable is given; null when none is set. Not owned.
    MB_Layer* current_layer() const { return m_current_layer; }
    void current_layer(MB_Layer* layer) { m_current_layer = layer; }
    // The first tool of the tool list, or null.
    MB_Mouse_Tool* get_active_tool() const;
    // The tools (MB_Mouse_Tool*), owned.
    Qe_Void_List& mousetool_list() { return m_mousetool_list; }
    // A new base tool, which replaces every tool; it is returned.
    MB_Mouse_Tool* add_tool(int id, MB_String title);
    // Adds the tool unless it is listed; the operation owns it from then on.
    void add_tool(MB_Mouse_Tool* tool);
    // The active tool's id, or -1; its title, or "No tool!".
    long get_active_tool_id() const;
    const char* get_active_tool_title() const;
    // The active tool's snapped entity, or null.
    MB_Drawable* get_snap_entity() const;
    // Deletes every tool. While a message is being handled the tools leave the list now and
    // are deleted when the outermost router returns, so a handler may replace its own tool.
    void clear_all_tools();
    // Takes the active tool out of the list without deleting it and hands it to the caller,
    // who owns it from then on; null without a tool. The argument is not used.
    MB_Mouse_Tool* pop_tool(MB_Mouse_Tool* unused = nullptr);

    // Event routing to the active tool, in drawing coordinates through the current view: each
    // returns 0 without a tool and 1 otherwise. Mouse messages are 0x200-0x206; other
    // messages are taken without action.
    int process_mouse_event(int msg, unsigned flags, POINT& client_pt);
    // Key down and up go to the tool's keyboard handler; mouse messages take the message's
    // screen point, made client coordinates of the operation's window, and flags 0.
    int process_event(MSG* msg);
    int process_event(int msg, int x, int y, int flags);
    int process_keyboard_event(int msg, unsigned key, unsigned repeat, unsigned data);

    // Selection. A locked drawable is not selected; a selected one has the state
    // selected. With redraw the current view repaints what changed.
    bool add_entity_to_selection(MB_Drawable* entity, bool redraw);
    // Every selected drawable becomes normal again; true.
    bool clear_selectlist(bool redraw);
    // Replaces the selection by the drawables of the active entity list that the rectangle
    // of p1 and p2 selects: those strictly inside it when p1 is left of p2 (window), else
    // also those whose outline crosses it (crossing). Hidden and locked ones are left out.
    bool rect_select(const Qe_Pt& p1, const Qe_Pt& p2, bool redraw);
    // Deletes the selected drawables; true.
    bool delete_selection();
    // Takes an entity out of the drawing (the undo record keeps it while a command is
    // recorded, otherwise it is destroyed); a layer deletes the entities on it and stays.
    // Any other entry of the drawing's tables (a named view, a style, a block) stays too
    // and only leaves the views' drawn lists; true. False for null and for an object that
    // is not the drawing's, which is left alone.
    bool delete_object(MB_Object* object, bool redraw);
    // delete_object for each listed object; false for an empty list.
    bool delete_object_list(Qe_Void_List& objects, bool redraw);
    // Takes drawables out as delete_object_list does, without a redraw, for a caller that
    // knows each to be in the drawing's entity list once: the list is not walked, so that
    // one replacing entities as it walks the list lets them go in batches as it goes.
    void delete_entities(const std::vector<MB_Drawable*>& entities);

    // Commands of the undo record; nothing without one. undo and redo append what they
    // brought back or changed to touched; a drawable they take out of the drawing also
    // leaves the selection and the views' lists.
    void rec_cmd_begin(const char* name);
    void rec_cmd_end();
    void rec_cmd_pause();
    void rec_cmd_continue();
    void undo(Qe_Void_List& touched);
    void redo(Qe_Void_List& touched);
    bool is_can_undo() const;
    bool is_can_redo() const;

    // Views: each acts on the current view and does nothing without one.
    void draw(HDC dc);
    void redraw_object(MB_Drawable* d);
    void redraw_list(Qe_Void_List& list);
    void draw_object(MB_Drawable* d);
    void zoom_window(const Qe_Pt& p1, const Qe_Pt& p2);
    void zoom_all();
    // Mark the view dirty and invalidate its window; redraw_rect repaints the whole window
    // too.
    void redraw_all();
    void invalidate();
    void redraw_rect(const Qe_Pt& p1, const Qe_Pt& p2);
    // The drawing point from comes to where to was.
    void pan_view(const Qe_Pt& from, const Qe_Pt& to);
    // Scales about the centre pixel, or about pixel (x, y): the drawing point under it stays.
    void scale_view(double factor);
    void scale_view(double factor, int x, int y);
    // Moves through the view history and repaints; false when there is no such view.
    bool display_previous_view();
    bool display_next_view();
    void record_trans();
    bool is_can_previous_view() const;
    bool is_can_next_view() const;
    // The identity without a view.
    Qe_Tran screen_to_drawing() const;
    Qe_Tran drawing_to_screen() const;

    // Snapping is the mouse tools' work: these keep the controller's entry points.
    void set_snap(int) {}
    bool get_snap_pos(Qe_Pt, Qe_Pt&, int&, Qe_Void_List&) { return false; }

    MB_Draw_Render_List& draw_render_list() { return m_draw_render_list; }
    // The current view; null before a drawing is given.
    MB_Draw_Render* draw_render() const { return m_draw_render_list.cur(); }
    MB_Draw_Render* cur_draw_render() const { return m_draw_render_list.cur(); }

private:
    // Repaints the current view's pixels of a drawing rectangle.
    void repaint(const Qe_Rect& box);
    // Takes destroyed or removed drawables out of the selection and the views' lists.
    void forget(const std::vector<MB_Drawable*>& gone);
    // forget for the drawables of before that are no longer in the drawing's entity list.
    void forget_taken_out(const std::unordered_set<const MB_Object*>& before);
    // Binds the tools' rubber bands to the current view after the views were replaced.
    void rebind_tools();
    // Hands a tool message to the active tool at a client pixel.
    int route_mouse(int msg, int x, int y, int flags);
    // Counts nested routing; the outermost one deletes the tools retired meanwhile.
    class Dispatch;

    std::unique_ptr<MB_Drawing> m_drawing;
    HWND m_wnd = nullptr;
    MB_Draw_Render_List m_draw_render_list;
    Qe_Void_List m_mousetool_list;  // MB_Mouse_Tool*, owned; at most one
    Qe_Void_List m_selection;       // MB_Drawable*
    std::unique_ptr<MB_Undo_Redo> m_undo_redo;
    MB_System_Setting m_system_setting;
    MB_Layer* m_current_layer = nullptr;
    int m_dispatch_depth = 0;
    std::vector<MB_Mouse_Tool*> m_retired_tools;  // owned: deleted when routing ends
};

// Every live operation (MB_Operation*), in construction order.
DRAKMERE_API extern Qe_Void_List g_operation_list;
// Null while no operation exists.
DRAKMERE_API extern MB_Operation* g_active_operation;
// Lists kept for the host (a copy buffer and a scratch list): empty when the kernel loads,
// never filled, emptied or read by the kernel; the host owns what it puts in them.
DRAKMERE_API extern Qe_Void_List g_copy_list;
DRAKMERE_API extern Qe_Void_List g_temp_list;
// The active operation; null while the operation list is empty.
DRAKMERE_API MB_Operation* api_active_operation();
