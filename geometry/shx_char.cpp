#include "geometry/shx_char.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "geometry/angles.h"
#include "geometry/plane_geometry.h"
#include "geometry/unit_dirs.h"
#include "geometry/void_list.h"

namespace {

// Vector bytes reach the sides of a square, not a circle: odd directions are stretched by
// 1/cos 22.5°, the diagonals by √2.
constexpr double ODD_DIR_STRETCH = 1.082392200292394;
constexpr double DIAGONAL_STRETCH = 1.4142135623730951;
// Codes 3 and 4 may not take the scale beyond these, so a run of them in a corrupt shape
// cannot drive coordinates to infinity or to 0.
constexpr double MIN_SCALE = 1.0 / 16777216.0;
constexpr double MAX_SCALE = 16777216.0;

Qe_Shx_Char* find_shape(const Qe_Shx_Char_List& font, mb_ulong index)
{
    for (Qe_Shx_Char* c = font.head(); c; c = c->next())
        if (c->index() == index) return c;
    return nullptr;
}

int signed_byte(unsigned char b) { return b < 128 ? b : b - 256; }

// Bytes taken by the command starting at bytes[i], arguments included, or 0 when the
// command runs past n. Prefixes (code 14) are counted with the command they prefix.
int command_length(const unsigned char* bytes, int i, int n)
{
    int start = i;
    while (i < n && bytes[i] == 14) ++i;
    if (i >= n) return 0;
    const unsigned char code = bytes[i];
    int len = 0;
    if (code >= 16) {
        len = 1;
    } else {
        switch (code) {
        case 3: case 4: case 7: len = 2; break;
        case 8: case 10: len = 3; break;
        case 11: len = 6; break;
        case 12: len = 4; break;
        case 9: {
            int j = i + 1;
            for (;;) {
                if (j + 2 > n) return 0;
                const bool end = bytes[j] == 0 && bytes[j + 1] == 0;
                j += 2;
                if (end) break;
            }
            len = j - i;
            break;
        }
        case 13: {
            int j = i + 1;
            for (;;) {
                if (j + 2 > n) return 0;
                if (bytes[j] == 0 && bytes[j + 1] == 0) {
                    j += 2;
                    break;
                }
                j += 3;
            }
            if (j > n) return 0;
            len = j - i;
            break;
        }
        default: len = 1; break;
        }
    }
    if (i + len > n) return 0;
    return i + len - start;
}

}  // namespace

Qe_Vec shx_vector_step(double len, int d)
{
    d &= 15;
    const double theta = d * HALF_PI / 4.0;
    double a = len * std::cos(theta), b = len * std::sin(theta);
    if (std::fabs(a) < 1e-6) a = 0.0;
    if (std::fabs(b) < 1e-6) b = 0.0;
    const double k = d % 4 == 0 ? 1.0 : d % 2 == 1 ? ODD_DIR_STRETCH : DIAGONAL_STRETCH;
    return Qe_Vec(a * k, b * k, 0.0);
}

int shx_octant_arc_points(const Qe_Pt& from, double r, int s, int span, bool clockwise, Qe_Pt out[16])
{
    if (span < 1 || span > 8) return 0;
    s &= 7;
    const Qe_Pt& start_dir = UNIT_DIRS16[2 * s];
    const double cx = from.x() - r * start_dir.x();
    const double cy = from.y() - r * start_dir.y();
    const int step = clockwise ? -1 : 1;
    for (int k = 1; k <= 2 * span; ++k) {
        const int j = ((2 * s + step * k) % 16 + 16) % 16;
        out[k - 1] = Qe_Pt(cx + r * UNIT_DIRS16[j].x(), cy + r * UNIT_DIRS16[j].y(), 0.0);
    }
    return 2 * span;
}

