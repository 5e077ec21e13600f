#pragma once

// MB_Mtext: the formatted multi-line text entity. Its string carries inline format codes:
//
//   { }              a group: "}" ends a run and returns to the text's own colour, font and
//                    height (runs outside a colour code have the text's colour)
//   \A...;           alignment, skipped
//   \Cn;             colour n of the index table (0..255)
//   \Fname|...;      font file of the following runs (also \f)
//   \Hh;  \Hhx;      height h, or h times the current height
//   \L               skipped
//   \P               a paragraph break
//   \U+XXXX          kept for the layout engine, which decodes it
//   \c               any other character c, literally
//
// The string is parsed into runs, each an MB_Text with its own style, height and colour:
// words, runs of spaces, double-byte characters and line feeds. The runs are set word by word
// into lines that wrap at the width, anchored at the insertion point by one of nine
// attachment points, turned to the text direction and optionally mirrored. The runs are a
// cache rebuilt from the string by every build_draw; drawing, picking and the rectangle come
// from them. The text owns its string, its style and its runs; font libraries are the
// registry's.

#include <memory>
#include <string>
#include <vector>

#include "geometry/point.h"
#include "geometry/void_list.h"
#include "kernel/database/drawable.h"
#include "kernel/database/mb_string.h"

class MB_Drawing;
class MB_Text;
class MB_Text_Style;
class Qe_Pt_List;

class DRAKMERE_API MB_Mtext : public MB_Drawable {
public:
    // Width 0 (every run on its own line), height 2.5, line spacing style 1 at factor 1,
    // attachment 1 (top left), drawing direction 5, no box, no string, no mirror, direction
    // (0, 0, 0), which lays the text along x.
    MB_Mtext();
    // A null text leaves the string unset.
    MB_Mtext(const Qe_Pt& pos, const char* text);
    // Copies own their string and style; their runs are made by their next build_draw.
    MB_Mtext(const MB_Mtext& other);
    MB_Mtext& operator=(const MB_Mtext& other);
    ~MB_Mtext() override;

    MB_ID object_id() const override { return ID_MTEXT; }
    MB_Type object_type() const override { return TYPE_TEXT; }
    // 'Y': the general properties, the style's font state, the opcode, the extended data,
    // the string, the insertion point and the direction, the line spacing style, attachment
    // and drawing direction as longs, then the line spacing factor, width, height, box width
    // and box height.
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Streams before revision 450 did not carry multi-line texts in this form: such a text
    // is left out of the drawing.
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new text with every value; a multi-line text target takes them
    // too (the mirror flag as well, so that a copy draws as its source); other targets are
    // refused. Runs are not copied: the target makes its own on its next build_draw.
    bool copy_to(MB_Object*& target) override;

    // Point −5 the insertion point; reals −126 line spacing factor, −109 width, −112 height,
    // −113 width scale, −111 angle, −115 oblique angle, −102 the direction's angle (set: a
    // unit direction); int −215 line spacing style; strings −301 the format string, −303 the
    // font (set by file name), −307 the big font (set by file name). Setters record first.
    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    long get_int(int key) override;
    const char* get_string(int key) override;
    void set_point(long key, const Qe_Pt& value) override;
    void set_real(long key, double value) override;
    void set_int(long key, long value) override;
    void set_string(long key, const char* value) override;

    // True when one of the runs is picked (kind 81); false without a string.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // The point pick of this kind: never.
    bool pick(const Qe_Pt&, Qe_Pt&) { return false; }
    // Parses the string into runs and sets them into lines; the rectangle is the union of
    // the runs' rectangles, or collapses onto the insertion point when none has extent.
    void build_draw() override;
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    // Every run but the line feeds, each in its colour (the colour the text had when it was
    // built, for runs outside a colour code).
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // The insertion point only; the runs follow on the next build_draw.
    void translate(const Qe_Tran& t, short mode) override;

    // The drawing's style of that name (any case) becomes this text's: true. Otherwise the
    // shared default style (made on first use, not added to the drawing) is taken: false.
    bool init_text_style(MB_Drawing& drawing, const char* name);

    // Replaces every "\P" of the string with a carriage return and line feed, then cuts the
    // string at every backslash and every "f" into string_list() (a lone "{" cut by an "f" is
    // left out). The parts are kept apart from the runs.
    void convert_mtext_string();
    // The parts made by convert_mtext_string, in order.
    const std::vector<MB_String>& string_list() const { return m_string_list; }

    MB_Text_Style* text_style() const { return m_text_style.get(); }
    // The runs, MB_Text* owned by this text, in order.
    const Qe_Void_List& text_list() const { return m_text_list; }
    const Qe_Pt& text_pos() const { return m_text_pos; }
    void set_text_pos(const Qe_Pt& p) { m_text_pos = p; }
    int linespacing_style() const { return m_linespacing_style; }
    void set_linespacing_style(int s) { m_linespacing_style = s; }
    double linespacing_factor() const { return m_linespacing_factor; }
    void set_linespacing_factor(double f) { m_linespacing_factor = f; }
    char attachpt() const { return m_attachpt; }
    void set_attachpt(char a) { m_attachpt = a; }
    char drawdir() const { return m_drawdir; }
    void set_drawdir(char d) { m_drawdir = d; }
    double width() const { return m_width; }
    void set_width(double w) { m_width = w; }
    double boxht() const { return m_boxht; }
    void set_boxht(double h) { m_boxht = h; }
    double boxwid() const { return m_boxwid; }
    void set_boxwid(double w) { m_boxwid = w; }
    double base_ht() const { return m_base_ht; }
    void set_base_ht(double h) { m_base_ht = h; }
    bool backword() const { return m_backword; }
    void backword(bool b) { m_backword = b; }
    const Qe_Vec& direction() const { return m_direction; }
    void direction(const Qe_Vec& d) { m_direction = d; }
    // The direction's angle from the x axis in [0, 2π); 0 for the zero vector.
    double direction_angle() const;
    // Null when the text has no string.
    const char* string() const { return m_has_string ? m_string.c_str() : nullptr; }
    // Replaces the string with a copy; null removes it.
    void string(const char* text);

private:
    void free_runs();
    void parse();
    void set_base_point();
    void add_run(const std::string& text, double height, long colour, const std::string& font);

    Qe_Void_List m_text_list;
    std::vector<MB_String> m_string_list;
    Qe_Pt m_text_pos;
    std::unique_ptr<MB_Text_Style> m_text_style;
    double m_width = 0.0;
    double m_base_ht = 2.5;
    int m_linespacing_style = 1;
    double m_linespacing_factor = 1.0;
    char m_attachpt = 1;
    char m_drawdir = 5;
    double m_boxht = 0.0;
    double m_boxwid = 0.0;
    std::string m_string;
    bool m_has_string = false;
    bool m_backword = false;
    Qe_Vec m_direction{0.0, 0.0, 0.0};
};
