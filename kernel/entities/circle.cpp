#include "kernel/entities/circle.h"

#include <cmath>
#include <utility>
#include <vector>

#include "geometry/tessellation.h"
#include "geometry/transform.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/file_io.h"
#include "kernel/stream/opcode.h"

namespace {

constexpr unsigned char k_circle_opcode = 0x12;
constexpr unsigned char k_arc_opcode = 0x01;
// Arc records that carry no operands.
constexpr unsigned char k_arc_bare_opcode = 'a';
constexpr unsigned char k_arc_bare_opcode_upper = 'A';

constexpr double k_two_pi = 2.0 * M_PI;

// The point on the circle at angle a, at the centre's z.
Qe_Pt on_circle(const Qe_Pt& c, double r, double a)
{
    return Qe_Pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a), c.z());
}

}  // namespace

// MB_Circle

MB_Circle::MB_Circle() = default;

MB_Circle::MB_Circle(const Qe_Pt& center, double radius) : m_center(center), m_radius(radius) {}

MB_Circle::MB_Circle(const double* center, double radius)
    : m_center(center ? Qe_Pt(center[0], center[1], 0.0) : Qe_Pt()), m_radius(radius)
{
}

MB_Circle::~MB_Circle() = default;

MB_Result MB_Circle::serialize_ex(MB_File_IO& file)
{
    return MB_Record_Writer(file).position(m_center).real(m_radius).result();
}

MB_Result MB_Circle::materialize(MB_File_IO& file)
{
    return MB_Record_Reader(file).position(m_center).real(m_radius).result();
}

MB_Result MB_Circle::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_circle_opcode, [&](MB_Record_Writer& w) {
        w.then([&] { return serialize_ex(file); });
    });
}

MB_Result MB_Circle::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) { r.then([&] { return materialize(file); }); });
}

MB_Result MB_Circle::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

MB_Result MB_Circle::default_process(MB_Circle&, MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Circle::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Circle>(
        *this, target, [&] { return new MB_Circle(m_center, m_radius); },
        [&](MB_Circle& c) {
            c.radius(m_radius);
            c.center(m_center);
        });
}

void MB_Circle::center(const Qe_Pt& c)
{
    modify_cmd();
    m_center = c;
}

void MB_Circle::radius(double r)
{
    modify_cmd();
    m_radius = r;
}

// The stores behind the property tables; the setters record once, before any key.
struct MB_Circle_Access {
    static void center(MB_Circle& c, Qe_Pt p) { c.m_center = p; }
    static void radius(MB_Circle& c, double r) { c.m_radius = r; }
};

namespace {

const MB_Property<MB_Circle, Qe_Pt> k_circle_points[] = {
    {mb_key::Center, [](MB_Circle& c) { return c.center(); }, MB_Circle_Access::center},
};

const MB_Property<MB_Circle, double> k_circle_reals[] = {
    {mb_key::Length, [](MB_Circle& c) { return k_two_pi * c.radius(); }, nullptr},
    {mb_key::Area, [](MB_Circle& c) { return M_PI * c.radius() * c.radius(); }, nullptr},
    {mb_key::Radius, [](MB_Circle& c) { return c.radius(); }, MB_Circle_Access::radius},
};

}  // namespace

