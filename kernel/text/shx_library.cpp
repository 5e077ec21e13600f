#include "kernel/text/shx_library.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/pt_list.h"
#include "kernel/stream/file_io.h"
#include "kernel/text/font_file_p.h"
#include "platform/path.h"

namespace {

struct Signature {
    const char* text;
    int kind;
};

constexpr Signature k_signatures[] = {
    {"AutoCAD-86 unifont 1.0", MB_Shx_Library::Shx_Unifont},
    {"AutoCAD-86 shapes 1.1", MB_Shx_Library::Shx_Shapes},
    {"AutoCAD-86 shapes 1.0", MB_Shx_Library::Shx_Shapes},
    {"ZOLT-Font 1.0", MB_Shx_Library::Shx_Shapes},
    {"AutoCAD-86 bigfont 1.0", MB_Shx_Library::Shx_Big_Font},
    {"VESPRANE BigFonts  1.0", MB_Shx_Library::Shx_Big_Font},
    {"HURN-Font 1.0", MB_Shx_Library::Shx_Recognised_Only},
};

// Shape bytes a font may hold per byte of its file.
constexpr std::size_t k_bytes_per_file_byte = 16;

// Little-endian reads inside [0, size); false when the value does not lie wholly inside.
bool u16_at(const unsigned char* d, std::size_t size, std::size_t at, unsigned& v)
{
    if (at > size || size - at < 2) return false;
    v = unsigned(d[at]) | unsigned(d[at + 1]) << 8;
    return true;
}

bool u32_at(const unsigned char* d, std::size_t size, std::size_t at, unsigned long& v)
{
    if (at > size || size - at < 4) return false;
    v = (unsigned long)d[at] | (unsigned long)d[at + 1] << 8 | (unsigned long)d[at + 2] << 16 |
        (unsigned long)d[at + 3] << 24;
    return true;
}

}  // namespace

int MB_Shx_Library::signature_kind(const unsigned char* bytes, std::size_t n)
{
    if (!bytes || n < std::size_t(k_signature_size)) return Shx_Not_Font;
    std::size_t end = 0;
    while (end < std::size_t(k_signature_size) && static_cast<signed char>(bytes[end]) >= 32) ++end;
    if (end == std::size_t(k_signature_size)) return Shx_Not_Font;
    const std::string text(reinterpret_cast<const char*>(bytes), end);
    for (const Signature& s : k_signatures)
        if (::strcasecmp(text.c_str(), s.text) == 0) return s.kind;
    return Shx_Not_Font;
}

int read_shx_signature(std::FILE* file)
{
    if (!file) return MB_Shx_Library::Shx_Not_Font;
    unsigned char head[MB_Shx_Library::k_signature_size];
    const std::size_t n = std::fread(head, 1, sizeof head, file);
    return MB_Shx_Library::signature_kind(head, n);
}

int get_shx_font_type(const char* file)
{
    if (!file || !*file) return 0;
    std::FILE* f = platform_fopen(mb_font_path(file).c_str(), "rb");
    if (!f) return 0;
    const int kind = read_shx_signature(f);
    std::fclose(f);
    return kind < 0 ? 0 : kind;
}

MB_Shx_Library::MB_Shx_Library(const char* file)
{
    file_name(file);
    name() = file_name();
    // A file that cannot be read leaves the library empty; the registry discards it.
    (void)load_shx_file(file);
}

MB_Shx_Library::~MB_Shx_Library()
{
    m_char_list.kill_all();
}

bool MB_Shx_Library::load_shx_file(const char* file)
{
    if (!file || !*file) return false;
    std::vector<unsigned char> data;
    if (!mb_read_font_file(mb_font_path(file), data)) return false;
    const int kind = signature_kind(data.data(), data.size());
    if (kind == Shx_Not_Font) return false;
    m_byte_budget = data.size() > SIZE_MAX / k_bytes_per_file_byte ? SIZE_MAX : data.size() * k_bytes_per_file_byte;
    bool ok = true;
    switch (kind) {
    case Shx_Shapes: read_shapes_file(data.data(), data.size()); break;
    case Shx_Big_Font: ok = read_big_font(data.data(), data.size()); break;
    case Shx_Unifont: read_unifont(data.data(), data.size()); break;
    default: break;
    }
    m_index_valid = false;
    return ok;
}

void MB_Shx_Library::add_shape(unsigned long number, const unsigned char* code, std::size_t n,
                               std::size_t buffer_size)
{
    auto* shape = new Qe_Shx_Char;
    shape->index(number);
    if (!shape->create_buffer(static_cast<unsigned short>(buffer_size))) {
        delete shape;
        return;
    }
    if (n > 0) std::copy(code, code + std::min(n, buffer_size), shape->buffer());
    m_byte_budget -= buffer_size;
    m_char_list.add_shx_char(shape);
}

// Offset 28: the entry count; 30: entries of (number, length); then the definitions back to
// back, each a name, a zero byte and the byte code. Shape 0 holds above, below and modes in
// the three bytes before its last.
void MB_Shx_Library::read_shapes_file(const unsigned char* d, std::size_t size)
{
    unsigned n = 0;
    if (!u16_at(d, size, 28, n)) return;
    std::size_t def = 30 + std::size_t(4) * n;
    for (unsigned i = 0; i < n; ++i) {
        unsigned number = 0, length = 0;
        if (!u16_at(d, size, 30 + std::size_t(4) * i, number) || !u16_at(d, size, 32 + std::size_t(4) * i, length))
            return;
        if (def > size || size - def < length) return;
        const unsigned char* bytes = d + def;
        def += length;
        if (number == 0) {
            // Shorter than four bytes holds no font information: the defaults stay.
            if (length >= 4) {
                m_above = bytes[length - 4];
                m_below = bytes[length - 3];
                m_modes = bytes[length - 2];
            }
            continue;
        }
        const unsigned char* zero = std::find(bytes, bytes + length, 0);
        // Without the name's zero byte the definition holds no byte code.
        const std::size_t code = zero == bytes + length ? 0 : std::size_t(bytes + length - zero - 1);
        if (code > m_byte_budget) return;
        add_shape(number, zero + 1, code, code);
    }
}

