#pragma once

// The intrusive list that holds MB_Objects: the drawing's tables, block and group member
// lists and the undo record's lists. The list stores only its two ends and owns nothing by
// itself; only the kill_ operations delete objects. Indices are 0-based.

#include "kernel/drakmere_api.h"

class MB_Object;
class MB_Sub_Command;

// Told of the members that join or leave a list, to keep an index over it in step.
class DRAKMERE_API MB_List_Observer {
public:
    virtual ~MB_List_Observer() = default;
    virtual void linked(MB_Object* obj) = 0;
    virtual void unlinking(MB_Object* obj) = 0;
    // Many members at once, or the chain replaced: what the observer knows is stale.
    virtual void changed() = 0;
};

class DRAKMERE_API MB_Object_List {
public:
    MB_Object_List() = default;
    // Copies name the same chain.
    MB_Object_List(const MB_Object_List& other) : m_head(other.m_head), m_tail(other.m_tail) {}
    MB_Object_List& operator=(const MB_Object_List& other)
    {
        m_head = other.m_head;
        m_tail = other.m_tail;
        if (m_observer) m_observer->changed();
        return *this;
    }
    // Members are neither deleted nor unlinked.
    ~MB_Object_List();

    MB_Object* get_head() const { return m_head; }
    MB_Object* get_tail() const { return m_tail; }
    // Store an end as given, without touching any link.
    void set_head(MB_Object* obj)
    {
        m_head = obj;
        if (m_observer) m_observer->changed();
    }
    void set_tail(MB_Object* obj)
    {
        m_tail = obj;
        if (m_observer) m_observer->changed();
    }

    // The one observer told of every member that joins or leaves; not copied.
    MB_List_Observer* observer() const { return m_observer; }
    void observer(MB_List_Observer* o) { m_observer = o; }

    // Null when the index is negative or past the end.
    MB_Object* get(int index) const;
    long count() const;
    char is_empty() const { return m_head == nullptr && m_tail == nullptr; }

    // Null, or the object that already is that end, is ignored.
    void add_tail(MB_Object* obj);
    void add_head(MB_Object* obj);
    // Links obj in front of `before`; a null `before` or the head puts obj at the head.
    void insert(MB_Object* obj, MB_Object* before);
    // obj takes that index; index 0, a negative index or one at or past the end puts obj
    // at the head.
    void insert(MB_Object* obj, int index);
    // False for null or a non-member. The removed object keeps its own links.
    bool remove(MB_Object* obj);
    // remove for an object the caller knows to be a member, without the search: taking many
    // objects out of a long list stays linear. Anything else corrupts the list.
    void remove_member(MB_Object* obj) { unlink(obj); }
    // Clears the links of every member and empties the list; deletes nothing.
    bool remove_all();

    void kill_head();
    void kill_tail();
    void kill_all();
    // Deletes a member; null and non-members are ignored.
    void kill_object(MB_Object* obj);

private:
    friend class MB_Sub_Command;
    friend class Undo_Replay;

    void unlink(MB_Object* obj);
    // Tell the undo record where the objects it names go.
    void linked(MB_Object* obj);
    void unlinking(MB_Object* obj);

    MB_Object* m_head = nullptr;
    MB_Object* m_tail = nullptr;
    MB_List_Observer* m_observer = nullptr;
    // Number of undo steps that remember this list, so that its destruction can clear
    // them; not copied.
    int m_undo_refs = 0;
};
