#pragma once

// The undo record of an operation. A host opens a named command, changes the drawing
// through the kernel's ordinary interface and closes it; every MB_Object reports its own
// creation, change and deletion to the open command through its undo hooks. Closed
// commands are the units of undo and redo.

#include <vector>

#include "geometry/void_list.h"
#include "kernel/database/operation_context.h"
#include "kernel/drakmere_api.h"

class MB_Command;
class MB_Drawing;
class MB_Object;
class MB_Object_List;

// One change of one object. Its kind follows from left and right: creation (left null,
// right set), deletion (left set, right null), modification (both set, original set).
class DRAKMERE_API MB_Sub_Command {
public:
    MB_Sub_Command();
    MB_Sub_Command(MB_Object* original, MB_Object* left, MB_Object* right);
    MB_Sub_Command(const MB_Sub_Command&) = delete;
    MB_Sub_Command& operator=(const MB_Sub_Command&) = delete;
    // Forgets the objects it names; it never deletes them.
    virtual ~MB_Sub_Command();

    MB_Sub_Command* prev() const { return m_prev; }
    MB_Sub_Command* next() const { return m_next; }
    void prev(MB_Sub_Command* s) { m_prev = s; }
    void next(MB_Sub_Command* s) { m_next = s; }
    int flag() const { return m_flag; }
    void flag(int f) { m_flag = f; }

    // Replays the change: undo puts back the state before it, redo the state after it.
    // A creation or deletion acts on the list that held its object, where the record saw
    // it; a step made by hand acts on the list given. Drawables that came back into their
    // list or changed are appended to touched, for the caller to redraw.
    void undo(MB_Object_List& list, Qe_Void_List& touched);
    void redo(MB_Object_List& list, Qe_Void_List& touched);

    // The live object of a modification.
    MB_Object* original_object() const { return m_original; }
    void original_object(MB_Object* obj);
    // The state before the change: the deleted object, or a backup copy.
    MB_Object* left_object() const { return m_left; }
    void left_object(MB_Object* obj);
    // The state after the change: the created object, or a snapshot copy.
    MB_Object* right_object() const { return m_right; }
    void right_object(MB_Object* obj);

    // Where a creation or deletion puts its object back: the list that held it (null when
    // the record knows of none) and the object just before it there (null at the head).
    MB_Object_List* list() const { return m_list; }
    MB_Object* neighbour() const { return m_neighbour; }
    bool has_position() const { return m_has_position; }
    // True when the record, not a list, holds the object of this creation or deletion.
    bool held() const { return m_held; }
    // True for the change of a live object, whatever of it remains once objects it named
    // were destroyed.
    bool is_change() const { return m_change; }
    // The members that a group whose creation is undone handed to its list; redo takes
    // them back into the group, so that each member has one owner.
    const std::vector<MB_Object*>& lent() const { return m_lent; }

private:
    friend class MB_Object;
    friend class MB_Command;
    friend class MB_Undo_Redo;
    friend class Undo_Replay;
    friend void api_rec_forget(MB_Object* obj);
    friend void api_rec_forget_list(MB_Object_List* list);

    // Where the step's object is: in the list given to the replay (a step made by hand),
    // in the remembered list, or in no list the record knows of.
    enum class Place : unsigned char { Given, Known, None };

    // Clears every step's reference to an object or list that is being destroyed, so that
    // no record is left pointing at freed memory.
    static void object_destroyed(MB_Object* obj);
    static void list_destroyed(MB_Object_List* list);
    void retarget(MB_Object*& slot, MB_Object* obj);
    void place(MB_Object_List* list);
    void position(bool known, MB_Object* before);
    void lend(MB_Object* obj);
    void clear_lent();

    MB_Sub_Command* m_prev = nullptr;
    MB_Sub_Command* m_next = nullptr;
    int m_flag = 0;
    MB_Object* m_original = nullptr;
    MB_Object* m_left = nullptr;
    MB_Object* m_right = nullptr;
    MB_Object* m_neighbour = nullptr;
    MB_Object_List* m_list = nullptr;
    const MB_Command* m_command = nullptr;  // the command it was added to
    std::vector<MB_Object*> m_lent;
    Place m_place = Place::Given;
    bool m_has_position = false;
    // The record, not a list, holds the object of a creation or deletion: a deletion
    // done, a creation undone.
    bool m_held = false;
    bool m_change = false;
};

// One named, undoable unit: a chain of steps it owns.
class DRAKMERE_API MB_Command {
public:
    MB_Command();
    // Names longer than 255 characters are cut.
    explicit MB_Command(const char* name);
    MB_Command(const MB_Command&) = delete;
    MB_Command& operator=(const MB_Command&) = delete;
    // Deletes the steps, not the objects they name.
    virtual ~MB_Command();

