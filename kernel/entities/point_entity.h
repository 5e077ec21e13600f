#pragma once

// MB_Point: one drawing point shown as a marker of its type (0 square, 1 circle, 2 plus,
// 3 diagonal cross, 4 asterisk, 5 star, 6 triangle; other types draw nothing) and size
// (the half-size in pixels, truncated). It has no edge points and no display node: it
// draws itself.

#include "geometry/point.h"
#include "kernel/database/drawable.h"

class Qe_Pt_List;

class DRAKMERE_API MB_Point : public MB_Geom {
public:
    // Type 1, size 2.0.
    MB_Point();
    explicit MB_Point(const Qe_Pt& position);
    MB_Point(const MB_Point& other) = default;
    MB_Point& operator=(const MB_Point& other) = default;
    ~MB_Point() override;

    MB_ID object_id() const override { return ID_POINT; }
    // The type is written as its low byte.
    MB_Result serialize(MB_File_IO& file) override;
    // Streams before revision 451 end the record after the position.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new MB_Point; a point target takes position, size and type;
    // any other target is refused.
    bool copy_to(MB_Object*& target) override;

    // Any point key: the position. −125 size, −213 type. Nothing is recorded for undo.
    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    void set_real(long key, double value) override;
    void set_int(long key, long value) override;
    void set_point(long key, const Qe_Pt& value) override;

    // Within tol of the position: kind 12.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // The bounding rectangle: the position grown by 1e-5 in x and y.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // With hdc: the filled marker in its current pen. Without: a solid pen of width 1 in the
    // display colour on the raster device's context.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    void translate(const Qe_Tran& t, short mode) override;

    const Qe_Pt& point() const { return m_position; }
    const Qe_Pt& pos() const { return m_position; }
    void point(const Qe_Pt& p) { m_position = p; }
    unsigned short point_type() const { return m_type; }
    void point_type(unsigned short t) { m_type = t; }
    double size() const { return m_size; }
    void size(double s) { m_size = s; }
    // The marker's half-size in pixels: the size truncated, kept within [0, 65536].
    int marker_size() const;

    static MB_Result default_process(MB_Point& entity, MB_File_IO& file);

private:
    Qe_Pt m_position;
    unsigned short m_type = 1;
    double m_size = 2.0;
};
