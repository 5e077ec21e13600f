#include "plugins/gressil/dxf_writer.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "Drakmere.h"

void Dxf_Writer::fail()
{
    if (m_ok) m_error = errno;
    m_ok = false;
}

Dxf_Writer::~Dxf_Writer()
{
    (void)flush();
}

char* Dxf_Writer::room(std::size_t n)
{
    if (m_size + n > m_capacity) {
        const std::size_t grown = std::max(m_capacity * 2, std::max<std::size_t>(k_block + (k_block >> 2), m_size + n));
        std::unique_ptr<char[]> fresh(new char[grown]);
        if (m_size) std::memcpy(fresh.get(), m_buffer.get(), m_size);
        m_buffer = std::move(fresh);
        m_capacity = grown;
    }
    return m_buffer.get() + m_size;
}

bool Dxf_Writer::wait_for_block()
{
    if (!m_writing.joinable()) return true;
    m_writing.join();
    if (m_block_error != 0 && m_ok) {
        m_error = m_block_error;
        m_ok = false;
    }
    return m_ok;
}

void Dxf_Writer::hand_off()
{
    if (!wait_for_block() || !m_file) {
        m_size = 0;
        return;
    }
    std::swap(m_buffer, m_block);
    std::swap(m_capacity, m_block_capacity);
    const std::size_t n = m_size;
    m_size = 0;
    m_block_error = 0;
    // The file is this writer's alone while it writes: no stream lock per block.
    m_writing = std::thread([this, n] {
        if (::fwrite_unlocked(m_block.get(), 1, n, m_file) != n) m_block_error = errno != 0 ? errno : EIO;
    });
}

bool Dxf_Writer::flush()
{
    wait_for_block();
    // An open entity stays in the buffer: it may still be left out.
    const std::size_t n = m_in_entity ? m_entity_start : m_size;
    if (n == 0) return m_ok;
    if (m_ok && m_file && ::fwrite_unlocked(m_buffer.get(), 1, n, m_file) != n) fail();
    std::memmove(m_buffer.get(), m_buffer.get() + n, m_size - n);
    m_size -= n;
    if (m_in_entity) m_entity_start = 0;
    return m_ok;
}

void Dxf_Writer::line(std::string_view s)
{
    char* p = room(s.size() + 1);
    std::memcpy(p, s.data(), s.size());
    p[s.size()] = '\n';
    m_size += s.size() + 1;
    maybe_flush();
}

void Dxf_Writer::end()
{
    if (!m_in_entity) return;
    m_in_entity = false;
    if (!m_entity_finite) {
        m_size = m_entity_start;
        ++m_dropped;
    }
    maybe_flush();
}

void Dxf_Writer::entity(std::string_view kind)
{
    end();
    m_in_entity = true;
    m_entity_finite = true;
    m_entity_start = m_size;
    ++m_entities;
    char* p = value_room(0, kind.size());
    std::memcpy(p, kind.data(), kind.size());
    close_value(p + kind.size());
}

char* Dxf_Writer::value_room(int code, std::size_t n)
{
    char* p = room(16 + n + 1);
    p = std::to_chars(p, p + 16, code).ptr;
    *p++ = '\n';
    return p;
}

void Dxf_Writer::close_value(char* end)
{
    *end++ = '\n';
    m_size = static_cast<std::size_t>(end - m_buffer.get());
    maybe_flush();
}

void Dxf_Writer::group(int code, std::string_view value)
{
    if (code == 0) end();
    char* p = value_room(code, value.size());
    std::memcpy(p, value.data(), value.size());
    close_value(p + value.size());
}

void Dxf_Writer::text(int code, std::string_view value)
{
    // A line break inside a value would start a new group.
    bool breaks = false;
    for (const char c : value) breaks |= c == '\r' || c == '\n';
    if (!breaks) {
        group(code, value);
    } else {
        std::string v(value);
        for (char& c : v)
            if (c == '\r' || c == '\n') c = ' ';
        group(code, v);
    }
}

void Dxf_Writer::real(int code, double value)
{
    // Readers take no NaN or infinity: such a value leaves its entity out (and is written as
    // 0 where it is not in one).
    if (!std::isfinite(value)) {
        m_entity_finite = false;
        value = 0.0;
    }
    if (value == 0.0) value = 0.0;  // no "-0"
    // The shortest form is at most 24 characters; ".0" may follow.
    char* const start = value_room(code, 32);
    char* p = std::to_chars(start, start + 30, value).ptr;
    // Integral values read as integers by some readers: keep them reals.
    bool integral = true;
    for (const char* q = start; q < p; ++q) integral &= *q != '.' && *q != 'e';
    if (integral) {
        *p++ = '.';
        *p++ = '0';
    }
    close_value(p);
}

