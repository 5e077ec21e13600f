#include "kernel/entities/polyline.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "geometry/void_list.h"
#include "kernel/display/draw_node.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/file_io.h"

namespace {

const Qe_Vec k_z_axis(0.0, 0.0, 1.0);

bool has_bulge(const MB_Pline_Pos& v)
{
    return v.bulge >= resabs || v.bulge <= -resabs;
}

// The records of the arc from a to b: 40 points, the widths stepping from a's start width
// to its end width so that the band reaches the end width at b.
void append_arc(const MB_Pline_Pos& a, const MB_Pline_Pos& b, std::vector<MB_Pline_Pos>& records)
{
    constexpr int n = MB_Polyline::k_arc_points;
    Qe_Pt pts[n];
    if (!pline_bulge_arc(a.point, b.point, a.bulge, n, pts)) return;
    const double step = (a.end_width - a.start_width) / (n - 1);
    for (int k = 0; k < n; ++k) {
        MB_Pline_Pos r;
        r.point = pts[k];
        r.start_width = a.start_width + k * step;
        r.end_width = k + 1 >= n - 1 ? a.end_width : a.start_width + (k + 1) * step;
        records.push_back(r);
    }
}

// The working list: every straight vertex once, every arc as its records; a closed
// polyline returns to its first vertex (two straight vertices are not closed back).
void working_records(const MB_Pline_Pos* v, int count, bool closed, std::vector<MB_Pline_Pos>& records)
{
    records.clear();
    records.reserve(static_cast<std::size_t>(count) + 1);
    for (int i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        if (has_bulge(v[i]) && !last) {
            append_arc(v[i], v[i + 1], records);
        } else if (has_bulge(v[i]) && closed) {
            append_arc(v[i], v[0], records);
        } else {
            records.push_back(v[i]);
            if (last && closed && count > 2) records.push_back(v[0]);
        }
    }
}

using Outline = std::vector<Qe_Pt>;

// One outline per segment between records that do not coincide: a closed quadrilateral
// K1 K2 K3 K4 K1 for a band, the two points for a segment without width. A segment whose
// record has neither width takes the global width for both ends.
std::vector<Outline> segment_outlines(const std::vector<MB_Pline_Pos>& records, double global_width)
{
    std::vector<Outline> segments;
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        const MB_Pline_Pos& r = records[i];
        const Qe_Pt& p = r.point;
        const Qe_Pt& q = records[i + 1].point;
        if (same_point(p, q, resabs)) continue;
        double w0 = r.start_width;
        double w1 = r.end_width;
        if (w0 == 0.0 && w1 == 0.0) w0 = w1 = global_width;
        if (w0 == 0.0 && w1 == 0.0) {
            segments.push_back({p, q});
            continue;
        }
        const Qe_Uvec u = normalise((q - p) * k_z_axis);
        const Qe_Pt k1 = p + u * (w0 / 2.0);
        segments.push_back({k1, q + u * (w1 / 2.0), q - u * (w1 / 2.0), p - u * (w0 / 2.0), k1});
    }
    return segments;
}

void take_xy(Qe_Pt& p, const Qe_Pt& from)
{
    p.set_x(from.x());
    p.set_y(from.y());
}

// A mitre that would reach further from its joint than this many half widths is cut to a
// bevel, as drawing libraries limit theirs (4 is the limit SVG strokes take by default): a
// band that turns sharply, or back on itself, would otherwise draw a spike many widths long.
constexpr double k_mitre_limit = 4.0;

