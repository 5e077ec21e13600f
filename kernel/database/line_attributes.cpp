#include "kernel/database/line_attributes.h"

#include "kernel/stream/file_io.h"

MB_Result MB_Display_Width::process(MB_File_IO& file)
{
    file.fifo_rendition().display_width(m_value);
    return MB_Result::Success;
}

MB_Result MB_Line_Scale::process(MB_File_IO& file)
{
    file.fifo_rendition().line_scale(m_value);
    return MB_Result::Success;
}

MB_Result MB_Width::process(MB_File_IO& file)
{
    file.fifo_rendition().width(m_value);
    return MB_Result::Success;
}

MB_Result MB_Thickness::process(MB_File_IO& file)
{
    file.fifo_rendition().thickness(m_value);
    return MB_Result::Success;
}