Qe_Pt MB_Circle::get_point(int key)
{
    return mb_get_property(k_circle_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Circle::get_real(int key)
{
    return mb_get_property(k_circle_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

void MB_Circle::set_real(long key, double value)
{
    mb_set_property(k_circle_reals, *this, key, value, [&] { MB_Geom::set_real(key, value); }, MB_Undo::Record);
}

void MB_Circle::set_point(long key, const Qe_Pt& value)
{
    mb_set_property(k_circle_points, *this, key, value, [&] { MB_Geom::set_point(key, value); }, MB_Undo::Record);
}

char MB_Circle::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    if (mb_pick_point(at, m_center, tol, Pick_Center, nearest, kind)) return 1;
    if (!(std::fabs((at - m_center).len() - m_radius) < tol)) return 0;
    nearest = at;
    kind = Pick_On_Circle;
    return 1;
}

void MB_Circle::outline(std::vector<Qe_Pt>& pts)
{
    const long n = mb_draw_precision(*this);
    const double step = k_two_pi / static_cast<double>(n - 1);
    pts.resize(static_cast<std::size_t>(n));
    // From the bottom of the circle: (0, −r) turned by i × step.
    for (long i = 0; i < n; ++i) {
        const double a = static_cast<double>(i) * step;
        pts[i] = Qe_Pt(m_center.x() + m_radius * std::sin(a), m_center.y() - m_radius * std::cos(a), m_center.z());
    }
    pts[n - 1] = pts[0];
}

void MB_Circle::build_draw()
{
    std::vector<Qe_Pt> pts;
    outline(pts);
    mb_set_edge(*this, static_cast<int>(pts.size()), pts.data());
}

void MB_Circle::build_extent()
{
    // The layout measures many entities on several threads: no allocation each.
    thread_local std::vector<Qe_Pt> pts;
    outline(pts);
    mb_set_extent(*this, static_cast<int>(pts.size()), pts.data());
}

void MB_Circle::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grip(hdc, m_center, t);
}

void MB_Circle::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_center *= t;
}

// MB_Arc

MB_Arc::MB_Arc() = default;

MB_Arc::MB_Arc(const Qe_Pt& center, double radius, double start_angle, double end_angle)
    : MB_Circle(center, radius), m_start_angle(start_angle), m_end_angle(end_angle)
{
    build_start_end_pos();
}

MB_Arc::MB_Arc(const Qe_Pt& center, const Qe_Pt& start, const Qe_Pt& end)
    : MB_Circle(center, (start - center).len()),
      m_start_angle(mb_polar_angle(start - center)),
      m_end_angle(mb_polar_angle(end - center)),
      m_start(start),
      m_end(end)
{
}

MB_Arc::~MB_Arc() = default;

MB_Result MB_Arc::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_arc_opcode, [&](MB_Record_Writer& w) {
        w.then([&] { return serialize_ex(file); }).real(m_start_angle).real(m_end_angle);
    });
}

MB_Result MB_Arc::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    const unsigned char byte = opcode.kind() == MB_Opcode::Single_Byte ? opcode.byte() : 0;
    if (byte == k_arc_bare_opcode || byte == k_arc_bare_opcode_upper) {
        MB_Record_Frame frame;
        frame.xdata = false;
        return mb_read_entity(*this, opcode, file, [](MB_Record_Reader&) {}, frame);
    }
    if (byte != k_arc_opcode) return MB_Result::Invalid_Data;
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        r.then([&] { return MB_Circle::materialize(file); }).real(m_start_angle).real(m_end_angle);
        if (r.ok()) build_start_end_pos();
    });
}

MB_Result MB_Arc::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

MB_Result MB_Arc::default_process(MB_Arc&, MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Arc::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Arc>(
        *this, target, [&] { return new MB_Arc(m_center, m_radius, m_start_angle, m_end_angle); },
        [&](MB_Arc& a) {
            a.start_angle(m_start_angle);
            a.end_angle(m_end_angle);
            a.center(m_center);
            a.radius(m_radius);
            a.build_start_end_pos();
        });
}

void MB_Arc::start(const Qe_Pt& p)
{
    modify_cmd();
    m_start = p;
}

void MB_Arc::end(const Qe_Pt& p)
{
    modify_cmd();
    m_end = p;
}

void MB_Arc::start_angle(double a)
{
    modify_cmd();
    m_start_angle = a;
}

void MB_Arc::end_angle(double a)
{
    modify_cmd();
    m_end_angle = a;
}

double MB_Arc::sweep() const
{
    const double s = m_end_angle - m_start_angle;
    return m_end_angle < m_start_angle ? s + k_two_pi : s;
}

void MB_Arc::build_start_end_pos()
{
    m_start = on_circle(m_center, m_radius, m_start_angle);
    m_end = on_circle(m_center, m_radius, m_end_angle);
}

// The stores and the middle point behind the arc's property tables.
struct MB_Arc_Access {
    static void start_angle(MB_Arc& a, double v) { a.m_start_angle = v; }
    static void end_angle(MB_Arc& a, double v) { a.m_end_angle = v; }
    static Qe_Pt middle(MB_Arc& a)
    {
        const Qe_Pt& c = a.center();
        const double r = a.radius();
        const double theta = a.sweep();
        const Qe_Pt m = a.m_start + (a.m_end - a.m_start) / 2.0;
        if (theta < M_PI) return c + normalise(m - c) * r;
        if (theta > M_PI) return c - normalise(m - c) * r;
        return c + normalise(a.m_end - a.m_start) * Qe_Vec(0.0, 0.0, 1.0) * r;
    }
};

