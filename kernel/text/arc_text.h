#pragma once

// MB_Arc_Text: a string written along a circular arc. Every character becomes a single-line
// text run of its own, placed on the arc and turned to it; the runs are made again on every
// build_draw. Arc texts have no stream form: their record operations write and read nothing.
//
// Placement modes (att), with a the start of the usable arc (start angle plus the right
// offset) and b its end (end angle less the left offset):
//   1  from b clockwise, each character standing on the arc at its angle;
//   8  as 1, the text centred on the middle of the arc;
//   2  from a anticlockwise (with rotate180: from the end angle clockwise), the first
//      character at that end; characters read clockwise, so the text reads in order
//      towards a when it is given reversed (reverse), as this mode is used;
//   4  the characters spread evenly from b to a.
// rotate180 turns every character half a turn and walks the other way. Any other mode, and
// an arc that cannot carry text (no radius, a base-line radius of 0 or less, angles or
// offsets that are not finite), leaves the runs unplaced at the origin.

#include <memory>
#include <string>
#include <vector>

#include "geometry/point.h"
#include "kernel/database/drawable.h"
#include "kernel/text/text.h"

class MB_Drawing;

class DRAKMERE_API MB_Arc_Text : public MB_Drawable {
public:
    using Run_List = std::vector<std::unique_ptr<MB_Text>>;

    MB_Arc_Text();
    MB_Arc_Text(const Qe_Pt& centre, double start_angle, double end_angle, double radius, const char* style_name,
                const char* text);
    // Every value; the copy has no runs until its next build_draw.
    MB_Arc_Text(const MB_Arc_Text& other);
    MB_Arc_Text& operator=(const MB_Arc_Text& other);
    ~MB_Arc_Text() override;

    MB_ID object_id() const override { return ID_ARC_TEXT; }
    MB_Type object_type() const override { return TYPE_TEXT; }
    // Nothing is written or read: success.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new arc text; an arc-text target takes every value; other
    // targets are refused.
    bool copy_to(MB_Object*& target) override;

    // Point −3 the centre; reals −120 and −121 the angles, −103 the radius, −119 arc
    // offset, −118 right offset, −117 left offset, −116 space, −115 the first run's oblique
    // angle (1.0 without runs), −113 width scale, −112 height; int −211 att; strings −301
    // the text, −303 and −307 the first run's font and big font. Setters record first.
    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    const char* get_string(int key) override;
    void set_real(long key, double value) override;
    void set_int(long key, long value) override;
    void set_string(long key, const char* value) override;

    // False without runs; true as soon as a run is picked.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // Makes the runs, gives them the style, height and width scale, places them; the
    // rectangle is their union (collapsed on the centre without runs).
    void build_draw() override;
    void draw_key_point(HDC, Qe_Qdc&, const Qe_Tran&) override {}
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    void draw_ttf(HDC, Qe_Tran&) {}
    void text_2_ptsets() {}
    bool ttf_to_lines(MB_Drawing*) { return true; }
    // Moves the centre only; recorded first.
    void translate(const Qe_Tran& t, short mode) override;
    void get_pt_and_angle(int, Qe_Pt&, double&) {}

    // Every run takes the drawing's style of that name (the shared default without a
    // drawing), then the entity's height and width scale, and is laid out again.
    void init_text_style(MB_Drawing* drawing, const char* name);

    double radius() const { return m_radius; }
    void radius(double r) { m_radius = r; }
    const Qe_Pt& center_pos() const { return m_center_pos; }
    void center_pos(const Qe_Pt& p) { m_center_pos = p; }
    const char* text_name() const { return m_text_name.c_str(); }
    void text_name(const char* name) { m_text_name = name ? name : ""; }
    const char* str() const { return m_str.c_str(); }
    void str(const char* text) { m_str = text ? text : ""; }
    double start_angle() const { return m_start_angle; }
    void start_angle(double a) { m_start_angle = a; }
    double end_angle() const { return m_end_angle; }
    void end_angle(double a) { m_end_angle = a; }
    bool reverse() const { return m_reverse; }
    void reverse(bool on) { m_reverse = on; }
    bool outside() const { return m_outside; }
    void outside(bool on) { m_outside = on; }
    bool rotate180() const { return m_rotate180; }
    void rotate180(bool on) { m_rotate180 = on; }
    unsigned long att() const { return m_att; }
    void att(unsigned long a) { m_att = a; }
    double arc_offset() const { return m_arc_offset; }
    void arc_offset(double d) { m_arc_offset = d; }
    double left_offset() const { return m_left_offset; }
    void left_offset(double d) { m_left_offset = d; }
    double right_offset() const { return m_right_offset; }
    void right_offset(double d) { m_right_offset = d; }
    double space() const { return m_space; }
    void space(double d) { m_space = d; }
    double height() const { return m_height; }
    void height(double h) { m_height = h; }
    double width_scale() const { return m_width_scale; }
    void width_scale(double w) { m_width_scale = w; }
    const Run_List& text_list() const { return m_text_list; }

private:
    void copy_values(const MB_Arc_Text& from);
    // One run per character, in reverse order when reverse is set.
    void deal_string();
    // False when the arc cannot carry the runs: they stay where they are.
    bool set_pt_and_angle();

    Run_List m_text_list;
    double m_start_angle = 0.0;
    double m_end_angle = 0.0;
    double m_radius = 0.0;
    Qe_Pt m_center_pos;
    std::string m_str;
    std::string m_text_name;
    double m_space = 0.0;
    bool m_reverse = false;
    bool m_outside = true;
    bool m_rotate180 = false;
    unsigned long m_att = 4;
    double m_arc_offset = 0.0;
    double m_left_offset = 0.0;
    double m_right_offset = 0.0;
    double m_height = 0.425;
    double m_width_scale = 1.0;
};
