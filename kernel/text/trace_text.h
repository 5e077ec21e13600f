#pragma once

// MB_Trace_Text: a string written along a polyline path. The characters stand at equal
// distances along the path, each a single-line text run of its own turned to the path's
// direction where it stands. The stations come from dashing the path with a pattern of one
// period per spacing, so they follow the path's length around its corners. The runs are
// made again on every build_draw. Path texts have no stream form.
//
// att 4 fits the text to the whole path (an open path ends on its last character, a closed
// one spaces the characters a whole share apart); any other att spaces them by space, and
// is_loop then repeats the text until the path is full. A spacing that gives no usable
// pattern (an empty text, one character fitted to an open path, a space of 0 or less)
// places only the first character, at the first path point.

#include <memory>
#include <string>
#include <vector>

#include "geometry/point.h"
#include "geometry/pt_set.h"
#include "kernel/database/drawable.h"
#include "kernel/text/text.h"

class DRAKMERE_API MB_Trace_Text : public MB_Drawable {
public:
    using Run_List = std::vector<std::unique_ptr<MB_Text>>;

    MB_Trace_Text();
    // Every value and the path; the copy has no runs until its next build_draw.
    MB_Trace_Text(const MB_Trace_Text& other);
    MB_Trace_Text& operator=(const MB_Trace_Text& other);
    ~MB_Trace_Text() override;

    MB_ID object_id() const override { return ID_TRACE_TEXT; }
    MB_Type object_type() const override { return TYPE_TEXT; }
    // Nothing is written or read: success.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new path text; a path-text target takes every value and the
    // path (what an undo backup needs); other targets are refused.
    bool copy_to(MB_Object*& target) override;

    // Points −1 and −2 the first and last path point; reals −116 space, −115 the first
    // run's oblique angle (1.0 without runs), −113 width scale, −112 height; ints −211 att,
    // −204 the number of path points; strings −301 the text, −303 and −307 the first run's
    // font and big font. Setting −115 slants the present runs only (the next build makes
    // them anew); setting −301 takes effect only once runs exist, and also goes to the
    // drawable's handler. Setters record first.
    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    const char* get_string(int key) override;
    void set_real(long key, double value) override;
    void set_string(long key, const char* value) override;

    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    void build_draw() override;
    void draw_key_point(HDC, Qe_Qdc&, const Qe_Tran&) override {}
    // Every run takes this entity's display state first.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // Moves every path point; recorded first. The runs follow at the next build_draw.
    void translate(const Qe_Tran& t, short mode) override;

    const char* style_name() const { return m_style_name.c_str(); }
    void style_name(const char* name) { m_style_name = name ? name : ""; }
    const char* str() const { return m_str.c_str(); }
    void str(const char* text) { m_str = text ? text : ""; }
    bool backword() const { return m_backword; }
    void backword(bool on) { m_backword = on; }
    bool rotate180() const { return m_rotate180; }
    void rotate180(bool on) { m_rotate180 = on; }
    bool is_loop() const { return m_is_loop; }
    void is_loop(bool on) { m_is_loop = on; }
    unsigned long att() const { return m_att; }
    void att(unsigned long a) { m_att = a; }
    double space() const { return m_space; }
    void space(double d) { m_space = d; }
    double height() const { return m_height; }
    void height(double h) { m_height = h; }
    double width_scale() const { return m_width_scale; }
    void width_scale(double w) { m_width_scale = w; }
    // Kept and copied; the layout does not read it.
    double offset() const { return m_offset; }
    void offset(double d) { m_offset = d; }
    const Run_List& text_list() const { return m_text_list; }
    Qe_Pt_Set& pt_set() { return m_pt_set; }
    const Qe_Pt_Set& pt_set() const { return m_pt_set; }
    void pt_set(const Qe_Pt_Set& path) { m_pt_set = path; }

private:
    void copy_values(const MB_Trace_Text& from);
    // A run of the character at p, turned to angle (radians, before rotate180).
    void add_run(const std::string& character, const Qe_Pt& p, double angle);

    Run_List m_text_list;
    std::string m_str;
    std::string m_style_name;
    double m_space = 0.0;
    bool m_rotate180 = false;
    bool m_backword = false;
    unsigned long m_att = 4;
    double m_offset = 0.0;
    bool m_is_loop = false;
    double m_height = 0.425;
    double m_width_scale = 1.0;
    Qe_Pt_Set m_pt_set;
};
