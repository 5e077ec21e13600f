#pragma once

// The straight-line entities: MB_Line (a segment), MB_Ray and MB_Xline (construction
// lines that keep the line's data and are never drawn), MB_Lines (an open chain of
// segments through its vertices) and MB_Mlines (a chain kind that lives only in memory).
//
// Rays are written as lines (general properties first, as every entity) and read back as
// MB_Line; construction lines and multi-lines have no stream form and are left out of a
// saved drawing.

#include <memory>

#include "geometry/point.h"
#include "geometry/pt_set.h"
#include "geometry/transform.h"
#include "kernel/database/drawable.h"

class Qe_Pt_List;

class DRAKMERE_API MB_Line : public MB_Geom {
public:
    MB_Line();
    MB_Line(const Qe_Pt& start, const Qe_Pt& end);
    // Each argument points at x, y, z.
    MB_Line(const double* start, const double* end);
    MB_Line(const MB_Line& other) = default;
    MB_Line& operator=(const MB_Line& other) = default;
    ~MB_Line() override;

    MB_ID object_id() const override { return ID_LINE; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new MB_Line (also for a ray or construction line); a line
    // target (or subclass) takes the two points; any other target is refused.
    bool copy_to(MB_Object*& target) override;

    // Points 0 and 1 (2 and above: the origin), −1 start, −2 end, −4 midpoint.
    Qe_Pt get_point(int key) override;
    // −100 length, −102 angle in [0, 2π).
    double get_real(int key) override;
    // −204: 2.
    long get_int(int key) override;
    // −100 keeps the direction and sets the length; −102 turns the end about the start in
    // the xy plane, keeping its distance from the start in that plane. Both record first.
    void set_real(long key, double value) override;
    // −1 start, −2 end, recorded first.
    void set_point(long key, const Qe_Pt& value) override;

    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    void build_draw() override;
    void build_extent() override;
    // Grips at both ends; with bool setting 8 the plus marker at the midpoint too.
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    void translate(const Qe_Tran& t, short mode) override;
    void rebuild(MB_Drawing* drawing) override;

    // The parameter is the distance from the start point.
    double get_param(const Qe_Pt& p) override;
    Qe_Pt get_point_by_param(double param) override;
    bool build_by_param(MB_Geom*& result, double from, double to) override;

    Qe_Pt start() const { return m_points[0]; }
    Qe_Pt end() const { return m_points[1]; }
    void start(const Qe_Pt& p);
    void end(const Qe_Pt& p);
    Qe_Pt* points() { return m_points; }

    static MB_Result default_process(MB_Line& entity, MB_File_IO& file);
    // A line from a to b in result: a new MB_Line when result is null, else the line
    // result is (recorded before each store). False for a result of another class.
    static bool build_line(MB_Geom*& result, const Qe_Pt& a, const Qe_Pt& b);

private:
    Qe_Pt m_points[2];
};

// A half-infinite construction line: the start is its base point, the end gives its
// direction. Never drawn or picked.
class DRAKMERE_API MB_Ray : public MB_Line {
public:
    MB_Ray() = default;
    MB_Ray(const Qe_Pt& base, const Qe_Pt& through) : MB_Line(base, through) {}
    ~MB_Ray() override;

    MB_ID object_id() const override { return ID_RAY; }
    // Written as a line.
    MB_Result serialize(MB_File_IO& file) override;
    // The extended data and the two points; the general properties stay as they are.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    void build_draw() override;
    void build_extent() override;
};

// An infinite construction line; no stream form.
class DRAKMERE_API MB_Xline : public MB_Ray {
public:
    MB_Xline() = default;
    MB_Xline(const Qe_Pt& base, const Qe_Pt& through) : MB_Ray(base, through) {}
    ~MB_Xline() override;

    MB_ID object_id() const override { return ID_XLINE; }
    // Nothing is written or read, and reading leaves the drawing alone.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
};

// An open chain of straight segments through its vertices. The closed flag and the
// transform are kept and copied only.
class DRAKMERE_API MB_Lines : public MB_Geom {
public:
    MB_Lines();
    // n vertices at the origin.
    explicit MB_Lines(int n);
    MB_Lines(const MB_Lines& other);
    MB_Lines& operator=(const MB_Lines& other);
    ~MB_Lines() override;

    MB_ID object_id() const override { return ID_LINES; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new MB_Lines (also for a multi-line); a chain target takes the
    // vertices and the closed flag; any other target is refused.
    bool copy_to(MB_Object*& target) override;

    // Index i ≥ 0: vertex i (the origin at or past the count); −1 first, −2 last vertex
    // (the origin for an empty chain).
    Qe_Pt get_point(int key) override;
    // −100 total length, −101 area of the vertex polygon, −102 angle of the first segment
    // (0.0 with fewer than two vertices).
    double get_real(int key) override;
    // −204 vertex count.
    long get_int(int key) override;
    // Records first for every key; i ≥ 0 sets vertex i when it exists, −1 and −2 the first
    // and last vertex.
    void set_point(long key, const Qe_Pt& value) override;

    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    void build_draw() override;
    void build_extent() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    void translate(const Qe_Tran& t, short mode) override;
    // The line between the points that MB_Geom's parameter operations give.
    bool build_by_param(MB_Geom*& result, double from, double to) override;
    // The first and the last vertex; the origin for an empty chain.
    virtual Qe_Pt start();
    virtual Qe_Pt end();

    bool closed() const { return m_closed; }
    void closed(bool on);
    Qe_Pt_Set& pt_set() { return m_vertices; }
    Qe_Pt* points() const { return m_vertices.points(); }
    int count() const { return m_vertices.count(); }
    // Replace the vertices; nothing is recorded for undo.
    void init(int n, const Qe_Pt* pts) { m_vertices.init(n, pts); }
    void init(int n) { m_vertices.init(n); }
    void init(Qe_Pt_List& list);
    // Made on first use: nothing but copies reads it.
    Qe_Tran& tran();

    static MB_Result default_process(MB_Lines& entity, MB_File_IO& file);

private:
    Qe_Pt_Set m_vertices;
    bool m_closed = false;
    std::unique_ptr<Qe_Tran> m_tran;
};

// A multi-line: a chain that is never drawn, picked or written.
class DRAKMERE_API MB_Mlines : public MB_Lines {
public:
    MB_Mlines() = default;
    explicit MB_Mlines(int n) : MB_Lines(n) {}
    ~MB_Mlines() override;

    MB_ID object_id() const override { return ID_MLINES; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    void build_draw() override;
    void build_extent() override;
};
