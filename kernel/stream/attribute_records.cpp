// The attribute records: colours and colour maps, the line attributes (display width, line
// scale, width, thickness), the one-value attributes, the drawing information and the
// informational strings. The classes are the database's; how they are written, read and
// handed to the rendition is the stream's, so it lives here.

#include <climits>
#include <new>

#include "kernel/database/color.h"
#include "kernel/database/color_map.h"
#include "kernel/database/drawing_info.h"
#include "kernel/database/informational.h"
#include "kernel/database/line_attributes.h"
#include "kernel/database/value_attribute.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/opcode.h"

namespace {

constexpr unsigned char k_color_opcode = 0x03;
constexpr unsigned char k_extended_open = '{';
constexpr unsigned char k_extended_close = '}';
constexpr mb_ushort k_color_map_opcode = 1;

}  // namespace

// Colours.

MB_Result MB_Color::sync(MB_File_IO& file)
{
    file.rendition()->mark_changed(MB_Rendition::Change_Color);
    return MB_Result::Success;
}

MB_Result MB_Color::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(k_color_opcode);
    if (r == 0) r = file.write_int32(m_value);
    return r;
}

MB_Result MB_Color::resolve_index(mb_long index, MB_File_IO& file)
{
    MB_Rendition* current = file.rendition();
    current->mark_changed(MB_Rendition::Change_Color_Map);
    const MB_Color_Map& map = current->color_map();
    m_rgba = index < map.size() ? map.map()[index] : MB_RGBA32(0u);
    m_index = index;
    return MB_Result::Success;
}

MB_Result MB_Color::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    switch (opcode.kind()) {
    case MB_Opcode::Single_Byte:
        switch (opcode.byte()) {
        case k_color_opcode:
            return file.read_int32(m_value);
        case 'C': {
            mb_long index = 0;
            MB_Result r = file.read_ascii(index);
            if (r != 0) return r;
            if (index < 0) return MB_Result::Invalid_Data;
            return resolve_index(index, file);
        }
        case 'c': {
            unsigned char index = 0;
            MB_Result r = file.read(index);
            if (r != 0) return r;
            return resolve_index(index, file);
        }
        default:
            return MB_Result::Invalid_Data;
        }
    case MB_Opcode::Extended_Ascii:
        if (m_reading_state == 0) {
            MB_Result r = file.read_ascii(*this, 0);
            if (r != 0) return r;
            m_index = -1;
            m_reading_state = 1;
        }
        if (m_reading_state == 1) {
            MB_Result r = opcode.skip_past_operands(file);
            if (r != 0) return r;
            m_reading_state = 0;
            return MB_Result::Success;
        }
        return MB_Result::Internal_Error;
    default:
        return MB_Result::Internal_Error;
    }
}

MB_Result MB_Color::skip_operand(const MB_Opcode& opcode, MB_File_IO& file)
{
    switch (opcode.kind()) {
    case MB_Opcode::Single_Byte:
        return MB_Attribute::skip_operand(opcode, file);
    case MB_Opcode::Extended_Ascii:
        return opcode.skip_past_operands(file);
    default:
        return MB_Result::Invalid_Data;
    }
}

MB_Result MB_Color::process(MB_File_IO& file)
{
    const auto value = static_cast<mb_ulong>(m_value);
    if (value != file.fifo_rendition().color()) file.fifo_rendition().color(value);
    return MB_Result::Success;
}

MB_Result MB_Color::default_process(MB_Color&, MB_File_IO&)
{
    return MB_Result::Success;
}

// Colour maps.

void MB_Color_Map::set(int n, const MB_RGBA32* entries, MB_File_IO& file)
{
    if (assign(n, entries)) m_incarnation = file.next_incarnation();
}

void MB_Color_Map::set(int n, const MB_RGB* entries, MB_File_IO& file)
{
    std::unique_ptr<MB_RGBA32[]> wide(n > 0 ? new (std::nothrow) MB_RGBA32[static_cast<std::size_t>(n)] : nullptr);
    if (n > 0 && !wide) return;
    for (int i = 0; i < n; ++i) {
        if (entries)
            wide[i] = entries[i];
        else
            wide[i] = MB_RGBA32(0, 0, 0, 255);
    }
    set(n, wide.get(), file);
}