int shx_bulge_arc_points(const Qe_Pt& s, const Qe_Pt& e, double bulge, Qe_Pt out[4])
{
    out[0] = e;
    if (bulge == 0) return 1;
    const Qe_Vec chord = e - s;
    const double h = chord.len() * bulge / 254.0;
    const Qe_Uvec n = normalise(chord * Qe_Vec(0.0, 0.0, 1.0));
    const Qe_Pt p = interpolate(0.5, s, e) + h * n;
    Qe_Pt centre;
    double radius = 0.0;
    // A zero chord has no circle: a straight move.
    if (!api_mb_get_3ptcircle(s, e, p, centre, radius)) return 1;
    const Qe_Uvec z(0.0, 0.0, 1.0);
    const Qe_Pt& from = bulge < 0 ? e : s;
    const Qe_Pt& to = bulge < 0 ? s : e;
    const double sweep = angle_between(normalise(from - centre), normalise(to - centre), z);
    Qe_Pt pts[5];
    for (int i = 0; i < 5; ++i) {
        const double a = sweep * i / 4.0;
        const double c = std::cos(a), sn = std::sin(a);
        const double rx = from.x() - centre.x(), ry = from.y() - centre.y();
        pts[i] = Qe_Pt(centre.x() + rx * c - ry * sn, centre.y() + rx * sn + ry * c, 0.0);
    }
    if (bulge < 0)
        for (int i = 0; i < 2; ++i) std::swap(pts[i], pts[4 - i]);
    // The last point is E itself, not the rotated start, so a chain of arcs does not drift.
    for (int i = 1; i < 4; ++i) out[i - 1] = pts[i];
    out[3] = e;
    return 4;
}

// The shapes whose byte code is being interpreted, outermost first, and the bytes still
// allowed for this decoding.
struct Qe_Shx_Char::Guard {
    const Qe_Shx_Char* active[MAX_SUBSHAPE_DEPTH + 1] = {};
    int depth = 0;
    int budget = MAX_DECODED_BYTES;

    bool is_active(const Qe_Shx_Char* c) const
    {
        for (int i = 0; i < depth; ++i)
            if (active[i] == c) return true;
        return false;
    }
};

Qe_Shx_Char::Qe_Shx_Char() = default;

Qe_Shx_Char::Qe_Shx_Char(const Qe_Shx_Char& other)
    : m_index(other.m_index), m_prev(other.m_prev), m_next(other.m_next), m_base(other.m_base),
      m_stack(other.m_stack), m_pen_down(other.m_pen_down), m_scale(other.m_scale), m_x(other.m_x),
      m_y(other.m_y), m_max_x(other.m_max_x), m_min_x(other.m_min_x)
{
    std::memcpy(m_note, other.m_note, sizeof m_note);
    if (other.m_buffer && other.m_capacity > 0) {
        m_buffer = new (std::nothrow) unsigned char[other.m_capacity];
        if (m_buffer) {
            std::memcpy(m_buffer, other.m_buffer, other.m_capacity);
            m_capacity = other.m_capacity;
            m_size = other.m_size;
        }
    } else {
        m_size = other.m_size;
    }
    if (other.m_stroke) m_stroke = new Qe_Pt_List(*other.m_stroke);
}

Qe_Shx_Char::~Qe_Shx_Char()
{
    delete[] m_buffer;
    delete m_stroke;
}

bool Qe_Shx_Char::create_buffer(unsigned short n)
{
    delete[] m_buffer;
    m_buffer = nullptr;
    m_size = 0;
    m_capacity = 0;
    if (n == 0) return true;
    m_buffer = new (std::nothrow) unsigned char[n]();
    if (!m_buffer) return false;
    m_size = n;
    m_capacity = n;
    return true;
}

void Qe_Shx_Char::note(const char* text)
{
    m_note[0] = text ? text[0] : '\0';
    m_note[1] = '\0';
}

void Qe_Shx_Char::reset_state()
{
    m_x = m_y = 0.0;
    m_max_x = m_min_x = 0.0;
    m_base = Qe_Pt();
    m_pen_down = false;
    m_scale = 1.0;
    m_stack.kill_all();
    delete m_stroke;
    m_stroke = nullptr;
}

