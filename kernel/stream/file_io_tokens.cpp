#include "kernel/stream/file_io.h"

// Tokens of MB_File_IO and the stream control that skips over data.

#include <climits>
#include <cstring>
#include <new>

#include "kernel/database/drawable.h"
#include "kernel/stream/file_io_p.h"

using namespace mb_stream_bytes;

MB_Result MB_File_IO::read(char*& out, int max, char allow_paren)
{
    if (max < 0) return MB_Result::Invalid_Data;
    auto fail = [this](MB_Result r) {
        // A broken token is dropped whole; the next read starts afresh.
        m_string_buffer.clear();
        m_in_quote = m_escape = false;
        return r;
    };
    auto finish = [this, &out](std::size_t keep) -> MB_Result {
        char* text = new (std::nothrow) char[keep + 1];
        if (!text) return MB_Result::Out_Of_Memory;
        if (keep) std::memcpy(text, m_string_buffer.data(), keep);
        text[keep] = '\0';
        out = text;
        m_string_buffer.clear();
        return MB_Result::Success;
    };

    if (m_string_buffer.empty() && !m_in_quote && !m_escape) {
        MB_Result r = eat_whitespace();
        if (r != 0) return r;
    }
    // Every pass takes one byte from the file: the loop ends with the data.
    for (;;) {
        unsigned char c = 0;
        MB_Result r = read(c);
        if (r != 0) return r;
        r = m_string_buffer.append(c);
        if (r != 0) return fail(r);
        const std::size_t count = m_string_buffer.count();
        if (count > static_cast<std::size_t>(max)) return fail(MB_Result::Invalid_Data);
        if (m_escape) {
            m_escape = false;
            continue;
        }
        switch (c) {
        case ' ':
        case ')':
            if (m_in_quote) break;
            r = finish(count - 1);
            if (r != 0) return fail(r);
            return unread(1, &c);
        case '\'':
        case '"':
            if (m_in_quote && c == m_open_quote) {
                m_in_quote = false;
                r = finish(count - 1);
                return r != 0 ? fail(r) : r;
            }
            if (!m_in_quote && count == 1) {
                m_in_quote = true;
                m_open_quote = c;
                m_string_buffer.clear();
            } else if (!m_in_quote && c == '\'') {
                return fail(MB_Result::Invalid_Data);
            }
            break;
        case '(':
            if (!m_in_quote && !(count == 1 && allow_paren)) return fail(MB_Result::Invalid_Data);
            break;
        case '\\':
            m_string_buffer.drop_last();
            m_escape = true;
            break;
        case '{':
            if (!m_in_quote) return fail(MB_Result::Invalid_Data);
            break;
        default:
            break;
        }
    }
}


// Stream control

MB_Result MB_File_IO::put_back(int n, const unsigned char* bytes)
{
    if (n < 0 || (n > 0 && !bytes)) return MB_Result::Invalid_Data;
    MB_Result r = m_put_back.append(static_cast<std::size_t>(n), bytes);
    if (r != 0) return r;
    if (m_record_open) m_record_bytes.drop_last(static_cast<std::size_t>(n));
    m_stream_position -= n;
    m_actual_position -= n;
    return MB_Result::Success;
}

MB_Result MB_File_IO::skip(int n)
{
    if (n < 0 || n > INT_MAX - m_stream_position) return MB_Result::Invalid_Data;
    m_stream_position += n;
    return MB_Result::Success;
}

MB_Result MB_File_IO::eat_whitespace()
{
    for (;;) {
        unsigned char c = 0;
        MB_Result r = read(c);
        if (r != 0) return r;
        if (!is_blank(c)) return unread(1, &c);
    }
}

MB_Result MB_File_IO::skip_past_matching_paren(int level)
{
    // Every pass takes at least one byte from the file: the loop ends with the data.
    for (;;) {
        unsigned char c = 0;
        MB_Result r = read(c);
        if (r != 0) return r;
        if (m_escape) {
            m_escape = false;
            continue;
        }
        if (c == '\'') {
            m_in_quote = !m_in_quote;
        } else if (c == '\\') {
            m_escape = true;
        } else if (m_in_quote) {
            continue;
        } else if (c == '(') {
            ++m_paren_count;
        } else if (c == ')') {
            if (--m_paren_count <= level) return MB_Result::Success;
        } else if (c == '{') {
            unsigned char b[4];
            r = read(4, b);
            if (r != 0) {
                const MB_Result back = unread(1, &c);
                return back != 0 ? back : r;
            }
            const mb_long length = static_cast<mb_long>(get_u32(b));
            if (length == 0) return MB_Result::Invalid_Data;
            r = check_length(length, 1, INT_MAX);
            if (r == 0) r = skip(length);
            if (r != 0) return r;
        }
    }
}

MB_Result MB_File_IO::dump_delayed_drawable()
{
    if (m_delayed_drawable && !m_keep_delayed_drawable) {
        delete m_delayed_drawable;
        m_delayed_drawable = nullptr;
    }
    return MB_Result::Success;
}

MB_Result MB_File_IO::merge_or_delay_drawable(const MB_Drawable&)
{
    return m_delayed_drawable ? dump_delayed_drawable() : MB_Result(MB_Result::Success);
}
