#include "kernel/text/shp_library.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "geometry/log.h"
#include "geometry/pt_list.h"
#include "geometry/shx_char.h"
#include "kernel/stream/file_io.h"
#include "kernel/text/font_file_p.h"

namespace {

// Scales that codes 3 and 4 may reach, as in compiled shapes.
constexpr double k_min_scale = 1.0 / 16777216.0;
constexpr double k_max_scale = 16777216.0;

std::string trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// The comma-separated tokens of a code text, trimmed; empty ones (a line end after a comma)
// are dropped.
std::vector<std::string> tokenize(const std::string& codes)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = codes.find(',', start);
        std::string t = trim(codes.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!t.empty()) out.push_back(std::move(t));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

// A decimal number, with the parentheses that enclose argument groups taken off.
bool number_of(const std::string& token, double& v)
{
    std::string s;
    for (char c : token)
        if (c != '(' && c != ')' && !std::isspace(static_cast<unsigned char>(c))) s += c;
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return end && *end == '\0' && std::isfinite(v);
}

// The command number of a token "0" .. "15", or -1.
int command_of(const std::string& t)
{
    if (t.empty() || t.size() > 2) return -1;
    for (char c : t)
        if (c < '0' || c > '9') return -1;
    const int v = std::atoi(t.c_str());
    return v <= 15 ? v : -1;
}

int hex_of(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A vector token: "0LD" or "0LLDD" in hexadecimal.
bool vector_of(const std::string& t, int& len, int& dir)
{
    if (t.size() == 3 && t[0] == '0') {
        len = hex_of(t[1]);
        dir = hex_of(t[2]);
    } else if (t.size() == 5 && t[0] == '0') {
        const int l1 = hex_of(t[1]), l2 = hex_of(t[2]), d1 = hex_of(t[3]), d2 = hex_of(t[4]);
        if (l1 < 0 || l2 < 0 || d1 < 0 || d2 < 0) return false;
        len = l1 * 16 + l2;
        dir = (d1 * 16 + d2) & 15;
    } else {
        return false;
    }
    return len >= 0 && dir >= 0;
}

bool is_zero_pair(const std::vector<std::string>& tokens, std::size_t i)
{
    double a = 0.0, b = 0.0;
    return i + 1 < tokens.size() && number_of(tokens[i], a) && number_of(tokens[i + 1], b) && a == 0.0 && b == 0.0;
}

// Tokens taken by the command at i with its arguments, or 0 when they run past the end.
std::size_t token_span(const std::vector<std::string>& tokens, std::size_t i)
{
    const std::size_t n = tokens.size();
    if (i >= n) return 0;
    std::size_t len = 1;
    switch (command_of(tokens[i])) {
    case 3: case 4: case 7: len = 2; break;
    case 8: case 10: len = 3; break;
    case 11: len = 6; break;
    case 12: len = 4; break;
    case 9: {
        std::size_t j = i + 1;
        for (;;) {
            if (j + 2 > n) return 0;
            const bool end = is_zero_pair(tokens, j);
            j += 2;
            if (end) break;
        }
        len = j - i;
        break;
    }
    case 13: {
        std::size_t j = i + 1;
        for (;;) {
            if (j + 2 > n) return 0;
            if (is_zero_pair(tokens, j)) {
                j += 2;
                break;
            }
            j += 3;
        }
        if (j > n) return 0;
        len = j - i;
        break;
    }
    case 14: {
        const std::size_t next = token_span(tokens, i + 1);
        if (next == 0) return 0;
        len = 1 + next;
        break;
    }
    default: break;
    }
    return i + len > n ? 0 : len;
}

// The lines of a text: split at LF, each losing only its trailing CR and LF; a final line
// end makes no empty last line.
std::vector<std::string> lines_of(const std::vector<unsigned char>& data)
{
    std::vector<std::string> lines;
    std::string cur;
    for (unsigned char c : data) {
        if (c == '\n') {
            while (!cur.empty() && cur.back() == '\r') cur.pop_back();
            lines.push_back(std::move(cur));
            cur.clear();
        } else {
            cur += static_cast<char>(c);
        }
    }
    while (!cur.empty() && cur.back() == '\r') cur.pop_back();
    if (!cur.empty()) lines.push_back(std::move(cur));
    return lines;
}

// The shape number of a header line "*number,...", or -1 when it is not one.
long header_number(const std::string& line)
{
    if (line.empty() || line[0] != '*') return -1;
    const std::size_t comma = line.find(',');
    const std::string field = trim(line.substr(1, comma == std::string::npos ? std::string::npos : comma - 1));
    if (field.empty() || field.size() > 6) return -1;
    for (char c : field)
        if (c < '0' || c > '9') return -1;
    const long v = std::atol(field.c_str());
    return v <= 65535 ? v : -1;
}

}  // namespace

// ---- MB_Shp_Status ----

MB_Shp_Status::~MB_Shp_Status() = default;

void MB_Shp_Status::pen_down(bool down)
{
    m_pen_down = down;
    if (down && m_font_char) {
        m_font_char->new_pos_list();
        m_font_char->add_pos(m_x, m_y);
    }
}

void MB_Shp_Status::add_pos(double x, double y)
{
    m_x = x;
    m_y = y;
    if (m_pen_down && m_font_char) m_font_char->add_pos(x, y);
}

void MB_Shp_Status::push_pos()
{
    m_stack.push_back(Qe_Pt(m_x, m_y, 0.0));
}

void MB_Shp_Status::pop_pos()
{
    if (m_stack.empty()) return;
    const Qe_Pt p = m_stack.back();
    m_stack.pop_back();
    add_pos(p.x(), p.y());
}

void MB_Shp_Status::set_end_pos()
{
    if (m_font_char) m_font_char->set_end_pos(m_x, m_y);
}

void MB_Shp_Status::init()
{
    m_x = m_y = 0.0;
    m_pen_down = false;
    m_scale = 1.0;
    m_font_char = nullptr;
    m_stack.clear();
    m_sub_shp = nullptr;
}

// ---- MB_Shp_Library ----

// One shape's interpretation: the sub-shapes being interpreted and the codes still allowed.
struct MB_Shp_Library::Run {
    const MB_Sub_Shp* active[k_max_sub_depth + 1] = {};
    int depth = 0;
    long budget = k_max_tokens;

