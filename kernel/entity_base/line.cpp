#include "kernel/entity_base/line.h"

#include <cmath>

#include "geometry/plane_geometry.h"
#include "geometry/pt_list.h"
#include "kernel/database/system_setting.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"

namespace {

constexpr unsigned char k_line_opcode = 'L';
constexpr unsigned char k_lines_opcode = 'l';

}  // namespace

// MB_Line

MB_Line::MB_Line() = default;

MB_Line::MB_Line(const Qe_Pt& start, const Qe_Pt& end) : m_points{start, end} {}

MB_Line::MB_Line(const double* start, const double* end)
    : m_points{start ? Qe_Pt(start[0], start[1], start[2]) : Qe_Pt(), end ? Qe_Pt(end[0], end[1], end[2]) : Qe_Pt()}
{
}

MB_Line::~MB_Line() = default;

MB_Result MB_Line::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_line_opcode,
                           [&](MB_Record_Writer& w) { w.position(m_points[0]).position(m_points[1]); });
}

MB_Result MB_Line::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file,
                          [&](MB_Record_Reader& r) { r.position(m_points[0]).position(m_points[1]); });
}

MB_Result MB_Line::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

MB_Result MB_Line::default_process(MB_Line&, MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Line::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Line>(
        *this, target, [&] { return new MB_Line(m_points[0], m_points[1]); },
        [&](MB_Line& l) {
            l.start(m_points[0]);
            l.end(m_points[1]);
        });
}

namespace {

const MB_Property<MB_Line, Qe_Pt> k_line_points[] = {
    {mb_key::Start, [](MB_Line& l) { return l.start(); }, [](MB_Line& l, Qe_Pt p) { l.points()[0] = p; },
     MB_Undo::Record},
    {mb_key::End, [](MB_Line& l) { return l.end(); }, [](MB_Line& l, Qe_Pt p) { l.points()[1] = p; },
     MB_Undo::Record},
    {mb_key::Middle, [](MB_Line& l) { return l.start() + (l.end() - l.start()) / 2.0; }, nullptr},
};

double line_length(MB_Line& l)
{
    return (l.end() - l.start()).len();
}

const MB_Property<MB_Line, double> k_line_reals[] = {
    {mb_key::Length, line_length,
     [](MB_Line& l, double v) { l.points()[1] = l.start() + normalise(l.end() - l.start()) * v; }, MB_Undo::Record},
    {mb_key::Angle, [](MB_Line& l) { return mb_polar_angle(l.end() - l.start()); },
     [](MB_Line& l, double v) {
         // The end turns about the start in the xy plane: its distance there stays.
         const Qe_Pt s = l.start();
         const double d = std::hypot(l.end().x() - s.x(), l.end().y() - s.y());
         l.points()[1] = Qe_Pt(s.x() + d * std::cos(v), s.y() + d * std::sin(v), s.z());
     },
     MB_Undo::Record},
};

const MB_Property<MB_Line, long> k_line_ints[] = {
    {mb_key::Point_Count, [](MB_Line&) { return 2L; }, nullptr},
};

}  // namespace