void Qe_Shx_Char::add_shx_char_to_list(Qe_Void_List& out, Qe_Pt& pen, Qe_Shx_Char_List& font)
{
    reset_state();
    Guard guard;
    guard.active[guard.depth++] = this;
    decode(m_buffer, m_buffer ? decodable_length() : 0, out, font, guard);
    // A shape that ends with the pen down still drew its last stroke: hand it out rather than
    // lose it.
    pen_up(out);
    const double advance = m_max_x != 0.0 ? m_max_x : std::fabs(m_min_x);
    pen = Qe_Pt(advance, 0.0, 0.0);
    reset_state();
}

void Qe_Shx_Char::analyze_buffer(const unsigned char* bytes, int n, Qe_Void_List& out, Qe_Pt& /*pen*/,
                                 Qe_Shx_Char_List& font)
{
    Guard guard;
    decode(bytes, n, out, font, guard);
}

void Qe_Shx_Char::pen_down()
{
    m_pen_down = true;
    if (!m_stroke) m_stroke = new Qe_Pt_List;
    add_pos(m_x, m_y);
}

void Qe_Shx_Char::pen_up(Qe_Void_List& out)
{
    if (!m_pen_down) return;
    m_pen_down = false;
    if (m_stroke && !m_stroke->is_empty())
        out.add(m_stroke);
    else
        delete m_stroke;
    m_stroke = nullptr;
}

void Qe_Shx_Char::add_pos(double x, double y)
{
    m_x = x;
    m_y = y;
    if (x > m_max_x) m_max_x = x;
    if (x < m_min_x) m_min_x = x;
    if (m_stroke) m_stroke->add_tail(Qe_Pt(x + m_base.x(), y + m_base.y(), 0.0));
}

void Qe_Shx_Char::push_pos() { m_stack.add_tail(Qe_Pt(m_x, m_y, 0.0)); }

void Qe_Shx_Char::pop_pos()
{
    const Qe_Pt_Node* top = m_stack.tail();
    if (!top) return;
    m_x = top->x();
    m_y = top->y();
    m_stack.kill_tail();
}

void Qe_Shx_Char::octant_arc(unsigned char radius, signed char octant_byte)
{
    int o = octant_byte;
    const bool clockwise = o < 0;
    if (clockwise) o += 128;
    int span = o % 16;
    if (span == 0) span = 8;
    Qe_Pt pts[16];
    const int n = shx_octant_arc_points(Qe_Pt(m_x, m_y, 0.0), radius * m_scale, o / 16, span, clockwise, pts);
    for (int k = 0; k < n; ++k) add_pos(pts[k].x(), pts[k].y());
}

void Qe_Shx_Char::bulge_arc(signed char dx, signed char dy, signed char bulge)
{
    Qe_Pt pts[4];
    const int n = shx_bulge_arc_points(Qe_Pt(m_x, m_y, 0.0), Qe_Pt(m_x + dx * m_scale, m_y + dy * m_scale, 0.0),
                                       bulge, pts);
    for (int k = 0; k < n; ++k) add_pos(pts[k].x(), pts[k].y());
}

