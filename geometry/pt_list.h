#pragma once

// Qe_Pt_List: a doubly linked list of points, the form in which a polyline is built,
// merged, filtered or cut. The list owns its nodes; no count is stored, so counting and
// index operations walk the chain.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "platform/win_types.h"

class Qe_Pt_Set;
class Qe_Tran;

class FENDRAL_API Qe_Pt_Node : public Qe_Pt {
public:
    Qe_Pt_Node() = default;
    explicit Qe_Pt_Node(const Qe_Pt& p) : Qe_Pt(p) {}
    // Copies take the point, both links and the flag.
    Qe_Pt_Node(const Qe_Pt_Node&) = default;
    Qe_Pt_Node& operator=(const Qe_Pt_Node&) = default;
    virtual ~Qe_Pt_Node();

    Qe_Pt_Node* next() const { return m_next; }
    Qe_Pt_Node* prev() const { return m_prev; }
    int flag() const { return m_flag; }
    void set_next(Qe_Pt_Node* n) { m_next = n; }
    void set_prev(Qe_Pt_Node* n) { m_prev = n; }
    void flag(int f) { m_flag = f; }

private:
    Qe_Pt_Node* m_next = nullptr;
    Qe_Pt_Node* m_prev = nullptr;
    int m_flag = 0;  // a caller's mark
};

class FENDRAL_API Qe_Pt_List {
public:
    Qe_Pt_List() = default;
    // Copies hold new nodes with the source's points in order; flags are not copied.
    Qe_Pt_List(const Qe_Pt_List& other);
    Qe_Pt_List& operator=(const Qe_Pt_List& other);
    virtual ~Qe_Pt_List();

    void kill_all();

    Qe_Pt_Node* head() const { return m_head; }
    Qe_Pt_Node* tail() const { return m_tail; }
    // Direct setters, for code that splices nodes itself.
    void head(Qe_Pt_Node* n) { m_head = n; }
    void tail(Qe_Pt_Node* n) { m_tail = n; }

    bool is_empty() const { return m_head == nullptr && m_tail == nullptr; }
    long count() const;
    long size() const { return count(); }
    // Node at index i, or null.
    Qe_Pt_Node* get(int i) const;
    Qe_Pt_Node* find_flag(int f) const;

    void add(const Qe_Pt& p) { add_tail(p); }
    void add_tail(const Qe_Pt& p);
    // The list takes ownership of the node; null is ignored.
    void add_tail(Qe_Pt_Node* node);
    // Appends unless some point of the list is the same within resabs.
    void add_if_absent(const Qe_Pt& p);
    // Appends unless the tail's point is the same within resabs.
    void add_compare_last(const Qe_Pt& p);
    void add_list(const Qe_Pt_List& other);   // add_if_absent of each point
    void add_list0(const Qe_Pt_List& other);  // add_tail of each point
    void add_ptset(const Qe_Pt_Set& set);     // add_if_absent of each point

    // Joins other to this list at a common end point. The common point stands twice in
    // the result; other may be left reversed. False when this list is empty or the lists
    // share no end.
    bool merge_list(Qe_Pt_List& other);
    // A new node before index i (a new head for 0); nothing when i is not an index.
    void insert(const Qe_Pt& p, int i);
    // Inserts p with the given flag into the first segment that holds it; always true.
    bool insert_merge_Pt(const Qe_Pt& p, int flag);
    // Drops every point that is the same within resabs as the last point kept.
    void filter_same_points();
    void reverse();
    void translate(const Qe_Tran& t);
    // One Polyline through every point transformed by t and truncated to pixels; nothing when
    // the list is empty.
    void draw(HDC hdc, const Qe_Tran& t) const;

    // For two points their distance; for more the closed perimeter.
    double length() const;
    double area() const;

    void remove_tail() { kill_tail(); }
    void kill_head();
    void kill_tail();
    // Deletes a node of this list; null or a node of another list is ignored.
    void kill_node(Qe_Pt_Node* node);

private:
    // Replaces the content with new nodes (flag 0) holding pts.
    void rebuild(const Qe_Pt* pts, long n);
    Qe_Pt* copy_points(long& n) const;

    Qe_Pt_Node* m_head = nullptr;
    Qe_Pt_Node* m_tail = nullptr;
};