// Offset 25: the header value 8; 27: the entry count; 29: the escape-range count, the
// ranges (ignored) and then entries of (number, length, file offset). A definition is a
// name, a zero byte and the byte code; the first one's three bytes after the zero are
// above, below and modes.
bool MB_Shx_Library::read_big_font(const unsigned char* d, std::size_t size)
{
    unsigned header = 0, n = 0, ranges = 0;
    if (!u16_at(d, size, 25, header) || header != 8) return false;
    if (!u16_at(d, size, 27, n) || !u16_at(d, size, 29, ranges)) return true;
    const std::size_t index = 31 + std::size_t(4) * ranges;
    bool first = true;
    for (unsigned i = 0; i < n; ++i) {
        const std::size_t at = index + std::size_t(8) * i;
        unsigned number = 0, length = 0;
        unsigned long offset = 0;
        if (!u16_at(d, size, at, number) || !u16_at(d, size, at + 2, length) || !u32_at(d, size, at + 4, offset))
            return true;
        if (length == 0) continue;
        // A definition past the end of the file ends reading, as the end of the file does.
        if (offset > size || size - offset < length) return true;
        if (length > m_byte_budget) return true;
        const unsigned char* bytes = d + offset;
        const unsigned char* zero = std::find(bytes, bytes + length, 0);
        const std::size_t code = zero == bytes + length ? 0 : std::size_t(bytes + length - zero - 1);
        if (first) {
            first = false;
            if (code >= 3) {
                m_above = zero[1];
                m_below = zero[2];
                m_modes = zero[3];
            }
        }
        // The buffer keeps the definition's length; what follows the code is zero.
        add_shape(number, code ? zero + 1 : nullptr, code, length);
    }
    return true;
}

// Offset 25: the shape count (not used); 29: the length m of the font information (a name,
// a zero, above, below, modes and three more bytes); then records of (number, length L,
// one unused byte, L - 1 bytes of byte code) up to a record with L = 0 or the end of the file.
void MB_Shx_Library::read_unifont(const unsigned char* d, std::size_t size)
{
    unsigned m = 0;
    if (!u16_at(d, size, 29, m)) return;
    if (31 > size || size - 31 < m) return;
    if (m >= 6) {
        m_above = d[31 + m - 6];
        m_below = d[31 + m - 5];
        m_modes = d[31 + m - 4];
    }
    std::size_t at = 31 + std::size_t(m);
    for (;;) {
        unsigned number = 0, length = 0;
        if (!u16_at(d, size, at, number) || !u16_at(d, size, at + 2, length)) return;
        if (length == 0) return;
        const std::size_t code = length - 1;
        const std::size_t start = at + 5;
        if (start > size || size - start < code) return;
        if (code > m_byte_budget) return;
        add_shape(number, d + start, code, code);
        at = start + code;
    }
}

void MB_Shx_Library::build_index()
{
    m_index.clear();
    m_decoded.clear();
    for (Qe_Shx_Char* c = m_char_list.head(); c; c = c->next()) m_index.emplace(c->index(), c);
    m_index_valid = true;
}

Qe_Shx_Char* MB_Shx_Library::find_shape(unsigned long code)
{
    if (!m_index_valid) build_index();
    const auto it = m_index.find(code);
    return it == m_index.end() ? nullptr : it->second;
}

double MB_Shx_Library::height() const
{
    return m_above != 0 ? m_above : m_below;
}

bool MB_Shx_Library::char_2_ptlist(unsigned long code, Qe_Void_List& out, Qe_Pt& pen, double height,
                                   double width_factor, bool vertical)
{
    Qe_Shx_Char* shape = find_shape(code);
    if (!shape) return false;
    const auto [at, fresh] = m_decoded.try_emplace(code);
    Decoded& decoded = at->second;
    Qe_Void_List strokes;
    if (fresh) {
        shape->add_shx_char_to_list(strokes, decoded.advance, m_char_list);
        for (Qe_Void_Node* n = strokes.head(); n; n = n->next()) {
            std::vector<Qe_Pt>& kept = decoded.strokes.emplace_back();
            for (const Qe_Pt_Node* p = static_cast<Qe_Pt_List*>(n->entity())->head(); p; p = p->next()) kept.push_back(*p);
        }
    } else {
        for (const std::vector<Qe_Pt>& kept : decoded.strokes) {
            auto* stroke = new Qe_Pt_List;
            for (const Qe_Pt& p : kept) stroke->add_tail(p);
            (void)strokes.add(stroke);
        }
    }
    mb_place_shape_glyph(strokes, decoded.advance, this->height(), out, pen, height, width_factor, vertical);
    return true;
}

MB_Result MB_Shx_Library::serialize(MB_File_IO& file)
{
    return file.write(static_cast<unsigned char>('f'));
}

MB_Result MB_Shx_Library::sync(MB_File_IO&)
{
    return MB_Result::Success;
}