    bool is_active(const MB_Sub_Shp* s) const
    {
        for (int i = 0; i < depth; ++i)
            if (active[i] == s) return true;
        return false;
    }
};

MB_Shp_Library::MB_Shp_Library(const char* file)
{
    file_name(file);
    create_font_name();
    // A file that cannot be read leaves the library without glyphs (logged by load_data).
    (void)load_data();
}

MB_Shp_Library::~MB_Shp_Library()
{
    free_chars();
    for (Qe_Void_Node* n = m_sub_shps.head(); n; n = n->next()) delete static_cast<MB_Sub_Shp*>(n->entity());
    m_sub_shps.clear();
}

void MB_Shp_Library::free_chars()
{
    m_status.init();
    MB_Font_Char* c = m_head;
    while (c) {
        auto* next = static_cast<MB_Font_Char*>(c->next());
        delete c;
        c = next;
    }
    m_head = m_tail = nullptr;
    m_index.clear();
}

bool MB_Shp_Library::load_data()
{
    const std::string path = mb_font_path(file_name());
    std::vector<unsigned char> data;
    if (!*file_name() || !mb_read_font_file(path, data)) {
        message_out("Error open the shp file:", path.c_str(), "", true);
        return false;
    }
    const std::vector<std::string> lines = lines_of(data);
    if (lines.empty()) return false;
    m_big_font = lines[0].compare(0, 8, "*BIGFONT") == 0;
    const std::size_t header = m_big_font ? 1 : 0;
    if (lines.size() < header + 2) return false;
    deal_with_head(lines[header].c_str(), lines[header + 1].c_str());
    const std::size_t first = header + 2;
    deal_with_sub_shp(lines, first);

    std::string codes;
    bool in_shape = false;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.empty() && line[0] == '*') {
            if (in_shape) deal_with_str(codes.c_str());
            codes.clear();
            const long number = header_number(line);
            in_shape = number >= 0;
            if (in_shape) new_font_char(static_cast<unsigned short>(number));
        } else if (in_shape) {
            codes += line;
            codes += ',';
        }
    }
    if (in_shape) deal_with_str(codes.c_str());
    m_status.init();
    return true;
}

void MB_Shp_Library::deal_with_head(const char* line_a, const char* line_b)
{
    if (line_a) {
        // The description is the third field of "*0,bytes,description".
        const std::string a(line_a);
        const std::size_t c1 = a.find(',');
        const std::size_t c2 = c1 == std::string::npos ? std::string::npos : a.find(',', c1 + 1);
        if (c2 != std::string::npos) desc() = a.substr(c2 + 1).c_str();
    }
    if (line_b) {
        const std::vector<std::string> f = tokenize(line_b);
        unsigned short* targets[3] = {&m_above, &m_below, &m_modes};
        for (std::size_t i = 0; i < 3 && i < f.size(); ++i) {
            double v = 0.0;
            if (number_of(f[i], v) && v >= 0.0 && v <= 65535.0) *targets[i] = static_cast<unsigned short>(v);
        }
    }
}