// Joins each band to the next one (no wrap from the last to the first): the upper edges
// meet at one point, then the lower ones, while that point lies within the mitre limit of
// the joint. Past it the outer side gets a bevel, a triangle from the joint to the two
// corners, appended to bevels, and the inner side is left as it is (the bands overlap
// there). Segments without width, pointed ends and exact reversals stay unjoined.
void mitre_joints(std::vector<Outline>& segments, std::vector<Outline>& bevels)
{
    for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
        Outline& s = segments[i];
        Outline& t = segments[i + 1];
        if (s.size() != 5 || t.size() != 5) continue;
        if (same_point(s[1], s[2], resabs) || same_point(t[0], t[3], resabs)) continue;
        // The joint on the centre line, the reach of a mitre there and the way the centre line
        // turns (upper is the side the bands' first corners lie on, the right-hand side).
        const Qe_Pt joint = s[1] + (s[2] - s[1]) / 2.0;
        const double reach = k_mitre_limit * std::max((s[1] - s[2]).len(), (t[0] - t[3]).len()) / 2.0;
        const Qe_Vec ds = (s[1] + (s[2] - s[1]) / 2.0) - (s[0] + (s[3] - s[0]) / 2.0);
        const Qe_Vec dt = (t[1] + (t[2] - t[1]) / 2.0) - (t[0] + (t[3] - t[0]) / 2.0);
        const bool upper_outside = ds.x() * dt.y() - ds.y() * dt.x() > 0.0;
        const auto join = [&](Qe_Pt& s_end, Qe_Pt& t_start, const Qe_Pt& s_from, const Qe_Pt& t_to, bool outside,
                              Qe_Pt* t_close) {
            const Qe_Uvec along_t = normalise(t_to - t_start);
            if (antiparallel(along_t, s_end - s_from, resnor)) return;
            Qe_Pt meet;
            if (api_mb_lines_intersection(s_from, normalise(s_end - s_from), t_start, along_t, meet) &&
                (meet - joint).len() <= reach) {
                take_xy(s_end, meet);
                take_xy(t_start, meet);
                if (t_close) take_xy(*t_close, meet);
            } else if (outside) {
                bevels.push_back({joint, s_end, t_start, joint});
            }
        };
        join(s[1], t[0], s[0], t[1], upper_outside, &t[4]);
        join(s[2], t[3], s[3], t[2], !upper_outside, nullptr);
    }
}

}  // namespace

bool pline_bulge_arc(const Qe_Pt& a, const Qe_Pt& b, double bulge, int n, Qe_Pt* out)
{
    if (n < 2 || !out) return false;
    const Qe_Pt a0(a.x(), a.y(), 0.0);
    const Qe_Pt b0(b.x(), b.y(), 0.0);
    const Qe_Vec chord = b0 - a0;
    const double half = chord.len() / 2.0;
    if (half <= 0.0 || bulge == 0.0 || !std::isfinite(bulge)) {
        // No circle: coinciding ends repeat a; a zero bulge is the straight chord.
        for (int k = 0; k < n; ++k) out[k] = half <= 0.0 ? a0 : interpolate(static_cast<double>(k) / (n - 1), a0, b0);
        return true;
    }
    // The sagitta lies along the chord's right-hand normal (its left for a negative bulge);
    // the centre sits on the same normal at d(b² − 1) / (2b) from the chord's midpoint.
    const Qe_Uvec normal = normalise(chord * k_z_axis);
    const Qe_Pt mid = a0 + chord / 2.0;
    const Qe_Pt centre = mid + normal * (half * (bulge * bulge - 1.0) / (2.0 * bulge));
    // The arc turns by four times the arc tangent of the bulge, counter-clockwise for a
    // positive bulge.
    const double sweep = 4.0 * std::atan(bulge);
    const Qe_Vec ra = a0 - centre;
    out[0] = a0;
    for (int k = 1; k + 1 < n; ++k) {
        const double phi = sweep * k / (n - 1);
        const double c = std::cos(phi);
        const double s = std::sin(phi);
        out[k] = Qe_Pt(centre.x() + ra.x() * c - ra.y() * s, centre.y() + ra.x() * s + ra.y() * c, 0.0);
    }
    out[n - 1] = b0;
    return true;
}

MB_Polyline::MB_Polyline() = default;

MB_Polyline::MB_Polyline(bool closed, unsigned short count, MB_Pline_Pos* vertices)
    : m_closed(closed), m_count(vertices ? count : 0), m_pos(vertices)
{
}

MB_Polyline::MB_Polyline(const MB_Polyline& other)
    : MB_Geom(other), m_fittype(other.m_fittype), m_global_width(other.m_global_width)
{
    assign(other.m_closed, other.m_count, other.m_pos.get());
}

MB_Polyline& MB_Polyline::operator=(const MB_Polyline& other)
{
    if (this == &other) return *this;
    MB_Geom::operator=(other);
    assign(other.m_closed, other.m_count, other.m_pos.get());
    m_fittype = other.m_fittype;
    m_global_width = other.m_global_width;
    return *this;
}

MB_Polyline::~MB_Polyline() = default;

void MB_Polyline::assign(bool closed, int n, const MB_Pline_Pos* vertices)
{
    std::unique_ptr<MB_Pline_Pos[]> copy(n > 0 ? new MB_Pline_Pos[static_cast<std::size_t>(n)] : nullptr);
    if (n > 0 && vertices) std::copy(vertices, vertices + n, copy.get());
    m_pos = std::move(copy);
    m_count = static_cast<unsigned short>(n > 0 ? n : 0);
    m_closed = closed;
}

