#include "kernel/stream/opcode.h"

#include <algorithm>
#include <cstring>

#include <new>

#include "kernel/database/color.h"
#include "kernel/database/color_map.h"
#include "kernel/stream/compressed_data.h"
#include "kernel/stream/file_header.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/file_io_p.h"
#include "kernel/stream/object_factory.h"

void MB_Opcode::set(Kind kind, int n, const unsigned char* token, int start_paren_level)
{
    n = token ? std::clamp(n, 0, k_max_token) : 0;
    std::memset(m_token, 0, sizeof m_token);
    if (n) std::memcpy(m_token, token, static_cast<size_t>(n));
    m_token_length = n;
    m_kind = kind;
    m_state = 0;
    m_start_paren_level = start_paren_level;
}

mb_long MB_Opcode::extended_length() const
{
    if (m_kind != Extended_Binary || m_token_length < 5) return 0;
    return static_cast<mb_long>(mb_ulong(m_token[1]) | (mb_ulong(m_token[2]) << 8) | (mb_ulong(m_token[3]) << 16) |
                                (mb_ulong(m_token[4]) << 24));
}

mb_ushort MB_Opcode::extended_opcode() const
{
    if (m_kind != Extended_Binary || m_token_length < 7) return 0;
    return static_cast<mb_ushort>(m_token[5] | (m_token[6] << 8));
}

MB_Result MB_Opcode::skip_past_operands(MB_File_IO& file) const
{
    return file.skip_past_matching_paren(m_start_paren_level);
}

namespace {

struct Keyword {
    const char* token;
    int id;
};

// The extended ASCII keywords with their statistics ids.
constexpr Keyword k_keywords[] = {
    {"(Author", 256},        {"(Background", 257},   {"(Circle", 258},         {"(Color", 260},
    {"(ColorMap", 261},      {"(Comments", 262},     {"(Copyright", 263},      {"(Creator", 264},
    {"(Created", 265},       {"(CodePage", 266},     {"(DashPattern", 267},    {"(VKT V", 268},
    {"(JXB V", 268},         {"(Description", 269},  {"(Ellipse", 270},        {"(Embed", 271},
    {"(EndOfVKT", 272},      {"(Font", 273},         {"(Image", 274},          {"(Keywords", 275},
    {"(Layer", 276},         {"(LinePattern", 277},  {"(LineWeight", 278},     {"(LineStyle", 279},
    {"(NamedView", 281},     {"(PlotInfo", 282},     {"(SourceCreated", 284},  {"(SourceModified", 285},
    {"(SourceFilename", 286}, {"(Text", 287},        {"(URL", 288},            {"(Units", 289},
    {"(Viewport", 290},      {"(View", 291},         {"(Title", 303},          {"(Subject", 304},
};
constexpr int k_id_unknown_keyword = 292;
constexpr int k_id_first_binary = 293;  // opcodes 1 to 8 count under 293 to 300
constexpr int k_id_compressed_data = 301;
constexpr int k_id_other_binary = 302;
constexpr int k_id_color = 260;
constexpr int k_id_color_map = 261;
constexpr int k_id_header = 268;
constexpr int k_id_end = 272;
constexpr int k_color_map_revision = 38;

bool is_opcode_char(unsigned char c)
{
    return (c >= 33 && c <= 39) || (c >= 42 && c <= 122);
}

bool is_terminator(unsigned char c)
{
    return mb_stream_bytes::is_blank(c) || c == '(' || c == ')';
}

int keyword_id(const unsigned char* token, int n)
{
    for (const Keyword& k : k_keywords)
        if (static_cast<int>(std::strlen(k.token)) == n && std::memcmp(k.token, token, static_cast<size_t>(n)) == 0)
            return k.id;
    return -1;
}

MB_Color_Map* new_cleared_map()
{
    auto* m = new (std::nothrow) MB_Color_Map(k_color_map_revision);
    if (m) m->clear();
    return m;
}

}  // namespace

