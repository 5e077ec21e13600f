#include "kernel/database/line_type.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "geometry/file_names.h"
#include "geometry/number_text.h"
#include "geometry/pt_list.h"
#include "geometry/pt_set.h"
#include "geometry/tolerance.h"
#include "kernel/database/mb_string.h"

namespace {

constexpr int k_line_size = 256;
constexpr int k_element_text_size = 20;
// Collinearity of a start point with a segment, as the pattern walk has always tested it.
constexpr double k_on_segment_tol = 1e-05;
// The pattern walk never takes more steps than this, whatever max_persize a host sets.
constexpr double k_max_steps = 1e7;

// Splits a copy of the line (cut to 255 characters) at commas; empty tokens are passed
// over, as the line formats have always been read.
std::vector<const char*> split_tokens(const char* line, char (&buffer)[k_line_size])
{
    mb_copy_name(buffer, sizeof buffer, line);
    std::vector<const char*> tokens;
    char* save = nullptr;
    for (char* t = strtok_r(buffer, ",", &save); t; t = strtok_r(nullptr, ",", &save)) tokens.push_back(t);
    return tokens;
}

double read_number(const char* text)
{
    return qe_read_double(text);
}

// The value of a "K=value" parameter: the number starting at the third character, taken
// from at most 19 characters.
double read_parameter(const char* token)
{
    if (std::strlen(token) < 2) return 0.0;
    char value[k_element_text_size];
    mb_copy_name(value, sizeof value, token + 2);
    return read_number(value);
}

bool ends_element(const char* token)
{
    const std::size_t n = std::strlen(token);
    return n > 0 && token[n - 1] == ']';
}

}  // namespace

MB_Linetype_Node::MB_Linetype_Node(double val, double scale, double rotang, double xoffset, double yoffset,
                                   short shape_flag, short complexshapecode)
    : m_val(val),
      m_complexshapecode(complexshapecode),
      m_scale(scale),
      m_rotang(rotang),
      m_xoffset(xoffset),
      m_yoffset(yoffset),
      m_shape_flag(shape_flag)
{
}

MB_Linetype_Node::MB_Linetype_Node(const MB_Linetype_Node& other)
    : m_val(other.m_val),
      m_complexshapecode(other.m_complexshapecode),
      m_scale(other.m_scale),
      m_rotang(other.m_rotang),
      m_xoffset(other.m_xoffset),
      m_yoffset(other.m_yoffset),
      m_shape_flag(other.m_shape_flag),
      m_stroffset(other.m_stroffset),
      m_text_style(other.m_text_style),
      m_shape_char(other.m_shape_char)
{
}

MB_Linetype_Node::~MB_Linetype_Node() = default;

bool MB_Linetype_Node::init_font_char(const char* name)
{
    return name && is_file_ext(name, "shx");
}

MB_Linetype_Loop::~MB_Linetype_Loop()
{
    clear();
}

int MB_Linetype_Loop::count() const
{
    int n = 0;
    for (MB_Linetype_Node* e = m_head; e; e = e->next()) {
        ++n;
        if (e->next() == m_head) break;
    }
    return n;
}

void MB_Linetype_Loop::add(MB_Linetype_Node* node)
{
    if (!node) return;
    if (!m_head) {
        m_head = node;
        node->prev(nullptr);
        node->next(nullptr);
        return;
    }
    MB_Linetype_Node* last = m_head->prev() ? m_head->prev() : m_head;
    node->prev(last);
    last->next(node);
    m_head->prev(node);
    node->next(m_head);
}

void MB_Linetype_Loop::clear()
{
    MB_Linetype_Node* e = m_head;
    while (e) {
        MB_Linetype_Node* next = e->next();
        delete e;
        e = next == m_head ? nullptr : next;
    }
    m_head = nullptr;
}