MB_Pline_Pos& MB_Polyline::get_new_pline_pos()
{
    if (m_count >= k_max_count) {
        m_scratch = MB_Pline_Pos();
        return m_scratch;
    }
    std::unique_ptr<MB_Pline_Pos[]> grown(new MB_Pline_Pos[static_cast<std::size_t>(m_count) + 1]);
    if (m_count > 0) std::copy(m_pos.get(), m_pos.get() + m_count, grown.get());
    m_pos = std::move(grown);
    return m_pos[m_count++];
}

bool MB_Polyline::is_have_width() const
{
    if (m_global_width > 0.0) return true;
    for (int i = 0; i < m_count; ++i)
        if (m_pos[i].start_width > 0.0 || m_pos[i].end_width > 0.0) return true;
    return false;
}

namespace {

// The bands of a polyline with widths, one outline per segment and per bevel between them.
std::vector<Outline> band_outlines(const std::vector<MB_Pline_Pos>& records, double global_width)
{
    std::vector<Outline> segments = segment_outlines(records, global_width);
    std::vector<Outline> bevels;
    if (segments.size() >= 2) mitre_joints(segments, bevels);
    segments.insert(segments.end(), bevels.begin(), bevels.end());
    return segments;
}

// The bands reach beyond the centre line: the rectangle covers them so that views and
// repaints that test it keep the whole outline.
void cover_bands(Qe_Rect& rect, const std::vector<Outline>& bands)
{
    for (const Outline& b : bands) {
        Qe_Rect band;
        if (band.init_by_pts(static_cast<int>(b.size()), b.data())) rect.union_rect(band);
    }
}

void centre_line_of(const std::vector<MB_Pline_Pos>& records, std::vector<Qe_Pt>& centre_line)
{
    centre_line.clear();
    centre_line.reserve(records.size());
    for (const MB_Pline_Pos& r : records) centre_line.push_back(r.point);
}

}  // namespace

void MB_Polyline::build_draw()
{
    if (m_count < 2) return;
    std::vector<MB_Pline_Pos> records;
    working_records(m_pos.get(), m_count, m_closed, records);
    std::vector<Qe_Pt> centre_line;
    centre_line_of(records, centre_line);
    Qe_Pt_Set& e = edge();
    e.init(static_cast<int>(centre_line.size()), centre_line.data());
    draw_node(nullptr);
    rect().init_by_pts(e.count(), e.points());
    if (!is_have_width()) {
        build_draw_node_with_ltype(e);
        return;
    }
    const std::vector<Outline> segments = band_outlines(records, m_global_width);
    cover_bands(rect(), segments);
    std::vector<Qe_Pt_List> lists(segments.size());
    Qe_Void_List runs;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        for (const Qe_Pt& p : segments[i]) lists[i].add_tail(p);
        runs.add(&lists[i]);
    }
    auto* node = new MB_Draw_Lines_Sets(general().color(), this);
    if (!segments.empty()) node->init_by_ptlists(runs);
    node->is_filled(true);
    // Bands overlap where the line turns sharply: each is filled whole.
    node->fill_runs_apart(true);
    draw_node(node);
}

void MB_Polyline::build_extent()
{
    // The rectangle of what build_draw makes, without making it: the centre line and, with
    // widths, the bands. Touches nothing but this polyline (the layout runs it on several
    // threads at once).
    if (m_count >= 2) {
        // Scratch kept per thread: no allocation per polyline.
        thread_local std::vector<MB_Pline_Pos> records;
        thread_local std::vector<Qe_Pt> centre_line;
        working_records(m_pos.get(), m_count, m_closed, records);
        centre_line_of(records, centre_line);
        rect().init_by_pts(static_cast<int>(centre_line.size()), centre_line.data());
        if (is_have_width()) cover_bands(rect(), band_outlines(records, m_global_width));
        // A very long polyline's scratch is not kept for the thread's life.
        if (records.capacity() > (std::size_t(1) << 16)) {
            records = {};
            centre_line = {};
        }
    }
    edge().free();
    free_draw_node();
}

void MB_Polyline::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    for (int i = 0; i < m_count; ++i) m_pos[i].point *= t;
}

