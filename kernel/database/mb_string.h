#pragma once

// The kernel's one string type: names of layers, blocks, styles and line types, the text
// of text entities, user strings. It holds 8-bit text (kind 1: bytes kept as given, in the
// ANSI code page, so multi-byte GBK text stays 8-bit) or 16-bit text (kind 2: UTF-16 units
// of which at least one is 128 or above); an empty string is kind 0 with no buffers.
// Strings are exchanged by value across the library boundary.

#include <cstddef>
#include <memory>

#include "kernel/drakmere_api.h"
#include "kernel/database/result.h"

class MB_File_IO;

class DRAKMERE_API MB_String {
public:
    // The empty string; assigning it empties a string.
    static const MB_String kNull;

    constexpr MB_String() = default;
    // A null text gives the empty string.
    MB_String(const char* text);
    MB_String(const unsigned char* text);
    MB_String(const char16_t* text);
    // The first n bytes or units; n of 0 or less gives the empty string.
    MB_String(int n, const char* text);
    MB_String(int n, const unsigned char* text);
    MB_String(int n, const char16_t* text);
    MB_String(const MB_String& other);
    ~MB_String();

    MB_String& operator=(const char* text);
    MB_String& operator=(const unsigned char* text);
    MB_String& operator=(const char16_t* text);
    MB_String& operator=(const MB_String& other);

    // The text may lie inside this string's own buffers.
    void set(int n, const char* text);
    void set(int n, const unsigned char* text);
    // Units that are all below 128 are kept as 8-bit text.
    void set(int n, const char16_t* units);
    void set(const MB_String& other);

    // Bytes of 8-bit text, units of 16-bit text, without the terminator.
    int length() const { return m_length; }
    char is_ascii() const { return m_kind == 1; }
    static char is_ascii(int n, const char16_t* units);
    static char is_ascii(int n, const char* bytes);

    // The 8-bit text; null for the empty string and for 16-bit text.
    const char* ascii() const { return m_narrow; }
    // The text as UTF-16, 8-bit text widened from the ANSI code page on first use; null
    // for the empty string. Widened text is NUL-padded to length() units, so a caller
    // that reads length() units stays inside the buffer.
    const char16_t* unicode() const;
    operator const char16_t*() const { return unicode(); }

    // Exact comparison: same kind, same length, same bytes or units.
    bool operator==(const MB_String& other) const;
    bool operator==(const char* text) const;
    bool operator!=(const MB_String& other) const { return !(*this == other); }
    bool operator!=(const char* text) const { return !(*this == text); }

    // New arrays (the caller frees them with delete[]) of n + 1 elements: the low byte of
    // each unit, or each byte zero-extended, then a terminator. Null when n is 0 or less or
    // the source is null.
    static unsigned char* to_ascii(int n, const char16_t* units);
    static char16_t* to_unicode(int n, const unsigned char* bytes);
    // Value of a hexadecimal digit; anything else gives 0.
    static unsigned char to_binary(unsigned char c);

    // Stream form: the byte count as a long, then the 8-bit text of stream_text (16-bit text
    // narrowed into the ANSI code page). The char argument is not used.
    MB_Result serialize(MB_File_IO& file, char unused) const;
    // Reads the stream form; a count of 0 makes the string empty. On failure the
    // string and the stream position are unchanged, so the call may be repeated.
    MB_Result materialize(MB_File_IO& file);
    // The 8-bit text the stream form carries: the text up to its first NUL, or 16-bit text
    // narrowed into the ANSI code page (holder keeps the narrowed copy); text null and n 0
    // for an empty string. Invalid_Data for 16-bit text that cannot be narrowed at all.
    MB_Result stream_text(std::unique_ptr<char[]>& holder, const char*& text, int& n) const;

private:
    void release();

    long m_kind = 0;    // 0 empty, 1 8-bit text, 2 16-bit text
    int m_length = 0;
    char* m_narrow = nullptr;               // kind 1: length bytes and a NUL
    mutable char16_t* m_wide = nullptr;     // kind 2: length units and a 0; kind 1: widened copy
};

// Copies text into a fixed name field of size bytes: at most size - 1 bytes, always
// terminated; a null text empties the field. Names from streams and hosts are cut this way.
DRAKMERE_API void mb_copy_name(char* field, std::size_t size, const char* text);
