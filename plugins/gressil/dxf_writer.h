#pragma once

// A small writer of DXF group codes (ASCII form): each group is its code on one line and its
// value on the next. Reals are written in the shortest form that reads back to the same
// double; handles are upper-case hexadecimal. The writer only formats: what a section or an
// entity needs is the exporter's business. A failed write is remembered and makes ok() false.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class Dxf_Writer {
public:
    // Writes to an open file; the file stays the caller's.
    explicit Dxf_Writer(std::FILE* file) : m_file(file) {}
    Dxf_Writer(const Dxf_Writer&) = delete;
    Dxf_Writer& operator=(const Dxf_Writer&) = delete;

    void text(int code, std::string_view value);
    void real(int code, double value);
    void integer(int code, long long value);
    void handle(int code, std::uint64_t value);
    // 10/20/30-style coordinates: x at code, y at code + 10, z at code + 20 unless 2D.
    void point(int code, double x, double y, double z);
    void point2(int code, double x, double y);

    // A handle not yet given out (they start at 1; 0 means "none" in owner fields).
    std::uint64_t new_handle() { return m_next_handle++; }
    // The value $HANDSEED must hold: above every handle given out.
    std::uint64_t handle_seed() const { return m_next_handle; }

    // Writes the handle as a fixed-width field (16 hexadecimal digits) whose position is
    // remembered, so that its value can be set once it is known.
    void handle_placeholder(int code);
    // Overwrites the placeholder with the value; false when there is none or it fails.
    [[nodiscard]] bool fill_placeholder(std::uint64_t value);

    bool ok() const { return m_ok && m_file && !std::ferror(m_file); }

private:
    void line(std::string_view s);
    void code_line(int code);

    std::FILE* m_file;
    bool m_ok = true;
    std::uint64_t m_next_handle = 1;
    long m_placeholder = -1;
};

// A name or a text value for DXF: printable ASCII stays, every other character (from the
// ANSI code page or UTF-16) becomes \U+XXXX; control characters become blanks. UTF-16 input is
// given as units; a surrogate pair becomes one code point, which beyond U+FFFF is written
// with as many hexadecimal digits as it needs.
std::string dxf_escape(const char16_t* units, int n);
// The same for a table entry's name: the characters DXF forbids in names (<>/\":;?*|=`) and
// blanks at either end become '_', and an empty name becomes the fallback.
std::string dxf_table_name(const char16_t* units, int n, std::string_view fallback);
