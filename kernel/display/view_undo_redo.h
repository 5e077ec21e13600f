#pragma once

// The view history of one renderer: up to 12 zoom transforms, newest at the head, with a
// current entry that the previous and next view commands move.

#include <memory>

#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/drakmere_api.h"

class MB_Draw_Render;

class DRAKMERE_API MB_View_Undo_Redo {
public:
    static constexpr int k_max_entries = 12;

    MB_View_Undo_Redo();
    // A history owns its transform copies; copying would share them.
    MB_View_Undo_Redo(const MB_View_Undo_Redo&) = delete;
    MB_View_Undo_Redo& operator=(const MB_View_Undo_Redo&) = delete;
    virtual ~MB_View_Undo_Redo();

    // Binds the renderer and forgets every entry.
    void init(MB_Draw_Render* render);
    // Forgets the views newer than the current one, stores a copy of t as the newest and
    // current entry. Returns the entry count, or 0 when the oldest entry was dropped to
    // keep 12.
    int add_head(Qe_Tran t);
    // Records the renderer's zoom transform.
    void add_trans();
    // Moves to the newer (previous_view) or older (next_view) neighbour, makes it the
    // renderer's zoom transform and recomputes the view; false, changing nothing, when
    // there is none. Neither repaints.
    bool previous_view();
    bool next_view();
    bool is_can_previous() const;
    bool is_can_next() const;
    // Copies the newest entry into t and returns 1; 0, leaving t as it was, when the
    // history is empty.
    int get_head(Qe_Tran& t) const;

    int count() const { return m_list->count(); }

private:
    void clear();
    void delete_head();
    bool move_to(Qe_Void_Node* node);

    std::unique_ptr<Qe_Void_List> m_list;  // Qe_Tran*, owned
    Qe_Void_Node* m_current = nullptr;
    MB_Draw_Render* m_render = nullptr;
};