void MB_Linetype_Loop::copy_from(const MB_Linetype_Loop& other)
{
    if (&other == this) return;
    clear();
    for (MB_Linetype_Node* e = other.m_head; e; e = e->next()) {
        add(new MB_Linetype_Node(*e));
        if (e->next() == other.m_head) break;
    }
}

MB_Line_Type::MB_Line_Type() = default;

MB_Line_Type::MB_Line_Type(const MB_Line_Type& other)
    : MB_Attribute(other),
      m_index(other.m_index),
      m_pattern_length(other.m_pattern_length),
      m_scale(other.m_scale),
      m_max_persize(other.m_max_persize)
{
    std::memcpy(m_name, other.m_name, sizeof m_name);
    std::memcpy(m_desc, other.m_desc, sizeof m_desc);
    m_loop.copy_from(other.m_loop);
}

MB_Line_Type& MB_Line_Type::operator=(const MB_Line_Type& other)
{
    if (this == &other) return *this;
    MB_Attribute::operator=(other);
    m_index = other.m_index;
    std::memcpy(m_name, other.m_name, sizeof m_name);
    std::memcpy(m_desc, other.m_desc, sizeof m_desc);
    m_pattern_length = other.m_pattern_length;
    m_scale = other.m_scale;
    m_max_persize = other.m_max_persize;
    m_loop.copy_from(other.m_loop);
    return *this;
}

MB_Line_Type::~MB_Line_Type() = default;

bool MB_Line_Type::copy_to(MB_Object*& target)
{
    return mb_copy_value(*this, target);
}

void MB_Line_Type::name(const char* text)
{
    mb_copy_name(m_name, sizeof m_name, text);
}

void MB_Line_Type::desc(const char* text)
{
    mb_copy_name(m_desc, sizeof m_desc, text);
}

bool MB_Line_Type::init_dec(const char* line)
{
    char buffer[k_line_size];
    const std::vector<const char*> tokens = split_tokens(line, buffer);
    if (tokens.size() > 0) name(tokens[0]);
    if (tokens.size() > 1) desc(tokens[1]);
    return true;
}

bool MB_Line_Type::init_data(const char* line)
{
    char buffer[k_line_size];
    const std::vector<const char*> tokens = split_tokens(line, buffer);
    double length = 0.0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const char* t = tokens[i];
        if (t[0] == 'A') continue;
        if (t[0] != '[') {
            const double val = read_number(t);
            m_loop.add(new MB_Linetype_Node(val, 1.0, 0.0, 0.0, 0.0, 0, 0));
            length += std::fabs(val);
            continue;
        }
        // A shape or text element: its name, its style or file name, then parameters up to
        // the token that closes the bracket. Name and style are read but not kept.
        double s = 1.0, r = 0.0, x = 1.0, y = 1.0;
        char element_name[k_element_text_size];
        char style_name[k_element_text_size];
        mb_copy_name(element_name, sizeof element_name, t + 1);
        bool closed = ends_element(t);
        if (!closed && i + 1 < tokens.size()) {
            mb_copy_name(style_name, sizeof style_name, tokens[++i]);
            closed = ends_element(tokens[i]);
        }
        while (!closed && i + 1 < tokens.size()) {
            const char* p = tokens[++i];
            switch (p[0]) {
            case 'R': case 'r': r = read_parameter(p); break;
            case 'S': case 's': s = read_parameter(p); break;
            case 'X': case 'x': x = read_parameter(p); break;
            case 'Y': case 'y': y = read_parameter(p); break;
            default: break;
            }
            closed = ends_element(p);
        }
        m_loop.add(new MB_Linetype_Node(0.0, s, r, x, y, 1, 2));
    }
    m_pattern_length = length;
    return true;
}

bool MB_Line_Type::has_gap() const
{
    for (MB_Linetype_Node* e = m_loop.head(); e; e = e->next()) {
        if (e->val() < 0.0) return true;
        if (e->next() == m_loop.head()) break;
    }
    return false;
}