void Qe_Shx_Char::decode(const unsigned char* bytes, int n, Qe_Void_List& out, Qe_Shx_Char_List& font,
                         Guard& guard)
{
    if (!bytes || n <= 0) return;
    int i = 0;
    // Takes the next k bytes of the command at i from the budget; false stops decoding.
    auto take = [&](int k) {
        if (i + k > n || k > guard.budget) return false;
        guard.budget -= k;
        return true;
    };
    while (i < n) {
        const unsigned char code = bytes[i];
        if (code >= 16) {
            if (!take(1)) return;
            const Qe_Vec step = shx_vector_step(code >> 4, code & 15);
            add_pos(m_x + step.x() * m_scale, m_y + step.y() * m_scale);
            ++i;
            continue;
        }
        switch (code) {
        case 0:
        case 2:
            if (!take(1)) return;
            pen_up(out);
            i += 1;
            break;
        case 1:
            if (!take(1)) return;
            pen_down();
            i += 1;
            break;
        case 3:
        case 4: {
            if (!take(2)) return;
            const unsigned char f = bytes[i + 1];
            if (f != 0) {
                const double next = code == 3 ? m_scale / f : m_scale * f;
                if (next >= MIN_SCALE && next <= MAX_SCALE) m_scale = next;
            }
            i += 2;
            break;
        }
        case 5:
            if (!take(1)) return;
            push_pos();
            i += 1;
            break;
        case 6:
            if (!take(1)) return;
            pop_pos();
            i += 1;
            break;
        case 7: {
            if (!take(2)) return;
            const mb_ulong number = bytes[i + 1];
            i += 2;
            Qe_Shx_Char* sub = find_shape(font, number);
            if (!sub || !sub->m_buffer || guard.depth >= MAX_SUBSHAPE_DEPTH || guard.is_active(sub)) break;
            guard.active[guard.depth++] = sub;
            decode(sub->m_buffer, sub->decodable_length(), out, font, guard);
            --guard.depth;
            if (guard.budget <= 0) return;
            break;
        }
        case 8:
            if (!take(3)) return;
            add_pos(m_x + signed_byte(bytes[i + 1]) * m_scale, m_y + signed_byte(bytes[i + 2]) * m_scale);
            i += 3;
            break;
        case 9:
            if (!take(1)) return;
            ++i;
            for (;;) {
                if (!take(2)) return;
                const int dx = signed_byte(bytes[i]), dy = signed_byte(bytes[i + 1]);
                i += 2;
                add_pos(m_x + dx * m_scale, m_y + dy * m_scale);
                if (dx == 0 && dy == 0) break;
            }
            break;
        case 10:
            if (!take(3)) return;
            octant_arc(bytes[i + 1], static_cast<signed char>(bytes[i + 2]));
            i += 3;
            break;
        case 11:
            // Start and end offsets and the high radius byte are not drawn.
            if (!take(6)) return;
            octant_arc(bytes[i + 4], static_cast<signed char>(bytes[i + 5]));
            i += 6;
            break;
        case 12:
            if (!take(4)) return;
            bulge_arc(static_cast<signed char>(bytes[i + 1]), static_cast<signed char>(bytes[i + 2]),
                      static_cast<signed char>(bytes[i + 3]));
            i += 4;
            break;
        case 13:
            if (!take(1)) return;
            ++i;
            for (;;) {
                if (!take(2)) return;
                const signed char dx = static_cast<signed char>(bytes[i]);
                const signed char dy = static_cast<signed char>(bytes[i + 1]);
                if (dx == 0 && dy == 0) {
                    i += 2;
                    break;
                }
                if (!take(3)) return;
                bulge_arc(dx, dy, static_cast<signed char>(bytes[i + 2]));
                i += 3;
            }
            break;
        case 14: {
            // Vertical-only: text is laid out horizontally, so the next command is skipped.
            const int len = command_length(bytes, i + 1, n);
            if (len == 0 || !take(1 + len)) return;
            i += 1 + len;
            break;
        }
        default:  // 15
            if (!take(1)) return;
            i += 1;
            break;
        }
    }
}

void Qe_Shx_Char_List::add_shx_char(Qe_Shx_Char* c)
{
    if (!c) return;
    c->next(nullptr);
    c->prev(m_tail);
    if (m_tail)
        m_tail->next(c);
    else
        m_head = c;
    m_tail = c;
}

void Qe_Shx_Char_List::kill_all()
{
    Qe_Shx_Char* c = m_head;
    while (c) {
        Qe_Shx_Char* next = c->next();
        delete c;
        c = next;
    }
    m_head = m_tail = nullptr;
}

void Qe_Shx_Char_List::save(const char* path) const
{
    if (!path) return;
    if (std::FILE* f = std::fopen(path, "w")) std::fclose(f);
}
