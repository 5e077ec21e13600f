#include "kernel/stream/font_records.h"

#include "kernel/database/drawing.h"
#include "kernel/stream/file_io.h"

MB_Result MB_Font_Name::process(MB_File_IO& file)
{
    file.fifo_rendition().font_name(m_value.ascii());
    return MB_Result::Success;
}

MB_Result MB_Big_Font_Name::process(MB_File_IO& file)
{
    file.fifo_rendition().big_font_name(m_value.ascii());
    return MB_Result::Success;
}

MB_Result MB_Text_Height::process(MB_File_IO& file)
{
    file.fifo_rendition().text_heigh(m_value);
    return MB_Result::Success;
}

MB_Result MB_Text_Width_Scale::process(MB_File_IO& file)
{
    file.fifo_rendition().text_width_scale(m_value);
    return MB_Result::Success;
}

MB_Result MB_Oblique_Angle::process(MB_File_IO& file)
{
    file.fifo_rendition().font_oblique_angle(m_value);
    return MB_Result::Success;
}

MB_Result MB_Font_Value::process(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Font_Flag::process(MB_File_IO& file)
{
    file.fifo_rendition().font_flag(m_value);
    return MB_Result::Success;
}

MB_Result MB_Text_Angle::process(MB_File_IO& file)
{
    file.fifo_rendition().text_angle(m_value);
    return MB_Result::Success;
}

MB_Result MB_Text_Flag::process(MB_File_IO& file)
{
    file.fifo_rendition().text_flag(m_value);
    return MB_Result::Success;
}

namespace {
constexpr unsigned char k_style_name_opcode = 'w';
}  // namespace

MB_Text_Style_Name::MB_Text_Style_Name() : m_name("Text Style") {}

MB_Text_Style_Name::MB_Text_Style_Name(const char* name, MB_Drawing& drawing)
    : m_text_style(drawing.find_text_style(name)), m_name(name)
{
}

MB_Text_Style_Name::~MB_Text_Style_Name()
{
    m_text_style = nullptr;
}

MB_Result MB_Text_Style_Name::serialize(MB_File_IO& file)
{
    return mb_write_record_value(file, k_style_name_opcode, m_name);
}

MB_Result MB_Text_Style_Name::materialize(const MB_Opcode&, MB_File_IO& file)
{
    // An empty name read is empty, not the default name.
    MB_String name;
    MB_Result r = name.materialize(file);
    if (r != 0) return r;
    m_name = name;
    if (MB_Drawing* drawing = file.drawing()) m_text_style = drawing->find_text_style(m_name.ascii());
    file.fifo_rendition().text_style_name(m_name.ascii());
    return MB_Result::Success;
}

MB_Result MB_Text_Style_Name::process(MB_File_IO& file)
{
    file.fifo_rendition().text_style_name(m_name.ascii());
    return MB_Result::Success;
}