void MB_Shp_Library::deal_with_sub_shp(const std::vector<std::string>& lines, std::size_t first)
{
    // The numbers that code 7 calls, in order of first call.
    std::vector<std::string> shape_codes;
    std::vector<long> shape_numbers;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.empty() && line[0] == '*') {
            shape_numbers.push_back(header_number(line));
            shape_codes.emplace_back();
        } else if (!shape_codes.empty()) {
            shape_codes.back() += line;
            shape_codes.back() += ',';
        }
    }
    auto find_sub = [&](unsigned short number) -> MB_Sub_Shp* {
        for (Qe_Void_Node* n = m_sub_shps.head(); n; n = n->next())
            if (static_cast<MB_Sub_Shp*>(n->entity())->number() == number) return static_cast<MB_Sub_Shp*>(n->entity());
        return nullptr;
    };
    for (const std::string& codes : shape_codes) {
        const std::vector<std::string> tokens = tokenize(codes);
        for (std::size_t i = 0; i < tokens.size();) {
            const std::size_t span = token_span(tokens, i);
            if (span == 0) break;
            double v = 0.0;
            if (command_of(tokens[i]) == 7 && number_of(tokens[i + 1], v) && v >= 0.0 && v <= 65535.0 &&
                v == std::floor(v) && !find_sub(static_cast<unsigned short>(v)))
                m_sub_shps.add_tail(new MB_Sub_Shp(static_cast<unsigned short>(v), tokens[i + 1]));
            i += span;
        }
    }
    // The first shape of each called number gives the sub-shape its codes.
    for (Qe_Void_Node* n = m_sub_shps.head(); n; n = n->next()) {
        auto* sub = static_cast<MB_Sub_Shp*>(n->entity());
        for (std::size_t k = 0; k < shape_numbers.size(); ++k)
            if (shape_numbers[k] == sub->number()) {
                sub->codes(shape_codes[k]);
                break;
            }
    }
}

MB_Font_Char* MB_Shp_Library::new_font_char(unsigned short code)
{
    auto* c = new MB_Font_Char(code);
    c->prev(m_tail);
    c->next(nullptr);
    if (m_tail)
        m_tail->next(c);
    else
        m_head = c;
    m_tail = c;
    m_index.emplace(code, c);
    m_status.init();
    m_status.font_char(c);
    return c;
}

void MB_Shp_Library::deal_with_str(const char* codes)
{
    Run run;
    // A shape that others call is not entered again from within itself.
    if (const MB_Font_Char* c = m_status.font_char())
        for (Qe_Void_Node* n = m_sub_shps.head(); n; n = n->next())
            if (static_cast<MB_Sub_Shp*>(n->entity())->number() == c->index()) {
                run.active[run.depth++] = static_cast<MB_Sub_Shp*>(n->entity());
                break;
            }
    m_run = &run;
    if (codes) interpret(tokenize(codes), run);
    m_run = nullptr;
    finish_char();
}

void MB_Shp_Library::deal_with_sub_str(const char* codes)
{
    Run own;
    Run& run = m_run ? *m_run : own;
    if (codes) interpret(tokenize(codes), run);
}

void MB_Shp_Library::finish_char()
{
    if (MB_Font_Char* c = m_status.font_char()) c->conver_list_to_set();
}