Qe_Pt MB_Line::get_point(int key)
{
    if (key >= 0) return key < 2 ? m_points[key] : Qe_Pt();
    return mb_get_property(k_line_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Line::get_real(int key)
{
    return mb_get_property(k_line_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

long MB_Line::get_int(int key)
{
    return mb_get_property(k_line_ints, *this, key, [&] { return MB_Geom::get_int(key); });
}

void MB_Line::set_real(long key, double value)
{
    mb_set_property(k_line_reals, *this, key, value, [&] { MB_Geom::set_real(key, value); });
}

void MB_Line::set_point(long key, const Qe_Pt& value)
{
    mb_set_property(k_line_points, *this, key, value, [&] { MB_Geom::set_point(key, value); });
}

void MB_Line::start(const Qe_Pt& p)
{
    modify_cmd();
    m_points[0] = p;
}

void MB_Line::end(const Qe_Pt& p)
{
    modify_cmd();
    m_points[1] = p;
}

char MB_Line::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    if (mb_pick_point(at, m_points[0], tol, Pick_Start, nearest, kind)) return 1;
    if (mb_pick_point(at, m_points[1], tol, Pick_End, nearest, kind)) return 1;
    const Qe_Pt& a = m_points[0];
    const Qe_Pt& b = m_points[1];
    if (at.x() < std::fmin(a.x(), b.x()) - tol || at.x() > std::fmax(a.x(), b.x()) + tol ||
        at.y() < std::fmin(a.y(), b.y()) - tol || at.y() > std::fmax(a.y(), b.y()) + tol)
        return 0;
    const Qe_Pt foot = proj_pt_to_line(at, a, normalise(a - b));
    if (!((foot - at).len() < tol)) return 0;
    nearest = foot;
    kind = Pick_On_Line;
    return 1;
}

void MB_Line::build_draw()
{
    mb_set_edge(*this, 2, m_points);
}

void MB_Line::build_extent()
{
    mb_set_extent(*this, 2, m_points);
}

void MB_Line::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    if (!hdc) return;
    mb_draw_grips(hdc, m_points, 2, t);
    if (mb_bool_setting(MB_System_Setting::k_bool_line_midpoint)) mb_draw_plus(hdc, get_point(mb_key::Middle), t);
}

void MB_Line::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_points[0] *= t;
    m_points[1] *= t;
}

void MB_Line::rebuild(MB_Drawing*) {}

double MB_Line::get_param(const Qe_Pt& p)
{
    return (m_points[0] - p).len();
}

Qe_Pt MB_Line::get_point_by_param(double param)
{
    return m_points[0] + normalise(m_points[1] - m_points[0]) * param;
}

bool MB_Line::build_line(MB_Geom*& result, const Qe_Pt& a, const Qe_Pt& b)
{
    MB_Line* line = nullptr;
    if (!result) {
        line = new MB_Line;
        result = line;
    } else {
        line = dynamic_cast<MB_Line*>(result);
        if (!line) return false;
    }
    line->start(a);
    line->end(b);
    return true;
}

bool MB_Line::build_by_param(MB_Geom*& result, double from, double to)
{
    return build_line(result, get_point_by_param(from), get_point_by_param(to));
}

// MB_Ray

MB_Ray::~MB_Ray() = default;

MB_Result MB_Ray::serialize(MB_File_IO& file)
{
    return MB_Line::serialize(file);
}

MB_Result MB_Ray::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    MB_Record_Frame frame;
    frame.general = false;
    return mb_read_entity(
        *this, opcode, file, [&](MB_Record_Reader& r) { r.position(points()[0]).position(points()[1]); }, frame);
}

MB_Result MB_Ray::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

char MB_Ray::pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&)
{
    return 0;
}

void MB_Ray::build_draw() {}
void MB_Ray::build_extent() {}

// MB_Xline

MB_Xline::~MB_Xline() = default;

MB_Result MB_Xline::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Xline::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Xline::process(MB_File_IO&)
{
    return MB_Result::Success;
}

char MB_Xline::pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&)
{
    return 0;
}

// MB_Lines

MB_Lines::MB_Lines() = default;

MB_Lines::MB_Lines(int n) : m_vertices(n) {}

MB_Lines::MB_Lines(const MB_Lines& other)
    : MB_Geom(other),
      m_vertices(other.m_vertices),
      m_closed(other.m_closed),
      m_tran(other.m_tran ? std::make_unique<Qe_Tran>(*other.m_tran) : nullptr)
{
}

MB_Lines& MB_Lines::operator=(const MB_Lines& other)
{
    if (this == &other) return *this;
    MB_Geom::operator=(other);
    m_vertices = other.m_vertices;
    m_closed = other.m_closed;
    m_tran = other.m_tran ? std::make_unique<Qe_Tran>(*other.m_tran) : nullptr;
    return *this;
}

Qe_Tran& MB_Lines::tran()
{
    if (!m_tran) m_tran = std::make_unique<Qe_Tran>();
    return *m_tran;
}

MB_Lines::~MB_Lines() = default;

MB_Result MB_Lines::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_lines_opcode, [&](MB_Record_Writer& w) { w.points(m_vertices); });
}

MB_Result MB_Lines::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) { r.points(m_vertices); });
}

MB_Result MB_Lines::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

