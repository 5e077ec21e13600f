#include "kernel/entities/ellipse.h"

#include <cmath>
#include <vector>

#include "geometry/transform.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"

namespace {

constexpr unsigned char k_ellipse_opcode = 'E';
constexpr unsigned char k_elliptic_arc_opcode = 'O';
constexpr double k_two_pi = 2.0 * M_PI;

}  // namespace

// MB_Ellipse

MB_Ellipse::MB_Ellipse() = default;

MB_Ellipse::MB_Ellipse(const Qe_Pt& center, double major, double minor, double angle)
    : m_center(center), m_major(major), m_minor(minor), m_angle(angle)
{
}

MB_Ellipse::MB_Ellipse(const Qe_Pt& center, const Qe_Pt& axis, double ratio) : m_center(center)
{
    const Qe_Vec v = axis - Qe_Pt();
    m_major = v.len();
    m_minor = m_major * ratio;
    m_angle = mb_polar_angle(v);
}

MB_Ellipse::~MB_Ellipse() = default;

MB_Result MB_Ellipse::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_ellipse_opcode, [&](MB_Record_Writer& w) {
        w.position(m_center).real(m_major).real(m_minor).real(m_angle);
    });
}

MB_Result MB_Ellipse::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        r.position(m_center).real(m_major).real(m_minor).real(m_angle);
    });
}

MB_Result MB_Ellipse::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

MB_Result MB_Ellipse::default_process(MB_Ellipse&, MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Ellipse::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Ellipse>(
        *this, target, [&] { return new MB_Ellipse(m_center, m_major, m_minor, m_angle); },
        [&](MB_Ellipse& e) {
            e.m_center = m_center;
            e.m_major = m_major;
            e.m_minor = m_minor;
            e.m_angle = m_angle;
        });
}

Qe_Pt MB_Ellipse::get_para_pos(double t) const
{
    const double ca = std::cos(m_angle), sa = std::sin(m_angle);
    const double ct = std::cos(t), st = std::sin(t);
    return Qe_Pt(m_center.x() + m_major * ct * ca - m_minor * st * sa,
                 m_center.y() + m_major * ct * sa + m_minor * st * ca, 0.0);
}

Qe_Vec MB_Ellipse::get_major_vector() const
{
    return Qe_Vec(m_major * std::cos(m_angle), m_major * std::sin(m_angle), 0.0);
}

Qe_Vec MB_Ellipse::get_minor_vector() const
{
    return Qe_Vec(m_minor * std::cos(m_angle + M_PI / 2), m_minor * std::sin(m_angle + M_PI / 2), 0.0);
}

double MB_Ellipse::perimeter() const
{
    // π(a + b) alone is up to 21% short for flat ellipses.
    const double a = std::fabs(m_major), b = std::fabs(m_minor);
    const double s = a + b;
    if (!(s > 0.0)) return 0.0;
    const double h = ((a - b) / s) * ((a - b) / s);
    return M_PI * s * (1.0 + 3.0 * h / (10.0 + std::sqrt(4.0 - 3.0 * h)));
}

namespace {

// Property tables shared by both classes; the setters record once, before any key.
template <class E>
struct Ellipse_Keys {
    static constexpr MB_Property<E, Qe_Pt> center{
        mb_key::Center, [](E& e) { return e.center(); }, [](E& e, Qe_Pt p) { e.center(p); }};
    static constexpr MB_Property<E, double> angle{
        mb_key::Angle, [](E& e) { return e.angle(); }, [](E& e, double v) { e.angle(v); }};
    static constexpr MB_Property<E, double> minor{
        mb_key::Radius, [](E& e) { return e.minor(); }, [](E& e, double v) { e.minor(v); }};
    static constexpr MB_Property<E, double> major{
        mb_key::Major, [](E& e) { return e.major(); }, [](E& e, double v) { e.major(v); }};
};

using Full = Ellipse_Keys<MB_Ellipse>;
using Part = Ellipse_Keys<MB_Ellipse_Arc>;

const MB_Property<MB_Ellipse, Qe_Pt> k_ellipse_points[] = {Full::center};

const MB_Property<MB_Ellipse, double> k_ellipse_reals[] = {
    Full::angle,
    Full::minor,
    Full::major,
    {mb_key::Length, [](MB_Ellipse& e) { return e.perimeter(); }, nullptr},
    {mb_key::Area, [](MB_Ellipse& e) { return M_PI * e.major() * e.minor(); }, nullptr},
};

const MB_Property<MB_Ellipse_Arc, Qe_Pt> k_elliptic_arc_points[] = {
    Part::center,
    {mb_key::Start, [](MB_Ellipse_Arc& e) { return e.get_para_pos(e.start_angle()); }, nullptr},
    {mb_key::End, [](MB_Ellipse_Arc& e) { return e.get_para_pos(e.end_angle()); }, nullptr},
};

const MB_Property<MB_Ellipse_Arc, double> k_elliptic_arc_reals[] = {
    Part::angle,
    Part::minor,
    Part::major,
    {mb_key::Start_Angle, [](MB_Ellipse_Arc& e) { return e.start_angle(); }, nullptr},
    {mb_key::End_Angle, [](MB_Ellipse_Arc& e) { return e.end_angle(); }, nullptr},
};

}  // namespace

