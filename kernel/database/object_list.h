#pragma once

// The intrusive list that holds MB_Objects: the drawing's tables, block and group member
// lists and the undo record's lists. The list stores only its two ends and owns nothing by
// itself; only the kill_ operations delete objects. Indices are 0-based.

#include "kernel/drakmere_api.h"

class MB_Object;
class MB_Sub_Command;

class DRAKMERE_API MB_Object_List {
public:
    MB_Object_List() = default;
    // Copies name the same chain.
    MB_Object_List(const MB_Object_List& other) : m_head(other.m_head), m_tail(other.m_tail) {}
    MB_Object_List& operator=(const MB_Object_List& other)
    {
        m_head = other.m_head;
        m_tail = other.m_tail;
        return *this;
    }
    // Members are neither deleted nor unlinked.
    ~MB_Object_List();

    MB_Object* get_head() const { return m_head; }
    MB_Object* get_tail() const { return m_tail; }
    // Store an end as given, without touching any link.
    void set_head(MB_Object* obj) { m_head = obj; }
    void set_tail(MB_Object* obj) { m_tail = obj; }

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
    // Clears the links of every member and empties the list; deletes nothing.
    bool remove_all();

    void kill_head();
    void kill_tail();
    void kill_all();
    // Deletes a member; null and non-members are ignored.
    void kill_object(MB_Object* obj);

private:
    friend class MB_Sub_Command;

    void unlink(MB_Object* obj);
    // Tell the undo record where the objects it names go.
    void linked(MB_Object* obj);
    void unlinking(MB_Object* obj);

    MB_Object* m_head = nullptr;
    MB_Object* m_tail = nullptr;
    // Number of undo steps that remember this list, so that its destruction can clear
    // them; not copied.
    int m_undo_refs = 0;
};
