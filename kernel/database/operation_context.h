#pragma once

// What the lower folders of the kernel (database, stream, display) and the entity and text
// classes need from the operation, without seeing it: the active operation's settings and
// current layer, the undo hooks every object reports its changes through, pausing the
// recorder, and the few things a view reads from the operation it belongs to. Declared
// here, defined by the operation; only the operation's own folder sees the whole class.

#include "kernel/drakmere_api.h"
#include "platform/win_types.h"

class MB_Drawing;
class MB_Layer;
class MB_Object;
class MB_Object_List;
class MB_Operation;
class MB_System_Setting;
class Qe_Void_List;

// True while an operation exists.
DRAKMERE_API bool api_has_active_operation();
// The settings every kernel default is read from: the active operation's, or the default
// settings while no operation exists, so that no reader dereferences a missing operation.
DRAKMERE_API const MB_System_Setting& api_active_system_setting();
// The layer every new drawable is given: the active operation's current layer; null
// without an active operation or current layer.
DRAKMERE_API MB_Layer* api_active_current_layer();
// The active operation's drawing; null without an active operation or drawing.
DRAKMERE_API MB_Drawing* api_active_drawing();

// Undo hooks. Each reports to the open command of the active operation's undo record and
// does nothing while it is not recording.
// True when the active operation has an undo record whose recording flag is set.
DRAKMERE_API bool api_if_record_command();
DRAKMERE_API void api_rec_create(MB_Object* obj);
// True when the record now holds obj (the caller must not free it).
DRAKMERE_API bool api_rec_delete(MB_Object* obj);
DRAKMERE_API void api_rec_modify(MB_Object* obj);
// Clears every reference of the undo records to an object that is being destroyed.
DRAKMERE_API void api_rec_forget(MB_Object* obj);
// Told by MB_Object_List of an object that an undo step names: it joined list, or is about
// to leave it, so that undo puts it back where it was.
DRAKMERE_API void api_rec_linked(MB_Object* obj, MB_Object_List* list);
DRAKMERE_API void api_rec_unlinking(MB_Object* obj, MB_Object_List* list);
// Clears every reference of the undo records to a list that is being destroyed.
DRAKMERE_API void api_rec_forget_list(MB_Object_List* list);

// Returns the recording flag and clears it; 0 without a record.
DRAKMERE_API short api_rec_cmd_pause();
// Sets the recording flag, normally to what api_rec_cmd_pause returned.
DRAKMERE_API void api_rec_cmd_continue(short value);

// Pauses recording for its lifetime: objects built meanwhile are the caller's own
// (framing records, temporary renditions), not drawing content. The flag comes back on
// every path out of the scope, or earlier through resume.
class MB_Recording_Pause {
public:
    MB_Recording_Pause() : m_state(api_rec_cmd_pause()) {}
    MB_Recording_Pause(const MB_Recording_Pause&) = delete;
    MB_Recording_Pause& operator=(const MB_Recording_Pause&) = delete;
    ~MB_Recording_Pause() { resume(); }

    // Restores the flag now; later calls and the destructor do nothing.
    void resume()
    {
        if (m_paused) api_rec_cmd_continue(m_state);
        m_paused = false;
    }

private:
    short m_state;
    bool m_paused = true;
};

// An operation as its views see it; a null operation answers the default settings, no
// selection, no drawing, no window and no tool.
DRAKMERE_API const MB_System_Setting& api_operation_system_setting(const MB_Operation* op);
DRAKMERE_API Qe_Void_List* api_operation_selection(MB_Operation* op);
DRAKMERE_API MB_Drawing* api_operation_drawing(const MB_Operation* op);
DRAKMERE_API HWND api_operation_wnd(const MB_Operation* op);
DRAKMERE_API bool api_operation_has_tool(const MB_Operation* op);
// What a full repaint draws of the active tool's rubber band on the memory DC hdc.
DRAKMERE_API void api_operation_draw_rubber(const MB_Operation* op, HDC hdc);
