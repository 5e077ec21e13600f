#pragma once

// The two-dimensional polyline whose vertices carry a bulge (the segment that starts at the
// vertex is a circular arc) and a start and end width (the segment is a band that tapers
// from one width to the other). Its display is the tessellated centre line, or, when any
// width is present, filled outlines mitred at the joints (bevelled where a mitre would reach
// past four half widths).

#include <memory>

#include "kernel/database/drawable.h"

// One vertex: a plain value of six doubles.
class DRAKMERE_API MB_Pline_Pos {
public:
    // Kept in memory only: the stream carries x and y.
    Qe_Pt point;
    // Signed ratio of the arc's sagitta to half its chord: positive runs counter-clockwise
    // to the next vertex, negative clockwise, 0 straight.
    double bulge = 0.0;
    // Band width at this vertex and at the next one.
    double start_width = 0.0;
    double end_width = 0.0;
};

// n ≥ 2 points of the arc of a bulge from a to b into out, from a to b with both ends exact
// and z 0. The centre comes straight from the bulge, which stays stable for bulges just above
// resabs. Coinciding ends give n copies of a. False, out untouched, for n < 2 or a null out.
[[nodiscard]] DRAKMERE_API bool pline_bulge_arc(const Qe_Pt& a, const Qe_Pt& b, double bulge, int n, Qe_Pt* out);

class DRAKMERE_API MB_Polyline : public MB_Geom {
public:
    // The most vertices a polyline holds: the stream carries the count in 16 bits.
    static constexpr int k_max_count = 65535;
    // Points of every arc segment, whatever the draw precision.
    static constexpr int k_arc_points = 40;

    MB_Polyline();
    // Takes ownership of vertices, an array of count vertices made with new[].
    MB_Polyline(bool closed, unsigned short count, MB_Pline_Pos* vertices);
    // Deep copies: each polyline frees only its own vertex array.
    MB_Polyline(const MB_Polyline& other);
    MB_Polyline& operator=(const MB_Polyline& other);
    ~MB_Polyline() override;

    MB_ID object_id() const override { return ID_POLYLINE; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    static MB_Result default_process(MB_Polyline& polyline, MB_File_IO& file);
    // A null target gets a new polyline (fit type 0); an existing polyline takes this one's
    // vertices (reallocated to this count), closed flag and global width and keeps its fit
    // type. Then the drawable part. False for a target of another class.
    bool copy_to(MB_Object*& target) override;

    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    // x and y of a vertex; z stays.
    void set_point(long key, const Qe_Pt& value) override;

    // Vertices first (kind 22), then the tessellated centre line (kind 57).
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // Tessellates the vertices into the edge points (40 points per arc) and builds the
    // display; fewer than 2 vertices leave the display as it was.
    void build_draw() override;
    void build_extent() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // Moves the vertex points; bulges and widths stay.
    void translate(const Qe_Tran& t, short mode) override;

    bool closed() const { return m_closed; }
    void closed(bool c) { m_closed = c; }
    unsigned short count() const { return m_count; }
    MB_Pline_Pos* pline_pos() const { return m_pos.get(); }
    unsigned short fittype() const { return m_fittype; }
    void fittype(unsigned short t) { m_fittype = t; }
    double global_width() const { return m_global_width; }
    void global_width(double w) { m_global_width = w; }

    // Appends a default vertex and returns it; the reference stays valid until the next
    // call. At the largest count nothing is added and a scratch vertex owned by the
    // polyline, which is not one of its vertices, is returned.
    MB_Pline_Pos& get_new_pline_pos();
    // Any width present: the display is made of outlines.
    bool is_have_width() const;

private:
    // Replaces the vertices by a copy of n vertices.
    void assign(bool closed, int n, const MB_Pline_Pos* vertices);

    bool m_closed = false;
    unsigned short m_count = 0;
    std::unique_ptr<MB_Pline_Pos[]> m_pos;
    unsigned short m_fittype = 0;
    double m_global_width = 0.0;
    MB_Pline_Pos m_scratch;
};