void MB_Shp_Library::interpret(const std::vector<std::string>& tokens, Run& run)
{
    MB_Shp_Status& st = m_status;
    const std::size_t n = tokens.size();
    auto num = [&](std::size_t i, double& v) { return i < n && number_of(tokens[i], v); };
    auto move_by = [&](double dx, double dy) { st.add_pos(st.x() + dx * st.scale(), st.y() + dy * st.scale()); };
    for (std::size_t i = 0; i < n;) {
        if (--run.budget < 0) return;
        const std::string& t = tokens[i];
        const int code = command_of(t);
        if (code < 0) {
            int len = 0, dir = 0;
            if (vector_of(t, len, dir)) {
                const Qe_Vec step = shx_vector_step(len, dir);
                move_by(step.x(), step.y());
            }
            ++i;
            continue;
        }
        const std::size_t span = token_span(tokens, i);
        if (span == 0) return;  // the arguments run past the end
        switch (code) {
        case 0: st.set_end_pos(); break;
        case 1: st.pen_down(true); break;
        case 2: st.pen_down(false); break;
        case 3:
        case 4: {
            double f = 0.0;
            if (num(i + 1, f) && f > 0.0) {
                const double next = code == 3 ? st.scale() / f : st.scale() * f;
                if (next >= k_min_scale && next <= k_max_scale) st.scale(next);
            }
            break;
        }
        case 5: st.push_pos(); break;
        case 6: st.pop_pos(); break;
        case 7: {
            double v = 0.0;
            if (!num(i + 1, v)) break;
            MB_Sub_Shp* sub = nullptr;
            for (Qe_Void_Node* s = m_sub_shps.head(); s; s = s->next())
                if (static_cast<MB_Sub_Shp*>(s->entity())->number() == v) {
                    sub = static_cast<MB_Sub_Shp*>(s->entity());
                    break;
                }
            if (!sub || run.depth >= k_max_sub_depth || run.is_active(sub)) break;
            run.active[run.depth++] = sub;
            MB_Sub_Shp* outer = st.sub_shp();
            st.sub_shp(sub);
            interpret(tokenize(sub->codes()), run);
            st.sub_shp(outer);
            --run.depth;
            if (run.budget < 0) return;
            break;
        }
        case 8: {
            double dx = 0.0, dy = 0.0;
            if (num(i + 1, dx) && num(i + 2, dy)) move_by(dx, dy);
            break;
        }
        case 9:
            for (std::size_t j = i + 1; j + 1 < i + span; j += 2) {
                double dx = 0.0, dy = 0.0;
                if (num(j, dx) && num(j + 1, dy)) move_by(dx, dy);
            }
            break;
        case 10: {
            double r = 0.0;
            if (!num(i + 1, r)) break;
            std::string spec;
            for (char c : tokens[i + 2])
                if (c != '(' && c != ')' && !std::isspace(static_cast<unsigned char>(c))) spec += c;
            const bool clockwise = !spec.empty() && spec[0] == '-';
            if (clockwise || (!spec.empty() && spec[0] == '+')) spec.erase(0, 1);
            if (spec.empty() || spec.find_first_not_of("0123456789") != std::string::npos) break;
            const int span_octants = spec.back() - '0';
            const int start = spec.size() >= 2 ? spec[spec.size() - 2] - '0' : 0;
            Qe_Pt pts[16];
            const int k = shx_octant_arc_points(Qe_Pt(st.x(), st.y(), 0.0), r * st.scale(), start, span_octants,
                                                clockwise, pts);
            for (int p = 0; p < k; ++p) st.add_pos(pts[p].x(), pts[p].y());
            break;
        }
        case 12:
        case 13: {
            // 12: one triple; 13: triples up to the closing pair (0, 0), which token_span found.
            for (std::size_t j = i + 1; j + 2 < i + span + (code == 12 ? 1 : 0); j += 3) {
                double dx = 0.0, dy = 0.0, b = 0.0;
                if (code == 13 && is_zero_pair(tokens, j)) break;
                if (!num(j, dx) || !num(j + 1, dy) || !num(j + 2, b)) break;
                b = std::fmax(-127.0, std::fmin(127.0, b));
                Qe_Pt pts[4];
                const Qe_Pt s(st.x(), st.y(), 0.0);
                const Qe_Pt e(st.x() + dx * st.scale(), st.y() + dy * st.scale(), 0.0);
                const int k = shx_bulge_arc_points(s, e, b, pts);
                for (int p = 0; p < k; ++p) st.add_pos(pts[p].x(), pts[p].y());
            }
            break;
        }
        default:  // 11 (fractional arcs add no points), 14 (skips the next command), 15
            break;
        }
        i += span;
    }
}

MB_Font_Char* MB_Shp_Library::font_char_set(unsigned short code)
{
    const auto it = m_index.find(code);
    return it == m_index.end() ? nullptr : it->second;
}

double MB_Shp_Library::height() const
{
    return m_above != 0 ? m_above : m_below;
}

bool MB_Shp_Library::char_2_ptlist(unsigned long code, Qe_Void_List& out, Qe_Pt& pen, double height,
                                   double width_factor, bool vertical)
{
    // Codes past 16 bits name no shape.
    if (code > 0xFFFF) return false;
    const MB_Font_Char* glyph = font_char_set(static_cast<unsigned short>(code));
    if (!glyph) return false;
    // The glyph's runs, as new lists in design units, for the same placement as a compiled
    // shape's strokes.
    Qe_Void_List strokes;
    const Qe_Pt_Sets& runs = glyph->position_set();
    const Qe_Pt* p = runs.points();
    for (mb_ulong r = 0; p && r < runs.ptset_count(); ++r) {
        auto* stroke = new Qe_Pt_List;
        for (mb_ulong k = 0; k < runs.vals()[r]; ++k) stroke->add_tail(*p++);
        strokes.add_tail(stroke);
    }
    mb_place_shape_glyph(strokes, glyph->end_pos(), this->height(), out, pen, height, width_factor, vertical);
    return true;
}

MB_Result MB_Shp_Library::serialize(MB_File_IO& file)
{
    return file.write(static_cast<unsigned char>('f'));
}

MB_Result MB_Shp_Library::sync(MB_File_IO&)
{
    return MB_Result::Success;
}
