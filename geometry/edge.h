#pragma once

// The edge family: the pieces of a boundary. A point, a straight line, a straight segment
// that takes part in loop search, a full circle, a circular arc and (in loop.h) a closed
// vertex loop share the abstract base Qe_Edge. Edges are created with new by their users
// and deleted through the virtual destructor; operations that make new edges hand them to
// the caller.

#include "geometry/fendral_api.h"
#include "geometry/point.h"
#include "geometry/pt_set.h"
#include "geometry/void_list.h"

class Qe_File;
class Qe_Intersect_Point;
class Qe_Tran;

class FENDRAL_API Qe_Edge {
public:
    enum EDGE_ID { POINT = 1, LINE = 2, ARC = 3, CIRCLE = 4, LOOP = 7 };

    Qe_Edge() = default;
    // Copies own their fit points.
    Qe_Edge(const Qe_Edge&) = default;
    Qe_Edge& operator=(const Qe_Edge&) = default;
    virtual ~Qe_Edge();

    virtual EDGE_ID edge_id() const = 0;
    virtual bool cut(const Qe_Pt& a, const Qe_Pt& b, Qe_Void_List& out);
    virtual bool break_by_point(const Qe_Pt& p, Qe_Void_List& out);
    virtual Qe_Pt get_point_by_length(double length, bool from_start);
    virtual Qe_Pt start_pos();
    virtual Qe_Pt end_pos();
    virtual Qe_Pt middle_pos();
    virtual Qe_Pt center_pos();
    virtual double length();
    virtual double area();
    virtual double angle();
    virtual double fill_angle();
    virtual void translate(const Qe_Tran& t);
    virtual bool interact(Qe_Edge* other, Qe_Pt*& pts, int& count);
    virtual bool self_interact();
    virtual bool is_on_edge(const Qe_Pt& p);
    virtual bool is_like(Qe_Edge* other);
    virtual void build_fit_pts();

    Qe_Pt_Set& fit_pts() { return m_fit_pts; }
    const Qe_Pt_Set& fit_pts() const { return m_fit_pts; }

private:
    Qe_Pt_Set m_fit_pts;
};

class FENDRAL_API Qe_Point : public Qe_Edge {
public:
    Qe_Point() = default;
    Qe_Point(double x, double y, double z) : m_point(x, y, z) {}

    EDGE_ID edge_id() const override { return POINT; }
    const Qe_Pt& point() const { return m_point; }

private:
    Qe_Pt m_point;
};

class FENDRAL_API Qe_Line : public Qe_Edge {
public:
    Qe_Line() = default;
    Qe_Line(const Qe_Pt& start, const Qe_Pt& end) : m_start(start), m_end(end) {}

    EDGE_ID edge_id() const override { return LINE; }
    // A point on the line (not at an end) breaks it into two new Qe_Lines, both starting
    // at the point: towards the start first, then towards the end.
    bool cut(const Qe_Pt& a, const Qe_Pt& b, Qe_Void_List& out) override;
    bool break_by_point(const Qe_Pt& p, Qe_Void_List& out) override;
    // Not clamped: a length beyond the line gives a point on its extension.
    Qe_Pt get_point_by_length(double length, bool from_start) override;
    Qe_Pt start_pos() override { return m_start; }
    Qe_Pt end_pos() override { return m_end; }
    Qe_Pt middle_pos() override;
    double length() override;
    double angle() override;
    // Both end points are transformed.
    void translate(const Qe_Tran& t) override;
    bool is_on_edge(const Qe_Pt& p) override;
    bool is_like(Qe_Edge* other) override;
    void build_fit_pts() override;
    // Deletes other when it is a different line with the same end points (either way
    // round); the caller must then drop its reference to it.
    virtual bool merage(Qe_Edge* other);
    // One debug line with both end points and the tag 0xFF0000; false when the write fails.
    virtual bool save(Qe_File& file);

    const Qe_Pt& start() const { return m_start; }
    const Qe_Pt& end() const { return m_end; }
    void start(const Qe_Pt& p) { m_start = p; }
    void end(const Qe_Pt& p) { m_end = p; }

private:
    Qe_Pt m_start;
    Qe_Pt m_end;
};

