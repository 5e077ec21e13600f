#pragma once

// Qe_Search_Loops turns a heap of straight segments that cross and touch one another into
// the closed loops they bound. It builds a planar graph whose nodes are the points where
// segments meet (Qe_Intersect_Point) and whose directed arcs join consecutive points along
// one segment (Qe_Intersect_Relation), each point keeping its outgoing arcs by ascending
// direction angle. A minimal loop is traced by turning to the next smaller angle at every
// point, a maximal (outer) loop by turning to the next larger one.
//
// Calling order: fill the segment list (directly or with one of the conversions);
// remove_error_segment; bulid_intersect; del_invalid_intersect; create_intersect_relation;
// order_add_remove_error_intersect_points (or init() for these five); then
// search_min_loops or search_max_loops; read the result list.
//
// Ownership: the search deletes its segments and intersection points; the loops of the
// result list belong to the caller; the input list is never touched.

#include <vector>

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "geometry/void_list.h"
#include "platform/win_types.h"

class Qe_File;
class Qe_Intersect_Point;
class Qe_Tran;
class Qe_Segment;

class FENDRAL_API Qe_Intersect_Relation {
public:
    Qe_Intersect_Relation(Qe_Intersect_Point* from, Qe_Intersect_Point* to, double angle)
        : m_from(from), m_to(to), m_angle(angle)
    {
    }
    Qe_Intersect_Relation(const Qe_Intersect_Relation&) = delete;
    Qe_Intersect_Relation& operator=(const Qe_Intersect_Relation&) = delete;
    virtual ~Qe_Intersect_Relation();

    Qe_Intersect_Point* from() const { return m_from; }
    Qe_Intersect_Point* to() const { return m_to; }
    // Direction of to − from, counter-clockwise from +x, in [0, 2π).
    double angle() const { return m_angle; }
    // 0 free, 1 used by a loop already found, −1 barred as a start.
    int state() const { return m_state; }
    void state(int s) { m_state = s; }

private:
    friend class Qe_Search_Loops;

    Qe_Intersect_Point* m_from;
    Qe_Intersect_Point* m_to;
    double m_angle;
    int m_state = 0;
    // Bookkeeping of a search: where to → from stands among to's relations, and the
    // search that last walked the relation.
    int m_reverse = -1;
    unsigned m_orbit = 0;
};

class FENDRAL_API Qe_Intersect_Point {
public:
    explicit Qe_Intersect_Point(const Qe_Pt& p) : m_point(p.x(), p.y(), 0.0) {}
    Qe_Intersect_Point(const Qe_Intersect_Point&) = delete;
    Qe_Intersect_Point& operator=(const Qe_Intersect_Point&) = delete;
    // Deletes the relations leaving the point.
    virtual ~Qe_Intersect_Point();

    const Qe_Pt& point() const { return m_point; }
    // Qe_Intersect_Relation* leaving the point, by ascending angle; owned.
    Qe_Void_List& relations() { return m_relations; }
    const Qe_Void_List& relations() const { return m_relations; }
    // Qe_Segment* through the point, each once; not owned.
    Qe_Void_List& segments() { return m_segments; }
    const Qe_Void_List& segments() const { return m_segments; }

private:
    friend class Qe_Search_Loops;
    void delete_relations();

    Qe_Pt m_point;
    Qe_Void_List m_relations;
    Qe_Void_List m_segments;
    // Bookkeeping of a walk: the walk that last visited the point and where.
    unsigned m_graph = 0;
    unsigned m_walk = 0;
    int m_index = -1;
    int m_walk_pos = -1;
};

class FENDRAL_API Qe_Search_Loops {
public:
    Qe_Search_Loops() = default;
    // A search owns its segments and points; it is used once and never copied.
    Qe_Search_Loops(const Qe_Search_Loops&) = delete;
    Qe_Search_Loops& operator=(const Qe_Search_Loops&) = delete;
    virtual ~Qe_Search_Loops();

    Qe_Void_List& input_list() { return m_input; }
    Qe_Void_List& segment_list() { return m_segments; }
    Qe_Void_List& intersect_list() { return m_intersects; }
    Qe_Void_List& result_list() { return m_results; }
    // For each loop the search added to the result list, in that order, the point where the
    // search came upon it. Loops are found in the order of these points, by descending x,
    // then descending y: searches over parts of the segments that cannot meet give, merged
    // by these points, the loops of one search over all of them in the same order.
    const std::vector<Qe_Pt>& result_starts() const { return m_result_starts; }

    // remove_error_segment, bulid_intersect, del_invalid_intersect,
    // create_intersect_relation and order_add_remove_error_intersect_points; returns 1.
    int init();

    // Segments from the input list, whose items are Qe_Pt_Set*, Qe_Pt_List* or Qe_Loop*
    // (a loop's closing edge included), with the item as parent.
    void ptset2segments();
    void ptlist2segments();
    void loop2segments();

    // Deletes segments whose ends coincide (resabs) or that are not finite.
    void remove_error_segment();
    // The points where segments meet, each pair tested once; points within resabs of one
    // another are one point. Replaces any points of an earlier run.
    void bulid_intersect();
    // A new point where s and t meet, listing both; null when they do not meet.
    Qe_Intersect_Point* segment_lines_insertion(Qe_Segment* s, Qe_Segment* t);
    // Prunes what can bound no loop: points joined to at most one other point (repeatedly),
    // segments left with a single point, and points left strictly inside a single segment.
    void del_invalid_intersect();
    // Relations between consecutive points of every segment.
    void create_intersect_relation();
    // Sorts the points by x, then y, descending and bars one outward relation per point as
    // a start.
    void order_add_remove_error_intersect_points();

    void search_min_loops();
    void search_max_loops();
    // The steps from ptset2segments to search_min_loops at once, for input point sets that
    // are closed rings (the last point the first) meeting nowhere but at the shared vertices
    // of consecutive segments, as a filled font's glyph outlines are: the result list and
    // starts get what those steps would give, without building the graph. False, changing
    // nothing, for any other input: the caller then takes the steps one by one.
    bool search_simple_min_loops();
    // Result loops by ascending x of their rectangle's centre.
    void order_result_list();
    // Debug dump: the current time, then every segment; false when a write fails.
    bool save_segments(Qe_File& file);
    // Debug drawing: a circle of radius 5 pixels around every intersection point.
    void draw_test(HDC dc, const Qe_Tran& t);

private:
    struct Graph;
    void search_loops(bool minimal);
    void trace(Graph& g, Qe_Intersect_Relation* first, bool minimal);
    void delete_intersects();

    Qe_Void_List m_input;
    Qe_Void_List m_segments;
    Qe_Void_List m_intersects;
    Qe_Void_List m_results;
    std::vector<Qe_Pt> m_result_starts;
    // The walk in progress: its points and relations.
    std::vector<Qe_Intersect_Point*> m_current_points;
    std::vector<Qe_Intersect_Relation*> m_current_relations;
    unsigned m_walk_id = 0;
    unsigned m_graph_id = 0;
};
