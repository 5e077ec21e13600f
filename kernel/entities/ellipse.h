#pragma once

// The elliptical entities in the xy plane: MB_Ellipse (centre, major and minor semi-axis
// lengths, rotation of the major axis) and MB_Ellipse_Arc (the part between two values of
// the eccentric-angle parameter t, running with increasing t). The point at t is
// P(t) = centre + major·cos t·(cos angle, sin angle) + minor·sin t·(−sin angle, cos angle),
// always at z = 0.

#include "geometry/point.h"
#include "kernel/database/drawable.h"

class Qe_Pt_List;

class DRAKMERE_API MB_Ellipse : public MB_Geom {
public:
    MB_Ellipse();
    MB_Ellipse(const Qe_Pt& center, double major, double minor, double angle);
    // axis: the end of the major axis relative to the centre; minor = major × ratio.
    MB_Ellipse(const Qe_Pt& center, const Qe_Pt& axis, double ratio);
    MB_Ellipse(const MB_Ellipse& other) = default;
    MB_Ellipse& operator=(const MB_Ellipse& other) = default;
    ~MB_Ellipse() override;

    MB_ID object_id() const override { return ID_ELLIPSE; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new MB_Ellipse; an ellipse target takes centre, axes and
    // rotation (nothing is recorded); any other target is refused.
    bool copy_to(MB_Object*& target) override;

    // −3 centre.
    Qe_Pt get_point(int key) override;
    // −100 perimeter, −101 area, −102 rotation, −103 minor, −104 major.
    double get_real(int key) override;
    // Every key records a modification first.
    void set_real(long key, double value) override;
    void set_point(long key, const Qe_Pt& value) override;

    // The centre (16), else the edge points (54).
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // n points (the draw precision) at t = i × 2π / n, then the first again.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // Moves the centre only: axes, rotation and parameters keep their values.
    void translate(const Qe_Tran& t, short mode) override;

    const Qe_Pt& center() const { return m_center; }
    double major() const { return m_major; }
    double minor() const { return m_minor; }
    double angle() const { return m_angle; }
    // None of these records anything.
    void center(const Qe_Pt& c) { m_center = c; }
    void major(double v) { m_major = v; }
    void minor(double v) { m_minor = v; }
    void angle(double v) { m_angle = v; }

    Qe_Pt get_para_pos(double t) const;
    Qe_Vec get_major_vector() const;
    Qe_Vec get_minor_vector() const;
    // The perimeter by Ramanujan's second approximation (relative error below 5e-4 for
    // every ratio of the axes).
    double perimeter() const;

    static MB_Result default_process(MB_Ellipse& entity, MB_File_IO& file);

private:
    Qe_Pt m_center;
    double m_major = 0.0;
    double m_minor = 0.0;
    double m_angle = 0.0;
};

// The parameters are MB_Geom's start and end parameters: 0 and 2π after default
// construction.
class DRAKMERE_API MB_Ellipse_Arc : public MB_Ellipse {
public:
    MB_Ellipse_Arc();
    MB_Ellipse_Arc(const Qe_Pt& center, double major, double minor, double angle, double start, double end);
    MB_Ellipse_Arc(const Qe_Pt& center, const Qe_Pt& axis, double ratio, double start, double end);
    MB_Ellipse_Arc(const MB_Ellipse_Arc& other) = default;
    MB_Ellipse_Arc& operator=(const MB_Ellipse_Arc& other) = default;
    ~MB_Ellipse_Arc() override;

    MB_ID object_id() const override { return ID_ELLIPSE_ARC; }
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // As the ellipse's, for elliptic-arc targets, with both parameters.
    bool copy_to(MB_Object*& target) override;

    // −1 P(start), −2 P(end), −3 centre.
    Qe_Pt get_point(int key) override;
    // −102 rotation, −103 minor, −104 major, −120 and −121 the parameters.
    double get_real(int key) override;
    void set_real(long key, double value) override;
    void set_point(long key, const Qe_Pt& value) override;

    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // From the start parameter (a turn earlier when it lies above the end parameter) in
    // steps of 2π / (n − 1) while below the end parameter, then P(end); at most one turn.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;

    double start_angle() const { return start_param(); }
    double end_angle() const { return end_param(); }
    void start_angle(double t) { start_param(t); }
    void end_angle(double t) { end_param(t); }
};
