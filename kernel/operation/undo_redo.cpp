#include "kernel/operation/undo_redo.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kernel/database/drawing.h"
#include "kernel/database/object.h"
#include "kernel/database/object_list.h"
#include "kernel/operation/operation.h"

namespace {

// Which steps name which object, whichever command or record holds them. Made on first
// use and never destroyed, so that objects outliving static destruction still find it.
using Step_Index = std::unordered_multimap<const MB_Object*, MB_Sub_Command*>;

Step_Index& step_index()
{
    static Step_Index* index = new Step_Index;
    return *index;
}

bool is_creation(const MB_Sub_Command* s)
{
    return !s->original_object() && !s->left_object() && s->right_object();
}

bool is_deletion(const MB_Sub_Command* s)
{
    return !s->original_object() && s->left_object() && !s->right_object();
}

// Pauses this record and the active one while the record makes copies of its own, so that
// the copies' constructors report their creation nowhere.
class Recording_Pause {
public:
    explicit Recording_Pause(MB_Undo_Redo& own)
        : m_own(own), m_own_state(own.state()), m_active_state(api_rec_cmd_pause())
    {
        own.state(0);
    }
    ~Recording_Pause()
    {
        api_rec_cmd_continue(m_active_state);
        m_own.state(m_own_state);
    }
    Recording_Pause(const Recording_Pause&) = delete;
    Recording_Pause& operator=(const Recording_Pause&) = delete;

private:
    MB_Undo_Redo& m_own;
    short m_own_state;
    short m_active_state;
};

// A new copy of obj, or null when its class cannot be copied.
MB_Object* clone_of(MB_Object* obj)
{
    MB_Object* copy = nullptr;
    if (!obj->copy_to(copy)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

bool names_created(const MB_Sub_Command* s, const MB_Object* obj)
{
    return is_creation(s) && s->right_object() == obj;
}

bool names_deleted(const MB_Sub_Command* s, const MB_Object* obj)
{
    return is_deletion(s) && s->left_object() == obj;
}

bool names_modified(const MB_Sub_Command* s, const MB_Object* obj)
{
    return s->original_object() == obj;
}

MB_Command* command_of(const Qe_Void_Node* n)
{
    return static_cast<MB_Command*>(n->entity());
}

void collect_named(const MB_Command* cmd, std::vector<MB_Object*>& out)
{
    for (const MB_Sub_Command* s = cmd->sub_command_head(); s; s = s->next()) {
        if (s->left_object()) out.push_back(s->left_object());
        if (s->right_object()) out.push_back(s->right_object());
    }
}

// Deletes each object once.
void delete_objects(std::vector<MB_Object*>& objects)
{
    std::unordered_set<MB_Object*> done;
    for (MB_Object* o : objects)
        if (done.insert(o).second) delete o;
    objects.clear();
}

// The members of the list a replay acts on, found once per replay so that no step walks
// the list to test membership.
class List_Members {
public:
    explicit List_Members(MB_Object_List& list) : m_list(list)
    {
        for (MB_Object* o = list.get_head(); o; o = o->next()) m_members.insert(o);
    }
    bool has(const MB_Object* o) const { return m_members.count(o) != 0; }
    // An object already in the list stays where it is: linking it a second time would
    // break the chain.
    void append(MB_Object* o)
    {
        if (m_members.insert(o).second) m_list.add_tail(o);
    }
    void unlink(MB_Object* o)
    {
        if (!m_members.erase(o)) return;
        MB_Object* p = o->prev();
        MB_Object* n = o->next();
        if (p)
            p->next(n);
        else
            m_list.set_head(n);
        if (n)
            n->prev(p);
        else
            m_list.set_tail(p);
    }

private:
    MB_Object_List& m_list;
    std::unordered_set<const MB_Object*> m_members;
};

void note_touched(MB_Object* o, const List_Members& list, Qe_Void_List& touched)
{
    if (o->is_drawable() && list.has(o)) touched.add(o);
}

// Puts back the state before the step (undo) or after it.
void replay(const MB_Sub_Command& s, List_Members& list, Qe_Void_List& touched, bool undo)
{
    MB_Object* const original = s.original_object();
    MB_Object* const left = s.left_object();
    MB_Object* const right = s.right_object();
    if (original) {
        if (!left || !right) return;  // its copies are gone: nothing to put back
        // Also for a live object outside the list (a table entry): its change is undone
        // all the same.
        MB_Object* target = original;
        (undo ? left : right)->copy_to(target);
        note_touched(original, list, touched);
        return;
    }
    if (!left && right) {
        if (undo) {
            list.unlink(right);
        } else {
            list.append(right);
            note_touched(right, list, touched);
        }
    } else if (left && !right) {
        if (undo) {
            list.append(left);
            note_touched(left, list, touched);
        } else {
            list.unlink(left);
        }
    }
}

}  // namespace

// ---- MB_Sub_Command ----

MB_Sub_Command::MB_Sub_Command() = default;

MB_Sub_Command::MB_Sub_Command(MB_Object* original, MB_Object* left, MB_Object* right)
{
    retarget(m_original, original);
    retarget(m_left, left);
    retarget(m_right, right);
}

MB_Sub_Command::~MB_Sub_Command()
{
    retarget(m_original, nullptr);
    retarget(m_left, nullptr);
    retarget(m_right, nullptr);
}

void MB_Sub_Command::original_object(MB_Object* obj)
{
    retarget(m_original, obj);
}

void MB_Sub_Command::left_object(MB_Object* obj)
{
    retarget(m_left, obj);
}

void MB_Sub_Command::right_object(MB_Object* obj)
{
    retarget(m_right, obj);
}

void MB_Sub_Command::undo(MB_Object_List& list, Qe_Void_List& touched)
{
    List_Members members(list);
    replay(*this, members, touched, true);
}

void MB_Sub_Command::redo(MB_Object_List& list, Qe_Void_List& touched)
{
    List_Members members(list);
    replay(*this, members, touched, false);
}

void MB_Sub_Command::retarget(MB_Object*& slot, MB_Object* obj)
{
    if (slot == obj) return;
    Step_Index& index = step_index();
    if (slot) {
        --slot->m_undo_refs;
        auto [first, last] = index.equal_range(slot);
        for (auto it = first; it != last; ++it)
            if (it->second == this) {
                index.erase(it);
                break;
            }
    }
    slot = obj;
    if (obj) {
        ++obj->m_undo_refs;
        index.emplace(obj, this);
    }
}

void MB_Sub_Command::object_destroyed(MB_Object* obj)
{
    Step_Index& index = step_index();
    auto [first, last] = index.equal_range(obj);
    for (auto it = first; it != last; ++it) {
        MB_Sub_Command* s = it->second;
        for (MB_Object** slot : {&s->m_original, &s->m_left, &s->m_right})
            if (*slot == obj) *slot = nullptr;
    }
    index.erase(first, last);
    obj->m_undo_refs = 0;
}

// ---- MB_Command ----

MB_Command::MB_Command() : m_is_creating(true) {}

MB_Command::MB_Command(const char* name) : m_is_creating(true)
{
    if (name) std::strncpy(m_name, name, sizeof m_name - 1);
}

MB_Command::~MB_Command()
{
    kill_all_sub_command();
}

bool MB_Command::add(MB_Sub_Command* sub)
{
    if (!sub || !m_is_creating) return false;
    sub->m_command = this;
    sub->prev(m_tail);
    sub->next(nullptr);
    if (m_tail)
        m_tail->next(sub);
    else
        m_head = sub;
    m_tail = sub;
    return true;
}

void MB_Command::kill_all_sub_command()
{
    MB_Sub_Command* s = m_head;
    m_head = m_tail = nullptr;
    while (s) {
        MB_Sub_Command* n = s->next();
        delete s;
        s = n;
    }
}

void MB_Command::undo(MB_Object_List& list, Qe_Void_List& touched)
{
    // Tail first: after "change X, delete X", X must be back before its old state is
    // copied into it.
    List_Members members(list);
    for (const MB_Sub_Command* s = m_tail; s; s = s->prev()) replay(*s, members, touched, true);
}

void MB_Command::redo(MB_Object_List& list, Qe_Void_List& touched)
{
    List_Members members(list);
    for (const MB_Sub_Command* s = m_head; s; s = s->next()) replay(*s, members, touched, false);
}

// ---- MB_Undo_Redo ----

MB_Undo_Redo::~MB_Undo_Redo()
{
    // Created objects of done commands and deleted objects of undone commands are in the
    // drawing, which owns them.
    for (const Qe_Void_Node* n = m_undo_list.head(); n; n = n->next())
        for (MB_Sub_Command* s = command_of(n)->sub_command_head(); s; s = s->next())
            if (is_creation(s)) s->right_object(nullptr);
    kill_cmds(m_undo_list);
    for (const Qe_Void_Node* n = m_redo_list.head(); n; n = n->next())
        for (MB_Sub_Command* s = command_of(n)->sub_command_head(); s; s = s->next())
            if (is_deletion(s)) s->left_object(nullptr);
    kill_cmds(m_redo_list);
    if (m_open) discard_applied(m_open);
    m_open = nullptr;
}

void MB_Undo_Redo::rec_cmd_begin(const char* name)
{
    m_state = 1;
    if (!m_redo_list.is_empty()) {
        std::unordered_set<MB_Object*> keep;
        for (const Qe_Void_Node* n = m_undo_list.head(); n; n = n->next())
            for (const MB_Sub_Command* s = command_of(n)->sub_command_head(); s; s = s->next()) {
                keep.insert(s->left_object());
                keep.insert(s->right_object());
            }
        // What only an undone command held: undone creations, and the backups and
        // snapshots of its modifications. Its deleted objects are back in the drawing.
        std::vector<MB_Object*> drop;
        for (const Qe_Void_Node* n = m_redo_list.head(); n; n = n->next()) {
            MB_Command* cmd = command_of(n);
            for (const MB_Sub_Command* s = cmd->sub_command_head(); s; s = s->next()) {
                if (is_deletion(s)) continue;
                for (MB_Object* o : {s->left_object(), s->right_object()})
                    if (o && o != s->original_object() && !keep.count(o)) drop.push_back(o);
            }
            delete cmd;
        }
        m_redo_list.clear();
        delete_objects(drop);
    }
    if (m_open) discard_applied(m_open);
    m_open = new MB_Command(name);
}

void MB_Undo_Redo::rec_cmd_end()
{
    m_state = 0;
    if (!m_open) return;
    MB_Command* cmd = m_open;
    m_open = nullptr;
    cmd->is_creating(false);
    Recording_Pause pause(*this);
    for (MB_Sub_Command* s = cmd->sub_command_head(); s; s = s->next()) {
        MB_Object* live = s->original_object();
        if (!live || !s->left_object() || s->right_object() != live) continue;
        // The snapshot of the new state, for redo.
        if (MB_Object* snapshot = clone_of(live)) {
            s->right_object(snapshot);
        } else {
            // Without a snapshot the change can be neither redone nor safely undone.
            MB_Object* backup = s->left_object();
            s->original_object(nullptr);
            s->left_object(nullptr);
            s->right_object(nullptr);
            delete backup;
        }
    }
    m_undo_list.add(cmd);
}

void MB_Undo_Redo::undo(Qe_Void_List& touched)
{
    MB_Command* cmd = last_cmd();
    if (!cmd || !m_drawing) return;
    {
        // What the replay copies or makes is not a change of its own.
        Recording_Pause pause(*this);
        cmd->undo(m_drawing->object_list(), touched);
    }
    m_undo_list.removeAt(m_undo_list.count() - 1);
    m_redo_list.addHead(cmd);
    m_state = 1;
}

void MB_Undo_Redo::redo(Qe_Void_List& touched)
{
    MB_Command* cmd = next_redo_cmd();
    if (!cmd || !m_drawing) return;
    {
        Recording_Pause pause(*this);
        cmd->redo(m_drawing->object_list(), touched);
    }
    m_redo_list.removeAt(0);
    m_undo_list.add(cmd);
    m_state = 1;
}

MB_Sub_Command* MB_Undo_Redo::find_step(const MB_Object* obj,
                                        bool (*match)(const MB_Sub_Command*, const MB_Object*)) const
{
    if (!m_open) return nullptr;
    auto [first, last] = step_index().equal_range(obj);
    for (auto it = first; it != last; ++it)
        if (it->second->m_command == m_open && match(it->second, obj)) return it->second;
    return nullptr;
}

void MB_Undo_Redo::create_cmd(MB_Object* obj)
{
    if (!m_open || !obj) return;
    auto* s = new MB_Sub_Command(nullptr, nullptr, obj);
    if (!m_open->add(s)) delete s;
}

bool MB_Undo_Redo::delete_cmd(MB_Object* obj)
{
    if (!m_open || !obj) return false;
    if (MB_Sub_Command* created = find_step(obj, names_created)) {
        // Created and deleted in one command: nothing of it remains, and backups made of
        // it in between go with it.
        created->right_object(nullptr);
        if (MB_Sub_Command* s = find_step(obj, names_modified)) {
            MB_Object* backup = s->left_object();
            s->original_object(nullptr);
            s->left_object(nullptr);
            s->right_object(nullptr);
            delete backup;
        }
        return false;
    }
    if (find_step(obj, names_deleted)) return true;
    auto* s = new MB_Sub_Command(nullptr, obj, nullptr);
    if (!m_open->add(s)) {
        delete s;
        return false;
    }
    return true;
}

int MB_Undo_Redo::modify_cmd(MB_Object* obj)
{
    if (!m_open || !obj) return 0;
    if (find_step(obj, names_modified)) return 1;
    MB_Object* backup = nullptr;
    {
        Recording_Pause pause(*this);
        backup = clone_of(obj);
    }
    // A step without a backup would read as a creation, and undo would unlink the object.
    if (!backup) return 0;
    auto* s = new MB_Sub_Command(obj, backup, obj);
    if (!m_open->add(s)) {
        delete s;
        delete backup;
        return 0;
    }
    return 1;
}

void MB_Undo_Redo::kill_cmds(Qe_Void_List& list)
{
    std::vector<MB_Object*> named;
    for (const Qe_Void_Node* n = list.head(); n; n = n->next()) collect_named(command_of(n), named);
    for (const Qe_Void_Node* n = list.head(); n; n = n->next()) delete command_of(n);
    list.clear();
    delete_objects(named);
}

void MB_Undo_Redo::discard_applied(MB_Command* cmd)
{
    for (MB_Sub_Command* s = cmd->sub_command_head(); s; s = s->next()) {
        if (s->original_object()) {
            // A modification not yet closed names the live object as its new state.
            if (s->right_object() == s->original_object()) s->right_object(nullptr);
            s->original_object(nullptr);
        } else if (is_creation(s)) {
            s->right_object(nullptr);
        }
    }
    std::vector<MB_Object*> named;
    collect_named(cmd, named);
    delete cmd;
    delete_objects(named);
}

// ---- flat functions ----

MB_Undo_Redo* api_get_active_undo_redo()
{
    return g_active_operation ? g_active_operation->undo_redo() : nullptr;
}
