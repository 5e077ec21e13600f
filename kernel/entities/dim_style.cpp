#include "kernel/entities/dim_style.h"

#include <algorithm>
#include <iterator>

#include "geometry/dc_draw.h"
#include "kernel/database/drawing.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "kernel/stream/file_io.h"
#include "kernel/text/text_style.h"

namespace {

constexpr unsigned char k_dim_style_opcode = 'Q';
// Where a new style's values come from in the settings.
constexpr int k_color_settings[MB_Dim_Style::k_color_count] = {11, 9, 8};
constexpr int k_text_height_real = 15;
constexpr long k_text_alignment = 2;

// A text style the dimension style owns: working data, never an undoable creation.
std::unique_ptr<MB_Text_Style> new_own_text_style(const MB_Text_Style* from)
{
    MB_Recording_Pause pause;
    if (from) return std::make_unique<MB_Text_Style>(*from);
    return std::make_unique<MB_Text_Style>();
}

}  // namespace

MB_Dim_Style::MB_Dim_Style() : m_text_style(new_own_text_style(nullptr))
{
    const MB_System_Setting& s = api_active_system_setting();
    for (int i = 0; i < k_real_count; ++i) m_reals[i] = s.get_real_val(MB_System_Setting::k_real_dim_first + i);
    for (int i = 0; i < k_int_count; ++i)
        m_ints[i] = static_cast<unsigned short>(s.get_long_val(MB_System_Setting::k_long_dim_first + i) & 0xFFFF);
    for (int i = 0; i < k_color_count; ++i) m_colors[i] = s.get_long_val(k_color_settings[i]);
    MB_Recording_Pause pause;
    m_text_style->load_default();
    m_text_style->height(m_reals[k_text_height_real]);
    m_text_style->ali_flag(k_text_alignment);
}

MB_Dim_Style::MB_Dim_Style(const MB_Dim_Style& other)
    : MB_Attribute(other), m_name(other.m_name), m_text_style(new_own_text_style(other.m_text_style.get()))
{
    other.copy_to(*this);
}

MB_Dim_Style& MB_Dim_Style::operator=(const MB_Dim_Style& other)
{
    if (this == &other) return *this;
    MB_Attribute::operator=(other);
    other.copy_to(*this);
    *m_text_style = *other.m_text_style;
    return *this;
}

MB_Dim_Style::~MB_Dim_Style() = default;

void MB_Dim_Style::copy_to(MB_Dim_Style& out) const
{
    if (&out == this) return;
    out.m_name = m_name;
    std::copy(std::begin(m_colors), std::end(m_colors), out.m_colors);
    std::copy(std::begin(m_ints), std::end(m_ints), out.m_ints);
    std::copy(std::begin(m_reals), std::end(m_reals), out.m_reals);
}

bool MB_Dim_Style::copy_to(MB_Object*& target)
{
    return mb_copy_value(*this, target);
}

MB_Result MB_Dim_Style::serialize(MB_File_IO& file)
{
    MB_Result r = file.write(k_dim_style_opcode);
    if (r == 0) r = m_name.serialize(file, 0);
    for (long c : m_colors)
        if (r == 0) r = file.write_int32(static_cast<mb_long>(c));
    for (unsigned short v : m_ints)
        if (r == 0) r = file.write_uint16(v);
    for (double v : m_reals)
        if (r == 0) r = file.write_double(v);
    return r;
}

MB_Result MB_Dim_Style::materialize(const MB_Opcode&, MB_File_IO& file)
{
    MB_String name;
    mb_long colors[k_color_count] = {};
    mb_ushort ints[k_int_count] = {};
    double reals[k_real_count] = {};
    MB_Result r = name.materialize(file);
    for (mb_long& c : colors)
        if (r == 0) r = file.read_int32(c);
    for (mb_ushort& v : ints)
        if (r == 0) r = file.read_uint16(v);
    for (double& v : reals)
        if (r == 0) r = file.read_double(v);
    if (r != 0) return r;
    m_name = name;
    std::copy(std::begin(colors), std::end(colors), m_colors);
    std::copy(std::begin(ints), std::end(ints), m_ints);
    std::copy(std::begin(reals), std::end(reals), m_reals);
    return MB_Result::Success;
}

MB_Result MB_Dim_Style::process(MB_File_IO& file)
{
    if (MB_Drawing* drawing = file.drawing()) {
        MB_Object_List& list = drawing->dim_style_list();
        if (list.get_tail() != this) list.add_tail(this);
    }
    return MB_Result::Success;
}

// MB_Arrow

MB_Arrow::~MB_Arrow() = default;

void MB_Arrow::draw(HDC hdc, Qe_Tran& tran, unsigned char, Qe_Pt& tip, const Qe_Uvec& dir, const double& length,
                    const double& width)
{
    const Qe_Uvec n = normalise(dir * Qe_Vec(0.0, 0.0, 1.0));
    const Qe_Vec along = dir * length;
    const Qe_Vec across = n * (width / 2.0);
    Qe_Pt a = tip;
    Qe_Pt b = tip + along + across;
    Qe_Pt c = tip + along - across;
    a *= tran;
    b *= tran;
    c *= tran;
    api_mb_draw_triangle(hdc, a, b, c, 1);
}

MB_Arrow& mb_arrow()
{
    static MB_Arrow arrow;
    return arrow;
}