MB_Result MB_Color_Map::sync(MB_File_IO& file)
{
    file.rendition()->mark_changed(MB_Rendition::Change_Color_Map);
    return MB_Result::Success;
}

MB_Result MB_Color_Map::serialize(MB_File_IO& file)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r != 0) return r;
    if (file.heuristics().allow_binary_data()) {
        // The count byte carries 1 to 256 entries; any other size could not be read back.
        if (m_size < 1 || m_size > 256) return MB_Result::Invalid_Data;
        r = file.write(k_extended_open);
        if (r == 0) r = file.write_int32(4 * m_size + 4);
        if (r == 0) r = file.write_uint16(k_color_map_opcode);
        if (r == 0) r = serialize_just_colors(file);
        if (r == 0) r = file.write(k_extended_close);
        return r;
    }
    r = file.write_tab_level();
    if (r == 0) r = file.write("(ColorMap ");
    if (r == 0) r = file.write_ascii(static_cast<mb_long>(m_size));
    for (int i = 0; r == 0 && i < m_size; ++i) {
        if (i % 4 == 0) {
            r = file.write_tab_level();
            if (r == 0) r = file.write('\t');
        } else {
            r = file.write(' ');
        }
        if (r == 0) r = file.write_ascii(m_entries[i]);
    }
    if (r == 0) r = file.write(')');
    return r;
}

MB_Result MB_Color_Map::serialize_just_colors(MB_File_IO& file)
{
    if (m_size < 1 || m_size > 256) return MB_Result::Invalid_Data;
    MB_Result r = file.write(static_cast<unsigned char>(m_size & 0xFF));
    for (int i = 0; r == 0 && i < m_size; ++i) r = file.write(m_entries[i]);
    return r;
}

MB_Result MB_Color_Map::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    switch (opcode.kind()) {
    case MB_Opcode::Extended_Ascii:
        return materialize_just_colors(opcode, 0, 1, file);
    case MB_Opcode::Extended_Binary:
        return materialize_just_colors(opcode, 1, 1, file);
    default:
        return MB_Result::Internal_Error;
    }
}

MB_Result MB_Color_Map::materialize_just_colors(const MB_Opcode& opcode, char binary, char with_close, MB_File_IO& file)
{
    auto fail = [this](MB_Result r) {
        m_reading_state = 0;
        m_pending.reset();
        m_pending_size = 0;
        return r;
    };
    if (m_reading_state == 0) {
        mb_long n = 0;
        if (binary) {
            unsigned char count = 0;
            MB_Result r = file.read(count);
            if (r != 0) return r;
            n = count ? count : 256;
        } else {
            MB_Result r = file.read_ascii(n);
            if (r != 0) return r;
            if (n < 0 || n > k_max_ascii_size) return MB_Result::Invalid_Data;
        }
        if (binary) {
            MB_Result r = file.check_length(n, 4, 256);
            if (r != 0) return r;
        }
        m_pending.reset(n > 0 ? new (std::nothrow) MB_RGBA32[static_cast<std::size_t>(n)]() : nullptr);
        if (n > 0 && !m_pending) return MB_Result::Out_Of_Memory;
        m_pending_size = n;
        m_pending_incarnation = file.next_incarnation();
        m_reading_state = 1;
    }
    if (m_reading_state == 1) {
        MB_Result r = binary ? file.read(m_pending_size, m_pending.get()) : file.read_ascii(m_pending_size, m_pending.get());
        if (r != 0) return r;
        m_reading_state = with_close ? 2 : 3;
    }
    if (m_reading_state == 2) {
        if (binary) {
            unsigned char close = 0;
            MB_Result r = file.read(close);
            if (r != 0) return r;
            if (close != k_extended_close) return fail(MB_Result::Invalid_Data);
        } else {
            MB_Result r = opcode.skip_past_operands(file);
            if (r != 0) return r;
        }
        m_reading_state = 3;
    }
    if (m_reading_state != 3) return fail(MB_Result::Internal_Error);
    m_entries = std::move(m_pending);
    m_size = m_pending_size;
    m_incarnation = m_pending_incarnation;
    m_pending_size = 0;
    m_reading_state = 0;
    return MB_Result::Success;
}