bool MB_Line_Type::get_point_of_pts(const Qe_Pt* pts, long n, const Qe_Pt& start, double length, Qe_Pt_List& out)
{
    if (!pts || n <= 0) return false;
    if (!has_gap()) {
        for (long i = 0; i < n; ++i) out.add_tail(pts[i]);
        return false;
    }
    const Qe_Pt& last = pts[n - 1];
    out.add_tail(start);
    double d = 0.0;
    for (long i = 0; i + 1 < n; ++i) {
        const Qe_Pt& a = pts[i];
        const Qe_Pt& b = pts[i + 1];
        if (d == 0.0) {
            const bool in_x = start.x() >= std::fmin(a.x(), b.x()) && start.x() <= std::fmax(a.x(), b.x());
            const bool in_y = start.y() >= std::fmin(a.y(), b.y()) && start.y() <= std::fmax(a.y(), b.y());
            const double cross = (start.x() - a.x()) * (b.y() - a.y()) - (b.x() - a.x()) * (start.y() - a.y());
            if (!(in_x && in_y && std::fabs(cross) < k_on_segment_tol)) continue;
            const Qe_Vec to_b = b - start;
            const double s = to_b.len();
            if (length <= s) {
                const Qe_Pt end = start + normalise(to_b) * length;
                out.add_tail(end);
                if (!same_point(end, last, resabs)) return true;
            } else {
                out.add_tail(b);
                d = s;
                if (same_point(b, last, resabs)) return false;
            }
            continue;
        }
        if (d < length) {
            out.add_tail(b);
            d += (b - a).len();
        }
        if (d > length) {
            out.kill_tail();
            out.add_tail(b + normalise(a - b) * (d - length));
            return true;
        }
        if (d == length) return !same_point(b, last, resabs);
    }
    return out.count() != 1;
}

bool MB_Line_Type::render_line_type(const Qe_Pt* pts, int n, double scale, Qe_Pt_Sets& out)
{
    if (!pts || n <= 0) {
        out.free();
        return false;
    }
    double polyline = 0.0;
    for (int i = 0; i + 1 < n; ++i) polyline += (pts[i + 1] - pts[i]).len();
    const double c = scale * m_pattern_length;
    if (m_pattern_length == 0.0 || c > polyline || !(polyline / c <= m_max_persize)) {
        const mb_ulong count = static_cast<mb_ulong>(n);
        out.init(1, &count, pts);
        return false;
    }
    const int elements = m_loop.count();
    // Counted in integers: the bound is checked in double, where it cannot overflow.
    const long long limit = static_cast<long long>(std::fmin(elements * std::trunc(polyline / c + 1.0), k_max_steps));

    std::vector<mb_ulong> counts;
    std::vector<Qe_Pt> points;
    auto keep = [&](const Qe_Pt_List& run) {
        counts.push_back(static_cast<mb_ulong>(run.count()));
        for (Qe_Pt_Node* p = run.head(); p; p = p->next()) points.push_back(*p);
    };
    Qe_Pt cursor = pts[0];
    long long steps = 0;
    for (MB_Linetype_Node* e = m_loop.head(); e;) {
        const double l = e->val() * scale;
        if (l == 0.0) {
            Qe_Pt_List dot;
            dot.add_tail(cursor);
            keep(dot);
        } else {
            Qe_Pt_List piece;
            const bool more = get_point_of_pts(pts, n, cursor, std::fabs(l), piece);
            if (piece.tail()) cursor = *piece.tail();
            if (l > 0.0) keep(piece);
            if (!more) break;
        }
        if (++steps > limit) break;
        e = e->next();
    }
    if (counts.empty()) {
        out.free();
        return true;
    }
    out.init(static_cast<mb_ulong>(counts.size()), counts.data(), points.data());
    return true;
}

MB_Result MB_Line_Type::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Line_Type::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Line_Type::process(MB_File_IO&)
{
    return MB_Result::Success;
}