namespace {

const MB_Property<MB_Arc, Qe_Pt> k_arc_points[] = {
    {mb_key::Start, [](MB_Arc& a) { return a.start(); }, nullptr},
    {mb_key::End, [](MB_Arc& a) { return a.end(); }, nullptr},
    {mb_key::Center, [](MB_Arc& a) { return a.center(); }, [](MB_Arc& a, Qe_Pt p) { MB_Circle_Access::center(a, p); }},
    {mb_key::Middle, MB_Arc_Access::middle, nullptr},
};

const MB_Property<MB_Arc, double> k_arc_reals[] = {
    {mb_key::Length, [](MB_Arc& a) { return a.radius() * a.sweep(); }, nullptr},
    {mb_key::Area,
     [](MB_Arc& a) {
         const double s = a.sweep();
         return 0.5 * a.radius() * a.radius() * (s - std::sin(s));
     },
     nullptr},
    {mb_key::Angle, [](MB_Arc& a) { return a.sweep(); }, nullptr},
    {mb_key::Radius, [](MB_Arc& a) { return a.radius(); }, [](MB_Arc& a, double r) { MB_Circle_Access::radius(a, r); }},
    {mb_key::Start_Angle, [](MB_Arc& a) { return a.start_angle(); }, MB_Arc_Access::start_angle},
    {mb_key::End_Angle, [](MB_Arc& a) { return a.end_angle(); }, MB_Arc_Access::end_angle},
};

}  // namespace

Qe_Pt MB_Arc::get_point(int key)
{
    return mb_get_property(k_arc_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Arc::get_real(int key)
{
    return mb_get_property(k_arc_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

void MB_Arc::set_real(long key, double value)
{
    mb_set_property(k_arc_reals, *this, key, value, [&] { MB_Geom::set_real(key, value); }, MB_Undo::Record);
}

void MB_Arc::set_point(long key, const Qe_Pt& value)
{
    mb_set_property(k_arc_points, *this, key, value, [&] { MB_Geom::set_point(key, value); }, MB_Undo::Record);
}

char MB_Arc::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    if (mb_pick_point(at, m_center, tol, Pick_Center, nearest, kind)) return 1;
    if (mb_pick_point(at, m_start, tol, Pick_Start, nearest, kind)) return 1;
    if (mb_pick_point(at, m_end, tol, Pick_End, nearest, kind)) return 1;
    return mb_pick_edge(edge(), at, tol, Pick_On_Arc, nearest, kind) ? 1 : 0;
}

void MB_Arc::outline(std::vector<Qe_Pt>& pts)
{
    build_start_end_pos();
    const long n = mb_draw_precision(*this);
    pts.resize(static_cast<std::size_t>(n));
    Qe_Pt* out = pts.data();
    arc_to_ptset(m_center, m_radius, m_start, m_end, static_cast<mb_ulong>(n), out);
}

void MB_Arc::build_draw()
{
    std::vector<Qe_Pt> pts;
    outline(pts);
    mb_set_edge(*this, static_cast<int>(pts.size()), pts.data());
}

void MB_Arc::build_extent()
{
    // The layout measures many entities on several threads: no allocation each.
    thread_local std::vector<Qe_Pt> pts;
    outline(pts);
    mb_set_extent(*this, static_cast<int>(pts.size()), pts.data());
}

void MB_Arc::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    if (!hdc) return;
    mb_draw_grip(hdc, m_start, t);
    mb_draw_grip(hdc, m_end, t);
    mb_draw_plus(hdc, m_center, t);
}

void MB_Arc::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_center *= t;
    m_start *= t;
    m_end *= t;
    m_radius *= t.identity() ? 1.0 : t.scaling();
    if (t.reflect()) std::swap(m_start, m_end);
    m_start_angle = mb_polar_angle(m_start - m_center);
    m_end_angle = mb_polar_angle(m_end - m_center);
    if (flag() == State_Normal) edge().translate(t);
}
