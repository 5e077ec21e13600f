#pragma once

// Mouse tools: the interactive state machines that an operation routes its window's mouse and
// keyboard messages to. The base keeps the cursor in pixels and drawing coordinates, the points
// a tool collects, its rubber bands and object snapping: while snapping is on, every mouse
// message looks for drawn entities near the cursor and keeps what they pick as relations, the
// lowest snap type first. Hosts derive their tools and override the handlers.

#include <vector>

#include "geometry/point.h"
#include "geometry/pt_list.h"
#include "geometry/void_list.h"
#include "kernel/database/mb_string.h"
#include "kernel/drakmere_api.h"
#include "kernel/operation/rubber.h"
#include "platform/win_types.h"

class MB_Draw_Render;
class MB_Drawable;
class MB_Drawing;
class MB_Operation;

// One snap candidate: the type the entity's pick reported and the entities it concerns (not
// owned).
class DRAKMERE_API MB_Relation {
public:
    MB_Relation() = default;
    MB_Relation(unsigned short type, MB_Drawing* drawing) : m_type(type), m_drawing(drawing) {}
    MB_Relation(const MB_Relation&) = delete;
    MB_Relation& operator=(const MB_Relation&) = delete;
    virtual ~MB_Relation();

    unsigned short type() const { return m_type; }
    Qe_Void_List& ent_list() { return m_ent_list; }
    MB_Drawing* drawing() const { return m_drawing; }
    void drawing(MB_Drawing* d) { m_drawing = d; }
    Qe_Pt ret_pos() const { return m_ret_pos; }
    void ret_pos(Qe_Pt p) { m_ret_pos = p; }

    // Same type, as many entities and the same first one; two empty lists never match.
    bool is_same(MB_Relation& other);
    // A line or polyline of segments as its points, in green, into the rubber band's new list.
    void add_draw_note_to_rubber(MB_Rubber& rubber);

private:
    unsigned short m_type = 0;
    Qe_Pt m_pt1;
    Qe_Pt m_pt2;
    Qe_Void_List m_ent_list;  // MB_Drawable*
    MB_Drawing* m_drawing = nullptr;
    Qe_Pt m_ret_pos;
};

// Called on every mouse move with the first relation's type and 0, or -1 and 0; null at load.
using MB_Mouse_Cursor_Callback = void (*)(int, int);
DRAKMERE_API extern MB_Mouse_Cursor_Callback g_mouse_cursor_callback;

class DRAKMERE_API MB_Mouse_Tool {
public:
    // No operation; snapping off.
    MB_Mouse_Tool();
    // The operation's tools are deleted (after the message being handled, when one is) and this
    // one becomes its only tool; the rubber bands draw into the operation's current view.
    MB_Mouse_Tool(long id, MB_String title, MB_Operation* operation);
    MB_Mouse_Tool(const MB_Mouse_Tool&) = delete;
    MB_Mouse_Tool& operator=(const MB_Mouse_Tool&) = delete;
    // Stops snapping, erases the rubber bands and leaves the operation's tool list.
    virtual ~MB_Mouse_Tool();

    // Stores the cursor, snaps when snapping is on, and calls the handler of msg; 1.
    virtual int process_mouse_event(int msg, int x, int y, const Qe_Pt& pt, int flags);
    // Shift down turns snapping off, shift up on; 0.
    virtual int process_keyboard_event(int msg, unsigned key, unsigned repeat, unsigned data);
    virtual void lbuttondown(int flags);
    virtual void lbuttonup(int flags);
    virtual void lbuttondblclk(int flags);
    virtual void rbuttondown(int flags);
    virtual void rbuttonup(int flags);
    virtual void rbuttondblclk(int flags);
    virtual void mousemove(int flags);
    virtual void draw(HDC hdc);

    MB_Operation* operation() const { return m_operation; }
    void operation(MB_Operation* op) { m_operation = op; }
    // Null without an operation.
    MB_Drawing* drawing() const;
    MB_Draw_Render* draw_render() const;
    // Before drawables leave the drawing: relations that name them are dropped and the rubber
    // bands let go of them.
    void forget_drawables(const std::vector<MB_Drawable*>& gone);
    // Binds both rubber bands to r, dropping what they show (the old view is gone or repainted)
    // and the relations (their drawables may be gone).
    void bind_render(MB_Draw_Render* r);

    const MB_String& title() const { return m_title; }
    unsigned long tag() const { return m_tag; }
    void tag(unsigned long t) { m_tag = t; }
    Qe_Pt cur_pos() const { return m_cur_pos; }
    int x() const { return m_x; }
    int y() const { return m_y; }
    Qe_Pt snap_pos() const { return m_snap_pos; }
    Qe_Pt_List& pos_list() { return m_pos_list; }
    bool clear_pos_list();
    MB_Rubber& rubber() { return m_rubber; }
    MB_Rubber& snap_rubber() { return m_snap_rubber; }
    Qe_Void_List& relation_list() { return m_relation_list; }
    bool is_snap() const { return m_snap; }
    void is_snap(bool on) { m_snap = on; }

    void restart();
    void draw_coor() {}
    void snap_start();
    void snap_stop();
    void snap_restart();
    // The first relation, or null; its first entity, or null.
    MB_Relation* get_relation() const;
    MB_Drawable* get_snap_entity() const;
    // Looks for snap candidates at pt (drawing coordinates) and keeps them as the relations.
    void process_snap(const Qe_Pt& pt);

    // The snap tolerance in pixels.
    static inline double m_snap_tol = 5.0;

protected:
    void create_relation();
    void deal_with_relation(MB_Relation* r);
    void add_relation();
    bool is_same_relation();
    void clear_relation_list(Qe_Void_List& list);
    void highlight_relation();

private:
    friend DRAKMERE_API bool api_get_snap_pos(MB_Draw_Render& render, Qe_Pt pt, Qe_Pt& out_pos, int& out_type,
                                              Qe_Void_List& out_entities);

    MB_Operation* m_operation = nullptr;
    MB_String m_title;
    unsigned long m_tag = 0;
    Qe_Pt m_cur_pos;
    int m_x = 0;
    int m_y = 0;
    Qe_Pt m_snap_pos;
    Qe_Pt_List m_pos_list;
    MB_Rubber m_rubber;
    Qe_Void_List m_relation_list;  // MB_Relation*, owned
    MB_Rubber m_snap_rubber;
    Qe_Void_List m_new_relation_list;  // MB_Relation*, owned
    bool m_snap = false;
    // The view a snap search works on when it is not the operation's current one.
    MB_Draw_Render* m_search_render = nullptr;
};

// Runs one snap search at pt on the view without disturbing the operation's tool: true, with
// the snapped position, the first relation's type and its entity appended, when something was
// found; false with the outputs unchanged otherwise.
DRAKMERE_API bool api_get_snap_pos(MB_Draw_Render& render, Qe_Pt pt, Qe_Pt& out_pos, int& out_type,
                                   Qe_Void_List& out_entities);
// The snap tolerance in drawing units of the active operation's current view; 0 without one.
DRAKMERE_API double api_mb_get_snap_tol();