Qe_Pt MB_Ellipse::get_point(int key)
{
    return mb_get_property(k_ellipse_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Ellipse::get_real(int key)
{
    return mb_get_property(k_ellipse_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

void MB_Ellipse::set_real(long key, double value)
{
    mb_set_property(k_ellipse_reals, *this, key, value, [&] { MB_Geom::set_real(key, value); }, MB_Undo::Record);
}

void MB_Ellipse::set_point(long key, const Qe_Pt& value)
{
    mb_set_property(k_ellipse_points, *this, key, value, [&] { MB_Geom::set_point(key, value); }, MB_Undo::Record);
}

char MB_Ellipse::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int&)
{
    if (mb_pick_point(at, m_center, tol, Pick_Center, nearest, kind)) return 1;
    return mb_pick_edge(edge(), at, tol, Pick_On_Ellipse, nearest, kind) ? 1 : 0;
}

void MB_Ellipse::build_draw()
{
    const long n = mb_draw_precision(*this);
    const double step = k_two_pi / static_cast<double>(n);
    // t from the index rather than summed steps, so that rounding never adds a point.
    std::vector<Qe_Pt> pts(static_cast<std::size_t>(n) + 1);
    for (long i = 0; i < n; ++i) pts[i] = get_para_pos(static_cast<double>(i) * step);
    pts[n] = pts[0];
    mb_set_edge(*this, static_cast<int>(n + 1), pts.data());
}

void MB_Ellipse::draw_key_point(HDC hdc, Qe_Qdc&, const Qe_Tran& t)
{
    mb_draw_grip(hdc, m_center, t);
}

void MB_Ellipse::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_center *= t;
}

// MB_Ellipse_Arc

MB_Ellipse_Arc::MB_Ellipse_Arc()
{
    end_param(k_two_pi);
}

MB_Ellipse_Arc::MB_Ellipse_Arc(const Qe_Pt& center, double major, double minor, double angle, double start,
                               double end)
    : MB_Ellipse(center, major, minor, angle)
{
    start_param(start);
    end_param(end);
}

MB_Ellipse_Arc::MB_Ellipse_Arc(const Qe_Pt& center, const Qe_Pt& axis, double ratio, double start, double end)
    : MB_Ellipse(center, axis, ratio)
{
    start_param(start);
    end_param(end);
}

MB_Ellipse_Arc::~MB_Ellipse_Arc() = default;

MB_Result MB_Ellipse_Arc::serialize(MB_File_IO& file)
{
    return mb_write_entity(*this, file, k_elliptic_arc_opcode, [&](MB_Record_Writer& w) {
        w.position(center()).real(major()).real(minor()).real(angle()).real(start_param()).real(end_param());
    });
}

MB_Result MB_Ellipse_Arc::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    Qe_Pt c;
    double v[5] = {};
    const MB_Result r = mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& rd) {
        rd.position(c);
        for (double& x : v) rd.real(x);
        if (!rd.ok()) return;
        center(c);
        major(v[0]);
        minor(v[1]);
        angle(v[2]);
        start_param(v[3]);
        end_param(v[4]);
    });
    return r;
}

MB_Result MB_Ellipse_Arc::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

bool MB_Ellipse_Arc::copy_to(MB_Object*& target)
{
    return mb_copy_entity<MB_Ellipse_Arc>(
        *this, target,
        [&] { return new MB_Ellipse_Arc(center(), major(), minor(), angle(), start_param(), end_param()); },
        [&](MB_Ellipse_Arc& e) {
            e.center(center());
            e.major(major());
            e.minor(minor());
            e.angle(angle());
            e.start_param(start_param());
            e.end_param(end_param());
        });
}

Qe_Pt MB_Ellipse_Arc::get_point(int key)
{
    return mb_get_property(k_elliptic_arc_points, *this, key, [&] { return MB_Geom::get_point(key); });
}

double MB_Ellipse_Arc::get_real(int key)
{
    return mb_get_property(k_elliptic_arc_reals, *this, key, [&] { return MB_Geom::get_real(key); });
}

void MB_Ellipse_Arc::set_real(long key, double value)
{
    mb_set_property(k_elliptic_arc_reals, *this, key, value, [&] { MB_Geom::set_real(key, value); },
                    MB_Undo::Record);
}

void MB_Ellipse_Arc::set_point(long key, const Qe_Pt& value)
{
    mb_set_property(k_elliptic_arc_points, *this, key, value, [&] { MB_Geom::set_point(key, value); },
                    MB_Undo::Record);
}

char MB_Ellipse_Arc::pick(const Qe_Pt& at, Qe_Pt_List& hits, double tol, Qe_Pt& nearest, int& kind, int& extra)
{
    return MB_Ellipse::pick(at, hits, tol, nearest, kind, extra);
}

void MB_Ellipse_Arc::build_draw()
{
    const long n = mb_draw_precision(*this);
    const double step = k_two_pi / static_cast<double>(n - 1);
    const double end = end_param();
    double from = start_param();
    // An arc from above its end parameter passes through parameter 0.
    if (from > end) from -= k_two_pi;
    // More than one turn would draw the outline again and overrun the point count.
    if (end - from > k_two_pi) from = end - k_two_pi;
    std::vector<Qe_Pt> pts;
    pts.reserve(static_cast<std::size_t>(n) + 1);
    for (long i = 0; i < n; ++i) {
        const double t = from + static_cast<double>(i) * step;
        if (!(t < end)) break;
        pts.push_back(get_para_pos(t));
    }
    pts.push_back(get_para_pos(end));
    mb_set_edge(*this, static_cast<int>(pts.size()), pts.data());
}

void MB_Ellipse_Arc::draw_key_point(HDC hdc, Qe_Qdc& qdc, const Qe_Tran& t)
{
    MB_Ellipse::draw_key_point(hdc, qdc, t);
}