    // Appends while the command accepts steps; false (and the caller keeps the step)
    // otherwise.
    bool add(MB_Sub_Command* sub);
    void kill_all_sub_command();

    // Undo runs the steps from the last to the first, so that each step finds the object
    // in the state its own change left it in; redo runs them in recording order, and then
    // links the created objects back in front to back, each after its old neighbour.
    void undo(MB_Object_List& list, Qe_Void_List& touched);
    void redo(MB_Object_List& list, Qe_Void_List& touched);

    MB_Sub_Command* sub_command_head() const { return m_head; }
    MB_Sub_Command* sub_command_tail() const { return m_tail; }
    MB_Command* prev() const { return m_prev; }
    MB_Command* next() const { return m_next; }
    void prev(MB_Command* c) { m_prev = c; }
    void next(MB_Command* c) { m_next = c; }
    const char* name() const { return m_name; }
    bool is_creating() const { return m_is_creating; }
    void is_creating(bool on) { m_is_creating = on; }

private:
    MB_Sub_Command* m_head = nullptr;
    MB_Sub_Command* m_tail = nullptr;
    MB_Command* m_prev = nullptr;
    MB_Command* m_next = nullptr;
    char m_name[256] = {};
    bool m_is_creating = false;
};

class DRAKMERE_API MB_Undo_Redo {
public:
    MB_Undo_Redo() = default;
    explicit MB_Undo_Redo(MB_Drawing* drawing) : m_drawing(drawing) {}
    MB_Undo_Redo(const MB_Undo_Redo&) = delete;
    MB_Undo_Redo& operator=(const MB_Undo_Redo&) = delete;
    // Frees every object that only the record holds; objects in the drawing stay.
    virtual ~MB_Undo_Redo();

    // Starts recording into a new command. Commands that could be redone are dropped; a
    // command still open is dropped without being recorded.
    void rec_cmd_begin(const char* name);
    // Stops recording and appends the open command to the undo list.
    void rec_cmd_end();

    // Recording into the open command; nothing happens when none is open.
    void create_cmd(MB_Object* obj);
    // True when the record now holds obj. An object created in the same command is not
    // held: its creation is cancelled and the caller frees it.
    bool delete_cmd(MB_Object* obj);
    // Keeps a backup copy of obj the first time it is changed in the open command.
    // Non-zero when the open command holds a backup of obj; 0 without an open command or
    // when obj cannot be copied.
    int modify_cmd(MB_Object* obj);

    // Undoes the last done command against the drawing's entities, or redoes the next
    // undone one; nothing without a drawing or such a command. Recording is left on, with
    // no command open.
    void undo(Qe_Void_List& touched);
    void redo(Qe_Void_List& touched);

    bool is_can_undo() const { return !m_undo_list.is_empty(); }
    bool is_can_redo() const { return !m_redo_list.is_empty(); }
    void rec_cmd_pause() { m_state = 0; }
    void rec_cmd_continue() { m_state = 1; }
    // Deletes every command of the list and every object its steps name as left or right
    // (each once), and empties the list.
    void kill_cmds(Qe_Void_List& list);

    // Told by the object lists while this record is recording: obj was linked into list,
    // or is about to be unlinked from it.
    void object_linked(MB_Object* obj, MB_Object_List* list);
    void object_unlinking(MB_Object* obj, MB_Object_List* list);

    short state() const { return m_state; }
    void state(short s) { m_state = s; }
    MB_Drawing* drawing() const { return m_drawing; }
    void drawing(MB_Drawing* d) { m_drawing = d; }
    MB_Command* last_cmd() const { return static_cast<MB_Command*>(m_undo_list.last()); }
    // The command the next redo replays, or null.
    MB_Command* next_redo_cmd() const { return static_cast<MB_Command*>(m_redo_list.first()); }

private:
    // Deletes the commands of the list and the objects that only they hold; the objects
    // in lists stay where they are.
    // Steps of the open command that put an object back after obj, when obj leaves its
    // list for good: they take the object before it instead.
    void hand_over_neighbour(MB_Object* obj);
    static void free_command(MB_Command* cmd);
    static void free_commands(Qe_Void_List& list);
    // The step of the open command that names obj and matches, found through the index of
    // steps by object so that large commands are not searched step by step.
    MB_Sub_Command* find_step(const MB_Object* obj, bool (*match)(const MB_Sub_Command*, const MB_Object*)) const;

    Qe_Void_List m_undo_list;  // MB_Command*, oldest first
    Qe_Void_List m_redo_list;  // MB_Command*, next to redo first
    MB_Command* m_open = nullptr;
    MB_Drawing* m_drawing = nullptr;
    short m_state = 0;
};

// The active operation's undo record; null without an active operation or record.
DRAKMERE_API MB_Undo_Redo* api_get_active_undo_redo();
