#include "kernel/database/mb_string.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "kernel/database/code_page_p.h"

constinit const MB_String MB_String::kNull;

namespace {

int units_in(const char16_t* units)
{
    return units ? static_cast<int>(std::char_traits<char16_t>::length(units)) : 0;
}

int bytes_in(const char* text)
{
    return text ? static_cast<int>(std::strlen(text)) : 0;
}

}  // namespace

MB_String::MB_String(const char* text)
{
    set(bytes_in(text), text);
}

MB_String::MB_String(const unsigned char* text) : MB_String(reinterpret_cast<const char*>(text)) {}

MB_String::MB_String(const char16_t* text)
{
    set(units_in(text), text);
}

MB_String::MB_String(int n, const char* text)
{
    set(n, text);
}

MB_String::MB_String(int n, const unsigned char* text)
{
    set(n, text);
}

MB_String::MB_String(int n, const char16_t* text)
{
    set(n, text);
}

MB_String::MB_String(const MB_String& other)
{
    set(other);
}

MB_String::~MB_String()
{
    release();
}

MB_String& MB_String::operator=(const char* text)
{
    set(bytes_in(text), text);
    return *this;
}

MB_String& MB_String::operator=(const unsigned char* text)
{
    return *this = reinterpret_cast<const char*>(text);
}

MB_String& MB_String::operator=(const char16_t* text)
{
    set(units_in(text), text);
    return *this;
}

MB_String& MB_String::operator=(const MB_String& other)
{
    set(other);
    return *this;
}

void MB_String::release()
{
    delete[] m_narrow;
    delete[] m_wide;
    m_narrow = nullptr;
    m_wide = nullptr;
    m_kind = 0;
    m_length = 0;
}

// Each set copies before it frees, so that text taken from this string's own buffers is
// read while it still exists.

void MB_String::set(int n, const char* text)
{
    if (!text || n <= 0) {
        release();
        return;
    }
    char* copy = new char[static_cast<size_t>(n) + 1];
    std::memcpy(copy, text, static_cast<size_t>(n));
    copy[n] = '\0';
    release();
    m_narrow = copy;
    m_length = n;
    m_kind = 1;
}

void MB_String::set(int n, const unsigned char* text)
{
    set(n, reinterpret_cast<const char*>(text));
}

void MB_String::set(int n, const char16_t* units)
{
    if (!units || n <= 0) {
        release();
        return;
    }
    if (is_ascii(n, units)) {
        char* copy = reinterpret_cast<char*>(to_ascii(n, units));
        release();
        m_narrow = copy;
        m_kind = 1;
    } else {
        auto* copy = new char16_t[static_cast<size_t>(n) + 1];
        std::memcpy(copy, units, static_cast<size_t>(n) * sizeof(char16_t));
        copy[n] = 0;
        release();
        m_wide = copy;
        m_kind = 2;
    }
    m_length = n;
}

void MB_String::set(const MB_String& other)
{
    if (&other == this) return;
    if (other.m_kind == 1)
        set(other.m_length, other.m_narrow);
    else if (other.m_kind == 2)
        set(other.m_length, other.m_wide);
    else
        release();
}

char MB_String::is_ascii(int n, const char16_t* units)
{
    for (int i = 0; i < n; ++i)
        if (units[i] >= 128) return 0;
    return 1;
}

char MB_String::is_ascii(int n, const char* bytes)
{
    for (int i = 0; i < n; ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 128) return 0;
    return 1;
}

const char16_t* MB_String::unicode() const
{
    if (m_kind == 1 && !m_wide) {
        // The 8-bit text stays: widening is a view of it, not a change of it.
        auto* wide = new char16_t[static_cast<size_t>(m_length) + 1]();
        if (is_ascii(m_length, m_narrow)) {
            for (int i = 0; i < m_length; ++i) wide[i] = static_cast<unsigned char>(m_narrow[i]);
        } else {
            ansi_to_utf16(m_narrow, m_length, wide, m_length);
        }
        m_wide = wide;
    }
    return m_wide;
}

bool MB_String::operator==(const MB_String& other) const
{
    if (m_kind != other.m_kind || m_length != other.m_length) return false;
    if (m_length == 0) return true;
    if (m_kind == 1) return std::memcmp(m_narrow, other.m_narrow, static_cast<size_t>(m_length)) == 0;
    return std::memcmp(m_wide, other.m_wide, static_cast<size_t>(m_length) * sizeof(char16_t)) == 0;
}

bool MB_String::operator==(const char* text) const
{
    return *this == MB_String(text);
}

unsigned char* MB_String::to_ascii(int n, const char16_t* units)
{
    if (!units || n <= 0) return nullptr;
    auto* out = new unsigned char[static_cast<size_t>(n) + 1];
    for (int i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(units[i] & 0xFF);
    out[n] = 0;
    return out;
}

char16_t* MB_String::to_unicode(int n, const unsigned char* bytes)
{
    if (!bytes || n <= 0) return nullptr;
    auto* out = new char16_t[static_cast<size_t>(n) + 1];
    for (int i = 0; i < n; ++i) out[i] = bytes[i];
    out[n] = 0;
    return out;
}

unsigned char MB_String::to_binary(unsigned char c)
{
    if (c >= '0' && c <= '9') return static_cast<unsigned char>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<unsigned char>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<unsigned char>(c - 'a' + 10);
    return 0;
}

void mb_copy_name(char* field, std::size_t size, const char* text)
{
    if (!field || size == 0) return;
    std::size_t n = 0;
    if (text)
        while (n + 1 < size && text[n] != 0) ++n;
    std::memcpy(field, text ? text : "", n);
    field[n] = 0;
}

MB_Result MB_String::stream_text(std::unique_ptr<char[]>& holder, const char*& text_out, int& n_out) const
{
    text_out = nullptr;
    n_out = 0;
    if (m_length == 0) return MB_Result::Success;
    // 16-bit text has no 8-bit buffer: it is narrowed into the ANSI code page, the form
    // the system keeps 8-bit text in; a character the code page cannot hold becomes '?'.
    // (Keeping only the low byte of each unit would corrupt every CJK or accented name.)
    const char* text = m_narrow;
    int n = 0;
    if (text) {
        n = static_cast<int>(strnlen(text, static_cast<size_t>(m_length)));
    } else if (m_wide) {
        const int capacity = m_length > INT_MAX / 2 ? INT_MAX : 2 * m_length;
        holder.reset(new char[static_cast<size_t>(capacity)]);
        n = utf16_to_ansi(m_wide, m_length, holder.get(), capacity);
        // Text that could not be narrowed at all is not written as an empty string.
        if (n <= 0) return MB_Result::Invalid_Data;
        n = static_cast<int>(strnlen(holder.get(), static_cast<size_t>(n)));
        text = holder.get();
    }
    text_out = text;
    n_out = n;
    return MB_Result::Success;
}
