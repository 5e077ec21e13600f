#pragma once

// The circular entities: MB_Circle (a full circle) and MB_Arc (the counter-clockwise arc
// from its start angle to its end angle). The arc's start and end points are a cache of
// the angles: the angle constructor, materialize, copy_to, build_draw and
// build_start_end_pos derive them; the point constructor and the point setters store
// points directly, and translate derives the angles from the moved points.

#include <vector>

#include "geometry/point.h"
#include "kernel/database/drawable.h"

class Qe_Pt_List;

class DRAKMERE_API MB_Circle : public MB_Geom {
public:
    MB_Circle();
    MB_Circle(const Qe_Pt& center, double radius);
    // Only x and y are taken from the array.
    MB_Circle(const double* center, double radius);
    MB_Circle(const MB_Circle& other) = default;
    MB_Circle& operator=(const MB_Circle& other) = default;
    ~MB_Circle() override;

    MB_ID object_id() const override { return ID_CIRCLE; }
    MB_Result serialize(MB_File_IO& file) override;
    // Every opcode reads the same record.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // The operands shared with the arc: the centre position and the radius.
    MB_Result serialize_ex(MB_File_IO& file);
    MB_Result materialize(MB_File_IO& file);
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new MB_Circle; a circle or arc target takes radius and
    // centre (recorded before each); any other target is refused.
    bool copy_to(MB_Object*& target) override;

    // −3 centre.
    Qe_Pt get_point(int key) override;
    // −100 circumference, −101 area, −103 radius.
    double get_real(int key) override;
    // Every key records a modification first.
    void set_real(long key, double value) override;
    void set_point(long key, const Qe_Pt& value) override;

    // The centre (kind 16), else a point within tol of the outline itself (kind 53).
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // n points (the draw precision) from the bottom of the circle, counter-clockwise, 2π /
    // (n − 1) apart; the last is an exact copy of the first.
    void build_draw() override;
    void build_extent() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // Moves the centre; the radius keeps its value.
    void translate(const Qe_Tran& t, short mode) override;

    const Qe_Pt& center() const { return m_center; }
    double radius() const { return m_radius; }
    // Both record a modification first.
    void center(const Qe_Pt& c);
    void radius(double r);

    static MB_Result default_process(MB_Circle& entity, MB_File_IO& file);

private:
    // The points build_draw lays the circle out in, into pts (its storage reused).
    void outline(std::vector<Qe_Pt>& pts);

protected:
    friend struct MB_Circle_Access;

    Qe_Pt m_center;
    double m_radius = 0.0;
};

class DRAKMERE_API MB_Arc : public MB_Circle {
public:
    MB_Arc();
    MB_Arc(const Qe_Pt& center, double radius, double start_angle, double end_angle);
    // Radius and angles from the points; both points are kept as given.
    MB_Arc(const Qe_Pt& center, const Qe_Pt& start, const Qe_Pt& end);
    MB_Arc(const MB_Arc& other) = default;
    MB_Arc& operator=(const MB_Arc& other) = default;
    ~MB_Arc() override;

    MB_ID object_id() const override { return ID_ARC; }
    MB_Result serialize(MB_File_IO& file) override;
    // 0x01: the whole record; 'a' and 'A': only the general properties (no operands);
    // anything else: Invalid_Data, nothing read.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    using MB_Circle::materialize;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new MB_Arc; an arc target takes angles, centre and radius
    // (recorded before each) and derives its points; any other target is refused.
    bool copy_to(MB_Object*& target) override;

    // −1 start point, −2 end point, −3 centre, −4 middle of the arc.
    Qe_Pt get_point(int key) override;
    // −100 arc length, −101 segment area, −102 sweep, −103 radius, −120 and −121 angles.
    double get_real(int key) override;
    void set_real(long key, double value) override;
    void set_point(long key, const Qe_Pt& value) override;

    // Centre (16), start (13), end (14), then the edge points (52).
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    void build_draw() override;
    void build_extent() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // Centre and points through t, the radius by its scaling; a reflection exchanges the
    // points so that the arc stays counter-clockwise; the angles follow the points.
    void translate(const Qe_Tran& t, short mode) override;

    const Qe_Pt& start() const { return m_start; }
    const Qe_Pt& end() const { return m_end; }
    double start_angle() const { return m_start_angle; }
    double end_angle() const { return m_end_angle; }
    // Each records a modification and stores its value only (the points follow the angles
    // at the next build_draw or build_start_end_pos).
    void start(const Qe_Pt& p);
    void end(const Qe_Pt& p);
    void start_angle(double a);
    void end_angle(double a);
    // The counter-clockwise angle from start to end, in [0, 2π).
    double sweep() const;
    // The points from the angles; records nothing.
    void build_start_end_pos();

    static MB_Result default_process(MB_Arc& entity, MB_File_IO& file);

private:
    friend struct MB_Arc_Access;
    // The points build_draw lays the arc out in, into pts (its storage reused), its start and
    // end points derived first.
    void outline(std::vector<Qe_Pt>& pts);

    double m_start_angle = 0.0;
    double m_end_angle = 0.0;
    Qe_Pt m_start;
    Qe_Pt m_end;
};
