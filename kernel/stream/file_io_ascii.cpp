#include "kernel/stream/file_io.h"

// The ASCII writers of MB_File_IO, and the ASCII readers this format version does not carry.

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <string>

#include "kernel/database/color.h"

// ASCII writers

MB_Result MB_File_IO::write_ascii_text(const char* text, std::size_t n)
{
    return compress_write(static_cast<int>(n), text);
}

MB_Result MB_File_IO::write_ascii(mb_long v)
{
    char b[16];
    const auto res = std::to_chars(b, b + sizeof b, v);
    return write_ascii_text(b, static_cast<std::size_t>(res.ptr - b));
}

MB_Result MB_File_IO::write_ascii(mb_short v)
{
    return write_ascii(static_cast<mb_long>(v));
}

MB_Result MB_File_IO::write_ascii(mb_ushort v)
{
    return write_ascii(static_cast<mb_long>(v));
}

MB_Result MB_File_IO::write_ascii(mb_ulong v)
{
    return write_ascii(static_cast<mb_long>(v));
}

MB_Result MB_File_IO::write_ascii(double v)
{
    // to_chars formats as printf's "%.11g" does in the C locale, whatever the process
    // locale: the decimal mark is always '.'.
    char b[40];
    const auto res = std::to_chars(b, b + sizeof b, v, std::chars_format::general, 11);
    return write_ascii_text(b, static_cast<std::size_t>(res.ptr - b));
}

MB_Result MB_File_IO::write_ascii(const MB_RGBA32& color)
{
    const int parts[4] = {color.red(), color.green(), color.blue(), color.alpha()};
    MB_Result r;
    for (int i = 0; r == 0 && i < 4; ++i) {
        if (i) r = write(',');
        if (r == 0) r = write_ascii(static_cast<mb_long>(parts[i]));
    }
    return r;
}

MB_Result MB_File_IO::write_hex(unsigned char byte)
{
    static constexpr char k_digits[] = "0123456789ABCDEF";
    const char b[2] = {k_digits[byte >> 4], k_digits[byte & 0xF]};
    return compress_write(2, b);
}

MB_Result MB_File_IO::write_hex(int n, const unsigned char* bytes)
{
    if (n < 0 || (n > 0 && !bytes)) return MB_Result::Invalid_Data;
    MB_Result r;
    for (int i = 0; r == 0 && i < n; ++i) {
        if (i % 30 == 0) {
            r = write_tab_level();
            if (r == 0) r = write('\t');
        }
        if (r == 0) r = write_hex(bytes[i]);
    }
    return r;
}

MB_Result MB_File_IO::write_quoted_string(const char* text, char force)
{
    if (!text || !*text) return write("''");
    const bool plain = !force && text[0] != '"' && !std::strpbrk(text, " '()\\{}");
    if (plain) return write(text);
    std::string quoted(1, '\'');
    for (const char* c = text; *c; ++c) {
        if (*c == '\\' || *c == '\'') quoted += '\\';
        quoted += *c;
    }
    quoted += '\'';
    return write(quoted.c_str());
}

MB_Result MB_File_IO::write_quoted_string(const char16_t* units)
{
    const std::size_t n = units ? std::char_traits<char16_t>::length(units) : 0;
    if (n > INT_MAX / 4) return MB_Result::Invalid_Data;
    if (m_heuristics.allow_binary_data()) {
        MB_Result r = write('{');
        if (r == 0) r = write_int32(static_cast<mb_long>(n));
        if (r == 0) r = write(static_cast<int>(n), units);
        if (r == 0) r = write('}');
        return r;
    }
    MB_Result r = write('"');
    for (std::size_t i = 0; r == 0 && i < n; ++i) {
        r = write_hex(static_cast<unsigned char>(units[i] >> 8));
        if (r == 0) r = write_hex(static_cast<unsigned char>(units[i] & 0xFF));
    }
    if (r == 0) r = write('"');
    return r;
}

MB_Result MB_File_IO::write_tab_level()
{
    if (m_heuristics.allow_binary_data()) return MB_Result::Success;
    std::string line = "\r\n";
    line.append(static_cast<std::size_t>(std::max(0, m_tab_level)), ' ');
    return write(line.c_str());
}

MB_Result MB_File_IO::write_geom_tab_level()
{
    if (m_heuristics.allow_binary_data()) return MB_Result::Success;
    MB_Result r = write_tab_level();
    if (r == 0) r = write("   ");
    return r;
}


// ASCII readers that this format version does not carry

MB_Result MB_File_IO::read_hex(unsigned char&)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_hex(int, unsigned char*)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(mb_long&)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(double&)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(mb_ushort&)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(MB_Color&, char)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(MB_RGBA32&)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_ascii(int, MB_RGBA32*)
{
    return MB_Result::Success;
}

MB_Result MB_File_IO::read_index_tree(int, char)
{
    return MB_Result::Success;
}