MB_Result MB_Opcode::read_next(MB_File_IO& file)
{
    if (!file.have_read_first_opcode()) {
        unsigned char b[6];
        MB_Result r = file.read(6, b);
        if (r != 0) return r;
        if (std::memcmp(b, "(VKT V", 6) != 0 && std::memcmp(b, "(JXB V", 6) != 0) return MB_Result::Not_Native_Stream;
        set(Extended_Ascii, 6, b, file.paren_count());
        file.increment_paren_count();
        m_state = 1;
        file.set_have_read_first_opcode(1);
        return MB_Result::Success;
    }
    if (m_state <= 1) {
        m_state = 2;
        m_start_paren_level = file.paren_count();
    }
    if (m_state == 2) {
        // Blanks before the opcode are passed over: its first byte is the first other one.
        unsigned char c = 0;
        for (;;) {
            MB_Result r = file.read(c);
            if (r != 0) return r;
            if (!mb_stream_bytes::is_blank(c)) break;
        }
        std::memset(m_token, 0, sizeof m_token);
        m_token[0] = c;
        m_token_length = 1;
        if (c == '(') {
            m_kind = Extended_Ascii;
            file.increment_paren_count();
            m_state = 4;
        } else if (c == '{') {
            m_kind = Extended_Binary;
            m_state = 4;
        } else if (c == ')') {
            // A ")" cannot start an opcode; the next call starts afresh.
            m_state = 1;
            return MB_Result::Invalid_Data;
        } else {
            m_kind = Single_Byte;
            m_state = 1;
            return MB_Result::Success;
        }
    }
    if (m_state != 4) return MB_Result::Internal_Error;
    if (m_kind == Extended_Binary) {
        MB_Result r = file.read(6, m_token + 1);
        if (r != 0) return r;
        m_token_length = 7;
        m_state = 1;
        return MB_Result::Success;
    }
    // Every pass takes one byte: the keyword ends with its terminator or at 40 bytes.
    for (;;) {
        unsigned char c = 0;
        MB_Result r = file.read(c);
        if (r != 0) return r;
        if (is_terminator(c)) {
            m_token[m_token_length] = 0;
            m_state = 1;
            return file.unread(1, &c);
        }
        if (!is_opcode_char(c) || m_token_length >= k_max_token) {
            m_state = 1;
            return MB_Result::Invalid_Data;
        }
        m_token[m_token_length++] = c;
    }
}

int MB_Opcode::statistics_id() const
{
    switch (m_kind) {
    case Single_Byte: return m_token[0];
    case Extended_Ascii: {
        const int id = keyword_id(m_token, m_token_length);
        return id >= 0 ? id : k_id_unknown_keyword;
    }
    case Extended_Binary: {
        const mb_ushort op = extended_opcode();
        if (op >= 1 && op <= 8) return k_id_first_binary + op - 1;
        if (op == 16 || op == 17 || op == 291) return k_id_compressed_data;
        return k_id_other_binary;
    }
    default: return k_id_other_binary;
    }
}

void MB_Opcode::count(MB_Opcode_Statistics& stats, int step) const
{
    const int id = statistics_id();
    if (id >= 0 && id < MB_Opcode_Statistics::k_ids) stats.counts[id] += step;
    // A keyword that makes no object is counted again as such.
    if (m_kind == Extended_Ascii && id != k_id_unknown_keyword && id != k_id_color && id != k_id_color_map &&
        id != k_id_header && id != k_id_end)
        stats.counts[k_id_unknown_keyword] += step;
}

MB_Object* MB_Opcode::create_object(MB_Rendition&, MB_Result& result, MB_File_IO& file)
{
    result = MB_Result::Success;
    const int id = statistics_id();
    if (MB_Opcode_Statistics* stats = file.statistics()) {
        const int start = file.opcode_start();
        if (stats->last_id >= 0 && stats->last_id < MB_Opcode_Statistics::k_ids)
            stats->byte_totals[stats->last_id] += start - stats->last_start;
        stats->last_id = id;
        stats->last_start = start;
        count(*stats, 1);
    }

    MB_Object* obj = nullptr;
    // Set where a class makes the kind: a null object there is memory that ran out.
    bool made = false;
    switch (m_kind) {
    case Single_Byte: {
        const unsigned char b = m_token[0];
        if (MB_Object_Maker make = MB_Object_Factory::maker(b))
            obj = make(), made = true;
        else if (!MB_Object_Factory::is_record_byte(b) && !MB_Object_Factory::is_counted_byte(b))
            result = MB_Result::Invalid_Data;
        break;
    }
    case Extended_Ascii:
        made = true;
        if (id == k_id_color)
            obj = mb_make_white_color();
        else if (id == k_id_color_map)
            obj = new_cleared_map();
        else if (id == k_id_end)
            obj = new (std::nothrow) MB_End_Of_Stream;
        else if (id == k_id_header)
            obj = new (std::nothrow) MB_File_Header;
        else
            made = false;
        break;
    case Extended_Binary: {
        const mb_ushort op = extended_opcode();
        made = true;
        if (op == 1)
            obj = new_cleared_map();
        else if (op == 16 || op == 17 || op == 291)
            obj = new (std::nothrow) MB_Compressed_Data(op);
        else
            made = false;
        break;
    }
    default: result = MB_Result::Internal_Error; break;
    }
    m_unknown_kind = !obj && result == 0 && !made;
    if (!obj && result == 0) result = MB_Result::Out_Of_Memory;
    return obj;
}
