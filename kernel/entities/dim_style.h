#pragma once

// The dimension style: the named values that give dimensions their look (three colours,
// thirteen small integers, sixteen reals and a text style), and the arrowhead painter
// dimensions share.
//
// Colour 0 draws extension lines, colour 1 the text, colour 2 dimension lines, arcs,
// arrowheads and a bound block reference. Real 1 is the arrowhead length, real 5 the
// extension of extension lines past the dimension line, real 6 their offset from their
// origin, real 7 the gap between dimension line and text, real 15 the text height; the
// other values are only stored, copied and streamed.

#include <memory>

#include "geometry/point.h"
#include "geometry/transform.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/object.h"
#include "platform/win_types.h"

class MB_Drawing;
class MB_Text_Style;

class DRAKMERE_API MB_Dim_Style : public MB_Attribute {
public:
    static constexpr int k_color_count = 3;
    static constexpr int k_int_count = 13;
    static constexpr int k_real_count = 16;

    // The values come from the active settings (the default settings while no operation
    // exists) and are not followed afterwards; the text style takes its defaults, real 15
    // as its height and alignment 2. The text style is private working data: it is made
    // with recording paused.
    MB_Dim_Style();
    // Every member; the copy owns its own text style.
    MB_Dim_Style(const MB_Dim_Style& other);
    MB_Dim_Style& operator=(const MB_Dim_Style& other);
    ~MB_Dim_Style() override;

    MB_ID object_id() const override { return ID_DIM_STYLE; }
    // 'Q', the name, then the colours (three 32-bit integers), the integers (thirteen
    // 16-bit) and the reals (sixteen doubles). The text style is not written.
    MB_Result serialize(MB_File_IO& file) override;
    // The same fields; nothing changes unless the whole record was read, and the first
    // failed read is the result. The text style stays as it was.
    MB_Result materialize(const MB_Opcode& opcode, MB_File_IO& file) override;
    // Joins the tail of the dimension-style list of the drawing read into (unless it is
    // already its tail).
    MB_Result process(MB_File_IO& file) override;
    // A null target receives a copy of every member; a style target receives every member.
    bool copy_to(MB_Object*& target) override;
    // Name, colours, integers and reals; the target keeps its text style.
    void copy_to(MB_Dim_Style& out) const;
    void build(MB_Drawing*) {}

    MB_String& name() { return m_name; }
    const MB_String& name() const { return m_name; }
    void name(const char* text) { m_name = text; }
    const char* char_name() const { return m_name.ascii(); }
    long* color() { return m_colors; }
    const long* color() const { return m_colors; }
    unsigned short* int_val() { return m_ints; }
    const unsigned short* int_val() const { return m_ints; }
    double* real_val() { return m_reals; }
    const double* real_val() const { return m_reals; }
    MB_Text_Style& text_style() { return *m_text_style; }
    const MB_Text_Style& text_style() const { return *m_text_style; }

private:
    MB_String m_name;
    long m_colors[k_color_count] = {};
    unsigned short m_ints[k_int_count] = {};
    double m_reals[k_real_count] = {};
    std::unique_ptr<MB_Text_Style> m_text_style;
};

// Paints one filled arrowhead on a device context.
class DRAKMERE_API MB_Arrow {
public:
    constexpr MB_Arrow() = default;
    MB_Arrow(const MB_Arrow&) = default;
    MB_Arrow& operator=(const MB_Arrow&) = default;
    virtual ~MB_Arrow();

    // The triangle of the tip and the two corners tip + dir × length ± n × width / 2, with n
    // = unit(dir × (0, 0, 1)), each through tran, filled. type is not used.
    void draw(HDC hdc, Qe_Tran& tran, unsigned char type, Qe_Pt& tip, const Qe_Uvec& dir, const double& length,
              const double& width);

private:
    int m_type = 0;
    Qe_Pt m_point;
    double m_length = 0.0;
    double m_width = 0.0;
};

// The library's one arrow painter, made on first use.
DRAKMERE_API MB_Arrow& mb_arrow();
