#pragma once

// MB_Text: the single-line text entity. An insertion point, an 8-bit string with the text
// control codes, and a private copy of a text style; drawn as the glyph polylines the
// layout engine makes. Four optional frame points make the text fill a quadrilateral. The
// text owns its style and its frame points; the libraries are the registry's.

#include <memory>

#include "geometry/point.h"
#include "kernel/database/drawable.h"
#include "kernel/database/mb_string.h"

class MB_Drawing;
class MB_Text_Style;
class Qe_Pt_List;

class DRAKMERE_API MB_Text : public MB_Drawable {
public:
    // Flag 0, insertion point at the origin, empty string, no frame, the style of
    // MB_Text_Style().
    MB_Text();
    MB_Text(const Qe_Pt& pos, const MB_String& text);
    // The further arguments are accepted and not used.
    MB_Text(const Qe_Pt& pos, const MB_String& text, const Qe_Pt*, unsigned short, const unsigned short*,
            unsigned short, const unsigned short*);
    // Copies own a copy of the style and of the frame.
    MB_Text(const MB_Text& other);
    MB_Text& operator=(const MB_Text& other);
    ~MB_Text() override;

    MB_ID object_id() const override { return ID_TEXT; }
    MB_Type object_type() const override { return TYPE_TEXT; }
    // 'T': the general properties, the style's font state, the opcode, the extended data,
    // the insertion point and the string; with explode_text on also the outline runs. An
    // empty text, and with explode_text on a text never built, is not written (success).
    MB_Result serialize(MB_File_IO& file) override;
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new text; a text target takes the insertion point, string,
    // flag, style values and frame (none when this text has none); other targets are refused.
    bool copy_to(MB_Object*& target) override;

    // Point −5 the insertion point; reals −112 height, −113 width scale, −111 and −102
    // angle, −115 oblique angle; strings −301 the text, −303 the font (set: by file name,
    // with the fallbacks), −307 the big font (read only). Setters record the change first.
    Qe_Pt get_point(int key) override;
    double get_real(int key) override;
    const char* get_string(int key) override;
    void set_point(long key, const Qe_Pt& value) override;
    void set_real(long key, double value) override;
    void set_string(long key, const char* value) override;

    // Within tol of the insertion point, or on a glyph: kind 81.
    char pick(const Qe_Pt& at, Qe_Pt_List& hits, double tolerance, Qe_Pt& nearest, int& kind, int& extra) override;
    // Lays the glyphs out into a new lines-set node (filled outlines for a TrueType font);
    // an empty text or a style without font keeps no node. The rectangle starts collapsed
    // on the insertion point.
    void build_draw() override;
    // The rectangle comes from the laid-out glyphs: they are laid out and let go.
    void build_extent() override;
    // As build_draw, but a TrueType font is laid out glyph by glyph as well.
    void build_draw0();
    void draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t) override;
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // Sets the rectangle to the text's box (insertion point to width scale × height × bytes
    // by height) and draws nothing.
    void draw_ttf(HDC hdc, Qe_Tran& t);
    void draw_ttf_ce(HDC, Qe_Tran&) {}
    void translate(const Qe_Tran& t, short mode) override;

    // The drawing's style of that name (any case) becomes this text's: true. Otherwise the
    // shared default style "DEFAULT_STYLE" (made on first use, when this drawing also gets a
    // copy of it) is taken: false.
    bool init_text_style(MB_Drawing& drawing, const char* name);
    void init_text_style(const MB_Text_Style* style);

    MB_Text_Style* text_style() const { return m_text_style.get(); }
    const Qe_Pt& base_pos() const { return m_base_pos; }
    void base_pos(const Qe_Pt& p) { m_base_pos = p; }
    MB_String& string() { return m_string; }
    const MB_String& string() const { return m_string; }
    void set_text(const MB_String& text) { m_string = text; }
    unsigned char flag() const { return m_flag; }
    void flag(unsigned char f) { m_flag = f; }
    // Null, or the four frame points p0..p3.
    const Qe_Pt* bound_pts() const { return m_bound_pts.get(); }
    void bound_pts(Qe_Pt p0, Qe_Pt p1, Qe_Pt p2, Qe_Pt p3);
    void delete_bound_pts() { m_bound_pts.reset(); }
    void build_text_by_bound_pts() {}

private:
    void build(bool outlines);

    unsigned char m_flag = 0;
    Qe_Pt m_base_pos;
    MB_String m_string;
    std::unique_ptr<MB_Text_Style> m_text_style;
    std::unique_ptr<Qe_Pt[]> m_bound_pts;
};
