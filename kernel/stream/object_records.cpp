// What every record is built from: strings, extended data, and a drawable's general
// properties and identification values. The classes are the database's
// (kernel/database/mb_string.h, xdata.h, drawable.h); how they are written and read is
// the stream's, so it lives here.

#include "kernel/database/drawable.h"
#include "kernel/database/mb_string.h"
#include "kernel/database/xdata.h"
#include "kernel/stream/file_io.h"

// Strings.

MB_Result MB_String::serialize(MB_File_IO& file, char) const
{
    std::unique_ptr<char[]> holder;
    const char* text = nullptr;
    int n = 0;
    MB_Result r = stream_text(holder, text, n);
    if (r == 0) r = file.write_int32(n);
    if (r == 0 && n > 0) r = file.write(n, reinterpret_cast<const unsigned char*>(text));
    return r;
}

MB_Result MB_String::materialize(MB_File_IO& file)
{
    mb_long n = 0;
    std::unique_ptr<char[]> text;
    MB_Result r = file.read_counted_bytes(MB_File_IO::k_max_string_bytes, n, text);
    // Text that starts with NUL would read as empty and vanish on the next save: such a
    // record is refused, and the string keeps what it held.
    if (r == 0 && n > 0 && text && text[0] == '\0') return MB_Result::Invalid_Data;
    // A count of 0 is an empty string: keeping the old text would turn an empty name into
    // whatever the object held before, so a save and reload would not give back what was saved.
    if (r == 0) set(n, text.get());
    return r;
}

// Extended data.

MB_Result MB_Xdata::serialize(MB_File_IO& file) const
{
    if (m_size > static_cast<unsigned long>(MB_File_IO::k_max_xdata_bytes)) return MB_Result::Invalid_Data;
    const int n = static_cast<int>(m_size);
    MB_Result r = file.write_int32(n);
    if (r == 0 && n > 0) r = file.write(n, reinterpret_cast<const unsigned char*>(m_buffer));
    return r;
}

MB_Result MB_Xdata::materialize(const MB_Opcode&, MB_File_IO& file)
{
    mb_long n = 0;
    std::unique_ptr<char[]> bytes;
    MB_Result r = file.read_counted_bytes(MB_File_IO::k_max_xdata_bytes, n, bytes);
    if (r == 0) assign(bytes.get(), static_cast<unsigned long>(n));
    return r;
}

// Drawables.

MB_Result MB_General::serialize(MB_File_IO& file)
{
    const bool written =
        file.fifo_rendition().write_sync_prop(static_cast<mb_ulong>(m_color), static_cast<mb_long>(m_display_width),
                                              m_line_scale, m_width, m_thickness, m_line_type, m_layer, m_url);
    return written ? MB_Result::Success : MB_Result::Write_Failed;
}

MB_Result MB_General::materialize(const MB_Opcode&, MB_File_IO& file)
{
    const MB_FIFO_Rendition& r = file.fifo_rendition();
    m_color = static_cast<long>(r.color());
    m_display_width = r.display_width();
    m_line_scale = r.line_scale();
    m_width = r.width();
    m_thickness = r.thickness();
    m_layer = r.layer();
    m_line_type = r.line_type();
    m_url = r.url();
    return MB_Result::Success;
}

MB_Result MB_General::process(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Drawable::save_xdata(MB_File_IO& file)
{
    build_save_flag();
    const mb_ulong mask = save_flag();
    MB_Result r = file.write(m_general.flag());
    if (r == 0) r = file.write_uint32(mask);
    // A mask bit is set only from a field of the extra values.
    if (r == 0 && (mask & Save_Id)) r = file.write_uint32(m_extra->id);
    if (r == 0 && (mask & Save_User_Id)) r = file.write_uint32(m_extra->user_id);
    if (r == 0 && (mask & Save_String)) r = m_extra->string.serialize(file, 0);
    if (r == 0 && (mask & Save_Real)) r = file.write_double(m_extra->real_val);
    if (r == 0 && (mask & Save_Xdata)) r = m_extra->xdata.serialize(file);
    return r;
}

MB_Result MB_Drawable::read_xdata(const MB_Opcode& opcode, MB_File_IO& file)
{
    unsigned char general_flag = 0;
    mb_ulong mask = 0, id = this->id(), user_id = this->user_id();
    MB_String string(m_extra ? m_extra->string : MB_String::kNull);
    double real_val = this->real_val();
    MB_Xdata xdata;
    if (m_extra) xdata = m_extra->xdata;
    MB_Result r = file.read(general_flag);
    if (r == 0) r = file.read_uint32(mask);
    if (r == 0 && (mask & Save_Id)) r = file.read_uint32(id);
    if (r == 0 && (mask & Save_User_Id)) r = file.read_uint32(user_id);
    if (r == 0 && (mask & Save_String)) r = string.materialize(file);
    if (r == 0 && (mask & Save_Real)) r = file.read_double(real_val);
    if (r == 0 && (mask & Save_Xdata)) r = xdata.materialize(opcode, file);
    if (r != 0) return r;
    m_general.flag(general_flag);
    // Nothing but an empty mask read into a drawable without extra values: none are made.
    if (mask == 0 && !m_extra) return MB_Result::Success;
    Extra& e = extra();
    e.save_flag = mask;
    e.id = id;
    e.user_id = user_id;
    e.string = string;
    e.real_val = real_val;
    e.xdata = xdata;
    return MB_Result::Success;
}
