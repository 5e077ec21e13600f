#pragma once

// Qe_Loop: a closed polygon held as a ring of vertices, the boundary type of hatches and
// the result type of loop search. The ring is closed implicitly: the edge from the last
// vertex back to the head is part of the boundary and no vertex repeats the head. The
// loop owns its vertices; copies are deep. Every query on an empty loop answers 0, false
// or null.

#include <memory>

#include "geometry/edge.h"
#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "geometry/rect.h"
#include "geometry/void_list.h"
#include "platform/win_types.h"

class Qe_Pt_List;
class Qe_Tran;

class FENDRAL_API Qe_Loop_Node {
public:
    Qe_Loop_Node() = default;
    explicit Qe_Loop_Node(const Qe_Pt& p) : m_point(p) {}
    // Copies take the point, both links and the tag.
    Qe_Loop_Node(const Qe_Loop_Node&) = default;
    Qe_Loop_Node& operator=(const Qe_Loop_Node&) = default;
    virtual ~Qe_Loop_Node();

    const Qe_Pt& point() const { return m_point; }
    void point(const Qe_Pt& p) { m_point = p; }
    Qe_Loop_Node* next() const { return m_next; }
    Qe_Loop_Node* prev() const { return m_prev; }
    void next(Qe_Loop_Node* n) { m_next = n; }
    void prev(Qe_Loop_Node* n) { m_prev = n; }
    // 0 an ordinary vertex; 1 a crossing inserted by Qe_Loop::intersection.
    int tag() const { return m_tag; }
    void tag(int t) { m_tag = t; }

    // A new node with p and tag linked into the ring next to this node.
    void insert_before(const Qe_Pt& p, int tag);
    void insert_after(const Qe_Pt& p, int tag);

private:
    Qe_Pt m_point;
    Qe_Loop_Node* m_next = nullptr;
    Qe_Loop_Node* m_prev = nullptr;
    int m_tag = 0;
};

class FENDRAL_API Qe_Loop : public Qe_Edge {
public:
    Qe_Loop() = default;
    Qe_Loop(const Qe_Pt* pts, int count);
    Qe_Loop(const Qe_Loop& other);
    Qe_Loop& operator=(const Qe_Loop& other);
    ~Qe_Loop() override;

    EDGE_ID edge_id() const override { return LOOP; }
    using Qe_Edge::interact;

    // Appends p before the head unless it is the same (resabs) as the head or the last
    // vertex.
    void add(const Qe_Pt& p);
    // Appends the node unconditionally; the loop takes it. Null is ignored.
    void add(Qe_Loop_Node* node);
    // Links node before pos (a new head when pos is the head); with a null pos the node is
    // appended (the head of an empty loop).
    void insert(Qe_Loop_Node* node, Qe_Loop_Node* pos);

    Qe_Loop_Node* head() const { return m_head; }
    void head(Qe_Loop_Node* n) { m_head = n; }
    bool is_empty() const { return m_head == nullptr; }
    long count() const;
    void kill_head();
    void kill_all();

    bool closed() const { return m_closed; }
    void closed(bool c) { m_closed = c; }

    Qe_Rect* rect() const { return m_rect.get(); }
    // lt = (min x, max y, 0), rb = (max x, min y, 0). False, both untouched, when empty.
    bool get_rect_pos(Qe_Pt& lt, Qe_Pt& rb) const;
    // Replaces the cached rectangle; an empty loop has none.
    void build_rect();

    double length() override;
    double area() override;
    // Every vertex is transformed; a cached rectangle is rebuilt.
    void translate(const Qe_Tran& t) override;

    // 0 outside, 1 inside, 2 on the boundary.
    int is_pt_in_loop(const Qe_Pt& p) const;
    // 1 when the midpoint of every edge lies inside or on other.
    int is_in_loop(const Qe_Loop& other) const;
    // Whether the loops overlap or touch.
    bool is_intersection(const Qe_Loop& other) const;
    // 0 apart; 1 other lies within this loop; 2 this loop lies within other; 3 the
    // boundaries cross and out gets new loops (the caller's) bounding the common part.
    int intersection(const Qe_Loop& other, Qe_Void_List& out) const;
    // The outline of the two loops together; null when none is found. The caller owns it.
    Qe_Loop* create_union_loop(const Qe_Loop& other) const;
    // The part of this loop outside other; null when none. The caller owns it.
    Qe_Loop* cut_by_loop(const Qe_Loop& other) const;
    // Appends the crossings of the polyline pts with the ring (closed or not) to out.
    bool interact(const Qe_Pt* pts, int n, Qe_Pt_List& out, bool closed) const;
    // Offset copy added to out; false, out unchanged, when it collapses to two points or
    // fewer.
    bool offset(double distance, Qe_Loop& out) const;

    // The ring closed by repeating its first vertex, transformed and truncated to device
    // pixels, as one GDI Polyline; nothing for an empty loop.
    void draw(HDC dc, const Qe_Tran& t) const;

private:
    // The vertices in ring order; with close_ring the head is repeated at the end.
    std::unique_ptr<Qe_Pt[]> points(bool close_ring, int& n) const;

    Qe_Loop_Node* m_head = nullptr;
    std::unique_ptr<Qe_Rect> m_rect;
    bool m_closed = true;
};

// A holder of loops it does not own.
class FENDRAL_API Qe_Region {
public:
    Qe_Region() = default;
    virtual ~Qe_Region();

    Qe_Void_List& loop_list() { return m_loops; }

private:
    Qe_Void_List m_loops;
};

// Joint bounding corners of the listed Qe_Loop*: lt (min x, max y), rb (max x, min y).
// Empty loops are passed over; false, both untouched, when no loop has a vertex.
FENDRAL_API bool api_mb_get_loops_rect_pos(const Qe_Void_List& loops, Qe_Pt& lt, Qe_Pt& rb);