MB_Result MB_Color_Map::skip_operand(const MB_Opcode& opcode, MB_File_IO& file)
{
    switch (opcode.kind()) {
    case MB_Opcode::Extended_Ascii:
        return MB_Result::Success;
    case MB_Opcode::Extended_Binary:
    {
        // The length counts the 2-byte opcode number already read.
        const long long rest = static_cast<long long>(opcode.extended_length()) - 2;
        if (rest < 0 || rest > INT_MAX) return MB_Result::Invalid_Data;
        MB_Result r = file.check_length(static_cast<mb_long>(rest), 1, INT_MAX);
        return r != 0 ? r : file.skip(static_cast<int>(rest));
    }
    default:
        return MB_Result::Invalid_Data;
    }
}

MB_Result MB_Color_Map::process(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Color_Map::default_process(MB_Color_Map& map, MB_File_IO& file)
{
    MB_Rendition* current = file.rendition();
    current->mark_changed(MB_Rendition::Change_Color_Map);
    current->color_map() = map;
    return MB_Result::Success;
}

// Line attributes.

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

// One-value attributes.

namespace {

MB_Result write_opcode(MB_File_IO& file, unsigned char opcode)
{
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write(opcode);
    return r;
}

}  // namespace

MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, mb_long value)
{
    MB_Result r = write_opcode(file, opcode);
    if (r == 0) r = file.write_int32(value);
    return r;
}

MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, double value)
{
    MB_Result r = write_opcode(file, opcode);
    if (r == 0) r = file.write_double(value);
    return r;
}

MB_Result mb_write_record_value(MB_File_IO& file, unsigned char opcode, const MB_String& value)
{
    MB_Result r = write_opcode(file, opcode);
    if (r == 0) r = value.serialize(file, 0);
    return r;
}

MB_Result mb_read_record_value(MB_File_IO& file, mb_long& value)
{
    return file.read_int32(value);
}

MB_Result mb_read_record_value(MB_File_IO& file, double& value)
{
    return file.read_double(value);
}

MB_Result mb_read_record_value(MB_File_IO& file, MB_String& value)
{
    return value.materialize(file);
}

// Drawing information.

MB_Result MB_Drawing_Info::serialize(MB_File_IO& file)
{
    MB_Result r = file.write_uint16(static_cast<mb_ushort>(m_major));
    if (r == 0) r = file.write_uint16(static_cast<mb_ushort>(m_minor));
    for (int i = 0; r == 0 && i < k_items; ++i) r = m_items[i].serialize(file, 0);
    if (r == 0) r = file.write_int32(m_flag);
    return r;
}

MB_Result MB_Drawing_Info::materialize(const MB_Opcode&, MB_File_IO& file)
{
    // Read into a copy so that a failure leaves this info as it was.
    MB_Drawing_Info in(*this);
    mb_ushort major = 0, minor = 0;
    MB_Result r = file.read_uint16(major);
    if (r == 0) r = file.read_uint16(minor);
    for (int i = 0; r == 0 && i < k_items; ++i) r = in.m_items[i].materialize(file);
    if (r == 0) r = file.read_int32(in.m_flag);
    if (r != 0) return r;
    in.m_major = static_cast<mb_short>(major);
    in.m_minor = static_cast<mb_short>(minor);
    *this = in;
    return MB_Result::Success;
}

MB_Result MB_Drawing_Info::process(MB_File_IO&)
{
    return MB_Result::Success;
}

// Informational strings.

MB_Result MB_Informational::serialize(MB_File_IO& file, const char* keyword)
{
    if (m_string.length() == 0) return MB_Result::Success;
    MB_Result r = file.dump_delayed_drawable();
    if (r == 0) r = file.write_tab_level();
    if (r == 0) r = file.write("(");
    if (r == 0) r = file.write(keyword ? keyword : "");
    if (r == 0) r = file.write(static_cast<unsigned char>(' '));
    if (r == 0) r = m_string.serialize(file, 0);
    if (r == 0) r = file.write(static_cast<unsigned char>(')'));
    return r;
}

MB_Result MB_Informational::materialize(const MB_Opcode& opcode, MB_File_IO&)
{
    return opcode.kind() == MB_Opcode::Extended_Ascii ? MB_Result::Success : MB_Result::Invalid_Data;
}
