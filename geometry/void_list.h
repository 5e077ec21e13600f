#pragma once

// The general container of the system: a doubly linked list of untyped pointers. The list
// owns its nodes, never its items; items are compared as pointers. No count is stored, so
// counting and index operations walk the chain. Indices are 0-based from the head.

#include "geometry/fendral_api.h"

class FENDRAL_API Qe_Void_Node {
public:
    Qe_Void_Node() = default;
    explicit Qe_Void_Node(void* entity) : m_entity(entity) {}

    Qe_Void_Node* next() const { return m_next; }
    Qe_Void_Node* previous() const { return m_previous; }
    void* entity() const { return m_entity; }
    void next(Qe_Void_Node* n) { m_next = n; }
    void previous(Qe_Void_Node* n) { m_previous = n; }
    void entity(void* e) { m_entity = e; }

private:
    Qe_Void_Node* m_next = nullptr;
    Qe_Void_Node* m_previous = nullptr;
    void* m_entity = nullptr;
};

class FENDRAL_API Qe_Void_List {
public:
    Qe_Void_List() = default;
    // Copies make new nodes holding the same item pointers.
    Qe_Void_List(const Qe_Void_List& other);
    Qe_Void_List& operator=(const Qe_Void_List& other);
    ~Qe_Void_List();

    // Delete every node; the items are untouched.
    void clear();
    void emptyYourself() { clear(); }

    Qe_Void_Node* head() const { return m_head; }
    Qe_Void_Node* tail() const { return m_tail; }
    // Set the links directly, for code that splices nodes itself.
    void head(Qe_Void_Node* n) { m_head = n; }
    void tail(Qe_Void_Node* n) { m_tail = n; }

    int count() const;
    int size() const { return count(); }
    bool is_empty() const { return m_head == nullptr; }
    bool is_enable() const { return m_head != nullptr; }

    void* first() const;
    void* last() const;
    // Null when i is out of range.
    void* get(int i) const;
    bool contains(void* p) const;
    // Index of the first node holding p, or -1.
    int find(void* p) const;

    bool add(void* p);
    bool add_tail(void* p) { return add(p); }
    bool addHead(void* p);
    bool add_head(void* p) { return addHead(p); }
    // False, and nothing added, when p is already in the list.
    bool addIfAbsent(void* p);
    void pushIfAbsent(void* p) { addIfAbsent(p); }
    // Appends when i is past the end; otherwise p takes index i.
    bool insert(void* p, int i);
    // Links p before a node of this list.
    bool insert(void* p, Qe_Void_Node* before);
    // Appends when i is past the end; otherwise replaces the item at index i.
    bool put(void* p, int i);
    bool removeAt(int i);
    // True when a node holding p was found and removed.
    bool removeValue(void* p);
    // Unlinks and deletes the node; returns the node that followed it.
    Qe_Void_Node* remove_node(Qe_Void_Node* node);

    // Empties dest, then appends this list's items to it.
    void copy(Qe_Void_List& dest) const;
    // Appends src's items; src is unchanged.
    void append(const Qe_Void_List& src);
    void reverse();

private:
    Qe_Void_Node* node_at(int i) const;
    void unlink(Qe_Void_Node* node);

    Qe_Void_Node* m_head = nullptr;
    Qe_Void_Node* m_tail = nullptr;
};
