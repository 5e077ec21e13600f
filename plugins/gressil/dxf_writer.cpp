#include "plugins/gressil/dxf_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

void Dxf_Writer::line(std::string_view s)
{
    if (!m_ok || !m_file) return;
    // The file is this writer's alone while it writes: no stream lock per group.
    if (::fwrite_unlocked(s.data(), 1, s.size(), m_file) != s.size() || ::putc_unlocked('\n', m_file) == EOF)
        m_ok = false;
}

void Dxf_Writer::code_line(int code)
{
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, code);
    line(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void Dxf_Writer::text(int code, std::string_view value)
{
    code_line(code);
    // A line break inside a value would start a new group.
    bool breaks = false;
    for (const char c : value) breaks |= c == '\r' || c == '\n';
    if (!breaks) {
        line(value);
    } else {
        std::string v(value);
        for (char& c : v)
            if (c == '\r' || c == '\n') c = ' ';
        line(v);
    }
}

void Dxf_Writer::real(int code, double value)
{
    // Readers take no NaN or infinity: such a value is written as 0.
    if (!std::isfinite(value)) value = 0.0;
    if (value == 0.0) value = 0.0;  // no "-0"
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    std::string_view s(buf, static_cast<std::size_t>(r.ptr - buf));
    // Integral values read as integers by some readers: keep them reals.
    if (s.find_first_of(".eE") == std::string_view::npos) {
        std::string t(s);
        t += ".0";
        text(code, t);
    } else {
        text(code, s);
    }
}

void Dxf_Writer::integer(int code, long long value)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    text(code, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void Dxf_Writer::handle(int code, std::uint64_t value)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value, 16);
    for (char* p = buf; p < r.ptr; ++p)
        if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
    text(code, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
}

void Dxf_Writer::point(int code, double x, double y, double z)
{
    real(code, x);
    real(code + 10, y);
    real(code + 20, z);
}

void Dxf_Writer::point2(int code, double x, double y)
{
    real(code, x);
    real(code + 10, y);
}

void Dxf_Writer::handle_placeholder(int code)
{
    code_line(code);
    if (!m_ok || !m_file) return;
    m_placeholder = std::ftell(m_file);
    line("0000000000000000");
}

bool Dxf_Writer::fill_placeholder(std::uint64_t value)
{
    if (m_placeholder < 0 || !ok()) return false;
    const long end = std::ftell(m_file);
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(value));
    if (end < 0 || std::fseek(m_file, m_placeholder, SEEK_SET) != 0 || std::fwrite(buf, 1, 16, m_file) != 16 ||
        std::fseek(m_file, end, SEEK_SET) != 0) {
        m_ok = false;
        return false;
    }
    return true;
}

namespace {

void append_code_point(std::string& out, char32_t c)
{
    if (c >= 0x20 && c < 0x7F) {
        out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
        out += ' ';
    } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(c));
        out += buf;
    }
}

}  // namespace

std::string dxf_escape(const char16_t* units, int n)
{
    std::string out;
    if (!units) return out;
    for (int i = 0; i < n; ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        append_code_point(out, c);
    }
    return out;
}

std::string dxf_table_name(const char16_t* units, int n, std::string_view fallback)
{
    std::string name = dxf_escape(units, n);
    // The escapes themselves hold a backslash, which names may not: keep them as "U+XXXX"
    // after the replacement of every other forbidden character.
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '\\' && name.compare(i, 3, "\\U+") == 0) {
            out += c;
            continue;
        }
        out += std::strchr("<>/\\\":;?*|=`", c) ? '_' : c;
    }
    while (!out.empty() && out.front() == ' ') out.front() = '_';
    while (!out.empty() && out.back() == ' ') out.back() = '_';
    return out.empty() ? std::string(fallback) : out;
}
