#pragma once

// MB_Tolerance: a geometric tolerance frame. Its string is rows separated by line feeds;
// within a row
//   "{" and the 8 characters after it   a symbol of the tolerance font "gdt.shx": the
//                                       eighth of the nine characters, written
//                                       "{\Fgdt;j}" by the programs that make them;
//   "%%v"                               the end of a cell: a vertical bar;
//   anything else up to "{", "%%v", a line feed or the end: plain text in the style
//   "DEFAULT_STYLE".
// A brace group that the row or the string cuts short is plain text. Every row is a box
// 2H tall (H the height), its cells separated by bars; the whole frame is turned by the
// angle about its position. The runs and frame lines are built into the entity, made again
// on every build_draw.
//
// Record '?': the general properties, the opcode, the extended data, the position, the
// height and the string. The angle is not stored: a frame read back lies unrotated.

#include <memory>
#include <vector>

#include "geometry/point.h"
#include "kernel/database/drawable.h"
#include "kernel/database/mb_string.h"
#include "kernel/entity_base/line.h"
#include "kernel/text/text.h"

class DRAKMERE_API MB_Tolerance : public MB_Drawable {
public:
    using Run_List = std::vector<std::unique_ptr<MB_Text>>;
    using Line_List = std::vector<std::unique_ptr<MB_Line>>;

    MB_Tolerance();
    MB_Tolerance(const Qe_Pt& pos, const char* text);
    // Position, height, angle and string; the copy has no runs or lines until its next
    // build_draw.
    MB_Tolerance(const MB_Tolerance& other);
    MB_Tolerance& operator=(const MB_Tolerance& other);
    ~MB_Tolerance() override;

    MB_ID object_id() const override { return ID_TOLERANCE; }
    MB_Type object_type() const override { return TYPE_TEXT; }
    MB_Result serialize(MB_File_IO& file) override;
    // The string read replaces the old one whatever their lengths; nothing changes unless
    // the whole record was read.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    MB_Result process(MB_File_IO& file) override;
    // A null target becomes a new frame; a frame target takes position, string, height and
    // angle; other targets are refused.
    bool copy_to(MB_Object*& target) override;

    // Frames are not picked.
    char pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&) override { return 0; }
    bool pick(const Qe_Pt&, Qe_Pt&) { return false; }
    // Parses the string into runs and frame lines; the rectangle bounds both (collapsed on
    // the position when there is nothing).
    void build_draw() override;
    void draw_key_point(HDC, Qe_Qdc&, const Qe_Tran&) override {}
    // Nothing without a string; the runs, then the frame lines.
    void draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t) override;
    // Moves the position only; recorded first.
    void translate(const Qe_Tran& t, short mode) override;

    double height() const { return m_height; }
    void set_height(double h) { m_height = h; }
    double angle() const { return m_angle; }
    void angle(double a) { m_angle = a; }
    const Qe_Pt& text_pos() const { return m_text_pos; }
    void text_pos(const Qe_Pt& p) { m_text_pos = p; }
    // The string, "" when there is none.
    const char* string() const { return m_text.ascii() ? m_text.ascii() : ""; }
    void string(const char* text) { m_text = text; }
    const Run_List& text_list() const { return m_text_list; }
    const Line_List& frame_list() const { return m_frame_list; }

private:
    void copy_values(const MB_Tolerance& from);
    void clear();
    void deal_string();

    Run_List m_text_list;
    Line_List m_frame_list;
    Qe_Pt m_text_pos;
    double m_height = 0.0;
    double m_angle = 0.0;
    MB_String m_text;
};
