#include "kernel/operation/undo_redo.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kernel/database/block.h"
#include "kernel/database/drawable.h"
#include "kernel/database/drawing.h"
#include "kernel/database/object.h"
#include "kernel/database/object_list.h"
#include "kernel/entities/group.h"
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

// Which steps remember which list.
using List_Index = std::unordered_multimap<const MB_Object_List*, MB_Sub_Command*>;

List_Index& list_index()
{
    static List_Index* index = new List_Index;
    return *index;
}

bool is_creation(const MB_Sub_Command* s)
{
    return !s->is_change() && !s->left_object() && s->right_object();
}

bool is_deletion(const MB_Sub_Command* s)
{
    return !s->is_change() && s->left_object() && !s->right_object();
}

MB_Group* as_group(MB_Object* obj)
{
    return obj && obj->object_id() == MB_Object::ID_GROUP ? static_cast<MB_Group*>(obj) : nullptr;
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

// What a drawable's copy_to leaves out (its user id, string, real value and extended data)
// and a recorded change may still touch: the record keeps it with its copies.
void copy_user_data(MB_Object& from, MB_Object& to)
{
    if (!from.is_drawable() || !to.is_drawable()) return;
    static_cast<MB_Drawable&>(to).copy_host_values(static_cast<MB_Drawable&>(from));
}

// A new copy of obj with its user data, or null when its class cannot be copied.
MB_Object* clone_of(MB_Object* obj)
{
    MB_Object* copy = nullptr;
    if (!obj->copy_to(copy) || !copy) {
        delete copy;
        return nullptr;
    }
    copy_user_data(*obj, *copy);
    return copy;
}

// Puts a kept state back into the live object. A block copies nothing into an existing one
// (it is only ever cloned): its own fields are put back here, and its members, objects of
// their own, have steps of their own.
void put_state(MB_Object& state, MB_Object& live)
{
    if (live.object_id() == MB_Object::ID_BLOCK && state.object_id() == MB_Object::ID_BLOCK) {
        static_cast<MB_Block&>(live).restore(static_cast<MB_Block&>(state));
        return;
    }
    MB_Object* target = &live;
    (void)state.copy_to(target);
    copy_user_data(state, live);
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

}  // namespace

// The lists a replay acts on, with their members found once per replay, so that no step
// walks a list to test membership.
class Undo_Replay {
public:
    Undo_Replay(MB_Object_List& given, Qe_Void_List& touched) : m_given(given), m_touched(touched) {}

    // Puts back the state before the step (undo) or after it. A changed drawable joins
    // touched only with touch (not when its own creation put it there in this replay).
    void replay(MB_Sub_Command& s, bool undo, bool touch = true)
    {
        MB_Object* const original = s.original_object();
        MB_Object* const left = s.left_object();
        MB_Object* const right = s.right_object();
        if (s.is_change()) {
            if (!original || !left || !right) return;  // gone: nothing to put back
            // Also for a live object outside every list (a table entry): its change is
            // undone all the same.
            put_state(*(undo ? left : right), *original);
            if (touch && original->is_drawable() && given().set.count(original)) m_touched.add(original);
            return;
        }
        if (!left && right) {
            if (undo) {
                if (MB_Group* group = as_group(right)) lend_members(s, *group);
                if (unlink(s, right)) s.m_held = true;
                m_undone.insert(&s);
            } else if (link(s, right)) {
                s.m_held = false;
                if (MB_Group* group = as_group(right)) {
                    if (m_defer_take_back)
                        m_take_back.emplace_back(&s, group);
                    else
                        take_back_members(s, *group);
                }
            }
        } else if (left && !right) {
            if (undo) {
                if (link(s, left)) s.m_held = false;
            } else if (unlink(s, left)) {
                s.m_held = true;
            }
        }
    }

    // A whole command's redo: groups take their members back once every creation of the
    // command is redone, so that members made in the command are in the list by then.
    void defer_take_back() { m_defer_take_back = true; }
    void finish_take_back()
    {
        for (auto& [step, group] : m_take_back) take_back_members(*step, *group);
        m_take_back.clear();
        m_defer_take_back = false;
    }

private:
    struct Members {
        MB_Object_List* list;
        std::unordered_set<const MB_Object*> set;
    };

    Members* members_of(const MB_Sub_Command& s)
    {
        switch (s.m_place) {
        case MB_Sub_Command::Place::Given: return &members_of(&m_given);
        case MB_Sub_Command::Place::Known: return s.m_list ? &members_of(s.m_list) : nullptr;
        case MB_Sub_Command::Place::None: break;
        }
        return nullptr;
    }

    Members& given() { return members_of(&m_given); }

    Members& members_of(MB_Object_List* list)
    {
        auto [it, made] = m_lists.try_emplace(list);
        if (made) {
            it->second.list = list;
            for (MB_Object* o = list->get_head(); o; o = o->next()) it->second.set.insert(o);
        }
        return it->second;
    }

    // Puts obj back where the step saw it: after its old neighbour, at the head when it
    // had none, at the tail when the place is unknown or the neighbour is not there. An
    // object already in the list stays where it is: linking it a second time would break
    // the chain. True when obj is in the list afterwards.
    bool link(const MB_Sub_Command& s, MB_Object* obj)
    {
        Members* m = members_of(s);
        if (!m) return false;
        if (m->set.insert(obj).second) {
            MB_Object* before = s.m_neighbour;
            if (!s.m_has_position || (before && !m->set.count(before)))
                m->list->add_tail(obj);
            else if (!before)
                m->list->add_head(obj);
            else if (!before->next())
                m->list->add_tail(obj);
            else
                m->list->insert(obj, before->next());
        }
        // The caller redraws what came back among the drawing's entities.
        if (obj->is_drawable() && m->list == &m_given) m_touched.add(obj);
        return true;
    }

    // True when obj was a member and is unlinked now.
    bool unlink(const MB_Sub_Command& s, MB_Object* obj)
    {
        Members* m = members_of(s);
        if (!m || !m->set.erase(obj)) return false;
        m->list->unlink(obj);
        return true;
    }

    // Undoing a group's creation: its members take its place in the list, in order, and
    // the step keeps them for redo. Were they left in the group as well, dropping the
    // undone command would free them with it while the drawing still holds them. A member
    // made in the same command leaves the list again with its own creation: at once when
    // that step was undone already (it came later in the command).
    void lend_members(MB_Sub_Command& s, MB_Group& group)
    {
        Members* m = members_of(s);
        if (!m || !m->set.count(&group)) return;
        std::vector<MB_Object*> lent;
        for (Qe_Void_Node* n = group.object_list().head(); n; n = n->next())
            if (auto* member = static_cast<MB_Object*>(n->entity())) lent.push_back(member);
        group.object_list().clear();
        for (MB_Object* member : lent) {
            if (m->set.insert(member).second) m->list->insert(member, &group);
            s.lend(member);
        }
        for (MB_Object* member : lent) {
            std::vector<MB_Sub_Command*> own;
            auto [first, last] = step_index().equal_range(member);
            for (auto it = first; it != last; ++it)
                if (it->second->m_command == s.m_command && names_created(it->second, member))
                    own.push_back(it->second);
            for (MB_Sub_Command* c : own) {
                if (c->m_place == MB_Sub_Command::Place::None) c->place(m->list);
                if (m_undone.count(c)) replay(*c, true);
            }
        }
        for (MB_Object* member : lent)
            if (m->set.count(member) && member->is_drawable()) m_touched.add(member);
    }

    // Redoing it: the members lent to the list go back into the group, those no longer in
    // the list (taken elsewhere meanwhile) stay where they are.
    void take_back_members(MB_Sub_Command& s, MB_Group& group)
    {
        Members* m = members_of(s);
        const std::vector<MB_Object*> lent = s.lent();
        s.clear_lent();
        if (!m) return;
        for (MB_Object* member : lent) {
            if (!m->set.erase(member)) continue;
            m->list->unlink(member);
            member->next(nullptr);
            member->prev(nullptr);
            group.object_list().add(member);
        }
    }

    MB_Object_List& m_given;
    Qe_Void_List& m_touched;
    std::unordered_map<const MB_Object_List*, Members> m_lists;
    // Creation steps undone in this replay.
    std::unordered_set<const MB_Sub_Command*> m_undone;
    bool m_defer_take_back = false;
    std::vector<std::pair<MB_Sub_Command*, MB_Group*>> m_take_back;
};

namespace {

// The objects that only the command holds: backups and snapshots of its changes, the
// objects of deletions done and of creations undone.
MB_Object* held_object(const MB_Sub_Command* s)
{
    if (!s->held()) return nullptr;
    return s->left_object() ? s->left_object() : s->right_object();
}

// A replay that put back a table entry may have renamed it in place, unseen by the name
// indexes over the drawing's tables: they are told their lists are stale.
void refresh_table_names(const MB_Command& cmd, MB_Drawing& drawing)
{
    bool entry = false;
    for (const MB_Sub_Command* s = cmd.sub_command_head(); s && !entry; s = s->next())
        entry = s->is_change() && s->original_object() && !s->original_object()->is_drawable();
    if (!entry) return;
    for (MB_Object_List* list :
         {&drawing.layer_list(), &drawing.block_list(), &drawing.line_type_list(), &drawing.text_style_list()})
        if (MB_List_Observer* index = list->observer()) index->changed();
}

void collect_held(const MB_Command* cmd, std::vector<MB_Object*>& out)
{
    for (const MB_Sub_Command* s = cmd->sub_command_head(); s; s = s->next()) {
        if (s->is_change()) {
            if (s->left_object()) out.push_back(s->left_object());
            if (s->right_object() && s->right_object() != s->original_object()) out.push_back(s->right_object());
        } else if (held_object(s)) {
            out.push_back(held_object(s));
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
    m_change = original != nullptr;
    m_held = !original && left && !right;
}

MB_Sub_Command::~MB_Sub_Command()
{
    clear_lent();
    retarget(m_original, nullptr);
    retarget(m_left, nullptr);
    retarget(m_right, nullptr);
    retarget(m_neighbour, nullptr);
    place(nullptr);
}

void MB_Sub_Command::original_object(MB_Object* obj)
{
    retarget(m_original, obj);
    if (obj) m_change = true;
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
    Undo_Replay(list, touched).replay(*this, true);
}

void MB_Sub_Command::redo(MB_Object_List& list, Qe_Void_List& touched)
{
    Undo_Replay(list, touched).replay(*this, false);
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

void MB_Sub_Command::place(MB_Object_List* list)
{
    if (m_list != list) {
        List_Index& index = list_index();
        if (m_list) {
            --m_list->m_undo_refs;
            auto [first, last] = index.equal_range(m_list);
            for (auto it = first; it != last; ++it)
                if (it->second == this) {
                    index.erase(it);
                    break;
                }
        }
        m_list = list;
        if (list) {
            ++list->m_undo_refs;
            index.emplace(list, this);
        }
    }
    m_place = list ? Place::Known : Place::None;
}

void MB_Sub_Command::lend(MB_Object* obj)
{
    m_lent.push_back(obj);
    // Indexed as the other slots are, so that the member's destruction clears it here.
    ++obj->m_undo_refs;
    step_index().emplace(obj, this);
}

void MB_Sub_Command::clear_lent()
{
    Step_Index& index = step_index();
    for (MB_Object* obj : m_lent) {
        --obj->m_undo_refs;
        auto [first, last] = index.equal_range(obj);
        for (auto it = first; it != last; ++it)
            if (it->second == this) {
                index.erase(it);
                break;
            }
    }
    m_lent.clear();
}

void MB_Sub_Command::position(bool known, MB_Object* before)
{
    m_has_position = known;
    retarget(m_neighbour, known ? before : nullptr);
}

void MB_Sub_Command::object_destroyed(MB_Object* obj)
{
    Step_Index& index = step_index();
    auto [first, last] = index.equal_range(obj);
    for (auto it = first; it != last; ++it) {
        MB_Sub_Command* s = it->second;
        for (MB_Object** slot : {&s->m_original, &s->m_left, &s->m_right})
            if (*slot == obj) *slot = nullptr;
        std::erase(s->m_lent, obj);
        if (s->m_neighbour == obj) {
            // Its place is lost with the neighbour: the object goes to the tail.
            s->m_neighbour = nullptr;
            s->m_has_position = false;
        }
    }
    index.erase(first, last);
    obj->m_undo_refs = 0;
}

void MB_Sub_Command::list_destroyed(MB_Object_List* list)
{
    List_Index& index = list_index();
    auto [first, last] = index.equal_range(list);
    for (auto it = first; it != last; ++it) {
        it->second->m_list = nullptr;
        it->second->m_place = Place::None;
    }
    index.erase(first, last);
    list->m_undo_refs = 0;
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
    // copied into it, and an object must be back before the one deleted after it.
    Undo_Replay replay(list, touched);
    for (MB_Sub_Command* s = m_tail; s; s = s->prev()) replay.replay(*s, true);
}

void MB_Command::redo(MB_Object_List& list, Qe_Void_List& touched)
{
    Undo_Replay replay(list, touched);
    replay.defer_take_back();
    std::vector<MB_Sub_Command*> creations;
    for (MB_Sub_Command* s = m_head; s; s = s->next())
        if (is_creation(s)) creations.push_back(s);
    std::unordered_map<const MB_Object*, MB_Sub_Command*> created;
    for (MB_Sub_Command* s : creations) created.emplace(s->right_object(), s);
    // A group made in this command gets its members back when its creation is redone: a
    // later state of it is copied in only then, or it would gain a second set of members.
    std::vector<MB_Sub_Command*> group_changes;
    for (MB_Sub_Command* s = m_head; s; s = s->next()) {
        if (is_creation(s)) continue;
        if (s->is_change() && as_group(s->original_object()) && created.count(s->original_object()))
            group_changes.push_back(s);
        else
            replay.replay(*s, false);
    }
    // A created object's neighbour may itself be created later in the command (an object
    // inserted in front of an earlier one): each neighbour goes back first.
    std::unordered_set<const MB_Sub_Command*> done;
    std::vector<MB_Sub_Command*> chain;
    for (MB_Sub_Command* s : creations) {
        for (MB_Sub_Command* c = s; c && done.insert(c).second;) {
            chain.push_back(c);
            auto it = c->has_position() && c->neighbour() ? created.find(c->neighbour()) : created.end();
            c = it == created.end() ? nullptr : it->second;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) replay.replay(**it, false);
        chain.clear();
    }
    replay.finish_take_back();
    for (MB_Sub_Command* s : group_changes) replay.replay(*s, false, false);
}

// ---- MB_Undo_Redo ----

MB_Undo_Redo::~MB_Undo_Redo()
{
    free_commands(m_undo_list);
    free_commands(m_redo_list);
    if (m_open) free_command(m_open);
    m_open = nullptr;
}

void MB_Undo_Redo::rec_cmd_begin(const char* name)
{
    m_state = 1;
    free_commands(m_redo_list);
    if (m_open) free_command(m_open);
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
        if (is_creation(s)) {
            // Where redo puts it back: the list it is in now, after its neighbour there.
            if (s->m_place == MB_Sub_Command::Place::Known) s->position(true, s->right_object()->prev());
            continue;
        }
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
    refresh_table_names(*cmd, *m_drawing);
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
    refresh_table_names(*cmd, *m_drawing);
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
    // In no list until one reports it.
    s->place(nullptr);
    if (!m_open->add(s)) delete s;
}

void MB_Undo_Redo::hand_over_neighbour(MB_Object* obj)
{
    std::vector<MB_Sub_Command*> heirs;
    auto [first, last] = step_index().equal_range(obj);
    for (auto it = first; it != last; ++it)
        if (it->second->neighbour() == obj && it->second->m_command == m_open) heirs.push_back(it->second);
    for (MB_Sub_Command* s : heirs) s->position(true, obj->prev());
}

bool MB_Undo_Redo::delete_cmd(MB_Object* obj)
{
    if (!m_open || !obj) return false;
    if (MB_Sub_Command* created = find_step(obj, names_created)) {
        // Created and deleted in one command: nothing of it remains, and backups made of
        // it in between go with it.
        if (created->m_place == MB_Sub_Command::Place::Known) hand_over_neighbour(obj);
        created->right_object(nullptr);
        created->place(nullptr);
        if (MB_Sub_Command* s = find_step(obj, names_modified)) {
            MB_Object* backup = s->left_object();
            s->original_object(nullptr);
            s->left_object(nullptr);
            s->right_object(nullptr);
            delete backup;
        }
        return false;
    }
    // Already held by this or an earlier command: a second step would free it twice.
    auto [first, last] = step_index().equal_range(obj);
    for (auto it = first; it != last; ++it)
        if (is_deletion(it->second) && it->second->left_object() == obj && it->second->held()) return true;
    auto* s = new MB_Sub_Command(nullptr, obj, nullptr);
    // Its list and place are taken when the list lets go of it.
    s->place(nullptr);
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

void MB_Undo_Redo::object_linked(MB_Object* obj, MB_Object_List* list)
{
    if (MB_Sub_Command* s = find_step(obj, names_created)) s->place(list);
}

void MB_Undo_Redo::object_unlinking(MB_Object* obj, MB_Object_List* list)
{
    if (!m_open) return;
    MB_Sub_Command* deleted = find_step(obj, names_deleted);
    if (deleted && deleted->m_place == MB_Sub_Command::Place::None && !deleted->has_position()) {
        // Undo puts it back here.
        deleted->place(list);
        deleted->position(true, obj->prev());
        return;
    }
    if (deleted) return;
    // Leaving without a deletion to bring it back: whatever was to follow it follows the
    // object before it.
    hand_over_neighbour(obj);
    if (MB_Sub_Command* created = find_step(obj, names_created))
        if (created->list() == list) created->place(nullptr);
}

void MB_Undo_Redo::kill_cmds(Qe_Void_List& list)
{
    std::vector<MB_Object*> named;
    for (const Qe_Void_Node* n = list.head(); n; n = n->next()) collect_named(command_of(n), named);
    for (const Qe_Void_Node* n = list.head(); n; n = n->next()) delete command_of(n);
    list.clear();
    delete_objects(named);
}

void MB_Undo_Redo::free_command(MB_Command* cmd)
{
    std::vector<MB_Object*> held;
    collect_held(cmd, held);
    delete cmd;
    delete_objects(held);
}

void MB_Undo_Redo::free_commands(Qe_Void_List& list)
{
    std::vector<MB_Object*> held;
    for (const Qe_Void_Node* n = list.head(); n; n = n->next()) collect_held(command_of(n), held);
    for (const Qe_Void_Node* n = list.head(); n; n = n->next()) delete command_of(n);
    list.clear();
    delete_objects(held);
}

// ---- flat functions ----

MB_Undo_Redo* api_get_active_undo_redo()
{
    return g_active_operation ? g_active_operation->undo_redo() : nullptr;
}