namespace {

constexpr unsigned char k_polyline_opcode = 'P';
// Bytes of one vertex in the record: bulge, two widths and a position.
constexpr std::size_t k_vertex_bytes = 6 * 8;

Qe_Pt vertex_point(const MB_Polyline& p, int n)
{
    return n >= 0 && n < p.count() ? p.pline_pos()[n].point : Qe_Pt();
}

// Length of the tessellated centre line.
double edge_length(MB_Polyline& p)
{
    const Qe_Pt_Set& e = p.edge();
    double sum = 0.0;
    for (int i = 1; i < e.count(); ++i) sum += (e.points()[i] - e.points()[i - 1]).len();
    return sum;
}

const MB_Property<MB_Polyline, Qe_Pt> k_polyline_points[] = {
    {mb_key::Start, [](MB_Polyline& p) { return vertex_point(p, 0); }, nullptr},
    {mb_key::End, [](MB_Polyline& p) { return vertex_point(p, p.count() - 1); }, nullptr},
};

const MB_Property<MB_Polyline, double> k_polyline_reals[] = {
    {mb_key::Length, [](MB_Polyline& p) { return edge_length(p); }, nullptr},
    {mb_key::Area, [](MB_Polyline& p) { return cal_pts_area(p.edge().points(), p.edge().count()); }, nullptr},
    {mb_key::Global_Width, [](MB_Polyline& p) { return p.global_width(); }, nullptr},
};

const MB_Property<MB_Polyline, long> k_polyline_ints[] = {
    {mb_key::Point_Count, [](MB_Polyline& p) { return static_cast<long>(p.count()); }, nullptr},
};

}  // namespace

MB_Result MB_Polyline::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_polyline_opcode, [&](MB_Record_Writer& w) {
        w.byte(m_closed ? 1 : 0).then([&] { return file.write_uint16(m_count); }).real(m_global_width);
        for (int i = 0; i < m_count; ++i) {
            const MB_Pline_Pos& v = m_pos[i];
            // z is not part of the record.
            w.real(v.bulge).real(v.start_width).real(v.end_width).position(Qe_Pt(v.point.x(), v.point.y(), 0.0));
        }
    });
}

MB_Result MB_Polyline::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        unsigned char closed = 0;
        mb_ushort n = 0;
        double global_width = 0.0;
        r.byte(closed).then([&] { return file.read_uint16(n); }).real(global_width);
        r.then([&] { return file.check_length(n, k_vertex_bytes, k_max_count); });
        if (!r.ok()) return;
        std::unique_ptr<MB_Pline_Pos[]> read(n > 0 ? new MB_Pline_Pos[n] : nullptr);
        for (int i = 0; i < n && r.ok(); ++i) {
            MB_Pline_Pos& v = read[i];
            Qe_Pt p;
            r.real(v.bulge).real(v.start_width).real(v.end_width).position(p);
            v.point = Qe_Pt(p.x(), p.y(), 0.0);
        }
        if (!r.ok()) return;
        m_closed = closed != 0;
        m_count = n;
        m_pos = std::move(read);
        m_global_width = global_width;
    });
}

MB_Result MB_Polyline::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

MB_Result MB_Polyline::default_process(MB_Polyline&, MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Polyline::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Polyline>(
        *this, target,
        [&] {
            auto* p = new MB_Polyline;
            p->assign(m_closed, m_count, m_pos.get());
            p->m_global_width = m_global_width;
            return p;
        },
        [&](MB_Polyline& p) {
            // Undo and redo restore through here: the count may have changed since the
            // copy was made, so the target takes this one's whole vertex list.
            p.assign(m_closed, m_count, m_pos.get());
            p.m_global_width = m_global_width;
        });
}

Qe_Pt MB_Polyline::get_point(int key)
{
    if (key >= 0) return vertex_point(*this, key);
    return mb_get_property(k_polyline_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Polyline::get_real(int key)
{
    return mb_get_property(k_polyline_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

long MB_Polyline::get_int(int key)
{
    return mb_get_property(k_polyline_ints, *this, key, [&] { return MB_Geom::get_int(key); });
}

void MB_Polyline::set_point(long key, const Qe_Pt& value)
{
    modify_cmd();
    int n = -1;
    if (key >= 0 && key < m_count)
        n = static_cast<int>(key);
    else if (key == mb_key::Start && m_count > 0)
        n = 0;
    else if (key == mb_key::End && m_count > 0)
        n = m_count - 1;
    if (n < 0) return MB_Geom::set_point(key, value);
    m_pos[n].point.set_x(value.x());
    m_pos[n].point.set_y(value.y());
}

char MB_Polyline::pick(const Qe_Pt& at, Qe_Pt_List&, double tolerance, Qe_Pt& nearest, int& kind, int&)
{
    for (int i = 0; i < m_count; ++i)
        if (mb_pick_point(at, m_pos[i].point, tolerance, Pick_Vertex, nearest, kind)) return 1;
    return mb_pick_edge(edge(), at, tolerance, Pick_On_Polyline, nearest, kind) ? 1 : 0;
}

void MB_Polyline::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    for (int i = 0; i < m_count && hdc; ++i) mb_draw_grip(hdc, m_pos[i].point, t);
}
