#include "kernel/entities/hatch_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "geometry/log.h"
#include "geometry/loop.h"
#include "geometry/number_text.h"
#include "geometry/pt_set.h"
#include "geometry/tolerance.h"

namespace {

constexpr double k_pi = 3.141592653589793;

using Pattern_Line = MB_Pattern_Line;

double parse_field(const std::string& text)
{
    // atof semantics: leading blanks skipped, trailing text ignored, no number reads 0.
    return qe_read_double(text.c_str());
}

bool is_blank(const std::string& text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// False for a line with fewer than the five leading fields or with a field that is not a
// finite number; such a line contributes nothing. Blank fields after the fifth (a
// trailing comma) are not dashes.
bool parse_line_text(const MB_String& line, Pattern_Line& out)
{
    const char* text = line.ascii();
    if (!text) return false;
    std::vector<std::string> fields;
    std::string all(text);
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = all.find(',', start);
        fields.push_back(all.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (fields.size() < 5) return false;
    double head[5];
    for (int i = 0; i < 5; ++i) {
        head[i] = parse_field(fields[static_cast<std::size_t>(i)]);
        if (!std::isfinite(head[i])) return false;
    }
    out.angle = head[0];
    out.ox = head[1];
    out.oy = head[2];
    out.dx = head[3];
    out.dy = head[4];
    out.dashes.clear();
    for (std::size_t i = 5; i < fields.size(); ++i) {
        if (is_blank(fields[i])) continue;
        const double v = parse_field(fields[i]);
        if (!std::isfinite(v)) return false;
        out.dashes.push_back(v);
    }
    return true;
}

// A boundary vertex in the frame of one line family: tau along the lines, sigma across
// them, both measured from the loops' lower-left corner.
struct Frame_Vertex {
    double tau;
    double sigma;
};

struct Ring {
    int first;  // index of its first vertex in the family's vertex array
    int count;
};

struct Frame_Edge {
    int ring;
    int index;  // ring-local index of the edge's first vertex
    double lo, hi;  // its sigma range
};

struct Crossing {
    double tau;
    int ring;
    int index;
};

// Output of one render: spans appended to the caller's list, counted against the bound.
class Span_Sink {
public:
    explicit Span_Sink(Qe_Void_List& out) : m_out(out) {}

    bool full() const { return m_full; }

    void begin() { m_counts.clear(), m_points.clear(); }
    void run2(const Qe_Pt& a, const Qe_Pt& b)
    {
        m_counts.push_back(2);
        m_points.push_back(a);
        m_points.push_back(b);
    }
    void run1(const Qe_Pt& a)
    {
        m_counts.push_back(1);
        m_points.push_back(a);
    }
    // One period of a dashed line: its elements are walked.
    void walk(std::size_t elements) { m_steps += static_cast<long long>(elements); }
    bool over_budget() const
    {
        return m_total + static_cast<long>(m_points.size()) > MB_Hatch_Type::k_max_output_points ||
               m_steps > MB_Hatch_Type::k_max_dash_steps;
    }
    // The runs gathered since begin become one Qe_Pt_Sets; nothing for no runs.
    void end()
    {
        if (m_full) return;
        if (m_steps > MB_Hatch_Type::k_max_dash_steps) {
            m_full = true;
            return;
        }
        if (m_counts.empty()) return;
        if (over_budget()) {
            m_full = true;
            return;
        }
        auto sets = std::unique_ptr<Qe_Pt_Sets>(new (std::nothrow) Qe_Pt_Sets());
        if (!sets || !sets->init(static_cast<mb_ulong>(m_counts.size()), m_counts.data(), m_points.data()) ||
            !m_out.add(sets.get())) {
            m_full = true;
            return;
        }
        sets.release();
        m_total += static_cast<long>(m_points.size());
    }

private:
    Qe_Void_List& m_out;
    std::vector<mb_ulong> m_counts;
    std::vector<Qe_Pt> m_points;
    long m_total = 0;
    long long m_steps = 0;
    bool m_full = false;
};

// One family of parallel lines over the loops: finds each line's boundary crossings with
// a sweep over the edges in order of their across range, so a line looks only at the
// edges that reach it.
class Family {
public:
    Family(const std::vector<const Qe_Loop*>& loops, const Qe_Pt& corner, const Qe_Vec& u, const Qe_Vec& n)
        : m_corner(corner), m_u(u), m_n(n)
    {
        for (const Qe_Loop* loop : loops) {
            const int first = static_cast<int>(m_vertices.size());
            const Qe_Loop_Node* head = loop->head();
            const Qe_Loop_Node* node = head;
            do {
                const double x = node->point().x() - corner.x();
                const double y = node->point().y() - corner.y();
                m_vertices.push_back({x * u.x() + y * u.y(), x * n.x() + y * n.y()});
                node = node->next();
            } while (node && node != head);
            m_rings.push_back({first, static_cast<int>(m_vertices.size()) - first});
        }
        for (int r = 0; r < static_cast<int>(m_rings.size()); ++r) {
            for (int i = 0; i < m_rings[static_cast<std::size_t>(r)].count; ++i) {
                const double a = vertex(r, i).sigma, b = vertex(r, i + 1).sigma;
                m_edges.push_back({r, i, std::min(a, b), std::max(a, b)});
            }
        }
        std::sort(m_edges.begin(), m_edges.end(), [](const Frame_Edge& a, const Frame_Edge& b) { return a.lo < b.lo; });
        m_sigma_min = m_tau_min = HUGE_VAL;
        m_sigma_max = m_tau_max = -HUGE_VAL;
        for (const Frame_Vertex& v : m_vertices) {
            m_sigma_min = std::min(m_sigma_min, v.sigma);
            m_sigma_max = std::max(m_sigma_max, v.sigma);
            m_tau_min = std::min(m_tau_min, v.tau);
            m_tau_max = std::max(m_tau_max, v.tau);
        }
    }

    double sigma_min() const { return m_sigma_min; }
    double sigma_max() const { return m_sigma_max; }
    double tau_extent() const { return m_tau_max - m_tau_min; }

    Qe_Pt point(double tau, double sigma) const
    {
        return {m_corner.x() + tau * m_u.x() + sigma * m_n.x(), m_corner.y() + tau * m_u.y() + sigma * m_n.y(), 0.0};
    }

    // The crossings of the line at sigma, sorted along it; lines must come in ascending
    // sigma. A boundary that passes through the line at a vertex, or along it over a run of
    // vertices, crosses once; one that only touches it there crosses twice at the touch.
    void crossings(double sigma, std::vector<Crossing>& out)
    {
        out.clear();
        const double tol = resabs;
        while (m_next < m_edges.size() && m_edges[m_next].lo <= sigma + tol) m_active.push_back(m_edges[m_next++]);
        std::erase_if(m_active, [&](const Frame_Edge& e) { return e.hi < sigma - tol; });
        for (const Frame_Edge& e : m_active) {
            const int si = side(e.ring, e.index, sigma);
            const int sn = side(e.ring, e.index + 1, sigma);
            if (si * sn < 0) {
                const Frame_Vertex& a = vertex(e.ring, e.index);
                const Frame_Vertex& b = vertex(e.ring, e.index + 1);
                const double f = (sigma - a.sigma) / (b.sigma - a.sigma);
                out.push_back({a.tau + (b.tau - a.tau) * f, e.ring, e.index});
            } else if (si == 0 && side(e.ring, e.index - 1, sigma) != 0) {
                on_line_run(e.ring, e.index, sigma, out);
            }
        }
        std::sort(out.begin(), out.end(), [](const Crossing& a, const Crossing& b) {
            if (a.tau != b.tau) return a.tau < b.tau;
            if (a.ring != b.ring) return a.ring < b.ring;
            return a.index < b.index;
        });
    }

private:
    const Frame_Vertex& vertex(int ring, int i) const
    {
        const Ring& r = m_rings[static_cast<std::size_t>(ring)];
        const int k = ((i % r.count) + r.count) % r.count;
        return m_vertices[static_cast<std::size_t>(r.first + k)];
    }

    int side(int ring, int i, double sigma) const
    {
        const double d = vertex(ring, i).sigma - sigma;
        return d > resabs ? 1 : (d < -resabs ? -1 : 0);
    }

    // A run of vertices on the line starts at vertex i (its predecessor is off the line).
    void on_line_run(int ring, int i, double sigma, std::vector<Crossing>& out) const
    {
        const int n = m_rings[static_cast<std::size_t>(ring)].count;
        int last = i;
        int steps = 1;
        while (side(ring, last + 1, sigma) == 0) {
            if (++steps > n) return;  // the whole loop lies on the line: it crosses nothing
            ++last;
        }
        const int before = side(ring, i - 1, sigma);
        const int after = side(ring, last + 1, sigma);
        out.push_back({vertex(ring, i).tau, ring, i});
        if (before == after) out.push_back({vertex(ring, last).tau, ring, last % n});
    }

    Qe_Pt m_corner;
    Qe_Vec m_u, m_n;
    std::vector<Frame_Vertex> m_vertices;
    std::vector<Ring> m_rings;
    std::vector<Frame_Edge> m_edges;
    std::vector<Frame_Edge> m_active;
    std::size_t m_next = 0;
    double m_sigma_min, m_sigma_max, m_tau_min, m_tau_max;
};

// Keeps the crossings that the mode selects.
void apply_mode(std::vector<Crossing>& c, int mode)
{
    if (mode == 1 && c.size() > 4) {
        c.erase(c.begin() + 2, c.end() - 2);
    } else if (mode == 2 && c.size() > 2) {
        c.erase(c.begin() + 1, c.end() - 1);
    }
}

void log_bound(const char* what)
{
    message_out("MB_Hatch_Type::render_loops_to_ptsets_list", what, "", true);
}

}  // namespace

MB_Hatch_Type::MB_Hatch_Type() = default;

MB_Hatch_Type::MB_Hatch_Type(const MB_Hatch_Type& other) { copy_from(other); }

MB_Hatch_Type& MB_Hatch_Type::operator=(const MB_Hatch_Type& other)
{
    if (this != &other) copy_from(other);
    return *this;
}

MB_Hatch_Type::~MB_Hatch_Type() { clear_strings(); }

void MB_Hatch_Type::copy_from(const MB_Hatch_Type& other)
{
    m_patterntype = other.m_patterntype;
    m_name = other.m_name;
    m_desc = other.m_desc;
    clear_strings();
    for (Qe_Void_Node* n = other.m_string_list.head(); n; n = n->next())
        if (n->entity()) add_string(*static_cast<const MB_String*>(n->entity()));
    m_reverse = other.m_reverse;
    m_scale = other.m_scale;
    m_savedwg_angle = other.m_savedwg_angle;
    m_savedwg_scale = other.m_savedwg_scale;
    m_angle = other.m_angle;
}

bool MB_Hatch_Type::add_string(const MB_String& line)
{
    auto copy = std::unique_ptr<MB_String>(new (std::nothrow) MB_String(line));
    if (!copy || !m_string_list.add(copy.get())) return false;
    copy.release();
    return true;
}

void MB_Hatch_Type::clear_strings()
{
    for (Qe_Void_Node* n = m_string_list.head(); n; n = n->next()) delete static_cast<MB_String*>(n->entity());
    m_string_list.clear();
}

double MB_Hatch_Type::get_line_angle(double field_angle)
{
    double a = field_angle + m_angle * 180.0 / k_pi;
    if (!std::isfinite(a)) return std::nan("");
    // Folded with fmod rather than by repeated subtraction, which never ends for a huge
    // angle; a negative angle (from a rotation) folds like any other.
    a = std::fmod(a, 360.0);
    if (a < 0.0) a += 360.0;
    if (a >= 360.0) a = 0.0;
    m_reverse = a >= 180.0;
    if (m_reverse) a -= 180.0;
    return a;
}

bool MB_Hatch_Type::get_loops_max_rect(Qe_Rect& rect, Qe_Void_List& loops)
{
    for (Qe_Void_Node* n = loops.head(); n; n = n->next()) {
        auto* loop = static_cast<Qe_Loop*>(n->entity());
        if (loop && !loop->rect()) loop->build_rect();
    }
    Qe_Pt lt, rb;
    if (!api_mb_get_loops_rect_pos(loops, lt, rb)) return false;
    rect.set_rect(lt, rb);
    return true;
}

bool MB_Hatch_Type::parse_pattern_line(const MB_String& line, MB_Pattern_Line& out)
{
    return parse_line_text(line, out);
}

bool MB_Hatch_Type::pattern_corner(Qe_Void_List& loops, Qe_Pt& corner)
{
    Qe_Rect rect;
    if (!get_loops_max_rect(rect, loops)) return false;
    corner = Qe_Pt(rect.lt().x(), rect.rb().y(), 0.0);
    return true;
}

bool MB_Hatch_Type::render_loops_to_ptsets_list(Qe_Void_List& loops, Qe_Void_List& ptsets, int mode)
{
    bool complete = true;
    std::vector<const Qe_Loop*> rings;
    Qe_Void_List measured;
    for (Qe_Void_Node* n = loops.head(); n; n = n->next()) {
        auto* loop = static_cast<Qe_Loop*>(n->entity());
        if (!loop || loop->count() < 2) continue;
        bool finite = true;
        const Qe_Loop_Node* v = loop->head();
        do {
            finite = finite && std::isfinite(v->point().x()) && std::isfinite(v->point().y());
            v = v->next();
        } while (v && v != loop->head());
        if (!finite) {
            complete = false;  // a loop that cannot be measured is left out
            continue;
        }
        loop->build_rect();
        rings.push_back(loop);
        measured.add(loop);
    }
    // The rectangle of the loops that are hatched: a non-finite vertex would make every
    // coordinate measured from its corner meaningless.
    Qe_Pt corner;
    if (rings.empty() || !pattern_corner(measured, corner)) return complete;
    const double s = m_scale;

    Span_Sink sink(ptsets);
    std::vector<Crossing> cross;
    for (Qe_Void_Node* node = m_string_list.head(); node && !sink.full(); node = node->next()) {
        Pattern_Line line;
        if (!node->entity() || !parse_line_text(*static_cast<const MB_String*>(node->entity()), line)) continue;
        const double a = get_line_angle(line.angle);
        if (!std::isfinite(a)) continue;

        // Exactly axis-aligned families keep exact directions.
        double c = 1.0, sn = 0.0;
        if (a == 90.0) {
            c = 0.0, sn = 1.0;
        } else if (a != 0.0) {
            c = std::cos(a * k_pi / 180.0), sn = std::sin(a * k_pi / 180.0);
        }
        const Qe_Vec u(c, sn, 0.0);
        const Qe_Vec n = a < 90.0 ? Qe_Vec(-sn, c, 0.0) : Qe_Vec(sn, -c, 0.0);

        // The lattice: line j passes through B + j D, and its dashes start there and at
        // every whole pattern period along the line.
        const double ca = std::cos(m_angle), sa = std::sin(m_angle);
        const double bx = (line.ox * ca - line.oy * sa) * s, by = (line.ox * sa + line.oy * ca) * s;
        Qe_Vec d(line.dx * s * c - line.dy * s * sn, line.dx * s * sn + line.dy * s * c, 0.0);
        double h = d.x() * n.x() + d.y() * n.y();
        if (h < 0.0) {
            d = Qe_Vec(-d.x(), -d.y(), 0.0);
            h = -h;
        }
        // Without a spacing across the lines no family ever ends.
        if (!(std::fabs(line.dy) * s > resabs) || !(h > resabs) || !std::isfinite(h)) continue;
        const double t_step = d.x() * u.x() + d.y() * u.y();

        std::vector<double> elements;
        double period = 0.0;
        for (double v : line.dashes) {
            elements.push_back(v * s);
            period += std::fabs(v) * s;
        }
        if (m_reverse) std::reverse(elements.begin(), elements.end());

        Family family(rings, corner, u, n);
        bool dashed = !elements.empty() && period > resabs && std::isfinite(period);
        if (dashed && family.tau_extent() / period > k_max_periods) dashed = false;

        // B moved by whole lines and whole periods next to the region, so that a far
        // origin neither leaves the numbers imprecise nor changes the lattice.
        // (fmod is exact, so the remainders keep their precision.)
        const double from_min = bx * n.x() + by * n.y() - family.sigma_min();
        double rest = std::fmod(from_min, h);
        if (rest < 0.0) rest += h;
        const double sigma_b = family.sigma_min() + rest;
        double tau_b = bx * u.x() + by * u.y() - (from_min - rest) / h * t_step;
        if (dashed) {
            tau_b = std::fmod(tau_b, period);
            if (tau_b < 0.0) tau_b += period;
        }
        if (!std::isfinite(sigma_b) || !std::isfinite(tau_b)) continue;
        // Each line shifts the dashes by the step along it, taken modulo the period so that
        // the phase stays next to the region however long the step is (a phase far out
        // would leave no precision for the dashes and too many periods to count).
        const double step_rest = dashed ? std::fmod(t_step, period) : 0.0;
        if (!std::isfinite(step_rest)) dashed = false;

        const double first = std::ceil((family.sigma_min() - resabs - sigma_b) / h);
        const double last = std::floor((family.sigma_max() + resabs - sigma_b) / h);
        double lines = last - first + 1.0;
        if (!(lines > 0.0)) continue;
        if (lines > static_cast<double>(k_max_family_lines)) {
            log_bound("too many lines in a pattern family; the rest are left out");
            lines = static_cast<double>(k_max_family_lines);
            complete = false;
        }
        for (long k = 0; k < static_cast<long>(lines) && !sink.full(); ++k) {
            const double j = first + static_cast<double>(k);
            const double sigma = sigma_b + j * h;
            family.crossings(sigma, cross);
            apply_mode(cross, mode);
            double phase = 0.0;
            if (dashed) {
                phase = std::fmod(tau_b + std::fmod(j * step_rest, period), period);
                if (phase < 0.0) phase += period;
            }
            for (std::size_t p = 0; p + 1 < cross.size() && !sink.full(); p += 2) {
                const double ta = cross[p].tau, tb = cross[p + 1].tau;
                const Qe_Pt pa = family.point(ta, sigma), pb = family.point(tb, sigma);
                sink.begin();
                if (!dashed) {
                    if (tb > ta) sink.run2(pa, pb);
                } else {
                    // The dash runs between a and b, cut where a or b falls inside a dash;
                    // dots count with a and b included. The periods are counted in
                    // integers, and their number is checked before the count starts.
                    const double k0 = std::floor((ta - phase) / period);
                    const double periods = std::floor((tb - phase) / period) - k0 + 1.0;
                    // (The family is continuous when its lines span more periods, so this
                    // guards against what rounding alone could make of the numbers.)
                    const long count = periods >= 0.0 && periods <= k_max_periods + 2.0 ? static_cast<long>(periods) : 0;
                    if (count == 0 && tb > ta) sink.run2(pa, pb);
                    for (long i = 0; i < count && !sink.over_budget(); ++i) {
                        sink.walk(elements.size());
                        double pos = phase + (k0 + static_cast<double>(i)) * period;
                        for (double e : elements) {
                            const double len = std::fabs(e);
                            if (e > 0.0) {
                                const double lo = std::max(pos, ta), hi = std::min(pos + len, tb);
                                if (lo < hi)
                                    sink.run2(lo == ta ? pa : family.point(lo, sigma),
                                              hi == tb ? pb : family.point(hi, sigma));
                            } else if (e == 0.0 && pos >= ta && pos <= tb) {
                                sink.run1(family.point(pos, sigma));
                            }
                            pos += len;
                        }
                    }
                }
                sink.end();
            }
        }
    }
    if (sink.full()) {
        log_bound("the hatch output reached its bound; the rest is left out");
        complete = false;
    }
    return complete;
}