MB_Result MB_Lines::default_process(MB_Lines&, MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Lines::copy_to(MB_Object*& target)
{
    auto fill = [&](MB_Lines& l) {
        l.m_vertices = m_vertices;
        l.m_closed = m_closed;
    };
    return mb_copy_entity<MB_Lines>(
        *this, target,
        [&] {
            auto* made = new MB_Lines(count());
            fill(*made);
            return made;
        },
        [&](MB_Lines& l) {
            l.modify_cmd();
            fill(l);
        });
}

void MB_Lines::closed(bool on)
{
    modify_cmd();
    m_closed = on;
}

void MB_Lines::init(Qe_Pt_List& list)
{
    m_vertices.init(list);
}

namespace {

double chain_length(MB_Lines& l)
{
    return mb_polyline_length(l.points(), l.count());
}

const MB_Property<MB_Lines, Qe_Pt> k_lines_points[] = {
    {mb_key::Start, [](MB_Lines& l) { return l.start(); },
     [](MB_Lines& l, Qe_Pt p) {
         if (l.count() > 0) l.points()[0] = p;
     }},
    {mb_key::End, [](MB_Lines& l) { return l.end(); },
     [](MB_Lines& l, Qe_Pt p) {
         if (l.count() > 0) l.points()[l.count() - 1] = p;
     }},
};

const MB_Property<MB_Lines, double> k_lines_reals[] = {
    {mb_key::Length, chain_length, nullptr},
    {mb_key::Area, [](MB_Lines& l) { return cal_pts_area(l.points(), l.count()); }, nullptr},
    {mb_key::Angle,
     [](MB_Lines& l) { return l.count() < 2 ? 0.0 : mb_polar_angle(l.points()[1] - l.points()[0]); }, nullptr},
};

const MB_Property<MB_Lines, long> k_lines_ints[] = {
    {mb_key::Point_Count, [](MB_Lines& l) { return static_cast<long>(l.count()); }, nullptr},
};

}  // namespace

Qe_Pt MB_Lines::get_point(int key)
{
    if (key >= 0) return key < count() ? points()[key] : Qe_Pt();
    return mb_get_property(k_lines_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Lines::get_real(int key)
{
    return mb_get_property(k_lines_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

long MB_Lines::get_int(int key)
{
    return mb_get_property(k_lines_ints, *this, key, [&] { return MB_Geom::get_int(key); });
}

void MB_Lines::set_point(long key, const Qe_Pt& value)
{
    if (key >= 0) {
        modify_cmd();
        if (key < count()) points()[key] = value;
        return;
    }
    mb_set_property(k_lines_points, *this, key, value, [&] { MB_Geom::set_point(key, value); }, MB_Undo::Record);
}

char MB_Lines::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    for (int i = 0; i < count(); ++i)
        if (mb_pick_point(at, points()[i], tol, Pick_Vertex, nearest, kind)) return 1;
    return mb_pick_edge(edge(), at, tol, Pick_On_Chain, nearest, kind) ? 1 : 0;
}

void MB_Lines::build_draw()
{
    mb_set_edge(*this, count(), points());
}

void MB_Lines::build_extent()
{
    mb_set_extent(*this, count(), points());
}

void MB_Lines::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grips(hdc, points(), count(), t);
}

void MB_Lines::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    for (int i = 0; i < count(); ++i) points()[i] *= t;
}

bool MB_Lines::build_by_param(MB_Geom*& result, double from, double to)
{
    return MB_Line::build_line(result, get_point_by_param(from), get_point_by_param(to));
}

Qe_Pt MB_Lines::start()
{
    return m_vertices.start_pos();
}

Qe_Pt MB_Lines::end()
{
    return m_vertices.end_pos();
}

// MB_Mlines

MB_Mlines::~MB_Mlines() = default;

MB_Result MB_Mlines::serialize(MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Mlines::materialize(const MB_Opcode&, MB_File_IO&)
{
    return MB_Result::Success;
}

MB_Result MB_Mlines::process(MB_File_IO&)
{
    return MB_Result::Success;
}

char MB_Mlines::pick(const Qe_Pt&, Qe_Pt_List&, double, Qe_Pt&, int&, int&)
{
    return 0;
}

void MB_Mlines::build_draw() {}
void MB_Mlines::build_extent() {}