void Dxf_Writer::integer(int code, long long value)
{
    char* p = value_room(code, 24);
    close_value(std::to_chars(p, p + 24, value).ptr);
}

void Dxf_Writer::handle(int code, std::uint64_t value)
{
    char* const start = value_room(code, 24);
    char* const end = std::to_chars(start, start + 24, value, 16).ptr;
    for (char* p = start; p < end; ++p)
        if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
    close_value(end);
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
    end();
    char* p = value_room(code, 0);
    m_size = static_cast<std::size_t>(p - m_buffer.get());
    if (!flush() || !m_file) return;
    m_placeholder = std::ftell(m_file);
    line("0000000000000000");
}

bool Dxf_Writer::fill_placeholder(std::uint64_t value)
{
    end();
    if (m_placeholder < 0 || !ok()) return false;
    const long end = std::ftell(m_file);
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(value));
    if (end < 0 || std::fseek(m_file, m_placeholder, SEEK_SET) != 0 || std::fwrite(buf, 1, 16, m_file) != 16 ||
        std::fseek(m_file, end, SEEK_SET) != 0) {
        fail();
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

namespace {

int hex_value(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The code point of units[i] (a surrogate pair taken whole, a lone surrogate as U+FFFD); i is
// left on the last unit read.
char32_t code_point_at(const char16_t* units, int n, int& i)
{
    const char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
        ++i;
        return 0x10000 + ((c - 0xD800) << 10) + (units[i] - 0xDC00);
    }
    return c >= 0xD800 && c < 0xE000 ? 0xFFFD : c;
}

// Appends the code at units[i] when it is \U+XXXX or \u+XXXX (i left on its last unit);
// false otherwise.
bool append_unicode_code(std::string& out, const char16_t* units, int n, int& i)
{
    if (i + 6 >= n || (units[i + 1] != u'U' && units[i + 1] != u'u') || units[i + 2] != u'+') return false;
    char buf[8] = "\\U+";
    for (int k = 0; k < 4; ++k) {
        const int v = hex_value(units[i + 3 + k]);
        if (v < 0) return false;
        buf[3 + k] = "0123456789ABCDEF"[v];
    }
    out.append(buf, 7);
    i += 6;
    return true;
}

// Appends the character of the code at units[i] when it is \M+nXXXX or \m+nXXXX, the
// double-byte code XXXX of the ANSI code page as the kernel's texts read it (i left on its last
// unit); false otherwise.
bool append_double_byte_code(std::string& out, const char16_t* units, int n, int& i)
{
    if (i + 7 >= n || (units[i + 1] != u'M' && units[i + 1] != u'm') || units[i + 2] != u'+' || units[i + 3] < 0x20 ||
        units[i + 3] >= 0x7F)
        return false;
    char code[9] = {};
    for (int k = 0; k < 8; ++k) {
        if (k >= 4 && hex_value(units[i + k]) < 0) return false;
        code[k] = static_cast<char>(units[i + k]);
    }
    const std::u16string wide = mb_text_to_utf16(code);
    if (wide.empty()) return false;
    for (int k = 0; k < static_cast<int>(wide.size()); ++k)
        append_code_point(out, code_point_at(wide.data(), static_cast<int>(wide.size()), k));
    i += 7;
    return true;
}

}  // namespace

std::string dxf_escape(const char16_t* units, int n)
{
    std::string out;
    if (!units) return out;
    for (int i = 0; i < n; ++i) {
        if (units[i] == u'\\') {
            if (!append_unicode_code(out, units, n, i) && !append_double_byte_code(out, units, n, i))
                out += "\\U+005C";
            continue;
        }
        append_code_point(out, code_point_at(units, n, i));
    }
    return out;
}

std::string dxf_table_name(const char16_t* units, int n, std::string_view fallback)
{
    // Forbidden characters are replaced before the escapes are made, so that only the
    // escapes hold a backslash.
    std::string out;
    for (int i = 0; units && i < n; ++i) {
        const char32_t c = code_point_at(units, n, i);
        if (c < 0x80 && c != 0 && std::strchr("<>/\\\":;?*|=`", static_cast<char>(c)))
            out += '_';
        else
            append_code_point(out, c);
    }
    while (!out.empty() && out.front() == ' ') out.front() = '_';
    while (!out.empty() && out.back() == ' ') out.back() = '_';
    return out.empty() ? std::string(fallback) : out;
}
