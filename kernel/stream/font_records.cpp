#include "kernel/stream/font_records.h"

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