// A straight segment of a loop search. The intersection points on it belong to the
// search; the segment only lists them, ordered along the segment.
class FENDRAL_API Qe_Segment : public Qe_Line {
public:
    Qe_Segment() = default;
    Qe_Segment(const Qe_Pt& start, const Qe_Pt& end, void* parent = nullptr) : Qe_Line(start, end), m_parent(parent) {}
    // Copies list the same intersection points.
    Qe_Segment(const Qe_Segment&) = default;
    Qe_Segment& operator=(const Qe_Segment&) = default;
    ~Qe_Segment() override;

    void* parent() const { return m_parent; }
    void parent(void* p) { m_parent = p; }
    Qe_Void_List& intpos_list() { return m_intpos; }
    const Qe_Void_List& intpos_list() const { return m_intpos; }

    // Inserts p by its position along the segment, counted in the sense of ascending x
    // (ascending y for a segment whose x extent is below resabs); points at the same
    // position keep their insertion order. Nothing when p is null or already listed.
    void add_order_intpos(Qe_Intersect_Point* p);

private:
    friend class Qe_Search_Loops;
    // The position of q along the segment in that sense (not normalised).
    double order_parameter(const Qe_Pt& q) const;

    void* m_parent = nullptr;  // the object the segment was cut from; never dereferenced
    Qe_Void_List m_intpos;     // Qe_Intersect_Point*, not owned
};

class FENDRAL_API Qe_Circle : public Qe_Edge {
public:
    Qe_Circle() = default;
    Qe_Circle(const Qe_Pt& centre, double radius) : m_centre(centre), m_radius(radius) {}

    EDGE_ID edge_id() const override { return CIRCLE; }
    bool cut(const Qe_Pt&, const Qe_Pt&, Qe_Void_List&) override { return false; }
    bool break_by_point(const Qe_Pt&, Qe_Void_List&) override { return false; }
    Qe_Pt start_pos() override;
    Qe_Pt end_pos() override;
    Qe_Pt middle_pos() override { return m_centre; }
    Qe_Pt center_pos() override { return m_centre; }
    double length() override;
    double area() override;
    double fill_angle() override;
    void translate(const Qe_Tran& t) override;

    double radius() const { return m_radius; }

protected:
    // centre + radius · (cos a, sin a), with z = 0.
    Qe_Pt point_at(double a) const;

    Qe_Pt m_centre;
    double m_radius = 0.0;
};

// Counter-clockwise from the start angle to the end angle; the sweep is end − start,
// neither angle normalised.
class FENDRAL_API Qe_Arc : public Qe_Circle {
public:
    Qe_Arc(const Qe_Pt& centre, double start_angle, double end_angle, double radius)
        : Qe_Circle(centre, radius), m_start_angle(start_angle), m_end_angle(end_angle)
    {
    }

    EDGE_ID edge_id() const override { return ARC; }
    Qe_Pt get_point_by_length(double length, bool from_start) override;
    Qe_Pt start_pos() override { return point_at(m_start_angle); }
    Qe_Pt end_pos() override { return point_at(m_end_angle); }
    // The point at the mean of the two angles.
    Qe_Pt middle_pos() override;
    // Radius times sweep: negative for a negative sweep.
    double length() override;
    double area() override { return 0.0; }
    double angle() override { return m_start_angle; }
    double fill_angle() override { return m_end_angle - m_start_angle; }
    // An arc keeps its centre and angles.
    void translate(const Qe_Tran&) override {}
    // 50 points from the start point to the end point.
    void build_fit_pts() override;

    double start_angle() const { return m_start_angle; }
    double end_angle() const { return m_end_angle; }

private:
    double m_start_angle;
    double m_end_angle;
};

// A Qe_Pt_Sets under the name the edge code uses.
class FENDRAL_API Qe_Line_Sets : public Qe_Pt_Sets {
public:
    using Qe_Pt_Sets::Qe_Pt_Sets;
    Qe_Line_Sets() = default;
};

// count points round the circle counter-clockwise from its lowest point, the last equal to
// the first. False for null pts or count < 2.
FENDRAL_API bool circle_to_ptset(const Qe_Pt& centre, double radius, Qe_Pt* pts, int count);
