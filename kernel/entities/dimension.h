#pragma once

// A measured annotation built from definition points: linear, aligned, angular, diameter,
// radius and three-point angular dimensions, drawn as extension lines, dimension lines,
// arcs, filled arrowheads and the measured value as text, in the colours and sizes of the
// dimension's own style. A dimension bound to a block (a pseudo block, as imported
// drawings supply one per dimension) draws and picks through a block reference to it
// instead. Dimensions live in memory only: they write and read nothing.
//
// Points by kind (D definition point, P text position):
//   0 linear       p2, p3 the measured points, D on the dimension line
//   1 aligned      p2, p3 the measured points, D on the dimension line
//   2 angular      legs p3 -> p2 and D -> p4, the arc through the arc point
//   3 diameter     D and p4 the ends of the diameter
//   4 radius       D the centre, p4 on the circle
//   5 three-point  vertex p4, legs toward p2 and p3, the arc through D

#include <memory>
#include <vector>

#include "geometry/point.h"
#include "kernel/database/drawable.h"
#include "kernel/database/mb_string.h"

class MB_Dim_Style;
class MB_Draw_Nodes;
class MB_Insert;

class DRAKMERE_API MB_Dimension : public MB_Drawable {
public:
    enum Kind : unsigned char {
        Linear = 0,
        Aligned = 1,
        Angular = 2,
        Diameter = 3,
        Radius = 4,
        Angular_3pt = 5,
    };

    // Points at the origin, strings empty, kind linear, no bound reference; the style takes
    // the active settings. The style and its text style are private working data: they are
    // made with recording paused.
    MB_Dimension();
    // Every field; the copy owns its own style and its own copy of the bound reference, and
    // has no display node until it is built.
    MB_Dimension(const MB_Dimension& other);
    MB_Dimension& operator=(const MB_Dimension& other);
    ~MB_Dimension() override;

    MB_ID object_id() const override { return ID_DIMENSION; }
    MB_Type object_type() const override { return TYPE_TEXT; }
    // No record of its own: written as the plain entities of its picture, each in the
    // colour drawn with this dimension's other general properties (no line type): the
    // entities of picture_entities, or for a bound dimension its block reference. A
    // dimension not built yet is built first. A reload has those entities instead.
    MB_Result serialize(MB_File_IO& file) override;
    // The opcode 'X' carries no operands: reading takes nothing and succeeds, and the
    // reader goes on with the next record.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Adds nothing to the drawing: the reader frees the record.
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new dimension; a dimension target takes every field (kind,
    // measurement, points, strings, style and its own copy of the bound reference),
    // recorded before. Then the drawable part.
    bool copy_to(MB_Object*& target) override;

    // −102, −111, −112, −113 and −115 read 0 and are ignored by set_real; other keys are
    // the drawable's. set_real records a modification first.
    double get_real(int key) override;
    void set_real(long key, double value) override;
    void set_int(long, long) override {}
    void set_point(long, const Qe_Pt&) override {}
    void set_string(long, const char*) override {}

    // Through the bound reference when there is one; otherwise a hit on the built nodes
    // reports kind 82.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // Rebuilds everything from the points and the style (see dimension.cpp).
    void build_draw() override;
    // The bound reference when there is one, else the built nodes.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // Records a modification, then moves the seven points.
    void translate(const Qe_Tran& t, short mode) override;

    // Kept for hosts that call them: a dimension draws from its built nodes or its
    // reference, and its style is its own, so these do nothing.
    void dim_style(MB_Drawing&, const char*) {}
    void draw_dim_line(HDC, Qe_Qdc&, Qe_Tran&) {}
    void draw_boundary_lines(HDC, Qe_Qdc&, Qe_Tran&) {}
    void draw_dim_text(HDC, Qe_Qdc&, Qe_Tran&) {}

    // The plain entities the built nodes draw, in their order, each built: a solid per
    // filled triangle, a chain per line or arc, and a chain per run of the other nodes (the
    // text strokes and extension lines; a run of one point is the mark at an extension
    // line's foot). Each in its node's colour, or in colour when one is given. Nothing
    // without built nodes (a bound dimension draws its block reference instead).
    void picture_entities(std::vector<std::unique_ptr<MB_Drawable>>& out, const long* colour = nullptr) const;

    // Binds to the drawing's block of that name through a new reference at the origin
    // (angle 0, scales 1, 1, 0), replacing the one bound before. A name the drawing has no
    // block for leaves the dimension unbound. Nothing for a null name.
    void block_name(const char* name, MB_Drawing& drawing);

    // The setters record nothing for undo.
    Qe_Pt definition_pt() const { return m_definition_pt; }
    void definition_pt(const Qe_Pt& p) { m_definition_pt = p; }
    Qe_Pt text_mid() const { return m_text_mid; }
    void text_mid(const Qe_Pt& p) { m_text_mid = p; }
    Qe_Pt insert_pt() const { return m_insert_pt; }
    void insert_pt(const Qe_Pt& p) { m_insert_pt = p; }
    Qe_Pt dim_pt2() const { return m_dim_pt2; }
    void dim_pt2(const Qe_Pt& p) { m_dim_pt2 = p; }
    Qe_Pt dim_pt3() const { return m_dim_pt3; }
    void dim_pt3(const Qe_Pt& p) { m_dim_pt3 = p; }
    Qe_Pt dim_pt4() const { return m_dim_pt4; }
    void dim_pt4(const Qe_Pt& p) { m_dim_pt4 = p; }
    Qe_Pt arcdef_pt() const { return m_arcdef_pt; }
    void arcdef_pt(const Qe_Pt& p) { m_arcdef_pt = p; }
    MB_String& dim_text() { return m_dim_text; }
    void dim_text(const char* text) { m_dim_text = text; }
    MB_String& pseundo_blk() { return m_pseudo_blk; }
    void pseundo_blk(const char* name) { m_pseudo_blk = name; }
    MB_String& dimstyle_name() { return m_dimstyle_name; }
    double text_angle() const { return m_text_angle; }
    void text_angle(double a) { m_text_angle = a; }
    unsigned char flag() const { return m_flag; }
    void flag(unsigned char f) { m_flag = f; }
    // The kind: the low 3 bits of the flag.
    unsigned char kind() const { return m_flag & 7; }
    double measurement() const { return m_measurement; }
    void measurement(double m) { m_measurement = m; }
    MB_Insert* insert() const { return m_insert.get(); }
    MB_Dim_Style& dim_style() { return *m_dim_style; }

private:
    // The nodes of each kind, appended to nodes.
    void build_linear(MB_Draw_Nodes& nodes);
    void build_aligned(MB_Draw_Nodes& nodes);
    void build_angular(MB_Draw_Nodes& nodes);
    void build_diameter(MB_Draw_Nodes& nodes);
    void build_radius(MB_Draw_Nodes& nodes);
    void build_angular_3pt(MB_Draw_Nodes& nodes);
    void copy_fields(const MB_Dimension& other);

    MB_String m_dim_text;
    MB_String m_pseudo_blk;
    MB_String m_dimstyle_name;
    Qe_Pt m_definition_pt;
    Qe_Pt m_text_mid;
    Qe_Pt m_insert_pt;
    Qe_Pt m_dim_pt2;
    Qe_Pt m_dim_pt3;
    Qe_Pt m_dim_pt4;
    Qe_Pt m_arcdef_pt;
    double m_text_angle = 0.0;
    unsigned char m_flag = Linear;
    double m_measurement = 0.0;
    std::unique_ptr<MB_Insert> m_insert;
    std::unique_ptr<MB_Dim_Style> m_dim_style;
};
